#pragma once
// A window: a handle (HWND) and a procedure that handles its messages on the
// thread that created it. Subclasses (the render views) override WindowProc.
// The object owns its registration: Destroy() or the destructor removes it,
// dropping messages still queued for it and releasing blocked senders.

#include "host/platform/WinTypes.h"

#include <atomic>
#include <memory>

class KvMessageQueue;

class KvWindow {
public:
  KvWindow() = default;
  virtual ~KvWindow();
  KvWindow(const KvWindow&) = delete;
  KvWindow& operator=(const KvWindow&) = delete;

  // Registers the window; the calling thread becomes its owner. Answers
  // false when it already exists.
  bool Create();
  // Unregisters the window (nothing when it does not exist). From another
  // thread than the owner it first waits for a running handler of this window
  // to return. A subclass whose WindowProc uses its own members and may be
  // destroyed off its owning thread calls Destroy() in its own destructor.
  void Destroy();
  // Null while the window does not exist. Handles are never reused.
  HWND Handle() const { return hwnd_.load(); }

  // Runs the window's procedure, on its owning thread only; 0 when there is
  // no such window or the caller is another thread.
  static LRESULT Dispatch(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  // The owning thread's queue, null when there is no such window.
  static std::shared_ptr<KvMessageQueue> QueueOf(HWND hwnd);

protected:
  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) = 0;

private:
  std::atomic<HWND> hwnd_{nullptr};
};
