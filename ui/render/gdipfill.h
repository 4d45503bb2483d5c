// How a GDI+ drawn control paints its body: a main gradient and an optional
// mirror gradient for the lower half, hatch and picture fills, opacity per
// colour, a border, rounded corners per side, a soft drop shadow, a fill
// picture and a background picture.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/forms/classes.h"
#include "ui/render/advsmoothgdip.h"
#include "ui/render/storechanged.h"

namespace AdvSmoothGDIP {
enum TAdvGradientType {
  gtSolid, gtRadial, gtVertical, gtHorizontal, gtForwardDiagonal, gtBackwardDiagonal, gtAngle, gtHatch, gtPath,
  gtTexture, gtNone
};
}  // namespace AdvSmoothGDIP

enum TFillRoundingType { rtNone, rtTop, rtBottom, rtBoth, rtLeft, rtRight };
enum TFillPicturePosition {
  ppTopLeft, ppTopCenter, ppTopRight, ppBottomLeft, ppBottomCenter, ppBottomRight, ppTiled, ppStretched,
  ppCenterLeft, ppCenterCenter, ppCenterRight, ppCustom
};
enum TFillPictureSize { psOriginal, psCustom };
enum TFillPictureMode { pmInsideFill, pmOutsideFill };

// A closed figure of the rectangle with the chosen corners rounded by `radius`.
// The names of the gradient kinds, as stored forms give them.
const std::vector<std::string>& AdvGradientTypeNames();
AdvSmoothGDIP::TGPGraphicsPath* CreateRoundedFillPath(const GpRectF& r, int32_t radius, TFillRoundingType type);
// Fills the path (or r) with a gradient, hatch, texture or solid colour; the
// seam flag draws a 1-pixel line of the first colour along r's top edge.
void FillGDIPGradient(AdvSmoothGDIP::TGPGraphics* g, AdvSmoothGDIP::TGPGraphicsPath* path, const GpRectF& r,
                      AdvSmoothGDIP::TAdvGradientType type, TColor color1, TColor color2, uint8_t alpha1,
                      uint8_t alpha2, int hatch, int32_t angle, AdvSmoothGDIP::TAdvGDIPPicture* texture, bool seam);

class TGDIPFill : public TPersistent {
  FORMS_CLASS(TGDIPFill)

public:
  using TAdvGradientType = AdvSmoothGDIP::TAdvGradientType;
  using TAdvGDIPPicture = AdvSmoothGDIP::TAdvGDIPPicture;

  TGDIPFill();
  ~TGDIPFill() override;
  TGDIPFill(const TGDIPFill&) = delete;
  TGDIPFill& operator=(const TGDIPFill&) = delete;

  // Copies every setting from another fill and notifies once; other sources are ignored.
  void Assign(const TPersistent* source) override;
  // Paints into r; an opacity of 255 takes the property. Answers the
  // rectangle the body took (smaller by the shadow).
  GpRectF Fill(AdvSmoothGDIP::TGPGraphics* graphics, const GpRectF& r, uint8_t borderOpacity = 255,
               uint8_t opacity = 255, uint8_t opacityTo = 255, uint8_t opacityMirror = 255,
               uint8_t opacityMirrorTo = 255);

