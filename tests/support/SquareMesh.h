#pragma once
// A square of half side `half` in the plane z, facing +z, as one quad.

#include "host/toolkit/Mesh.h"

inline TK_Mesh SquareMesh(float half, float z) {
  TK_Mesh mesh;
  for (int v = 0; v < 4; ++v) mesh.SetVertex(v, TK_3fPoint(v % 3 == 0 ? -half : half, v < 2 ? -half : half, z));
  mesh.SetQuad(0, 0, 1, 2, 3);
  return mesh;
}
