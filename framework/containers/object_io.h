// The clone-and-write interface of the framework's value and container components, and the
// one routine through which containers copy their elements.
#pragma once

#include "framework/core/unknown.h"

inline constexpr GUID IID_IObjectIO = om_guid("E13FBDAB-CC21-11D4-8721-00C04F7963BA");

struct IIFF;

struct IObjectIO : IUnknown {
    // A new object of the same class with a copy of this one's contents (reference count 1).
    // Containers copy their elements with OmCopyObject and the same flags. OM_E_OUTOFMEMORY.
    virtual OmResult Clone(uint32_t flags, IUnknown** out) = 0;
    // Writes this object as one chunk of a chunked file, or reads it back, as the file's mode
    // says. The first failure of the file's operations; OM_E_FAIL for a null file or a kind
    // of object that is not stored in files.
    virtual OmResult Write(IIFF* file) = 0;
};

// Copy flags of Clone and OmCopyObject.
inline constexpr uint32_t OM_COPY_DEEP = 1;
// With OM_COPY_DEEP: an element without IObjectIO is shared instead of copied as null...
inline constexpr uint32_t OM_COPY_SHARE_UNCOPYABLE = 4;
// ...or, with both of these bits, makes the copy fail.
inline constexpr uint32_t OM_COPY_REFUSE_UNCOPYABLE = 6;

// *out := a copy of `object`: shallow (one more reference on the object itself) unless
// OM_COPY_DEEP is set, in which case the object clones itself; an object that cannot clone
// itself is copied as null, shared or refused (OM_E_FAIL) as the flags say. Null copies null.
OmResult OmCopyObject(IUnknown* object, uint32_t flags, IUnknown** out);

// A chunk tag: four characters, the first in the most significant byte ("INT " ends in a
// blank).
consteval uint32_t om_chunk_tag(const char (&text)[5]) {
    return uint32_t(uint8_t(text[0])) << 24 | uint32_t(uint8_t(text[1])) << 16 |
           uint32_t(uint8_t(text[2])) << 8 | uint32_t(uint8_t(text[3]));
}
