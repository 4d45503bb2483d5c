// Camera raw: the plug-in "dcrawlib" and the built-in reader against a bare
// LibRaw loop (open, unpack, dcraw_process, the picture in memory) on the
// same 20-megapixel DNG, bilinear interpolation on every side. LibRaw may
// run stages on worker threads, so each side counts the process's CPU time.
#include <benchmark/benchmark.h>

#include <libraw/libraw.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "bench/rounds.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/core/ruduvazez_startup.h"
#include "imaging/io/imageryio.h"
#include "imaging/io/imageryio_plugins.h"

namespace {

const std::string kDir = (std::filesystem::temp_directory_path() / "vesk-bench-raw").string();

std::string MakeFile() {
  std::filesystem::create_directories(kDir);
  const std::string file = kDir + "/scene.dng";
  const std::string command = "/usr/bin/python3 " VESK_SOURCE_DIR "/tests/fixtures/raw/make_dng.py " + file +
                              " --width 5472 --height 3648";
  if (std::system(command.c_str()) != 0) std::abort();
  return file;
}

void BM_CameraRaw20MP(benchmark::State& state) {
  IELibraryInitialize();
  const std::string file = MakeFile();
  const int32_t plugin = IERegisterIOPlugin(VESK_BINARY_DIR "/dcrawlib.so");
  if (plugin < 4096) std::abort();
  auto load = [&](int32_t format) {
    TIEBitmap bitmap;
    std::unique_ptr<TImageryIO> io(TImageryIO::CreateFromBitmap(&bitmap));
    if (!io->LoadFromFileFormat(file, format) || bitmap.GetWidth() < 5000) std::abort();
  };
  auto bare = [&] {
    auto raw = std::make_unique<LibRaw>();
    raw->imgdata.params.user_qual = 0;
    if (raw->open_file(file.c_str()) != LIBRAW_SUCCESS || raw->unpack() != LIBRAW_SUCCESS ||
        raw->dcraw_process() != LIBRAW_SUCCESS)
      std::abort();
    int error = 0;
    libraw_processed_image_t* picture = raw->dcraw_make_mem_image(&error);
    if (!picture) std::abort();
    LibRaw::dcraw_clear_mem(picture);
  };
  bench::Rounds(state, {{"libraw", bare}, {"plugin", [&] { load(plugin); }}, {"builtin", [&] { load(20); }}},
                {.MinRounds = 5, .MinSeconds = 5.0, .WithChildren = true});
  IEUnloadIOPlugins();
  std::filesystem::remove_all(kDir);
  IELibraryFinalize();
}

}  // namespace

BENCHMARK(BM_CameraRaw20MP)->Iterations(1)->Unit(benchmark::kMillisecond);
