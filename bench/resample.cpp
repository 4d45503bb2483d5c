// Resampling and gaussian blur against libvips and ImageMagick 6, in-process,
// at the same thread count (VESK_BENCH_THREADS, default 4), in alternating
// rounds timed in wall time, the inputs built before the rounds. glibc's
// mmap threshold is pinned: left adjustable, the large blocks one side frees
// raise it and slow the next side's allocations.
//
// Resize: a 20-megapixel RGB photo to 5 % with the triangle (linear) and
// Lanczos 3 kernels: ours, vips_resize (kernel linear / lanczos3, gap 0) and
// ResizeImage. Blur: a 3-megapixel RGB image at sigma 1, 3 and 10: ours,
// vips_gaussblur and BlurImage, whole operations and per kernel tap.
// Peak memory: run one benchmark at a time under /usr/bin/time -f %M, with
// --benchmark_filter=^Pixels (the peers' baseline) or ^Source (ours) for the
// memory that only holds the input.
#include <benchmark/benchmark.h>

#include <vips/vips.h>

#include <malloc.h>

#include <cmath>
#include <string>
#include <utility>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <random>
#include <vector>

#include "imaging/core/iesettings.h"
#include "imaging/processing/imageryproc.h"
#include "rounds.h"

#include <magick/MagickCore.h>

namespace {

int32_t Threads() {
  const char* text = std::getenv("VESK_BENCH_THREADS");
  return text ? std::max(1, std::atoi(text)) : 4;
}

// Blue, green, red rows of a photo-like picture: smooth gradients and noise.
std::vector<uint8_t> MakePhoto(int32_t width, int32_t height) {
  std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 3);
  std::mt19937 random(1);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      uint8_t* p = &pixels[(static_cast<size_t>(y) * width + x) * 3];
      const int32_t noise = static_cast<int32_t>(random() % 32);
      p[0] = static_cast<uint8_t>((x * 255 / width + noise) & 255);
      p[1] = static_cast<uint8_t>((y * 255 / height + noise) & 255);
      p[2] = static_cast<uint8_t>(((x + y) / 16 + noise) & 255);
    }
  return pixels;
}

constexpr int32_t kPhotoW = 5472, kPhotoH = 3648;  // 19.96 megapixels
constexpr int32_t kBlurW = 2048, kBlurH = 1536;

const std::vector<uint8_t>& Photo() {
  static const std::vector<uint8_t> photo = MakePhoto(kPhotoW, kPhotoH);
  return photo;
}

const std::vector<uint8_t>& BlurInput() {
  static const std::vector<uint8_t> input = MakePhoto(kBlurW, kBlurH);
  return input;
}

std::unique_ptr<TIEBitmap> ToBitmap(const std::vector<uint8_t>& pixels, int32_t width, int32_t height) {
  auto bitmap = std::make_unique<TIEBitmap>(width, height, ie24RGB);
  for (int32_t y = 0; y < height; ++y)
    std::copy_n(&pixels[static_cast<size_t>(y) * width * 3], width * 3, bitmap->GetScanline(y));
  return bitmap;
}

constexpr bench::RoundsOptions kWallTime{.WallTime = true};

void StartPeers() {
  static bool started = false;
  if (started) return;
  started = true;
  mallopt(M_MMAP_THRESHOLD, 1 << 20);
  VIPS_INIT("bench_resample");
  vips_cache_set_max(0);
  vips_concurrency_set(Threads());
  MagickCoreGenesis("bench_resample", MagickFalse);
  SetMagickResourceLimit(ThreadResource, static_cast<MagickSizeType>(Threads()));
  IEGetGlobalSettings()->CoreCount = Threads();
}

Image* MagickImage(const std::vector<uint8_t>& pixels, int32_t width, int32_t height) {
  ExceptionInfo* exception = AcquireExceptionInfo();
  Image* image = ConstituteImage(static_cast<size_t>(width), static_cast<size_t>(height), "BGR", CharPixel,
                                 pixels.data(), exception);
  DestroyExceptionInfo(exception);
  return image;
}

// Runs one vips operation on the pixels as an image in memory and makes it
// compute its whole output.
template <typename Operation>
void RunVips(benchmark::State& state, const std::vector<uint8_t>& pixels, int32_t width, int32_t height,
             Operation operation) {
  VipsImage* in = vips_image_new_from_memory(pixels.data(), pixels.size(), width, height, 3, VIPS_FORMAT_UCHAR);
  VipsImage* out = nullptr;
  if (operation(in, &out) != 0) state.SkipWithError("vips");
  size_t size = 0;
  void* memory = out ? vips_image_write_to_memory(out, &size) : nullptr;
  benchmark::DoNotOptimize(memory);
  g_free(memory);
  if (out) g_object_unref(out);
  g_object_unref(in);
}

// ---- resize -----------------------------------------------------------------------------

constexpr int32_t kSmallW = kPhotoW / 20, kSmallH = kPhotoH / 20;

// Baselines of the peak memory: the pixels alone (what the peers hold) and
// the pixels with our bitmap made from them.
void Pixels(benchmark::State& state) {
  const std::vector<uint8_t>& photo = Photo();
  for (auto _ : state) benchmark::DoNotOptimize(photo.data());
}

void Source(benchmark::State& state) {
  const auto bitmap = ToBitmap(Photo(), kPhotoW, kPhotoH);
  for (auto _ : state) benchmark::DoNotOptimize(bitmap->GetScanline(0));
}

