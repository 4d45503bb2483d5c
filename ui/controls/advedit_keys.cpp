// The enhanced edit's typing: the character step with its rules per edit
// type, the key-down step that keeps the caret out of prefix and suffix,
// Escape's undo, the confinement after a click, and the clipboard.
//
// Sections: measures | character step | key-down step | special keys and
// click | clipboard | messages
#include <cstring>

#include "platform/rtl/encoding.h"
#include "platform/rtl/sysutils.h"
#include "platform/win/globalmem.h"
#include "ui/controls/advedit.h"
#include "ui/controls/editkeys.h"

namespace {

char32_t DecimalChar() { return static_cast<unsigned char>(FormatSettings.DecimalSeparator); }
char32_t ThousandChar() { return static_cast<unsigned char>(FormatSettings.ThousandSeparator); }
bool IsDigit(char32_t c) { return c >= '0' && c <= '9'; }
bool ControlDown() { return GetKeyState(VK_CONTROL) < 0; }
bool ShiftDown() { return GetKeyState(VK_SHIFT) < 0; }
bool IsSeparatorOfRange(char c) { return c == ',' || c == '-' || c == ';'; }

}  // namespace

// ---- measures ----

int32_t TAdvEdit::IntegerPartLength(const std::string& value) const {
  std::string v;
  for (char c : value)
    if (c != FormatSettings.ThousandSeparator) v += c;
  const size_t point = v.find(FormatSettings.DecimalSeparator);
  int32_t length = point == std::string::npos ? static_cast<int32_t>(v.size()) + 1 : static_cast<int32_t>(point) + 1;
  const bool signedType = editType_ == etNumeric || editType_ == etFloat || editType_ == etMoney;
  if (signed_ && signedType && v.find('-') != std::string::npos) --length;
  return length;
}

int32_t TAdvEdit::DecimalSeparatorPosition() const {
  const std::string value = GetText();
  const size_t point = value.find(FormatSettings.DecimalSeparator);
  if (point == std::string::npos)
    return P() + static_cast<int32_t>(value.size() + suffix_.size()) + 1;
  return static_cast<int32_t>(point) + 1 + P();
}

bool TAdvEdit::IsSignChar(char32_t c) const {
  return signed_ && (editType_ == etNumeric || editType_ == etFloat || editType_ == etMoney) && c == '-';
}

bool TAdvEdit::DecimalsFull() const {
  const std::string value = GetText();
  const int32_t pos = SelStart() - P();
  const size_t point = value.find(FormatSettings.DecimalSeparator);
  if (precision_ <= 0 || point == std::string::npos) return false;
  if (static_cast<int32_t>(value.size()) - pos > precision_) return false;
  const int32_t decimals = static_cast<int32_t>(value.size() - point - 1);
  return pos >= static_cast<int32_t>(point) + 1 && decimals >= precision_;
}

bool TAdvEdit::ThousandGroupViolated() const {
  std::string value = GetText();
  if (value.find(FormatSettings.ThousandSeparator) == std::string::npos) return false;
  int32_t pos = SelStart() - P();
  int32_t smallest = INT32_MAX;
  size_t at;
  while ((at = value.find(FormatSettings.ThousandSeparator)) != std::string::npos) {
    const int32_t position = static_cast<int32_t>(at) + 1;
    const int32_t d = std::abs(position - pos);
    if (d < 3) return true;
    smallest = std::min(smallest, d);
    value.erase(0, at + 1);
    if (pos > position) pos -= position;
  }
  return smallest > 3;
}

// ---- character step ----

void TAdvEdit::SignRule(bool floating) {
  const std::string value = GetText();
  const int32_t s = SelStart();
  const int16_t precision = precision_;
  if (floating) precision_ = 0;
  if (!floating && SelLength() == static_cast<int32_t>(value.size())) {
    SetShownText(prefix_ + "-" + suffix_);
    SetSelRange(P() + 1, 0);
  } else if (value.find('-') != std::string::npos) {
    SetShownText(prefix_ + value.substr(1) + suffix_);
    SetSelRange(s > 0 && s > P() ? s - 1 : P(), 0);
  } else {
    SetShownText(prefix_ + "-" + value + suffix_);
    SetSelRange(s + 1, 0);
  }
  precision_ = precision;
  SetModified(true);
}

