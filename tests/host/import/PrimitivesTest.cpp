#include "host/app/import/Primitives.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace {

// Properties every primitive must have: a valid mesh, unit vertex normals
// that agree with the winding of each face, texture coordinates in 0..1.
void ExpectWellFormed(const TK_Mesh& m) {
  ASSERT_TRUE(m.IsValid());
  ASSERT_TRUE(m.HasVertexNormals());
  ASSERT_TRUE(m.HasTextureCoordinates());
  ASSERT_TRUE(m.HasFaceNormals());
  for (const TK_3fVector& n : m.m_N) EXPECT_NEAR(n.Length(), 1.0f, 1e-5f);
  for (const TK_2fPoint& t : m.m_T) {
    EXPECT_GE(t.x, 0.0f);
    EXPECT_LE(t.x, 1.0f);
    EXPECT_GE(t.y, 0.0f);
    EXPECT_LE(t.y, 1.0f);
  }
  for (int f = 0; f < m.FaceCount(); ++f) {
    const TK_3fVector& fn = m.m_FN[std::size_t(f)];
    EXPECT_NEAR(fn.Length(), 1.0f, 1e-4f) << "face " << f << " has no area";
    for (int k = 0; k < 4; ++k)
      EXPECT_GT(TK_DotProduct(fn, m.m_N[std::size_t(m.m_F[std::size_t(f)].vi[k])]), 0.0f)
          << "face " << f << " is wound against its vertex normals";
  }
}

// Normals point away from the centre for convex primitives centred on the origin.
void ExpectOutward(const TK_Mesh& m) {
  for (int f = 0; f < m.FaceCount(); ++f) {
    const TK_MeshFace& face = m.m_F[std::size_t(f)];
    const TK_3fPoint& p = m.m_V[std::size_t(face.vi[0])];
    const TK_3fPoint& q = m.m_V[std::size_t(face.vi[1])];
    const TK_3fPoint& r = m.m_V[std::size_t(face.vi[2])];
    const TK_3fVector centroid((p.x + q.x + r.x) / 3, (p.y + q.y + r.y) / 3, (p.z + q.z + r.z) / 3);
    EXPECT_GT(TK_DotProduct(m.m_FN[std::size_t(f)], centroid), 0.0f) << "face " << f << " faces inward";
  }
}

TEST(Primitives, BoxHasSixOutwardSidesOfItsSize) {
  const auto box = primitives::Box(2, 4, 6);
  ASSERT_TRUE(box);
  ExpectWellFormed(*box);
  ExpectOutward(*box);
  EXPECT_EQ(box->VertexCount(), 24);
  EXPECT_EQ(box->FaceCount(), 6);
  for (const TK_MeshFace& f : box->m_F) EXPECT_TRUE(f.IsQuad());
  EXPECT_EQ(box->BoundingBox(), TK_BoundingBox(TK_3dPoint(-1, -2, -3), TK_3dPoint(1, 2, 3)));
  // Each side's texture spans the whole image once.
  for (int f = 0; f < 6; ++f) {
    float umin = 1, umax = 0, vmin = 1, vmax = 0;
    for (int k = 0; k < 4; ++k) {
      const TK_2fPoint& t = box->m_T[std::size_t(box->m_F[std::size_t(f)].vi[k])];
      umin = std::min(umin, t.x), umax = std::max(umax, t.x), vmin = std::min(vmin, t.y), vmax = std::max(vmax, t.y);
    }
    EXPECT_EQ(umin, 0.0f);
    EXPECT_EQ(umax, 1.0f);
    EXPECT_EQ(vmin, 0.0f);
    EXPECT_EQ(vmax, 1.0f);
  }
}