// One resize by each side in alternating rounds, wall time (the sides run
// on several threads).
void Resize(benchmark::State& state, TResampleFilter ours, VipsKernel vips, FilterTypes magick) {
  StartPeers();
  const std::vector<uint8_t>& photo = Photo();
  const auto source = ToBitmap(photo, kPhotoW, kPhotoH);
  Image* magickSource = MagickImage(photo, kPhotoW, kPhotoH);
  bench::Rounds(state,
                {{"ours",
                  [&] {
                    TIEBitmap dest(kSmallW, kSmallH, ie24RGB);
                    IEResample(source.get(), &dest, nullptr, ours, {}, nullptr);
                    benchmark::DoNotOptimize(dest.GetScanline(0));
                  }},
                 {"vips",
                  [&] {
                    RunVips(state, photo, kPhotoW, kPhotoH, [&](VipsImage* in, VipsImage** out) {
                      return vips_resize(in, out, 0.05, "kernel", vips, "gap", 0.0, nullptr);
                    });
                  }},
                 {"magick",
                  [&] {
                    ExceptionInfo* exception = AcquireExceptionInfo();
                    Image* out = ResizeImage(magickSource, kSmallW, kSmallH, magick, 1.0, exception);
                    benchmark::DoNotOptimize(out);
                    if (out) DestroyImage(out);
                    DestroyExceptionInfo(exception);
                  }}},
                kWallTime);
  DestroyImage(magickSource);
}

BENCHMARK(Pixels)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(Source)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(Resize, Triangle, rfTriangle, VIPS_KERNEL_LINEAR, TriangleFilter)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(Resize, Lanczos, rfLanczos3, VIPS_KERNEL_LANCZOS3, LanczosFilter)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// ---- blur ----------------------------------------------------------------------------------

// The width of vips's integer gaussian mask at sigma and minimum amplitude.
int32_t VipsTaps(double sigma, double minAmplitude) {
  VipsImage* mask = nullptr;
  vips_gaussmat(&mask, sigma, minAmplitude, "separable", TRUE, "precision", VIPS_PRECISION_INTEGER, nullptr);
  const int32_t taps = mask ? mask->Xsize : 1;
  if (mask) g_object_unref(mask);
  return taps;
}

// The minimum amplitude at which vips's mask is at least taps wide.
double VipsAmplitudeFor(double sigma, int32_t taps) {
  double amplitude = 0.2;
  while (amplitude > 1e-9 && VipsTaps(sigma, amplitude) < taps) amplitude *= 0.9;
  return amplitude;
}

// One blur by each side in alternating rounds: vips at its default
// amplitude (a shorter kernel) and at the amplitude that gives our kernel
// length ("vips_same_x": the whole operation at equal length), ImageMagick
// at its own. "<side>_tap_x" is the side's time per output sample and tap /
// ours.
void Blur(benchmark::State& state) {
  StartPeers();
  const double sigma = static_cast<double>(state.range(0));
  const std::vector<uint8_t>& pixels = BlurInput();
  const auto input = ToBitmap(pixels, kBlurW, kBlurH);
  TIEBitmap work(kBlurW, kBlurH, ie24RGB);
  Image* magickSource = MagickImage(pixels, kBlurW, kBlurH);
  GaussKernel kernel;
  IEMakeGaussKernel(kernel, sigma);
  const int32_t ourTaps = 2 * kernel.HalfWidth + 1;
  const double sameAmplitude = VipsAmplitudeFor(sigma, ourTaps);
  const auto vipsBlur = [&](double amplitude) {
    return [&state, &pixels, sigma, amplitude] {
      RunVips(state, pixels, kBlurW, kBlurH, [&](VipsImage* in, VipsImage** out) {
        return vips_gaussblur(in, out, sigma, "min_ampl", amplitude, nullptr);
      });
    };
  };
  bench::Rounds(state,
                {{"ours", [&] { IEGaussianBlur(&work, nullptr, sigma, {}); }, [&] { work.Assign(input.get()); }},
                 {"vips", vipsBlur(0.2)},
                 {"vips_same", vipsBlur(sameAmplitude)},
                 {"magick",
                  [&] {
                    ExceptionInfo* exception = AcquireExceptionInfo();
                    Image* out = BlurImage(magickSource, 0, sigma, exception);
                    benchmark::DoNotOptimize(out);
                    if (out) DestroyImage(out);
                    DestroyExceptionInfo(exception);
                  }}},
                kWallTime);
  DestroyImage(magickSource);
  const std::pair<const char*, double> taps[] = {
      {"ours", ourTaps},
      {"vips", VipsTaps(sigma, 0.2)},
      {"vips_same", VipsTaps(sigma, sameAmplitude)},
      {"magick", static_cast<double>(GetOptimalKernelWidth1D(0, sigma))}};
  const double ourPerTap = state.counters["ours_ms"] / ourTaps;
  for (const auto& [name, count] : taps) {
    state.counters[std::string(name) + "_taps"] = count;
    if (std::string(name) != "ours" && ourPerTap > 0)
      state.counters[std::string(name) + "_tap_x"] = state.counters[std::string(name) + "_ms"] / count / ourPerTap;
  }
}

BENCHMARK(Blur)->Arg(1)->Arg(3)->Arg(10)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
