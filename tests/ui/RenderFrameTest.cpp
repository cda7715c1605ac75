// The render frame: fitting to the screen, captions with the untitled render number, start and
// stop through real renders, and the host's caption while the host is minimised.

#include <gtest/gtest.h>

#include <atomic>

#include "host/sdk/SdkRender.h"
#include "ui/LocalizedFormat.h"
#include "ui/RenderWindowRun.h"

namespace {

std::wstring CounterText(int counter) { return FormatLocalized(L": Unnamed-%2.2d", {counter}).str(); }

// A session that is not the plug-in's: its window cannot start it.
struct ForeignSession : CKavraSdkRender {
  using CKavraSdkRender::CKavraSdkRender;
  std::unique_ptr<CKavraSdkRenderFrame> CreateRenderFrame(CKavraDoc* doc) override {
    return std::make_unique<CRenderFrame>(*doc);
  }
};

TEST(RenderFrame, FitsTheScreenByAWholeReductionFactor) {
  const struct { SIZE image, border, screen, frame; int zoom; } cases[] = {
      {{3000, 1000}, {20, 60}, {1290, 1010}, {1020, 393}, -3},  // 3020 x 1060 needed, 1240 x 960 usable
      {{1220, 900}, {20, 60}, {1290, 1010}, {1240, 960}, 1},    // exactly the usable size fits
      {{1000, 901}, {20, 60}, {1290, 1010}, {520, 510}, -2},    // one row more: halved
      {{100, 10}, {0, 0}, {20, 20}, {1, 0}, -100},              // a screen smaller than its margin
  };
  for (const auto& c : cases) {
    const CRenderFrame::Fit fit = CRenderFrame::FitToScreen(c.image, c.border, c.screen);
    EXPECT_EQ(std::pair(fit.zoom, fit.frame), std::pair(c.zoom, c.frame)) << c.image.cx;
  }
  CKavraDoc doc;  // without a view nothing is fitted, started or captioned
  CRenderFrame bare(doc);
  EXPECT_FALSE(bare.StartRendering() || bare.IsRendering());
  bare.FitWindowToImage();
  bare.UpdateCaption();
  EXPECT_TRUE(bare.WindowText().IsEmpty());
}

// Minimising the host during the render shows "Rendering..." in its caption.
TEST(RenderFrame, EachStartedRenderTakesTheNextNumberAFailedStartNoneAndMinimisingShowsRendering) {
  RenderWindowRun run(64, 48);
  const int before = CRenderFrame::UntitledRenderCounter();
  const std::wstring caption(1000, L'k');  // kept up to its limit
  std::wstring minimised, saved, restored;
  // The completion is sent: the worker waits, so the render still runs.
  run.hook = [&](CRenderSession& session, const std::wstring& text) {
    if (text != L"Rendering curves, wires and annotations...") return;
    auto* frame = static_cast<CRenderFrame*>(session.Frame());
    ASSERT_TRUE(frame->IsRendering());
    frame->SetHostWindowText(caption);
    frame->OnShowWindow(false, CRenderFrame::kOwnerMinimizing);
    minimised = frame->HostWindowText().str();
    saved = frame->SavedOwnerCaption().str();
    frame->OnShowWindow(true, CRenderFrame::kOwnerRestoring);
    restored = frame->HostWindowText().str();
  };
  ASSERT_EQ(run.Render(), CKavraSdkRender::render_completed);
  CRenderFrame* frame = run.Frame();
  ASSERT_TRUE(frame && frame->GetRenderView());
  EXPECT_EQ(minimised, L"Rendering...");
  EXPECT_TRUE(saved == caption.substr(0, CRenderFrame::kMaxOwnerCaption) && restored == saved);
  EXPECT_TRUE(frame->SavedOwnerCaption().IsEmpty());
  frame->SetHostWindowText(L"Kavra");  // not rendering: the caption stays
  frame->OnShowWindow(false, CRenderFrame::kOwnerMinimizing);
  EXPECT_EQ(frame->HostWindowText().str(), L"Kavra");
  EXPECT_EQ(std::pair(frame->GetRenderView()->FittedZoom(), frame->GetRenderView()->ClientSize()),
            std::pair(1, SIZE{64, 48}));
  EXPECT_EQ(frame->WindowText().str(), L"DuskMoth Render (1:1)" + CounterText(before + 1));
  EXPECT_FALSE(frame->IsRendering() || frame->GetRenderView()->StopRendering());  // over: no session to stop

  ForeignSession foreign(run.doc, nullptr);
  EXPECT_EQ(foreign.Render(run.context, SIZE{8, 8}, L"Foreign", 0), CKavraSdkRender::render_start_failed);
  EXPECT_EQ(run.Frame()->WindowText().str(), L"Foreign (1:1)" + CounterText(before + 1));  // the number in use
  RenderWindowRun second(16, 16);
  ASSERT_EQ(second.Render(), CKavraSdkRender::render_completed);
  EXPECT_EQ(second.Frame()->WindowText().str(), L"DuskMoth Render (1:1)" + CounterText(before + 2));
  second.Frame()->SetFileNameText(L"render.png");  // a saved file names the window instead
  EXPECT_EQ(second.Frame()->WindowText().str(), L"DuskMoth Render (1:1): render.png");
}

TEST(RenderFrame, StoppingAbortsTheWorkerAndCancelsTheRender) {
  RenderWindowRun run(1000, 1000, 3);  // busy still when the stop comes
  const std::atomic<bool> stop{true};  // asked for before the host pumps its first message
  EXPECT_EQ(run.Render(&stop), CKavraSdkRender::render_cancelled);
  CRenderFrame* frame = run.Frame();
  ASSERT_NE(frame, nullptr);
  EXPECT_TRUE(frame->StopWasRequested() && !frame->GetRenderView()->Completed() && !frame->IsRendering());
  EXPECT_EQ(std::pair(run.LastText(), frame->GetRenderView()->ProgressRow()), std::pair(std::wstring(L"Aborted"), -1));
}

}  // namespace
