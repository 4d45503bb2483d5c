// Every transition kind checked as one table: the first frame is the old
// picture, the last the new one, every pixel in between comes from the two
// pictures, accumulating kinds never take back what they showed, runs repeat
// exactly, and tiny frames draw without fault.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "imaging/core/iesettings.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/view/transitionsteps.h"
#include "platform/rtl/system.h"
#include "tests/imaging/view/transition_test_support.h"

namespace {

// How a kind may colour a frame besides blends of the two pictures.
enum Extra : uint8_t {
  kNone,
  kBackground,  // passes through the background colour
  kEdgeLine,    // the wipes' red (grey with the alternative drawing) edge line
  kFold,        // shading toward the background and the page flips' black fold
  kBlack,       // blends toward black or shows black (darkened squeezes, sweeps through black)
};

enum Flag : uint16_t {
  kStartsOnBackground = 1 << 0,  // the frame at 0 is the background, not the old picture
  kEndsOnBackground = 1 << 1,    // the frame at 1024 is the background, not the new picture
  kEvenWidths = 1 << 2,          // complete at 1024 only when the width is even
  kEvenSizes = 1 << 3,           // complete at 1024 only when width and height are even
  kGaps = 1 << 4,                // never complete at 1024: random copies or cells leave gaps
  kInPlace = 1 << 5,             // every pixel is old(x, y), new(x, y) or a blend of the two
  kAccumulates = 1 << 6,         // a pixel once showing the new picture keeps showing it
  kOneAtATime = 1 << 7,          // may show one picture only (the new one stretched, or one of them and black)
  kCells = 1 << 8,               // random cells seeded from the end bitmap's handle
};

struct Kind {
  TIETransitionType kind;
  Extra extra;
  uint16_t flags;
  int32_t altFlags = -1;  // the flags with the alternative drawing, when they differ
  uint16_t Flags(bool alt) const { return alt && altFlags >= 0 ? static_cast<uint16_t>(altFlags) : flags; }
};

constexpr uint16_t kWipe = kInPlace | kAccumulates;

const Kind kKinds[] = {
    // drawn by the engine
    {iettCrossDissolve, kNone, kInPlace},
    {iettFadeOut, kBackground, kEndsOnBackground},
    {iettFadeIn, kBackground, kStartsOnBackground},
    {iettFadeOutIn, kBackground, kOneAtATime},
    {iettLeftRight1, kNone, kWipe},
    {iettLeftRight2, kEdgeLine, kInPlace},
    {iettRightLeft1, kNone, kWipe},
    {iettRightLeft2, kEdgeLine, kInPlace},
    {iettUpDown1, kNone, kWipe},
    {iettUpDown2, kEdgeLine, kInPlace},
    {iettDownUp1, kNone, kWipe},
    {iettDownUp2, kEdgeLine, kInPlace},
    {iettFromUpLeft, kNone, 0},
    {iettFromUpRight, kNone, 0},
    {iettFromBottomLeft, kNone, 0},
    {iettFromBottomRight, kNone, 0},
    {iettMoveLeftRight1, kNone, 0},
    {iettMoveLeftRight2, kNone, 0},
    {iettMoveRightLeft1, kNone, 0},
    {iettMoveRightLeft2, kNone, 0},
    {iettMoveUpDown1, kNone, 0},
    {iettMoveUpDown2, kNone, 0},
    {iettMoveDownUp1, kNone, 0},
    {iettMoveDownUp2, kNone, 0},
    {iettRandomPoints, kNone, kGaps | kWipe},
    {iettRandomBoxes, kNone, kGaps | kWipe},
    {iettCenter1, kNone, kWipe},
    {iettCenter2, kNone, kWipe},
    {iettCenterZoom1, kNone, 0},
    {iettCenterZoom2, kNone, 0},
    {iettSoftWipeFromLeft, kNone, kInPlace},
    {iettSoftWipeFromRight, kNone, kInPlace},
    {iettSoftWipeFromTop, kNone, kInPlace},
    {iettSoftWipeFromBottom, kNone, kInPlace},
    {iettCubeRotateFromLeft, kFold, 0},
    {iettCubeRotateFromRight, kFold, 0},
    {iettCubeRotateFromTop, kFold, 0},
    {iettCubeRotateFromBottom, kFold, 0},
    {iettPageFlip, kFold, kEvenWidths},
    {iettReversePageFlip, kFold, kEvenWidths},
    {iettPageFlip2, kFold, kEvenWidths},
    {iettReversePageFlip2, kFold, kEvenWidths},
    {iettCubeRotateFromLeft2, kFold, 0},
    {iettCubeRotateFromRight2, kFold, 0},
    {iettCubeRotateFromTop2, kFold, 0},
    {iettCubeRotateFromBottom2, kFold, 0},
    // slide in, strip and corner wipes
    {iettSlideInFromLeft, kNone, 0},
    {iettSlideInFromRight, kNone, 0},
    {iettSlideInFromTop, kNone, 0},
    {iettSlideInFromBottom, kNone, 0},
    {iettWipeFromTopLeft, kNone, kWipe},
    {iettWipeFromTopRight, kNone, kWipe},
    {iettWipeFromBottomLeft, kNone, kWipe},
    {iettWipeFromBottomRight, kNone, kWipe},
    {iettWipeInFromTopAndBottom, kNone, kWipe | kEvenSizes},
    {iettWipeFromHorizon, kNone, kWipe},
    {iettWipeInFromSides, kNone, kWipe | kEvenSizes},
    {iettWipeOutFromVerticalCenter, kNone, kWipe},
    // squeeze; the first four darken what is left with the alternative drawing
    {iettExpandFromLeft, kBlack, 0},
    {iettExpandFromRight, kBlack, 0},
    {iettExpandFromTop, kBlack, 0},
    {iettExpandFromBottom, kBlack, 0},
    {iettExpandFromTopLeft, kNone, 0},
    {iettExpandFromTopRight, kNone, 0},
    {iettExpandFromBottomLeft, kNone, 0},
    {iettExpandFromBottomRight, kNone, 0},
    {iettExpandOutFromHorizon, kNone, 0},
    {iettExpandOutFromVerticalCenter, kNone, 0},
    {iettExpandInFromSides, kNone, kEvenSizes},
    {iettExpandInFromTopAndBottom, kNone, kEvenSizes},
    // magnify
    {iettExpandInFromLeft, kNone, kOneAtATime},
    {iettExpandInFromRight, kNone, kOneAtATime},
    {iettExpandInFromTop, kNone, kOneAtATime},
    {iettExpandInFromBottom, kNone, kOneAtATime},
    {iettExpandInToVerticalCenter, kNone, kOneAtATime},
    {iettExpandInToHorizon, kNone, kOneAtATime},
    {iettShrinkToTopLeft, kNone, kOneAtATime},
    {iettShrinkToTopRight, kNone, kOneAtATime},
    {iettShrinkToBottomLeft, kNone, kOneAtATime},
    {iettShrinkToBottomRight, kNone, kOneAtATime},
    {iettShrinkToCenter, kNone, kOneAtATime},
    // quarters, unroll, build up, pushes
    {iettQuartersWipeInToCenter, kNone, kWipe | kEvenSizes},
    {iettQuartersExpandToCenter, kNone, kEvenSizes},
    {iettQuartersSlideInToCenter, kNone, kEvenSizes},
    {iettUnrollFromLeft, kNone, 0},
    {iettUnrollFromRight, kNone, 0},
    {iettUnrollFromTop, kNone, 0},
    {iettUnrollFromBottom, kNone, 0},
    {iettBuildUpFromLeft, kNone, kOneAtATime},
    {iettBuildUpFromRight, kNone, kOneAtATime},
    {iettBuildUpFromTop, kNone, kOneAtATime},
    {iettBuildUpFromBottom, kNone, kOneAtATime},
    {iettPushLeftAndSlideOut, kNone, 0},
    {iettPushRightAndSlideOut, kNone, 0},
    {iettPushUpAndSlideOut, kNone, 0},
    {iettPushDownAndSlideOut, kNone, 0},
    {iettPushAndSqueezeLeft, kNone, 0},
    {iettPushAndSqueezeRight, kNone, 0},
    {iettPushAndSqueezeUp, kNone, 0},
    {iettPushAndSqueezeDown, kNone, 0},
    // bars and crisscross, shredded, speckled, blinds, random bands
    {iettBarsInFromLeft, kNone, kWipe},
    {iettBarsInFromRight, kNone, kWipe},
    {iettBarsFromTop, kNone, kWipe},
    {iettBarsFromBottom, kNone, kWipe},
    {iettBarsLeftThenRight, kNone, kWipe},
    {iettBarsRightThenLeft, kNone, kWipe},
    {iettBarsTopThenBottom, kNone, kWipe},
    {iettBarsBottomThenTop, kNone, kWipe},
    {iettBarsFromBothSides, kNone, kWipe},
    {iettBarsFromTopAndBottom, kNone, kWipe},
    {iettCrisscrossWipeFromTopLeft, kNone, kWipe},
    {iettCrisscrossWipeFromTopRight, kNone, kWipe},
    {iettCrisscrossWipeFromBottomLeft, kNone, kWipe},
    {iettCrisscrossWipeFromBottomRight, kNone, kWipe},
    {iettCrisscrossWipeBounceFromTopLeft, kNone, kWipe},
    {iettCrisscrossWipeBounceFromTopRight, kNone, kWipe},
    {iettCrisscrossWipeBounceFromBottomLeft, kNone, kWipe},
    {iettCrisscrossWipeBounceFromBottomRight, kNone, kWipe},
    {iettCrisscrossWipeFromLeftRightAndTop, kNone, kWipe},
    {iettCrisscrossWipeFromLeftRightAndBottom, kNone, kWipe},
    {iettCrisscrossWipeFromLeftTopAndBottom, kNone, kWipe},
    {iettCrisscrossWipeFromTopLeftRightAndBottom, kNone, kWipe},
    {iettCrisscrossWipeFromRightTopAndBottom, kNone, kWipe},
    {iettCrisscrossWipeFromBottomLeftTopRight, kNone, kWipe},
    {iettShreddedFromLeft, kNone, kWipe},
    {iettShreddedFromRight, kNone, kWipe},
    {iettShreddedFromTop, kNone, kWipe},
    {iettShreddedFromBottom, kNone, kWipe},
    {iettShreddedFromTopAndLeft, kNone, kWipe},
    {iettShreddedFromTopAndRight, kNone, kWipe},
    {iettShreddedFromBottomAndLeft, kNone, kWipe},
    {iettShreddedFromBottomAndRight, kNone, kWipe},
    {iettShreddedFromHorizonAndLeft, kNone, kWipe | kEvenSizes},
    {iettShreddedFromHorizonAndRight, kNone, kWipe | kEvenSizes},
    {iettShreddedFromTopAndVerticalCenter, kNone, kWipe | kEvenSizes},
    {iettShreddedFromBottomAndVerticalCenter, kNone, kWipe | kEvenSizes},
    {iettShreddedFromCenter, kNone, kWipe | kEvenSizes},
    {iettShreddedToCenter, kNone, kWipe | kEvenSizes},
    {iettShreddedInToHorizon, kNone, kWipe | kEvenSizes},
    {iettShreddedInToVerticalCenter, kNone, kWipe | kEvenSizes},
    {iettShreddedOutFromHorizon, kNone, kWipe | kEvenSizes},
    {iettShreddedOutFromVerticalCenter, kNone, kWipe | kEvenSizes},
    {iettSpeckledWipeFromLeft, kNone, kWipe},
    {iettSpeckledWipeFromRight, kNone, kWipe},
    {iettSpeckledWipeFromTop, kNone, kWipe},
    {iettSpeckledWipeFromBottom, kNone, kWipe},
    {iettHorizontalBlinds, kNone, kWipe},
    {iettVerticalBlinds, kNone, kWipe},
    {iettUnevenBlindsFromLeft, kNone, kWipe},
    {iettUnevenBlindsFromRight, kNone, kWipe},
    {iettUnevenBlindsFromTop, kNone, kWipe},
    {iettUnevenBlindsFromBottom, kNone, kWipe},
    {iettRectanglesFromTheLeft, kNone, kWipe},
    {iettRectanglesFromTheRight, kNone, kWipe},
    {iettRectanglesFromTheTop, kNone, kWipe},
    {iettRectanglesFromTheBottom, kNone, kWipe},
    // curved and polygon wipes, zigzag, growing cells
    {iettCurvedWipeFromLeft, kNone, kWipe},
    {iettCurvedWipeFromRight, kNone, kWipe},
    {iettCurvedWipeFromTop, kNone, kWipe},
    {iettCurvedWipeFromBottom, kNone, kWipe},
    {iettCurvedWipeFromTopLeft, kNone, kWipe},
    {iettCurvedWipeFromTopRight, kNone, kWipe},
    {iettCurvedWipeFromBottomLeft, kNone, kWipe},
    {iettCurvedWipeFromBottomRight, kNone, kWipe},
    {iettWipeDiagonalFromTopLeft, kNone, kWipe},
    {iettWipeDiagonalFromTopRight, kNone, kWipe},
    {iettWipeDiagonalFromBottomLeft, kNone, kWipe},
    {iettWipeDiagonalFromBottomRight, kNone, kWipe},
    {iettDiagonalSweepClockwise, kNone, kWipe},
    {iettDiagonalSweepCounterClockwise, kNone, kWipe},
    {iettStarburstClockwiseFromCenter, kNone, kWipe},
    {iettStarburstCounterClockwiseFromCenter, kNone, kWipe},
    {iettArrowWipeFromLeft, kNone, kWipe},
    {iettArrowWipeFromRight, kNone, kWipe},
    {iettArrowWipeFromTop, kNone, kWipe},
    {iettArrowWipeFromBottom, kNone, kWipe},
    {iettHorizontalBowTieWipe, kNone, kWipe},
    {iettVerticalBowTieWipe, kNone, kWipe},
    {iettDiagonalCrossFromCenter, kNone, kWipe},
    {iettDiagonalCrossToCenter, kNone, kWipe | kEvenSizes},
    {iettDiamondWipeFromCenter, kNone, kWipe | kEvenSizes},
    {iettDiamondWipeToCenter, kNone, kWipe | kEvenSizes},
    {iettZigzagWipeFromHorizon, kNone, kWipe},
    {iettZigzagWipeFromVerticalCenter, kNone, kWipe},
    {iettZigzagWipeToHorizon, kNone, kInPlace},
    {iettZigzagWipeToVerticalCenter, kNone, kInPlace},
    {iettExpandingRectangles, kNone, kWipe},
    {iettExpandingTriangles, kNone, kWipe, kWipe | kGaps},
    {iettExpandingDiamonds, kNone, kWipe},
    // shape wipes, rings, growing shapes, random cells
    {iettCircularWipeFromCenter, kNone, kWipe},
    {iettCircularWipeToCenter, kNone, kWipe},
    {iettHeartWipeOut, kNone, kWipe | kGaps, kInPlace | kGaps},
    {iettHeartWipeIn, kNone, kWipe, kInPlace},
    {iettStar5WipeOut, kNone, kWipe | kGaps},
    {iettStar5WipeIn, kNone, kWipe},
    {iettStar6WipeOut, kNone, kWipe | kGaps},
    {iettStar6WipeIn, kNone, kWipe},
    {iettExplosionWipeOut, kNone, kWipe | kGaps},
    {iettExplosionWipeIn, kNone, kWipe},
    {iettCrossWipeOut, kNone, kInPlace | kGaps},
    {iettCrossWipeIn, kNone, kInPlace},
    {iettWordWipeOut, kNone, kInPlace | kGaps},
    {iettWordWipeIn, kNone, kInPlace | kGaps},
    {iettDiagonalBoxWipe, kNone, kWipe | kEvenSizes},
    {iettHeartWipeInAndOut, kNone, kWipe | kGaps, kInPlace | kGaps},
    {iettStar5WipeInAndOut, kNone, kWipe | kGaps},
    {iettStar6WipeInAndOut, kNone, kWipe | kGaps},
    {iettExplosionWipeInAndOut, kNone, kWipe | kGaps},
    {iettWordWipeInAndOut, kNone, kInPlace | kGaps},
    {iettExpandingCircles, kNone, kWipe},
    {iettExpandingHearts, kNone, kWipe | kGaps, kInPlace | kGaps},
    {iettExpandingStar5, kNone, kWipe | kGaps},
    {iettExpandingStar6, kNone, kWipe | kGaps},
    {iettExpandingExplosions, kNone, kWipe | kGaps},
    {iettExpandingLightningBolts, kNone, kWipe | kGaps},
    {iettExpandingWord, kNone, kInPlace | kGaps},
    {iettRandomBigBoxes, kNone, kWipe | kCells},
    {iettRandomHearts, kNone, kWipe | kCells},
    {iettRandomStar5s, kNone, kWipe | kCells | kGaps},
    {iettRandomStar6s, kNone, kWipe | kCells},
    {iettRandomExplosions, kNone, kWipe | kCells | kGaps},
    {iettRandomWord, kNone, kWipe | kCells | kGaps},
    {iettRandomBoxesWithWord, kNone, kWipe | kCells | kGaps},
    {iettRandomPuzzlePieces, kNone, kWipe | kCells | kGaps},
    // rotating polygons, fan sweeps, pac-man, twists
    {iettRotationalRectangle, kNone, kWipe | kEvenSizes},
    {iettRotationalRectangleCounterClockwise, kNone, kWipe | kEvenSizes},
    {iettRotationalStar, kNone, kWipe},
    {iettRotationalStarCounterClockwise, kNone, kWipe},
    {iettSpirallingRectangleClockwise, kNone, kWipe | kEvenSizes},
    {iettSpirallingRectangleCounterClockwise, kNone, kWipe | kEvenSizes},
    {iettTriangularWipe, kNone, kWipe | kGaps},
    {iettSweepClockwise, kBlack, kWipe | kGaps, kInPlace | kOneAtATime | kGaps},
    {iettSweepCounterClockwise, kBlack, kWipe | kGaps, kInPlace | kOneAtATime | kGaps},
    {iettFullSweepClockwise, kBlack, kWipe | kGaps, kInPlace | kOneAtATime | kGaps},
    {iettExpandingSweepClockwise, kBlack, kWipe | kGaps, kInPlace | kOneAtATime | kGaps},
    {iettWordHalfSweep, kBlack, kInPlace | kOneAtATime | kGaps},
    {iettWordFullSweep, kBlack, kInPlace | kOneAtATime | kGaps},
    {iettWordFullExpandingSweep, kBlack, kInPlace | kOneAtATime | kGaps},
    {iettPacmanFromLeft, kNone, kInPlace},
    {iettPacmanFromRight, kNone, kInPlace},
    {iettPacman3Row, kNone, kInPlace},
    {iettPacman4Row, kNone, kInPlace},
    {iettPacman2SimRow, kNone, kInPlace},
    {iettPacman4SimRow, kNone, kInPlace},
    {iettPacman6SimRow, kNone, kInPlace},
    {iettAngledTwistIn, kNone, 0},
    {iettAngledTwistOut, kNone, kEvenSizes},
    {iettMultipleAngledTwistIn, kNone, kGaps},
    {iettMultipleAngledTwistOut, kNone, 0},
};

const TRGB kOld{10, 40, 200}, kNew{90, 180, 20}, kBack{230, 70, 60};  // blue, green, red; no three on a line
const TColor kBackColor = 60 | (70 << 8) | (230 << 16);
const TRGB kRed{0, 0, 255}, kGrey{128, 128, 128}, kBlackRGB{0, 0, 0};
const int32_t kBetween[] = {128, 384, 512, 640, 896};

// Each pixel's coordinates in its colour, the two pictures apart.
TRGB codedOld(int32_t x, int32_t y) { return {static_cast<uint8_t>(x), static_cast<uint8_t>(y), 7}; }
TRGB codedNew(int32_t x, int32_t y) { return {static_cast<uint8_t>(x), static_cast<uint8_t>(y), 249}; }

// True when c lies on the segment a-b within one level per channel.
bool onSegment(TRGB c, TRGB a, TRGB b) {
  const int32_t d[3] = {b.b - a.b, b.g - a.g, b.r - a.r};
  const int32_t p[3] = {c.b - a.b, c.g - a.g, c.r - a.r};
  const double len = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
  double t = len > 0 ? (p[0] * d[0] + p[1] * d[1] + p[2] * d[2]) / len : 0;
  t = t < 0 ? 0 : (t > 1 ? 1 : t);
  for (int i = 0; i < 3; ++i)
    if (std::abs(p[i] - t * d[i]) > 1.0001) return false;
  return true;
}

// True when c lies in the triangle a, b, k within a level or two per channel.
bool inTriangle(TRGB c, TRGB a, TRGB b, TRGB k) {
  const double u[3] = {double(b.b - a.b), double(b.g - a.g), double(b.r - a.r)};
  const double v[3] = {double(k.b - a.b), double(k.g - a.g), double(k.r - a.r)};
  const double p[3] = {double(c.b - a.b), double(c.g - a.g), double(c.r - a.r)};
  const auto dot = [](const double* x, const double* y) { return x[0] * y[0] + x[1] * y[1] + x[2] * y[2]; };
  const double uu = dot(u, u), uv = dot(u, v), vv = dot(v, v), pu = dot(p, u), pv = dot(p, v);
  const double det = uu * vv - uv * uv;
  double s = (pu * vv - pv * uv) / det, t = (pv * uu - pu * uv) / det;
  if (s < -0.02 || t < -0.02 || s + t > 1.02) return onSegment(c, a, b) || onSegment(c, a, k) || onSegment(c, b, k);
  for (int i = 0; i < 3; ++i)
    if (std::abs(p[i] - s * u[i] - t * v[i]) > 2.0001) return false;
  return true;
}

class TransitionKindsTest : public TransitionTest {
protected:
  void SetUp() override {
    TransitionTest::SetUp();
    savedAlt_ = IEGetGlobalSettings()->TransitionAltDrawing;
    savedWord_ = IEGetGlobalSettings()->WordTransition;
  }
  void TearDown() override {
    IEGetGlobalSettings()->TransitionAltDrawing = savedAlt_;
    IEGetGlobalSettings()->WordTransition = savedWord_;
    TransitionTest::TearDown();
  }

