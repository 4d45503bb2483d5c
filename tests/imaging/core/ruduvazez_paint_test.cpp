// The frame and shadow painters, checked at probe points of a 24-bit bitmap.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_startup.h"
#include "platform/rtl/dynlib.h"

namespace {

constexpr uint8_t kGrey = 200;
constexpr TColor kBackground = static_cast<TColor>(RGB(kGrey, kGrey, kGrey));

// A 30 x 30 bitmap filled with grey 200.
std::unique_ptr<TBitmap> GreyBitmap(TPixelFormat format = pf24bit) {
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetPixelFormat(format);
  bitmap->SetSize(30, 30);
  bitmap->Canvas()->Brush()->SetColor(kBackground);
  bitmap->Canvas()->FillRect(RECT{0, 0, 30, 30});
  return bitmap;
}

TColor Grey(uint8_t level) { return static_cast<TColor>(RGB(level, level, level)); }

struct Probe {
  int x, y;
  TColor color;
};

void ExpectProbes(TBitmap& bitmap, const std::vector<Probe>& probes, const char* what) {
  for (const Probe& p : probes)
    EXPECT_EQ(bitmap.Canvas()->Pixels(p.x, p.y), p.color) << what << " at (" << p.x << ", " << p.y << ")";
}

TEST(Painters, ThreeDFrameDrawsTwoColoursInCopyMode) {
  auto bitmap = GreyBitmap();
  TCanvas* canvas = bitmap->Canvas();
  canvas->Pen()->SetMode(pmNot);  // the frame sets its own pen
  canvas->Pen()->SetWidth(3);
  canvas->Pen()->SetStyle(psDot);
  IEDraw3DFrame(canvas, 2, 3, 12, 10, clRed, clBlue);
  ExpectProbes(*bitmap,
               {{2, 3, clRed},      {2, 6, clRed},       {7, 3, clRed},     {11, 3, clRed},
                {2, 10, clBlue},    {7, 10, clBlue},     {12, 10, clBlue},  {12, 4, clBlue},
                {12, 3, kBackground} /* both lines end short of the top-right corner */,
                {7, 6, kBackground}, {1, 3, kBackground}, {2, 11, kBackground}, {13, 10, kBackground}},
               "frame");
}

// The soft strip beside an image: column f of a strip of width w is
// multiplied by exp(-0.1 - r^2 / 6), r = (w - f) / (w / 3); for w = 6 the
// nearest column keeps 0.2019 (200 -> 40), the third 0.4646 (92), the fourth
// 0.6219 (124), the farthest 0.8679 (173).
TEST(Painters, SoftShadowStripsDarkenTheirColumnsAndRows) {
  struct Case {
    const char* name;
    bool right;
    bool throughCanvas;
    std::vector<Probe> probes;
    TPixelFormat format = pf24bit;
  };
  // Right strip x 10..15 beside rows 5..20: column f runs over rows 11 .. 17 + f.
  const std::vector<Probe> right = {{10, 11, Grey(40)},     {10, 17, Grey(40)},     {10, 10, kBackground},
                                    {10, 18, kBackground}, {15, 11, Grey(173)},    {15, 22, Grey(173)},
                                    {15, 23, kBackground}, {12, 19, Grey(92)},    {16, 15, kBackground},
                                    {9, 15, kBackground}};
  // The bottom strip y 10..15 below columns 5..20: the same with x and y exchanged.
  std::vector<Probe> bottom;
  for (const Probe& p : right) bottom.push_back(Probe{p.y, p.x, p.color});
  const Case cases[] = {{"right, bitmap rows", true, false, right},
                        {"right, canvas pixels", true, true, right},
                        {"bottom, bitmap rows", false, false, bottom},
                        {"bottom, canvas pixels", false, true, bottom},
                        {"right, 32-bit bitmap through the canvas", true, false, right, pf32bit}};
  for (const Case& c : cases) {
    auto bitmap = GreyBitmap(c.format);
    TBitmap* target = c.throughCanvas ? nullptr : bitmap.get();
    if (c.right)
      IEDrawRightShadow(bitmap->Canvas(), target, 10, 5, 15, 20, 2, kBackground);
    else
      IEDrawBottomShadow(bitmap->Canvas(), target, 5, 10, 20, 15, 2, kBackground);
    ExpectProbes(*bitmap, c.probes, c.name);
  }
}

TEST(Painters, SoftShadowPastTheBitmapEdgeChangesOnlyItsPixels) {
  auto bitmap = GreyBitmap();
  IEDrawRightShadow(bitmap->Canvas(), bitmap.get(), 26, 10, 31, 40, 2, kBackground);
  ExpectProbes(*bitmap, {{26, 16, Grey(40)}, {29, 29, Grey(124)}, {25, 20, kBackground}}, "clipped strip");
}

TEST(Painters, BrushStripAndUnknownKinds) {
  auto bitmap = GreyBitmap();
  bitmap->Canvas()->Brush()->SetColor(clRed);
  IEDrawRightShadow(bitmap->Canvas(), bitmap.get(), 10, 5, 15, 20, 1, kBackground);
  ExpectProbes(*bitmap,
               {{10, 11, clRed}, {15, 20, clRed}, {10, 10, kBackground}, {16, 20, kBackground}, {15, 21, kBackground}},
               "right brush strip");
  IEDrawBottomShadow(bitmap->Canvas(), bitmap.get(), 0, 24, 8, 26, 1, kBackground);
  ExpectProbes(*bitmap, {{3, 24, clRed}, {8, 26, clRed}, {2, 25, kBackground}, {9, 25, kBackground}},
               "bottom brush strip");

  auto untouched = GreyBitmap();
  for (int kind : {0, 4, 7}) {
    IEDrawRightShadow(untouched->Canvas(), untouched.get(), 10, 5, 15, 20, kind, kBackground);
    IEDrawBottomShadow(untouched->Canvas(), untouched.get(), 5, 10, 20, 15, kind, kBackground);
  }
  ExpectProbes(*untouched, {{10, 11, kBackground}, {15, 22, kBackground}, {11, 10, kBackground}}, "other kinds");
}

// The gradient strip: grey exp(ratio - 1) x 255, truncated: 255 for ratio 1
// and 93 for ratio 0. Across the strip the level falls from the image
// outward; along it, it rises over the first strip width from the start.
TEST(Painters, GradientStripsLightenOutwardAndDarkenTowardTheirEnd) {
  for (bool right : {true, false}) {
    auto bitmap = GreyBitmap();
    // Right strip x 10..15 beside rows 5..20 (painted from row 11 to 20); the
    // bottom strip is the same with x and y exchanged.
    if (right)
      IEDrawRightShadow(bitmap->Canvas(), nullptr, 10, 5, 15, 20, 3, kBackground);
    else
      IEDrawBottomShadow(bitmap->Canvas(), nullptr, 5, 10, 20, 15, 3, kBackground);
    // level(across, along): across 0..5 from the image, along 0..9 from the strip's start.
    const auto level = [&](int across, int along) {
      const TColor color = right ? bitmap->Canvas()->Pixels(10 + across, 11 + along)
                                 : bitmap->Canvas()->Pixels(11 + along, 10 + across);
      EXPECT_EQ(GetRValue(color), GetBValue(color));
      return static_cast<int>(GetGValue(color));
    };
    const char* name = right ? "right" : "bottom";
    // At the start only the across profile counts: 93 beside the image, 255 outermost.
    EXPECT_EQ(level(0, 0), 93) << name;
    EXPECT_EQ(level(5, 0), 255) << name;
    for (int across = 1; across < 6; ++across) EXPECT_GT(level(across, 0), level(across - 1, 0)) << name;
    // Toward the end every column darkens, down to 93 all across.
    for (int across = 0; across < 6; ++across) {
      for (int along = 1; along < 10; ++along) EXPECT_LE(level(across, along), level(across, along - 1)) << name;
      EXPECT_EQ(level(across, 9), 93) << name;
    }
    EXPECT_LT(level(5, 5), level(5, 0)) << name;
    // Nothing before the start, past the end or beyond the strip's outer edge.
    std::vector<Probe> outside = {{10, 10, kBackground}, {15, 10, kBackground}, {12, 21, kBackground},
                                  {16, 15, kBackground}, {9, 15, kBackground}};
    if (!right)
      for (Probe& p : outside) std::swap(p.x, p.y);
    ExpectProbes(*bitmap, outside, name);
  }
}

// ---- soft shadow around a rectangle ----------------------------------------------------

// A bitmap of the given size, every pixel (x, y) in a pattern of its own.
std::unique_ptr<TBitmap> PatternBitmap(int width, int height, int shift = 0) {
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetPixelFormat(pf24bit);
  bitmap->SetSize(width, height);
  for (int y = 0; y < height; ++y) {
    auto* row = static_cast<uint8_t*>(bitmap->ScanLine(y));
    for (int x = 0; x < width * 3; ++x)
      row[x] = static_cast<uint8_t>(150 + ((x - shift * 3) * 7 + (y - shift) * 13) % 100);
  }
  return bitmap;
}

uint8_t Byte(TBitmap& bitmap, int x, int y, int channel) {
  return static_cast<uint8_t*>(bitmap.ScanLine(y))[x * 3 + channel];
}

TEST(SoftShadowAround, DarkensOnlyTheFivePixelMargin) {
  auto bitmap = GreyBitmap();
  auto original = GreyBitmap();
  IEDrawSoftShadowAround(bitmap.get(), 10, 8, 19, 21);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 30; ++x) {
      const int dx = x < 10 ? 10 - x : (x > 19 ? x - 19 : 0);
      const int dy = y < 8 ? 8 - y : (y > 21 ? y - 21 : 0);
      const int level = Byte(*bitmap, x, y, 1);
      if (dx == 0 && dy == 0)
        EXPECT_EQ(level, kGrey) << "inside at " << x << ", " << y;
      else if (dx > 5 || dy > 5)
        EXPECT_EQ(level, kGrey) << "beyond the margin at " << x << ", " << y;
      else if (dx == 0 || dy == 0)
        EXPECT_LT(level, kGrey) << "margin beside an edge at " << x << ", " << y;
      else  // the far corners of the margin may stay as they are
        EXPECT_LE(level, kGrey) << "margin corner at " << x << ", " << y;
    }
  // Beside the middle of each edge the shadow fades outward; it is deepest
  // next to the rectangle and faintest 5 pixels out.
  for (int d = 1; d < 5; ++d) {
    EXPECT_LT(Byte(*bitmap, 19 + d, 15, 0), Byte(*bitmap, 20 + d, 15, 0)) << d;
    EXPECT_LT(Byte(*bitmap, 10 - d, 15, 0), Byte(*bitmap, 9 - d, 15, 0)) << d;
    EXPECT_LT(Byte(*bitmap, 15, 8 - d, 0), Byte(*bitmap, 15, 7 - d, 0)) << d;
    EXPECT_LT(Byte(*bitmap, 15, 21 + d, 0), Byte(*bitmap, 15, 22 + d, 0)) << d;
  }
  // Next to an edge about half the light is left (the blurred mask is near
  // 127 there); corners are lighter than edges.
  EXPECT_NEAR(Byte(*bitmap, 20, 15, 2), kGrey / 2, 25);
  EXPECT_GT(Byte(*bitmap, 20, 22, 2), Byte(*bitmap, 20, 15, 2));
  // Channels are scaled alike.
  EXPECT_EQ(Byte(*bitmap, 22, 12, 0), Byte(*bitmap, 22, 12, 2));
}

