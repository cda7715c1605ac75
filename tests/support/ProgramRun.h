#pragma once
// The duskmoth program run as a subprocess, its error stream read through a
// pipe: the exit code (128 + the signal when one ended it) and what it said.

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sstream>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

inline const std::string kProgram = DM_BINARY_DIR "/duskmoth";

struct ProgramRun {
  int exit_code = -1;
  std::string err;
  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    std::istringstream in(err);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
};

// Runs the program with the arguments and environment overrides, its error
// stream read through a pipe; its standard input is a pipe that stays open
// and empty while it runs (a prompt waits, as at a quiet terminal). When interrupt_after is not empty, SIGINT goes
// to the program once its error output contains that text; with a delay,
// that long after the start. address_space_mb limits the program's address
// space (as ulimit -v does); 0 leaves it unlimited. `program` is the
// program file to run.
inline ProgramRun RunDuskmoth(const std::vector<std::string>& args, const std::vector<std::string>& env_overrides,
                       const std::string& interrupt_after = "",
                       std::chrono::milliseconds interrupt_delay = std::chrono::milliseconds(0),
                       rlim_t address_space_mb = 0, const std::string& program = kProgram) {
  // Everything the child needs is built before fork: after it, only exec.
  std::vector<std::string> env_strings = env_overrides;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    const std::string name = entry.substr(0, entry.find('=') + 1);
    bool overridden = false;
    for (const std::string& o : env_overrides) overridden |= o.rfind(name, 0) == 0;
    if (!overridden) env_strings.push_back(entry);
  }
  std::vector<char*> envp;
  for (std::string& s : env_strings) envp.push_back(s.data());
  envp.push_back(nullptr);
  std::vector<std::string> arg_strings{program};
  arg_strings.insert(arg_strings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& s : arg_strings) argv.push_back(s.data());
  argv.push_back(nullptr);

  ProgramRun run;
  int pipe_fds[2], input_fds[2];
  if (pipe(pipe_fds) != 0) return run;
  if (pipe(input_fds) != 0) {
    close(pipe_fds[0]);
    close(pipe_fds[1]);
    return run;
  }
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(pipe_fds[1], STDERR_FILENO);
    dup2(input_fds[0], STDIN_FILENO);
    close(pipe_fds[0]);
    close(pipe_fds[1]);
    close(input_fds[0]);
    close(input_fds[1]);
    if (address_space_mb > 0) {
      const rlimit limit{address_space_mb << 20, address_space_mb << 20};
      setrlimit(RLIMIT_AS, &limit);
    }
    execve(program.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  close(pipe_fds[1]);
  close(input_fds[0]);
  std::jthread timer;
  if (interrupt_delay.count() > 0)
    timer = std::jthread([pid, interrupt_delay] {
      std::this_thread::sleep_for(interrupt_delay);
      kill(pid, SIGINT);
    });
  bool interrupted = false;
  char buffer[512];
  ssize_t n;
  while ((n = read(pipe_fds[0], buffer, sizeof buffer)) > 0) {
    run.err.append(buffer, std::size_t(n));
    if (!interrupted && !interrupt_after.empty() && run.err.find(interrupt_after) != std::string::npos) {
      kill(pid, SIGINT);
      interrupted = true;
    }
  }
  close(pipe_fds[0]);
  int status = 0;
  if (pid > 0 && waitpid(pid, &status, 0) == pid)
    run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  close(input_fds[1]);
  return run;
}
