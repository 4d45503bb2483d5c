// Input through the headless injector: mouse routing, capture, leaving,
// double clicks, wheel, keys and characters, focus and activation, cursors,
// file drops.
#include <iterator>

#include "platform/rtl/resources.h"
#include "tests/platform/win/user_test_support.h"

namespace {

using InputTest = UserTest;
using display::MouseButton;

// Messages are translated as a message loop does.
void PumpTranslated() {
  MSG m;
  while (PeekMessage(&m, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&m);
    DispatchMessage(&m);
  }
}

POINT Client(LPARAM lp) { return POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)}; }

TEST_F(InputTest, MouseGoesToTheWindowUnderThePointerOrToTheCapture) {
  HWND top = Make(WS_POPUP | WS_CAPTION | WS_VISIBLE, RECT{100, 100, 300, 300});
  HWND child = Make(WS_VISIBLE, RECT{10, 10, 60, 60}, top);
  Pump();
  ClearLog();
  display::InjectClick(ScreenPoint(child, 5, 6));
  Pump();
  EXPECT_EQ(Sent(child, {WM_SETCURSOR, WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP}),
            (std::vector<UINT>{WM_SETCURSOR, WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP}));
  auto down = Of(child, WM_LBUTTONDOWN);
  ASSERT_EQ(down.size(), 1u);
  EXPECT_EQ(Client(down[0].lParam), (POINT{5, 6}));
  EXPECT_EQ(down[0].wParam, MK_LBUTTON);
  EXPECT_EQ(Of(child, WM_LBUTTONUP)[0].wParam, 0u);
  EXPECT_TRUE(Sent(top, {WM_LBUTTONDOWN}).empty());

  // The caption is non-client: screen coordinates and the hit-test code.
  RECT wr;
  GetWindowRect(top, &wr);
  POINT onCaption{wr.left + 50, wr.top + 5};
  display::InjectMouseDown(onCaption);
  display::InjectMouseUp(onCaption);
  Pump();
  auto nc = Of(top, WM_NCLBUTTONDOWN);
  ASSERT_EQ(nc.size(), 1u);
  EXPECT_EQ(nc[0].wParam, static_cast<WPARAM>(HTCAPTION));
  EXPECT_EQ(Client(nc[0].lParam), onCaption);

  ClearLog();
  EXPECT_EQ(SetCapture(child), nullptr);
  EXPECT_EQ(GetCapture(), child);
  display::InjectMouseMove(ScreenPoint(top, 150, 150));
  display::InjectMouseMove(POINT{5, 5});
  Pump();
  auto moves = Of(child, WM_MOUSEMOVE);
  ASSERT_EQ(moves.size(), 2u);
  EXPECT_EQ(Client(moves[0].lParam), (POINT{140, 140}));
  POINT far{5, 5};
  ScreenToClient(child, &far);
  EXPECT_EQ(Client(moves[1].lParam), far);
  EXPECT_LT(far.x, 0);
  EXPECT_TRUE(Sent(top, {WM_MOUSEMOVE}).empty());
  ReleaseCapture();
  EXPECT_EQ(Sent(child, {WM_CAPTURECHANGED}).size(), 1u);
  EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(InputTest, MouseLeaveComesOnceWhenThePointerLeaves) {
  HWND top = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 200, 100});
  HWND a = Make(WS_VISIBLE, RECT{0, 0, 100, 100}, top);
  HWND b = Make(WS_VISIBLE, RECT{100, 0, 200, 100}, top);
  display::InjectMouseMove(ScreenPoint(a, 10, 10));
  TRACKMOUSEEVENT t;
  t.dwFlags = TME_LEAVE;
  t.hwndTrack = a;
  ASSERT_TRUE(TrackMouseEvent(&t));
  display::InjectMouseMove(ScreenPoint(a, 20, 20));
  Pump();
  EXPECT_TRUE(Sent(a, {WM_MOUSELEAVE}).empty());
  display::InjectMouseMove(ScreenPoint(b, 10, 10));
  display::InjectMouseMove(ScreenPoint(b, 20, 10));
  Pump();
  EXPECT_EQ(Sent(a, {WM_MOUSELEAVE}).size(), 1u);
  // Tracking a window the pointer is not over reports the leave at once.
  TRACKMOUSEEVENT elsewhere;
  elsewhere.dwFlags = TME_LEAVE;
  elsewhere.hwndTrack = a;
  TrackMouseEvent(&elsewhere);
  Pump();
  EXPECT_EQ(Sent(a, {WM_MOUSELEAVE}).size(), 2u);
  // Leaving the program's windows altogether, and cancelling.
  t.hwndTrack = b;
  TrackMouseEvent(&t);
  display::InjectMouseLeave();
  Pump();
  EXPECT_EQ(Sent(b, {WM_MOUSELEAVE}).size(), 1u);
  display::InjectMouseMove(ScreenPoint(b, 10, 10));
  TrackMouseEvent(&t);
  TRACKMOUSEEVENT cancel;
  cancel.dwFlags = TME_LEAVE | TME_CANCEL;
  cancel.hwndTrack = b;
  TrackMouseEvent(&cancel);
  display::InjectMouseMove(ScreenPoint(a, 10, 10));
  Pump();
  EXPECT_EQ(Sent(b, {WM_MOUSELEAVE}).size(), 1u);
}

