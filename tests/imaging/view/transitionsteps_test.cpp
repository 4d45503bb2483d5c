// The step procedures' dispatcher, their regions and shapes, and the state a
// run keeps: the cases their callers rely on, as tables.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "imaging/core/davovevo.h"
#include "imaging/core/iesettings.h"
#include "imaging/view/transitionregions.h"
#include "imaging/view/transitionsteps.h"
#include "platform/rtl/system.h"
#include "tests/imaging/view/transition_test_support.h"

namespace {

// The pixels a region covers inside (0, 0, w, h), row by row, '#' or '.'.
std::string Cover(HRGN region, int32_t w, int32_t h) {
  std::string s;
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) s += region && PtInRegion(region, x, y) ? '#' : '.';
    s += '\n';
  }
  return s;
}

int32_t Area(HRGN region, int32_t w, int32_t h) {
  int32_t n = 0;
  for (char c : Cover(region, w, h)) n += c == '#';
  return n;
}

// Deletes the region when the test is done with it.
struct Owned {
  HRGN region;
  explicit Owned(HRGN r) : region(r) {}
  ~Owned() {
    if (region) DeleteObject(region);
  }
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
};

TEST(TransitionStepsTest, StepsBecomePercentagesRoundedHalfToEven) {
  const struct {
    int32_t step, percent;
  } cases[] = {{1, 0}, {5, 0}, {6, 1}, {128, 12}, {384, 38}, {512, 50}, {640, 62}, {896, 88}, {1019, 100}, {1024, 100}};
  for (const auto& c : cases) EXPECT_EQ(TransitionStepPercent(c.step), c.percent) << c.step;
}

TEST(TransitionStepsTest, KindsTheEngineDrawsAreUnknownHere) {
  TBitmap a, b, frame;
  for (TBitmap* bitmap : {&a, &b, &frame}) {
    bitmap->SetPixelFormat(pf24bit);
    bitmap->SetSize(8, 8);
  }
  TIETransitionRunState state;
  for (const TIETransitionType kind : {iettNone, iettCrossDissolve, iettPageFlip, iettSoftWipeFromTop, iettPanZoom}) {
    try {
      PerformTransitionStep(kind, frame.Canvas(), &a, &b, {0, 0, 8, 8}, 512, state);
      ADD_FAILURE() << kind << " drew";
    } catch (const EIEException& e) {
      EXPECT_EQ(std::string(e.what()), "Unknown Transition!") << kind;
    }
  }
}

TEST(TransitionStepsTest, ProgressAdvancesTheLongerSideFirst) {
  const struct {
    RECT rect;
    int32_t percent, x, y;
  } cases[] = {
      {{0, 0, 5, 5}, 50, 3, 3},       {{0, 0, 400, 300}, 50, 200, 150}, {{0, 0, 300, 400}, 33, 99, 132},
      {{0, 0, 75, 41}, 100, 75, 41},  {{0, 0, 7, 3}, 0, 0, 0},
  };
  for (const auto& c : cases) {
    const TTransitionProgress p = TransitionProgress(c.rect, c.percent);
    EXPECT_EQ(p.X, c.x) << c.rect.right << " x " << c.rect.bottom << " at " << c.percent;
    EXPECT_EQ(p.Y, c.y) << c.rect.right << " x " << c.rect.bottom << " at " << c.percent;
  }
}

TEST(TransitionStepsTest, TableExpressionsReadAsWritten) {
  TStepValues v(RECT{0, 0, 75, 41}, 50);  // X = 38, Y = 21
  EXPECT_EQ(v.List("X - W, 2W - X, half(W - X), 3cx - X, (3X) / 2, min(W / 10, 4), max(-3, -X)"),
            (std::vector<int32_t>{-37, 112, 18, 73, 57, 4, -3}));
  EXPECT_EQ(v("half(-3)"), -1);  // toward zero
  EXPECT_THROW(v("Z"), std::logic_error);
}

TEST(TransitionRegionsTest, CollectorMakesOneRegionOfManyRectangles) {
  TComplexRegion collector;
  EXPECT_EQ(collector.GetRegion(), nullptr);
  for (int32_t i = 0; i < 501; ++i) collector.AddRect(i, 0, i + 1, 1 + i % 3);
  collector.AddRect(5, 5, 5, 9);  // covers nothing
  EXPECT_EQ(collector.Count(), 501);
  EXPECT_EQ(collector.Bounds().right, 501);
  Owned region(collector.GetRegion());
  EXPECT_TRUE(PtInRegion(region.region, 0, 0));
  EXPECT_TRUE(PtInRegion(region.region, 500, 1));
  EXPECT_FALSE(PtInRegion(region.region, 3, 1));
}

