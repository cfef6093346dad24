// MetaObjectRW: collects the readers/writers of a category, picks one by a path's extension,
// resolves paths against a base directory and can cache what it loads.
#pragma once

#include "framework/containers/com_hash.h"
#include "framework/io/object_rw.h"

inline constexpr GUID IID_IMetaObjectRW = om_guid("4310503A-98C9-4CB3-AFB3-29301BAD4193");
inline constexpr GUID CLSID_MetaObjectRW = om_guid("3A61241D-F28C-11D4-A498-00010239331A");

// Bytes of the base directory and of a full path, with the terminator.
inline constexpr uint32_t OM_META_PATH_SIZE = 260;

// Options of IObjectRW::SetOption that the dispatcher keeps itself; every other id goes to
// each registered reader/writer.
inline constexpr uint32_t OM_META_OPTION_CACHE = 3;      // non-zero: cache loaded objects
inline constexpr uint32_t OM_META_OPTION_WRITE_NONE = 4; // non-zero: Save writes nothing

// The object's identity is its IObjectRW interface, whose path-level operations dispatch by
// the path's extension (the path used as given; OM_E_FAIL when no reader has the extension).
struct IMetaObjectRW : IUnknown {
    // Registers the reader under each of its extensions (a later reader replaces an earlier
    // one). 0.
    virtual OmResult AddReader(IObjectRW* reader) = 0;
    // Adds every class of the category that creates for IObjectRW. 0.
    virtual OmResult AddCategory(const GUID& catid) = 0;
    // The creation's failure, else 0.
    virtual OmResult AddClass(const GUID& clsid) = 0;
    // The reader of an extension, no reference added. OM_E_FAIL when none.
    virtual OmResult GetReader(const char* extension, IObjectRW** out) = 0;
    // Holds the context (null allowed) handed to readers by Load. 0.
    virtual OmResult SetContext(IUnknown* context) = 0;
    // No reference added. 0.
    virtual OmResult GetContext(IUnknown** out) = 0;
    virtual OmResult Load(const char* path, const GUID& iid, void** out) = 0;
    // Reads base directory + path (a cached object when caching, one reference in *out).
    // OM_E_FAIL when the full path needs more than OM_META_PATH_SIZE bytes; the reader's or
    // storage's failure (the cache unchanged).
    virtual OmResult LoadWithContext(const char* path, IUnknown* context, const GUID& iid,
                                     void** out) = 0;
    // Caches the object under the path when caching, then writes base directory + path unless
    // OM_META_OPTION_WRITE_NONE is set. OM_E_FAIL for a full path that is too long.
    virtual OmResult Save(const char* path, IUnknown* object) = 0;
    // OM_E_FAIL when the text with its terminator needs OM_META_PATH_SIZE bytes or more.
    virtual OmResult SetBaseDirectory(const char* directory) = 0;
    // OM_E_FAIL when the size is not larger than the text's length.
    virtual OmResult GetBaseDirectory(char* buffer, uint32_t size) = 0;
    virtual OmResult SetStorage(IFileStorage* storage) = 0;
    // No reference added. 0.
    virtual OmResult GetStorage(IFileStorage** out) = 0;
    virtual OmResult ClearCache() = 0;
    virtual OmResult ForEachCached(OmObjectCallback callback, void* context) = 0;
    // Caches the object (with a reference of its own) under the path.
    virtual OmResult AddToCache(const char* path, IUnknown* object) = 0;
    // OM_E_FAIL when the path is not cached.
    virtual OmResult RemoveFromCache(const char* path) = 0;
};

OM_DECLARE_MODULE(MetaObjectRW);
