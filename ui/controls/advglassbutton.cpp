// The glass button's state machine: properties, press, track and release,
// hover by the framework's enter and leave notifications, focus, keys and
// accelerators, group exclusion, and the shortcut hint window.
#include "ui/controls/advglassbutton.h"

#include "platform/forms/forms.h"
#include "platform/forms/properties.h"
#include "ui/render/gdippicturecontainer.h"

const TClassInfo& TAdvCustomGlassButton::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TAdvCustomGlassButton>(
      "TAdvCustomGlassButton", &TCustomControl::StaticClassInfo(), [](TPublished<TAdvCustomGlassButton>& p) {
        static const TEnumNames antiAlias{"aaNone", "aaClearType", "aaAntiAlias"};
        static const TEnumNames symbols{"bsArrowLeft", "bsArrowRight", "bsArrowUp", "bsArrowDown", "bsPlay",
                                        "bsPause", "bsStop", "bsFastForward", "bsForward", "bsBackward",
                                        "bsFastBackward", "bsSpeaker", "bsNoSpeaker", "bsNone", "bsRecord"};
        static const TEnumNames directions{"bdLeft", "bdRight"};
        static const TEnumNames shapes{"btsRectangle", "btsCurvedRectangle"};
        static const TEnumNames layouts{"blGlyphLeft", "blGlyphTop", "blGlyphRight", "blGlyphBottom",
                                        "blGlyphLeftAdjusted", "blGlyphRightAdjusted", "blGlyphTopAdjusted",
                                        "blGlyphBottomAdjusted"};
        static const TEnumNames styles{"tasButton", "tasCheck"};
        using B = TAdvCustomGlassButton;
        const TIntegerIdents* colors = &ColorIdents();
        p.Reference<TBasicAction>("Action", &B::Action, &B::SetAction)
            .Boolean("AllowAllUp", &B::AllowAllUp, &B::SetAllowAllUp)
            .Enumeration("AntiAlias", antiAlias, &B::AntiAlias, &B::SetAntiAlias)
            .Integer("BackColor", &B::BackColor, &B::SetBackColor, colors)
            .Enumeration("BackGroundSymbol", symbols, &B::BackGroundSymbol, &B::SetBackGroundSymbol)
            .Integer("BackGroundSymbolColor", &B::BackGroundSymbolColor, &B::SetBackGroundSymbolColor, colors)
            .Enumeration("ButtonDirection", directions, &B::ButtonDirection, &B::SetButtonDirection)
            .Enumeration("ButtonShape", shapes, &B::ButtonShape, &B::SetButtonShape)
            .Integer("CornerRadius", &B::CornerRadius, &B::SetCornerRadius)
            .Boolean("Down", &B::Down, &B::SetDown)
            .Boolean("ForceTransparent", &B::ForceTransparent, &B::SetForceTransparent)
            .Integer("ForeColor", &B::ForeColor, &B::SetForeColor, colors)
            .Integer("GlowColor", &B::GlowColor, &B::SetGlowColor, colors)
            .Integer("GroupIndex", &B::GroupIndex, &B::SetGroupIndex)
            .Integer("InnerBorderColor", &B::InnerBorderColor, &B::SetInnerBorderColor, colors)
            .Enumeration("Layout", layouts, &B::Layout, &B::SetLayout)
            .Object("OfficeHint", &B::OfficeHint)
            .Integer("OuterBorderColor", &B::OuterBorderColor, &B::SetOuterBorderColor, colors)
            .Object("Picture", &B::Picture)
            .Object("PictureDown", &B::PictureDown)
            .Object("PictureDisabled", &B::PictureDisabled)
            .Integer("ShineColor", &B::ShineColor, &B::SetShineColor, colors)
            .String("ShortCutHint", &B::ShortCutHint, &B::SetShortCutHint)
            .Boolean("ShowCaption", &B::ShowCaption, &B::SetShowCaption)
            .Boolean("ShowFocusRect", &B::ShowFocusRect, &B::SetShowFocusRect)
            .Enumeration("Style", styles, &B::Style, &B::SetStyle)
            .String("Version", &B::Version, &B::SetVersion);
      });
  return info;
}
const TClassInfo& TAdvGlassButton::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TAdvGlassButton>("TAdvGlassButton", &TAdvCustomGlassButton::StaticClassInfo());
  return info;
}

