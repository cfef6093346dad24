// The plain ObjectRW class and the path helpers every reader/writer shares.
#include "framework/io/object_rw.h"

#include <cstring>

namespace {

// The base with no format of its own: every stream-level operation fails.
class ObjectRW final : public ObjectRWBase<ObjectRW> {
public:
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IObjectRW, this}});
    }
};

const OmClassRecord classes[] = {
    {&CLSID_ObjectRW, nullptr, nullptr, OmCreateComponent<ObjectRW>, "ObjectRW"}};

} // namespace

OM_DEFINE_MODULE(ObjectRW, classes)

OmResult OmObjectRWPathExtension(const char* path, char* out) {
    if (!path || !out) return OM_E_FAIL;
    const char* dot = std::strrchr(path, '.');
    const char* extension = dot ? dot + 1 : path;
    uint32_t length = 0;
    for (; extension[length] && length < OM_EXTENSION_MAX_LENGTH; ++length) {
        const char c = extension[length];
        out[length] = c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
    }
    out[length] = '\0';
    return OM_S_OK;
}

OmResult OmObjectRWCopyExtensions(const char* list, char* buffer, uint32_t size) {
    if (!buffer || !size) return OM_E_FAIL;
    if (!list) {
        buffer[0] = '\0';
        return OM_S_OK;
    }
    const size_t length = std::strlen(list);
    if (size <= length + 1) return OM_E_FAIL;
    std::memcpy(buffer, list, length + 1);
    return OM_S_OK;
}

OmResult OmObjectRWOpenPath(IFileStorage* storage, const char* path, uint32_t mode, char* extension,
                            IByteStream** out) {
    if (!out) return OM_E_FAIL;
    *out = nullptr;
    if (!storage) return OM_E_FAIL;
    OmResult r = OmObjectRWPathExtension(path, extension);
    if (r < 0) return r;
    return storage->Open(path, mode, OM_OPEN_BINARY, out);
}
