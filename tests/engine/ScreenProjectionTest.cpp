// The camera fitted to an image: near and far from the scene box, pixel
// rays against projected points, face rectangles; and the index: which
// faces are listed, and how bands file them into cells.

#include "engine/ScreenProjection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <random>
#include <set>
#include <utility>

#include "shading/HitRecord.h"
#include "shading/MaterialEntry.h"
#include "shading/RenderMeshEntry.h"

namespace {

TK_Viewport Camera(TK_3dPoint location, TK_3dVector direction, TK_3dVector up = {0, 1, 0}) {
  TK_Viewport camera;
  camera.SetCameraLocation(location);
  camera.SetCameraDirection(direction);
  camera.SetCameraUp(up);
  return camera;
}

// Meshes with their materials, kept alive together.
struct Scene {
  std::unique_ptr<MaterialEntry> two_sided = std::make_unique<MaterialEntry>(std::make_unique<CRenderMaterial>());
  std::unique_ptr<MaterialEntry> one_sided = [] {
    auto material = std::make_unique<CRenderMaterial>();
    material->m_two_sided = false;
    return std::make_unique<MaterialEntry>(std::move(material));
  }();
  std::vector<std::unique_ptr<RenderMeshEntry>> meshes;
  TK_BoundingBox box;

  const RenderMeshEntry& Add(const std::vector<TK_3fPoint>& triangles, bool one_sided_material = false) {
    TK_Mesh mesh;
    for (int i = 0; i < int(triangles.size()); ++i) mesh.SetVertex(i, triangles[std::size_t(i)]);
    for (int f = 0; 3 * f < int(triangles.size()); ++f) mesh.SetTriangle(f, 3 * f, 3 * f + 1, 3 * f + 2);
    meshes.push_back(RenderMeshEntry::Create(mesh, one_sided_material ? one_sided.get() : two_sided.get()));
    EXPECT_NE(meshes.back(), nullptr);
    box.Union(meshes.back()->BoundingBox());
    return *meshes.back();
  }
  void AddTo(CScreenProjection& projection) const {
    for (const auto& mesh : meshes) ASSERT_TRUE(projection.AddMesh(mesh.get()));
  }
};

// Whether the ray through pixel (x, y) hits the face as the pixel loops will test it.
bool RayHits(const CScreenProjection& projection, const RenderMeshEntry& mesh, int mesh_index, int face, double x,
             double y, double* depth = nullptr) {
  PixelRayRecord ray;
  if (!projection.PixelRay(x, y, ray)) return false;
  HitRecord record;
  InitHitRecord(record);
  record.ray_origin = ray.origin;
  record.ray_direction = ray.direction;
  record.mesh_index = mesh_index;
  record.face_index = face;
  record.material = mesh.Material();
  const bool hit = mesh.IntersectFace(record);
  if (depth) *depth = record.depth;
  return hit;
}

double Depth(const TK_Viewport& camera, const TK_3dPoint& p) {
  return TK_DotProduct(camera.CameraLocation() - p, camera.CameraZ());
}

class ScreenProjectionTest : public ::testing::Test {
protected:
  std::atomic<bool> abort{false};
};

TEST_F(ScreenProjectionTest, RefusesWhatHasNoUsableTransforms) {
  const TK_BoundingBox box({-1, -1, -1}, {1, 1, 1});
  const TK_Viewport good = Camera({0, 0, 10}, {0, 0, -1});
  EXPECT_NE(CScreenProjection::Create(good, 64, 48, &abort, &box), nullptr);
  // Direction along up: no camera frame.
  EXPECT_EQ(CScreenProjection::Create(Camera({0, 0, 10}, {0, 1, 0}), 64, 48, &abort, &box), nullptr);
  EXPECT_EQ(CScreenProjection::Create(good, 0, 48, &abort, &box), nullptr);
  EXPECT_EQ(CScreenProjection::Create(good, 64, -1, &abort, &box), nullptr);
  EXPECT_EQ(CScreenProjection::Create(good, 64, 48, nullptr, &box), nullptr);
}

TEST_F(ScreenProjectionTest, FitsNearJustShortOfTheBoxAndFarToIt) {
  const TK_Viewport camera = Camera({0, 0, 10}, {0, 0, -1});
  const TK_BoundingBox box({-1, -1, -1}, {1, 1, 1});
  auto projection = CScreenProjection::Create(camera, 64, 48, &abort, &box);
  ASSERT_NE(projection, nullptr);
  EXPECT_DOUBLE_EQ(projection->FrustumNear(), 0.9999 * 9.0);
  EXPECT_DOUBLE_EQ(projection->FrustumFar(), 11.0);
  EXPECT_EQ(projection->ImageRect(), (RECT{0, 0, 63, 47}));
  // The frustum takes the image's aspect.
  double left, right, bottom, top, near, far;
  projection->GetFrustum(left, right, bottom, top, near, far);
  EXPECT_NEAR((right - left) / (top - bottom), 64.0 / 48.0, 1e-12);

  // Reaching behind the camera: the nearest depth is negative.
  const TK_BoundingBox behind({-1, -1, -5}, {1, 1, 20});
  projection = CScreenProjection::Create(camera, 64, 48, &abort, &behind);
  ASSERT_NE(projection, nullptr);
  EXPECT_DOUBLE_EQ(projection->FrustumFar(), 15.0);
  EXPECT_DOUBLE_EQ(projection->FrustumNear(), 0.015);

  // Wholly behind, or no box at all: the camera's own near and far.
  const TK_BoundingBox wholly_behind({-1, -1, 20}, {1, 1, 30});
  for (const TK_BoundingBox* b : {&wholly_behind, static_cast<const TK_BoundingBox*>(nullptr)}) {
    projection = CScreenProjection::Create(camera, 64, 48, &abort, b);
    ASSERT_NE(projection, nullptr);
    EXPECT_DOUBLE_EQ(projection->FrustumNear(), camera.FrustumNear());
    EXPECT_DOUBLE_EQ(projection->FrustumFar(), camera.FrustumFar());
  }
}

TEST_F(ScreenProjectionTest, AFaceAtTheFrontOfTheSceneIsHit) {
  // A quad facing the camera at the front of the scene, a triangle behind.
  Scene scene;
  scene.Add({{-2, -2, 1}, {2, -2, 1}, {2, 2, 1}, {-2, -2, 1}, {2, 2, 1}, {-2, 2, 1}, {-1, -1, -3}, {1, -1, -3},
             {0, 1, -3}});
  for (TK::view_projection kind : {TK::perspective, TK::parallel}) {
    TK_Viewport camera = Camera({0, 0, 10}, {0, 0, -1});
    camera.SetProjection(kind);
    if (kind == TK::parallel) camera.SetFrustum(-3, 3, -3, 3, 1, 100);
    auto projection = CScreenProjection::Create(camera, 40, 30, &abort, &scene.box);
    ASSERT_NE(projection, nullptr);
    double depth = 0;
    bool front = false;
    for (int face = 0; face < 2; ++face) front = front || RayHits(*projection, *scene.meshes[0], 0, face, 20, 15, &depth);
    EXPECT_TRUE(front) << "projection " << kind;
    EXPECT_GT(depth, 0.0);
    // The ray starts on the near plane, just in front of the quad.
    PixelRayRecord ray;
    ASSERT_TRUE(projection->PixelRay(20, 15, ray));
    EXPECT_NEAR(Depth(*projection, TK_3dPoint(ray.origin)), projection->FrustumNear(), 1e-9);
    EXPECT_LT(projection->FrustumNear(), 9.0);
  }
}

TEST_F(ScreenProjectionTest, RaysThroughCornersAndMiddleMeetProjectedPoints) {
  const TK_BoundingBox box({-3, -2, -4}, {3, 2, 1});
  TK_Viewport perspective = Camera({2, 3, 9}, {-0.2, -0.3, -1}, {0.1, 1, 0});
  TK_Viewport parallel = perspective;
  parallel.SetProjection(TK::parallel);
  parallel.SetFrustum(-4, 4, -3, 3, 1, 50);
  for (const TK_Viewport* camera : {&perspective, &parallel}) {
    const int w = 80, h = 50;
    auto projection = CScreenProjection::Create(*camera, w, h, &abort, &box);
    ASSERT_NE(projection, nullptr);
    const std::pair<int, int> pixels[] = {{0, 0}, {w - 1, 0}, {0, h - 1}, {w - 1, h - 1}, {w / 2, h / 2}};
    for (auto [px, py] : pixels) {
      // Positions a third of a pixel either side inside the pixel: a point
      // on the ray must project back into the same pixel.
      for (double offset : {0.3, 0.7}) {
        PixelRayRecord ray;
        ASSERT_TRUE(projection->PixelRay(px + offset, py + offset, ray));
        EXPECT_NEAR(ray.direction.Length(), 1.0, 1e-12);
        for (double t : {0.0, 3.0, 7.5}) {
          const TK_3dPoint p = TK_3dPoint(ray.origin) + ray.direction * t;
          const POINT q = projection->ProjectPoint(p);
          EXPECT_EQ(q.x, px) << "t " << t << " offset " << offset;
          EXPECT_EQ(q.y, py) << "t " << t << " offset " << offset;
        }
        // Farther along the ray is deeper.
        EXPECT_GT(Depth(*projection, TK_3dPoint(ray.origin) + ray.direction * 2.0),
                  Depth(*projection, TK_3dPoint(ray.origin) + ray.direction * 1.0));
      }
    }
    // Truncation toward zero: half a pixel either side of 0 is pixel 0.
    PixelRayRecord ray;
    for (double x : {-0.5, 0.5}) {
      ASSERT_TRUE(projection->PixelRay(x, 10.5, ray));
      EXPECT_EQ(projection->ProjectPoint(TK_3dPoint(ray.origin)).x, 0);
    }
    ASSERT_TRUE(projection->PixelRay(-1.5, 10.5, ray));
    EXPECT_EQ(projection->ProjectPoint(TK_3dPoint(ray.origin)).x, -1);
  }
}

TEST_F(ScreenProjectionTest, FaceRectangleIsThePartInFrontOfTheNearPlane) {
  Scene scene;
  // In front; crossing the eye plane (a floor under the camera); wholly behind.
  scene.Add({{-1, -1, 0}, {1, -1, 0}, {0, 1, 0}, {-100, -1, 100}, {100, -1, 100}, {0, -1, -100}, {-1, -1, 20},
             {1, -1, 20}, {0, 1, 20}});
  const TK_Viewport camera = Camera({0, 0, 10}, {0, 0, -1});
  const int w = 64, h = 48;
  auto projection = CScreenProjection::Create(camera, w, h, &abort, &scene.box);
  ASSERT_NE(projection, nullptr);
  const RenderMeshEntry& mesh = *scene.meshes[0];

  const RECT front = projection->FaceScreenRect(mesh, 0);
  const POINT a = projection->ProjectPoint({-1, -1, 0}), b = projection->ProjectPoint({1, -1, 0}),
              c = projection->ProjectPoint({0, 1, 0});
  EXPECT_EQ(front, (RECT{std::min({a.x, b.x, c.x}), std::min({a.y, b.y, c.y}), std::max({a.x, b.x, c.x}),
                         std::max({a.y, b.y, c.y})}));

  // The floor fills the image below the horizon (the middle row) across
  // its whole width, and nothing above it.
  const RECT floor = projection->FaceScreenRect(mesh, 1);
  EXPECT_LE(floor.left, 0);
  EXPECT_GE(floor.right, w - 1);
  EXPECT_GE(floor.bottom, h - 1);
  EXPECT_GT(floor.top, h / 2 - 1);
  EXPECT_LT(floor.top, h / 2 + 2);

  const RECT behind = projection->FaceScreenRect(mesh, 2);
  EXPECT_GT(behind.left, behind.right);
  // Out of range faces are empty too.
  EXPECT_GT(projection->FaceScreenRect(mesh, 3).left, projection->FaceScreenRect(mesh, 3).right);
}

TEST_F(ScreenProjectionTest, ListsOnlyFacesThatMeetTheImage) {
  Scene scene;
  scene.Add({{-1, -1, 0}, {1, -1, 0}, {0, 1, 0},           // in the middle
             {40, -1, 0}, {42, -1, 0}, {41, 1, 0},         // far to the right
             {-1, -60, 0}, {1, -60, 0}, {0, -58, 0},       // far below
             {-1, -1, 30}, {1, -1, 30}, {0, 1, 30}});      // behind the camera
  const TK_Viewport camera = Camera({0, 0, 10}, {0, 0, -1});
  auto projection = CScreenProjection::Create(camera, 64, 48, &abort, &scene.box);
  ASSERT_NE(projection, nullptr);
  scene.AddTo(*projection);
  ASSERT_TRUE(projection->ProjectFaces());
  ASSERT_EQ(projection->ProjectedFaces().Count(), 1);
  const ProjectedFace& face = projection->ProjectedFaces()[0];
  EXPECT_EQ(face.mesh_index, 0);
  EXPECT_EQ(face.face_index, 0);
  EXPECT_FALSE(face.done);
  EXPECT_EQ(face.rect, projection->FaceScreenRect(*scene.meshes[0], 0));
}

// Which of the faces covering the whole image stay listed.
TEST_F(ScreenProjectionTest, WholeImageFacesStayWhenTheyCanBeSeen) {
  const TK_Viewport camera = Camera({0, 0, 10}, {0, 0, -1});
  Scene scene;
  // Facing the camera (counter-clockwise seen from it), over the middle.
  scene.Add({{-100, -100, 0}, {100, -100, 0}, {0, 100, 0}}, true);
  // The same seen from behind, one-sided and two-sided.
  scene.Add({{-100, -100, 0}, {0, 100, 0}, {100, -100, 0}}, true);
  scene.Add({{-100, -100, 0}, {0, 100, 0}, {100, -100, 0}}, false);
  // A sliver facing the camera across the image's diagonal, missing its middle pixel.
  scene.Add({{-100, -98, 0}, {100, 102, 0}, {-99, -94, 0}}, true);
  // Wholly behind the camera, facing it.
  scene.Add({{-100, -100, 20}, {100, -100, 20}, {0, 100, 20}}, true);
  auto projection = CScreenProjection::Create(camera, 64, 48, &abort, &scene.box);
  ASSERT_NE(projection, nullptr);
  scene.AddTo(*projection);
  ASSERT_TRUE(projection->ProjectFaces());
  std::set<int> listed;
  for (const ProjectedFace& face : projection->ProjectedFaces()) listed.insert(face.mesh_index);
  EXPECT_EQ(listed, (std::set<int>{0, 2, 3}));
  // The sliver is seen, though not at the middle pixel.
  EXPECT_FALSE(RayHits(*projection, *scene.meshes[3], 3, 0, 32, 24));
  bool seen = false;
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) seen = seen || RayHits(*projection, *scene.meshes[3], 3, 0, x, y);
  EXPECT_TRUE(seen);
}

