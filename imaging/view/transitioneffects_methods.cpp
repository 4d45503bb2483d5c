// The kinds the transition engine draws itself: blends through the row
// tables, wipes, slides and pushes.
#include <algorithm>
#include <cstring>
#include <memory>

#include "imaging/core/iesettings.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/processing/imageryproc.h"
#include "imaging/view/transitioneffects.h"
#include "platform/rtl/system.h"
#include "platform/win/gdi.h"
#include "platform/win/olepicture.h"

namespace {

constexpr int32_t kFull = 1024;

// (a * (1024 - k) + b * k) >> 10 for one byte.
uint8_t mix(uint8_t a, uint8_t b, int32_t k) { return static_cast<uint8_t>((a * (kFull - k) + b * k) >> 10); }

// value * count >> 10: a share of a length at a step.
int32_t share(int32_t step, int32_t length) { return static_cast<int32_t>((int64_t{step} * length) >> 10); }

bool altDrawing() { return IEGetGlobalSettings()->TransitionAltDrawing; }

}  // namespace

bool TIETransitionEffects::drawMethod(int32_t step) {
  switch (runKind_) {
    case iettCrossDissolve:
      crossFade(step);
      return true;
    case iettFadeOut:
    case iettFadeIn:
    case iettFadeOutIn:
      fade(step);
      return true;
    case iettLeftRight1:
    case iettLeftRight2:
    case iettRightLeft1:
    case iettRightLeft2:
    case iettUpDown1:
    case iettUpDown2:
    case iettDownUp1:
    case iettDownUp2:
      straightWipe(step);
      return true;
    case iettFromUpLeft:
    case iettFromUpRight:
    case iettFromBottomLeft:
    case iettFromBottomRight:
      cornerSlide(step);
      return true;
    case iettMoveLeftRight1:
    case iettMoveLeftRight2:
    case iettMoveRightLeft1:
    case iettMoveRightLeft2:
    case iettMoveUpDown1:
    case iettMoveUpDown2:
    case iettMoveDownUp1:
    case iettMoveDownUp2:
      pushOrSlideOut(step);
      return true;
    case iettRandomPoints:
      randomPoints(step);
      return true;
    case iettRandomBoxes:
      randomBoxes(step);
      return true;
    case iettCenter1:
    case iettCenter2:
    case iettCenterZoom1:
    case iettCenterZoom2:
      centreWipeOrZoom(step);
      return true;
    case iettSoftWipeFromLeft:
    case iettSoftWipeFromRight:
    case iettSoftWipeFromTop:
    case iettSoftWipeFromBottom:
      softWipe(step, runKind_ == iettSoftWipeFromLeft || runKind_ == iettSoftWipeFromTop,
               runKind_ == iettSoftWipeFromTop || runKind_ == iettSoftWipeFromBottom);
      return true;
    case iettCubeRotateFromLeft:
    case iettCubeRotateFromRight:
    case iettCubeRotateFromTop:
    case iettCubeRotateFromBottom:
      cubeRotate(step);
      return true;
    case iettPageFlip:
    case iettReversePageFlip:
      pageFlip(step, runKind_ == iettPageFlip);
      return true;
    case iettCubeRotateFromLeft2:
    case iettCubeRotateFromRight2:
    case iettCubeRotateFromTop2:
    case iettCubeRotateFromBottom2:
      cubeRotate3D(step);
      return true;
    case iettPageFlip2:
    case iettReversePageFlip2:
      pageFlip3D(step, runKind_ == iettPageFlip2);
      return true;
    case iettPanZoom:
      panZoom(step);
      return true;
    default:
      return false;
  }
}

// ---- blends ------------------------------------------------------------------------

