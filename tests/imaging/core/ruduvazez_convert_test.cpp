#include <gtest/gtest.h>
#include <lcms2.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "imaging/core/ruduvazez_dibbitmap.h"
#include "imaging/core/ruduvazez_mask.h"
#include "platform/forms/graphics.h"
#include "tests/imaging/core/bitmap_support.h"

namespace {

const char* Name(TIEPixelFormat f) {
  static const char* names[] = {"ieNoFormat", "ie1g",   "ie8p",    "ie8g",     "ie16Gray", "ie24RGB",
                                "ie32f",      "ieCMYK", "ieRGB48", "ieCIELab", "ie32RGBA"};
  return names[f];
}

// One pixel's channels as numbers: ie1g {bit}, ie8p {index}, greys {value},
// ie24RGB and ieRGB48 {r, g, b}, ieCMYK {c, m, y, k} as stored, ieCIELab
// {l, a, b} as stored, ie32RGBA {r, g, b, a}.
using Channels = std::vector<double>;

constexpr TRGB kPaletteEntry7{50, 100, 200};  // blue, green, red

void PutPixel(TIEBitmap& b, int x, int y, const Channels& c) {
  uint8_t* row = b.GetScanline(y);
  switch (b.GetPixelFormat()) {
    case ie1g: {
      const uint8_t bit = uint8_t(0x80 >> (x & 7));
      row[x >> 3] = c[0] != 0 ? (row[x >> 3] | bit) : (row[x >> 3] & ~bit);
      break;
    }
    case ie8p:
    case ie8g:
      row[x] = uint8_t(c[0]);
      break;
    case ie16Gray:
      b.SetPixel16(x, y, uint16_t(c[0]));
      break;
    case ie24RGB:
      b.SetPixel24(x, y, TRGB{uint8_t(c[2]), uint8_t(c[1]), uint8_t(c[0])});
      break;
    case ie32f:
      b.SetPixel32f(x, y, float(c[0]));
      break;
    case ieCMYK:
      b.SetPixelCMYK(x, y, uint32_t(c[0]) | uint32_t(c[1]) << 8 | uint32_t(c[2]) << 16 | uint32_t(c[3]) << 24);
      break;
    case ieRGB48:
      b.SetPixel48(x, y, {uint16_t(c[0]), uint16_t(c[1]), uint16_t(c[2])});
      break;
    case ieCIELab:
      row[x * 3] = uint8_t(c[0]);
      row[x * 3 + 1] = uint8_t(int8_t(c[1]));
      row[x * 3 + 2] = uint8_t(int8_t(c[2]));
      break;
    case ie32RGBA:
      b.SetPixel32RGBA(x, y, uint32_t(c[2]) | uint32_t(c[1]) << 8 | uint32_t(c[0]) << 16 | uint32_t(c[3]) << 24);
      break;
    default:
      break;
  }
}

// The channels of a converted pixel; ie8p gives its palette colour (r, g, b).
Channels GetPixel(TIEBitmap& b, int x, int y) {
  const uint8_t* row = b.GetScanline(y);
  switch (b.GetPixelFormat()) {
    case ie8p: {
      TRGB c;
      b.GetPaletteColor(row[x], c);
      return {double(c.r), double(c.g), double(c.b)};
    }
    case ie8g:
      return {double(row[x])};
    case ie16Gray:
      return {double(b.GetPixel16(x, y))};
    case ie24RGB: {
      const TRGB c = b.GetPixel24(x, y);
      return {double(c.r), double(c.g), double(c.b)};
    }
    case ie32f:
      return {double(b.GetPixel32f(x, y))};
    case ieCMYK: {
      const uint32_t v = b.GetPixelCMYK(x, y);
      return {double(v & 255), double(v >> 8 & 255), double(v >> 16 & 255), double(v >> 24)};
    }
    case ieRGB48: {
      const auto w = b.GetPixel48(x, y);
      return {double(w[0]), double(w[1]), double(w[2])};
    }
    case ieCIELab:
      return {double(row[x * 3]), double(int8_t(row[x * 3 + 1])), double(int8_t(row[x * 3 + 2]))};
    case ie32RGBA: {
      const uint32_t v = b.GetPixel32RGBA(x, y);
      return {double(v >> 16 & 255), double(v >> 8 & 255), double(v & 255), double(v >> 24)};
    }
    default:
      return {};
  }
}

// An 8 x 8 image of one pixel value (ie8p with palette entry 7 set).
std::unique_ptr<TIEBitmap> Uniform(TIEPixelFormat format, const Channels& c) {
  auto b = std::make_unique<TIEBitmap>(8, 8, format);
  if (format == ie8p) b->SetPaletteColor(7, kPaletteEntry7);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) PutPixel(*b, x, y, c);
  return b;
}

