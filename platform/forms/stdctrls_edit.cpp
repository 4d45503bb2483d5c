// TCustomEdit: a single-line edit with selection, caret, clipboard and one
// level of undo, and the edit messages (EM_*, WM_CUT/COPY/PASTE/UNDO/CLEAR).
//
// Sections: text | properties | selection and editing | clipboard and undo |
// messages | keyboard and mouse | painting and caret
#include <algorithm>
#include <cstring>

#include "platform/forms/clipbrd.h"
#include "platform/forms/stdctrls.h"
#include "platform/rtl/encoding.h"
#include "platform/rtl/sysutils.h"

// ---- text ----

namespace {

std::u32string ToUtf32(const std::string& s) {
  std::u32string out;
  size_t pos = 0;
  while (pos < s.size()) out += NextUtf8Char(s, pos);
  return out;
}

std::string ToUtf8(const std::u32string& s) {
  std::string out;
  for (char32_t c : s) AppendUtf8(out, c);
  return out;
}

bool IsWordChar(char32_t c) {
  return c == '_' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c >= 0x80;
}

constexpr int kMargin = 2;

}  // namespace

static const TEnumNames kEditAlignmentNames{"taLeftJustify", "taRightJustify", "taCenter"};
static const TEnumNames kEditBorderNames{"bsNone", "bsSingle"};
static const TEnumNames kCharCaseNames{"ecNormal", "ecUpperCase", "ecLowerCase"};

const TClassInfo& TCustomEdit::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<TCustomEdit>("TCustomEdit", &TWinControl::StaticClassInfo(), [](TPublished<TCustomEdit>& p) {
        p.Enumeration("Alignment", kEditAlignmentNames, &TCustomEdit::Alignment, &TCustomEdit::SetAlignment)
            .Boolean("AutoSelect", &TCustomEdit::AutoSelect, &TCustomEdit::SetAutoSelect)
            .Enumeration("BorderStyle", kEditBorderNames, &TCustomEdit::BorderStyle, &TCustomEdit::SetBorderStyle)
            .Enumeration("CharCase", kCharCaseNames, &TCustomEdit::CharCase, &TCustomEdit::SetCharCase)
            .Integer("MaxLength", &TCustomEdit::MaxLength, &TCustomEdit::SetMaxLength)
            .Boolean("OEMConvert", &TCustomEdit::OEMConvert, &TCustomEdit::SetOEMConvert)
            .Integer("PasswordChar", &TCustomEdit::PasswordChar, &TCustomEdit::SetPasswordChar)
            .Boolean("ReadOnly", &TCustomEdit::ReadOnly, &TCustomEdit::SetReadOnly)
            .Event("OnChange", &TCustomEdit::OnChange);
      });
  return info;
}
const TClassInfo& TEdit::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TEdit>("TEdit", &TCustomEdit::StaticClassInfo());
  return info;
}
const TClassInfo& TCustomMaskEdit::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TCustomMaskEdit>(
      "TCustomMaskEdit", &TCustomEdit::StaticClassInfo(), [](TPublished<TCustomMaskEdit>& p) {
        p.String("EditMask", &TCustomMaskEdit::EditMask, &TCustomMaskEdit::SetEditMask);
      });
  return info;
}
const TClassInfo& TMaskEdit::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TMaskEdit>("TMaskEdit", &TCustomMaskEdit::StaticClassInfo());
  return info;
}

TCustomEdit::TCustomEdit(TComponent* owner) : TWinControl(owner) {
  SetTabStop(true);
  SetFocusOnClick(true);
  SetColor(clWindow);
  SetCursor(crIBeam);
  SetControlStyle(ControlStyle() - csSetCaption);
  SetBounds(0, 0, 121, 21);
}

TCustomEdit::~TCustomEdit() {
  if (caretShown_) DestroyCaret();
}

std::string TCustomEdit::GetText() const { return ToUtf8(text32_); }

