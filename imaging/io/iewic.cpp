// The library's side of the platform's imaging component: reader, writer,
// bitmap wrapper and scaler.
#include "imaging/io/iewic.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <vector>

#include "imaging/codecs/exifblock.h"
#include "imaging/codecs/tiffilt_meta.h"
#include "imaging/core/iesettings.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/io/imageryio_codecs.h"
#include "imaging/io/imageryio_params.h"
#include "imaging/io/imageryio_registry.h"
#include "platform/rtl/files.h"
#include "platform/rtl/streams.h"
#include "platform/win/ole.h"
#include "platform/win/streamadapter.h"

namespace {

constexpr int32_t kHDPhoto = 29;

// ---- formats -------------------------------------------------------------------------------------

struct FormatRow {
  const GUID* wic;
  TIEPixelFormat reading;  // ieNoFormat: none
  TIEPixelFormat writing;  // ieNoFormat: none (the wrapper alone serves ie8p)
};

const FormatRow kFormatRows[] = {
    {&GUID_WICPixelFormat1bppIndexed, ie1g, ieNoFormat},    {&GUID_WICPixelFormat8bppIndexed, ie8p, ieNoFormat},
    {&GUID_WICPixelFormatBlackWhite, ie1g, ie1g},           {&GUID_WICPixelFormat8bppGray, ie8g, ie8g},
    {&GUID_WICPixelFormat16bppGray, ie16Gray, ie16Gray},    {&GUID_WICPixelFormat24bppBGR, ie24RGB, ie24RGB},
    {&GUID_WICPixelFormat32bppBGRA, ie24RGB, ieNoFormat},   {&GUID_WICPixelFormat48bppRGB, ieRGB48, ieRGB48},
    {&GUID_WICPixelFormat32bppCMYK, ieCMYK, ieCMYK},
};

const FormatRow* RowOf(const GUID& wic) {
  for (const FormatRow& row : kFormatRows)
    if (*row.wic == wic) return &row;
  return nullptr;
}

const GUID* WritingFormatOf(TIEPixelFormat format) {
  for (const FormatRow& row : kFormatRows)
    if (row.writing == format) return row.wic;
  return nullptr;
}

// The wrapper's format: the writing column, ie8p, and ie24RGB with alpha as 32bppBGRA.
const GUID* WrapperFormatOf(TIEPixelFormat format, bool withAlpha) {
  if (format == ie8p) return &GUID_WICPixelFormat8bppIndexed;
  if (format == ie24RGB && withAlpha) return &GUID_WICPixelFormat32bppBGRA;
  return WritingFormatOf(format);
}

void Complement(uint8_t* bytes, size_t count) {
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(255 - bytes[i]);
}

struct ClassIds {
  int32_t id;
  const GUID* decoder;
  const GUID* container;
};

const ClassIds kClassIds[] = {
    {5, &CLSID_WICBmpDecoder, &GUID_ContainerFormatBmp},   {8, &CLSID_WICPngDecoder, &GUID_ContainerFormatPng},
    {6, &CLSID_WICIcoDecoder, nullptr},                    {3, &CLSID_WICJpegDecoder, &GUID_ContainerFormatJpeg},
    {2, &CLSID_WICGifDecoder, &GUID_ContainerFormatGif},   {1, &CLSID_WICTiffDecoder, &GUID_ContainerFormatTiff},
    {kHDPhoto, &CLSID_WICWmpDecoder, &GUID_ContainerFormatWmp},
};

const ClassIds* ClassIdsOf(int32_t id) {
  for (const ClassIds& row : kClassIds)
    if (row.id == id) return &row;
  return nullptr;
}

ComPtr<IWICImagingFactory> CreateFactory() {
  ComPtr<IWICImagingFactory> factory;
  CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                   reinterpret_cast<void**>(factory.GetAddressOf()));
  return factory;
}

// Bits per pixel and channels of a pixel format; 0 when unknown.
void FormatShape(IWICImagingFactory* factory, const GUID& format, UINT& bits, UINT& channels) {
  bits = channels = 0;
  ComPtr<IWICPixelFormatInfo> info;
  if (FAILED(factory->CreateComponentInfo(format, info.GetAddressOf()))) return;
  info->GetBitsPerPixel(&bits);
  info->GetChannelCount(&channels);
}

}  // namespace

