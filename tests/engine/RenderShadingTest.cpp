// Full renders of small scenes whose pixels a few lines of lighting
// predict: Lambert shading, transparency, a checker texture, a bump map.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "engine/RenderSession.h"
#include "host/app/Doc.h"
#include "host/app/KavraLight.h"
#include "host/app/KavraObject.h"
#include "host/platform/Messages.h"
#include "host/platform/Window.h"
#include "host/sdk/SdkRenderViewWnd.h"
#include "settings/MaterialUserData.h"
#include "shading/HitRecord.h"
#include "support/SquareMesh.h"
#include "support/TempDir.h"

namespace {

class StatusWindow : public KvWindow {
public:
  StatusWindow() { EXPECT_TRUE(Create()); }
  std::vector<int> codes;
  std::vector<LPARAM> band_payloads;
  // Code 3 is sent, not queued, so it may be handled ahead of posted codes.
  bool Completed() const { return std::count(codes.begin(), codes.end(), 3) == 1 && !Aborted(); }
  bool Aborted() const { return std::count(codes.begin(), codes.end(), 7) == 1; }

protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message != WM_RENDER_STATUS) return 0;
    codes.push_back(int(wParam));
    if (wParam == 5) band_payloads.push_back(lParam);
    return 1;
  }
};

// Image words: blue | green << 8 | red << 16.
std::uint32_t Word(int red, int green, int blue) { return std::uint32_t(blue | green << 8 | red << 16); }

class RenderShadingTest : public ::testing::Test {
protected:
  void SetUp() override {
    view.m_vp.SetCameraLocation({0, 0, 10});
    view.m_vp.SetCameraDirection({0, 0, -1});
    view.m_vp.SetCameraUp({0, 1, 0});
    SetLevel(0);
    settings.m_favor_memory = false;  // bands of 32 rows unless a test says otherwise
  }
  void SetLevel(int level) {
    TK_ScnRenderSettings render = doc.Properties().RenderSettings();
    render.m_antialias_level = level;
    render.m_shadow_level = 0;
    render.m_background_color = TK_Color(kBackgroundRed, kBackgroundGreen, kBackgroundBlue);
    render.m_ambient_color = ambient;
    doc.Properties().SetRenderSettings(render);
  }
  void Render(CRenderSession& session, int width, int height) {
    session.SetRendering(true);
    ASSERT_TRUE(session.PrepareRender(&window, view, 5, 5, width, height));
    ASSERT_TRUE(session.ResumeRender(&image));
    Finish(session);
  }
  void Finish(CRenderSession& session) {
    EXPECT_TRUE(PumpMessagesUntil([&] { return !session.IsRendering(); }, 60000));
    MSG msg;
    while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessage(&msg);
  }
  std::uint32_t ImageWord(int x, int y) const {
    const unsigned char* p =
        image.FindDIBBits() + (std::size_t(image.Height() - 1 - y) * std::size_t(image.Width()) + std::size_t(x)) * 4;
    EXPECT_EQ(p[3], 0);
    return std::uint32_t(p[0] | p[1] << 8 | p[2] << 16);
  }

  static constexpr int kBackgroundRed = 255, kBackgroundGreen = 51, kBackgroundBlue = 102;
  const std::uint32_t background = Word(kBackgroundRed, kBackgroundGreen, kBackgroundBlue);
  TK_Color ambient{30, 30, 30};
  CKavraDoc doc;
  CDMRenderUserData settings;
  CKavraObject object;
  TK_ScnView view;
  COruDib image;
  StatusWindow window;
  TempDir folder;
};

// Expected packed lighting: trunc(min(c, 1) x 255) per channel.
int Byte(double c) { return int(std::min(c, 1.0) * 255.0); }

