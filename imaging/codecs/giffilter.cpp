// The GIF codec; see giffilter.h.
//
// Sections: blocks | reading | writing | copying without a frame | entry points
#include "imaging/codecs/giffilter.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "imaging/codecs/codecbytes.h"
#include "imaging/codecs/codecframes.h"
#include "imaging/codecs/giflzw.h"
#include "imaging/codecs/neurquant.h"
#include "imaging/core/iesettings.h"
#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/io/imageryio_codecs.h"
#include "imaging/io/imageryio_params.h"
#include "imaging/io/imageryio_registry.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/streams.h"

using codecbytes::LE16;

namespace {

// ---- blocks ---------------------------------------------------------------------

constexpr uint8_t kExtension = 0x21, kImage = 0x2C, kTrailer = 0x3B;
constexpr uint8_t kGraphicControl = 0xF9, kComment = 0xFE;

// A colour table as read: 2^(size + 1) entries, blue, green, red.
using ColorTable = std::vector<TRGB>;

bool ReadColorTable(TStream& stream, uint8_t flags, ColorTable& table) {
  const size_t entries = size_t{2} << (flags & 7);
  std::array<uint8_t, 768> rgb{};
  if (!codecbytes::ReadExact(stream, rgb.data(), static_cast<int64_t>(entries * 3))) return false;
  table.resize(entries);
  for (size_t i = 0; i < entries; ++i) table[i] = TRGB{rgb[3 * i + 2], rgb[3 * i + 1], rgb[3 * i]};
  return true;
}

// Calls take(data, length) for each sub-block up to the empty one; false
// when the stream ends first (take has then seen what there was).
template <typename Take>
bool WalkSubBlocks(TStream& stream, Take take) {
  uint8_t block[256];
  for (;;) {
    if (stream.Read(block, 1) != 1) return false;
    const uint8_t length = block[0];
    if (length == 0) return true;
    const int32_t got = std::max(stream.Read(block, length), 0);
    take(block, got);
    if (got < length) return false;
  }
}

bool SkipSubBlocks(TStream& stream) {
  return WalkSubBlocks(stream, [](const uint8_t*, int32_t) {});
}

// The most pixels LZW data of so many bytes can give: codes are at least
// 3 bits, and the k-th code after a clear code stands for at most k (and
// never more than 4096) pixels.
int64_t MostLZWPixels(int64_t bytes) {
  const int64_t codes = bytes * 8 / 3 + 1;
  constexpr int64_t kTable = 4096;
  if (codes <= kTable) return codes * (codes + 1) / 2;
  return kTable * (kTable + 1) / 2 + (codes - kTable) * kTable;
}

// ---- reading ----------------------------------------------------------------------

// The colours of a row of palette indexes, three bytes a pixel: each store
// takes four, the fourth overwritten by the next pixel's.
void IndexesToRGB(const uint8_t* in, int32_t width, const std::array<uint32_t, 256>& colors, uint8_t* out) {
  int32_t x = 0;
  for (; x + 1 < width; ++x) std::memcpy(out + 3 * x, &colors[in[x]], 4);
  if (x < width) std::memcpy(out + 3 * x, &colors[in[x]], 3);
}

struct GraphicControl {
  uint8_t flags = 0;
  uint16_t delay = 0;
  uint8_t transparentIndex = 0;
};

struct ImageDescriptor {
  uint16_t left = 0, top = 0, width = 0, height = 0;
  uint8_t flags = 0;
  bool interlaced() const { return flags & 0x40; }
  bool localTable() const { return flags & 0x80; }
};

class GIFReader {
public:
  GIFReader(TStream& stream, TIEBitmap* bitmap, TIOParamsVals& params, TIEProgressRecord& progress, bool paramsOnly,
            bool noMask)
      : stream_(stream), bitmap_(bitmap), params_(params), progress_(progress), paramsOnly_(paramsOnly),
        noMask_(noMask), wanted_(params.GIF_IMAGEINDEX) {}

