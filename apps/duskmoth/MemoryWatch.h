#pragma once
// Running out of memory ends a command with one line naming what it was
// doing ("out of memory while reading the scene") and status 1, never a
// signal. A watch holds the phase the command is in and the count of
// allocation failures when it started: the host and the renderer catch
// std::bad_alloc, answer their usual failure value and count it, so a
// failure the watch sees while the count has grown was memory running out.

#include <cstdint>
#include <new>
#include <ostream>
#include <string>

#include "host/toolkit/AllocationFailures.h"

class MemoryWatch {
public:
  explicit MemoryWatch(std::string phase) : phase_(std::move(phase)), start_(KvAllocationFailureCount()) {}

  void Enter(std::string phase) { phase_ = std::move(phase); }
  // A progress line of the renderer as a phase: "Rendering...(42%)" is
  // "rendering", "Calculating Screen Projections..." is "calculating screen projections".
  void EnterStatus(const std::wstring& status);
  const std::string& Phase() const { return phase_; }
  bool RanOut() const { return KvAllocationFailureCount() != start_; }
  // "duskmoth: out of memory while <phase>" on err; answers 1.
  int Report(std::ostream& err) const;

  // body's answer; `failure` (and the failure counted) when it throws std::bad_alloc.
  template <typename Result, typename Body> Result Guard(Result failure, Body&& body) const {
    try {
      return body();
    } catch (const std::bad_alloc&) {
      KvNoteAllocationFailure();
      return failure;
    }
  }

private:
  std::string phase_;
  std::uint64_t start_;
};