TEST_F(InputTest, DoubleClicksNeedTheClassStyleAndCloseTimeAndPlace) {
  HWND top = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 200, 200});
  HWND dbl = Make(WS_VISIBLE, RECT{0, 0, 100, 100}, top, 0, kLoggedDbl);
  HWND plain = Make(WS_VISIBLE, RECT{100, 0, 200, 100}, top);
  const int half = GetSystemMetrics(SM_CXDOUBLECLK) / 2;
  const DWORD time = GetDoubleClickTime();
  struct Case {
    HWND window;
    DWORD dt;
    int dx;
    bool isDouble;
  } cases[] = {
      {dbl, 0, 0, true},         {dbl, time, 0, true},      {dbl, time + 1, 0, false},
      {dbl, 0, half, true},      {dbl, 0, half + 1, false}, {plain, 0, 0, false},
  };
  for (const Case& c : cases) {
    AdvanceClock(10000);
    ClearLog();
    display::InjectClick(ScreenPoint(c.window, 20, 20));
    AdvanceClock(c.dt);
    display::InjectClick(ScreenPoint(c.window, 20 + c.dx, 20));
    Pump();
    EXPECT_EQ(Sent(c.window, {WM_LBUTTONDOWN, WM_LBUTTONDBLCLK}),
              (std::vector<UINT>{WM_LBUTTONDOWN, c.isDouble ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN}))
        << "dt " << c.dt << " dx " << c.dx;
  }
  // A third click starts a new pair; other buttons have their own messages.
  AdvanceClock(10000);
  ClearLog();
  POINT p = ScreenPoint(dbl, 30, 30);
  display::InjectDoubleClick(p);
  display::InjectClick(p);
  display::InjectDoubleClick(p, MouseButton::Right);
  Pump();
  EXPECT_EQ(Sent(dbl, {WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, WM_RBUTTONDOWN, WM_RBUTTONDBLCLK}),
            (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_RBUTTONDBLCLK}));
}

TEST_F(InputTest, WheelGoesToTheWindowUnderThePointerWithScreenCoordinates) {
  HWND top = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 200, 200});
  HWND view = Make(WS_VISIBLE, RECT{50, 50, 150, 150}, top);
  HWND other = Make(WS_VISIBLE, RECT{0, 0, 40, 40}, top);
  SetFocus(other);
  POINT p = ScreenPoint(view, 5, 5);
  display::InjectKeyDown(VK_CONTROL);
  display::InjectWheel(p, -WHEEL_DELTA);
  display::InjectWheel(p, 2 * WHEEL_DELTA, true);
  display::InjectKeyUp(VK_CONTROL);
  Pump();
  auto wheel = Of(view, WM_MOUSEWHEEL);
  ASSERT_EQ(wheel.size(), 1u) << "the window under the pointer scrolls, not the focused one";
  EXPECT_EQ(static_cast<int16_t>(HIWORD(wheel[0].wParam)), -WHEEL_DELTA);
  EXPECT_EQ(LOWORD(wheel[0].wParam), MK_CONTROL);
  EXPECT_EQ(Client(wheel[0].lParam), p);
  ASSERT_EQ(Of(view, WM_MOUSEHWHEEL).size(), 1u);
  EXPECT_EQ(static_cast<int16_t>(HIWORD(Of(view, WM_MOUSEHWHEEL)[0].wParam)), 2 * WHEEL_DELTA);
  EXPECT_TRUE(Sent(other, {WM_MOUSEWHEEL}).empty());
  EXPECT_EQ(Sent(top, {WM_MOUSEWHEEL}).size(), 1u) << "unhandled wheel goes up to the parent";

  // Off every window, the focused one scrolls.
  display::InjectWheel(POINT{500, 500}, WHEEL_DELTA);
  Pump();
  EXPECT_EQ(Of(other, WM_MOUSEWHEEL).size(), 1u);
}

