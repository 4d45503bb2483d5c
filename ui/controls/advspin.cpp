// Spin buttons, and the spin edit's values and stepping.
//
// Sections: float text | spin buttons | spin edit: construction |
// reading and writing values | stepping | focus and exit
#include "ui/controls/advspin.h"
#include "ui/controls/resourcebitmap.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/rtl/sysutils.h"
#include "platform/win/sysinfo.h"
#include "ui/controls/asxpvs.h"
#include "ui/render/gdippicturecontainer.h"

// ---- float text ----

namespace {

// A value as decimal digits: value = 0.d1d2d3... x 10^exponent.
struct TDecimalDigits {
  bool negative = false;
  std::string digits;  // empty for zero
  int exponent = 0;
};

// The value's expansion to 18 significant digits, rounded to nearest.
TDecimalDigits Expand18(double value) {
  TDecimalDigits d;
  d.negative = std::signbit(value);
  if (value == 0) return d;
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.17e", std::fabs(value));
  const std::string s = buffer;
  d.digits = s.substr(0, 1) + s.substr(2, 17);
  d.exponent = std::atoi(s.c_str() + s.find('e') + 1) + 1;
  return d;
}

// Keeps `keep` digits (counted from the first), rounding up in magnitude when
// the first dropped digit is 5 or more.
void CutDigits(TDecimalDigits& d, int keep) {
  if (d.digits.empty() || keep >= static_cast<int>(d.digits.size())) return;
  if (keep < 0) {
    d.digits.clear();
    return;
  }
  const bool up = d.digits[keep] >= '5';
  d.digits.resize(keep);
  if (up) {
    int i = keep - 1;
    while (i >= 0 && d.digits[i] == '9') d.digits[i--] = '0';
    if (i >= 0) ++d.digits[i];
    else {
      d.digits.insert(d.digits.begin(), '1');
      ++d.exponent;
    }
  }
  while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back();
  if (d.digits.empty()) d.exponent = 0;
}

char DigitAt(const TDecimalDigits& d, int i) {
  return i >= 0 && i < static_cast<int>(d.digits.size()) ? d.digits[i] : '0';
}

// Fixed notation with `decimals` decimals (trailing zeros kept).
std::string FixedText(const TDecimalDigits& d, int decimals, char separator) {
  std::string s;
  if (d.exponent <= 0) s = "0";
  for (int i = 0; i < d.exponent; ++i) s += DigitAt(d, i);
  if (decimals > 0) {
    s += separator;
    for (int i = 0; i < decimals; ++i) s += DigitAt(d, d.exponent + i);
  }
  const bool zero = d.digits.empty();
  return (d.negative && !zero ? "-" : "") + s;
}

// Scientific notation: d.ddd, "E", "-" when negative, at least `expDigits` digits.
std::string ScientificText(const TDecimalDigits& d, char separator, int expDigits) {
  std::string s(1, DigitAt(d, 0));
  if (d.digits.size() > 1) s += separator + d.digits.substr(1);
  const int e = d.exponent - 1;
  std::string exp = std::to_string(std::abs(e));
  if (static_cast<int>(exp.size()) < expDigits) exp.insert(0, expDigits - exp.size(), '0');
  return (d.negative ? "-" : "") + s + "E" + (e < 0 ? "-" : "") + exp;
}

// The general form with `significant` digits: fixed while at most that many
// digits stand before the point and the magnitude is at least 0.00001.
std::string GeneralText(double value, int significant, int expDigits, char separator) {
  TDecimalDigits d = Expand18(value);
  CutDigits(d, significant);
  if (d.digits.empty()) return "0";
  if (d.exponent <= significant && d.exponent >= -4)
    return FixedText(d, std::max(0, static_cast<int>(d.digits.size()) - d.exponent), separator);
  return ScientificText(d, separator, expDigits);
}

}  // namespace

std::string SpinFloatText(double value, int32_t precision, char decimalSeparator) {
  if (!std::isfinite(value)) return FloatToStr(value);
  if (precision < 0) return GeneralText(value, 4, 4, decimalSeparator);
  if (precision == 0) return GeneralText(value, 15, 0, decimalSeparator);
  TDecimalDigits d = Expand18(value);
  if (d.exponent > 15) return GeneralText(value, 15, 0, decimalSeparator);
  CutDigits(d, std::min(15, d.exponent + precision));
  return FixedText(d, precision, decimalSeparator);
}

// ---- spin buttons ----

