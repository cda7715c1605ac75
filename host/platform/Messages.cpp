#include "host/platform/Messages.h"

#include "host/platform/MessageQueue.h"
#include "host/platform/Window.h"

#include <algorithm>
#include <mutex>
#include <string>
#include <unordered_map>

bool PostMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  const auto queue = hwnd ? KvWindow::QueueOf(hwnd) : KvMessageQueue::Current();
  return queue && queue->Post(MSG{hwnd, message, wParam, lParam});
}

LRESULT SendMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  const auto queue = KvWindow::QueueOf(hwnd);
  return queue ? queue->Send(MSG{hwnd, message, wParam, lParam}) : 0;
}

bool PeekMessage(MSG* msg, HWND filter, UINT first, UINT last, UINT removeFlags) {
  return KvMessageQueue::Current()->Peek(msg, filter, first, last,
                                         (removeFlags & PM_REMOVE) != 0);
}

bool GetMessageTimeout(MSG* msg, DWORD milliseconds) {
  return KvMessageQueue::Current()->Get(msg, KvMessageQueue::DeadlineAfter(milliseconds));
}

LRESULT DispatchMessage(const MSG* msg) {
  return msg ? KvWindow::Dispatch(msg->hwnd, msg->message, msg->wParam, msg->lParam) : 0;
}

bool PumpMessagesUntil(const std::function<bool()>& done, DWORD milliseconds) {
  using Clock = std::chrono::steady_clock;
  const KvMessageQueue::Deadline deadline = KvMessageQueue::DeadlineAfter(milliseconds);
  const auto queue = KvMessageQueue::Current();
  for (;;) {
    if (done()) return true;
    const Clock::time_point now = Clock::now();
    if (deadline && now >= *deadline) return false;
    // Short slices, so that a condition another thread makes true is seen.
    Clock::time_point slice = now + std::chrono::milliseconds(10);
    if (deadline) slice = std::min(slice, *deadline);
    MSG msg;
    if (queue->Get(&msg, slice)) DispatchMessage(&msg);
  }
}

UINT RegisterWindowMessage(std::string_view name) {
  struct Table {
    std::mutex mutex;
    std::unordered_map<std::string, UINT> ids;
    UINT next = 0xC000;
  };
  static Table* table = new Table;  // never destroyed, like the window registry
  if (name.empty()) return 0;
  std::lock_guard lock(table->mutex);
  const auto it = table->ids.find(std::string(name));
  if (it != table->ids.end()) return it->second;
  if (table->next > 0xFFFF) return 0;
  const UINT id = table->next++;
  table->ids.emplace(std::string(name), id);
  return id;
}
