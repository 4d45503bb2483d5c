// The area-weighted interpolating resize cores (bilinear and bicubic) and
// the perspective drawing of a picture onto a quadrilateral.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "imaging/processing/imageryproc.h"

double IECubicInterpolate(int32_t pm1, int32_t p0, int32_t p1, double t, int32_t p2, double low, double high) {
  const auto inner = [](double a) { return (a - 2) * a * a + 1; };
  const auto outer = [](double a) { return ((-a + 5) * a - 8) * a + 4; };
  double value = pm1 * outer(std::fabs(t + 1)) + p0 * inner(std::fabs(t)) + p1 * inner(std::fabs(t - 1)) +
                 p2 * outer(std::fabs(t - 2));
  if (value < low) value = low;
  if (value > high) value = high;
  return value;
}

namespace {

constexpr double kTie = 0.0001;  // a source boundary this close to a destination one counts as after it

// One piece of a row walk: source column Column, destination column Dest,
// Length source pixels long, interpolated at Position past the column.
struct TSegment {
  int32_t Column;
  int32_t Dest;
  double Length;
  double Position;
};

// The pieces of a walk over source and destination boundaries together.
std::vector<TSegment> WalkAxis(int32_t sourceCount, int32_t destCount) {
  const double ratio = static_cast<double>(sourceCount) / destCount;
  std::vector<TSegment> segments;
  segments.reserve(static_cast<size_t>(sourceCount) + destCount);
  int32_t column = 0, dest = 0;
  double boundary = 0, at = 0;
  while (dest < destCount) {
    const int32_t here = std::min(column, sourceCount - 1);
    if (column + 1 + kTie >= boundary + ratio) {
      const double end = boundary + ratio;
      segments.push_back({here, dest, end - at, end - column});
      at = boundary = end;
      ++dest;
    } else {
      segments.push_back({here, dest, column + 1 - at, 1.0});
      at = column + 1;
      ++column;
    }
  }
  return segments;
}

// Samples are whole pixel values.
template <typename T>
double Cubic(double pm1, double p0, double p1, double p2, double t) {
  constexpr double top = sizeof(T) == 1 ? 255 : 65535;
  return IECubicInterpolate(static_cast<int32_t>(pm1), static_cast<int32_t>(p0), static_cast<int32_t>(p1), t,
                            static_cast<int32_t>(p2), 0.0, top);
}

// Index of the pixel whose colour replaces the bilinear mix when the four
// alphas differ: the last (S here, S right, V here, V right) whose alpha
// exceeds at least one other; -1 when all are equal.
int32_t OpaqueCorner(const std::array<double, 4>& alphas) {
  if (alphas[0] == alphas[1] && alphas[1] == alphas[2] && alphas[2] == alphas[3]) return -1;
  const double lowest = *std::min_element(alphas.begin(), alphas.end());
  for (int32_t k = 3; k >= 0; --k)
    if (alphas[k] > lowest) return k;
  return -1;
}

template <typename T, int32_t Channels>
void ResampleCore(TIEBitmap* source, TIEBitmap* dest, TIEBitmap* alpha, bool bicubic,
                  const TIEProgressEvent& onProgress, TObject* sender) {
  constexpr int32_t top = sizeof(T) == 1 ? 255 : 65535;
  const int32_t srcW = source->GetWidth(), srcH = source->GetHeight();
  const int32_t dstW = dest->GetWidth(), dstH = dest->GetHeight();
  if (srcW < 1 || srcH < 1 || dstW < 1 || dstH < 1) return;
  const double xr = static_cast<double>(srcW) / dstW, yr = static_cast<double>(srcH) / dstH;
  const bool growX = xr < 1, growY = yr < 1;
  const bool withAlpha = Channels == 3 && alpha && alpha->GetWidth() == srcW && alpha->GetHeight() == srcH &&
                         alpha->GetPixelFormat() == ie8g;
  const std::vector<TSegment> columns = WalkAxis(srcW, dstW);

  // Copies of the source rows and their alphas, by row number.
  const size_t rowSamples = static_cast<size_t>(srcW) * Channels;
  std::array<std::vector<T>, 4> rowCopies;
  std::array<std::vector<double>, 4> alphaCopies;
  std::array<int32_t, 4> held = {-1, -1, -1, -1};
  const auto fetch = [&](int32_t slot, int32_t row) {
    row = std::clamp(row, 0, srcH - 1);
    if (held[slot] == row) return;
    held[slot] = row;
    rowCopies[slot].resize(rowSamples);
    std::memcpy(rowCopies[slot].data(), source->GetScanline(row), rowSamples * sizeof(T));
    alphaCopies[slot].assign(static_cast<size_t>(srcW), 1.0);
    if (withAlpha) {
      const uint8_t* a = alpha->GetScanline(row);
      for (int32_t x = 0; x < srcW; ++x) alphaCopies[slot][x] = a[x] / 255.0;
    }
  };

  std::vector<double> sums(static_cast<size_t>(dstW) * Channels, 0.0);
  std::vector<T> out(static_cast<size_t>(dstW) * Channels);
  const double norm = 1 / (xr * yr);
  int32_t sourceRow = 0, destRow = 0;
  double boundary = 0, at = 0;
  while (destRow < dstH) {
    const int32_t n = std::min(sourceRow, srcH - 1);
    double height, dy;
    const bool endsRow = sourceRow + 1 + kTie >= boundary + yr;
    if (endsRow) {
      const double end = boundary + yr;
      height = end - at;
      dy = end - sourceRow;
      at = boundary = end;
    } else {
      height = sourceRow + 1 - at;
      dy = 1.0;
      at = sourceRow + 1;
    }
    fetch(0, n - 1);
    fetch(1, n);
    fetch(2, n + 1);
    fetch(3, n + 2);
    const T* U = rowCopies[0].data();
    const T* S = rowCopies[1].data();
    const T* V = rowCopies[2].data();
    const T* W = rowCopies[3].data();
    for (const TSegment& seg : columns) {
      const int32_t here = seg.Column;
      const int32_t left = std::max(here - 1, 0), right = std::min(here + 1, srcW - 1),
                    right2 = std::min(here + 2, srcW - 1);
      const double dx = seg.Position;
      const double area = seg.Length * height;
      int32_t corner = -1;
      if (!bicubic && growX && growY && withAlpha)
        corner = OpaqueCorner({alphaCopies[1][here], alphaCopies[1][right], alphaCopies[2][here],
                               alphaCopies[2][right]});
      for (int32_t c = 0; c < Channels; ++c) {
        const auto at4 = [&](const T* row, int32_t x) { return static_cast<double>(row[x * Channels + c]); };
        double v;
        if (!growX && !growY) {
          v = at4(S, here);
        } else if (!bicubic) {
          if (corner >= 0) {
            const T* rows[4] = {S, S, V, V};
            const int32_t xs[4] = {here, right, here, right};
            v = at4(rows[corner], xs[corner]);
          } else if (growX && !growY) {
            v = (1 - dx) * at4(S, here) + dx * at4(S, right);
          } else if (!growX) {
            v = (1 - dy) * at4(S, here) + dy * at4(V, here);
          } else {
            v = (1 - dy) * ((1 - dx) * at4(S, here) + dx * at4(S, right)) +
                dy * ((1 - dx) * at4(V, here) + dx * at4(V, right));
          }
        } else {
          const auto alongX = [&](const T* row) {
            return Cubic<T>(at4(row, left), at4(row, here), at4(row, right), at4(row, right2), dx);
          };
          if (growX && !growY) {
            v = alongX(S);
          } else if (!growX) {
            v = Cubic<T>(at4(U, here), at4(S, here), at4(V, here), at4(W, here), dy);
          } else {
            v = Cubic<T>(std::nearbyint(alongX(U)), std::nearbyint(alongX(S)), std::nearbyint(alongX(V)),
                         std::nearbyint(alongX(W)), dy);
          }
        }
        sums[static_cast<size_t>(seg.Dest) * Channels + c] += v * area;
      }
    }
    if (endsRow) {
      for (size_t k = 0; k < sums.size(); ++k)
        out[k] = static_cast<T>(std::clamp(static_cast<int32_t>(std::nearbyint(sums[k] * norm)), 0, top));
      std::memcpy(dest->GetScanline(destRow), out.data(), out.size() * sizeof(T));
      std::fill(sums.begin(), sums.end(), 0.0);
      ++destRow;
      if (onProgress) onProgress(sender, static_cast<int32_t>(std::trunc(100.0 * destRow / dstH)));
    } else {
      ++sourceRow;
    }
  }
}

}  // namespace

