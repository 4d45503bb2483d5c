// The enhanced edit: a one-line edit with typed input. The shown text is
// always Prefix + value + Suffix; EditType decides what may be typed and how
// the value reads as a number; there are focus, error and link looks, an
// attached label, a stored text and history, and drag and drop of text.
//
// Sections: types | settings objects | TAdvEdit
// Units: advedit.cpp (value model, focus), advedit_keys.cpp (typing, caret
// keys, clipboard), advedit_look.cpp (looks, label, link), advedit_store.cpp
// (history and persistence), adveddd.h (drag and drop).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/forms/forms.h"
#include "platform/forms/stdctrls.h"
#include "platform/rtl/stringlist.h"
#include "ui/controls/editlabel.h"
#include "ui/controls/setproperty.h"

// ---- types ----

enum TAdvEditType {
  etString, etNumeric, etFloat, etUppercase, etMixedCase, etLowerCase, etPassword, etMoney, etRange, etHex,
  etAlphaNumeric, etValidChars
};
enum TPrecisionDisplay { pdNormal, pdShortest };
// The alignments live in the unit's namespace: the spin edit has its own of
// the same names.
namespace AdvEdit {
enum TEditAlign { eaLeft, eaRight, eaDefault, eaCenter };
}  // namespace AdvEdit
using TAdvEditAlign = AdvEdit::TEditAlign;
enum TPersistenceLocation { plInifile, plRegistry };
// What a value string reads as.
enum TTextClass { tcInvalid, tcInteger, tcFloat, tcHex };

using TValueValidateEvent = std::function<void(TObject* sender, const std::string& value, bool& isValid)>;
using TClipboardEvent = std::function<void(TObject* sender, const std::string& value, bool& allow)>;
using TLookupSelectEvent = std::function<void(TObject* sender, std::string& value)>;

// The number classification of a value (separators of the locale).
TTextClass ClassifyText(const std::string& s);
// A value without thousand separators as a number; 0 when it is none.
double ValueToFloat(const std::string& s);
// Hexadecimal digits from the right; other characters count 0.
int32_t HexToInt(const std::string& s);
// Words re-cased as names: "john mcdonald" -> "John McDonald".
std::string ToMixedCase(const std::string& s);
// The address a link value may open: http, https and mailto only (a
// "www." value as http, an address with "@" as mailto); "" for anything
// else, so that a link never runs a program.
std::string SafeLinkTarget(const std::string& value);
// Opens a link through the desktop's opener; false when it is refused.
bool OpenLink(const std::string& value);

// ---- settings objects ----

class TLookupSettings : public TPersistent {
  FORMS_CLASS(TLookupSettings)

public:
  TLookupSettings();
  void Assign(const TPersistent* source) override;
  TStringList* DisplayList() const { return displayList_.get(); }
  TStringList* ValueList() const { return valueList_.get(); }
  int32_t DisplayCount() const { return displayCount_; }
  void SetDisplayCount(int32_t n) { displayCount_ = n; }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool v) { enabled_ = v; }
  int32_t NumChars() const { return numChars_; }
  void SetNumChars(int32_t n) {
    if (n > 0) numChars_ = n;
  }
  bool CaseSensitive() const { return caseSensitive_; }
  void SetCaseSensitive(bool v) { caseSensitive_ = v; }
  bool History() const { return history_; }
  void SetHistory(bool v) { history_ = v; }
  // The edit holds several entries separated by Separator; the list offers
  // matches for the one being typed after the last separator.
  bool Multi() const { return multi_; }
  void SetMulti(bool v) { multi_ = v; }
  char Separator() const { return separator_; }
  void SetSeparator(char c) { separator_ = c; }

private:
  std::unique_ptr<TStringList> displayList_, valueList_;
  int32_t displayCount_ = 4;
  bool enabled_ = false;
  int32_t numChars_ = 2;
  bool caseSensitive_ = false;
  bool history_ = false;
  bool multi_ = false;
  char separator_ = ';';
};

