// The imaging component: pixel formats, palettes, the format converter, the
// bitmap scaler, the factory and its registration. The HD Photo codec
// objects are in wincodec_wmp.cpp.
#include "platform/win/wincodec.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <mutex>

#include "platform/win/wincodec_internal.h"

namespace wic {

namespace {

using wmp::Layout;

const PixelFormat kFormats[] = {
    {&GUID_WICPixelFormat1bppIndexed, 1, 1, Layout::Unknown}, {&GUID_WICPixelFormat8bppIndexed, 8, 1, Layout::Unknown},
    {&GUID_WICPixelFormatBlackWhite, 1, 1, Layout::BlackWhite}, {&GUID_WICPixelFormat8bppGray, 8, 1, Layout::Gray8},
    {&GUID_WICPixelFormat16bppGray, 16, 1, Layout::Gray16},   {&GUID_WICPixelFormat24bppBGR, 24, 3, Layout::BGR24},
    {&GUID_WICPixelFormat24bppRGB, 24, 3, Layout::RGB24},     {&GUID_WICPixelFormat32bppBGR, 32, 3, Layout::BGR32},
    {&GUID_WICPixelFormat32bppBGRA, 32, 4, Layout::BGRA32},   {&GUID_WICPixelFormat32bppRGBA, 32, 4, Layout::RGBA32},
    {&GUID_WICPixelFormat48bppRGB, 48, 3, Layout::RGB48},     {&GUID_WICPixelFormat64bppRGBA, 64, 4, Layout::RGBA64},
    {&GUID_WICPixelFormat32bppCMYK, 32, 4, Layout::CMYK32},
};

}  // namespace

const PixelFormat* FindFormat(const GUID& guid) {
  for (const PixelFormat& format : kFormats)
    if (*format.Guid == guid) return &format;
  return nullptr;
}

const PixelFormat* FindFormat(wmp::Layout layout) {
  for (const PixelFormat& format : kFormats)
    if (layout != Layout::Unknown && format.Layout == layout) return &format;
  return nullptr;
}

uint32_t RowBytes(uint32_t width, uint32_t bits) {
  const uint64_t bytes = (uint64_t{width} * bits + 7) / 8;
  return bytes > UINT32_MAX ? 0 : static_cast<uint32_t>(bytes);
}

namespace {

// Copies `count` bits from bit `first` of `from` to the start of `to`.
void CopyBits(const uint8_t* from, uint64_t first, uint64_t count, uint8_t* to) {
  if (first % 8 == 0) {
    std::memcpy(to, from + first / 8, static_cast<size_t>((count + 7) / 8));
    return;
  }
  std::memset(to, 0, static_cast<size_t>((count + 7) / 8));
  for (uint64_t i = 0; i < count; ++i) {
    const uint64_t bit = first + i;
    if ((from[bit / 8] >> (7 - bit % 8)) & 1) to[i / 8] |= static_cast<uint8_t>(0x80 >> (i % 8));
  }
}

}  // namespace

HRESULT CopyRect(const std::vector<uint8_t>& pixels, uint32_t width, uint32_t height, uint32_t bits,
                 const WICRect* rect, UINT stride, UINT bufferSize, BYTE* buffer) {
  if (!buffer) return E_INVALIDARG;
  const WICRect whole{0, 0, static_cast<int32_t>(width), static_cast<int32_t>(height)};
  const WICRect r = rect ? *rect : whole;
  if (r.X < 0 || r.Y < 0 || r.Width <= 0 || r.Height <= 0 || uint64_t(r.X) + uint32_t(r.Width) > width ||
      uint64_t(r.Y) + uint32_t(r.Height) > height)
    return E_INVALIDARG;
  const uint32_t rowBytes = RowBytes(width, bits);
  const uint64_t wanted = RowBytes(static_cast<uint32_t>(r.Width), bits);
  if (stride < wanted || uint64_t{stride} * (uint32_t(r.Height) - 1) + wanted > bufferSize) return E_INVALIDARG;
  for (int32_t y = 0; y < r.Height; ++y) {
    const uint8_t* row = pixels.data() + size_t{rowBytes} * size_t(r.Y + y);
    CopyBits(row, uint64_t(r.X) * bits, wanted * 8 < uint64_t(r.Width) * bits ? wanted * 8 : uint64_t(r.Width) * bits,
             buffer + size_t{stride} * size_t(y));
  }
  return S_OK;
}

bool ReadAll(IWICBitmapSource* source, uint32_t width, uint32_t height, uint32_t bits, std::vector<uint8_t>& pixels) {
  const uint32_t rowBytes = RowBytes(width, bits);
  const uint64_t bytes = uint64_t{rowBytes} * height;
  if (bytes == 0 || bytes > kMaxPixelBytes) return false;
  pixels.assign(static_cast<size_t>(bytes), 0);
  const WICRect rect{0, 0, static_cast<int32_t>(width), static_cast<int32_t>(height)};
  return SUCCEEDED(source->CopyPixels(&rect, rowBytes, static_cast<UINT>(std::min<uint64_t>(bytes, UINT32_MAX)),
                                      pixels.data()));
}

namespace {

// ---- palettes ------------------------------------------------------------------------------------

class Palette final : public ComObject<IWICPalette, IID_IWICPalette> {
public:
  HRESULT InitializeCustom(const WICColor* colors, UINT count) override {
    if (!colors && count) return E_INVALIDARG;
    if (count > 256) return WINCODEC_ERR_VALUEOUTOFRANGE;
    colors_.assign(colors, colors + count);
    return S_OK;
  }
  HRESULT InitializeFromPalette(IWICPalette* palette) override {
    if (!palette) return E_INVALIDARG;
    UINT count = 0;
    palette->GetColorCount(&count);
    std::vector<WICColor> colors(count);
    UINT got = 0;
    if (HRESULT hr = palette->GetColors(count, colors.data(), &got); FAILED(hr)) return hr;
    colors.resize(got);
    colors_ = std::move(colors);
    return S_OK;
  }
  HRESULT GetColorCount(UINT* count) override {
    if (!count) return E_INVALIDARG;
    *count = static_cast<UINT>(colors_.size());
    return S_OK;
  }
  HRESULT GetColors(UINT count, WICColor* colors, UINT* actual) override {
    if (!actual || (!colors && count)) return E_INVALIDARG;
    *actual = std::min<UINT>(count, static_cast<UINT>(colors_.size()));
    std::copy_n(colors_.begin(), *actual, colors);
    return S_OK;
  }

private:
  std::vector<WICColor> colors_;
};

}  // namespace

std::vector<WICColor> PaletteOf(IWICBitmapSource* source) {
  auto palette = MakeComObject<Palette>();
  std::vector<WICColor> colors;
  if (FAILED(source->CopyPalette(palette.Get()))) return colors;
  UINT count = 0, got = 0;
  palette->GetColorCount(&count);
  colors.resize(count);
  palette->GetColors(count, colors.data(), &got);
  colors.resize(got);
  return colors;
}

namespace {

// ---- pixels as colours ---------------------------------------------------------------------------

struct Colour {
  uint8_t b, g, r, a;
};

uint8_t Ink(uint8_t ink, uint8_t black) { return static_cast<uint8_t>((255 - ink) * (255 - black) / 255); }

// Pixel x of a row of the format, in 8 bits per channel.
Colour ColourAt(const PixelFormat& format, const uint8_t* row, uint32_t x, const std::vector<WICColor>& palette) {
  const auto word = [&](uint32_t i) {
    uint16_t v;
    std::memcpy(&v, row + 2 * i, 2);
    return static_cast<uint8_t>(v >> 8);
  };
  const uint8_t* p = row + size_t{x} * format.Bits / 8;
  if (format.Bits == 1 || *format.Guid == GUID_WICPixelFormat8bppIndexed) {
    const uint32_t index = format.Bits == 1 ? (row[x / 8] >> (7 - x % 8)) & 1 : *p;
    if (*format.Guid == GUID_WICPixelFormatBlackWhite) return index ? Colour{255, 255, 255, 255} : Colour{0, 0, 0, 255};
    const WICColor c = index < palette.size() ? palette[index] : 0xFF000000u;
    return {uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16), uint8_t(c >> 24)};
  }
  switch (format.Layout) {
    case Layout::Gray8: return {p[0], p[0], p[0], 255};
    case Layout::Gray16: return {word(x), word(x), word(x), 255};
    case Layout::BGR24: case Layout::BGR32: return {p[0], p[1], p[2], 255};
    case Layout::BGRA32: return {p[0], p[1], p[2], p[3]};
    case Layout::RGB24: return {p[2], p[1], p[0], 255};
    case Layout::RGBA32: return {p[2], p[1], p[0], p[3]};
    case Layout::RGB48: return {word(3 * x + 2), word(3 * x + 1), word(3 * x), 255};
    case Layout::RGBA64: return {word(4 * x + 2), word(4 * x + 1), word(4 * x), word(4 * x + 3)};
    case Layout::CMYK32: return {Ink(p[2], p[3]), Ink(p[1], p[3]), Ink(p[0], p[3]), 255};
    default: return {0, 0, 0, 255};
  }
}

// Converts a whole bitmap into 24bppBGR or 32bppBGRA.
void ToColours(const PixelFormat& from, const std::vector<WICColor>& palette, const std::vector<uint8_t>& in,
               uint32_t width, uint32_t height, bool withAlpha, std::vector<uint8_t>& out) {
  const uint32_t inRow = RowBytes(width, from.Bits), size = withAlpha ? 4 : 3;
  out.assign(size_t{width} * size * height, 0);
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* row = in.data() + size_t{inRow} * y;
    uint8_t* o = out.data() + size_t{width} * size * y;
    for (uint32_t x = 0; x < width; ++x, o += size) {
      const Colour c = ColourAt(from, row, x, palette);
      o[0] = c.b, o[1] = c.g, o[2] = c.r;
      if (withAlpha) o[3] = c.a;
    }
  }
}

