#pragma once
// RenderMeshEntry: a render's own triangulated copy of one render mesh with
// the per-face data the ray tests need (FaceProjection records, which hold
// the face normals; the copy keeps none of its own) and the vertices'
// environment-map coordinates. The entry owns the copy and its tables; its
// MaterialEntry belongs to the session's cache.

#include <algorithm>
#include <limits>
#include <memory>
#include <vector>

#include "host/toolkit/BoundingBox.h"
#include "host/toolkit/Mesh.h"
#include "host/toolkit/SimpleArray.h"
#include "host/toolkit/TK.h"
#include "host/toolkit/Xform.h"
#include "shading/FaceProjection.h"
#include "shading/HitRecord.h"

class MaterialEntry;

class RenderMeshEntry {
public:
  // Copies the mesh, splits its quads, takes its box and builds the face
  // table (on up to `threads` threads). Null when a face names a vertex the
  // mesh lacks or a vertex is not finite; throws std::bad_alloc when memory
  // runs out.
  static std::unique_ptr<RenderMeshEntry> Create(const TK_Mesh& mesh, const MaterialEntry* material, int threads = 1);
  RenderMeshEntry(const RenderMeshEntry&) = delete;
  RenderMeshEntry& operator=(const RenderMeshEntry&) = delete;

  const TK_BoundingBox& BoundingBox() const { return m_box; }
  const TK_Mesh& Mesh() const { return m_mesh; }
  const MaterialEntry* Material() const { return m_material; }
  int FaceCount() const { return m_mesh.FaceCount(); }
  const FaceProjection& Projection(int face) const { return m_faces[std::size_t(face)]; }
  const FaceProjection* Projections() const { return m_faces.get(); }
  // Asks memory for what a ray test of the face reads, ahead of the test:
  // its record (which may straddle two cache lines) and its corners.
  void FetchFace(int face) const {
    const FaceProjection* record = m_faces.get() + face;
    __builtin_prefetch(record);
    __builtin_prefetch(reinterpret_cast<const char*>(record + 1) - 1);
    __builtin_prefetch(&m_mesh.m_F[std::size_t(face)]);
  }
  // Asks memory for what a hit on the face reads of its corners (texture
  // coordinates, normals); their indices should have been fetched first.
  void FetchCorners(int face) const {
    const TK_MeshFace& f = m_mesh.m_F[std::size_t(face)];
    for (int k = 0; k < 3; ++k) {
      if (m_mesh.HasTextureCoordinates()) __builtin_prefetch(&m_mesh.m_T[std::size_t(f.vi[k])]);
      if (m_mesh.HasVertexNormals()) __builtin_prefetch(&m_mesh.m_N[std::size_t(f.vi[k])]);
    }
  }
  // One per vertex once computed, else empty.
  const TK_SimpleArray<TK_2fPoint>& EnvironmentCoordinates() const { return m_environment; }

  // Sphere-map coordinates of every vertex for a camera whose world-to-camera
  // transform is given: the perspective form for a perspective projection,
  // the parallel form for any other. A mesh without vertex normals gets the
  // toolkit's, which smooth shading then uses too.
  void ComputeEnvironmentCoordinates(const TK_Xform& world_to_camera, TK::view_projection projection);

  // The ray of the record against face record.face_index. On a hit the record
  // holds depth, point, back-face flag, weights and texture coordinates
  // (zero unless the entry's material samples a map with them), but not the
  // normal: most hits are never shaded, and shading asks ShadingNormal for
  // the ones that are. Back faces hit only when
  // record.material shades two sides. A face met farther than `farthest`
  // counts as missed (its depth is left in the record all the same).
  bool IntersectFace(HitRecord& record, double farthest = std::numeric_limits<double>::infinity()) const;
  // Whether hits on back faces count: the material shades two sides (a
  // missing material does).
  bool ShadesBackFaces() const;
  // Appends to `hits` the hit that lane `lane` of `test` (face `face`
  // against the ray origin + t direction) names in FaceQuadTest::meets,
  // the normal zero, the material this entry's. The caller leaves out back
  // faces where ShadesBackFaces is false.
  void RecordHit(std::vector<HitRecord>& hits, int mesh_index, int face, const TK_3dVector& origin,
                 const TK_3dVector& direction, const FaceQuadTest& test, int lane) const;
  // The unit shading normal of a hit that IntersectFace reported on this
  // entry: the face's geometric normal when the material is faceted or the
  // mesh has no vertex normals, else the weighted vertex normals summed in
  // single precision; turned toward the ray on a back face. Zero for a face
  // the entry lacks.
  TK_3dVector ShadingNormal(const HitRecord& hit) const;
  // The same before it is made unit length.
  TK_3dVector ShadingDirection(const HitRecord& hit) const;
  // Front faces only; writes depth, back-face flag and point.
  bool QuickIntersectFace(HitRecord& record) const;

private:
  RenderMeshEntry(const TK_Mesh& mesh, const MaterialEntry* material);
  // Builds the face table in parts on up to `threads` threads.
  void BuildFaceProjections(int threads);
  // Face `face`'s record. Ties of the dominant axis go to x, then y.
  FaceProjection ProjectionOf(std::size_t face) const;
  // Both tests' arithmetic for face record.face_index; false for a face
  // the entry lacks.
  bool TestFace(const HitRecord& record, FaceQuadTest& test) const;
  // What both tests decide from a lane of the arithmetic, up to the weights.
  bool Accept(HitRecord& record, const FaceQuadTest& test, int lane, bool front_only, double farthest) const;
  // The weights and texture coordinates of lane `lane`'s hit on face `face`.
  void SurfaceAt(int face, const FaceQuadTest& test, int lane, TK_3fPoint& weights,
                 TK_2fPoint (&coordinates)[3]) const;

  TK_BoundingBox m_box;
  TK_Mesh m_mesh;
  const MaterialEntry* m_material;
  std::unique_ptr<FaceProjection[]> m_faces;  // one per face of the copy
  TK_SimpleArray<TK_2fPoint> m_environment;
  // Hits get texture coordinates only where the mesh has them and its
  // material samples a map with them: every other hit would copy them for
  // nothing.
  bool m_hits_carry_coordinates = false;
};

// Inline: the gathering writes every hit through these.
[[gnu::always_inline]] inline void RenderMeshEntry::RecordHit(std::vector<HitRecord>& hits, int mesh_index, int face,
                                                              const TK_3dVector& origin, const TK_3dVector& direction,
                                                              const FaceQuadTest& test, int lane) const {
  TK_3fPoint weights;
  TK_2fPoint coordinates[3];
  SurfaceAt(face, test, lane, weights, coordinates);
  // Built in place: a default record would be cleared first, with a string store.
  hits.emplace_back(origin, direction, test.depth[lane], weights, coordinates, mesh_index, face,
                    (test.back >> lane & 1) != 0, m_material);
}

inline void RenderMeshEntry::SurfaceAt(int face, const FaceQuadTest& test, int lane, TK_3fPoint& weights,
                                       TK_2fPoint (&coordinates)[3]) const {
  const double u = test.u[lane], v = test.v[lane];
  weights = TK_3fPoint(float(1.0 - (u + v)), float(u), float(v));
  // The coordinates come now because a transparency map decides from them
  // whether the hit hides what lies behind it; the normal waits for shading.
  if (!m_hits_carry_coordinates) {
    std::fill_n(coordinates, 3, TK_2fPoint());
    return;
  }
  const TK_MeshFace& f = m_mesh.m_F[std::size_t(face)];
  for (int k = 0; k < 3; ++k) coordinates[k] = m_mesh.m_T[std::size_t(f.vi[k])];
}
