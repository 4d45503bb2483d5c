// The resampler: every kernel filter against a double-precision model of the
// engine (every pixel, edges included) and against ImageMagick on strips,
// the routes by format, the simple stretches and the interpolating cores.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "imaging/io/iewic.h"
#include "imaging/processing/imageryproc.h"
#include "tests/imaging/core/test_support.h"

namespace {

// ---- helpers ---------------------------------------------------------------------------

std::unique_ptr<TIEBitmap> RandomImage(int32_t width, int32_t height, TIEPixelFormat format, uint32_t seed) {
  auto bitmap = std::make_unique<TIEBitmap>(width, height, format);
  std::mt19937 random(seed);
  const int64_t bytes = (int64_t{width} * IEPixelFormatInfo[format].BitsPerPixel + 7) / 8;
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = bitmap->GetScanline(y);
    for (int64_t x = 0; x < bytes; ++x) row[x] = static_cast<uint8_t>(random());
  }
  return bitmap;
}

int32_t Sample(TIEBitmap& bitmap, int32_t x, int32_t y, int32_t c) {
  return bitmap.GetScanline(y)[int64_t{x} * 3 + c];
}

// Corner-aligned positions, the kernel widened when shrinking, positions
// mirrored (-j on the left, 2n - 1 - j on the right); an unchanged axis
// copies. Each output's list of (position, weight) and the divisor of its sum.
struct TModelList {
  std::vector<std::pair<int32_t, double>> items;
  double total = 1;
};

// Exact: the weights in doubles, normalised to 1. Integer: the kernel's
// values in 256ths, shrunk with the kernel and rounded half to even, the sum
// divided by their total (256 where they cancel).
enum class TWeights { Exact, Integer };

std::vector<TModelList> ModelWeights(int32_t src, int32_t dst, TResampleFilter filter, TWeights kind) {
  std::vector<TModelList> lists(static_cast<size_t>(dst));
  if (src == dst) {
    for (int32_t i = 0; i < dst; ++i) lists[i].items = {{i, 1.0}};
    return lists;
  }
  const TIEResampleFilterEntry& f = IEResampleFilterTable[filter - rfTriangle];
  const double scale = src == 1 || dst == 1 ? double(dst) / src : double(dst - 1) / (src - 1);
  const double stretch = std::max(1.0, 1 / scale);
  for (int32_t i = 0; i < dst; ++i) {
    const double center = i / scale;
    double total = 0;
    for (int64_t j = int64_t(std::floor(center - f.Support * stretch)); j <= int64_t(std::ceil(center + f.Support * stretch)); ++j) {
      double w = f.Kernel((center - j) / stretch);
      if (kind == TWeights::Integer) w = std::nearbyint(w * 256 / stretch);
      if (w == 0) continue;
      int64_t m = j < 0 ? -j : j;
      if (m >= src) m = 2 * int64_t{src} - 1 - m;
      lists[i].items.push_back({int32_t(std::clamp<int64_t>(m, 0, src - 1)), w});
      total += w;
    }
    if (kind == TWeights::Exact) {
      for (auto& item : lists[i].items) item.second /= total;
    } else {
      lists[i].total = total <= 0 ? 256 : total;
    }
  }
  return lists;
}

// Rows of 3 channels as doubles.
using TPlane = std::vector<std::vector<double>>;

// Both passes in doubles, each output's fraction dropped.
TPlane ModelResample(TIEBitmap& source, int32_t dstW, int32_t dstH, TResampleFilter filter,
                     TWeights kind = TWeights::Integer) {
  const int32_t srcW = source.GetWidth(), srcH = source.GetHeight();
  const auto cols = ModelWeights(srcW, dstW, filter, kind), rows = ModelWeights(srcH, dstH, filter, kind);
  // The tiny bias keeps a sum such as 79.9999999 (exact weights that add up
  // to 1 in doubles only nearly) at its exact value.
  const auto trunc8 = [](double sum, double total) { return std::clamp(std::trunc(sum / total + 1e-9), 0.0, 255.0); };
  TPlane work(static_cast<size_t>(srcH), std::vector<double>(static_cast<size_t>(dstW) * 3));
  for (int32_t y = 0; y < srcH; ++y)
    for (int32_t i = 0; i < dstW; ++i)
      for (int32_t c = 0; c < 3; ++c) {
        double sum = 0;
        for (const auto& [j, w] : cols[i].items) sum += w * Sample(source, j, y, c);
        work[y][i * 3 + c] = trunc8(sum, cols[i].total);
      }
  TPlane out(static_cast<size_t>(dstH), std::vector<double>(static_cast<size_t>(dstW) * 3));
  for (int32_t k = 0; k < dstH; ++k)
    for (size_t x = 0; x < out[k].size(); ++x) {
      double sum = 0;
      for (const auto& [r, w] : rows[k].items) sum += w * work[r][x];
      out[k][x] = trunc8(sum, rows[k].total);
    }
  return out;
}

const TResampleFilter kKernelFilters[] = {rfTriangle, rfHermite,  rfBell,    rfBSpline,
                                          rfLanczos3, rfMitchell, rfNearest, rfLinear};

// ---- kernels --------------------------------------------------------------------------