// Rectangles at and past the bitmap's edges change only pixels of the bitmap,
// exactly as the same rectangle shifted into the middle of a larger bitmap.
TEST(SoftShadowAround, RectanglesNearTheBorderStayInsideTheBitmap) {
  struct Case {
    int x1, y1, x2, y2;
  };
  const int size = 24, pad = 12;
  for (const Case& c : {Case{0, 0, 6, 6}, Case{-4, 3, 2, 20}, Case{17, 18, 26, 27}, Case{3, -6, 20, -1},
                        Case{-10, -10, 30, 12}, Case{24, 5, 29, 9}, Case{2, 2, 2, 2}}) {
    auto small = PatternBitmap(size, size);
    auto large = PatternBitmap(size + 2 * pad, size + 2 * pad, pad);
    IEDrawSoftShadowAround(small.get(), c.x1, c.y1, c.x2, c.y2);
    IEDrawSoftShadowAround(large.get(), c.x1 + pad, c.y1 + pad, c.x2 + pad, c.y2 + pad);
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x)
        for (int ch = 0; ch < 3; ++ch)
          ASSERT_EQ(Byte(*small, x, y, ch), Byte(*large, x + pad, y + pad, ch))
              << "rectangle " << c.x1 << ", " << c.y1 << ", " << c.x2 << ", " << c.y2 << " at " << x << ", " << y;
  }
}

