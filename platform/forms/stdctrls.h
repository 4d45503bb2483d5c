// The standard controls, drawn by the framework in one plain style and
// usable by mouse and keyboard.
//
// Sections: TLabel | buttons (TButton, TCheckBox, TRadioButton) | TGroupBox,
// TPanel | TEdit, TMaskEdit | TListBox | TComboBox
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/forms/controls.h"
#include "platform/forms/forms.h"
#include "platform/rtl/stringlist.h"

// ---- TLabel ----

enum TEllipsisPosition { epNone, epPathEllipsis, epEndEllipsis, epWordEllipsis };

class TCustomLabel : public TGraphicControl {
  FORMS_CLASS(TCustomLabel)

public:
  explicit TCustomLabel(TComponent* owner);
  void WndProc(TMessage& message) override;
  void Notification(TComponent* component, TOperation operation) override;
  void Loaded() override;

  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment a);
  TTextLayout Layout() const { return layout_; }
  void SetLayout(TTextLayout l);
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool v);
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool v);
  // With ShowAccelChar, "&x" underlines x and Alt+x focuses FocusControl.
  bool ShowAccelChar() const { return showAccelChar_; }
  void SetShowAccelChar(bool v);
  TEllipsisPosition EllipsisPosition() const { return ellipsis_; }
  void SetEllipsisPosition(TEllipsisPosition e);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool v);
  TWinControl* FocusControl() const { return focusControl_; }
  void SetFocusControl(TWinControl* control);
  // The DrawText flags that paint the caption.
  UINT DrawTextFlags() const;

protected:
  void Paint() override;
  void AdjustBounds();

private:
  TAlignment alignment_ = taLeftJustify;
  TTextLayout layout_ = tlTop;
  bool autoSize_ = true;
  bool wordWrap_ = false;
  bool showAccelChar_ = true;
  TEllipsisPosition ellipsis_ = epNone;
  bool transparent_ = false;
  TWinControl* focusControl_ = nullptr;
};

class TLabel : public TCustomLabel {
  FORMS_CLASS(TLabel)

public:
  using TCustomLabel::TCustomLabel;
};

// ---- buttons ----

class TButtonControl : public TWinControl {
  FORMS_CLASS(TButtonControl)

public:
  explicit TButtonControl(TComponent* owner);

protected:
  // Draws the caption with its accelerator and, when focused, a focus rectangle.
  void DrawCaption(TCanvas* canvas, RECT r, UINT flags, bool focused);
  void PaintWindow(HDC dc) override;
  virtual void PaintButton(TCanvas* canvas) = 0;
  // True when the character is this control's accelerator.
  bool IsAccel(char32_t ch) const;

private:
  std::unique_ptr<TCanvas> canvas_;
};

class TButton : public TButtonControl {
  FORMS_CLASS(TButton)

public:
  explicit TButton(TComponent* owner);
  void WndProc(TMessage& message) override;
  // Sets the form's ModalResult, then OnClick.
  void Click() override;

  TModalResult ModalResult() const { return modalResult_; }
  void SetModalResult(TModalResult result) { modalResult_ = result; }
  // Return on the form clicks the default button; Escape the cancel button.
  bool Default() const { return default_; }
  void SetDefault(bool v);
  bool Cancel() const { return cancel_; }
  void SetCancel(bool v) { cancel_ = v; }
  bool Pressed() const { return pressed_; }

protected:
  void PaintButton(TCanvas* canvas) override;
  void KeyDown(WORD& key, TShiftState shift) override;
  void KeyUp(WORD& key, TShiftState shift) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;

private:
  void SetPressed(bool pressed);
  TModalResult modalResult_ = 0;
  bool default_ = false;
  bool cancel_ = false;
  bool active_ = false;
  bool pressed_ = false;
};

enum TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };

class TCustomCheckBox : public TButtonControl {
  FORMS_CLASS(TCustomCheckBox)

public:
  explicit TCustomCheckBox(TComponent* owner);
  void WndProc(TMessage& message) override;
  bool Checked() const { return state_ == cbChecked; }
  void SetChecked(bool v) { SetState(v ? cbChecked : cbUnchecked); }
  TCheckBoxState State() const { return state_; }
  // A change runs Click (OnClick), as the user's does.
  void SetState(TCheckBoxState state);
  bool AllowGrayed() const { return allowGrayed_; }
  void SetAllowGrayed(bool v) { allowGrayed_ = v; }
  TLeftRight Alignment() const { return alignment_; }
  void SetAlignment(TLeftRight a);

protected:
  void PaintButton(TCanvas* canvas) override;
  // Unchecked -> checked (-> grayed) -> unchecked.
  virtual void Toggle();
  void KeyUp(WORD& key, TShiftState shift) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;

private:
  TCheckBoxState state_ = cbUnchecked;
  bool allowGrayed_ = false;
  TLeftRight alignment_ = lrRight;
};