// ---- the format converter ------------------------------------------------------------------------

class FormatConverter final : public ComputedSource<IWICFormatConverter, IID_IWICFormatConverter> {
public:
  HRESULT Initialize(IWICBitmapSource* source, REFWICPixelFormatGUID target, WICBitmapDitherType, IWICPalette*,
                     double, WICBitmapPaletteType) override {
    if (!source) return E_INVALIDARG;
    if (Ready()) return WINCODEC_ERR_WRONGSTATE;
    WICPixelFormatGUID guid{};
    UINT width = 0, height = 0;
    double dpiX = 96, dpiY = 96;
    if (FAILED(source->GetPixelFormat(&guid)) || FAILED(source->GetSize(&width, &height))) return E_FAIL;
    source->GetResolution(&dpiX, &dpiY);
    const PixelFormat* from = FindFormat(guid);
    const PixelFormat* to = FindFormat(target);
    if (!from || !to || !Converts(*from, *to)) return WINCODEC_ERR_UNSUPPORTEDOPERATION;
    source_ = ComPtr<IWICBitmapSource>(source);
    from_ = from;
    if (from->Bits <= 8 && !(*from->Guid == GUID_WICPixelFormatBlackWhite) &&
        !(*from->Guid == GUID_WICPixelFormat8bppGray))
      palette_ = PaletteOf(source);
    Describe(width, height, to, dpiX, dpiY);
    return S_OK;
  }

protected:
  HRESULT Compute(std::vector<uint8_t>& pixels) override {
    std::vector<uint8_t> in;
    if (!ReadAll(source_.Get(), width_, height_, from_->Bits, in)) return E_FAIL;
    if (from_ == format_) {
      pixels = std::move(in);
    } else if (*format_->Guid == GUID_WICPixelFormat8bppIndexed) {
      Unpack(in, pixels);
    } else {
      ToColours(*from_, palette_, in, width_, height_, format_->Layout == Layout::BGRA32, pixels);
    }
    return S_OK;
  }

private:
  // To itself, to 24bppBGR and 32bppBGRA from every format, and 1-bit
  // indexed pixels to 8-bit indexes.
  static bool Converts(const PixelFormat& from, const PixelFormat& to) {
    if (&from == &to || to.Layout == Layout::BGR24 || to.Layout == Layout::BGRA32) return true;
    return *to.Guid == GUID_WICPixelFormat8bppIndexed && *from.Guid == GUID_WICPixelFormat1bppIndexed;
  }
  void Unpack(const std::vector<uint8_t>& in, std::vector<uint8_t>& out) const {
    const uint32_t inRow = RowBytes(width_, 1);
    out.assign(size_t{width_} * height_, 0);
    for (uint32_t y = 0; y < height_; ++y)
      for (uint32_t x = 0; x < width_; ++x)
        out[size_t{width_} * y + x] = (in[size_t{inRow} * y + x / 8] >> (7 - x % 8)) & 1;
  }

