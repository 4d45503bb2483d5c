// The run-time library's replaceable clock (see clock.h).
#include "platform/rtl/clock.h"

#include <time.h>

#include <atomic>

namespace {

uint64_t systemClock() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000000000u + static_cast<uint64_t>(ts.tv_nsec);
}

std::atomic<TClockFunction> installed{&systemClock};

}  // namespace

uint64_t ClockNanoseconds() { return installed.load(std::memory_order_acquire)(); }

TClockFunction SetClock(TClockFunction clock) {
  TClockFunction previous = installed.exchange(clock ? clock : &systemClock, std::memory_order_acq_rel);
  return previous == &systemClock ? nullptr : previous;
}
