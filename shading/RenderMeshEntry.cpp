#include "shading/RenderMeshEntry.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

#include "host/platform/InParts.h"
#include "shading/MaterialEntry.h"

namespace {

bool Finite(const TK_3fPoint& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

TK_3dVector Wide(const TK_3fPoint& p) { return {p.x, p.y, p.z}; }

// A missing material shades like a default one: two-sided, smooth.
const CRenderMaterial* SettingsOf(const MaterialEntry* entry) { return entry ? entry->Material() : nullptr; }

bool ShadesTwoSides(const MaterialEntry* entry) {
  const CRenderMaterial* settings = SettingsOf(entry);
  return !settings || settings->m_two_sided;
}

TK_2fPoint SphereCoordinate(const TK_3dVector& r) {
  const double s = r.x * r.x + r.y * r.y + (r.z + 1.0) * (r.z + 1.0);
  if (s == 0.0) return {0.5f, 0.5f};
  const double root = std::sqrt(s);
  return {float(0.5 * r.x / root + 0.5), float(0.5 * r.y / root + 0.5)};
}

}  // namespace

std::unique_ptr<RenderMeshEntry> RenderMeshEntry::Create(const TK_Mesh& mesh, const MaterialEntry* material,
                                                         int threads) {
  // Later stages index vertices and truncate projected points to pixels
  // without checks: refuse what would make those unsafe.
  const int vertex_count = mesh.VertexCount();
  for (const TK_MeshFace& f : mesh.m_F)
    if (!f.IsValid(vertex_count)) return nullptr;
  for (const TK_3fPoint& p : mesh.m_V)
    if (!Finite(p)) return nullptr;
  std::unique_ptr<RenderMeshEntry> entry(new RenderMeshEntry(mesh, material));
  entry->BuildFaceProjections(threads);
  return entry;
}

// The face table holds the face normals: the copy takes none of the mesh's.
RenderMeshEntry::RenderMeshEntry(const TK_Mesh& mesh, const MaterialEntry* material) : m_material(material) {
  m_mesh.m_V = mesh.m_V;
  m_mesh.m_F = mesh.m_F;
  m_mesh.m_N = mesh.m_N;
  m_mesh.m_T = mesh.m_T;
  m_mesh.ConvertQuadsToTriangles();
  m_box = m_mesh.BoundingBox();
  m_hits_carry_coordinates = m_mesh.HasTextureCoordinates() && material && material->ReadsTextureCoordinates();
}

void RenderMeshEntry::BuildFaceProjections(int threads) {
  const std::size_t count = m_mesh.m_F.size();
  m_faces = std::make_unique_for_overwrite<FaceProjection[]>(count);
  // Meshes of fewer than 16384 faces a thread are not worth one.
  const int parts = ThreadsWorth(count, 16384, threads);
  InParts(0, count, parts, [this](int, std::size_t begin, std::size_t end) {
    for (std::size_t i = begin; i < end; ++i) m_faces[i] = ProjectionOf(i);
  });
}

FaceProjection RenderMeshEntry::ProjectionOf(std::size_t face) const {
  const TK_MeshFace& f = m_mesh.m_F[face];
  const TK_3fVector p0(m_mesh.m_V[std::size_t(f.vi[0])]);
  const TK_3fVector p1(m_mesh.m_V[std::size_t(f.vi[1])]);
  const TK_3fVector p2(m_mesh.m_V[std::size_t(f.vi[2])]);
  // The toolkit's face normal but for faces without one (the cross
  // product is zero or overflows), which meet no ray either way.
  TK_3fVector n = TK_CrossProduct(p1 - p0, p2 - p0);
  n.Unitize();

  FaceProjection fp;
  fp.normal[0] = n.x, fp.normal[1] = n.y, fp.normal[2] = n.z;
  fp.plane_offset = -TK_DotProduct(p0, n);
  const float ax = std::fabs(n.x), ay = std::fabs(n.y), az = std::fabs(n.z);
  int a = 1, b = 2;  // projected axes
  if (ax >= std::fmax(ay, az)) {
    fp.dominant_axis = 0;
  } else if (ay >= az) {
    fp.dominant_axis = 1;
    a = 0;
  } else {
    fp.dominant_axis = 2;
    a = 0;
    b = 1;
  }
  fp.p0a = p0[a];
  fp.p0b = p0[b];
  fp.a1 = p1[a] - p0[a];
  fp.b1 = p1[b] - p0[b];
  fp.a2 = p2[a] - p0[a];
  fp.b2 = p2[b] - p0[b];
  fp.det = fp.b2 * fp.a1 - fp.b1 * fp.a2;
  return fp;
}

void RenderMeshEntry::ComputeEnvironmentCoordinates(const TK_Xform& world_to_camera, TK::view_projection projection) {
  const int count = m_mesh.VertexCount();
  // The toolkit's array answers false where memory runs out.
  if (!m_environment.Reserve(count)) throw std::bad_alloc();
  m_environment.SetCount(count);
  if (!m_mesh.HasVertexNormals()) m_mesh.ComputeVertexNormals();
  const bool perspective = projection == TK::perspective;
  for (int i = 0; i < count; ++i) {
    const std::size_t k = std::size_t(i);
    const TK_3dVector m = world_to_camera * TK_3dVector(m_mesh.m_N[k]);
    TK_3dVector r;
    if (perspective) {
      const TK_3dPoint p = world_to_camera * TK_3dPoint(m_mesh.m_V[k]);
      TK_3dVector e(p.x, p.y, p.z);
      const double length = e.Length();
      if (length == 0.0) {
        m_environment[i] = {0.5f, 0.5f};
        continue;
      }
      e = e / length;
      r = e - m * (2.0 * TK_DotProduct(e, m));
    } else {
      r = TK_3dVector(2.0 * m.z * m.x, 2.0 * m.z * m.y, 2.0 * m.z * m.z - 1.0);
    }
    m_environment[i] = SphereCoordinate(r);
  }
}

bool RenderMeshEntry::TestFace(const HitRecord& record, FaceQuadTest& test) const {
  const int face = record.face_index;
  if (face < 0 || face >= FaceCount()) return false;
  const FaceProjection* const f = &m_faces[std::size_t(face)];
  const FaceProjection* const four[4] = {f, f, f, f};
  TestFaces(record.ray_origin, record.ray_direction, four, test);
  return true;
}

// Inlined into both tests: a call per face costs more than what it decides.
[[gnu::always_inline]] inline bool RenderMeshEntry::Accept(HitRecord& record, const FaceQuadTest& test, int lane,
                                                           bool front_only, double farthest) const {
  const double t = test.depth[lane];
  record.depth = t;
  if (!(t > 0.0) || t > farthest) return false;  // behind, on the plane, 0/0, or too far
  const bool back = (test.back >> lane & 1) != 0;
  record.back_face = back;
  if (back) {
    if (front_only) return false;
    if (!ShadesTwoSides(record.material)) return false;
  }
  // Component by component: a whole-vector copy here goes through the stack
  // and stalls store forwarding on every call.
  const TK_3dVector& o = record.ray_origin;
  const TK_3dVector& d = record.ray_direction;
  record.point.x = o.x + d.x * t;
  record.point.y = o.y + d.y * t;
  record.point.z = o.z + d.z * t;
  return (test.inside >> lane & 1) != 0;
}

bool RenderMeshEntry::QuickIntersectFace(HitRecord& record) const {
  FaceQuadTest test;
  return TestFace(record, test) && Accept(record, test, 0, true, std::numeric_limits<double>::infinity());
}

bool RenderMeshEntry::IntersectFace(HitRecord& record, double farthest) const {
  FaceQuadTest test;
  if (!TestFace(record, test) || !Accept(record, test, 0, false, farthest)) return false;
  SurfaceAt(record.face_index, test, 0, record.weights, record.texture_coordinates);
  return true;
}

bool RenderMeshEntry::ShadesBackFaces() const {
  return ShadesTwoSides(m_material);
}

TK_3dVector RenderMeshEntry::ShadingNormal(const HitRecord& hit) const {
  TK_3dVector normal = ShadingDirection(hit);
  normal.Unitize();
  return normal;
}

TK_3dVector RenderMeshEntry::ShadingDirection(const HitRecord& hit) const {
  const int face = hit.face_index;
  if (face < 0 || face >= FaceCount()) return {};
  const TK_MeshFace& f = m_mesh.m_F[std::size_t(face)];
  const std::size_t i0 = std::size_t(f.vi[0]), i1 = std::size_t(f.vi[1]), i2 = std::size_t(f.vi[2]);
  const CRenderMaterial* settings = SettingsOf(hit.material);
  TK_3dVector normal;
  if ((settings && settings->m_faceted) || !m_mesh.HasVertexNormals()) {
    const TK_3dVector p0 = Wide(m_mesh.m_V[i0]), p1 = Wide(m_mesh.m_V[i1]), p2 = Wide(m_mesh.m_V[i2]);
    normal = TK_CrossProduct(p0 - p1, p0 - p2);
  } else {
    const TK_3fPoint& w = hit.weights;
    const TK_3fVector sum = m_mesh.m_N[i0] * w.x + m_mesh.m_N[i1] * w.y + m_mesh.m_N[i2] * w.z;
    normal = TK_3dVector(sum);
  }
  if (hit.back_face) normal = -normal;
  return normal;
}
