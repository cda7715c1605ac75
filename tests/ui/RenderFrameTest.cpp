// The render frame: fitting to the screen, captions and the untitled render
// number, start and stop through real renders, and the host caption while
// the host is minimised.

#include <gtest/gtest.h>

#include <atomic>

#include "host/sdk/SdkRender.h"
#include "support/RenderWindowRun.h"
#include "ui/LocalizedFormat.h"

namespace {

std::wstring CounterText(int counter) { return FormatLocalized(L": Unnamed-%2.2d", {counter}).str(); }

bool EndsWith(const std::wstring& text, const std::wstring& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// A frame on a small screen with a border, as a real window has.
class SmallScreenFrame : public CRenderFrame {
public:
  SmallScreenFrame(CKavraDoc& doc, SIZE screen, SIZE border) : CRenderFrame(doc), screen_(screen) {
    SetBorderSize(border);
  }
  SIZE MaximizedWindowSize() const override { return screen_; }

private:
  SIZE screen_;
};

// A session that is not the plug-in's: its window cannot start it.
class ForeignSession : public CKavraSdkRender {
public:
  using CKavraSdkRender::CKavraSdkRender;
  std::unique_ptr<CKavraSdkRenderFrame> CreateRenderFrame(CKavraDoc* doc) override {
    return std::make_unique<CRenderFrame>(*doc);
  }
};

}  // namespace

TEST(RenderFrameFit, ReducesByAWholeFactorWhenTheScreenIsTooSmall) {
  // 3020 x 1060 needed, 1240 x 960 usable: 3 across, 2 down, the larger wins.
  const CRenderFrame::Fit big = CRenderFrame::FitToScreen({3000, 1000}, {20, 60}, {1290, 1010});
  EXPECT_EQ(big.zoom, -3);
  EXPECT_EQ(big.frame, (SIZE{1020, 393}));
  // Exactly the usable size still fits.
  const CRenderFrame::Fit exact = CRenderFrame::FitToScreen({1220, 900}, {20, 60}, {1290, 1010});
  EXPECT_EQ(exact.zoom, 1);
  EXPECT_EQ(exact.frame, (SIZE{1240, 960}));
  // One pixel more in one direction only: halved.
  const CRenderFrame::Fit tall = CRenderFrame::FitToScreen({1000, 901}, {20, 60}, {1290, 1010});
  EXPECT_EQ(tall.zoom, -2);
  EXPECT_EQ(tall.frame, (SIZE{520, 510}));
  // A screen smaller than its margin does not divide by zero.
  const CRenderFrame::Fit tiny = CRenderFrame::FitToScreen({100, 10}, {0, 0}, {20, 20});
  EXPECT_EQ(tiny.zoom, -100);
  EXPECT_EQ(tiny.frame, (SIZE{1, 0}));
}

TEST(RenderFrame, ABareFrameHasNoViewAndIsNotRendering) {
  CKavraDoc doc;
  CRenderFrame frame(doc);
  EXPECT_EQ(frame.GetRenderView(), nullptr);
  EXPECT_EQ(frame.RenderSession(), nullptr);
  EXPECT_FALSE(frame.IsRendering());
  EXPECT_FALSE(frame.StartRendering());
  frame.FitWindowToImage();  // nothing to fit
  frame.UpdateCaption();     // no base caption yet
  EXPECT_TRUE(frame.WindowText().IsEmpty());
  EXPECT_TRUE(frame.StopRendering());
  EXPECT_TRUE(frame.StopWasRequested());
}

TEST(RenderFrame, AnImageThatFitsIsShownAtItsSizeWithTheNextNumber) {
  RenderWindowRun run(64, 48);
  ASSERT_TRUE(run.imported);
  const int before = CRenderFrame::UntitledRenderCounter();
  ASSERT_EQ(run.Render(), CKavraSdkRender::render_completed);
  EXPECT_EQ(CRenderFrame::UntitledRenderCounter(), before + 1);
  CRenderFrame* frame = run.Frame();
  ASSERT_NE(frame, nullptr);
  CRenderView* view = frame->GetRenderView();
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->FittedZoom(), 1);
  EXPECT_EQ(view->Zoom(), 1);
  EXPECT_EQ(view->ClientSize(), (SIZE{64, 48}));
  EXPECT_EQ(frame->Style() & CRenderFrame::kClipStyles, CRenderFrame::kClipStyles);
  EXPECT_EQ(view->Style() & CRenderFrame::kClipStyles, CRenderFrame::kClipStyles);
  EXPECT_EQ(frame->BaseCaption().str(), L"DuskMoth Render");
  EXPECT_EQ(frame->ZoomText().str(), L"(1:1)");
  EXPECT_EQ(frame->WindowText().str(), L"DuskMoth Render (1:1)" + CounterText(before + 1));
  // The render is over: nothing runs, and stopping has no session to stop.
  EXPECT_FALSE(frame->IsRendering());
  EXPECT_EQ(frame->RenderSession(), nullptr);
  EXPECT_FALSE(view->StopRendering());

  // The next render window takes the next number; a saved file names it instead.
  RenderWindowRun second(16, 16);
  ASSERT_EQ(second.Render(), CKavraSdkRender::render_completed);
  EXPECT_TRUE(EndsWith(second.Frame()->WindowText().str(), CounterText(before + 2)));
  second.Frame()->SetFileNameText(L"render.png");
  EXPECT_EQ(second.Frame()->WindowText().str(), L"DuskMoth Render (1:1): render.png");
}

