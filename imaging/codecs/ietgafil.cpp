// The Targa codec; see ietgafil.h.
//
// Sections: header | extension area | reading | writing | entry points
#include "imaging/codecs/ietgafil.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "imaging/codecs/codecbytes.h"
#include "imaging/codecs/codecframes.h"
#include "imaging/codecs/neurquant.h"
#include "imaging/core/iesettings.h"
#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/io/imageryio_codecs.h"
#include "imaging/io/imageryio_params.h"
#include "imaging/io/imageryio_registry.h"
#include "imaging/processing/imageryproc_component.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/streams.h"

using codecbytes::LE16;
using codecbytes::LE32;

namespace {

// ---- header ---------------------------------------------------------------------

constexpr char kSignature[] = "TRUEVISION-XFILE.";
constexpr int32_t kHeaderSize = 18, kFooterSize = 26, kExtensionSize = 495;

struct Header {
  uint8_t idLength = 0, mapType = 0, imageType = 0;
  uint16_t mapOrigin = 0, mapLength = 0;
  uint8_t mapEntrySize = 0;
  uint16_t x = 0, y = 0, width = 0, height = 0;
  uint8_t depth = 0, descriptor = 0;

  bool compressed() const { return imageType >= 9; }
  bool grey() const { return imageType == 3 || imageType == 11; }
  bool valid() const {
    const bool type = (imageType >= 1 && imageType <= 3) || (imageType >= 9 && imageType <= 11);
    const bool bits = depth == 1 || depth == 4 || depth == 8 || depth == 16 || depth == 24 || depth == 32;
    return type && bits && mapType < 2 && width > 0 && height > 0;
  }
  // Bytes of a run-length unit: a pixel, or a byte of packed pixels below 8 bits.
  int32_t unitBytes() const { return depth < 8 ? 1 : depth / 8; }
  int32_t rowUnits() const { return depth < 8 ? (width * depth + 7) / 8 : width; }
};

Header ParseHeader(const uint8_t* h) {
  Header r;
  r.idLength = h[0];
  r.mapType = h[1];
  r.imageType = h[2];
  r.mapOrigin = LE16(h + 3);
  r.mapLength = LE16(h + 5);
  r.mapEntrySize = h[7];
  r.x = LE16(h + 8);
  r.y = LE16(h + 10);
  r.width = LE16(h + 12);
  r.height = LE16(h + 14);
  r.depth = h[16];
  r.descriptor = h[17];
  return r;
}

// A 5-5-5 pixel (blue in the low bits), each part times 8.
TRGB From555(uint16_t v) {
  return TRGB{static_cast<uint8_t>((v & 31) << 3), static_cast<uint8_t>(((v >> 5) & 31) << 3),
              static_cast<uint8_t>(((v >> 10) & 31) << 3)};
}

// ---- extension area -----------------------------------------------------------------

std::string ZeroEnded(const uint8_t* p, size_t most) {
  return std::string(reinterpret_cast<const char*>(p), strnlen(reinterpret_cast<const char*>(p), most));
}

void ReadDate(const uint8_t* e, TIOParamsVals& params) {
  const int32_t month = LE16(e + 367), day = LE16(e + 369), year = LE16(e + 371);
  const int32_t hour = LE16(e + 373), minute = LE16(e + 375), second = LE16(e + 377);
  if (month == 0 || day == 0 || year == 0 || year >= 2500 || month >= 13 || day >= 32 || hour >= 24 ||
      minute >= 60 || second >= 60)
    return;
  TDateTime date = 0, time = 0;
  if (TryEncodeDate(year, month, day, date) && TryEncodeTime(hour, minute, second, 0, time))
    params.TGA_DATE = date + time;
}

double Ratio(const uint8_t* p, double fallback) {
  const uint16_t numerator = LE16(p), denominator = LE16(p + 2);
  return numerator != 0 && denominator != 0 ? static_cast<double>(numerator) / denominator : fallback;
}

// The defaults, then what the footer's extension area gives.
void ReadExtension(TStream& stream, int64_t start, TIOParamsVals& params) {
  params.TGA_AUTHOR.clear();
  params.TGA_IMAGENAME.clear();
  params.TGA_DATE = Now();
  params.TGA_BACKGROUND = TRGB{};
  params.TGA_ASPECTRATIO = 1.0;
  params.TGA_GAMMA = 2.2;
  const int64_t length = stream.Size() - start;
  if (length < kHeaderSize + kFooterSize) return;
  uint8_t footer[kFooterSize];
  stream.SetPosition(start + length - kFooterSize);
  if (!codecbytes::ReadExact(stream, footer, kFooterSize) || ZeroEnded(footer + 8, 18) != kSignature) return;
  const int64_t offset = LE32(footer);
  if (offset == 0 || offset + kExtensionSize > length) return;
  std::array<uint8_t, kExtensionSize> e{};
  stream.SetPosition(start + offset);
  if (!codecbytes::ReadExact(stream, e.data(), kExtensionSize)) return;
  params.TGA_AUTHOR = ZeroEnded(e.data() + 2, 41);
  params.TGA_IMAGENAME = ZeroEnded(e.data() + 379, 41);
  ReadDate(e.data(), params);
  params.TGA_BACKGROUND = TRGB{e[473], e[472], e[471]};
  params.TGA_ASPECTRATIO = Ratio(e.data() + 474, 1.0);
  params.TGA_GAMMA = Ratio(e.data() + 478, 2.2);
}

// ---- reading ----------------------------------------------------------------------

// The 256-entry palette with its alpha table.
struct Palette {
  std::array<TRGB, 256> colors{};
  std::array<uint8_t, 256> alpha{};
  bool hasAlpha = false;
};

Palette DefaultPalette(const Header& h) {
  Palette p;
  p.alpha.fill(255);
  for (int32_t i = 0; i < 256; ++i) {
    const int32_t r = i >> 5, g = (i >> 2) & 7, b = i & 3;
    p.colors[static_cast<size_t>(i)] = TRGB{static_cast<uint8_t>(64 * b + 60), static_cast<uint8_t>(32 * g + 28),
                                            static_cast<uint8_t>(32 * r + 28)};
  }
  if (h.mapType == 0 || h.grey()) {
    if (h.depth == 8 || h.grey())
      for (int32_t i = 0; i < 256; ++i) {
        const auto v = static_cast<uint8_t>(i);
        p.colors[static_cast<size_t>(i)] = TRGB{v, v, v};
      }
    if (h.depth == 1) {
      p.colors[0] = TRGB{0, 0, 0};
      p.colors[1] = TRGB{255, 255, 255};
    }
  }
  return p;
}

// Reads the colour map; entries past 255 are passed over.
bool ReadColorMap(TStream& stream, const Header& h, Palette& p) {
  const int32_t entryBytes = (h.mapEntrySize + 7) / 8;
  const int64_t bytes = int64_t{h.mapLength} * entryBytes;
  if (bytes > codecbytes::Remaining(stream)) return false;
  std::vector<uint8_t> map(static_cast<size_t>(bytes));
  if (!codecbytes::ReadExact(stream, map.data(), bytes)) return false;
  for (int32_t i = 0; i < h.mapLength; ++i) {
    const int32_t at = h.mapOrigin + i;
    if (at > 255) break;
    const uint8_t* e = map.data() + static_cast<size_t>(i) * static_cast<size_t>(entryBytes);
    TRGB& c = p.colors[static_cast<size_t>(at)];
    if (entryBytes == 2) c = From555(LE16(e));
    if (entryBytes >= 3) c = TRGB{e[0], e[1], e[2]};
    if (entryBytes == 4) {
      p.alpha[static_cast<size_t>(at)] = e[3];
      p.hasAlpha = true;
    }
  }
  return true;
}

// The pixel units of rows, raw or run-length coded; a packet carries over
// from one row to the next.
class Units {
public:
  Units(TStream& stream, const Header& h) : input_(stream), compressed_(h.compressed()), unit_(h.unitBytes()) {}