TEST_F(InputTest, KeysCarryWindowsKeyDataAndTypeCharacters) {
  HWND w = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 50, 50});
  ASSERT_EQ(GetFocus(), w);
  struct Case {
    BYTE vk;
    bool shift;
    uint32_t ch;  // 0: no WM_CHAR
    BYTE scan;
    bool extended;
  } cases[] = {
      {'A', false, 'a', 0x1E, false},        {'A', true, 'A', 0x1E, false},
      {'1', true, '!', 0x02, false},         {VK_SPACE, false, ' ', 0x39, false},
      {VK_DECIMAL, false, '.', 0x53, false}, {VK_OEM_PERIOD, false, '.', 0x34, false},
      {VK_OEM_COMMA, true, '<', 0x33, false}, {VK_RETURN, false, 13, 0x1C, false},
      {VK_BACK, false, 8, 0x0E, false},      {VK_ESCAPE, false, 27, 0x01, false},
      {VK_DELETE, false, 0, 0x53, true},     {VK_LEFT, false, 0, 0x4B, true},
      {VK_F5, false, 0, 0x3F, false},        {VK_NUMPAD7, false, '7', 0x47, false},
  };
  for (const Case& c : cases) {
    ClearLog();
    if (c.shift) display::InjectKeyDown(VK_SHIFT);
    display::InjectKey(c.vk);
    if (c.shift) display::InjectKeyUp(VK_SHIFT);
    PumpTranslated();
    std::vector<Logged> keys;
    for (const Logged& l : log)
      if (l.window == w && (l.message == WM_KEYDOWN || l.message == WM_KEYUP || l.message == WM_CHAR) &&
          (l.message == WM_CHAR || l.wParam == c.vk))
        keys.push_back(l);
    std::vector<UINT> expected = {WM_KEYDOWN, WM_KEYUP};
    if (c.ch) expected.insert(expected.begin() + 1, WM_CHAR);
    std::vector<UINT> got;
    for (const Logged& l : keys) got.push_back(l.message);
    ASSERT_EQ(got, expected) << "vk " << int(c.vk);
    auto data = static_cast<uint32_t>(keys[0].lParam);
    EXPECT_EQ(data & 0xFFFF, 1u);
    EXPECT_EQ((data >> 16) & 0xFF, c.scan) << "vk " << int(c.vk);
    EXPECT_EQ(((data >> 24) & 1) != 0, c.extended);
    EXPECT_EQ(data >> 30, 0u) << "first press, going down";
    EXPECT_EQ(static_cast<uint32_t>(keys.back().lParam) >> 30, 3u) << "key up: was down, going up";
    if (c.ch) {
      EXPECT_EQ(keys[1].wParam, c.ch);
      EXPECT_EQ(keys[1].lParam, keys[0].lParam) << "the character keeps the key data";
    }
  }
  // Bit 22 marks the keypad's decimal key, not the main one.
  ClearLog();
  display::InjectKey(VK_DECIMAL);
  display::InjectKey(VK_OEM_PERIOD);
  Pump();
  auto downs = Of(w, WM_KEYDOWN);
  ASSERT_EQ(downs.size(), 2u);
  EXPECT_TRUE(downs[0].lParam & (1 << 22));
  EXPECT_FALSE(downs[1].lParam & (1 << 22));
}

