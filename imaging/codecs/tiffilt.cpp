// The TIFF reader: header, directory choice, tags into the parameters, and
// the strip and tile decoders (uncompressed, LZW, deflate, PackBits, fax
// codes; JPEG through tiffilt_jpeg.cpp) with the horizontal predictor,
// storing grey, palette, RGB, CMYK, Lab, YCbCr and alpha rows; the writer.
#include "imaging/codecs/codecbytes.h"
#include "imaging/codecs/tiffilt.h"

#include <algorithm>
#include <limits>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include <libdeflate.h>
#include <zlib.h>

#include "imaging/codecs/codecframes.h"
#include "imaging/codecs/iepsd.h"
#include "imaging/codecs/jpegfilt.h"
#include "imaging/codecs/neurquant.h"
#include "imaging/codecs/tifccitt.h"
#include "imaging/codecs/tiffilt_internal.h"
#include "imaging/codecs/tiffilt_meta.h"
#include "imaging/codecs/tiflzw.h"
#include "imaging/core/iesettings.h"
#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/core/ruduvazez_icc.h"
#include "imaging/core/ruduvazez_tiffifd.h"
#include "imaging/io/imageryio_cmyk.h"
#include "imaging/io/imageryio_codecs.h"
#include "imaging/io/imageryio_params.h"
#include "imaging/io/imageryio_registry.h"
#include "imaging/processing/imageryproc_bits.h"
#include "platform/rtl/streams.h"

