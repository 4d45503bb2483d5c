// The captioned panel: a body with a plain, gradient or mirrored-gradient
// background, a one-pixel border with a two-line drop shadow, a body text
// in markup with anchors, a caption bar with shading, a close and a
// collapse button, a status bar and a size grip. It collapses to its
// caption (animated on a timer), moves by its caption and sizes by its
// lower right corner under the mouse, and keeps its bounds in the user's
// settings.
//
// Sections: caption bar | status bar | position | panel
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/forms/extctrls.h"
#include "platform/forms/imglist.h"
#include "platform/forms/stdctrls.h"
#include "platform/rtl/inifiles.h"
#include "ui/controls/advimage.h"
#include "ui/render/htmlengine.h"
#include "ui/render/htmlpicture.h"
#include "ui/render/storechanged.h"

class TCustomAdvPanel;
class TAdvPanelSettings;
class TAdvPanelStyler;

enum TShadeType {
  stNormal, stNoise, stDiagShade, stHShade, stVShade, stHBump, stVBump, stSoftBump, stHardBump, stLMetal,
  stRMetal, stIRadial, stORadial, stHShadeInv, stVShadeInv, stXPCaption, stBitmap, stBitmapLStretch,
  stBitmapRStretch
};
enum TCaptionShape { csRectangle, csRounded, csSemiRounded };
enum TCaptionButtonPosition { cbpLeft, cbpRight };
enum TCaptionPosition { cpTop, cpLeft };
enum TGradientDirection { gdVertical, gdHorizontal };
enum TPanelPositionLocation { clRegistry, clInifile };
// The names of the gradient directions, as stored forms give them.
const TEnumNames& GradientDirectionNames();
enum TBackGroundPosition { bpTopLeft, bpTopRight, bpBottomLeft, bpBottomRight, bpTiled, bpStretched, bpCenter };

// Resolves both colours and mixes them channel by channel, Percent of the
// first (100: the first unchanged).
TColor BlendColor(TColor color1, TColor color2, int32_t percent);
// Up to 32 bands from one colour to the other over r, drawn as rectangles.
void DrawBandedGradient(TCanvas* canvas, TColor from, TColor to, bool horizontal, const RECT& r, int32_t bands);
// The text without its markup in a copy of the font turned to read upwards,
// starting at (x, y) (the top of the glyphs faces left).
void DrawRotatedText(TCanvas* canvas, const TFont* font, int32_t x, int32_t y, const std::string& text);

// ---- caption bar ----

class TPanelCaption : public TPersistent {
  FORMS_CLASS(TPanelCaption)

public:
  TPanelCaption();
  // Copies every setting of another caption bar (any other class: EConvertError).
  void Assign(const TPersistent* source) override;

