// DICOM pixel data: the wanted frame found in the Pixel Data value (native,
// or encapsulated in items, joined from its fragments), decoded by its
// transfer syntax (native, RLE, JPEG, lossless JPEG, JPEG 2000), and the
// stored values mapped for display by the range mode, rescale and window.
//
// Sections: frame bytes | native samples | codings | value mapping | decoding a frame
#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstring>
#include <memory>

#include "imaging/codecs/codecbytes.h"
#include "imaging/codecs/iedicom.h"
#include "imaging/codecs/iedicom_internal.h"
#include "imaging/codecs/iepsd.h"
#include "imaging/codecs/jpegfilt.h"
#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/io/iej2000.h"
#include "imaging/io/imageryio_params.h"
#include "imaging/io/imageryio_registry.h"

using namespace codecbytes;

namespace iedicom {

namespace {

enum class Coding { Native, RLE, Jpeg, Lossless, Jpeg2000, Unsupported };

Coding CodingOf(const std::string& syntax) {
  if (syntax.empty() || syntax == "1.2.840.10008.1.2" || syntax == "1.2.840.10008.1.2.1" ||
      syntax == "1.2.840.10008.1.2.2")
    return Coding::Native;
  if (syntax == "1.2.840.10008.1.2.5") return Coding::RLE;
  if (syntax == "1.2.840.10008.1.2.4.50" || syntax == "1.2.840.10008.1.2.4.51") return Coding::Jpeg;
  if (syntax == "1.2.840.10008.1.2.4.57" || syntax == "1.2.840.10008.1.2.4.70") return Coding::Lossless;
  if (syntax == "1.2.840.10008.1.2.4.91") return Coding::Jpeg2000;
  return Coding::Unsupported;
}

// ---- frame bytes ---------------------------------------------------------------------------

bool ReadAt(TStream& in, int64_t position, int64_t count, std::vector<uint8_t>& out) {
  if (position < 0 || count < 0 || position > in.Size() || count > in.Size() - position) return false;
  const size_t at = out.size();
  out.resize(at + static_cast<size_t>(count));
  in.Seek(position, soBeginning);
  return ReadExact(in, out.data() + at, count);
}

struct Fragment {
  int64_t Position;  // of the item tag
  uint32_t Length;
};

// The items of an encapsulated value: the offset table (at most one entry
// per frame) and the fragments after it, up to the delimiter or the end.
bool ReadItems(TStream& in, const ImageInfo& info, std::vector<uint32_t>& offsets, std::vector<Fragment>& fragments,
               int64_t& firstFragment) {
  uint8_t head[8];
  in.Seek(info.PixelPos, soBeginning);
  if (!ReadExact(in, head, 8) || LE16(head) != 0xFFFE || LE16(head + 2) != 0xE000) return false;
  const uint32_t tableLength = LE32(head + 4);
  if (int64_t{tableLength} > Remaining(in)) return false;
  std::vector<uint8_t> table;
  const int64_t entries = std::min<int64_t>(tableLength / 4, info.Frames);
  if (!ReadAt(in, in.Position(), entries * 4, table)) return false;
  for (int64_t i = 0; i < entries; ++i) offsets.push_back(LE32(table.data() + i * 4));
  firstFragment = info.PixelPos + 8 + tableLength;
  in.Seek(firstFragment, soBeginning);
  while (Remaining(in) >= 8) {
    const int64_t at = in.Position();
    if (!ReadExact(in, head, 8) || LE16(head) != 0xFFFE || LE16(head + 2) != 0xE000) break;
    const uint32_t length = LE32(head + 4);
    if (int64_t{length} > Remaining(in)) return false;  // a fragment cut off by the end of the file
    fragments.push_back({at, length});
    in.Seek(length, soCurrent);
  }
  return true;
}

bool StartsJpeg(TStream& in, const Fragment& f) {
  uint8_t soi[2];
  in.Seek(f.Position + 8, soBeginning);
  return f.Length >= 2 && ReadExact(in, soi, 2) && soi[0] == 0xFF && soi[1] == 0xD8;
}

// The fragments of frame index: one frame takes them all; several go by
// the offset table where it has the frame, else one fragment a frame when
// the counts agree, else from the frame's JPEG start to the next one.
bool EncapsulatedFrame(TStream& in, const ImageInfo& info, int32_t index, std::vector<uint8_t>& frame) {
  std::vector<uint32_t> offsets;
  std::vector<Fragment> fragments;
  int64_t base = 0;
  if (!ReadItems(in, info, offsets, fragments, base) || fragments.empty()) return false;
  size_t first = 0, last = fragments.size();
  if (info.Frames > 1) {
    if (static_cast<size_t>(index) < offsets.size()) {
      const int64_t start = base + offsets[static_cast<size_t>(index)];
      const int64_t end = static_cast<size_t>(index) + 1 < offsets.size() ? base + offsets[static_cast<size_t>(index) + 1]
                                                                            : INT64_MAX;
      first = std::find_if(fragments.begin(), fragments.end(), [&](const Fragment& f) { return f.Position == start; }) -
              fragments.begin();
      if (first == fragments.size()) return false;
      last = first + 1;
      while (last < fragments.size() && fragments[last].Position < end) ++last;
    } else if (fragments.size() == static_cast<size_t>(info.Frames)) {
      first = static_cast<size_t>(index);
      last = first + 1;
    } else {
      int32_t starts = -1;
      first = fragments.size();
      for (size_t i = 0; i < fragments.size(); ++i) {
        if (!StartsJpeg(in, fragments[i])) continue;
        if (++starts == index) first = i;
        if (starts == index + 1) {
          last = i;
          break;
        }
      }
      if (first == fragments.size()) return false;
    }
  }
  for (size_t i = first; i < last; ++i)
    if (!ReadAt(in, fragments[i].Position + 8, fragments[i].Length, frame)) return false;
  return !frame.empty();
}

// ---- native samples ---------------------------------------------------------------------------

// A frame of samples in the native layout: little-endian samples of
// BitsAllocated bits, interleaved or in planes; Lead samples come before the
// frame's first one in Data (frames of 1 and 12 bits share bytes).
struct Samples {
  const uint8_t* Data = nullptr;
  size_t Size = 0;
  int64_t Lead = 0;
  bool Planar = false;
};

int64_t FramePixels(const ImageInfo& info) { return int64_t{info.Columns} * info.Rows; }

// Where frame index starts, in bytes from the value's start, and the
// samples before it in the first byte or pair; the frame's byte count.
void NativeFrameSpan(const ImageInfo& info, int32_t index, int64_t& offset, int64_t& lead, int64_t& count) {
  const int64_t samples = FramePixels(info) * info.SamplesPerPixel;
  const int64_t first = samples * index;
  switch (info.BitsAllocated) {
    case 1:
      offset = first / 8, lead = first % 8, count = (lead + samples + 7) / 8;
      break;
    case 12:
      offset = first / 2 * 3, lead = first % 2, count = (lead + samples + 1) / 2 * 3;
      break;
    default:
      offset = first * (info.BitsAllocated / 8), lead = 0, count = samples * (info.BitsAllocated / 8);
      break;
  }
}

// The layouts decoded: one sample of 1, 8, 12 or 16 bits (grey or
// palette), three 8-bit samples (RGB, YBR_FULL); others fail.
TIEPixelFormat TargetFormat(const ImageInfo& info) {
  const int32_t ba = info.BitsAllocated, bs = info.BitsStored;
  if (bs < 1 || bs > ba) return ieNoFormat;
  const bool palette = info.Photometric == "PALETTE COLOR";
  if (info.SamplesPerPixel == 1) {
    if (ba == 1) return palette ? ieNoFormat : ie1g;
    if (ba != 8 && ba != 12 && ba != 16) return ieNoFormat;
    if (palette) return ba == 8 ? ie24RGB : ba == 16 ? ieRGB48 : ieNoFormat;
    return bs <= 8 && ba != 12 ? ie8g : ie16Gray;
  }
  if (info.SamplesPerPixel == 3 && ba == 8 && (info.Photometric == "RGB" || info.Photometric == "YBR_FULL"))
    return ie24RGB;
  return ieNoFormat;
}

// Sample i (counted from the frame's first) of a one-sample layout: only its
// bits stored, sign-extended for signed data.
int32_t GreySample(const ImageInfo& info, const Samples& s, int64_t i) {
  const int64_t k = s.Lead + i;
  uint32_t v = 0;
  switch (info.BitsAllocated) {
    case 1: return (s.Data[k / 8] >> (k % 8)) & 1;
    case 8: v = s.Data[k]; break;
    case 12: {
      const uint8_t* b = s.Data + k / 2 * 3;
      v = k % 2 ? (b[1] >> 4) | b[2] << 4 : b[0] | (b[1] & 0x0F) << 8;
      break;
    }
    default: v = LE16(s.Data + k * 2); break;
  }
  const int32_t bits = info.BitsStored;
  v = (v >> info.LowBit()) & ((1u << bits) - 1);
  if (info.PixelRepresentation == 1 && (v >> (bits - 1)) & 1) return static_cast<int32_t>(v) - (1 << bits);
  return static_cast<int32_t>(v);
}

// A row of 16-bit samples into 16-bit grey: GreySample's rule, row-wise.
void Grey16Row(const ImageInfo& info, const Samples& s, int64_t base, uint8_t* row) {
  const uint8_t* in = s.Data + (s.Lead + base) * 2;
  const int32_t bits = info.BitsStored;
  const int32_t low = info.LowBit();
  const uint32_t mask = (1u << bits) - 1, sign = info.PixelRepresentation == 1 ? 1u << (bits - 1) : 0;
  for (int32_t x = 0; x < info.Columns; ++x) {
    const auto word = static_cast<uint16_t>((((LE16(in + x * 2) >> low) & mask) ^ sign) - sign);
    std::memcpy(row + x * 2, &word, 2);
  }
}

void DecodeGreyRow(const ImageInfo& info, const Samples& s, TIEPixelFormat format, int32_t y, uint8_t* row) {
  const int64_t base = int64_t{y} * info.Columns;
  if (format == ie16Gray && info.BitsAllocated == 16) return Grey16Row(info, s, base, row);
  const int32_t shift = 8 - info.BitsStored;
  for (int32_t x = 0; x < info.Columns; ++x) {
    const int32_t v = GreySample(info, s, base + x);
    switch (format) {
      case ie1g:
        if (v) row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
        break;
      case ie8g: row[x] = static_cast<uint8_t>(v << shift); break;
      case ie16Gray: {
        const auto word = static_cast<uint16_t>(v);
        std::memcpy(row + x * 2, &word, 2);
        break;
      }
      case ie24RGB:
        row[x * 3] = static_cast<uint8_t>(info.Blue.Lookup(v) / 257);
        row[x * 3 + 1] = static_cast<uint8_t>(info.Green.Lookup(v) / 257);
        row[x * 3 + 2] = static_cast<uint8_t>(info.Red.Lookup(v) / 257);
        break;
      default: {
        const uint16_t rgb[3] = {info.Red.Lookup(v), info.Green.Lookup(v), info.Blue.Lookup(v)};
        std::memcpy(row + x * 6, rgb, 6);
      }
    }
  }
}

void DecodeColourRow(const ImageInfo& info, const Samples& s, int32_t y, uint8_t* row) {
  const int64_t pixels = FramePixels(info), base = int64_t{y} * info.Columns;
  const int32_t shift = 8 - info.BitsStored;
  const bool ybr = info.Photometric == "YBR_FULL";
  for (int32_t x = 0; x < info.Columns; ++x) {
    const int64_t p = base + x;
    uint8_t c[3];
    for (int k = 0; k < 3; ++k)
      c[k] = static_cast<uint8_t>(s.Data[s.Planar ? k * pixels + p : p * 3 + k] << shift);
    uint8_t* bgr = row + x * 3;
    if (ybr) {
      IEYCbCrToBGR(bgr, c[0], c[1], c[2]);
    } else {
      bgr[0] = c[2], bgr[1] = c[1], bgr[2] = c[0];
    }
  }
}

// Fills the bitmap from samples that hold the whole frame.
bool DecodeSamples(const ImageInfo& info, const Samples& s, TIEBitmap& bitmap, TIEProgressRecord& progress) {
  const TIEPixelFormat format = TargetFormat(info);
  if (format == ieNoFormat || info.Columns < 1 || info.Rows < 1) return false;
  if (!bitmap.Allocate(info.Columns, info.Rows, format)) return false;
  int32_t percent = -1;
  for (int32_t y = 0; y < info.Rows; ++y) {
    uint8_t* row = bitmap.GetScanline(y);
    if (format == ie1g) std::memset(row, 0, static_cast<size_t>(info.Columns + 7) / 8);
    if (info.SamplesPerPixel == 3)
      DecodeColourRow(info, s, y, row);
    else
      DecodeGreyRow(info, s, format, y, row);
    const int32_t now = static_cast<int32_t>(int64_t{y + 1} * 100 / info.Rows);
    if (now != percent) progress.Report(percent = now);
  }
  return true;
}

// ---- codings ------------------------------------------------------------------------------------

bool DecodeNative(TStream& in, const ImageInfo& info, int32_t index, TIEBitmap& bitmap, TIEProgressRecord& progress) {
  // Native data has a defined length: an undefined one holds items, not samples.
  if (TargetFormat(info) == ieNoFormat || FramePixels(info) == 0 || info.PixelLength < 0) return false;
  int64_t offset = 0, lead = 0, count = 0;
  NativeFrameSpan(info, index, offset, lead, count);
  if (offset + count > info.PixelLength) return false;
  // Big-endian words are swapped from an even offset of the value on.
  const bool swap = info.BigEndian && (info.PixelDataOW || info.BitsAllocated == 16);
  const int64_t odd = swap ? offset % 2 : 0;
  std::vector<uint8_t> bytes;
  if (!ReadAt(in, info.PixelPos + offset - odd, count + odd, bytes)) return false;
  if (swap) {
    // The partner of a last odd byte, where the value has it.
    if (bytes.size() % 2 && offset + count < info.PixelLength)
      ReadAt(in, info.PixelPos + offset + count, 1, bytes);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) std::swap(bytes[i], bytes[i + 1]);
  }
  const Samples s{bytes.data() + odd, static_cast<size_t>(count), lead, info.PlanarConfiguration == 1};
  return DecodeSamples(info, s, bitmap, progress);
}

// RLE (PackBits segments): the segments rebuilt into native samples, a
// plane per segment of 8-bit data, the bytes of 16-bit samples interleaved.
bool DecodeRLE(const std::vector<uint8_t>& frame, const ImageInfo& info, TIEBitmap& bitmap,
               TIEProgressRecord& progress) {
  const int32_t bytesPerSample = info.BitsAllocated / 8;
  const bool layout = (info.BitsAllocated == 8 && (info.SamplesPerPixel == 1 || info.SamplesPerPixel == 3)) ||
                      (info.BitsAllocated == 16 && info.SamplesPerPixel == 1);
  if (!layout || TargetFormat(info) == ieNoFormat || frame.size() < 64) return false;
  const uint32_t segments = LE32(frame.data());
  const int64_t pixels = FramePixels(info);
  if (segments != static_cast<uint32_t>(info.SamplesPerPixel * bytesPerSample) || pixels == 0) return false;
  // PackBits gives at most 64 bytes for each byte it reads.
  if (pixels * segments > static_cast<int64_t>(frame.size()) * 64) return false;
  std::vector<uint8_t> planes(static_cast<size_t>(pixels * segments));
  for (uint32_t k = 0; k < segments; ++k) {
    const uint32_t start = LE32(frame.data() + 4 + k * 4);
    const uint32_t end = k + 1 < segments ? LE32(frame.data() + 8 + k * 4) : static_cast<uint32_t>(frame.size());
    if (start < 64 || start > end || end > frame.size()) return false;
    size_t produced = 0;
    IEPackBitsDecode(frame.data() + start, end - start, planes.data() + k * pixels, static_cast<size_t>(pixels),
                     &produced);
    if (produced != static_cast<size_t>(pixels)) return false;
  }
  if (bytesPerSample == 2) {
    std::vector<uint8_t> words(planes.size());
    for (int64_t p = 0; p < pixels; ++p) {
      words[p * 2] = planes[pixels + p];  // low bytes: segment 1
      words[p * 2 + 1] = planes[p];
    }
    planes.swap(words);
  }
  ImageInfo rle = info;
  rle.BigEndian = false;
  const Samples s{planes.data(), planes.size(), 0, true};
  return DecodeSamples(rle, s, bitmap, progress);
}

// A private abort flag for a nested decoder.
struct NestedProgress {
  NestedProgress() { record.Aborting = &abort; }
  std::atomic<bool> abort{false};
  TIEProgressRecord record;
};

bool DecodeJpeg(std::vector<uint8_t>& frame, const ImageInfo& info, TIEBitmap& bitmap) {
  TMemoryStream stream;
  stream.WriteBuffer(frame.data(), static_cast<int32_t>(frame.size()));
  stream.SetPosition(0);
  TIOParamsVals params(nullptr);
  NestedProgress nested;
  TIEJpegReadOptions options;
  options.ReadMetadata = false;
  options.NativePixelFormat = true;
  // Three components are colour-transformed when the photometric says so, whatever the markers say.
  if (info.Photometric == "RGB") options.ColorTransform = 0;
  if (info.Photometric == "YBR_FULL" || info.Photometric == "YBR_FULL_422") options.ColorTransform = 1;
  IEReadJPEGStream(stream, &bitmap, params, nested.record, options);
  const TIEPixelFormat format = bitmap.GetPixelFormat();
  // A frame of another size than the data set's is not its image.
  const bool sized = bitmap.GetWidth() == info.Columns && bitmap.GetHeight() == info.Rows;
  return !nested.abort && (format == ie8g || format == ie24RGB) && sized;
}

bool DecodeLossless(const std::vector<uint8_t>& frame, const ImageInfo& info, TIEBitmap& bitmap,
                    TIEProgressRecord& progress) {
  const int32_t spp = info.SamplesPerPixel;
  const bool sixteen = info.BitsStored > 8;
  if (!(spp == 1 || (spp == 3 && !sixteen)) || info.BitsStored > 16 || info.BitsStored < 2) return false;
  const int64_t samples = FramePixels(info) * spp;
  // A lossless code is at least one bit a sample.
  if (samples == 0 || samples > static_cast<int64_t>(frame.size()) * 8) return false;
  // Every sample is written by the decoder: decoded or zero.
  const auto count = static_cast<size_t>(samples);
  const auto words = sixteen ? std::make_unique_for_overwrite<uint16_t[]>(count) : nullptr;
  const auto bytes = sixteen ? nullptr : std::make_unique_for_overwrite<uint8_t[]>(count);
  const TIELosslessTarget target{info.Columns, info.Rows, spp};
  if (!DecodeLosslessFrame(frame.data(), frame.size(), words.get(), bytes.get(), nullptr, target)) return false;
  ImageInfo out = info;
  out.BitsAllocated = sixteen ? 16 : 8;
  out.HighBit = -1;  // the decoder gives the samples themselves
  out.BigEndian = false;
  // The native layout wants little-endian words.
  auto* data = sixteen ? reinterpret_cast<uint8_t*>(words.get()) : bytes.get();
  if constexpr (std::endian::native != std::endian::little)
    for (size_t i = 0; sixteen && i < count; ++i) PutLE16(data + i * 2, words[i]);
  const Samples s{data, sixteen ? count * 2 : count, 0, false};
  return DecodeSamples(out, s, bitmap, progress);
}

// The first component's precision and sign from the SIZ segment of a bare
// JPEG 2000 code stream (SOC, then SIZ); false for anything else.
bool CodeStreamComponent(const std::vector<uint8_t>& frame, int32_t& precision, bool& isSigned) {
  constexpr size_t kFirstSsiz = 42;  // SOC, SIZ marker and length, Rsiz, eight sizes, Csiz
  if (frame.size() <= kFirstSsiz || BE16(frame.data()) != 0xFF4F || BE16(frame.data() + 2) != 0xFF51) return false;
  precision = (frame[kFirstSsiz] & 0x7F) + 1;
  isSigned = frame[kFirstSsiz] & 0x80;
  return precision <= 16;
}

// The JPEG 2000 reader gives grey samples unsigned (signed ones offset by
// half their range) in the top bits of the bitmap's; stored values are
// wanted: 16-bit samples at their precision, signed ones in two's
// complement, and signed 8-bit ones in two's complement as native data has them.
void TakeStoredValues(TIEBitmap& bitmap, int32_t precision, bool isSigned) {
  const TIEPixelFormat format = bitmap.GetPixelFormat();
  if (format == ie16Gray) {
    const int32_t offset = isSigned ? 1 << (precision - 1) : 0;
    for (int32_t y = 0; y < bitmap.GetHeight(); ++y) {
      auto* row = reinterpret_cast<uint16_t*>(bitmap.GetScanline(y));
      for (int32_t x = 0; x < bitmap.GetWidth(); ++x)
        row[x] = static_cast<uint16_t>((row[x] >> (16 - precision)) - offset);
    }
  } else if (format == ie8g && isSigned) {
    for (int32_t y = 0; y < bitmap.GetHeight(); ++y) {
      uint8_t* row = bitmap.GetScanline(y);
      for (int32_t x = 0; x < bitmap.GetWidth(); ++x) row[x] ^= 0x80;
    }
  }
}

bool DecodeJpeg2000(std::vector<uint8_t>& frame, TIEBitmap& bitmap) {
  TMemoryStream stream;
  stream.WriteBuffer(frame.data(), static_cast<int32_t>(frame.size()));
  stream.SetPosition(0);
  TIOParamsVals params(nullptr);
  params.ISNATIVEPIXELFORMAT = true;
  NestedProgress nested;
  IEReadJpeg2000Stream(stream, &bitmap, params, nested.record, false);
  const TIEPixelFormat format = bitmap.GetPixelFormat();
  if (nested.abort || (format != ie8g && format != ie16Gray && format != ie24RGB)) return false;
  int32_t precision = 0;
  bool isSigned = false;
  if (CodeStreamComponent(frame, precision, isSigned)) TakeStoredValues(bitmap, precision, isSigned);
  return true;
}

// ---- value mapping ------------------------------------------------------------------------------

// The values of the mapped formats: grey bytes, words, or the bytes of RGB pixels.
struct Values {
  TIEBitmap& Bitmap;
  bool Sixteen;
  bool Signed;
  int32_t PerRow;
  int32_t Get(const uint8_t* row, int32_t i) const {
    if (Sixteen) {
      uint16_t v;
      std::memcpy(&v, row + i * 2, 2);
      return Signed ? static_cast<int16_t>(v) : v;
    }
    return Signed ? static_cast<int8_t>(row[i]) : row[i];
  }
  void Set(uint8_t* row, int32_t i, int64_t v) const {
    if (Sixteen) {
      const auto w = static_cast<uint16_t>(v);
      std::memcpy(row + i * 2, &w, 2);
    } else {
      row[i] = static_cast<uint8_t>(v);
    }
  }
};

// Mode 0: rescale, the window (PS3.3 C.11.2.1.2), then a stretch over the
// frame's range.
void Stretch(const Values& values, const ImageInfo& info) {
  const double top = values.Sixteen ? 65535 : 255;
  const bool window = info.HasWindow();
  const double c = info.WindowCenter - 0.5, halfRange = (info.WindowWidth - 1) / 2;
  auto mapped = [&](int32_t stored) {
    const double m = stored * info.RescaleSlope + info.RescaleIntercept;
    if (!window) return m;
    if (m <= c - halfRange) return 0.0;
    if (m > c + halfRange) return top;
    return ((m - c) / (info.WindowWidth - 1) + 0.5) * top;
  };
  TIEBitmap& bitmap = values.Bitmap;
  const int32_t rows = bitmap.GetHeight();
  double smallest = INFINITY, largest = -INFINITY;
  for (int32_t y = 0; y < rows; ++y) {
    const uint8_t* row = bitmap.GetScanline(y);
    for (int32_t i = 0; i < values.PerRow; ++i) {
      const double m = mapped(values.Get(row, i));
      smallest = std::min(smallest, m);
      largest = std::max(largest, m);
    }
  }
  const double offset = std::max(0.0, -smallest);
  const double g = std::trunc(smallest + offset), h = std::trunc(largest + offset);
  if (g == h) return;
  for (int32_t y = 0; y < rows; ++y) {
    uint8_t* row = bitmap.GetScanline(y);
    for (int32_t i = 0; i < values.PerRow; ++i)
      values.Set(row, i, static_cast<int64_t>((std::trunc(mapped(values.Get(row, i)) + offset) - g) / (h - g) * top));
  }
}

// Mode 1: the values kept (signed ones offset to unsigned), the display
// range set from the window or the data.
void SetBlackWhite(const Values& values, const ImageInfo& info, TIOParamsVals& params) {
  TIEBitmap& bitmap = values.Bitmap;
  const double a = std::ldexp(1.0, info.BitsStored - 1);
  for (int32_t y = 0; y < bitmap.GetHeight(); ++y) {
    uint8_t* row = bitmap.GetScanline(y);
    for (int32_t i = 0; i < values.PerRow; ++i) {
      const double v = values.Get(row, i) + (values.Signed ? a : 0);
      values.Set(row, i, static_cast<int64_t>(std::trunc(v * info.RescaleSlope)));
    }
  }
  params.DICOMValueOffset = (values.Signed ? a : 0) - info.RescaleIntercept;
  if (info.HasWindow()) {
    const double c = info.WindowCenter + params.DICOMValueOffset;
    bitmap.DisplayMin = c - std::nearbyint(info.WindowWidth / 2);
    bitmap.DisplayMax = std::trunc(info.WindowWidth / 2) + c;
  } else {
    bitmap.ComputeDisplayRange();
  }
}

void Invert(TIEBitmap& bitmap, const ImageInfo& info, int32_t mode) {
  const TIEPixelFormat format = bitmap.GetPixelFormat();
  const int32_t width = bitmap.GetWidth();
  const uint32_t top = format == ie16Gray && mode == 1 ? (1u << info.BitsStored) - 1 : 65535;
  for (int32_t y = 0; y < bitmap.GetHeight(); ++y) {
    uint8_t* row = bitmap.GetScanline(y);
    if (format == ie16Gray) {
      for (int32_t x = 0; x < width; ++x) {
        uint16_t v;
        std::memcpy(&v, row + x * 2, 2);
        v = static_cast<uint16_t>(top - v);
        std::memcpy(row + x * 2, &v, 2);
      }
    } else {
      const int32_t bytes = format == ie1g ? (width + 7) / 8 : width;
      for (int32_t x = 0; x < bytes; ++x) row[x] = static_cast<uint8_t>(~row[x]);
    }
  }
}

void MapValues(TIEBitmap& bitmap, const ImageInfo& info, TIOParamsVals& params) {
  const int32_t mode = params.DICOMRangeMode;
  const TIEPixelFormat format = bitmap.GetPixelFormat();
  const bool palette = info.Photometric == "PALETTE COLOR";
  if ((mode == 0 || mode == 1) && !palette && (format == ie8g || format == ie16Gray || format == ie24RGB)) {
    const bool sixteen = format == ie16Gray;
    const Values values{bitmap, sixteen, info.PixelRepresentation == 1 && format != ie24RGB,
                        bitmap.GetWidth() * (format == ie24RGB ? 3 : 1)};
    if (mode == 0)
      Stretch(values, info);
    else
      SetBlackWhite(values, info, params);
  }
  if ((mode == 0 || mode == 1) && info.Photometric == "MONOCHROME1" && format != ie24RGB) Invert(bitmap, info, mode);
}

}  // namespace

