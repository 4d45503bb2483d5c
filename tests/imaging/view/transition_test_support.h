// What the transition tests share: an engine on a view, a fake clock, and
// work pictures painted from a colour function.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "imaging/view/transitioneffects.h"
#include "platform/rtl/clock.h"
#include "tests/imaging/view/view_test_support.h"

class TransitionTest : public ViewTest {
protected:
  static inline uint64_t nowMs = 0;
  static uint64_t fakeClock() { return nowMs * 1000000u; }

  void SetUp() override {
    ViewTest::SetUp();
    nowMs = 1000;
    engine = std::make_unique<TIETransitionEffects>(view);
  }
  void TearDown() override {
    engine.reset();
    ViewTest::TearDown();
  }

  // Prepares width x height and paints the start and end pictures.
  void Prepare(int32_t width, int32_t height, const std::function<TRGB(int32_t, int32_t)>& start,
               const std::function<TRGB(int32_t, int32_t)>& end) {
    engine->PrepareBitmaps(width, height);
    Paint(engine->StartBitmap(), start);
    Paint(engine->EndBitmap(), end);
  }
  static void Paint(TBitmap* bitmap, const std::function<TRGB(int32_t, int32_t)>& colour) {
    if (bitmap->Width() <= 0) return;
    for (int32_t y = 0; y < bitmap->Height(); ++y) {
      auto* row = static_cast<TRGB*>(bitmap->ScanLine(y));
      for (int32_t x = 0; x < bitmap->Width(); ++x) row[x] = colour(x, y);
    }
  }
  // The bytes of engine's frame, row by row.
  static std::vector<uint8_t> FrameBytes(TIETransitionEffects& e) {
    std::vector<uint8_t> bytes;
    for (int32_t y = 0; y < e.FrameHeight(); ++y) {
      const auto* row = static_cast<const uint8_t*>(e.CurrentBitmap()->ScanLine(y));
      bytes.insert(bytes.end(), row, row + e.FrameWidth() * 3);
    }
    return bytes;
  }
  static TRGB Pixel(TBitmap* bitmap, int32_t x, int32_t y) { return static_cast<TRGB*>(bitmap->ScanLine(y))[x]; }
  static std::function<TRGB(int32_t, int32_t)> Flat(TRGB c) {
    return [c](int32_t, int32_t) { return c; };
  }

  TClockScope clock_{&fakeClock};
  std::unique_ptr<TIETransitionEffects> engine;
};