  // Starts a run of kind and lets its first tick draw step 0.
  void Start(const Kind& k, int32_t width, int32_t height, const std::function<TRGB(int32_t, int32_t)>& before,
             const std::function<TRGB(int32_t, int32_t)>& after) {
    Prepare(width, height, before, after);
    engine->Transition = k.kind;
    engine->BackgroundColor = kBackColor;
    engine->Run(false);
    ASSERT_TRUE(engine->Running());
    engine->TimerTick();
  }
  void DrawAt(int32_t step) {
    engine->SetCurrentStep(step);
    engine->DrawStep(nullptr);
  }
  // The first pixel of the frame that fails ok, as text, or "".
  std::string FirstBadPixel(const std::function<bool(int32_t, int32_t, TRGB)>& ok) {
    TBitmap* frame = engine->CurrentBitmap();
    for (int32_t y = 0; y < engine->FrameHeight(); ++y)
      for (int32_t x = 0; x < engine->FrameWidth(); ++x) {
        const TRGB c = Pixel(frame, x, y);
        if (!ok(x, y, c))
          return "(" + std::to_string(x) + ", " + std::to_string(y) + ") = " + std::to_string(c.r) + "," +
                 std::to_string(c.g) + "," + std::to_string(c.b);
      }
    return "";
  }
  static bool edge(const Kind& k, TRGB c) {
    return (k.extra == kEdgeLine && (c == kRed || c == kGrey)) || ((k.extra == kFold || k.extra == kBlack) && c == kBlackRGB);
  }
  // With the flat pictures: a blend of the two, or of one with the
  // background (or black) for the kinds that pass through it, or the edge line.
  static bool fromPictures(const Kind& k, TRGB c) {
    const bool viaBackground = onSegment(c, kOld, kBack) || onSegment(c, kBack, kNew);
    if (k.extra == kBackground) return viaBackground;
    // The 3D flips shade their spine toward the background, also where the fold lies on it.
    if (k.extra == kFold && (viaBackground || onSegment(c, kBlackRGB, kBack))) return true;
    if (k.extra == kBlack && inTriangle(c, kOld, kNew, kBlackRGB)) return true;
    return onSegment(c, kOld, kNew) || edge(k, c);
  }

