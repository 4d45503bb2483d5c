// The JPEG 2000 writer; see iej2000.h.
#include <algorithm>
#include <vector>

#include "imaging/core/iesettings.h"
#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/io/iej2000.h"
#include "imaging/io/iej2000_internal.h"
#include "imaging/io/imageryio_params.h"
#include "imaging/io/imageryio_registry.h"
#include "platform/rtl/streams.h"

namespace {

using namespace iej2000;

bool IsGreyFormat(TIEPixelFormat format) { return format == ie1g || format == ie8g || format == ie16Gray; }

// The opacity component goes along when the alpha channel is not all opaque.
bool WritesAlpha(TIEBitmap& bitmap) { return bitmap.HasAlphaChannel() && !bitmap.PeekAlphaChannel()->FullFlag(); }

TImage MakeImage(int32_t width, int32_t height, int32_t components, int32_t bits, bool grey) {
  std::vector<opj_image_cmptparm_t> parts(static_cast<size_t>(components));
  for (opj_image_cmptparm_t& part : parts) {
    part = {};
    part.dx = part.dy = 1;
    part.w = static_cast<OPJ_UINT32>(width);
    part.h = static_cast<OPJ_UINT32>(height);
    part.prec = static_cast<OPJ_UINT32>(bits);
  }
  TImage image(opj_image_create(static_cast<OPJ_UINT32>(components), parts.data(),
                                grey ? OPJ_CLRSPC_GRAY : OPJ_CLRSPC_SRGB));
  if (!image) return image;
  image->x0 = image->y0 = 0;
  image->x1 = static_cast<OPJ_UINT32>(width);
  image->y1 = static_cast<OPJ_UINT32>(height);
  if (components == 4) image->comps[3].alpha = 1;
  return image;
}

// Row y of the grey component from the bitmap's format.
void GreySamples(TIEBitmap& bitmap, int32_t y, int32_t maxValue, OPJ_INT32* out) {
  const int32_t width = bitmap.GetWidth();
  const uint8_t* row = bitmap.GetScanline(y);
  const TIEImageryGlobalSettings& s = *IEGetGlobalSettings();
  switch (bitmap.GetPixelFormat()) {
    case ie24RGB:
      for (int32_t x = 0; x < width; ++x) {
        const uint8_t* p = row + 3 * x;
        const int32_t g = (p[2] * s.GrayWeightRed + p[1] * s.GrayWeightGreen + p[0] * s.GrayWeightBlue) / 100;
        out[x] = g * maxValue / 255;
      }
      break;
    case ie8g:
      for (int32_t x = 0; x < width; ++x) out[x] = row[x];
      break;
    case ie16Gray:
      for (int32_t x = 0; x < width; ++x) out[x] = reinterpret_cast<const uint16_t*>(row)[x];
      break;
    default:
      for (int32_t x = 0; x < width; ++x) out[x] = (row[x >> 3] >> (7 - (x & 7))) & 1;
      break;
  }
}

// Row y of the red, green, blue (and opacity) components of an ie24RGB bitmap.
void ColourSamples(TIEBitmap& bitmap, int32_t y, int32_t maxValue, opj_image_t& image) {
  const int32_t width = bitmap.GetWidth();
  const uint8_t* row = bitmap.GetScanline(y);
  const size_t at = static_cast<size_t>(y) * static_cast<size_t>(width);
  for (int32_t x = 0; x < width; ++x)
    for (int32_t c = 0; c < 3; ++c)
      image.comps[c].data[at + static_cast<size_t>(x)] = row[3 * x + 2 - c] * maxValue / 255;
  if (image.numcomps < 4) return;
  const uint8_t* alpha = bitmap.GetAlphaChannel()->GetScanline(y);
  for (int32_t x = 0; x < width; ++x)
    image.comps[3].data[at + static_cast<size_t>(x)] = alpha[x] * maxValue / 255;
}

// False when the abort flag ended the rows.
bool FillImage(TIEBitmap& bitmap, opj_image_t& image, bool grey, int32_t maxValue, TIEProgressRecord& progress) {
  const int32_t width = bitmap.GetWidth(), height = bitmap.GetHeight();
  for (int32_t y = 0; y < height; ++y) {
    if (grey)
      GreySamples(bitmap, y, maxValue, image.comps[0].data + static_cast<size_t>(y) * static_cast<size_t>(width));
    else
      ColourSamples(bitmap, y, maxValue, image);
    if (progress.fOnProgress) progress.Report(static_cast<int32_t>(int64_t{y} * 100 / height));
    if (progress.Aborted()) return false;
  }
  return true;
}

// One layer: lossy (irreversible) at the ratio 1/rate for a rate in (0, 1),
// else lossless (reversible); the progression of J2000_SCALABLEBY.
void SetCoding(opj_cparameters_t& p, const TIOParamsVals& params, const opj_image_t& image) {
  opj_set_default_encoder_parameters(&p);
  p.tcp_numlayers = 1;
  p.cp_disto_alloc = 1;
  const double rate = params.J2000_RATE;
  const bool lossy = rate > 0 && rate < 1;
  p.tcp_rates[0] = lossy ? static_cast<float>(1 / rate) : 0;
  p.irreversible = lossy ? 1 : 0;
  if (params.J2000_SCALABLEBY == 0) p.prog_order = OPJ_LRCP;
  if (params.J2000_SCALABLEBY == 1) p.prog_order = OPJ_RLCP;
  p.tcp_mct = image.numcomps >= 3 ? 1 : 0;
  // Every resolution level needs at least one sample each way.
  const OPJ_UINT32 side = std::min(image.x1, image.y1);
  int32_t levels = 1;
  while (levels < p.numresolution && (side >> levels) > 0) ++levels;
  p.numresolution = levels;
}

bool Encode(TStream& stream, opj_image_t& image, const TIOParamsVals& params, int32_t format) {
  opj_cparameters_t coding;
  SetCoding(coding, params, image);
  TCodec codec = MakeEncoder(format == 0 ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K);
  if (!codec || !opj_setup_encoder(codec.get(), &coding, &image)) return false;
  TIEBufferedWriteStream out(stream, 8192);
  TOpjStream target = MakeWriteStream(out);
  return target && opj_start_compress(codec.get(), &image, target.get()) && opj_encode(codec.get(), target.get()) &&
         opj_end_compress(codec.get(), target.get());
}

}  // namespace

