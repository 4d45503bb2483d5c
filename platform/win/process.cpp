// Sections: command lines | starting programs | process objects |
// CreateProcessA and friends
#include "platform/win/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/win/batch.h"
#include "platform/win/kernel_handles.h"

extern char** environ;

// ---- command lines ----------------------------------------------------------

namespace {
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

size_t SkipBlanks(std::string_view s, size_t i) {
  while (i < s.size() && IsBlank(s[i])) ++i;
  return i;
}

// The program name: quotes group, backslashes are plain characters.
std::string TakeProgramName(std::string_view s, size_t& i) {
  std::string name;
  bool inQuotes = false;
  for (; i < s.size() && (inQuotes || !IsBlank(s[i])); ++i) {
    if (s[i] == '"') {
      inQuotes = !inQuotes;
    } else {
      name += s[i];
    }
  }
  return name;
}

std::string TakeArgument(std::string_view s, size_t& i) {
  std::string arg;
  bool inQuotes = false;
  while (i < s.size() && (inQuotes || !IsBlank(s[i]))) {
    char c = s[i];
    if (c == '\\') {
      size_t run = 0;
      while (i < s.size() && s[i] == '\\') ++run, ++i;
      bool beforeQuote = i < s.size() && s[i] == '"';
      arg.append(beforeQuote ? run / 2 : run, '\\');
      if (beforeQuote && run % 2 == 1) {
        arg += '"';
        ++i;
      }
    } else if (c == '"') {
      if (inQuotes && i + 1 < s.size() && s[i + 1] == '"') {
        arg += '"';
        i += 2;
      } else {
        inQuotes = !inQuotes;
        ++i;
      }
    } else {
      arg += c;
      ++i;
    }
  }
  return arg;
}
}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view commandLine) {
  std::vector<std::string> argv;
  size_t i = SkipBlanks(commandLine, 0);
  if (i == commandLine.size()) return argv;
  argv.push_back(TakeProgramName(commandLine, i));
  while ((i = SkipBlanks(commandLine, i)) < commandLine.size()) argv.push_back(TakeArgument(commandLine, i));
  return argv;
}

bool IsBatchFileName(std::string_view program) {
  if (program.size() < 4) return false;
  std::string ext(program.substr(program.size() - 4));
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
  return ext == ".bat" || ext == ".cmd";
}

// ---- starting programs ------------------------------------------------------

namespace {
// posix_spawn's attribute and file-action records, released on every path.
struct SpawnSetup {
  posix_spawnattr_t attr;
  posix_spawn_file_actions_t actions;
  SpawnSetup() {
    posix_spawnattr_init(&attr);
    posix_spawn_file_actions_init(&actions);
  }
  ~SpawnSetup() {
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;
};
}  // namespace

pid_t SpawnProgram(const std::vector<std::string>& argv, const SpawnOptions& options) {
  if (argv.empty() || argv[0].empty()) {
    errno = ENOENT;
    return -1;
  }
  SpawnSetup setup;
  // The child starts with no blocked signals and every handler at its default.
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
  posix_spawnattr_setsigmask(&setup.attr, &none);
  posix_spawnattr_setsigdefault(&setup.attr, &all);
  if (options.newProcessGroup) {
    flags |= POSIX_SPAWN_SETPGROUP;
    posix_spawnattr_setpgroup(&setup.attr, 0);
  }
  posix_spawnattr_setflags(&setup.attr, flags);
  if (options.outputFd >= 0 && options.outputFd != STDOUT_FILENO) {
    posix_spawn_file_actions_adddup2(&setup.actions, options.outputFd, STDOUT_FILENO);
  }
  if (!options.currentDirectory.empty()) {
    posix_spawn_file_actions_addchdir_np(&setup.actions, options.currentDirectory.c_str());
  }

  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  bool hasFolder = argv[0].find('/') != std::string::npos;
  int rc = hasFolder ? posix_spawn(&pid, args[0], &setup.actions, &setup.attr, args.data(), environ)
                     : posix_spawnp(&pid, args[0], &setup.actions, &setup.attr, args.data(), environ);
  if (rc != 0) {
    errno = rc;
    return -1;
  }
  return pid;
}

namespace {
int ExitCodeOf(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return 1;
}

void ReapInBackground(pid_t pid) {
  std::thread([pid] { WaitForChild(pid); }).detach();
}
}  // namespace

int WaitForChild(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return ExitCodeOf(status);
}

bool SpawnDetached(const std::vector<std::string>& argv, const SpawnOptions& options) {
  pid_t pid = SpawnProgram(argv, options);
  if (pid < 0) return false;
  ReapInBackground(pid);
  return true;
}

// ---- process objects --------------------------------------------------------

namespace {
class ProcessObject : public KernelObject {
public:
  // True once the process ended, with its exit code.
  virtual bool Ended(DWORD& exitCode) = 0;
};

// A child started with posix_spawn, watched through a pidfd where the kernel
// offers one, else by polling.
class ChildProcess : public ProcessObject {
public:
  explicit ChildProcess(pid_t pid) : pid_(pid), pidFd_(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0))) {}
  ~ChildProcess() override {
    if (pidFd_ >= 0) ::close(pidFd_);
    DWORD code;
    if (!Ended(code)) ReapInBackground(pid_);
  }