TEST(ResampleKernelTest, KernelsAtTheirKnots) {
  EXPECT_DOUBLE_EQ(IETriangleFilter(0.25), 0.75);
  EXPECT_DOUBLE_EQ(IEHermiteFilter(0.5), 0.5);
  EXPECT_DOUBLE_EQ(IEBellFilter(0), 0.75);
  EXPECT_DOUBLE_EQ(IEBellFilter(1), 0.125);
  EXPECT_DOUBLE_EQ(IEBSplineFilter(0), 2.0 / 3);
  EXPECT_DOUBLE_EQ(IEBSplineFilter(1), 1.0 / 6);
  EXPECT_NEAR(IELanczos3Filter(1), 0, 1e-15);
  EXPECT_DOUBLE_EQ(IELanczos3Filter(0), 1);
  EXPECT_DOUBLE_EQ(IEMitchellFilter(0), 16.0 / 18);
  EXPECT_NEAR(IEMitchellFilter(1), 1.0 / 18, 1e-15);
  EXPECT_EQ(IEBoxFilter(-0.5), 0);  // half-open on the left
  EXPECT_EQ(IEBoxFilter(0.5), 1);
  EXPECT_DOUBLE_EQ(IELinearFilter(-0.25), 0.75);
  for (const TResampleFilter f : kKernelFilters) {
    const TIEResampleFilterEntry& e = IEResampleFilterTable[f - rfTriangle];
    EXPECT_EQ(e.Kernel(e.Support), 0) << int{f};
    EXPECT_EQ(e.Kernel(-e.Support - 0.1), 0) << int{f};
  }
}

// ---- the engine against its model ------------------------------------------------------------

TEST(ResampleEngineTest, EveryFilterMatchesTheModelOnEveryPixel) {
  struct Size {
    int32_t srcW, srcH, dstW, dstH;
  };
  // 300 -> 2 shrinks by 299: the 256ths are 0 or 1, yet none of the lists is empty.
  const Size sizes[] = {{23, 17, 7, 5}, {9, 6, 31, 20}, {16, 12, 16, 30}, {20, 5, 13, 5},
                        {40, 3, 1, 2},  {5, 7, 60, 2},  {300, 4, 2, 3}};
  IEGetGlobalSettings()->CoreCount = 3;
  for (const TResampleFilter filter : kKernelFilters)
    for (const Size& s : sizes) {
      auto source = RandomImage(s.srcW, s.srcH, ie24RGB, 7 + s.srcW);
      TIEBitmap dest(s.dstW, s.dstH, ie24RGB);
      IEResample(source.get(), &dest, nullptr, filter, {}, nullptr);
      const TPlane model = ModelResample(*source, s.dstW, s.dstH, filter);
      int worst = 0;
      for (int32_t y = 0; y < s.dstH; ++y)
        for (int32_t x = 0; x < s.dstW * 3; ++x)
          worst = std::max(worst, int(std::abs(dest.GetScanline(y)[x] - model[y][x])));
      EXPECT_EQ(worst, 0) << "filter " << int{filter} << " " << s.srcW << "x" << s.srcH << " -> " << s.dstW << "x"
                          << s.dstH;
    }
  IEGetGlobalSettings()->CoreCount = -1;
}

// Two grey pixels 0 and 255 enlarged to four with the triangle: weights 171
// and 85 (256ths) in the middle, the fractions dropped.
TEST(ResampleEngineTest, TriangleEnlargementTruncates) {
  TIEBitmap source(2, 1, ie24RGB);
  source.SetPixel24(0, 0, TRGB{0, 0, 0});
  source.SetPixel24(1, 0, TRGB{255, 255, 255});
  TIEBitmap dest(4, 1, ie24RGB);
  IEResample(&source, &dest, nullptr, rfTriangle, {}, nullptr);
  const int32_t expected[] = {0, 84, 170, 255};
  for (int32_t x = 0; x < 4; ++x)
    for (int32_t c = 0; c < 3; ++c) EXPECT_EQ(Sample(dest, x, 0, c), expected[x]) << x << " channel " << c;
  // Exact weights put the second pixel on 85.0; the 256ths fall just short.
  const TPlane model = ModelResample(source, 4, 1, rfTriangle);
  for (int32_t x = 0; x < 4; ++x) EXPECT_EQ(model[0][x * 3], expected[x]) << x;
  EXPECT_EQ(ModelResample(source, 4, 1, rfTriangle, TWeights::Exact)[0][3], 85);
  // The grey route runs the same passes.
  TIEBitmap grey(2, 1, ie8g), greyDest(4, 1, ie8g);
  grey.GetScanline(0)[0] = 0;
  grey.GetScanline(0)[1] = 255;
  IEResample(&grey, &greyDest, nullptr, rfTriangle, {}, nullptr);
  for (int32_t x = 0; x < 4; ++x) EXPECT_EQ(greyDest.GetScanline(0)[x], expected[x]) << "grey " << x;
}

// Shrinking by far more than the weights' resolution (every 256th rounds to
// nothing), and kernels whose raw weights cancel, still give the picture: the
// area's mean, as exact weights give it.
TEST(ResampleEngineTest, ExtremeShrinkKeepsThePicture) {
  for (const TResampleFilter filter : kKernelFilters) {
    TIEBitmap grey(1500, 2, ie24RGB);
    grey.Fill(0x508CC8);  // blue 0x50, green 0x8C, red 0xC8 as $00BBGGRR
    TIEBitmap dest(2, 1, ie24RGB);
    IEResample(&grey, &dest, nullptr, filter, {}, nullptr);
    for (int32_t x = 0; x < 2; ++x) {
      EXPECT_EQ(Sample(dest, x, 0, 0), 0x50) << int{filter};
      EXPECT_EQ(Sample(dest, x, 0, 1), 0x8C) << int{filter};
      EXPECT_EQ(Sample(dest, x, 0, 2), 0xC8) << int{filter};
    }
    // A black-and-white ramp keeps its mean within the model's rounding.
    auto ramp = std::make_unique<TIEBitmap>(1200, 1, ie24RGB);
    for (int32_t x = 0; x < 1200; ++x) ramp->SetPixel24(x, 0, x < 600 ? TRGB{0, 0, 0} : TRGB{255, 255, 255});
    TIEBitmap one(3, 1, ie24RGB);
    IEResample(ramp.get(), &one, nullptr, filter, {}, nullptr);
    const TPlane model = ModelResample(*ramp, 3, 1, filter, TWeights::Exact);
    for (int32_t x = 0; x < 9; ++x) EXPECT_NEAR(one.GetScanline(0)[x], model[0][x], 1) << int{filter};
  }
}

