// The Targa codec judged by ImageMagick and netpbm: their files decode to
// their own decoding, files we write decode back in them; layouts no tool
// here writes are made by hand; damaged files fail cleanly.
#include "imaging/codecs/ietgafil.h"

#include <gtest/gtest.h>

#include <string>

#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/io/imageryio_params.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/streams.h"
#include "tests/imaging/codecs/codec_test_support.h"
#include "tests/imaging/codecs/pixel_judge.h"

namespace {

using codectest::BitmapRGBA;
using codectest::MagickRGBA;
using codectest::MaxDifference;
using codectest::NetpbmRGBA;
using codectest::ReadAll;
using codectest::Shell;

// ImageMagick keeps a bottom-up file's rows as stored and notes the orientation.
const char* const kOrient = "-auto-orient";

class TgaTest : public codectest::CodecTest {
protected:
  void ReadBytes(const std::string& bytes, bool paramsOnly = false) {
    abort_ = false;
    codectest::Fill(stream_, bytes);
    IEReadTGAStream(stream_, &bitmap_, params_, progress_, paramsOnly, false);
  }
  void Read(const std::string& file) { ReadBytes(ReadAll(file)); }
  void Write(TIEBitmap& image, TIOParamsVals& params, const std::string& file) {
    abort_ = false;
    TMemoryStream out;
    IEWriteTGAStream(out, image, params, progress_);
    ASSERT_FALSE(abort_.load());
    out.SaveToFile(file);
  }

