// The flat combo box.
//
// Sections: button face | construction and properties | focus and mouse |
// painting
#include "ui/controls/advcombo.h"

#include "platform/forms/forms.h"
#include "platform/forms/properties.h"
#include "ui/controls/acxpvs.h"
#include "ui/render/gdippicturecontainer.h"

// ---- button face ----

TComboButtonFace ComboButtonFace(bool enabled, bool mouseButtonDown, bool droppedDown, bool mouseOverButton) {
  TComboButtonFace face{};
  if (!enabled) face.ThemeState = 4;
  else if (mouseButtonDown && droppedDown) face.ThemeState = 3;
  else if (mouseButtonDown) face.ThemeState = 1;
  else if (mouseOverButton && !droppedDown) face.ThemeState = 2;
  else face.ThemeState = 1;
  face.FrameState = DFCS_SCROLLCOMBOBOX | (enabled ? DFCS_FLAT : DFCS_INACTIVE);
  return face;
}

// ---- construction and properties ----

const TClassInfo& TAdvCustomCombo::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<TAdvCustomCombo>("TAdvCustomCombo", &TCustomComboBox::StaticClassInfo(), [](TPublished<TAdvCustomCombo>& p) {
        using C = TAdvCustomCombo;
        const TIntegerIdents* colors = &ColorIdents();
        p.Boolean("AutoFocus", &C::AutoFocus, &C::SetAutoFocus)
            .Integer("ButtonWidth", &C::ButtonWidth, &C::SetButtonWidth)
            .Boolean("DisabledBorder", &C::DisabledBorder, &C::SetDisabledBorder)
            .Boolean("Flat", &C::Flat, &C::SetFlat)
            .Boolean("Etched", &C::Etched, &C::SetEtched)
            .Integer("FlatLineColor", &C::FlatLineColor, &C::SetFlatLineColor, colors)
            .Boolean("FlatParentColor", &C::FlatParentColor, &C::SetFlatParentColor)
            .Boolean("FocusBorder", &C::FocusBorder, &C::SetFocusBorder)
            .Integer("FocusBorderColor", &C::FocusBorderColor, &C::SetFocusBorderColor, colors)
            .Integer("FocusColor", &C::FocusColor, &C::SetFocusColor, colors)
            .Boolean("FocusLabel", &C::FocusLabel, &C::SetFocusLabel)
            .Integer("DropWidth", &C::DropWidth, &C::SetDropWidth)
            .String("LabelCaption", &C::LabelCaption, &C::SetLabelCaption)
            .Enumeration("LabelPosition", LabelPositionNames(), &C::LabelPosition, &C::SetLabelPosition)
            .Integer("LabelMargin", &C::LabelMargin, &C::SetLabelMargin)
            .Boolean("LabelTransparent", &C::LabelTransparent, &C::SetLabelTransparent)
            .Boolean("LabelAlwaysEnabled", &C::LabelAlwaysEnabled, &C::SetLabelAlwaysEnabled)
            .Object("LabelFont", &C::LabelFont)
            .Integer("Color", &C::ComboColor, &C::SetComboColor, colors)
            .Boolean("Enabled", &C::Enabled, &C::SetComboEnabled)
            .String("Version", &C::Version, &C::SetVersion)
            .Event("OnDropUp", &C::OnDropUp);
      });
  return info;
}
const TClassInfo& TAdvComboBox::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TAdvComboBox>("TAdvComboBox", &TAdvCustomCombo::StaticClassInfo());
  return info;
}

TAdvCustomCombo::TAdvCustomCombo(TComponent* owner)
    : TCustomComboBox(owner), buttonWidth_(GetSystemMetrics(SM_CXVSCROLL) + 2), label_(this) {
  // A combo made in code keeps its own colour to come back to.
  normalColor_ = Color();
}

std::string TAdvCustomCombo::Version() const { return VersionString(GetVersionNumber()); }

void TAdvCustomCombo::SetButtonWidth(int32_t w) {
  if (w < 14 || w > 32) return;
  buttonWidth_ = w;
  Invalidate();
}

void TAdvCustomCombo::SetFlat(bool v) {
  if (v == flat_) return;
  flat_ = v;
  SetCtl3D(!v);
  if (flatParentColor_ && v) {
    if (Parent()) SetColor(Parent()->Color());
  } else {
    SetColor(designColor_);
  }
  Invalidate();
}

