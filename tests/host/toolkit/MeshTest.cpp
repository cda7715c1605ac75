#include "host/toolkit/Mesh.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <numbers>

#include "support/Near.h"

namespace {

// Two quads side by side in the xy plane (counter-clockwise seen from +z)
// and a triangle above them.
TK_Mesh QuadsAndTriangle() {
  TK_Mesh m;
  const TK_3fPoint v[] = {{0, 0, 0}, {2, 0, 0}, {2, 1, 0}, {0, 1, 0}, {3, 0, 0}, {3, 2, 0}, {0, 0, 1}, {1, 0, 1}, {0, 1, 1}};
  for (int i = 0; i < 9; ++i) EXPECT_TRUE(m.SetVertex(i, v[i]));
  EXPECT_TRUE(m.SetQuad(0, 0, 1, 2, 3));
  EXPECT_TRUE(m.SetTriangle(1, 6, 7, 8));
  EXPECT_TRUE(m.SetQuad(2, 1, 4, 5, 2));
  return m;
}

TEST(MeshEditing, SetReplacesOrAppendsOnly) {
  TK_Mesh m;
  EXPECT_FALSE(m.SetVertex(1, TK_3fPoint(1, 1, 1)));  // would leave a hole
  EXPECT_FALSE(m.SetVertex(-1, TK_3fPoint(1, 1, 1)));
  EXPECT_TRUE(m.SetVertex(0, TK_3dPoint(1, 2, 3)));
  EXPECT_TRUE(m.SetVertex(0, TK_3fPoint(4, 5, 6)));
  EXPECT_EQ(m.VertexCount(), 1);
  EXPECT_EQ(m.m_V[0], TK_3fPoint(4, 5, 6));
  EXPECT_TRUE(m.SetTriangle(0, 0, 0, 0));
  EXPECT_FALSE(m.SetQuad(0, 0, -1, 0, 0));
  EXPECT_FALSE(m.SetQuad(2, 0, 0, 0, 0));
  EXPECT_EQ(m.FaceCount(), 1);
  EXPECT_TRUE(m.m_F[0].IsTriangle());
  EXPECT_EQ(m.m_F[0].vi[3], m.m_F[0].vi[2]);
}

TEST(MeshTriangles, QuadsSplitIntoTwoTrianglesAppendedInOrder) {
  TK_Mesh m = QuadsAndTriangle();
  ASSERT_TRUE(m.ComputeFaceNormals());
  const auto vertices = m.m_V;
  m.ConvertQuadsToTriangles();
  ASSERT_EQ(m.FaceCount(), 5);
  EXPECT_EQ(m.m_F[0], (TK_MeshFace{{0, 1, 2, 2}}));
  EXPECT_EQ(m.m_F[1], (TK_MeshFace{{6, 7, 8, 8}}));
  EXPECT_EQ(m.m_F[2], (TK_MeshFace{{1, 4, 5, 5}}));
  EXPECT_EQ(m.m_F[3], (TK_MeshFace{{0, 2, 3, 3}}));
  EXPECT_EQ(m.m_F[4], (TK_MeshFace{{1, 5, 2, 2}}));
  EXPECT_EQ(m.m_V, vertices);
  // The halves face the same way (+z), and face normals were rebuilt for
  // the new face count.
  ASSERT_EQ(m.m_FN.size(), 5u);
  for (int i : {0, 2, 3, 4}) EXPECT_TRUE(Near(m.m_FN[i], TK_3dVector(0, 0, 1), 1e-6));
  // Converting again changes nothing.
  const TK_Mesh once = m;
  m.ConvertQuadsToTriangles();
  EXPECT_TRUE(m == once);
}

TEST(MeshNormals, FaceNormalFollowsTheFirstThreeVerticesOrZero) {
  TK_Mesh m;
  const TK_3fPoint v[] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {2, 0, 0}, {0.3f, 0.7f, 5.f}};
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(m.SetVertex(i, v[i]));
  ASSERT_TRUE(m.SetTriangle(0, 0, 1, 2));  // counter-clockwise from +z
  ASSERT_TRUE(m.SetTriangle(1, 0, 2, 1));  // clockwise
  ASSERT_TRUE(m.SetTriangle(2, 0, 1, 3));  // collinear: no area
  ASSERT_TRUE(m.SetTriangle(3, 2, 2, 4));  // repeated vertex
  ASSERT_TRUE(m.SetTriangle(4, 4, 0, 1));
  ASSERT_TRUE(m.ComputeFaceNormals());
  ASSERT_EQ(m.m_FN.size(), 5u);
  EXPECT_TRUE(Near(m.m_FN[0], TK_3dVector(0, 0, 1), 0));
  EXPECT_TRUE(Near(m.m_FN[1], TK_3dVector(0, 0, -1), 0));
  EXPECT_EQ(m.m_FN[2], TK_3fVector(0, 0, 0));
  EXPECT_EQ(m.m_FN[3], TK_3fVector(0, 0, 0));
  // Same bits as the renderer's own single-precision (P1 - P0) x (P2 - P0).
  const TK_3fVector p0(v[4]), p1(v[0]), p2(v[1]);
  TK_3fVector expected = TK_CrossProduct(p1 - p0, p2 - p0);
  ASSERT_TRUE(expected.Unitize());
  EXPECT_EQ(m.m_FN[4], expected);

