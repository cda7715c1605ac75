// The screen projection index: bands of cells, and gathering against the full test.

#include "engine/ScreenProjection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <set>
#include <utility>

#include "shading/HitRecord.h"
#include "shading/MaterialEntry.h"
#include "shading/RenderMeshEntry.h"

namespace {

TK_Viewport Camera(TK_3dPoint location, TK_3dVector direction) {
  TK_Viewport camera;
  camera.SetCameraLocation(location);
  camera.SetCameraDirection(direction);
  camera.SetCameraUp({0, 1, 0});
  return camera;
}

// Meshes of loose triangles with their materials, kept alive together.
struct Scene {
  std::unique_ptr<MaterialEntry> two_sided = std::make_unique<MaterialEntry>(std::make_unique<CRenderMaterial>());
  std::unique_ptr<MaterialEntry> one_sided = [] {
    auto material = std::make_unique<CRenderMaterial>();
    material->m_two_sided = false;
    return std::make_unique<MaterialEntry>(std::move(material));
  }();
  std::unique_ptr<MaterialEntry> see_through = [] {
    auto material = std::make_unique<CRenderMaterial>();
    material->SetTransparency(0.5);
    return std::make_unique<MaterialEntry>(std::move(material));
  }();
  std::vector<std::unique_ptr<RenderMeshEntry>> meshes;
  TK_BoundingBox box;
  std::atomic<bool> abort{false};