TAdvCustomGlassButton::TAdvCustomGlassButton(TComponent* owner)
    : TCustomControl(owner),
      officeHint_(std::make_unique<TAdvHintInfo>()),
      picture_(std::make_unique<AdvGDIP::TGDIPPicture>()),
      pictureDown_(std::make_unique<AdvGDIP::TGDIPPicture>()),
      pictureDisabled_(std::make_unique<AdvGDIP::TGDIPPicture>()) {
  SetBounds(0, 0, 100, 32);
  SetParentFont(true);
  Font()->SetName("Tahoma");
  SetShowHint(false);
  SetTabStop(true);
  SetControlStyle(ControlStyle() + csOpaque);
  picture_->OnChange = [this](TObject*) { Invalidate(); };
  pictureDisabled_->OnChange = [this](TObject*) { Invalidate(); };
}

TAdvCustomGlassButton::~TAdvCustomGlassButton() { HideShortCutHint(); }

std::string TAdvCustomGlassButton::Version() const { return VersionString(GetVersionNumber()); }

void TAdvCustomGlassButton::SetPicture(const AdvGDIP::TGDIPPicture* p) {
  picture_->Assign(p);
  Invalidate();
}

void TAdvCustomGlassButton::SetPictureDisabled(const AdvGDIP::TGDIPPicture* p) {
  pictureDisabled_->Assign(p);
  Invalidate();
}

void TAdvCustomGlassButton::SetCornerRadius(int32_t r) {
  if (r < 0 || r == cornerRadius_) return;
  if (ComponentState().Contains(csDesigning) && r >= Height() / 2) r = Height() / 2;
  cornerRadius_ = r;
  Invalidate();
}

void TAdvCustomGlassButton::SetGroupIndex(int32_t g) {
  if (g == groupIndex_) return;
  groupIndex_ = g;
  NotifyGroup();
}

void TAdvCustomGlassButton::SetAllowAllUp(bool v) {
  if (v == allowAllUp_) return;
  allowAllUp_ = v;
  NotifyGroup();
}

void TAdvCustomGlassButton::SetDown(bool v) {
  if (ComponentState().Contains(csLoading)) downWhileLoading_ = v;
  if (groupIndex_ == 0 && style_ == tasButton) v = false;
  if (style_ == tasCheck) {
    down_ = v;
    state_ = v ? gbsDown : gbsUp;
    Repaint();
    return;
  }
  if (v == down_ || (down_ && !allowAllUp_)) return;
  down_ = v;
  if (v) {
    if (state_ == gbsUp) Invalidate();
    state_ = gbsExclusive;
    NotifyGroup();
  } else {
    state_ = gbsUp;
    Repaint();
  }
}

void TAdvCustomGlassButton::Loaded() {
  TCustomControl::Loaded();
  if (downWhileLoading_ != down_) SetDown(downWhileLoading_);
  if (!OnDblClick) SetControlStyle(ControlStyle() - csDoubleClicks);
}

// An OnClick handler answers a click; without one the action runs.
void TAdvCustomGlassButton::Click() {
  if (!OnClick && actionLink_ && actionLink_->Action() && !ComponentState().Contains(csDesigning)) {
    actionLink_->Execute();
    return;
  }
  TCustomControl::Click();
}

// ---- action ----

TAdvGlassButtonActionLink::TAdvGlassButtonActionLink(TAdvCustomGlassButton* client)
    : TControlActionLink(client), button_(client) {}

bool TAdvGlassButtonActionLink::IsCheckedLinked() const {
  return button_ && CustomAction() && CustomAction()->Checked() == button_->Down();
}

bool TAdvGlassButtonActionLink::IsGroupIndexLinked() const {
  return button_ && CustomAction() && CustomAction()->GroupIndex() == button_->GroupIndex();
}

void TAdvGlassButtonActionLink::SetChecked(bool v) {
  if (IsCheckedLinked()) button_->SetDown(v);
}

void TAdvGlassButtonActionLink::SetGroupIndex(int32_t v) {
  if (IsGroupIndexLinked()) button_->SetGroupIndex(v);
}

