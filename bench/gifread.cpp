// GIF reading of a 20-megapixel 256-colour picture held in memory: our
// reader (into a palette bitmap, and into the 24-bit bitmap an ordinary load
// gives) against giflib's DGifGetLine loop over the same file in the same
// rounds, in alternating order (giving indexes, or turning them into
// colours row by row). "giflib_x" is giflib's time / ours per round: 1 is
// as fast, above 1 ours is faster.
#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "imaging/codecs/giffilter.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/core/ruduvazez_startup.h"
#include "imaging/io/imageryio.h"
#include "imaging/io/imageryio_params.h"
#include "imaging/io/imageryio_registry.h"
#include "platform/rtl/streams.h"
#include "rounds.h"

namespace {

constexpr int32_t kWidth = 5000, kHeight = 4000;

struct Progress {
  Progress() { record.Aborting = &aborting; }
  std::atomic<bool> aborting{false};
  TIEProgressRecord record;
};

// A photo-like picture in 256 colours: soft waves over a colour ramp with
// the grain of error diffusion, written by our GIF writer.
TMemoryStream& File(bool interlaced) {
  static std::unique_ptr<TMemoryStream> files[2];
  auto& file = files[interlaced];
  if (file) return *file;
  IELibraryInitialize();
  IEInitializeImageryIO();
  TIEBitmap image(kWidth, kHeight, ie8p);
  for (int32_t i = 0; i < 256; ++i)
    image.SetPaletteColor(i, TRGB{static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i * 7)});
  image.SetPaletteUsed(256);
  uint32_t grain = 12345;
  for (int32_t y = 0; y < kHeight; ++y) {
    uint8_t* row = image.GetScanline(y);
    for (int32_t x = 0; x < kWidth; ++x) {
      grain = grain * 1103515245u + 12345u;
      const double wave = std::sin(x * 0.002) * std::cos(y * 0.003);
      row[x] = static_cast<uint8_t>(128 + 120 * wave + static_cast<int32_t>(grain >> 30));
    }
  }
  file = std::make_unique<TMemoryStream>();
  TIOParamsVals params(nullptr);
  params.BITSPERSAMPLE = 8;
  params.GIF_INTERLACED = interlaced;
  Progress progress;
  IEWriteGIFStream(*file, image, params, progress.record);
  return *file;
}

// giflib's reading of the first image's rows from memory.
struct MemoryInput {
  const uint8_t* data;
  size_t size, at;
};

int ReadMemory(GifFileType* gif, GifByteType* out, int count) {
  auto* in = static_cast<MemoryInput*>(gif->UserData);
  const size_t n = std::min(static_cast<size_t>(count), in->size - in->at);
  std::memcpy(out, in->data + in->at, n);
  in->at += n;
  return static_cast<int>(n);
}

// The first image's indexes, as a program reading a file with giflib gets
// them, and with rgb, each row also turned into blue, green, red bytes
// through the colour map. The buffers are kept from call to call, as the
// bitmap our reader fills is.
bool GiflibRead(TMemoryStream& file, bool rgb, std::vector<uint8_t>& pixels) {
  MemoryInput input{static_cast<const uint8_t*>(file.Memory()), static_cast<size_t>(file.Size()), 0};
  int error = 0;
  GifFileType* gif = DGifOpen(&input, ReadMemory, &error);
  if (!gif) return false;
  bool read = false;
  GifRecordType type = UNDEFINED_RECORD_TYPE;
  while (!read && DGifGetRecordType(gif, &type) == GIF_OK && type != TERMINATE_RECORD_TYPE) {
    if (type == EXTENSION_RECORD_TYPE) {
      int code = 0;
      GifByteType* block = nullptr;
      if (DGifGetExtension(gif, &code, &block) != GIF_OK) break;
      while (block && DGifGetExtensionNext(gif, &block) == GIF_OK) {
      }
    } else if (type == IMAGE_DESC_RECORD_TYPE && DGifGetImageDesc(gif) == GIF_OK) {
      const size_t width = static_cast<size_t>(gif->Image.Width), height = static_cast<size_t>(gif->Image.Height);
      const ColorMapObject* map = gif->Image.ColorMap ? gif->Image.ColorMap : gif->SColorMap;
      pixels.resize(width * height * (rgb ? 4 : 1));
      uint8_t* line = pixels.data() + (rgb ? width * height * 3 : 0);
      read = map != nullptr;
      for (size_t y = 0; y < height && read; ++y) {
        if (!rgb) line = pixels.data() + y * width;
        read = DGifGetLine(gif, line, static_cast<int>(width)) == GIF_OK;
        if (!rgb) continue;
        uint8_t* out = pixels.data() + y * width * 3;
        for (size_t x = 0; x < width; ++x, out += 3) {
          const GifColorType& c = map->Colors[line[x] < map->ColorCount ? line[x] : 0];
          out[0] = c.Blue, out[1] = c.Green, out[2] = c.Red;
        }
      }
      benchmark::DoNotOptimize(pixels.data());
    }
  }
  DGifCloseFile(gif, &error);
  return read;
}

void ReadAgainstGiflib(benchmark::State& state, bool native, bool interlaced) {
  TMemoryStream& file = File(interlaced);
  TIEBitmap bitmap;
  std::vector<uint8_t> theirs;
  bool failed = false;
  const auto ours = [&] {
    TIOParamsVals params(nullptr);
    params.ISNATIVEPIXELFORMAT = native;
    Progress progress;
    int32_t frames = 0;
    file.SetPosition(0);
    IEReadGIFStream(file, &bitmap, frames, params, progress.record, false, false);
    failed |= progress.aborting;
  };
  const auto giflib = [&] { failed |= !GiflibRead(file, !native, theirs); };
  bench::Rounds(state, {{"ours", ours}, {"giflib", giflib}});
  if (failed) state.SkipWithError("a reader failed");
}

void BM_ReadGIFIndexes(benchmark::State& state) { ReadAgainstGiflib(state, true, false); }
void BM_ReadGIFAsRGB(benchmark::State& state) { ReadAgainstGiflib(state, false, false); }
void BM_ReadGIFInterlacedIndexes(benchmark::State& state) { ReadAgainstGiflib(state, true, true); }

BENCHMARK(BM_ReadGIFIndexes)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadGIFAsRGB)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadGIFInterlacedIndexes)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
