// The camera-raw plug-in against LibRaw's own command-line decoder
// (dcraw_emu) on DNG files written by tests/fixtures/raw/make_dng.py.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "imaging/io/imageryio.h"
#include "imaging/io/imageryio_plugins.h"
#include "tests/imaging/io/io_test_support.h"
#include "tests/imaging/io/raw_test_support.h"

namespace {

using iotest::IOTest;
using rawtest::MakeDNG;
using rawtest::Reference;
using rawtest::TPPM;

class CameraRawPlugin : public IOTest {
protected:
  void SetUp() override {
    IOTest::SetUp();
    IEUnregisterFileFormat(20);
    ASSERT_EQ(IERegisterIOPlugin("dcrawlib.dll"), 4096);
  }
  void TearDown() override {
    IEUnloadIOPlugins();
    IOTest::TearDown();
  }
  // Equal samples; 8-bit bitmaps hold blue, green, red.
  static void ExpectSame(TIEBitmap& bitmap, const TPPM& ppm, const std::string& what) {
    ASSERT_EQ(bitmap.GetWidth(), ppm.width) << what;
    ASSERT_EQ(bitmap.GetHeight(), ppm.height) << what;
    const bool deep = ppm.maxValue > 255;
    ASSERT_EQ(bitmap.GetPixelFormat(), deep ? ieRGB48 : ie24RGB) << what;
    const size_t row = static_cast<size_t>(ppm.width) * 3 * (deep ? 2 : 1);
    ASSERT_EQ(ppm.pixels.size(), row * ppm.height) << what;
    int32_t differing = 0;
    for (int32_t y = 0; y < ppm.height; ++y) {
      const auto* ours = bitmap.GetScanline(y);
      const auto* theirs = reinterpret_cast<const uint8_t*>(ppm.pixels.data()) + y * row;
      for (int32_t x = 0; x < ppm.width; ++x)
        for (int c = 0; c < 3; ++c) {
          const int32_t mine = deep ? reinterpret_cast<const uint16_t*>(ours)[3 * x + c] : ours[3 * x + 2 - c];
          const int32_t reference = deep ? theirs[6 * x + 2 * c] << 8 | theirs[6 * x + 2 * c + 1] : theirs[3 * x + c];
          differing += mine != reference;
        }
    }
    EXPECT_EQ(differing, 0) << what;
  }
};

TEST_F(CameraRawPlugin, DecodesAsLibRawsOwnDecoderWithTheSameOptions) {
  const std::string file = MakeDNG("scene.dng", "--width 64 --height 48");
  struct TCase {
    const char* what;
    std::function<void(TIOParamsVals&)> set;
    const char* options;
  };
  const TCase cases[] = {
      {"defaults", [](TIOParamsVals&) {}, "-q 0"},
      {"half size", [](TIOParamsVals& p) { p.RAW_HALFSIZE = true; }, "-q 0 -h"},
      {"camera white balance", [](TIOParamsVals& p) { p.RAW_USECAMERAWB = true; }, "-q 0 -w"},
      {"automatic white balance", [](TIOParamsVals& p) { p.RAW_USEAUTOWB = true; }, "-q 0 -a"},
      {"brightness", [](TIOParamsVals& p) { p.RAW_BRIGHT = 2; }, "-q 0 -b 2"},
      {"full interpolation", [](TIOParamsVals& p) { p.RAW_QUICKINTERPOLATE = false; }, ""},
      {"16 bits", [](TIOParamsVals& p) { p.ISNATIVEPIXELFORMAT = true; }, "-q 0 -6"},
  };
  for (const TCase& c : cases) {
    TImageryIO io(nullptr);
    io.Params().RAW_GAMMA = 0.5;  // power 2 for dcraw_emu, exactly
    c.set(io.Params());
    ASSERT_TRUE(io.LoadFromFileFormat(file, 4096)) << c.what;
    EXPECT_EQ(io.Params().FILETYPE, 4096);
    ExpectSame(*io.IEBitmap(), Reference(file, std::string("-g 2 0 ") + c.options), c.what);
  }
}

TEST_F(CameraRawPlugin, ReportsTheFullSizeAndReadsParametersWithoutDecoding) {
  const std::string file = MakeDNG("size.dng", "--width 40 --height 30 --make Maker --model Cam");
  TImageryIO io(nullptr);
  io.Params().RAW_HALFSIZE = true;
  ASSERT_TRUE(io.LoadFromFileFormat(file, 4096));
  EXPECT_EQ(io.Params().WIDTH, 20);
  EXPECT_EQ(io.Params().ORIGINALWIDTH, 40);
  EXPECT_EQ(io.Params().ORIGINALHEIGHT, 30);
  EXPECT_EQ(io.Params().EXIF_MAKE, "Maker");  // the file's own metadata

  TImageryIO params(nullptr);
  params.ParamsFromFileFormat(file, 4096);
  EXPECT_EQ(params.Params().FILETYPE, 4096);
  EXPECT_EQ(params.Params().WIDTH, 40);
  EXPECT_EQ(params.Params().HEIGHT, 30);
  EXPECT_TRUE(params.IEBitmap()->IsEmpty());
}

TEST_F(CameraRawPlugin, RecognisesRawFilesByContentAndNothingElse) {
  const std::string raw = MakeDNG("content.nef");
  TImageryIO io(nullptr);
  ASSERT_TRUE(io.LoadFromFile(raw));  // by the extension the plug-in lists
  EXPECT_EQ(io.Params().FILETYPE, 4096);
  const std::string other = iotest::WriteTempFile("other.nef", iotest::MakeImage(3, 3));
  TIEWideFileStream stream(other, fmOpenRead);
  EXPECT_FALSE(IEPluginTryStream(stream, 4096));
  TIEWideFileStream rawStream(raw, fmOpenRead);
  EXPECT_TRUE(IEPluginTryStream(rawStream, 4096));
}

TEST_F(CameraRawPlugin, AThumbnailRequestWithoutPreviewFallsBackToTheFullDecode) {
  const std::string file = MakeDNG("thumb.dng", "--width 32 --height 24");
  TImageryIO io(nullptr);
  io.Params().SetGetThumbnail(true);
  io.Params().RAW_EXTRAPARAMS = "keep";
  ASSERT_TRUE(io.LoadFromFileFormat(file, 4096));
  EXPECT_EQ(io.IEBitmap()->GetWidth(), 32);
  EXPECT_EQ(io.Params().RAW_EXTRAPARAMS, "keep");
  EXPECT_TRUE(io.Params().GETTHUMBNAIL);
}

TEST_F(CameraRawPlugin, TheStreamMemberReadsThroughThePluginInPlaceOfTheBuiltInReader) {
  const std::string file = MakeDNG("stream.dng", "--width 32 --height 24");
  TIEWideFileStream stream(file, fmOpenRead);
  TImageryIO io(nullptr);
  ASSERT_TRUE(io.LoadFromStreamRAW(stream));
  EXPECT_EQ(io.Params().FILETYPE, 4096);
  EXPECT_EQ(io.IEBitmap()->GetWidth(), 32);
}

}  // namespace
