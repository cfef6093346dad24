// Checks of model descriptions against what the engine's readers accept.
#include "tools/modelwriter/model_check.h"

#include <string>

namespace modelwriter {

namespace {

constexpr size_t maxVertices = 65536; // triangles name vertices with 16-bit indices

std::string at(const std::string& where, size_t index, const std::string& problem) {
    return where + " " + std::to_string(index) + ": " + problem;
}

std::string check_texture(const Texture& t) {
    if (t.name.empty()) return "texture without a name";
    if (t.name.size() > textureNameMax || t.mask.size() > textureNameMax)
        return "texture name \"" + t.name + "\" longer than 31 characters";
    if (t.filter > 0xff || t.addressU > 0xf || t.addressV > 0xf)
        return "texture \"" + t.name + "\" has a mode out of range";
    return {};
}

std::string check_mesh_header(const MeshHeader& header, const Geometry& g) {
    for (size_t m = 0; m < header.meshes.size(); ++m) {
        const Mesh& mesh = header.meshes[m];
        if (mesh.material >= g.materials.size()) return at("mesh", m, "material out of range");
        for (uint32_t index : mesh.indices)
            if (index >= g.vertex_count()) return at("mesh", m, "vertex index out of range");
    }
    if (header.meshes.size() > 0xffff) return "more than 65535 meshes";
    return {};
}

std::string check_targets(const Geometry& g) {
    if (g.targets.empty()) return "geometry without a morph target";
    const size_t v = g.vertex_count();
    const bool normals = (g.flags & geometryNormals) != 0;
    for (size_t i = 0; i < g.targets.size(); ++i) {
        const MorphTarget& t = g.targets[i];
        if (t.positions.size() != v) return at("morph target", i, "vertex count differs");
        if (normals ? t.normals.size() != v : !t.normals.empty())
            return at("morph target", i, "normals do not match the normals flag");
    }
    return {};
}

} // namespace

std::string check_material_list(const std::vector<MaterialEntry>& materials) {
    for (size_t i = 0; i < materials.size(); ++i) {
        const MaterialEntry& e = materials[i];
        if (e.shareOf >= 0 && static_cast<size_t>(e.shareOf) >= i)
            return at("material entry", i, "shares an entry that is not earlier");
        if (e.shareOf < 0 && e.material.texture) {
            std::string problem = check_texture(*e.material.texture);
            if (!problem.empty()) return at("material entry", i, problem);
        }
    }
    return {};
}

std::string check_geometry(const Geometry& g) {
    if (g.flags > 0xff) return "geometry flags beyond the low byte";
    if (std::string problem = check_targets(g); !problem.empty()) return problem;
    const size_t v = g.vertex_count();
    if (v > maxVertices) return "more than 65536 vertices";
    if (((g.flags & geometryPrelit) != 0 ? v : 0) != g.prelit.size())
        return "pre-lit colours do not match the flag and vertex count";
    if (((g.flags & geometryTextured) != 0 ? v : 0) != g.texCoords.size())
        return "texture coordinates do not match the flag and vertex count";
    if (std::string problem = check_material_list(g.materials); !problem.empty()) return problem;
    for (size_t i = 0; i < g.triangles.size(); ++i) {
        const Triangle& t = g.triangles[i];
        if (t.a >= v || t.b >= v || t.c >= v) return at("triangle", i, "vertex index out of range");
        if (t.material >= g.materials.size()) return at("triangle", i, "material out of range");
    }
    if (g.meshHeader) return check_mesh_header(*g.meshHeader, g);
    return {};
}

std::string check_clump(const Clump& c) {
    for (size_t k = 0; k < c.frames.size(); ++k) {
        const int32_t parent = c.frames[k].parent;
        if (k == 0 ? parent >= 0 : parent < 0 || static_cast<size_t>(parent) >= k)
            return at("frame", k,
                      k == 0 ? "the root has a parent" : "parent is not an earlier frame");
    }
    for (size_t i = 0; i < c.geometries.size(); ++i)
        if (std::string problem = check_geometry(c.geometries[i]); !problem.empty())
            return at("geometry", i, problem);
    for (size_t i = 0; i < c.atomics.size(); ++i) {
        const Atomic& a = c.atomics[i];
        if (a.frame >= c.frames.size()) return at("atomic", i, "frame out of range");
        if (a.geometry >= c.geometries.size()) return at("atomic", i, "geometry out of range");
        if (a.flags > 0xff) return at("atomic", i, "flags beyond the low byte");
    }
    return {};
}

} // namespace modelwriter
