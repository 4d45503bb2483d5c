// Rotation: exact quarter turns and mirrors for every layout, the general
// nearest-pixel path, and the bilinear rotation against ImageMagick.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "imaging/io/imageryio_registry.h"
#include "imaging/processing/imageryproc.h"
#include "imaging/processing/imageryproc_component.h"
#include "tests/imaging/core/test_support.h"

namespace {

std::unique_ptr<TIEBitmap> Noise(int32_t width, int32_t height, TIEPixelFormat format, uint32_t seed) {
  auto bitmap = std::make_unique<TIEBitmap>(width, height, format);
  std::mt19937 random(seed);
  for (int32_t y = 0; y < height; ++y)
    for (int64_t x = 0; x < bitmap->RowLength64(); ++x) bitmap->GetScanline(y)[x] = uint8_t(random());
  return bitmap;
}

// Pixel (x, y) as bytes, or as one bit for ie1g.
std::string PixelAt(TIEBitmap& b, int32_t x, int32_t y) {
  const int32_t bits = b.GetBitCount();
  const uint8_t* row = b.GetScanline(y);
  if (bits == 1) return (row[x >> 3] & (0x80 >> (x & 7))) ? "1" : "0";
  return std::string(reinterpret_cast<const char*>(row) + int64_t{x} * (bits / 8), size_t(bits / 8));
}

TEST(RotateTest, QuarterTurnsAndMirrorsAreExact) {
  struct Turn {
    double angle;
    int32_t quarters;  // counter-clockwise
  };
  const Turn turns[] = {{90, 1}, {-270, 1}, {180, 2}, {-180, 2}, {270, 3}, {-90, 3}, {360, 0}, {0, 0}};
  for (const TIEPixelFormat format : {ie1g, ie8p, ie8g, ie16Gray, ie24RGB, ieRGB48, ieCMYK}) {
    auto source = Noise(11, 6, format, 3);
    if (format == ie8p) source->SetPaletteColor(200, TRGB{1, 2, 3});
    for (const Turn& t : turns) {
      TIEBitmap dest;
      IERotateNearestTo(source.get(), &dest, 0, t.angle, {}, nullptr);
      const bool sideways = t.quarters % 2 == 1;
      ASSERT_EQ(dest.GetPixelFormat(), format);
      ASSERT_EQ(dest.GetWidth(), sideways ? 6 : 11) << t.angle;
      ASSERT_EQ(dest.GetHeight(), sideways ? 11 : 6) << t.angle;
      for (int32_t y = 0; y < 6; ++y)
        for (int32_t x = 0; x < 11; ++x) {
          int32_t dx = x, dy = y;
          if (t.quarters == 1) dx = y, dy = 10 - x;
          if (t.quarters == 2) dx = 10 - x, dy = 5 - y;
          if (t.quarters == 3) dx = 5 - y, dy = x;
          EXPECT_EQ(PixelAt(dest, dx, dy), PixelAt(*source, x, y)) << int{format} << " angle " << t.angle;
        }
      if (format == ie8p) {
        TRGB entry;
        dest.GetPaletteColor(200, entry);
        EXPECT_EQ(entry, (TRGB{1, 2, 3}));
      }
    }
    for (const int32_t direction : {0, 1}) {
      TIEBitmap mirrored(*source);
      IEFlipBitmap(&mirrored, direction);
      EXPECT_EQ(PixelAt(mirrored, direction == 0 ? 10 : 0, direction == 0 ? 2 : 3), PixelAt(*source, 0, 2));
      IEFlipBitmap(&mirrored, direction);
      for (int32_t y = 0; y < 6; ++y)
        for (int32_t x = 0; x < 11; ++x) EXPECT_EQ(PixelAt(mirrored, x, y), PixelAt(*source, x, y));
    }
  }
}

TEST(RotateTest, QuarterTurnRoutinesAndProgressOnChange) {
  TIEBitmap source(3, 2, ie24RGB), cw, ccw;
  for (int32_t y = 0; y < 2; ++y)
    for (int32_t x = 0; x < 3; ++x) source.SetPixel24(x, y, TRGB{uint8_t(x), uint8_t(y), 0});
  IERotate90CW24(&source, &cw);
  IERotate90CCW24(&source, &ccw);
  ASSERT_EQ(cw.GetWidth(), 2);
  ASSERT_EQ(cw.GetHeight(), 3);
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 2; ++x) {
      EXPECT_EQ(cw.GetPixel24(x, y), source.GetPixel24(y, 1 - x));
      EXPECT_EQ(ccw.GetPixel24(x, y), source.GetPixel24(2 - y, x));
    }
  TIEBitmap grey(2, 1, ie8g), turned;
  grey.SetPixel8(0, 0, 5);
  grey.SetPixel8(1, 0, 9);
  IERotate90CW8(&grey, &turned);
  EXPECT_EQ(turned.GetPixel8(0, 0), 5);
  EXPECT_EQ(turned.GetPixel8(0, 1), 9);
  IERotate90CCW8(&grey, &turned);
  EXPECT_EQ(turned.GetPixel8(0, 0), 9);
  std::vector<int32_t> heard;
  int32_t state = -1;
  const TIEProgressEvent event = [&](TObject*, int32_t per) { heard.push_back(per); };
  for (int32_t per : {0, 0, 3, 3, 3, 7, 0}) IEReportProgressOnChange(per, state, event, nullptr);
  EXPECT_EQ(heard, (std::vector<int32_t>{0, 3, 7, 0}));
  IEReportProgressOnChange(9, state, {}, nullptr);
  EXPECT_EQ(state, 9);
}

