// SimpleArray: a component holding an array of plain numeric elements of one declared kind.
#pragma once

#include "framework/containers/object_io.h"
#include "framework/core/class_factory.h"

inline constexpr GUID CLSID_SimpleArray = om_guid("A0410EFE-CA0B-11D4-871F-00C04F7963BA");
inline constexpr GUID IID_ISimpleArray = om_guid("A0410EFD-CA0B-11D4-871F-00C04F7963BA");

inline constexpr uint32_t OM_TAG_SIMPLEARRAY = om_chunk_tag("SARR");

// The kind of a fresh array, before Init gives it one.
inline constexpr int32_t OM_SIMPLE_ARRAY_NO_KIND = -1;
// Kinds are 0 .. OM_SIMPLE_ARRAY_MAX_KIND.
inline constexpr int32_t OM_SIMPLE_ARRAY_MAX_KIND = 9;
// Bytes of one value of each kind.
inline constexpr int32_t om_simple_array_kind_sizes[OM_SIMPLE_ARRAY_MAX_KIND + 1] = {
    1, 1, 2, 4, 4, 12, 48, 16, 4, 4};

struct ISimpleArray : IObjectIO {
    // Clone: a new SimpleArray of the same kind and multiplicity with a copy of the elements
    // (flags ignored). Write: the "SARR" chunk (kind, multiplicity, count, element bytes);
    // reading checks the header against the chunk first (OM_E_FAIL).

    // Drops the elements and sets kind and multiplicity (0 or less counts as 1); the element
    // size is the kind's size x the multiplicity. OM_E_FAIL for an unknown kind or an element
    // size beyond 32 bits (the array is then empty without a kind); OM_E_OUTOFMEMORY when the
    // first element's room cannot be had (nothing changed).
    virtual OmResult Init(int32_t kind, int32_t multiplicity) = 0;
    // The kind (OM_SIMPLE_ARRAY_NO_KIND before Init); either out pointer may be null.
    virtual int32_t GetKind(int32_t* multiplicity, int32_t* element_size) = 0;
    virtual int32_t Count() = 0;
    // Sets the count; new elements are not cleared. OM_E_OUTOFMEMORY (count unchanged);
    // OM_E_FAIL for a negative count or an array without a kind.
    virtual OmResult SetCount(int32_t n) = 0;
    // Frees the elements; count and capacity 0. 0.
    virtual OmResult RemoveAll() = 0;
    // Shrinks the block to the count. OM_E_OUTOFMEMORY leaves it as it was.
    virtual OmResult Compact() = 0;
    // Copies one element (element-size bytes, which may lie inside this array) to a new last
    // element. OM_E_OUTOFMEMORY (unchanged); OM_E_FAIL without a kind or element.
    virtual OmResult Append(const void* element) = 0;
    // Removes the element (an index at or past the last drops the last); the new count.
    virtual int32_t RemoveAt(int32_t index) = 0;
    // Inserts a copy of the element at the index (at or past the count: at the end).
    // OM_E_OUTOFMEMORY (unchanged); OM_E_FAIL for a negative index, no kind or no element.
    virtual OmResult InsertAt(int32_t index, const void* element) = 0;
    // Copies the element over the one at the index. OM_E_FAIL outside 0 .. count - 1.
    virtual OmResult SetAt(int32_t index, const void* element) = 0;
    // The element's address, or null outside 0 .. count - 1.
    virtual void* GetAt(int32_t index) = 0;
    // *data := the elements (null when empty); 0. OM_E_FAIL for a null out pointer.
    virtual OmResult LockData(void** data) = 0;
    // 0.
    virtual OmResult UnlockData() = 0;
    // Reorders the n (= count) elements: gathering, new element k is old element index[k];
    // scattering, old element k goes to position index[k] (positions no element reaches are
    // zero-filled). OM_E_FAIL when n differs from the count or an index is out of range;
    // OM_E_OUTOFMEMORY for the temporary block (unchanged).
    virtual OmResult Permute(const int32_t* index, int32_t n, int32_t gather) = 0;
    // Appends every element of another SimpleArray (this one included) of the same kind,
    // multiplicity and element size. OM_E_FAIL on a mismatch; OM_E_OUTOFMEMORY (unchanged).
    virtual OmResult AppendFrom(ISimpleArray* other) = 0;
};

OM_DECLARE_MODULE(SimpleArray);

// A new empty SimpleArray without a kind, made directly. OM_E_OUTOFMEMORY.
OmResult OmNewSimpleArray(ISimpleArray** out);

// Whether a "SARR" chunk of `chunk_size` data bytes can hold the array its header announces
// (kind, multiplicity, count: 12 bytes, then the elements). OM_E_FAIL for an unknown kind, a
// negative count, or elements that overflow 32 bits or run past the chunk; else 0.
OmResult OmSimpleArrayCheckHeader(int32_t kind, int32_t multiplicity, int32_t count,
                                  uint32_t chunk_size);