class TCheckBox : public TCustomCheckBox {
  FORMS_CLASS(TCheckBox)

public:
  using TCustomCheckBox::TCustomCheckBox;
};

class TRadioButton : public TButtonControl {
  FORMS_CLASS(TRadioButton)

public:
  explicit TRadioButton(TComponent* owner);
  void WndProc(TMessage& message) override;
  bool Checked() const { return checked_; }
  // Checking one unchecks the other radio buttons of the same parent.
  void SetChecked(bool v);

protected:
  void PaintButton(TCanvas* canvas) override;
  void KeyUp(WORD& key, TShiftState shift) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;

private:
  bool checked_ = false;
};

// ---- TGroupBox, TPanel ----

class TCustomGroupBox : public TCustomControl {
  FORMS_CLASS(TCustomGroupBox)

public:
  explicit TCustomGroupBox(TComponent* owner);

protected:
  void Paint() override;
  void AdjustClientRect(RECT& rect) const override;
};

class TGroupBox : public TCustomGroupBox {
  FORMS_CLASS(TGroupBox)

public:
  using TCustomGroupBox::TCustomGroupBox;
};

class TCustomPanel : public TCustomControl {
  FORMS_CLASS(TCustomPanel)

public:
  explicit TCustomPanel(TComponent* owner);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment a);
  TBevelCut BevelInner() const { return bevelInner_; }
  void SetBevelInner(TBevelCut b);
  TBevelCut BevelOuter() const { return bevelOuter_; }
  void SetBevelOuter(TBevelCut b);
  int32_t BevelWidth() const { return bevelWidth_; }
  void SetBevelWidth(int32_t w);
  int32_t BorderWidth() const { return borderWidth_; }
  void SetBorderWidth(int32_t w);
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle s);
  bool ShowCaption() const { return showCaption_; }
  void SetShowCaption(bool v);
  bool ParentBackground() const { return parentBackground_; }
  void SetParentBackground(bool v) { parentBackground_ = v; }

protected:
  void Paint() override;
  void AdjustClientRect(RECT& rect) const override;

private:
  int32_t FrameWidth() const;
  TAlignment alignment_ = taCenter;
  TBevelCut bevelInner_ = bvNone;
  TBevelCut bevelOuter_ = bvRaised;
  int32_t bevelWidth_ = 1;
  int32_t borderWidth_ = 0;
  TBorderStyle borderStyle_ = bsNone;
  bool showCaption_ = true;
  bool parentBackground_ = true;
};

class TPanel : public TCustomPanel {
  FORMS_CLASS(TPanel)

public:
  using TCustomPanel::TCustomPanel;
};

// ---- TEdit, TMaskEdit ----

enum TEditCharCase { ecNormal, ecUpperCase, ecLowerCase };

class TCustomEdit : public TWinControl {
  FORMS_CLASS(TCustomEdit)

public:
  explicit TCustomEdit(TComponent* owner);
  ~TCustomEdit() override;
  void WndProc(TMessage& message) override;

  std::string GetText() const override;
  void SetText(const std::string& text) override;
  int32_t MaxLength() const { return maxLength_; }
  void SetMaxLength(int32_t n) { maxLength_ = std::max(n, 0); }
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool v) { readOnly_ = v; }
  char32_t PasswordChar() const { return passwordChar_; }
  void SetPasswordChar(char32_t c);
  bool AutoSelect() const { return autoSelect_; }
  void SetAutoSelect(bool v) { autoSelect_ = v; }
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle s);
  TEditCharCase CharCase() const { return charCase_; }
  void SetCharCase(TEditCharCase c);
  bool OEMConvert() const { return oemConvert_; }
  void SetOEMConvert(bool v) { oemConvert_ = v; }
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment a);
  bool Modified() const { return modified_; }
  void SetModified(bool v) { modified_ = v; }

  // Selection in characters; the caret sits at the moving end.
  int32_t SelStart() const;
  void SetSelStart(int32_t start);
  int32_t SelLength() const;
  void SetSelLength(int32_t length);
  std::string SelText() const;
  // Replaces the selection (undoable).
  void SetSelText(const std::string& text);
  void SelectAll();
  void ClearSelection();
  void CopyToClipboard();
  void CutToClipboard();
  void PasteFromClipboard();
  // One level: undoing twice restores the change.
  void Undo();
  bool CanUndo() const { return hasUndo_; }
  void ClearUndo() { hasUndo_ = false; }
  void Clear() { SetText(""); }
  // The client rectangle the text is laid out in.
  RECT FormattingRect() const;

  TNotifyEvent OnChange;