// The listing rules of a plain projection of the three vertices, with the
// middle pixel's front-side test for whole-image rectangles: each listed
// face with its rectangle.
std::map<std::pair<int, int>, RECT> ListedByVertexProjection(const CScreenProjection& projection, const Scene& scene) {
  std::map<std::pair<int, int>, RECT> listed;
  const RECT image = projection.ImageRect();
  for (int m = 0; m < int(scene.meshes.size()); ++m) {
    const RenderMeshEntry& mesh = *scene.meshes[std::size_t(m)];
    for (int f = 0; f < mesh.FaceCount(); ++f) {
      RECT r{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
      for (int i = 0; i < 3; ++i) {
        const TK_3fPoint& v = mesh.Mesh().m_V[std::size_t(mesh.Mesh().m_F[std::size_t(f)].vi[i])];
        const POINT p = projection.ProjectPoint(TK_3dPoint(v));
        r = RECT{std::min(r.left, p.x), std::min(r.top, p.y), std::max(r.right, p.x), std::max(r.bottom, p.y)};
      }
      const RECT v{std::max(r.left, image.left), std::max(r.top, image.top), std::min(r.right, image.right),
                   std::min(r.bottom, image.bottom)};
      if (v.left > v.right || v.top > v.bottom) continue;
      if (v == image) {
        PixelRayRecord ray;
        if (!projection.PixelRay((v.right - v.left) / 2 + v.left, (v.bottom - v.top) / 2 + v.top, ray)) continue;
        HitRecord record;
        InitHitRecord(record);
        record.ray_origin = ray.origin;
        record.ray_direction = ray.direction;
        record.face_index = f;
        if (!mesh.QuickIntersectFace(record)) continue;
      }
      listed[{m, f}] = r;
    }
  }
  return listed;
}

TEST_F(ScreenProjectionTest, ListsEveryFaceAPixelSeesAndNothingElseNew) {
  // A camera standing on a large floor, among triangles of every size, some
  // reaching behind it, some wholly behind.
  Scene scene;
  scene.Add({{-500, 0, 500}, {500, 0, 500}, {0, 0, -500}}, true);  // the floor, facing up
  std::mt19937 random(20261206);
  std::uniform_real_distribution<float> coordinate(-30, 30);
  std::vector<TK_3fPoint> others;
  for (int i = 0; i < 3 * 120; ++i) others.push_back({coordinate(random), coordinate(random) + 20, coordinate(random)});
  scene.Add(others, true);
  scene.Add(std::vector<TK_3fPoint>(others.rbegin(), others.rend()), false);
  const TK_Viewport camera = Camera({0, 1.7, 0}, {0.1, 0, -1});  // level: the middle ray runs along the horizon
  const int w = 48, h = 36;
  auto projection = CScreenProjection::Create(camera, w, h, &abort, &scene.box);
  ASSERT_NE(projection, nullptr);
  scene.AddTo(*projection);
  ASSERT_TRUE(projection->ProjectFaces());
  ASSERT_TRUE(projection->PrepareBand(0, h));

  std::set<std::pair<int, int>> listed;
  for (const ProjectedFace& face : projection->ProjectedFaces()) listed.insert({face.mesh_index, face.face_index});
  const std::map<std::pair<int, int>, RECT> by_vertices = ListedByVertexProjection(*projection, scene);
  // Whether the vertex rules file the face under pixel (x, y).
  auto filed_by_vertices = [&](int m, int f, int x, int y) {
    const auto it = by_vertices.find({m, f});
    return it != by_vertices.end() && x >= it->second.left && x <= it->second.right && y >= it->second.top &&
           y <= it->second.bottom;
  };

  // Every face a pixel's ray hits is in that pixel's cell.
  std::set<std::pair<int, int>> seen;
  int missed_by_vertex_rules = 0, floor_seen = 0, floor_filed_by_vertices = 0;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      for (int m = 0; m < int(scene.meshes.size()); ++m) {
        for (int f = 0; f < scene.meshes[std::size_t(m)]->FaceCount(); ++f) {
          if (!RayHits(*projection, *scene.meshes[std::size_t(m)], m, f, x, y)) continue;
          seen.insert({m, f});
          const PixelCell& cell = projection->Cell(x, y);
          EXPECT_TRUE(std::any_of(cell.begin(), cell.end(),
                                  [&](const FaceRef& r) { return r.mesh_index == m && r.face_index == f; }))
              << "face " << m << "/" << f << " at " << x << "," << y;
          if (!filed_by_vertices(m, f, x, y)) ++missed_by_vertex_rules;
          if (m == 0) {
            ++floor_seen;
            if (filed_by_vertices(m, f, x, y)) ++floor_filed_by_vertices;
          }
        }
      }
    }
  }
  // The floor fills the lower half of the image; the vertex rules file it
  // under none of those pixels.
  EXPECT_GE(floor_seen, w * (h / 2 - 1));
  EXPECT_EQ(floor_filed_by_vertices, 0);
  EXPECT_GT(missed_by_vertex_rules, floor_seen);
  // What is listed beyond the vertex rules is what they project wrongly:
  // faces reaching behind the near plane, whose rectangle now bounds their
  // visible part, and faces covering the whole image. Those wholly in front
  // are seen; what the vertex rules list and is not listed now is seen by
  // no pixel.
  int extra_crossing = 0;
  for (const auto& face : listed) {
    if (by_vertices.count(face)) continue;
    const RenderMeshEntry& mesh = *scene.meshes[std::size_t(face.first)];
    bool crosses = false;
    for (int i = 0; i < 3; ++i) {
      const TK_3fPoint& v = mesh.Mesh().m_V[std::size_t(mesh.Mesh().m_F[std::size_t(face.second)].vi[i])];
      crosses = crosses || Depth(*projection, TK_3dPoint(v)) < projection->FrustumNear();
    }
    if (crosses)
      ++extra_crossing;
    else
      EXPECT_TRUE(seen.count(face)) << face.first << "/" << face.second;
  }
  EXPECT_GT(extra_crossing, 0);
  int dropped = 0;
  for (const auto& [face, rect] : by_vertices)
    if (!listed.count(face)) {
      ++dropped;
      EXPECT_FALSE(seen.count(face)) << face.first << "/" << face.second;
    }
  EXPECT_GT(int(listed.size()), 20);
  EXPECT_GT(dropped, 0);  // faces behind the camera flipped into the image
}

