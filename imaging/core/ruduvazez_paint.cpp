// Frames, the shadow strips beside displayed images, the soft shadow
// around them and the gradient fill.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "imaging/core/iegdiplus.h"
#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/core/ruduvazez_startup.h"
#include "platform/rtl/dynlib.h"
#include "platform/rtl/system.h"
#include "platform/win/gdi_text.h"
#include "imaging/processing/imageryproc.h"

namespace {

// Multiplies each channel of one pixel by factor (truncating): in the row
// of a pf24bit bitmap when the pixel lies in it, else through the canvas.
void DarkenPixel(TCanvas* canvas, TBitmap* bitmap, int32_t x, int32_t y, double factor) {
  const auto scale = [factor](uint8_t channel) { return static_cast<uint8_t>(channel * factor); };
  if (bitmap && bitmap->PixelFormat() == pf24bit && x >= 0 && y >= 0 && x < bitmap->Width() &&
      y < bitmap->Height()) {
    uint8_t* pixel = static_cast<uint8_t*>(bitmap->ScanLine(y)) + x * 3;
    for (int i = 0; i < 3; ++i) pixel[i] = scale(pixel[i]);
    return;
  }
  const auto color = static_cast<uint32_t>(canvas->Pixels(x, y));
  canvas->SetPixels(x, y, static_cast<TColor>(RGB(scale(GetRValue(color)), scale(GetGValue(color)),
                                                  scale(GetBValue(color)))));
}

// The grey level exp(ratio) / e x 255, truncated: 255 for ratio 1, 93 for
// ratio 0. Computed as exp(ratio - 1) so that ratio 1 gives 255 exactly.
uint8_t GradientLevel(double ratio) {
  return static_cast<uint8_t>(std::clamp(std::trunc(std::exp(ratio - 1) * 255), 0.0, 255.0));
}

// Kind 3, over the pixels that kind 1 fills. Across the strip the ratio
// rises evenly from 0 in the column beside the image to 1 in the outermost
// one; along the strip it falls from 1 at the strip's start to 0 at its end.
// Each pixel takes the smaller (darker) of the two levels, written as grey on
// the canvas: dark beside the image, lighter outward, and darkest where the
// right and bottom strips meet.
void DrawGradientStrip(TCanvas* canvas, int32_t across1, int32_t along1, int32_t along2, int32_t width,
                       bool transposed) {
  const double span = std::max(width - 1, 1);
  const int32_t start = along1 + width;
  const double length = std::max(along2 - start, 1);
  for (int32_t f = 0; f < width; ++f) {
    const uint8_t acrossLevel = GradientLevel(f / span);
    for (int32_t along = start; along <= along2; ++along) {
      const uint8_t alongLevel = GradientLevel((along2 - along) / length);
      const uint8_t level = std::min(acrossLevel, alongLevel);
      const auto grey = static_cast<TColor>(RGB(level, level, level));
      if (transposed)
        canvas->SetPixels(along, across1 + f, grey);
      else
        canvas->SetPixels(across1 + f, along, grey);
    }
  }
}

// One strip; `across` runs over the strip's width (columns of the right
// strip), `along` beside the image. transposed maps (across, along) to (y, x).
void DrawShadowStrip(TCanvas* canvas, TBitmap* bitmap, int32_t across1, int32_t along1, int32_t across2,
                     int32_t along2, int32_t kind, bool transposed) {
  const int32_t width = across2 - across1 + 1;
  if (width <= 0) return;
  if (kind == 1) {
    const RECT strip = transposed ? RECT{along1 + width, across1, along2 + 1, across2 + 1}
                                  : RECT{across1, along1 + width, across2 + 1, along2 + 1};
    canvas->FillRect(strip);
    return;
  }
  if (kind == 3) {
    DrawGradientStrip(canvas, across1, along1, along2, width, transposed);
    return;
  }
  if (kind != 2) return;
  for (int32_t f = 0; f < width; ++f) {
    const double r = (width - f) / (width / 3.0);
    const double factor = std::exp(-0.1 - r * r / 6);
    for (int32_t along = along1 + width; along <= along2 + f - width + 3; ++along) {
      if (transposed)
        DarkenPixel(canvas, bitmap, along, across1 + f, factor);
      else
        DarkenPixel(canvas, bitmap, across1 + f, along, factor);
    }
  }
}

// The soft shadow darkens up to kSoftMargin pixels around the rectangle,
// through a mask blurred with kSoftSigma.
constexpr int32_t kSoftMargin = 5;
constexpr double kSoftSigma = 2.5;

// One axis of the soft shadow around the rectangle r1..r2: the pixels to
// darken (the margin's span cut to the bitmap, the rectangle between) and
// the span of the work mask. The mask reaches only `reach` (the blur's
// half width) past the painted span, which changes none of the painted
// values and keeps the mask near the bitmap's size however far the
// rectangle extends.
struct SoftShadowAxis {
  int64_t paint1, paint2;
  int64_t work1, work2;
  int32_t WorkSize() const { return static_cast<int32_t>(work2 - work1 + 1); }
  // A rectangle edge in mask coordinates, kept just around the mask.
  int32_t ToWork(int64_t at) const {
    return static_cast<int32_t>(std::clamp<int64_t>(at - work1, -1, work2 - work1 + 1));
  }
};

bool MakeSoftShadowAxis(int32_t r1, int32_t r2, int32_t size, int32_t reach, SoftShadowAxis& axis) {
  const int64_t outer1 = int64_t{r1} - kSoftMargin, outer2 = int64_t{r2} + kSoftMargin;
  axis.paint1 = std::max<int64_t>(outer1, 0);
  axis.paint2 = std::min<int64_t>(outer2, int64_t{size} - 1);
  if (axis.paint2 < axis.paint1) return false;
  axis.work1 = std::max(outer1, axis.paint1 - reach);
  axis.work2 = std::min(outer2, axis.paint2 + reach);
  return true;
}

// Multiplies each channel of a three-byte pixel by 1 - mask / 255, truncated.
void DarkenByMask(uint8_t* pixel, uint8_t mask) {
  for (int i = 0; i < 3; ++i) pixel[i] = static_cast<uint8_t>(pixel[i] * (255 - mask) / 255);
}

}  // namespace

