// Windows: the handle table, classes, creation and destruction, geometry,
// styles, text, z-order and the default window procedure.
//
// Sections: state and lookup; geometry; classes; creation and destruction;
// relations; window data; position, size, z-order and visibility; text;
// coordinates and hit testing; the default procedure.
#include <algorithm>
#include <cstring>
#include <unistd.h>

#include "platform/rtl/sysutils.h"
#include "platform/win/user_internal.h"

namespace user {

// ------------------------------------------------------ state and lookup ---

State& S() {
  static State state;
  return state;
}

Window* Find(HWND window) {
  if (!window) return nullptr;
  State& s = S();
  std::lock_guard lock(s.tableMutex);
  auto it = s.windows.find(window);
  return it == s.windows.end() ? nullptr : it->second.get();
}

std::string Lower(const std::string& text) { return LowerCase(text); }

// ---------------------------------------------------------------- geometry ---

RECT FrameInsets(const Window& w) {
  int b = 0;
  if (w.style & WS_THICKFRAME)
    b = GetSystemMetrics(SM_CXFRAME);
  else if ((w.style & WS_DLGFRAME) || (w.exStyle & WS_EX_DLGMODALFRAME))
    b = GetSystemMetrics(SM_CXFIXEDFRAME);
  else if (w.style & WS_BORDER)
    b = GetSystemMetrics(SM_CXBORDER);
  if (w.exStyle & WS_EX_CLIENTEDGE) b += GetSystemMetrics(SM_CXEDGE);
  if (w.exStyle & WS_EX_STATICEDGE) b += GetSystemMetrics(SM_CXBORDER);
  int caption = (w.style & WS_CAPTION) == WS_CAPTION ? GetSystemMetrics(SM_CYCAPTION) : 0;
  int vscroll = (w.style & WS_VSCROLL) ? GetSystemMetrics(SM_CXVSCROLL) : 0;
  int hscroll = (w.style & WS_HSCROLL) ? GetSystemMetrics(SM_CYHSCROLL) : 0;
  return RECT{b, b + caption, b + vscroll, b + hscroll};
}

RECT ClientInWindow(const Window& w) {
  RECT ins = FrameInsets(w);
  int width = w.rect.right - w.rect.left, height = w.rect.bottom - w.rect.top;
  RECT r{ins.left, ins.top, std::max<LONG>(ins.left, width - ins.right), std::max<LONG>(ins.top, height - ins.bottom)};
  return r;
}

RECT CaptionButtonRect(const Window& w, LRESULT button) {
  if ((w.style & WS_CAPTION) != WS_CAPTION || !(w.style & WS_SYSMENU)) return RECT{};
  // Right to left: close, maximise, minimise; each only where the style asks it.
  const LRESULT order[] = {HTCLOSE, HTMAXBUTTON, HTMINBUTTON};
  const DWORD wanted[] = {WS_SYSMENU, WS_MAXIMIZEBOX, WS_MINIMIZEBOX};
  RECT ins = FrameInsets(w);
  int border = ins.left;
  if (w.exStyle & WS_EX_CLIENTEDGE) border -= GetSystemMetrics(SM_CXEDGE);
  const int height = GetSystemMetrics(SM_CYCAPTION) - 4;
  const int width = GetSystemMetrics(SM_CXSIZE);
  int right = (w.rect.right - w.rect.left) - border - 2;
  for (int i = 0; i < 3; ++i) {
    if (!(w.style & wanted[i])) continue;
    RECT r{right - width, border + 2, right, border + 2 + height};
    if (order[i] == button) return r;
    right = r.left - 2;
  }
  return RECT{};
}

POINT WindowOriginOnScreen(const Window& w) {
  if (Window* p = Find(w.parent)) {
    POINT o = ClientOriginOnScreen(*p);
    return POINT{o.x + w.rect.left, o.y + w.rect.top};
  }
  return POINT{w.rect.left, w.rect.top};
}

POINT ClientOriginOnScreen(const Window& w) {
  POINT o = WindowOriginOnScreen(w);
  RECT c = ClientInWindow(w);
  return POINT{o.x + c.left, o.y + c.top};
}

Window* TopLevelOf(Window* w) {
  while (w && w->parent) w = Find(w->parent);
  return w;
}

POINT WindowOriginInSurface(const Window& w) {
  Window* p = Find(w.parent);
  if (!p) return POINT{0, 0};
  POINT o = WindowOriginInSurface(*p);
  RECT c = ClientInWindow(*p);
  return POINT{o.x + c.left + w.rect.left, o.y + c.top + w.rect.top};
}

RECT VisibleInSurface(const Window& w, bool wholeWindow) {
  POINT o = WindowOriginInSurface(w);
  RECT r;
  if (wholeWindow) {
    r = RECT{0, 0, w.rect.right - w.rect.left, w.rect.bottom - w.rect.top};
  } else {
    r = ClientInWindow(w);
  }
  OffsetRect(&r, o.x, o.y);
  for (Window* p = Find(w.parent); p; p = Find(p->parent)) {
    RECT pc = ClientInWindow(*p);
    POINT po = WindowOriginInSurface(*p);
    OffsetRect(&pc, po.x, po.y);
    IntersectRect(&r, &r, &pc);
  }
  if (Window* top = TopLevelOf(const_cast<Window*>(&w)); top && top->surface) {
    RECT bounds{0, 0, top->surface->width, top->surface->height};
    IntersectRect(&r, &r, &bounds);
  }
  return r;
}

bool IsShown(const Window& w) {
  for (const Window* p = &w; p; p = Find(p->parent))
    if (!(p->style & WS_VISIBLE)) return false;
  return true;
}

namespace {

bool IsTopLevel(const Window& w) { return !w.parent; }

// The list that holds the window and its siblings, front first.
std::vector<HWND>& Siblings(const Window& w) {
  if (Window* p = Find(w.parent)) return p->children;
  return S().topLevels;
}

void Unlink(Window& w) {
  auto& list = Siblings(w);
  list.erase(std::remove(list.begin(), list.end(), w.handle), list.end());
}

// Topmost top-level windows stay in front of the others.
void KeepTopmostFirst() {
  auto& list = S().topLevels;
  std::stable_partition(list.begin(), list.end(), [](HWND h) {
    Window* w = Find(h);
    return w && (w->exStyle & WS_EX_TOPMOST);
  });
}

void PlaceInZOrder(Window& w, HWND insertAfter) {
  Unlink(w);
  auto& list = Siblings(w);
  if (insertAfter == HWND_TOPMOST && IsTopLevel(w)) w.exStyle |= WS_EX_TOPMOST;
  if (insertAfter == HWND_NOTOPMOST && IsTopLevel(w)) w.exStyle &= ~WS_EX_TOPMOST;
  auto pos = list.begin();
  if (insertAfter == HWND_BOTTOM) {
    pos = list.end();
  } else if (insertAfter != HWND_TOP && insertAfter != HWND_TOPMOST && insertAfter != HWND_NOTOPMOST) {
    auto it = std::find(list.begin(), list.end(), insertAfter);
    if (it != list.end()) pos = it + 1;
  }
  list.insert(pos, w.handle);
  if (IsTopLevel(w)) KeepTopmostFirst();
}

SIZE ClientSize(const Window& w) {
  RECT c = ClientInWindow(w);
  return SIZE{c.right - c.left, c.bottom - c.top};
}

// The window's client origin relative to its parent's client area (screen for top-level windows).
POINT ClientOriginInParent(const Window& w) {
  RECT c = ClientInWindow(w);
  return POINT{w.rect.left + c.left, w.rect.top + c.top};
}

// Where a child was, for its parent to repaint.
void ExposeInParent(Window& w, const RECT& rectInParent) {
  if (Window* p = Find(w.parent)) Invalidate(*p, &rectInParent, true, true);
}

}  // namespace

}  // namespace user

