// The fill description: gradients, mirror halves, rounding, shadow, border
// and change notification, judged by probe pixels.
#include <gtest/gtest.h>

#include <memory>

#include "tests/ui/render/markup_test_support.h"
#include "ui/render/gdipfill.h"

using namespace AdvSmoothGDIP;

namespace {
GpRectF PaintFill(MarkupCanvas& c, TGDIPFill& fill, GpRectF r) {
  std::unique_ptr<TGPGraphics> g(new TGPGraphics(c.Canvas()->Handle()));
  return fill.Fill(g.get(), r);
}
int Grey(TColor c) { return c & 0xFF; }
}  // namespace

TEST(GDIPFill, DefaultsPaintAVerticalGreyGradient) {
  MarkupCanvas c(100, 100);
  TGDIPFill fill;
  GpRectF drawn = PaintFill(c, fill, GpRectF{0, 0, 100, 50});
  EXPECT_EQ(drawn.Width, 100);
  EXPECT_NEAR(Grey(c.Pixel(50, 1)), 0xC0, 6);
  EXPECT_NEAR(Grey(c.Pixel(50, 48)), 0x80, 6);
  EXPECT_GT(Grey(c.Pixel(50, 10)), Grey(c.Pixel(50, 40)));
  EXPECT_NEAR(Grey(c.Pixel(1, 1)), 0xC0, 6);  // square corners
  EXPECT_EQ(c.Pixel(50, 60), clWhite);
}

TEST(GDIPFill, MirrorRoundingShadowAndBorder) {
  MarkupCanvas c(120, 120);
  TGDIPFill fill;
  fill.SetColor(clRed);
  fill.SetColorTo(clRed);
  fill.SetColorMirror(clBlue);
  fill.SetColorMirrorTo(clBlue);
  fill.SetGradientMirrorType(gtVertical);
  fill.SetRounding(10);
  fill.SetShadowOffset(10);
  fill.SetBorderColor(clLime);
  GpRectF drawn = PaintFill(c, fill, GpRectF{0, 0, 100, 50});
  EXPECT_EQ(drawn.Width, 90);
  EXPECT_EQ(drawn.Height, 40);
  EXPECT_TRUE(MarkupCanvas::Near(c.Pixel(45, 10), clRed));
  EXPECT_TRUE(MarkupCanvas::Near(c.Pixel(45, 32), clBlue));
  EXPECT_EQ(c.Pixel(0, 0), clWhite);  // rounded corner
  EXPECT_TRUE(c.Has(RECT{0, 18, 3, 24}, clLime));  // border on the left edge
  // The shadow shows as a grey band right of and below the body.
  TColor shadow = c.Pixel(95, 25);
  EXPECT_NE(shadow, clWhite);
  EXPECT_LT(Grey(shadow), 0xF0);
}

TEST(GDIPFill, NotifiesOnRealChangesAndAssignCopiesEverything) {
  TGDIPFill a, b;
  int changes = 0;
  a.OnChange = [&](TObject*) { ++changes; };
  a.SetColor(a.Color());
  EXPECT_EQ(changes, 0);
  a.SetRounding(4);
  EXPECT_EQ(changes, 1);
  a.Assign(nullptr);
  TFont notAFill;
  a.Assign(&notAFill);
  EXPECT_EQ(changes, 1);
  b.SetColor(clRed);
  b.SetBorderOpacity(7);
  b.SetBackGroundPictureMode(pmInsideFill);
  b.SetAngle(33);
  b.SetPictureSize(psCustom);
  a.Assign(&b);
  EXPECT_EQ(changes, 2);  // once
  EXPECT_EQ(a.Color(), clRed);
  EXPECT_EQ(a.BorderOpacity(), 7);
  EXPECT_EQ(a.BackGroundPictureMode(), pmInsideFill);
  EXPECT_EQ(a.Angle(), 33);
  EXPECT_EQ(a.PictureSize(), psCustom);
  EXPECT_NE(a.Picture(), b.Picture());
}
