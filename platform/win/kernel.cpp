// Sections: last error | handle table | mutexes | events | ids | kernel32.dll
#include "platform/rtl/encoding.h"
#include "platform/win/kernel.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <map>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/rtl/dynlib.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/threads.h"
#include "platform/win/kernel_files.h"
#include "platform/win/kernel_handles.h"
#include "platform/win/locale.h"
#include "platform/win/sysinfo.h"
#include "platform/win/user_messages.h"

// ---- last error -------------------------------------------------------------

namespace {
thread_local DWORD lastError = ERROR_SUCCESS;

struct ErrnoMapping {
  int err;
  DWORD code;
};
constexpr ErrnoMapping errnoMappings[] = {
    {0, ERROR_SUCCESS},
    {ENOENT, ERROR_FILE_NOT_FOUND},
    {ENOTDIR, ERROR_PATH_NOT_FOUND},
    {EMFILE, ERROR_TOO_MANY_OPEN_FILES},
    {ENFILE, ERROR_TOO_MANY_OPEN_FILES},
    {EACCES, ERROR_ACCESS_DENIED},
    {EPERM, ERROR_ACCESS_DENIED},
    {EISDIR, ERROR_ACCESS_DENIED},
    {EBADF, ERROR_INVALID_HANDLE},
    {ENOMEM, ERROR_NOT_ENOUGH_MEMORY},
    {EXDEV, ERROR_NOT_SAME_DEVICE},
    {EROFS, ERROR_WRITE_PROTECT},
    {EBUSY, ERROR_SHARING_VIOLATION},
    {ETXTBSY, ERROR_SHARING_VIOLATION},
    {ENOTSUP, ERROR_NOT_SUPPORTED},
    {EEXIST, ERROR_ALREADY_EXISTS},
    {EINVAL, ERROR_INVALID_PARAMETER},
    {ENOSPC, ERROR_DISK_FULL},
    {EDQUOT, ERROR_DISK_FULL},
    {ENOSYS, ERROR_CALL_NOT_IMPLEMENTED},
    {ERANGE, ERROR_INSUFFICIENT_BUFFER},
    {ENAMETOOLONG, ERROR_FILENAME_EXCED_RANGE},
    {ENOTEMPTY, ERROR_DIR_NOT_EMPTY},
    {ENOEXEC, ERROR_BAD_EXE_FORMAT},
    {ETIMEDOUT, ERROR_TIMEOUT},
};
}  // namespace

DWORD GetLastError() { return lastError; }
void SetLastError(DWORD code) { lastError = code; }

DWORD ErrorFromErrno(int err) {
  for (const auto& m : errnoMappings) {
    if (m.err == err) return m.code;
  }
  return ERROR_ACCESS_DENIED;
}

BOOL SetLastErrorFromErrno(int err) {
  SetLastError(ErrorFromErrno(err));
  return FALSE;
}

DWORD FormatMessageA(DWORD flags, const void*, DWORD messageId, DWORD, std::string& text) {
  text.clear();
  if (flags & FORMAT_MESSAGE_FROM_SYSTEM) {
    for (const auto& m : errnoMappings) {
      if (m.code == messageId && m.err != 0) {
        text = SysErrorMessage(m.err) + ".";
        break;
      }
    }
  }
  if (text.empty()) SetLastError(ERROR_INVALID_PARAMETER);
  return static_cast<DWORD>(text.size());
}

namespace {
std::atomic<UINT> errorMode{0};
}  // namespace

UINT SetErrorMode(UINT mode) { return errorMode.exchange(mode); }

// ---- handle table -----------------------------------------------------------

namespace {
struct HandleTable {
  std::mutex lock;
  std::unordered_map<uintptr_t, std::shared_ptr<KernelObject>> objects;
  uintptr_t next = 0x1000;
};

HandleTable& Handles() {
  static HandleTable table;
  return table;
}
}  // namespace

WaitDeadline DeadlineAfter(DWORD milliseconds) {
  if (milliseconds == INFINITE) return std::nullopt;
  return std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
}

