// The markup renderer on arbitrary text: measured, drawn and hit-tested on
// a canvas and on GDI+, and stripped to plain text. The first byte picks
// the options.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/forms/graphics.h"
#include "ui/render/advsmoothgdip.h"
#include "ui/render/htmlengine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > 4096) return 0;
  static TBitmap* bitmap = [] {
    auto* b = new TBitmap();
    b->SetPixelFormat(pf32bit);
    b->SetSize(120, 60);
    return b;
  }();
  uint8_t options = data[0];
  std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  StripMarkup(text);
  TMarkupArgs args;
  args.WordWrap = options & 1;
  args.HoverStyle = options & 2;
  args.HoverLink = (options >> 2) & 3;
  args.FocusLink = (options >> 4) & 1;
  args.ShadowOffset = 2;
  args.X = 10 + (options >> 5) * 10;
  args.Y = 8;
  args.HoverColor = (options & 4) ? clYellow : clNone;
  RECT rect{0, 0, 60 + (options >> 6) * 20, 60};
  TCanvas* canvas = bitmap->Canvas();
  args.MeasureOnly = true;
  RenderMarkup(canvas, text, rect, args);
  args.MeasureOnly = false;
  RenderMarkup(canvas, text, rect, args);
  args.CheckHotSpot = true;
  RenderMarkup(canvas, text, rect, args);
  if (options & 8) {
    std::unique_ptr<AdvSmoothGDIP::TGPGraphics> g(new AdvSmoothGDIP::TGPGraphics(canvas->Handle()));
    TFont font;
    args.CheckHotSpot = false;
    RenderMarkupGDIP(g.get(), &font, text, rect, args);
  }
  return 0;
}
