// Base64 output, fitting a picture into a box, YCbCr conversions, file-size
// texts, the generic quicksort, polygon geometry of the vector objects, the
// preview backgrounds' ramp and small text and colour helpers.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <numbers>

#include "imaging/core/ruduvazez.h"
#include "platform/rtl/sysutils.h"

// ---- Base64 ------------------------------------------------------------------------------------

void IEBase64EncodeGroup(const uint8_t* source, char* out, int32_t count) {
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  const uint32_t group = uint32_t{source[0]} << 16 | uint32_t{count > 1 ? source[1] : 0u} << 8 |
                         (count > 2 ? source[2] : 0u);
  for (int i = 0; i < 4; ++i) out[i] = i <= count ? kAlphabet[group >> (18 - 6 * i) & 63] : '=';
}

void IEStreamToBase64(TStream& source, TStream& dest, int32_t lineLength) {
  const int32_t groupsPerLine = std::max((lineLength + 3) / 4, 1);
  std::string line;
  int32_t groups = 0;
  uint8_t bytes[3];
  for (int32_t got; (got = source.Read(bytes, 3)) > 0;) {
    char text[4];
    IEBase64EncodeGroup(bytes, text, got);
    line.append(text, 4);
    if (++groups == groupsPerLine) {
      IEWriteLineCRLF(dest, line);
      line.clear();
      groups = 0;
    }
  }
  if (groups > 0) IEWriteLineCRLF(dest, line);
}

// ---- fitting -----------------------------------------------------------------------------------

RECT IEGetFitRect(int32_t imageWidth, int32_t imageHeight, const RECT& box, bool fill, bool centreVertically,
                  bool centreHorizontally, bool allowShrink, bool allowEnlarge) {
  const int32_t boxWidth = box.right - box.left, boxHeight = box.bottom - box.top;
  if (imageWidth <= 0 || imageHeight <= 0 || boxWidth <= 0 || boxHeight <= 0)
    return RECT{box.left, box.top, 0, 0};
  const bool wider = double(imageWidth) / boxWidth > double(imageHeight) / boxHeight;
  const bool byWidth = wider != fill;
  const double image = byWidth ? imageWidth : imageHeight, target = byWidth ? boxWidth : boxHeight;
  const bool allowed = image > target ? allowShrink : allowEnlarge;
  const double scale = allowed ? target / image : 1.0;
  const auto width = static_cast<int32_t>(std::lround(imageWidth * scale));
  const auto height = static_cast<int32_t>(std::lround(imageHeight * scale));
  RECT result;
  result.left = box.left + (centreHorizontally ? static_cast<int32_t>(boxWidth / 2.0 - width / 2.0) : 0);
  result.top = box.top + (centreVertically ? static_cast<int32_t>(boxHeight / 2.0 - height / 2.0) : 0);
  result.right = result.left + width;
  result.bottom = result.top + height;
  return result;
}

void IEGetFitSize(int32_t imageWidth, int32_t imageHeight, int32_t boxWidth, int32_t boxHeight, int32_t& width,
                  int32_t& height, bool fill, bool allowEnlarge) {
  const RECT r = IEGetFitRect(imageWidth, imageHeight, RECT{0, 0, boxWidth, boxHeight}, fill, false, false, true,
                              allowEnlarge);
  width = r.right - r.left;
  height = r.bottom - r.top;
}

// ---- YCbCr -------------------------------------------------------------------------------------

namespace {
uint8_t ClampTruncated(double v) { return static_cast<uint8_t>(std::clamp(std::trunc(v), 0.0, 255.0)); }
}  // namespace

void IERGBToYCbCr(uint32_t color, uint8_t& y, uint8_t& cb, uint8_t& cr) {
  const double r = color >> 16 & 0xFF, g = color >> 8 & 0xFF, b = color & 0xFF;
  y = ClampTruncated(0.299 * r + 0.587 * g + 0.114 * b);
  cb = ClampTruncated(-0.16874 * r - 0.33126 * g + 0.5 * b + 128);
  cr = ClampTruncated(0.5 * r - 0.41869 * g - 0.08131 * b + 128);
}

void IEYCbCrToBGR(uint8_t* bgr, int32_t y, int32_t cb, int32_t cr) {
  bgr[2] = ClampTruncated(y + 1.402 * (cr - 128));
  bgr[1] = ClampTruncated(y - 0.34414 * (cb - 128) - 0.71414 * (cr - 128));
  bgr[0] = ClampTruncated(y + 1.772 * (cb - 128));
}

// ---- file sizes --------------------------------------------------------------------------------

std::string IEFloatToStrTrim(const std::string& text) {
  if (text.find('.') == std::string::npos) return text;
  std::string result = text;
  while (!result.empty() && result.back() == '0') result.pop_back();
  if (!result.empty() && result.back() == '.') result.pop_back();
  return result;
}

std::string IEBytesToStr(int64_t size, int64_t limit) {
  if (size < limit) return Format("%.0n", {static_cast<long double>(size)}) + " bytes";
  return Format("%.0n", {static_cast<long double>(size / 1024)}) + " KB";
}

std::string IEFileSizeToStr(int64_t size) {
  if (size < 10485760) return IEBytesToStr(size, 1024);
  if (size < 1073741824) return IEFloatToStrTrim(Format("%.2f", {size / 1048576.0L})) + " MB";
  return IEFloatToStrTrim(Format("%.2f", {size / 1073741824.0L})) + " GB";
}

// ---- quicksort ---------------------------------------------------------------------------------