void TCustomEdit::SetText(const std::string& text) {
  std::u32string t = ToUtf32(text);
  if (t == text32_) return;
  text32_ = std::move(t);
  anchor_ = caret_ = 0;
  scroll_ = 0;
  hasUndo_ = false;
  UpdateCaret();  // a caret shown goes back to the start with the text
  if (HandleAllocated()) SetWindowText(Handle(), text);
  Perform(CM_TEXTCHANGED);
  Change();
}

void TCustomEdit::Change() {
  Perform(CN_COMMAND, MAKEWPARAM(0, EN_CHANGE), 0);
}

// ---- properties ----

void TCustomEdit::SetPasswordChar(char32_t c) {
  passwordChar_ = c;
  Invalidate();
}
void TCustomEdit::SetBorderStyle(TBorderStyle s) {
  borderStyle_ = s;
  Invalidate();
}
void TCustomEdit::SetAlignment(TAlignment a) {
  alignment_ = a;
  Invalidate();
}
void TCustomEdit::SetCharCase(TEditCharCase c) {
  charCase_ = c;
  if (c != ecNormal) SetText(c == ecUpperCase ? AnsiUpperCase(GetText()) : AnsiLowerCase(GetText()));
}

std::u32string TCustomEdit::Shown() const {
  return passwordChar_ ? std::u32string(text32_.size(), passwordChar_) : text32_;
}

RECT TCustomEdit::FormattingRect() const {
  if (formatRectSet_) return formatRect_;
  RECT r = ClientRect();
  const int border = borderStyle_ == bsSingle ? 2 : 0;
  InflateRect(&r, -(border + kMargin), -border);
  return r;
}

// ---- selection and editing ----

int32_t TCustomEdit::SelStart() const { return std::min(anchor_, caret_); }
int32_t TCustomEdit::SelLength() const { return std::abs(caret_ - anchor_); }

void TCustomEdit::SetSel(int32_t anchor, int32_t caret) {
  const int32_t n = static_cast<int32_t>(text32_.size());
  anchor_ = std::clamp(anchor, 0, n);
  caret_ = std::clamp(caret, 0, n);
  ScrollToCaret();
  Invalidate();
  UpdateCaret();
}

void TCustomEdit::SetSelStart(int32_t start) { SetSel(start, start); }
void TCustomEdit::SetSelLength(int32_t length) { SetSel(SelStart(), SelStart() + length); }
void TCustomEdit::SelectAll() { SetSel(0, static_cast<int32_t>(text32_.size())); }

std::string TCustomEdit::SelText() const { return ToUtf8(text32_.substr(SelStart(), SelLength())); }

void TCustomEdit::Replace(int32_t from, int32_t to, const std::u32string& text, bool undoable) {
  std::u32string insert = text;
  if (charCase_ != ecNormal) {
    const std::string cased = charCase_ == ecUpperCase ? AnsiUpperCase(ToUtf8(insert)) : AnsiLowerCase(ToUtf8(insert));
    insert = ToUtf32(cased);
  }
  if (maxLength_ > 0) {
    const int64_t room = int64_t{maxLength_} - (static_cast<int64_t>(text32_.size()) - (to - from));
    if (room < static_cast<int64_t>(insert.size())) insert.resize(static_cast<size_t>(std::max<int64_t>(room, 0)));
  }
  if (from == to && insert.empty()) return;
  if (undoable) {
    undoText_ = text32_;
    undoCaret_ = caret_;
    hasUndo_ = true;
  }
  text32_.replace(from, to - from, insert);
  modified_ = true;
  const int32_t caret = from + static_cast<int32_t>(insert.size());
  anchor_ = caret_ = caret;
  if (HandleAllocated()) SetWindowText(Handle(), GetText());
  ScrollToCaret();
  Invalidate();
  UpdateCaret();
  Change();
}

void TCustomEdit::SetSelText(const std::string& text) { Replace(SelStart(), SelStart() + SelLength(), ToUtf32(text), true); }

void TCustomEdit::ClearSelection() {
  if (SelLength() > 0) Replace(SelStart(), SelStart() + SelLength(), U"", true);
}