void TAdvCustomGlassButton::SetAction(TBasicAction* action) {
  if (!action) {
    actionLink_.reset();
    return;
  }
  if (!actionLink_) actionLink_ = std::make_unique<TAdvGlassButtonActionLink>(this);
  actionLink_->SetAction(action);
  action->FreeNotification(this);
  ActionChange(action, action->ComponentState().Contains(csLoading));
}

void TAdvCustomGlassButton::ActionChange(TBasicAction* sender, bool checkDefaults) {
  auto* action = dynamic_cast<TCustomAction*>(sender);
  if (!action) return;
  if (!checkDefaults || Caption().empty()) SetCaption(action->Caption());
  if (!checkDefaults || Enabled()) SetEnabled(action->Enabled());
  if (!checkDefaults || Hint().empty()) SetHint(action->Hint());
  if (!checkDefaults || Visible()) SetVisible(action->Visible());
  if (checkDefaults || groupIndex_ == 0) SetGroupIndex(action->GroupIndex());
}

void TAdvCustomGlassButton::Notification(TComponent* component, TOperation operation) {
  TCustomControl::Notification(component, operation);
  if (operation == opRemove && actionLink_ && component == actionLink_->Action()) actionLink_.reset();
}

// ---- group ----

void TAdvCustomGlassButton::NotifyGroup() {
  if (groupIndex_ == 0 || !Parent()) return;
  TMessage m{CM_BUTTONPRESSED, static_cast<WPARAM>(groupIndex_), reinterpret_cast<LPARAM>(this), 0};
  Parent()->Broadcast(m);
}

void TAdvCustomGlassButton::ButtonPressed(TAdvCustomGlassButton* sender) {
  if (sender == this) return;
  if (sender->down_ && down_) {
    down_ = false;
    state_ = gbsUp;
    if (auto* action = dynamic_cast<TCustomAction*>(Action())) action->SetChecked(false);
    Invalidate();
  }
  allowAllUp_ = sender->allowAllUp_;
}

// ---- mouse ----

void TAdvCustomGlassButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TCustomControl::MouseDown(button, shift, x, y);
  if (button != mbLeft || !Enabled() || ComponentState().Contains(csDesigning)) return;
  pressed_ = true;
  if (!down_) {
    state_ = gbsDown;
    Invalidate();
  }
  if (style_ == tasCheck) {
    state_ = gbsDown;
    Repaint();
  }
  if (TabStop() && CanFocus()) SetFocus();
  tracking_ = true;
}

void TAdvCustomGlassButton::MouseMove(TShiftState shift, int x, int y) {
  TCustomControl::MouseMove(shift, x, y);
  if (ComponentState().Contains(csDesigning) || !tracking_) return;
  TGlassButtonState state = down_ ? gbsExclusive : gbsUp;
  if (Inside(x, y)) state = down_ ? gbsExclusive : gbsDown;
  if (style_ == tasCheck && down_) state = gbsDown;
  if (state != state_) {
    state_ = state;
    Invalidate();
  }
}

void TAdvCustomGlassButton::Release(int x, int y) {
  pressed_ = false;
  Invalidate();
  if (!tracking_) return;
  tracking_ = false;
  const bool inside = Inside(x, y);
  if (groupIndex_ == 0) {
    state_ = gbsUp;
    if (style_ == tasCheck) {
      SetDown(!down_);
      state_ = gbsUp;
    }
    if (inside) Invalidate();
  } else if (inside) {
    SetDown(!down_);
    if (down_) Repaint();
  } else {
    if (down_) state_ = gbsExclusive;
    Repaint();
  }
}

void TAdvCustomGlassButton::KeyPress(char32_t& key) {
  TCustomControl::KeyPress(key);
  if (key == ' ') Click();
}

void TAdvCustomGlassButton::DoEnter() {
  TCustomControl::DoEnter();
  Invalidate();
}

void TAdvCustomGlassButton::DoExit() {
  TCustomControl::DoExit();
  Invalidate();
}

// ---- messages ----

namespace {

// The letter after "&" in a caption (lower-cased), 0 when there is none.
char32_t Accelerator(const std::string& caption) {
  for (size_t i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != '&') continue;
    if (caption[i + 1] == '&') {
      ++i;
      continue;
    }
    return static_cast<char32_t>(std::tolower(static_cast<unsigned char>(caption[i + 1])));
  }
  return 0;
}

}  // namespace