bool IEWICAvailable() {
  static const bool available = [] {
    const HRESULT ole = OleInitialize(nullptr);
    const bool created = static_cast<bool>(CreateFactory());
    if (SUCCEEDED(ole)) OleUninitialize();
    return created;
  }();
  return available;
}

// ---- base ---------------------------------------------------------------------------------------

TIEWICBaseFunctionality::TIEWICBaseFunctionality() {
  oleInitialized_ = SUCCEEDED(OleInitialize(nullptr));
  factory_ = CreateFactory();
}

TIEWICBaseFunctionality::~TIEWICBaseFunctionality() {
  factory_.Reset();
  if (oleInitialized_) OleUninitialize();
}

// ---- copying a source into a bitmap ------------------------------------------------------------

namespace {

// Calls the progress event when the percent changes.
class PercentReporter {
public:
  PercentReporter(const TIEWICProgress& event, TObject* sender, uint32_t rows)
      : event_(event), sender_(sender), rows_(rows) {}
  void Row(uint32_t row) {
    if (!event_) return;
    const int32_t percent = static_cast<int32_t>(uint64_t{row} * 100 / std::max<uint32_t>(rows_, 1));
    if (percent == last_) return;
    last_ = percent;
    event_(sender_, percent);
  }

private:
  const TIEWICProgress& event_;
  TObject* sender_;
  uint32_t rows_;
  int32_t last_ = -1;
};

// Rows of a source into the bitmap (already allocated in the matching
// format); 32bppBGRA rows are split into colours and alpha.
bool CopyRows(IWICBitmapSource* source, const GUID& format, TIEBitmap& bitmap, TIEBitmap* alpha,
              PercentReporter* reporter) {
  const int32_t width = bitmap.GetWidth(), height = bitmap.GetHeight();
  const bool split = format == GUID_WICPixelFormat32bppBGRA;
  const UINT rowLength = static_cast<UINT>(bitmap.GetRowLength());
  std::vector<uint8_t> wide(split ? size_t(width) * 4 : 0);
  for (int32_t y = 0; y < height; ++y) {
    const WICRect line{0, y, width, 1};
    uint8_t* row = bitmap.GetScanline(y);
    if (split) {
      if (FAILED(source->CopyPixels(&line, width * 4, width * 4, wide.data()))) return false;
      uint8_t* a = alpha ? alpha->GetScanline(y) : nullptr;
      for (int32_t x = 0; x < width; ++x) {
        std::memcpy(row + 3 * x, &wide[4 * size_t(x)], 3);
        if (a) a[x] = wide[4 * size_t(x) + 3];
      }
    } else if (FAILED(source->CopyPixels(&line, rowLength, rowLength, row))) {
      return false;
    }
    if (bitmap.GetPixelFormat() == ieCMYK) Complement(row, size_t(width) * 4);
    if (reporter) reporter->Row(static_cast<uint32_t>(y));
  }
  if (split && alpha) alpha->SetFullFlag(false);
  return true;
}

// The source's palette into an ie8p bitmap.
void CopyPaletteInto(IWICImagingFactory* factory, IWICBitmapSource* source, TIEBitmap& bitmap) {
  ComPtr<IWICPalette> palette;
  if (!factory || FAILED(factory->CreatePalette(palette.GetAddressOf())) ||
      FAILED(source->CopyPalette(palette.Get())))
    return;
  UINT count = 0, got = 0;
  palette->GetColorCount(&count);
  std::vector<WICColor> colours(std::min<UINT>(count, 256));
  palette->GetColors(static_cast<UINT>(colours.size()), colours.data(), &got);
  bitmap.SetPaletteUsed(static_cast<int32_t>(got));
  for (UINT i = 0; i < got; ++i)
    bitmap.SetPaletteColor(static_cast<int32_t>(i), TRGB{static_cast<uint8_t>(colours[i]),
                                                         static_cast<uint8_t>(colours[i] >> 8),
                                                         static_cast<uint8_t>(colours[i] >> 16)});
}

// Allocates the bitmap for the source's format and copies the pixels.
bool SourceIntoBitmap(IWICImagingFactory* factory, IWICBitmapSource* source, TIEBitmap& bitmap, bool takeAlpha,
                      TIEBitmap* alpha, PercentReporter* reporter) {
  WICPixelFormatGUID format{};
  UINT width = 0, height = 0;
  if (FAILED(source->GetPixelFormat(&format)) || FAILED(source->GetSize(&width, &height))) return false;
  const FormatRow* row = RowOf(format);
  if (!row || width > INT32_MAX || height > INT32_MAX) return false;
  const bool ownAlpha = alpha && alpha == bitmap.PeekAlphaChannel();
  if (!bitmap.Allocate(static_cast<int32_t>(width), static_cast<int32_t>(height), row->reading)) return false;
  const bool split = format == GUID_WICPixelFormat32bppBGRA;
  if (split && takeAlpha && (!alpha || ownAlpha)) alpha = bitmap.GetAlphaChannel();
  if (!split && bitmap.HasAlphaChannel() && takeAlpha) bitmap.RemoveAlphaChannel();
  if (row->reading == ie8p) CopyPaletteInto(factory, source, bitmap);
  return CopyRows(source, format, bitmap, split ? alpha : nullptr, reporter);
}

}  // namespace

