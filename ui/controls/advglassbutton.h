// The glass button: a push, toggle or grouped button that looks like a pane
// of tinted glass over whatever lies behind it.
//
// The state machine (press, track, release, hover, focus, group exclusion,
// accelerators) is in advglassbutton.cpp; what DrawButton paints from that
// state is in advglassbutton_paint.cpp.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "ui/controls/setproperty.h"
#include "platform/forms/actnlist.h"
#include "platform/forms/controls.h"
#include "ui/controls/advhintinfo.h"
#include "ui/render/advgdip.h"

enum TAntiAlias { aaNone, aaClearType, aaAntiAlias };
// The symbols and layouts live in the unit's namespace: bsNone is also a
// border style, and the framework's speed button has layouts of the same
// names.
namespace AdvGlassButton {
enum TBackGroundSymbol {
  bsArrowLeft, bsArrowRight, bsArrowUp, bsArrowDown, bsPlay, bsPause, bsStop, bsFastForward, bsForward,
  bsBackward, bsFastBackward, bsSpeaker, bsNoSpeaker, bsNone, bsRecord
};
enum TButtonLayout {
  blGlyphLeft, blGlyphTop, blGlyphRight, blGlyphBottom, blGlyphLeftAdjusted, blGlyphRightAdjusted,
  blGlyphTopAdjusted, blGlyphBottomAdjusted
};
}  // namespace AdvGlassButton
using AdvGlassButton::TBackGroundSymbol;
using TGlassButtonLayout = AdvGlassButton::TButtonLayout;
enum TButtonDirection { bdLeft, bdRight };
enum TButtonShape { btsRectangle, btsCurvedRectangle };
enum TAdvToolButtonStyle { tasButton, tasCheck };
enum TGlassButtonState { gbsUp, gbsDisabled, gbsDown, gbsExclusive };
enum TShortCutHintPos {
  shpLeft, shpTop, shpRight, shpBottom, shpAboveLeft, shpAboveRight, shpBelowLeft, shpBelowRight, shpTopLeft,
  shpTopRight, shpBottomLeft, shpBottomRight, shpCenter, shpCenterLeft, shpCenterRight, shpCenterTop,
  shpCenterBottom
};

// What the painting needs to know of the button's state, apart from its properties.
struct TGlassFace {
  bool Glow = false;    // pressed, down or latched: the glow rises
  bool Focus = false;   // draw the focus outline
  bool Enabled = true;
};

// Where a glass button's caption and picture go in a client area of
// rw x rh: the caption's layout rectangle and the picture's top-left
// corner. pw and ph are the picture's size (pw with the 2 pixels that part
// it from a caption); `measured` is the caption's box (GDI+ text: measured
// in the whole area with the layout's alignment; GDI text: its one-line
// size); e is the inset of the curved shape's adjusted layouts.
struct TGlassContentPlace {
  GpRectF Text;
  int PictureX = 0, PictureY = 0;
};
TGlassContentPlace PlaceGlassContent(TGlassButtonLayout layout, bool gdiText, int rw, int rh, int pw, int ph,
                                     GpRectF measured, int e);

class TAdvCustomGlassButton;

// The glass button's link to its action: besides caption, enabled state,
// hint and visibility, the button's Down follows the action's Checked and
// its GroupIndex the action's group while they agree.
class TAdvGlassButtonActionLink : public TControlActionLink {
public:
  explicit TAdvGlassButtonActionLink(TAdvCustomGlassButton* client);
  bool IsCheckedLinked() const;
  bool IsGroupIndexLinked() const;
  void SetChecked(bool v) override;
  void SetGroupIndex(int32_t v) override;

private:
  TAdvCustomGlassButton* button_;
};

class TAdvCustomGlassButton : public TCustomControl {
  FORMS_CLASS(TAdvCustomGlassButton)

public:
  explicit TAdvCustomGlassButton(TComponent* owner);
  ~TAdvCustomGlassButton() override;
  void WndProc(TMessage& message) override;
  void Loaded() override;
  void Click() override;

