// The regions, shapes and helpers of the transition steps (see transitionregions.h).
#include "imaging/view/transitionregions.h"

#include <algorithm>
#include <cmath>

#include "imaging/core/iesettings.h"
#include "platform/rtl/system.h"
#include "platform/win/olepicture.h"

// ---- rectangle collector ---------------------------------------------------------

void TComplexRegion::Clear() {
  rects_.clear();
  bounds_ = {INT32_MAX, INT32_MAX, -INT32_MAX, -INT32_MAX};
}

void TComplexRegion::AddRect(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  if (x1 >= x2 || y1 >= y2) return;  // covers nothing
  if (rects_.size() == rects_.capacity()) rects_.reserve(rects_.size() + 500);
  rects_.push_back({x1, y1, x2, y2});
  bounds_.left = std::min(bounds_.left, x1);
  bounds_.top = std::min(bounds_.top, y1);
  bounds_.right = std::max(bounds_.right, x2);
  bounds_.bottom = std::max(bounds_.bottom, y2);
}

HRGN TComplexRegion::GetRegion() const {
  if (rects_.empty()) return nullptr;
  const size_t bytes = sizeof(RGNDATAHEADER) + rects_.size() * sizeof(RECT);
  std::vector<uint8_t> block(bytes);
  RGNDATAHEADER header;
  header.nCount = static_cast<DWORD>(rects_.size());
  header.nRgnSize = static_cast<DWORD>(rects_.size() * sizeof(RECT));
  header.rcBound = bounds_;
  std::copy_n(reinterpret_cast<const uint8_t*>(&header), sizeof header, block.data());
  std::copy_n(reinterpret_cast<const uint8_t*>(rects_.data()), rects_.size() * sizeof(RECT),
              block.data() + sizeof(RGNDATAHEADER));
  return ExtCreateRegion(nullptr, static_cast<DWORD>(bytes), reinterpret_cast<const RGNDATA*>(block.data()));
}

// ---- progress and drawing -----------------------------------------------------------

TTransitionProgress TransitionProgress(const RECT& rect, int32_t percent) {
  TTransitionProgress p;
  p.W = rect.right - rect.left;
  p.H = rect.bottom - rect.top;
  if (p.W >= p.H) {
    p.X = MulDiv(p.W, percent, 100);
    p.Y = MulDiv(p.X, p.H, p.W);
  } else {
    p.Y = MulDiv(p.H, percent, 100);
    p.X = MulDiv(p.Y, p.W, p.H);
  }
  return p;
}

void BlendColorIntoRect(HDC dc, const RECT& rect, TColor color, int32_t alpha) {
  const int32_t w = rect.right - rect.left, h = rect.bottom - rect.top;
  if (w <= 0 || h <= 0) return;
  TBitmap fill;
  fill.SetPixelFormat(pf24bit);
  fill.SetSize(w, h);
  fill.Canvas()->Brush()->SetColor(static_cast<TColor>(ColorToRGB(color)));
  fill.Canvas()->FillRect({0, 0, w, h});
  BLENDFUNCTION blend;
  blend.BlendOp = AC_SRC_OVER;
  blend.SourceConstantAlpha = static_cast<BYTE>(std::clamp(alpha, 0, 255));
  AlphaBlend(dc, rect.left, rect.top, w, h, fill.Canvas()->Handle(), 0, 0, w, h, blend);
}

void DrawBitmapThroughRegion(TCanvas* canvas, int32_t w, int32_t h, HRGN region, TBitmap* bitmap) {
  if (!region) return;
  const HDC dc = canvas->Handle();
  try {
    SelectClipRgn(dc, region);
    BitBlt(dc, 0, 0, w, h, bitmap->Canvas()->Handle(), 0, 0, SRCCOPY);
  } catch (...) {
    // A frame that cannot be drawn leaves the previous one.
  }
  SelectClipRgn(dc, nullptr);
}

void RotatePoints(POINT* points, int32_t high, int32_t cx, int32_t cy, long double angle) {
  const long double c = std::cos(angle), s = std::sin(angle);
  for (int32_t i = 0; i <= high; ++i) {
    const long double dx = points[i].x - cx, dy = points[i].y - cy;
    points[i].x = static_cast<LONG>(cx + Round(c * dx - s * dy));
    points[i].y = static_cast<LONG>(cy + Round(s * dx + c * dy));
  }
}