  VESK_SETTING(bool, CloseButton, closeButton_, Changed)
  VESK_SETTING(TColor, CloseButtonColor, closeButtonColor_, Changed)
  VESK_SETTING(TColor, CloseColor, closeColor_, Changed)
  VESK_SETTING(int32_t, Height, height_, Changed)
  VESK_SETTING(int32_t, Indent, indent_, Changed)
  VESK_SETTING(bool, MinMaxButton, minMaxButton_, Changed)
  VESK_SETTING(TColor, MinMaxButtonColor, minMaxButtonColor_, Changed)
  VESK_SETTING(int32_t, TopIndent, topIndent_, Changed)
  VESK_SETTING(TColor, ColorTo, colorTo_, Changed)
  VESK_SETTING(TGradientDirection, GradientDirection, gradientDirection_, Changed)
  VESK_SETTING(const std::string&, Text, text_, Changed)
  VESK_SETTING(TColor, Color, color_, ShadeAndChange)
  VESK_SETTING(TCaptionShape, Shape, shape_, ShadeAndChange)
  VESK_SETTING(bool, Flat, flat_, ShadeAndChange)
  VESK_SETTING(int32_t, ShadeGrain, shadeGrain_, ShadeAndChange)
  // Height and font size scaled by m/d, without notification.
  void Scale(int32_t m, int32_t d);
  VESK_SETTING(TShadeType, ShadeType, shadeType_, ShadeAndChange)
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  int32_t ShadeLight() const { return shadeLight_; }
  // At least 200.
  void SetShadeLight(int32_t light);
  bool MinMaxCaption() const { return minMaxCaption_; }
  void SetMinMaxCaption(bool v) { minMaxCaption_ = v; }
  TCaptionButtonPosition ButtonPosition() const { return buttonPosition_; }
  void SetButtonPosition(TCaptionButtonPosition p) { buttonPosition_ = p; }
  TColor CloseButtonHoverColor() const { return closeButtonHoverColor_; }
  void SetCloseButtonHoverColor(TColor c) { closeButtonHoverColor_ = c; }
  TColor MinMaxButtonHoverColor() const { return minMaxButtonHoverColor_; }
  void SetMinMaxButtonHoverColor(TColor c) { minMaxButtonHoverColor_ = c; }
  TFont* Font() const { return font_.get(); }
  // Along the top edge or, rotated, along the left edge.
  TCaptionPosition Position() const { return position_; }
  void SetPosition(TCaptionPosition position);
  // The picture of the stBitmap shadings.
  TBitmap* Background() const { return background_.get(); }
  void SetBackground(const TBitmap* bitmap);
  // Close-button pictures for the collapsed and the expanded panel (both or neither).
  TBitmap* CloseMinGlyph() const { return closeMinGlyph_.get(); }
  void SetCloseMinGlyph(const TBitmap* bitmap);
  TBitmap* CloseMaxGlyph() const { return closeMaxGlyph_.get(); }
  void SetCloseMaxGlyph(const TBitmap* bitmap);
  // Collapse-button pictures for the collapsed and the expanded panel.
  TBitmap* MaxGlyph() const { return maxGlyph_.get(); }
  void SetMaxGlyph(const TBitmap* bitmap) { maxGlyph_->Assign(bitmap); }
  TBitmap* MinGlyph() const { return minGlyph_.get(); }
  void SetMinGlyph(const TBitmap* bitmap) { minGlyph_->Assign(bitmap); }
  bool HasCloseGlyphs() const { return !closeMinGlyph_->Empty() && !closeMaxGlyph_->Empty(); }
  // The seed of the noise and metal shadings; 0 seeds from the clock.
  int32_t ShadeSeed() const { return shadeSeed_; }
  void SetShadeSeed(int32_t seed) { shadeSeed_ = seed; }

  TNotifyEvent OnChange;
  TNotifyEvent OnShadeChange;
  TNotifyEvent OnStateChange;
  TNotifyEvent OnPositionChange;

private:
  void Changed() {
    if (OnChange) OnChange(this);
  }
  void ShadeAndChange() {
    if (OnShadeChange) OnShadeChange(this);
    Changed();
  }

  bool visible_ = false, closeButton_ = false, minMaxButton_ = false, flat_ = false, minMaxCaption_ = false;
  TColor color_ = clHighlight, colorTo_ = clNone, closeColor_ = clBtnFace;
  TColor closeButtonColor_ = clBlack, minMaxButtonColor_ = clBlack;
  TColor closeButtonHoverColor_ = clNone, minMaxButtonHoverColor_ = clNone;
  int32_t height_ = 20, indent_ = 0, topIndent_ = 0, shadeGrain_ = 32, shadeLight_ = 255, shadeSeed_ = 0;
  TGradientDirection gradientDirection_ = gdHorizontal;
  TCaptionShape shape_ = csRectangle;
  TShadeType shadeType_ = stNormal;
  TCaptionButtonPosition buttonPosition_ = cbpRight;
  TCaptionPosition position_ = cpTop;
  std::string text_;
  std::unique_ptr<TFont> font_;
  std::unique_ptr<TBitmap> background_, closeMinGlyph_, closeMaxGlyph_, maxGlyph_, minGlyph_;
};

