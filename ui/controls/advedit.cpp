// The enhanced edit's value model: classification and conversion of values,
// the Text, FloatValue and IntValue readers and writers, the property
// setters that reformat, validation, and the focus handling.
//
// Sections: conversions | settings objects | construction | value |
// properties | validation and change | focus
#include "ui/controls/advedit.h"

#include <cmath>
#include <limits>

#include "platform/forms/properties.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/system.h"
#include "ui/render/gdippicturecontainer.h"

// ---- conversions ----

namespace {

char DecimalSep() { return FormatSettings.DecimalSeparator; }
char ThousandSep() { return FormatSettings.ThousandSeparator; }

std::string WithoutThousands(const std::string& s) {
  std::string out;
  for (char c : s)
    if (c != ThousandSep()) out += c;
  return out;
}

bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

TTextClass ClassifyText(const std::string& s) {
  if (s.empty()) return tcInvalid;
  bool integer = true, floating = true, hex = true;
  int previousThousand = -1, decimals = 0, minuses = 0;
  for (size_t k = 0; k < s.size(); ++k) {
    const char c = s[k];
    const int i = static_cast<int>(k) + 1;
    if (!(c == '-' || IsAsciiDigit(c))) integer = false;
    if (!(c == ',' || c == '-' || c == '.' || IsAsciiDigit(c))) floating = false;
    if (!(c == '-' || IsAsciiDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'))) hex = false;
    if (c == ThousandSep()) {
      if (i - previousThousand < 3) floating = false;
      previousThousand = i;
    }
    if (c == DecimalSep()) ++decimals;
    if (c == '-') ++minuses;
  }
  TTextClass result = tcInvalid;
  if (hex && !integer) result = tcHex;
  else if (integer) result = tcInteger;
  else if (floating) result = tcFloat;
  if (minuses > 1 || decimals > 1) result = tcInvalid;
  return result;
}

double ValueToFloat(const std::string& s) {
  double v = 0;
  return TryStrToFloat(WithoutThousands(s), v) ? v : 0.0;
}

int32_t HexToInt(const std::string& s) {
  uint32_t v = 0, weight = 1;
  for (auto it = s.rbegin(); it != s.rend(); ++it) {
    const char c = *it;
    const uint32_t digit = IsAsciiDigit(c) ? c - '0' : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                                     : (c >= 'a' && c <= 'f') ? c - 'a' + 10 : 0;
    v += digit * weight;
    weight *= 16;
  }
  return static_cast<int32_t>(v);
}

std::string ToMixedCase(const std::string& s) {
  static const std::string breaks = " \"$&'()*,-./:[\\]";
  std::string out;
  bool capitalise = true;
  for (size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if (breaks.find(c) != std::string::npos) {
      out += c;
      capitalise = true;
    } else {
      out += static_cast<char>(capitalise ? std::toupper(static_cast<unsigned char>(c))
                                          : std::tolower(static_cast<unsigned char>(c)));
      capitalise = false;
    }
    if (out == "Mc" || out == "Mac") capitalise = true;
    const size_t mc = out.find(" Mc");
    if (mc != std::string::npos && mc + 2 == i && i >= 2) capitalise = true;
    if (i + 3 >= s.size()) {
      const std::string tail2 = out.size() >= 2 ? out.substr(out.size() - 2) : "";
      const std::string tail3 = out.size() >= 3 ? out.substr(out.size() - 3) : "";
      if (tail2 == " I" || tail3 == " II") capitalise = true;
    }
  }
  return out;
}

std::string SafeLinkTarget(const std::string& value) {
  const std::string v = Trim(value);
  const std::string lower = LowerCase(v);
  if (v.empty() || v.find_first_of(" \t\r\n\"") != std::string::npos) return "";
  if (lower.rfind("http://", 0) == 0 || lower.rfind("https://", 0) == 0 || lower.rfind("mailto:", 0) == 0) return v;
  if (lower.rfind("www.", 0) == 0) return "http://" + v;
  const size_t at = v.find('@');
  if (at != std::string::npos && at > 0 && v.find("://") == std::string::npos && v.find(':') == std::string::npos)
    return "mailto:" + v;
  return "";
}

// ---- settings objects ----

const TClassInfo& TLookupSettings::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TLookupSettings>(
      "TLookupSettings", &TPersistent::StaticClassInfo(), [](TPublished<TLookupSettings>& p) {
        using L = TLookupSettings;
        p.Object("DisplayList", &L::DisplayList)
            .Object("ValueList", &L::ValueList)
            .Integer("DisplayCount", &L::DisplayCount, &L::SetDisplayCount)
            .Boolean("Enabled", &L::Enabled, &L::SetEnabled)
            .Integer("NumChars", &L::NumChars, &L::SetNumChars)
            .Boolean("CaseSensitive", &L::CaseSensitive, &L::SetCaseSensitive)
            .Boolean("History", &L::History, &L::SetHistory)
            .Boolean("Multi", &L::Multi, &L::SetMulti);
      });
  return info;
}

TLookupSettings::TLookupSettings()
    : displayList_(std::make_unique<TStringList>()), valueList_(std::make_unique<TStringList>()) {
  displayList_->SetSorted(true);
  displayList_->SetDuplicates(dupIgnore);
}

void TLookupSettings::Assign(const TPersistent* source) {
  const auto* other = dynamic_cast<const TLookupSettings*>(source);
  if (!other) return;
  displayList_->Assign(*other->displayList_);
  valueList_->Assign(*other->valueList_);
  displayCount_ = other->displayCount_;
  enabled_ = other->enabled_;
  numChars_ = other->numChars_;
  caseSensitive_ = other->caseSensitive_;
  history_ = other->history_;
  multi_ = other->multi_;
  separator_ = other->separator_;
}

const TClassInfo& TPersistence::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<TPersistence>("TPersistence", &TPersistent::StaticClassInfo(), [](TPublished<TPersistence>& p) {
        static const TEnumNames locations{"plInifile", "plRegistry"};
        p.Boolean("Enable", &TPersistence::Enable, &TPersistence::SetEnable)
            .String("Key", &TPersistence::Key, &TPersistence::SetKey)
            .String("Section", &TPersistence::Section, &TPersistence::SetSection)
            .Enumeration("Location", locations, &TPersistence::Location, &TPersistence::SetLocation);
      });
  return info;
}

// ---- construction ----

const TClassInfo& TAdvEdit::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<TAdvEdit>("TAdvEdit", &TCustomEdit::StaticClassInfo(), [](TPublished<TAdvEdit>& p) {
        static const TEnumNames types{"etString", "etNumeric",  "etFloat", "etUppercase",    "etMixedCase",
                                      "etLowerCase", "etPassword", "etMoney", "etRange", "etHex",
                                      "etAlphaNumeric", "etValidChars"};
        static const TEnumNames kAligns{"eaLeft", "eaRight", "eaDefault", "eaCenter"};
        static const TEnumNames displays{"pdNormal", "pdShortest"};
        using E = TAdvEdit;
        p.Enumeration("EditType", types, &E::EditType, &E::SetEditType)
            .Integer("Precision", &E::Precision, &E::SetPrecision)
            .Enumeration("PrecisionDisplay", displays, &E::PrecisionDisplay, &E::SetPrecisionDisplay)
            .String("Prefix", &E::Prefix, &E::SetPrefix)
            .String("Suffix", &E::Suffix, &E::SetSuffix)
            .Boolean("Signed", &E::Signed, &E::SetSigned)
            .Boolean("AllowNumericNullValue", &E::AllowNumericNullValue, &E::SetAllowNumericNullValue)
            .Boolean("AutoThousandSeparator", &E::AutoThousandSeparator, &E::SetAutoThousandSeparator)
            .Boolean("ExcelStyleDecimalSeparator", &E::ExcelStyleDecimalSeparator, &E::SetExcelStyleDecimalSeparator)
            .Integer("LengthLimit", &E::LengthLimit, &E::SetLengthLimit)
            .Boolean("TabOnFullLength", &E::TabOnFullLength, &E::SetTabOnFullLength)
            .String("ValidChars", &E::ValidChars, &E::SetValidChars)
            .Boolean("CanUndo", &E::CanUndo, &E::SetCanUndo)
            .Boolean("ReturnIsTab", &E::ReturnIsTab, &E::SetReturnIsTab)
            .String("Version", &E::Version, &E::SetVersion)
            .Integer("FocusColor", &E::FocusColor, &E::SetFocusColor)
            .Integer("FocusFontColor", &E::FocusFontColor, &E::SetFocusFontColor)
            .Integer("ErrorColor", &E::ErrorColor, &E::SetErrorColor)
            .Integer("ErrorFontColor", &E::ErrorFontColor, &E::SetErrorFontColor)
            .Boolean("ShowError", &E::ShowError, &E::SetShowError)
            .Boolean("ShowModified", &E::ShowModified, &E::SetShowModified)
            .Integer("ModifiedColor", &E::ModifiedColor, &E::SetModifiedColor)
            .Boolean("ShowURL", &E::ShowURL, &E::SetShowURL)
            .Integer("URLColor", &E::URLColor, &E::SetURLColor)
            .Boolean("FocusLabel", &E::FocusLabel, &E::SetFocusLabel)
            .Integer("FocusBorderColor", &E::FocusBorderColor, &E::SetFocusBorderColor)
            .String("EmptyText", &E::EmptyText, &E::SetEmptyText)
            .Boolean("Flat", &E::Flat, &E::SetFlat)
            .Enumeration("EditAlign", kAligns, &E::EditAlign, &E::SetEditAlign)
            .Enumeration("FocusAlign", kAligns, &E::FocusAlign, &E::SetFocusAlign)
            .Integer("FocusWidthInc", &E::FocusWidthInc, &E::SetFocusWidthInc)
            .Boolean("LabelTransparent", &E::LabelTransparent, &E::SetLabelTransparent)
            .Boolean("LabelAlwaysEnabled", &E::LabelAlwaysEnabled, &E::SetLabelAlwaysEnabled)
            .Object("LabelFont", &E::LabelFont)
            .Integer("Color", &E::Color, &E::SetColor, &ColorIdents())
            .Integer("DisabledColor", &E::DisabledColor, &E::SetDisabledColor, &ColorIdents())
            .Boolean("FocusBorder", &E::FocusBorder, &E::SetFocusBorder)
            .Boolean("DisabledBorder", &E::DisabledBorder, &E::SetDisabledBorder)
            .Boolean("AutoFocus", &E::AutoFocus, &E::SetAutoFocus)
            .Boolean("HintShowLargeText", &E::HintShowLargeText, &E::SetHintShowLargeText)
            .Integer("FlatLineColor", &E::FlatLineColor, &E::SetFlatLineColor, &ColorIdents())
            .Boolean("FlatParentColor", &E::FlatParentColor, &E::SetFlatParentColor)
            .Boolean("SoftBorder", &E::SoftBorder, &E::SetSoftBorder)
            .Boolean("Transparent", &E::Transparent, &E::SetTransparent)
            .Integer("ErrorMarkerPos", &E::ErrorMarkerPos, &E::SetErrorMarkerPos)
            .Integer("ErrorMarkerLen", &E::ErrorMarkerLen, &E::SetErrorMarkerLen)
            .String("LabelCaption", &E::LabelCaption, &E::SetLabelCaption)
            .Enumeration("LabelPosition", LabelPositionNames(), &E::LabelPosition, &E::SetLabelPosition)
            .Integer("LabelMargin", &E::LabelMargin, &E::SetLabelMargin)
            .Object("Lookup", &E::Lookup)
            .Object("Persistence", &E::Persistence)
            .Boolean("OleDropTarget", &E::OleDropTarget, &E::SetOleDropTarget)
            .Boolean("OleDropSource", &E::OleDropSource, &E::SetOleDropSource)
            .Event("OnValueValidate", &E::OnValueValidate)
            .Event("OnClipboardCopy", &E::OnClipboardCopy)
            .Event("OnClipboardCut", &E::OnClipboardCut)
            .Event("OnClipboardPaste", &E::OnClipboardPaste);
      });
  return info;
}

