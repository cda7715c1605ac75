#include "apps/duskmoth/InterruptRequest.h"

namespace {
// A signal handler can reach only static storage; a lock-free atomic is
// safe to store from it.
std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void OnInterrupt(int) { interrupted.store(true); }

// Instances alive: only the outermost installs the handler and clears the flag.
int depth = 0;
}  // namespace

InterruptRequest::InterruptRequest(bool terminate_too) {
  if (depth++ > 0) return;
  interrupted = false;
  struct sigaction action{};
  action.sa_handler = &OnInterrupt;
  sigemptyset(&action.sa_mask);
  // The handler goes after the first signal: a second Ctrl-C ends the program.
  action.sa_flags = SA_RESETHAND | SA_RESTART;
  installed_ = sigaction(SIGINT, &action, &old_) == 0;
  installed_terminate_ = terminate_too && sigaction(SIGTERM, &action, &old_terminate_) == 0;
}

InterruptRequest::~InterruptRequest() {
  --depth;
  if (installed_) sigaction(SIGINT, &old_, nullptr);
  if (installed_terminate_) sigaction(SIGTERM, &old_terminate_, nullptr);
}

const std::atomic<bool>& InterruptRequest::Flag() const { return interrupted; }

int ReportInterrupted(std::ostream& err) {
  err << "duskmoth: interrupted\n";
  return 130;
}
