// Shadows through a whole render: a small plate under a spot light throws
// its shadow on the floor where the geometry puts it, at both shadow levels,
// and nowhere else; without a map the floor is lit as without shadows.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "engine/RenderSession.h"
#include "host/app/Doc.h"
#include "host/app/KavraLight.h"
#include "host/app/KavraObject.h"
#include "host/platform/Messages.h"
#include "host/platform/Window.h"
#include "shadows/PixelFormatCatalogue.h"
#include "support/SquareMesh.h"

namespace {

class QuietWindow : public KvWindow {
public:
  QuietWindow() { EXPECT_TRUE(Create()); }

protected:
  LRESULT WindowProc(UINT, WPARAM, LPARAM) override { return 1; }
};

constexpr int kSize = 64;

class ShadowRenderTest : public ::testing::Test {
protected:
  void SetUp() override {
    BuildPixelFormatCatalogue();
    if (FindPixelFormat(kGenericBitmap).format_index == 0) GTEST_SKIP() << "no offscreen OpenGL on this machine";
    // Straight down from 10 above, seeing the floor from -2.5 to 2.5.
    view.m_vp.SetCameraLocation({0, 0, 10});
    view.m_vp.SetCameraDirection({0, 0, -1});
    view.m_vp.SetCameraUp({0, 1, 0});
    view.m_vp.SetCameraAngle(std::atan(0.25));
  }

  // The image of the floor with a plate of half side 0.3 at height 3 under
  // a spot light at height 4: the plate's shadow reaches 1.2 from the middle.
  // Pixels top row first, as blue | green << 8 | red << 16.
  std::vector<std::uint32_t> Render(int shadow_level, double shadow_intensity) {
    TK_ScnRenderSettings render = doc.Properties().RenderSettings();
    render.m_antialias_level = 0;
    render.m_shadow_level = shadow_level;
    render.m_shadowmap_width = render.m_shadowmap_height = 256;
    render.m_ambient_color = TK_Color(40, 40, 40);
    doc.Properties().SetRenderSettings(render);
    CRenderSession session(doc, nullptr, record);
    const TK_Mesh floor = SquareMesh(4, 0), plate = SquareMesh(0.3f, 3);
    EXPECT_TRUE(session.AddRenderMesh(object, TK_Material(), &floor));
    EXPECT_TRUE(session.AddRenderMesh(object, TK_Material(), &plate));
    TK_Light spot;
    spot.SetStyle(TK::spot_light);
    spot.SetLocation({0, 0, 4});
    spot.SetDirection({0, 0, -1});
    spot.SetSpotAngleRadians(M_PI / 4);
    spot.SetShadowIntensity(shadow_intensity);
    EXPECT_TRUE(session.AddLight(CKavraLight(spot)));
    COruDib image;
    session.SetRendering(true);
    EXPECT_TRUE(session.PrepareRender(&window, view, kSize, kSize, kSize, kSize));
    EXPECT_TRUE(session.ResumeRender(&image));
    EXPECT_TRUE(PumpMessagesUntil([&] { return !session.IsRendering(); }, 60000));
    EXPECT_EQ(session.ShadowMaps().Count(), shadow_level != 0 && shadow_intensity != 0 ? 1 : 0);
    std::vector<std::uint32_t> pixels;
    for (int row = 0; row < kSize; ++row)
      for (int column = 0; column < kSize; ++column) {
        const unsigned char* p = image.FindDIBBits() + (std::size_t(kSize - 1 - row) * kSize + std::size_t(column)) * 4;
        pixels.push_back(std::uint32_t(p[0] | p[1] << 8 | p[2] << 16));
      }
    return pixels;
  }

  // The pixel over floor point (x, y).
  static std::uint32_t At(const std::vector<std::uint32_t>& image, double x, double y) {
    const int column = int((x + 2.5) / 5.0 * kSize), row = int((2.5 - y) / 5.0 * kSize);
    return image[std::size_t(row) * kSize + std::size_t(column)];
  }

  CKavraDoc doc;
  CDMRenderUserData record;
  CKavraObject object;
  TK_ScnView view;
  QuietWindow window;
};

TEST_F(ShadowRenderTest, ThePlateShadowsTheFloorInsideItsOutlineOnly) {
  const std::vector<std::uint32_t> unshadowed = Render(0, 1.0);
  const std::vector<std::uint32_t> normal = Render(1, 1.0);
  const std::vector<std::uint32_t> best = Render(2, 1.0);
  const std::vector<std::uint32_t> faint = Render(1, 0.0);
  // Floor points beside the plate (which covers 0.43 of the view's middle)
  // yet well inside the shadow's 1.2, then well outside it.
  for (const auto& [x, y] : {std::pair{0.8, 0.0}, {0.0, -0.9}, {-0.7, 0.7}}) {
    SCOPED_TRACE(testing::Message() << x << ", " << y);
    const std::uint32_t lit = At(unshadowed, x, y), dark = At(normal, x, y);
    for (const int shift : {0, 8, 16}) EXPECT_LT(dark >> shift & 0xFF, lit >> shift & 0xFF);
    EXPECT_EQ(At(best, x, y), dark);
    EXPECT_EQ(dark, At(normal, 0.8, 0.0));  // ambient alone, alike everywhere in the shadow
    EXPECT_EQ(At(faint, x, y), lit);
  }
  for (const auto& [x, y] : {std::pair{2.0, 0.0}, {-1.6, -1.6}, {0.0, 2.2}}) {
    SCOPED_TRACE(testing::Message() << x << ", " << y);
    EXPECT_EQ(At(normal, x, y), At(unshadowed, x, y));
    EXPECT_EQ(At(best, x, y), At(unshadowed, x, y));
  }
}

}  // namespace
