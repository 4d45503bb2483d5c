// Windows and OS/2 bitmaps: the reader (file or bare bitmap) and the writer.
//
// Sections: headers | pixel decoding | reader | writer
#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include "imaging/codecs/bmpfilt.h"
#include "imaging/codecs/bmpfilt_support.h"
#include "imaging/codecs/codecframes.h"
#include "imaging/codecs/neurquant.h"
#include "imaging/core/iesettings.h"
#include "imaging/core/ruduvazez_mask.h"
#include "imaging/io/imageryio_params.h"
#include "imaging/processing/imageryproc_bits.h"

using namespace bmpfilt;

namespace {

// ---- headers -------------------------------------------------------------------------

constexpr int32_t kFileHeaderSize = 14;
// Images that compress better than this many pixels per byte of run-length
// data are taken for damaged headers.
constexpr int64_t kMaxPixelsPerRleByte = 1024;
// Slack for files whose last row lacks its padding.
constexpr int64_t kRowSlack = 65536;

struct TBmpHeader {
  int32_t headerSize = 0;
  int32_t width = 0, height = 0;
  bool topDown = false;
  int32_t bitCount = 0;
  uint32_t compression = 0;
  uint32_t imageSize = 0;
  int32_t xPerMetre = 0, yPerMetre = 0;
  uint32_t colorsUsed = 0;
  std::array<uint32_t, 4> masks{};  // red, green, blue, alpha
  bool hasMasks = false;
  bool os2Core = false;
};

// The 12-byte core header.
bool ReadCoreHeader(TStream& stream, TBmpHeader& h) {
  uint8_t b[12];
  if (!ReadAll(stream, b, 12)) return false;
  h.width = LE16(b + 4);
  h.height = LE16(b + 6);
  h.bitCount = LE16(b + 10);
  h.os2Core = true;
  return true;
}

// Masks inside the header from 52 bytes on (except the 64-byte OS/2
// header), else the 12 bytes after it; alpha from a header of 56 bytes.
bool ReadMasks(TStream& stream, const uint8_t* header, TBmpHeader& h) {
  if (h.headerSize >= 52 && h.headerSize != 64) {
    for (int i = 0; i < 3; ++i) h.masks[i] = LE32(header + 40 + 4 * i);
    if (h.headerSize >= 56) h.masks[3] = LE32(header + 52);
  } else {
    uint8_t b[12];
    if (!ReadAll(stream, b, 12)) return false;
    for (int i = 0; i < 3; ++i) h.masks[i] = LE32(b + 4 * i);
  }
  h.hasMasks = true;
  return true;
}

bool ReadInfoHeader(TStream& stream, int64_t headerStart, TBmpHeader& h) {
  if (h.headerSize < 16 || h.headerSize > Remaining(stream)) return false;
  uint8_t b[64] = {};
  if (!ReadAll(stream, b, std::min(64, h.headerSize))) return false;
  if (h.headerSize > 64) stream.SetPosition(headerStart + h.headerSize);
  const auto width = static_cast<int32_t>(LE32(b + 4));
  auto height = static_cast<int32_t>(LE32(b + 8));
  if (width < 0 || height == INT32_MIN) return false;
  h.topDown = height < 0;
  h.width = width;
  h.height = height < 0 ? -height : height;
  h.bitCount = LE16(b + 14);
  h.compression = LE32(b + 16);
  h.imageSize = LE32(b + 20);
  h.xPerMetre = static_cast<int32_t>(LE32(b + 24));
  h.yPerMetre = static_cast<int32_t>(LE32(b + 28));
  h.colorsUsed = LE32(b + 32);
  if (h.colorsUsed > 256) h.colorsUsed = 0;
  if (h.compression == 3) return ReadMasks(stream, b, h);
  return true;
}

uint8_t VersionOf(int32_t headerSize) {
  switch (headerSize) {
    case 12: return 2;
    case 40: return 1;
    case 64: return 3;
    default: return 0;
  }
}

// The colour table into the parameters' colour map; entries are 3 bytes in
// the core header, 4 otherwise.
bool ReadColorTable(TStream& stream, const TBmpHeader& h, TIOParamsVals& params) {
  if (h.bitCount > 8) return true;
  int32_t entries = h.colorsUsed ? static_cast<int32_t>(h.colorsUsed) : (1 << h.bitCount);
  const int32_t entrySize = h.os2Core ? 3 : 4;
  std::vector<uint8_t> table(static_cast<size_t>(entries) * entrySize);
  const int64_t got = ReadSome(stream, table.data(), static_cast<int64_t>(table.size()));
  entries = static_cast<int32_t>(got / entrySize);
  for (int32_t i = 0; i < entries; ++i) {
    const uint8_t* e = table.data() + static_cast<size_t>(i) * entrySize;
    params.ColorMap.push_back(TRGB{e[0], e[1], e[2]});
  }
  return got == static_cast<int64_t>(table.size());
}

// ---- pixel decoding -----------------------------------------------------------------

// The compressions each bit count decodes.
bool Supported(const TBmpHeader& h) {
  switch (h.bitCount) {
    case 1: return h.compression == 0;
    case 4: return h.compression == 0 || h.compression == 2;
    case 8: return h.compression == 0 || h.compression == 1;
    case 16:
    case 32: return h.compression == 0 || h.compression == 3;
    case 24: return true;
    default: return false;
  }
}

// One channel of a bit-field pixel brought to 8 bits (a mask's low bits
// are dropped, a narrow one shifted up).
struct TChannel {
  uint32_t mask = 0;
  int32_t shift = 0, width = 0;
  explicit TChannel(uint32_t m = 0) : mask(m) {
    if (!m) return;
    while (!((m >> shift) & 1)) ++shift;
    width = IEBitMaskWidth(m);
  }
  uint8_t Get(uint32_t v) const {
    if (!width) return 0;
    const uint32_t c = (v & mask) >> shift;
    return static_cast<uint8_t>(width >= 8 ? c >> (width - 8) : c << (8 - width));
  }
};

struct TRowDecoder {
  TIEBitmap* bitmap = nullptr;
  const TBmpHeader* header = nullptr;
  const std::vector<TRGB>* colorMap = nullptr;
  TIEMask* alpha = nullptr;  // 32 bits, unless alpha is ignored
  bool native = false;
  bool invert1 = false;      // 1 bit: a white, black table
  bool grey16 = false;
  std::array<TChannel, 4> channels;

