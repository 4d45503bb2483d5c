// The transition engine of the image views: it animates the change from one
// picture to another by composing a frame on every timer tick and copying it
// onto the view's canvas.
//
// Sections: kinds and timings | name tables | the engine
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "imaging/core/ruduvazez.h"
#include "platform/forms/graphics.h"
#include "platform/rtl/object.h"

class TIEView;
class TIEBitmap;
class TTimer;
class TIETransitionEffects;
struct TIETransitionRunState;

// ---- kinds and timings ----------------------------------------------------------

// 250 kinds and none. The engine draws 47 with its own methods; the others
// are drawn by the step procedures, one family at a time.
enum TIETransitionType : uint8_t {
  iettNone = 0,
  iettCrossDissolve = 1,
  iettFadeOut = 2,
  iettFadeIn = 3,
  iettFadeOutIn = 4,
  iettLeftRight1 = 5,
  iettLeftRight2 = 6,
  iettRightLeft1 = 7,
  iettRightLeft2 = 8,
  iettUpDown1 = 9,
  iettUpDown2 = 10,
  iettDownUp1 = 11,
  iettDownUp2 = 12,
  iettFromUpLeft = 13,
  iettFromUpRight = 14,
  iettFromBottomLeft = 15,
  iettFromBottomRight = 16,
  iettMoveLeftRight1 = 17,
  iettMoveLeftRight2 = 18,
  iettMoveRightLeft1 = 19,
  iettMoveRightLeft2 = 20,
  iettMoveUpDown1 = 21,
  iettMoveUpDown2 = 22,
  iettMoveDownUp1 = 23,
  iettMoveDownUp2 = 24,
  iettRandomPoints = 25,
  iettRandomBoxes = 26,
  iettCenter1 = 27,
  iettCenter2 = 28,
  iettCenterZoom1 = 29,
  iettCenterZoom2 = 30,
  iettExpandFromLeft = 31,
  iettExpandFromRight = 32,
  iettExpandFromTop = 33,
  iettExpandFromBottom = 34,
  iettExpandFromTopLeft = 35,
  iettExpandFromTopRight = 36,
  iettExpandFromBottomLeft = 37,
  iettExpandFromBottomRight = 38,
  iettExpandInFromLeft = 39,
  iettExpandInFromRight = 40,
  iettExpandInFromTop = 41,
  iettExpandInFromBottom = 42,
  iettExpandInToVerticalCenter = 43,
  iettExpandInToHorizon = 44,
  iettExpandInFromSides = 45,
  iettExpandInFromTopAndBottom = 46,
  iettExpandOutFromHorizon = 47,
  iettExpandOutFromVerticalCenter = 48,
  iettWipeFromTopLeft = 49,
  iettWipeFromTopRight = 50,
  iettWipeFromBottomLeft = 51,
  iettWipeFromBottomRight = 52,
  iettWipeInFromTopAndBottom = 53,
  iettWipeFromHorizon = 54,
  iettWipeInFromSides = 55,
  iettWipeOutFromVerticalCenter = 56,
  iettBuildUpFromLeft = 57,
  iettBuildUpFromRight = 58,
  iettBuildUpFromTop = 59,
  iettBuildUpFromBottom = 60,
  iettUnrollFromLeft = 61,
  iettUnrollFromRight = 62,
  iettUnrollFromTop = 63,
  iettUnrollFromBottom = 64,
  iettSlideInFromLeft = 65,
  iettSlideInFromRight = 66,
  iettSlideInFromTop = 67,
  iettSlideInFromBottom = 68,
  iettShrinkToTopLeft = 69,
  iettShrinkToTopRight = 70,
  iettShrinkToBottomLeft = 71,
  iettShrinkToBottomRight = 72,
  iettShrinkToCenter = 73,
  iettQuartersWipeInToCenter = 74,
  iettQuartersExpandToCenter = 75,
  iettQuartersSlideInToCenter = 76,
  iettCurvedWipeFromLeft = 77,
  iettCurvedWipeFromRight = 78,
  iettCurvedWipeFromTop = 79,
  iettCurvedWipeFromBottom = 80,
  iettCurvedWipeFromTopLeft = 81,
  iettCurvedWipeFromTopRight = 82,
  iettCurvedWipeFromBottomLeft = 83,
  iettCurvedWipeFromBottomRight = 84,
  iettBarsInFromLeft = 85,
  iettBarsInFromRight = 86,
  iettBarsFromTop = 87,
  iettBarsFromBottom = 88,
  iettBarsLeftThenRight = 89,
  iettBarsRightThenLeft = 90,
  iettBarsTopThenBottom = 91,
  iettBarsBottomThenTop = 92,
  iettBarsFromBothSides = 93,
  iettBarsFromTopAndBottom = 94,
  iettShreddedFromLeft = 95,
  iettShreddedFromRight = 96,
  iettShreddedFromTop = 97,
  iettShreddedFromBottom = 98,
  iettShreddedFromTopAndLeft = 99,
  iettShreddedFromTopAndRight = 100,
  iettShreddedFromBottomAndLeft = 101,
  iettShreddedFromBottomAndRight = 102,
  iettShreddedFromHorizonAndLeft = 103,
  iettShreddedFromHorizonAndRight = 104,
  iettShreddedFromTopAndVerticalCenter = 105,
  iettShreddedFromBottomAndVerticalCenter = 106,
  iettShreddedFromCenter = 107,
  iettShreddedToCenter = 108,
  iettShreddedInToHorizon = 109,
  iettShreddedInToVerticalCenter = 110,
  iettShreddedOutFromHorizon = 111,
  iettShreddedOutFromVerticalCenter = 112,
  iettExpandingRectangles = 113,
  iettExpandingTriangles = 114,
  iettExpandingCircles = 115,
  iettExpandingDiamonds = 116,
  iettCircularWipeFromCenter = 117,
  iettCircularWipeToCenter = 118,
  iettCrisscrossWipeFromTopLeft = 119,
  iettCrisscrossWipeFromTopRight = 120,
  iettCrisscrossWipeFromBottomLeft = 121,
  iettCrisscrossWipeFromBottomRight = 122,
  iettCrisscrossWipeBounceFromTopLeft = 123,
  iettCrisscrossWipeBounceFromTopRight = 124,
  iettCrisscrossWipeBounceFromBottomLeft = 125,
  iettCrisscrossWipeBounceFromBottomRight = 126,
  iettCrisscrossWipeFromLeftRightAndTop = 127,
  iettCrisscrossWipeFromLeftRightAndBottom = 128,
  iettCrisscrossWipeFromLeftTopAndBottom = 129,
  iettCrisscrossWipeFromTopLeftRightAndBottom = 130,
  iettCrisscrossWipeFromRightTopAndBottom = 131,
  iettCrisscrossWipeFromBottomLeftTopRight = 132,
  iettWipeDiagonalFromTopLeft = 133,
  iettWipeDiagonalFromTopRight = 134,
  iettWipeDiagonalFromBottomLeft = 135,
  iettWipeDiagonalFromBottomRight = 136,
  iettDiagonalSweepClockwise = 137,
  iettDiagonalSweepCounterClockwise = 138,
  iettSweepClockwise = 139,
  iettSweepCounterClockwise = 140,
  iettStarburstClockwiseFromCenter = 141,
  iettStarburstCounterClockwiseFromCenter = 142,
  iettRotationalRectangle = 143,
  iettRotationalRectangleCounterClockwise = 144,
  iettRotationalStar = 145,
  iettRotationalStarCounterClockwise = 146,
  iettSpeckledWipeFromLeft = 147,
  iettSpeckledWipeFromRight = 148,
  iettSpeckledWipeFromTop = 149,
  iettSpeckledWipeFromBottom = 150,
  iettPushLeftAndSlideOut = 151,
  iettPushRightAndSlideOut = 152,
  iettPushUpAndSlideOut = 153,
  iettPushDownAndSlideOut = 154,
  iettPushAndSqueezeLeft = 155,
  iettPushAndSqueezeRight = 156,
  iettPushAndSqueezeUp = 157,
  iettPushAndSqueezeDown = 158,
  iettHorizontalBlinds = 159,
  iettVerticalBlinds = 160,
  iettUnevenBlindsFromLeft = 161,
  iettUnevenBlindsFromRight = 162,
  iettUnevenBlindsFromTop = 163,
  iettUnevenBlindsFromBottom = 164,
  iettRectanglesFromTheLeft = 165,
  iettRectanglesFromTheRight = 166,
  iettRectanglesFromTheTop = 167,
  iettRectanglesFromTheBottom = 168,
  iettSpirallingRectangleClockwise = 169,
  iettSpirallingRectangleCounterClockwise = 170,
  iettArrowWipeFromLeft = 171,
  iettArrowWipeFromRight = 172,
  iettArrowWipeFromTop = 173,
  iettArrowWipeFromBottom = 174,
  iettHorizontalBowTieWipe = 175,
  iettVerticalBowTieWipe = 176,
  iettDiagonalCrossFromCenter = 177,
  iettDiagonalCrossToCenter = 178,
  iettZigzagWipeFromHorizon = 179,
  iettZigzagWipeFromVerticalCenter = 180,
  iettDiamondWipeFromCenter = 181,
  iettDiamondWipeToCenter = 182,
  iettDiagonalBoxWipe = 183,
  iettTriangularWipe = 184,
  iettRandomBigBoxes = 185,
  iettPageFlip = 186,
  iettPageFlip2 = 187,
  iettReversePageFlip = 188,
  iettReversePageFlip2 = 189,
  iettZigzagWipeToHorizon = 190,
  iettZigzagWipeToVerticalCenter = 191,
  iettRandomHearts = 192,
  iettRandomStar5s = 193,
  iettRandomStar6s = 194,
  iettRandomExplosions = 195,
  iettExpandingHearts = 196,
  iettExpandingStar5 = 197,
  iettExpandingStar6 = 198,
  iettExpandingExplosions = 199,
  iettExpandingLightningBolts = 200,
  iettHeartWipeOut = 201,
  iettHeartWipeIn = 202,
  iettStar5WipeOut = 203,
  iettStar5WipeIn = 204,
  iettStar6WipeOut = 205,
  iettStar6WipeIn = 206,
  iettExplosionWipeOut = 207,
  iettExplosionWipeIn = 208,
  iettCrossWipeOut = 209,
  iettCrossWipeIn = 210,
  iettHeartWipeInAndOut = 211,
  iettStar5WipeInAndOut = 212,
  iettStar6WipeInAndOut = 213,
  iettExplosionWipeInAndOut = 214,
  iettCubeRotateFromLeft = 215,
  iettCubeRotateFromRight = 216,
  iettCubeRotateFromTop = 217,
  iettCubeRotateFromBottom = 218,
  iettSoftWipeFromLeft = 219,
  iettSoftWipeFromRight = 220,
  iettSoftWipeFromTop = 221,
  iettSoftWipeFromBottom = 222,
  iettAngledTwistIn = 223,
  iettAngledTwistOut = 224,
  iettMultipleAngledTwistIn = 225,
  iettMultipleAngledTwistOut = 226,
  iettRandomPuzzlePieces = 227,
  iettPacmanFromLeft = 228,
  iettPacmanFromRight = 229,
  iettPacman3Row = 230,
  iettPacman4Row = 231,
  iettPacman2SimRow = 232,
  iettPacman4SimRow = 233,
  iettPacman6SimRow = 234,
  iettFullSweepClockwise = 235,
  iettExpandingSweepClockwise = 236,
  iettCubeRotateFromLeft2 = 237,
  iettCubeRotateFromRight2 = 238,
  iettCubeRotateFromTop2 = 239,
  iettCubeRotateFromBottom2 = 240,
  iettRandomBoxesWithWord = 241,
  iettRandomWord = 242,
  iettExpandingWord = 243,
  iettWordWipeOut = 244,
  iettWordWipeIn = 245,
  iettWordWipeInAndOut = 246,
  iettWordHalfSweep = 247,
  iettWordFullSweep = 248,
  iettWordFullExpandingSweep = 249,
  iettPanZoom = 250,
};
constexpr int32_t IETransitionKindCount = 251;