void TCustomEdit::MoveCaret(int32_t caret, bool extend) { SetSel(extend ? anchor_ : caret, caret); }

int32_t TCustomEdit::WordStart(int32_t from, int dir) const {
  const int32_t n = static_cast<int32_t>(text32_.size());
  int32_t i = from;
  if (dir < 0) {
    while (i > 0 && !IsWordChar(text32_[i - 1])) --i;
    while (i > 0 && IsWordChar(text32_[i - 1])) --i;
  } else {
    while (i < n && IsWordChar(text32_[i])) ++i;
    while (i < n && !IsWordChar(text32_[i])) ++i;
  }
  return i;
}

// ---- clipboard and undo ----

void TCustomEdit::CopyToClipboard() {
  if (SelLength() == 0 || passwordChar_) return;
  try {
    Clipboard()->SetAsText(SelText());
  } catch (const EClipboardException&) {
    // another window holds the clipboard: nothing is copied
  }
}

void TCustomEdit::CutToClipboard() {
  if (readOnly_) return;
  CopyToClipboard();
  if (!passwordChar_) ClearSelection();
}

void TCustomEdit::PasteFromClipboard() {
  if (readOnly_) return;
  std::string text = Clipboard()->AsText();
  // A single-line edit keeps the first line.
  const size_t eol = text.find_first_of("\r\n");
  if (eol != std::string::npos) text.resize(eol);
  if (!text.empty()) SetSelText(text);
}

void TCustomEdit::Undo() {
  if (!hasUndo_ || readOnly_) return;
  std::swap(text32_, undoText_);
  const int32_t caret = undoCaret_;
  undoCaret_ = caret_;
  anchor_ = caret_ = std::min<int32_t>(caret, static_cast<int32_t>(text32_.size()));
  if (HandleAllocated()) SetWindowText(Handle(), GetText());
  ScrollToCaret();
  Invalidate();
  UpdateCaret();
  Change();
}

// ---- messages ----

void TCustomEdit::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_GETDLGCODE: m.Result = DLGC_WANTCHARS | DLGC_WANTARROWS | DLGC_HASSETSEL; return;
    case CN_COMMAND:
      if (HIWORD(m.WParam) == EN_CHANGE && OnChange) OnChange(this);
      return;
    case EM_SETSEL: {
      const auto start = static_cast<int32_t>(m.WParam), end = static_cast<int32_t>(m.LParam);
      if (start < 0) SetSel(caret_, caret_);
      else SetSel(start, end < 0 ? static_cast<int32_t>(text32_.size()) : end);
      return;
    }
    case EM_GETRECT:
      if (m.LParam) *reinterpret_cast<RECT*>(m.LParam) = FormattingRect();
      return;
    case EM_SETRECTNP:
      if (m.LParam) {
        formatRect_ = *reinterpret_cast<const RECT*>(m.LParam);
        formatRectSet_ = true;
      } else {
        formatRectSet_ = false;
      }
      Invalidate();
      return;
    case EM_CHARFROMPOS: m.Result = CharFromX(GET_X_LPARAM(m.LParam)); return;
    case EM_POSFROMCHAR: {
      const auto index = static_cast<int32_t>(m.WParam);
      if (index < 0 || index > static_cast<int32_t>(text32_.size())) {
        m.Result = -1;
        return;
      }
      m.Result = MAKELONG(static_cast<WORD>(XFromChar(index)), static_cast<WORD>(FormattingRect().top));
      return;
    }
    case WM_CUT: CutToClipboard(); return;
    case WM_COPY: CopyToClipboard(); return;
    case WM_PASTE: PasteFromClipboard(); return;
    case WM_UNDO: Undo(); m.Result = 1; return;
    case WM_CLEAR: ClearSelection(); return;
    case WM_SETFOCUS:
      TWinControl::WndProc(m);
      CreateCaret(Handle(), nullptr, 1, std::max<int>(FormattingRect().bottom - FormattingRect().top - 2, 8));
      caretShown_ = true;
      UpdateCaret();
      ShowCaret(Handle());
      Invalidate();
      return;
    case WM_KILLFOCUS:
      if (caretShown_) {
        HideCaret(Handle());
        DestroyCaret();
        caretShown_ = false;
      }
      Invalidate();
      break;
    case WM_LBUTTONUP:
      selecting_ = false;
      break;
    default: break;
  }
  TWinControl::WndProc(m);
}

