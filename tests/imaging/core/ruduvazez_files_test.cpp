// File names and extension lists, file information, texts shortened to a
// width, dimmed surroundings, preview backgrounds and hit-test distances.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "imaging/core/ruduvazez.h"
#include "platform/rtl/sysutils.h"
#include "tests/imaging/core/test_support.h"

namespace {

TEST(FileNameTest, ExtensionsAndMaskLists) {
  struct Case {
    const char* extension;
    const char* list;
    bool found;
  };
  const Case cases[] = {
      {".TIF", "*.tif;*.tiff;", true}, {"tiff", "*.tif;*.tiff", true},  // the last mask needs no ";"
      {".ti", "*.tif;", false},        {".if", "*.tif;", false},        // beginnings and ends of a longer one
      {".wmv", "*.avi;*.WMV", true},   {"", "*.;", false},              {".", "*.;", false},
      {".jpg", ".jpg;.jpeg", true},
  };
  for (const Case& c : cases) EXPECT_EQ(IEExtInList(c.extension, c.list), c.found) << c.extension << " in " << c.list;
  EXPECT_TRUE(IEFileExtInList("/photos.v2/Chart.JPG", "*.jpg;*.jpeg"));
  EXPECT_FALSE(IEFileExtInList("/photos.jpg/chart", "*.jpg;"));

  EXPECT_EQ(IELowerFileExt("/a.b/Chart.TIFF", false), "tiff");
  EXPECT_EQ(IELowerFileExt("/a.b/Chart.TIFF", true), ".tiff");
  EXPECT_EQ(IELowerFileExt("/a.b/chart", false), "");
  EXPECT_EQ(IEExtractFilePathW("C:\\work\\chart.tif"), "C:\\work\\");
  EXPECT_EQ(IEExtractFileNameW("/work/chart.tif"), "chart.tif");
  EXPECT_EQ(IEExtractFileNameW("C:chart.tif"), "chart.tif");
}

TEST(FileNameTest, FileInformation) {
  TempFolder folder;
  const std::string file = folder.File("chart.tif");
  WriteFile(file, std::string(1234, 'x'));
  int64_t size = 0;
  TDateTime created = 0, written = 0;
  ASSERT_TRUE(IEGetFileInfo(file, size, created, written));
  EXPECT_EQ(size, 1234);
  EXPECT_LT(std::fabs(written - Now()), 1.0 / 24);  // local time, to the DOS format's two seconds
  EXPECT_EQ(created, written);
  EXPECT_TRUE(IEFileExists(file));
  EXPECT_FALSE(IEFileExists(folder.Path()));
  EXPECT_FALSE(IEGetFileInfo(folder.Path(), size, created, written));
  EXPECT_FALSE(IEGetFileInfo(folder.File("missing.tif"), size, created, written));
}

std::unique_ptr<TBitmap> White(int32_t width, int32_t height) {
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetPixelFormat(pf24bit);
  bitmap->SetSize(width, height);
  bitmap->Canvas()->Brush()->SetColor(clWhite);
  bitmap->Canvas()->FillRect(RECT{0, 0, width, height});
  return bitmap;
}

TEST(TextFitTest, TruncatedOnEitherSide) {
  auto bitmap = White(10, 10);
  TCanvas* canvas = bitmap->Canvas();
  const std::string text = "ColorChecker passport photograph.tif";
  const int32_t width = IETextWidthW(canvas, text) / 2;
  const std::string start = IETruncateText(text, 0, canvas, width);
  const std::string end = IETruncateText(text, 1, canvas, width);
  EXPECT_LE(IETextWidthW(canvas, start), width);
  EXPECT_EQ(start.substr(start.size() - 3), "...");
  EXPECT_EQ(text.compare(0, start.size() - 3, start, 0, start.size() - 3), 0);
  EXPECT_LE(IETextWidthW(canvas, end), width);
  EXPECT_EQ(end.substr(0, 3), "...");
  EXPECT_TRUE(text.ends_with(end.substr(3)));
  EXPECT_EQ(IETruncateText(text, 0, canvas, 10000), text);
  EXPECT_GT(IETextHeightW(canvas, text), 0);

  // Multi-byte characters are never cut in half.
  const std::string accented = "\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9";
  for (int32_t side : {0, 1}) {
    const std::string cut = IETruncateText(accented, side, canvas, IETextWidthW(canvas, accented) / 2);
    const std::string body = side == 0 ? cut.substr(0, cut.size() - 3) : cut.substr(3);
    EXPECT_EQ(body.size() % 2, 0u) << cut;
  }
}

TEST(PreviewPaintTest, DimmedSurroundingsAndBackgrounds) {
  auto bitmap = White(20, 20);
  IEDimOutsideRect(bitmap->Canvas(), RECT{0, 0, 20, 20}, RECT{5, 5, 15, 15});
  const auto pixel = [&](int32_t x, int32_t y) { return static_cast<uint8_t*>(bitmap->ScanLine(y))[3 * x]; };
  for (auto [x, y] : {std::pair{1, 1}, std::pair{10, 2}, std::pair{2, 10}, std::pair{18, 18}}) EXPECT_LT(pixel(x, y), 200);
  EXPECT_EQ(pixel(10, 10), 255);
  auto untouched = White(20, 20);
  IEDimOutsideRect(untouched->Canvas(), RECT{0, 0, 20, 20}, RECT{5, 5, 5, 15});
  EXPECT_EQ(static_cast<uint8_t*>(untouched->ScanLine(1))[3], 255);

  TBitmap striped;
  IEPaintStripedBackground(&striped, 7, 9);
  ASSERT_EQ(striped.PixelFormat(), pf24bit);
  const auto ramp = IEGaussRamp(4, 130, 255, 0.5);
  for (int32_t y = 0; y < 9; ++y)
    EXPECT_EQ(static_cast<uint8_t*>(striped.ScanLine(y))[3 * 6 + 1], static_cast<uint8_t>(ramp[y % 4])) << y;

  TBitmap noise;
  IEPaintNoiseBackground(&noise, 64, 16);
  for (int32_t y = 0; y < 16; ++y)
    for (int32_t x = 0; x < 64; ++x) {
      const uint8_t v = static_cast<uint8_t*>(noise.ScanLine(y))[3 * x];
      EXPECT_GE(v, 160);
      EXPECT_LE(v, 218);
    }
}

TEST(HitDistanceTest, BoxesAndEllipses) {
  // Box 10..30 x 10..20: on the outline, inside, outside, and a wide pen.
  EXPECT_DOUBLE_EQ(IEPointToBoxDistance(20, 10, 10, 10, 30, 20, false, 1), 0);
  EXPECT_DOUBLE_EQ(IEPointToBoxDistance(20, 13, 10, 10, 30, 20, false, 1), 3);
  EXPECT_DOUBLE_EQ(IEPointToBoxDistance(20, 13, 10, 10, 30, 20, true, 1), 0);
  EXPECT_DOUBLE_EQ(IEPointToBoxDistance(20, 5, 10, 10, 30, 20, false, 1), 5);
  EXPECT_DOUBLE_EQ(IEPointToBoxDistance(20, 13, 10, 10, 30, 20, false, 5), 1);  // the box moved by +2
  // Ellipse in 0..40 x 0..40 (radius 20 about 20, 20).
  EXPECT_LT(IEPointToEllipseDistance(20, 40, 0, 0, 40, 40, false, 1), 2);
  EXPECT_NEAR(IEPointToEllipseDistance(20, 30, 0, 0, 40, 40, false, 1), 10, 2);
  EXPECT_DOUBLE_EQ(IEPointToEllipseDistance(20, 20, 0, 0, 40, 40, true, 1), 0);
}

}  // namespace
