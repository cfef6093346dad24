// IObjectRW, the interface of every file-format reader and writer, and ObjectRWBase, the base
// part every concrete reader/writer builds on.
#pragma once

#include "framework/core/class_factory.h"
#include "framework/io/byte_stream.h"
#include "framework/platform/file_storage.h"

inline constexpr GUID IID_IObjectRW = om_guid("3A612419-F28C-11D4-A498-00010239331A");
inline constexpr GUID CLSID_ObjectRW = om_guid("3A61241C-F28C-11D4-A498-00010239331A");
inline constexpr GUID CATID_SoundObjectRW = om_guid("3A612422-F28C-11D4-A498-00010239331A");
inline constexpr GUID CATID_RasterObjectRW = om_guid("71918A9A-3A0E-4051-920C-3C13F4577B17");

// Extensions are compared in lower case, cut to this many characters.
inline constexpr uint32_t OM_EXTENSION_MAX_LENGTH = 19;

struct IObjectRW : IUnknown {
    // Decodes the stream into a new object queried for `iid` (one reference in *out); the
    // context is reader-defined. OM_E_FAIL in the base.
    virtual OmResult ReadStream(IByteStream* stream, const char* extension, IUnknown* context,
                                const GUID& iid, void** out) = 0;
    // Encodes the object onto the stream. OM_E_FAIL in the base.
    virtual OmResult WriteStream(IByteStream* stream, const char* extension, IUnknown* object) = 0;
    // Reports what the stream holds into the info object without loading it. OM_E_FAIL in
    // the base.
    virtual OmResult ReadInfoStream(IByteStream* stream, const char* extension, IUnknown* info,
                                    uint32_t word) = 0;
    // Opens the path for reading (writing) through the storage and calls the stream-level
    // operation with the path's extension. The extension's, the open's or that operation's
    // failure.
    virtual OmResult Read(IFileStorage* storage, const char* path, IUnknown* context,
                          const GUID& iid, void** out) = 0;
    virtual OmResult Write(IFileStorage* storage, const char* path, IUnknown* object) = 0;
    virtual OmResult ReadInfo(IFileStorage* storage, const char* path, IUnknown* info,
                              uint32_t word) = 0;
    // Options 0, 1 and 2 are plain words each reader/writer gives a meaning (fresh: 0, 0, 1).
    // OM_E_FAIL for another id (the out word untouched).
    virtual OmResult SetOption(uint32_t id, uint32_t value) = 0;
    virtual OmResult GetOption(uint32_t id, uint32_t* value) = 0;
    // The ';'-separated lower-case extensions handled (empty when none). OM_E_FAIL unless the
    // size is larger than the text's length plus its terminator.
    virtual OmResult GetExtensions(char* buffer, uint32_t size) = 0;
};

// The extension of a path: the text after its last '.' (the whole path when it has none),
// cut to OM_EXTENSION_MAX_LENGTH characters, in lower case, into `out` (20 bytes).
// OM_E_FAIL for a null path.
OmResult OmObjectRWPathExtension(const char* path, char* out);
// GetExtensions' copy rule: an empty text for a null list; otherwise the size must exceed
// the length + 1. OM_E_FAIL.
OmResult OmObjectRWCopyExtensions(const char* list, char* buffer, uint32_t size);
// Opens `path` through the storage in `mode` (binary) and computes its extension. The
// failure of either, with nothing handed out.
OmResult OmObjectRWOpenPath(IFileStorage* storage, const char* path, uint32_t mode, char* extension,
                            IByteStream** out);

// The base part of a reader/writer: the path-level operations, the three options and the
// extension list. A concrete reader/writer sets `extensions_` and overrides QueryInterface
// and the stream-level operations it supports.
template <class Derived, class... Extra>
class ObjectRWBase : public OmObject<Derived, IObjectRW, Extra...> {
public:
    OmResult ReadStream(IByteStream*, const char*, IUnknown*, const GUID&, void** out) override {
        if (out) *out = nullptr;
        return OM_E_FAIL;
    }
    OmResult WriteStream(IByteStream*, const char*, IUnknown*) override { return OM_E_FAIL; }
    OmResult ReadInfoStream(IByteStream*, const char*, IUnknown*, uint32_t) override {
        return OM_E_FAIL;
    }

    OmResult Read(IFileStorage* storage, const char* path, IUnknown* context, const GUID& iid,
                  void** out) override {
        char extension[OM_EXTENSION_MAX_LENGTH + 1];
        IByteStream* stream;
        OmResult r = OmObjectRWOpenPath(storage, path, OM_OPEN_READ, extension, &stream);
        if (r < 0) return r;
        r = ReadStream(stream, extension, context, iid, out);
        stream->Release();
        return r < 0 ? r : OM_S_OK;
    }
    OmResult Write(IFileStorage* storage, const char* path, IUnknown* object) override {
        char extension[OM_EXTENSION_MAX_LENGTH + 1];
        IByteStream* stream;
        OmResult r = OmObjectRWOpenPath(storage, path, OM_OPEN_WRITE, extension, &stream);
        if (r < 0) return r;
        r = WriteStream(stream, extension, object);
        stream->Release();
        return r < 0 ? r : OM_S_OK;
    }
    OmResult ReadInfo(IFileStorage* storage, const char* path, IUnknown* info,
                      uint32_t word) override {
        char extension[OM_EXTENSION_MAX_LENGTH + 1];
        IByteStream* stream;
        OmResult r = OmObjectRWOpenPath(storage, path, OM_OPEN_READ, extension, &stream);
        if (r < 0) return r;
        r = ReadInfoStream(stream, extension, info, word);
        stream->Release();
        return r < 0 ? r : OM_S_OK;
    }

    OmResult SetOption(uint32_t id, uint32_t value) override {
        if (id >= std::size(options_)) return OM_E_FAIL;
        options_[id] = value;
        return OM_S_OK;
    }
    OmResult GetOption(uint32_t id, uint32_t* value) override {
        if (id >= std::size(options_) || !value) return OM_E_FAIL;
        *value = options_[id];
        return OM_S_OK;
    }
    OmResult GetExtensions(char* buffer, uint32_t size) override {
        return OmObjectRWCopyExtensions(extensions_, buffer, size);
    }

protected:
    const char* extensions_ = nullptr; // e.g. "jpeg;jpg"
    uint32_t options_[3] = {0, 0, 1};
};

OM_DECLARE_MODULE(ObjectRW);
