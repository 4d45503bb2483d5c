// The enhanced edit's looks: the error look, the link look and its click,
// the grey empty-text prompt, the focus border, the flat look with its line
// or soft frame, the error marker and the transparent background.
#include "platform/forms/forms.h"
#include "ui/controls/parentbackground.h"
#include "ui/render/htmlengine.h"
#include "ui/controls/advedit.h"

bool OpenLink(const std::string& value) { return OpenAnchor(SafeLinkTarget(value)); }

void TAdvEdit::SetError(bool v) {
  if (ComponentState().Contains(csDesigning) || ComponentState().Contains(csLoading) || v == error_) return;
  error_ = v;
  if (!showError_) return;
  if (v) {
    TControl::SetColor(errorColor_);
    Font()->SetColor(errorFontColor_);
  } else {
    TControl::SetColor(Focused() && focusColor_ != clNone ? focusColor_ : normalColor_);
    Font()->SetColor(Focused() && focusFontColor_ != clNone ? focusFontColor_ : normalFontColor_);
  }
}

void TAdvEdit::SetShowURL(bool v) {
  showURL_ = v;
  linkLook_ = v && IsURL();
  ApplyFontColor();
}

void TAdvEdit::ApplyFontColor() {
  TFontStyles style = Font()->Style();
  if (linkLook_) {
    style.Include(fsUnderline);
    Font()->SetColor(urlColor_);
    SetCursor(crHandPoint);
  } else {
    style.Exclude(fsUnderline);
    Font()->SetColor(normalFontColor_);
    SetCursor(crDefault);
  }
  Font()->SetStyle(style);
}

void TAdvEdit::LinkClick() {
  if (!linkLook_ || !Focused() || !showURL_) return;
  bool show = true;
  if (OnURLClick) OnURLClick(this, GetText(), show);
  if (show) OpenLink(GetText());
}

void TAdvEdit::SetEditAlign(TAdvEditAlign a) {
  if (a == editAlign_) return;
  editAlign_ = a;
  SetAlignment(a == AdvEdit::eaRight ? taRightJustify : a == AdvEdit::eaCenter ? taCenter : taLeftJustify);
  Invalidate();
}

void TAdvEdit::SetDisabledColor(TColor c) {
  disabledColor_ = c;
  if (!Enabled()) TControl::SetColor(c);
  Invalidate();
}

void TAdvEdit::SetFocusBorder(bool v) {
  focusBorder_ = v;
  Invalidate();
}

void TAdvEdit::EnabledChanged() {
  label_.FollowEnabled();
  if (ComponentState().Contains(csLoading) || ComponentState().Contains(csDesigning)) return;
  if (Enabled()) {
    TControl::SetColor(normalColor_);
  } else {
    normalColor_ = Color();
    TControl::SetColor(disabledColor_);
  }
}

void TAdvEdit::MouseEntered() {
  if (autoFocus_ && !ComponentState().Contains(csDesigning) && CanFocus()) {
    TCustomForm* form = GetParentForm();
    if (!form || form->Active()) SetFocus();
  }
  if (Enabled() && !mouseInside_) {
    mouseInside_ = true;
    if (focusBorder_) Invalidate();
  }
  if (OnMouseEnter) OnMouseEnter(this);
}

void TAdvEdit::MouseLeft() {
  if (Enabled() && mouseInside_) {
    mouseInside_ = false;
    if (focusBorder_) Invalidate();
  }
  if (OnMouseLeave) OnMouseLeave(this);
}

// The office border: sunken under the mouse or with the focus, otherwise
// hidden in the parent's colour.
void TAdvEdit::DrawBorder(HDC dc) {
  RECT r{0, 0, Width(), Height()};
  auto frame = [&](RECT f, TColor color) {
    HBRUSH brush = CreateSolidBrush(ColorToRGB(color));
    FrameRect(dc, &f, brush);
    DeleteObject(brush);
  };
  if (mouseInside_ || Focused()) {
    DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
    frame(r, clBtnFace);
    return;
  }
  const TColor parent = Parent() ? Parent()->Color() : clBtnFace;
  frame(r, parent);
  InflateRect(&r, -1, -1);
  frame(r, parent);
}

void TAdvEdit::ShowLargeTextHint(THintInfo* info) {
  if (!hintShowLargeText_ || !info) return;
  TBitmap measure;
  measure.SetSize(1, 1);
  measure.Canvas()->Font()->Assign(Font());
  if (measure.Canvas()->TextWidth(GetText()) <= Width()) return;
  info->HintStr = GetText();
  info->HintPos = ClientOrigin();
}

void TAdvEdit::SetEmptyText(const std::string& s) {
  emptyText_ = s;
  Invalidate();
}

void TAdvEdit::CreateWnd() {
  TCustomEdit::CreateWnd();
  UpdateTextRect();
}

void TAdvEdit::SetFlat(bool v) {
  if (ComponentState().Contains(csLoading)) {
    flat_ = v;
    return;
  }
  if (v == flat_) return;
  flat_ = v;
  if (v) {
    const TColor current = Color();
    if (flatParentColor_ && Parent()) {
      TControl::SetColor(Parent()->Color());
      focusColor_ = Parent()->Color();
    } else {
      TControl::SetColor(normalColor_);
    }
    normalColor_ = current;
    savedBorderStyle_ = BorderStyle();
    SetBorderStyle(bsNone);
  } else {
    TControl::SetColor(normalColor_);
    SetBorderStyle(savedBorderStyle_);
  }
  UpdateTextRect();
  Invalidate();
}