TEST_F(InputTest, KeyStateRepeatAltControlAndCapsLock) {
  HWND w = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 50, 50});
  int16_t shiftDuringKey = 0;
  handler = [&](HWND, UINT m, WPARAM wp, LPARAM) -> std::optional<LRESULT> {
    if (m == WM_KEYDOWN && wp == 'Q') shiftDuringKey = GetKeyState(VK_SHIFT);
    return std::nullopt;
  };
  display::InjectKeyDown(VK_SHIFT);
  display::InjectKey('Q');
  display::InjectKeyUp(VK_SHIFT);
  PumpTranslated();
  EXPECT_LT(shiftDuringKey, 0);
  EXPECT_GE(GetKeyState(VK_SHIFT), 0);
  // Auto-repeat: the second press says the key was down.
  ClearLog();
  display::InjectKeyDown('W');
  display::InjectKeyDown('W');
  display::InjectKeyUp('W');
  Pump();
  auto downs = Of(w, WM_KEYDOWN);
  ASSERT_EQ(downs.size(), 2u);
  EXPECT_FALSE(downs[0].lParam & (1 << 30));
  EXPECT_TRUE(downs[1].lParam & (1 << 30));
  // Alt makes system keys and characters; Ctrl makes control characters.
  ClearLog();
  display::InjectKeyDown(VK_MENU);
  display::InjectKey('F');
  display::InjectKeyUp(VK_MENU);
  display::InjectKeyDown(VK_CONTROL);
  display::InjectKey('C');
  display::InjectKeyUp(VK_CONTROL);
  PumpTranslated();
  auto sys = Of(w, WM_SYSKEYDOWN);
  ASSERT_GE(sys.size(), 2u);
  EXPECT_EQ(sys[1].wParam, static_cast<WPARAM>('F'));
  EXPECT_TRUE(sys[1].lParam & (1 << 29));
  ASSERT_EQ(Of(w, WM_SYSCHAR).size(), 1u);
  EXPECT_EQ(Of(w, WM_SYSCHAR)[0].wParam, static_cast<WPARAM>('f'));
  ASSERT_EQ(Of(w, WM_CHAR).size(), 1u);
  EXPECT_EQ(Of(w, WM_CHAR)[0].wParam, 3u);
  // Caps Lock toggles, and turns letters to capitals.
  ClearLog();
  display::InjectKey(VK_CAPITAL);
  PumpTranslated();
  EXPECT_EQ(GetKeyState(VK_CAPITAL) & 1, 1);
  display::InjectKey('Z');
  display::InjectKey(VK_CAPITAL);
  PumpTranslated();
  EXPECT_EQ(GetKeyState(VK_CAPITAL) & 1, 0);
  ASSERT_EQ(Of(w, WM_CHAR).size(), 1u);
  EXPECT_EQ(Of(w, WM_CHAR)[0].wParam, static_cast<WPARAM>('Z'));
  // Injected text arrives as characters, one per code point.
  ClearLog();
  display::InjectText("añ€😀");
  Pump();
  std::vector<WPARAM> chars;
  for (const Logged& l : Of(w, WM_CHAR)) chars.push_back(l.wParam);
  EXPECT_EQ(chars, (std::vector<WPARAM>{'a', 0xF1, 0x20AC, 0x1F600}));
  EXPECT_EQ(SendMessage(w, WM_GETDLGCODE, 0, 0), 0) << "a plain window asks for no keys";
}

