#include "ui/render/gdipfill.h"

#include <cmath>

#include "platform/forms/properties.h"

using namespace AdvSmoothGDIP;

namespace {

void AddRoundRectPath(TFillRoundingType type, TGPGraphicsPath* p, float x, float y, float w, float h, float d,
                      float r) {
  auto topLeft = [&] { p->AddArc(x, y, d, d, 180, 90); };
  auto topRight = [&] { p->AddArc(x + w - d, y, d, d, 270, 90); };
  auto bottomRight = [&] { p->AddArc(x + w - d, y + h - d, d, d, 0, 90); };
  auto bottomLeft = [&] { p->AddArc(x, y + h - d, d, d, 90, 90); };
  switch (type) {
    case rtNone:
      p->AddLine(x, y, x + w, y);
      p->AddLine(x + w, y, x + w, y + h);
      p->AddLine(x + w, y + h, x, y + h);
      p->AddLine(x, y + h, x, y);
      break;
    case rtTop:
      topLeft();
      p->AddLine(x + r, y, x + w - r, y);
      topRight();
      p->AddLine(x + w, y + r, x + w, y + h);
      p->AddLine(x + w, y + h, x, y + h);
      p->AddLine(x, y + h, x, y + r);
      break;
    case rtBottom:
      p->AddLine(x, y, x + w, y);
      p->AddLine(x + w, y, x + w, y + h - r);
      bottomRight();
      p->AddLine(x + w - r, y + h, x + r, y + h);
      bottomLeft();
      p->AddLine(x, y + h - r, x, y);
      break;
    case rtBoth:
      topLeft();
      p->AddLine(x + r, y, x + w - r, y);
      topRight();
      p->AddLine(x + w, y + r, x + w, y + h - r);
      bottomRight();
      p->AddLine(x + w - r, y + h, x + r, y + h);
      bottomLeft();
      p->AddLine(x, y + h - r, x, y + r);
      break;
    case rtLeft:
      topLeft();
      p->AddLine(x + r, y, x + w - r, y);
      p->AddLine(x + w, y, x + w, y + h);
      p->AddLine(x + w - r, y + h, x + r, y + h);
      bottomLeft();
      p->AddLine(x, y + h - r, x, y + r);
      break;
    case rtRight:
      p->AddLine(x, y, x + w - r, y);
      topRight();
      p->AddLine(x + w, y + r, x + w, y + h - r);
      bottomRight();
      p->AddLine(x + w, y + h, x, y + h);
      p->AddLine(x, y + h - r, x, y + r);
      break;
  }
}

// The rounding of the upper (main) and lower (mirror) part of a mirrored fill.
TFillRoundingType PartRounding(TFillRoundingType type, bool mirror) {
  if (type == rtBoth) return mirror ? rtBottom : rtTop;
  if (type == rtTop && mirror) return rtNone;
  if (type == rtBottom && !mirror) return rtNone;
  return type;
}

int32_t Round(float v) { return static_cast<int32_t>(std::nearbyint(v)); }

}  // namespace

TGPGraphicsPath* CreateRoundedFillPath(const GpRectF& r, int32_t radius, TFillRoundingType type) {
  auto* path = new TGPGraphicsPath(FillModeAlternate);
  AddRoundRectPath(type, path, r.X, r.Y, r.Width, r.Height, 2.0f * radius, static_cast<float>(radius));
  path->CloseFigure();
  return path;
}

