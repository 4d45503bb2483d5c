// The PCX and DCX codecs judged by netpbm and ImageMagick: their files
// decode to their own decoding, files we write decode back in them, and
// refused layouts, damaged files and bad page tables fail cleanly.
#include "imaging/codecs/pcxfilter.h"

#include <gtest/gtest.h>

#include <string>

#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/io/imageryio_params.h"
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

class PcxTest : public codectest::CodecTest {
protected:
  void ReadBytes(const std::string& bytes, bool paramsOnly = false) {
    abort_ = false;
    codectest::Fill(stream_, bytes);
    IEReadPCXStream(stream_, &bitmap_, params_, paramsOnly, progress_, stream_.Size());
  }
  void Read(const std::string& file) { ReadBytes(ReadAll(file)); }
  void ReadDcx(const std::string& bytes, int32_t page) {
    abort_ = false;
    codectest::Fill(stream_, bytes);
    params_.DCX_IMAGEINDEX = page;
    IEReadDCXStream(stream_, &bitmap_, params_, false, progress_);
  }
  std::string Written(TIEBitmap& image, TIOParamsVals& params) {
    abort_ = false;
    TMemoryStream out;
    IEWritePCXStream(out, image, params, progress_);
    EXPECT_FALSE(abort_.load());
    return codectest::Contents(out);
  }

  TMemoryStream stream_;
  TIEBitmap bitmap_;
  TIOParamsVals params_{nullptr};
};

TEST_F(PcxTest, FilesOfOutsideToolsDecodeAsTheToolsDecodeThem) {
  InDir("/usr/bin/convert -size 21x9 plasma:fractal -seed 4 src.ppm");
  for (int colours : {2, 4, 8, 12, 100}) {
    InDir("/usr/bin/convert src.ppm -colors " + std::to_string(colours) + " +dither s" + std::to_string(colours) +
          ".ppm");
  }
  InDir("/usr/bin/convert src.ppm -monochrome bw.pbm");
  const struct {
    const char* name;
    const char* make;  // in the test's folder
    bool magickJudge;  // else pcxtoppm
    uint8_t bits, planes;
    TIEPixelFormat format;
  } cases[] = {
      {"n24.pcx", "ppmtopcx -24bit src.ppm", false, 8, 3, ie24RGB},
      {"n8.pcx", "ppmtopcx -8bit s100.ppm", false, 8, 1, ie24RGB},
      {"n4planes.pcx", "ppmtopcx -planes 4 s12.ppm", false, 1, 4, ie24RGB},
      {"n3planes.pcx", "ppmtopcx -planes 3 s8.ppm", false, 1, 3, ie24RGB},
      {"n4packed.pcx", "ppmtopcx -packed s12.ppm", false, 4, 1, ie24RGB},
      {"n2packed.pcx", "ppmtopcx -packed s4.ppm", false, 2, 1, ie24RGB},
      {"n1colour.pcx", "ppmtopcx s2.ppm", false, 1, 1, ie24RGB},
      {"n1.pcx", "ppmtopcx bw.pbm", false, 1, 1, ie1g},
      {"m24.pcx", "/usr/bin/convert src.ppm pcx:-", true, 8, 3, ie24RGB},
      {"m8.pcx", "/usr/bin/convert s100.ppm -type Palette pcx:-", true, 8, 1, ie24RGB},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    InDir(std::string(c.make) + " > " + c.name + " 2>/dev/null");
    const std::string file = ReadAll(Path(c.name));
    ASSERT_GT(file.size(), 128u);
    EXPECT_EQ(static_cast<uint8_t>(file[3]), c.bits);
    EXPECT_EQ(static_cast<uint8_t>(file[65]), c.planes);
    Read(Path(c.name));
    EXPECT_FALSE(abort_.load());
    EXPECT_EQ(bitmap_.GetPixelFormat(), c.format);
    const std::string expected = c.magickJudge ? MagickRGBA(Path(c.name), Path("j.rgba"))
                                               : NetpbmRGBA("pcxtoppm " + Path(c.name), Path("j.ppm"));
    EXPECT_EQ(MaxDifference(BitmapRGBA(bitmap_), expected), 0);
  }
  // Pages of a DCX file.
  InDir("/usr/bin/convert s100.ppm -type Palette src.ppm s2.ppm pages.dcx");
  const std::string dcx = ReadAll(Path("pages.dcx"));
  TMemoryStream s;
  codectest::Fill(s, dcx);
  EXPECT_TRUE(IEIsDCXStream(s));
  EXPECT_EQ(IEGetDCXImageCount(s), 3);
  EXPECT_EQ(s.Position(), 0);
  for (int32_t page : {0, 1, 2}) {
    SCOPED_TRACE(page);
    ReadDcx(dcx, page);
    EXPECT_FALSE(abort_.load());
    EXPECT_EQ(params_.IMAGECOUNT, 3);
    const std::string frame = Path("pages.dcx") + "[" + std::to_string(page) + "]";
    EXPECT_EQ(MaxDifference(BitmapRGBA(bitmap_), MagickRGBA(frame, Path("j.rgba"))), 0);
  }
}

