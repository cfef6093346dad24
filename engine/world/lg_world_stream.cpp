// The world chunk reader: the world struct, its material list and the BSP of plane and atomic
// sectors, all carved from one block sized by the struct's totals; and the sectors' mesh
// header stream plug-in (0x50e).
#include "engine/core/lg_engine_instance.h"
#include "engine/core/lg_error.h"
#include "engine/core/lg_link.h"
#include "engine/core/lg_stream.h"
#include "engine/world/lg_collision.h"
#include "engine/world/lg_mesh.h"
#include "engine/world/lg_struct_reader.h"
#include "engine/world/lg_world.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr uint32_t worldStructSize = 52;
constexpr uint32_t planeStructSize = 24;
constexpr uint32_t sectorHeaderSize = 44;
// Arrays a sector carves at most: triangles, positions, normals, colours, uv, tree.
constexpr uint64_t arraysPerSector = 6;
constexpr uint64_t carveAlign = alignof(void*);

// The struct's totals size the world's one block before any sector is read, so they are
// trusted only this far: no world of the game comes near it, and a hostile struct must not
// make the reader ask for gigabytes before its sectors run out.
constexpr uint64_t largestWorldBytes = uint64_t{256} << 20;

// The world being read: the sectors' mesh headers name its materials.
LgWorld* readingWorld = nullptr;

const LgMemoryFunctions& memory() {
    return LgEngineInstancePtr->memoryFunctions;
}

void fail_bad_data() {
    LgErrorRaise(LgErrorGroupWorld, LgErrInvalidArgument);
}

uint64_t align_up(uint64_t size) {
    return (size + carveAlign - 1) & ~(carveAlign - 1);
}

struct WorldStruct {
    uint32_t rootIsAtomic;
    float invOrigin[3];
    float surface[3];
    uint32_t numTriangles;
    uint32_t numVertices;
    uint32_t numPlaneSectors;
    uint32_t numAtomicSectors;
    uint32_t collisionBytes;
    uint32_t flags;
};
static_assert(sizeof(WorldStruct) == worldStructSize);

struct SectorHeader {
    uint32_t matListWindowBase;
    uint32_t numTriangles;
    uint32_t numVertices;
    float inf[3];
    float sup[3];
    uint32_t hasCollisionTree;
    uint32_t unused;
};
static_assert(sizeof(SectorHeader) == sectorHeaderSize);

struct PlaneStruct {
    uint32_t type;
    float value;
    uint32_t leftIsAtomic;
    uint32_t rightIsAtomic;
    float leftValue;
    float rightValue;
};
static_assert(sizeof(PlaneStruct) == planeStructSize);

// Takes pointer-aligned, cleared pieces from the world's block; refuses to run past it, so
// totals that understate the contents fail instead of overrunning.
class Carver {
public:
    Carver(uint8_t* start, uint64_t size) : cursor_(start), end_(start + size) {}
    void* take(uint64_t size) {
        const uint64_t n = align_up(size);
        if (n > static_cast<uint64_t>(end_ - cursor_)) {
            fail_bad_data();
            return nullptr;
        }
        void* p = cursor_;
        std::memset(p, 0, n);
        cursor_ += n;
        return p;
    }

private:
    uint8_t* cursor_;
    uint8_t* end_;
};

// What the sectors actually hold, compared with the struct's totals at the end.
struct Counts {
    uint64_t triangles = 0, vertices = 0, planes = 0, atomics = 0, collisionBytes = 0;
};

struct Reader {
    LgStream* stream;
    LgWorld* world;
    Carver carver;
    uint32_t flags;
    Counts counts;
    std::vector<LgAtomicSector*> sectors; // constructed, for the clean-up of a failed read

    LgWorldSector* read_sector(bool atomic, int32_t depth);
    LgWorldSector* read_atomic();
    LgWorldSector* read_plane(int32_t depth);
    bool read_triangles(LgStructReader& in, LgAtomicSector* s, uint32_t version);
    bool read_tree(LgStructReader& in, LgAtomicSector* s);
};

uint16_t le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

bool Reader::read_triangles(LgStructReader& in, LgAtomicSector* s, uint32_t version) {
    const uint32_t n = s->numTriangles;
    const bool wide = version >= LgChunkVersionMax;
    const uint32_t recordSize = wide ? 8 : 4;
    uint8_t record[8];
    const auto materials = static_cast<uint32_t>(world->matList.numMaterials);
    for (uint32_t i = 0; i < n; ++i) {
        if (!in.bytes(record, recordSize)) return false;
        LgWorldTriangle& t = s->triangles[i];
        if (wide)
            t = {le16(record), {le16(record + 2), le16(record + 4), le16(record + 6)}};
        else
            t = {record[0], {record[1], record[2], record[3]}};
        if (t.vertIndex[0] >= s->numVertices || t.vertIndex[1] >= s->numVertices ||
            t.vertIndex[2] >= s->numVertices ||
            uint32_t{s->matListWindowBase} + t.matIndex >= materials) {
            fail_bad_data();
            return false;
        }
    }
    return true;
}

