// OmLgParticles: per-type pools with live and free lists, emission that replaces a random
// record when a pool is full, per-particle updates and one camera-facing triangle each.
#include "game/world/om_lg_particles.h"

#include "engine/world/lg_random.h"
#include "framework/core/component.h"

#include <cstring>

namespace {

constexpr int32_t kStateTextureRaster = 1;
constexpr int32_t kStateTextureAddress = 2;
constexpr int32_t kStateZWrite = 6;
constexpr int32_t kStateSourceBlend = 9;
constexpr int32_t kStateDestinationBlend = 10;
constexpr int32_t kStateVertexAlpha = 11;
constexpr uintptr_t kParticleTextureAddress = 3;
constexpr int32_t kVerticesPerParticle = 3;
// Every vertex of a type must be reachable by a 16-bit index.
constexpr int32_t kMaxCapacity = 65536 / kVerticesPerParticle;

void set_state(int32_t state, uintptr_t value) {
    LgRenderStateSet(state, reinterpret_cast<void*>(value));
}

struct TypePool {
    uint8_t* pool;
    OmParticleHeader* live;
    OmParticleHeader* free;
    LgIm3DVertex* vertices;
    uint16_t* indices;
    int32_t limit;
    int32_t capacity;
};

class OmLgParticles final : public OmObject<OmLgParticles, IOmLgParticles> {
public:
    // Storage a client forgot to remove goes with the object.
    ~OmLgParticles() { RemoveAllTypes(); }
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IOmLgParticles, this}});
    }
    OmResult Init() override {
        count_ = 0;
        return OM_S_OK;
    }
    OmResult RemoveAllTypes() override {
        for (int32_t t = 0; t < count_; ++t) free_type(t);
        count_ = 0;
        return OM_S_OK;
    }
    OmResult AddType(int32_t id, const OmParticleType* type, int32_t capacity) override;
    OmResult Update() override;
    OmResult Render(LgCamera* camera) override;
    OmResult SetLimit(int32_t id, int32_t limit) override {
        const int32_t t = find(id);
        if (t < 0 || limit < 0 || limit > pools_[t].capacity) return OM_E_FAIL;
        pools_[t].limit = limit;
        return OM_S_OK;
    }
    OmResult Emit(int32_t id, const void* record) override;
    OmResult Clear() override {
        for (int32_t t = 0; t < count_; ++t) reset_pool(t);
        return OM_S_OK;
    }

private:
    int32_t find(int32_t id) const {
        for (int32_t t = 0; t < count_; ++t)
            if (ids_[t] == id) return t;
        return -1;
    }
    OmParticleHeader* record(int32_t t, int32_t index) {
        return reinterpret_cast<OmParticleHeader*>(pools_[t].pool +
                                                   size_t(index) * size_t(types_[t].record_size));
    }
    void reset_pool(int32_t t) {
        TypePool& p = pools_[t];
        std::memset(p.pool, 0, size_t(p.capacity) * size_t(types_[t].record_size));
        p.live = nullptr;
        p.free = nullptr;
        for (int32_t i = p.capacity - 1; i >= 0; --i) {
            OmParticleHeader* r = record(t, i);
            r->link = p.free;
            p.free = r;
        }
    }
    void free_type(int32_t t) {
        TypePool& p = pools_[t];
        if (types_[t].texture) LgTextureDestroy(types_[t].texture);
        OmFreeMemory(p.pool);
        OmFreeMemory(p.vertices);
        OmFreeMemory(p.indices);
        p = {};
        types_[t] = {};
    }

    OmParticleType types_[kOmParticleTypeCapacity] = {};
    int32_t ids_[kOmParticleTypeCapacity] = {};
    int32_t count_ = 0;
    TypePool pools_[kOmParticleTypeCapacity] = {};
};

OmResult OmLgParticles::AddType(int32_t id, const OmParticleType* type, int32_t capacity) {
    if (count_ >= kOmParticleTypeCapacity || find(id) >= 0 || !type) return OM_E_FAIL;
    if (type->record_size < int32_t(sizeof(OmParticleHeader)) || capacity <= 0 ||
        capacity > kMaxCapacity)
        return OM_E_FAIL;
    const int32_t t = count_;
    types_[t] = *type;
    ids_[t] = id;
    if (types_[t].texture) LgTextureAddRef(types_[t].texture);
    TypePool& p = pools_[t];
    p.capacity = capacity;
    p.pool = static_cast<uint8_t*>(OmAllocMemory(size_t(capacity) * size_t(type->record_size)));
    p.vertices = static_cast<LgIm3DVertex*>(
        OmAllocMemory(sizeof(LgIm3DVertex) * size_t(capacity) * kVerticesPerParticle));
    p.indices = static_cast<uint16_t*>(
        OmAllocMemory(sizeof(uint16_t) * size_t(capacity) * kVerticesPerParticle));
    if (!p.pool || !p.vertices || !p.indices) {
        // Nothing of a refused type is kept: its storage and its texture reference go.
        free_type(t);
        return OM_E_OUTOFMEMORY;
    }
    reset_pool(t);
    p.limit = capacity;
    count_ += 1;
    return OM_S_OK;
}

