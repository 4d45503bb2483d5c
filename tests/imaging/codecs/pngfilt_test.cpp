// The PNG codec judged by netpbm and ImageMagick: files they make decode to
// their own decoding, files we write pass pngcheck and decode back in
// ImageMagick, damaged and hostile files fail cleanly within little memory.
#include "imaging/codecs/pngfilt.h"

#include <gtest/gtest.h>

#include "tests/imaging/codecs/codec_test_support.h"
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/core/ruduvazez_startup.h"
#include "imaging/io/imageryio.h"
#include "imaging/io/imageryio_params.h"
#include "imaging/io/imageryio_registry.h"
#include "platform/forms/graphics.h"
#include "platform/rtl/streams.h"

namespace fs = std::filesystem;

namespace {

using codectest::ReadAll;
using codectest::Shell;

// ImageMagick's decoding as 8-bit RGBA samples.
std::string MagickRGBA(const std::string& file) {
  const std::string out = file + ".rgba";
  if (std::system(("/usr/bin/convert " + file + " -depth 8 rgba:" + out).c_str()) != 0) return {};
  return ReadAll(out);
}

class PngTest : public codectest::CodecTest {
protected:
  void ReadBytes(const std::string& bytes, bool paramsOnly = false) {
    abort_ = false;
    TMemoryStream s;
    if (!bytes.empty()) s.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
    s.SetPosition(0);
    IEReadPNGStream(s, &bitmap_, params_, paramsOnly, progress_);
  }
  void Read(const std::string& file) { ReadBytes(ReadAll(file)); }
  // The bitmap (with its alpha, 255 without) as RGBA samples.
  std::string RGBA() {
    std::string out;
    TIEBitmap* alpha = bitmap_.HasAlphaChannel() ? bitmap_.GetAlphaChannel() : nullptr;
    for (int32_t y = 0; y < bitmap_.GetHeight(); ++y)
      for (int32_t x = 0; x < bitmap_.GetWidth(); ++x) {
        TRGB c;
        bitmap_.GetPixelRGB(x, y, c);
        out += static_cast<char>(c.r);
        out += static_cast<char>(c.g);
        out += static_cast<char>(c.b);
        out += static_cast<char>(alpha ? alpha->GetScanline(y)[x] : 255);
      }
    return out;
  }

