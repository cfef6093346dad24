// Direct3D material stand-in and its handle table.
#include "platform/graphics/material.h"

#include <mutex>
#include <new>
#include <unordered_map>

namespace platform {
namespace {

// Handles are 32-bit, so they index a table rather than carry pointers.
struct HandleTable {
    std::mutex lock;
    std::unordered_map<D3DMATERIALHANDLE, Material*> live;
    D3DMATERIALHANDLE next = 1;
};

HandleTable& table() {
    static HandleTable t;
    return t;
}

uint32_t channel(float v) {
    if (!(v > 0.0f)) return 0;
    if (v >= 1.0f) return 255;
    return uint32_t(v * 255.0f + 0.5f);
}

} // namespace

int32_t Material::create(Material** out) {
    if (!out) return DDERR_INVALIDPARAMS;
    auto* m = new (std::nothrow) Material;
    if (!m) return DDERR_OUTOFMEMORY;
    m->material_.dwSize = sizeof(D3DMATERIAL);
    m->material_.dwRampSize = 1;
    *out = m;
    return D3D_OK;
}

Material::~Material() {
    if (!handle_) return;
    HandleTable& t = table();
    std::lock_guard g(t.lock);
    t.live.erase(handle_);
}

int32_t Material::QueryInterface(const GUID& iid, void** out) {
    return query_single<IDirect3DMaterial3>(this, IID_IDirect3DMaterial3, iid, out);
}

uint32_t Material::Release() {
    return release_and_delete(this, refs_);
}

int32_t Material::SetMaterial(D3DMATERIAL* material) {
    if (!material || material->dwSize != sizeof(D3DMATERIAL)) return DDERR_INVALIDPARAMS;
    material_ = *material;
    return D3D_OK;
}

int32_t Material::GetMaterial(D3DMATERIAL* material) {
    if (!material) return DDERR_INVALIDPARAMS;
    *material = material_;
    return D3D_OK;
}

int32_t Material::GetHandle(IDirect3DDevice3* device, D3DMATERIALHANDLE* handle) {
    if (!device || !handle) return DDERR_INVALIDPARAMS;
    if (!handle_) {
        HandleTable& t = table();
        std::lock_guard g(t.lock);
        handle_ = t.next++;
        t.live[handle_] = this;
    }
    *handle = handle_;
    return D3D_OK;
}

uint32_t Material::diffuse_argb() const {
    const D3DCOLORVALUE& c = material_.diffuse;
    return channel(c.a) << 24 | channel(c.r) << 16 | channel(c.g) << 8 | channel(c.b);
}

Material* Material::from_handle(D3DMATERIALHANDLE handle) {
    HandleTable& t = table();
    std::lock_guard g(t.lock);
    auto it = t.live.find(handle);
    return it == t.live.end() ? nullptr : it->second;
}

} // namespace platform