// Bars of 1 pixel on a 20 x 10 frame: kind 4 at X = W fills the even rows, at 2W all of them.
TEST(TransitionRegionsTest, BarsFillEveryOtherRowThenTheRest) {
  Owned half(BarsRegion(20, 0, 20, 10, 4, 0));
  EXPECT_EQ(Cover(half.region, 20, 4), std::string(20, '#') + "\n" + std::string(20, '.') + "\n" +
                                           std::string(20, '#') + "\n" + std::string(20, '.') + "\n");
  Owned all(BarsRegion(40, 0, 20, 10, 4, 0));
  EXPECT_EQ(Area(all.region, 20, 10), 200);
}

TEST(TransitionRegionsTest, ShapesTakeTheLowSevenBitsAndNeedABox) {
  Owned heart(ShapeRegion(15, 0, 0, 40, 40)), high(ShapeRegion(128 + 15, 0, 0, 40, 40));
  EXPECT_EQ(Cover(heart.region, 40, 40), Cover(high.region, 40, 40));
  EXPECT_GT(Area(heart.region, 40, 40), 600);
  const struct {
    int32_t kind, w, h;
  } none[] = {{17, 40, 40}, {15, 0, 40}, {0, 40, -5}, {10, -3, -3}};
  for (const auto& c : none) EXPECT_EQ(ShapeRegion(c.kind, 0, 0, c.w, c.h), nullptr) << c.kind;
  EXPECT_EQ(RoundRectRegion(38, 20, 36, 21, 3, 3), nullptr);  // inverted: the late frames of the inward kinds
}

TEST(TransitionRegionsTest, FanOfNoStepsEnclosesNothing) {
  Owned fan(FanRegion(10, 10, 10, -1.5707963L, 3, 0, true));
  EXPECT_EQ(Area(fan.region, 20, 20), 0);
  Owned quarter(FanRegion(10, 10, 12, 0, 1.5707963L, 8, true));  // toward the right and down
  EXPECT_TRUE(PtInRegion(quarter.region, 14, 14));
  EXPECT_FALSE(PtInRegion(quarter.region, 5, 5));
}

// Many shapes united pairwise cover what uniting them one by one covers.
TEST(TransitionRegionsTest, BalancedUnionCoversTheSamePixels) {
  std::vector<HRGN> balanced;
  HRGN chain = nullptr;
  for (int32_t i = 0; i < 37; ++i) {
    balanced.push_back(ShapeRegion(15, (i * 7) % 50, (i * 11) % 30, 12, 12));
    chain = CombineInto(chain, ShapeRegion(15, (i * 7) % 50, (i * 11) % 30, 12, 12), RGN_OR);
  }
  Owned a(CombineRegions(balanced)), b(chain);
  EXPECT_EQ(Cover(a.region, 64, 44), Cover(b.region, 64, 44));
}

// The grids of shapes make one region per frame and move copies of it to
// each cell: every shape must be the same wherever its box stands.
TEST(TransitionRegionsTest, ShapesAreTheSameWhereverTheyStand) {
  const SIZE sizes[] = {{7, 7}, {12, 9}, {31, 40}, {183, 183}};
  const POINT places[] = {{13, -5}, {101, 57}, {-37, 1999}};
  for (int32_t kind = 0; kind <= 17; ++kind)  // 17: the ellipse
    for (const SIZE& s : sizes)
      for (const POINT& p : places) {
        SCOPED_TRACE(testing::Message() << "kind " << kind << ", " << s.cx << " x " << s.cy << " at " << p.x << ","
                                        << p.y);
        auto make = [&](int32_t x, int32_t y) {
          return kind == 17 ? CreateEllipticRgn(x, y, x + s.cx, y + s.cy) : ShapeRegion(kind, x, y, s.cx, s.cy);
        };
        Owned there(make(p.x, p.y)), moved(make(0, 0));
        ASSERT_NE(there.region, nullptr);
        OffsetRgn(moved.region, p.x, p.y);
        EXPECT_EQ(CombineRgn(moved.region, moved.region, there.region, RGN_XOR), NULLREGION);
      }
}

