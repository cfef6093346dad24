// The DirectPlay stand-in's ids, timings, address parse rule and the lobby that builds
// compound addresses.
#include "platform/dplay/dplay.h"
#include "platform/dplay/dplay_address.h"

#include <atomic>
#include <cstring>
#include <mutex>
#include <vector>

namespace platform {

const GUID CLSID_DirectPlay{
    0x5a1c0d01, 0x7e3b, 0x4c52, {0x9d, 0x11, 0x6b, 0x20, 0x41, 0xe3, 0x0a, 0x01}};
const GUID CLSID_DirectPlayLobby{
    0x5a1c0d02, 0x7e3b, 0x4c52, {0x9d, 0x11, 0x6b, 0x20, 0x41, 0xe3, 0x0a, 0x02}};
const GUID IID_IDirectPlay3A{
    0x5a1c0d03, 0x7e3b, 0x4c52, {0x9d, 0x11, 0x6b, 0x20, 0x41, 0xe3, 0x0a, 0x03}};
const GUID IID_IDirectPlay4A{
    0x5a1c0d04, 0x7e3b, 0x4c52, {0x9d, 0x11, 0x6b, 0x20, 0x41, 0xe3, 0x0a, 0x04}};
const GUID IID_IDirectPlayLobby3A{
    0x5a1c0d05, 0x7e3b, 0x4c52, {0x9d, 0x11, 0x6b, 0x20, 0x41, 0xe3, 0x0a, 0x05}};
const GUID DPSPGUID_TCPIP{
    0x5a1c0e01, 0x7e3b, 0x4c52, {0x9d, 0x11, 0x6b, 0x20, 0x41, 0xe3, 0x0b, 0x01}};
const GUID DPSPGUID_IPX{
    0x5a1c0e02, 0x7e3b, 0x4c52, {0x9d, 0x11, 0x6b, 0x20, 0x41, 0xe3, 0x0b, 0x02}};
const GUID DPSPGUID_MODEM{
    0x5a1c0e03, 0x7e3b, 0x4c52, {0x9d, 0x11, 0x6b, 0x20, 0x41, 0xe3, 0x0b, 0x03}};
const GUID DPSPGUID_SERIAL{
    0x5a1c0e04, 0x7e3b, 0x4c52, {0x9d, 0x11, 0x6b, 0x20, 0x41, 0xe3, 0x0b, 0x04}};
const GUID DPAID_ServiceProvider{
    0x5a1c0f01, 0x7e3b, 0x4c52, {0x9d, 0x11, 0x6b, 0x20, 0x41, 0xe3, 0x0c, 0x01}};
const GUID DPAID_INet{0x5a1c0f02, 0x7e3b, 0x4c52, {0x9d, 0x11, 0x6b, 0x20, 0x41, 0xe3, 0x0c, 0x02}};
const GUID DPAID_INetPort{
    0x5a1c0f03, 0x7e3b, 0x4c52, {0x9d, 0x11, 0x6b, 0x20, 0x41, 0xe3, 0x0c, 0x03}};
const GUID DPAID_Modem{
    0x5a1c0f04, 0x7e3b, 0x4c52, {0x9d, 0x11, 0x6b, 0x20, 0x41, 0xe3, 0x0c, 0x04}};
const GUID DPAID_Phone{
    0x5a1c0f05, 0x7e3b, 0x4c52, {0x9d, 0x11, 0x6b, 0x20, 0x41, 0xe3, 0x0c, 0x05}};
const GUID DPAID_ComPort{
    0x5a1c0f06, 0x7e3b, 0x4c52, {0x9d, 0x11, 0x6b, 0x20, 0x41, 0xe3, 0x0c, 0x06}};

namespace {

constexpr uint32_t max_address_size = 65536;

std::mutex timing_lock;
DirectPlayTiming current_timing;

// The lobby: only compound addresses.
class DirectPlayLobby final : public IDirectPlayLobby3A {
public:
    int32_t QueryInterface(const GUID& iid, void** out) override {
        return query_single<IDirectPlayLobby3A>(this, IID_IDirectPlayLobby3A, iid, out);
    }
    uint32_t AddRef() override { return refs_.add_ref(); }
    uint32_t Release() override { return release_and_delete(this, refs_); }

