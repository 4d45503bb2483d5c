// The GDI+ wrappers keep their last failure, start GDI+ on demand, and the
// pictures keep encoded bytes, learn their size and draw with alpha.
#include <gtest/gtest.h>

#include <memory>

#include "platform/rtl/streams.h"
#include "tests/ui/render/markup_test_support.h"
#include "tests/ui/render/render_test_files.h"
#include "ui/render/advgdip.h"
#include "ui/render/advsmoothgdip.h"

using namespace AdvSmoothGDIP;

TEST(GdipWrappers, PrimaryFillRectangleSkipsEmptyCallsTheSecondaryForwardsThem) {
  MarkupCanvas c(20, 20);
  std::unique_ptr<TGPGraphics> g(new TGPGraphics(c.Canvas()->Handle()));
  std::unique_ptr<TGPSolidBrush> red(new TGPSolidBrush(GDIPColorToARGB(clRed)));
  EXPECT_EQ(g->FillRectangle(nullptr, 0, 0, 5, 5), Gdiplus::Ok);
  EXPECT_EQ(g->FillRectangle(red.get(), 0, 0, 0, 5), Gdiplus::Ok);
  EXPECT_EQ(g->GetLastStatus(), Gdiplus::Ok);
  EXPECT_EQ(g->FillRectangle(red.get(), 2, 2, 4, 4), Gdiplus::Ok);
  g.reset();
  EXPECT_EQ(c.Pixel(3, 3), clRed);
  EXPECT_EQ(c.Pixel(10, 10), clWhite);

  std::unique_ptr<AdvGDIP::TGPGraphics> s(new AdvGDIP::TGPGraphics(c.Canvas()->Handle()));
  EXPECT_NE(s->FillRectangle(nullptr, 0, 0, 5, 5), Gdiplus::Ok);
  EXPECT_NE(s->GetLastStatus(), Gdiplus::Ok);
}

TEST(GdipWrappers, SurroundColorsBeyondThePathsPointsRecordInvalidParameter) {
  std::unique_ptr<TGPGraphicsPath> path(new TGPGraphicsPath());
  path->AddEllipse(0, 0, 10, 10);
  std::unique_ptr<TGPPathGradientBrush> brush(new TGPPathGradientBrush(path.get()));
  int points = brush->GetPointCount();
  ASSERT_GT(points, 0);
  std::vector<ARGB> colors(static_cast<size_t>(points) + 1, 0xFF000000);
  int count = points + 1;
  EXPECT_EQ(brush->SetSurroundColors(colors.data(), count), Gdiplus::InvalidParameter);
  EXPECT_EQ(count, points + 1);
  EXPECT_EQ(brush->GetLastStatus(), Gdiplus::InvalidParameter);
  count = 1;
  EXPECT_EQ(brush->SetSurroundColors(colors.data(), count), Gdiplus::Ok);
  // A later success leaves the recorded failure.
  EXPECT_EQ(brush->GetLastStatus(), Gdiplus::InvalidParameter);
  EXPECT_EQ(brush->SetInterpolationColors(nullptr, nullptr, 0), Gdiplus::InvalidParameter);
}

TEST(GdipWrappers, UnknownFontFamilyFallsBackToArial) {
  TFont font;
  font.SetName("No Such Face At All");
  font.SetSize(12);
  font.SetStyle(TFontStyles{fsBold});
  std::unique_ptr<TGPFont> gp(CreateGPFont(nullptr, &font));
  EXPECT_EQ(gp->GetLastStatus(), Gdiplus::Ok);
  EXPECT_NE(gp->Native(), nullptr);
}

TEST(GdipWrappers, DrawTextGDIPCalculatingOnlyChangesTheRectangle) {
  MarkupCanvas c(200, 50);
  std::unique_ptr<TGPGraphics> g(new TGPGraphics(c.Canvas()->Handle()));
  TFont font;
  font.SetSize(12);
  RECT r{10, 5, 10, 5};
  int h = DrawTextGDIP(g.get(), "Hello", 5, r, &font, kDrawTextCalcRect, clNone);
  EXPECT_GT(r.right, 30);
  EXPECT_EQ(h, r.bottom - r.top);
  EXPECT_GT(h, 10);
  g.reset();
  EXPECT_FALSE(c.Inked(RECT{0, 0, 200, 50}));
  // A single blank is measured as a blank; a longer text's trailing blank counts.
  std::unique_ptr<TGPGraphics> g2(new TGPGraphics(c.Canvas()->Handle()));
  RECT a{0, 0, 0, 0}, b{0, 0, 0, 0};
  DrawTextGDIP(g2.get(), "ab", 2, a, &font, kDrawTextCalcRect, clNone);
  DrawTextGDIP(g2.get(), "ab ", 3, b, &font, kDrawTextCalcRect, clNone);
  EXPECT_GT(b.right, a.right);
}

