// The built-in camera-raw reader on DNGs written by make_dng.py: its white
// level and tone curve applied to LibRaw's own linear picture of the file
// (dcraw_emu -4 -q 0 -o 1), the pixel repetition, the embedded preview and
// the unfolding of 45-degree sensors.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/core/ruduvazez_startup.h"
#include "imaging/io/ieraw.h"
#include "imaging/io/imageryio.h"
#include "platform/rtl/ondemand.h"
#include "tests/imaging/io/raw_test_support.h"

namespace {

using rawtest::MakeDNG;
using rawtest::Reference;
using rawtest::TPPM;

// The reader's picture as the white-level and tone formulas make it from
// LibRaw's linear 16-bit RGB: R, G, B per pixel, border of `trim` left out.
struct TExpected {
  int32_t width = 0, height = 0;
  std::vector<int32_t> samples;
};

TExpected ByTheFormulas(const TPPM& linear, double gamma, double brightness, bool fuji, bool sixteenBits,
                        int32_t trim) {
  auto sample = [&](int32_t x, int32_t y, int c) {
    const auto* p = reinterpret_cast<const uint8_t*>(linear.pixels.data()) + (size_t(y) * linear.width + x) * 6;
    return p[2 * c] << 8 | p[2 * c + 1];
  };
  auto magnitude = [&](int32_t x, int32_t y) {
    double sum = 0;
    for (int c = 0; c < 3; ++c) sum += double(sample(x, y, c)) * sample(x, y, c);
    return static_cast<int32_t>(std::min(std::sqrt(sum) / 2, 65535.0));
  };
  std::vector<int64_t> histogram(0x2000);
  for (int32_t y = 0; y < linear.height; ++y)
    for (int32_t x = 0; x < linear.width; ++x) ++histogram[magnitude(x, y) >> 3];
  const auto threshold = static_cast<int64_t>((fuji ? 0.005 : 0.01) * linear.width * linear.height);
  int32_t bin = 0x1FFF;
  for (int64_t total = 0; bin >= 1; --bin)
    if ((total += histogram[bin]) > threshold) break;
  const double white = bin > 0 ? bin * 16.0 : 1.0;
  const double top = sixteenBits ? 65535 : 255;
  TExpected e;
  e.width = linear.width - 2 * trim;
  e.height = linear.height - 2 * trim;
  for (int32_t y = trim; y < linear.height - trim; ++y)
    for (int32_t x = trim; x < linear.width - trim; ++x) {
      const int32_t m = magnitude(x, y);
      double factor = m == 0 ? 0 : brightness * 442 / white * std::pow(2.0 * m / white, gamma - 1);
      if (sixteenBits) factor = factor / 255 * 65535;
      for (int c = 0; c < 3; ++c) e.samples.push_back(static_cast<int32_t>(std::min(std::trunc(sample(x, y, c) * factor), top)));
    }
  return e;
}

// Samples further apart than one level, row `y` of the bitmap against row
// `expectedRow` of the expectation.
int32_t Differing(TIEBitmap& bitmap, int32_t y, const TExpected& e, int32_t expectedRow) {
  const bool deep = bitmap.GetPixelFormat() == ieRGB48;
  int32_t differing = 0;
  const uint8_t* row = bitmap.GetScanline(y);
  for (int32_t x = 0; x < e.width; ++x)
    for (int c = 0; c < 3; ++c) {
      const int32_t ours = deep ? reinterpret_cast<const uint16_t*>(row)[3 * x + c] : row[3 * x + 2 - c];
      differing += std::abs(ours - e.samples[(size_t(expectedRow) * e.width + x) * 3 + c]) > 1;
    }
  return differing;
}

class CameraRawReader : public ::testing::Test {
protected:
  void SetUp() override { IELibraryInitialize(); }
  void TearDown() override { IELibraryFinalize(); }
};

TEST_F(CameraRawReader, AppliesItsWhiteLevelAndToneCurveToLibRawsLinearPicture) {
  const std::string scene = MakeDNG("reader-scene.nef", "--width 64 --height 48");
  const std::string fuji = MakeDNG("reader-fuji.nef", "--width 64 --height 48 --make FUJIFILM --model X");
  // Every sample at or below black: every magnitude 0, so white is 1.
  const std::string dark = MakeDNG("reader-dark.nef", "--width 32 --height 24 --dark --black 24");
  struct TCase {
    const char* what;
    std::string file;
    std::function<void(TIOParamsVals&)> set;
    const char* options;
    bool fuji = false;
  };
  const TCase cases[] = {
      {"defaults", scene, [](TIOParamsVals&) {}, ""},
      {"16 bits", scene, [](TIOParamsVals& p) { p.ISNATIVEPIXELFORMAT = true; }, ""},
      {"gamma and brightness", scene, [](TIOParamsVals& p) { p.RAW_GAMMA = 0.45, p.RAW_BRIGHT = 1.5; }, ""},
      {"full interpolation asked: still bilinear", scene, [](TIOParamsVals& p) { p.RAW_QUICKINTERPOLATE = false; },
       ""},
      {"half size", scene, [](TIOParamsVals& p) { p.RAW_HALFSIZE = true; }, "-h"},
      {"camera white balance", scene, [](TIOParamsVals& p) { p.RAW_USECAMERAWB = true; }, "-w"},
      {"automatic white balance", scene, [](TIOParamsVals& p) { p.RAW_USEAUTOWB = true; }, "-a"},
      {"four colours", scene, [](TIOParamsVals& p) { p.RAW_FOURCOLORRGB = true; }, "-f"},
      {"a Fuji camera: half the share above white", fuji, [](TIOParamsVals&) {}, "", true},
      {"all dark", dark, [](TIOParamsVals&) {}, ""},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.what);
    TIEBitmap bitmap;
    std::unique_ptr<TImageryIO> io(TImageryIO::CreateFromBitmap(&bitmap));
    c.set(io->Params());
    ASSERT_TRUE(io->LoadFromFile(c.file));
    EXPECT_EQ(io->Params().FILETYPE, 20);
    const TIOParamsVals& p = io->Params();
    const bool half = p.RAW_HALFSIZE;
    const TExpected e = ByTheFormulas(Reference(c.file, std::string("-4 -q 0 -o 1 ") + c.options), p.RAW_GAMMA,
                                      p.RAW_BRIGHT, c.fuji, p.ISNATIVEPIXELFORMAT, half ? 0 : 1);
    ASSERT_EQ(bitmap.GetWidth(), e.width);
    ASSERT_EQ(bitmap.GetHeight(), e.height);
    EXPECT_EQ(bitmap.GetPixelFormat(), p.ISNATIVEPIXELFORMAT ? ieRGB48 : ie24RGB);
    int32_t differing = 0;
    for (int32_t y = 0; y < e.height; ++y) differing += Differing(bitmap, y, e, y);
    EXPECT_EQ(differing, 0);
  }
}

