// Materials and material lists: reference counts of shared entries, growth, lookups, the
// short and long material records, textures, transparency and hostile lists.
#include "engine/world/lg_material_list.h"
#include "tests/engine/world/model_test_support.h"

#include <gtest/gtest.h>

using enginetest::recorded_error;
using modeltest::ModelEngine;
namespace mw = modelwriter;

namespace {

class Materials : public ModelEngine {
protected:
    LgMaterialList* read_list(const std::vector<uint8_t>& bytes) {
        LgStreamMemory data = {const_cast<uint8_t*>(bytes.data()),
                               static_cast<uint32_t>(bytes.size())};
        LgStream* s = LgStreamOpen(LgStreamTypeMemory, LgStreamAccessRead, &data);
        LgMaterialList* r = LgStreamFindChunk(s, LgChunkMaterialList, nullptr, nullptr)
                                ? LgMaterialListStreamRead(s, &list)
                                : nullptr;
        LgStreamClose(s, nullptr);
        return r;
    }
    std::vector<uint8_t> list_bytes(const std::vector<mw::MaterialEntry>& entries) {
        mw::ChunkWriter w;
        mw::put_material_list(w, entries);
        return w.take();
    }
    void TearDown() override { LgMaterialListDeinit(&list); }

    LgMaterialList list = {nullptr, 0, 0};
};

mw::MaterialEntry coloured(uint8_t red, uint8_t alpha = 255) {
    mw::MaterialEntry e;
    e.material.colour = {red, 2, 3, alpha};
    e.material.surface = {0.25f, 0.5f, 0.75f};
    return e;
}

mw::MaterialEntry share(int32_t index) {
    mw::MaterialEntry e;
    e.shareOf = index;
    return e;
}

TEST_F(Materials, SharedEntriesReferToEarlierMaterialsAndCountTheirReferences) {
    ASSERT_EQ(read_list(list_bytes({coloured(10), coloured(20), share(0)})), &list);
    ASSERT_EQ(list.numMaterials, 3);
    LgMaterial* first = LgMaterialListGet(&list, 0);
    EXPECT_EQ(LgMaterialListGet(&list, 2), first);
    EXPECT_EQ(first->refCount, 2);
    EXPECT_EQ(LgMaterialListGet(&list, 1)->refCount, 1);
    EXPECT_EQ(first->color.red, 10);
    EXPECT_EQ(first->surfaceProps.diffuse, 0.75f);
    EXPECT_EQ(LgMaterialListFind(&list, first), 2); // the highest index
    EXPECT_EQ(LgMaterialListFindFirst(&list, first), 0);
}

TEST_F(Materials, AppendGrowsByTwentyEntries) {
    LgMaterial* m = LgMaterialCreate();
    for (int i = 0; i < 21; ++i) EXPECT_EQ(LgMaterialListAppend(&list, m), i);
    EXPECT_EQ(list.space, 40);
    EXPECT_EQ(m->refCount, 22);
    LgMaterialRelease(m);
}

TEST_F(Materials, ShortRecordsGetDefaultCoefficientsAndLongRecordsAreCut) {
    // A 16-byte struct and a 40-byte one, both followed by an empty extension.
    auto material = [](uint32_t structSize) {
        mw::ChunkWriter w;
        w.begin_chunk(LgChunkMaterial);
        w.begin_chunk(LgChunkStruct);
        w.u32(0);
        w.raw("\x05\x06\x07\x08", 4);
        w.u32(0);
        w.u32(0);
        for (uint32_t i = 16; i < structSize; i += 4) w.f32(0.5f);
        w.end_chunk();
        w.extension_chunk();
        w.end_chunk();
        return w.take();
    };
    LgMaterial* shortForm =
        modeltest::read_chunk(material(16), LgChunkMaterial, LgMaterialStreamRead);
    ASSERT_NE(shortForm, nullptr);
    EXPECT_EQ(shortForm->surfaceProps.ambient, 1.0f);
    EXPECT_EQ(shortForm->color.alpha, 8);
    LgMaterial* longForm =
        modeltest::read_chunk(material(40), LgChunkMaterial, LgMaterialStreamRead);
    ASSERT_NE(longForm, nullptr);
    EXPECT_EQ(longForm->surfaceProps.specular, 0.5f);
    LgMaterialRelease(shortForm);
    LgMaterialRelease(longForm);
}

TEST_F(Materials, TexturesAreReadByNameAndAMissingOneLeavesTheMaterialUntextured) {
    mw::MaterialEntry textured = coloured(1), missing = coloured(2);
    textured.material.texture = mw::Texture{
        "planks", "planksm", mw::filterTrilinear, mw::addressClamp, mw::addressMirror, {}};
    missing.material.texture = mw::Texture{"missing", "", 1, 1, 1, {}};
    ASSERT_EQ(read_list(list_bytes({textured, missing})), &list);
    const LgTexture* t = LgMaterialGetTexture(LgMaterialListGet(&list, 0));
    ASSERT_NE(t, nullptr);
    EXPECT_STREQ(LgTextureGetName(t), "planks");
    EXPECT_STREQ(LgTextureGetMaskName(t), "planksm");
    EXPECT_EQ(t->filterMode, 6u);
    EXPECT_EQ(t->addressingU, 3u);
    EXPECT_EQ(t->addressingV, 2u);
    EXPECT_EQ(LgMaterialGetTexture(LgMaterialListGet(&list, 1)), nullptr);
}

TEST_F(Materials, TransparencyComesFromAlpha) {
    LgMaterial* m = LgMaterialCreate();
    EXPECT_FALSE(LgMaterialIsTransparent(m));
    EXPECT_FALSE(LgMaterialIsTransparent(nullptr));
    const LgRGBA seeThrough = {255, 255, 255, 254};
    LgMaterialSetColor(m, &seeThrough);
    EXPECT_TRUE(LgMaterialIsTransparent(m));
    LgMaterialRelease(m);
}

TEST_F(Materials, HostileListsFailAndLeaveTheListEmpty) {
    const std::vector<uint8_t> cases[] = {
        list_bytes({coloured(1), share(1)}), // shares itself
        list_bytes({share(0)}),              // shares an entry not yet read
    };
    for (const auto& bytes : cases) {
        EXPECT_EQ(read_list(bytes), nullptr);
        EXPECT_EQ(list.numMaterials, 0);
        EXPECT_EQ(list.materials, nullptr);
    }
    // A count larger than the struct holds; a new entry whose material chunk is missing.
    for (uint32_t count : {0x40000000u, 1u}) {
        mw::ChunkWriter w;
        w.begin_chunk(LgChunkMaterialList);
        w.begin_chunk(LgChunkStruct);
        w.u32(count);
        w.i32(-1);
        w.end_chunk();
        w.end_chunk();
        EXPECT_EQ(read_list(w.take()), nullptr) << count;
    }
}

// Found by fuzzing: a struct chunk whose length and count claim a billion entries, in a file
// of a few bytes, made the reader ask for 4 GB before reading any.
TEST_F(Materials, ACountTheStreamDoesNotHoldAsksForNoMoreThanItReads) {
    std::vector<uint8_t> bytes =
        enginetest::concat({enginetest::chunk_header(LgChunkMaterialList, 0xfffffff0u),
                            enginetest::chunk_header(LgChunkStruct, 0xffffffe0u),
                            {0xf0, 0xff, 0xff, 0x3f}});
    for (int i = 0; i < 3000; ++i) bytes.insert(bytes.end(), {0xff, 0xff, 0xff, 0xff});
    modeltest::AllocationWatch watch;
    EXPECT_EQ(read_list(bytes), nullptr);
    EXPECT_LT(watch.largest(), size_t{64} << 10);
    EXPECT_EQ(list.numMaterials, 0);
}

} // namespace
