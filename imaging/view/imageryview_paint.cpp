// Painting of the image view: the paint pipeline through the back buffer,
// the three ways of copying it to the window, the background painter shared
// with the other viewers, the selection grid, the version stamp and the
// appearance settings whose change repaints the view.
#include <algorithm>
#include <cstring>
#include <vector>

#include "imaging/core/ruduvazez.h"
#include "imaging/processing/imageryproc.h"
#include "imaging/view/imageryview.h"
#include "platform/forms/forms.h"
#include "platform/win/user_paint.h"
#include "platform/win/vfw.h"

namespace {

TColor Complement(TColor color) { return static_cast<TColor>(ColorToRGB(color) ^ 0xFFFFFF); }

// Fills the area with the colour in a brush style. A solid fill of a
// 24-bit framework bitmap writes its rows directly (rows and columns cut to
// the bitmap), as the chessboard does: the canvas would take several times
// as long for a window-sized area.
void FillArea(TCanvas* canvas, TBitmap* bitmap, TBrushStyle style, TColor color, int32_t x, int32_t y, int32_t width,
              int32_t height) {
  if (bitmap && style == bsSolid && bitmap->PixelFormat() == pf24bit) {
    TRGB rgb{};
    IEColorToRGB(color, rgb);
    const int32_t x1 = std::max(x, 0), x2 = std::min(x + width, bitmap->Width());
    const int32_t y1 = std::max(y, 0), y2 = std::min(y + height, bitmap->Height());
    if (x2 <= x1) return;
    const std::vector<TRGB> row(static_cast<size_t>(x2 - x1), rgb);
    for (int32_t r = y1; r < y2; ++r)
      std::memcpy(static_cast<TRGB*>(bitmap->ScanLine(r)) + x1, row.data(), row.size() * sizeof(TRGB));
    return;
  }
  canvas->Brush()->SetStyle(style);
  canvas->Brush()->SetColor(color);
  canvas->FillRect(RECT{x, y, x + width, y + height});
  canvas->Brush()->SetStyle(bsSolid);
}

// Squares of `size` alternating between the colour and its complement,
// written into the 24-bit rows of the bitmap, the area's top-left square in
// the colour.
void ChessboardPixels(TBitmap* bitmap, TColor color, int32_t x, int32_t y, int32_t width, int32_t height,
                      int32_t size) {
  TRGB first{}, second{};
  IEColorToRGB(color, first);
  IEColorToRGB(Complement(color), second);
  const int32_t x1 = std::max(x, 0), x2 = std::min(x + width, bitmap->Width());
  const int32_t y1 = std::max(y, 0), y2 = std::min(y + height, bitmap->Height());
  for (int32_t row = y1; row < y2; ++row) {
    auto* pixels = static_cast<TRGB*>(bitmap->ScanLine(row));
    const int32_t squareRow = (row - y) / size;
    for (int32_t col = x1; col < x2; ++col)
      pixels[col] = ((squareRow + (col - x) / size) & 1) == 0 ? first : second;
  }
}

// The same through the canvas with a brush style, clipped to the area, the
// top-left square in the complement.
void ChessboardCanvas(TCanvas* canvas, TBrushStyle style, TColor color, int32_t x, int32_t y, int32_t width,
                      int32_t height, int32_t size) {
  const TColor colors[2] = {Complement(color), color};
  for (int32_t top = y, row = 0; top < y + height; top += size, ++row)
    for (int32_t left = x, col = 0; left < x + width; left += size, ++col) {
      const RECT square{left, top, std::min(left + size, x + width), std::min(top + size, y + height)};
      canvas->Brush()->SetStyle(style);
      canvas->Brush()->SetColor(colors[(row + col) & 1]);
      canvas->FillRect(square);
    }
  canvas->Brush()->SetStyle(bsSolid);
}

void DrawWallPaper(TCanvas* canvas, TPicture* wallPaper, TIEWallPaperStyle style, int32_t width, int32_t height) {
  if (!wallPaper || !wallPaper->Graphic() || wallPaper->Graphic()->Empty()) return;
  TGraphic* graphic = wallPaper->Graphic();
  switch (style) {
    case iewoNormal: canvas->Draw(0, 0, graphic); break;
    case iewoStretch: canvas->StretchDraw(RECT{0, 0, width, height}, graphic); break;
    case iewoTile:
      for (int32_t top = 0; top < height; top += graphic->Height())
        for (int32_t left = 0; left < width; left += graphic->Width()) canvas->Draw(left, top, graphic);
      break;
  }
}

constexpr TBrushStyle kHatchStyles[] = {bsSolid,     bsHorizontal, bsVertical, bsFDiagonal,
                                        bsBDiagonal, bsCross,      bsDiagCross};

}  // namespace