// A resize along one axis leaves the other axis's pixels alone.
TEST(ResampleEngineTest, UnchangedAxisIsCopied) {
  auto columns = std::make_unique<TIEBitmap>(11, 6, ie24RGB);
  auto first = RandomImage(11, 1, ie24RGB, 3);
  for (int32_t y = 0; y < 6; ++y) std::copy_n(first->GetScanline(0), 33, columns->GetScanline(y));
  const TResampleFilter filters[] = {rfTriangle, rfHermite, rfBell,       rfBSpline,  rfLanczos3, rfMitchell,
                                     rfNearest,  rfLinear,  rfFastLinear, rfBilinear, rfBicubic};
  for (const TResampleFilter filter : filters) {
    TIEBitmap dest(11, 15, ie24RGB);
    IEResample(columns.get(), &dest, nullptr, filter, {}, nullptr);
    for (int32_t y = 0; y < 15; ++y)
      EXPECT_TRUE(std::equal(first->GetScanline(0), first->GetScanline(0) + 33, dest.GetScanline(y)))
          << "filter " << int{filter} << " row " << y;
  }
}

TEST(ResampleEngineTest, BandsGiveTheSameResultAndProgressStaysOnTheCaller) {
  auto source = RandomImage(64, 50, ie24RGB, 11);
  TIEBitmap single(30, 21, ie24RGB), banded(30, 21, ie24RGB);
  IEGetGlobalSettings()->CoreCount = 1;
  IEResample(source.get(), &single, nullptr, rfLanczos3, {}, nullptr);
  IEGetGlobalSettings()->CoreCount = 4;
  std::vector<int32_t> reports;
  bool otherThread = false;
  const auto caller = std::this_thread::get_id();
  IEResample(source.get(), &banded, nullptr, rfLanczos3,
             [&](TObject*, int32_t per) {
               otherThread = otherThread || std::this_thread::get_id() != caller;
               reports.push_back(per);
             },
             nullptr);
  IEGetGlobalSettings()->CoreCount = -1;
  for (int32_t y = 0; y < 21; ++y) EXPECT_TRUE(std::equal(single.GetScanline(y), single.GetScanline(y) + 90, banded.GetScanline(y)));
  EXPECT_FALSE(otherThread);
  ASSERT_FALSE(reports.empty());
  EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()));
  EXPECT_LT(reports.back(), 100);
}

// ---- the engine against ImageMagick ---------------------------------------------------------

std::string Ppm(const std::vector<uint8_t>& rgb, int32_t width) {
  return "P6\n" + std::to_string(width) + " 1\n255\n" + std::string(rgb.begin(), rgb.end());
}

std::vector<uint8_t> ReadPpmStrip(const std::string& bytes) {
  // "P6\n<w> <h>\n255\n" then the samples.
  size_t at = 0;
  for (int lines = 0; lines < 3 && at < bytes.size(); ++at)
    if (bytes[at] == '\n') ++lines;
  return std::vector<uint8_t>(bytes.begin() + static_cast<ptrdiff_t>(at), bytes.end());
}

