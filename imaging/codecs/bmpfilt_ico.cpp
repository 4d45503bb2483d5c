// Icon and cursor files: format tests, readers (bitmap and PNG entries)
// and the icon writer.
//
// Sections: directory | reader | writer
#include <algorithm>
#include <cstring>
#include <vector>

#include "imaging/codecs/bmpfilt.h"
#include "imaging/codecs/bmpfilt_support.h"
#include "imaging/codecs/neurquant.h"
#include "imaging/codecs/pngfilt.h"
#include "imaging/core/davovevo.h"
#include "imaging/core/iesettings.h"
#include "imaging/core/ruduvazez_mask.h"
#include "imaging/io/imageryio_params.h"
#include "imaging/processing/imageryproc.h"

using namespace bmpfilt;

namespace {

// ---- directory -----------------------------------------------------------------------

constexpr int32_t kEntrySize = 16;
constexpr int32_t kInfoSize = 40;
constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

struct TIconEntry {
  int32_t width = 0, height = 0;  // 0 stands for 256 (or the header's size)
  int32_t colorCount = 0;
  int32_t planes = 0, bitCount = 0;
  uint32_t size = 0, offset = 0;
};

TIconEntry ParseEntry(const uint8_t* e) {
  return TIconEntry{e[0], e[1], e[2], LE16(e + 4), LE16(e + 6), LE32(e + 8), LE32(e + 12)};
}

bool IsIconFile(TStream& stream, uint16_t type) {
  const int64_t position = stream.Position();
  const int64_t size = stream.Size() - position;
  bool ok = false;
  uint8_t header[6];
  if (size > 22 && ReadAll(stream, header, 6) && LE16(header) == 0 && LE16(header + 2) == type && LE16(header + 4)) {
    ok = true;
    const int32_t count = LE16(header + 4);
    for (int32_t i = 0; i < count && ok; ++i) {
      uint8_t e[kEntrySize];
      ok = ReadAll(stream, e, kEntrySize) && e[3] == 0 && LE32(e + 8) != 0 &&
           int64_t{LE32(e + 12)} >= int64_t{6} + (i + 1) * kEntrySize;
    }
  }
  stream.SetPosition(position);
  return ok;
}

// ---- reader --------------------------------------------------------------------------

struct TIconRead {
  TStream& stream;
  TIEBitmap* bitmap;
  TIOParamsVals& params;
  TIEProgressRecord& progress;
  std::unique_ptr<TIEMask>& mask;
  bool ignoreAlpha = false;
  bool cursor = false;
  bool strict256 = false;
  bool anyWidthByte = false;  // some directory entry read had a non-zero width byte
  TRGB background;
};

struct TIconImage {
  int32_t width = 0, height = 0, bitCount = 0;
  std::vector<TRGB> table;
  int64_t colourRow = 0, andRow = 0;
};

// Rows bottom-up in the file; row k of the file is image row height-1-k.
bool ReadPlane(TStream& stream, std::vector<uint8_t>& plane, int64_t rowLength, int32_t height) {
  plane.assign(static_cast<size_t>(rowLength * height), 0);
  return ReadAll(stream, plane.data(), rowLength * height);
}
inline const uint8_t* FileRow(const std::vector<uint8_t>& plane, int64_t rowLength, int32_t height, int32_t y) {
  return plane.data() + (height - 1 - y) * rowLength;
}
inline bool AndBit(const uint8_t* row, int32_t x) { return (row[x >> 3] >> (7 - (x & 7))) & 1; }

void SetMask(TIconRead& r, int32_t x, int32_t y, uint8_t value) {
  if (r.mask) r.mask->GetScanline(y)[x] = value;
}

void DecodeBilevel(TIconRead& r, const TIconImage& im, const std::vector<uint8_t>& colour,
                   const std::vector<uint8_t>& ands, bool haveAnd) {
  const bool whiteBackground = r.background == TRGB{255, 255, 255};
  for (int32_t y = 0; y < im.height; ++y) {
    uint8_t* out = r.bitmap->GetScanline(y);
    std::memcpy(out, FileRow(colour, im.colourRow, im.height, y), static_cast<size_t>((im.width + 7) / 8));
    if (!haveAnd) continue;
    const uint8_t* a = FileRow(ands, im.andRow, im.height, y);
    for (int32_t x = 0; x < im.width; ++x) {
      if (!AndBit(a, x)) continue;
      SetMask(r, x, y, 0);
      if (whiteBackground) out[x >> 3] ^= static_cast<uint8_t>(0x80 >> (x & 7));
    }
  }
}

void DecodeIndexed(TIconRead& r, const TIconImage& im, const std::vector<uint8_t>& colour,
                   const std::vector<uint8_t>& ands, bool haveAnd) {
  const bool native = r.bitmap->GetPixelFormat() == ie8p;
  for (int32_t y = 0; y < im.height; ++y) {
    const uint8_t* in = FileRow(colour, im.colourRow, im.height, y);
    const uint8_t* a = haveAnd ? FileRow(ands, im.andRow, im.height, y) : nullptr;
    uint8_t* out = r.bitmap->GetScanline(y);
    for (int32_t x = 0; x < im.width; ++x) {
      const uint8_t index = im.bitCount == 8 ? in[x] : static_cast<uint8_t>((x & 1) ? in[x / 2] & 0x0F : in[x / 2] >> 4);
      const bool transparent = a && AndBit(a, x);
      if (transparent) SetMask(r, x, y, 0);
      if (native) {
        out[x] = index;
        continue;
      }
      const TRGB c = transparent ? r.background : (index < im.table.size() ? im.table[index] : TRGB{});
      std::memcpy(out + 3 * x, &c, 3);
    }
  }
}

// 24 and 32 bits; the AND rows count for 32 bits only when every alpha is 0.
void DecodeTrueColour(TIconRead& r, const TIconImage& im, const std::vector<uint8_t>& colour,
                      const std::vector<uint8_t>& ands, bool haveAnd) {
  const int32_t step = im.bitCount / 8;
  bool allZero = true;
  int32_t firstAlphaRow = -1;
  for (int32_t k = 0; k < im.height; ++k) {  // file order: bottom row first
    const int32_t y = im.height - 1 - k;
    const uint8_t* in = FileRow(colour, im.colourRow, im.height, y);
    uint8_t* out = r.bitmap->GetScanline(y);
    for (int32_t x = 0; x < im.width; ++x) {
      std::memcpy(out + 3 * x, in + step * x, 3);
      if (step < 4) continue;
      const uint8_t alpha = in[4 * x + 3];
      if (alpha && allZero) firstAlphaRow = y;
      allZero &= alpha == 0;
      SetMask(r, x, y, alpha);
    }
  }
  if (r.strict256 && im.height == 256 && !r.anyWidthByte && firstAlphaRow >= 0 && firstAlphaRow < 66)
    throw EIEException("Not valid 256x256 Icon");
  if (!haveAnd || (step == 4 && !allZero)) return;
  for (int32_t y = 0; y < im.height; ++y) {
    const uint8_t* a = FileRow(ands, im.andRow, im.height, y);
    for (int32_t x = 0; x < im.width; ++x) SetMask(r, x, y, AndBit(a, x) ? 0 : 255);
  }
}

TIEPixelFormat FormatFor(const TIconRead& r, const TIconImage& im, bool native) {
  if (im.bitCount == 1) return ie1g;
  if (native && !r.cursor && (im.bitCount == 4 || im.bitCount == 8)) return ie8p;
  return ie24RGB;
}

void DecodeImage(TIconRead& r, TIconImage& im) {
  const bool native = r.params.ISNATIVEPIXELFORMAT && !r.cursor;
  const int32_t bits = im.bitCount;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) {
    if (native) throw EIEException("Unsupported pixel format");
    r.progress.Abort();
    return;
  }
  im.colourRow = RowBytes(im.width, bits, 32);
  im.andRow = RowBytes(im.width, 1, 32);
  const TIEPixelFormat format = FormatFor(r, im, native);
  if (im.colourRow * im.height > Remaining(r.stream) || !r.bitmap->Allocate(im.width, im.height, format)) {
    r.progress.Abort();
    return;
  }
  if (format == ie8p) {
    for (int32_t i = 0; i < 256; ++i)
      r.bitmap->SetPaletteColor(i, static_cast<size_t>(i) < im.table.size() ? im.table[static_cast<size_t>(i)] : TRGB{});
    r.bitmap->SetPaletteUsed(1 << bits);
  }
  if (!r.ignoreAlpha) {
    if (!r.mask) r.mask = std::make_unique<TIEMask>();
    r.mask->Allocate(im.width, im.height, 8);
    r.mask->Fill(255);
  } else {
    r.mask.reset();
  }
  std::vector<uint8_t> colour, ands;
  ReadPlane(r.stream, colour, im.colourRow, im.height);
  const bool haveAnd = im.andRow * im.height <= Remaining(r.stream) && ReadPlane(r.stream, ands, im.andRow, im.height);
  r.progress.per1 = 100.0 / im.height;
  if (bits == 1)
    DecodeBilevel(r, im, colour, ands, haveAnd);
  else if (bits <= 8)
    DecodeIndexed(r, im, colour, ands, haveAnd);
  else
    DecodeTrueColour(r, im, colour, ands, haveAnd);
  r.progress.Report(100);
}

