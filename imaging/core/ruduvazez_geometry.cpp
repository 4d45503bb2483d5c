// Point, rectangle and distance tests, angles and fitting.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numbers>

#include "imaging/core/ruduvazez.h"
#include "platform/rtl/system.h"

namespace {

constexpr double kFar = 1000000.0;
constexpr double kPi = std::numbers::pi;

bool Between(int32_t v, int32_t low, int32_t high) { return low <= v && v <= high; }

}  // namespace

bool IEPointInRect(int32_t x, int32_t y, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  return Between(x, left, right) && Between(y, top, bottom);
}

bool IEPointInTRect(int32_t x, int32_t y, const RECT& rect) {
  return IEPointInRect(x, y, rect.left, rect.top, rect.right, rect.bottom);
}

bool IEPointInBox(int32_t x, int32_t y, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  return IEPointInRect(x, y, std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2));
}

bool IEBoxesOverlap(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t left, int32_t top, int32_t right,
                    int32_t bottom) {
  return std::max(std::min(x1, x2), left) <= std::min(std::max(x1, x2), right) &&
         std::max(std::min(y1, y2), top) <= std::min(std::max(y1, y2), bottom);
}

int32_t IERectContainment(int32_t left1, int32_t top1, int32_t right1, int32_t bottom1, int32_t left2, int32_t top2,
                          int32_t right2, int32_t bottom2) {
  const POINT corners[] = {{left2, top2}, {right2, top2}, {left2, bottom2}, {right2, bottom2}};
  int inside = 0;
  for (const auto& c : corners) inside += IEPointInRect(c.x, c.y, left1, top1, right1, bottom1) ? 1 : 0;
  return inside == 4 ? 2 : inside > 0 ? 1 : 0;
}

void IESnapLineAngle(int32_t x1, int32_t y1, int32_t& x2, int32_t& y2) {
  int32_t dx = std::abs(x1 - x2), dy = std::abs(y1 - y2);
  if (dx + 30 < dy) {
    x2 = x1;
    return;
  }
  if (dy < dx - 30) {
    y2 = y1;
    return;
  }
  int32_t d = std::abs(dx - dy);
  bool wide = dx >= dy;
  if (x2 > x1 && y2 > y1) {
    (wide ? y2 : x2) += d;
  } else if (x2 < x1 && y2 < y1) {
    (wide ? x2 : y2) += d;
  } else if (x2 < x1 && y2 >= y1) {
    if (wide) y2 += d; else x2 -= d;
  } else if (x2 >= x1 && y2 < y1) {
    if (wide) y2 -= d; else x2 += d;
  }
}

double IEDistance(double x1, double y1, double x2, double y2) { return std::hypot(x2 - x1, y2 - y1); }

double IEPointToLineDistance(double x, double y, double x1, double y1, double x2, double y2) {
  double length = IEDistance(x1, y1, x2, y2);
  if (length == 0) return IEDistance(x, y, x1, y1);
  return std::fabs((y2 - y1) * x - (x2 - x1) * y + x2 * y1 - y2 * x1) / length;
}

double IEPointToSegmentDistance(double x, double y, double x1, double y1, double x2, double y2) {
  if (x1 == x2 && y1 == y2) return IEDistance(x, y, x1, y1);
  double t = ((x - x1) * (x2 - x1) + (y - y1) * (y2 - y1)) / ((x2 - x1) * (x2 - x1) + (y2 - y1) * (y2 - y1));
  if (!std::isfinite(t)) return kFar;
  double result;
  if (t > 1)
    result = std::fabs(x - x2) <= 45000 && std::fabs(y - y2) <= 45000 ? IEDistance(x, y, x2, y2) : kFar;
  else if (t >= 0)
    result = IEPointToLineDistance(x, y, x1, y1, x2, y2);
  else
    result = std::fabs(x1 - x) <= 45000 && std::fabs(y1 - y) <= 45000 ? IEDistance(x, y, x1, y1) : kFar;
  return std::isfinite(result) ? result : kFar;
}

