// Single pixels, palette, alpha channel, fills and scans of TIEBitmap.
#include <cstring>

#include "platform/win/user_system.h"
#include "tests/imaging/core/bitmap_support.h"

namespace {

TEST_F(BitmapTest, SinglePixelsRoundTripInEveryLocation) {
  for (Storage s : {Storage::Memory, Storage::Segments, Storage::TempFile}) {
    SCOPED_TRACE(StorageName(s));
    auto g8 = MakeIn(s, 5, 4, ie8g);
    g8->SetPixel8(4, 3, 200);
    EXPECT_EQ(g8->GetPixel8(4, 3), 200);
    auto g16 = MakeIn(s, 5, 4, ie16Gray);
    g16->SetPixel16(2, 1, 0xBEEF);
    EXPECT_EQ(g16->GetPixel16(2, 1), 0xBEEF);
    auto f = MakeIn(s, 5, 4, ie32f);
    f->SetPixel32f(1, 2, 0.25f);
    EXPECT_EQ(f->GetPixel32f(1, 2), 0.25f);
    auto cmyk = MakeIn(s, 5, 4, ieCMYK);
    cmyk->SetPixelCMYK(3, 0, 0x01020304);
    EXPECT_EQ(cmyk->GetPixelCMYK(3, 0), 0x01020304u);
    auto rgb = MakeIn(s, 5, 4, ie24RGB);
    rgb->SetPixel24(4, 0, TRGB{1, 2, 3});
    EXPECT_EQ(rgb->GetPixel24(4, 0), (TRGB{1, 2, 3}));
    EXPECT_EQ(rgb->GetPixelAddress24(4, 0)[2], 3);
    auto rgba = MakeIn(s, 5, 4, ie32RGBA);
    rgba->SetPixel32RGBA(0, 3, 0x80102030);
    EXPECT_EQ(rgba->GetPixel32RGBA(0, 3), 0x80102030u);
    auto rgb48 = MakeIn(s, 5, 4, ieRGB48);
    rgb48->SetPixel48(2, 2, {1, 2, 0xFFFF});
    EXPECT_EQ(rgb48->GetPixel48(2, 2), (std::array<uint16_t, 3>{1, 2, 0xFFFF}));
  }
}

TEST_F(BitmapTest, PixelsReadAsRGB) {
  TRGB rgb;
  TIEBitmap bw(10, 1, ie1g);
  bw.Fill(0);
  bw.GetScanline(0)[1] = 0x40;  // pixel 9
  bw.GetPixelRGB(9, 0, rgb);
  EXPECT_EQ(rgb, (TRGB{255, 255, 255}));
  bw.GetPixelRGB(8, 0, rgb);
  EXPECT_EQ(rgb, (TRGB{0, 0, 0}));

  TIEBitmap g16(1, 1, ie16Gray);
  g16.SetPixel16(0, 0, 0x1234);
  g16.GetPixelRGB(0, 0, rgb);
  EXPECT_EQ(rgb, (TRGB{0x12, 0x12, 0x12}));

  TIEBitmap f(1, 1, ie32f);
  // Samples outside 0..1 are clamped, not wrapped to a byte.
  for (auto [value, expected] : {std::pair{0.5f, 127}, {1.0f, 255}, {0.0f, 0}, {2.0f, 255}, {1.5f, 255}, {-0.5f, 0}}) {
    f.SetPixel32f(0, 0, value);
    f.GetPixelRGB(0, 0, rgb);
    EXPECT_EQ(rgb.r, expected) << value;
  }

  TIEBitmap pal(2, 1, ie8p);
  pal.SetPaletteColor(7, TRGB{9, 8, 7});
  pal.SetPixel8(1, 0, 7);
  pal.GetPixelRGB(1, 0, rgb);
  EXPECT_EQ(rgb, (TRGB{9, 8, 7}));

  TIEBitmap rgb48(1, 1, ieRGB48);
  rgb48.SetPixel48(0, 0, {0x1100, 0x2200, 0x3300});
  rgb48.GetPixelRGB(0, 0, rgb);
  EXPECT_EQ(rgb, (TRGB{0x33, 0x22, 0x11}));

  TIEBitmap cmyk(1, 1, ieCMYK);
  cmyk.SetPixelCMYK(0, 0, 0xFFFFFFFF);  // no ink
  cmyk.GetPixelRGB(0, 0, rgb);
  EXPECT_EQ(rgb, (TRGB{255, 255, 255}));

  TIEBitmap rgba(1, 1, ie32RGBA);
  rgba.SetPixel32RGBA(0, 0, 0x00030201);
  rgba.GetPixelRGB(0, 0, rgb);
  EXPECT_EQ(rgb, (TRGB{1, 2, 3}));
}

TEST_F(BitmapTest, PixelWritesBelowTheMaximumClearTheFullFlag) {
  TIEBitmap g(2, 2, ie8g);
  g.Fill(255);
  EXPECT_TRUE(g.FullFlag());
  g.SetPixel8(0, 0, 255);
  EXPECT_TRUE(g.FullFlag());
  g.SetPixel8(0, 0, 254);
  EXPECT_FALSE(g.FullFlag());
  g.SetPixel8(0, 0, 255);
  g.UpdateAllFull();
  EXPECT_TRUE(g.FullFlag());

  TIEBitmap rgba(1, 1, ie32RGBA);
  rgba.SetFullFlag(true);
  rgba.SetPixel32RGBA(0, 0, 0x00FFFFFF);  // the fourth byte is not looked at
  EXPECT_TRUE(rgba.FullFlag());
  rgba.SetPixel32RGBA(0, 0, 0xFFFFFFFE);
  EXPECT_FALSE(rgba.FullFlag());

  TIEBitmap f(1, 1, ie32f);
  f.SetFullFlag(true);
  f.SetPixel32f(0, 0, 1.5f);
  EXPECT_TRUE(f.FullFlag());
  f.SetPixel32f(0, 0, 0.99f);
  EXPECT_FALSE(f.FullFlag());
}

TEST_F(BitmapTest, PaletteEntriesAndCopies) {
  TIEBitmap p(2, 2, ie8p);
  p.SetPaletteColor(255, TRGB{1, 2, 3});
  p.SetPaletteColor(256, TRGB{4, 5, 6});  // outside: ignored
  p.SetPaletteColor(-1, TRGB{4, 5, 6});
  TRGB c{9, 9, 9};
  p.GetPaletteColor(256, c);
  EXPECT_EQ(c, (TRGB{9, 9, 9}));
  p.GetPaletteColor(255, c);
  EXPECT_EQ(c, (TRGB{1, 2, 3}));
  p.SetPaletteUsed(16);

  TIEBitmap q(1, 1, ie8p);
  p.CopyPaletteTo(&q);
  EXPECT_EQ(q.GetPaletteLength(), 256);
  EXPECT_EQ(q.GetPaletteUsed(), 16);
  EXPECT_EQ(q.GetPaletteBuffer()[255], (TRGB{1, 2, 3}));

  TIEBitmap none(1, 1, ie8g);
  none.CopyPaletteTo(&q);
  EXPECT_EQ(q.GetPaletteBuffer(), nullptr);
  EXPECT_EQ(q.GetPaletteLength(), 0);
  EXPECT_EQ(q.GetPaletteUsed(), 256);
}

TEST_F(BitmapTest, AlphaChannelIsCreatedOpaqueOnDemand) {
  TIEBitmap b(3, 2, ie24RGB);
  EXPECT_FALSE(b.HasAlphaChannel());
  EXPECT_EQ(b.GetAlphaPixel(2, 1), 255);
  ASSERT_TRUE(b.HasAlphaChannel());
  TIEBitmap* alpha = b.PeekAlphaChannel();
  EXPECT_TRUE(alpha->IsAlphaChannel());
  EXPECT_TRUE(alpha->FullFlag());
  EXPECT_EQ(alpha->GetPixelFormat(), ie8g);
  EXPECT_EQ(alpha->GetWidth(), 3);
  EXPECT_EQ(alpha->GetAlphaChannel(), nullptr);  // never one of its own

  b.SetAlphaPixel(0, 0, 10);
  EXPECT_EQ(b.GetAlphaPixel(0, 0), 10);
  EXPECT_FALSE(alpha->FullFlag());

  // A held channel can be swapped out and put back.
  TIEBitmap other(3, 2, ie8g);
  b.ReplaceAlphaChannel(&other);
  EXPECT_TRUE(other.IsAlphaChannel());
  b.ReplaceAlphaChannel(alpha);
  EXPECT_EQ(b.GetAlphaPixel(0, 0), 10);

  auto inFile = MakeIn(Storage::TempFile, 3, 2, ie24RGB);
  EXPECT_EQ(inFile->GetAlphaPixel(2, 1), 255);
}

TEST_F(BitmapTest, RemoveAlphaChannelBlendsOntoTheBackground) {
  TIEBitmap b(2, 1, ie24RGB);
  b.SetPixel24(0, 0, TRGB{0, 0, 0});
  b.SetPixel24(1, 0, TRGB{200, 100, 0});
  b.SetAlphaPixel(0, 0, 128);
  b.SetAlphaPixel(1, 0, 255);
  b.RemoveAlphaChannel(true, 0xFFFFFF);
  EXPECT_FALSE(b.HasAlphaChannel());
  EXPECT_EQ(b.GetPixel24(0, 0), (TRGB{127, 127, 127}));
  // 255 + floor((v - 255) x 255 / 256) rounds down to v itself.
  EXPECT_EQ(b.GetPixel24(1, 0), (TRGB{200, 100, 0}));

  TIEBitmap g(1, 1, ie8g);
  g.Fill(3);
  g.SetAlphaPixel(0, 0, 0);
  g.RemoveAlphaChannel(true, 0xFFFFFF);  // other formats are not merged
  EXPECT_EQ(g.GetPixel8(0, 0), 3);
  EXPECT_FALSE(g.HasAlphaChannel());
}

TEST_F(BitmapTest, SoftenAlphaEdgesRampsAndAverages) {
  TIEBitmap one(1, 1, ie24RGB);
  one.GetAlphaChannel();
  one.SoftenAlphaEdges(4);
  EXPECT_EQ(one.GetAlphaPixel(0, 0), 32);

  // Without a ramp only the average runs; transparent pixels stay.
  TIEBitmap row(3, 1, ie24RGB);
  row.SetAlphaPixel(0, 0, 0);
  row.SoftenAlphaEdges(0);
  // x=1: (0 + 255 + 255 + 255) >> 2 = 191; x=2: (191 + 0 + 255 + 255) >> 2 = 175.
  EXPECT_EQ(row.GetAlphaPixel(0, 0), 0);
  EXPECT_EQ(row.GetAlphaPixel(1, 0), 191);
  EXPECT_EQ(row.GetAlphaPixel(2, 0), 175);
  EXPECT_FALSE(row.PeekAlphaChannel()->FullFlag());
}

struct FillCase {
  TIEPixelFormat format;
  double value;
  std::vector<uint8_t> pixel;  // the bytes of pixel (1, 1)
  bool full;
};

TEST_F(BitmapTest, FillWritesEachFormatAndSetsTheFullFlag) {
  const FillCase cases[] = {
      {ie8g, 256, {0}, false},
      {ie8g, 255, {255}, true},
      {ie8p, 7.9, {7}, false},
      {ie16Gray, 65535, {255, 255}, true},
      {ie16Gray, 0x10203, {3, 2}, false},
      {ie24RGB, 0x0000FF, {0, 0, 255}, false},
      {ie24RGB, 0xFFFFFF, {255, 255, 255}, true},
      {ie32f, 1.0, {0, 0, 0x80, 0x3F}, true},
      {ie32f, 0.5, {0, 0, 0, 0x3F}, false},
      {ieRGB48, 0x0000FF, {0xFF, 0xFF, 0, 0, 0, 0}, false},
      {ie32RGBA, double(0x020000FF), {0, 0, 255, 2}, false},
      {ieCMYK, 0xFFFFFF, {255, 255, 255, 255}, true},
      {ieCMYK, 0x000000, {255, 255, 255, 0}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << int(c.format) << " " << c.value);
    TIEBitmap b(3, 2, c.format);
    b.Fill(c.value);
    EXPECT_EQ(b.FullFlag(), c.full);
    const uint8_t* p = b.GetScanline(1) + b.GetBitCount() / 8;
    EXPECT_EQ(std::vector<uint8_t>(p, p + c.pixel.size()), c.pixel);
  }
  TIEBitmap bw(9, 2, ie1g);
  bw.Fill(3);
  EXPECT_TRUE(bw.FullFlag());
  for (int32_t i = 0; i < bw.GetRowLength(); ++i) EXPECT_EQ(bw.GetScanline(1)[i], 255);  // alignment bytes too
  TIEBitmap lab(1, 1, ieCIELab);
  lab.Fill(0xFFFFFF);
  EXPECT_EQ(lab.GetScanline(0)[0], IERGBToCIELab(TRGB{255, 255, 255}).l);
}

TEST_F(BitmapTest, FillRectClipsAndKeepsTheFlag) {
  TIEBitmap g(6, 6, ie8g);
  g.Fill(0);
  g.FillRect(-5, -5, 2, 2, 7);
  for (int32_t y = 0; y < 6; ++y)
    for (int32_t x = 0; x < 6; ++x) EXPECT_EQ(g.GetPixel8(x, y), x <= 2 && y <= 2 ? 7 : 0) << x << "," << y;
  g.FillRect(5, 5, 2, 2, 9);
  EXPECT_EQ(g.GetPixel8(5, 5), 0);

  TIEBitmap bw(12, 1, ie1g);
  bw.Fill(0);
  bw.FillRect(3, 0, 9, 0, 1);
  EXPECT_EQ(bw.GetScanline(0)[0], 0x1F);
  EXPECT_EQ(bw.GetScanline(0)[1], 0xC0);
  bw.FillRect(4, 0, 4, 0, 0);
  EXPECT_EQ(bw.GetScanline(0)[0], 0x17);

  TIEBitmap f(2, 1, ie32f);
  f.FillRect(0, 0, 1, 0, 0.5);  // the truncated value
  EXPECT_EQ(f.GetPixel32f(1, 0), 0.0f);

  TIEBitmap rgba(1, 1, ie32RGBA);
  rgba.SetPixel32RGBA(0, 0, 0x7F000000);
  rgba.FillRect(0, 0, 0, 0, 0x0000FF);
  EXPECT_EQ(rgba.GetPixel32RGBA(0, 0), 0x7FFF0000u);  // the fourth byte stays

  // An alpha channel recomputes its flag.
  TIEBitmap b(2, 2, ie24RGB);
  TIEBitmap* alpha = b.GetAlphaChannel();
  alpha->FillRect(0, 0, 0, 0, 1);
  EXPECT_FALSE(alpha->FullFlag());
  alpha->FillRect(0, 0, 1, 1, 255);
  EXPECT_TRUE(alpha->FullFlag());
}

TEST_F(BitmapTest, ScansLookOnlyAtPixelBytes) {
  TIEBitmap g(3, 2, ie8g);  // rows of 4 bytes: one alignment byte
  g.Fill(0);
  EXPECT_TRUE(g.IsAllZero());
  g.GetScanline(1)[3] = 9;
  EXPECT_TRUE(g.IsAllZero());
  g.FillRect(0, 0, 2, 1, 255);
  g.GetScanline(0)[3] = 0;
  g.UpdateAllFull();
  EXPECT_TRUE(g.FullFlag());
  EXPECT_FALSE(g.IsAllZero());

  TIEBitmap rgb(2, 1, ie24RGB);
  rgb.Fill(0x808080);
  EXPECT_TRUE(rgb.IsGrayscale());
  rgb.SetPixel24(1, 0, TRGB{1, 1, 2});
  EXPECT_FALSE(rgb.IsGrayscale());
  TIEBitmap p(1, 1, ie8p);
  for (int i = 0; i < 256; ++i) p.SetPaletteColor(i, TRGB{uint8_t(i), uint8_t(i), uint8_t(i)});
  EXPECT_TRUE(p.IsGrayscale());
  p.SetPaletteColor(3, TRGB{3, 4, 3});
  EXPECT_FALSE(p.IsGrayscale());
  TIEBitmap w(1, 1, ieRGB48);
  w.SetPixel48(0, 0, {5, 5, 6});
  EXPECT_FALSE(w.IsGrayscale());
  EXPECT_TRUE(TIEBitmap(1, 1, ieCMYK).IsGrayscale());
}

TEST_F(BitmapTest, DisplayRangeCoversTheSamples) {
  TIEBitmap g(3, 1, ie16Gray);
  g.SetPixel16(0, 0, 300);
  g.SetPixel16(1, 0, 40000);
  g.SetPixel16(2, 0, 1000);
  g.ComputeDisplayRange();
  EXPECT_EQ(g.DisplayMin, 300);
  EXPECT_EQ(g.DisplayMax, 40000);

  TIEBitmap f(2, 1, ie32f);
  f.SetPixel32f(0, 0, -0.5f);
  f.SetPixel32f(1, 0, 2.0f);
  f.ComputeDisplayRange();
  EXPECT_EQ(f.DisplayMin, -0.5);
  EXPECT_EQ(f.DisplayMax, 2.0);

  TIEBitmap c(1, 1, ieCMYK);
  c.DisplayMin = 1;
  c.ComputeDisplayRange();
  EXPECT_EQ(c.DisplayMin, 1);
}

}  // namespace