  // The frames seen.
  int32_t Run() {
    progress_.Report(0);
    if (progress_.Aborted()) return 0;
    if (!ReadScreen()) {
      progress_.Abort();
      return 0;
    }
    if (codecbytes::Remaining(stream_) == 0) progress_.Abort();
    WalkBlocks();
    params_.GIF_IMAGECOUNT = frames_;
    params_.SetImageCount(frames_);
    if (!found_) progress_.Abort();  // no such frame: nothing was loaded
    if (!progress_.Aborted()) progress_.Report(100);
    return frames_;
  }

private:
  bool ReadScreen() {
    uint8_t h[13];
    if (!codecbytes::ReadExact(stream_, h, 13) || std::memcmp(h, "GIF", 3) != 0) return false;
    params_.GIF_VERSION.assign(reinterpret_cast<const char*>(h), 6);
    params_.GIF_WINWIDTH = LE16(h + 6);
    params_.GIF_WINHEIGHT = LE16(h + 8);
    params_.GIF_RATIO = h[12];
    const TIEImageryGlobalSettings& settings = *IEGetGlobalSettings();
    params_.SetDpiX(settings.DefaultDPIX);
    params_.SetDpiY(settings.DefaultDPIY);
    params_.SAMPLESPERPIXEL = 1;
    if (h[10] & 0x80) {
      if (!ReadColorTable(stream_, h[10], global_)) return false;
      if (h[11] < global_.size()) params_.GIF_BACKGROUND = global_[h[11]];
    }
    return true;
  }

  void WalkBlocks() {
    for (bool more = true; more && !progress_.Aborted();) {
      uint8_t tag = 0;
      if (stream_.Read(&tag, 1) != 1) break;  // the end counts as the trailer
      switch (tag) {
        case kExtension: more = ReadExtension(); break;
        case kImage: more = ReadImage(); break;
        case kTrailer: more = false; break;
        default: break;
      }
    }
  }

  bool ReadExtension() {
    uint8_t label = 0;
    if (stream_.Read(&label, 1) != 1) return false;
    if (label == kGraphicControl && frames_ == wanted_) {
      bool first = true;
      return WalkSubBlocks(stream_, [&](const uint8_t* data, int32_t length) {
        if (first && length >= 4) control_ = GraphicControl{data[0], LE16(data + 1), data[3]};
        first = false;
      });
    }
    if (label == kComment) {
      return WalkSubBlocks(stream_, [&](const uint8_t* data, int32_t length) {
        if (length > 0) params_.GIFComments.emplace_back(reinterpret_cast<const char*>(data), length);
      });
    }
    return SkipSubBlocks(stream_);
  }

  bool ReadImage() {
    uint8_t d[9];
    if (!codecbytes::ReadExact(stream_, d, 9)) return false;
    const ImageDescriptor image{LE16(d), LE16(d + 2), LE16(d + 4), LE16(d + 6), d[8]};
    ColorTable local;
    if (image.localTable() && !ReadColorTable(stream_, image.flags, local)) return false;
    bool more = true;
    if (frames_ == wanted_) {
      found_ = true;
      more = ReadWantedFrame(image, image.localTable() ? local : global_);
    } else {
      more = SkipImageData();
    }
    ++frames_;
    return more;
  }

  bool SkipImageData() {
    uint8_t codeSize = 0;
    return stream_.Read(&codeSize, 1) == 1 && SkipSubBlocks(stream_);
  }

  void SetFrameParameters(const ImageDescriptor& image, const ColorTable& table) {
    const bool transparent = control_.flags & 1;
    params_.GIF_TRANSPARENT = transparent;
    params_.GIF_TRANSPCOLOR = transparent && control_.transparentIndex < table.size()
                                  ? table[control_.transparentIndex]
                                  : TRGB{};
    params_.GIF_XPOS = image.left;
    params_.GIF_YPOS = image.top;
    params_.WIDTH = params_.ORIGINALWIDTH = image.width;
    params_.HEIGHT = params_.ORIGINALHEIGHT = image.height;
    params_.GIF_DELAYTIME = control_.delay;
    params_.GIF_INTERLACED = image.interlaced();
    params_.GIFDisposalMethod = static_cast<uint8_t>((control_.flags >> 2) & 7);
    params_.ColorMap = table;
    int32_t bits = 1;
    while ((size_t{1} << bits) < table.size()) ++bits;
    params_.BITSPERSAMPLE = table.empty() ? 8 : bits;
  }

