// 3-D edges, focus rectangles and the frame controls (check boxes, radio
// buttons, push buttons, scroll arrows, caption buttons) in the classic look.
#include <algorithm>

#include "platform/win/gdi_internal.h"
#include "platform/win/user_system.h"

using namespace gdi;

namespace {

void Fill(HDC dc, int l, int t, int r, int b, COLORREF color) {
  if (r <= l || b <= t) return;
  HBRUSH brush = CreateSolidBrush(color);
  RECT rc{l, t, r, b};
  FillRect(dc, &rc, brush);
  DeleteObject(brush);
}

// One ring of an edge: `tl` on the top and left sides, `br` on the bottom and right.
void Ring(HDC dc, const RECT& r, UINT flags, COLORREF tl, COLORREF br) {
  if (flags & BF_TOP) Fill(dc, r.left, r.top, r.right, r.top + 1, tl);
  if (flags & BF_LEFT) Fill(dc, r.left, r.top, r.left + 1, r.bottom, tl);
  if (flags & BF_BOTTOM) Fill(dc, r.left, r.bottom - 1, r.right, r.bottom, br);
  if (flags & BF_RIGHT) Fill(dc, r.right - 1, r.top, r.right, r.bottom, br);
}

void Shrink(RECT& r, UINT flags) {
  if (flags & BF_LEFT) ++r.left;
  if (flags & BF_TOP) ++r.top;
  if (flags & BF_RIGHT) --r.right;
  if (flags & BF_BOTTOM) --r.bottom;
}

struct RingColors {
  COLORREF tl, br;
};

RingColors OuterColors(UINT edge, UINT flags) {
  if (flags & BF_MONO) return {ClassicColor(SysColor::WindowText), ClassicColor(SysColor::WindowText)};
  if (flags & BF_FLAT) return {ClassicColor(SysColor::Shadow), ClassicColor(SysColor::Shadow)};
  if (edge & BDR_RAISEDOUTER)
    return {ClassicColor((flags & BF_SOFT) ? SysColor::Highlight : SysColor::Light),
            ClassicColor(SysColor::DarkShadow)};
  return {ClassicColor(SysColor::Shadow), ClassicColor(SysColor::Highlight)};
}

RingColors InnerColors(UINT edge, UINT flags) {
  if (flags & (BF_MONO | BF_FLAT)) return {ClassicColor(SysColor::Face), ClassicColor(SysColor::Face)};
  if (edge & BDR_RAISEDINNER)
    return {ClassicColor((flags & BF_SOFT) ? SysColor::Light : SysColor::Highlight), ClassicColor(SysColor::Shadow)};
  return {ClassicColor(SysColor::DarkShadow), ClassicColor(SysColor::Light)};
}

// A filled triangle pointing `dir` (0 up, 1 down, 2 left, 3 right) centred
// in `r`: as large as on a scroll bar of the system's width (4 rows, 7
// pixels across for 17), smaller only where the box is too small for it.
void Arrow(HDC dc, const RECT& r, int dir, COLORREF color) {
  int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
  const int w = static_cast<int>(r.right - r.left), h = static_cast<int>(r.bottom - r.top);
  // Rows run along the arrow's direction; each is two pixels wider than the one before.
  const int room = dir < 2 ? std::min(h, (w + 1) / 2) - 1 : std::min(w, (h + 1) / 2) - 1;
  int size = std::clamp(GetSystemMetrics(SM_CXVSCROLL) / 4, 2, std::max(2, room));
  for (int i = 0; i < size; ++i) {
    int half = i;
    int along = i - size / 2;
    switch (dir) {
      case 0: Fill(dc, cx - half, cy + along, cx + half + 1, cy + along + 1, color); break;
      case 1: Fill(dc, cx - half, cy - along, cx + half + 1, cy - along + 1, color); break;
      case 2: Fill(dc, cx + along, cy - half, cx + along + 1, cy + half + 1, color); break;
      default: Fill(dc, cx - along, cy - half, cx - along + 1, cy + half + 1, color); break;
    }
  }
}

void CheckBox(HDC dc, const RECT& rc, UINT state) {
  int size = std::min<int>(13, std::min(rc.right - rc.left, rc.bottom - rc.top));
  RECT box{rc.left, rc.top + (rc.bottom - rc.top - size) / 2, rc.left + size, 0};
  box.bottom = box.top + size;
  DrawEdge(dc, &box, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
  bool grey = state & (DFCS_INACTIVE | DFCS_PUSHED);
  Fill(dc, box.left, box.top, box.right, box.bottom, ClassicColor(grey ? SysColor::Face : SysColor::Window));
  if (!(state & DFCS_CHECKED)) return;
  COLORREF tick = ClassicColor((state & DFCS_INACTIVE) ? SysColor::GrayText : SysColor::WindowText);
  HPEN pen = CreatePen(PS_SOLID, 1, tick);
  HGDIOBJ old = SelectObject(dc, pen);
  int x = box.left, y = box.top;
  for (int k = 0; k < 3; ++k) {
    MoveToEx(dc, x + 1, y + 4 + k, nullptr);
    LineTo(dc, x + 3, y + 6 + k);
    LineTo(dc, x + 8, y + 1 + k);
  }
  SelectObject(dc, old);
  DeleteObject(pen);
}

void RadioButton(HDC dc, const RECT& rc, UINT state) {
  int size = std::min<int>(12, std::min(rc.right - rc.left, rc.bottom - rc.top));
  int l = rc.left, t = rc.top + (rc.bottom - rc.top - size) / 2;
  HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
  auto disc = [&](int inset, COLORREF c) {
    HBRUSH b = CreateSolidBrush(c);
    HGDIOBJ old = SelectObject(dc, b);
    Ellipse(dc, l + inset, t + inset, l + size - inset + 1, t + size - inset + 1);
    SelectObject(dc, old);
    DeleteObject(b);
  };
  disc(0, ClassicColor(SysColor::Shadow));
  disc(1, ClassicColor(SysColor::DarkShadow));
  disc(2, ClassicColor((state & (DFCS_INACTIVE | DFCS_PUSHED)) ? SysColor::Face : SysColor::Window));
  if (state & DFCS_CHECKED) disc(size / 2 - 2, ClassicColor(SysColor::WindowText));
  SelectObject(dc, oldPen);
}

void Button(HDC dc, RECT& rc, UINT state) {
  UINT edge = (state & DFCS_PUSHED) ? EDGE_SUNKEN : EDGE_RAISED;
  UINT flags = BF_RECT | BF_MIDDLE | BF_ADJUST;
  if (state & DFCS_FLAT) flags |= BF_FLAT;
  if (state & DFCS_MONO) flags |= BF_MONO;
  DrawEdge(dc, &rc, edge, flags);
}

}  // namespace

BOOL DrawEdge(HDC dc, RECT* rect, UINT edge, UINT flags) {
  if (!AsDC(dc) || !rect) return FALSE;
  RECT r = *rect;
  if (edge & BDR_OUTER) {
    RingColors c = OuterColors(edge, flags);
    Ring(dc, r, flags, c.tl, c.br);
    Shrink(r, flags);
  }
  if (edge & BDR_INNER) {
    RingColors c = InnerColors(edge, flags);
    Ring(dc, r, flags, c.tl, c.br);
    Shrink(r, flags);
  }
  if (flags & BF_MIDDLE) Fill(dc, r.left, r.top, r.right, r.bottom, ClassicColor(SysColor::Face));
  if (flags & BF_ADJUST) *rect = r;
  return TRUE;
}

BOOL DrawFocusRect(HDC h, const RECT* rect) {
  DCObj* dc = AsDC(h);
  if (!dc || !rect) return FALSE;
  RECT r = TargetRect(dc, rect->left, rect->top, rect->right, rect->bottom);
  if (r.right <= r.left || r.bottom <= r.top) return TRUE;
  TargetLock lock(dc, true, &r);
  if (!lock.Ok()) return TRUE;
  // Every other pixel of the border, each once, inverted.
  Mask mask;
  mask.Init(r);
  for (int x = r.left; x < r.right; ++x) {
    if (((x + r.top) & 1) == 0) mask.Set(x, r.top, 255);
    if (((x + r.bottom - 1) & 1) == 0) mask.Set(x, r.bottom - 1, 255);
  }
  for (int y = r.top; y < r.bottom; ++y) {
    if (((r.left + y) & 1) == 0) mask.Set(r.left, y, 255);
    if (((r.right - 1 + y) & 1) == 0) mask.Set(r.right - 1, y, 255);
  }
  Paint paint;
  paint.color = 0xFFFFFFFFu;
  paint.rop2 = R2_XORPEN;
  ApplyMask(lock.View(), ClipRects(dc, lock.View()), mask, paint);
  return TRUE;
}

BOOL DrawFrameControl(HDC dc, RECT* rect, UINT type, UINT state) {
  if (!AsDC(dc) || !rect) return FALSE;
  RECT r = *rect;
  switch (type) {
    case DFC_BUTTON:
      if (state & DFCS_BUTTONPUSH) Button(dc, r, state);
      else if (state & (DFCS_BUTTONRADIO | DFCS_BUTTONRADIOIMAGE)) RadioButton(dc, r, state);
      else CheckBox(dc, r, state);
      return TRUE;
    case DFC_SCROLL: {
      Button(dc, r, state);
      static constexpr int kDir[] = {0, 1, 2, 3, 0, 1};
      unsigned kind = state & 0xFF;
      COLORREF c = ClassicColor((state & DFCS_INACTIVE) ? SysColor::GrayText : SysColor::WindowText);
      if (state & DFCS_PUSHED) r = {r.left + 1, r.top + 1, r.right + 1, r.bottom + 1};
      Arrow(dc, r, kDir[std::min(kind, 5u)], c);
      return TRUE;
    }
    case DFC_CAPTION: {
      Button(dc, r, state);
      HPEN pen = CreatePen(PS_SOLID, 2, ClassicColor(SysColor::WindowText));
      HGDIOBJ old = SelectObject(dc, pen);
      int w = r.right - r.left, hgt = r.bottom - r.top;
      int l = r.left + w / 4, t = r.top + hgt / 4, rr = r.right - w / 4, b = r.bottom - hgt / 4;
      if ((state & 0xFF) == DFCS_CAPTIONCLOSE) {
        MoveToEx(dc, l, t, nullptr);
        LineTo(dc, rr, b);
        MoveToEx(dc, rr, t, nullptr);
        LineTo(dc, l, b);
      } else if ((state & 0xFF) == DFCS_CAPTIONMIN) {
        MoveToEx(dc, l, b, nullptr);
        LineTo(dc, rr, b);
      } else {
        SelectObject(dc, GetStockObject(NULL_BRUSH));
        Rectangle(dc, l, t, rr, b);
      }
      SelectObject(dc, old);
      DeleteObject(pen);
      return TRUE;
    }
    default: return FALSE;
  }
}
