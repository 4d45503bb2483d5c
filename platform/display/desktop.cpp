// The desktop back end: one SDL2 window per top-level window, undecorated
// (the layer draws frames and captions; SDL's hit test hands moving and
// sizing to the window manager). Its surface is copied to the SDL window on
// present; SDL's mouse, keyboard, text, drop, window and quit events go to
// the input sink in screen coordinates.
//
// When the X server goes away, Xlib calls its I/O error handler and ends the
// process when that returns; every later call on the broken connection would
// wait for replies that never come. The handler here notes the loss, and
// when it breaks into the wait for events it jumps back out of it so that
// the message loop ends; the back end never touches the window system again.
#include <SDL.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <atomic>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

#include "platform/display/display.h"
#include "platform/win/winuser_consts.h"

namespace display {

namespace {

// SDL scan codes to Windows virtual keys, for the keys that are not letters or digits.
struct KeyMapping {
  SDL_Scancode scan;
  uint8_t vk;
};
constexpr KeyMapping kKeys[] = {
    {SDL_SCANCODE_RETURN, VK_RETURN},       {SDL_SCANCODE_ESCAPE, VK_ESCAPE},
    {SDL_SCANCODE_BACKSPACE, VK_BACK},      {SDL_SCANCODE_TAB, VK_TAB},
    {SDL_SCANCODE_SPACE, VK_SPACE},         {SDL_SCANCODE_MINUS, VK_OEM_MINUS},
    {SDL_SCANCODE_EQUALS, VK_OEM_PLUS},     {SDL_SCANCODE_LEFTBRACKET, VK_OEM_4},
    {SDL_SCANCODE_RIGHTBRACKET, VK_OEM_6},  {SDL_SCANCODE_BACKSLASH, VK_OEM_5},
    {SDL_SCANCODE_SEMICOLON, VK_OEM_1},     {SDL_SCANCODE_APOSTROPHE, VK_OEM_7},
    {SDL_SCANCODE_GRAVE, VK_OEM_3},         {SDL_SCANCODE_COMMA, VK_OEM_COMMA},
    {SDL_SCANCODE_PERIOD, VK_OEM_PERIOD},   {SDL_SCANCODE_SLASH, VK_OEM_2},
    {SDL_SCANCODE_NONUSBACKSLASH, VK_OEM_102}, {SDL_SCANCODE_CAPSLOCK, VK_CAPITAL},
    {SDL_SCANCODE_PRINTSCREEN, VK_SNAPSHOT}, {SDL_SCANCODE_SCROLLLOCK, VK_SCROLL},
    {SDL_SCANCODE_PAUSE, VK_PAUSE},         {SDL_SCANCODE_INSERT, VK_INSERT},
    {SDL_SCANCODE_HOME, VK_HOME},           {SDL_SCANCODE_PAGEUP, VK_PRIOR},
    {SDL_SCANCODE_DELETE, VK_DELETE},       {SDL_SCANCODE_END, VK_END},
    {SDL_SCANCODE_PAGEDOWN, VK_NEXT},       {SDL_SCANCODE_RIGHT, VK_RIGHT},
    {SDL_SCANCODE_LEFT, VK_LEFT},           {SDL_SCANCODE_DOWN, VK_DOWN},
    {SDL_SCANCODE_UP, VK_UP},               {SDL_SCANCODE_NUMLOCKCLEAR, VK_NUMLOCK},
    {SDL_SCANCODE_KP_DIVIDE, VK_DIVIDE},    {SDL_SCANCODE_KP_MULTIPLY, VK_MULTIPLY},
    {SDL_SCANCODE_KP_MINUS, VK_SUBTRACT},   {SDL_SCANCODE_KP_PLUS, VK_ADD},
    {SDL_SCANCODE_KP_ENTER, VK_RETURN},     {SDL_SCANCODE_KP_PERIOD, VK_DECIMAL},
    {SDL_SCANCODE_KP_0, VK_NUMPAD0},        {SDL_SCANCODE_KP_1, VK_NUMPAD1},
    {SDL_SCANCODE_KP_2, VK_NUMPAD2},        {SDL_SCANCODE_KP_3, VK_NUMPAD3},
    {SDL_SCANCODE_KP_4, VK_NUMPAD4},        {SDL_SCANCODE_KP_5, VK_NUMPAD5},
    {SDL_SCANCODE_KP_6, VK_NUMPAD6},        {SDL_SCANCODE_KP_7, VK_NUMPAD7},
    {SDL_SCANCODE_KP_8, VK_NUMPAD8},        {SDL_SCANCODE_KP_9, VK_NUMPAD9},
    {SDL_SCANCODE_APPLICATION, VK_APPS},    {SDL_SCANCODE_LCTRL, VK_CONTROL},
    {SDL_SCANCODE_RCTRL, VK_CONTROL},       {SDL_SCANCODE_LSHIFT, VK_SHIFT},
    {SDL_SCANCODE_RSHIFT, VK_SHIFT},        {SDL_SCANCODE_LALT, VK_MENU},
    {SDL_SCANCODE_LGUI, VK_LWIN},
    {SDL_SCANCODE_RGUI, VK_RWIN},
};

uint8_t VirtualKey(SDL_Scancode sc) {
  // Letters follow the keyboard layout (Z and Y swap places on some), the rest their position.
  SDL_Keycode key = SDL_GetKeyFromScancode(sc);
  if (key >= SDLK_a && key <= SDLK_z) return static_cast<uint8_t>('A' + (key - SDLK_a));
  if (sc >= SDL_SCANCODE_A && sc <= SDL_SCANCODE_Z) return 0;
  if (sc >= SDL_SCANCODE_1 && sc <= SDL_SCANCODE_9) return static_cast<uint8_t>('1' + (sc - SDL_SCANCODE_1));
  if (sc == SDL_SCANCODE_0) return '0';
  if (sc >= SDL_SCANCODE_F1 && sc <= SDL_SCANCODE_F12) return static_cast<uint8_t>(VK_F1 + (sc - SDL_SCANCODE_F1));
  for (const auto& k : kKeys)
    if (k.scan == sc) return k.vk;
  return 0;
}

struct CursorMapping {
  int id;
  SDL_SystemCursor cursor;
};
constexpr CursorMapping kCursors[] = {
    {32512, SDL_SYSTEM_CURSOR_ARROW},    {32513, SDL_SYSTEM_CURSOR_IBEAM},  {32514, SDL_SYSTEM_CURSOR_WAIT},
    {32515, SDL_SYSTEM_CURSOR_CROSSHAIR}, {32642, SDL_SYSTEM_CURSOR_SIZENWSE}, {32643, SDL_SYSTEM_CURSOR_SIZENESW},
    {32644, SDL_SYSTEM_CURSOR_SIZEWE},   {32645, SDL_SYSTEM_CURSOR_SIZENS}, {32646, SDL_SYSTEM_CURSOR_SIZEALL},
    {32640, SDL_SYSTEM_CURSOR_SIZEALL},  {32648, SDL_SYSTEM_CURSOR_NO},     {32649, SDL_SYSTEM_CURSOR_HAND},
    {32650, SDL_SYSTEM_CURSOR_WAITARROW},
};

// Only text that no key press produces comes from SDL's text events: the
// window layer makes characters of plain keys itself, but not of non-ASCII
// characters nor of keys pressed with AltGr (Ctrl+Alt to Windows).
bool TypedByLayerAlone(const char* s) {
  if (SDL_GetModState() & KMOD_RALT) return false;
  for (; *s; ++s)
    if (static_cast<unsigned char>(*s) >= 0x80) return false;
  return true;
}

// SDL window flags of a window kind. Every kind is undecorated: the layer draws the frames.
Uint32 FlagsOf(const WindowShape& shape) {
  Uint32 flags = SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS;
  switch (shape.kind) {
    case WindowKind::PopupMenu:
      return flags | SDL_WINDOW_POPUP_MENU | SDL_WINDOW_SKIP_TASKBAR | SDL_WINDOW_ALWAYS_ON_TOP;
    case WindowKind::Tooltip:
      return flags | SDL_WINDOW_TOOLTIP | SDL_WINDOW_SKIP_TASKBAR | SDL_WINDOW_ALWAYS_ON_TOP;
    case WindowKind::Normal:
    case WindowKind::Dialog:
      break;
  }
  return shape.resizable ? flags | SDL_WINDOW_RESIZABLE : flags;
}

// ---- losing the display

std::atomic<bool> displayLost{false};
// Armed only while the GUI thread waits in SDL for events: between there
// and the handler lie SDL's and Xlib's C frames alone.
sigjmp_buf* armedWait = nullptr;

int DisplayLostHandler(Display* display) {
  if (!displayLost.exchange(true)) {
    const char* name = display ? DisplayString(display) : nullptr;
    std::fprintf(stderr, "The connection to the display %s was lost; the program ends.\n", name ? name : "");
  }
  if (sigjmp_buf* wait = armedWait) {
    armedWait = nullptr;
    siglongjmp(*wait, 1);
  }
  return 0;  // elsewhere Xlib ends the process, and the back end's destruction leaves X alone
}

// Leaves the wait disarmed while our own code runs inside it (callbacks).
struct Disarm {
  sigjmp_buf* saved = armedWait;
  Disarm() { armedWait = nullptr; }
  ~Disarm() { armedWait = saved; }
};

bool IsPopupKind(WindowKind kind) { return kind == WindowKind::PopupMenu || kind == WindowKind::Tooltip; }

SDL_HitTestResult HitResult(WindowPart part) {
  switch (part) {
    case WindowPart::Caption: return SDL_HITTEST_DRAGGABLE;
    case WindowPart::Left: return SDL_HITTEST_RESIZE_LEFT;
    case WindowPart::Right: return SDL_HITTEST_RESIZE_RIGHT;
    case WindowPart::Top: return SDL_HITTEST_RESIZE_TOP;
    case WindowPart::Bottom: return SDL_HITTEST_RESIZE_BOTTOM;
    case WindowPart::TopLeft: return SDL_HITTEST_RESIZE_TOPLEFT;
    case WindowPart::TopRight: return SDL_HITTEST_RESIZE_TOPRIGHT;
    case WindowPart::BottomLeft: return SDL_HITTEST_RESIZE_BOTTOMLEFT;
    case WindowPart::BottomRight: return SDL_HITTEST_RESIZE_BOTTOMRIGHT;
    case WindowPart::Client: break;
  }
  return SDL_HITTEST_NORMAL;
}

class DesktopBackend : public Backend {
public:
  DesktopBackend() : wakeEvent_(SDL_RegisterEvents(1)) {}
  ~DesktopBackend() override {
    if (displayLost) return;  // no call may reach the broken connection
    for (auto& [key, w] : windows_) SDL_DestroyWindow(w.window);
    for (auto& [id, c] : cursors_) SDL_FreeCursor(c);
    for (auto& [picture, c] : pictureCursors_) SDL_FreeCursor(c);
    SDL_Quit();
  }
  const char* Name() const override { return "desktop"; }