bool Reader::read_tree(LgStructReader& in, LgAtomicSector* s) {
    uint8_t record[LgCollisionTreeRecordSize];
    if (!in.bytes(record, sizeof(record))) return false;
    if (!LgCollisionTreeValidate(record, s->numVertices, s->numTriangles)) {
        fail_bad_data();
        return false;
    }
    const auto kept = static_cast<uint32_t>((LgCollisionTreeGetSize(record) + 3) & ~3);
    s->collisionTree = static_cast<uint8_t*>(carver.take(kept));
    if (s->collisionTree == nullptr) return false;
    std::memcpy(s->collisionTree, record, kept);
    counts.collisionBytes += kept;
    return true;
}

LgWorldSector* Reader::read_atomic() {
    uint32_t length = 0, version = 0;
    if (!LgStreamFindChunk(stream, LgChunkStruct, &length, &version)) return nullptr;
    LgStructReader in(stream, length);
    SectorHeader h;
    if (!in.words(&h, sizeof(h))) return nullptr;
    if (h.numTriangles > LgWorldSectorMaxCount || h.numVertices > LgWorldSectorMaxCount ||
        h.matListWindowBase > LgWorldSectorMaxCount) {
        fail_bad_data();
        return nullptr;
    }
    auto* s = static_cast<LgAtomicSector*>(carver.take(LgWorldSectorRegistry.sizeOfStruct));
    if (s == nullptr) return nullptr;
    s->type = LgSectorAtomic;
    s->matListWindowBase = static_cast<uint16_t>(h.matListWindowBase);
    s->numTriangles = static_cast<uint16_t>(h.numTriangles);
    s->numVertices = static_cast<uint16_t>(h.numVertices);
    s->boundingBox = {{h.sup[0], h.sup[1], h.sup[2]}, {h.inf[0], h.inf[1], h.inf[2]}};
    LgLinkInitialise(&s->collAtomicsInWorldSector);
    LgLinkInitialise(&s->noCollAtomicsInWorldSector);
    LgLinkInitialise(&s->lightsInWorldSector);
    const uint64_t v = s->numVertices;
    const auto carve = [&](auto*& field, uint64_t bytes) {
        field = static_cast<std::remove_reference_t<decltype(field)>>(carver.take(bytes));
        return field != nullptr;
    };
    if (v > 0) {
        if (!carve(s->vertices, 12 * v) || !in.words(s->vertices, 12 * v)) return nullptr;
        if ((flags & LgWorldNormals) != 0 &&
            (!carve(s->normals, 4 * v) || !in.bytes(s->normals, 4 * v)))
            return nullptr;
        if ((flags & LgWorldPrelit) != 0 &&
            (!carve(s->preLitLum, 4 * v) || !in.bytes(s->preLitLum, 4 * v)))
            return nullptr;
        if ((flags & LgWorldTextured) != 0 &&
            (!carve(s->texCoords, 8 * v) || !in.words(s->texCoords, 8 * v)))
            return nullptr;
    }
    if (s->numTriangles > 0 &&
        (!carve(s->triangles, 8 * uint64_t{s->numTriangles}) || !read_triangles(in, s, version)))
        return nullptr;
    if (h.hasCollisionTree != 0 && !read_tree(in, s)) return nullptr;
    if (!in.finish()) return nullptr;
    counts.vertices += s->numVertices;
    counts.triangles += s->numTriangles;
    ++counts.atomics;
    if (LgPluginRegistryInitObject(&LgWorldSectorRegistry, s) == nullptr) return nullptr;
    sectors.push_back(s);
    if (LgPluginRegistryStreamReadExtension(&LgWorldSectorRegistry, stream, s) == nullptr)
        return nullptr;
    return reinterpret_cast<LgWorldSector*>(s);
}