// Our positions are corner-aligned (output i at source i x r, r = (S - 1) /
// (D - 1)); ImageMagick's are centre-aligned ((j + 0.5) S' / D' - 0.5). A strip
// of S' = r D' pixels holding ours at offset o, with o = (c + 0.5) r - 0.5, puts
// its output j = i + c at our output i. The padding repeats our mirroring.
TEST(ResampleMagickTest, InteriorPixelsAgreeOnStrips) {
  struct Filter {
    TResampleFilter filter;
    const char* name;
  };
  const Filter filters[] = {{rfNearest, "Box"},         {rfTriangle, "Triangle"}, {rfHermite, "Hermite"},
                            {rfBell, "Quadratic"},      {rfBSpline, "Spline"},    {rfLanczos3, "Lanczos"},
                            {rfMitchell, "Mitchell"},   {rfLinear, "Triangle"}};
  struct Scale {
    int32_t num, den, dst;  // r = num / den; our strip is r (dst - 1) + 1 long
  };
  const Scale scales[] = {{3, 1, 40}, {5, 3, 40}, {1, 3, 40}, {3, 5, 41}};
  TempFolder folder;
  std::mt19937 random(5);
  for (const Scale& sc : scales) {
    const double r = double(sc.num) / sc.den;
    const int32_t src = sc.num * (sc.dst - 1) / sc.den + 1;
    std::vector<uint8_t> ours(static_cast<size_t>(src) * 3);
    // A smooth-ish random walk, so that both resamplers see real detail.
    int32_t level[3] = {128, 60, 200};
    for (int32_t x = 0; x < src; ++x)
      for (int32_t c = 0; c < 3; ++c) {
        level[c] = std::clamp(level[c] + int32_t(random() % 61) - 30, 0, 255);
        ours[size_t(x) * 3 + c] = uint8_t(level[c]);
      }
    TIEBitmap strip(src, 1, ie24RGB);
    std::copy(ours.begin(), ours.end(), strip.GetScanline(0));
    const double supportMax = 3 * std::max(1.0, r);
    int32_t c = 0, offset = 0;
    for (;; ++c) {
      const double o = (c + 0.5) * r - 0.5;
      if (o >= supportMax + 2 && std::fabs(o - std::round(o)) < 1e-9) {
        offset = int32_t(std::lround(o));
        break;
      }
    }
    int32_t magickDst = sc.dst + c;
    while ((magickDst * sc.num) % sc.den != 0 || magickDst * sc.num / sc.den < offset + src + int32_t(supportMax) + 2)
      ++magickDst;
    const int32_t magickSrc = magickDst * sc.num / sc.den;
    std::vector<uint8_t> padded(static_cast<size_t>(magickSrc) * 3);
    for (int32_t p = 0; p < magickSrc; ++p) {
      int32_t j = p - offset;
      if (j < 0) j = -j;
      if (j >= src) j = 2 * src - 1 - j;
      j = std::clamp(j, 0, src - 1);
      std::copy_n(&ours[size_t(j) * 3], 3, &padded[size_t(p) * 3]);
    }
    // PPM holds red, green, blue; ours is blue, green, red: the channels are
    // independent, so the order does not matter for the comparison.
    WriteFile(folder.File("in.ppm"), Ppm(padded, magickSrc));
    for (const Filter& f : filters) {
      const std::string out = folder.File("out.ppm");
      std::remove(out.c_str());
      ASSERT_EQ(RunCommand("/usr/bin/convert " + folder.File("in.ppm") + " -filter " + f.name + " -resize " +
                           std::to_string(magickDst) + "x1! -depth 8 " + out),
                0);
      const std::vector<uint8_t> theirs = ReadPpmStrip(ReadFile(out));
      ASSERT_EQ(theirs.size(), size_t(magickDst) * 3);
      TIEBitmap dest(sc.dst, 1, ie24RGB);
      IEResample(&strip, &dest, nullptr, f.filter, {}, nullptr);
      const double support = IEResampleFilterTable[f.filter - rfTriangle].Support;
      const int32_t skip = int32_t(std::ceil(support * std::max(1.0, r)));
      int worst = 0;
      for (int32_t i = skip; i < sc.dst - skip; ++i)
        for (int32_t ch = 0; ch < 3; ++ch)
          worst = std::max(worst, std::abs(int(dest.GetScanline(0)[i * 3 + ch]) - int(theirs[size_t(i + c) * 3 + ch])));
      EXPECT_LE(worst, 2) << f.name << " at " << sc.num << "/" << sc.den;
    }
  }
}

// ---- routes and size rules ----------------------------------------------------------------------

TEST(ResampleRouteTest, ResultFormatsFollowTheSource) {
  struct Case {
    TIEPixelFormat source;
    TResampleFilter filter;
    TIEPixelFormat result;
  };
  const Case cases[] = {
      {ie1g, rfNone, ie1g},          {ie1g, rfProjectBW, ie1g},       {ie1g, rfTriangle, ie24RGB},
      {ie1g, rfBilinear, ie24RGB},   {ie8g, rfLanczos3, ie8g},        {ie8g, rfProjectWB, ie8g},
      {ie8g, rfBicubic, ie8g},       {ie16Gray, rfMitchell, ie16Gray}, {ie16Gray, rfBilinear, ie16Gray},
      {ie24RGB, rfProjectBW, ie1g},  {ie24RGB, rfHermite, ie24RGB},   {ieRGB48, rfBilinear, ieRGB48},
      {ieRGB48, rfTriangle, ie24RGB}, {ie8p, rfNone, ie8p},           {ie8p, rfTriangle, ie24RGB},
      {ie32f, rfBilinear, ie24RGB},  {ieCMYK, rfFastLinear, ie24RGB}, {ie32RGBA, rfWICFant, ie24RGB},
  };
  for (const Case& c : cases) {
    auto source = RandomImage(12, 10, c.source, 2);
    TIEBitmap dest(5, 7, c.source);
    IEResampleBitmap(source.get(), &dest, c.filter, {}, nullptr);
    EXPECT_EQ(dest.GetPixelFormat(), c.result) << int{c.source} << " filter " << int{c.filter};
    EXPECT_EQ(dest.GetWidth(), 5);
    EXPECT_EQ(dest.GetHeight(), 7);
  }
}

// The bytes of every row and of the alpha channel, with format and size.
std::string Contents(TIEBitmap& bitmap, bool withAlpha = true) {
  std::string text = std::to_string(bitmap.GetPixelFormat()) + ":" + std::to_string(bitmap.GetWidth()) + "x" +
                     std::to_string(bitmap.GetHeight()) + ":";
  const int64_t bytes = (int64_t{bitmap.GetWidth()} * bitmap.GetBitCount() + 7) / 8;
  for (int32_t y = 0; y < bitmap.GetHeight(); ++y)
    text.append(reinterpret_cast<const char*>(bitmap.GetScanline(y)), static_cast<size_t>(bytes));
  if (TIEBitmap* alpha = bitmap.PeekAlphaChannel(); alpha && withAlpha) text += "+alpha" + Contents(*alpha);
  return text;
}

