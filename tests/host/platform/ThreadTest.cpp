#include "host/platform/Messages.h"
#include "host/platform/Thread.h"
#include "host/platform/Window.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// The shape of a render owner: a worker reads the owner's state and reports
// the end synchronously (SendMessage) to the owner's window. The owner's
// destructor raises the abort flag, waits briefly, and then - should the
// worker still run, for instance blocked in that very SendMessage - keeps
// waiting while handling sent messages, so the state is never freed under
// the worker and the two threads cannot deadlock.
struct StatusWindow : KvWindow {
  std::atomic<int> handled{0};
  LRESULT WindowProc(UINT, WPARAM, LPARAM) override { return ++handled, 1; }
};

struct RenderState {
  std::vector<int> rows = std::vector<int>(64, 1);
};

struct Outcome {
  DWORD boundedWait = 0;
  DWORD exitCode = 0;
  int handledBeforeRelease = -1;
};

struct Owner {
  StatusWindow window;
  std::unique_ptr<RenderState> state = std::make_unique<RenderState>();
  std::atomic<bool> abort{false};
  std::atomic<bool> sending{false};
  HANDLE worker = nullptr;
  Outcome& outcome;

  explicit Owner(Outcome& o) : outcome(o) {}

  static DWORD Work(void* p) {
    auto* self = static_cast<Owner*>(p);
    RenderState* s = self->state.get();
    self->sending = true;
    SendMessage(self->window.Handle(), WM_USER + 0x101, 3, -1);  // blocks until handled
    while (!self->abort) std::this_thread::sleep_for(1ms);
    long sum = 0;
    for (int v : s->rows) sum += v;  // a use after free if the owner did not wait
    ExitThread(DWORD(sum));
  }

  ~Owner() {
    abort = true;
    outcome.boundedWait = WaitForSingleObject(worker, 250);
    if (outcome.boundedWait != WAIT_OBJECT_0) MsgWaitForSingleObject(worker, INFINITE);
    GetExitCodeThread(worker, &outcome.exitCode);
    CloseHandle(worker);
    outcome.handledBeforeRelease = window.handled;
    state.reset();
  }
};

TEST(Thread, OwnerNeverFreesStateUnderAWorkerBlockedSendingToIt) {
  Outcome outcome;
  {
    Owner owner(outcome);
    ASSERT_TRUE(owner.window.Create());
    owner.worker = CreateThread(nullptr, 0, Owner::Work, &owner, 0, nullptr);
    ASSERT_NE(owner.worker, nullptr);
    while (!owner.sending) std::this_thread::sleep_for(1ms);
  }  // ~Owner runs while the worker waits on this thread
  EXPECT_EQ(outcome.boundedWait, WAIT_TIMEOUT);  // the worker was blocked on this thread
  EXPECT_EQ(outcome.handledBeforeRelease, 1);    // handled during the second wait
  EXPECT_EQ(outcome.exitCode, 64u);              // read the whole state before it went
}

}  // namespace
