// Threads and synchronisation.
//
// Sections: clock and sleeping | thread ids and the main thread |
//           calls on the main thread | TThread | TCriticalSection | TEvent
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

// ---- clock and sleeping -----------------------------------------------------------

// Milliseconds of the run-time's clock (clock.h, monotonic); the 32-bit form
// wraps after 49.7 days.
uint32_t GetTickCount();
uint64_t GetTickCount64();
void Sleep(uint32_t milliseconds);

// ---- thread ids and the main thread ---------------------------------------------------

// The system's id of the calling thread (the same numbering as the kernel's).
uint32_t CurrentThreadID();
// The id of the thread that started the program (the GUI thread).
uint32_t MainThreadID();
bool IsMainThread();

// ---- calls on the main thread ---------------------------------------------------------

// Calls that other threads hand to the main thread wait in a queue. The window
// layer installs a wake hook that makes its message loop call CheckSynchronize;
// the hook itself may run on any thread. Without a hook (no window layer, as
// in most tests) a call from another thread runs directly on the calling
// thread, under one process-wide lock so that no two such calls overlap.
void SetWakeMainThread(std::function<void()> hook);
// Runs the queued calls, on the main thread only (EThread elsewhere). Waits
// up to timeoutMs for a first call when none is queued; true when any ran.
// An exception of a Queue'd call is passed on after that call is removed.
bool CheckSynchronize(uint32_t timeoutMs = 0);

// ---- TThread ---------------------------------------------------------------------------

// A thread object whose work is Execute. It starts with Start (or Resume),
// never inside the constructor, so Execute always meets a complete object;
// StartThread creates and starts in one step. A thread object runs once.
//
// The owner deletes a thread that does not free itself, after WaitFor; the
// destructor terminates and waits for a thread still running, but by then
// the derived part is gone, so a derived class that Execute uses must wait
// in its own destructor.
class TThread {
public:
  TThread() = default;
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;
  virtual ~TThread();

  // Starts the thread; EThread when it has been started before.
  void Start();
  void Resume() { Start(); }
  // Asks Execute to stop; Execute polls Terminated.
  void Terminate() { terminated_.store(true); }
  bool Terminated() const { return terminated_.load(); }
  // Waits until the thread has ended and returns ReturnValue. On the main
  // thread the queued calls keep running meanwhile, so a worker blocked in
  // Synchronize can finish (an exception of a queued call that ran then is
  // raised after the wait). EThread for a thread that was never started,
  // that frees itself, or from the thread itself.
  int32_t WaitFor();
  bool Started() const { return started_; }
  bool Finished() const { return finished_.load(); }
  uint32_t ThreadID() const { return threadId_.load(); }
  int32_t ReturnValue() const { return returnValue_; }
  // What escaped Execute or OnTerminate, if anything.
  std::exception_ptr FatalException() const { return fatal_; }

  // Set before Start: the object deletes itself when the thread ends.
  bool FreeOnTerminate = false;
  // Runs on the main thread (through Synchronize) after Execute.
  std::function<void(TThread*)> OnTerminate;

  // Runs the method on the main thread and waits for it; its exception is
  // raised again in the caller. On the main thread it runs at once.
  static void Synchronize(TThread* thread, std::function<void()> method);
  // Hands the method to the main thread without waiting; on the main thread
  // it runs at once.
  static void Queue(TThread* thread, std::function<void()> method);

protected:
  virtual void Execute() = 0;
  void Synchronize(std::function<void()> method) { Synchronize(this, std::move(method)); }
  void Queue(std::function<void()> method) { Queue(this, std::move(method)); }
  void SetReturnValue(int32_t value) { returnValue_ = value; }

private:
  void Run();
  std::exception_ptr Join();

  std::thread thread_;
  std::mutex startGate_;
  std::mutex joinLock_;
  bool started_ = false;
  std::atomic<bool> terminated_{false};
  std::atomic<bool> finished_{false};
  std::atomic<uint32_t> threadId_{0};
  int32_t returnValue_ = 0;
  std::exception_ptr fatal_;
};

// Creates a T and starts it.
template <class T, class... Args>
T* StartThread(Args&&... args) {
  T* thread = new T(std::forward<Args>(args)...);
  thread->Start();
  return thread;
}

// ---- TCriticalSection -------------------------------------------------------------------

// A lock that the holding thread may enter again; each Enter needs a Leave.
class TCriticalSection {
public:
  void Enter() { mutex_.lock(); }
  void Leave() { mutex_.unlock(); }
  bool TryEnter() { return mutex_.try_lock(); }
  void Acquire() { Enter(); }
  void Release() { Leave(); }

private:
  std::recursive_mutex mutex_;
};

// ---- TEvent -------------------------------------------------------------------------------

enum TWaitResult { wrSignaled, wrTimeout, wrAbandoned, wrError, wrIOCompletion };

// A manual-reset event stays set until ResetEvent; an auto-reset event lets
// one waiter through and resets itself.
class TEvent {
public:
  explicit TEvent(bool manualReset = true, bool initialState = false)
      : manualReset_(manualReset), signaled_(initialState) {}
  void SetEvent();
  void ResetEvent();
  // Waits up to timeoutMs (0xFFFFFFFF: no limit).
  TWaitResult WaitFor(uint32_t timeoutMs = 0xFFFFFFFF);

private:
  std::mutex mutex_;
  std::condition_variable changed_;
  const bool manualReset_;
  bool signaled_;
};
