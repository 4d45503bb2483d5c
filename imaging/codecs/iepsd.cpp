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
#include "imaging/codecs/codecframes.h"
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

size_t IEPackBitsDecode(const uint8_t* in, size_t inSize, uint8_t* out, size_t size, size_t* produced) {
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
  if (produced) *produced = o;
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
  std::vector<TIEPSDLayer>* layers = nullptr;
  bool loadLayers = false;
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

// ---- layers ------------------------------------------------------------------------------

struct LayerRecord {
  int32_t top = 0, left = 0, bottom = 0, right = 0;
  std::vector<std::pair<int16_t, int64_t>> channels;  // id and data length
  uint8_t opacity = 255, clipping = 0, flags = 0;
  int32_t maskTop = 0, maskLeft = 0, maskBottom = 0, maskRight = 0;
  std::string name;
};

int32_t SignedBE32(const uint8_t* p) { return static_cast<int32_t>(BE32(p)); }

// Moves to position, which must lie inside the stream.
bool MoveTo(TStream& stream, int64_t position) {
  if (position < 0 || position > stream.Size()) return false;
  stream.SetPosition(position);
  return true;
}

bool ReadLayerRecord(ReadState& s, LayerRecord& r) {
  uint8_t b[18];
  if (!codecbytes::ReadExact(s.stream, b, 18)) return false;
  r.top = SignedBE32(b), r.left = SignedBE32(b + 4), r.bottom = SignedBE32(b + 8), r.right = SignedBE32(b + 12);
  const uint16_t channels = BE16(b + 16);
  if (channels > 56) return false;
  for (uint16_t i = 0; i < channels; ++i) {
    uint8_t id[2];
    int64_t length = 0;
    if (!codecbytes::ReadExact(s.stream, id, 2) || !ReadLength(s.stream, s.h.large(), length)) return false;
    r.channels.emplace_back(static_cast<int16_t>(BE16(id)), length);
  }
  uint8_t blend[16];  // signature, key, opacity, clipping, flags, filler, extra length
  if (!codecbytes::ReadExact(s.stream, blend, 16)) return false;
  r.opacity = blend[8], r.clipping = blend[9], r.flags = blend[10];
  const int64_t extraEnd = s.stream.Position() + BE32(blend + 12);
  uint8_t length[4];
  if (!codecbytes::ReadExact(s.stream, length, 4)) return false;
  const int64_t maskEnd = s.stream.Position() + BE32(length);
  uint8_t mask[16];
  if (BE32(length) >= 16 && codecbytes::ReadExact(s.stream, mask, 16)) {
    r.maskTop = SignedBE32(mask), r.maskLeft = SignedBE32(mask + 4);
    r.maskBottom = SignedBE32(mask + 8), r.maskRight = SignedBE32(mask + 12);
  }
  if (!MoveTo(s.stream, maskEnd) || !codecbytes::ReadExact(s.stream, length, 4) ||
      !codecbytes::Skip(s.stream, BE32(length)))  // blending ranges
    return false;
  uint8_t nameLength = 0;
  char name[256];
  if (!codecbytes::ReadExact(s.stream, &nameLength, 1) || !codecbytes::ReadExact(s.stream, name, nameLength)) return false;
  r.name.assign(name, nameLength);
  return MoveTo(s.stream, extraEnd);
}

// Decodes one layer channel of width x height into store(y, row); the
// stream ends after the channel's length. False when the data cannot hold it.
template <typename Store>
bool ReadLayerChannel(ReadState& s, int64_t length, int32_t width, int32_t height, Store store) {
  const int64_t end = s.stream.Position() + length;
  if (length > codecbytes::Remaining(s.stream)) return false;
  uint8_t b[2];
  if (width <= 0 || height <= 0 || length < 2 || !codecbytes::ReadExact(s.stream, b, 2)) return MoveTo(s.stream, end);
  const uint16_t compression = BE16(b);
  const int64_t rowLength = IEBitmapRowLen(width, s.h.depth, 8);
  if (rowLength <= 0 || height > (length + 1) * 64 / rowLength) return false;
  if (compression > 1) return MoveTo(s.stream, end);
  const int32_t countBytes = s.h.large() ? 4 : 2;
  std::vector<uint8_t> table(compression == 1 ? static_cast<size_t>(height) * countBytes : 0);
  if (!codecbytes::ReadExact(s.stream, table.data(), static_cast<int64_t>(table.size()))) return false;
  std::vector<uint8_t> row(static_cast<size_t>(rowLength)), packed;
  for (int32_t y = 0; y < height && s.stream.Position() <= end; ++y) {
    std::fill(row.begin(), row.end(), 0);
    if (compression == 0) {
      if (!codecbytes::ReadExact(s.stream, row.data(), rowLength)) return false;
    } else {
      const size_t at = static_cast<size_t>(y) * countBytes;
      packed.resize(countBytes == 4 ? BE32(&table[at]) : BE16(&table[at]));
      if (!codecbytes::ReadExact(s.stream, packed.data(), static_cast<int64_t>(packed.size()))) return false;
      IEPackBitsDecode(packed.data(), packed.size(), row.data(), row.size());
    }
    store(y, row.data());
    s.RowDone();
  }
  return MoveTo(s.stream, end);
}

// The channels of one record into its layer, and a mask layer for a user mask.
bool ReadLayerChannels(ReadState& s, const LayerRecord& r, TIEPixelFormat format, std::vector<TIEPSDLayer>& out) {
  TIEPSDLayer layer;
  layer.PosX = r.left, layer.PosY = r.top;
  layer.Opacity = r.opacity / 255.0;
  layer.Name = r.name;
  layer.Visible = !(r.flags & 2);
  layer.ClipToBackground = r.clipping == 0;
  TIEPSDLayer mask;
  const int64_t width = int64_t{r.right} - r.left, height = int64_t{r.bottom} - r.top;
  const int64_t maskWidth = int64_t{r.maskRight} - r.maskLeft, maskHeight = int64_t{r.maskBottom} - r.maskTop;
  const bool sized = width > 0 && height > 0 && width <= INT32_MAX && height <= INT32_MAX;
  const int32_t colors = format == ie1g ? 1 : ColorChannels(format);
  for (const auto& [id, length] : r.channels) {
    const bool isMask = id == -2 && maskWidth > 0 && maskHeight > 0 && maskWidth <= INT32_MAX && maskHeight <= INT32_MAX;
    const bool isImage = sized && id >= -1 && id < colors && !(id == -1 && format == ie1g);
    if (!isMask && !isImage) {
      if (!ReadLayerChannel(s, length, 0, 0, [](int32_t, const uint8_t*) {})) return false;
      continue;
    }
    TIEPSDLayer& target = isMask ? mask : layer;
    const auto w = static_cast<int32_t>(isMask ? maskWidth : width), h = static_cast<int32_t>(isMask ? maskHeight : height);
    bool room = true;
    if (!target.Bitmap) {
      target.Bitmap = std::make_unique<TIEBitmap>();
      // Allocated only once the data is known to hold the channel.
      room = int64_t{h} <= (length + 1) * 64 / std::max<int64_t>(IEBitmapRowLen(w, s.h.depth, 8), 1) &&
             target.Bitmap->Allocate(w, h, isMask ? ie8g : format);
      if (room && format == ie8p && !isMask)
        for (int32_t i = 0; i < 256; ++i) target.Bitmap->SetPaletteColor(i, s.colorTable[static_cast<size_t>(i)]);
    }
    if (!room) return false;
    const TIEPixelFormat f = isMask ? ie8g : format;
    const int32_t channel = id == -1 ? colors : (isMask ? 0 : id);
    if (!ReadLayerChannel(s, length, w, h, [&](int32_t y, const uint8_t* row) {
          StoreChannelRow(*target.Bitmap, f, s.h.depth, channel, y, row);
        }))
      return false;
  }
  if (layer.Bitmap) out.push_back(std::move(layer));
  if (mask.Bitmap && !out.empty()) {
    mask.PosX = r.maskLeft, mask.PosY = r.maskTop;
    mask.MaskOfPrevious = true;
    mask.Visible = false;
    out.push_back(std::move(mask));
  }
  return true;
}

// A decoded layer or merged image in the form the caller asked for: with
// the native format it keeps its pixels and takes the file's ICC profile;
// otherwise it becomes ie24RGB (bilevel stays), through the file's profile
// to the output profile when colour management is on and both profiles open.
void FinishPixels(ReadState& s, TIEBitmap& bitmap) {
  TIOParamsVals& params = s.params;
  TIEICC* input = params.InputICCProfileOrNull();
  const bool profiled = input && input->IsValid();
  if (params.ISNATIVEPIXELFORMAT) {
    if (profiled) bitmap.ImageProfile().Assign(*input);
    return;
  }
  const TIEPixelFormat format = bitmap.GetPixelFormat();
  if (format == ie1g) return;
  if (profiled && IEGetGlobalSettings()->ApplyEmbeddedICC) {
    TIEICC& output = params.GetOutputICCProfile();
    if (output.IsValid() && input->TransformBitmap(bitmap, ie24RGB, output) == 1) return;
  }
  if (format != ie24RGB) bitmap.ConvertToPixelFormat(ie24RGB);
}

bool SkipLayerChannels(ReadState& s, const LayerRecord& r) {
  for (const auto& channel : r.channels)
    if (!ReadLayerChannel(s, channel.second, 0, 0, [](int32_t, const uint8_t*) {})) return false;
  return true;
}

// The layer info of the section; true when layers were read into the list.
bool ReadLayers(ReadState& s, int64_t sectionEnd) {
  int64_t infoLength = 0;
  uint8_t b[2];
  if (!ReadLength(s.stream, s.h.large(), infoLength) || infoLength == 0 || !codecbytes::ReadExact(s.stream, b, 2))
    return false;
  const int32_t count = std::abs(static_cast<int32_t>(static_cast<int16_t>(BE16(b))));
  if (count == 0 || (count > 1 && !s.loadLayers)) return false;
  const TIEPixelFormat format = FormatOf(s.h);
  if (format == ieNoFormat) return false;
  std::vector<LayerRecord> records(static_cast<size_t>(count));
  for (LayerRecord& r : records)
    if (!ReadLayerRecord(s, r) || s.stream.Position() > sectionEnd) return false;
  // With a layer chosen by name only its channels are decoded; the others
  // are passed over by their lengths.
  const std::string& selected = s.params.PSDLayerName;
  auto wanted = [&](const LayerRecord& r) { return selected.empty() || r.name == selected; };
  s.rowsTotal = 0;
  for (const LayerRecord& r : records)
    if (wanted(r))
      s.rowsTotal += std::max<int64_t>(int64_t{r.bottom} - r.top, int64_t{r.maskBottom} - r.maskTop) *
                     static_cast<int64_t>(r.channels.size());
  std::vector<TIEPSDLayer> read;
  for (const LayerRecord& r : records)
    if (!(wanted(r) ? ReadLayerChannels(s, r, format, read) : SkipLayerChannels(s, r))) return false;
  for (TIEPSDLayer& layer : read) {
    TIEBitmap& bitmap = *layer.Bitmap;
    if (bitmap.HasAlphaChannel()) {
      bitmap.GetAlphaChannel()->UpdateAllFull();
      if (bitmap.GetAlphaChannel()->FullFlag()) bitmap.RemoveAlphaChannel();
    }
    if (!layer.MaskOfPrevious) FinishPixels(s, bitmap);
  }
  for (TIEPSDLayer& layer : read) s.layers->push_back(std::move(layer));
  return !read.empty();
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
  if (!ReadLength(s.stream, h.large(), length)) return false;
  const int64_t sectionEnd = s.stream.Position() + length;
  const bool layersRead = length > 0 && s.layers && !paramsOnly && !s.thumbnailLoaded && ReadLayers(s, sectionEnd);
  s.stream.SetPosition(sectionEnd);
  if (paramsOnly || !s.bitmap || s.thumbnailLoaded || layersRead || !params.PSDLayerName.empty()) return true;
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
  FinishPixels(s, bitmap);
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

// The alpha or mask row as the file holds it: 8-bit values, or 16-bit as value x 257.
void ValueRow(const uint8_t* values, int32_t width, int32_t depth, std::vector<uint8_t>& out) {
  out.resize(static_cast<size_t>(width) * static_cast<size_t>(depth / 8));
  for (int32_t x = 0; x < width; ++x) {
    const uint8_t v = values ? values[x] : 255;
    if (depth == 16) {
      out[2 * static_cast<size_t>(x)] = v;
      out[2 * static_cast<size_t>(x) + 1] = v;
    } else {
      out[static_cast<size_t>(x)] = v;
    }
  }
}

// A layer as written: its pixels in the document's format (a copy where
// they differ), and the mask layer that follows it, if any.
struct WrittenLayer {
  const TIEPSDLayer* layer = nullptr;
  TIEBitmap* image = nullptr;
  std::unique_ptr<TIEBitmap> owned;
  const TIEPSDLayer* mask = nullptr;
  std::unique_ptr<TIEBitmap> maskOwned;
  TIEBitmap* maskImage = nullptr;
  std::vector<int16_t> channels;
  std::vector<int64_t> lengthFields;  // stream positions of the channel lengths
};

class LayerWriter {
public:
  LayerWriter(codecbytes::Output& out, TIEPixelFormat format, int32_t depth, bool large, TIEProgressRecord& progress)
      : out_(out), format_(format), depth_(depth), large_(large), progress_(progress) {}

  // Without layers the section is empty; bitmap documents carry no layer info.
  void Write(const std::vector<TIEPSDLayer>& layers) {
    const int64_t section = Placeholder();
    if (layers.empty()) return;
    const int64_t info = Placeholder();
    if (format_ != ie1g) WriteInfo(layers);
    if ((out_.Stream().Position() - info) & 1) out_.U8(0);
    Patch(info);
    out_.BE32(0);  // global mask information
    Patch(section);
  }

private:
  int64_t Placeholder() {
    const int64_t at = out_.Stream().Position();
    large_ ? out_.BE64(0) : out_.BE32(0);
    return at;
  }
  // The length from behind the field to the end.
  void Patch(int64_t field) {
    const int64_t end = out_.Stream().Position();
    out_.Stream().SetPosition(field);
    const int64_t length = end - field - (large_ ? 8 : 4);
    large_ ? out_.BE64(static_cast<uint64_t>(length)) : out_.BE32(static_cast<uint32_t>(length));
    out_.Stream().SetPosition(end);
  }

  void Prepare(const std::vector<TIEPSDLayer>& layers, std::vector<WrittenLayer>& written) {
    const int32_t colors = ColorChannels(format_);
    for (size_t i = 0; i < layers.size(); ++i) {
      const TIEPSDLayer& layer = layers[i];
      if (layer.MaskOfPrevious || !layer.Bitmap || layer.Bitmap->IsEmpty()) continue;
      WrittenLayer w;
      w.layer = &layer;
      w.image = IEFrameAs(*layer.Bitmap, format_, w.owned);
      if (i + 1 < layers.size() && layers[i + 1].MaskOfPrevious && layers[i + 1].Bitmap &&
          !layers[i + 1].Bitmap->IsEmpty()) {
        w.mask = &layers[i + 1];
        w.maskImage = IEFrameAs(*w.mask->Bitmap, ie8g, w.maskOwned);
      }
      w.channels.push_back(-1);
      for (int16_t c = 0; c < colors; ++c) w.channels.push_back(c);
      if (w.mask) w.channels.push_back(-2);
      written.push_back(std::move(w));
    }
  }

  void WriteRecord(WrittenLayer& w) {
    const TIEPSDLayer& l = *w.layer;
    out_.BE32(static_cast<uint32_t>(l.PosY));
    out_.BE32(static_cast<uint32_t>(l.PosX));
    out_.BE32(static_cast<uint32_t>(l.PosY + w.image->GetHeight()));
    out_.BE32(static_cast<uint32_t>(l.PosX + w.image->GetWidth()));
    out_.BE16(static_cast<uint32_t>(w.channels.size()));
    for (int16_t id : w.channels) {
      out_.BE16(static_cast<uint16_t>(id));
      w.lengthFields.push_back(Placeholder());
    }
    out_.Text("8BIMnorm");
    out_.U8(static_cast<uint32_t>(std::clamp(static_cast<int32_t>(l.Opacity * 255), 0, 255)));
    out_.U8(0);
    out_.U8(l.Visible ? 0 : 2);
    out_.U8(0);
    const std::string name = l.Name.substr(0, 255);
    const int32_t maskBlock = w.mask ? 24 : 4;
    int32_t extra = static_cast<int32_t>(name.size()) + 5 + maskBlock;
    const int32_t pad = (4 - extra % 4) % 4;
    extra += pad;
    out_.BE32(static_cast<uint32_t>(extra));
    if (w.mask) {
      out_.BE32(20);
      out_.BE32(static_cast<uint32_t>(w.mask->PosY));
      out_.BE32(static_cast<uint32_t>(w.mask->PosX));
      out_.BE32(static_cast<uint32_t>(w.mask->PosY + w.maskImage->GetHeight()));
      out_.BE32(static_cast<uint32_t>(w.mask->PosX + w.maskImage->GetWidth()));
      out_.Bytes("\0\0\0\0", 4);  // default colour, flags, padding
    } else {
      out_.BE32(0);
    }
    out_.BE32(0);  // blending ranges
    out_.U8(static_cast<uint32_t>(name.size()));
    out_.Text(name);
    for (int32_t i = 0; i < pad; ++i) out_.U8(1);
  }

  // One channel: compression, row counts and PackBits rows of rows(y, out).
  template <typename Rows>
  void WriteChannel(int32_t height, int64_t lengthField, Rows rows) {
    const int64_t start = out_.Stream().Position();
    const int32_t countBytes = large_ ? 4 : 2;
    out_.BE16(1);
    const int64_t table = out_.Stream().Position();
    out_.Bytes(std::vector<uint8_t>(static_cast<size_t>(height) * countBytes).data(), int64_t{height} * countBytes);
    std::vector<uint32_t> counts;
    std::vector<uint8_t> row, packed;
    for (int32_t y = 0; y < height; ++y) {
      rows(y, row);
      packed.clear();
      IEPackBitsEncode(row.data(), row.size(), packed);
      out_.Bytes(packed.data(), static_cast<int64_t>(packed.size()));
      counts.push_back(static_cast<uint32_t>(packed.size()));
    }
    const int64_t end = out_.Stream().Position();
    out_.Stream().SetPosition(table);
    for (uint32_t count : counts) large_ ? out_.BE32(count) : out_.BE16(count);
    out_.Stream().SetPosition(lengthField);
    large_ ? out_.BE64(static_cast<uint64_t>(end - start)) : out_.BE32(static_cast<uint32_t>(end - start));
    out_.Stream().SetPosition(end);
  }

  void WriteChannels(WrittenLayer& w) {
    TIEBitmap& image = *w.image;
    TIEBitmap* alpha = w.layer->Bitmap->HasAlphaChannel() ? w.layer->Bitmap->GetAlphaChannel() : nullptr;
    for (size_t i = 0; i < w.channels.size(); ++i) {
      const int16_t id = w.channels[i];
      if (id == -2) {
        TIEBitmap& mask = *w.maskImage;
        WriteChannel(mask.GetHeight(), w.lengthFields[i], [&](int32_t y, std::vector<uint8_t>& row) {
          ValueRow(mask.GetScanline(y), mask.GetWidth(), depth_, row);
        });
      } else if (id == -1) {
        WriteChannel(image.GetHeight(), w.lengthFields[i], [&](int32_t y, std::vector<uint8_t>& row) {
          ValueRow(alpha ? alpha->GetScanline(y) : nullptr, image.GetWidth(), depth_, row);
        });
      } else {
        WriteChannel(image.GetHeight(), w.lengthFields[i],
                     [&](int32_t y, std::vector<uint8_t>& row) { ChannelRow(image, depth_, id, y, row); });
      }
    }
  }

  void WriteInfo(const std::vector<TIEPSDLayer>& layers) {
    std::vector<WrittenLayer> written;
    Prepare(layers, written);
    out_.BE16(static_cast<uint32_t>(written.size()));
    for (WrittenLayer& w : written) WriteRecord(w);
    for (size_t i = 0; i < written.size(); ++i) {
      WriteChannels(written[i]);
      progress_.Report(static_cast<int32_t>((i + 1) * 100 / written.size()));
    }
  }

  codecbytes::Output& out_;
  const TIEPixelFormat format_;
  const int32_t depth_;
  const bool large_;
  TIEProgressRecord& progress_;
};

}  // namespace

bool IEIsPSDStream(TStream& stream) {
  const int64_t start = stream.Position();
  Header h;
  const bool ok = ReadHeader(stream, h);
  stream.SetPosition(start);
  return ok;
}

namespace {

void ReadPSD(TStream& stream, TIEBitmap* bitmap, TIOParamsVals& params, TIEProgressRecord& progress, bool paramsOnly,
             std::vector<TIEPSDLayer>* layers, bool loadLayers) {
  progress.Report(0);
  ReadState s{stream, params, progress, bitmap, Header{}};
  s.layers = layers;
  s.loadLayers = loadLayers;
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

}  // namespace

void IEReadPSDStream(TStream& stream, TIEBitmap* bitmap, TIOParamsVals& params, TIEProgressRecord& progress,
                     bool paramsOnly, std::vector<TIEPSDLayer>* layers, bool loadLayers) {
  IEReadInHeldFormat(bitmap, [&](TIEBitmap* target) {
    ReadPSD(stream, target, params, progress, paramsOnly, layers, loadLayers);
  });
}

void IEWritePSDStream(TStream& stream, TIOParamsVals& params, TIEProgressRecord& progress, TIEBitmap& bitmap,
                      const std::vector<TIEPSDLayer>* layers) {
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
  const std::vector<TIEPSDLayer> none;
  LayerWriter(out, format, depth, large, progress).Write(layers ? *layers : none);
  WriteMergedImage(out, bitmap, depth, large, progress);
  if (out.Failed()) progress.Abort();
}

void IEPsdCodecRead(TIECodecRead& read) {
  IEReadPSDStream(read.Stream, read.Bitmap, read.Params, read.Progress, read.ParamsOnly);
}

void IEPsdCodecWrite(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress) {
  IEWritePSDStream(stream, params, progress, bitmap);
}
