// The pixel loops through a real render: each level's filter over samples
// whose values the test knows (a wallpaper with a colour per sample), band
// announcements, aborts between bands, and pixels whose lit colour a few
// lines of lighting predict. GatherHits on its own: cell order, depth order.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <thread>
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

using namespace std::chrono_literals;

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

// Holds the worker at the announcement of band `band_index` (counted from
// 0 among the announcements) until the test's thread has aborted.
class BandAbortSession : public CRenderSession {
public:
  BandAbortSession(CKavraDoc& doc, const CDMRenderUserData& settings, int band_index)
      : CRenderSession(doc, nullptr, settings), band_index_(band_index) {}
  ~BandAbortSession() override {
    StopRenderThread();
    if (WorkerThread()) MsgWaitForSingleObject(WorkerThread(), INFINITE);
  }
  void NotifyView(RenderStatus status, LPARAM payload) override {
    CRenderSession::NotifyView(status, payload);
    if (status != RenderStatus::progress || announced_++ != band_index_) return;
    reached = true;
    for (int i = 0; i < 5000 && !AbortFlag()->load(); ++i) std::this_thread::sleep_for(1ms);
  }
  std::atomic<bool> reached{false};

private:
  const int band_index_;
  int announced_ = 0;
};

// Image words: blue | green << 8 | red << 16.
std::uint32_t Word(int red, int green, int blue) { return std::uint32_t(blue | green << 8 | red << 16); }
int Channel(std::uint32_t word, int shift) { return int(word >> shift & 0xFF); }

