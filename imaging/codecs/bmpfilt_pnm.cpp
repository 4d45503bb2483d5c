// Portable any-maps (P1 to P6) and wireless bitmaps: format test, readers
// and writers.
//
// Sections: tokens | PNM reader | PNM writer | WBMP
#include <algorithm>
#include <cctype>
#include <climits>
#include <string>
#include <vector>

#include "imaging/codecs/bmpfilt.h"
#include "imaging/codecs/bmpfilt_support.h"
#include "imaging/codecs/codecframes.h"
#include "imaging/core/iesettings.h"
#include "imaging/io/imageryio_params.h"

using namespace bmpfilt;

namespace {

// Data that a header may claim beyond what the stream holds (a last row
// without its line end, say).
constexpr int64_t kSlack = 65536;

// ---- tokens --------------------------------------------------------------------------

bool IsTokenChar(int c) { return std::isalnum(c) != 0; }

// Reads the header and ASCII samples through its own buffer; the stream is
// left just after the last character used.
class TPnmScanner {
public:
  explicit TPnmScanner(TStream& stream) : stream_(stream), origin_(stream.Position()) {}
  ~TPnmScanner() {
    if (!released_) stream_.SetPosition(origin_ + consumed_);
  }
  TPnmScanner(const TPnmScanner&) = delete;
  TPnmScanner& operator=(const TPnmScanner&) = delete;

  // The next character, or -1 at the end of the stream.
  int Get() {
    if (at_ == filled_) {
      at_ = 0;
      filled_ = static_cast<int32_t>(ReadSome(stream_, buffer_, sizeof buffer_));
      if (filled_ <= 0) {
        filled_ = 0;
        return -1;
      }
    }
    ++consumed_;
    return buffer_[at_++];
  }

  // The next token ("#" and the trimmed text for a comment); false at the end.
  bool Token(std::string& token) {
    token.clear();
    int c = Get();
    while (c != -1 && c != '#' && !IsTokenChar(c)) c = Get();
    if (c == -1) return false;
    if (c == '#') {
      for (c = Get(); c != -1 && c != '\n' && c != '\r'; c = Get()) token += static_cast<char>(c);
      const size_t first = token.find_first_not_of(" \t");
      const size_t last = token.find_last_not_of(" \t");
      token = "#" + (first == std::string::npos ? std::string() : token.substr(first, last - first + 1));
      return true;
    }
    while (c != -1 && IsTokenChar(c)) {
      if (token.size() < 64) token += static_cast<char>(c);
      c = Get();
    }
    return true;
  }

