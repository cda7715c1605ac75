#include "host/platform/MessageQueue.h"

#include "host/platform/Window.h"

#include <algorithm>
#include <vector>

struct KvMessageQueue::Sent {
  MSG msg;
  std::shared_ptr<KvMessageQueue> sender;
  bool done = false;  // guarded by the sender's mutex
  LRESULT result = 0;
};

// Closes the thread's queue when the thread ends, releasing its senders.
struct KvQueueHolder {
  std::shared_ptr<KvMessageQueue> queue = std::make_shared<KvMessageQueue>();
  ~KvQueueHolder() { queue->Close(); }
};

KvMessageQueue::~KvMessageQueue() = default;

KvMessageQueue::Deadline KvMessageQueue::DeadlineAfter(DWORD milliseconds) {
  if (milliseconds == INFINITE) return std::nullopt;
  return std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
}

std::shared_ptr<KvMessageQueue> KvMessageQueue::Current() {
  thread_local KvQueueHolder holder;
  return holder.queue;
}

bool KvMessageQueue::Post(const MSG& msg) {
  {
    std::lock_guard lock(mutex_);
    if (closed_) return false;
    posted_.push_back(msg);
  }
  wake_.notify_all();
  return true;
}

LRESULT KvMessageQueue::Send(const MSG& msg) {
  const std::shared_ptr<KvMessageQueue> self = Current();
  if (self.get() == this) return KvWindow::Dispatch(msg.hwnd, msg.message, msg.wParam, msg.lParam);
  auto sent = std::make_shared<Sent>(Sent{msg, self});
  {
    std::lock_guard lock(mutex_);
    if (closed_) return 0;
    sent_.push_back(sent);
  }
  wake_.notify_all();
  std::unique_lock lock(self->mutex_);
  self->WaitLocked(lock, [&] { return sent->done; }, std::nullopt);
  return sent->result;
}

void KvMessageQueue::DropWindow(HWND hwnd) {
  std::vector<std::shared_ptr<Sent>> released;
  {
    std::lock_guard lock(mutex_);
    std::erase_if(posted_, [hwnd](const MSG& m) { return m.hwnd == hwnd; });
    for (auto it = sent_.begin(); it != sent_.end();) {
      if ((*it)->msg.hwnd == hwnd) {
        released.push_back(*it);
        it = sent_.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (const auto& s : released) Complete(*s, 0);
}

void KvMessageQueue::Wake() {
  {
    std::lock_guard lock(mutex_);  // a waiter is either before its check or asleep
    ++wakes_;
  }
  wake_.notify_all();
}

void KvMessageQueue::Close() {
  std::deque<std::shared_ptr<Sent>> released;
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
    posted_.clear();
    released.swap(sent_);
  }
  for (const auto& s : released) Complete(*s, 0);
}

void KvMessageQueue::Complete(Sent& sent, LRESULT result) {
  {
    std::lock_guard lock(sent.sender->mutex_);
    sent.done = true;
    sent.result = result;
  }
  sent.sender->wake_.notify_all();
}

bool KvMessageQueue::WaitLocked(std::unique_lock<std::mutex>& lock,
                                const std::function<bool()>& done, const Deadline& deadline) {
  for (;;) {
    if (!sent_.empty()) {
      const std::shared_ptr<Sent> s = sent_.front();
      sent_.pop_front();
      lock.unlock();
      Complete(*s, KvWindow::Dispatch(s->msg.hwnd, s->msg.message, s->msg.wParam, s->msg.lParam));
      lock.lock();
      continue;
    }
    if (done()) return true;
    if (!deadline) {
      wake_.wait(lock);
    } else if (wake_.wait_until(lock, *deadline) == std::cv_status::timeout && sent_.empty()) {
      return done();
    }
  }
}

bool KvMessageQueue::Peek(MSG* msg, HWND filter, UINT first, UINT last, bool remove) {
  std::unique_lock lock(mutex_);
  WaitLocked(lock, [this] { return sent_.empty(); }, std::nullopt);
  const bool anyMessage = first == 0 && last == 0;
  const auto it = std::find_if(posted_.begin(), posted_.end(), [&](const MSG& m) {
    return (!filter || m.hwnd == filter) &&
           (anyMessage || (m.message >= first && m.message <= last));
  });
  if (it == posted_.end()) return false;
  if (msg) *msg = *it;
  if (remove) posted_.erase(it);
  return true;
}

bool KvMessageQueue::Get(MSG* msg, const Deadline& deadline) {
  std::unique_lock lock(mutex_);
  WaitLocked(lock, [this] { return !posted_.empty() || wakes_ != wakes_seen_; }, deadline);
  wakes_seen_ = wakes_;
  if (posted_.empty()) return false;
  if (msg) *msg = posted_.front();
  posted_.pop_front();
  return true;
}

bool KvMessageQueue::WaitHandlingSent(const std::function<bool()>& done,
                                      const Deadline& deadline) {
  std::unique_lock lock(mutex_);
  return WaitLocked(lock, done, deadline);
}
