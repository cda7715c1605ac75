#pragma once
// Window messages with Win32 semantics: each thread has a queue for the
// windows it created (KvWindow); posting queues a message, sending from
// another thread blocks until the owning thread has handled it, and the host
// pumps its thread's queue with GetMessageTimeout and DispatchMessage.

#include "host/platform/WinTypes.h"

#include <functional>
#include <string_view>

inline constexpr UINT PM_NOREMOVE = 0x0000;
inline constexpr UINT PM_REMOVE = 0x0001;

// Queues a message for the window's thread. A null window posts to the
// calling thread itself (DispatchMessage then does nothing with it). False
// for an unknown or destroyed window.
bool PostMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Calls the window's procedure directly on its own thread; from another
// thread queues it for that thread and blocks until it has been handled,
// handling messages sent to the caller's windows meanwhile. Answers the
// procedure's result, or 0 at once for an unknown or destroyed window, and 0
// when the window is destroyed (or its thread ends) before handling it.
LRESULT SendMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Looks at the calling thread's posted messages, after handling the messages
// sent to it. The filter window (null for any) and the range first..last
// (0..0 for every message) pick the first matching message; PM_REMOVE takes
// it out of the queue. False when none matches.
bool PeekMessage(MSG* msg, HWND filter, UINT first, UINT last, UINT removeFlags);

// Takes the next posted message of the calling thread, waiting at most the
// given time (INFINITE waits for ever) and handling sent messages meanwhile.
// False when the time ran out, or at once when a thread this one created
// has ended since the last call, so that a pump that watches a worker sees
// its end without delay.
bool GetMessageTimeout(MSG* msg, DWORD milliseconds);

// Hands a message to its window's procedure; 0 when the window is gone.
LRESULT DispatchMessage(const MSG* msg);

// Pumps the calling thread's messages until `done` answers true (checked
// before each wait, after each message and at least every 10 ms) or the time
// runs out. Answers whether `done` held.
bool PumpMessagesUntil(const std::function<bool()>& done, DWORD milliseconds);

// Message ids shared by name, from 0xC000 up: the same name always gives the
// same id. 0 for an empty name or when the ids are used up.
UINT RegisterWindowMessage(std::string_view name);