    int32_t CreateCompoundAddress(const DPCOMPOUNDADDRESSELEMENT* elements, uint32_t count,
                                  void* address, uint32_t* size) override {
        if (!size || (count && !elements)) return DPERR_INVALIDPARAMS;
        uint64_t needed = 4;
        for (uint32_t i = 0; i < count; ++i) {
            if (elements[i].dwDataSize && !elements[i].lpData) return DPERR_INVALIDPARAMS;
            needed += 20 + uint64_t(elements[i].dwDataSize);
        }
        if (needed > max_address_size) return DPERR_INVALIDPARAMS;
        if (!address || *size < needed) {
            *size = uint32_t(needed);
            return DPERR_BUFFERTOOSMALL;
        }
        std::vector<uint8_t> block = make_compound_address(elements, count);
        std::memcpy(address, block.data(), block.size());
        *size = uint32_t(block.size());
        return DP_OK;
    }

private:
    RefCounted refs_;
};

} // namespace

int32_t create_direct_play(const GUID& iid, void** out);

int32_t DirectPlayCoCreateInstance(const GUID& clsid, const GUID& iid, void** out) {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    if (clsid == CLSID_DirectPlay) return create_direct_play(iid, out);
    if (clsid == CLSID_DirectPlayLobby) {
        if (!(iid == IID_IDirectPlayLobby3A)) return E_NOINTERFACE;
        *out = static_cast<IDirectPlayLobby3A*>(new DirectPlayLobby);
        return S_OK;
    }
    return E_NOINTERFACE;
}

void set_direct_play_timing(const DirectPlayTiming& timing) {
    std::lock_guard guard(timing_lock);
    current_timing = timing;
}

DirectPlayTiming direct_play_timing() {
    std::lock_guard guard(timing_lock);
    return current_timing;
}

bool parse_direct_play_endpoint(const char* text, uint16_t fallback, DirectPlayEndpoint* out) {
    if (!text || !out) return false;
    const char* colon = std::strchr(text, ':');
    size_t host_length = colon ? size_t(colon - text) : std::strlen(text);
    if (host_length >= sizeof out->host) return false;
    if (host_length == 0) {
        std::strcpy(out->host, "127.0.0.1");
    } else {
        std::memcpy(out->host, text, host_length);
        out->host[host_length] = 0;
    }
    out->port = fallback;
    if (colon && colon[1] >= '0' && colon[1] <= '9') {
        uint32_t port = 0;
        for (const char* p = colon + 1; *p >= '0' && *p <= '9'; ++p) {
            port = port * 10 + uint32_t(*p - '0');
            if (port > 65535) return false;
        }
        if (port == 0) return false;
        out->port = uint16_t(port);
    }
    return true;
}

std::vector<uint8_t> make_compound_address(const DPCOMPOUNDADDRESSELEMENT* elements,
                                           uint32_t count) {
    std::vector<uint8_t> block(4);
    for (uint32_t i = 0; i < count; ++i) {
        const auto* type = reinterpret_cast<const uint8_t*>(&elements[i].guidDataType);
        block.insert(block.end(), type, type + 16);
        uint32_t length = elements[i].dwDataSize;
        const auto* length_bytes = reinterpret_cast<const uint8_t*>(&length);
        block.insert(block.end(), length_bytes, length_bytes + 4);
        const auto* data = static_cast<const uint8_t*>(elements[i].lpData);
        if (length) block.insert(block.end(), data, data + length);
    }
    uint32_t total = uint32_t(block.size());
    std::memcpy(block.data(), &total, 4);
    return block;
}

bool parse_compound_address(const void* address, CompoundAddress* out) {
    *out = CompoundAddress{};
    const auto* p = static_cast<const uint8_t*>(address);
    if (!p) return false;
    uint32_t size;
    std::memcpy(&size, p, 4);
    if (size < 4 || size > max_address_size) return false;
    uint32_t position = 4;
    while (position < size) {
        if (size - position < 20) return false;
        GUID type;
        uint32_t length;
        std::memcpy(&type, p + position, 16);
        std::memcpy(&length, p + position + 16, 4);
        position += 20;
        if (size - position < length) return false;
        const uint8_t* data = p + position;
        if (type == DPAID_ServiceProvider) {
            if (length != 16) return false;
            std::memcpy(&out->provider, data, 16);
            out->has_provider = true;
        } else if (type == DPAID_INet) {
            // The text must end inside its element.
            if (length == 0 || data[length - 1] != 0) return false;
            out->inet.assign(reinterpret_cast<const char*>(data));
            out->has_inet = true;
        } else if (type == DPAID_INetPort) {
            if (length != 4) return false;
            std::memcpy(&out->port, data, 4);
            out->has_port = true;
        }
        position += length;
    }
    return true;
}

} // namespace platform
