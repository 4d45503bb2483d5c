// What the GDI units share behind gdi.h: the objects behind the handles,
// regions as rectangle lists, 32-bit pixel views of a DC's target, the
// raster-operation arithmetic and the masks that shapes are rasterised into.
#pragma once

#include "platform/win/drawlibs.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/rtl/dynlib.h"
#include "platform/win/gdi.h"

namespace gdi {

// ------------------------------------------------------------- regions ---

// A set of pixels as y-x banded rectangles: sorted by top, then left; the
// rectangles of one band share top and bottom and do not touch.
struct Region {
  std::vector<RECT> rects;

  static Region FromRect(const RECT& r);
  RECT Box() const;
  int Type() const;  // NULLREGION, SIMPLEREGION or COMPLEXREGION
  bool Contains(int x, int y) const;
  void Offset(int dx, int dy);
  bool Within(const RECT& bounds) const;  // every pixel inside `bounds`
};
Region CombineRegions(const Region& a, const Region& b, int mode);
// The union of any rectangles (empty ones ignored).
Region RegionFromRects(std::vector<RECT> rects);

// ------------------------------------------------------------- objects ---

enum class Kind : uint8_t { Pen, Brush, Font, Bitmap, Region, Palette, DC };

struct Object {
  explicit Object(Kind k) : kind(k) {}
  virtual ~Object() = default;
  Kind kind;
  bool stock = false;
  bool deletePending = false;  // DeleteObject while still selected
  int refs = 0;                // selections in DC states (current and saved)
};

struct PenObj : Object {
  PenObj() : Object(Kind::Pen) {}
  UINT style = PS_SOLID;  // with type, cap and join bits
  int width = 1;
  COLORREF color = 0;
  std::vector<DWORD> userStyle;
  UINT Kind() const { return style & PS_STYLE_MASK; }
  bool Geometric() const { return (style & PS_TYPE_MASK) == PS_GEOMETRIC; }
};

struct BrushObj : Object {
  BrushObj() : Object(Kind::Brush) {}
  UINT style = BS_SOLID;
  COLORREF color = 0;
  int hatch = 0;
  // BS_PATTERN: 8x8 pixels (0xAARRGGBB); for a monochrome source, the bits
  // (1 = background) and the colours come from the DC when painting.
  std::vector<uint32_t> pattern;
  std::vector<uint8_t> monoPattern;
  bool mono = false;
};

struct FontObj : Object {
  FontObj() : Object(Kind::Font) {}
  LOGFONTA log;  // face in UTF-8
};

struct PaletteObj : Object {
  PaletteObj() : Object(Kind::Palette) {}
  std::vector<PALETTEENTRY> entries;
};

struct RegionObj : Object {
  RegionObj() : Object(Kind::Region) {}
  Region rgn;
};

// A 32-bit view of pixels: `stride` in pixels, negative for bottom-up memory.
struct PixelView {
  uint32_t* base = nullptr;
  ptrdiff_t stride = 0;
  int width = 0;
  int height = 0;
  RECT valid{};  // the pixels that may be read and written
  uint32_t* Row(int y) const { return base + static_cast<ptrdiff_t>(y) * stride; }
  bool Valid() const { return base && width > 0 && height > 0; }
};

struct DCObj;

struct BitmapObj : Object {
  BitmapObj() : Object(Kind::Bitmap) {}
  int width = 0;
  int height = 0;
  int bpp = 32;
  bool topDown = true;
  bool dib = false;             // a DIB section (colour table used for 1-bit too)
  ptrdiff_t strideBytes = 0;    // bytes per row in memory
  std::vector<uint8_t> memory;  // the pixels as stored (rows in memory order)
  std::vector<RGBQUAD> colors;  // colour table for 1, 4 and 8 bits
  DWORD masks[3] = {0, 0, 0};   // 16/32-bit BI_BITFIELDS (0 = standard layout)
  DCObj* selectedInto = nullptr;
  std::unique_ptr<uint32_t[]> shadow;  // 32-bit working copy while a DC draws on a non-32-bit bitmap
  RECT shadowArea{};                    // the part of it that holds the pixels
  int lockDepth = 0;
  bool shadowDirty = false;  // some lock of the nest writes