TEST_F(InputTest, FocusAndActivationMessages) {
  HWND a = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 100, 100});
  HWND b = Make(WS_POPUP | WS_VISIBLE, RECT{200, 0, 300, 100});
  HWND bChild = Make(WS_VISIBLE, RECT{0, 0, 50, 50}, b);
  EXPECT_EQ(GetActiveWindow(), b);
  SetActiveWindow(a);
  ASSERT_EQ(GetFocus(), a);
  ClearLog();
  EXPECT_EQ(SetFocus(bChild), a);
  EXPECT_EQ(GetActiveWindow(), b);
  EXPECT_EQ(GetFocus(), bChild);
  auto deactivated = Of(a, WM_ACTIVATE);
  ASSERT_EQ(deactivated.size(), 1u);
  EXPECT_EQ(LOWORD(deactivated[0].wParam), WA_INACTIVE);
  EXPECT_EQ(deactivated[0].lParam, reinterpret_cast<LPARAM>(b));
  auto activated = Of(b, WM_ACTIVATE);
  ASSERT_EQ(activated.size(), 1u);
  EXPECT_EQ(LOWORD(activated[0].wParam), WA_ACTIVE);
  EXPECT_EQ(activated[0].lParam, reinterpret_cast<LPARAM>(a));
  auto setFocus = Of(bChild, WM_SETFOCUS);
  ASSERT_EQ(setFocus.size(), 1u);
  EXPECT_EQ(Of(a, WM_KILLFOCUS).size(), 1u);
  // A click activates the window clicked on, and keys follow the focus.
  ClearLog();
  display::InjectClick(ScreenPoint(a, 10, 10));
  Pump();
  EXPECT_EQ(GetActiveWindow(), a);
  EXPECT_EQ(LOWORD(Of(a, WM_ACTIVATE)[0].wParam), WA_CLICKACTIVE);
  EXPECT_EQ(GetFocus(), a);
  EXPECT_EQ(Of(bChild, WM_KILLFOCUS).size(), 1u);
  display::InjectKey('K');
  Pump();
  EXPECT_EQ(Of(a, WM_KEYDOWN).size(), 1u);
  EXPECT_TRUE(Of(bChild, WM_KEYDOWN).empty());
  SetForegroundWindow(b);
  EXPECT_EQ(GetForegroundWindow(), b);
}

TEST_F(InputTest, DisabledWindowsGetNoMouseInput) {
  HWND top = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 100, 100});
  EnableWindow(top, FALSE);
  ClearLog();
  display::InjectClick(ScreenPoint(top, 10, 10));
  Pump();
  EXPECT_TRUE(Sent(top, {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_SETCURSOR}).empty());
}

TEST_F(InputTest, CursorsComeFromTheClassOrTheParent) {
  EXPECT_NE(LoadCursor(nullptr, IDC_ARROW), nullptr);
  EXPECT_NE(LoadCursor(nullptr, IDC_ARROW), LoadCursor(nullptr, IDC_HAND));
  EXPECT_EQ(LoadCursor(nullptr, MAKEINTRESOURCE(1)), nullptr);
  EXPECT_EQ(LoadCursor(reinterpret_cast<HINSTANCE>(uintptr_t{1}), IDC_ARROW), nullptr);
  HWND top = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 100, 100});
  HWND edit = Make(WS_VISIBLE, RECT{0, 0, 50, 50}, top, 0, kLoggedDbl);
  display::InjectMouseMove(ScreenPoint(edit, 5, 5));
  Pump();
  EXPECT_EQ(GetCursor(), LoadCursor(nullptr, IDC_IBEAM));
  EXPECT_EQ(display::HeadlessCursorShape(), 32513);
  // A parent that answers WM_SETCURSOR decides for its children.
  handler = [&](HWND h, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (h == top && m == WM_SETCURSOR) {
      SetCursor(LoadCursor(nullptr, IDC_WAIT));
      return TRUE;
    }
    return std::nullopt;
  };
  display::InjectMouseMove(ScreenPoint(edit, 6, 6));
  Pump();
  EXPECT_EQ(GetCursor(), LoadCursor(nullptr, IDC_WAIT));
  EXPECT_EQ(display::HeadlessCursorShape(), 32514);
  POINT pos;
  GetCursorPos(&pos);
  EXPECT_EQ(pos, ScreenPoint(edit, 6, 6));
}

