// The JPEG 2000 reader; see iej2000.h.
//
// Sections: colour model | samples and grid | rows | reading
#include <algorithm>
#include <cstring>
#include <vector>

#include "imaging/core/iesettings.h"
#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/io/iej2000.h"
#include "imaging/io/iej2000_internal.h"
#include "imaging/io/imageryio_params.h"
#include "imaging/io/imageryio_registry.h"
#include "imaging/processing/imageryproc.h"
#include "platform/rtl/streams.h"

namespace {

using namespace iej2000;

// Samples OpenJPEG may hold for one read: its 32-bit buffers of the decoded
// components stay below 1 GiB, and a code stream may stand for no more
// than 2^19 samples a byte (an all-black image of 4096 x 4096 pixels codes
// at about 2^17 a byte in grey, 2^18 in colour).
constexpr int64_t kMaxSamples = int64_t{1} << 28;
constexpr int64_t kSamplesPerByte = int64_t{1} << 19;

// ---- colour model ----------------------------------------------------------------

enum class TModel { Grey, RGB, YCbCr };

struct TLayout {
  TModel model = TModel::Grey;
  std::vector<OPJ_UINT32> used;  // component indexes: Y, or R/Y, G/Cb, B/Cr
};

// The colour components in their order; opacity components are left out.
std::vector<OPJ_UINT32> ColourComponents(const opj_image_t& image) {
  std::vector<OPJ_UINT32> colour;
  for (OPJ_UINT32 i = 0; i < image.numcomps; ++i)
    if (image.comps[i].alpha == 0) colour.push_back(i);
  return colour;
}

// The model and the components it reads; false for other colour spaces.
bool SelectLayout(const opj_image_t& image, TLayout& layout) {
  std::vector<OPJ_UINT32> colour = ColourComponents(image);
  const bool unspecified =
      image.color_space == OPJ_CLRSPC_UNSPECIFIED || image.color_space == OPJ_CLRSPC_UNKNOWN;
  if (image.color_space == OPJ_CLRSPC_GRAY || (unspecified && colour.size() < 3))
    layout.model = TModel::Grey;
  else if (image.color_space == OPJ_CLRSPC_SRGB || unspecified)
    layout.model = TModel::RGB;
  else if (image.color_space == OPJ_CLRSPC_SYCC)
    layout.model = TModel::YCbCr;
  else
    return false;
  const size_t count = layout.model == TModel::Grey ? 1 : 3;
  if (colour.size() < count) return false;
  colour.resize(count);
  layout.used = std::move(colour);
  for (OPJ_UINT32 i : layout.used)
    if (image.comps[i].prec < 1 || image.comps[i].prec > 31) return false;
  return true;
}

TIEPixelFormat PixelFormatFor(TIEBitmap& bitmap, TModel model, int32_t bits) {
  if (bitmap.Location() == ieTBitmap) return bits == 1 && model == TModel::Grey ? ie1g : ie24RGB;
  if (model != TModel::Grey) return ie24RGB;
  if (bits == 1) return ie1g;
  if (bits == 8) return ie8g;
  return bits > 8 ? ie16Gray : ie24RGB;
}

// The components to decode: the used ones alone where that changes nothing,
// which is a code stream without the colour transform (OpenJPEG applies
// neither the transform nor a JP2 file's channel boxes to a subset).
std::vector<OPJ_UINT32> ToDecode(opj_codec_t* codec, const opj_image_t& image, const TLayout& layout, bool jp2) {
  opj_codestream_info_v2_t* info = jp2 ? nullptr : opj_get_cstr_info(codec);
  const bool subset = info && info->m_default_tile_info.mct == 0;
  if (info) opj_destroy_cstr_info(&info);
  if (subset) return layout.used;
  std::vector<OPJ_UINT32> all(image.numcomps);
  for (OPJ_UINT32 i = 0; i < image.numcomps; ++i) all[i] = i;
  return all;
}

// The decoded components fit the bounds above.
bool WithinBounds(const opj_image_t& image, const std::vector<OPJ_UINT32>& decoded, int64_t codedBytes) {
  int64_t samples = 0;
  for (OPJ_UINT32 i : decoded) samples += int64_t{image.comps[i].w} * image.comps[i].h;
  return samples <= kMaxSamples && samples <= std::max<int64_t>(codedBytes, 1) * kSamplesPerByte;
}

// ---- samples and grid -----------------------------------------------------------------

// One decoded component as the rows read it: the sample of each bitmap
// column, and of each bitmap row, through index tables built from the
// component's offset and step on the reference grid.
class TPlane {
public:
  TPlane(const opj_image_t& image, const opj_image_comp_t& comp, int32_t width, int32_t height)
      : comp_(comp),
        offset_(comp.sgnd ? int64_t{1} << (comp.prec - 1) : 0),
        max_((int64_t{1} << comp.prec) - 1),
        columns_(Table(image.x0, comp.dx, comp.x0, comp.w, width)),
        rows_(Table(image.y0, comp.dy, comp.y0, comp.h, height)) {}

