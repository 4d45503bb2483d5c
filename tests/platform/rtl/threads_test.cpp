#include "platform/rtl/threads.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/rtl/exceptions.h"

namespace {

// A thread whose work is a function; it waits for itself on destruction.
class WorkThread : public TThread {
public:
  explicit WorkThread(std::function<int32_t(WorkThread&)> work, std::function<void()> onDestroy = {})
      : work_(std::move(work)), onDestroy_(std::move(onDestroy)) {}
  ~WorkThread() override {
    if (Started() && !FreeOnTerminate) {
      Terminate();
      WaitFor();
    }
    if (onDestroy_) onDestroy_();
  }
  using TThread::Queue;
  using TThread::Synchronize;

protected:
  void Execute() override { SetReturnValue(work_(*this)); }

private:
  std::function<int32_t(WorkThread&)> work_;
  std::function<void()> onDestroy_;
};

// Installs a wake hook for one test, as the window layer would.
class WakeHook {
public:
  WakeHook() {
    SetWakeMainThread([this] { ++wakes; });
  }
  ~WakeHook() { SetWakeMainThread(nullptr); }
  std::atomic<int> wakes{0};
};

TEST(Threads, RunOnceAfterStartAndHandBackTheirResult) {
  std::atomic<bool> ran{false};
  uint32_t workerId = 0;
  WorkThread t([&](WorkThread&) {
    ran = true;
    workerId = CurrentThreadID();
    return 42;
  });
  Sleep(20);
  EXPECT_FALSE(ran);  // created suspended
  EXPECT_THROW(t.WaitFor(), EThread);
  t.Start();
  EXPECT_EQ(t.WaitFor(), 42);
  EXPECT_TRUE(t.Finished());
  EXPECT_EQ(t.ThreadID(), workerId);
  EXPECT_NE(workerId, MainThreadID());
  EXPECT_TRUE(IsMainThread());
  EXPECT_EQ(MainThreadID(), CurrentThreadID());
  EXPECT_THROW(t.Start(), EThread);  // a thread object runs once
}

TEST(Threads, SeveralThreadsMayWaitForOne) {
  TEvent go;
  WorkThread target([&](WorkThread&) {
    go.WaitFor(5000);
    return 3;
  });
  target.Start();
  std::atomic<int> sum{0};
  auto waiter = [&](WorkThread&) {
    sum += target.WaitFor();
    return 0;
  };
  WorkThread a(waiter), b(waiter);
  a.Start();
  b.Start();
  Sleep(20);
  go.SetEvent();
  a.WaitFor();
  b.WaitFor();
  EXPECT_EQ(sum, 6);
}

TEST(Threads, TerminateIsACooperativeStop) {
  std::atomic<int> loops{0};
  WorkThread t([&](WorkThread& self) {
    while (!self.Terminated()) {
      ++loops;
      Sleep(1);
    }
    return 7;
  });
  t.Start();
  while (loops < 3) Sleep(1);
  t.Terminate();
  EXPECT_EQ(t.WaitFor(), 7);
}

TEST(Threads, NeverStartedThreadDoesNoWork) {
  bool ran = false;
  { WorkThread t([&](WorkThread&) { ran = true; return 0; }); }
  EXPECT_FALSE(ran);
}

TEST(Threads, FreeOnTerminateDeletesTheObjectAfterOnTerminate) {
  TEvent gone;
  std::vector<std::string> order;
  std::mutex orderLock;
  auto note = [&](const char* what) {
    std::lock_guard<std::mutex> guard(orderLock);
    order.push_back(what);
  };
  auto* t = new WorkThread([&](WorkThread&) { note("execute"); return 0; },
                           [&] { note("destroyed"); gone.SetEvent(); });
  t->FreeOnTerminate = true;
  t->OnTerminate = [&](TThread*) { note("terminate"); };
  EXPECT_THROW(t->WaitFor(), EThread);
  t->Start();
  ASSERT_EQ(gone.WaitFor(5000), wrSignaled);
  EXPECT_EQ(order, (std::vector<std::string>{"execute", "terminate", "destroyed"}));
}

TEST(Threads, AnExceptionInExecuteIsKeptNotLost) {
  WorkThread t([](WorkThread&) -> int32_t { throw EConvertError("bad"); });
  t.Start();
  t.WaitFor();
  ASSERT_TRUE(t.FatalException());
  EXPECT_THROW(std::rethrow_exception(t.FatalException()), EConvertError);
}

TEST(Synchronize, WithoutHookRunsOnTheCallingThreadOneAtATime) {
  std::atomic<int> inside{0};
  std::atomic<bool> overlapped{false};
  std::vector<uint32_t> ranOn;
  auto work = [&](WorkThread& self) {
    for (int i = 0; i < 20; ++i) {
      self.Synchronize([&] {
        if (++inside > 1) overlapped = true;
        ranOn.push_back(CurrentThreadID());
        Sleep(0);
        --inside;
      });
    }
    return 0;
  };
  WorkThread a(work), b(work);
  a.Start();
  b.Start();
  a.WaitFor();
  b.WaitFor();
  EXPECT_FALSE(overlapped);
  EXPECT_EQ(ranOn.size(), 40u);
  EXPECT_NE(ranOn.front(), MainThreadID());

  // On the main thread the call runs at once.
  uint32_t where = 0;
  TThread::Synchronize(nullptr, [&] { where = CurrentThreadID(); });
  EXPECT_EQ(where, MainThreadID());
}

TEST(Synchronize, WithHookRunsOnTheMainThreadAndBlocksTheWorker) {
  WakeHook hook;
  std::atomic<bool> returned{false};
  uint32_t ranOn = 0;
  WorkThread t([&](WorkThread& self) {
    self.Synchronize([&] { ranOn = CurrentThreadID(); });
    returned = true;
    return 0;
  });
  t.Start();
  while (hook.wakes == 0) Sleep(1);
  Sleep(20);
  EXPECT_FALSE(returned);  // still waiting for the main thread
  EXPECT_TRUE(CheckSynchronize(1000));
  t.WaitFor();
  EXPECT_TRUE(returned);
  EXPECT_EQ(ranOn, MainThreadID());
}

TEST(Synchronize, MainThreadWaitForKeepsRunningCallsAndOnTerminate) {
  WakeHook hook;
  std::vector<std::string> onMain;
  WorkThread t([&](WorkThread& self) {
    for (int i = 0; i < 3; ++i)
      self.Synchronize([&, i] { onMain.push_back(IsMainThread() ? "sync" + std::to_string(i) : "wrong"); });
    return 5;
  });
  t.OnTerminate = [&](TThread*) { onMain.push_back(IsMainThread() ? "terminate" : "wrong"); };
  t.Start();
  EXPECT_EQ(t.WaitFor(), 5);  // would dead-lock if WaitFor ignored the queue
  EXPECT_EQ(onMain, (std::vector<std::string>{"sync0", "sync1", "sync2", "terminate"}));
}

// Uses nothing of a derived part, so the base destructor may do the waiting.
class SyncOnceThread : public TThread {
public:
  std::atomic<bool> ran{false};

protected:
  void Execute() override {
    Synchronize([this] { ran = IsMainThread(); });
  }
};

TEST(Synchronize, DeletingAThreadOnTheMainThreadLetsItsCallRun) {
  WakeHook hook;
  auto* t = new SyncOnceThread;
  t->Start();
  while (hook.wakes == 0) Sleep(1);
  std::atomic<bool>* ran = &t->ran;
  EXPECT_FALSE(*ran);
  delete t;  // would dead-lock if the destructor only joined
}

TEST(Synchronize, ExceptionOfTheMethodIsRaisedInTheWorker) {
  WakeHook hook;
  std::string caught;
  WorkThread t([&](WorkThread& self) {
    try {
      self.Synchronize([] { throw EConvertError("from main"); });
    } catch (const EConvertError& e) {
      caught = e.Message();
    }
    return 0;
  });
  t.Start();
  t.WaitFor();
  EXPECT_EQ(caught, "from main");
  EXPECT_FALSE(t.FatalException());
}

TEST(Queue, DoesNotWaitAndRunsInOrderOnTheMainThread) {
  WakeHook hook;
  std::vector<int> ran;
  WorkThread t([&](WorkThread& self) {
    for (int i = 0; i < 5; ++i) self.Queue([&, i] { ran.push_back(IsMainThread() ? i : -1); });
    return 0;
  });
  t.Start();
  t.WaitFor();
  // WaitFor may already have run some; the rest wait for the message loop.
  while (CheckSynchronize()) {
  }
  EXPECT_EQ(ran, (std::vector<int>{0, 1, 2, 3, 4}));
  EXPECT_EQ(hook.wakes, 5);

  // An exception of a queued call reaches the main thread's loop; later calls stay queued.
  WorkThread u([&](WorkThread& self) {
    self.Queue([] { throw EConvertError("queued"); });
    self.Queue([&] { ran.push_back(99); });
    return 0;
  });
  u.Start();
  while (u.Finished() == false) Sleep(1);
  EXPECT_THROW(CheckSynchronize(), EConvertError);
  EXPECT_TRUE(CheckSynchronize());
  EXPECT_EQ(ran.back(), 99);
}

TEST(Synchronize, CheckSynchronizeBelongsToTheMainThread) {
  WorkThread t([](WorkThread&) { CheckSynchronize(); return 0; });
  t.Start();
  t.WaitFor();
  EXPECT_THROW(std::rethrow_exception(t.FatalException()), EThread);
  EXPECT_FALSE(CheckSynchronize(10));  // nothing queued: times out
}

TEST(CriticalSection, IsReentrantAndExcludesOtherThreads) {
  TCriticalSection cs;
  cs.Enter();
  cs.Enter();  // the holder may enter again
  std::atomic<int> tried{-1};
  WorkThread probe([&](WorkThread&) {
    const bool got = cs.TryEnter();
    if (got) cs.Leave();
    tried = got ? 1 : 0;
    return 0;
  });
  probe.Start();
  probe.WaitFor();
  EXPECT_EQ(tried, 0);
  cs.Leave();
  cs.Leave();

  int counter = 0;
  auto add = [&](WorkThread&) {
    for (int i = 0; i < 10000; ++i) {
      cs.Acquire();
      ++counter;
      cs.Release();
    }
    return 0;
  };
  WorkThread a(add), b(add), c(add);
  a.Start();
  b.Start();
  c.Start();
  a.WaitFor();
  b.WaitFor();
  c.WaitFor();
  EXPECT_EQ(counter, 30000);
}

TEST(Event, ManualAndAutoResetAndTimeout) {
  TEvent manual(true, false);
  EXPECT_EQ(manual.WaitFor(0), wrTimeout);
  manual.SetEvent();
  EXPECT_EQ(manual.WaitFor(0), wrSignaled);
  EXPECT_EQ(manual.WaitFor(0), wrSignaled);  // stays set
  manual.ResetEvent();
  const uint64_t start = GetTickCount64();
  EXPECT_EQ(manual.WaitFor(50), wrTimeout);
  EXPECT_GE(GetTickCount64() - start, 45u);

  TEvent automatic(false, true);
  EXPECT_EQ(automatic.WaitFor(0), wrSignaled);
  EXPECT_EQ(automatic.WaitFor(0), wrTimeout);  // reset itself

  // Each set of an auto-reset event releases exactly one of two waiters.
  std::atomic<int> released{0};
  auto waiter = [&](WorkThread&) {
    if (automatic.WaitFor(2000) == wrSignaled) ++released;
    return 0;
  };
  WorkThread a(waiter), b(waiter);
  a.Start();
  b.Start();
  Sleep(20);
  automatic.SetEvent();
  for (int i = 0; i < 2000 && released == 0; ++i) Sleep(1);
  Sleep(50);
  EXPECT_EQ(released, 1);  // the other one still waits
  automatic.SetEvent();
  a.WaitFor();
  b.WaitFor();
  EXPECT_EQ(released, 2);
}

TEST(Clock, TickCountIsMonotonicMillisecondsAndSleepWaits) {
  const uint64_t t0 = GetTickCount64();
  const uint32_t t32 = GetTickCount();
  EXPECT_LE(static_cast<uint32_t>(t32 - static_cast<uint32_t>(t0)), 5u);  // the low 32 bits
  Sleep(30);
  const uint64_t elapsed = GetTickCount64() - t0;
  EXPECT_GE(elapsed, 30u);
  EXPECT_LT(elapsed, 2000u);
}

}  // namespace