  // Calls check for every kind of the table at every size, with and without
  // the alternative drawing, naming the case.
  void ForEachCase(std::initializer_list<SIZE> sizes,
                   const std::function<void(const Kind&, bool, SIZE, const std::string&)>& check) {
    for (const bool alt : {false, true})
      for (const SIZE size : sizes)
        for (const Kind& k : kKinds) {
          IEGetGlobalSettings()->TransitionAltDrawing = alt;
          check(k, alt, size,
                std::string(IETransitionNames[k.kind - 1].Name) + (alt ? " alt " : " ") + std::to_string(size.cx) +
                    " x " + std::to_string(size.cy));
          engine->Stop();
        }
  }
  std::vector<uint8_t> FrameBytes() { return TransitionTest::FrameBytes(*engine); }

  bool savedAlt_ = false;
  TIEWordTransitionParams savedWord_;
};

// Every kind but none and pan/zoom (checked on its own below) has one row.
TEST(TransitionKindsTableTest, EveryKindHasOneRow) {
  std::vector<int32_t> rows(IETransitionKindCount, 0);
  for (const Kind& k : kKinds) ++rows[k.kind];
  for (int32_t kind = 1; kind < iettPanZoom; ++kind) EXPECT_EQ(rows[static_cast<size_t>(kind)], 1) << kind;
  EXPECT_EQ(rows[iettNone] + rows[iettPanZoom], 0);
}

TEST_F(TransitionKindsTest, FirstFrameIsTheOldPictureAndLastTheNew) {
  ForEachCase({{96, 64}, {75, 41}}, [&](const Kind& k, bool alt, SIZE size, const std::string& what) {
    const uint16_t flags = k.Flags(alt);
    Start(k, size.cx, size.cy, codedOld, codedNew);
    EXPECT_EQ(FirstBadPixel([&](int32_t x, int32_t y, TRGB c) {
                return c == ((flags & kStartsOnBackground) ? kBack : codedOld(x, y)) || edge(k, c);
              }),
              "")
        << what << ": first frame";
    for (const int32_t step : kBetween) DrawAt(step);
    DrawAt(1024);
    const bool even = size.cx % 2 == 0 && size.cy % 2 == 0;
    if ((flags & kGaps) || ((flags & kEvenWidths) && size.cx % 2) || ((flags & kEvenSizes) && !even)) return;
    EXPECT_EQ(FirstBadPixel([&](int32_t x, int32_t y, TRGB c) {
                return c == ((flags & kEndsOnBackground) ? kBack : codedNew(x, y)) || edge(k, c);
              }),
              "")
        << what << ": last frame";
  });
}

TEST_F(TransitionKindsTest, EveryPixelComesFromTheTwoPictures) {
  ForEachCase({{96, 64}, {75, 41}}, [&](const Kind& k, bool, SIZE size, const std::string& what) {
    Start(k, size.cx, size.cy, Flat(kOld), Flat(kNew));
    for (const int32_t step : kBetween) {
      DrawAt(step);
      EXPECT_EQ(FirstBadPixel([&](int32_t, int32_t, TRGB c) { return fromPictures(k, c); }), "")
          << what << " at step " << step;
    }
  });
}

// With each pixel's place in its colour: the kinds that draw in place show
// old(x, y), new(x, y) or a blend of the two there; each picture shows at
// some step; what the accumulating kinds show of the new picture only grows.
TEST_F(TransitionKindsTest, PixelsStayInPlaceAndNewPixelsStay) {
  ForEachCase({{96, 64}, {75, 41}}, [&](const Kind& k, bool alt, SIZE size, const std::string& what) {
    const uint16_t flags = k.Flags(alt);
    Start(k, size.cx, size.cy, codedOld, codedNew);
    std::vector<bool> shown(static_cast<size_t>(size.cx * size.cy), false);
    bool oldSeen = false, newSeen = false;
    for (const int32_t step : kBetween) {
      DrawAt(step);
      if (flags & kInPlace) {
        EXPECT_EQ(FirstBadPixel([&](int32_t x, int32_t y, TRGB c) {
                    return (c.b == static_cast<uint8_t>(x) && c.g == static_cast<uint8_t>(y)) || edge(k, c);
                  }),
                  "")
            << what << " at step " << step << ": in place";
      }
      EXPECT_EQ(FirstBadPixel([&](int32_t x, int32_t y, TRGB c) {
                  // Nearer the old picture's red or the new one's (blends and shading included).
                  oldSeen = oldSeen || c.r < 100;
                  newSeen = newSeen || c.r > 156;
                  const size_t at = static_cast<size_t>(y * size.cx + x);
                  const bool isNew = c == codedNew(x, y);
                  const bool kept = !(flags & kAccumulates) || !shown[at] || isNew;
                  shown[at] = shown[at] || isNew;
                  return kept;
                }),
                "")
          << what << " at step " << step << ": the new picture taken back";
    }
    if (!(flags & kOneAtATime) && k.extra != kBackground) {
      EXPECT_TRUE(oldSeen && newSeen) << what << ": both pictures";
    }
  });
}

// With the seed and the clock fixed two runs draw the same frames; the
// random cells, seeded from the end bitmap's handle, repeat within a run.
TEST_F(TransitionKindsTest, RunsRepeatExactly) {
  ForEachCase({{75, 41}}, [&](const Kind& k, bool alt, SIZE size, const std::string& what) {
    const auto frames = [&](bool again) {
      std::vector<std::vector<uint8_t>> result;
      RandSeed = 4711;
      if (!again || !(k.Flags(alt) & kCells)) {
        engine->Stop();
        Start(k, size.cx, size.cy, codedOld, codedNew);
      } else {
        DrawAt(0);
      }
      for (const int32_t step : kBetween) {
        DrawAt(step);
        result.push_back(FrameBytes());
      }
      return result;
    };
    const auto first = frames(false);
    EXPECT_TRUE(first == frames(true)) << what;
  });
}

// Frames of no, one or a few pixels at the steps where rounding bites.
TEST_F(TransitionKindsTest, TinyFramesDrawWithoutFault) {
  ForEachCase({{0, 300}, {1, 300}, {300, 1}, {2, 2}, {3, 5}, {7, 3}},
              [&](const Kind& k, bool, SIZE size, const std::string& what) {
                Start(k, size.cx, size.cy, Flat(kOld), Flat(kNew));
                for (const int32_t step : {0, 1, 5, 512, 1019, 1024}) {
                  DrawAt(step);
                  EXPECT_EQ(FirstBadPixel([&](int32_t, int32_t, TRGB c) { return fromPictures(k, c); }), "")
                      << what << " at " << step;
                }
              });
}

// The random kinds make as many copies by a step whatever frames led there,
// and with the same seed draw the same frames.
TEST_F(TransitionKindsTest, RandomCopiesFollowTheStepNotTheFrameRate) {
  for (const TIETransitionType kind : {iettRandomPoints, iettRandomBoxes})
    for (const bool alt : {false, true}) {
      IEGetGlobalSettings()->TransitionAltDrawing = alt;
      const Kind k{kind, kNone, kGaps};
      const int32_t savedSeed = RandSeed;
      const auto runTo = [&](std::initializer_list<int32_t> steps) {
        RandSeed = 4711;
        Start(k, 64, 40, codedOld, codedNew);
        for (const int32_t step : steps) DrawAt(step);
        const std::pair<int32_t, std::vector<uint8_t>> result{RandSeed, FrameBytes()};
        engine->Stop();
        return result;
      };
      const auto oneFrame = runTo({1024});
      const auto manyFrames = runTo({100, 300, 301, 700, 1024});
      EXPECT_EQ(oneFrame.first, manyFrames.first) << kind << " alt " << alt << ": numbers drawn";
      EXPECT_EQ(manyFrames.second, runTo({100, 300, 301, 700, 1024}).second) << kind << " alt " << alt;
      RandSeed = savedSeed;
    }
}

// ---- pan/zoom: frames cut from a source picture ----------------------------------------

class PanZoomTest : public TransitionKindsTest {
protected:
  void SetUp() override {
    TransitionKindsTest::SetUp();
    view->SetBackground(static_cast<TIEColor>(kBackColor));
  }
  // A source of width x height, each pixel's coordinates in its colour.
  void MakeSource(int32_t width, int32_t height) {
    source.Allocate(width, height, ie24RGB);
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width; ++x) source.SetPixel24(x, y, codedOld(x, y));
  }
  void Start(int32_t width, int32_t height, TIEBitmap* from, RECT startRect, RECT endRect) {
    Prepare(width, height, codedOld, codedNew);
    engine->Transition = iettPanZoom;
    engine->BackgroundColor = kBackColor;
    engine->PanZoomSource = from;
    engine->StartRect = startRect;
    engine->EndRect = endRect;
    engine->Run(false);
    ASSERT_TRUE(engine->Running());
    engine->TimerTick();
  }
  // A pixel of the source (inside it) or the background.
  bool fromSource(TRGB c) {
    return c == kBack || (c.r == 7 && c.b < source.GetWidth() && c.g < source.GetHeight());
  }