  ComPtr<IWICBitmapSource> source_;
  const PixelFormat* from_ = nullptr;
};

// ---- the bitmap scaler ---------------------------------------------------------------------------

// The source pixels that make one output pixel along an axis, with weights.
struct Taps {
  int32_t first = 0;
  std::vector<float> weights;
};

double CubicWeight(double t) {
  t = std::fabs(t);
  if (t < 1) return 1.5 * t * t * t - 2.5 * t * t + 1;
  if (t < 2) return -0.5 * t * t * t + 2.5 * t * t - 4 * t + 2;
  return 0;
}

// Taps over [first, first + count) with weights from `weigh`, clamped into
// the source and normalised.
template <class F>
Taps Spread(int32_t first, int32_t count, int32_t size, F weigh) {
  std::vector<double> raw(static_cast<size_t>(count));
  double sum = 0;
  for (int32_t i = 0; i < count; ++i) sum += raw[size_t(i)] = weigh(first + i);
  // Taps outside the source fold onto its edge pixels.
  const int32_t lo = std::clamp(first, 0, size - 1), hi = std::clamp(first + count - 1, 0, size - 1);
  Taps taps{lo, std::vector<float>(static_cast<size_t>(hi - lo + 1), 0.0f)};
  for (int32_t i = 0; i < count; ++i)
    taps.weights[size_t(std::clamp(first + i, lo, hi) - lo)] += static_cast<float>(sum != 0 ? raw[size_t(i)] / sum : 0);
  return taps;
}

