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

struct Flag {
  std::atomic<bool> set{false};
  std::atomic<bool> release{false};
};

DWORD SetFlagAndWait(void* p) {
  auto* f = static_cast<Flag*>(p);
  f->set = true;
  while (!f->release) std::this_thread::sleep_for(1ms);
  return 7;
}

TEST(Thread, SuspendedThreadStartsOnlyWhenResumed) {
  Flag flag;
  flag.release = true;
  DWORD id = 0;
  HANDLE h = CreateThread(nullptr, 0, SetFlagAndWait, &flag, CREATE_SUSPENDED, &id);
  ASSERT_NE(h, nullptr);
  EXPECT_NE(id, 0u);
  std::this_thread::sleep_for(30ms);
  EXPECT_FALSE(flag.set);
  EXPECT_EQ(WaitForSingleObject(h, 0), WAIT_TIMEOUT);
  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeThread(h, &code));
  EXPECT_EQ(code, STILL_ACTIVE);
  EXPECT_EQ(ResumeThread(h), 1u);
  EXPECT_EQ(WaitForSingleObject(h, INFINITE), WAIT_OBJECT_0);
  EXPECT_TRUE(flag.set);
  EXPECT_EQ(ResumeThread(h), 0u);
  ASSERT_TRUE(GetExitCodeThread(h, &code));
  EXPECT_EQ(code, 7u);
  EXPECT_TRUE(CloseHandle(h));
}

TEST(Thread, WaitTimesOutWhileRunningAndSucceedsAtTheEnd) {
  Flag flag;
  HANDLE h = CreateThread(nullptr, 0, SetFlagAndWait, &flag, 0, nullptr);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(WaitForSingleObject(h, 20), WAIT_TIMEOUT);
  EXPECT_EQ(MsgWaitForSingleObject(h, 20), WAIT_TIMEOUT);
  flag.release = true;
  EXPECT_EQ(WaitForSingleObject(h, 10000), WAIT_OBJECT_0);
  EXPECT_EQ(MsgWaitForSingleObject(h, 0), WAIT_OBJECT_0);
  EXPECT_TRUE(CloseHandle(h));
}

struct RunOn {
  std::atomic<bool> release{false};
  std::atomic<bool> finished{false};
};

TEST(Thread, ClosingTheHandleLetsTheThreadRunOn) {
  RunOn state;
  HANDLE h = CreateThread(
      nullptr, 0,
      [](void* p) -> DWORD {
        auto* s = static_cast<RunOn*>(p);
        while (!s->release) std::this_thread::sleep_for(1ms);
        s->finished = true;  // its last touch of the test's state
        return 0;
      },
      &state, 0, nullptr);
  ASSERT_NE(h, nullptr);
  EXPECT_TRUE(CloseHandle(h));
  EXPECT_FALSE(CloseHandle(h));
  EXPECT_EQ(WaitForSingleObject(h, 0), WAIT_FAILED);
  EXPECT_FALSE(state.finished);
  state.release = true;  // the thread still runs and sees this
  for (int i = 0; i < 10000 && !state.finished; ++i) std::this_thread::sleep_for(1ms);
  EXPECT_TRUE(state.finished);
}

TEST(Thread, BadArgumentsFail) {
  EXPECT_EQ(CreateThread(nullptr, 0, nullptr, nullptr, 0, nullptr), nullptr);
  HANDLE bogus = reinterpret_cast<HANDLE>(std::uintptr_t(0x7FFFFFF0));
  DWORD code;
  EXPECT_EQ(ResumeThread(bogus), 0xFFFFFFFFu);
  EXPECT_EQ(WaitForSingleObject(nullptr, 0), WAIT_FAILED);
  EXPECT_EQ(MsgWaitForSingleObject(bogus, 0), WAIT_FAILED);
  EXPECT_FALSE(GetExitCodeThread(bogus, &code));
  EXPECT_FALSE(CloseHandle(nullptr));
}

struct ExitProbe {
  std::atomic<bool> unwound{false};
  std::atomic<bool> pastExit{false};
};

void Deep(ExitProbe* p, int depth) {
  struct Guard {
    ExitProbe* p;
    ~Guard() { p->unwound = true; }
  } guard{p};
  if (depth < 0) return;
  if (depth == 0) ExitThread(42);
  Deep(p, depth - 1);
  p->pastExit = true;
}

TEST(Thread, ExitThreadEndsTheThreadWithItsCodeAndUnwinds) {
  ExitProbe probe;
  HANDLE h = CreateThread(
      nullptr, 0,
      [](void* p) -> DWORD {
        Deep(static_cast<ExitProbe*>(p), 3);
        static_cast<ExitProbe*>(p)->pastExit = true;
        return 1;
      },
      &probe, 0, nullptr);
  ASSERT_NE(h, nullptr);
  ASSERT_EQ(WaitForSingleObject(h, 10000), WAIT_OBJECT_0);
  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeThread(h, &code));
  EXPECT_EQ(code, 42u);
  EXPECT_TRUE(probe.unwound);
  EXPECT_FALSE(probe.pastExit);
  CloseHandle(h);
}

TEST(ThreadDeathTest, ExitThreadOnAForeignThreadAborts) {
  EXPECT_DEATH(ExitThread(1), "not made by CreateThread");
}

// The shape of a render owner: a worker reads the owner's state and reports
// the end synchronously (SendMessage) to the owner's window. The owner's
// destructor raises the abort flag, waits briefly, and then - should the
// worker still run, for instance blocked in that very SendMessage - keeps
// waiting while handling sent messages, so the state is never freed under
// the worker and the two threads cannot deadlock.
class StatusWindow : public KvWindow {
public:
  std::atomic<int> handled{0};

protected:
  LRESULT WindowProc(UINT, WPARAM, LPARAM) override {
    ++handled;
    return 1;
  }
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
