// Shadow maps drawn with the machine's real OpenGL (Mesa's software
// rasteriser where there is no GPU): the stored inverse distances, the
// shadow a box casts on a floor compared with the geometry's own outline,
// transparency, and the lookup's window at borders, corners and behind the
// light.

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <deque>
#include <memory>
#include <vector>

#include "engine/SceneLights.h"
#include "settings/RenderMaterial.h"
#include "shading/HitRecord.h"
#include "shading/MaterialEntry.h"
#include "shading/RenderMeshEntry.h"
#include "shadows/PixelFormatCatalogue.h"
#include "shadows/ShadowMap.h"
#include "support/SquareMesh.h"

namespace {

// An axis-aligned box of half side `half` standing on z = 0, height `height`.
TK_Mesh Box(double half, double height) {
  TK_Mesh mesh;
  int v = 0;
  for (const double z : {0.0, height})
    for (const auto& [x, y] : {std::pair{-half, -half}, {half, -half}, {half, half}, {-half, half}})
      mesh.SetVertex(v++, TK_3dPoint(x, y, z));
  const int faces[6][4] = {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4}, {1, 2, 6, 5}, {2, 3, 7, 6}, {3, 0, 4, 7}};
  for (int f = 0; f < 6; ++f) mesh.SetQuad(f, faces[f][0], faces[f][1], faces[f][2], faces[f][3]);
  return mesh;
}

TK_3dVector UnitVector(TK_3dVector v) {
  v.Unitize();
  return v;
}

// A spot light at `location` looking straight down, as scene setup makes
// its camera.
TK_Viewport DownwardLightCamera(const TK_3dPoint& location, double half_angle_degrees, const TK_BoundingBox& box,
                                double& far) {
  TK_Light light;
  light.SetStyle(TK::spot_light);
  light.SetLocation(location);
  light.SetDirection({0, 0, -1});
  light.SetSpotAngleRadians(half_angle_degrees * M_PI / 180);
  return ShadowLightCamera(light, box, far);
}

class ShadowMapTest : public ::testing::Test {
protected:
  void SetUp() override {
    BuildPixelFormatCatalogue();
    if (FindPixelFormat(kGenericBitmap).format_index == 0) GTEST_SKIP() << "no offscreen OpenGL on this machine";
  }

  const RenderMeshEntry& Entry(const TK_Mesh& mesh, double transparency = 0.0) {
    CRenderMaterial& material = materials.emplace_back();
    material.SetTransparency(transparency);
    const MaterialEntry& entry = material_entries.emplace_back(&material);
    entries.push_back(RenderMeshEntry::Create(mesh, &entry));
    box.Union(entries.back()->BoundingBox());
    return *entries.back();
  }

  // A map as scene setup makes it: fitted to the box, then near 0.5 and far
  // twice the distance to the box's far corner.
  std::unique_ptr<ShadowMap> SceneMap(const TK_3dPoint& light, double half_angle_degrees, int size) {
    double far = 0;
    const TK_Viewport camera = DownwardLightCamera(light, half_angle_degrees, box, far);
    std::unique_ptr<ShadowMap> map = ShadowMap::Create(camera, size, size, 0, &abort, &box);
    if (!map) return nullptr;
    EXPECT_TRUE(map->SetNearFar(0.5, 2 * far));
    for (const auto& entry : entries) EXPECT_TRUE(map->AddMesh(entry.get()));
    return map;
  }

  // A hit seen along a horizontal view ray: across the light's direction,
  // so the slope term adds nothing.
  static HitRecord FloorHit(double x, double y, double z = 0.0, TK_3dVector view = {1, 0, 0}) {
    HitRecord hit;
    InitHitRecord(hit);
    hit.point = TK_3dVector(x, y, z);
    hit.ray_direction = view;
    return hit;
  }

  std::atomic<bool> abort{false};
  std::deque<CRenderMaterial> materials;
  std::deque<MaterialEntry> material_entries;
  std::vector<std::unique_ptr<RenderMeshEntry>> entries;
  TK_BoundingBox box;
};