  void Add(const std::vector<TK_3fPoint>& triangles, bool one_sided_material = false, bool textured = false,
           const MaterialEntry* material = nullptr) {
    TK_Mesh mesh;
    if (textured) mesh.m_T.assign(triangles.size(), TK_2fPoint(0.25f, 0.5f));
    for (int i = 0; i < int(triangles.size()); ++i) mesh.SetVertex(i, triangles[std::size_t(i)]);
    for (int f = 0; 3 * f < int(triangles.size()); ++f) mesh.SetTriangle(f, 3 * f, 3 * f + 1, 3 * f + 2);
    if (!material) material = one_sided_material ? one_sided.get() : two_sided.get();
    meshes.push_back(RenderMeshEntry::Create(mesh, material));
    ASSERT_NE(meshes.back(), nullptr);
    box.Union(meshes.back()->BoundingBox());
  }
  std::unique_ptr<CScreenProjection> Project(const TK_Viewport& camera, int width, int height) {
    auto projection = CScreenProjection::Create(camera, width, height, &abort, &box);
    EXPECT_NE(projection, nullptr);
    if (!projection) return nullptr;
    for (const auto& mesh : meshes) EXPECT_TRUE(projection->AddMesh(mesh.get()));
    EXPECT_TRUE(projection->ProjectFaces());
    return projection;
  }
  // Whether the ray through pixel (x, y) hits the face, by the full test.
  bool RayHits(const CScreenProjection& projection, int mesh_index, int face, double x, double y) const {
    PixelRayRecord ray;
    if (!projection.Camera().PixelRay(x, y, ray)) return false;
    const RenderMeshEntry& mesh = *meshes[std::size_t(mesh_index)];
    HitRecord record;
    InitHitRecord(record);
    record.ray_origin = ray.origin;
    record.ray_direction = ray.direction;
    record.mesh_index = mesh_index;
    record.face_index = face;
    record.material = mesh.Material();
    return mesh.IntersectFace(record);
  }
};

int CountIn(PixelCell cell, int mesh, int face) {
  return int(std::count_if(cell.begin(), cell.end(), [&](const FaceRef& r) { return r.mesh_index == mesh && r.face_index == face; }));
}

// Band after band, as the single-sample loop asks for them, gathering finds
// exactly the faces the full test over every face hits: tiny, huge, edge-on,
// near-plane-crossing, one-sided and half-transparent faces, and a grid
// whose vertices fall on pixel points (rays through shared vertices and
// edges); each is a fresh record (the grid has no texture coordinates and
// must not carry the faces'). Sorted, the hits come nearest first, and the
// list is the full one but where its first hit is opaque: then it may end
// early, but with that same first hit.
TEST(ScreenProjection, GatheringFindsExactlyTheHitsOfTheFullTestOverEveryFace) {
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
  scene.Add(faces, false, true);
  // An 8 x 8 grid at depth 10 whose vertices project onto pixel points of
  // the 64 x 64 image (the view's half-width at depth 10 is 10 * tan(0.5)).
  const float step = float(10 * std::tan(0.5) * 2 / 64 * 4);
  std::vector<TK_3fPoint> grid;
  for (int j = 0; j < 8; ++j)
    for (int i = 0; i < 8; ++i) {
      const TK_3fPoint a(step * float(i - 4), step * float(j - 4), -10), b(a.x + step, a.y, -10),
          c(a.x + step, a.y + step, -10), d(a.x, a.y + step, -10);
      grid.insert(grid.end(), {a, b, c, a, c, d});
    }
  scene.Add(grid);
  scene.Add(std::vector<TK_3fPoint>(faces.rbegin(), faces.rend()), true);
  std::vector<TK_3fPoint> panes;  // in front of some faces, behind others
  for (std::size_t i = 0; i + 2 < faces.size(); i += 6)
    for (std::size_t k = i; k < i + 3; ++k) panes.push_back(TK_3fPoint(faces[k].x, faces[k].y, faces[k].z + 1.5f));
  scene.Add(panes, false, false, scene.see_through.get());
  TK_Viewport camera = Camera({0, 0, 0}, {0, 0, -1});
  ASSERT_TRUE(camera.SetCameraAngle(0.5));
  const int size = 64;
  auto projection = scene.Project(camera, size, size);
  ASSERT_NE(projection, nullptr);
  // Tiny faces between the pixel points are in view but not listed.
  EXPECT_GT(projection->FacesInView(), (long long)projection->ProjectedFaces().size() + 20);
  std::vector<HitRecord> hits, sorted;
  int total = 0, shared = 0, cut_short = 0, see_through_first = 0;
  // Bands of 5, 1, 2, 3 and 4 rows in turn: each row is a band's first, last or middle row somewhere.
  for (int y = 0, next = 0, rows = 5; y < size; ++y) {
    if (y == next) {
      ASSERT_TRUE(projection->PrepareBand(y, rows)) << y;
      next += rows;
      rows = rows % 5 + 1;
    }
    for (int x = 0; x < size; ++x) {
      std::multiset<std::pair<int, int>> expected;
      for (int m = 0; m < int(scene.meshes.size()); ++m)
        for (int f = 0; f < scene.meshes[std::size_t(m)]->FaceCount(); ++f)
          if (scene.RayHits(*projection, m, f, x, y)) expected.insert({m, f});
      const int count = projection->GatherHits(x, y, hits, false);
      ASSERT_EQ(std::size_t(count), hits.size());
      std::multiset<std::pair<int, int>> found;
      for (const HitRecord& hit : hits) {
        found.insert({hit.mesh_index, hit.face_index});
        EXPECT_TRUE(hit.mesh_index != 1 || hit.texture_coordinates[0].x == 0.0f);
      }
      EXPECT_EQ(found, expected) << x << ", " << y;

      projection->GatherHits(x, y, sorted, true);
      SortHitsNearestFirst(hits);
      const auto same = [](const HitRecord& a, const HitRecord& b) {
        return a.mesh_index == b.mesh_index && a.face_index == b.face_index && a.depth == b.depth;
      };
      const bool opaque_first = !hits.empty() && hits[0].material->AlwaysOpaque();
      if (opaque_first) {
        ASSERT_FALSE(sorted.empty()) << x << ", " << y;
        EXPECT_TRUE(same(sorted[0], hits[0])) << x << ", " << y;
        EXPECT_TRUE(std::is_sorted(sorted.begin(), sorted.end(), [](auto& a, auto& b) { return a.depth < b.depth; }));
        cut_short += sorted.size() < hits.size();
      } else {
        EXPECT_TRUE(std::equal(sorted.begin(), sorted.end(), hits.begin(), hits.end(), same)) << x << ", " << y;
        see_through_first += !hits.empty() && hits.size() > 1;
      }
      total += count;
      shared += std::count_if(expected.begin(), expected.end(), [](const auto& hit) { return hit.first == 1; }) > 1;
    }
  }
  EXPECT_GT(cut_short, 50);          // hits behind an opaque first one left out
  EXPECT_GT(see_through_first, 20);  // a half-transparent first hit keeps the whole list
  EXPECT_GT(total, 1000);
  EXPECT_GT(shared, 30);  // rays through the grid's shared vertices and edges meet several of its faces
}

// Far from the origin single-precision planes are coarse (a scene 300,000 units out, seen from
// half a unit away): at every resolution gathering still finds every hit of the full test.
TEST(ScreenProjection, FarFromTheOriginGatheringStillFindsEveryHitOfTheFullTest) {
  Scene scene;
  std::mt19937 random(7);
  std::uniform_real_distribution<float> offset(-0.3f, 0.3f);
  const TK_3fPoint centre(300000.0f, -300000.0f, 0.0f);
  std::vector<TK_3fPoint> faces;
  for (int i = 0; i < 3 * 150; ++i)
    faces.push_back(TK_3fPoint(centre.x + offset(random), centre.y + offset(random), centre.z - 0.5f + offset(random)));
  scene.Add(faces);
  for (const int size : {32, 64, 128}) {
    auto projection = scene.Project(Camera({centre.x, centre.y, centre.z}, {0, 0, -1}), size, size);
    ASSERT_NE(projection, nullptr);
    ASSERT_TRUE(projection->PrepareBand(0, size));
    std::vector<HitRecord> hits;
    int missing = 0, total = 0;
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x) {
        std::multiset<std::pair<int, int>> expected, found;
        for (int f = 0; f < scene.meshes[0]->FaceCount(); ++f)
          if (scene.RayHits(*projection, 0, f, x, y)) expected.insert({0, f});
        for (int i = 0, n = projection->GatherHits(x, y, hits, false); i < n; ++i)
          found.insert({hits[std::size_t(i)].mesh_index, hits[std::size_t(i)].face_index});
        missing += found != expected;
        total += int(expected.size());
      }
    EXPECT_EQ(missing, 0) << size << " pixels wide";
    EXPECT_GT(total, size * size) << size;
  }
}