void FinishMask(TIconRead& r, int32_t width, int32_t height) {
  if (!r.mask || r.cursor) return;
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* row = r.mask->GetScanline(y);
    for (int32_t x = 0; x < width; ++x)
      if (row[x] != 255) return;
  }
  r.mask.reset();
}

int32_t BitsFromColours(int32_t colours) { return colours > 0 ? std::max(IECeilLog2(static_cast<uint32_t>(colours)), 0) : 0; }

// Reads the bitmap image whose information header is at the position.
void ReadBitmapImage(TIconRead& r, const TIconEntry& entry, bool paramsOnly) {
  uint8_t info[kInfoSize];
  if (!ReadAll(r.stream, info, kInfoSize)) {
    r.progress.Abort();
    return;
  }
  const auto headerWidth = static_cast<int32_t>(LE32(info + 4));
  const auto headerHeight = static_cast<int32_t>(LE32(info + 8)) / 2;
  const auto& settings = *IEGetGlobalSettings();
  r.params.SetDpiX(DpiFromMetres(static_cast<int32_t>(LE32(info + 24)), settings.DefaultDPIX));
  r.params.SetDpiY(DpiFromMetres(static_cast<int32_t>(LE32(info + 28)), settings.DefaultDPIY));
  TIconImage im;
  im.bitCount = LE16(info + 14);
  if (r.cursor) {
    if (!im.bitCount) im.bitCount = BitsFromColours(entry.colorCount == 255 ? 256 : entry.colorCount);
  } else {
    if (!im.bitCount) im.bitCount = entry.bitCount ? entry.bitCount : BitsFromColours(entry.colorCount);
  }
  if (!im.bitCount) {
    r.progress.Abort();
    return;
  }
  r.params.BITSPERSAMPLE = im.bitCount > 8 && !r.cursor ? 8 : im.bitCount;
  r.params.SAMPLESPERPIXEL = r.cursor || im.bitCount <= 8 ? 1 : (im.bitCount == 32 ? 4 : 3);
  im.width = entry.width ? entry.width : headerWidth;
  im.height = entry.height ? entry.height : headerHeight;
  if (!r.cursor && entry.width != headerWidth && entry.width && headerWidth > 0 && headerWidth < 2048 &&
      headerHeight > 0 && headerHeight < 2048)
    im.width = headerWidth, im.height = headerHeight;
  if (im.width <= 0 || im.height <= 0) {
    r.progress.Abort();
    return;
  }
  int32_t entries = im.bitCount <= 8 ? 1 << im.bitCount : 0;
  if (r.cursor && im.bitCount <= 8 && entry.colorCount) entries = entry.colorCount == 255 ? 256 : entry.colorCount;
  if (entries > 0 && entries <= 256) {
    std::vector<uint8_t> table(static_cast<size_t>(entries) * 4);
    if (!ReadAll(r.stream, table.data(), static_cast<int64_t>(table.size()))) {
      r.progress.Abort();
      return;
    }
    for (int32_t i = 0; i < entries; ++i) im.table.push_back(TRGB{table[4 * i], table[4 * i + 1], table[4 * i + 2]});
  }
  r.params.ColorMap = im.table;
  r.params.WIDTH = r.params.ORIGINALWIDTH = im.width;
  r.params.HEIGHT = r.params.ORIGINALHEIGHT = im.height;
  if (paramsOnly || !r.bitmap) return;
  DecodeImage(r, im);
  FinishMask(r, im.width, im.height);
}

