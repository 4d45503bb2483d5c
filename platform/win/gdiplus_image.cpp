// GDI+ images: loaded from IStreams through the picture decoders, read
// pixel by pixel, and drawn scaled with optional colour keys.
#include <algorithm>
#include <cmath>

#include "platform/win/gdiplus_internal.h"

namespace {

constexpr uint64_t kMaxStreamBytes = uint64_t{512} << 20;

// Everything from the stream's current position to its end, bounded.
bool ReadAll(IStream* stream, std::vector<uint8_t>& out) {
  out.clear();
  uint8_t chunk[65536];
  while (true) {
    ULONG got = 0;
    HRESULT hr = stream->Read(chunk, sizeof chunk, &got);
    if (FAILED(hr)) return false;
    if (out.size() + got > kMaxStreamBytes) return false;
    out.insert(out.end(), chunk, chunk + got);
    if (got < sizeof chunk) return true;
  }
}

struct FormatInfo {
  PictureFormat format;
  const GUID* raw;
};
constexpr FormatInfo kFormats[] = {{PictureFormat::Png, &ImageFormatPNG},
                                   {PictureFormat::Jpeg, &ImageFormatJPEG},
                                   {PictureFormat::Bmp, &ImageFormatBMP},
                                   {PictureFormat::Gif, &ImageFormatGIF}};

PixelFormat PixelFormatOf(const DecodedPicture& p) {
  if (p.hasAlpha) return PixelFormat32bppARGB;
  if (p.indexed || p.bitsPerPixel <= 8) {
    return p.bitsPerPixel <= 1 ? PixelFormat1bppIndexed
           : p.bitsPerPixel <= 4 ? PixelFormat4bppIndexed
                                 : PixelFormat8bppIndexed;
  }
  switch (p.bitsPerPixel) {
    case 16: return PixelFormat16bppRGB555;
    case 24: return PixelFormat24bppRGB;
    default: return PixelFormat32bppRGB;
  }
}

GpStatus Load(IStream* stream, GpImage** image) {
  if (!stream || !image) return InvalidParameter;
  *image = nullptr;
  std::vector<uint8_t> bytes;
  if (!ReadAll(stream, bytes)) return OutOfMemory;
  PictureFormat fmt = SniffPicture(bytes.data(), bytes.size());
  if (fmt == PictureFormat::Unknown) return UnknownImageFormat;
  auto img = std::make_unique<GpImage>();
  if (!DecodePicture(bytes.data(), bytes.size(), img->picture)) return OutOfMemory;
  for (const FormatInfo& f : kFormats)
    if (f.format == fmt) img->rawFormat = *f.raw;
  img->format = PixelFormatOf(img->picture);
  *image = img.release();
  return Ok;
}

bool InKey(uint32_t p, ARGB low, ARGB high) {
  for (int shift : {16, 8, 0}) {
    uint32_t c = (p >> shift) & 0xFF;
    if (c < ((low >> shift) & 0xFF) || c > ((high >> shift) & 0xFF)) return false;
  }
  return true;
}

}  // namespace

cairo_surface_t* GpImage::Surface(const GpImageAttributes* attributes) {
  bool keyed = attributes && attributes->keyed;
  if (surface && !keyed) return surface;
  const DecodedPicture& p = picture;
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, p.width, p.height);
  if (cairo_surface_status(s) == CAIRO_STATUS_SUCCESS) {
    auto* data = reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(s));
    int stride = cairo_image_surface_get_stride(s) / 4;
    for (int y = 0; y < p.height; ++y)
      for (int x = 0; x < p.width; ++x) {
        uint32_t v = p.pixels[static_cast<size_t>(y) * p.width + x];
        if (keyed && InKey(v, attributes->low, attributes->high)) v = 0;
        uint32_t a = v >> 24;
        auto ch = [&](int shift) { return (((v >> shift) & 0xFF) * a + 127) / 255; };
        data[y * stride + x] = (a << 24) | (ch(16) << 16) | (ch(8) << 8) | ch(0);
      }
    cairo_surface_mark_dirty(s);
  }
  if (keyed) return s;  // the caller destroys keyed copies
  surface = s;
  return surface;
}

GpStatus GdipLoadImageFromStream(IStream* stream, GpImage** image) { return Load(stream, image); }
GpStatus GdipLoadImageFromStreamICM(IStream* stream, GpImage** image) { return Load(stream, image); }
GpStatus GdipCreateBitmapFromStream(IStream* stream, GpBitmap** bitmap) { return Load(stream, bitmap); }
GpStatus GdipCreateBitmapFromStreamICM(IStream* stream, GpBitmap** bitmap) { return Load(stream, bitmap); }