  void ShowWindow(WindowKey key, const RECT& r, const std::string& title, const WindowShape& shape) override {
    if (displayLost) return;
    Entry* e = Find(key);
    if (e && FlagsOf(e->shape) != FlagsOf(shape)) {
      DestroyWindow(key);  // a window changing kind is made again
      e = nullptr;
    }
    if (!e) {
      SDL_Window* w = SDL_CreateWindow(title.c_str(), r.left, r.top, Width(r), Height(r), FlagsOf(shape));
      if (!w) return;
      e = &windows_[key];
      e->window = w;
      e->shape = shape;
      e->rect = r;
      if (!IsPopupKind(shape.kind)) SDL_SetWindowHitTest(w, &DesktopBackend::HitTest, this);
    } else {
      // Shown again: it takes what the layer has now.
      SDL_SetWindowTitle(e->window, title.c_str());
      Place(*e, r);
    }
    e->shape = shape;
    if (Entry* owner = Find(shape.owner); owner && shape.kind == WindowKind::Dialog)
      SDL_SetWindowModalFor(e->window, owner->window);
    SDL_ShowWindow(e->window);
  }
  void HideWindow(WindowKey key) override {
    if (Entry* e = Find(key)) SDL_HideWindow(e->window);
  }
  void DestroyWindow(WindowKey key) override {
    if (displayLost) return;
    auto it = windows_.find(key);
    if (it == windows_.end()) return;
    SDL_DestroyWindow(it->second.window);
    windows_.erase(it);
  }
  void Minimize(WindowKey key) override {
    if (Entry* e = Find(key)) SDL_MinimizeWindow(e->window);
  }
  void MoveWindow(WindowKey key, const RECT& r) override {
    if (Entry* e = Find(key)) Place(*e, r);
  }
  void SetTitle(WindowKey key, const std::string& title) override {
    if (Entry* e = Find(key)) SDL_SetWindowTitle(e->window, title.c_str());
  }
  void Raise(WindowKey key) override {
    Entry* e = Find(key);
    if (e && !IsPopupKind(e->shape.kind)) SDL_RaiseWindow(e->window);
  }
  void Present(WindowKey key, const Surface& s) override {
    Entry* e = Find(key);
    if (!e) return;
    SDL_Surface* target = SDL_GetWindowSurface(e->window);
    if (!target) return;
    int w = std::min(target->w, s.width), h = std::min(target->h, s.height);
    SDL_Surface* src = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint32_t*>(s.pixels.data()), s.width, s.height,
                                                          32, s.width * 4, SDL_PIXELFORMAT_ARGB8888);
    if (!src) return;
    // The surface's pixels replace what was there; nothing is blended.
    SDL_SetSurfaceBlendMode(src, SDL_BLENDMODE_NONE);
    SDL_Rect area{0, 0, w, h};
    SDL_BlitSurface(src, &area, target, &area);
    SDL_FreeSurface(src);
    SDL_UpdateWindowSurface(e->window);
  }
  void SetCursorShape(int cursorId) override {
    if (displayLost) return;
    for (const auto& c : kCursors) {
      if (c.id != cursorId) continue;
      SDL_Cursor*& cursor = cursors_[cursorId];
      if (!cursor) cursor = SDL_CreateSystemCursor(c.cursor);
      if (cursor) SDL_SetCursor(cursor);
      return;
    }
  }
  void SetCursorPicture(const CursorPicture& picture) override {
    SDL_Cursor*& cursor = pictureCursors_[&picture];
    if (!cursor) cursor = ColorCursor(picture);
    if (cursor) SDL_SetCursor(cursor);
  }