TEST_F(PcxTest, WrittenFilesDecodeBackInNetpbmAndImageMagick) {
  InDir("/usr/bin/convert -size 23x7 gradient:'#ff0000'-'#00ff80' -colors 14 +dither src.ppm");
  InDir("/usr/bin/convert src.ppm src.pcx");
  Read(Path("src.pcx"));
  TIEBitmap colour;
  colour.Assign(&bitmap_);
  // ImageMagick reads 1-bit files (netpbm's own too) as white on black with
  // their palette left aside; netpbm judges them, and reads only run-length files.
  TIEBitmap twoColours(11, 3, ie24RGB);
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 11; ++x) twoColours.SetPixel24(x, y, (x + y) % 3 ? TRGB{10, 200, 30} : TRGB{90, 0, 0});
  const struct {
    const char* name;
    int32_t bits, samples;
    bool compressed;
    TIEBitmap* image;
    uint8_t fileBits, filePlanes;
    bool magickJudge;
  } cases[] = {
      {"w24.pcx", 8, 3, true, &colour, 8, 3, true},        {"w24raw.pcx", 8, 3, false, &colour, 8, 3, true},
      {"w8.pcx", 8, 1, true, &colour, 8, 1, true},         {"w4.pcx", 4, 1, true, &colour, 4, 1, true},
      {"w1.pcx", 1, 1, true, &twoColours, 1, 1, false},    {"w1raw.pcx", 1, 1, false, &twoColours, 1, 1, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TIEBitmap& image = *c.image;
    TIOParamsVals params(nullptr);
    params.BITSPERSAMPLE = c.bits;
    params.SAMPLESPERPIXEL = c.samples;
    params.PCX_COMPRESSION = c.compressed;
    const std::string file = Written(image, params);
    ASSERT_GT(file.size(), 128u);
    EXPECT_EQ(static_cast<uint8_t>(file[2]), c.compressed ? 1 : 0);
    EXPECT_EQ(static_cast<uint8_t>(file[3]), c.fileBits);
    EXPECT_EQ(static_cast<uint8_t>(file[65]), c.filePlanes);
    codectest::SaveBytes(file, Path(c.name));
    // 14 colours fit every palette exactly; two colours keep theirs at one bit.
    const std::string expected = BitmapRGBA(image);
    if (c.compressed) {
      EXPECT_EQ(MaxDifference(NetpbmRGBA("pcxtoppm " + Path(c.name), Path("j.ppm")), expected), 0);
    }
    if (c.magickJudge) {
      EXPECT_EQ(MaxDifference(MagickRGBA(Path(c.name), Path("j.rgba")), expected), 0);
    }
    Read(Path(c.name));
    EXPECT_EQ(MaxDifference(BitmapRGBA(bitmap_), expected), 0);
  }
  // Seven equal bytes: one run, then the 0 byte that makes the line even.
  TIEBitmap flat(7, 1, ie24RGB);
  flat.Fill(0);
  TIOParamsVals params(nullptr);
  params.BITSPERSAMPLE = 8;
  params.SAMPLESPERPIXEL = 1;
  const std::string file = Written(flat, params);
  EXPECT_EQ(file.substr(128, 3), std::string("\xc7\x00\x00", 3).replace(1, 1, 1, file[129]));
  EXPECT_EQ(static_cast<uint8_t>(file[66]), 8);  // bytes per line made even
}

