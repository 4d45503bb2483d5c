// Timers and the clock behind them. WM_TIMER is made when the queue has
// nothing else, for the timer due first; a timer fires at most once per
// retrieval, however long ago it fell due. The clock is real milliseconds,
// or a manual one that tests advance.
#pragma once

#include "platform/win/winuser_consts.h"
#include "platform/win/wintypes.h"

using TIMERPROC = void (*)(HWND, UINT, UINT_PTR, DWORD);

// A window timer (`window` with its `id`, replacing one of the same id) or,
// with a null window, a thread timer with a new id. `elapse` is clamped to
// USER_TIMER_MINIMUM..USER_TIMER_MAXIMUM. With `proc`, dispatch calls it
// instead of the window procedure. Answers the id, 0 on failure.
UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC proc);
BOOL KillTimer(HWND window, UINT_PTR id);

// Milliseconds of the layer's clock (message times, timers, double clicks).
DWORD GetClockTime();
// Stops the clock at `start`; from now on only AdvanceClock moves it.
void UseManualClock(DWORD start);
// Back to real time.
void UseRealClock();
// Moves the manual clock forward and wakes waits.
void AdvanceClock(DWORD milliseconds);
