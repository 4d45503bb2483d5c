// The spin edit: a one-line edit holding an integer, floating-point, date,
// time or hexadecimal value, with a spin button at its right edge.
//
// Sections: spin buttons (TAdvTimerSpeedButton, TAdvSpinButton) |
// TAdvSpinEdit (values and stepping in advspin.cpp, keyboard in
// advspin_keys.cpp, label and looks in advspin_look.cpp)
//
// State and painting stay apart: the repeat timer, pressed and hot flags live
// in the button; SpinButtonFace() says from them how a button is drawn.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/forms/extctrls.h"
#include "platform/forms/stdctrls.h"
#include "platform/rtl/datetime.h"
#include "ui/controls/editlabel.h"

// ---- spin buttons ----

enum TSpinDirection { spVertical, spHorizontal };
enum TArrowDirection { adLeft, adRight, adUp, adDown };

// How one arrow button is drawn: a part and state of the theme class "spin",
// or the classic frame-control state bits (left and right arrows) or glyph.
struct TSpinButtonFace {
  int ThemePart = 0;   // up 1, down 2, right 3, left 4
  int ThemeState = 0;  // normal 1, hot 2, pressed 3, disabled 4
  UINT FrameState = 0; // DrawFrameControl state for left and right arrows
  bool ClassicGlyph = false;
};
TSpinButtonFace SpinButtonFace(TArrowDirection direction, bool enabled, bool pressed, bool hot, bool flat);

// A speed button that repeats its click while held: the first repeat 400 ms
// after the press, then every 100 ms.
class TAdvTimerSpeedButton : public TSpeedButton {
  FORMS_CLASS(TAdvTimerSpeedButton)

public:
  explicit TAdvTimerSpeedButton(TComponent* owner);
  ~TAdvTimerSpeedButton() override;
  TArrowDirection ArrowDirection() const { return direction_; }
  void SetArrowDirection(TArrowDirection d);
  bool RepeatAllowed() const { return repeatAllowed_; }
  void SetRepeatAllowed(bool v) { repeatAllowed_ = v; }
  bool MouseOver() const { return mouseOver_; }
  TTimer* RepeatTimer() const { return repeatTimer_; }
  void WndProc(TMessage& message) override;

protected:
  void Paint() override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;

private:
  void TimerExpired(TObject* sender);
  void InvalidateParent();
  TTimer* repeatTimer_ = nullptr;
  bool repeatAllowed_ = false;
  TArrowDirection direction_ = adUp;
  bool newWindows_ = false;
  bool mouseOver_ = false;
};

class TAdvSpinButton : public TWinControl {
  FORMS_CLASS(TAdvSpinButton)

public:
  explicit TAdvSpinButton(TComponent* owner);
  void WndProc(TMessage& message) override;
  void SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) override;
  void Notification(TComponent* component, TOperation operation) override;
  void Loaded() override;

  TSpinDirection Direction() const { return direction_; }
  void SetDirection(TSpinDirection d);
  TBitmap* UpGlyph() const { return upButton_->Glyph(); }
  // A null glyph loads the default arrow.
  void SetUpGlyph(const TBitmap* glyph);
  TBitmap* DownGlyph() const { return downButton_->Glyph(); }
  void SetDownGlyph(const TBitmap* glyph);
  int32_t UpNumGlyphs() const { return upButton_->NumGlyphs(); }
  void SetUpNumGlyphs(int32_t n) { upButton_->SetNumGlyphs(n); }
  int32_t DownNumGlyphs() const { return downButton_->NumGlyphs(); }
  void SetDownNumGlyphs(int32_t n) { downButton_->SetNumGlyphs(n); }
  TWinControl* FocusControl() const { return focusControl_; }
  void SetFocusControl(TWinControl* control);
  TAdvTimerSpeedButton* UpButton() const { return upButton_; }
  TAdvTimerSpeedButton* DownButton() const { return downButton_; }
  TAdvTimerSpeedButton* FocusedButton() const { return focusedButton_; }

  TNotifyEvent OnUpClick;
  TNotifyEvent OnDownClick;

protected:
  void KeyDown(WORD& key, TShiftState shift) override;

private:
  friend class TAdvTimerSpeedButton;
  // Places the two buttons; `width` may grow to the minimum.
  void AdjustSize(int32_t& width, int32_t& height);
  // A left press on one of the buttons: focus bookkeeping.
  void ButtonPressed(TAdvTimerSpeedButton* button);
  void SetGlyph(TAdvTimerSpeedButton* button, const TBitmap* glyph, bool up);
  TAdvTimerSpeedButton* upButton_ = nullptr;
  TAdvTimerSpeedButton* downButton_ = nullptr;
  TAdvTimerSpeedButton* focusedButton_ = nullptr;
  TWinControl* focusControl_ = nullptr;
  TSpinDirection direction_ = spVertical;
};