protected:
  virtual void Change();
  void PaintWindow(HDC dc) override;
  void KeyDown(WORD& key, TShiftState shift) override;
  void KeyPress(char32_t& key) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void DblClick() override;
  void DoEnter() override;
  void DoExit() override;
  // The character index nearest to a client x coordinate, and the x of an index.
  int32_t CharFromX(int x);
  int XFromChar(int32_t index);

private:
  std::u32string Shown() const;
  void Replace(int32_t from, int32_t to, const std::u32string& text, bool undoable);
  void SetSel(int32_t anchor, int32_t caret);
  void MoveCaret(int32_t caret, bool extend);
  void UpdateCaret();
  void ScrollToCaret();
  int32_t WordStart(int32_t from, int dir) const;
  HFONT SelectFont(HDC dc);

  std::u32string text32_;
  int32_t anchor_ = 0, caret_ = 0;
  int32_t maxLength_ = 0;
  bool readOnly_ = false;
  char32_t passwordChar_ = 0;
  bool autoSelect_ = true;
  TBorderStyle borderStyle_ = bsSingle;
  TEditCharCase charCase_ = ecNormal;
  bool oemConvert_ = false;
  TAlignment alignment_ = taLeftJustify;
  bool modified_ = false;
  std::u32string undoText_;
  int32_t undoCaret_ = 0;
  bool hasUndo_ = false;
  RECT formatRect_{};
  bool formatRectSet_ = false;
  int scroll_ = 0;
  bool selecting_ = false;
  bool caretShown_ = false;
};

class TEdit : public TCustomEdit {
  FORMS_CLASS(TEdit)

public:
  using TCustomEdit::TCustomEdit;
};

// An edit with an input mask (kept as text; the edit itself does not mask).
class TCustomMaskEdit : public TCustomEdit {
  FORMS_CLASS(TCustomMaskEdit)

public:
  using TCustomEdit::TCustomEdit;
  const std::string& EditMask() const { return editMask_; }
  void SetEditMask(const std::string& mask) { editMask_ = mask; }

private:
  std::string editMask_;
};

class TMaskEdit : public TCustomMaskEdit {
  FORMS_CLASS(TMaskEdit)

public:
  using TCustomMaskEdit::TCustomMaskEdit;
};

// ---- TListBox ----

enum TOwnerDrawStateItem { odSelected, odGrayed, odDisabled, odChecked, odFocused, odDefault, odComboBoxEdit };
using TOwnerDrawState = Set<TOwnerDrawStateItem>;
using TDrawItemEvent = std::function<void(TWinControl* control, int32_t index, RECT rect, TOwnerDrawState state)>;
enum TListBoxStyle { lbStandard, lbOwnerDrawFixed, lbOwnerDrawVariable };

class TCustomListBox : public TWinControl {
  FORMS_CLASS(TCustomListBox)

public:
  explicit TCustomListBox(TComponent* owner);
  ~TCustomListBox() override;
  void WndProc(TMessage& message) override;

  TStrings* Items() const { return items_.get(); }
  void SetItems(const TStrings* items) { items_->Assign(*items); }
  int32_t Count() const { return items_->Count(); }
  int32_t ItemIndex() const { return itemIndex_; }
  // -1 clears; an index past the end is ignored.
  void SetItemIndex(int32_t index);
  int32_t TopIndex() const { return topIndex_; }
  void SetTopIndex(int32_t index);
  int32_t ItemHeight() const { return itemHeight_; }
  void SetItemHeight(int32_t h);
  TListBoxStyle Style() const { return style_; }
  void SetStyle(TListBoxStyle s);
  bool Sorted() const { return items_->Sorted(); }
  void SetSorted(bool v) { items_->SetSorted(v); }
  // With MultiSelect, Ctrl+click toggles an item and Shift+click selects a range.
  bool MultiSelect() const { return multiSelect_; }
  void SetMultiSelect(bool v);
  bool Selected(int32_t index) const;
  void SetSelected(int32_t index, bool selected);
  int32_t SelCount() const;
  TCanvas* Canvas() const { return canvas_.get(); }
  RECT ItemRect(int32_t index) const;
  // The item at a client point; -1 when none.
  int32_t ItemAtPos(POINT p, bool existing) const;
  int32_t VisibleRows() const;