TEST(GdipPictures, FormatsSizesAndDrawing) {
  TestFiles files;
  struct Case {
    const char* args;
    const char* name;
    TImageFormat format;
  } cases[] = {{"-size 12x8 xc:red", "a.png", ifPNG},
               {"-size 12x8 xc:red", "a.gif", ifGIF},
               {"-size 12x8 xc:red", "a.jpg", ifJPEG},
               {"-size 12x8 xc:red", "a.bmp", ifBMP}};
  for (const Case& c : cases) {
    std::string path = files.Convert(c.args, c.name);
    std::unique_ptr<TGPImage> image = DecodeGPImage(TestFiles::Read(path));
    EXPECT_EQ(image->GetFormat(), c.format) << c.name;
    EXPECT_EQ(image->GetWidth(), 12u) << c.name;
    TAdvGDIPPicture picture;
    picture.LoadFromFile(path);
    EXPECT_FALSE(picture.Empty()) << c.name;
    EXPECT_EQ(picture.Width(), 12) << c.name;
    EXPECT_EQ(picture.Height(), 8) << c.name;
  }
}

TEST(GdipPictures, TheFileSizeComesFromTheExtension) {
  TestFiles files;
  std::string jpg = files.Convert("-size 40x30 xc:blue -interlace JPEG", "p.jpg");
  std::string tif = files.Write("p.tif", TestFiles::Read(jpg));
  TAdvGDIPPicture a, b;
  a.LoadFromFile(jpg);
  b.LoadFromFile(tif);
  EXPECT_EQ(a.Width(), 40);
  EXPECT_EQ(a.Height(), 30);
  EXPECT_EQ(b.Width(), 0);  // not read from a ".tif" header
  EXPECT_TRUE(b.ReadImageSize());
  EXPECT_EQ(b.Width(), 40);
}

TEST(GdipPictures, EventsOfLoadingAndClearing) {
  TestFiles files;
  std::string png = files.Convert("-size 4x4 xc:red", "e.png");
  TAdvGDIPPicture picture;
  std::string order;
  picture.OnChange = [&](TObject*) { order += "change "; };
  picture.OnClear = [&](TObject*) { order += "clear "; };
  picture.LoadFromFile(png);
  EXPECT_EQ(order, "clear change ");
  order.clear();
  picture.Assign(nullptr);
  EXPECT_EQ(order, "change clear ");
  EXPECT_TRUE(picture.Empty());
  order.clear();
  TMemoryStream empty;
  picture.LoadFromStream(empty);
  EXPECT_EQ(order, "");
  EXPECT_TRUE(picture.Empty());
  // The secondary picture takes an empty stream and becomes non-empty with no bytes.
  AdvGDIP::TGDIPPicture second;
  second.LoadFromStream(empty);
  EXPECT_FALSE(second.Empty());
  EXPECT_TRUE(second.Data().empty());
  picture.LoadFromFile(files.Path("missing.png"));
  EXPECT_TRUE(picture.Empty());
}

TEST(GdipPictures, DrawOnGraphicsStretchesAPngAndKeysATransparentBmp) {
  TestFiles files;
  TAdvGDIPPicture png;
  png.LoadFromFile(files.Convert("-size 4x4 xc:red", "s.png"));
  MarkupCanvas c(40, 40);
  {
    std::unique_ptr<TGPGraphics> g(new TGPGraphics(c.Canvas()->Handle()));
    png.DrawOnGraphics(g.get(), RECT{0, 0, 20, 20});
  }
  EXPECT_EQ(c.Pixel(15, 15), clRed);
  EXPECT_EQ(c.Pixel(25, 25), clWhite);

  // A BMP whose bottom-left pixel is blue: blue is keyed out, drawn at natural size.
  TAdvGDIPPicture bmp;
  bmp.LoadFromFile(files.Convert("-size 6x6 xc:red -fill blue -draw 'point 0,5' -type TrueColor", "k.bmp"));
  bmp.SetTransparent(true);
  c.Clear();
  {
    std::unique_ptr<TGPGraphics> g(new TGPGraphics(c.Canvas()->Handle()));
    bmp.DrawOnGraphics(g.get(), RECT{10, 10, 40, 40});
  }
  EXPECT_EQ(c.Pixel(12, 12), clRed);
  EXPECT_EQ(c.Pixel(10, 15), clWhite);  // the keyed pixel
  EXPECT_EQ(c.Pixel(20, 20), clWhite);  // not stretched
}

TEST(GdipPictures, AssignCopiesBytesAndSaveWritesThemUnchanged) {
  TestFiles files;
  std::string png = files.Convert("-size 5x3 xc:lime", "c.png");
  TAdvGDIPPicture a, b;
  a.LoadFromFile(png);
  b.Assign(&a);
  EXPECT_EQ(b.Width(), 5);
  TMemoryStream saved;
  b.SaveToStream(saved);
  std::vector<uint8_t> bytes(static_cast<const uint8_t*>(saved.Memory()),
                             static_cast<const uint8_t*>(saved.Memory()) + saved.Size());
  EXPECT_EQ(bytes, TestFiles::Read(png));
}