  bool ReadWantedFrame(const ImageDescriptor& image, const ColorTable& table) {
    progress_.Report(30);
    if (progress_.Aborted()) return false;
    SetFrameParameters(image, table);
    if (paramsOnly_) return SkipImageData();
    // Measure the data first: never more indexes than it could encode.
    const int64_t start = stream_.Position();
    int64_t dataBytes = 0;
    uint8_t codeSize = 0;
    const bool whole = stream_.Read(&codeSize, 1) == 1 &&
                       WalkSubBlocks(stream_, [&](const uint8_t*, int32_t length) { dataBytes += length; });
    stream_.SetPosition(start);
    const int64_t pixels = int64_t{image.width} * image.height;
    if (!bitmap_ || pixels > MostLZWPixels(dataBytes)) {
      progress_.Abort();
      return false;
    }
    std::unique_ptr<uint8_t[]> indexes(new (std::nothrow) uint8_t[static_cast<size_t>(std::max<int64_t>(pixels, 1))]);
    if (!indexes) {
      progress_.Abort();
      return false;
    }
    TIEGIFLZWDecoder decode = params_.GIFLZWDecoder ? params_.GIFLZWDecoder : IEGetGlobalSettings()->GIFLZWDecoder;
    // Our decoder sets every pixel; another may leave some as they were.
    if (decode != DecodeGIFLZW) std::memset(indexes.get(), 0, static_cast<size_t>(pixels));
    const int64_t before = stream_.Position();
    if (decode) decode(stream_, image.height, image.width, image.interlaced(), indexes.get());
    if (!decode || stream_.Position() == before) {
      progress_.Abort();
      return false;
    }
    progress_.Report(70);
    if (progress_.Aborted()) return false;
    const bool stored = StoreFrame(image, table, indexes.get());
    if (!whole) progress_.Abort();  // the data was cut short: what it held is kept
    return stored && whole;
  }

