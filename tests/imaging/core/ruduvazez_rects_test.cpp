#include <gtest/gtest.h>

#include "imaging/core/iegdiplus.h"
#include "platform/forms/graphics.h"
#include "tests/imaging/core/bitmap_support.h"

namespace {

class RectsTest : public BitmapTest {
protected:
  // An ie8g image whose pixel (x, y) is x + 10 y.
  static std::unique_ptr<TIEBitmap> Numbered(int w, int h, TIEPixelFormat format = ie8g) {
    auto b = std::make_unique<TIEBitmap>(w, h, format);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) b->GetScanline(y)[x] = uint8_t(x + 10 * y);
    return b;
  }
};

TEST_F(RectsTest, CopyRectClipsToBothBitmaps) {
  auto source = Numbered(10, 10);
  struct Case {
    int32_t sx, sy, dx, dy, w, h;
    int32_t probeX, probeY, expected;  // destination pixel and its value (-1: untouched)
  } cases[] = {
      {2, 2, -3, 0, 5, 5, 0, 0, 25},       // dx = -3 reads from sx + 3
      {0, 0, 0, 0, 1000, 1000, 7, 7, 77},  // sizes cut to both bitmaps
      {-2, 0, 0, 0, 4, 1, 0, 0, -1},       // a negative source column moves the destination
      {-2, 0, 0, 0, 4, 1, 2, 0, 0},       {9, 9, 7, 7, 5, 5, 7, 7, 99}, {5, 5, 8, 8, 0, 3, 8, 8, -1},
  };
  for (const auto& c : cases) {
    TIEBitmap dest(8, 8, ie8g);
    dest.Fill(200);
    source->CopyRectToBitmap(dest, c.sx, c.sy, c.dx, c.dy, c.w, c.h);
    EXPECT_EQ(dest.GetPixel8(c.probeX, c.probeY), c.expected < 0 ? 200 : c.expected)
        << c.sx << "," << c.sy << " -> " << c.dx << "," << c.dy;
  }
  // Unsupported pairs copy nothing; 1-bit copies keep any bit offset.
  TIEBitmap rgb(8, 8, ie24RGB);
  rgb.Fill(0x0000FF);
  source->CopyRectToBitmap(rgb, 0, 0, 0, 0, 8, 8);
  EXPECT_EQ(rgb.GetPixel24(3, 3), (TRGB{0, 0, 255}));
  TIEBitmap bits(16, 2, ie1g), bitsOut(16, 2, ie1g);
  bits.Fill(0);
  bitsOut.Fill(0);
  bits.GetScanline(1)[0] = 0x20;  // column 2
  bits.CopyRectToBitmap(bitsOut, 1, 0, 6, 0, 10, 2);
  EXPECT_EQ(bitsOut.GetScanline(1)[0], 0x01);  // column 7
  bits.CopyRectToBitmap(rgb, 0, 1, 0, 0, 3, 1);
  EXPECT_EQ(rgb.GetPixel24(2, 0), (TRGB{255, 255, 255}));
  EXPECT_EQ(rgb.GetPixel24(1, 0), (TRGB{0, 0, 0}));
}

TEST_F(RectsTest, ResizeKeepingContentPlacesTheOldImage) {
  struct Case {
    int32_t w, h, horizontal, vertical;
    int32_t x, y, expected;  // pixel probe
  } cases[] = {
      {20, 10, 1, 0, 5, 3, 30},  {20, 10, 1, 0, 4, 3, 255}, {20, 10, 1, 0, 15, 3, 255}, {20, 10, 1, 0, 14, 3, 39},
      {4, 10, 2, 0, 0, 0, 6},    {4, 10, 2, 0, 3, 9, 99},   {10, 4, 0, 1, 0, 0, 30},    {10, 14, 0, 2, 0, 4, 0},
      {10, 14, 0, 2, 0, 3, 255}, {6, 6, 1, 1, 0, 0, 22},
  };
  for (const auto& c : cases) {
    auto b = Numbered(10, 10);
    b->GetAlphaChannel()->Fill(0);
    b->ResizeKeepingContent(c.w, c.h, 255, 77, c.horizontal, c.vertical);
    ASSERT_EQ(b->GetWidth(), c.w);
    ASSERT_EQ(b->GetHeight(), c.h);
    EXPECT_EQ(b->GetPixel8(c.x, c.y), c.expected) << c.w << "x" << c.h << " at " << c.x << "," << c.y;
    // The alpha channel follows, its new area taking the alpha fill.
    EXPECT_EQ(b->GetAlphaPixel(c.x, c.y), c.expected == 255 ? 77 : 0);
  }
}