void IEInterpolatingResample(TIEBitmap* source, TIEBitmap* dest, TIEBitmap* alpha, bool bicubic,
                             const TIEProgressEvent& onProgress, TObject* sender) {
  if (!source || !dest || source->GetPixelFormat() != dest->GetPixelFormat()) return;
  if (source->GetPixelFormat() == ie24RGB)
    ResampleCore<uint8_t, 3>(source, dest, alpha, bicubic, onProgress, sender);
  else if (source->GetPixelFormat() == ie8g)
    ResampleCore<uint8_t, 1>(source, dest, nullptr, bicubic, onProgress, sender);
}

void IEInterpolatingResample16(TIEBitmap* source, TIEBitmap* dest, bool bicubic, const TIEProgressEvent& onProgress,
                               TObject* sender) {
  if (!source || !dest || source->GetPixelFormat() != dest->GetPixelFormat()) return;
  if (source->GetPixelFormat() == ieRGB48)
    ResampleCore<uint16_t, 3>(source, dest, nullptr, bicubic, onProgress, sender);
  else if (source->GetPixelFormat() == ie16Gray)
    ResampleCore<uint16_t, 1>(source, dest, nullptr, bicubic, onProgress, sender);
}

// ---- perspective --------------------------------------------------------------------------------

void IEPerspectiveDraw(TIEBitmap* source, TIEBitmap* dest, int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t x2,
                       int32_t y2, int32_t x3, int32_t y3, int32_t gradientMin, int32_t gradientMax, bool blend,
                       int32_t opacity) {
  if (!source || !dest || source->GetPixelFormat() != ie24RGB || dest->GetPixelFormat() != ie24RGB) return;
  const int32_t srcW = source->GetWidth(), srcH = source->GetHeight();
  const int32_t dstW = dest->GetWidth(), dstH = dest->GetHeight();
  if (srcW < 1 || srcH < 1 || dstW < 1 || dstH < 1) return;
  const int32_t maxX = std::max({x0, x1, x2, x3}), maxY = std::max({y0, y1, y2, y3});
  const int32_t minX = std::min({x0, x1, x2, x3}), minY = std::min({y0, y1, y2, y3});
  if (maxX == -1 || maxY == -1 || x0 == x1 || y0 == y2 || opacity == 0) return;
  const double sx = maxX + 1.0, sy = maxY + 1.0;
  const double nx0 = x0 / sx, ny0 = y0 / sy, nx1 = x1 / sx, ny1 = y1 / sy, nx2 = x2 / sx, ny2 = y2 / sy,
               nx3 = x3 / sx, ny3 = y3 / sy;
  double a, b, d, e, g, h;
  const double sumX = nx0 - nx1 + nx2 - nx3, sumY = ny0 - ny1 + ny2 - ny3;
  if (sumX == 0 && sumY == 0) {
    g = h = 0;
    a = nx1 - nx0;
    b = nx2 - nx1;
    d = ny1 - ny0;
    e = ny2 - ny1;
  } else {
    const double dx1 = nx1 - nx2, dx2 = nx3 - nx2, dy1 = ny1 - ny2, dy2 = ny3 - ny2;
    const double den = dx1 * dy2 - dy1 * dx2;
    if (std::fabs(den) < 1e-12) return;  // three corners on one line: no quadrilateral to draw on
    g = (sumX * dy2 - sumY * dx2) / den;
    h = (dx1 * sumY - dy1 * sumX) / den;
    a = nx1 - nx0 + g * nx1;
    b = nx3 - nx0 + h * nx3;
    d = ny1 - ny0 + g * ny1;
    e = ny3 - ny0 + h * ny3;
  }
  const double c = nx0, f = ny0;
  const double A = e - f * h, B = c * h - b, C = b * f - c * e, D = f * g - d, E = a - c * g, F = c * d - a * f,
               G = d * h - e * g, H = b * g - a * h, I = a * e - b * d;
  TIEBitmap* sourceAlpha = source->GetAlphaChannel();
  TIEBitmap* destAlpha = blend ? nullptr : dest->GetAlphaChannel();
  const bool gradient = gradientMin >= 0 && gradientMax >= 0;
  const bool upright = y0 < y3;
  const auto limitGradient = [&](int32_t value) {
    if (value < gradientMin) return gradientMin;
    if (value > gradientMax) return gradientMax;
    return value;
  };
  const int32_t rowFirst = std::clamp(minY, 0, dstH - 1), rowLast = std::clamp(maxY, 0, dstH - 1);
  const int32_t colFirst = std::clamp(minX, 0, dstW - 1), colLast = std::clamp(maxX, 0, dstW - 1);
  for (int32_t y = rowFirst; y <= rowLast; ++y) {
    const double yn = y / sy;
    const double qRow = H * yn + I, uRow = B * yn + C, vRow = E * yn + F;
    for (int32_t x = colFirst; x <= colLast; ++x) {
      const double xn = x / sx;
      double q = G * xn + qRow;
      if (q == 0) q = 1;
      const double u = srcW * (A * xn + uRow) / q + 0.5;
      const double v = srcH * (D * xn + vRow) / q + 0.5;
      if (!(u >= 0 && u < srcW && v >= 0 && v < srcH)) continue;
      const int32_t su = static_cast<int32_t>(u), row = static_cast<int32_t>(v);
      const TRGB pixel = source->GetPixel24(su, row);
      const int32_t sa = sourceAlpha->GetPixel8(su, row);
      if (blend) {
        int32_t alphaValue = std::min(opacity, sa);
        if (gradient) {
          const int32_t fade = upright ? 255 - row * 255 / srcH : row * 255 / srcH;
          alphaValue = limitGradient(std::min({fade, sa, opacity}));
        }
        TRGB target = dest->GetPixel24(x, y);
        const auto mix = [&](uint8_t s, uint8_t t) {
          return static_cast<uint8_t>(t + static_cast<int32_t>(std::floor(alphaValue * (s - t) / 256.0)));
        };
        target = {mix(pixel.b, target.b), mix(pixel.g, target.g), mix(pixel.r, target.r)};
        dest->SetPixel24(x, y, target);
      } else {
        dest->SetPixel24(x, y, pixel);
        int32_t alphaValue = std::min(sa, opacity);
        if (gradient) {
          const double part = static_cast<double>(row) / srcH;
          const int32_t fade = static_cast<int32_t>(std::trunc(sa * (upright ? 1 - part : part)));
          alphaValue = limitGradient(std::min({fade, sa, opacity}));
        }
        destAlpha->SetPixel8(x, y, static_cast<uint8_t>(std::clamp(alphaValue, 0, 255)));
      }
    }
  }
  if (destAlpha) destAlpha->SetFullFlag(false);
}
