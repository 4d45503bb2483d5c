// Windows: message order over a window's life, geometry, positions, z-order,
// subclassing, window data, text and lookup.
#include <cstring>

#include "tests/platform/win/user_test_support.h"

namespace {

using WindowsTest = UserTest;

TEST_F(WindowsTest, LifeCycleMessagesComeInWindowsOrder) {
  const std::vector<UINT> watched = {WM_NCCREATE, WM_CREATE, WM_SIZE, WM_MOVE, WM_SHOWWINDOW, WM_ACTIVATE,
                                     WM_SETFOCUS, WM_KILLFOCUS, WM_NCPAINT, WM_ERASEBKGND, WM_PAINT,
                                     WM_DESTROY, WM_NCDESTROY};
  HWND top = Make(WS_OVERLAPPEDWINDOW | WS_VISIBLE, RECT{10, 20, 310, 220});
  HWND child = Make(WS_VISIBLE, RECT{5, 5, 105, 55}, top);
  ASSERT_TRUE(top && child);
  EXPECT_EQ(Sent(top, watched), (std::vector<UINT>{WM_NCCREATE, WM_CREATE, WM_SIZE, WM_MOVE, WM_SHOWWINDOW,
                                                   WM_ACTIVATE, WM_SETFOCUS}));
  EXPECT_EQ(Sent(child, watched), (std::vector<UINT>{WM_NCCREATE, WM_CREATE, WM_SIZE, WM_MOVE, WM_SHOWWINDOW}));
  // The size and position of the client area.
  RECT client;
  GetClientRect(top, &client);
  EXPECT_EQ(Of(top, WM_SIZE)[0].lParam, MAKELPARAM(static_cast<WORD>(client.right), static_cast<WORD>(client.bottom)));

  ClearLog();
  Pump();
  // Painting comes from the queue, the parent before its child; BeginPaint
  // (here the default procedure's) sends WM_NCPAINT and WM_ERASEBKGND.
  EXPECT_EQ(Sent(top, watched), (std::vector<UINT>{WM_PAINT, WM_NCPAINT, WM_ERASEBKGND}));
  EXPECT_EQ(Sent(child, watched), (std::vector<UINT>{WM_PAINT, WM_NCPAINT, WM_ERASEBKGND}));
  auto firstPaint = [&](HWND h) {
    for (size_t i = 0; i < log.size(); ++i)
      if (log[i].window == h && log[i].message == WM_PAINT) return i;
    return log.size();
  };
  EXPECT_LT(firstPaint(top), firstPaint(child));
  Pump();
  EXPECT_EQ(Of(top, WM_PAINT).size(), 1u) << "a validated window is not painted again";

  ClearLog();
  ASSERT_TRUE(DestroyWindow(top));
  std::vector<std::pair<HWND, UINT>> order;
  for (const Logged& l : log)
    if (l.message == WM_DESTROY || l.message == WM_NCDESTROY) order.emplace_back(l.window, l.message);
  EXPECT_EQ(order, (std::vector<std::pair<HWND, UINT>>{
                       {top, WM_DESTROY}, {child, WM_DESTROY}, {child, WM_NCDESTROY}, {top, WM_NCDESTROY}}));
  EXPECT_EQ(Sent(top, {WM_KILLFOCUS}).size(), 1u);
  EXPECT_FALSE(IsWindow(top));
  EXPECT_FALSE(IsWindow(child));
  EXPECT_EQ(GetFocus(), nullptr);
  EXPECT_EQ(GetActiveWindow(), nullptr);
}

TEST_F(WindowsTest, CreationFailsCleanly) {
  EXPECT_EQ(CreateWindowEx(0, "NoSuchClass", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr), nullptr);
  EXPECT_EQ(Make(WS_CHILD, RECT{0, 0, 10, 10}), nullptr) << "a child needs a parent";
  handler = [](HWND, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (m == WM_CREATE) return -1;
    return std::nullopt;
  };
  HWND refused = Make(WS_VISIBLE, RECT{0, 0, 10, 10});
  EXPECT_EQ(refused, nullptr);
  ASSERT_FALSE(log.empty());
  HWND attempted = log.front().window;
  EXPECT_FALSE(IsWindow(attempted));
  EXPECT_EQ(Sent(attempted, {WM_DESTROY, WM_NCDESTROY}), (std::vector<UINT>{WM_DESTROY, WM_NCDESTROY}));
}

TEST_F(WindowsTest, ClientAreaFollowsTheFrameStyles) {
  const int border = GetSystemMetrics(SM_CXBORDER), frame = GetSystemMetrics(SM_CXFRAME),
            fixed = GetSystemMetrics(SM_CXFIXEDFRAME), edge = GetSystemMetrics(SM_CXEDGE),
            caption = GetSystemMetrics(SM_CYCAPTION);
  struct Case {
    DWORD style, exStyle;
    int side, top;
  } cases[] = {
      {WS_POPUP, 0, 0, 0},
      {WS_POPUP | WS_BORDER, 0, border, border},
      {WS_POPUP | WS_BORDER, WS_EX_CLIENTEDGE, border + edge, border + edge},
      {WS_OVERLAPPEDWINDOW, 0, frame, frame + caption},
      {WS_CAPTION, 0, fixed, fixed + caption},
  };
  for (const Case& c : cases) {
    HWND w = Make(c.style, RECT{100, 50, 300, 200}, nullptr, c.exStyle);
    RECT client, window;
    GetClientRect(w, &client);
    GetWindowRect(w, &window);
    EXPECT_EQ(client, (RECT{0, 0, 200 - 2 * c.side, 150 - c.top - c.side})) << std::hex << c.style;
    EXPECT_EQ(window, (RECT{100, 50, 300, 200}));
    POINT p{0, 0};
    ClientToScreen(w, &p);
    EXPECT_EQ(p, (POINT{100 + c.side, 50 + c.top}));
    ScreenToClient(w, &p);
    EXPECT_EQ(p, (POINT{0, 0}));
    DestroyWindow(w);
  }
}

TEST_F(WindowsTest, ChildCoordinatesMapThroughTheirParents) {
  HWND top = Make(WS_POPUP | WS_BORDER | WS_VISIBLE, RECT{100, 100, 400, 400});
  HWND panel = Make(WS_VISIBLE | WS_BORDER, RECT{10, 20, 210, 220}, top);
  HWND button = Make(WS_VISIBLE, RECT{5, 6, 55, 36}, panel);
  RECT r;
  GetWindowRect(button, &r);
  EXPECT_EQ(r, (RECT{100 + 1 + 10 + 1 + 5, 100 + 1 + 20 + 1 + 6, 117 + 50, 128 + 30}));
  POINT pts[2] = {{0, 0}, {3, 4}};
  LONG offset = MapWindowPoints(button, top, pts, 2);
  EXPECT_EQ(pts[0], (POINT{1 + 10 + 5, 1 + 20 + 6}));
  EXPECT_EQ(pts[1], (POINT{19, 31}));
  EXPECT_EQ(offset, MAKELONG(16, 27));
  EXPECT_EQ(WindowFromPoint(POINT{r.left + 1, r.top + 1}), button);
  EXPECT_EQ(WindowFromPoint(POINT{r.right, r.bottom}), panel);
  EXPECT_EQ(WindowFromPoint(POINT{105, 105}), top);
  EXPECT_EQ(WindowFromPoint(POINT{50, 50}), nullptr);
  EXPECT_EQ(ChildWindowFromPoint(top, POINT{20, 30}), panel);
  EXPECT_EQ(GetParent(button), panel);
  EXPECT_EQ(GetAncestor(button, GA_ROOT), top);
  EXPECT_TRUE(IsChild(top, button));
  EXPECT_FALSE(IsChild(button, top));
  // Hidden and disabled children: hidden ones are skipped, disabled ones answer their parent.
  ShowWindow(button, SW_HIDE);
  EXPECT_EQ(WindowFromPoint(POINT{r.left + 1, r.top + 1}), panel);
  EXPECT_FALSE(IsWindowVisible(button));
  ShowWindow(button, SW_SHOW);
  EnableWindow(button, FALSE);
  EXPECT_EQ(WindowFromPoint(POINT{r.left + 1, r.top + 1}), panel);
}

TEST_F(WindowsTest, SetWindowPosSendsMoveAndSizeAsTheFlagsSay) {
  HWND top = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 500, 500});
  HWND w = Make(WS_VISIBLE, RECT{10, 10, 110, 60}, top);
  struct Case {
    int x, y, cx, cy;
    UINT flags;
    std::vector<UINT> expected;
    RECT after;  // in the parent's client area
  } cases[] = {
      {20, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER, {WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED, WM_MOVE}, {20, 30, 120, 80}},
      {0, 0, 40, 50, SWP_NOMOVE | SWP_NOZORDER, {WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED, WM_SIZE}, {20, 30, 60, 80}},
      {1, 2, 3, 4, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER, {WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED}, {20, 30, 60, 80}},
      {5, 6, 70, 80, SWP_NOZORDER, {WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED, WM_MOVE, WM_SIZE}, {5, 6, 75, 86}},
      // Same place and size: nothing moved, nothing sized.
      {5, 6, 70, 80, SWP_NOZORDER, {WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED}, {5, 6, 75, 86}},
  };
  for (const Case& c : cases) {
    ClearLog();
    ASSERT_TRUE(SetWindowPos(w, nullptr, c.x, c.y, c.cx, c.cy, c.flags));
    EXPECT_EQ(Sent(w, {WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED, WM_MOVE, WM_SIZE}), c.expected);
    RECT r;
    GetWindowRect(w, &r);
    MapWindowPoints(nullptr, top, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r, c.after);
  }
  ClearLog();
  MoveWindow(w, 1, 1, 10, 10, TRUE);
  EXPECT_EQ(Of(w, WM_SIZE).back().lParam, MAKELPARAM(10, 10));
  EXPECT_EQ(Of(w, WM_MOVE).back().lParam, MAKELPARAM(1, 1));
  // WM_WINDOWPOSCHANGING may change the place.
  handler = [](HWND, UINT m, WPARAM, LPARAM lp) -> std::optional<LRESULT> {
    if (m == WM_WINDOWPOSCHANGING) reinterpret_cast<WINDOWPOS*>(lp)->x = 77;
    return std::nullopt;
  };
  SetWindowPos(w, nullptr, 3, 3, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  RECT r;
  GetWindowRect(w, &r);
  MapWindowPoints(nullptr, top, reinterpret_cast<POINT*>(&r), 1);
  EXPECT_EQ(r.left, 77);
}

