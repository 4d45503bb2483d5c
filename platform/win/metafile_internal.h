// What the two metafile walkers share: a bounds-checked view of a record,
// the playback state (objects, DC state stack, mapping, path, clip) and the
// drawing calls that turn logical shapes into device geometry for GDI.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/win/gdi.h"

namespace metafile {

// Little-endian reads inside one record; every read is checked, a read past
// the end answers 0 and clears `ok`.
struct Bytes {
  const uint8_t* p = nullptr;
  size_t n = 0;
  bool ok = true;

  bool Has(size_t off, size_t len) const { return off <= n && len <= n - off; }
  uint8_t U8(size_t off) {
    if (!Has(off, 1)) return Fail();
    return p[off];
  }
  uint16_t U16(size_t off) {
    if (!Has(off, 2)) return Fail();
    return static_cast<uint16_t>(p[off] | (p[off + 1] << 8));
  }
  int16_t S16(size_t off) { return static_cast<int16_t>(U16(off)); }
  uint32_t U32(size_t off) {
    if (!Has(off, 4)) return Fail();
    return p[off] | (p[off + 1] << 8) | (p[off + 2] << 16) | (uint32_t{p[off + 3]} << 24);
  }
  int32_t S32(size_t off) { return static_cast<int32_t>(U32(off)); }
  float F32(size_t off);
  // The bytes [off, off + len) as a sub-view; empty and !ok when they do not fit.
  Bytes Sub(size_t off, size_t len);

private:
  uint8_t Fail() {
    ok = false;
    return 0;
  }
};

struct PointD {
  double x = 0, y = 0;
};

// x' = a x + c y + e, y' = b x + d y + f.
struct Affine {
  double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;
  PointD Apply(double x, double y) const { return {a * x + c * y + e, b * x + d * y + f}; }
  // This after `first`.
  Affine After(const Affine& first) const;
  double Scale() const;
  bool AxisAligned() const { return b == 0 && c == 0; }
};

struct Pen {
  UINT style = PS_SOLID;
  double width = 0;  // logical units; 0 = one pixel
  COLORREF color = 0;
};
struct Brush {
  UINT style = BS_SOLID;
  COLORREF color = RGB(255, 255, 255);
  int hatch = 0;
};
struct Font {
  LOGFONTW log;
};
// Objects this player creates but does not draw with (palettes, regions,
// pattern brushes of a Windows metafile) still hold their slot.
struct Other {};
using Object = std::variant<std::monostate, Pen, Brush, Font, Other>;

constexpr int MM_TEXT = 1, MM_LOMETRIC = 2, MM_HIMETRIC = 3, MM_LOENGLISH = 4, MM_HIENGLISH = 5,
              MM_TWIPS = 6, MM_ISOTROPIC = 7, MM_ANISOTROPIC = 8;

// An owned region handle that copies with the state.
struct Clip {
  HRGN rgn = nullptr;
  Clip() = default;
  Clip(const Clip& other);
  Clip& operator=(const Clip& other);
  ~Clip();
};

struct State {
  Pen pen;
  Brush brush;
  Font font;
  COLORREF text = 0, bk = RGB(255, 255, 255);
  int bkMode = OPAQUE, fillMode = ALTERNATE, rop2 = R2_COPYPEN, mapMode = MM_TEXT, stretchMode = BLACKONWHITE;
  UINT textAlign = 0;
  bool clockwise = false;
  PointD windowOrg, windowExt{1, 1}, viewportOrg, viewportExt{1, 1};
  Affine world;
  PointD pos;  // logical
  Clip clip;   // target coordinates; null = not clipped
};

// One figure of a path or a shape, in target coordinates.
struct Figure {
  std::vector<PointD> points;
  bool closed = false;
};

// A validated DIB: a header and colour table GDI reads, the bits it may read.
struct Dib {
  std::vector<uint8_t> info;  // BITMAPINFO with its colour table
  const uint8_t* bits = nullptr;
  int width = 0, height = 0;  // height as stored (negative: top-down)
  const BITMAPINFO* Info() const { return reinterpret_cast<const BITMAPINFO*>(info.data()); }
};
// Checks a DIB header (`header`: header and colour table) and its bits;
// nullopt when anything does not fit or the format is not drawn here.
std::optional<Dib> ParseDib(Bytes header, Bytes bits, UINT usage);
// A DIB whose header, table and bits follow each other in `block`.
std::optional<Dib> ParsePackedDib(Bytes block, UINT usage);

class Player {
public:
  Player(HDC dc, bool enhanced);
  ~Player();
  Player(const Player&) = delete;
  Player& operator=(const Player&) = delete;