TEST_F(PcxTest, DcxPagesAreInsertedIntoTheFileHeld) {
  InDir("/usr/bin/convert -size 5x4 xc:red xc:lime xc:blue three.dcx");
  TMemoryStream dcx;
  dcx.LoadFromFile(Path("three.dcx"));
  TIEBitmap yellow(6, 2, ie24RGB);
  for (int32_t x = 0; x < 6; ++x)
    for (int32_t y = 0; y < 2; ++y) yellow.SetPixel24(x, y, TRGB{0, 255, 255});
  const struct {
    int32_t index;
    const char* order;  // the first pixel of each page, as ImageMagick reads them
  } cases[] = {
      {0, "srgb(255,255,0) srgb(255,0,0) srgb(0,255,0) srgb(0,0,255) "},
      {2, "srgb(255,0,0) srgb(0,255,0) srgb(255,255,0) srgb(0,0,255) "},
      {9, "srgb(255,0,0) srgb(0,255,0) srgb(0,0,255) srgb(255,255,0) "},  // past the pages: appended
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.index);
    TMemoryStream s;
    dcx.SetPosition(0);
    s.CopyFrom(dcx, dcx.Size());
    TIOParamsVals params(nullptr);
    params.DCX_IMAGEINDEX = c.index;
    params.BITSPERSAMPLE = 8;
    params.SAMPLESPERPIXEL = 3;
    abort_ = false;
    IEWriteDCXStream(s, yellow, params, progress_);
    ASSERT_FALSE(abort_.load());
    s.SaveToFile(Path("four.dcx"));
    Shell("/usr/bin/convert " + Path("four.dcx") + " -format '%[pixel:p{0,0}] ' info: > " + Path("order.txt"));
    EXPECT_EQ(ReadAll(Path("order.txt")), c.order);
  }
  // A stream holding something else is left alone.
  TMemoryStream other;
  codectest::Fill(other, "not a page table at all");
  TIOParamsVals params(nullptr);
  abort_ = false;
  IEWriteDCXStream(other, yellow, params, progress_);
  EXPECT_TRUE(abort_.load());
  EXPECT_EQ(codectest::Contents(other), "not a page table at all");
}

TEST_F(PcxTest, RefusedLayoutsAndDamagedDataFailCleanly) {
  InDir("/usr/bin/convert -size 40x30 plasma:fractal -seed 2 a.pcx");
  const std::string good = ReadAll(Path("a.pcx"));
  codectest::ExpectCutsFailAndFlipsSurvive(
      good, 97, good.size() - 1, [&](const std::string& bytes) { ReadBytes(bytes); }, abort_);
  auto edited = [&](size_t at, const std::string& bytes) { return std::string(good).replace(at, bytes.size(), bytes); };
  const struct {
    const char* what;
    std::string file;
  } refused[] = {
      {"bytes per line below the width", edited(66, std::string("\x10\x00", 2))},
      {"two planes of 8 bits", edited(65, "\x02")},
      {"manufacturer", edited(0, "\x0b")},
      {"encoding 2", edited(2, "\x02")},
      {"65536 x 65536 over a few bytes", edited(8, "\xff\xff\xff\xff").substr(0, 200)},
  };
  for (const auto& c : refused) {
    SCOPED_TRACE(c.what);
    TIEBitmap fresh;
    bitmap_.Assign(&fresh);
    ReadBytes(c.file);
    EXPECT_TRUE(abort_.load());
    EXPECT_EQ(bitmap_.GetWidth(), 0);
  }
  // Page tables: empty, a page under 128 bytes, an offset past the end.
  const std::string magic("\xb1\x68\xde\x3a", 4);
  const struct {
    const char* what;
    std::string file;
    bool isDcx;
  } tables[] = {
      {"empty table", magic + std::string(4, '\0') + good, true},
      {"small page", magic + std::string("\x0c\x00\x00\x00\x00\x00\x00\x00", 8) + std::string(100, 'x'), true},
      {"offset past the end", magic + std::string("\x00\x10\x00\x00\x00\x00\x00\x00", 8), false},
  };
  for (const auto& c : tables) {
    SCOPED_TRACE(c.what);
    TMemoryStream s;
    codectest::Fill(s, c.file);
    EXPECT_EQ(IEIsDCXStream(s), c.isDcx);
    ReadDcx(c.file, 0);
    EXPECT_TRUE(abort_.load());
  }
}

}  // namespace
