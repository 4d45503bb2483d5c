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
  // Quarter turns are exact copies whatever the antialias.
  if (antialias == 0 || format != ie24RGB || std::fmod(angle, 90.0) == 0) {
    if (alpha) IERotateNearest(alpha.get(), 0, nullptr, angle, {});
    IERotateNearest(this, background, sender, angle, onProgress);
  } else {
    const int32_t interpolation = antialias == 3 ? 3 : 2;
    if (alpha) IERotateInterpolated8(alpha.get(), 0, interpolation, angle);
    IERotateInterpolated(this, background, interpolation, angle, onProgress, sender);
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