TEST(Primitives, SphereVerticesLieOnItAndNormalsPointFromTheCentre) {
  const auto sphere = primitives::Sphere(2.5, 16, 8);
  ASSERT_TRUE(sphere);
  ExpectWellFormed(*sphere);
  ExpectOutward(*sphere);
  EXPECT_EQ(sphere->VertexCount(), 17 * 9);
  for (std::size_t i = 0; i < sphere->m_V.size(); ++i) {
    const TK_3fVector p = TK_3fVector(sphere->m_V[i]);
    EXPECT_NEAR(p.Length(), 2.5f, 1e-5f);
    EXPECT_NEAR(TK_DotProduct(p * (1 / 2.5f), sphere->m_N[i]), 1.0f, 1e-5f);
  }
  // Triangles at the poles, quads between: 16 x 2 triangles and 16 x 6 quads.
  int triangles = 0;
  for (const TK_MeshFace& f : sphere->m_F) triangles += f.IsTriangle();
  EXPECT_EQ(triangles, 32);
  EXPECT_EQ(sphere->FaceCount(), 32 + 96);
  // v runs from the south pole (0) to the north pole (1).
  EXPECT_EQ(sphere->m_V.front().z, -2.5f);
  EXPECT_EQ(sphere->m_T.front().y, 0.0f);
  EXPECT_EQ(sphere->m_V.back().z, 2.5f);
  EXPECT_EQ(sphere->m_T.back().y, 1.0f);
}

TEST(Primitives, PlaneFacesUpAndSpansItsSize) {
  const auto plane = primitives::Plane(3, 5);
  ASSERT_TRUE(plane);
  ExpectWellFormed(*plane);
  EXPECT_EQ(plane->FaceCount(), 1);
  EXPECT_EQ(plane->m_FN[0], TK_3fVector(0, 0, 1));
  EXPECT_EQ(plane->BoundingBox(), TK_BoundingBox(TK_3dPoint(-1.5, -2.5, 0), TK_3dPoint(1.5, 2.5, 0)));
  // u grows with x and v with y, so an image lies on it the right way up seen from above.
  const TK_MeshFace& f = plane->m_F[0];
  for (int k = 0; k < 4; ++k) {
    const TK_3fPoint& p = plane->m_V[std::size_t(f.vi[k])];
    const TK_2fPoint& t = plane->m_T[std::size_t(f.vi[k])];
    EXPECT_EQ(t.x, p.x > 0 ? 1.0f : 0.0f);
    EXPECT_EQ(t.y, p.y > 0 ? 1.0f : 0.0f);
  }
}

TEST(Primitives, CylinderHasASmoothSideAndFlatCaps) {
  const auto cylinder = primitives::Cylinder(1, 4, 12);
  ASSERT_TRUE(cylinder);
  ExpectWellFormed(*cylinder);
  ExpectOutward(*cylinder);
  EXPECT_EQ(cylinder->BoundingBox().Min().z, -2.0);
  EXPECT_EQ(cylinder->BoundingBox().Max().z, 2.0);
  int side = 0, top = 0, bottom = 0;
  for (std::size_t i = 0; i < cylinder->m_V.size(); ++i) {
    const TK_3fVector& n = cylinder->m_N[i];
    if (n.z == 0) {
      ++side;
      // Side normals are radial.
      EXPECT_NEAR(n.x, cylinder->m_V[i].x, 1e-5f);
      EXPECT_NEAR(n.y, cylinder->m_V[i].y, 1e-5f);
    } else {
      (n.z > 0 ? top : bottom)++;
      EXPECT_EQ(cylinder->m_V[i].z, n.z > 0 ? 2.0f : -2.0f);
    }
  }
  EXPECT_EQ(side, 2 * 13);
  EXPECT_EQ(top, 13);
  EXPECT_EQ(bottom, 13);
  EXPECT_EQ(cylinder->FaceCount(), 12 + 2 * 12);
}

TEST(Primitives, RefuseSizesAndCountsOutOfRange) {
  const double bad[] = {0.0, -1.0, NAN, INFINITY};
  for (const double v : bad) {
    EXPECT_FALSE(primitives::Box(v, 1, 1));
    EXPECT_FALSE(primitives::Box(1, 1, v));
    EXPECT_FALSE(primitives::Sphere(v, 8, 4));
    EXPECT_FALSE(primitives::Plane(1, v));
    EXPECT_FALSE(primitives::Cylinder(v, 1, 8));
    EXPECT_FALSE(primitives::Cylinder(1, v, 8));
  }
  EXPECT_FALSE(primitives::Sphere(1, 2, 4));
  EXPECT_FALSE(primitives::Sphere(1, 8, 1));
  EXPECT_FALSE(primitives::Sphere(1, primitives::kMaxSegments + 1, 4));
  EXPECT_FALSE(primitives::Cylinder(1, 1, 2));
  EXPECT_TRUE(primitives::Sphere(1, primitives::kMinSegments, 2));
}

}  // namespace
