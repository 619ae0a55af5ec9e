#pragma once
// Child processes for tests: started with extra environment entries, their output captured or sent
// to a file, and never left running: each has a time limit after which it and its own children
// are killed.

#include <chrono>
#include <string>
#include <vector>

namespace rv58::test {

struct TChildOptions {
  // NAME=value entries added to this process's environment (replacing entries of the same name).
  std::vector<std::string> env;
  // When set, standard output and error are appended to this file instead of being captured.
  std::string outputFile;
  // When set, standard output alone goes to this file and standard error stays this process's.
  std::string stdoutFile;
  // The child's working folder (empty: this process's).
  std::string workingDir;
  // A descriptor of this process the child gets as its descriptor 3 (-1: none).
  int passFd = -1;
  // Killed (with everything it started) when it runs longer.
  std::chrono::milliseconds timeLimit = std::chrono::minutes(2);
};

struct TChildResult {
  int exitCode = -1; // -1 when it did not start, was killed or ended by a signal
  bool timedOut = false;
  std::string out; // captured standard output (empty when it went to a file)
  std::string err; // captured standard error
  std::chrono::steady_clock::time_point started;
  std::chrono::steady_clock::time_point ended;
};

// A started child; the destructor stops it when it is still running.
class TChildProcess {
public:
  // argv[0] is looked up in PATH when it has no slash. Standard input is /dev/null.
  explicit TChildProcess(const std::vector<std::string>& argv, const TChildOptions& options = {});
  ~TChildProcess();
  TChildProcess(const TChildProcess&) = delete;
  TChildProcess& operator=(const TChildProcess&) = delete;

  bool Started() const { return pid_ > 0; }
  int Pid() const { return pid_; }
  // Reads its output until it ends or its time limit passes (then kills it).
  TChildResult Wait();
  // Asks it to end (SIGTERM), kills it when it has not ended after three seconds.
  void Stop();

private:
  int pid_ = -1;
  int outFd_ = -1;
  int errFd_ = -1;
  TChildResult result_;
  std::chrono::steady_clock::time_point deadline_;
};

// Runs a program to its end (or its time limit).
TChildResult RunChild(const std::vector<std::string>& argv, const TChildOptions& options = {});

// Runs a command line through /bin/sh -c.
TChildResult RunShell(const std::string& command, const TChildOptions& options = {});

} // namespace rv58::test
