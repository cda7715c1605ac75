// Shadow maps drawn with the machine's real OpenGL (Mesa's software
// rasteriser where there is no GPU): the stored inverse distances, the
// shadow a box casts compared with its outline, and the lookup's window.

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <deque>

#include "engine/SceneLights.h"
#include "shading/MaterialEntry.h"
#include "shading/RenderMeshEntry.h"
#include "shadows/PixelFormatCatalogue.h"
#include "shadows/ShadowMap.h"
#include "support/SquareMesh.h"

namespace {

// An axis-aligned box of half side `half` standing on z = 0.
TK_Mesh Box(double half, double height) {
  TK_Mesh mesh;
  for (int v = 0; v < 8; ++v)
    mesh.SetVertex(v, TK_3dPoint((v + 1) % 4 < 2 ? -half : half, v % 4 < 2 ? -half : half, v < 4 ? 0 : height));
  const int faces[6][4] = {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4}, {1, 2, 6, 5}, {2, 3, 7, 6}, {3, 0, 4, 7}};
  for (int f = 0; f < 6; ++f) mesh.SetQuad(f, faces[f][0], faces[f][1], faces[f][2], faces[f][3]);
  return mesh;
}

class ShadowMapTest : public ::testing::Test {
protected:
  void SetUp() override {
    BuildPixelFormatCatalogue();
    if (FindPixelFormat(kGenericBitmap).format_index == 0) GTEST_SKIP() << "no offscreen OpenGL on this machine";
  }
  void Add(const TK_Mesh& mesh, double transparency = 0.0) {
    materials.emplace_back().SetTransparency(transparency);
    entries.push_back(RenderMeshEntry::Create(mesh, &material_entries.emplace_back(&materials.back())));
    box.Union(entries.back()->BoundingBox());
  }
  // A spot light looking straight down; near 0.5 and far twice the box's far corner, as scene setup has them.
  std::unique_ptr<ShadowMap> Map(double height, double degrees, int size, double near = 0, double far = 0) {
    TK_Light light;
    light.SetStyle(TK::spot_light);
    light.SetLocation({0, 0, height});
    light.SetSpotAngleRadians(degrees * M_PI / 180);
    double box_far = 0;
    std::unique_ptr<ShadowMap> map =
        ShadowMap::Create(ShadowLightCamera(light, box, box_far), size, size, 0, &abort, &box);
    EXPECT_TRUE(map && map->SetNearFar(near > 0 ? near : 0.5, far > 0 ? far : 2 * box_far));
    for (const auto& entry : entries) EXPECT_TRUE(map && map->AddMesh(entry.get()));
    return map;
  }
  // A hit seen along `view`: across the light's direction by default, so the slope term adds nothing.
  static HitRecord At(double x, double y, double z = 0.0, const TK_3dVector& view = {1, 0, 0}) {
    HitRecord hit;
    InitHitRecord(hit);
    hit.point = TK_3dVector(x, y, z);
    hit.ray_direction = view / view.Length();
    return hit;
  }

  std::atomic<bool> abort{false};
  std::deque<CRenderMaterial> materials;
  std::deque<MaterialEntry> material_entries;
  std::vector<std::unique_ptr<RenderMeshEntry>> entries;
  TK_BoundingBox box;
};

TEST_F(ShadowMapTest, StoresInverseDistancesAndZeroWhereNothingIsSeen) {
  Add(SquareMesh(0.5, -2.0));
  std::unique_ptr<ShadowMap> map = Map(0, 30, 64, 0.5, 4.0);  // room beyond the flat scene
  ASSERT_TRUE(map && map->Build());
  const std::uint16_t* depth = map->DepthImage();
  // The square (about 14 degrees) covers the middle, 2 away; the corners see nothing.
  EXPECT_EQ(std::tuple(depth[32 * 64 + 32], depth[0], depth[63 * 64 + 63]), std::tuple(32767, 0, 0));
  TK_Xform screen_to_world;  // an off-axis pixel sees the plane farther along its own ray
  ASSERT_TRUE(map->GetXform(TK::screen, TK::world, screen_to_world));
  const TK_3dVector ray = screen_to_world * TK_3dPoint(24, 40, 0.0) - TK_3dPoint(0, 0, 0);
  EXPECT_NEAR(depth[40 * 64 + 24], 65535 / (ray.Length() * 2.0 / -ray.z), 2.0);
  entries.clear();
  box = TK_BoundingBox();
  Add(SquareMesh(0.5, -0.5));  // nearer than 1: the largest value
  std::unique_ptr<ShadowMap> close = Map(0, 30, 16, 0.25, 1.0);
  ASSERT_TRUE(close && close->Build() && close->DepthImage()[8 * 16 + 8] == 65535);
}