// ---- auto size ----

class TAutoSize : public TPersistent {
  FORMS_CLASS(TAutoSize)

public:
  bool Enabled() const { return enabled_; }
  // Enabling sizes the panel at once.
  void SetEnabled(bool v);
  bool Height() const { return height_; }
  void SetHeight(bool v) { height_ = v; }
  bool Width() const { return width_; }
  void SetWidth(bool v) { width_ = v; }
  void Assign(const TPersistent* source) override;
  TNotifyEvent OnEnable;

private:
  bool enabled_ = false, height_ = true, width_ = true;
};

// ---- status bar ----

class TPanelStatusBar : public TPersistent {
  FORMS_CLASS(TPanelStatusBar)

public:
  TPanelStatusBar();
  // Copies Color, ColorTo, GradientDirection, BorderStyle, BorderColor and Font.
  void Assign(const TPersistent* source) override;
  VESK_SETTING(bool, Visible, visible_, Changed)
  VESK_SETTING(int32_t, Height, height_, Changed)
  VESK_SETTING(TColor, Color, color_, Changed)
  VESK_SETTING(TColor, ColorTo, colorTo_, Changed)
  VESK_SETTING(TColor, BorderColor, borderColor_, Changed)
  VESK_SETTING(TBorderStyle, BorderStyle, borderStyle_, Changed)
  VESK_SETTING(TGradientDirection, GradientDirection, gradientDirection_, Changed)
  VESK_SETTING(int32_t, ImageIndex, imageIndex_, Changed)
  VESK_SETTING(bool, BevelInner, bevelInner_, Changed)
  VESK_SETTING(const std::string&, Text, text_, Changed)
  TFont* Font() const { return font_.get(); }
  TNotifyEvent OnChange;

private:
  void Changed() {
    if (OnChange) OnChange(this);
  }
  bool visible_ = false, bevelInner_ = false;
  int32_t height_ = 18, imageIndex_ = -1;
  TColor color_ = clBtnFace, colorTo_ = clNone, borderColor_ = clBlack;
  TBorderStyle borderStyle_ = bsNone;
  TGradientDirection gradientDirection_ = gdHorizontal;
  std::string text_;
  std::unique_ptr<TFont> font_;
};

// ---- position ----

class TPanelPosition : public TPersistent {
  FORMS_CLASS(TPanelPosition)

public:
  bool Save() const { return save_; }
  void SetSave(bool v) { save_ = v; }
  const std::string& Key() const { return key_; }
  void SetKey(const std::string& v) { key_ = v; }
  const std::string& Section() const { return section_; }
  void SetSection(const std::string& v) { section_ = v; }
  TPanelPositionLocation Location() const { return location_; }
  void SetLocation(TPanelPositionLocation v) { location_ = v; }
  void Assign(const TPersistent* source) override;

private:
  bool save_ = false;
  std::string key_, section_;
  TPanelPositionLocation location_ = clRegistry;
};

// Where a panel position with this key is kept: an INI file of that name in
// the user's settings folder (the key's own folders are not followed).
std::string PanelPositionFile(const std::string& key);

// ---- panel ----

using TAnchorEvent = std::function<void(TObject* sender, const std::string& anchor)>;
using TPaintEvent = std::function<void(TObject* sender, TCanvas* canvas, RECT rect)>;
using TAnchorHintEvent = std::function<void(TObject* sender, std::string& anchor)>;

class TCustomAdvPanel : public TCustomPanel {
  FORMS_CLASS(TCustomAdvPanel)

public:
  explicit TCustomAdvPanel(TComponent* owner);
  ~TCustomAdvPanel() override;