double IEPointToPolylineDistance(int32_t x, int32_t y, const POINT* points, int32_t count, double orgX, double orgY,
                                 double offX, double offY, double zoomX, double zoomY, int32_t penWidth, bool closed) {
  double best = kFar;
  if (count <= 0 || points == nullptr) return best;
  auto map = [&](const POINT& p) {
    return POINT{static_cast<LONG>(Round((p.x - orgX) * zoomX + offX)),
                 static_cast<LONG>(Round((p.y - orgY) * zoomY + offY))};
  };
  const int32_t half = penWidth / 2;
  auto measure = [&](POINT a, POINT b) {
    best = std::min(best, IEPointToSegmentDistance(x, y, a.x, a.y, b.x, b.y));
    if (half <= 1) return;
    for (int32_t ox = -half; ox <= half; ++ox)
      for (int32_t oy = 2; oy <= half; ++oy)
        best = std::min(best, IEPointToSegmentDistance(x, y, a.x + ox, a.y + oy, b.x + ox, b.y + oy));
  };
  for (int32_t i = 0; i + 1 < count; ++i) measure(map(points[i]), map(points[i + 1]));
  if (closed) measure(map(points[count - 1]), map(points[0]));
  return best;
}

void IEExtendRectToPoint(RECT& rect, int32_t x, int32_t y) {
  rect.left = std::min(rect.left, x);
  rect.right = std::max(rect.right, x);
  rect.top = std::min(rect.top, y);
  rect.bottom = std::max(rect.bottom, y);
}

long double IEArcCos(long double x) {
  if (x == 1 || x == -1) return 0;
  return std::atan2(std::sqrt(1 - x * x), x);
}

double IEVectorAngle(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3) {
  long double ux = x2 - x1, uy = y2 - y1, vx = x3 - x2, vy = y3 - y2;
  long double lu = std::sqrt(ux * ux + uy * uy), lv = std::sqrt(vx * vx + vy * vy);
  if (lu == 0 || lv == 0) return 0;
  long double c = (ux * vx + uy * vy) / (lu * lv);
  if (std::fabs(c) > 1) return 0;
  return static_cast<double>(IEArcCos(c));
}

double IELineAngle(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  if (y1 == y2) return x2 >= x1 ? 0 : kPi;
  if (x1 == x2) return y2 < y1 ? kPi / 2 : 3 * kPi / 2;
  if (x2 > x1 && y2 < y1) return kPi - IEVectorAngle(x2, y2, x1, y1, x2, y1);
  if (x2 > x1) return IEVectorAngle(x2, y1, x1, y1, x2, y2) + kPi;
  if (y2 > y1) return 2 * kPi - IEVectorAngle(x2, y1, x1, y1, x2, y2);
  return IEVectorAngle(x2, y1, x1, y1, x2, y2);
}

int32_t IEPointsOrientation(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3) {
  int64_t d2x = int64_t{x2} - x1, d2y = int64_t{y2} - y1, d3x = int64_t{x3} - x1, d3y = int64_t{y3} - y1;
  int64_t k = d2x * d3y - d2y * d3x;
  if (k > 0) return 1;
  if (k < 0) return -1;
  if (d2x * d3x < 0 || d2y * d3y < 0) return -1;
  return d2x * d2x + d2y * d2y < d3x * d3x + d3y * d3y ? 1 : 0;
}

double IEAngleFromThreePoints(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3) {
  auto length = [](long double dx, long double dy) {
    long double l = std::sqrt(dx * dx + dy * dy);
    return l == 0 ? 1.0L : l;
  };
  long double a = length(x2 - x1, y2 - y1), b = length(x3 - x2, y3 - y2), c = length(x3 - x1, y3 - y1);
  long double angle = IEArcCos((a * a + b * b - c * c) / (2 * a * b));
  if (IEPointsOrientation(x1, y1, x2, y2, x3, y3) == -1) angle = 2 * std::numbers::pi_v<long double> - angle;
  return static_cast<double>(angle);
}

double IENormalizeDegrees(double angle) {
  double r = angle - std::floor(angle / 360) * 360;
  return angle < 0 && r != 0 ? r - 360 : r;
}

void IEFitSize(int32_t width, int32_t height, int32_t boxWidth, int32_t boxHeight, int32_t& outWidth,
               int32_t& outHeight) {
  if (width == 0 || height == 0) return;
  double f = std::min(static_cast<double>(boxWidth) / width, static_cast<double>(boxHeight) / height);
  outWidth = std::max<int32_t>(1, static_cast<int32_t>(std::trunc(width * f)));
  outHeight = std::max<int32_t>(1, static_cast<int32_t>(std::trunc(height * f)));
}

