// The session's dealings with threads and messages: stale frame messages,
// stopping a worker, and destruction while a worker still runs.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "engine/RenderSession.h"
#include "host/app/Doc.h"
#include "host/app/KavraObject.h"
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

// The session's worker slot opened to the test. It adds no state: the
// worker below uses the session only as a CRenderSession, whose part lives
// on until the session's own destructor has let the worker go.
class WorkerSession : public CRenderSession {
public:
  using CRenderSession::CRenderSession;
  using CRenderSession::CreateWorkerThread;
  using CRenderSession::WorkerThread;
};

// A worker of the test's own: it reads the scene all the time, notices the
// abort only after its own delay, keeps reading for a while, optionally
// sends to a window, and records that it got to the end. Owned by the test,
// so it outlives the session.
struct SlowWorker {
  CRenderSession* session = nullptr;
  std::chrono::milliseconds linger{0};
  HWND send_to = nullptr;
  std::atomic<bool> started{false};
  std::atomic<bool> finished{false};

  static DWORD Proc(void* self) { return static_cast<SlowWorker*>(self)->Work(); }
  DWORD Work() {
    started = true;
    long faces = 0;
    while (!session->AbortFlag()->load()) faces += ReadScene();
    const auto until = std::chrono::steady_clock::now() + linger;
    while (std::chrono::steady_clock::now() < until) faces += ReadScene();
    if (send_to) SendMessage(send_to, WM_USER + 1, 0, 0);
    finished = true;
    return DWORD(faces & 0xFF);
  }
  long ReadScene() const {
    long faces = 0;
    for (const RenderMeshEntry* entry : session->MeshEntries())
      faces += entry->FaceCount() + entry->Material()->MapFileReads();
    for (const TK_Light& light : session->Lights()) faces += light.IsEnabled();
    return faces;
  }
};

class SessionWorker : public ::testing::Test {
protected:
  std::unique_ptr<WorkerSession> Session(std::chrono::milliseconds linger, HWND send_to = nullptr) {
    auto session = std::make_unique<WorkerSession>(doc, nullptr, settings);
    TK_Mesh mesh;
    mesh.SetVertex(0, TK_3fPoint(0, 0, 0));
    mesh.SetVertex(1, TK_3fPoint(1, 0, 0));
    mesh.SetVertex(2, TK_3fPoint(0, 1, 0));
    mesh.SetTriangle(0, 0, 1, 2);
    EXPECT_TRUE(session->AddRenderMesh(object, TK_Material(), &mesh));
    EXPECT_TRUE(session->AddLight(CKavraLight()));
    worker.session = session.get();
    worker.linger = linger;
    worker.send_to = send_to;
    return session;
  }
  bool Start(WorkerSession& session) {
    worker.started = worker.finished = false;
    return session.CreateWorkerThread(&SlowWorker::Proc, &worker) && ResumeThread(session.WorkerThread()) == 1;
  }
  void WaitUntilStarted() const {
    while (!worker.started) std::this_thread::sleep_for(1ms);
  }

  CKavraDoc doc;
  CDMRenderUserData settings;
  CKavraObject object;
  SlowWorker worker;
};

TEST_F(SessionWorker, DestructionWaitsForAWorkerSlowToNoticeTheAbort) {
  auto session = Session(700ms);
  ASSERT_TRUE(Start(*session));
  WaitUntilStarted();
  const auto begin = std::chrono::steady_clock::now();
  session.reset();  // the worker reads the scene for 700 ms after the abort
  EXPECT_TRUE(worker.finished.load());
  EXPECT_GE(std::chrono::steady_clock::now() - begin, 600ms);
}

TEST_F(SessionWorker, StoppingIsBoundedAndKeepsARunningWorkerHeld) {
  auto session = Session(800ms);
  ASSERT_TRUE(Start(*session));
  WaitUntilStarted();
  EXPECT_FALSE(session->CreateWorkerThread(&SlowWorker::Proc, &worker));  // one worker at a time

  const auto begin = std::chrono::steady_clock::now();
  session->AbortRender();
  EXPECT_LT(std::chrono::steady_clock::now() - begin, 700ms);
  EXPECT_TRUE(session->AbortFlag()->load());
  EXPECT_FALSE(worker.finished.load());
  EXPECT_NE(session->WorkerThread(), nullptr);  // still running: not let go

  while (!worker.finished) std::this_thread::sleep_for(5ms);
  session->StopRenderThread();  // now it has ended and is closed
  EXPECT_EQ(session->WorkerThread(), nullptr);
  EXPECT_TRUE(Start(*session));  // an ended worker makes room for the next
}

TEST_F(SessionWorker, DestructionHandlesMessagesTheWorkerSendsMeanwhile) {
  CountingWindow window;
  ASSERT_TRUE(window.Create());
  auto session = Session(300ms, window.Handle());
  ASSERT_TRUE(Start(*session));
  WaitUntilStarted();
  session.reset();  // a plain wait would deadlock: the worker sends to this thread
  EXPECT_TRUE(worker.finished.load());
  EXPECT_EQ(window.received.load(), 1);
}

}  // namespace
