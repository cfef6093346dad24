// Fuzzes the HTTP client's response head and body over an in-memory TCP double registered
// under the TCP stream's class id: each connection the client makes is answered with the next
// of the input's responses, served in reads of a chosen size, then closed (or left silent, so
// the body stream's time-out runs out on the virtual clock). The client sets host, path and
// file name, fetches (following redirects) and the body is read to its end. Checks:
// - at most 11 connections (the first and 10 redirects);
// - every request is "GET <path><file> HTTP/1.1\nHost: <host> \n\n" with no other line end,
//   host, path and file together at most 2040 characters, sent to the host and port the Host
//   header names;
// - a fetched body is exactly what followed the head on the last connection, and the bytes
//   delivered (sync option 5) count it;
// - every framework block taken is given back.
//
// Input: a flag byte (bit 0: silent instead of closed after the response), the read size
// byte, host, path and file name as parts, then the responses as parts.
#include "framework/core/class_factory.h"
#include "framework/core/component.h"
#include "framework/io/sync_stream.h"
#include "fuzz/net_harness.h"
#include "net/tcp/win32_tcp.h"
#include "net/web/url_parts.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

using fuzzing::require;

namespace {

struct Script {
    std::vector<std::string> responses;
    bool silent_at_end = false;
    uint32_t read_size = 1;
    // What happened.
    struct Connection {
        std::string host;
        uint32_t port = 0;
        std::string request;
    };
    std::vector<Connection> connections;
} script;

// The TCP double: Connect starts the next response; reads serve it, then report the peer's
// close (or nothing, moving the virtual clock on so the waiting reader gives up soon).
class MemoryTcp final : public OmObject<MemoryTcp, IOmTcp, IByteStream> {
public:
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out,
                                  {{&IID_IOmTcp, static_cast<IOmTcp*>(this)},
                                   {&IID_IByteStream, static_cast<IByteStream*>(this)}});
    }
    OmResult SetOption(uint32_t id, uint32_t value) override {
        if (id != OM_TCP_PORT) return OM_E_FAIL;
        port_ = value;
        return OM_S_OK;
    }
    OmResult GetOption(uint32_t id, uint32_t* out) override {
        if (id != OM_TCP_PORT || !out) return OM_E_FAIL;
        *out = port_;
        return OM_S_OK;
    }
    OmResult Connect(const char* host) override {
        if (!host) return OM_E_FAIL;
        const size_t index = script.connections.size();
        script.connections.push_back({host, port_, {}});
        response_ = index < script.responses.size() ? &script.responses[index] : nullptr;
        at_ = 0;
        return response_ ? OM_S_OK : OM_E_TCP_REFUSED;
    }
    OmResult Read(void* buffer, uint32_t count, uint32_t* done) override {
        if (done) *done = 0;
        if (!response_) return OM_E_TCP_NOTCONNECTED;
        const size_t left = response_->size() - at_;
        if (left == 0) {
            if (!script.silent_at_end) return OM_E_TCP_CLOSED;
            platform::advance_virtual_clock(30000);
            return OM_S_OK;
        }
        const uint32_t n = uint32_t(std::min<size_t>({left, count, script.read_size}));
        std::memcpy(buffer, response_->data() + at_, n);
        at_ += n;
        if (done) *done = n;
        return OM_S_OK;
    }
    OmResult Write(const void* buffer, uint32_t count, uint32_t* done) override {
        if (script.connections.empty() || !response_) return OM_E_TCP_NOTCONNECTED;
        script.connections.back().request.append(static_cast<const char*>(buffer), count);
        if (done) *done = count;
        return OM_S_OK;
    }
    OmResult Seek(int32_t, uint32_t, uint32_t*) override { return OM_E_FAIL; }

private:
    uint32_t port_ = 0;
    const std::string* response_ = nullptr;
    size_t at_ = 0;
};

const OmClassRecord tcp_classes[] = {
    {&CLSID_Win32TCP, nullptr, nullptr, OmCreateComponent<MemoryTcp>, "Win32TCP"}};

OmResult tcp_class_object(const GUID& clsid, const GUID& iid, void** out) {
    return OmGetClassObjectFromTable(tcp_classes, 1, clsid, iid, out);
}

