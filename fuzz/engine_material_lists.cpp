// Fuzzes the material list chunk: the entry count and entries, each a new material chunk
// (colour, surface, texture read along the image path, extension) or a share of an earlier
// entry. Every list read is emptied again, which must release every material and texture.
//
// Input: the stream's bytes: material list chunks (type 8), possibly among other chunks.
#include "engine/world/lg_material_list.h"
#include "fuzz/model_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    LgTexDictionary* dictionary = fuzzing::start_model_engine();
    fuzzing::ModelRunBalanced balanced(dictionary);
    fuzzing::MemoryReadStream in(data, size);
    LgMaterialList list;
    LgMaterialListInit(&list);
    for (int lists = 0; lists < 4; ++lists) {
        if (LgStreamFindChunk(in.get(), LgChunkMaterialList, nullptr, nullptr) != 1) break;
        // A list read into a list that holds materials replaces them.
        if (LgMaterialListStreamRead(in.get(), &list) == nullptr) {
            fuzzing::require(list.numMaterials == 0 && list.materials == nullptr,
                             "a failed read leaves the list empty");
            continue;
        }
        for (int32_t i = 0; i < list.numMaterials; ++i)
            fuzzing::require(LgMaterialListGet(&list, i) != nullptr &&
                                 LgMaterialListGet(&list, i)->refCount >= 1,
                             "entries hold counted materials");
    }
    LgMaterialListDeinit(&list);
    return 0;
}
