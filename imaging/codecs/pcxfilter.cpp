// The PCX and DCX codecs; see pcxfilter.h.
//
// Sections: header | reading | writing | DCX | entry points
#include "imaging/codecs/pcxfilter.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
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
#include "platform/rtl/streams.h"

using codecbytes::LE16;
using codecbytes::LE32;

namespace {

// ---- header ---------------------------------------------------------------------

constexpr int32_t kHeaderSize = 128, kPaletteSize = 768;

struct Header {
  uint8_t manufacturer = 0, version = 0, encoding = 0, bits = 0;
  int32_t width = 0, height = 0;
  uint16_t dpiX = 0, dpiY = 0;
  std::array<TRGB, 16> palette{};
  uint8_t planes = 0;
  uint16_t bytesPerLine = 0;

  // The layouts read: one plane of 1, 2, 4 or 8 bits, three 8-bit planes,
  // and two to four planes of 1 bit (the planes give the bits of an index).
  bool known() const {
    return (planes == 1 && (bits == 1 || bits == 2 || bits == 4 || bits == 8)) || (planes == 3 && bits == 8) ||
           (bits == 1 && planes >= 2 && planes <= 4);
  }
  bool bitPlanes() const { return bits == 1 && planes > 1; }
  // One plane of bits over a black-and-white palette, or a palette that
  // says nothing (two equal entries, as in old files): an ie1g image.
  bool bilevel() const {
    const bool blackWhite = palette[0] == TRGB{0, 0, 0} && palette[1] == TRGB{255, 255, 255};
    return bits == 1 && planes == 1 && (blackWhite || palette[0] == palette[1]);
  }
};

Header ParseHeader(const uint8_t* h) {
  Header r;
  r.manufacturer = h[0];
  r.version = h[1];
  r.encoding = h[2];
  r.bits = h[3];
  r.width = int32_t{LE16(h + 8)} - LE16(h + 4) + 1;
  r.height = int32_t{LE16(h + 10)} - LE16(h + 6) + 1;
  r.dpiX = LE16(h + 12);
  r.dpiY = LE16(h + 14);
  for (size_t i = 0; i < 16; ++i) r.palette[i] = TRGB{h[16 + 3 * i + 2], h[16 + 3 * i + 1], h[16 + 3 * i]};
  r.planes = h[65];
  r.bytesPerLine = LE16(h + 66);
  return r;
}

// ---- reading ----------------------------------------------------------------------

// Plane lines from the image data; a run may carry over into the next line.
class LineDecoder {
public:
  LineDecoder(const std::vector<uint8_t>& data, bool encoded) : data_(data), encoded_(encoded) {}