TAdvEdit::TAdvEdit(TComponent* owner)
    : TCustomEdit(owner),
      label_(this),
      lookup_(std::make_unique<TLookupSettings>()),
      persistence_(std::make_unique<TPersistence>()) {
  // The colours the edit returns to when no focus, error or modified look
  // shows are its own from the start, so an edit made in code keeps them.
  normalColor_ = Color();
  normalFontColor_ = Font()->Color();
  label_.OnClick = [this](TObject*) {
    if (OnLabelClick) OnLabelClick(this);
  };
  label_.OnDblClick = [this](TObject*) {
    if (OnLabelDblClick) OnLabelDblClick(this);
  };
}

TAdvEdit::~TAdvEdit() {
  if (HandleAllocated() && !ComponentState().Contains(csDesigning)) SavePersistence();
}

std::string TAdvEdit::Version() const { return VersionString(GetVersionNumber()); }

void TAdvEdit::Loaded() {
  TCustomEdit::Loaded();
  normalColor_ = Color();
  normalFontColor_ = Font()->Color();
  if (flat_ && !ComponentState().Contains(csDesigning)) {
    flat_ = false;  // the flat look is applied once the form is read
    SetFlat(true);
  }
  if (!Enabled() && !ComponentState().Contains(csDesigning)) TControl::SetColor(disabledColor_);
  SetBounds(Left(), Top(), Width(), Height());
  if (!ComponentState().Contains(csDesigning)) LoadPersistence();
  label_.Place();
}