TSpinButtonFace SpinButtonFace(TArrowDirection direction, bool enabled, bool pressed, bool hot, bool flat) {
  TSpinButtonFace face;
  static constexpr int kParts[] = {4, 3, 1, 2};  // left, right, up, down
  face.ThemePart = kParts[direction];
  face.ThemeState = !enabled ? 4 : pressed ? 3 : hot ? 2 : 1;
  if (direction == adLeft || direction == adRight) {
    face.FrameState = (direction == adLeft ? DFCS_SCROLLLEFT : DFCS_SCROLLRIGHT) | (enabled ? 0 : DFCS_INACTIVE) |
                      (pressed ? DFCS_PUSHED : 0) | (flat ? DFCS_FLAT : 0);
  } else {
    face.ClassicGlyph = true;
  }
  return face;
}

namespace {

bool NewWindows() {
  const DWORD version = GetVersion();
  const int major = LOBYTE(LOWORD(version)), minor = HIBYTE(LOWORD(version));
  return major > 5 || (major == 5 && minor >= 1);
}

}  // namespace

const TClassInfo& TAdvTimerSpeedButton::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<TAdvTimerSpeedButton>("TAdvTimerSpeedButton", &TSpeedButton::StaticClassInfo());
  return info;
}

TAdvTimerSpeedButton::TAdvTimerSpeedButton(TComponent* owner) : TSpeedButton(owner), newWindows_(NewWindows()) {}

TAdvTimerSpeedButton::~TAdvTimerSpeedButton() { delete repeatTimer_; }

void TAdvTimerSpeedButton::SetArrowDirection(TArrowDirection d) {
  direction_ = d;
  Invalidate();
}

void TAdvTimerSpeedButton::WndProc(TMessage& m) {
  if (m.Msg == CM_MOUSEENTER || m.Msg == CM_MOUSELEAVE) {
    mouseOver_ = m.Msg == CM_MOUSEENTER;
    Invalidate();
  }
  TSpeedButton::WndProc(m);
}

void TAdvTimerSpeedButton::InvalidateParent() {
  if (Parent() && Parent()->HandleAllocated()) InvalidateRect(Parent()->Handle(), nullptr, TRUE);
}

void TAdvTimerSpeedButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft)
    if (auto* spin = dynamic_cast<TAdvSpinButton*>(Owner())) spin->ButtonPressed(this);
  TSpeedButton::MouseDown(button, shift, x, y);
  if (repeatAllowed_) {
    if (!repeatTimer_) {
      repeatTimer_ = new TTimer(nullptr);
      repeatTimer_->SetEnabled(false);
      repeatTimer_->OnTimer = [this](TObject* sender) { TimerExpired(sender); };
    }
    repeatTimer_->SetInterval(400);
    repeatTimer_->SetEnabled(true);
  }
  InvalidateParent();
}

void TAdvTimerSpeedButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TSpeedButton::MouseUp(button, shift, x, y);
  if (repeatTimer_) repeatTimer_->SetEnabled(false);
  InvalidateParent();
}

void TAdvTimerSpeedButton::TimerExpired(TObject*) {
  repeatTimer_->SetInterval(100);
  if (!Pressed() || GetCaptureControl() != this) return;
  try {
    Click();
  } catch (...) {
    repeatTimer_->SetEnabled(false);
    throw;
  }
}

void TAdvTimerSpeedButton::Paint() {
  const TSpinButtonFace face = SpinButtonFace(direction_, Enabled(), Pressed(), mouseOver_, Flat());
  RECT r = ClientRect();
  auto* owner = dynamic_cast<TWinControl*>(Owner());
  if (newWindows_ && owner &&
      DrawThemedPart(SpinThemeApi(), owner->Handle(), L"spin", Canvas()->Handle(), face.ThemePart, face.ThemeState,
                     r))
    return;
  if (!face.ClassicGlyph) {
    DrawFrameControl(Canvas()->Handle(), &r, DFC_SCROLL, face.FrameState);
    return;
  }
  TSpeedButton::Paint();
}