// Every pixel: A with B at weight, A and B each the start or end picture or,
// when not taken from a picture, the background colour.
void TIETransitionEffects::blendFrame(bool fromStart, bool toEnd, int32_t weight) {
  const uint8_t bg[3] = {background_.b, background_.g, background_.r};
  const size_t bytes = static_cast<size_t>(frameWidth_) * 3;
  for (int32_t y = 0; y < frameHeight_; ++y) {
    const uint8_t* a = fromStart ? startRows_[static_cast<size_t>(y)] : nullptr;
    const uint8_t* b = toEnd ? endRows_[static_cast<size_t>(y)] : nullptr;
    uint8_t* out = currentRows_[static_cast<size_t>(y)];
    for (size_t i = 0; i < bytes; ++i) out[i] = mix(a ? a[i] : bg[i % 3], b ? b[i] : bg[i % 3], weight);
  }
}

void TIETransitionEffects::crossFade(int32_t step) { blendFrame(true, true, step); }

void TIETransitionEffects::fade(int32_t step) {
  const bool out = runKind_ == iettFadeOut || (runKind_ == iettFadeOutIn && step < 512);
  if (runKind_ == iettFadeOutIn) step = out ? 2 * step : 2 * step - kFull;
  if (out)
    blendFrame(true, false, step);
  else
    blendFrame(false, true, step);
}

// ---- wipes and slides ---------------------------------------------------------------

void TIETransitionEffects::copyBlock(TBitmap* from, int32_t x, int32_t y, int32_t w, int32_t h) {
  if (w <= 0 || h <= 0) return;
  BitBlt(current_->Canvas()->Handle(), x, y, w, h, from->Canvas()->Handle(), x, y, SRCCOPY);
}

void TIETransitionEffects::edgeLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  TCanvas* canvas = current_->Canvas();
  if (altDrawing()) {
    canvas->Pen()->SetColor(static_cast<TColor>(RGB(128, 128, 128)));
    canvas->Pen()->SetWidth(2);
  } else {
    canvas->Pen()->SetColor(255);
    canvas->Pen()->SetWidth(1);
  }
  canvas->MoveTo(x1, y1);
  canvas->LineTo(x2, y2);
}

void TIETransitionEffects::straightWipe(int32_t step) {
  startFirst(step);
  const int32_t w = frameWidth_, h = frameHeight_;
  const bool line = runKind_ == iettLeftRight2 || runKind_ == iettRightLeft2 || runKind_ == iettUpDown2 ||
                    runKind_ == iettDownUp2;
  const auto rounded = [](int32_t length, int32_t weight) {
    return static_cast<int32_t>(Round(static_cast<long double>(length) * weight / kFull));
  };
  switch (runKind_) {
    case iettLeftRight1:
    case iettLeftRight2: {
      const int32_t x = share(step, w);
      copyBlock(end_.get(), 0, 0, x, h);
      if (line) edgeLine(x, 0, x, h);
      break;
    }
    case iettRightLeft1:
    case iettRightLeft2: {
      const int32_t x = rounded(w, kFull - step);
      copyBlock(end_.get(), x, 0, rounded(w, step), h);
      if (line) edgeLine(x, 0, x, h);
      break;
    }
    case iettUpDown1:
    case iettUpDown2: {
      const int32_t y = rounded(h, step);
      copyBlock(end_.get(), 0, 0, w, y);
      if (line) edgeLine(0, y, w, y);
      break;
    }
    default: {  // bottom to top
      const int32_t y = rounded(h, kFull - step);
      copyBlock(end_.get(), 0, y, w, rounded(h, step));
      if (line) edgeLine(0, y, w, y);
      break;
    }
  }
}

void TIETransitionEffects::cornerSlide(int32_t step) {
  startFirst(step);
  const int32_t dx = share(kFull - step, frameWidth_), dy = share(kFull - step, frameHeight_);
  const bool fromLeft = runKind_ == iettFromUpLeft || runKind_ == iettFromBottomLeft;
  const bool fromTop = runKind_ == iettFromUpLeft || runKind_ == iettFromUpRight;
  const int32_t x = fromLeft ? -dx : dx, y = fromTop ? -dy : dy;
  BitBlt(current_->Canvas()->Handle(), x, y, frameWidth_, frameHeight_, end_->Canvas()->Handle(), 0, 0, SRCCOPY);
}