void TAdvCustomGlassButton::WndProc(TMessage& m) {
  const bool designing = ComponentState().Contains(csDesigning);
  switch (m.Msg) {
    case CM_ENABLEDCHANGED:
    case CM_FONTCHANGED:
    case CM_TEXTCHANGED:
      TCustomControl::WndProc(m);
      Invalidate();
      return;
    case CM_MOUSEENTER:
      // The framework tells when the pointer enters and leaves (also onto an
      // overlapping sibling), so no timer has to watch it.
      TCustomControl::WndProc(m);
      if (!designing) {
        hot_ = true;
        Invalidate();
        if (OnMouseEnter) OnMouseEnter(this);
      }
      return;
    case CM_MOUSELEAVE:
      TCustomControl::WndProc(m);
      if (!designing) {
        hot_ = false;
        Invalidate();
        if (OnMouseLeave) OnMouseLeave(this);
      }
      return;
    case CM_FOCUSCHANGED:
      TCustomControl::WndProc(m);
      focused_ = reinterpret_cast<TControl*>(m.LParam) == this;
      return;
    case CM_DIALOGKEY:
      if (m.WParam == VK_RETURN && focused_ && GetKeyState(VK_SHIFT) >= 0 && GetKeyState(VK_CONTROL) >= 0 &&
          GetKeyState(VK_MENU) >= 0 && CanFocus()) {
        Click();
        m.Result = 1;
        return;
      }
      break;
    case CM_DIALOGCHAR: {
      const char32_t accel = Accelerator(Caption());
      const char32_t ch = m.WParam < 128 ? static_cast<char32_t>(std::tolower(static_cast<int>(m.WParam)))
                                         : static_cast<char32_t>(m.WParam);
      if (accel && ch == accel && CanFocus()) {
        Click();
        m.Result = 1;
        return;
      }
      break;
    }
    case CM_BUTTONPRESSED:
      if (static_cast<int32_t>(m.WParam) == groupIndex_)
        if (auto* sender = dynamic_cast<TAdvCustomGlassButton*>(reinterpret_cast<TObject*>(m.LParam)))
          ButtonPressed(sender);
      return;
    case CM_HINTSHOW:
      if (m.WParam == 1) {
        if (m.LParam == 0) HideShortCutHint();
        else ShowShortCutHint();
        m.Result = 1;
      }
      break;
    case WM_LBUTTONUP:
      if (!designing) Release(GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam));
      TCustomControl::WndProc(m);
      Invalidate();
      return;
    case WM_ERASEBKGND: m.Result = 1; return;
    case CN_COMMAND:
      if (HIWORD(m.WParam) == 0) Click();  // clicked
      return;
    default: break;
  }
  TCustomControl::WndProc(m);
}

// ---- shortcut hint ----

void TAdvCustomGlassButton::ShowShortCutHint() {
  if (!Parent()) return;
  if (!hintWindow_) {
    hintWindow_ = new TShortCutHintWindow(this);
    hintWindow_->SetVisible(false);
  }
  hintWindow_->SetCaption(shortCutHint_);
  const RECT size = hintWindow_->CalcHintRect(200, shortCutHint_);
  int32_t w = std::max<int32_t>(size.right - size.left, 1), h = std::max<int32_t>(size.bottom - size.top, 1);
  hintWindow_->SetBounds(0, 0, w, h);
  w = hintWindow_->Width();
  h = hintWindow_->Height();
  const POINT p = ClientToScreen(POINT{0, 0});
  POINT at = p;
  switch (shortCutHintPos_) {
    case shpLeft: at = {p.x - w / 2, p.y + (Height() - h) / 2}; break;
    case shpTop: at = {p.x + (Width() - w) / 2, p.y - h / 2}; break;
    case shpRight: at = {p.x + Width() - w / 2, p.y + (Height() - h) / 2}; break;
    case shpBottom: at = {p.x + (Width() - w) / 2, p.y + Height() - h / 2}; break;
    default: break;
  }
  hintWindow_->ActivateHint(RECT{at.x, at.y, at.x + w, at.y + h}, shortCutHint_);
}

void TAdvCustomGlassButton::HideShortCutHint() {
  delete hintWindow_;
  hintWindow_ = nullptr;
}
