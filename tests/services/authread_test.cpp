#include "services/authread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

#include "platform/win/kernel.h"
#include "platform/win/user_messages.h"

namespace {

// Pumps the GUI queue until `done` holds.
template <typename Done>
void pumpUntil(Done done) {
  while (!done()) {
    ProcessPendingMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

}  // namespace

TEST(AuThread, WaitingRunCallsTheGuiThreadAndEndsWithOnTerminate) {
  TauCustomThread worker(nullptr);
  const DWORD gui = GetGuiThreadId();  // the thread window made this thread the GUI thread
  ASSERT_EQ(gui, GetCurrentThreadId());
  DWORD syncThread = 0, terminateThread = 0, workThread = 0;
  int exceptions = 0;
  worker.SetOnExecute([&](TObject*) {
    workThread = GetCurrentThreadId();
    worker.Synchronize([&] { syncThread = GetCurrentThreadId(); });
    worker.Synchronize([] { throw std::runtime_error("in a handler"); });  // handled: the work goes on
    throw std::runtime_error("in the work");
  });
  worker.SetOnException([&](TObject*) { ++exceptions; });
  worker.SetOnTerminate([&](TObject*) { terminateThread = GetCurrentThreadId(); });
  worker.WaitThread = true;
  EXPECT_TRUE(worker.Execute());
  EXPECT_NE(workThread, gui);
  EXPECT_EQ(syncThread, gui);
  EXPECT_EQ(terminateThread, gui);
  EXPECT_EQ(exceptions, 1);
  EXPECT_FALSE(worker.Running());
  // A second run uses a fresh thread object with the same handlers.
  TauEventThread* first = worker.Thread();
  terminateThread = 0;
  EXPECT_TRUE(worker.Execute());
  EXPECT_EQ(terminateThread, gui);
  EXPECT_NE(worker.Thread(), first);
}

TEST(AuThread, ImmediateStopAbandonsTheWorkerWithoutFurtherEvents) {
  std::atomic<int> calls{0}, terminates{0};
  std::atomic<bool> afterStop{false}, callAfterStop{false};
  {
    TauCustomThread worker(nullptr);
    worker.SetOnExecute([&](TObject*) {
      TauEventThread* self = worker.Thread();
      while (!self->Terminated()) self->Synchronize([&] {
          ++calls;
          if (afterStop) callAfterStop = true;
        });
      self->Synchronize([&] { callAfterStop = true; });  // dropped: the object was abandoned
    });
    worker.SetOnTerminate([&](TObject*) { ++terminates; });
    ASSERT_TRUE(worker.Execute());
    pumpUntil([&] { return calls >= 3; });
    worker.Terminate(true);
    afterStop = true;
    EXPECT_FALSE(worker.Running());  // the component holds a fresh, held object
    EXPECT_TRUE(worker.Suspended());
  }  // destruction joins the abandoned worker
  EXPECT_FALSE(callAfterStop);
  EXPECT_EQ(terminates, 0);
}

TEST(AuThread, QuietWaitRunsOutAndStopsTheWorker) {
  TauCustomThread worker(nullptr);
  worker.SetOnExecute([&](TObject*) {
    TauEventThread* self = worker.Thread();
    while (!self->Terminated()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  });
  int expired = 0;
  worker.OnWaitTimeoutExpired = [&](TObject*, bool& terminate) {
    ++expired;
    terminate = true;
  };
  worker.WaitThread = true;
  worker.WaitTimeout = 100;
  EXPECT_FALSE(worker.Execute());
  EXPECT_EQ(expired, 1);
}

TEST(AuThread, NeverStartedObjectEndsWithoutWorkAndPrioritiesAreNiceValues) {
  int events = 0;
  {
    TauCustomThread idle(nullptr);
    idle.SetOnExecute([&](TObject*) { ++events; });
    idle.SetOnTerminate([&](TObject*) { ++events; });
  }
  EXPECT_EQ(events, 0);

  TauCustomThread worker(nullptr);
  std::atomic<bool> release{false}, started{false};
  worker.SetOnExecute([&](TObject*) {
    started = true;
    while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  });
  worker.SetPriority(tpLowest);
  ASSERT_TRUE(worker.Execute());
  pumpUntil([&] { return started.load(); });
  EXPECT_EQ(worker.Priority(), tpLowest);
  worker.SetPriority(tpIdle);
  EXPECT_EQ(worker.Priority(), tpIdle);
  release = true;
  pumpUntil([&] { return !worker.Running(); });
}