// ---- the background painter ------------------------------------------------------------------------

void IEDrawBackground(TComponentState componentState, TCanvas* canvas, TBitmap* bitmap, TIEBackgroundStyle style,
                      TColor color, int32_t x, int32_t y, int32_t width, int32_t height, int32_t imageLeft,
                      int32_t imageTop, int32_t imageRight, int32_t imageBottom, int32_t chessboardSize,
                      TBrushStyle chessboardBrushStyle, TColor gradientEndColor, TPicture* wallPaper,
                      TIEWallPaperStyle wallPaperStyle) {
  const bool designing = componentState.Contains(csDesigning);
  const bool imageShown = imageRight - imageLeft >= 2 && imageBottom - imageTop >= 2;
  if (designing && (style == iebsCropped || style == iebsCropShadow)) style = iebsSoftShadow;
  switch (style) {
    case iebsDiagonals:
      FillArea(canvas, bitmap, bsSolid, color, x, y, width, height);
      canvas->Pen()->SetColor(Complement(color));
      canvas->Pen()->SetStyle(psSolid);
      canvas->MoveTo(x, y);
      canvas->LineTo(x + width, y + height);
      canvas->MoveTo(x + width, y);
      canvas->LineTo(x, y + height);
      break;
    case iebsCropped: {
      FillArea(canvas, bitmap, bsSolid, clBtnFace, x, y, width, height);
      if (!imageShown) break;
      const TIEImageryGlobalSettings& settings = *IEGetGlobalSettings();
      RECT edge{imageLeft - settings.EdgeWidth, imageTop - settings.EdgeHeight, imageRight + settings.EdgeWidth,
                imageBottom + settings.EdgeHeight};
      DrawEdge(canvas->Handle(), &edge, EDGE_SUNKEN, BF_RECT);
      break;
    }
    case iebsCropShadow:
      FillArea(canvas, bitmap, bsSolid, color, x, y, width, height);
      if (!imageShown) break;
      IEDrawRightShadow(canvas, bitmap, imageRight, imageTop, imageRight + 5, imageBottom + 3, 2, color);
      IEDrawBottomShadow(canvas, bitmap, imageLeft, imageBottom, imageRight + 4, imageBottom + 5, 2, color);
      break;
    case iebsSoftShadow:
      if (designing) {
        FillArea(canvas, bitmap, bsSolid, color, x, y, width, height);
      } else if (bitmap) {
        FillArea(canvas, bitmap, bsSolid, color, x, y, width, height);
        if (imageShown) IEDrawSoftShadowAround(bitmap, imageLeft, imageTop, imageRight, imageBottom);
      }
      break;
    case iebsGradient:
      IEGradientFillRect(RECT{x, y, x + width, y + height}, canvas->Handle(), color, true, gradientEndColor);
      break;
    case iebsPhotoLike:
      IEDrawBackground(componentState, canvas, bitmap, iebsSolid, static_cast<TColor>(0xB0B0B0), x, y, width,
                       height, imageLeft, imageTop, imageRight, imageBottom, chessboardSize, chessboardBrushStyle,
                       gradientEndColor, wallPaper, wallPaperStyle);
      canvas->Pen()->SetColor(clBlack);
      canvas->Pen()->SetStyle(psSolid);
      canvas->Brush()->SetStyle(bsClear);
      canvas->Rectangle(imageLeft - 1, imageTop - 1, imageRight + 1, imageBottom + 1);
      canvas->Brush()->SetStyle(bsSolid);
      IEDrawBackground(componentState, canvas, bitmap, iebsChessboard, color, imageLeft, imageTop,
                       imageRight - imageLeft, imageBottom - imageTop, imageLeft, imageTop, imageRight, imageBottom,
                       chessboardSize, chessboardBrushStyle, gradientEndColor, wallPaper, wallPaperStyle);
      return;
    case iebsChessboard: {
      const int32_t size = std::max(chessboardSize, 1);
      if (bitmap && chessboardBrushStyle == bsSolid && bitmap->PixelFormat() == pf24bit)
        ChessboardPixels(bitmap, color, x, y, width, height, size);
      else
        ChessboardCanvas(canvas, chessboardBrushStyle, color, x, y, width, height, size);
      break;
    }
    default:
      FillArea(canvas, bitmap, kHatchStyles[std::min<int32_t>(style, iebsDiagCross)], color, x, y, width, height);
      break;
  }
  DrawWallPaper(canvas, wallPaper, wallPaperStyle, width, height);
}