// How elapsed time maps to steps (0..1024).
enum TIETransitionTiming : uint8_t { iettmLinear = 0, iettmExponential = 1, iettmLogarithmic = 2 };

// The step (0..1024) of a run that has lasted elapsedMs of durationMs under
// timing. Never above 1024, never below 0, and a time that has no step (a
// logarithm of zero or less) gives 0.
int32_t IETransitionStepAt(TIETransitionTiming timing, uint32_t elapsedMs, int32_t durationMs);
// True for the kinds that the engine draws with its own methods.
bool IETransitionDrawnByEngine(TIETransitionType kind);

// ---- name tables -------------------------------------------------------------------

// The display name of a kind with the group of kinds it belongs to and a flag;
// user interfaces list them, the library reads none of them.
struct TEffect {
  const char* Name;
  uint8_t Group;
  uint8_t Flag;
};
// Entry k - 1 describes kind k, for kinds 1 (cross fade) to 249; none and
// pan/zoom have no entry.
extern const std::array<TEffect, 249> IETransitionNames;
// The names of the pan/zoom presets, for user interfaces.
extern const std::array<const char*, 46> IEPanZoomNames;

// ---- the engine --------------------------------------------------------------------

using TIETransitionStepEvent = std::function<void(TObject* sender, int32_t step)>;
using TIEOnTransitionPaint =
    std::function<void(TObject* sender, TBitmap* bitmap, TIETransitionEffects* transition, int32_t step)>;

