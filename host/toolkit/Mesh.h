#pragma once
// A polygon mesh of the toolkit: single-precision vertices, faces of four
// vertex indices (a triangle repeats its third index), optional vertex
// normals, face normals and texture coordinates. The mesh owns its arrays;
// they are contiguous, so vertices and faces (four ints per face) can be
// handed to OpenGL as they are. A copyable value.

#include <memory>
#include <vector>

#include "host/toolkit/Geometry.h"

struct TK_MeshFace {
  int vi[4] = {0, 0, 0, 0};

  bool IsTriangle() const { return vi[2] == vi[3]; }
  bool IsQuad() const { return vi[2] != vi[3]; }
  // Every index within 0..vertex_count-1.
  bool IsValid(int vertex_count) const;
  bool operator==(const TK_MeshFace&) const = default;
};
static_assert(sizeof(TK_MeshFace) == 4 * sizeof(int), "faces are handed to OpenGL as four ints each");

class TK_Mesh : public TK_Geometry {
  TK_OBJECT_DECLARE(TK_Mesh)
public:
  TK_Mesh() = default;

  int VertexCount() const { return int(m_V.size()); }
  int FaceCount() const { return int(m_F.size()); }
  // One entry per vertex (or per face) in a non-empty array.
  bool HasVertexNormals() const { return !m_V.empty() && m_N.size() == m_V.size(); }
  bool HasTextureCoordinates() const { return !m_V.empty() && m_T.size() == m_V.size(); }
  bool HasFaceNormals() const { return !m_F.empty() && m_FN.size() == m_F.size(); }

  // Element i is replaced, or appended when i is the current count; any
  // other i (or a negative index) answers false.
  bool SetVertex(int i, const TK_3fPoint& point);
  bool SetVertex(int i, const TK_3dPoint& point);
  bool SetTriangle(int i, int a, int b, int c);
  bool SetQuad(int i, int a, int b, int c, int d);

  // Quad (a, b, c, d) becomes triangle (a, b, c) in its own place and
  // triangle (a, c, d) appended after all faces, in the order of the quads;
  // so face indices of the old faces keep their meaning. Vertex arrays are
  // unchanged; face normals, when present, are recomputed.
  void ConvertQuadsToTriangles();
  // Face normal i := unit((P1 - P0) x (P2 - P0)) of face i's first three
  // vertices, computed in single precision exactly in that form (so it equals
  // the renderer's own computation); zero for a face of zero area or with an
  // index out of range. False when some face has such an index.
  bool ComputeFaceNormals();
  // Area-weighted vertex normals: each face adds its vector area, for a quad
  // (P2 - P0) x (P3 - P1), to its distinct vertices; the sums are made unit.
  // A vertex whose sum is zero (unused, or only on degenerate faces) gets a
  // zero normal. False when the mesh has no faces or some face index is out
  // of range (such faces are skipped).
  bool ComputeVertexNormals();

  // Non-empty, every face index in range, finite vertices, and normal and
  // texture arrays either empty or one per vertex (face normals one per face).
  bool IsValid() const override;
  // Vertices move; vertex normals turn with the inverse transpose and are
  // made unit; face normals are recomputed. A mirroring transform reverses
  // each face's vertex order so that face and vertex normals still agree.
  // False (mesh unchanged) when the result is not finite or normals are
  // present and the transform is singular.
  bool Transform(const TK_Xform& xform) override;
  // Box of all vertices (an empty box for a mesh without vertices).
  TK_BoundingBox BoundingBox() const override;
  std::unique_ptr<TK_Object> DuplicateObject() const override { return std::make_unique<TK_Mesh>(*this); }

  bool operator==(const TK_Mesh& o) const;

  std::vector<TK_3fPoint> m_V;    // vertices
  std::vector<TK_MeshFace> m_F;   // faces
  std::vector<TK_3fVector> m_N;   // vertex normals, empty or one per vertex
  std::vector<TK_3fVector> m_FN;  // face normals, empty or one per face
  std::vector<TK_2fPoint> m_T;    // texture coordinates, empty or one per vertex
};
