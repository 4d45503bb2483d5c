// Headerless pixel data into an allocated bitmap, and the two metafile
// format tests.
//
// Sections: samples | raw reader | metafiles
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "imaging/codecs/bmpfilt.h"
#include "imaging/codecs/bmpfilt_support.h"
#include "imaging/core/davovevo.h"
#include "imaging/io/imageryio_params.h"

using namespace bmpfilt;

namespace {

// ---- samples ------------------------------------------------------------------------

// The size in bytes of one sample of the format.
int32_t SampleBytes(TIEPixelFormat format) {
  switch (format) {
    case ie16Gray:
    case ieRGB48: return 2;
    case ie32f: return 4;
    default: return 1;
  }
}

// Reads decimal or hexadecimal text samples.
class TTextSamples {
public:
  TTextSamples(TStream& stream, bool hex) : stream_(stream), hex_(hex) {}

  // The next run of digits (at most 34 characters); empty at the end.
  std::string Next() {
    std::string digits;
    int c = Get();
    while (c != -1 && !IsDigit(c)) c = Get();
    while (c != -1 && IsDigit(c)) {
      if (digits.size() < 34) digits += static_cast<char>(c);
      c = Get();
    }
    return digits;
  }
  // Stores the next sample at out in the format's sample type.
  void Put(uint8_t* out, TIEPixelFormat format) {
    const std::string digits = Next();
    if (format == ie32f) {
      const float v = digits.empty() ? 0.0f : std::strtof(digits.c_str(), nullptr);
      std::memcpy(out, &v, 4);
      return;
    }
    const unsigned long long v = digits.empty() ? 0 : std::strtoull(digits.c_str(), nullptr, hex_ ? 16 : 10);
    if (SampleBytes(format) == 2) {
      const auto s = static_cast<uint16_t>(v);
      std::memcpy(out, &s, 2);
    } else {
      *out = static_cast<uint8_t>(v);
    }
  }

private:
  int Get() {
    uint8_t b;
    return stream_.Read(&b, 1) == 1 ? b : -1;
  }
  bool IsDigit(int c) const { return (c >= '0' && c <= '9') || (hex_ && c >= 'A' && c <= 'F'); }

  TStream& stream_;
  bool hex_;
};

// ---- raw reader ------------------------------------------------------------------------

void SkipBytes(TStream& stream, int64_t count) {
  stream.SetPosition(std::min(stream.Position() + std::max<int64_t>(count, 0), stream.Size()));
}

// Every pixel's samples together, row by row from the top.
void ReadInterleaved(TStream& stream, TIEBitmap& bitmap, const TIOParamsVals& params, TIEProgressRecord& progress,
                     int32_t align) {
  const TIEPixelFormat format = bitmap.GetPixelFormat();
  const int32_t width = bitmap.GetWidth(), height = bitmap.GetHeight();
  const int64_t rowLength = bitmap.RowLength64();
  const int64_t dataRow = RowBytes(width, bitmap.GetBitCount(), align);
  const bool text = params.BMPRAW_DATAFORMAT != 0;
  TTextSamples samples(stream, params.BMPRAW_DATAFORMAT == 2);
  const int32_t sampleBytes = SampleBytes(format);
  const int64_t perRow = int64_t{width} * std::max(bitmap.GetChannelCount(), 1);
  TRowProgress rows(progress, height);
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = bitmap.GetScanline(y);
    if (text && format == ie1g) {
      for (int32_t x = 0; x < width; ++x) {
        uint8_t v = 0;
        samples.Put(&v, ie8g);
        const uint8_t bit = static_cast<uint8_t>(0x80 >> (x & 7));
        row[x >> 3] = v ? (row[x >> 3] | bit) : (row[x >> 3] & ~bit);
      }
    } else if (text) {
      for (int64_t i = 0; i < perRow; ++i) samples.Put(row + i * sampleBytes, format);
    } else {
      if (ReadSome(stream, row, std::min(rowLength, dataRow)) == 0) return;
      if (dataRow > rowLength) SkipBytes(stream, dataRow - rowLength);
    }
    rows.Step(y + 1);
  }
}

