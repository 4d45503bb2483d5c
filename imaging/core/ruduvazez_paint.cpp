// Frames and the shadow strips beside displayed images.
#include <cmath>

#include "imaging/core/ruduvazez.h"
#include "imaging/core/iegdiplus.h"

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
