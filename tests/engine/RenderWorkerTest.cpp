// The worker with real threads and a real window.

#include "tests/engine/RenderHarness.h"

#include <tuple>

#include "support/SquareMesh.h"

namespace {

using namespace std::chrono_literals;

using RenderWorkerTest = RenderFixture;

class AbortInAnyPhase : public RenderFixture, public ::testing::WithParamInterface<RenderStatus> {};

TEST_P(AbortInAnyPhase, EndsTheRenderWithAbortedWithinTheWait) {
  HarnessSession session(doc, settings, GetParam());  // an empty scene goes through every phase
  Start(session, 64, 64);
  ASSERT_TRUE(PumpMessagesUntil([&] { return session.held.load(); }, 10000));
  session.AbortRender();  // from the test's thread
  EXPECT_FALSE(session.HoldsWorker()) << "the worker outlived the bounded wait";
  Finish(session);
  std::vector<int> expected = {1, 8, 9, 2, 5};  // up to the held status, then the abort
  expected.erase(std::find(expected.begin(), expected.end(), int(GetParam())) + 1, expected.end());
  expected.push_back(int(RenderStatus::aborted));
  EXPECT_EQ(window.Codes(), expected);
}

INSTANTIATE_TEST_SUITE_P(Phases, AbortInAnyPhase,
                         ::testing::Values(RenderStatus::initializing, RenderStatus::screen_projections,
                                           RenderStatus::lights_and_shadow_maps, RenderStatus::setup_done,
                                           RenderStatus::progress),
                         [](const auto& info) { return "AtStatus" + std::to_string(int(info.param)); });

// A new render waits for the worker of an aborted one and starts unaborted;
// it reports every phase, then each band, then completes once, the worker
// lowering its flag only after the view is done.
TEST_F(RenderWorkerTest, ANewRenderWaitsReportsEveryPhaseAndBandAndCompletesOnce) {
  HarnessSession session(doc, settings, RenderStatus::initializing);
  const TK_Mesh quad = SquareMesh(1, 0);
  ASSERT_TRUE(session.AddRenderMesh(object, TK_Material(), &quad));
  Start(session, 8, 8);
  ASSERT_TRUE(PumpMessagesUntil([&] { return session.held.load(); }, 10000));
  EXPECT_FALSE(session.PrepareRender(&window, view, 5, 5, 16, 16));  // the worker still holds the scene
  session.AbortRender();
  Finish(session);
  Render(session, 64, 70);
  auto posted = window.received;
  std::erase_if(posted, [](const auto& item) { return item.first == int(RenderStatus::completed); });
  const LPARAM none = kNoStatusPayload;
  EXPECT_EQ(posted, (std::vector<std::pair<int, LPARAM>>{{1, none}, {7, none}, {1, none}, {8, none}, {9, none},
                                                          {2, none}, {5, PackBandProgress(32, 0)},
                                                          {5, PackBandProgress(32, 1)}, {5, PackBandProgress(32, 2)}}));
  EXPECT_EQ(window.Count(RenderStatus::completed), 1);
  EXPECT_TRUE(window.rendering_at_completion);
  EXPECT_FALSE(session.IsRendering());
  // The image: the view's size, 32 bits, rows bottom-up without padding.
  EXPECT_EQ(std::tuple(image.Width(), image.Height(), image.BitsPerPixel(), image.GetStorageWidth()),
            std::tuple(64, 70, 32, 64 * 4));
  EXPECT_EQ(ImageWord(0, 0), kBackground);
  // Without an image the render ends at once; sizes outside 1..kMaxImageSide are refused.
  window.received.clear();
  Start(session, 8, 8, false);
  Finish(session);
  EXPECT_EQ(window.Codes(), (std::vector<int>{1, 7}));
  EXPECT_FALSE(session.PrepareRender(&window, view, 5, 5, 0, 8));
  EXPECT_FALSE(session.PrepareRender(&window, view, 5, 5, 8, CKavraSdkRender::kMaxImageSide + 1));
}

// Reads the scene until the abort and 800 ms after, then optionally sends to
// a window. Owned by the test, so it outlives the session.
struct SlowWorker {
  CRenderSession* session = nullptr;
  HWND send_to = nullptr;
  std::atomic<bool> started{false}, finished{false};

  static DWORD Proc(void* self) { return static_cast<SlowWorker*>(self)->Work(); }
  DWORD Work() {
    started = true;
    long read = 0;
    const auto read_scene = [&] {
      for (const RenderMeshEntry* entry : session->MeshEntries()) read += entry->FaceCount();
      for (const TK_Light& light : session->Lights()) read += light.IsEnabled();
    };
    while (!session->AbortFlag()->load()) read_scene();
    for (const auto until = std::chrono::steady_clock::now() + 800ms; std::chrono::steady_clock::now() < until;)
      read_scene();
    if (send_to) SendMessage(send_to, WM_RENDER_STATUS, WPARAM(RenderStatus::completed), 0);
    finished = true;
    return DWORD(read & 0xFF);
  }
};

class WorkerSession : public CRenderSession {
public:
  using CRenderSession::CRenderSession;
  using CRenderSession::CreateWorkerThread;
  using CRenderSession::WorkerThread;
};

// Stopping waits a bounded time and keeps a running worker held; destroying
// the session waits for it, handling what it sends to this thread meanwhile.
TEST_F(RenderWorkerTest, ASessionNeverReleasesWhatARunningWorkerReads) {
  const TK_Mesh quad = SquareMesh(1, 0);
  for (const HWND send_to : {HWND(nullptr), window.Handle()}) {
    SlowWorker worker{nullptr, send_to};
    auto session = std::make_unique<WorkerSession>(doc, nullptr, settings);
    ASSERT_TRUE(session->AddRenderMesh(object, TK_Material(), &quad));
    ASSERT_TRUE(session->AddLight(CKavraLight()));
    worker.session = session.get();
    ASSERT_TRUE(session->CreateWorkerThread(&SlowWorker::Proc, &worker));
    ASSERT_EQ(ResumeThread(session->WorkerThread()), 1u);
    while (!worker.started) std::this_thread::sleep_for(1ms);
    EXPECT_FALSE(session->CreateWorkerThread(&SlowWorker::Proc, &worker));  // one worker at a time
    session->AbortRender();
    EXPECT_FALSE(worker.finished.load());         // the bounded wait returned first
    EXPECT_NE(session->WorkerThread(), nullptr);  // still running: not let go
    session.reset();  // waits; a plain wait would deadlock on the worker's send
    EXPECT_TRUE(worker.finished.load());
  }
  EXPECT_EQ(window.Count(RenderStatus::completed), 1);
}

}  // namespace