  // An index past the vertices gives a zero normal and a false answer.
  ASSERT_TRUE(m.SetTriangle(5, 0, 1, 99));
  EXPECT_FALSE(m.ComputeFaceNormals());
  EXPECT_EQ(m.m_FN[5], TK_3fVector(0, 0, 0));
  EXPECT_TRUE(Near(m.m_FN[0], TK_3dVector(0, 0, 1), 0));
}

TEST(MeshNormals, VertexNormalsAreAreaWeightedAndUnit) {
  // Cube corner: three unit squares meeting at the origin, facing outward
  // (-x, -y, -z). The shared corner gets the diagonal; edge vertices average two.
  TK_Mesh m;
  const TK_3fPoint v[] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 1, 1}, {0, 0, 1}, {1, 0, 1}, {9, 9, 9}};
  for (int i = 0; i < 8; ++i) ASSERT_TRUE(m.SetVertex(i, v[i]));
  ASSERT_TRUE(m.SetQuad(0, 0, 3, 2, 1));  // z = 0, facing -z
  ASSERT_TRUE(m.SetQuad(1, 0, 5, 4, 3));  // x = 0, facing -x
  ASSERT_TRUE(m.SetQuad(2, 0, 1, 6, 5));  // y = 0, facing -y
  ASSERT_TRUE(m.ComputeVertexNormals());
  ASSERT_TRUE(m.HasVertexNormals());
  const double s = 1 / std::sqrt(3.0), h = 1 / std::sqrt(2.0);
  EXPECT_TRUE(Near(m.m_N[0], TK_3dVector(-s, -s, -s), 1e-6));
  EXPECT_TRUE(Near(m.m_N[3], TK_3dVector(-h, 0, -h), 1e-6));
  EXPECT_TRUE(Near(m.m_N[2], TK_3dVector(0, 0, -1), 1e-6));
  EXPECT_EQ(m.m_N[7], TK_3fVector(0, 0, 0));  // used by no face

  // A large face outweighs a small one.
  TK_Mesh w;
  const TK_3fPoint u[] = {{0, 0, 0}, {4, 0, 0}, {0, 4, 0}, {0, 0, 1}};
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(w.SetVertex(i, u[i]));
  ASSERT_TRUE(w.SetTriangle(0, 0, 1, 2));  // area 8, +z
  ASSERT_TRUE(w.SetTriangle(1, 0, 1, 3));  // area 2, -y
  ASSERT_TRUE(w.ComputeVertexNormals());
  TK_3dVector expected(0, -2, 8);
  expected.Unitize();
  EXPECT_TRUE(Near(w.m_N[0], expected, 1e-6));
  EXPECT_TRUE(Near(w.m_N[2], TK_3dVector(0, 0, 1), 1e-6));

  TK_Mesh empty;
  EXPECT_FALSE(empty.ComputeVertexNormals());
}

