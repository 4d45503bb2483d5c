// Shared pieces of the imaging component's objects: the pixel-format table
// and a bitmap source over pixels it computes once.
#pragma once

#include <cstring>
#include <vector>

#include "platform/win/comimpl.h"
#include "platform/win/wincodec.h"
#include "platform/win/wmpglue.h"

namespace wic {

struct PixelFormat {
  const GUID* Guid;
  uint32_t Bits;
  uint32_t Channels;
  wmp::Layout Layout;  // the HD Photo codec's name for it; Unknown when it has none
};

// The formats the component knows; null for others.
const PixelFormat* FindFormat(const GUID& guid);
const PixelFormat* FindFormat(wmp::Layout layout);

// Bytes of a row of `width` pixels, 0 when it would not fit 32 bits.
uint32_t RowBytes(uint32_t width, uint32_t bits);

// The palette of a source (empty when it has none).
std::vector<WICColor> PaletteOf(IWICBitmapSource* source);

// Copies the rectangle of `pixels` (rows of rowBytes bytes, `bits` per
// pixel) into the caller's buffer as IWICBitmapSource::CopyPixels promises.
HRESULT CopyRect(const std::vector<uint8_t>& pixels, uint32_t width, uint32_t height, uint32_t bits,
                 const WICRect* rect, UINT stride, UINT bufferSize, BYTE* buffer);

// Reads the whole of a source; false when it refuses.
bool ReadAll(IWICBitmapSource* source, uint32_t width, uint32_t height, uint32_t bits, std::vector<uint8_t>& pixels);

// The most pixel bytes a frame may hold (the component's memory bound).
constexpr uint64_t kMaxPixelBytes = uint64_t{1} << 32;

// A bitmap source whose pixels a descendant computes on the first request.
template <class I, const IID&... Ids>
class ComputedSource : public ComObject<I, IID_IWICBitmapSource, Ids...> {
public:
  HRESULT GetSize(UINT* width, UINT* height) override {
    if (!width || !height) return E_INVALIDARG;
    if (!ready_) return WINCODEC_ERR_NOTINITIALIZED;
    *width = width_;
    *height = height_;
    return S_OK;
  }
  HRESULT GetPixelFormat(WICPixelFormatGUID* format) override {
    if (!format) return E_INVALIDARG;
    if (!ready_) return WINCODEC_ERR_NOTINITIALIZED;
    *format = *format_->Guid;
    return S_OK;
  }
  HRESULT GetResolution(double* dpiX, double* dpiY) override {
    if (!dpiX || !dpiY) return E_INVALIDARG;
    if (!ready_) return WINCODEC_ERR_NOTINITIALIZED;
    *dpiX = dpiX_;
    *dpiY = dpiY_;
    return S_OK;
  }
  HRESULT CopyPalette(IWICPalette* palette) override {
    if (!palette) return E_INVALIDARG;
    if (palette_.empty()) return WINCODEC_ERR_PALETTEUNAVAILABLE;
    return palette->InitializeCustom(palette_.data(), static_cast<UINT>(palette_.size()));
  }
  HRESULT CopyPixels(const WICRect* rect, UINT stride, UINT bufferSize, BYTE* buffer) override {
    if (!ready_) return WINCODEC_ERR_NOTINITIALIZED;
    if (!computed_) {
      const uint64_t bytes = uint64_t{RowBytes(width_, format_->Bits)} * height_;
      if (bytes == 0 || bytes > kMaxPixelBytes) return E_OUTOFMEMORY;
      if (HRESULT hr = Compute(pixels_); FAILED(hr)) return hr;
      computed_ = true;
    }
    return CopyRect(pixels_, width_, height_, format_->Bits, rect, stride, bufferSize, buffer);
  }

protected:
  // Fills the pixels (rows of RowBytes(width, bits)) of the described bitmap.
  virtual HRESULT Compute(std::vector<uint8_t>& pixels) = 0;
  void Describe(uint32_t width, uint32_t height, const PixelFormat* format, double dpiX, double dpiY) {
    width_ = width;
    height_ = height;
    format_ = format;
    dpiX_ = dpiX;
    dpiY_ = dpiY;
    ready_ = true;
  }
  bool Ready() const { return ready_; }
  uint32_t width_ = 0, height_ = 0;
  const PixelFormat* format_ = nullptr;
  double dpiX_ = 96, dpiY_ = 96;
  std::vector<WICColor> palette_;

private:
  bool ready_ = false, computed_ = false;
  std::vector<uint8_t> pixels_;
};

// The WMP decoder and encoder (wincodec_wmp.cpp).
HRESULT CreateWmpDecoder(IStream* stream, IWICBitmapDecoder** decoder);
HRESULT CreateWmpEncoder(IWICBitmapEncoder** encoder);

}  // namespace wic