// Usage: set Transition and Duration, PrepareBitmaps(w, h), paint the two
// pictures into StartBitmap and EndBitmap, then Run. The run holds the view's
// paint lock and ends by itself when the duration has passed, or with Stop.
class TIETransitionEffects : public TObject {
public:
  explicit TIETransitionEffects(TIEView* view);
  ~TIETransitionEffects() override;
  TIETransitionEffects(const TIETransitionEffects&) = delete;
  TIETransitionEffects& operator=(const TIETransitionEffects&) = delete;

  // Stops a run, then sizes the three work bitmaps to width x height.
  void PrepareBitmaps(int32_t width, int32_t height);
  // Starts a run of Transition. Refused (and any earlier run stopped) when
  // there is no kind or the work bitmaps are not the prepared 24-bit size.
  void Run(bool updateOnStop);
  // Ends a run: the work bitmaps shrink, the paint lock is released, the view
  // repaints itself (when the run was asked to) and OnTransitionStop fires.
  void Stop();
  // One frame: the timer calls it; tests may call it directly.
  void TimerTick();
  // Composes the frame of CurrentStep and copies it to canvas.
  void DrawStep(TCanvas* canvas);
  void SetOnTransitionPaint(TIEOnTransitionPaint event) { OnTransitionPaint = std::move(event); }