// One whole image per channel: sample k of every pixel from plane k.
void ReadPlanar(TStream& stream, TIEBitmap& bitmap, TIEProgressRecord& progress, int32_t align) {
  const TIEPixelFormat format = bitmap.GetPixelFormat();
  const int32_t planes = format == ieCMYK ? 4 : 3;
  const int32_t sampleBytes = SampleBytes(format);
  const int32_t width = bitmap.GetWidth(), height = bitmap.GetHeight();
  const int64_t planeRow = RowBytes(width, sampleBytes * 8, align);
  std::vector<uint8_t> row(static_cast<size_t>(planeRow));
  progress.Report(0);
  for (int32_t k = 0; k < planes; ++k) {
    for (int32_t y = 0; y < height; ++y) {
      std::fill(row.begin(), row.end(), 0);
      if (ReadSome(stream, row.data(), planeRow) == 0) break;
      uint8_t* out = bitmap.GetScanline(y);
      for (int32_t x = 0; x < width; ++x)
        std::memcpy(out + (int64_t{x} * planes + k) * sampleBytes, &row[static_cast<size_t>(x) * sampleBytes],
                    static_cast<size_t>(sampleBytes));
    }
    progress.Report((k + 1) * 100 / planes);
  }
}

void SwapFirstAndThird(TIEBitmap& bitmap) {
  const int32_t sampleBytes = SampleBytes(bitmap.GetPixelFormat());
  for (int32_t y = 0; y < bitmap.GetHeight(); ++y) {
    uint8_t* p = bitmap.GetScanline(y);
    for (int32_t x = 0; x < bitmap.GetWidth(); ++x, p += 3 * sampleBytes)
      for (int32_t b = 0; b < sampleBytes; ++b) std::swap(p[b], p[2 * sampleBytes + b]);
  }
}

}  // namespace

void IEReadRawBitmapStream(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress) {
  const TIEPixelFormat format = bitmap.GetPixelFormat();
  if (format == ie32f && params.BMPRAW_DATAFORMAT == 2) throw EIEException("Format unsupported");
  if (format == ieNoFormat || format == ieCIELab || format == ie32RGBA || bitmap.GetWidth() < 1 ||
      bitmap.GetHeight() < 1)
    return;
  TIEBufferedReadStream input(stream, 8192);
  SkipBytes(input, params.BMPRAW_HEADERSIZE);
  const int32_t align = params.BMPRAW_ROWALIGN > 0 ? params.BMPRAW_ROWALIGN : 8;
  const bool planar = params.BMPRAW_PLANES == 1 && (format == ie24RGB || format == ieCMYK || format == ieRGB48);
  if (planar)
    ReadPlanar(input, bitmap, progress, align);
  else
    ReadInterleaved(input, bitmap, params, progress, align);
  // 24-bit pixels are stored blue first, 48-bit ones red first.
  if ((format == ie24RGB && params.BMPRAW_CHANNELORDER == 0) || (format == ieRGB48 && params.BMPRAW_CHANNELORDER == 1))
    SwapFirstAndThird(bitmap);
}

// ---- metafiles ----------------------------------------------------------------------------

bool IEIsEMFStream(TStream& stream) {
  const int64_t position = stream.Position();
  uint8_t b[100] = {};
  const int64_t got = ReadSome(stream, b, 100);
  stream.SetPosition(position);
  return got >= 44 && LE32(b) == 1 && LE32(b + 40) == 0x464D4520;
}

bool IEIsWMFStream(TStream& stream) {
  const int64_t position = stream.Position();
  uint8_t b[20] = {};
  bool result = false;
  if (ReadAll(stream, b, 20)) {
    stream.SetPosition(position + (LE32(b) == 0x9AC6CDD7 ? 22 : 0));
    uint8_t h[18];
    result = ReadAll(stream, h, 18) && LE16(h) == 1 && LE16(h + 2) == 9 && LE16(h + 16) == 0;
  }
  stream.SetPosition(position);
  return result;
}
