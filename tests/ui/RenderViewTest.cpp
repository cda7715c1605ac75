// The render view after a real render: each worker status as the message-line
// texts and progress row it gives, in one table.

#include <gtest/gtest.h>

#include "host/platform/Messages.h"
#include "host/sdk/RenderStatus.h"
#include "host/sdk/SdkRender.h"
#include "ui/RenderWindowRun.h"

namespace {

using enum RenderStatus;
constexpr auto Progress = PackBandProgress;

void Status(CRenderView* view, int code, LPARAM payload = kNoStatusPayload) {
  SendMessage(view->Handle(), WM_RENDER_STATUS, WPARAM(code), payload);
}
void Status(CRenderView* view, RenderStatus status, LPARAM payload = kNoStatusPayload) {
  Status(view, int(status), payload);
}

// The window of a finished 200 x 100 render still takes statuses.
TEST(RenderView, EachStatusSetsItsTextsAndProgressRowInOrder) {
  RenderWindowRun run(200, 100);
  ASSERT_EQ(run.Render(), CKavraSdkRender::render_completed);
  CRenderView* view = run.View();
  const RECT whole{0, 0, 200, 100};
  const struct {  // the texts the message line shows, the progress row after it
    int code;
    LPARAM payload;
    std::vector<std::wstring> texts;
    int row;
    bool completed = false;
  } cases[] = {
      {int(initializing), kNoStatusPayload, {L"Initializing..."}, -1},
      {int(screen_projections), kNoStatusPayload, {L"Calculating Screen Projections..."}, -1},
      {int(lights_and_shadow_maps), kNoStatusPayload, {L"Calculating Lights and Shadow Maps..."}, -1},
      {int(setup_done), kNoStatusPayload, {}, -1},
      {int(progress), Progress(4, 7), {L"Rendering...(28%)"}, 28},
      {int(progress), Progress(29, 1), {L"Rendering...(28%)"}, 29},  // 29 % in double precision is 28
      {int(progress), Progress(1, 3), {L"Rendering...(3%)"}, 29},    // never back
      {int(progress), Progress(0xFFFF, 0xFFFF), {L"Rendering...(100%)"}, 100},
      {42, kNoStatusPayload, {}, 100},  // as 4 and 6: nothing the window shows
      {int(completed), kNoStatusPayload, {L"Rendering curves, wires and annotations...", L"Completed"}, -1, true},
      {int(progress), Progress(10, 4), {}, -1, true},  // progress after completion is ignored
      {int(aborted), kNoStatusPayload, {L"Aborted"}, -1, true},
  };
  Status(view, aborted);
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "status " << c.code << ", " << c.payload);
    run.texts.clear();
    Status(view, c.code, c.payload);
    EXPECT_EQ(run.texts, c.texts);
    EXPECT_EQ(view->ProgressRow(), c.row);
    EXPECT_TRUE(!run.ViewWindow().EraseRequested() && view->CompletedFlag() == c.completed);
  }
  // Completion invalidates the view once more for later, and draws the wires when any drawing flag is set.
  EXPECT_EQ(view->DrawWiresCount(), 0);
  TK_ScnRenderSettings settings = run.doc.Properties().RenderSettings();
  settings.m_render_mesh_wireframe = 1;  // any one of them
  run.doc.Properties().SetRenderSettings(settings);
  Status(view, initializing);
  Status(view, completed);
  EXPECT_TRUE(run.ViewWindow().InvalidArea() == whole && view->DrawWiresCount() == 1);
  // Statuses posted before the sent completion are handled before it.
  run.texts.clear();
  ASSERT_TRUE(PostMessage(view->Handle(), WM_RENDER_STATUS, StatusWord(initializing), kNoStatusPayload) &&
              PostMessage(view->Handle(), WM_RENDER_STATUS, StatusWord(progress), Progress(10, 5)));
  Status(view, completed);
  EXPECT_EQ(run.texts, (std::vector<std::wstring>{L"Initializing...", L"Rendering...(50%)",
                                                 L"Rendering curves, wires and annotations...", L"Completed"}));
  MSG msg;
  EXPECT_FALSE(PeekMessage(&msg, view->Handle(), 0, 0, PM_NOREMOVE));
  run.Frame()->Close();  // destroying the window after the render is safe; the image outlives it
  EXPECT_TRUE(view->Handle() == nullptr && view->Bitmap().HasPixels() && !run.FrameWindow().Shown());
}