// Cursors of a module's resources: loaded once and shared, found by name or
// number under the type CURSOR only, and shown on the screen as pictures.
TEST_F(InputTest, CursorsLoadFromAModulesResources) {
  const HCURSOR hand = LoadCursor(HInstance, "MANO");
  ASSERT_NE(hand, nullptr);
  EXPECT_EQ(LoadCursor(HInstance, "mano"), hand);
  EXPECT_NE(LoadCursor(HInstance, "MOVE"), hand);
  EXPECT_EQ(LoadCursor(HInstance, "NO SUCH CURSOR"), nullptr);
  EXPECT_EQ(LoadCursor(HInstance, IDC_ARROW), nullptr) << "the standard cursors have a null instance";

  const TResourceData handBytes = ResourceBytes(FindResourceEntry(HInstance, "MANO", RT_CURSOR));
  static const uint8_t junk[] = "not a cursor";
  static const TResourceEntry entries[] = {
      {"CURSOR", "#7", handBytes.data, handBytes.data + handBytes.size},
      {"RCDATA", "DATA", handBytes.data, handBytes.data + handBytes.size},
      {"CURSOR", "JUNK", junk, junk + sizeof junk},
  };
  static const TResourceTable table{entries, std::size(entries)};
  const HINSTANCE module = ResourceModule(table);
  const HCURSOR numbered = LoadCursor(module, MAKEINTRESOURCE(7));
  ASSERT_NE(numbered, nullptr);
  EXPECT_NE(numbered, hand) << "each module's resource is a cursor of its own";
  EXPECT_EQ(LoadCursor(module, "DATA"), nullptr) << "another type";
  EXPECT_EQ(LoadCursor(module, "JUNK"), nullptr);
  EXPECT_EQ(LoadCursor(module, "JUNK"), nullptr) << "a failed load is not kept";

  SetCursor(numbered);
  EXPECT_EQ(GetCursor(), numbered);
  const display::CursorPicture* shown = display::HeadlessCursorPicture();
  ASSERT_NE(shown, nullptr);
  EXPECT_EQ(display::HeadlessCursorShape(), 0);
  EXPECT_EQ(shown->width, 32);
  EXPECT_EQ(shown->height, 32);
  EXPECT_EQ(shown->pixels.size(), size_t{32} * 32);
  EXPECT_EQ(shown->hotSpot, (POINT{8, 7}));
  SetCursor(LoadCursor(nullptr, IDC_ARROW));
  EXPECT_EQ(display::HeadlessCursorPicture(), nullptr);
  EXPECT_EQ(display::HeadlessCursorShape(), 32512);
}

TEST_F(InputTest, FileDropsGoToTheRegisteredHandler) {
  HWND top = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 100, 100});
  HWND target = Make(WS_VISIBLE, RECT{20, 20, 80, 80}, top);
  display::InjectFileDrop(ScreenPoint(target, 1, 1), {"/tmp/x.png"});  // no handler: ignored
  HWND gotWindow = nullptr;
  POINT gotPoint;
  std::vector<std::string> gotFiles;
  SetFileDropHandler([&](HWND w, POINT p, const std::vector<std::string>& files) {
    gotWindow = w;
    gotPoint = p;
    gotFiles = files;
  });
  POINT p = ScreenPoint(target, 5, 7);
  display::InjectFileDrop(p, {"/tmp/a b.png", "/tmp/c.tif"});
  EXPECT_EQ(gotWindow, target);
  EXPECT_EQ(gotPoint, p);
  EXPECT_EQ(gotFiles, (std::vector<std::string>{"/tmp/a b.png", "/tmp/c.tif"}));
  SetFileDropHandler(nullptr);
}

}  // namespace