// ---- pushes and slide-outs: whole rows, every frame complete --------------------------

void TIETransitionEffects::copyColumns(const Rows& from, int32_t fromColumn, int32_t toColumn, int32_t count) {
  if (count <= 0) return;
  for (int32_t y = 0; y < frameHeight_; ++y)
    std::memcpy(currentRows_[static_cast<size_t>(y)] + static_cast<size_t>(toColumn) * 3,
                from[static_cast<size_t>(y)] + static_cast<size_t>(fromColumn) * 3, static_cast<size_t>(count) * 3);
}

void TIETransitionEffects::copyRows(const Rows& from, int32_t fromRow, int32_t toRow, int32_t count) {
  if (frameWidth_ <= 0) return;
  for (int32_t i = 0; i < count; ++i)
    std::memcpy(currentRows_[static_cast<size_t>(toRow + i)], from[static_cast<size_t>(fromRow + i)],
                static_cast<size_t>(frameWidth_) * 3);
}

void TIETransitionEffects::pushOrSlideOut(int32_t step) {
  const int32_t w = frameWidth_, h = frameHeight_;
  const int32_t c = share(step, w), cBack = share(kFull - step, w);
  const int32_t r = share(step, h), rBack = share(kFull - step, h);
  switch (runKind_) {
    case iettMoveLeftRight1:
      copyColumns(endRows_, w - c, 0, c);
      copyColumns(startRows_, 0, c, w - c);
      break;
    case iettMoveLeftRight2:
      copyColumns(endRows_, 0, 0, c);
      copyColumns(startRows_, 0, c, w - c);
      break;
    case iettMoveRightLeft1:
      copyColumns(startRows_, w - cBack, 0, cBack);
      copyColumns(endRows_, 0, cBack, w - cBack);
      break;
    case iettMoveRightLeft2:
      copyColumns(startRows_, 0, 0, cBack);
      copyColumns(endRows_, 0, cBack, w - cBack);
      break;
    case iettMoveUpDown1:
      copyRows(endRows_, h - r, 0, r);
      copyRows(startRows_, 0, r, h - r);
      break;
    case iettMoveUpDown2:
      copyRows(endRows_, 0, 0, r);
      copyRows(startRows_, 0, r, h - r);
      break;
    case iettMoveDownUp1:
      copyRows(startRows_, h - rBack, 0, rBack);
      copyRows(endRows_, 0, rBack, h - rBack);
      break;
    default:  // slide out bottom to top
      copyRows(startRows_, h - rBack, 0, rBack);
      copyRows(endRows_, rBack, rBack, h - rBack);
      break;
  }
}

// ---- random dots and boxes ----------------------------------------------------------

namespace {

// How many random copies a run has made by step: total x step x step / 180 / 1024.
int32_t randomCopiesAt(int64_t total, int32_t step) {
  return static_cast<int32_t>(Round(static_cast<long double>(total * step) * (step / 180.0L) / kFull));
}

}  // namespace

void TIETransitionEffects::randomPoints(int32_t step) {
  startFirst(step);
  if (step <= 0) return;
  const int32_t target = randomCopiesAt(frameWidth_, step);
  const int32_t count = target - randomDrawn_;
  randomDrawn_ = target;
  const int32_t run = altDrawing() ? 6 : 1;
  for (int32_t y = 0; y < frameHeight_; ++y) {
    const uint8_t* from = endRows_[static_cast<size_t>(y)];
    uint8_t* to = currentRows_[static_cast<size_t>(y)];
    for (int32_t i = 0; i < count; ++i) {
      const int32_t x = Random(frameWidth_);
      const int32_t n = std::min(run, frameWidth_ - x);
      std::memcpy(to + static_cast<size_t>(x) * 3, from + static_cast<size_t>(x) * 3, static_cast<size_t>(n) * 3);
    }
  }
}

