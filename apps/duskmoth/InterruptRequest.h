#pragma once
// InterruptRequest: while one lives, Ctrl-C (SIGINT) raises its flag instead
// of ending the program, so that a render stops through its normal abort
// path; a second Ctrl-C ends the program as usual. The old handling comes
// back with the destructor. One at a time: the flag is the process's.

#include <atomic>
#include <csignal>

class InterruptRequest {
public:
  InterruptRequest();
  ~InterruptRequest();
  InterruptRequest(const InterruptRequest&) = delete;
  InterruptRequest& operator=(const InterruptRequest&) = delete;

  const std::atomic<bool>& Flag() const;
  bool Raised() const { return Flag().load(); }

private:
  struct sigaction old_{};
  bool installed_ = false;
};