class PixelLoopsTest : public ::testing::Test {
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
  // A wallpaper of exactly the oversampled size, stretched, so that every
  // sample's background is its own wallpaper pixel.
  void UseSampleWallpaper(int width, int height) {
    CKavraDib dib;
    ASSERT_TRUE(dib.CreateDib(width, height, 24, true, nullptr));
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        unsigned char* p = dib.FindDIBBits() + std::size_t(height - 1 - y) * std::size_t(dib.GetStorageWidth()) + 3 * x;
        const std::uint32_t w = SampleWord(x, y);
        p[0] = std::uint8_t(w), p[1] = std::uint8_t(w >> 8), p[2] = std::uint8_t(w >> 16);
      }
    const TK_wString path = TK_wString::FromUtf8((folder / "samples.png").string());
    ASSERT_TRUE(dib.WriteToFile(path));
    view.m_wallpaper_filename = path;
    settings.m_use_wallpaper = true;
    settings.m_stretch_wallpaper = true;
  }
  // The sample at oversampled column x, row y from the top: every one differs
  // from its neighbours in every channel.
  static std::uint32_t SampleWord(int x, int y) {
    return Word((37 * x + 11 * y + 3) % 256, (5 * x + 29 * y + 60) % 256, (17 * x * y + 7 * x + 3 * y) % 256);
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

// What each level makes of known samples: the weights along a row (also
// along a column) and which oversampled rows and columns each pixel reads.
struct Filter {
  int level;
  int factor;
  std::vector<int> weights;
  // Oversampled rows of image row k (and, for columns, of image column j).
  std::vector<int> (*rows)(int k, int last);
  std::vector<int> (*columns)(int j, int last);
};

std::vector<int> Same(int k, int) { return {k}; }
// Box: row 0 with row 1; after that rows 2k - 1 and 2k + 1 (even rows skipped).
std::vector<int> BoxRows(int k, int) { return k == 0 ? std::vector<int>{0, 1} : std::vector<int>{2 * k - 1, 2 * k + 1}; }
std::vector<int> BoxColumns(int j, int) { return {2 * j, 2 * j + 1}; }
// 3 x 3 tent: 2k, 2k + 1, 2k + 2, the one past the end repeating the last.
std::vector<int> Tent3(int k, int last) { return {2 * k, 2 * k + 1, std::min(2 * k + 2, last)}; }
// 4 x 4 tent: rows 0..3; after that the block's last row is reused, 4k skipped.
std::vector<int> Tent4Rows(int k, int) {
  return k == 0 ? std::vector<int>{0, 1, 2, 3} : std::vector<int>{4 * k - 1, 4 * k + 1, 4 * k + 2, 4 * k + 3};
}
std::vector<int> Tent4Columns(int j, int) { return {4 * j, 4 * j + 1, 4 * j + 2, 4 * j + 3}; }

TEST_F(PixelLoopsTest, EachLevelFiltersItsRowsAndColumnsOfSamples) {
  settings.m_favor_memory = true;  // bands of 4 rows (8 at level 3): many bands, rows reused across them
  const int width = 5, height = 7;
  const Filter filters[] = {{0, 1, {1}, Same, Same},
                            {1, 2, {1, 1}, BoxRows, BoxColumns},
                            {2, 2, {1, 2, 1}, Tent3, Tent3},
                            {3, 4, {1, 2, 2, 1}, Tent4Rows, Tent4Columns}};
  for (const Filter& f : filters) {
    SetLevel(f.level);
    const int ow = width * f.factor, oh = height * f.factor;
    UseSampleWallpaper(ow, oh);
    window.codes.clear();
    CRenderSession session(doc, nullptr, settings);  // no meshes: every cell is empty
    Render(session, width, height);
    ASSERT_TRUE(window.Completed());
    ASSERT_NE(session.BackgroundImage(), nullptr);
    ASSERT_EQ(session.BackgroundImage()->Width(), ow);
    int divisor = 0;
    for (int a : f.weights)
      for (int b : f.weights) divisor += a * b;
    for (int k = 0; k < height; ++k)
      for (int j = 0; j < width; ++j) {
        const std::vector<int> rows = f.rows(k, oh - 1), columns = f.columns(j, ow - 1);
        std::uint32_t expected = 0;
        for (int shift = 0; shift < 24; shift += 8) {
          int sum = 0;
          for (std::size_t a = 0; a < rows.size(); ++a)
            for (std::size_t b = 0; b < columns.size(); ++b)
              sum += f.weights[a] * f.weights[b] * Channel(SampleWord(columns[b], rows[a]), shift);
          expected |= std::uint32_t(sum / divisor) << shift;
        }
        ASSERT_EQ(ImageWord(j, k), expected) << "level " << f.level << " pixel " << j << ", " << k;
      }
  }
}

TEST_F(PixelLoopsTest, BandsAreAnnouncedBeforeTheirRowsByLevel) {
  struct Case {
    int level, width, height;
    std::vector<LPARAM> payloads;
  };
  // Bands of 32 rows, 36 at level 3. A one-row image at level 0: one band,
  // index 0. Levels 1 to 3 do not announce their first band.
  for (const Case& c : {Case{0, 3, 1, {32 << 16}}, Case{0, 3, 70, {32 << 16, 32 << 16 | 1, 32 << 16 | 2}},
                        Case{1, 3, 40, {32 << 16, 32 << 16 | 1}}, Case{2, 3, 40, {32 << 16, 32 << 16 | 1}},
                        Case{3, 3, 20, {36 << 16, 36 << 16}}, Case{1, 3, 16, {}}}) {
    SetLevel(c.level);
    CRenderSession session(doc, nullptr, settings);
    StatusWindow status;
    session.SetRendering(true);
    ASSERT_TRUE(session.PrepareRender(&status, view, 5, 5, c.width, c.height));
    ASSERT_TRUE(session.ResumeRender(&image));
    Finish(session);
    EXPECT_EQ(status.band_payloads, c.payloads) << c.level << " " << c.height;
    EXPECT_TRUE(status.Completed());
  }
}

TEST_F(PixelLoopsTest, AnAbortBetweenBandsKeepsTheFinishedRows) {
  settings.m_favor_memory = true;  // bands of 4 rows
  for (int level : {0, 1, 2, 3}) {
    SetLevel(level);
    const int factor = level == 0 ? 1 : level == 3 ? 4 : 2;
    const int width = 6, height = 12;
    UseSampleWallpaper(width * factor, height * factor);
    // Level 0 announces its first band: abort at the second. The others at their first.
    BandAbortSession session(doc, settings, level == 0 ? 1 : 0);
    StatusWindow status;
    session.SetRendering(true);
    ASSERT_TRUE(session.PrepareRender(&status, view, 5, 5, width, height));
    ASSERT_TRUE(session.ResumeRender(&image));
    ASSERT_TRUE(PumpMessagesUntil([&] { return session.reached.load(); }, 10000));
    session.AbortRender();
    Finish(session);
    EXPECT_TRUE(status.Aborted()) << level;
    EXPECT_FALSE(status.Completed()) << level;
    // Rows finished before the band: the wallpaper's (filtered) samples;
    // the rest still hold the background colour the image was filled with.
    const int finished = level == 0 ? 4 : level == 3 ? 2 : 2;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        if (y < finished)
          EXPECT_NE(ImageWord(x, y), background) << level << ": " << x << ", " << y;
        else
          EXPECT_EQ(ImageWord(x, y), background) << level << ": " << x << ", " << y;
      }
    if (level == 0) {
      EXPECT_EQ(ImageWord(2, 3), SampleWord(2, 3));
    }
  }
}

