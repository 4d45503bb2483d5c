// System values: metrics and colours (one consistent set), monitors, the
// beep, and the caret.
#pragma once

#include "platform/win/winuser_consts.h"
#include "platform/win/wintypes.h"

// SM_* values; screen sizes come from the display, the rest from one table;
// 0 for an unknown index.
int GetSystemMetrics(int index);
// COLOR_* values as 0x00BBGGRR; 0 for an unknown index.
COLORREF GetSysColor(int index);

struct MONITORINFO {
  DWORD cbSize = sizeof(MONITORINFO);
  RECT rcMonitor;
  RECT rcWork;
  DWORD dwFlags = 0;
};

// The monitor that holds most of the window; MONITOR_DEFAULTTO* when none does.
HMONITOR MonitorFromWindow(HWND window, DWORD flags);
HMONITOR MonitorFromPoint(POINT point, DWORD flags);
BOOL GetMonitorInfo(HMONITOR monitor, MONITORINFO* info);

BOOL MessageBeep(UINT type);

// One caret for the GUI thread, drawn inverted on its window while shown.
// ShowCaret and HideCaret count, as Windows does.
BOOL CreateCaret(HWND window, HBITMAP bitmap, int width, int height);
BOOL DestroyCaret();
BOOL SetCaretPos(int x, int y);
BOOL GetCaretPos(POINT* point);
BOOL ShowCaret(HWND window);
BOOL HideCaret(HWND window);