int WhiteCount(TIEBitmap& b) {
  int n = 0;
  for (int y = 0; y < b.GetHeight(); ++y)
    for (int x = 0; x < b.GetWidth(); ++x) n += (b.GetScanline(y)[x >> 3] >> (7 - (x & 7))) & 1;
  return n;
}

// Little CMS as the judge of sRGB <-> CIE L*a*b* with the D65 white. Its
// stock sRGB profile adapts to D50 by Bradford, which moves a and b by up to
// 3 against the D65 formulas; this profile holds the sRGB primaries of the
// D65 matrix scaled to the D50 white component by component, so that its
// D50-relative Lab is the Lab of the D65 white (L scaled to 0..255 as the
// format stores it).
class LabJudge {
public:
  LabJudge() {
    cmsCIExyY d65;
    cmsWhitePointFromTemp(&d65, 6504);
    const cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1}, {0.30, 0.60, 1}, {0.15, 0.06, 1}};
    const double params[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
    cmsToneCurve* curve = cmsBuildParametricToneCurve(nullptr, 4, params);
    cmsToneCurve* curves[3] = {curve, curve, curve};
    srgb_ = cmsCreateRGBProfile(&d65, &primaries, curves);
    cmsFreeToneCurve(curve);
    const double m[3][3] = {
        {0.412453, 0.35758, 0.180423}, {0.212671, 0.71516, 0.072169}, {0.019334, 0.119193, 0.950227}};
    const double white65[3] = {0.95047, 1.0, 1.088883};
    const cmsCIEXYZ* d50 = cmsD50_XYZ();
    const double white50[3] = {d50->X, d50->Y, d50->Z};
    const cmsTagSignature tags[3] = {cmsSigRedColorantTag, cmsSigGreenColorantTag, cmsSigBlueColorantTag};
    for (int c = 0; c < 3; ++c) {
      cmsCIEXYZ xyz{m[0][c] * white50[0] / white65[0], m[1][c] * white50[1] / white65[1],
                    m[2][c] * white50[2] / white65[2]};
      cmsWriteTag(srgb_, tags[c], &xyz);
    }
    lab_ = cmsCreateLab4Profile(nullptr);
    toLab_ = cmsCreateTransform(srgb_, TYPE_RGB_8, lab_, TYPE_Lab_DBL, INTENT_RELATIVE_COLORIMETRIC, 0);
    toRgb_ = cmsCreateTransform(lab_, TYPE_Lab_DBL, srgb_, TYPE_RGB_DBL, INTENT_RELATIVE_COLORIMETRIC, 0);
  }
  ~LabJudge() {
    cmsDeleteTransform(toLab_);
    cmsDeleteTransform(toRgb_);
    cmsCloseProfile(srgb_);
    cmsCloseProfile(lab_);
  }
  Channels Lab(double r, double g, double b) const {
    const uint8_t rgb[3] = {uint8_t(r), uint8_t(g), uint8_t(b)};
    cmsCIELab lab;
    cmsDoTransform(toLab_, rgb, &lab, 1);
    return {lab.L * 2.55, lab.a, lab.b};
  }
  Channels Rgb(const Channels& stored) const {
    const cmsCIELab lab{stored[0] / 2.55, stored[1], stored[2]};
    double rgb[3];
    cmsDoTransform(toRgb_, &lab, rgb, 1);
    return {rgb[0] * 255, rgb[1] * 255, rgb[2] * 255};
  }

private:
  cmsHPROFILE srgb_, lab_;
  cmsHTRANSFORM toLab_, toRgb_;
};