void TIETransitionEffects::randomBoxes(int32_t step) {
  if (step == 0) {
    copyRows(startRows_, 0, 0, frameHeight_);
    return;
  }
  const int32_t side = altDrawing() ? 16 : 8;
  const int32_t target = randomCopiesAt((int64_t{frameWidth_} * frameHeight_) / (side * side), step);
  const int32_t count = target - randomDrawn_;
  randomDrawn_ = target;
  for (int32_t i = 0; i < count; ++i) {
    const int32_t x = Random(frameWidth_) / 8 * 8;  // an 8-pixel grid, also for the big boxes
    const int32_t y = Random(frameHeight_) / 8 * 8;
    copyBlock(end_.get(), x, y, std::min(side, frameWidth_ - x), std::min(side, frameHeight_ - y));
  }
}

// ---- centre wipes and zooms --------------------------------------------------------------

void TIETransitionEffects::stretchInto(TBitmap* from, int32_t x, int32_t y, int32_t w, int32_t h, int32_t fromX,
                                       int32_t fromWidth) {
  if (w <= 0 || h <= 0 || fromWidth <= 0) return;
  HDC dc = current_->Canvas()->Handle();
  SetStretchBltMode(dc, HALFTONE);
  StretchBlt(dc, x, y, w, h, from->Canvas()->Handle(), fromX, 0, fromWidth, frameHeight_, SRCCOPY);
}

void TIETransitionEffects::centreWipeOrZoom(int32_t step) {
  const bool outward = runKind_ == iettCenter1 || runKind_ == iettCenterZoom1;
  const bool zoom = runKind_ == iettCenterZoom1 || runKind_ == iettCenterZoom2;
  // Outward: the new picture grows over the old; inward: the old shrinks over the new.
  const int32_t t = outward ? step : kFull - step;
  TBitmap* inner = outward ? end_.get() : start_.get();
  if (outward)
    startFirst(step);
  else
    copyRows(endRows_, 0, 0, frameHeight_);
  const int32_t x = frameWidth_ / 2 - share(t, frameWidth_ / 2), y = frameHeight_ / 2 - share(t, frameHeight_ / 2);
  const int32_t w = share(t, frameWidth_), h = share(t, frameHeight_);
  if (zoom)
    stretchInto(inner, x, y, w, h, 0, frameWidth_);
  else
    copyBlock(inner, x, y, w, h);
}

// ---- soft wipes ----------------------------------------------------------------------------

// The new picture follows a front that moves along the columns (or rows) and
// fades in over an edge of an eighth (a quarter) of the length behind it.
void TIETransitionEffects::softWipe(int32_t step, bool forward, bool byRows) {
  const int32_t length = byRows ? frameHeight_ : frameWidth_;
  // Frames shorter than the divisor still get an edge of one pixel.
  const int32_t edge = std::max(1, altDrawing() ? length / 4 : length / 8);
  const int32_t front = MulDiv(edge + length, forward ? step : kFull - step, kFull);
  const Rows& a = forward ? startRows_ : endRows_;
  const Rows& b = forward ? endRows_ : startRows_;
  const auto weight = [&](int32_t i) { return i > front ? 0 : std::min(kFull, MulDiv(kFull, front - i, edge)); };
  for (int32_t y = 0; y < frameHeight_; ++y) {
    const uint8_t* from = a[static_cast<size_t>(y)];
    const uint8_t* to = b[static_cast<size_t>(y)];
    uint8_t* out = currentRows_[static_cast<size_t>(y)];
    const int32_t rowWeight = byRows ? weight(y) : 0;
    for (int32_t x = 0; x < frameWidth_; ++x) {
      const int32_t k = byRows ? rowWeight : weight(x);
      for (size_t c = static_cast<size_t>(x) * 3, end = c + 3; c < end; ++c) out[c] = mix(from[c], to[c], k);
    }
  }
}

// ---- shading -------------------------------------------------------------------------------

