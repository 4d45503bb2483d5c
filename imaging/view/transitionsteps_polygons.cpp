// Polygon and grid region steps: the new picture revealed through round
// rectangles, polygons, zigzag bands and grids of growing cells, each family
// one table of its kinds.
#include <vector>

#include "imaging/core/iesettings.h"
#include "imaging/view/transitionregions.h"
#include "imaging/view/transitionsteps.h"
#include "platform/win/olepicture.h"

namespace {

// Curved wipes: one round rectangle (left, top, right, bottom, corner
// ellipse width and height) whose rounded side sweeps across.
struct CurvedKind {
  TIETransitionType kind;
  const char* roundRect;
};

const CurvedKind kCurvedKinds[] = {
    {iettCurvedWipeFromLeft, "-2W, 0, 2X, H + 1, 2W, 2W"},
    {iettCurvedWipeFromRight, "W - 2X, 0, 3W, H + 1, 2W, 2W"},
    {iettCurvedWipeFromTop, "0, -2H, W + 1, 2Y, 2H, 2H"},
    {iettCurvedWipeFromBottom, "0, H - 2Y, W + 1, 3H, 2H, 2H"},
    {iettCurvedWipeFromTopLeft, "-W, -H, (3X) / 2, (3Y) / 2, 2W, 2H"},
    {iettCurvedWipeFromTopRight, "W - (3X) / 2, -H, 2W, (3Y) / 2, 2W, 2H"},
    {iettCurvedWipeFromBottomLeft, "-W, H - (3Y) / 2, (3X) / 2, 2H, 2W, 2H"},
    {iettCurvedWipeFromBottomRight, "W - (3X) / 2, H - (3Y) / 2, 2W, 2H, 2W, 2H"},
};

// Polygon wipes: up to four polygons (x, y pairs) united; a and b are named
// values the polygons may use; with xorFrame the union is cut out of the frame.
struct PolygonKind {
  TIETransitionType kind;
  const char* polygons[4];
  bool xorFrame = false;
  const char* a = "0";
  const char* b = "0";
};

const PolygonKind kPolygonKinds[] = {
    {iettWipeDiagonalFromTopLeft, {"0, 0, 2X, 0, 0, 2Y"}},
    {iettWipeDiagonalFromTopRight, {"W, 0, W - 2X, 0, W, 2Y"}},
    {iettWipeDiagonalFromBottomLeft, {"0, H, 2X, H, 0, H - 2Y"}},
    {iettWipeDiagonalFromBottomRight, {"W, H, W - 2X, H, W, H - 2Y"}},
    {iettDiagonalSweepClockwise, {"W, 0, 0, 0, W, Y", "W, H, 0, H, 0, H - Y"}},
    {iettDiagonalSweepCounterClockwise, {"0, H, 0, 0, X, H", "W, H, W, 0, W - X, 0"}},
    {iettStarburstClockwiseFromCenter,
     {"cx, cy, 0, 0, X, 0", "cx, cy, 0, H, 0, H - Y", "cx, cy, W, H, W - X, H", "cx, cy, W, 0, W, Y"}},
    {iettStarburstCounterClockwiseFromCenter,
     {"cx, cy, 0, 0, 0, Y", "cx, cy, 0, H, X, H", "cx, cy, W, H, W, H - Y", "cx, cy, W, 0, W - X, 0"}},
    {iettArrowWipeFromLeft, {"0, cy - Y, 2X, cy, 0, cy + Y"}},
    {iettArrowWipeFromRight, {"W, cy - Y, W - 2X, cy, W, cy + Y"}},
    {iettArrowWipeFromTop, {"cx - X, 0, cx, 2Y, cx + X, 0"}},
    {iettArrowWipeFromBottom, {"cx - X, H, cx, H - 2Y, cx + X, H"}},
    {iettHorizontalBowTieWipe, {"0, cy - Y, X, cy, 0, cy + Y", "W, cy - Y, W - X, cy, W, cy + Y"}},
    {iettVerticalBowTieWipe, {"cx - X, 0, cx, 2Y, cx + X, 0", "cx - X, H, cx, H - 2Y, cx + X, H"}},
    {iettDiagonalCrossToCenter,
     {"0, cy - b, a, cy, 0, cy + b", "W, cy - b, W - a, cy, W, cy + b", "cx - a, 0, cx, b, cx + a, 0",
      "cx - a, H, cx, H - b, cx + a, H"},
     false,
     "half(X)",
     "half(Y)"},
    {iettDiagonalCrossFromCenter,
     {"0, cy - b, a, cy, 0, cy + b", "W, cy - b, W - a, cy, W, cy + b", "cx - a, 0, cx, b, cx + a, 0",
      "cx - a, H, cx, H - b, cx + a, H"},
     true,
     "half(W - X)",
     "half(H - Y)"},
    {iettDiamondWipeFromCenter, {"cx - X, cy, cx, cy - Y, cx + X, cy, cx, cy + Y"}},
    {iettDiamondWipeToCenter, {"X - cx, cy, cx, Y - cy, 3cx - X, cy, cx, 3cy - Y"}, true},
};

HRGN polygonOf(const TStepValues& v, const char* points) {
  const std::vector<int32_t> c = v.List(points);
  std::vector<POINT> p;
  for (size_t i = 0; i + 1 < c.size(); i += 2) p.push_back({c[i], c[i + 1]});
  return PolygonRegion(p.data(), static_cast<int32_t>(p.size()));
}

HRGN polygonWipeRegion(const PolygonKind& k, TStepValues& v) {
  v.Set("a", v(k.a));
  v.Set("b", v(k.b));
  std::vector<HRGN> parts;
  for (const char* polygon : k.polygons)
    if (polygon) parts.push_back(polygonOf(v, polygon));
  HRGN region = CombineRegions(parts);
  if (k.xorFrame) region = CombineInto(CreateRectRgn(0, 0, v("W"), v("H")), region, RGN_XOR);
  return region;
}

// Zigzag bands growing from the centre line, or with toCenter an old band shrinking to it.
struct ZigzagKind {
  TIETransitionType kind;
  bool horizontal;
  bool toCenter;
};

const ZigzagKind kZigzagKinds[] = {
    {iettZigzagWipeFromHorizon, true, false},
    {iettZigzagWipeToHorizon, true, true},
    {iettZigzagWipeFromVerticalCenter, false, false},
    {iettZigzagWipeToVerticalCenter, false, true},
};

HRGN zigzagBand(const ZigzagKind& k, const TIETransitionFrame& frame) {
  const int32_t p = k.toCenter ? 100 - frame.Percent : frame.Percent;
  const TTransitionProgress g = TransitionProgress(frame.Rect, p);
  const int32_t twice = IEGetGlobalSettings()->TransitionAltDrawing ? 2 : 1;
  const int32_t length = k.horizontal ? g.W : g.H, across = k.horizontal ? g.H : g.W;
  const int32_t step = length / 10 * twice, amplitude = across / 10 * twice;
  const int32_t a = across / 2, b = MulDiv(amplitude, p, 100) + (k.horizontal ? g.Y : g.X) / 2;
  const int32_t e0 = a + amplitude - b, e1 = a - amplitude - b, e2 = a + amplitude + b, e3 = a - amplitude + b;
  POINT points[24];
  for (int32_t j = 0; j < 12; ++j) {
    const int32_t along = j * step, first = j % 2 == 0 ? e0 : e1, second = j % 2 == 0 ? e2 : e3;
    points[j] = k.horizontal ? POINT{along, first} : POINT{first, along};
    points[23 - j] = k.horizontal ? POINT{along, second} : POINT{second, along};
  }
  return PolygonRegion(points, 24);
}

void zigzagStep(const ZigzagKind& k, const TIETransitionFrame& frame) {
  HRGN band = zigzagBand(k, frame);
  if (!k.toCenter) {
    Reveal(frame, band);
    return;
  }
  CopyWhole(frame, frame.New);
  if (!band) return;
  DrawBitmapThroughRegion(frame.Canvas, frame.Rect.right - frame.Rect.left, frame.Rect.bottom - frame.Rect.top, band,
                          frame.Old);
  DeleteObject(band);
}

// Growing cells: a grid of squares, diamonds or triangles growing about their centres.
HRGN expandingRectangles(const TStepValues& v, int32_t percent) {
  const int32_t w = v("W"), h = v("H"), n = v("Min") / 10 + 1, a = MulDiv(n, percent, 100);
  TComplexRegion region;
  for (int32_t x = n; x - n < w; x += 2 * n)
    for (int32_t y = n; y - n < h; y += 2 * n) region.AddRect(x - a, y - a, x + a, y + a);
  return region.GetRegion();
}

HRGN expandingDiamonds(const TStepValues& v, int32_t percent) {
  const int32_t w = v("W"), h = v("H"), n = v("Min") / 10 + 1, a = MulDiv(n, percent, 50);
  std::vector<HRGN> cells;
  for (int32_t x = n; x - n < w; x += 2 * n)
    for (int32_t y = n; y - n < h; y += 2 * n) cells.push_back(PolygonRegion({x - a, y, x, y - a, x + a, y, x, y + a}));
  return CombineRegions(std::move(cells));
}

HRGN expandingTriangles(const TStepValues& v, int32_t percent) {
  const int32_t w = v("W"), h = v("H"), cw = w / 10 + 1, ch = h / 10 + 1;
  const int32_t hw = MulDiv(cw, percent, 50), hh = MulDiv(ch, percent, 50);
  const bool up = IEGetGlobalSettings()->TransitionAltDrawing;
  std::vector<HRGN> cells;
  for (int32_t x = cw; x - cw < w; x += 2 * cw)
    for (int32_t y = ch; y - ch < h + ch; y += 2 * ch)
      cells.push_back(up ? PolygonRegion({x - hw, y + hh, x, y - hh, x + hw, y + hh})
                         : PolygonRegion({x - hw, y - hh, x, y + hh, x + hw, y - hh}));
  return CombineRegions(std::move(cells));
}

}  // namespace

bool PolygonGridStep(TIETransitionType kind, const TIETransitionFrame& frame) {
  TStepValues v(frame);
  for (const CurvedKind& k : kCurvedKinds)
    if (k.kind == kind) {
      const std::vector<int32_t> r = v.List(k.roundRect);
      Reveal(frame, RoundRectRegion(r[0], r[1], r[2], r[3], r[4], r[5]));
      return true;
    }
  for (const PolygonKind& k : kPolygonKinds)
    if (k.kind == kind) {
      Reveal(frame, polygonWipeRegion(k, v));
      return true;
    }
  for (const ZigzagKind& k : kZigzagKinds)
    if (k.kind == kind) {
      zigzagStep(k, frame);
      return true;
    }
  switch (kind) {
    case iettExpandingRectangles:
      Reveal(frame, expandingRectangles(v, frame.Percent));
      return true;
    case iettExpandingDiamonds:
      Reveal(frame, expandingDiamonds(v, frame.Percent));
      return true;
    case iettExpandingTriangles:
      Reveal(frame, expandingTriangles(v, frame.Percent));
      return true;
    default:
      return false;
  }
}
