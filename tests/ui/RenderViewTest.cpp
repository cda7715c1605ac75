// The render view: the worker's statuses become message-line texts, a
// progress row and redraw requests; a real render reports every phase and
// leaves its image in the view's bitmap.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "host/platform/Messages.h"
#include "host/sdk/SdkRender.h"
#include "support/RenderWindowRun.h"

namespace {

using Texts = std::vector<std::wstring>;

LPARAM Progress(int step, int count) { return LPARAM(step) << 16 | LPARAM(count); }

// After a completed render of width x height, the view still takes statuses
// on this thread, as the window of a finished render does.
class ViewStatuses : public ::testing::Test {
protected:
  void Render(int width, int height) {
    run = std::make_unique<RenderWindowRun>(width, height);
    ASSERT_EQ(run->Render(), CKavraSdkRender::render_completed);
    view = run->View();
    ASSERT_NE(view, nullptr);
    run->texts.clear();
  }
  void Status(int code, LPARAM payload = -1) { SendMessage(view->Handle(), WM_RENDER_STATUS, WPARAM(code), payload); }

  std::unique_ptr<RenderWindowRun> run;
  CRenderView* view = nullptr;
};

}  // namespace

TEST(RenderView, ARenderReportsEveryPhaseInOrderAndFillsTheBitmap) {
  RenderWindowRun run(80, 100);
  run.settings.m_favor_memory = false;  // bands of 32 rows
  ASSERT_EQ(run.Render(), CKavraSdkRender::render_completed);
  const Texts& texts = run.texts;
  ASSERT_GE(texts.size(), 6u);
  EXPECT_EQ(texts[0], L"Initializing...");
  EXPECT_EQ(texts[1], L"Calculating Screen Projections...");
  EXPECT_EQ(texts[2], L"Calculating Lights and Shadow Maps...");
  EXPECT_EQ(texts[3], L"Rendering...(0%)");
  EXPECT_EQ(texts[texts.size() - 2], L"Rendering curves, wires and annotations...");
  EXPECT_EQ(texts.back(), L"Completed");
  // Three bands of 32 rows: the progress between runs 0, 32, 64 and 96 %.
  Texts progress(texts.begin() + 3, texts.end() - 2);
  EXPECT_EQ(progress, (Texts{L"Rendering...(0%)", L"Rendering...(32%)", L"Rendering...(64%)", L"Rendering...(96%)"}));

  CRenderView* view = run.View();
  ASSERT_NE(view, nullptr);
  EXPECT_TRUE(view->CompletedFlag());
  EXPECT_EQ(view->ProgressRow(), -1);
  EXPECT_TRUE(view->Completed());
  // The worker's image: the view's bitmap at the image size, 32 bits a pixel.
  EXPECT_TRUE(view->Bitmap().HasPixels());
  EXPECT_EQ(view->Bitmap().Width(), 80);
  EXPECT_EQ(view->Bitmap().Height(), 100);
  EXPECT_EQ(view->Bitmap().BitsPerPixel(), 32);
  // No drawing flags: no wires drawn.
  EXPECT_EQ(view->DrawWiresCount(), 0);
}

TEST(RenderView, WiresAreDrawnWhenAnyDrawingFlagIsSet) {
  int TK_ScnRenderSettings::*flags[] = {
      &TK_ScnRenderSettings::m_render_curves_and_isocurves, &TK_ScnRenderSettings::m_render_dimensions_and_text,
      &TK_ScnRenderSettings::m_render_annotation_dots, &TK_ScnRenderSettings::m_render_points,
      &TK_ScnRenderSettings::m_render_mesh_wireframe};
  for (int TK_ScnRenderSettings::*flag : flags) {
    RenderWindowRun run(8, 8);
    TK_ScnRenderSettings settings = run.doc.Properties().RenderSettings();
    settings.*flag = 1;
    run.doc.Properties().SetRenderSettings(settings);
    ASSERT_EQ(run.Render(), CKavraSdkRender::render_completed);
    EXPECT_EQ(run.View()->DrawWiresCount(), 1);
    EXPECT_EQ(run.LastText(), L"Completed");
  }
}

TEST_F(ViewStatuses, PhasesSetTheirTextsAndRepaintTheWholeView) {
  Render(200, 100);
  const RECT whole{0, 0, 200, 100};
  int repaints = view->RepaintCount();
  Status(1);
  EXPECT_FALSE(view->CompletedFlag());
  EXPECT_EQ(run->LastText(), L"Initializing...");
  EXPECT_EQ(view->RepaintCount(), ++repaints);
  EXPECT_EQ(view->LastRepaintArea(), whole);
  Status(8);
  EXPECT_EQ(run->LastText(), L"Calculating Screen Projections...");
  Status(9);
  EXPECT_EQ(run->LastText(), L"Calculating Lights and Shadow Maps...");
  EXPECT_EQ(view->RepaintCount(), repaints);  // texts only
  Status(2);
  EXPECT_EQ(view->RepaintCount(), ++repaints);
  EXPECT_EQ(view->LastRepaintArea(), whole);
  EXPECT_FALSE(view->EraseRequested());
  // Codes never sent change nothing.
  const std::size_t count = run->texts.size();
  for (int code : {0, 4, 6, 10, 42}) Status(code);
  EXPECT_EQ(run->texts.size(), count);
  EXPECT_EQ(view->RepaintCount(), repaints);
}

