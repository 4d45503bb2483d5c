// The one clock of the run-time library.
//
// GetTickCount, GetTickCount64 and Randomize all read it. It is the system's
// monotonic clock unless a test installs its own, so that runs driven by the
// tick count (animations, timeouts) or seeded by Randomize replay exactly.
#pragma once

#include <cstdint>

// A clock answers nanoseconds since an arbitrary fixed start; the answers
// never go down.
using TClockFunction = uint64_t (*)();

// The current reading of the installed clock.
uint64_t ClockNanoseconds();
// Installs Clock (nullptr = the system clock again) and returns the clock it
// replaces, so a caller can put it back.
TClockFunction SetClock(TClockFunction clock);

// Installs a clock for the lifetime of the object and restores the previous
// one afterwards.
class TClockScope {
public:
  explicit TClockScope(TClockFunction clock) : previous_(SetClock(clock)) {}
  ~TClockScope() { SetClock(previous_); }
  TClockScope(const TClockScope&) = delete;
  TClockScope& operator=(const TClockScope&) = delete;

private:
  TClockFunction previous_;
};
