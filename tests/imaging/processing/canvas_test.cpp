// The 3 x 3 convolution, alpha bounds and cropping to them, histogram
// matching and the soft shadow around a rectangle.
#include <gtest/gtest.h>

#include <random>

#include "imaging/processing/imageryproc_canvas.h"
#include "imaging/processing/imageryproc_component.h"

namespace {

TEST(ConvolveTest, BlurPresetIncludesTheRectanglesEnds) {
  TIEBitmap plane(5, 4, ie8g);
  plane.Fill(0);
  plane.SetPixel8(4, 3, 90);
  IEConvolve3x3Gray8(&plane, IEFilterPresets[1], 0, 0, 5, 4);
  EXPECT_EQ(plane.GetPixel8(4, 3), 40);  // the corner repeats: 4 x 90 div 9
  EXPECT_EQ(plane.GetPixel8(3, 2), 10);
  EXPECT_EQ(plane.GetPixel8(0, 0), 0);
  // Edges: the absolute value; outside the rectangle nothing changes.
  TIEBitmap step(4, 1, ie8g);
  for (int32_t x = 0; x < 4; ++x) step.SetPixel8(x, 0, x < 2 ? 0 : 30);
  IEConvolve3x3Gray8(&step, IEFilterPresets[2], 1, 0, 3, 1);
  EXPECT_EQ(step.GetPixel8(1, 0), 90);
  EXPECT_EQ(step.GetPixel8(2, 0), 90);
  EXPECT_EQ(step.GetPixel8(3, 0), 30);
}

TEST(ConvolveTest, PresetListsGrowAndStartAgain) {
  IEInitFilterPresets();
  ASSERT_EQ(IEFilterPresets.size(), 9u);
  EXPECT_EQ(IEFilterPresetNames[8], "Low Pass 2");
  EXPECT_EQ(IEFilterPresets[0].Divisor, 0);
  EXPECT_EQ(IEGetFilterPresetName(9), "");
  EXPECT_EQ(IEGetFilterPresetName(-1), "");
  EXPECT_EQ(IEAddFilterPreset({{0, 0, 0, 0, 2, 0, 0, 0, 0}, 1}, "Double"), 9);
  EXPECT_EQ(IEFilterPresetNames[9], "Double");
  IEImageryProcFinalize();
  EXPECT_TRUE(IEFilterPresets.empty());
  EXPECT_TRUE(IEFilterPresetNames.empty());
  IEImageryProcInitialize();
  EXPECT_EQ(IEFilterPresets.size(), 9u);
  EXPECT_NE(IERawClipboardFormat, 0u);
}

TEST(RoundCornersTest, CornersGoTransparentAndTheCentreStays) {
  TIEBitmap thumb(64, 64, ie24RGB);
  thumb.Fill(0x808080);
  IERoundCorners(&thumb, 0, 8);
  EXPECT_FALSE(thumb.HasAlphaChannel());
  IERoundCorners(&thumb, 8, 8);
  ASSERT_TRUE(thumb.HasAlphaChannel());
  for (auto [x, y] : {std::pair{0, 0}, {63, 0}, {0, 63}, {63, 63}, {1, 1}, {62, 62}})
    EXPECT_EQ(thumb.GetAlphaPixel(x, y), 0) << x << "," << y;
  for (auto [x, y] : {std::pair{32, 32}, {32, 0}, {0, 32}, {63, 32}, {32, 63}, {8, 8}, {55, 55}})
    EXPECT_EQ(thumb.GetAlphaPixel(x, y), 255) << x << "," << y;
  // Symmetric left-right.
  for (int32_t y = 0; y < 64; ++y)
    for (int32_t x = 0; x < 32; ++x) ASSERT_EQ(thumb.GetAlphaPixel(x, y), thumb.GetAlphaPixel(63 - x, y));
  EXPECT_FALSE(thumb.GetAlphaChannel()->FullFlag());
  // Radii beyond a tiny image stay inside it.
  TIEBitmap tiny(2, 2, ie8g);
  IERoundCorners(&tiny, 50, 50);
  EXPECT_EQ(tiny.GetAlphaPixel(0, 0), 0);
}

TEST(AlphaBoundsTest, BoundsAndCrop) {
  TIEBitmap bitmap(8, 6, ie24RGB);
  bitmap.Fill(0x112233);
  EXPECT_EQ(IEGetAlphaBounds(&bitmap).right, 7);
  for (int32_t y = 0; y < 6; ++y)
    for (int32_t x = 0; x < 8; ++x) bitmap.SetAlphaPixel(x, y, x >= 2 && x <= 4 && y >= 1 && y <= 3 ? 200 : 0);
  const RECT bounds = IEGetAlphaBounds(&bitmap);
  EXPECT_EQ(bounds.left, 2);
  EXPECT_EQ(bounds.top, 1);
  EXPECT_EQ(bounds.right, 4);
  EXPECT_EQ(bounds.bottom, 3);
  TImageryProc proc(nullptr);
  proc.SetAttachedBitmap(&bitmap);
  proc.AutoUndo = true;
  proc.CropToAlphaBounds();
  EXPECT_EQ(bitmap.GetWidth(), 3);
  EXPECT_EQ(bitmap.GetHeight(), 3);
  EXPECT_EQ(proc.UndoCount(), 0);
  EXPECT_EQ(bitmap.GetAlphaPixel(0, 0), 200);
  bitmap.GetAlphaChannel()->Fill(0);
  EXPECT_EQ(IEGetAlphaBounds(&bitmap).right, -1);
}

TEST(MatchHistogramTest, TakesTheReferencesTones) {
  TIEBitmap reference(16, 16, ie24RGB), image(16, 16, ie24RGB);
  for (int32_t y = 0; y < 16; ++y)
    for (int32_t x = 0; x < 16; ++x) {
      const uint8_t v = uint8_t(y * 16 + x);
      reference.SetPixel24(x, y, TRGB{uint8_t(v / 2 + 100), uint8_t(v / 2 + 100), uint8_t(v / 2 + 100)});
      image.SetPixel24(x, y, TRGB{v, v, v});
    }
  IEMatchHistogram(&reference, &image);
  // The middle grey lands in the middle of the reference's range, the top on its top.
  EXPECT_EQ(image.GetPixel24(0, 8).g, 163);
  EXPECT_EQ(image.GetPixel24(15, 15).g, 227);
  // One channel of a 48-bit image: multiples of 257; an empty reference changes nothing.
  TIEBitmap deep(4, 1, ieRGB48);
  for (int32_t x = 0; x < 4; ++x) deep.SetPixel48(x, 0, {2560, 7, 7});  // level 10 everywhere
  std::array<int64_t, 256> flat{};
  flat[200] = 4;
  IEMatchChannelHistogram(&deep, 1, flat, 0);
  EXPECT_EQ(deep.GetPixel48(0, 0)[1], 7);
  IEMatchChannelHistogram(&deep, 2, flat, 4);
  for (int32_t x = 0; x < 4; ++x) EXPECT_EQ(deep.GetPixel48(x, 0)[0], 200 * 257);
  EXPECT_EQ(deep.GetPixel48(0, 0)[1], 7);
}

TEST(SoftShadowTest, SigmaZeroShadowIsSymmetric) {
  TIEBitmap bitmap(21, 21, ie24RGB);
  bitmap.Fill(0xFFFFFF);
  for (int32_t y = 0; y < 21; ++y)
    for (int32_t x = 0; x < 21; ++x) bitmap.SetAlphaPixel(x, y, x >= 8 && x <= 12 && y >= 8 && y <= 12 ? 255 : 0);
  const int32_t margin = IEAddSoftShadowRect(&bitmap, 0, 0, 0, 100, 0, 8, 8, 12, 12);
  EXPECT_EQ(margin, 10);  // the margin of sigma 2
  // The blur reached the last row and column of its rectangle as the first ones.
  for (int32_t d = 0; d <= 10; ++d) {
    EXPECT_EQ(bitmap.GetAlphaPixel(10 - d, 10), bitmap.GetAlphaPixel(10 + d, 10)) << d;
    EXPECT_EQ(bitmap.GetAlphaPixel(10, 10 - d), bitmap.GetAlphaPixel(10, 10 + d)) << d;
  }
  EXPECT_GT(bitmap.GetAlphaPixel(13, 10), 0);
  EXPECT_EQ(bitmap.GetPixel24(13, 10), (TRGB{0, 0, 0}));     // the shadow colour
  EXPECT_EQ(bitmap.GetPixel24(10, 10), (TRGB{255, 255, 255}));  // the shape keeps its colour
  EXPECT_EQ(bitmap.GetAlphaPixel(0, 0), 0);
}

}  // namespace