// A mirrored draw reverses the source into exactly its rectangle: a
// destination edge off by one would cover a column or row outside it.
class MirroredDrawTest : public TransitionTest {};

TEST_F(MirroredDrawTest, FillsExactlyItsRectangle) {
  const auto bitmap = [](int32_t w, int32_t h, const std::function<TRGB(int32_t, int32_t)>& colour) {
    auto b = std::make_unique<TBitmap>();
    b->SetPixelFormat(pf24bit);
    b->SetSize(w, h);
    Paint(b.get(), colour);
    return b;
  };
  const auto source = [](int32_t x, int32_t y) {
    return TRGB{static_cast<uint8_t>(10 * x), static_cast<uint8_t>(10 * y), 200};
  };
  const TRGB ground{1, 2, 3};
  const struct {
    bool horizontally, vertically;
  } cases[] = {{true, false}, {false, true}, {true, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "horizontally " << c.horizontally << ", vertically " << c.vertically);
    auto picture = bitmap(4, 3, source), frame = bitmap(10, 8, Flat(ground));
    StretchDrawMirrored(frame->Canvas(), {3, 2, 7, 5}, picture.get(), {0, 0, 4, 3}, c.horizontally, c.vertically);
    for (int32_t y = 0; y < 8; ++y)
      for (int32_t x = 0; x < 10; ++x) {
        const bool inside = x >= 3 && x < 7 && y >= 2 && y < 5;
        const int32_t sx = c.horizontally ? 6 - x : x - 3, sy = c.vertically ? 4 - y : y - 2;
        EXPECT_EQ(Pixel(frame.get(), x, y), inside ? source(sx, sy) : ground) << x << "," << y;
      }
  }
}

class WordRegionTest : public ::testing::Test {
protected:
  void SetUp() override { saved_ = IEGetGlobalSettings()->WordTransition; }
  void TearDown() override { IEGetGlobalSettings()->WordTransition = saved_; }
  TIEWordTransitionParams saved_;
};

// The letter shown at a percentage, letters taken whole in UTF-8.
TEST_F(WordRegionTest, LettersAreWholeCharacters) {
  TIEWordTransitionParams& word = IEGetGlobalSettings()->WordTransition;
  const struct {
    const char* text;
    int32_t percent;
    bool whole;
    const char* shown;
  } cases[] = {
      {"Grüße", 0, false, "G"},          {"Grüße", 30, false, "ü"},  {"Grüße", 45, false, "ß"},
      {"Grüße", 60, false, "e"},         {"Grüße", 20, true, "Grüße"}, {"\"Hi there\"", 30, false, "Hi there"},
      {"\"\"", 30, false, "X"},           {"", 30, false, "A"},      {"€", 30, false, "€"},
  };
  for (const auto& c : cases) {
    word.Text = c.text;
    EXPECT_EQ(WordTransitionText(c.percent, 0, 60, c.whole), c.shown) << c.text << " at " << c.percent;
  }
  word.Text = "Grüße";
  EXPECT_EQ(WordTransitionLength(), 5);
}

TEST_F(WordRegionTest, TheWordFillsItsBoxAndAnEmptyBoxHasNone) {
  IEGetGlobalSettings()->WordTransition.Text = "H";
  Owned region(WordRegion({0, 0, 60, 60}, 50, 0, 100, true, true));
  ASSERT_NE(region.region, nullptr);
  RECT box;
  GetRgnBox(region.region, &box);
  EXPECT_GE(box.left, 0);
  EXPECT_LE(box.right, 60);
  EXPECT_GT(Area(region.region, 60, 60), 100);
  EXPECT_EQ(WordRegion({10, 10, 10, 40}, 50, 0, 100, true, true), nullptr);
  EXPECT_EQ(WordRegion({10, 10, 5, 4}, 50, 0, 100, true, true), nullptr);
}

TEST(TransitionRunStateTest, RandomOrderIsAPermutationOfAtMostThirty) {
  TIETransitionRunState state;
  state.MakeRandomOrder(29);
  std::vector<bool> seen(30, false);
  for (int32_t i = 0; i < 30; ++i) seen[static_cast<size_t>(state.RandomOrderItem(i))] = true;
  EXPECT_EQ(std::count(seen.begin(), seen.end(), true), 30);
  try {
    state.MakeRandomOrder(30);
    ADD_FAILURE() << "thirty-one entries";
  } catch (const EIEException& e) {
    EXPECT_EQ(std::string(e.what()), "Too large for random array");
  }
}