TEST_F(RenderShadingTest, ATriangleLitByAPointLightHasItsLambertColour) {
  ambient = TK_Color(20, 40, 60);
  SetLevel(0);
  const TK_Color diffuse(200, 120, 90);
  TK_Material material;
  material.SetDiffuse(diffuse);
  TK_Mesh mesh;
  mesh.SetVertex(0, TK_3fPoint(-3, -3, 0));
  mesh.SetVertex(1, TK_3fPoint(3, -3, 0));
  mesh.SetVertex(2, TK_3fPoint(0, 3, 0));
  mesh.SetTriangle(0, 0, 1, 2);
  TK_Light light;
  light.SetStyle(TK::point_light);
  light.SetLocation({2, 3, 4});
  light.SetDiffuse(TK_Color(255, 204, 153));
  CRenderSession session(doc, nullptr, settings);
  ASSERT_TRUE(session.AddRenderMesh(object, material, &mesh));
  ASSERT_TRUE(session.AddLight(CKavraLight(light)));
  const int width = 40, height = 30;
  Render(session, width, height);
  ASSERT_TRUE(window.Completed());
  const CScreenProjection& projection = *session.MainProjection();

  const double d[3] = {diffuse.FractionRed(), diffuse.FractionGreen(), diffuse.FractionBlue()};
  const double am[3] = {ambient.FractionRed(), ambient.FractionGreen(), ambient.FractionBlue()};
  const double lc[3] = {1.0, 0.8, 0.6};
  int lit = 0, empty = 0;
  for (int y = 0; y < height; y += 3)
    for (int x = 0; x < width; x += 3) {
      PixelRayRecord ray;
      ASSERT_TRUE(projection.Camera().PixelRay(x, y, ray));
      const double t = -ray.origin.z / ray.direction.z;
      const double px = ray.origin.x + t * ray.direction.x, py = ray.origin.y + t * ray.direction.y;
      // Inside the triangle with a margin, or well outside it.
      const bool inside = py > -2.9 && py < 2.9 && std::abs(px) < (3 - py) / 2 - 0.1;
      const bool outside = py < -3.1 || py > 3.1 || std::abs(px) > (3 - py) / 2 + 0.1;
      if (outside) {
        EXPECT_EQ(ImageWord(x, y), background) << x << ", " << y;
        ++empty;
      }
      if (!inside) continue;
      TK_3dVector l(2 - px, 3 - py, 4);
      const double k = l.z / l.Length();  // N = (0, 0, 1)
      int c[3];
      for (int i = 0; i < 3; ++i) c[i] = Byte(am[i] * d[i] + k * lc[i] * d[i]);
      EXPECT_EQ(ImageWord(x, y), Word(c[0], c[1], c[2])) << x << ", " << y;
      ++lit;
    }
  EXPECT_GT(lit, 10);
  EXPECT_GT(empty, 10);
}

TEST_F(RenderShadingTest, TwoTransparentQuadsShowTheBackgroundThroughBoth) {
  ambient = TK_Color(255, 255, 255);  // the lit colour is the diffuse colour itself
  SetLevel(0);
  TK_Material front, back;
  front.SetDiffuse(TK_Color(101, 55, 13));
  front.SetTransparency(0.25);
  back.SetDiffuse(TK_Color(202, 18, 71));
  back.SetTransparency(0.5);
  TK_Mesh near_quad, far_quad;
  for (auto [quad, z] : {std::pair{&near_quad, 1.0f}, std::pair{&far_quad, -1.0f}}) {
    quad->SetVertex(0, TK_3fPoint(-2, -2, z));
    quad->SetVertex(1, TK_3fPoint(2, -2, z));
    quad->SetVertex(2, TK_3fPoint(2, 2, z));
    quad->SetVertex(3, TK_3fPoint(-2, 2, z));
    quad->SetQuad(0, 0, 1, 2, 3);
  }
  TK_Light dark;  // reaches nothing: its attenuation is 0 everywhere
  dark.SetStyle(TK::point_light);
  dark.SetLocation({0, 0, 5});
  ASSERT_TRUE(dark.SetAttenuation(0, 0, 0));
  CRenderSession session(doc, nullptr, settings);
  ASSERT_TRUE(session.AddRenderMesh(object, back, &far_quad));  // farther first: the hits are sorted
  ASSERT_TRUE(session.AddRenderMesh(object, front, &near_quad));
  ASSERT_TRUE(session.AddLight(CKavraLight(dark)));
  Render(session, 16, 16);
  ASSERT_TRUE(window.Completed());

  // Behind the back quad the background; each surface adds (1 - t) of its
  // colour to t of what lies behind, rounded down to bytes at each step
  // (colours chosen so that no step lands on a whole byte).
  const int bg[3] = {kBackgroundRed, kBackgroundGreen, kBackgroundBlue};
  const int db[3] = {202, 18, 71}, df[3] = {101, 55, 13};
  int behind[3], seen[3];
  for (int i = 0; i < 3; ++i) {
    behind[i] = int(db[i] * 0.5 + bg[i] * 0.5);
    seen[i] = int(df[i] * 0.75 + behind[i] * 0.25);
  }
  // Off the quads' diagonals, where each ray meets one triangle per quad.
  for (auto [x, y] : {std::pair{7, 8}, std::pair{9, 8}, std::pair{6, 7}})
    EXPECT_EQ(ImageWord(x, y), Word(seen[0], seen[1], seen[2])) << x << ", " << y;
  EXPECT_EQ(ImageWord(0, 0), background);  // the quads do not reach the corner
}

