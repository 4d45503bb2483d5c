// More controls: the image, the paint box, the timer, and the speed and
// bitmap buttons.
//
// Sections: TImage | TPaintBox | TTimer | TSpeedButton | TBitBtn | TScrollBox
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/forms/controls.h"
#include "platform/forms/stdctrls.h"

// ---- TImage ----

// Shows a picture: at its top-left corner, centred, stretched, or scaled
// to fit keeping its proportions.
class TImage : public TGraphicControl {
  FORMS_CLASS(TImage)

public:
  explicit TImage(TComponent* owner);
  TPicture* Picture() const { return picture_.get(); }
  void SetPicture(const TPicture* picture) { picture_->Assign(picture); }
  bool Center() const { return center_; }
  void SetCenter(bool v);
  bool Proportional() const { return proportional_; }
  void SetProportional(bool v);
  bool Stretch() const { return stretch_; }
  void SetStretch(bool v);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool v);
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool v);
  // Where the picture lands in the client area.
  RECT DestRect() const;

protected:
  void Paint() override;

private:
  void PictureChanged();
  std::unique_ptr<TPicture> picture_;
  bool center_ = false, proportional_ = false, stretch_ = false, transparent_ = false, autoSize_ = false;
};

// ---- TPaintBox ----

class TPaintBox : public TGraphicControl {
  FORMS_CLASS(TPaintBox)

public:
  explicit TPaintBox(TComponent* owner);
  TNotifyEvent OnPaint;
  using TGraphicControl::Canvas;

protected:
  void Paint() override;
};

// ---- TTimer ----

// Runs OnTimer every Interval milliseconds while Enabled (and both are set).
class TTimer : public TComponent {
  FORMS_CLASS(TTimer)

public:
  explicit TTimer(TComponent* owner);
  ~TTimer() override;
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool v);
  uint32_t Interval() const { return interval_; }
  void SetInterval(uint32_t ms);
  TNotifyEvent OnTimer;
  void SetOnTimer(TNotifyEvent handler);
  void Loaded() override;

private:
  friend void TimerProc(HWND, UINT, UINT_PTR, DWORD);
  void Update();
  bool enabled_ = true;
  uint32_t interval_ = 1000;
  UINT_PTR id_ = 0;
};

// ---- TSpeedButton ----

enum TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };

// A flat button without a window; buttons of one GroupIndex stay down one at a time.
class TSpeedButton : public TGraphicControl {
  FORMS_CLASS(TSpeedButton)

public:
  explicit TSpeedButton(TComponent* owner);
  TBitmap* Glyph() const { return glyph_.get(); }
  void SetGlyph(const TBitmap* glyph);
  int32_t NumGlyphs() const { return numGlyphs_; }
  void SetNumGlyphs(int32_t n);
  bool Down() const { return down_; }
  void SetDown(bool v);
  int32_t GroupIndex() const { return groupIndex_; }
  void SetGroupIndex(int32_t g) { groupIndex_ = g; }
  bool AllowAllUp() const { return allowAllUp_; }
  void SetAllowAllUp(bool v) { allowAllUp_ = v; }
  bool Flat() const { return flat_; }
  void SetFlat(bool v);
  TButtonLayout Layout() const { return layout_; }
  void SetLayout(TButtonLayout l);
  // Pressed by the mouse and not yet released.
  bool Pressed() const { return pressed_; }
  void Click() override;

protected:
  void Paint() override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void WndProc(TMessage& message) override;

private:
  std::unique_ptr<TBitmap> glyph_;
  int32_t numGlyphs_ = 1;
  bool down_ = false;
  int32_t groupIndex_ = 0;
  bool allowAllUp_ = false;
  bool flat_ = false;
  bool pressed_ = false;
  bool hot_ = false;
  TButtonLayout layout_ = blGlyphLeft;
};

// ---- TBitBtn ----

enum TBitBtnKind { bkCustom, bkOK, bkCancel, bkHelp, bkYes, bkNo, bkClose, bkAbort, bkRetry, bkIgnore, bkAll };

// A push button with a glyph beside its caption.
class TBitBtn : public TButton {
  FORMS_CLASS(TBitBtn)

public:
  explicit TBitBtn(TComponent* owner);
  TBitmap* Glyph() const { return glyph_.get(); }
  void SetGlyph(const TBitmap* glyph);
  // A kind other than bkCustom sets caption and modal result.
  TBitBtnKind Kind() const { return kind_; }
  void SetKind(TBitBtnKind kind);
  TButtonLayout Layout() const { return layout_; }
  void SetLayout(TButtonLayout l);

protected:
  void PaintButton(TCanvas* canvas) override;

private:
  std::unique_ptr<TBitmap> glyph_;
  TBitBtnKind kind_ = bkCustom;
  TButtonLayout layout_ = blGlyphLeft;
};

// ---- TScrollBox ----

class TScrollBox;

// One scroll bar of a scroll box: Range is the extent of the contents.
class TControlScrollBar : public TPersistent {
  FORMS_CLASS(TControlScrollBar)

public:
  TControlScrollBar(TScrollBox* box, bool vertical) : box_(box), vertical_(vertical) {}
  int32_t Position() const { return position_; }
  // Kept within 0..Range - the visible length; the contents move with it.
  void SetPosition(int32_t position);
  int32_t Range() const { return range_; }
  int32_t Increment() const { return increment_; }
  void SetIncrement(int32_t v) { increment_ = v; }
  bool Visible() const { return visible_; }
  // Shown when the contents do not fit.
  bool IsScrollBarVisible() const;

private:
  friend class TScrollBox;
  TScrollBox* box_;
  bool vertical_;
  int32_t position_ = 0, range_ = 0, increment_ = 8;
  bool visible_ = true;
};

// A container whose contents scroll when they do not fit.
class TScrollBox : public TWinControl {
  FORMS_CLASS(TScrollBox)

public:
  explicit TScrollBox(TComponent* owner);
  TControlScrollBar* HorzScrollBar() const { return horz_.get(); }
  TControlScrollBar* VertScrollBar() const { return vert_.get(); }
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle s);
  // Moves the contents by (dx, dy) pixels.
  void ScrollBy(int dx, int dy);
  // Scrolls so that the control is in view.
  void ScrollInView(TControl* control);
  // Recomputes the ranges from the children.
  void UpdateScrollRanges();
  static constexpr int kBarSize = 16;

protected:
  void PaintWindow(HDC dc) override;
  void AdjustClientRect(RECT& rect) const override;
  void AlignControls(TControl* control, RECT& rect) override;
  bool DoMouseWheel(TShiftState shift, int wheelDelta, POINT mousePos) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;

private:
  friend class TControlScrollBar;
  RECT ViewRect() const;
  std::unique_ptr<TControlScrollBar> horz_;
  std::unique_ptr<TControlScrollBar> vert_;
  TBorderStyle borderStyle_ = bsSingle;
  bool updating_ = false;
};