// ---- paint pipeline -------------------------------------------------------------------------------

void TImageryView::PaintNow() {
  if (!HandleAllocated()) return;
  InvalidateRect(Handle(), nullptr, FALSE);
  UpdateWindow(Handle());
}

void TImageryView::Paint() {
  if (!HandleAllocated()) return;
  const int32_t viewWidth = GetViewWidth(), viewHeight = GetViewHeight();
  if (!((HasParentWindow() && viewWidth != 0 && viewHeight != 0) || FixedViewSize)) return;
  try {
    if (ComponentState().Contains(csDesigning)) {
      IEDrawBackground(ComponentState(), Canvas(), nullptr, backgroundStyle_, background_, 0, 0, Width(), Height(),
                       0, 0, 0, 0, chessboardSize_, chessboardBrushStyle_, GradientEndColor, wallPaper_.get(),
                       wallPaperStyle_);
      return;
    }
    if (paintLock_ == 0) {
      RECT rect{0, 0, viewWidth, viewHeight};
      if (!fullRepaint_) {
        rect = Canvas()->ClipRect();
        if (rect.right == 0) rect.right = viewWidth;
        if (rect.bottom == 0) rect.bottom = viewHeight;
      }
      BlitBackBuffer(rect);
      if (OnDrawCanvas) OnDrawCanvas(this, Canvas(), RECT{0, 0, viewWidth, viewHeight});
    }
    fullRepaint_ = false;
    if (!(sel_.RectMove && sel_.MoveState == 0)) DrawSelectionOutlines(this, false);
    if (OnPaint) OnPaint(this);
  } catch (...) {
    // A failing handler or compositor leaves what was drawn.
    fullRepaint_ = false;
  }
  if (drawVersion_) DrawVersionStamp();
  DrawInteractionHint();
  ApplyVideoPosition();
  if (firstPaintCursor_ && Owner()) {
    SetCursor(cursor_);
    firstPaintCursor_ = false;
  }
}

void TImageryView::FillBackBufferInfo() {
  BITMAPINFOHEADER& header = backBufferInfo_.bmiHeader;
  header = BITMAPINFOHEADER{};
  header.biSize = 40;
  header.biWidth = backBuffer_->GetWidth();
  header.biHeight = backBuffer_->GetHeight();
  header.biPlanes = 1;
  const bool bilevel = backBuffer_->GetPixelFormat() == ie1g;
  header.biBitCount = bilevel ? 1 : 24;
  if (bilevel) backBufferInfo_.bmiColors[1] = RGBQUAD{255, 255, 255, 0};
}