  // False when the data ends before the line is full.
  bool Line(uint8_t* out, int32_t count) {
    if (!encoded_) {
      const size_t take = std::min<size_t>(static_cast<size_t>(count), data_.size() - at_);
      std::memcpy(out, data_.data() + at_, take);
      at_ += take;
      return take == static_cast<size_t>(count);
    }
    for (int32_t i = 0; i < count;) {
      if (left_ == 0) {
        if (at_ >= data_.size()) return false;
        const uint8_t b = data_[at_++];
        if (b >= 192) {
          if (at_ >= data_.size()) return false;
          left_ = b & 63;
          value_ = data_[at_++];
        } else {
          left_ = 1;
          value_ = b;
        }
        continue;
      }
      const int32_t take = std::min(left_, count - i);
      std::memset(out + i, value_, static_cast<size_t>(take));
      i += take;
      left_ -= take;
    }
    return true;
  }

private:
  const std::vector<uint8_t>& data_;
  const bool encoded_;
  size_t at_ = 0;
  int32_t left_ = 0;
  uint8_t value_ = 0;
};

void SetParameters(const Header& h, const std::array<TRGB, 256>& palette256, TIOParamsVals& params) {
  params.SetImageCount(1);
  const TIEImageryGlobalSettings& settings = *IEGetGlobalSettings();
  const bool noResolution = h.dpiX == 0 || h.dpiY == 0;
  params.SetDpiX(noResolution ? settings.DefaultDPIX : h.dpiX);
  params.SetDpiY(noResolution ? settings.DefaultDPIY : h.dpiY);
  params.BITSPERSAMPLE = h.bits;
  params.SAMPLESPERPIXEL = h.planes;
  params.WIDTH = params.ORIGINALWIDTH = h.width;
  params.HEIGHT = params.ORIGINALHEIGHT = h.height;
  params.PCX_VERSION = h.version;
  params.PCX_COMPRESSION = h.encoding;
  params.FreeColorMap();
  if (h.bits == 8 && h.planes == 1) {
    params.ColorMap.assign(palette256.begin(), palette256.end());
  } else if (h.bitPlanes() && h.planes <= 4) {
    params.ColorMap.assign(h.palette.begin(), h.palette.begin() + (1 << h.planes));
    params.BITSPERSAMPLE = h.planes;
    params.SAMPLESPERPIXEL = 1;
  } else if (h.bits < 8) {
    params.ColorMap.assign(h.palette.begin(), h.palette.begin() + std::min(1 << h.bits, 16));
  }
}

// One row of the bitmap from its plane lines.
void StoreRow(const Header& h, const std::array<TRGB, 256>& palette256, const uint8_t* lines, uint8_t* row) {
  const int32_t width = h.width;
  const int32_t bpl = h.bytesPerLine;
  auto* pixels = reinterpret_cast<TRGB*>(row);
  if (h.bilevel()) {
    std::memcpy(row, lines, static_cast<size_t>(width + 7) / 8);
  } else if (h.planes == 1 && h.bits == 8) {
    for (int32_t x = 0; x < width; ++x) pixels[x] = palette256[lines[x]];
  } else if (h.planes == 1) {  // 1, 2 or 4 bits, the highest first
    const int32_t perByte = 8 / h.bits, mask = (1 << h.bits) - 1;
    for (int32_t x = 0; x < width; ++x) {
      const int32_t shift = (perByte - 1 - x % perByte) * h.bits;
      pixels[x] = h.palette[static_cast<size_t>((lines[x / perByte] >> shift) & mask)];
    }
  } else if (h.planes == 3 && h.bits == 8) {
    for (int32_t x = 0; x < width; ++x) pixels[x] = TRGB{lines[2 * bpl + x], lines[bpl + x], lines[x]};
  } else {  // planes of bits, plane p giving index bit p
    for (int32_t x = 0; x < width; ++x) {
      int32_t index = 0;
      for (int32_t p = 0; p < h.planes; ++p) index |= ((lines[p * bpl + x / 8] >> (7 - x % 8)) & 1) << p;
      pixels[x] = h.palette[static_cast<size_t>(index)];
    }
  }
}

bool ReadPCX(TStream& stream, TIEBitmap* bitmap, TIOParamsVals& params, bool paramsOnly, TIEProgressRecord& progress,
             int64_t size) {
  const int64_t start = stream.Position();
  size = std::min(size, codecbytes::Remaining(stream));
  uint8_t raw[kHeaderSize];
  if (size < kHeaderSize || !codecbytes::ReadExact(stream, raw, kHeaderSize)) return false;
  const Header h = ParseHeader(raw);
  if (h.manufacturer != 10 || h.bits > 8 || h.encoding > 1 || h.width <= 0 || h.height <= 0) return false;
  std::array<TRGB, 256> palette256{};
  if (h.planes == 1 && h.bits > 4) {
    if (size < kHeaderSize + kPaletteSize) return false;
    uint8_t rgb[kPaletteSize];
    stream.SetPosition(start + size - kPaletteSize);
    if (!codecbytes::ReadExact(stream, rgb, kPaletteSize)) return false;
    for (size_t i = 0; i < 256; ++i) palette256[i] = TRGB{rgb[3 * i + 2], rgb[3 * i + 1], rgb[3 * i]};
    stream.SetPosition(start + kHeaderSize);
  }
  SetParameters(h, palette256, params);
  if (paramsOnly) return true;
  // A layout this reader does not know, or lines too short for the width, load nothing.
  if (!bitmap || !h.known() || int64_t{h.bytesPerLine} * 8 < int64_t{h.width} * h.bits) return false;
  const int64_t dataBytes = size - kHeaderSize;
  const int64_t lineBytes = int64_t{h.bytesPerLine} * h.planes;
  // A two-byte run gives at most 63 bytes: never more rows than the data could hold.
  if (lineBytes * h.height > (dataBytes + 1) * 63 / 2) return false;
  std::vector<uint8_t> data(static_cast<size_t>(dataBytes));
  if (!codecbytes::ReadExact(stream, data.data(), dataBytes)) return false;
  bitmap->RemoveAlphaChannel();
  if (!bitmap->Allocate(h.width, h.height, h.bilevel() ? ie1g : ie24RGB)) return false;
  LineDecoder decoder(data, h.encoding == 1);
  std::vector<uint8_t> lines(static_cast<size_t>(lineBytes));
  int32_t shown = -1;
  for (int32_t y = 0; y < h.height; ++y) {
    const auto percent = static_cast<int32_t>(int64_t{y} * 100 / h.height);
    if (percent != shown) progress.Report(shown = percent);
    if (progress.Aborted()) return true;
    for (int32_t p = 0; p < h.planes; ++p)
      if (!decoder.Line(lines.data() + static_cast<size_t>(p) * h.bytesPerLine, h.bytesPerLine)) return false;
    StoreRow(h, palette256, lines.data(), bitmap->GetScanline(y));
  }
  return true;
}

// ---- writing ----------------------------------------------------------------------

struct Layout {
  int32_t depth = 24;  // 1, 4, 8 or 24
  TIEBitmap* image = nullptr;
  std::unique_ptr<TIEBitmap> owned;
  std::array<TRGB, 256> palette{};
  std::unique_ptr<TIEQuantizer> quantizer;
  int32_t lineBytes = 0;  // of the image's data, before padding to an even count
};

void ChooseLayout(TIEBitmap& bitmap, TIOParamsVals& params, Layout& l) {
  const int32_t samples = std::min(params.SAMPLESPERPIXEL, 3);
  const int32_t total = params.BITSPERSAMPLE * std::max(samples, 1);
  const int32_t width = bitmap.GetWidth();
  if (params.BITSPERSAMPLE <= 1) {
    l.depth = 1;
    l.image = IEBilevelFrame(bitmap, l.owned, l.palette.data());
    l.lineBytes = (width + 7) / 8;
    return;
  }
  l.depth = total > 8 ? 24 : (total > 4 ? 8 : 4);
  l.image = IEFrameAs(bitmap, ie24RGB, l.owned);
  if (l.depth < 24) l.quantizer = std::make_unique<TIEQuantizer>(*l.image, l.palette.data(), 1 << l.depth);
  l.lineBytes = l.depth == 4 ? (width + 1) / 2 : width;
}

void WriteHeader(codecbytes::Output& out, const Layout& l, const TIOParamsVals& params) {
  uint8_t h[kHeaderSize] = {};
  h[0] = 10;
  h[1] = static_cast<uint8_t>(params.PCX_VERSION);
  h[2] = params.PCX_COMPRESSION ? 1 : 0;
  h[3] = static_cast<uint8_t>(l.depth == 24 ? 8 : l.depth);
  auto put16 = [&](int32_t at, int32_t v) {
    h[at] = static_cast<uint8_t>(v);
    h[at + 1] = static_cast<uint8_t>(v >> 8);
  };
  put16(8, l.image->GetWidth() - 1);
  put16(10, l.image->GetHeight() - 1);
  put16(12, params.DPIX);
  put16(14, params.DPIY);
  if (l.depth <= 4)
    for (size_t i = 0; i < 16; ++i) {
      h[16 + 3 * i] = l.palette[i].r;
      h[16 + 3 * i + 1] = l.palette[i].g;
      h[16 + 3 * i + 2] = l.palette[i].b;
    }
  h[65] = l.depth == 24 ? 3 : 1;
  put16(66, l.lineBytes + (l.lineBytes & 1));
  put16(68, l.depth == 24 ? 0 : 1);
  out.Bytes(h, kHeaderSize);
}

// The line's bytes, run-length encoded when asked; an odd count gets a 0 byte.
void WriteLine(codecbytes::Output& out, const uint8_t* line, int32_t count, bool encode, std::vector<uint8_t>& work) {
  work.clear();
  if (!encode) {
    work.assign(line, line + count);
  } else {
    for (int32_t x = 0; x < count;) {
      int32_t run = 1;
      while (x + run < count && run < 63 && line[x + run] == line[x]) ++run;
      if (run > 1 || line[x] >= 192) work.push_back(static_cast<uint8_t>(192 | run));
      work.push_back(line[x]);
      x += run;
    }
  }
  if (count & 1) work.push_back(0);
  out.Bytes(work.data(), static_cast<int64_t>(work.size()));
}

// The plane lines of row y, one after another.
void MakeLines(const Layout& l, int32_t y, std::vector<uint8_t>& lines) {
  const int32_t width = l.image->GetWidth();
  const uint8_t* row = l.image->GetScanline(y);
  auto rgb = [&](int32_t x) { return TRGB{row[3 * x], row[3 * x + 1], row[3 * x + 2]}; };
  switch (l.depth) {
    case 1: lines.assign(row, row + l.lineBytes); break;
    case 4:
      lines.assign(static_cast<size_t>(l.lineBytes), 0);
      for (int32_t x = 0; x < width; ++x)
        lines[static_cast<size_t>(x / 2)] |= static_cast<uint8_t>((l.quantizer->GetRGBIndex(rgb(x)) & 15) << (x % 2 ? 0 : 4));
      break;
    case 8:
      lines.resize(static_cast<size_t>(width));
      for (int32_t x = 0; x < width; ++x) lines[static_cast<size_t>(x)] = static_cast<uint8_t>(l.quantizer->GetRGBIndex(rgb(x)));
      break;
    default:
      lines.resize(static_cast<size_t>(width) * 3);
      for (int32_t x = 0; x < width; ++x) {
        lines[static_cast<size_t>(x)] = row[3 * x + 2];
        lines[static_cast<size_t>(width + x)] = row[3 * x + 1];
        lines[static_cast<size_t>(2 * width + x)] = row[3 * x];
      }
  }
}

// ---- DCX ---------------------------------------------------------------------------

constexpr uint32_t kDCXMagic = 987654321;
constexpr int32_t kMostPages = 1024;

// The page offsets up to the 0 entry, or none without the magic (when wanted).
std::vector<int64_t> ReadPageTable(TStream& stream, bool checkMagic, bool& magic) {
  const int64_t start = stream.Position();
  std::vector<int64_t> pages;
  uint8_t b[4];
  magic = codecbytes::ReadExact(stream, b, 4) && LE32(b) == kDCXMagic;
  if (magic || !checkMagic)
    while (static_cast<int32_t>(pages.size()) < kMostPages && codecbytes::ReadExact(stream, b, 4) && LE32(b) != 0)
      pages.push_back(LE32(b));
  stream.SetPosition(start);
  return pages;
}

// Bytes of the page: up to the nearest following page, else to the end.
int64_t PageSize(const std::vector<int64_t>& pages, size_t index, int64_t length) {
  int64_t end = length;
  for (int64_t offset : pages)
    if (offset > pages[index]) end = std::min(end, offset);
  return end - pages[index];
}

}  // namespace

