// Resampling and gaussian blur against libvips and ImageMagick 6, in-process,
// at the same thread count (VESK_BENCH_THREADS, default 4).
//
// Resize: a 20-megapixel RGB photo to 5 % with the triangle (linear) and
// Lanczos 3 kernels: ours, vips_resize (kernel linear / lanczos3, gap 0) and
// ResizeImage. Blur: a 3-megapixel RGB image at sigma 1, 3 and 10: ours,
// vips_gaussblur and BlurImage; the counter ns_per_tap is the time per
// output sample and kernel tap (each peer's own kernel width).
// Peak memory: run one benchmark at a time under /usr/bin/time -f %M, with
// --benchmark_filter=^Pixels (the peers' baseline) or ^Source (ours) for the
// memory that only holds the input.
#include <benchmark/benchmark.h>

#include <vips/vips.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <random>
#include <vector>

#include "imaging/core/iesettings.h"
#include "imaging/processing/imageryproc.h"

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

void StartPeers() {
  static bool started = false;
  if (started) return;
  started = true;
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

void OursResize(benchmark::State& state, TResampleFilter filter) {
  StartPeers();
  const auto source = ToBitmap(Photo(), kPhotoW, kPhotoH);
  for (auto _ : state) {
    TIEBitmap dest(kSmallW, kSmallH, ie24RGB);
    IEResample(source.get(), &dest, nullptr, filter, {}, nullptr);
    benchmark::DoNotOptimize(dest.GetScanline(0));
  }
}

void VipsResize(benchmark::State& state, VipsKernel kernel) {
  StartPeers();
  for (auto _ : state)
    RunVips(state, Photo(), kPhotoW, kPhotoH, [&](VipsImage* in, VipsImage** out) {
      return vips_resize(in, out, 0.05, "kernel", kernel, "gap", 0.0, nullptr);
    });
}

void MagickResize(benchmark::State& state, FilterTypes filter) {
  StartPeers();
  Image* source = MagickImage(Photo(), kPhotoW, kPhotoH);
  for (auto _ : state) {
    ExceptionInfo* exception = AcquireExceptionInfo();
    Image* out = ResizeImage(source, kSmallW, kSmallH, filter, 1.0, exception);
    benchmark::DoNotOptimize(out);
    if (out) DestroyImage(out);
    DestroyExceptionInfo(exception);
  }
  DestroyImage(source);
}

BENCHMARK(Pixels)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(Source)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(OursResize, Triangle, rfTriangle)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(VipsResize, Triangle, VIPS_KERNEL_LINEAR)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(MagickResize, Triangle, TriangleFilter)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(OursResize, Lanczos, rfLanczos3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(VipsResize, Lanczos, VIPS_KERNEL_LANCZOS3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(MagickResize, Lanczos, LanczosFilter)->Unit(benchmark::kMillisecond)->UseRealTime();

// ---- blur ----------------------------------------------------------------------------------

void SetTapCounter(benchmark::State& state, int64_t taps) {
  state.counters["taps"] = static_cast<double>(taps);
  // Seconds per iteration x 1e9 / (samples x taps), with the real time.
  state.counters["ns_per_tap"] = benchmark::Counter(
      static_cast<double>(kBlurW) * kBlurH * 3 * static_cast<double>(taps) * 1e-9,
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void OursBlur(benchmark::State& state) {
  StartPeers();
  const double sigma = static_cast<double>(state.range(0));
  const auto input = ToBitmap(BlurInput(), kBlurW, kBlurH);
  TIEBitmap work(kBlurW, kBlurH, ie24RGB);
  for (auto _ : state) {
    state.PauseTiming();
    work.Assign(input.get());
    state.ResumeTiming();
    IEGaussianBlur(&work, nullptr, sigma, {});
  }
  GaussKernel kernel;
  IEMakeGaussKernel(kernel, sigma);
  SetTapCounter(state, 2 * kernel.HalfWidth + 1);
}

void VipsBlur(benchmark::State& state) {
  StartPeers();
  const double sigma = static_cast<double>(state.range(0));
  for (auto _ : state)
    RunVips(state, BlurInput(), kBlurW, kBlurH,
            [&](VipsImage* in, VipsImage** out) { return vips_gaussblur(in, out, sigma, nullptr); });
  VipsImage* mask = nullptr;
  vips_gaussmat(&mask, sigma, 0.2, "separable", TRUE, "precision", VIPS_PRECISION_INTEGER, nullptr);
  SetTapCounter(state, mask ? mask->Xsize : 1);
  if (mask) g_object_unref(mask);
}

void MagickBlur(benchmark::State& state) {
  StartPeers();
  const double sigma = static_cast<double>(state.range(0));
  Image* source = MagickImage(BlurInput(), kBlurW, kBlurH);
  for (auto _ : state) {
    ExceptionInfo* exception = AcquireExceptionInfo();
    Image* out = BlurImage(source, 0, sigma, exception);
    benchmark::DoNotOptimize(out);
    if (out) DestroyImage(out);
    DestroyExceptionInfo(exception);
  }
  DestroyImage(source);
  SetTapCounter(state, static_cast<int64_t>(GetOptimalKernelWidth1D(0, sigma)));
}

BENCHMARK(OursBlur)->Arg(1)->Arg(3)->Arg(10)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(VipsBlur)->Arg(1)->Arg(3)->Arg(10)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(MagickBlur)->Arg(1)->Arg(3)->Arg(10)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
