// The kinds the engine draws itself, checked as one table: the first frame is
// the old picture, the last the new one, every pixel in between comes from
// the two pictures, and tiny frames draw without fault.
#include <gtest/gtest.h>

#include <cstdlib>
#include <initializer_list>
#include <utility>
#include <string>
#include <vector>

#include "imaging/core/iesettings.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "platform/rtl/system.h"
#include "tests/imaging/view/transition_test_support.h"

namespace {

// How a kind may colour a frame besides blends of the two pictures.
enum Extra : uint8_t {
  kNone,
  kBackground,  // passes through the background colour
  kEdgeLine,    // the wipes' red (grey with the alternative drawing) edge line
  kFold,        // shading toward the background and the page flips' black fold
};

// Whether the frame at step 1024 already shows all of the new picture.
enum Completeness : uint8_t {
  kComplete,
  kEvenWidths,  // two half pages leave the last column of an odd width to the picture after the run
  kGaps,        // random copies leave gaps
};

struct Kind {
  TIETransitionType kind;
  Extra extra;
  bool startsOnBackground;  // the frame at 0 is the background, not the old picture
  bool endsOnBackground;    // the frame at 1024 is the background, not the new picture
  Completeness complete = kComplete;
};

const Kind kKinds[] = {
    {iettCrossDissolve, kNone, false, false},      {iettFadeOut, kBackground, false, true},
    {iettFadeIn, kBackground, true, false},       {iettFadeOutIn, kBackground, false, false},
    {iettLeftRight1, kNone, false, false},         {iettLeftRight2, kEdgeLine, false, false},
    {iettRightLeft1, kNone, false, false},         {iettRightLeft2, kEdgeLine, false, false},
    {iettUpDown1, kNone, false, false},            {iettUpDown2, kEdgeLine, false, false},
    {iettDownUp1, kNone, false, false},            {iettDownUp2, kEdgeLine, false, false},
    {iettFromUpLeft, kNone, false, false},         {iettFromUpRight, kNone, false, false},
    {iettFromBottomLeft, kNone, false, false},     {iettFromBottomRight, kNone, false, false},
    {iettMoveLeftRight1, kNone, false, false},     {iettMoveLeftRight2, kNone, false, false},
    {iettMoveRightLeft1, kNone, false, false},     {iettMoveRightLeft2, kNone, false, false},
    {iettMoveUpDown1, kNone, false, false},        {iettMoveUpDown2, kNone, false, false},
    {iettMoveDownUp1, kNone, false, false},        {iettMoveDownUp2, kNone, false, false},
    {iettRandomPoints, kNone, false, false, kGaps}, {iettRandomBoxes, kNone, false, false, kGaps},
    {iettCenter1, kNone, false, false},            {iettCenter2, kNone, false, false},
    {iettCenterZoom1, kNone, false, false},        {iettCenterZoom2, kNone, false, false},
    {iettSoftWipeFromLeft, kNone, false, false},   {iettSoftWipeFromRight, kNone, false, false},
    {iettSoftWipeFromTop, kNone, false, false},    {iettSoftWipeFromBottom, kNone, false, false},
    {iettCubeRotateFromLeft, kFold, false, false}, {iettCubeRotateFromRight, kFold, false, false},
    {iettCubeRotateFromTop, kFold, false, false},  {iettCubeRotateFromBottom, kFold, false, false},
    {iettPageFlip, kFold, false, false, kEvenWidths}, {iettReversePageFlip, kFold, false, false, kEvenWidths},
    {iettPageFlip2, kFold, false, false, kEvenWidths}, {iettReversePageFlip2, kFold, false, false, kEvenWidths},
    {iettCubeRotateFromLeft2, kFold, false, false}, {iettCubeRotateFromRight2, kFold, false, false},
    {iettCubeRotateFromTop2, kFold, false, false},  {iettCubeRotateFromBottom2, kFold, false, false},
};

const TRGB kOld{10, 40, 200}, kNew{90, 180, 20}, kBack{230, 70, 60};  // blue, green, red; no three on a line
const TColor kBackColor = 60 | (70 << 8) | (230 << 16);
const TRGB kRed{0, 0, 255}, kGrey{128, 128, 128}, kBlack{0, 0, 0};

// Each pixel's coordinates in its colour, the two pictures apart.
TRGB codedOld(int32_t x, int32_t y) { return {static_cast<uint8_t>(x), static_cast<uint8_t>(y), 7}; }
TRGB codedNew(int32_t x, int32_t y) { return {static_cast<uint8_t>(x), static_cast<uint8_t>(y), 249}; }

// True when c lies on the segment a-b within one level per channel.
bool onSegment(TRGB c, TRGB a, TRGB b) {
  const int32_t d[3] = {b.b - a.b, b.g - a.g, b.r - a.r};
  const int32_t p[3] = {c.b - a.b, c.g - a.g, c.r - a.r};
  const double len = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
  double t = len > 0 ? (p[0] * d[0] + p[1] * d[1] + p[2] * d[2]) / len : 0;
  t = t < 0 ? 0 : (t > 1 ? 1 : t);
  for (int i = 0; i < 3; ++i)
    if (std::abs(p[i] - t * d[i]) > 1.0001) return false;
  return true;
}

class TransitionMethodsTest : public TransitionTest {
protected:
  void SetUp() override {
    TransitionTest::SetUp();
    savedAlt_ = IEGetGlobalSettings()->TransitionAltDrawing;
  }
  void TearDown() override {
    IEGetGlobalSettings()->TransitionAltDrawing = savedAlt_;
    TransitionTest::TearDown();
  }

