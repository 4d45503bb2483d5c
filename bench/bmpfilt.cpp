// The bitmap and any-map readers on a 20-megapixel image held in memory,
// against a plain memcpy of the same file bytes, in alternating rounds:
// "reader_x" is the reader's time / memcpy's per round.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "imaging/codecs/bmpfilt.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/core/ruduvazez_mask.h"
#include "imaging/core/ruduvazez_startup.h"
#include "imaging/io/imageryio.h"
#include "imaging/io/imageryio_params.h"
#include "imaging/io/imageryio_registry.h"
#include "platform/rtl/streams.h"
#include "rounds.h"

namespace {

constexpr int32_t kWidth = 5000, kHeight = 4000;

enum class TKind { Bmp24, Bmp8Rle, Ppm8 };

// The test image encoded by our own writer.
std::unique_ptr<TMemoryStream> Encoded(TKind kind) {
  IELibraryInitialize();
  IEInitializeImageryIO();
  TIEBitmap image(kWidth, kHeight, ie24RGB);
  for (int32_t y = 0; y < kHeight; ++y) {
    uint8_t* row = image.GetScanline(y);
    for (int32_t x = 0; x < kWidth; ++x) {
      const auto k = static_cast<uint8_t>((x / 7 + y / 5) % 200);
      row[3 * x] = k, row[3 * x + 1] = static_cast<uint8_t>(k * 3), row[3 * x + 2] = static_cast<uint8_t>(255 - k);
    }
  }
  auto stream = std::make_unique<TMemoryStream>();
  TIOParamsVals params(nullptr);
  std::atomic<bool> abort{false};
  TIEProgressRecord progress;
  progress.Aborting = &abort;
  if (kind == TKind::Ppm8) {
    IEWritePNMStream(*stream, image, params, progress);
  } else {
    params.SAMPLESPERPIXEL = kind == TKind::Bmp8Rle ? 1 : 3;
    params.BMP_COMPRESSION = kind == TKind::Bmp8Rle ? 1 : 0;
    IEWriteBMPStream(*stream, image, params, progress, false);
  }
  return stream;
}

void ReadAgainstMemcpy(benchmark::State& state, TKind kind) {
  auto file = Encoded(kind);
  const auto size = static_cast<size_t>(file->Size());
  std::vector<uint8_t> copy(size);
  TIEBitmap bitmap;
  bool failed = false;
  const auto read = [&] {
    TIOParamsVals params(nullptr);
    std::atomic<bool> abort{false};
    TIEProgressRecord progress;
    progress.Aborting = &abort;
    std::unique_ptr<TIEMask> mask;
    file->SetPosition(0);
    if (kind == TKind::Ppm8)
      IEReadPNMStream(*file, &bitmap, params, progress, false);
    else
      IEReadBMPStream(*file, &bitmap, 0, params, progress, false, false, mask, true);
    failed |= abort;
  };
  const auto copyBytes = [&] {
    std::memcpy(copy.data(), file->Memory(), size);
    benchmark::DoNotOptimize(copy.data());
  };
  bench::Rounds(state, {{"memcpy", copyBytes}, {"reader", read}});
  if (failed) state.SkipWithError("the reader failed");
}

void BM_ReadBMP24(benchmark::State& state) { ReadAgainstMemcpy(state, TKind::Bmp24); }
void BM_ReadBMP8RLE(benchmark::State& state) { ReadAgainstMemcpy(state, TKind::Bmp8Rle); }
void BM_ReadPPM8(benchmark::State& state) { ReadAgainstMemcpy(state, TKind::Ppm8); }

BENCHMARK(BM_ReadBMP24)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadBMP8RLE)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadPPM8)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