TEST(RotateTest, GeneralAnglesLeaveBackgroundInTheCorners) {
  auto source = Noise(200, 200, ie24RGB, 4);
  TIEBitmap dest;
  IERotateNearestTo(source.get(), &dest, 0x00FF00, 90.5, {}, nullptr);
  EXPECT_EQ(dest.GetPixel24(0, 0), (TRGB{0, 255, 0}));
  TIEBitmap one(1, 1, ie8g), out;
  IERotateNearestTo(&one, &out, 0, 45, {}, nullptr);
  EXPECT_EQ(out.GetWidth(), 1);
  EXPECT_EQ(out.GetHeight(), 1);
  // Bicubic stays in range; the one-byte form blends with its background.
  auto grey = Noise(9, 9, ie8g, 5);
  TIEBitmap cubic;
  IERotateInterpolated8To(grey.get(), &cubic, 255, 33, 3);
  EXPECT_EQ(cubic.GetPixelFormat(), ie8g);
  EXPECT_EQ(cubic.GetPixel8(0, 0), 255);
}

// Our bilinear rotation against ImageMagick's SRT distortion with a point
// filter and bilinear interpolation, on pixels whose four samples lie inside.
TEST(RotateMagickTest, BilinearAgreesWithDistortSRT) {
  const int32_t w = 31, h = 23;
  std::vector<uint8_t> rgb(size_t(w) * h * 3);
  std::mt19937 random(9);
  for (uint8_t& v : rgb) v = uint8_t(random());
  TempFolder folder;
  const std::string header = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
  WriteFile(folder.File("in.ppm"), header + std::string(rgb.begin(), rgb.end()));
  TIEBitmap source(w, h, ie24RGB);
  for (int32_t y = 0; y < h; ++y) std::copy_n(&rgb[size_t(y) * w * 3], w * 3, source.GetScanline(y));
  for (const double angle : {30.0, -17.5, 123.0}) {
    TIEBitmap dest;
    IERotateInterpolatedTo(&source, &dest, 0, angle, 2, {}, nullptr);
    const int32_t dw = dest.GetWidth(), dh = dest.GetHeight();
    char command[512];
    std::snprintf(command, sizeof command,
                  "/usr/bin/convert %s -filter point -interpolate bilinear -virtual-pixel background "
                  "-background black -define distort:viewport=%dx%d+0+0 -distort SRT \"%g,%g 1 %g %g,%g\" "
                  "-depth 8 %s",
                  folder.File("in.ppm").c_str(), dw, dh, w / 2.0, h / 2.0, -angle, dw / 2.0, dh / 2.0,
                  folder.File("out.ppm").c_str());
    ASSERT_EQ(RunCommand(command), 0);
    const std::string theirs = ReadFile(folder.File("out.ppm"));
    const size_t start = theirs.size() - size_t(dw) * dh * 3;
    const double t = angle * M_PI / 180, c = std::cos(t), s = std::sin(t);
    int compared = 0, worst = 0;
    for (int32_t j = 0; j < dh; ++j)
      for (int32_t i = 0; i < dw; ++i) {
        const double sx = (i - (dw - 1) / 2.0) * c - (j - (dh - 1) / 2.0) * s + (w - 1) / 2.0;
        const double sy = (i - (dw - 1) / 2.0) * s + (j - (dh - 1) / 2.0) * c + (h - 1) / 2.0;
        if (sx < 0 || sy < 0 || std::floor(sx) + 1 > w - 1 || std::floor(sy) + 1 > h - 1) continue;
        ++compared;
        for (int32_t ch = 0; ch < 3; ++ch)
          worst = std::max(worst, std::abs(int(dest.GetScanline(j)[i * 3 + ch]) -
                                           int(uint8_t(theirs[start + (size_t(j) * dw + i) * 3 + ch]))));
      }
    EXPECT_GT(compared, w * h / 2) << angle;
    EXPECT_LE(worst, 1) << "angle " << angle;
  }
}