void TAdvEdit::SetColor(TColor c) {
  TControl::SetColor(c);
  normalColor_ = c;
}

void TAdvEdit::SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
  TCustomEdit::SetBounds(left, top, width, height);
  label_.Place();
  UpdateTextRect();
}

void TAdvEdit::SetParent(TWinControl* parent) {
  TCustomEdit::SetParent(parent);
  label_.FollowParent();
  label_.Place();
}

// ---- value ----

std::string TAdvEdit::GetText() const {
  std::string shown = ShownText();
  if (!prefix_.empty() && shown.rfind(prefix_, 0) == 0) shown.erase(0, prefix_.size());
  // The suffix is removed only when the text really ends with it.
  if (!suffix_.empty() && shown.size() >= suffix_.size() &&
      shown.compare(shown.size() - suffix_.size(), suffix_.size(), suffix_) == 0)
    shown.resize(shown.size() - suffix_.size());
  return shown;
}

void TAdvEdit::SetShownText(const std::string& shown) { TCustomEdit::SetText(shown); }

void TAdvEdit::SetShownQuiet(const std::string& shown) {
  if (shown == ShownText()) return;
  swallowNextChange_ = true;
  SetShownText(shown);
  swallowNextChange_ = false;
}

std::string TAdvEdit::FixedForm(double v) const {
  return Format("%." + std::to_string(precision_) + "f", {v});
}
std::string TAdvEdit::GroupedForm(double v) const {
  return Format("%." + std::to_string(precision_) + "n", {v});
}

