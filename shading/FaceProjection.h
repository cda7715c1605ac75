#pragma once
// FaceProjection: everything a ray test reads of one triangle, in one
// record, and the test of one ray against four such records at once. A
// processor with AVX2 runs the four lanes in 256-bit registers, any other
// in the baseline's 128-bit ones; every lane is the same sequence of IEEE
// double operations in both (never fused), so both give the same bits.

#include <type_traits>

#include "camera/SimdPath.h"
#include "host/toolkit/Point.h"

// A face's plane and its edges projected along the dominant axis, so that a
// ray test needs neither a cross product nor a square root; one trip to
// memory rather than one per table. Plain floats, so that a table of them
// is made without being cleared first: every record is written once.
struct FaceProjection {
  float normal[3];     // unit face normal, N
  float plane_offset;  // -(P0 . N)
  float p0a, p0b;      // P0 in the projected coordinates (a, b)
  float a1, b1;        // P1 - P0
  float a2, b2;        // P2 - P0
  float det;           // b2 a1 - b1 a2
  int dominant_axis;   // dropped axis: 0 gives (a, b) = (y, z), 1 (x, z), 2 (x, y)

  TK_3dVector Normal() const { return {normal[0], normal[1], normal[2]}; }
};
static_assert(std::is_trivially_default_constructible_v<FaceProjection>);
static_assert(sizeof(FaceProjection) == 48, "the four-face test reads a record as three rows of four");

// A ray O + t D against four records (the same record may fill several
// lanes). Lane k: depth[k] = t where the ray meets face k's plane (not a
// number, or infinite, when D runs along the plane or is zero), u[k] and
// v[k] the plane point's barycentric quotients (weights 1 - u - v, u, v;
// not numbers on a face without area); bit k of `back` says D . N > 0,
// bit k of `inside` that u >= 0, v >= 0 and u + v <= 1, and bit k of
// `meets` that besides t > 0: the ray meets the face ahead of its origin.
struct FaceQuadTest {
  double depth[4];
  double u[4];
  double v[4];
  unsigned back = 0;
  unsigned inside = 0;
  unsigned meets = 0;
};

// Through the processor's path (ChosenSimdPath), or a named one where it
// is supported (SupportedSimdPath).
void TestFaces(const TK_3dVector& origin, const TK_3dVector& direction, const FaceProjection* const faces[4],
               FaceQuadTest& out);
void TestFaces(SimdPath path, const TK_3dVector& origin, const TK_3dVector& direction,
               const FaceProjection* const faces[4], FaceQuadTest& out);
