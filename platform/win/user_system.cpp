// System metrics and colours, monitors, the beep and the caret.
#include <algorithm>
#include <utility>

#include "platform/win/user_internal.h"

namespace user {

namespace {

// One consistent set of metrics (a classic desktop at 96 dpi). Screen sizes
// are not here: they come from the display.
constexpr std::pair<int, int> kMetrics[] = {
    {SM_CXVSCROLL, 17},     {SM_CYHSCROLL, 17},     {SM_CYCAPTION, 22},    {SM_CXBORDER, 1},
    {SM_CYBORDER, 1},       {SM_CXFIXEDFRAME, 3},   {SM_CYFIXEDFRAME, 3},  {SM_CYVTHUMB, 17},
    {SM_CXHTHUMB, 17},      {SM_CXICON, 32},        {SM_CYICON, 32},       {SM_CXCURSOR, 32},
    {SM_CYCURSOR, 32},      {SM_CYMENU, 20},        {SM_MOUSEPRESENT, 1},  {SM_CYVSCROLL, 17},
    {SM_CXHSCROLL, 17},     {SM_SWAPBUTTON, 0},     {SM_CXMIN, 132},       {SM_CYMIN, 38},
    {SM_CXSIZE, 22},        {SM_CYSIZE, 22},        {SM_CXFRAME, 4},       {SM_CYFRAME, 4},
    {SM_CXDOUBLECLK, 4},    {SM_CYDOUBLECLK, 4},    {SM_CXICONSPACING, 75}, {SM_CYICONSPACING, 75},
    {SM_CMOUSEBUTTONS, 3},  {SM_CXEDGE, 2},         {SM_CYEDGE, 2},        {SM_CXSMICON, 16},
    {SM_CYSMICON, 16},      {SM_CYSMCAPTION, 18},   {SM_CXDRAG, 4},        {SM_CYDRAG, 4},
    {SM_CXMENUCHECK, 13},   {SM_CYMENUCHECK, 13},   {SM_MOUSEWHEELPRESENT, 1}, {SM_SAMEDISPLAYFORMAT, 1},
    {SM_SERVERR2, 0},       {SM_REMOTESESSION, 0},
};

// The system colours by index, as RGB.
constexpr COLORREF kColors[] = {
    RGB(200, 200, 200),  // COLOR_SCROLLBAR
    RGB(0, 0, 0),        // COLOR_BACKGROUND
    RGB(153, 180, 209),  // COLOR_ACTIVECAPTION
    RGB(191, 205, 219),  // COLOR_INACTIVECAPTION
    RGB(240, 240, 240),  // COLOR_MENU
    RGB(255, 255, 255),  // COLOR_WINDOW
    RGB(100, 100, 100),  // COLOR_WINDOWFRAME
    RGB(0, 0, 0),        // COLOR_MENUTEXT
    RGB(0, 0, 0),        // COLOR_WINDOWTEXT
    RGB(0, 0, 0),        // COLOR_CAPTIONTEXT
    RGB(180, 180, 180),  // COLOR_ACTIVEBORDER
    RGB(244, 247, 252),  // COLOR_INACTIVEBORDER
    RGB(171, 171, 171),  // COLOR_APPWORKSPACE
    RGB(51, 153, 255),   // COLOR_HIGHLIGHT
    RGB(255, 255, 255),  // COLOR_HIGHLIGHTTEXT
    RGB(240, 240, 240),  // COLOR_BTNFACE
    RGB(160, 160, 160),  // COLOR_BTNSHADOW
    RGB(109, 109, 109),  // COLOR_GRAYTEXT
    RGB(0, 0, 0),        // COLOR_BTNTEXT
    RGB(67, 78, 84),     // COLOR_INACTIVECAPTIONTEXT
    RGB(255, 255, 255),  // COLOR_BTNHIGHLIGHT
    RGB(105, 105, 105),  // COLOR_3DDKSHADOW
    RGB(227, 227, 227),  // COLOR_3DLIGHT
    RGB(0, 0, 0),        // COLOR_INFOTEXT
    RGB(255, 255, 225),  // COLOR_INFOBK
    RGB(0, 0, 0),        // (unused)
    RGB(0, 102, 204),    // COLOR_HOTLIGHT
    RGB(185, 209, 234),  // COLOR_GRADIENTACTIVECAPTION
    RGB(215, 228, 242),  // COLOR_GRADIENTINACTIVECAPTION
    RGB(51, 153, 255),   // COLOR_MENUHILIGHT
    RGB(240, 240, 240),  // COLOR_MENUBAR
};

// Monitor handles are 1-based indexes into the display's list.
HMONITOR MonitorHandle(size_t index) { return reinterpret_cast<HMONITOR>(index + 1); }

RECT VirtualScreen(const std::vector<display::Monitor>& monitors) {
  RECT r{};
  for (const auto& m : monitors) UnionRect(&r, &r, &m.bounds);
  return r;
}

const display::Monitor& Primary(const std::vector<display::Monitor>& monitors) {
  for (const auto& m : monitors)
    if (m.primary) return m;
  return monitors.front();
}

LONG Area(const RECT& r) { return IsRectEmpty(&r) ? 0 : (r.right - r.left) * (r.bottom - r.top); }

LONG DistanceSquared(const RECT& r, POINT p) {
  LONG dx = p.x < r.left ? r.left - p.x : p.x >= r.right ? p.x - r.right + 1 : 0;
  LONG dy = p.y < r.top ? r.top - p.y : p.y >= r.bottom ? p.y - r.bottom + 1 : 0;
  return dx * dx + dy * dy;
}

HMONITOR MonitorFromRectangle(const RECT& r, DWORD flags) {
  auto monitors = Display().Monitors();
  if (monitors.empty()) return nullptr;
  size_t best = 0;
  LONG bestArea = 0;
  for (size_t i = 0; i < monitors.size(); ++i) {
    RECT overlap;
    IntersectRect(&overlap, &r, &monitors[i].bounds);
    if (Area(overlap) > bestArea) {
      bestArea = Area(overlap);
      best = i;
    }
  }
  if (bestArea > 0) return MonitorHandle(best);
  if (flags == MONITOR_DEFAULTTONULL) return nullptr;
  if (flags == MONITOR_DEFAULTTOPRIMARY)
    return MonitorHandle(static_cast<size_t>(&Primary(monitors) - monitors.data()));
  POINT centre{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  for (size_t i = 1; i < monitors.size(); ++i)
    if (DistanceSquared(monitors[i].bounds, centre) < DistanceSquared(monitors[best].bounds, centre)) best = i;
  return MonitorHandle(best);
}

// ----------------------------------------------------------------------- caret ---

struct Caret {
  HWND window = nullptr;
  int width = 0;
  int height = 0;
  POINT pos;
  int hidden = 1;  // a new caret is hidden until ShowCaret
  bool drawn = false;
  bool painting = false;
} caret;

// Inverts the caret's pixels on its window's surface (twice restores them).
void InvertCaret() {
  Window* w = Find(caret.window);
  if (!w) return;
  Window* top = TopLevelOf(w);
  if (!top || !top->surface) return;
  POINT o = WindowOriginInSurface(*w);
  RECT c = ClientInWindow(*w);
  RECT r{caret.pos.x, caret.pos.y, caret.pos.x + caret.width, caret.pos.y + caret.height};
  OffsetRect(&r, o.x + c.left, o.y + c.top);
  RECT clip = VisibleInSurface(*w, false);
  if (!IntersectRect(&r, &r, &clip)) return;
  Surface& s = *top->surface;
  for (LONG y = r.top; y < r.bottom; ++y)
    for (LONG x = r.left; x < r.right; ++x) s.Row(y)[x] ^= 0x00FFFFFFu;
  MarkPresent(*top);
}

bool CaretShouldShow() { return caret.window && caret.hidden <= 0 && !caret.painting && IsWindowVisible(caret.window); }

void SyncCaret() {
  bool want = CaretShouldShow();
  if (want != caret.drawn) {
    InvertCaret();
    caret.drawn = want;
  }
}

void EraseCaret() {
  if (caret.drawn) {
    InvertCaret();
    caret.drawn = false;
  }
}

}  // namespace

void CaretPaintBegin(HWND window) {
  if (window != caret.window) return;
  EraseCaret();
  caret.painting = true;
}

void CaretPaintEnd(HWND window) {
  if (window != caret.window) return;
  caret.painting = false;
  SyncCaret();
}

void ForgetCaret(HWND window) {
  if (caret.window && (caret.window == window || IsChild(window, caret.window))) DestroyCaret();
}

}  // namespace user

using namespace user;

int GetSystemMetrics(int index) {
  switch (index) {
    case SM_CXSCREEN:
    case SM_CYSCREEN:
    case SM_CXFULLSCREEN:
    case SM_CYFULLSCREEN: {
      auto monitors = Display().Monitors();
      const RECT& b = Primary(monitors).bounds;
      const RECT& wk = Primary(monitors).work;
      if (index == SM_CXSCREEN) return b.right - b.left;
      if (index == SM_CYSCREEN) return b.bottom - b.top;
      if (index == SM_CXFULLSCREEN) return wk.right - wk.left;
      return wk.bottom - wk.top - GetSystemMetrics(SM_CYCAPTION);
    }
    case SM_XVIRTUALSCREEN:
      return VirtualScreen(Display().Monitors()).left;
    case SM_YVIRTUALSCREEN:
      return VirtualScreen(Display().Monitors()).top;
    case SM_CXVIRTUALSCREEN: {
      RECT v = VirtualScreen(Display().Monitors());
      return v.right - v.left;
    }
    case SM_CYVIRTUALSCREEN: {
      RECT v = VirtualScreen(Display().Monitors());
      return v.bottom - v.top;
    }
    case SM_CMONITORS:
      return static_cast<int>(Display().Monitors().size());
    default:
      break;
  }
  for (const auto& [key, value] : kMetrics)
    if (key == index) return value;
  return 0;
}

COLORREF GetSysColor(int index) {
  if (index < 0 || index >= static_cast<int>(std::size(kColors))) return 0;
  return kColors[index];
}

HMONITOR MonitorFromWindow(HWND window, DWORD flags) {
  RECT r;
  if (!GetWindowRect(window, &r)) return flags == MONITOR_DEFAULTTONULL ? nullptr : MonitorFromRectangle(RECT{}, flags);
  if (IsRectEmpty(&r)) r = RECT{r.left, r.top, r.left + 1, r.top + 1};
  return MonitorFromRectangle(r, flags);
}

HMONITOR MonitorFromPoint(POINT point, DWORD flags) {
  return MonitorFromRectangle(RECT{point.x, point.y, point.x + 1, point.y + 1}, flags);
}

BOOL GetMonitorInfo(HMONITOR monitor, MONITORINFO* info) {
  if (!info || info->cbSize < sizeof(MONITORINFO)) return FALSE;
  auto monitors = Display().Monitors();
  auto index = reinterpret_cast<uintptr_t>(monitor);
  if (index == 0 || index > monitors.size()) return FALSE;
  const display::Monitor& m = monitors[index - 1];
  info->rcMonitor = m.bounds;
  info->rcWork = m.work;
  info->dwFlags = m.primary ? MONITORINFOF_PRIMARY : 0;
  return TRUE;
}

BOOL MessageBeep(UINT) {
  Display().Beep();
  return TRUE;
}

BOOL CreateCaret(HWND window, HBITMAP, int width, int height) {
  if (!IsWindow(window)) return FALSE;
  DestroyCaret();
  caret = Caret{};
  caret.window = window;
  caret.width = width > 0 ? width : GetSystemMetrics(SM_CXBORDER);
  caret.height = height > 0 ? height : GetSystemMetrics(SM_CYBORDER);
  return TRUE;
}

BOOL DestroyCaret() {
  if (!caret.window) return FALSE;
  EraseCaret();
  caret = Caret{};
  return TRUE;
}

BOOL SetCaretPos(int x, int y) {
  if (!caret.window) return FALSE;
  EraseCaret();
  caret.pos = POINT{x, y};
  SyncCaret();
  return TRUE;
}

BOOL GetCaretPos(POINT* point) {
  if (!point || !caret.window) return FALSE;
  *point = caret.pos;
  return TRUE;
}

BOOL ShowCaret(HWND window) {
  if (!caret.window || (window && window != caret.window) || caret.hidden <= 0) return FALSE;
  --caret.hidden;
  SyncCaret();
  return TRUE;
}

BOOL HideCaret(HWND window) {
  if (!caret.window || (window && window != caret.window)) return FALSE;
  ++caret.hidden;
  SyncCaret();
  return TRUE;
}
