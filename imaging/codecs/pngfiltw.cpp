// The PNG writer; see pngfilt.h. Every libpng call runs inside PngGuard; a
// failure comes back here and leaves as EInvalidGraphic.
//
// Sections: stream output | the working image | layout | rows | entry point
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "imaging/codecs/neurquant.h"
#include "imaging/codecs/pngfilt.h"
#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/io/imageryio_params.h"
#include "imaging/io/imageryio_registry.h"
#include "platform/forms/graphics.h"
#include "platform/rtl/streams.h"
#include "platform/display/pngglue.h"

namespace {

// ---- stream output ------------------------------------------------------------

struct Output {
  TStream* stream = nullptr;
  TIEProgressRecord* progress = nullptr;
  bool failed = false;
};

void WriteData(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<Output*>(png_get_io_ptr(png));
  if (out->failed) return;
  try {
    if (out->stream->Write(data, static_cast<int32_t>(length)) != static_cast<int32_t>(length)) out->failed = true;
  } catch (...) {
    out->failed = true;
  }
  if (out->failed) out->progress->Abort();
}

void FlushData(png_structp) {}

struct Writer {
  png_structp png = nullptr;
  png_infop info = nullptr;
  PngJump jump;
  Output output;
  ~Writer() {
    if (png) png_destroy_write_struct(&png, info ? &info : nullptr);
  }
};

[[noreturn]] void Fail() { throw EInvalidGraphic("Error on creating PNG"); }

// ---- the working image ----------------------------------------------------------

// The image as the chosen layout needs it: a 1-bit copy for 1-bit files,
// 24-bit for everything but the formats written as they are. The caller's
// bitmap never changes.
// True when every pixel is black or white: only such an image keeps its
// colours at one bit per pixel.
bool BlackAndWhite(TIEBitmap& bitmap) {
  if (bitmap.GetPixelFormat() == ie1g) return true;
  for (int32_t y = 0; y < bitmap.GetHeight(); ++y)
    for (int32_t x = 0; x < bitmap.GetWidth(); ++x) {
      TRGB c;
      bitmap.GetPixelRGB(x, y, c);
      const bool black = c.r == 0 && c.g == 0 && c.b == 0, white = c.r == 255 && c.g == 255 && c.b == 255;
      if (!black && !white) return false;
    }
  return true;
}

TIEBitmap* WorkingImage(TIEBitmap& bitmap, const TIOParamsVals& params, std::unique_ptr<TIEBitmap>& copy) {
  const TIEPixelFormat format = bitmap.GetPixelFormat();
  TIEPixelFormat wanted = format;
  if (params.BITSPERSAMPLE == 1)
    wanted = ie1g;
  else if (format != ie24RGB && format != ie8p && format != ie8g && format != ie16Gray)
    wanted = ie24RGB;
  else if (params.SAMPLESPERPIXEL != 1 && format != ie24RGB)
    wanted = ie24RGB;  // RGB files are written from 24-bit rows
  if (wanted == format) return &bitmap;
  copy = std::make_unique<TIEBitmap>();
  copy->Assign(&bitmap);
  copy->ConvertToPixelFormat(wanted);
  return copy.get();
}

// ---- layout --------------------------------------------------------------------

struct Layout {
  int colorType = PNG_COLOR_TYPE_RGB;
  int depth = 8;
  bool transparent = false;           // the mask decides alpha or the transparent entry
  std::vector<png_color> palette;     // palette files
  std::unique_ptr<TIEQuantizer> quantizer;
  std::vector<TRGB> colors;
};

void ChooseLayout(Layout& l, TIEBitmap& image, TIOParamsVals& params, bool transparent) {
  l.transparent = transparent;
  if (params.SAMPLESPERPIXEL != 1) {
    l.colorType = transparent ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB;
    return;
  }
  if (image.GetPixelFormat() == ie1g) {
    l.colorType = PNG_COLOR_TYPE_GRAY;
    l.depth = 1;
    return;
  }
  l.colorType = PNG_COLOR_TYPE_PALETTE;
  l.depth = params.BITSPERSAMPLE;
  if (transparent) {
    // Entry 0 is the background, fully transparent; the image's colours follow.
    l.depth = 8;
    l.colors.assign(255, TRGB{});
    l.quantizer = std::make_unique<TIEQuantizer>(image, l.colors.data(), 255);
    l.palette.push_back(png_color{params.PNG_BACKGROUND.r, params.PNG_BACKGROUND.g, params.PNG_BACKGROUND.b});
  } else {
    l.colors.assign(256, TRGB{});
    l.quantizer = std::make_unique<TIEQuantizer>(image, l.colors.data(), 256);
    if (l.quantizer->IsGray()) {
      l.colorType = PNG_COLOR_TYPE_GRAY;
      return;
    }
  }
  for (const TRGB& c : l.colors) l.palette.push_back(png_color{c.r, c.g, c.b});
}

void SetFilter(png_structp png, uint8_t choice) {
  static const int kFilters[] = {PNG_FILTER_NONE, PNG_FILTER_SUB, PNG_FILTER_PAETH, PNG_FILTER_UP, PNG_FILTER_AVG,
                                 PNG_ALL_FILTERS};
  if (choice < 6) png_set_filter(png, PNG_FILTER_TYPE_BASE, kFilters[choice]);
}

png_uint_32 PerMetre(int32_t dpi) { return static_cast<png_uint_32>(std::nearbyint(std::max(dpi, 0) * 100 / 2.54)); }

// ---- rows ----------------------------------------------------------------------

// The colour of pixel x of a working-image row, whatever its format.
TRGB PixelColor(TIEBitmap& image, const uint8_t* row, int32_t x) {
  switch (image.GetPixelFormat()) {
    case ie8p: {
      TRGB c;
      image.GetPaletteColor(row[x], c);
      return c;
    }
    case ie8g: return TRGB{row[x], row[x], row[x]};
    case ie16Gray: return TRGB{row[2 * x + 1], row[2 * x + 1], row[2 * x + 1]};
    default: return TRGB{row[3 * x], row[3 * x + 1], row[3 * x + 2]};
  }
}

// One output row of the layout from the working image and the mask. 16-bit
// samples are produced little-endian (libpng swaps them).
void MakeRow(const Layout& l, TIEBitmap& image, TIEBitmap* mask, int32_t y, std::vector<uint8_t>& out) {
  const int32_t width = image.GetWidth();
  uint8_t* row = image.GetScanline(y);
  const uint8_t* m = l.transparent ? mask->GetScanline(y) : nullptr;
  const TIEPixelFormat format = image.GetPixelFormat();
  switch (l.colorType) {
    case PNG_COLOR_TYPE_RGB_ALPHA:
      for (int32_t x = 0; x < width; ++x) {
        std::memcpy(&out[4 * x], row + 3 * x, 3);
        out[4 * x + 3] = m[x];
      }
      break;
    case PNG_COLOR_TYPE_RGB: std::memcpy(out.data(), row, static_cast<size_t>(width) * 3); break;
    case PNG_COLOR_TYPE_PALETTE:
      // With transparency entry 0 is the background: the quantizer's entries start at 1.
      for (int32_t x = 0; x < width; ++x) {
        int32_t index = 0;
        if (l.transparent)
          index = m[x] != 255 ? 0 : l.quantizer->GetRGBIndex(PixelColor(image, row, x)) + 1;
        else
          index = format == ie8p ? row[x] : l.quantizer->GetRGBIndex(PixelColor(image, row, x));
        out[x] = static_cast<uint8_t>(std::clamp(index, 0, 255));
      }
      break;
    default:  // grey
      if (l.depth == 1) {
        std::memcpy(out.data(), row, (static_cast<size_t>(width) + 7) / 8);
      } else if (l.depth == 16 && format == ie16Gray) {
        std::memcpy(out.data(), row, static_cast<size_t>(width) * 2);
      } else {
        for (int32_t x = 0; x < width; ++x) {
          const TRGB c = PixelColor(image, row, x);
          const uint8_t level = format == ie24RGB ? static_cast<uint8_t>(l.quantizer->GetRGBIndex(c)) : c.r;
          if (l.depth == 16) {
            out[2 * x] = 0;
            out[2 * x + 1] = level;
          } else {
            out[x] = level;
          }
        }
      }
      break;
  }
}

}  // namespace