  // Hands the rest of the stream back for raw samples.
  TStream& Rest() {
    stream_.SetPosition(origin_ + consumed_);
    at_ = filled_ = 0;
    released_ = true;
    return stream_;
  }

private:
  TStream& stream_;
  int64_t origin_;
  int64_t consumed_ = 0;
  uint8_t buffer_[16384];
  int32_t at_ = 0, filled_ = 0;
  bool released_ = false;
};

// The token as a non-negative number, -1 when it is none or too large.
int64_t Number(const std::string& token) {
  if (token.empty() || token.size() > 18) return -1;
  int64_t v = 0;
  for (char c : token) {
    if (c < '0' || c > '9') return -1;
    v = v * 10 + (c - '0');
  }
  return v;
}

struct TPnmHeader {
  int32_t kind = 0;  // 1..6, 0 when the magic is not a PNM one
  int64_t width = -1, height = -1, maxValue = -1;
};

// Reads the header's tokens; comments go to comments when given.
bool ReadHeader(TPnmScanner& scanner, TPnmHeader& h, std::vector<std::string>* comments, int32_t tokenLimit) {
  std::string token;
  int32_t field = 0;
  for (int32_t read = 0; read < tokenLimit && scanner.Token(token); ++read) {
    if (token[0] == '#') {
      if (comments) comments->push_back(token.substr(1));
      continue;
    }
    if (field == 0) {
      if (token.size() != 2 || token[0] != 'P' || token[1] < '1' || token[1] > '6') return false;
      h.kind = token[1] - '0';
      if (h.kind == 1 || h.kind == 4) h.maxValue = 1;
    } else if (field == 1) {
      h.width = Number(token);
    } else if (field == 2) {
      h.height = Number(token);
    } else {
      h.maxValue = Number(token);
    }
    ++field;
    if (field == 3 && (h.kind == 1 || h.kind == 4)) return true;
    if (field == 4) return true;
  }
  return false;
}

// ---- PNM reader ----------------------------------------------------------------------

struct TPnmRead {
  TPnmScanner& scanner;
  TIEBitmap& bitmap;
  TIEProgressRecord& progress;
  const TPnmHeader& h;
  bool native = false;
};

// A sample brought from 0..max to 0..top (values past max count as max).
inline uint32_t Scale(uint32_t v, uint32_t max, uint32_t top) {
  return static_cast<uint32_t>(uint64_t{std::min(v, max)} * top / max);
}

// P1, P2 and P3: characters or decimal tokens.
bool ReadAscii(TPnmRead& r) {
  const auto width = static_cast<int32_t>(r.h.width), height = static_cast<int32_t>(r.h.height);
  const auto max = static_cast<uint32_t>(r.h.maxValue);
  TRowProgress rows(r.progress, height);
  std::string token;
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = r.bitmap.GetScanline(y);
    for (int32_t x = 0; x < width; ++x) {
      if (r.h.kind == 1) {
        int c = r.scanner.Get();
        while (c != -1 && c != '0' && c != '1') c = r.scanner.Get();
        if (c == -1) return false;
        const uint8_t bit = static_cast<uint8_t>(0x80 >> (x & 7));
        row[x >> 3] = c == '0' ? (row[x >> 3] | bit) : (row[x >> 3] & ~bit);
        continue;
      }
      uint8_t rgb[3];
      for (int s = 0; s < (r.h.kind == 3 ? 3 : 1); ++s) {
        if (!r.scanner.Token(token)) return false;
        rgb[s] = static_cast<uint8_t>(Scale(static_cast<uint32_t>(std::max<int64_t>(Number(token), 0)), max, 255));
      }
      uint8_t* p = row + 3 * x;
      if (r.h.kind == 3)
        p[0] = rgb[2], p[1] = rgb[1], p[2] = rgb[0];
      else
        p[0] = p[1] = p[2] = rgb[0];
    }
    if (!rows.Step(y + 1)) return true;
  }
  return true;
}

// P4, P5 and P6: raw rows.
bool ReadBinary(TPnmRead& r, TIEPixelFormat format) {
  TStream& stream = r.scanner.Rest();
  const auto width = static_cast<int32_t>(r.h.width), height = static_cast<int32_t>(r.h.height);
  const auto max = static_cast<uint32_t>(r.h.maxValue);
  const int32_t channels = r.h.kind == 6 ? 3 : 1;
  const int32_t bytes = r.h.kind == 4 ? 1 : (max > 255 ? 2 : 1);
  const int64_t rowLength = r.h.kind == 4 ? (int64_t{width} + 7) / 8 : int64_t{width} * channels * bytes;
  std::vector<uint8_t> in(static_cast<size_t>(rowLength));
  TRowProgress rows(r.progress, height);
  // The common case, colour samples as they are, is read into the row and turned to blue first there.
  const bool inPlace = bytes == 1 && max == 255 && channels == 3;
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = r.bitmap.GetScanline(y);
    if (!ReadAll(stream, inPlace ? row : in.data(), rowLength)) return false;
    if (r.h.kind == 4) {
      for (int64_t i = 0; i < rowLength; ++i) row[i] = static_cast<uint8_t>(~in[i]);
    } else if (inPlace) {
      for (int32_t x = 0; x < width; ++x, row += 3) std::swap(row[0], row[2]);
    } else if (bytes == 1 && max == 255) {
      for (int32_t x = 0; x < width; ++x, row += 3) row[0] = row[1] = row[2] = in[static_cast<size_t>(x)];
    } else {
      for (int64_t i = 0; i < int64_t{width} * channels; ++i) {
        const uint32_t v = bytes == 2 ? (uint32_t{in[2 * i]} << 8 | in[2 * i + 1]) : in[i];
        if (format == ie16Gray || format == ieRGB48) {
          const auto s = static_cast<uint16_t>(Scale(v, max, 65535));
          std::memcpy(row + 2 * i, &s, 2);
          continue;
        }
        const auto s = static_cast<uint8_t>(Scale(v, max, 255));
        if (channels == 1)
          row[3 * i] = row[3 * i + 1] = row[3 * i + 2] = s;
        else
          row[i - i % 3 + (2 - i % 3)] = s;  // red, green, blue into blue, green, red
      }
    }
    if (!rows.Step(y + 1)) return true;
  }
  return true;
}

