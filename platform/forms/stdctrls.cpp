// Labels, buttons, check boxes, radio buttons, group boxes and panels.
//
// Sections: accelerators | TCustomLabel | TButtonControl | TButton |
// TCustomCheckBox | TRadioButton | TCustomGroupBox | TCustomPanel
#include "platform/forms/stdctrls.h"

#include <algorithm>
#include <cctype>

#include "platform/rtl/sysutils.h"

// ---- accelerators ----

// The accelerator of a caption ("&Save" -> 'S'), upper case; 0 when none.
static char32_t AccelOf(const std::string& caption) {
  for (size_t i = 0; i + 1 < caption.size(); ++i)
    if (caption[i] == '&') {
      if (caption[i + 1] != '&') return static_cast<char32_t>(std::toupper(static_cast<unsigned char>(caption[i + 1])));
      ++i;
    }
  return 0;
}

static bool MatchesAccel(const std::string& caption, char32_t ch) {
  const char32_t accel = AccelOf(caption);
  return accel && ch < 128 && accel == static_cast<char32_t>(std::toupper(static_cast<int>(ch)));
}

static const TEnumNames kAlignmentNames{"taLeftJustify", "taRightJustify", "taCenter"};
static const TEnumNames kLayoutNames{"tlTop", "tlCenter", "tlBottom"};
static const TEnumNames kEllipsisNames{"epNone", "epPathEllipsis", "epEndEllipsis", "epWordEllipsis"};
static const TEnumNames kBevelNames{"bvNone", "bvLowered", "bvRaised", "bvSpace"};
static const TEnumNames kBorderStyleNames{"bsNone", "bsSingle"};
static const TEnumNames kLeftRightNames{"taLeftJustify", "taRightJustify"};
static const TEnumNames kCheckStateNames{"cbUnchecked", "cbChecked", "cbGrayed"};

// ---- TCustomLabel ----

const TClassInfo& TCustomLabel::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<TCustomLabel>("TCustomLabel", &TGraphicControl::StaticClassInfo(), [](TPublished<TCustomLabel>& p) {
        p.Enumeration("Alignment", kAlignmentNames, &TCustomLabel::Alignment, &TCustomLabel::SetAlignment)
            .Boolean("AutoSize", &TCustomLabel::AutoSize, &TCustomLabel::SetAutoSize)
            .Enumeration("EllipsisPosition", kEllipsisNames, &TCustomLabel::EllipsisPosition,
                         &TCustomLabel::SetEllipsisPosition)
            .Reference<TWinControl>("FocusControl", &TCustomLabel::FocusControl, &TCustomLabel::SetFocusControl)
            .Enumeration("Layout", kLayoutNames, &TCustomLabel::Layout, &TCustomLabel::SetLayout)
            .Boolean("ShowAccelChar", &TCustomLabel::ShowAccelChar, &TCustomLabel::SetShowAccelChar)
            .Boolean("Transparent", &TCustomLabel::Transparent, &TCustomLabel::SetTransparent)
            .Boolean("WordWrap", &TCustomLabel::WordWrap, &TCustomLabel::SetWordWrap);
      });
  return info;
}
const TClassInfo& TLabel::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TLabel>("TLabel", &TCustomLabel::StaticClassInfo());
  return info;
}

TCustomLabel::TCustomLabel(TComponent* owner) : TGraphicControl(owner) {
  SetControlStyle(ControlStyle() + csReplicatable);
  SetParentColor(true);
  SetBounds(0, 0, 65, 17);
}

void TCustomLabel::SetAlignment(TAlignment a) {
  alignment_ = a;
  Invalidate();
}
void TCustomLabel::SetLayout(TTextLayout l) {
  layout_ = l;
  Invalidate();
}
void TCustomLabel::SetAutoSize(bool v) {
  autoSize_ = v;
  AdjustBounds();
}
void TCustomLabel::SetWordWrap(bool v) {
  wordWrap_ = v;
  AdjustBounds();
  Invalidate();
}
void TCustomLabel::SetShowAccelChar(bool v) {
  showAccelChar_ = v;
  AdjustBounds();
  Invalidate();
}
void TCustomLabel::SetEllipsisPosition(TEllipsisPosition e) {
  ellipsis_ = e;
  if (e != epNone) autoSize_ = false;
  Invalidate();
}
void TCustomLabel::SetTransparent(bool v) {
  transparent_ = v;
  Invalidate();
}
void TCustomLabel::SetFocusControl(TWinControl* control) {
  focusControl_ = control;
  if (control) control->FreeNotification(this);
}

