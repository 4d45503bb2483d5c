// Reading a 20-megapixel TIFF with our reader against libtiff's own strip
// loop, on the same file in the same iteration: uncompressed, LZW with and
// without the predictor, deflate, and Group 4 for a bilevel page. Each
// benchmark reports "speed_vs_libtiff" (libtiff's time / ours: 1 is as fast),
// timed in the thread's CPU time so that other work on the machine does not
// tilt the ratio.
#include <benchmark/benchmark.h>
#include <tiffio.h>
#include <unistd.h>

#include <atomic>
#include <ctime>
#include <cmath>
#include <cstdint>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "imaging/codecs/tiffilt.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/core/ruduvazez_startup.h"
#include "imaging/io/imageryio.h"
#include "imaging/io/imageryio_params.h"
#include "imaging/io/imageryio_registry.h"
#include "platform/rtl/streams.h"

namespace {

constexpr uint32_t kWidth = 5472, kHeight = 3648;  // 20 megapixels
// The thread's CPU clock.
struct Clock {
  struct time_point {
    double seconds;
    double operator-(const time_point& other) const { return seconds - other.seconds; }
  };
  static time_point now() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return {static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec)};
  }
};

// A photo-like RGB image (smooth shading with sensor noise) or a bilevel
// page of text-like blocks, written by libtiff with the compression.
std::string MakeFile(const char* name, uint16_t compression, uint16_t predictor, bool bilevel) {
  const std::string path = "/tmp/vesk-bench-tiff-" + std::to_string(::getpid()) + "-" + name + ".tif";
  TIFF* tif = TIFFOpen(path.c_str(), "w");
  const uint16_t spp = bilevel ? 1 : 3, bps = bilevel ? 1 : 8;
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, kWidth);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, kHeight);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, spp);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bps);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, bilevel ? PHOTOMETRIC_MINISWHITE : PHOTOMETRIC_RGB);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, compression);
  if (predictor > 1) TIFFSetField(tif, TIFFTAG_PREDICTOR, predictor);
  const tmsize_t rowBytes = bilevel ? (kWidth + 7) / 8 : kWidth * 3;
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, bilevel ? kHeight : 16);
  std::mt19937 random(5);
  std::vector<uint8_t> row(static_cast<size_t>(rowBytes));
  for (uint32_t y = 0; y < kHeight; ++y) {
    for (tmsize_t x = 0; x < rowBytes; ++x) {
      if (bilevel) {
        const bool ink = ((y / 24) % 3 != 0) && ((x / 3 + y / 24) % 5 < 3) && (y % 24 < 16);
        row[static_cast<size_t>(x)] = ink ? static_cast<uint8_t>(random()) : 0;
      } else {
        const double shade = 128 + 90 * std::sin(x * 0.0007 + y * 0.0011) + (x % 3) * 10;
        row[static_cast<size_t>(x)] = static_cast<uint8_t>(shade + static_cast<int>(random() % 7) - 3);
      }
    }
    TIFFWriteScanline(tif, row.data(), y, 0);
  }
  TIFFClose(tif);
  return path;
}

double LibtiffRead(const std::string& path, std::vector<uint8_t>& buffer) {
  const auto t0 = Clock::now();
  TIFF* tif = TIFFOpen(path.c_str(), "r");
  const tstrip_t strips = TIFFNumberOfStrips(tif);
  buffer.resize(static_cast<size_t>(TIFFStripSize(tif)));
  for (tstrip_t s = 0; s < strips; ++s) {
    TIFFReadEncodedStrip(tif, s, buffer.data(), static_cast<tmsize_t>(buffer.size()));
    benchmark::DoNotOptimize(buffer.data());
  }
  TIFFClose(tif);
  return Clock::now() - t0;
}

double OurRead(const std::string& path, TIEBitmap& bitmap) {
  const auto t0 = Clock::now();
  TFileStream stream(path, fmOpenRead);
  TIOParamsVals params(nullptr);
  std::atomic<bool> aborted{false};
  TIEProgressRecord progress;
  progress.Aborting = &aborted;
  int32_t pages = 0;
  IEReadTIFFStream(stream, &bitmap, pages, params, progress, TIETIFFReadOptions{});
  if (aborted) throw std::runtime_error("our reader failed on " + path);
  return Clock::now() - t0;
}

void ReadBoth(benchmark::State& state, const char* name, uint16_t compression, uint16_t predictor, bool bilevel) {
  IELibraryInitialize();
  IEInitializeImageryIO();
  const std::string path = MakeFile(name, compression, predictor, bilevel);
  TIEBitmap bitmap;
  std::vector<uint8_t> buffer;
  double ours = 0, theirs = 0;
  for (auto _ : state) {
    theirs += LibtiffRead(path, buffer);
    ours += OurRead(path, bitmap);
  }
  state.counters["speed_vs_libtiff"] = ours > 0 ? theirs / ours : 0;
  state.counters["ours_ms"] = 1000 * ours / static_cast<double>(state.iterations());
  state.counters["libtiff_ms"] = 1000 * theirs / static_cast<double>(state.iterations());
  ::unlink(path.c_str());
  IEFinalizeImageryIO();
  IELibraryFinalize();
}

void BM_None(benchmark::State& s) { ReadBoth(s, "none", COMPRESSION_NONE, 1, false); }
void BM_LZW(benchmark::State& s) { ReadBoth(s, "lzw", COMPRESSION_LZW, 1, false); }
void BM_LZWPredictor(benchmark::State& s) { ReadBoth(s, "lzw2", COMPRESSION_LZW, 2, false); }
void BM_Deflate(benchmark::State& s) { ReadBoth(s, "zip", COMPRESSION_ADOBE_DEFLATE, 1, false); }
void BM_G4(benchmark::State& s) { ReadBoth(s, "g4", COMPRESSION_CCITTFAX4, 1, true); }

BENCHMARK(BM_None)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_LZW)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_LZWPredictor)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_Deflate)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_G4)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
