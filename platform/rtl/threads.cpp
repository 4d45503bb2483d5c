#include "platform/rtl/threads.h"

#include <time.h>
#include <unistd.h>

#include <chrono>
#include <deque>
#include <memory>

#include "platform/rtl/clock.h"
#include "platform/rtl/exceptions.h"

// Sections: clock and sleeping | thread ids | calls on the main thread |
//           TThread | TEvent

// ---- clock and sleeping -----------------------------------------------------------

uint64_t GetTickCount64() { return ClockNanoseconds() / 1000000u; }

uint32_t GetTickCount() { return static_cast<uint32_t>(GetTickCount64()); }

void Sleep(uint32_t milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

// ---- thread ids -------------------------------------------------------------------------

uint32_t CurrentThreadID() { return static_cast<uint32_t>(gettid()); }

namespace {
// Static initialisation runs on the thread that starts the program.
const uint32_t mainThreadId = CurrentThreadID();
}  // namespace

uint32_t MainThreadID() { return mainThreadId; }

bool IsMainThread() { return CurrentThreadID() == mainThreadId; }

// ---- calls on the main thread ---------------------------------------------------------

namespace {

struct SyncCall {
  std::function<void()> Method;
  bool Waited = false;  // Synchronize: the caller waits for Done
  bool Done = false;
  std::exception_ptr Error;
};

// One lock guards the queue, the hook and the end of every thread, so the
// main thread can wait for "a call queued or a thread ended" on one condition.
struct SyncState {
  std::mutex Lock;
  std::condition_variable Changed;
  std::deque<std::shared_ptr<SyncCall>> Calls;
  std::function<void()> Wake;
  std::recursive_mutex Fallback;  // serialises direct calls without a hook
};

SyncState& Sync() {
  static SyncState state;
  return state;
}

// Queues the call and wakes the main thread; false when there is no hook.
bool Enqueue(const std::shared_ptr<SyncCall>& call) {
  SyncState& s = Sync();
  std::function<void()> wake;
  {
    std::lock_guard<std::mutex> guard(s.Lock);
    if (!s.Wake) return false;
    s.Calls.push_back(call);
    wake = s.Wake;
  }
  s.Changed.notify_all();
  wake();
  return true;
}

void RunDirectly(const std::function<void()>& method) {
  std::lock_guard<std::recursive_mutex> guard(Sync().Fallback);
  method();
}

}  // namespace

void SetWakeMainThread(std::function<void()> hook) {
  std::lock_guard<std::mutex> guard(Sync().Lock);
  Sync().Wake = std::move(hook);
}

bool CheckSynchronize(uint32_t timeoutMs) {
  if (!IsMainThread()) throw EThread("CheckSynchronize called from a thread other than the main thread");
  SyncState& s = Sync();
  bool ran = false;
  std::unique_lock<std::mutex> lock(s.Lock);
  if (s.Calls.empty() && timeoutMs > 0)
    s.Changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return !s.Calls.empty(); });
  while (!s.Calls.empty()) {
    std::shared_ptr<SyncCall> call = s.Calls.front();
    s.Calls.pop_front();
    lock.unlock();
    ran = true;
    if (!call->Waited) {
      call->Method();  // an exception goes to the main thread's caller
    } else {
      try {
        call->Method();
      } catch (...) {
        call->Error = std::current_exception();
      }
      {
        std::lock_guard<std::mutex> guard(s.Lock);
        call->Done = true;
      }
      s.Changed.notify_all();
    }
    lock.lock();
  }
  return ran;
}

void TThread::Synchronize(TThread*, std::function<void()> method) {
  if (IsMainThread()) {
    method();
    return;
  }
  auto call = std::make_shared<SyncCall>();
  call->Method = std::move(method);
  call->Waited = true;
  if (!Enqueue(call)) {
    RunDirectly(call->Method);
    return;
  }
  SyncState& s = Sync();
  std::unique_lock<std::mutex> lock(s.Lock);
  s.Changed.wait(lock, [&] { return call->Done; });
  lock.unlock();
  if (call->Error) std::rethrow_exception(call->Error);
}