using namespace user;

// ----------------------------------------------------------------- classes ---

ATOM RegisterClass(const WNDCLASS* wc) {
  if (!wc || !wc->lpszClassName || !*wc->lpszClassName || !wc->lpfnWndProc) return 0;
  if (wc->cbWndExtra < 0 || wc->cbClsExtra < 0 || wc->cbWndExtra > 4096) return 0;
  std::string key = Lower(wc->lpszClassName);
  auto& classes = S().classes;
  if (classes.count(key)) return 0;
  auto cls = std::make_shared<WindowClass>();
  cls->name = wc->lpszClassName;
  cls->style = wc->style;
  cls->proc = wc->lpfnWndProc;
  cls->clsExtra = wc->cbClsExtra;
  cls->wndExtra = wc->cbWndExtra;
  cls->instance = wc->hInstance;
  cls->icon = wc->hIcon;
  cls->cursor = wc->hCursor;
  cls->background = wc->hbrBackground;
  classes[key] = cls;
  return static_cast<ATOM>(0xC000 + classes.size());
}

BOOL UnregisterClass(const char* className, HINSTANCE) {
  if (!className) return FALSE;
  auto& classes = S().classes;
  auto it = classes.find(Lower(className));
  if (it == classes.end()) return FALSE;
  // Refused while windows of the class exist, as Windows does.
  if (it->second.use_count() > 1) return FALSE;
  classes.erase(it);
  return TRUE;
}

BOOL GetClassInfo(HINSTANCE, const char* className, WNDCLASS* wc) {
  if (!className || !wc) return FALSE;
  auto it = S().classes.find(Lower(className));
  if (it == S().classes.end()) return FALSE;
  const WindowClass& c = *it->second;
  *wc = WNDCLASS{c.style, c.proc, c.clsExtra, c.wndExtra, c.instance, c.icon, c.cursor, c.background, nullptr,
                 it->second->name.c_str()};
  return TRUE;
}

// ------------------------------------------------- creation and destruction ---

