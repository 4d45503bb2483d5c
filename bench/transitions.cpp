// Transitions at 1920 x 1080 on one core (run the program under taskset;
// the library's core count is set to 1).
//
// Kinds: every kind over a run of 60 frames driven by a fake clock, each
// frame timed as the view's timer runs it (the step and the copy to the
// view's window); the table on standard output lists each kind's median and
// worst frame in milliseconds and marks the kinds beyond a frame of a
// 60 Hz display (median) or two of them (worst).
//
// Against pixman, linked directly, on the same 24-bit pixels (pixman's
// r8g8b8: blue, green, red bytes), in alternating rounds:
//   CrossFade    the engine's cross fade at half-way / OVER with a solid 50 % mask
//   Copy         a full-frame SRCCOPY BitBlt / SRC
//   RegionCopy   the region of 8 x 8 boxes on half the cells of an 8-pixel grid
//                built and the new picture copied through it /
//                pixman_region32_init_rects and a SRC clipped to it
//   Halftone     a HALFTONE StretchBlt of the frame to half its size / a
//                bilinear scale to the same size
//   Twist        a full-frame PlgBlt onto the angled twist's parallelogram at
//                half-way / an affine NEAREST SRC with the same map
#include <benchmark/benchmark.h>

#include <pixman.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "imaging/core/iesettings.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/view/imageryview.h"
#include "imaging/view/transitioneffects.h"
#include "imaging/view/transitionregions.h"
#include "platform/display/headless.h"
#include "platform/forms/forms.h"
#include "platform/rtl/clock.h"
#include "rounds.h"

