// The shrapnel module: model loading in sorted order, SHRAPNEL.INI sizes, the piece pool and
// the ballistic update.
#include "game/world/tv_shrapnel.h"
#include "game/world/tv_model_files.h"

#include "engine/core/lg_stream.h"
#include "engine/world/lg_clump.h"
#include "engine/world/lg_geometry.h"
#include "engine/world/lg_random.h"
#include "engine/world/lg_world_tie.h"
#include "framework/core/class_ids.h"
#include "framework/core/com_ref.h"
#include "framework/core/memory.h"
#include "framework/core/object_manager.h"
#include "framework/io/stream_helpers.h"
#include "framework/platform/file_storage.h"
#include "game/tv_frontend_services.h"
#include "game/world/tv_plane.h"
#include "platform/clock.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <strings.h>
#include <vector>

namespace {

constexpr const char* kSource = "tvshrapnel";
constexpr const char* kDirectory = "OBJECTS\\GROUND\\SHRAPNEL\\";
constexpr const char* kPattern = "OBJECTS\\GROUND\\SHRAPNEL\\*.DFF";
constexpr const char* kSizes = "OBJECTS\\GROUND\\SHRAPNEL\\SHRAPNEL.INI";
constexpr const char* kTextures = "objects\\ground\\textures\\";
constexpr size_t kNameSize = 32;
constexpr float kGravity = 9.81f * 6.0f;
// The model preparation of plane models.
constexpr float kModelSurface = 0.5f;

struct Module {
    int32_t model_count = 0;
    LgClump* models[kTvShrapnelModelCapacity]{};
    char names[kTvShrapnelModelCapacity][kNameSize]{};
    float scales[kTvShrapnelModelCapacity]{};
    TvShrapnelPiece pieces[kTvShrapnelPieceCount]{};
    TvShrapnelPiece* free_head = nullptr;
    TvShrapnelPiece* live_head = nullptr;
    uint32_t last_update = 0;
};

Module& state() {
    static Module* module = new Module;
    return *module;
}

void unlink(TvShrapnelPiece*& head, TvShrapnelPiece* piece) {
    if (piece->previous)
        piece->previous->next = piece->next;
    else
        head = piece->next;
    if (piece->next) piece->next->previous = piece->previous;
    piece->previous = piece->next = nullptr;
}

void push_front(TvShrapnelPiece*& head, TvShrapnelPiece* piece) {
    piece->previous = nullptr;
    piece->next = head;
    if (head) head->previous = piece;
    head = piece;
}

void drop_clone(TvShrapnelPiece& piece) {
    if (!piece.model) return;
    if (LgWorld* world = LgClumpGetWorld(piece.model)) LgWorldRemoveClump(world, piece.model);
    LgClumpDestroy(piece.model);
    piece.model = nullptr;
}

void build_pool(Module& m) {
    m.free_head = m.live_head = nullptr;
    for (int32_t i = kTvShrapnelPieceCount - 1; i >= 0; --i) {
        m.pieces[i] = {};
        push_front(m.free_head, &m.pieces[i]);
    }
}

LgClump* read_clump(const std::string& path) {
    return TvReadClump(kSource, __LINE__, path);
}

OmResult note_model_file(const char* name, uint32_t kind, void* context) {
    auto* files = static_cast<std::vector<std::string>*>(context);
    if (kind != OM_FILE_DIRECTORY) files->emplace_back(name);
    return OM_S_OK;
}

// The file's last path component.
std::string base_name(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void load_models(Module& m) {
    std::vector<std::string> files;
    ComRef<IFileStorage> storage;
    if (OmCreate(CLSID_Storage, IID_IFileStorage, storage.put()) >= 0)
        storage->Enumerate(kPattern, note_model_file, &files);
    // The storage lists names in sorted order: the order fixes the mask bits.
    for (const std::string& file : files) {
        if (m.model_count >= kTvShrapnelModelCapacity) {
            TvLogError2(kSource, __LINE__, "Too many shrapnel models; ignored:", file.c_str());
            continue;
        }
        const std::string name = base_name(file);
        const int32_t i = m.model_count++;
        m.models[i] = read_clump(kDirectory + name);
        if (m.models[i]) tvplane::prepare_model(m.models[i], kModelSurface);
        const std::string stem = name.substr(0, name.find('.'));
        std::snprintf(m.names[i], kNameSize, "%s", stem.c_str());
    }
}

// SHRAPNEL.INI: a heading line, then "name size" pairs until the text ends or a pair does
// not read.
void read_sizes(Module& m) {
    ComRef<IFileStorage> storage;
    ComRef<IByteStream> stream;
    if (OmCreate(CLSID_Storage, IID_IFileStorage, storage.put()) < 0) return;
    if (storage->Open(kSizes, OM_OPEN_READ, OM_OPEN_TEXT, stream.put()) < 0 || !stream) return;
    char* text = nullptr;
    if (OmStreamReadAll(stream.get(), &text) < 0 || !text) return;
    const char* p = std::strchr(text, '\n');
    p = p ? p + 1 : text + std::strlen(text);
    char word[kNameSize];
    float value = 0.0f;
    int consumed = 0;
    while (std::sscanf(p, " %31s %f%n", word, &value, &consumed) == 2) {
        p += consumed;
        // A longer name reads on as the next word and so matches nothing.
        if (!(value > 0.0f) || !std::isfinite(value)) continue;
        for (int32_t i = 0; i < m.model_count; ++i)
            if (strcasecmp(m.names[i], word) == 0) {
                m.scales[i] = 1.0f / value;
                break;
            }
    }
    OmFreeMemory(text);
}

// The k-th set bit of the mask in ascending order; `fallback` when k is beyond them.
int32_t nth_model(uint32_t mask, int32_t k, int32_t fallback) {
    for (int32_t bit = 0; bit < 32; ++bit) {
        if (!(mask & (1u << bit))) continue;
        if (k-- == 0) return bit;
    }
    return fallback;
}

float random_byte() {
    return float(LgRandom() & 255);
}

LgAtomic* first_atomic_of(LgAtomic* atomic, void* data) {
    *static_cast<LgAtomic**>(data) = atomic;
    return nullptr;
}

LgAtomic* first_atomic(LgClump* clump) {
    LgAtomic* atomic = nullptr;
    LgClumpForAllAtomics(clump, first_atomic_of, &atomic);
    return atomic;
}

} // namespace

OmResult TvInitShrapnel() {
    Module& m = state();
    TvReleaseShrapnel();
    TvImagePath textures(kTextures);
    m.model_count = 0;
    for (int32_t i = 0; i < kTvShrapnelModelCapacity; ++i) {
        m.models[i] = nullptr;
        m.names[i][0] = '\0';
        m.scales[i] = 0.0f;
    }
    load_models(m);
    read_sizes(m);
    build_pool(m);
    m.last_update = platform::timeGetTime();
    return 1;
}

void TvShrapnelMaskFromNames(const char* text, uint32_t* mask, int32_t* count) {
    if (mask) *mask = 0;
    if (count) *count = 0;
    if (!text || !mask || !count) return;
    const Module& m = state();
    const char* p = text;
    for (int32_t words = 0; words < 32; ++words) {
        while (*p && std::isspace(static_cast<unsigned char>(*p))) ++p;
        if (!*p) break;
        const char* start = p;
        while (*p && !std::isspace(static_cast<unsigned char>(*p))) ++p;
        const size_t size = size_t(p - start);
        if (size >= kNameSize) continue;
        char word[kNameSize];
        std::memcpy(word, start, size);
        word[size] = '\0';
        for (int32_t i = 0; i < m.model_count; ++i)
            if (strcasecmp(m.names[i], word) == 0) {
                *mask |= 1u << i;
                ++*count;
                break;
            }
    }
}

void TvSpawnShrapnel(LgClump* source, uint32_t mask, int32_t count) {
    Module& m = state();
    if (!source || mask == 0) return;
    LgAtomic* a = first_atomic(source);
    if (!a || !a->geometry || a->geometry->numMorphTargets < 1) return;
    const LgGeometry* g = a->geometry;
    const int32_t n = g->numVertices;
    const LgVector* verts = LgGeometryGetMorphTarget(g, 0)->verts;
    if (n <= 0 || !verts) return;
    int32_t model = std::countr_zero(mask);
    if (count <= 0) count = std::popcount(mask);
    if (a->interpolator.flags & 0x02) LgAtomicUpdateBoundingSphere(a);
    const float radius = a->boundingSphere.radius;
    LgFrame* source_frame = LgClumpGetFrame(source);
    const LgMatrix* world_matrix = source_frame ? LgFrameGetWorldMatrix(source_frame) : nullptr;
    LgWorld* world = LgClumpGetWorld(source);

    const int32_t pieces = 2 * std::max(5, int32_t(radius * 0.1f));
    for (int32_t i = 0; i < pieces && m.free_head; ++i) {
        TvShrapnelPiece* piece = m.free_head;
        drop_clone(*piece);
        model = nth_model(mask, int32_t(LgRandom() % uint32_t(count)), model);
        if (model >= m.model_count || !m.models[model]) return;
        LgClump* clone = LgClumpClone(m.models[model]);
        if (!clone) return;
        if (LgAtomic* first = first_atomic(clone)) first->object.header.flags = 4;
        if (world) LgWorldAddClump(world, clone);

        LgVector v = verts[LgRandom() % uint32_t(n)];
        if (world_matrix) LgVectorTransformVectors(&v, &v, 1, world_matrix);
        LgFrame* frame = LgClumpGetFrame(clone);
        LgMatrix* matrix = LgFrameGetMatrix(frame);
        const LgVector origin = world_matrix ? world_matrix->pos : LgVector{0, 0, 0};
        matrix->pos = {origin.x + v.x, origin.y + v.y, origin.z + v.z};

        const float scale = m.scales[model];
        LgVector velocity{v.x * 0.6f, std::fabs(4.0f * v.y) * 0.6f, v.z * 0.6f};
        if (radius < 10.0f) velocity = {velocity.x * 2.5f, velocity.y * 2.5f, velocity.z * 2.5f};
        velocity.x *= float((LgRandom() + 1) & 3);
        velocity.y *= float((LgRandom() + 1) & 3);
        velocity.z *= float((LgRandom() + 1) & 3);
        piece->velocity = {velocity.x * scale, velocity.y * scale, velocity.z * scale};

        LgVector axis{random_byte() / 255.0f - 0.5f, random_byte() / 255.0f - 0.5f,
                      random_byte() / 255.0f - 0.5f};
        LgVectorNormalize(&axis, &axis);
        piece->spin_axis = axis;
        piece->spin_rate = random_byte() * scale;
        LgMatrixRotate(matrix, &axis, random_byte() / 255.0f, LgCombinePreConcat);
        LgMatrixMarkChanged(matrix);
        LgFrameMarkDirty(frame);

        piece->model = clone;
        unlink(m.free_head, piece);
        push_front(m.live_head, piece);
        piece->expiry = platform::timeGetTime() + kTvShrapnelLifeMs;
    }
}

void TvUpdateShrapnel() {
    Module& m = state();
    const uint32_t now = platform::timeGetTime();
    const float dt = float(now - m.last_update) * 0.001f;
    m.last_update = now;
    TvShrapnelPiece* piece = m.live_head;
    while (piece) {
        TvShrapnelPiece* next = piece->next;
        if (int32_t(piece->expiry - now) < 0) {
            drop_clone(*piece);
            unlink(m.live_head, piece);
            push_front(m.free_head, piece);
        } else if (piece->model) {
            piece->velocity.y -= dt * kGravity;
            LgFrame* frame = LgClumpGetFrame(piece->model);
            LgMatrix* matrix = LgFrameGetMatrix(frame);
            const LgVector kept{matrix->pos.x + piece->velocity.x * dt,
                                matrix->pos.y + piece->velocity.y * dt,
                                matrix->pos.z + piece->velocity.z * dt};
            LgMatrixRotate(matrix, &piece->spin_axis, dt * piece->spin_rate * 10.0f,
                           LgCombinePreConcat);
            matrix->pos = kept;
            LgMatrixMarkChanged(matrix);
            LgFrameMarkDirty(frame);
        }
        piece = next;
    }
}

void TvClearShrapnelPieces() {
    Module& m = state();
    while (TvShrapnelPiece* piece = m.live_head) {
        drop_clone(*piece);
        unlink(m.live_head, piece);
        push_front(m.free_head, piece);
    }
}

void TvReleaseShrapnel() {
    Module& m = state();
    TvClearShrapnelPieces();
    for (TvShrapnelPiece& piece : m.pieces) drop_clone(piece);
    for (int32_t i = 0; i < m.model_count; ++i) {
        if (m.models[i]) LgClumpDestroy(m.models[i]);
        m.models[i] = nullptr;
    }
    m.model_count = 0;
}

int32_t TvShrapnelModelCount() {
    return state().model_count;
}
LgClump* TvShrapnelModel(int32_t index) {
    return index >= 0 && index < state().model_count ? state().models[index] : nullptr;
}
const char* TvShrapnelModelName(int32_t index) {
    return index >= 0 && index < state().model_count ? state().names[index] : nullptr;
}
float TvShrapnelModelScale(int32_t index) {
    return index >= 0 && index < state().model_count ? state().scales[index] : 0.0f;
}
const TvShrapnelPiece* TvShrapnelLivePieces() {
    return state().live_head;
}
int32_t TvShrapnelLiveCount() {
    int32_t n = 0;
    for (const TvShrapnelPiece* p = state().live_head; p; p = p->next) ++n;
    return n;
}