void IEReadPCXStream(TStream& stream, TIEBitmap* bitmap, TIOParamsVals& params, bool paramsOnly,
                     TIEProgressRecord& progress, int64_t size) {
  bool ok = false;
  try {
    ok = ReadPCX(stream, bitmap, params, paramsOnly, progress, size);
  } catch (const std::exception&) {
    ok = false;
  }
  if (!ok) progress.Abort();
}

void IEWritePCXStream(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress) {
  if (bitmap.GetWidth() <= 0 || bitmap.GetHeight() <= 0 || bitmap.GetWidth() > 65536 || bitmap.GetHeight() > 65536) {
    progress.Abort();
    return;
  }
  Layout l;
  ChooseLayout(bitmap, params, l);
  codecbytes::Output out(stream);
  WriteHeader(out, l, params);
  const int32_t height = l.image->GetHeight();
  const bool encode = params.PCX_COMPRESSION != 0;
  std::vector<uint8_t> lines, work;
  for (int32_t y = 0; y < height; ++y) {
    progress.Report(static_cast<int32_t>(int64_t{y} * 100 / height));
    if (progress.Aborted()) return;
    MakeLines(l, y, lines);
    const int32_t planes = l.depth == 24 ? 3 : 1;
    const int32_t count = static_cast<int32_t>(lines.size()) / planes;
    for (int32_t p = 0; p < planes; ++p) WriteLine(out, lines.data() + static_cast<size_t>(p) * count, count, encode, work);
  }
  if (l.depth == 8) {
    out.U8(12);
    for (const TRGB& c : l.palette) {
      const uint8_t rgb[3] = {c.r, c.g, c.b};
      out.Bytes(rgb, 3);
    }
  }
  if (out.Failed()) progress.Abort();
}