  bool Row(uint8_t* out, int32_t count) {
    if (!compressed_) return input_.Get(out, count * unit_);
    while (count > 0) {
      if (left_ == 0 && !StartPacket()) return false;
      const int32_t take = std::min(count, left_);
      if (run_) {
        for (int32_t i = 0; i < take; ++i) std::memcpy(out + i * unit_, value_, static_cast<size_t>(unit_));
      } else if (!input_.Get(out, take * unit_)) {
        return false;
      }
      out += take * unit_;
      count -= take;
      left_ -= take;
    }
    return true;
  }

private:
  bool StartPacket() {
    uint8_t header = 0;
    if (!input_.Get(&header, 1)) return false;
    run_ = header & 0x80;
    left_ = (header & 0x7F) + 1;
    return !run_ || input_.Get(value_, unit_);
  }

  codecbytes::BufferedInput input_;
  const bool compressed_;
  const int32_t unit_;
  bool run_ = false;
  int32_t left_ = 0;
  uint8_t value_[4] = {};
};

void SetParameters(const Header& h, const Palette& p, TIOParamsVals& params) {
  params.TGA_XPOS = h.x;
  params.TGA_YPOS = h.y;
  params.TGA_COMPRESSED = h.compressed();
  params.TGA_GRAYLEVEL = h.mapType == 0 && (h.depth == 8 || h.grey());
  params.FreeColorMap();
  if (h.mapType == 1)
    params.ColorMap.assign(p.colors.begin(), p.colors.begin() + std::min<int32_t>(h.mapLength, 256));
  params.WIDTH = params.ORIGINALWIDTH = h.width;
  params.HEIGHT = params.ORIGINALHEIGHT = h.height;
  const TIEImageryGlobalSettings& settings = *IEGetGlobalSettings();
  params.SetDpiX(settings.DefaultDPIX);
  params.SetDpiY(settings.DefaultDPIY);
  params.SetImageCount(1);
  switch (h.depth) {
    case 1: params.BITSPERSAMPLE = 1, params.SAMPLESPERPIXEL = 1; break;
    case 4: params.BITSPERSAMPLE = 4, params.SAMPLESPERPIXEL = 1; break;
    case 8: params.BITSPERSAMPLE = 8, params.SAMPLESPERPIXEL = 1; break;
    case 16: params.BITSPERSAMPLE = 5, params.SAMPLESPERPIXEL = 3; break;
    case 24: params.BITSPERSAMPLE = 8, params.SAMPLESPERPIXEL = 3; break;
    default: params.BITSPERSAMPLE = 8, params.SAMPLESPERPIXEL = 4; break;
  }
}

// One row of units into the bitmap's row (and the alpha row).
void ConvertRow(const Header& h, const Palette& p, const uint8_t* in, uint8_t* row, uint8_t* alpha) {
  const int32_t width = h.width;
  auto put = [&](int32_t x, TRGB c, uint8_t a) {
    std::memcpy(row + 3 * x, &c, 3);
    if (alpha) alpha[x] = a;
  };
  switch (h.depth) {
    case 1: std::memcpy(row, in, static_cast<size_t>(h.rowUnits())); return;
    case 4:
      for (int32_t x = 0; x < width; ++x) {
        const uint8_t index = (in[x / 2] >> (x % 2 ? 0 : 4)) & 15;
        put(x, p.colors[index], p.alpha[index]);
      }
      break;
    case 8:
      for (int32_t x = 0; x < width; ++x) put(x, p.colors[in[x]], p.alpha[in[x]]);
      break;
    case 16:
      for (int32_t x = 0; x < width; ++x) put(x, From555(LE16(in + 2 * x)), 255);
      break;
    case 24: std::memcpy(row, in, static_cast<size_t>(width) * 3); break;
    default:
      for (int32_t x = 0; x < width; ++x) put(x, TRGB{in[4 * x], in[4 * x + 1], in[4 * x + 2]}, in[4 * x + 3]);
      break;
  }
  if (h.descriptor & 0x10) {  // right to left
    auto* pixels = reinterpret_cast<TRGB*>(row);
    std::reverse(pixels, pixels + width);
    if (alpha) std::reverse(alpha, alpha + width);
  }
}

void ReadPixels(TStream& stream, const Header& h, const Palette& p, TIEBitmap& bitmap, bool withAlpha,
                TIEProgressRecord& progress) {
  TIEBitmap* alphaChannel = withAlpha ? bitmap.GetAlphaChannel() : nullptr;
  if (alphaChannel) alphaChannel->Fill(255);
  std::vector<uint8_t> units(static_cast<size_t>(h.rowUnits()) * static_cast<size_t>(h.unitBytes()));
  Units source(stream, h);
  const bool topDown = h.descriptor & 0x20;
  for (int32_t i = 0; i < h.height && !progress.Aborted(); ++i) {
    if (!source.Row(units.data(), h.rowUnits())) {
      progress.Abort();  // the data ends early: the rows read stay
      break;
    }
    const int32_t y = topDown ? i : h.height - 1 - i;
    ConvertRow(h, p, units.data(), bitmap.GetScanline(y), alphaChannel ? alphaChannel->GetScanline(y) : nullptr);
    progress.Report(static_cast<int32_t>(int64_t{i + 1} * 100 / h.height));
  }
  if (alphaChannel) {
    alphaChannel->UpdateAllFull();
    if (alphaChannel->FullFlag()) bitmap.RemoveAlphaChannel();
  }
}

// ---- writing ----------------------------------------------------------------------

// The pixels of one output row.
struct Layout {
  int32_t depth = 24;
  bool compressed = false, grey = false;
  std::array<TRGB, 256> palette{};
  std::unique_ptr<TIEQuantizer> quantizer;
  TIEBitmap* image = nullptr;
  std::unique_ptr<TIEBitmap> owned;
};

void ChooseLayout(TIEBitmap& bitmap, TIOParamsVals& params, Layout& l) {
  l.image = &bitmap;
  l.compressed = params.TGA_COMPRESSED;
  l.depth = bitmap.GetPixelFormat() == ie1g ? 1 : 24;
  const bool alpha = bitmap.HasAlphaChannel() && !bitmap.GetAlphaChannel()->FullFlag();
  // Real transparency outranks a palette or bilevel depth: only 32-bit
  // pixels keep it.
  if (l.depth == 24 && alpha) {
    l.depth = 32;
  } else if (l.depth == 24 && params.SAMPLESPERPIXEL == 1 && params.BITSPERSAMPLE == 1) {
    TRGB twoColors[2];
    l.image = IEBilevelFrame(bitmap, l.owned, twoColors);
    l.depth = 1;
  } else if (l.depth == 24 && params.SAMPLESPERPIXEL == 1 && (params.BITSPERSAMPLE == 4 || params.BITSPERSAMPLE == 8)) {
    l.depth = params.BITSPERSAMPLE;
    l.grey = params.TGA_GRAYLEVEL && l.depth == 8;
    if (!l.grey) {
      l.quantizer = std::make_unique<TIEQuantizer>(bitmap, l.palette.data(), 1 << l.depth);
      params.ColorMap.assign(l.palette.begin(), l.palette.begin() + (1 << l.depth));
    }
  }
  if (l.depth != 8 && l.depth != 24) l.compressed = false;
}

void WriteHeader(codecbytes::Output& out, const Layout& l, const TIOParamsVals& params, const std::string& id) {
  const bool mapped = (l.depth == 4 || l.depth == 8) && !l.grey;
  const uint8_t base = l.depth == 1 || l.grey ? 3 : (mapped ? 1 : 2);
  out.U8(static_cast<uint32_t>(id.size() + 1));
  out.U8(mapped ? 1 : 0);
  out.U8(base + (l.compressed ? 8u : 0u));
  out.LE16(0);
  out.LE16(mapped ? 1u << l.depth : 0);
  out.U8(mapped ? 24 : 0);
  out.LE16(static_cast<uint32_t>(params.TGA_XPOS));
  out.LE16(static_cast<uint32_t>(params.TGA_YPOS));
  out.LE16(static_cast<uint32_t>(l.image->GetWidth()));
  out.LE16(static_cast<uint32_t>(l.image->GetHeight()));
  out.U8(static_cast<uint32_t>(l.depth));
  out.U8(0x20 | (l.depth == 32 ? 8 : 0));
  out.Text(id);
  out.U8(0);
  if (mapped)
    for (int32_t i = 0; i < (1 << l.depth); ++i) out.Bytes(&l.palette[static_cast<size_t>(i)], 3);
}

// Run-length packets of one row of pixels of `size` bytes each.
void EncodeRow(const uint8_t* row, int32_t count, int32_t size, std::vector<uint8_t>& out) {
  auto same = [&](int32_t a, int32_t b) { return std::memcmp(row + a * size, row + b * size, static_cast<size_t>(size)) == 0; };
  int32_t x = 0;
  while (x < count) {
    int32_t run = 1;
    while (x + run < count && run < 128 && same(x, x + run)) ++run;
    if (run >= 2) {
      out.push_back(static_cast<uint8_t>(0x80 | (run - 1)));
      out.insert(out.end(), row + x * size, row + (x + 1) * size);
      x += run;
      continue;
    }
    int32_t raw = 1;
    while (x + raw < count && raw < 128 && !(x + raw + 1 < count && same(x + raw, x + raw + 1))) ++raw;
    out.push_back(static_cast<uint8_t>(raw - 1));
    out.insert(out.end(), row + x * size, row + (x + raw) * size);
    x += raw;
  }
}

// One output row of the layout.
void MakeRow(const Layout& l, TIEBitmap& source, int32_t y, std::vector<uint8_t>& out) {
  const int32_t width = l.image->GetWidth();
  const uint8_t* row = l.image->GetScanline(y);
  auto rgb = [&](int32_t x) { return TRGB{row[3 * x], row[3 * x + 1], row[3 * x + 2]}; };
  switch (l.depth) {
    case 1: out.assign(row, row + (width + 7) / 8); break;
    case 4:
      out.assign(static_cast<size_t>(width + 1) / 2, 0);
      for (int32_t x = 0; x < width; ++x)
        out[static_cast<size_t>(x / 2)] |= static_cast<uint8_t>((l.quantizer->GetRGBIndex(rgb(x)) & 15) << (x % 2 ? 0 : 4));
      break;
    case 8:
      out.resize(static_cast<size_t>(width));
      for (int32_t x = 0; x < width; ++x)
        out[static_cast<size_t>(x)] =
            static_cast<uint8_t>(l.grey ? IERGBToGray(rgb(x)) : l.quantizer->GetRGBIndex(rgb(x)));
      break;
    case 24: out.assign(row, row + 3 * width); break;
    default: {
      const uint8_t* a = source.GetAlphaChannel()->GetScanline(y);
      out.resize(static_cast<size_t>(width) * 4);
      for (int32_t x = 0; x < width; ++x) {
        std::memcpy(&out[static_cast<size_t>(x) * 4], row + 3 * x, 3);
        out[static_cast<size_t>(x) * 4 + 3] = a[x];
      }
    }
  }
}

void WriteName(codecbytes::Output& out, const std::string& name) {
  uint8_t field[41] = {};
  std::memcpy(field, name.data(), std::min<size_t>(name.size(), 40));
  out.Bytes(field, 41);
}

void WriteExtension(codecbytes::Output& out, const TIOParamsVals& params) {
  out.LE16(kExtensionSize);
  WriteName(out, params.TGA_AUTHOR);
  const std::string comments(324, '\0');
  out.Text(comments);
  int32_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, msec = 0;
  DecodeDate(params.TGA_DATE, year, month, day);
  DecodeTime(params.TGA_DATE, hour, minute, second, msec);
  for (int32_t v : {month, day, year, hour, minute, second}) out.LE16(static_cast<uint32_t>(v));
  WriteName(out, params.TGA_IMAGENAME);
  out.Text(std::string(6 + 41 + 3, '\0'));  // job time, software id and version
  const TRGB key = params.TGA_BACKGROUND;
  const uint8_t keyColor[4] = {0, key.r, key.g, key.b};
  out.Bytes(keyColor, 4);
  auto fraction = [&](double v) {
    out.LE16(static_cast<uint32_t>(std::clamp(std::trunc(v * 10000), 0.0, 65535.0)));
    out.LE16(10000);
  };
  fraction(params.TGA_ASPECTRATIO);
  fraction(params.TGA_GAMMA);
  out.Text(std::string(13, '\0'));  // three offsets and the attributes type
}

}  // namespace

