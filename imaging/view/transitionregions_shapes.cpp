// Shape and word regions of the transition steps (see transitionregions.h).
#include <algorithm>
#include <cmath>
#include <numbers>

#include "imaging/core/iesettings.h"
#include "imaging/core/ruduvazez.h"
#include "imaging/view/transitionregions.h"
#include "platform/rtl/system.h"
#include "platform/win/olepicture.h"

// ---- shapes ---------------------------------------------------------------------------

namespace {

struct ShapePoint {
  double x, y;
};

constexpr ShapePoint kStar5[] = {{0.5, 0},     {0.62, 0.36}, {1, 0.36},    {0.7, 0.59}, {0.81, 0.95}, {0.5, 0.73},
                                 {0.19, 0.95}, {0.31, 0.59}, {0, 0.36},    {0.39, 0.36}, {0.5, 0}};
constexpr ShapePoint kStar6[] = {{0.5, 0},   {0.625, 0.25}, {0.9, 0.25},   {0.75, 0.5}, {0.9, 0.75},
                                 {0.625, 0.75}, {0.5, 1},   {0.375, 0.75}, {0.1, 0.75}, {0.25, 0.5},
                                 {0.1, 0.25}, {0.375, 0.25}, {0.5, 0}};
constexpr ShapePoint kArrow[] = {{0, 0}, {0.4, 0}, {0.3, 0.1}, {1, 0.8}, {0.8, 1}, {0.1, 0.3}, {0, 0.4}, {0, 0}};
constexpr ShapePoint kBolt[] = {{1, 0.19},    {0.61, 0.01}, {0.41, 0.29}, {0.49, 0.31}, {0.23, 0.55}, {0.33, 0.6},
                                {0, 1},       {0.51, 0.69}, {0.46, 0.65}, {0.78, 0.45}, {0.66, 0.39}, {1, 0.19}};
constexpr ShapePoint kExplosion[] = {
    {0.33, 0},    {0.5, 0.26},  {0.62, 0.11}, {0.67, 0.28}, {0.99, 0.1},  {0.78, 0.35}, {1, 0.39},
    {0.84, 0.54}, {0.99, 0.66}, {0.75, 0.64}, {0.78, 0.81}, {0.65, 0.71}, {0.61, 1},    {0.51, 0.69},
    {0.38, 0.89}, {0.35, 0.66}, {0.17, 0.83}, {0.22, 0.59}, {0, 0.61},    {0.19, 0.48}, {0.04, 0.37},
    {0.22, 0.34}, {0.16, 0.2},  {0.35, 0.25}, {0.33, 0.01}};
constexpr ShapePoint kFeathered[] = {
    {0.85, 1},     {0.8, 0.95},   {0.8, 0.85},   {0.775, 0.825}, {0.775, 0.925}, {0.725, 0.875}, {0.725, 0.775},
    {0.7, 0.75},   {0.7, 0.85},   {0.65, 0.8},   {0.65, 0.7},    {0.15, 0.2},    {0.15, 0.3},    {0, 0.15},
    {0, 0},        {0.15, 0},     {0.3, 0.15},   {0.2, 0.15},    {0.7, 0.65},    {0.8, 0.65},    {0.85, 0.7},
    {0.75, 0.7},   {0.775, 0.725}, {0.875, 0.725}, {0.925, 0.775}, {0.825, 0.775}, {0.85, 0.8},  {0.95, 0.8},
    {1, 0.85},     {0.85, 0.85},  {0.85, 1}};

struct ShapeBox {
  int32_t x, y, w, h;
};

// The centred square of the box.
ShapeBox squareOf(const ShapeBox& b) {
  const int32_t m = std::min(b.w, b.h);
  return {b.x + (b.w - m) / 2, b.y + (b.h - m) / 2, m, m};
}

template <size_t N>
HRGN tableRegion(const ShapePoint (&table)[N], const ShapeBox& b, bool mirrorX, bool mirrorY) {
  POINT points[N];
  for (size_t i = 0; i < N; ++i) {
    const double tx = mirrorX ? 1 - table[i].x : table[i].x, ty = mirrorY ? 1 - table[i].y : table[i].y;
    points[i] = {static_cast<LONG>(b.x + Round(static_cast<long double>(b.w - 1) * tx)),
                 static_cast<LONG>(b.y + Round(static_cast<long double>(b.h - 1) * ty))};
  }
  return PolygonRegion(points, static_cast<int32_t>(N));
}

POINT pointOnCircle(POINT centre, int32_t radius, long double degrees) {
  const long double a = (degrees - 90) * std::numbers::pi_v<long double> / 180;
  return {static_cast<LONG>(centre.x + Round(std::cos(a) * radius)),
          static_cast<LONG>(centre.y + Round(std::sin(a) * radius))};
}

HRGN heartRegion(ShapeBox b) {
  b = squareOf(b);
  const int32_t m = b.w, half = m / 2, quarter = m / 4, d = half + 2, r = d / 2;
  const POINT p1 = pointOnCircle({quarter, quarter}, r - 1, 233.14L);
  const POINT p2 = pointOnCircle({m - quarter, quarter}, r - 1, 126.86L);
  return CombineRegions({CreateEllipticRgn(b.x, b.y, b.x + d, b.y + d),
                         CreateEllipticRgn(b.x + m - d, b.y, b.x + m, b.y + d),
                         PolygonRegion({b.x + p1.x, b.y + p1.y, b.x + p2.x, b.y + p2.y, b.x + half, b.y + m}),
                         CreateRectRgn(b.x + r, b.y + r, b.x + m - r, b.y + d)});
}

HRGN crossRegion(ShapeBox b) {
  const int32_t narrow = static_cast<int32_t>(Round(0.75L * b.h));
  if (b.w > narrow) {
    b.x += (b.w - narrow) / 2;
    b.w = narrow;
  }
  const int32_t t = static_cast<int32_t>(std::min(Round(0.22L * b.h), Round(0.2L * b.w)));
  const int32_t barTop = b.y + static_cast<int32_t>(Round(static_cast<long double>(b.h - t) * 0.33f));
  const int32_t barLeft = b.x + (b.w - t) / 2;
  return CombineRegions(
      {CreateRectRgn(barLeft, b.y, barLeft + t, b.y + b.h), CreateRectRgn(b.x, barTop, b.x + b.w, barTop + t)});
}

}  // namespace

