// Input: the one component through which the game receives keyboard, mouse, joystick and
// clock events, with the interface its device drivers implement.
#pragma once

#include "framework/core/class_factory.h"
#include "framework/io/byte_stream.h"
#include "media/input/input_event.h"

inline constexpr GUID CLSID_Input = om_guid("DD0D2FAC-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID IID_IInput = om_guid("DD250730-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID IID_IInputDevice = om_guid("DD29CBE4-C84F-11D4-871E-00C04F7963BA");
// The category of the drivers that Init loads: "Ormic InputDeviceDriver".
inline constexpr GUID CATID_InputDeviceDriver = om_guid("DD11F460-C84F-11D4-871E-00C04F7963BA");

// Device kinds that FindDevice looks for and EnumerateDevices reports.
inline constexpr uint16_t kInputKindKeyboard = 1;
inline constexpr uint16_t kInputKindMouse = 2; // taken exclusively
inline constexpr uint16_t kInputKindJoystick = 3;
inline constexpr uint16_t kInputKindTicker = 4;
inline constexpr uint16_t kInputKindSharedMouse = 5;

// Records of the component's own calls in a recording (source 0).
inline constexpr uint16_t kInputEventEnumerated = 257; // value (cursor << 16) | kind
inline constexpr uint16_t kInputEventEnabled = 258;    // value device id
inline constexpr uint16_t kInputEventDisabled = 259;   // value device id

// Notifications the drivers post when a device starts (source 1) or stops (source 2)
// reporting; the value is kInputNotify*.
inline constexpr uint16_t kInputSourceEnabled = 1;
inline constexpr uint16_t kInputSourceDisabled = 2;
inline constexpr uint32_t kInputNotifyKeyboard = 0;
inline constexpr uint32_t kInputNotifyMouse = 1;
inline constexpr uint32_t kInputNotifyJoystick = 2;

// The longest payload a played-back record may carry; a longer one ends playback.
inline constexpr uint32_t kInputMaxPayload = 64 * 1024;

// Events carry a payload (length > 0) by handle: the value word names a block kept in the
// live Input's payload table (see input_payload.h), never a memory address.
struct IInput : IUnknown {
    // Loads the drivers of CATID_InputDeviceDriver and makes the reading, posting and side
    // queues of `capacity` slots (capacity - 1 events each). Does nothing (0) unless the
    // caller holds the only reference and the component is not initialised yet.
    // OM_E_OUTOFMEMORY when a queue cannot be had; OM_E_FAIL for a capacity below 2.
    virtual OmResult Init(uint32_t capacity) = 0;
    // Steps *cursor to the next logical device of the drivers (start with 0) and stores its
    // kind. OM_E_FAIL when there is none.
    virtual OmResult EnumerateDevices(uint16_t* cursor, uint16_t* kind) = 0;
    // Finds a device of `kind` (kInputKind*); set *id to 0 first. On success *id is the device
    // id (driver number << 8 | index). OM_E_FAIL when no driver has one.
    virtual OmResult FindDevice(uint16_t kind, uint16_t* id) = 0;
    // Asks the device's driver to start reporting it. OM_E_BADPROPERTY for an id whose
    // driver number is 0 or above the driver count; else the driver's result.
    virtual OmResult EnableDevice(uint32_t id) = 0;
    // Asks the driver to stop reporting it; results as EnableDevice.
    virtual OmResult DisableDevice(uint32_t id) = 0;
    // Reports an event (drivers, during their Poll or enable/disable). Always 0: an event
    // that does not fit, or arrives during playback, is dropped.
    virtual OmResult PostEvent(const InputEvent* event) = 0;
    // Takes the oldest delivered event. OM_E_FAIL when there is none (the output untouched);
    // a payload handle in the output must be given back through FreeEventData.
    virtual OmResult GetEvent(InputEvent* out) = 0;
    // Copies the oldest delivered event without taking it (a payload gets its own handle).
    // OM_E_FAIL when empty; OM_E_OUTOFMEMORY when the payload cannot be copied.
    virtual OmResult PeekEvent(InputEvent* out) = 0;
    // Polls every driver and delivers the events posted since the last poll as one batch;
    // during playback delivers the next recorded batch instead. 0.
    virtual OmResult Poll() = 0;
    // Drops every delivered event not taken yet. 0.
    virtual OmResult ClearEvents() = 0;
    // Writes every event from now on to `stream`, one batch per poll (the caller keeps the
    // stream alive until StopRecording). OM_E_FAIL for a null stream.
    virtual OmResult StartRecording(IByteStream* stream) = 0;
    // Ends recording or playback; back to live input. 0.
    virtual OmResult StopRecording() = 0;
    // Replaces live input by the batches recorded in `stream`. OM_E_FAIL for a null stream.
    virtual OmResult StartPlayback(IByteStream* stream) = 0;
    // Frees the payload of an event taken by GetEvent or PeekEvent. OM_E_FAIL when it has
    // none.
    virtual OmResult FreeEventData(InputEvent* event) = 0;
};

// What Input calls on each driver.
struct IInputDevice : IUnknown {
    // Tells the driver its number (1..255); its device ids are number << 8 | index.
    virtual OmResult SetDeviceNumber(uint8_t number) = 0;
    // Steps *index (0 starts) to the next device of the driver and stores its kind.
    // OM_E_FAIL (index and kind 0) when there is none.
    virtual OmResult EnumerateDevices(uint16_t* index, uint16_t* kind) = 0;
    // With *index 0, finds a device of `kind` and stores its index. OM_E_FAIL otherwise.
    virtual OmResult FindDevice(uint16_t kind, uint16_t* index) = 0;
    virtual OmResult EnableDevice(uint32_t index) = 0;
    // OM_E_FAIL when the device is not enabled.
    virtual OmResult DisableDevice(uint32_t index) = 0;
    // Posts the enabled devices' new events to Input. 0.
    virtual OmResult Poll() = 0;
};

OM_DECLARE_MODULE(Input);
