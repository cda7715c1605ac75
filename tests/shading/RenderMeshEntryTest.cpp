#include "shading/RenderMeshEntry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

#include "shading/MaterialEntry.h"

namespace {

TK_Mesh Triangle(TK_3fPoint a, TK_3fPoint b, TK_3fPoint c) {
  TK_Mesh mesh;
  mesh.SetVertex(0, a);
  mesh.SetVertex(1, b);
  mesh.SetVertex(2, c);
  mesh.SetTriangle(0, 0, 1, 2);
  return mesh;
}

std::unique_ptr<RenderMeshEntry> Entry(const TK_Mesh& mesh) {
  auto entry = RenderMeshEntry::Create(mesh, nullptr);
  EXPECT_NE(entry, nullptr);
  return entry;
}

TEST(RenderMeshEntry, QuadsArriveAsTrianglesWithTheirBox) {
  TK_Mesh mesh;
  for (int i = 0; i < 5; ++i) mesh.SetVertex(i, TK_3fPoint(float(i % 2), float(i / 2), float(i == 4 ? 3 : 0)));
  mesh.SetQuad(0, 0, 1, 3, 2);
  mesh.SetTriangle(1, 2, 3, 4);
  mesh.m_FN.assign(2, TK_3fVector(9, 9, 9));  // stale host normals are replaced

  const auto entry = Entry(mesh);
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->FaceCount(), 3);
  EXPECT_EQ(entry->Mesh().m_F[0], (TK_MeshFace{{0, 1, 3, 3}}));
  EXPECT_EQ(entry->Mesh().m_F[2], (TK_MeshFace{{0, 3, 2, 2}}));
  ASSERT_EQ(entry->Mesh().m_FN.size(), 3u);
  for (const TK_3fVector& n : entry->Mesh().m_FN) EXPECT_NEAR(n.Length(), 1.0, 1e-6);
  EXPECT_EQ(entry->Mesh().m_FN[0], TK_3fVector(0, 0, 1));
  EXPECT_EQ(entry->BoundingBox(), TK_BoundingBox(TK_3dPoint(0, 0, 0), TK_3dPoint(1, 2, 3)));
  EXPECT_EQ(entry->EnvironmentCoordinates().Count(), 0);
  EXPECT_EQ(mesh.FaceCount(), 2);  // the host's mesh is left as it was
}

TEST(RenderMeshEntry, MeshesThatWouldBeUnsafeAreRefused) {
  TK_Mesh bad_index = Triangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0});
  bad_index.m_F[0].vi[3] = 3;  // a quad naming a vertex that does not exist
  EXPECT_EQ(RenderMeshEntry::Create(bad_index, nullptr), nullptr);
  TK_Mesh negative = Triangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0});
  negative.m_F[0].vi[1] = -1;
  EXPECT_EQ(RenderMeshEntry::Create(negative, nullptr), nullptr);
  TK_Mesh not_finite = Triangle({0, 0, 0}, {std::numeric_limits<float>::infinity(), 0, 0}, {0, 1, 0});
  EXPECT_EQ(RenderMeshEntry::Create(not_finite, nullptr), nullptr);

  const auto empty = RenderMeshEntry::Create(TK_Mesh(), nullptr);
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty->FaceCount(), 0);
  EXPECT_FALSE(empty->BoundingBox().IsValid());
}

TEST(RenderMeshEntry, FaceProjectionOfAKnownTriangle) {
  // Plane x + 2z = 4 tilted about y: |N.z| dominates, so (a, b) = (x, y).
  const auto entry = Entry(Triangle({4, 0, 0}, {0, 0, 2}, {4, 3, 0}));
  ASSERT_NE(entry, nullptr);
  const FaceProjection& f = entry->Projection(0);
  const TK_3fVector n = entry->Mesh().m_FN[0];
  EXPECT_NEAR(n.x, -1 / std::sqrt(5.0), 1e-6);
  EXPECT_NEAR(n.y, 0.0, 1e-6);
  EXPECT_NEAR(n.z, -4 / std::sqrt(20.0), 1e-6);
  EXPECT_EQ(f.dominant_axis, 2);
  EXPECT_EQ(f.a1, -4.0f);
  EXPECT_EQ(f.b1, 0.0f);
  EXPECT_EQ(f.a2, 0.0f);
  EXPECT_EQ(f.b2, 3.0f);
  EXPECT_EQ(f.det, -12.0f);
  EXPECT_NEAR(f.plane_offset, 4 / std::sqrt(5.0), 1e-6);  // -(P0 . N)
}