bool IEIsTGAStream(TStream& stream) {
  const int64_t start = stream.Position();
  uint8_t h[kHeaderSize];
  const bool whole = codecbytes::ReadExact(stream, h, kHeaderSize);
  stream.SetPosition(start);
  return whole && ParseHeader(h).valid();
}

void IEReadTGAStream(TStream& stream, TIEBitmap* bitmap, TIOParamsVals& params, TIEProgressRecord& progress,
                     bool paramsOnly, bool noMask) {
  const int64_t start = stream.Position();
  ReadExtension(stream, start, params);
  stream.SetPosition(start);
  uint8_t raw[kHeaderSize];
  const Header h = codecbytes::ReadExact(stream, raw, kHeaderSize) ? ParseHeader(raw) : Header{};
  if (!h.valid()) {
    progress.Abort();
    return;
  }
  uint8_t id[256] = {};
  if (!codecbytes::ReadExact(stream, id, h.idLength)) {
    progress.Abort();
    return;
  }
  params.TGA_DESCRIPTOR = ZeroEnded(id, h.idLength);
  Palette palette = DefaultPalette(h);
  if (h.mapType == 1 && !ReadColorMap(stream, h, palette)) {
    progress.Abort();
    return;
  }
  SetParameters(h, palette, params);
  if (paramsOnly) return;
  // A run-length packet of two bytes gives at most 128 units: never more than the data could hold.
  const int64_t units = int64_t{h.rowUnits()} * h.height;
  if (!bitmap || units > (codecbytes::Remaining(stream) + 1) * 64) {
    progress.Abort();
    return;
  }
  bitmap->RemoveAlphaChannel();
  if (!bitmap->Allocate(h.width, h.height, h.depth == 1 ? ie1g : ie24RGB)) {
    progress.Abort();
    return;
  }
  const bool withAlpha = !noMask && (h.depth == 32 || (h.mapType == 1 && h.mapEntrySize == 32 && h.depth <= 8));
  ReadPixels(stream, h, palette, *bitmap, withAlpha, progress);
}

