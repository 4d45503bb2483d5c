// Timers under the manual clock.
#include "tests/platform/win/user_test_support.h"

namespace {

using TimersTest = UserTest;

std::vector<std::pair<HWND, UINT_PTR>> callbacks;
void Callback(HWND window, UINT message, UINT_PTR id, DWORD) {
  EXPECT_EQ(message, static_cast<UINT>(WM_TIMER));
  callbacks.emplace_back(window, id);
}

std::vector<WPARAM> TimerIds(const std::vector<Logged>& log, HWND window) {
  std::vector<WPARAM> ids;
  for (const Logged& l : log)
    if (l.window == window && l.message == WM_TIMER) ids.push_back(l.wParam);
  return ids;
}

TEST_F(TimersTest, TimersFireInOrderOfDueTime) {
  HWND w = Make(WS_POPUP, RECT{0, 0, 10, 10});
  ASSERT_EQ(SetTimer(w, 50, 50, nullptr), 50u);
  ASSERT_EQ(SetTimer(w, 30, 30, nullptr), 30u);
  ASSERT_EQ(SetTimer(w, 20, 20, nullptr), 20u);
  Pump();
  EXPECT_TRUE(TimerIds(log, w).empty()) << "nothing is due before the clock moves";
  AdvanceClock(19);
  Pump();
  EXPECT_TRUE(TimerIds(log, w).empty());
  AdvanceClock(41);  // at 60: all three are due, each fires once however late
  Pump();
  EXPECT_EQ(TimerIds(log, w), (std::vector<WPARAM>{20, 30, 50}));
  ClearLog();
  AdvanceClock(20);  // at 80: the 20 ms timer (due 80) only
  Pump();
  EXPECT_EQ(TimerIds(log, w), (std::vector<WPARAM>{20}));
  ClearLog();
  EXPECT_TRUE(KillTimer(w, 20));
  EXPECT_FALSE(KillTimer(w, 20));
  AdvanceClock(100);
  Pump();
  EXPECT_EQ(TimerIds(log, w), (std::vector<WPARAM>{30, 50}));
}

TEST_F(TimersTest, SettingATimerAgainRestartsIt) {
  HWND w = Make(WS_POPUP, RECT{0, 0, 10, 10});
  SetTimer(w, 1, 100, nullptr);
  AdvanceClock(90);
  SetTimer(w, 1, 100, nullptr);
  AdvanceClock(90);
  Pump();
  EXPECT_TRUE(TimerIds(log, w).empty());
  AdvanceClock(10);
  Pump();
  EXPECT_EQ(TimerIds(log, w).size(), 1u);
  // Intervals below the minimum are raised to it.
  SetTimer(w, 2, 1, nullptr);
  AdvanceClock(USER_TIMER_MINIMUM - 1);
  Pump();
  EXPECT_EQ(TimerIds(log, w).size(), 1u);
  AdvanceClock(1);
  Pump();
  EXPECT_EQ(TimerIds(log, w).back(), 2u);
}

TEST_F(TimersTest, CallbackAndThreadTimersCallTheirProcedure) {
  callbacks.clear();
  HWND w = Make(WS_POPUP, RECT{0, 0, 10, 10});
  SetTimer(w, 7, 10, Callback);
  UINT_PTR threadTimer = SetTimer(nullptr, 0, 15, Callback);
  ASSERT_NE(threadTimer, 0u);
  EXPECT_NE(SetTimer(nullptr, 0, 15, Callback), threadTimer) << "each thread timer gets its own id";
  KillTimer(nullptr, threadTimer + 1);
  AdvanceClock(15);
  Pump();
  EXPECT_EQ(callbacks, (std::vector<std::pair<HWND, UINT_PTR>>{{w, 7}, {nullptr, threadTimer}}));
  EXPECT_TRUE(TimerIds(log, w).empty()) << "the callback replaces the window procedure";
  KillTimer(nullptr, threadTimer);
  // A posted WM_TIMER with a made-up procedure is not followed.
  callbacks.clear();
  PostMessage(w, WM_TIMER, 7, reinterpret_cast<LPARAM>(&TimerIds));
  PostMessage(w, WM_TIMER, 8, reinterpret_cast<LPARAM>(&Callback));
  Pump();
  EXPECT_TRUE(callbacks.empty());
}

TEST_F(TimersTest, DestroyingAWindowKillsItsTimers) {
  HWND w = Make(WS_POPUP, RECT{0, 0, 10, 10});
  SetTimer(w, 1, 10, nullptr);
  DestroyWindow(w);
  AdvanceClock(50);
  MSG m;
  EXPECT_FALSE(PeekMessage(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(SetTimer(w, 1, 10, nullptr), 0u);
}

}  // namespace