TEST(RotateProcTest, RotationKeepsTheFormatAndZeroDoesNothing) {
  auto bitmap = Noise(10, 7, ie8g, 6);
  TImageryProc proc(nullptr);
  proc.SetAttachedBitmap(bitmap.get());
  proc.AutoUndo = true;
  int finishes = 0;
  proc.OnFinishWork = [&](TObject*) { ++finishes; };
  proc.Rotate(1, -1, 0);
  EXPECT_EQ(finishes, 0);
  EXPECT_EQ(proc.UndoCount(), 0);
  proc.Rotate(1, -1, 30);
  EXPECT_EQ(bitmap->GetPixelFormat(), ie8g);
  EXPECT_EQ(proc.GetUndoCaption(0), "Rotate 30.000000");
  EXPECT_EQ(finishes, 1);
  auto colour = Noise(10, 7, ie24RGB, 7);
  colour->SetAlphaPixel(0, 0, 5);
  proc.SetAttachedBitmap(colour.get());
  proc.Rotate(2, -1, 90);
  EXPECT_EQ(colour->GetWidth(), 7);
  EXPECT_EQ(colour->GetAlphaChannel()->GetWidth(), 7);
  EXPECT_EQ(colour->GetAlphaPixel(0, 9), 5);  // counter-clockwise: (0, 0) goes to (0, W - 1)
  proc.Undo(false);
  EXPECT_EQ(colour->GetWidth(), 10);
}

}  // namespace

namespace {

// Centre of the pixels brighter than 128, relative to the image's centre.
std::pair<double, double> BrightCentre(TIEBitmap& b) {
  double sx = 0, sy = 0, n = 0;
  for (int32_t y = 0; y < b.GetHeight(); ++y)
    for (int32_t x = 0; x < b.GetWidth(); ++x)
      if (b.GetPixel24(x, y).g > 128) sx += x, sy += y, ++n;
  return {sx / n - (b.GetWidth() - 1) / 2.0, sy / n - (b.GetHeight() - 1) / 2.0};
}

TEST(ShearRotateTest, QuarterTurnsExactAndReductions) {
  auto source = Noise(9, 5, ie24RGB, 11);
  for (const double angle : {90.0, -90.0, 180.0, 360.0004}) {
    TIEBitmap shear(*source), nearest;
    IERotate24Bit(&shear, true, nullptr, angle, TRGB{}, {});
    IERotateNearestTo(source.get(), &nearest, 0, angle == 360.0004 ? 0 : angle, {}, nullptr);
    ASSERT_EQ(shear.GetWidth(), nearest.GetWidth()) << angle;
    for (int32_t y = 0; y < shear.GetHeight(); ++y)
      for (int32_t x = 0; x < shear.GetWidth(); ++x) EXPECT_EQ(shear.GetPixel24(x, y), nearest.GetPixel24(x, y));
  }
}

// Blends never leave the range of the two pixels they mix: a grey 200 square
// on a black background stays within 0..200, corners stay background, and
// the picture turns the same way as the interpolating rotation.
TEST(ShearRotateTest, BlendsStayBetweenNeighboursAndTurnCounterClockwise) {
  for (const double angle : {30.0, -20.0, 41.0}) {
    TIEBitmap square(40, 40, ie24RGB);
    square.Fill(0);
    for (int32_t y = 2; y < 14; ++y)
      for (int32_t x = 26; x < 38; ++x) square.SetPixel24(x, y, TRGB{200, 200, 200});
    TIEBitmap shear(square), plain(square), bilinear;
    IERotate24Bit(&shear, true, nullptr, angle, TRGB{}, {});
    IERotate24Bit(&plain, false, nullptr, angle, TRGB{}, {});
    IERotateInterpolatedTo(&square, &bilinear, 0, angle, 2, {}, nullptr);
    EXPECT_EQ(shear.GetPixel24(0, 0), (TRGB{0, 0, 0}));
    for (int32_t y = 0; y < shear.GetHeight(); ++y)
      for (int32_t x = 0; x < shear.GetWidth(); ++x) {
        EXPECT_LE(shear.GetPixel24(x, y).g, 200) << angle;
        const uint8_t v = plain.GetPixel24(x, y).g;
        EXPECT_TRUE(v == 0 || v == 200) << angle;
      }
    const auto [sx, sy] = BrightCentre(shear);
    const auto [bx, by] = BrightCentre(bilinear);
    EXPECT_NEAR(sx, bx, 2) << angle;
    EXPECT_NEAR(sy, by, 2) << angle;
  }
  TIEBitmap wide(3, 3, ie16Gray);
  wide.Fill(7);
  IERotate8Bit(&wide, true, 0, 30, {}, nullptr);
  EXPECT_EQ(wide.GetWidth(), 3);
}

}  // namespace