TEST_F(RenderShadingTest, ACheckerTextureSeenStraightOnKeepsItsCells) {
  ambient = TK_Color(255, 255, 255);  // the lit colour is the texel itself
  SetLevel(0);
  // A 10 x 10 map: nearest sampling reads columns and rows 0..7 (its limits
  // are width - 2 and height - 2), four cells of 2 x 2 texels each way,
  // every cell its own colour. Rows count from the bottom, as v does.
  const auto cell_colour = [](int cx, int cy) { return Word(40 + 50 * cx, 30 + 60 * cy, 200 - 40 * ((cx + cy) % 2)); };
  CKavraDib map;
  ASSERT_TRUE(map.CreateDib(10, 10, 24, true, nullptr));
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) {
      const std::uint32_t w = cell_colour(std::min(x, 7) / 2, std::min(y, 7) / 2);
      unsigned char* p = map.FindDIBBits() + std::size_t(y) * std::size_t(map.GetStorageWidth()) + 3 * x;
      p[0] = std::uint8_t(w), p[1] = std::uint8_t(w >> 8), p[2] = std::uint8_t(w >> 16);
    }
  const TK_wString path = TK_wString::FromUtf8((folder / "checker.png").string());
  ASSERT_TRUE(map.WriteToFile(path));
  TK_Material material;
  material.SetTextureBitmapFileName(path);
  auto record = std::make_unique<CDMMaterialUserData>();
  record->m_material = std::make_unique<CRenderMaterial>(material);
  record->m_material->m_texture_map.enabled = true;
  record->m_material->m_texture_map.filter = 0;  // nearest texel
  ASSERT_TRUE(CDMMaterialUserData::AttachTo(material, std::move(record)));

  TK_Mesh quad = SquareMesh(2, 0);
  quad.m_T = {TK_2fPoint(0, 0), TK_2fPoint(1, 0), TK_2fPoint(1, 1), TK_2fPoint(0, 1)};
  TK_Light dark;
  dark.SetStyle(TK::point_light);
  ASSERT_TRUE(dark.SetAttenuation(0, 0, 0));
  CRenderSession session(doc, nullptr, settings);
  ASSERT_TRUE(session.AddRenderMesh(object, material, &quad));
  ASSERT_TRUE(session.AddLight(CKavraLight(dark)));
  const int size = 32;
  Render(session, size, size);
  ASSERT_TRUE(window.Completed());

  int checked = 0;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      PixelRayRecord ray;
      ASSERT_TRUE(session.MainProjection()->Camera().PixelRay(x, y, ray));
      const double t = -ray.origin.z / ray.direction.z;
      // The quad's texture coordinates are affine in x and y: u = (x + 2) / 4.
      const double u = (ray.origin.x + t * ray.direction.x + 2) / 4, v = (ray.origin.y + t * ray.direction.y + 2) / 4;
      const auto clear = [](double c) { return c > 0 && c < 1 && std::abs(4 * c - std::round(4 * c)) > 0.02; };
      if (!clear(u) || !clear(v)) continue;
      EXPECT_EQ(ImageWord(x, y), cell_colour(int(4 * u), int(4 * v))) << x << ", " << y;
      ++checked;
    }
  EXPECT_GT(checked, 100);
}