// ---- decoding a frame ------------------------------------------------------------------------

// Native frames: as many whole ones as the value holds (at least one, so
// that a short value fails when its frame is decoded), at most the count
// the data set states.
int32_t FramesHeld(const ImageInfo& info) {
  if (CodingOf(info.TransferSyntax) != Coding::Native || info.PixelPos < 0 || info.PixelLength < 0 ||
      TargetFormat(info) == ieNoFormat)
    return info.Frames;
  const int64_t bits = FramePixels(info) * info.SamplesPerPixel * info.BitsAllocated;
  if (bits <= 0) return info.Frames;
  // Frames of 1 and 12 bits run on from byte to byte.
  const int64_t held = info.PixelLength * 8 / bits;
  return static_cast<int32_t>(std::clamp<int64_t>(held, 1, info.Frames));
}

namespace {

bool DecodeInto(TStream& in, const ImageInfo& info, TIEBitmap& bitmap, TIOParamsVals& params,
                TIEProgressRecord& progress) {
  const int32_t index = std::clamp(params.IMAGEINDEX, 0, info.Frames - 1);
  const Coding coding = CodingOf(info.TransferSyntax);
  bool decoded = false;
  if (info.PixelPos < 0) {
    // A JPEG stream stored directly as the Pixel Data value.
    std::vector<uint8_t> frame;
    in.Seek(info.BareJpegPos, soBeginning);
    decoded = ReadAt(in, info.BareJpegPos, IEGetJPEGLength(in), frame) && DecodeJpeg(frame, info, bitmap);
  } else if (coding == Coding::Native) {
    decoded = DecodeNative(in, info, index, bitmap, progress);
  } else if (coding != Coding::Unsupported) {
    std::vector<uint8_t> frame;
    if (!EncapsulatedFrame(in, info, index, frame)) return false;
    switch (coding) {
      case Coding::RLE: decoded = DecodeRLE(frame, info, bitmap, progress); break;
      case Coding::Jpeg: decoded = DecodeJpeg(frame, info, bitmap); break;
      case Coding::Lossless: decoded = DecodeLossless(frame, info, bitmap, progress); break;
      default: decoded = DecodeJpeg2000(frame, bitmap); break;
    }
  }
  if (decoded) MapValues(bitmap, info, params);
  return decoded;
}

}  // namespace

bool DecodeFrame(TStream& in, const ImageInfo& info, TIEBitmap& bitmap, TIOParamsVals& params,
                 TIEProgressRecord& progress) {
  if (bitmap.Location() != ieTBitmap) return DecodeInto(in, info, bitmap, params, progress);
  // A framework bitmap holds 1-bit and 24-bit pixels: the frame is decoded
  // aside and brought to one of them.
  TIEBitmap aside;
  const bool decoded = DecodeInto(in, info, aside, params, progress);
  if (!aside.IsEmpty()) {
    if (aside.GetPixelFormat() != ie1g) aside.SetPixelFormat(ie24RGB);
    bitmap.Assign(&aside);
  }
  return decoded;
}

}  // namespace iedicom