namespace {

TEST(SoftShadowTest, IntensityDividesTheShadowOnly) {
  for (const int32_t intensity : {100, 0}) {
    TIEBitmap bitmap(16, 16, ie24RGB);
    bitmap.Fill(0x00FF00);
    for (int32_t y = 0; y < 16; ++y)
      for (int32_t x = 0; x < 16; ++x) bitmap.SetAlphaPixel(x, y, x >= 4 && x < 8 && y >= 4 && y < 8 ? 255 : 0);
    TIEBitmap blurred(*bitmap.GetAlphaChannel());
    IEGaussianBlur(&blurred, nullptr, 1.5, {});
    IEAddSoftShadow(&bitmap, 0, 0, 1.5, intensity, false, 0x0000FF, {}, nullptr);
    const int32_t expected = intensity == 100 ? blurred.GetPixel8(9, 5) : int32_t(blurred.GetPixel8(9, 5) / 3);
    EXPECT_EQ(bitmap.GetAlphaPixel(9, 5), expected) << intensity;
    EXPECT_EQ(bitmap.GetPixel24(9, 5), (TRGB{0, 0, 255}));   // shadow colour
    EXPECT_EQ(bitmap.GetPixel24(5, 5), (TRGB{0, 255, 0}));   // the opaque shape keeps its colour
    EXPECT_EQ(bitmap.GetAlphaPixel(5, 5), 255);
    EXPECT_EQ(bitmap.GetAlphaPixel(15, 15), 0);
  }
  TIEBitmap grown(10, 6, ie24RGB);
  grown.Fill(0);
  IEAddSoftShadow(&grown, 3, -5, 2.5, 50, true, 0, {}, nullptr);
  EXPECT_EQ(grown.GetWidth(), 32);  // margin 22
  EXPECT_EQ(grown.GetHeight(), 28);
}

TEST(ImageResizeTest, PlacesTheContentAndUndoes) {
  TIEBitmap bitmap(4, 3, ie24RGB);
  bitmap.Fill(0x0000FF);
  TImageryProc proc(nullptr);
  proc.SetAttachedBitmap(&bitmap);
  proc.AutoUndo = true;
  proc.SetBackground(0x00FF00);
  proc.ImageResize(4, 3, 0, 0, 255);
  proc.ImageResize(0, 9, 0, 0, 255);
  EXPECT_EQ(proc.UndoCount(), 0);
  proc.ImageResize(8, 5, 2, 1, 0);
  ASSERT_EQ(bitmap.GetWidth(), 8);
  EXPECT_EQ(bitmap.GetPixel24(0, 0), (TRGB{0, 255, 0}));
  EXPECT_EQ(bitmap.GetPixel24(7, 2), (TRGB{0, 0, 255}));
  EXPECT_EQ(bitmap.GetAlphaPixel(0, 0), 0);
  EXPECT_EQ(bitmap.GetAlphaPixel(7, 2), 255);
  EXPECT_EQ(proc.GetUndoCaption(0), "ImageResize 8, 5");
  proc.Undo(false);
  EXPECT_EQ(bitmap.GetWidth(), 4);
}

}  // namespace
