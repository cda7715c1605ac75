#include "host/platform/Messages.h"
#include "host/platform/Thread.h"
#include "host/platform/Window.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Records what it handles; an optional handler decides the result.
class TestWindow : public KvWindow {
public:
  std::vector<MSG> seen;  // touched only on the owning thread
  std::atomic<int> count{0};
  std::atomic<bool> offThread{false};
  std::thread::id owner = std::this_thread::get_id();
  std::function<LRESULT(UINT, WPARAM, LPARAM)> handler;

  ~TestWindow() override { Destroy(); }

protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (std::this_thread::get_id() != owner) offThread = true;
    seen.push_back(MSG{Handle(), message, wParam, lParam});
    ++count;
    return handler ? handler(message, wParam, lParam) : 0;
  }
};

void Drain() {
  for (MSG m; PeekMessage(&m, nullptr, 0, 0, PM_REMOVE);) continue;
}

TEST(Messages, PostedMessagesArriveInOrderOnTheOwningThread) {
  Drain();
  TestWindow w;
  ASSERT_TRUE(w.Create());
  std::thread worker([h = w.Handle()] {
    for (int i = 0; i < 200; ++i) ASSERT_TRUE(PostMessage(h, WM_USER + 1, WPARAM(i), -i));
  });
  EXPECT_TRUE(PumpMessagesUntil([&] { return w.count == 200; }, 10000));
  worker.join();
  ASSERT_EQ(w.seen.size(), 200u);
  for (int i = 0; i < 200; ++i) EXPECT_EQ(std::pair(w.seen[i].wParam, w.seen[i].lParam), std::pair(WPARAM(i), LPARAM(-i)));
  EXPECT_FALSE(w.offThread);
}

TEST(Messages, SendsAcrossThreadsInBothDirectionsDoNotDeadlock) {
  TestWindow mine;
  ASSERT_TRUE(mine.Create());
  std::atomic<HWND> theirs{nullptr};
  std::atomic<bool> done{false};
  LRESULT result = 0;
  // Our handler sends back to the worker's window while the worker is
  // blocked sending to us: the worker must handle it meanwhile.
  mine.handler = [&](UINT, WPARAM, LPARAM) { return SendMessage(theirs, WM_USER, 0, 0) + 1; };
  std::thread worker([&] {
    TestWindow w;
    w.handler = [](UINT, WPARAM, LPARAM) -> LRESULT { return 10; };
    ASSERT_TRUE(w.Create());
    theirs = w.Handle();
    result = SendMessage(mine.Handle(), WM_USER, 0, 0);
    EXPECT_TRUE(w.count == 1 && !w.offThread);
    done = true;
  });
  EXPECT_TRUE(PumpMessagesUntil([&] { return done.load(); }, 10000));
  worker.join();
  EXPECT_EQ(result, 11);
}

TEST(Messages, SenderWaitingOnADestroyedWindowIsReleased) {
  TestWindow w;  // this thread never handles the send before destroying
  ASSERT_TRUE(w.Create());
  std::atomic<bool> sending{false};
  LRESULT result = -1;
  std::thread worker([&, h = w.Handle()] {
    sending = true;
    result = SendMessage(h, WM_USER, 0, 0);
  });
  while (!sending) std::this_thread::sleep_for(1ms);
  std::this_thread::sleep_for(20ms);  // most likely queued and blocked by now
  w.Destroy();
  worker.join();  // hangs here if the sender is never released
  EXPECT_TRUE(result == 0 && w.count == 0);
}

// A pump that waits for messages while it watches a worker hears of the
// worker's end at once, even when the end came before the wait began.
TEST(Messages, AWorkersEndCutsItsCreatorsWaitForMessages) {
  Drain();
  const HANDLE worker = CreateThread(nullptr, 0, [](void*) -> DWORD { return 0; }, nullptr, 0, nullptr);
  ASSERT_NE(worker, nullptr);
  ASSERT_EQ(WaitForSingleObject(worker, INFINITE), WAIT_OBJECT_0);
  const auto start = std::chrono::steady_clock::now();
  MSG msg;
  EXPECT_FALSE(GetMessageTimeout(&msg, 60000));
  EXPECT_LT(std::chrono::steady_clock::now() - start, 30s);
  CloseHandle(worker);
}

}  // namespace