class ConvertTest : public BitmapTest {
protected:
  void TearDown() override {
    auto* s = IEGetGlobalSettings();
    s->GrayWeightRed = 21, s->GrayWeightGreen = 71, s->GrayWeightBlue = 8;
    BitmapTest::TearDown();
  }
  LabJudge judge_;
};

// Every pair of formats. Expected values come from the formulas: greys by
// the weights 21/71/8 (8 bits), 54484/183241/19275 (16 bits) and
// 0.2126/0.7152/0.0722 (float); 16-bit samples by their high byte; CMYK as
// stored inverted (K the largest channel, C = R x 255 div K; back R = C x K
// div 255); ie8p targets by their palette colour; ie1g targets (ordered
// dither) by the number of white pixels in 8 x 8, which is the level
// grey shr 2. Lab targets hold the colour the source stands for, judged by
// Little CMS (within 1); Lab sources into ie24RGB and ie32RGBA likewise,
// into the other formats as their ie24RGB result goes on.
TEST_F(ConvertTest, EveryPairAgainstTheFormulas) {
  struct Case {
    TIEPixelFormat from, to;
    Channels source, expected;
  } cases[] = {
      // clang-format off
      {ie1g, ie8p, {1}, {255, 255, 255}},
      {ie1g, ie8g, {1}, {255}},
      {ie1g, ie16Gray, {1}, {65535}},
      {ie1g, ie24RGB, {1}, {255, 255, 255}},
      {ie1g, ie32f, {1}, {1.0}},
      {ie1g, ieCMYK, {1}, {255, 255, 255, 255}},
      {ie1g, ieRGB48, {1}, {65535, 65535, 65535}},
      {ie1g, ieCIELab, {1}, {255, 255, 255}},
      {ie1g, ie32RGBA, {1}, {255, 255, 255, 255}},
      {ie8p, ie1g, {7}, {29}},
      {ie8p, ie8g, {7}, {117}},
      {ie8p, ie16Gray, {7}, {30184}},
      {ie8p, ie24RGB, {7}, {200, 100, 50}},
      {ie8p, ie32f, {7}, {0.4613725}},
      {ie8p, ieCMYK, {7}, {255, 127, 63, 200}},
      {ie8p, ieRGB48, {7}, {51400, 25700, 12850}},
      {ie8p, ieCIELab, {7}, {200, 100, 50}},
      {ie8p, ie32RGBA, {7}, {200, 100, 50, 255}},
      {ie8g, ie1g, {150}, {37}},
      {ie8g, ie8p, {150}, {150, 150, 150}},
      {ie8g, ie16Gray, {150}, {38550}},
      {ie8g, ie24RGB, {150}, {150, 150, 150}},
      {ie8g, ie32f, {150}, {0.5882353}},
      {ie8g, ieCMYK, {150}, {255, 255, 255, 150}},
      {ie8g, ieRGB48, {150}, {38550, 38550, 38550}},
      {ie8g, ieCIELab, {150}, {150, 150, 150}},
      {ie8g, ie32RGBA, {150}, {150, 150, 150, 255}},
      {ie16Gray, ie1g, {40000}, {39}},
      {ie16Gray, ie8p, {40000}, {156, 156, 156}},
      {ie16Gray, ie8g, {40000}, {156}},
      {ie16Gray, ie24RGB, {40000}, {156, 156, 156}},
      {ie16Gray, ie32f, {40000}, {0.6103609}},
      {ie16Gray, ieCMYK, {40000}, {255, 255, 255, 156}},
      {ie16Gray, ieRGB48, {40000}, {40000, 40000, 40000}},
      {ie16Gray, ieCIELab, {40000}, {156, 156, 156}},
      {ie16Gray, ie32RGBA, {40000}, {156, 156, 156, 255}},
      {ie24RGB, ie1g, {200, 100, 50}, {29}},
      {ie24RGB, ie8p, {200, 100, 50}, {200, 100, 50}},
      {ie24RGB, ie8g, {200, 100, 50}, {117}},
      {ie24RGB, ie16Gray, {200, 100, 50}, {30184}},
      {ie24RGB, ie32f, {200, 100, 50}, {0.4613725}},
      {ie24RGB, ieCMYK, {200, 100, 50}, {255, 127, 63, 200}},
      {ie24RGB, ieRGB48, {200, 100, 50}, {51400, 25700, 12850}},
      {ie24RGB, ieCIELab, {200, 100, 50}, {200, 100, 50}},
      {ie24RGB, ie32RGBA, {200, 100, 50}, {200, 100, 50, 255}},
      {ie32f, ie1g, {0.75}, {47}},
      {ie32f, ie8p, {0.75}, {191, 191, 191}},
      {ie32f, ie8g, {0.75}, {191}},
      {ie32f, ie16Gray, {0.75}, {49151}},
      {ie32f, ie24RGB, {0.75}, {191, 191, 191}},
      {ie32f, ieCMYK, {0.75}, {255, 255, 255, 191}},
      {ie32f, ieRGB48, {0.75}, {49151, 49151, 49151}},
      {ie32f, ieCIELab, {0.75}, {191, 191, 191}},
      {ie32f, ie32RGBA, {0.75}, {191, 191, 191, 255}},
      {ieCMYK, ie1g, {255, 128, 64, 200}, {29}},
      {ieCMYK, ie8p, {255, 128, 64, 200}, {200, 100, 50}},
      {ieCMYK, ie8g, {255, 128, 64, 200}, {117}},
      {ieCMYK, ie16Gray, {255, 128, 64, 200}, {30184}},
      {ieCMYK, ie24RGB, {255, 128, 64, 200}, {200, 100, 50}},
      {ieCMYK, ie32f, {255, 128, 64, 200}, {0.4613725}},
      {ieCMYK, ieRGB48, {255, 128, 64, 200}, {51400, 25700, 12850}},
      {ieCMYK, ieCIELab, {255, 128, 64, 200}, {200, 100, 50}},
      {ieCMYK, ie32RGBA, {255, 128, 64, 200}, {200, 100, 50, 255}},
      {ieRGB48, ie1g, {51500, 25800, 13000}, {29}},
      {ieRGB48, ie8p, {51500, 25800, 13000}, {201, 100, 50}},
      {ieRGB48, ie8g, {51500, 25800, 13000}, {117}},
      {ieRGB48, ie16Gray, {51500, 25800, 13000}, {30288}},
      {ieRGB48, ie24RGB, {51500, 25800, 13000}, {201, 100, 50}},
      {ieRGB48, ie32f, {51500, 25800, 13000}, {0.4629535}},
      {ieRGB48, ieCMYK, {51500, 25800, 13000}, {255, 126, 63, 201}},
      {ieRGB48, ieCIELab, {51500, 25800, 13000}, {201, 100, 50}},
      {ieRGB48, ie32RGBA, {51500, 25800, 13000}, {201, 100, 50, 255}},
      {ieCIELab, ie1g, {150, 20, -30}, {}},
      {ieCIELab, ie8p, {150, 20, -30}, {}},
      {ieCIELab, ie8g, {150, 20, -30}, {}},
      {ieCIELab, ie16Gray, {150, 20, -30}, {}},
      {ieCIELab, ie24RGB, {150, 20, -30}, {}},
      {ieCIELab, ie32f, {150, 20, -30}, {}},
      {ieCIELab, ieCMYK, {150, 20, -30}, {}},
      {ieCIELab, ieRGB48, {150, 20, -30}, {}},
      {ieCIELab, ie32RGBA, {150, 20, -30}, {}},
      {ie32RGBA, ie1g, {200, 100, 50, 77}, {29}},
      {ie32RGBA, ie8p, {200, 100, 50, 77}, {200, 100, 50}},
      {ie32RGBA, ie8g, {200, 100, 50, 77}, {117}},
      {ie32RGBA, ie16Gray, {200, 100, 50, 77}, {30184}},
      {ie32RGBA, ie24RGB, {200, 100, 50, 77}, {200, 100, 50}},
      {ie32RGBA, ie32f, {200, 100, 50, 77}, {0.4613725}},
      {ie32RGBA, ieCMYK, {200, 100, 50, 77}, {255, 127, 63, 200}},
      {ie32RGBA, ieRGB48, {200, 100, 50, 77}, {51400, 25700, 12850}},
      {ie32RGBA, ieCIELab, {200, 100, 50, 77}, {200, 100, 50}},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << Name(c.from) << " -> " << Name(c.to));
    auto source = Uniform(c.from, c.source);
    const std::vector<uint8_t> before(source->GetScanline(0), source->GetScanline(0) + source->GetRowLength());
    TIEBitmap target(8, 8, c.to);
    target.SetBilevelMethod(0);
    target.ConvertFrom(*source);
    // The source is never changed, also where the conversion goes through ie24RGB.
    EXPECT_EQ(source->GetPixelFormat(), c.from);
    EXPECT_EQ(0, std::memcmp(before.data(), source->GetScanline(0), before.size()));

    Channels expected = c.expected;
    double tolerance = c.to == ie32f ? 1e-6 : 0;
    if (c.to == ieCIELab) {
      expected = judge_.Lab(c.expected[0], c.expected[1], c.expected[2]);
      tolerance = 1;
    } else if (c.from == ieCIELab && (c.to == ie24RGB || c.to == ie32RGBA)) {
      expected = judge_.Rgb(c.source);
      if (c.to == ie32RGBA) expected.push_back(255);
      tolerance = 1;
    } else if (c.from == ieCIELab) {
      // The rest of a Lab source's way: its ie24RGB result converted on.
      TIEBitmap rgb(8, 8, ie24RGB);
      rgb.ConvertFrom(*source);
      TIEBitmap onward(8, 8, c.to);
      onward.SetBilevelMethod(0);
      onward.ConvertFrom(rgb);
      expected = c.to == ie1g ? Channels{double(WhiteCount(onward))} : GetPixel(onward, 3, 5);
    }
    const Channels actual = c.to == ie1g ? Channels{double(WhiteCount(target))} : GetPixel(target, 3, 5);
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < actual.size(); ++i) EXPECT_NEAR(actual[i], expected[i], tolerance) << "channel " << i;
  }
}

}  // namespace

