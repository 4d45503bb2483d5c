// The auto-upgrader's worker thread: a thread object that runs one piece of
// work and calls methods on the GUI thread (a blocking send to a hidden
// window shared by all thread objects), and the component that owns it and
// replaces it by a fresh one for every run.
//
// No thread is ever killed. A thread object is created held at its start
// gate; the gate opens once and never closes again. An immediate stop
// abandons the running worker: it is told to stop, its calls to the GUI
// thread and its OnTerminate are dropped, and the component joins it when
// it is destroyed (or the next run starts after it has ended).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/forms/classes.h"
#include "platform/win/wintypes.h"

enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

// The message that carries a synchronized call to the thread window.
constexpr UINT WM_SYNCHRONIZE = 0x8FFF;

class TauCustomThread;

class TauEventThread {
public:
  // Held at its start gate, with a share of the thread window.
  explicit TauEventThread(TauCustomThread* owner);
  // Stops the work cooperatively and waits for the thread's end.
  ~TauEventThread();
  TauEventThread(const TauEventThread&) = delete;
  TauEventThread& operator=(const TauEventThread&) = delete;

  // Runs method on the GUI thread and returns when it has run; dropped once
  // this object was abandoned or its component is being destroyed.
  void Synchronize(const std::function<void()>& method);
  // Waits for the thread's end, delivering sent messages on the GUI thread;
  // the exit code is always 0.
  uint32_t WaitFor();
  // Opens the start gate (a held thread starts; a started one is unaffected).
  void Resume();
  // Holds a thread that has not started; a started thread is never held.
  void Suspend();
  bool Suspended() const { return !started_; }
  void SetSuspended(bool value);
  void Terminate() { terminated_ = true; }
  bool Terminated() const { return terminated_; }
  bool Running() const { return running_; }
  bool Abandoned() const { return abandoned_; }
  TThreadPriority GetPriority() const;
  void SetPriority(TThreadPriority priority);
  // A held object for the same component with this one's priority and handlers.
  std::unique_ptr<TauEventThread> Clone() const;
  // The immediate stop: Terminate, and drop every later GUI call.
  void Abandon();
  TauCustomThread* Owner() const { return owner_; }

  TNotifyEvent OnExecute, OnException, OnTerminate;

private:
  friend LRESULT ThreadWindowProc(HWND, UINT, WPARAM, LPARAM);
  friend class TauCustomThread;
  void threadProc();
  void work();
  void terminateOnGui();
  void fireOnException();
  void applyPriority();
  bool ownerDestroying() const;

  TauCustomThread* owner_;
  std::thread thread_;
  std::mutex gateLock_;
  std::condition_variable gate_;
  bool gateOpen_ = false;
  std::atomic<bool> started_{false}, terminated_{false}, running_{false}, abandoned_{false}, ended_{false};
  std::atomic<int> nice_{0};
  std::atomic<int> tid_{0};
  HANDLE endEvent_ = nullptr;
  std::function<void()> syncMethod_;
  std::exception_ptr syncException_;
};

class TauCustomThread : public TComponent {
  FORMS_CLASS(TauCustomThread)

public:
  explicit TauCustomThread(TComponent* owner);
  ~TauCustomThread() override;

  void Loaded() override;
  // Starts a run on a fresh thread object (a running worker is abandoned
  // first). With WaitThread it returns when the run has ended, processing
  // messages; false when a quiet wait of WaitTimeout ran out and the worker
  // was stopped.
  bool Execute();
  // Immediately: the worker is abandoned and replaced by a held clone;
  // otherwise it is asked to stop.
  void Terminate(bool immediately);
  // The thread object's Synchronize, skipped while the owner is being destroyed.
  void Synchronize(const std::function<void()>& method);

  bool Suspended() const;
  void SetSuspended(bool value);
  TThreadPriority Priority() const { return thread_->GetPriority(); }
  void SetPriority(TThreadPriority priority) { thread_->SetPriority(priority); }
  bool Running() const { return thread_->Running(); }
  bool Terminated() const { return thread_->Terminated(); }
  TauEventThread* Thread() const { return thread_.get(); }

  void SetOnExecute(TNotifyEvent e) { thread_->OnExecute = std::move(e); }
  void SetOnException(TNotifyEvent e) { thread_->OnException = std::move(e); }
  void SetOnTerminate(TNotifyEvent e) { thread_->OnTerminate = std::move(e); }

  bool HandleExceptions = true;
  bool WaitThread = false;
  int32_t WaitTimeout = 0;  // milliseconds of a quiet wait; 0: none
  std::function<void(TObject* sender, bool& terminateThread)> OnWaitTimeoutExpired;

private:
  // Replaces the thread object by a held clone, keeping a running one to be
  // joined later.
  void recycle();
  void joinEnded();

  bool storedSuspended_ = true;
  std::unique_ptr<TauEventThread> thread_;
  std::vector<std::unique_ptr<TauEventThread>> abandoned_;
};