  uint8_t* MemoryRow(int y);  // row y counted from the top of the picture
  const uint8_t* MemoryRow(int y) const;
  // The 32-bit pixel at (x, y); monochrome device bitmaps answer 0 or 0xFFFFFF
  // for the caller to map through its colours.
  uint32_t ReadPixel(int x, int y) const;
  void WritePixel(int x, int y, uint32_t pixel);
};

struct DCState {
  PenObj* pen = nullptr;
  BrushObj* brush = nullptr;
  FontObj* font = nullptr;
  PaletteObj* palette = nullptr;
  BitmapObj* bitmap = nullptr;  // memory DCs
  COLORREF text = 0;
  COLORREF bk = 0xFFFFFF;
  int bkMode = OPAQUE;
  int rop2 = R2_COPYPEN;
  int stretchMode = BLACKONWHITE;
  int fillMode = ALTERNATE;
  int graphicsMode = GM_COMPATIBLE;
  UINT textAlign = 0;
  POINT viewportOrg{};
  POINT windowOrg{};
  POINT brushOrg{};
  POINT pos{};
  XFORM xform{};
  std::optional<Region> clip;  // device coordinates
};

struct DCObj : Object {
  DCObj() : Object(Kind::DC) {}
  Surface* surface = nullptr;  // window DC
  POINT origin{};              // device (0, 0) in target coordinates
  RECT surfaceClip{};          // target coordinates
  HWND window = nullptr;
  bool memory = false;
  DCState s;
  std::vector<DCState> saved;
};

// Registers `object` and answers its handle.
void* Register(std::unique_ptr<Object> object);
// The live object behind `handle` when it is of kind `k`, else null.
Object* Lookup(const void* handle);
template <typename T>
T* As(const void* handle, Kind k) {
  Object* o = Lookup(handle);
  return o && o->kind == k ? static_cast<T*>(o) : nullptr;
}
inline DCObj* AsDC(HDC dc) { return As<DCObj>(dc, Kind::DC); }
inline BitmapObj* AsBitmap(const void* h) { return As<BitmapObj>(h, Kind::Bitmap); }
inline BrushObj* AsBrush(const void* h) { return As<BrushObj>(h, Kind::Brush); }
inline RegionObj* AsRegion(const void* h) { return As<RegionObj>(h, Kind::Region); }
inline FontObj* AsFont(const void* h) { return As<FontObj>(h, Kind::Font); }

BitmapObj* StockBitmap();

// ------------------------------------------------------------- mapping ---

// Affine map from logical to target coordinates.
struct Matrix {
  double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;  // x' = a x + c y + e, y' = b x + d y + f
  void Apply(double x, double y, double& ox, double& oy) const {
    ox = a * x + c * y + e;
    oy = b * x + d * y + f;
  }
  bool AxisAligned() const { return b == 0 && c == 0; }
};
Matrix LogicalToTarget(const DCObj* dc);
// A logical rectangle in target coordinates (normalised; right and bottom
// exclusive). In GM_ADVANCED the rectangle's own right and bottom edges count.
RECT TargetRect(const DCObj* dc, int l, int t, int r, int b);
POINT TargetPoint(const DCObj* dc, int x, int y);
// A device point (DC-relative) back in logical coordinates.
POINT DeviceToLogical(const DCObj* dc, POINT p);

// --------------------------------------------------------------- pixels ---

inline uint32_t PixelFromColor(COLORREF c) {
  return 0xFF000000u | (static_cast<uint32_t>(GetRValue(c)) << 16) | (static_cast<uint32_t>(GetGValue(c)) << 8) |
         GetBValue(c);
}
inline COLORREF ColorFromPixel(uint32_t p) {
  return RGB(static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8), static_cast<uint8_t>(p));
}
// Applies a binary raster operation (R2_ code) to pen and destination.
uint32_t Rop2(int rop2, uint32_t pen, uint32_t dst);
// Applies a ternary raster operation's index byte (bits 16..23 of the code).
uint32_t Rop3(uint8_t code, uint32_t pat, uint32_t src, uint32_t dst);
inline bool RopUsesSource(DWORD rop) {
  uint8_t c = static_cast<uint8_t>(rop >> 16);
  return ((c >> 2) & 0x33) != (c & 0x33);
}
inline bool RopUsesPattern(DWORD rop) {
  uint8_t c = static_cast<uint8_t>(rop >> 16);
  return ((c >> 4) & 0x0F) != (c & 0x0F);
}

