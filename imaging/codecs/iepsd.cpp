// Layered documents; see iepsd.h.
//
// Sections: header | PackBits | image resources | channels | reading | writing | entry points
#include "imaging/codecs/iepsd.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <memory>
#include <string>

#include "imaging/codecs/codecbytes.h"
#include "imaging/codecs/jpegfilt.h"
#include "imaging/core/iesettings.h"
#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/core/ruduvazez_icc.h"
#include "imaging/io/imageryio_codecs.h"
#include "imaging/io/imageryio_params.h"
#include "imaging/io/imageryio_registry.h"
#include "platform/rtl/streams.h"

using codecbytes::BE16;
using codecbytes::BE32;
using codecbytes::BE64;

namespace {

// ---- header ---------------------------------------------------------------------

constexpr int32_t kHeaderSize = 26;
enum ColorMode : uint16_t { cmBitmap = 0, cmGray = 1, cmIndexed = 2, cmRGB = 3, cmCMYK = 4, cmMultichannel = 7,
                            cmDuotone = 8, cmLab = 9 };

struct Header {
  uint16_t version = 0, channels = 0, depth = 0, mode = 0;
  uint32_t height = 0, width = 0;
  bool large() const { return version == 2; }
  bool valid() const {
    return version >= 1 && version <= 2 && channels >= 1 && channels <= 24 && depth >= 1 && depth <= 16 && mode < 10;
  }
};

bool ReadHeader(TStream& stream, Header& h) {
  uint8_t b[kHeaderSize];
  if (!codecbytes::ReadExact(stream, b, kHeaderSize) || std::memcmp(b, "8BPS", 4) != 0) return false;
  h.version = BE16(b + 4);
  h.channels = BE16(b + 12);
  h.height = BE32(b + 14);
  h.width = BE32(b + 18);
  h.depth = BE16(b + 22);
  h.mode = BE16(b + 24);
  return h.valid();
}

// The pixel format a depth and mode decode into; ieNoFormat for the pairs not read.
TIEPixelFormat FormatOf(const Header& h) {
  if (h.depth == 1 && h.mode == cmBitmap) return ie1g;
  if (h.depth == 8) {
    switch (h.mode) {
      case cmGray: case cmMultichannel: case cmDuotone: return ie8g;
      case cmIndexed: return ie8p;
      case cmRGB: return ie24RGB;
      case cmCMYK: return ieCMYK;
      case cmLab: return ieCIELab;
      default: return ieNoFormat;
    }
  }
  if (h.depth == 16) {
    switch (h.mode) {
      case cmGray: case cmDuotone: return ie16Gray;
      case cmRGB: return ieRGB48;
      case cmCMYK: return ieCMYK;
      case cmLab: return ieCIELab;
      default: return ieNoFormat;
    }
  }
  return ieNoFormat;
}

// Colour channels of the format; the next channel is the alpha channel.
int32_t ColorChannels(TIEPixelFormat format) {
  switch (format) {
    case ie24RGB: case ieRGB48: case ieCIELab: return 3;
    case ieCMYK: return 4;
    default: return 1;
  }
}

// ---- PackBits -----------------------------------------------------------------------

}  // namespace

size_t IEPackBitsDecode(const uint8_t* in, size_t inSize, uint8_t* out, size_t size) {
  size_t i = 0, o = 0;
  while (i < inSize && o < size) {
    const uint8_t n = in[i++];
    if (n < 128) {
      const size_t count = std::min<size_t>({size_t{n} + 1, inSize - i, size - o});
      std::memcpy(out + o, in + i, count);
      i += size_t{n} + 1;
      o += count;
    } else if (n > 128) {
      if (i >= inSize) break;
      const size_t count = std::min<size_t>(257 - n, size - o);
      std::memset(out + o, in[i++], count);
      o += count;
    }
  }
  return std::min(i, inSize);
}

