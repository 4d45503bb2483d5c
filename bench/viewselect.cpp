// A selection dragged over a 24-megapixel photo, and the memory a rotation of
// that photo takes.
//
// SelectionDrag: a view of 1920 x 1080 on a headless form shows the photo fit
// to the window; one iteration is a rubber-band rectangle drag of 100 mouse
// moves, each move painted as the user would see it (the paint runs from the
// message loop); the time is that of the 100 moves, the counter "composed"
// how many times the picture was composed again per drag. ScrollDrag is the
// same 100 moves scrolling a view at 100 %, where every move must recompose:
// the cost of a full repaint beside it.
//
// Rotate7: the photo turned by 7 degrees with each antialiasing mode of the
// processing component (0 nearest, 1 three shears, 2 bilinear). Peak memory:
// run one at a time under /usr/bin/time -f %M with --benchmark_filter=^BM_Rotate7/2
// (for example) and ^BM_PhotoOnly for the photo alone.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <random>

#include "imaging/core/iesettings.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/processing/imageryproc_component.h"
#include "imaging/view/imageryview.h"
#include "platform/display/display.h"
#include "platform/display/headless.h"
#include "platform/forms/forms.h"

namespace {

constexpr int32_t kPhotoW = 6000, kPhotoH = 4000;  // 24 megapixels
constexpr int32_t kViewW = 1920, kViewH = 1080;
constexpr int32_t kMoves = 100;

// A photo-like picture: gradients and noise, rows of blue, green, red.
void FillPhoto(TIEBitmap& bitmap) {
  bitmap.Allocate(kPhotoW, kPhotoH, ie24RGB);
  std::mt19937 random(7);
  for (int32_t y = 0; y < kPhotoH; ++y) {
    uint8_t* row = bitmap.GetScanline(y);
    for (int32_t x = 0; x < kPhotoW; ++x) {
      const int32_t noise = static_cast<int32_t>(random() % 24);
      row[x * 3] = static_cast<uint8_t>((x * 255 / kPhotoW + noise) & 255);
      row[x * 3 + 1] = static_cast<uint8_t>((y * 255 / kPhotoH + noise) & 255);
      row[x * 3 + 2] = static_cast<uint8_t>(((x + y) / 32 + noise) & 255);
    }
  }
}

// A shown form holding a view of the photo; Pump runs what the moves posted.
struct TViewOnForm {
  TForm* Form = nullptr;
  TImageryView* View = nullptr;

  explicit TViewOnForm(double zoom) {
    IEGetGlobalSettings()->CoreCount = 1;
    display::SetActiveBackend(display::CreateHeadlessBackend());
    Form = new TForm(nullptr);
    Form->SetBounds(0, 0, kViewW + 40, kViewH + 60);
    View = new TImageryView(Form);
    View->SetParent(Form);
    View->SetBorderStyle(bsNone);
    View->SetScrollBars(ssNone);
    View->SetBounds(0, 0, kViewW, kViewH);
    FillPhoto(*View->GetIEBitmap());
    View->Update();
    View->SetZoom(zoom);
    Form->Show();
    Pump();
  }
  ~TViewOnForm() {
    delete Form;
    Pump();
  }
  static void Pump() { Application->ProcessMessages(); }
  POINT Screen(int32_t x, int32_t y) const { return View->ClientToScreen(POINT{x, y}); }

  // A left-button drag of kMoves moves from (x, y) by (dx, dy) each, every move painted.
  void Drag(int32_t x, int32_t y, int32_t dx, int32_t dy) {
    display::InjectMouseMove(Screen(x, y));
    display::InjectMouseDown(Screen(x, y));
    Pump();
    for (int32_t i = 1; i <= kMoves; ++i) {
      display::InjectMouseMove(Screen(x + i * dx, y + i * dy));
      Pump();
    }
    display::InjectMouseUp(Screen(x + kMoves * dx, y + kMoves * dy));
    Pump();
  }
};

void BM_SelectionDrag(benchmark::State& state) {
  TViewOnForm f(100.0 * kViewH / kPhotoH);
  f.View->SetMouseInteract({miSelect});
  int composed = 0;
  f.View->OnDrawBackBuffer = [&](TObject*) { ++composed; };
  for (auto _ : state) {
    f.Drag(300, 200, 9, 6);
    state.PauseTiming();
    f.View->Deselect();
    TViewOnForm::Pump();
    state.ResumeTiming();
  }
  // Pictures composed per drag (the press and the release may compose one each).
  state.counters["composed"] = benchmark::Counter(composed, benchmark::Counter::kAvgIterations);
}

void BM_ScrollDrag(benchmark::State& state) {
  TViewOnForm f(100);
  f.View->SetMouseInteract({miScroll});
  for (auto _ : state) {
    f.Drag(1500, 900, -9, -6);
    f.View->SetViewXY(0, 0);
  }
}

// The photo alone: the baseline of the rotations' peak memory.
void BM_PhotoOnly(benchmark::State& state) {
  for (auto _ : state) {
    TIEBitmap photo;
    FillPhoto(photo);
    benchmark::DoNotOptimize(photo.GetScanline(kPhotoH / 2));
  }
}

void BM_Rotate7(benchmark::State& state) {
  IEGetGlobalSettings()->CoreCount = 1;
  for (auto _ : state) {
    state.PauseTiming();
    TImageryProc proc(nullptr);
    FillPhoto(*proc.GetBitmap());
    proc.AutoUndo = false;
    state.ResumeTiming();
    proc.Rotate(static_cast<uint8_t>(state.range(0)), 0xFFFFFF, 7);
    benchmark::DoNotOptimize(proc.GetBitmap()->GetScanline(0));
  }
}

}  // namespace

BENCHMARK(BM_SelectionDrag)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ScrollDrag)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_PhotoOnly)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_Rotate7)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(1);