TIEPixelFormat FormatOf(const TPnmHeader& h, bool native) {
  if (h.kind == 1 || h.kind == 4) return ie1g;
  if (native && h.maxValue > 255) return h.kind == 6 ? ieRGB48 : (h.kind == 5 ? ie16Gray : ie24RGB);
  return ie24RGB;
}

// The smallest number of stream bytes that the pixels take.
int64_t MinimumData(const TPnmHeader& h) {
  const int64_t samples = h.width * h.height * (h.kind == 3 || h.kind == 6 ? 3 : 1);
  switch (h.kind) {
    case 4: return (h.width + 7) / 8 * h.height;
    case 5:
    case 6: return samples * (h.maxValue > 255 ? 2 : 1);
    default: return samples;  // a character per pixel or sample at least
  }
}

void SetParams(const TPnmHeader& h, TIOParamsVals& params) {
  const bool bilevel = h.kind == 1 || h.kind == 4;
  params.BITSPERSAMPLE = bilevel ? 1 : (h.maxValue > 255 && h.kind >= 5 ? 16 : 8);
  params.SAMPLESPERPIXEL = h.kind == 3 || h.kind == 6 ? 3 : 1;
  params.WIDTH = params.ORIGINALWIDTH = static_cast<int32_t>(h.width);
  params.HEIGHT = params.ORIGINALHEIGHT = static_cast<int32_t>(h.height);
  const auto& settings = *IEGetGlobalSettings();
  params.SetDpiX(settings.DefaultDPIX);
  params.SetDpiY(settings.DefaultDPIY);
  params.FreeColorMap();
}

}  // namespace

bool IEIsPNMStream(TStream& stream) {
  const int64_t position = stream.Position();
  bool result = false;
  {
    TPnmScanner scanner(stream);
    TPnmHeader h;
    result = ReadHeader(scanner, h, nullptr, 501) && h.width > 0 && h.height > 0;
  }
  stream.SetPosition(position);
  return result;
}

namespace {

void ReadPNM(TStream& stream, TIEBitmap* bitmap, TIOParamsVals& params, TIEProgressRecord& progress, bool paramsOnly) {
  params.PXMComments.clear();
  TPnmScanner scanner(stream);
  TPnmHeader h;
  const bool header = ReadHeader(scanner, h, &params.PXMComments, INT32_MAX);
  if (!header || h.width <= 0 || h.height <= 0 || h.width > INT32_MAX || h.height > INT32_MAX ||
      h.maxValue <= 0 || h.maxValue > 65535) {
    progress.Abort();
    return;
  }
  SetParams(h, params);
  if (paramsOnly || !bitmap) return;
  const TIEPixelFormat format = FormatOf(h, params.ISNATIVEPIXELFORMAT);
  const auto width = static_cast<int32_t>(h.width), height = static_cast<int32_t>(h.height);
  const int64_t left = std::max<int64_t>(0, stream.Size() - stream.Position());
  if (h.width * h.height > (left + kSlack) * 8 || MinimumData(h) > left + kSlack ||
      !CanAllocate(width, height, format, INT64_MAX / 2) || !bitmap->Allocate(width, height, format)) {
    progress.Abort();
    return;
  }
  if (format == ie1g) bitmap->Fill(0);
  TPnmRead r{scanner, *bitmap, progress, h, params.ISNATIVEPIXELFORMAT};
  const bool whole = h.kind <= 3 ? ReadAscii(r) : ReadBinary(r, format);
  if (!whole) progress.Abort();
}

}  // namespace