// The directory: sizes and bit counts of the first 16 entries, the chosen
// entry; false (abort set) when it is not there.
bool ReadDirectory(TIconRead& r, int64_t start, int32_t index, TIconEntry& chosen) {
  uint8_t header[6];
  if (!ReadAll(r.stream, header, 6)) return false;
  const int32_t count = LE16(header + 4);
  r.params.SetImageCount(count);
  if (index < 0 || index >= count || int64_t{count} * kEntrySize > Remaining(r.stream)) return false;
  r.params.ICOSizes.fill(TIEIconSize{});
  r.params.ICOBitCounts.fill(0);
  for (int32_t i = 0; i < count && (i <= index || i < 16); ++i) {
    uint8_t e[kEntrySize];
    if (!ReadAll(r.stream, e, kEntrySize)) return false;
    const TIconEntry entry = ParseEntry(e);
    r.anyWidthByte |= entry.width != 0;
    if (i < 16) {
      r.params.ICOSizes[i] = TIEIconSize{entry.width ? entry.width : 256, entry.height ? entry.height : 256};
      r.params.ICOBitCounts[i] = entry.bitCount ? entry.bitCount : (entry.colorCount ? BitsFromColours(entry.colorCount) : 24);
    }
    if (i == index) chosen = entry;
  }
  if (int64_t{chosen.offset} + kInfoSize >= r.stream.Size() - start) return false;
  r.stream.SetPosition(start + chosen.offset);
  return true;
}