TEST_F(ShadowMapTest, StoresInverseDistancesAndZeroWhereNothingIsSeen) {
  Entry(SquareMesh(0.5, -2.0));
  double far = 0;
  const TK_Viewport camera = DownwardLightCamera({0, 0, 0}, 30, box, far);
  std::unique_ptr<ShadowMap> map = ShadowMap::Create(camera, 64, 64, 0, &abort, &box);
  ASSERT_TRUE(map);
  // A flat box puts far on the square itself, where the depth test would
  // lose it: room on both sides.
  ASSERT_TRUE(map->SetNearFar(0.5, 4.0));
  ASSERT_TRUE(map->AddMesh(entries[0].get()));
  ASSERT_TRUE(map->Build());
  const std::uint16_t* depth = map->DepthImage();
  // The square (seen under about 14 degrees) covers the middle; the
  // corners of the 30-degree map see nothing.
  EXPECT_EQ(depth[32 * 64 + 32], 32767);
  EXPECT_EQ(depth[0], 0);
  EXPECT_EQ(depth[63 * 64 + 63], 0);
  // Off-axis pixels see the plane farther away: 65535 / distance along
  // their own ray, to the depth buffer's precision.
  TK_Xform screen_to_world;
  ASSERT_TRUE(map->GetXform(TK::screen, TK::world, screen_to_world));
  for (const int x : {24, 40}) {
    const TK_3dPoint near = screen_to_world * TK_3dPoint(x, 40, 0.0);
    const TK_3dVector ray = near - TK_3dPoint(0, 0, 0);
    const double distance = ray.Length() * (2.0 / -ray.z);
    EXPECT_NEAR(depth[40 * 64 + x], 65535 / distance, 2.0) << x;
  }

  // Half a unit from the light, nearer than 1: the largest value.
  entries.clear();
  box = TK_BoundingBox();
  Entry(SquareMesh(0.5, -0.5));
  std::unique_ptr<ShadowMap> close = ShadowMap::Create(DownwardLightCamera({0, 0, 0}, 30, box, far), 16, 16, 0,
                                                       &abort, &box);
  ASSERT_TRUE(close);
  ASSERT_TRUE(close->SetNearFar(0.25, 1.0));
  ASSERT_TRUE(close->AddMesh(entries[0].get()));
  ASSERT_TRUE(close->Build());
  EXPECT_EQ(close->DepthImage()[8 * 16 + 8], 65535);
}

TEST_F(ShadowMapTest, ABoxCastsTheShadowItsOutlineGivesOnTheFloor) {
  const double half = 1.0, height = 3.0, light_height = 10.0;
  Entry(SquareMesh(4, 0));
  Entry(Box(half, height));
  std::unique_ptr<ShadowMap> map = SceneMap({0, 0, light_height}, 45, 256);
  ASSERT_TRUE(map);
  ASSERT_TRUE(map->Build());
  ASSERT_TRUE(map->IsBuilt());

  // From a light straight above the box, the floor's shadow is the top
  // face's square scaled out from the light.
  const double edge = half * light_height / (light_height - height);
  // One map pixel spans 2 * 10 * tan(45) / 256 = 0.08 floor units; the
  // 3 x 3 window reaches 1.5 pixels beyond the hit's: stay 0.25 clear.
  const double margin = 0.25;
  const TK_3dPoint eye(12, -12, 8);
  int checked = 0, partial = 0;
  for (double y = -3.0; y <= 3.0; y += 0.05)
    for (double x = -3.0; x <= 3.0; x += 0.05) {
      const double reach = std::max(std::fabs(x), std::fabs(y));
      if (reach < half + 0.01) continue;  // under the box: the floor is not seen there
      const double lit = map->LitFraction(FloorHit(x, y, 0, UnitVector(TK_3dPoint(x, y, 0) - eye)), 9);
      if (reach < edge - margin) {
        EXPECT_EQ(lit, 0.0) << x << ", " << y;
        ++checked;
      } else if (reach > edge + margin) {
        EXPECT_EQ(lit, 1.0) << x << ", " << y;
        ++checked;
      } else {
        EXPECT_EQ(lit * 9, std::round(lit * 9));
        partial += lit > 0 && lit < 1;
      }
    }
  EXPECT_GT(checked, 10000);
  EXPECT_GT(partial, 10);  // the border is soft, in steps of 1/9
  // The box's top sees the light.
  EXPECT_EQ(map->LitFraction(FloorHit(0.1, 0.1, height, UnitVector(TK_3dPoint(0.1, 0.1, height) - eye)), 81), 1.0);
}

TEST_F(ShadowMapTest, OnlyAFullyTransparentMaterialCastsNoShadow) {
  Entry(SquareMesh(3, 0));
  Entry(SquareMesh(1, 1), 1.0);
  std::unique_ptr<ShadowMap> clear = SceneMap({0, 0, 4}, 45, 64);
  ASSERT_TRUE(clear && clear->Build());
  EXPECT_EQ(clear->LitFraction(FloorHit(0, 0), 9), 1.0);

  materials[1].SetTransparency(0.99);
  std::unique_ptr<ShadowMap> glass = SceneMap({0, 0, 4}, 45, 64);
  ASSERT_TRUE(glass && glass->Build());
  EXPECT_EQ(glass->LitFraction(FloorHit(0, 0), 9), 0.0);
  EXPECT_EQ(glass->LitFraction(FloorHit(0, 0), 81), 0.0);
  // Seen from straight above, the slope term moves the plate 2 units away
  // from the light, beyond the floor 1 unit below it: no shadow then.
  EXPECT_EQ(glass->LitFraction(FloorHit(0, 0, 0, {0, 0, -1}), 9), 1.0);
}