TEST_F(RectsTest, MoveAndMergeRectangles) {
  auto b = Numbered(10, 10);
  b->MoveRect(0, 0, 2, 2, 5, 5, 250, true);
  EXPECT_EQ(b->GetPixel8(5, 5), 0);
  EXPECT_EQ(b->GetPixel8(7, 7), 22);
  EXPECT_EQ(b->GetPixel8(1, 1), 250);
  // A rectangle reaching outside the image moves only what is inside.
  b->MoveRect(-5, 0, 1, 0, 0, 9, 0, false);
  EXPECT_EQ(b->GetPixel8(5, 9), 250);

  TIEBitmap a(4, 4, ie24RGB), c(4, 4, ie24RGB);
  a.GetAlphaChannel()->Fill(10);
  a.GetAlphaChannel()->SetPixel8(1, 1, 200);
  c.GetAlphaChannel()->Fill(50);
  a.MergeAlphaRectTo(c, 0, 0, 0, 0, 4, 4);
  EXPECT_EQ(c.GetAlphaPixel(1, 1), 200);
  EXPECT_EQ(c.GetAlphaPixel(2, 2), 50);
}

TEST_F(RectsTest, BitmapsFromRectangles) {
  auto source = Numbered(10, 10, ie8p);
  source->SetPaletteColor(34, TRGB{1, 2, 3});
  source->GetAlphaChannel()->SetPixel8(4, 3, 9);
  auto part = TIEBitmap::CreateFromRect(*source, 6, 5, 3, 2);  // corners in any order
  ASSERT_EQ(part->GetWidth(), 4);
  ASSERT_EQ(part->GetHeight(), 4);
  EXPECT_EQ(part->GetPixel8(1, 1), 34);
  TRGB c;
  part->GetPaletteColor(34, c);
  EXPECT_EQ(c, (TRGB{1, 2, 3}));
  EXPECT_EQ(part->GetAlphaPixel(1, 1), 9);
  // Parts outside the image are cut off.
  EXPECT_EQ(TIEBitmap::CreateFromRect(*source, 8, 8, 30, 30)->GetWidth(), 2);

  // Framework formats the wrapper does not take are converted.
  struct Case {
    TPixelFormat format;
    TIEPixelFormat expected;
  } cases[] = {{pf32bit, ie24RGB}, {pf16bit, ie24RGB}, {pf15bit, ie24RGB}, {pf4bit, ie8p}, {pf24bit, ie24RGB}};
  for (const auto& k : cases) {
    TBitmap framework;
    framework.SetPixelFormat(pf24bit);
    framework.SetSize(6, 4);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 6; ++x)
        framework.Canvas()->SetPixels(x, y, x == 3 && y == 2 ? RGB(255, 255, 255) : RGB(0, 0, 0));
    framework.SetPixelFormat(k.format);
    auto rect = TIEBitmap::CreateFromTBitmapRect(&framework, 2, 1, 4, 3);
    ASSERT_EQ(rect->GetPixelFormat(), k.expected) << k.format;
    TRGB white;
    rect->GetPixelRGB(1, 1, white);
    EXPECT_GE(white.g, 240) << k.format;
    TRGB black;
    rect->GetPixelRGB(0, 0, black);
    EXPECT_LE(black.g, 15) << k.format;
  }
}

