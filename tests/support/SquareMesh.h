#pragma once
// A square of half side `half` in the plane z, facing +z, as one quad.

#include "host/toolkit/Mesh.h"

inline TK_Mesh SquareMesh(float half, float z) {
  TK_Mesh mesh;
  mesh.SetVertex(0, TK_3fPoint(-half, -half, z));
  mesh.SetVertex(1, TK_3fPoint(half, -half, z));
  mesh.SetVertex(2, TK_3fPoint(half, half, z));
  mesh.SetVertex(3, TK_3fPoint(-half, half, z));
  mesh.SetQuad(0, 0, 1, 2, 3);
  return mesh;
}