const TClassInfo& TAdvSpinButton::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<TAdvSpinButton>("TAdvSpinButton", &TWinControl::StaticClassInfo(), [](TPublished<TAdvSpinButton>& p) {
        static const TEnumNames directions{"spVertical", "spHorizontal"};
        p.Enumeration("Direction", directions, &TAdvSpinButton::Direction, &TAdvSpinButton::SetDirection)
            .Integer("UpNumGlyphs", &TAdvSpinButton::UpNumGlyphs, &TAdvSpinButton::SetUpNumGlyphs)
            .Integer("DownNumGlyphs", &TAdvSpinButton::DownNumGlyphs, &TAdvSpinButton::SetDownNumGlyphs)
            .Event("OnUpClick", &TAdvSpinButton::OnUpClick)
            .Event("OnDownClick", &TAdvSpinButton::OnDownClick);
      });
  return info;
}

TAdvSpinButton::TAdvSpinButton(TComponent* owner) : TWinControl(owner) {
  SetControlStyle(ControlStyle() - csAcceptsControls - csSetCaption + csOpaque);
  auto makeButton = [this](TArrowDirection direction, TNotifyEvent onClick) {
    auto* b = new TAdvTimerSpeedButton(this);
    b->OnClick = std::move(onClick);
    b->SetRepeatAllowed(true);
    b->SetArrowDirection(direction);
    b->SetParent(this);
    return b;
  };
  upButton_ = makeButton(adUp, [this](TObject*) {
    if (OnUpClick) OnUpClick(this);
  });
  downButton_ = makeButton(adDown, [this](TObject*) {
    if (OnDownClick) OnDownClick(this);
  });
  SetUpGlyph(nullptr);
  SetDownGlyph(nullptr);
  focusedButton_ = upButton_;
  SetBounds(0, 0, 15, 25);
}

void TAdvSpinButton::SetGlyph(TAdvTimerSpeedButton* button, const TBitmap* glyph, bool up) {
  if (glyph) {
    button->SetGlyph(glyph);
    return;
  }
  // The default arrows are among the program's bitmaps.
  LoadResourceBitmap(button->Glyph(), up ? "AdvSpinUp" : "AdvSpinDown");
  button->SetNumGlyphs(1);
  button->Invalidate();
}
void TAdvSpinButton::SetUpGlyph(const TBitmap* glyph) { SetGlyph(upButton_, glyph, true); }
void TAdvSpinButton::SetDownGlyph(const TBitmap* glyph) { SetGlyph(downButton_, glyph, false); }

void TAdvSpinButton::SetDirection(TSpinDirection d) {
  if (d == direction_) return;
  direction_ = d;
  upButton_->SetArrowDirection(d == spHorizontal ? adRight : adUp);
  downButton_->SetArrowDirection(d == spHorizontal ? adLeft : adDown);
  SetBounds(Left(), Top(), d == spHorizontal ? 20 : 15, Height());
  if (HandleAllocated()) RecreateWnd();
}

void TAdvSpinButton::SetFocusControl(TWinControl* control) {
  focusControl_ = control;
  if (control) control->FreeNotification(this);
}

void TAdvSpinButton::Notification(TComponent* component, TOperation operation) {
  TWinControl::Notification(component, operation);
  if (operation == opRemove && component == focusControl_) focusControl_ = nullptr;
}

void TAdvSpinButton::AdjustSize(int32_t& width, int32_t& height) {
  if (!upButton_ || !downButton_ || ComponentState().Contains(csLoading)) return;
  if (direction_ == spVertical) {
    width = std::max(width, 15);
    const int32_t h = (height + 2) / 2;
    upButton_->SetBounds(0, 0, width, h);
    downButton_->SetBounds(0, upButton_->Height(), width, h);
  } else {
    width = std::max(width, 20);
    const int32_t w = width / 2;
    downButton_->SetBounds(0, 0, w, height);
    upButton_->SetBounds(w + 1, 0, w, height);
  }
}

void TAdvSpinButton::SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
  AdjustSize(width, height);
  TWinControl::SetBounds(left, top, width, height);
}

void TAdvSpinButton::Loaded() {
  TWinControl::Loaded();
  SetBounds(Left(), Top(), Width(), Height());
}

void TAdvSpinButton::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_GETDLGCODE: m.Result = DLGC_WANTARROWS; return;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      TWinControl::WndProc(m);
      focusedButton_->Invalidate();
      return;
    default: break;
  }
  TWinControl::WndProc(m);
}

void TAdvSpinButton::ButtonPressed(TAdvTimerSpeedButton* button) {
  if (TabStop() && CanFocus() && button != focusedButton_) {
    focusedButton_ = button;
    if (Focused()) Invalidate();
  }
  if (focusControl_ && focusControl_->TabStop() && focusControl_->CanFocus() && !focusControl_->Focused())
    focusControl_->SetFocus();
  else if (TabStop() && !Focused() && CanFocus())
    SetFocus();
}

