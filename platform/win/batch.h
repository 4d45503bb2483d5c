// The small batch interpreter that runs ".bat" and ".cmd" files: "@echo off",
// "echo", "rem" and blank lines are honoured; every other line is split by
// the Windows command-line rules and its program run with an argument vector
// (never through a shell), each waited for before the next.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct BatchOptions {
  int outputFd = 1;  // where "echo" and the commands write
  bool newProcessGroup = false;
  std::string currentDirectory;  // where the commands run; empty: the caller's
};

// The exit code of a program that cannot be found, as the Windows command
// interpreter reports it.
constexpr int BatchCommandNotFound = 9009;

// What runs a command's program in place of starting a process (tests and
// fuzzing stop at the process boundary): answers its exit code, or a
// negative number when there is no such program. Empty: processes start.
using BatchProgramRunner = std::function<int(const std::vector<std::string>& argv)>;
void SetBatchProgramRunner(BatchProgramRunner runner);

// Runs the script's lines (CR LF or LF line ends); answers the exit code of
// the last command run, 0 when none ran.
int RunBatchScript(std::string_view script, const BatchOptions& options);
// Reads and runs a batch file; -1 with errno set when it cannot be read.
int RunBatchFile(const std::string& fileName, const BatchOptions& options);