void StretchDrawMirrored(TCanvas* canvas, const RECT& dest, TBitmap* bitmap, RECT source, bool mirrorHorizontally,
                         bool mirrorVertically) {
  source.left = std::max<LONG>(source.left, 0);
  source.top = std::max<LONG>(source.top, 0);
  source.right = std::min<LONG>(source.right, bitmap->Width());
  source.bottom = std::min<LONG>(source.bottom, bitmap->Height());
  const int32_t sw = source.right - source.left, sh = source.bottom - source.top;
  int32_t x = dest.left, y = dest.top, w = dest.right - dest.left, h = dest.bottom - dest.top;
  if (sw <= 0 || sh <= 0 || w <= 0 || h <= 0) return;
  // A negative size runs back from its first pixel: the same pixels, mirrored.
  if (mirrorHorizontally) {
    x = dest.right - 1;
    w = -w;
  }
  if (mirrorVertically) {
    y = dest.bottom - 1;
    h = -h;
  }
  const HDC dc = canvas->Handle();
  SetStretchBltMode(dc, HALFTONE);
  StretchBlt(dc, x, y, w, h, bitmap->Canvas()->Handle(), source.left, source.top, sw, sh, SRCCOPY);
}

// ---- strips and fans ----------------------------------------------------------------------

HRGN PolygonRegion(const POINT* points, int32_t count) {
  if (count < 3) return nullptr;
  return CreatePolygonRgn(points, count, WINDING);
}

HRGN PolygonRegion(std::initializer_list<int32_t> coordinates) {
  std::vector<POINT> points;
  for (auto it = coordinates.begin(); it + 1 < coordinates.end(); it += 2) points.push_back({*it, *(it + 1)});
  return PolygonRegion(points.data(), static_cast<int32_t>(points.size()));
}

namespace {

bool altDrawing() { return IEGetGlobalSettings()->TransitionAltDrawing; }

// Adders of strips to a collector, given their extent along and across the
// strips: rows grow along x, columns along y.
auto rowsInto(TComplexRegion& region) {
  return [&region](int32_t a1, int32_t c1, int32_t a2, int32_t c2) { region.AddRect(a1, c1, a2, c2); };
}
auto columnsInto(TComplexRegion& region) {
  return [&region](int32_t a1, int32_t c1, int32_t a2, int32_t c2) { region.AddRect(c1, a1, c2, a2); };
}

// One axis of the bars: strips of thickness f across `across`, growing along
// `along` by progress p. add(a1, c1, a2, c2) takes the strip's extent along
// and across.
template <typename Add>
void barsAxis(int32_t p, int32_t along, int32_t across, int32_t kind, int32_t f, Add add) {
  if (kind == 0) return;
  const bool second = p > along;
  for (int32_t g = second ? f : 0; g < across + f; g += 2 * f) {
    if (!second) {
      if (kind == 1 || kind == 5) add(along - p, g, along, g + f);
      if (kind == 2 || kind == 4) add(0, g, p, g + f);
      if (kind == 3) {
        add(0, g + f, p, g + 2 * f);
        add(along - p, g, along, g + f);
      }
    } else {
      if (kind == 1 || kind == 4) add(2 * along - p, g, along, g + f);
      if (kind == 2 || kind == 5) add(0, g, p - along, g + f);
      add(0, g - f, along, g);
    }
  }
}

}  // namespace

HRGN BarsRegion(int32_t x, int32_t y, int32_t w, int32_t h, int32_t kindX, int32_t kindY) {
  const int32_t m = std::min(w, h) / 50;
  const int32_t f = altDrawing() ? m * 4 + 1 : m + 1;
  TComplexRegion region;
  barsAxis(x, w, h, kindX, f, rowsInto(region));
  barsAxis(y, h, w, kindY, f, columnsInto(region));
  return region.GetRegion();
}

