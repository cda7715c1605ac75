// Gathering the scene and what setup makes of it.

#include "tests/engine/RenderHarness.h"

#include <cmath>
#include <limits>
#include <tuple>

#include "engine/SceneLights.h"
#include "engine/WallpaperBackground.h"
#include "support/SquareMesh.h"
#include "support/TempDir.h"

namespace {

using SceneSetupTest = RenderFixture;

TK_Material Coloured(int red) {
  TK_Material material;
  material.SetDiffuse(TK_Color(red, 10, 20));
  return material;
}

// Refused meshes (null, a face naming a missing vertex, a vertex not finite)
// leave no entry behind and the box as it was.
TEST_F(SceneSetupTest, EqualMaterialsShareOneEntryRefusedMeshesLeaveNothingLightsAreCentred) {
  CRenderSession session(doc, nullptr, settings);
  const TK_Mesh first = SquareMesh(1, 0), second = SquareMesh(2, 5), third = SquareMesh(1, -3);
  ASSERT_TRUE(session.AddRenderMesh(object, Coloured(200), &first));
  ASSERT_TRUE(session.AddRenderMesh(object, Coloured(200), &second));  // an equal copy
  ASSERT_TRUE(session.AddRenderMesh(object, Coloured(10), &third));
  ASSERT_EQ(session.MaterialEntries().Count(), 2);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(session.MeshEntries()[i]->Material(), session.MaterialEntries()[i / 2]) << i;
  EXPECT_EQ(session.MaterialEntries()[0]->Material()->Diffuse(), TK_Color(200, 10, 20));
  EXPECT_EQ(session.MeshEntries()[1]->Mesh().m_V[0], TK_3fPoint(-2, -2, 5));
  const TK_BoundingBox box(TK_3dPoint(-2, -2, -3), TK_3dPoint(2, 2, 5));
  EXPECT_EQ(session.SceneBoundingBox(), box);
  TK_Mesh bad_index = SquareMesh(9, 9), not_finite = SquareMesh(9, 9);
  bad_index.m_F[0].vi[2] = 4;
  not_finite.m_V[1].y = std::numeric_limits<float>::quiet_NaN();
  for (const TK_Mesh* refused : std::initializer_list<const TK_Mesh*>{nullptr, &bad_index, &not_finite})
    EXPECT_FALSE(session.AddRenderMesh(object, Coloured(2), refused));
  EXPECT_EQ(std::pair(session.MeshEntries().Count(), session.MaterialEntries().Count()), std::pair(3, 2));
  EXPECT_EQ(session.SceneBoundingBox(), box);
  TK_Light linear = MakeLight(TK::linear_light, {0, 0, 0}, {0, 0, -5}),
           rectangle = MakeLight(TK::rectangular_light, {1, 1, 1}, {0, -3, 4}),
           spot = MakeLight(TK::spot_light, {7, 8, 9}, {0, 0, 0});  // cannot be made unit: stays zero
  linear.SetLength(TK_3dVector(2, 0, 0));
  rectangle.SetLength(TK_3dVector(4, 0, 0));
  rectangle.SetWidth(TK_3dVector(0, 0, 2));
  spot.SetLength(TK_3dVector(1, 1, 1));  // spans of other kinds are not applied
  for (const TK_Light& light : {linear, rectangle, spot}) ASSERT_TRUE(session.AddLight(CKavraLight(light, 0)));
  const TK_SimpleArray<TK_Light>& lights = session.Lights();
  ASSERT_EQ(lights.Count(), 3);
  const std::pair<TK_3dPoint, TK_3dVector> expected[] = {
      {{1, 0, 0}, {0, 0, -1}}, {{3, 1, 2}, {0, -0.6, 0.8}}, {{7, 8, 9}, {0, 0, 0}}};
  for (int i = 0; i < 3; ++i)
    EXPECT_TRUE(lights[i].Location() == expected[i].first && (lights[i].Direction() - expected[i].second).Length() < 1e-15) << i;
  EXPECT_EQ(linear.Location(), TK_3dPoint(0, 0, 0));  // the host's light is left alone
}

// Rodrigues' rotation of v by angle about the unit axis k.
TK_3dVector Rotated(const TK_3dVector& v, const TK_3dVector& k, double angle) {
  return v * std::cos(angle) + TK_CrossProduct(k, v) * std::sin(angle) + k * (TK_DotProduct(k, v) * (1 - std::cos(angle)));
}

// Without lights the default light looks from beside the camera and casts
// no shadow. Green and blue halves made grey: the renderer's weights give
// 150 and 28 (the usual 0.587 and 0.114 would give 149 and 29); with
// wallpapers off, or a file that cannot be read, there is no background.
TEST_F(SceneSetupTest, TheDefaultLightAndAGreyWallpaperAtTheOversampledSize) {
  const TK_3dPoint location(1, 2, 10);
  const TK_3dVector direction(-0.1, -0.2, -1);
  view.m_vp.SetCameraLocation(location);
  view.m_vp.SetCameraDirection(direction);
  TK_3dVector x = TK_CrossProduct(direction, TK_3dVector(0, 1, 0)), z = -direction;
  x.Unitize();
  z.Unitize();
  const TK_3dVector y = TK_CrossProduct(z, x);
  const TK_3dPoint centre = view.m_vp.BoundingBox().Center();
  const double a = -15 * M_PI / 180, b = -20 * M_PI / 180;
  TempDir folder;
  CKavraDib dib;
  ASSERT_TRUE(dib.CreateDib(64, 48, 24, true, nullptr));
  dib.DC().FillSolidRect(0, 0, 32, 48, MakeColorRef(0, 255, 0));
  dib.DC().FillSolidRect(32, 0, 32, 48, MakeColorRef(0, 0, 255));
  view.m_wallpaper_filename = TK_wString::FromUtf8((folder / "halves.png").string());
  ASSERT_TRUE(dib.WriteToFile(view.m_wallpaper_filename));
  view.m_wallpaper_grey = true;
  SetLevels(3, 2);
  for (const bool use : {false, true}) {
    settings.m_use_wallpaper = use;
    HarnessSession session(doc, settings);
    Render(session, 32, 24);
    ASSERT_EQ(session.Lights().Count(), 1);
    const TK_Light& light = session.Lights()[0];
    EXPECT_TRUE(light.Style() == TK::camera_point_light && light.IsEnabled());
    EXPECT_EQ(session.ShadowMaps().Count(), 0);
    EXPECT_LT(light.Location().DistanceTo(centre + Rotated(Rotated(location - centre, x, a), y, b)), 1e-9);
    EXPECT_LT((light.Direction() - Rotated(Rotated(direction, x, a), y, b)).Length(), 1e-9);
    const CKavraDib* background = session.BackgroundImage();
    ASSERT_EQ(background != nullptr, use);
    if (!use) continue;
    ASSERT_EQ(std::pair(background->Width(), background->Height()), std::pair(128, 96));
    for (const auto& [column, grey] : {std::pair{5, 150}, std::pair{120, 28}}) {
      const unsigned char* p = background->FindDIBBits() + 50 * std::size_t(background->GetStorageWidth()) + 3 * column;
      EXPECT_EQ(MakeColorRef(p[2], p[1], p[0]), MakeColorRef(grey, grey, grey)) << column;
    }
  }
  EXPECT_EQ(MakeWallpaperBackground(64, 48, TK_wString::FromUtf8((folder / "missing.png").string()), false, true, 0),
            nullptr);
}

// A spot light's camera looks along it with an up across it (0, 1, 0
// straight down z) and an angle of at most kWidestShadowAngle.
TEST(ShadowLightCamera, LooksAlongTheLightWithAnUpAcrossItAndAtMostTheWidestAngle) {
  const TK_BoundingBox box({-1, -1, -1}, {1, 1, 1});
  for (const auto& [direction, angle, half_side] :
       {std::tuple{TK_3dVector(-M_SQRT1_2, 0, -M_SQRT1_2), 0.5, std::tan(0.5)},
        std::tuple{TK_3dVector(0, 0, -1), M_PI / 2, std::tan(kWidestShadowAngle)}}) {
    TK_Light light = MakeLight(TK::spot_light, {4, 0, 4}, direction);
    ASSERT_TRUE(light.SetSpotAngleRadians(angle));
    double far = 0, left, right, bottom, top, near, far_plane;
    const TK_Viewport camera = ShadowLightCamera(light, box, far);
    EXPECT_EQ(camera.Projection(), TK::perspective);
    EXPECT_DOUBLE_EQ(far, TK_3dPoint(4, 0, 4).DistanceTo({-1, 1, -1}));
    EXPECT_NEAR(TK_DotProduct(camera.CameraUp(), direction), 0.0, 1e-12);
    EXPECT_TRUE(direction.z != -1 || camera.CameraUp() == TK_3dVector(0, 1, 0));
    camera.GetFrustum(left, right, bottom, top, near, far_plane);
    EXPECT_NEAR(std::min(right, top), near * half_side, 1e-9);
  }
}

TEST(Wallpaper, KeepsItsAspectFillingTheNarrowerFitItsWidthRoundedUpToFour) {
  const std::tuple<int, int, int, int, bool, int, int> cases[] = {
      {64, 48, 200, 100, false, 64, 32}, {60, 40, 101, 100, false, 40, 40},  // wide; wider than allowed
      {64, 48, 30, 100, false, 16, 48}, {64, 48, 30, 100, true, 64, 48}};    // tall: 14.4 + 3 down to 4s
  for (const auto& [w, h, wb, hb, stretch, cx, cy] : cases) {
    const SIZE size = ScaledWallpaperSize(w, h, wb, hb, stretch);
    EXPECT_TRUE(size.cx == cx && size.cy == cy) << wb << " x " << hb << ": " << size.cx << " x " << size.cy;
  }
}

}  // namespace