// ---- keyboard and mouse ----

void TCustomEdit::KeyDown(WORD& key, TShiftState shift) {
  TWinControl::KeyDown(key, shift);
  if (key == 0) return;
  const bool ctrl = shift.Contains(ssCtrl), extend = shift.Contains(ssShift);
  const int32_t n = static_cast<int32_t>(text32_.size());
  switch (key) {
    case VK_LEFT:
      if (!extend && SelLength() > 0) MoveCaret(SelStart(), false);
      else MoveCaret(ctrl ? WordStart(caret_, -1) : caret_ - 1, extend);
      break;
    case VK_RIGHT:
      if (!extend && SelLength() > 0) MoveCaret(SelStart() + SelLength(), false);
      else MoveCaret(ctrl ? WordStart(caret_, 1) : caret_ + 1, extend);
      break;
    case VK_HOME: MoveCaret(0, extend); break;
    case VK_END: MoveCaret(n, extend); break;
    case VK_BACK:
      if (readOnly_) break;
      if (SelLength() > 0) ClearSelection();
      else if (caret_ > 0) Replace(ctrl ? WordStart(caret_, -1) : caret_ - 1, caret_, U"", true);
      break;
    case VK_DELETE:
      if (extend) CutToClipboard();
      else if (readOnly_) break;
      else if (SelLength() > 0) ClearSelection();
      else if (caret_ < n) Replace(caret_, ctrl ? WordStart(caret_, 1) : caret_ + 1, U"", true);
      break;
    case VK_INSERT:
      if (ctrl) CopyToClipboard();
      else if (extend) PasteFromClipboard();
      break;
    default:
      if (ctrl && !shift.Contains(ssAlt)) {
        switch (key) {
          case 'A': SelectAll(); break;
          case 'C': CopyToClipboard(); break;
          case 'X': CutToClipboard(); break;
          case 'V': PasteFromClipboard(); break;
          case 'Z': Undo(); break;
          default: return;
        }
        break;
      }
      return;
  }
  key = 0;
}

void TCustomEdit::KeyPress(char32_t& key) {
  TWinControl::KeyPress(key);
  if (key == 0) return;
  if (key < 0x20 || key == 0x7F) {  // control characters are keys, not text
    if (key != U'\r' && key != U'\x1b' && key != U'\t') key = 0;
    return;
  }
  if (readOnly_) {
    MessageBeep(0);
  } else {
    Replace(SelStart(), SelStart() + SelLength(), std::u32string(1, key), true);
  }
  key = 0;
}

void TCustomEdit::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TWinControl::MouseDown(button, shift, x, y);
  if (button != mbLeft || shift.Contains(ssDouble)) return;
  MoveCaret(CharFromX(x), shift.Contains(ssShift));
  selecting_ = true;
}

void TCustomEdit::MouseMove(TShiftState shift, int x, int y) {
  TWinControl::MouseMove(shift, x, y);
  if (selecting_ && shift.Contains(ssLeft)) MoveCaret(CharFromX(x), true);
}

void TCustomEdit::DblClick() {
  TWinControl::DblClick();
  SetSel(WordStart(std::min<int32_t>(caret_ + 1, static_cast<int32_t>(text32_.size())), -1), WordStart(caret_, 1));
  selecting_ = false;
}

void TCustomEdit::DoEnter() {
  if (autoSelect_ && !ControlState().Contains(csLButtonDown)) SelectAll();
  TWinControl::DoEnter();
}

void TCustomEdit::DoExit() { TWinControl::DoExit(); }

// ---- painting and caret ----

