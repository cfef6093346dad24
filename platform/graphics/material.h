// Direct3D material stand-in: only its diffuse colour matters (viewport backgrounds).
#pragma once

#include "platform/graphics/d3d.h"

namespace platform {

class Material final : public IDirect3DMaterial3 {
public:
    static int32_t create(Material** out);

    int32_t QueryInterface(const GUID& iid, void** out) override;
    uint32_t AddRef() override { return refs_.add_ref(); }
    uint32_t Release() override;

    int32_t SetMaterial(D3DMATERIAL* material) override;
    int32_t GetMaterial(D3DMATERIAL* material) override;
    int32_t GetHandle(IDirect3DDevice3* device, D3DMATERIALHANDLE* handle) override;

    // The material's diffuse colour as 0xAARRGGBB.
    uint32_t diffuse_argb() const;
    // The live material with this handle, or null.
    static Material* from_handle(D3DMATERIALHANDLE handle);

private:
    Material() = default;
    ~Material();
    template <class Object>
    friend uint32_t release_and_delete(Object*, RefCounted&);

    RefCounted refs_;
    D3DMATERIAL material_{};
    D3DMATERIALHANDLE handle_ = 0;
};

} // namespace platform
