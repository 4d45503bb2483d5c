// What the photo benches share: a 20-megapixel photo-like bitmap, a
// progress record, and the pairing of our code with a bare loop on the
// same data in the same run. Pair runs both in alternating rounds, timed
// in the thread's CPU time, and reports "bare_x" (the bare loop's time /
// ours per round: 1 is as fast, above 1 ours is faster) as median, lowest
// and highest, with "load1", the machine's load average when it ended.
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

// Runs ours and the bare loop in alternating rounds (bench::Rounds, the
// thread's CPU time, the inputs made before): "bare_x" is the bare loop's
// time / ours per round, as median, lowest and highest.
[[maybe_unused]] void Pair(benchmark::State& state, const std::function<void()>& bare, const std::function<void()>& ours,
                           int32_t minRounds) {
  bench::Rounds(state, {{"ours", ours}, {"bare", bare}}, {.MinRounds = minRounds, .MinSeconds = 1.0});
}

}  // namespace
