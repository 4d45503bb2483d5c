// Selection polygons and the routines on them that need no view.
#include "imaging/view/imageryview_select.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "imaging/core/ruduvazez.h"

namespace {

bool IsSeparator(const POINT& p) { return p.x == IEPolygonSeparator; }

int32_t Nearest(double v) { return static_cast<int32_t>(std::nearbyint(v)); }

}  // namespace

// ---- TIESelectionPolygon ----------------------------------------------------------------

void TIESelectionPolygon::AddPoint(int32_t x, int32_t y) {
  Points.push_back(POINT{x, y});
  if (x == IEPolygonSeparator) return;
  int32_t real = 0;
  for (const POINT& p : Points)
    if (!IsSeparator(p) && ++real > 2) break;
  if (real == 1) {
    Left = Right = x;
    Top = Bottom = y;
  } else {
    Left = std::min(Left, x);
    Right = std::max(Right, x);
    Top = std::min(Top, y);
    Bottom = std::max(Bottom, y);
  }
}

void TIESelectionPolygon::Break() {
  if (!Points.empty()) Points.push_back(POINT{IEPolygonSeparator, 0});
}

void TIESelectionPolygon::Clear() {
  Points.clear();
  Left = Top = Right = Bottom = 0;
}

void TIESelectionPolygon::DropLast() {
  if (!Points.empty()) Points.pop_back();
  while (!Points.empty() && IsSeparator(Points.back())) Points.pop_back();
  RecalcBox();
}

void TIESelectionPolygon::RemoveLastSubPolygon() {
  while (!Points.empty() && !IsSeparator(Points.back())) Points.pop_back();
  if (!Points.empty()) Points.pop_back();  // the separator
  RecalcBox();
}

void TIESelectionPolygon::RecalcBox() {
  std::vector<POINT> points;
  points.swap(Points);
  Clear();
  for (const POINT& p : points) {
    if (IsSeparator(p)) Points.push_back(p);
    else AddPoint(p.x, p.y);
  }
}

// ---- routines ---------------------------------------------------------------------------

bool IEIsRectPolygon(const POINT* points, int32_t count) {
  if (count != 4) return false;
  for (int32_t i = 0; i < 4; ++i)
    if (IsSeparator(points[i])) return false;
  const POINT &a = points[0], &b = points[1], &c = points[2], &d = points[3];
  // Edges alternate horizontal and vertical, starting either way.
  const bool horizontalFirst = a.y == b.y && b.x == c.x && c.y == d.y && d.x == a.x;
  const bool verticalFirst = a.x == b.x && b.y == c.y && c.x == d.x && d.y == a.y;
  return horizontalFirst || verticalFirst;
}

void IEMoveSelectionPolygon(TIESelectionPolygon& polygon, int32_t dx, int32_t dy, bool cut, int32_t width,
                            int32_t height) {
  auto limit = [](int32_t low, int32_t high, int32_t d, int32_t size) {
    if (low + d < 0) d = -low;
    if (high + d > size) d = size - high;
    return d;
  };
  const bool outsideAfter = polygon.Right + dx <= 0 || polygon.Left + dx >= width || polygon.Bottom + dy <= 0 ||
                            polygon.Top + dy >= height;
  if (!cut || outsideAfter) {
    dx = limit(polygon.Left, polygon.Right, dx, width);
    dy = limit(polygon.Top, polygon.Bottom, dy, height);
    if (!cut && (polygon.Left + dx < 0 || polygon.Right + dx > width || polygon.Top + dy < 0 ||
                 polygon.Bottom + dy > height))
      return;  // a box larger than the bitmap cannot be kept inside
  }
  if (dx == 0 && dy == 0) return;
  polygon.Left = std::clamp(polygon.Left + dx, 0, width);
  polygon.Right = std::clamp(polygon.Right + dx, 0, width);
  polygon.Top = std::clamp(polygon.Top + dy, 0, height);
  polygon.Bottom = std::clamp(polygon.Bottom + dy, 0, height);
  for (POINT& p : polygon.Points) {
    if (IsSeparator(p)) continue;
    p.x = std::clamp(static_cast<int32_t>(p.x) + dx, 0, width);
    p.y = std::clamp(static_cast<int32_t>(p.y) + dy, 0, height);
  }
}

TIEGrip IERectPolygonGripAt(const TIESelectionPolygon& polygon, int32_t x, int32_t y, int32_t gripSize,
                            bool sideGrips, const std::function<POINT(POINT)>& toClient) {
  if (!IEIsRectPolygon(polygon)) return ieNone;
  POINT c[4];
  for (int i = 0; i < 4; ++i) c[i] = toClient(polygon.Points[i]);
  static constexpr TIEGrip corners[4] = {ieTopLeft, ieTopRight, ieBottomRight, ieBottomLeft};
  for (int i = 0; i < 4; ++i)
    if (std::abs(x - c[i].x) <= gripSize && std::abs(y - c[i].y) <= gripSize) return corners[i];
  if (!sideGrips) return ieNone;
  struct Side {
    int a, b;
    TIEGrip grip;
  };
  static constexpr Side sides[4] = {{0, 3, ieLeftSide}, {1, 2, ieRightSide}, {0, 1, ieTopSide}, {3, 2, ieBottomSide}};
  for (const Side& s : sides)
    if (IEPointToSegmentDistance(x, y, c[s.a].x, c[s.a].y, c[s.b].x, c[s.b].y) < 3) return s.grip;
  return ieNone;
}

std::vector<POINT> IEEllipsePolygon(int32_t cx, int32_t cy, int32_t rx, int32_t ry, int32_t width, int32_t height) {
  const double twoPi = 2 * std::numbers::pi;
  const int32_t n = std::max(static_cast<int32_t>(std::min(rx, ry) * twoPi), 50);
  std::vector<POINT> points(static_cast<size_t>(n));
  for (int32_t h = 0; h < n; ++h) {
    const double angle = twoPi * h / n;
    points[h].x = std::clamp(Nearest(std::cos(angle) * rx + cx), 0, width);
    points[h].y = std::clamp(Nearest(std::sin(angle) * ry + cy), 0, height);
  }
  return points;
}

TColor IEOutlineDashColor(TIESelectionPolygon& polygon) {
  if (polygon.DashCounter > 7 || polygon.DashCounter < 0) polygon.DashCounter = 0;
  const TColor color = polygon.DashCounter <= 3 ? polygon.Color1 : polygon.Color2;
  ++polygon.DashCounter;
  return color;
}

int32_t IETunedOutlineInterval(int64_t elapsedMs, int32_t divisor) {
  const int64_t d = divisor == 0 ? 20 : std::abs(int64_t{divisor});
  return static_cast<int32_t>(std::clamp<int64_t>(elapsedMs * 100 / d, 210, INT32_MAX));
}