TEST_F(ShadowMapTest, ABoxCastsTheShadowItsOutlineGivesOnTheFloor) {
  const double half = 1.0, height = 3.0, light = 10.0;
  Add(SquareMesh(4, 0));
  Add(Box(half, height));
  std::unique_ptr<ShadowMap> map = Map(light, 45, 256);
  ASSERT_TRUE(map && map->Build());
  // From straight above, the shadow is the top face scaled out from the light.
  // A map pixel spans 0.08 floor units and the window reaches 1.5 pixels: stay 0.25 clear.
  const double edge = half * light / (light - height), margin = 0.25;
  const TK_3dPoint eye(12, -12, 8);
  int seen[3] = {};  // in the shadow, soft at its edge (partly lit), outside it
  for (double y = -3.0; y <= 3.0; y += 0.05)
    for (double x = -3.0; x <= 3.0; x += 0.05) {
      const double reach = std::max(std::fabs(x), std::fabs(y));
      if (reach < half + 0.01) continue;  // under the box
      const double lit = map->LitFraction(At(x, y, 0, TK_3dPoint(x, y, 0) - eye), 9);
      const int zone = reach < edge - margin ? 0 : reach > edge + margin ? 2 : 1;
      EXPECT_TRUE(zone == 1 || lit == zone / 2.0) << x << ", " << y << ": " << lit;
      EXPECT_EQ(lit * 9, std::round(lit * 9));  // in steps of 1/9
      seen[zone] += zone != 1 || (lit > 0 && lit < 1);
    }
  EXPECT_TRUE(seen[0] > 300 && seen[1] > 10 && seen[2] > 5000) << seen[0] << " " << seen[1] << " " << seen[2];
  EXPECT_EQ(map->LitFraction(At(0.1, 0.1, height, TK_3dPoint(0.1, 0.1, height) - eye), 81), 1.0);  // the top is lit
}

TEST_F(ShadowMapTest, OnlyAFullyTransparentMaterialCastsNoShadow) {
  Add(SquareMesh(3, 0));
  Add(SquareMesh(1, 1), 1.0);
  std::unique_ptr<ShadowMap> clear = Map(4, 45, 64);
  ASSERT_TRUE(clear && clear->Build() && clear->LitFraction(At(0, 0), 9) == 1.0);
  materials[1].SetTransparency(0.99);
  std::unique_ptr<ShadowMap> glass = Map(4, 45, 64);
  ASSERT_TRUE(glass && glass->Build());
  EXPECT_EQ(std::pair(glass->LitFraction(At(0, 0), 9), glass->LitFraction(At(0, 0), 81)), std::pair(0.0, 0.0));
  // Seen from straight above, the slope term moves the plate 2 units away, beyond the floor.
  EXPECT_EQ(glass->LitFraction(At(0, 0, 0, {0, 0, -1}), 9), 1.0);
}

TEST_F(ShadowMapTest, TheWindowCountsSamplesOffTheMapAsShadowedAndAnAbortedBuildNone) {
  Add(SquareMesh(3, 0));
  std::unique_ptr<ShadowMap> map = Map(4, 30, 32);
  ASSERT_TRUE(map);
  EXPECT_EQ(map->LitFraction(At(0, 0), 9), 1.0);  // not built: shadows nothing
  ASSERT_TRUE(map->Build() && map->LitFraction(At(0, 0), 9) == 1.0);
  // A floor point on the corner pixel (0, 0) keeps 4 of its 9 samples on the map, 25 of 81.
  TK_Xform screen_to_world;
  ASSERT_TRUE(map->GetXform(TK::screen, TK::world, screen_to_world));
  const TK_3dVector along = screen_to_world * TK_3dPoint(0.5, 0.5, 0.5) - TK_3dPoint(0, 0, 4);
  const TK_3dVector corner = along * (-4.0 / along.z);
  EXPECT_EQ(std::pair(map->LitFraction(At(corner.x, corner.y), 9), map->LitFraction(At(corner.x, corner.y), 81)),
            std::pair(4.0 / 9, 25.0 / 81));
  // Beyond the map's edge, and between the light and its near plane: nothing is found.
  EXPECT_EQ(map->LitFraction(At(corner.x * 1.5, corner.y * 1.5), 9) + map->LitFraction(At(0, 0, 3.8), 9), 0.0);
  int x = -1, y = -1;
  EXPECT_FALSE(map->ProjectToMap(TK_3dPoint(0, 0, 0), TK_3dVector(1, 0, 0), x, y));  // parallel to the plane
  EXPECT_TRUE(map->ProjectToMap(TK_3dPoint(0, 0, 0), TK_3dVector(0, 0, 1), x, y) && x == 16 && y == 16);
  map->SetDepthBias(-0.1);  // a negative offset shadows the floor itself, 4 away
  EXPECT_EQ(map->LitFraction(At(0, 0), 9), 0.0);
  abort = true;  // an aborted build keeps no image and shadows nothing
  EXPECT_TRUE(!map->Build() && !map->IsBuilt() && map->LitFraction(At(0, 0), 9) == 1.0);
  EXPECT_FALSE(ShadowMap::Create(TK_Viewport(), 0, 0, 0, &abort, nullptr) ||
               ShadowMap::Create(TK_Viewport(), 16, 16, 0, nullptr, nullptr));
}

}  // namespace