// Pixels of columns [first, last) (rows with byRows) become the background
// with the pixel at weight k.
void TIETransitionEffects::shade(bool byRows, int32_t first, int32_t last, int32_t k) {
  const int32_t length = byRows ? frameHeight_ : frameWidth_;
  first = std::max(first, 0);
  last = std::min(last, length);
  if (first >= last || k >= kFull) return;
  const uint8_t bg[3] = {background_.b, background_.g, background_.r};
  const int32_t y0 = byRows ? first : 0, y1 = byRows ? last : frameHeight_;
  const size_t x0 = byRows ? 0 : static_cast<size_t>(first) * 3;
  const size_t x1 = byRows ? static_cast<size_t>(frameWidth_) * 3 : static_cast<size_t>(last) * 3;
  for (int32_t y = y0; y < y1; ++y) {
    uint8_t* row = currentRows_[static_cast<size_t>(y)];
    for (size_t i = x0; i < x1; ++i) row[i] = mix(bg[i % 3], row[i], k);
  }
}

// ---- cube rotations ------------------------------------------------------------------------

namespace {

// Where the moving edge of a cube rotation is along side: as far as on the
// frame's longer side, scaled to this one.
int32_t cubeEdge(int32_t step, int32_t side, int32_t w, int32_t h) {
  const int32_t longer = std::max(w, h);
  return longer > 0 ? MulDiv(MulDiv(longer, step, kFull), side, longer) : 0;
}

}  // namespace

void TIETransitionEffects::cubeRotate(int32_t step) {
  const int32_t w = frameWidth_, h = frameHeight_;
  const bool byRows = runKind_ == iettCubeRotateFromTop || runKind_ == iettCubeRotateFromBottom;
  const bool endFirst = runKind_ == iettCubeRotateFromLeft || runKind_ == iettCubeRotateFromTop;
  const int32_t side = byRows ? h : w, moved = cubeEdge(step, side, w, h);
  const int32_t boundary = endFirst ? moved : side - moved;
  TBitmap* first = endFirst ? end_.get() : start_.get();
  TBitmap* second = endFirst ? start_.get() : end_.get();
  HDC dc = current_->Canvas()->Handle();
  SetStretchBltMode(dc, HALFTONE);
  const auto stretch = [&](TBitmap* from, int32_t x, int32_t y, int32_t cw, int32_t ch) {
    if (cw > 0 && ch > 0) StretchBlt(dc, x, y, cw, ch, from->Canvas()->Handle(), 0, 0, w, h, SRCCOPY);
  };
  if (byRows) {
    stretch(first, 0, 0, w, boundary);
    stretch(second, 0, boundary, w, h - boundary);
  } else {
    stretch(first, 0, 0, boundary, h);
    stretch(second, boundary, 0, w - boundary, h);
  }
  cubeShade(byRows, endFirst, step, boundary);
}

// The leaving face darkens toward a quarter, the arriving one brightens from it.
void TIETransitionEffects::cubeShade(bool byRows, bool endFirst, int32_t step, int32_t boundary) {
  if (altDrawing()) return;
  const int32_t arriving = std::min<int32_t>(kFull, static_cast<int32_t>(Round(step + 770.0L / 3)));
  const int32_t leaving = std::min<int32_t>(kFull, static_cast<int32_t>(Round(kFull - step + 770.0L / 3)));
  shade(byRows, 0, boundary, endFirst ? arriving : leaving);
  shade(byRows, boundary, byRows ? frameHeight_ : frameWidth_, endFirst ? leaving : arriving);
}

// ---- the 3D kinds: pictures drawn onto quadrilaterals ----------------------------------