  TIEBitmap source;
};

// The first frame shows the start rectangle, the last the end one; a
// rectangle reaching past the source is fitted inside the background.
TEST_F(PanZoomTest, FramesShowTheMovingRectangleOfTheSource) {
  MakeSource(48, 32);
  Start(48, 32, &source, {0, 0, 48, 32}, {12, 8, 36, 24});
  EXPECT_EQ(FirstBadPixel([&](int32_t x, int32_t y, TRGB c) { return c == codedOld(x, y); }), "") << "first frame";
  for (const int32_t step : {128, 384, 512, 640, 896}) {
    DrawAt(step);
    EXPECT_EQ(FirstBadPixel([&](int32_t, int32_t, TRGB c) { return c != kBack && fromSource(c); }), "") << step;
  }
  DrawAt(1024);
  EXPECT_EQ(FirstBadPixel([&](int32_t x, int32_t y, TRGB c) { return c == codedOld(12 + x / 2, 8 + y / 2); }), "")
      << "last frame";
  engine->Stop();

  // Clamped to 24 x 32: twice the size, centred between bands of background.
  Start(96, 64, &source, {0, -8, 24, 40}, {0, 0, 48, 32});
  EXPECT_EQ(FirstBadPixel([&](int32_t x, int32_t y, TRGB c) {
              return x < 24 || x >= 72 ? c == kBack : c == codedOld((x - 24) / 2, y / 2);
            }),
            "")
      << "clamped";
  DrawAt(1024);
  EXPECT_EQ(FirstBadPixel([&](int32_t x, int32_t y, TRGB c) { return c == codedOld(x / 2, y / 2); }), "");
}