namespace {

// A panel that is dragged by a band at its top and sized by its bottom-right corner.
TEST_F(InputTest, CaptionAndCornerPressesMoveAndSizeTheWindow) {
  HWND top = Make(WS_POPUP | WS_VISIBLE, RECT{100, 100, 500, 400});
  HWND panel = Make(WS_VISIBLE, RECT{10, 10, 110, 90}, top);
  std::vector<RECT> proposals;
  bool fixedWidth = false;
  handler = [&](HWND h, UINT m, WPARAM, LPARAM lp) -> std::optional<LRESULT> {
    if (h != panel) return std::nullopt;
    if (m == WM_NCHITTEST) {
      POINT p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
      ScreenToClient(panel, &p);
      if (p.y < 10) return HTCAPTION;
      if (p.x >= 90 && p.y >= 70) return HTBOTTOMRIGHT;
      return std::nullopt;
    }
    if (m == WM_MOVING || m == WM_SIZING) {
      auto* r = reinterpret_cast<RECT*>(lp);
      proposals.push_back(*r);
      if (m == WM_SIZING && fixedWidth) r->right = r->left + 100;
      return 0;
    }
    return std::nullopt;
  };
  auto placeInTop = [&] {
    RECT r;
    GetWindowRect(panel, &r);
    MapWindowPoints(nullptr, top, reinterpret_cast<POINT*>(&r), 2);
    return r;
  };
  display::InjectMouseMove(ScreenPoint(panel, 95, 75));
  Pump();
  EXPECT_EQ(GetCursor(), LoadCursor(nullptr, IDC_SIZENWSE)) << "the sizing corner shows its cursor";
  POINT grip = ScreenPoint(panel, 50, 5);
  display::InjectMouseDown(grip);
  display::InjectMouseMove(POINT{grip.x + 7, grip.y + 3});
  display::InjectMouseMove(POINT{grip.x + 20, grip.y + 30});
  display::InjectMouseUp(POINT{grip.x + 20, grip.y + 30});
  Pump();
  EXPECT_EQ(Sent(panel, {WM_ENTERSIZEMOVE, WM_MOVING, WM_EXITSIZEMOVE}),
            (std::vector<UINT>{WM_ENTERSIZEMOVE, WM_MOVING, WM_MOVING, WM_EXITSIZEMOVE}));
  ASSERT_EQ(proposals.size(), 2u);
  RECT first = proposals[0];
  MapWindowPoints(nullptr, top, reinterpret_cast<POINT*>(&first), 2);
  EXPECT_EQ(first, (RECT{17, 13, 117, 93})) << "proposed in screen coordinates";
  EXPECT_EQ(placeInTop(), (RECT{30, 40, 130, 120}));
  EXPECT_EQ(GetCapture(), nullptr);

  // The corner sizes; the handler may hold the width.
  fixedWidth = true;
  ClearLog();
  POINT corner = ScreenPoint(panel, 95, 75);
  display::InjectMouseDown(corner);
  display::InjectMouseMove(POINT{corner.x + 30, corner.y + 20});
  display::InjectMouseUp(POINT{corner.x + 30, corner.y + 20});
  Pump();
  auto sizing = Of(panel, WM_SIZING);
  ASSERT_EQ(sizing.size(), 1u);
  EXPECT_EQ(sizing[0].wParam, WMSZ_BOTTOMRIGHT);
  EXPECT_EQ(placeInTop(), (RECT{30, 40, 130, 140}));

  // Esc puts it back.
  ClearLog();
  grip = ScreenPoint(panel, 50, 5);
  display::InjectMouseDown(grip);
  display::InjectMouseMove(POINT{grip.x + 50, grip.y});
  display::InjectKey(VK_ESCAPE);
  display::InjectMouseUp(POINT{grip.x + 50, grip.y});
  Pump();
  EXPECT_EQ(placeInTop(), (RECT{30, 40, 130, 140}));
  EXPECT_EQ(Sent(panel, {WM_EXITSIZEMOVE}).size(), 1u);
}

}  // namespace

namespace {

// Input is routed when its turn comes: a capture taken while handling the
// press already holds for the moves queued behind it.
TEST_F(InputTest, QueuedInputFollowsACaptureTakenBeforeItsTurn) {
  HWND top = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 300, 100});
  HWND button = Make(WS_VISIBLE, RECT{10, 10, 60, 40}, top);
  HWND other = Make(WS_VISIBLE, RECT{200, 10, 290, 90}, top);
  handler = [&](HWND h, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (h == button && m == WM_LBUTTONDOWN) SetCapture(h);
    if (h == button && m == WM_LBUTTONUP) ReleaseCapture();
    return std::nullopt;
  };
  display::InjectMouseDown(ScreenPoint(button, 5, 5));
  display::InjectMouseMove(ScreenPoint(other, 5, 5));
  display::InjectMouseUp(ScreenPoint(other, 5, 5));
  display::InjectMouseMove(ScreenPoint(other, 6, 6));
  Pump();
  EXPECT_EQ(Sent(button, {WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONUP}),
            (std::vector<UINT>{WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONUP}));
  EXPECT_EQ(Sent(other, {WM_MOUSEMOVE, WM_LBUTTONUP}), (std::vector<UINT>{WM_MOUSEMOVE})) << "after the release";
}

}  // namespace
