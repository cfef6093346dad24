// StdInput: a small byte queue read and written as a byte stream.
#pragma once

#include "framework/core/class_factory.h"
#include "framework/io/byte_stream.h"

inline constexpr GUID CLSID_StdInput = om_guid("DD16B914-C84F-11D4-871E-00C04F7963BA");

// Places of the queue; one stays free, so it holds 255 bytes.
inline constexpr uint32_t kStdInputPlaces = 256;

// Answers IByteStream. Write stores what fits and fails with OM_E_FAIL when a byte does not
// (the bytes before it stay written); Read takes up to `count` bytes and fails with OM_E_FAIL
// when the queue is empty; both report the bytes moved through `done` when given. Seek fails.
OM_DECLARE_MODULE(StdInput);
