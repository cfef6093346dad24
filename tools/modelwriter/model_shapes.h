// Authoring helpers: bounding spheres, face normals and ready-made shapes.
#pragma once

#include "tools/modelwriter/model.h"

namespace modelwriter {

// A sphere around every point: centred on their box, reaching the farthest one.
Sphere bounding_sphere(const std::vector<Vec3>& points);

// Per-vertex normals: the normalised sum of the faces' (b - a) x (c - a) around each vertex.
std::vector<Vec3> vertex_normals(const std::vector<Vec3>& positions,
                                 const std::vector<Triangle>& triangles);

// An axis-aligned box centred on the origin, faces wound outward, four vertices a face, with
// texture coordinates and normals; every triangle uses material entry 0.
Geometry make_box(Vec3 halfExtents, const Material& material);

// A flat grid in the x-z plane of cells x cells squares of `size`, wound upward (+y), with
// texture coordinates; material entry 0.
Geometry make_grid(int cells, float size, const Material& material);

// A one-frame clump placing the geometry at the origin.
Clump single_atomic_clump(Geometry geometry);

} // namespace modelwriter