void IEDraw3DFrame(TCanvas* canvas, int32_t x1, int32_t y1, int32_t x2, int32_t y2, TColor color1, TColor color2) {
  IEDraw3DFrameLines(*canvas, x1, y1, x2, y2, color1, color2);
}

void IEDrawRightShadow(TCanvas* canvas, TBitmap* bitmap, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                       int32_t kind, TColor /*background*/) {
  DrawShadowStrip(canvas, bitmap, x1, y1, x2, y2, kind, false);
}

void IEDrawBottomShadow(TCanvas* canvas, TBitmap* bitmap, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                        int32_t kind, TColor /*background*/) {
  DrawShadowStrip(canvas, bitmap, y1, x1, y2, x2, kind, true);
}

void IEDraw3DFrameIE(TIECanvas* canvas, int32_t x1, int32_t y1, int32_t x2, int32_t y2, TColor color1,
                     TColor color2) {
  IEDraw3DFrameLines(*canvas, x1, y1, x2, y2, color1, color2);
}

void IEDrawSoftShadowAround(TBitmap* bitmap, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  if (!bitmap || bitmap->PixelFormat() != pf24bit || x2 < x1 || y2 < y1) return;
  GaussKernel kernel;
  IEMakeGaussKernel(kernel, kSoftSigma);
  SoftShadowAxis h{}, v{};
  if (!MakeSoftShadowAxis(x1, x2, bitmap->Width(), kernel.HalfWidth, h) ||
      !MakeSoftShadowAxis(y1, y2, bitmap->Height(), kernel.HalfWidth, v))
    return;

  TIEBitmap mask;
  if (!mask.Allocate(h.WorkSize(), v.WorkSize(), ie8g)) return;
  mask.Fill(0);
  mask.FillRect(h.ToWork(x1), v.ToWork(y1), h.ToWork(x2), v.ToWork(y2), 255);
  IEGaussianBlurGray8(&mask, 0, 0, h.WorkSize() - 1, v.WorkSize() - 1, kSoftSigma);

  for (int64_t y = v.paint1; y <= v.paint2; ++y) {
    auto* row = static_cast<uint8_t*>(bitmap->ScanLine(static_cast<int32_t>(y)));
    const uint8_t* levels = mask.GetScanline(static_cast<int32_t>(y - v.work1));
    const auto darken = [&](int64_t from, int64_t to) {
      for (int64_t x = from; x <= to; ++x) DarkenByMask(row + x * 3, levels[x - h.work1]);
    };
    if (y < y1 || y > y2) {
      darken(h.paint1, h.paint2);
    } else {  // the rectangle itself stays as it is
      darken(h.paint1, std::min<int64_t>(h.paint2, int64_t{x1} - 1));
      darken(std::max<int64_t>(h.paint1, int64_t{x2} + 1), h.paint2);
    }
  }
}

// ---- gradient fill ----------------------------------------------------------------------------

namespace {

using TGradientFill = BOOL (*)(HDC, const TRIVERTEX*, ULONG, const void*, ULONG, ULONG);
HMODULE gradientModule = nullptr;
TGradientFill gradientFill = nullptr;

TRIVERTEX Vertex(LONG x, LONG y, TColor color) {
  const auto rgb = static_cast<uint32_t>(ColorToRGB(color));
  TRIVERTEX v;
  v.x = x;
  v.y = y;
  v.Red = static_cast<uint16_t>((rgb & 0xFF) << 8);
  v.Green = static_cast<uint16_t>((rgb >> 8 & 0xFF) << 8);
  v.Blue = static_cast<uint16_t>((rgb >> 16 & 0xFF) << 8);
  return v;
}

}  // namespace