// The Host header's "name:digits" rule, read independently of the client.
void split_host(const std::string& host, std::string& name, uint32_t& port) {
    name = host;
    port = 80;
    const size_t colon = host.rfind(':');
    if (colon == std::string::npos) return;
    const std::string digits = host.substr(colon + 1);
    if (digits.empty() || digits.size() > 5 ||
        digits.find_first_not_of("0123456789") != std::string::npos)
        return;
    const uint32_t value = uint32_t(std::stoul(digits));
    if (value == 0 || value > 65535) return;
    name = host.substr(0, colon);
    port = value;
}

void check_request(const Script::Connection& c) {
    const std::string get = "GET ", version = " HTTP/1.1\nHost: ", end = " \n\n";
    const std::string& r = c.request;
    const size_t mid = r.find(version);
    require(r.compare(0, get.size(), get) == 0 && mid != std::string::npos &&
                r.size() >= mid + version.size() + end.size() &&
                r.compare(r.size() - end.size(), end.size(), end) == 0,
            "a request has its form");
    require(std::count(r.begin(), r.end(), '\n') == 3 && r.find('\r') == std::string::npos,
            "a request holds no line end of its parts");
    const std::string target = r.substr(get.size(), mid - get.size());
    const std::string host =
        r.substr(mid + version.size(), r.size() - end.size() - mid - version.size());
    require(target.size() + host.size() <= 2040, "a request's parts fit 2040 characters");
    std::string name;
    uint32_t port = 0;
    split_host(host, name, port);
    require(c.host == name && c.port == port, "a request goes to the host it names");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzing::start_network();
    // The double takes the TCP stream's place.
    require(OmRegisterClassTable(tcp_classes, 1, tcp_class_object, OmGetObjectManager()) >= 0,
            "the TCP double registers");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzing::start_network();
    script = Script{};
    fuzzing::StepInput input(data, size);
    const uint8_t flags = input.byte();
    script.silent_at_end = flags & 1;
    script.read_size = 1 + input.byte() % 64;
    const std::string host = fuzzing::c_text(input.part());
    const std::string path = fuzzing::c_text(input.part());
    const std::string file = fuzzing::c_text(input.part());
    while (!input.empty() && script.responses.size() < 12) {
        const auto part = input.part();
        script.responses.emplace_back(part.begin(), part.end());
    }
    {
        fuzzing::FrameworkBlocksBalanced balanced;
        ComRef<IOmUrlParts> http;
        require(OmCreate(CLSID_HTTP, IID_IOmUrlParts, http.put()) >= 0, "an HTTP stream is made");
        ComRef<IByteStream> body;
        ComRef<ISyncStream> sync;
        require(http->QueryInterface(IID_IByteStream, body.put_void()) >= 0 &&
                    http->QueryInterface(IID_ISyncStream, sync.put_void()) >= 0,
                "the HTTP stream reads and reports");
        const bool parts_set = http->SetPart(OM_PART_HOST, host.c_str()) >= 0 &&
                               http->SetPart(OM_PART_PATH, path.c_str()) >= 0;
        const OmResult fetched = parts_set ? http->SetPart(OM_PART_FILE, file.c_str()) : OM_E_FAIL;
        require(script.connections.size() <= 11, "at most 10 redirects are followed");
        // Connections past the responses were refused before anything was sent.
        for (size_t i = 0; i < script.connections.size() && i < script.responses.size(); ++i)
            check_request(script.connections[i]);
        if (fetched >= 0) {
            require(!script.connections.empty(), "a fetch connects");
            std::string got;
            char chunk[512];
            for (;;) {
                uint32_t done = 0;
                const uint32_t want = 1 + uint32_t(got.size() * 7 % sizeof chunk);
                const OmResult r = body->Read(chunk, want, &done);
                require(done <= want, "a read delivers at most what was asked");
                got.append(chunk, done);
                if (r < 0 || done == 0) break;
            }
            const size_t index = script.connections.size() - 1;
            const std::string& last = script.responses[index];
            require(got.size() <= last.size() &&
                        last.compare(last.size() - got.size(), got.size(), got) == 0,
                    "the body is what followed the head");
            intptr_t delivered = -1;
            require(sync->GetOption(OM_SYNC_BYTES_READ, &delivered) >= 0 &&
                        delivered == intptr_t(got.size()),
                    "the bytes delivered are counted");
        }
    }
    return 0;
}