  TRGB Colour(uint32_t index) const { return index < colorMap->size() ? (*colorMap)[index] : TRGB{}; }

  void Indexed(const uint8_t* in, uint8_t* out, int32_t width) const {
    const int32_t bits = header->bitCount;
    const int32_t perByte = 8 / bits;
    const uint32_t mask = (1u << bits) - 1;
    for (int32_t x = 0; x < width; ++x) {
      const uint32_t index = (in[x / perByte] >> (8 - bits - (x % perByte) * bits)) & mask;
      if (native)
        out[x] = static_cast<uint8_t>(index);
      else
        SetRGB(out + 3 * x, Colour(index));
    }
  }
  static void SetRGB(uint8_t* p, TRGB c) { std::memcpy(p, &c, 3); }

  void Sixteen(const uint8_t* in, uint8_t* out, int32_t width) const {
    for (int32_t x = 0; x < width; ++x) {
      const uint16_t v = LE16(in + 2 * x);
      if (grey16 && native) {
        std::memcpy(out + 2 * x, &v, 2);
      } else if (grey16) {
        out[3 * x] = out[3 * x + 1] = out[3 * x + 2] = static_cast<uint8_t>(v >> 8);
      } else {
        out[3 * x] = channels[2].Get(v), out[3 * x + 1] = channels[1].Get(v), out[3 * x + 2] = channels[0].Get(v);
      }
    }
  }

  void ThirtyTwo(const uint8_t* in, uint8_t* out, uint8_t* alphaRow, int32_t width) const {
    const bool plain = !header->hasMasks || (channels[0].mask == 0xFF0000 && channels[1].mask == 0xFF00 &&
                                             channels[2].mask == 0xFF);
    for (int32_t x = 0; x < width; ++x) {
      const uint8_t* p = in + 4 * x;
      const uint32_t v = LE32(p);
      if (plain) {
        out[3 * x] = p[0], out[3 * x + 1] = p[1], out[3 * x + 2] = p[2];
      } else {
        out[3 * x] = channels[2].Get(v), out[3 * x + 1] = channels[1].Get(v), out[3 * x + 2] = channels[0].Get(v);
      }
      if (alphaRow) alphaRow[x] = channels[3].width ? channels[3].Get(v) : p[3];
    }
  }

