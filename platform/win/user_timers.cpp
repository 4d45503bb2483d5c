// Timers and the layer's clock.
#include <algorithm>
#include <atomic>
#include <chrono>

#include "platform/win/user_internal.h"

namespace user {

namespace {

struct Timer {
  HWND window;
  UINT_PTR id;
  UINT elapse;
  TIMERPROC proc;
  DWORD due;
  uint64_t order;  // breaks ties between timers due at the same time
};

std::vector<Timer>& Timers() {
  static std::vector<Timer> timers;
  return timers;
}

uint64_t nextOrder = 0;
UINT_PTR nextThreadTimerId = 1;

std::atomic<bool> manualClock{false};
std::atomic<DWORD> manualNow{0};

// True when `a` falls due no later than `b`.
bool NotLater(DWORD a, DWORD b) { return static_cast<int32_t>(a - b) <= 0; }

auto Matching(HWND window, UINT_PTR id) {
  return std::find_if(Timers().begin(), Timers().end(),
                      [&](const Timer& t) { return t.window == window && t.id == id; });
}

}  // namespace

bool NextTimerMessage(MSG* msg, HWND filter, bool remove) {
  DWORD now = GetClockTime();
  Timer* best = nullptr;
  for (Timer& t : Timers()) {
    if (filter && t.window != filter) continue;
    if (!NotLater(t.due, now)) continue;
    if (!best || static_cast<int32_t>(t.due - best->due) < 0 || (t.due == best->due && t.order < best->order))
      best = &t;
  }
  if (!best) return false;
  *msg = MSG{best->window, WM_TIMER, best->id, reinterpret_cast<LPARAM>(best->proc), now, CursorPosition()};
  if (remove) {
    best->due = now + best->elapse;
    best->order = nextOrder++;
  }
  return true;
}

std::optional<DWORD> NextTimerDue() {
  std::optional<DWORD> due;
  for (const Timer& t : Timers())
    if (!due || static_cast<int32_t>(t.due - *due) < 0) due = t.due;
  return due;
}

void KillWindowTimers(HWND window) {
  auto& timers = Timers();
  timers.erase(std::remove_if(timers.begin(), timers.end(), [&](const Timer& t) { return t.window == window; }),
               timers.end());
}

bool IsTimerProc(HWND window, UINT_PTR id, LPARAM proc) {
  auto it = Matching(window, id);
  return it != Timers().end() && reinterpret_cast<LPARAM>(it->proc) == proc;
}

}  // namespace user

using namespace user;

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC proc) {
  EnsureGuiThread();
  if (window && !IsWindow(window)) return 0;
  elapse = std::clamp(elapse, USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM);
  if (!window) {
    // A thread timer keeps its id when it is set again, else gets a new one.
    if (!id || Matching(nullptr, id) == Timers().end()) {
      while (Matching(nullptr, nextThreadTimerId) != Timers().end()) ++nextThreadTimerId;
      id = nextThreadTimerId++;
    }
  }
  DWORD due = GetClockTime() + elapse;
  auto it = Matching(window, id);
  if (it != Timers().end()) {
    *it = Timer{window, id, elapse, proc, due, nextOrder++};
  } else {
    Timers().push_back(Timer{window, id, elapse, proc, due, nextOrder++});
  }
  WakeQueue();
  return window && id == 0 ? 1 : id;
}

BOOL KillTimer(HWND window, UINT_PTR id) {
  auto it = Matching(window, id);
  if (it == Timers().end()) return FALSE;
  Timers().erase(it);
  return TRUE;
}

DWORD GetClockTime() {
  if (manualClock) return manualNow;
  static const auto start = std::chrono::steady_clock::now();
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
  return static_cast<DWORD>(ms);
}

void UseManualClock(DWORD start) {
  manualNow = start;
  manualClock = true;
  WakeQueue();
}

void UseRealClock() {
  manualClock = false;
  WakeQueue();
}

void AdvanceClock(DWORD milliseconds) {
  manualNow += milliseconds;
  WakeQueue();
}
