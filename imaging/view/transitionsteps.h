// The step procedures of the transition kinds that the engine does not draw
// itself: for each frame one call draws the frame for the step over the
// previous frame on the canvas of the engine's current bitmap.
//
// Kinds come in families; each family is one procedure driven by a table of
// its kinds (transitionsteps_*.cpp).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "imaging/view/transitioneffects.h"
#include "platform/forms/graphics.h"

// What the steps of one run keep from frame to frame. Each engine holds its
// own, so two views animating at once do not disturb each other.
struct TIETransitionRunState {
  // False: set up the state below on the next call (the engine clears it on
  // the frame that starts from the old picture).
  bool Ready = false;
  // The order in which the random bands fill, a permutation of 0..n-1.
  std::array<int32_t, 30> Order{};
  // The pac-man mouth picture (0..3) and the tick of its last change.
  uint8_t PacmanMouthPhase = 0;
  uint32_t PacmanPhaseTick = 0;

  // Fills Order with a random permutation of 0..maxIndex, the generator
  // seeded from the clock. Raises for more than 30 entries.
  void MakeRandomOrder(int32_t maxIndex);
  int32_t RandomOrderItem(int32_t index) const { return Order[static_cast<size_t>(index)]; }
};

// The arguments every step procedure receives.
struct TIETransitionFrame {
  TCanvas* Canvas;     // the frame being composed, holding the previous one
  TBitmap* Old;        // the picture the transition leaves
  TBitmap* New;        // the picture it arrives at
  RECT Rect;           // (0, 0, width, height) of the frame
  int32_t Percent;     // 0..100
  int32_t Step;        // 0..1024
  TIETransitionRunState* State;
};

// Draws the frame of kind at step (0..1024) onto canvas. Raises
// "Unknown Transition!" for the kinds the engine draws itself and for none.
void PerformTransitionStep(TIETransitionType kind, TCanvas* canvas, TBitmap* oldBitmap, TBitmap* newBitmap,
                           const RECT& rect, int32_t step, TIETransitionRunState& state);
// The percentage a step shows: step / 1024 in hundredths, rounded half to even.
int32_t TransitionStepPercent(int32_t step);

// ---- the families (each answers false for a kind that is not its own) ----------------------

bool SlideWipeStretchStep(TIETransitionType kind, const TIETransitionFrame& frame);
bool StripRegionStep(TIETransitionType kind, const TIETransitionFrame& frame);
bool PolygonGridStep(TIETransitionType kind, const TIETransitionFrame& frame);
bool ShapeWordCellStep(TIETransitionType kind, const TIETransitionFrame& frame);
bool RotateSweepStep(TIETransitionType kind, const TIETransitionFrame& frame);

// ---- what the families share (transitionsteps.cpp) ------------------------------------------

// Copies (x, y, w, h) of bitmap to (dx, dy) of the frame.
void CopyFrom(const TIETransitionFrame& frame, TBitmap* bitmap, int32_t dx, int32_t dy, int32_t x, int32_t y,
              int32_t w, int32_t h);
// Stretches the source rectangle (x, y, w, h) of bitmap onto (dx, dy, dw, dh).
void StretchFrom(const TIETransitionFrame& frame, TBitmap* bitmap, int32_t dx, int32_t dy, int32_t dw, int32_t dh,
                 int32_t x, int32_t y, int32_t w, int32_t h);
// The whole of bitmap onto the frame.
void CopyWhole(const TIETransitionFrame& frame, TBitmap* bitmap);
// Draws the new picture through region and deletes it; nothing for no region.
void Reveal(const TIETransitionFrame& frame, HRGN region);

// ---- geometry written as in the kind tables -----------------------------------------------

// Named integers for the tables' expressions: W, H, X, Y (the progress of
// the frame), cx, cy (half of W and H), Min (the smaller side), P (the
// percentage), and whatever a family adds.
class TStepValues {
public:
  explicit TStepValues(const TIETransitionFrame& frame);
  TStepValues(const RECT& rect, int32_t percent);
  void Set(const char* name, int64_t value);
  int64_t Get(std::string_view name) const;
  // Evaluates a comma-separated list of integer expressions: names, numbers,
  // + - * and / (truncating division), a number before a name or bracket as
  // a product (2W), half(e) = e / 2, min(a, b), max(a, b).
  std::vector<int32_t> List(std::string_view text) const;
  int32_t operator()(std::string_view text) const;

private:
  std::vector<std::pair<std::string, int64_t>> values_;
};
