// ISoundControl: the interface of the sound device and of every control in the tree of
// channels above it.
#pragma once

#include "framework/core/unknown.h"
#include "sound/base/sound.h"
#include "sound/base/sound_create.h"

inline constexpr GUID IID_ISoundControl = om_guid("DB600864-C84F-11D4-871E-00C04F7963BA");

// Called for each object of a list by ForEachObject; a failure stops the walk.
using SoundObjectCallback = OmResult (*)(IUnknown* object, void* context);

struct ISoundControl : IUnknown {
    // Controls: attaches to the parent control `object` (CONTROL_INIT_FORWARD_UPDATE passes
    // Update on). Devices: the DirectSound object or null, and the device flags.
    virtual OmResult Init(IUnknown* object, uint32_t flags) = 0;
    // One time step of `elapsed` milliseconds.
    virtual OmResult Update(uint32_t elapsed) = 0;
    // Frame: 12 floats, rows right, up, at, position; velocity: 3 floats; null leaves either.
    virtual OmResult SetFrame(const float* frame, const float* velocity) = 0;
    virtual OmResult GetFrame(float* frame, float* velocity) = 0;
    // A sound maker of this control. OM_E_FAIL where the control makes none.
    virtual OmResult CreateSound(ISoundCreate** out) = 0;
    // A sound made through CreateSound from a copy of the source maker's properties 1, 3, 2
    // and 4 (source may be null).
    virtual OmResult CreateSoundFrom(ISoundCreate* source, ISound** out) = 0;
    // CONTROL_INT_* kinds. OM_E_FAIL for kinds the control does not take.
    virtual OmResult SetParamInt(int32_t kind, intptr_t value) = 0;
    virtual OmResult GetParamInt(int32_t kind, intptr_t* out) = 0;
    // CONTROL_REAL_* kinds. OM_E_FAIL for kinds the control does not take.
    virtual OmResult SetParamReal(int32_t kind, float value) = 0;
    virtual OmResult GetParamReal(int32_t kind, float* out) = 0;
    // Stops every sound of the control.
    virtual OmResult StopAll(int32_t ignored) = 0;
    // Output format code, rate in Hz and flags.
    virtual OmResult SetOutputFormat(uint32_t code, uint32_t rate, uint32_t flags) = 0;
    virtual OmResult GetOutputFormat(uint32_t* code, uint32_t* rate, uint32_t* flags) = 0;
    // CONTROL_LIST_ATTACHED (no reference) or CONTROL_LIST_ACTIVE (a sound, referenced);
    // an object already listed is not added again. OM_E_FAIL for other lists.
    virtual OmResult AddObject(int32_t list, IUnknown* object) = 0;
    // Removes an object (searching from the end); the active list drops its reference.
    // OM_E_FAIL when it is not listed.
    virtual OmResult RemoveObject(int32_t list, IUnknown* object) = 0;
    // Calls `callback` from the last object to the first; the first failure stops the walk
    // and is returned.
    virtual OmResult ForEachObject(int32_t list, SoundObjectCallback callback, void* context) = 0;
};
