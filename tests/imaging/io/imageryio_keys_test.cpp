#include <gtest/gtest.h>

#include "imaging/io/imageryio.h"
#include "tests/imaging/io/io_test_support.h"

namespace {

using iotest::IOTest;

class Keys : public IOTest {};

TEST_F(Keys, EveryValueKindRoundTripsByText) {
  TIOParamsVals p(nullptr);
  struct Case {
    const char* key;
    const char* value;
  };
  const Case cases[] = {
      {"JPEG_QUALITY", "55"},          {"TIFF_PAGENAME", "a page"},   {"PNG_INTERLACED", "1"},
      {"J2000_RATE", "0.25"},          {"GIF_TRANSPCOLOR", "1, 2, 3"}, {"EXIF_FNUMBER", "2.8"},
      {"EXIF_ISOSPEEDRATINGS1", "400"}, {"EXIF_WHITEPOINT1", "0.5"},   {"EXIF_GPSLATITUDE", "-10.5"},
      {"TIFF_ORIENTATION", "6"},       {"RAW_CAMERA", "cam"},         {"XMP_INFO", "<x/>"},
  };
  for (const Case& c : cases) {
    p.SetByName(c.key, c.value);
    EXPECT_EQ(p.GetByName(c.key), c.value) << c.key;
  }
  EXPECT_EQ(p.GIF_TRANSPCOLOR, (TRGB{3, 2, 1}));  // red, green, blue
  EXPECT_TRUE(p.IsEXIFTagPresent(0x829D));
  EXPECT_EQ(p.EXIF_ORIENTATION, 6);
}

TEST_F(Keys, KeysAreNormalisedAndUnknownOnesAnswerInvalid) {
  TIOParamsVals p(nullptr);
  p.SetByName("DPIX", "150");
  EXPECT_EQ(p.GetByName("dpix"), "150");
  EXPECT_EQ(p.GetByName("DpiX\r\n"), "150");
  EXPECT_EQ(p.GetByName(" DPIX"), "INVALID PROPERTY");
  EXPECT_EQ(p.GetByName("NO_SUCH_KEY"), "INVALID PROPERTY");
  p.SetByName("NO_SUCH_KEY", "1");  // ignored
  p.SetByName("FILETYPE", "8");     // read-only
  EXPECT_EQ(p.FILETYPE, 0);
}

TEST_F(Keys, UnconvertibleTextTakesTheKeysFallback) {
  TIOParamsVals p(nullptr);
  p.SetByName("JPEG_QUALITY", "abc");
  p.SetByName("PNG_COMPRESSION", "abc");
  p.SetByName("BITSPERSAMPLE", "abc");
  p.SetByName("EXIF_BRIGHTNESSVALUE", "abc");
  p.SetByName("GIF_BACKGROUND", "1,2");
  EXPECT_EQ(p.JPEG_QUALITY, 0);
  EXPECT_EQ(p.PNG_COMPRESSION, 1);
  EXPECT_EQ(p.BITSPERSAMPLE, 8);
  EXPECT_EQ(p.EXIF_BRIGHTNESSVALUE, -1000);
  EXPECT_EQ(p.GIF_BACKGROUND, TRGB{});
  p.SetByName("J2000_RATE", "0,5");
  EXPECT_EQ(p.GetByName("J2000_RATE"), "0.5");
  for (const char* yes : {"TRUE", "true", "T", "1"}) {
    p.SetByName("GIF_INTERLACED", yes);
    EXPECT_TRUE(p.GIF_INTERLACED) << yes;
  }
  p.SetByName("GIF_INTERLACED", "yes");
  EXPECT_FALSE(p.GIF_INTERLACED);
}

TEST_F(Keys, SharedAndComputedValues) {
  TIOParamsVals p(nullptr);
  p.SetByName("TIFF_IMAGEINDEX", "2");
  EXPECT_EQ(p.GetByName("GIF_IMAGEINDEX"), "2");
  p.FILETYPE = 1;
  p.TIFF_COMPRESSION = 5;
  EXPECT_EQ(p.GetByName("FILETYPESTR"), "TIFF Bitmap (TIFF) LZW");
  EXPECT_EQ(p.GetByName("TIFF_COMPRESSIONSTR"), "LZW");
  p.TIFF_COMPRESSION = 200;
  EXPECT_EQ(p.GetByName("TIFF_COMPRESSIONSTR"), "UNKNOWN");
  p.FILETYPE = 3;
  EXPECT_EQ(p.GetByName("FILETYPESTR"), "JPEG Bitmap (JPEG) YCbCr");
  // Colour map entries are reached by number, inside the map only.
  p.ColorMap.assign(2, TRGB{});
  p.SetByName("COLORMAPITEM1", "10, 20, 30");
  EXPECT_EQ(p.ColorMap[1], (TRGB{30, 20, 10}));
  p.SetByName("COLORMAPITEM2", "1, 1, 1");  // past the end: nothing
  EXPECT_EQ(p.GetByName("COLORMAPITEM7"), "");
  EXPECT_EQ(p.GetByName("COLORMAPCOUNT"), "2");
}

}  // namespace