TEST_F(RenderShadingTest, ABumpMapOfALinearRampTiltsTheNormalEvenly) {
  ambient = TK_Color(20, 20, 20);
  SetLevel(0);
  // Grey rising by 6 per column: every inner texel's left and right
  // neighbours differ by 12, its upper and lower ones not at all.
  CKavraDib ramp;
  ASSERT_TRUE(ramp.CreateDib(20, 6, 24, true, nullptr));
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 20; ++x) {
      unsigned char* p = ramp.FindDIBBits() + std::size_t(y) * std::size_t(ramp.GetStorageWidth()) + 3 * x;
      p[0] = p[1] = p[2] = std::uint8_t(10 + 6 * x);
    }
  const TK_wString path = TK_wString::FromUtf8((folder / "ramp.png").string());
  ASSERT_TRUE(ramp.WriteToFile(path));
  const TK_Color diffuse(200, 150, 100);
  TK_Material material;
  material.SetDiffuse(diffuse);
  material.SetBumpBitmapFileName(path);
  auto record = std::make_unique<CDMMaterialUserData>();
  record->m_material = std::make_unique<CRenderMaterial>(material);
  record->m_material->m_bump_map.enabled = true;
  record->m_material->m_bump_map.amount = 0.2;
  ASSERT_TRUE(CDMMaterialUserData::AttachTo(material, std::move(record)));

  TK_Mesh quad = SquareMesh(2, 0);
  quad.m_T = {TK_2fPoint(0, 0), TK_2fPoint(1, 0), TK_2fPoint(1, 1), TK_2fPoint(0, 1)};
  TK_Light sun;  // from the upper right: (1, 0, 1) toward the light
  sun.SetStyle(TK::directional_light);
  sun.SetDirection({-1, 0, -1});
  CRenderSession session(doc, nullptr, settings);
  ASSERT_TRUE(session.AddRenderMesh(object, material, &quad));
  ASSERT_TRUE(session.AddLight(CKavraLight(sun)));
  const int size = 32;
  Render(session, size, size);
  ASSERT_TRUE(window.Completed());

  // du = (12 / 255) x 0.5, scaled by amount x 100; N = (-s, 0, 1) made unit.
  const double s = 6.0 / 255 * 20;
  const double k = (1 - s) / (std::sqrt(2.0) * std::sqrt(1 + s * s));
  const double d[3] = {diffuse.FractionRed(), diffuse.FractionGreen(), diffuse.FractionBlue()};
  const double am = 20.0 / 255;
  int c[3];
  for (int i = 0; i < 3; ++i) c[i] = Byte(am * d[i] + k * d[i]);
  const std::uint32_t expected = Word(c[0], c[1], c[2]);
  ASSERT_NE(expected, Word(Byte(am * d[0] + d[0] / std::sqrt(2.0)), Byte(am * d[1] + d[1] / std::sqrt(2.0)),
                           Byte(am * d[2] + d[2] / std::sqrt(2.0))));  // a flat quad would differ

  int checked = 0;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      PixelRayRecord ray;
      ASSERT_TRUE(session.MainProjection()->Camera().PixelRay(x, y, ray));
      const double t = -ray.origin.z / ray.direction.z;
      const double u = (ray.origin.x + t * ray.direction.x + 2) / 4, v = (ray.origin.y + t * ray.direction.y + 2) / 4;
      // Texels with all four neighbours inside the map (limits 18 and 4).
      if (18 * u < 1.05 || 18 * u > 16.95 || 4 * v < 1.05 || 4 * v > 3.95) continue;
      EXPECT_EQ(ImageWord(x, y), expected) << x << ", " << y;
      ++checked;
    }
  EXPECT_GT(checked, 100);
}

}  // namespace