  // The samples of bitmap row y, unsigned, at the component's precision.
  const int32_t* Row(int32_t y) const { return comp_.data + int64_t{rows_[static_cast<size_t>(y)]} * comp_.w; }
  uint32_t Sample(const int32_t* row, int32_t x) const {
    return static_cast<uint32_t>(std::clamp<int64_t>(row[columns_[static_cast<size_t>(x)]] + offset_, 0, max_));
  }
  // The top 8 or 16 of the sample's bits.
  uint8_t Sample8(const int32_t* row, int32_t x) const {
    return static_cast<uint8_t>((uint64_t{Sample(row, x)} << (32 - comp_.prec)) >> 24);
  }
  uint16_t Sample16(const int32_t* row, int32_t x) const {
    return static_cast<uint16_t>((uint64_t{Sample(row, x)} << (32 - comp_.prec)) >> 16);
  }

private:
  // Index of the component sample under each of `count` bitmap positions;
  // positions off the component take its first sample.
  static std::vector<int32_t> Table(OPJ_UINT32 imageStart, OPJ_UINT32 step, OPJ_UINT32 compStart, OPJ_UINT32 size,
                                    int32_t count) {
    std::vector<int32_t> table(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) {
      const int64_t index = (int64_t{imageStart} + i) / step - compStart;
      table[static_cast<size_t>(i)] = index < 0 || index >= size ? 0 : static_cast<int32_t>(index);
    }
    return table;
  }