void TAdvSpinButton::KeyDown(WORD& key, TShiftState shift) {
  TWinControl::KeyDown(key, shift);
  switch (key) {
    case VK_UP: focusedButton_ = upButton_; upButton_->Click(); break;
    case VK_DOWN: focusedButton_ = downButton_; downButton_->Click(); break;
    case VK_SPACE: focusedButton_->Click(); break;
    default: break;
  }
}

// ---- spin edit: construction ----

const TClassInfo& TAdvSpinEdit::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<TAdvSpinEdit>("TAdvSpinEdit", &TCustomMaskEdit::StaticClassInfo(), [](TPublished<TAdvSpinEdit>& p) {
        static const TEnumNames spinTypes{"sptNormal", "sptFloat", "sptDate", "sptTime", "sptHex"};
        static const TEnumNames aligns{"eaLeft", "eaRight", "eaCenter"};
        static const TEnumNames directions{"spVertical", "spHorizontal"};
        static const TEnumNames positions(LabelPositionNames().begin(), LabelPositionNames().begin() + 10);
        using E = TAdvSpinEdit;
        p.Enumeration("SpinType", spinTypes, &E::SpinType, &E::SetSpinType)
            .Integer("Value", &E::Value, &E::SetValue)
            .Float("FloatValue", &E::FloatValue, &E::SetFloatValue)
            .Float("DateValue", &E::DateValue, &E::SetDateValue)
            .Float("TimeValue", &E::TimeValue, &E::SetTimeValue)
            .Integer("HexValue", &E::HexValue, &E::SetHexValue)
            .Integer("Precision", &E::Precision, &E::SetPrecision)
            .Integer("MinValue", &E::MinValue, &E::SetMinValue)
            .Integer("MaxValue", &E::MaxValue, &E::SetMaxValue)
            .Float("MinFloatValue", &E::MinFloatValue, &E::SetMinFloatValue)
            .Float("MaxFloatValue", &E::MaxFloatValue, &E::SetMaxFloatValue)
            .Float("MinDateValue", &E::MinDateValue, &E::SetMinDateValue)
            .Float("MaxDateValue", &E::MaxDateValue, &E::SetMaxDateValue)
            .Integer("Increment", &E::Increment, &E::SetIncrement)
            .Integer("IncrementPage", &E::IncrementPage, &E::SetIncrementPage)
            .Float("IncrementFloat", &E::IncrementFloat, &E::SetIncrementFloat)
            .Float("IncrementFloatPage", &E::IncrementFloatPage, &E::SetIncrementFloatPage)
            .Boolean("IncrementSmart", &E::IncrementSmart, &E::SetIncrementSmart)
            .Integer("IncrementHours", &E::IncrementHours, &E::SetIncrementHours)
            .Integer("IncrementMinutes", &E::IncrementMinutes, &E::SetIncrementMinutes)
            .Boolean("ShowSeconds", &E::ShowSeconds, &E::SetShowSeconds)
            .Boolean("Signed", &E::Signed, &E::SetSigned)
            .Boolean("AllowNullValue", &E::AllowNullValue, &E::SetAllowNullValue)
            .Boolean("EditorEnabled", &E::EditorEnabled, &E::SetEditorEnabled)
            .Boolean("ReturnIsTab", &E::ReturnIsTab, &E::SetReturnIsTab)
            .Boolean("AutoFocus", &E::AutoFocus, &E::SetAutoFocus)
            .String("Version", &E::Version, &E::SetVersion)
            .Enumeration("EditAlign", aligns, &E::EditAlign, &E::SetEditAlign)
            .Enumeration("Direction", directions, &E::Direction, &E::SetDirection)
            .Boolean("Flat", &E::Flat, &E::SetFlat)
            .Integer("FlatLineColor", &E::FlatLineColor, &E::SetFlatLineColor)
            .Boolean("SpinFlat", &E::SpinFlat, &E::SetSpinFlat)
            .Boolean("Transparent", &E::Transparent, &E::SetTransparent)
            .Integer("FocusColor", &E::FocusColor, &E::SetFocusColor)
            .Integer("FocusBorderColor", &E::FocusBorderColor, &E::SetFocusBorderColor)
            .Boolean("FocusLabel", &E::FocusLabel, &E::SetFocusLabel)
            .String("LabelCaption", &E::LabelCaption, &E::SetLabelCaption)
            .Enumeration("LabelPosition", positions, &E::LabelPosition, &E::SetLabelPosition)
            .Integer("LabelMargin", &E::LabelMargin, &E::SetLabelMargin)
            .Boolean("LabelAlwaysEnabled", &E::LabelAlwaysEnabled, &E::SetLabelAlwaysEnabled)
            .Event("OnUpClick", &E::OnUpClick)
            .Event("OnDownClick", &E::OnDownClick);
      });
  return info;
}

