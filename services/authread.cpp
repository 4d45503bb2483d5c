// The auto-upgrader's worker thread.
//
// Sections: the thread window - the thread object - the component.
#include "services/authread.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <utility>

#include "platform/forms/forms.h"
#include "platform/forms/properties.h"
#include "platform/win/kernel.h"
#include "platform/win/user_messages.h"
#include "platform/win/user_windows.h"

// --- The thread window ------------------------------------------------------------

namespace {

constexpr const char* kThreadWindowClass = "TauThreadWindow";
std::mutex threadWindowLock;
int threadWindowUsers = 0;
HWND threadWindow = nullptr;

}  // namespace

LRESULT ThreadWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_SYNCHRONIZE) return DefWindowProc(window, message, wParam, lParam);
  auto* thread = reinterpret_cast<TauEventThread*>(lParam);
  if (thread->abandoned_ || thread->ownerDestroying()) return 0;
  thread->syncException_ = nullptr;
  try {
    thread->syncMethod_();
  } catch (...) {
    thread->syncException_ = std::current_exception();
  }
  return 0;
}

namespace {

void acquireThreadWindow() {
  std::lock_guard<std::mutex> guard(threadWindowLock);
  if (threadWindowUsers++ > 0) return;
  WNDCLASS wc;
  wc.lpfnWndProc = &ThreadWindowProc;
  wc.lpszClassName = kThreadWindowClass;
  RegisterClass(&wc);
  threadWindow = CreateWindowEx(0, kThreadWindowClass, "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
}

void releaseThreadWindow() {
  std::lock_guard<std::mutex> guard(threadWindowLock);
  if (--threadWindowUsers > 0) return;
  if (threadWindow) DestroyWindow(threadWindow);
  threadWindow = nullptr;
  UnregisterClass(kThreadWindowClass, nullptr);
}

// Nice values of the priorities, lowest first.
constexpr std::array<int, 7> kNice = {19, 10, 5, 0, -5, -10, -20};

}  // namespace

// --- The thread object -----------------------------------------------------------

TauEventThread::TauEventThread(TauCustomThread* owner) : owner_(owner) {
  acquireThreadWindow();
  endEvent_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  thread_ = std::thread([this] { threadProc(); });
}

TauEventThread::~TauEventThread() {
  terminated_ = true;
  Resume();  // a held thread starts, sees the stop and ends without working
  WaitFor();
  thread_.join();
  CloseHandle(endEvent_);
  releaseThreadWindow();
}

bool TauEventThread::ownerDestroying() const {
  return owner_->ComponentState().Contains(csDestroying) ||
         (owner_->Owner() && owner_->Owner()->ComponentState().Contains(csDestroying));
}

void TauEventThread::threadProc() {
  {
    std::unique_lock<std::mutex> lock(gateLock_);
    gate_.wait(lock, [this] { return gateOpen_; });
  }
  tid_ = static_cast<int>(syscall(SYS_gettid));
  applyPriority();
  if (!terminated_) {
    running_ = true;
    work();
    if (OnTerminate && !abandoned_) Synchronize([this] { terminateOnGui(); });
    running_ = false;
  }
  ended_ = true;
  SetEvent(endEvent_);
}

void TauEventThread::work() {
  if (!OnExecute || ownerDestroying()) return;
  try {
    OnExecute(owner_);
  } catch (...) {
    if (owner_->HandleExceptions && OnException && !abandoned_) Synchronize([this] { fireOnException(); });
  }
}

void TauEventThread::terminateOnGui() {
  if (!OnTerminate || ownerDestroying()) return;
  if (!owner_->HandleExceptions) {
    OnTerminate(owner_);
    return;
  }
  try {
    OnTerminate(owner_);
  } catch (...) {
    fireOnException();
  }
}

void TauEventThread::fireOnException() {
  if (OnException && !ownerDestroying()) OnException(owner_);
}

void TauEventThread::Synchronize(const std::function<void()>& method) {
  if (abandoned_) return;
  syncException_ = nullptr;
  syncMethod_ = method;
  SendMessage(threadWindow, WM_SYNCHRONIZE, 0, reinterpret_cast<LPARAM>(this));
  std::exception_ptr raised = std::exchange(syncException_, nullptr);
  if (raised && !owner_->HandleExceptions) std::rethrow_exception(raised);
}

uint32_t TauEventThread::WaitFor() {
  if (std::this_thread::get_id() == thread_.get_id()) return 0;
  if (GetCurrentThreadId() == GetGuiThreadId()) {
    while (!ended_) {
      MsgWaitForMultipleObjects(1, &endEvent_, FALSE, INFINITE, QS_SENDMESSAGE);
      MSG msg;
      PeekMessage(&msg, nullptr, 0, 0, PM_NOREMOVE);  // delivers the worker's pending send
    }
  } else {
    WaitForSingleObject(endEvent_, INFINITE);
  }
  return 0;
}

void TauEventThread::Resume() {
  {
    std::lock_guard<std::mutex> guard(gateLock_);
    gateOpen_ = true;
  }
  started_ = true;
  gate_.notify_all();
}

void TauEventThread::Suspend() {}  // a thread that has not started stays held; a started one runs on

void TauEventThread::SetSuspended(bool value) {
  if (!value) Resume();
}

void TauEventThread::applyPriority() {
  if (tid_ != 0) setpriority(PRIO_PROCESS, static_cast<id_t>(tid_.load()), nice_);
}

TThreadPriority TauEventThread::GetPriority() const {
  int nice = nice_;
  if (tid_ != 0 && !ended_) {
    errno = 0;
    int actual = getpriority(PRIO_PROCESS, static_cast<id_t>(tid_.load()));
    if (errno == 0) nice = actual;
  }
  for (size_t i = 0; i < kNice.size(); ++i)
    if (kNice[i] == nice) return static_cast<TThreadPriority>(i);
  return tpNormal;
}

void TauEventThread::SetPriority(TThreadPriority priority) {
  nice_ = kNice[static_cast<size_t>(priority)];
  applyPriority();
}

std::unique_ptr<TauEventThread> TauEventThread::Clone() const {
  auto clone = std::make_unique<TauEventThread>(owner_);
  clone->nice_ = nice_.load();
  clone->OnExecute = OnExecute;
  clone->OnException = OnException;
  clone->OnTerminate = OnTerminate;
  return clone;
}

void TauEventThread::Abandon() {
  abandoned_ = true;
  terminated_ = true;
}

// --- The component ------------------------------------------------------------------

const TClassInfo& TauCustomThread::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<TauCustomThread>("TauCustomThread", &TComponent::StaticClassInfo(), [](auto&) {});
  return info;
}