HRGN ShapeRegion(int32_t kind, int32_t x, int32_t y, int32_t width, int32_t height) {
  // A box without pixels holds no shape (late frames of the inward kinds).
  if (width <= 0 || height <= 0) return nullptr;
  const ShapeBox box{x, y, width, height};
  switch (kind & 0x7F) {
    case 0:
      return tableRegion(kStar5, squareOf(box), false, false);
    case 1:
      return tableRegion(kStar6, squareOf(box), false, false);
    case 2:
    case 3:
    case 4:
    case 5:
      return tableRegion(kArrow, squareOf(box), (kind & 0x7F) == 3 || (kind & 0x7F) == 5, (kind & 0x7F) >= 4);
    case 6:
    case 7: {
      const int32_t w = std::min(width, height);
      return tableRegion(kBolt, {x + (width - w) / 2, y, w, height}, (kind & 0x7F) == 7, false);
    }
    case 8:
      return tableRegion(kExplosion, box, false, false);
    case 9:
      return tableRegion(kExplosion, box, true, true);
    case 10:
      return crossRegion(box);
    case 11:
    case 12:
    case 13:
    case 14:
      return tableRegion(kFeathered, squareOf(box), (kind & 0x7F) == 12 || (kind & 0x7F) == 14,
                         (kind & 0x7F) >= 13);
    case 15:
      return heartRegion(box);
    case 16: {
      const int32_t w = MulDiv(width, 66, 100), h = MulDiv(height, 66, 100), drop = MulDiv(height, 5, 100);
      return CombineRegions({ShapeRegion(15, x, y + drop, w, h),
                             ShapeRegion(15, x + MulDiv(width, 34, 100), y + MulDiv(height, 34, 100) - drop, w, h)});
    }
    default:
      return nullptr;
  }
}

