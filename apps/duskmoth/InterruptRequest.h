#pragma once
// InterruptRequest: while one lives, Ctrl-C (SIGINT) raises its flag instead
// of ending the program, so that a render stops through its normal abort
// path; a second Ctrl-C ends the program as usual. The old handling comes
// back with the destructor. The flag is the process's: an instance made
// while another lives shares its handler and flag (a command installs one
// first, before loading anything, and the render path's joins it).

#include <atomic>
#include <csignal>
#include <ostream>

class InterruptRequest {
public:
  // With `terminate_too`, SIGTERM raises the flag as well: mpirun hands a
  // Ctrl-C on to its processes as SIGTERM.
  explicit InterruptRequest(bool terminate_too = false);
  ~InterruptRequest();
  InterruptRequest(const InterruptRequest&) = delete;
  InterruptRequest& operator=(const InterruptRequest&) = delete;

  const std::atomic<bool>& Flag() const;
  bool Raised() const { return Flag().load(); }

private:
  struct sigaction old_{};
  struct sigaction old_terminate_{};
  bool installed_ = false;
  bool installed_terminate_ = false;
};

// "duskmoth: interrupted" on err; answers the exit code of an interrupt, 130.
int ReportInterrupted(std::ostream& err);
