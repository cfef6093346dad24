// OmCopyObject: how containers copy their elements when they are cloned.
#include "framework/containers/object_io.h"

OmResult OmCopyObject(IUnknown* object, uint32_t flags, IUnknown** out) {
    if (!out) return OM_E_FAIL;
    *out = nullptr;
    if (!object) return OM_S_OK;
    if (flags & OM_COPY_DEEP) {
        IObjectIO* io = nullptr;
        if (object->QueryInterface(IID_IObjectIO, reinterpret_cast<void**>(&io)) >= 0 && io) {
            io->Release();
            return io->Clone(flags, out);
        }
        switch (flags & OM_COPY_REFUSE_UNCOPYABLE) {
        case OM_COPY_SHARE_UNCOPYABLE: break;
        case OM_COPY_REFUSE_UNCOPYABLE: return OM_E_FAIL;
        default: return OM_S_OK;
        }
    }
    object->AddRef();
    *out = object;
    return OM_S_OK;
}