TAdvSpinEdit::TAdvSpinEdit(TComponent* owner) : TCustomMaskEdit(owner), label_(this) {
  SetControlStyle(ControlStyle() - csSetCaption);
  button_ = new TAdvSpinButton(this);
  button_->SetBounds(0, 0, 15, 17);
  button_->SetVisible(true);
  button_->SetParent(this);
  button_->SetFocusControl(this);
  button_->OnUpClick = [this](TObject* sender) { IncrementValue(sender); };
  button_->OnDownClick = [this](TObject* sender) { DecrementValue(sender); };
  normalColor_ = Color();
  TCustomMaskEdit::SetText("0");
}

TAdvSpinEdit::~TAdvSpinEdit() = default;

std::string TAdvSpinEdit::Version() const { return VersionString(GetVersionNumber()); }

bool TAdvSpinEdit::Loading() const { return ComponentState().Contains(csLoading); }

void TAdvSpinEdit::Loaded() {
  TCustomMaskEdit::Loaded();
  loadingFlag_ = true;
  normalColor_ = Color();
  if (spinType_ == sptDate) TCustomMaskEdit::SetText(FormatDateTime(FormatSettings.ShortDateFormat, dateValue_));
  if (spinType_ == sptTime) SetTimeValue(timeValue_);
  if (spinType_ == sptHex) TCustomMaskEdit::SetText("0x" + IntToHex(static_cast<uint32_t>(hexValue_), 0));
  ApplyKindToText();
  SetBounds(Left(), Top(), Width(), Height());
  UpdateMonthFirst();
  label_.FollowEnabled();
  loadingFlag_ = false;
}

// ---- reading and writing values ----

int32_t TAdvSpinEdit::ClampInt(int32_t v) const {
  if (Loading() || (minValue_ == 0 && maxValue_ == 0)) return v;
  if (v < minValue_) v = minValue_;
  if (v > maxValue_) v = maxValue_;
  return v;
}

double TAdvSpinEdit::ClampFloat(double v) const {
  if (Loading() || minFloatValue_ == maxFloatValue_) return v;
  return std::min(std::max(v, minFloatValue_), maxFloatValue_);
}

TDateTime TAdvSpinEdit::ClampDate(TDateTime v) const {
  if (Loading() || minDateValue_ == maxDateValue_) return v;
  return std::min(std::max(v, minDateValue_), maxDateValue_);
}

int32_t TAdvSpinEdit::Value() const {
  const std::string t = Trim(GetText());
  if (t.empty()) return 0;
  int32_t v = 0;
  return TryStrToInt(t, v) && t.find_first_of("xX$") == std::string::npos ? v : minValue_;
}

void TAdvSpinEdit::SetValue(int32_t v) {
  SetText(IntToStr(ClampInt(v)));
  if (!editorEnabled_ && AutoSelect()) SelectAll();
}

double TAdvSpinEdit::FloatValue() const {
  const std::string t = GetText();
  if (Trim(t).empty()) return 0.0;
  double v = 0;
  // Text that is no number reads as the integer minimum (0 unless set), not
  // as MinFloatValue: a range check on the value then sees it as outside.
  return TryStrToFloat(t, v) ? v : static_cast<double>(minValue_);
}

void TAdvSpinEdit::SetFloatValue(double v) {
  SetText(SpinFloatText(ClampFloat(v), precision_, FormatSettings.DecimalSeparator));
}

TDateTime TAdvSpinEdit::DateValue() const {
  const std::string t = Trim(GetText());
  if (t.empty() || t == "0") return Now();
  TDateTime d = 0;
  if (!TryStrToDate(t, d)) return minDateValue_;
  return d + (dateValue_ - std::floor(dateValue_));
}

void TAdvSpinEdit::SetDateValue(TDateTime v) {
  dateValue_ = v;
  if (Loading()) return;
  dateValue_ = ClampDate(v);
  const int32_t caret = SelStart();
  SetText(FormatDateTime(FormatSettings.ShortDateFormat, dateValue_));
  SetSelStart(caret);
}

