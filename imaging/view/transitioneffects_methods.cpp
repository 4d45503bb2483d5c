// The kinds the transition engine draws itself: blends through the row
// tables, wipes, slides and pushes.
#include <algorithm>
#include <cstring>

#include "imaging/core/iesettings.h"
#include "imaging/view/transitioneffects.h"
#include "platform/rtl/system.h"
#include "platform/win/gdi.h"

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
