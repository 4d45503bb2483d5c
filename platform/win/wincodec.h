// The imaging component: an imaging factory registered with the COM class
// registry, whose objects decode and encode the HD Photo (WMP) container,
// convert pixel formats, hold palettes and scale bitmaps. Other containers
// have no codec here: asking for one answers WINCODEC_ERR_COMPONENTNOTFOUND.
//
// Pixels cross the interfaces in the component's formats: BGR byte order,
// 16-bit samples in host order, CMYK as ink amounts (0 = none), BlackWhite
// as 1 bit per pixel with 1 = white, rows padded to bytes.
#pragma once

#include "platform/win/com.h"
#include "platform/win/propbag.h"

using WICPixelFormatGUID = GUID;
using REFWICPixelFormatGUID = const GUID&;

struct WICRect {
  int32_t X = 0, Y = 0, Width = 0, Height = 0;
};
using WICColor = uint32_t;  // 0xAARRGGBB

constexpr HRESULT WINCODEC_ERR_WRONGSTATE = static_cast<HRESULT>(0x88982F04u);
constexpr HRESULT WINCODEC_ERR_VALUEOUTOFRANGE = static_cast<HRESULT>(0x88982F05u);
constexpr HRESULT WINCODEC_ERR_UNKNOWNIMAGEFORMAT = static_cast<HRESULT>(0x88982F07u);
constexpr HRESULT WINCODEC_ERR_NOTINITIALIZED = static_cast<HRESULT>(0x88982F0Cu);
constexpr HRESULT WINCODEC_ERR_PROPERTYNOTFOUND = static_cast<HRESULT>(0x88982F40u);
constexpr HRESULT WINCODEC_ERR_CODECNOTHUMBNAIL = static_cast<HRESULT>(0x88982F44u);
constexpr HRESULT WINCODEC_ERR_PALETTEUNAVAILABLE = static_cast<HRESULT>(0x88982F45u);
constexpr HRESULT WINCODEC_ERR_COMPONENTNOTFOUND = static_cast<HRESULT>(0x88982F50u);
constexpr HRESULT WINCODEC_ERR_BADIMAGE = static_cast<HRESULT>(0x88982F60u);
constexpr HRESULT WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT = static_cast<HRESULT>(0x88982F80u);
constexpr HRESULT WINCODEC_ERR_UNSUPPORTEDOPERATION = static_cast<HRESULT>(0x88982F81u);
constexpr HRESULT WINCODEC_ERR_CODECTOOMANYSCANLINES = static_cast<HRESULT>(0x88982F46u);

enum WICDecodeOptions : uint32_t { WICDecodeMetadataCacheOnDemand = 0, WICDecodeMetadataCacheOnLoad = 1 };
enum WICBitmapEncoderCacheOption : uint32_t { WICBitmapEncoderCacheInMemory = 0, WICBitmapEncoderCacheTempFile = 1, WICBitmapEncoderNoCache = 2 };
enum WICBitmapDitherType : uint32_t { WICBitmapDitherTypeNone = 0 };
enum WICBitmapPaletteType : uint32_t { WICBitmapPaletteTypeCustom = 0 };
enum WICBitmapInterpolationMode : uint32_t {
  WICBitmapInterpolationModeNearestNeighbor = 0,
  WICBitmapInterpolationModeLinear = 1,
  WICBitmapInterpolationModeCubic = 2,
  WICBitmapInterpolationModeFant = 3,
};

#define WIC_GUID(name, a, b, c, d0, d1, d2, d3, d4, d5, d6, d7) \
  inline constexpr GUID name { a, b, c, { d0, d1, d2, d3, d4, d5, d6, d7 } }