namespace {

// "h:mm[:ss]" with the locale's time separator as a fraction of a day.
bool ParseTime(const std::string& text, char separator, TDateTime& time) {
  int32_t parts[3] = {0, 0, 0};
  int count = 0;
  size_t pos = 0;
  while (count < 3) {
    const size_t end = text.find(separator, pos);
    const std::string part = Trim(text.substr(pos, end == std::string::npos ? std::string::npos : end - pos));
    if (part.empty() || part.find_first_not_of("0123456789") != std::string::npos || part.size() > 4) return false;
    parts[count++] = std::stoi(part);
    if (end == std::string::npos) break;
    pos = end + 1;
  }
  if (pos < text.size() && count == 3 && text.find(separator, pos) != std::string::npos) return false;
  if (count < 2 || parts[0] > 23 || parts[1] > 59 || parts[2] > 59) return false;
  time = (parts[0] * 3600.0 + parts[1] * 60.0 + parts[2]) / 86400.0;
  return true;
}

}  // namespace

TDateTime TAdvSpinEdit::TimeValue() const {
  std::string t = Trim(GetText());
  if (t.empty()) return 0;
  if (!showSeconds_) t += std::string(1, FormatSettings.TimeSeparator) + "00";
  TDateTime time = 0;
  if (!ParseTime(t, FormatSettings.TimeSeparator, time)) return 0;
  return time + std::floor(timeValue_);
}

void TAdvSpinEdit::SetTimeValue(TDateTime v) {
  timeValue_ = v;
  if (Loading()) return;
  timeValue_ = ClampDate(v);
  const int32_t caret = SelStart();
  SetText(FormatDateTime(showSeconds_ ? "h:nn:ss" : "h:nn", timeValue_));
  SetSelStart(caret);
}

int32_t TAdvSpinEdit::HexValue() const {
  const std::string t = GetText();
  if (t.size() < 3) return 0;
  uint32_t v = 0;
  for (size_t i = 2; i < t.size(); ++i) {
    const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(t[i])));
    int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    // A character that is no hexadecimal digit makes the text unreadable:
    // the last value accepted stands.
    if (digit < 0) return hexValue_;
    v = v * 16 + static_cast<uint32_t>(digit);
  }
  return static_cast<int32_t>(v);
}

void TAdvSpinEdit::SetHexValue(int32_t v) {
  v = ClampInt(v);
  const std::string text = "0x" + IntToHex(static_cast<uint32_t>(v), 0);
  if (MaxLength() > 0 && static_cast<int32_t>(text.size()) > MaxLength()) return;
  hexValue_ = v;
  if (!Loading()) SetText(text);
}

void TAdvSpinEdit::SetTextQuiet(const std::string& text) {
  TNotifyEvent onChange = std::move(OnChange);
  OnChange = nullptr;
  SetText(text);
  OnChange = std::move(onChange);
}

void TAdvSpinEdit::ApplyKindToText() {
  TNotifyEvent onChange = std::move(OnChange);
  OnChange = nullptr;
  try {
    switch (spinType_) {
      case sptNormal: SetValue(Value()); break;
      case sptFloat: SetFloatValue(FloatValue()); break;
      case sptDate: SetDateValue(DateValue()); break;
      case sptTime: SetTimeValue(TimeValue()); break;
      case sptHex: SetHexValue(HexValue()); break;
    }
  } catch (...) {
    OnChange = std::move(onChange);
    throw;
  }
  OnChange = std::move(onChange);
}

void TAdvSpinEdit::SetSpinType(TAdvSpinType type) {
  if (type == spinType_) return;
  spinType_ = type;
  if (!Loading()) ApplyKindToText();
}

void TAdvSpinEdit::SetPrecision(int32_t p) {
  precision_ = p;
  if (spinType_ == sptFloat && !Loading()) SetFloatValue(FloatValue());
}

void TAdvSpinEdit::SetShowSeconds(bool v) {
  if (spinType_ != sptTime) return;
  showSeconds_ = v;
  SetTimeValue(timeValue_);
}

// ---- stepping ----

void TAdvSpinEdit::UpdateMonthFirst() {
  const std::string format = UpperCase(FormatSettings.ShortDateFormat);
  const size_t m = format.find('M'), d = format.find('D');
  monthFirst_ = m != std::string::npos && (d == std::string::npos || m < d);
}

