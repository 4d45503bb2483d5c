// A container painted entirely with GDI+: a body described by a fill
// (rounded corners, soft shadow), a caption text drawn with a gradient,
// hatch or picture brush and underlined by a line, and an optional markup
// caption with clickable anchors. The parent shows through around the
// rounded body.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/forms/controls.h"
#include "platform/forms/imglist.h"
#include "ui/controls/parentbackground.h"
#include "ui/render/gdipfill.h"
#include "ui/render/gdippicturecontainer.h"
#include "ui/render/htmlengine.h"
#include "ui/render/storechanged.h"

enum TAdvSmoothPanelLocation {
  plTopLeft, plTopCenter, plTopRight, plCenterLeft, plCenterCenter, plCenterRight, plBottomLeft, plBottomCenter,
  plBottomRight, plCustom
};

class TAdvSmoothPanel;

class TAdvSmoothPanelCaption : public TPersistent {
  FORMS_CLASS(TAdvSmoothPanelCaption)

public:
  using TAdvGradientType = AdvSmoothGDIP::TAdvGradientType;
  explicit TAdvSmoothPanelCaption(TAdvSmoothPanel* owner);
  ~TAdvSmoothPanelCaption() override;

  // Copies every setting (LineColor included) from another caption and repaints once.
  void Assign(const TPersistent* source) override;

  VESK_SETTING(const std::string&, Text, text_, Changed)
  VESK_SETTING(TAdvSmoothPanelLocation, Location, location_, Changed)
  VESK_SETTING(int32_t, HatchStyle, hatchStyle_, Changed)
  VESK_SETTING(const std::string&, HTMLText, htmlText_, Changed)
  VESK_SETTING(TAdvSmoothPanelLocation, HTMLLocation, htmlLocation_, Changed)
  VESK_SETTING(int32_t, HTMLLeft, htmlLeft_, Changed)
  VESK_SETTING(int32_t, HTMLTop, htmlTop_, Changed)
  VESK_SETTING(TColor, HTMLURLColor, htmlURLColor_, Changed)
  VESK_SETTING(TColor, HTMLShadowColor, htmlShadowColor_, Changed)
  VESK_SETTING(int32_t, HTMLShadowOffset, htmlShadowOffset_, Changed)
  VESK_SETTING(int32_t, Left, left_, Changed)
  VESK_SETTING(int32_t, Top, top_, Changed)
  VESK_SETTING(TColor, ColorStart, colorStart_, Changed)
  VESK_SETTING(TColor, ColorEnd, colorEnd_, Changed)
  VESK_SETTING(uint8_t, OpacityStart, opacityStart_, Changed)
  VESK_SETTING(uint8_t, OpacityEnd, opacityEnd_, Changed)
  VESK_SETTING(TAdvGradientType, GradientType, gradientType_, Changed)
  VESK_SETTING(bool, Line, line_, Changed)
  TColor LineColor() const { return lineColor_; }
  virtual void SetLineColor(TColor color) {
    if (StoreChanged(lineColor_, color)) Changed();
  }
  TFont* Font() const { return font_.get(); }
  void SetFont(TFont* font);
  TFont* HTMLFont() const { return htmlFont_.get(); }
  void SetHTMLFont(TFont* font);
  AdvSmoothGDIP::TAdvGDIPPicture* Picture() const { return picture_.get(); }
  void SetPicture(AdvSmoothGDIP::TAdvGDIPPicture* picture);

  TNotifyEvent OnChange;

private:
  void Changed();
  TAdvSmoothPanel* owner_;
  std::string text_, htmlText_;
  TAdvSmoothPanelLocation location_ = plTopLeft, htmlLocation_ = plCenterCenter;
  int32_t hatchStyle_ = HatchStyleHorizontal;
  int32_t htmlLeft_ = 0, htmlTop_ = 0, htmlShadowOffset_ = 5, left_ = 0, top_ = 0;
  TColor htmlURLColor_ = clBlue, htmlShadowColor_ = clGray;
  TColor colorStart_ = clWhite, colorEnd_ = clSilver, lineColor_ = 0xB0721C;
  uint8_t opacityStart_ = 255, opacityEnd_ = 255;
  TAdvGradientType gradientType_ = AdvSmoothGDIP::gtVertical;
  bool line_ = true;
  std::unique_ptr<TFont> font_, htmlFont_;
  std::unique_ptr<AdvSmoothGDIP::TAdvGDIPPicture> picture_;
};

using TAdvSmoothPanelAnchorClickEvent = std::function<void(TObject* sender, const std::string& anchor)>;
using TAdvSmoothPanelDrawEvent = std::function<void(TObject* sender, TCanvas* canvas, RECT rect)>;

class TAdvSmoothPanel : public TCustomControl, public IStylePreset {
  FORMS_CLASS(TAdvSmoothPanel)

public:
  explicit TAdvSmoothPanel(TComponent* owner);
  ~TAdvSmoothPanel() override;

  void Assign(const TPersistent* source) override;
  void ApplyStylePreset(int32_t style) override;
  // The target of the markup caption's anchor at a client point; empty when none.
  std::string AnchorAt(int32_t x, int32_t y);
  virtual void DrawPanel(AdvSmoothGDIP::TGPGraphics* graphics);
  virtual uint32_t GetVersionNumber() const { return 0x01000600; }
  std::string Version() const { return VersionString(GetVersionNumber()); }
  void SetVersion(const std::string&) {}

  TAdvSmoothPanelCaption* Caption() const { return caption_.get(); }
  void SetCaption(TAdvSmoothPanelCaption* caption);
  TGDIPFill* Fill() const { return fill_.get(); }
  void SetFill(TGDIPFill* fill);
  TCustomImageList* Images() const { return images_; }
  void SetImages(TCustomImageList* images) { images_ = images; }
  TGDIPPictureContainer* PictureContainer() const { return pictureContainer_; }
  void SetPictureContainer(TGDIPPictureContainer* container);
  void SetPanelCursor(TCursor cursor);
  RECT HTMLCaptionRect() const { return htmlRect_; }
  // The caption and fill repaint the panel on every change.
  void CaptionChanged() { Invalidate(); }

  TAdvSmoothPanelAnchorClickEvent OnAnchorClick;
  TAdvSmoothPanelDrawEvent OnDraw;

  // Where a w x h box goes in A by location (plCustom: x and y unchanged).
  static void GetPosition(const GpRectF& a, int32_t w, int32_t h, TAdvSmoothPanelLocation location, int32_t& x,
                          int32_t& y);

protected:
  void Paint() override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void Notification(TComponent* component, TOperation operation) override;
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;

private:
  int32_t ShadowOffset() const;
  float DrawCaptionText(AdvSmoothGDIP::TGPGraphics* g, const GpRectF& body);
  TMarkupArgs HTMLArgs() const;

  std::unique_ptr<TAdvSmoothPanelCaption> caption_;
  std::unique_ptr<TGDIPFill> fill_;
  TCustomImageList* images_ = nullptr;
  TGDIPPictureContainer* pictureContainer_ = nullptr;
  TCursor savedCursor_ = crDefault;
  bool overAnchor_ = false;
  RECT htmlRect_{};
  bool placedInDesigner_ = false;  // dropped on a form in the designer, not read from a stored one
  bool windowMade_ = false;
};