TEST(RenderMeshEntry, DominantAxisTiesGoToXThenY) {
  struct Case {
    TK_3fPoint a, b, c;
    int axis;
  };
  const Case cases[] = {
      {{2, 0, 0}, {2, 1, 0}, {2, 0, 1}, 0},   // plane of constant x
      {{0, 2, 0}, {0, 2, 1}, {1, 2, 0}, 1},   // constant y
      {{0, 0, 2}, {1, 0, 2}, {0, 1, 2}, 2},   // constant z
      {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, 0},   // |x| = |y| = |z|
      {{0, 1, 0}, {0, 0, 1}, {1, 0, 0}, 0},   // the same plane, other order
      {{0, 0, 0}, {1, 0, 0}, {0, 1, -1}, 1},  // |y| = |z| > |x|
      {{0, 0, 0}, {0, 0, 1}, {1, -1, 0}, 0},  // |x| = |y| > |z|
      {{0, 0, 0}, {0, 1, 0}, {2, 0, 1}, 2},   // |z| > |x|
  };
  for (const Case& c : cases) {
    const auto entry = Entry(Triangle(c.a, c.b, c.c));
    ASSERT_NE(entry, nullptr);
    const TK_3fVector n = entry->Mesh().m_FN[0];
    EXPECT_EQ(entry->Projection(0).dominant_axis, c.axis) << n.x << " " << n.y << " " << n.z;
  }
}

TEST(RenderMeshEntry, DegenerateFacesGetZeroes) {
  TK_Mesh mesh = Triangle({1, 1, 1}, {1, 1, 1}, {3, 2, 1});  // two vertices coincide
  mesh.SetVertex(3, TK_3fPoint(2, 2, 2));
  mesh.SetVertex(4, TK_3fPoint(3, 3, 3));
  mesh.SetTriangle(1, 0, 3, 4);  // collinear
  const auto entry = Entry(mesh);
  ASSERT_NE(entry, nullptr);
  for (int face = 0; face < 2; ++face) {
    EXPECT_EQ(entry->Mesh().m_FN[std::size_t(face)], TK_3fVector()) << face;
    EXPECT_EQ(entry->Projection(face).plane_offset, 0.0f) << face;
    EXPECT_EQ(entry->Projection(face).det, 0.0f) << face;
  }
}