TEST_F(CameraRawReader, PixelsTwiceAsWideAsHighAreRepeatedDownwards) {
  const std::string file = MakeDNG("reader-tall.nef", "--width 40 --height 30 --aspect 0.5");
  TIEBitmap bitmap;
  std::unique_ptr<TImageryIO> io(TImageryIO::CreateFromBitmap(&bitmap));
  ASSERT_TRUE(io->LoadFromFile(file));
  const TExpected e = ByTheFormulas(Reference(file, "-4 -q 0 -o 1 -j"), 0.6, 1, false, false, 1);
  ASSERT_EQ(bitmap.GetWidth(), e.width);
  ASSERT_EQ(bitmap.GetHeight(), 2 * e.height);
  int32_t differing = 0;
  for (int32_t y = 0; y < 2 * e.height; ++y) differing += Differing(bitmap, y, e, y / 2);
  EXPECT_EQ(differing, 0);
  EXPECT_EQ(io->Params().WIDTH, 38);  // the sensor's size less two, whatever the output
  EXPECT_EQ(io->Params().HEIGHT, 28);
  EXPECT_EQ(io->Params().RAW_CAMERA, "Synthetic Mosaic One ");

  TIEWideFileStream stream(file, fmOpenRead);
  ASSERT_TRUE(io->LoadFromStreamRAW(stream));
  EXPECT_EQ(io->Params().FILETYPE, 20);
  EXPECT_EQ(bitmap.GetHeight(), 2 * e.height);
}

