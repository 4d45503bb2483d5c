#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imaging/core/ruduvazez.h"
#include "platform/rtl/streams.h"
#include "tests/imaging/core/test_support.h"

namespace {

std::string Base64(const std::string& bytes, int32_t lineLength) {
  TStringStream source(bytes), dest;
  IEStreamToBase64(source, dest, lineLength);
  return dest.DataString();
}

TEST(Routines, Base64LinesAndPadding) {
  EXPECT_EQ(Base64("Man", 76), "TWFu\r\n");
  EXPECT_EQ(Base64("Mana", 76), "TWFuYQ==\r\n");
  EXPECT_EQ(Base64("", 76), "");
  const std::string line = Base64(std::string(57, '\xFF'), 76);
  EXPECT_EQ(line, std::string(76, '/') + "\r\n");
  EXPECT_EQ(Base64(std::string(58, '\0'), 76), std::string(76, 'A') + "\r\nAA==\r\n");
  // Judged by the system's decoder.
  std::string bytes;
  for (int i = 0; i < 1000; ++i) bytes += static_cast<char>(i * 7);
  TempFolder folder;
  WriteFile(folder.File("b64.txt"), Base64(bytes, 64));
  ASSERT_EQ(RunCommand("tr -d '\\r' < " + folder.File("b64.txt") + " | base64 -d > " + folder.File("out.bin")), 0);
  EXPECT_EQ(ReadFile(folder.File("out.bin")), bytes);
}

TEST(Routines, FittingIntoABox) {
  struct Case {
    int32_t w, h;
    RECT box;
    bool fill, shrink, enlarge;
    RECT expected;
  };
  const Case cases[] = {
      {400, 200, {0, 0, 100, 100}, false, true, true, {0, 25, 100, 75}},
      {400, 200, {0, 0, 100, 100}, true, true, true, {-50, 0, 150, 100}},
      {50, 20, {10, 10, 110, 110}, false, true, true, {10, 40, 110, 80}},
      {50, 20, {10, 10, 110, 110}, false, true, false, {35, 50, 85, 70}},   // not enlarged
      {0, 20, {10, 10, 110, 110}, false, true, true, {10, 10, 0, 0}},
  };
  for (const Case& c : cases) {
    const RECT r = IEGetFitRect(c.w, c.h, c.box, c.fill, true, true, c.shrink, c.enlarge);
    EXPECT_EQ((std::vector<LONG>{r.left, r.top, r.right, r.bottom}),
              (std::vector<LONG>{c.expected.left, c.expected.top, c.expected.right, c.expected.bottom}));
  }
  int32_t w, h;
  IEGetFitSize(300, 100, 60, 60, w, h, false, true);
  EXPECT_EQ(w, 60);
  EXPECT_EQ(h, 20);
}

TEST(Routines, YCbCrBothWays) {
  uint8_t y, cb, cr;
  IERGBToYCbCr(0xFF0000, y, cb, cr);
  EXPECT_EQ((std::vector<int>{y, cb, cr}), (std::vector<int>{76, 84, 255}));
  IERGBToYCbCr(0xFFFFFF, y, cb, cr);
  EXPECT_EQ(y, 255);
  EXPECT_NEAR(cb, 128, 1);
  EXPECT_NEAR(cr, 128, 1);
  uint8_t bgr[3];
  IEYCbCrToBGR(bgr, 76, 84, 255);
  EXPECT_NEAR(bgr[2], 254, 1);
  EXPECT_LE(bgr[1], 1);
  EXPECT_LE(bgr[0], 1);
}

TEST(Routines, FileSizeTexts) {
  EXPECT_EQ(IEFileSizeToStr(10485760), "10 MB");
  EXPECT_EQ(IEFileSizeToStr(1536), "1 KB");
  EXPECT_EQ(IEFileSizeToStr(1023), "1,023 bytes");
  EXPECT_EQ(IEFileSizeToStr(15938355), "15.2 MB");
  EXPECT_EQ(IEFileSizeToStr(int64_t{3} << 30), "3 GB");
}

TEST(Routines, QuickSortThroughCallbacks) {
  for (std::vector<int> values : {std::vector<int>{5, 3, 9, 1, 5, 7, 2, 8, 0, 6}, std::vector<int>{1},
                                  std::vector<int>{2, 1}, std::vector<int>(50, 4)}) {
    std::vector<int> sorted = values;
    std::sort(sorted.begin(), sorted.end());
    IEQuickSort(static_cast<int32_t>(values.size()), [&](int32_t i, int32_t j) { std::swap(values[i], values[j]); },
                [&](int32_t i, int32_t j) { return values[i] - values[j]; });
    EXPECT_EQ(values, sorted);
  }
  IEQuickSort(0, nullptr, nullptr);
}

TEST(Routines, PolygonGeometry) {
  const POINT square[] = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
  EXPECT_TRUE(IEPointInPolygon(5, 5, square, 3));
  EXPECT_FALSE(IEPointInPolygon(15, 5, square, 3));
  EXPECT_FALSE(IEPointInPolygon(5, 10, square, 3));  // the lower edge is outside
  POINT p[] = {{10, 0}};
  IERotatePoints(p, 0, 0, 0, 90);  // minus the angle: y downwards, so upwards on screen
  EXPECT_EQ(p[0].x, 0);
  EXPECT_EQ(p[0].y, -10);
  const auto curve = IEBezierPoints({0, 0}, {0, 10}, {10, 10}, {10, 0}, 4);
  ASSERT_EQ(curve.size(), 4u);
  EXPECT_EQ(curve[1].x, 5);
  EXPECT_EQ(curve[1].y, 8);
  EXPECT_EQ(curve[3].x, 10);
  EXPECT_EQ(curve[3].y, 0);
}

TEST(Routines, RampsColoursAndTexts) {
  const auto ramp = IEGaussRamp(4, 130, 255, 0.5);
  EXPECT_DOUBLE_EQ(ramp[2], 255);  // t = 0
  EXPECT_LT(ramp[0], ramp[1]);
  const TRGB palette[] = {{0, 0, 0}, {200, 200, 200}, {10, 10, 10}, {10, 10, 10}};
  EXPECT_EQ(IENearestPaletteIndex(palette, 4, TRGB{9, 9, 9}), 2);
  EXPECT_EQ(IENearestPaletteIndex(palette, 0, TRGB{9, 9, 9}), 0);
  EXPECT_TRUE(IEColorWithinTolerance(3, 0x102030, 0x132133));
  EXPECT_FALSE(IEColorWithinTolerance(3, 0x102030, 0x102034));
  EXPECT_EQ(IEStripControlChars("a\tb\x7F" "c\n"), "abc");
  EXPECT_EQ(IEGetURLType("HTTPS://x"), 2);
  EXPECT_EQ(IEGetURLType("ftp://x"), 3);
  EXPECT_EQ(IEGetURLType("file:///x"), 0);
  EXPECT_TRUE(IEStrToBool("t"));
  EXPECT_FALSE(IEStrToBool("yes"));
  EXPECT_EQ(IERGBToStr(0x0A141E), "10, 20, 30");
  EXPECT_EQ(IEStrToRGB(" 10, 20 ,30"), (TRGB{30, 20, 10}));
  EXPECT_EQ(IEStrToRGB("x, 5"), (TRGB{0, 5, 0}));
}

}  // namespace