// The imaging component's filters reach its scaler in every route (the
// engine, the bitmap call with its alpha channel, the grey route).
TEST(ResampleRouteTest, ImagingComponentFiltersRunItsScaler) {
  for (TIEPixelFormat format : {ie24RGB, ie8g, ie16Gray, ieRGB48, ie8p}) {
    auto source = RandomImage(13, 9, format, 4);
    for (int32_t y = 0; y < 9; ++y)
      for (int32_t x = 0; x < 13; ++x) source->SetAlphaPixel(x, y, static_cast<uint8_t>(x * 19 + y));
    for (TResampleFilter filter : {rfWICNearestNeighbor, rfWICLinear, rfWICCubic, rfWICFant})
      for (auto [w, h] : {std::pair{5, 4}, {29, 20}}) {
        TIEBitmap routed(w, h, format), direct(w, h, format);
        IEResampleBitmap(source.get(), &routed, filter, {}, nullptr);
        ASSERT_TRUE(IEWICResampleBitmap(source.get(), &direct, source->PeekAlphaChannel(), filter, {}, nullptr));
        EXPECT_EQ(Contents(routed, false), Contents(direct, false)) << int{format} << " filter " << int{filter} << " " << w;
      }
  }
  auto grey = RandomImage(11, 7, ie8g, 5);
  for (TResampleFilter filter : {rfWICNearestNeighbor, rfWICLinear, rfWICCubic, rfWICFant}) {
    TIEBitmap routed(4, 15, ie8g), direct(4, 15, ie8g);
    IEResampleGray8(grey.get(), &routed, filter);
    ASSERT_TRUE(IEWICResampleBitmap(grey.get(), &direct, nullptr, filter, {}, nullptr));
    EXPECT_EQ(Contents(routed), Contents(direct)) << "grey filter " << int{filter};
  }
}

// A 1-bit picture scaled by the imaging component's filters comes back as
// 24-bit grey, also at its own size; its nearest mode picks the bits that
// plain index scaling picks.
TEST(ResampleRouteTest, ImagingComponentFiltersTurnOneBitIntoGrey) {
  auto bits = RandomImage(17, 12, ie1g, 7);
  const auto bit = [](TIEBitmap& b, int32_t x, int32_t y) { return (b.GetScanline(y)[x / 8] >> (7 - x % 8)) & 1; };
  for (TResampleFilter filter : {rfWICNearestNeighbor, rfWICLinear, rfWICCubic, rfWICFant}) {
    TIEBitmap same(17, 12, ie1g);
    IEWICResampleBitmap(bits.get(), &same, nullptr, filter, {}, nullptr);
    ASSERT_EQ(same.GetPixelFormat(), ie24RGB) << int{filter};
    for (int32_t y = 0; y < 12; ++y)
      for (int32_t x = 0; x < 17; ++x) EXPECT_EQ(same.GetPixel24(x, y).g, bit(*bits, x, y) ? 255 : 0) << int{filter};
  }
  TIEBitmap picked(7, 25, ie1g);
  IEStretchNearest(bits.get(), &picked, nullptr, {});
  for (TResampleFilter filter : {rfWICNearestNeighbor, rfWICLinear, rfWICCubic, rfWICFant}) {
    TIEBitmap dest(7, 25, ie1g);
    IEResampleBitmap(bits.get(), &dest, filter, {}, nullptr);
    ASSERT_EQ(dest.GetPixelFormat(), ie24RGB) << int{filter};
    for (int32_t y = 0; y < 25; ++y)
      for (int32_t x = 0; x < 7; ++x) {
        const TRGB p = dest.GetPixel24(x, y);
        ASSERT_TRUE(p.r == p.g && p.g == p.b) << int{filter};
        if (filter == rfWICNearestNeighbor) {
          EXPECT_EQ(p.g, bit(picked, x, y) ? 255 : 0) << x << "," << y;
        }
      }
  }
}

TEST(ResampleRouteTest, SinglePixelEmptySourceAndEqualSizes) {
  TIEBitmap one(1, 1, ie24RGB);
  one.SetPixel24(0, 0, TRGB{10, 20, 30});
  TIEBitmap dest(4, 3, ie24RGB);
  IEResample(&one, &dest, nullptr, rfLanczos3, {}, nullptr);
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 4; ++x) EXPECT_EQ(dest.GetPixel24(x, y), (TRGB{10, 20, 30}));

  TIEBitmap empty;
  dest.Fill(0);
  IEResample(&empty, &dest, nullptr, rfTriangle, {}, nullptr);
  EXPECT_EQ(dest.GetPixel24(1, 1), (TRGB{0, 0, 0}));

  auto source = RandomImage(6, 5, ie24RGB, 4);
  source->SetAlphaPixel(2, 2, 17);
  TIEBitmap copy(6, 5, ie24RGB);
  IEResampleBitmap(source.get(), &copy, rfMitchell, {}, nullptr);
  for (int32_t y = 0; y < 5; ++y) EXPECT_TRUE(std::equal(source->GetScanline(y), source->GetScanline(y) + 18, copy.GetScanline(y)));
  ASSERT_TRUE(copy.HasAlphaChannel());
  EXPECT_EQ(copy.GetAlphaPixel(2, 2), 17);
}

TEST(ResampleRouteTest, AlphaChannelIsResampledWithThePixels) {
  TIEBitmap source(8, 8, ie24RGB);
  source.Fill(0);
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 8; ++x) source.SetAlphaPixel(x, y, x < 4 ? 0 : 255);
  TIEBitmap dest(4, 4, ie24RGB);
  IEResampleBitmap(&source, &dest, rfTriangle, {}, nullptr);
  ASSERT_TRUE(dest.HasAlphaChannel());
  EXPECT_EQ(dest.GetAlphaPixel(0, 1), 0);
  EXPECT_EQ(dest.GetAlphaPixel(3, 1), 255);
  EXPECT_FALSE(dest.GetAlphaChannel()->FullFlag());
}

