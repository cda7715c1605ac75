// The ray tests leave the normal to shading. Whatever hit a ray meets, the
// normal shading uses must be exactly the one computed here the plain way
// (geometric in double, or weighted vertex normals in single precision;
// turned on a back face; made unit), so that images do not change.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "shading/RenderMeshEntry.h"
#include "shading/ShadingFixture.h"

namespace {

// A UV sphere of radius 1 whose vertex normals lean away from the radial
// direction, so smooth and faceted normals differ everywhere.
TK_Mesh LeaningSphere(int rows, int columns) {
  TK_Mesh mesh;
  int v = 0, f = 0;
  for (int r = 0; r <= rows; ++r)
    for (int c = 0; c <= columns; ++c) {
      const double theta = std::numbers::pi * r / rows, phi = 2 * std::numbers::pi * c / columns;
      const TK_3fPoint p(float(std::sin(theta) * std::cos(phi)), float(std::cos(theta)),
                         float(std::sin(theta) * std::sin(phi)));
      mesh.SetVertex(v++, p);
      mesh.m_N.emplace_back(p.x + 0.3f, p.y, p.z - 0.2f * p.x);
    }
  const int stride = columns + 1;
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < columns; ++c) {
      const int a = r * stride + c;
      mesh.SetTriangle(f++, a, a + 1, a + stride + 1);
      mesh.SetTriangle(f++, a, a + stride + 1, a + stride);
    }
  return mesh;
}

TK_3dVector Unit(TK_3dVector n) {
  const double length = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
  if (!(length > 0.0)) return n;
  const double inverse = 1.0 / length;
  return {n.x * inverse, n.y * inverse, n.z * inverse};
}

TK_3dVector Expected(const TK_Mesh& mesh, const HitRecord& hit, bool faceted) {
  const TK_MeshFace& face = mesh.m_F[std::size_t(hit.face_index)];
  const auto vertex = [&](int k) { return std::size_t(face.vi[k]); };
  TK_3dVector n;
  if (faceted || mesh.m_N.empty()) {
    const TK_3fPoint p0 = mesh.m_V[vertex(0)], p1 = mesh.m_V[vertex(1)], p2 = mesh.m_V[vertex(2)];
    const double ax = double(p0.x) - p1.x, ay = double(p0.y) - p1.y, az = double(p0.z) - p1.z;
    const double bx = double(p0.x) - p2.x, by = double(p0.y) - p2.y, bz = double(p0.z) - p2.z;
    n = {ay * bz - az * by, az * bx - ax * bz, ax * by - ay * bx};
  } else {
    const TK_3fVector n0 = mesh.m_N[vertex(0)], n1 = mesh.m_N[vertex(1)], n2 = mesh.m_N[vertex(2)];
    const float w0 = hit.weights.x, w1 = hit.weights.y, w2 = hit.weights.z;
    n = {double(n0.x * w0 + n1.x * w1 + n2.x * w2), double(n0.y * w0 + n1.y * w1 + n2.y * w2),
         double(n0.z * w0 + n1.z * w1 + n2.z * w2)};
  }
  if (hit.back_face) n = -n;
  return Unit(n);
}

class ShadedNormal : public ::testing::Test, protected ShadingFixture {
protected:
  // Every hit of rays through the sphere from all around: front faces and,
  // through the two-sided default, the back faces of its far side.
  std::vector<HitRecord> Hits(const RenderMeshEntry& entry, const MaterialEntry& material) {
    std::mt19937 random(7331);
    std::uniform_real_distribution<double> coordinate(-1, 1);
    std::vector<HitRecord> hits;
    for (int ray = 0; ray < 150; ++ray) {
      const TK_3dVector origin = Unit({coordinate(random), coordinate(random), coordinate(random)}) * 3.0;
      const TK_3dVector target = TK_3dVector(coordinate(random), coordinate(random), coordinate(random)) * 0.5;
      for (int face = 0; face < entry.FaceCount(); ++face) {
        HitRecord h;
        InitHitRecord(h);
        h.ray_origin = origin;
        h.ray_direction = target - origin;
        h.face_index = face;
        h.material = &material;
        if (entry.IntersectFace(h)) hits.push_back(h);
      }
    }
    return hits;
  }

  void ExpectShadedNormals(const TK_Mesh& mesh, bool faceted) {
    const MaterialEntry& material = Material(TK_Color(200, 200, 200), 0.0);
    Lent(material).m_faceted = faceted;
    const auto entry = RenderMeshEntry::Create(mesh, &material);
    ASSERT_NE(entry, nullptr);
    RenderMeshEntry* meshes[] = {entry.get()};
    const SurfaceShader with_mesh(lights, meshes);
    int back_faces = 0;
    const std::vector<HitRecord> hits = Hits(*entry, material);
    for (const HitRecord& hit : hits) {
      Colour3f diffuse, specular;
      TK_3dVector normal;
      with_mesh.ResolveSurfaceColours(hit, diffuse, specular, normal);
      ASSERT_EQ(normal, Expected(entry->Mesh(), hit, faceted)) << "face " << hit.face_index;
      back_faces += hit.back_face;
    }
    EXPECT_GT(back_faces, 50);
    EXPECT_GT(int(hits.size()) - back_faces, 50);
  }
};

TEST_F(ShadedNormal, SmoothFromTheWeightedVertexNormals) { ExpectShadedNormals(LeaningSphere(8, 12), false); }

TEST_F(ShadedNormal, FacetedFromTheFaceEvenWithVertexNormals) { ExpectShadedNormals(LeaningSphere(8, 12), true); }

TEST_F(ShadedNormal, GeometricWithoutVertexNormals) {
  TK_Mesh mesh = LeaningSphere(8, 12);
  mesh.m_N.clear();
  ExpectShadedNormals(mesh, false);
}

// What ShadeHits makes of a hit from the ray test equals what it makes of the
// same hit carrying the expected normal by hand (a shader without meshes
// takes a hit's own normal).
TEST_F(ShadedNormal, ShadeHitsLightsEachHitWithItsOwnNormal) {
  shader.ambient = {0.1f, 0.1f, 0.1f};
  AddLight(TK::directional_light, {0, 0, 0}, {-0.3, -1, -0.5});
  AddLight(TK::point_light, {2, 2, 2}).SetDiffuse(TK_Color(255, 128, 40));
  const TK_Mesh mesh = LeaningSphere(8, 12);
  const MaterialEntry& material = Material(TK_Color(230, 180, 90), 0.0, 60);
  const auto entry = RenderMeshEntry::Create(mesh, &material);
  ASSERT_NE(entry, nullptr);
  RenderMeshEntry* meshes[] = {entry.get()};
  SurfaceShader with_mesh(lights, meshes);
  with_mesh.ambient = shader.ambient;

  int normal_matters = 0;
  for (const HitRecord& hit : Hits(*entry, material)) {
    HitRecord by_hand = hit;
    by_hand.normal = Expected(entry->Mesh(), hit, false);
    const std::uint32_t colour = with_mesh.ShadeHits(&hit, 1, false, false);
    ASSERT_EQ(colour, shader.ShadeHits(&by_hand, 1, false, false)) << "face " << hit.face_index;
    by_hand.normal = -by_hand.normal;
    normal_matters += colour != shader.ShadeHits(&by_hand, 1, false, false);
  }
  EXPECT_GT(normal_matters, 100);  // the comparison can tell normals apart
}

}  // namespace