class TPersistence : public TPersistent {
  FORMS_CLASS(TPersistence)

public:
  bool Enable() const { return enable_; }
  void SetEnable(bool v) { enable_ = v; }
  const std::string& Key() const { return key_; }
  void SetKey(const std::string& k) { key_ = k; }
  const std::string& Section() const { return section_; }
  void SetSection(const std::string& s) { section_ = s; }
  TPersistenceLocation Location() const { return location_; }
  void SetLocation(TPersistenceLocation l) { location_ = l; }

private:
  bool enable_ = false;
  std::string key_, section_;
  TPersistenceLocation location_ = plInifile;
};

// ---- TAdvEdit ----

class TEditDropTarget;

// The drop-down list of the lookup: a hint window holding a list box.
class TListHintWindow : public THintWindow {
  FORMS_CLASS(TListHintWindow)

public:
  explicit TListHintWindow(TComponent* owner);
  TListBox* ListControl() const { return list_; }

private:
  TListBox* list_;
};

class TAdvEdit : public TCustomEdit {
  FORMS_CLASS(TAdvEdit)

public:
  explicit TAdvEdit(TComponent* owner);
  ~TAdvEdit() override;
  void WndProc(TMessage& message) override;
  void Loaded() override;
  void SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) override;
  void SetParent(TWinControl* parent) override;

  virtual uint32_t GetVersionNumber() const { return 34080000; }
  std::string Version() const;
  void SetVersion(const std::string&) {}
  virtual bool ValidateValue(const std::string& value);
  virtual void DoValueValidate(const std::string& value, bool& isValid);
  virtual bool IsURL() const;
  virtual void LoadPersistence();
  virtual void SavePersistence();

  // The value: the shown text without prefix and suffix.
  std::string GetText() const override;
  void SetText(const std::string& value) override;
  // The shown text, prefix and suffix included.
  std::string ShownText() const { return TCustomEdit::GetText(); }
  double FloatValue() const;
  void SetFloatValue(double x);
  void SetIntValue(int32_t n);
  bool Modified() const { return modified_; }
  void SetModified(bool b);
  void SelectValue();

  TAdvEditType EditType() const { return editType_; }
  void SetEditType(TAdvEditType type);
  int16_t Precision() const { return precision_; }
  void SetPrecision(int16_t p);
  TPrecisionDisplay PrecisionDisplay() const { return precisionDisplay_; }
  void SetPrecisionDisplay(TPrecisionDisplay d);
  const std::string& Prefix() const { return prefix_; }
  void SetPrefix(const std::string& p);
  const std::string& Suffix() const { return suffix_; }
  void SetSuffix(const std::string& s);
  bool Signed() const { return signed_; }
  void SetSigned(bool v) { signed_ = v; }
  bool AllowNumericNullValue() const { return allowNumericNullValue_; }
  void SetAllowNumericNullValue(bool v) { allowNumericNullValue_ = v; }
  bool AutoThousandSeparator() const { return autoThousandSeparator_; }
  void SetAutoThousandSeparator(bool v);
  bool ExcelStyleDecimalSeparator() const { return excelStyleDecimalSeparator_; }
  void SetExcelStyleDecimalSeparator(bool v) { excelStyleDecimalSeparator_ = v; }
  int16_t LengthLimit() const { return lengthLimit_; }
  void SetLengthLimit(int16_t n) { lengthLimit_ = n; }
  bool TabOnFullLength() const { return tabOnFullLength_; }
  void SetTabOnFullLength(bool v) { tabOnFullLength_ = v; }
  const std::string& ValidChars() const { return validChars_; }
  void SetValidChars(const std::string& s) { validChars_ = s; }
  bool CanUndo() const { return canUndo_; }
  void SetCanUndo(bool v);
  bool ReturnIsTab() const { return returnIsTab_; }
  void SetReturnIsTab(bool v) { returnIsTab_ = v; }

  // Looks (advedit_look.cpp).
  TColor FocusColor() const { return focusColor_; }
  void SetFocusColor(TColor c) { focusColor_ = c; }
  TColor FocusFontColor() const { return focusFontColor_; }
  void SetFocusFontColor(TColor c) { focusFontColor_ = c; }
  TColor ErrorColor() const { return errorColor_; }
  void SetErrorColor(TColor c) { errorColor_ = c; }
  TColor ErrorFontColor() const { return errorFontColor_; }
  void SetErrorFontColor(TColor c) { errorFontColor_ = c; }
  bool ShowError() const { return showError_; }
  void SetShowError(bool v) { showError_ = v; }
  bool Error() const { return error_; }
  void SetError(bool v);
  bool ShowModified() const { return showModified_; }
  void SetShowModified(bool v) { showModified_ = v; }
  TColor ModifiedColor() const { return modifiedColor_; }
  void SetModifiedColor(TColor c) { modifiedColor_ = c; }
  bool ShowURL() const { return showURL_; }
  void SetShowURL(bool v);
  TColor URLColor() const { return urlColor_; }
  void SetURLColor(TColor c) { urlColor_ = c; }
  bool FocusLabel() const { return focusLabel_; }
  void SetFocusLabel(bool v) { focusLabel_ = v; }
  TColor FocusBorderColor() const { return focusBorderColor_; }
  void SetFocusBorderColor(TColor c) { focusBorderColor_ = c; }
  const std::string& EmptyText() const { return emptyText_; }
  void SetEmptyText(const std::string& s);
  TEditLabel& EditLabel() { return label_; }
  std::string LabelCaption() const { return label_.Caption(); }
  void SetLabelCaption(const std::string& caption) { label_.SetCaption(caption); }
  TLabelPosition LabelPosition() const { return label_.Position(); }
  void SetLabelPosition(TLabelPosition p) { label_.SetPosition(p); }
  int32_t LabelMargin() const { return label_.Margin(); }
  void SetLabelMargin(int32_t m) { label_.SetMargin(m); }
  TColor NormalColor() const { return normalColor_; }
  // The colour is also the one the edit returns to when the focus, error
  // and disabled looks end.
  void SetColor(TColor c);
  // The flat look: no border, a line under the text (a frame around it
  // with SoftBorder), the parent's colour with FlatParentColor.
  bool Flat() const { return flat_; }
  void SetFlat(bool v);
  TColor FlatLineColor() const { return flatLineColor_; }
  void SetFlatLineColor(TColor c);
  bool FlatParentColor() const { return flatParentColor_; }
  void SetFlatParentColor(bool v);
  bool SoftBorder() const { return softBorder_; }
  void SetSoftBorder(bool v);
  // The parent's background shows through the edit.
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool v);
  // A red zigzag under ErrorMarkerLen characters from ErrorMarkerPos while unfocused.
  int32_t ErrorMarkerPos() const { return errorMarkerPos_; }
  void SetErrorMarkerPos(int32_t p);
  int32_t ErrorMarkerLen() const { return errorMarkerLen_; }
  void SetErrorMarkerLen(int32_t n);
  TNotifyEvent OnLabelClick;
  TNotifyEvent OnLabelDblClick;
  // Text alignment, and the alignment while focused (eaDefault: unchanged).
  TAdvEditAlign EditAlign() const { return editAlign_; }
  void SetEditAlign(TAdvEditAlign a);
  TAdvEditAlign FocusAlign() const { return focusAlign_; }
  void SetFocusAlign(TAdvEditAlign a) { focusAlign_ = a; }
  // Pixels the edit grows while focused.
  int32_t FocusWidthInc() const { return focusWidthInc_; }
  void SetFocusWidthInc(int32_t n) { focusWidthInc_ = n; }
  bool LabelTransparent() const { return label_.Transparent(); }
  void SetLabelTransparent(bool v) { label_.SetTransparent(v); }
  bool LabelAlwaysEnabled() const { return label_.AlwaysEnabled(); }
  void SetLabelAlwaysEnabled(bool v) { label_.SetAlwaysEnabled(v); }
  TFont* LabelFont() const { return label_.Font(); }
  // Background while disabled.
  TColor DisabledColor() const { return disabledColor_; }
  void SetDisabledColor(TColor c);
  // Office style: the border shows only under the mouse or with the focus.
  bool FocusBorder() const { return focusBorder_; }
  void SetFocusBorder(bool v);
  // A silver frame while disabled.
  bool DisabledBorder() const { return disabledBorder_; }
  void SetDisabledBorder(bool v) { SetAndInvalidate(this, disabledBorder_, v); }
  // The edit takes the focus when the mouse enters it.
  bool AutoFocus() const { return autoFocus_; }
  void SetAutoFocus(bool v) { autoFocus_ = v; }
  bool MouseInside() const { return mouseInside_; }
  // The hint shows a value too wide for the edit.
  bool HintShowLargeText() const { return hintShowLargeText_; }
  void SetHintShowLargeText(bool v) { hintShowLargeText_ = v; }
  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;
  // A click on a link value; clearing `show` keeps it from being opened.
  std::function<void(TObject* sender, const std::string& url, bool& show)> OnURLClick;

  // Lookup and persistence (advedit_store.cpp).
  TLookupSettings* Lookup() const { return lookup_.get(); }
  // Refills the lookup list for the value and shows or hides it.
  void UpdateLookup();
  // Takes the list's selected entry into the edit.
  void SelectLookupItem();
  // The lookup list's window while it exists (null before the first lookup).
  TListHintWindow* LookupWindow() const { return listWindow_; }
  bool LookupVisible() const { return listWindow_ && listWindow_->Visible(); }
  TPersistence* Persistence() const { return persistence_.get(); }

  // Drag and drop (adveddd.cpp).
  bool OleDropTarget() const { return oleDropTarget_; }
  void SetOleDropTarget(bool v);
  bool OleDropSource() const { return oleDropSource_; }
  void SetOleDropSource(bool v) { oleDropSource_ = v; }
  bool DraggingOut() const { return draggingOut_; }
  POINT DropCaret() const { return dropCaret_; }
  // The drop target's work: moves the drop caret under a screen point.
  void MoveDropCaret(POINT screen);
  void RemoveDropCaret();
  // Inserts dropped text at a screen point (its first line only).
  void DropTextAt(POINT screen, const std::string& text);

  TValueValidateEvent OnValueValidate;
  TClipboardEvent OnClipboardCopy;
  TClipboardEvent OnClipboardCut;
  TClipboardEvent OnClipboardPaste;
  TLookupSelectEvent OnLookupSelect;
  std::function<void(TObject* sender, int32_t index, std::string& value)> OnLookupIndexSelect;