bool IEWICCopySourceToBitmap(IWICBitmapSource* source, TIEBitmap& bitmap, TIEBitmap* alpha,
                             const TIEWICProgress& progress, TObject* sender) {
  if (!source) return false;
  UINT width = 0, height = 0;
  source->GetSize(&width, &height);
  PercentReporter reporter(progress, sender, height);
  return SourceIntoBitmap(CreateFactory().Get(), source, bitmap, false, alpha, &reporter);
}

// ---- reader -------------------------------------------------------------------------------------

TIEWICReader::TIEWICReader() {
  ResolutionX = IEGetGlobalSettings()->DefaultDPIX;
  ResolutionY = IEGetGlobalSettings()->DefaultDPIY;
}

bool TIEWICReader::Open(TStream& stream, int32_t formatId) {
  const ClassIds* ids = ClassIdsOf(formatId);
  if (!IsReady() || !ids) return false;
  stream_ = &stream;
  start_ = stream.Position();
  ComPtr<IStream> adapter = TStreamAdapter::Make(&stream);
  return SUCCEEDED(Factory()->CreateDecoderFromStream(adapter.Get(), ids->decoder, WICDecodeMetadataCacheOnLoad,
                                                      decoder_.GetAddressOf()));
}

int32_t TIEWICReader::GetFrameCount() {
  UINT count = 0;
  if (!IsReady() || !decoder_ || FAILED(decoder_->GetFrameCount(&count))) return 0;
  return static_cast<int32_t>(std::min<UINT>(count, INT32_MAX));
}

int32_t TIEWICReader::GetFrameWidth() {
  UINT width = 0, height = 0;
  if (frame_) frame_->GetSize(&width, &height);
  return static_cast<int32_t>(width);
}

int32_t TIEWICReader::GetFrameHeight() {
  UINT width = 0, height = 0;
  if (frame_) frame_->GetSize(&width, &height);
  return static_cast<int32_t>(height);
}

namespace {

// The format a frame is converted to before it reaches the bitmap.
const GUID& ConversionTarget(const GUID& format, bool keepNative) {
  if (keepNative) {
    if (format == GUID_WICPixelFormat1bppIndexed) return GUID_WICPixelFormat8bppIndexed;
    if (format == GUID_WICPixelFormat8bppIndexed) return GUID_WICPixelFormat24bppBGR;
    return RowOf(format) ? format : GUID_WICPixelFormat24bppBGR;
  }
  return format == GUID_WICPixelFormatBlackWhite ? GUID_WICPixelFormatBlackWhite : GUID_WICPixelFormat24bppBGR;
}

}  // namespace