namespace {

constexpr int32_t kW = 1920, kH = 1080;
constexpr int32_t kFrames = 60;
constexpr int32_t kFrameMs = 17;  // the fake clock's step between frames
constexpr double kMedianBudgetMs = 16.7, kWorstBudgetMs = 33.0;

void OneCore() { IEGetGlobalSettings()->CoreCount = 1; }

// A photo-like picture: gradients, edges and noise (old and new differ).
void PaintPicture(TBitmap* bitmap, bool isNew) {
  std::mt19937 random(isNew ? 11 : 5);
  for (int32_t y = 0; y < bitmap->Height(); ++y) {
    auto* row = static_cast<uint8_t*>(bitmap->ScanLine(y));
    for (int32_t x = 0; x < bitmap->Width(); ++x) {
      const int32_t noise = static_cast<int32_t>(random() % 16);
      uint8_t* p = row + 3 * x;
      if (isNew) {
        p[0] = static_cast<uint8_t>(((x / 40 + y / 40) % 2 ? 60 : 180) + noise);
        p[1] = static_cast<uint8_t>(y * 200 / kH + noise);
        p[2] = static_cast<uint8_t>(220 - x * 100 / kW + noise);
      } else {
        p[0] = static_cast<uint8_t>(x * 255 / kW);
        p[1] = static_cast<uint8_t>((x + y) / 12 + noise);
        p[2] = static_cast<uint8_t>(y * 255 / kH);
      }
    }
  }
}

std::unique_ptr<TBitmap> Picture(bool isNew, int32_t w = kW, int32_t h = kH) {
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetPixelFormat(pf24bit);
  bitmap->SetSize(w, h);
  PaintPicture(bitmap.get(), isNew);
  return bitmap;
}

// ---- every kind ------------------------------------------------------------------------------

uint64_t fakeNowMs = 0;
uint64_t FakeClock() { return fakeNowMs * 1000000u; }

// A headless window with an image view of the frame's size.
struct ViewWindow {
  ViewWindow() {
    display::SetActiveBackend(display::CreateHeadlessBackend());
    form = new TForm(nullptr);
    form->SetBounds(0, 0, kW + 40, kH + 60);
    view = new TImageryView(form);
    view->SetParent(form);
    view->SetBorderStyle(bsNone);
    view->SetBounds(0, 0, kW, kH);
    form->Show();
    Application->ProcessMessages();
  }
  ~ViewWindow() { delete form; }
  TForm* form = nullptr;
  TImageryView* view = nullptr;
};

struct KindTimes {
  double median = 0, worst = 0;
};

KindTimes RunKind(TIETransitionEffects& engine, TIETransitionType kind, TIEBitmap& panZoomSource) {
  engine.PrepareBitmaps(kW, kH);
  PaintPicture(engine.StartBitmap(), false);
  PaintPicture(engine.EndBitmap(), true);
  engine.Transition = kind;
  engine.Duration = (kFrames - 1) * kFrameMs;
  engine.Timing = iettmLinear;
  engine.PanZoomSource = &panZoomSource;
  engine.StartRect = {0, 0, kW, kH};
  engine.EndRect = {kW / 4, kH / 4, kW * 3 / 4, kH * 3 / 4};
  fakeNowMs = 1000;
  engine.Run(false);
  std::vector<double> times;
  while (engine.Running() && static_cast<int32_t>(times.size()) < 2 * kFrames) {
    const int32_t step = engine.CurrentStep();
    times.push_back(1000 * bench::CpuSeconds([&] { engine.TimerTick(); }));
    if (std::getenv("TRANSITION_FRAMES")) std::printf("  step %4d: %7.2f ms\n", step, times.back());
    fakeNowMs += kFrameMs;
  }
  engine.Stop();
  return {bench::Median(times), *std::max_element(times.begin(), times.end())};
}

// TRANSITION_KINDS="29,155" limits the run to those kinds; TRANSITION_FRAMES
// set lists every frame's time.
bool Wanted(int32_t kind) {
  const char* only = std::getenv("TRANSITION_KINDS");
  if (!only) return true;
  for (const char* p = only; *p;) {
    char* end = nullptr;
    if (std::strtol(p, &end, 10) == kind) return true;
    p = *end ? end + 1 : end;
  }
  return false;
}

const char* KindName(int32_t kind) {
  return kind == iettPanZoom ? "Pan/zoom" : IETransitionNames[static_cast<size_t>(kind - 1)].Name;
}

void BM_EveryKind(benchmark::State& state) {
  OneCore();
  TClockScope clock(&FakeClock);
  ViewWindow window;
  TIETransitionEffects engine(window.view);
  TIEBitmap panZoomSource(kW, kH, ie24RGB);
  for (int32_t y = 0; y < kH; ++y)
    for (int32_t x = 0; x < kW; ++x) panZoomSource.SetPixel24(x, y, TRGB{uint8_t(x), uint8_t(y), uint8_t(x + y)});
  int32_t medianMisses = 0, worstMisses = 0;
  std::printf("\n| kind | name | median ms | worst ms | misses |\n|---|---|---|---|---|\n");
  for (auto _ : state) {
    for (int32_t kind = 1; kind < IETransitionKindCount; ++kind) {
      if (!Wanted(kind)) continue;
      const KindTimes t = RunKind(engine, static_cast<TIETransitionType>(kind), panZoomSource);
      const bool slow = t.median > kMedianBudgetMs, jerky = t.worst > kWorstBudgetMs;
      medianMisses += slow;
      worstMisses += jerky;
      char line[160];
      std::snprintf(line, sizeof line, "| %3d | %-36s | %7.2f | %7.2f | %s%s |", kind, KindName(kind), t.median,
                    t.worst, slow ? "median" : "", jerky ? (slow ? ", worst" : "worst") : "");
      std::printf("%s\n", line);
      std::fflush(stdout);
    }
  }
  state.counters["kinds"] = IETransitionKindCount - 1;
  state.counters["median_misses"] = medianMisses;
  state.counters["worst_misses"] = worstMisses;
  state.counters["load1"] = bench::LoadAverage();
}
BENCHMARK(BM_EveryKind)->Iterations(1)->Unit(benchmark::kMillisecond);

// ---- against pixman -----------------------------------------------------------------------------

// A pixman r8g8b8 image over top-down rows of its own, filled from bitmap.
class PixmanPicture {
public:
  PixmanPicture(int32_t w, int32_t h, TBitmap* from = nullptr)
      : stride_((w * 3 + 3) / 4 * 4), bytes_(static_cast<size_t>(stride_) * h) {
    if (from)
      for (int32_t y = 0; y < h; ++y)
        std::memcpy(&bytes_[static_cast<size_t>(y) * stride_], from->ScanLine(y), static_cast<size_t>(w) * 3);
    image_ = pixman_image_create_bits(PIXMAN_r8g8b8, w, h, reinterpret_cast<uint32_t*>(bytes_.data()), stride_);
  }
  ~PixmanPicture() { pixman_image_unref(image_); }
  PixmanPicture(const PixmanPicture&) = delete;
  PixmanPicture& operator=(const PixmanPicture&) = delete;
  pixman_image_t* Image() const { return image_; }

private:
  int32_t stride_;
  std::vector<uint8_t> bytes_;
  pixman_image_t* image_ = nullptr;
};

// The two pictures and a frame, ours and pixman's.
struct Pictures {
  std::unique_ptr<TBitmap> from = Picture(false), to = Picture(true), frame = Picture(false);
  PixmanPicture pFrom{kW, kH, from.get()}, pTo{kW, kH, to.get()}, pFrame{kW, kH, frame.get()};
};

void BM_CrossFade(benchmark::State& state) {
  OneCore();
  Pictures p;
  TIETransitionEffects engine(nullptr);  // no view: the frame is composed, not shown
  engine.PrepareBitmaps(kW, kH);
  PaintPicture(engine.StartBitmap(), false);
  PaintPicture(engine.EndBitmap(), true);
  engine.Transition = iettCrossDissolve;
  engine.Run(false);
  engine.SetCurrentStep(512);
  pixman_color_t half{0, 0, 0, 0x8000};
  pixman_image_t* mask = pixman_image_create_solid_fill(&half);
  bench::Rounds(state, {{"ours", [&] { engine.DrawStep(nullptr); }},
                        {"pixman", [&] {
                           pixman_image_composite32(PIXMAN_OP_OVER, p.pTo.Image(), mask, p.pFrame.Image(), 0, 0, 0, 0,
                                                    0, 0, kW, kH);
                         }}});
  pixman_image_unref(mask);
  engine.Stop();
}
BENCHMARK(BM_CrossFade)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_Copy(benchmark::State& state) {
  OneCore();
  Pictures p;
  bench::Rounds(state, {{"ours", [&] {
                           BitBlt(p.frame->Canvas()->Handle(), 0, 0, kW, kH, p.to->Canvas()->Handle(), 0, 0, SRCCOPY);
                         }},
                        {"pixman", [&] {
                           pixman_image_composite32(PIXMAN_OP_SRC, p.pTo.Image(), nullptr, p.pFrame.Image(), 0, 0, 0,
                                                    0, 0, 0, kW, kH);
                         }}});
}
BENCHMARK(BM_Copy)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_RegionCopy(benchmark::State& state) {
  OneCore();
  Pictures p;
  // Half of the cells of the 8-pixel grid, as random boxes half-way through.
  std::vector<RECT> boxes;
  std::mt19937 random(3);
  for (int32_t y = 0; y < kH; y += 8)
    for (int32_t x = 0; x < kW; x += 8)
      if (random() % 2) boxes.push_back({x, y, std::min(x + 8, kW), std::min(y + 8, kH)});
  std::vector<pixman_box32_t> pixmanBoxes;
  for (const RECT& b : boxes) pixmanBoxes.push_back({b.left, b.top, b.right, b.bottom});
  bench::Rounds(state, {{"ours", [&] {
                           TComplexRegion region;
                           for (const RECT& b : boxes) region.AddRect(b.left, b.top, b.right, b.bottom);
                           HRGN rgn = region.GetRegion();
                           DrawBitmapThroughRegion(p.frame->Canvas(), kW, kH, rgn, p.to.get());
                           DeleteObject(rgn);
                         }},
                        {"pixman", [&] {
                           pixman_region32_t region;
                           pixman_region32_init_rects(&region, pixmanBoxes.data(),
                                                      static_cast<int>(pixmanBoxes.size()));
                           pixman_image_set_clip_region32(p.pFrame.Image(), &region);
                           pixman_image_composite32(PIXMAN_OP_SRC, p.pTo.Image(), nullptr, p.pFrame.Image(), 0, 0, 0,
                                                    0, 0, 0, kW, kH);
                           pixman_image_set_clip_region32(p.pFrame.Image(), nullptr);
                           pixman_region32_fini(&region);
                         }}});
}
BENCHMARK(BM_RegionCopy)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_Halftone(benchmark::State& state) {
  OneCore();
  Pictures p;
  const int32_t w = kW / 2, h = kH / 2;
  PixmanPicture small(w, h);
  pixman_transform_t scale;
  pixman_transform_init_scale(&scale, pixman_double_to_fixed(2.0), pixman_double_to_fixed(2.0));
  bench::Rounds(state, {{"ours", [&] {
                           HDC dc = p.frame->Canvas()->Handle();
                           SetStretchBltMode(dc, HALFTONE);
                           StretchBlt(dc, 0, 0, w, h, p.to->Canvas()->Handle(), 0, 0, kW, kH, SRCCOPY);
                         }},
                        {"pixman", [&] {
                           pixman_image_set_transform(p.pTo.Image(), &scale);
                           pixman_image_set_filter(p.pTo.Image(), PIXMAN_FILTER_BILINEAR, nullptr, 0);
                           pixman_image_composite32(PIXMAN_OP_SRC, p.pTo.Image(), nullptr, small.Image(), 0, 0, 0, 0,
                                                    0, 0, w, h);
                           pixman_image_set_transform(p.pTo.Image(), nullptr);
                           pixman_image_set_filter(p.pTo.Image(), PIXMAN_FILTER_NEAREST, nullptr, 0);
                         }}});
}
BENCHMARK(BM_Halftone)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_Twist(benchmark::State& state) {
  OneCore();
  Pictures p;
  // The angled twist half-way: the top-left corner pulled in toward the centre.
  const POINT corners[3] = {{kW / 4, kH / 4}, {kW, 0}, {0, kH}};
  // Pixman maps each target point back to the source: source = (u W, v H)
  // with target - p0 = u (p1 - p0) + v (p2 - p0).
  const double ax = corners[1].x - corners[0].x, ay = corners[1].y - corners[0].y;
  const double bx = corners[2].x - corners[0].x, by = corners[2].y - corners[0].y, det = ax * by - ay * bx;
  const double m[2][3] = {{kW * by / det, -kW * bx / det, 0}, {-kH * ay / det, kH * ax / det, 0}};
  pixman_f_transform_t f;
  pixman_f_transform_init_identity(&f);
  for (int i = 0; i < 2; ++i) {
    f.m[i][0] = m[i][0];
    f.m[i][1] = m[i][1];
    f.m[i][2] = -(m[i][0] * corners[0].x + m[i][1] * corners[0].y);
  }
  pixman_transform_t t;
  pixman_transform_from_pixman_f_transform(&t, &f);
  bench::Rounds(state, {{"ours", [&] {
                           PlgBlt(p.frame->Canvas()->Handle(), corners, p.to->Canvas()->Handle(), 0, 0, kW, kH, nullptr,
                                  0, 0);
                         }},
                        {"pixman", [&] {
                           pixman_image_set_transform(p.pTo.Image(), &t);
                           pixman_image_composite32(PIXMAN_OP_SRC, p.pTo.Image(), nullptr, p.pFrame.Image(), 0, 0, 0,
                                                    0, 0, 0, kW, kH);
                           pixman_image_set_transform(p.pTo.Image(), nullptr);
                         }}});
}
BENCHMARK(BM_Twist)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