namespace {

TEST(BitmapColorTest, ColoursResolveSystemColoursAndConvertToCMYK) {
  TRGB rgb;
  IEColorToRGB(0x00123456, rgb);
  EXPECT_EQ(rgb, (TRGB{0x12, 0x34, 0x56}));
  const COLORREF face = GetSysColor(15);  // COLOR_BTNFACE
  IEColorToRGB(0xFF00000F, rgb);
  EXPECT_EQ(rgb, (TRGB{GetBValue(face), GetGValue(face), GetRValue(face)}));
  EXPECT_EQ(IEColorToRGB32(0x02123456), 0x02563412u);

  // Stored inverted: 255 = no ink.
  EXPECT_EQ(IERGBToCMYK(TRGB{255, 255, 255}), 0xFFFFFFFFu);
  EXPECT_EQ(IERGBToCMYK(TRGB{0, 0, 0}), 0x00FFFFFFu);
  EXPECT_EQ(IERGBToCMYK(TRGB{0, 0, 200}), 0xC80000FFu);  // red: C full, M and Y none, K 200
  for (TRGB c : {TRGB{0, 0, 0}, TRGB{10, 200, 30}, TRGB{255, 0, 128}})
    EXPECT_EQ(IECMYKToRGB(IERGBToCMYK(c)).g, c.g);
}

}  // namespace