void TAdvCustomCombo::SetEtched(bool v) {
  etched_ = v;
  Invalidate();
}
void TAdvCustomCombo::SetFlatLineColor(TColor c) {
  flatLineColor_ = c;
  Invalidate();
}
void TAdvCustomCombo::SetFlatParentColor(bool v) {
  flatParentColor_ = v;
  Invalidate();
}

void TAdvCustomCombo::SetDropWidth(int32_t w) {
  dropWidth_ = w;
  if (w > 0) Perform(CB_SETDROPPEDWIDTH, static_cast<WPARAM>(w), 0);
}

void TAdvCustomCombo::SetComboColor(TColor c) {
  if (ComponentState().Contains(csLoading)) designColor_ = c;
  SetColor(c);
}

void TAdvCustomCombo::SetComboEnabled(bool v) {
  const bool changed = v != Enabled();
  SetEnabled(v);
  if (changed && !ComponentState().Contains(csLoading)) {
    label_.FollowEnabled();
    label_.Place();
  }
}

void TAdvCustomCombo::Loaded() {
  TCustomComboBox::Loaded();
  label_.Place();
  if (dropWidth_ > 0) Perform(CB_SETDROPPEDWIDTH, static_cast<WPARAM>(dropWidth_), 0);
  disabledColor_ = designColor_;
  if (!flatParentColor_ || flat_) SetColor(designColor_);
  label_.FollowEnabled();
  normalColor_ = Color();
}

void TAdvCustomCombo::SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
  TCustomComboBox::SetBounds(left, top, width, height);
  if (!ComponentState().Contains(csDestroying)) label_.Place();
}

void TAdvCustomCombo::SetParent(TWinControl* parent) {
  TCustomComboBox::SetParent(parent);
  label_.FollowParent();
  label_.Place();
}

void TAdvCustomCombo::CloseUp() {
  TCustomComboBox::CloseUp();
  if (HandleAllocated()) {
    RECT button = ClientRect();
    button.left = button.right - buttonWidth_;
    InvalidateRect(Handle(), &button, FALSE);
  }
  if (OnDropUp) OnDropUp(this);
}

// ---- focus and mouse ----

void TAdvCustomCombo::DoEnter() {
  TCustomComboBox::DoEnter();
  if (ComponentState().Contains(csDesigning)) return;
  hasFocus_ = true;
  if (focusColor_ != clNone) SetColor(focusColor_);
  if (focusLabel_) label_.SetBold(true);
  Invalidate();
}

void TAdvCustomCombo::DoExit() {
  TCustomComboBox::DoExit();
  if (ComponentState().Contains(csDesigning)) return;
  hasFocus_ = false;
  if (focusColor_ != clNone && normalColor_ != clNone) SetColor(normalColor_);
  if (focusLabel_) label_.SetBold(false);
  Invalidate();
}

void TAdvCustomCombo::MouseMove(TShiftState shift, int x, int y) {
  TCustomComboBox::MouseMove(shift, x, y);
  const bool over = Width() - buttonWidth_ < x && x < Width();
  if (over != mouseOverButton_) {
    mouseOverButton_ = over;
    Invalidate();
  }
}

void TAdvCustomCombo::WndProc(TMessage& m) {
  switch (m.Msg) {
    case CM_MOUSEENTER:
      TCustomComboBox::WndProc(m);
      if (!mouseInside_ && Enabled()) {
        mouseInside_ = true;
        Invalidate();
      }
      if (autoFocus_ && !ComponentState().Contains(csDesigning)) {
        TCustomForm* form = GetParentForm();
        if (!form || (form->HandleAllocated() && GetActiveWindow() == form->Handle())) SetFocus();
      }
      return;
    case CM_MOUSELEAVE:
      TCustomComboBox::WndProc(m);
      if (mouseInside_ && Enabled()) mouseInside_ = false;
      mouseOverButton_ = false;
      Invalidate();
      return;
    case CM_PARENTFONTCHANGED:
      TCustomComboBox::WndProc(m);
      label_.FollowControlFont();
      return;
    case CM_ENABLEDCHANGED:
      if (flat_ && !ComponentState().Contains(csLoading)) {
        if (!Enabled()) {
          disabledParentColor_ = ParentColor();
          disabledColor_ = Color();
          SetParentColor(true);
        } else {
          SetParentColor(disabledParentColor_);
          SetColor(disabledColor_);
        }
      }
      break;
    case CM_SHOWINGCHANGED: label_.FollowVisible(); break;
    default: break;
  }
  TCustomComboBox::WndProc(m);
}