  // Starts a run of kind and lets its first tick draw step 0.
  void Start(const Kind& k, int32_t width, int32_t height, const std::function<TRGB(int32_t, int32_t)>& before,
             const std::function<TRGB(int32_t, int32_t)>& after) {
    Prepare(width, height, before, after);
    engine->Transition = k.kind;
    engine->BackgroundColor = kBackColor;
    engine->Run(false);
    ASSERT_TRUE(engine->Running());
    engine->TimerTick();
  }
  void DrawAt(int32_t step) {
    engine->SetCurrentStep(step);
    engine->DrawStep(nullptr);
  }
  // The first pixel of the frame that fails ok, as text, or "".
  std::string FirstBadPixel(const std::function<bool(int32_t, int32_t, TRGB)>& ok) {
    TBitmap* frame = engine->CurrentBitmap();
    for (int32_t y = 0; y < engine->FrameHeight(); ++y)
      for (int32_t x = 0; x < engine->FrameWidth(); ++x) {
        const TRGB c = Pixel(frame, x, y);
        if (!ok(x, y, c))
          return "(" + std::to_string(x) + ", " + std::to_string(y) + ") = " + std::to_string(c.r) + "," +
                 std::to_string(c.g) + "," + std::to_string(c.b);
      }
    return "";
  }
  static bool edge(const Kind& k, TRGB c) {
    return (k.extra == kEdgeLine && (c == kRed || c == kGrey)) || (k.extra == kFold && c == kBlack);
  }
  // With the flat pictures: a blend of the two, or of one with the
  // background for the kinds that pass through it, or the edge line.
  static bool fromPictures(const Kind& k, TRGB c) {
    const bool viaBackground = onSegment(c, kOld, kBack) || onSegment(c, kBack, kNew);
    if (k.extra == kBackground) return viaBackground;
    // The 3D flips shade their spine toward the background, also where the fold lies on it.
    if (k.extra == kFold && (viaBackground || onSegment(c, kBlack, kBack))) return true;
    return onSegment(c, kOld, kNew) || edge(k, c);
  }

  // Calls check for every kind of the table at every size, with and without
  // the alternative drawing, naming the case.
  void ForEachCase(std::initializer_list<SIZE> sizes,
                   const std::function<void(const Kind&, SIZE, const std::string&)>& check) {
    for (const bool alt : {false, true})
      for (const SIZE size : sizes)
        for (const Kind& k : kKinds) {
          IEGetGlobalSettings()->TransitionAltDrawing = alt;
          check(k, size,
                std::string(IETransitionNames[k.kind - 1].Name) + (alt ? " alt " : " ") + std::to_string(size.cx) +
                    " x " + std::to_string(size.cy));
          engine->Stop();
        }
  }
  // The frame's bytes, row by row.
  std::vector<uint8_t> FrameBytes() {
    std::vector<uint8_t> bytes;
    for (int32_t y = 0; y < engine->FrameHeight(); ++y) {
      const auto* row = static_cast<const uint8_t*>(engine->CurrentBitmap()->ScanLine(y));
      bytes.insert(bytes.end(), row, row + engine->FrameWidth() * 3);
    }
    return bytes;
  }