void FillGDIPGradient(TGPGraphics* g, TGPGraphicsPath* path, const GpRectF& r, TAdvGradientType type, TColor color1,
                      TColor color2, uint8_t alpha1, uint8_t alpha2, int hatch, int32_t angle,
                      TAdvGDIPPicture* texture, bool seam) {
  ARGB c1 = GDIPMakeColor(alpha1, color1), c2 = GDIPMakeColor(alpha2, color2);
  auto fill = [&](const TGPBrush* brush) {
    if (path) g->FillPath(brush, path);
    else g->FillRectangleF(brush, r);
  };
  GpRectF wide{r.X - 1, r.Y - 1, r.Width + 2, r.Height + 2};
  switch (type) {
    case gtSolid: {
      std::unique_ptr<TGPSolidBrush> brush(new TGPSolidBrush(c1));
      fill(brush.get());
      break;
    }
    case gtVertical:
    case gtHorizontal:
    case gtForwardDiagonal:
    case gtBackwardDiagonal: {
      static const int kModes[] = {LinearGradientModeVertical, LinearGradientModeHorizontal,
                                   LinearGradientModeForwardDiagonal, LinearGradientModeBackwardDiagonal};
      std::unique_ptr<TGPLinearGradientBrush> brush(
          TGPLinearGradientBrush::CreateFromRect(wide, c1, c2, kModes[type - gtVertical]));
      brush->SetGammaCorrection(true);
      fill(brush.get());
      if (seam) {
        std::unique_ptr<TGPSolidBrush> line(new TGPSolidBrush(c1));
        g->FillRectangle(line.get(), r.X, r.Y, r.Width, 1);
      }
      break;
    }
    case gtAngle: {
      std::unique_ptr<TGPLinearGradientBrush> brush(
          TGPLinearGradientBrush::CreateFromRectWithAngle(wide, c1, c2, static_cast<float>(angle), true));
      brush->SetGammaCorrection(true);
      fill(brush.get());
      break;
    }
    case gtHatch: {
      std::unique_ptr<TGPHatchBrush> brush(new TGPHatchBrush(hatch, c1, c2));
      fill(brush.get());
      break;
    }
    case gtTexture: {
      if (!texture || !texture->HasData()) break;
      std::unique_ptr<TGPImage> image = DecodeGPImage(texture->Data());
      std::unique_ptr<TGPTextureBrush> brush(new TGPTextureBrush(image.get(), WrapModeTile));
      fill(brush.get());
      break;
    }
    case gtRadial:
    case gtPath:
    case gtNone: break;
  }
}

// ---- TGDIPFill ----

const std::vector<std::string>& AdvGradientTypeNames() {
  static const TEnumNames names = {"gtSolid",           "gtRadial",           "gtVertical", "gtHorizontal",
                                   "gtForwardDiagonal", "gtBackwardDiagonal", "gtAngle",    "gtHatch",
                                   "gtPath",            "gtTexture",          "gtNone"};
  return names;
}

const TClassInfo& TGDIPFill::StaticClassInfo() {
  static const TEnumNames kRounding = {"rtNone", "rtTop", "rtBottom", "rtBoth", "rtLeft", "rtRight"};
  static const TEnumNames kPositions = {"ppTopLeft",   "ppTopCenter",    "ppTopRight",    "ppBottomLeft",
                                        "ppBottomCenter", "ppBottomRight", "ppTiled",     "ppStretched",
                                        "ppCenterLeft", "ppCenterCenter", "ppCenterRight", "ppCustom"};
  static const TEnumNames kSizes = {"psOriginal", "psCustom"};
  static const TEnumNames kModes = {"pmInsideFill", "pmOutsideFill"};
  static const TClassInfo info =
      PublishClass<TGDIPFill>("TGDIPFill", &TPersistent::StaticClassInfo(), [](TPublished<TGDIPFill>& p) {
        using F = TGDIPFill;
        const TIntegerIdents* colors = &ColorIdents();
        p.Integer("Color", &F::Color, &F::SetColor, colors)
            .Integer("ColorTo", &F::ColorTo, &F::SetColorTo, colors)
            .Integer("ColorMirror", &F::ColorMirror, &F::SetColorMirror, colors)
            .Integer("ColorMirrorTo", &F::ColorMirrorTo, &F::SetColorMirrorTo, colors)
            .Enumeration("GradientType", AdvGradientTypeNames(), &F::GradientType, &F::SetGradientType)
            .Enumeration("GradientMirrorType", AdvGradientTypeNames(), &F::GradientMirrorType, &F::SetGradientMirrorType)
            .Integer("HatchStyle", &F::HatchStyle, &F::SetHatchStyle)
            .Integer("HatchStyleMirror", &F::HatchStyleMirror, &F::SetHatchStyleMirror)
            .Enumeration("BackGroundPictureMode", kModes, &F::BackGroundPictureMode, &F::SetBackGroundPictureMode)
            .Object("BackGroundPicture", &F::BackGroundPicture)
            .Enumeration("BackGroundPicturePosition", kPositions, &F::BackGroundPicturePosition,
                         &F::SetBackGroundPicturePosition)
            .Integer("BackGroundPictureLeft", &F::BackGroundPictureLeft, &F::SetBackGroundPictureLeft)
            .Integer("BackGroundPictureTop", &F::BackGroundPictureTop, &F::SetBackGroundPictureTop)
            .Object("Picture", &F::Picture)
            .Enumeration("PicturePosition", kPositions, &F::PicturePosition, &F::SetPicturePosition)
            .Integer("PictureLeft", &F::PictureLeft, &F::SetPictureLeft)
            .Integer("PictureTop", &F::PictureTop, &F::SetPictureTop)
            .Enumeration("PictureSize", kSizes, &F::PictureSize, &F::SetPictureSize)
            .Integer("PictureWidth", &F::PictureWidth, &F::SetPictureWidth)
            .Integer("PictureHeight", &F::PictureHeight, &F::SetPictureHeight)
            .Integer("Opacity", &F::Opacity, &F::SetOpacity)
            .Integer("OpacityTo", &F::OpacityTo, &F::SetOpacityTo)
            .Integer("OpacityMirror", &F::OpacityMirror, &F::SetOpacityMirror)
            .Integer("OpacityMirrorTo", &F::OpacityMirrorTo, &F::SetOpacityMirrorTo)
            .Integer("BorderColor", &F::BorderColor, &F::SetBorderColor, colors)
            .Integer("BorderOpacity", &F::BorderOpacity, &F::SetBorderOpacity)
            .Integer("BorderWidth", &F::BorderWidth, &F::SetBorderWidth)
            .Integer("Rounding", &F::Rounding, &F::SetRounding)
            .Enumeration("RoundingType", kRounding, &F::RoundingType, &F::SetRoundingType)
            .Integer("ShadowColor", &F::ShadowColor, &F::SetShadowColor, colors)
            .Integer("ShadowOffset", &F::ShadowOffset, &F::SetShadowOffset)
            .Integer("Angle", &F::Angle, &F::SetAngle)
            .Event("OnChange", &F::OnChange);
      });
  return info;
}