bool IEIsDCXStream(TStream& stream) {
  bool magic = false;
  const std::vector<int64_t> pages = ReadPageTable(stream, true, magic);
  const int64_t length = stream.Size() - stream.Position();
  return magic && std::all_of(pages.begin(), pages.end(), [&](int64_t offset) { return offset < length; });
}

int32_t IEGetDCXImageCount(TStream& stream) {
  bool magic = false;
  return static_cast<int32_t>(ReadPageTable(stream, false, magic).size());
}

void IEReadDCXStream(TStream& stream, TIEBitmap* bitmap, TIOParamsVals& params, bool paramsOnly,
                     TIEProgressRecord& progress) {
  const int64_t start = stream.Position();
  bool magic = false;
  const std::vector<int64_t> pages = ReadPageTable(stream, true, magic);
  if (!IEIsDCXStream(stream) || pages.empty()) {
    progress.Abort();
    return;
  }
  const auto index = static_cast<size_t>(std::clamp<int32_t>(params.DCX_IMAGEINDEX, 0, static_cast<int32_t>(pages.size()) - 1));
  params.DCX_IMAGEINDEX = static_cast<int32_t>(index);
  params.SetImageIndex(params.DCX_IMAGEINDEX);
  const int64_t size = PageSize(pages, index, stream.Size() - start);
  if (size < kHeaderSize) {
    progress.Abort();
    return;
  }
  stream.SetPosition(start + pages[index]);
  IEReadPCXStream(stream, bitmap, params, paramsOnly, progress, size);
  params.SetImageCount(static_cast<int32_t>(pages.size()));
}