void TImageryView::DrawDibBackBuffer(const RECT& rect, int32_t width, int32_t height) {
  // The DIB's rows, bottom-up, contiguous.
  const int32_t rows = backBuffer_->GetHeight();
  const size_t rowLength = static_cast<size_t>(backBuffer_->GetRowLength());
  std::vector<uint8_t> bits(rowLength * static_cast<size_t>(rows));
  for (int32_t row = 0; row < rows; ++row)
    std::memcpy(bits.data() + rowLength * static_cast<size_t>(rows - 1 - row), backBuffer_->GetScanline(row),
                rowLength);
  DrawDibDraw(drawDib_, Canvas()->Handle(), rect.left, rect.top, width, height, &backBufferInfo_.bmiHeader,
              bits.data(), rect.left, rect.top, width, height, 0);
}

void TImageryView::BlitBackBuffer(const RECT& rect) {
  if (!(HasParentWindow() || FixedViewSize) || !backBuffer_) return;
  const int32_t viewWidth = GetViewWidth(), viewHeight = GetViewHeight();
  if (backBuffer_->GetWidth() != viewWidth || backBuffer_->GetHeight() != viewHeight) {
    backBuffer_->Allocate(viewWidth, viewHeight, ie24RGB);
    backBufferDirty_ = true;
  }
  if (backBufferDirty_) {
    DrawLayers(*backBuffer_, nullptr, true, true, &rect);
    if (OnDrawBackBuffer) OnDrawBackBuffer(this);
    backBufferDirty_ = false;
  }
  FillBackBufferInfo();
  const int32_t width = std::min<int32_t>(rect.right - rect.left, viewWidth);
  const int32_t height = std::min<int32_t>(rect.bottom - rect.top, viewHeight);
  const TIEImageryGlobalSettings& settings = *IEGetGlobalSettings();
  HDC dc = Canvas()->Handle();
  if ((UseDrawDib || settings.ScreenBitsPerPixel <= 8) && !settings.IsRemoteSession) {
    DrawDibBackBuffer(rect, width, height);
  } else if (settings.ScreenBitsPerPixel < 24 && !settings.IsRemoteSession) {
    const int oldMode = SetStretchBltMode(dc, HALFTONE);
    StretchBlt(dc, rect.left, rect.top, width, height, backBuffer_->GetTBitmapCanvas()->Handle(), rect.left,
               rect.top, width, height, SRCCOPY);
    SetStretchBltMode(dc, oldMode);
  } else if (isNavigator_ && (navigatorOptions_ & 2) != 0) {
    BlitWithNavigatorDim(rect);
  } else {
    BitBlt(dc, rect.left, rect.top, width, height, backBuffer_->GetTBitmapCanvas()->Handle(), rect.left, rect.top,
           SRCCOPY);
  }
  if (sel_.PolygonInProgress && !sel_.Lasso) DrawRubberLine();
}

void TImageryView::BlitWithNavigatorDim(const RECT& rect) {
  const int32_t viewWidth = GetViewWidth(), viewHeight = GetViewHeight();
  if (!dimBuffer_) {
    dimBuffer_ = std::make_unique<TIEBitmap>();
    dimBuffer_->SetLocation(ieTBitmap);
  }
  if (dimBuffer_->GetWidth() != viewWidth || dimBuffer_->GetHeight() != viewHeight)
    dimBuffer_->Allocate(viewWidth, viewHeight, ie24RGB);
  const int32_t width = rect.right - rect.left, height = rect.bottom - rect.top;
  backBuffer_->CopyRectToBitmap(*dimBuffer_, rect.left, rect.top, rect.left, rect.top, width, height);
  const TIELayer* layer = GetCurrentLayer();
  const RECT drawn{layer->DrawnRects[0], layer->DrawnRects[1], layer->DrawnRects[0] + layer->DrawnRects[2],
                   layer->DrawnRects[1] + layer->DrawnRects[3]};
  IEDimOutsideRect(dimBuffer_->GetTBitmapCanvas(), drawn, sel_.LastDrawnRect);
  BitBlt(Canvas()->Handle(), rect.left, rect.top, width, height, dimBuffer_->GetTBitmapCanvas()->Handle(), rect.left,
         rect.top, SRCCOPY);
}

void TImageryView::DrawInteractionHint() {
  if (hintText_.empty() || !EnableInteractionHints) return;
  int32_t x = hintX_, y = hintY_;
  IEDrawTranslucentHintBox(Canvas(), x, y, hintText_, hintSizingText_);
}