HWND CreateWindowEx(DWORD exStyle, const char* className, const char* windowName, DWORD style, int x, int y,
                    int width, int height, HWND parent, HMENU menu, HINSTANCE instance, void* param) {
  EnsureGuiThread();
  if (!className) return nullptr;
  auto found = S().classes.find(Lower(className));
  if (found == S().classes.end()) return nullptr;
  if (parent == HWND_MESSAGE) parent = nullptr;
  Window* parentWindow = Find(parent);
  if (parent && !parentWindow) return nullptr;
  bool child = (style & WS_CHILD) != 0;
  if (child && !parentWindow) return nullptr;
  if (!child) {
    if (x == CW_USEDEFAULT) x = y = 100;
    if (width == CW_USEDEFAULT) {
      width = 640;
      height = 480;
    }
  }
  width = std::max(width, 0);
  height = std::max(height, 0);

  auto w = std::make_unique<Window>();
  State& s = S();
  HWND h = reinterpret_cast<HWND>(s.nextHandle);
  s.nextHandle += 4;
  w->handle = h;
  w->cls = found->second;
  w->proc = found->second->proc;
  w->style = style & ~WS_VISIBLE;
  w->exStyle = exStyle;
  w->rect = RECT{x, y, x + width, y + height};
  w->instance = instance;
  w->extra.assign(static_cast<size_t>(found->second->wndExtra), 0);
  if (child) {
    w->parent = parent;
    w->id = static_cast<LONG_PTR>(reinterpret_cast<intptr_t>(menu));
  } else {
    Window* root = TopLevelOf(parentWindow);
    w->owner = root ? root->handle : nullptr;
    w->surface = std::make_unique<Surface>();
    w->surface->Resize(width, height);
  }
  Window* raw = w.get();
  {
    std::lock_guard lock(s.tableMutex);
    s.windows[h] = std::move(w);
  }
  PlaceInZOrder(*raw, HWND_TOP);

  CREATESTRUCT cs;
  cs.lpCreateParams = param;
  cs.hInstance = instance;
  cs.hMenu = menu;
  cs.hwndParent = parent;
  cs.cx = width;
  cs.cy = height;
  cs.x = x;
  cs.y = y;
  cs.style = static_cast<LONG>(style);
  cs.lpszName = windowName;
  cs.lpszClass = className;
  cs.dwExStyle = exStyle;
  if (!CallProc(h, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs)) || CallProc(h, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
    DestroyWindow(h);
    return nullptr;
  }
  Window* w2 = Find(h);
  if (!w2) return nullptr;
  SIZE size = ClientSize(*w2);
  POINT origin = ClientOriginInParent(*w2);
  CallProc(h, WM_SIZE, SIZE_RESTORED, MAKELPARAM(static_cast<WORD>(size.cx), static_cast<WORD>(size.cy)));
  CallProc(h, WM_MOVE, 0, MAKELPARAM(static_cast<WORD>(origin.x), static_cast<WORD>(origin.y)));
  if ((style & WS_VISIBLE) && Find(h)) ShowWindow(h, SW_SHOW);
  return Find(h) ? h : nullptr;
}

namespace {

void SendDestroy(HWND h) {
  CallProc(h, WM_DESTROY, 0, 0);
  Window* w = Find(h);
  if (!w) return;
  std::vector<HWND> children = w->children;
  for (HWND c : children)
    if (Find(c)) SendDestroy(c);
}

void FreeTree(HWND h) {
  Window* w = Find(h);
  if (!w) return;
  std::vector<HWND> children = w->children;
  for (HWND c : children) FreeTree(c);
  CallProc(h, WM_NCDESTROY, 0, 0);
  w = Find(h);
  if (!w) return;
  KillWindowTimers(h);
  DisplayWindowGone(*w);
  Unlink(*w);
  std::unique_ptr<Window> gone;
  {
    State& s = S();
    std::lock_guard lock(s.tableMutex);
    auto it = s.windows.find(h);
    gone = std::move(it->second);
    s.windows.erase(it);
  }
}

}  // namespace

BOOL DestroyWindow(HWND h) {
  Window* w = Find(h);
  if (!w || w->destroying) return FALSE;
  w->destroying = true;
  std::vector<HWND> owned;
  for (HWND t : S().topLevels)
    if (Window* o = Find(t); o && o->owner == h) owned.push_back(t);
  for (HWND o : owned) DestroyWindow(o);
  w = Find(h);
  if (!w) return TRUE;
  if (w->style & WS_VISIBLE) {
    w->style &= ~WS_VISIBLE;
    ExposeInParent(*w, w->rect);
    DisplayWindowChanged(*w);
  }
  ForgetWindowInput(h);
  SendDestroy(h);
  FreeTree(h);
  return TRUE;
}

// --------------------------------------------------------------- relations ---

BOOL IsWindow(HWND h) { return Find(h) != nullptr; }

BOOL IsWindowVisible(HWND h) {
  Window* w = Find(h);
  return w && IsShown(*w);
}

BOOL IsWindowEnabled(HWND h) {
  Window* w = Find(h);
  return w && !(w->style & WS_DISABLED);
}

BOOL IsChild(HWND parent, HWND h) {
  Window* w = Find(h);
  if (!w || !parent) return FALSE;
  for (Window* p = Find(w->parent); p; p = Find(p->parent))
    if (p->handle == parent) return TRUE;
  return FALSE;
}

HWND GetParent(HWND h) {
  Window* w = Find(h);
  if (!w) return nullptr;
  return w->parent ? w->parent : w->owner;
}