HANDLE AddKernelHandle(std::shared_ptr<KernelObject> object) {
  auto& table = Handles();
  std::lock_guard guard(table.lock);
  uintptr_t value = table.next;
  table.next += 4;
  table.objects.emplace(value, std::move(object));
  return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> FindKernelObject(HANDLE handle) {
  auto& table = Handles();
  std::lock_guard guard(table.lock);
  auto it = table.objects.find(reinterpret_cast<uintptr_t>(handle));
  return it == table.objects.end() ? nullptr : it->second;
}

BOOL CloseHandle(HANDLE handle) {
  std::shared_ptr<KernelObject> object;  // released outside the table's lock
  {
    auto& table = Handles();
    std::lock_guard guard(table.lock);
    auto it = table.objects.find(reinterpret_cast<uintptr_t>(handle));
    if (it == table.objects.end()) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
    object = std::move(it->second);
    table.objects.erase(it);
  }
  return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  auto object = FindKernelObject(handle);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  return object->Wait(DeadlineAfter(milliseconds));
}

bool TakeIfSignalled(HANDLE handle) {
  auto object = FindKernelObject(handle);
  if (!object) return false;
  DWORD result = object->Wait(std::chrono::steady_clock::now());
  return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

namespace {
const bool messageWaitsSeeHandles = [] {
  SetHandleSignalProbe(TakeIfSignalled);
  return true;
}();
}  // namespace

// ---- mutexes ----------------------------------------------------------------
//
// Ownership inside the process is a recursive lock with an owning thread. A
// named mutex also holds a shared lock on "<name>.lock" in the runtime folder
// while it is open (whoever finds that file locked knows the mutex exists), and
// its owner holds an exclusive lock on "<name>.own" (so threads of other
// processes wait for it).

namespace {
class MutexObject;

// The mutexes the current thread owns; those still owned when it ends are abandoned.
struct OwnedMutexes {
  std::vector<std::weak_ptr<MutexObject>> list;
  ~OwnedMutexes();
};
thread_local OwnedMutexes ownedMutexes;

class MutexObject : public KernelObject, public std::enable_shared_from_this<MutexObject> {
public:
  MutexObject(std::string name, int existFd, int ownerFd) : name_(std::move(name)), existFd_(existFd), ownerFd_(ownerFd) {}
  ~MutexObject() override;

  const std::string& Name() const { return name_; }
  DWORD Wait(WaitDeadline deadline) override;
  bool Release();
  void Abandon(std::thread::id thread);

private:
  bool TakeOwnerLock(WaitDeadline deadline);
  void Unown();

  std::string name_;
  int existFd_;
  int ownerFd_;
  std::mutex lock_;
  std::condition_variable freed_;
  std::thread::id owner_;
  int count_ = 0;
  bool acquiring_ = false;
  bool abandoned_ = false;
};

OwnedMutexes::~OwnedMutexes() {
  auto self = std::this_thread::get_id();
  for (auto& weak : list) {
    if (auto mutex = weak.lock()) mutex->Abandon(self);
  }
}

MutexObject::~MutexObject() {
  if (ownerFd_ >= 0) ::close(ownerFd_);
  if (existFd_ >= 0) ::close(existFd_);
}

bool MutexObject::TakeOwnerLock(WaitDeadline deadline) {
  if (ownerFd_ < 0) return true;
  for (auto pause = std::chrono::milliseconds(1);; pause = std::min(pause * 2, std::chrono::milliseconds(20))) {
    if (::flock(ownerFd_, LOCK_EX | LOCK_NB) == 0) return true;
    if (errno != EWOULDBLOCK && errno != EINTR) return false;
    if (deadline && std::chrono::steady_clock::now() >= *deadline) return false;
    std::this_thread::sleep_for(pause);
  }
}

DWORD MutexObject::Wait(WaitDeadline deadline) {
  auto self = std::this_thread::get_id();
  std::unique_lock guard(lock_);
  if (count_ > 0 && owner_ == self) {
    ++count_;
    return WAIT_OBJECT_0;
  }
  // One thread at a time takes the other processes' lock, without holding ours.
  auto isFree = [this] { return count_ == 0 && !acquiring_; };
  if (deadline) {
    if (!freed_.wait_until(guard, *deadline, isFree)) return WAIT_TIMEOUT;
  } else {
    freed_.wait(guard, isFree);
  }
  acquiring_ = true;
  guard.unlock();
  bool taken = TakeOwnerLock(deadline);
  guard.lock();
  acquiring_ = false;
  if (!taken) {
    freed_.notify_all();
    return WAIT_TIMEOUT;
  }
  owner_ = self;
  count_ = 1;
  ownedMutexes.list.push_back(weak_from_this());
  if (abandoned_) {
    abandoned_ = false;
    return WAIT_ABANDONED;
  }
  return WAIT_OBJECT_0;
}

void MutexObject::Unown() {
  owner_ = {};
  count_ = 0;
  if (ownerFd_ >= 0) ::flock(ownerFd_, LOCK_UN);
  freed_.notify_all();
}

bool MutexObject::Release() {
  std::lock_guard guard(lock_);
  if (count_ == 0 || owner_ != std::this_thread::get_id()) return false;
  if (--count_ == 0) {
    auto& list = ownedMutexes.list;
    auto it = std::find_if(list.begin(), list.end(), [this](const auto& w) { return w.lock().get() == this; });
    if (it != list.end()) list.erase(it);
    Unown();
  }
  return true;
}

void MutexObject::Abandon(std::thread::id thread) {
  std::lock_guard guard(lock_);
  if (count_ == 0 || owner_ != thread) return;
  abandoned_ = true;
  Unown();
}

// Named mutexes open in this process, so that a second creation finds the first.
struct MutexNames {
  std::mutex lock;
  std::map<std::string, std::weak_ptr<MutexObject>> byName;
};
MutexNames& NamedMutexes() {
  static MutexNames names;
  return names;
}

// A file name for a mutex name: characters other than letters, digits, "-", "_"
// and "." are written as %XX.
std::string EncodeMutexName(const std::string& name) {
  return PercentEncode(name, [](unsigned char c) { return std::isalnum(c) || c == '-' || c == '_' || c == '.'; });
}

std::string MutexFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && *runtime && ::access(runtime, W_OK | X_OK) == 0) {
    std::string folder = runtime;
    if (folder.back() != '/') folder += '/';
    return folder;
  }
  return GetTempPathA();
}

int OpenLockFile(const std::string& path) {
  return ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
}

// Opens the named mutex's lock files; sets `existed` when another process has it open.
std::shared_ptr<MutexObject> OpenNamedMutex(const std::string& name, bool& existed) {
  std::string base = MutexFolder() + "vesk-mutex-" + EncodeMutexName(name);
  int existFd = OpenLockFile(base + ".lock");
  if (existFd < 0) return nullptr;
  int ownerFd = OpenLockFile(base + ".own");
  if (ownerFd < 0) {
    int err = errno;
    ::close(existFd);
    errno = err;
    return nullptr;
  }
  existed = ::flock(existFd, LOCK_EX | LOCK_NB) != 0;
  ::flock(existFd, LOCK_SH);  // held while the mutex is open here
  return std::make_shared<MutexObject>(name, existFd, ownerFd);
}
}  // namespace