void TAdvSpinEdit::SmartStep(int sign) {
  if (spinType_ != sptNormal && spinType_ != sptFloat) return;
  const std::string text = GetText();
  const int32_t length = static_cast<int32_t>(text.size()), caret = SelStart();
  const bool hasMinus = text.find('-') != std::string::npos;
  const size_t point = text.find(FormatSettings.DecimalSeparator);
  const int32_t f = point == std::string::npos ? -1 : length - static_cast<int32_t>(point + 1);
  const int32_t r = length - caret;
  if (caret == 0 || (hasMinus && caret == 1)) {
    if (spinType_ == sptNormal) SetValue(Value() + sign * increment_);
    else SetFloatValue(FloatValue() + sign * incrementFloat_);
    return;
  }
  if (r >= f) {
    const int power = r - f - 1;
    int32_t step = 1;
    for (int i = 0; i < power; ++i) step *= 10;
    if (spinType_ == sptNormal) SetValue(Value() + sign * step);
    else SetFloatValue(FloatValue() + sign * static_cast<double>(step));
    return;
  }
  if (spinType_ != sptFloat) return;
  double step = 1;
  for (int i = 0; i < f - r; ++i) step /= 10;
  SetFloatValue(FloatValue() + sign * step);
}

void TAdvSpinEdit::StepDate(int sign) {
  const std::string text = GetText();
  const int32_t caret = SelStart();
  const size_t first = text.find(FormatSettings.DateSeparator);
  const size_t second = first == std::string::npos ? std::string::npos : text.find(FormatSettings.DateSeparator, first + 1);
  const int32_t s1 = first == std::string::npos ? 0 : static_cast<int32_t>(first + 1);
  const int32_t s2 = second == std::string::npos ? 0 : static_cast<int32_t>(second + 1);
  enum { kDay, kMonth, kYear } part;
  if (caret < s1) part = monthFirst_ ? kMonth : kDay;
  else if (caret < s2) part = monthFirst_ ? kDay : kMonth;
  else part = kYear;
  const TDateTime value = DateValue();
  if (part == kDay) {
    SetDateValue(value + sign);
    return;
  }
  int32_t year, month, day;
  DecodeDate(value, year, month, day);
  if (part == kMonth) {
    month += sign;
    if (month > 12) month = 1, ++year;
    if (month < 1) month = 12, --year;
  } else {
    year += sign;
  }
  // The day is clipped to the new month: 29 February becomes 28 February in
  // a year that is not a leap year.
  day = std::min(day, DaysInAMonth(year, month));
  SetDateValue(EncodeDate(year, month, day) + (value - std::floor(value)));
}

void TAdvSpinEdit::StepTime(int sign) {
  const std::string text = GetText();
  const int32_t caret = SelStart();
  const size_t first = text.find(FormatSettings.TimeSeparator);
  const size_t second = first == std::string::npos ? std::string::npos : text.find(FormatSettings.TimeSeparator, first + 1);
  const int32_t t1 = first == std::string::npos ? 0 : static_cast<int32_t>(first + 1);
  const int32_t t2 = second == std::string::npos ? 0 : static_cast<int32_t>(second + 1);
  double seconds;
  if (caret < t1) seconds = incrementHours_ != 0 ? incrementHours_ * 3600.0 : incrementMinutes_ * 60.0;
  else if (showSeconds_ && caret >= t2) seconds = 1;
  else seconds = incrementMinutes_ * 60.0;
  // The step is a length of time, so steps of a day or more are allowed.
  const TDateTime step = seconds / 86400.0;
  const TDateTime value = TimeValue();
  if (sign > 0) SetTimeValue(value + step);
  else if (value >= step) SetTimeValue(value - step);
}

void TAdvSpinEdit::Step(int sign) {
  switch (spinType_) {
    case sptNormal:
      if (incrementSmart_) SmartStep(sign);
      else SetValue(Value() + sign * increment_);
      break;
    case sptFloat:
      if (incrementSmart_) SmartStep(sign);
      else SetFloatValue(FloatValue() + sign * incrementFloat_);
      break;
    case sptDate: StepDate(sign); break;
    case sptTime: StepTime(sign); break;
    case sptHex: SetHexValue(HexValue() + sign * increment_); break;
  }
}