  // -- set-up: reference pixels to target (enhanced), or the window the
  // target rectangle shows (Windows metafiles).
  void SetDestination(const Affine& toTarget) { dest_ = toTarget; }
  void SetPictureRect(const RECT& target) { picture_ = target; }
  void ReserveObjects(size_t count) { objects_.assign(count, std::monostate{}); }
  void SetMetricScale(double pxPerMmX, double pxPerMmY) {
    pxPerMmX_ = pxPerMmX;
    pxPerMmY_ = pxPerMmY;
  }

  State s;

  // -- objects (indexes checked; false stops the play)
  bool PutObject(size_t index, Object object);
  // The first free slot of a Windows metafile's table.
  bool AddObject(Object object);
  bool SelectObject(size_t index);
  bool SelectStock(uint32_t id);
  bool DeleteObject(size_t index);

  // -- state
  void SaveDC();
  void RestoreDC(int which);
  void SetMapMode(int mode);
  void ScaleExtent(PointD& ext, int32_t xNum, int32_t xDen, int32_t yNum, int32_t yDen);
  void ModifyWorld(const Affine& xf, uint32_t mode);

  // -- mapping
  Affine ToTarget() const;
  PointD Map(double x, double y) const { return ToTarget().Apply(x, y); }

  // -- clipping (logical rectangles; device region data of the metafile)
  void ClipRect(double l, double t, double r, double b, bool exclude);
  void ClipDeviceRects(const std::vector<RECT>& rects, int mode);
  void ClipPath(int mode);
  void ResetClip();

  // -- paths
  void BeginPath();
  void EndPath() { inPath_ = false; }
  void AbortPath();
  void CloseFigure();
  void FillPath(bool fill, bool stroke);

  // -- shapes in logical coordinates
  void MoveTo(double x, double y);
  void LineTo(double x, double y);
  void PolyTo(const std::vector<PointD>& pts, bool bezier);
  void Poly(const std::vector<PointD>& pts, bool closed, bool bezier);
  void PolyPoly(const std::vector<std::vector<PointD>>& polys, bool closed);
  void Rect(double l, double t, double r, double b);
  void RoundRect(double l, double t, double r, double b, double w, double h);
  void Ellipse(double l, double t, double r, double b);
  // kind: 0 arc, 1 chord, 2 pie.
  void Arc(double l, double t, double r, double b, PointD start, PointD end, int kind);
  void SetPixel(double x, double y, COLORREF color);
  void PatRect(double x, double y, double w, double h, DWORD rop);

  // -- text and pictures
  // `dx` in logical units, one per UTF-16 unit of `text` (or empty).
  void Text(double x, double y, const std::u16string& text, const std::vector<int32_t>& dx, UINT options,
            const std::optional<RECT>& rect);
  void StretchDib(double x, double y, double w, double h, int xSrc, int ySrc, int wSrc, int hSrc, const Dib& dib,
                  DWORD rop);

private:
  PointD MapPoint(PointD p) const { return ToTarget().Apply(p.x, p.y); }
  Affine Page() const;
  // Figures into the open path, or drawn now.
  void Emit(std::vector<Figure> figures, bool fill, bool stroke);
  void Draw(const std::vector<Figure>& figures, bool fill, bool stroke);
  void Sync();
  void ApplyClip();
  std::vector<PointD> EllipsePoints(double l, double t, double r, double b, double a0, double a1) const;
  bool AddPoints(size_t n);

  HDC dc_;
  bool enhanced_;
  int baseDepth_ = 0;
  Affine dest_;
  RECT picture_{};
  double pxPerMmX_ = 96 / 25.4, pxPerMmY_ = 96 / 25.4;
  std::vector<Object> objects_;
  std::vector<State> saved_;
  bool inPath_ = false;
  std::vector<Figure> path_;
  size_t pointBudget_ = size_t{1} << 22;
};

// The walkers: false when the data is not of their kind or a record does
// not fit.
bool PlayEnhanced(HDC dc, Bytes data, const RECT& rect);
bool PlayWindows(HDC dc, Bytes data, const RECT& rect);

}  // namespace metafile