void IEQuickSort(int32_t count, const std::function<void(int32_t, int32_t)>& swap,
                 const std::function<int32_t(int32_t, int32_t)>& compare) {
  if (count < 1) return;
  std::function<void(int32_t, int32_t)> sort = [&](int32_t lo, int32_t hi) {
    while (lo < hi) {
      int32_t i = lo, j = hi, pivot = lo + (hi - lo) / 2;
      while (i <= j) {
        while (compare(i, pivot) < 0) ++i;
        while (compare(j, pivot) > 0) --j;
        if (i > j) break;
        if (i != j) {
          swap(i, j);
          if (pivot == i)
            pivot = j;  // the pivot's element moved
          else if (pivot == j)
            pivot = i;
        }
        ++i;
        --j;
      }
      if (lo < j) sort(lo, j);
      lo = i;
    }
  };
  sort(0, count - 1);
}

// ---- polygons ----------------------------------------------------------------------------------

bool IEPointInPolygon(int32_t x, int32_t y, const POINT* points, int32_t lastIndex) {
  bool inside = false;
  for (int32_t i = 0, j = lastIndex; i <= lastIndex; j = i++) {
    const POINT& pi = points[i];
    const POINT& pj = points[j];
    if (((pi.y <= y && y < pj.y) || (pj.y <= y && y < pi.y)) &&
        x < double(pj.x - pi.x) * (y - pi.y) / double(pj.y - pi.y) + pi.x)
      inside = !inside;
  }
  return inside;
}

void IERotatePoints(POINT* points, int32_t lastIndex, int32_t cx, int32_t cy, double angle) {
  const double radians = -angle * std::numbers::pi / 180.0;
  const double c = std::cos(radians), s = std::sin(radians);
  for (int32_t i = 0; i <= lastIndex; ++i) {
    const double dx = points[i].x - cx, dy = points[i].y - cy;
    points[i].x = cx + static_cast<int32_t>(std::trunc(dx * c - dy * s));
    points[i].y = cy + static_cast<int32_t>(std::trunc(dx * s + dy * c));
  }
}

std::vector<POINT> IEBezierPoints(POINT p0, POINT p1, POINT p2, POINT p3, int32_t n) {
  std::vector<POINT> points;
  if (n < 1) return points;
  const double step = 1.0 / n;
  double t = 0;
  for (int32_t k = 0; k < n; ++k) {
    t += step;
    const double u = 1 - t, a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
    points.push_back(POINT{static_cast<LONG>(std::lround(a * p0.x + b * p1.x + c * p2.x + d * p3.x)),
                           static_cast<LONG>(std::lround(a * p0.y + b * p1.y + c * p2.y + d * p3.y))});
  }
  return points;
}

// ---- preview backgrounds -----------------------------------------------------------------------

std::vector<double> IEGaussRamp(int32_t n, double low, double high, double s) {
  std::vector<double> values(static_cast<size_t>(std::max(n, 0)));
  double largest = 0;
  for (int32_t k = 0; k < n; ++k) {
    const double t = 2.0 * k / n - 1;
    values[k] = std::exp(-0.5 * s * s * t * t) / (s * std::sqrt(2 * std::numbers::pi));
    largest = std::max(largest, values[k]);
  }
  for (double& v : values) v = low + (largest > 0 ? v / largest : 0) * (high - low);
  return values;
}

// ---- colours and texts -------------------------------------------------------------------------

int32_t IENearestPaletteIndex(const TRGB* palette, int32_t count, TRGB color) {
  int32_t best = 0;
  int64_t bestDistance = INT64_MAX;
  for (int32_t i = 0; i < count; ++i) {
    const int64_t dr = palette[i].r - color.r, dg = palette[i].g - color.g, db = palette[i].b - color.b;
    const int64_t distance = dr * dr + dg * dg + db * db;
    if (distance < bestDistance) {
      bestDistance = distance;
      best = i;
    }
  }
  return best;
}

bool IEColorWithinTolerance(int32_t tolerance, uint32_t color1, uint32_t color2) {
  for (int shift = 0; shift <= 16; shift += 8)
    if (std::abs(int32_t(color1 >> shift & 0xFF) - int32_t(color2 >> shift & 0xFF)) > tolerance) return false;
  return true;
}

std::string IEStripControlChars(const std::string& text) {
  std::string result;
  for (unsigned char c : text)
    if (c >= 32 && c != 127) result += static_cast<char>(c);
  return result;
}

int32_t IEGetURLType(const std::string& text) {
  std::string lower = text;
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  if (lower.rfind("http://", 0) == 0) return 1;
  if (lower.rfind("https://", 0) == 0) return 2;
  if (lower.rfind("ftp://", 0) == 0) return 3;
  return 0;
}

bool IEStrToBool(const std::string& text) {
  std::string upper = text;
  std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
  return upper == "1" || upper == "TRUE" || upper == "T";
}

std::string IERGBToStr(uint32_t color) {
  return std::to_string(color >> 16 & 0xFF) + ", " + std::to_string(color >> 8 & 0xFF) + ", " +
         std::to_string(color & 0xFF);
}

TRGB IEStrToRGB(const std::string& text) {
  int32_t channels[3] = {0, 0, 0};
  size_t start = 0;
  for (int i = 0; i < 3 && start <= text.size(); ++i) {
    const size_t comma = text.find(',', start);
    const std::string part = Trim(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    channels[i] = StrToIntDef(part, 0);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return TRGB{static_cast<uint8_t>(channels[2]), static_cast<uint8_t>(channels[1]), static_cast<uint8_t>(channels[0])};
}