TauCustomThread::TauCustomThread(TComponent* owner)
    : TComponent(owner), thread_(std::make_unique<TauEventThread>(this)) {}

TauCustomThread::~TauCustomThread() {
  Destroying();
  if (thread_->Running()) thread_->Abandon();
  thread_.reset();
  abandoned_.clear();  // each joins its worker, which ends at its next check
}

void TauCustomThread::Loaded() {
  TComponent::Loaded();
  SetSuspended(storedSuspended_);
}

bool TauCustomThread::Suspended() const { return thread_->Suspended(); }

void TauCustomThread::SetSuspended(bool value) {
  storedSuspended_ = value;
  if (!ComponentState().Contains(csLoading)) thread_->SetSuspended(value);
}

void TauCustomThread::joinEnded() {
  std::erase_if(abandoned_, [](const std::unique_ptr<TauEventThread>& t) { return !t->Running(); });
}

void TauCustomThread::recycle() {
  std::unique_ptr<TauEventThread> fresh = thread_->Clone();
  if (thread_->Running()) {
    thread_->Abandon();
    abandoned_.push_back(std::move(thread_));
  }
  thread_ = std::move(fresh);
  joinEnded();
}

void TauCustomThread::Terminate(bool immediately) {
  if (!thread_) return;
  if (immediately) {
    recycle();
  } else {
    thread_->Terminate();
  }
}

void TauCustomThread::Synchronize(const std::function<void()>& method) {
  if (Owner() && Owner()->ComponentState().Contains(csDestroying)) return;
  thread_->Synchronize(method);
}

bool TauCustomThread::Execute() {
  Terminate(true);
  TauEventThread* run = thread_.get();
  run->Resume();
  if (!WaitThread) return true;
  HANDLE ended = run->endEvent_;
  for (;;) {
    DWORD waited = MsgWaitForMultipleObjects(1, &ended, FALSE, WaitTimeout > 0 ? DWORD(WaitTimeout) : INFINITE,
                                             QS_ALLINPUT);
    if (waited == WAIT_TIMEOUT) {
      bool terminateThread = true;
      if (OnWaitTimeoutExpired) OnWaitTimeoutExpired(this, terminateThread);
      if (terminateThread) Terminate(true);
      return !terminateThread;
    }
    ProcessPendingMessages();
    if (waited != WAIT_OBJECT_0 + 1 || ComponentState().Contains(csDestroying) ||
        (Application && Application->Terminated()))
      return true;
  }
}