  bool Running() const { return running_; }
  int32_t CurrentStep() const { return currentStep_; }
  // The step the next frame shows; for tests and the review tool.
  void SetCurrentStep(int32_t step) { currentStep_ = step < 0 ? 0 : (step > 1024 ? 1024 : step); }
  bool FirstFrame() const { return firstFrame_; }
  // The kind of the run under way (fixed at Run), else Transition.
  TIETransitionType RunningTransition() const { return running_ ? runKind_ : Transition; }
  TBitmap* StartBitmap() const { return start_.get(); }
  TBitmap* EndBitmap() const { return end_.get(); }
  TBitmap* CurrentBitmap() const { return current_.get(); }
  TTimer* Timer() const { return timer_; }
  int32_t FrameWidth() const { return frameWidth_; }
  int32_t FrameHeight() const { return frameHeight_; }
  TIEView* View() const { return view_; }

  TIETransitionType Transition = iettNone;
  int32_t Duration = 1000;
  TIETransitionTiming Timing = iettmLinear;
  TColor BackgroundColor = 0;
  TIEBitmap* PanZoomSource = nullptr;  // not owned
  RECT StartRect{}, EndRect{};
  TNotifyEvent OnTransitionStop;
  TIETransitionStepEvent OnTransitionStep;
  TIEOnTransitionPaint OnTransitionPaint;

private:
  // The pixel rows of one work bitmap, top row first (3 bytes a pixel, blue first).
  using Rows = std::vector<uint8_t*>;

