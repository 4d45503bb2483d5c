// HD Photo reading and writing of a 20-megapixel photo: our reader and
// writer (into and from an image bitmap, through memory streams and the
// imaging component) against bare jxrlib loops (bench/peers/jxrloop.cpp)
// on the same data in the same run, with the writer's default settings on
// both sides (image quality 0.9, which is quantisation index 12, 4:4:4
// colour, one overlap level, frequency order, one tile). Each benchmark
// runs both in alternating rounds and reports "bare_x" (the bare loop's
// time / ours per round: 1 is as fast, above 1 ours is faster) as median,
// lowest and highest, and "load1", the load average at the end.
//
// Our reader decodes in a child process (the codec library does not
// survive every damaged file), so the reads are timed in the CPU time of
// the process and the children it waited for; the writes in the thread's.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "bench/peers/jxrloop.h"
#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/io/iewic.h"
#include "imaging/io/imageryio_params.h"
#include "platform/rtl/streams.h"
#include "bench/photo_pairs.h"

namespace {

constexpr uint8_t kQuantisation = 12;  // what the default image quality 0.9 gives

// The photo's rows one after another, for the bare encoder.
const std::vector<uint8_t>& PhotoRows() {
  static const std::vector<uint8_t> rows = [] {
    TIEBitmap& photo = Photo();
    const size_t stride = static_cast<size_t>(photo.GetWidth()) * 3;
    std::vector<uint8_t> out(stride * static_cast<size_t>(photo.GetHeight()));
    for (int32_t y = 0; y < photo.GetHeight(); ++y)
      std::memcpy(out.data() + stride * static_cast<size_t>(y), photo.GetScanline(y), stride);
    return out;
  }();
  return rows;
}

jxrloop::Encoded BareEncode() {
  TIEBitmap& photo = Photo();
  return jxrloop::Encode(PhotoRows().data(), static_cast<size_t>(photo.GetWidth()) * 3, photo.GetWidth(),
                         photo.GetHeight(), kQuantisation);
}

const jxrloop::Encoded& PhotoJxr() {
  static const jxrloop::Encoded file = BareEncode();
  return file;
}

void HDPhotoRead(benchmark::State& state) {
  const jxrloop::Encoded& file = PhotoJxr();
  if (file.size == 0) return state.SkipWithError("no input");
  TIEMemStream stream(file.bytes.get(), static_cast<int64_t>(file.size));
  bench::Rounds(
      state,
      {{"ours",
        [&] {
          stream.SetPosition(0);
          TIEBitmap bitmap;
          TIOParamsVals params(nullptr);
          Progress progress;
          IEReadHDPhotoStream(stream, &bitmap, params, progress.record, false);
          if (progress.aborting) state.SkipWithError("read failed");
          benchmark::DoNotOptimize(bitmap.GetScanline(0));
        }},
       {"bare",
        [&] {
          std::unique_ptr<uint8_t[]> pixels;  // a new image each time, as a reader makes
          if (!jxrloop::Decode(file.bytes.get(), file.size, pixels)) state.SkipWithError("bare read failed");
          benchmark::DoNotOptimize(pixels.get());
        }}},
      {.MinRounds = 5, .MinSeconds = 1.0, .WithChildren = true});
}

void HDPhotoWrite(benchmark::State& state) {
  TIEBitmap& photo = Photo();
  PhotoRows();
  Pair(
      state, [&] { benchmark::DoNotOptimize(BareEncode().size); },
      [&] {
        TMemoryStream stream;
        TIOParamsVals params(nullptr);
        Progress progress;
        IEWriteHDPhotoStream(stream, photo, params, progress.record);
        if (progress.aborting) state.SkipWithError("write failed");
        benchmark::DoNotOptimize(stream.Size());
      },
      5);
}

}  // namespace

BENCHMARK(HDPhotoRead)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(HDPhotoWrite)->Unit(benchmark::kMillisecond)->Iterations(1);