// Gives a 32-bit top-left-first view of the pixels a DC draws on. Bitmaps of
// other depths are converted into a working copy and written back on
// destruction (when `write`); only `area` (target coordinates) is converted
// when given, and the view's clip stays inside it.
class TargetLock {
public:
  explicit TargetLock(DCObj* dc, bool write = true, const RECT* area = nullptr);
  ~TargetLock();
  TargetLock(const TargetLock&) = delete;
  TargetLock& operator=(const TargetLock&) = delete;
  const PixelView& View() const { return view_; }
  bool Ok() const { return view_.Valid(); }

private:
  BitmapObj* shadowOf_ = nullptr;
  PixelView view_;
};

// Pixels of 24 or 32 bits reached row by row: `stride` in bytes, negative
// for bottom-up memory; `owner` (the surface or bitmap) tells whether two
// rasters share pixels.
struct Raster {
  uint8_t* base = nullptr;
  ptrdiff_t stride = 0;
  int width = 0;
  int height = 0;
  int bpp = 32;
  const void* owner = nullptr;
  uint8_t* Row(int y) const { return base + static_cast<ptrdiff_t>(y) * stride; }
};
// The DC's pixels as a raster, when it draws on a window surface or on a
// 24-bit or plain 32-bit bitmap without a working copy open.
std::optional<Raster> RasterOf(DCObj* dc);
// The rows of a bitmap as they are stored (for bit counts of 24 and 32).
Raster BitmapRaster(BitmapObj* bm);
// n pixels of row y from x on as 32-bit pixels (24-bit ones opaque), and
// back (stored opaque).
void ReadSpan(const Raster& r, int y, int x, int n, uint32_t* out);
void WriteSpan(const Raster& r, int y, int x, int n, const uint32_t* in);
// Copies n pixels between rows of two rasters of either depth.
void CopySpan(const Raster& from, int fy, int fx, const Raster& to, int ty, int tx, int n);
// SRCCOPY from one raster to another: row copies when the sizes match,
// else the DC's stretch mode (HALFTONE boxes or nearest pixels) a row at a
// time. False when the DCs are not both rasters, share pixels, or the
// copy mirrors: the general blit then runs.
bool CopyBlt(DCObj* dest, int x, int y, int w, int h, DCObj* src, int xSrc, int ySrc, int sw, int sh);