// No video renderer draws into views here: nothing to position.
void TImageryView::ApplyVideoPosition() {}

// ---- grid and version stamp ------------------------------------------------------------------------

void TImageryView::DrawGrid(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  if (GridColumns <= 1 && GridRows <= 1) return;
  IEOrderCoords(x1, y1, x2, y2);
  TCanvas* canvas = Canvas();
  canvas->Pen()->SetColor(static_cast<TColor>(IEGetGlobalSettings()->GridColor));
  canvas->Pen()->SetMode(pmCopy);
  canvas->Pen()->SetStyle(psSolid);
  for (int32_t a = 1; a < GridRows; ++a) {
    const int32_t y = y1 + static_cast<int32_t>(static_cast<int64_t>(a) * (y2 - y1) / GridRows);
    canvas->MoveTo(x1, y);
    canvas->LineTo(x2, y);
  }
  for (int32_t b = 1; b < GridColumns; ++b) {
    const int32_t x = x1 + static_cast<int32_t>(static_cast<int64_t>(b) * (x2 - x1) / GridColumns);
    canvas->MoveTo(x, y1);
    canvas->LineTo(x, y2);
  }
}

std::string TImageryView::VersionStampText() {
  return "Imagery Version " + ImageryVersion() + " - " + "9" + "/" + "3" + "/" + "2015";
}

void TImageryView::DrawVersionStamp() {
  TCanvas* canvas = Canvas();
  canvas->Font()->SetName("Arial");
  canvas->Font()->SetHeight(13);
  canvas->Font()->SetColor(clBlack);
  canvas->Brush()->SetStyle(bsSolid);
  canvas->Brush()->SetColor(clWhite);
  const std::string text = VersionStampText();
  const SIZE size = canvas->TextExtent(text);
  canvas->TextOut(GetViewWidth() - size.cx, GetViewHeight() - size.cy, text);
}

// ---- appearance settings ----------------------------------------------------------------------------

void TImageryView::SetBackground(TIEColor color) {
  TIEView::SetBackground(color);
  const bool designing = ComponentState().Contains(csDesigning);
  if (designing) FillWithBackground();
  UpdateWithReason(ieurBackground);
  updateReason_ = ieurBackground;
  ImageChange();
  updateReason_ = ieurGeneral;
  if (designing) PaintNow();
}

void TImageryView::SetBackgroundStyle(TIEBackgroundStyle style) {
  backgroundStyle_ = style;
  Invalidate();
  UpdateWithReason(ieurBackground);
}

void TImageryView::SetZoomFilter(TResampleFilter filter) {
  baseZoomFilter_ = filter;
  if (filter == zoomFilter_) return;
  zoomFilter_ = filter;
  Update();
}

void TImageryView::SetChessboardStyle(int32_t size, TBrushStyle brushStyle) {
  chessboardSize_ = size;
  chessboardBrushStyle_ = brushStyle;
}

bool TImageryView::PaletteChanged(bool) {
  TCustomForm* mainForm = Application->MainForm();
  if (mainForm && mainForm->HandleAllocated()) {
    HDC dc = GetDC(mainForm->Handle());
    if (DrawDibRealize(drawDib_, dc, FALSE) > 0) Invalidate();
    ReleaseDC(mainForm->Handle(), dc);
  } else {
    Invalidate();
  }
  return true;
}

void IEViewInvalidateRect(TImageryView* view, const RECT& rect) {
  view->InvalidateBackBuffer();
  if (view->HandleAllocated()) InvalidateRect(view->Handle(), &rect, FALSE);
}

void IEResetXorPen() {
  TIEImageryGlobalSettings& settings = *IEGetGlobalSettings();
  if (!settings.PixelGridPen) settings.PixelGridPen = std::make_unique<TPen>();
  settings.PixelGridPen->SetMode(pmNot);
  settings.PixelGridPen->SetStyle(psSolid);
  settings.PixelGridPen->SetWidth(1);
}