void TAdvEdit::SetText(const std::string& value) {
  std::string v = value;
  const bool numeric = editType_ == etNumeric || editType_ == etFloat || editType_ == etMoney || editType_ == etHex;
  if (v.empty() && !allowNumericNullValue_ && numeric) v = "0";
  const bool floating = editType_ == etFloat || editType_ == etMoney;
  if (precisionDisplay_ == pdShortest && floating) v = Format("%g", {ValueToFloat(v)});
  if (precisionDisplay_ == pdNormal && precision_ > 0 && !v.empty()) {
    if (editType_ == etMoney) v = GroupedForm(ValueToFloat(v));
    if (editType_ == etFloat) v = FixedForm(ValueToFloat(v));
  }
  if (editType_ == etHex) v = UpperCase(v);
  SetShownText(prefix_ + v + suffix_);
  SetModified(false);
  if (showURL_) linkLook_ = IsURL();
}

double TAdvEdit::FloatValue() const {
  const std::string v = GetText();
  switch (editType_) {
    case etString: {
      double x = 0;
      return TryStrToFloat(v, x, InvariantFormatSettings()) ? x : 0.0;
    }
    case etNumeric:
    case etFloat: return v.empty() || v == "-" ? 0.0 : ValueToFloat(v);
    case etMoney: {
      std::string s = WithoutThousands(v);
      if (!s.empty() && s.back() == DecimalSep()) s.pop_back();
      return s.empty() || s == "-" ? 0.0 : ValueToFloat(s);
    }
    case etHex: return v.empty() ? 0.0 : HexToInt(v);
    default: return 0.0;
  }
}

namespace {
// The integer part of a number that is not NaN, held in the 64-bit range.
int64_t HeldInteger(double x) {
  constexpr double limit = 9223372036854775808.0;  // 2^63
  if (x >= limit) return std::numeric_limits<int64_t>::max();
  if (x < -limit) return std::numeric_limits<int64_t>::min();
  return Trunc(x);
}
}  // namespace