// Projection of a scene with faces whose rectangles are read back, for band tests.
class BandTest : public ScreenProjectionTest {
protected:
  void SetUp() override {
    // Two faces in the upper part of the image, one over the bottom rows.
    scene.Add({{-1, 0, 0}, {1, 0, 0}, {0, 2, 0}, {-3, 0.5f, 0}, {-2, 0.5f, 0}, {-2.5f, 1, 0}, {-1, -5.5f, 0},
               {1, -5.5f, 0}, {0, -2, 0}});
    projection = CScreenProjection::Create(Camera({0, 0, 10}, {0, 0, -1}), 64, 48, &abort, &scene.box);
    ASSERT_NE(projection, nullptr);
    scene.AddTo(*projection);
    ASSERT_TRUE(projection->ProjectFaces());
    ASSERT_EQ(projection->ProjectedFaces().Count(), 3);
  }
  int CountIn(int x, int y, int face) const {
    const PixelCell& cell = projection->Cell(x, y);
    return int(std::count_if(cell.begin(), cell.end(), [&](const FaceRef& r) { return r.face_index == face; }));
  }
  Scene scene;
  std::unique_ptr<CScreenProjection> projection;
};

TEST_F(BandTest, ARowSharedByTwoBandsIsFiledByBoth) {
  const RECT r = projection->ProjectedFaces()[0].rect;
  ASSERT_GE(r.bottom, 2);
  const int b = r.bottom;  // the first band's last row is the face's last row
  const int x = (r.left + r.right) / 2;
  ASSERT_TRUE(projection->PrepareBand(0, b + 1));
  EXPECT_EQ(CountIn(x, b, 0), 1);
  EXPECT_FALSE(projection->ProjectedFaces()[0].done);
  ASSERT_TRUE(projection->PrepareBand(b, b + 1));
  EXPECT_EQ(projection->BandFirstRow(), b);
  EXPECT_EQ(CountIn(x, b, 0), 1);
  EXPECT_TRUE(projection->ProjectedFaces()[0].done);
  // Done faces are skipped from then on, whatever band is asked for.
  ASSERT_TRUE(projection->PrepareBand(0, b + 1));
  EXPECT_EQ(CountIn(x, b, 0), 0);
}

