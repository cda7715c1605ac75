// The render view after a real render, in a headless window with a 20 x 60 border and
// 16-pixel scroll bars: zoom with its scroll bars and frame size, the wheel, scrolling,
// panning, and the pixels each zoom paints.

#include <gtest/gtest.h>

#include <cstdlib>

#include "resources/RenderWindowResources.h"
#include "ui/RenderWindowRun.h"

namespace {

constexpr KvHeadlessToolkit::Metrics kMetrics{{20, 60}, {1 << 20, 1 << 20}, 16};
using Scroll = CRenderView::ScrollState;

struct Rendered : RenderWindowRun {
  Rendered(int width, int height, const KvHeadlessToolkit::Metrics& metrics = kMetrics)
      : RenderWindowRun(width, height, 0, metrics) {
    EXPECT_EQ(Render(), CKavraSdkRender::render_completed);
  }
  CRenderView& view() const { return *View(); }
  // Red, green, blue of a screen pixel (x, y from the top).
  COLORREF ScreenPixel(int x, int y) const {
    const COruDib& screen = ViewWindow().Screen();
    float r, g, b;
    screen.GetPixel(x, screen.Height() - 1 - y, r, g, b);
    return MakeColorRef(std::uint8_t(r * 255 + 0.5f), std::uint8_t(g * 255 + 0.5f), std::uint8_t(b * 255 + 0.5f));
  }
  COLORREF ImagePixel(int x, int y) const {
    float r, g, b;
    view().Bitmap().GetPixel(x, view().Bitmap().Height() - 1 - y, r, g, b);
    return MakeColorRef(std::uint8_t(r * 255 + 0.5f), std::uint8_t(g * 255 + 0.5f), std::uint8_t(b * 255 + 0.5f));
  }
};

bool Near(COLORREF a, COLORREF b) {
  return std::abs(GetRValue(a) - GetRValue(b)) <= 1 && std::abs(GetGValue(a) - GetGValue(b)) <= 1 &&
         std::abs(GetBValue(a) - GetBValue(b)) <= 1;
}

TEST(RenderViewZoom, ScrollBarsComeWithMagnificationAndTheFrameKeepsTheClientSize) {
  Rendered run(200, 100);
  CRenderView& view = run.view();
  const struct {
    int zoom;
    SIZE frame;
    Scroll h, v;
  } steps[] = {
      {2, {236, 176}, {200, 400, 100}, {100, 200, 50}},  // In 2x: centred, grown by the bars
      {3, {236, 176}, {200, 600, 200}, {100, 300, 100}},  // bars already shown: no growth
      {1, {220, 160}, {}, {}},                            // 1:1 is the fitted zoom: bars go
      {-2, {220, 160}, {}, {}},
  };
  for (const auto& s : steps) {
    view.SetZoom(s.zoom);
    EXPECT_EQ(std::tuple(run.Frame()->WindowSize(), view.ClientSize(), view.Scroll(SB_HORZ), view.Scroll(SB_VERT)),
              std::tuple(s.frame, SIZE{200, 100}, s.h, s.v))
        << s.zoom;
    EXPECT_EQ(run.ViewWindow().ScrollBarsShown(), s.zoom > 1);
    if (s.zoom > 1) {
      EXPECT_EQ(run.ViewWindow().Bar(SB_VERT), (KvHeadlessViewWindow::ScrollBar{s.v.range, s.v.page, s.v.position}));
    }
  }
  EXPECT_EQ(run.Frame()->WindowText().str().find(L"DuskMoth Render (1:2): "), 0u);
  // A window larger than twice the image: nothing to centre, both positions 0.
  run.Frame()->SetWindowSize({520, 360});
  view.SetZoom(2);
  EXPECT_EQ(std::pair(view.Scroll(SB_HORZ).position, view.Scroll(SB_VERT).position), std::pair(0, 0));
}

TEST(RenderViewZoom, AFittedReductionStretchesTheImageAndNormalViewingScrollsIt) {
  Rendered run(300, 90, KvHeadlessToolkit::Metrics{{20, 60}, {174, 151}, 16});  // fitted at 1:3
  CRenderView& view = run.view();
  ASSERT_EQ(std::pair(view.FittedZoom(), view.ClientSize()), std::pair(-3, SIZE{100, 30}));
  view.SetZoom(1);  // above the fitted zoom: scroll bars
  EXPECT_EQ(std::pair(view.Scroll(SB_HORZ), view.Scroll(SB_VERT)), std::pair(Scroll{100, 300, 100}, Scroll{30, 90, 30}));
  EXPECT_EQ(run.ScreenPixel(0, 0), run.ImagePixel(100, 30));  // the middle of the image at the corner
  view.SetZoom(-3);  // the fitted zoom again: the image fills the window, averaged 3 x 3
  EXPECT_EQ(run.Frame()->WindowSize(), (SIZE{120, 90}));
  for (const POINT p : {POINT{0, 0}, POINT{50, 15}, POINT{99, 29}}) {
    int sum[3] = {};
    for (int dy = 0; dy < 3; ++dy)
      for (int dx = 0; dx < 3; ++dx) {
        const COLORREF c = run.ImagePixel(3 * p.x + dx, 3 * p.y + dy);
        sum[0] += GetRValue(c), sum[1] += GetGValue(c), sum[2] += GetBValue(c);
      }
    const COLORREF mean = MakeColorRef(std::uint8_t((sum[0] + 4) / 9), std::uint8_t((sum[1] + 4) / 9),
                                       std::uint8_t((sum[2] + 4) / 9));
    EXPECT_TRUE(Near(run.ScreenPixel(p.x, p.y), mean)) << p.x << "," << p.y;
  }
}

// Out 2x: the half-size image in the middle, a black border two pixels wide, the X pattern beyond.
TEST(RenderViewZoom, AReducedImageIsCentredWithABorderOnThePattern) {
  Rendered run(200, 100);
  run.view().SetZoom(-2);
  const RECT image{50, 25, 150, 75};
  const KvPixmap& pattern = *LoadBitmapResource(6001);
  const auto ring = [&](int x, int y) {
    const int dx = std::max(image.left - x, x - (image.right - 1)), dy = std::max(image.top - y, y - (image.bottom - 1));
    return std::max(dx, dy);  // 0 inside the image, n on the n-th ring around it
  };
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 200; ++x) {
      const COLORREF shown = run.ScreenPixel(x, y);
      const int r = ring(x, y);
      if (r <= 0) continue;
      const std::uint32_t argb = pattern.At(x % 8, y % 8);
      const COLORREF want = r <= 2 ? MakeColorRef(0, 0, 0)
                                   : MakeColorRef(std::uint8_t(argb >> 16), std::uint8_t(argb >> 8), std::uint8_t(argb));
      ASSERT_EQ(shown, want) << x << "," << y;
    }
  EXPECT_EQ(run.ScreenPixel(10, 11), MakeColorRef(178, 178, 178));
  EXPECT_EQ(run.ScreenPixel(9, 9), MakeColorRef(191, 153, 157));
  // Inside: each pixel the mean of its 2 x 2 block.
  for (const POINT p : {POINT{0, 0}, POINT{60, 20}, POINT{99, 49}}) {
    int sum[3] = {};
    for (int i = 0; i < 4; ++i) {
      const COLORREF c = run.ImagePixel(2 * p.x + i % 2, 2 * p.y + i / 2);
      sum[0] += GetRValue(c), sum[1] += GetGValue(c), sum[2] += GetBValue(c);
    }
    const COLORREF mean = MakeColorRef(std::uint8_t((sum[0] + 2) / 4), std::uint8_t((sum[1] + 2) / 4),
                                       std::uint8_t((sum[2] + 2) / 4));
    EXPECT_TRUE(Near(run.ScreenPixel(image.left + p.x, image.top + p.y), mean)) << p.x << "," << p.y;
  }
}