HRGN ShapeRegionInRect(int32_t kind, const RECT& rect) {
  return ShapeRegion(kind, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
}

// ---- words ------------------------------------------------------------------------------

namespace {

// The word's characters, each a whole UTF-8 sequence; a word in double
// quotes is one unit.
std::vector<std::string> wordUnits() {
  TIEWordTransitionParams& params = IEGetGlobalSettings()->WordTransition;
  if (params.Text.empty()) params.Text = "A";
  if (params.FontName.empty()) params.FontName = "Arial";
  if (params.MaxHeight < 10) params.MaxHeight = 200;
  const std::string& word = params.Text;
  std::vector<std::string> units;
  for (size_t i = 0; i < word.size();) {
    size_t n = 1;
    while (i + n < word.size() && (static_cast<uint8_t>(word[i + n]) & 0xC0) == 0x80) ++n;
    units.push_back(word.substr(i, n));
    i += n;
  }
  if (units.size() > 1 && units.front() == "\"" && units.back() == "\"") {
    const std::string inner = word.substr(1, word.size() - 2);
    return {inner.empty() ? std::string("X") : inner};
  }
  return units;
}

}  // namespace

int32_t WordTransitionLength() { return static_cast<int32_t>(wordUnits().size()); }

std::string WordTransitionText(int32_t percent, int32_t firstPercent, int32_t lastPercent, bool wholeWord) {
  const std::vector<std::string> units = wordUnits();
  const int32_t length = static_cast<int32_t>(units.size());
  if (wholeWord || length == 1) {
    std::string all;
    for (const std::string& u : units) all += u;
    return all;
  }
  if (percent <= firstPercent) return units.front();
  if (percent >= lastPercent) return units.back();
  const int64_t index =
      Trunc(static_cast<long double>(percent - firstPercent) / (lastPercent - firstPercent) * length);
  return units[static_cast<size_t>(std::clamp<int64_t>(index, 0, length - 1))];
}

std::unique_ptr<TBitmap> MakeTextBitmap(const std::string& text, int32_t height, const std::string& fontName,
                                        TColor fontColor, TFontStyles style, TColor background, bool antialias,
                                        bool cellHeight) {
  (void)antialias;  // the platform draws the face as it renders it
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetPixelFormat(pf24bit);
  TCanvas* canvas = bitmap->Canvas();
  canvas->Font()->SetName(fontName);
  canvas->Font()->SetColor(fontColor);
  canvas->Font()->SetStyle(style);
  canvas->Font()->SetHeight(cellHeight ? height : -height);
  const SIZE extent = canvas->TextExtent(text);
  bitmap->SetSize(std::max<int32_t>(extent.cx, 0), std::max<int32_t>(extent.cy, 0));
  if (bitmap->Width() <= 0 || bitmap->Height() <= 0) return bitmap;
  canvas->Brush()->SetColor(background);
  canvas->FillRect({0, 0, bitmap->Width(), bitmap->Height()});
  canvas->Brush()->SetStyle(bsClear);
  canvas->TextOut(0, 0, text);
  return bitmap;
}

HRGN RegionFromBitmap(TBitmap* bitmap, int32_t left, int32_t top, int32_t targetW, int32_t targetH,
                      TColor background) {
  const int32_t w = bitmap->Width(), h = bitmap->Height();
  if (w <= 0 || h <= 0) return nullptr;
  const COLORREF back = ColorToRGB(background);
  const uint8_t br = back & 0xFF, bg = (back >> 8) & 0xFF, bb = (back >> 16) & 0xFF;
  const long double sx = static_cast<long double>(targetW) / w, sy = static_cast<long double>(targetH) / h;
  TComplexRegion region;
  for (int32_t y = 0; y < h; ++y) {
    const auto* row = static_cast<const uint8_t*>(bitmap->ScanLine(y));
    const auto inked = [&](int32_t x) {
      const uint8_t* p = row + 3 * x;
      return !(p[0] == bb && p[1] == bg && p[2] == br);
    };
    for (int32_t x = 0; x < w;) {
      if (!inked(x)) {
        ++x;
        continue;
      }
      const int32_t x1 = x;
      while (x < w && inked(x)) ++x;
      region.AddRect(left + static_cast<int32_t>(Trunc(x1 * sx)), top + static_cast<int32_t>(Trunc(y * sy)),
                     left + static_cast<int32_t>(Trunc(x * sx)), top + static_cast<int32_t>(Trunc((y + 1) * sy)));
    }
  }
  return region.GetRegion();
}

HRGN WordRegion(const RECT& rect, int32_t percent, int32_t firstPercent, int32_t lastPercent, bool wholeWord,
                bool cellHeight) {
  const int32_t boxW = rect.right - rect.left, boxH = rect.bottom - rect.top;
  if (boxW <= 0 || boxH <= 0) return nullptr;
  const std::string text = WordTransitionText(percent, firstPercent, lastPercent, wholeWord);
  const TIEWordTransitionParams& params = IEGetGlobalSettings()->WordTransition;
  const auto bitmap = MakeTextBitmap(text, std::min<int32_t>(boxH, params.MaxHeight), params.FontName, clBlack,
                                     TFontStyles::FromBits(params.FontStyle), clWhite, false, cellHeight);
  if (bitmap->Width() <= 0 || bitmap->Height() <= 0) return nullptr;
  const RECT fit = IEGetFitRect(bitmap->Width(), bitmap->Height(), rect, false, true, true, true, true);
  const int32_t fitH = fit.bottom - fit.top;
  const int32_t targetW =
      static_cast<int32_t>(Round(static_cast<long double>(bitmap->Width()) / bitmap->Height() * fitH));
  return RegionFromBitmap(bitmap.get(), fit.left, fit.top, targetW, fitH, clWhite);
}
