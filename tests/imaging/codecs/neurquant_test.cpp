#include "imaging/codecs/neurquant.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "imaging/core/iesettings.h"

namespace {

TRGB Rgb(int r, int g, int b) { return TRGB{uint8_t(b), uint8_t(g), uint8_t(r)}; }

// A 24-bit image whose pixels are the colours in order, row by row.
std::unique_ptr<TIEBitmap> Image24(int32_t width, int32_t height, const std::vector<TRGB>& pixels) {
  auto bitmap = std::make_unique<TIEBitmap>(width, height, ie24RGB);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) bitmap->SetPixel24(x, y, pixels[(size_t(y) * width + x) % pixels.size()]);
  return bitmap;
}

// count distinct colours, spread over the cube.
std::vector<TRGB> DistinctColors(int count) {
  std::vector<TRGB> colors;
  for (int i = 0; i < count; ++i)
    colors.push_back(Rgb((i * 37 + 10) % 256, (i * 91 + 100) % 256, (i * 13 + i / 7) % 256));
  return colors;
}

// Noisy clusters around the given centres.
std::unique_ptr<TIEBitmap> Clusters(const std::vector<TRGB>& centres, int32_t width, int32_t height, int noise) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> jitter(-noise, noise);
  auto channel = [&](int v) { return std::clamp(v + jitter(random), 0, 255); };
  auto bitmap = std::make_unique<TIEBitmap>(width, height, ie24RGB);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      const TRGB c = centres[(x / 4 + y) % centres.size()];
      bitmap->SetPixel24(x, y, Rgb(channel(c.r), channel(c.g), channel(c.b)));
    }
  return bitmap;
}

int Distance(TRGB a, TRGB b) { return std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b); }

class QuantizerTest : public ::testing::Test {
protected:
  void TearDown() override {
    IEGetGlobalSettings()->QuantizerMethod = -1;
    IEGetGlobalSettings()->QuantizerQuality = -1;
  }
  std::array<TRGB, 256> palette_{};
};

TEST_F(QuantizerTest, ExactColoursComeInOrderOfFirstAppearanceUpToN) {
  for (int n : {1, 5, 256}) {
    SCOPED_TRACE(n);
    const auto colors = DistinctColors(n);
    auto bitmap = Image24(n, 3, colors);
    TIEQuantizer q(*bitmap, palette_.data(), n);
    ASSERT_TRUE(q.HasExactColors());
    for (int i = 0; i < n; ++i) {
      EXPECT_EQ(palette_[i], colors[i]) << i;
      EXPECT_EQ(q.GetRGBIndex(colors[i]), i);
    }
    // A colour the image lacks gets the nearest of its colours, never -1.
    const int index = q.GetRGBIndex(Rgb(colors[0].r ^ 1, colors[0].g, colors[0].b));
    EXPECT_LE(Distance(palette_[index], colors[0]), 1);
  }
  // One colour more than asked for leaves the exact path.
  auto bitmap = Image24(6, 1, DistinctColors(6));
  TIEQuantizer q(*bitmap, palette_.data(), 5);
  EXPECT_FALSE(q.HasExactColors());
  EXPECT_EQ(q.Method(), 1);
}

TEST_F(QuantizerTest, MethodSettingPicksTheQuantizer) {
  struct Case {
    int32_t setting, n, method;
  } cases[] = {{-1, 127, 1}, {-1, 128, 0}, {0, 16, 0}, {1, 200, 1}, {7, 16, 0}};
  auto bitmap = Clusters(DistinctColors(40), 64, 64, 20);
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.setting << " " << c.n);
    IEGetGlobalSettings()->QuantizerMethod = c.setting;
    TIEQuantizer q(*bitmap, palette_.data(), c.n);
    EXPECT_EQ(q.Method(), c.method);
  }
}

TEST_F(QuantizerTest, GreyImagesGetARampAndIndexesByRed) {
  for (TIEPixelFormat format : {ie8g, ie16Gray, ie1g, ie24RGB}) {
    SCOPED_TRACE(int(format));
    TIEBitmap bitmap(4, 4, format);
    bitmap.Fill(0);
    TIEQuantizer q(bitmap, palette_.data(), 16);
    ASSERT_TRUE(q.IsGray());
    for (int i = 0; i < 16; ++i) EXPECT_EQ(palette_[i], Rgb(16 * i, 16 * i, 16 * i));
    EXPECT_EQ(q.GetRGBIndex(Rgb(255, 255, 255)), 15);
    EXPECT_EQ(q.GetRGBIndex(Rgb(31, 31, 31)), 1);
  }
}

TEST_F(QuantizerTest, PaletteImageCopiesItsPaletteAndAnswersInsideIt) {
  TIEBitmap bitmap(2, 2, ie8p);
  for (int i = 0; i < 256; ++i) bitmap.SetPaletteColor(i, Rgb(i, 255 - i, i / 2));
  TIEQuantizer q(bitmap, palette_.data(), 16);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(palette_[i], Rgb(i, 255 - i, i / 2));
  EXPECT_EQ(q.GetRGBIndex(Rgb(3, 252, 1)), 3);
  // Missing colours, also those of entries past the 16 asked for, get the
  // nearest written entry rather than an index past the palette.
  EXPECT_EQ(q.GetRGBIndex(Rgb(200, 55, 100)), 15);
  EXPECT_EQ(q.GetRGBIndex(Rgb(0, 0, 0)), 0);
}

