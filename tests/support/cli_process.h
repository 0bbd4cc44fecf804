// kadrum-cli, or any program, started as a process the way a shell starts
// it: its own working folder and standard streams, the test's environment.
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace kadrum::testing {

// Where the program's standard streams go. A descriptor the test opened
// for it should carry O_CLOEXEC, so that the program holds no copy but its
// standard input (a pipe's write end left open would keep it from ever
// reading the end).
struct ProcessStreams {
  std::string input = "/dev/null";  // the file read as standard input
  int input_descriptor = -1;        // used instead of "input" when set
  bool input_closed = false;        // no standard input at all
  std::string output;               // a file written anew; "" keeps the test's
  std::string error;                // a file written anew; "" keeps the test's
};

// Starts "program" with "args" in "folder"; its process id. Throws
// std::runtime_error when it cannot fork; a program that cannot be started
// ends with status 127.
inline pid_t start_process(const std::string& program, const std::vector<std::string>& args,
                           const std::string& folder, const ProcessStreams& streams) {
  // Everything the child needs is made before the fork: it then only
  // redirects and execs.
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid > 0) return pid;
  if (chdir(folder.c_str()) != 0) _exit(127);
  if (streams.input_descriptor >= 0)
    dup2(streams.input_descriptor, 0);
  else
    dup2(open(streams.input.c_str(), O_RDONLY), 0);
  if (!streams.output.empty())
    dup2(open(streams.output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
  if (!streams.error.empty())
    dup2(open(streams.error.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
  if (streams.input_closed) close(0);
  execv(program.c_str(), argv.data());
  _exit(127);
}

// Waits for "pid" to end; its exit status, -1 when a signal ended it.
inline int exit_status_of(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace kadrum::testing