  // Once the display is lost the window layer's own queue wait serves.
  bool NeedsPumping() const override { return !displayLost; }
  void PumpEvents(int timeoutMs) override {
    SDL_Event ev;
    if (!NextEvent(ev, timeoutMs)) return;
    focusLost_ = focusGained_ = false;
    do Handle(ev);
    while (NextEvent(ev, 0));
    // The keyboard went to another program, not to another of our windows.
    if (focusLost_ && !focusGained_ && !OwnsKeyboardFocus())
      if (InputSink* sink = Sink()) sink->ApplicationDeactivated();
  }
  void Wake() override {
    if (displayLost) return;
    SDL_Event ev{};
    ev.type = wakeEvent_;
    SDL_PushEvent(&ev);
  }

  std::vector<Monitor> Monitors() override {
    std::vector<Monitor> out;
    int n = SDL_GetNumVideoDisplays();
    for (int i = 0; i < n; ++i) {
      SDL_Rect b, u;
      if (SDL_GetDisplayBounds(i, &b) != 0) continue;
      if (SDL_GetDisplayUsableBounds(i, &u) != 0) u = b;
      out.push_back(Monitor{ToRect(b), ToRect(u), i == 0});
    }
    if (out.empty()) out.push_back(Monitor{RECT{0, 0, 1024, 768}, RECT{0, 0, 1024, 768}, true});
    return out;
  }
  void SetClipboardText(const std::string& utf8) override {
    if (!displayLost) SDL_SetClipboardText(utf8.c_str());
  }
  std::optional<std::string> ClipboardText() override {
    if (displayLost || !SDL_HasClipboardText()) return std::nullopt;
    char* t = SDL_GetClipboardText();
    if (!t) return std::nullopt;
    std::string s = t;
    SDL_free(t);
    return s;
  }
  void Beep() override {}

private:
  // The next event, waiting up to `timeoutMs` (negative: without limit);
  // false when none came or the display was lost, which the sink is told.
  bool NextEvent(SDL_Event& ev, int timeoutMs) {
    if (displayLost) return false;
    sigjmp_buf wait;
    if (sigsetjmp(wait, 0)) {
      if (InputSink* sink = Sink()) sink->DisplayLost();
      return false;
    }
    armedWait = &wait;
    const int got = timeoutMs < 0 ? SDL_WaitEvent(&ev) : timeoutMs == 0 ? SDL_PollEvent(&ev)
                                                                       : SDL_WaitEventTimeout(&ev, timeoutMs);
    armedWait = nullptr;
    return got != 0;
  }

