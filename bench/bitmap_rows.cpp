// Row access of TIEBitmap in memory and in a temporary file, against a plain
// memcpy of the same rows, in alternating rounds: "bitmap_x" is the
// bitmap's time / memcpy's per round.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "imaging/core/iesettings.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "rounds.h"

namespace {

constexpr int32_t kWidth = 2000, kHeight = 1000;

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
  const auto rows = [&] {
    for (int32_t y = 0; y < kHeight; ++y) {
      std::memcpy(out.data(), bitmap->GetScanline(y), rowLength);
      benchmark::DoNotOptimize(out.data());
    }
  };
  const auto copyBytes = [&] {
    for (int32_t y = 0; y < kHeight; ++y) {
      std::memcpy(out.data(), plain.data() + y * rowLength, rowLength);
      benchmark::DoNotOptimize(out.data());
    }
  };
  bench::Rounds(state, {{"memcpy", copyBytes}, {"bitmap", rows}});
}

void BM_RowsInMemory(benchmark::State& state) { RowAccess(state, INT64_MAX, iemReadWrite); }
void BM_RowsInTempFileRead(benchmark::State& state) { RowAccess(state, 0, iemRead); }
void BM_RowsInTempFileReadWrite(benchmark::State& state) { RowAccess(state, 0, iemReadWrite); }

BENCHMARK(BM_RowsInMemory)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RowsInTempFileRead)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RowsInTempFileReadWrite)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