TEST_F(WindowsTest, TopLevelResizeResizesItsSurface) {
  HWND top = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 50, 40});
  ASSERT_NE(GetWindowSurface(top), nullptr);
  SetWindowPos(top, nullptr, 0, 0, 120, 90, SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_EQ(GetWindowSurface(top)->width, 120);
  EXPECT_EQ(GetWindowSurface(top)->height, 90);
  display::HeadlessWindowState state;
  ASSERT_TRUE(display::HeadlessWindow(reinterpret_cast<display::WindowKey>(top), state));
  EXPECT_TRUE(state.shown);
  EXPECT_EQ(state.rect, (RECT{0, 0, 120, 90}));
  ShowWindow(top, SW_HIDE);
  ASSERT_TRUE(display::HeadlessWindow(reinterpret_cast<display::WindowKey>(top), state));
  EXPECT_FALSE(state.shown);
}

TEST_F(WindowsTest, ZOrderOfSiblingsAndTopmostWindows) {
  HWND top = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 200, 200});
  HWND a = Make(WS_VISIBLE, RECT{0, 0, 100, 100}, top);
  HWND b = Make(WS_VISIBLE, RECT{50, 50, 150, 150}, top);
  POINT overlap = ScreenPoint(top, 75, 75);
  EXPECT_EQ(WindowFromPoint(overlap), b) << "the later child lies in front";
  EXPECT_EQ(GetWindow(top, GW_CHILD), b);
  EXPECT_EQ(GetWindow(b, GW_HWNDNEXT), a);
  SetWindowPos(b, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  EXPECT_EQ(WindowFromPoint(overlap), a);
  SetWindowPos(b, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  EXPECT_EQ(WindowFromPoint(overlap), b);

  HWND pinned = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 50, 50}, nullptr, WS_EX_TOPMOST);
  HWND later = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 50, 50});
  EXPECT_EQ(WindowFromPoint(POINT{10, 10}), pinned) << "a topmost window stays in front of later ones";
  EXPECT_EQ(GetActiveWindow(), later);
  SetWindowPos(pinned, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  EXPECT_FALSE(GetWindowLong(pinned, GWL_EXSTYLE) & WS_EX_TOPMOST);
  SetWindowPos(later, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  EXPECT_EQ(WindowFromPoint(POINT{10, 10}), later);
}

LRESULT Subclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
WNDPROC previousProc = nullptr;
int subclassCalls = 0;

LRESULT Subclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_USER + 1) {
    ++subclassCalls;
    return 42;
  }
  return CallWindowProc(previousProc, window, message, wParam, lParam);
}