// The visible area of the DC in target coordinates, as rectangles.
std::vector<RECT> ClipRects(const DCObj* dc, const PixelView& view);
RECT ClipBounds(const std::vector<RECT>& rects);
// The common part of a and b into `out` (empty and false when none).
inline bool IntersectRects(RECT& out, const RECT& a, const RECT& b) {
  out = {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
  if (out.left >= out.right || out.top >= out.bottom) {
    out = {};
    return false;
  }
  return true;
}

// What fills a mask: a pen colour, or a brush (solid, hatch, pattern).
struct Paint {
  const BrushObj* brush = nullptr;  // null: solid `color`
  uint32_t color = 0;               // pixel value for solid paint and hatch lines
  uint32_t bk = 0;                  // hatch background and dashed-pen gaps
  uint32_t text = 0;                // monochrome pattern's 0 bits
  bool opaqueBk = true;
  POINT brushOrg{};                 // target coordinates
  int rop2 = R2_COPYPEN;
  // The paint's pixel at (x, y); false where nothing is drawn.
  bool At(int x, int y, uint32_t& out) const;
};
Paint BrushPaint(const DCObj* dc, const BrushObj* brush);
Paint PenPaint(const DCObj* dc, const PenObj* pen);
bool BrushIsNull(const BrushObj* b);
bool PenIsNull(const PenObj* p);

// Shapes rasterise into a mask over a rectangle of the target: 255 = paint,
// 128 = gap of a dashed line (background colour when opaque), 0 = untouched.
struct Mask {
  int x0 = 0, y0 = 0, width = 0, height = 0;
  std::vector<uint8_t> bits;
  uint8_t* Row(int y) { return bits.data() + static_cast<size_t>(y) * static_cast<size_t>(width); }
  void Init(const RECT& r);
  void Set(int x, int y, uint8_t v) {
    x -= x0;
    y -= y0;
    if (x >= 0 && y >= 0 && x < width && y < height) bits[static_cast<size_t>(y) * width + x] = v;
  }
};
// Visits every pixel of the line from a up to b (b itself excluded), as GDI
// steps a thin line.
template <class Visit>
void WalkLine(POINT a, POINT b, Visit visit) {
  const long dx = std::labs(static_cast<long>(b.x) - a.x), dy = -std::labs(static_cast<long>(b.y) - a.y);
  const int sx = a.x < b.x ? 1 : -1, sy = a.y < b.y ? 1 : -1;
  long err = dx + dy, x = a.x, y = a.y;
  for (long i = 0, n = std::max(dx, -dy); i < n; ++i) {
    visit(static_cast<int>(x), static_cast<int>(y));
    const long e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y += sy;
    }
  }
}
// A rounded rectangle path (a plain one when a radius is not positive); the
// radii are cut to half the sides.
void RoundRectPath(cairo_t* cr, double l, double t, double r, double b, double rx, double ry);
// Paints the mask through the clip rectangles.
void ApplyMask(const PixelView& view, const std::vector<RECT>& clip, const Mask& mask, const Paint& paint);
// Fills or strokes a cairo path without anti-aliasing into a mask over `area`.
// `build` draws the path in target coordinates.
void RasterFill(Mask& mask, const std::function<void(cairo_t*)>& build, bool winding);
struct StrokeStyle {
  double width = 1;
  cairo_line_cap_t cap = CAIRO_LINE_CAP_ROUND;
  cairo_line_join_t join = CAIRO_LINE_JOIN_ROUND;
  std::vector<double> dashes;
};
void RasterStroke(Mask& mask, const std::function<void(cairo_t*)>& build, const StrokeStyle& style);
StrokeStyle PenStroke(const PenObj* pen, double scale);
// Bresenham from a to b, excluding b; `step` counts pixels along the pen's style.
void RasterThinLine(Mask& mask, POINT a, POINT b, const PenObj* pen, int& step);

// A cairo context over the DC's target, clipped to its visible area; null
// when the DC has nothing to draw on.
struct CairoTarget {
  explicit CairoTarget(DCObj* dc, bool write = true, const RECT* area = nullptr);
  ~CairoTarget();
  CairoTarget(const CairoTarget&) = delete;
  CairoTarget& operator=(const CairoTarget&) = delete;
  cairo_t* cr = nullptr;
  cairo_surface_t* surface = nullptr;
  TargetLock lock;
  std::vector<RECT> clip;
};
// A cairo surface over a pixel view (flipped by the context's matrix when
// the view runs bottom-up); caller destroys it.
cairo_surface_t* SurfaceForView(const PixelView& view, cairo_matrix_t* flip);

// Source pixels for blits: the 32-bit colour of (x, y) of a DC, with a
// monochrome device bitmap mapped through the destination's colours.
struct SourcePixels {
  SourcePixels(DCObj* src, const DCObj* dest, const RECT* area = nullptr);
  bool Ok() const { return lock.Ok(); }
  uint32_t At(int x, int y) const;  // x, y in target coordinates of the source
  TargetLock lock;
  bool mono = false;    // monochrome device bitmap onto colour: 0 = text, 1 = background colour
  bool toMono = false;  // colour onto a monochrome device bitmap: background colour -> white
  uint32_t zero = 0, one = 0, key = 0;
};

// Pixels of a row in a bitmap's format (`fmt` supplies bit count, colour
// table, masks and whether it is a DIB); used for bitmaps and for callers' DIB bits.
uint32_t ReadRowPixel(const BitmapObj& fmt, const uint8_t* row, int x);
void WriteRowPixel(const BitmapObj& fmt, uint8_t* row, int x, uint32_t pixel);

// Classic system colours for 3-D frames.
enum class SysColor { Face, Shadow, Highlight, DarkShadow, Light, Window, WindowText, GrayText };
COLORREF ClassicColor(SysColor which);

}  // namespace gdi