void TAdvEdit::SetFloatValue(double x) {
  const std::string general = Format("%g", {x});
  switch (editType_) {
    case etString:
    case etFloat: SetText(precision_ >= 0 ? FixedForm(x) : general); break;
    case etNumeric: SetText(precision_ >= 0 ? GroupedForm(x) : general); break;
    case etMoney:
      SetText(precision_ >= 0 ? FixedForm(x) : general);
      ApplyThousandSeparators();
      break;
    case etHex:
      // A value without an integer part (NaN) leaves the text; others are
      // held in the 64-bit range before they are converted.
      if (std::isnan(x)) break;
      SetText(IntToHex(static_cast<uint32_t>(HeldInteger(x)), 0));
      break;
    default: break;
  }
  SetModified(true);
}

void TAdvEdit::SetIntValue(int32_t n) {
  switch (editType_) {
    case etNumeric:
    case etFloat: SetText(IntToStr(n)); break;
    case etMoney:
      SetText(IntToStr(n));
      ApplyThousandSeparators();
      break;
    case etHex: SetText(IntToHex(static_cast<uint32_t>(n), 0)); break;
    default: break;
  }
  SetModified(true);
}

void TAdvEdit::SetModified(bool b) {
  if (ComponentState().Contains(csLoading) || ReadOnly()) return;
  if (showModified_) Font()->SetColor(b ? modifiedColor_ : normalFontColor_);
  TCustomEdit::SetModified(b);
  modified_ = b;
}

void TAdvEdit::SetSelRange(int32_t start, int32_t length) {
  SetSelStart(start);
  SetSelLength(length);
}

void TAdvEdit::SelectValue() {
  const std::string value = GetText();
  const int32_t length = static_cast<int32_t>(value.size());
  if (showURL_) {
    for (const char* mark : {"://", "mailto:"}) {
      const size_t at = value.find(mark);
      if (at != std::string::npos) {
        SetSelRange(P() + static_cast<int32_t>(at + std::string(mark).size()), length);
        return;
      }
    }
  }
  if (!prefix_.empty() || !suffix_.empty()) SetSelRange(P(), length);
  else SelectAll();
}

void TAdvEdit::ApplyThousandSeparators() {
  const std::string value = GetText();
  const int32_t oldLength = static_cast<int32_t>(value.size()), caret = SelStart();
  if (value.empty()) return;
  std::string v = value, sign;
  if (v[0] == '-') {
    v.erase(0, 1);
    sign = "-";
  }
  const size_t point = v.find(DecimalSep());
  const std::string fraction = point == std::string::npos ? "" : v.substr(point, 255);
  std::string integer = Format(autoThousandSeparator_ ? "%n" : "%f", {std::trunc(std::fabs(FloatValue()))});
  integer = integer.substr(0, integer.find(DecimalSep()));
  const int16_t precision = precision_;
  precision_ = 0;
  SetShownQuiet(prefix_ + sign + integer + fraction + suffix_);
  precision_ = precision;
  const int32_t newLength = static_cast<int32_t>(GetText().size());
  SetSelRange(std::max(0, caret + newLength - oldLength), 0);
}

// ---- properties ----

void TAdvEdit::SetEditType(TAdvEditType type) {
  if (type == editType_) return;
  editType_ = type;
  SetPasswordChar(type == etPassword ? U'*' : 0);
  if (type == etPassword) canUndo_ = false;
  const std::string value = GetText();
  if (value.empty() && allowNumericNullValue_) return;
  const TTextClass kind = ClassifyText(value);
  if (type == etNumeric && kind != tcInteger) SetIntValue(0);
  if ((type == etFloat || type == etMoney) && (kind == tcInvalid || kind == tcHex)) SetFloatValue(0);
  if (type == etHex && kind != tcInteger && kind != tcHex) SetIntValue(0);
}

void TAdvEdit::SetPrecision(int16_t p) {
  if (p == precision_ || (editType_ != etString && editType_ != etFloat && editType_ != etMoney)) return;
  precision_ = p;
  const std::string value = GetText();
  if (value.empty() && allowNumericNullValue_) return;
  const TTextClass kind = ClassifyText(value);
  SetFloatValue(kind == tcInvalid || kind == tcHex ? 0.0 : FloatValue());
}