TEST(ResampleSizeTest, SizeRules) {
  struct Case {
    int32_t nw, nh, w, h;
    bool fit;
    int32_t ew, eh;
  };
  const Case cases[] = {
      {-1, 300, 400, 200, false, 600, 300},
      {0, 100, 400, 200, false, 400, 100},
      {800, 800, 400, 200, true, 800, 400},
      {200, -1, 400, 200, false, 200, 100},
      {-30, 0, 400, 200, false, 30, 200},
      {-1, 50000, 60000, 40000, false, 75000, 50000},  // the product needs 64 bits
      {-1, 2000000000, 2000000000, 1, false, INT32_MAX, 2000000000},
      {-1, -1, 400, 200, false, -1, -1},               // nothing to compute: left as passed
  };
  for (const Case& c : cases) {
    int32_t nw = c.nw, nh = c.nh;
    IECalcResampleSize(nw, nh, c.w, c.h, c.fit);
    EXPECT_EQ(nw, c.ew) << c.nw << "," << c.nh;
    EXPECT_EQ(nh, c.eh) << c.nw << "," << c.nh;
  }
}

// ---- stretches ----------------------------------------------------------------------------------------

std::vector<int32_t> GreyRow(TIEBitmap& bitmap, int32_t y = 0) {
  std::vector<int32_t> row;
  for (int32_t x = 0; x < bitmap.GetWidth(); ++x) row.push_back(bitmap.GetScanline(y)[x]);
  return row;
}

std::unique_ptr<TIEBitmap> GreyStrip(const std::vector<uint8_t>& values) {
  auto bitmap = std::make_unique<TIEBitmap>(int32_t(values.size()), 1, ie8g);
  std::copy(values.begin(), values.end(), bitmap->GetScanline(0));
  return bitmap;
}

TEST(StretchTest, NearestPicksIndexScaledPixels) {
  auto four = GreyStrip({10, 20, 30, 40});
  TIEBitmap two(2, 1, ie8g), eight(8, 1, ie8g);
  IEStretchNearest(four.get(), &two, nullptr, {});
  EXPECT_EQ(GreyRow(two), (std::vector<int32_t>{10, 30}));
  auto pair = GreyStrip({1, 2});
  TIEBitmap grown(4, 1, ie8g);
  IEStretchNearest(pair.get(), &grown, nullptr, {});
  EXPECT_EQ(GreyRow(grown), (std::vector<int32_t>{1, 1, 2, 2}));
  // 1-bit images bit by bit, palette images with their palette.
  TIEBitmap bits(8, 1, ie1g), bitsOut(4, 1, ie1g);
  bits.GetScanline(0)[0] = 0b10100110;
  IEStretchNearest(&bits, &bitsOut, nullptr, {});
  EXPECT_EQ(bitsOut.GetScanline(0)[0] & 0xF0, 0b11010000);
  TIEBitmap palette(4, 1, ie8p), paletteOut(2, 1, ie8p);
  palette.SetPaletteColor(3, TRGB{1, 2, 3});
  IEStretchNearest(&palette, &paletteOut, nullptr, {});
  TRGB entry;
  paletteOut.GetPaletteColor(3, entry);
  EXPECT_EQ(entry, (TRGB{1, 2, 3}));
}

// Box averages truncate like a plain division for every block length, up to
// the largest sums: full-scale strips stay full scale, and a random strip
// gives the truncated mean of each block.
TEST(StretchTest, FastLinearAveragesTruncateForEveryBlockLength) {
  // Into two pixels the first averages half the strip and one more pixel.
  for (int32_t length : {3, 7, 255, 4099, 70001}) {
    for (bool across : {true, false}) {
      SCOPED_TRACE(testing::Message() << length << (across ? " across" : " down"));
      const int32_t w = across ? length : 1, h = across ? 1 : length;
      TIEBitmap white8(w, h, ie8g), white16(w, h, ie16Gray);
      for (int32_t y = 0; y < h; ++y) {
        std::fill_n(white8.GetScanline(y), white8.GetRowLength(), 255);
        std::fill_n(white16.GetScanline(y), white16.GetRowLength(), 255);
      }
      TIEBitmap two8(across ? 2 : 1, across ? 1 : 2, ie8g), two16(across ? 2 : 1, across ? 1 : 2, ie16Gray);
      IEResampleFastLinearGray8(&white8, &two8, nullptr, {});
      IEResampleFastLinearGray16(&white16, &two16, nullptr, {});
      for (int32_t i = 0; i < 2; ++i) {
        EXPECT_EQ(across ? two8.GetScanline(0)[i] : two8.GetScanline(i)[0], 255);
        const auto* row16 = reinterpret_cast<const uint16_t*>(two16.GetScanline(across ? 0 : i));
        EXPECT_EQ(row16[across ? i : 0], 65535);
      }
    }
  }
  auto strip = RandomImage(1000, 1, ie8g, 5);
  for (int32_t dest : {1, 3, 7, 333, 999}) {
    TIEBitmap out(dest, 1, ie8g);
    IEResampleFastLinearGray8(strip.get(), &out, nullptr, {});
    const double ratio = double(dest) / 1000;
    for (int32_t i = 0; i < dest; ++i) {
      const auto low = int32_t(i / ratio);
      const auto high = std::clamp(int32_t(std::min(i + 1, dest - 1) / ratio + 1e-10), low, 999);
      int32_t sum = 0;
      for (int32_t x = low; x <= high; ++x) sum += strip->GetScanline(0)[x];
      ASSERT_EQ(out.GetScanline(0)[i], sum / (high - low + 1)) << dest << ":" << i;
    }
  }
}

