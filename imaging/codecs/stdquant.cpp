// The box quantizer: histogram, box statistics, cuts and the palette.
#include "imaging/codecs/stdquant.h"

#include <algorithm>
#include <cmath>

namespace {

// The value a failed cut is given: never the best choice.
constexpr double kFailedCut = 17523.6;

// Halves go to the even neighbour.
int32_t RoundEven(double v) { return static_cast<int32_t>(std::nearbyint(v)); }

void ComputeStatistics(TIEQuantBox& box, int64_t totalPixels) {
  box.Score = 0;
  if (box.Count == 0) return;
  const double n = static_cast<double>(box.Count);
  for (int c = 0; c < 3; ++c) {
    double s1 = 0, s2 = 0;
    for (int32_t v = box.Low[c]; v < box.High[c]; ++v) {
      const double h = static_cast<double>(box.Projections[c][v]);
      s1 += v * h;
      s2 += double(v) * v * h;
    }
    box.Mean[c] = s1 / n;
    box.Score += s2 - box.Mean[c] * box.Mean[c] * n;
  }
  box.Score /= static_cast<double>(totalPixels);
}

// Cells of the box's histogram, channel 0 red, 1 green, 2 blue.
template <typename F>
void ForEachCell(const TIEQuantBox& box, F&& f) {
  for (int32_t r = box.Low[0]; r < box.High[0]; ++r)
    for (int32_t g = box.Low[1]; g < box.High[1]; ++g)
      for (int32_t b = box.Low[2]; b < box.High[2]; ++b) f(r, g, b, (r << 10) | (g << 5) | b);
}

// Low and high bounds shrunk to the non-empty projection cells.
void ShrinkBounds(TIEQuantBox& box) {
  for (int c = 0; c < 3; ++c) {
    int32_t lo = box.Low[c], hi = box.High[c];
    while (lo < hi && box.Projections[c][lo] == 0) ++lo;
    while (hi > lo && box.Projections[c][hi - 1] == 0) --hi;
    box.Low[c] = lo;
    box.High[c] = hi;
  }
}

bool CutBox(const TIEBoxQuantizer& q, const TIEQuantBox& box, int c, TIEQuantBox& lower, TIEQuantBox& upper) {
  const auto& h = box.Projections[c];
  const int32_t lo = box.Low[c], hi = box.High[c];
  const double m = box.Mean[c];
  const int64_t n = box.Count;
  if (lo + 1 == hi) return false;
  const int32_t first = RoundEven((lo + m) * 0.5);
  // Cells from hi on hold no pixel of the box: they never change the best cut.
  const int32_t last = std::min(RoundEven((hi + m) * 0.5), hi - 1);
  int64_t s = 0;
  for (int32_t e = lo; e < first; ++e) s += h[e];
  int32_t bestCut = first;
  int64_t bestCount = n;
  double bestValue = -1.0, t = 0;
  for (int32_t e = first; e <= last; ++e) {
    s += h[e];
    if (s == n) break;
    t += static_cast<double>(h[e]) * e / static_cast<double>(n);
    const double value = static_cast<double>(s) / static_cast<double>(n - s) * (m - t) * (m - t);
    if (value > bestValue) {
      bestValue = value;
      bestCut = e;
      bestCount = s;
    }
  }
  lower = box;
  upper = box;
  lower.High[c] = bestCut + 1;
  lower.Count = bestCount;
  upper.Low[c] = bestCut + 1;
  upper.Count = n - bestCount;
  if (lower.Count == 0 || upper.Count == 0) return false;
  for (auto& p : lower.Projections) p.fill(0);
  ForEachCell(lower, [&](int32_t r, int32_t g, int32_t b, int32_t cell) {
    const uint32_t count = q.Histogram[cell];
    lower.Projections[0][r] += count;
    lower.Projections[1][g] += count;
    lower.Projections[2][b] += count;
  });
  for (int k = 0; k < 3; ++k)
    for (int v = 0; v < 32; ++v) upper.Projections[k][v] -= lower.Projections[k][v];
  ShrinkBounds(lower);
  ShrinkBounds(upper);
  ComputeStatistics(lower, q.TotalPixels);
  ComputeStatistics(upper, q.TotalPixels);
  return true;
}

// Splits box i into itself and box k; false (and its score 0) when no cut helps.
bool SplitBox(TIEBoxQuantizer& q, int32_t i, int32_t k) {
  TIEQuantBox& box = q.Boxes[i];
  if (box.Score == 0 || box.Count == 0) {
    box.Score = 0;
    return false;
  }
  TIEQuantBox lower[3], upper[3];
  int best = -1;
  double bestValue = kFailedCut;
  for (int c = 0; c < 3; ++c) {
    const double value = CutBox(q, box, c, lower[c], upper[c]) ? lower[c].Score + upper[c].Score : kFailedCut;
    if (value < bestValue) {
      bestValue = value;
      best = c;
    }
  }
  if (best < 0) {
    box.Score = 0;
    return false;
  }
  q.Boxes[k] = upper[best];
  box = lower[best];
  return true;
}

// The box with the largest positive score (the first on ties); -1 when none.
int32_t WorstBox(const TIEBoxQuantizer& q, int32_t k) {
  int32_t worst = -1;
  double score = 0;
  for (int32_t i = 0; i < k; ++i)
    if (q.Boxes[i].Score > score) {
      score = q.Boxes[i].Score;
      worst = i;
    }
  return worst;
}

void BuildHistogram(TIEBoxQuantizer& q, TIEBitmap& bitmap) {
  TIEQuantBox& all = q.Boxes[0];
  const int32_t width = bitmap.GetWidth(), height = bitmap.GetHeight();
  for (int32_t y = 0; y < height; ++y) {
    const auto* row = reinterpret_cast<const TRGB*>(bitmap.GetScanline(y));
    for (int32_t x = 0; x < width; ++x) {
      const TRGB c = row[x];
      ++q.Histogram[IEQuantCell(c)];
      ++all.Projections[0][c.r >> 3];
      ++all.Projections[1][c.g >> 3];
      ++all.Projections[2][c.b >> 3];
    }
  }
}

}  // namespace

