// The secondary GDI+ wrapper set used by the glass button and the hint
// picture: the same thin classes as the primary set, with the secondary
// set's own GDI+ session, a graphics whose FillRectangle forwards every
// call unchecked, and the picture TGDIPPicture.
#pragma once

#include "ui/render/advsmoothgdip.h"

namespace AdvGDIP {

using AdvSmoothGDIP::GDIPMakeARGB;
using AdvSmoothGDIP::GDIPMakeRectF;
using AdvSmoothGDIP::TGdiplusBase;
using AdvSmoothGDIP::TGPBrush;
using AdvSmoothGDIP::TGPFont;
using AdvSmoothGDIP::TGPFontFamily;
using AdvSmoothGDIP::TGPGraphicsPath;
using AdvSmoothGDIP::TGPImage;
using AdvSmoothGDIP::TGPLinearGradientBrush;
using AdvSmoothGDIP::TGPPathGradientBrush;
using AdvSmoothGDIP::TGPPen;
using AdvSmoothGDIP::TGPRegion;
using AdvSmoothGDIP::TGPSolidBrush;
using AdvSmoothGDIP::TGPStringFormat;

class TGPGraphics : public AdvSmoothGDIP::TGPGraphics {
public:
  explicit TGPGraphics(HDC dc) : AdvSmoothGDIP::TGPGraphics(dc) {}
  // Forwards to GDI+ without the primary set's checks.
  GpStatus FillRectangle(const TGPBrush* brush, float x, float y, float width, float height) {
    return ForwardFillRectangle(brush, x, y, width, height);
  }
};

AdvSmoothGDIP::TGdiplusSession& SecondarySession();

// Encoded picture bytes drawn through GDI+; the size comes from decoding.
class TGDIPPicture : public AdvSmoothGDIP::TGPPictureBase {
  FORMS_CLASS(TGDIPPicture)

public:
  // Any given stream is taken, also one of size 0.
  void LoadFromStream(TStream& stream) override;
  // The form reader: bytes only, the size is not read.
  void ReadData(TStream* stream);
  std::unique_ptr<TGraphic> NewOfSameClass() const override { return std::make_unique<TGDIPPicture>(); }
};

}  // namespace AdvGDIP