HWND SetParent(HWND h, HWND newParent) {
  Window* w = Find(h);
  Window* np = Find(newParent);
  if (!w || (newParent && !np) || h == newParent || IsChild(h, newParent)) return nullptr;
  HWND old = w->parent;
  if (w->style & WS_VISIBLE) ExposeInParent(*w, w->rect);
  if (w->onDisplay) {
    Display().HideWindow(reinterpret_cast<display::WindowKey>(h));
    w->onDisplay = false;
  }
  Unlink(*w);
  w->parent = newParent;
  if (newParent) {
    w->surface.reset();
  } else if (!w->surface) {
    w->surface = std::make_unique<Surface>();
    w->surface->Resize(w->rect.right - w->rect.left, w->rect.bottom - w->rect.top);
  }
  PlaceInZOrder(*w, HWND_TOP);
  if (!newParent) DisplayWindowChanged(*w);
  InvalidateAll(*w);
  return old;
}

HWND GetWindow(HWND h, UINT relation) {
  Window* w = Find(h);
  if (!w) return nullptr;
  if (relation == GW_OWNER) return w->owner;
  if (relation == GW_CHILD) return w->children.empty() ? nullptr : w->children.front();
  auto& list = Siblings(*w);
  auto it = std::find(list.begin(), list.end(), h);
  switch (relation) {
    case GW_HWNDFIRST:
      return list.front();
    case GW_HWNDLAST:
      return list.back();
    case GW_HWNDNEXT:
      return it + 1 < list.end() ? *(it + 1) : nullptr;
    case GW_HWNDPREV:
      return it > list.begin() ? *(it - 1) : nullptr;
    default:
      return nullptr;
  }
}

HWND GetAncestor(HWND h, UINT kind) {
  Window* w = Find(h);
  if (!w) return nullptr;
  if (kind == GA_PARENT) return w->parent;
  Window* root = TopLevelOf(w);
  if (kind == GA_ROOTOWNER)
    while (Window* o = Find(root->owner)) root = o;
  return root->handle;
}

HWND GetDlgItem(HWND dialog, int id) {
  Window* w = Find(dialog);
  if (!w) return nullptr;
  for (HWND c : w->children)
    if (Window* cw = Find(c); cw && cw->id == id) return c;
  return nullptr;
}

int GetDlgCtrlID(HWND h) {
  Window* w = Find(h);
  return w && w->parent ? static_cast<int>(w->id) : 0;
}

DWORD GetWindowThreadProcessId(HWND h, DWORD* processId) {
  if (!Find(h)) return 0;
  if (processId) *processId = static_cast<DWORD>(getpid());
  return GetGuiThreadId();
}

// ------------------------------------------------------------- window data ---

namespace {

bool ExtraInRange(const Window& w, int index) {
  return index >= 0 && static_cast<size_t>(index) + sizeof(LONG_PTR) <= w.extra.size();
}

}  // namespace

LONG_PTR GetWindowLongPtr(HWND h, int index) {
  Window* w = Find(h);
  if (!w) return 0;
  switch (index) {
    case GWL_WNDPROC:
      return reinterpret_cast<LONG_PTR>(w->proc);
    case GWL_HINSTANCE:
      return reinterpret_cast<LONG_PTR>(w->instance);
    case GWL_HWNDPARENT:
      return reinterpret_cast<LONG_PTR>(w->parent ? w->parent : w->owner);
    case GWL_STYLE:
      return static_cast<LONG_PTR>(w->style);
    case GWL_EXSTYLE:
      return static_cast<LONG_PTR>(w->exStyle);
    case GWL_ID:
      return w->id;
    case GWL_USERDATA:
      return w->userData;
    default:
      break;
  }
  if (!ExtraInRange(*w, index)) return 0;
  LONG_PTR v;
  std::memcpy(&v, w->extra.data() + index, sizeof v);
  return v;
}

LONG_PTR SetWindowLongPtr(HWND h, int index, LONG_PTR value) {
  Window* w = Find(h);
  if (!w) return 0;
  LONG_PTR old = GetWindowLongPtr(h, index);
  switch (index) {
    case GWL_WNDPROC:
      if (!value) return 0;
      w->proc = reinterpret_cast<WNDPROC>(value);
      return old;
    case GWL_HINSTANCE:
      w->instance = reinterpret_cast<HINSTANCE>(value);
      return old;
    case GWL_HWNDPARENT:
      if (!w->parent) {
        Window* root = TopLevelOf(Find(reinterpret_cast<HWND>(value)));
        w->owner = root ? root->handle : nullptr;
      }
      return old;
    case GWL_STYLE:
      w->style = static_cast<DWORD>(value);
      return old;
    case GWL_EXSTYLE:
      w->exStyle = static_cast<DWORD>(value);
      return old;
    case GWL_ID:
      w->id = value;
      return old;
    case GWL_USERDATA:
      w->userData = value;
      return old;
    default:
      break;
  }
  if (!ExtraInRange(*w, index)) return 0;
  std::memcpy(w->extra.data() + index, &value, sizeof value);
  return old;
}

ULONG_PTR GetClassLongPtr(HWND h, int index) {
  Window* w = Find(h);
  if (!w) return 0;
  const WindowClass& c = *w->cls;
  switch (index) {
    case GCL_STYLE:
      return c.style;
    case GCL_HCURSOR:
      return reinterpret_cast<ULONG_PTR>(c.cursor);
    case GCL_HBRBACKGROUND:
      return reinterpret_cast<ULONG_PTR>(c.background);
    case GCL_HICON:
      return reinterpret_cast<ULONG_PTR>(c.icon);
    case GCL_WNDPROC:
      return reinterpret_cast<ULONG_PTR>(c.proc);
    case GCL_HMODULE:
      return reinterpret_cast<ULONG_PTR>(c.instance);
    case GCL_CBWNDEXTRA:
      return static_cast<ULONG_PTR>(c.wndExtra);
    case GCL_CBCLSEXTRA:
      return static_cast<ULONG_PTR>(c.clsExtra);
    default:
      return 0;
  }
}