void IEWriteDCXStream(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress) {
  stream.SetPosition(0);
  bool magic = false;
  const std::vector<int64_t> old = ReadPageTable(stream, true, magic);
  const int64_t length = stream.Size();
  if (length > 0 && !IEIsDCXStream(stream)) {
    progress.Abort();
    return;
  }
  const auto pages = static_cast<int32_t>(old.size());
  if (pages >= kMostPages) {
    progress.Abort();
    return;
  }
  const int32_t insertAt = std::clamp(params.DCX_IMAGEINDEX, 0, pages);
  TMemoryStream built;
  codecbytes::Output out(built);
  out.LE32(kDCXMagic);
  std::vector<uint32_t> table;
  out.Bytes(std::vector<uint8_t>(static_cast<size_t>(pages + 2) * 4, 0).data(), int64_t{pages + 2} * 4);
  for (int32_t pos = 0; pos <= pages && !progress.Aborted(); ++pos) {
    if (pos == insertAt) {
      table.push_back(static_cast<uint32_t>(built.Position()));
      IEWritePCXStream(built, bitmap, params, progress);
    }
    if (pos < pages) {
      table.push_back(static_cast<uint32_t>(built.Position()));
      stream.SetPosition(old[static_cast<size_t>(pos)]);
      built.CopyFrom(stream, PageSize(old, static_cast<size_t>(pos), length));
    }
  }
  built.SetPosition(4);
  for (uint32_t offset : table) out.LE32(offset);
  if (progress.Aborted() || out.Failed()) {
    progress.Abort();
    return;
  }
  stream.SetSize(0);
  stream.SetPosition(0);
  built.SetPosition(0);
  stream.CopyFrom(built, built.Size());
}

void IEPcxCodecRead(TIECodecRead& read) {
  IEReadPCXStream(read.Stream, read.Bitmap, read.Params, read.ParamsOnly, read.Progress, read.Size);
}

void IEPcxCodecWrite(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress) {
  IEWritePCXStream(stream, bitmap, params, progress);
}

void IEDcxCodecRead(TIECodecRead& read) {
  IEReadDCXStream(read.Stream, read.Bitmap, read.Params, read.ParamsOnly, read.Progress);
  read.PageCount = read.Params.IMAGECOUNT;
}

void IEDcxCodecWrite(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress) {
  IEWriteDCXStream(stream, bitmap, params, progress);
}
