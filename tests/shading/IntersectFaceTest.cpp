#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "shading/HitRecord.h"
#include "shading/MaterialEntry.h"
#include "shading/RenderMeshEntry.h"

namespace {

// The unit square in the plane z = 0 as two triangles sharing the diagonal
// from (0, 0) to (1, 1); both face +z.
TK_Mesh Square() {
  TK_Mesh mesh;
  mesh.SetVertex(0, TK_3fPoint(0, 0, 0));
  mesh.SetVertex(1, TK_3fPoint(1, 0, 0));
  mesh.SetVertex(2, TK_3fPoint(1, 1, 0));
  mesh.SetVertex(3, TK_3fPoint(0, 1, 0));
  mesh.SetTriangle(0, 0, 1, 2);
  mesh.SetTriangle(1, 0, 2, 3);
  return mesh;
}

HitRecord Ray(TK_3dVector origin, TK_3dVector direction, int face, const MaterialEntry* material = nullptr) {
  HitRecord r;
  InitHitRecord(r);
  r.ray_origin = origin;
  r.ray_direction = direction;
  r.face_index = face;
  r.material = material;
  return r;
}

class IntersectFace : public ::testing::Test {
protected:
  void SetUp() override {
    material_ = std::make_unique<MaterialEntry>(&settings_);
    entry_ = RenderMeshEntry::Create(Square(), material_.get());
    ASSERT_NE(entry_, nullptr);
  }
  CRenderMaterial settings_;
  std::unique_ptr<MaterialEntry> material_;
  std::unique_ptr<RenderMeshEntry> entry_;
};

TEST_F(IntersectFace, AHitFillsTheRecord) {
  HitRecord r = Ray({0.75, 0.25, 4}, {0, 0, -2}, 0, material_.get());
  r.mesh_index = 7;
  ASSERT_TRUE(entry_->IntersectFace(r));
  EXPECT_EQ(r.depth, 2.0);  // counted in units of the direction
  EXPECT_EQ(r.point, TK_3dVector(0.75, 0.25, 0));
  EXPECT_EQ(r.weights, TK_3fPoint(0.25f, 0.5f, 0.25f));
  EXPECT_EQ(r.normal, TK_3dVector());  // left to shading
  EXPECT_EQ(entry_->ShadingNormal(r), TK_3dVector(0, 0, 1));
  EXPECT_FALSE(r.back_face);
  EXPECT_EQ(r.mesh_index, 7);  // the caller's fields stay
  EXPECT_EQ(r.material, material_.get());
  EXPECT_EQ(r.texture_coordinates[1], TK_2fPoint());  // no coordinates in the mesh

  HitRecord q = Ray({0.75, 0.25, 4}, {0, 0, -2}, 0);
  ASSERT_TRUE(entry_->QuickIntersectFace(q));
  EXPECT_EQ(q.depth, 2.0);
  EXPECT_EQ(q.point, r.point);
  EXPECT_EQ(q.normal, TK_3dVector());  // the quick test writes no shading data
}

TEST_F(IntersectFace, MissesOutsideBehindOnAndAlongThePlane) {
  struct Case {
    const char* what;
    TK_3dVector origin, direction;
  };
  const Case cases[] = {
      {"outside, above the diagonal", {0.25, 0.75, 1}, {0, 0, -1}},
      {"outside the square", {1.5, 0.25, 1}, {0, 0, -1}},
      {"below the bottom edge", {0.5, -0.01, 1}, {0, 0, -1}},
      {"face behind the origin", {0.75, 0.25, 1}, {0, 0, 1}},
      {"origin on the plane: t = 0", {0.75, 0.25, 0}, {0, 0, -1}},
      {"parallel above the plane", {-1, 0.25, 1}, {1, 0, 0}},
      {"parallel within the plane", {-1, 0.25, 0}, {1, 0, 0}},
      {"zero direction", {0.75, 0.25, 1}, {0, 0, 0}},
  };
  for (const Case& c : cases) {
    HitRecord r = Ray(c.origin, c.direction, 0, material_.get());
    EXPECT_FALSE(entry_->IntersectFace(r)) << c.what;
    HitRecord q = Ray(c.origin, c.direction, 0);
    EXPECT_FALSE(entry_->QuickIntersectFace(q)) << c.what;
  }
  HitRecord r = Ray({0.75, 0.25, 1}, {0, 0, -1}, 2, material_.get());  // no such face
  EXPECT_FALSE(entry_->IntersectFace(r));
  r.face_index = -1;
  EXPECT_FALSE(entry_->QuickIntersectFace(r));
}

TEST_F(IntersectFace, VerticesAndSharedEdgesHitBothTrianglesAtOneDepth) {
  const TK_3dVector points[] = {{0, 0, 5}, {1, 1, 5}, {0.5, 0.5, 5}, {0.25, 0.25, 5}};
  for (const TK_3dVector& o : points) {
    for (int face = 0; face < 2; ++face) {
      HitRecord r = Ray(o, {0, 0, -1}, face, material_.get());
      ASSERT_TRUE(entry_->IntersectFace(r)) << o.x << " face " << face;
      EXPECT_EQ(r.depth, 5.0);
      HitRecord q = Ray(o, {0, 0, -1}, face);
      EXPECT_TRUE(entry_->QuickIntersectFace(q)) << o.x << " face " << face;
    }
  }
  // The outer corners and edges of one triangle alone.
  HitRecord corner = Ray({1, 0, 2}, {0, 0, -1}, 0, material_.get());
  ASSERT_TRUE(entry_->IntersectFace(corner));
  EXPECT_EQ(corner.weights, TK_3fPoint(0, 1, 0));
  HitRecord edge = Ray({1, 0.5, 2}, {0, 0, -1}, 0, material_.get());
  ASSERT_TRUE(entry_->IntersectFace(edge));
  EXPECT_EQ(edge.weights, TK_3fPoint(0, 0.5f, 0.5f));  // u + v = 1
  edge.face_index = 1;
  EXPECT_FALSE(entry_->IntersectFace(edge));
  // An oblique ray through the shared vertex (1, 1, 0).
  for (int face = 0; face < 2; ++face) {
    HitRecord r = Ray({-1, 3, 4}, {2, -2, -4}, face, material_.get());
    ASSERT_TRUE(entry_->IntersectFace(r));
    EXPECT_EQ(r.depth, 1.0);
  }
}

TEST_F(IntersectFace, BackFacesFollowTwoSidedShadingAndNeverPassTheQuickTest) {
  HitRecord r = Ray({0.75, 0.25, -3}, {0, 0, 1}, 0, material_.get());
  ASSERT_TRUE(settings_.m_two_sided);
  ASSERT_TRUE(entry_->IntersectFace(r));
  EXPECT_TRUE(r.back_face);
  EXPECT_EQ(r.depth, 3.0);
  EXPECT_EQ(entry_->ShadingNormal(r), TK_3dVector(0, 0, -1));  // toward the ray's origin

  HitRecord quick = Ray({0.75, 0.25, -3}, {0, 0, 1}, 0, material_.get());
  EXPECT_FALSE(entry_->QuickIntersectFace(quick));
  EXPECT_TRUE(quick.back_face);

  settings_.m_two_sided = false;
  HitRecord one_sided = Ray({0.75, 0.25, -3}, {0, 0, 1}, 0, material_.get());
  EXPECT_FALSE(entry_->IntersectFace(one_sided));
  HitRecord front = Ray({0.75, 0.25, 3}, {0, 0, -1}, 0, material_.get());
  EXPECT_TRUE(entry_->IntersectFace(front));  // the front side still hits

  // A record without a material shades like the default: two-sided.
  HitRecord bare = Ray({0.75, 0.25, -3}, {0, 0, 1}, 0);
  EXPECT_TRUE(entry_->IntersectFace(bare));
}

TEST(ShadingNormals, SmoothFacetedAndWithoutVertexNormals) {
  TK_Mesh mesh = Square();
  mesh.m_N = {{0, 0, 1}, {0.6f, 0, 0.8f}, {0, 0, 1}, {0, 0, 1}};
  mesh.m_T = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  CRenderMaterial settings;
  MaterialEntry material(&settings);
  const auto smooth = RenderMeshEntry::Create(mesh, &material);
  ASSERT_NE(smooth, nullptr);

  HitRecord at_vertex = Ray({1, 0, 1}, {0, 0, -1}, 0, &material);
  ASSERT_TRUE(smooth->IntersectFace(at_vertex));
  const TK_3dVector vertex_normal = smooth->ShadingNormal(at_vertex);
  EXPECT_NEAR(vertex_normal.x, 0.6, 1e-7);
  EXPECT_NEAR(vertex_normal.z, 0.8, 1e-7);
  EXPECT_EQ(at_vertex.texture_coordinates[0], TK_2fPoint(0, 0));
  EXPECT_EQ(at_vertex.texture_coordinates[1], TK_2fPoint(1, 0));
  EXPECT_EQ(at_vertex.texture_coordinates[2], TK_2fPoint(1, 1));
  HitRecord between = Ray({0.75, 0.25, 1}, {0, 0, -1}, 0, &material);  // weights (0.25, 0.5, 0.25)
  ASSERT_TRUE(smooth->IntersectFace(between));
  const TK_3dVector expected = TK_3dVector(0.3, 0, 0.9) / std::sqrt(0.9);
  const TK_3dVector between_normal = smooth->ShadingNormal(between);
  EXPECT_NEAR(between_normal.x, expected.x, 1e-6);
  EXPECT_NEAR(between_normal.z, expected.z, 1e-6);
  EXPECT_NEAR(between_normal.Length(), 1.0, 1e-12);
  // Seen from behind, the smooth normal is turned toward the ray too.
  HitRecord behind = Ray({1, 0, -1}, {0, 0, 1}, 0, &material);
  ASSERT_TRUE(smooth->IntersectFace(behind));
  const TK_3dVector behind_normal = smooth->ShadingNormal(behind);
  EXPECT_NEAR(behind_normal.x, -0.6, 1e-7);
  EXPECT_NEAR(behind_normal.z, -0.8, 1e-7);

  settings.m_faceted = true;  // one normal for the whole triangle
  for (const TK_3dVector& o : {TK_3dVector(1, 0, 1), TK_3dVector(0.75, 0.25, 1), TK_3dVector(0.9, 0.8, 1)}) {
    HitRecord r = Ray(o, {0, 0, -1}, 0, &material);
    ASSERT_TRUE(smooth->IntersectFace(r));
    EXPECT_EQ(smooth->ShadingNormal(r), TK_3dVector(0, 0, 1));
  }

  settings.m_faceted = false;
  mesh.m_N.clear();  // without vertex normals: geometric, hence flat
  const auto flat = RenderMeshEntry::Create(mesh, &material);
  ASSERT_NE(flat, nullptr);
  HitRecord r = Ray({1, 0, 1}, {0, 0, -1}, 0, &material);
  ASSERT_TRUE(flat->IntersectFace(r));
  EXPECT_EQ(flat->ShadingNormal(r), TK_3dVector(0, 0, 1));
  r.face_index = 2;  // a face the entry lacks
  EXPECT_EQ(flat->ShadingNormal(r), TK_3dVector());
}

TEST(IntersectFaceDegenerate, FacesWithoutAreaNeverHit) {
  TK_Mesh mesh;
  mesh.SetVertex(0, TK_3fPoint(0, 0, 0));
  mesh.SetVertex(1, TK_3fPoint(1, 1, 0));
  mesh.SetVertex(2, TK_3fPoint(2, 2, 0));
  mesh.SetTriangle(0, 0, 1, 2);  // collinear
  mesh.SetTriangle(1, 0, 0, 1);  // two vertices coincide
  mesh.SetTriangle(2, 1, 1, 1);  // a point
  const auto entry = RenderMeshEntry::Create(mesh, nullptr);
  ASSERT_NE(entry, nullptr);
  const TK_3dVector origins[] = {{1, 1, 1}, {0, 0, 1}, {0.5, 0.5, 1}, {1, 1, 0}};
  const TK_3dVector directions[] = {{0, 0, -1}, {1, 1, 0}, {0, 0, 1}, {-1, -1, -1}};
  for (int face = 0; face < 3; ++face)
    for (const TK_3dVector& o : origins)
      for (const TK_3dVector& d : directions) {
        HitRecord r = Ray(o, d, face);
        EXPECT_FALSE(entry->IntersectFace(r)) << face;
        EXPECT_FALSE(entry->QuickIntersectFace(r)) << face;
      }
}

TEST(HitRecord, InitialisedZeroAndSortedNearestFirst) {
  HitRecord r;
  std::memset(static_cast<void*>(&r), 0xAB, sizeof r);
  InitHitRecord(r);
  EXPECT_EQ(r.point, TK_3dVector());
  EXPECT_EQ(r.normal, TK_3dVector());
  EXPECT_EQ(r.weights, TK_3fPoint());
  EXPECT_EQ(r.ray_origin, TK_3dVector());
  EXPECT_EQ(r.ray_direction, TK_3dVector());
  EXPECT_EQ(r.depth, 0.0);
  EXPECT_EQ(r.mesh_index, 0);
  EXPECT_EQ(r.face_index, 0);
  for (const TK_2fPoint& t : r.texture_coordinates) EXPECT_EQ(t, TK_2fPoint());
  EXPECT_FALSE(r.back_face);
  EXPECT_EQ(r.material, nullptr);

  HitRecord hits[5];
  const double depths[] = {3.5, 0.25, 9.0, 0.25, 1.0};
  for (int i = 0; i < 5; ++i) {
    InitHitRecord(hits[i]);
    hits[i].depth = depths[i];
    hits[i].face_index = i;
  }
  EXPECT_EQ(CompareHitDepth(&hits[0], &hits[1]), 1);
  EXPECT_EQ(CompareHitDepth(&hits[1], &hits[0]), -1);
  EXPECT_EQ(CompareHitDepth(&hits[1], &hits[3]), 0);
  std::qsort(hits, 5, sizeof(HitRecord), CompareHitDepth);
  const double sorted[] = {0.25, 0.25, 1.0, 3.5, 9.0};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(hits[i].depth, sorted[i]) << i;
  EXPECT_EQ(hits[4].face_index, 2);  // records move whole
}

}  // namespace