namespace {

// The one-bit and one-byte nearest rotations: exact turns where the angle is
// exactly a quarter or half turn, the chosen background in the uncovered
// corners, the format (and palette) kept, and nothing for other formats.
TEST(NearestBitRotateTest, ExactTurnsAndBackground) {
  auto source = Noise(11, 6, ie1g, 5);  // a width that is not a whole byte
  for (const double angle : {90.0, -90.0, 270.0, 180.0, -180.0}) {
    TIEBitmap turned(*source), nearest;
    TIEProgressRecord progress;
    IERotate1Bit(&turned, false, progress, angle);
    IERotateNearestTo(source.get(), &nearest, 0, angle, {}, nullptr);
    ASSERT_EQ(turned.GetWidth(), nearest.GetWidth()) << angle;
    ASSERT_EQ(turned.GetHeight(), nearest.GetHeight()) << angle;
    for (int32_t y = 0; y < turned.GetHeight(); ++y)
      for (int32_t x = 0; x < turned.GetWidth(); ++x)
        EXPECT_EQ(PixelAt(turned, x, y), PixelAt(nearest, x, y)) << angle << " at " << x << "," << y;
  }

  for (const bool white : {false, true}) {
    TIEBitmap black(40, 20, ie1g);
    black.Fill(0);
    int32_t lastPercent = -1;
    TIEProgressRecord progress;
    progress.fOnProgress = [&](TObject*, int32_t per) { lastPercent = per; };
    IERotate1Bit(&black, white, progress, 30);
    // trunc(|W cos| + |H sin|) and trunc(|W sin| + |H cos|) of the ten-thousandths.
    EXPECT_EQ(black.GetWidth(), 44);
    EXPECT_EQ(black.GetHeight(), 37);
    EXPECT_EQ(black.GetPixelFormat(), ie1g);
    EXPECT_EQ(PixelAt(black, 0, 0), white ? "1" : "0");
    EXPECT_EQ(PixelAt(black, 43, 36), white ? "1" : "0");
    EXPECT_EQ(PixelAt(black, 22, 18), "0");
    EXPECT_GE(lastPercent, 90);
  }

  // The shear rotation hands ie1g images over, white when the background is.
  TIEBitmap bits(16, 16, ie1g);
  bits.Fill(0);
  IERotate24Bit(&bits, true, nullptr, 45, TRGB{255, 255, 255}, {});
  EXPECT_EQ(bits.GetPixelFormat(), ie1g);
  EXPECT_EQ(PixelAt(bits, 0, 0), "1");
}

TEST(NearestBitRotateTest, OneBytePixels) {
  TIEBitmap palette(10, 10, ie8p);
  palette.SetPaletteColor(3, TRGB{1, 2, 3});
  palette.Fill(3);
  IERotate8BitNearest(&palette, 7, 45);
  EXPECT_EQ(palette.GetPixelFormat(), ie8p);
  EXPECT_EQ(palette.GetPixel8(0, 0), 7);
  EXPECT_EQ(palette.GetPixel8(palette.GetWidth() / 2, palette.GetHeight() / 2), 3);
  TRGB kept;
  palette.GetPaletteColor(3, kept);
  EXPECT_EQ(kept, (TRGB{1, 2, 3}));

  TIEBitmap wide(5, 3, ie16Gray);
  IERotate8BitNearest(&wide, 0, 90);
  EXPECT_EQ(wide.GetWidth(), 5);
  EXPECT_EQ(wide.GetPixelFormat(), ie16Gray);
}

}  // namespace