WIC_GUID(CLSID_WICImagingFactory, 0xCACAF262, 0x9370, 0x4615, 0xA1, 0x3B, 0x9F, 0x55, 0x39, 0xDA, 0x4C, 0x0A);
WIC_GUID(IID_IWICImagingFactory, 0xEC5EC8A9, 0xC395, 0x4314, 0x9C, 0x77, 0x54, 0xD7, 0xA9, 0x35, 0xFF, 0x70);
WIC_GUID(IID_IWICBitmapSource, 0x00000120, 0xA8F2, 0x4877, 0xBA, 0x0A, 0xFD, 0x2B, 0x66, 0x45, 0xFB, 0x94);
WIC_GUID(IID_IWICBitmapFrameDecode, 0x3B16811B, 0x6A43, 0x4EC9, 0xA8, 0x13, 0x3D, 0x93, 0x0C, 0x13, 0xB9, 0x40);
WIC_GUID(IID_IWICBitmapDecoder, 0x9EDDE9E7, 0x8DEE, 0x47EA, 0x99, 0xDF, 0xE6, 0xFA, 0xF2, 0xED, 0x44, 0xBF);
WIC_GUID(IID_IWICFormatConverter, 0x00000301, 0xA8F2, 0x4877, 0xBA, 0x0A, 0xFD, 0x2B, 0x66, 0x45, 0xFB, 0x94);
WIC_GUID(IID_IWICBitmapScaler, 0x00000302, 0xA8F2, 0x4877, 0xBA, 0x0A, 0xFD, 0x2B, 0x66, 0x45, 0xFB, 0x94);
WIC_GUID(IID_IWICPalette, 0x00000040, 0xA8F2, 0x4877, 0xBA, 0x0A, 0xFD, 0x2B, 0x66, 0x45, 0xFB, 0x94);
WIC_GUID(IID_IWICBitmapEncoder, 0x00000103, 0xA8F2, 0x4877, 0xBA, 0x0A, 0xFD, 0x2B, 0x66, 0x45, 0xFB, 0x94);
WIC_GUID(IID_IWICBitmapFrameEncode, 0x00000105, 0xA8F2, 0x4877, 0xBA, 0x0A, 0xFD, 0x2B, 0x66, 0x45, 0xFB, 0x94);
WIC_GUID(IID_IWICMetadataQueryReader, 0x30989668, 0xE1C9, 0x4597, 0xB3, 0x95, 0x45, 0x8E, 0xED, 0xB8, 0x08, 0xDF);
WIC_GUID(IID_IWICPixelFormatInfo, 0xE8EDA601, 0x3D48, 0x431A, 0xAB, 0x44, 0x69, 0x05, 0x9B, 0xE8, 0x8B, 0xBE);