  bool StoreFrame(const ImageDescriptor& image, const ColorTable& table, const uint8_t* indexes) {
    // Indexes past the table read black.
    std::array<TRGB, 256> colors{};
    std::copy_n(table.begin(), std::min<size_t>(table.size(), 256), colors.begin());
    const bool bilevel = table.size() == 2 && colors[0] == TRGB{0, 0, 0} && colors[1] == TRGB{255, 255, 255};
    const TIEPixelFormat format = bilevel ? ie1g : (params_.ISNATIVEPIXELFORMAT ? ie8p : ie24RGB);
    bitmap_->RemoveAlphaChannel();
    if (!bitmap_->Allocate(image.width, image.height, format)) {
      progress_.Abort();
      return false;
    }
    const int32_t width = image.width;
    std::array<uint32_t, 256> wide{};  // each colour's three bytes in four
    for (size_t i = 0; i < 256; ++i) std::memcpy(&wide[i], &colors[i], 3);
    if (format == ie8p) {
      for (int32_t i = 0; i < 256; ++i) bitmap_->SetPaletteColor(i, colors[static_cast<size_t>(i)]);
      bitmap_->SetPaletteUsed(static_cast<int32_t>(std::max<size_t>(table.size(), 1)));
    }
    for (int32_t y = 0; y < image.height; ++y) {
      const uint8_t* in = indexes + static_cast<size_t>(y) * static_cast<size_t>(width);
      uint8_t* row = bitmap_->GetScanline(y);
      if (format == ie1g) {
        std::memset(row, 0, static_cast<size_t>(width + 7) / 8);
        for (int32_t x = 0; x < width; ++x)
          if (in[x] == 1) row[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
      } else if (format == ie8p) {
        std::memcpy(row, in, static_cast<size_t>(width));
      } else {
        IndexesToRGB(in, width, wide, row);
      }
    }
    if (!noMask_ && params_.GIF_TRANSPARENT) StoreTransparency(image, indexes);
    return true;
  }

  void StoreTransparency(const ImageDescriptor& image, const uint8_t* indexes) {
    const uint8_t transparent = control_.transparentIndex;
    const uint8_t* end = indexes + size_t{image.width} * image.height;
    if (std::find(indexes, end, transparent) == end) return;
    TIEBitmap* alpha = bitmap_->GetAlphaChannel();
    for (int32_t y = 0; y < image.height; ++y) {
      const uint8_t* in = indexes + static_cast<size_t>(y) * image.width;
      uint8_t* a = alpha->GetScanline(y);
      for (int32_t x = 0; x < image.width; ++x) a[x] = in[x] == transparent ? 0 : 255;
    }
    alpha->SetFullFlag(false);
  }

  TStream& stream_;
  TIEBitmap* bitmap_;
  TIOParamsVals& params_;
  TIEProgressRecord& progress_;
  const bool paramsOnly_, noMask_;
  const int32_t wanted_;
  ColorTable global_;
  GraphicControl control_;
  int32_t frames_ = 0;
  bool found_ = false;
};

// ---- writing ----------------------------------------------------------------------

// The frame to encode and its palette.
struct Frame {
  TIEBitmap* image = nullptr;
  std::unique_ptr<TIEBitmap> owned;
  int32_t bits = 8;
  int32_t colors = 256;  // palette entries the quantizer may use
  bool alpha = false;
  std::array<TRGB, 256> palette{};
  std::unique_ptr<TIEQuantizer> quantizer;
};

void PrepareFrame(TIEBitmap& bitmap, TIOParamsVals& params, Frame& f) {
  f.bits = std::clamp(params.BITSPERSAMPLE, 1, 8);
  f.alpha = bitmap.HasAlphaChannel() && !bitmap.GetAlphaChannel()->FullFlag();
  // One bit leaves no entry for transparency: black, white and the
  // transparent entry take two bits, so white pixels stay white.
  if (f.bits == 1 && f.alpha) f.bits = 2;
  TRGB twoColors[2];
  f.image = &bitmap;
  if (params.BITSPERSAMPLE <= 1)
    f.image = IEBilevelFrame(bitmap, f.owned, twoColors);
  else if (bitmap.GetPixelFormat() == ie1g)
    f.image = IEFrameAs(bitmap, ie24RGB, f.owned);
  f.colors = (1 << f.bits) - (f.alpha ? 1 : 0);
  if (f.image->GetPixelFormat() == ie1g) {
    f.palette[0] = TRGB{0, 0, 0};
    f.palette[1] = TRGB{255, 255, 255};
  } else {
    f.quantizer = std::make_unique<TIEQuantizer>(*f.image, f.palette.data(), f.colors);
  }
}

// The palette index standing for a colour, always inside the palette.
int32_t IndexOf(const Frame& f, TRGB color) {
  if (!f.quantizer) return IENearestPaletteIndex(f.palette.data(), 2, color);  // black and white
  return std::clamp(f.quantizer->GetRGBIndex(color), 0, f.colors - 1);
}

std::vector<uint8_t> FrameIndexes(const Frame& f, TIEBitmap& source) {
  const int32_t width = f.image->GetWidth(), height = f.image->GetHeight();
  std::vector<uint8_t> out(static_cast<size_t>(width) * static_cast<size_t>(height) + 9);
  TIEBitmap* alpha = f.alpha ? source.GetAlphaChannel() : nullptr;
  const TIEPixelFormat format = f.image->GetPixelFormat();
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* o = out.data() + static_cast<size_t>(y) * static_cast<size_t>(width);
    const uint8_t* row = f.image->GetScanline(y);
    const uint8_t* a = alpha ? alpha->GetScanline(y) : nullptr;
    for (int32_t x = 0; x < width; ++x) {
      int32_t index = 0;
      if (a && a[x] < 255) {
        index = f.colors;
      } else if (format == ie1g) {
        index = (row[x >> 3] >> (7 - (x & 7))) & 1;
      } else if (format == ie8p && row[x] < f.colors) {
        index = row[x];
      } else if (format == ie24RGB) {
        index = f.quantizer->GetRGBIndex(TRGB{row[3 * x], row[3 * x + 1], row[3 * x + 2]});
      } else {
        TRGB c;
        f.image->GetPixelRGB(x, y, c);
        index = f.quantizer->GetRGBIndex(c);
      }
      o[x] = static_cast<uint8_t>(std::clamp(index, 0, f.colors));
    }
  }
  return out;
}

void WriteHeader(codecbytes::Output& out, const Frame& f, TIOParamsVals& params) {
  std::string version = params.GIF_VERSION.size() >= 6 ? params.GIF_VERSION.substr(0, 6) : std::string("GIF89a");
  out.Text(version);
  out.LE16(static_cast<uint32_t>(f.image->GetWidth()));
  out.LE16(static_cast<uint32_t>(f.image->GetHeight()));
  const int32_t b = f.bits - 1;
  out.U8(0x80 | b << 4 | b);
  out.U8(static_cast<uint32_t>(IndexOf(f, params.GIF_BACKGROUND)));
  out.U8(0);
  const size_t entries = size_t{1} << f.bits;
  for (size_t i = 0; i < entries; ++i) {
    const TRGB c = f.palette[i];
    const uint8_t rgb[3] = {c.r, c.g, c.b};
    out.Bytes(rgb, 3);
  }
}

void WriteGraphicControl(codecbytes::Output& out, const Frame& f, TIOParamsVals& params) {
  const bool transparent = f.alpha || params.GIF_TRANSPARENT;
  const int32_t transparentIndex = f.alpha ? f.colors : (transparent ? IndexOf(f, params.GIF_TRANSPCOLOR) : 0);
  out.U8(kExtension);
  out.U8(kGraphicControl);
  out.U8(4);
  out.U8((transparent ? 1 : 0) | (params.GIFDisposalMethod & 7) << 2);
  out.LE16(static_cast<uint32_t>(std::clamp(params.GIF_DELAYTIME, 0, 65535)));
  out.U8(static_cast<uint32_t>(transparentIndex));
  out.U8(0);
}

// Each comment line in sub-blocks of at most 255 bytes.
void WriteComments(codecbytes::Output& out, const std::vector<std::string>& comments) {
  out.U8(kExtension);
  out.U8(kComment);
  for (const std::string& line : comments)
    for (size_t at = 0; at < line.size(); at += 255) {
      const size_t length = std::min<size_t>(255, line.size() - at);
      out.U8(static_cast<uint32_t>(length));
      out.Bytes(line.data() + at, static_cast<int64_t>(length));
    }
  out.U8(0);
}

// ---- copying without a frame --------------------------------------------------------

class GIFCopier {
public:
  GIFCopier(TStream& in, TStream* out, int32_t frameIndex) : in_(in), out_(out), drop_(frameIndex) {}

