// Painting: update rectangles, WM_PAINT order, device contexts over the
// surfaces, the plain frame, presenting and snapshots.
//
// Sections: invalidation; paint order; device contexts; frame and
// background; presenting and snapshots.
#include <algorithm>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/win/gdi.h"
#include "platform/win/gdi_text.h"
#include "platform/win/user_messages.h"
#include "platform/win/user_internal.h"

namespace user {

namespace {

SIZE ClientExtent(const Window& w) {
  RECT c = ClientInWindow(w);
  return SIZE{c.right - c.left, c.bottom - c.top};
}

// A rectangle of the parent's client area in the child's client coordinates.
RECT ParentToChildClient(const Window& child, const RECT& r) {
  RECT out = r;
  RECT c = ClientInWindow(child);
  OffsetRect(&out, -(child.rect.left + c.left), -(child.rect.top + c.top));
  return out;
}

Surface* SurfaceOf(Window& w) {
  Window* top = TopLevelOf(&w);
  return top ? top->surface.get() : nullptr;
}

}  // namespace

uint32_t Pixel(COLORREF c) {
  return 0xFF000000u | (uint32_t{GetRValue(c)} << 16) | (uint32_t{GetGValue(c)} << 8) | GetBValue(c);
}

void FillSurface(Surface& s, RECT r, const RECT& clip, COLORREF color) {
  IntersectRect(&r, &r, &clip);
  RECT bounds{0, 0, s.width, s.height};
  if (!IntersectRect(&r, &r, &bounds)) return;
  uint32_t p = Pixel(color);
  for (LONG y = r.top; y < r.bottom; ++y) std::fill(s.Row(y) + r.left, s.Row(y) + r.right, p);
}

// -------------------------------------------------------------- invalidation ---

void Invalidate(Window& w, const RECT* rect, bool erase, bool children) {
  if (!w.redraw) return;
  SIZE size = ClientExtent(w);
  RECT client{0, 0, size.cx, size.cy};
  RECT r = client;
  if (rect && !IntersectRect(&r, rect, &client)) return;
  if (IsRectEmpty(&r)) return;
  UnionRect(&w.update, &w.update, &r);
  w.erase = w.erase || erase;
  if (!children) return;
  // A parent paints over its children, so what it repaints they repaint too:
  // all of its update rectangle, which joins this rectangle with those before
  // it and may reach children that none of them touched.
  for (HWND c : w.children) {
    Window* cw = Find(c);
    if (!cw || !(cw->style & WS_VISIBLE)) continue;
    RECT overlap;
    if (!IntersectRect(&overlap, &w.update, &cw->rect)) continue;
    cw->frameDirty = true;
    RECT inChild = ParentToChildClient(*cw, overlap);
    Invalidate(*cw, &inChild, erase, true);
  }
}

void InvalidateAll(Window& w) {
  w.frameDirty = true;
  Invalidate(w, nullptr, true, true);
}

// ---------------------------------------------------------------- paint order ---

namespace {

HWND NeedingPaintIn(Window& w, HWND filter) {
  if (!(w.style & WS_VISIBLE) || !w.redraw) return nullptr;
  if ((!IsRectEmpty(&w.update) || w.frameDirty) && (!filter || filter == w.handle)) return w.handle;
  // Back to front, so the front sibling paints last.
  for (auto it = w.children.rbegin(); it != w.children.rend(); ++it)
    if (Window* c = Find(*it))
      if (HWND h = NeedingPaintIn(*c, filter)) return h;
  return nullptr;
}

bool NeedsPaint(const Window& w) { return w.redraw && (!IsRectEmpty(&w.update) || w.frameDirty); }

// Sends WM_PAINT to the window (and its children) that need it.
void PaintNow(HWND h, bool children) {
  Window* w = Find(h);
  if (!w || !IsShown(*w)) return;
  if (NeedsPaint(*w)) CallProc(h, WM_PAINT, 0, 0);
  if (!children || !(w = Find(h))) return;
  std::vector<HWND> list(w->children.rbegin(), w->children.rend());
  for (HWND c : list) PaintNow(c, true);
}

}  // namespace

HWND WindowNeedingPaint(HWND filter) {
  for (HWND t : S().topLevels)
    if (Window* w = Find(t))
      if (HWND h = NeedingPaintIn(*w, filter)) return h;
  return nullptr;
}

// ---------------------------------------------------------- frame and background ---

namespace {

// The title in the caption bar (`bar` in window coordinates).
void DrawCaptionText(Window& w, RECT bar, bool active) {
  if (w.text.empty()) return;
  HDC dc = GetWindowDC(w.handle);
  if (!dc) return;
  HGDIOBJ oldFont = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(active ? COLOR_CAPTIONTEXT : COLOR_INACTIVECAPTIONTEXT));
  bar.left += 4;
  bar.right -= 4;
  DrawText(dc, w.text, &bar, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
  SelectObject(dc, oldFont);
  ReleaseDC(w.handle, dc);
}

// The glyph of a caption button, in the text colour, inside `r` (surface coordinates).
void DrawButtonGlyph(Surface& s, LRESULT button, const RECT& r, const RECT& clip, COLORREF ink) {
  const int size = std::min(r.right - r.left, r.bottom - r.top) / 2;
  const int left = (r.left + r.right - size) / 2, top = (r.top + r.bottom - size) / 2;
  auto dot = [&](LONG x, LONG y) { FillSurface(s, RECT{x, y, x + 2, y + 1}, clip, ink); };
  switch (button) {
    case HTCLOSE:
      for (int i = 0; i < size; ++i) {
        dot(left + i, top + i);
        dot(left + size - 2 - i, top + i);
      }
      break;
    case HTMAXBUTTON:
      FillSurface(s, RECT{left, top, left + size, top + 2}, clip, ink);
      FillSurface(s, RECT{left, top + size - 1, left + size, top + size}, clip, ink);
      FillSurface(s, RECT{left, top, left + 1, top + size}, clip, ink);
      FillSurface(s, RECT{left + size - 1, top, left + size, top + size}, clip, ink);
      break;
    default:
      FillSurface(s, RECT{left, top + size - 2, left + size, top + size}, clip, ink);
      break;
  }
}

// The close, maximise and minimise buttons the style asks for; `o` is the
// window's origin in the surface.
void DrawCaptionButtons(Window& w, Surface& s, POINT o, const RECT& clip) {
  for (LRESULT button : {HTCLOSE, HTMAXBUTTON, HTMINBUTTON}) {
    RECT r = CaptionButtonRect(w, button);
    if (IsRectEmpty(&r)) continue;
    OffsetRect(&r, o.x, o.y);
    FillSurface(s, r, clip, GetSysColor(COLOR_BTNSHADOW));
    FillSurface(s, RECT{r.left, r.top, r.right - 1, r.bottom - 1}, clip, GetSysColor(COLOR_BTNHIGHLIGHT));
    RECT inner{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
    FillSurface(s, inner, clip, GetSysColor(COLOR_BTNFACE));
    DrawButtonGlyph(s, button, inner, clip, GetSysColor(COLOR_BTNTEXT));
  }
}

// Where the caption text may go: left of the leftmost button.
LONG CaptionTextRight(const Window& w, LONG barRight) {
  for (LRESULT button : {HTMINBUTTON, HTMAXBUTTON, HTCLOSE}) {
    RECT r = CaptionButtonRect(w, button);
    if (!IsRectEmpty(&r)) return r.left - 2;
  }
  return barRight;
}

}  // namespace

void DrawPlainFrame(Window& w) {
  RECT ins = FrameInsets(w);
  if (ins.left == 0 && ins.top == 0 && ins.right == 0 && ins.bottom == 0) return;
  Surface* s = SurfaceOf(w);
  if (!s) return;
  POINT o = WindowOriginInSurface(w);
  RECT whole{o.x, o.y, o.x + (w.rect.right - w.rect.left), o.y + (w.rect.bottom - w.rect.top)};
  RECT clip = VisibleInSurface(w, true);
  RECT client = ClientInWindow(w);
  OffsetRect(&client, o.x, o.y);
  // The frame band in the face colour, an outer line, and the caption bar.
  auto band = [&](const RECT& r, COLORREF c) { FillSurface(*s, r, clip, c); };
  COLORREF face = GetSysColor(COLOR_BTNFACE);
  band(RECT{whole.left, whole.top, whole.right, client.top}, face);
  band(RECT{whole.left, client.bottom, whole.right, whole.bottom}, face);
  band(RECT{whole.left, client.top, client.left, client.bottom}, face);
  band(RECT{client.right, client.top, whole.right, client.bottom}, face);
  COLORREF line = GetSysColor(COLOR_WINDOWFRAME);
  band(RECT{whole.left, whole.top, whole.right, whole.top + 1}, line);
  band(RECT{whole.left, whole.bottom - 1, whole.right, whole.bottom}, line);
  band(RECT{whole.left, whole.top, whole.left + 1, whole.bottom}, line);
  band(RECT{whole.right - 1, whole.top, whole.right, whole.bottom}, line);
  if ((w.style & WS_CAPTION) == WS_CAPTION) {
    bool active = !w.parent && GetActiveWindow() == w.handle;
    int b = ins.left - ((w.exStyle & WS_EX_CLIENTEDGE) ? GetSystemMetrics(SM_CXEDGE) : 0);
    RECT bar{whole.left + b, whole.top + b, whole.right - b, whole.top + b + GetSystemMetrics(SM_CYCAPTION)};
    band(bar, GetSysColor(active ? COLOR_ACTIVECAPTION : COLOR_INACTIVECAPTION));
    OffsetRect(&bar, -o.x, -o.y);
    bar.right = CaptionTextRight(w, bar.right);
    DrawCaptionText(w, bar, active);
    DrawCaptionButtons(w, *s, o, clip);
  }
  DrawScrollBars(w, *s, o, clip);
  if (w.exStyle & WS_EX_CLIENTEDGE) {
    int e = GetSystemMetrics(SM_CXEDGE);
    RECT edge = client;
    InflateRect(&edge, e, e);
    band(RECT{edge.left, edge.top, edge.right, edge.top + 1}, GetSysColor(COLOR_BTNSHADOW));
    band(RECT{edge.left, edge.top, edge.left + 1, edge.bottom}, GetSysColor(COLOR_BTNSHADOW));
    band(RECT{edge.left, edge.bottom - 1, edge.right, edge.bottom}, GetSysColor(COLOR_BTNHIGHLIGHT));
    band(RECT{edge.right - 1, edge.top, edge.right, edge.bottom}, GetSysColor(COLOR_BTNHIGHLIGHT));
  }
  if (Window* top = TopLevelOf(&w)) MarkPresent(*top);
}

// On the device context given (it may be another window's or a memory one),
// with the class brush or, for a system colour index + 1, that colour.
void EraseBackground(Window& w, HDC dc, const RECT& rect) {
  auto brush = reinterpret_cast<uintptr_t>(w.cls->background);
  if (brush == 0 || !dc) return;
  if (brush > 31) {
    FillRect(dc, &rect, w.cls->background);
    return;
  }
  HBRUSH colour = CreateSolidBrush(GetSysColor(static_cast<int>(brush - 1)));
  FillRect(dc, &rect, colour);
  DeleteObject(colour);
}

// --------------------------------------------------------- presenting and snapshots ---

void MarkPresent(Window& w) { w.needsPresent = true; }

void PresentSurfaces() {
  for (HWND t : S().topLevels) {
    Window* w = Find(t);
    if (!w || !w->needsPresent || !w->onDisplay || !w->surface) continue;
    w->needsPresent = false;
    Display().Present(reinterpret_cast<display::WindowKey>(t), *w->surface);
  }
}

// ------------------------------------------------------ calls from other threads ---

namespace {

// Window state belongs to the GUI thread: another thread's InvalidateRect or
// RedrawWindow is handed over and run there before the next message.
struct DeferredRedraw {
  HWND window;
  std::optional<RECT> rect;
  BOOL erase;
  UINT flags;  // 0: an InvalidateRect
};

std::mutex deferredMutex;
std::vector<DeferredRedraw> deferredRedraws;

bool OffGuiThread() { return GetGuiThreadId() != 0 && !IsGuiThread(); }

void Defer(HWND window, const RECT* rect, BOOL erase, UINT flags) {
  {
    std::lock_guard lock(deferredMutex);
    deferredRedraws.push_back(DeferredRedraw{window, rect ? std::optional<RECT>(*rect) : std::nullopt, erase, flags});
  }
  WakeQueue();
}

}  // namespace

void ApplyDeferredRedraws() {
  std::vector<DeferredRedraw> calls;
  {
    std::lock_guard lock(deferredMutex);
    calls.swap(deferredRedraws);
  }
  for (const DeferredRedraw& c : calls) {
    const RECT* rect = c.rect ? &*c.rect : nullptr;
    if (c.flags == 0) InvalidateRect(c.window, rect, c.erase);
    else RedrawWindow(c.window, rect, nullptr, c.flags);
  }
}

}  // namespace user

using namespace user;

BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase) {
  if (OffGuiThread()) {
    Defer(window, rect, erase, 0);
    return TRUE;
  }
  if (!window) {
    for (HWND t : S().topLevels)
      if (Window* w = Find(t)) InvalidateAll(*w);
    return TRUE;
  }
  Window* w = Find(window);
  if (!w) return FALSE;
  Invalidate(*w, rect, erase != FALSE, true);
  return TRUE;
}

