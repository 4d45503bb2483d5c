#include <gtest/gtest.h>

#include "imaging/processing/imageryproc.h"
#include "imaging/processing/imageryproc_canvas.h"

namespace {

// A 20 x 20 white image, transparent but for an opaque square 8..11.
std::unique_ptr<TIEBitmap> Square() {
  auto b = std::make_unique<TIEBitmap>(20, 20, ie24RGB);
  b->Fill(0xFFFFFF);
  TIEBitmap* alpha = b->GetAlphaChannel();
  alpha->Fill(0);
  for (int y = 8; y < 12; ++y)
    for (int x = 8; x < 12; ++x) alpha->SetPixel8(x, y, 255);
  return b;
}

TEST(SoftShadow, IntensityShapeAndOffset) {
  auto full = Square(), faint = Square();
  IEAddSoftShadow(full.get(), 2, 2, 1.5, 100, false, 0x0000FF, {}, nullptr);
  IEAddSoftShadow(faint.get(), 2, 2, 1.5, 0, false, 0x0000FF, {}, nullptr);
  // Inside the shape: unchanged colour and full alpha.
  EXPECT_EQ(full->GetPixel24(9, 9), (TRGB{255, 255, 255}));
  EXPECT_EQ(full->GetAlphaPixel(9, 9), 255);
  // Beside it, toward the offset: shadow colour, alpha divided by 3 at intensity 0.
  const int shadow = full->GetAlphaPixel(13, 13);
  EXPECT_GT(shadow, 30);
  EXPECT_EQ(full->GetPixel24(13, 13), (TRGB{0, 0, 255}));
  EXPECT_EQ(faint->GetAlphaPixel(13, 13), int(shadow / 3.0));
  // The side away from the offset gets less, far away nothing.
  EXPECT_LT(full->GetAlphaPixel(7, 7), shadow);
  EXPECT_EQ(full->GetAlphaPixel(0, 19), 0);
  EXPECT_EQ(full->GetPixel24(0, 19), (TRGB{255, 255, 255}));
}

TEST(SoftShadow, EnlargeAndRectangle) {
  auto b = Square();
  const int32_t m = IEGetShadowMargin(3, -5, 2.5);
  IEAddSoftShadow(b.get(), 3, -5, 2.5, 100, true, 0, {}, nullptr);
  EXPECT_EQ(b->GetWidth(), 20 + m);
  EXPECT_EQ(b->GetAlphaPixel(m / 2 + 9, m / 2 + 9), 255);

  auto r = Square();
  // Sigma 0: the 3 x 3 box with the margin of sigma 2.
  EXPECT_EQ(IEAddSoftShadowRect(r.get(), 0, 0, 0, 100, 0, 8, 8, 11, 11), IEGetShadowMargin(0, 0, 2));
  EXPECT_EQ(r->GetAlphaPixel(7, 9), 255 / 3);
  EXPECT_EQ(r->GetPixel24(7, 9), (TRGB{0, 0, 0}));
  EXPECT_EQ(r->GetAlphaPixel(9, 9), 255);
  EXPECT_EQ(r->GetAlphaPixel(2, 2), 0);

  // The box is the filter list's "Blur" preset: a list whose second entry
  // keeps each pixel leaves the shape unblurred.
  IEFreeFilterPresets();
  IEAddFilterPreset(IEDefaultFilterPreset(0), "None");
  IEAddFilterPreset(IEDefaultFilterPreset(0), "Blur");
  auto sharp = Square();
  IEAddSoftShadowRect(sharp.get(), 0, 0, 0, 100, 0, 8, 8, 11, 11);
  EXPECT_EQ(sharp->GetAlphaPixel(7, 9), 0);
  IEFreeFilterPresets();
  for (size_t i = 0; i < 9; ++i)
    IEAddFilterPreset(IEDefaultFilterPreset(i), IEGetFilterPresetName(static_cast<int32_t>(i)));
}

}  // namespace
