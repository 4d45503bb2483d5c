// Shape, word and random-cell steps: one shape growing from or shrinking to
// the centre, rings between two shapes, grids of growing shapes, and cells
// appearing in an order fixed for the run, each family one table of its kinds.
#include <functional>
#include <vector>

#include "imaging/core/iesettings.h"
#include "imaging/view/transitionregions.h"
#include "imaging/view/transitionsteps.h"
#include "platform/rtl/system.h"
#include "platform/win/olepicture.h"

namespace {

// Shape kinds besides those of ShapeRegion.
constexpr int32_t kWord = 100, kEllipse = 101, kDiamond = 102;
// The random explosions change outline with the parity of the percentage.
constexpr int32_t kExplosionByParity = -1;

bool altDrawing() { return IEGetGlobalSettings()->TransitionAltDrawing; }

// A shape kind and its scale, each with its value under the alternative drawing.
struct Shape {
  int32_t kind, altKind;
  float scale, altScale;
  int32_t Kind() const { return altDrawing() ? altKind : kind; }
  long double Scale() const { return altDrawing() ? altScale : scale; }
};

// Kinds drawn over a fresh copy of the old picture, since their shape does not only grow.
bool redrawsOld(int32_t shape) { return shape == 10 || shape == 16 || shape == kWord; }

int32_t scaled(long double scale, int32_t v) { return static_cast<int32_t>(Round(scale * v)); }

// One shape's region for boxes of one size, made once and moved to each
// box: a shape does not change with where it stands, and a frame's cells
// share their size.
class CellRegions {
public:
  // Cells of a shape kind of ShapeRegion, kEllipse or kWord (the word's
  // region for the percentages and height rule given).
  static CellRegions Shape(int32_t shape, int32_t percent, int32_t firstPercent, int32_t lastPercent,
                           bool cellHeight) {
    return CellRegions([=](int32_t w, int32_t h) -> HRGN {
      if (shape == kWord) return WordRegion({0, 0, w, h}, percent, firstPercent, lastPercent, false, cellHeight);
      if (shape != kEllipse) return ShapeRegion(shape, 0, 0, w, h);
      return w > 0 && h > 0 ? CreateEllipticRgn(0, 0, w, h) : nullptr;
    });
  }
  ~CellRegions() {
    if (proto_) DeleteObject(proto_);
  }
  CellRegions(const CellRegions&) = delete;
  CellRegions& operator=(const CellRegions&) = delete;

