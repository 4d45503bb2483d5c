// The spin edit's keyboard: the key filter by kind of value, the sign and
// Enter characters, and the keys that step the value.
#include "platform/rtl/sysutils.h"
#include "ui/controls/advspin.h"
#include "ui/controls/editkeys.h"

namespace {

bool IsDigit(char32_t c) { return c >= '0' && c <= '9'; }
bool IsHexDigit(char32_t c) { return IsDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }
bool IsControl(char32_t c) { return c < 32 && c != '\r'; }

// Whether `separator` doubles as one of the characters every kind accepts.
bool SharedSeparator(char separator) {
  const TFormatSettings& f = FormatSettings;
  return separator == f.DecimalSeparator || separator == f.ThousandSeparator || separator == '-' || separator == '+';
}

}  // namespace

bool TAdvSpinEdit::IsValidChar(char32_t& key) {
  const TFormatSettings& f = FormatSettings;
  const char32_t decimal = static_cast<unsigned char>(f.DecimalSeparator);
  const char32_t thousand = static_cast<unsigned char>(f.ThousandSeparator);
  const char32_t timeSep = static_cast<unsigned char>(f.TimeSeparator);
  const char32_t dateSep = static_cast<unsigned char>(f.DateSeparator);
  const bool separator = key == decimal || key == thousand || key == timeSep || key == dateSep;
  bool result = separator || key == '+' || key == '-' || IsDigit(key) || IsControl(key);
  if (spinType_ == sptNormal && separator) result = false;
  if (key == timeSep && spinType_ != sptTime) {
    if (!SharedSeparator(f.TimeSeparator) || spinType_ == sptDate || spinType_ == sptHex) result = false;
  }
  if (key == dateSep && spinType_ != sptDate) {
    if (!SharedSeparator(f.DateSeparator) || spinType_ == sptTime || spinType_ == sptHex) result = false;
  }
  const std::string text = GetText();
  const int32_t caret = SelStart();
  if (spinType_ == sptFloat && key != 27 && key != 13 && key != 8) {
    if (key == thousand) key = decimal;
    const size_t point = text.find(f.DecimalSeparator);
    if (key == decimal) {
      if (SelLength() == static_cast<int32_t>(text.size())) result = true;
      else if (point != std::string::npos || precision_ == 0) result = false;
    }
    if (precision_ > 0 && point != std::string::npos) {
      const int32_t p = static_cast<int32_t>(point + 1);
      if (caret >= p && SelLength() == 0 && static_cast<int32_t>(text.size()) >= p + precision_) result = false;
    }
  }
  if (spinType_ == sptTime) {
    if ((key == ',' || key == '.') && key != timeSep) key = timeSep;
    if (key == timeSep && text.find(f.TimeSeparator) != std::string::npos) result = false;
  }
  if (spinType_ == sptHex) {
    result = (IsHexDigit(key) || IsControl(key)) && caret >= 2;
    if (key == 8 && caret == 2) result = false;
  }
  if (!editorEnabled_ && result && (key >= 32 || key == 8)) result = false;
  return result;
}

void TAdvSpinEdit::KeyPress(char32_t& key) {
  // Backspace was judged when its key went down.
  if (key != 8 && !IsValidChar(key)) {
    key = 0;
    MessageBeep(0);
    return;
  }
  TCustomMaskEdit::KeyPress(key);
}

void TAdvSpinEdit::ToggleSign() {
  const std::string text = GetText();
  const int32_t start = SelStart(), length = SelLength();
  const bool negative = !text.empty() && text[0] == '-';
  SetText(negative ? text.substr(1) : "-" + text);
  SetSelStart(std::max(0, start + (negative ? -1 : 1)));
  SetSelLength(length);
}

void TAdvSpinEdit::HandleChar(TMessage& m) {
  const auto ch = static_cast<char32_t>(m.WParam);
  if (ch == '+') return;
  if (ch == '-' && !(spinType_ == sptDate && FormatSettings.DateSeparator == '-')) {
    char32_t key = '-';
    if (signed_ && IsValidChar(key)) ToggleSign();
    else if (!IsValidChar(key)) MessageBeep(0);
    if (OnKeyPress) OnKeyPress(this, key);
    return;
  }
  if (ch == '\r') {
    char32_t key = '\r';
    if (OnKeyPress) OnKeyPress(this, key);
    return;
  }
  TCustomMaskEdit::WndProc(m);
}

void TAdvSpinEdit::KeyDown(WORD& key, TShiftState shift) {
  const int32_t start = SelStart(), length = SelLength();
  const std::string before = GetText();
  // The edit's own clipboard keys go through WM_CUT, WM_COPY and WM_PASTE.
  if (const UINT message = ClipboardMessageOfKey(key, shift)) {
    Perform(message);
    key = 0;
    return;
  }
  if (key == VK_BACK) {
    char32_t ch = 8;
    if (!IsValidChar(ch)) {
      MessageBeep(0);
      key = 0;
      return;
    }
  }
  if (key == VK_DELETE && (!editorEnabled_ || (spinType_ == sptHex && start < 2))) key = 0;
  const WORD pressed = key;
  TCustomMaskEdit::KeyDown(key, shift);
  const bool selected = length > 0;
  const bool plainStep = !incrementSmart_ || selected;
  switch (key) {
    case VK_RETURN:
      if (returnIsTab_) {
        key = VK_TAB;
        PostMessage(Handle(), WM_KEYDOWN, VK_TAB, 0);
      }
      break;
    case VK_PRIOR:
    case VK_NEXT: {
      const int sign = key == VK_PRIOR ? 1 : -1;
      if (!plainStep) SmartStep(sign);
      else if (spinType_ == sptNormal) SetValue(Value() + sign * incrementPage_);
      else if (spinType_ == sptFloat) SetFloatValue(FloatValue() + sign * incrementFloatPage_);
      break;
    }
    case VK_UP:
    case VK_DOWN:
      if (plainStep || spinType_ == sptDate || spinType_ == sptTime || spinType_ == sptHex) {
        if (key == VK_UP) IncrementValue(this);
        else DecrementValue(this);
      } else {
        SmartStep(key == VK_UP ? 1 : -1);
      }
      break;
    default: break;
  }
  if (pressed == VK_RETURN || pressed == VK_PRIOR || pressed == VK_NEXT || pressed == VK_UP || pressed == VK_DOWN ||
      pressed == VK_DELETE) {
    SetSelStart(start);
    SetSelLength(length);
  }
  if (GetText() != before) SetModified(true);
}