WIC_GUID(GUID_VendorMicrosoft, 0xF0E749CA, 0xEDEF, 0x4589, 0xA7, 0x3A, 0xEE, 0x0E, 0x62, 0x6A, 0x2A, 0x2B);
WIC_GUID(GUID_ContainerFormatBmp, 0x0AF1D87E, 0xFCFE, 0x4188, 0xBD, 0xEB, 0xA7, 0x90, 0x64, 0x71, 0xCB, 0xE3);
WIC_GUID(GUID_ContainerFormatPng, 0x1B7CFAF4, 0x713F, 0x473C, 0xBB, 0xCD, 0x61, 0x37, 0x42, 0x5F, 0xAE, 0xAF);
WIC_GUID(GUID_ContainerFormatIco, 0xA3A860C4, 0x338F, 0x4C17, 0x91, 0x9A, 0xFB, 0xA4, 0xB5, 0x62, 0x8F, 0x21);
WIC_GUID(GUID_ContainerFormatJpeg, 0x19E4A5AA, 0x5662, 0x4FC5, 0xA0, 0xC0, 0x17, 0x58, 0x02, 0x8E, 0x10, 0x57);
WIC_GUID(GUID_ContainerFormatTiff, 0x163BCC30, 0xE2E9, 0x4F0B, 0x96, 0x1D, 0xA3, 0xE9, 0xFD, 0xB7, 0x88, 0xA3);
WIC_GUID(GUID_ContainerFormatGif, 0x1F8A5601, 0x7D4D, 0x4CBD, 0x9C, 0x82, 0x1B, 0xC8, 0xD4, 0xEE, 0xB9, 0xA5);
WIC_GUID(GUID_ContainerFormatWmp, 0x57A37CAA, 0x367A, 0x4540, 0x91, 0x6B, 0xF1, 0x83, 0xC5, 0x09, 0x3A, 0x4B);
WIC_GUID(CLSID_WICBmpDecoder, 0x6B462062, 0x7CBF, 0x400D, 0x9F, 0xDB, 0x81, 0x3D, 0xD1, 0x0F, 0x27, 0x78);
WIC_GUID(CLSID_WICPngDecoder, 0x389EA17B, 0x5078, 0x4CDE, 0xB6, 0xEF, 0x25, 0xC1, 0x51, 0x75, 0xC7, 0x51);
WIC_GUID(CLSID_WICIcoDecoder, 0xC61BFCDF, 0x2E0F, 0x4AAD, 0xA8, 0xD7, 0xE0, 0x6B, 0xAF, 0xEB, 0xCD, 0xFE);
WIC_GUID(CLSID_WICJpegDecoder, 0x9456A480, 0xE88B, 0x43EA, 0x9E, 0x73, 0x0B, 0x2D, 0x9B, 0x71, 0xB1, 0xCA);
WIC_GUID(CLSID_WICGifDecoder, 0x381DDA3C, 0x9CE9, 0x4834, 0xA2, 0x3E, 0x1F, 0x98, 0xF8, 0xFC, 0x52, 0xBE);
WIC_GUID(CLSID_WICTiffDecoder, 0xB54E85D9, 0xFE23, 0x499F, 0x8B, 0x88, 0x6A, 0xCE, 0xA7, 0x13, 0x75, 0x2B);
WIC_GUID(CLSID_WICWmpDecoder, 0xA26CEC36, 0x234C, 0x4950, 0xAE, 0x16, 0xE3, 0x4A, 0xAC, 0xE7, 0x1D, 0x0D);

