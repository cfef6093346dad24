// The Input component: the drivers of its category, the reading, posting and side queues, and
// recording to and playback from a byte stream.
#include "media/input/input.h"

#include "framework/core/object_manager.h"
#include "framework/core/static_state.h"
#include "media/input/input_event_queue.h"

#include <cstring>

namespace {

constexpr uint32_t max_drivers = 255;
constexpr uint32_t record_header_size = 12;

enum Mode : uint32_t { live = 0, recording = 1, playback = 2 };

bool is_marker(const InputEvent& e, uint16_t code) {
    return e.source == 0 && e.code == code;
}

// The record layout is little-endian whatever the machine.
void encode_header(const InputEvent& e, uint8_t out[record_header_size]) {
    uint32_t words[3] = {uint32_t(e.source) | uint32_t(e.code) << 16, e.length, e.value};
    for (int w = 0; w < 3; ++w)
        for (int b = 0; b < 4; ++b) out[w * 4 + b] = uint8_t(words[w] >> (8 * b));
}

InputEvent decode_header(const uint8_t in[record_header_size]) {
    uint32_t words[3] = {};
    for (int w = 0; w < 3; ++w)
        for (int b = 0; b < 4; ++b) words[w] |= uint32_t(in[w * 4 + b]) << (8 * b);
    return InputEvent{uint16_t(words[0]), uint16_t(words[0] >> 16), words[1], words[2]};
}

// Reads exactly `count` bytes; false on a short read or a failure.
bool read_exactly(IByteStream* stream, void* buffer, uint32_t count) {
    if (count == 0) return true;
    uint32_t done = 0;
    OmResult r = stream->Read(buffer, count, &done);
    return r >= 0 && done == count;
}

class Input final : public OmObject<Input, IInput> {
public:
    static Input* instance;

    static OmResult Create(IUnknown* outer, IUnknown** out) {
        return OmCreateSingleton(instance, outer, out);
    }