namespace {

TEST_F(ConvertTest, LabOfTheColourCubeAgreesWithLittleCMS) {
  TIEBitmap rgb(216, 1, ie24RGB);
  for (int i = 0; i < 216; ++i)
    rgb.SetPixel24(i, 0, TRGB{uint8_t(i % 6 * 51), uint8_t(i / 6 % 6 * 51), uint8_t(i / 36 * 51)});
  TIEBitmap lab(216, 1, ieCIELab);
  lab.ConvertFrom(rgb);
  TIEBitmap back(216, 1, ie24RGB);
  back.ConvertFrom(lab);
  for (int i = 0; i < 216; ++i) {
    const TRGB c = rgb.GetPixel24(i, 0);
    const Channels expected = judge_.Lab(c.r, c.g, c.b), actual = GetPixel(lab, i, 0);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(actual[k], expected[k], 1) << i << " channel " << k;
    const Channels expectedRgb = judge_.Rgb(actual), actualRgb = GetPixel(back, i, 0);
    for (int k = 0; k < 3; ++k)
      EXPECT_NEAR(actualRgb[k], std::clamp(expectedRgb[k], 0.0, 255.0), 1) << i << " channel " << k;
  }
}

TEST_F(ConvertTest, SamplesOutsideTheirRangeAreClampedNotWrapped) {
  struct Case {
    float value;
    double grey8, grey16;
  } cases[] = {{1.5f, 255, 65535}, {-0.25f, 0, 0}, {std::nanf(""), 0, 0}, {1.0f, 255, 65535}};
  for (const auto& c : cases) {
    auto f = Uniform(ie32f, {c.value});
    for (auto [format, expected] : {std::pair{ie8g, c.grey8}, {ie16Gray, c.grey16}, {ie8p, c.grey8}}) {
      TIEBitmap target(8, 8, format);
      target.ConvertFrom(*f);
      EXPECT_EQ(GetPixel(target, 0, 0)[0], expected) << c.value << " into " << Name(format);
    }
  }
  // 48-bit white stays 1.0 as a float.
  auto white = Uniform(ieRGB48, {65535, 65535, 65535});
  TIEBitmap f(8, 8, ie32f);
  f.ConvertFrom(*white);
  EXPECT_FLOAT_EQ(f.GetPixel32f(0, 0), 1.0f);
  // Grey weights adding up past 100 keep grey levels inside a byte.
  IEGetGlobalSettings()->GrayWeightRed = 90;
  auto rgb = Uniform(ie24RGB, {255, 255, 255});
  TIEBitmap g(8, 8, ie8g);
  g.ConvertFrom(*rgb);
  EXPECT_EQ(g.GetPixel8(0, 0), 255);
}

TEST_F(ConvertTest, DisplayRangeOfGreyIntoRGB) {
  auto grey = Uniform(ie8g, {0});
  for (int x = 0; x < 3; ++x) grey->SetPixel8(x, 0, uint8_t(50 + 100 * x));
  TIEBitmap rgb(8, 8, ie24RGB);
  rgb.DisplayMin = 100, rgb.DisplayMax = 200;
  rgb.ConvertFrom(*grey);
  EXPECT_EQ(rgb.GetPixel24(0, 0), (TRGB{0, 0, 0}));
  EXPECT_EQ(rgb.GetPixel24(1, 0), (TRGB{127, 127, 127}));
  EXPECT_EQ(rgb.GetPixel24(2, 0), (TRGB{255, 255, 255}));
  EXPECT_EQ(rgb.DisplayMin, 0);
  EXPECT_EQ(rgb.DisplayMax, 0);
  // A range narrower than one level maps into the byte without wrapping.
  rgb.DisplayMin = 150.5, rgb.DisplayMax = 151;
  rgb.ConvertFrom(*grey);
  EXPECT_EQ(rgb.GetPixel24(1, 0), (TRGB{0, 0, 0}));
  EXPECT_EQ(rgb.GetPixel24(2, 0), (TRGB{255, 255, 255}));
}

TEST_F(ConvertTest, BilevelMethods) {
  // Ordered: grey 128 gives level 32, white exactly where the matrix holds less.
  auto grey = Uniform(ie8g, {128});
  TIEBitmap dithered(8, 8, ie1g);
  dithered.SetBilevelMethod(0);
  dithered.ConvertFrom(*grey);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x)
      EXPECT_EQ((dithered.GetScanline(y)[0] >> (7 - x)) & 1, IEBayer8[x][y] < 32 ? 1 : 0) << x << "," << y;
  // Threshold: the grey of the mean colour splits dark from light.
  auto mixed = Uniform(ie24RGB, {30, 30, 30});
  mixed->SetPixel24(2, 3, TRGB{250, 250, 250});
  TIEBitmap threshold(8, 8, ie1g);
  threshold.SetBilevelMethod(1);
  threshold.ConvertFrom(*mixed);
  EXPECT_EQ(WhiteCount(threshold), 1);
  EXPECT_EQ(threshold.GetScanline(3)[0], 0x20);
  // Other methods leave the bits alone.
  TIEBitmap untouched(8, 8, ie1g);
  untouched.Fill(0);
  untouched.SetBilevelMethod(2);
  untouched.ConvertFrom(*mixed);
  EXPECT_EQ(WhiteCount(untouched), 0);
}