  virtual uint32_t GetVersionNumber() const { return 0x01020300; }
  std::string Version() const;
  void SetVersion(const std::string&) {}
  // Paints the glass body and the content on `canvas` (the button's own, or a bitmap's).
  virtual void DrawButton(TCanvas* canvas);

  // The action the button runs when clicked without an OnClick handler,
  // and whose look and state it follows.
  TBasicAction* Action() const { return actionLink_ ? actionLink_->Action() : nullptr; }
  void SetAction(TBasicAction* action);
  void Notification(TComponent* component, TOperation operation) override;

  bool AllowAllUp() const { return allowAllUp_; }
  void SetAllowAllUp(bool v);
  TAntiAlias AntiAlias() const { return antiAlias_; }
  void SetAntiAlias(TAntiAlias v) { SetAndPaint(antiAlias_, v); }
  TColor BackColor() const { return backColor_; }
  void SetBackColor(TColor c) { SetAndPaint(backColor_, c); }
  TBackGroundSymbol BackGroundSymbol() const { return symbol_; }
  void SetBackGroundSymbol(TBackGroundSymbol s) { SetAndPaint(symbol_, s); }
  TColor BackGroundSymbolColor() const { return symbolColor_; }
  void SetBackGroundSymbolColor(TColor c) { SetAndPaint(symbolColor_, c); }
  TButtonDirection ButtonDirection() const { return direction_; }
  void SetButtonDirection(TButtonDirection d) { SetAndPaint(direction_, d); }
  TButtonShape ButtonShape() const { return shape_; }
  void SetButtonShape(TButtonShape s) { SetAndPaint(shape_, s); }
  int32_t CornerRadius() const { return cornerRadius_; }
  void SetCornerRadius(int32_t r);
  bool Down() const { return down_; }
  void SetDown(bool v);
  bool ForceTransparent() const { return forceTransparent_; }
  void SetForceTransparent(bool v) { SetAndPaint(forceTransparent_, v); }
  TColor ForeColor() const { return foreColor_; }
  void SetForeColor(TColor c) { SetAndPaint(foreColor_, c); }
  TColor GlowColor() const { return glowColor_; }
  void SetGlowColor(TColor c) { SetAndPaint(glowColor_, c); }
  int32_t GroupIndex() const { return groupIndex_; }
  void SetGroupIndex(int32_t g);
  TColor InnerBorderColor() const { return innerBorderColor_; }
  void SetInnerBorderColor(TColor c) { SetAndPaint(innerBorderColor_, c); }
  TGlassButtonLayout Layout() const { return layout_; }
  void SetLayout(TGlassButtonLayout l) { SetAndPaint(layout_, l); }
  TAdvHintInfo* OfficeHint() const { return officeHint_.get(); }
  void SetOfficeHint(const TAdvHintInfo* hint) { officeHint_->Assign(hint); }
  TColor OuterBorderColor() const { return outerBorderColor_; }
  void SetOuterBorderColor(TColor c) { SetAndPaint(outerBorderColor_, c); }
  AdvGDIP::TGDIPPicture* Picture() const { return picture_.get(); }
  void SetPicture(const AdvGDIP::TGDIPPicture* p);
  AdvGDIP::TGDIPPicture* PictureDown() const { return pictureDown_.get(); }
  void SetPictureDown(const AdvGDIP::TGDIPPicture* p) { pictureDown_->Assign(p); }
  AdvGDIP::TGDIPPicture* PictureDisabled() const { return pictureDisabled_.get(); }
  void SetPictureDisabled(const AdvGDIP::TGDIPPicture* p);
  TColor ShineColor() const { return shineColor_; }
  void SetShineColor(TColor c) { SetAndPaint(shineColor_, c); }
  const std::string& ShortCutHint() const { return shortCutHint_; }
  void SetShortCutHint(const std::string& s) { shortCutHint_ = s; }
  TShortCutHintPos ShortCutHintPos() const { return shortCutHintPos_; }
  void SetShortCutHintPos(TShortCutHintPos p) { shortCutHintPos_ = p; }
  bool ShowCaption() const { return showCaption_; }
  void SetShowCaption(bool v) { SetAndPaint(showCaption_, v); }
  bool ShowFocusRect() const { return showFocusRect_; }
  void SetShowFocusRect(bool v) { SetAndPaint(showFocusRect_, v); }
  TAdvToolButtonStyle Style() const { return style_; }
  void SetStyle(TAdvToolButtonStyle s) { style_ = s; }