bool StartsWith(TStream& stream, const void* bytes, int32_t count) {
  const int64_t position = stream.Position();
  uint8_t b[8] = {};
  const bool match = ReadAll(stream, b, count) && std::memcmp(b, bytes, static_cast<size_t>(count)) == 0;
  stream.SetPosition(position);
  return match;
}

}  // namespace

bool IEIsICOStream(TStream& stream) { return IsIconFile(stream, 1); }
bool IEIsCURStream(TStream& stream) { return IsIconFile(stream, 2); }

int32_t IEGetICOImageCount(TStream& stream) {
  const int64_t position = stream.Position();
  uint8_t header[6] = {};
  const bool ok = ReadAll(stream, header, 6);
  stream.SetPosition(position);
  return ok ? LE16(header + 4) : 0;
}

void IEReadICOStream(TStream& stream, TIEBitmap* bitmap, TIOParamsVals& params, bool paramsOnly,
                     TIEProgressRecord& progress, std::unique_ptr<TIEMask>& alphaMask, bool ignoreAlpha,
                     bool strict256) {
  TIconRead r{stream, paramsOnly ? nullptr : bitmap, params, progress, alphaMask, ignoreAlpha, false, strict256,
              false, params.ICO_BACKGROUND};
  const int64_t start = stream.Position();
  TIconEntry entry;
  if (!params.ISRESOURCE) {
    if (StartsWith(stream, "BM", 2)) {
      IEReadBMPStream(stream, r.bitmap, stream.Size() - start, params, progress, paramsOnly, false, alphaMask,
                      ignoreAlpha);
      return;
    }
    if (!ReadDirectory(r, start, params.ICO_IMAGEINDEX, entry)) {
      progress.Abort();
      return;
    }
    if (StartsWith(stream, kPngSignature, 8)) {
      IEReadPNGStream(stream, r.bitmap, params, paramsOnly || !r.bitmap, progress);
      return;
    }
  }
  ReadBitmapImage(r, entry, paramsOnly);
}