  struct Entry {
    SDL_Window* window = nullptr;
    WindowShape shape;
    RECT rect;
  };
  static int Width(const RECT& r) { return std::max<int>(1, r.right - r.left); }
  static int Height(const RECT& r) { return std::max<int>(1, r.bottom - r.top); }
  static RECT ToRect(const SDL_Rect& r) { return RECT{r.x, r.y, r.x + r.w, r.y + r.h}; }

  // Moves and sizes the SDL window where it differs from what the layer asks.
  static void Place(Entry& e, const RECT& r) {
    int x = 0, y = 0, w = 0, h = 0;
    SDL_GetWindowPosition(e.window, &x, &y);
    SDL_GetWindowSize(e.window, &w, &h);
    e.rect = r;
    if (x != r.left || y != r.top) SDL_SetWindowPosition(e.window, r.left, r.top);
    if (w != Width(r) || h != Height(r)) SDL_SetWindowSize(e.window, Width(r), Height(r));
  }

  static SDL_HitTestResult SDLCALL HitTest(SDL_Window* window, const SDL_Point* area, void* data) {
    auto* self = static_cast<DesktopBackend*>(data);
    const Disarm ours;
    WindowKey key = 0;
    Entry* e = self->FromWindow(window, &key);
    InputSink* sink = self->Sink();
    if (!e || !sink) return SDL_HITTEST_NORMAL;
    return HitResult(sink->PartAt(key, POINT{e->rect.left + area->x, e->rect.top + area->y}));
  }

