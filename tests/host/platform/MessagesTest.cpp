#include "host/platform/Messages.h"
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
  MSG m;
  while (PeekMessage(&m, nullptr, 0, 0, PM_REMOVE)) {
  }
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
  for (int i = 0; i < 200; ++i) {
    EXPECT_EQ(w.seen[i].wParam, WPARAM(i));
    EXPECT_EQ(w.seen[i].lParam, -i);
  }
  EXPECT_FALSE(w.offThread);
}

TEST(Messages, SendFromAnotherThreadBlocksUntilHandled) {
  TestWindow w;
  ASSERT_TRUE(w.Create());
  std::atomic<bool> handled{false}, sawHandled{false}, done{false};
  LRESULT result = 0;
  w.handler = [&](UINT, WPARAM wParam, LPARAM) -> LRESULT {
    std::this_thread::sleep_for(5ms);
    handled = true;
    return LRESULT(wParam) * 2;
  };
  std::thread worker([&, h = w.Handle()] {
    result = SendMessage(h, WM_USER + 2, 21, 0);
    sawHandled = handled.load();
    done = true;
  });
  EXPECT_TRUE(PumpMessagesUntil([&] { return done.load(); }, 10000));
  worker.join();
  EXPECT_TRUE(sawHandled);
  EXPECT_EQ(result, 42);
  EXPECT_FALSE(w.offThread);
}

TEST(Messages, SendOnTheOwningThreadCallsDirectly) {
  Drain();
  TestWindow w;
  ASSERT_TRUE(w.Create());
  w.handler = [](UINT m, WPARAM, LPARAM) -> LRESULT { return LRESULT(m) + 1; };
  EXPECT_EQ(SendMessage(w.Handle(), WM_USER + 5, 0, 0), LRESULT(WM_USER + 6));
  EXPECT_EQ(w.count, 1);
  MSG m;
  EXPECT_FALSE(PeekMessage(&m, nullptr, 0, 0, PM_NOREMOVE));
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
    EXPECT_EQ(w.count, 1);
    EXPECT_FALSE(w.offThread);
    done = true;
  });
  EXPECT_TRUE(PumpMessagesUntil([&] { return done.load(); }, 10000));
  worker.join();
  EXPECT_EQ(result, 11);
}

