// The spin edit's looks: the spin button's place, the text rectangle, the
// flat and focus looks and the attached label.
#include <algorithm>

#include "platform/forms/forms.h"
#include "ui/controls/advspin.h"

void TAdvSpinEdit::SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
  TCustomMaskEdit::SetBounds(left, top, width, height);
  PlaceButton();
  PlaceLabel();
}

void TAdvSpinEdit::SetParent(TWinControl* parent) {
  TCustomMaskEdit::SetParent(parent);
  label_.FollowParent();
  PlaceLabel();
}

void TAdvSpinEdit::CreateWnd() {
  TCustomMaskEdit::CreateWnd();
  SetEditRect();
}

int32_t TAdvSpinEdit::MinHeight() {
  TBitmap probe;
  probe.SetSize(1, 1);
  probe.Canvas()->SetFont(Font());
  const int32_t h = probe.Canvas()->TextHeight("Wg");
  TFont screenFont;
  probe.Canvas()->SetFont(&screenFont);
  const int32_t s = probe.Canvas()->TextHeight("Wg");
  return h + std::min(h, s) / 4 + 2 + (BorderStyle() == bsSingle ? 4 * GetSystemMetrics(SM_CYBORDER) : 0);
}

void TAdvSpinEdit::PlaceButton() {
  if (!button_) return;
  const int32_t b = button_->Width();
  if (Ctl3D()) {
    const int32_t e = BorderStyle() == bsNone ? 1 : 5;
    button_->SetBounds(Width() - b - e + 1, 0, b, Height() - e);
  } else {
    button_->SetBounds(Width() - b - 1, 2, b, Height() - 3);
  }
  SetEditRect();
}

void TAdvSpinEdit::SetEditRect() {
  if (!HandleAllocated() || !button_) return;
  const int32_t g = BorderStyle() == bsNone ? 2 : 0;
  RECT r{g + (Ctl3D() ? 0 : 2), g, ClientWidth() - button_->Width() - 2 - g, ClientHeight() + 1};
  if (flat_) r = RECT{2, 4, ClientWidth() - button_->Width() - 4, ClientHeight() - 4};
  Perform(EM_SETRECTNP, 0, reinterpret_cast<LPARAM>(&r));
}

void TAdvSpinEdit::Relayout() {
  SetBounds(Left(), Top(), Width() + 1, Height());
  SetBounds(Left(), Top(), Width() - 1, Height());
}

void TAdvSpinEdit::PlaceLabel() { label_.Place(); }

void TAdvSpinEdit::SetEditAlign(TEditAlign a) {
  editAlign_ = a;
  SetAlignment(a == eaRight ? taRightJustify : a == eaCenter ? taCenter : taLeftJustify);
}

void TAdvSpinEdit::SetDirection(TSpinDirection d) {
  if (d == button_->Direction()) return;
  button_->SetDirection(d);
  Relayout();
}

void TAdvSpinEdit::SetFlat(bool v) {
  if (Loading()) {
    flat_ = v;
    return;
  }
  if (v == flat_) return;
  flat_ = v;
  if (v) {
    normalColor_ = Color();
    SetBorderStyle(bsNone);
  } else {
    if (normalColor_ != clNone) SetColor(normalColor_);
    SetBorderStyle(bsSingle);
  }
  SetEditRect();
  Invalidate();
}

void TAdvSpinEdit::SetFlatLineColor(TColor c) {
  flatLineColor_ = c;
  Invalidate();
}

void TAdvSpinEdit::SetSpinFlat(bool v) {
  button_->UpButton()->SetFlat(v);
  button_->DownButton()->SetFlat(v);
}

void TAdvSpinEdit::SetTransparent(bool v) {
  if (v == transparent_) return;
  transparent_ = v;
  Invalidate();
}

void TAdvSpinEdit::SetLabelCaption(const std::string& caption) { label_.SetCaption(caption); }
void TAdvSpinEdit::SetLabelPosition(TLabelPosition p) { label_.SetPosition(std::min(p, lpBottomCenter)); }
void TAdvSpinEdit::SetLabelMargin(int32_t m) { label_.SetMargin(m); }

void TAdvSpinEdit::FocusArrived() {
  if (focusBorderColor_ != clNone) Invalidate();
  if (focusColor_ != clNone) SetColor(focusColor_);
  if (focusLabel_) label_.SetBold(true);
}

void TAdvSpinEdit::FocusLost() {
  if (focusColor_ != clNone && normalColor_ != clNone) SetColor(normalColor_);
  if (focusLabel_) label_.SetBold(false);
  Invalidate();
}

void TAdvSpinEdit::PaintWindow(HDC dc) {
  TCustomMaskEdit::PaintWindow(dc);
  if (flat_) {
    const RECT fr = FormattingRect();
    HPEN pen = CreatePen(PS_SOLID, 1, ColorToRGB(flatLineColor_));
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, fr.left, Height() - 1, nullptr);
    LineTo(dc, fr.right, Height() - 1);
    SelectObject(dc, old);
    DeleteObject(pen);
  }
  if (focusBorderColor_ != clNone && Focused()) {
    HBRUSH brush = CreateSolidBrush(ColorToRGB(focusBorderColor_));
    RECT r{0, 0, Width(), Height()};
    FrameRect(dc, &r, brush);
    DeleteObject(brush);
  }
}