  int32_t Run() {
    uint8_t h[13];
    if (!codecbytes::ReadExact(in_, h, 13) || std::memcmp(h, "GIF", 3) != 0) return 0;
    std::memcpy(h + 3, "89a", 3);
    Put(h, 13);
    if (h[10] & 0x80) {
      ColorTable table;
      if (!ReadColorTable(in_, h[10], table)) return copied_;
      PutTable(table);
    }
    for (bool more = true; more;) {
      uint8_t tag = 0;
      if (in_.Read(&tag, 1) != 1) {
        Put(&kTrailer, 1);
        break;
      }
      if (tag == kExtension) more = CopyExtension();
      else if (tag == kImage) more = CopyImage();
      else if (tag == kTrailer) {
        Put(&kTrailer, 1);
        more = false;
      }
    }
    return copied_;
  }

private:
  void Put(const void* data, int32_t count) {
    if (out_ && count > 0) out_->WriteBuffer(data, count);
  }
  void PutTable(const ColorTable& table) {
    for (const TRGB& c : table) {
      const uint8_t rgb[3] = {c.r, c.g, c.b};
      Put(rgb, 3);
    }
  }
  // Copies the sub-blocks (as far as they go) unless dropped; false at the end of the data.
  bool CopySubBlocks(bool keep) {
    const bool whole = WalkSubBlocks(in_, [&](const uint8_t* data, int32_t length) {
      if (!keep) return;
      const auto n = static_cast<uint8_t>(length);
      Put(&n, 1);
      Put(data, length);
    });
    const uint8_t end = 0;
    if (keep && whole) Put(&end, 1);
    return whole;
  }
  bool CopyExtension() {
    uint8_t label = 0;
    if (in_.Read(&label, 1) != 1) return false;
    const bool keep = !(label == kGraphicControl && frames_ == drop_);
    if (keep) {
      const uint8_t head[2] = {kExtension, label};
      Put(head, 2);
    }
    return CopySubBlocks(keep);
  }
  bool CopyImage() {
    uint8_t d[10];
    d[0] = kImage;
    if (!codecbytes::ReadExact(in_, d + 1, 9)) return false;
    ColorTable local;
    if ((d[9] & 0x80) && !ReadColorTable(in_, d[9], local)) return false;
    uint8_t codeSize = 0;
    if (in_.Read(&codeSize, 1) != 1) return false;
    const bool keep = frames_++ != drop_;
    if (keep) {
      Put(d, 10);
      PutTable(local);
      Put(&codeSize, 1);
    }
    const bool whole = CopySubBlocks(keep);
    if (keep && whole) ++copied_;
    return whole;
  }