namespace {

// Corners top-left, top-right, bottom-right, bottom-left.
struct Quad {
  int32_t x0, y0, x1, y1, x2, y2, x3, y3;
};

// A picture's pixels copied onto a quadrilateral of the frame. Copied, not
// blended: a blend at full opacity stops a level short of the picture.
void drawOnQuad(TIEBitmap& picture, TIEBitmap& frame, const Quad& q) {
  IEPerspectiveDraw(&picture, &frame, q.x0, q.y0, q.x1, q.y1, q.x2, q.y2, q.x3, q.y3, -1, -1, false, 255);
}

// Columns [first, first + width) of rows as a picture of their own.
std::unique_ptr<TIEBitmap> pictureOf(const std::vector<uint8_t*>& rows, int32_t first, int32_t width) {
  const int32_t height = static_cast<int32_t>(rows.size());
  auto picture = std::make_unique<TIEBitmap>(std::max(width, 1), std::max(height, 1), ie24RGB);
  if (width <= 0) return picture;
  for (int32_t y = 0; y < height; ++y)
    std::memcpy(picture->GetScanline(y), rows[static_cast<size_t>(y)] + static_cast<size_t>(first) * 3,
                static_cast<size_t>(width) * 3);
  return picture;
}

}  // namespace

// The two faces of a cube turning about its moving edge, on the background.
void TIETransitionEffects::cubeRotate3D(int32_t step) {
  const int32_t w = frameWidth_, h = frameHeight_;
  const bool byRows = runKind_ == iettCubeRotateFromTop2 || runKind_ == iettCubeRotateFromBottom2;
  const bool endFirst = runKind_ == iettCubeRotateFromLeft2 || runKind_ == iettCubeRotateFromTop2;
  fillBackground();
  if (w <= 0 || h <= 0) return;
  const int32_t side = byRows ? h : w, moved = cubeEdge(step, side, w, h);
  const int32_t e = endFirst ? moved : side - moved;
  // How far the first face's outer edge and the second face's far edge lean in.
  const int32_t across = byRows ? w : h;
  const int32_t a = MulDiv(across, endFirst ? kFull - step : step, 4096);
  const int32_t b = MulDiv(across, endFirst ? step : kFull - step, 4096);
  auto start = pictureOf(startRows_, 0, w), end = pictureOf(endRows_, 0, w);
  TIEBitmap frame;
  frame.AttachTBitmap(current_.get(), false);
  TIEBitmap& first = endFirst ? *end : *start;
  TIEBitmap& second = endFirst ? *start : *end;
  if (byRows) {
    drawOnQuad(first, frame, {a, 0, w - a, 0, w, e, 0, e});
    drawOnQuad(second, frame, {0, e, w, e, w - b, h, b, h});
  } else {
    drawOnQuad(first, frame, {0, a, e, 0, e, h, 0, h - a});
    drawOnQuad(second, frame, {e, 0, w, b, w, h - b, e, h});
  }
  cubeShade(byRows, endFirst, step, e);
}

// The page turning about the spine in perspective, the still pages drawn
// smaller as the run nears its middle.
void TIETransitionEffects::pageFlip3D(int32_t step, bool forward) {
  const int32_t w = frameWidth_, h = frameHeight_, hw = w / 2;
  if (step == 0) {
    copyRows(startRows_, 0, 0, frameHeight_);
    return;
  }
  const int32_t folded = step <= 512 ? step : kFull - step;
  const int32_t a = MulDiv(h, folded, 5120), d = a / 2;
  fillBackground();
  if (w <= 0 || h <= 0) return;
  TCanvas* canvas = current_->Canvas();
  canvas->Pen()->SetColor(0);
  canvas->Pen()->SetWidth(1);
  canvas->Pen()->SetStyle(psSolid);
  auto startLeft = pictureOf(startRows_, 0, hw), startRight = pictureOf(startRows_, hw, w - hw);
  auto endLeft = pictureOf(endRows_, 0, hw), endRight = pictureOf(endRows_, hw, w - hw);
  int32_t fold;
  {
    TIEBitmap frame;
    frame.AttachTBitmap(current_.get(), false);
    if (forward) {
      drawOnQuad(*startLeft, frame, {d, d, hw, a, hw, h - a, d, h - d});
      drawOnQuad(*endRight, frame, {hw, a, w - d, d, w - d, h - d, hw, h - a});
      if (step <= 512) {
        const int32_t turning = MulDiv(w, 512 - step, kFull);
        drawOnQuad(*startRight, frame, {hw, a, hw + turning, 0, hw + turning, h, hw, h - a});
        fold = hw + turning;
      } else {
        const int32_t turning = MulDiv(w, step - 512, 512) / 2;
        drawOnQuad(*endLeft, frame, {hw - turning, 0, hw, a, hw, h - a, hw - turning, h});
        fold = hw - turning;
      }
    } else {
      drawOnQuad(*endLeft, frame, {d, 0, hw, a, hw, h - a, d, h});
      drawOnQuad(*startRight, frame, {hw, a, w - d, 0, w - d, h, hw, h - a});
      if (step <= 512) {
        const int32_t turning = MulDiv(w, step, kFull);
        drawOnQuad(*startLeft, frame, {turning, 0, hw, a, hw, h - a, turning, h});
        fold = turning;
      } else {
        const int32_t turning = MulDiv(w, step - 512, 512) / 2;
        drawOnQuad(*endRight, frame, {hw, a, hw + turning, 0, hw + turning, h, hw, h - a});
        fold = hw + turning;
      }
    }
  }
  pageFlipShade(fold, step, forward);
  if (altDrawing()) return;
  // The spine darkens toward the background as the page stands up.
  shade(false, hw, hw + 1, kFull - MulDiv(MulDiv(folded, 255, kFull), kFull, 255));
}