std::unique_ptr<TIEBoxQuantizer> CreateBoxQuantizer(TIEBitmap& bitmap, TRGB* palette, int32_t colorCount) {
  auto q = std::make_unique<TIEBoxQuantizer>();
  q->Bitmap = &bitmap;
  q->RequestedColors = std::clamp(colorCount, 1, 256);
  // 64 bits: the image may be larger than 65535 pixels on a side.
  q->TotalPixels = int64_t{bitmap.GetWidth()} * bitmap.GetHeight();
  if (q->TotalPixels <= 0) return q;
  BuildHistogram(*q, bitmap);
  TIEQuantBox& all = q->Boxes[0];
  all.Low = {0, 0, 0};
  all.High = {32, 32, 32};
  all.Count = q->TotalPixels;
  ComputeStatistics(all, q->TotalPixels);

  int32_t k = 1;
  while (k < q->RequestedColors) {
    const int32_t worst = WorstBox(*q, k);
    if (worst < 0) break;
    if (SplitBox(*q, worst, k)) ++k;
  }
  q->BoxCount = k;
  for (int32_t i = 0; i < k; ++i) {
    const auto& mean = q->Boxes[i].Mean;
    palette[i] = TRGB{static_cast<uint8_t>(8 * RoundEven(mean[2])), static_cast<uint8_t>(8 * RoundEven(mean[1])),
                      static_cast<uint8_t>(8 * RoundEven(mean[0]))};
    ForEachCell(q->Boxes[i],
                [&](int32_t, int32_t, int32_t, int32_t cell) { q->IndexMap[cell] = static_cast<uint8_t>(i); });
  }
  return q;
}