// Signed distance in pixels of screen point (x, y) from the screen triangle
// of face f: positive inside.
double InsideBy(const CScreenProjection& projection, const RenderMeshEntry& mesh, int f, double x, double y) {
  TK_Xform world_to_screen;
  EXPECT_TRUE(projection.GetXform(TK::world, TK::screen, world_to_screen));
  TK_3dPoint s[3];
  for (int k = 0; k < 3; ++k) {
    const TK_3fPoint& v = mesh.Mesh().m_V[std::size_t(mesh.Mesh().m_F[std::size_t(f)].vi[k])];
    s[k] = world_to_screen * TK_3dPoint(v.x, v.y, v.z);
  }
  const double area = (s[1].x - s[0].x) * (s[2].y - s[0].y) - (s[1].y - s[0].y) * (s[2].x - s[0].x);
  double inside = 1e300;
  for (int k = 0; k < 3; ++k) {
    const TK_3dPoint &p = s[k], &q = s[(k + 1) % 3];
    const double cross = (q.x - p.x) * (y - p.y) - (q.y - p.y) * (x - p.x);
    inside = std::min(inside, (area > 0 ? cross : -cross) / std::hypot(q.x - p.x, q.y - p.y));
  }
  return inside;
}

TEST_F(BandTest, CellsHoldTheFacesThatMayMeetTheirPointAndKeepTheirRoom) {
  ASSERT_TRUE(projection->PrepareBand(0, 17));
  EXPECT_EQ(projection->BandRows(), 17);
  int filed = 0, left_out = 0;
  for (int y = 0; y < 17; ++y)
    for (int x = 0; x < 64; ++x) {
      const PixelCell& cell = projection->Cell(x, y);
      for (int f = 0; f < 3; ++f) {
        // Filed where its rectangle covers the cell and the cell's point
        // lies inside its screen triangle; left out well outside it.
        const RECT& r = projection->ProjectedFaces()[f].rect;
        const bool in_rect = x >= r.left && x <= r.right && y >= r.top && y <= r.bottom;
        const double inside = InsideBy(*projection, *scene.meshes[0], f, x, y);
        if (!in_rect || inside < -0.05) {
          EXPECT_EQ(CountIn(x, y, f), 0) << x << "," << y;
        } else if (inside >= 0) {
          EXPECT_EQ(CountIn(x, y, f), 1) << x << "," << y;
        }
        filed += in_rect && inside >= 0;
        left_out += in_rect && inside < -0.05;
      }
      if (x == 0 && y == 0) {
        EXPECT_EQ(cell.Count(), 0);  // a corner no face reaches
      }
    }
  EXPECT_GE(filed, 2);
  EXPECT_GE(left_out, 2);  // the rectangles' corners beside the triangles
  const long long room = projection->CellCapacityTotal();
  EXPECT_GT(room, 0);
  ASSERT_TRUE(projection->PrepareBand(16, 17));
  EXPECT_GE(projection->CellCapacityTotal(), room);
  // A taller band than the grid was made for is refused.
  EXPECT_FALSE(projection->PrepareBand(0, 18));
}

