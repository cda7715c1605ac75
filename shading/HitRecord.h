#pragma once
// HitRecord: one ray–triangle hit of a pixel sample. The caller fills the ray,
// the mesh and face indices and the material; the ray tests of
// RenderMeshEntry fill the rest but the normal, which shading completes. A
// record owns nothing: it is copied and moved as plain memory.

#include <span>
#include <type_traits>

#include "host/toolkit/Point.h"

class MaterialEntry;

struct HitRecord {
  HitRecord() = default;
  // A hit of the ray tests with every field written once: the point O + t D
  // component by component, the normal zero (shading fills it).
  HitRecord(const TK_3dVector& origin, const TK_3dVector& direction, double t, const TK_3fPoint& weights,
            const TK_2fPoint (&coordinates)[3], int mesh_index, int face_index, bool back_face,
            const MaterialEntry* material)
      : point(origin.x + direction.x * t, origin.y + direction.y * t, origin.z + direction.z * t),
        normal(0.0, 0.0, 0.0),
        weights(weights),
        ray_origin(origin),
        ray_direction(direction),
        depth(t),
        mesh_index(mesh_index),
        face_index(face_index),
        texture_coordinates{coordinates[0], coordinates[1], coordinates[2]},
        back_face(back_face),
        material(material) {}

  TK_3dVector point;      // O + t D
  // Unit shading normal, turned toward the ray on a back face. Filled by
  // shading (RenderMeshEntry::ShadingNormal), not by the ray tests; only a
  // record naming no mesh entry, made by hand, brings its own.
  TK_3dVector normal;
  TK_3fPoint weights;     // barycentric weights of the face's vertices 0, 1, 2
  TK_3dVector ray_origin;
  TK_3dVector ray_direction;  // need not be unit: depth counts in its units
  double depth = 0.0;         // ray parameter t, the sort key
  int mesh_index = 0;
  int face_index = 0;
  TK_2fPoint texture_coordinates[3];  // of the face's vertices 0, 1, 2
  bool back_face = false;             // the ray meets the face from behind
  const MaterialEntry* material = nullptr;  // not owned
};
static_assert(std::is_trivially_copyable_v<HitRecord>, "hit lists copy records as plain memory");

// Every field zero: vectors, weights, coordinates, depth, indices, flag, pointer.
void InitHitRecord(HitRecord& record);

// Sorts hits nearest first by depth, hits of equal depth keeping their
// order (a stable sort). Allocates nothing for up to 32 hits.
void SortHitsNearestFirst(std::span<HitRecord> hits);

// The texture coordinate at the hit: w0 T0 + w1 T1 + w2 T2 in single precision.
TK_2fPoint InterpolatedTextureCoordinate(const HitRecord& record);