  HRGN At(const RECT& box) {
    const int32_t w = box.right - box.left, h = box.bottom - box.top;
    if (!made_ || w != w_ || h != h_) {
      if (proto_) DeleteObject(proto_);
      proto_ = make_(w, h);
      made_ = true;
      w_ = w;
      h_ = h;
    }
    if (!proto_) return nullptr;
    HRGN copy = CreateRectRgn(0, 0, 0, 0);
    CombineRgn(copy, proto_, nullptr, RGN_COPY);
    OffsetRgn(copy, box.left, box.top);
    return copy;
  }

private:
  explicit CellRegions(std::function<HRGN(int32_t, int32_t)> make) : make_(std::move(make)) {}
  std::function<HRGN(int32_t, int32_t)> make_;
  bool made_ = false;
  int32_t w_ = 0, h_ = 0;
  HRGN proto_ = nullptr;
};

// ---- one shape from or to the centre

struct ShapeWipeKind {
  TIETransitionType kind;
  Shape shape;
  bool inward;
};

const ShapeWipeKind kShapeWipeKinds[] = {
    {iettCircularWipeFromCenter, {kEllipse, kEllipse, 1, 1}, false},
    {iettCircularWipeToCenter, {kEllipse, kEllipse, 1, 1}, true},
    {iettHeartWipeOut, {15, 16, 1.3f, 1.3f}, false},
    {iettHeartWipeIn, {15, 16, 1.3f, 1.3f}, true},
    {iettStar5WipeOut, {0, 0, 1.6f, 1.6f}, false},
    {iettStar5WipeIn, {0, 0, 1.6f, 1.6f}, true},
    {iettStar6WipeOut, {1, 1, 1.3f, 1.3f}, false},
    {iettStar6WipeIn, {1, 1, 1.3f, 1.3f}, true},
    {iettExplosionWipeOut, {8, 9, 1, 1}, false},
    {iettExplosionWipeIn, {8, 9, 1, 1}, true},
    {iettCrossWipeOut, {10, 10, 3.6f, 3.6f}, false},
    {iettCrossWipeIn, {10, 10, 3.5f, 3.5f}, true},
    {iettWordWipeOut, {kWord, kWord, 3, 6}, false},
    {iettWordWipeIn, {kWord, kWord, 3, 6}, true},
};

HRGN shapeWipeRegion(const ShapeWipeKind& k, const TStepValues& v, int32_t percent) {
  const int32_t shape = k.shape.Kind();
  const long double scale = k.shape.Scale();
  const int32_t w = v("W"), h = v("H"), x = v("X"), y = v("Y"), cx = v("cx"), cy = v("cy");
  if (!k.inward) {
    if (shape == kEllipse) return RoundRectRegion(cx - x, cy - y, cx + x, cy + y, 9 * x / 5, 9 * y / 5);
    if (scale == 1 && shape != kWord) return ShapeRegionInRect(shape, {cx - x, cy - y, cx + x, cy + y});
    const int32_t gx = scaled(scale, x), gy = scaled(scale, y);
    const RECT box{cx - gx, cy - gy, cx + gx, cy + gy};
    return shape == kWord ? WordRegion(box, percent, 0, 60, false, true) : ShapeRegionInRect(shape, box);
  }
  HRGN hole;
  if (shape == kEllipse) {
    hole = RoundRectRegion(x - cx, y - cy, 3 * cx - x, 3 * cy - y, 9 * (w - x) / 5, 9 * (h - y) / 5);
  } else if (scale == 1 && shape != kWord) {
    hole = ShapeRegionInRect(shape, {x - cx, y - cy, 3 * cx - x, 3 * cy - y});
  } else {
    const int32_t mx = scaled(scale, w - x) / 2, my = scaled(scale, h - y) / 2;
    const RECT box{x - cx - mx, y - cy - my, 3 * cx - x + mx, 3 * cy - y + my};
    hole = shape == kWord ? WordRegion(box, percent, 60, 100, false, true) : ShapeRegionInRect(shape, box);
  }
  return CombineInto(CreateRectRgn(0, 0, w, h), hole, RGN_XOR);
}

// ---- rings between a growing and a shrinking shape

struct ShapeRingKind {
  TIETransitionType kind;
  Shape shape;
};

const ShapeRingKind kShapeRingKinds[] = {
    {iettDiagonalBoxWipe, {kDiamond, kDiamond, 1, 1}},
    {iettHeartWipeInAndOut, {15, 16, 1.6f, 1.6f}},
    {iettStar5WipeInAndOut, {0, 0, 2.4f, 2.4f}},
    {iettStar6WipeInAndOut, {1, 1, 1.6f, 1.6f}},
    {iettExplosionWipeInAndOut, {8, 9, 1.1f, 1.1f}},
    {iettWordWipeInAndOut, {kWord, kWord, 4, 8}},
};

HRGN shapeRingRegion(const ShapeRingKind& k, const TStepValues& v, int32_t percent) {
  const int32_t shape = k.shape.Kind();
  const long double scale = k.shape.Scale();
  const int32_t cx = v("cx"), cy = v("cy"), hx = v("X") / 2, hy = v("Y") / 2;
  const int32_t gx = scaled(scale, hx), gy = scaled(scale, hy);
  const RECT outer{-gx, -gy, 2 * cx + gx, 2 * cy + gy}, inner{hx, hy, 2 * cx - hx, 2 * cy - hy};
  HRGN outside, inside;
  if (shape == kWord) {
    outside = WordRegion(outer, percent, 0, 50, false, true);
    inside = WordRegion(inner, percent, 10, 80, false, true);
  } else if (shape == kDiamond) {
    outside = PolygonRegion({-hx, cy, cx, -hy, 2 * cx + hx, cy, cx, 2 * cy + hy});
    inside = inner.right > inner.left && inner.bottom > inner.top
                 ? PolygonRegion({hx, cy, cx, hy, 2 * cx - hx, cy, cx, 2 * cy - hy})
                 : nullptr;
  } else {
    outside = ShapeRegionInRect(shape, outer);
    inside = ShapeRegionInRect(shape, inner);
  }
  return CombineInto(outside, inside, RGN_XOR);
}

// ---- grids of growing shapes

struct GrowingKind {
  TIETransitionType kind;
  Shape shape;
};

const GrowingKind kGrowingKinds[] = {
    {iettExpandingCircles, {kEllipse, kEllipse, 3, 3}},
    {iettExpandingHearts, {15, 16, 3, 3}},
    {iettExpandingStar5, {0, 0, 4, 4}},
    {iettExpandingStar6, {1, 1, 4, 4}},
    {iettExpandingExplosions, {8, 9, 4, 4}},
    {iettExpandingLightningBolts, {6, 7, 6, 6}},
    {iettExpandingWord, {kWord, kWord, 6, 12}},
};

HRGN growingShapesRegion(const GrowingKind& k, const TStepValues& v, int32_t percent) {
  const int32_t shape = k.shape.Kind();
  const int32_t w = v("W"), h = v("H"), a = v("Min") / 10 + 1;
  const int32_t b = MulDiv(scaled(k.shape.Scale(), a), percent, 200);
  CellRegions shapes = CellRegions::Shape(shape, percent, 0, 50, true);
  std::vector<HRGN> cells;
  for (int32_t x = a; x - a < w; x += 2 * a)
    for (int32_t y = a; y - a < h; y += 2 * a) cells.push_back(shapes.At({x - b, y - b, x + b, y + b}));
  return CombineRegions(std::move(cells));
}

// ---- random cells

// Draws the cells' numbers from a generator seeded with the end picture's
// handle, so every frame of a run draws the same number for the same cell;
// the generator's own seed is given back afterwards.
class CellNumbers {
public:
  explicit CellNumbers(TBitmap* newBitmap) : saved_(RandSeed) {
    RandSeed = static_cast<int32_t>(reinterpret_cast<uintptr_t>(newBitmap->Handle()));
  }
  ~CellNumbers() { RandSeed = saved_; }
  CellNumbers(const CellNumbers&) = delete;
  CellNumbers& operator=(const CellNumbers&) = delete;
  int32_t Next() { return Random(100); }

private:
  int32_t saved_;
};

// Calls cell(x, y, number) for the centres x = d, 3d, ... and y = d, 3d, ...,
// column by column, each from the top; the period is at least two pixels.
template <typename Cell>
void forEachCell(const TIETransitionFrame& frame, const TStepValues& v, int32_t d, Cell cell) {
  d = d < 1 ? 1 : d;
  const int32_t w = v("W"), h = v("H");
  CellNumbers numbers(frame.New);
  for (int32_t x = d; x - d < w; x += 2 * d)
    for (int32_t y = d; y - d < h; y += 2 * d) cell(x, y, numbers.Next());
}

HRGN randomBigBoxes(const TIETransitionFrame& frame, const TStepValues& v) {
  const int32_t m = v("Min") / 20, c = altDrawing() ? m / 2 + 1 : m + 1;
  TComplexRegion boxes;
  forEachCell(frame, v, c, [&](int32_t x, int32_t y, int32_t n) {
    if (n < frame.Percent) boxes.AddRect(x - c, y - c, x + c, y + c);
  });
  return boxes.GetRegion();
}

HRGN randomBoxesWithWord(const TIETransitionFrame& frame, const TStepValues& v) {
  const int32_t m = v("Min") / 400, b = altDrawing() ? m / 2 + 1 : m + 1, p = frame.Percent;
  const int32_t threshold = p <= 60 ? MulDiv(p, 100, 60) : MulDiv(p - 60, 100, 40);
  TComplexRegion boxes;
  forEachCell(frame, v, b, [&](int32_t x, int32_t y, int32_t n) {
    if (n < threshold) boxes.AddRect(x - b, y - b, x + b, y + b);
  });
  HRGN region = boxes.GetRegion();
  // No box taken reveals nothing, not the word alone.
  if (!region) return nullptr;
  const int32_t w = v("W"), h = v("H");
  HRGN word = WordRegion({MulDiv(w, 5, 100), MulDiv(h, 5, 100), MulDiv(w, 95, 100), MulDiv(h, 95, 100)}, p, 0, 100,
                         true, true);
  return CombineInto(region, word, p <= 60 ? RGN_DIFF : RGN_AND);
}

struct RandomShapesKind {
  TIETransitionType kind;
  Shape shape;  // the scale here is the spacing: half the grid period over half the shape size
  int32_t divisor;
};

const RandomShapesKind kRandomShapesKinds[] = {
    {iettRandomHearts, {15, 16, 0.2f, 0.2f}, 12},
    {iettRandomStar5s, {0, 0, 0.4f, 0.4f}, 14},
    {iettRandomStar6s, {1, 1, 0.4f, 0.4f}, 14},
    {iettRandomExplosions, {kExplosionByParity, kExplosionByParity, 0.5f, 0.5f}, 18},
    {iettRandomWord, {kWord, kWord, 0.4f, 0.2f}, 14},
};

HRGN randomShapesRegion(const RandomShapesKind& k, const TIETransitionFrame& frame, const TStepValues& v) {
  int32_t shape = k.shape.Kind();
  if (shape == kExplosionByParity) shape = frame.Percent % 2 ? 9 : 8;
  const int32_t a = v("Min") / k.divisor + 1, d = static_cast<int32_t>(Trunc(a * k.shape.Scale()));
  CellRegions shapes = CellRegions::Shape(shape, frame.Percent, 0, 50, false);
  std::vector<HRGN> cells;
  forEachCell(frame, v, d, [&](int32_t x, int32_t y, int32_t n) {
    if (n < frame.Percent) cells.push_back(shapes.At({x - a, y - a, x + a, y + a}));
  });
  return CombineRegions(std::move(cells));
}

// Jigsaw pieces: squares with a knob on each side, a tab where the
// neighbour has a notch.
HRGN puzzlePiece(int32_t x, int32_t y, int32_t c, int32_t d, int32_t e, bool oddPiece) {
  HRGN piece = CreateRectRgn(x - c, y - c, x + c, y + c);
  const auto knob = [&](int32_t l, int32_t t, bool tab) {
    piece = CombineInto(piece, CreateEllipticRgn(l, t, l + 2 * d, t + 2 * d), tab ? RGN_OR : RGN_DIFF);
  };
  const bool topTab = !oddPiece, sideTab = oddPiece;
  knob(x - d, topTab ? y - c + e - 2 * d : y - c - e, topTab);                 // top
  knob(sideTab ? x - c + e - 2 * d : x - c - e, y - d, sideTab);               // left
  knob(x - d, topTab ? y + c - e : y + c + e - 2 * d, topTab);                 // bottom
  knob(sideTab ? x + c - e : x + c + e - 2 * d, y - d, sideTab);               // right
  return piece;
}

HRGN randomPuzzleRegion(const TIETransitionFrame& frame, const TStepValues& v) {
  const int32_t m = v("Min") / 8, c = altDrawing() ? m / 2 + 1 : m + 1, d = c / 3, e = d / 5;
  const int32_t w = v("W"), h = v("H");
  CellNumbers numbers(frame.New);
  std::vector<HRGN> pieces;
  int32_t i = 0;
  for (int32_t x = c - 2 * d; x - c < w; x += 2 * c, ++i) {
    int32_t j = 0;
    for (int32_t y = c - 2 * d; y - c < h; y += 2 * c, ++j)
      if (numbers.Next() < frame.Percent) pieces.push_back(puzzlePiece(x, y, c, d, e, (i + j) % 2 != 0));
  }
  return CombineRegions(std::move(pieces), RGN_XOR);
}

}  // namespace