bool TAdvEdit::FloatRule(char32_t c, TMessage& m) {
  const std::string value = GetText();
  const bool money = editType_ == etMoney;
  const bool selection = SelLength() > 0;
  if (!money && ((c == ',' && DecimalChar() != ',' && ThousandChar() != ',') ||
                 (c == '.' && DecimalChar() != '.' && ThousandChar() != '.')))
    return false;
  const bool hasPoint = value.find(FormatSettings.DecimalSeparator) != std::string::npos;
  if (c == DecimalChar()) {
    const bool selectionHasPoint = SelText().find(FormatSettings.DecimalSeparator) != std::string::npos;
    if (!money && !selectionHasPoint && (hasPoint || precision_ == 0)) {
      if (precision_ > 0) {
        const size_t at = value.find(FormatSettings.DecimalSeparator);
        SetSelRange(at == std::string::npos ? P() : P() + static_cast<int32_t>(at) + 1, 0);
      }
      return false;
    }
    if (money && (hasPoint || precision_ == 0)) {
      if (precision_ > 0) {
        if (SelLength() == static_cast<int32_t>(value.size())) SetText("0,0");
        const size_t at = GetText().find(FormatSettings.DecimalSeparator);
        SetSelRange(at == std::string::npos ? P() : P() + static_cast<int32_t>(at) + 1, 0);
      }
      return false;
    }
  }
  if (!money && c == ',' && value.find(',') != std::string::npos && SelText().find(',') == std::string::npos &&
      ThousandChar() != ',')
    return false;
  if ((c == ThousandChar() || c == DecimalChar()) && ThousandGroupViolated()) return false;
  if (DecimalsFull() && (IsDigit(c) || c == DecimalChar()) && !selection) {
    if (IsDigit(c) && SelStart() < P() + static_cast<int32_t>(value.size())) {
      SetSelRange(SelStart(), 1);
      PassOn(m);
    }
    return false;
  }
  if (SelStart() == 0 && value.empty() && c == DecimalChar()) {
    SetShownText(prefix_ + "0" + std::string(1, FormatSettings.DecimalSeparator) + suffix_);
    SetSelRange(P() + 2, 0);
    SetModified(true);
    return false;
  }
  if (c == '-' && !selection) {
    SignRule(true);
    return false;
  }
  PassOn(m);
  if (money && !GetText().empty() && GetText() != "-" && c != DecimalChar()) {
    if (TCustomEdit::Modified()) SetModified(true);
    ApplyThousandSeparators();
  }
  return true;
}

