// TIEBitmap: rotation of image and alpha channel together, and loading
// through a temporary I/O component.
#include <cmath>
#include <memory>

#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/io/imageryio.h"
#include "imaging/processing/imageryproc.h"
#include "platform/rtl/resources.h"

void TIEBitmap::RotateByAngle(int32_t antialias, TIEColor background, double angle,
                              const std::function<void(TObject*, int32_t)>& onProgress, TObject* sender) {
  std::unique_ptr<TIEBitmap> alpha;
  if (alphaChannel_) {
    alpha = std::make_unique<TIEBitmap>();
    alpha->Assign(alphaChannel_);
  }
  const TIEPixelFormat format = GetPixelFormat();
  const bool wholeTurns = angle == std::trunc(angle) && std::fmod(angle, 90.0) == 0;
  if (antialias == 0 || (format != ie24RGB && format != ie1g)) {
    if (alpha) IERotateNearest(alpha.get(), 0, nullptr, angle, {});
    IERotateNearest(this, static_cast<double>(background), sender, angle, onProgress);
  } else if (wholeTurns || antialias == 1 || format == ie1g) {
    // Three shears with blending; quarter turns are exact on this path too.
    if (alpha) {
      if (format == ie1g)
        IERotate8BitNearest(alpha.get(), 0, angle);
      else
        IERotate8Bit(alpha.get(), true, 0, angle, {}, nullptr);
    }
    TRGB rgb;
    IEColorToRGB(background, rgb);
    IERotate24Bit(this, true, sender, angle, rgb, onProgress);
  } else {
    const int32_t interpolation = antialias == 3 ? 3 : 2;
    if (alpha) IERotateInterpolated8(alpha.get(), 0, interpolation, angle);
    IERotateInterpolated(this, static_cast<TColor>(background), interpolation, angle, onProgress, sender);
  }
  if (alpha) GetAlphaChannel()->Assign(alpha.get());
}

bool TIEBitmap::LoadFromStreamFormat(TStream& stream, int32_t fileFormat, TIOParamsVals* params) {
  std::unique_ptr<TImageryIO> io(TImageryIO::CreateFromBitmap(this));
  if (params) io->Params().Assign(*params);
  io->LoadFromStreamFormat(stream, fileFormat);
  if (params) params->Assign(io->Params());
  return !io->Aborting();
}

bool TIEBitmap::LoadFromResource(HINSTANCE instance, const TResourceName& resource, const TResourceName& type,
                                 int32_t fileFormat) {
  TResourceStream stream(instance, resource, type);
  return LoadFromStreamFormat(stream, fileFormat, nullptr);
}
