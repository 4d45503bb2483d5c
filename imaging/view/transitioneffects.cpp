// The transition engine: runs, ticks, timings and frame copies (see transitioneffects.h).
#include "imaging/view/transitioneffects.h"

#include <cmath>

#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/view/ieview.h"
#include "imaging/view/transitionsteps.h"
#include "platform/forms/extctrls.h"
#include "platform/rtl/system.h"
#include "platform/rtl/threads.h"
#include "platform/win/gdi.h"

// ---- kinds and timings ----------------------------------------------------------

namespace {

// The steps of the timings at r = elapsed / duration, before clamping.
long double timedStep(TIETransitionTiming timing, long double r) {
  switch (timing) {
    case iettmExponential:
      return std::exp(5 * r - 2.718L) / 10 * 1024;
    case iettmLogarithmic:
      // No step where the logarithm is undefined or still negative.
      if (!(10 * r > 0)) return 0;
      return (std::log(10 * r) + 2.718L) / 5 * 1024;
    case iettmLinear:
      break;
  }
  return r * 1024;
}

}  // namespace

int32_t IETransitionStepAt(TIETransitionTiming timing, uint32_t elapsedMs, int32_t durationMs) {
  if (durationMs <= 0) return 1024;
  const long double step = timedStep(timing, static_cast<long double>(elapsedMs) / durationMs);
  if (!(step > 0)) return 0;  // negative or not a number
  if (step >= 1024) return 1024;
  return static_cast<int32_t>(Trunc(step));
}

bool IETransitionDrawnByEngine(TIETransitionType kind) {
  return (kind >= iettCrossDissolve && kind <= iettCenterZoom2) ||
         (kind >= iettPageFlip && kind <= iettReversePageFlip2) ||
         (kind >= iettCubeRotateFromLeft && kind <= iettSoftWipeFromBottom) ||
         (kind >= iettCubeRotateFromLeft2 && kind <= iettCubeRotateFromBottom2) || kind == iettPanZoom;
}

// ---- the engine --------------------------------------------------------------------

namespace {

std::unique_ptr<TBitmap> makeWorkBitmap() {
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetPixelFormat(pf24bit);
  bitmap->SetSize(1, 1);
  return bitmap;
}

}  // namespace

TIETransitionEffects::TIETransitionEffects(TIEView* view)
    : view_(view),
      timer_(new TTimer(view)),
      start_(makeWorkBitmap()),
      end_(makeWorkBitmap()),
      current_(makeWorkBitmap()),
      stepState_(std::make_unique<TIETransitionRunState>()) {
  timer_->SetEnabled(false);
  timer_->SetInterval(1);
  timer_->SetOnTimer([this](TObject*) { TimerTick(); });
}

TIETransitionEffects::~TIETransitionEffects() { delete timer_; }

void TIETransitionEffects::PrepareBitmaps(int32_t width, int32_t height) {
  Stop();
  frameWidth_ = width;
  frameHeight_ = height;
  panZoomBounds_[0] = panZoomBounds_[7] = 0;  // the next pan/zoom frame starts the bounds afresh
  current_->SetSize(width, height);
  start_->SetSize(width, height);
  end_->SetSize(width, height);
}

bool TIETransitionEffects::bitmapsFitFrame() const {
  if (frameWidth_ < 2 && frameHeight_ < 2) return false;
  if (frameWidth_ < 0 || frameHeight_ < 0) return false;  // no frame has a negative side
  // A frame without pixels (no columns or no rows) has bitmaps of 0 x 0.
  const bool empty = frameWidth_ <= 0 || frameHeight_ <= 0;
  const int32_t width = empty ? 0 : frameWidth_, height = empty ? 0 : frameHeight_;
  for (const TBitmap* bitmap : {start_.get(), end_.get(), current_.get()})
    if (bitmap->Width() != width || bitmap->Height() != height || bitmap->PixelFormat() != pf24bit)
      return false;
  return true;
}

void TIETransitionEffects::buildRows() {
  auto rowsOf = [this](TBitmap* bitmap, Rows& rows) {
    rows.assign(static_cast<size_t>(frameHeight_), nullptr);
    if (frameWidth_ <= 0 || frameHeight_ <= 0) return;  // a bitmap without pixels has no memory
    for (int32_t y = 0; y < frameHeight_; ++y) rows[static_cast<size_t>(y)] = static_cast<uint8_t*>(bitmap->ScanLine(y));
  };
  rowsOf(start_.get(), startRows_);
  rowsOf(end_.get(), endRows_);
  rowsOf(current_.get(), currentRows_);
}