TEST_F(QuantizerTest, GreyPaletteImageKeepsItsOwnPaletteAndIndexes) {
  // A reversed grey palette (entry 0 white): a ramp in its place would pair
  // the image's raw indexes with the wrong levels.
  TIEBitmap bitmap(2, 1, ie8p);
  for (int i = 0; i < 256; ++i) bitmap.SetPaletteColor(i, Rgb(255 - i, 255 - i, 255 - i));
  TIEQuantizer q(bitmap, palette_.data(), 256);
  ASSERT_TRUE(q.IsGray());
  for (int i = 0; i < 256; ++i) {
    EXPECT_EQ(palette_[i], Rgb(255 - i, 255 - i, 255 - i)) << i;
    EXPECT_EQ(q.GetRGBIndex(palette_[i]), i) << i;
  }
}

TEST_F(QuantizerTest, OtherFormatsAreQuantizedFromTheirColours) {
  const std::vector<TRGB> colors = {Rgb(255, 0, 0), Rgb(0, 0, 255), Rgb(0, 255, 0)};
  for (TIEPixelFormat format : {ieCMYK, ieRGB48, ie32RGBA, ieCIELab}) {
    SCOPED_TRACE(int(format));
    TIEBitmap bitmap(3, 2, format);
    for (int x = 0; x < 3; ++x) {
      TRGB c = colors[x];
      for (int y = 0; y < 2; ++y) {
        if (format == ieCMYK) bitmap.SetPixelCMYK(x, y, IERGBToCMYK(c));
        if (format == ieRGB48) bitmap.SetPixel48(x, y, {uint16_t(c.r * 257), uint16_t(c.g * 257), uint16_t(c.b * 257)});
        if (format == ie32RGBA) bitmap.SetPixel32RGBA(x, y, c.b | (c.g << 8) | (c.r << 16) | 0x80000000u);
        if (format == ieCIELab) {
          const TCIELab lab = IERGBToCIELab(c);
          std::memcpy(bitmap.GetScanline(y) + x * 3, &lab, 3);
        }
      }
    }
    TIEQuantizer q(bitmap, palette_.data(), 16);
    EXPECT_FALSE(q.IsGray());
    for (int x = 0; x < 3; ++x) {
      TRGB c;  // the colour as the format holds it
      bitmap.GetPixelRGB(x, 1, c);
      EXPECT_EQ(palette_[q.GetRGBIndex(c)], c);
    }
  }
  // A float image is grey: its ramp.
  TIEBitmap grey(2, 2, ie32f);
  grey.Fill(0.5);
  TIEQuantizer q(grey, palette_.data(), 256);
  EXPECT_TRUE(q.IsGray());
  EXPECT_EQ(palette_[200], Rgb(200, 200, 200));
}

TEST_F(QuantizerTest, BoxQuantizerPaletteAndMap) {
  // White alone: one box whose mean cell 31 gives 248.
  auto white = Image24(8, 8, {Rgb(255, 255, 255)});
  auto q = CreateBoxQuantizer(*white, palette_.data(), 4);
  EXPECT_EQ(q->BoxCount, 1);
  EXPECT_EQ(palette_[0], Rgb(248, 248, 248));

  // Black, white and near-white into two boxes: black apart from the others.
  palette_.fill(Rgb(1, 2, 3));
  auto three = Image24(3, 4, {Rgb(0, 0, 0), Rgb(255, 255, 255), Rgb(240, 240, 240)});
  q = CreateBoxQuantizer(*three, palette_.data(), 2);
  ASSERT_EQ(q->BoxCount, 2);
  const int black = BoxQuantizerIndexOf(*q, Rgb(0, 0, 0)), light = BoxQuantizerIndexOf(*q, Rgb(255, 255, 255));
  EXPECT_NE(black, light);
  EXPECT_EQ(BoxQuantizerIndexOf(*q, Rgb(240, 240, 240)), light);
  EXPECT_EQ(palette_[black], Rgb(0, 0, 0));
  EXPECT_EQ(palette_[light], Rgb(240, 240, 240));  // mean cell 30.5 -> 30 (halves to even)
  EXPECT_EQ(palette_[2], Rgb(1, 2, 3));            // entries past the boxes stay
}

TEST_F(QuantizerTest, BoxCountsHoldEveryPixelOfWideImages) {
  // Sides beyond 65535: the counts are not cut to 16 bits.
  auto bitmap = Clusters(DistinctColors(8), 70000, 2, 10);
  std::array<TRGB, 256> palette{};
  auto q = CreateBoxQuantizer(*bitmap, palette.data(), 16);
  EXPECT_EQ(q->TotalPixels, 140000);
  int64_t total = 0;
  for (int i = 0; i < q->BoxCount; ++i) total += q->Boxes[i].Count;
  EXPECT_EQ(total, 140000);
}