  void Row(const uint8_t* in, int32_t row) const {
    const int32_t width = header->width;
    uint8_t* out = bitmap->GetScanline(row);
    switch (header->bitCount) {
      case 1:
        if (bitmap->GetPixelFormat() == ie1g) {
          const int32_t bytes = (width + 7) / 8;
          for (int32_t i = 0; i < bytes; ++i) out[i] = invert1 ? static_cast<uint8_t>(~in[i]) : in[i];
        } else {
          Indexed(in, out, width);
        }
        break;
      case 4:
      case 8: Indexed(in, out, width); break;
      case 16: Sixteen(in, out, width); break;
      case 24: std::memcpy(out, in, static_cast<size_t>(width) * 3); break;
      case 32: ThirtyTwo(in, out, alpha ? alpha->GetScanline(row) : nullptr, width); break;
      default: break;
    }
  }
};

TIEPixelFormat FormatFor(const TBmpHeader& h, const std::vector<TRGB>& map, bool native, bool grey16) {
  switch (h.bitCount) {
    case 1: {
      const TRGB black{}, white{255, 255, 255};
      const bool bilevel = map.size() != 2 || (map[0] == black && map[1] == white) ||
                           (map[0] == white && map[1] == black);
      return bilevel || native ? ie1g : ie24RGB;
    }
    case 4:
    case 8: return native ? ie8p : ie24RGB;
    case 16: return native && grey16 ? ie16Gray : ie24RGB;
    default: return ie24RGB;
  }
}

void SetSampleParams(const TBmpHeader& h, TIOParamsVals& params) {
  switch (h.bitCount) {
    case 16: params.BITSPERSAMPLE = 5, params.SAMPLESPERPIXEL = 3; break;
    case 24: params.BITSPERSAMPLE = 8, params.SAMPLESPERPIXEL = 3; break;
    case 32: params.BITSPERSAMPLE = 8, params.SAMPLESPERPIXEL = 4; break;
    default: params.BITSPERSAMPLE = h.bitCount, params.SAMPLESPERPIXEL = 1; break;
  }
}

// A mask that is all 0 or all 255 carries no transparency.
void DropUselessMask(std::unique_ptr<TIEMask>& mask, int32_t width, int32_t height) {
  if (!mask) return;
  bool allZero = true, allFull = true;
  for (int32_t y = 0; y < height && (allZero || allFull); ++y) {
    const uint8_t* row = mask->GetScanline(y);
    for (int32_t x = 0; x < width; ++x) allZero &= row[x] == 0, allFull &= row[x] == 255;
  }
  if (allZero || allFull) mask.reset();
}

// ---- reader --------------------------------------------------------------------------

struct TReadState {
  TStream& stream;
  TIEBitmap* bitmap;
  TIOParamsVals& params;
  TIEProgressRecord& progress;
  int64_t start = 0;
  int64_t size = 0;
};

void DecodeRows(TReadState& s, const TBmpHeader& h, TRowDecoder& decoder, int64_t dataLength) {
  const int64_t rowLength = RowBytes(h.width, h.bitCount, 32);
  // 24-bit rows are the bitmap's own: they are read in place.
  const bool inPlace = h.bitCount == 24 && s.bitmap->RowLength64() >= rowLength;
  std::vector<uint8_t> row(inPlace ? 0 : static_cast<size_t>(rowLength));
  TRowProgress rows(s.progress, h.height);
  for (int32_t k = 0; k < h.height; ++k) {
    if (!rows.Step(k)) return;
    const int32_t target = h.topDown ? k : h.height - 1 - k;
    uint8_t* in = inPlace ? s.bitmap->GetScanline(target) : row.data();
    const int64_t got = ReadSome(s.stream, in, std::min<int64_t>(rowLength, std::max<int64_t>(dataLength, 0)));
    dataLength -= got;
    // A short last row still counts when it holds its pixels.
    if (got < RowBytes(h.width, h.bitCount, 8)) {
      s.progress.Abort();
      return;
    }
    if (!inPlace) decoder.Row(in, target);
  }
  rows.Step(h.height);
}

void DecodeRle(TReadState& s, const TBmpHeader& h, int64_t dataLength) {
  std::vector<uint8_t> data(static_cast<size_t>(dataLength));
  data.resize(static_cast<size_t>(ReadSome(s.stream, data.data(), dataLength)));
  s.progress.per1 = 100.0 / h.height;
  const bool native = s.bitmap->GetPixelFormat() == ie8p;
  const int32_t rowBase = h.topDown ? h.height - 1 : 0;
  const auto count = static_cast<int32_t>(s.params.ColorMap.size());
  const TRGB* palette = s.params.ColorMap.data();
  const auto decode = h.bitCount == 8 ? IEDecodeBMPRLE8 : IEDecodeBMPRLE4;
  if (!decode(*s.bitmap, data.data(), static_cast<int64_t>(data.size()), rowBase, s.progress,
              native ? nullptr : palette, count))
    s.progress.Abort();
}

// The bytes the pixel data may take: the declared size when the caller or
// the file gives one, never beyond the stream.
int64_t PixelDataLength(TReadState& s, const TBmpHeader& h) {
  const int64_t left = Remaining(s.stream);
  int64_t length = s.size > 0 ? s.size - (s.stream.Position() - s.start) : int64_t{h.imageSize};
  if (length <= 0 || length > left) length = left;
  return length;
}

bool AllocationFits(const TBmpHeader& h, TIEPixelFormat format, int64_t dataLength) {
  if (h.compression == 1 || h.compression == 2) {
    const int64_t pixels = std::max<int64_t>(dataLength * kMaxPixelsPerRleByte, kRowSlack);
    return int64_t{h.width} * h.height <= pixels && CanAllocate(h.width, h.height, format, INT64_MAX / 2);
  }
  const int64_t needed = RowBytes(h.width, h.bitCount, 32);
  return needed <= (dataLength + kRowSlack) / h.height && CanAllocate(h.width, h.height, format, INT64_MAX / 2);
}

void ReadPixels(TReadState& s, const TBmpHeader& h, int64_t dataLength, std::unique_ptr<TIEMask>& alphaMask,
                bool ignoreAlpha) {
  const bool native = s.params.ISNATIVEPIXELFORMAT;
  TRowDecoder decoder;
  decoder.header = &h;
  decoder.colorMap = &s.params.ColorMap;
  decoder.native = native;
  const uint32_t defaults16[3] = {0x7C00, 0x03E0, 0x001F};
  for (int i = 0; i < 4; ++i)
    decoder.channels[i] = TChannel(h.hasMasks ? h.masks[i] : (h.bitCount == 16 && i < 3 ? defaults16[i] : 0));
  decoder.grey16 = h.bitCount == 16 && h.hasMasks &&
                   std::any_of(h.masks.begin(), h.masks.begin() + 3, [](uint32_t m) { return m == 0xFFFFFFFFu; });
  const TIEPixelFormat format = FormatFor(h, s.params.ColorMap, native, decoder.grey16);
  if (!AllocationFits(h, format, dataLength) || !s.bitmap->Allocate(h.width, h.height, format)) {
    s.progress.Abort();
    return;
  }
  decoder.bitmap = s.bitmap;
  if (format == ie8p) {
    for (size_t i = 0; i < 256; ++i)
      s.bitmap->SetPaletteColor(static_cast<int32_t>(i), i < s.params.ColorMap.size() ? s.params.ColorMap[i] : TRGB{});
    s.bitmap->SetPaletteUsed(1 << h.bitCount);
  }
  if (format == ie1g && s.params.ColorMap.size() == 2)
    decoder.invert1 = s.params.ColorMap[0] == TRGB{255, 255, 255} && s.params.ColorMap[1] == TRGB{};
  if (h.bitCount == 32 && !ignoreAlpha) {
    if (!alphaMask) alphaMask = std::make_unique<TIEMask>();
    alphaMask->Allocate(h.width, h.height, 8);
    alphaMask->Fill(255);
    decoder.alpha = alphaMask.get();
  }
  if (h.compression == 1 || h.compression == 2)
    DecodeRle(s, h, dataLength);
  else
    DecodeRows(s, h, decoder, dataLength);
  if (decoder.alpha) DropUselessMask(alphaMask, h.width, h.height);
}

}  // namespace