TEST(SoftShadowAround, HugeRectanglesAndOtherBitmapsChangeNothingTheyShouldNot) {
  // Reaching far past the bitmap: the bitmap's pixels come out as for a
  // rectangle that ends a little past it.
  auto huge = PatternBitmap(30, 30);
  auto modest = PatternBitmap(30, 30);
  IEDrawSoftShadowAround(huge.get(), -2000000000, -2000000000, 2000000000, 14);
  IEDrawSoftShadowAround(modest.get(), -40, -40, 70, 14);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 30; ++x) ASSERT_EQ(Byte(*huge, x, y, 1), Byte(*modest, x, y, 1)) << x << ", " << y;

  // Covering the whole bitmap, 6 pixels or more away, corners swapped, or
  // a bitmap of another format: nothing changes.
  struct Case {
    int x1, y1, x2, y2;
    TPixelFormat format;
  };
  for (const Case& c : {Case{-1, -1, 30, 30, pf24bit}, Case{-20, 0, -6, 29, pf24bit}, Case{5, 35, 9, 40, pf24bit},
                        Case{20, 5, 10, 15, pf24bit}, Case{10, 10, 20, 20, pf32bit}}) {
    auto bitmap = GreyBitmap(c.format);
    IEDrawSoftShadowAround(bitmap.get(), c.x1, c.y1, c.x2, c.y2);
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 30; ++x)
        ASSERT_EQ(bitmap->Canvas()->Pixels(x, y), kBackground)
            << "rectangle " << c.x1 << ", " << c.y1 << ", " << c.x2 << ", " << c.y2 << " at " << x << ", " << y;
  }
  IEDrawSoftShadowAround(nullptr, 0, 0, 5, 5);
}

}  // namespace