TEST(EnvironmentCoordinates, ParallelFormReflectsTheViewDirection) {
  TK_Mesh mesh = Triangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0});
  mesh.SetVertex(3, TK_3fPoint(5, 5, 5));  // not on a face
  mesh.m_N = {{0, 0, 1}, {0.6f, 0, 0.8f}, {1, 0, 0}, {0, -0.8f, 0.6f}};
  auto entry = Entry(mesh);
  ASSERT_NE(entry, nullptr);
  // The translation of the transform takes no part in the parallel form.
  const TK_Xform xform = TK_Xform::Translation(TK_3dVector(10, -20, 30));
  entry->ComputeEnvironmentCoordinates(xform, TK::parallel);
  const TK_SimpleArray<TK_2fPoint>& c = entry->EnvironmentCoordinates();
  ASSERT_EQ(c.Count(), 4);
  EXPECT_EQ(c[0], TK_2fPoint(0.5f, 0.5f));  // facing the viewer: r = (0, 0, 1)
  EXPECT_NEAR(c[1].x, 0.8f, 1e-6);          // r = (0.96, 0, 0.28), s = 2.56
  EXPECT_NEAR(c[1].y, 0.5f, 1e-6);
  EXPECT_EQ(c[2], TK_2fPoint(0.5f, 0.5f));  // r = (0, 0, -1): s = 0
  EXPECT_NEAR(c[3].x, 0.5f, 1e-6);          // r = (0, -0.96, -0.28), s = 1.44
  EXPECT_NEAR(c[3].y, 0.1f, 1e-6);

  // A rotation turns the normals first: (1, 0, 0) turned to face the viewer.
  const TK_Xform turn = TK_Xform::Rotation(-std::numbers::pi / 2, TK_3dVector(0, 1, 0), TK_3dPoint(0, 0, 0));
  entry->ComputeEnvironmentCoordinates(turn, TK::unknown);  // any non-perspective value
  EXPECT_NEAR(entry->EnvironmentCoordinates()[2].x, 0.5f, 1e-6);
  EXPECT_NEAR(entry->EnvironmentCoordinates()[2].y, 0.5f, 1e-6);
  EXPECT_NEAR(entry->EnvironmentCoordinates()[1].x, 0.1f, 1e-6);  // (-0.8, 0, 0.6): r = (-0.96, 0, -0.28)
}

TEST(EnvironmentCoordinates, PerspectiveFormReflectsTheRayFromTheEye) {
  TK_Mesh mesh = Triangle({0, 0, -5}, {3, 0, -4}, {0, 0, 0});
  mesh.m_N = {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}};
  auto entry = Entry(mesh);
  ASSERT_NE(entry, nullptr);
  entry->ComputeEnvironmentCoordinates(TK_Xform(), TK::perspective);
  const TK_SimpleArray<TK_2fPoint>& c = entry->EnvironmentCoordinates();
  ASSERT_EQ(c.Count(), 3);
  EXPECT_EQ(c[0], TK_2fPoint(0.5f, 0.5f));  // looked at head-on: r = (0, 0, 1)
  EXPECT_NEAR(c[1].x, 0.5 + 0.3 / std::sqrt(3.6), 1e-6);  // e = (0.6, 0, -0.8), r = (0.6, 0, 0.8)
  EXPECT_NEAR(c[1].y, 0.5, 1e-6);
  EXPECT_EQ(c[2], TK_2fPoint(0.5f, 0.5f));  // at the eye

  // The translation counts here: the eye moved to (0, 0, -5) sits on vertex 0.
  entry->ComputeEnvironmentCoordinates(TK_Xform::Translation(TK_3dVector(0, 0, 5)), TK::perspective);
  EXPECT_EQ(entry->EnvironmentCoordinates()[0], TK_2fPoint(0.5f, 0.5f));
  EXPECT_EQ(entry->EnvironmentCoordinates().Count(), 3);
}

TEST(EnvironmentCoordinates, AMeshWithoutNormalsGetsTheToolkitsKeepingItsPlanes) {
  TK_Mesh mesh;
  for (int i = 0; i < 4; ++i) mesh.SetVertex(i, TK_3fPoint(float(i % 2), float(i / 2), float(i) * 0.25f));
  mesh.SetQuad(0, 0, 1, 3, 2);
  auto entry = Entry(mesh);
  ASSERT_NE(entry, nullptr);
  const std::vector<TK_3fVector> own = entry->Mesh().m_FN;
  const float offset = entry->Projection(1).plane_offset;
  EXPECT_FALSE(entry->Mesh().HasVertexNormals());
  entry->ComputeEnvironmentCoordinates(TK_Xform(), TK::parallel);
  EXPECT_TRUE(entry->Mesh().HasVertexNormals());
  EXPECT_EQ(entry->Mesh().m_FN, own);
  EXPECT_EQ(entry->Projection(1).plane_offset, offset);
  EXPECT_EQ(entry->EnvironmentCoordinates().Count(), 4);
}

}  // namespace