TEST_F(QuantizerTest, SampleFactorFromQuality) {
  struct Case {
    int32_t quality;
    int64_t pixels;
    int32_t factor;
  } cases[] = {{100, 1000000, 1}, {0, 1000000, 30},      {50, 100, 15}, {-1, 1600, 1},
               {-1, 100000, 11},  {-1, 10000000000, 30}, {250, 100, 1}};
  for (const auto& c : cases) EXPECT_EQ(IENeuQuantSampleFactor(c.quality, c.pixels), c.factor) << c.quality;
}

TEST_F(QuantizerTest, LearnedPalettesStandForTheImageAndIndexesStayInside) {
  const std::vector<TRGB> centres = {Rgb(200, 30, 30),  Rgb(30, 200, 30), Rgb(30, 30, 200),
                                     Rgb(220, 220, 40), Rgb(20, 20, 20),  Rgb(240, 240, 240)};
  auto bitmap = Clusters(centres, 120, 90, 6);
  for (int32_t method : {0, 1}) {
    for (int32_t n : {8, 16, 256}) {
      SCOPED_TRACE(testing::Message() << "method " << method << " n " << n);
      IEGetGlobalSettings()->QuantizerMethod = method;
      palette_.fill(Rgb(1, 2, 3));
      TIEQuantizer q(*bitmap, palette_.data(), n);
      ASSERT_EQ(q.Method(), method);
      for (TRGB c : centres) EXPECT_LE(Distance(palette_[q.GetRGBIndex(c)], c), 30);
      for (int r = 0; r < 256; r += 15)
        for (int g = 0; g < 256; g += 15)
          for (int b = 0; b < 256; b += 15) {
            const int index = q.GetRGBIndex(Rgb(r, g, b));
            ASSERT_GE(index, 0);
            ASSERT_LT(index, n);
          }
    }
  }
}

// Images smaller than the sampling step (499 pixels) are sampled inside
// themselves however often the step wraps around them.
TEST_F(QuantizerTest, NeuQuantSamplesSmallImagesInsideThem) {
  const std::vector<TRGB> colours = {Rgb(250, 10, 10), Rgb(10, 10, 250), Rgb(10, 240, 10)};
  for (auto [width, height] : {std::pair{1, 1}, {3, 2}, {20, 12}, {31, 16}}) {
    SCOPED_TRACE(testing::Message() << width << " x " << height);
    auto bitmap = Image24(width, height, colours);
    const auto state = CreateNeuQuant(*bitmap, palette_.data(), 100, 8);
    const int shown = std::min<int>(width * height, static_cast<int>(colours.size()));
    for (int i = 0; i < shown; ++i) {
      const int index = NeuQuantIndexOf(*state, colours[static_cast<size_t>(i)]);
      ASSERT_GE(index, 0);
      EXPECT_LE(Distance(palette_[static_cast<size_t>(index)], colours[static_cast<size_t>(i)]), 40);
    }
  }
}

TEST_F(QuantizerTest, EmptyImagesGiveValidIndexes) {
  TIEBitmap empty(0, 0, ie24RGB);
  for (int32_t method : {0, 1}) {
    IEGetGlobalSettings()->QuantizerMethod = method;
    TIEQuantizer q(empty, palette_.data(), 8);
    EXPECT_GE(q.GetRGBIndex(Rgb(9, 9, 9)), 0);
    EXPECT_LT(q.GetRGBIndex(Rgb(9, 9, 9)), 8);
  }
}


// Converting small colour images to a palette runs the learning quantizer on
// the image being converted, in every storage (noisy clusters with more
// colours than the palette, below the sampling step of 499 pixels); each
// pixel must find an entry near it.
TEST_F(QuantizerTest, SmallColourImagesConvertToPaletteInEveryStorage) {
  const std::vector<TRGB> centres = {Rgb(230, 20, 20), Rgb(20, 20, 230), Rgb(20, 220, 20), Rgb(240, 240, 40)};
  IEGetGlobalSettings()->QuantizerMethod = 0;
  for (TIELocation location : {ieInMemory, ieTempFile, ieTBitmap})
    for (auto [width, height] : {std::pair{21, 13}, {23, 12}, {31, 16}}) {
      SCOPED_TRACE(testing::Message() << "location " << int(location) << ", " << width << " x " << height);
      auto bitmap = Clusters(centres, width, height, 6);
      TIEBitmap source;
      source.Assign(bitmap.get());
      bitmap->SetLocation(location);
      bitmap->ConvertToPixelFormat(ie8p);
      ASSERT_EQ(bitmap->GetPixelFormat(), ie8p);
      ASSERT_EQ(bitmap->GetWidth(), width);
      for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
          TRGB got{};
          bitmap->GetPaletteColor(bitmap->GetPixel8(x, y), got);
          EXPECT_LE(Distance(got, source.GetPixel24(x, y)), 80) << x << ", " << y;
        }
    }
}

}  // namespace