namespace {

// Red at the top, blue at the bottom; across, every column alike.
TEST(GradientFill, FillsFromTheFirstColourToTheSecond) {
  auto bitmap = GreyBitmap();
  ASSERT_TRUE(IEGradientFillRect(RECT{0, 0, 30, 30}, bitmap->Canvas()->Handle(), clRed, true, clBlue));
  const auto* top = static_cast<const uint8_t*>(bitmap->ScanLine(0));
  const auto* bottom = static_cast<const uint8_t*>(bitmap->ScanLine(29));
  EXPECT_GE(top[2], 240);
  EXPECT_LE(top[0], 15);
  EXPECT_GE(bottom[0], 240);
  EXPECT_LE(bottom[2], 15);
  EXPECT_EQ(top[2], top[3 * 29 + 2]);
  // Without the module there is nothing to draw with.
  IEFreeGradientFill();
  UnregisterBuiltinLibrary("msimg32.dll");
  EXPECT_FALSE(IEGradientFillRect(RECT{0, 0, 30, 30}, bitmap->Canvas()->Handle(), clRed, false, clBlue));
  RegisterBuiltinLibrary("msimg32.dll", {{"AlphaBlend", reinterpret_cast<void*>(&AlphaBlend)},
                                         {"GradientFill", reinterpret_cast<void*>(&GradientFill)},
                                         {"TransparentBlt", reinterpret_cast<void*>(&TransparentBlt)}});
  IEFreeGradientFill();
}

}  // namespace
