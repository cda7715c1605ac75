#pragma once
// Win32-style threads over std::thread: created suspended or running, waited
// on with a timeout, ended early with ExitThread. A HANDLE names a thread's
// bookkeeping, which lives until both the thread has ended and the handle
// is closed; closing the handle never stops the thread.

#include "host/platform/WinTypes.h"

#include <cstddef>

using LPTHREAD_START_ROUTINE = DWORD (*)(void*);

inline constexpr DWORD CREATE_SUSPENDED = 0x00000004;
inline constexpr DWORD WAIT_OBJECT_0 = 0x00000000;
inline constexpr DWORD WAIT_TIMEOUT = 0x00000102;
inline constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;
inline constexpr DWORD STILL_ACTIVE = 259;

// Security and stack size are accepted and ignored. Answers null when the
// procedure is null or no thread can be made. The thread's end wakes the
// creating thread's message queue (see GetMessageTimeout).
HANDLE CreateThread(void* security, std::size_t stackSize, LPTHREAD_START_ROUTINE procedure,
                    void* parameter, DWORD flags, DWORD* threadId);

// Lets a suspended thread run. Answers the previous suspend count (1 for a
// suspended thread, 0 for a running one), or 0xFFFFFFFF for a bad handle.
DWORD ResumeThread(HANDLE thread);

// WAIT_OBJECT_0 once the thread has ended, WAIT_TIMEOUT when the time ran
// out first (INFINITE never runs out), WAIT_FAILED for a bad handle.
DWORD WaitForSingleObject(HANDLE thread, DWORD milliseconds);

// Like WaitForSingleObject, but while waiting the calling thread handles the
// messages sent (SendMessage) to its windows, so that waiting for a worker
// that is itself blocked sending to this thread cannot deadlock.
DWORD MsgWaitForSingleObject(HANDLE thread, DWORD milliseconds);

// The thread's result (its procedure's return value or ExitThread's code),
// STILL_ACTIVE while it runs. False for a bad handle.
bool GetExitCodeThread(HANDLE thread, DWORD* exitCode);

// Releases the handle. The thread, if still running, runs on.
bool CloseHandle(HANDLE thread);

// Ends the calling thread with the given code. Only for threads made by
// CreateThread: it unwinds the thread's stack (destructors run) with a
// private exception that the thread's entry catches, so the procedure must
// not swallow it with catch (...) nor call this through a noexcept function.
// On any other thread it aborts the process.
[[noreturn]] void ExitThread(DWORD exitCode);
