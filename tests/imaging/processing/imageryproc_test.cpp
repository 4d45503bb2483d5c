// The gaussian blur: kernel shapes, whole images against a floating-point
// reference, the rectangle variant, progress, and the shadow margin.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "imaging/processing/imageryproc.h"
#include "tests/imaging/core/bitmap_support.h"

namespace {

// ---- kernel ----------------------------------------------------------------------------

TEST(GaussKernelTest, HalfWidthFollowsSigma) {
  struct Case {
    double sigma;
    int halfWidth;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  // 0, negative and NaN give the identity as a tiny sigma does.
  for (const Case& c : {Case{1e-6, 1}, Case{0, 1}, Case{-2, 1}, Case{nan, 1}, Case{1, 4}, Case{2.5, 11},
                        Case{25, 97}, Case{26, 100}, Case{40, 100}}) {
    GaussKernel kernel;
    IEMakeGaussKernel(kernel, c.sigma);
    EXPECT_EQ(int{kernel.HalfWidth}, c.halfWidth) << "sigma " << c.sigma;
    int64_t sum = 0;
    for (int k = -100; k <= 100; ++k) {
      EXPECT_EQ(kernel.Weight(k), kernel.Weight(-k)) << "sigma " << c.sigma << " k " << k;
      if (std::abs(k) > c.halfWidth) {
        EXPECT_EQ(kernel.Weight(k), 0) << "sigma " << c.sigma << " k " << k;
      }
      sum += kernel.Weight(k);
    }
    // Each of the 201 weights is rounded by at most one half.
    EXPECT_NEAR(sum, 65536, 100.5) << "sigma " << c.sigma;
  }
  GaussKernel tiny;
  IEMakeGaussKernel(tiny, 1e-6);
  EXPECT_EQ(tiny.Weight(-1), 0);
  EXPECT_EQ(tiny.Weight(0), 65536);
  EXPECT_EQ(tiny.Weight(1), 0);
}

TEST(GaussKernelTest, WeightsAreTheNormalisedSamples) {
  GaussKernel kernel;
  IEMakeGaussKernel(kernel, 1);
  EXPECT_DOUBLE_EQ(kernel.Samples[100], 1.0);
  EXPECT_DOUBLE_EQ(kernel.Samples[101], std::exp(-0.5));
  EXPECT_DOUBLE_EQ(kernel.Samples[102], std::exp(-2.0));
  // For sigma 1 the samples sum to sqrt(2 pi) within 1e-8.
  const double sum = std::sqrt(2 * std::numbers::pi);
  EXPECT_EQ(kernel.Weight(0), std::lround(65536 / sum));                   // 26145
  EXPECT_EQ(kernel.Weight(1), std::lround(65536 * std::exp(-0.5) / sum));  // 15858
  EXPECT_EQ(kernel.Weight(4), 9);
}

// ---- rows ------------------------------------------------------------------------------

// The blur of position i of a run in doubles, ends repeated.
double ReferenceAt(const GaussKernel& kernel, const std::vector<double>& run, int i) {
  double sum = 0;
  const int last = static_cast<int>(run.size()) - 1;
  for (int k = -kernel.HalfWidth; k <= kernel.HalfWidth; ++k)
    sum += kernel.Weight(k) * run[std::clamp(i + k, 0, last)];
  return sum / 65536;
}

TEST(BlurRowTest, RowsMatchTheReferenceAndKeepChannelsApart) {
  GaussKernel kernel;
  IEMakeGaussKernel(kernel, 1.5);
  const int count = 17;
  std::vector<uint8_t> rgb(count * 3), out24(count * 3);
  for (int i = 0; i < count; ++i) {
    rgb[i * 3] = static_cast<uint8_t>(i < 8 ? 0 : 255);    // a step, reaching both ends
    rgb[i * 3 + 1] = 77;                                    // constant
    rgb[i * 3 + 2] = static_cast<uint8_t>((i * 53) % 256);  // noise
  }
  IEBlurRow24(kernel, rgb.data(), out24.data(), count);
  for (int c = 0; c < 3; ++c) {
    std::vector<uint8_t> channel(count), out8(count);
    std::vector<double> values(count);
    for (int i = 0; i < count; ++i) values[i] = channel[i] = rgb[i * 3 + c];
    IEBlurRow8(kernel, channel.data(), out8.data(), count);
    for (int i = 0; i < count; ++i) {
      EXPECT_EQ(out24[i * 3 + c], out8[i]) << "channel " << c << " at " << i;
      EXPECT_EQ(out8[i], static_cast<int>(std::floor(ReferenceAt(kernel, values, i) + 0.5)))
          << "channel " << c << " at " << i;
    }
    if (c == 1) {
      for (int i = 0; i < count; ++i) EXPECT_EQ(out8[i], 77);
    }
  }
  // A single pixel takes every weight on itself.
  const uint8_t one[3] = {9, 128, 255};
  uint8_t result[3] = {};
  IEBlurRow24(kernel, one, result, 1);
  EXPECT_EQ(result[0], 9);
  EXPECT_EQ(result[1], 128);
  EXPECT_EQ(result[2], 255);
}

// ---- whole images --------------------------------------------------------------------------

class BlurTest : public BitmapTest {
protected:
  // A pattern with smooth parts, steps and noise.
  static uint8_t Pattern(int x, int y, int c) {
    if ((x / 5 + y / 4) % 3 == 0) return static_cast<uint8_t>(40 + 60 * c);
    return static_cast<uint8_t>((x * 37 + y * 91 + c * 17 + x * y) % 256);
  }
  static void Paint(TIEBitmap& bitmap, const std::function<uint8_t(int, int, int)>& value) {
    const int channels = bitmap.GetPixelFormat() == ie24RGB ? 3 : 1;
    for (int y = 0; y < bitmap.GetHeight(); ++y) {
      uint8_t* row = bitmap.GetScanline(y);
      for (int x = 0; x < bitmap.GetWidth(); ++x)
        for (int c = 0; c < channels; ++c) row[x * channels + c] = value(x, y, c);
    }
  }
  static std::vector<uint8_t> Pixels(TIEBitmap& bitmap) {
    const int bytes = bitmap.GetWidth() * (bitmap.GetPixelFormat() == ie24RGB ? 3 : 1);
    std::vector<uint8_t> all;
    for (int y = 0; y < bitmap.GetHeight(); ++y) {
      const uint8_t* row = bitmap.GetScanline(y);
      all.insert(all.end(), row, row + bytes);
    }
    return all;
  }
};

// The blur in doubles over both axes at once (rows, then columns, unrounded).
std::vector<double> ReferenceBlur(const std::vector<uint8_t>& pixels, int width, int height, int channels,
                                  double sigma) {
  GaussKernel kernel;
  IEMakeGaussKernel(kernel, sigma);
  std::vector<double> rows(pixels.size()), result(pixels.size());
  for (int c = 0; c < channels; ++c) {
    for (int y = 0; y < height; ++y) {
      std::vector<double> run(width);
      for (int x = 0; x < width; ++x) run[x] = pixels[(y * width + x) * channels + c];
      for (int x = 0; x < width; ++x) rows[(y * width + x) * channels + c] = ReferenceAt(kernel, run, x);
    }
    for (int x = 0; x < width; ++x) {
      std::vector<double> run(height);
      for (int y = 0; y < height; ++y) run[y] = rows[(y * width + x) * channels + c];
      for (int y = 0; y < height; ++y) result[(y * width + x) * channels + c] = ReferenceAt(kernel, run, y);
    }
  }
  return result;
}

TEST_F(BlurTest, WholeImagesMatchTheReferenceInEveryStorage) {
  struct Case {
    TIEPixelFormat format;
    int width, height;
    double sigma;
  };
  for (Storage storage : {Storage::Memory, Storage::TempFile, Storage::TBitmap})
    for (const Case& c : {Case{ie8g, 23, 17, 1.2}, Case{ie24RGB, 19, 26, 2}, Case{ie8g, 1, 30, 1.5},
                          Case{ie24RGB, 30, 1, 1.5}, Case{ie8g, 9, 7, 30}}) {
      const std::string what = StorageName(storage) + " " + std::to_string(c.width) + "x" + std::to_string(c.height);
      auto bitmap = MakeIn(storage, c.width, c.height, c.format);
      Paint(*bitmap, Pattern);
      const int channels = c.format == ie24RGB ? 3 : 1;
      const std::vector<double> expected = ReferenceBlur(Pixels(*bitmap), c.width, c.height, channels, c.sigma);
      IEGaussianBlur(bitmap.get(), nullptr, c.sigma, {});
      const std::vector<uint8_t> actual = Pixels(*bitmap);
      int worst = 0;
      for (size_t i = 0; i < actual.size(); ++i)
        worst = std::max(worst, static_cast<int>(std::abs(actual[i] - expected[i]) + 0.5));
      // Each pass rounds once.
      EXPECT_LE(worst, 1) << what;
    }
}

TEST_F(BlurTest, OneColumnImagesBlurOnlyAlongTheColumn) {
  auto column = MakeIn(Storage::Memory, 1, 12, ie8g);
  Paint(*column, [](int, int y, int) { return static_cast<uint8_t>(y < 6 ? 10 : 250); });
  std::vector<uint8_t> source = Pixels(*column), expected(12);
  GaussKernel kernel;
  IEMakeGaussKernel(kernel, 1);
  IEBlurRow8(kernel, source.data(), expected.data(), 12);
  IEGaussianBlur(column.get(), nullptr, 1, {});
  EXPECT_EQ(Pixels(*column), expected);
}

TEST_F(BlurTest, ConstantImagesStayAndTheSumIsKept) {
  for (TIEPixelFormat format : {ie8g, ie24RGB})
    for (double sigma : {0.7, 3.0, 60.0}) {
      auto flat = MakeIn(Storage::Memory, 25, 14, format);
      Paint(*flat, [](int, int, int c) { return static_cast<uint8_t>(c == 0 ? 255 : 90 * c); });
      const std::vector<uint8_t> before = Pixels(*flat);
      IEGaussianBlur(flat.get(), nullptr, sigma, {});
      EXPECT_EQ(Pixels(*flat), before) << "sigma " << sigma;
    }
  // A block far enough from the edges that no weight falls outside.
  auto block = MakeIn(Storage::Memory, 80, 80, ie8g);
  Paint(*block, [](int x, int y, int) {
    return static_cast<uint8_t>(x >= 28 && x < 52 && y >= 28 && y < 52 ? 200 : 0);
  });
  IEGaussianBlur(block.get(), nullptr, 3, {});
  int64_t sum = 0;
  for (uint8_t v : Pixels(*block)) sum += v;
  EXPECT_NEAR(sum, 24 * 24 * 200, 24 * 24 * 200 * 0.003);
}

TEST_F(BlurTest, OtherFormatsAndNoSigmaAreLeftAlone) {
  auto gray = MakeIn(Storage::Memory, 10, 10, ie8g);
  Paint(*gray, Pattern);
  const std::vector<uint8_t> before = Pixels(*gray);
  for (double sigma : {0.0, -1.0, std::numeric_limits<double>::quiet_NaN(), 1e-9}) {
    IEGaussianBlur(gray.get(), nullptr, sigma, {});
    IEGaussianBlurGray8(gray.get(), 0, 0, 9, 9, sigma);
  }
  EXPECT_EQ(Pixels(*gray), before);

  auto palette = MakeIn(Storage::Memory, 10, 10, ie8p);
  Paint(*palette, Pattern);
  auto rgb = MakeIn(Storage::Memory, 10, 10, ie24RGB);
  Paint(*rgb, Pattern);
  const std::vector<uint8_t> paletteBefore = Pixels(*palette), rgbBefore = Pixels(*rgb);
  IEGaussianBlur(palette.get(), nullptr, 2, {});
  IEGaussianBlurGray8(palette.get(), 0, 0, 9, 9, 2);
  IEGaussianBlurGray8(rgb.get(), 0, 0, 9, 9, 2);
  EXPECT_EQ(Pixels(*palette), paletteBefore);
  EXPECT_EQ(Pixels(*rgb), rgbBefore);

  TIEBitmap empty;
  IEGaussianBlur(&empty, nullptr, 2, {});
  IEGaussianBlurGray8(&empty, 0, 0, 5, 5, 2);
  IEGaussianBlur(nullptr, nullptr, 2, {});
}

TEST_F(BlurTest, ProgressCountsTheRowsThenTheColumns) {
  auto bitmap = MakeIn(Storage::Memory, 3, 2, ie8g);
  TObject sender;
  std::vector<int> seen;
  IEGetGlobalSettings()->CoreCount = 1;
  IEGaussianBlur(bitmap.get(), &sender, 1, [&](TObject* from, int per) {
    EXPECT_EQ(from, &sender);
    seen.push_back(per);
  });
  IEGetGlobalSettings()->CoreCount = -1;
  // W + H = 5 steps: after row y Trunc(y x 100 / 5), after column x Trunc((x + 2) x 100 / 5).
  EXPECT_EQ(seen, (std::vector<int>{0, 20, 40, 60, 80}));
}

// ---- rectangles ---------------------------------------------------------------------------

TEST_F(BlurTest, RectangleBlursAsASeparateImageAndTouchesNothingElse) {
  struct Case {
    int x1, y1, x2, y2;          // as passed
    int cx1, cy1, cx2, cy2;      // cut to the image
  };
  const int width = 30, height = 20;
  for (const Case& c : {Case{5, 4, 14, 12, 5, 4, 14, 12}, Case{-7, 3, 8, 99, 0, 3, 8, 19},
                        Case{20, -1, 40, 0, 20, 0, 29, 0}, Case{-5, -5, 100, 100, 0, 0, 29, 19}}) {
    auto bitmap = MakeIn(Storage::Memory, width, height, ie8g);
    Paint(*bitmap, Pattern);
    const std::vector<uint8_t> before = Pixels(*bitmap);
    // The same rectangle as an image of its own: the rectangle's border
    // repeats, nothing beyond it is read.
    auto part = MakeIn(Storage::Memory, c.cx2 - c.cx1 + 1, c.cy2 - c.cy1 + 1, ie8g);
    Paint(*part, [&](int x, int y, int) { return before[(y + c.cy1) * width + x + c.cx1]; });
    IEGaussianBlur(part.get(), nullptr, 1.7, {});

    IEGaussianBlurGray8(bitmap.get(), c.x1, c.y1, c.x2, c.y2, 1.7);
    const std::vector<uint8_t> after = Pixels(*bitmap);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        const bool inside = x >= c.cx1 && x <= c.cx2 && y >= c.cy1 && y <= c.cy2;
        const int expected = inside ? part->GetPixel8(x - c.cx1, y - c.cy1) : before[y * width + x];
        ASSERT_EQ(after[y * width + x], expected) << "rectangle " << c.x1 << "," << c.y1 << " at " << x << "," << y;
      }
  }
  // Corners in the wrong order select nothing.
  auto bitmap = MakeIn(Storage::Memory, width, height, ie8g);
  Paint(*bitmap, Pattern);
  const std::vector<uint8_t> before = Pixels(*bitmap);
  IEGaussianBlurGray8(bitmap.get(), 10, 10, 5, 5, 2);
  EXPECT_EQ(Pixels(*bitmap), before);
}

// ---- shadow margin ------------------------------------------------------------------------

TEST(ShadowMarginTest, Values) {
  struct Case {
    int32_t offsetX, offsetY;
    double sigma;
    int32_t margin;
  };
  for (const Case& c : {Case{0, 0, 0, 1}, Case{3, -5, 2.5, 22}, Case{-4, 1, 0.19, 8}, Case{0, 0, -3, 1},
                        Case{0, 0, std::numeric_limits<double>::quiet_NaN(), 1}, Case{INT32_MIN, 0, 0, INT32_MAX},
                        Case{1, 1, 1e300, INT32_MAX}})
    EXPECT_EQ(IEGetShadowMargin(c.offsetX, c.offsetY, c.sigma), c.margin)
        << c.offsetX << ", " << c.offsetY << ", " << c.sigma;
}

}  // namespace

namespace {

TEST(ColoursAndCoordinates, ARGBResolvesSystemColoursAndOrderCoordsSorts) {
  EXPECT_EQ(IEColorToARGB(clRed, 128), 0x80FF0000u);
  EXPECT_EQ(IEColorToARGB(static_cast<TColor>(RGB(1, 2, 3)), 255), 0xFF010203u);
  const COLORREF window = ColorToRGB(clWindow);
  EXPECT_EQ(IEColorToARGB(clWindow, 0), (uint32_t{GetRValue(window)} << 16) | (GetGValue(window) << 8) | GetBValue(window));

  int32_t x1 = 5, y1 = -2, x2 = 1, y2 = 7;
  IEOrderCoords(x1, y1, x2, y2);
  EXPECT_EQ((std::array{x1, y1, x2, y2}), (std::array{1, -2, 5, 7}));
}

}  // namespace