void IEWritePNGStream(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEBitmap* mask,
                      TIEProgressRecord& progress) {
  auto w = std::make_unique<Writer>();
  w->png = PngCreateWrite(w->jump);
  if (w->png) w->info = png_create_info_struct(w->png);
  if (!w->png || !w->info) Fail();
  w->output.stream = &stream;
  w->output.progress = &progress;
  png_set_write_fn(w->png, &w->output, WriteData, FlushData);
  if (params.SAMPLESPERPIXEL == 1 && params.BITSPERSAMPLE != 1 && params.BITSPERSAMPLE != 8 &&
      params.BITSPERSAMPLE != 16)
    params.BITSPERSAMPLE = 8;
  // A coloured image read from a 1-bit palette file keeps its colours: a
  // palette, not black and white.
  if (params.BITSPERSAMPLE == 1 && !BlackAndWhite(bitmap)) params.BITSPERSAMPLE = 8;
  std::unique_ptr<TIEBitmap> copy;
  TIEBitmap* image = WorkingImage(bitmap, params, copy);
  const bool transparent = mask && !mask->FullFlag() && mask->GetWidth() == image->GetWidth() &&
                           mask->GetHeight() == image->GetHeight();
  Layout l;
  ChooseLayout(l, *image, params, transparent);
  const auto width = static_cast<png_uint_32>(image->GetWidth());
  const auto height = static_cast<png_uint_32>(image->GetHeight());
  std::vector<png_text> texts;
  const size_t textCount = std::min(params.PNGTextKeys.size(), params.PNGTextValues.size());
  for (size_t i = 0; i < textCount; ++i) {
    png_text t{};
    t.compression = PNG_TEXT_COMPRESSION_NONE;
    t.key = const_cast<char*>(params.PNGTextKeys[i].c_str());
    t.text = const_cast<char*>(params.PNGTextValues[i].c_str());
    t.text_length = params.PNGTextValues[i].size();
    texts.push_back(t);
  }
  png_color_16 background{};
  if (l.colorType == PNG_COLOR_TYPE_PALETTE) {
    background.index = static_cast<png_byte>(
        std::clamp(l.quantizer->GetRGBIndex(params.PNG_BACKGROUND) + (l.transparent ? 1 : 0), 0, 255));
  } else if (l.colorType == PNG_COLOR_TYPE_GRAY) {
    const TRGB b = params.PNG_BACKGROUND;
    background.gray = static_cast<png_uint_16>(l.depth == 1 ? (b.r + b.g + b.b >= 383) : (b.r * 30 + b.g * 59 + b.b * 11) / 100);
    if (l.depth == 16) background.gray = static_cast<png_uint_16>(background.gray * 257);
  } else {
    background.red = params.PNG_BACKGROUND.r;
    background.green = params.PNG_BACKGROUND.g;
    background.blue = params.PNG_BACKGROUND.b;
  }
  png_byte transparentEntry = 0;
  int passes = 1;
  const bool ok = PngGuard(w->jump, [&] {
    png_set_IHDR(w->png, w->info, width, height, l.depth, l.colorType,
                 params.PNG_INTERLACED ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_BASE,
                 PNG_FILTER_TYPE_BASE);
    if (!l.palette.empty()) png_set_PLTE(w->png, w->info, l.palette.data(), static_cast<int>(l.palette.size()));
    if (l.colorType == PNG_COLOR_TYPE_PALETTE && l.transparent)
      png_set_tRNS(w->png, w->info, &transparentEntry, 1, nullptr);
    png_set_pHYs(w->png, w->info, PerMetre(params.DPIX), PerMetre(params.DPIY), PNG_RESOLUTION_METER);
    SetFilter(w->png, params.PNG_FILTER);
    png_set_bKGD(w->png, w->info, &background);
    png_set_compression_level(w->png, std::clamp(params.PNG_COMPRESSION, 0, 9));
    if (!texts.empty()) png_set_text(w->png, w->info, texts.data(), static_cast<int>(texts.size()));
    png_write_info(w->png, w->info);
    if (l.colorType == PNG_COLOR_TYPE_RGB || l.colorType == PNG_COLOR_TYPE_RGB_ALPHA) png_set_bgr(w->png);
    if (l.depth == 16) png_set_swap(w->png);
    passes = png_set_interlace_handling(w->png);
  });
  if (!ok) Fail();
  const size_t rowBytes = static_cast<size_t>(width) * (l.colorType == PNG_COLOR_TYPE_RGB_ALPHA ? 4 : 3) + 8;
  std::vector<uint8_t> out(rowBytes * (l.depth == 16 ? 2 : 1));
  progress.val = 0;
  const int64_t total = std::max<int64_t>(1, int64_t{height} * passes);
  for (int pass = 0; pass < passes && !progress.Aborted(); ++pass)
    for (png_uint_32 y = 0; y < height && !progress.Aborted(); ++y) {
      MakeRow(l, *image, l.transparent ? mask : nullptr, static_cast<int32_t>(y), out);
      png_bytep row = out.data();
      if (!PngGuard(w->jump, [&] { png_write_row(w->png, row); })) Fail();
      ++progress.val;
      progress.Report(static_cast<int32_t>(progress.val * 100 / total));
    }
  if (!progress.Aborted() && !PngGuard(w->jump, [&] { png_write_end(w->png, w->info); })) Fail();
}

void IEPngCodecWrite(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress) {
  IEWritePNGStream(stream, bitmap, params, bitmap.HasAlphaChannel() ? bitmap.GetAlphaChannel() : nullptr,
                   progress);
}
