// The built-in camera-raw reader: LibRaw, in a module of its own, identifies
// and loads the file and runs white balance, bilinear interpolation and the
// conversion to RGB stage by stage; the white level, the tone curve, the border trim, the pixel
// repetition and the unfolding of 45-degree sensors are this reader's own.
#include "imaging/io/ieraw.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "imaging/core/davovevo.h"
#include "imaging/core/iesettings.h"
#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/io/imageryio.h"
#include "imaging/io/rawdecoder/rawdecoder.h"
#include "imaging/processing/imageryproc.h"
#include "imaging/processing/imageryproc_canvas.h"
#include "platform/rtl/ondemand.h"

TOnDemandLibraries& IERawDecoderModule() {
  static TOnDemandLibraries module{VESK_RAW_MODULE};
  return module;
}

namespace {

constexpr int32_t kHistogramSize = TIERawDecoder::kHistogramSize;

// ---- the decoder -------------------------------------------------------------------------------

using TDecoderPointer = std::unique_ptr<TIERawDecoder>;

// A new decoder; null when the module cannot be loaded.
TDecoderPointer NewDecoder() {
  if (!IERawDecoderModule().Available()) return nullptr;
  return TDecoderPointer(VESK_ON_DEMAND(IERawDecoderModule(), VeskCreateRawDecoder)());
}

// The decoder reading a stream of the library.
class TStreamSource final : public TIERawSource {
public:
  explicit TStreamSource(TStream& stream) : stream_(stream), size_(stream.Size()) {}

