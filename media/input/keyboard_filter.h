// Keyboard: a filter over a stream of key records that remembers which keys are down.
#pragma once

#include "framework/core/class_factory.h"
#include "framework/io/byte_stream.h"

inline constexpr GUID CLSID_Keyboard = om_guid("DD1DE022-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID IID_IKeyboard = om_guid("3D264517-75FC-48E8-BC00-164E4E95957D");

// A key record as the keyboard device streams give it: {kKeyRecordType, scan code, 1 pressed
// or 0 released}, three little-endian 32-bit words. A stream announces each record by its
// size (a 4-byte read) before it is read whole.
inline constexpr uint32_t kKeyRecordType = 1;
inline constexpr uint32_t kKeyRecordSize = 12;

// The filter answers IByteStream too: reads, writes and seeks pass to the source, and every
// key record read through it updates the key table.
struct IKeyboard : IUnknown {
    // The stream the filter reads from (a reference is kept; null detaches). 0.
    virtual OmResult SetSource(IByteStream* source) = 0;
    // 1 while the key with this scan code is down, else 0 (also for codes above 255).
    virtual uint32_t IsKeyDown(uint32_t scan_code) = 0;
};

OM_DECLARE_MODULE(Keyboard);
