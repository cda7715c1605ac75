#include "host/toolkit/Mesh.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <numbers>

#include "host/toolkit/Near.h"

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

// The box is that of the finite vertices added one by one: non-finite ones
// are passed over wherever they stand, and of 0 and -0 the first stays.
TEST(MeshBox, BoxOfTheFiniteVerticesInTheirOrder) {
  const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
  const std::vector<std::vector<TK_3fPoint>> cases = {
      {},
      {{nan, 0, 0}, {inf, 1, 1}},
      {{1, 2, 3}},
      {{nan, 5, 5}, {-0.0f, 0, 2}, {0, -0.0f, -1}, {inf, 9, 9}, {3, -4, 0.5f}},
      {{0, 0, 0}, {-0.0f, -0.0f, -0.0f}, {-inf, 1, 1}},
  };
  for (const std::vector<TK_3fPoint>& vertices : cases) {
    TK_Mesh m;
    m.m_V = vertices;
    TK_BoundingBox expected;
    for (const TK_3fPoint& v : vertices) expected.Union(TK_3dPoint(v));
    const TK_BoundingBox box = m.BoundingBox();
    ASSERT_EQ(box.IsValid(), expected.IsValid()) << vertices.size() << " vertices";
    if (!box.IsValid()) continue;
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(std::signbit(box.Min()[i]), std::signbit(expected.Min()[i]));
      EXPECT_EQ(std::signbit(box.Max()[i]), std::signbit(expected.Max()[i]));
      EXPECT_EQ(box.Min()[i], expected.Min()[i]);
      EXPECT_EQ(box.Max()[i], expected.Max()[i]);
    }
  }
}

}  // namespace