void IEWriteTGAStream(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress) {
  const TIEPixelFormat format = bitmap.GetPixelFormat();
  if (format != ie24RGB && format != ie1g) return;
  if (bitmap.GetWidth() > 65535 || bitmap.GetHeight() > 65535) {
    progress.Abort();
    return;
  }
  Layout l;
  ChooseLayout(bitmap, params, l);
  codecbytes::Output out(stream);
  const int64_t start = stream.Position();
  WriteHeader(out, l, params, params.TGA_DESCRIPTOR.substr(0, 254));
  const int32_t height = l.image->GetHeight();
  const int32_t pixelBytes = l.depth / 8;
  std::vector<uint8_t> row, packed;
  for (int32_t y = 0; y < height && !progress.Aborted(); ++y) {
    MakeRow(l, bitmap, y, row);
    if (l.compressed) {
      packed.clear();
      EncodeRow(row.data(), l.image->GetWidth(), pixelBytes, packed);
      out.Bytes(packed.data(), static_cast<int64_t>(packed.size()));
    } else {
      out.Bytes(row.data(), static_cast<int64_t>(row.size()));
    }
    progress.Report(static_cast<int32_t>(int64_t{y + 1} * 100 / height));
  }
  const int64_t extension = stream.Position() - start;
  WriteExtension(out, params);
  out.LE32(static_cast<uint32_t>(extension));
  out.LE32(0);
  out.Bytes(kSignature, sizeof kSignature);
  if (out.Failed()) progress.Abort();
}

void IETgaCodecRead(TIECodecRead& read) {
  IEReadTGAStream(read.Stream, read.Bitmap, read.Params, read.Progress, read.ParamsOnly, read.ParamsOnly);
}

void IETgaCodecWrite(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress) {
  IEWriteTGAStream(stream, bitmap, params, progress);
}