// Bands of a 64 x 48 image over two faces in its upper part and one over
// its bottom rows: a row two bands share is filed by both, and only then is
// the face done; the last band is cut at the bottom; aborts and bands
// outside the image are refused.
// Ten thousand stacked opaque triangles: a sample's full list keeps only
// the nearest 4096, sorted, in bounded memory; its list for shading keeps
// the nearest alone.
TEST(ScreenProjection, ASampleKeepsOnlyItsNearestHits) {
  Scene scene;
  std::vector<TK_3fPoint> stack;
  const int layers = 10000;
  for (int i = layers - 1; i >= 0; --i) {  // farthest first: the nearest come last
    const float z = -2.0f - 0.001f * float(i);
    stack.insert(stack.end(), {{-50, -50, z}, {50, -50, z}, {0, 50, z}});
  }
  scene.Add(stack);
  auto projection = scene.Project(Camera({0, 0, 0}, {0, 0, -1}), 8, 8);
  ASSERT_NE(projection, nullptr);
  ASSERT_TRUE(projection->PrepareBand(0, 8));
  std::vector<HitRecord> hits;
  ASSERT_EQ(projection->GatherHits(4, 4, hits, false), int(CScreenProjection::kMaxHitsPerSample));
  EXPECT_TRUE(std::is_sorted(hits.begin(), hits.end(), [](auto& a, auto& b) { return a.depth < b.depth; }));
  // The nearest 4096 layers: the stack's last faces, nearest first.
  EXPECT_EQ(std::pair(hits.front().face_index, hits.back().face_index), std::pair(layers - 1, layers - 4096));
  EXPECT_LE(hits.capacity(), 2 * CScreenProjection::kMaxHitsPerSample);
  ASSERT_EQ(projection->GatherHits(4, 4, hits, true), 1);
  EXPECT_EQ(hits[0].face_index, layers - 1);
}

TEST(ScreenProjection, BandsShareARowCutAtTheBottomAndStopOnAbort) {
  Scene scene;
  scene.Add({{-1, 0, 0}, {1, 0, 0}, {0, 2, 0}, {-3, 0.5f, 0}, {-2, 0.5f, 0}, {-2.5f, 1, 0}, {-1, -5.5f, 0},
             {1, -5.5f, 0}, {0, -2, 0}});
  auto projection = scene.Project(Camera({0, 0, 10}, {0, 0, -1}), 64, 48);
  ASSERT_NE(projection, nullptr);
  ASSERT_EQ(projection->ProjectedFaces().size(), 3u);
  const RECT r = projection->ProjectedFaces()[0].rect;
  const int b = r.bottom, x = (r.left + r.right) / 2;  // the first band's last row is the face's last row
  ASSERT_GE(b, 2);
  ASSERT_TRUE(projection->PrepareBand(0, b + 1));
  EXPECT_EQ(CountIn(projection->Cell(x, b), 0, 0), 1);
  EXPECT_TRUE(projection->Cell(0, 0).empty());  // a corner no face reaches
  const long long room = projection->CellCapacityTotal();
  ASSERT_TRUE(projection->PrepareBand(b, b + 1));
  EXPECT_EQ(CountIn(projection->Cell(x, b), 0, 0), 1);
  EXPECT_GE(projection->CellCapacityTotal(), room);  // cells keep their room
  ASSERT_TRUE(projection->PrepareBand(0, b + 1));
  EXPECT_EQ(CountIn(projection->Cell(x, b), 0, 0), 0);  // done faces are skipped from then on

  ASSERT_GE(projection->ProjectedFaces()[2].rect.bottom, 47);  // reaches past the image's last row
  ASSERT_TRUE(projection->PrepareBand(48 - b, b + 1));
  EXPECT_EQ(projection->BandRows(), b);
  EXPECT_EQ(CountIn(projection->Cell(32, 47), 0, 2), 1);
  for (auto [first, count] : {std::pair{48, b}, std::pair{-1, b}, std::pair{0, 0}, std::pair{0, b + 2}})
    EXPECT_FALSE(projection->PrepareBand(first, count)) << first << " " << count;  // b + 2: taller than the grid
  scene.abort = true;
  EXPECT_FALSE(projection->ProjectFaces());
  EXPECT_FALSE(projection->PrepareBand(0, b));
}

