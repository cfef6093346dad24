// Win32DxKeyboard and Win32DxMouse: enumerate the platform's keyboards or mice, open each
// buffered at the game window, and offer it as a stream of fixed-size records.
#include "media/input/dx_stream_devices.h"

#include "framework/containers/com_array.h"
#include "framework/platform/os_service.h"
#include "platform/input/dinput.h"

namespace {

namespace di = platform;

constexpr uint32_t size_word_bytes = 4;
constexpr int32_t array_growth = 10;
constexpr uint32_t device_buffer_size = 1024;

void put_word(uint8_t* out, uint32_t value) {
    for (int b = 0; b < 4; ++b) out[b] = uint8_t(value >> (8 * b));
}

class DeviceStream final : public OmObject<DeviceStream, IByteStream> {
public:
    ~DeviceStream() {
        if (device_) {
            device_->Unacquire();
            device_->Release();
        }
    }

    // Takes over the caller's reference on the device.
    void attach(di::IDirectInputDevice7* device, uint32_t record_type) {
        device_ = device;
        record_type_ = record_type;
    }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IByteStream, this}});
    }

    OmResult Read(void* buffer, uint32_t count, uint32_t* done) override {
        if (done) *done = 0;
        if (!buffer) return OM_E_FAIL;
        auto* out = static_cast<uint8_t*>(buffer);
        if (count == size_word_bytes) {
            if (!fetch()) return OM_E_FAIL;
            put_word(out, kDeviceRecordSize);
            if (done) *done = size_word_bytes;
            return OM_S_OK;
        }
        // The announced record goes with this read, whatever its size.
        bool had = pending_;
        pending_ = false;
        if (!had || count != kDeviceRecordSize) return OM_E_FAIL;
        put_word(out, record_type_);
        put_word(out + 4, event_.dwOfs);
        put_word(out + 8, record_type_ == kKeyboardRecordType
                              ? ((event_.dwData & di::DI_PRESSED) ? 1 : 0)
                              : event_.dwData);
        if (done) *done = kDeviceRecordSize;
        return OM_S_OK;
    }

    OmResult Write(const void*, uint32_t, uint32_t* done) override {
        if (done) *done = 0;
        return OM_E_FAIL;
    }

    OmResult Seek(int32_t, uint32_t, uint32_t*) override { return OM_E_FAIL; }

private:
    // One buffered event into event_; a device that lost its acquisition is acquired again
    // and yields nothing this time.
    bool fetch() {
        uint32_t n = 1;
        int32_t r = device_->GetDeviceData(sizeof event_, &event_, &n, 0);
        if (r == di::DIERR_INPUTLOST || r == di::DIERR_NOTACQUIRED) {
            device_->Acquire();
            return false;
        }
        pending_ = r >= 0 && n == 1;
        return pending_;
    }

    di::IDirectInputDevice7* device_ = nullptr;
    uint32_t record_type_ = 0;
    di::DIDEVICEOBJECTDATA event_{};
    bool pending_ = false;
};

struct KeyboardKind {
    static constexpr uint32_t device_type = di::DIDEVTYPE_KEYBOARD;
    static constexpr uint32_t record_type = kKeyboardRecordType;
    static constexpr uint32_t level = di::DISCL_NONEXCLUSIVE | di::DISCL_FOREGROUND;
    static const di::DIDATAFORMAT& format() { return di::c_dfDIKeyboard; }
};

struct MouseKind {
    static constexpr uint32_t device_type = di::DIDEVTYPE_MOUSE;
    static constexpr uint32_t record_type = kMouseRecordType;
    static constexpr uint32_t level = di::DISCL_EXCLUSIVE | di::DISCL_FOREGROUND;
    static const di::DIDATAFORMAT& format() { return di::c_dfDIMouse; }
};

template <class Kind>
class StreamDevices final : public OmObject<StreamDevices<Kind>, IInputStreamDevices> {
public:
    ~StreamDevices() {
        if (devices_) devices_->Release();
        if (direct_input_) direct_input_->Release();
        if (os_acquired_) OmOSServiceRelease();
    }

    OmResult init() {
        os_acquired_ = OmOSServiceAcquire() >= 0;
        OmResult r = OmNewCOMArray(&devices_);
        if (r < 0) return r;
        if (di::DirectInputCreateEx(nullptr, di::DIRECTINPUT_VERSION_700, di::IID_IDirectInput7,
                                    reinterpret_cast<void**>(&direct_input_), nullptr) < 0) {
            direct_input_ = nullptr;
            return OM_E_FAIL;
        }
        direct_input_->EnumDevices(Kind::device_type, found_device, this, di::DIEDFL_ATTACHEDONLY);
        return OM_S_OK;
    }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IInputStreamDevices, this}});
    }

    int32_t GetDeviceCount() override { return devices_->Count(); }

    OmResult GetDevice(int32_t index, IByteStream** out) override {
        if (!out) return OM_E_FAIL;
        *out = nullptr;
        IUnknown* device = devices_->GetAt(index);
        if (!device) return OM_E_FAIL;
        return device->QueryInterface(IID_IByteStream, reinterpret_cast<void**>(out));
    }

private:
    static int32_t found_device(const di::DIDEVICEINSTANCE* instance, void* context) {
        static_cast<StreamDevices*>(context)->open(instance->guidInstance);
        return di::DIENUM_CONTINUE;
    }

    // A device that cannot be set up is left out.
    void open(const di::GUID& instance) {
        di::IDirectInputDevice7* device = nullptr;
        if (direct_input_->CreateDevice(instance, &device, nullptr) < 0) return;
        IOmWindow* service = OmOSServiceGetShared();
        di::DIPROPDWORD buffer{
            {sizeof(di::DIPROPDWORD), sizeof(di::DIPROPHEADER), 0, di::DIPH_DEVICE},
            device_buffer_size};
        if (device->SetDataFormat(&Kind::format()) < 0 ||
            device->SetCooperativeLevel(service ? service->GetHandle() : nullptr, Kind::level) <
                0 ||
            device->SetProperty(di::DIPROP_BUFFERSIZE, &buffer.diph) < 0) {
            device->Release();
            return;
        }
        // Without focus now, the first read acquires it later.
        device->Acquire();
        DeviceStream* stream = new DeviceStream;
        if (!stream) {
            device->Release();
            return;
        }
        stream->attach(device, Kind::record_type);
        int32_t count = devices_->Count();
        if (count % array_growth == 0) devices_->Reserve(count + array_growth);
        if (devices_->Append(stream->identity()) < 0) stream->Release();
    }

    ICOMArray* devices_ = nullptr;
    di::IDirectInput7* direct_input_ = nullptr;
    bool os_acquired_ = false;
};

const OmClassRecord keyboard_classes[] = {
    {&CLSID_Win32DxKeyboard, nullptr, nullptr, OmCreateComponent<StreamDevices<KeyboardKind>>,
     "Win32DxKeyboard"},
};

const OmClassRecord mouse_classes[] = {
    {&CLSID_Win32DxMouse, nullptr, nullptr, OmCreateComponent<StreamDevices<MouseKind>>,
     "Win32DxMouse"},
};

} // namespace

OM_DEFINE_MODULE(Win32DxKeyboard, keyboard_classes)
OM_DEFINE_MODULE(Win32DxMouse, mouse_classes)