std::vector<Taps> AxisTaps(int32_t from, int32_t to, WICBitmapInterpolationMode mode) {
  std::vector<Taps> axis(static_cast<size_t>(to));
  const double scale = static_cast<double>(from) / to;
  for (int32_t i = 0; i < to; ++i) {
    Taps& t = axis[size_t(i)];
    if (from == to) {
      t = {i, {1.0f}};
    } else if (mode == WICBitmapInterpolationModeNearestNeighbor) {
      t = {std::min(static_cast<int32_t>(i * scale), from - 1), {1.0f}};
    } else if (mode == WICBitmapInterpolationModeFant) {
      const double lo = i * scale, hi = (i + 1) * scale;
      const int32_t first = static_cast<int32_t>(std::floor(lo));
      const int32_t count = std::max(1, static_cast<int32_t>(std::ceil(hi)) - first);
      t = Spread(first, count, from, [&](int32_t s) { return std::max(0.0, std::min<double>(hi, s + 1) - std::max<double>(lo, s)); });
    } else {
      const double centre = (i + 0.5) * scale - 0.5;
      const int32_t base = static_cast<int32_t>(std::floor(centre));
      if (mode == WICBitmapInterpolationModeLinear)
        t = Spread(base, 2, from, [&](int32_t s) { return std::max(0.0, 1 - std::fabs(centre - s)); });
      else
        t = Spread(base - 1, 4, from, [&](int32_t s) { return CubicWeight(centre - s); });
    }
  }
  return axis;
}