TEST(RenderFrame, ATooLargeImageIsFittedAtAReducedZoom) {
  // The screen example scaled down: 320 x 160 needed, 124 x 101 usable.
  RenderWindowRun run(300, 100);
  run.make_frame = [](CKavraDoc& doc) { return std::make_unique<SmallScreenFrame>(doc, SIZE{174, 151}, SIZE{20, 60}); };
  const int before = CRenderFrame::UntitledRenderCounter();
  ASSERT_EQ(run.Render(), CKavraSdkRender::render_completed);
  CRenderFrame* frame = run.Frame();
  EXPECT_EQ(frame->GetRenderView()->FittedZoom(), -3);
  EXPECT_EQ(frame->GetRenderView()->Zoom(), -3);
  EXPECT_EQ(frame->WindowSize(), (SIZE{120, 93}));
  EXPECT_EQ(frame->GetRenderView()->ClientSize(), (SIZE{100, 33}));
  EXPECT_EQ(frame->WindowText().str(), L"DuskMoth Render (1:3)" + CounterText(before + 1));
  // The image itself keeps the size asked for.
  EXPECT_EQ(frame->GetRenderView()->Bitmap().Width(), 300);
  EXPECT_EQ(frame->GetRenderView()->Bitmap().Height(), 100);
}

TEST(RenderFrame, AFailedStartUsesNoNumber) {
  RenderWindowRun run(8, 8);
  const int before = CRenderFrame::UntitledRenderCounter();
  ForeignSession session(run.doc, nullptr);
  EXPECT_EQ(session.Render(run.context, SIZE{8, 8}, L"Foreign", 0), CKavraSdkRender::render_start_failed);
  EXPECT_EQ(CRenderFrame::UntitledRenderCounter(), before);
  // The window was made and kept, captioned with the number in use.
  ASSERT_NE(run.Frame(), nullptr);
  EXPECT_EQ(run.Frame()->WindowText().str(), L"Foreign (1:1)" + CounterText(before));
  ASSERT_EQ(run.Render(), CKavraSdkRender::render_completed);
  EXPECT_EQ(CRenderFrame::UntitledRenderCounter(), before + 1);
}

TEST(RenderFrame, StoppingAbortsTheWorkerAndCancelsTheRender) {
  // Large enough that the worker is still busy when the stop comes.
  RenderWindowRun run(1000, 1000);
  run.SetAntialias(3);
  // The stop is asked for before the host pumps its first message.
  const std::atomic<bool> stop{true};
  EXPECT_EQ(run.Render(&stop), CKavraSdkRender::render_cancelled);
  CRenderFrame* frame = run.Frame();
  ASSERT_NE(frame, nullptr);
  EXPECT_TRUE(frame->StopWasRequested());
  EXPECT_FALSE(frame->GetRenderView()->Completed());
  EXPECT_FALSE(frame->IsRendering());
  EXPECT_EQ(run.LastText(), L"Aborted");
  EXPECT_EQ(frame->GetRenderView()->ProgressRow(), -1);
}

TEST(RenderFrame, MinimisingTheHostDuringARenderShowsRenderingInItsCaption) {
  RenderWindowRun run(32, 32);
  std::wstring while_minimised, saved, after_restore;
  // The completion is sent: the worker waits, so the render still runs.
  run.hook = [&](CRenderSession& session, const std::wstring& text) {
    if (text != L"Rendering curves, wires and annotations...") return;
    auto* frame = static_cast<CRenderFrame*>(session.Frame());
    ASSERT_TRUE(frame->IsRendering());
    frame->SetHostWindowText(L"Kavra - model.kvd");
    frame->OnShowWindow(false, CRenderFrame::kOwnerMinimizing);
    while_minimised = frame->HostWindowText().str();
    saved = frame->SavedOwnerCaption().str();
    frame->OnShowWindow(true, CRenderFrame::kOwnerRestoring);
    after_restore = frame->HostWindowText().str();
  };
  ASSERT_EQ(run.Render(), CKavraSdkRender::render_completed);
  EXPECT_EQ(while_minimised, L"Rendering...");
  EXPECT_EQ(saved, L"Kavra - model.kvd");
  EXPECT_EQ(after_restore, L"Kavra - model.kvd");
  EXPECT_TRUE(run.Frame()->SavedOwnerCaption().IsEmpty());

  // Not rendering: minimising leaves the host's caption alone.
  CRenderFrame* frame = run.Frame();
  frame->SetHostWindowText(L"Kavra");
  frame->OnShowWindow(false, CRenderFrame::kOwnerMinimizing);
  EXPECT_EQ(frame->HostWindowText().str(), L"Kavra");
  EXPECT_FALSE(frame->IsVisible());
  // A very long caption is kept only up to its limit.
  RenderWindowRun long_run(8, 8);
  std::size_t saved_length = 0;
  long_run.hook = [&](CRenderSession& session, const std::wstring& text) {
    if (text != L"Rendering curves, wires and annotations...") return;
    auto* f = static_cast<CRenderFrame*>(session.Frame());
    f->SetHostWindowText(std::wstring(1000, L'k'));
    f->OnShowWindow(false, CRenderFrame::kOwnerMinimizing);
    saved_length = f->SavedOwnerCaption().str().size();
  };
  ASSERT_EQ(long_run.Render(), CKavraSdkRender::render_completed);
  EXPECT_EQ(saved_length, CRenderFrame::kMaxOwnerCaption);
}