void IEReadBMPStream(TStream& stream, TIEBitmap* bitmap, int64_t size, TIOParamsVals& params,
                     TIEProgressRecord& progress, bool paramsOnly, bool noFileHeader,
                     std::unique_ptr<TIEMask>& alphaMask, bool ignoreAlpha) {
  TReadState s{stream, bitmap, params, progress};
  s.start = stream.Position();
  uint32_t fileSize = 0, dataOffset = 0;
  if (!noFileHeader && !params.ISRESOURCE) {
    uint8_t fh[kFileHeaderSize];
    if (!ReadAll(stream, fh, kFileHeaderSize) || fh[0] != 'B' || fh[1] != 'M') {
      progress.Abort();
      return;
    }
    fileSize = LE32(fh + 2);
    dataOffset = LE32(fh + 10);
  }
  s.size = size > 0 ? size : int64_t{fileSize};
  const int64_t headerStart = stream.Position();
  uint8_t sizeField[4];
  TBmpHeader h;
  if (!ReadAll(stream, sizeField, 4)) {
    progress.Abort();
    return;
  }
  h.headerSize = static_cast<int32_t>(std::min<uint32_t>(LE32(sizeField), INT32_MAX));
  stream.SetPosition(headerStart);
  params.FreeColorMap();
  const bool headerRead = h.headerSize == 12 ? ReadCoreHeader(stream, h) : ReadInfoHeader(stream, headerStart, h);
  if (!headerRead) {
    progress.Abort();
    return;
  }
  params.BMP_VERSION = VersionOf(h.headerSize);
  const auto& settings = *IEGetGlobalSettings();
  params.SetDpiX(DpiFromMetres(h.xPerMetre, settings.DefaultDPIX));
  params.SetDpiY(DpiFromMetres(h.yPerMetre, settings.DefaultDPIY));
  const bool tableWhole = ReadColorTable(stream, h, params);
  params.SetImageCount(1);
  if (h.compression == 0 || h.compression == 3) params.BMP_COMPRESSION = 0;
  if (h.compression == 1 || h.compression == 2) params.BMP_COMPRESSION = 1;
  SetSampleParams(h, params);
  params.WIDTH = params.ORIGINALWIDTH = h.width;
  params.HEIGHT = params.ORIGINALHEIGHT = h.height;
  if (dataOffset != 0) stream.SetPosition(s.start + dataOffset);
  if (!tableWhole || !Supported(h)) {
    progress.Abort();
    return;
  }
  if (paramsOnly || h.width == 0 || h.height == 0 || !bitmap) return;
  const int64_t dataLength = PixelDataLength(s, h);
  IEReadInHeldFormat(bitmap, [&](TIEBitmap* target) {
    s.bitmap = target;
    ReadPixels(s, h, dataLength, alphaMask, ignoreAlpha);
  });
}