bool IsWide(const PixelFormat& format) {
  return format.Layout == Layout::Gray16 || format.Layout == Layout::RGB48 || format.Layout == Layout::RGBA64;
}

// Scales samples of type T (channels per pixel) by the two axes' taps.
template <class T>
void ScaleSamples(const uint8_t* in, uint32_t inW, uint32_t inH, uint32_t channels, const std::vector<Taps>& xs,
                  const std::vector<Taps>& ys, uint8_t* out) {
  const uint32_t outW = static_cast<uint32_t>(xs.size());
  const auto* src = reinterpret_cast<const T*>(in);
  std::vector<float> across(size_t{outW} * channels * inH);
  for (uint32_t y = 0; y < inH; ++y)
    for (uint32_t x = 0; x < outW; ++x)
      for (uint32_t c = 0; c < channels; ++c) {
        float v = 0;
        const Taps& t = xs[x];
        for (size_t k = 0; k < t.weights.size(); ++k)
          v += t.weights[k] * src[(size_t{y} * inW + size_t(t.first) + k) * channels + c];
        across[(size_t{y} * outW + x) * channels + c] = v;
      }
  auto* dst = reinterpret_cast<T*>(out);
  constexpr float top = static_cast<float>(std::numeric_limits<T>::max());
  for (size_t y = 0; y < ys.size(); ++y)
    for (uint32_t x = 0; x < outW; ++x)
      for (uint32_t c = 0; c < channels; ++c) {
        float v = 0;
        const Taps& t = ys[y];
        for (size_t k = 0; k < t.weights.size(); ++k)
          v += t.weights[k] * across[((size_t(t.first) + k) * outW + x) * channels + c];
        dst[(y * outW + x) * channels + c] = static_cast<T>(std::clamp(std::round(v), 0.0f, top));
      }
}

class BitmapScaler final : public ComputedSource<IWICBitmapScaler, IID_IWICBitmapScaler> {
public:
  HRESULT Initialize(IWICBitmapSource* source, UINT width, UINT height, WICBitmapInterpolationMode mode) override {
    if (!source || width == 0 || height == 0 || width > INT32_MAX || height > INT32_MAX) return E_INVALIDARG;
    if (Ready()) return WINCODEC_ERR_WRONGSTATE;
    WICPixelFormatGUID guid{};
    double dpiX = 96, dpiY = 96;
    if (FAILED(source->GetPixelFormat(&guid)) || FAILED(source->GetSize(&inW_, &inH_))) return E_FAIL;
    source->GetResolution(&dpiX, &dpiY);
    from_ = FindFormat(guid);
    if (!from_) return WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT;
    if (inW_ > INT32_MAX || inH_ > INT32_MAX) return E_INVALIDARG;
    // Bits, indexes and RGB order are scaled as 24-bit BGR colours.
    const bool direct = from_->Bits >= 8 && from_->Layout != Layout::Unknown && from_->Layout != Layout::RGB24;
    source_ = ComPtr<IWICBitmapSource>(source);
    mode_ = mode;
    Describe(width, height, direct ? from_ : FindFormat(Layout::BGR24), dpiX, dpiY);
    return S_OK;
  }

protected:
  HRESULT Compute(std::vector<uint8_t>& pixels) override {
    std::vector<uint8_t> in;
    if (!ReadAll(source_.Get(), inW_, inH_, from_->Bits, in)) return E_FAIL;
    if (format_ != from_) {
      std::vector<uint8_t> colours;
      ToColours(*from_, PaletteOf(source_.Get()), in, inW_, inH_, false, colours);
      in = std::move(colours);
    }
    const uint32_t channels = IsWide(*format_) ? format_->Bits / 16 : format_->Bits / 8;
    const auto xs = AxisTaps(static_cast<int32_t>(inW_), static_cast<int32_t>(width_), mode_);
    const auto ys = AxisTaps(static_cast<int32_t>(inH_), static_cast<int32_t>(height_), mode_);
    pixels.assign(size_t{RowBytes(width_, format_->Bits)} * height_, 0);
    if (IsWide(*format_))
      ScaleSamples<uint16_t>(in.data(), inW_, inH_, channels, xs, ys, pixels.data());
    else
      ScaleSamples<uint8_t>(in.data(), inW_, inH_, channels, xs, ys, pixels.data());
    return S_OK;
  }

private:
  ComPtr<IWICBitmapSource> source_;
  const PixelFormat* from_ = nullptr;
  UINT inW_ = 0, inH_ = 0;
  WICBitmapInterpolationMode mode_ = WICBitmapInterpolationModeNearestNeighbor;
};

