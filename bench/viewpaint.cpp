// Painting a 24-megapixel photo fit-to-window into a 1920 x 1080 back buffer
// against pixman, on one core (the library's core count is set to 1; pixman
// runs on the calling thread).
//
// Nearest: the view's renderer without a filter against pixman's NEAREST
// filter. Smooth: the view's bilinear filter (an area average when it
// shrinks) against pixman's separable box convolution at the same scale
// (box kernel, box sampling, subsample 1). Both work on 24-bit
// blue-green-red pixels, pixman's r8g8b8 (the same bytes); pixman's own
// 32-bit x8r8g8b8 paths run beside them for reference. ViewRepaint is the
// whole composition the view's paint does (background and the image), with
// the view's default filter (none) and with the bilinear one.
//
// NearestRounds runs the nearest fits in alternating rounds, ours against
// pixman's on 24-bit and 32-bit pixels. FitRounds runs the smooth fits in
// alternating rounds: the fast linear filter (the dialogs' previews)
// against our area filter and pixman's box filter on 32-bit and 24-bit
// pixels.
#include <benchmark/benchmark.h>

#include <pixman.h>

#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <random>
#include <vector>

#include "imaging/core/iesettings.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/view/imageryview.h"
#include "rounds.h"

namespace {

constexpr int32_t kPhotoW = 6000, kPhotoH = 4000;  // 24 megapixels
constexpr int32_t kBufferW = 1920, kBufferH = 1080;
// Fit to the window: the height decides.
constexpr int32_t kDestH = kBufferH, kDestW = kPhotoW * kBufferH / kPhotoH;  // 1620
constexpr int32_t kDestX = (kBufferW - kDestW) / 2;

void OneCore() { IEGetGlobalSettings()->CoreCount = 1; }

// A photo-like picture: gradients and noise, rows of blue, green, red.
TIEBitmap& Photo() {
  static TIEBitmap* photo = [] {
    auto* bitmap = new TIEBitmap(kPhotoW, kPhotoH, ie24RGB);
    std::mt19937 random(7);
    for (int32_t y = 0; y < kPhotoH; ++y) {
      uint8_t* row = bitmap->GetScanline(y);
      for (int32_t x = 0; x < kPhotoW; ++x) {
        const int32_t noise = static_cast<int32_t>(random() % 24);
        row[x * 3] = static_cast<uint8_t>((x * 255 / kPhotoW + noise) & 255);
        row[x * 3 + 1] = static_cast<uint8_t>((y * 255 / kPhotoH + noise) & 255);
        row[x * 3 + 2] = static_cast<uint8_t>(((x + y) / 32 + noise) & 255);
      }
    }
    return bitmap;
  }();
  return *photo;
}

// ---- pixman ----------------------------------------------------------------------------------

// The photo as a pixman image of the given format (24-bit: the same bytes).
pixman_image_t* PixmanPhoto(pixman_format_code_t format) {
  TIEBitmap& photo = Photo();
  if (format == PIXMAN_r8g8b8) {
    // Contiguous top-down rows with the library's 4-byte row alignment.
    static std::vector<uint8_t> bytes;
    const int32_t stride = photo.GetRowLength();
    if (bytes.empty()) {
      bytes.resize(static_cast<size_t>(stride) * kPhotoH);
      for (int32_t y = 0; y < kPhotoH; ++y)
        std::copy_n(photo.GetScanline(y), stride, bytes.data() + static_cast<size_t>(stride) * y);
    }
    return pixman_image_create_bits(format, kPhotoW, kPhotoH, reinterpret_cast<uint32_t*>(bytes.data()), stride);
  }
  static std::vector<uint32_t> pixels;
  if (pixels.empty()) {
    pixels.resize(static_cast<size_t>(kPhotoW) * kPhotoH);
    for (int32_t y = 0; y < kPhotoH; ++y) {
      const uint8_t* row = photo.GetScanline(y);
      for (int32_t x = 0; x < kPhotoW; ++x)
        pixels[static_cast<size_t>(y) * kPhotoW + x] =
            0xFF000000u | uint32_t{row[x * 3 + 2]} << 16 | uint32_t{row[x * 3 + 1]} << 8 | row[x * 3];
    }
  }
  return pixman_image_create_bits(format, kPhotoW, kPhotoH, pixels.data(), kPhotoW * 4);
}

// A pixman composition of the photo fit into a buffer, set up once.
class PixmanFit {
public:
  PixmanFit(pixman_format_code_t format, bool smooth) : source_(PixmanPhoto(format)) {
    const int32_t bytesPerPixel = format == PIXMAN_r8g8b8 ? 3 : 4;
    const int32_t stride = (kBufferW * bytesPerPixel + 3) / 4 * 4;
    target_.resize(static_cast<size_t>(stride / 4) * kBufferH);
    dest_ = pixman_image_create_bits(format, kBufferW, kBufferH, target_.data(), stride);
    const double scale = static_cast<double>(kPhotoH) / kDestH;
    pixman_transform_t transform;
    pixman_transform_init_scale(&transform, pixman_double_to_fixed(scale), pixman_double_to_fixed(scale));
    pixman_image_set_transform(source_, &transform);
    if (smooth) {
      int nParams = 0;
      params_ = pixman_filter_create_separable_convolution(
          &nParams, pixman_double_to_fixed(scale), pixman_double_to_fixed(scale), PIXMAN_KERNEL_BOX,
          PIXMAN_KERNEL_BOX, PIXMAN_KERNEL_BOX, PIXMAN_KERNEL_BOX, 1, 1);
      pixman_image_set_filter(source_, PIXMAN_FILTER_SEPARABLE_CONVOLUTION, params_, nParams);
    } else {
      pixman_image_set_filter(source_, PIXMAN_FILTER_NEAREST, nullptr, 0);
    }
  }
  ~PixmanFit() {
    free(params_);
    pixman_image_unref(dest_);
    pixman_image_unref(source_);
  }
  PixmanFit(const PixmanFit&) = delete;
  PixmanFit& operator=(const PixmanFit&) = delete;

