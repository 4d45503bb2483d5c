// Strip region steps: the new picture revealed through many thin rectangles
// (bars, crisscross bars, shredded strips, specks, blinds, random bands),
// each family one table of its kinds.
#include "imaging/core/iesettings.h"
#include "imaging/view/transitionregions.h"
#include "imaging/view/transitionsteps.h"
#include "platform/win/olepicture.h"

namespace {

enum class Strips : uint8_t { Bars, Shredded, Speckled };

// The strip builder, the progress along x and y (expressions) and the
// builder's kinds for each axis; the bars kind with a second pair reveals
// the intersection of the two bar regions.
struct StripKind {
  TIETransitionType kind;
  Strips strips;
  const char* progressX;
  const char* progressY;
  int32_t kindX, kindY;
  int32_t andKindX = 0, andKindY = 0;
};

const StripKind kStripKinds[] = {
    {iettBarsInFromLeft, Strips::Bars, "2X", "0", 2, 0},
    {iettBarsInFromRight, Strips::Bars, "2X", "0", 1, 0},
    {iettBarsLeftThenRight, Strips::Bars, "2X", "0", 4, 0},
    {iettBarsRightThenLeft, Strips::Bars, "2X", "0", 5, 0},
    {iettBarsFromBothSides, Strips::Bars, "X", "0", 3, 0},
    {iettBarsFromTop, Strips::Bars, "0", "2Y", 0, 2},
    {iettBarsFromBottom, Strips::Bars, "0", "2Y", 0, 1},
    {iettBarsTopThenBottom, Strips::Bars, "0", "2Y", 0, 4},
    {iettBarsBottomThenTop, Strips::Bars, "0", "2Y", 0, 5},
    {iettBarsFromTopAndBottom, Strips::Bars, "0", "Y", 0, 3},
    {iettCrisscrossWipeFromTopLeft, Strips::Bars, "2X", "2Y", 2, 2},
    {iettCrisscrossWipeFromTopRight, Strips::Bars, "2X", "2Y", 1, 2},
    {iettCrisscrossWipeFromBottomLeft, Strips::Bars, "2X", "2Y", 2, 1},
    {iettCrisscrossWipeFromBottomRight, Strips::Bars, "2X", "2Y", 1, 1},
    {iettCrisscrossWipeBounceFromTopLeft, Strips::Bars, "2X", "2Y", 4, 4},
    {iettCrisscrossWipeBounceFromTopRight, Strips::Bars, "2X", "2Y", 5, 4},
    {iettCrisscrossWipeBounceFromBottomLeft, Strips::Bars, "2X", "2Y", 4, 5},
    {iettCrisscrossWipeBounceFromBottomRight, Strips::Bars, "2X", "2Y", 5, 5},
    {iettCrisscrossWipeFromLeftRightAndTop, Strips::Bars, "X", "Y", 3, 2},
    {iettCrisscrossWipeFromLeftRightAndBottom, Strips::Bars, "X", "Y", 3, 1},
    {iettCrisscrossWipeFromLeftTopAndBottom, Strips::Bars, "X", "Y", 2, 3},
    {iettCrisscrossWipeFromRightTopAndBottom, Strips::Bars, "X", "Y", 1, 3},
    {iettCrisscrossWipeFromTopLeftRightAndBottom, Strips::Bars, "X", "Y", 3, 3},
    {iettCrisscrossWipeFromBottomLeftTopRight, Strips::Bars, "2X", "2Y", 1, 1, 2, 2},
    {iettShreddedFromLeft, Strips::Shredded, "X", "0", 2, 0},
    {iettShreddedFromRight, Strips::Shredded, "X", "0", 1, 0},
    {iettShreddedFromTop, Strips::Shredded, "0", "Y", 0, 2},
    {iettShreddedFromBottom, Strips::Shredded, "0", "Y", 0, 1},
    {iettShreddedFromTopAndLeft, Strips::Shredded, "X", "Y", 2, 2},
    {iettShreddedFromTopAndRight, Strips::Shredded, "X", "Y", 1, 2},
    {iettShreddedFromBottomAndLeft, Strips::Shredded, "X", "Y", 2, 1},
    {iettShreddedFromBottomAndRight, Strips::Shredded, "X", "Y", 1, 1},
    {iettShreddedFromHorizonAndLeft, Strips::Shredded, "X", "Y", 2, 3},
    {iettShreddedFromHorizonAndRight, Strips::Shredded, "X", "Y", 1, 3},
    {iettShreddedFromTopAndVerticalCenter, Strips::Shredded, "X", "Y", 3, 2},
    {iettShreddedFromBottomAndVerticalCenter, Strips::Shredded, "X", "Y", 3, 1},
    {iettShreddedFromCenter, Strips::Shredded, "X", "Y", 3, 3},
    {iettShreddedToCenter, Strips::Shredded, "X", "Y", 4, 4},
    {iettShreddedOutFromVerticalCenter, Strips::Shredded, "X", "0", 3, 0},
    {iettShreddedInToVerticalCenter, Strips::Shredded, "X", "0", 4, 0},
    {iettShreddedOutFromHorizon, Strips::Shredded, "0", "Y", 0, 3},
    {iettShreddedInToHorizon, Strips::Shredded, "0", "Y", 0, 4},
    {iettSpeckledWipeFromLeft, Strips::Speckled, "X", "Y", 2, 0},
    {iettSpeckledWipeFromRight, Strips::Speckled, "X", "Y", 1, 0},
    {iettSpeckledWipeFromTop, Strips::Speckled, "X", "Y", 0, 2},
    {iettSpeckledWipeFromBottom, Strips::Speckled, "X", "Y", 0, 1},
};

HRGN stripRegion(Strips strips, int32_t x, int32_t y, int32_t w, int32_t h, int32_t kindX, int32_t kindY) {
  switch (strips) {
    case Strips::Bars:
      return BarsRegion(x, y, w, h, kindX, kindY);
    case Strips::Shredded:
      return ShreddedRegion(x, y, w, h, kindX, kindY);
    case Strips::Speckled:
      break;
  }
  return SpeckledRegion(x, y, w, h, kindX, kindY);
}

// Blinds: slats along one axis. Centred slats of a fixed period open about
// their middles; uneven slats have the progress as their period and grow from
// the near or the far side of each period.
enum class Slats : uint8_t { Centred, FromNear, FromFar };

struct BlindsKind {
  TIETransitionType kind;
  bool columns;  // slats across the width (columns) or down the height (rows)
  Slats slats;
};

const BlindsKind kBlindsKinds[] = {
    {iettHorizontalBlinds, false, Slats::Centred},      {iettVerticalBlinds, true, Slats::Centred},
    {iettUnevenBlindsFromLeft, true, Slats::FromNear},  {iettUnevenBlindsFromRight, true, Slats::FromFar},
    {iettUnevenBlindsFromTop, false, Slats::FromNear},  {iettUnevenBlindsFromBottom, false, Slats::FromFar},
};

// The slats' spans [a, b) along an axis of length n for progress p.
template <typename Add>
void slatSpans(Slats slats, int32_t n, int32_t p, int32_t percent, Add add) {
  if (slats == Slats::Centred) {
    const int32_t period = n / 40 + 1, a = MulDiv(period, percent, 100);
    for (int64_t c = period; c - period < n; c += 2 * period) add(c - a, c + a);
    return;
  }
  if (p <= 0) return;  // no period yet
  const int32_t a = MulDiv(p, percent, 100);
  if (slats == Slats::FromNear)
    for (int64_t x = 0; x < n; x += p) add(x, x + a);
  else
    for (int64_t x = n; x > 0; x -= p) add(x - a, x);
}

HRGN blindsRegion(const BlindsKind& k, const TStepValues& v, int32_t percent) {
  const int32_t w = v("W"), h = v("H");
  TComplexRegion region;
  slatSpans(k.slats, k.columns ? w : h, k.columns ? v("X") : v("Y"), percent, [&](int64_t a, int64_t b) {
    if (k.columns) region.AddRect(static_cast<int32_t>(a), 0, static_cast<int32_t>(b), h);
    else region.AddRect(0, static_cast<int32_t>(a), w, static_cast<int32_t>(b));
  });
  return region.GetRegion();
}

// Random bands: wide bands filled one after another in the run's random order.
struct BandsKind {
  TIETransitionType kind;
  bool horizontal;
  bool fromFarSide;
};

const BandsKind kBandsKinds[] = {
    {iettRectanglesFromTheLeft, true, false},
    {iettRectanglesFromTheRight, true, true},
    {iettRectanglesFromTheTop, false, false},
    {iettRectanglesFromTheBottom, false, true},
};

HRGN randomBandsRegion(const BandsKind& k, const TIETransitionFrame& frame, const TStepValues& v) {
  const int32_t n = IEGetGlobalSettings()->TransitionAltDrawing ? 6 : 12, per = 100 / n;
  const int32_t w = v("W"), h = v("H");
  const int32_t t = (k.horizontal ? h : w) / n + 1, full = k.horizontal ? w : h;
  if (!frame.State->Ready) {
    frame.State->MakeRandomOrder(n - 1);
    frame.State->Ready = true;
  }
  TComplexRegion region;
  for (int32_t i = 0; i < n; ++i) {
    const int32_t b = frame.State->RandomOrderItem(i);
    int32_t length = 0;
    if (per * (i + 1) < frame.Percent) length = full;
    else if (per * i < frame.Percent) length = MulDiv(full, frame.Percent - per * i, per);
    if (length <= 0) continue;
    const int32_t a1 = k.fromFarSide ? full - length : 0, a2 = k.fromFarSide ? full : length;
    if (k.horizontal) region.AddRect(a1, t * b, a2, t * (b + 1));
    else region.AddRect(t * b, a1, t * (b + 1), a2);
  }
  return region.GetRegion();
}

}  // namespace

bool StripRegionStep(TIETransitionType kind, const TIETransitionFrame& frame) {
  const TStepValues v(frame);
  for (const StripKind& k : kStripKinds) {
    if (k.kind != kind) continue;
    const int32_t x = v(k.progressX), y = v(k.progressY), w = v("W"), h = v("H");
    HRGN region = stripRegion(k.strips, x, y, w, h, k.kindX, k.kindY);
    if (k.andKindX) region = CombineInto(region, stripRegion(k.strips, x, y, w, h, k.andKindX, k.andKindY), RGN_AND);
    Reveal(frame, region);
    return true;
  }
  for (const BlindsKind& k : kBlindsKinds)
    if (k.kind == kind) {
      Reveal(frame, blindsRegion(k, v, frame.Percent));
      return true;
    }
  for (const BandsKind& k : kBandsKinds)
    if (k.kind == kind) {
      Reveal(frame, randomBandsRegion(k, frame, v));
      return true;
    }
  return false;
}