  bool savedAlt_ = false;
};

TEST_F(TransitionMethodsTest, FirstFrameIsTheOldPictureAndLastTheNew) {
  ForEachCase({{96, 64}, {75, 41}}, [&](const Kind& k, SIZE size, const std::string& what) {
    Start(k, size.cx, size.cy, codedOld, codedNew);
    EXPECT_EQ(FirstBadPixel([&](int32_t x, int32_t y, TRGB c) {
                return c == (k.startsOnBackground ? kBack : codedOld(x, y)) || edge(k, c);
              }),
              "")
        << what << ": first frame";
    for (const int32_t step : {128, 384, 512, 640, 896, 1024}) DrawAt(step);
    if (k.complete == kComplete || (k.complete == kEvenWidths && size.cx % 2 == 0)) {
      EXPECT_EQ(FirstBadPixel([&](int32_t x, int32_t y, TRGB c) {
                  return c == (k.endsOnBackground ? kBack : codedNew(x, y)) || edge(k, c);
                }),
                "")
          << what << ": last frame";
    }
  });
}

TEST_F(TransitionMethodsTest, EveryPixelComesFromTheTwoPictures) {
  ForEachCase({{96, 64}, {75, 41}}, [&](const Kind& k, SIZE size, const std::string& what) {
    Start(k, size.cx, size.cy, Flat(kOld), Flat(kNew));
    for (const int32_t step : {128, 384, 512, 640, 896}) {
      DrawAt(step);
      EXPECT_EQ(FirstBadPixel([&](int32_t, int32_t, TRGB c) { return fromPictures(k, c); }), "")
          << what << " at step " << step;
    }
  });
}

// Frames of no, one or a few pixels at the steps where rounding bites.
TEST_F(TransitionMethodsTest, TinyFramesDrawWithoutFault) {
  ForEachCase({{0, 300}, {1, 300}, {300, 1}, {2, 2}, {3, 5}, {7, 3}},
              [&](const Kind& k, SIZE size, const std::string& what) {
                Start(k, size.cx, size.cy, Flat(kOld), Flat(kNew));
                for (const int32_t step : {0, 1, 5, 512, 1019, 1024}) {
                  DrawAt(step);
                  EXPECT_EQ(FirstBadPixel([&](int32_t, int32_t, TRGB c) { return fromPictures(k, c); }), "")
                      << what << " at " << step;
                }
              });
}

// The random kinds make as many copies by a step whatever frames led there,
// and with the same seed draw the same frames.
TEST_F(TransitionMethodsTest, RandomCopiesFollowTheStepNotTheFrameRate) {
  for (const TIETransitionType kind : {iettRandomPoints, iettRandomBoxes})
    for (const bool alt : {false, true}) {
      IEGetGlobalSettings()->TransitionAltDrawing = alt;
      const Kind k{kind, kNone, false, false, kGaps};
      const int32_t savedSeed = RandSeed;
      const auto runTo = [&](std::initializer_list<int32_t> steps) {
        RandSeed = 4711;
        Start(k, 64, 40, codedOld, codedNew);
        for (const int32_t step : steps) DrawAt(step);
        const std::pair<int32_t, std::vector<uint8_t>> result{RandSeed, FrameBytes()};
        engine->Stop();
        return result;
      };
      const auto oneFrame = runTo({1024});
      const auto manyFrames = runTo({100, 300, 301, 700, 1024});
      EXPECT_EQ(oneFrame.first, manyFrames.first) << kind << " alt " << alt << ": numbers drawn";
      EXPECT_EQ(manyFrames.second, runTo({100, 300, 301, 700, 1024}).second) << kind << " alt " << alt;
      RandSeed = savedSeed;
    }
}

// ---- pan/zoom: frames cut from a source picture ----------------------------------------

class PanZoomTest : public TransitionMethodsTest {
protected:
  void SetUp() override {
    TransitionMethodsTest::SetUp();
    view->SetBackground(static_cast<TIEColor>(kBackColor));
  }
  // A source of width x height, each pixel's coordinates in its colour.
  void MakeSource(int32_t width, int32_t height) {
    source.Allocate(width, height, ie24RGB);
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width; ++x) source.SetPixel24(x, y, codedOld(x, y));
  }
  void Start(int32_t width, int32_t height, TIEBitmap* from, RECT startRect, RECT endRect) {
    Prepare(width, height, codedOld, codedNew);
    engine->Transition = iettPanZoom;
    engine->BackgroundColor = kBackColor;
    engine->PanZoomSource = from;
    engine->StartRect = startRect;
    engine->EndRect = endRect;
    engine->Run(false);
    ASSERT_TRUE(engine->Running());
    engine->TimerTick();
  }
  // A pixel of the source (inside it) or the background.
  bool fromSource(TRGB c) {
    return c == kBack || (c.r == 7 && c.b < source.GetWidth() && c.g < source.GetHeight());
  }