// ---- writer --------------------------------------------------------------------------

namespace {

struct TWriteState : TSafeWriter {
  TWriteState(TStream& s, TIOParamsVals& p, TIEProgressRecord& r) : TSafeWriter{s, r}, params(p) {}
  TIOParamsVals& params;
};

int32_t DepthFor(TIEBitmap& bitmap, const TIOParamsVals& params) {
  if (params.BITSPERSAMPLE == 1 || params.BITSPERSAMPLE == 4) return params.BITSPERSAMPLE;
  if (params.SAMPLESPERPIXEL == 1) return 8;
  return bitmap.HasAlphaChannel() ? 32 : 24;
}

void WritePalette(TWriteState& w, const std::vector<TRGB>& palette) {
  const int32_t entrySize = w.params.BMP_VERSION == 2 ? 3 : 4;
  std::vector<uint8_t> table(palette.size() * entrySize, 0);
  for (size_t i = 0; i < palette.size(); ++i) std::memcpy(&table[i * entrySize], &palette[i], 3);
  w.Put(table.data(), static_cast<int64_t>(table.size()));
}

// Rows bottom-up: row(y, buffer) fills the row's bytes; with an encoder,
// its output is written instead and the data ends with 00 01.
template <class MakeRow>
void WriteRows(TWriteState& w, int32_t width, int32_t height, int32_t bits, bool rle, MakeRow makeRow) {
  const int64_t rowLength = RowBytes(width, bits, 32);
  std::vector<uint8_t> row(static_cast<size_t>(rowLength));
  std::vector<uint8_t> indexes(rle ? static_cast<size_t>(width) : 0);
  std::vector<uint8_t> encoded(rle ? static_cast<size_t>(width) * 2 + 2 : 0);
  TRowProgress rows(w.progress, height);
  for (int32_t k = 0; k < height; ++k) {
    if (!rows.Step(k)) return;
    std::fill(row.begin(), row.end(), 0);
    makeRow(height - 1 - k, row.data(), indexes.data());
    if (!rle) {
      w.Put(row.data(), rowLength);
      continue;
    }
    const int32_t n = bits == 8 ? IEEncodeBMPRLE8Row(indexes.data(), width, encoded.data())
                                : IEEncodeBMPRLE4Row(indexes.data(), width, encoded.data());
    w.Put(encoded.data(), n);
  }
  if (rle) w.Put("\0\1", 2);
}

void WritePaletteImage(TWriteState& w, TIEBitmap& bitmap, int32_t bits, bool rle) {
  const int32_t colours = 1 << bits;
  const TIEPixelFormat format = bitmap.GetPixelFormat();
  const bool copyIndexes = bits == 8 && (format == ie8p || format == ie8g);
  std::unique_ptr<TIEBitmap> holder;
  TIEBitmap& source = copyIndexes || format == ie8g ? bitmap : InFormat(bitmap, ie24RGB, holder);
  std::vector<TRGB> palette(static_cast<size_t>(colours));
  TIEQuantizer quantizer(source, palette.data(), colours);
  w.params.ColorMap = palette;
  WritePalette(w, palette);
  const int32_t width = source.GetWidth();
  WriteRows(w, width, source.GetHeight(), bits, rle, [&](int32_t y, uint8_t* row, uint8_t* indexes) {
    const uint8_t* in = source.GetScanline(y);
    std::vector<uint8_t> local;
    if (!rle) local.resize(static_cast<size_t>(width)), indexes = local.data();
    for (int32_t x = 0; x < width; ++x) {
      if (copyIndexes)
        indexes[x] = in[x];
      else if (source.GetPixelFormat() == ie8g)
        indexes[x] = static_cast<uint8_t>(quantizer.GetRGBIndex(TRGB{in[x], in[x], in[x]}));
      else
        indexes[x] = static_cast<uint8_t>(quantizer.GetRGBIndex(TRGB{in[3 * x], in[3 * x + 1], in[3 * x + 2]}));
    }
    if (rle) return;
    for (int32_t x = 0; x < width; ++x) {
      if (bits == 8)
        row[x] = indexes[x];
      else
        row[x / 2] |= static_cast<uint8_t>((x & 1) ? (indexes[x] & 0x0F) : (indexes[x] << 4));
    }
  });
}

void WriteBilevel(TWriteState& w, TIEBitmap& bitmap) {
  std::unique_ptr<TIEBitmap> holder, twoColour;
  TIEBitmap* source = &bitmap;
  TRGB colour0{}, colour1{255, 255, 255};
  if (bitmap.GetPixelFormat() != ie1g) {
    TIEBitmap& rgb = InFormat(bitmap, ie24RGB, holder);
    twoColour = IEConvertTo1BitIfTwoColors(&rgb, colour0, colour1);
    if (!twoColour) {
      colour0 = TRGB{}, colour1 = TRGB{255, 255, 255};
      std::unique_ptr<TIEBitmap> bilevel;
      InFormat(rgb, ie1g, bilevel);
      twoColour = std::move(bilevel);
    }
    source = twoColour.get();
  }
  const std::vector<TRGB> palette{colour0, colour1};
  w.params.ColorMap = palette;
  WritePalette(w, palette);
  const int32_t bytes = (source->GetWidth() + 7) / 8;
  WriteRows(w, source->GetWidth(), source->GetHeight(), 1, false,
            [&](int32_t y, uint8_t* row, uint8_t*) { std::memcpy(row, source->GetScanline(y), bytes); });
}

void WriteTrueColour(TWriteState& w, TIEBitmap& bitmap, int32_t bits, bool saveAlpha) {
  std::unique_ptr<TIEBitmap> holder;
  TIEBitmap& source = InFormat(bitmap, ie24RGB, holder);
  TIEBitmap* alpha = bits == 32 && saveAlpha && bitmap.HasAlphaChannel() ? bitmap.GetAlphaChannel() : nullptr;
  const int32_t width = source.GetWidth();
  WriteRows(w, width, source.GetHeight(), bits, false, [&](int32_t y, uint8_t* row, uint8_t*) {
    const uint8_t* in = source.GetScanline(y);
    if (bits == 24) {
      std::memcpy(row, in, static_cast<size_t>(width) * 3);
      return;
    }
    const uint8_t* a = alpha ? alpha->GetScanline(y) : nullptr;
    for (int32_t x = 0; x < width; ++x) {
      std::memcpy(row + 4 * x, in + 3 * x, 3);
      row[4 * x + 3] = a ? a[x] : 255;
    }
  });
}

}  // namespace