TEST_F(ViewStatuses, ProgressMovesTheRowForwardOnlyAndRepaintsAboveIt) {
  Render(200, 100);
  Status(1);
  Status(5, Progress(4, 7));  // 28 rows of 100
  EXPECT_EQ(run->LastText(), L"Rendering...(28%)");
  EXPECT_EQ(view->ProgressRow(), 28);
  EXPECT_EQ(view->LastRepaintArea(), (RECT{0, 0, 200, 28}));
  EXPECT_FALSE(view->EraseRequested());
  // 29 rows of 100 read 28 %, in double precision.
  Status(5, Progress(29, 1));
  EXPECT_EQ(run->LastText(), L"Rendering...(28%)");
  EXPECT_EQ(view->ProgressRow(), 29);
  // Fewer rows: the text follows, the row does not go back.
  Status(5, Progress(1, 3));
  EXPECT_EQ(run->LastText(), L"Rendering...(3%)");
  EXPECT_EQ(view->ProgressRow(), 29);
  // More rows than the image has stop at its last row.
  Status(5, Progress(0xFFFF, 0xFFFF));
  EXPECT_EQ(run->LastText(), L"Rendering...(100%)");
  EXPECT_EQ(view->ProgressRow(), 100);
}

TEST_F(ViewStatuses, ProgressRowIsInClientRowsOfAReducedView) {
  // A frame on a screen too small for the image: shown at 1:3.
  run = std::make_unique<RenderWindowRun>(300, 90);
  run->make_frame = [](CKavraDoc& doc) {
    struct Small : CRenderFrame {
      using CRenderFrame::CRenderFrame;
      SIZE MaximizedWindowSize() const override { return {150, 110}; }
    };
    return std::make_unique<Small>(doc);
  };
  ASSERT_EQ(run->Render(), CKavraSdkRender::render_completed);
  view = run->View();
  ASSERT_EQ(view->ClientSize(), (SIZE{100, 30}));
  Status(1);
  Status(5, Progress(9, 5));  // 45 of 90 image rows: half the client
  EXPECT_EQ(view->ProgressRow(), 15);
  EXPECT_EQ(run->LastText(), L"Rendering...(50%)");
}

TEST_F(ViewStatuses, CompletionEndsProgressAndLateStatusesAreIgnored) {
  Render(50, 50);
  Status(1);
  Status(5, Progress(10, 2));
  const int repaints = view->RepaintCount();
  Status(3);
  EXPECT_TRUE(view->CompletedFlag());
  EXPECT_EQ(view->ProgressRow(), -1);
  EXPECT_EQ((Texts{run->texts.end() - 2, run->texts.end()}),
            (Texts{L"Rendering curves, wires and annotations...", L"Completed"}));
  // One repaint now; the last invalidation waits for the next paint.
  EXPECT_EQ(view->RepaintCount(), repaints + 1);
  EXPECT_EQ(view->InvalidArea(), (RECT{0, 0, 50, 50}));
  Status(5, Progress(10, 4));
  EXPECT_EQ(run->LastText(), L"Completed");
  EXPECT_EQ(view->ProgressRow(), -1);
  // An abort after all still says so.
  Status(7);
  EXPECT_EQ(run->LastText(), L"Aborted");
  EXPECT_EQ(view->ProgressRow(), -1);
}

TEST_F(ViewStatuses, StatusesPostedBeforeTheCompletionAreHandledBeforeIt) {
  Render(40, 40);
  // A worker that posts and then sends: the send would overtake the posts.
  for (auto [code, payload] : std::vector<std::pair<int, LPARAM>>{{1, -1}, {8, -1}, {9, -1}, {2, -1},
                                                                 {5, Progress(32, 0)}, {5, Progress(32, 1)}})
    ASSERT_TRUE(PostMessage(view->Handle(), WM_RENDER_STATUS, WPARAM(code), payload));
  Status(3);
  EXPECT_EQ(run->texts, (Texts{L"Initializing...", L"Calculating Screen Projections...",
                               L"Calculating Lights and Shadow Maps...", L"Rendering...(0%)", L"Rendering...(80%)",
                               L"Rendering curves, wires and annotations...", L"Completed"}));
  EXPECT_TRUE(view->CompletedFlag());
  MSG msg;
  EXPECT_FALSE(PeekMessage(&msg, view->Handle(), 0, 0, PM_NOREMOVE));
}

TEST_F(ViewStatuses, DestroyingTheViewWindowAfterTheRenderIsSafe) {
  Render(16, 16);
  run->Frame()->Close();
  EXPECT_EQ(view->Handle(), nullptr);
  EXPECT_FALSE(run->Frame()->IsWindow());
  // The image outlives the window.
  EXPECT_TRUE(view->Bitmap().HasPixels());
}