// Nothing to show paints the background, on any frame and at any step.
TEST_F(PanZoomTest, NothingToShowPaintsTheBackground) {
  MakeSource(48, 32);
  TIEBitmap empty;
  const struct {
    const char* what;
    TIEBitmap* from;
    RECT startRect, endRect;
  } cases[] = {
      {"no source", nullptr, {0, 0, 48, 32}, {12, 8, 36, 24}},
      {"empty source", &empty, {0, 0, 48, 32}, {12, 8, 36, 24}},
      {"empty rectangles", &source, {10, 10, 10, 20}, {20, 5, 20, 30}},
      {"inverted rectangles", &source, {30, 20, 10, 5}, {40, 30, 0, 0}},
  };
  for (const auto& c : cases)
    for (const SIZE size : std::initializer_list<SIZE>{{96, 64}, {0, 300}, {1, 300}, {300, 1}, {3, 5}}) {
      Start(size.cx, size.cy, c.from, c.startRect, c.endRect);
      for (const int32_t step : {0, 1, 512, 1024}) {
        DrawAt(step);
        EXPECT_EQ(FirstBadPixel([&](int32_t, int32_t, TRGB p) { return p == kBack; }), "")
            << c.what << " " << size.cx << " x " << size.cy << " at " << step;
      }
      engine->Stop();
    }
}

// Frames of no, one or a few pixels, rectangles inside and past the source,
// up to the ends of the 32-bit range.
TEST_F(PanZoomTest, TinyFramesDrawWithoutFault) {
  MakeSource(5, 3);
  for (const RECT endRect : {RECT{1, 1, 4, 2}, RECT{-3, -9, 40, 2}, RECT{4, 2, 5, 3},
                             RECT{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}})
    for (const SIZE size : std::initializer_list<SIZE>{{0, 300}, {1, 300}, {300, 1}, {2, 2}, {3, 5}, {7, 3}}) {
      Start(size.cx, size.cy, &source, {0, 0, 5, 3}, endRect);
      for (const int32_t step : {0, 1, 5, 512, 1019, 1024}) {
        DrawAt(step);
        EXPECT_EQ(FirstBadPixel([&](int32_t, int32_t, TRGB p) { return fromSource(p); }), "")
            << size.cx << " x " << size.cy << " to " << endRect.left << "," << endRect.top << " at " << step;
      }
      engine->Stop();
    }
}

}  // namespace