// Expected packed lighting: trunc(min(c, 1) x 255) per channel.
int Byte(double c) { return int(std::min(c, 1.0) * 255.0); }

TEST_F(PixelLoopsTest, ATriangleLitByAPointLightHasItsLambertColour) {
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

TEST_F(PixelLoopsTest, TwoTransparentQuadsShowTheBackgroundThroughBoth) {
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

TEST_F(PixelLoopsTest, ACheckerTextureSeenStraightOnKeepsItsCells) {
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

TEST_F(PixelLoopsTest, ABumpMapOfALinearRampTiltsTheNormalEvenly) {
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

// GatherHits on its own: two triangles in one cell, the farther filed first.
TEST(GatherHits, HitsComeInCellOrderOrNearestFirst) {
  auto two_sided = std::make_unique<MaterialEntry>(std::make_unique<CRenderMaterial>());
  TK_Mesh far_mesh, near_mesh;
  for (auto [mesh, z] : {std::pair{&far_mesh, -2.0f}, std::pair{&near_mesh, 1.0f}}) {
    mesh->SetVertex(0, TK_3fPoint(-3, -3, z));
    mesh->SetVertex(1, TK_3fPoint(3, -3, z));
    mesh->SetVertex(2, TK_3fPoint(0, 3, z));
    mesh->SetTriangle(0, 0, 1, 2);
  }
  far_mesh.m_T = {TK_2fPoint(0.25f, 0.5f), TK_2fPoint(0.75f, 0.5f), TK_2fPoint(0.5f, 1)};
  auto far_entry = RenderMeshEntry::Create(far_mesh, two_sided.get());
  auto near_entry = RenderMeshEntry::Create(near_mesh, two_sided.get());
  ASSERT_TRUE(far_entry && near_entry);
  TK_BoundingBox box = far_entry->BoundingBox();
  box.Union(near_entry->BoundingBox());
  TK_Viewport camera;
  camera.SetCameraLocation({0, 0, 10});
  camera.SetCameraDirection({0, 0, -1});
  camera.SetCameraUp({0, 1, 0});
  std::atomic<bool> abort{false};
  auto projection = CScreenProjection::Create(camera, 20, 20, &abort, &box);
  ASSERT_NE(projection, nullptr);
  ASSERT_TRUE(projection->AddMesh(far_entry.get()));
  ASSERT_TRUE(projection->AddMesh(near_entry.get()));
  ASSERT_TRUE(projection->ProjectFaces());
  ASSERT_TRUE(projection->PrepareBand(8, 5));

  TK_SimpleArray<HitRecord> hits;
  ASSERT_EQ(projection->GatherHits(10, 10, hits, false), 2);
  EXPECT_EQ(hits[0].mesh_index, 0);
  EXPECT_EQ(hits[1].mesh_index, 1);
  EXPECT_GT(hits[0].depth, hits[1].depth);
  // Each record is its own hit: the second mesh has no texture coordinates
  // and must not carry the first one's.
  EXPECT_EQ(hits[0].texture_coordinates[0].x, 0.25f);
  EXPECT_EQ(hits[1].texture_coordinates[0].x, 0.0f);
  EXPECT_EQ(hits[1].texture_coordinates[2].y, 0.0f);
  EXPECT_EQ(hits[0].material, two_sided.get());

  ASSERT_EQ(projection->GatherHits(10, 10, hits, true), 2);
  EXPECT_EQ(hits[0].mesh_index, 1);
  EXPECT_EQ(hits[1].mesh_index, 0);
  EXPECT_LT(hits[0].depth, hits[1].depth);
  EXPECT_EQ(hits.Count(), 2);

  // A corner cell holds no face: no hits, and the list is emptied.
  const int capacity = hits.Capacity();
  EXPECT_EQ(projection->GatherHits(0, 8, hits, true), 0);
  EXPECT_EQ(hits.Count(), 0);
  EXPECT_EQ(hits.Capacity(), capacity);
}

}  // namespace