#define WIC_PIXEL_FORMAT(name, last) \
  WIC_GUID(GUID_WICPixelFormat##name, 0x6FDDC324, 0x4E03, 0x4BFE, 0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, last)
WIC_PIXEL_FORMAT(DontCare, 0x00);
WIC_PIXEL_FORMAT(1bppIndexed, 0x01);
WIC_PIXEL_FORMAT(8bppIndexed, 0x04);
WIC_PIXEL_FORMAT(BlackWhite, 0x05);
WIC_PIXEL_FORMAT(8bppGray, 0x08);
WIC_PIXEL_FORMAT(16bppGray, 0x0B);
WIC_PIXEL_FORMAT(24bppBGR, 0x0C);
WIC_PIXEL_FORMAT(24bppRGB, 0x0D);
WIC_PIXEL_FORMAT(32bppBGR, 0x0E);
WIC_PIXEL_FORMAT(32bppBGRA, 0x0F);
WIC_PIXEL_FORMAT(48bppRGB, 0x15);
WIC_PIXEL_FORMAT(64bppRGBA, 0x16);
WIC_PIXEL_FORMAT(32bppCMYK, 0x1C);
#undef WIC_PIXEL_FORMAT
WIC_GUID(GUID_WICPixelFormat32bppRGBA, 0xF5C7AD2D, 0x6A8D, 0x43DD, 0xA7, 0xA8, 0xA2, 0x99, 0x35, 0x26, 0x1A, 0xE9);
#undef WIC_GUID

class IWICPalette : public IUnknown {
public:
  virtual HRESULT InitializeCustom(const WICColor* colors, UINT count) = 0;
  virtual HRESULT InitializeFromPalette(IWICPalette* palette) = 0;
  virtual HRESULT GetColorCount(UINT* count) = 0;
  virtual HRESULT GetColors(UINT count, WICColor* colors, UINT* actual) = 0;
};

class IWICBitmapSource : public IUnknown {
public:
  virtual HRESULT GetSize(UINT* width, UINT* height) = 0;
  virtual HRESULT GetPixelFormat(WICPixelFormatGUID* format) = 0;
  virtual HRESULT GetResolution(double* dpiX, double* dpiY) = 0;
  virtual HRESULT CopyPalette(IWICPalette* palette) = 0;
  // Rows of the rectangle (the whole bitmap when null) at buffer + stride x
  // (row - top); fails with E_INVALIDARG when the rectangle leaves the
  // bitmap or the buffer is too small.
  virtual HRESULT CopyPixels(const WICRect* rect, UINT stride, UINT bufferSize, BYTE* buffer) = 0;
};

// Metadata of a frame; the component keeps none, so it has no queries.
class IWICMetadataQueryReader : public IUnknown {};

class IWICBitmapFrameDecode : public IWICBitmapSource {
public:
  virtual HRESULT GetMetadataQueryReader(IWICMetadataQueryReader** reader) = 0;
  virtual HRESULT GetThumbnail(IWICBitmapSource** thumbnail) = 0;
};

class IWICBitmapDecoder : public IUnknown {
public:
  virtual HRESULT GetContainerFormat(GUID* format) = 0;
  virtual HRESULT GetFrameCount(UINT* count) = 0;
  virtual HRESULT GetFrame(UINT index, IWICBitmapFrameDecode** frame) = 0;
};

class IWICFormatConverter : public IWICBitmapSource {
public:
  virtual HRESULT Initialize(IWICBitmapSource* source, REFWICPixelFormatGUID target, WICBitmapDitherType dither,
                             IWICPalette* palette, double alphaThreshold, WICBitmapPaletteType paletteType) = 0;
};

class IWICBitmapScaler : public IWICBitmapSource {
public:
  virtual HRESULT Initialize(IWICBitmapSource* source, UINT width, UINT height, WICBitmapInterpolationMode mode) = 0;
};

class IWICBitmapFrameEncode : public IUnknown {
public:
  virtual HRESULT Initialize(IPropertyBag2* options) = 0;
  virtual HRESULT SetSize(UINT width, UINT height) = 0;
  virtual HRESULT SetResolution(double dpiX, double dpiY) = 0;
  // Sets the nearest format the encoder writes into *format.
  virtual HRESULT SetPixelFormat(WICPixelFormatGUID* format) = 0;
  virtual HRESULT WritePixels(UINT lineCount, UINT stride, UINT bufferSize, BYTE* pixels) = 0;
  virtual HRESULT Commit() = 0;
};

class IWICBitmapEncoder : public IUnknown {
public:
  virtual HRESULT Initialize(IStream* stream, WICBitmapEncoderCacheOption cacheOption) = 0;
  virtual HRESULT GetContainerFormat(GUID* format) = 0;
  virtual HRESULT CreateNewFrame(IWICBitmapFrameEncode** frame, IPropertyBag2** options) = 0;
  virtual HRESULT Commit() = 0;
};

class IWICPixelFormatInfo : public IUnknown {
public:
  virtual HRESULT GetBitsPerPixel(UINT* bits) = 0;
  virtual HRESULT GetChannelCount(UINT* channels) = 0;
};

class IWICImagingFactory : public IUnknown {
public:
  virtual HRESULT CreateDecoderFromStream(IStream* stream, const GUID* vendor, WICDecodeOptions options,
                                          IWICBitmapDecoder** decoder) = 0;
  virtual HRESULT CreateEncoder(const GUID& container, const GUID* vendor, IWICBitmapEncoder** encoder) = 0;
  virtual HRESULT CreatePalette(IWICPalette** palette) = 0;
  virtual HRESULT CreateFormatConverter(IWICFormatConverter** converter) = 0;
  virtual HRESULT CreateBitmapScaler(IWICBitmapScaler** scaler) = 0;
  // The pixel-format information of a pixel-format GUID (IWICPixelFormatInfo).
  virtual HRESULT CreateComponentInfo(REFCLSID component, IWICPixelFormatInfo** info) = 0;
};

// Registers the imaging factory's class; the COM run-time does it with the
// first initialisation of any thread.
void WICRegisterImagingComponent();