  bool Ended(DWORD& exitCode) override {
    std::lock_guard guard(lock_);
    if (!ended_) {
      int status = 0;
      pid_t r = ::waitpid(pid_, &status, WNOHANG);
      if (r == pid_) {
        ended_ = true;
        exitCode_ = static_cast<DWORD>(ExitCodeOf(status));
      } else if (r < 0 && errno == ECHILD) {
        ended_ = true;  // collected elsewhere: the code is lost
        exitCode_ = 1;
      }
    }
    exitCode = exitCode_;
    return ended_;
  }

  DWORD Wait(WaitDeadline deadline) override {
    DWORD code;
    for (int pause = 1;; pause = std::min(pause * 2, 50)) {
      if (Ended(code)) return WAIT_OBJECT_0;
      int slice = pause;
      if (deadline) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return WAIT_TIMEOUT;
        slice = static_cast<int>(std::min<int64_t>(left.count(), pidFd_ >= 0 ? 1000 : pause));
      } else if (pidFd_ >= 0) {
        slice = 1000;
      }
      if (pidFd_ >= 0) {
        pollfd p{pidFd_, POLLIN, 0};
        ::poll(&p, 1, slice);
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(slice));
      }
    }
  }

private:
  pid_t pid_;
  int pidFd_;
  std::mutex lock_;
  bool ended_ = false;
  DWORD exitCode_ = STILL_ACTIVE;
};

// A batch file run by the interpreter on a thread of its own.
class BatchProcess : public ProcessObject {
public:
  struct State {
    std::mutex lock;
    std::condition_variable finished;
    bool ended = false;
    DWORD exitCode = STILL_ACTIVE;
  };

  BatchProcess(const std::string& fileName, const BatchOptions& options) : state_(std::make_shared<State>()) {
    std::thread([state = state_, fileName, options] {
      int code = RunBatchFile(fileName, options);
      std::lock_guard guard(state->lock);
      state->ended = true;
      state->exitCode = static_cast<DWORD>(code < 0 ? 1 : code);
      state->finished.notify_all();
    }).detach();
  }

  bool Ended(DWORD& exitCode) override {
    std::lock_guard guard(state_->lock);
    exitCode = state_->exitCode;
    return state_->ended;
  }

  DWORD Wait(WaitDeadline deadline) override {
    std::unique_lock guard(state_->lock);
    auto ended = [this] { return state_->ended; };
    if (!deadline) {
      state_->finished.wait(guard, ended);
      return WAIT_OBJECT_0;
    }
    return state_->finished.wait_until(guard, *deadline, ended) ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
  }

private:
  std::shared_ptr<State> state_;
};
}  // namespace

// ---- CreateProcessA and friends ---------------------------------------------

BOOL CreateProcessA(const char* applicationName, const char* commandLine, const SECURITY_ATTRIBUTES*,
                    const SECURITY_ATTRIBUTES*, BOOL, DWORD creationFlags, const void*, const char* currentDirectory,
                    const STARTUPINFOA*, PROCESS_INFORMATION* info) {
  auto argv = SplitCommandLine(commandLine ? commandLine : "");
  if (applicationName && *applicationName) {
    if (argv.empty()) argv.emplace_back();
    argv[0] = applicationName;
  }
  if (argv.empty() || argv[0].empty()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  bool newGroup = (creationFlags & CREATE_NEW_PROCESS_GROUP) != 0;
  std::string folder = currentDirectory ? currentDirectory : "";

  std::shared_ptr<ProcessObject> process;
  DWORD processId = 0;
  if (IsBatchFileName(argv[0])) {
    if (::access(argv[0].c_str(), R_OK) != 0) return SetLastErrorFromErrno(errno);
    process = std::make_shared<BatchProcess>(argv[0], BatchOptions{1, newGroup, folder});
  } else {
    pid_t pid = SpawnProgram(argv, {newGroup, -1, folder});
    if (pid < 0) return SetLastErrorFromErrno(errno);
    process = std::make_shared<ChildProcess>(pid);
    processId = static_cast<DWORD>(pid);
  }
  PROCESS_INFORMATION result;
  result.hProcess = AddKernelHandle(process);
  result.hThread = AddKernelHandle(process);
  result.dwProcessId = processId;
  if (info) {
    *info = result;
  } else {
    CloseHandle(result.hProcess);
    CloseHandle(result.hThread);
  }
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

BOOL GetExitCodeProcess(HANDLE handle, DWORD* exitCode) {
  auto process = FindKernelObjectAs<ProcessObject>(handle);
  if (!process) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  DWORD code = STILL_ACTIVE;
  process->Ended(code);
  if (exitCode) *exitCode = code;
  return TRUE;
}

UINT WinExec(const char* commandLine, UINT) {
  PROCESS_INFORMATION info;
  if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &info)) {
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? error : 0;
  }
  CloseHandle(info.hProcess);
  CloseHandle(info.hThread);
  return 33;
}