TEST_F(BandTest, TheLastBandIsCutAtTheBottom) {
  const RECT bottom_face = projection->ProjectedFaces()[2].rect;
  ASSERT_GE(bottom_face.bottom, 47);  // reaches past the image's last row
  ASSERT_TRUE(projection->PrepareBand(40, 17));
  EXPECT_EQ(projection->BandFirstRow(), 40);
  EXPECT_EQ(projection->BandRows(), 8);
  const int x = 32;
  EXPECT_EQ(CountIn(x, 47, 2), 1);
  EXPECT_FALSE(projection->ProjectedFaces()[2].done);
  // Bands that start outside the image are refused and leave the cells empty.
  EXPECT_FALSE(projection->PrepareBand(48, 17));
  EXPECT_FALSE(projection->PrepareBand(-1, 17));
}

TEST_F(BandTest, AbortEndsListingAndFilling) {
  abort = true;
  EXPECT_FALSE(projection->ProjectFaces());
  EXPECT_FALSE(projection->PrepareBand(0, 17));
  abort = false;
  ASSERT_TRUE(projection->ProjectFaces());
  EXPECT_TRUE(projection->PrepareBand(0, 17));
}

TEST_F(ScreenProjectionTest, NoGridWithoutABandOfRows) {
  const TK_BoundingBox box({-1, -1, -1}, {1, 1, 1});
  auto projection = CScreenProjection::Create(Camera({0, 0, 10}, {0, 0, -1}), 8, 8, &abort, &box);
  ASSERT_NE(projection, nullptr);
  EXPECT_FALSE(projection->PrepareBand(0, 0));
  EXPECT_EQ(projection->CellCapacityTotal(), 0);
  EXPECT_TRUE(projection->PrepareBand(0, 3));
}

}  // namespace