void IEWriteBMPStream(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress,
                      bool saveAlpha) {
  TWriteState w(stream, params, progress);
  const int32_t width = bitmap.GetWidth(), height = bitmap.GetHeight();
  const int32_t bits = DepthFor(bitmap, params);
  const bool core = params.BMP_VERSION == 2;
  const bool rle = !core && params.BMP_COMPRESSION == 1 && (bits == 4 || bits == 8);
  if (core && (width > 0xFFFF || height > 0xFFFF)) {
    progress.Abort();
    return;
  }
  const int64_t start = stream.Position();
  uint8_t fileHeader[kFileHeaderSize] = {'B', 'M'};
  const int32_t headerSize = core ? 12 : (params.BMP_VERSION == 3 ? 64 : 40);
  std::vector<uint8_t> info(static_cast<size_t>(headerSize), 0);
  PutLE32(info.data(), static_cast<uint32_t>(headerSize));
  if (core) {
    PutLE16(&info[4], static_cast<uint32_t>(width));
    PutLE16(&info[6], static_cast<uint32_t>(height));
    PutLE16(&info[8], 1);
  } else {
    PutLE32(&info[4], static_cast<uint32_t>(width));
    PutLE32(&info[8], static_cast<uint32_t>(height));
    PutLE16(&info[12], 1);
    PutLE32(&info[16], rle ? (bits == 8 ? 1 : 2) : 0);
    PutLE32(&info[24], static_cast<uint32_t>(MetresFromDpi(params.DPIX)));
    PutLE32(&info[28], static_cast<uint32_t>(MetresFromDpi(params.DPIY)));
    PutLE32(&info[32], bits <= 8 ? 1u << bits : 0);
    PutLE32(&info[36], 1u << (bits % 32));
  }
  w.Put(fileHeader, kFileHeaderSize);
  w.Put(info.data(), headerSize);
  int64_t pixelStart = 0;
  if (bits == 1) {
    WriteBilevel(w, bitmap);
  } else if (bits == 4 || bits == 8) {
    // The palette goes before the pixels: pixelStart is taken after it.
    WritePaletteImage(w, bitmap, bits, rle);
  } else {
    pixelStart = stream.Position();
    WriteTrueColour(w, bitmap, bits, saveAlpha);
  }
  if (progress.Aborted()) return;
  const int64_t end = stream.Position();
  if (pixelStart == 0) {
    const int64_t paletteBytes = int64_t{bits == 1 ? 2 : 1 << bits} * (core ? 3 : 4);
    pixelStart = start + kFileHeaderSize + headerSize + paletteBytes;
  }
  PutLE32(fileHeader + 2, static_cast<uint32_t>(end - start));
  PutLE32(fileHeader + 10, static_cast<uint32_t>(pixelStart - start));
  if (core)
    PutLE16(&info[10], static_cast<uint32_t>(bits));
  else
    PutLE16(&info[14], static_cast<uint32_t>(bits)), PutLE32(&info[20], static_cast<uint32_t>(end - pixelStart));
  stream.SetPosition(start);
  w.Put(fileHeader, kFileHeaderSize);
  w.Put(info.data(), headerSize);
  stream.SetPosition(end);
}