TGDIPFill::TGDIPFill() : backGroundPicture_(new TAdvGDIPPicture()), picture_(new TAdvGDIPPicture()) {
  backGroundPicture_->OnChange = [this](TObject*) { Changed(); };
  picture_->OnChange = [this](TObject*) { Changed(); };
}

TGDIPFill::~TGDIPFill() = default;

void TGDIPFill::SetBackGroundPicture(TAdvGDIPPicture* picture) {
  if (picture != backGroundPicture_.get()) backGroundPicture_->Assign(picture);
  Changed();
}

void TGDIPFill::SetPicture(TAdvGDIPPicture* picture) {
  if (picture != picture_.get()) picture_->Assign(picture);
  Changed();
}

void TGDIPFill::Assign(const TPersistent* source) {
  auto* s = dynamic_cast<const TGDIPFill*>(source);
  if (!s) return;
  TNotifyEvent notify = std::move(OnChange);
  OnChange = nullptr;
  color_ = s->color_;
  colorTo_ = s->colorTo_;
  colorMirror_ = s->colorMirror_;
  colorMirrorTo_ = s->colorMirrorTo_;
  gradientType_ = s->gradientType_;
  gradientMirrorType_ = s->gradientMirrorType_;
  hatchStyle_ = s->hatchStyle_;
  hatchStyleMirror_ = s->hatchStyleMirror_;
  backGroundPicture_->Assign(s->backGroundPicture_.get());
  backGroundPicturePosition_ = s->backGroundPicturePosition_;
  backGroundPictureLeft_ = s->backGroundPictureLeft_;
  backGroundPictureTop_ = s->backGroundPictureTop_;
  picture_->Assign(s->picture_.get());
  picturePosition_ = s->picturePosition_;
  pictureLeft_ = s->pictureLeft_;
  pictureTop_ = s->pictureTop_;
  pictureSize_ = s->pictureSize_;
  pictureWidth_ = s->pictureWidth_;
  pictureHeight_ = s->pictureHeight_;
  opacity_ = s->opacity_;
  opacityTo_ = s->opacityTo_;
  opacityMirror_ = s->opacityMirror_;
  opacityMirrorTo_ = s->opacityMirrorTo_;
  borderColor_ = s->borderColor_;
  borderWidth_ = s->borderWidth_;
  rounding_ = s->rounding_;
  roundingType_ = s->roundingType_;
  shadowColor_ = s->shadowColor_;
  shadowOffset_ = s->shadowOffset_;
  angle_ = s->angle_;
  borderOpacity_ = s->borderOpacity_;
  backGroundPictureMode_ = s->backGroundPictureMode_;
  OnChange = std::move(notify);
  Changed();
}

