// Seeds of the world harness: worlds built from triangle soups and written by the world
// writer, with every vertex array, collision trees and stored sector meshes.
#include "fuzz/seeds/seed_set.h"
#include "tools/modelwriter/model_shapes.h"
#include "tools/modelwriter/world_builder.h"
#include "tools/modelwriter/world_writer.h"

#include <string>
#include <vector>

namespace {

namespace mw = modelwriter;

mw::TriangleSoup ground(int cells, const std::string& textureName) {
    mw::Material m;
    m.colour = {90, 160, 60, 255};
    if (!textureName.empty())
        m.texture =
            mw::Texture{textureName, "", mw::filterLinear, mw::addressWrap, mw::addressWrap, {}};
    return mw::soup_of(mw::make_grid(cells, 4.0f, m));
}

void add_world(fuzzing::SeedSet& seeds, const std::string& name, const mw::World& world) {
    std::vector<uint8_t> out;
    const mw::WriteResult r = mw::write_world(world, out);
    fuzzing::require(static_cast<bool>(r), "the seed world writes");
    seeds.add(name, out);
}

} // namespace

FUZZ_SEEDS(engine_worlds) {
    mw::BuildOptions options;
    options.maxSectorTriangles = 8;
    options.flags = mw::worldTextured | mw::worldNormals | mw::worldPrelit | mw::worldLit;
    mw::TriangleSoup soup = ground(3, "planks");
    soup.prelit.assign(soup.positions.size(), {10, 20, 30, 255});
    soup.normals = mw::vertex_normals(soup.positions, soup.triangles);
    std::optional<mw::World> split = mw::build_world(soup, options);
    fuzzing::require(split.has_value(), "the seed world builds");
    add_world(seeds, "split_textured_prelit_normals", *split);

    // One atomic sector at the root, without trees, with a stored mesh and an extension.
    mw::BuildOptions single;
    single.collisionTrees = false;
    std::optional<mw::World> root = mw::build_world(ground(1, ""), single);
    fuzzing::require(root.has_value(), "the seed world builds");
    mw::WorldSector& s = root->sectors.front();
    s.meshHeader = mw::MeshHeader{0, {{0, {0, 1, 2, 2, 1, 3}}}};
    s.extensions.push_back({0x777, {5, 6, 7, 8}});
    add_world(seeds, "root_sector_with_mesh", *root);

    // Two materials across sectors, a material window and a tree in each leaf.
    mw::TriangleSoup two = ground(2, "pal8");
    mw::MaterialEntry second;
    second.material.colour = {200, 0, 0, 128};
    two.materials.push_back(second);
    for (size_t i = 0; i < two.triangles.size(); i += 2) two.triangles[i].material = 1;
    mw::BuildOptions small;
    small.maxSectorTriangles = 2;
    std::optional<mw::World> windowed = mw::build_world(two, small);
    fuzzing::require(windowed.has_value(), "the seed world builds");
    add_world(seeds, "two_materials_small_sectors", *windowed);
}
