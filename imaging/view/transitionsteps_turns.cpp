// Rotating, sweeping and animated steps: polygons turning about a point, fan
// sweeps (through black and with the word, optionally), pac-man figures
// eating rows, and twists of the whole picture or of its tiles, each family
// one table of its kinds.
#include <cmath>
#include <numbers>
#include <vector>

#include "imaging/core/iesettings.h"
#include "imaging/view/transitionregions.h"
#include "imaging/view/transitionsteps.h"
#include "platform/rtl/system.h"
#include "platform/rtl/threads.h"
#include "platform/win/olepicture.h"

namespace {

constexpr long double kPi = std::numbers::pi_v<long double>;

bool altDrawing() { return IEGetGlobalSettings()->TransitionAltDrawing; }

int32_t width(const TIETransitionFrame& frame) { return frame.Rect.right - frame.Rect.left; }
int32_t height(const TIETransitionFrame& frame) { return frame.Rect.bottom - frame.Rect.top; }

// ---- rotating polygons: a full turn at 100 percent, leaving a swept trace

enum class Turn : uint8_t { Clockwise, CounterClockwise, ClockwiseUnlessAlternative };

struct RotatedKind {
  TIETransitionType kind;
  const char* points;  // hx, hy: half of X and Y; b: half the larger of them
  const char* centre;
  Turn turn;
};

constexpr const char* kRectangle = "cx - hx, cy - hy, cx + hx, cy - hy, cx + hx, cy + hy, cx - hx, cy + hy";
constexpr const char* kStar =
    "cx - 2X, cy, cx - hx, cy - hy, cx, cy - 2Y, cx + hx, cy - hy, cx + 2X, cy, cx + hx, cy + hy, cx, cy + 2Y, "
    "cx - hx, cy + hy";

const RotatedKind kRotatedKinds[] = {
    {iettRotationalRectangle, kRectangle, "cx, cy", Turn::Clockwise},
    {iettRotationalRectangleCounterClockwise, kRectangle, "cx, cy", Turn::CounterClockwise},
    {iettRotationalStar, kStar, "cx, cy", Turn::Clockwise},
    {iettRotationalStarCounterClockwise, kStar, "cx, cy", Turn::CounterClockwise},
    {iettSpirallingRectangleClockwise, kRectangle, "X, Y", Turn::Clockwise},
    {iettSpirallingRectangleCounterClockwise, kRectangle, "X, Y", Turn::CounterClockwise},
    {iettTriangularWipe, "cx, cy - b, cx + b, cy + b, cx - b, cy + b", "cx, cy", Turn::ClockwiseUnlessAlternative},
};

HRGN rotatedRegion(const RotatedKind& k, TStepValues& v, int32_t percent) {
  v.Set("hx", v("X") / 2);
  v.Set("hy", v("Y") / 2);
  v.Set("b", std::max(v("X"), v("Y")) / 2);
  const std::vector<int32_t> c = v.List(k.points), centre = v.List(k.centre);
  std::vector<POINT> points;
  for (size_t i = 0; i + 1 < c.size(); i += 2) points.push_back({c[i], c[i + 1]});
  const bool clockwise = k.turn == Turn::Clockwise || (k.turn == Turn::ClockwiseUnlessAlternative && !altDrawing());
  const long double angle = percent * kPi / 50;
  RotatePoints(points.data(), static_cast<int32_t>(points.size()) - 1, centre[0], centre[1],
               clockwise ? angle : -angle);
  return PolygonRegion(points.data(), static_cast<int32_t>(points.size()));
}

// ---- fan sweeps

enum class Phases : uint8_t { One, TwoWithAlternative, Two };

struct SweepKind {
  TIETransitionType kind;
  int32_t direction, altDirection;  // 1 clockwise, -1 counter-clockwise
  bool half;                        // one blade turning a full turn
  bool full;                        // two blades from 12 and 6 o'clock turning the same way
  Phases phases;                    // two: through black first
  bool word;                        // the word shows the new picture in the second half
};

const SweepKind kSweepKinds[] = {
    {iettSweepClockwise, 1, 1, true, false, Phases::TwoWithAlternative, false},
    {iettSweepCounterClockwise, -1, -1, true, false, Phases::TwoWithAlternative, false},
    {iettFullSweepClockwise, 1, 1, false, true, Phases::TwoWithAlternative, false},
    {iettExpandingSweepClockwise, 1, 1, false, false, Phases::TwoWithAlternative, false},
    {iettWordHalfSweep, 1, -1, true, false, Phases::Two, true},
    {iettWordFullSweep, 1, -1, false, true, Phases::Two, true},
    {iettWordFullExpandingSweep, 1, 1, false, false, Phases::Two, true},
};

HRGN sweepWordRegion(const TIETransitionFrame& frame) {
  const int32_t w = width(frame), h = height(frame);
  return WordRegion({MulDiv(w, 15, 100), MulDiv(h, 15, 100), MulDiv(w, 85, 100), MulDiv(h, 85, 100)}, frame.Percent,
                    0, 100, true, true);
}

// One pass of the clock hand at p percent, drawing reveal through it.
void sweepPass(const SweepKind& k, const TIETransitionFrame& frame, TBitmap* reveal, int32_t p, bool flip) {
  const TTransitionProgress g = TransitionProgress(frame.Rect, p);
  const int32_t cx = g.W / 2, cy = g.H / 2;
  const int32_t radius = static_cast<int32_t>(Ceil(Hypot(cx, cy)));
  const int32_t direction = altDrawing() ? k.altDirection : k.direction;
  const long double up = -kPi / 2;
  HRGN region;
  if (k.half) {
    region = FanRegion(cx, cy, radius, up, direction * kPi * p / 50 + up, p, true);
  } else {
    const long double end = direction * kPi * p / 100 + up;
    HRGN first = FanRegion(cx, cy, radius, up, end, p / 2, !flip);
    HRGN second = k.full ? FanRegion(cx, cy, radius, up, end, p / 2, false)
                         : FanRegion(cx, cy, radius, up, -direction * kPi * p / 100 + up, p / 2, !flip);
    region = CombineInto(first, second, RGN_OR);
  }
  if (k.word && frame.Percent > 50) region = CombineInto(region, sweepWordRegion(frame), RGN_OR);
  if (!region) return;
  DrawBitmapThroughRegion(frame.Canvas, g.W, g.H, region, reveal);
  DeleteObject(region);
}

void sweepStep(const SweepKind& k, const TIETransitionFrame& frame) {
  const bool twoPhases = k.phases == Phases::Two || (k.phases == Phases::TwoWithAlternative && altDrawing());
  if (!twoPhases) {
    sweepPass(k, frame, frame.New, frame.Percent, false);
    return;
  }
  const int32_t w = width(frame), h = height(frame);
  if (frame.Percent < 50) {
    // The old picture swept to black, with the word in the new picture.
    TBitmap black;
    black.SetPixelFormat(pf24bit);
    black.SetSize(frame.Old->Width(), frame.Old->Height());
    if (black.Width() > 0 && black.Height() > 0) {
      black.Canvas()->Brush()->SetColor(clBlack);
      black.Canvas()->FillRect({0, 0, black.Width(), black.Height()});
    }
    if (k.word) {
      HRGN word = sweepWordRegion(frame);
      if (word) {
        DrawBitmapThroughRegion(black.Canvas(), w, h, word, frame.New);
        DeleteObject(word);
      }
    }
    sweepPass(k, frame, &black, 2 * frame.Percent, false);
    return;
  }
  frame.Canvas->Brush()->SetColor(clBlack);
  frame.Canvas->FillRect({0, 0, w, h});
  sweepPass(k, frame, frame.New, 2 * frame.Percent - 100, !k.half && !k.full);
}

// ---- pac-man

struct PacmanKind {
  TIETransitionType kind;
  int32_t rows;
  bool simultaneous;  // every row at once, else one row after another
  bool reverse;       // the first row runs from the right
};

const PacmanKind kPacmanKinds[] = {
    {iettPacmanFromLeft, 1, false, false}, {iettPacmanFromRight, 1, false, true},
    {iettPacman3Row, 3, false, false},     {iettPacman4Row, 4, false, false},
    {iettPacman2SimRow, 2, true, false},   {iettPacman4SimRow, 4, true, false},
    {iettPacman6SimRow, 6, true, false},
};

// The mouth opens and closes in real time: a new picture every 100 ms.
void advanceMouth(TIETransitionRunState& state) {
  const uint32_t now = GetTickCount();
  if (!state.Ready) {
    state.PacmanPhaseTick = now;
    state.PacmanMouthPhase = 0;
    state.Ready = true;
  } else if (now - state.PacmanPhaseTick > 100) {
    state.PacmanMouthPhase = static_cast<uint8_t>((state.PacmanMouthPhase + 1) % 4);
    state.PacmanPhaseTick = now;
  }
}

// One row: what is eaten, the figure with its mouth cut out, the rows above
// and the pellets ahead of the figure.
HRGN pacmanRow(const PacmanKind& k, int32_t w, int32_t rh, uint8_t phase, int32_t position, int32_t top, bool odd) {
  const bool leftward = odd != k.reverse;
  const int32_t r = rh / 2;
  const int32_t x = leftward ? w - position : position, mouth = leftward ? x - r : x + r;
  HRGN region = leftward ? CreateRectRgn(x, top, w, top + rh) : CreateRectRgn(0, top, x, top + rh);
  region = CombineInto(region, CreateEllipticRgn(x - r, top, x + r, top + rh + 1), RGN_OR);
  // The lips' ends on the mouth line: wide open, half open, nearly closed, half open.
  int32_t k1 = MulDiv(rh, 1, 4), k2 = MulDiv(rh, 3, 4);
  if (phase == 0) {
    k1 = -MulDiv(rh, 1, 4);
    k2 = rh + MulDiv(rh, 1, 4);
  } else if (phase == 2) {
    k1 = MulDiv(rh, 15, 32);
    k2 = MulDiv(rh, 17, 32);
  }
  region = CombineInto(region, PolygonRegion({x, top + r, mouth, top + k1, mouth, top + k2}), RGN_DIFF);
  if (!k.simultaneous && top > 0) region = CombineInto(region, CreateRectRgn(0, 0, w, top), RGN_OR);
  const int32_t d = rh / 12;
  if (!altDrawing() && d > 0) {
    const int32_t y = top + rh / 2, s = std::max(w / 10, 3 * d);
    std::vector<HRGN> pellets{region};
    for (int32_t px = s / 2; px < w; px += s)
      if (leftward ? px < mouth : px > mouth) pellets.push_back(CreateEllipticRgn(px - d, y - d, px + d, y + d));
    region = CombineRegions(std::move(pellets));
  }
  return region;
}

void pacmanStep(const PacmanKind& k, const TIETransitionFrame& frame) {
  const int32_t w = width(frame), h = height(frame), rh = h / k.rows + 1, per = 100 / k.rows;
  advanceMouth(*frame.State);
  const uint8_t phase = frame.State->PacmanMouthPhase;
  HRGN region = nullptr;
  if (k.simultaneous) {
    std::vector<HRGN> rows;
    for (int32_t i = 0; i < k.rows; ++i)
      rows.push_back(pacmanRow(k, w, rh, phase, MulDiv(w, frame.Percent, 100), i * rh, i % 2 != 0));
    region = CombineRegions(std::move(rows));
  } else {
    int32_t i = 0;
    while (i < k.rows - 1 && frame.Percent >= (i + 1) * per) ++i;
    region = pacmanRow(k, w, rh, phase, MulDiv(w, frame.Percent - i * per, per), i * rh, i % 2 != 0);
  }
  if (!region) return;
  CopyWhole(frame, frame.Old);
  Reveal(frame, region);
}

// ---- twists

void plg(const TIETransitionFrame& frame, TBitmap* from, int32_t x, int32_t y, int32_t w, int32_t h, POINT ul,
         POINT ur, POINT ll) {
  if (w <= 0 || h <= 0) return;
  const POINT corners[3] = {ul, ur, ll};
  PlgBlt(frame.Canvas->Handle(), corners, from->Canvas()->Handle(), x, y, w, h, nullptr, 0, 0);
}

bool twistStep(TIETransitionType kind, const TIETransitionFrame& frame) {
  const TTransitionProgress g = TransitionProgress(frame.Rect, frame.Percent);
  const int32_t w = g.W, h = g.H;
  switch (kind) {
    case iettAngledTwistIn:
      plg(frame, frame.New, 0, 0, w, h, {(w - g.X) / 2, (h - g.Y) / 2}, {w, 0}, {0, h});
      return true;
    case iettAngledTwistOut:
      CopyWhole(frame, frame.New);
      plg(frame, frame.Old, 0, 0, w, h, {g.X / 2, g.Y / 2}, {w, 0}, {0, h});
      return true;
    case iettMultipleAngledTwistIn:
    case iettMultipleAngledTwistOut:
      break;
    default:
      return false;
  }
  const bool in = kind == iettMultipleAngledTwistIn;
  const int32_t tw = static_cast<int32_t>(Round(w / 6.0L)), th = static_cast<int32_t>(Round(h / 4.0L));
  const int32_t sx = MulDiv(tw, frame.Step, 1024), sy = MulDiv(th, frame.Step, 1024);
  const int32_t ox = in ? (tw - sx) / 2 : sx / 2, oy = in ? (th - sy) / 2 : sy / 2;
  if (!in) CopyWhole(frame, frame.New);
  for (int32_t j = 0; j < 4; ++j)
    for (int32_t i = 0; i < 6; ++i) {
      const int32_t x = i * tw, y = j * th;
      if (in) plg(frame, frame.New, x, y, tw, th, {x + ox, y + oy}, {x + tw, y - 1}, {x - 1, y + th});
      else plg(frame, frame.Old, x, y, tw, th, {x + ox, y + oy}, {x + tw, y}, {x, y + th});
    }
  return true;
}

}  // namespace

bool RotateSweepStep(TIETransitionType kind, const TIETransitionFrame& frame) {
  TStepValues v(frame);
  for (const RotatedKind& k : kRotatedKinds)
    if (k.kind == kind) {
      Reveal(frame, rotatedRegion(k, v, frame.Percent));
      return true;
    }
  for (const SweepKind& k : kSweepKinds)
    if (k.kind == kind) {
      sweepStep(k, frame);
      return true;
    }
  for (const PacmanKind& k : kPacmanKinds)
    if (k.kind == kind) {
      pacmanStep(k, frame);
      return true;
    }
  return twistStep(kind, frame);
}