namespace {

// The container's tags (EXIF among them) through the TIFF tag reader. That
// reader knows the TIFF magic number only, so it reads a copy of the file
// that carries it. The stream's position stays.
void ReadContainerTags(TStream& stream, int64_t start, TIOParamsVals& params) {
  const int64_t position = stream.Position();
  TMemoryStream copy;
  stream.SetPosition(start);
  if (stream.Size() - start >= 8) {
    copy.CopyFrom(stream, stream.Size() - start);
    static_cast<uint8_t*>(copy.Memory())[2] = 42;
    static_cast<uint8_t*>(copy.Memory())[3] = 0;
    copy.SetPosition(0);
    IEReadTIFFParams(copy, params);
  }
  stream.SetPosition(position);
}

}  // namespace

void TIEWICReader::ReadFrame(int32_t index, TIEBitmap& bitmap, TIEProgressRecord& progress, TIOParamsVals* params) {
  if (!IsReady() || !decoder_ || index < 0 || FAILED(decoder_->GetFrame(static_cast<UINT>(index), frame_.GetAddressOf())))
    return progress.Abort();
  frame_->GetResolution(&ResolutionX, &ResolutionY);
  frame_->GetMetadataQueryReader(metadata_.GetAddressOf());
  const bool keepNative = !params || params->ISNATIVEPIXELFORMAT;
  ComPtr<IWICBitmapSource> source(frame_.Get());
  ComPtr<IWICBitmapSource> thumbnail;
  if (params && params->GETTHUMBNAIL && SUCCEEDED(frame_->GetThumbnail(thumbnail.GetAddressOf()))) source = thumbnail;
  WICPixelFormatGUID format{};
  source->GetPixelFormat(&format);
  ComPtr<IWICFormatConverter> converter;
  if (FAILED(Factory()->CreateFormatConverter(converter.GetAddressOf())) ||
      FAILED(converter->Initialize(source.Get(), ConversionTarget(format, keepNative), WICBitmapDitherTypeNone, nullptr,
                                   0, WICBitmapPaletteTypeCustom)) ||
      !SourceIntoBitmap(Factory(), converter.Get(), bitmap, true, nullptr, nullptr))
    return progress.Abort();
  if (!params) return;
  ReadContainerTags(*stream_, start_, *params);
  UINT bits = 0, channels = 0;
  FormatShape(Factory(), format, bits, channels);
  params->BITSPERSAMPLE = channels ? static_cast<int32_t>(bits / channels) : 8;
  params->SAMPLESPERPIXEL = static_cast<int32_t>(channels);
  params->ORIGINALWIDTH = GetFrameWidth();
  params->ORIGINALHEIGHT = GetFrameHeight();
  params->WIDTH = bitmap.GetWidth();
  params->HEIGHT = bitmap.GetHeight();
  params->SetDpiX(static_cast<int32_t>(ResolutionX));
  params->SetDpiY(static_cast<int32_t>(ResolutionY));
}

// ---- writer -------------------------------------------------------------------------------------

TIEWICWriter::TIEWICWriter()
    : ResolutionX(IEGetGlobalSettings()->DefaultDPIX), ResolutionY(IEGetGlobalSettings()->DefaultDPIY) {}

TIEWICWriter::~TIEWICWriter() { Close(); }

bool TIEWICWriter::Open(TStream& stream, int32_t formatId) {
  const ClassIds* ids = ClassIdsOf(formatId);
  if (!IsReady() || !ids || !ids->container) return false;
  if (FAILED(Factory()->CreateEncoder(*ids->container, &GUID_VendorMicrosoft, encoder_.GetAddressOf()))) return false;
  ComPtr<IStream> adapter = TStreamAdapter::Make(&stream);
  if (SUCCEEDED(encoder_->Initialize(adapter.Get(), WICBitmapEncoderNoCache))) return true;
  encoder_.Reset();
  return false;
}

bool TIEWICWriter::Close() {
  if (!encoder_) return false;
  const bool committed = SUCCEEDED(encoder_->Commit());
  encoder_.Reset();
  return committed;
}