void TThread::Queue(TThread*, std::function<void()> method) {
  if (IsMainThread()) {
    method();
    return;
  }
  auto call = std::make_shared<SyncCall>();
  call->Method = std::move(method);
  if (!Enqueue(call)) RunDirectly(call->Method);
}

// ---- TThread ---------------------------------------------------------------------------

TThread::~TThread() {
  if (!thread_.joinable()) return;
  if (threadId_.load() == CurrentThreadID()) {
    thread_.detach();  // FreeOnTerminate: the thread deletes its own object
    return;
  }
  Terminate();
  Join();  // a queued call's exception has nobody to go to here
}

void TThread::Start() {
  if (started_) throw EThread("Cannot call Start on a running or terminated thread");
  started_ = true;
  // Run waits at the gate until thread_ is stored: a quick thread that frees
  // itself must not be deleted while this assignment is still under way.
  std::lock_guard<std::mutex> gate(startGate_);
  thread_ = std::thread([this] { Run(); });
}

void TThread::Run() {
  { std::lock_guard<std::mutex> gate(startGate_); }
  threadId_.store(CurrentThreadID());
  try {
    Execute();
  } catch (...) {
    fatal_ = std::current_exception();
  }
  if (OnTerminate) {
    try {
      Synchronize([this] { OnTerminate(this); });
    } catch (...) {
      if (!fatal_) fatal_ = std::current_exception();
    }
  }
  const bool freeSelf = FreeOnTerminate;
  SyncState& s = Sync();
  {
    std::lock_guard<std::mutex> guard(s.Lock);
    finished_.store(true);
  }
  s.Changed.notify_all();
  // After the notification a waiter may delete the object: touch nothing more
  // unless the object is ours to free.
  if (freeSelf) delete this;
}

std::exception_ptr TThread::Join() {
  // On the main thread a worker may be blocked in Synchronize: keep running
  // the queued calls until the worker has finished. The first exception of
  // a queued call is handed back once the thread has ended.
  std::exception_ptr error;
  if (IsMainThread()) {
    SyncState& s = Sync();
    std::unique_lock<std::mutex> lock(s.Lock);
    while (!finished_.load()) {
      if (!s.Calls.empty()) {
        lock.unlock();
        try {
          CheckSynchronize();
        } catch (...) {
          if (!error) error = std::current_exception();
        }
        lock.lock();
        continue;
      }
      s.Changed.wait(lock);
    }
  }
  std::lock_guard<std::mutex> guard(joinLock_);  // several threads may wait at once
  if (thread_.joinable()) thread_.join();
  return error;
}

int32_t TThread::WaitFor() {
  if (!started_) throw EThread("Cannot wait for a thread that was not started");
  if (FreeOnTerminate) throw EThread("Cannot wait for a thread that frees itself");
  if (threadId_.load() == CurrentThreadID()) throw EThread("A thread cannot wait for itself");
  if (std::exception_ptr error = Join()) std::rethrow_exception(error);
  return returnValue_;
}

// ---- TEvent -------------------------------------------------------------------------------

void TEvent::SetEvent() {
  {
    std::lock_guard<std::mutex> guard(mutex_);
    signaled_ = true;
  }
  if (manualReset_) changed_.notify_all();
  else changed_.notify_one();
}

void TEvent::ResetEvent() {
  std::lock_guard<std::mutex> guard(mutex_);
  signaled_ = false;
}

TWaitResult TEvent::WaitFor(uint32_t timeoutMs) {
  std::unique_lock<std::mutex> lock(mutex_);
  const auto isSet = [this] { return signaled_; };
  if (timeoutMs == 0xFFFFFFFF) {
    changed_.wait(lock, isSet);
  } else if (!changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), isSet)) {
    return wrTimeout;
  }
  if (!manualReset_) signaled_ = false;
  return wrSignaled;
}