  void Run() {
    pixman_image_composite32(PIXMAN_OP_SRC, source_, nullptr, dest_, 0, 0, 0, 0, kDestX, 0, kDestW, kDestH);
    benchmark::DoNotOptimize(target_.data());
  }

private:
  pixman_image_t* source_;
  pixman_image_t* dest_ = nullptr;
  pixman_fixed_t* params_ = nullptr;
  std::vector<uint32_t> target_;
};

void Pixman(benchmark::State& state, pixman_format_code_t format, bool smooth) {
  PixmanFit fit(format, smooth);
  for (auto _ : state) fit.Run();
}

// Our fit of the photo with a filter into a buffer of its own.
std::function<void()> OurFit(TResampleFilter filter) {
  auto buffer = std::make_shared<TIEBitmap>(kBufferW, kBufferH, ie24RGB);
  return [buffer, filter] {
    Photo().RenderToTIEBitmapEx(*buffer, nullptr, nullptr, nullptr, nullptr, kDestX, 0, kDestW, kDestH, 0, 0, kPhotoW,
                                kPhotoH, false, false, 255, filter, true, 0, 1.0);
    benchmark::DoNotOptimize(buffer->GetScanline(kBufferH / 2));
  };
}

void Ours(benchmark::State& state, TResampleFilter filter) {
  OneCore();
  const std::function<void()> fit = OurFit(filter);
  for (auto _ : state) fit();
}

// The fast linear fit against the area filter and pixman's box filters.
void BM_FitRounds(benchmark::State& state) {
  OneCore();
  Photo();
  PixmanFit box32(PIXMAN_x8r8g8b8, true), box24(PIXMAN_r8g8b8, true);
  bench::Rounds(state, {{"fastlinear", OurFit(rfFastLinear)},
                        {"area", OurFit(rfBilinear)},
                        {"pixman_box32", [&] { box32.Run(); }},
                        {"pixman_box24", [&] { box24.Run(); }}});
}

// The nearest fit against pixman's nearest filter on 24-bit and 32-bit pixels.
void BM_NearestRounds(benchmark::State& state) {
  OneCore();
  Photo();
  PixmanFit nearest24(PIXMAN_r8g8b8, false), nearest32(PIXMAN_x8r8g8b8, false);
  bench::Rounds(state, {{"ours", OurFit(rfNone)},
                        {"pixman_nearest24", [&] { nearest24.Run(); }},
                        {"pixman_nearest32", [&] { nearest32.Run(); }}});
}

void BM_OursNearest(benchmark::State& state) { Ours(state, rfNone); }
void BM_PixmanNearest24(benchmark::State& state) { Pixman(state, PIXMAN_r8g8b8, false); }
void BM_PixmanNearest32(benchmark::State& state) { Pixman(state, PIXMAN_x8r8g8b8, false); }
void BM_OursBilinear(benchmark::State& state) { Ours(state, rfBilinear); }
void BM_OursFastLinear(benchmark::State& state) { Ours(state, rfFastLinear); }
void BM_PixmanBox24(benchmark::State& state) { Pixman(state, PIXMAN_r8g8b8, true); }
void BM_PixmanBox32(benchmark::State& state) { Pixman(state, PIXMAN_x8r8g8b8, true); }

// The view's whole composition of a fit-to-window repaint (no window copy),
// with the view's default zoom filter (none) or the bilinear one.
void ViewRepaint(benchmark::State& state, TResampleFilter filter) {
  OneCore();
  setenv("PLATFORM_DISPLAY", "headless", 0);
  TImageryView view(nullptr);
  view.FixedViewSize = true;
  view.SetBounds(0, 0, kBufferW, kBufferH);
  view.GetIEBitmap()->Assign(&Photo());
  view.SetZoomFilter(filter);
  view.SetZoom(100.0 * kBufferH / kPhotoH);
  view.UpdateImageExtent();
  TIEBitmap buffer;
  buffer.SetLocation(ieTBitmap);
  buffer.Allocate(kBufferW, kBufferH, ie24RGB);
  for (auto _ : state) {
    view.DrawLayers(buffer, nullptr, true, false, nullptr);
    benchmark::DoNotOptimize(buffer.GetScanline(kBufferH / 2));
  }
}

void BM_ViewRepaint(benchmark::State& state) { ViewRepaint(state, rfNone); }
void BM_ViewRepaintBilinear(benchmark::State& state) { ViewRepaint(state, rfBilinear); }

// The background painter alone over the whole buffer (solid style).
void BM_Background(benchmark::State& state) {
  TIEBitmap buffer;
  buffer.SetLocation(ieTBitmap);
  buffer.Allocate(kBufferW, kBufferH, ie24RGB);
  for (auto _ : state) {
    IEDrawBackground(TComponentState(), buffer.GetTBitmapCanvas(), buffer.GetTBitmap(), iebsSolid, clBtnFace, 0, 0,
                     kBufferW, kBufferH, kDestX, 0, kDestX + kDestW, kDestH, 16, bsSolid, clBlue, nullptr,
                     iewoNormal);
    benchmark::DoNotOptimize(buffer.GetScanline(kBufferH / 2));
  }
}

BENCHMARK(BM_Background)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OursNearest)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PixmanNearest24)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PixmanNearest32)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OursBilinear)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OursFastLinear)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PixmanBox24)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PixmanBox32)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NearestRounds)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FitRounds)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ViewRepaint)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ViewRepaintBilinear)->Unit(benchmark::kMillisecond);

}  // namespace