void TAdvEdit::UpdateTextRect() {
  if (!HandleAllocated()) return;
  if (!flat_) {
    Perform(EM_SETRECTNP, 0, 0);  // the edit's own margins
    return;
  }
  const int32_t s = Ctl3D() ? 0 : Font()->Size() / 3;
  const RECT c = ClientRect();
  RECT r{s + 4, 3, c.right - s - 4, c.bottom - 4};
  Perform(EM_SETRECTNP, 0, reinterpret_cast<LPARAM>(&r));
}

void TAdvEdit::SetFlatLineColor(TColor c) {
  flatLineColor_ = c;
  Invalidate();
}

void TAdvEdit::SetFlatParentColor(bool v) {
  flatParentColor_ = v;
  Invalidate();
}

void TAdvEdit::SetSoftBorder(bool v) {
  if (v == softBorder_) return;
  softBorder_ = v;
  Invalidate();
}

void TAdvEdit::SetTransparent(bool v) {
  if (v == transparent_) return;
  transparent_ = v;
  Invalidate();
}

void TAdvEdit::SetErrorMarkerPos(int32_t p) {
  errorMarkerPos_ = p;
  Invalidate();
}

void TAdvEdit::SetErrorMarkerLen(int32_t n) {
  errorMarkerLen_ = n;
  Invalidate();
}

POINT TAdvEdit::CharPos(int32_t index) {
  const LRESULT at = Perform(EM_POSFROMCHAR, static_cast<WPARAM>(std::max(index, 0)), 0);
  if (at < 0) return POINT{0, 0};
  return POINT{static_cast<int16_t>(LOWORD(at)), static_cast<int16_t>(HIWORD(at))};
}

void TAdvEdit::DrawFlatLine(HDC dc) {
  if (flatLineColor_ == clNone) return;
  RECT r{};
  Perform(EM_GETRECT, 0, reinterpret_cast<LPARAM>(&r));
  const int32_t w = Width(), h = Height();
  HPEN pen = CreatePen(PS_SOLID, 1, ColorToRGB(Enabled() ? flatLineColor_ : clGray));
  HGDIOBJ old = SelectObject(dc, pen);
  if (softBorder_) {
    const POINT frame[] = {{r.left - 4, h - 1}, {w - 1, h - 1}, {w - 1, r.top - 3}, {r.left - 4, r.top - 3}, {r.left - 4, h - 1}};
    Polyline(dc, frame, 5);
  } else {
    MoveToEx(dc, r.left - 2, h - 1, nullptr);
    LineTo(dc, w, h - 1);
  }
  SelectObject(dc, old);
  DeleteObject(pen);
}

void TAdvEdit::DrawErrorMarker(HDC dc) {
  const auto n = static_cast<int32_t>(ShownText().size());
  const int32_t p = errorMarkerPos_, len = errorMarkerLen_;
  // Past the end of the text the marker starts (ends) 4 pixels beyond it.
  POINT start = n > p ? CharPos(p) : CharPos(n);
  if (n <= p) start.x += 4;
  POINT end = n > p + len ? CharPos(p + len - 1) : CharPos(n - 1);
  if (n <= p + len) end.x += 4;
  HPEN pen = CreatePen(PS_SOLID, 2, ColorToRGB(clRed));
  HGDIOBJ oldPen = SelectObject(dc, pen);
  HGDIOBJ oldFont = SelectObject(dc, Font()->Handle());
  SIZE gh{};
  GetTextExtentPoint32(dc, "gh", &gh);
  const int32_t h = gh.cy - 1;
  int32_t x = start.x;
  bool low = true;
  MoveToEx(dc, x, start.y + h + 3, nullptr);
  while (x <= end.x) {
    x += 3;
    low = !low;
    LineTo(dc, x, end.y + h + (low ? 3 : 0));
  }
  x += 3;
  LineTo(dc, x, end.y + h + (low ? 0 : 3));
  SelectObject(dc, oldFont);
  SelectObject(dc, oldPen);
  DeleteObject(pen);
}

void TAdvEdit::PaintWindow(HDC dc) {
  if (transparent_) PaintParentBackground(this, dc);
  TCustomEdit::PaintWindow(dc);
  if (flat_ && !focusBorder_) DrawFlatLine(dc);
  if (focusBorder_ && Enabled()) DrawBorder(dc);
  if (errorMarkerLen_ > 0 && !Focused()) DrawErrorMarker(dc);
  if (!emptyText_.empty() && GetText().empty() && !Focused()) {
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, ColorToRGB(clGray));
    TextOut(dc, 2, 2, emptyText_);
  }
  const TColor frame = !Enabled() && disabledBorder_          ? clSilver
                       : focusBorderColor_ != clNone && Focused() ? focusBorderColor_
                                                                  : clNone;
  if (frame != clNone) {
    HBRUSH brush = CreateSolidBrush(ColorToRGB(frame));
    RECT r{0, 0, Width(), Height()};
    FrameRect(dc, &r, brush);
    DeleteObject(brush);
  }
}