LgWorldSector* Reader::read_plane(int32_t depth) {
    if (depth > LgWorldMaxBspDepth) {
        fail_bad_data();
        return nullptr;
    }
    uint32_t length = 0;
    if (!LgStreamFindChunk(stream, LgChunkStruct, &length, nullptr)) return nullptr;
    // A longer payload is read up to the record and the rest passed over.
    PlaneStruct ps = {};
    LgStructReader in(stream, length);
    if (!in.words(&ps, std::min(length, planeStructSize) & ~3u) || !in.finish()) return nullptr;
    if (ps.type != LgSectorPlaneX && ps.type != LgSectorPlaneY && ps.type != LgSectorPlaneZ) {
        fail_bad_data();
        return nullptr;
    }
    auto* p = static_cast<LgPlaneSector*>(carver.take(sizeof(LgPlaneSector)));
    if (p == nullptr) return nullptr;
    ++counts.planes;
    p->type = static_cast<int32_t>(ps.type);
    p->value = ps.value;
    const bool overlap = (flags & LgWorldSectorOverlap) != 0;
    p->leftValue = overlap ? ps.leftValue : ps.value;
    p->rightValue = overlap ? ps.rightValue : ps.value;
    p->leftSubTree = read_sector(ps.leftIsAtomic != 0, depth);
    if (p->leftSubTree == nullptr) return nullptr;
    p->rightSubTree = read_sector(ps.rightIsAtomic != 0, depth);
    if (p->rightSubTree == nullptr) return nullptr;
    return reinterpret_cast<LgWorldSector*>(p);
}

// depth: the plane sectors above this one.
LgWorldSector* Reader::read_sector(bool atomic, int32_t depth) {
    if (!LgStreamFindChunk(stream, atomic ? LgChunkAtomicSector : LgChunkPlaneSector, nullptr,
                           nullptr))
        return nullptr;
    return atomic ? read_atomic() : read_plane(depth + 1);
}

// Totals a well-formed tree can have: every plane has two children, and each sector holds
// at most 65535 vertices and triangles and one record of tree.
bool totals_plausible(const WorldStruct& w) {
    const uint64_t atomics = w.numAtomicSectors;
    if (w.rootIsAtomic != 0 ? (w.numPlaneSectors != 0 || atomics != 1)
                            : atomics != uint64_t{w.numPlaneSectors} + 1)
        return false;
    return w.numVertices <= atomics * LgWorldSectorMaxCount &&
           w.numTriangles <= atomics * LgWorldSectorMaxCount &&
           w.collisionBytes <= atomics * LgCollisionTreeRecordSize;
}

uint64_t block_size(const WorldStruct& w) {
    const uint64_t v = w.numVertices;
    uint64_t size = align_up(LgWorldRegistry.sizeOfStruct);
    size += w.numAtomicSectors *
            (align_up(LgWorldSectorRegistry.sizeOfStruct) + arraysPerSector * (carveAlign - 1));
    size += w.numPlaneSectors * align_up(sizeof(LgPlaneSector));
    size += 12 * v + 8 * uint64_t{w.numTriangles} + w.collisionBytes;
    if ((w.flags & LgWorldNormals) != 0) size += 4 * v;
    if ((w.flags & LgWorldPrelit) != 0) size += 4 * v;
    if ((w.flags & LgWorldTextured) != 0) size += 8 * v;
    return size;
}

bool counts_match(const Counts& c, const WorldStruct& w) {
    return c.triangles == w.numTriangles && c.vertices == w.numVertices &&
           c.planes == w.numPlaneSectors && c.atomics == w.numAtomicSectors &&
           c.collisionBytes == w.collisionBytes;
}

void extend_box(LgBBox& box, const LgBBox& other) {
    box.inf = {std::min(box.inf.x, other.inf.x), std::min(box.inf.y, other.inf.y),
               std::min(box.inf.z, other.inf.z)};
    box.sup = {std::max(box.sup.x, other.sup.x), std::max(box.sup.y, other.sup.y),
               std::max(box.sup.z, other.sup.z)};
}

LgWorld* abandon(Reader& r, void* block) {
    for (LgAtomicSector* s : r.sectors) {
        if (s->mesh != nullptr) LgMeshHeaderDestroy(s->mesh);
        LgPluginRegistryDeinitObject(&LgWorldSectorRegistry, s);
    }
    LgMaterialListDeinit(&r.world->matList);
    LgWorldBlockRemove(r.world);
    memory().free(block);
    readingWorld = nullptr;
    return nullptr;
}

// Sector mesh headers name the world's materials by their index in its list.
LgStream* sector_mesh_read(LgStream* stream, int32_t length, void* object, int32_t, int32_t) {
    auto* s = static_cast<LgAtomicSector*>(object);
    const LgWorld* world = readingWorld != nullptr ? readingWorld : LgWorldFindBySector(s);
    LgMeshHeader* header =
        LgMeshHeaderStreamRead(stream, static_cast<uint32_t>(length),
                               world != nullptr ? &world->matList : nullptr, s->numVertices);
    if (header == nullptr) return nullptr;
    if (s->mesh != nullptr) LgMeshHeaderDestroy(s->mesh);
    s->mesh = header;
    return stream;
}