HANDLE CreateMutexA(const SECURITY_ATTRIBUTES*, BOOL initialOwner, const char* name) {
  std::shared_ptr<MutexObject> mutex;
  bool existed = false;
  if (name && *name) {
    auto& names = NamedMutexes();
    std::lock_guard guard(names.lock);
    mutex = names.byName[name].lock();
    existed = mutex != nullptr;
    if (!mutex) {
      mutex = OpenNamedMutex(name, existed);
      if (!mutex) {
        SetLastErrorFromErrno(errno);
        return nullptr;
      }
      names.byName[name] = mutex;
    }
  } else {
    mutex = std::make_shared<MutexObject>(std::string(), -1, -1);
  }
  // An existing mutex keeps its owner: the flag counts for the creator only.
  if (initialOwner && !existed) mutex->Wait(std::nullopt);
  HANDLE handle = AddKernelHandle(mutex);
  SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return handle;
}

HANDLE OpenMutexA(DWORD, BOOL, const char* name) {
  if (!name || !*name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto& names = NamedMutexes();
  std::unique_lock guard(names.lock);
  auto mutex = names.byName[name].lock();
  if (!mutex) {
    std::string base = MutexFolder() + "vesk-mutex-" + EncodeMutexName(name);
    int probe = ::open((base + ".lock").c_str(), O_RDWR | O_CLOEXEC);
    bool held = probe >= 0 && ::flock(probe, LOCK_EX | LOCK_NB) != 0;
    if (probe >= 0) ::close(probe);
    if (!held) {
      SetLastError(ERROR_FILE_NOT_FOUND);
      return nullptr;
    }
    guard.unlock();
    HANDLE handle = CreateMutexA(nullptr, FALSE, name);
    if (handle) SetLastError(ERROR_SUCCESS);
    return handle;
  }
  SetLastError(ERROR_SUCCESS);
  return AddKernelHandle(mutex);
}

BOOL ReleaseMutex(HANDLE handle) {
  auto mutex = FindKernelObjectAs<MutexObject>(handle);
  if (!mutex) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!mutex->Release()) {
    SetLastError(ERROR_NOT_OWNER);
    return FALSE;
  }
  return TRUE;
}