// ---- TAdvSpinEdit ----

enum TAdvSpinType { sptNormal, sptFloat, sptDate, sptTime, sptHex };
enum TEditAlign { eaLeft, eaRight, eaCenter };


class TAdvSpinEdit : public TCustomMaskEdit {
  FORMS_CLASS(TAdvSpinEdit)

public:
  explicit TAdvSpinEdit(TComponent* owner);
  ~TAdvSpinEdit() override;
  void WndProc(TMessage& message) override;
  void Loaded() override;
  void SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) override;
  void SetParent(TWinControl* parent) override;

  virtual uint32_t GetVersionNumber() const { return 0x01040501; }
  std::string Version() const;
  void SetVersion(const std::string&) {}
  // The key filter: accepts or refuses a typed character, and may replace it.
  virtual bool IsValidChar(char32_t& key);
  // One step up or down (the spin buttons' events and the arrow keys).
  virtual void IncrementValue(TObject* sender);
  virtual void DecrementValue(TObject* sender);

  // Values, read from and written to the text.
  TAdvSpinType SpinType() const { return spinType_; }
  void SetSpinType(TAdvSpinType type);
  int32_t Value() const;
  void SetValue(int32_t v);
  double FloatValue() const;
  void SetFloatValue(double v);
  TDateTime DateValue() const;
  void SetDateValue(TDateTime v);
  TDateTime TimeValue() const;
  void SetTimeValue(TDateTime v);
  int32_t HexValue() const;
  void SetHexValue(int32_t v);

  int32_t Precision() const { return precision_; }
  void SetPrecision(int32_t p);
  int32_t MinValue() const { return minValue_; }
  void SetMinValue(int32_t v) { minValue_ = v; }
  int32_t MaxValue() const { return maxValue_; }
  void SetMaxValue(int32_t v) { maxValue_ = v; }
  double MinFloatValue() const { return minFloatValue_; }
  void SetMinFloatValue(double v) { minFloatValue_ = v; }
  double MaxFloatValue() const { return maxFloatValue_; }
  void SetMaxFloatValue(double v) { maxFloatValue_ = v; }
  TDateTime MinDateValue() const { return minDateValue_; }
  void SetMinDateValue(TDateTime v) { minDateValue_ = v; }
  TDateTime MaxDateValue() const { return maxDateValue_; }
  void SetMaxDateValue(TDateTime v) { maxDateValue_ = v; }
  int32_t Increment() const { return increment_; }
  void SetIncrement(int32_t v) { increment_ = v; }
  int32_t IncrementPage() const { return incrementPage_; }
  void SetIncrementPage(int32_t v) { incrementPage_ = v; }
  double IncrementFloat() const { return incrementFloat_; }
  void SetIncrementFloat(double v) { incrementFloat_ = v; }
  double IncrementFloatPage() const { return incrementFloatPage_; }
  void SetIncrementFloatPage(double v) { incrementFloatPage_ = v; }
  bool IncrementSmart() const { return incrementSmart_; }
  void SetIncrementSmart(bool v) { incrementSmart_ = v; }
  int32_t IncrementHours() const { return incrementHours_; }
  void SetIncrementHours(int32_t v) { incrementHours_ = v; }
  int32_t IncrementMinutes() const { return incrementMinutes_; }
  void SetIncrementMinutes(int32_t v) { incrementMinutes_ = v; }
  bool ShowSeconds() const { return showSeconds_; }
  void SetShowSeconds(bool v);
  bool Signed() const { return signed_; }
  void SetSigned(bool v) { signed_ = v; }
  bool AllowNullValue() const { return allowNullValue_; }
  void SetAllowNullValue(bool v) { allowNullValue_ = v; }
  bool EditorEnabled() const { return editorEnabled_; }
  void SetEditorEnabled(bool v) { editorEnabled_ = v; }
  bool ReturnIsTab() const { return returnIsTab_; }
  void SetReturnIsTab(bool v) { returnIsTab_ = v; }
  bool AutoFocus() const { return autoFocus_; }
  void SetAutoFocus(bool v) { autoFocus_ = v; }
  TAdvSpinButton* Button() const { return button_; }

  // Looks (advspin_look.cpp).
  TEditAlign EditAlign() const { return editAlign_; }
  void SetEditAlign(TEditAlign a);
  TSpinDirection Direction() const { return button_->Direction(); }
  void SetDirection(TSpinDirection d);
  bool Flat() const { return flat_; }
  void SetFlat(bool v);
  TColor FlatLineColor() const { return flatLineColor_; }
  void SetFlatLineColor(TColor c);
  bool SpinFlat() const { return upButtonFlat(); }
  void SetSpinFlat(bool v);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool v);
  TColor FocusColor() const { return focusColor_; }
  void SetFocusColor(TColor c) { focusColor_ = c; }
  TColor FocusBorderColor() const { return focusBorderColor_; }
  void SetFocusBorderColor(TColor c) { focusBorderColor_ = c; }
  bool FocusLabel() const { return focusLabel_; }
  void SetFocusLabel(bool v) { focusLabel_ = v; }
  TEditLabel& EditLabel() { return label_; }
  std::string LabelCaption() const { return label_.Caption(); }
  void SetLabelCaption(const std::string& caption);
  // The spin edit offers the first ten positions (up to lpBottomCenter).
  TLabelPosition LabelPosition() const { return label_.Position(); }
  void SetLabelPosition(TLabelPosition p);
  int32_t LabelMargin() const { return label_.Margin(); }
  void SetLabelMargin(int32_t m);
  bool LabelAlwaysEnabled() const { return label_.AlwaysEnabled(); }
  void SetLabelAlwaysEnabled(bool v) { label_.SetAlwaysEnabled(v); }
  TColor NormalColor() const { return normalColor_; }
  // The smallest height the font allows.
  int32_t MinHeight();

  TNotifyEvent OnUpClick;
  TNotifyEvent OnDownClick;