GpStatus GdipDisposeImage(GpImage* image) {
  if (!image) return InvalidParameter;
  delete image;
  return Ok;
}

GpStatus GdipGetImageWidth(GpImage* image, UINT* width) {
  if (!image || !width) return InvalidParameter;
  *width = static_cast<UINT>(image->picture.width);
  return Ok;
}

GpStatus GdipGetImageHeight(GpImage* image, UINT* height) {
  if (!image || !height) return InvalidParameter;
  *height = static_cast<UINT>(image->picture.height);
  return Ok;
}

GpStatus GdipGetImagePixelFormat(GpImage* image, PixelFormat* format) {
  if (!image || !format) return InvalidParameter;
  *format = image->format;
  return Ok;
}

GpStatus GdipGetImageRawFormat(GpImage* image, GUID* format) {
  if (!image || !format) return InvalidParameter;
  *format = image->rawFormat;
  return Ok;
}

GpStatus GdipBitmapGetPixel(GpBitmap* bitmap, int x, int y, ARGB* color) {
  if (!bitmap || !color || x < 0 || y < 0 || x >= bitmap->picture.width || y >= bitmap->picture.height)
    return InvalidParameter;
  *color = bitmap->picture.pixels[static_cast<size_t>(y) * bitmap->picture.width + x];
  return Ok;
}

GpStatus GdipDrawImageRectRect(GpGraphics* g, GpImage* image, REAL dx, REAL dy, REAL dw, REAL dh, REAL sx, REAL sy,
                               REAL sw, REAL sh, int srcUnit, const GpImageAttributes* attributes, DrawImageAbort,
                               void*) {
  if (!g || !image || srcUnit != UnitPixel) return InvalidParameter;
  if (dw == 0 || dh == 0 || sw == 0 || sh == 0 || image->picture.width == 0) return Ok;
  RECT area = DeviceExtents(g, [&](cairo_t* c) { cairo_rectangle(c, dx - 0.5, dy - 0.5, dw, dh); }, nullptr);
  GpContext ctx(g, &area);
  cairo_t* cr = ctx.Cr();
  if (!cr) return Ok;
  cairo_surface_t* s = image->Surface(attributes);
  // Images cover whole pixels from the destination's corner.
  cairo_translate(cr, -0.5, -0.5);
  cairo_rectangle(cr, dx, dy, dw, dh);
  cairo_translate(cr, dx, dy);
  cairo_scale(cr, dw / sw, dh / sh);
  cairo_translate(cr, -sx, -sy);
  cairo_pattern_t* p = cairo_pattern_create_for_surface(s);
  cairo_pattern_set_extend(p, CAIRO_EXTEND_PAD);
  bool scaled = std::abs(dw - sw) > 1e-3 || std::abs(dh - sh) > 1e-3;
  cairo_pattern_set_filter(p, scaled ? CAIRO_FILTER_GOOD : CAIRO_FILTER_NEAREST);
  cairo_set_source(cr, p);
  cairo_fill(cr);
  cairo_pattern_destroy(p);
  if (attributes && attributes->keyed) cairo_surface_destroy(s);
  return Ok;
}

GpStatus GdipDrawImageRect(GpGraphics* g, GpImage* image, REAL x, REAL y, REAL width, REAL height) {
  if (!image) return InvalidParameter;
  return GdipDrawImageRectRect(g, image, x, y, width, height, 0, 0, static_cast<REAL>(image->picture.width),
                               static_cast<REAL>(image->picture.height), UnitPixel, nullptr, nullptr, nullptr);
}

GpStatus GdipCreateImageAttributes(GpImageAttributes** attributes) {
  if (!attributes) return InvalidParameter;
  *attributes = new GpImageAttributes;
  return Ok;
}

GpStatus GdipDisposeImageAttributes(GpImageAttributes* attributes) {
  if (!attributes) return InvalidParameter;
  delete attributes;
  return Ok;
}

GpStatus GdipSetImageAttributesColorKeys(GpImageAttributes* attributes, int, BOOL enable, ARGB low, ARGB high) {
  if (!attributes) return InvalidParameter;
  attributes->keyed = enable;
  attributes->low = low;
  attributes->high = high;
  return Ok;
}