  VESK_SETTING(TColor, Color, color_, Changed)
  VESK_SETTING(TColor, ColorTo, colorTo_, Changed)
  VESK_SETTING(TColor, ColorMirror, colorMirror_, Changed)
  VESK_SETTING(TColor, ColorMirrorTo, colorMirrorTo_, Changed)
  VESK_SETTING(TAdvGradientType, GradientType, gradientType_, Changed)
  VESK_SETTING(TAdvGradientType, GradientMirrorType, gradientMirrorType_, Changed)
  VESK_SETTING(int32_t, HatchStyle, hatchStyle_, Changed)
  VESK_SETTING(int32_t, HatchStyleMirror, hatchStyleMirror_, Changed)
  VESK_SETTING(TFillPictureMode, BackGroundPictureMode, backGroundPictureMode_, Changed)
  VESK_SETTING(TFillPicturePosition, BackGroundPicturePosition, backGroundPicturePosition_, Changed)
  VESK_SETTING(int32_t, BackGroundPictureLeft, backGroundPictureLeft_, Changed)
  VESK_SETTING(int32_t, BackGroundPictureTop, backGroundPictureTop_, Changed)
  VESK_SETTING(TFillPicturePosition, PicturePosition, picturePosition_, Changed)
  VESK_SETTING(int32_t, PictureLeft, pictureLeft_, Changed)
  VESK_SETTING(int32_t, PictureTop, pictureTop_, Changed)
  VESK_SETTING(TFillPictureSize, PictureSize, pictureSize_, Changed)
  VESK_SETTING(int32_t, PictureWidth, pictureWidth_, Changed)
  VESK_SETTING(int32_t, PictureHeight, pictureHeight_, Changed)
  VESK_SETTING(uint8_t, Opacity, opacity_, Changed)
  VESK_SETTING(uint8_t, OpacityTo, opacityTo_, Changed)
  VESK_SETTING(uint8_t, OpacityMirror, opacityMirror_, Changed)
  VESK_SETTING(uint8_t, OpacityMirrorTo, opacityMirrorTo_, Changed)
  VESK_SETTING(TColor, BorderColor, borderColor_, Changed)
  VESK_SETTING(uint8_t, BorderOpacity, borderOpacity_, Changed)
  VESK_SETTING(int32_t, BorderWidth, borderWidth_, Changed)
  VESK_SETTING(int32_t, Rounding, rounding_, Changed)
  VESK_SETTING(TFillRoundingType, RoundingType, roundingType_, Changed)
  VESK_SETTING(TColor, ShadowColor, shadowColor_, Changed)
  VESK_SETTING(int32_t, ShadowOffset, shadowOffset_, Changed)
  VESK_SETTING(int32_t, Angle, angle_, Changed)

  TAdvGDIPPicture* BackGroundPicture() const { return backGroundPicture_.get(); }
  void SetBackGroundPicture(TAdvGDIPPicture* picture);
  TAdvGDIPPicture* Picture() const { return picture_.get(); }
  void SetPicture(TAdvGDIPPicture* picture);

  TNotifyEvent OnChange;

private:
  void Changed() {
    if (OnChange) OnChange(this);
  }
  struct Opacities {
    uint8_t border, main, mainTo, mirror, mirrorTo;
  };
  void FillPart(AdvSmoothGDIP::TGPGraphics* g, const GpRectF& r, const Opacities& o, bool mirror);
  void FillRadialGradient(AdvSmoothGDIP::TGPGraphics* g, const GpRectF& r, TColor c1, uint8_t a1, TColor c2,
                          uint8_t a2, bool top, TFillRoundingType type);
  void DrawFillPicture(AdvSmoothGDIP::TGPGraphics* g, TAdvGDIPPicture* picture, TFillPicturePosition position,
                       int32_t w, int32_t h, const RECT& r, int32_t customLeft, int32_t customTop);
  void DrawBackGround(AdvSmoothGDIP::TGPGraphics* g, const GpRectF& r, const RECT& p, bool clipped);

  TColor color_ = 0xC0C0C0, colorTo_ = 0x808080, colorMirror_ = clNone, colorMirrorTo_ = clNone;
  TAdvGradientType gradientType_ = AdvSmoothGDIP::gtVertical, gradientMirrorType_ = AdvSmoothGDIP::gtSolid;
  int32_t hatchStyle_ = HatchStyleHorizontal, hatchStyleMirror_ = HatchStyleHorizontal;
  TFillPictureMode backGroundPictureMode_ = pmOutsideFill;
  TFillPicturePosition backGroundPicturePosition_ = ppTopLeft, picturePosition_ = ppTopLeft;
  int32_t backGroundPictureLeft_ = 0, backGroundPictureTop_ = 0, pictureLeft_ = 0, pictureTop_ = 0;
  TFillPictureSize pictureSize_ = psOriginal;
  int32_t pictureWidth_ = 50, pictureHeight_ = 50;
  uint8_t opacity_ = 255, opacityTo_ = 255, opacityMirror_ = 255, opacityMirrorTo_ = 255;
  TColor borderColor_ = clNone;
  uint8_t borderOpacity_ = 255;
  int32_t borderWidth_ = 1, rounding_ = 0;
  TFillRoundingType roundingType_ = rtBoth;
  TColor shadowColor_ = 0x808080;
  int32_t shadowOffset_ = 0, angle_ = 0;
  std::unique_ptr<TAdvGDIPPicture> backGroundPicture_, picture_;
};