OmResult OmLgParticles::Emit(int32_t id, const void* source) {
    const int32_t t = find(id);
    if (t < 0 || !source) return OM_E_FAIL;
    TypePool& p = pools_[t];
    const size_t size = size_t(types_[t].record_size);
    if (p.free) {
        OmParticleHeader* r = p.free;
        p.free = r->link;
        std::memcpy(r, source, size);
        r->flags |= kOmParticleLive;
        r->link = p.live;
        p.live = r;
        return OM_S_OK;
    }
    // A limit of 0 stops emission into a full pool.
    if (p.limit <= 0) return OM_S_OK;
    OmParticleHeader* r = record(t, int32_t(LgRandom() % uint32_t(p.limit)));
    OmParticleHeader* kept = r->link;
    std::memcpy(r, source, size);
    r->link = kept;
    r->flags |= kOmParticleLive;
    return OM_S_OK;
}

OmResult OmLgParticles::Update() {
    for (int32_t t = 0; t < count_; ++t) {
        const OmParticleType& type = types_[t];
        if (!type.update) continue;
        TypePool& p = pools_[t];
        OmParticleHeader** at = &p.live;
        while (OmParticleHeader* r = *at) {
            if (type.update(type.context, r) >= 0) {
                at = &r->link;
                continue;
            }
            *at = r->link;
            r->link = p.free;
            p.free = r;
            if (type.kill) type.kill(r);
            r->flags &= ~kOmParticleLive;
        }
    }
    return OM_S_OK;
}

OmResult OmLgParticles::Render(LgCamera* camera) {
    if (!camera) camera = LgCameraGetCurrent();
    if (!camera || !LgCameraGetFrame(camera)) return OM_S_OK;
    const LgMatrix& view = *LgFrameGetWorldMatrix(LgCameraGetFrame(camera));
    const float far_clip = LgCameraGetFarClipPlane(camera);
    const float far_squared = far_clip * far_clip;
    set_state(kStateZWrite, 0);
    set_state(kStateVertexAlpha, 1);
    set_state(kStateTextureAddress, kParticleTextureAddress);
    for (int32_t t = 0; t < count_; ++t) {
        const OmParticleType& type = types_[t];
        TypePool& p = pools_[t];
        set_state(
            kStateTextureRaster,
            reinterpret_cast<uintptr_t>(type.texture ? LgTextureGetRaster(type.texture) : nullptr));
        set_state(kStateSourceBlend, uintptr_t(type.source_blend));
        set_state(kStateDestinationBlend, uintptr_t(type.destination_blend));
        int32_t n = 0;
        for (const OmParticleHeader* r = p.live; r; r = r->link) {
            const LgVector d{r->position.x - view.pos.x, r->position.y - view.pos.y,
                             r->position.z - view.pos.z};
            if (d.x * d.x + d.y * d.y + d.z * d.z >= far_squared) continue;
            const LgVector u{view.up.x * r->size, view.up.y * r->size, view.up.z * r->size};
            const LgVector s{view.right.x * r->size, view.right.y * r->size,
                             view.right.z * r->size};
            const LgVector& c = r->position;
            // One triangle covers the square c +- U +- R; the square gets the unit texture.
            const LgVector corners[3] = {
                {c.x - u.x + 3 * s.x, c.y - u.y + 3 * s.y, c.z - u.z + 3 * s.z},
                {c.x - u.x - s.x, c.y - u.y - s.y, c.z - u.z - s.z},
                {c.x + 3 * u.x - s.x, c.y + 3 * u.y - s.y, c.z + 3 * u.z - s.z}};
            constexpr float uv[3][2] = {{-1, 1}, {1, 1}, {1, -1}};
            for (int k = 0; k < kVerticesPerParticle; ++k) {
                LgIm3DVertex& v = p.vertices[n];
                v.position = corners[k];
                v.normal = {0, 0, 0};
                v.color = r->colour;
                v.u = uv[k][0];
                v.v = uv[k][1];
                p.indices[n] = uint16_t(n);
                ++n;
            }
        }
        if (n == 0) continue;
        if (LgIm3DTransform(p.vertices, n, nullptr, 1)) {
            LgIm3DRenderIndexedPrimitive(LgPrimTriList, p.indices, n);
            LgIm3DEnd();
        }
    }
    set_state(kStateZWrite, 1);
    set_state(kStateVertexAlpha, 0);
    return OM_S_OK;
}

const OmClassRecord classes[] = {
    {&CLSID_OmLgParticles, nullptr, nullptr, OmCreateComponent<OmLgParticles>, "OmLgParticles"}};

} // namespace

OM_DEFINE_MODULE(OmLgParticles, classes)