void TGDIPFill::FillPart(TGPGraphics* g, const GpRectF& r, const Opacities& o, bool mirror) {
  TAdvGradientType type = mirror ? gradientMirrorType_ : gradientType_;
  TColor c1 = mirror ? colorMirror_ : color_, c2 = mirror ? colorMirrorTo_ : colorTo_;
  if (c1 == clNone) type = gtNone;
  else if (c2 == clNone) type = gtSolid;
  std::unique_ptr<TGPGraphicsPath> path;
  if (rounding_ != 0) {
    TFillRoundingType rounding = colorMirror_ == clNone ? roundingType_ : PartRounding(roundingType_, mirror);
    path.reset(CreateRoundedFillPath(r, rounding_, rounding));
  }
  TAdvGDIPPicture* texture = backGroundPicturePosition_ == ppTiled ? backGroundPicture_.get() : nullptr;
  int smoothing = g->GetSmoothingMode();
  if (path) g->SetSmoothingMode(SmoothingModeAntiAlias);
  FillGDIPGradient(g, path.get(), r, type, c1, c2, mirror ? o.mirror : o.main, mirror ? o.mirrorTo : o.mainTo,
                   mirror ? hatchStyleMirror_ : hatchStyle_, angle_, texture, mirror);
  if (path) g->SetSmoothingMode(smoothing);
}

void TGDIPFill::FillRadialGradient(TGPGraphics* g, const GpRectF& r, TColor c1, uint8_t a1, TColor c2, uint8_t a2,
                                   bool top, TFillRoundingType type) {
  ARGB edge = top ? GDIPMakeColor(a1, c1) : GDIPMakeColor(a2, c2);
  ARGB centre = top ? GDIPMakeColor(a2, c2) : GDIPMakeColor(a1, c1);
  std::unique_ptr<TGPGraphicsPath> path(CreateRoundedFillPath(r, rounding_, type));
  {
    std::unique_ptr<TGPSolidBrush> brush(new TGPSolidBrush(edge));
    g->FillPath(brush.get(), path.get());
  }
  std::unique_ptr<TGPRegion> region(new TGPRegion(path.get()));
  g->SetClip(region.get(), CombineModeReplace);
  std::unique_ptr<TGPGraphicsPath> ellipse(new TGPGraphicsPath(FillModeAlternate));
  ellipse->AddEllipse(r.X, top ? r.Y - r.Height / 2 : r.Y, r.Width, 1.5f * r.Height);
  std::unique_ptr<TGPPathGradientBrush> brush(new TGPPathGradientBrush(ellipse.get()));
  brush->SetCenterPoint(GpPointF{r.X + r.Width / 2, top ? r.Y : r.Y + r.Height});
  brush->SetCenterColor(centre);
  int count = 1;
  brush->SetSurroundColors(&edge, count);
  g->FillRectangleF(brush.get(), r);
  g->ResetClip();
}

void TGDIPFill::DrawFillPicture(TGPGraphics* g, TAdvGDIPPicture* picture, TFillPicturePosition position, int32_t w,
                                int32_t h, const RECT& r, int32_t customLeft, int32_t customTop) {
  if (!picture || picture->Empty()) return;
  int32_t centreX = r.left + (r.right - r.left - w) / 2;
  int32_t centreY = r.top + (r.bottom - r.top - h) / 2;
  RECT t{};
  switch (position) {
    case ppTopLeft: t = {r.left, r.top, r.left + w, r.top + h}; break;
    case ppTopCenter: t = {centreX, r.top, centreX + w, r.top + h}; break;
    case ppTopRight: t = {r.right - w, r.top, r.right, r.top + h}; break;
    case ppBottomLeft: t = {r.left, r.bottom - h, r.left + w, r.bottom}; break;
    case ppBottomCenter: t = {centreX, r.bottom - h, centreX + w, r.bottom}; break;
    case ppBottomRight: t = {r.right - w, r.bottom - h, r.right, r.bottom}; break;
    case ppCenterLeft: t = {r.left, centreY, r.left + w, centreY + h}; break;
    case ppCenterCenter: t = {centreX, centreY, centreX + w, centreY + h}; break;
    case ppCenterRight: t = {r.right - w, centreY, r.right, centreY + h}; break;
    case ppStretched: t = r; break;
    case ppCustom: t = {customLeft, customTop, customLeft + w, customTop + h}; break;
    case ppTiled: return;
  }
  picture->DrawOnGraphics(g, t);
}

void TGDIPFill::DrawBackGround(TGPGraphics* g, const GpRectF& r, const RECT& p, bool clipped) {
  int32_t w = 0, h = 0;
  if (!backGroundPicture_->Empty()) {
    backGroundPicture_->ReadImageSize();
    w = backGroundPicture_->Width();
    h = backGroundPicture_->Height();
  }
  std::unique_ptr<TGPGraphicsPath> path;
  std::unique_ptr<TGPRegion> region;
  if (clipped) {
    path.reset(CreateRoundedFillPath(r, rounding_, roundingType_));
    region.reset(new TGPRegion(path.get()));
    g->SetClip(region.get(), CombineModeReplace);
  }
  DrawFillPicture(g, backGroundPicture_.get(), backGroundPicturePosition_, w, h, p, backGroundPictureLeft_,
                  backGroundPictureTop_);
  if (clipped) g->ResetClip();
}