void IEReadPNMStream(TStream& stream, TIEBitmap* bitmap, TIOParamsVals& params, TIEProgressRecord& progress,
                     bool paramsOnly) {
  IEReadInHeldFormat(bitmap, [&](TIEBitmap* target) { ReadPNM(stream, target, params, progress, paramsOnly); });
}

// ---- PNM writer ------------------------------------------------------------------------

namespace {

std::string Header(const char* magic, const TIOParamsVals& params, int32_t width, int32_t height, const char* max) {
  std::string text = std::string(magic) + " ";
  for (const std::string& line : params.PXMComments) text += "\n# " + line + "\n";
  return text + std::to_string(width) + " " + std::to_string(height) + max + "\n";
}

template <class MakeRow>
void PutRows(TSafeWriter& w, int32_t height, int64_t rowBytes, MakeRow makeRow) {
  std::vector<uint8_t> row(static_cast<size_t>(rowBytes));
  TRowProgress rows(w.progress, height);
  for (int32_t y = 0; y < height && !w.failed; ++y) {
    makeRow(y, row.data());
    w.Put(row.data(), rowBytes);
    if (!rows.Step(y + 1)) return;
  }
}

uint32_t Grey(uint32_t r, uint32_t g, uint32_t b) {
  const auto& s = *IEGetGlobalSettings();
  return (r * static_cast<uint32_t>(s.GrayWeightRed) + g * static_cast<uint32_t>(s.GrayWeightGreen) +
          b * static_cast<uint32_t>(s.GrayWeightBlue)) /
         100;
}

}  // namespace

void IEWritePNMStream(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress) {
  TSafeWriter w{stream, progress};
  std::unique_ptr<TIEBitmap> holder;
  const TIEPixelFormat original = bitmap.GetPixelFormat();
  const bool bilevel = original == ie1g || (params.BITSPERSAMPLE == 1 && params.SAMPLESPERPIXEL == 1);
  TIEBitmap& image = bilevel ? InFormat(bitmap, ie1g, holder)
                             : (original == ie24RGB || original == ieRGB48 ? bitmap : InFormat(bitmap, ie24RGB, holder));
  const TIEPixelFormat format = image.GetPixelFormat();
  const int32_t width = image.GetWidth(), height = image.GetHeight();
  if (bilevel) {
    w.Put(Header("P4", params, width, height, ""));
    const int32_t bytes = (width + 7) / 8;
    PutRows(w, height, bytes, [&](int32_t y, uint8_t* out) {
      const uint8_t* in = image.GetScanline(y);
      for (int32_t i = 0; i < bytes; ++i) out[i] = static_cast<uint8_t>(~in[i]);
    });
  } else if (params.BITSPERSAMPLE == 8 && params.SAMPLESPERPIXEL == 1) {
    w.Put(Header("P5", params, width, height, " 255"));
    PutRows(w, height, width, [&](int32_t y, uint8_t* out) {
      const uint8_t* in = image.GetScanline(y);
      for (int32_t x = 0; x < width; ++x) {
        if (format == ieRGB48) {
          uint16_t s[3];
          std::memcpy(s, in + 6 * x, 6);
          out[x] = static_cast<uint8_t>(Grey(s[0], s[1], s[2]) >> 8);
        } else {
          out[x] = static_cast<uint8_t>(Grey(in[3 * x + 2], in[3 * x + 1], in[3 * x]));
        }
      }
    });
  } else if (format == ieRGB48 || (params.BITSPERSAMPLE == 16 && params.SAMPLESPERPIXEL == 3)) {
    w.Put(Header("P6", params, width, height, " 65535"));
    PutRows(w, height, int64_t{width} * 6, [&](int32_t y, uint8_t* out) {
      const uint8_t* in = image.GetScanline(y);
      for (int32_t x = 0; x < width; ++x)
        for (int c = 0; c < 3; ++c) {
          uint16_t v = 0;
          if (format == ieRGB48)
            std::memcpy(&v, in + 6 * x + 2 * c, 2);
          else
            v = static_cast<uint16_t>(in[3 * x + 2 - c] * 257);
          out[6 * x + 2 * c] = static_cast<uint8_t>(v >> 8), out[6 * x + 2 * c + 1] = static_cast<uint8_t>(v);
        }
    });
  } else {
    w.Put(Header("P6", params, width, height, " 255"));
    PutRows(w, height, int64_t{width} * 3, [&](int32_t y, uint8_t* out) {
      const uint8_t* in = image.GetScanline(y);
      for (int32_t x = 0; x < width; ++x)
        out[3 * x] = in[3 * x + 2], out[3 * x + 1] = in[3 * x + 1], out[3 * x + 2] = in[3 * x];
    });
  }
}

