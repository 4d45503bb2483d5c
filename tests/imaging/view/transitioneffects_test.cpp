// The transition engine: timings, runs, events and the name tables.
#include "imaging/view/transitioneffects.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "imaging/core/ruduvazez_bitmap.h"
#include "platform/forms/extctrls.h"
#include "tests/imaging/view/transition_test_support.h"

namespace {

// ---- timings -------------------------------------------------------------------------

TEST(TransitionTimingTest, StepsFollowTheirFormulas) {
  struct Case {
    TIETransitionTiming timing;
    uint32_t elapsed;
    int32_t duration;
    int32_t step;
  };
  const Case cases[] = {
      {iettmLinear, 0, 1000, 0},
      {iettmLinear, 250, 1000, 256},
      {iettmLinear, 999, 1000, 1022},
      {iettmExponential, 0, 1000, 6},      // exp(-2.718) / 10 * 1024 = 6.76
      {iettmExponential, 500, 1000, 82},   // exp(2.5 - 2.718) / 10 * 1024 = 82.3
      {iettmExponential, 999, 1000, 998},  // 998.1
      {iettmLogarithmic, 0, 1000, 0},      // ln 0: no step
      {iettmLogarithmic, 2, 1000, 0},      // ln 0.02 + 2.718 < 0
      {iettmLogarithmic, 7, 1000, 12},     // 12.1
      {iettmLogarithmic, 100, 1000, 556},  // 2.718 / 5 * 1024 = 556.6
      {iettmLogarithmic, 500, 1000, 886},
      {iettmLogarithmic, 999, 1000, 1024},  // 1028 before the clamp
      {iettmLinear, 5, 0, 1024},            // no duration: finished
      {iettmLogarithmic, 0, -3, 1024},
  };
  for (const Case& c : cases)
    EXPECT_EQ(IETransitionStepAt(c.timing, c.elapsed, c.duration), c.step)
        << "timing " << int(c.timing) << " at " << c.elapsed << " of " << c.duration;
}

TEST(TransitionTimingTest, StepsStayInRangeAndLinearNeverFalls) {
  for (const int32_t duration : {1, 7, 1000, 86400000})
    for (const TIETransitionTiming timing : {iettmLinear, iettmExponential, iettmLogarithmic}) {
      int32_t previous = 0;
      const uint32_t stride = duration > 100000 ? 9973 : 1;
      for (uint32_t elapsed = 0; elapsed < static_cast<uint32_t>(duration); elapsed += stride) {
        const int32_t step = IETransitionStepAt(timing, elapsed, duration);
        ASSERT_GE(step, 0);
        ASSERT_LE(step, 1024);
        ASSERT_GE(step, previous) << "timing " << int(timing) << " duration " << duration << " at " << elapsed;
        previous = step;
      }
    }
}

// ---- runs and events -----------------------------------------------------------------

class TransitionEngineTest : public TransitionTest {
protected:
  // Records every event of the engine as "step N", "paint N", "end N", "stop".
  void Record() {
    engine->OnTransitionStep = [this](TObject* sender, int32_t step) {
      EXPECT_EQ(sender, view);
      log.push_back("step " + std::to_string(step));
    };
    engine->SetOnTransitionPaint([this](TObject*, TBitmap* bitmap, TIETransitionEffects*, int32_t step) {
      log.push_back((bitmap == engine->EndBitmap() ? "end " : "paint ") + std::to_string(step));
    });
    engine->OnTransitionStop = [this](TObject* sender) {
      EXPECT_EQ(sender, view);
      log.push_back("stop");
    };
  }
  void Tick(uint64_t advanceMs) {
    nowMs += advanceMs;
    engine->TimerTick();
  }
  void StartCrossFade(bool updateOnStop, int32_t duration = 100) {
    Prepare(8, 6, Flat({10, 20, 30}), Flat({200, 100, 50}));
    engine->Transition = iettCrossDissolve;
    engine->Duration = duration;
    engine->Run(updateOnStop);
  }