    ~Input() {
        if (instance == this) instance = nullptr;
        reading_.release(&payloads_);
        posting_.release(&payloads_);
        side_.release(&payloads_);
        release_drivers();
    }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IInput, this}});
    }

    InputPayloadTable& payloads() { return payloads_; }

    OmResult Init(uint32_t capacity) override {
        // A second holder of the single instance, or a second call, leaves it as it is.
        if (ref_count() != 1 || reading_.created()) return OM_S_OK;
        if (capacity < 2) return OM_E_FAIL;
        release_drivers();
        load_drivers();
        OmResult r = reading_.create(capacity);
        if (r >= 0) r = posting_.create(capacity);
        if (r >= 0) r = side_.create(capacity);
        if (r < 0) {
            reading_.release(&payloads_);
            posting_.release(&payloads_);
            side_.release(&payloads_);
        }
        return r;
    }

    OmResult EnumerateDevices(uint16_t* cursor, uint16_t* kind) override {
        if (!cursor || !kind) return OM_E_FAIL;
        uint32_t driver = *cursor >> 8;
        uint16_t index = uint16_t(*cursor & 0xFF);
        if (driver == 0) {
            driver = 1;
            index = 0;
        }
        for (; driver <= driver_count_; ++driver, index = 0) {
            uint16_t found_kind = 0;
            if (drivers_[driver]->EnumerateDevices(&index, &found_kind) >= 0) {
                *cursor = uint16_t(driver << 8 | (index & 0xFF));
                *kind = found_kind;
                note_call(kInputEventEnumerated, uint32_t(*cursor) << 16 | found_kind);
                return OM_S_OK;
            }
        }
        return OM_E_FAIL;
    }

    OmResult FindDevice(uint16_t kind, uint16_t* id) override {
        if (!id) return OM_E_FAIL;
        uint32_t driver = *id < 256 ? 1 : *id >> 8;
        uint16_t index = *id < 256 ? 0 : uint16_t(*id & 0xFF);
        for (; driver <= driver_count_; ++driver, index = 0) {
            uint16_t found = index;
            if (drivers_[driver]->FindDevice(kind, &found) >= 0) {
                *id = uint16_t(driver << 8 | (found & 0xFF));
                return OM_S_OK;
            }
        }
        return OM_E_FAIL;
    }

    OmResult EnableDevice(uint32_t id) override {
        IInputDevice* driver = driver_of(id);
        if (!driver) return OM_E_BADPROPERTY;
        OmResult r = driver->EnableDevice(id & 0xFF);
        if (r >= 0) note_call(kInputEventEnabled, id);
        return r;
    }

    OmResult DisableDevice(uint32_t id) override {
        IInputDevice* driver = driver_of(id);
        if (!driver) return OM_E_BADPROPERTY;
        OmResult r = driver->DisableDevice(id & 0xFF);
        if (r >= 0) note_call(kInputEventDisabled, id);
        return r;
    }

    OmResult PostEvent(const InputEvent* event) override {
        marker_posted_ = 0;
        if (!event || mode_ == playback) return OM_S_OK;
        if (mode_ == recording) write_record(*event);
        posting_.push(*event, payloads_);
        return OM_S_OK;
    }

    OmResult GetEvent(InputEvent* out) override {
        if (!out) return OM_E_FAIL;
        return reading_.pop(out);
    }

    OmResult PeekEvent(InputEvent* out) override {
        if (!out) return OM_E_FAIL;
        return reading_.peek(out, payloads_);
    }

    OmResult Poll() override {
        if (mode_ == playback) return play_back_batch();
        for (uint32_t d = 1; d <= driver_count_; ++d) drivers_[d]->Poll();
        if (!marker_posted_) {
            InputEvent end_of_batch{0, kInputEventEndOfBatch, 0, 0};
            PostEvent(&end_of_batch);
            marker_posted_ = 1;
        } else if (mode_ == recording) {
            // A poll without new events is still one batch of the recording.
            write_record(InputEvent{0, kInputEventEndOfBatch, 0, 0});
        }
        if (mode_ == recording) {
            InputEvent side;
            while (side_.pop(&side) >= 0) {
                write_record(side);
                if (side.length > 0) payloads_.free(side.value);
            }
            write_record(InputEvent{0, kInputEventEndOfSideRecords, 0, 0});
        }
        side_.clear(payloads_);
        InputEvent e;
        while (posting_.pop(&e) >= 0) {
            if (is_marker(e, kInputEventEndOfBatch)) {
                if (e.length > 0) payloads_.free(e.value);
                continue;
            }
            reading_.push_owned(e, payloads_);
        }
        return OM_S_OK;
    }

    OmResult ClearEvents() override {
        reading_.clear(payloads_);
        return OM_S_OK;
    }

    OmResult StartRecording(IByteStream* stream) override { return start(stream, recording); }

    OmResult StopRecording() override {
        mode_ = live;
        stream_ = nullptr;
        side_.clear(payloads_);
        return OM_S_OK;
    }

    OmResult StartPlayback(IByteStream* stream) override { return start(stream, playback); }

    OmResult FreeEventData(InputEvent* event) override {
        if (!event || event->length == 0 || !payloads_.free(event->value)) return OM_E_FAIL;
        return OM_S_OK;
    }