ULONG_PTR SetClassLongPtr(HWND h, int index, LONG_PTR value) {
  Window* w = Find(h);
  if (!w) return 0;
  ULONG_PTR old = GetClassLongPtr(h, index);
  WindowClass& c = *w->cls;
  switch (index) {
    case GCL_STYLE:
      c.style = static_cast<UINT>(value);
      break;
    case GCL_HCURSOR:
      c.cursor = reinterpret_cast<HCURSOR>(value);
      break;
    case GCL_HBRBACKGROUND:
      c.background = reinterpret_cast<HBRUSH>(value);
      break;
    case GCL_HICON:
      c.icon = reinterpret_cast<HICON>(value);
      break;
    case GCL_WNDPROC:
      if (value) c.proc = reinterpret_cast<WNDPROC>(value);
      break;
    default:
      return 0;
  }
  return old;
}

std::string GetClassName(HWND h) {
  Window* w = Find(h);
  return w ? w->cls->name : std::string();
}

// ------------------------------ position, size, z-order and visibility ---

BOOL GetWindowRect(HWND h, RECT* rect) {
  Window* w = Find(h);
  if (!w || !rect) return FALSE;
  POINT o = WindowOriginOnScreen(*w);
  *rect = RECT{o.x, o.y, o.x + w->rect.right - w->rect.left, o.y + w->rect.bottom - w->rect.top};
  return TRUE;
}

BOOL GetClientRect(HWND h, RECT* rect) {
  Window* w = Find(h);
  if (!w || !rect) return FALSE;
  SIZE s = ClientSize(*w);
  *rect = RECT{0, 0, s.cx, s.cy};
  return TRUE;
}

namespace {

// Makes a window visible or hidden without WM_SHOWWINDOW.
void SetShown(Window& w, bool show) {
  if (show == ((w.style & WS_VISIBLE) != 0)) return;
  HWND h = w.handle;
  if (show) {
    w.style |= WS_VISIBLE;
    InvalidateAll(w);
  } else {
    w.style &= ~WS_VISIBLE;
    ExposeInParent(w, w.rect);
    ForgetWindowInput(h);
  }
  if (Window* again = Find(h)) DisplayWindowChanged(*again);
}

bool ActivatesOnShow(int command) {
  return command == SW_SHOWNORMAL || command == SW_SHOW || command == SW_SHOWMAXIMIZED ||
         command == SW_RESTORE || command == SW_SHOWDEFAULT;
}

}  // namespace

BOOL SetWindowPos(HWND h, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
  Window* w = Find(h);
  if (!w) return FALSE;
  WINDOWPOS wp{h, insertAfter, x, y, cx, cy, flags};
  if (flags & SWP_NOMOVE) {
    wp.x = w->rect.left;
    wp.y = w->rect.top;
  }
  if (flags & SWP_NOSIZE) {
    wp.cx = w->rect.right - w->rect.left;
    wp.cy = w->rect.bottom - w->rect.top;
  }
  if (!(flags & SWP_NOSENDCHANGING)) {
    CallProc(h, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&wp));
    if (!(w = Find(h))) return FALSE;
  }
  wp.cx = std::max(wp.cx, 0);
  wp.cy = std::max(wp.cy, 0);
  RECT old = w->rect;
  RECT now{wp.x, wp.y, wp.x + wp.cx, wp.y + wp.cy};
  bool moved = old.left != now.left || old.top != now.top;
  bool sized = (old.right - old.left) != wp.cx || (old.bottom - old.top) != wp.cy;
  bool redraw = !(flags & SWP_NOREDRAW) && IsShown(*w);
  if (moved || sized) {
    w->rect = now;
    if (w->surface && sized) w->surface->Resize(wp.cx, wp.cy);
    if (redraw || w->surface) {
      ExposeInParent(*w, old);
      InvalidateAll(*w);
    }
    if (!w->parent) DisplayWindowChanged(*w);
  }
  if (!(flags & SWP_NOZORDER)) {
    PlaceInZOrder(*w, wp.hwndInsertAfter);
    if (redraw && w->parent) InvalidateAll(*w);
  }
  if (flags & SWP_FRAMECHANGED) InvalidateAll(*w);
  if (flags & SWP_SHOWWINDOW) SetShown(*w, true);
  if (flags & SWP_HIDEWINDOW) SetShown(*w, false);
  if (!(w = Find(h))) return FALSE;
  if (!(flags & SWP_NOACTIVATE) && !w->parent && IsShown(*w) && !(w->exStyle & WS_EX_NOACTIVATE))
    SetActiveWindow(h);
  if (!(w = Find(h))) return FALSE;
  wp.x = w->rect.left;
  wp.y = w->rect.top;
  wp.flags = flags | (moved ? 0 : SWP_NOMOVE) | (sized || (flags & SWP_FRAMECHANGED) ? 0 : SWP_NOSIZE);
  if (sized || (flags & SWP_FRAMECHANGED)) wp.flags &= ~SWP_NOSIZE;
  CallProc(h, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&wp));
  return TRUE;
}

