// The render driver with a real worker thread: the status codes a view
// window hears, aborts at every phase, the image laid out for the view, the
// default light, oversampling by level, and the wallpaper background.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <cmath>
#include <thread>
#include <utility>
#include <vector>

#include "engine/RenderSession.h"
#include "engine/SceneLights.h"
#include "host/app/Doc.h"
#include "host/app/KavraLight.h"
#include "host/app/KavraObject.h"
#include "host/platform/Messages.h"
#include "support/TempDir.h"
#include "host/platform/Window.h"
#include "host/sdk/SdkRenderViewWnd.h"
#include "support/SquareMesh.h"

namespace {

using namespace std::chrono_literals;
using Codes = std::vector<int>;

// A window of the test's thread that records the status codes it is handed.
class StatusWindow : public KvWindow {
public:
  StatusWindow() { EXPECT_TRUE(Create()); }
  std::vector<std::pair<int, LPARAM>> received;
  std::function<void(int)> on_code;
  const CRenderSession* session = nullptr;
  int completions = 0;
  bool rendering_at_completion = false;
  // Codes in the order handled. Code 3 is sent, not queued: it is handled
  // ahead of codes still queued, so the posted codes are read apart.
  Codes CodesOnly() const {
    Codes codes;
    for (const auto& [code, payload] : received) codes.push_back(code);
    return codes;
  }
  Codes Posted() const {
    Codes codes;
    for (const auto& [code, payload] : received)
      if (code != 3) codes.push_back(code);
    return codes;
  }
  std::vector<LPARAM> PostedPayloads() const {
    std::vector<LPARAM> payloads;
    for (const auto& [code, payload] : received)
      if (code != 3) payloads.push_back(payload);
    return payloads;
  }

protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message != WM_RENDER_STATUS) return 0;
    received.emplace_back(int(wParam), lParam);
    if (wParam == 3) {
      ++completions;
      // The worker waits in its send until this returns.
      rendering_at_completion = session && session->IsRendering();
    }
    if (on_code) on_code(int(wParam));
    return 1;
  }
};

// Gives the tests a look at the worker's handle.
class ProbeSession : public CRenderSession {
public:
  using CRenderSession::CRenderSession;
  bool HoldsWorker() const { return WorkerThread() != nullptr; }
};

// Holds the worker in one phase, after its code went out, until the test's
// thread has raised the abort.
class PhaseAbortSession : public ProbeSession {
public:
  PhaseAbortSession(CKavraDoc& doc, const CDMRenderUserData& settings, int phase)
      : ProbeSession(doc, nullptr, settings), phase_(phase) {}
  ~PhaseAbortSession() override {
    StopRenderThread();
    if (WorkerThread()) MsgWaitForSingleObject(WorkerThread(), INFINITE);
  }
  void NotifyView(RenderStatus status, LPARAM payload) override {
    CRenderSession::NotifyView(status, payload);
    if (int(status) != phase_ || reached) return;
    reached = true;
    for (int i = 0; i < 5000 && !AbortFlag()->load(); ++i) std::this_thread::sleep_for(1ms);
  }
  std::atomic<bool> reached{false};

private:
  const int phase_;
};

// Pumps the test thread until the worker has ended, then takes what it posted.
void PumpUntilEnded(CRenderSession& session) {
  EXPECT_TRUE(PumpMessagesUntil([&] { return !session.IsRendering(); }, 30000));
  MSG msg;
  while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessage(&msg);
}

void Start(CRenderSession& session, StatusWindow& window, const TK_ScnView& view, COruDib& image, int width,
           int height) {
  session.SetRendering(true);
  window.session = &session;
  ASSERT_TRUE(session.PrepareRender(&window, view, 5, 5, width, height));
  ASSERT_TRUE(session.ResumeRender(&image));
}

// A grid of n x n quads facing the camera, covering the image many times over.
TK_Mesh Grid(int n, float size) {
  TK_Mesh mesh;
  int v = 0, f = 0;
  for (int j = 0; j <= n; ++j)
    for (int i = 0; i <= n; ++i) mesh.SetVertex(v++, TK_3fPoint(size * (2.0f * i / n - 1), size * (2.0f * j / n - 1), 0));
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < n; ++i) {
      const int a = j * (n + 1) + i;
      mesh.SetQuad(f++, a, a + 1, a + n + 2, a + n + 1);
    }
  return mesh;
}