BOOL ValidateRect(HWND window, const RECT* rect) {
  Window* w = Find(window);
  if (!w) return FALSE;
  RECT& u = w->update;
  if (!rect) {
    u = RECT{};
    w->erase = false;
    return TRUE;
  }
  // The update area is one rectangle: a validated band along one whole side shrinks it.
  RECT overlap;
  if (!IntersectRect(&overlap, &u, rect)) return TRUE;
  if (overlap == u) {
    u = RECT{};
    w->erase = false;
  } else if (overlap.left == u.left && overlap.right == u.right) {
    if (overlap.top == u.top) u.top = overlap.bottom;
    else if (overlap.bottom == u.bottom) u.bottom = overlap.top;
  } else if (overlap.top == u.top && overlap.bottom == u.bottom) {
    if (overlap.left == u.left) u.left = overlap.right;
    else if (overlap.right == u.right) u.right = overlap.left;
  }
  return TRUE;
}

BOOL GetUpdateRect(HWND window, RECT* rect, BOOL erase) {
  Window* w = Find(window);
  if (!w) return FALSE;
  if (rect) *rect = w->update;
  bool any = !IsRectEmpty(&w->update);
  if (any && erase && w->erase) {
    HDC dc = GetDC(window);
    if (dc) w->erase = !SendMessage(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    ReleaseDC(window, dc);
  }
  return any ? TRUE : FALSE;
}

// Painting outside the message loop (UpdateWindow, RDW_UPDATENOW, GetDC) is
// shown at once, since the loop may not come back to idle for a while.
BOOL UpdateWindow(HWND window) {
  if (!Find(window)) return FALSE;
  PaintNow(window, false);
  PresentSurfaces();
  return TRUE;
}

BOOL RedrawWindow(HWND window, const RECT* rect, HRGN region, UINT flags) {
  if (OffGuiThread()) {
    // A region is the GUI thread's object too: the whole window stands for it.
    Defer(window, region ? nullptr : rect, FALSE, flags == 0 ? RDW_INVALIDATE : flags);
    return TRUE;
  }
  if (!window) {
    std::vector<HWND> tops = S().topLevels;
    for (HWND t : tops) RedrawWindow(t, rect, region, flags);
    return TRUE;
  }
  Window* w = Find(window);
  if (!w) return FALSE;
  bool children = !(flags & RDW_NOCHILDREN);
  std::vector<RECT> rects;
  if (region) rects = GetRegionRects(region);
  else if (rect) rects.push_back(*rect);
  if (flags & RDW_INVALIDATE) {
    if (flags & RDW_FRAME) w->frameDirty = true;
    if (rects.empty() && !region) Invalidate(*w, nullptr, (flags & RDW_ERASE) != 0, children);
    for (const RECT& r : rects) Invalidate(*w, &r, (flags & RDW_ERASE) != 0, children);
    if ((flags & RDW_FRAME) && (flags & RDW_ALLCHILDREN))
      for (HWND c : w->children)
        if (Window* cw = Find(c)) InvalidateAll(*cw);
  }
  if (flags & RDW_VALIDATE) {
    if (rects.empty()) ValidateRect(window, nullptr);
    for (const RECT& r : rects) ValidateRect(window, &r);
    if (flags & RDW_NOFRAME) w->frameDirty = false;
  }
  if (flags & (RDW_UPDATENOW | RDW_ERASENOW)) {
    PaintNow(window, (flags & RDW_ALLCHILDREN) != 0);
    PresentSurfaces();
  }
  return TRUE;
}

BOOL InvalidateRgn(HWND window, HRGN region, BOOL erase) {
  return RedrawWindow(window, nullptr, region, RDW_INVALIDATE | (erase ? RDW_ERASE : 0));
}

// ------------------------------------------------------------ device contexts ---

namespace {

HDC DeviceContextOn(HWND window, bool wholeWindow, const RECT* area) {
  Window* w = Find(window);
  if (!w) return nullptr;
  Surface* s = SurfaceOf(*w);
  if (!s) return nullptr;
  POINT o = WindowOriginInSurface(*w);
  if (!wholeWindow) {
    RECT c = ClientInWindow(*w);
    o.x += c.left;
    o.y += c.top;
  }
  RECT clip = VisibleInSurface(*w, wholeWindow);
  if (area) {
    RECT a = *area;
    OffsetRect(&a, o.x, o.y);
    IntersectRect(&clip, &clip, &a);
  }
  return CreateSurfaceDC(s, o, clip, window);
}

void MarkPresentOf(HWND window) {
  if (Window* w = Find(window))
    if (Window* top = TopLevelOf(w)) MarkPresent(*top);
}

}  // namespace

HDC BeginPaint(HWND window, PAINTSTRUCT* paint) {
  Window* w = Find(window);
  if (!w || !paint) return nullptr;
  CaretPaintBegin(window);
  if (w->frameDirty) {
    w->frameDirty = false;
    CallProc(window, WM_NCPAINT, 1, 0);
    if (!(w = Find(window))) return nullptr;
  }
  RECT area = w->update;
  bool erase = w->erase;
  w->update = RECT{};
  w->erase = false;
  *paint = PAINTSTRUCT{};
  paint->rcPaint = area;
  paint->hdc = DeviceContextOn(window, false, &area);
  paint->fErase = TRUE;
  if (erase && paint->hdc)
    paint->fErase = CallProc(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(paint->hdc), 0) ? FALSE : TRUE;
  MarkPresentOf(window);
  return paint->hdc;
}

BOOL EndPaint(HWND window, const PAINTSTRUCT* paint) {
  if (paint && paint->hdc) ReleaseSurfaceDC(paint->hdc);
  CaretPaintEnd(window);
  MarkPresentOf(window);
  return TRUE;
}

// The screen's device context answers questions (GetDeviceCaps); it draws nowhere.
HDC GetDC(HWND window) {
  if (!window) return CreateCompatibleDC(nullptr);
  return DeviceContextOn(window, false, nullptr);
}

HDC GetWindowDC(HWND window) {
  if (!window) return GetDC(nullptr);
  return DeviceContextOn(window, true, nullptr);
}

int ReleaseDC(HWND window, HDC dc) {
  if (!dc) return 0;
  if (!window) return DeleteDC(dc) ? 1 : 0;
  ReleaseSurfaceDC(dc);
  MarkPresentOf(window);
  PresentSurfaces();
  return 1;
}

Surface* GetWindowSurface(HWND window) {
  Window* w = Find(window);
  return w ? SurfaceOf(*w) : nullptr;
}

bool SaveWindowSnapshot(HWND window, const std::string& path) {
  Window* w = Find(window);
  if (!w) return false;
  Surface* s = SurfaceOf(*w);
  if (!s) return false;
  POINT o = WindowOriginInSurface(*w);
  RECT r{o.x, o.y, o.x + (w->rect.right - w->rect.left), o.y + (w->rect.bottom - w->rect.top)};
  RECT bounds{0, 0, s->width, s->height};
  if (!IntersectRect(&r, &r, &bounds)) return false;
  int width = r.right - r.left, height = r.bottom - r.top;
  std::vector<uint32_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
  for (int y = 0; y < height; ++y)
    std::copy_n(s->Row(r.top + y) + r.left, width, pixels.begin() + static_cast<ptrdiff_t>(y) * width);
  return display::WritePng(path, pixels.data(), width, height);
}

