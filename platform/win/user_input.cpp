// Input: the sink the display feeds, mouse routing, capture and tracking,
// double clicks, the keyboard state and key messages, focus and
// activation, cursors and file drops.
//
// Sections: key table; state; routing of mouse input; keyboard input; the
// display sink; capture, tracking and cursors; keyboard state; focus and
// activation.
#include <algorithm>
#include <array>
#include <atomic>
#include <cstdlib>
#include <map>
#include <memory>

#include "platform/rtl/encoding.h"
#include "platform/rtl/resources.h"
#include "platform/win/picturedecode.h"
#include "platform/win/user_internal.h"

namespace user {

namespace {

// ------------------------------------------------------------------ key table ---

// A key: its scan code (set 1), whether it is an extended key, and what it
// types without and with Shift (0: nothing).
struct KeyInfo {
  BYTE scan = 0;
  bool extended = false;
  char plain = 0;
  char shifted = 0;
};

std::array<KeyInfo, 256> BuildKeyTable() {
  std::array<KeyInfo, 256> t{};
  auto row = [&](const char* keys, BYTE firstScan) {
    for (int i = 0; keys[i]; ++i) {
      char k = keys[i];
      t[static_cast<BYTE>(k)] = KeyInfo{static_cast<BYTE>(firstScan + i), false, static_cast<char>(k - 'A' + 'a'), k};
    }
  };
  row("QWERTYUIOP", 0x10);
  row("ASDFGHJKL", 0x1E);
  row("ZXCVBNM", 0x2C);
  const char* digits = "1234567890";
  const char* shiftedDigits = "!@#$%^&*()";
  for (int i = 0; i < 10; ++i)
    t[static_cast<BYTE>(digits[i])] = KeyInfo{static_cast<BYTE>(0x02 + i), false, digits[i], shiftedDigits[i]};
  struct Entry {
    BYTE vk;
    KeyInfo info;
  };
  const Entry others[] = {
      {VK_ESCAPE, {0x01, false, 27, 27}},    {VK_OEM_MINUS, {0x0C, false, '-', '_'}},
      {VK_OEM_PLUS, {0x0D, false, '=', '+'}}, {VK_BACK, {0x0E, false, 8, 8}},
      {VK_TAB, {0x0F, false, 9, 9}},          {VK_OEM_4, {0x1A, false, '[', '{'}},
      {VK_OEM_6, {0x1B, false, ']', '}'}},    {VK_RETURN, {0x1C, false, 13, 13}},
      {VK_CONTROL, {0x1D, false, 0, 0}},      {VK_OEM_1, {0x27, false, ';', ':'}},
      {VK_OEM_7, {0x28, false, '\'', '"'}},   {VK_OEM_3, {0x29, false, '`', '~'}},
      {VK_SHIFT, {0x2A, false, 0, 0}},        {VK_OEM_5, {0x2B, false, '\\', '|'}},
      {VK_OEM_COMMA, {0x33, false, ',', '<'}}, {VK_OEM_PERIOD, {0x34, false, '.', '>'}},
      {VK_OEM_2, {0x35, false, '/', '?'}},    {VK_MULTIPLY, {0x37, false, '*', '*'}},
      {VK_MENU, {0x38, false, 0, 0}},         {VK_SPACE, {0x39, false, ' ', ' '}},
      {VK_CAPITAL, {0x3A, false, 0, 0}},      {VK_NUMLOCK, {0x45, false, 0, 0}},
      {VK_SCROLL, {0x46, false, 0, 0}},       {VK_NUMPAD7, {0x47, false, '7', '7'}},
      {VK_NUMPAD8, {0x48, false, '8', '8'}},  {VK_NUMPAD9, {0x49, false, '9', '9'}},
      {VK_SUBTRACT, {0x4A, false, '-', '-'}}, {VK_NUMPAD4, {0x4B, false, '4', '4'}},
      {VK_NUMPAD5, {0x4C, false, '5', '5'}},  {VK_NUMPAD6, {0x4D, false, '6', '6'}},
      {VK_ADD, {0x4E, false, '+', '+'}},      {VK_NUMPAD1, {0x4F, false, '1', '1'}},
      {VK_NUMPAD2, {0x50, false, '2', '2'}},  {VK_NUMPAD3, {0x51, false, '3', '3'}},
      {VK_NUMPAD0, {0x52, false, '0', '0'}},  {VK_DECIMAL, {0x53, false, '.', '.'}},
      {VK_OEM_102, {0x56, false, '<', '>'}},  {VK_F11, {0x57, false, 0, 0}},
      {VK_F12, {0x58, false, 0, 0}},          {VK_HOME, {0x47, true, 0, 0}},
      {VK_UP, {0x48, true, 0, 0}},            {VK_PRIOR, {0x49, true, 0, 0}},
      {VK_LEFT, {0x4B, true, 0, 0}},          {VK_RIGHT, {0x4D, true, 0, 0}},
      {VK_END, {0x4F, true, 0, 0}},           {VK_DOWN, {0x50, true, 0, 0}},
      {VK_NEXT, {0x51, true, 0, 0}},          {VK_INSERT, {0x52, true, 0, 0}},
      {VK_DELETE, {0x53, true, 0, 0}},        {VK_DIVIDE, {0x35, true, '/', '/'}},
      {VK_LWIN, {0x5B, true, 0, 0}},          {VK_RWIN, {0x5C, true, 0, 0}},
      {VK_APPS, {0x5D, true, 0, 0}},
  };
  for (const Entry& e : others) t[e.vk] = e.info;
  for (int i = 0; i < 10; ++i) t[VK_F1 + i] = KeyInfo{static_cast<BYTE>(0x3B + i), false, 0, 0};
  return t;
}

const std::array<KeyInfo, 256>& Keys() {
  static const std::array<KeyInfo, 256> table = BuildKeyTable();
  return table;
}

// ---------------------------------------------------------------------- state ---

// Per virtual key: 0x80 down, 0x01 toggled. The async state changes as input
// arrives; the queue state as its messages are retrieved (GetKeyState,
// characters), so handlers see the keys as they were when their message came.
using KeyStates = std::array<std::atomic<uint8_t>, 256>;
KeyStates asyncState{};
KeyStates queueState{};
std::atomic<int32_t> cursorX{0}, cursorY{0};

HWND tracked = nullptr;  // TME_LEAVE
HCURSOR currentCursor = nullptr;
FileDropHandler dropHandler;

struct LastPress {
  HWND window = nullptr;
  display::MouseButton button = display::MouseButton::Left;
  DWORD time = 0;
  POINT point;
  bool valid = false;
} lastPress;

bool Down(BYTE vk, const KeyStates& states = asyncState) { return (states[vk] & 0x80) != 0; }

void SetKey(KeyStates& states, BYTE vk, bool down) {
  uint8_t s = states[vk];
  if (down && !(s & 0x80)) s ^= 0x01;
  s = down ? (s | 0x80) : (s & ~0x80);
  states[vk] = s;
}

// Mouse-message key bits as the queue state has them.
WPARAM MouseKeyState() {
  WPARAM k = 0;
  if (Down(VK_LBUTTON, queueState)) k |= MK_LBUTTON;
  if (Down(VK_RBUTTON, queueState)) k |= MK_RBUTTON;
  if (Down(VK_MBUTTON, queueState)) k |= MK_MBUTTON;
  if (Down(VK_SHIFT, queueState)) k |= MK_SHIFT;
  if (Down(VK_CONTROL, queueState)) k |= MK_CONTROL;
  return k;
}

LPARAM PackPoint(POINT p) { return MAKELPARAM(static_cast<WORD>(p.x), static_cast<WORD>(p.y)); }

void Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  PostToQueue(MSG{window, message, wParam, lParam, GetClockTime(), CursorPosition()}, true);
}

// ------------------------------------------------------ routing at retrieval ---
//
// Input waits in the queue as it came; it becomes messages when its turn
// comes, so that it goes where the messages before it left things (a capture
// taken, the focus moved, a window activated), as on Windows.

struct Target {
  HWND window = nullptr;
  LRESULT hit = HTNOWHERE;
};

// Where mouse input at `screen` goes: the capture window, else the window
// under the point with its hit-test code.
Target MouseTarget(POINT screen) {
  if (HWND c = S().capture; c && IsWindow(c)) return Target{c, HTCLIENT};
  HWND w = WindowFromPoint(screen);
  if (!w) return {};
  return Target{w, SendMessage(w, WM_NCHITTEST, 0, PackPoint(screen))};
}

// Ends TME_LEAVE tracking; the WM_MOUSELEAVE goes to `out`.
void LeaveTracked(std::vector<MSG>& out, const RawInput& in) {
  if (!tracked) return;
  HWND h = tracked;
  tracked = nullptr;
  if (IsWindow(h)) out.push_back(MSG{h, WM_MOUSELEAVE, 0, 0, in.time, in.screen});
}

UINT ButtonMessage(display::MouseButton b, bool down, bool doubleClick, bool client) {
  static constexpr UINT kClient[3][3] = {{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK},
                                         {WM_RBUTTONDOWN, WM_RBUTTONUP, WM_RBUTTONDBLCLK},
                                         {WM_MBUTTONDOWN, WM_MBUTTONUP, WM_MBUTTONDBLCLK}};
  UINT m = kClient[static_cast<int>(b)][doubleClick ? 2 : down ? 0 : 1];
  // Non-client messages lie at the same distance below WM_NCMOUSEMOVE as client ones below WM_MOUSEMOVE.
  return client ? m : m - WM_MOUSEMOVE + WM_NCMOUSEMOVE;
}

BYTE ButtonKey(display::MouseButton b) {
  return b == display::MouseButton::Left ? VK_LBUTTON : b == display::MouseButton::Right ? VK_RBUTTON : VK_MBUTTON;
}

bool IsDoubleClick(HWND window, display::MouseButton button, POINT screen, DWORD now) {
  Window* w = Find(window);
  bool wants = w && (w->cls->style & CS_DBLCLKS);
  bool near = std::abs(screen.x - lastPress.point.x) <= GetSystemMetrics(SM_CXDOUBLECLK) / 2 &&
              std::abs(screen.y - lastPress.point.y) <= GetSystemMetrics(SM_CYDOUBLECLK) / 2;
  bool isDouble = wants && lastPress.valid && lastPress.window == window && lastPress.button == button && near &&
                  now - lastPress.time <= GetDoubleClickTime();
  // A double click starts a new pair; otherwise this press is the first of one.
  lastPress = LastPress{window, button, now, screen, !isDouble};
  return isDouble;
}

// Activates the top-level window clicked on; false when the click is to be eaten.
bool ActivateOnClick(HWND window, LRESULT hit, UINT message) {
  Window* top = TopLevelOf(Find(window));
  if (!top || top->handle == S().active || (top->exStyle & WS_EX_NOACTIVATE)) return true;
  LRESULT r = SendMessage(window, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(top->handle),
                          MAKELPARAM(static_cast<WORD>(hit), static_cast<WORD>(message)));
  if ((r == MA_ACTIVATE || r == MA_ACTIVATEANDEAT) && IsWindow(top->handle) && IsWindowEnabled(top->handle))
    SetActiveWindow(top->handle);
  return r != MA_ACTIVATEANDEAT && r != MA_NOACTIVATEANDEAT;
}

// A mouse message for the target: client coordinates and key bits in the
// client area, screen coordinates and the hit code outside it.
MSG MouseMessage(const Target& t, UINT clientMessage, UINT frameMessage, const RawInput& in) {
  if (t.hit == HTCLIENT) {
    POINT p = in.screen;
    ScreenToClient(t.window, &p);
    return MSG{t.window, clientMessage, MouseKeyState(), PackPoint(p), in.time, in.screen};
  }
  return MSG{t.window, frameMessage, static_cast<WPARAM>(t.hit), PackPoint(in.screen), in.time, in.screen};
}

void CookMove(const RawInput& in, std::vector<MSG>& out) {
  Target t = MouseTarget(in.screen);
  if (tracked && (t.window != tracked || t.hit != HTCLIENT)) LeaveTracked(out, in);
  if (!t.window || !IsWindowEnabled(t.window)) return;
  if (!S().capture)
    SendMessage(t.window, WM_SETCURSOR, reinterpret_cast<WPARAM>(t.window),
                MAKELPARAM(static_cast<WORD>(t.hit), static_cast<WORD>(WM_MOUSEMOVE)));
  if (IsWindow(t.window)) out.push_back(MouseMessage(t, WM_MOUSEMOVE, WM_NCMOUSEMOVE, in));
}

void CookButton(const RawInput& in, std::vector<MSG>& out) {
  SetKey(queueState, ButtonKey(in.button), in.down);
  Target t = MouseTarget(in.screen);
  if (!t.window || !IsWindowEnabled(t.window)) return;
  bool client = t.hit == HTCLIENT;
  if (in.down && !S().capture && !ActivateOnClick(t.window, t.hit, ButtonMessage(in.button, true, false, client)))
    return;
  if (!IsWindow(t.window)) return;
  bool dbl = in.down && IsDoubleClick(t.window, in.button, in.screen, in.time);
  out.push_back(MouseMessage(t, ButtonMessage(in.button, in.down, dbl, true), ButtonMessage(in.button, in.down, dbl, false), in));
}

void CookWheel(const RawInput& in, std::vector<MSG>& out) {
  // The control under the pointer scrolls; with the pointer off every window, the focused one.
  HWND target = WindowFromPoint(in.screen);
  if (!target) target = S().focus;
  if (!target || !IsWindowEnabled(target)) return;
  WPARAM wp = MAKEWPARAM(static_cast<WORD>(MouseKeyState()), static_cast<WORD>(static_cast<int16_t>(in.delta)));
  out.push_back(MSG{target, in.horizontal ? WM_MOUSEHWHEEL : WM_MOUSEWHEEL, wp, PackPoint(in.screen), in.time, in.screen});
}

HWND KeyTarget() { return S().focus ? S().focus : S().active; }

void CookKey(const RawInput& in, std::vector<MSG>& out) {
  SetKey(queueState, in.vk, in.down);
  HWND target = KeyTarget();
  if (!target) return;
  bool alt = Down(VK_MENU, queueState);
  bool sys = (alt && !Down(VK_CONTROL, queueState)) || in.vk == VK_MENU || in.vk == VK_F10 || !S().focus;
  UINT message = in.down ? (sys ? WM_SYSKEYDOWN : WM_KEYDOWN) : (sys ? WM_SYSKEYUP : WM_KEYUP);
  const KeyInfo& k = Keys()[in.vk];
  uint32_t data = 1u | (uint32_t{k.scan} << 16);
  if (k.extended) data |= 1u << 24;
  if (alt) data |= 1u << 29;
  if (in.wasDown || !in.down) data |= 1u << 30;
  if (!in.down) data |= 1u << 31;
  out.push_back(MSG{target, message, in.vk, static_cast<LPARAM>(static_cast<int32_t>(data)), in.time, in.screen});
}

void CookChar(const RawInput& in, std::vector<MSG>& out) {
  if (HWND target = KeyTarget()) out.push_back(MSG{target, WM_CHAR, in.ch, 1, in.time, in.screen});
}

// The program's main window: the first made of the visible top-level windows that no other owns.
HWND MainWindow() {
  HWND best = nullptr;
  for (HWND t : S().topLevels) {
    Window* w = Find(t);
    if (!w || w->owner || !IsShown(*w) || (w->exStyle & WS_EX_TOOLWINDOW)) continue;
    if (!best || reinterpret_cast<uintptr_t>(t) < reinterpret_cast<uintptr_t>(best)) best = t;
  }
  return best;
}

// An asked end closes the main window as its close button does; with none, the loop ends.
void CookQuit(const RawInput& in, std::vector<MSG>& out) {
  if (HWND main = MainWindow())
    out.push_back(MSG{main, WM_SYSCOMMAND, SC_CLOSE, 0, in.time, in.screen});
  else
    PostQuitMessage(0);
}

// ----------------------------------------------------------- arrival of input ---

void Arrived(RawInput in) {
  in.time = GetClockTime();
  PostRawInput(in);
}

void MovedTo(POINT screen) {
  cursorX = screen.x;
  cursorY = screen.y;
}

// ------------------------------------------------------------ the display sink ---

HWND FromKey(display::WindowKey key) {
  HWND h = reinterpret_cast<HWND>(key);
  return IsWindow(h) ? h : nullptr;
}

class Sink : public display::InputSink {
public:
  void MouseMove(POINT screen) override {
    MovedTo(screen);
    Arrived(RawInput{RawInput::Kind::Move, {}, false, screen});
  }
  void MouseButtonEvent(display::MouseButton button, bool down, POINT screen) override {
    MovedTo(screen);
    SetKey(asyncState, ButtonKey(button), down);
    Arrived(RawInput{RawInput::Kind::Button, button, down, screen});
  }
  void MouseWheel(int delta, bool horizontal, POINT screen) override {
    MovedTo(screen);
    RawInput in{RawInput::Kind::Wheel, {}, false, screen};
    in.delta = delta;
    in.horizontal = horizontal;
    Arrived(in);
  }
  void MouseLeftScreen() override { Arrived(RawInput{RawInput::Kind::Leave, {}, false, CursorPosition()}); }
  void Key(uint8_t virtualKey, bool down) override {
    RawInput in{RawInput::Kind::Key, {}, down, CursorPosition()};
    in.vk = virtualKey;
    in.wasDown = Down(virtualKey);
    SetKey(asyncState, virtualKey, down);
    Arrived(in);
  }
  void Text(const std::string& utf8) override {
    for (size_t pos = 0; pos < utf8.size();) {
      RawInput in{RawInput::Kind::Char, {}, false, CursorPosition()};
      in.ch = NextUtf8Char(utf8, pos);
      Arrived(in);
    }
  }
  void FilesDropped(POINT screen, const std::vector<std::string>& files) override {
    if (!dropHandler) return;
    if (HWND w = WindowFromPoint(screen)) dropHandler(w, screen, files);
  }
  void CloseRequested(display::WindowKey window) override {
    if (HWND h = FromKey(window)) PostMessage(h, WM_SYSCOMMAND, SC_CLOSE, 0);
  }
  void WindowMoved(display::WindowKey window, POINT topLeft) override {
    if (HWND h = FromKey(window))
      SetWindowPos(h, nullptr, topLeft.x, topLeft.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  void WindowActivated(display::WindowKey window) override {
    if (HWND h = FromKey(window); h && IsWindowEnabled(h)) SetActiveWindow(h);
  }
  void WindowResized(display::WindowKey window, SIZE size) override {
    if (HWND h = FromKey(window))
      SetWindowPos(h, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  void WindowExposed(display::WindowKey window) override {
    if (Window* w = Find(FromKey(window))) MarkPresent(*w);
    WakeQueue();
  }
  void ApplicationDeactivated() override {
    // Menus and drop-downs close as their windows lose the keyboard; capture ends.
    if (HWND c = S().capture) SendMessage(c, WM_CANCELMODE, 0, 0);
    if (S().capture) ReleaseCapture();
    SetActiveWindow(nullptr);
  }
  void QuitRequested() override { PostRawInput(RawInput{RawInput::Kind::Quit, {}, false, CursorPosition()}); }
  // No window can ask the user anything now: the loop ends at once.
  void DisplayLost() override { PostQuitMessage(1); }
  display::WindowPart PartAt(display::WindowKey window, POINT screen) override {
    HWND h = FromKey(window);
    Window* w = Find(h);
    if (!w || (w->style & WS_DISABLED)) return display::WindowPart::Client;
    return PartOfHit(SendMessage(h, WM_NCHITTEST, 0, MAKELPARAM(static_cast<WORD>(screen.x), static_cast<WORD>(screen.y))));
  }

private:
  static display::WindowPart PartOfHit(LRESULT hit) {
    using display::WindowPart;
    switch (hit) {
      case HTCAPTION: return WindowPart::Caption;
      case HTLEFT: return WindowPart::Left;
      case HTRIGHT: return WindowPart::Right;
      case HTTOP: return WindowPart::Top;
      case HTBOTTOM: return WindowPart::Bottom;
      case HTTOPLEFT: return WindowPart::TopLeft;
      case HTTOPRIGHT: return WindowPart::TopRight;
      case HTBOTTOMLEFT: return WindowPart::BottomLeft;
      case HTBOTTOMRIGHT: return WindowPart::BottomRight;
      default: return WindowPart::Client;
    }
  }
};

struct StandardCursor {
  int id;
};
// The standard cursors (IDC_*); their handles point here.
StandardCursor standardCursors[] = {
    {32512}, {32513}, {32514}, {32515}, {32516}, {32640}, {32641}, {32642},
    {32643}, {32644}, {32645}, {32646}, {32648}, {32649}, {32650}, {32651}};

const StandardCursor* AsStandard(HCURSOR c) {
  auto* p = reinterpret_cast<const StandardCursor*>(c);
  for (const StandardCursor& s : standardCursors)
    if (&s == p) return p;
  return nullptr;
}

// Cursors loaded from resources, by resource; their handles point at the pictures.
std::map<const TResourceEntry*, std::unique_ptr<display::CursorPicture>> resourceCursors;

const display::CursorPicture* AsPicture(HCURSOR c) {
  for (const auto& [entry, picture] : resourceCursors)
    if (reinterpret_cast<HCURSOR>(picture.get()) == c) return picture.get();
  return nullptr;
}

HCURSOR ResourceCursor(HINSTANCE instance, const char* name) {
  const TResourceName resource = IS_INTRESOURCE(name)
                                     ? TResourceName(static_cast<int>(reinterpret_cast<uintptr_t>(name)))
                                     : TResourceName(name);
  const TResourceEntry* entry = FindResourceEntry(instance, resource, TResourceName(RT_CURSOR));
  if (!entry) return nullptr;
  std::unique_ptr<display::CursorPicture>& picture = resourceCursors[entry];
  if (!picture) {
    const TResourceData bytes = ResourceBytes(entry);
    DecodedIcon cursor;
    if (!DecodeIconFile(bytes.data, bytes.size, kCursorFileType, cursor)) {
      resourceCursors.erase(entry);
      return nullptr;
    }
    picture = std::make_unique<display::CursorPicture>(display::CursorPicture{
        cursor.picture.width, cursor.picture.height, POINT{cursor.hotSpotX, cursor.hotSpotY},
        std::move(cursor.picture.pixels)});
  }
  return reinterpret_cast<HCURSOR>(picture.get());
}

// Focus and activation after `window` went away or was hidden.
HWND NextToActivate(HWND leaving) {
  Window* w = Find(leaving);
  if (w && w->owner && IsWindowVisible(w->owner) && IsWindowEnabled(w->owner)) return w->owner;
  for (HWND t : S().topLevels) {
    if (t == leaving) continue;
    Window* o = Find(t);
    if (o && o->owner != leaving && IsShown(*o) && !(o->style & WS_DISABLED) && !o->destroying) return t;
  }
  return nullptr;
}

bool IsSelfOrChild(HWND parent, HWND h) { return h && (h == parent || IsChild(parent, h)); }

}  // namespace

POINT CursorPosition() { return POINT{cursorX.load(), cursorY.load()}; }

std::vector<MSG> CookInput(const RawInput& in) {
  std::vector<MSG> out;
  switch (in.kind) {
    case RawInput::Kind::Move:
      CookMove(in, out);
      break;
    case RawInput::Kind::Button:
      CookButton(in, out);
      break;
    case RawInput::Kind::Wheel:
      CookWheel(in, out);
      break;
    case RawInput::Kind::Leave:
      LeaveTracked(out, in);
      break;
    case RawInput::Kind::Key:
      CookKey(in, out);
      break;
    case RawInput::Kind::Char:
      CookChar(in, out);
      break;
    case RawInput::Kind::Quit:
      CookQuit(in, out);
      break;
  }
  return out;
}

uint32_t CharOfKey(BYTE vk) {
  bool ctrl = Down(VK_CONTROL, queueState), alt = Down(VK_MENU, queueState);
  if (ctrl && alt) return 0;
  if (ctrl) {
    if (vk >= 'A' && vk <= 'Z') return vk - 'A' + 1u;
    if (vk == VK_OEM_4) return 27;
    if (vk == VK_OEM_5) return 28;
    if (vk == VK_OEM_6) return 29;
    if (vk == VK_RETURN) return 10;
    if (vk == VK_BACK) return 127;
    return 0;
  }
  const KeyInfo& k = Keys()[vk];
  bool shift = Down(VK_SHIFT, queueState);
  if (vk >= 'A' && vk <= 'Z') shift = shift != ((queueState[VK_CAPITAL] & 0x01) != 0);
  return static_cast<unsigned char>(shift ? k.shifted : k.plain);
}

display::Backend& Display() {
  static Sink sink;
  display::Backend& b = display::ActiveBackend();
  if (b.Sink() != &sink) b.SetSink(&sink);
  return b;
}

namespace {

// What a top-level window is to the window system, from its styles: pop-ups
// without a caption that stay out of the task bar are menus and drop-downs
// (hints, which the mouse passes through, are tooltips); owned windows and
// those a modal loop runs on are dialogs.
display::WindowShape ShapeOf(const Window& w) {
  display::WindowShape shape;
  shape.resizable = (w.style & WS_THICKFRAME) != 0;
  const bool bare = (w.style & WS_POPUP) && (w.style & WS_CAPTION) != WS_CAPTION;
  if (bare && (w.exStyle & WS_EX_TOOLWINDOW)) {
    shape.kind = (w.exStyle & WS_EX_TRANSPARENT) ? display::WindowKind::Tooltip : display::WindowKind::PopupMenu;
    return shape;
  }
  if (HWND owner = w.modalFor ? w.modalFor : w.owner) {
    shape.kind = display::WindowKind::Dialog;
    shape.owner = reinterpret_cast<display::WindowKey>(owner);
  }
  return shape;
}

}  // namespace

void DisplayWindowChanged(Window& w) {
  if (w.parent) return;
  auto key = reinterpret_cast<display::WindowKey>(w.handle);
  bool shown = (w.style & WS_VISIBLE) != 0;
  if (shown && !w.onDisplay) {
    Display().ShowWindow(key, w.rect, w.text, ShapeOf(w));
    w.onDisplay = true;
    w.knownToDisplay = true;
    w.needsPresent = true;
  } else if (!shown && w.onDisplay) {
    Display().HideWindow(key);
    w.onDisplay = false;
  } else if (shown) {
    Display().MoveWindow(key, w.rect);
    w.needsPresent = true;
  }
}

void DisplayWindowReshaped(Window& w) {
  if (w.parent || !w.onDisplay) return;
  Display().ShowWindow(reinterpret_cast<display::WindowKey>(w.handle), w.rect, w.text, ShapeOf(w));
}

void DisplayWindowGone(Window& w) {
  if (w.parent || !w.knownToDisplay) return;
  Display().DestroyWindow(reinterpret_cast<display::WindowKey>(w.handle));
  w.onDisplay = false;
  w.knownToDisplay = false;
}

void ForgetWindowInput(HWND window) {
  State& s = S();
  if (IsSelfOrChild(window, s.capture)) {
    HWND old = s.capture;
    s.capture = nullptr;
    SendMessage(old, WM_CAPTURECHANGED, 0, 0);
  }
  if (IsSelfOrChild(window, tracked)) tracked = nullptr;
  if (IsSelfOrChild(window, lastPress.window)) lastPress.valid = false;
  if (s.active == window) SetActiveWindow(NextToActivate(window));
  if (IsSelfOrChild(window, s.focus)) {
    // A pop-up that had the keyboard without being active gives it back to the active window.
    HWND back = s.active;
    SetFocus(back && !IsSelfOrChild(window, back) && IsWindowVisible(back) ? back : nullptr);
  }
  ForgetCaret(window);
}

}  // namespace user

using namespace user;

// ------------------------------------------------ capture, tracking and cursors ---

HWND SetCapture(HWND window) {
  if (!IsWindow(window)) return nullptr;
  HWND old = S().capture;
  S().capture = window;
  if (old && old != window) SendMessage(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(window));
  return old;
}

BOOL ReleaseCapture() {
  HWND old = S().capture;
  S().capture = nullptr;
  if (old) SendMessage(old, WM_CAPTURECHANGED, 0, 0);
  return TRUE;
}

HWND GetCapture() { return S().capture; }

BOOL TrackMouseEvent(TRACKMOUSEEVENT* track) {
  if (!track || track->cbSize != sizeof(TRACKMOUSEEVENT)) return FALSE;
  if (track->dwFlags & TME_QUERY) {
    *track = TRACKMOUSEEVENT{sizeof(TRACKMOUSEEVENT), tracked ? TME_LEAVE : 0u, tracked, 0};
    return TRUE;
  }
  if (track->dwFlags & TME_CANCEL) {
    if ((track->dwFlags & TME_LEAVE) && tracked == track->hwndTrack) tracked = nullptr;
    return TRUE;
  }
  if (!(track->dwFlags & TME_LEAVE)) return TRUE;
  if (!IsWindow(track->hwndTrack)) return FALSE;
  POINT p = CursorPosition();
  bool over = WindowFromPoint(p) == track->hwndTrack &&
              SendMessage(track->hwndTrack, WM_NCHITTEST, 0, MAKELPARAM(static_cast<WORD>(p.x), static_cast<WORD>(p.y))) == HTCLIENT;
  if (over) {
    if (tracked && tracked != track->hwndTrack) Post(tracked, WM_MOUSELEAVE, 0, 0);
    tracked = track->hwndTrack;
  } else {
    Post(track->hwndTrack, WM_MOUSELEAVE, 0, 0);
  }
  return TRUE;
}

BOOL GetCursorPos(POINT* point) {
  if (!point) return FALSE;
  *point = CursorPosition();
  return TRUE;
}

UINT GetDoubleClickTime() { return 500; }

HCURSOR LoadCursor(HINSTANCE instance, const char* name) {
  if (instance) return ResourceCursor(instance, name);
  if (!IS_INTRESOURCE(name)) return nullptr;
  int id = static_cast<int>(reinterpret_cast<uintptr_t>(name));
  for (StandardCursor& c : standardCursors)
    if (c.id == id) return reinterpret_cast<HCURSOR>(&c);
  return nullptr;
}

HCURSOR SetCursor(HCURSOR cursor) {
  HCURSOR old = currentCursor;
  currentCursor = cursor;
  if (const StandardCursor* s = AsStandard(cursor)) Display().SetCursorShape(s->id);
  else if (const display::CursorPicture* picture = AsPicture(cursor)) Display().SetCursorPicture(*picture);
  return old;
}

HCURSOR GetCursor() { return currentCursor; }

void SetFileDropHandler(FileDropHandler handler) { dropHandler = std::move(handler); }

// ------------------------------------------------------------- keyboard state ---

int16_t GetKeyState(int virtualKey) {
  uint8_t s = queueState[static_cast<BYTE>(virtualKey)];
  return static_cast<int16_t>(((s & 0x80) ? 0x8000 : 0) | (s & 0x01));
}

int16_t GetAsyncKeyState(int virtualKey) {
  return static_cast<int16_t>((asyncState[static_cast<BYTE>(virtualKey)] & 0x80) ? 0x8000 : 0);
}

// ------------------------------------------------------- focus and activation ---

HWND SetFocus(HWND window) {
  State& s = S();
  HWND old = s.focus;
  const HWND before = old;
  if (window) {
    Window* w = Find(window);
    if (!w) return nullptr;
    if (window == old) return old;
    Window* top = TopLevelOf(w);
    // Menus and drop-downs take the keyboard and leave the active window active.
    if (top->handle != s.active && !(top->exStyle & WS_EX_NOACTIVATE)) SetActiveWindow(top->handle);
    if (!IsWindow(window)) return nullptr;
    old = s.focus;
    if (window == old) return old;
  }
  if (old && IsWindow(old)) {
    SendMessage(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(window), 0);
    if (s.focus != old) return before;  // the handler moved the focus itself
  }
  s.focus = window;
  if (window && IsWindow(window)) SendMessage(window, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
  return before;
}

HWND GetFocus() { return S().focus; }

HWND SetActiveWindow(HWND window) {
  State& s = S();
  if (window) {
    Window* w = TopLevelOf(Find(window));
    if (!w) return nullptr;
    window = w->handle;
  }
  HWND old = s.active;
  if (window == old) return old;
  s.active = window;
  if (Window* o = Find(old)) {
    o->frameDirty = true;
    SendMessage(old, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), reinterpret_cast<LPARAM>(window));
  }
  if (!window) {
    if (s.focus) SetFocus(nullptr);
    return old;
  }
  Window* w = Find(window);
  if (!w || s.active != window) return old;
  w->frameDirty = true;
  w->activeBefore = old;
  // The active window comes to the front (behind topmost windows).
  auto& list = s.topLevels;
  list.erase(std::remove(list.begin(), list.end(), window), list.end());
  list.insert(list.begin(), window);
  std::stable_partition(list.begin(), list.end(), [](HWND h) {
    Window* t = Find(h);
    return t && (t->exStyle & WS_EX_TOPMOST);
  });
  if (w->onDisplay) Display().Raise(reinterpret_cast<display::WindowKey>(window));
  bool clicked = Down(VK_LBUTTON, queueState) || Down(VK_RBUTTON, queueState) || Down(VK_MBUTTON, queueState);
  WORD state = clicked ? WA_CLICKACTIVE : WA_ACTIVE;
  SendMessage(window, WM_ACTIVATE, MAKEWPARAM(state, 0), reinterpret_cast<LPARAM>(old));
  return old;
}

HWND GetActiveWindow() { return S().active; }

BOOL SetForegroundWindow(HWND window) {
  if (!IsWindow(window)) return FALSE;
  SetActiveWindow(window);
  return TRUE;
}

HWND GetForegroundWindow() { return S().active; }