// ---- painting ----

void TAdvCustomCombo::DrawButton(HDC dc) {
  if (Style() == csSimple) return;
  RECT r{ClientWidth() - buttonWidth_ + 2, 0, Width(), Height()};
  InflateRect(&r, -1, -1);
  const bool mouseDown = GetAsyncKeyState(VK_LBUTTON) < 0 || GetAsyncKeyState(VK_RBUTTON) < 0;
  const TComboButtonFace face = ComboButtonFace(Enabled(), mouseDown, DroppedDown(), mouseOverButton_);
  if (DrawThemedPart(ComboThemeApi(), Handle(), L"combobox", dc, 1, face.ThemeState, r)) return;
  if (!flat_) {
    DrawFrameControl(dc, &r, DFC_SCROLL, face.FrameState);
    return;
  }
  RECT b{ClientWidth() - buttonWidth_ - 2, 0, Width(), Height()};
  InflateRect(&b, -2, -2);
  const bool lit = mouseInside_ || hasFocus_;
  HBRUSH faceBrush = CreateSolidBrush(ColorToRGB(clBtnFace));
  FillRect(dc, &b, faceBrush);
  DeleteObject(faceBrush);
  if (lit) DrawEdge(dc, &b, etched_ ? EDGE_ETCHED : EDGE_RAISED, BF_RECT | (DroppedDown() ? BF_FLAT : 0));
  RECT arrow{ClientWidth() - buttonWidth_ + 4, 4, ClientWidth() - 4, ClientHeight() - 4};
  DrawFrameControl(dc, &arrow, DFC_SCROLL, DFCS_SCROLLCOMBOBOX | DFCS_FLAT | (Enabled() ? 0 : DFCS_INACTIVE));
}

void TAdvCustomCombo::DrawBorders(HDC dc) {
  if (Enabled() && !flat_ && focusBorderColor_ == clNone) return;
  RECT r{0, 0, Width(), Height()};
  if (focusBorderColor_ != clNone) {
    if (!hasFocus_) return;
    HBRUSH brush = CreateSolidBrush(ColorToRGB(focusBorderColor_));
    FrameRect(dc, &r, brush);
    DeleteObject(brush);
    return;
  }
  const bool raisedFocus = (mouseInside_ || hasFocus_) && focusBorder_;
  HBRUSH a = CreateSolidBrush(ColorToRGB(raisedFocus ? clBtnFace : Parent() ? Parent()->Color() : clBtnFace));
  HBRUSH b = CreateSolidBrush(ColorToRGB(Color()));
  if (raisedFocus) {
    DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
    FrameRect(dc, &r, a);
    InflateRect(&r, -1, -1);
    FrameRect(dc, &r, b);
  } else {
    FrameRect(dc, &r, a);
    InflateRect(&r, -1, -1);
    RECT inner = r;
    inner.right -= buttonWidth_;
    FrameRect(dc, &inner, a);
    InflateRect(&r, -1, -1);
    FrameRect(dc, &r, b);
  }
  DeleteObject(a);
  DeleteObject(b);
  if (flat_ && flatLineColor_ != clNone) {
    HPEN pen = CreatePen(PS_SOLID, 1, ColorToRGB(flatLineColor_));
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, r.left - 2, Height() - 1, nullptr);
    LineTo(dc, r.right - buttonWidth_ - 1, Height() - 1);
    SelectObject(dc, old);
    DeleteObject(pen);
  }
}

void TAdvCustomCombo::PaintWindow(HDC dc) {
  TCustomComboBox::PaintWindow(dc);
  const bool own = flat_ || (focusBorderColor_ != clNone && hasFocus_);
  if (!own) return;
  DrawBorders(dc);
  DrawButton(dc);
}