// 320 x 150 needed, 124 x 101 usable: shown at 1:3, the image at its full size.
TEST(RenderView, ATooLargeImageIsShownReducedAndItsProgressCountsClientRows) {
  RenderWindowRun run(300, 90, 0, KvHeadlessToolkit::Metrics{{20, 60}, {174, 151}});
  ASSERT_EQ(run.Render(), CKavraSdkRender::render_completed);
  CRenderView* view = run.View();
  EXPECT_EQ(view->Zoom(), -3);
  EXPECT_EQ(std::pair(run.Frame()->WindowSize(), view->ClientSize()), std::pair(SIZE{120, 90}, SIZE{100, 30}));
  EXPECT_EQ(run.Frame()->WindowText().str().find(L"DuskMoth Render (1:3): Unnamed-"), 0u);
  EXPECT_EQ(std::pair(view->Bitmap().Width(), view->Bitmap().Height()), std::pair(300, 90));
  Status(view, initializing);
  Status(view, progress, Progress(9, 5));  // 45 of 90 image rows: half the client
  EXPECT_EQ(std::pair(view->ProgressRow(), run.LastText()), std::pair(15, std::wstring(L"Rendering...(50%)")));
}

// Painting while the worker writes: every row shown is finished, still the background or
// the progress line, never a row half written (run under ThreadSanitizer too).
TEST(RenderView, PaintsOnlyFinishedRowsWhileTheRenderRuns) {
  constexpr int kWidth = 100, kHeight = 1800;  // 57 bands of 32 rows: a paint at each status
  RenderWindowRun run(kWidth, kHeight);
  std::vector<std::vector<std::uint32_t>> paints;
  COLORREF background = 0;
  run.hook = [&](CRenderSession& session, const std::wstring&) {
    if (!session.IsRendering()) return;
    CRenderView* view = static_cast<CRenderFrame*>(session.Frame())->GetRenderView();
    const COruDib& screen = static_cast<KvHeadlessViewWindow*>(view->Window())->Screen();
    const auto* bits = reinterpret_cast<const std::uint32_t*>(screen.FindDIBBits());
    paints.emplace_back(bits, bits + std::size_t(screen.Width()) * std::size_t(screen.Height()));
    background = session.BackgroundColorRef();
  };
  ASSERT_EQ(run.Render(), CKavraSdkRender::render_completed);
  ASSERT_GE(paints.size(), 50u);
  const auto* image = reinterpret_cast<const std::uint32_t*>(run.View()->Bitmap().FindDIBBits());
  const std::uint32_t fill = GetBValue(background) | GetGValue(background) << 8 | std::uint32_t(GetRValue(background)) << 16;
  int finished_rows_shown = 0;
  for (const auto& paint : paints)
    for (int row = 0; row < kHeight; ++row) {  // memory rows of both, bottom-up alike
      const auto shown = paint.begin() + std::ptrdiff_t(row) * kWidth;
      const bool finished = std::equal(shown, shown + kWidth, image + std::ptrdiff_t(row) * kWidth,
                                       [](std::uint32_t a, std::uint32_t b) { return (a & 0xFFFFFF) == (b & 0xFFFFFF); });
      const auto all = [&](std::uint32_t colour) {
        return std::all_of(shown, shown + kWidth, [colour](std::uint32_t a) { return (a & 0xFFFFFF) == colour; });
      };
      const bool blank = all(fill), line = all(~fill & 0xFFFFFF);
      ASSERT_TRUE(finished || blank || line) << "paint " << (&paint - paints.data()) << ", memory row " << row;
      finished_rows_shown += finished && !blank;
    }
  EXPECT_GT(finished_rows_shown, 0);
}

}  // namespace
