// The office check box: an owner-drawn check box with a mini-HTML caption
// whose anchors open web and mail links or raise an event. Its box is drawn
// through the visual-style API when asked for and offered, otherwise from
// six small bitmaps; the parent's background shows under it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "ui/controls/setproperty.h"
#include "platform/forms/stdctrls.h"
#include "ui/render/htmlpicture.h"

using TAnchorClick = std::function<void(TObject* sender, const std::string& anchor)>;

// The look of the box from the state: the bitmap's resource name and the
// state of part 3 of the theme class "button".
struct TCheckBoxFace {
  const char* Bitmap;
  int ThemeState;
};
TCheckBoxFace CheckBoxFace(TCheckBoxState state, bool enabled, bool down, bool hot);
// One of the six 13 x 13 box bitmaps by its resource name ("VARNOFCU"...).
void LoadCheckBoxBitmap(TBitmap* bitmap, const std::string& name);

class TCustomAdvOfficeCheckBox : public TCustomControl {
  FORMS_CLASS(TCustomAdvOfficeCheckBox)

public:
  explicit TCustomAdvOfficeCheckBox(TComponent* owner);
  ~TCustomAdvOfficeCheckBox() override;
  void WndProc(TMessage& message) override;
  void Loaded() override;
  void SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) override;

  virtual uint32_t GetVersionNumber() const { return 0x01020400; }
  std::string Version() const;
  void SetVersion(const std::string&) {}
  virtual void SetChecked(bool v);
  virtual bool GetChecked() const { return state_ == cbChecked; }
  virtual void Toggle();
  bool Checked() const { return GetChecked(); }

  TLeftRight Alignment() const { return alignment_; }
  void SetAlignment(TLeftRight a) { SetAndPaint(alignment_, a); }
  TTextLayout ButtonVertAlign() const { return buttonVertAlign_; }
  void SetButtonVertAlign(TTextLayout l) { SetAndPaint(buttonVertAlign_, l); }
  TColor DisabledFontColor() const { return disabledFontColor_; }
  void SetDisabledFontColor(TColor c) { disabledFontColor_ = c; }
  bool Down() const { return down_; }
  void SetDown(bool v) { down_ = v; }
  bool Ellipsis() const { return ellipsis_; }
  void SetEllipsis(bool v) { SetAndPaint(ellipsis_, v); }
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool v) { readOnly_ = v; }
  bool ReturnIsTab() const { return returnIsTab_; }
  void SetReturnIsTab(bool v) { returnIsTab_ = v; }
  TColor ShadowColor() const { return shadowColor_; }
  void SetShadowColor(TColor c) { SetAndPaint(shadowColor_, c); }
  int32_t ShadowOffset() const { return shadowOffset_; }
  void SetShadowOffset(int32_t o) { SetAndPaint(shadowOffset_, o); }
  bool ShowFocus() const { return showFocus_; }
  void SetShowFocus(bool v) { showFocus_ = v; }
  TCheckBoxState State() const { return state_; }
  void SetState(TCheckBoxState s);
  bool Themed() const { return themed_; }
  void SetThemed(bool v) { SetAndPaint(themed_, v); }
  TColor URLColor() const { return urlColor_; }
  void SetURLColor(TColor c) { SetAndPaint(urlColor_, c); }
  TPictureContainer* PictureContainer() const { return pictureContainer_; }
  void SetPictureContainer(TPictureContainer* c);
  bool Hot() const { return hot_; }

  TAnchorClick OnAnchorClick;
  TAnchorClick OnAnchorEnter;
  TAnchorClick OnAnchorExit;

protected:
  void Paint() override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void KeyDown(WORD& key, TShiftState shift) override;
  void KeyUp(WORD& key, TShiftState shift) override;
  void DoEnter() override;
  void DoExit() override;

private:
  template <class T>
  void SetAndPaint(T& field, T value) {
    SetAndInvalidate(this, field, value);
  }
  RECT TextRect() const;
  // The anchor under a client point ("" when none).
  std::string AnchorAt(int x, int y);
  void DrawCheckGlyph();
  bool DrawThemedGlyph();
  void InvalidateBox();
  bool RightToLeft() const { return alignment_ == lrRight; }

  TLeftRight alignment_ = lrLeft;
  TTextLayout buttonVertAlign_ = tlTop;
  TColor disabledFontColor_ = static_cast<TColor>(0x808080);
  bool down_ = false;
  bool ellipsis_ = false;
  bool readOnly_ = false;
  bool returnIsTab_ = false;
  TColor shadowColor_ = static_cast<TColor>(0x808080);
  int32_t shadowOffset_ = 1;
  bool showFocus_ = true;
  TCheckBoxState state_ = cbUnchecked;
  bool themed_ = false;
  TColor urlColor_ = static_cast<TColor>(0xFF0000);
  TPictureContainer* pictureContainer_ = nullptr;
  std::unique_ptr<THTMLPictureCache> pictureCache_;
  // State.
  bool focused_ = false;
  bool hot_ = false;
  bool pressed_ = false;
  std::string lastAnchor_;
  TCursor loadedCursor_ = crDefault;
};

class TAdvOfficeCheckBox : public TCustomAdvOfficeCheckBox {
  FORMS_CLASS(TAdvOfficeCheckBox)

public:
  using TCustomAdvOfficeCheckBox::TCustomAdvOfficeCheckBox;
};