TEST_F(CameraRawReader, ForeignDataIsRefusedWithoutTouchingTheBitmap) {
  TIEBitmap bitmap(5, 4, ie24RGB);
  std::unique_ptr<TImageryIO> io(TImageryIO::CreateFromBitmap(&bitmap));
  const std::string junk = iotest::WriteTempFile("reader-junk.nef", std::string(3000, 'x'));
  EXPECT_FALSE(io->LoadFromFile(junk));
  EXPECT_EQ(bitmap.GetWidth(), 5);
  TIEWideFileStream stream(junk, fmOpenRead);
  EXPECT_FALSE(IEIsRAWStream(stream));
  EXPECT_EQ(stream.Position(), 0);
}

// A program whose LibRaw module cannot be loaded reads no camera-raw file,
// and says so, rather than ending.
TEST_F(CameraRawReader, WithoutItsDecoderModuleFilesAreNotReadNorRecognised) {
  const std::string file = MakeDNG("reader-nomodule.nef", "--width 32 --height 24");
  const std::vector<const char*> names = IERawDecoderModule().RenameForTest({"/nonexistent/libvesk_rawdecoder.so"});
  TIEBitmap bitmap(5, 4, ie24RGB);
  std::unique_ptr<TImageryIO> io(TImageryIO::CreateFromBitmap(&bitmap));
  const auto recognised = [&] {
    TIEWideFileStream stream(file, fmOpenRead);
    return IEIsRAWStream(stream);
  };
  EXPECT_FALSE(io->LoadFromFile(file));
  EXPECT_EQ(bitmap.GetWidth(), 5);
  EXPECT_FALSE(recognised());
  IERawDecoderModule().RenameForTest(names);
  EXPECT_TRUE(recognised());
  EXPECT_TRUE(io->LoadFromFile(file));
  EXPECT_EQ(bitmap.GetWidth(), 30);
}

TEST_F(CameraRawReader, APreviewRequestTakesTheEmbeddedJpegElseDecodes) {
  TIEBitmap preview(16, 12, ie24RGB);
  for (int32_t y = 0; y < 12; ++y) std::memset(preview.GetScanline(y), 90, 16 * 3);
  std::unique_ptr<TImageryIO> writer(TImageryIO::CreateFromBitmap(&preview));
  const std::string jpeg = iotest::TempFolder() + "reader-preview.jpg";
  writer->SaveToFileJPEG(jpeg);
  const std::string with = MakeDNG("reader-preview.nef", "--width 64 --height 48 --thumbnail '" + jpeg + "'");
  const std::string without = MakeDNG("reader-nopreview.nef", "--width 64 --height 48");
  struct TCase {
    std::string file;
    int32_t width, height;
  };
  for (const TCase& c : {TCase{with, 16, 12}, TCase{without, 62, 46}}) {
    SCOPED_TRACE(c.file);
    TIEBitmap bitmap;
    std::unique_ptr<TImageryIO> io(TImageryIO::CreateFromBitmap(&bitmap));
    io->Params().RAW_GETEXIFTHUMBNAIL = true;
    ASSERT_TRUE(io->LoadFromFile(c.file));
    EXPECT_EQ(bitmap.GetWidth(), c.width);
    EXPECT_EQ(bitmap.GetHeight(), c.height);
    EXPECT_EQ(io->Params().WIDTH, 62);  // the raw image's, also beside the preview
    EXPECT_TRUE(io->Params().RAW_GETEXIFTHUMBNAIL);
  }
}