void TAdvSpinEdit::StepKeepingCaret(int sign) {
  const int32_t start = SelStart(), length = SelLength();
  UpdateMonthFirst();
  const std::string before = GetText();
  if (ReadOnly()) MessageBeep(0);
  else Step(sign);
  const std::string after = GetText();
  const bool minusBefore = before.find('-') != std::string::npos, minusAfter = after.find('-') != std::string::npos;
  const int32_t caret = std::max(0, start + (minusBefore && !minusAfter ? -1 : !minusBefore && minusAfter ? 1 : 0));
  SetSelStart(caret);
  SetSelLength(length);
  if (sign > 0 && after.size() != before.size() && spinType_ != sptDate && spinType_ != sptTime)
    SetSelLength(static_cast<int32_t>(after.size()));
  if (after != before) SetModified(true);
}

void TAdvSpinEdit::IncrementValue(TObject*) {
  StepKeepingCaret(1);
  if (OnUpClick) OnUpClick(this);
}

void TAdvSpinEdit::DecrementValue(TObject*) {
  StepKeepingCaret(-1);
  if (OnDownClick) OnDownClick(this);
}

// ---- focus and exit ----

void TAdvSpinEdit::FillEmptyOnFocusLoss() {
  if (allowNullValue_ || !GetText().empty()) return;
  switch (spinType_) {
    case sptNormal:
      if (minValue_ != maxValue_) SetValue(minValue_);
      break;
    case sptFloat: SetFloatValue(minFloatValue_); break;
    case sptDate:
      if (minDateValue_ != maxDateValue_) SetDateValue(minDateValue_);
      break;
    case sptTime:
      if (minDateValue_ != maxDateValue_) SetTimeValue(minDateValue_);
      break;
    case sptHex:
      if (minValue_ != maxValue_) SetHexValue(minValue_);
      break;
  }
}

void TAdvSpinEdit::NormaliseOnExit() {
  if (allowNullValue_ && GetText().empty()) return;
  switch (spinType_) {
    case sptNormal: {
      const int32_t v = Value();
      if (ClampInt(v) != v) SetValue(v);
      break;
    }
    case sptFloat: SetFloatValue(FloatValue()); break;
    case sptDate: {
      const TDateTime v = DateValue();
      if (ClampDate(v) != v) SetDateValue(v);
      break;
    }
    case sptTime: {
      const TDateTime v = TimeValue();
      if (ClampDate(v) != v) SetTimeValue(v);
      break;
    }
    case sptHex: SetHexValue(HexValue()); break;
  }
}

void TAdvSpinEdit::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_CHAR: HandleChar(m); return;
    case WM_KEYDOWN:
      if (m.WParam == VK_RETURN && GetKeyState(VK_CONTROL) < 0) PostMessage(Handle(), WM_KEYDOWN, VK_UP, 0);
      break;
    case WM_CUT:
    case WM_PASTE:
      if (!editorEnabled_ || ReadOnly()) return;
      break;
    case WM_SETFOCUS:
      TCustomMaskEdit::WndProc(m);
      FocusArrived();
      return;
    case WM_KILLFOCUS:
      TCustomMaskEdit::WndProc(m);
      FocusLost();
      FillEmptyOnFocusLoss();
      return;
    case CM_ENTER:
      if (AutoSelect() && (GetKeyState(VK_LBUTTON) >= 0 || !editorEnabled_)) SelectAll();
      break;
    case CM_EXIT: NormaliseOnExit(); break;
    case CM_MOUSEENTER:
      if (autoFocus_ && !ComponentState().Contains(csDesigning)) {
        TCustomForm* form = GetParentForm();
        if (!form || (form->HandleAllocated() && GetActiveWindow() == form->Handle())) SetFocus();
      }
      break;
    case CM_ENABLEDCHANGED:
      button_->SetEnabled(Enabled());
      button_->UpButton()->SetEnabled(Enabled());
      button_->DownButton()->SetEnabled(Enabled());
      if (!Loading()) label_.FollowEnabled();
      break;
    case CM_SHOWINGCHANGED: label_.FollowVisible(); break;
    case CM_TEXTCHANGED:
    case CN_COMMAND:
      if (loadingFlag_) {
        m.Result = 1;
        return;
      }
      if (m.Msg == CM_TEXTCHANGED && transparent_) Invalidate();
      break;
    case WM_SIZE:
      TCustomMaskEdit::WndProc(m);
      PlaceButton();
      return;
    default: break;
  }
  TCustomMaskEdit::WndProc(m);
}
