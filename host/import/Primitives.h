#pragma once
// Built-in primitive meshes for scene descriptions: box, sphere, plane and
// cylinder, centred on the origin with +z up, with outward unit vertex
// normals, texture coordinates (v = 0 at the image's bottom row) and faces
// wound counter-clockwise seen from outside. Each answers nothing for
// dimensions that are not finite and positive or segment counts out of range.

#include <optional>

#include "host/toolkit/Mesh.h"

namespace primitives {

// Limits of the segment counts, so that a typo cannot ask for a billion faces.
inline constexpr int kMinSegments = 3;
inline constexpr int kMaxSegments = 1024;

// An axis-aligned box of the given sizes: 24 vertices (four per side, so each
// side has its own normal), 6 quads, each side's texture running 0..1.
std::optional<TK_Mesh> Box(double size_x, double size_y, double size_z);
// A latitude-longitude sphere: `segments` around, `rings` from pole to pole
// (at least 2); u runs once around, v from the south pole (0) to the north (1).
std::optional<TK_Mesh> Sphere(double radius, int segments, int rings);
// A rectangle in the xy plane facing +z, one quad, texture 0..1 across it.
std::optional<TK_Mesh> Plane(double size_x, double size_y);
// A closed cylinder along z from -height/2 to +height/2: a smooth side of
// `segments` quads and two flat caps fanned from their centres.
std::optional<TK_Mesh> Cylinder(double radius, double height, int segments);

}  // namespace primitives