protected:
  void Change() override;
  void CreateWnd() override;
  void PaintWindow(HDC dc) override;

private:
  // Value model (advedit.cpp).
  int32_t P() const { return static_cast<int32_t>(prefix_.size()); }
  void SetShownText(const std::string& shown);
  void SetShownQuiet(const std::string& shown);
  std::string FixedForm(double v) const;
  std::string GroupedForm(double v) const;
  void ApplyThousandSeparators();
  void FocusArrived();
  void FocusLeaving();
  void SetSelRange(int32_t start, int32_t length);
  // Typing (advedit_keys.cpp).
  void CharStep(TMessage& m);
  bool TypeRule(char32_t& c, TMessage& m);
  bool FloatRule(char32_t c, TMessage& m);
  void SignRule(bool floating);
  void AfterStep();
  bool KeyDownStep(TMessage& m);
  bool WantSpecialKey(TMessage& m);
  void AfterClick();
  void Copy();
  void Cut();
  void Paste();
  int32_t IntegerPartLength(const std::string& value) const;
  int32_t DecimalSeparatorPosition() const;
  bool IsSignChar(char32_t c) const;
  bool DecimalsFull() const;
  bool ThousandGroupViolated() const;
  void PassOn(TMessage& m) { TCustomEdit::WndProc(m); }
  // Looks (advedit_look.cpp).
  void ApplyFontColor();
  void LinkClick();
  // Keeps the text clear of the flat line (only while flat).
  void UpdateTextRect();
  void DrawFlatLine(HDC dc);
  void DrawErrorMarker(HDC dc);
  void DrawBorder(HDC dc);
  void MouseEntered();
  void MouseLeft();
  void EnabledChanged();
  void ShowLargeTextHint(THintInfo* info);
  // The client position of a character of the shown text.
  POINT CharPos(int32_t index);
  // Lookup history (advedit_store.cpp).
  void AddToHistory();
  void HideLookup();
  // Home, End, page and arrow keys move the list's selection.
  bool NavigateLookup(WORD key);
  // Drag and drop (adveddd.cpp).
  bool DragMouseDown(TMessage& m);
  void DragMouseMove();
  bool DragMouseUp(const TMessage& m);
  int32_t CharAt(POINT client);

  TAdvEditType editType_ = etString;
  int16_t precision_ = 0;
  TPrecisionDisplay precisionDisplay_ = pdNormal;
  std::string prefix_, suffix_;
  bool signed_ = false;
  bool allowNumericNullValue_ = false;
  bool autoThousandSeparator_ = true;
  bool excelStyleDecimalSeparator_ = false;
  int16_t lengthLimit_ = 0;
  bool tabOnFullLength_ = false;
  std::string validChars_;
  bool canUndo_ = true;
  bool returnIsTab_ = false;
  std::string focusEntryText_;
  bool modified_ = false;
  bool error_ = false;
  bool cutInProgress_ = false;
  bool swallowNextChange_ = false;
  bool validating_ = false;
  // Looks.
  TColor focusColor_ = clNone;
  TColor focusFontColor_ = clWindowText;
  TColor normalColor_ = clWindow;
  TColor normalFontColor_ = clWindowText;
  TColor errorColor_ = clRed;
  TColor errorFontColor_ = clWhite;
  bool showError_ = false;
  bool showModified_ = false;
  TColor modifiedColor_ = clHighlight;
  bool showURL_ = false;
  bool linkLook_ = false;
  TColor urlColor_ = clBlue;
  bool focusLabel_ = false;
  TColor focusBorderColor_ = clNone;
  std::string emptyText_;
  bool flat_ = false, flatParentColor_ = true, softBorder_ = false, transparent_ = false;
  TColor flatLineColor_ = clBlack;
  TBorderStyle savedBorderStyle_ = bsSingle;
  int32_t errorMarkerPos_ = 0, errorMarkerLen_ = 0;
  TColor disabledColor_ = clSilver;
  TAdvEditAlign editAlign_ = AdvEdit::eaLeft, focusAlign_ = AdvEdit::eaDefault, savedAlign_ = AdvEdit::eaLeft;
  int32_t focusWidthInc_ = 0;
  bool aligning_ = false;
  bool focusBorder_ = false, autoFocus_ = false, mouseInside_ = false, hintShowLargeText_ = false;
  bool disabledBorder_ = true;
  TEditLabel label_;
  // Lookup and persistence.
  std::unique_ptr<TLookupSettings> lookup_;
  std::unique_ptr<TPersistence> persistence_;
  TListHintWindow* listWindow_ = nullptr;
  // Drag and drop.
  bool oleDropTarget_ = false, oleDropSource_ = false;
  bool dropTargetRegistered_ = false;
  bool dragArmed_ = false, draggingOut_ = false, selfMoveDone_ = false;
  POINT dropCaret_{-1, -1};
};