// ---- WBMP ----------------------------------------------------------------------------

namespace {

// A multi-byte integer of at most four bytes; -1 when it runs past them or the stream.
int64_t ReadMultiByte(TStream& stream) {
  int64_t value = 0;
  for (int i = 0; i < 4; ++i) {
    uint8_t b;
    if (!ReadAll(stream, &b, 1)) return -1;
    value = (value << 7) | (b & 0x7F);
    if (!(b & 0x80)) return value;
  }
  return -1;
}

std::string MultiByte(uint32_t value) {
  std::string bytes(1, static_cast<char>(value & 0x7F));
  for (value >>= 7; value; value >>= 7) bytes.insert(bytes.begin(), static_cast<char>(0x80 | (value & 0x7F)));
  return bytes;
}

}  // namespace

void IEReadWBMPStream(TStream& stream, TIEBitmap* bitmap, TIOParamsVals& params, TIEProgressRecord& progress,
                      bool paramsOnly) {
  const int64_t type = ReadMultiByte(stream), fixed = ReadMultiByte(stream);
  const int64_t width = ReadMultiByte(stream), height = ReadMultiByte(stream);
  if (type != 0 || fixed != 0 || width <= 0 || height <= 0) {
    progress.Abort();
    return;
  }
  params.BITSPERSAMPLE = params.SAMPLESPERPIXEL = 1;
  params.WIDTH = params.ORIGINALWIDTH = static_cast<int32_t>(width);
  params.HEIGHT = params.ORIGINALHEIGHT = static_cast<int32_t>(height);
  const auto& settings = *IEGetGlobalSettings();
  params.SetDpiX(settings.DefaultDPIX);
  params.SetDpiY(settings.DefaultDPIY);
  params.FreeColorMap();
  if (paramsOnly || !bitmap) return;
  const int64_t rowBytes = (width + 7) / 8;
  if (rowBytes * height > Remaining(stream) + kSlack ||
      !bitmap->Allocate(static_cast<int32_t>(width), static_cast<int32_t>(height), ie1g)) {
    progress.Abort();
    return;
  }
  for (int32_t y = 0; y < height; ++y) {
    if (!ReadAll(stream, bitmap->GetScanline(y), rowBytes)) {
      progress.Abort();
      return;
    }
    progress.Report(static_cast<int32_t>(int64_t{y + 1} * 100 / height));
    if (progress.Aborted()) return;
  }
}

void IEWriteWBMPStream(TStream& stream, TIEBitmap& bitmap, TIEProgressRecord& progress) {
  std::unique_ptr<TIEBitmap> holder;
  TIEBitmap& image = InFormat(bitmap, ie1g, holder);
  TSafeWriter w{stream, progress};
  const int32_t width = image.GetWidth(), height = image.GetHeight();
  w.Put(std::string(2, '\0') + MultiByte(static_cast<uint32_t>(width)) + MultiByte(static_cast<uint32_t>(height)));
  const int64_t rowBytes = (int64_t{width} + 7) / 8;
  for (int32_t y = 0; y < height && !w.failed; ++y) {
    w.Put(image.GetScanline(y), rowBytes);
    progress.Report(static_cast<int32_t>(int64_t{y + 1} * 100 / height));
  }
}
