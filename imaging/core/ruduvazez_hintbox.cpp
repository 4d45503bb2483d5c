// The hint boxes the viewers draw beside the pointer: a framed box on a
// framework canvas, and a translucent one through the library canvas.
#include <algorithm>
#include <memory>

#include "imaging/core/iegdiplus.h"
#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_bitmap.h"

void IEDrawHintBox(TCanvas* canvas, int32_t& x, int32_t& y, const std::string& text, TFont* font, TBrush* brush,
                   std::unique_ptr<TBitmap>& background, int32_t canvasWidth, int32_t canvasHeight, TColor light,
                   TColor dark) {
  canvas->SetFont(font);
  canvas->Brush()->Assign(brush);
  const int32_t width = canvas->TextWidth(text) + 12, height = canvas->TextHeight(text) + 12;
  x = std::min(std::max(x, 0), canvasWidth - width - 1);
  y = std::min(std::max(y, 0), canvasHeight - height - 1);
  // What lies under the box, so that the caller can put it back.
  if (!background) background = std::make_unique<TBitmap>();
  background->SetPixelFormat(pf24bit);
  background->SetSize(width, height);
  background->Canvas()->SetCopyMode(cmSrcCopy);
  background->Canvas()->CopyRect(RECT{0, 0, width, height}, canvas, RECT{x, y, x + width, y + height});
  canvas->FillRect(RECT{x + 6, y + 6, x + width, y + height});
  IEDraw3DFrame(canvas, x + 6, y + 6, x + width - 1, y + height - 1, light, dark);
  canvas->TextOut(x + 9, y + 9, text);
}

void IEDrawTranslucentHintBox(TCanvas* canvas, int32_t& x, int32_t& y, const std::string& text,
                              const std::string& sizingText) {
  TIECanvas ie(canvas, true, true);
  TFont* font = ie.Font();
  font->SetName("Arial");
  font->SetSize(9);
  font->SetColor(clBlack);
  ie.Brush()->SetColor(0x0060FFFF);
  ie.Brush()->SetStyle(bsSolid);
  ie.Brush()->SetAlpha(128);
  const int32_t width = std::max(ie.TextWidth(text), ie.TextWidth(sizingText)) + 12;
  const int32_t height = ie.TextHeight(text) + 12;
  x = std::max(x, 0);
  y = std::max(y, 0);
  ie.FillRect(RECT{x + 6, y + 6, x + width, y + height});
  IEDraw3DFrameIE(&ie, x + 6, y + 6, x + width - 1, y + height - 1, 8421504, 0x00FFFFFF);
  ie.Brush()->SetStyle(bsClear);
  ie.TextOut(x + 9, y + 9, text);
}