TEST(StretchTest, FastLinearInterpolatesAndAverages) {
  auto pair = GreyStrip({0, 255});
  TIEBitmap grown(4, 1, ie8g);
  IEResampleFastLinearGray8(pair.get(), &grown, nullptr, {});
  EXPECT_EQ(GreyRow(grown), (std::vector<int32_t>{0, 127, 255, 255}));
  auto four = GreyStrip({0, 30, 60, 90});
  TIEBitmap two(2, 1, ie8g);
  IEResampleFastLinearGray8(four.get(), &two, nullptr, {});
  EXPECT_EQ(GreyRow(two), (std::vector<int32_t>{30, 60}));  // pixels 0..2, then pixel 2 alone
  // A height-only change leaves the rows unblurred.
  auto rows = RandomImage(9, 6, ie24RGB, 8);
  TIEBitmap taller(9, 3, ie24RGB);
  IEResampleFastLinear24(rows.get(), &taller, nullptr, {});
  EXPECT_EQ(Sample(taller, 4, 0, 1), [&] {
    int32_t sum = 0;
    for (int32_t y = 0; y <= 2; ++y) sum += Sample(*rows, 4, y, 1);
    return sum / 3;
  }());
}

TEST(StretchTest, ProjectionsLetOneDarkOrLightPixelDecide) {
  TIEBitmap white(4, 4, ie1g), out(2, 2, ie1g);
  for (const int32_t line : {1, 2, 3}) {
    for (int32_t y = 0; y < 4; ++y) white.GetScanline(y)[0] = y == line ? 0x00 : 0xF0;
    IEProject1Bit(&white, &out, false, nullptr, {});
    EXPECT_EQ(out.GetScanline(1)[0] & 0xC0, line == 3 ? 0xC0 : 0x00) << "black line in row " << line;
    EXPECT_EQ(out.GetScanline(0)[0] & 0xC0, 0xC0);
  }
  TIEBitmap neither(2, 2, ie24RGB), bw(1, 1, ie1g);
  neither.Fill(0x326496);  // red 150, green 100, blue 50: neither light nor dark
  IEProject24To1Bit(&neither, &bw, false, nullptr, {});
  EXPECT_EQ(bw.GetScanline(0)[0] & 0x80, 0x80);
  IEProject24To1Bit(&neither, &bw, true, nullptr, {});
  EXPECT_EQ(bw.GetScanline(0)[0] & 0x80, 0x00);
}

TEST(StretchTest, OneBitPaths) {
  TIEBitmap bits(16, 16, ie1g), grey(4, 4, ie24RGB);
  for (int32_t y = 0; y < 16; ++y) bits.GetScanline(y)[0] = bits.GetScanline(y)[1] = 0xFF;
  IEStretch1BitAveraged(&bits, 0, 0, 15, 15, &grey);
  EXPECT_EQ(grey.GetPixel24(2, 2), (TRGB{255, 255, 255}));
  for (int32_t y = 0; y < 16; ++y) bits.GetScanline(y)[0] = bits.GetScanline(y)[1] = 0;
  IEStretch1BitAveraged(&bits, 0, 0, 15, 15, &grey);
  EXPECT_EQ(grey.GetPixel24(2, 2), (TRGB{0, 0, 0}));
  auto random = RandomImage(13, 11, ie1g, 9);
  TIEBitmap kernel(7, 20, ie24RGB);
  IEResample1Bit(random.get(), &kernel, rfTriangle);
  ASSERT_EQ(kernel.GetPixelFormat(), ie24RGB);
  for (int32_t y = 0; y < 20; ++y)
    for (int32_t x = 0; x < 7; ++x) {
      const TRGB p = kernel.GetPixel24(x, y);
      EXPECT_TRUE(p.r == p.g && p.g == p.b);
    }
}

// ---- interpolating cores ---------------------------------------------------------------------------------

// The cubic passes through its inner samples, in the argument order
// (-1, 0, 1, t, 2), and is held to the bounds given.
TEST(InterpolatingTest, CubicThroughFourSamplesWithinBounds) {
  struct Case {
    int32_t pm1, p0, p1;
    double t;
    int32_t p2;
    double low, high, expected;
  };
  const Case cases[] = {
      {1, 2, 3, 0.0, 4, -1000, 1000, 2},     // at the sample at 0
      {1, 2, 3, 1.0, 4, -1000, 1000, 3},     // at the sample at 1
      {0, 10, 20, 0.5, 30, 0, 255, 15},      // a straight line stays straight
      {255, 0, 0, 0.5, 255, 0, 255, 0},      // -63.75 raised to the lower bound
      {0, 255, 255, 0.5, 0, 0, 255, 255},    // 318.75 lowered to the upper bound
      {0, 255, 255, 0.5, 0, -1000, 1000, 318.75},
  };
  for (const Case& c : cases)
    EXPECT_DOUBLE_EQ(IECubicInterpolate(c.pm1, c.p0, c.p1, c.t, c.p2, c.low, c.high), c.expected)
        << c.pm1 << " " << c.p0 << " " << c.p1 << " " << c.t << " " << c.p2;
}

