// The scripted input drivers.
#include "tests/media/input/fake_input_driver.h"

#include "framework/core/com_ref.h"

namespace testsupport {
namespace {

FakeDriverScript script_a, script_b;

const GUID* const driver_categories[] = {&CATID_InputDeviceDriver, nullptr};

template <const GUID* Clsid>
class FakeDriver final : public OmObject<FakeDriver<Clsid>, IInputDevice> {
public:
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IInputDevice, this}});
    }
    OmResult SetDeviceNumber(uint8_t number) override {
        script().number = number;
        return OM_S_OK;
    }
    OmResult EnumerateDevices(uint16_t* index, uint16_t* kind) override {
        if (*index >= script().kinds.size()) {
            *index = *kind = 0;
            return OM_E_FAIL;
        }
        *kind = script().kinds[*index];
        ++*index;
        return OM_S_OK;
    }
    OmResult FindDevice(uint16_t kind, uint16_t* index) override {
        if (*index == 0)
            for (size_t i = 0; i < script().kinds.size(); ++i)
                if (script().kinds[i] == kind) {
                    *index = uint16_t(i + 1);
                    return OM_S_OK;
                }
        *index = 0;
        return OM_E_FAIL;
    }
    OmResult EnableDevice(uint32_t index) override {
        if (index == 0 || index > script().kinds.size()) return OM_E_FAIL;
        script().enabled.push_back(index);
        if (script().post_on_enable)
            post(InputEvent{kInputSourceEnabled, uint16_t(script().number << 8 | index), 0, 0});
        return OM_S_OK;
    }
    OmResult DisableDevice(uint32_t index) override {
        if (index == 0 || index > script().kinds.size()) return OM_E_FAIL;
        script().disabled.push_back(index);
        return OM_S_OK;
    }
    OmResult Poll() override {
        ++script().polls;
        std::vector<InputEvent> events;
        events.swap(script().next_poll);
        for (const InputEvent& e : events) post(e);
        return OM_S_OK;
    }

private:
    static FakeDriverScript& script() { return fake_driver_script(*Clsid); }
    static void post(const InputEvent& e) {
        ComRef<IInput> input;
        if (OmCreate(CLSID_Input, IID_IInput, input.put()) >= 0) input->PostEvent(&e);
    }
};

const OmClassRecord classes[] = {
    {&CLSID_FakeDriverA, driver_categories, nullptr,
     OmCreateComponent<FakeDriver<&CLSID_FakeDriverA>>, "FakeDriverA"},
    {&CLSID_FakeDriverB, driver_categories, nullptr,
     OmCreateComponent<FakeDriver<&CLSID_FakeDriverB>>, "FakeDriverB"},
};

} // namespace

FakeDriverScript& fake_driver_script(const GUID& clsid) {
    return clsid == CLSID_FakeDriverA ? script_a : script_b;
}

void reset_fake_driver_scripts() {
    script_a = {};
    script_b = {};
}

OM_DEFINE_MODULE(FakeInputDrivers, classes)

} // namespace testsupport
