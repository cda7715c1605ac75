#include "apps/duskmoth/FaultGuard.h"

#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <iostream>
#include <iterator>

namespace {

// The child the program waits for, for the handler that hands signals on.
std::atomic<pid_t> waited_child{0};
static_assert(std::atomic<pid_t>::is_always_lock_free, "read in a signal handler");

// A signal another process sent (kill) goes on to the child; one from the
// terminal (Ctrl-C, a hang-up) reached the child already, as the whole
// foreground process group gets it.
// kill fails with ESRCH once the child is gone: the code the signal
// interrupted keeps its errno.
void HandOn(int signal, siginfo_t* info, void*) {
  const int saved_errno = errno;
  const bool sent = info && info->si_code <= 0;  // SI_USER, SI_QUEUE, SI_TKILL
  if (const pid_t child = waited_child.load(); sent && child > 0) kill(child, signal);
  errno = saved_errno;
}

// Signals that ask the program to end, rather than faults of its own.
constexpr int kHandedOn[] = {SIGINT, SIGQUIT, SIGTERM, SIGHUP};

}  // namespace

std::string FaultText(const std::string& subject, int status) {
  if (!WIFSIGNALED(status)) return {};
  const int signal = WTERMSIG(status);
  const std::string start = "duskmoth: " + subject + ": ";
  switch (signal) {
    case SIGSEGV:
    case SIGBUS:
    case SIGILL:
    case SIGFPE:
    case SIGABRT:
    case SIGTRAP:
    case SIGSYS:
      return start + "the program stopped on a fault (" + strsignal(signal) +
             ") while working on it; the file may be damaged or of a kind the program does not read";
    case SIGKILL:
      return start + "the program was killed while working on it (the system does that when memory runs out)";
    default:
      return {};
  }
}

int RunGuarded(const std::string& subject, const std::function<int()>& command, std::ostream& err) {
  std::cout.flush();
  std::cerr.flush();
  // The signals stay blocked until the program's handlers are in place, and
  // the child gets the mask the program had.
  sigset_t block, old;
  sigemptyset(&block);
  for (int s : kHandedOn) sigaddset(&block, s);
  sigprocmask(SIG_BLOCK, &block, &old);
  const pid_t parent = getpid();
  const pid_t child = fork();
  if (child < 0) {
    sigprocmask(SIG_SETMASK, &old, nullptr);
    return command();
  }
  if (child == 0) {
    // A child whose program is gone (killed outright) goes with it.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(1);
    sigprocmask(SIG_SETMASK, &old, nullptr);
    const int code = command();
    std::cout.flush();
    std::cerr.flush();
    std::exit(code);
  }
  waited_child = child;
  struct sigaction hand_on {};
  hand_on.sa_sigaction = HandOn;
  sigemptyset(&hand_on.sa_mask);
  hand_on.sa_flags = SA_RESTART | SA_SIGINFO;
  struct sigaction before[std::size(kHandedOn)];
  for (std::size_t i = 0; i < std::size(kHandedOn); ++i) sigaction(kHandedOn[i], &hand_on, &before[i]);
  sigprocmask(SIG_SETMASK, &old, nullptr);

  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  for (std::size_t i = 0; i < std::size(kHandedOn); ++i) sigaction(kHandedOn[i], &before[i], nullptr);
  waited_child = 0;
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (const std::string text = FaultText(subject, status); !text.empty()) {
    err << text << "\n";
    return 1;
  }
  // Ended by a signal sent to end it: the program ends the same way.
  const int signal = WTERMSIG(status);
  std::cout.flush();
  std::cerr.flush();
  std::signal(signal, SIG_DFL);
  sigset_t just;
  sigemptyset(&just);
  sigaddset(&just, signal);
  sigprocmask(SIG_UNBLOCK, &just, nullptr);
  raise(signal);
  return 128 + signal;
}