namespace {

// Hit gathering passes over faces whose screen triangle lies well away from
// the pixel point: it must find exactly the hits the exact test finds over
// the whole cell, for tiny, huge, edge-on and near-plane-crossing faces,
// and for a grid whose vertices fall on pixel points (rays through shared
// vertices and edges).
TEST_F(ScreenProjectionTest, GatheringFindsExactlyTheHitsOfTheFullTestOverTheCell) {
  Scene scene;
  std::mt19937 random(61206);
  std::uniform_real_distribution<float> coordinate(-6, 6), small(-0.05f, 0.05f);
  std::vector<TK_3fPoint> faces;
  for (int i = 0; i < 300; ++i) {
    const TK_3fPoint centre(coordinate(random), coordinate(random), coordinate(random) - 8);
    for (int k = 0; k < 3; ++k)
      faces.push_back(i % 3 ? TK_3fPoint(centre.x + small(random), centre.y + small(random), centre.z + small(random))
                            : TK_3fPoint(coordinate(random), coordinate(random), coordinate(random) - 8));
  }
  // Edge-on to the eye, one reaching behind the camera, and a floor whose
  // near corners project some 65,000 pixels away.
  faces.insert(faces.end(), {{0, -2, -4}, {0, 2, -4}, {0, 0, -12}, {-1, -1, 5}, {1, -1, -5}, {0, 2, -5},
                             {-4500, -1.5f, -4}, {4500, -1.5f, -4}, {0, -1.5f, -3000}});
  scene.Add(faces);
  // A 8 x 8 grid at depth 10 whose vertices project onto pixel points of the
  // 64 x 64 image (the view's half-width at depth 10 is 10 * tan(0.5)).
  const float step = float(10 * std::tan(0.5) * 2 / 64 * 4);
  std::vector<TK_3fPoint> grid;
  for (int j = 0; j < 8; ++j)
    for (int i = 0; i < 8; ++i) {
      const TK_3fPoint a(step * float(i - 4), step * float(j - 4), -10), b(a.x + step, a.y, -10),
          c(a.x + step, a.y + step, -10), d(a.x, a.y + step, -10);
      grid.insert(grid.end(), {a, b, c, a, c, d});
    }
  scene.Add(grid);
  TK_Viewport camera = Camera({0, 0, 0}, {0, 0, -1});
  ASSERT_TRUE(camera.SetCameraAngle(0.5));
  const int size = 64;
  auto projection = CScreenProjection::Create(camera, size, size, &abort, &scene.box);
  ASSERT_NE(projection, nullptr);
  scene.AddTo(*projection);
  ASSERT_TRUE(projection->ProjectFaces());
  ASSERT_TRUE(projection->PrepareBand(0, size));

  TK_SimpleArray<HitRecord> hits;
  int total = 0, shared = 0;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      std::multiset<std::pair<int, int>> expected;
      for (const FaceRef& ref : projection->Cell(x, y))
        if (RayHits(*projection, *scene.meshes[std::size_t(ref.mesh_index)], ref.mesh_index, ref.face_index, x, y))
          expected.insert({ref.mesh_index, ref.face_index});
      const int count = projection->GatherHits(y, x, hits, true);
      std::multiset<std::pair<int, int>> found;
      for (const HitRecord& hit : hits) found.insert({hit.mesh_index, hit.face_index});
      EXPECT_EQ(found, expected) << x << ", " << y;
      total += count;
      int on_grid = 0;
      for (const auto& [mesh, face] : expected) on_grid += mesh == 1;
      shared += on_grid > 1;
    }
  EXPECT_GT(total, 1000);
  EXPECT_GT(shared, 30);  // rays through the grid's shared vertices and edges meet several of its faces
}

}  // namespace