void TCustomLabel::Notification(TComponent* component, TOperation operation) {
  TGraphicControl::Notification(component, operation);
  if (operation == opRemove && component == focusControl_) focusControl_ = nullptr;
}

void TCustomLabel::Loaded() {
  TGraphicControl::Loaded();
  AdjustBounds();
}

UINT TCustomLabel::DrawTextFlags() const {
  static const UINT kAlign[] = {DT_LEFT, DT_RIGHT, DT_CENTER};
  static const UINT kEllipsis[] = {0, DT_PATH_ELLIPSIS, DT_END_ELLIPSIS, DT_WORD_ELLIPSIS};
  UINT flags = kAlign[alignment_] | kEllipsis[ellipsis_] | DT_EXPANDTABS;
  // Line breaks in the caption break its lines, also without word wrapping.
  if (wordWrap_) flags |= DT_WORDBREAK;
  if (!showAccelChar_) flags |= DT_NOPREFIX;
  return flags;
}

void TCustomLabel::AdjustBounds() {
  if (!autoSize_ || ComponentState().Contains(csLoading)) return;
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, Font()->Handle());
  RECT r{0, 0, wordWrap_ ? Width() : 0, 0};
  std::string text = Caption().empty() ? " " : Caption();
  DrawText(dc, text, &r, (DrawTextFlags() & ~(DT_END_ELLIPSIS | DT_PATH_ELLIPSIS | DT_WORD_ELLIPSIS)) | DT_CALCRECT);
  SelectObject(dc, old);
  DeleteDC(dc);
  int left = Left();
  if (alignment_ == taRightJustify) left += Width() - r.right;
  else if (alignment_ == taCenter) left += (Width() - r.right) / 2;
  SetBounds(left, Top(), r.right, r.bottom);
}

void TCustomLabel::WndProc(TMessage& m) {
  switch (m.Msg) {
    case CM_TEXTCHANGED:
    case CM_FONTCHANGED:
      AdjustBounds();
      Invalidate();
      return;
    case CM_DIALOGCHAR:
      if (showAccelChar_ && focusControl_ && Enabled() && focusControl_->CanFocus() &&
          MatchesAccel(Caption(), static_cast<char32_t>(m.WParam))) {
        focusControl_->SetFocus();
        m.Result = 1;
      }
      return;
    default: TGraphicControl::WndProc(m);
  }
}

void TCustomLabel::Paint() {
  TCanvas* c = Canvas();
  RECT r = ClientRect();
  if (!transparent_) {
    c->Brush()->SetColor(Color());
    c->Brush()->SetStyle(bsSolid);
    c->FillRect(r);
  }
  c->Brush()->SetStyle(bsClear);
  c->Font()->Assign(Font());
  if (!Enabled()) c->Font()->SetColor(clGrayText);
  std::string text = Caption();
  UINT flags = DrawTextFlags();
  if (layout_ != tlTop) {
    RECT calc = r;
    DrawText(c->Handle(), text, &calc, flags | DT_CALCRECT);
    const int h = calc.bottom - calc.top;
    OffsetRect(&r, 0, layout_ == tlCenter ? (r.bottom - r.top - h) / 2 : r.bottom - r.top - h);
  }
  DrawText(c->Handle(), text, &r, flags);
}

// ---- TButtonControl ----

const TClassInfo& TButtonControl::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TButtonControl>("TButtonControl", &TWinControl::StaticClassInfo());
  return info;
}

TButtonControl::TButtonControl(TComponent* owner) : TWinControl(owner), canvas_(std::make_unique<TCanvas>()) {
  SetTabStop(true);
  SetFocusOnClick(true);
  SetColor(clBtnFace);
  SetParentColor(true);
}

bool TButtonControl::IsAccel(char32_t ch) const { return MatchesAccel(Caption(), ch); }

