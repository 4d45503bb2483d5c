// The PNG reader; see pngfilt.h. Every libpng call runs inside PngGuard.
//
// Sections: stream input | parameters | rows | entry points
#include "imaging/codecs/pngfilt.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "imaging/codecs/codecframes.h"
#include "imaging/core/iesettings.h"
#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/io/imageryio_codecs.h"
#include "imaging/io/imageryio_params.h"
#include "imaging/io/imageryio_registry.h"
#include "platform/rtl/streams.h"
#include "platform/display/pngglue.h"

namespace {

// ---- stream input -----------------------------------------------------------------

struct Input {
  TStream* stream = nullptr;
};

void ReadData(png_structp png, png_bytep data, png_size_t length) {
  auto* input = static_cast<Input*>(png_get_io_ptr(png));
  bool whole = false;
  try {
    whole = input->stream->Read(data, static_cast<int32_t>(length)) == static_cast<int32_t>(length);
  } catch (...) {
    whole = false;
  }
  if (!whole) png_error(png, "Read error");
}

// zlib expands at most 1032 times; an image that needs more than its
// remaining bytes could ever give is refused before anything is allocated.
bool DataCanHold(TStream& stream, png_structp png, png_infop info) {
  const int64_t left = std::max<int64_t>(0, stream.Size() - stream.Position());
  const int64_t needed = static_cast<int64_t>(png_get_rowbytes(png, info) + 1) * png_get_image_height(png, info);
  return needed <= left * 1032 + 65536;
}

// ---- parameters -----------------------------------------------------------------

struct Header {
  png_uint_32 width = 0, height = 0;
  int bitDepth = 0, colorType = 0, interlace = 0;
};

void ReadTexts(png_structp png, png_infop info, TIOParamsVals& params) {
  params.PNGTextKeys.clear();
  params.PNGTextValues.clear();
  png_textp texts = nullptr;
  int count = 0;
  png_get_text(png, info, &texts, &count);
  for (int i = 0; i < count; ++i) {
    params.PNGTextKeys.emplace_back(texts[i].key ? texts[i].key : "");
    params.PNGTextValues.emplace_back(texts[i].text ? texts[i].text : "", texts[i].text ? texts[i].text_length : 0);
  }
}

// The background chunk as a colour; 16-bit samples are scaled to 8 bits.
void ReadBackground(png_structp png, png_infop info, const Header& h, TIOParamsVals& params) {
  png_color_16p background = nullptr;
  if (!png_get_bKGD(png, info, &background) || !background) return;
  if (h.colorType == PNG_COLOR_TYPE_PALETTE) {
    png_colorp palette = nullptr;
    int entries = 0;
    if (png_get_PLTE(png, info, &palette, &entries) && background->index < entries)
      params.PNG_BACKGROUND = TRGB{palette[background->index].blue, palette[background->index].green,
                                   palette[background->index].red};
    return;
  }
  const int maxValue = (1 << h.bitDepth) - 1;
  auto scale = [maxValue](png_uint_16 v) { return static_cast<uint8_t>(std::min<int>(v, maxValue) * 255 / maxValue); };
  if (h.colorType & PNG_COLOR_MASK_COLOR)
    params.PNG_BACKGROUND = TRGB{scale(background->blue), scale(background->green), scale(background->red)};
  else
    params.PNG_BACKGROUND = TRGB{scale(background->gray), scale(background->gray), scale(background->gray)};
}

int32_t DpiFromMetres(png_uint_32 perMetre, int32_t fallback) {
  const auto dpi = static_cast<int32_t>(std::nearbyint(perMetre / 100.0 * 2.54));
  return dpi != 0 ? dpi : fallback;
}

void SetParameters(png_structp png, png_infop info, const Header& h, TIOParamsVals& params) {
  params.SetImageCount(1);
  params.WIDTH = params.ORIGINALWIDTH = static_cast<int32_t>(h.width);
  params.HEIGHT = params.ORIGINALHEIGHT = static_cast<int32_t>(h.height);
  params.BITSPERSAMPLE = h.bitDepth;
  switch (h.colorType) {
    case PNG_COLOR_TYPE_GRAY:
    case PNG_COLOR_TYPE_PALETTE: params.SAMPLESPERPIXEL = 1; break;
    case PNG_COLOR_TYPE_RGB: params.SAMPLESPERPIXEL = 3; break;
    case PNG_COLOR_TYPE_GRAY_ALPHA: params.SAMPLESPERPIXEL = 2; break;
    default: params.SAMPLESPERPIXEL = 4; break;
  }
  png_uint_32 xPerMetre = 0, yPerMetre = 0;
  int unit = 0;
  if (!png_get_pHYs(png, info, &xPerMetre, &yPerMetre, &unit) || unit != PNG_RESOLUTION_METER)
    xPerMetre = yPerMetre = 0;
  const TIEImageryGlobalSettings& settings = *IEGetGlobalSettings();
  params.SetDpiX(DpiFromMetres(xPerMetre, settings.DefaultDPIX));
  params.SetDpiY(DpiFromMetres(yPerMetre, settings.DefaultDPIY));
  params.FreeColorMap();
  png_colorp palette = nullptr;
  int entries = 0;
  if (h.colorType == PNG_COLOR_TYPE_PALETTE && png_get_PLTE(png, info, &palette, &entries))
    for (int i = 0; i < entries; ++i) params.ColorMap.push_back(TRGB{palette[i].blue, palette[i].green, palette[i].red});
  params.PNG_INTERLACED = h.interlace != PNG_INTERLACE_NONE;
}

// The transformations, in the order libpng wants them.
void SetTransformations(png_structp png, png_infop info, const Header& h, bool native) {
  if (native) {
    if (h.bitDepth == 16) png_set_swap(png);
    return;
  }
  if (h.bitDepth == 1) return;
  if (h.colorType == PNG_COLOR_TYPE_PALETTE || (h.colorType == PNG_COLOR_TYPE_GRAY && h.bitDepth < 8))
    png_set_expand(png);
  if (h.bitDepth == 16) png_set_strip_16(png);
  if (h.bitDepth < 8) png_set_packing(png);
  if (h.colorType == PNG_COLOR_TYPE_GRAY || h.colorType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
  png_set_bgr(png);
  if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
}

TIEPixelFormat BitmapFormat(const Header& h, bool native) {
  if (h.bitDepth == 1 && h.colorType != PNG_COLOR_TYPE_PALETTE) return ie1g;
  if (native && h.colorType == PNG_COLOR_TYPE_PALETTE) return ie8p;
  if (native && h.colorType == PNG_COLOR_TYPE_GRAY) return h.bitDepth == 16 ? ie16Gray : ie8g;
  return ie24RGB;
}

// ---- rows -------------------------------------------------------------------

struct Reader {
  png_structp png = nullptr;
  png_infop info = nullptr;
  PngJump jump;
  Input input;
  ~Reader() {
    if (png) png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
  }
};

class PassProgress {
public:
  PassProgress(TIEProgressRecord& progress, int64_t total) : progress_(progress), total_(std::max<int64_t>(total, 1)) {
    progress_.val = 0;
  }
  void NewPass() { last_ = -1; }
  void Row() {
    ++progress_.val;
    const auto percent = static_cast<int32_t>(int64_t{progress_.val} * 100 / total_);
    if (percent != last_) {
      last_ = percent;
      progress_.Report(percent);
    }
  }

private:
  TIEProgressRecord& progress_;
  int64_t total_;
  int32_t last_ = -1;
};

// Colour-map entry 1 for set bits, 0 for clear ones; entries the map lacks read black.
void ExpandOneBitPalette(const uint8_t* packed, uint8_t* row, int32_t width, const std::vector<TRGB>& map) {
  for (int32_t x = 0; x < width; ++x) {
    const size_t index = (packed[x >> 3] >> (7 - (x & 7))) & 1;
    const TRGB c = index < map.size() ? map[index] : TRGB{};
    row[3 * x] = c.b;
    row[3 * x + 1] = c.g;
    row[3 * x + 2] = c.r;
  }
}

bool ReadRows(Reader& r, TIEBitmap& bitmap, const Header& h, TIOParamsVals& params, int passes,
              TIEProgressRecord& progress) {
  const auto width = static_cast<int32_t>(h.width), height = static_cast<int32_t>(h.height);
  const bool alpha = png_get_channels(r.png, r.info) == 4;
  const bool onePalette = h.bitDepth == 1 && h.colorType == PNG_COLOR_TYPE_PALETTE;
  // Rows libpng builds in place: an interlaced file needs every row kept
  // from one pass to the next, as libpng merges each pass into what the
  // row already holds.
  const size_t workRow = alpha ? static_cast<size_t>(width) * 4 : onePalette ? static_cast<size_t>(width) / 8 + 1 : 0;
  std::vector<uint8_t> work(workRow * (passes > 1 ? static_cast<size_t>(height) : 1));
  TIEBitmap* alphaChannel = nullptr;
  if (alpha) {
    alphaChannel = bitmap.GetAlphaChannel();
    alphaChannel->SetFullFlag(false);
  }
  PassProgress report(progress, int64_t{height} * passes);
  for (int pass = 0; pass < passes && !progress.Aborted(); ++pass) {
    report.NewPass();
    for (int32_t y = 0; y < height && !progress.Aborted(); ++y) {
      uint8_t* row = bitmap.GetScanline(y);
      uint8_t* target = workRow ? work.data() + (passes > 1 ? static_cast<size_t>(y) * workRow : 0) : row;
      if (!PngGuard(r.jump, [&] { png_read_row(r.png, target, nullptr); })) return false;
      if (alpha) {
        uint8_t* a = alphaChannel->GetScanline(y);
        for (int32_t x = 0; x < width; ++x) {
          std::memcpy(row + 3 * x, target + 4 * x, 3);
          a[x] = target[4 * x + 3];
        }
      } else if (onePalette) {
        ExpandOneBitPalette(target, row, width, params.ColorMap);
      }
      report.Row();
    }
  }
  return true;
}

// Native palette images take their transparency from the tRNS chunk.
void PaletteTransparency(Reader& r, TIEBitmap& bitmap) {
  png_bytep trans = nullptr;
  int count = 0;
  if (!png_get_tRNS(r.png, r.info, &trans, &count, nullptr) || !trans) return;
  TIEBitmap* alpha = bitmap.GetAlphaChannel();
  alpha->SetFullFlag(false);
  for (int32_t y = 0; y < bitmap.GetHeight(); ++y) {
    const uint8_t* index = bitmap.GetScanline(y);
    uint8_t* a = alpha->GetScanline(y);
    for (int32_t x = 0; x < bitmap.GetWidth(); ++x) a[x] = index[x] < count ? trans[index[x]] : 255;
  }
}

void ReadPNG(TStream& stream, TIEBitmap* bitmap, TIOParamsVals& params, bool paramsOnly, TIEProgressRecord& progress) {
  auto r = std::make_unique<Reader>();
  r->png = PngCreateRead(r->jump);
  if (r->png) r->info = png_create_info_struct(r->png);
  if (!r->png || !r->info) {
    progress.Abort();
    return;
  }
  r->input.stream = &stream;
  png_set_read_fn(r->png, &r->input, ReadData);
  Header h;
  if (!PngGuard(r->jump, [&] {
        png_read_info(r->png, r->info);
        png_get_IHDR(r->png, r->info, &h.width, &h.height, &h.bitDepth, &h.colorType, &h.interlace, nullptr,
                     nullptr);
      })) {
    progress.Abort();
    return;
  }
  ReadTexts(r->png, r->info, params);
  ReadBackground(r->png, r->info, h, params);
  const bool native = params.ISNATIVEPIXELFORMAT && (h.bitDepth == 8 || h.bitDepth == 16) &&
                      (h.colorType == PNG_COLOR_TYPE_GRAY || h.colorType == PNG_COLOR_TYPE_PALETTE);
  int passes = 1;
  if (!PngGuard(r->jump, [&] {
        SetTransformations(r->png, r->info, h, native);
        passes = png_set_interlace_handling(r->png);
        png_read_update_info(r->png, r->info);
      })) {
    progress.Abort();
    return;
  }
  SetParameters(r->png, r->info, h, params);
  if (paramsOnly) return;
  const TIEPixelFormat format = BitmapFormat(h, native);
  if (bitmap) bitmap->RemoveAlphaChannel();  // never the previous image's
  if (!bitmap || !DataCanHold(stream, r->png, r->info) ||
      !bitmap->Allocate(static_cast<int32_t>(h.width), static_cast<int32_t>(h.height), format)) {
    progress.Abort();
    return;
  }
  if (format == ie8p) {
    const int32_t entries = std::min<int32_t>(1 << h.bitDepth, 256);
    for (int32_t i = 0; i < entries; ++i)
      bitmap->SetPaletteColor(i, i < params.COLORMAPCOUNT() ? params.ColorMap[static_cast<size_t>(i)] : TRGB{});
  }
  if (!ReadRows(*r, *bitmap, h, params, passes, progress)) {
    progress.Abort();
    return;
  }
  if (!progress.Aborted()) {
    if (PngGuard(r->jump, [&] { png_read_end(r->png, r->info); }))
      ReadTexts(r->png, r->info, params);  // with the text chunks after the image data
    else
      progress.Abort();
  }
  if (format == ie8p) PaletteTransparency(*r, *bitmap);
}

}  // namespace

void IEReadPNGStream(TStream& stream, TIEBitmap* bitmap, TIOParamsVals& params, bool paramsOnly,
                     TIEProgressRecord& progress) {
  IEReadInHeldFormat(bitmap, [&](TIEBitmap* target) { ReadPNG(stream, target, params, paramsOnly, progress); });
}

bool IEIsPNGStream(TStream& stream) {
  const int64_t start = stream.Position();
  uint8_t signature[8] = {};
  const int32_t got = stream.Read(signature, 8);
  stream.SetPosition(start);
  return got == 8 && std::memcmp(signature, "\x89PNG", 4) == 0;
}

void IEPngCodecRead(TIECodecRead& read) {
  IEReadPNGStream(read.Stream, read.Bitmap, read.Params, read.ParamsOnly, read.Progress);
}