TEST(RenderViewZoom, TheWheelStepsOverTheMissingZoomsAndStopsAtTen) {
  Rendered run(64, 48);
  const struct { int from, delta, to; } cases[] = {
      {-2, 120, 1}, {1, -120, -2}, {10, 120, 10}, {-10, -120, -10}, {3, -120, 2}, {2, -120, 1}, {-5, 120, -4},
  };
  for (const auto& c : cases) {
    run.view().SetZoom(c.from);
    run.view().OnMouseWheel(c.delta);
    EXPECT_EQ(run.view().Zoom(), c.to) << c.from << " by " << c.delta;
  }
}

// At zoom 2 a 37 x 30 image scrolls over 74 x 60 in a 37 x 30 page: a line is 3 pixels.
TEST(RenderViewZoom, ScrollCodesMoveByLinesPagesAndTheThumbWithinTheRange) {
  Rendered run(37, 30);
  CRenderView& view = run.view();
  view.SetZoom(2);
  ASSERT_EQ(view.Scroll(SB_HORZ), (Scroll{37, 74, 18}));
  const struct { int code, track, position; } steps[] = {
      {SB_LINEDOWN, 0, 21}, {SB_LINEUP, 0, 18}, {SB_PAGEDOWN, 0, 37}, {SB_THUMBTRACK, 5, 5},
      {SB_THUMBPOSITION, 30, 5}, {SB_ENDSCROLL, 0, 5}, {SB_TOP, 0, 5}, {SB_PAGEUP, 0, 0}, {SB_LINEUP, 0, 0},
  };
  for (const auto& s : steps) {
    view.OnScroll(SB_HORZ, s.code, s.track);
    EXPECT_EQ(std::pair(view.Scroll(SB_HORZ).position, run.ViewWindow().Bar(SB_HORZ).position),
              std::pair(s.position, s.position))
        << "code " << s.code;
  }
  view.OnScroll(SB_VERT, SB_LINEDOWN, 0);  // 30 / 10 = 3 down from 15
  EXPECT_EQ(view.Scroll(SB_VERT).position, 18);
  EXPECT_EQ(run.ScreenPixel(0, 0), run.ImagePixel(0, 9));  // row 18 of the doubled image
}

