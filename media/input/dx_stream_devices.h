// Win32DxKeyboard and Win32DxMouse: the attached keyboards or mice, each offered as a byte
// stream of records.
#pragma once

#include "framework/core/class_factory.h"
#include "framework/io/byte_stream.h"

inline constexpr GUID CLSID_Win32DxKeyboard = om_guid("DF876130-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID CLSID_Win32DxMouse = om_guid("DF8C25E4-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID IID_IInputStreamDevices = om_guid("677C6ED3-3624-4ECC-9CBB-2D77CFE3B1BF");

// Reading a device stream: ask for 4 bytes first, which fetches one buffered event and
// answers the size of its record (kDeviceRecordSize); then read exactly that many bytes for
// the record. A read of another size fails with OM_E_FAIL and drops the record; with nothing
// buffered the size read fails with OM_E_FAIL. Records are three little-endian 32-bit words:
// keyboard {1, scan code, 1 pressed or 0 released}; mouse {2, object offset (0 X, 4 Y,
// 8 wheel, 12-15 buttons), data (relative motion, or 0x80 pressed / 0 released)}.
inline constexpr uint32_t kDeviceRecordSize = 12;
inline constexpr uint32_t kKeyboardRecordType = 1;
inline constexpr uint32_t kMouseRecordType = 2;

struct IInputStreamDevices : IUnknown {
    // The devices found when the component was made.
    virtual int32_t GetDeviceCount() = 0;
    // The device's stream with a reference added. OM_E_FAIL outside 0 .. count - 1.
    virtual OmResult GetDevice(int32_t index, IByteStream** out) = 0;
};

OM_DECLARE_MODULE(Win32DxKeyboard);
OM_DECLARE_MODULE(Win32DxMouse);