void IEFitSizeWithCrop(int32_t width, int32_t height, int32_t boxWidth, int32_t boxHeight, int32_t& visibleWidth,
                       int32_t& visibleHeight, int32_t cropPercent, int32_t& outWidth, int32_t& outHeight) {
  cropPercent = std::min(cropPercent, 100);
  if (width == 0 || height == 0 || boxWidth == 0 || boxHeight == 0) {
    visibleWidth = visibleHeight = outWidth = outHeight = 0;
    return;
  }
  const double fw = static_cast<double>(boxWidth) / width, fh = static_cast<double>(boxHeight) / height;
  const bool wider = static_cast<double>(width) / boxWidth > static_cast<double>(height) / boxHeight;
  double factor;
  if (cropPercent <= 0) {
    factor = wider ? fw : fh;
  } else if (wider) {
    factor = cropPercent == 100 ? 1000 : boxWidth / ((100 - cropPercent) * static_cast<double>(width) / 100);
    if (Round(height * factor) > boxHeight) factor = fh;
  } else {
    factor = cropPercent == 100 ? 1000 : boxHeight / ((100 - cropPercent) * static_cast<double>(height) / 100);
    if (Round(width * factor) > boxWidth) factor = fw;
  }
  outWidth = static_cast<int32_t>(Round(width * factor));
  outHeight = static_cast<int32_t>(Round(height * factor));
  visibleWidth = std::min(boxWidth, outWidth);
  visibleHeight = std::min(boxHeight, outHeight);
}

bool IEIsEqualGUID(const void* a, const void* b) { return std::memcmp(a, b, 16) == 0; }

// ---- hit-test distances of boxes and ellipses ------------------------------------------------

namespace {

// The smallest distance over the pen offsets -(penWidth div 2) .. penWidth div 2.
template <typename Measure>
double OverPenOffsets(int32_t penWidth, const Measure& measure) {
  double best = 2147483647;
  for (int32_t k = -(penWidth / 2); k <= penWidth / 2; ++k) best = std::min(best, measure(k));
  return best;
}

}  // namespace

double IEPointToBoxDistance(int32_t x, int32_t y, int32_t x1, int32_t y1, int32_t x2, int32_t y2, bool filled,
                            int32_t penWidth) {
  return OverPenOffsets(penWidth, [&](int32_t k) {
    const double left = x1 + k, top = y1 + k, right = x2 + k, bottom = y2 + k;
    if (filled && x >= std::min(left, right) && x <= std::max(left, right) && y >= std::min(top, bottom) &&
        y <= std::max(top, bottom))
      return 0.0;
    return std::min({IEPointToSegmentDistance(x, y, left, top, right, top),
                     IEPointToSegmentDistance(x, y, right, top, right, bottom),
                     IEPointToSegmentDistance(x, y, right, bottom, left, bottom),
                     IEPointToSegmentDistance(x, y, left, bottom, left, top)});
  });
}

double IEPointToEllipseDistance(int32_t x, int32_t y, int32_t x1, int32_t y1, int32_t x2, int32_t y2, bool filled,
                                int32_t penWidth) {
  const double px = x - (x1 + x2) / 2.0, py = y - (y1 + y2) / 2.0;
  return OverPenOffsets(penWidth, [&](int32_t k) {
    const int32_t rx = k + (x2 - x1) / 2, ry = k + (y2 - y1) / 2;
    int32_t count = static_cast<int32_t>(2 * std::numbers::pi * std::min(rx, ry));
    if (!filled) count /= 8;
    count = std::max(count, 2);
    double best = 2147483647;
    double lastX = rx, lastY = 0;
    for (int32_t w = 1; w < count; ++w) {
      const double angle = 2 * std::numbers::pi * w / count;
      const double vx = std::trunc(std::cos(angle) * rx), vy = std::trunc(std::sin(angle) * ry);
      if (filled) {
        best = std::min(best, std::trunc(IEPointToSegmentDistance(px, py, 0, 0, vx, vy)));
      } else {
        best = std::min(best, IEPointToSegmentDistance(px, py, lastX, lastY, vx, vy));
        lastX = vx;
        lastY = vy;
      }
    }
    return best;
  });
}