namespace {

// One option into the bag; the encoder's refusal is not an error.
void IEWICWriteProperty(IPropertyBag2* bag, const wchar_t* name, VARTYPE type, double value) {
  PROPBAG2 property;
  property.dwType = PROPBAG2_TYPE_DATA;
  property.vt = type;
  property.pstrName = name;
  VARIANT variant;
  variant.vt = type;
  switch (type) {
    case VT_R4: variant.fltVal = static_cast<float>(value); break;
    case VT_BOOL: variant.boolVal = value != 0 ? VARIANT_TRUE : VARIANT_FALSE; break;
    case VT_UI1: variant.bVal = static_cast<uint8_t>(value); break;
    default: variant.uiVal = static_cast<uint16_t>(value); break;
  }
  bag->Write(1, &property, &variant);
}

// TIFF compression numbers 0..6 go through as they are.
constexpr uint8_t kTiffCompression[] = {0, 1, 2, 3, 4, 5, 6};

}  // namespace

bool TIEWICWriter::WriteFrame(TIEBitmap& bitmap, TIOParamsVals* params) {
  if (!encoder_) return false;
  ComPtr<IWICBitmapFrameEncode> frame;
  ComPtr<IPropertyBag2> bag;
  if (FAILED(encoder_->CreateNewFrame(frame.GetAddressOf(), bag.GetAddressOf())) || !frame || !bag) return false;
  if (params) {
    ResolutionX = params->DPIX;
    ResolutionY = params->DPIY;
    ImageQuality = params->HDP_IMAGEQUALITY;
    Lossless = params->HDP_LOSSLESS;
  }
  if (ImageQuality >= 0) IEWICWriteProperty(bag.Get(), L"ImageQuality", VT_R4, ImageQuality);
  if (CompressionQuality >= 0) IEWICWriteProperty(bag.Get(), L"CompressionQuality", VT_R4, CompressionQuality);
  IEWICWriteProperty(bag.Get(), L"Lossless", VT_BOOL, Lossless);
  if (UseCodecOptions) {
    IEWICWriteProperty(bag.Get(), L"UseCodecOptions", VT_BOOL, true);
    IEWICWriteProperty(bag.Get(), L"Quality", VT_UI1, Quality);
    IEWICWriteProperty(bag.Get(), L"Overlap", VT_UI1, Overlap);
    IEWICWriteProperty(bag.Get(), L"Subsampling", VT_UI1, Subsampling);
  }
  IEWICWriteProperty(bag.Get(), L"HorizontalTileSlices", VT_UI2, HorizontalTileSlices);
  IEWICWriteProperty(bag.Get(), L"VerticalTileSlices", VT_UI2, VerticalTileSlices);
  IEWICWriteProperty(bag.Get(), L"FrequencyOrder", VT_BOOL, FrequencyOrder);
  IEWICWriteProperty(bag.Get(), L"TiffCompressionMethod", VT_UI1,
                     TiffCompressionMethod < std::size(kTiffCompression) ? kTiffCompression[TiffCompressionMethod]
                                                                         : TiffCompressionMethod);
  // Formats outside the writing column go out as 24-bit colour.
  TIEBitmap copy;
  TIEBitmap* image = &bitmap;
  if (!WritingFormatOf(bitmap.GetPixelFormat())) {
    copy.Assign(&bitmap);
    copy.ConvertToPixelFormat(ie24RGB);
    image = &copy;
  }
  WICPixelFormatGUID format = *WritingFormatOf(image->GetPixelFormat());
  const int32_t width = image->GetWidth(), height = image->GetHeight();
  if (width < 1 || height < 1 || FAILED(frame->Initialize(bag.Get())) ||
      FAILED(frame->SetSize(static_cast<UINT>(width), static_cast<UINT>(height))))
    return false;
  frame->SetResolution(ResolutionX > 0 ? ResolutionX : 96, ResolutionY > 0 ? ResolutionY : 96);
  if (FAILED(frame->SetPixelFormat(&format)) || !(format == *WritingFormatOf(image->GetPixelFormat()))) return false;
  const UINT rowLength = static_cast<UINT>(image->GetRowLength());
  std::vector<uint8_t> row(rowLength);
  for (int32_t y = 0; y < height; ++y) {
    std::memcpy(row.data(), image->GetScanline(y), rowLength);
    if (image->GetPixelFormat() == ieCMYK) Complement(row.data(), size_t(width) * 4);
    if (FAILED(frame->WritePixels(1, rowLength, rowLength, row.data()))) return false;
  }
  return SUCCEEDED(frame->Commit());
}