HFONT TCustomEdit::SelectFont(HDC dc) { return static_cast<HFONT>(SelectObject(dc, Font()->Handle())); }

int TCustomEdit::XFromChar(int32_t index) {
  const RECT r = FormattingRect();
  HDC dc = CreateCompatibleDC(nullptr);
  HFONT old = SelectFont(dc);
  const std::u32string shown = Shown();
  SIZE prefix{}, whole{};
  GetTextExtentPoint32(dc, ToUtf8(shown.substr(0, index)), &prefix);
  GetTextExtentPoint32(dc, ToUtf8(shown), &whole);
  SelectObject(dc, old);
  DeleteDC(dc);
  int start = r.left - scroll_;
  if (alignment_ == taRightJustify) start = r.right - whole.cx;
  else if (alignment_ == taCenter) start = r.left + (r.right - r.left - whole.cx) / 2;
  return start + prefix.cx;
}

int32_t TCustomEdit::CharFromX(int x) {
  // Positions grow with the index: find the first whose x is not left of the
  // point, then take the nearer of it and the one before.
  int32_t lo = 0, hi = static_cast<int32_t>(text32_.size());
  while (lo < hi) {
    const int32_t mid = lo + (hi - lo) / 2;
    if (XFromChar(mid) < x) lo = mid + 1;
    else hi = mid;
  }
  if (lo > 0 && std::abs(XFromChar(lo - 1) - x) <= std::abs(XFromChar(lo) - x)) return lo - 1;
  return lo;
}

void TCustomEdit::ScrollToCaret() {
  if (alignment_ != taLeftJustify) {
    scroll_ = 0;
    return;
  }
  const RECT r = FormattingRect();
  const int x = XFromChar(caret_);
  if (x < r.left) scroll_ -= r.left - x;
  else if (x >= r.right) scroll_ += x - r.right + 1;
  scroll_ = std::max(scroll_, 0);
}

void TCustomEdit::UpdateCaret() {
  if (caretShown_) SetCaretPos(XFromChar(caret_), FormattingRect().top + 1);
}

void TCustomEdit::PaintWindow(HDC dc) {
  RECT r = ClientRect();
  // A read-only or disabled edit is coloured as static text, as the system's edit is.
  const UINT colorMessage = readOnly_ || !Enabled() ? CN_CTLCOLORSTATIC : CN_CTLCOLOREDIT;
  auto brush = reinterpret_cast<HBRUSH>(Perform(colorMessage, reinterpret_cast<WPARAM>(dc),
                                                reinterpret_cast<LPARAM>(Handle())));
  if (!Enabled()) SetTextColor(dc, ColorToRGB(clGrayText));
  if (brush) FillRect(dc, &r, brush);
  if (borderStyle_ == bsSingle) DrawEdge(dc, &r, Ctl3D() ? EDGE_SUNKEN : BDR_SUNKENOUTER, BF_RECT);
  const RECT text = FormattingRect();
  const int saved = SaveDC(dc);
  IntersectClipRect(dc, text.left, text.top, text.right, text.bottom);
  HFONT old = SelectFont(dc);
  TEXTMETRIC tm;
  GetTextMetrics(dc, &tm);
  const int y = text.top + (text.bottom - text.top - tm.tmHeight) / 2;
  const std::u32string shown = Shown();
  const int x0 = XFromChar(0);
  ExtTextOut(dc, x0, y, 0, nullptr, ToUtf8(shown), nullptr);
  if (SelLength() > 0 && Focused()) {
    const int xs = XFromChar(SelStart()), xe = XFromChar(SelStart() + SelLength());
    RECT sel{xs, y, xe, y + tm.tmHeight};
    SetTextColor(dc, ColorToRGB(clHighlightText));
    SetBkColor(dc, ColorToRGB(clHighlight));
    ExtTextOut(dc, xs, y, ETO_OPAQUE | ETO_CLIPPED, &sel, ToUtf8(shown.substr(SelStart(), SelLength())), nullptr);
  }
  SelectObject(dc, old);
  RestoreDC(dc, saved);
}