class RenderDriverTest : public ::testing::Test {
protected:
  void SetUp() override {
    view.m_vp.SetCameraLocation({0, 0, 10});
    view.m_vp.SetCameraDirection({0, 0, -1});
    view.m_vp.SetCameraUp({0, 1, 0});
    SetLevels(0, 0);
    settings.m_favor_memory = false;  // bands of 32 rows
  }
  void SetLevels(int antialias, int shadows) {
    TK_ScnRenderSettings render = doc.Properties().RenderSettings();
    render.m_antialias_level = antialias;
    render.m_shadow_level = shadows;
    render.m_background_color = TK_Color(255, 51, 102);
    doc.Properties().SetRenderSettings(render);
  }
  CKavraDoc doc;
  CDMRenderUserData settings;
  CKavraObject object;
  TK_ScnView view;
  COruDib image;
  StatusWindow window;
};

TEST_F(RenderDriverTest, ReportsEveryPhaseAndEachBand) {
  ProbeSession session(doc, nullptr, settings);
  const TK_Mesh quad = SquareMesh(1, 0);
  ASSERT_TRUE(session.AddRenderMesh(object, TK_Material(), &quad));
  Start(session, window, view, image, 64, 70);
  PumpUntilEnded(session);
  EXPECT_EQ(window.Posted(), (Codes{1, 8, 9, 2, 5, 5, 5}));
  EXPECT_EQ(window.PostedPayloads(), (std::vector<LPARAM>{-1, -1, -1, -1, 32 << 16, 32 << 16 | 1, 32 << 16 | 2}));
  EXPECT_EQ(window.completions, 1);
  EXPECT_TRUE(window.rendering_at_completion);
  EXPECT_EQ(window.CodesOnly().size(), 8u);
  EXPECT_FALSE(session.IsRendering());
  ASSERT_NE(session.MainProjection(), nullptr);
  EXPECT_EQ(session.MainProjection()->Camera().ScreenWidth(), 64);
  EXPECT_EQ(session.MainProjection()->Camera().ScreenHeight(), 70);
}

TEST_F(RenderDriverTest, SetupGivesEnvironmentCoordinatesOnlyWhereAMaterialWantsThem) {
  TK_Material shiny;
  shiny.SetEmapBitmapFileName(L"no-such-map.png");  // named, so enabled; unread, so no bitmap
  const TK_Mesh quad = SquareMesh(1, 0), other = SquareMesh(2, -1);
  ProbeSession session(doc, nullptr, settings);
  ASSERT_TRUE(session.AddRenderMesh(object, TK_Material(), &quad));
  ASSERT_TRUE(session.AddRenderMesh(object, shiny, &other));
  Start(session, window, view, image, 16, 16);
  PumpUntilEnded(session);
  EXPECT_EQ(window.completions, 1);
  EXPECT_EQ(session.MeshEntries()[0]->EnvironmentCoordinates().Count(), 0);
  EXPECT_EQ(session.MeshEntries()[1]->EnvironmentCoordinates().Count(), session.MeshEntries()[1]->Mesh().VertexCount());
  EXPECT_GT(session.MeshEntries()[1]->Mesh().VertexCount(), 0);
  // Both meshes went into the index, in the session's order.
  ASSERT_EQ(session.MainProjection()->MeshCount(), 2);
  EXPECT_EQ(session.MainProjection()->Mesh(0), session.MeshEntries()[0]);
  EXPECT_EQ(session.MainProjection()->Mesh(1), session.MeshEntries()[1]);
  EXPECT_EQ(session.MainProjection()->ProjectedFaces().size(), 4u);
}

