// System values, monitors, the beep and the caret.
#include "tests/platform/win/user_test_support.h"

namespace {

using SystemTest = UserTest;

TEST_F(SystemTest, MetricsAndColoursAreOneConsistentSet) {
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1920);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 1080);
  EXPECT_EQ(GetSystemMetrics(SM_CMONITORS), 1);
  EXPECT_EQ(GetSystemMetrics(SM_REMOTESESSION), 0);
  EXPECT_EQ(GetSystemMetrics(SM_SERVERR2), 0);
  EXPECT_EQ(GetSystemMetrics(SM_CXVSCROLL), GetSystemMetrics(SM_CYHSCROLL));
  EXPECT_GT(GetSystemMetrics(SM_CXEDGE), GetSystemMetrics(SM_CXBORDER));
  EXPECT_GT(GetSystemMetrics(SM_CXMENUCHECK), 0);
  EXPECT_EQ(GetSystemMetrics(-5), 0);
  EXPECT_EQ(GetSysColor(COLOR_WINDOW), RGB(255, 255, 255));
  EXPECT_EQ(GetSysColor(COLOR_WINDOWTEXT), RGB(0, 0, 0));
  EXPECT_EQ(GetSysColor(COLOR_BTNFACE), GetSysColor(COLOR_3DFACE));
  EXPECT_NE(GetSysColor(COLOR_HIGHLIGHT), GetSysColor(COLOR_HIGHLIGHTTEXT));
  EXPECT_EQ(GetSysColor(COLOR_MENUBAR + 1), 0u);
  EXPECT_EQ(GetSysColor(-1), 0u);
}

TEST_F(SystemTest, MonitorsAndTheWorkArea) {
  HWND on = Make(WS_POPUP, RECT{100, 100, 300, 300});
  HWND off = Make(WS_POPUP, RECT{5000, 5000, 5100, 5100});
  HMONITOR m = MonitorFromWindow(on, MONITOR_DEFAULTTONULL);
  ASSERT_NE(m, nullptr);
  MONITORINFO info;
  ASSERT_TRUE(GetMonitorInfo(m, &info));
  EXPECT_EQ(info.rcMonitor, (RECT{0, 0, 1920, 1080}));
  EXPECT_EQ(info.rcWork, (RECT{0, 0, 1920, 1040}));
  EXPECT_EQ(info.dwFlags, MONITORINFOF_PRIMARY);
  EXPECT_EQ(MonitorFromWindow(off, MONITOR_DEFAULTTONULL), nullptr);
  EXPECT_EQ(MonitorFromWindow(off, MONITOR_DEFAULTTONEAREST), m);
  EXPECT_EQ(MonitorFromPoint(POINT{10, 10}, MONITOR_DEFAULTTONULL), m);
  EXPECT_FALSE(GetMonitorInfo(reinterpret_cast<HMONITOR>(uintptr_t{7}), &info));
  // Maximising fills the work area.
  ShowWindow(on, SW_MAXIMIZE);
  RECT r;
  GetWindowRect(on, &r);
  EXPECT_EQ(r, info.rcWork);
  EXPECT_TRUE(GetWindowLong(on, GWL_STYLE) & WS_MAXIMIZE);
}

TEST_F(SystemTest, MessageBeepReachesTheDisplay) {
  int before = display::HeadlessBeepCount();
  EXPECT_TRUE(MessageBeep(MB_ICONASTERISK));
  EXPECT_EQ(display::HeadlessBeepCount(), before + 1);
}

TEST_F(SystemTest, CaretIsDrawnInvertedWhileShown) {
  HWND w = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 40, 40});
  Pump();
  FillClient(w, RECT{0, 0, 40, 40}, 0xFF102030u);
  ASSERT_TRUE(CreateCaret(w, nullptr, 2, 10));
  SetCaretPos(5, 5);
  EXPECT_EQ(ClientPixel(w, POINT{5, 5}), 0xFF102030u) << "a new caret is hidden";
  ShowCaret(w);
  EXPECT_EQ(ClientPixel(w, POINT{5, 5}), 0xFFEFDFCFu);
  EXPECT_EQ(ClientPixel(w, POINT{6, 14}), 0xFFEFDFCFu);
  EXPECT_EQ(ClientPixel(w, POINT{7, 5}), 0xFF102030u);
  SetCaretPos(20, 5);
  EXPECT_EQ(ClientPixel(w, POINT{5, 5}), 0xFF102030u) << "moving restores the old place";
  EXPECT_EQ(ClientPixel(w, POINT{20, 5}), 0xFFEFDFCFu);
  POINT pos;
  GetCaretPos(&pos);
  EXPECT_EQ(pos, (POINT{20, 5}));
  // Hiding counts: two hides need two shows.
  HideCaret(w);
  HideCaret(w);
  ShowCaret(w);
  EXPECT_EQ(ClientPixel(w, POINT{20, 5}), 0xFF102030u);
  ShowCaret(w);
  EXPECT_EQ(ClientPixel(w, POINT{20, 5}), 0xFFEFDFCFu);
  // Painting the window does not leave the caret's inversion behind.
  handler = [&](HWND h, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (m != WM_PAINT) return std::nullopt;
    PAINTSTRUCT ps;
    BeginPaint(h, &ps);
    FillClient(h, RECT{0, 0, 40, 40}, 0xFF000000u);
    EndPaint(h, &ps);
    return 0;
  };
  InvalidateRect(w, nullptr, FALSE);
  Pump();
  EXPECT_EQ(ClientPixel(w, POINT{20, 5}), 0xFFFFFFFFu);
  DestroyCaret();
  EXPECT_EQ(ClientPixel(w, POINT{20, 5}), 0xFF000000u);
  EXPECT_FALSE(ShowCaret(w));
}

}  // namespace
