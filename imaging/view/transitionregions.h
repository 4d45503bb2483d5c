// What the transition step procedures share: a collector that turns many
// rectangles into one region, the builders of strip, fan, shape and word
// regions, and a few drawing and geometry helpers. Every region returned is a
// plain region handle that the caller owns and deletes; 0 stands for "no
// region" (nothing to draw).
//
// Sections: rectangle collector | progress and drawing | strips and fans |
// shapes and words | combining
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/forms/graphics.h"
#include "platform/win/gdi.h"

// ---- rectangle collector ---------------------------------------------------------

// Rectangles gathered for one region, made with a single call.
class TComplexRegion {
public:
  void Clear();
  void AddRect(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
  // The union of the rectangles added; 0 when none was.
  HRGN GetRegion() const;
  int32_t Count() const { return static_cast<int32_t>(rects_.size()); }
  const RECT& Bounds() const { return bounds_; }

private:
  std::vector<RECT> rects_;
  RECT bounds_{INT32_MAX, INT32_MAX, -INT32_MAX, -INT32_MAX};
};

// ---- progress and drawing -----------------------------------------------------------

// How far a transition has come inside rect: the size, and the progress
// along each axis for percent, the longer side computed first.
struct TTransitionProgress {
  int32_t W = 0, H = 0, X = 0, Y = 0;
};
TTransitionProgress TransitionProgress(const RECT& rect, int32_t percent);

// Blends color over rect of dc with the constant alpha (0..255).
void BlendColorIntoRect(HDC dc, const RECT& rect, TColor color, int32_t alpha);
// Copies (0, 0, w, h) of bitmap onto canvas through region; nothing for no
// region. The region stays the caller's.
void DrawBitmapThroughRegion(TCanvas* canvas, int32_t w, int32_t h, HRGN region, TBitmap* bitmap);
// Turns the points about (cx, cy) by angle radians, rounding to whole pixels.
void RotatePoints(POINT* points, int32_t high, int32_t cx, int32_t cy, long double angle);
// Stretches source (clipped to the bitmap) of bitmap onto dest, mirrored as asked.
void StretchDrawMirrored(TCanvas* canvas, const RECT& dest, TBitmap* bitmap, RECT source, bool mirrorHorizontally,
                         bool mirrorVertically);

// ---- strips and fans ----------------------------------------------------------------------

// Polygon of the points x0, y0, x1, y1 ..., winding fill.
HRGN PolygonRegion(std::initializer_list<int32_t> coordinates);
HRGN PolygonRegion(const POINT* points, int32_t count);
// Interleaved bars growing along x (kindX) and y (kindY) by the progress x, y
// (up to twice the size for the two-pass kinds); kind 0 adds nothing.
HRGN BarsRegion(int32_t x, int32_t y, int32_t w, int32_t h, int32_t kindX, int32_t kindY);
// Thin strips with ragged ends, fresh random lengths on every call.
HRGN ShreddedRegion(int32_t x, int32_t y, int32_t w, int32_t h, int32_t kindX, int32_t kindY);
// A solid front with random specks ahead of it.
HRGN SpeckledRegion(int32_t x, int32_t y, int32_t w, int32_t h, int32_t kindX, int32_t kindY);
// The centre and count points on the arc from startAngle toward endAngle (the
// last one a step short of it), mirrored through the centre unless forward.
HRGN FanRegion(int32_t cx, int32_t cy, int32_t radius, long double startAngle, long double endAngle, int32_t count,
               bool forward);

// ---- shapes and words ------------------------------------------------------------------

// Shape kinds: 0 five- and 1 six-pointed star, 2-5 arrow, 6-7 lightning bolt,
// 8-9 explosion, 10 cross, 11-14 feathered arrow, 15 heart, 16 double heart;
// only the low 7 bits count. No region for other kinds or an empty box.
HRGN ShapeRegion(int32_t kind, int32_t x, int32_t y, int32_t width, int32_t height);
HRGN ShapeRegionInRect(int32_t kind, const RECT& rect);

// The letter or word the word kinds show at percent: the first letter up to
// firstPercent, the last from lastPercent, those between in turn; the whole
// word when wholeWord, when it has one letter or is written in quotes.
std::string WordTransitionText(int32_t percent, int32_t firstPercent, int32_t lastPercent, bool wholeWord);
// The number of letters of the word the word kinds show.
int32_t WordTransitionLength();
// The region of that text in the word transitions' font, fitted into rect
// keeping its proportions; no region for an empty rect.
HRGN WordRegion(const RECT& rect, int32_t percent, int32_t firstPercent, int32_t lastPercent, bool wholeWord,
                bool cellHeight);
// The text drawn in color on background at height pixels (cell height or,
// when cellHeight is false, character height); the bitmap is 24 bits.
std::unique_ptr<TBitmap> MakeTextBitmap(const std::string& text, int32_t height, const std::string& fontName,
                                        TColor fontColor, TFontStyles style, TColor background, bool antialias,
                                        bool cellHeight);
// The pixels of bitmap unlike background, scaled onto (left, top, targetW, targetH).
HRGN RegionFromBitmap(TBitmap* bitmap, int32_t left, int32_t top, int32_t targetW, int32_t targetH,
                      TColor background);

// ---- combining ----------------------------------------------------------------------------

// Combines src into dest with mode (RGN_OR, RGN_AND, RGN_XOR, RGN_DIFF) and
// deletes src; either may be 0 (no region). Answers the result, 0 when empty
// of handle.
HRGN CombineInto(HRGN dest, HRGN src, int mode);
// All regions combined with mode (RGN_OR or RGN_XOR), pairwise in a balanced
// order (a long chain grows one big region over and over); deletes them.
HRGN CombineRegions(std::vector<HRGN> regions, int mode = RGN_OR);
// A round rectangle; no region for an empty or inverted box.
HRGN RoundRectRegion(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t ellipseW, int32_t ellipseH);