TEST_F(RenderDriverTest, BandsFollowTheOversampledGridOfEachLevel) {
  settings.m_favor_memory = true;  // bands of 4 rows; 8 at the 4 x 4 level
  struct Case {
    int level, kept_level, factor, band;
    std::vector<LPARAM> indices;  // of the announced bands
  };
  // 8 x 6 pixels: rows 6, 12, 12, 24, 24 and 12 oversampled. Only level 0
  // announces its first band; the others number theirs by image rows.
  for (const Case& c : {Case{0, 0, 1, 4, {0, 1}}, Case{1, 1, 2, 4, {0, 1}}, Case{2, 2, 2, 4, {0, 1}},
                        Case{3, 3, 4, 8, {0, 0}}, Case{7, 3, 4, 8, {0, 0}}, Case{-2, 1, 2, 4, {0, 1}}}) {
    SetLevels(c.level, 0);
    ProbeSession session(doc, nullptr, settings);
    StatusWindow status;
    Start(session, status, view, image, 8, 6);
    PumpUntilEnded(session);
    EXPECT_EQ(session.Inputs().antialias_level, c.kept_level) << c.level;
    EXPECT_EQ(session.OversampledWidth(), 8 * c.factor) << c.level;
    EXPECT_EQ(session.OversampledHeight(), 6 * c.factor) << c.level;
    Codes expected{1, 8, 9, 2};
    std::vector<LPARAM> payloads{-1, -1, -1, -1};
    for (LPARAM index : c.indices) {
      expected.push_back(5);
      payloads.push_back(LPARAM(c.band) << 16 | index);
    }
    EXPECT_EQ(status.Posted(), expected) << c.level;
    EXPECT_EQ(status.PostedPayloads(), payloads) << c.level;
    EXPECT_EQ(status.completions, 1);
  }
}

TEST_F(RenderDriverTest, AnAbortInAnyPhaseEndsWithCode7) {
  const TK_Mesh grid = Grid(20, 3);
  const Codes full{1, 8, 9, 2, 5};
  for (std::size_t phase = 0; phase < full.size(); ++phase) {
    PhaseAbortSession session(doc, settings, full[phase]);
    ASSERT_TRUE(session.AddRenderMesh(object, TK_Material(), &grid));
    StatusWindow status;
    Start(session, status, view, image, 64, 64);
    ASSERT_TRUE(PumpMessagesUntil([&] { return session.reached.load(); }, 10000));
    session.AbortRender();  // from the test's thread
    EXPECT_FALSE(session.HoldsWorker()) << "the worker outlived the bounded wait";
    PumpUntilEnded(session);
    Codes expected(full.begin(), full.begin() + std::ptrdiff_t(phase) + 1);
    expected.push_back(7);
    EXPECT_EQ(status.CodesOnly(), expected) << "abort after code " << full[phase];
  }
}

TEST_F(RenderDriverTest, ANewRenderWaitsForTheWorkerAndStartsUnaborted) {
  PhaseAbortSession session(doc, settings, 1);
  Start(session, window, view, image, 8, 8);
  ASSERT_TRUE(PumpMessagesUntil([&] { return session.reached.load(); }, 10000));
  EXPECT_FALSE(session.PrepareRender(&window, view, 5, 5, 16, 16));  // the worker still holds the scene
  session.AbortRender();
  PumpUntilEnded(session);
  EXPECT_EQ(window.CodesOnly(), (Codes{1, 7}));
  // The ended worker is replaced, and the earlier abort does not stop the new one.
  Start(session, window, view, image, 8, 8);
  PumpUntilEnded(session);
  EXPECT_EQ(window.Posted(), (Codes{1, 7, 1, 8, 9, 2, 5}));
  EXPECT_EQ(window.completions, 1);
}

TEST_F(RenderDriverTest, AnEmptySceneGivesTheBackgroundLaidOutForTheView) {
  ASSERT_TRUE(image.CreateDib(3, 5, 24, true, nullptr));  // an older image of another kind
  ProbeSession session(doc, nullptr, settings);
  Start(session, window, view, image, 7, 5);
  PumpUntilEnded(session);
  EXPECT_EQ(window.completions, 1);
  ASSERT_TRUE(image.HasPixels());
  EXPECT_EQ(image.Width(), 7);
  EXPECT_EQ(image.Height(), 5);
  EXPECT_EQ(image.BitsPerPixel(), 32);
  EXPECT_EQ(image.GetStorageWidth(), 7 * 4);
  const unsigned char* bits = image.FindDIBBits();
  for (int i = 0; i < 7 * 5; ++i) {
    EXPECT_EQ(bits[4 * i + 0], 102) << i;  // blue
    EXPECT_EQ(bits[4 * i + 1], 51) << i;   // green
    EXPECT_EQ(bits[4 * i + 2], 255) << i;  // red
    EXPECT_EQ(bits[4 * i + 3], 0) << i;
  }
}