TEST_F(RectsTest, RegionsWriteThemselvesBack) {
  TIEBitmap parent(10, 10, ie24RGB);
  parent.Fill(0x000000);
  {
    auto region = TIEBitmap::CreateRegionBitmap(parent, 6, 6, 2, 2, ieNoFormat, false);
    ASSERT_EQ(region->GetWidth(), 5);
    region->Fill(0xFFFFFF);
    EXPECT_EQ(parent.GetPixel24(3, 3), (TRGB{0, 0, 0}));
  }
  EXPECT_EQ(parent.GetPixel24(3, 3), (TRGB{255, 255, 255}));
  EXPECT_EQ(parent.GetPixel24(7, 7), (TRGB{0, 0, 0}));

  // A transparent region left untouched changes nothing but gives the parent alpha.
  parent.RemoveAlphaChannel();
  { auto region = TIEBitmap::CreateRegionBitmap(parent, 0, 0, 9, 9, ieNoFormat, true); }
  EXPECT_EQ(parent.GetPixel24(3, 3), (TRGB{255, 255, 255}));
  ASSERT_TRUE(parent.HasAlphaChannel());
  EXPECT_EQ(parent.GetAlphaPixel(3, 3), 255);

  // A region canvas draws in the parent's coordinates.
  TIECanvas* canvas = TIEBitmap::CreateRegionCanvas(parent, 5, 0, 9, 4, false, false, false);
  ASSERT_NE(canvas, nullptr);
  canvas->Brush()->SetColor(RGB(0, 0, 255));
  canvas->FillRect(RECT{6, 1, 8, 3});
  delete canvas;
  EXPECT_EQ(parent.GetPixel24(6, 1), (TRGB{255, 0, 0}));
  EXPECT_EQ(parent.GetPixel24(8, 1), (TRGB{0, 0, 0}));

  // An ie8p parent gets the nearest entries of its own palette back.
  TIEBitmap indexed(4, 1, ie8p);
  for (int i = 0; i < 256; ++i) indexed.SetPaletteColor(i, TRGB{uint8_t(255 - i), uint8_t(255 - i), uint8_t(255 - i)});
  indexed.Fill(0);
  { TIEBitmap::CreateRegionBitmap(indexed, 1, 0, 2, 0, ie24RGB, false)->Fill(0x000000); }
  EXPECT_EQ(indexed.GetPixel8(1, 0), 255);
  EXPECT_EQ(indexed.GetPixel8(0, 0), 0);
}

}  // namespace

namespace {

TEST_F(RectsTest, RotationTurnsTheAlphaChannelAlong) {
  for (int32_t antialias : {0, 2}) {
    TIEBitmap b(3, 2, ie24RGB);
    b.Fill(0);
    b.SetPixel24(2, 0, TRGB{255, 255, 255});
    b.GetAlphaChannel()->Fill(255);
    b.GetAlphaChannel()->SetPixel8(2, 0, 10);
    b.RotateByAngle(antialias, 0, 90, {}, nullptr);
    ASSERT_EQ(b.GetWidth(), 2) << antialias;
    ASSERT_EQ(b.GetHeight(), 3);
    ASSERT_EQ(b.GetAlphaChannel()->GetWidth(), 2);
    // A quarter turn counter-clockwise takes the top-right corner to the top-left.
    EXPECT_EQ(b.GetPixel24(0, 0), (TRGB{255, 255, 255})) << antialias;
    EXPECT_EQ(b.GetAlphaPixel(0, 0), 10) << antialias;
    EXPECT_EQ(b.GetAlphaPixel(1, 2), 255) << antialias;
  }
  // Other angles interpolate image and alpha alike.
  TIEBitmap b(20, 20, ie24RGB);
  b.Fill(0xFFFFFF);
  b.GetAlphaChannel()->Fill(200);
  b.RotateByAngle(2, 0, 30, {}, nullptr);
  ASSERT_EQ(b.GetAlphaChannel()->GetWidth(), b.GetWidth());
  EXPECT_EQ(b.GetAlphaPixel(b.GetWidth() / 2, b.GetHeight() / 2), 200);
  EXPECT_EQ(b.GetAlphaPixel(0, 0), 0);
}

}  // namespace