  TIEBitmap bitmap_;
  TIOParamsVals params_{nullptr};
};

TEST_F(PngTest, FilesOfEveryKindDecodeAsImageMagickDecodesThem) {
  Shell("/usr/bin/convert -size 23x9 gradient:'#ff8000'-'#0040c0' -depth 8 " + Path("src.png"));
  const struct {
    const char* name;
    const char* make;  // ImageMagick options turning src.png into the case
    bool native;
    TIEPixelFormat format;
    bool alpha;
  } cases[] = {
      {"rgb8.png", "-depth 8 -define png:color-type=2", false, ie24RGB, false},
      {"rgb16.png", "-depth 16 -define png:color-type=2", false, ie24RGB, false},
      {"rgba8.png", "-alpha set -channel A -fx 'i/w' -depth 8 -define png:color-type=6", false, ie24RGB, true},
      {"rgba16.png", "-alpha set -channel A -fx 'j/h' -depth 16 -define png:color-type=6", false, ie24RGB, true},
      {"interlaced.png", "-alpha set -channel A -fx 'i/w' -depth 8 -interlace PNG", false, ie24RGB, true},
      {"grey8.png", "-colorspace gray -depth 8 -define png:color-type=0", false, ie24RGB, false},
      {"grey8n.png", "-colorspace gray -depth 8 -define png:color-type=0", true, ie8g, false},
      {"grey16n.png", "-colorspace gray -depth 16 -define png:color-type=0", true, ie16Gray, false},
      {"grey4.png", "-colorspace gray -depth 4 -define png:color-type=0 -define png:bit-depth=4", false, ie24RGB, false},
      {"grey1.png", "-threshold 50% -depth 1 -define png:color-type=0 -define png:bit-depth=1", false, ie1g, false},
      {"pal8.png", "-colors 40 -define png:color-type=3 -define png:bit-depth=8", false, ie24RGB, false},
      {"pal8n.png", "-colors 40 -define png:color-type=3 -define png:bit-depth=8", true, ie8p, false},
      {"pal4.png", "-colors 12 -define png:color-type=3 -define png:bit-depth=4", false, ie24RGB, false},
      {"pal1.png", "-colors 2 -define png:color-type=3 -define png:bit-depth=1", false, ie24RGB, false},
      {"paltrns.png", "-alpha set -channel A -fx 'i<10?0:1' +channel -colors 8 PNG8:", false, ie24RGB, true},
      {"paltrnsn.png", "-alpha set -channel A -fx 'i<10?0:1' +channel -colors 8 PNG8:", true, ie8p, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string make = c.make;
    std::string prefix;
    if (make.size() > 5 && make.compare(make.size() - 5, 5, "PNG8:") == 0) {
      prefix = "PNG8:";
      make.resize(make.size() - 5);
    }
    Shell("/usr/bin/convert " + Path("src.png") + " " + make + " " + prefix + Path(c.name));
    params_.ISNATIVEPIXELFORMAT = c.native;
    Read(Path(c.name));
    EXPECT_FALSE(abort_.load());
    EXPECT_EQ(bitmap_.GetPixelFormat(), c.format);
    EXPECT_EQ(bitmap_.HasAlphaChannel(), c.alpha);
    EXPECT_EQ(bitmap_.GetWidth(), 23);
    const std::string expected = MagickRGBA(Path(c.name));
    if (c.format == ie16Gray) {
      // Native 16-bit grey keeps its samples, little-endian; the high bytes are the 8-bit levels.
      ASSERT_EQ(expected.size(), 23u * 9 * 4);
      EXPECT_EQ(bitmap_.GetScanline(4)[2 * 7 + 1], static_cast<uint8_t>(expected[(4 * 23 + 7) * 4]));
      continue;
    }
    const std::string got = RGBA();
    ASSERT_EQ(got.size(), expected.size());
    // 16-bit samples are cut to their high byte; ImageMagick rounds.
    const int tolerance = std::string(c.name).find("16") != std::string::npos ? 1 : 0;
    int worst = 0;
    for (size_t i = 0; i < got.size(); ++i)
      worst = std::max(worst, std::abs(static_cast<uint8_t>(got[i]) - static_cast<uint8_t>(expected[i])));
    EXPECT_LE(worst, tolerance);
  }
  // 1-bit palette files (ImageMagick writes 2 bits at least): every pass of
  // the interlaced one lands in its rows.
  Shell("/usr/bin/convert " + Path("src.png") + " -colors 2 ppm:" + Path("two.ppm"));
  for (const char* options : {"", "-interlace"}) {
    SCOPED_TRACE(options);
    Shell(std::string("pnmtopng ") + options + " " + Path("two.ppm") + " > " + Path("p1.png") + " && pngcheck -v " +
          Path("p1.png") + " | grep -q '1-bit palette'");
    params_.ISNATIVEPIXELFORMAT = false;
    Read(Path("p1.png"));
    EXPECT_FALSE(abort_.load());
    EXPECT_EQ(bitmap_.GetPixelFormat(), ie24RGB);
    EXPECT_TRUE(RGBA() == MagickRGBA(Path("p1.png")));
  }
}

// 16-bit grey files of netpbm and ImageMagick, plain and interlaced, read
// in the native format keep every sample as the tools decode it.
TEST_F(PngTest, NativeSixteenBitGreyKeepsEverySample) {
  Shell("/usr/bin/convert -seed 5 -size 37x21 plasma:fractal -colorspace gray -depth 16 " + Path("g16.pgm"));
  Shell("pnmtopng " + Path("g16.pgm") + " > " + Path("netpbm.png") + " 2>/dev/null");
  Shell("/usr/bin/convert " + Path("g16.pgm") + " -depth 16 -define png:color-type=0 " + Path("magick.png"));
  Shell("/usr/bin/convert " + Path("g16.pgm") + " -depth 16 -define png:color-type=0 -interlace PNG " +
        Path("interlaced.png"));
  params_.ISNATIVEPIXELFORMAT = true;
  for (const char* name : {"netpbm.png", "magick.png", "interlaced.png"}) {
    SCOPED_TRACE(name);
    Shell("/usr/bin/convert " + Path(name) + " -depth 16 -endian LSB gray:" + Path("ref.raw"));
    Read(Path(name));
    ASSERT_FALSE(abort_.load());
    ASSERT_EQ(bitmap_.GetPixelFormat(), ie16Gray);
    EXPECT_EQ(params_.BITSPERSAMPLE, 16);
    std::string got;
    for (int32_t y = 0; y < bitmap_.GetHeight(); ++y)
      got.append(reinterpret_cast<const char*>(bitmap_.GetScanline(y)), static_cast<size_t>(bitmap_.GetWidth()) * 2);
    const std::string want = ReadAll(Path("ref.raw"));
    ASSERT_EQ(want.size(), 37u * 21 * 2);
    EXPECT_TRUE(got == want);
    // Samples that are not multiples of 257: the file uses all 16 bits.
    int32_t deep = 0;
    for (size_t k = 0; k < got.size(); k += 2) deep += got[k] != got[k + 1];
    EXPECT_GT(deep, 37 * 21 / 2);
  }
}

TEST_F(PngTest, ParametersComeFromTheChunks) {
  Shell("/usr/bin/convert -size 4x4 xc:red -density 72 -units PixelsPerInch -set comment hello "
        "-background '#102030' " + Path("p.png"));
  params_.WIDTH = 0;
  TIEBitmap untouched;
  abort_ = false;
  {
    TFileStream s(Path("p.png"), fmOpenRead);
    IEReadPNGStream(s, &untouched, params_, true, progress_);
  }
  EXPECT_FALSE(abort_.load());
  EXPECT_TRUE(untouched.IsEmpty());
  EXPECT_EQ(params_.WIDTH, 4);
  // Text chunks after the image data are read with the image.
  Read(Path("p.png"));
  EXPECT_EQ(params_.DPIX, 72);
  EXPECT_EQ(params_.DPIY, 72);
  ASSERT_EQ(params_.PNGTextKeys.size(), params_.PNGTextValues.size());
  bool comment = false;
  for (size_t i = 0; i < params_.PNGTextKeys.size(); ++i)
    comment |= params_.PNGTextKeys[i] == "comment" && params_.PNGTextValues[i] == "hello";
  EXPECT_TRUE(comment);
  EXPECT_EQ(params_.PNG_BACKGROUND, (TRGB{0x30, 0x20, 0x10}));
  // Without pHYs: the library-wide default.
  Shell("/usr/bin/convert -size 2x2 xc:blue -strip " + Path("q.png"));
  Read(Path("q.png"));
  EXPECT_EQ(params_.DPIX, 300);
}

TEST_F(PngTest, DamagedAndHostileFilesFailCleanlyWithinLittleMemory) {
  Shell("/usr/bin/convert -size 64x64 plasma:fractal -seed 5 -depth 8 " + Path("a.png"));
  const std::string good = ReadAll(Path("a.png"));
  for (size_t n = 0; n < good.size(); n += 211) {
    ReadBytes(good.substr(0, n));
    EXPECT_TRUE(abort_.load()) << n;
  }
  for (size_t i = 8; i < good.size(); i += 97) {
    std::string flipped = good;
    flipped[i] = static_cast<char>(flipped[i] ^ 0x21);
    ReadBytes(flipped);
  }
  ReadBytes("");
  EXPECT_TRUE(abort_.load());
  ReadBytes("GIF89a not a png at all");
  EXPECT_TRUE(abort_.load());

  rusage before{};
  getrusage(RUSAGE_SELF, &before);
  for (const char* name : {"png-text-chunk-2GiB.png", "png-text-chunk-148MB.png"}) {
    SCOPED_TRACE(name);
    Read(std::string(VESK_SOURCE_DIR "/tests/fixtures/hostile/") + name);
    ReadBytes(ReadAll(std::string(VESK_SOURCE_DIR "/tests/fixtures/hostile/") + name), true);
  }
  rusage after{};
  getrusage(RUSAGE_SELF, &after);
  EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64 * 1024);  // kilobytes
  // A header whose image the data could never hold is refused before allocating.
  std::string huge = good;
  huge.replace(16, 8, std::string("\x00\x01\x00\x00\x00\x01\x00\x00", 8));  // 65536 x 65536
  ReadBytes(huge);
  EXPECT_TRUE(abort_.load());
}

TEST_F(PngTest, WrittenFilesPassPngcheckAndDecodeBackTheSame) {
  Shell("/usr/bin/convert -size 19x7 gradient:'#ff0000'-'#00ff80' -depth 8 " + Path("src.png"));
  Read(Path("src.png"));
  ASSERT_FALSE(abort_.load());
  TIEBitmap colour;
  colour.Assign(&bitmap_);
  const struct {
    const char* name;
    int32_t samples, bits;
    bool interlaced, withAlpha;
    uint8_t filter, compression;
    const char* pngcheck;  // what pngcheck says of the colour type
  } cases[] = {
      {"rgb.png", 3, 8, false, false, 0, 5, "RGB"},
      {"rgba.png", 3, 8, false, true, 5, 9, "RGB+alpha"},
      {"adam7.png", 3, 8, true, true, 2, 0, "interlaced"},
      {"pal.png", 1, 8, false, false, 1, 5, "palette"},
      {"paltrns.png", 1, 8, false, true, 3, 5, "palette"},
      {"pal4to8.png", 1, 4, false, false, 4, 5, "palette"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TIEBitmap image;
    image.Assign(&colour);
    if (c.withAlpha) {
      TIEBitmap* alpha = image.GetAlphaChannel();
      for (int32_t y = 0; y < 7; ++y)
        for (int32_t x = 0; x < 19; ++x) alpha->GetScanline(y)[x] = x < 4 ? 0 : 255;
      alpha->SetFullFlag(false);
    }
    TIOParamsVals params(nullptr);
    params.SAMPLESPERPIXEL = c.samples;
    params.BITSPERSAMPLE = c.bits;
    params.PNG_INTERLACED = c.interlaced;
    params.PNG_FILTER = c.filter;
    params.PNG_COMPRESSION = c.compression;
    params.DPIX = params.DPIY = 300;
    params.PNGTextKeys = {"Title", "Author"};
    params.PNGTextValues = {"chart", "us"};
    abort_ = false;
    {
      TFileStream out(Path(c.name), fmCreate);
      IEPngCodecWrite(out, image, params, progress_);
    }
    EXPECT_FALSE(abort_.load());
    if (c.bits == 4) {
      EXPECT_EQ(params.BITSPERSAMPLE, 8);
    }
    const std::string check = Path("check.txt");
    Shell("pngcheck -v " + Path(c.name) + " > " + check);
    const std::string said = ReadAll(check);
    EXPECT_NE(said.find("No errors"), std::string::npos) << said;
    EXPECT_NE(said.find(c.pngcheck), std::string::npos) << said;
    EXPECT_NE(said.find("11811x11811 pixels/meter"), std::string::npos) << said;
    EXPECT_NE(said.find("Title"), std::string::npos);
    // Lossless kinds come back as they went; palettes of a few colours too.
    Read(Path(c.name));
    EXPECT_FALSE(abort_.load());
    const std::string expected = MagickRGBA(Path(c.name));
    EXPECT_TRUE(RGBA() == expected);
    if (c.withAlpha) {
      EXPECT_EQ(static_cast<uint8_t>(expected[3]), 0);
      EXPECT_EQ(static_cast<uint8_t>(expected[(5) * 4 + 3]), 255);
    }
  }
  // Grey images and a two-colour image saved at one bit.
  TIEBitmap grey;
  ASSERT_TRUE(grey.Allocate(10, 3, ie16Gray));
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 10; ++x) reinterpret_cast<uint16_t*>(grey.GetScanline(y))[x] = static_cast<uint16_t>(x * 6000);
  TIOParamsVals params(nullptr);
  params.SAMPLESPERPIXEL = 1;
  params.BITSPERSAMPLE = 8;
  {
    TFileStream out(Path("g.png"), fmCreate);
    IEPngCodecWrite(out, grey, params, progress_);
  }
  EXPECT_EQ(grey.GetPixelFormat(), ie16Gray);
  Shell("pngcheck -v " + Path("g.png") + " > " + Path("g.txt"));  // a valid file: exit status 0
  EXPECT_NE(ReadAll(Path("g.txt")).find("8-bit grayscale"), std::string::npos) << ReadAll(Path("g.txt"));
  const std::string g = MagickRGBA(Path("g.png"));
  ASSERT_EQ(g.size(), 10u * 3 * 4);
  EXPECT_EQ(static_cast<uint8_t>(g[4 * 5]), (5 * 6000) >> 8);
}

TEST_F(PngTest, TheIOComponentLoadsAndSavesPng) {
  Shell("/usr/bin/convert -size 5x4 xc:'#123456' " + Path("in.png"));
  TIEBitmap bitmap;
  std::unique_ptr<TImageryIO> io(TImageryIO::CreateFromBitmap(&bitmap));
  ASSERT_TRUE(io->LoadFromFile(Path("in.png")));
  EXPECT_EQ(io->Params().FILETYPE, 8);
  EXPECT_EQ(bitmap.GetPixel24(2, 2), (TRGB{0x56, 0x34, 0x12}));
  io->SaveToFile(Path("out.png"));
  EXPECT_FALSE(io->Aborting());
  EXPECT_EQ(MagickRGBA(Path("out.png")), MagickRGBA(Path("in.png")));
}

}  // namespace