// ---- wrapper -------------------------------------------------------------------------------------

HRESULT TIEWICBitmapWrapper::GetSize(UINT* width, UINT* height) {
  if (!width || !height) return E_INVALIDARG;
  *width = static_cast<UINT>(bitmap_.GetWidth());
  *height = static_cast<UINT>(bitmap_.GetHeight());
  return S_OK;
}

HRESULT TIEWICBitmapWrapper::GetPixelFormat(WICPixelFormatGUID* format) {
  if (!format) return E_INVALIDARG;
  const GUID* guid = WrapperFormatOf(bitmap_.GetPixelFormat(), alpha_ != nullptr);
  if (!guid) return E_NOTIMPL;
  *format = *guid;
  return S_OK;
}

HRESULT TIEWICBitmapWrapper::GetResolution(double* dpiX, double* dpiY) {
  if (!dpiX || !dpiY) return E_INVALIDARG;
  *dpiX = IEGetGlobalSettings()->DefaultDPIX;
  *dpiY = IEGetGlobalSettings()->DefaultDPIY;
  return S_OK;
}

HRESULT TIEWICBitmapWrapper::CopyPalette(IWICPalette* palette) {
  if (!palette) return E_INVALIDARG;
  if (bitmap_.GetPixelFormat() != ie8p) return WINCODEC_ERR_PALETTEUNAVAILABLE;
  std::vector<WICColor> colours(static_cast<size_t>(std::clamp(bitmap_.GetPaletteLength(), 0, 256)));
  for (size_t i = 0; i < colours.size(); ++i) {
    TRGB c;
    bitmap_.GetPaletteColor(static_cast<int32_t>(i), c);
    colours[i] = uint32_t{c.b} | uint32_t{c.g} << 8 | uint32_t{c.r} << 16;
  }
  return palette->InitializeCustom(colours.data(), static_cast<UINT>(colours.size()));
}