  bool OwnsKeyboardFocus() {
    SDL_Window* focus = SDL_GetKeyboardFocus();
    return focus && FromWindow(focus, nullptr);
  }

  // No window is found once the display is lost: nothing reaches it.
  Entry* Find(WindowKey key) {
    if (displayLost) return nullptr;
    auto it = windows_.find(key);
    return it == windows_.end() ? nullptr : &it->second;
  }
  Entry* FromWindow(SDL_Window* w, WindowKey* key) {
    for (auto& [k, e] : windows_)
      if (e.window == w) {
        if (key) *key = k;
        return &e;
      }
    return nullptr;
  }
  // The window of an SDL window id, with its key.
  Entry* FromId(Uint32 id, WindowKey* key) { return FromWindow(SDL_GetWindowFromID(id), key); }
  POINT ToScreen(Uint32 id, int x, int y) {
    Entry* e = FromId(id, nullptr);
    return e ? POINT{e->rect.left + x, e->rect.top + y} : POINT{x, y};
  }
  static MouseButton Button(Uint8 b) {
    return b == SDL_BUTTON_RIGHT ? MouseButton::Right : b == SDL_BUTTON_MIDDLE ? MouseButton::Middle : MouseButton::Left;
  }

  void Handle(const SDL_Event& ev) {
    InputSink* sink = Sink();
    if (!sink || ev.type == wakeEvent_) return;
    switch (ev.type) {
      case SDL_QUIT:
        sink->QuitRequested();
        break;
      case SDL_MOUSEMOTION:
        last_ = ToScreen(ev.motion.windowID, ev.motion.x, ev.motion.y);
        sink->MouseMove(last_);
        break;
      case SDL_MOUSEBUTTONDOWN:
      case SDL_MOUSEBUTTONUP:
        last_ = ToScreen(ev.button.windowID, ev.button.x, ev.button.y);
        sink->MouseButtonEvent(Button(ev.button.button), ev.type == SDL_MOUSEBUTTONDOWN, last_);
        break;
      case SDL_MOUSEWHEEL: {
        int sign = ev.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -1 : 1;
        if (ev.wheel.y) sink->MouseWheel(sign * ev.wheel.y * WHEEL_DELTA, false, last_);
        if (ev.wheel.x) sink->MouseWheel(sign * ev.wheel.x * WHEEL_DELTA, true, last_);
        break;
      }
      case SDL_KEYDOWN:
      case SDL_KEYUP:
        if (ev.key.keysym.scancode == SDL_SCANCODE_RALT) {
          // AltGr is Ctrl+Alt to Windows programs.
          sink->Key(VK_CONTROL, ev.type == SDL_KEYDOWN);
          sink->Key(VK_MENU, ev.type == SDL_KEYDOWN);
        } else if (uint8_t vk = VirtualKey(ev.key.keysym.scancode)) {
          sink->Key(vk, ev.type == SDL_KEYDOWN);
        }
        break;
      case SDL_TEXTINPUT:
        if (!TypedByLayerAlone(ev.text.text)) sink->Text(ev.text.text);
        break;
      case SDL_DROPBEGIN:
        dropped_.clear();
        break;
      case SDL_DROPFILE:
        if (ev.drop.file) {
          dropped_.emplace_back(ev.drop.file);
          SDL_free(ev.drop.file);
        }
        break;
      case SDL_DROPCOMPLETE:
        // The files dropped together arrive as one drop.
        if (!dropped_.empty()) {
          int x = 0, y = 0;
          SDL_GetGlobalMouseState(&x, &y);
          std::vector<std::string> files;
          files.swap(dropped_);
          sink->FilesDropped(POINT{x, y}, files);
        }
        break;
      case SDL_WINDOWEVENT:
        HandleWindowEvent(ev.window, *sink);
        break;
      default:
        break;
    }
  }

