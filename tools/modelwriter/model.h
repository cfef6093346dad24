// The authoring description of a model: plain values for frames, geometries, materials and
// atomics, which the writer turns into the engine's clump chunk.
#pragma once

#include "tools/modelwriter/chunk_writer.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace modelwriter {

struct Vec3 {
    float x = 0, y = 0, z = 0;
    bool operator==(const Vec3&) const = default;
};

struct Colour {
    uint8_t r = 255, g = 255, b = 255, a = 255;
    bool operator==(const Colour&) const = default;
};

struct TexCoord {
    float u = 0, v = 0;
    bool operator==(const TexCoord&) const = default;
};

struct Sphere {
    Vec3 centre;
    float radius = 0;
    bool operator==(const Sphere&) const = default;
};

// Ambient, specular, diffuse, in the stream's order.
using Surface = std::array<float, 3>;

// Geometry flags.
constexpr uint32_t geometryStrips = 0x01;
constexpr uint32_t geometryTextured = 0x04;
constexpr uint32_t geometryPrelit = 0x08;
constexpr uint32_t geometryNormals = 0x10;
constexpr uint32_t geometryLit = 0x20;
constexpr uint32_t geometryModulate = 0x40;

// Texture filter and addressing modes.
constexpr uint32_t filterPoint = 1;
constexpr uint32_t filterLinear = 2;
constexpr uint32_t filterTrilinear = 6;
constexpr uint32_t addressWrap = 1;
constexpr uint32_t addressMirror = 2;
constexpr uint32_t addressClamp = 3;
constexpr uint32_t addressBorder = 4;

// The longest texture or mask name the engine keeps.
constexpr size_t textureNameMax = 31;

struct Texture {
    std::string name;
    std::string mask; // "" for none
    uint32_t filter = filterLinear;
    uint32_t addressU = addressWrap;
    uint32_t addressV = addressWrap;
    std::vector<PluginData> extensions;
};

struct Material {
    Colour colour;
    Surface surface = {1.0f, 1.0f, 1.0f};
    std::optional<Texture> texture;
    std::vector<PluginData> extensions;
};

// An entry of a material list: a new material, or a share of an earlier entry.
struct MaterialEntry {
    int32_t shareOf = -1; // >= 0: the index of an earlier entry
    Material material;    // used when shareOf < 0
};

struct Triangle {
    uint16_t a = 0, b = 0, c = 0;
    uint16_t material = 0; // index into the geometry's material list
};

struct MorphTarget {
    std::optional<Sphere> sphere; // computed from the positions when absent
    std::vector<Vec3> positions;  // one per vertex
    std::vector<Vec3> normals;    // one per vertex with geometryNormals, else empty
};

// A mesh header stored with the geometry (optional: the engine builds one at load).
struct Mesh {
    uint32_t material = 0; // index into the geometry's material list
    std::vector<uint32_t> indices;
};
struct MeshHeader {
    uint32_t flags = 0; // bit 0: strips
    std::vector<Mesh> meshes;
};

struct Geometry {
    uint32_t flags = 0;
    Surface surface = {1.0f, 1.0f, 1.0f};
    std::vector<Colour> prelit;      // with geometryPrelit
    std::vector<TexCoord> texCoords; // with geometryTextured
    std::vector<Triangle> triangles;
    std::vector<MorphTarget> targets; // at least one
    std::vector<MaterialEntry> materials;
    std::optional<MeshHeader> meshHeader;
    std::vector<PluginData> extensions;

    size_t vertex_count() const { return targets.empty() ? 0 : targets[0].positions.size(); }
};

struct Frame {
    Vec3 right = {1, 0, 0};
    Vec3 up = {0, 1, 0};
    Vec3 at = {0, 0, 1};
    Vec3 position;
    int32_t parent = -1; // an earlier frame; only frame 0, the root, has none
    std::vector<PluginData> extensions;
};

// Atomic flags.
constexpr uint32_t atomicCollision = 0x01;
constexpr uint32_t atomicRender = 0x04;

struct Atomic {
    uint32_t frame = 0;
    uint32_t geometry = 0;
    uint32_t flags = atomicCollision | atomicRender;
    std::vector<PluginData> extensions;
};

// How the clump stores its geometries.
enum class GeometryStorage {
    List,   // one geometry list that atomics index (clump version 0x304)
    Inline, // each atomic carries its own copy (the older 0x303 form)
};

struct Clump {
    std::vector<Frame> frames; // frame 0 is the root
    std::vector<Geometry> geometries;
    std::vector<Atomic> atomics; // the engine lists them in reverse order
    GeometryStorage storage = GeometryStorage::List;
    std::vector<PluginData> extensions;
};

} // namespace modelwriter
