// Fuzzes the mesh header's binary form (the extension payload of geometries and world
// sectors): flags, counts, and each mesh's index count, material index and indices, read
// against an owner's material list and vertex count. The reader must stay inside the length
// it is given, and what it accepts must write back as the bytes it read.
//
// Input: one byte for the owner's material count (0 to 8), two for its vertex count (low
// byte first), one for how many bytes at the end lie beyond the payload's length, then the
// payload.
#include "engine/world/lg_mesh.h"
#include "fuzz/model_harness.h"

#include <algorithm>
#include <vector>

namespace {

constexpr int32_t kMaterials = 8;

// Distinct materials, so each writes back as the index it was read from.
const LgMaterialList& owner_materials() {
    static LgMaterialList list = [] {
        LgMaterialList l;
        LgMaterialListInit(&l);
        for (int32_t i = 0; i < kMaterials; ++i) {
            LgMaterial* m = LgMaterialCreate();
            fuzzing::require(m != nullptr && LgMaterialListAppend(&l, m) == i,
                             "the owner's materials are made");
            LgMaterialRelease(m);
        }
        return l;
    }();
    return list;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    LgTexDictionary* dictionary = fuzzing::start_model_engine();
    const LgMaterialList& all = owner_materials();
    fuzzing::ModelRunBalanced balanced(dictionary);
    fuzzing::FuzzInput input(data, size);
    LgMaterialList materials = all;
    materials.numMaterials = input.byte() % (kMaterials + 1);
    const uint32_t numVertices = input.byte() | uint32_t{input.byte()} << 8;
    const size_t beyond = input.byte();
    const auto rest = input.rest();
    const auto length = static_cast<uint32_t>(rest.size() - std::min(beyond, rest.size()));

    fuzzing::MemoryReadStream in(rest.data(), rest.size());
    LgMeshHeader* header = LgMeshHeaderStreamRead(in.get(), length, &materials, numVertices);
    const size_t read = in.get()->kind.memory.position;
    fuzzing::require(read <= length, "the reader stays inside its length");
    if (header == nullptr) return 0;
    fuzzing::require(read == length, "an accepted payload is read to its length");

    fuzzing::MemoryWriteStream out;
    fuzzing::require(LgMeshHeaderStreamWrite(header, out.get(), &materials) == header,
                     "an accepted header writes");
    const std::vector<uint8_t> written = out.take();
    const auto stored = static_cast<size_t>(LgMeshHeaderStreamSize(header));
    fuzzing::require(written.size() == stored && stored <= length &&
                         std::equal(written.begin(), written.end(), rest.begin()),
                     "an accepted header writes back as the bytes it was read from");
    LgMeshHeaderDestroy(header);
    return 0;
}
