// The guard that runs a command in a child process: a fault of the command
// becomes a message and status 1, an exit status passes through, and a
// signal sent to end the program reaches the command and ends the program
// the same way.
#include "apps/duskmoth/FaultGuard.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <sstream>
#include <thread>

namespace {

TEST(FaultGuard, AFaultBecomesAMessageAndAnExitStatusPassesThrough) {
  struct Case {
    int (*command)();
    int status;
    const char* said;  // part of the one line, or empty for none
  };
  const Case cases[] = {
      {[] { return 0; }, 0, ""},
      {[] { return 7; }, 7, ""},
      {[] { return raise(SIGILL); }, 1, "m.obj: the program stopped on a fault (Illegal instruction) while working on it"},
      {[] {
         std::abort();
         return 0;
       },
       1, "(Aborted)"},
      {[] { return raise(SIGKILL); }, 1, "m.obj: the program was killed while working on it"},
  };
  for (const Case& c : cases) {
    std::ostringstream err;
    EXPECT_EQ(RunGuarded("m.obj", c.command, err), c.status) << c.said;
    if (*c.said) EXPECT_NE(err.str().find(c.said), std::string::npos) << err.str();
    else EXPECT_EQ(err.str(), "");
  }
}

// The guarded program runs in a process of its own here, so that the
// signal that ends it ends that process: SIGTERM sent to the program, or
// a second SIGINT (the command's handler took the first; sent by another
// process, each is handed on).
TEST(FaultGuard, ASignalSentToTheProgramReachesTheCommandAndEndsTheProgramAlike) {
  for (const int signal : {SIGTERM, SIGINT}) {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t program = fork();
    ASSERT_GE(program, 0);
    if (program == 0) {
      close(ready[0]);
      std::ostringstream err;
      RunGuarded("m.obj", [&] {
        std::signal(SIGINT, [](int) { std::signal(SIGINT, SIG_DFL); });  // the first one is taken
        if (write(ready[1], "x", 1) != 1) return 3;
        for (;;) pause();
        return 0;
      }, err);
      _exit(4);  // not reached: the guard ends as the command did
    }
    close(ready[1]);
    char x;
    ASSERT_EQ(read(ready[0], &x, 1), 1);
    close(ready[0]);
    const int sends = signal == SIGINT ? 2 : 1;
    for (int i = 0; i < sends; ++i) {
      kill(program, signal);
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    int status = 0;
    ASSERT_EQ(waitpid(program, &status, 0), program);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << "signal " << signal << ", status " << status;
  }
}

}  // namespace