TEST_F(ShadowMapTest, TheWindowCountsSamplesOffTheMapAsShadowed) {
  Entry(SquareMesh(3, 0));
  std::unique_ptr<ShadowMap> map = SceneMap({0, 0, 4}, 30, 32);
  ASSERT_TRUE(map);
  // Not built: shadows nothing.
  EXPECT_EQ(map->LitFraction(FloorHit(0, 0), 9), 1.0);
  ASSERT_TRUE(map->Build());
  EXPECT_EQ(map->LitFraction(FloorHit(0, 0), 9), 1.0);

  // A floor point that projects onto the corner pixel (0, 0) keeps 4 of its
  // 9 samples on the map, and 25 of 81.
  TK_Xform screen_to_world;
  ASSERT_TRUE(map->GetXform(TK::screen, TK::world, screen_to_world));
  const TK_3dPoint light(0, 0, 4);
  const TK_3dPoint corner_ray = screen_to_world * TK_3dPoint(0.5, 0.5, 0.5);
  TK_3dVector along = corner_ray - light;
  const TK_3dPoint on_floor = light + along * (-4.0 / along.z);
  const HitRecord corner = FloorHit(on_floor.x, on_floor.y);
  EXPECT_EQ(map->LitFraction(corner, 9), 4.0 / 9);
  EXPECT_EQ(map->LitFraction(corner, 81), 25.0 / 81);
  // Beyond the map's edge, and between the light and the map's near plane
  // (fitted to the floor, the nearest part of the scene): nothing is found.
  EXPECT_EQ(map->LitFraction(FloorHit(on_floor.x * 1.5, on_floor.y * 1.5), 9), 0.0);
  EXPECT_EQ(map->LitFraction(FloorHit(0, 0, 3.8), 9), 0.0);
  int x = -1, y = -1;
  EXPECT_FALSE(map->ProjectToMap(TK_3dPoint(0, 0, 3.8), TK_3dVector(0, 0, 1), x, y));
  EXPECT_FALSE(map->ProjectToMap(TK_3dPoint(0, 0, 0), TK_3dVector(1, 0, 0), x, y));  // parallel to the plane
  ASSERT_TRUE(map->ProjectToMap(TK_3dPoint(0, 0, 0), TK_3dVector(0, 0, 1), x, y));
  EXPECT_EQ(x, 16);
  EXPECT_EQ(y, 16);
}

TEST_F(ShadowMapTest, ANegativeOffsetShadowsSurfacesThatSeeTheLight) {
  Entry(SquareMesh(3, 0));
  std::unique_ptr<ShadowMap> map = SceneMap({0, 0, 4}, 30, 32);
  ASSERT_TRUE(map && map->Build());
  EXPECT_EQ(map->LitFraction(FloorHit(0, 0), 9), 1.0);
  // The floor itself, 4 away, against a bias of -0.1 in inverse distance.
  map->SetDepthBias(-0.1);
  EXPECT_EQ(map->LitFraction(FloorHit(0, 0), 9), 0.0);
}

TEST_F(ShadowMapTest, AnAbortDuringTheBuildKeepsNoImage) {
  Entry(SquareMesh(3, 0));
  std::unique_ptr<ShadowMap> map = SceneMap({0, 0, 4}, 30, 32);
  ASSERT_TRUE(map);
  abort = true;
  EXPECT_FALSE(map->Build());
  EXPECT_FALSE(map->IsBuilt());
  EXPECT_EQ(map->LitFraction(FloorHit(0, 0), 9), 1.0);
}

TEST(ShadowMapCreate, RefusesAMapWithoutPixels) {
  std::atomic<bool> abort{false};
  TK_Viewport camera;
  EXPECT_FALSE(ShadowMap::Create(camera, 0, 0, 0, &abort, nullptr));
  EXPECT_FALSE(ShadowMap::Create(camera, 16, 16, 0, nullptr, nullptr));
  const std::unique_ptr<ShadowMap> map = ShadowMap::Create(camera, 16, 16, 3, &abort, nullptr);
  ASSERT_TRUE(map);
  EXPECT_EQ(map->LightIndex(), 3);
  EXPECT_EQ(map->DepthBias(), ShadowMap::kDefaultDepthBias);
  EXPECT_FALSE(map->IsBuilt());
}

}  // namespace