void TAdvEdit::SetPrecisionDisplay(TPrecisionDisplay d) {
  if (d == precisionDisplay_) return;
  precisionDisplay_ = d;
  SetFloatValue(FloatValue());
}

void TAdvEdit::SetPrefix(const std::string& p) {
  const std::string value = GetText();
  prefix_ = p;
  SetShownText(value);
  SetText(value);
}

void TAdvEdit::SetSuffix(const std::string& s) {
  const std::string value = GetText();
  suffix_ = s;
  SetShownText(value);
  SetText(value);
}

void TAdvEdit::SetAutoThousandSeparator(bool v) {
  autoThousandSeparator_ = v;
  if (editType_ == etFloat || editType_ == etMoney) ApplyThousandSeparators();
}

void TAdvEdit::SetCanUndo(bool v) {
  if (v == canUndo_) return;
  canUndo_ = v && editType_ != etPassword;
}

// ---- validation and change ----

bool TAdvEdit::ValidateValue(const std::string& value) {
  if (validating_) return true;
  validating_ = true;
  bool valid = true;
  try {
    DoValueValidate(value, valid);
  } catch (...) {
    validating_ = false;
    throw;
  }
  validating_ = false;
  return valid;
}

void TAdvEdit::DoValueValidate(const std::string& value, bool& isValid) {
  if (OnValueValidate) OnValueValidate(this, value, isValid);
}

bool TAdvEdit::IsURL() const {
  const std::string v = GetText();
  const size_t at = v.find('@');
  return v.find("://") != std::string::npos || (at != std::string::npos && at > 0) ||
         LowerCase(v).rfind("www.", 0) == 0;
}

void TAdvEdit::Change() {
  if (swallowNextChange_) {
    swallowNextChange_ = false;
    return;
  }
  if (showURL_ && linkLook_ != IsURL()) {
    linkLook_ = !linkLook_;
    ApplyFontColor();
  }
  TCustomEdit::Change();
  if (!ComponentState().Contains(csLoading) && showError_) SetError(!ValidateValue(GetText()));
}

// ---- focus ----

void TAdvEdit::FocusArrived() {
  focusEntryText_ = GetText();
  if (focusColor_ != clNone && ValidateValue(GetText())) TControl::SetColor(focusColor_);
  if (!((error_ && showError_) || showModified_)) {
    normalFontColor_ = Font()->Color();
    if (!(showURL_ && IsURL()) && focusFontColor_ != clNone) Font()->SetColor(focusFontColor_);
  }
  if (!aligning_) {
    if (focusWidthInc_ > 0) SetBounds(Left(), Top(), Width() + focusWidthInc_, Height());
    savedAlign_ = editAlign_;
    if (focusAlign_ != editAlign_ && focusAlign_ != AdvEdit::eaDefault) {
      aligning_ = true;
      SetEditAlign(focusAlign_);
      aligning_ = false;
    }
  }
  if (AutoSelect()) SelectValue();
  if (focusLabel_) label_.SetBold(true);
  Invalidate();
}

void TAdvEdit::FocusLeaving() {
  if (!error_ && Color() != normalColor_) TControl::SetColor(normalColor_);
  if (!((error_ && showError_) || showModified_ || (showURL_ && IsURL()))) Font()->SetColor(normalFontColor_);
  if (focusLabel_) label_.SetBold(false);
  const std::string value = GetText();
  const bool floating = editType_ == etFloat || editType_ == etMoney;
  if (precision_ > 0 && floating && (!value.empty() || !allowNumericNullValue_)) {
    const bool modified = modified_;
    SetFloatValue(FloatValue());
    SetModified(modified);
  }
  if (editType_ == etNumeric && GetText().empty() && !allowNumericNullValue_) SetText("0");
  if (floating && GetText().empty() && !allowNumericNullValue_) SetFloatValue(0);
  ValidateValue(GetText());
  if (!aligning_) {
    if (focusWidthInc_ > 0) SetBounds(Left(), Top(), Width() - focusWidthInc_, Height());
    if (savedAlign_ != editAlign_ && focusAlign_ != AdvEdit::eaDefault) SetEditAlign(savedAlign_);
  }
  AddToHistory();
  Invalidate();
}