GpRectF TGDIPFill::Fill(TGPGraphics* g, const GpRectF& rect, uint8_t borderOpacity, uint8_t opacity,
                        uint8_t opacityTo, uint8_t opacityMirror, uint8_t opacityMirrorTo) {
  auto pick = [](uint8_t given, uint8_t property) { return given < 255 ? given : property; };
  Opacities o{pick(borderOpacity, borderOpacity_), pick(opacity, opacity_), pick(opacityTo, opacityTo_),
              pick(opacityMirror, opacityMirror_), pick(opacityMirrorTo, opacityMirrorTo_)};
  GpRectF r = rect;
  bool line = r.Width == 1 || r.Height == 1;
  if (!line && !g) return r;
  auto border = [&]() {
    std::unique_ptr<TGPPen> pen(new TGPPen(GDIPMakeColor(o.border, borderColor_), static_cast<float>(borderWidth_)));
    pen->SetDashStyle(DashStyleSolid);
    return pen;
  };
  if (!line) {
    if (shadowOffset_ > 0 && shadowColor_ != clNone) {
      std::unique_ptr<TGPGraphicsPath> path(CreateRoundedFillPath(r, rounding_, roundingType_));
      std::unique_ptr<TGPPathGradientBrush> brush(new TGPPathGradientBrush(path.get()));
      brush->SetWrapMode(WrapModeClamp);
      ARGB colors[3] = {0, GDIPMakeColor(180, shadowColor_), GDIPMakeColor(180, shadowColor_)};
      float positions[3] = {0.0f, 0.1f, 1.0f};
      brush->SetInterpolationColors(colors, positions, 3);
      g->FillPath(brush.get(), path.get());
      r.Width -= static_cast<float>(shadowOffset_);
      r.Height -= static_cast<float>(shadowOffset_);
    }
    if (gradientType_ == gtHatch || gradientType_ == gtTexture || colorMirror_ == clNone) {
      if (gradientType_ == gtRadial) {
        if (color_ != clNone)
          FillRadialGradient(g, r, color_, o.main, colorTo_ == clNone ? color_ : colorTo_, o.mainTo, true,
                             roundingType_);
      } else {
        FillPart(g, r, o, false);
      }
    } else {
      float half = r.Height / 2;
      GpRectF upper{r.X, r.Y, r.Width, r.Height - half + 1};
      GpRectF lower{r.X, r.Y + half - 1, r.Width, r.Height - half + 1};
      if (gradientType_ == gtRadial) {
        if (color_ != clNone)
          FillRadialGradient(g, upper, color_, o.main, colorTo_ == clNone ? color_ : colorTo_, o.mainTo, true,
                             rtTop);
      } else {
        FillPart(g, upper, o, false);
      }
      if (gradientMirrorType_ == gtRadial) {
        if (colorMirror_ != clNone)
          FillRadialGradient(g, lower, colorMirror_, o.mirror, colorMirrorTo_ == clNone ? colorMirror_ : colorMirrorTo_,
                             o.mirrorTo, false, rtBottom);
      } else {
        FillPart(g, lower, o, true);
      }
    }
  }
  RECT p{Round(r.X), Round(r.Y), Round(r.X) + Round(r.Width), Round(r.Y) + Round(r.Height)};
  if (!line) {
    if (backGroundPictureMode_ == pmInsideFill && gradientType_ == gtTexture) DrawBackGround(g, r, p, true);
    if (borderWidth_ > 0 && borderColor_ != clNone) {
      std::unique_ptr<TGPGraphicsPath> path(CreateRoundedFillPath(r, rounding_, roundingType_));
      g->DrawPath(border().get(), path.get());
    }
  } else if (borderWidth_ > 0 && borderColor_ != clNone && g) {
    g->DrawLine(border().get(), r.X, r.Y, r.X + r.Width, r.Y + r.Height);
  }
  if (!g) return r;
  if (backGroundPictureMode_ == pmOutsideFill && gradientType_ == gtTexture) DrawBackGround(g, r, p, false);
  int32_t w = 0, h = 0;
  if (!picture_->Empty()) {
    picture_->ReadImageSize();
    w = pictureSize_ == psCustom ? pictureWidth_ : picture_->Width();
    h = pictureSize_ == psCustom ? pictureHeight_ : picture_->Height();
  }
  DrawFillPicture(g, picture_.get(), picturePosition_, w, h, p, pictureLeft_, pictureTop_);
  return r;
}