protected:
  void KeyDown(WORD& key, TShiftState shift) override;
  void KeyPress(char32_t& key) override;
  void CreateWnd() override;
  void PaintWindow(HDC dc) override;

private:
  // Values (advspin.cpp).
  int32_t ClampInt(int32_t v) const;
  double ClampFloat(double v) const;
  TDateTime ClampDate(TDateTime v) const;
  bool Loading() const;
  void UpdateMonthFirst();
  // The smart step: the digit left of the caret moves by one.
  void SmartStep(int sign);
  void Step(int sign);
  // A step with the read-only beep and the caret kept beside the same digit.
  void StepKeepingCaret(int sign);
  void StepDate(int sign);
  void StepTime(int sign);
  void SetTextQuiet(const std::string& text);
  void ApplyKindToText();
  void NormaliseOnExit();
  void FillEmptyOnFocusLoss();
  // Keyboard (advspin_keys.cpp).
  void HandleChar(TMessage& message);
  void ToggleSign();
  // Looks (advspin_look.cpp).
  void PlaceButton();
  void SetEditRect();
  void PlaceLabel();
  void Relayout();
  void FocusArrived();
  void FocusLost();
  bool upButtonFlat() const { return button_->UpButton()->Flat(); }

  TAdvSpinButton* button_ = nullptr;
  TAdvSpinType spinType_ = sptNormal;
  int32_t precision_ = 0;
  int32_t minValue_ = 0, maxValue_ = 0;
  double minFloatValue_ = 0, maxFloatValue_ = 0;
  TDateTime minDateValue_ = 0, maxDateValue_ = 0;
  int32_t increment_ = 1, incrementPage_ = 10;
  double incrementFloat_ = 0.1, incrementFloatPage_ = 1.0;
  bool incrementSmart_ = false;
  int32_t incrementHours_ = 1, incrementMinutes_ = 1;
  bool showSeconds_ = true;
  bool signed_ = false;
  bool allowNullValue_ = true;
  bool editorEnabled_ = true;
  bool returnIsTab_ = false;
  bool autoFocus_ = false;
  TDateTime dateValue_ = 0, timeValue_ = 0;
  int32_t hexValue_ = 0;
  bool monthFirst_ = false;
  bool loadingFlag_ = false;
  // Looks.
  TEditAlign editAlign_ = eaLeft;
  bool flat_ = false;
  TColor flatLineColor_ = clBlack;
  bool transparent_ = false;
  TColor focusColor_ = clWindow;
  TColor focusBorderColor_ = clNone;
  bool focusLabel_ = false;
  TColor normalColor_ = clWindow;
  TEditLabel label_;
};

// The text of a floating-point value by the spin edit's precision rule.
std::string SpinFloatText(double value, int32_t precision, char decimalSeparator);