void TButtonControl::DrawCaption(TCanvas* c, RECT r, UINT flags, bool focused) {
  c->Font()->Assign(Font());
  if (!Enabled()) c->Font()->SetColor(clGrayText);
  c->Brush()->SetStyle(bsClear);
  DrawText(c->Handle(), Caption(), &r, flags);
  if (focused) {
    RECT calc = r;
    DrawText(c->Handle(), Caption(), &calc, flags | DT_CALCRECT);
    InflateRect(&calc, 2, 1);
    if (flags & DT_CENTER) OffsetRect(&calc, (r.right - r.left - (calc.right - calc.left)) / 2 - (calc.left - r.left), 0);
    if (flags & DT_VCENTER) OffsetRect(&calc, 0, (r.bottom - r.top - (calc.bottom - calc.top)) / 2 - (calc.top - r.top));
    c->Brush()->SetStyle(bsSolid);
    c->DrawFocusRect(calc);
  }
}

void TButtonControl::PaintWindow(HDC dc) {
  canvas_->SetHandle(dc);
  try {
    PaintButton(canvas_.get());
  } catch (...) {
    canvas_->SetHandle(nullptr);
    throw;
  }
  canvas_->SetHandle(nullptr);
}

// ---- TButton ----

const TClassInfo& TButton::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<TButton>("TButton", &TButtonControl::StaticClassInfo(), [](TPublished<TButton>& p) {
        p.Boolean("Cancel", &TButton::Cancel, &TButton::SetCancel)
            .Boolean("Default", &TButton::Default, &TButton::SetDefault)
            .Integer("ModalResult", &TButton::ModalResult, &TButton::SetModalResult);
      });
  return info;
}

TButton::TButton(TComponent* owner) : TButtonControl(owner) {
  SetControlStyle(ControlStyle() - csSetCaption - csDoubleClicks);
  SetBounds(0, 0, 75, 25);
}

void TButton::SetDefault(bool v) {
  default_ = v;
  if (TCustomForm* form = GetParentForm()) {
    TWinControl* focused = form->ActiveControl();
    active_ = focused == this || (v && !dynamic_cast<TButton*>(focused));
  }
  Invalidate();
}

void TButton::Click() {
  if (TCustomForm* form = GetParentForm()) form->SetModalResult(modalResult_);
  TButtonControl::Click();
}

void TButton::SetPressed(bool pressed) {
  if (pressed == pressed_) return;
  pressed_ = pressed;
  Invalidate();
}

void TButton::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_GETDLGCODE:
      m.Result = DLGC_BUTTON | (active_ ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
      return;
    case CM_DIALOGKEY:
      if (((m.WParam == VK_RETURN && active_) || (m.WParam == VK_ESCAPE && cancel_)) && GetShiftState().Empty() &&
          CanFocus()) {
        Click();
        m.Result = 1;
      }
      return;
    case CM_DIALOGCHAR:
      if (IsAccel(static_cast<char32_t>(m.WParam)) && CanFocus()) {
        Click();
        m.Result = 1;
      }
      return;
    case CM_FOCUSCHANGED: {
      auto* focused = reinterpret_cast<TWinControl*>(m.LParam);
      const bool active = dynamic_cast<TButton*>(focused) ? focused == this : default_;
      if (active != active_) {
        active_ = active;
        Invalidate();
      }
      return;
    }
    case WM_KILLFOCUS:
      SetPressed(false);
      Invalidate();
      break;
    case WM_SETFOCUS: Invalidate(); break;
    default: break;
  }
  TButtonControl::WndProc(m);
}

void TButton::PaintButton(TCanvas* c) {
  RECT r = ClientRect();
  c->Brush()->SetColor(clBtnFace);
  c->FillRect(r);
  if (active_) {
    c->Brush()->SetColor(clWindowFrame);
    c->FrameRect(r);
    InflateRect(&r, -1, -1);
  }
  RECT face = r;
  DrawFrameControl(c->Handle(), &face, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed_ ? DFCS_PUSHED : 0));
  RECT text = r;
  if (pressed_) OffsetRect(&text, 1, 1);
  DrawCaption(c, text, DT_CENTER | DT_VCENTER | DT_SINGLELINE, Focused());
}

void TButton::KeyDown(WORD& key, TShiftState shift) {
  TButtonControl::KeyDown(key, shift);
  if (key == VK_SPACE) SetPressed(true);
}

void TButton::KeyUp(WORD& key, TShiftState shift) {
  TButtonControl::KeyUp(key, shift);
  if (key == VK_SPACE && pressed_) {
    SetPressed(false);
    Click();
  }
}

void TButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft) SetPressed(true);
  TButtonControl::MouseDown(button, shift, x, y);
}

void TButton::MouseMove(TShiftState shift, int x, int y) {
  if (ControlState().Contains(csLButtonDown)) SetPressed(x >= 0 && y >= 0 && x < Width() && y < Height());
  TButtonControl::MouseMove(shift, x, y);
}

void TButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft) SetPressed(false);
  TButtonControl::MouseUp(button, shift, x, y);
}

// ---- TCustomCheckBox ----

const TClassInfo& TCustomCheckBox::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TCustomCheckBox>(
      "TCustomCheckBox", &TButtonControl::StaticClassInfo(), [](TPublished<TCustomCheckBox>& p) {
        p.Enumeration("Alignment", kLeftRightNames, &TCustomCheckBox::Alignment, &TCustomCheckBox::SetAlignment)
            .Boolean("AllowGrayed", &TCustomCheckBox::AllowGrayed, &TCustomCheckBox::SetAllowGrayed)
            .Boolean("Checked", &TCustomCheckBox::Checked, &TCustomCheckBox::SetChecked)
            .Enumeration("State", kCheckStateNames, &TCustomCheckBox::State, &TCustomCheckBox::SetState);
      });
  return info;
}
const TClassInfo& TCheckBox::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TCheckBox>("TCheckBox", &TCustomCheckBox::StaticClassInfo());
  return info;
}

TCustomCheckBox::TCustomCheckBox(TComponent* owner) : TButtonControl(owner) {
  // The click comes from the toggle, not from the generic mouse handling.
  SetControlStyle(ControlStyle() - csClickEvents - csDoubleClicks);
  SetBounds(0, 0, 97, 17);
}

void TCustomCheckBox::SetState(TCheckBoxState state) {
  if (state == state_) return;
  state_ = state;
  Invalidate();
  if (!ComponentState().Contains(csLoading)) Click();
}

void TCustomCheckBox::SetAlignment(TLeftRight a) {
  alignment_ = a;
  Invalidate();
}

void TCustomCheckBox::Toggle() {
  switch (state_) {
    case cbUnchecked: SetState(allowGrayed_ ? cbGrayed : cbChecked); break;
    case cbChecked: SetState(cbUnchecked); break;
    case cbGrayed: SetState(cbChecked); break;
  }
}

void TCustomCheckBox::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_GETDLGCODE: m.Result = DLGC_BUTTON; return;
    case CM_DIALOGCHAR:
      if (IsAccel(static_cast<char32_t>(m.WParam)) && CanFocus()) {
        SetFocus();
        Toggle();
        m.Result = 1;
      }
      return;
    case WM_SETFOCUS:
    case WM_KILLFOCUS: Invalidate(); break;
    default: break;
  }
  TButtonControl::WndProc(m);
}

void TCustomCheckBox::KeyUp(WORD& key, TShiftState shift) {
  TButtonControl::KeyUp(key, shift);
  if (key == VK_SPACE) Toggle();
}

void TCustomCheckBox::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TButtonControl::MouseUp(button, shift, x, y);
  if (button == mbLeft && x >= 0 && y >= 0 && x < Width() && y < Height()) Toggle();
}

void TCustomCheckBox::PaintButton(TCanvas* c) {
  RECT r = ClientRect();
  c->Brush()->SetColor(Color());
  c->FillRect(r);
  const int box = 13;
  const int top = (r.bottom - box) / 2;
  RECT check = alignment_ == lrRight ? RECT{0, top, box, top + box} : RECT{r.right - box, top, r.right, top + box};
  UINT state = DFCS_BUTTONCHECK | (state_ != cbUnchecked ? DFCS_CHECKED : 0) | (!Enabled() ? DFCS_INACTIVE : 0);
  if (state_ == cbGrayed) state |= DFCS_BUTTON3STATE;
  DrawFrameControl(c->Handle(), &check, DFC_BUTTON, state);
  RECT text = alignment_ == lrRight ? RECT{box + 4, 0, r.right, r.bottom} : RECT{0, 0, r.right - box - 4, r.bottom};
  DrawCaption(c, text, DT_LEFT | DT_VCENTER | DT_SINGLELINE, Focused());
}

// ---- TRadioButton ----

