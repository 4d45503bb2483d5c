// Processes: starting a program from a Windows command line (never through a
// shell), waiting for it and reading its exit code. A command line whose
// program is a ".bat" or ".cmd" file runs through the batch interpreter
// (platform/win/batch.h) and is waited for like any other process.
//
// Sections: command lines | starting programs | CreateProcessA and friends
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>
#include <vector>

#include "platform/win/kernel.h"

// ---- command lines ----------------------------------------------------------

// Splits a command line by the Windows rules. The program name ends at the
// first blank, or runs between quotes without escapes. In the arguments,
// quotes group blanks; 2n backslashes before a quote give n backslashes and
// the quote delimits, 2n+1 give n backslashes and a literal quote; other
// backslashes are literal; "" inside quotes gives a literal quote.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

// True for a program name ending in ".bat" or ".cmd" (any case).
bool IsBatchFileName(std::string_view program);

// ---- starting programs ------------------------------------------------------

struct SpawnOptions {
  bool newProcessGroup = false;
  int outputFd = -1;             // when set, becomes the child's standard output
  std::string currentDirectory;  // empty: the caller's
};

// Starts argv[0] with the argument vector, through PATH when the name has no
// folder; the child's id, or -1 with errno set.
pid_t SpawnProgram(const std::vector<std::string>& argv, const SpawnOptions& options);
// Waits for a started child and answers its exit code (128 + signal number
// when a signal ended it).
int WaitForChild(pid_t pid);
// Starts a program and forgets it: a helper thread collects its exit.
bool SpawnDetached(const std::vector<std::string>& argv, const SpawnOptions& options = {});

// ---- CreateProcessA and friends ---------------------------------------------

constexpr DWORD DEBUG_PROCESS = 0x00000001;
constexpr DWORD CREATE_SUSPENDED = 0x00000004;
constexpr DWORD DETACHED_PROCESS = 0x00000008;
constexpr DWORD CREATE_NEW_CONSOLE = 0x00000010;
constexpr DWORD NORMAL_PRIORITY_CLASS = 0x00000020;
constexpr DWORD CREATE_NEW_PROCESS_GROUP = 0x00000200;
constexpr DWORD STILL_ACTIVE = 259;

// The start-up record: only its size is looked at; the window and console
// fields have no meaning here.
struct STARTUPINFOA {
  DWORD cb = 68;
  DWORD dwFlags = 0;
  WORD wShowWindow = 0;
};

struct PROCESS_INFORMATION {
  HANDLE hProcess = nullptr;
  HANDLE hThread = nullptr;
  DWORD dwProcessId = 0;
  DWORD dwThreadId = 0;
};

// Starts the program of `commandLine` (or `applicationName` when given) with
// the arguments split from the command line; CREATE_NEW_PROCESS_GROUP puts
// it in a process group of its own. The caller closes both handles of `info`.
// FALSE with the last error (ERROR_FILE_NOT_FOUND...) when it cannot start.
BOOL CreateProcessA(const char* applicationName, const char* commandLine,
                    const SECURITY_ATTRIBUTES* processAttributes, const SECURITY_ATTRIBUTES* threadAttributes,
                    BOOL inheritHandles, DWORD creationFlags, const void* environment, const char* currentDirectory,
                    const STARTUPINFOA* startupInfo, PROCESS_INFORMATION* info);

// STILL_ACTIVE while the process runs, then its exit code.
BOOL GetExitCodeProcess(HANDLE process, DWORD* exitCode);

// Starts a command line without waiting; above 31 on success, else 0 (out of
// resources), ERROR_FILE_NOT_FOUND or ERROR_PATH_NOT_FOUND.
UINT WinExec(const char* commandLine, UINT showCommand);
