// What the photo benches share: a 20-megapixel photo-like bitmap, a
// progress record, and the pairing of our code with a bare loop on the
// same data in the same run. Pair runs both in each iteration, which of
// them first alternating, timed in the thread's CPU time, and reports
// "speed_vs_bare" (the bare loop's total time / ours: 1 is as fast) with
// "speed_median", the median of the iterations' ratios, and "speed_best",
// the bare loop's best time / our best; "load1" is the machine's load
// average when it ended.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <vector>

#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/core/ruduvazez_startup.h"
#include "imaging/io/imageryio.h"
#include "imaging/io/imageryio_registry.h"
#include "rounds.h"

namespace {

constexpr int32_t kWidth = 5472, kHeight = 3648;  // 19.96 megapixels

// A photo-like bitmap: soft colour waves with a little grain.
TIEBitmap& Photo() {
  static TIEBitmap* photo = [] {
    IELibraryInitialize();
    IEInitializeImageryIO();
    auto* image = new TIEBitmap(kWidth, kHeight, ie24RGB);
    uint32_t grain = 12345;
    for (int32_t y = 0; y < kHeight; ++y) {
      uint8_t* row = image->GetScanline(y);
      for (int32_t x = 0; x < kWidth; ++x)
        for (int32_t c = 0; c < 3; ++c) {
          grain = grain * 1103515245u + 12345u;
          const double wave = std::sin(x * (0.002 + 0.001 * c)) * std::cos(y * 0.003 + c);
          row[3 * x + c] = static_cast<uint8_t>(128 + 100 * wave + static_cast<int32_t>(grain >> 28));
        }
    }
    return image;
  }();
  return *photo;
}

struct Progress {
  Progress() { record.Aborting = &aborting; }
  std::atomic<bool> aborting{false};
  TIEProgressRecord record;
};

using bench::CpuSeconds;
using bench::Median;

// Runs the bare loop and ours in turn in each iteration, which of them
// first alternating, and reports their times and ratios.
[[maybe_unused]] void Pair(benchmark::State& state, const std::function<void()>& bare, const std::function<void()>& ours) {
  std::vector<double> bareTimes, ourTimes, ratios;
  bool oursFirst = false;
  for (auto _ : state) {
    double ourTime = 0;
    if (oursFirst) ourTime = CpuSeconds(ours);
    const double bareTime = CpuSeconds(bare);
    if (!oursFirst) ourTime = CpuSeconds(ours);
    oursFirst = !oursFirst;
    bareTimes.push_back(bareTime);
    ourTimes.push_back(ourTime);
    ratios.push_back(ourTime > 0 ? bareTime / ourTime : 0);
  }
  if (ratios.empty()) return;
  const auto n = static_cast<double>(state.iterations());
  double bareTotal = 0, ourTotal = 0;
  for (double t : bareTimes) bareTotal += t;
  for (double t : ourTimes) ourTotal += t;
  state.counters["bare_ms"] = 1000 * bareTotal / n;
  state.counters["ours_ms"] = 1000 * ourTotal / n;
  state.counters["speed_vs_bare"] = ourTotal > 0 ? bareTotal / ourTotal : 0;
  state.counters["speed_median"] = Median(ratios);
  const double bareBest = *std::min_element(bareTimes.begin(), bareTimes.end());
  const double ourBest = *std::min_element(ourTimes.begin(), ourTimes.end());
  state.counters["speed_best"] = ourBest > 0 ? bareBest / ourBest : 0;
  state.counters["load1"] = bench::LoadAverage();
}

}  // namespace