TEST(MeshValidity, RejectsWhatWouldBreakTheRenderer) {
  const TK_Mesh m = QuadsAndTriangle();
  EXPECT_TRUE(m.IsValid());
  EXPECT_FALSE(TK_Mesh().IsValid());
  const std::function<void(TK_Mesh&)> breaks[] = {
      [](TK_Mesh& b) { b.m_F[1].vi[2] = 9; },
      [](TK_Mesh& b) { b.m_F[1].vi[2] = -1; },
      [](TK_Mesh& b) { b.m_V[4].y = std::numeric_limits<float>::quiet_NaN(); },
      [](TK_Mesh& b) { b.m_V[4].y = std::numeric_limits<float>::infinity(); },
      [](TK_Mesh& b) { b.m_N.resize(3); },
      [](TK_Mesh& b) { b.m_N.resize(b.m_V.size(), TK_3fVector(0, 0, 1)), b.m_T.resize(2); },
      [](TK_Mesh& b) { b.m_FN.resize(1); },
  };
  for (std::size_t i = 0; i < std::size(breaks); ++i) {
    TK_Mesh bad = m;
    breaks[i](bad);
    EXPECT_FALSE(bad.IsValid()) << i;
  }
  TK_Mesh partial = m;
  partial.m_N.resize(3);
  partial.m_T.resize(2);
  EXPECT_FALSE(partial.HasVertexNormals());  // arrays of the wrong length do not count
  EXPECT_FALSE(partial.HasTextureCoordinates());
}

TEST(MeshTransform, MovesVerticesTurnsNormalsAndKeepsOrientation) {
  TK_Mesh m = QuadsAndTriangle();
  ASSERT_TRUE(m.ComputeVertexNormals());
  ASSERT_TRUE(m.ComputeFaceNormals());
  TK_Mesh moved = m;
  ASSERT_TRUE(moved.Transform(TK_Xform::Translation({1, -2, 3})));
  EXPECT_EQ(moved.BoundingBox().Min(), TK_3dPoint(1, -2, 3));
  EXPECT_EQ(moved.BoundingBox().Max(), TK_3dPoint(4, 0, 4));
  EXPECT_EQ(moved.m_N, m.m_N);

  // A quarter turn about x: +z normals become -y.
  TK_Mesh turned = m;
  ASSERT_TRUE(turned.Rotate(std::numbers::pi / 2, {1, 0, 0}, {0, 0, 0}));
  EXPECT_TRUE(Near(turned.m_N[0], TK_3dVector(0, -1, 0), 1e-6));
  EXPECT_TRUE(Near(turned.m_FN[0], TK_3dVector(0, -1, 0), 1e-6));

  // A mirror keeps face normals agreeing with the (mirrored) vertex normals.
  TK_Mesh mirrored = m;
  ASSERT_TRUE(mirrored.Transform(TK_Xform::Scale(1, 1, -1)));
  EXPECT_TRUE(Near(mirrored.m_N[0], TK_3dVector(0, 0, -1), 1e-6));
  for (int i = 0; i < mirrored.FaceCount(); ++i) {
    const TK_3fVector n = mirrored.m_N[mirrored.m_F[i].vi[0]];
    EXPECT_GT(TK_DotProduct(mirrored.m_FN[i], n), 0.5f) << i;
  }

  // A non-uniform scale keeps vertex normals perpendicular to the surface.
  TK_Mesh tri;
  ASSERT_TRUE(tri.SetVertex(0, TK_3fPoint(1, 0, 0)));
  ASSERT_TRUE(tri.SetVertex(1, TK_3fPoint(0, 1, 0)));
  ASSERT_TRUE(tri.SetVertex(2, TK_3fPoint(0, 0, 1)));
  ASSERT_TRUE(tri.SetTriangle(0, 0, 1, 2));
  ASSERT_TRUE(tri.ComputeVertexNormals());
  ASSERT_TRUE(tri.Transform(TK_Xform::Scale(2, 1, 0.5)));
  const TK_3fVector edge = tri.m_V[1] - tri.m_V[0];
  EXPECT_NEAR(TK_DotProduct(tri.m_N[0], edge), 0.0f, 1e-6f);
  EXPECT_NEAR(tri.m_N[0].Length(), 1.0f, 1e-6f);

  // Normals cannot follow a flattening transform: nothing changes.
  const TK_Mesh before = m;
  EXPECT_FALSE(m.Transform(TK_Xform::Scale(1, 1, 0)));
  EXPECT_TRUE(m == before);
}

TEST(MeshObject, DuplicatesKeepTheClass) {
  const TK_Mesh m = QuadsAndTriangle();
  const std::unique_ptr<TK_Object> dup = m.DuplicateObject();
  ASSERT_NE(TK_Mesh::Cast(dup.get()), nullptr);
  EXPECT_TRUE(*TK_Mesh::Cast(dup.get()) == m);
  EXPECT_TRUE(dup->IsKindOf(&TK_Geometry::m_TK_Geometry_class_id));
  EXPECT_FALSE(TK_Mesh().BoundingBox().IsValid());
}

}  // namespace
