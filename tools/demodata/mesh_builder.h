// Low-poly model building: boxes, tubes and flat patches appended to one geometry, every face
// wound outward, then normals, pre-lit colours and the bounding sphere finished in one step.
#pragma once

#include "tools/modelwriter/model.h"

#include <string>

namespace demodata {

namespace mw = modelwriter;

mw::Vec3 operator+(mw::Vec3 a, mw::Vec3 b);
mw::Vec3 operator-(mw::Vec3 a, mw::Vec3 b);
mw::Vec3 operator*(mw::Vec3 a, float s);
mw::Vec3 cross(mw::Vec3 a, mw::Vec3 b);
float dot(mw::Vec3 a, mw::Vec3 b);
mw::Vec3 normalised(mw::Vec3 v);

// A material showing the named texture (linear filter, wrapped).
mw::MaterialEntry textured(const std::string& texture);
// An untextured material of one colour.
mw::MaterialEntry painted(uint8_t r, uint8_t g, uint8_t b);

// How the game shows a model, and so what its geometries carry.
enum class Shading {
    // The game blackens the pre-lit colours of planes, shrapnel and ground objects without
    // "prelit" and lets the engine light them from the map's sun: the geometries are lit.
    lit,
    // Ordnance and ground objects marked "prelit" keep their pre-lit colours, unlit.
    prelit,
};

class MeshBuilder {
public:
    // A geometry with texture coordinates, pre-lit colours and normals, lit by the engine
    // unless it is `Shading::prelit`.
    explicit MeshBuilder(Shading shading = Shading::lit);

    // Adds a material; its index for the shapes.
    uint16_t material(mw::MaterialEntry entry);

    // A parallelogram from `origin` along u and v, its outside facing u x v.
    void patch(mw::Vec3 origin, mw::Vec3 u, mw::Vec3 v, uint16_t material, float repeat = 1.0f);
    // An axis-aligned box around `centre` with half extents h.
    void box(mw::Vec3 centre, mw::Vec3 h, uint16_t material, float repeat = 1.0f);
    // A tube along a unit axis (x, y or z) from `from`, radius r0 at the start and r1 at the
    // end, both ends closed.
    void tube(mw::Vec3 from, mw::Vec3 axis, float length, float r0, float r1, int sides,
              uint16_t material);
    // A ridge roof (two slopes and two gables) over the rectangle x in [-hx, hx], z in
    // [-hz, hz] at height y0, rising to y1 along the z axis.
    void roof(float hx, float hz, float y0, float y1, uint16_t material);

    // Normals, pre-lit colours from a fixed sun and the sphere; the geometry is moved out.
    mw::Geometry finish();

private:
    uint16_t add_vertex(mw::Vec3 p, mw::TexCoord uv);
    void triangle(uint16_t a, uint16_t b, uint16_t c, uint16_t material);

    mw::Geometry g_;
};

// A clump of one root frame holding the geometry.
mw::Clump one_part_clump(mw::Geometry geometry);
// Adds a child frame of `parent` placed at `position` with its own atomic; the frame's index.
uint32_t add_child_part(mw::Clump& clump, uint32_t parent, mw::Vec3 position,
                        mw::Geometry geometry);

} // namespace demodata
