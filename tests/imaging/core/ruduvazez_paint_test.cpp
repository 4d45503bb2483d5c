// The frame and shadow painters, checked at probe points of a 24-bit bitmap.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "imaging/core/ruduvazez.h"

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
  for (int kind : {0, 3, 7}) {
    IEDrawRightShadow(untouched->Canvas(), untouched.get(), 10, 5, 15, 20, kind, kBackground);
    IEDrawBottomShadow(untouched->Canvas(), untouched.get(), 5, 10, 20, 15, kind, kBackground);
  }
  ExpectProbes(*untouched, {{10, 11, kBackground}, {15, 22, kBackground}, {11, 10, kBackground}}, "other kinds");
}

}  // namespace