const TClassInfo& TRadioButton::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<TRadioButton>("TRadioButton", &TButtonControl::StaticClassInfo(), [](TPublished<TRadioButton>& p) {
        p.Boolean("Checked", &TRadioButton::Checked, &TRadioButton::SetChecked);
      });
  return info;
}

TRadioButton::TRadioButton(TComponent* owner) : TButtonControl(owner) {
  SetControlStyle(ControlStyle() - csClickEvents - csDoubleClicks);
  SetBounds(0, 0, 113, 17);
}

void TRadioButton::SetChecked(bool v) {
  if (v == checked_) return;
  checked_ = v;
  if (v && Parent())
    for (int32_t i = 0; i < Parent()->ControlCount(); ++i)
      if (auto* other = dynamic_cast<TRadioButton*>(Parent()->Controls(i)); other && other != this)
        other->SetChecked(false);
  Invalidate();
  if (v && !ComponentState().Contains(csLoading)) Click();
}

void TRadioButton::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_GETDLGCODE: m.Result = DLGC_BUTTON | DLGC_RADIOBUTTON; return;
    case CM_DIALOGCHAR:
      if (IsAccel(static_cast<char32_t>(m.WParam)) && CanFocus()) {
        SetFocus();
        SetChecked(true);
        m.Result = 1;
      }
      return;
    case WM_SETFOCUS:
    case WM_KILLFOCUS: Invalidate(); break;
    default: break;
  }
  TButtonControl::WndProc(m);
}

void TRadioButton::KeyUp(WORD& key, TShiftState shift) {
  TButtonControl::KeyUp(key, shift);
  if (key == VK_SPACE) SetChecked(true);
}

void TRadioButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TButtonControl::MouseUp(button, shift, x, y);
  if (button == mbLeft && x >= 0 && y >= 0 && x < Width() && y < Height()) SetChecked(true);
}

void TRadioButton::PaintButton(TCanvas* c) {
  RECT r = ClientRect();
  c->Brush()->SetColor(Color());
  c->FillRect(r);
  const int box = 13;
  const int top = (r.bottom - box) / 2;
  RECT mark{0, top, box, top + box};
  DrawFrameControl(c->Handle(), &mark, DFC_BUTTON,
                   DFCS_BUTTONRADIO | (checked_ ? DFCS_CHECKED : 0) | (!Enabled() ? DFCS_INACTIVE : 0));
  DrawCaption(c, RECT{box + 4, 0, r.right, r.bottom}, DT_LEFT | DT_VCENTER | DT_SINGLELINE, Focused());
}

// ---- TCustomGroupBox ----

const TClassInfo& TCustomGroupBox::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TCustomGroupBox>("TCustomGroupBox", &TCustomControl::StaticClassInfo());
  return info;
}
const TClassInfo& TGroupBox::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TGroupBox>("TGroupBox", &TCustomGroupBox::StaticClassInfo());
  return info;
}

TCustomGroupBox::TCustomGroupBox(TComponent* owner) : TCustomControl(owner) {
  SetControlStyle(ControlStyle() + csAcceptsControls);
  SetColor(clBtnFace);
  SetParentColor(true);
  SetBounds(0, 0, 185, 105);
}

void TCustomGroupBox::AdjustClientRect(RECT& r) const {
  r.top += 16;
  InflateRect(&r, -2, -2);
}

void TCustomGroupBox::Paint() {
  TCanvas* c = Canvas();
  c->Font()->Assign(Font());
  const int textHeight = c->TextHeight("0");
  RECT frame = ClientRect();
  frame.top += textHeight / 2;
  c->Brush()->SetColor(Color());
  c->FillRect(ClientRect());
  DrawEdge(c->Handle(), &frame, EDGE_ETCHED, BF_RECT);
  if (!Caption().empty()) {
    RECT text{8, 0, 0, textHeight};
    DrawText(c->Handle(), Caption(), &text, DT_CALCRECT | DT_SINGLELINE);
    InflateRect(&text, 2, 0);
    c->FillRect(text);
    if (!Enabled()) c->Font()->SetColor(clGrayText);
    DrawText(c->Handle(), Caption(), &text, DT_CENTER | DT_SINGLELINE);
  }
}

// ---- TCustomPanel ----