private:
    void load_drivers() {
        GUID clsid = GUID_NULL;
        while (driver_count_ < max_drivers &&
               OmFindNextClassOfCategory(CATID_InputDeviceDriver, &clsid) >= 0 &&
               !om_guid_is_null(clsid)) {
            IInputDevice* driver = nullptr;
            if (OmCreateInstance(clsid, nullptr, 0, IID_IInputDevice,
                                 reinterpret_cast<void**>(&driver)) < 0 ||
                !driver)
                continue;
            drivers_[++driver_count_] = driver;
            driver->SetDeviceNumber(uint8_t(driver_count_));
        }
    }

    void release_drivers() {
        while (driver_count_ > 0) {
            IInputDevice* driver = drivers_[driver_count_];
            drivers_[driver_count_--] = nullptr;
            driver->Release();
        }
    }

    // The driver an id names; null for driver number 0 or one above the count.
    IInputDevice* driver_of(uint32_t id) const {
        uint32_t driver = (id >> 8) & 0xFF;
        if (driver == 0 || driver > driver_count_) return nullptr;
        return drivers_[driver];
    }

    // While recording, the record of a call goes with the side records of the next poll.
    void note_call(uint16_t code, uint32_t value) {
        if (mode_ == recording) side_.push(InputEvent{0, code, 0, value}, payloads_);
    }

    OmResult start(IByteStream* stream, Mode mode) {
        if (!stream) return OM_E_FAIL;
        side_.clear(payloads_);
        mode_ = mode;
        stream_ = stream;
        return OM_S_OK;
    }

    // One record: the 12-byte event, then its payload. A stream that stops taking bytes
    // ends the recording, so what it holds ends with whole records.
    void write_record(const InputEvent& e) {
        if (!stream_) return;
        uint8_t header[record_header_size];
        encode_header(e, header);
        const uint8_t* payload = nullptr;
        uint32_t length = 0;
        if (e.length > 0) {
            payload = payloads_.data(e.value, &length);
            if (!payload || length != e.length) return; // nothing to write it with
        }
        if (!write_exactly(header, record_header_size) || !write_exactly(payload, length))
            StopRecording();
    }

    bool write_exactly(const void* bytes, uint32_t count) {
        if (count == 0) return true;
        uint32_t done = 0;
        return stream_->Write(bytes, count, &done) >= 0 && done == count;
    }

    // One record from the playback stream. False at the end of the stream or on a short
    // read; a record whose payload is longer than kInputMaxPayload, or whose payload cannot
    // be held, ends playback.
    bool read_record(InputEvent* out) {
        uint8_t header[record_header_size];
        if (!stream_ || !read_exactly(stream_, header, record_header_size)) return false;
        InputEvent e = decode_header(header);
        if (e.length > 0) {
            if (e.length > kInputMaxPayload) {
                StopRecording();
                return false;
            }
            uint8_t* bytes = nullptr;
            uint32_t handle = payloads_.allocate(e.length, &bytes);
            if (!handle) {
                StopRecording();
                return false;
            }
            if (!read_exactly(stream_, bytes, e.length)) {
                payloads_.free(handle);
                return false;
            }
            e.value = handle;
        }
        *out = e;
        return true;
    }

    OmResult play_back_batch() {
        side_.clear(payloads_);
        InputEvent e;
        while (read_record(&e)) {
            if (is_marker(e, kInputEventEndOfBatch)) {
                if (e.length > 0) payloads_.free(e.value);
                break;
            }
            reading_.push_owned(e, payloads_);
        }
        while (mode_ == playback && read_record(&e)) {
            if (is_marker(e, kInputEventEndOfSideRecords)) {
                if (e.length > 0) payloads_.free(e.value);
                break;
            }
            side_.push_owned(e, payloads_);
        }
        return OM_S_OK;
    }

    IInputDevice* drivers_[max_drivers + 1];
    uint32_t driver_count_ = 0;
    uint32_t marker_posted_ = 0;
    InputEventQueue reading_;
    InputEventQueue posting_;
    InputEventQueue side_;
    IByteStream* stream_ = nullptr;
    uint32_t mode_ = live;
    InputPayloadTable payloads_;
};

Input* Input::instance = nullptr;

const OmStaticStateReset reset_instance([] { Input::instance = nullptr; });

const OmClassRecord classes[] = {
    {&CLSID_Input, nullptr, nullptr, Input::Create, "Input"},
};

} // namespace

OM_DEFINE_MODULE(Input, classes)

OmResult InputPayloadStore(const void* bytes, uint32_t length, uint32_t* handle) {
    if (!Input::instance || !handle || (length && !bytes)) return OM_E_FAIL;
    *handle = Input::instance->payloads().store(bytes, length);
    return *handle ? OM_S_OK : OM_E_OUTOFMEMORY;
}

OmResult InputPayloadData(uint32_t handle, const uint8_t** bytes, uint32_t* length) {
    if (!Input::instance || !bytes) return OM_E_FAIL;
    *bytes = Input::instance->payloads().data(handle, length);
    return *bytes ? OM_S_OK : OM_E_FAIL;
}

OmResult InputPayloadFree(uint32_t handle) {
    if (!Input::instance || !Input::instance->payloads().free(handle)) return OM_E_FAIL;
    return OM_S_OK;
}