TEST_F(RenderDriverTest, WithoutAnImageTheRenderEndsAtOnce) {
  ProbeSession session(doc, nullptr, settings);
  session.SetRendering(true);
  ASSERT_TRUE(session.PrepareRender(&window, view, 5, 5, 8, 8));
  ASSERT_TRUE(session.ResumeRender(nullptr));
  PumpUntilEnded(session);
  EXPECT_EQ(window.CodesOnly(), (Codes{1, 7}));
  EXPECT_FALSE(session.PrepareRender(&window, view, 5, 5, 0, 8));
  EXPECT_FALSE(session.PrepareRender(&window, view, 5, 5, 8, CKavraSdkRender::kMaxImageSide + 1));
}

// Rodrigues' rotation of v by angle about the unit axis k.
TK_3dVector Rotated(const TK_3dVector& v, const TK_3dVector& k, double angle) {
  return v * std::cos(angle) + TK_CrossProduct(k, v) * std::sin(angle) + k * (TK_DotProduct(k, v) * (1 - std::cos(angle)));
}

TEST_F(RenderDriverTest, WithoutLightsTheDefaultLightLooksFromBesideTheCamera) {
  const TK_3dPoint location(1, 2, 10);
  const TK_3dVector direction(-0.1, -0.2, -1);
  view.m_vp.SetCameraLocation(location);
  view.m_vp.SetCameraDirection(direction);
  ProbeSession session(doc, nullptr, settings);
  Start(session, window, view, image, 8, 8);
  PumpUntilEnded(session);
  ASSERT_EQ(session.Lights().Count(), 1);
  const TK_Light& light = session.Lights()[0];
  EXPECT_EQ(light.Style(), TK::camera_point_light);
  EXPECT_TRUE(light.IsEnabled());
  EXPECT_TRUE(session.ShadowMaps().Count() == 0);

  TK_3dVector x = TK_CrossProduct(direction, TK_3dVector(0, 1, 0));
  x.Unitize();
  TK_3dVector z = -direction;
  z.Unitize();
  const TK_3dVector y = TK_CrossProduct(z, x);
  const TK_3dPoint centre = view.m_vp.BoundingBox().Center();
  const double a = -15 * M_PI / 180, b = -20 * M_PI / 180;
  TK_3dVector offset = Rotated(Rotated(location - centre, x, a), y, b);
  const TK_3dPoint expected_location = centre + offset;
  const TK_3dVector expected_direction = Rotated(Rotated(direction, x, a), y, b);
  EXPECT_NEAR(light.Location().x, expected_location.x, 1e-9);
  EXPECT_NEAR(light.Location().y, expected_location.y, 1e-9);
  EXPECT_NEAR(light.Location().z, expected_location.z, 1e-9);
  EXPECT_NEAR(light.Direction().x, expected_direction.x, 1e-9);
  EXPECT_NEAR(light.Direction().y, expected_direction.y, 1e-9);
  EXPECT_NEAR(light.Direction().z, expected_direction.z, 1e-9);
}