bool ShapeWordCellStep(TIETransitionType kind, const TIETransitionFrame& frame) {
  const TStepValues v(frame);
  const auto reveal = [&](HRGN region, bool redrawOld) {
    if (region && redrawOld) CopyWhole(frame, frame.Old);
    Reveal(frame, region);
  };
  for (const ShapeWipeKind& k : kShapeWipeKinds)
    if (k.kind == kind) {
      // The old picture goes down first, also when the shape has shrunk to nothing.
      if (redrawsOld(k.shape.Kind())) CopyWhole(frame, frame.Old);
      Reveal(frame, shapeWipeRegion(k, v, frame.Percent));
      return true;
    }
  for (const ShapeRingKind& k : kShapeRingKinds)
    if (k.kind == kind) {
      const int32_t shape = k.shape.Kind();
      if (shape == kWord || shape == 16) CopyWhole(frame, frame.Old);
      Reveal(frame, shapeRingRegion(k, v, frame.Percent));
      return true;
    }
  for (const GrowingKind& k : kGrowingKinds)
    if (k.kind == kind) {
      const int32_t shape = k.shape.Kind();
      reveal(growingShapesRegion(k, v, frame.Percent), shape == kWord || shape == 16);
      return true;
    }
  for (const RandomShapesKind& k : kRandomShapesKinds)
    if (k.kind == kind) {
      reveal(randomShapesRegion(k, frame, v), k.shape.Kind() == kWord && WordTransitionLength() > 1);
      return true;
    }
  switch (kind) {
    case iettRandomBigBoxes:
      Reveal(frame, randomBigBoxes(frame, v));
      return true;
    case iettRandomBoxesWithWord:
      Reveal(frame, randomBoxesWithWord(frame, v));
      return true;
    case iettRandomPuzzlePieces:
      Reveal(frame, randomPuzzleRegion(frame, v));
      return true;
    default:
      return false;
  }
}