TEST_F(WindowsTest, SubclassingChainsToThePreviousProcedure) {
  subclassCalls = 0;
  HWND w = Make(WS_POPUP, RECT{0, 0, 10, 10});
  previousProc = reinterpret_cast<WNDPROC>(SetWindowLong(w, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(&Subclass)));
  ASSERT_NE(previousProc, nullptr);
  EXPECT_EQ(GetWindowLong(w, GWL_WNDPROC), reinterpret_cast<LONG_PTR>(&Subclass));
  EXPECT_EQ(SendMessage(w, WM_USER + 1, 0, 0), 42);
  EXPECT_TRUE(Of(w, WM_USER + 1).empty()) << "the subclass answered alone";
  SendMessage(w, WM_USER + 2, 7, 8);
  ASSERT_EQ(Of(w, WM_USER + 2).size(), 1u);
  EXPECT_EQ(Of(w, WM_USER + 2)[0].wParam, 7u);
  EXPECT_EQ(subclassCalls, 1);
  // Restoring the procedure ends the subclass.
  SetWindowLong(w, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(previousProc));
  SendMessage(w, WM_USER + 1, 0, 0);
  EXPECT_EQ(subclassCalls, 1);
}

TEST_F(WindowsTest, WindowDataAndClassData) {
  WNDCLASS wc;
  wc.lpfnWndProc = DefWindowProc;
  wc.cbWndExtra = DLGWINDOWEXTRA;
  wc.style = CS_DROPSHADOW | CS_DBLCLKS;
  wc.lpszClassName = "DataWindow";
  ASSERT_NE(RegisterClass(&wc), 0);
  EXPECT_EQ(RegisterClass(&wc), 0) << "names are unique";
  HWND a = Make(WS_POPUP, RECT{0, 0, 10, 10}, nullptr, 0, "datawindow");
  HWND b = Make(WS_POPUP, RECT{0, 0, 10, 10}, nullptr, 0, "DataWindow");
  ASSERT_TRUE(a && b);
  EXPECT_EQ(GetClassName(a), "DataWindow");
  EXPECT_EQ(SetWindowLong(a, DWL_MSGRESULT, 1234), 0);
  EXPECT_EQ(GetWindowLong(a, DWL_MSGRESULT), 1234);
  EXPECT_EQ(GetWindowLong(a, DLGWINDOWEXTRA), 0) << "past the extra bytes";
  EXPECT_EQ(SetWindowLong(a, DLGWINDOWEXTRA, 5), 0);
  SetWindowLongPtr(a, GWLP_USERDATA, 99);
  EXPECT_EQ(GetWindowLongPtr(a, GWLP_USERDATA), 99);
  EXPECT_EQ(GetWindowLongPtr(b, GWLP_USERDATA), 0);
  // The class style is shared: taking the drop shadow off one window takes it off all.
  SetClassLong(a, GCL_STYLE, static_cast<LONG_PTR>(GetClassLong(a, GCL_STYLE) & ~CS_DROPSHADOW));
  EXPECT_EQ(GetClassLong(b, GCL_STYLE), CS_DBLCLKS);
  EXPECT_FALSE(UnregisterClass("DataWindow", nullptr)) << "windows of the class still exist";
  DestroyWindow(a);
  DestroyWindow(b);
  EXPECT_TRUE(UnregisterClass("DataWindow", nullptr));
  EXPECT_EQ(GetWindowLong(a, GWL_STYLE), 0) << "a stale handle is refused";
}