TEST_F(RenderDriverTest, OnlySpotLightsThatCastShadowsGetAMapAndOnlyWithShadowsOn) {
  TK_Light spot;
  spot.SetStyle(TK::spot_light);
  spot.SetLocation({0, 0, 5});
  spot.SetDirection({0, 0, -1});
  spot.SetShadowIntensity(1.0);
  TK_Light faint = spot;
  faint.SetShadowIntensity(0.0);
  TK_Light point = spot;
  point.SetStyle(TK::point_light);
  TK_ScnRenderSettings render = doc.Properties().RenderSettings();
  render.m_shadowmap_width = 64;
  render.m_shadowmap_offset = 2.5;
  doc.Properties().SetRenderSettings(render);
  const TK_Mesh floor = SquareMesh(2, 0);
  for (const int level : {0, 1, 2}) {
    SetLevels(0, level);
    ProbeSession session(doc, nullptr, settings);
    ASSERT_TRUE(session.AddRenderMesh(object, TK_Material(), &floor));
    for (const TK_Light& light : {point, faint, spot}) ASSERT_TRUE(session.AddLight(CKavraLight(light)));
    Start(session, window, view, image, 8, 8);
    PumpUntilEnded(session);
    EXPECT_EQ(session.Lights().Count(), 3);
    if (level == 0) {
      EXPECT_EQ(session.ShadowMaps().Count(), 0);
      continue;
    }
    ASSERT_EQ(session.ShadowMaps().Count(), 1) << "level " << level;
    const ShadowMap& map = *session.ShadowMaps()[0];
    EXPECT_EQ(map.LightIndex(), 2);
    EXPECT_EQ(session.LightIndexOfMap(0), 2);
    EXPECT_EQ(map.ScreenWidth(), 64);
    EXPECT_EQ(map.ScreenHeight(), 64);
    EXPECT_EQ(map.MeshCount(), 1);
    EXPECT_DOUBLE_EQ(map.DepthBias(), 2.5 * 0.0002);
    EXPECT_DOUBLE_EQ(map.FrustumNear(), 0.5);
    EXPECT_DOUBLE_EQ(map.FrustumFar(), 2 * TK_3dPoint(0, 0, 5).DistanceTo(TK_3dPoint(2, 2, 0)));
  }
}

TEST_F(RenderDriverTest, AShadowMapWidthOfZeroLeavesTheLightUnshadowed) {
  SetLevels(0, 1);
  TK_ScnRenderSettings render = doc.Properties().RenderSettings();
  render.m_shadowmap_width = render.m_shadowmap_height = 0;
  doc.Properties().SetRenderSettings(render);
  TK_Light spot;
  spot.SetStyle(TK::spot_light);
  spot.SetShadowIntensity(1.0);
  ProbeSession session(doc, nullptr, settings);
  ASSERT_TRUE(session.AddLight(CKavraLight(spot)));
  Start(session, window, view, image, 8, 8);
  PumpUntilEnded(session);
  EXPECT_EQ(session.ShadowMaps().Count(), 0);
  EXPECT_EQ(window.completions, 1);
}

TEST(ShadowLightCamera, LooksAlongTheLightWithAnUpAcrossIt) {
  const TK_BoundingBox box({-1, -1, -1}, {1, 1, 1});
  TK_Light light;
  light.SetStyle(TK::spot_light);
  light.SetLocation({4, 0, 4});
  light.SetSpotAngleRadians(0.5);
  TK_3dVector d(-1, 0, -1);
  d.Unitize();
  light.SetDirection(d);
  double far = 0;
  TK_Viewport camera = ShadowLightCamera(light, box, far);
  EXPECT_EQ(camera.Projection(), TK::perspective);
  EXPECT_DOUBLE_EQ(far, TK_3dPoint(4, 0, 4).DistanceTo({-1, 1, -1}));
  EXPECT_NEAR(TK_DotProduct(camera.CameraUp(), d), 0.0, 1e-12);
  EXPECT_NEAR(camera.CameraUp().Length(), 1.0, 1e-12);
  double left, right, bottom, top, near, farplane;
  camera.GetFrustum(left, right, bottom, top, near, farplane);
  EXPECT_NEAR(std::min(right, top), near * std::tan(0.5), 1e-12);

  light.SetDirection({0, 0, -1});  // straight down the z axis
  camera = ShadowLightCamera(light, box, far);
  EXPECT_EQ(camera.CameraUp(), TK_3dVector(0, 1, 0));

  // A hemisphere of light: no perspective camera sees 90 degrees off its
  // axis, so the map takes the widest angle it can.
  ASSERT_TRUE(light.SetSpotAngleRadians(M_PI / 2));
  camera = ShadowLightCamera(light, box, far);
  camera.GetFrustum(left, right, bottom, top, near, farplane);
  EXPECT_NEAR(std::min(right, top), near * std::tan(kWidestShadowAngle), 1e-9);
}