void IEPackBitsEncode(const uint8_t* in, size_t size, std::vector<uint8_t>& out) {
  size_t literalStart = 0, literals = 0;
  auto flush = [&] {
    if (literals == 0) return;
    out.push_back(static_cast<uint8_t>(literals - 1));
    out.insert(out.end(), in + literalStart, in + literalStart + literals);
    literals = 0;
  };
  for (size_t i = 0; i < size;) {
    size_t run = 1;
    while (i + run < size && run < 128 && in[i + run] == in[i]) ++run;
    if (run >= 4) {
      flush();
      out.push_back(static_cast<uint8_t>(257 - run));
      out.push_back(in[i]);
      i += run;
      continue;
    }
    if (literals == 128) flush();
    if (literals == 0) literalStart = i;
    ++literals;
    ++i;
  }
  flush();
}

namespace {

// ---- image resources ----------------------------------------------------------------

struct ReadState {
  TStream& stream;
  TIOParamsVals& params;
  TIEProgressRecord& progress;
  TIEBitmap* bitmap;
  Header h;
  std::array<TRGB, 256> colorTable{};
  bool hasColorTable = false;
  int32_t transparentIndex = -1;
  bool thumbnailLoaded = false;
  int64_t rowsDone = 0, rowsTotal = 1;
  int32_t shown = -1;