TEST_F(WindowsTest, TextGoesThroughMessages) {
  HWND dialog = Make(WS_POPUP | WS_CAPTION, RECT{0, 0, 100, 100});
  HWND edit = CreateWindowEx(0, kLogged, "first", WS_CHILD, 0, 0, 10, 10, dialog, reinterpret_cast<HMENU>(intptr_t{1001}),
                             nullptr, nullptr);
  EXPECT_EQ(GetWindowText(edit), "first");
  EXPECT_TRUE(SetWindowText(edit, "Größe"));
  ASSERT_EQ(Of(edit, WM_SETTEXT).size(), 1u);
  EXPECT_EQ(GetDlgItem(dialog, 1001), edit);
  EXPECT_EQ(GetDlgCtrlID(edit), 1001);
  EXPECT_EQ(GetDlgItemText(dialog, 1001), "Größe");
  EXPECT_EQ(GetWindowTextLength(edit), 7);
  // A control that answers WM_GETTEXT itself is asked.
  handler = [&](HWND h, UINT m, WPARAM wp, LPARAM lp) -> std::optional<LRESULT> {
    if (h != edit) return std::nullopt;
    if (m == WM_GETTEXTLENGTH) return 3;
    if (m == WM_GETTEXT && wp >= 4) {
      std::memcpy(reinterpret_cast<char*>(lp), "abc", 4);
      return 3;
    }
    return std::nullopt;
  };
  EXPECT_EQ(GetDlgItemTextA(dialog, 1001), "abc");
  EXPECT_EQ(GetDlgItemText(dialog, 4711), "");
}