// ---- events -----------------------------------------------------------------

namespace {
class EventObject : public KernelObject {
public:
  EventObject(bool manualReset, bool signalled) : manualReset_(manualReset), signalled_(signalled) {}

  DWORD Wait(WaitDeadline deadline) override {
    std::unique_lock guard(lock_);
    auto isSet = [this] { return signalled_; };
    if (deadline) {
      if (!changed_.wait_until(guard, *deadline, isSet)) return WAIT_TIMEOUT;
    } else {
      changed_.wait(guard, isSet);
    }
    if (!manualReset_) signalled_ = false;
    return WAIT_OBJECT_0;
  }

  void Set(bool signalled) {
    std::lock_guard guard(lock_);
    signalled_ = signalled;
    if (signalled) changed_.notify_all();
  }

private:
  bool manualReset_;
  bool signalled_;
  std::mutex lock_;
  std::condition_variable changed_;
};

BOOL SetEventState(HANDLE handle, bool signalled) {
  auto event = FindKernelObjectAs<EventObject>(handle);
  if (!event) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  event->Set(signalled);
  return TRUE;
}
}  // namespace

HANDLE CreateEventA(const SECURITY_ATTRIBUTES*, BOOL manualReset, BOOL initialState, const char*) {
  SetLastError(ERROR_SUCCESS);
  return AddKernelHandle(std::make_shared<EventObject>(manualReset != FALSE, initialState != FALSE));
}

BOOL SetEvent(HANDLE event) { return SetEventState(event, true); }
BOOL ResetEvent(HANDLE event) { return SetEventState(event, false); }

// ---- ids --------------------------------------------------------------------

DWORD GetCurrentProcessId() { return static_cast<DWORD>(::getpid()); }
DWORD GetCurrentThreadId() { return CurrentThreadID(); }

// ---- kernel32.dll -----------------------------------------------------------
//
// The functions that callers look up by name in "kernel32.dll" (to learn
// whether the system has them) are its exports here.

namespace {
template <class F>
void* Export(F* function) {
  return reinterpret_cast<void*>(function);
}

const bool kernel32Registered = [] {
  RegisterBuiltinLibrary("kernel32.dll", {
                                             {"GlobalMemoryStatusEx", Export(&GlobalMemoryStatusEx)},
                                             {"GetLogicalProcessorInformation", Export(&GetLogicalProcessorInformation)},
                                             {"GetNativeSystemInfo", Export(&GetNativeSystemInfo)},
                                             {"GetLocaleInfoEx", Export(&GetLocaleInfoEx)},
                                         });
  return true;
}();
}  // namespace