TEST_F(RenderDriverTest, AbortingABusyRenderEndsItWithinTheWait) {
  // Many faces over a large image: setup and bands take far longer than the wait.
  const TK_Mesh grid = Grid(150, 6);
  for (int trigger : {8, 2, 5}) {
    ProbeSession session(doc, nullptr, settings);
    ASSERT_TRUE(session.AddRenderMesh(object, TK_Material(), &grid));
    StatusWindow status;
    bool stopped = false;
    status.on_code = [&](int code) {
      if (code != trigger || stopped) return;
      stopped = true;
      session.AbortRender();
      EXPECT_FALSE(session.HoldsWorker()) << "after code " << trigger;
    };
    Start(session, status, view, image, 1600, 1200);
    PumpUntilEnded(session);
    EXPECT_TRUE(stopped);
    EXPECT_EQ(status.CodesOnly().back(), 7) << "after code " << trigger;
    EXPECT_EQ(status.completions, 0);
  }
}

// Wallpapers: files written here, placed on a background of 64 x 48 unless said.
class WallpaperTest : public RenderDriverTest {
protected:
  TK_wString Write(const std::string& name, int width, int height, COLORREF left, COLORREF right) {
    CKavraDib dib;
    EXPECT_TRUE(dib.CreateDib(width, height, 24, true, nullptr));
    dib.DC().FillSolidRect(0, 0, width / 2, height, left);
    dib.DC().FillSolidRect(width / 2, 0, width - width / 2, height, right);
    const TK_wString path = TK_wString::FromUtf8((folder / name).string());
    EXPECT_TRUE(dib.WriteToFile(path));
    return path;
  }
  // Red, green, blue of column x, row y counted from the top.
  static COLORREF At(const COruDib& dib, int x, int y) {
    const unsigned char* p =
        dib.FindDIBBits() + std::size_t(dib.Height() - 1 - y) * std::size_t(dib.GetStorageWidth()) + std::size_t(x) * 3;
    return MakeColorRef(p[2], p[1], p[0]);
  }
  static constexpr COLORREF kPaper = MakeColorRef(10, 200, 30);
  static constexpr COLORREF kBackground = MakeColorRef(255, 51, 102);
  TempDir folder;
};

TEST_F(WallpaperTest, AWideWallpaperFillsTheWidthCentredVertically) {
  settings.m_use_wallpaper = true;
  CRenderSession session(doc, nullptr, settings);
  session.PrepareBackground(64, 48, Write("wide.png", 200, 100, kPaper, kPaper), false);
  const CKavraDib* background = session.BackgroundImage();
  ASSERT_NE(background, nullptr);
  ASSERT_EQ(background->Width(), 64);
  ASSERT_EQ(background->Height(), 48);
  EXPECT_EQ(background->BitsPerPixel(), 24);
  // Scaled to 64 x 32 at row 8.
  for (int x : {0, 63}) {
    EXPECT_EQ(At(*background, x, 7), kBackground);
    EXPECT_EQ(At(*background, x, 8), kPaper);
    EXPECT_EQ(At(*background, x, 39), kPaper);
    EXPECT_EQ(At(*background, x, 40), kBackground);
  }
  // Wider than the background's aspect allows: fills the height instead (40 x 40 at column 10).
  session.PrepareBackground(60, 40, Write("square.png", 101, 100, kPaper, kPaper), false);
  ASSERT_NE(session.BackgroundImage(), nullptr);
  EXPECT_EQ(At(*session.BackgroundImage(), 9, 20), kBackground);
  EXPECT_EQ(At(*session.BackgroundImage(), 10, 20), kPaper);
  EXPECT_EQ(At(*session.BackgroundImage(), 49, 20), kPaper);
  EXPECT_EQ(At(*session.BackgroundImage(), 50, 20), kBackground);
}