  TStream& in_;
  TStream* out_;
  const int32_t drop_;
  int32_t frames_ = 0, copied_ = 0;
};

}  // namespace

void IEReadGIFStream(TStream& stream, TIEBitmap* bitmap, int32_t& frameCount, TIOParamsVals& params,
                     TIEProgressRecord& progress, bool paramsOnly, bool noMask) {
  GIFReader reader(stream, bitmap, params, progress, paramsOnly, noMask);
  frameCount = reader.Run();
}

void IEWriteGIFStream(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress) {
  progress.Report(0);
  if (progress.Aborted()) return;
  TIEGIFLZWEncoder encode = params.GIFLZWEncoder ? params.GIFLZWEncoder : IEGetGlobalSettings()->GIFLZWEncoder;
  if (!encode || bitmap.GetWidth() > 65535 || bitmap.GetHeight() > 65535 || bitmap.GetWidth() <= 0 ||
      bitmap.GetHeight() <= 0) {
    progress.Abort();
    return;
  }
  Frame f;
  PrepareFrame(bitmap, params, f);
  const std::vector<uint8_t> indexes = FrameIndexes(f, bitmap);
  progress.Report(30);
  if (progress.Aborted()) return;
  codecbytes::Output out(stream);
  WriteHeader(out, f, params);
  WriteGraphicControl(out, f, params);
  out.U8(kImage);
  out.LE16(static_cast<uint32_t>(std::clamp(params.GIF_XPOS, 0, 65535)));
  out.LE16(static_cast<uint32_t>(std::clamp(params.GIF_YPOS, 0, 65535)));
  out.LE16(static_cast<uint32_t>(f.image->GetWidth()));
  out.LE16(static_cast<uint32_t>(f.image->GetHeight()));
  out.U8(params.GIF_INTERLACED ? 0x40 : 0);
  progress.Report(70);
  if (progress.Aborted() || out.Failed()) {
    progress.Abort();
    return;
  }
  try {
    encode(stream, f.image->GetHeight(), f.image->GetWidth(), params.GIF_INTERLACED, indexes.data(), f.bits);
  } catch (const EStreamError&) {
    progress.Abort();
    return;
  }
  WriteComments(out, params.GIFComments);
  out.U8(kTrailer);
  if (out.Failed()) progress.Abort();
  else progress.Report(100);
}

int32_t IECopyGIFWithoutFrame(TStream& stream, TStream* out, int32_t frameIndex) {
  return GIFCopier(stream, out, frameIndex).Run();
}

int32_t IEDeleteGIFFrame(const std::string& fileName, int32_t frameIndex, bool save) {
  TMemoryStream copy;
  int32_t frames = 0;
  {
    TIEWideFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
    frames = IECopyGIFWithoutFrame(file, &copy, frameIndex);
  }
  if (save && frames > 0) copy.SaveToFile(fileName);
  return frames;
}

void IEGifCodecRead(TIECodecRead& read) {
  IEReadGIFStream(read.Stream, read.Bitmap, read.PageCount, read.Params, read.Progress, read.ParamsOnly,
                  read.ParamsOnly);
}

void IEGifCodecWrite(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress) {
  IEWriteGIFStream(stream, bitmap, params, progress);
}

int32_t IEGetGIFImageCount(TStream& stream) {
  const int64_t start = stream.Position();
  int32_t frames = 0;
  try {
    frames = IECopyGIFWithoutFrame(stream, nullptr, -1);
  } catch (...) {
    frames = 0;
  }
  stream.SetPosition(start);
  return frames;
}