  TDrawItemEvent OnDrawItem;

protected:
  void PaintWindow(HDC dc) override;
  virtual void DrawItem(int32_t index, RECT rect, TOwnerDrawState state);
  void KeyDown(WORD& key, TShiftState shift) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  bool DoMouseWheel(TShiftState shift, int wheelDelta, POINT mousePos) override;
  // The user picked an item (mouse or keys).
  virtual void Select(int32_t index);

private:
  void ItemsChanged();
  void MakeVisible(int32_t index);
  void FitTopIndex();
  // Shows the vertical scroll bar while the items overflow, at the top row.
  void UpdateScrollBar();
  // WM_VSCROLL: the row the scroll bar asks for.
  int32_t ScrolledTop(WORD code, int thumb) const;
  std::unique_ptr<TStringList> items_;
  std::unique_ptr<TCanvas> canvas_;
  int32_t itemIndex_ = -1;
  int32_t topIndex_ = 0;
  int32_t itemHeight_ = 16;
  TListBoxStyle style_ = lbStandard;
  bool multiSelect_ = false;
  std::vector<bool> selected_;
  int32_t anchor_ = -1;
};

class TListBox : public TCustomListBox {
  FORMS_CLASS(TListBox)

public:
  using TCustomListBox::TCustomListBox;
};

// ---- TComboBox ----

enum TComboBoxStyle { csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable };

class TComboEdit;
class TComboDropDown;
class TComboList;

class TCustomComboBox : public TWinControl {
  FORMS_CLASS(TCustomComboBox)

public:
  explicit TCustomComboBox(TComponent* owner);
  ~TCustomComboBox() override;
  void WndProc(TMessage& message) override;

  TComboBoxStyle Style() const { return style_; }
  void SetStyle(TComboBoxStyle s);
  TStrings* Items() const { return items_.get(); }
  void SetItems(const TStrings* items) { items_->Assign(*items); }
  int32_t ItemIndex() const { return itemIndex_; }
  // Selects the item and shows its text (no OnChange, as the framework does).
  void SetItemIndex(int32_t index);
  std::string GetText() const override;
  void SetText(const std::string& text) override;
  int32_t DropDownCount() const { return dropDownCount_; }
  void SetDropDownCount(int32_t n) { dropDownCount_ = std::max(n, 1); }
  int32_t ItemHeight() const { return itemHeight_; }
  void SetItemHeight(int32_t h) { itemHeight_ = std::max(h, 1); }
  int32_t DroppedWidth() const { return droppedWidth_; }
  bool Sorted() const { return items_->Sorted(); }
  void SetSorted(bool v) { items_->SetSorted(v); }
  bool DroppedDown() const { return dropDown_ != nullptr; }
  void SetDroppedDown(bool v);
  TCanvas* Canvas() const { return canvas_.get(); }
  // The list window while the combo box is dropped down (tests click into it).
  TCustomListBox* DropDownList() const;

  TNotifyEvent OnChange;
  TNotifyEvent OnSelect;
  TNotifyEvent OnDropDown;
  TNotifyEvent OnCloseUp;
  TDrawItemEvent OnDrawItem;

protected:
  virtual void Change();
  virtual void Select();
  virtual void DropDown();
  virtual void CloseUp();
  virtual void DrawItem(int32_t index, RECT rect, TOwnerDrawState state);
  void PaintWindow(HDC dc) override;
  void KeyDown(WORD& key, TShiftState shift) override;
  void KeyPress(char32_t& key) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  bool DoMouseWheel(TShiftState shift, int wheelDelta, POINT mousePos) override;
  void DoSetBounds(int32_t left, int32_t top, int32_t width, int32_t height) override;

private:
  friend class TComboDropDown;
  friend class TComboEdit;
  friend class TComboList;
  // The user chose an item: text, ItemIndex, OnChange and OnSelect.
  void ChooseItem(int32_t index);
  // The user chose an item of the dropped list (-1: none): the item is set
  // before the list closes, so the close-up event sees the choice.
  void CloseUpOn(int32_t index);
  // After a choice: the edit's selection, OnChange when `changed`, OnSelect.
  void AnnounceChoice(bool changed);
  void LayoutEdit();
  RECT ButtonRect() const;
  int32_t DroppedListWidth(bool scrolls) const;
  std::unique_ptr<TStringList> items_;
  std::unique_ptr<TCanvas> canvas_;
  TComboBoxStyle style_ = csDropDown;
  int32_t itemIndex_ = -1;
  int32_t dropDownCount_ = 8;
  int32_t itemHeight_ = 16;
  int32_t droppedWidth_ = 0;
  std::string text_;
  TComboEdit* edit_ = nullptr;
  TComboDropDown* dropDown_ = nullptr;
  TComboList* list_ = nullptr;  // csSimple
};

class TComboBox : public TCustomComboBox {
  FORMS_CLASS(TComboBox)

public:
  using TCustomComboBox::TCustomComboBox;
};
