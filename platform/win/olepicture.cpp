#include "platform/win/olepicture.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "platform/win/comimpl.h"
#include "platform/win/gdi.h"
#include "platform/win/picturedecode.h"

int32_t MulDiv(int32_t a, int32_t b, int32_t c) {
  if (c == 0) return -1;
  int64_t product = int64_t{a} * b;
  int64_t divisor = c;
  bool negative = (product < 0) != (divisor < 0);
  int64_t magnitude = (std::llabs(product) + std::llabs(divisor) / 2) / std::llabs(divisor);
  int64_t q = negative ? -magnitude : magnitude;
  if (q > INT32_MAX || q < INT32_MIN) return -1;
  return static_cast<int32_t>(q);
}

namespace {

constexpr int32_t kHimetricPerInch = 2540;

class OlePicture final : public ComObject<IPicture, IID_IPicture> {
public:
  explicit OlePicture(DecodedPicture picture) : picture_(std::move(picture)) {}

  HRESULT get_Width(OLE_XSIZE_HIMETRIC* width) override {
    if (!width) return E_POINTER;
    *width = MulDiv(picture_.width, kHimetricPerInch, 96);
    return S_OK;
  }
  HRESULT get_Height(OLE_YSIZE_HIMETRIC* height) override {
    if (!height) return E_POINTER;
    *height = MulDiv(picture_.height, kHimetricPerInch, 96);
    return S_OK;
  }

  HRESULT Render(HDC dc, int32_t x, int32_t y, int32_t cx, int32_t cy, OLE_XPOS_HIMETRIC xSrc,
                 OLE_YPOS_HIMETRIC ySrc, OLE_XSIZE_HIMETRIC cxSrc, OLE_YSIZE_HIMETRIC cySrc,
                 const RECT*) override {
    if (!dc) return E_INVALIDARG;
    if (cx == 0 || cy == 0 || cxSrc == 0 || cySrc == 0) return S_OK;
    RECT dest = Normalised(x, y, cx, cy);
    // Source in pixels, rows counted from the top.
    OLE_XSIZE_HIMETRIC hmWidth = 0, hmHeight = 0;
    get_Width(&hmWidth);
    get_Height(&hmHeight);
    if (hmWidth <= 0 || hmHeight <= 0) return S_OK;
    RECT hm = Normalised(xSrc, ySrc, cxSrc, cySrc);
    int sx0 = std::clamp(MulDiv(hm.left, picture_.width, hmWidth), 0, picture_.width);
    int sx1 = std::clamp(MulDiv(hm.right, picture_.width, hmWidth), 0, picture_.width);
    int sy0 = std::clamp(picture_.height - MulDiv(hm.bottom, picture_.height, hmHeight), 0, picture_.height);
    int sy1 = std::clamp(picture_.height - MulDiv(hm.top, picture_.height, hmHeight), 0, picture_.height);
    if (sx1 <= sx0 || sy1 <= sy0) return S_OK;
    return Blend(dc, dest, sx0, sy0, sx1 - sx0, sy1 - sy0) ? S_OK : E_FAIL;
  }

private:
  static RECT Normalised(int32_t x, int32_t y, int32_t cx, int32_t cy) {
    RECT r{x, y, x + cx, y + cy};
    if (r.right < r.left) std::swap(r.left, r.right);
    if (r.bottom < r.top) std::swap(r.top, r.bottom);
    return r;
  }

  // A premultiplied 32-bit copy of the source part, alpha-blended onto dc.
  bool Blend(HDC dc, const RECT& dest, int sx, int sy, int sw, int sh) {
    BITMAPINFO info{};
    info.bmiHeader.biWidth = sw;
    info.bmiHeader.biHeight = -sh;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap || !bits) return false;
    auto* out = static_cast<uint32_t*>(bits);
    for (int row = 0; row < sh; ++row) {
      const uint32_t* in = picture_.pixels.data() + static_cast<size_t>(sy + row) * picture_.width + sx;
      for (int col = 0; col < sw; ++col) out[static_cast<size_t>(row) * sw + col] = Premultiplied(in[col]);
    }
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    BOOL ok = AlphaBlend(dc, dest.left, dest.top, dest.right - dest.left, dest.bottom - dest.top, memory, 0, 0,
                         sw, sh, blend);
    SelectObject(memory, old);
    DeleteDC(memory);
    DeleteObject(bitmap);
    return ok != FALSE;
  }

  static uint32_t Premultiplied(uint32_t argb) {
    uint32_t a = argb >> 24;
    auto channel = [a](uint32_t v) { return (v * a + 127) / 255; };
    return (a << 24) | (channel((argb >> 16) & 0xFF) << 16) | (channel((argb >> 8) & 0xFF) << 8) |
           channel(argb & 0xFF);
  }

  DecodedPicture picture_;
};

// The bytes the caller asked for, bounded by what the stream holds.
bool ReadStream(IStream* stream, LONG size, std::vector<uint8_t>& bytes) {
  uint64_t here = 0, end = 0;
  if (FAILED(stream->Seek(0, STREAM_SEEK_CUR, &here)) || FAILED(stream->Seek(0, STREAM_SEEK_END, &end)) ||
      FAILED(stream->Seek(static_cast<int64_t>(here), STREAM_SEEK_SET, nullptr)))
    return false;
  uint64_t remaining = end > here ? end - here : 0;
  uint64_t want = (size > 0 && static_cast<uint64_t>(size) < remaining) ? static_cast<uint64_t>(size) : remaining;
  if (want == 0 || want > 0x7FFFFFFFu) return false;
  bytes.resize(want);
  ULONG read = 0;
  if (FAILED(stream->Read(bytes.data(), static_cast<ULONG>(want), &read))) return false;
  bytes.resize(read);
  return read > 0;
}

}  // namespace

HRESULT OleLoadPicture(IStream* stream, LONG size, BOOL, REFIID riid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (!stream) return E_POINTER;
  if (riid != IID_IPicture && riid != IID_IUnknown) return E_NOINTERFACE;
  std::vector<uint8_t> bytes;
  DecodedPicture decoded;
  if (!ReadStream(stream, size, bytes) || !DecodePicture(bytes.data(), bytes.size(), decoded) ||
      decoded.width <= 0 || decoded.height <= 0)
    return CTL_E_INVALIDPICTURE;
  *object = static_cast<IPicture*>(new OlePicture(std::move(decoded)));
  return S_OK;
}