namespace {

// One axis of the shredded strips; add as for the bars.
template <typename Add>
void shreddedAxis(int32_t p, int32_t along, int32_t across, int32_t kind, int32_t f, Add add) {
  if (kind == 0 || f <= 0) return;
  const int32_t m = p < along ? along / 10 : 0;
  const int32_t centre = along / 2;
  for (int32_t c = 0; c < across; c += f) {
    int32_t o = Random(2 * m) + p - m;
    const int32_t end = c + f + across % f;
    switch (kind) {
      case 1:
        add(along - o, c, along, end);
        break;
      case 2:
        add(0, c, o, end);
        break;
      case 3:
        o /= 2;
        add(centre - o, c, centre, end);
        add(centre, c, centre + o, end);
        break;
      default:
        o /= 2;
        add(along - o, c, along, end);
        add(0, c, o, end);
        break;
    }
  }
}

// One axis of the speckled wipe: a solid front and random specks ahead of it.
template <typename Add>
void speckledAxis(int32_t p, int32_t along, int32_t across, int32_t kind, Add add) {
  if (kind == 0) return;
  const int32_t g = p < along ? along / 10 : 0;
  const int32_t s = std::max(g / (altDrawing() ? 40 : 20), 2);
  const int32_t n = g / s, near = 3 * g / (4 * s);
  for (int32_t c = 0; c < across; c += std::max(s / 2, 1)) {
    if (kind == 1) add(along - p, c, along, c + s);
    else add(0, c, p, c + s);
    for (int32_t k = n; k >= 1; --k) {
      if (Random(k) > (k <= near ? 1 : 0)) continue;
      if (kind == 1) add(along - p - s * k, c, along - p - s * k + s, c + s);
      else add(p + s * k - s, c, p + s * k, c + s);
    }
  }
}

}  // namespace

HRGN ShreddedRegion(int32_t x, int32_t y, int32_t w, int32_t h, int32_t kindX, int32_t kindY) {
  const int32_t m = std::min(w, h) / 200;
  const int32_t f = altDrawing() ? m * 2 + 1 : m + 1;
  TComplexRegion region;
  shreddedAxis(x, w, h, kindX, f, rowsInto(region));
  shreddedAxis(y, h, w, kindY, f, columnsInto(region));
  return region.GetRegion();
}

HRGN SpeckledRegion(int32_t x, int32_t y, int32_t w, int32_t h, int32_t kindX, int32_t kindY) {
  TComplexRegion region;
  speckledAxis(x, w, h, kindX, rowsInto(region));
  speckledAxis(y, h, w, kindY, columnsInto(region));
  return region.GetRegion();
}

HRGN FanRegion(int32_t cx, int32_t cy, int32_t radius, long double startAngle, long double endAngle, int32_t count,
               bool forward) {
  count = std::max(count, 1);
  std::vector<POINT> points{{cx, cy}};
  const int32_t sign = forward ? 1 : -1;
  for (int32_t i = 0; i < count; ++i) {
    const long double a = startAngle + i * (endAngle - startAngle) / count;
    points.push_back({static_cast<LONG>(cx + sign * Round(radius * std::cos(a))),
                      static_cast<LONG>(cy + sign * Round(radius * std::sin(a)))});
  }
  return CreatePolygonRgn(points.data(), static_cast<int>(points.size()), WINDING);
}

// ---- combining ----------------------------------------------------------------------------

HRGN CombineInto(HRGN dest, HRGN src, int mode) {
  if (!dest) {
    // Nothing combined with src: the union or the symmetric difference is src,
    // the intersection and what is left of nothing are nothing.
    if (mode == RGN_OR || mode == RGN_XOR) return src;
    if (src) DeleteObject(src);
    return nullptr;
  }
  if (!src) {
    if (mode != RGN_AND) return dest;
    DeleteObject(dest);
    return nullptr;
  }
  CombineRgn(dest, dest, src, mode);
  DeleteObject(src);
  return dest;
}

HRGN CombineRegions(std::vector<HRGN> regions, int mode) {
  regions.erase(std::remove(regions.begin(), regions.end(), nullptr), regions.end());
  if (regions.empty()) return nullptr;
  // Neighbours first, then pairs of pairs: each pixel run is merged about
  // log2(n) times instead of n times.
  for (size_t width = 1; width < regions.size(); width *= 2)
    for (size_t i = 0; i + width < regions.size(); i += 2 * width)
      regions[i] = CombineInto(regions[i], regions[i + width], mode);
  return regions[0];
}

HRGN RoundRectRegion(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t ellipseW, int32_t ellipseH) {
  if (right <= left || bottom <= top) return nullptr;
  return CreateRoundRectRgn(left, top, right, bottom, ellipseW, ellipseH);
}
