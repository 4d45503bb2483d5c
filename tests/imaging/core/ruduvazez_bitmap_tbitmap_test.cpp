// TIEBitmap held by a framework bitmap (location ieTBitmap).
#include <cstring>
#include <vector>

#include "platform/forms/graphics.h"
#include "tests/imaging/core/bitmap_support.h"

namespace {

TEST_F(BitmapTest, FrameworkBitmapsHoldTheFormatsTheyCan) {
  for (TIEPixelFormat format : {ie1g, ie8p, ie8g, ie24RGB, ie32RGBA}) {
    SCOPED_TRACE(int(format));
    auto b = MakeIn(Storage::TBitmap, 11, 5, format);
    ASSERT_EQ(b->Location(), ieTBitmap);
    EXPECT_EQ(b->GetPixelFormat(), format);
    WritePattern(*b);
    EXPECT_TRUE(HasPattern(*b));
    TBitmap* framework = b->GetTBitmap();
    ASSERT_NE(framework, nullptr);
    EXPECT_EQ(framework->Width(), 11);
    for (int32_t y = 0; y < 5; ++y) EXPECT_EQ(b->GetScanline(y), framework->ScanLine(y));
  }
  // 16-bit grey is held as 8-bit grey with a grey ramp.
  auto g = MakeIn(Storage::TBitmap, 4, 4, ie16Gray);
  EXPECT_EQ(g->GetPixelFormat(), ie8g);
  EXPECT_EQ(g->GetRowLength(), 4);
  PALETTEENTRY entry{};
  GetPaletteEntries(g->GetTBitmap()->Palette(), 200, 1, &entry);
  EXPECT_EQ(entry.peGreen, 200);

  for (TIEPixelFormat format : {ie32f, ieCMYK, ieRGB48, ieCIELab}) {
    TIEBitmap b;
    b.SetLocation(ieTBitmap);
    EXPECT_FALSE(b.Allocate(4, 4, format)) << int(format);
    EXPECT_TRUE(b.IsEmpty());
  }
}

TEST_F(BitmapTest, AlphaChannelsOfFrameworkBitmapsLiveInMemory) {
  auto b = MakeIn(Storage::TBitmap, 3, 3, ie24RGB);
  TIEBitmap* alpha = b->GetAlphaChannel();
  EXPECT_EQ(alpha->Location(), ieInMemory);
  EXPECT_TRUE(alpha->FullFlag());
  EXPECT_EQ(b->GetAlphaPixel(2, 2), 255);
}

TEST_F(BitmapTest, AttachedFrameworkBitmapsStayTheCallers) {
  TBitmap framework;
  framework.SetPixelFormat(pf24bit);
  framework.SetSize(4, 3);
  framework.Canvas()->SetPixels(1, 2, RGB(10, 20, 30));
  {
    TIEBitmap b;
    b.AttachTBitmap(&framework, true);
    EXPECT_EQ(b.Location(), ieTBitmap);
    EXPECT_EQ(b.GetWidth(), 4);
    EXPECT_EQ(b.GetPixelFormat(), ie24RGB);
    EXPECT_EQ(b.GetPixel24(1, 2), (TRGB{30, 20, 10}));
    b.SetPixel24(3, 0, TRGB{1, 2, 3});
    // A size changed on the framework bitmap is taken over.
    framework.SetSize(6, 3);
    EXPECT_EQ(b.GetWidth(), 6);
    EXPECT_EQ(b.GetRowLength(), 20);
    b.SetPixel24(5, 2, TRGB{4, 5, 6});
    b.FreeImage(true);
  }
  EXPECT_EQ(framework.Canvas()->Pixels(3, 0), static_cast<TColor>(RGB(3, 2, 1)));
  EXPECT_EQ(framework.Canvas()->Pixels(5, 2), static_cast<TColor>(RGB(6, 5, 4)));

  // An 8-bit framework bitmap brings its colour table.
  TBitmap indexed;
  indexed.SetPixelFormat(pf8bit);
  indexed.SetSize(2, 2);
  TIEBitmap p;
  p.AttachTBitmap(&indexed, true);
  EXPECT_EQ(p.GetPixelFormat(), ie8p);
  PALETTEENTRY entry{};
  GetPaletteEntries(indexed.Palette(), 7, 1, &entry);
  TRGB c;
  p.GetPaletteColor(7, c);
  EXPECT_EQ(c, (TRGB{entry.peBlue, entry.peGreen, entry.peRed}));
  // Palette changes reach the framework bitmap.
  p.SetPaletteColor(7, TRGB{1, 2, 3});
  GetPaletteEntries(indexed.Palette(), 7, 1, &entry);
  EXPECT_EQ(entry.peRed, 3);
  EXPECT_EQ(entry.peBlue, 1);
}

TEST_F(BitmapTest, CanvasDrawingLandsInTheLibrarysRowOrder) {
  std::vector<uint8_t> buffer(3 * 4 * 3 + 12);
  TIEBitmap topDown;
  topDown.AttachMemoryBuffer(buffer.data(), 4, 3, ie24RGB, true, 1);
  TIEBitmap b;
  b.SetLocation(ieTBitmap);
  b.Assign(&topDown);
  ASSERT_EQ(b.Location(), ieTBitmap);
  ASSERT_TRUE(b.RowFlip());
  TCanvas* canvas = b.GetTBitmapCanvas();
  ASSERT_NE(canvas, nullptr);
  canvas->SetPixels(2, 0, RGB(200, 100, 50));
  EXPECT_EQ(b.GetPixel24(2, 0), (TRGB{50, 100, 200}));

  // Moving an image into a framework bitmap gives its canvas.
  TIEBitmap m(5, 5, ie24RGB);
  m.Fill(0);
  ASSERT_NE(m.GetTBitmapCanvas(), nullptr);
  EXPECT_EQ(m.Location(), ieTBitmap);
  m.GetTBitmapCanvas()->SetPixels(4, 1, RGB(9, 8, 7));
  m.SetLocation(ieInMemory);
  EXPECT_EQ(m.GetPixel24(4, 1), (TRGB{7, 8, 9}));
}

TEST_F(BitmapTest, AssignIntoAFrameworkBitmapRefusesWhatItCannotHold) {
  auto b = MakeIn(Storage::TBitmap, 2, 2, ie24RGB);
  TIEBitmap wide(3, 3, ie16Gray);
  b->Assign(&wide);
  EXPECT_TRUE(b->IsEmpty());
  TIEBitmap f(3, 3, ieCMYK);
  b->Assign(&f);
  EXPECT_TRUE(b->IsEmpty());
  TIEBitmap ok(3, 3, ie8g);
  ok.Fill(77);
  b->Assign(&ok);
  EXPECT_EQ(b->GetPixel8(2, 2), 77);
  EXPECT_EQ(b->Location(), ieTBitmap);
}

}  // namespace
