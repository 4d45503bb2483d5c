// A label that shows a markup text with anchors that change the cursor,
// optionally highlight when hovered, raise events and open web and mail
// addresses; with a colour or gradient background, a gradient line,
// bevels, a border, vertical alignment and sizing to its text.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/forms/imglist.h"
#include "platform/forms/stdctrls.h"
#include "platform/rtl/stringlist.h"
#include "ui/render/htmlengine.h"
#include "ui/render/htmlpicture.h"
#include "ui/render/storechanged.h"

using TVAlignment = TTextVAlignment;
enum TAutoSizeType { asVertical, asHorizontal, asBoth };
enum TGradientType { gtFullHorizontal, gtFullVertical, gtBottomLine, gtCenterLine, gtTopLine };

using TAnchorClick = std::function<void(TObject* sender, const std::string& anchor)>;
// Lets the handler change the target shown as an anchor's hint.
using TAnchorHintEvent = std::function<void(TObject* sender, std::string& anchor)>;

class THTMLabel : public TCustomLabel {
  FORMS_CLASS(THTMLabel)

public:
  explicit THTMLabel(TComponent* owner);
  ~THTMLabel() override;

  // The lines, joined with one blank each.
  TStringList* HTMLText() const { return htmlText_.get(); }
  // Takes the lines with their line breaks removed, joined with nothing.
  void SetHTMLText(const TStrings* lines);
  std::string GetDisplayText() const;
  uint32_t GetVersionNumber() const { return 0x01080002; }
  std::string Version() const;
  void SetVersion(const std::string&) {}

  VESK_SETTING(TColor, URLColor, urlColor_, Invalidate)
  VESK_SETTING(TColor, ShadowColor, shadowColor_, Invalidate)
  VESK_SETTING(int32_t, ShadowOffset, shadowOffset_, Invalidate)
  VESK_SETTING(TVAlignment, VAlignment, vAlignment_, Invalidate)
  VESK_SETTING(bool, Ellipsis, ellipsis_, Invalidate)
  VESK_SETTING(TColor, ColorTo, colorTo_, Invalidate)
  VESK_SETTING(TColor, BorderColor, borderColor_, Invalidate)
  VESK_SETTING(TGradientType, GradientType, gradientType_, Invalidate)
  VESK_SETTING(int32_t, LineSpacing, lineSpacing_, Invalidate)
  VESK_SETTING(int32_t, LineWidth, lineWidth_, Invalidate)
  VESK_SETTING(TBevelCut, BevelInner, bevelInner_, Invalidate)
  VESK_SETTING(TBevelCut, BevelOuter, bevelOuter_, Invalidate)
  VESK_SETTING(int32_t, BevelWidth, bevelWidth_, Invalidate)
  VESK_SETTING(int32_t, BorderWidth, borderWidth_, Invalidate)
  VESK_SETTING(TBorderStyle, BorderStyle, borderStyle_, Invalidate)
  bool Hover() const { return hover_; }
  void SetHover(bool v) { hover_ = v; }
  // The hint over an anchor shows its target; elsewhere, with HintShowFull,
  // the label's text (its markup with HTMLHint, else the plain text).
  bool AnchorHint() const { return anchorHint_; }
  void SetAnchorHint(bool v) { anchorHint_ = v; }
  bool HintShowFull() const { return hintShowFull_; }
  void SetHintShowFull(bool v) { hintShowFull_ = v; }
  bool HTMLHint() const { return htmlHint_; }
  void SetHTMLHint(bool v) { htmlHint_ = v; }
  TColor HoverColor() const { return hoverColor_; }
  void SetHoverColor(TColor c) { hoverColor_ = c; }
  TColor HoverFontColor() const { return hoverFontColor_; }
  void SetHoverFontColor(TColor c) { hoverFontColor_ = c; }
  bool AutoSizing() const { return autoSizing_; }
  void SetAutoSizing(bool v);
  TAutoSizeType AutoSizeType() const { return autoSizeType_; }
  void SetAutoSizeType(TAutoSizeType t) {
    autoSizeType_ = t;
    SetAutoSizing(autoSizing_);
  }
  TCustomImageList* Images() const { return images_; }
  void SetImages(TCustomImageList* images);
  TPictureContainer* PictureContainer() const { return pictureContainer_; }
  void SetPictureContainer(TPictureContainer* c);
  int32_t HoverLink() const { return hoverLink_; }

  // The anchor under a client point, where the text is drawn.
  std::string AnchorAt(int32_t x, int32_t y, RECT& linkRect);
  void Notification(TComponent* component, TOperation operation) override;
  void Loaded() override;
  // Renders the markup as the label does (no focused anchor, wrapping unless
  // Ellipsis, the label's line spacing and pictures) and remembers the size
  // it measured.
  virtual TMarkupResult DrawMarkup(TCanvas* canvas, const std::string& text, const RECT& rect, TMarkupArgs args);
  int32_t MeasuredWidth() const { return measuredWidth_; }
  int32_t MeasuredHeight() const { return measuredHeight_; }

  TAnchorClick OnAnchorClick, OnAnchorEnter, OnAnchorExit;
  TAnchorHintEvent OnAnchorHint;

protected:
  void Paint() override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void WndProc(TMessage& message) override;

private:
  RECT TextRect() const;
  void RepaintRect(const RECT& r);
  void FillHint(THintInfo* info);
  RECT PlaceText(TCanvas* c, POINT mouse, bool resize);
  POINT MousePoint() const;
  TMarkupArgs Args(int32_t x, int32_t y) const;
  void PaintBackground(TCanvas* c, RECT r);

  std::unique_ptr<TStringList> htmlText_;
  std::unique_ptr<THTMLPictureCache> cache_;
  TCustomImageList* images_ = nullptr;
  TPictureContainer* pictureContainer_ = nullptr;
  TColor urlColor_ = clBlue, shadowColor_ = clGray, colorTo_ = clNone, borderColor_ = clBlack;
  TColor hoverColor_ = clNone, hoverFontColor_ = clNone;
  int32_t shadowOffset_ = 2, lineSpacing_ = 0, lineWidth_ = 2, bevelWidth_ = 1, borderWidth_ = 0;
  TVAlignment vAlignment_ = tvaTop;
  TAutoSizeType autoSizeType_ = asVertical;
  TGradientType gradientType_ = gtFullHorizontal;
  TBevelCut bevelInner_ = bvNone, bevelOuter_ = bvNone;
  TBorderStyle borderStyle_ = bsNone;
  bool ellipsis_ = false, hover_ = false, autoSizing_ = false;
  bool anchorHint_ = false, hintShowFull_ = false, htmlHint_ = false;
  TChangeLink imageLink_;
  int32_t hoverLink_ = -1;
  int32_t measuredWidth_ = 0, measuredHeight_ = 0;
  // The anchor last seen under the mouse: target, number and rectangle.
  std::string lastAnchor_;
  int32_t lastLink_ = -1;
  RECT lastRect_{-1, -1, -1, -1};
  TCursor savedCursor_ = crDefault;
};