  TMemoryStream stream_;
  TIEBitmap bitmap_;
  TIOParamsVals params_{nullptr};
};

// An 18-byte header followed by the rest.
std::string Tga(uint8_t mapType, uint8_t type, uint16_t mapOrigin, uint16_t mapLength, uint8_t entrySize,
                uint16_t width, uint16_t height, uint8_t depth, uint8_t descriptor, const std::string& rest) {
  std::string h(18, '\0');
  h[1] = static_cast<char>(mapType);
  h[2] = static_cast<char>(type);
  h[3] = static_cast<char>(mapOrigin), h[4] = static_cast<char>(mapOrigin >> 8);
  h[5] = static_cast<char>(mapLength), h[6] = static_cast<char>(mapLength >> 8);
  h[7] = static_cast<char>(entrySize);
  h[12] = static_cast<char>(width), h[13] = static_cast<char>(width >> 8);
  h[14] = static_cast<char>(height), h[15] = static_cast<char>(height >> 8);
  h[16] = static_cast<char>(depth);
  h[17] = static_cast<char>(descriptor);
  return h + rest;
}

TEST_F(TgaTest, FilesOfOutsideToolsDecodeAsTheToolsDecodeThem) {
  Shell("/usr/bin/convert -size 23x9 gradient:'#ff8000'-'#0040c0' " + Path("src.ppm"));
  Shell("/usr/bin/convert -size 23x9 gradient:'#ff8000'-'#0040c0' -colors 40 " + Path("src40.ppm"));
  const struct {
    const char* name;
    const char* make;  // run in the test's folder
    bool netpbmJudge;  // judged by tgatoppm, else by ImageMagick
    bool alpha;
  } cases[] = {
      {"rgb.tga", "/usr/bin/convert src.ppm rgb.tga", false, false},
      {"rle.tga", "/usr/bin/convert src.ppm -compress RLE rle.tga", false, false},
      {"topdown.tga", "/usr/bin/convert src.ppm -orient TopLeft topdown.tga", false, false},
      {"mirrored.tga", "/usr/bin/convert src.ppm -orient TopRight mirrored.tga", false, false},
      {"alpha.tga", "/usr/bin/convert src.ppm -alpha set -channel A -fx 'i/w' +channel alpha.tga", false, true},
      {"alpharle.tga", "/usr/bin/convert src.ppm -alpha set -channel A -fx 'j/h' +channel -compress RLE alpharle.tga",
       false, true},
      {"palette.tga", "/usr/bin/convert src40.ppm -type Palette palette.tga", false, false},
      {"paletterle.tga", "/usr/bin/convert src40.ppm -type Palette -compress RLE paletterle.tga", false, false},
      {"grey.tga", "/usr/bin/convert src.ppm -colorspace gray grey.tga", false, false},
      {"greyrle.tga", "/usr/bin/convert src.ppm -colorspace gray -compress RLE greyrle.tga", false, false},
      {"nrgb.tga", "ppmtotga -rgb src.ppm > nrgb.tga 2>/dev/null", true, false},
      {"nraw.tga", "ppmtotga -rgb -norle src.ppm > nraw.tga 2>/dev/null", true, false},
      {"ncmap.tga", "ppmtotga -cmap src40.ppm > ncmap.tga 2>/dev/null", true, false},
      {"ngrey.tga", "ppmtopgm src.ppm | ppmtotga -mono > ngrey.tga 2>/dev/null", true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    InDir(c.make);
    Read(Path(c.name));
    EXPECT_FALSE(abort_.load());
    EXPECT_EQ(bitmap_.GetPixelFormat(), ie24RGB);
    EXPECT_EQ(bitmap_.HasAlphaChannel(), c.alpha);
    const std::string expected = c.netpbmJudge ? NetpbmRGBA("tgatoppm " + Path(c.name), Path("j.ppm"))
                                               : MagickRGBA(Path(c.name), Path("j.rgba"), kOrient);
    EXPECT_EQ(MaxDifference(BitmapRGBA(bitmap_), expected), 0);
  }
}

TEST_F(TgaTest, HandMadeLayoutsDecode) {
  using namespace std::string_literals;
  const std::string red = "\x00\x00\xff"s, blue = "\xff\x00\x00"s;  // as the file stores them
  const std::string r = "\xff\0\0"s, b = "\0\0\xff"s;            // as RGB
  const struct {
    const char* name;
    std::string file;
    std::string rgb;  // expected, rows top first
  } cases[] = {
      // 4-bit pixels over a two-entry colour map; rows bottom-up, two pixels a byte.
      {"4-bit", Tga(1, 1, 0, 2, 24, 3, 2, 4, 0, red + blue + "\x10\x00\x01\x00"s),
       r + b + r + b + r + r},
      // One run packet of 6 pixels spans both rows.
      {"run over rows", Tga(0, 10, 0, 0, 0, 3, 2, 24, 0x20, "\x85" + blue), b + b + b + b + b + b},
      // A colour map running past entry 255 keeps its first entries and reads on.
      {"long colour map", Tga(1, 1, 255, 3, 24, 1, 1, 8, 0, red + blue + blue + "\xff"), r},
      // 5-5-5 pixels, each part times 8.
      {"16-bit", Tga(0, 2, 0, 0, 0, 2, 1, 16, 0x20, "\x1f\x00\xe0\x03"s), "\0\0\xf8\0\xf8\0"s},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ReadBytes(c.file);
    EXPECT_FALSE(abort_.load());
    std::string rgb;
    const std::string rgba = BitmapRGBA(bitmap_);
    for (size_t i = 0; i < rgba.size(); i += 4) rgb += rgba.substr(i, 3);
    EXPECT_EQ(rgb, c.rgb);
  }
}

TEST_F(TgaTest, WrittenFilesDecodeBackInImageMagickAndNetpbm) {
  Shell("/usr/bin/convert -size 29x13 gradient:'#ff0000'-'#00ff80' -colors 60 " + Path("src.ppm"));
  Shell("/usr/bin/convert " + Path("src.ppm") + " " + Path("src.tga"));
  Read(Path("src.tga"));
  TIEBitmap colour;
  colour.Assign(&bitmap_);
  const struct {
    const char* name;
    int32_t samples, bits;
    bool compressed, alpha, grey;
    uint8_t imageType, depth;
  } cases[] = {
      {"w24.tga", 3, 8, false, false, false, 2, 24},  {"w24rle.tga", 3, 8, true, false, false, 10, 24},
      {"w32.tga", 3, 8, true, true, false, 2, 32},     {"w8.tga", 1, 8, true, false, false, 9, 8},
      {"w8raw.tga", 1, 8, false, false, false, 1, 8},  {"w8grey.tga", 1, 8, true, false, true, 11, 8},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TIEBitmap image;
    image.Assign(&colour);
    if (c.alpha) {
      TIEBitmap* alpha = image.GetAlphaChannel();
      for (int32_t y = 0; y < image.GetHeight(); ++y)
        for (int32_t x = 0; x < image.GetWidth(); ++x) alpha->GetScanline(y)[x] = static_cast<uint8_t>(x * 8);
      alpha->SetFullFlag(false);
    }
    if (c.grey) {
      for (int32_t y = 0; y < image.GetHeight(); ++y)
        for (int32_t x = 0; x < image.GetWidth(); ++x) image.SetPixel24(x, y, TRGB{uint8_t(x * 8), uint8_t(x * 8), uint8_t(x * 8)});
    }
    TIOParamsVals params(nullptr);
    params.SAMPLESPERPIXEL = c.samples;
    params.BITSPERSAMPLE = c.bits;
    params.TGA_COMPRESSED = c.compressed;
    params.TGA_GRAYLEVEL = c.grey;
    Write(image, params, Path(c.name));
    const std::string file = ReadAll(Path(c.name));
    EXPECT_EQ(static_cast<uint8_t>(file[2]), c.imageType);
    EXPECT_EQ(static_cast<uint8_t>(file[16]), c.depth);
    const std::string expected = BitmapRGBA(image);
    EXPECT_EQ(MaxDifference(MagickRGBA(Path(c.name), Path("j.rgba"), kOrient), expected), 0);
    if (!c.alpha) {
      EXPECT_EQ(MaxDifference(NetpbmRGBA("tgatoppm " + Path(c.name), Path("j.ppm")), expected), 0);
    }
    Read(Path(c.name));
    EXPECT_EQ(MaxDifference(BitmapRGBA(bitmap_), expected), 0);
  }
  // Two colours at one bit: a grey-type file of packed bits that reads back the same.
  TIEBitmap bilevel(9, 2, ie24RGB);
  for (int32_t x = 0; x < 9; ++x)
    for (int32_t y = 0; y < 2; ++y) bilevel.SetPixel24(x, y, (x + y) % 3 ? TRGB{255, 255, 255} : TRGB{});
  TIOParamsVals params(nullptr);
  params.SAMPLESPERPIXEL = params.BITSPERSAMPLE = 1;
  Write(bilevel, params, Path("w1.tga"));
  Read(Path("w1.tga"));
  EXPECT_EQ(bitmap_.GetPixelFormat(), ie1g);
  EXPECT_EQ(BitmapRGBA(bitmap_), BitmapRGBA(bilevel));
}

TEST_F(TgaTest, ExtensionAreaTravelsAndDefaultsWithoutIt) {
  TIEBitmap image(4, 3, ie24RGB);
  image.Fill(0);
  TIOParamsVals params(nullptr);
  params.TGA_AUTHOR = "An author whose name is longer than forty characters";
  params.TGA_IMAGENAME = "job";
  params.TGA_DESCRIPTOR = "described";
  params.TGA_DATE = EncodeDate(2024, 2, 29) + EncodeTime(13, 14, 15, 0);
  params.TGA_BACKGROUND = TRGB{30, 20, 10};
  params.TGA_ASPECTRATIO = 1.5;
  params.TGA_GAMMA = 1.8;
  params.TGA_XPOS = 7;
  Write(image, params, Path("x.tga"));
  Read(Path("x.tga"));
  EXPECT_EQ(params_.TGA_AUTHOR, params.TGA_AUTHOR.substr(0, 40));
  EXPECT_EQ(params_.TGA_IMAGENAME, "job");
  EXPECT_EQ(params_.TGA_DESCRIPTOR, "described");
  EXPECT_DOUBLE_EQ(params_.TGA_DATE, params.TGA_DATE);
  EXPECT_EQ(params_.TGA_BACKGROUND, (TRGB{30, 20, 10}));
  EXPECT_DOUBLE_EQ(params_.TGA_ASPECTRATIO, 1.5);
  EXPECT_DOUBLE_EQ(params_.TGA_GAMMA, 1.8);
  EXPECT_EQ(params_.TGA_XPOS, 7);
  Shell("/usr/bin/identify " + Path("x.tga") + " > /dev/null");
  // Without a footer: the defaults.
  ReadBytes(Tga(0, 2, 0, 0, 0, 1, 1, 24, 0, std::string(3, '\0')));
  EXPECT_EQ(params_.TGA_AUTHOR, "");
  EXPECT_DOUBLE_EQ(params_.TGA_GAMMA, 2.2);
  EXPECT_DOUBLE_EQ(params_.TGA_ASPECTRATIO, 1.0);
}

TEST_F(TgaTest, DamagedAndForeignDataFailCleanly) {
  Shell("/usr/bin/convert -size 40x30 plasma:fractal -seed 2 -compress RLE " + Path("a.tga"));
  const std::string good = ReadAll(Path("a.tga"));
  codectest::ExpectCutsFailAndFlipsSurvive(
      good, 101, good.size() - 26, [&](const std::string& bytes) { ReadBytes(bytes); }, abort_);
  // 65535 x 65535 over a few bytes is refused before allocating.
  ReadBytes(Tga(0, 10, 0, 0, 0, 65535, 65535, 24, 0, "\xff\x01\x02\x03"));
  EXPECT_TRUE(abort_.load());
  EXPECT_NE(bitmap_.GetWidth(), 65535);
  // PNM data is never taken for Targa.
  TMemoryStream s;
  codectest::Fill(s, "P6\n2 2\n255\n" + std::string(12, 'x'));
  EXPECT_FALSE(IEIsTGAStream(s));
  EXPECT_EQ(s.Position(), 0);
  codectest::Fill(s, good);
  EXPECT_TRUE(IEIsTGAStream(s));
}

}  // namespace