namespace {

enum : uint16_t {
  kNewSubfileType = 254,
  kImageWidth = 256,
  kImageLength = 257,
  kBitsPerSample = 258,
  kCompression = 259,
  kPhotometric = 262,
  kFillOrder = 266,
  kDocumentName = 269,
  kImageDescription = 270,
  kStripOffsets = 273,
  kOrientation = 274,
  kSamplesPerPixel = 277,
  kRowsPerStrip = 278,
  kStripByteCounts = 279,
  kXResolution = 282,
  kYResolution = 283,
  kPlanarConfig = 284,
  kPageName = 285,
  kXPosition = 286,
  kYPosition = 287,
  kSubIFDs = 330,
  kT4Options = 292,
  kT6Options = 293,
  kResolutionUnit = 296,
  kPageNumber = 297,
  kPredictor = 317,
  kColorMap = 320,
  kTileWidth = 322,
  kTileLength = 323,
  kTileOffsets = 324,
  kTileByteCounts = 325,
  kExtraSamples = 338,
  kSampleFormat = 339,
  kJPEGTables = 347,
  kJPEGProc = 512,
  kJPEGInterchange = 513,
  kJPEGInterchangeLength = 514,
  kYCbCrSubSampling = 530,
};

enum : int32_t { kNone = 1, kCCITTRLE = 2, kCCITTFax3 = 3, kCCITTFax4 = 4, kLZW = 5, kOldJPEG = 6, kJPEG = 7,
                 kDeflate = 8, kAdobeDeflate = 32946, kPackBits = 32773 };
enum : int32_t { kWhiteIsZero = 0, kBlackIsZero = 1, kRGB = 2, kPalette = 3, kSeparated = 5, kYCbCr = 6,
                 kCIELab = 8, kICCLab = 9 };

bool IsCCITT(int32_t compression) { return compression >= kCCITTRLE && compression <= kCCITTFax4; }

// The parameters' compression choices (TIFF_COMPRESSION) handled here.
enum : uint8_t { kChoiceNone = 0, kChoiceMH = 1, kChoiceG3 = 2, kChoiceG32D = 3, kChoiceG4 = 4, kChoiceLZW = 5,
                 kChoiceOldJPEG = 6, kChoiceJPEG = 7, kChoicePackBits = 8, kChoiceZip = 9, kChoiceDeflate = 10 };

// The most bytes one compressed byte can stand for in the decoders here
// (LZW reaches about 2,700; deflate about 1,030): what a file can claim.
constexpr int64_t kMaxExpansion = 4096;

// The header at the base: byte order, layout and the first directory offset.
struct TiffHeader {
  bool intel = true;
  bool bigTIFF = false;
  int64_t firstIFD = 0;
};

bool ReadHeader(TStream& stream, int64_t base, TiffHeader& header) {
  uint8_t raw[16] = {};
  stream.SetPosition(base);
  if (stream.Read(raw, 16) < 8) return false;
  if (raw[0] != raw[1] || (raw[0] != 'I' && raw[0] != 'M')) return false;
  header.intel = raw[0] == 'I';
  auto get = [&](int at, int size) {
    uint64_t v = 0;
    for (int k = 0; k < size; ++k) {
      const int byte = header.intel ? at + size - 1 - k : at + k;
      v = (v << 8) | raw[byte];
    }
    return v;
  };
  const uint64_t magic = get(2, 2);
  if (magic == 42) {
    header.firstIFD = static_cast<int64_t>(get(4, 4));
  } else if (magic == 43) {
    if (get(4, 2) != 8 || get(6, 2) != 0) return false;
    header.bigTIFF = true;
    const uint64_t first = get(8, 8);
    if (first > static_cast<uint64_t>(INT64_MAX)) return false;
    header.firstIFD = static_cast<int64_t>(first);
  } else {
    return false;
  }
  return header.firstIFD >= 8;
}

void SetupReader(TIETIFFIFDReader& reader, TStream& stream, int64_t base, const TiffHeader& header) {
  reader.Intel = header.intel;
  reader.Stream = &stream;
  reader.BaseOffset = base;
  reader.BigTIFF = header.bigTIFF;
  reader.OffsetSize = header.bigTIFF ? 8 : 4;
}

// What the strip decoders need, read from the directory.
struct Layout {
  int32_t width = 0, height = 0;
  int32_t bps = 1, spp = 1;
  int32_t compression = kNone, photometric = kBlackIsZero, predictor = 1, planar = 1, fillOrder = 1;
  int64_t rowsPerStrip = 0;
  int32_t extraSamples = 0;
  bool alpha = false;  // the first extra sample is loaded as alpha
  bool premultiplied = false;  // and the colours were multiplied by it (associated alpha)
  int32_t colourSamples = 1;
  int64_t rowBytes = 0;  // one coded row: chunky samples, or YCbCr data units
  bool intel = true;
  int32_t t4Options = 0;
  int32_t tileWidth = 0, tileLength = 0;  // 0: strips
  int32_t subH = 1, subV = 1;             // YCbCr subsampling of uncompressed data units
  TIETIFFLZWDecoder lzw = nullptr;        // the parameters' decoder, else the library's
};

// The coded row length of a block of the layout's width: chunky samples, or
// for subsampled YCbCr one row of data units (subV pixel rows).
int64_t CodedRowBytes(const Layout& l) {
  if (l.subH > 1 || l.subV > 1)
    return (int64_t{l.width} + l.subH - 1) / l.subH * (int64_t{l.subH} * l.subV + 2);
  return (static_cast<int64_t>(l.width) * l.spp * l.bps + 7) / 8;
}

bool ReadLayout(const TIETIFFIFDReader& r, Layout& l, bool noAlpha) {
  const int64_t width = r.ReadInteger(kImageWidth, 0, 0), height = r.ReadInteger(kImageLength, 0, 0);
  if (width <= 0 || height <= 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF) return false;
  l.width = static_cast<int32_t>(width);
  l.height = static_cast<int32_t>(height);
  l.bps = static_cast<int32_t>(r.ReadInteger(kBitsPerSample, 0, 1));
  // One sample size for every sample: mixed sizes are not read.
  std::vector<int64_t> sizes;
  r.ReadIntegerArray(sizes, kBitsPerSample);
  if (std::any_of(sizes.begin(), sizes.end(), [&](int64_t bits) { return bits != l.bps; })) return false;
  l.spp = static_cast<int32_t>(r.ReadInteger(kSamplesPerPixel, 0, 1));
  l.compression = static_cast<int32_t>(r.ReadInteger(kCompression, 0, kNone));
  l.photometric = static_cast<int32_t>(r.ReadInteger(kPhotometric, 0, kBlackIsZero));
  l.predictor = static_cast<int32_t>(r.ReadInteger(kPredictor, 0, 1));
  l.planar = static_cast<int32_t>(r.ReadInteger(kPlanarConfig, 0, 1));
  l.fillOrder = static_cast<int32_t>(r.ReadInteger(kFillOrder, 0, 1));
  // A bilevel page without its photometric tag, coded as fax or plain
  // bits, has white as 0.
  if (l.bps == 1 && l.spp == 1 && l.compression >= kNone && l.compression <= kCCITTFax4 &&
      r.FindTag(kPhotometric) < 0)
    l.photometric = kWhiteIsZero;
  l.rowsPerStrip = r.ReadInteger(kRowsPerStrip, 0, height);
  if (l.rowsPerStrip <= 0 || l.rowsPerStrip > height) l.rowsPerStrip = height;
  l.t4Options = static_cast<int32_t>(r.ReadInteger(kT4Options, 0, 0));
  if (r.FindTag(kTileWidth) >= 0 || r.FindTag(kTileLength) >= 0) {
    const int64_t tw = r.ReadInteger(kTileWidth, 0, 0), tl = r.ReadInteger(kTileLength, 0, 0);
    if (tw <= 0 || tl <= 0 || tw > 0x10000 || tl > 0x10000) return false;
    l.tileWidth = static_cast<int32_t>(tw);
    l.tileLength = static_cast<int32_t>(tl);
  }
  if (l.spp < 1 || l.spp > 16) return false;
  // 12-bit samples only as single grey samples.
  const bool grey12 = l.bps == 12 && l.spp == 1 && l.predictor == 1 &&
                      (l.photometric == kWhiteIsZero || l.photometric == kBlackIsZero);
  if (l.bps != 1 && l.bps != 2 && l.bps != 4 && l.bps != 8 && l.bps != 16 && !grey12) return false;
  if (r.ReadInteger(kSampleFormat, 0, 1) != 1) return false;
  if (IsCCITT(l.compression) && (l.bps != 1 || l.spp != 1)) return false;
  const bool lab = l.photometric == kCIELab || l.photometric == kICCLab;
  l.colourSamples = l.photometric == kRGB || l.photometric == kYCbCr || lab ? 3 : l.photometric == kSeparated ? 4 : 1;
  if (l.photometric == kYCbCr && l.compression != kJPEG) {
    const int64_t h = r.ReadInteger(kYCbCrSubSampling, 0, 2), v = r.ReadInteger(kYCbCrSubSampling, 1, 2);
    l.subH = h == 0 ? 2 : static_cast<int32_t>(h);
    l.subV = v == 0 ? 2 : static_cast<int32_t>(v);
    const auto allowed = [](int32_t f) { return f == 1 || f == 2 || f == 4; };
    if (!allowed(l.subH) || !allowed(l.subV) || l.subV > l.subH || l.bps != 8 || l.spp != 3 || l.planar != 1 ||
        l.predictor != 1)
      return false;
  }
  if (l.spp < l.colourSamples) return false;
  l.extraSamples = l.spp - l.colourSamples;
  const int32_t extraTag = r.FindTag(kExtraSamples);
  // Four RGB samples without ExtraSamples are RGBA all the same.
  const bool rgba = l.spp == 4 && l.photometric == kRGB && extraTag < 0;
  l.alpha = !noAlpha && l.extraSamples > 0 && (rgba || (extraTag >= 0 && r.ReadInteger(kExtraSamples, 0, 0) != 0));
  l.premultiplied = l.alpha && extraTag >= 0 && r.ReadInteger(kExtraSamples, 0, 0) == 1;
  l.rowBytes = CodedRowBytes(l);
  return l.rowBytes < 0x7FFFFFFF;
}

TIEPixelFormat TargetFormat(const Layout& l) {
  if (l.compression == kJPEG) {
    if (l.bps != 8) return ieNoFormat;
    if (l.photometric == kSeparated) return ieCMYK;
    return l.photometric == kWhiteIsZero || l.photometric == kBlackIsZero ? ie8g : ie24RGB;
  }
  switch (l.photometric) {
    case kWhiteIsZero:
    case kBlackIsZero:
      return l.bps == 1 ? ie1g : l.bps >= 12 ? ie16Gray : ie8g;
    case kPalette:
      return l.bps <= 8 ? ie8p : ieNoFormat;
    case kRGB:
      return l.bps == 16 ? ieRGB48 : l.bps == 8 ? ie24RGB : ieNoFormat;
    case kSeparated:
      return l.bps >= 8 ? ieCMYK : ieNoFormat;
    case kYCbCr:
      return l.bps == 8 ? ie24RGB : ieNoFormat;
    case kCIELab:
    case kICCLab:
      return l.bps >= 8 ? ie24RGB : ieNoFormat;
    default:
      return ieNoFormat;
  }
}

// Formats a load gives only when the caller asks for the file's own pixel
// format; otherwise the image comes as 24-bit colour.
bool KeptOnlyNative(TIEPixelFormat format) {
  return format == ie8p || format == ie16Gray || format == ieCMYK || format == ieRGB48;
}

// Colours stored multiplied by their alpha are divided by it again: the
// bitmap keeps straight colours beside its alpha channel.
template <class Sample>
void UnpremultiplyRows(TIEBitmap& bitmap, int32_t samples) {
  TIEBitmap& alpha = *bitmap.GetAlphaChannel();
  for (int32_t y = 0; y < bitmap.GetHeight(); ++y) {
    auto* row = reinterpret_cast<Sample*>(bitmap.GetScanline(y));
    const uint8_t* a = alpha.GetScanline(y);
    for (int32_t x = 0; x < bitmap.GetWidth(); ++x) {
      if (a[x] == 0 || a[x] == 255) continue;
      for (int32_t c = 0; c < samples; ++c) {
        Sample& v = row[int64_t{x} * samples + c];
        const uint32_t most = std::numeric_limits<Sample>::max();
        v = static_cast<Sample>(std::min<uint32_t>(most, (uint32_t{v} * 255 + a[x] / 2) / a[x]));
      }
    }
  }
}

void Unpremultiply(TIEBitmap& bitmap) {
  switch (bitmap.GetPixelFormat()) {
    case ie24RGB: return UnpremultiplyRows<uint8_t>(bitmap, 3);
    case ie8g: return UnpremultiplyRows<uint8_t>(bitmap, 1);
    case ieRGB48: return UnpremultiplyRows<uint16_t>(bitmap, 3);
    case ie16Gray: return UnpremultiplyRows<uint16_t>(bitmap, 1);
    default: return;
  }
}

// ---- decompression --------------------------------------------------------------------

bool UnpackBits(const std::vector<uint8_t>& in, uint8_t* out, int64_t wanted) {
  size_t i = 0;
  int64_t o = 0;
  while (o < wanted && i < in.size()) {
    const auto n = static_cast<int8_t>(in[i++]);
    if (n >= 0) {
      const int64_t len = n + 1;
      if (static_cast<int64_t>(in.size() - i) < len || wanted - o < len) return false;
      std::memcpy(out + o, in.data() + i, static_cast<size_t>(len));
      i += static_cast<size_t>(len);
      o += len;
    } else if (n != -128) {
      const int64_t len = 1 - n;
      if (i >= in.size() || wanted - o < len) return false;
      std::memset(out + o, in[i++], static_cast<size_t>(len));
      o += len;
    }
  }
  return o == wanted;
}

// zlib's inflate capped at the rows: for streams that hold more than them.
bool InflateCapped(const std::vector<uint8_t>& in, uint8_t* out, int64_t wanted) {
  if (wanted > UINT32_MAX || in.size() > UINT32_MAX) return false;
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return false;
  z.next_in = const_cast<Bytef*>(in.data());
  z.avail_in = static_cast<uInt>(in.size());
  z.next_out = out;
  z.avail_out = static_cast<uInt>(wanted);
  const int result = inflate(&z, Z_FINISH);
  const bool full = z.avail_out == 0 && (result == Z_STREAM_END || result == Z_OK || result == Z_BUF_ERROR);
  inflateEnd(&z);
  return full;
}

// Inflates straight into the rows, never past them; false when the data
// ends or breaks before they are full.
bool Inflate(const std::vector<uint8_t>& in, uint8_t* out, int64_t wanted) {
  libdeflate_decompressor* d = libdeflate_alloc_decompressor();
  if (!d) return false;
  size_t made = 0;
  const libdeflate_result result = libdeflate_zlib_decompress(d, in.data(), in.size(), out,
                                                              static_cast<size_t>(wanted), &made);
  libdeflate_free_decompressor(d);
  if (result == LIBDEFLATE_INSUFFICIENT_SPACE) return InflateCapped(in, out, wanted);
  return result == LIBDEFLATE_SUCCESS && static_cast<int64_t>(made) == wanted;
}

bool DecodeLZW(TIETIFFLZWDecoder decode, const std::vector<uint8_t>& in, uint8_t* out, int64_t rowBytes, int64_t rows,
               int32_t fillOrder) {
  if (!decode) return false;
  // The library's own decoder writes the whole strip in place.
  if (decode == DecodeTIFFLZW)
    return DecodeTIFFLZWStrip(in.data(), in.size(), out, static_cast<size_t>(rowBytes * rows), fillOrder);
  void* state = nullptr;
  bool ok = true;
  for (int64_t y = 0; y < rows && ok; ++y) {
    const uint8_t* row = decode(in.data(), in.size(), static_cast<int32_t>(rowBytes), state, fillOrder);
    if (!row) ok = false;
    else std::memcpy(out + y * rowBytes, row, static_cast<size_t>(rowBytes));
  }
  if (state) decode(nullptr, 0, 0, state, fillOrder);
  return ok;
}

void ReverseBits(std::vector<uint8_t>& data) {
  for (uint8_t& b : data) {
    uint8_t r = 0;
    for (int k = 0; k < 8; ++k) r = static_cast<uint8_t>(r | (((b >> k) & 1) << (7 - k)));
    b = r;
  }
}

// Fax rows as samples: the decoders give white as 1, the file's samples
// have the white runs as 0. False when the data ends before a row begins.
bool DecodeFax(const Layout& l, const std::vector<uint8_t>& in, uint8_t* out, int64_t rows) {
  const auto length = static_cast<int64_t>(in.size());
  std::vector<uint8_t> reference(static_cast<size_t>(l.rowBytes), 0xFF);
  int64_t bit = 0;
  for (int64_t y = 0; y < rows; ++y) {
    if (bit >= length * 8) return false;
    uint8_t* row = out + y * l.rowBytes;
    switch (l.compression) {
      case kCCITTRLE:
        bit += 8 * IECCITTDecodeRowMH(row, in.data() + bit / 8, length - bit / 8, l.fillOrder, l.width);
        break;
      case kCCITTFax3:
        bit = (l.t4Options & 1) ? IECCITTDecodeRow2D(row, in.data(), length, true, l.fillOrder, bit,
                                                     reference.data(), l.width)
                                : IECCITTDecodeRow1D(row, in.data(), length, l.fillOrder, bit, l.width);
        break;
      default:
        bit = IECCITTDecodeRow2D(row, in.data(), length, (l.t4Options & 4) != 0, l.fillOrder, bit,
                                 reference.data(), l.width);
        break;
    }
    for (int64_t k = 0; k < l.rowBytes; ++k) row[k] = static_cast<uint8_t>(~row[k]);
  }
  return true;
}

bool Decompress(const Layout& l, std::vector<uint8_t>& raw, uint8_t* out, int64_t rows) {
  const int64_t wanted = l.rowBytes * rows;
  if (IsCCITT(l.compression)) return DecodeFax(l, raw, out, rows);
  if (l.fillOrder == 2 && l.compression != kLZW) ReverseBits(raw);
  switch (l.compression) {
    case kNone:
      if (static_cast<int64_t>(raw.size()) < wanted) return false;
      std::memcpy(out, raw.data(), static_cast<size_t>(wanted));
      return true;
    case kLZW:
      return DecodeLZW(l.lzw, raw, out, l.rowBytes, rows, l.fillOrder);
    case kDeflate:
    case kAdobeDeflate:
      return Inflate(raw, out, wanted);
    case kPackBits:
      return UnpackBits(raw, out, wanted);
    default:
      return false;
  }
}

// The horizontal predictor undone on an 8-bit row of count samples, with
// the running sums of the pixel's samples kept in registers.
template <int kSpp>
void UndoPredictor8(uint8_t* row, int64_t count) {
  uint8_t sum[kSpp];
  for (int c = 0; c < kSpp; ++c) sum[c] = row[c];
  for (int64_t i = kSpp; i + kSpp <= count; i += kSpp)
    for (int c = 0; c < kSpp; ++c) row[i + c] = sum[c] = static_cast<uint8_t>(sum[c] + row[i + c]);
}

void UndoPredictor8(uint8_t* row, int64_t count, int32_t spp) {
  switch (spp) {
    case 1: UndoPredictor8<1>(row, count); break;
    case 2: UndoPredictor8<2>(row, count); break;
    case 3: UndoPredictor8<3>(row, count); break;
    case 4: UndoPredictor8<4>(row, count); break;
    default:
      for (int64_t i = spp; i < count; ++i) row[i] = static_cast<uint8_t>(row[i] + row[i - spp]);
      break;
  }
}

// 16-bit samples into host order, then the horizontal predictor undone.
bool PrepareSamples(const Layout& l, uint8_t* data, int64_t rows) {
  if (l.bps == 16) {
    const int64_t words = l.rowBytes * rows / 2;
    for (int64_t k = 0; k < words; ++k) {
      uint8_t* p = data + 2 * k;
      const auto v = static_cast<uint16_t>(l.intel ? p[0] | (p[1] << 8) : (p[0] << 8) | p[1]);
      std::memcpy(p, &v, 2);
    }
  }
  if (l.predictor == 1) return true;
  if (l.predictor != 2 || (l.bps != 8 && l.bps != 16)) return false;
  const int64_t count = static_cast<int64_t>(l.width) * l.spp;
  for (int64_t y = 0; y < rows; ++y) {
    uint8_t* row = data + y * l.rowBytes;
    if (l.bps == 8) {
      UndoPredictor8(row, count, l.spp);
    } else {
      auto* w = reinterpret_cast<uint16_t*>(row);
      for (int64_t i = l.spp; i < count; ++i) w[i] = static_cast<uint16_t>(w[i] + w[i - l.spp]);
    }
  }
  return true;
}

// ---- storing rows --------------------------------------------------------------------------

// Sample index of a chunky row at 1, 2, 4, 8 or 16 bits (16-bit in host order).
uint32_t Sample(const uint8_t* row, int64_t index, int32_t bps) {
  switch (bps) {
    case 16: {
      uint16_t v;
      std::memcpy(&v, row + 2 * index, 2);
      return v;
    }
    case 8:
      return row[index];
    case 12: {  // two samples in three bytes
      const uint8_t* p = row + index / 2 * 3;
      return index % 2 ? ((p[1] & 0x0F) << 8) | p[2] : (p[0] << 4) | (p[1] >> 4);
    }
    default: {
      const int64_t bit = index * bps;
      return (row[bit >> 3] >> (8 - bps - (bit & 7))) & ((1u << bps) - 1);
    }
  }
}

uint8_t To8(uint32_t v, int32_t bps) {
  switch (bps) {
    case 16: return static_cast<uint8_t>(v >> 8);
    case 8: return static_cast<uint8_t>(v);
    default: return static_cast<uint8_t>(v * 255 / ((1u << bps) - 1));
  }
}

void StoreRow(const Layout& l, TIEPixelFormat format, const uint8_t* src, uint8_t* dst, uint8_t* alpha) {
  const int32_t w = l.width, spp = l.spp, bps = l.bps;
  const bool invert = l.photometric == kWhiteIsZero;
  switch (format) {
    case ie1g: {
      const int64_t bytes = (w + 7) / 8;
      if (spp == 1) {
        for (int64_t k = 0; k < bytes; ++k) dst[k] = invert ? static_cast<uint8_t>(~src[k]) : src[k];
      } else {
        std::memset(dst, 0, static_cast<size_t>(bytes));
        for (int32_t x = 0; x < w; ++x)
          if ((Sample(src, int64_t{x} * spp, 1) != 0) != invert) dst[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
      }
      break;
    }
    case ie8g:
      for (int32_t x = 0; x < w; ++x) {
        const uint8_t v = To8(Sample(src, int64_t{x} * spp, bps), bps);
        dst[x] = invert ? static_cast<uint8_t>(255 - v) : v;
      }
      break;
    case ie16Gray: {
      auto* d = reinterpret_cast<uint16_t*>(dst);
      for (int32_t x = 0; x < w; ++x) {
        const uint32_t sample = Sample(src, int64_t{x} * spp, bps);
        const auto v = static_cast<uint16_t>(bps == 12 ? sample * 16 : sample);
        d[x] = invert ? static_cast<uint16_t>((bps == 12 ? 65520 : 65535) - v) : v;
      }
      break;
    }
    case ie8p:
      for (int32_t x = 0; x < w; ++x) dst[x] = static_cast<uint8_t>(Sample(src, int64_t{x} * spp, bps));
      break;
    case ie24RGB:
      if (l.photometric == kCIELab || l.photometric == kICCLab) {
        IETIFFLabRowToBGR(src, spp, bps, l.photometric == kICCLab, w, dst);
        break;
      }
      for (int32_t x = 0; x < w; ++x) {
        const uint8_t* p = src + int64_t{x} * spp;
        dst[3 * x] = p[2];
        dst[3 * x + 1] = p[1];
        dst[3 * x + 2] = p[0];
      }
      break;
    case ieRGB48: {
      auto* d = reinterpret_cast<uint16_t*>(dst);
      for (int32_t x = 0; x < w; ++x)
        for (int c = 0; c < 3; ++c) d[3 * x + c] = static_cast<uint16_t>(Sample(src, int64_t{x} * spp + c, 16));
      break;
    }
    case ieCIELab:  // L byte, signed a and b bytes
      for (int32_t x = 0; x < w; ++x)
        for (int c = 0; c < 3; ++c)
          dst[3 * x + c] = static_cast<uint8_t>(src[int64_t{x} * spp + c] - (c > 0 && l.photometric == kICCLab ? 128 : 0));
      break;
    case ieCMYK:
      for (int32_t x = 0; x < w; ++x)
        for (int c = 0; c < 4; ++c)
          dst[4 * x + c] = static_cast<uint8_t>(255 - To8(Sample(src, int64_t{x} * spp + c, bps), bps));
      break;
    default:
      break;
  }
  if (alpha)
    for (int32_t x = 0; x < w; ++x) alpha[x] = To8(Sample(src, int64_t{x} * spp + l.colourSamples, bps), bps);
}

bool LoadPalette(const TIETIFFIFDReader& r, const Layout& l, TIEBitmap& bitmap, TIOParamsVals& params) {
  std::vector<int64_t> map;
  const int32_t count = r.ReadIntegerArray(map, kColorMap);
  const int32_t entries = 1 << l.bps;
  if (count < 3 * entries) return false;
  params.ColorMap.assign(static_cast<size_t>(entries), TRGB{});
  for (int32_t k = 0; k < entries; ++k) {
    TRGB& c = params.ColorMap[static_cast<size_t>(k)];
    c.r = static_cast<uint8_t>(map[static_cast<size_t>(k)] >> 8);
    c.g = static_cast<uint8_t>(map[static_cast<size_t>(entries + k)] >> 8);
    c.b = static_cast<uint8_t>(map[static_cast<size_t>(2 * entries + k)] >> 8);
    bitmap.SetPaletteColor(k, c);
  }
  bitmap.SetPaletteUsed(entries);
  return true;
}


// The most bytes one compressed byte of the layout can stand for: a fax
// row of one colour takes a single bit whatever its width.
int64_t MaxExpansion(const Layout& l) { return IsCCITT(l.compression) ? kMaxExpansion * 8 : kMaxExpansion; }

// Where the strips or tiles lie and what each one codes.
struct BlockGrid {
  int32_t width = 0, rows = 0;   // pixels and rows one block codes
  int64_t across = 1, down = 1;  // blocks in a row of blocks; rows of blocks
  bool tiled = false;
  std::vector<int64_t> offsets, counts;
  int64_t Count() const { return across * down; }
};

BlockGrid ReadGrid(const TIETIFFIFDReader& r, const Layout& l) {
  BlockGrid g;
  g.tiled = l.tileWidth > 0;
  g.width = g.tiled ? l.tileWidth : l.width;
  g.rows = g.tiled ? l.tileLength : static_cast<int32_t>(l.rowsPerStrip);
  g.across = (int64_t{l.width} + g.width - 1) / g.width;
  g.down = (int64_t{l.height} + g.rows - 1) / g.rows;
  // Tiles described by the strip tags are read as tiles.
  const bool tileTags = g.tiled && r.FindTag(kTileOffsets) >= 0;
  r.ReadIntegerArray(g.offsets, tileTags ? kTileOffsets : kStripOffsets);
  r.ReadIntegerArray(g.counts, tileTags ? kTileByteCounts : kStripByteCounts);
  return g;
}

// Narrows the grid to one tile (of every plane): the image is then that
// tile, at its full size. False when the page has no such tile.
bool SelectTile(BlockGrid& g, const Layout& l, int64_t tile) {
  const int32_t planes = l.planar == 2 ? l.spp : 1;
  if (tile >= g.Count()) return false;
  std::vector<int64_t> offsets, counts;
  for (int32_t p = 0; p < planes; ++p) {
    const auto index = static_cast<size_t>(p * g.Count() + tile);
    if (index >= g.offsets.size()) return false;
    offsets.push_back(g.offsets[index]);
    // Missing counts stay missing: uncompressed tiles get their full size later.
    if (index < g.counts.size()) counts.push_back(g.counts[index]);
  }
  g.offsets = std::move(offsets);
  g.counts = std::move(counts);
  g.across = g.down = 1;
  return true;
}

// What the file holds bounds what it may claim to decode to: false when
// the blocks' bytes present cannot make the image.
bool ClaimFits(TStream& stream, int64_t base, const BlockGrid& g, const Layout& l) {
  const int64_t room = stream.Size() - base;
  int64_t held = 0;
  for (size_t s = 0; s < g.offsets.size(); ++s) {
    const int64_t count = s < g.counts.size() ? g.counts[s] : l.rowBytes * g.rows;
    if (g.offsets[s] >= 0 && g.offsets[s] < room) held += std::clamp<int64_t>(count, 0, room - g.offsets[s]);
    held = std::min<int64_t>(held, int64_t{1} << 40);
  }
  const double claimed = static_cast<double>(l.rowBytes) * l.height;
  return claimed <= static_cast<double>(held + 1024) * static_cast<double>(MaxExpansion(l));
}

// Block data of the file decoded into out (rows of l.rowBytes), samples in
// host order with the predictor undone.
bool DecodeOneStrip(TStream& stream, int64_t base, const Layout& l, int64_t offset, int64_t count, int64_t rows,
                    std::vector<uint8_t>& raw, std::vector<uint8_t>& out) {
  const int64_t wanted = l.rowBytes * rows;
  // An uncompressed strip holds its full rows whatever its byte count says.
  if (l.compression == kNone) count = std::max(count, wanted);
  if (!IETIFFReadBlock(stream, base, offset, count, raw)) return false;
  if (l.rowBytes * rows > (static_cast<int64_t>(raw.size()) + 64) * MaxExpansion(l)) return false;
  if (l.compression == kNone && static_cast<int64_t>(raw.size()) >= wanted) {
    // Uncompressed rows are used where they were read.
    if (l.fillOrder == 2) ReverseBits(raw);
    out.swap(raw);
    out.resize(std::max(out.size(), static_cast<size_t>(wanted) + 1));
    return PrepareSamples(l, out.data(), rows);
  }
  out.resize(static_cast<size_t>(wanted) + 1);  // every decoder fills it whole or fails
  return Decompress(l, raw, out.data(), rows) && PrepareSamples(l, out.data(), rows);
}

// count pixels of a row of the format from pixel 0 of src to pixel x of dst.
void PlacePixels(TIEPixelFormat format, const uint8_t* src, uint8_t* dst, int32_t x, int32_t count) {
  const int32_t bits = IEPixelFormatInfo[format].BitsPerPixel;
  if (bits % 8 == 0) {
    std::memcpy(dst + int64_t{x} * (bits / 8), src, static_cast<size_t>(count) * static_cast<size_t>(bits / 8));
    return;
  }
  for (int32_t k = 0; k < count; ++k) {
    const int64_t to = int64_t{x} + k;
    const auto mask = static_cast<uint8_t>(0x80 >> (to & 7));
    if (src[k >> 3] & (0x80 >> (k & 7))) dst[to >> 3] |= mask;
    else dst[to >> 3] &= static_cast<uint8_t>(~mask);
  }
}

// Rows of a decoded JPEG block into the bitmap at (x0, y0).
bool PlaceJPEGBlock(TIEBitmap& scratch, TIEBitmap& bitmap, int32_t x0, int32_t y0, int32_t width, int32_t rows) {
  const TIEPixelFormat format = bitmap.GetPixelFormat();
  if (scratch.GetPixelFormat() != format) scratch.SetPixelFormat(format);
  if (scratch.GetPixelFormat() != format || scratch.GetHeight() < rows || scratch.GetWidth() < width) return false;
  for (int32_t y = 0; y < rows; ++y) PlacePixels(format, scratch.GetScanline(y), bitmap.GetScanline(y0 + y), x0, width);
  return true;
}

// The rows of every plane of block b, interleaved into chunky samples when
// the planes are separate.
bool DecodeBlockSamples(TStream& stream, int64_t base, const Layout& coded, const BlockGrid& g, int32_t planes,
                        int64_t b, int64_t rows, int32_t spp, std::vector<uint8_t>& raw, std::vector<uint8_t>& decoded,
                        std::vector<uint8_t>& chunky) {
  const int32_t sampleBytes = coded.bps / 8;
  if (planes > 1) chunky.assign(static_cast<size_t>((int64_t{coded.width} * spp * sampleBytes) * rows), 0);
  for (int32_t p = 0; p < planes; ++p) {
    const auto index = static_cast<size_t>(p * g.Count() + b);
    if (!DecodeOneStrip(stream, base, coded, g.offsets[index], g.counts[index], rows, raw, decoded)) return false;
    if (planes == 1) return true;
    const int64_t samples = int64_t{coded.width} * rows;
    for (int64_t k = 0; k < samples; ++k)
      std::memcpy(chunky.data() + (k * spp + p) * sampleBytes, decoded.data() + k * sampleBytes,
                  static_cast<size_t>(sampleBytes));
  }
  return true;
}

bool DecodeBlocks(TStream& stream, int64_t base, const TIETIFFIFDReader& r, const Layout& l, BlockGrid& g,
                  TIEBitmap& bitmap, TIEProgressRecord& progress) {
  // Separate planes: one block per plane for each place, each plane
  // decoded as a one-sample image and its samples put in place.
  const int32_t planes = l.planar == 2 ? l.spp : 1;
  Layout store = l;  // the block's rows as stored samples
  store.width = g.width;
  store.rowBytes = (static_cast<int64_t>(g.width) * l.spp * l.bps + 7) / 8;
  Layout coded = store;  // the block's rows as coded
  if (planes > 1) coded.spp = 1;
  coded.rowBytes = CodedRowBytes(coded);
  const bool jpeg = l.compression == kJPEG, ycbcr = l.photometric == kYCbCr && !jpeg;
  if (planes > 1 && (jpeg || l.bps < 8)) return false;
  const int64_t blocks = g.Count();
  if (static_cast<int64_t>(g.offsets.size()) < blocks * planes) return false;
  if (l.compression == kNone && g.counts.size() < g.offsets.size())
    g.counts.assign(g.offsets.size(), coded.rowBytes * g.rows);
  if (static_cast<int64_t>(g.counts.size()) < blocks * planes) return false;
  std::vector<uint8_t> tables;
  if (jpeg) r.ReadBytes(kJPEGTables, tables);
  const TIEPixelFormat format = bitmap.GetPixelFormat();
  TIEBitmap* alpha = l.alpha ? bitmap.GetAlphaChannel() : nullptr;
  const bool direct = !g.tiled;  // rows go straight into the bitmap
  std::vector<uint8_t> raw, decoded, chunky;
  std::vector<uint8_t> rowPixels(static_cast<size_t>(int64_t{g.width} * IEPixelFormatInfo[format].BitsPerPixel / 8 + 8));
  std::vector<uint8_t> rowAlpha(static_cast<size_t>(g.width) + 1);
  for (int64_t b = 0; b < blocks && !progress.Aborted(); ++b) {
    const auto x0 = static_cast<int32_t>(b % g.across * g.width), y0 = static_cast<int32_t>(b / g.across * g.rows);
    const int32_t rows = std::min(g.rows, l.height - y0), width = std::min(g.width, l.width - x0);
    const int64_t codedRows = g.tiled ? g.rows : rows;  // tiles code their whole size
    if (jpeg) {
      TIEBitmap scratch;
      if (!IETIFFReadBlock(stream, base, g.offsets[static_cast<size_t>(b)], g.counts[static_cast<size_t>(b)], raw) ||
          !IETIFFDecodeJPEGBlock(raw, tables, l.photometric, width, rows, scratch, progress) ||
          !PlaceJPEGBlock(scratch, bitmap, x0, y0, width, rows))
        return false;
    } else {
      const int64_t units = ycbcr ? (codedRows + l.subV - 1) / l.subV : codedRows;
      if (!DecodeBlockSamples(stream, base, coded, g, planes, b, units, l.spp, raw, decoded, chunky)) return false;
      const uint8_t* source = planes > 1 ? chunky.data() : decoded.data();
      for (int32_t y = 0; y < rows; ++y) {
        uint8_t* line = bitmap.GetScanline(y0 + y);
        if (!line) return false;
        uint8_t* dst = direct ? line : rowPixels.data();
        uint8_t* a = alpha ? (direct ? alpha->GetScanline(y0 + y) : rowAlpha.data()) : nullptr;
        if (ycbcr)
          IETIFFYCbCrRowToBGR(source + y / l.subV * coded.rowBytes, l.subH, l.subV, y % l.subV, g.width, dst);
        else
          StoreRow(store, format, source + y * store.rowBytes, dst, a);
        if (direct) continue;
        PlacePixels(format, rowPixels.data(), line, x0, width);
        if (a) PlacePixels(ie8g, rowAlpha.data(), alpha->GetScanline(y0 + y), x0, width);
      }
    }
    progress.Report(static_cast<int32_t>((b + 1) * 100 / blocks));
  }
  return !progress.Aborted();
}

// Old-style JPEG: compression 6, or an interchange block with a compression
// that is neither LZW nor new-style JPEG, and a baseline process.
bool IsOldJPEG(const TIETIFFIFDReader& r, const Layout& l) {
  const bool interchange = r.ReadInteger(kJPEGInterchange, 0, 0) != 0;
  return (l.compression == kOldJPEG || (interchange && l.compression != kLZW && l.compression != kJPEG)) &&
         r.ReadInteger(kJPEGProc, 0, 1) < 2;
}

bool ReadOldJPEG(TStream& stream, int64_t base, const TIETIFFIFDReader& r, const Layout& l, TIEBitmap& bitmap,
                 TIEProgressRecord& progress) {
  std::vector<int64_t> offsets, counts;
  r.ReadIntegerArray(offsets, kStripOffsets);
  r.ReadIntegerArray(counts, kStripByteCounts);
  // A JPEG of a few bytes cannot stand for an image of gigabytes.
  const double claimed = static_cast<double>(l.width) * l.height * 3;
  if (claimed > static_cast<double>(stream.Size() + 1024) * kMaxExpansion) return false;
  if (!bitmap.Allocate(l.width, l.height, ie24RGB)) return false;
  if (bitmap.HasAlphaChannel()) bitmap.RemoveAlphaChannel();
  return IETIFFDecodeOldJPEG(stream, base, r.ReadInteger(kJPEGInterchange, 0, 0),
                             r.ReadInteger(kJPEGInterchangeLength, 0, 0), offsets, counts, l.rowsPerStrip, bitmap,
                             progress);
}

// The parameters' compression choice of a Compression tag value.
uint8_t CompressionChoice(int32_t compression, int32_t t4Options) {
  switch (compression) {
    case kCCITTRLE: return kChoiceMH;
    case kCCITTFax3: return (t4Options & 1) ? kChoiceG32D : kChoiceG3;
    case kCCITTFax4: return kChoiceG4;
    case kOldJPEG: return kChoiceOldJPEG;
    case kJPEG: return kChoiceJPEG;
    case kLZW: return kChoiceLZW;
    case kPackBits: return kChoicePackBits;
    case kDeflate: return kChoiceZip;
    case kAdobeDeflate: return kChoiceDeflate;
    default: return kChoiceNone;
  }
}

void ReadTags(const TIETIFFIFDReader& r, const Layout& l, TIOParamsVals& params) {
  params.WIDTH = params.ORIGINALWIDTH = l.width;
  params.HEIGHT = params.ORIGINALHEIGHT = l.height;
  params.BITSPERSAMPLE = l.bps;
  params.SAMPLESPERPIXEL = l.spp;
  // The parameter's codes are TIFF's up to YCbCr, and 7 for CIE Lab.
  if (l.photometric >= kWhiteIsZero && l.photometric <= kYCbCr)
    params.TIFF_PHOTOMETINTEPRET = static_cast<uint8_t>(l.photometric);
  else if (l.photometric == kCIELab)
    params.TIFF_PHOTOMETINTEPRET = 7;
  params.TIFF_COMPRESSION = CompressionChoice(l.compression, l.t4Options);
  params.TIFF_PLANARCONF = l.planar;
  params.TIFF_FILLORDER = l.fillOrder;
  params.TIFF_BYTEORDER = l.intel ? 1 : 0;
  params.SetTIFF_Orientation(static_cast<int32_t>(r.ReadInteger(kOrientation, 0, 1)));
  const double factor = r.ReadInteger(kResolutionUnit, 0, 2) == 3 ? 2.54 : 1.0;
  // Any rational may stand in the file: the resolution is kept in range.
  auto dpi = [&](uint16_t tag) {
    const double value = r.ReadRational(tag, 0, 0) * factor + 0.5;
    return static_cast<int32_t>(std::isfinite(value) ? std::clamp(value, 0.0, 1e6) : 0.0);
  };
  params.SetDpiX(dpi(kXResolution));
  params.SetDpiY(dpi(kYResolution));
  auto position = [&](uint16_t tag) {
    const double value = r.ReadRational(tag, 0, 0) * factor;
    return static_cast<int32_t>(std::isfinite(value) ? std::clamp(value, -1e9, 1e9) : 0.0);
  };
  params.TIFF_XPOS = position(kXPosition);
  params.TIFF_YPOS = position(kYPosition);
  params.TIFF_NEWSUBFILETYPE = static_cast<int32_t>(r.ReadInteger(kNewSubfileType, 0, 0));
  r.ReadString(kDocumentName, true, params.TIFF_DOCUMENTNAME);
  r.ReadString(kImageDescription, true, params.TIFF_IMAGEDESCRIPTION);
  r.ReadString(kPageName, true, params.TIFF_PAGENAME);
  params.TIFF_PAGENUMBER = static_cast<int32_t>(r.ReadInteger(kPageNumber, 0, -1));
  params.TIFF_PAGECOUNT = static_cast<int32_t>(r.ReadInteger(kPageNumber, 1, -1));
}

}  // namespace

bool IETIFFReadBlock(TStream& stream, int64_t base, int64_t offset, int64_t count, std::vector<uint8_t>& out) {
  const int64_t size = stream.Size();
  if (offset < 0 || count < 0 || base + offset > size) return false;
  count = std::min(count, size - base - offset);
  out.resize(static_cast<size_t>(count));
  stream.SetPosition(base + offset);
  return count == 0 || stream.Read(out.data(), static_cast<int32_t>(count)) == count;
}

// ---- reading ----------------------------------------------------------------------

namespace {

void ReadTIFF(TStream& stream, TIEBitmap* bitmap, int32_t& pageCount, TIOParamsVals& params,
              TIEProgressRecord& progress, const TIETIFFReadOptions& options) {
  pageCount = 0;
  const int64_t base = options.RelativeToPosition ? stream.Position() : 0;
  TiffHeader header;
  if (!ReadHeader(stream, base, header)) return progress.Abort();
  TIETIFFIFDReader reader;
  SetupReader(reader, stream, base, header);
  int32_t count = 0;
  bool found = reader.ReadIFD(std::max(params.TIFF_IMAGEINDEX, 0), count, header.firstIFD);
  pageCount = count;
  params.SetImageCount(count);
  params.TIFFIsBigTIFF = header.bigTIFF;
  // A sub-directory of the page (a reduced image, say) in its place.
  const int64_t sub = found && params.TIFF_SUBINDEX >= 0 ? reader.ReadInteger(kSubIFDs, params.TIFF_SUBINDEX, 0) : 0;
  int32_t subCount = 0;
  if (sub > 0) found = reader.ReadIFD(0, subCount, sub);
  Layout layout;
  layout.intel = header.intel;
  layout.lzw = params.TIFFLZWDecoder ? params.TIFFLZWDecoder : IEGetGlobalSettings()->TIFFLZWDecoder;
  if (!found) return progress.Abort();
  // A directory of tags only (an EXIF block) still gives its metadata.
  const bool hasLayout = ReadLayout(reader, layout, options.NoAlpha);
  // One tile asked for: the page is read as that tile alone.
  const bool oneTile = hasLayout && params.TIFF_GETTILE >= 0 && layout.tileWidth > 0;
  const Layout page = layout;
  if (oneTile) {
    layout.width = layout.tileWidth;
    layout.height = layout.tileLength;
    layout.rowsPerStrip = layout.tileLength;
    layout.rowBytes = CodedRowBytes(layout);
  }
  if (hasLayout) ReadTags(reader, layout, params);
  IEReadTIFFMetadata(reader, params);
  if (!hasLayout) return progress.Abort();
  if (options.ParamsOnly) return;
  if (IsOldJPEG(reader, layout)) {
    if (!bitmap || !ReadOldJPEG(stream, base, reader, layout, *bitmap, progress)) progress.Abort();
    return;
  }
  TIEPixelFormat format = TargetFormat(layout);
  // Lab samples kept as they are when the caller wants the file's own format.
  if (params.ISNATIVEPIXELFORMAT && format == ie24RGB && layout.bps == 8 && layout.compression != kJPEG &&
      (layout.photometric == kCIELab || layout.photometric == kICCLab))
    format = ieCIELab;
  // Separate planes are read at whole bytes per sample.
  const bool planesFit = layout.planar == 1 || (layout.planar == 2 && layout.bps >= 8);
  if (!bitmap || format == ieNoFormat || !planesFit) return progress.Abort();
  BlockGrid grid = ReadGrid(reader, page);
  if (oneTile && !SelectTile(grid, page, params.TIFF_GETTILE)) return progress.Abort();
  if (!ClaimFits(stream, base, grid, layout)) return progress.Abort();
  if (!bitmap->Allocate(layout.width, layout.height, format)) return progress.Abort();
  if (format == ie8p && !LoadPalette(reader, layout, *bitmap, params)) return progress.Abort();
  if (!layout.alpha && bitmap->HasAlphaChannel()) bitmap->RemoveAlphaChannel();
  const bool decoded = DecodeBlocks(stream, base, reader, layout, grid, *bitmap, progress);
  if (layout.alpha) bitmap->GetAlphaChannel()->SetFullFlag(false);
  if (!decoded) return progress.Abort();
  if (layout.premultiplied) Unpremultiply(*bitmap);
  if (!params.ISNATIVEPIXELFORMAT && KeptOnlyNative(format)) bitmap->ConvertToPixelFormat(ie24RGB);
  if (params.TIFF_ENABLEADJUSTORIENTATION) IEApplyExifOrientation(*bitmap, params.TIFF_ORIENTATION);
  // The page's ICC profile goes with its pixels.
  if (const TIEICC* profile = params.InputICCProfileOrNull(); profile && profile->IsValid())
    bitmap->ImageProfile().Assign(*profile);
}

}  // namespace

void IEReadTIFFStream(TStream& stream, TIEBitmap* bitmap, int32_t& pageCount, TIOParamsVals& params,
                      TIEProgressRecord& progress, const TIETIFFReadOptions& options) {
  IEReadInHeldFormat(bitmap,
                     [&](TIEBitmap* target) { ReadTIFF(stream, target, pageCount, params, progress, options); });
}

// ---- format test and page count ------------------------------------------------------

bool IEIsTIFFStream(TStream& stream) {
  const int64_t position = stream.Position();
  bool ok = false;
  TiffHeader header;
  if (stream.Size() - position > 20 && ReadHeader(stream, position, header)) {
    TIETIFFIFDReader reader;
    SetupReader(reader, stream, position, header);
    int32_t count = 0;
    ok = reader.ReadIFD(0, count, header.firstIFD) && reader.FindTag(kImageWidth) >= 0 &&
         reader.FindTag(kImageLength) >= 0;
  }
  stream.SetPosition(position);
  return ok;
}

// "II", any version word, and a first directory that holds the HD Photo
// container's width, height, pixel format, image offset and byte count.
bool IEIsHDPhotoStream(TStream& stream) {
  const int64_t position = stream.Position();
  bool ok = false;
  uint8_t raw[8] = {};
  if (stream.Size() - position > 8 && stream.Read(raw, 8) == 8 && raw[0] == 'I' && raw[1] == 'I') {
    TiffHeader header;
    header.intel = true;
    header.firstIFD = codecbytes::LE32(raw + 4);
    TIETIFFIFDReader reader;
    SetupReader(reader, stream, position, header);
    int32_t count = 0;
    ok = reader.ReadIFD(0, count, header.firstIFD);
    for (const uint16_t tag : {48256, 48257, 48129, 48320, 48321}) ok = ok && reader.FindTag(tag) >= 0;
  }
  stream.SetPosition(position);
  return ok;
}

int32_t IEGetTIFFImageCount(TStream& stream) {
  const int64_t position = stream.Position();
  int32_t count = 0;
  TiffHeader header;
  if (ReadHeader(stream, position, header)) {
    TIETIFFIFDReader reader;
    SetupReader(reader, stream, position, header);
    reader.ReadIFD(0, count, header.firstIFD);
  }
  stream.SetPosition(position);
  return count;
}

// ---- the I/O component's entry points ------------------------------------------------

void IETiffCodecRead(TIECodecRead& read) {
  TIETIFFReadOptions options;
  options.ParamsOnly = read.ParamsOnly;
  int32_t pages = 0;
  IEReadTIFFStream(read.Stream, read.Bitmap, pages, read.Params, read.Progress, options);
  read.PageCount = pages;
}

void IETiffCodecWrite(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress) {
  IEWriteTIFFStream(stream, bitmap, params, progress);
}

// ---- writing ----------------------------------------------------------------------

namespace {

// Where the samples of a row come from: the bitmap's own layout, or its
// 24-bit colours as palette or grey indexes, CMYK or CIE Lab.
enum class RowSource { Native, Index, CMYK, Lab };

// How a bitmap's rows become TIFF samples: the image written (the bitmap
// or a converted copy of it) and, for indexes, the quantizer and its colours.
struct WriteLayout {
  int32_t bps = 8, spp = 1, photometric = kBlackIsZero;
  bool alpha = false;
  int64_t rowBytes = 0;
  RowSource source = RowSource::Native;
  TIEBitmap* image = nullptr;
  std::unique_ptr<TIEBitmap> copy;
  std::unique_ptr<TIEQuantizer> quantizer;
  std::vector<TRGB> colours;
  std::vector<uint8_t> scratch;  // one converted row
};

bool AsksForBilevel(const TIOParamsVals& p) {
  return p.SAMPLESPERPIXEL == 1 && p.BITSPERSAMPLE == 1 && p.TIFF_PHOTOMETINTEPRET <= 1;
}

// The bitmap's samples asked for by fewer than three samples of 8 bits:
// one sample is a palette (or grey) index, two a colour with alpha.
void NormaliseFewSamples(TIEBitmap& bitmap, TIOParamsVals& p) {
  const TIEPixelFormat format = bitmap.GetPixelFormat();
  if ((format == ie1g || format == ie24RGB) && p.SAMPLESPERPIXEL == 1 && p.BITSPERSAMPLE == 1)
    p.TIFF_PHOTOMETINTEPRET = 1;
  if (format != ie24RGB || p.SAMPLESPERPIXEL > 2 || p.BITSPERSAMPLE != 8) return;
  if (!bitmap.HasAlphaChannel()) {
    p.TIFF_PHOTOMETINTEPRET = 3;
    p.SAMPLESPERPIXEL = 1;
  } else {
    p.TIFF_PHOTOMETINTEPRET = 2;
    p.SAMPLESPERPIXEL = 4;
    p.TIFF_COMPRESSION = kChoiceNone;
  }
}

// The image whose rows are written: 1-bit images are written at one bit
// only when the parameters ask for it (else from a 24-bit copy), and other
// images asked for at one bit go through their two colours or, with more,
// through the bitmap's own 1-bit conversion.
TIEBitmap* ImageToWrite(TIEBitmap& bitmap, const TIOParamsVals& p, std::unique_ptr<TIEBitmap>& copy) {
  const bool bilevel = AsksForBilevel(p);
  const bool paletteAsColour = bitmap.GetPixelFormat() == ie8p && p.SAMPLESPERPIXEL >= 3;
  if ((bitmap.GetPixelFormat() == ie1g) == bilevel && !paletteAsColour) return &bitmap;
  if (bilevel) {
    TRGB darker, lighter;
    copy = IEConvertTo1BitIfTwoColors(&bitmap, darker, lighter);
    if (copy) return copy.get();
  }
  copy = std::make_unique<TIEBitmap>();
  copy->Assign(&bitmap);
  copy->ConvertToPixelFormat(bilevel ? ie1g : ie24RGB);
  return copy.get();
}

// One sample of 1 to 8 or 16 bits from a 24-bit image: the quantizer's
// palette of up to 2^bits colours, grey when it finds the image grey (a
// palette is written at 8 bits, and only LZW, PackBits and deflate keep
// their compression for it).
void ChooseIndexes(TIEBitmap& image, TIOParamsVals& p, WriteLayout& w) {
  const int32_t bits = p.BITSPERSAMPLE;
  if (image.GetPixelFormat() != ie24RGB || p.SAMPLESPERPIXEL != 1 || bits < 1 || (bits > 8 && bits != 16) ||
      (bits == 1 && p.TIFF_PHOTOMETINTEPRET != 3))
    return;
  const int32_t count = bits >= 8 ? 256 : 1 << bits;
  w.colours.assign(static_cast<size_t>(count), TRGB{});
  w.quantizer = std::make_unique<TIEQuantizer>(image, w.colours.data(), count);
  if (w.quantizer->IsGray()) {
    p.TIFF_PHOTOMETINTEPRET = 1;
  } else {
    p.TIFF_PHOTOMETINTEPRET = 3;
    if (bits == 16) p.BITSPERSAMPLE = 8;
    const uint8_t c = p.TIFF_COMPRESSION;
    if (c != kChoiceLZW && c != kChoicePackBits && c != kChoiceZip) p.TIFF_COMPRESSION = kChoiceNone;
  }
}

// The sample settings brought to what can be written from the bitmap.
void NormaliseSampleSettings(TIEPixelFormat format, TIOParamsVals& p) {
  if (p.TIFF_PHOTOMETINTEPRET == 3 && p.SAMPLESPERPIXEL > 1) p.TIFF_PHOTOMETINTEPRET = 2;
  if (format == ieRGB48) {
    p.SAMPLESPERPIXEL = 3;
    p.BITSPERSAMPLE = 16;
    p.TIFF_PHOTOMETINTEPRET = 2;
  } else if (p.BITSPERSAMPLE > 8 && p.SAMPLESPERPIXEL > 1) {
    p.SAMPLESPERPIXEL = 3;
    p.BITSPERSAMPLE = 8;
    p.TIFF_PHOTOMETINTEPRET = 2;
  }
  if (p.TIFF_PHOTOMETINTEPRET <= 1 && p.SAMPLESPERPIXEL == 3 && p.BITSPERSAMPLE == 8) p.TIFF_PHOTOMETINTEPRET = 2;
  if (p.TIFF_PHOTOMETINTEPRET == 6 && p.TIFF_COMPRESSION != kChoiceJPEG) p.TIFF_PHOTOMETINTEPRET = 2;
  if (p.TIFF_PHOTOMETINTEPRET == 2 && p.SAMPLESPERPIXEL > 3) p.SAMPLESPERPIXEL = 3;
  if (format == ieCMYK) {
    p.SAMPLESPERPIXEL = 4;
    p.BITSPERSAMPLE = 8;
    p.TIFF_PHOTOMETINTEPRET = 5;
  }
}

// 24-bit rows by the photometric interpretation asked for: indexes, CMYK,
// CIE Lab or RGB.
void ChooseColourRows(const TIOParamsVals& p, WriteLayout& w) {
  w.spp = 3;
  w.photometric = kRGB;
  if (w.quantizer && p.TIFF_PHOTOMETINTEPRET <= 3) {
    w.source = RowSource::Index;
    w.spp = 1;
    w.bps = p.BITSPERSAMPLE;
    w.photometric = p.TIFF_PHOTOMETINTEPRET == 3 ? kPalette : kBlackIsZero;
  } else if (p.TIFF_PHOTOMETINTEPRET == 5) {
    w.source = RowSource::CMYK;
    w.spp = 4;
    w.photometric = kSeparated;
  } else if (p.TIFF_PHOTOMETINTEPRET == 7) {
    w.source = RowSource::Lab;
    w.photometric = kCIELab;
  }
}

// Normalises the parameters' sample settings (written back into them) and
// chooses the image and layout to write; false for pixel formats the
// writer has no layout for.
bool ChooseWriteLayout(TIEBitmap& bitmap, TIOParamsVals& params, WriteLayout& w) {
  const TIEPixelFormat original = bitmap.GetPixelFormat();
  if (original != ie1g && original != ie8g && original != ie16Gray && original != ie8p && original != ie24RGB &&
      original != ieRGB48 && original != ieCMYK)
    return false;
  // A palette page has no alpha: a palette image with real transparency is
  // written as RGB with its alpha.
  if (original == ie8p && bitmap.HasAlphaChannel() && !bitmap.GetAlphaChannel()->FullFlag()) {
    params.SAMPLESPERPIXEL = 3;
    params.BITSPERSAMPLE = 8;
    params.TIFF_PHOTOMETINTEPRET = 2;
  }
  NormaliseFewSamples(bitmap, params);
  w.image = ImageToWrite(bitmap, params, w.copy);
  TIEBitmap& image = *w.image;
  ChooseIndexes(image, params, w);
  NormaliseSampleSettings(image.GetPixelFormat(), params);
  switch (image.GetPixelFormat()) {
    case ie1g: w.bps = 1; break;
    case ie8g: break;
    case ie16Gray: w.bps = 16; break;
    case ie8p: w.photometric = kPalette; break;
    case ie24RGB: ChooseColourRows(params, w); break;
    case ieRGB48: w.photometric = kRGB; w.spp = 3; w.bps = 16; break;
    case ieCMYK: w.photometric = kSeparated; w.spp = 4; break;
    default: return false;
  }
  w.alpha = image.HasAlphaChannel() && w.photometric != kPalette && w.source != RowSource::Index && w.bps == 8;
  if (w.alpha) ++w.spp;
  w.rowBytes = (static_cast<int64_t>(image.GetWidth()) * w.spp * w.bps + 7) / 8;
  return true;
}

// A 24-bit row as palette or grey indexes of w.bps bits (16-bit grey:
// index x 257, little-endian; fewer than 8 bits packed from the high bit).
void LoadIndexRow(const WriteLayout& w, const uint8_t* bgr, int32_t width, uint8_t* out) {
  for (int32_t x = 0; x < width; ++x) {
    const uint8_t* p = bgr + 3 * int64_t{x};
    const int32_t index = w.quantizer->GetRGBIndex(TRGB{p[0], p[1], p[2]});
    if (w.bps == 16) {
      const auto v = static_cast<uint16_t>(index * 257);
      out[2 * int64_t{x}] = static_cast<uint8_t>(v);
      out[2 * int64_t{x} + 1] = static_cast<uint8_t>(v >> 8);
    } else if (w.bps == 8) {
      out[x] = static_cast<uint8_t>(index);
    } else {
      const int64_t bit = int64_t{x} * w.bps;
      out[bit / 8] = static_cast<uint8_t>(out[bit / 8] | index << (8 - w.bps - bit % 8));
    }
  }
}

// A 24-bit row through the library's colour conversion: CMYK with 0 as no
// ink, or CIE Lab bytes; spaced w.spp bytes apart.
void LoadConvertedRow(WriteLayout& w, const uint8_t* bgr, int32_t width, uint8_t* out) {
  const bool cmyk = w.source == RowSource::CMYK;
  const int32_t channels = cmyk ? 4 : 3;
  w.scratch.resize(static_cast<size_t>(width) * static_cast<size_t>(channels));
  IEConvertColorFormat(bgr, iepBGR, w.scratch.data(), nullptr, width, cmyk ? iepCMYKInverted : iepLab);
  for (int32_t x = 0; x < width; ++x)
    for (int32_t c = 0; c < channels; ++c) {
      const uint8_t v = w.scratch[static_cast<size_t>(x) * channels + c];
      out[int64_t{x} * w.spp + c] = cmyk ? static_cast<uint8_t>(255 - v) : v;
    }
}

// One row of the image as TIFF samples (16-bit little-endian); out starts zeroed.
void LoadRow(WriteLayout& w, int32_t y, uint8_t* out) {
  TIEBitmap& image = *w.image;
  const uint8_t* src = image.GetScanline(y);
  const int32_t width = image.GetWidth();
  const uint8_t* alpha = w.alpha ? image.GetAlphaChannel()->GetScanline(y) : nullptr;
  const int32_t colours = w.alpha ? w.spp - 1 : w.spp;
  switch (w.source) {
    case RowSource::Index: return LoadIndexRow(w, src, width, out);
    case RowSource::CMYK:
    case RowSource::Lab: LoadConvertedRow(w, src, width, out); break;
    case RowSource::Native:
      switch (image.GetPixelFormat()) {
        case ie24RGB:
          for (int32_t x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c) out[int64_t{x} * w.spp + c] = src[3 * x + 2 - c];
          break;
        case ieCMYK:
          for (int64_t k = 0; k < int64_t{width} * 4; ++k)
            out[k / 4 * w.spp + k % 4] = static_cast<uint8_t>(255 - src[k]);
          break;
        case ie8g:
          for (int32_t x = 0; x < width; ++x) out[int64_t{x} * w.spp] = src[x];
          break;
        default:  // 1-bit, palette and 16-bit layouts are stored as they are
          std::memcpy(out, src, static_cast<size_t>(w.rowBytes));
          break;
      }
      break;
  }
  if (alpha)
    for (int32_t x = 0; x < width; ++x) out[int64_t{x} * w.spp + colours] = alpha[x];
}

bool IsFaxChoice(uint8_t choice) { return choice >= kChoiceMH && choice <= kChoiceG4; }

// Fax rows (1 = black) coded as the choice says, the strip finished.
void CompressFax(uint8_t choice, const std::vector<uint8_t>& rows, int64_t rowBytes, int32_t width,
                 int32_t fillOrder, std::vector<uint8_t>& out) {
  TMemoryStream packed;
  bool failed = false;
  int32_t pendingBits = 0;
  uint8_t pendingByte = 0;
  std::vector<uint8_t> reference;
  const int64_t count = static_cast<int64_t>(rows.size()) / rowBytes;
  for (int64_t y = 0; y <= count; ++y) {
    const uint8_t* row = y < count ? rows.data() + y * rowBytes : nullptr;
    switch (choice) {
      case kChoiceMH:
        if (row) IECCITTEncodeRowMH(row, width, packed, fillOrder, failed);
        break;
      case kChoiceG3:
        IECCITTEncodeRowG31D(row, width, packed, fillOrder, failed, pendingBits, pendingByte);
        break;
      case kChoiceG32D:
        IECCITTEncodeRowG3(row, width, packed, fillOrder, failed, reference, pendingBits, pendingByte);
        break;
      default:
        IECCITTEncodeRowG4(row, width, packed, fillOrder, failed, reference, pendingBits, pendingByte);
        break;
    }
  }
  const auto* bytes = static_cast<const uint8_t*>(packed.Memory());
  out.assign(bytes, bytes + packed.Size());
}

// The strip compressed as the choice says (deflate at zlib level, PackBits
// row by row, LZW through the encoder); false when the library fails.
bool CompressStrip(uint8_t choice, int32_t level, TIETIFFLZWEncoder lzw, const std::vector<uint8_t>& rows,
                   int64_t rowBytes, std::vector<uint8_t>& out) {
  switch (choice) {
    case kChoiceNone:
      out = rows;
      return true;
    case kChoicePackBits:
      out.clear();
      for (size_t at = 0; at < rows.size(); at += static_cast<size_t>(rowBytes))
        IEPackBitsEncode(rows.data() + at, static_cast<size_t>(rowBytes), out);
      return true;
    case kChoiceZip:
    case kChoiceDeflate: {
      uLongf size = compressBound(static_cast<uLong>(rows.size()));
      out.resize(size);
      if (compress2(out.data(), &size, rows.data(), static_cast<uLong>(rows.size()), level) != Z_OK) return false;
      out.resize(size);
      return true;
    }
    default: {
      TMemoryStream packed;
      void* state = nullptr;
      lzw(rows.data(), static_cast<int32_t>(rows.size()), packed, state);
      lzw(nullptr, 0, packed, state);
      const auto* bytes = static_cast<const uint8_t*>(packed.Memory());
      out.assign(bytes, bytes + packed.Size());
      return true;
    }
  }
}

// The horizontal predictor applied to 8-bit rows of spp samples: each
// sample minus the same sample of the pixel before, from the row's end.
void ApplyPredictor(std::vector<uint8_t>& rows, int64_t rowBytes, int32_t spp) {
  for (int64_t at = 0; at < static_cast<int64_t>(rows.size()); at += rowBytes)
    for (int64_t k = rowBytes - 1; k >= spp; --k)
      rows[static_cast<size_t>(at + k)] = static_cast<uint8_t>(rows[static_cast<size_t>(at + k)] - rows[static_cast<size_t>(at + k - spp)]);
}

int32_t CompressionTag(uint8_t choice) {
  switch (choice) {
    case kChoiceMH: return kCCITTRLE;
    case kChoiceG3:
    case kChoiceG32D: return kCCITTFax3;
    case kChoiceG4: return kCCITTFax4;
    case kChoiceNone: return kNone;
    case kChoicePackBits: return kPackBits;
    case kChoiceZip:
    case kChoiceDeflate: return kDeflate;
    case kChoiceLZW: return kLZW;
    default: return kNone;
  }
}

// The palette of 2^bits entries: the quantizer's colours, or the palette
// of an ie8p image.
void WriteColourMap(const WriteLayout& w, TIETIFFIFDWriter& ifd, TStream& out, bool& failed) {
  const size_t count = size_t{1} << w.bps;
  std::vector<uint16_t> map(3 * count, 0);
  for (size_t k = 0; k < count; ++k) {
    TRGB c;
    if (w.source == RowSource::Index) c = k < w.colours.size() ? w.colours[k] : TRGB{};
    else w.image->GetPaletteColor(static_cast<int32_t>(k), c);
    map[k] = static_cast<uint16_t>(c.r * 257);
    map[count + k] = static_cast<uint16_t>(c.g * 257);
    map[2 * count + k] = static_cast<uint16_t>(c.b * 257);
  }
  ifd.WriteShortArray(out, kColorMap, failed, map);
}

// A memory stream that stands at origin in the file being written: the
// positions it reports, and so the offsets of the tags' data, are the
// file's own, while its bytes start at origin.
class TOriginStream : public TStream {
public:
  explicit TOriginStream(int64_t origin) : origin_(origin) {}
  int32_t Read(void* buffer, int32_t count) override { return memory_.Read(buffer, count); }
  int32_t Write(const void* buffer, int32_t count) override { return memory_.Write(buffer, count); }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override {
    const int64_t at = memory_.Seek(origin == soBeginning ? offset - origin_ : offset, origin);
    return at < 0 ? at : at + origin_;
  }
  TMemoryStream& Bytes() { return memory_; }

private:
  TMemoryStream memory_;
  int64_t origin_;
};

// Where a new page goes in an existing little-endian TIFF: the link that
// will point at it (a position in the stream), the value it had, which
// becomes the new directory's own link, and the pages counted.
struct InsertPoint {
  int64_t base = 0;
  bool bigTIFF = false;
  int64_t link = -1;
  uint64_t oldLink = 0;
  int32_t pages = 0;
};

uint64_t LoadLE(const uint8_t* p, int bytes) {
  uint64_t v = 0;
  for (int b = bytes - 1; b >= 0; --b) v = (v << 8) | p[b];
  return v;
}

// Walks the chain from the header at the stream's position to the link of
// directory index (or the final zero link). False for a file that is not
// little-endian TIFF or BigTIFF, a link outside the file and a chain that
// loops.
bool FindInsertPoint(TStream& stream, int32_t index, InsertPoint& point) {
  point.base = stream.Position();
  const int64_t size = stream.Size() - point.base;
  uint8_t header[16] = {};
  if (stream.Read(header, 16) < 8 || header[0] != 'I' || header[1] != 'I') return false;
  const uint64_t magic = LoadLE(header + 2, 2);
  if (magic == 43 && size >= 16 && LoadLE(header + 4, 4) == 8) point.bigTIFF = true;
  else if (magic != 42) return false;
  const int linkBytes = point.bigTIFF ? 8 : 4, countBytes = point.bigTIFF ? 8 : 2, entryBytes = point.bigTIFF ? 20 : 12;
  int64_t link = point.bigTIFF ? 8 : 4;
  std::vector<uint64_t> seen;
  for (;;) {
    uint8_t raw[8] = {};
    stream.SetPosition(point.base + link);
    if (stream.Read(raw, linkBytes) != linkBytes) return false;
    const uint64_t next = LoadLE(raw, linkBytes);
    if (point.link < 0 && (point.pages == index || next == 0)) {
      point.link = point.base + link;
      point.oldLink = next;
    }
    if (next == 0) return true;
    if (next < 8 || next > static_cast<uint64_t>(size) - static_cast<uint64_t>(countBytes) ||
        std::find(seen.begin(), seen.end(), next) != seen.end() || seen.size() >= 65535)
      return false;
    seen.push_back(next);
    stream.SetPosition(point.base + static_cast<int64_t>(next));
    if (stream.Read(raw, countBytes) != countBytes) return false;
    const uint64_t entries = LoadLE(raw, countBytes);
    if (entries > static_cast<uint64_t>(size) / entryBytes) return false;
    link = static_cast<int64_t>(next) + countBytes + static_cast<int64_t>(entries) * entryBytes;
    ++point.pages;
  }
}

// How the pixel data of a JPEG page is written: the JPEG colour space of
// TIFF_JPEGCOLORSPACE and what the directory says of it.
struct JpegLayout {
  uint8_t space = 2;  // the JPEG writer's colour space
  int32_t photometric = kYCbCr, spp = 3;
};

JpegLayout ChooseJpegLayout(uint8_t tiffSpace) {
  switch (tiffSpace) {
    case 1: return {1, kBlackIsZero, 1};
    case 0:
    case 4: return {0, kRGB, 3};
    case 3: return {3, kSeparated, 4};
    default: return {2, kYCbCr, 3};
  }
}

// The bitmap as one JPEG (2 x 2 chroma subsampling for YCbCr, no markers)
// in data; false with the abort flag set when it cannot be encoded.
bool EncodeJpegPage(TIEBitmap& bitmap, const TIOParamsVals& params, const JpegLayout& j, std::vector<uint8_t>& data,
                    TIEProgressRecord& progress) {
  TIOParamsVals scratch(nullptr);
  scratch.JPEG_QUALITY = params.TIFF_JPEGQUALITY;
  scratch.JPEG_COLORSPACE = j.space;
  scratch.JPEG_CROMASUBSAMPLING = 1;
  scratch.DPIX = params.DPIX;
  scratch.DPIY = params.DPIY;
  TMemoryStream jpeg;
  try {
    TIEJpegWriteOptions options;
    options.InvertCMYK = true;  // TIFF codes CMYK with 0 as no ink
    IEWriteJPEGStream(jpeg, bitmap, scratch, progress, options);
  } catch (const EIEJpegException&) {
    progress.Abort();
  }
  if (progress.Aborted()) return false;
  const auto* bytes = static_cast<const uint8_t*>(jpeg.Memory());
  data.assign(bytes, bytes + jpeg.Size());
  return true;
}

// The JPEG page's data and tags: compression 7 with the whole JPEG as one
// strip, or old-style (6) with the interchange format fields around it.
bool WriteJpegPixels(TIEBitmap& bitmap, const TIOParamsVals& params, bool oldStyle, TStream& out,
                     TIETIFFIFDWriter& ifd, bool& failed, TIEProgressRecord& progress) {
  const JpegLayout j = ChooseJpegLayout(params.TIFF_JPEGCOLORSPACE);
  std::vector<uint8_t> data;
  if (!EncodeJpegPage(bitmap, params, j, data, progress)) return false;
  const int64_t at = IEAlignStreamToWord(out, failed);
  IESafeStreamWrite(out, failed, data.data(), static_cast<int32_t>(data.size()));
  int64_t scan = 0;
  if (oldStyle) {
    for (size_t k = 0; k + 1 < data.size(); ++k)
      if (data[k] == 0xFF && data[k + 1] == 0xDA) {
        scan = static_cast<int64_t>(k);
        break;
      }
    ifd.AddLong(kJPEGInterchange, static_cast<uint32_t>(at));
    ifd.AddLong(kJPEGInterchangeLength, static_cast<uint32_t>(data.size()));
    ifd.AddShort(kJPEGProc, 1);
  }
  ifd.AddShort(kCompression, oldStyle ? kOldJPEG : kJPEG);
  ifd.AddShort(kPhotometric, static_cast<uint16_t>(j.photometric));
  ifd.AddShort(kSamplesPerPixel, static_cast<uint16_t>(j.spp));
  if (j.spp == 1) ifd.AddShort(kBitsPerSample, 8);
  else ifd.WriteShortArray(out, kBitsPerSample, failed, std::vector<uint16_t>(static_cast<size_t>(j.spp), 8));
  if (j.photometric == kYCbCr) ifd.WriteShortArray(out, kYCbCrSubSampling, failed, {2, 2});
  ifd.AddLong(kRowsPerStrip, static_cast<uint32_t>(bitmap.GetHeight()));
  ifd.AddLong(kStripOffsets, static_cast<uint32_t>(at + scan));
  ifd.AddLong(kStripByteCounts, static_cast<uint32_t>(static_cast<int64_t>(data.size()) - scan));
  return true;
}

// Rows per strip: height / TIFF_STRIPCOUNT when set (one strip more takes
// the rest), else strips of about 512 KiB of samples.
int64_t RowsPerStrip(const TIOParamsVals& params, int64_t rowBytes, int32_t height) {
  const int64_t strips = params.TIFF_STRIPCOUNT > 0 ? params.TIFF_STRIPCOUNT
                                                    : std::max<int64_t>(1, rowBytes * height / 524288);
  return std::max<int64_t>(1, height / std::clamp<int64_t>(strips, 1, height));
}

// The LZW encoder in use: the parameters', else the library's; none when
// both slots are empty.
TIETIFFLZWEncoder LZWEncoder(const TIOParamsVals& params) {
  return params.TIFFLZWEncoder ? params.TIFFLZWEncoder : IEGetGlobalSettings()->TIFFLZWEncoder;
}

// The compression written for the parameters' choice: codes the writer has
// no coder for, and LZW without an encoder, are written uncompressed; fax
// codes are for bilevel images only.
uint8_t WrittenChoice(const TIOParamsVals& params, TIEBitmap& image) {
  const uint8_t choice = params.TIFF_COMPRESSION;
  if (choice > kChoiceDeflate || (choice == kChoiceLZW && !LZWEncoder(params))) return kChoiceNone;
  if (IsFaxChoice(choice) && image.GetPixelFormat() != ie1g) return kChoiceNone;
  return choice;
}

// The strips of the page's pixels and their tags.
void WriteStrips(WriteLayout& w, const TIOParamsVals& params, uint8_t choice, TStream& out, TIETIFFIFDWriter& ifd,
                 bool& failed, TIEProgressRecord& progress) {
  const int32_t width = w.image->GetWidth(), height = w.image->GetHeight();
  const int32_t fillOrder = params.TIFF_FILLORDER == 2 ? 2 : 1;
  // The predictor helps LZW on 8-bit colour without alpha.
  const bool predictor = choice == kChoiceLZW && w.bps == 8 && w.photometric == kRGB && !w.alpha;
  const int32_t level = params.TIFF_ZIPCOMPRESSION == 0 ? 1 : params.TIFF_ZIPCOMPRESSION == 2 ? 9 : Z_DEFAULT_COMPRESSION;
  const int64_t rowsPerStrip = RowsPerStrip(params, w.rowBytes, height);
  std::vector<int32_t> offsets, counts;
  std::vector<uint8_t> rows, packed;
  for (int64_t first = 0; first < height && !failed && !progress.Aborted(); first += rowsPerStrip) {
    const int64_t n = std::min<int64_t>(rowsPerStrip, height - first);
    rows.assign(static_cast<size_t>(w.rowBytes * n), 0);
    for (int64_t y = 0; y < n; ++y) LoadRow(w, static_cast<int32_t>(first + y), rows.data() + y * w.rowBytes);
    if (w.photometric == kWhiteIsZero)
      for (uint8_t& b : rows) b = static_cast<uint8_t>(~b);
    if (predictor) ApplyPredictor(rows, w.rowBytes, w.spp);
    if (IsFaxChoice(choice)) CompressFax(choice, rows, w.rowBytes, width, fillOrder, packed);
    else if (!CompressStrip(choice, level, LZWEncoder(params), rows, w.rowBytes, packed)) failed = true;
    offsets.push_back(static_cast<int32_t>(out.Position()));
    counts.push_back(static_cast<int32_t>(packed.size()));
    IESafeStreamWrite(out, failed, packed.data(), static_cast<int32_t>(packed.size()));
    progress.Report(static_cast<int32_t>((first + n) * 100 / height));
  }
  if (w.spp <= 2) ifd.AddShort(kBitsPerSample, static_cast<uint16_t>(w.bps));
  else ifd.WriteShortArray(out, kBitsPerSample, failed, std::vector<uint16_t>(static_cast<size_t>(w.spp), static_cast<uint16_t>(w.bps)));
  ifd.AddShort(kCompression, static_cast<uint16_t>(CompressionTag(choice)));
  ifd.AddShort(kPhotometric, static_cast<uint16_t>(w.photometric));
  ifd.AddShort(kSamplesPerPixel, static_cast<uint16_t>(w.spp));
  ifd.AddLong(kRowsPerStrip, static_cast<uint32_t>(rowsPerStrip));
  if (offsets.size() == 1) {
    ifd.AddLong(kStripOffsets, static_cast<uint32_t>(offsets[0]));
    ifd.AddLong(kStripByteCounts, static_cast<uint32_t>(counts[0]));
  } else {
    ifd.WriteLongArray(out, kStripOffsets, failed, static_cast<int32_t>(offsets.size()), offsets);
    ifd.WriteLongArray(out, kStripByteCounts, failed, static_cast<int32_t>(counts.size()), counts);
  }
  if (predictor) ifd.AddShort(kPredictor, 2);
  if (IsFaxChoice(choice)) {
    ifd.AddShort(kFillOrder, static_cast<uint16_t>(fillOrder));
    if (choice != kChoiceMH) ifd.AddLong(choice == kChoiceG4 ? kT6Options : kT4Options, choice == kChoiceG32D ? 1 : 0);
  }
  // Unassociated alpha: the colours are not premultiplied.
  if (w.alpha) ifd.AddShort(kExtraSamples, 2);
  if (w.photometric == kPalette) WriteColourMap(w, ifd, out, failed);
}

// The page's own tags: names, position, subfile type and page number.
void WritePageTags(const TIOParamsVals& params, TStream& out, TIETIFFIFDWriter& ifd, bool& failed) {
  ifd.WriteAscii(out, kDocumentName, failed, params.TIFF_DOCUMENTNAME);
  ifd.WriteAscii(out, kPageName, failed, params.TIFF_PAGENAME);
  if (params.TIFF_XPOS != 0) ifd.WriteRational(out, kXPosition, std::max(params.TIFF_XPOS, 0), failed);
  if (params.TIFF_YPOS != 0) ifd.WriteRational(out, kYPosition, std::max(params.TIFF_YPOS, 0), failed);
  if (params.TIFF_NEWSUBFILETYPE != 0) ifd.AddLong(kNewSubfileType, static_cast<uint32_t>(params.TIFF_NEWSUBFILETYPE));
  if (params.TIFF_PAGENUMBER >= 0 || params.TIFF_PAGECOUNT >= 0) {
    auto item = [](int32_t v) { return static_cast<uint16_t>(std::clamp(v, 0, 0xFFFF)); };
    ifd.AddEntry(kPageNumber, IE_TIFF_SHORT, 2,
                 static_cast<uint32_t>(item(params.TIFF_PAGENUMBER) | item(params.TIFF_PAGECOUNT) << 16));
  }
}

}  // namespace

int32_t IEWriteTIFFStream(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress,
                          bool insert) {
  WriteLayout w;
  const int32_t width = bitmap.GetWidth(), height = bitmap.GetHeight();
  InsertPoint point;
  point.base = stream.Position();
  if (width <= 0 || height <= 0 || !ChooseWriteLayout(bitmap, params, w) ||
      (insert && !FindInsertPoint(stream, params.TIFF_IMAGEINDEX, point))) {
    progress.Abort();
    return 0;
  }
  // The page is built in memory at the place it will take in the file (a
  // new file from its header, an insertion at the end, word aligned), then
  // copied to the stream.
  const int64_t end = insert ? stream.Size() - point.base : 0;
  TOriginStream out(end + end % 2);
  bool failed = false;
  if (!insert) {
    const uint8_t header[8] = {'I', 'I', 42, 0, 0, 0, 0, 0};
    IESafeStreamWrite(out, failed, header, 8);
  }
  const uint8_t choice = WrittenChoice(params, *w.image);
  // Fax codes count their runs with 0 as white.
  if (IsFaxChoice(choice)) w.photometric = kWhiteIsZero;
  TIETIFFIFDWriter ifd;
  ifd.AddLong(kImageWidth, static_cast<uint32_t>(width));
  ifd.AddLong(kImageLength, static_cast<uint32_t>(height));
  if (choice == kChoiceJPEG || choice == kChoiceOldJPEG) {
    if (!WriteJpegPixels(bitmap, params, choice == kChoiceOldJPEG, out, ifd, failed, progress)) failed = true;
  } else {
    WriteStrips(w, params, choice, out, ifd, failed, progress);
  }
  ifd.AddShort(kPlanarConfig, 1);
  IEWriteTIFFMetadata(ifd, out, params, failed, point.bigTIFF);
  WritePageTags(params, out, ifd, failed);
  const int64_t directory = IEWriteTIFFDirectory(ifd, out, failed, {point.bigTIFF, point.oldLink});
  // Offsets are written in 32 bits, also into a BigTIFF.
  if (out.Position() > INT64_C(0xFFFFFFFF)) failed = true;
  if (failed || progress.Aborted()) {
    progress.Abort();
    return 0;
  }
  uint8_t link[8] = {};
  for (int b = 0; b < 8; ++b) link[b] = static_cast<uint8_t>(static_cast<uint64_t>(directory) >> (8 * b));
  if (!insert) {
    out.SetPosition(4);
    IESafeStreamWrite(out, failed, link, 4);
  }
  TMemoryStream& bytes = out.Bytes();
  if (insert) {
    stream.Seek(0, soEnd);
    const uint8_t pad = 0;
    if (end % 2) IESafeStreamWrite(stream, failed, &pad, 1);
  }
  IESafeStreamWrite(stream, failed, bytes.Memory(), static_cast<int32_t>(bytes.Size()));
  if (insert) {
    stream.SetPosition(point.link);
    IESafeStreamWrite(stream, failed, link, point.bigTIFF ? 8 : 4);
  }
  if (failed) {
    progress.Abort();
    return 0;
  }
  return insert ? point.pages + 1 : 1;
}