  const opj_image_comp_t& comp_;
  int64_t offset_, max_;
  std::vector<int32_t> columns_, rows_;
};

// ---- rows -------------------------------------------------------------------------------

void GreyRow(const TPlane& y, int32_t row, TIEBitmap& bitmap, int32_t width) {
  const int32_t* samples = y.Row(row);
  uint8_t* out = bitmap.GetScanline(row);
  switch (bitmap.GetPixelFormat()) {
    case ie1g:
      std::memset(out, 0, static_cast<size_t>(width + 7) / 8);
      for (int32_t x = 0; x < width; ++x)
        if (y.Sample8(samples, x) != 0) out[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
      break;
    case ie8g:
      for (int32_t x = 0; x < width; ++x) out[x] = y.Sample8(samples, x);
      break;
    case ie16Gray: {
      auto* words = reinterpret_cast<uint16_t*>(out);
      for (int32_t x = 0; x < width; ++x) words[x] = y.Sample16(samples, x);
      break;
    }
    default:
      for (int32_t x = 0; x < width; ++x) std::memset(out + 3 * x, y.Sample8(samples, x), 3);
      break;
  }
}

void ColourRow(const std::vector<TPlane>& planes, TModel model, int32_t row, TIEBitmap& bitmap, int32_t width) {
  const int32_t *s0 = planes[0].Row(row), *s1 = planes[1].Row(row), *s2 = planes[2].Row(row);
  uint8_t* out = bitmap.GetScanline(row);
  const TYCbCrTables& t = YCbCrTables();
  for (int32_t x = 0; x < width; ++x, out += 3) {
    const uint8_t a = planes[0].Sample8(s0, x), b = planes[1].Sample8(s1, x), c = planes[2].Sample8(s2, x);
    if (model == TModel::RGB) {
      out[0] = c;
      out[1] = b;
      out[2] = a;
    } else {
      out[0] = IEClampByte(a + t.CbToB[b]);
      out[1] = IEClampByte(a + t.CbToG[b] + t.CrToG[c]);
      out[2] = IEClampByte(a + t.CrToR[c]);
    }
  }
}

void FillBitmap(const opj_image_t& image, const TLayout& layout, TIEBitmap& bitmap, TIEProgressRecord& progress) {
  const int32_t width = bitmap.GetWidth(), height = bitmap.GetHeight();
  std::vector<TPlane> planes;
  for (OPJ_UINT32 i : layout.used) planes.emplace_back(image, image.comps[i], width, height);
  for (int32_t y = 0; y < height && !progress.Aborted(); ++y) {
    if (layout.model == TModel::Grey)
      GreyRow(planes[0], y, bitmap, width);
    else
      ColourRow(planes, layout.model, y, bitmap, width);
    if (progress.fOnProgress) progress.Report(static_cast<int32_t>(int64_t{y} * 100 / height));
  }
}

// ---- reading ----------------------------------------------------------------------------

void SetParameters(const opj_image_t& image, TIOParamsVals& params) {
  params.SetImageCount(1);
  const TIEImageryGlobalSettings& settings = *IEGetGlobalSettings();
  params.SetDpiX(settings.DefaultDPIX);
  params.SetDpiY(settings.DefaultDPIY);
  params.FreeColorMap();
  params.WIDTH = params.ORIGINALWIDTH = static_cast<int32_t>(image.x1 - image.x0);
  params.HEIGHT = params.ORIGINALHEIGHT = static_cast<int32_t>(image.y1 - image.y0);
}

bool SizeFits(const opj_image_t& image) {
  return image.x1 > image.x0 && image.y1 > image.y0 && image.x1 - image.x0 <= INT32_MAX &&
         image.y1 - image.y0 <= INT32_MAX;
}

bool Decode(opj_codec_t* codec, opj_stream_t* stream, opj_image_t* image, const std::vector<OPJ_UINT32>& decoded) {
  if (decoded.size() < image->numcomps &&
      !opj_set_decoded_components(codec, static_cast<OPJ_UINT32>(decoded.size()), decoded.data(), OPJ_FALSE))
    return false;
  return opj_decode(codec, stream, image) && opj_end_decompress(codec, stream);
}

// The layout's depth and samples.
void SetLayout(const opj_image_t& image, const TLayout& layout, TIOParamsVals& params) {
  params.BITSPERSAMPLE = static_cast<int32_t>(image.comps[layout.used[0]].prec);
  params.SAMPLESPERPIXEL = static_cast<int32_t>(layout.used.size());
}

}  // namespace

void IEReadJpeg2000Stream(TStream& stream, TIEBitmap* bitmap, TIOParamsVals& params, TIEProgressRecord& progress,
                          bool paramsOnly) {
  IEInitJpeg2000();
  const bool jp2 = IEIsJP2Stream(stream);
  if ((!jp2 && !IEIsJ2KStream(stream)) || !Libraries().Available()) return progress.Abort();
  TIEBufferedReadStream input(stream, 8192, true);
  const int64_t codedBytes = input.Size();
  TCodec codec = MakeDecoder(jp2 ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K);
  TOpjStream source = MakeReadStream(input);
  opj_dparameters_t settings;
  opj_set_default_decoder_parameters(&settings);
  opj_image_t* header = nullptr;
  if (!codec || !source || !opj_setup_decoder(codec.get(), &settings) ||
      !opj_read_header(source.get(), codec.get(), &header))
    return progress.Abort();
  TImage image(header);
  if (!SizeFits(*image)) return progress.Abort();
  SetParameters(*image, params);
  TLayout layout;
  if (!SelectLayout(*image, layout)) return progress.Abort();
  SetLayout(*image, layout, params);
  if (paramsOnly) return;
  const std::vector<OPJ_UINT32> decoded = ToDecode(codec.get(), *image, layout, jp2);
  if (!bitmap || !WithinBounds(*image, decoded, codedBytes) || !Decode(codec.get(), source.get(), image.get(), decoded))
    return progress.Abort();
  // A JP2 file's palette and channel definitions apply while decoding.
  if (!SelectLayout(*image, layout)) return progress.Abort();
  SetLayout(*image, layout, params);
  for (OPJ_UINT32 i : layout.used)
    if (!image->comps[i].data || image->comps[i].w == 0 || image->comps[i].h == 0) return progress.Abort();
  const TIEPixelFormat format = PixelFormatFor(*bitmap, layout.model, params.BITSPERSAMPLE);
  if (!bitmap->Allocate(params.WIDTH, params.HEIGHT, format)) return progress.Abort();
  FillBitmap(*image, layout, *bitmap, progress);
}