// Exact copies of a face (same indices, same order) are filed only as often as they can show:
// once behind an opaque material, up to the hits a sample keeps for a see-through one. The
// same corners in another order are another face.
TEST(ScreenProjection, CopiesOfAFaceAreFiledOnlyAsOftenAsTheyCanShow) {
  for (const double transparency : {0.0, 0.5}) {
    auto material = std::make_unique<CRenderMaterial>();
    material->SetTransparency(transparency);
    const MaterialEntry entry(std::move(material));
    TK_Mesh mesh;
    for (const TK_3fPoint& p : {TK_3fPoint(-1, -1, 0), TK_3fPoint(1, -1, 0), TK_3fPoint(0, 1, 0)})
      mesh.SetVertex(mesh.VertexCount(), p);
    const int copies = int(CScreenProjection::kMaxHitsPerSample) + 100;
    for (int f = 0; f < copies; ++f) mesh.SetTriangle(f, 0, 1, 2);
    mesh.SetTriangle(copies, 1, 2, 0);
    const std::unique_ptr<RenderMeshEntry> entry_mesh = RenderMeshEntry::Create(mesh, &entry);
    ASSERT_NE(entry_mesh, nullptr);
    std::atomic<bool> abort{false};
    const TK_BoundingBox box = entry_mesh->BoundingBox();
    auto projection = CScreenProjection::Create(Camera({0, 0, 10}, {0, 0, -1}), 32, 24, &abort, &box);
    ASSERT_NE(projection, nullptr);
    ASSERT_TRUE(projection->AddMesh(entry_mesh.get()) && projection->ProjectFaces());
    EXPECT_EQ(projection->ProjectedFaces().size(), transparency == 0 ? 2u : CScreenProjection::kMaxHitsPerSample + 1)
        << transparency;
  }
}

}  // namespace

// Projected on any number of threads, the list is that of one thread:
// 120,000 faces of 2,000 vertices, a third of them copies of one of the
// hundred faces before (filed once, the material being opaque), wherever
// the runs' borders fall.
TEST(ScreenProjection, AnyNumberOfThreadsListsTheFacesOfOne) {
  std::mt19937 random(11);
  std::uniform_real_distribution<float> at(-4.0f, 4.0f);
  TK_Mesh mesh;
  for (int v = 0; v < 2000; ++v) mesh.SetVertex(v, TK_3fPoint(at(random), at(random), 0.2f * at(random)));
  std::uniform_int_distribution<int> vertex(0, 1999);
  for (int f = 0; f < 120000; ++f) {
    const int earlier = f >= 100 && f % 3 == 0 ? f - std::uniform_int_distribution<int>(1, 100)(random) : -1;
    if (earlier >= 0) {
      const TK_MeshFace& copy = mesh.m_F[std::size_t(earlier)];
      mesh.SetTriangle(f, copy.vi[0], copy.vi[1], copy.vi[2]);
    } else {
      mesh.SetTriangle(f, vertex(random), vertex(random), vertex(random));
    }
  }
  const MaterialEntry material(std::make_unique<CRenderMaterial>());
  const std::unique_ptr<RenderMeshEntry> entry = RenderMeshEntry::Create(mesh, &material);
  ASSERT_NE(entry, nullptr);
  const TK_BoundingBox box = entry->BoundingBox();
  std::atomic<bool> abort{false};
  const auto listed = [&](int threads) {
    auto projection = CScreenProjection::Create(Camera({0, 0, 6}, {0, 0, -1}), 160, 120, &abort, &box);
    EXPECT_TRUE(projection && projection->AddMesh(entry.get()) && projection->ProjectFaces(threads));
    std::vector<std::array<int, 6>> faces;
    for (const ProjectedFace& f : projection->ProjectedFaces())
      faces.push_back({f.face_index, int(f.rect.left), int(f.rect.top), int(f.rect.right), int(f.rect.bottom),
                       f.triangle.valid});
    faces.push_back({int(projection->FacesInView())});
    return std::pair(faces, projection->FacesByTopRow());
  };
  const auto one = listed(1);
  ASSERT_GT(one.first.size(), 50000u);
  ASSERT_LT(one.first.size(), 82000u) << "copies are left out";
  for (const int threads : {2, 3, 7}) EXPECT_TRUE(listed(threads) == one) << threads << " threads";
}
