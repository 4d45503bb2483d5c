// A white 32-bit bitmap to render markup on, and pixel probes.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "platform/forms/graphics.h"
#include "ui/render/htmlengine.h"

class MarkupCanvas {
public:
  explicit MarkupCanvas(int width = 300, int height = 200) {
    bitmap_.SetPixelFormat(pf32bit);
    bitmap_.SetSize(width, height);
    Clear();
    Canvas()->Font()->SetName("Tahoma");
    Canvas()->Font()->SetHeight(-13);
    Canvas()->Font()->SetColor(clBlack);
  }
  TCanvas* Canvas() { return bitmap_.Canvas(); }
  TBitmap& Bitmap() { return bitmap_; }
  void Clear() {
    Canvas()->Brush()->SetColor(clWhite);
    Canvas()->Brush()->SetStyle(bsSolid);
    Canvas()->FillRect(RECT{0, 0, bitmap_.Width(), bitmap_.Height()});
  }
  TColor Pixel(int x, int y) { return Canvas()->Pixels(x, y); }
  // Whether any pixel in the rectangle has this colour, each channel
  // within 24 (anti-aliased text rarely covers a pixel fully).
  bool Has(const RECT& r, TColor color) {
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x)
        if (Near(Pixel(x, y), color)) return true;
    return false;
  }
  static bool Near(TColor a, TColor b) {
    for (int shift : {0, 8, 16})
      if (std::abs(((a >> shift) & 0xFF) - ((b >> shift) & 0xFF)) > 24) return false;
    return true;
  }
  // Whether any pixel in the rectangle differs from white.
  bool Inked(const RECT& r) {
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x)
        if (Pixel(x, y) != clWhite) return true;
    return false;
  }
  TMarkupResult Render(const std::string& text, const TMarkupArgs& args = {}, RECT r = {0, 0, 300, 200}) {
    return RenderMarkup(Canvas(), text, r, args);
  }
  TMarkupResult Measure(const std::string& text, TMarkupArgs args = {}, RECT r = {0, 0, 300, 200}) {
    args.MeasureOnly = true;
    return RenderMarkup(Canvas(), text, r, args);
  }

private:
  TBitmap bitmap_;
};
