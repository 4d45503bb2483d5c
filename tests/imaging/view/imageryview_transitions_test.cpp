// The image view's transition hooks: the engine made on first use, its
// events, and the view stopping a run when blanked or resized.
#include <gtest/gtest.h>

#include "tests/imaging/view/transition_test_support.h"

namespace {

class ViewTransitionTest : public ViewTest {
protected:
  // Starts a cross fade on the view's own engine.
  TIETransitionEffects* StartRun() {
    view->EnsureTransitionEffects();
    TIETransitionEffects* engine = view->TransitionEffects();
    engine->PrepareBitmaps(16, 12);
    engine->Transition = iettCrossDissolve;
    engine->Run(true);
    return engine;
  }
};

TEST_F(ViewTransitionTest, EventsSetBeforeAndAfterTheEngineExists) {
  // Readers answer empty events and make no engine.
  EXPECT_FALSE(view->GetOnTransitionStop());
  EXPECT_FALSE(view->GetOnTransitionStep());
  EXPECT_FALSE(view->GetOnTransitionPaint());
  EXPECT_EQ(view->TransitionEffects(), nullptr);

  int32_t stops = 0, steps = 0, paints = 0;
  view->SetOnTransitionStop([&](TObject*) { ++stops; });  // makes the engine
  TIETransitionEffects* engine = view->TransitionEffects();
  ASSERT_NE(engine, nullptr);
  view->EnsureTransitionEffects();
  EXPECT_EQ(view->TransitionEffects(), engine);  // made once
  view->SetOnTransitionStep([&](TObject*, int32_t) { ++steps; });
  view->SetOnTransitionPaint([&](TObject*, TBitmap*, TIETransitionEffects*, int32_t) { ++paints; });
  EXPECT_TRUE(view->GetOnTransitionStop());
  EXPECT_TRUE(view->GetOnTransitionStep());
  EXPECT_TRUE(view->GetOnTransitionPaint());

  StartRun()->Duration = 0;
  engine->TimerTick();
  EXPECT_EQ(steps, 1);
  EXPECT_EQ(paints, 2);  // the frame and the end picture
  EXPECT_EQ(stops, 1);
}

TEST_F(ViewTransitionTest, BlankAndResizeStopARun) {
  struct Case {
    const char* name;
    std::function<void(TImageryView*)> act;
  };
  const Case cases[] = {
      {"blank", [](TImageryView* v) { v->Blank(); }},
      {"resize", [](TImageryView* v) { v->SetBounds(10, 10, 150, 90); }},
  };
  for (const Case& c : cases) {
    view->SetBounds(10, 10, 200, 150);
    int32_t stops = 0;
    view->SetOnTransitionStop([&](TObject*) { ++stops; });
    TIETransitionEffects* engine = StartRun();
    ASSERT_TRUE(engine->Running()) << c.name;
    EXPECT_EQ(view->PaintLockCount(), 1) << c.name;
    c.act(view);
    EXPECT_FALSE(engine->Running()) << c.name;
    EXPECT_EQ(view->PaintLockCount(), 0) << c.name;
    EXPECT_EQ(stops, 1) << c.name;
  }
}

TEST_F(ViewTransitionTest, AViewFreesItsEngineEvenMidRun) {
  auto* other = Add<TImageryView>(form, "Other", {220, 10, 320, 110});
  other->EnsureTransitionEffects();
  other->TransitionEffects()->PrepareBitmaps(8, 8);
  other->TransitionEffects()->Transition = iettFadeIn;
  other->TransitionEffects()->Run(false);
  delete other;  // the leak checker and ASan watch the engine and its timer
  Pump();
}

}  // namespace
