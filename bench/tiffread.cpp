// Reading a 20-megapixel TIFF with our reader against libtiff's own strip
// loop, on the same file in alternating rounds: uncompressed, LZW with and
// without the predictor, deflate, and Group 4 for a bilevel page. Both
// sides make the whole image in the same layout (libtiff's strips into one
// image, turned into blue-green-red or white-set bits as our bitmap holds
// them). "libtiff_x" is libtiff's time / ours per round: 1 is as fast,
// above 1 ours is faster.
#include <benchmark/benchmark.h>
#include <tiffio.h>
#include <unistd.h>

#include <atomic>
#include <algorithm>
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
#include "rounds.h"

namespace {

constexpr uint32_t kWidth = 5472, kHeight = 3648;  // 20 megapixels
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

// libtiff's strips decoded into one whole image and brought into the
// layout our bitmap holds: blue, green, red samples, or bits set for white.
void LibtiffRead(const std::string& path, std::vector<uint8_t>& image) {
  TIFF* tif = TIFFOpen(path.c_str(), "r");
  if (!tif) throw std::runtime_error("libtiff cannot open " + path);
  const auto stripSize = static_cast<size_t>(TIFFStripSize(tif));
  const tstrip_t strips = TIFFNumberOfStrips(tif);
  uint16_t spp = 1, photometric = PHOTOMETRIC_RGB;
  TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
  TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
  image.resize(static_cast<size_t>(TIFFScanlineSize(tif)) * kHeight);
  for (tstrip_t s = 0; s < strips; ++s) {
    const size_t at = s * stripSize;
    TIFFReadEncodedStrip(tif, s, image.data() + at, static_cast<tmsize_t>(std::min(stripSize, image.size() - at)));
  }
  TIFFClose(tif);
  if (spp == 3) {
    for (size_t i = 0; i + 2 < image.size(); i += 3) std::swap(image[i], image[i + 2]);
  } else if (photometric == PHOTOMETRIC_MINISWHITE) {
    for (uint8_t& byte : image) byte = static_cast<uint8_t>(~byte);
  }
  benchmark::DoNotOptimize(image.data());
}

void OurRead(const std::string& path, TIEBitmap& bitmap) {
  TFileStream stream(path, fmOpenRead);
  TIOParamsVals params(nullptr);
  std::atomic<bool> aborted{false};
  TIEProgressRecord progress;
  progress.Aborting = &aborted;
  int32_t pages = 0;
  IEReadTIFFStream(stream, &bitmap, pages, params, progress, TIETIFFReadOptions{});
  if (aborted) throw std::runtime_error("our reader failed on " + path);
}

void ReadBoth(benchmark::State& state, const char* name, uint16_t compression, uint16_t predictor, bool bilevel) {
  IELibraryInitialize();
  IEInitializeImageryIO();
  const std::string path = MakeFile(name, compression, predictor, bilevel);
  TIEBitmap bitmap;
  std::vector<uint8_t> image;
  bench::Rounds(state, {{"ours", [&] { OurRead(path, bitmap); }}, {"libtiff", [&] { LibtiffRead(path, image); }}});
  ::unlink(path.c_str());
  IEFinalizeImageryIO();
  IELibraryFinalize();
}

void BM_None(benchmark::State& s) { ReadBoth(s, "none", COMPRESSION_NONE, 1, false); }
void BM_LZW(benchmark::State& s) { ReadBoth(s, "lzw", COMPRESSION_LZW, 1, false); }
void BM_LZWPredictor(benchmark::State& s) { ReadBoth(s, "lzw2", COMPRESSION_LZW, 2, false); }
void BM_Deflate(benchmark::State& s) { ReadBoth(s, "zip", COMPRESSION_ADOBE_DEFLATE, 1, false); }
void BM_G4(benchmark::State& s) { ReadBoth(s, "g4", COMPRESSION_CCITTFAX4, 1, true); }

BENCHMARK(BM_None)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LZW)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LZWPredictor)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Deflate)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_G4)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