TEST(Messages, PeekLooksOrRemovesByWindowAndRange) {
  Drain();
  TestWindow a, b;
  ASSERT_TRUE(a.Create());
  ASSERT_TRUE(b.Create());
  PostMessage(a.Handle(), WM_USER + 1, 1, 0);
  PostMessage(b.Handle(), WM_USER + 2, 2, 0);
  PostMessage(a.Handle(), WM_USER + 3, 3, 0);
  MSG m{};
  ASSERT_TRUE(PeekMessage(&m, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(m.wParam, 1u);
  ASSERT_TRUE(PeekMessage(&m, nullptr, 0, 0, PM_NOREMOVE));  // still there
  EXPECT_EQ(m.wParam, 1u);
  ASSERT_TRUE(PeekMessage(&m, nullptr, WM_USER + 2, WM_USER + 3, PM_NOREMOVE));
  EXPECT_EQ(m.wParam, 2u);
  ASSERT_TRUE(PeekMessage(&m, a.Handle(), WM_USER + 2, WM_USER + 9, PM_REMOVE));
  EXPECT_EQ(m.wParam, 3u);
  EXPECT_EQ(m.hwnd, a.Handle());
  EXPECT_FALSE(PeekMessage(&m, a.Handle(), WM_USER + 2, WM_USER + 9, PM_NOREMOVE));
  EXPECT_FALSE(PeekMessage(&m, nullptr, WM_USER + 4, WM_USER + 9, PM_REMOVE));
  std::vector<WPARAM> order;
  while (PeekMessage(&m, nullptr, 0, 0, PM_REMOVE)) order.push_back(m.wParam);
  EXPECT_EQ(order, (std::vector<WPARAM>{1, 2}));
  EXPECT_EQ(a.count + b.count, 0);  // peeking never dispatches posted messages
}

TEST(Messages, DestroyedWindowsLoseTheirQueuedMessages) {
  Drain();
  TestWindow a, b;
  ASSERT_TRUE(a.Create());
  ASSERT_TRUE(b.Create());
  const HWND gone = a.Handle();
  PostMessage(gone, WM_USER, 1, 0);
  PostMessage(b.Handle(), WM_USER, 2, 0);
  PostMessage(gone, WM_USER, 3, 0);
  MSG stale{gone, WM_USER, 9, 0};
  a.Destroy();
  EXPECT_EQ(a.Handle(), nullptr);
  MSG m;
  ASSERT_TRUE(PeekMessage(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.wParam, 2u);
  EXPECT_FALSE(PeekMessage(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(DispatchMessage(&stale), 0);
  EXPECT_FALSE(PostMessage(gone, WM_USER, 0, 0));
  EXPECT_EQ(SendMessage(gone, WM_USER, 0, 0), 0);
  EXPECT_EQ(a.count, 0);
  EXPECT_TRUE(a.Create());  // a new window, never the old handle
  EXPECT_NE(a.Handle(), gone);
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
  EXPECT_EQ(result, 0);
  EXPECT_EQ(w.count, 0);
}

TEST(Messages, SenderIsReleasedWhenTheOwningThreadEnds) {
  std::unique_ptr<TestWindow> window;  // outlives the thread that owns it
  std::atomic<HWND> target{nullptr};
  std::atomic<bool> sending{false};
  LRESULT result = -1;
  std::thread owner([&] {
    window = std::make_unique<TestWindow>();
    ASSERT_TRUE(window->Create());
    target = window->Handle();
    while (!sending) std::this_thread::sleep_for(1ms);
    std::this_thread::sleep_for(20ms);  // never pumps, then ends
  });
  while (!target) std::this_thread::sleep_for(1ms);
  std::thread sender([&] {
    sending = true;
    result = SendMessage(target, WM_USER, 0, 0);
  });
  owner.join();
  sender.join();
  EXPECT_EQ(result, 0);
  EXPECT_FALSE(PostMessage(target, WM_USER, 0, 0));  // its thread is gone
  EXPECT_EQ(SendMessage(target, WM_USER, 0, 0), 0);
  EXPECT_EQ(window->count, 0);
  window.reset();  // destroyed from this thread
}

TEST(Messages, WindowMayDestroyItselfInItsHandler) {
  Drain();
  TestWindow w;
  ASSERT_TRUE(w.Create());
  w.handler = [&](UINT, WPARAM, LPARAM) -> LRESULT {
    w.Destroy();
    return 5;
  };
  const HWND h = w.Handle();
  PostMessage(h, WM_USER, 0, 0);
  PostMessage(h, WM_USER, 1, 0);
  MSG m;
  ASSERT_TRUE(GetMessageTimeout(&m, 1000));
  EXPECT_EQ(DispatchMessage(&m), 5);
  EXPECT_FALSE(PeekMessage(&m, nullptr, 0, 0, PM_NOREMOVE));  // the second was dropped
  EXPECT_EQ(w.count, 1);
}

TEST(Messages, OnlyTheOwningThreadRunsAWindowsProcedure) {
  TestWindow w;
  ASSERT_TRUE(w.Create());
  LRESULT fromWorker = -1;
  w.handler = [](UINT, WPARAM, LPARAM) -> LRESULT { return 3; };
  std::thread([&] {
    const MSG m{w.Handle(), WM_USER, 0, 0};
    fromWorker = DispatchMessage(&m);
  }).join();
  EXPECT_EQ(fromWorker, 0);
  EXPECT_EQ(w.count, 0);
  EXPECT_FALSE(w.Create());  // already exists
}

TEST(Messages, PumpAndGetWaitAtMostTheirTime) {
  Drain();
  MSG m;
  EXPECT_FALSE(GetMessageTimeout(&m, 10));
  EXPECT_FALSE(PumpMessagesUntil([] { return false; }, 20));
  std::atomic<bool> flag{false};
  std::thread setter([&] {
    std::this_thread::sleep_for(5ms);
    flag = true;
  });
  EXPECT_TRUE(PumpMessagesUntil([&] { return flag.load(); }, 10000));  // no message needed
  setter.join();
  ASSERT_TRUE(PostMessage(nullptr, WM_USER + 7, 0, 0));  // to this thread itself
  ASSERT_TRUE(GetMessageTimeout(&m, 0));
  EXPECT_EQ(m.message, WM_USER + 7);
  EXPECT_EQ(m.hwnd, nullptr);
  EXPECT_EQ(DispatchMessage(&m), 0);
  EXPECT_EQ(SendMessage(nullptr, WM_USER, 0, 0), 0);
}

TEST(Messages, RegisteredIdsAreStablePerName) {
  const UINT close = RegisterWindowMessage("DuskMothTest.Close");
  const UINT cancel = RegisterWindowMessage("DuskMothTest.Cancel");
  EXPECT_GE(close, 0xC000u);
  EXPECT_LE(close, 0xFFFFu);
  EXPECT_NE(close, cancel);
  UINT again = 0;
  std::thread([&] { again = RegisterWindowMessage("DuskMothTest.Close"); }).join();
  EXPECT_EQ(again, close);
  EXPECT_EQ(RegisterWindowMessage(""), 0u);
}

}  // namespace