namespace {

// Band after band, as the single-sample loop asks for them, every cell holds
// exactly the listed faces whose rectangle covers it and whose screen
// triangle may hold its point: a sphere of thousands of faces, many of them
// spanning two bands.
TEST_F(ScreenProjectionTest, EveryBandFilesEveryFaceOfTheRowsItHolds) {
  Scene scene;
  std::vector<TK_3fPoint> sphere;
  const int rings = 24, segments = 48;
  auto at = [](int ring, int segment) {
    const double theta = M_PI * ring / rings, phi = 2 * M_PI * segment / segments;
    return TK_3fPoint(float(std::sin(theta) * std::cos(phi)), float(std::cos(theta)),
                      float(std::sin(theta) * std::sin(phi)));
  };
  for (int r = 0; r < rings; ++r)
    for (int s = 0; s < segments; ++s)
      sphere.insert(sphere.end(), {at(r, s), at(r + 1, s), at(r + 1, s + 1), at(r, s), at(r + 1, s + 1), at(r, s + 1)});
  scene.Add(sphere);
  const int w = 320, h = 240, b = 16;
  auto projection = CScreenProjection::Create(Camera({0, 0, 3}, {0, 0, -1}), w, h, &abort, &scene.box);
  ASSERT_NE(projection, nullptr);
  scene.AddTo(*projection);
  ASSERT_TRUE(projection->ProjectFaces());
  ASSERT_GT(projection->ProjectedFaces().Count(), 2000);
  int checked = 0;
  for (int y = 0; y < h; y += b) {
    ASSERT_TRUE(projection->PrepareBand(std::max(y - 1, 0), b + 1));
    for (int row = projection->BandFirstRow(); row < projection->BandFirstRow() + projection->BandRows(); ++row)
      for (int x = 0; x < w; ++x) {
        int expected = 0;
        for (const ProjectedFace& f : projection->ProjectedFaces())
          expected += x >= f.rect.left && x <= f.rect.right && row >= f.rect.top && row <= f.rect.bottom &&
                      !f.triangle.Excludes(x, row, 1.0f / 32);
        ASSERT_EQ(projection->Cell(x, row).Count(), expected) << x << ", " << row;
        checked += expected;
      }
  }
  EXPECT_GT(checked, 10000);
}

}  // namespace
