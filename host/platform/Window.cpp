#include "host/platform/Window.h"

#include "host/platform/MessageQueue.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <unordered_map>

namespace {

struct Entry {
  KvWindow* window;
  std::shared_ptr<KvMessageQueue> queue;
  int busy = 0;  // handlers of this window running now
};

struct Registry {
  std::mutex mutex;
  std::condition_variable idle;
  std::unordered_map<std::uintptr_t, std::shared_ptr<Entry>> windows;
  std::uintptr_t next = 1;
};

// Never destroyed: threads may still send or post while statics go away.
Registry& Windows() {
  static Registry* registry = new Registry;
  return *registry;
}

std::uintptr_t Id(HWND hwnd) { return reinterpret_cast<std::uintptr_t>(hwnd); }

std::shared_ptr<Entry> Find(Registry& r, HWND hwnd) {
  const auto it = r.windows.find(Id(hwnd));
  return it == r.windows.end() ? nullptr : it->second;
}

}  // namespace

KvWindow::~KvWindow() { Destroy(); }

bool KvWindow::Create() {
  if (hwnd_.load()) return false;
  Registry& r = Windows();
  std::shared_ptr<KvMessageQueue> queue = KvMessageQueue::Current();
  std::lock_guard lock(r.mutex);
  const std::uintptr_t id = r.next++;
  r.windows.emplace(id, std::make_shared<Entry>(Entry{this, std::move(queue)}));
  hwnd_.store(reinterpret_cast<HWND>(id));
  return true;
}

void KvWindow::Destroy() {
  const HWND hwnd = hwnd_.exchange(nullptr);
  if (!hwnd) return;
  Registry& r = Windows();
  const std::shared_ptr<KvMessageQueue> current = KvMessageQueue::Current();
  std::shared_ptr<Entry> entry;
  {
    std::unique_lock lock(r.mutex);
    entry = Find(r, hwnd);
    if (!entry) return;
    r.windows.erase(Id(hwnd));
    // A handler of this window on our own stack may destroy it; never wait for that one.
    if (entry->queue != current) r.idle.wait(lock, [&] { return entry->busy == 0; });
  }
  entry->queue->DropWindow(hwnd);
}

LRESULT KvWindow::Dispatch(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!hwnd) return 0;
  Registry& r = Windows();
  const std::shared_ptr<KvMessageQueue> current = KvMessageQueue::Current();
  std::shared_ptr<Entry> entry;
  {
    std::lock_guard lock(r.mutex);
    entry = Find(r, hwnd);
    if (!entry || entry->queue != current) return 0;
    ++entry->busy;
  }
  // Lowered on every way out, ExitThread's unwinding included.
  struct Done {
    Registry& r;
    Entry& e;
    ~Done() {
      {
        std::lock_guard lock(r.mutex);
        --e.busy;
      }
      r.idle.notify_all();
    }
  } done{r, *entry};
  return entry->window->WindowProc(message, wParam, lParam);
}

std::shared_ptr<KvMessageQueue> KvWindow::QueueOf(HWND hwnd) {
  if (!hwnd) return nullptr;
  Registry& r = Windows();
  std::lock_guard lock(r.mutex);
  const std::shared_ptr<Entry> entry = Find(r, hwnd);
  return entry ? entry->queue : nullptr;
}
