// The standard scroll bars: state, showing and hiding, geometry, drawing,
// and the mouse loop that sends WM_HSCROLL and WM_VSCROLL.
#include <algorithm>

#include "platform/win/user_internal.h"

namespace user {

namespace {

bool ValidBar(int bar) { return bar == SB_HORZ || bar == SB_VERT; }

DWORD StyleOf(int bar) { return bar == SB_VERT ? WS_VSCROLL : WS_HSCROLL; }

int64_t Range(const ScrollBar& b) { return int64_t{b.max} - b.min + 1; }

// The largest position: the page's last line stays within the range.
int MaxPos(const ScrollBar& b) {
  return static_cast<int>(std::max<int64_t>(b.min, int64_t{b.max} - std::max<int64_t>(int64_t{b.page} - 1, 0)));
}

void Normalise(ScrollBar& b) {
  if (b.max < b.min) b.max = b.min;
  b.page = static_cast<UINT>(std::min<int64_t>(b.page, Range(b)));
  b.pos = std::clamp(b.pos, b.min, MaxPos(b));
}

bool Needed(const ScrollBar& b) { return b.max > b.min && int64_t{b.page} < Range(b); }

// Sets and clears the scroll-bar styles and lays the frame out again.
void ChangeBars(HWND h, DWORD add, DWORD remove) {
  Window* w = Find(h);
  if (!w) return;
  DWORD old = w->style;
  w->style = (w->style | add) & ~remove;
  if (w->style != old)
    SetWindowPos(h, nullptr, 0, 0, 0, 0, SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void RedrawFrame(HWND h) {
  if (Window* w = Find(h)) {
    w->frameDirty = true;
    WakeQueue();
  }
}

// Positions along a bar, from its start: the arrow boxes at both ends, the
// thumb between them (none when the bar cannot scroll or has no room).
struct Geometry {
  int length = 0;
  int arrow = 0;
  int thumbStart = 0;
  int thumbLength = 0;
};

Geometry Measure(const Window& w, int bar) {
  Geometry g;
  RECT r = ScrollBarRect(w, bar);
  g.length = bar == SB_VERT ? r.bottom - r.top : r.right - r.left;
  int thickness = bar == SB_VERT ? r.right - r.left : r.bottom - r.top;
  g.arrow = std::min(thickness, g.length / 2);
  const ScrollBar& b = w.scroll[bar];
  int track = g.length - 2 * g.arrow;
  const int minThumb = 8;
  if (!Needed(b) || track < minThumb || (b.disabledArrows & ESB_DISABLE_BOTH) == ESB_DISABLE_BOTH) return g;
  int64_t range = Range(b);
  g.thumbLength = b.page ? static_cast<int>(std::max<int64_t>(minThumb, track * int64_t{b.page} / range)) : thickness;
  g.thumbLength = std::min(g.thumbLength, track);
  int64_t span = int64_t{MaxPos(b)} - b.min;
  g.thumbStart = g.arrow + static_cast<int>(span ? (track - g.thumbLength) * (int64_t{b.pos} - b.min) / span : 0);
  return g;
}

// The position that puts the thumb's start at `start` along the bar.
int PosAt(const Window& w, int bar, const Geometry& g, int start) {
  const ScrollBar& b = w.scroll[bar];
  int room = g.length - 2 * g.arrow - g.thumbLength;
  if (room <= 0) return b.min;
  int64_t span = int64_t{MaxPos(b)} - b.min;
  int64_t along = std::clamp<int64_t>(start - g.arrow, 0, room);
  return static_cast<int>(b.min + (along * span + room / 2) / room);
}

// A rectangle of the bar from `from` to `to` along it (window coordinates).
RECT Part(const RECT& barRect, int bar, int from, int to) {
  return bar == SB_VERT ? RECT{barRect.left, barRect.top + from, barRect.right, barRect.top + to}
                        : RECT{barRect.left + from, barRect.top, barRect.left + to, barRect.bottom};
}

// A small filled triangle in `box` pointing up/left (`first`) or down/right.
void DrawArrow(Surface& s, const RECT& box, int bar, bool first, const RECT& clip, COLORREF color) {
  int cx = (box.left + box.right) / 2, cy = (box.top + box.bottom) / 2;
  for (int i = 0; i < 4; ++i) {
    int row = first ? i - 2 : 1 - i;  // the tip is 2 before the centre
    RECT line = bar == SB_VERT ? RECT{cx - i, cy + row, cx + i + 1, cy + row + 1}
                               : RECT{cx + row, cy - i, cx + row + 1, cy + i + 1};
    FillSurface(s, line, clip, color);
  }
}

// A box of the bar (an arrow box or the thumb): filled, with a shadow line
// along its bottom and right edges.
void FrameBox(Surface& s, const RECT& r, const RECT& clip, COLORREF fill) {
  FillSurface(s, r, clip, fill);
  COLORREF edge = GetSysColor(COLOR_BTNSHADOW);
  FillSurface(s, RECT{r.left, r.bottom - 1, r.right, r.bottom}, clip, edge);
  FillSurface(s, RECT{r.right - 1, r.top, r.right, r.bottom}, clip, edge);
}

// The colour halfway between two system colours.
COLORREF Between(int a, int b) {
  const COLORREF x = GetSysColor(a), y = GetSysColor(b);
  return RGB((GetRValue(x) + GetRValue(y)) / 2, (GetGValue(x) + GetGValue(y)) / 2, (GetBValue(x) + GetBValue(y)) / 2);
}

// The track is lighter than the face and the thumb darker, so the thumb is
// the handle a user looks for and the track the ground it runs on.
COLORREF TrackColor() { return Between(COLOR_BTNFACE, COLOR_BTNHIGHLIGHT); }
COLORREF ThumbColor() { return Between(COLOR_BTNFACE, COLOR_BTNSHADOW); }

}  // namespace

RECT ScrollBarRect(const Window& w, int bar) {
  if (!ValidBar(bar) || !(w.style & StyleOf(bar))) return RECT{};
  RECT c = ClientInWindow(w);
  if (bar == SB_VERT) return RECT{c.right, c.top, c.right + GetSystemMetrics(SM_CXVSCROLL), c.bottom};
  return RECT{c.left, c.bottom, c.right, c.bottom + GetSystemMetrics(SM_CYHSCROLL)};
}

void DrawScrollBars(Window& w, Surface& s, POINT origin, const RECT& clip) {
  for (int bar : {SB_HORZ, SB_VERT}) {
    RECT r = ScrollBarRect(w, bar);
    if (IsRectEmpty(&r)) continue;
    Geometry g = Measure(w, bar);
    OffsetRect(&r, origin.x, origin.y);
    FillSurface(s, r, clip, TrackColor());
    UINT disabled = w.scroll[bar].disabledArrows | (Needed(w.scroll[bar]) ? 0u : ESB_DISABLE_BOTH);
    for (bool first : {true, false}) {
      RECT box = first ? Part(r, bar, 0, g.arrow) : Part(r, bar, g.length - g.arrow, g.length);
      FrameBox(s, box, clip, GetSysColor(COLOR_BTNFACE));
      bool off = disabled & (first ? ESB_DISABLE_LTUP : ESB_DISABLE_RTDN);
      DrawArrow(s, box, bar, first, clip, GetSysColor(off ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
    }
    if (g.thumbLength)
      FrameBox(s, Part(r, bar, g.thumbStart, g.thumbStart + g.thumbLength), clip, ThumbColor());
  }
  // The corner between two bars.
  if ((w.style & WS_VSCROLL) && (w.style & WS_HSCROLL)) {
    RECT v = ScrollBarRect(w, SB_VERT), h = ScrollBarRect(w, SB_HORZ);
    RECT corner{v.left, h.top, v.right, h.bottom};
    OffsetRect(&corner, origin.x, origin.y);
    FillSurface(s, corner, clip, GetSysColor(COLOR_BTNFACE));
  }
}

void RunScrollLoop(HWND h, int bar, POINT start) {
  Window* w = Find(h);
  if (!w || !ValidBar(bar)) return;
  Geometry g = Measure(*w, bar);
  RECT r = ScrollBarRect(*w, bar);
  POINT o = WindowOriginOnScreen(*w);
  int along = bar == SB_VERT ? start.y - (o.y + r.top) : start.x - (o.x + r.left);
  UINT message = bar == SB_VERT ? WM_VSCROLL : WM_HSCROLL;
  UINT disabled = w->scroll[bar].disabledArrows;
  if (!Needed(w->scroll[bar]) || (disabled & ESB_DISABLE_BOTH) == ESB_DISABLE_BOTH) return;
  auto send = [&](WORD code, int pos) { SendMessage(h, message, MAKEWPARAM(code, static_cast<WORD>(pos)), 0); };
  bool onThumb = g.thumbLength && along >= g.thumbStart && along < g.thumbStart + g.thumbLength;
  if (!onThumb) {
    WORD code = along < g.arrow                   ? SB_LINEUP
                : along >= g.length - g.arrow     ? SB_LINEDOWN
                : g.thumbLength && along < g.thumbStart ? SB_PAGEUP
                                                  : SB_PAGEDOWN;
    bool blocked = (code == SB_LINEUP && (disabled & ESB_DISABLE_LTUP)) ||
                   (code == SB_LINEDOWN && (disabled & ESB_DISABLE_RTDN));
    if (!blocked) send(code, 0);
    TrackMouse(h, [](POINT) {}, {});
  } else {
    int grip = along - g.thumbStart;
    int pos = w->scroll[bar].pos;
    TrackMouse(
        h,
        [&](POINT p) {
          Window* now = Find(h);
          if (!now) return;
          int at = (bar == SB_VERT ? p.y - (o.y + r.top) : p.x - (o.x + r.left)) - grip;
          pos = PosAt(*now, bar, g, at);
          now->scroll[bar].trackPos = pos;
          send(SB_THUMBTRACK, pos);
        },
        {});
    if (IsWindow(h)) send(SB_THUMBPOSITION, pos);
  }
  if (IsWindow(h)) send(SB_ENDSCROLL, 0);
}

}  // namespace user

using namespace user;

int SetScrollInfo(HWND h, int bar, const SCROLLINFO* info, BOOL redraw) {
  Window* w = Find(h);
  if (!w || !info || !ValidBar(bar)) return 0;
  ScrollBar& b = w->scroll[bar];
  if (info->fMask & SIF_RANGE) {
    b.min = info->nMin;
    b.max = info->nMax;
  }
  if (info->fMask & SIF_PAGE) b.page = info->nPage;
  if (info->fMask & SIF_POS) b.pos = info->nPos;
  Normalise(b);
  int pos = b.pos;
  if (info->fMask & (SIF_RANGE | SIF_PAGE)) {
    bool needed = Needed(b);
    if (info->fMask & SIF_DISABLENOSCROLL) {
      b.disabledArrows = needed ? ESB_ENABLE_BOTH : ESB_DISABLE_BOTH;
      ChangeBars(h, StyleOf(bar), 0);
    } else {
      ChangeBars(h, needed ? StyleOf(bar) : 0, needed ? 0 : StyleOf(bar));
    }
  }
  if (redraw) RedrawFrame(h);
  return pos;
}

BOOL GetScrollInfo(HWND h, int bar, SCROLLINFO* info) {
  Window* w = Find(h);
  if (!w || !info || !ValidBar(bar)) return FALSE;
  const ScrollBar& b = w->scroll[bar];
  if (info->fMask & SIF_RANGE) {
    info->nMin = b.min;
    info->nMax = b.max;
  }
  if (info->fMask & SIF_PAGE) info->nPage = b.page;
  if (info->fMask & SIF_POS) info->nPos = b.pos;
  if (info->fMask & SIF_TRACKPOS) info->nTrackPos = b.trackPos;
  return TRUE;
}

int SetScrollPos(HWND h, int bar, int pos, BOOL redraw) {
  Window* w = Find(h);
  if (!w || !ValidBar(bar)) return 0;
  int old = w->scroll[bar].pos;
  SCROLLINFO si;
  si.fMask = SIF_POS;
  si.nPos = pos;
  SetScrollInfo(h, bar, &si, redraw);
  return old;
}

int GetScrollPos(HWND h, int bar) {
  Window* w = Find(h);
  return w && ValidBar(bar) ? w->scroll[bar].pos : 0;
}

BOOL SetScrollRange(HWND h, int bar, int minPos, int maxPos, BOOL redraw) {
  if (!Find(h) || !ValidBar(bar) || minPos > maxPos) return FALSE;
  SCROLLINFO si;
  si.fMask = SIF_RANGE;
  si.nMin = minPos;
  si.nMax = maxPos;
  SetScrollInfo(h, bar, &si, redraw);
  return TRUE;
}

BOOL GetScrollRange(HWND h, int bar, int* minPos, int* maxPos) {
  Window* w = Find(h);
  if (!w || !ValidBar(bar) || !minPos || !maxPos) return FALSE;
  *minPos = w->scroll[bar].min;
  *maxPos = w->scroll[bar].max;
  return TRUE;
}

BOOL ShowScrollBar(HWND h, int bar, BOOL show) {
  if (!Find(h)) return FALSE;
  DWORD bits = bar == SB_BOTH ? (WS_HSCROLL | WS_VSCROLL) : ValidBar(bar) ? StyleOf(bar) : 0;
  if (!bits) return FALSE;
  ChangeBars(h, show ? bits : 0, show ? 0 : bits);
  return TRUE;
}

BOOL EnableScrollBar(HWND h, UINT bar, UINT arrows) {
  Window* w = Find(h);
  if (!w) return FALSE;
  bool changed = false;
  for (int b : {SB_HORZ, SB_VERT}) {
    if (!(bar == SB_BOTH || static_cast<int>(bar) == b)) continue;
    changed = changed || w->scroll[b].disabledArrows != (arrows & ESB_DISABLE_BOTH);
    w->scroll[b].disabledArrows = arrows & ESB_DISABLE_BOTH;
  }
  if (changed) RedrawFrame(h);
  return changed ? TRUE : FALSE;
}

BOOL InitializeFlatSB(HWND window) { return IsWindow(window); }

HRESULT UninitializeFlatSB(HWND window) { return IsWindow(window) ? S_OK : E_FAIL; }