const TClassInfo& TCustomPanel::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<TCustomPanel>("TCustomPanel", &TCustomControl::StaticClassInfo(), [](TPublished<TCustomPanel>& p) {
        p.Enumeration("Alignment", kAlignmentNames, &TCustomPanel::Alignment, &TCustomPanel::SetAlignment)
            .Enumeration("BevelInner", kBevelNames, &TCustomPanel::BevelInner, &TCustomPanel::SetBevelInner)
            .Enumeration("BevelOuter", kBevelNames, &TCustomPanel::BevelOuter, &TCustomPanel::SetBevelOuter)
            .Integer("BevelWidth", &TCustomPanel::BevelWidth, &TCustomPanel::SetBevelWidth)
            .Integer("BorderWidth", &TCustomPanel::BorderWidth, &TCustomPanel::SetBorderWidth)
            .Enumeration("BorderStyle", kBorderStyleNames, &TCustomPanel::BorderStyle, &TCustomPanel::SetBorderStyle)
            .Boolean("ParentBackground", &TCustomPanel::ParentBackground, &TCustomPanel::SetParentBackground)
            .Boolean("ShowCaption", &TCustomPanel::ShowCaption, &TCustomPanel::SetShowCaption);
      });
  return info;
}
const TClassInfo& TPanel::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TPanel>("TPanel", &TCustomPanel::StaticClassInfo());
  return info;
}

TCustomPanel::TCustomPanel(TComponent* owner) : TCustomControl(owner) {
  SetControlStyle(ControlStyle() + csAcceptsControls + csOpaque);
  SetColor(clBtnFace);
  SetParentColor(true);
  SetBounds(0, 0, 185, 41);
}

void TCustomPanel::SetAlignment(TAlignment a) {
  alignment_ = a;
  Invalidate();
}
void TCustomPanel::SetBevelInner(TBevelCut b) {
  bevelInner_ = b;
  Realign();
  Invalidate();
}
void TCustomPanel::SetBevelOuter(TBevelCut b) {
  bevelOuter_ = b;
  Realign();
  Invalidate();
}
void TCustomPanel::SetBevelWidth(int32_t w) {
  bevelWidth_ = std::max(w, 1);
  Realign();
  Invalidate();
}
void TCustomPanel::SetBorderWidth(int32_t w) {
  borderWidth_ = std::max(w, 0);
  Realign();
  Invalidate();
}
void TCustomPanel::SetBorderStyle(TBorderStyle s) {
  borderStyle_ = s;
  Realign();
  Invalidate();
}
void TCustomPanel::SetShowCaption(bool v) {
  showCaption_ = v;
  Invalidate();
}

int32_t TCustomPanel::FrameWidth() const {
  return borderWidth_ + (bevelOuter_ != bvNone ? bevelWidth_ : 0) + (bevelInner_ != bvNone ? bevelWidth_ : 0) +
         (borderStyle_ == bsSingle ? 1 : 0);
}

void TCustomPanel::AdjustClientRect(RECT& r) const {
  const int w = FrameWidth();
  InflateRect(&r, -w, -w);
}

void TCustomPanel::Paint() {
  TCanvas* c = Canvas();
  RECT r = ClientRect();
  c->Brush()->SetColor(Color());
  c->Brush()->SetStyle(bsSolid);
  c->FillRect(r);
  if (borderStyle_ == bsSingle) {
    c->Brush()->SetColor(clWindowFrame);
    c->FrameRect(r);
    InflateRect(&r, -1, -1);
  }
  auto bevel = [&](TBevelCut cut) {
    if (cut == bvNone) return;
    if (cut == bvSpace) {
      InflateRect(&r, -bevelWidth_, -bevelWidth_);
      return;
    }
    const bool raised = cut == bvRaised;
    Frame3D(c, r, raised ? clBtnHighlight : clBtnShadow, raised ? clBtnShadow : clBtnHighlight, bevelWidth_);
  };
  bevel(bevelOuter_);
  InflateRect(&r, -borderWidth_, -borderWidth_);
  bevel(bevelInner_);
  if (showCaption_ && !Caption().empty()) {
    static const UINT kAlign[] = {DT_LEFT, DT_RIGHT, DT_CENTER};
    c->Font()->Assign(Font());
    c->Brush()->SetStyle(bsClear);
    InflateRect(&r, -2, 0);
    DrawText(c->Handle(), Caption(), &r, kAlign[alignment_] | DT_VCENTER | DT_SINGLELINE);
  }
}