BOOL MoveWindow(HWND h, int x, int y, int width, int height, BOOL repaint) {
  return SetWindowPos(h, nullptr, x, y, width, height,
                      SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

BOOL BringWindowToTop(HWND h) { return SetWindowPos(h, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE); }

BOOL ShowWindow(HWND h, int command) {
  Window* w = Find(h);
  if (!w) return FALSE;
  bool was = (w->style & WS_VISIBLE) != 0;
  bool show = command != SW_HIDE;
  if (command == SW_MAXIMIZE && !w->parent && !(w->style & WS_MAXIMIZE)) {
    MONITORINFO mi;
    GetMonitorInfo(MonitorFromWindow(h, MONITOR_DEFAULTTONEAREST), &mi);
    w->restored = w->rect;
    w->style |= WS_MAXIMIZE;
    SetWindowPos(h, nullptr, mi.rcWork.left, mi.rcWork.top, mi.rcWork.right - mi.rcWork.left,
                 mi.rcWork.bottom - mi.rcWork.top, SWP_NOZORDER | SWP_NOACTIVATE);
    if (!(w = Find(h))) return FALSE;
  }
  if (command == SW_RESTORE && !w->parent && (w->style & WS_MAXIMIZE)) {
    w->style &= ~WS_MAXIMIZE;
    const RECT r = w->restored;
    SetWindowPos(h, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
    if (!(w = Find(h))) return FALSE;
  }
  if (show != was) {
    CallProc(h, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
    if (!(w = Find(h))) return FALSE;
    SetShown(*w, show);
    if (!(w = Find(h))) return FALSE;
  }
  if (show && !w->parent && ActivatesOnShow(command) && !(w->exStyle & WS_EX_NOACTIVATE)) SetActiveWindow(h);
  return was ? TRUE : FALSE;
}

BOOL EnableWindow(HWND h, BOOL enable) {
  Window* w = Find(h);
  if (!w) return FALSE;
  bool wasDisabled = (w->style & WS_DISABLED) != 0;
  if (wasDisabled == !enable) return wasDisabled;
  if (enable) {
    w->style &= ~WS_DISABLED;
  } else {
    w->style |= WS_DISABLED;
    HWND focus = GetFocus();
    if (focus == h || IsChild(h, focus)) SetFocus(nullptr);
    if (GetCapture() == h) ReleaseCapture();
  }
  CallProc(h, WM_ENABLE, enable ? TRUE : FALSE, 0);
  return wasDisabled;
}

HWND FindWindowEx(HWND parent, HWND childAfter, const char* className, const char* windowName) {
  std::vector<HWND> list;
  if (parent) {
    Window* p = Find(parent);
    if (!p) return nullptr;
    list = p->children;
  } else {
    list = S().topLevels;
  }
  auto it = list.begin();
  if (childAfter) {
    it = std::find(list.begin(), list.end(), childAfter);
    if (it == list.end()) return nullptr;
    ++it;
  }
  std::string wantedClass = className ? Lower(className) : std::string();
  for (; it != list.end(); ++it) {
    Window* w = Find(*it);
    if (!w) continue;
    if (className && Lower(w->cls->name) != wantedClass) continue;
    if (windowName && w->text != windowName) continue;
    return *it;
  }
  return nullptr;
}

HWND FindWindow(const char* className, const char* windowName) {
  return FindWindowEx(nullptr, nullptr, className, windowName);
}

// -------------------------------------------------------------------- text ---

BOOL SetWindowText(HWND h, const std::string& text) {
  if (!Find(h)) return FALSE;
  return CallProc(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str())) ? TRUE : FALSE;
}

int GetWindowTextLength(HWND h) {
  if (!Find(h)) return 0;
  return static_cast<int>(CallProc(h, WM_GETTEXTLENGTH, 0, 0));
}

std::string GetWindowText(HWND h) {
  int length = GetWindowTextLength(h);
  if (length <= 0) return std::string();
  std::string buffer(static_cast<size_t>(length) + 1, '\0');
  LRESULT copied = CallProc(h, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
  buffer.resize(static_cast<size_t>(std::clamp<LRESULT>(copied, 0, length)));
  return buffer;
}

std::string GetDlgItemText(HWND dialog, int id) { return GetWindowText(GetDlgItem(dialog, id)); }

BOOL SetDlgItemText(HWND dialog, int id, const std::string& text) { return SetWindowText(GetDlgItem(dialog, id), text); }

// ----------------------------------------------- coordinates and hit testing ---

BOOL ClientToScreen(HWND h, POINT* point) {
  Window* w = Find(h);
  if (!w || !point) return FALSE;
  POINT o = ClientOriginOnScreen(*w);
  point->x += o.x;
  point->y += o.y;
  return TRUE;
}

BOOL ScreenToClient(HWND h, POINT* point) {
  Window* w = Find(h);
  if (!w || !point) return FALSE;
  POINT o = ClientOriginOnScreen(*w);
  point->x -= o.x;
  point->y -= o.y;
  return TRUE;
}

int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count) {
  POINT a{0, 0}, b{0, 0};
  if (from) {
    Window* w = Find(from);
    if (!w) return 0;
    a = ClientOriginOnScreen(*w);
  }
  if (to) {
    Window* w = Find(to);
    if (!w) return 0;
    b = ClientOriginOnScreen(*w);
  }
  int dx = a.x - b.x, dy = a.y - b.y;
  for (UINT i = 0; points && i < count; ++i) {
    points[i].x += dx;
    points[i].y += dy;
  }
  return MAKELONG(static_cast<WORD>(dx), static_cast<WORD>(dy));
}

namespace {

HWND DeepestUnder(Window& w, POINT screen) {
  for (HWND c : w.children) {
    Window* cw = Find(c);
    if (!cw || !(cw->style & WS_VISIBLE)) continue;
    RECT r;
    GetWindowRect(c, &r);
    if (!PtInRect(&r, screen)) continue;
    if (cw->style & WS_DISABLED) return w.handle;
    return DeepestUnder(*cw, screen);
  }
  return w.handle;
}

}  // namespace

HWND WindowFromPoint(POINT point) {
  for (HWND t : S().topLevels) {
    Window* w = Find(t);
    if (!w || !(w->style & WS_VISIBLE) || !PtInRect(&w->rect, point)) continue;
    return DeepestUnder(*w, point);
  }
  return nullptr;
}

HWND ChildWindowFromPoint(HWND parent, POINT point) {
  Window* p = Find(parent);
  if (!p) return nullptr;
  RECT client = ClientInWindow(*p);
  OffsetRect(&client, -client.left, -client.top);
  if (!PtInRect(&client, point)) return nullptr;
  for (HWND c : p->children) {
    Window* cw = Find(c);
    if (cw && (cw->style & WS_VISIBLE) && PtInRect(&cw->rect, point)) return c;
  }
  return parent;
}

// --------------------------------------------------------- default procedure ---

namespace {

LRESULT HitTest(Window& w, POINT screen) {
  RECT wr;
  GetWindowRect(w.handle, &wr);
  if (!PtInRect(&wr, screen)) return HTNOWHERE;
  POINT p{screen.x - wr.left, screen.y - wr.top};
  RECT client = ClientInWindow(w);
  if (PtInRect(&client, p)) return HTCLIENT;
  RECT vbar = ScrollBarRect(w, SB_VERT), hbar = ScrollBarRect(w, SB_HORZ);
  if (PtInRect(&vbar, p)) return HTVSCROLL;
  if (PtInRect(&hbar, p)) return HTHSCROLL;
  RECT ins = FrameInsets(w);
  int width = wr.right - wr.left, height = wr.bottom - wr.top;
  int border = ins.left;
  if (w.style & WS_THICKFRAME) {
    bool left = p.x < border, right = p.x >= width - border;
    bool top = p.y < border, bottom = p.y >= height - border;
    if (top) return left ? HTTOPLEFT : right ? HTTOPRIGHT : HTTOP;
    if (bottom) return left ? HTBOTTOMLEFT : right ? HTBOTTOMRIGHT : HTBOTTOM;
    if (left) return HTLEFT;
    if (right) return HTRIGHT;
  }
  if ((w.style & WS_CAPTION) == WS_CAPTION && p.y >= border && p.y < ins.top) {
    for (LRESULT button : {HTCLOSE, HTMAXBUTTON, HTMINBUTTON}) {
      RECT r = CaptionButtonRect(w, button);
      if (PtInRect(&r, p)) return button;
    }
    return HTCAPTION;
  }
  return HTBORDER;
}

// The cursor over a part of the frame: the sizing edges show their direction.
const char* FrameCursor(LRESULT hit) {
  switch (hit) {
    case HTLEFT:
    case HTRIGHT:
      return IDC_SIZEWE;
    case HTTOP:
    case HTBOTTOM:
      return IDC_SIZENS;
    case HTTOPLEFT:
    case HTBOTTOMRIGHT:
      return IDC_SIZENWSE;
    case HTTOPRIGHT:
    case HTBOTTOMLEFT:
      return IDC_SIZENESW;
    default:
      return IDC_ARROW;
  }
}

// The system command of a caption button.
WPARAM ButtonCommand(const Window& w, LRESULT button) {
  if (button == HTCLOSE) return SC_CLOSE;
  if (button == HTMINBUTTON) return SC_MINIMIZE;
  return (w.style & WS_MAXIMIZE) ? SC_RESTORE : SC_MAXIMIZE;
}

// A caption button acts when the mouse is released over it.
void PressCaptionButton(HWND h, LRESULT button) {
  TrackMouse(h, [](POINT) {}, nullptr);
  Window* w = Find(h);
  if (!w) return;
  POINT p = CursorPosition();
  if (SendMessage(h, WM_NCHITTEST, 0, MAKELPARAM(static_cast<WORD>(p.x), static_cast<WORD>(p.y))) != button) return;
  if ((w = Find(h))) SendMessage(h, WM_SYSCOMMAND, ButtonCommand(*w, button), 0);
}

void SendPositionMessages(HWND h, const WINDOWPOS& wp) {
  Window* w = Find(h);
  if (!w) return;
  if (!(wp.flags & SWP_NOMOVE)) {
    POINT o = ClientOriginInParent(*w);
    CallProc(h, WM_MOVE, 0, MAKELPARAM(static_cast<WORD>(o.x), static_cast<WORD>(o.y)));
  }
  if (!(w = Find(h))) return;
  if (!(wp.flags & SWP_NOSIZE)) {
    SIZE s = ClientSize(*w);
    WPARAM kind = (w->style & WS_MAXIMIZE) ? SIZE_MAXIMIZED : SIZE_RESTORED;
    CallProc(h, WM_SIZE, kind, MAKELPARAM(static_cast<WORD>(s.cx), static_cast<WORD>(s.cy)));
  }
}

LRESULT SetTextDefault(Window& w, const char* text) {
  w.text = text ? text : "";
  if ((w.style & WS_CAPTION) == WS_CAPTION) {
    w.frameDirty = true;
  }
  if (!w.parent && w.onDisplay) Display().SetTitle(reinterpret_cast<display::WindowKey>(w.handle), w.text);
  return TRUE;
}

}  // namespace

LRESULT DefWindowProc(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* w = Find(h);
  if (!w) return 0;
  switch (message) {
    case WM_NCCREATE: {
      auto* cs = reinterpret_cast<const CREATESTRUCT*>(lParam);
      if (cs) SetTextDefault(*w, cs->lpszName);
      return TRUE;
    }
    case WM_SETTEXT:
      return SetTextDefault(*w, reinterpret_cast<const char*>(lParam));
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(w->text.size());
    case WM_GETTEXT: {
      char* buffer = reinterpret_cast<char*>(lParam);
      if (!buffer || wParam == 0) return 0;
      size_t n = std::min<size_t>(w->text.size(), wParam - 1);
      std::memcpy(buffer, w->text.data(), n);
      buffer[n] = '\0';
      return static_cast<LRESULT>(n);
    }
    case WM_CLOSE:
      DestroyWindow(h);
      return 0;
    case WM_SYSCOMMAND:
      switch (wParam & 0xFFF0) {
        case SC_CLOSE:
          SendMessage(h, WM_CLOSE, 0, 0);
          break;
        case SC_MOVE:
        case SC_SIZE:
          RunSizeMoveLoop(h, wParam, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
          break;
        case SC_MINIMIZE:
          if (!w->parent && w->onDisplay) Display().Minimize(reinterpret_cast<display::WindowKey>(h));
          break;
        case SC_MAXIMIZE:
          ShowWindow(h, SW_MAXIMIZE);
          break;
        case SC_RESTORE:
          ShowWindow(h, SW_RESTORE);
          break;
        default:
          break;
      }
      return 0;
    case WM_NCLBUTTONDOWN: {
      // The caption moves the window, the sizing edges size it.
      auto hit = static_cast<LRESULT>(wParam);
      if (hit == HTVSCROLL || hit == HTHSCROLL)
        RunScrollLoop(h, hit == HTVSCROLL ? SB_VERT : SB_HORZ, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
      if (hit == HTCAPTION) SendMessage(h, WM_SYSCOMMAND, SC_MOVE | HTCAPTION, lParam);
      if (hit == HTCLOSE || hit == HTMINBUTTON || hit == HTMAXBUTTON) PressCaptionButton(h, hit);
      if (hit >= HTLEFT && hit <= HTBOTTOMRIGHT) SendMessage(h, WM_SYSCOMMAND, SC_SIZE | static_cast<WPARAM>(hit - HTLEFT + WMSZ_LEFT), lParam);
      return 0;
    }
    case WM_WINDOWPOSCHANGED:
      if (lParam) SendPositionMessages(h, *reinterpret_cast<const WINDOWPOS*>(lParam));
      return 0;
    case WM_NCPAINT:
      DrawPlainFrame(*w);
      return 0;
    case WM_ERASEBKGND: {
      if (!w->cls->background) return 0;
      RECT client;
      GetClientRect(h, &client);
      EraseBackground(*w, reinterpret_cast<HDC>(wParam), client);
      return 1;
    }
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(h, &ps);
      EndPaint(h, &ps);
      return 0;
    }
    case WM_SETREDRAW:
      w->redraw = wParam != 0;
      return 0;
    case WM_NCHITTEST:
      return HitTest(*w, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
    case WM_SETCURSOR: {
      if (w->parent && SendMessage(w->parent, WM_SETCURSOR, wParam, lParam)) return TRUE;
      if (!(w = Find(h))) return FALSE;
      LRESULT hit = static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(lParam)));
      if (hit == HTCLIENT && w->cls->cursor) {
        SetCursor(w->cls->cursor);
        return TRUE;
      }
      if (hit != HTCLIENT) SetCursor(LoadCursor(nullptr, FrameCursor(hit)));
      return FALSE;
    }
    case WM_MOUSEACTIVATE:
      if (w->parent) {
        if (LRESULT r = SendMessage(w->parent, WM_MOUSEACTIVATE, wParam, lParam)) return r;
      }
      return MA_ACTIVATE;
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus != h && !IsChild(h, focus)) SetFocus(h);
      }
      return 0;
    case WM_MOUSEWHEEL:
    case WM_MOUSEHWHEEL:
      if (w->parent) return SendMessage(w->parent, message, wParam, lParam);
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;
    default:
      return 0;
  }
}

LRESULT CallWindowProc(WNDPROC proc, HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!proc) return 0;
  return proc(h, message, wParam, lParam);
}