  std::vector<std::string> log;
};

TEST_F(TransitionEngineTest, EventOrderWithAndWithoutTheEndPicture) {
  for (const bool updateOnStop : {true, false}) {
    log.clear();
    Record();
    StartCrossFade(updateOnStop);
    ASSERT_TRUE(engine->Running());
    EXPECT_EQ(view->PaintLockCount(), 1);
    EXPECT_TRUE(engine->Timer()->Enabled());
    Tick(0);
    Tick(30);
    Tick(30);
    Tick(50);
    std::vector<std::string> expected = {"step 0",   "paint 0",   "step 0",   "paint 0",
                                         "step 307", "paint 307", "step 614", "paint 614"};
    if (updateOnStop) expected.push_back("end 1024");
    expected.push_back("stop");
    EXPECT_EQ(log, expected) << "updateOnStop " << updateOnStop;
    EXPECT_FALSE(engine->Running());
    EXPECT_EQ(view->PaintLockCount(), 0);
    EXPECT_FALSE(engine->Timer()->Enabled());
    EXPECT_EQ(engine->CurrentBitmap()->Width(), 1);  // work memory given back
  }
}

TEST_F(TransitionEngineTest, NoDurationEndsOnTheFirstTick) {
  for (const int32_t duration : {0, -5}) {
    log.clear();
    Record();
    StartCrossFade(true, duration);
    Tick(0);
    EXPECT_EQ(log, (std::vector<std::string>{"step 0", "paint 0", "end 1024", "stop"})) << duration;
    EXPECT_FALSE(engine->Running());
  }
}

TEST_F(TransitionEngineTest, ATickCountThatWrapsStillEnds) {
  nowMs = 0xFFFFFFFFull - 10;  // 11 ms before the 32-bit count wraps
  Record();
  StartCrossFade(false, 40);
  Tick(20);
  EXPECT_TRUE(engine->Running());
  EXPECT_EQ(engine->CurrentStep(), 512);
  Tick(25);
  EXPECT_FALSE(engine->Running());
}

TEST_F(TransitionEngineTest, RefusedRunsTouchNothingAndStopAnEarlierTimer) {
  struct Case {
    const char* name;
    std::function<void(TIETransitionEffects&)> spoil;
  };
  const Case cases[] = {
      {"prepared 1 x 1", [](TIETransitionEffects& e) { e.PrepareBitmaps(1, 1); }},
      {"never prepared", [](TIETransitionEffects& e) { e.PrepareBitmaps(0, 0); }},
      {"start height changed", [](TIETransitionEffects& e) { e.StartBitmap()->SetHeight(3); }},
      {"end bitmap replaced", [](TIETransitionEffects& e) { e.EndBitmap()->SetSize(4, 6); }},
      {"current bitmap resized", [](TIETransitionEffects& e) { e.CurrentBitmap()->SetWidth(9); }},
      {"end bitmap at 32 bits", [](TIETransitionEffects& e) { e.EndBitmap()->SetPixelFormat(pf32bit); }},
  };
  for (const Case& c : cases) {
    // An earlier run is still ticking when the refused one comes.
    StartCrossFade(false);
    Record();
    c.spoil(*engine);
    log.clear();
    engine->Run(true);
    EXPECT_FALSE(engine->Running()) << c.name;
    EXPECT_EQ(view->PaintLockCount(), 0) << c.name;
    EXPECT_FALSE(engine->Timer()->Enabled()) << c.name;
    Tick(500);
    EXPECT_TRUE(log.empty()) << c.name;
  }
}

TEST_F(TransitionEngineTest, RunWithoutAKindDoesNothing) {
  Record();
  for (const TIETransitionType kind : {iettNone, static_cast<TIETransitionType>(iettPanZoom + 1)}) {
    Prepare(8, 6, Flat({1, 2, 3}), Flat({4, 5, 6}));
    engine->Transition = kind;
    engine->Run(true);
    EXPECT_FALSE(engine->Running()) << int(kind);
    EXPECT_EQ(view->PaintLockCount(), 0) << int(kind);
    EXPECT_FALSE(engine->Timer()->Enabled()) << int(kind);
    Tick(10);
    Tick(10);
    EXPECT_TRUE(log.empty()) << int(kind);
  }
}

TEST_F(TransitionEngineTest, FramesWithANegativeSideAreRefused) {
  for (const SIZE size : {SIZE{-5, 300}, SIZE{300, -5}}) {
    engine->PrepareBitmaps(size.cx, size.cy);
    engine->Transition = iettCrossDissolve;
    engine->Run(false);
    EXPECT_FALSE(engine->Running()) << size.cx << " x " << size.cy;
    engine->DrawStep(nullptr);
    Tick(10);
    EXPECT_EQ(view->PaintLockCount(), 0);
  }
}

TEST_F(TransitionEngineTest, FramesOfOneColumnOrRowAreAccepted) {
  for (const SIZE size : {SIZE{0, 300}, SIZE{1, 300}, SIZE{300, 1}}) {
    Prepare(size.cx, size.cy, Flat({1, 2, 3}), Flat({4, 5, 6}));
    engine->Transition = iettCrossDissolve;
    engine->Run(true);
    EXPECT_TRUE(engine->Running()) << size.cx << " x " << size.cy;
    Tick(10);
    engine->Stop();
    EXPECT_EQ(view->PaintLockCount(), 0);
  }
}

TEST_F(TransitionEngineTest, TheKindIsFixedAtRun) {
  Record();
  StartCrossFade(true);
  Tick(50);
  engine->Transition = iettNone;  // changed mid-run: the run goes on as a cross fade
  Tick(10);
  EXPECT_TRUE(engine->Running());
  EXPECT_EQ(engine->RunningTransition(), iettCrossDissolve);
  engine->Stop();
  EXPECT_FALSE(engine->Running());
  EXPECT_EQ(view->PaintLockCount(), 0);
  EXPECT_EQ(log.back(), "stop");
}

TEST_F(TransitionEngineTest, AFailingFrameEndsTheRun) {
  Record();
  StartCrossFade(true);
  engine->OnTransitionStep = [](TObject*, int32_t) { throw Exception("handler failed"); };
  EXPECT_THROW(Tick(10), Exception);
  EXPECT_FALSE(engine->Running());
  EXPECT_EQ(view->PaintLockCount(), 0);
  EXPECT_FALSE(engine->Timer()->Enabled());
  EXPECT_EQ(log, std::vector<std::string>{"stop"});
}

// A handler that stops the run or prepares again ends the tick: nothing is
// composed from the row tables of the freed bitmaps (ASan watches).
TEST_F(TransitionEngineTest, HandlersThatEndTheRunEndTheTick) {
  struct Case {
    const char* name;
    bool inStep;
    std::function<void(TIETransitionEffects&)> act;
    int32_t stepAfter;  // the step the tick leaves: not the next one of the stopped run
  };
  const Case cases[] = {
      {"step handler stops", true, [](TIETransitionEffects& e) { e.Stop(); }, 512},
      {"step handler prepares", true, [](TIETransitionEffects& e) { e.PrepareBitmaps(300, 200); }, 512},
      {"step handler restarts", true,
       [](TIETransitionEffects& e) {
         e.PrepareBitmaps(300, 200);
         e.Run(false);
       },
       0},
      {"paint handler stops", false, [](TIETransitionEffects& e) { e.Stop(); }, 512},
      {"paint handler prepares", false, [](TIETransitionEffects& e) { e.PrepareBitmaps(2, 2); }, 512},
  };
  for (const Case& c : cases) {
    StartCrossFade(true);
    Tick(50);
    int32_t paints = 0;
    engine->OnTransitionStep = [&](TObject*, int32_t) {
      if (c.inStep) c.act(*engine);
    };
    engine->SetOnTransitionPaint([&](TObject*, TBitmap*, TIETransitionEffects*, int32_t) {
      ++paints;
      if (!c.inStep) c.act(*engine);
    });
    Tick(10);
    EXPECT_EQ(paints, c.inStep ? 0 : 1) << c.name;
    EXPECT_EQ(engine->CurrentStep(), c.stepAfter) << c.name;
    engine->OnTransitionStep = nullptr;
    engine->SetOnTransitionPaint(nullptr);
    engine->Stop();
    EXPECT_EQ(view->PaintLockCount(), 0) << c.name;
  }
}

// A handler that paints a work bitmap anew mid-run: at the same size the run
// goes on reading the new pixels, at another size it ends (ASan watches the
// rows of the bitmap given up).
TEST_F(TransitionEngineTest, BitmapsPaintedAnewMidRun) {
  struct Case {
    const char* name;
    bool inStep;
    int32_t width;  // of the bitmap assigned to the end picture
    bool goesOn;
  };
  const Case cases[] = {
      {"step handler, same size", true, 8, true},
      {"step handler, wider", true, 16, false},
      {"paint handler, same size", false, 8, true},
      {"paint handler, narrower", false, 3, false},
  };
  for (const Case& c : cases) {
    log.clear();
    Record();
    StartCrossFade(false);
    Tick(0);
    const auto repaint = [&] {
      TBitmap other;
      other.SetPixelFormat(pf24bit);
      other.SetSize(c.width, 6);
      Paint(&other, Flat({90, 90, 90}));
      engine->EndBitmap()->Assign(&other);
    };
    engine->OnTransitionStep = [&](TObject*, int32_t) {
      if (c.inStep) repaint();
    };
    engine->SetOnTransitionPaint([&](TObject*, TBitmap*, TIETransitionEffects*, int32_t) {
      if (!c.inStep) repaint();
    });
    Tick(50);
    engine->OnTransitionStep = nullptr;
    engine->SetOnTransitionPaint(nullptr);
    Tick(10);
    EXPECT_EQ(engine->Running(), c.goesOn) << c.name;
    if (c.goesOn) {
      // Half way from the start picture to the grey one.
      EXPECT_EQ(Pixel(engine->CurrentBitmap(), 5, 3), (TRGB{50, 55, 60})) << c.name;
      engine->Stop();
    }
    EXPECT_EQ(log.back(), "stop") << c.name;
    EXPECT_EQ(view->PaintLockCount(), 0) << c.name;
  }
}

// A slide show starts the next run from OnTransitionStop; when that stop came
// from PrepareBitmaps, the preparation resizes the bitmaps under the new run.
TEST_F(TransitionEngineTest, ARunStartedWhilePreparingGoesOnAtTheNewSize) {
  StartCrossFade(false);
  Tick(0);
  bool next = true;
  engine->OnTransitionStop = [&](TObject*) {
    if (!next) return;
    next = false;
    Prepare(8, 6, Flat({1, 2, 3}), Flat({4, 5, 6}));
    engine->Run(false);
  };
  Prepare(64, 48, Flat({200, 200, 200}), Flat({0, 0, 0}));
  ASSERT_TRUE(engine->Running());
  Tick(50);
  EXPECT_TRUE(engine->Running());
  EXPECT_EQ(Pixel(engine->CurrentBitmap(), 63, 47), (TRGB{200, 200, 200}));
  engine->Stop();
  EXPECT_EQ(view->PaintLockCount(), 0);
}

TEST_F(TransitionEngineTest, PanZoomEndsOnItsLastFrame) {
  TIEBitmap source;
  source.Allocate(16, 12, ie24RGB);
  Record();
  Prepare(8, 6, Flat({1, 2, 3}), Flat({4, 5, 6}));
  engine->Transition = iettPanZoom;
  engine->PanZoomSource = &source;
  engine->StartRect = {0, 0, 16, 12};
  engine->EndRect = {4, 3, 12, 9};
  engine->Duration = 20;
  engine->Run(true);
  Tick(0);
  Tick(30);
  EXPECT_EQ(log, (std::vector<std::string>{"step 0", "paint 0", "step 0", "paint 0", "stop"}));
}

TEST_F(TransitionEngineTest, PrepareDuringARunStopsItFirst) {
  Record();
  StartCrossFade(false);
  Tick(10);
  log.clear();
  engine->PrepareBitmaps(20, 10);
  EXPECT_EQ(log, std::vector<std::string>{"stop"});
  EXPECT_EQ(engine->StartBitmap()->Width(), 20);
  EXPECT_EQ(view->PaintLockCount(), 0);
}

// ---- name tables ---------------------------------------------------------------------

TEST(TransitionNamesTest, TablesDescribeTheKindsInOrder) {
  EXPECT_STREQ(IETransitionNames[iettCrossDissolve - 1].Name, "Cross Fade");
  EXPECT_STREQ(IETransitionNames[iettPageFlip - 1].Name, "Page Flip");
  EXPECT_EQ(IETransitionNames[iettMoveLeftRight1 - 1].Group, 10);
  EXPECT_EQ(IETransitionNames[iettFadeIn - 1].Group, 18);
  EXPECT_STREQ(IETransitionNames[iettWordFullExpandingSweep - 1].Name, "Expanding Sweep with Word");
  std::set<std::string> names;
  for (const TEffect& e : IETransitionNames) names.insert(e.Name);
  EXPECT_EQ(names.size(), IETransitionNames.size()) << "a display name appears twice";
  EXPECT_STREQ(IEPanZoomNames[0], "Pan from Top Left to Bottom Right");
  EXPECT_STREQ(IEPanZoomNames[45], "Full Zoom out from Bottom Right");

  int32_t engineKinds = 0;
  for (int32_t k = 0; k < IETransitionKindCount; ++k)
    engineKinds += IETransitionDrawnByEngine(static_cast<TIETransitionType>(k)) ? 1 : 0;
  EXPECT_EQ(engineKinds, 47);
}

}  // namespace
