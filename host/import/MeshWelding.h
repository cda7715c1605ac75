#pragma once
// What is left to do to a mesh as model readers hand it over, where each
// face may bring its own copies of its corners: smooth normals for a mesh
// read without any, and welding, which makes vertices alike in every
// attribute one. Free functions on a toolkit mesh of triangles whose face
// indices are all in range, or on a mesh of indexed corners (CornerMesh),
// which they weld into the same mesh without unfolding it first. Each takes
// the threads it may use; the result is the same for any count.

#include "host/toolkit/Mesh.h"

#include <cstdint>
#include <vector>

namespace mesh_welding {

// The distinct positions of a mesh's vertices in the order of their first
// vertex: vertex v lies at `at[of[v]]`. Equal as floats (0 and -0 alike).
struct Positions {
  std::vector<std::uint32_t> of;
  std::vector<TK_3fPoint> at;
};
Positions UniquePositions(const std::vector<TK_3fPoint>& vertices, int threads = 1);

// A mesh as readers of indexed files hold it: three corners per triangle in
// face order, each naming its point and, where the file states them, its
// normal and texture coordinates (the arrays are empty where it does not).
struct CornerMesh {
  struct Corner {
    std::uint32_t point = 0, normal = 0, texture = 0;
  };
  std::vector<TK_3fPoint> points;
  std::vector<TK_3fVector> normals;
  std::vector<TK_2fPoint> texture;
  std::vector<Corner> corners;
};
// The mesh of a vertex per corner, in corner order: the form that readers
// giving each face its own corners make (Assimp's OBJ reader among them).
TK_Mesh Unfold(const CornerMesh& mesh);
// The distinct positions of the unfolded mesh's vertices (finite points),
// found from the corners' points: each point is hashed once instead of each
// corner.
Positions UniquePositions(const CornerMesh& mesh, int threads = 1);

// Gives every vertex the unit sum of the normals around its position. A
// vertex brings the unit normal of its face (the unit sum of its faces'
// normals when several share it). Positions closer than 1e-4 of the mesh's
// diagonal count as one, so that seams a writer rounded apart shade
// smoothly. A group starts at each position in order that no group has
// reached yet and gives its sum to every position it reaches, so a
// position reached by several keeps the last one's. A position with no
// non-degenerate face gets a zero normal. `positions` are those of the
// mesh's vertices.
void SmoothNormals(TK_Mesh& mesh, const Positions& positions, int threads = 1);

// Makes vertices equal in position, normal and texture coordinates one (0
// and -0 alike) and drops vertices that no face uses. The vertices keep the
// order of their first index; the faces are renumbered, face normals stay.
// `positions` are those of the mesh's vertices before the weld.
void Weld(TK_Mesh& mesh, const Positions& positions, int threads = 1);

// What the unfolded mesh becomes through SmoothNormals (for `smooth`) and
// Weld, made from the corners without a vertex per corner: `stated` keeps
// the corners' own normals, `none` welds without normals. `positions` are
// those of the corners (UniquePositions).
enum class CornerNormals { stated, smooth, none };
TK_Mesh WeldCorners(const CornerMesh& mesh, const Positions& positions, CornerNormals normals, int threads = 1);

}  // namespace mesh_welding