TEST(InterpolatingTest, ShrinkIsTheExactAreaMean) {
  TIEBitmap source(4, 4, ie8g);
  const uint8_t values[4][4] = {{0, 0, 1, 1}, {0, 1, 2, 2}, {1, 1, 9, 9}, {0, 1, 9, 9}};
  for (int32_t y = 0; y < 4; ++y) std::copy_n(values[y], 4, source.GetScanline(y));
  for (const bool bicubic : {false, true}) {
    TIEBitmap dest(2, 2, ie8g);
    IEInterpolatingResample(&source, &dest, nullptr, bicubic, {}, nullptr);
    EXPECT_EQ(GreyRow(dest, 0), (std::vector<int32_t>{0, 2})) << bicubic;  // 0.25 -> 0, 1.5 -> 2
    EXPECT_EQ(GreyRow(dest, 1), (std::vector<int32_t>{1, 9})) << bicubic;  // 0.75 -> 1
  }
}

TEST(InterpolatingTest, BilinearGrowthTakesTheRightEdgeValue) {
  auto pair = GreyStrip({0, 255});
  TIEBitmap dest(4, 1, ie8g);
  IEInterpolatingResample(pair.get(), &dest, nullptr, false, {}, nullptr);
  EXPECT_EQ(GreyRow(dest), (std::vector<int32_t>{128, 255, 255, 255}));
}

TEST(InterpolatingTest, TransparentColourNeverMixesIn) {
  TIEBitmap source(4, 4, ie24RGB), alpha(4, 4, ie8g);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 4; ++x) {
      source.SetPixel24(x, y, x < 2 ? TRGB{0, 0, 255} : TRGB{0, 200, 0});
      alpha.SetPixel8(x, y, x < 2 ? 0 : 255);
    }
  TIEBitmap dest(12, 12, ie24RGB);
  IEInterpolatingResample(&source, &dest, &alpha, false, {}, nullptr);
  for (int32_t y = 0; y < 12; ++y)
    for (int32_t x = 0; x < 12; ++x) {
      const TRGB p = dest.GetPixel24(x, y);
      EXPECT_TRUE(p == (TRGB{0, 0, 255}) || p == (TRGB{0, 200, 0})) << x << "," << y;
    }
  TIEBitmap wrongFormat(2, 2, ie32f), out(3, 3, ie32f);
  out.Fill(0);
  IEInterpolatingResample(&wrongFormat, &out, nullptr, false, {}, nullptr);
  EXPECT_EQ(out.GetPixel32f(1, 1), 0.0f);
}

TEST(InterpolatingTest, SixteenBitCoreAgreesWithTheEightBitOne) {
  auto small = RandomImage(7, 5, ie8g, 12);
  TIEBitmap wide(7, 5, ie16Gray);
  for (int32_t y = 0; y < 5; ++y)
    for (int32_t x = 0; x < 7; ++x) wide.SetPixel16(x, y, uint16_t(small->GetPixel8(x, y) * 257));
  for (const bool bicubic : {false, true}) {
    TIEBitmap d8(11, 3, ie8g), d16(11, 3, ie16Gray);
    IEInterpolatingResample(small.get(), &d8, nullptr, bicubic, {}, nullptr);
    IEInterpolatingResample16(&wide, &d16, bicubic, {}, nullptr);
    for (int32_t y = 0; y < 3; ++y)
      for (int32_t x = 0; x < 11; ++x) EXPECT_NEAR(d16.GetPixel16(x, y) / 257.0, d8.GetPixel8(x, y), 1.0);
  }
}

TEST(PerspectiveTest, IdentityCornersMapPixelToPixel) {
  auto source = RandomImage(8, 6, ie24RGB, 13);
  TIEBitmap dest(8, 6, ie24RGB);
  dest.Fill(0);
  IEPerspectiveDraw(source.get(), &dest, 0, 0, 8, 0, 8, 6, 0, 6, -1, -1, false, 255);
  for (int32_t y = 0; y < 6; ++y)
    for (int32_t x = 0; x < 8; ++x) EXPECT_EQ(dest.GetPixel24(x, y), source->GetPixel24(x, y)) << x << "," << y;
  // White over black blends one step short; black over white is exact.
  TIEBitmap white(4, 4, ie24RGB), black(4, 4, ie24RGB);
  white.Fill(0xFFFFFF);
  black.Fill(0);
  IEPerspectiveDraw(&white, &black, 0, 0, 4, 0, 4, 4, 0, 4, -1, -1, true, 255);
  EXPECT_EQ(black.GetPixel24(1, 1), (TRGB{254, 254, 254}));
}

TEST(PerspectiveTest, DegenerateCornersDrawNothing) {
  auto source = RandomImage(8, 6, ie24RGB, 14);
  struct Case {
    int32_t c[8];
  };
  const Case cases[] = {
      {{0, 0, 0, 5, 8, 6, 0, 6}},   // X0 = X1
      {{0, 0, 8, 0, 8, 0, 0, 6}},   // Y0 = Y2
      {{0, 0, 8, 2, 4, 4, 0, 6}},   // P1, P2, P3 on one line
  };
  for (const Case& c : cases) {
    TIEBitmap dest(8, 6, ie24RGB);
    dest.Fill(0);
    IEPerspectiveDraw(source.get(), &dest, c.c[0], c.c[1], c.c[2], c.c[3], c.c[4], c.c[5], c.c[6], c.c[7], -1, -1,
                      false, 255);
    EXPECT_TRUE(dest.IsAllZero());
  }
}

}  // namespace
