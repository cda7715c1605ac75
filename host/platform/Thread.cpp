#include "host/platform/Thread.h"

#include "host/platform/MessageQueue.h"
#include "host/toolkit/AllocationFailures.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <vector>

namespace {

struct ThreadState {
  LPTHREAD_START_ROUTINE procedure;
  void* parameter;
  std::mutex mutex;
  std::condition_variable changed;
  bool suspended;
  std::atomic<bool> ended{false};
  DWORD exitCode = STILL_ACTIVE;
  // Queues woken at this thread's end: its creator's, and those of threads
  // in MsgWaitForSingleObject on it.
  std::vector<std::weak_ptr<KvMessageQueue>> watchers;
};

struct HandleTable {
  std::mutex mutex;
  std::unordered_map<std::uintptr_t, std::shared_ptr<ThreadState>> threads;
  std::uintptr_t next = 1;
  DWORD nextThreadId = 1;
};

// Never destroyed: detached threads may outlive static destruction.
HandleTable& Handles() {
  static HandleTable* table = new HandleTable;
  return *table;
}

std::shared_ptr<ThreadState> Lookup(HANDLE handle) {
  HandleTable& t = Handles();
  std::lock_guard lock(t.mutex);
  const auto it = t.threads.find(reinterpret_cast<std::uintptr_t>(handle));
  return it == t.threads.end() ? nullptr : it->second;
}

struct ExitThreadUnwind {
  DWORD code;
};

thread_local bool t_madeByCreateThread = false;

void RunThread(const std::shared_ptr<ThreadState>& state) {
  {
    std::unique_lock lock(state->mutex);
    state->changed.wait(lock, [&] { return !state->suspended; });
  }
  t_madeByCreateThread = true;
  DWORD code;
  try {
    code = state->procedure(state->parameter);
  } catch (const ExitThreadUnwind& exit) {
    code = exit.code;
  }
  std::vector<std::weak_ptr<KvMessageQueue>> watchers;
  {
    std::lock_guard lock(state->mutex);
    state->exitCode = code;
    state->ended = true;
    watchers.swap(state->watchers);
  }
  state->changed.notify_all();
  for (const auto& w : watchers)
    if (const auto queue = w.lock()) queue->Wake();
}

}  // namespace

HANDLE CreateThread(void*, std::size_t, LPTHREAD_START_ROUTINE procedure, void* parameter,
                    DWORD flags, DWORD* threadId) {
  if (!procedure) return nullptr;
  auto state = std::make_shared<ThreadState>();
  state->procedure = procedure;
  state->parameter = parameter;
  state->suspended = (flags & CREATE_SUSPENDED) != 0;
  state->watchers.push_back(KvMessageQueue::Current());
  HandleTable& t = Handles();
  std::uintptr_t id;
  {
    std::lock_guard lock(t.mutex);
    id = t.next++;
    t.threads.emplace(id, state);
    if (threadId) *threadId = t.nextThreadId++;
  }
  try {
    std::thread(RunThread, state).detach();
  } catch (const std::system_error& e) {
    // No room for the thread's stack is memory running out.
    if (e.code() == std::errc::resource_unavailable_try_again || e.code() == std::errc::not_enough_memory)
      KvNoteAllocationFailure();
    std::lock_guard lock(t.mutex);
    t.threads.erase(id);
    return nullptr;
  }
  return reinterpret_cast<HANDLE>(id);
}

DWORD ResumeThread(HANDLE thread) {
  const auto state = Lookup(thread);
  if (!state) return 0xFFFFFFFF;
  DWORD previous;
  {
    std::lock_guard lock(state->mutex);
    previous = state->suspended ? 1 : 0;
    state->suspended = false;
  }
  state->changed.notify_all();
  return previous;
}

DWORD WaitForSingleObject(HANDLE thread, DWORD milliseconds) {
  const auto state = Lookup(thread);
  if (!state) return WAIT_FAILED;
  std::unique_lock lock(state->mutex);
  const auto ended = [&] { return state->ended.load(); };
  if (milliseconds == INFINITE) {
    state->changed.wait(lock, ended);
    return WAIT_OBJECT_0;
  }
  return state->changed.wait_for(lock, std::chrono::milliseconds(milliseconds), ended)
             ? WAIT_OBJECT_0
             : WAIT_TIMEOUT;
}

DWORD MsgWaitForSingleObject(HANDLE thread, DWORD milliseconds) {
  const auto state = Lookup(thread);
  if (!state) return WAIT_FAILED;
  const auto queue = KvMessageQueue::Current();
  {
    std::lock_guard lock(state->mutex);
    if (state->ended) return WAIT_OBJECT_0;
    state->watchers.push_back(queue);
  }
  const bool ended = queue->WaitHandlingSent([&] { return state->ended.load(); },
                                             KvMessageQueue::DeadlineAfter(milliseconds));
  {
    std::lock_guard lock(state->mutex);
    // One registration only: a nested wait on this thread may hold another.
    const auto it = std::find_if(state->watchers.begin(), state->watchers.end(),
                                 [&](const std::weak_ptr<KvMessageQueue>& w) {
                                   return w.lock() == queue;
                                 });
    if (it != state->watchers.end()) state->watchers.erase(it);
  }
  return ended ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

bool GetExitCodeThread(HANDLE thread, DWORD* exitCode) {
  const auto state = Lookup(thread);
  if (!state || !exitCode) return false;
  std::lock_guard lock(state->mutex);
  *exitCode = state->exitCode;
  return true;
}

bool CloseHandle(HANDLE thread) {
  HandleTable& t = Handles();
  std::lock_guard lock(t.mutex);
  return t.threads.erase(reinterpret_cast<std::uintptr_t>(thread)) > 0;
}

void ExitThread(DWORD exitCode) {
  if (!t_madeByCreateThread) {
    std::fputs("ExitThread called on a thread not made by CreateThread\n", stderr);
    std::abort();
  }
  throw ExitThreadUnwind{exitCode};
}