  void Assign(const TPersistent* source) override;
  void Loaded() override;
  // Saves the position while the panel still exists whole.
  void BeforeDestruction() override;
  void SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) override;
  void WndProc(TMessage& message) override;
  virtual uint32_t GetVersionNumber() const { return 0x01090005; }
  std::string Version() const;
  void SetVersion(const std::string&) {}

  VESK_SETTING(TColor, ColorTo, colorTo_, Invalidate)
  VESK_SETTING(TColor, ColorMirror, colorMirror_, Invalidate)
  VESK_SETTING(TColor, ColorMirrorTo, colorMirrorTo_, Invalidate)
  VESK_SETTING(TColor, BorderColor, borderColor_, Invalidate)
  VESK_SETTING(bool, BorderShadow, borderShadow_, Invalidate)
  VESK_SETTING(TGradientDirection, GradientDirection, gradientDirection_, Invalidate)
  VESK_SETTING(TTextVAlignment, TextVAlign, textVAlign_, Invalidate)
  VESK_SETTING(int32_t, Indent, indent_, Invalidate)
  VESK_SETTING(int32_t, TopIndent, topIndent_, Invalidate)
  VESK_SETTING(int32_t, LineSpacing, lineSpacing_, Invalidate)
  VESK_SETTING(TColor, URLColor, urlColor_, Invalidate)
  VESK_SETTING(TColor, ShadowColor, shadowColor_, Invalidate)
  VESK_SETTING(int32_t, ShadowOffset, shadowOffset_, Invalidate)
  VESK_SETTING(bool, CanSize, canSize_, Invalidate)
  VESK_SETTING(bool, Ellipsis, ellipsis_, Invalidate)
  VESK_SETTING(TBackGroundPosition, BackgroundPosition, backgroundPosition_, Invalidate)
  const std::string& PanelText() const { return text_; }
  void SetPanelText(const std::string& text);
  bool AnchorHint() const { return anchorHint_; }
  void SetAnchorHint(bool v) { anchorHint_ = v; }
  TAutoSize* AutoSize() const { return autoSize_.get(); }
  // Sizes the panel to its text (when AutoSize is enabled).
  void DoAutoSize();
  // Edges that moving and sizing by the mouse leave alone.
  bool FixedLeft() const { return fixedLeft_; }
  void SetFixedLeft(bool v) { fixedLeft_ = v; }
  bool FixedTop() const { return fixedTop_; }
  void SetFixedTop(bool v) { fixedTop_ = v; }
  bool FixedWidth() const { return fixedWidth_; }
  void SetFixedWidth(bool v) { fixedWidth_ = v; }
  bool FixedHeight() const { return fixedHeight_; }
  void SetFixedHeight(bool v) { fixedHeight_ = v; }
  // Moving by the caption turns the cursor into the size-all arrows for good.
  bool ShowMoveCursor() const { return showMoveCursor_; }
  void SetShowMoveCursor(bool v) { showMoveCursor_ = v; }
  bool CanMove() const { return canMove_; }
  void SetCanMove(bool v) { canMove_ = v; }
  bool Collaps() const { return collaps_; }
  void SetCollaps(bool collapse);
  bool Collapsing() const { return collapsing_; }
  TColor CollapsColor() const { return collapsColor_; }
  void SetCollapsColor(TColor c) { collapsColor_ = c; }
  int32_t CollapsDelay() const { return collapsDelay_; }
  void SetCollapsDelay(int32_t ms) { collapsDelay_ = ms; }
  int32_t CollapsSteps() const { return collapsSteps_; }
  void SetCollapsSteps(int32_t steps) { collapsSteps_ = steps; }
  bool AutoHideChildren() const { return autoHideChildren_; }
  void SetAutoHideChildren(bool v) { autoHideChildren_ = v; }
  bool FreeOnClose() const { return freeOnClose_; }
  void SetFreeOnClose(bool v) { freeOnClose_ = v; }
  bool Hover() const { return hover_; }
  void SetHover(bool v) { hover_ = v; }
  TColor HoverColor() const { return hoverColor_; }
  void SetHoverColor(TColor c) { hoverColor_ = c; }
  TColor HoverFontColor() const { return hoverFontColor_; }
  void SetHoverFontColor(TColor c) { hoverFontColor_ = c; }
  int32_t FullHeight() const { return fullHeight_; }
  // As a stored form gives it: the extent the panel expands to.
  void SetFullHeight(int32_t h) { fullHeight_ = h; }
  // Paint through an off-screen bitmap.
  bool Buffered() const { return buffered_; }
  void SetBuffered(bool v) { buffered_ = v; }
  // Scales as the framework does, then the caption's height and font.
  void ChangeScale(int32_t m, int32_t d) override;
  TPanelCaption* Caption() const { return caption_.get(); }
  TPanelStatusBar* StatusBar() const { return statusBar_.get(); }
  TPanelPosition* Position() const { return position_.get(); }
  TAdvImage* Background() const { return background_.get(); }
  TCustomImageList* Images() const { return images_; }
  void SetImages(TCustomImageList* images) { images_ = images; }
  TPictureContainer* PictureContainer() const { return pictureContainer_; }
  void SetPictureContainer(TPictureContainer* container) { pictureContainer_ = container; }
  TBitmap* HeaderBitmap() const { return headerBitmap_.get(); }
  bool CloseButtonHot() const { return closeButtonHot_; }
  bool MinMaxButtonHot() const { return minMaxButtonHot_; }
  int32_t HoverLinkIndex() const { return hoverLinkIndex_; }

  TAdvPanelStyler* Styler() const { return styler_; }
  // Takes the styler's settings (unless the form is loading).
  virtual void SetStyler(TAdvPanelStyler* styler);
  // Takes the look of the settings; the panel keeps its own close and collapse buttons.
  virtual void ApplySettings(TAdvPanelSettings* settings);
  void Notification(TComponent* component, TOperation operation) override;

  // Rebuilds the caption's shading into HeaderBitmap.
  virtual void BuildShadedHeader();
  // Re-arranges an enclosing group (the group overrides nothing here).
  virtual void StateChanged() {}
  void SavePosition();
  void LoadPosition();
  // The anchor of the body or caption text at a client point, and its rectangle.
  std::string AnchorAt(int32_t x, int32_t y, RECT& rect);

  TNotifyEvent OnCaptionClick, OnCaptionDBlClick, OnClose, OnMinimize, OnMaximize, OnEndMoveSize,
      OnEndCollapsExpand;
  TAnchorEvent OnAnchorClick, OnAnchorEnter, OnAnchorExit;
  TAnchorHintEvent OnAnchorHint;
  TPaintEvent OnPaint;

  // A contained panel changed its size or state, or is going (a group re-arranges).
  virtual void ChildPanelChanged(TCustomAdvPanel*, bool /*leaving*/) {}