bool TAdvEdit::TypeRule(char32_t& c, TMessage& m) {
  const bool control = c == 8 || c == 9 || c == 13;
  auto pass = [&] {
    m.WParam = c;
    PassOn(m);
  };
  switch (editType_) {
    case etString:
    case etPassword:
      SetModified(true);
      pass();
      return true;
    case etUppercase:
    case etLowerCase: {
      std::string s;
      AppendUtf8(s, c);
      s = editType_ == etUppercase ? AnsiUpperCase(s) : AnsiLowerCase(s);
      size_t at = 0;
      c = NextUtf8Char(s, at);
      pass();
      return true;
    }
    case etMixedCase: {
      const int32_t s = SelStart();
      pass();
      SetShownText(prefix_ + ToMixedCase(GetText()) + suffix_);
      SetSelRange(s + 1, 0);
      return true;
    }
    case etNumeric:
      if (!(control || c == '-' || IsDigit(c) || ControlDown())) return false;
      if (c == '-') SignRule(false);
      else pass();
      return true;
    case etFloat:
      if (!(control || c == ',' || c == '-' || c == '.' || IsDigit(c))) return false;
      return FloatRule(c, m);
    case etMoney:
      if (!(control || c == '-' || IsDigit(c) || c == DecimalChar())) return false;
      return FloatRule(c, m);
    case etRange: {
      if (!(control || c == ',' || c == '-' || IsDigit(c) || c == ';')) return false;
      SetModified(true);
      if (c < 128 && IsSeparatorOfRange(static_cast<char>(c))) {
        const std::string shown = ShownText();
        const int32_t s = SelStart();
        const char before = s > 0 ? shown[s - 1] : ' ';
        const char after = s < static_cast<int32_t>(shown.size()) ? shown[s] : ' ';
        if (s <= P() || IsSeparatorOfRange(before) || IsSeparatorOfRange(after)) return false;
      }
      pass();
      return true;
    }
    case etHex:
      if (!(control || c == '-' || IsDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'))) return false;
      SetModified(true);
      pass();
      return true;
    case etAlphaNumeric:
      if (!(control || IsDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) return false;
      SetModified(true);
      pass();
      return true;
    case etValidChars: {
      std::string s;
      AppendUtf8(s, c);
      if (validChars_.find(s) == std::string::npos) return false;
      SetModified(true);
      pass();
      return true;
    }
  }
  return false;
}

void TAdvEdit::AfterStep() {
  if (tabOnFullLength_ && lengthLimit_ > 0 && IntegerPartLength(GetText()) > lengthLimit_ && SelLength() == 0 &&
      SelStart() == lengthLimit_)
    PostMessage(Handle(), WM_KEYDOWN, VK_TAB, 0);
  if (TCustomEdit::Modified()) SetModified(true);
}

void TAdvEdit::CharStep(TMessage& m) {
  char32_t c = static_cast<char32_t>(m.WParam);
  const std::string value = GetText();
  // A character typed over the whole value replaces it in one change, which
  // is reported and validated like any other.
  if (c == 13 && ControlDown()) {
    m.Result = 1;
    return;
  }
  if (c == 13) {
    char32_t key = 13;
    if (OnKeyPress) OnKeyPress(this, key);
    return;
  }
  // With CanUndo, Escape's undo was done when the key went down.
  if (c == 27) {
    if (!canUndo_) PassOn(m);
    return;
  }
  if (ControlDown() && (c == 3 || c == 22 || c == 24)) return PassOn(m);
  if (excelStyleDecimalSeparator_ && (c == '.' || c == ',') && (m.LParam & (1 << 22))) c = DecimalChar();
  if (c == 8) return;  // handled when its key went down
  if (lengthLimit_ > 0 && IntegerPartLength(value) > lengthLimit_ && SelLength() == 0 &&
      SelStart() < DecimalSeparatorPosition() && c != 8 && c != DecimalChar() && !IsSignChar(c))
    return;
  if (c == 10 && ControlDown()) return;
  if (c == '-' && !signed_ && (editType_ == etNumeric || editType_ == etFloat || editType_ == etMoney)) return;
  TypeRule(c, m);
  AfterStep();
  UpdateLookup();
}

// ---- key-down step ----

bool TAdvEdit::KeyDownStep(TMessage& m) {
  WORD k = static_cast<WORD>(m.WParam);
  const int32_t p = P();
  const std::string value = GetText();
  const int32_t valueEnd = p + static_cast<int32_t>(value.size());
  const int32_t selEnd = SelStart() + SelLength();
  auto swallow = [&] {
    m.Result = 0;
    return true;
  };
  if (k == VK_RETURN && LookupVisible()) {
    SelectLookupItem();
    return swallow();
  }
  if ((k == VK_TAB || k == VK_RETURN) && ControlDown()) return false;
  if (LookupVisible() && NavigateLookup(k)) {
    m.Result = 1;
    return true;
  }
  if (k == VK_RETURN && returnIsTab_) {
    k = VK_TAB;
    if (IsWindowVisible(Handle())) PostMessage(Handle(), WM_KEYDOWN, VK_TAB, 0);
    return swallow();
  }
  if (k == VK_RIGHT && !suffix_.empty() && selEnd >= valueEnd) return swallow();
  if (k == VK_DELETE && !suffix_.empty() && selEnd >= valueEnd && SelLength() == 0) return swallow();
  if (k == VK_LEFT && !prefix_.empty() && selEnd <= p && !ShiftDown()) return swallow();
  if (k == VK_END && !suffix_.empty()) {
    if (ShiftDown()) SetSelLength(valueEnd - SelStart());
    else SetSelRange(valueEnd, 0);
    return swallow();
  }
  if (k == VK_HOME && !prefix_.empty()) {
    if (ShiftDown()) Perform(EM_SETSEL, valueEnd, p);
    else SetSelRange(p, 0);
    return swallow();
  }
  if (const UINT message = ClipboardMessageOfKey(k, GetShiftState())) {
    Perform(message);
    return swallow();
  }
  if (k == VK_BACK) {
    // The platform edit deletes on the key, so the character step's
    // Backspace rules run here.
    if (!prefix_.empty() && SelLength() == 0 && SelStart() <= p) return swallow();
    if (SelLength() > 0 || SelStart() > p) SetModified(true);
  }
  if (k == VK_DELETE && SelStart() >= p) {
    std::string predicted = value;
    const int32_t at = SelStart() - p;
    if (at < static_cast<int32_t>(predicted.size())) predicted.erase(at, SelLength() > 0 ? SelLength() : 1);
    if (lengthLimit_ > 0 && IntegerPartLength(predicted) - 1 > lengthLimit_) return swallow();
    SetModified(true);
  }
  PassOn(m);
  if (k == VK_DELETE && editType_ == etMoney) ApplyThousandSeparators();
  if (!prefix_.empty() && SelStart() < p) SetSelRange(p, 0);
  return true;
}

// ---- special keys and click ----

bool TAdvEdit::WantSpecialKey(TMessage& m) {
  TCustomForm* form = GetParentForm();
  if (!form) return true;
  if (m.WParam == VK_ESCAPE && canUndo_ && !form->KeyPreview()) {
    SetText(focusEntryText_);
    Font()->SetColor(focusFontColor_);
    SelectValue();
    SetModified(false);
    m.Result = 0;
    if (Parent()) {
      PostMessage(Parent()->Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
      PostMessage(Parent()->Handle(), WM_KEYUP, VK_ESCAPE, 0);
    }
    return true;
  }
  if (m.WParam == VK_RETURN && !form->KeyPreview() && Parent() && Parent()->HandleAllocated() &&
      GetFocus() == Parent()->Handle()) {
    PostMessage(Parent()->Handle(), WM_KEYDOWN, VK_RETURN, 0);
    PostMessage(Parent()->Handle(), WM_KEYUP, VK_RETURN, 0);
  }
  return false;
}

void TAdvEdit::AfterClick() {
  const int32_t p = P();
  const int32_t valueEnd = p + static_cast<int32_t>(GetText().size());
  if (!prefix_.empty() && SelStart() < p) {
    SetSelRange(p, 0);
    SelectValue();
  }
  if (!suffix_.empty() && SelStart() > valueEnd) SetSelRange(valueEnd, 0);
  if (!suffix_.empty() && SelStart() + SelLength() > valueEnd) SetSelLength(valueEnd - SelStart());
}

// ---- clipboard ----

void TAdvEdit::Copy() {
  bool allow = true;
  if (OnClipboardCopy && !cutInProgress_) OnClipboardCopy(this, SelText(), allow);
  cutInProgress_ = false;
  if (allow) CopyToClipboard();
}

void TAdvEdit::Cut() {
  bool allow = true;
  cutInProgress_ = true;
  if (OnClipboardCut) OnClipboardCut(this, SelText(), allow);
  if (allow && !ReadOnly()) CutToClipboard();
  cutInProgress_ = false;
}

void TAdvEdit::Paste() {
  if (ReadOnly()) return;
  std::string pasted;
  bool haveText = IsClipboardFormatAvailable(CF_TEXT) && OpenClipboard(Handle());
  if (haveText) {
    if (HANDLE block = GetClipboardData(CF_TEXT)) {
      // The block is read within its size, whatever it holds.
      const auto* data = static_cast<const char*>(GlobalLock(block));
      if (data) pasted.assign(data, strnlen(data, GlobalSize(block)));
      GlobalUnlock(block);
    }
    CloseClipboard();
  }
  if (haveText && !pasted.empty()) {
    // A single-line edit takes the first line.
    const size_t eol = pasted.find_first_of("\r\n");
    if (eol != std::string::npos) pasted.resize(eol);
    const std::string value = GetText();
    const int32_t p = P();
    // A caret inside the prefix (or past the value) pastes at the nearest end of the value.
    const int32_t pos = std::clamp(SelStart() - p, 0, static_cast<int32_t>(value.size()));
    const int32_t removed = std::min<int32_t>(SelLength(), static_cast<int32_t>(value.size()) - pos);
    const std::string merged = value.substr(0, pos) + pasted + value.substr(pos + removed);
    const int32_t pastedLength = static_cast<int32_t>(pasted.size());
    bool allow = true;
    if (OnClipboardPaste) OnClipboardPaste(this, merged, allow);
    if (!allow) return;
    if (MaxLength() > 0 && pastedLength + static_cast<int32_t>(value.size()) - removed > MaxLength()) return;
    const TTextClass kind = ClassifyText(merged);
    const bool signOk = signed_ || merged.find('-') == std::string::npos;
    auto allOf = [&](auto pred) { return std::all_of(merged.begin(), merged.end(), pred); };
    switch (editType_) {
      case etString:
      case etPassword: SetText(merged); break;
      case etUppercase: SetText(AnsiUpperCase(merged)); break;
      case etLowerCase: SetText(AnsiLowerCase(merged)); break;
      case etMixedCase: SetText(ToMixedCase(merged)); break;
      case etNumeric:
        if (kind == tcInteger && signOk) SetText(merged), SetModified(true);
        break;
      case etFloat:
      case etMoney:
        if ((kind == tcInteger || kind == tcFloat) &&
            (precision_ != 0 || pasted.find(FormatSettings.DecimalSeparator) == std::string::npos) && signOk) {
          SetText(merged);
          SetFloatValue(FloatValue());
          SetModified(true);
        }
        break;
      case etAlphaNumeric:
        if (allOf([](char ch) { return std::isalnum(static_cast<unsigned char>(ch)) != 0; }))
          SetText(merged), SetModified(true);
        break;
      case etValidChars:
        if (allOf([this](char ch) { return validChars_.find(ch) != std::string::npos; }))
          SetText(merged), SetModified(true);
        break;
      case etRange:
      case etHex: break;
    }
    if (editType_ == etMoney && GetText().size() > 3) SelectValue();
    else if (removed == 0) SetSelRange(p + pos + pastedLength, 0);
    else SetSelRange(p + pos, pastedLength);
    if (editType_ == etString || editType_ == etUppercase || editType_ == etMixedCase || editType_ == etLowerCase ||
        editType_ == etPassword)
      SetModified(true);
  }
  UpdateLookup();
  if (tabOnFullLength_ && lengthLimit_ > 0 && static_cast<int32_t>(GetText().size()) == lengthLimit_ && Parent())
    Parent()->SelectNext(this, true, true);
}

// ---- messages ----

void TAdvEdit::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_CHAR:
      if (!ReadOnly() || m.WParam == 13) CharStep(m);
      else PassOn(m);
      return;
    case WM_KEYDOWN: KeyDownStep(m); return;
    case CM_WANTSPECIALKEY:
      if (WantSpecialKey(m)) return;
      break;
    case WM_COPY: Copy(); return;
    case WM_CUT: Cut(); return;
    case WM_PASTE: Paste(); return;
    case WM_SETFOCUS:
      TCustomEdit::WndProc(m);
      if (!ComponentState().Contains(csLoading)) FocusArrived();
      return;
    case CM_CANCELMODE:
      TCustomEdit::WndProc(m);
      HideLookup();
      return;
    case CM_PARENTFONTCHANGED:
      TCustomEdit::WndProc(m);
      label_.FollowControlFont();
      return;
    case WM_KILLFOCUS:
      if (listWindow_ && reinterpret_cast<HWND>(m.WParam) != (listWindow_->HandleAllocated() ? listWindow_->ListControl()->Handle() : nullptr))
        HideLookup();
      if (!ComponentState().Contains(csLoading)) FocusLeaving();
      TCustomEdit::WndProc(m);
      return;
    case WM_DESTROY:
      if (!ComponentState().Contains(csDesigning)) SavePersistence();
      break;
    case WM_LBUTTONDOWN:
      if (DragMouseDown(m)) return;
      break;
    case WM_MOUSEMOVE:
      TCustomEdit::WndProc(m);
      DragMouseMove();
      return;
    case WM_LBUTTONUP: {
      const bool armed = DragMouseUp(m);
      TCustomEdit::WndProc(m);
      if (!armed) LinkClick();
      AfterClick();
      return;
    }
    case CN_CTLCOLOREDIT:
    case CN_CTLCOLORSTATIC:
      if (!transparent_) break;
      // The parent's background is already there: no fill, text drawn over it.
      PassOn(m);
      SetBkMode(reinterpret_cast<HDC>(m.WParam), TRANSPARENT);
      m.Result = 0;
      return;
    case CM_ENABLEDCHANGED: EnabledChanged(); break;
    case CM_MOUSEENTER:
      TCustomEdit::WndProc(m);
      MouseEntered();
      return;
    case CM_MOUSELEAVE:
      TCustomEdit::WndProc(m);
      MouseLeft();
      return;
    case CM_HINTSHOW:
      ShowLargeTextHint(reinterpret_cast<THintInfo*>(m.LParam));
      break;
    case CM_SHOWINGCHANGED: label_.FollowVisible(); break;
    default: break;
  }
  TCustomEdit::WndProc(m);
}
