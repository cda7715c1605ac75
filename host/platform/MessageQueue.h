#pragma once
// One thread's message queue: messages posted to the thread's windows, and
// messages sent to them from other threads, which wait here until the
// owning thread handles them. Made on a thread's first use, shared with the
// windows and senders that refer to it, closed when the thread ends (then
// every waiting sender is released with 0). Used through host/platform/Messages.h.

#include "host/platform/WinTypes.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class KvMessageQueue {
public:
  using Deadline = std::optional<std::chrono::steady_clock::time_point>;
  static Deadline DeadlineAfter(DWORD milliseconds);  // INFINITE gives none

  // The calling thread's queue.
  static std::shared_ptr<KvMessageQueue> Current();

  // Any thread. Post answers false once the queue is closed.
  bool Post(const MSG& msg);
  // From another thread than the owner: queues the message and blocks, still
  // handling messages sent to the caller's own windows, until the owner has
  // handled it. Answers the handler's result, or 0 when the queue closed or
  // the window went away first.
  LRESULT Send(const MSG& msg);
  // Forgets the posted messages for a destroyed window and releases with 0
  // every sender still waiting on it.
  void DropWindow(HWND hwnd);
  // Makes a waiting owner look at its wait condition again; the owner's
  // next or current Get returns at once, without a message if none waits.
  void Wake();

  // Owner thread only: these handle the pending sent messages first.
  bool Peek(MSG* msg, HWND filter, UINT first, UINT last, bool remove);
  bool Get(MSG* msg, const Deadline& deadline);
  // Waits until `done` holds (evaluated under the queue's lock; it must not
  // touch this queue) or the deadline passes; answers whether `done` held.
  bool WaitHandlingSent(const std::function<bool()>& done, const Deadline& deadline);

  ~KvMessageQueue();

private:
  struct Sent;
  friend struct KvQueueHolder;

  void Close();
  bool WaitLocked(std::unique_lock<std::mutex>& lock, const std::function<bool()>& done,
                  const Deadline& deadline);
  static void Complete(Sent& sent, LRESULT result);

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<MSG> posted_;
  std::deque<std::shared_ptr<Sent>> sent_;
  bool closed_ = false;
  std::uint64_t wakes_ = 0, wakes_seen_ = 0;  // by Get
};