// ---- through the engine ----------------------------------------------------------------------

class TransitionStepsEngineTest : public TransitionTest {
protected:
  void Start(TIETransitionEffects& e, TIETransitionType kind, int32_t w, int32_t h) {
    e.PrepareBitmaps(w, h);
    Paint(e.StartBitmap(), Flat({10, 40, 200}));
    Paint(e.EndBitmap(), [](int32_t x, int32_t y) { return TRGB{static_cast<uint8_t>(x), static_cast<uint8_t>(y), 249}; });
    e.Transition = kind;
    e.Run(false);
    e.TimerTick();
  }
  static void DrawAt(TIETransitionEffects& e, int32_t step) {
    e.SetCurrentStep(step);
    e.DrawStep(nullptr);
  }
  // The band order a random-band frame shows: which rows show the new picture.
  static std::string NewRows(TIETransitionEffects& e) {
    std::string s;
    for (int32_t y = 0; y < e.FrameHeight(); ++y) s += Pixel(e.CurrentBitmap(), 0, y).r == 249 ? '#' : '.';
    return s;
  }
};

// Two views animating at once keep their own band orders: a run started
// meanwhile neither reorders the bands of the first nor shares its order.
TEST_F(TransitionStepsEngineTest, EachEngineKeepsItsOwnBandOrder) {
  TIETransitionEffects other(view);
  Start(*engine, iettRectanglesFromTheLeft, 48, 48);
  DrawAt(*engine, 128);  // one band and a half
  const std::string before = NewRows(*engine);
  nowMs += 12345;  // another clock reading
  Start(other, iettRectanglesFromTheLeft, 48, 48);
  DrawAt(other, 128);
  EXPECT_NE(before, NewRows(other)) << "another clock reading, another order";
  DrawAt(*engine, 300);  // three bands and a half, in the first run's order
  const std::string after = NewRows(*engine);
  for (size_t y = 0; y < before.size(); ++y)
    if (before[y] == '#') {
      EXPECT_EQ(after[y], '#') << "row " << y << " of " << after;
    }
  other.Stop();
}

// The pac-man mouth phase follows each engine's own clock of changes.
TEST_F(TransitionStepsEngineTest, EachEngineKeepsItsOwnMouth) {
  TIETransitionEffects other(view);
  const auto frameAt = [&](TIETransitionEffects& e, int32_t step) {
    DrawAt(e, step);
    return FrameBytes(e);
  };
  Start(*engine, iettPacmanFromLeft, 64, 40);
  const auto wide = frameAt(*engine, 512);  // phase 0 on the first call
  nowMs += 150;
  const auto half = frameAt(*engine, 512);  // phase 1
  EXPECT_NE(wide, half);
  Start(other, iettPacmanFromLeft, 64, 40);  // starts its own mouth at phase 0
  frameAt(other, 512);
  EXPECT_EQ(frameAt(*engine, 512), half) << "the other run reset this one's mouth";
  other.Stop();
}

// The random cells borrow the generator and give its seed back.
TEST_F(TransitionStepsEngineTest, RandomCellsGiveTheSeedBack) {
  for (const TIETransitionType kind : {iettRandomBigBoxes, iettRandomHearts, iettRandomPuzzlePieces, iettRandomWord}) {
    Start(*engine, kind, 64, 40);
    RandSeed = 1234;
    DrawAt(*engine, 512);
    EXPECT_EQ(RandSeed, 1234) << kind;
    engine->Stop();
  }
}

// Small frames: the random shapes still advance their grid; random boxes with
// the word reveal nothing while no box is taken.
TEST_F(TransitionStepsEngineTest, RandomCellsOnSmallFrames) {
  for (const TIETransitionType kind : {iettRandomHearts, iettRandomStar5s, iettRandomExplosions, iettRandomWord}) {
    Start(*engine, kind, 20, 12);
    DrawAt(*engine, 900);
    engine->Stop();
  }
  Start(*engine, iettRandomBoxesWithWord, 64, 40);
  DrawAt(*engine, 3);  // 0 percent: no box
  for (int32_t y = 0; y < 40; ++y)
    for (int32_t x = 0; x < 64; ++x) ASSERT_EQ(Pixel(engine->CurrentBitmap(), x, y).r, 200) << x << "," << y;
}

}  // namespace