TEST(RenderViewZoom, DraggingPansTheMagnifiedImageWithTheHandUntilItsEdge) {
  Rendered run(200, 100);
  CRenderView& view = run.view();
  KvHeadlessViewWindow& window = run.ViewWindow();
  view.OnLButtonDown({100, 50});  // at the fitted zoom nothing pans
  EXPECT_FALSE(window.HasCapture());
  view.SetZoom(2);
  view.OnLButtonDown({100, 50});
  EXPECT_TRUE(window.HasCapture() && window.Cursor() == LoadCursorResource(132) && view.OnSetCursor());
  view.OnMouseMove({90, 45});  // 10 left and 5 up: the image follows
  EXPECT_EQ(std::pair(view.Scroll(SB_HORZ).position, view.Scroll(SB_VERT).position), std::pair(110, 55));
  EXPECT_EQ(run.ScreenPixel(0, 0), run.ImagePixel(55, 27));
  view.OnMouseMove({-1000, 1000});  // clamped to range - page and to 0
  EXPECT_EQ(std::pair(view.Scroll(SB_HORZ).position, view.Scroll(SB_VERT).position), std::pair(200, 0));
  view.OnLButtonUp({-1000, 1000});
  view.OnMouseMove({0, 0});  // no capture: no panning
  EXPECT_TRUE(!window.HasCapture() && !view.OnSetCursor() && view.Scroll(SB_HORZ).position == 200);
}

}  // namespace