bool IELoadGradientFill() {
  if (gradientFill) return true;
  if (!gradientModule) gradientModule = LoadLibrary("MSIMG32.DLL");
  if (gradientModule) gradientFill = reinterpret_cast<TGradientFill>(GetProcAddress(gradientModule, "GradientFill"));
  return gradientFill != nullptr;
}

void IEFreeGradientFill() {
  if (gradientModule) FreeLibrary(gradientModule);
  gradientModule = nullptr;
  gradientFill = nullptr;
}

bool IEGradientFillRect(const RECT& rect, HDC dc, TColor color1, bool vertical, TColor color2) {
  if (!IELoadGradientFill()) return false;
  const TRIVERTEX vertices[2] = {Vertex(rect.left, rect.top, color1), Vertex(rect.right, rect.bottom, color2)};
  const GRADIENT_RECT mesh{0, 1};
  return gradientFill(dc, vertices, 2, &mesh, 1, vertical ? GRADIENT_FILL_RECT_V : GRADIENT_FILL_RECT_H) != FALSE;
}

// ---- texts that fit, dimmed surroundings, preview backgrounds ------------------------------

int32_t IETextWidthW(TCanvas* canvas, const std::string& text) {
  SIZE size{};
  GetTextExtentPoint32W(canvas->Handle(), text, &size);
  return size.cx;
}

int32_t IETextHeightW(TCanvas* canvas, const std::string& text) {
  SIZE size{};
  GetTextExtentPoint32W(canvas->Handle(), text, &size);
  return size.cy;
}

namespace {

// Whole UTF-8 characters only: a cut never lands inside one.
bool IsCharacterStart(const std::string& text, size_t at) {
  return at == 0 || at >= text.size() || (static_cast<uint8_t>(text[at]) & 0xC0) != 0x80;
}

}  // namespace

std::string IETruncateText(const std::string& text, int32_t side, TCanvas* canvas, int32_t width) {
  std::string result = text;
  size_t keep = text.size();  // side 0: characters kept from the beginning
  size_t drop = 0;            // side 1: characters dropped from the beginning
  while (IETextWidthW(canvas, result) > width && result.size() >= 2) {
    if (side == 0) {
      do --keep;
      while (keep > 0 && !IsCharacterStart(text, keep));
      if (keep == 0) break;
      result = text.substr(0, keep) + "...";
    } else {
      do ++drop;
      while (drop < text.size() && !IsCharacterStart(text, drop));
      if (drop >= text.size()) break;
      result = "..." + text.substr(drop);
    }
  }
  return result;
}

void IEDimOutsideRect(TCanvas* canvas, const RECT& area, const RECT& inner) {
  if (inner.right <= inner.left || inner.bottom <= inner.top) return;
  TIECanvas dim(canvas, false, true);
  dim.Brush()->SetColor(clBlack);
  dim.Brush()->SetAlpha(150);
  dim.FillRect(RECT{area.left, area.top, area.right, inner.top});
  dim.FillRect(RECT{area.left, inner.bottom, area.right, area.bottom});
  dim.FillRect(RECT{area.left, inner.top, inner.left, inner.bottom});
  dim.FillRect(RECT{inner.right, inner.top, area.right, inner.bottom});
}

namespace {

// Makes the bitmap 24-bit width x height and fills pixel (x, y) with grey(x, y).
template <typename Grey>
void PaintGrey(TBitmap* bitmap, int32_t width, int32_t height, const Grey& grey) {
  bitmap->SetPixelFormat(pf24bit);
  bitmap->SetSize(width, height);
  for (int32_t y = 0; y < height; ++y) {
    auto* row = static_cast<uint8_t*>(bitmap->ScanLine(y));
    for (int32_t x = 0; x < width; ++x) {
      const uint8_t v = grey(x, y);
      row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = v;
    }
  }
}

}  // namespace

void IEPaintStripedBackground(TBitmap* bitmap, int32_t width, int32_t height) {
  if (!bitmap || width < 1 || height < 1) return;
  const std::vector<double> ramp = IEGaussRamp(4, 130, 255, 0.5);
  PaintGrey(bitmap, width, height, [&](int32_t, int32_t y) { return static_cast<uint8_t>(ramp[y % 4]); });
}

void IEPaintNoiseBackground(TBitmap* bitmap, int32_t width, int32_t height) {
  if (!bitmap || width < 1 || height < 1) return;
  const std::vector<double> ramp = IEGaussRamp(width, 160, 208, 3);
  int32_t offset = 0, passed = 0, next = Random(width) + 100;
  PaintGrey(bitmap, width, height, [&](int32_t x, int32_t) {
    if (++passed > next) {
      offset = Random(11);
      passed = 0;
      next = Random(width) + 100;
    }
    return static_cast<uint8_t>(static_cast<int32_t>(ramp[x]) + offset);
  });
}