  int64_t Size() override { return size_; }
  int64_t ReadAt(int64_t position, uint8_t* buffer, int64_t count) override {
    stream_.SetPosition(position);
    return stream_.Read(buffer, static_cast<int32_t>(count));
  }

private:
  TStream& stream_;
  int64_t size_;
};

class TProgressReport final : public TIERawProgress {
public:
  explicit TProgressReport(const TIEProgressRecord& progress) : progress_(progress) {}
  void Report(int32_t percent) override { progress_.Report(percent); }

private:
  const TIEProgressRecord& progress_;
};

// ---- white level and tone table ---------------------------------------------------------------

// The level above which the brightest share of the pixels lies: 1 % of
// them, 0.5 % for Fuji cameras. At least 1.
double WhiteLevel(const uint32_t* histogram, int64_t pixels, bool fuji) {
  const auto threshold = static_cast<int64_t>((fuji ? 0.005 : 0.01) * static_cast<double>(pixels));
  int64_t total = 0;
  int32_t bin = kHistogramSize - 1;
  for (; bin >= 1; --bin)
    if ((total += histogram[bin]) > threshold) break;
  const double white = std::max(bin, 0) * 16.0;
  return white == 0 ? 1 : white;
}

// Factor per magnitude: brightness x 442 / white x (2 magnitude / white) ^
// (gamma - 1), scaled to the output's maximum.
std::vector<double> ToneTable(double white, double brightness, double gamma, bool sixteenBits) {
  std::vector<double> table(65536);
  const double mul = brightness * 442 / white;
  for (int32_t i = 1; i < 65536; ++i) {
    table[i] = mul * std::pow(2.0 * i / white, gamma - 1);
    if (sixteenBits) table[i] = table[i] / 255 * 65535;
  }
  return table;
}

// ---- output -------------------------------------------------------------------------------------

struct TOutputShape {
  int32_t trim, xmag, ymag;
  bool sixteenBits;
};

// Whole-number pixel repetition that makes the pixels square.
void Magnification(double aspect, int32_t& xmag, int32_t& ymag) {
  xmag = ymag = 1;
  if (!(aspect > 0) || !std::isfinite(aspect)) return;
  if (aspect < 1) ymag = std::max(1, static_cast<int32_t>(std::lround(1 / aspect)));
  if (aspect > 1) xmag = std::max(1, static_cast<int32_t>(std::lround(aspect)));
}

template <class T>
void WriteRows(TIERawDecoder& d, const std::vector<double>& table, const TOutputShape& s, TIEBitmap& bitmap) {
  constexpr double kMax = sizeof(T) == 1 ? 255 : 65535;
  const int32_t columns = d.Width() - 2 * s.trim;
  const TIERawPixel* image = d.Image();
  std::vector<T> row(size_t(columns) * s.xmag * 3);
  std::vector<T> swapped(sizeof(T) == 1 ? row.size() : 0);
  int32_t out = 0;
  for (int32_t y = s.trim; y < d.Height() - s.trim; ++y) {
    T* at = row.data();
    for (int32_t x = s.trim; x < d.Width() - s.trim; ++x) {
      const uint16_t* p = image[size_t(y) * d.Width() + x];
      const double factor = table[p[3]];
      T value[3];
      for (int c = 0; c < 3; ++c) value[c] = static_cast<T>(std::min(std::trunc(p[c] * factor), kMax));
      for (int32_t m = 0; m < s.xmag; ++m, at += 3) std::memcpy(at, value, sizeof value);
    }
    const size_t bytes = size_t(columns) * s.xmag * 3 * sizeof(T);
    if constexpr (sizeof(T) == 1) IECopySwapRB(swapped.data(), row.data(), int64_t(columns) * s.xmag);
    const void* source = sizeof(T) == 1 ? static_cast<const void*>(swapped.data()) : row.data();
    for (int32_t m = 0; m < s.ymag; ++m) std::memcpy(bitmap.GetScanline(out++), source, bytes);
  }
}

void WriteBitmap(TIERawDecoder& d, const std::vector<double>& table, const TOutputShape& s, TIEBitmap& bitmap,
                 TIOParamsVals& params) {
  const int32_t width = (d.Width() - 2 * s.trim) * s.xmag, height = (d.Height() - 2 * s.trim) * s.ymag;
  params.BITSPERSAMPLE = s.sixteenBits ? 16 : 8;
  params.SAMPLESPERPIXEL = 3;
  if (!bitmap.Allocate(std::max(width, 1), std::max(height, 1), s.sixteenBits ? ieRGB48 : ie24RGB))
    throw EIEException(std::string(": Out of memory in ") + (s.sixteenBits ? "write_ppm16()" : "write_ppm()"));
  if (width <= 0 || height <= 0) return;
  if (s.sixteenBits)
    WriteRows<uint16_t>(d, table, s, bitmap);
  else
    WriteRows<uint8_t>(d, table, s, bitmap);
}

// ---- unfolding a 45-degree sensor -----------------------------------------------------------------

template <class T>
void Unfold45(TIEBitmap& bitmap) {
  const int32_t w = bitmap.GetWidth(), h = bitmap.GetHeight();
  const T* first = reinterpret_cast<const T*>(bitmap.GetScanline(0));
  auto lit = [&](int32_t x) { return first[3 * x] || first[3 * x + 1] || first[3 * x + 2]; };
  int32_t left = 0;
  while (left < w && !lit(left)) ++left;
  int32_t right = w - 1;
  while (right >= 1 && !lit(right)) --right;
  right = std::max(right, 0);
  const int64_t e = 2 * int64_t(w - left) - 4;
  if (e < 2 || right < 1) return;  // nothing folded to unfold
  const int32_t rows = static_cast<int32_t>(e), columns = right;
  std::vector<T> grid(size_t(rows) * columns * 3);
  auto cell = [&](int32_t r, int32_t c) { return grid.data() + (size_t(r) * columns + c) * 3; };
  for (int32_t y = 0; y < h; ++y) {
    const T* source = reinterpret_cast<const T*>(bitmap.GetScanline(y));
    for (int32_t x = 0; x < w; ++x) {
      const int32_t r = x + y - right + 5, c = (x - y + right - 1) / 2;
      if (r >= 0 && r < rows && c >= 0 && c < columns) std::memcpy(cell(r, c), source + 3 * x, 3 * sizeof(T));
    }
  }
  TIEBitmap unfolded(2 * columns, rows, bitmap.GetPixelFormat());
  std::vector<T> buffer(size_t(2) * columns * 3);
  for (int32_t j = 1; j < rows; ++j) {
    for (int32_t m = 1; m < 2 * columns; ++m) {
      const int32_t k = m / 2;
      T* out = buffer.data() + 3 * m;
      if ((j + m) % 2 == 0) {
        std::memcpy(out, cell(j, k), 3 * sizeof(T));
      } else if (j < rows - 1 && m < 2 * columns - 1) {
        for (int c = 0; c < 3; ++c)
          out[c] = static_cast<T>((cell(j - 1, k)[c] + cell(j + 1, k)[c] + cell(j, k - j % 2)[c] +
                                   cell(j, k + 1 - j % 2)[c]) >> 2);
      }
    }
    std::memcpy(unfolded.GetScanline(j - 1), buffer.data(), buffer.size() * sizeof(T));
  }
  std::memset(unfolded.GetScanline(rows - 1), 0, buffer.size() * sizeof(T));  // no source row for it
  bitmap.Assign(&unfolded);
}

// ---- the read ------------------------------------------------------------------------------------

bool HasThumbnail(const TIOParamsVals& params) { return params.EXIFThumbnail && !params.EXIFThumbnail->IsEmpty(); }

// The embedded preview as the bitmap, when the file has one.
bool ReadPreview(TStream& stream, TIEBitmap* bitmap, TIOParamsVals& params, TIEProgressRecord& progress) {
  if (params.EXIFThumbnail) params.EXIFThumbnail->FreeImage(true);
  params.RAW_GETEXIFTHUMBNAIL = false;
  IEReadRAWStream(stream, bitmap, params, progress, true);
  params.RAW_GETEXIFTHUMBNAIL = true;
  if (bitmap && HasThumbnail(params)) {
    bitmap->Assign(params.EXIFThumbnail.get());
    return true;
  }
  stream.SetPosition(0);
  return false;
}

TIERawSettings SettingsOf(const TIOParamsVals& params) {
  TIERawSettings s;
  s.FourColorRGB = params.RAW_FOURCOLORRGB;
  s.UseAutoWB = params.RAW_USEAUTOWB;
  s.UseCameraWB = params.RAW_USECAMERAWB;
  s.HalfSize = params.RAW_HALFSIZE;
  s.RedScale = static_cast<float>(params.RAW_REDSCALE);
  s.BlueScale = static_cast<float>(params.RAW_BLUESCALE);
  return s;
}

std::string CameraName(const TIERawFacts& f) {
  auto text = [](const char (&field)[64]) { return std::string(field, strnlen(field, sizeof field)); };
  return text(f.Make) + " " + text(f.Model) + " " + text(f.Model2);
}

void SetImageParams(const TIERawFacts& facts, TIOParamsVals& params) {
  const auto* settings = IEGetGlobalSettings();
  params.RAW_CAMERA = CameraName(facts);
  params.SetDpiX(settings->DefaultDPIX);
  params.SetDpiY(settings->DefaultDPIY);
  params.FreeColorMap();
  params.WIDTH = facts.Width - 2;
  params.HEIGHT = facts.Height - 2;
  params.ORIGINALWIDTH = params.WIDTH;
  params.ORIGINALHEIGHT = params.HEIGHT;
}

void Decode(TIERawDecoder& d, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress) {
  TProgressReport report(progress);
  if (!d.Decode(report)) {
    progress.Abort();
    return;
  }
  const TIERawFacts facts = d.Facts();
  params.SetImageCount(1);
  TOutputShape shape{d.Trim(), 1, 1, params.ISNATIVEPIXELFORMAT};
  Magnification(facts.PixelAspect, shape.xmag, shape.ymag);
  const double white = WhiteLevel(d.Histogram(), int64_t(d.Width()) * d.Height(), facts.Fuji);
  const double brightness = params.RAW_AUTOADJUSTCOLORS && HasThumbnail(params) ? 0.5 : params.RAW_BRIGHT;
  const std::vector<double> table =
      ToneTable(white, static_cast<float>(brightness), static_cast<float>(params.RAW_GAMMA), shape.sixteenBits);
  WriteBitmap(d, table, shape, bitmap, params);
  d.FreeImage();
  progress.Report(90);
  if (d.FujiRotated()) IEUnfoldRAW45(bitmap);
}

}  // namespace

