// The enhanced edit's looks: the error look, the link look and its click,
// the grey empty-text prompt and the focus border.
#include "platform/forms/forms.h"
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
  OpenLink(GetText());
}

void TAdvEdit::SetEmptyText(const std::string& s) {
  emptyText_ = s;
  Invalidate();
}

void TAdvEdit::CreateWnd() { TCustomEdit::CreateWnd(); }

void TAdvEdit::PaintWindow(HDC dc) {
  TCustomEdit::PaintWindow(dc);
  if (!emptyText_.empty() && GetText().empty() && !Focused()) {
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, ColorToRGB(clGray));
    TextOut(dc, 2, 2, emptyText_);
  }
  if (focusBorderColor_ != clNone && Focused()) {
    HBRUSH brush = CreateSolidBrush(ColorToRGB(focusBorderColor_));
    RECT r{0, 0, Width(), Height()};
    FrameRect(dc, &r, brush);
    DeleteObject(brush);
  }
}
