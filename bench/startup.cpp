// Start-up and a whole conversion as processes: tools/ieconvert against
// djpeg, in alternating rounds, wall time of each process from spawn to
// exit, and the CPU time of the processes (user and system, which a loaded
// machine stretches less). Start: each program started without work
// (ieconvert without arguments, djpeg asked for its version). Convert: a 20-megapixel JPEG
// written as PPM. "djpeg_x" is djpeg's time / ours (above 1 ours is
// faster); "ours_peak_mb" is the largest resident size of our process
// against "bitmap_mb", the decoded image's size.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "rounds.h"

extern char** environ;

namespace {

constexpr int32_t kWidth = 5472, kHeight = 3648;  // 19.96 megapixels

// Runs the command to its end; its peak resident kilobytes, -1 on failure.
long Run(const std::vector<std::string>& command) {
  std::vector<char*> argv;
  for (const std::string& word : command) argv.push_back(const_cast<char*>(word.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -1;
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid) return -1;
  return usage.ru_maxrss;
}

// A photo-like 20-megapixel JPEG made by cjpeg from a PPM.
std::string MakeJpeg() {
  const std::string base = "/tmp/vesk-bench-startup-" + std::to_string(::getpid());
  FILE* ppm = std::fopen((base + ".ppm").c_str(), "wb");
  std::fprintf(ppm, "P6\n%d %d\n255\n", kWidth, kHeight);
  std::vector<unsigned char> row(static_cast<size_t>(kWidth) * 3);
  uint32_t grain = 12345;
  for (int32_t y = 0; y < kHeight; ++y) {
    for (int32_t x = 0; x < kWidth; ++x)
      for (int32_t c = 0; c < 3; ++c) {
        grain = grain * 1103515245u + 12345u;
        const double wave = std::sin(x * (0.002 + 0.001 * c)) * std::cos(y * 0.003 + c);
        row[static_cast<size_t>(x) * 3 + c] = static_cast<unsigned char>(128 + 100 * wave + (grain >> 28));
      }
    std::fwrite(row.data(), 1, row.size(), ppm);
  }
  std::fclose(ppm);
  Run({"/usr/bin/cjpeg", "-quality", "90", "-outfile", base + ".jpg", base + ".ppm"});
  ::unlink((base + ".ppm").c_str());
  return base;
}

// Argument 0 times the wall clock, 1 the processes' CPU time.
bench::RoundsOptions Timing(const benchmark::State& state, bench::RoundsOptions options) {
  (state.range(0) == 0 ? options.WallTime : options.WithChildren) = true;
  return options;
}

void BM_Start(benchmark::State& state) {
  bench::Rounds(state,
                {{"ours", [] { Run({VESK_IECONVERT}); }}, {"djpeg", [] { Run({"/usr/bin/djpeg", "-version"}); }}},
                Timing(state, {.MinRounds = 21, .MinSeconds = 0.5}));
}

void BM_ConvertJpegToPpm(benchmark::State& state) {
  const std::string base = MakeJpeg();
  std::vector<double> peaks;
  bench::Rounds(state,
                {{"ours", [&] { peaks.push_back(Run({VESK_IECONVERT, base + ".jpg", base + "-ours.ppm"}) / 1024.0); }},
                 {"djpeg", [&] { Run({"/usr/bin/djpeg", "-outfile", base + "-djpeg.ppm", base + ".jpg"}); }}},
                Timing(state, {}));
  state.counters["ours_peak_mb"] = bench::Median(peaks);
  state.counters["bitmap_mb"] = kWidth * kHeight * 3 / (1024.0 * 1024.0);
  for (const char* suffix : {".jpg", "-ours.ppm", "-djpeg.ppm"}) ::unlink((base + suffix).c_str());
}

BENCHMARK(BM_Start)->ArgName("cpu")->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertJpegToPpm)->ArgName("cpu")->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