  bool bitmapsFitFrame() const;
  void buildRows();
  bool rowsStillHeld();
  void tick(uint64_t run);
  void copyFrameTo(TCanvas* canvas, TBitmap* bitmap);
  bool stillThisRun(uint64_t run) const { return running_ && runSerial_ == run; }
  // A start-first method draws over the previous frame, from the start picture on the first one.
  bool startFirst(int32_t step);

  // ---- the engine's methods (transitioneffects_methods.cpp)
  // Answers false when the kind has no method of the engine.
  bool drawMethod(int32_t step);
  void blendFrame(bool fromStart, bool toEnd, int32_t weight);
  void crossFade(int32_t step);
  void fade(int32_t step);
  void straightWipe(int32_t step);
  void edgeLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
  void cornerSlide(int32_t step);
  void pushOrSlideOut(int32_t step);
  void copyColumns(const Rows& from, int32_t fromColumn, int32_t toColumn, int32_t count);
  void copyRows(const Rows& from, int32_t fromRow, int32_t toRow, int32_t count);
  void copyBlock(TBitmap* from, int32_t x, int32_t y, int32_t w, int32_t h);
  // Stretches columns [fromX, fromX + fromWidth) of every row of from into (x, y, w, h) of the frame.
  void stretchInto(TBitmap* from, int32_t x, int32_t y, int32_t w, int32_t h, int32_t fromX, int32_t fromWidth);
  void randomPoints(int32_t step);
  void randomBoxes(int32_t step);
  void centreWipeOrZoom(int32_t step);
  void softWipe(int32_t step, bool forward, bool byRows);
  void shade(bool byRows, int32_t first, int32_t last, int32_t k);
  void cubeRotate(int32_t step);
  void pageFlip(int32_t step, bool forward);
  void pageFlipShade(int32_t fold, int32_t step, bool forward);
  // ---- the 3D kinds
  void cubeShade(bool byRows, bool endFirst, int32_t step, int32_t boundary);
  void cubeRotate3D(int32_t step);
  void pageFlip3D(int32_t step, bool forward);
  // ---- pan/zoom (transitioneffects_panzoom.cpp)
  void panZoom(int32_t step);
  void fillBackground();
  void paintViewBackground();

  TIEView* view_;
  TTimer* timer_;
  std::unique_ptr<TBitmap> start_, end_, current_;
  // What the step procedures keep from frame to frame of a run.
  std::unique_ptr<TIETransitionRunState> stepState_;
  Rows startRows_, endRows_, currentRows_;
  int32_t frameWidth_ = 0, frameHeight_ = 0;
  bool running_ = false;
  bool firstFrame_ = false;
  bool updateOnStop_ = false;
  int32_t currentStep_ = 0;
  int32_t randomDrawn_ = 0;
  uint32_t startTick_ = 0;
  TIETransitionType runKind_ = iettNone;
  // Counts runs, so a tick can tell that a handler stopped or restarted its run.
  uint64_t runSerial_ = 0;
  TRGB background_{};
  // Pan/zoom: the running extremes of the source rectangle's edges, left
  // min/max, top min/max, bottom min/max, right min/max.
  int32_t panZoomBounds_[8] = {};
};