// ---- entry points -------------------------------------------------------------------------------

void IEUnfoldRAW45(TIEBitmap& bitmap) {
  if (bitmap.GetWidth() <= 0 || bitmap.GetHeight() <= 0) return;
  if (bitmap.GetPixelFormat() == ieRGB48)
    Unfold45<uint16_t>(bitmap);
  else if (bitmap.GetPixelFormat() == ie24RGB)
    Unfold45<uint8_t>(bitmap);
}

void IEReadRAWStream(TStream& stream, TIEBitmap* bitmap, TIOParamsVals& params, TIEProgressRecord& progress,
                     bool paramsOnly) {
  if (params.RAW_GETEXIFTHUMBNAIL && ReadPreview(stream, bitmap, params, progress)) return;
  IEReadRawFileMetadata(stream, params);
  TStreamSource source(stream);
  TDecoderPointer decoder = NewDecoder();
  if (!decoder || !decoder->Open(source, SettingsOf(params))) {
    progress.Abort();
    return;
  }
  SetImageParams(decoder->Facts(), params);
  if (!paramsOnly && bitmap) Decode(*decoder, *bitmap, params, progress);
  if (!paramsOnly && bitmap && !progress.Aborted() && params.RAW_AUTOADJUSTCOLORS && HasThumbnail(params))
    IEMatchHistogram(params.EXIFThumbnail.get(), bitmap);
  progress.Report(100);
}

bool IEIsRAWStream(TStream& stream) {
  const int64_t position = stream.Position();
  TStreamSource source(stream);
  TDecoderPointer decoder = NewDecoder();
  const bool raw = decoder && decoder->Open(source, TIERawSettings{});
  stream.SetPosition(position);
  return raw;
}

void IERawCodecRead(TIECodecRead& read) {
  IEReadRAWStream(read.Stream, read.Bitmap, read.Params, read.Progress, read.ParamsOnly);
}

bool TImageryIO::LoadFromStreamRAW(TStream& stream) {
  const int32_t id = IEFileFormatFromExtension("RAW");
  if (id != 20) return LoadFromStreamFormat(stream, id);
  return LoadFromStreamCodec(CodecOf(20), stream) > 0;
}
