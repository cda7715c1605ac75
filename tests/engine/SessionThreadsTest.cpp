// The session's dealings with threads and messages: stale frame messages,
// stopping a worker, and destruction while a worker still runs.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "engine/RenderSession.h"
#include "host/app/Doc.h"
#include "host/app/Object.h"
#include "host/platform/Messages.h"
#include "host/platform/Window.h"
#include "host/sdk/SdkRenderFrame.h"

namespace {

using namespace std::chrono_literals;

// Empties the calling thread's queue, answering the ids it held in order.
std::vector<UINT> Drain() {
  std::vector<UINT> ids;
  MSG msg;
  while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) ids.push_back(msg.message);
  return ids;
}

TEST(CreateRenderFrame, DropsExactlyTheLeadingCloseAndCancelMessages) {
  CKavraDoc doc;
  CDMRenderUserData settings;
  CRenderSession session(doc, nullptr, settings);
  const UINT close_message = KavraSdkRenderCloseRenderFrameMsg();
  const UINT cancel_message = KavraSdkRenderRenderFrameCancelMsg();
  const UINT other = WM_USER + 7;
  Drain();

  for (UINT id : {close_message, cancel_message, close_message, other, cancel_message, close_message})
    ASSERT_TRUE(PostMessage(nullptr, id, 0, 0));
  std::unique_ptr<CKavraSdkRenderFrame> frame = session.CreateRenderFrame(&doc);
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(&frame->Document(), &doc);
  EXPECT_EQ(Drain(), (std::vector<UINT>{other, cancel_message, close_message}));

  // Another kind of message first: nothing is dropped.
  for (UINT id : {other, close_message}) ASSERT_TRUE(PostMessage(nullptr, id, 0, 0));
  ASSERT_NE(session.CreateRenderFrame(&doc), nullptr);
  EXPECT_EQ(Drain(), (std::vector<UINT>{other, close_message}));

  // Only stale requests: all go; an empty queue is fine.
  for (UINT id : {cancel_message, cancel_message}) ASSERT_TRUE(PostMessage(nullptr, id, 0, 0));
  ASSERT_NE(session.CreateRenderFrame(&doc), nullptr);
  EXPECT_TRUE(Drain().empty());
  ASSERT_NE(session.CreateRenderFrame(&doc), nullptr);
  EXPECT_EQ(session.CreateRenderFrame(nullptr), nullptr);
}

// A window of the test thread that counts what is sent to it.
class CountingWindow : public KvWindow {
public:
  std::atomic<int> received{0};

protected:
  LRESULT WindowProc(UINT, WPARAM, LPARAM) override { return ++received; }
};

// A session whose worker is the test's own: it reads the scene all the
// time, notices the abort only after its own delay, keeps reading for a
// while, optionally sends to a window, and records that it got to the end.
class SlowWorkerSession : public CRenderSession {
public:
  SlowWorkerSession(CKavraDoc& doc, const CDMRenderUserData& settings, std::chrono::milliseconds linger,
                    HWND send_to, std::atomic<bool>& finished)
      : CRenderSession(doc, nullptr, settings), linger_(linger), send_to_(send_to), finished_(finished) {}

  bool Start() { return CreateWorkerThread(&Proc, this) && ResumeThread(WorkerThread()) == 1; }
  bool HoldsWorker() const { return WorkerThread() != nullptr; }
  std::atomic<bool> started{false};

private:
  static DWORD Proc(void* self) { return static_cast<SlowWorkerSession*>(self)->Work(); }
  DWORD Work() {
    started = true;
    long faces = 0;
    while (!AbortFlag()->load()) faces += ReadScene();
    const auto until = std::chrono::steady_clock::now() + linger_;
    while (std::chrono::steady_clock::now() < until) faces += ReadScene();
    if (send_to_) SendMessage(send_to_, WM_USER + 1, 0, 0);
    finished_ = true;
    return DWORD(faces & 0xFF);
  }
  long ReadScene() const {
    long faces = 0;
    for (const RenderMeshEntry* entry : MeshEntries()) faces += entry->FaceCount() + entry->Material()->MapFileReads();
    for (const TK_Light& light : Lights()) faces += light.IsEnabled();
    return faces;
  }

  std::chrono::milliseconds linger_;
  HWND send_to_;
  std::atomic<bool>& finished_;
};

class SessionWorker : public ::testing::Test {
protected:
  std::unique_ptr<SlowWorkerSession> Session(std::chrono::milliseconds linger, HWND send_to = nullptr) {
    auto session = std::make_unique<SlowWorkerSession>(doc, settings, linger, send_to, finished);
    TK_Mesh mesh;
    mesh.SetVertex(0, TK_3fPoint(0, 0, 0));
    mesh.SetVertex(1, TK_3fPoint(1, 0, 0));
    mesh.SetVertex(2, TK_3fPoint(0, 1, 0));
    mesh.SetTriangle(0, 0, 1, 2);
    EXPECT_TRUE(session->AddRenderMesh(object, TK_Material(), &mesh));
    EXPECT_TRUE(session->AddLight(CKavraLight()));
    return session;
  }
  static void WaitUntilStarted(const SlowWorkerSession& session) {
    while (!session.started) std::this_thread::sleep_for(1ms);
  }

  CKavraDoc doc;
  CDMRenderUserData settings;
  CKavraObject object;
  std::atomic<bool> finished{false};
};

TEST_F(SessionWorker, DestructionWaitsForAWorkerSlowToNoticeTheAbort) {
  auto session = Session(700ms);
  ASSERT_TRUE(session->Start());
  WaitUntilStarted(*session);
  const auto begin = std::chrono::steady_clock::now();
  session.reset();  // the worker reads the scene for 700 ms after the abort
  EXPECT_TRUE(finished.load());
  EXPECT_GE(std::chrono::steady_clock::now() - begin, 600ms);
}

TEST_F(SessionWorker, StoppingIsBoundedAndKeepsARunningWorkerHeld) {
  auto session = Session(800ms);
  ASSERT_TRUE(session->Start());
  WaitUntilStarted(*session);
  EXPECT_FALSE(session->Start());  // one worker at a time

  const auto begin = std::chrono::steady_clock::now();
  session->AbortRender();
  EXPECT_LT(std::chrono::steady_clock::now() - begin, 700ms);
  EXPECT_TRUE(session->AbortFlag()->load());
  EXPECT_FALSE(finished.load());
  EXPECT_TRUE(session->HoldsWorker());  // still running: not let go

  while (!finished) std::this_thread::sleep_for(5ms);
  session->StopRenderThread();  // now it has ended and is closed
  EXPECT_FALSE(session->HoldsWorker());
  EXPECT_TRUE(session->Start());  // an ended worker makes room for the next
}

TEST_F(SessionWorker, DestructionHandlesMessagesTheWorkerSendsMeanwhile) {
  CountingWindow window;
  ASSERT_TRUE(window.Create());
  auto session = Session(300ms, window.Handle());
  ASSERT_TRUE(session->Start());
  WaitUntilStarted(*session);
  session.reset();  // a plain wait would deadlock: the worker sends to this thread
  EXPECT_TRUE(finished.load());
  EXPECT_EQ(window.received.load(), 1);
}

TEST_F(SessionWorker, AWorkerThatEndsInTimeIsClosedAtOnce) {
  auto session = Session(0ms);
  ASSERT_TRUE(session->Start());
  WaitUntilStarted(*session);
  session->AbortRender();
  EXPECT_TRUE(finished.load());
  EXPECT_FALSE(session->HoldsWorker());
}

}  // namespace