HRESULT TIEWICBitmapWrapper::CopyPixels(const WICRect* rect, UINT stride, UINT bufferSize, BYTE* buffer) {
  WICPixelFormatGUID format{};
  if (FAILED(GetPixelFormat(&format))) return E_NOTIMPL;
  const WICRect whole{0, 0, bitmap_.GetWidth(), bitmap_.GetHeight()};
  const WICRect r = rect ? *rect : whole;
  const int64_t bits = format == GUID_WICPixelFormat32bppBGRA ? 32 : bitmap_.GetBitCount();
  if (!buffer || r.X < 0 || r.Y < 0 || r.Width < 0 || r.Height < 0 || r.X + int64_t{r.Width} > whole.Width ||
      r.Y + int64_t{r.Height} > whole.Height)
    return E_INVALIDARG;
  const int64_t rowBytes = (r.Width * bits + 7) / 8;
  if (r.Height > 0 && (stride < rowBytes || int64_t{stride} * (r.Height - 1) + rowBytes > bufferSize)) return E_INVALIDARG;
  for (int32_t y = 0; y < r.Height; ++y) {
    const uint8_t* from = bitmap_.GetScanline(r.Y + y);
    BYTE* to = buffer + size_t{stride} * size_t(y);
    if (bits == 1) {
      for (int32_t x = 0; x < r.Width; ++x) {
        const int32_t bit = r.X + x;
        if (x % 8 == 0) to[x / 8] = 0;
        if ((from[bit / 8] >> (7 - bit % 8)) & 1) to[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
      }
    } else if (format == GUID_WICPixelFormat32bppBGRA) {
      const uint8_t* a = alpha_->GetScanline(r.Y + y);
      for (int32_t x = 0; x < r.Width; ++x) {
        std::memcpy(to + 4 * size_t(x), from + 3 * size_t(r.X + x), 3);
        to[4 * size_t(x) + 3] = a[r.X + x];
      }
    } else {
      std::memcpy(to, from + size_t(r.X) * size_t(bits) / 8, static_cast<size_t>(rowBytes));
      if (bitmap_.GetPixelFormat() == ieCMYK) Complement(to, static_cast<size_t>(rowBytes));
    }
  }
  return S_OK;
}

// ---- scaler --------------------------------------------------------------------------------------

bool TIEWICBitmapScaler::Scale(TIEBitmap& source, TIEBitmap* alpha, TIEBitmap& dest, WICBitmapInterpolationMode mode,
                               const TIEWICProgress& progress, TObject* sender) {
  ComPtr<IWICBitmapScaler> scaler;
  if (!IsReady() || FAILED(Factory()->CreateBitmapScaler(scaler.GetAddressOf()))) return false;
  auto wrapper = MakeComObject<TIEWICBitmapWrapper>(source, alpha);
  if (FAILED(scaler->Initialize(wrapper.Get(), static_cast<UINT>(dest.GetWidth()), static_cast<UINT>(dest.GetHeight()),
                                mode)))
    return false;
  PercentReporter reporter(progress, sender, static_cast<uint32_t>(dest.GetHeight()));
  return SourceIntoBitmap(Factory(), scaler.Get(), dest, true, dest.PeekAlphaChannel(), &reporter);
}

bool IEWICResampleBitmap(TIEBitmap* source, TIEBitmap* dest, TIEBitmap* alpha, TResampleFilter filter,
                         const TIEWICProgress& onProgress, TObject* sender) {
  if (!source || !dest || source->GetWidth() < 1 || source->GetHeight() < 1 || dest->GetWidth() < 1 ||
      dest->GetHeight() < 1)
    return false;
  WICBitmapInterpolationMode mode = WICBitmapInterpolationModeNearestNeighbor;
  if (filter == rfWICLinear) mode = WICBitmapInterpolationModeLinear;
  if (filter == rfWICCubic) mode = WICBitmapInterpolationModeCubic;
  if (filter == rfWICFant) mode = WICBitmapInterpolationModeFant;
  TIEWICBitmapScaler scaler;
  // Formats the component has no name for are scaled as 24-bit colour.
  if (!WrapperFormatOf(source->GetPixelFormat(), false)) {
    TIEBitmap colour;
    colour.Assign(source);
    colour.ConvertToPixelFormat(ie24RGB);
    return scaler.Scale(colour, alpha, *dest, mode, onProgress, sender);
  }
  return scaler.Scale(*source, alpha, *dest, mode, onProgress, sender);
}

// ---- HD Photo entries ----------------------------------------------------------------------------

void IEReadHDPhotoStream(TStream& stream, TIEBitmap* bitmap, TIOParamsVals& params, TIEProgressRecord& progress,
                         bool) {
  progress.Report(0);
  TIEWICReader reader;
  if (!bitmap || !reader.Open(stream, kHDPhoto)) return progress.Abort();
  reader.ReadFrame(params.IMAGEINDEX, *bitmap, progress, &params);
  progress.Report(100);
}

void IEWriteHDPhotoStream(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress) {
  if (!IEWICAvailable()) return progress.Abort();
  progress.Report(0);
  const int64_t start = stream.Position();
  bool written = false;
  {
    TIEWICWriter writer;
    written = writer.Open(stream, kHDPhoto) && writer.WriteFrame(bitmap, &params) && writer.Close();
  }
  if (!written) return progress.Abort();
  stream.SetPosition(start);
  IECopyEXIFTagsToTIFF(&stream, &stream, "", params, 0, "");
  progress.Report(100);
}

int32_t IEHDPhotoStreamFrameCount(TStream& stream) {
  if (!IEWICAvailable()) return 0;
  const int64_t position = stream.Position();
  TIEWICReader reader;
  const int32_t count = reader.Open(stream, kHDPhoto) ? reader.GetFrameCount() : 0;
  stream.SetPosition(position);
  return count;
}

int32_t IEHDPhotoFrameCount(const std::string& fileName) {
  if (!IEWICAvailable()) return 0;
  try {
    TIEWideFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
    return IEHDPhotoStreamFrameCount(file);
  } catch (const Exception&) {
    return 0;
  }
}

void IEHDPhotoCodecRead(TIECodecRead& read) {
  IEReadHDPhotoStream(read.Stream, read.Bitmap, read.Params, read.Progress, read.ParamsOnly);
}

void IEHDPhotoCodecWrite(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress) {
  IEWriteHDPhotoStream(stream, bitmap, params, progress);
}
