// Render mesh entries: the two ray tests as a table, faces without area, the
// normal the tests leave to shading, refused meshes; the four-face test's
// two paths and lanes held to one another.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <random>
#include <tuple>

#include "shading/FaceProjection.h"
#include "shading/HitRecord.h"
#include "shading/MaterialEntry.h"
#include "shading/RenderMeshEntry.h"

namespace {

TK_Mesh Triangles(std::initializer_list<TK_3fPoint> vertices, std::initializer_list<std::array<int, 3>> faces) {
  TK_Mesh mesh;
  int i = 0, j = 0;
  for (const TK_3fPoint& v : vertices) mesh.SetVertex(i++, v);
  for (const auto& f : faces) mesh.SetTriangle(j++, f[0], f[1], f[2]);
  return mesh;
}

// The unit square in z = 0 as two triangles sharing the diagonal (0, 0)-(1, 1); both face +z.
TK_Mesh Square() { return Triangles({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {{0, 1, 2}, {0, 2, 3}}); }

HitRecord Ray(TK_3dVector origin, TK_3dVector direction, int face, const MaterialEntry* material = nullptr) {
  HitRecord r;
  InitHitRecord(r);
  std::tie(r.ray_origin, r.ray_direction, r.face_index, r.material) = std::tuple(origin, direction, face, material);
  return r;
}

TEST(IntersectFace, EdgesVerticesAndMissesAsATableAndTheNormalsLeftToShading) {
  CRenderMaterial settings;
  MaterialEntry material(&settings);
  const auto square = RenderMeshEntry::Create(Square(), &material);
  ASSERT_NE(square, nullptr);
  constexpr float kAny = -1;  // weights not checked
  const struct {
    const char* what; TK_3dVector origin, direction; int face; bool hit, quick; double depth = 0;
    TK_3fPoint weights{kAny, 0, 0};
  } cases[] = {
      {"inside, depth in units of D", {0.75, 0.25, 4}, {0, 0, -2}, 0, true, true, 2, {0.25f, 0.5f, 0.25f}},
      {"shared vertex (0, 0), face 1", {0, 0, 5}, {0, 0, -1}, 1, true, true, 5, {1, 0, 0}},
      {"shared edge, face 0", {0.5, 0.5, 5}, {0, 0, -1}, 0, true, true, 5, {0.5f, 0, 0.5f}},
      {"outer edge, u + v = 1", {1, 0.5, 2}, {0, 0, -1}, 0, true, true, 2, {0, 0.5f, 0.5f}},
      {"oblique through (1, 1, 0)", {-1, 3, 4}, {2, -2, -4}, 1, true, true, 1},
      {"above the diagonal", {0.25, 0.75, 1}, {0, 0, -1}, 0, false, false},
      {"face behind the origin", {0.75, 0.25, 1}, {0, 0, 1}, 0, false, false},
      {"origin on the plane: t = 0", {0.75, 0.25, 0}, {0, 0, -1}, 0, false, false},
      {"parallel above the plane", {-1, 0.25, 1}, {1, 0, 0}, 0, false, false},
      {"zero direction", {0.75, 0.25, 1}, {0, 0, 0}, 0, false, false},
      {"a face the mesh lacks", {0.75, 0.25, 1}, {0, 0, -1}, 2, false, false},
      {"back face: two-sided hits, quick never", {0.75, 0.25, -3}, {0, 0, 1}, 0, true, false, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    HitRecord r = Ray(c.origin, c.direction, c.face, &material);
    r.mesh_index = 7;
    ASSERT_EQ(square->IntersectFace(r), c.hit);
    HitRecord q = Ray(c.origin, c.direction, c.face);
    EXPECT_EQ(square->QuickIntersectFace(q), c.quick);
    if (!c.hit) continue;
    EXPECT_EQ(std::pair(r.depth, r.point), std::pair(c.depth, c.origin + c.direction * c.depth));
    if (c.weights.x != kAny) { EXPECT_EQ(r.weights, c.weights); }
    EXPECT_EQ(std::pair(r.back_face, r.mesh_index), std::pair(c.direction.z > 0, 7));  // the caller's fields stay
  }
  settings.m_two_sided = false;  // one-sided: missed from behind only
  HitRecord back = Ray({0.75, 0.25, -3}, {0, 0, 1}, 0, &material), front = Ray({.75, .25, 3}, {0, 0, -1}, 0, &material);
  EXPECT_TRUE(!square->IntersectFace(back) && square->IntersectFace(front));

  SCOPED_TRACE("shading normals: smooth, faceted, and turned on back faces");
  settings.m_two_sided = true;
  TK_Mesh mesh = Square();
  mesh.m_N = {{0, 0, 1}, {0.6f, 0, 0.8f}, {0, 0, 1}, {0, 0, 1}};
  const auto smooth = RenderMeshEntry::Create(mesh, &material);  // flat faces show in the engine's renders
  ASSERT_TRUE(smooth);
  const auto normal_at = [&](const RenderMeshEntry& entry, TK_3dVector origin, double dz) {
    HitRecord r = Ray(origin, {0, 0, dz}, 0, &material);
    EXPECT_TRUE(entry.IntersectFace(r));
    EXPECT_EQ(r.normal, TK_3dVector());  // left to shading
    return entry.ShadingNormal(r);
  };
  // At a vertex its own normal; between vertices the weighted sum made unit; from behind turned.
  EXPECT_LT((normal_at(*smooth, {1, 0, 1}, -1) - TK_3dVector(0.6, 0, 0.8)).Length(), 1e-7);
  EXPECT_LT((normal_at(*smooth, {0.75, 0.25, 1}, -1) - TK_3dVector(0.3, 0, 0.9) / std::sqrt(0.9)).Length(), 1e-6);
  EXPECT_LT((normal_at(*smooth, {1, 0, -1}, 1) + TK_3dVector(0.6, 0, 0.8)).Length(), 1e-7);
  settings.m_faceted = true;  // one normal for the whole triangle
  for (const TK_3dVector& o : {TK_3dVector(1, 0, 1), TK_3dVector(0.75, 0.25, 1)})
    EXPECT_EQ(normal_at(*smooth, o, -1), TK_3dVector(0, 0, 1));
}

TEST(RenderMeshEntry, FacesWithoutAreaNeverHitAndFacesNamingMissingVerticesAreRefused) {
  TK_Mesh negative = Square(), beyond = Square();
  negative.m_F[0].vi[1] = -1;
  beyond.m_F[0].vi[3] = 4;  // a quad's fourth index counts too
  EXPECT_TRUE(!RenderMeshEntry::Create(negative, nullptr) && !RenderMeshEntry::Create(beyond, nullptr));
  // Collinear, two vertices coinciding, a point.
  const auto entry =
      RenderMeshEntry::Create(Triangles({{0, 0, 0}, {1, 1, 0}, {2, 2, 0}}, {{0, 1, 2}, {0, 0, 1}, {1, 1, 1}}), nullptr);
  ASSERT_NE(entry, nullptr);
  for (int face = 0; face < 3; ++face)
    for (const TK_3dVector& o : {TK_3dVector(1, 1, 1), TK_3dVector(0, 0, 1), TK_3dVector(1, 1, 0)})
      for (const TK_3dVector& d : {TK_3dVector(0, 0, -1), TK_3dVector(1, 1, 0), TK_3dVector(-1, -1, -1)}) {
        HitRecord r = Ray(o, d, face);
        EXPECT_FALSE(entry->IntersectFace(r) || entry->QuickIntersectFace(r)) << face;
      }
}

// Triangles of three sizes, near the origin and 300,000 units out, every
// fifth without area; rays aimed at points on them (edges and corners
// included), along their edges, and without a direction. Both paths must
// agree to the bit, and a lane must not depend on what fills the others.
TEST(FaceQuadTest, BothPathsAndEveryLaneGiveTheSameBits) {
  std::mt19937 random(17);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  TK_Mesh mesh;
  std::vector<std::array<TK_3dPoint, 3>> corners;
  for (int face = 0; face < 60; ++face) {
    const double size = std::array{1e-3, 1.0, 1e3}[face % 3], out = face % 2 ? 3e5 : 0.0;
    std::array<TK_3dPoint, 3> p;
    for (TK_3dPoint& q : p) q = TK_3dPoint(out + size * unit(random), size * unit(random), size * unit(random));
    if (face % 5 == 0) p[2] = p[0] + (p[1] - p[0]) * 2.0;  // collinear
    for (int k = 0; k < 3; ++k) mesh.SetVertex(3 * face + k, TK_3fPoint(p[std::size_t(k)]));
    mesh.SetTriangle(face, 3 * face, 3 * face + 1, 3 * face + 2);
    corners.push_back(p);
  }
  const auto entry = RenderMeshEntry::Create(mesh, nullptr);
  ASSERT_NE(entry, nullptr);
  const auto same = [](const FaceQuadTest& a, int i, const FaceQuadTest& b, int j) {
    const auto bits = [](double x) {
      std::uint64_t b;
      std::memcpy(&b, &x, sizeof b);
      return b;
    };
    return bits(a.depth[i]) == bits(b.depth[j]) && bits(a.u[i]) == bits(b.u[j]) && bits(a.v[i]) == bits(b.v[j]) &&
           (a.back >> i & 1) == (b.back >> j & 1) && (a.inside >> i & 1) == (b.inside >> j & 1);
  };
  std::uniform_int_distribution<int> any_face(0, entry->FaceCount() - 1);
  int inside = 0, outside = 0;
  for (int ray = 0; ray < 3000; ++ray) {
    const int aimed = any_face(random);
    const auto& p = corners[std::size_t(aimed)];
    const double w1 = ray % 4 == 0 ? 0.0 : std::fabs(unit(random)), w2 = ray % 7 == 0 ? 1.0 - w1 : std::fabs(unit(random));
    const TK_3dPoint target = p[0] + (p[1] - p[0]) * w1 + (p[2] - p[0]) * w2;
    const TK_3dPoint origin = p[0] + TK_3dVector(unit(random), unit(random), unit(random)) * 1e3;
    TK_3dVector direction = target - origin;
    if (ray % 11 == 0) direction = p[1] - p[0];
    if (ray % 13 == 0) direction = TK_3dVector();
    const FaceProjection* faces[4];
    for (const FaceProjection*& f : faces) f = &entry->Projection(any_face(random));
    faces[ray % 4] = &entry->Projection(aimed);
    FaceQuadTest baseline, avx2;
    TestFaces(SimdPath::baseline, TK_3dVector(origin), direction, faces, baseline);
    TestFaces(SimdPath::avx2, TK_3dVector(origin), direction, faces, avx2);
    for (int k = 0; k < 4; ++k) {
      const FaceProjection* const alone[4] = {faces[k], faces[k], faces[k], faces[k]};
      FaceQuadTest single;
      TestFaces(TK_3dVector(origin), direction, alone, single);
      ASSERT_TRUE(same(baseline, k, avx2, k) && same(baseline, k, single, 0)) << "ray " << ray << " lane " << k;
      (baseline.inside >> k & 1 ? inside : outside)++;
    }
  }
  EXPECT_GT(inside, 500);  // the sample reaches both outcomes
  EXPECT_GT(outside, 500);
}

}  // namespace
