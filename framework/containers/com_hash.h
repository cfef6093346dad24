// COMHash maps names to objects (holding one reference to each); ObjHash adds typed setters
// and getters that keep plain values in value components.
#pragma once

#include "framework/containers/object_io.h"
#include "framework/core/class_factory.h"

inline constexpr GUID CLSID_COMHash = om_guid("DA65B17A-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID CLSID_ObjHash = om_guid("DA7661F0-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID IID_ICOMHash = om_guid("DABB8622-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID IID_IObjHash = om_guid("DAC771E4-C84F-11D4-871E-00C04F7963BA");

inline constexpr uint32_t OM_TAG_COMHASH = om_chunk_tag("CHAS");
inline constexpr uint32_t OM_TAG_OBJHASH = om_chunk_tag("OHAS");

// Called per entry; a negative result stops a ForEach walk.
using OmObjectCallback = OmResult (*)(const char* name, IUnknown* object, void* context);

// Modes of ForEachMatching.
enum OmNameMatch : int32_t { OM_MATCH_PREFIX = 0, OM_MATCH_SUFFIX = 1, OM_MATCH_EXACT = 2 };

struct ICOMHash : IObjectIO {
    // Releases every object and starts again empty with a load factor (0 = 5).
    virtual OmResult Reset(uint32_t load_factor) = 0;
    // Calls the callback per entry in bucket order; the first negative result is returned.
    virtual OmResult ForEach(OmObjectCallback callback, void* context) = 0;
    // Releases the object under the name and removes it. OM_E_FAIL when absent.
    virtual OmResult Remove(const char* name) = 0;
    // Stores an object (null allowed) under a name, taking over the caller's reference; an
    // object stored there before is released, the same object stays as it is.
    // OM_E_OUTOFMEMORY (the caller keeps its reference).
    virtual OmResult Set(const char* name, IUnknown* object) = 0;
    // The object under the name or null; no reference added.
    virtual IUnknown* Get(const char* name) = 0;
    // 1 or 0.
    virtual int32_t Has(const char* name) = 0;
    virtual uint32_t Count() = 0;
    // Releases every object and empties the table.
    virtual OmResult RemoveAll() = 0;
    // Stores every entry of the other hash here with a reference of its own; first failure.
    virtual OmResult CopyFrom(ICOMHash* other) = 0;
    // Calls the callback for names that begin with, end with or equal the pattern; 0.
    virtual OmResult ForEachMatching(const char* pattern, int32_t mode, OmObjectCallback callback,
                                     void* context) = 0;
};

struct IObjHash : ICOMHash {
    // An Int stored under the name is changed in place; anything else is replaced by a new
    // Int. OM_E_OUTOFMEMORY leaves the entry as it was.
    virtual OmResult SetInt(const char* name, int32_t value) = 0;
    // The value of an Int (or of an object answering IInt) under the name, else the default.
    virtual int32_t GetInt(const char* name, int32_t fallback) = 0;
    virtual OmResult SetReal(const char* name, float value) = 0;
    virtual float GetReal(const char* name, float fallback) = 0;
    // As SetInt with a String; a String stored there returns its own Set result.
    virtual OmResult SetString(const char* name, const char* text) = 0;
    // The stored String's own text (valid while it lives unchanged), else the default.
    virtual const char* GetString(const char* name, const char* fallback) = 0;
    virtual OmResult SetPtr(const char* name, void* value) = 0;
    virtual void* GetPtr(const char* name, void* fallback) = 0;
    virtual OmResult SetGuid(const char* name, const GUID* value) = 0;
    // Copies the stored GUID out; leaves *value untouched when there is none. Always 0.
    virtual OmResult GetGuid(const char* name, GUID* value) = 0;
};

OM_DECLARE_MODULE(COMHash);
OM_DECLARE_MODULE(ObjHash);

// Creates an ObjHash directly, without the object manager.
OmResult OmCreateObjHash(IUnknown* outer, IObjHash** out);