LgStream* sector_mesh_write(LgStream* stream, int32_t, const void* object, int32_t, int32_t) {
    const auto* s = static_cast<const LgAtomicSector*>(object);
    const LgWorld* world = LgWorldFindBySector(s);
    if (s->mesh == nullptr || world == nullptr) return stream;
    return LgMeshHeaderStreamWrite(s->mesh, stream, &world->matList) != nullptr ? stream : nullptr;
}

int32_t sector_mesh_size(const void* object, int32_t, int32_t) {
    const auto* s = static_cast<const LgAtomicSector*>(object);
    return s->mesh != nullptr ? LgMeshHeaderStreamSize(s->mesh) : -1;
}

} // namespace

int32_t LgWorldSectorMeshHeaderPluginAttach() {
    if (LgWorldSectorRegisterPlugin(0, LgPluginMeshHeader, nullptr, nullptr, nullptr) < 0)
        return -1;
    return LgWorldSectorRegisterPluginStream(LgPluginMeshHeader, sector_mesh_read,
                                             sector_mesh_write, sector_mesh_size);
}

LgWorld* LgWorldStreamRead(LgStream* stream) {
    if (stream == nullptr) return nullptr;
    uint32_t length = 0;
    if (!LgStreamFindChunk(stream, LgChunkStruct, &length, nullptr)) return nullptr;
    // A longer payload is read up to the struct and the rest passed over; a shorter one
    // leaves the missing fields 0.
    WorldStruct w = {};
    LgStructReader in(stream, length);
    if (!in.words(&w, std::min(length, worldStructSize) & ~3u) || !in.finish()) return nullptr;
    if (!totals_plausible(w)) {
        fail_bad_data();
        return nullptr;
    }
    const uint64_t size = block_size(w);
    if (size > largestWorldBytes) {
        fail_bad_data();
        return nullptr;
    }
    void* block = memory().alloc(static_cast<size_t>(size));
    if (block == nullptr) {
        LgErrorRaise(LgErrorGroupGeneric, LgErrOutOfMemory);
        return nullptr;
    }
    Reader r = {stream, nullptr, Carver(static_cast<uint8_t*>(block), size), w.flags, {}, {}};
    r.world = static_cast<LgWorld*>(r.carver.take(LgWorldRegistry.sizeOfStruct));
    LgWorld* world = r.world;
    world->header = {LgObjectTypeWorld, 0, static_cast<uint8_t>(w.flags & 0xff), LgWorldSingleBlock,
                     nullptr};
    LgWorldBlockAdd(world, static_cast<size_t>(size));
    world->renderOrder = LgWorldRenderBackToFront;
    world->surfaceProps = {w.surface[0], w.surface[1], w.surface[2]};
    world->worldOrigin = {-w.invOrigin[0], -w.invOrigin[1], -w.invOrigin[2]};
    LgMaterialListInit(&world->matList);
    readingWorld = world;
    if (!LgStreamFindChunk(stream, LgChunkMaterialList, nullptr, nullptr) ||
        LgMaterialListStreamRead(stream, &world->matList) == nullptr)
        return abandon(r, block);
    world->rootSector = r.read_sector(w.rootIsAtomic != 0, 0);
    if (world->rootSector == nullptr) return abandon(r, block);
    if (!counts_match(r.counts, w)) {
        fail_bad_data();
        return abandon(r, block);
    }
    LgLinkInitialise(&world->clumpList);
    LgLinkInitialise(&world->localLightList);
    LgLinkInitialise(&world->globalLightList);
    world->boundingBox = r.sectors.front()->boundingBox;
    for (const LgAtomicSector* s : r.sectors) extend_box(world->boundingBox, s->boundingBox);
    world->renderCallBack = LgWorldSectorRenderDefault;
    if (LgPluginRegistryInitObject(&LgWorldRegistry, world) == nullptr) return abandon(r, block);
    if (LgPluginRegistryStreamReadExtension(&LgWorldRegistry, stream, world) == nullptr) {
        LgPluginRegistryDeinitObject(&LgWorldRegistry, world);
        return abandon(r, block);
    }
    readingWorld = nullptr;
    if (!LgWorldSetupSectors(world)) {
        LgWorldDestroy(world);
        return nullptr;
    }
    return world;
}