TEST_F(WallpaperTest, ATallWallpaperFillsTheHeightItsWidthRoundedUpToFour) {
  settings.m_use_wallpaper = true;
  CRenderSession session(doc, nullptr, settings);
  // 30 x 100 scales to 14.4 x 48: 17 rounded down to 16 columns, at column 24.
  session.PrepareBackground(64, 48, Write("tall.png", 30, 100, kPaper, kPaper), false);
  const CKavraDib* background = session.BackgroundImage();
  ASSERT_NE(background, nullptr);
  for (int y : {0, 47}) {
    EXPECT_EQ(At(*background, 23, y), kBackground);
    EXPECT_EQ(At(*background, 24, y), kPaper);
    EXPECT_EQ(At(*background, 39, y), kPaper);
    EXPECT_EQ(At(*background, 40, y), kBackground);
  }
  // Taller than the background's aspect allows: fills the width (40 x 40 at row 10).
  session.PrepareBackground(40, 60, Write("nearly.png", 100, 101, kPaper, kPaper), false);
  ASSERT_NE(session.BackgroundImage(), nullptr);
  EXPECT_EQ(At(*session.BackgroundImage(), 20, 9), kBackground);
  EXPECT_EQ(At(*session.BackgroundImage(), 20, 10), kPaper);
  EXPECT_EQ(At(*session.BackgroundImage(), 20, 49), kPaper);
  EXPECT_EQ(At(*session.BackgroundImage(), 20, 50), kBackground);
}

TEST_F(WallpaperTest, StretchedAndGreyWallpapers) {
  settings.m_use_wallpaper = true;
  settings.m_stretch_wallpaper = true;
  CRenderSession session(doc, nullptr, settings);
  session.PrepareBackground(64, 48, Write("tall.png", 30, 100, kPaper, kPaper), false);
  ASSERT_NE(session.BackgroundImage(), nullptr);
  for (int x : {0, 63})
    for (int y : {0, 47}) EXPECT_EQ(At(*session.BackgroundImage(), x, y), kPaper);

  // Pure green and pure blue halves: the renderer's grey weights give 150
  // and 28 (the usual 0.587 and 0.114 would give 149 and 29).
  session.PrepareBackground(64, 48, Write("halves.png", 64, 48, MakeColorRef(0, 255, 0), MakeColorRef(0, 0, 255)),
                            true);
  ASSERT_NE(session.BackgroundImage(), nullptr);
  EXPECT_EQ(At(*session.BackgroundImage(), 5, 20), MakeColorRef(150, 150, 150));
  EXPECT_EQ(At(*session.BackgroundImage(), 60, 20), MakeColorRef(28, 28, 28));
  session.PrepareBackground(64, 48, Write("red.png", 64, 48, MakeColorRef(255, 0, 0), MakeColorRef(255, 0, 0)), true);
  ASSERT_NE(session.BackgroundImage(), nullptr);
  EXPECT_EQ(At(*session.BackgroundImage(), 30, 20), MakeColorRef(76, 76, 76));
}

TEST_F(WallpaperTest, NoWallpaperNoBackgroundImage) {
  const TK_wString paper = Write("paper.png", 20, 20, kPaper, kPaper);
  CRenderSession off(doc, nullptr, settings);  // wallpapers off
  off.PrepareBackground(64, 48, paper, false);
  EXPECT_EQ(off.BackgroundImage(), nullptr);
  settings.m_use_wallpaper = true;
  CRenderSession on(doc, nullptr, settings);
  on.PrepareBackground(64, 48, TK_wString(), false);
  EXPECT_EQ(on.BackgroundImage(), nullptr);
  on.PrepareBackground(64, 48, TK_wString::FromUtf8((folder / "missing.png").string()), false);
  EXPECT_EQ(on.BackgroundImage(), nullptr);
}

TEST_F(WallpaperTest, TheBackgroundHasTheOversampledSize) {
  settings.m_use_wallpaper = true;
  settings.m_favor_memory = true;
  SetLevels(3, 0);
  view.m_wallpaper_filename = Write("paper.png", 20, 20, kPaper, kPaper);
  ProbeSession session(doc, nullptr, settings);
  Start(session, window, view, image, 640, 480);
  PumpUntilEnded(session);
  ASSERT_NE(session.BackgroundImage(), nullptr);
  EXPECT_EQ(session.BackgroundImage()->Width(), 2560);
  EXPECT_EQ(session.BackgroundImage()->Height(), 1920);
  EXPECT_EQ(session.MainProjection()->Camera().ScreenWidth(), 2560);
  EXPECT_EQ(image.Width(), 640);
  EXPECT_EQ(window.completions, 1);
}

}  // namespace