TEST_F(ConvertTest, PaletteFromTheQuantizer) {
  TIEBitmap rgb(40, 30, ie24RGB);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) rgb.SetPixel24(x, y, TRGB{uint8_t(x * 6), uint8_t(y * 8), uint8_t((x + y) * 3)});
  TIEBitmap indexed(40, 30, ie8p);
  indexed.ConvertFrom(rgb);
  int64_t error = 0;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) {
      TRGB expected = rgb.GetPixel24(x, y), actual;
      indexed.GetPixelRGB(x, y, actual);
      error += std::abs(expected.r - actual.r) + std::abs(expected.g - actual.g) + std::abs(expected.b - actual.b);
    }
  EXPECT_LT(error / (40 * 30), 24);
}

TEST_F(ConvertTest, InPlaceInEveryStorageKeepsPixelsAndAlpha) {
  for (Storage storage : {Storage::Memory, Storage::TempFile, Storage::TBitmap}) {
    SCOPED_TRACE(StorageName(storage));
    auto b = MakeIn(storage, 5, 4, ie24RGB);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 5; ++x) b->SetPixel24(x, y, TRGB{uint8_t(x * 50), uint8_t(y * 60), 7});
    b->GetAlphaChannel()->SetPixel8(1, 2, 99);
    b->SetPixelFormat(ie8g);
    ASSERT_EQ(b->GetPixelFormat(), ie8g);
    EXPECT_EQ(b->GetPixel8(3, 2), (7 * 21 + 120 * 71 + 150 * 8) / 100);
    EXPECT_EQ(b->GetAlphaPixel(1, 2), 99);
    b->SetPixelFormat(ie24RGB);
    EXPECT_EQ(b->GetPixel24(3, 2), (TRGB{98, 98, 98}));
    // Converting to the format it has already changes nothing.
    b->ConvertToPixelFormat(ie24RGB);
    EXPECT_EQ(b->GetPixel24(3, 2), (TRGB{98, 98, 98}));
    EXPECT_EQ(b->GetAlphaPixel(1, 2), 99);
  }
  // A framework bitmap cannot hold ie32f: it stays as it was.
  auto t = MakeIn(Storage::TBitmap, 2, 2, ie24RGB);
  t->SetPixelFormat(ie32f);
  EXPECT_EQ(t->GetPixelFormat(), ie24RGB);
}