void IEReadCURStream(TStream& stream, TIEBitmap* bitmap, TIOParamsVals& params, bool paramsOnly,
                     TIEProgressRecord& progress, std::unique_ptr<TIEMask>& alphaMask, bool ignoreAlpha) {
  TIconRead r{stream, paramsOnly ? nullptr : bitmap, params, progress, alphaMask, ignoreAlpha, true, false,
              false, params.CUR_BACKGROUND};
  TIconEntry entry;
  if (params.ISRESOURCE) {
    uint8_t hot[4];
    if (!ReadAll(stream, hot, 4)) {
      progress.Abort();
      return;
    }
    params.CUR_XHOTSPOT = LE16(hot), params.CUR_YHOTSPOT = LE16(hot + 2);
  } else {
    if (!ReadDirectory(r, stream.Position(), params.CUR_IMAGEINDEX, entry)) {
      progress.Abort();
      return;
    }
    params.CUR_XHOTSPOT = entry.planes, params.CUR_YHOTSPOT = entry.bitCount;
    if (!entry.width) entry.width = 256;
    if (!entry.height) entry.height = 256;
  }
  ReadBitmapImage(r, entry, paramsOnly);
}

// ---- writer --------------------------------------------------------------------------

namespace {

int32_t EntryDepth(int32_t bitCount, const TIOParamsVals& params) {
  if (bitCount == 8 || bitCount == 32 || bitCount == 4 || bitCount == 1) return bitCount;
  if (bitCount > 4 || bitCount == 2 || bitCount == 3) return 24;
  const int32_t b = params.BITSPERSAMPLE, s = params.SAMPLESPERPIXEL;
  if (b == 1 && s == 1) return 1;
  if (b == 4 && s == 1) return 4;
  if (b == 8 && s == 3) return 24;
  if (b == 8 && s == 4) return 32;
  return 8;
}

// The colour rows of one image, bottom-up, at the depth.
void PutColourRows(TSafeWriter& w, TIEBitmap& image, int32_t depth, TIEBitmap* alpha) {
  const int32_t width = image.GetWidth(), height = image.GetHeight();
  std::unique_ptr<TIEBitmap> holder;
  TIEBitmap& source = InFormat(image, depth == 1 ? ie1g : ie24RGB, holder);
  std::vector<TRGB> palette;
  std::unique_ptr<TIEQuantizer> quantizer;
  if (depth == 1) {
    palette = {TRGB{}, TRGB{255, 255, 255}};
  } else if (depth <= 8) {
    // Entry 0 stands for transparent pixels; the quantized colours follow.
    const int32_t colours = 1 << depth;
    palette.assign(static_cast<size_t>(colours), TRGB{});
    quantizer = std::make_unique<TIEQuantizer>(source, palette.data() + 1, colours - 1);
  }
  for (const TRGB& c : palette) {
    const uint8_t entry[4] = {c.b, c.g, c.r, 0};
    w.Put(entry, 4);
  }
  const int64_t rowLength = RowBytes(width, depth, 32);
  std::vector<uint8_t> row(static_cast<size_t>(rowLength));
  for (int32_t k = 0; k < height; ++k) {
    const int32_t y = height - 1 - k;
    std::fill(row.begin(), row.end(), 0);
    const uint8_t* in = source.GetScanline(y);
    const uint8_t* a = alpha ? alpha->GetScanline(y) : nullptr;
    for (int32_t x = 0; x < width && depth != 1; ++x) {
      const TRGB c{in[3 * x], in[3 * x + 1], in[3 * x + 2]};
      if (depth == 24 || depth == 32) {
        std::memcpy(&row[static_cast<size_t>(x) * (depth / 8)], &c, 3);
        if (depth == 32) row[4 * static_cast<size_t>(x) + 3] = a ? a[x] : 255;
        continue;
      }
      const auto index = static_cast<uint8_t>(a && a[x] != 255 ? 0 : quantizer->GetRGBIndex(c) + 1);
      if (depth == 8)
        row[x] = index;
      else
        row[x / 2] |= static_cast<uint8_t>((x & 1) ? index : index << 4);
    }
    if (depth == 1) std::memcpy(row.data(), in, static_cast<size_t>((width + 7) / 8));
    w.Put(row.data(), rowLength);
  }
}

void PutAndRows(TSafeWriter& w, int32_t width, int32_t height, TIEBitmap* alpha) {
  const int64_t rowLength = RowBytes(width, 1, 32);
  std::vector<uint8_t> row(static_cast<size_t>(rowLength));
  for (int32_t k = 0; k < height; ++k) {
    std::fill(row.begin(), row.end(), 0);
    const uint8_t* a = alpha ? alpha->GetScanline(height - 1 - k) : nullptr;
    for (int32_t x = 0; a && x < width; ++x)
      if (a[x] != 255) row[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
    w.Put(row.data(), rowLength);
  }
}

std::unique_ptr<TIEBitmap> Resized(TIEBitmap& bitmap, int32_t width, int32_t height) {
  auto copy = std::make_unique<TIEBitmap>();
  copy->Allocate(width, height, bitmap.GetPixelFormat());
  const TResampleFilter filter =
      bitmap.GetPixelFormat() == ie1g ? rfNone : IEGetGlobalSettings()->DefaultResampleFilter;
  IEResampleBitmap(&bitmap, copy.get(), filter, {}, nullptr);
  return copy;
}

}  // namespace

void IEWriteICOStream(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress,
                      const TIEIconSize* sizes, const int32_t* bitCounts, int32_t count) {
  TSafeWriter w{stream, progress};
  count = std::clamp(count, 0, 16);
  const int64_t start = stream.Position();
  uint8_t header[6] = {0, 0, 1, 0};
  PutLE16(header + 4, static_cast<uint32_t>(count));
  w.Put(header, 6);
  std::vector<uint8_t> directory(static_cast<size_t>(count) * kEntrySize, 0);
  w.Put(directory.data(), static_cast<int64_t>(directory.size()));
  params.FreeColorMap();
  if (bitmap.GetPixelFormat() != ie24RGB) params.BITSPERSAMPLE = params.SAMPLESPERPIXEL = 1;
  const double factor = count ? 100.0 / count : 0;
  for (int32_t i = 0; i < count; ++i) {
    progress.Report(static_cast<int32_t>(i * factor));
    if (progress.Aborted()) return;
    const int32_t width = std::clamp(sizes[i].Width, 1, 256), height = std::clamp(sizes[i].Height, 1, 256);
    std::unique_ptr<TIEBitmap> image = Resized(bitmap, width, height);
    TIEBitmap* alpha = image->HasAlphaChannel() ? image->GetAlphaChannel() : nullptr;
    const int32_t depth = EntryDepth(bitCounts[i], params);
    const int64_t imageStart = stream.Position();
    uint8_t info[kInfoSize] = {};
    PutLE32(info, kInfoSize);
    PutLE32(info + 4, static_cast<uint32_t>(width));
    PutLE32(info + 8, static_cast<uint32_t>(height * 2));
    PutLE16(info + 12, 1);
    PutLE16(info + 14, static_cast<uint32_t>(depth));
    if (depth <= 8)
      PutLE32(info + 20, static_cast<uint32_t>(height * RowBytes(width, depth, 32) + width * height / 8));
    PutLE32(info + 24, static_cast<uint32_t>(MetresFromDpi(params.DPIX)));
    PutLE32(info + 28, static_cast<uint32_t>(MetresFromDpi(params.DPIY)));
    w.Put(info, kInfoSize);
    PutColourRows(w, *image, depth, alpha);
    PutAndRows(w, width, height, alpha);
    uint8_t* e = &directory[static_cast<size_t>(i) * kEntrySize];
    e[0] = static_cast<uint8_t>(width), e[1] = static_cast<uint8_t>(height);
    if (depth >= 24) {
      PutLE16(e + 4, 1);
      PutLE16(e + 6, static_cast<uint32_t>(depth));
    } else {
      e[2] = static_cast<uint8_t>(std::min(1 << depth, 255));
    }
    PutLE32(e + 8, static_cast<uint32_t>(stream.Position() - imageStart));
    PutLE32(e + 12, static_cast<uint32_t>(imageStart - start));
  }
  if (progress.Aborted()) return;
  const int64_t end = stream.Position();
  stream.SetPosition(start + 6);
  w.Put(directory.data(), static_cast<int64_t>(directory.size()));
  stream.SetPosition(end);
}