TEST_F(WindowsTest, FindWindowExSearchesByClassAndTitle) {
  HWND host = Make(WS_POPUP, RECT{0, 0, 10, 10});
  SetWindowText(host, "TauThreadWindow");
  HWND c1 = CreateWindowEx(0, kLogged, "one", WS_CHILD, 0, 0, 1, 1, host, nullptr, nullptr, nullptr);
  HWND c2 = CreateWindowEx(0, kLoggedDbl, "two", WS_CHILD, 0, 0, 1, 1, host, nullptr, nullptr, nullptr);
  HWND c3 = CreateWindowEx(0, kLogged, "three", WS_CHILD, 0, 0, 1, 1, host, nullptr, nullptr, nullptr);
  EXPECT_EQ(FindWindowEx(host, nullptr, "loggedwindow", nullptr), c3);
  EXPECT_EQ(FindWindowEx(host, c3, kLogged, nullptr), c1);
  EXPECT_EQ(FindWindowEx(host, c1, kLogged, nullptr), nullptr);
  EXPECT_EQ(FindWindowEx(host, nullptr, nullptr, "two"), c2);
  EXPECT_EQ(FindWindowExA(nullptr, nullptr, kLogged, "TauThreadWindow"), host);
  EXPECT_EQ(FindWindow(nullptr, "nobody"), nullptr);
}

TEST_F(WindowsTest, EnableWindowReportsTheChangeAndTakesTheFocus) {
  HWND top = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 100, 100});
  HWND edit = Make(WS_VISIBLE, RECT{0, 0, 50, 20}, top);
  SetFocus(edit);
  ClearLog();
  EXPECT_FALSE(EnableWindow(edit, FALSE)) << "answers that it was enabled";
  EXPECT_TRUE(EnableWindow(edit, FALSE)) << "answers that it was disabled";
  ASSERT_EQ(Of(edit, WM_ENABLE).size(), 1u) << "only a change is reported";
  EXPECT_EQ(Of(edit, WM_ENABLE)[0].wParam, static_cast<WPARAM>(FALSE));
  EXPECT_EQ(GetFocus(), nullptr);
  EXPECT_FALSE(IsWindowEnabled(edit));
  EXPECT_TRUE(EnableWindow(edit, TRUE));
  EXPECT_EQ(Of(edit, WM_ENABLE).back().wParam, static_cast<WPARAM>(TRUE));
}

TEST_F(WindowsTest, OwnedWindowsDieWithTheirOwnerAndSetParentMoves) {
  HWND owner = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 100, 100});
  HWND owned = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 50, 50}, nullptr);
  SetWindowLongPtr(owned, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
  EXPECT_EQ(GetParent(owned), owner);
  EXPECT_EQ(GetWindow(owned, GW_OWNER), owner);
  HWND other = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 10, 10});
  HWND child = Make(WS_VISIBLE, RECT{0, 0, 5, 5}, other);
  EXPECT_EQ(SetParent(child, owner), other);
  EXPECT_EQ(GetParent(child), owner);
  EXPECT_EQ(GetWindow(other, GW_CHILD), nullptr);
  EXPECT_EQ(SetParent(owner, child), nullptr) << "a window cannot go under its own child";
  DestroyWindow(owner);
  EXPECT_FALSE(IsWindow(owned));
  EXPECT_FALSE(IsWindow(child));
  EXPECT_TRUE(IsWindow(other));
  EXPECT_EQ(Sent(owned, {WM_DESTROY, WM_NCDESTROY}), (std::vector<UINT>{WM_DESTROY, WM_NCDESTROY}));
}

TEST_F(WindowsTest, CloseCommandDestroysThroughTheDefaultProcedure) {
  HWND w = Make(WS_OVERLAPPEDWINDOW | WS_VISIBLE, RECT{0, 0, 100, 100});
  PostMessage(w, WM_SYSCOMMAND, SC_CLOSE, 0);
  Pump();
  EXPECT_EQ(Sent(w, {WM_SYSCOMMAND, WM_CLOSE, WM_DESTROY}), (std::vector<UINT>{WM_SYSCOMMAND, WM_CLOSE, WM_DESTROY}));
  EXPECT_FALSE(IsWindow(w));
}

}  // namespace
