// The flat combo box: the platform's combo box that can paint itself flat
// (frames in the parent's colour, a line under the text, a button edge only
// while the mouse is in or the focus is held), with focus colours, a bold
// label on focus, an attached label, settable list and button widths, an
// event when the list closes and a themed drop-down button.
#pragma once

#include <cstdint>
#include <string>

#include "platform/forms/stdctrls.h"
#include "ui/controls/editlabel.h"

// How the drop-down button is drawn: a state of part 1 of the theme class
// "combobox", or the classic frame-control state.
struct TComboButtonFace {
  int ThemeState;
  UINT FrameState;
};
TComboButtonFace ComboButtonFace(bool enabled, bool mouseButtonDown, bool droppedDown, bool mouseOverButton);

class TAdvCustomCombo : public TCustomComboBox {
  FORMS_CLASS(TAdvCustomCombo)

public:
  explicit TAdvCustomCombo(TComponent* owner);
  void WndProc(TMessage& message) override;
  void Loaded() override;
  void SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) override;
  void SetParent(TWinControl* parent) override;

  virtual uint32_t GetVersionNumber() const { return 0x01030000; }
  std::string Version() const;
  void SetVersion(const std::string&) {}

  bool AutoFocus() const { return autoFocus_; }
  void SetAutoFocus(bool v) { autoFocus_ = v; }
  int32_t ButtonWidth() const { return buttonWidth_; }
  // Taken only from 14 to 32.
  void SetButtonWidth(int32_t w);
  bool Flat() const { return flat_; }
  void SetFlat(bool v);
  bool Etched() const { return etched_; }
  void SetEtched(bool v);
  TColor FlatLineColor() const { return flatLineColor_; }
  void SetFlatLineColor(TColor c);
  bool FlatParentColor() const { return flatParentColor_; }
  void SetFlatParentColor(bool v);
  // Kept for stored forms: without visual styles a disabled combo always
  // keeps the platform's look.
  bool DisabledBorder() const { return disabledBorder_; }
  void SetDisabledBorder(bool v) { disabledBorder_ = v; }
  bool FocusBorder() const { return focusBorder_; }
  void SetFocusBorder(bool v) { focusBorder_ = v; }
  TColor FocusColor() const { return focusColor_; }
  void SetFocusColor(TColor c) { focusColor_ = c; }
  TColor FocusBorderColor() const { return focusBorderColor_; }
  void SetFocusBorderColor(TColor c) { focusBorderColor_ = c; }
  bool FocusLabel() const { return focusLabel_; }
  void SetFocusLabel(bool v) { focusLabel_ = v; }
  int32_t DropWidth() const { return dropWidth_; }
  void SetDropWidth(int32_t w);
  TColor ComboColor() const { return Color(); }
  // While loading the value is also the design colour.
  void SetComboColor(TColor c);
  void SetComboEnabled(bool v);
  TEditLabel& EditLabel() { return label_; }
  std::string LabelCaption() const { return label_.Caption(); }
  void SetLabelCaption(const std::string& caption) { label_.SetCaption(caption); }
  TLabelPosition LabelPosition() const { return label_.Position(); }
  void SetLabelPosition(TLabelPosition p) { label_.SetPosition(p); }
  int32_t LabelMargin() const { return label_.Margin(); }
  void SetLabelMargin(int32_t m) { label_.SetMargin(m); }
  bool LabelTransparent() const { return label_.Transparent(); }
  void SetLabelTransparent(bool v) { label_.SetTransparent(v); }
  bool LabelAlwaysEnabled() const { return label_.AlwaysEnabled(); }
  void SetLabelAlwaysEnabled(bool v) { label_.SetAlwaysEnabled(v); }
  TFont* LabelFont() const { return label_.Font(); }
  bool MouseInside() const { return mouseInside_; }
  bool MouseOverButton() const { return mouseOverButton_; }
  TColor NormalColor() const { return normalColor_; }

  TNotifyEvent OnDropUp;

protected:
  void CloseUp() override;
  void PaintWindow(HDC dc) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void DoEnter() override;
  void DoExit() override;

private:
  void DrawButton(HDC dc);
  void DrawBorders(HDC dc);

  bool autoFocus_ = false;
  bool flat_ = false;
  bool etched_ = false;
  TColor disabledColor_ = clWindow;
  TColor designColor_ = clWindow;
  bool disabledParentColor_ = false;
  int32_t buttonWidth_;
  bool focusBorder_ = false;
  bool disabledBorder_ = true;
  bool mouseInside_ = false;
  int32_t dropWidth_ = 0;
  bool mouseOverButton_ = false;
  TColor flatLineColor_ = clBlack;
  bool flatParentColor_ = true;
  TColor focusColor_ = clNone;
  TColor focusBorderColor_ = clNone;
  TColor normalColor_ = clWindow;
  bool hasFocus_ = false;
  bool focusLabel_ = false;
  TEditLabel label_;
};

class TAdvComboBox : public TAdvCustomCombo {
  FORMS_CLASS(TAdvComboBox)

public:
  using TAdvCustomCombo::TAdvCustomCombo;
};