  void RowDone() {
    const auto percent = static_cast<int32_t>(++rowsDone * 100 / std::max<int64_t>(rowsTotal, 1));
    if (percent != shown) progress.Report(shown = percent);
  }
};

// A section length: 32 bits, or 64 in a large document where wide.
bool ReadLength(TStream& stream, bool wide, int64_t& length) {
  uint8_t b[8];
  if (!codecbytes::ReadExact(stream, b, wide ? 8 : 4)) return false;
  const uint64_t v = wide ? BE64(b) : BE32(b);
  if (v > static_cast<uint64_t>(codecbytes::Remaining(stream))) return false;
  length = static_cast<int64_t>(v);
  return true;
}

void ReadThumbnail(ReadState& s, const std::vector<uint8_t>& data) {
  if (data.size() < 28) return;
  TMemoryStream jpeg;
  jpeg.WriteBuffer(data.data() + 28, static_cast<int32_t>(data.size() - 28));
  jpeg.SetPosition(0);
  if (!s.params.EXIFThumbnail) s.params.EXIFThumbnail = std::make_unique<TIEBitmap>();
  TIOParamsVals scratch(nullptr);
  std::atomic<bool> failed{false};
  TIEProgressRecord quiet;
  quiet.Aborting = &failed;
  IEReadJPEGStream(jpeg, s.params.EXIFThumbnail.get(), scratch, quiet, TIEJpegReadOptions{});
  if (failed || !s.params.GETTHUMBNAIL || !s.bitmap) return;
  s.bitmap->Assign(s.params.EXIFThumbnail.get());
  s.thumbnailLoaded = true;
}

void HandleResource(ReadState& s, uint16_t id, const std::vector<uint8_t>& data) {
  switch (id) {
    case 1005:
      if (data.size() >= 16) {
        s.params.SetDpiX(static_cast<int32_t>(BE32(data.data()) >> 16));
        s.params.SetDpiY(static_cast<int32_t>(BE32(data.data() + 8) >> 16));
      }
      break;
    case 1028: s.params.IPTC.LoadFromBuffer(data.data(), static_cast<int64_t>(data.size())); break;
    case 1036: ReadThumbnail(s, data); break;
    case 1039: s.params.GetInputICCProfile().LoadFromBuffer(data.data(), static_cast<int32_t>(data.size())); break;
    case 1047:
      if (data.size() >= 2) s.transparentIndex = BE16(data.data());
      break;
    case 1060: s.params.SetXMP_Info(std::string(data.begin(), data.end())); break;
    default: break;
  }
}

// Walks the resources; a bad signature or size ends the walk. False when
// the section itself does not fit the stream.
bool ReadResources(ReadState& s) {
  int64_t length = 0;
  if (!ReadLength(s.stream, false, length)) return false;
  const int64_t end = s.stream.Position() + length;
  while (s.stream.Position() + 12 <= end) {
    if (s.stream.Position() & 1) s.stream.Seek(1, soCurrent);
    uint8_t head[7];
    if (!codecbytes::ReadExact(s.stream, head, 7) || std::memcmp(head, "8BIM", 4) != 0) break;
    const uint16_t id = BE16(head + 4);
    const int64_t nameBytes = head[6] + ((head[6] + 1) & 1);  // with the length byte: even
    uint8_t size[4];
    if (!codecbytes::Skip(s.stream, nameBytes) || !codecbytes::ReadExact(s.stream, size, 4)) break;
    const int64_t dataSize = BE32(size);
    if (dataSize <= 0 || dataSize > end - s.stream.Position()) break;
    std::vector<uint8_t> data(static_cast<size_t>(dataSize));
    if (!codecbytes::ReadExact(s.stream, data.data(), dataSize)) break;
    HandleResource(s, id, data);
    if (dataSize & 1) s.stream.Seek(1, soCurrent);
  }
  s.stream.SetPosition(end);
  return true;
}

// ---- channels -------------------------------------------------------------------------

// Where channel c of a format goes, and how.
void StoreChannelRow(TIEBitmap& bitmap, TIEPixelFormat format, int32_t depth, int32_t channel, int32_t y,
                     const uint8_t* row) {
  const int32_t width = bitmap.GetWidth();
  const int32_t colors = ColorChannels(format);
  if (format == ie1g) {
    uint8_t* out = bitmap.GetScanline(y);
    for (int32_t i = 0; i < (width + 7) / 8; ++i) out[i] = static_cast<uint8_t>(~row[i]);
    return;
  }
  auto sample8 = [&](int32_t x) { return depth == 16 ? row[2 * x] : row[x]; };
  if (channel >= colors) {  // the alpha channel: high bytes of 16-bit samples
    uint8_t* a = bitmap.GetAlphaChannel()->GetScanline(y);
    for (int32_t x = 0; x < width; ++x) a[x] = sample8(x);
    bitmap.GetAlphaChannel()->SetFullFlag(false);
    return;
  }
  uint8_t* out = bitmap.GetScanline(y);
  switch (format) {
    case ie16Gray:
      for (int32_t x = 0; x < width; ++x) reinterpret_cast<uint16_t*>(out)[x] = BE16(row + 2 * x);
      break;
    case ieRGB48:
      for (int32_t x = 0; x < width; ++x) reinterpret_cast<uint16_t*>(out)[3 * x + channel] = BE16(row + 2 * x);
      break;
    case ie24RGB:
      for (int32_t x = 0; x < width; ++x) out[3 * x + 2 - channel] = sample8(x);
      break;
    case ieCMYK:
      for (int32_t x = 0; x < width; ++x) out[4 * x + channel] = sample8(x);
      break;
    case ieCIELab:
      for (int32_t x = 0; x < width; ++x)
        out[3 * x + channel] = static_cast<uint8_t>(channel == 0 ? sample8(x) : sample8(x) - 128);
      break;
    default:  // ie8g and ie8p
      for (int32_t x = 0; x < width; ++x) out[x] = sample8(x);
      break;
  }
}

// The merged image's channels; false when the data cannot hold them.
bool ReadMergedImage(ReadState& s, TIEBitmap& bitmap, TIEPixelFormat format) {
  const Header& h = s.h;
  uint8_t b[2];
  if (!codecbytes::ReadExact(s.stream, b, 2)) return false;
  const uint16_t compression = BE16(b);
  if (compression > 1) return false;  // zip coding is not read
  const int64_t rowLength = IEBitmapRowLen(static_cast<int32_t>(h.width), h.depth, 8);
  const int64_t rows = int64_t{h.channels} * h.height;
  const int32_t countBytes = h.large() ? 4 : 2;
  std::vector<uint32_t> counts;
  if (compression == 1) {
    if (rows * countBytes > codecbytes::Remaining(s.stream)) return false;
    std::vector<uint8_t> table(static_cast<size_t>(rows * countBytes));
    if (!codecbytes::ReadExact(s.stream, table.data(), rows * countBytes)) return false;
    counts.resize(static_cast<size_t>(rows));
    for (size_t i = 0; i < counts.size(); ++i)
      counts[i] = countBytes == 4 ? BE32(&table[4 * i]) : BE16(&table[2 * i]);
  }
  // A two-byte PackBits run gives 128 bytes: never more than the data could hold.
  const int64_t budget = (codecbytes::Remaining(s.stream) + 1) * 64;
  if (rowLength <= 0 || rows > budget / rowLength) return false;
  bitmap.RemoveAlphaChannel();
  if (!bitmap.Allocate(static_cast<int32_t>(h.width), static_cast<int32_t>(h.height), format)) return false;
  if (format == ie8p) {
    for (int32_t i = 0; i < 256; ++i) bitmap.SetPaletteColor(i, s.colorTable[static_cast<size_t>(i)]);
  }
  const int32_t used = std::min<int32_t>(h.channels, format == ie1g ? 1 : ColorChannels(format) + 1);
  s.rowsTotal = rows;
  std::vector<uint8_t> row(static_cast<size_t>(rowLength)), packed;
  for (int32_t c = 0; c < h.channels; ++c)
    for (int32_t y = 0; y < static_cast<int32_t>(h.height); ++y) {
      if (s.progress.Aborted()) return true;
      std::fill(row.begin(), row.end(), 0);
      bool whole = true;
      if (compression == 0) {
        whole = codecbytes::ReadExact(s.stream, row.data(), rowLength);
      } else {
        const uint32_t count = counts[static_cast<size_t>(c) * h.height + static_cast<size_t>(y)];
        packed.resize(count);
        whole = codecbytes::ReadExact(s.stream, packed.data(), count);
        IEPackBitsDecode(packed.data(), packed.size(), row.data(), row.size());
      }
      if (!whole) return false;
      if (c < used) StoreChannelRow(bitmap, format, h.depth, c, y, row.data());
      s.RowDone();
    }
  return true;
}

// Indexed images: alpha 0 only where the file names a transparent index.
void ApplyTransparentIndex(const ReadState& s, TIEBitmap& bitmap) {
  if (s.transparentIndex < 0 || s.transparentIndex > 255) return;
  TIEBitmap* alpha = bitmap.GetAlphaChannel();
  for (int32_t y = 0; y < bitmap.GetHeight(); ++y) {
    const uint8_t* index = bitmap.GetScanline(y);
    uint8_t* a = alpha->GetScanline(y);
    for (int32_t x = 0; x < bitmap.GetWidth(); ++x) a[x] = index[x] == s.transparentIndex ? 0 : 255;
  }
  alpha->UpdateAllFull();
  if (alpha->FullFlag()) bitmap.RemoveAlphaChannel();
}

// ---- reading ----------------------------------------------------------------------------

bool ReadDocument(ReadState& s, bool paramsOnly) {
  if (!ReadHeader(s.stream, s.h)) return false;
  const Header& h = s.h;
  TIOParamsVals& params = s.params;
  params.SetImageCount(1);
  params.WIDTH = params.ORIGINALWIDTH = static_cast<int32_t>(std::min<uint32_t>(h.width, INT32_MAX));
  params.HEIGHT = params.ORIGINALHEIGHT = static_cast<int32_t>(std::min<uint32_t>(h.height, INT32_MAX));
  params.BITSPERSAMPLE = h.depth;
  params.SAMPLESPERPIXEL = h.channels;
  params.SetDpiX(96);
  params.SetDpiY(96);
  int64_t length = 0;
  if (!ReadLength(s.stream, false, length)) return false;
  if (length == 768) {
    uint8_t map[768];
    if (!codecbytes::ReadExact(s.stream, map, 768)) return false;
    for (size_t i = 0; i < 256; ++i) s.colorTable[i] = TRGB{map[512 + i], map[256 + i], map[i]};
    s.hasColorTable = true;
  } else if (!codecbytes::Skip(s.stream, length)) {
    return false;
  }
  if (!ReadResources(s)) return false;
  // The layer and mask section.
  if (!ReadLength(s.stream, h.large(), length) || !codecbytes::Skip(s.stream, length)) return false;
  if (paramsOnly || !s.bitmap || s.thumbnailLoaded) return true;
  const TIEPixelFormat format = FormatOf(h);
  if (format == ieNoFormat || h.width > INT32_MAX || h.height > INT32_MAX) return false;
  if (format == ie8p && !s.hasColorTable) return false;
  TIEBitmap& bitmap = *s.bitmap;
  if (!ReadMergedImage(s, bitmap, format)) return false;
  if (format == ie8p) ApplyTransparentIndex(s, bitmap);
  if (bitmap.HasAlphaChannel()) {
    bitmap.GetAlphaChannel()->UpdateAllFull();
    if (bitmap.GetAlphaChannel()->FullFlag()) bitmap.RemoveAlphaChannel();
  }
  if (!params.ISNATIVEPIXELFORMAT && format != ie1g && format != ie24RGB) bitmap.ConvertToPixelFormat(ie24RGB);
  return true;
}

// ---- writing ----------------------------------------------------------------------------

// The colour mode of a pixel format; -1 for none.
int32_t ModeOf(TIEPixelFormat format) {
  switch (format) {
    case ie1g: return cmBitmap;
    case ie8p: return cmIndexed;
    case ie8g: case ie16Gray: return cmGray;
    case ie24RGB: case ieRGB48: case ie32RGBA: return cmRGB;
    case ieCMYK: return cmCMYK;
    case ieCIELab: return cmLab;
    default: return -1;
  }
}

int32_t WrittenChannels(TIEPixelFormat format) { return format == ie32RGBA ? 4 : (format == ie1g ? 1 : ColorChannels(format)); }

void WriteResource(codecbytes::Output& out, uint16_t id, const void* data, int64_t size) {
  if (out.Stream().Position() & 1) out.U8(0);
  out.Text("8BIM");
  out.BE16(id);
  out.BE16(0);  // an empty name, padded
  out.BE32(static_cast<uint32_t>(size));
  out.Bytes(data, size);
  if (size & 1) out.U8(0);
}

void WriteResources(codecbytes::Output& out, TIOParamsVals& params, TIEBitmap& bitmap) {
  const int64_t start = out.Stream().Position();
  out.BE32(0);
  uint8_t resolution[16] = {};
  auto put32 = [&](int32_t at, uint32_t v) {
    for (int32_t i = 0; i < 4; ++i) resolution[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
  };
  put32(0, static_cast<uint32_t>(params.DPIX) << 16);
  resolution[5] = 1, resolution[7] = 1;
  put32(8, static_cast<uint32_t>(params.DPIY) << 16);
  resolution[13] = 1, resolution[15] = 1;
  WriteResource(out, 1005, resolution, 16);
  // A palette image names a transparent index only when it has transparency.
  if (bitmap.GetPixelFormat() == ie8p && bitmap.HasAlphaChannel() && !bitmap.GetAlphaChannel()->FullFlag()) {
    const uint8_t index[2] = {0, 255};
    WriteResource(out, 1047, index, 2);
  }
  const std::vector<uint8_t> iptc = params.IPTC.SaveToBuffer(false);
  if (!iptc.empty()) WriteResource(out, 1028, iptc.data(), static_cast<int64_t>(iptc.size()));
  if (TIEICC* icc = params.InputICCProfileOrNull()) {
    TMemoryStream bytes;
    icc->SaveToStream(bytes, true);
    if (bytes.Size() > 0) WriteResource(out, 1039, bytes.Memory(), bytes.Size());
  }
  if (params.EXIFThumbnail && !params.EXIFThumbnail->IsEmpty()) {
    TIEBitmap& thumb = *params.EXIFThumbnail;
    TMemoryStream jpeg;
    TIOParamsVals defaults(nullptr);
    std::atomic<bool> failed{false};
    TIEProgressRecord quiet;
    quiet.Aborting = &failed;
    IEWriteJPEGStream(jpeg, thumb, defaults, quiet);
    std::vector<uint8_t> data(28);
    const uint32_t w = static_cast<uint32_t>(thumb.GetWidth()), hgt = static_cast<uint32_t>(thumb.GetHeight());
    const uint32_t fields[6] = {1, w, hgt, w * 3, w * hgt * 3, static_cast<uint32_t>(jpeg.Size())};
    for (size_t f = 0; f < 6; ++f)
      for (size_t i = 0; i < 4; ++i) data[4 * f + i] = static_cast<uint8_t>(fields[f] >> (24 - 8 * i));
    data[25] = 24, data[27] = 1;
    const auto* bytes = static_cast<const uint8_t*>(jpeg.Memory());
    data.insert(data.end(), bytes, bytes + jpeg.Size());
    WriteResource(out, 1036, data.data(), static_cast<int64_t>(data.size()));
  }
  if (!params.XMP_INFO.empty()) WriteResource(out, 1060, params.XMP_INFO.data(), static_cast<int64_t>(params.XMP_INFO.size()));
  if (out.Stream().Position() & 1) out.U8(0);
  const int64_t end = out.Stream().Position();
  out.Stream().SetPosition(start);
  out.BE32(static_cast<uint32_t>(end - start - 4));
  out.Stream().SetPosition(end);
}

// The bytes of channel c of row y as the file holds them.
void ChannelRow(TIEBitmap& bitmap, int32_t depth, int32_t c, int32_t y, std::vector<uint8_t>& out) {
  const int32_t width = bitmap.GetWidth();
  const TIEPixelFormat format = bitmap.GetPixelFormat();
  const uint8_t* row = bitmap.GetScanline(y);
  if (format == ie1g) {
    out.resize(static_cast<size_t>(IEBitmapRowLen(width, 1, 8)));
    for (size_t i = 0; i < out.size(); ++i) out[i] = static_cast<uint8_t>(~row[i]);
    return;
  }
  out.resize(static_cast<size_t>(width) * static_cast<size_t>(depth / 8));
  const int32_t step = IEPixelFormatInfo[format].BitsPerPixel / 8;
  if (depth == 16) {
    const auto* words = reinterpret_cast<const uint16_t*>(row);
    const int32_t perPixel = step / 2;
    for (int32_t x = 0; x < width; ++x) {
      const uint16_t v = words[x * perPixel + c];
      out[2 * static_cast<size_t>(x)] = static_cast<uint8_t>(v >> 8);
      out[2 * static_cast<size_t>(x) + 1] = static_cast<uint8_t>(v);
    }
    return;
  }
  // Red first for the blue-green-red formats; Lab's a and b back to unsigned.
  const int32_t at = (format == ie24RGB || format == ie32RGBA) && c < 3 ? 2 - c : c;
  const uint8_t offset = format == ieCIELab && c > 0 ? 128 : 0;
  for (int32_t x = 0; x < width; ++x) out[static_cast<size_t>(x)] = static_cast<uint8_t>(row[x * step + at] + offset);
}

void WriteMergedImage(codecbytes::Output& out, TIEBitmap& bitmap, int32_t depth, bool large,
                      TIEProgressRecord& progress) {
  const int32_t channels = WrittenChannels(bitmap.GetPixelFormat());
  const int32_t height = bitmap.GetHeight();
  const int32_t countBytes = large ? 4 : 2;
  out.BE16(1);
  const int64_t table = out.Stream().Position();
  const int64_t rows = int64_t{channels} * height;
  out.Bytes(std::vector<uint8_t>(static_cast<size_t>(rows * countBytes)).data(), rows * countBytes);
  std::vector<uint32_t> counts;
  std::vector<uint8_t> row, packed;
  for (int32_t c = 0; c < channels; ++c) {
    for (int32_t y = 0; y < height; ++y) {
      ChannelRow(bitmap, depth, c, y, row);
      packed.clear();
      IEPackBitsEncode(row.data(), row.size(), packed);
      out.Bytes(packed.data(), static_cast<int64_t>(packed.size()));
      counts.push_back(static_cast<uint32_t>(packed.size()));
    }
    progress.Report(static_cast<int32_t>(int64_t{c + 1} * 100 / channels));
  }
  const int64_t end = out.Stream().Position();
  out.Stream().SetPosition(table);
  for (uint32_t count : counts) large ? out.BE32(count) : out.BE16(count);
  out.Stream().SetPosition(end);
}

}  // namespace

bool IEIsPSDStream(TStream& stream) {
  const int64_t start = stream.Position();
  Header h;
  const bool ok = ReadHeader(stream, h);
  stream.SetPosition(start);
  return ok;
}

void IEReadPSDStream(TStream& stream, TIEBitmap* bitmap, TIOParamsVals& params, TIEProgressRecord& progress,
                     bool paramsOnly) {
  progress.Report(0);
  ReadState s{stream, params, progress, bitmap, Header{}};
  bool ok = false;
  try {
    ok = ReadDocument(s, paramsOnly);
  } catch (const std::exception&) {
    ok = false;
  }
  if (!ok) {
    progress.Abort();
    return;
  }
  progress.Report(100);
}

void IEWritePSDStream(TStream& stream, TIOParamsVals& params, TIEProgressRecord& progress, TIEBitmap& bitmap) {
  const TIEPixelFormat format = bitmap.GetPixelFormat();
  const int32_t mode = ModeOf(format);
  if (mode < 0 || bitmap.GetWidth() <= 0 || bitmap.GetHeight() <= 0) {
    progress.Abort();
    return;
  }
  const int32_t channels = WrittenChannels(format);
  const int32_t depth = format == ie1g ? 1 : IEPixelFormatInfo[format].BitsPerPixel / IEPixelFormatInfo[format].Channels;
  const bool large = params.PSDLargeDocument;
  codecbytes::Output out(stream);
  out.Text("8BPS");
  out.BE16(large ? 2 : 1);
  out.Bytes("\0\0\0\0\0\0", 6);
  out.BE16(static_cast<uint32_t>(channels));
  out.BE32(static_cast<uint32_t>(bitmap.GetHeight()));
  out.BE32(static_cast<uint32_t>(bitmap.GetWidth()));
  out.BE16(static_cast<uint32_t>(depth));
  out.BE16(static_cast<uint32_t>(mode));
  if (format == ie8p) {
    out.BE32(768);
    uint8_t map[768];
    for (int32_t i = 0; i < 256; ++i) {
      TRGB c;
      bitmap.GetPaletteColor(i, c);
      map[i] = c.r, map[256 + i] = c.g, map[512 + i] = c.b;
    }
    out.Bytes(map, 768);
  } else {
    out.BE32(0);
  }
  WriteResources(out, params, bitmap);
  if (large) out.BE64(0);
  else out.BE32(0);  // no layers
  WriteMergedImage(out, bitmap, depth, large, progress);
  if (out.Failed()) progress.Abort();
}

void IEPsdCodecRead(TIECodecRead& read) {
  IEReadPSDStream(read.Stream, read.Bitmap, read.Params, read.Progress, read.ParamsOnly);
}

void IEPsdCodecWrite(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress) {
  IEWritePSDStream(stream, params, progress, bitmap);
}