protected:
  void Paint() override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void DblClick() override;
  void AlignControls(TControl* control, RECT& rect) override;
  void Resize() override;

private:
  bool LeftCaption() const { return caption_->Position() == cpLeft; }
  // The end of the caption bar that holds the buttons.
  enum class ButtonEdge { Right, Left, Top, Bottom };
  ButtonEdge CaptionButtonEdge() const;
  // The size of a button's hit square: 12, or the width of its pictures.
  int32_t ButtonSize() const;
  // The extent that collapses: the height, or the width beside a left caption.
  int32_t Extent() const { return LeftCaption() ? Width() : Height(); }
  void SetExtent(int32_t extent);
  // Takes one button's room from the caption end of `c`.
  void TakeButton(RECT& c, int32_t w) const;
  bool InCaptionBand(int32_t x, int32_t y) const;
  void PaintLeftCaptionText(TCanvas* c, RECT a);
  void PaintGlyphButton(TCanvas* c, RECT& a, TBitmap* glyph, bool moves);
  bool PaintPictureBackground(TCanvas* c, const RECT& k);
  void ShowAnchorHint(THintInfo* info);
  // Painting.
  void PaintBody(TCanvas* c, RECT& r);
  void PaintText(TCanvas* c);
  void PaintBackground(TCanvas* c);
  void PaintCaption(TCanvas* c);
  void PaintCaptionBackground(TCanvas* c, RECT k);
  void PaintButtons(TCanvas* c, RECT& a);
  void PaintStatusBar(TCanvas* c);
  void PaintSizeGrip(TCanvas* c);
  TMarkupArgs TextArgs() const;
  RECT BodyTextRect() const;
  // Behaviour.
  RECT CloseSquare() const;
  RECT MinMaxSquare() const;
  RECT CaptionStrip() const;
  void NotifyParentGroup();
  void SetChildrenVisible(bool show);
  void CollapseStep();
  void FinishCollapse();
  void Close();
  std::unique_ptr<TCustomIniFile> OpenPositionStore() const;

  std::string text_;
  TColor colorTo_ = clNone, colorMirror_ = clNone, colorMirrorTo_ = clNone, borderColor_ = clBlack;
  TColor urlColor_ = clBlue, shadowColor_ = clGray, hoverColor_ = clNone, hoverFontColor_ = clNone;
  TColor collapsColor_ = clGray, savedColor_ = clBtnFace;
  bool borderShadow_ = false, canMove_ = false, canSize_ = false, collaps_ = false, collapsing_ = false;
  bool autoHideChildren_ = true, freeOnClose_ = false, hover_ = false, ellipsis_ = false, anchorHint_ = false;
  bool showMoveCursor_ = false, buffered_ = true;
  bool fixedLeft_ = false, fixedTop_ = false, fixedWidth_ = false, fixedHeight_ = false;
  TGradientDirection gradientDirection_ = gdVertical;
  TTextVAlignment textVAlign_ = tvaTop;
  TBackGroundPosition backgroundPosition_ = bpTopLeft;
  int32_t indent_ = 0, topIndent_ = 0, lineSpacing_ = 0, shadowOffset_ = 2;
  int32_t collapsDelay_ = 20, collapsSteps_ = 0, fullHeight_ = 0;
  TCustomImageList* images_ = nullptr;
  TPictureContainer* pictureContainer_ = nullptr;
  TAdvPanelStyler* styler_ = nullptr;
  std::unique_ptr<TPanelCaption> caption_;
  std::unique_ptr<TPanelStatusBar> statusBar_;
  std::unique_ptr<TPanelPosition> position_;
  std::unique_ptr<TAutoSize> autoSize_;
  std::unique_ptr<TAdvImage> background_;
  std::unique_ptr<TBitmap> headerBitmap_;
  std::unique_ptr<THTMLPictureCache> pictureCache_;
  std::vector<TControl*> hiddenChildren_;
  // Hover and buttons.
  int32_t hoverLinkIndex_ = -1, captionHoverLinkIndex_ = -1;
  RECT hoverLinkRect_{-1, -1, -1, -1};
  std::string lastAnchor_;
  TCursor savedCursor_ = crDefault;
  bool closeButtonHot_ = false, minMaxButtonHot_ = false;
  // Moving and sizing by the mouse (client drag).
  enum class Drag { None, Move, Size } drag_ = Drag::None;
  bool sizeWidth_ = false, sizeHeight_ = false, autoSizing_ = false;
  POINT dragStart_{};
  RECT dragBounds_{};
  // The collapse animation.
  std::unique_ptr<TTimer> collapseTimer_;
  int32_t stepsLeft_ = 0, stepSize_ = 0, targetHeight_ = 0;
  bool expanding_ = false;
  bool closing_ = false;
};

class TAdvPanel : public TCustomAdvPanel {
  FORMS_CLASS(TAdvPanel)

public:
  using TCustomAdvPanel::TCustomAdvPanel;
};