// ---- page flips ----------------------------------------------------------------------------

void TIETransitionEffects::pageFlip(int32_t step, bool forward) {
  const int32_t w = frameWidth_, h = frameHeight_, hw = w / 2;
  HDC dc = current_->Canvas()->Handle();
  if (step == 0 || firstFrame_) stretchInto(start_.get(), 0, 0, w, h, 0, w);
  if (step == 0) return;
  TCanvas* canvas = current_->Canvas();
  SetStretchBltMode(dc, HALFTONE);
  canvas->Pen()->SetColor(0);
  canvas->Pen()->SetWidth(1);
  canvas->Pen()->SetStyle(psSolid);
  const bool alt = altDrawing();
  // Halves: left (0, hw) and right (hw, hw), each stretched into a strip of the frame.
  const auto half = [&](TBitmap* from, bool right, int32_t x, int32_t width) {
    stretchInto(from, x, 0, width, h, right ? hw : 0, hw);
  };
  int32_t fold;
  if (forward) {
    half(end_.get(), true, hw, hw);
    if (step <= 512) {
      const int32_t turning = MulDiv(w, 512 - step, kFull);
      half(start_.get(), true, hw, turning);
      fold = hw + turning;
    } else {
      const int32_t turning = MulDiv(w, step - 512, 512) / 2;
      if (!alt) half(start_.get(), false, 0, hw);
      half(end_.get(), false, hw - turning, turning);
      fold = hw - turning;
    }
  } else {
    half(end_.get(), false, 0, hw);
    if (step <= 512) {
      const int32_t turning = MulDiv(w, step, kFull);
      half(start_.get(), false, turning, hw - turning);
      fold = turning;
    } else {
      const int32_t turning = MulDiv(w, step - 512, 512) / 2;
      half(start_.get(), true, hw, hw);
      half(end_.get(), true, hw, turning);
      fold = hw + turning;
    }
  }
  if (!alt) pageFlipShade(fold, step, forward);
}

// Shades the pages on one side of the fold, most at the ends of the run and
// not at all at its middle, then draws the fold with the frame's pen.
void TIETransitionEffects::pageFlipShade(int32_t fold, int32_t step, bool forward) {
  const int32_t k = step < 512 ? step + 512 : 1536 - step;
  const bool beyond = (step < 512) == forward;  // the columns after the fold
  if (beyond)
    shade(false, fold + 1, frameWidth_, k);
  else
    shade(false, 0, fold, k);
  current_->Canvas()->MoveTo(fold, 0);
  current_->Canvas()->LineTo(fold, frameHeight_);
}