// ---- pixel-format information --------------------------------------------------------------------

class PixelFormatInfo final : public ComObject<IWICPixelFormatInfo, IID_IWICPixelFormatInfo> {
public:
  explicit PixelFormatInfo(const PixelFormat& format) : format_(format) {}
  HRESULT GetBitsPerPixel(UINT* bits) override {
    if (!bits) return E_INVALIDARG;
    *bits = format_.Bits;
    return S_OK;
  }
  HRESULT GetChannelCount(UINT* channels) override {
    if (!channels) return E_INVALIDARG;
    *channels = format_.Channels;
    return S_OK;
  }

private:
  const PixelFormat& format_;
};

// ---- the factory -------------------------------------------------------------------------------

template <class I, class T>
HRESULT HandOut(ComPtr<T> object, I** out) {
  if (!out) return E_INVALIDARG;
  *out = object.Detach();
  return S_OK;
}

class ImagingFactory final : public ComObject<IWICImagingFactory, IID_IWICImagingFactory> {
public:
  HRESULT CreateDecoderFromStream(IStream* stream, const GUID*, WICDecodeOptions,
                                  IWICBitmapDecoder** decoder) override {
    if (!stream || !decoder) return E_INVALIDARG;
    *decoder = nullptr;
    return CreateWmpDecoder(stream, decoder);
  }
  HRESULT CreateEncoder(const GUID& container, const GUID*, IWICBitmapEncoder** encoder) override {
    if (!encoder) return E_INVALIDARG;
    *encoder = nullptr;
    if (!(container == GUID_ContainerFormatWmp)) return WINCODEC_ERR_COMPONENTNOTFOUND;
    return CreateWmpEncoder(encoder);
  }
  HRESULT CreatePalette(IWICPalette** palette) override { return HandOut(MakeComObject<Palette>(), palette); }
  HRESULT CreateFormatConverter(IWICFormatConverter** converter) override {
    return HandOut(MakeComObject<FormatConverter>(), converter);
  }
  HRESULT CreateBitmapScaler(IWICBitmapScaler** scaler) override {
    return HandOut(MakeComObject<BitmapScaler>(), scaler);
  }
  HRESULT CreateComponentInfo(REFCLSID component, IWICPixelFormatInfo** info) override {
    if (!info) return E_INVALIDARG;
    *info = nullptr;
    const PixelFormat* format = FindFormat(component);
    if (!format) return WINCODEC_ERR_COMPONENTNOTFOUND;
    return HandOut(MakeComObject<PixelFormatInfo>(*format), info);
  }
};

class FactoryOfFactories final : public ComObject<IClassFactory, IID_IClassFactory> {
public:
  HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    auto factory = MakeComObject<ImagingFactory>();
    return factory->QueryInterface(riid, object);
  }
  HRESULT LockServer(BOOL) override { return S_OK; }
};

}  // namespace

}  // namespace wic

void WICRegisterImagingComponent() {
  static std::once_flag once;
  std::call_once(once, [] {
    auto factory = MakeComObject<wic::FactoryOfFactories>();
    DWORD cookie = 0;
    CoRegisterClassObject(CLSID_WICImagingFactory, factory.Get(), CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie);
  });
}