  void HandleWindowEvent(const SDL_WindowEvent& we, InputSink& sink) {
    WindowKey key = 0;
    Entry* e = FromId(we.windowID, &key);
    if (!e) return;
    switch (we.event) {
      case SDL_WINDOWEVENT_CLOSE:
        sink.CloseRequested(key);
        break;
      case SDL_WINDOWEVENT_MOVED:
        if (we.data1 != e->rect.left || we.data2 != e->rect.top) {
          e->rect = RECT{we.data1, we.data2, we.data1 + Width(e->rect), we.data2 + Height(e->rect)};
          sink.WindowMoved(key, POINT{we.data1, we.data2});
        }
        break;
      case SDL_WINDOWEVENT_SIZE_CHANGED:
        if (we.data1 != Width(e->rect) || we.data2 != Height(e->rect)) {
          e->rect.right = e->rect.left + we.data1;
          e->rect.bottom = e->rect.top + we.data2;
          sink.WindowResized(key, SIZE{we.data1, we.data2});
        }
        break;
      case SDL_WINDOWEVENT_EXPOSED:
        sink.WindowExposed(key);
        break;
      case SDL_WINDOWEVENT_FOCUS_GAINED:
        focusGained_ = true;
        sink.WindowActivated(key);
        break;
      case SDL_WINDOWEVENT_FOCUS_LOST:
        focusLost_ = true;
        break;
      case SDL_WINDOWEVENT_LEAVE:
        sink.MouseLeftScreen();
        break;
      default:
        break;
    }
  }

  // SDL copies the pixels into a cursor of its own.
  static SDL_Cursor* ColorCursor(const CursorPicture& picture) {
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint32_t*>(picture.pixels.data()),
                                                              picture.width, picture.height, 32, picture.width * 4,
                                                              SDL_PIXELFORMAT_ARGB8888);
    if (!surface) return nullptr;
    SDL_Cursor* cursor = SDL_CreateColorCursor(surface, picture.hotSpot.x, picture.hotSpot.y);
    SDL_FreeSurface(surface);
    return cursor;
  }

  Uint32 wakeEvent_;
  std::map<WindowKey, Entry> windows_;
  std::map<int, SDL_Cursor*> cursors_;
  std::map<const CursorPicture*, SDL_Cursor*> pictureCursors_;
  std::vector<std::string> dropped_;
  bool focusLost_ = false, focusGained_ = false;
  POINT last_;
};

}  // namespace

}  // namespace display

// The entry the display layer looks up when it loads this back end: a new
// desktop back end, or null when no desktop can be opened.
extern "C" __attribute__((visibility("default"))) display::Backend* VeskCreateDesktopBackend() {
  using namespace display;
  // Surfaces are copied by the processor: no GL renderer (and its threads) behind the window surface.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  // Pop-up menus and tooltips are X11 window kinds: under X, take its driver unless told otherwise.
  const char* x = std::getenv("DISPLAY");
  if (x && *x && !std::getenv("SDL_VIDEODRIVER")) SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return nullptr;
  if (const char* driver = SDL_GetCurrentVideoDriver(); driver && !std::strcmp(driver, "x11"))
    XSetIOErrorHandler(&DisplayLostHandler);
  SDL_EventState(SDL_DROPFILE, SDL_ENABLE);
  return new DesktopBackend();
}
