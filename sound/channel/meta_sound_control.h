// MetaSoundControl: a control that stands for a list of member controls and hands almost
// every operation to each of them; it makes and lists no sounds of its own.
#pragma once

#include "framework/core/class_factory.h"
#include "sound/base/sound_control.h"
#include "sound/base/sound_object.h"

#include <vector>

inline constexpr GUID CLSID_MetaSoundControl = om_guid("A16C1634-04FD-11D5-A4A4-00010239331A");

class MetaSoundControl final : public SoundObject<ISoundControl> {
public:
    static OmResult create(IUnknown* outer, IUnknown** out);

    OmResult QueryInterface(const GUID& iid, void** out) override;
    // Does nothing. 0.
    OmResult Init(IUnknown* object, uint32_t flags) override;
    // CONTROL_INT_ADD_MEMBER adds a control (once, referenced; never itself), CONTROL_INT_MEMBER
    // removes it; other kinds go to every member.
    OmResult SetParamInt(int32_t kind, intptr_t value) override;
    // Handed to every member from the last to the first. 0.
    OmResult Update(uint32_t elapsed) override;
    OmResult SetFrame(const float* frame, const float* velocity) override;
    OmResult GetFrame(float* frame, float* velocity) override;
    OmResult GetParamInt(int32_t kind, intptr_t* out) override;
    OmResult SetParamReal(int32_t kind, float value) override;
    OmResult GetParamReal(int32_t kind, float* out) override;
    OmResult StopAll(int32_t ignored) override;
    OmResult SetOutputFormat(uint32_t code, uint32_t rate, uint32_t flags) override;
    OmResult GetOutputFormat(uint32_t* code, uint32_t* rate, uint32_t* flags) override;
    // OM_E_FAIL: the members make and list the sounds.
    OmResult CreateSound(ISoundCreate** out) override;
    OmResult CreateSoundFrom(ISoundCreate* source, ISound** out) override;
    OmResult AddObject(int32_t list, IUnknown* object) override;
    OmResult RemoveObject(int32_t list, IUnknown* object) override;
    OmResult ForEachObject(int32_t list, SoundObjectCallback callback, void* context) override;

    size_t member_count() const { return members_.size(); }

private:
    MetaSoundControl() = default;
    ~MetaSoundControl() override;
    // Calls `op` on every member from the last to the first. A control reached again through
    // its own members (a ring of meta controls) does nothing the second time.
    template <class Op>
    OmResult each(Op op);

    std::vector<ISoundControl*> members_; // referenced
    bool busy_ = false;
};

OM_DECLARE_MODULE(MetaSoundControl);