// ---- unfolding ----------------------------------------------------------------------------------

template <class T>
std::unique_ptr<TIEBitmap> Uniform(int32_t width, int32_t height, TIEPixelFormat format, T a, T b, T c) {
  auto bitmap = std::make_unique<TIEBitmap>(width, height, format);
  for (int32_t y = 0; y < height; ++y) {
    T* row = reinterpret_cast<T*>(bitmap->GetScanline(y));
    for (int32_t x = 0; x < width; ++x) row[3 * x] = a, row[3 * x + 1] = b, row[3 * x + 2] = c;
  }
  return bitmap;
}

template <class T>
std::vector<int32_t> PixelAt(TIEBitmap& bitmap, int32_t x, int32_t y) {
  const T* row = reinterpret_cast<const T*>(bitmap.GetScanline(y));
  return {row[3 * x], row[3 * x + 1], row[3 * x + 2]};
}

TEST(UnfoldRAW45, TurnsTheDiamondUprightAndFillsBetweenItsSamples) {
  // Lit 8 x 8: first lit column 0, last 7, so 12 rows of 14 columns.
  auto bytes = Uniform<uint8_t>(8, 8, ie24RGB, 10, 20, 30);
  IEUnfoldRAW45(*bytes);
  ASSERT_EQ(bytes->GetWidth(), 14);
  ASSERT_EQ(bytes->GetHeight(), 12);
  using V = std::vector<int32_t>;
  EXPECT_EQ(PixelAt<uint8_t>(*bytes, 0, 0), (V{0, 0, 0}));    // column 0 is never written
  EXPECT_EQ(PixelAt<uint8_t>(*bytes, 1, 0), (V{0, 0, 0}));    // outside the diamond
  EXPECT_EQ(PixelAt<uint8_t>(*bytes, 2, 0), (V{5, 10, 15}));  // half its neighbours inside
  EXPECT_EQ(PixelAt<uint8_t>(*bytes, 3, 0), (V{10, 20, 30}));
  EXPECT_EQ(PixelAt<uint8_t>(*bytes, 4, 0), (V{10, 20, 30}));
  for (int32_t x = 0; x < 14; ++x) EXPECT_EQ(PixelAt<uint8_t>(*bytes, x, 11), (V{0, 0, 0}));  // no source row

  auto words = Uniform<uint16_t>(8, 8, ieRGB48, 1000, 2000, 3000);
  IEUnfoldRAW45(*words);
  ASSERT_EQ(words->GetWidth(), 14);
  EXPECT_EQ(words->GetPixelFormat(), ieRGB48);
  EXPECT_EQ(PixelAt<uint16_t>(*words, 2, 0), (V{500, 1000, 1500}));
  EXPECT_EQ(PixelAt<uint16_t>(*words, 4, 0), (V{1000, 2000, 3000}));
}

TEST(UnfoldRAW45, ImagesWithoutAnOutlineStayAsDecoded) {
  struct TCase {
    const char* what;
    int32_t width, height, litFrom;
  };
  const TCase cases[] = {
      {"a dark first row", 6, 4, 6},
      {"only the last column lit", 6, 4, 5},  // too few rows to unfold
      {"one lit pixel at the left", 1, 3, 0},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.what);
    TIEBitmap bitmap(c.width, c.height, ie24RGB);
    for (int32_t y = 0; y < c.height; ++y) std::memset(bitmap.GetScanline(y), 0, size_t(c.width) * 3);
    for (int32_t x = c.litFrom; x < c.width; ++x) bitmap.GetScanline(0)[3 * x] = 200;
    IEUnfoldRAW45(bitmap);
    EXPECT_EQ(bitmap.GetWidth(), c.width);
    EXPECT_EQ(bitmap.GetHeight(), c.height);
  }
}

}  // namespace