TEST_F(ConvertTest, AllowedFormatWalk) {
  struct Case {
    TIEPixelFormat from;
    Set<TIEPixelFormat> allowed;
    bool result;
    TIEPixelFormat to;
  } cases[] = {
      {ieCMYK, {ie24RGB, ie8g}, true, ie24RGB},
      {ie1g, {ie24RGB, ie8g}, true, ie8g},
      {ie16Gray, {ie8p}, true, ie8p},
      {ie24RGB, {}, true, ie24RGB},
      {ie8g, {ie8g}, true, ie8g},
  };
  for (const auto& c : cases) {
    TIEBitmap b(4, 4, c.from);
    b.Fill(0);
    EXPECT_EQ(b.EnsureAllowedPixelFormat(c.allowed, true), c.result) << Name(c.from);
    EXPECT_EQ(b.GetPixelFormat(), c.to) << Name(c.from);
  }
  TIEBitmap b(4, 4, ieCMYK);
  EXPECT_FALSE(b.EnsureAllowedPixelFormat({ie24RGB}, false));
  EXPECT_EQ(b.GetPixelFormat(), ieCMYK);
}

TEST_F(ConvertTest, CopiesFromFrameworkBitmapsMasksAndDIBs) {
  TBitmap framework;
  framework.SetPixelFormat(pf16bit);
  framework.SetSize(3, 2);
  std::memset(framework.ScanLine(1), 0xFF, 6);
  TIEBitmap b;
  b.Assign(&framework);
  ASSERT_EQ(b.GetPixelFormat(), ie24RGB);
  EXPECT_EQ(b.GetPixel24(2, 1), (TRGB{248, 252, 248}));
  framework.SetPixelFormat(pf15bit);
  std::memset(framework.ScanLine(1), 0xFF, 6);
  b.CopyFromTBitmap(&framework);
  EXPECT_EQ(b.GetPixel24(2, 1), (TRGB{248, 248, 248}));

  TIEMask mask;
  mask.Allocate(6, 3, 8);
  mask.GetScanline(2)[5] = 77;
  b.CopyFromMask(&mask);
  ASSERT_EQ(b.GetPixelFormat(), ie8g);
  EXPECT_EQ(b.GetPixel8(5, 2), 77);
  b.CopyFromMask(nullptr);
  EXPECT_EQ(b.GetPixel8(5, 2), 255);

  TIEBitmap rgb(4, 2, ie24RGB);
  rgb.Fill(0);
  rgb.SetPixel24(3, 1, TRGB{255, 255, 255});
  TIEMask out;
  rgb.CopyToMask(out);
  ASSERT_EQ(out.BitsPerPixel, 8);
  EXPECT_EQ(out.GetScanline(1)[3], 63);

  TIEDibbitmap dib;
  ASSERT_TRUE(dib.AllocateBits(3, 2, 24));
  dib.GetScanline(0)[0] = 9;
  b.CopyFromDibBitmap(&dib);
  ASSERT_EQ(b.GetPixelFormat(), ie24RGB);
  EXPECT_EQ(b.GetScanline(0)[0], 9);
}

}  // namespace
