// The blocking stream: polls its inner stream until a read is complete or stalls too long.
#include "framework/io/sync_stream.h"

#include "framework/core/com_ref.h"
#include "platform/clock.h"

namespace {

// Its options interface comes first in the object, but the identity it hands out (and what
// IUnknown answers) is the byte stream.
class SyncStream final : public OmObject<SyncStream, ISyncStream, IByteStream> {
public:
    IUnknown* identity() { return static_cast<IByteStream*>(this); }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out,
                                  {{&IID_IByteStream, static_cast<IByteStream*>(this)},
                                   {&IID_ISyncStream, static_cast<ISyncStream*>(this)}});
    }

    OmResult SetOption(uint32_t id, intptr_t value) override {
        switch (id) {
        case OM_SYNC_EXPECTED_LENGTH: expected_length_ = int32_t(value); return OM_S_OK;
        case OM_SYNC_NONBLOCKING: nonblocking_ = uint32_t(value); return OM_S_OK;
        case OM_SYNC_TIMEOUT: timeout_ms_ = uint32_t(value); return OM_S_OK;
        case OM_SYNC_INNER_STREAM:
            inner_ = ComRef<IByteStream>::share(reinterpret_cast<IByteStream*>(value));
            bytes_read_ = 0;
            bytes_written_ = 0;
            expected_length_ = -1;
            return OM_S_OK;
        case OM_SYNC_BYTES_READ: bytes_read_ = uint32_t(value); return OM_S_OK;
        case OM_SYNC_BYTES_WRITTEN: bytes_written_ = uint32_t(value); return OM_S_OK;
        default: return OM_E_FAIL;
        }
    }

    OmResult GetOption(uint32_t id, intptr_t* out) override {
        if (!out) return OM_E_FAIL;
        switch (id) {
        case OM_SYNC_EXPECTED_LENGTH:
            if (expected_length_ < 0) return OM_E_FAIL;
            *out = expected_length_;
            return OM_S_OK;
        case OM_SYNC_NONBLOCKING: *out = nonblocking_; return OM_S_OK;
        case OM_SYNC_TIMEOUT: *out = timeout_ms_; return OM_S_OK;
        case OM_SYNC_INNER_STREAM: *out = reinterpret_cast<intptr_t>(inner_.get()); return OM_S_OK;
        case OM_SYNC_BYTES_READ: *out = bytes_read_; return OM_S_OK;
        case OM_SYNC_BYTES_WRITTEN: *out = bytes_written_; return OM_S_OK;
        default: return OM_E_FAIL;
        }
    }

    OmResult Read(void* buffer, uint32_t count, uint32_t* done) override {
        if (done) *done = 0;
        if (!inner_) return OM_E_FAIL;
        if (nonblocking_) {
            uint32_t got = 0;
            OmResult r = inner_->Read(buffer, count, &got);
            bytes_read_ += got;
            if (done) *done = got;
            return r;
        }
        return read_blocking(static_cast<uint8_t*>(buffer), count, done);
    }

    OmResult Write(const void* buffer, uint32_t count, uint32_t* done) override {
        if (done) *done = 0;
        if (!inner_) return OM_E_FAIL;
        uint32_t written = 0;
        OmResult r = inner_->Write(buffer, count, &written);
        bytes_written_ += written;
        if (done) *done = written;
        return r;
    }

    OmResult Seek(int32_t offset, uint32_t origin, uint32_t* position) override {
        if (!inner_) return OM_E_FAIL;
        return inner_->Seek(offset, origin, position);
    }

private:
    // The time-out counts from the last read that delivered bytes. An empty poll sleeps 1 ms
    // so that a long wait does not spin a core (and so that the virtual clock moves in tests).
    OmResult read_blocking(uint8_t* buffer, uint32_t count, uint32_t* done) {
        uint32_t total = 0;
        OmResult result = OM_S_OK;
        uint32_t last_delivery = platform::timeGetTime();
        while (total < count) {
            uint32_t got = 0;
            OmResult r = inner_->Read(buffer + total, count - total, &got);
            if (got > count - total) got = count - total;
            total += got;
            if (r < 0) {
                result = r;
                break;
            }
            uint32_t now = platform::timeGetTime();
            if (got) {
                last_delivery = now;
                continue;
            }
            if (now - last_delivery > timeout_ms_) {
                result = OM_E_STREAMTIMEOUT;
                break;
            }
            platform::Sleep(1);
        }
        bytes_read_ += total;
        if (done) *done = total;
        return result;
    }

    ComRef<IByteStream> inner_;
    int32_t expected_length_ = -1;
    uint32_t bytes_read_ = 0;
    uint32_t bytes_written_ = 0;
    uint32_t nonblocking_ = 0;
    uint32_t timeout_ms_ = OM_SYNC_DEFAULT_TIMEOUT_MS;
};

const OmClassRecord classes[] = {
    {&CLSID_SyncStream, nullptr, nullptr, OmCreateComponent<SyncStream>, "SyncStream"}};

} // namespace

OM_DEFINE_MODULE(SyncStream, classes)
