// Row access of TIEBitmap in memory and in a temporary file, against a plain
// memcpy of the same rows. Each benchmark times both in the same iteration
// and reports the ratio (bitmap time / memcpy time) as "x_memcpy".
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <vector>

#include "imaging/core/iesettings.h"
#include "imaging/core/ruduvazez_bitmap.h"

namespace {

constexpr int32_t kWidth = 2000, kHeight = 1000;

using Clock = std::chrono::steady_clock;

// A bitmap whose memory threshold puts it in memory (large) or in a file (0).
std::unique_ptr<TIEBitmap> MakeBitmap(int64_t threshold) {
  IEGetGlobalSettings()->MemoryThreshold = threshold;
  auto bitmap = std::make_unique<TIEBitmap>(kWidth, kHeight, ie24RGB);
  IEGetGlobalSettings()->MemoryThreshold = -1;
  bitmap->Fill(0x336699);
  return bitmap;
}

void RowAccess(benchmark::State& state, int64_t threshold, uint8_t accessMode) {
  auto bitmap = MakeBitmap(threshold);
  bitmap->AccessMode = accessMode;
  const auto rowLength = static_cast<size_t>(bitmap->GetRowLength());
  std::vector<uint8_t> plain(rowLength * kHeight, 0x5A), out(rowLength);
  double bitmapSeconds = 0, memcpySeconds = 0;
  for (auto _ : state) {
    auto t0 = Clock::now();
    for (int32_t y = 0; y < kHeight; ++y) {
      uint8_t* row = bitmap->GetScanline(y);
      std::memcpy(out.data(), row, rowLength);
      benchmark::DoNotOptimize(out.data());
    }
    auto t1 = Clock::now();
    for (int32_t y = 0; y < kHeight; ++y) {
      std::memcpy(out.data(), plain.data() + y * rowLength, rowLength);
      benchmark::DoNotOptimize(out.data());
    }
    auto t2 = Clock::now();
    bitmapSeconds += std::chrono::duration<double>(t1 - t0).count();
    memcpySeconds += std::chrono::duration<double>(t2 - t1).count();
  }
  state.counters["x_memcpy"] = memcpySeconds > 0 ? bitmapSeconds / memcpySeconds : 0;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kHeight * static_cast<int64_t>(rowLength));
}

void BM_RowsInMemory(benchmark::State& state) { RowAccess(state, INT64_MAX, iemReadWrite); }
void BM_RowsInTempFileRead(benchmark::State& state) { RowAccess(state, 0, iemRead); }
void BM_RowsInTempFileReadWrite(benchmark::State& state) { RowAccess(state, 0, iemReadWrite); }

BENCHMARK(BM_RowsInMemory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RowsInTempFileRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RowsInTempFileReadWrite)->Unit(benchmark::kMillisecond);

}  // namespace