void IEWriteJpeg2000Stream(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress,
                           int32_t format) {
  IEInitJpeg2000();
  const int32_t width = bitmap.GetWidth(), height = bitmap.GetHeight();
  const TIEPixelFormat pixelFormat = bitmap.GetPixelFormat();
  if (IsGreyFormat(pixelFormat)) {
    params.BITSPERSAMPLE = pixelFormat == ie1g ? 1 : pixelFormat == ie8g ? 8 : 16;
    params.J2000_COLORSPACE = 0;
  }
  if ((!IsGreyFormat(pixelFormat) && pixelFormat != ie24RGB) || params.J2000_COLORSPACE > 2 || width <= 0 ||
      height <= 0 || !Libraries().Available())
    return progress.Abort();
  const int32_t bits = params.BITSPERSAMPLE >= 1 && params.BITSPERSAMPLE <= 16 ? params.BITSPERSAMPLE : 8;
  const bool grey = params.J2000_COLORSPACE == 0;
  const int32_t components = grey ? 1 : WritesAlpha(bitmap) ? 4 : 3;
  TImage image = MakeImage(width, height, components, bits, grey);
  if (!image || !FillImage(bitmap, *image, grey, (1 << bits) - 1, progress) ||
      !Encode(stream, *image, params, format))
    progress.Abort();
}
