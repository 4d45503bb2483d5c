#include <gtest/gtest.h>

#include <cstring>

#include "imaging/io/imageryio.h"
#include "platform/rtl/exceptions.h"
#include "tests/imaging/io/io_test_support.h"

namespace {

using iotest::IOTest;

class Pages : public IOTest {};

TEST_F(Pages, ImageCountsByExtension) {
  EXPECT_EQ(IEGetFileImageCount("/nowhere/picture.jpg"), 1);  // not opened
  EXPECT_EQ(IEGetFileImageCount(iotest::WriteTempFile("text.xyz", "hello")), 0);
  EXPECT_EQ(IEFileFormatFromExtension("JPG"), 3);
  EXPECT_EQ(IEFileFormatFromExtension(".mpeg"), 23);
  EXPECT_EQ(IEFileFormatFromExtension("wmv"), 22);
  EXPECT_EQ(IEFileFormatFromExtension("xyz"), 0);
}

TEST_F(Pages, SeekImageMovesTheSharedIndexAndReloadsOnlyOnChange) {
  TImageryIO io(nullptr);
  int32_t finished = 0;
  io.OnFinishWork = [&](TObject*) { ++finished; };
  const std::string file = iotest::WriteTempFile("pages.tif", iotest::MakeImage(2, 2));
  io.Params().FILENAME = file;
  io.Params().SetImageCount(3);
  io.Params().SetImageIndex(2);
  EXPECT_EQ(io.SeekImage(2, ""), 2);  // already the last: no reload
  EXPECT_EQ(finished, 0);
  EXPECT_EQ(io.SeekImage(1, ""), 1);
  EXPECT_EQ(io.Params().TIFF_IMAGEINDEX, 1);
  EXPECT_EQ(finished, 1);
  EXPECT_EQ(io.SeekImage(0, file), 0);  // a file name always reloads
  EXPECT_EQ(finished, 2);
}

TEST_F(Pages, LogLinesGoOnlyToAnExistingNamedFile) {
  IEWriteLog("nothing happens");  // no name set
  const std::string log = iotest::WriteTempFile("io.log", "");
  IESetLogFileName(log);
  IEWriteLog("first");
  IEWriteLog("second");
  const std::string text = iotest::ReadFile(log);
  EXPECT_NE(text.find(" : first\r\n"), std::string::npos);
  EXPECT_NE(text.find(" : second\r\n"), std::string::npos);
  IESetLogFileName(log + ".missing");
  EXPECT_THROW(IEWriteLog("lost"), EInOutError);
  IESetLogFileName("");
}

TEST_F(Pages, AdjustDPIMakesThePixelsSquare) {
  TImageryIO io(nullptr);
  io.IEBitmap()->Allocate(200, 100, ie24RGB);
  io.IEBitmap()->SetPixel24(199, 99, TRGB{1, 2, 3});
  TIOParamsVals& p = io.Params();
  p.WIDTH = 200, p.HEIGHT = 100;
  p.SetDpiX(200);
  p.SetDpiY(100);
  io.AdjustDPI();
  EXPECT_EQ(io.IEBitmap()->GetHeight(), 200);
  EXPECT_EQ(p.HEIGHT, 200);
  EXPECT_EQ(p.DPIY, 200);
  EXPECT_EQ(io.IEBitmap()->GetPixel24(199, 199), (TRGB{1, 2, 3}));
  io.AdjustDPI();  // equal resolutions: nothing
  EXPECT_EQ(io.IEBitmap()->GetHeight(), 200);
}

// A fax page (1-bit, twice as fine across as down) is stretched like any
// other image, and the alpha channel comes along on both paths.
TEST_F(Pages, AdjustDPIStretchesBilevelPagesAndKeepsAlpha) {
  for (bool filtered : {false, true})
    for (TIEPixelFormat format : {ie1g, ie24RGB}) {
      SCOPED_TRACE(testing::Message() << "filtered " << filtered << " format " << int(format));
      TImageryIO io(nullptr);
      io.FilteredAdjustDPI = filtered;
      TIEBitmap& image = *io.IEBitmap();
      image.Allocate(16, 8, format);
      for (int32_t y = 0; y < 8; ++y)  // odd rows white
        std::memset(image.GetScanline(y), y % 2 ? 255 : 0, format == ie1g ? 2 : 48);
      TIEBitmap* alpha = image.GetAlphaChannel();
      for (int32_t y = 0; y < 8; ++y) std::memset(alpha->GetScanline(y), 0, 4);  // the left four columns clear
      alpha->SetFullFlag(false);
      TIOParamsVals& p = io.Params();
      p.WIDTH = 16, p.HEIGHT = 8;
      p.SetDpiX(200);
      p.SetDpiY(100);
      io.AdjustDPI();
      ASSERT_EQ(image.GetHeight(), 16);
      EXPECT_EQ(image.GetPixelFormat(), filtered ? ie24RGB : format);
      ASSERT_TRUE(image.HasAlphaChannel());
      EXPECT_FALSE(image.GetAlphaChannel()->FullFlag());
      for (int32_t y = 0; y < 16; ++y) {
        EXPECT_EQ(image.GetAlphaChannel()->GetScanline(y)[2], 0) << y;
        EXPECT_EQ(image.GetAlphaChannel()->GetScanline(y)[10], 255) << y;
        if (filtered) continue;
        TRGB c;
        image.GetPixelRGB(7, y, c);
        EXPECT_EQ(c.g, (y / 2) % 2 ? 255 : 0) << y;
      }
    }
}

// Filtered: a grey image becomes 24-bit and the new rows are blends of
// their neighbours, not copies.
TEST_F(Pages, FilteredAdjustDPIResamplesInColour) {
  TImageryIO io(nullptr);
  io.FilteredAdjustDPI = true;
  TIEBitmap& image = *io.IEBitmap();
  image.Allocate(100, 50, ie8g);
  for (int32_t y = 0; y < 50; ++y) std::memset(image.GetScanline(y), y % 2 ? 200 : 0, 100);
  TIOParamsVals& p = io.Params();
  p.WIDTH = 100, p.HEIGHT = 50;
  p.SetDpiX(300);
  p.SetDpiY(100);
  io.AdjustDPI();
  ASSERT_EQ(image.GetPixelFormat(), ie24RGB);
  EXPECT_EQ(image.GetWidth(), 100);
  EXPECT_EQ(image.GetHeight(), 150);
  EXPECT_EQ(p.DPIY, 300);
  int32_t blended = 0;
  for (int32_t y = 0; y < 150; ++y) {
    const uint8_t v = image.GetScanline(y)[150];
    EXPECT_EQ(image.GetScanline(y)[151], v);  // still grey
    if (v != 0 && v != 200) ++blended;
  }
  EXPECT_GT(blended, 0);
}

TEST_F(Pages, AnAbortedCountingLoadReportsNoCount) {
  TImageryIO io(nullptr);
  const TIECodecEntry* codec = IEFindCodec(1);
  ASSERT_NE(codec, nullptr);
  EXPECT_EQ(io.LoadFromFileCodec(*codec, iotest::WriteTempFile("cut.tif", iotest::MakeImage(3, 3).substr(0, 20))),
            -1);
  EXPECT_EQ(io.LoadFromFileCodec(*codec, iotest::WriteTempFile("whole.tif", iotest::MakeImage(3, 3))), 1);
}

}  // namespace