  TIEBitmap source;
};

// The first frame shows the start rectangle, the last the end one; a
// rectangle reaching past the source is fitted inside the background.
TEST_F(PanZoomTest, FramesShowTheMovingRectangleOfTheSource) {
  MakeSource(48, 32);
  Start(48, 32, &source, {0, 0, 48, 32}, {12, 8, 36, 24});
  EXPECT_EQ(FirstBadPixel([&](int32_t x, int32_t y, TRGB c) { return c == codedOld(x, y); }), "") << "first frame";
  for (const int32_t step : {128, 384, 512, 640, 896}) {
    DrawAt(step);
    EXPECT_EQ(FirstBadPixel([&](int32_t, int32_t, TRGB c) { return c != kBack && fromSource(c); }), "") << step;
  }
  DrawAt(1024);
  EXPECT_EQ(FirstBadPixel([&](int32_t x, int32_t y, TRGB c) { return c == codedOld(12 + x / 2, 8 + y / 2); }), "")
      << "last frame";
  engine->Stop();

  // Clamped to 24 x 32: twice the size, centred between bands of background.
  Start(96, 64, &source, {0, -8, 24, 40}, {0, 0, 48, 32});
  EXPECT_EQ(FirstBadPixel([&](int32_t x, int32_t y, TRGB c) {
              return x < 24 || x >= 72 ? c == kBack : c == codedOld((x - 24) / 2, y / 2);
            }),
            "")
      << "clamped";
  DrawAt(1024);
  EXPECT_EQ(FirstBadPixel([&](int32_t x, int32_t y, TRGB c) { return c == codedOld(x / 2, y / 2); }), "");
}

// Nothing to show paints the background, on any frame and at any step.
TEST_F(PanZoomTest, NothingToShowPaintsTheBackground) {
  MakeSource(48, 32);
  TIEBitmap empty;
  const struct {
    const char* what;
    TIEBitmap* from;
    RECT startRect, endRect;
  } cases[] = {
      {"no source", nullptr, {0, 0, 48, 32}, {12, 8, 36, 24}},
      {"empty source", &empty, {0, 0, 48, 32}, {12, 8, 36, 24}},
      {"empty rectangles", &source, {10, 10, 10, 20}, {20, 5, 20, 30}},
      {"inverted rectangles", &source, {30, 20, 10, 5}, {40, 30, 0, 0}},
  };
  for (const auto& c : cases)
    for (const SIZE size : std::initializer_list<SIZE>{{96, 64}, {0, 300}, {1, 300}, {300, 1}, {3, 5}}) {
      Start(size.cx, size.cy, c.from, c.startRect, c.endRect);
      for (const int32_t step : {0, 1, 512, 1024}) {
        DrawAt(step);
        EXPECT_EQ(FirstBadPixel([&](int32_t, int32_t, TRGB p) { return p == kBack; }), "")
            << c.what << " " << size.cx << " x " << size.cy << " at " << step;
      }
      engine->Stop();
    }
}

// Frames of no, one or a few pixels, rectangles inside and past the source.
TEST_F(PanZoomTest, TinyFramesDrawWithoutFault) {
  MakeSource(5, 3);
  for (const RECT endRect : {RECT{1, 1, 4, 2}, RECT{-3, -9, 40, 2}, RECT{4, 2, 5, 3}})
    for (const SIZE size : std::initializer_list<SIZE>{{0, 300}, {1, 300}, {300, 1}, {2, 2}, {3, 5}, {7, 3}}) {
      Start(size.cx, size.cy, &source, {0, 0, 5, 3}, endRect);
      for (const int32_t step : {0, 1, 5, 512, 1019, 1024}) {
        DrawAt(step);
        EXPECT_EQ(FirstBadPixel([&](int32_t, int32_t, TRGB p) { return fromSource(p); }), "")
            << size.cx << " x " << size.cy << " to " << endRect.left << "," << endRect.top << " at " << step;
      }
      engine->Stop();
    }
}

}  // namespace