// A handler may paint the work bitmaps anew during a run: one of another size
// or format ends the run, one of the same size is read through fresh rows.
bool TIETransitionEffects::rowsStillHeld() {
  if (!bitmapsFitFrame()) return false;
  if (frameWidth_ > 0 && frameHeight_ > 0 &&
      (startRows_.front() != start_->ScanLine(0) || endRows_.front() != end_->ScanLine(0) ||
       currentRows_.front() != current_->ScanLine(0)))
    buildRows();
  return true;
}

void TIETransitionEffects::Run(bool updateOnStop) {
  if (Transition == iettNone || Transition > iettPanZoom) return;  // no kind to draw
  if (running_ && view_) view_->EndPaintLockNoRefresh();
  updateOnStop_ = updateOnStop;
  running_ = true;
  currentStep_ = 0;
  firstFrame_ = true;
  randomDrawn_ = 0;
  ++runSerial_;
  if (!bitmapsFitFrame()) {
    // Refused: nothing of an earlier run may keep ticking either.
    running_ = false;
    timer_->SetEnabled(false);
    return;
  }
  runKind_ = Transition;
  if (view_) view_->BeginPaintLock();
  buildRows();
  startTick_ = GetTickCount();
  timer_->SetEnabled(true);
}

void TIETransitionEffects::Stop() {
  if (!running_) return;
  timer_->SetEnabled(false);
  running_ = false;
  ++runSerial_;
  startRows_.clear();
  endRows_.clear();
  currentRows_.clear();
  current_->SetSize(1, 1);
  start_->SetSize(1, 1);
  end_->SetSize(1, 1);
  if (!view_) return;
  view_->EndPaintLockNoRefresh();
  if (updateOnStop_) view_->Update();
  if (OnTransitionStop) OnTransitionStop(view_);
}

void TIETransitionEffects::copyFrameTo(TCanvas* canvas, TBitmap* bitmap) {
  if (!canvas) return;
  BitBlt(canvas->Handle(), 0, 0, frameWidth_, frameHeight_, bitmap->Canvas()->Handle(), 0, 0, SRCCOPY);
}

void TIETransitionEffects::TimerTick() {
  if (!running_) return;
  const uint64_t run = runSerial_;
  try {
    tick(run);
  } catch (...) {
    // A frame that fails ends its run rather than failing on every tick.
    if (stillThisRun(run)) Stop();
    throw;
  }
}

// A handler may stop the run or prepare again: the tick then ends, since the
// row tables no longer describe the work bitmaps.
void TIETransitionEffects::tick(uint64_t run) {
  if (OnTransitionStep) {
    OnTransitionStep(view_, currentStep_);
    if (!stillThisRun(run)) return;
  }
  if (!rowsStillHeld()) {
    Stop();
    return;
  }
  DrawStep(view_ ? view_->GetCanvas() : nullptr);
  if (OnTransitionPaint) {
    OnTransitionPaint(view_, current_.get(), this, currentStep_);
    if (!stillThisRun(run)) return;
  }
  const uint32_t elapsed = GetTickCount() - startTick_;
  if (Duration > 0 && elapsed < static_cast<uint32_t>(Duration)) {
    currentStep_ = IETransitionStepAt(Timing, elapsed, Duration);
    firstFrame_ = false;
    return;
  }
  if (updateOnStop_ && runKind_ != iettPanZoom) {
    copyFrameTo(view_ ? view_->GetCanvas() : nullptr, end_.get());
    if (OnTransitionPaint) {
      OnTransitionPaint(view_, end_.get(), this, 1024);
      if (!stillThisRun(run)) return;
    }
  }
  Stop();
}

bool TIETransitionEffects::startFirst(int32_t step) {
  if (step != 0 && !firstFrame_) return false;
  copyRows(startRows_, 0, 0, frameHeight_);
  return true;
}

void TIETransitionEffects::DrawStep(TCanvas* canvas) {
  if (!running_ || !rowsStillHeld()) return;
  IEColorToRGB(static_cast<TIEColor>(BackgroundColor), background_);
  if (!drawMethod(currentStep_)) {
    // The step procedures draw these kinds over the previous frame, which
    // starts as the start picture; their per-run state starts afresh there.
    if (startFirst(currentStep_)) stepState_->Ready = false;
    if (currentStep_ > 0) {
      TCanvas* canvas = current_->Canvas();
      SetStretchBltMode(canvas->Handle(), HALFTONE);
      PerformTransitionStep(runKind_, canvas, start_.get(), end_.get(), {0, 0, frameWidth_, frameHeight_},
                            currentStep_, *stepState_);
    }
  }
  copyFrameTo(canvas, current_.get());
}