  // State, for tests and the painting.
  TGlassButtonState State() const { return state_; }
  bool Hot() const { return hot_; }
  bool Pressed() const { return pressed_; }
  TShortCutHintWindow* ShortCutHintWindow() const { return hintWindow_; }
  void ShowShortCutHint();
  void HideShortCutHint();

protected:
  // Takes the action's caption, enabled state, hint and visibility (with
  // checkDefaults only where the button still has its default) and its group.
  virtual void ActionChange(TBasicAction* sender, bool checkDefaults);
  void Paint() override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void KeyPress(char32_t& key) override;
  void DoEnter() override;
  void DoExit() override;

private:
  template <class T>
  void SetAndPaint(T& field, T value) {
    SetAndInvalidate(this, field, value);
  }
  void NotifyGroup();
  void ButtonPressed(TAdvCustomGlassButton* sender);
  void Release(int x, int y);
  bool Inside(int x, int y) const { return x >= 0 && x < ClientWidth() && y >= 0 && y <= ClientHeight(); }
  TGlassFace Face() const;
  AdvGDIP::TGDIPPicture* ChosenPicture() const;
  std::unique_ptr<AdvGDIP::TGPGraphicsPath> ShapePath(int x, int y, int w, int h, int radius) const;
  void DrawGlassBody(AdvGDIP::TGPGraphics& g);
  void DrawSymbol(AdvGDIP::TGPGraphics& g);
  void DrawButtonContent(TCanvas* canvas, AdvGDIP::TGDIPPicture* picture, bool focus);
  void DrawGdiCaption(TCanvas* canvas, const std::string& text, const TGlassContentPlace& place, int ph,
                      TColor colour);
  void PaintOverlappingSiblings();

  bool allowAllUp_ = false;
  TAntiAlias antiAlias_ = aaClearType;
  TColor backColor_ = 0;
  TBackGroundSymbol symbol_ = AdvGlassButton::bsNone;
  TColor symbolColor_ = 0xFFFFFF;
  TButtonDirection direction_ = bdRight;
  TButtonShape shape_ = btsRectangle;
  int32_t cornerRadius_ = 4;
  bool down_ = false;
  bool forceTransparent_ = false;
  TColor foreColor_ = 0xFFFFFF;
  TColor glowColor_ = 0xFFBD8D;
  int32_t groupIndex_ = 0;
  TColor innerBorderColor_ = 0;
  TGlassButtonLayout layout_ = AdvGlassButton::blGlyphLeft;
  std::unique_ptr<TAdvHintInfo> officeHint_;
  TColor outerBorderColor_ = 0xFFFFFF;
  std::unique_ptr<AdvGDIP::TGDIPPicture> picture_, pictureDown_, pictureDisabled_;
  TColor shineColor_ = 0xFFFFFF;
  std::string shortCutHint_;
  TShortCutHintPos shortCutHintPos_ = shpTop;
  bool showCaption_ = true;
  bool showFocusRect_ = false;
  TAdvToolButtonStyle style_ = tasButton;
  // State.
  TGlassButtonState state_ = gbsUp;
  bool pressed_ = false;
  bool tracking_ = false;
  bool hot_ = false;
  bool focused_ = false;
  bool downWhileLoading_ = false;
  TShortCutHintWindow* hintWindow_ = nullptr;
  std::unique_ptr<TAdvGlassButtonActionLink> actionLink_;
};

class TAdvGlassButton : public TAdvCustomGlassButton {
  FORMS_CLASS(TAdvGlassButton)

public:
  using TAdvCustomGlassButton::TAdvCustomGlassButton;
};
