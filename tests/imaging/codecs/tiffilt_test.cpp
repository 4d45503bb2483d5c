// The TIFF reader judged by libtiff's and ImageMagick's own decoding: files
// made by /usr/bin/convert and tiffcp in each compression, layout and byte
// order decode to the same samples; damaged and unsupported files fail.
#include "imaging/codecs/tiffilt.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include "tests/imaging/codecs/codec_test_support.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "imaging/codecs/tiflzw.h"
#include "imaging/core/iesettings.h"
#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/core/ruduvazez_icc.h"
#include "imaging/core/ruduvazez_startup.h"
#include "imaging/io/imageryio.h"
#include "imaging/io/imageryio_cmyk.h"
#include "imaging/io/imageryio_codecs.h"
#include "imaging/io/imageryio_params.h"
#include "imaging/io/imageryio_registry.h"
#include "platform/rtl/streams.h"

namespace fs = std::filesystem;

namespace {

using codectest::ReadAll;
using codectest::Shell;

// How the decoded bitmap is compared with the reference.
enum class Kind { RGB, Grey16, CMYK, RGBA };

// ImageMagick's options writing the reference samples of the kind to ref.raw.
std::string RawOutput(Kind kind) {
  switch (kind) {
    case Kind::Grey16: return "-depth 16 -endian LSB gray:ref.raw";
    case Kind::CMYK: return "-depth 8 cmyk:ref.raw";
    case Kind::RGBA: return "-depth 8 rgba:ref.raw";
    default: return "-depth 8 rgb:ref.raw";
  }
}

int MaxDifference(const std::string& a, const std::string& b) {
  int most = 0;
  for (size_t k = 0; k < std::min(a.size(), b.size()); ++k)
    most = std::max(most, std::abs(static_cast<uint8_t>(a[k]) - static_cast<uint8_t>(b[k])));
  return most;
}

// Renumbers an entry of the first directory of a classic little-endian file.
void PatchTagNumber(std::string& file, uint16_t tag, uint16_t number) {
  auto u16 = [&](size_t at) { return static_cast<uint32_t>(static_cast<uint8_t>(file[at]) | (static_cast<uint8_t>(file[at + 1]) << 8)); };
  const size_t ifd = u16(4) | (u16(6) << 16);
  for (uint32_t k = 0; k < u16(ifd); ++k) {
    const size_t entry = ifd + 2 + 12 * k;
    if (u16(entry) != tag) continue;
    file[entry] = static_cast<char>(number & 0xFF);
    file[entry + 1] = static_cast<char>(number >> 8);
    return;
  }
  ADD_FAILURE() << "no tag " << tag;
}

class TiffReadTest : public codectest::CodecTest {
protected:
  // Profiles opened by a read are closed while the colour system still runs.
  void TearDown() override {
    bitmap_.ImageProfile().Clear();
    params_.FreeICCProfiles();
    CodecTest::TearDown();
  }

  // Reads the bytes with the codec; true when the abort flag stayed clear.
  bool ReadBytes(const std::string& bytes, bool paramsOnly = false) {
    abort_ = false;
    TMemoryStream stream;
    if (!bytes.empty()) stream.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
    stream.SetPosition(0);
    TIETIFFReadOptions options;
    options.ParamsOnly = paramsOnly;
    IEReadTIFFStream(stream, &bitmap_, pages_, params_, progress_, options);
    return !abort_;
  }
  bool Read(const std::string& file) { return ReadBytes(ReadAll(Path(file))); }

  // The bitmap's samples in the order of ImageMagick's raw output.
  std::string Samples(Kind kind) {
    std::string out;
    for (int32_t y = 0; y < bitmap_.GetHeight(); ++y)
      for (int32_t x = 0; x < bitmap_.GetWidth(); ++x) {
        if (kind == Kind::Grey16) {
          const uint16_t v = bitmap_.GetPixel16(x, y);
          out += static_cast<char>(v & 0xFF);
          out += static_cast<char>(v >> 8);
        } else if (kind == Kind::CMYK) {
          const uint8_t* p = bitmap_.GetScanline(y) + 4 * x;
          for (int c = 0; c < 4; ++c) out += static_cast<char>(255 - p[c]);
        } else {
          TRGB c;
          bitmap_.GetPixelRGB(x, y, c);
          out += static_cast<char>(c.r);
          out += static_cast<char>(c.g);
          out += static_cast<char>(c.b);
          if (kind == Kind::RGBA) out += static_cast<char>(bitmap_.GetAlphaChannel()->GetPixel8(x, y));
        }
      }
    return out;
  }

  TIEBitmap bitmap_;
  TIOParamsVals params_{nullptr};
  int32_t pages_ = 0;
};

// Each layout and compression decodes to ImageMagick's samples: exactly
// when lossless, within a few levels for JPEG (both decode through libjpeg,
// but libtiff's colour step rounds its own way) and Lab.
TEST_F(TiffReadTest, FilesOfOtherToolsDecodeToTheirPixels) {
  InDir("/usr/bin/convert -size 41x29 gradient:red-blue -swirl 120 -depth 8 src.ppm");
  InDir("/usr/bin/convert src.ppm -depth 8 -compress none rgb.tif");
  InDir("/usr/bin/convert src.ppm -colorspace gray -type grayscale -depth 8 -compress none g8.tif");
  InDir("/usr/bin/convert src.ppm -colorspace gray -type grayscale -depth 16 -compress none g16.tif");
  InDir("/usr/bin/convert src.ppm -colorspace gray -type grayscale -depth 4 -compress none g4.tif");
  InDir("/usr/bin/convert src.ppm -colorspace gray -type grayscale -depth 2 -compress none g2.tif");
  InDir("/usr/bin/convert src.ppm -monochrome -type bilevel -depth 1 -compress none bw.tif");
  InDir("/usr/bin/convert src.ppm -type palette -colors 16 -compress none pal.tif");
  InDir("/usr/bin/convert src.ppm -depth 16 -compress none rgb16.tif");
  InDir("/usr/bin/convert src.ppm -colorspace cmyk -depth 8 -compress none cmyk.tif");
  InDir("/usr/bin/convert src.ppm \\( +clone -colorspace gray \\) -alpha off -compose copy_opacity -composite "
        "-depth 8 -compress none rgba.tif");
  InDir("/usr/bin/convert src.ppm -monochrome -type bilevel -compress Group4 im4.tif");
  InDir("/usr/bin/convert src.ppm -monochrome -type bilevel -compress Fax im3.tif");
  InDir("/usr/bin/convert src.ppm -colorspace Lab -depth 8 -compress none lab.tif");
  InDir("/usr/bin/convert src.ppm -colorspace YCbCr -depth 8 -compress none ycc.tif");
  InDir("/usr/bin/convert src.ppm -colorspace gray -type grayscale -depth 12 -compress none g12.tif");
  params_.ISNATIVEPIXELFORMAT = true;  // each file in its own pixel format
  const struct {
    const char* source;
    const char* tiffcp;  // options
    Kind kind;
    TIEPixelFormat format;
    int tolerance = 0;
  } cases[] = {
      {"rgb.tif", "-c none", Kind::RGB, ie24RGB},
      {"rgb.tif", "-c lzw", Kind::RGB, ie24RGB},
      {"rgb.tif", "-c lzw:2 -r 5", Kind::RGB, ie24RGB},
      {"rgb.tif", "-c zip:2", Kind::RGB, ie24RGB},
      {"rgb.tif", "-c packbits -r 3", Kind::RGB, ie24RGB},
      {"rgb.tif", "-B -c lzw:2", Kind::RGB, ie24RGB},
      {"rgb.tif", "-8 -c zip", Kind::RGB, ie24RGB},
      {"rgb.tif", "-8 -B -c none -r 4", Kind::RGB, ie24RGB},
      {"g8.tif", "-c lzw:2", Kind::RGB, ie8g},
      {"g16.tif", "-c none", Kind::Grey16, ie16Gray},
      {"g16.tif", "-L -c zip:2", Kind::Grey16, ie16Gray},
      {"g16.tif", "-B -c lzw:2", Kind::Grey16, ie16Gray},
      {"g4.tif", "-c packbits", Kind::RGB, ie8g},
      {"g2.tif", "-B -c lzw", Kind::RGB, ie8g},
      {"bw.tif", "-c none", Kind::RGB, ie1g},
      {"bw.tif", "-B -c lzw -r 2", Kind::RGB, ie1g},
      {"pal.tif", "-c lzw", Kind::RGB, ie8p},
      {"rgb16.tif", "-B -c zip:2", Kind::RGB, ieRGB48},
      {"cmyk.tif", "-c lzw:2", Kind::CMYK, ieCMYK},
      {"rgba.tif", "-c zip:2", Kind::RGBA, ie24RGB},
      {"rgb.tif", "-p separate -c lzw:2 -r 4", Kind::RGB, ie24RGB},
      {"cmyk.tif", "-p separate -c packbits", Kind::CMYK, ieCMYK},
      {"rgba.tif", "-p separate -c none -r 7", Kind::RGBA, ie24RGB},
      // tiles, the edge ones partly outside the image
      {"rgb.tif", "-t -w 16 -l 16 -c lzw:2", Kind::RGB, ie24RGB},
      {"rgb.tif", "-t -w 32 -l 16 -B -c zip", Kind::RGB, ie24RGB},
      {"g16.tif", "-t -w 16 -l 32 -B -c packbits", Kind::Grey16, ie16Gray},
      {"g4.tif", "-t -w 16 -l 16 -c none", Kind::RGB, ie8g},
      {"bw.tif", "-t -w 16 -l 16 -c lzw", Kind::RGB, ie1g},
      {"pal.tif", "-t -w 32 -l 32 -c zip", Kind::RGB, ie8p, 1},
      {"rgb16.tif", "-t -w 16 -l 16 -c lzw:2", Kind::RGB, ieRGB48},
      {"cmyk.tif", "-t -w 16 -l 16 -c lzw", Kind::CMYK, ieCMYK},
      {"rgba.tif", "-t -w 16 -l 16 -c zip:2", Kind::RGBA, ie24RGB},
      {"rgb.tif", "-t -w 16 -l 16 -p separate -c lzw", Kind::RGB, ie24RGB},
      {"rgba.tif", "-t -w 16 -l 32 -p separate -c none", Kind::RGBA, ie24RGB},
      // fax codes
      {"bw.tif", "-c g3", Kind::RGB, ie1g},
      {"bw.tif", "-c g3:2d -r 7", Kind::RGB, ie1g},
      {"bw.tif", "-c g3:2d:fill -f lsb2msb", Kind::RGB, ie1g},
      {"bw.tif", "-c g4", Kind::RGB, ie1g},
      {"bw.tif", "-c g4 -f lsb2msb -r 5", Kind::RGB, ie1g},
      {"bw.tif", "-t -w 16 -l 16 -c g4", Kind::RGB, ie1g},
      {"im4.tif", "", Kind::RGB, ie1g},
      {"im3.tif", "", Kind::RGB, ie1g},
      // JPEG
      {"rgb.tif", "-c jpeg", Kind::RGB, ie24RGB, 3},
      {"rgb.tif", "-c jpeg:r", Kind::RGB, ie24RGB, 3},
      {"rgb.tif", "-c jpeg -r 16", Kind::RGB, ie24RGB, 3},
      {"rgb.tif", "-c jpeg -t -w 16 -l 16", Kind::RGB, ie24RGB, 3},
      {"g8.tif", "-c jpeg", Kind::RGB, ie8g, 3},
      {"cmyk.tif", "-c jpeg", Kind::CMYK, ieCMYK, 3},
      // 12-bit grey (the 8-bit view: our top byte, ImageMagick's rounding)
      {"g12.tif", "-c none", Kind::RGB, ie16Gray, 1},
      {"g12.tif", "-B -c lzw -r 4", Kind::RGB, ie16Gray, 1},
      // Lab and YCbCr
      {"lab.tif", "-c lzw", Kind::RGB, ieCIELab, 6},
      {"ycc.tif", "-c none", Kind::RGB, ie24RGB, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.source) + " " + c.tiffcp);
    InDir(std::string("tiffcp ") + c.tiffcp + " " + c.source + " out.tif");
    InDir("/usr/bin/convert out.tif " + RawOutput(c.kind));
    ASSERT_TRUE(Read("out.tif"));
    EXPECT_EQ(pages_, 1);
    EXPECT_EQ(bitmap_.GetWidth(), 41);
    EXPECT_EQ(bitmap_.GetHeight(), 29);
    EXPECT_EQ(bitmap_.GetPixelFormat(), c.format);
    const std::string got = Samples(c.kind), want = ReadAll(Path("ref.raw"));
    ASSERT_EQ(got.size(), want.size());
    // Colour maps hold 16-bit values: ImageMagick's scaling to 8 bits may
    // round the other way than the map's high byte.
    const int tolerance = c.format == ie8p ? 1 : c.tolerance;
    EXPECT_LE(MaxDifference(got, want), tolerance);
  }
  // Without the native format asked for, the formats only it gives come
  // as 24-bit colour (16-bit samples by their high byte, ImageMagick rounds).
  params_.ISNATIVEPIXELFORMAT = false;
  for (const char* source : {"g16.tif", "pal.tif", "rgb16.tif", "cmyk.tif", "g8.tif", "bw.tif"}) {
    SCOPED_TRACE(std::string("not native: ") + source);
    ASSERT_TRUE(Read(source));
    const std::string name = source;
    EXPECT_EQ(bitmap_.GetPixelFormat(), name == "g8.tif" ? ie8g : name == "bw.tif" ? ie1g : ie24RGB);
    if (name == "cmyk.tif") continue;  // colours by the library's own CMYK conversion
    InDir("/usr/bin/convert " + name + " " + RawOutput(Kind::RGB));
    EXPECT_LE(MaxDifference(Samples(Kind::RGB), ReadAll(Path("ref.raw"))), 1);
  }
  // Four RGB samples without ExtraSamples are RGBA.
  InDir("tiffcp -c none rgba.tif plain.tif");
  std::string file = ReadAll(Path("plain.tif"));
  PatchTagNumber(file, 338, 65000);  // ExtraSamples becomes an unknown tag
  params_.ISNATIVEPIXELFORMAT = true;
  ASSERT_TRUE(ReadBytes(file));
  ASSERT_TRUE(bitmap_.HasAlphaChannel());
  EXPECT_FALSE(bitmap_.GetAlphaChannel()->FullFlag());
  InDir("/usr/bin/convert rgba.tif " + RawOutput(Kind::RGBA));
  EXPECT_TRUE(Samples(Kind::RGBA) == ReadAll(Path("ref.raw")));
  // Associated alpha (colours multiplied by it) in 8 and 16 bits gives the
  // straight colours ImageMagick finds, within what the multiplied samples
  // kept of them.
  for (const char* depth : {"8", "16"}) {
    SCOPED_TRACE(std::string("associated alpha, depth ") + depth);
    InDir(std::string("/usr/bin/convert rgba.tif -depth ") + depth +
          " -define tiff:alpha=associated -compress none assoc.tif && tiffinfo assoc.tif | grep -q 'Extra Samples: 1<assoc-alpha>'");
    ASSERT_TRUE(Read("assoc.tif"));
    InDir("/usr/bin/convert assoc.tif " + RawOutput(Kind::RGBA));
    const std::string got = Samples(Kind::RGBA), want = ReadAll(Path("ref.raw"));
    ASSERT_EQ(got.size(), want.size());
    int wrong = 0;
    for (size_t i = 0; i < got.size(); i += 4) {
      const int alpha = static_cast<uint8_t>(want[i + 3]);
      if (alpha < 16) continue;  // hardly any colour left to judge
      for (size_t c = 0; c < 3; ++c)
        wrong += std::abs(static_cast<uint8_t>(got[i + c]) - static_cast<uint8_t>(want[i + c])) > 255 / alpha + 1;
    }
    EXPECT_EQ(wrong, 0);
  }
}

// The content test and the page count see through both byte orders and
// BigTIFF; the requested page is the one decoded.
TEST_F(TiffReadTest, PagesAreCountedAndChosen) {
  InDir("/usr/bin/convert -size 8x6 xc:red -depth 8 a.tif");
  InDir("/usr/bin/convert -size 5x3 xc:blue -depth 8 b.tif");
  InDir("tiffcp -B a.tif b.tif a.tif two.tif && tiffcp -8 a.tif b.tif big.tif");
  for (const char* file : {"two.tif", "big.tif"}) {
    SCOPED_TRACE(file);
    TMemoryStream stream;
    const std::string bytes = ReadAll(Path(file));
    stream.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
    stream.SetPosition(0);
    EXPECT_TRUE(IEIsTIFFStream(stream));
    EXPECT_EQ(stream.Position(), 0);
    EXPECT_EQ(IEGetTIFFImageCount(stream), std::string(file) == "two.tif" ? 3 : 2);
    params_.TIFF_IMAGEINDEX = 1;
    params_.SetImageCount(7);  // a stale count of an earlier load
    ASSERT_TRUE(Read(file));
    EXPECT_EQ(bitmap_.GetWidth(), 5);
    TRGB c;
    bitmap_.GetPixelRGB(4, 2, c);
    EXPECT_EQ(c, (TRGB{255, 0, 0}));
    // The count of every format, the page's own size, and the byte order
    // (1 little-endian, 0 big-endian).
    const int32_t pages = std::string(file) == "two.tif" ? 3 : 2;
    EXPECT_EQ(params_.IMAGECOUNT, pages);
    EXPECT_EQ(params_.TIFF_IMAGECOUNT, pages);
    EXPECT_EQ(params_.GIF_IMAGECOUNT, pages);
    EXPECT_EQ(params_.ORIGINALWIDTH, 5);
    EXPECT_EQ(params_.ORIGINALHEIGHT, 3);
    EXPECT_EQ(params_.TIFF_BYTEORDER, std::string(file) == "two.tif" ? 0 : 1);
    params_.TIFF_IMAGEINDEX = 0;
  }
  EXPECT_FALSE(ReadBytes("II*\0garbage and more garbage", true));
  TMemoryStream foreign;
  foreign.WriteBuffer("P6 1 1 255 abcdefghijklmnopqrstu", 30);
  foreign.SetPosition(0);
  EXPECT_FALSE(IEIsTIFFStream(foreign));
}

// The value field of a one-item SHORT or LONG entry of the first directory
// of a classic little-endian file.
void PatchTag(std::string& file, uint16_t tag, uint32_t value) {
  auto u16 = [&](size_t at) { return static_cast<uint32_t>(static_cast<uint8_t>(file[at]) | (static_cast<uint8_t>(file[at + 1]) << 8)); };
  auto u32 = [&](size_t at) { return u16(at) | (u16(at + 2) << 16); };
  const size_t ifd = u32(4);
  const uint32_t count = u16(ifd);
  for (uint32_t k = 0; k < count; ++k) {
    const size_t entry = ifd + 2 + 12 * k;
    if (u16(entry) != tag) continue;
    const bool isShort = u16(entry + 2) == 3;
    for (int b = 0; b < 4; ++b) file[entry + 8 + b] = static_cast<char>(b < (isShort ? 2 : 4) ? value >> (8 * b) : 0);
    return;
  }
  ADD_FAILURE() << "no tag " << tag;
}
// The value field of an entry of the first directory; 0 when absent.
uint32_t TagValue(const std::string& file, uint16_t tag) {
  auto u32 = [&](size_t at) {
    uint32_t v = 0;
    for (int b = 3; b >= 0; --b) v = (v << 8) | static_cast<uint8_t>(file[at + b]);
    return v;
  };
  const size_t ifd = u32(4);
  const uint32_t count = u32(ifd) & 0xFFFF;
  for (uint32_t k = 0; k < count; ++k)
    if ((u32(ifd + 2 + 12 * k) & 0xFFFF) == tag) return u32(ifd + 2 + 12 * k + 8);
  return 0;
}

// Short compressed strips, huge claims and unsupported layouts fail the read
// instead of loading blank or padded rows; an uncompressed strip whose byte
// count is short still gives its full rows (as libtiff reads it);
// RowsPerStrip 0 reads as the height; a directory chain that loops ends the
// count.
TEST_F(TiffReadTest, DamagedAndUnsupportedFilesFail) {
  InDir("/usr/bin/convert -size 40x30 gradient:red-blue -swirl 90 -colorspace gray -type grayscale -depth 8 "
        "-compress none g.tif");
  InDir("/usr/bin/convert g.tif -depth 8 gray:ref.raw");
  for (const char* opts : {"-c none", "-c zip", "-c packbits"}) {
    SCOPED_TRACE(opts);
    InDir(std::string("tiffcp ") + opts + " -r 30 g.tif s.tif");
    std::string file = ReadAll(Path("s.tif"));
    ASSERT_TRUE(ReadBytes(file));
    PatchTag(file, 279, TagValue(file, 279) / 2);
    const bool uncompressed = std::string(opts) == "-c none";
    EXPECT_EQ(ReadBytes(file), uncompressed);
    if (uncompressed) {
      const std::string rgb = Samples(Kind::RGB);
      std::string levels;
      for (size_t k = 0; k < rgb.size(); k += 3) levels += rgb[k];
      EXPECT_TRUE(levels == ReadAll(Path("ref.raw")));
    }
  }
  InDir("tiffcp -c none -r 30 g.tif s.tif");
  const std::string good = ReadAll(Path("s.tif"));
  struct Patch {
    const char* what;
    uint16_t tag;
    uint32_t value;
    bool reads;
  } patches[] = {
      {"a strip that runs past the end of the file", 273, static_cast<uint32_t>(good.size() - 100), false},
      {"RowsPerStrip 0 is the height", 278, 0, true},
      {"an unsupported photometric", 262, 32844, false},
      {"an unsupported bit depth", 258, 13, false},
      {"60000 x 60000 from a few KiB", 256, 60000, false},
  };
  for (const Patch& p : patches) {
    SCOPED_TRACE(p.what);
    std::string file = good;
    PatchTag(file, p.tag, p.value);
    if (p.tag == 256) PatchTag(file, 257, 60000);
    EXPECT_EQ(ReadBytes(file), p.reads);
    if (p.reads) {
      EXPECT_EQ(bitmap_.GetHeight(), 30);
    }
  }
  // Samples of unequal sizes are refused.
  InDir("/usr/bin/convert -size 8x8 xc:red -depth 8 -compress none rgb.tif");
  std::string mixed = ReadAll(Path("rgb.tif"));
  ASSERT_TRUE(ReadBytes(mixed));
  mixed[TagValue(mixed, 258) + 4] = 16;  // the third BitsPerSample value
  EXPECT_FALSE(ReadBytes(mixed));
  // The directory's link pointing back at itself: one page, read.
  std::string loop = good;
  const uint32_t first = static_cast<uint8_t>(loop[4]) | (static_cast<uint8_t>(loop[5]) << 8) |
                         (static_cast<uint8_t>(loop[6]) << 16) | (static_cast<uint8_t>(loop[7]) << 24);
  const uint32_t entries = static_cast<uint8_t>(loop[first]) | (static_cast<uint8_t>(loop[first + 1]) << 8);
  const size_t link = first + 2 + 12 * entries;
  for (int b = 0; b < 4; ++b) loop[link + b] = static_cast<char>(first >> (8 * b));
  EXPECT_TRUE(ReadBytes(loop));
  EXPECT_EQ(pages_, 1);
  // Every truncation of the file fails cleanly or reads.
  for (size_t size = 0; size < good.size(); size += 97) ReadBytes(good.substr(0, size));
}

// What we write passes tiffinfo with an empty error stream, and
// ImageMagick decodes it to the pixels of the bitmap, in each compression.
TEST_F(TiffReadTest, WrittenFilesAreReadByOtherTools) {
  InDir("/usr/bin/convert -size 45x31 gradient:red-blue -swirl 120 -depth 8 src.ppm");
  InDir("/usr/bin/convert src.ppm -depth 8 -compress none rgb.tif");
  InDir("/usr/bin/convert src.ppm -colorspace gray -type grayscale -depth 16 -compress none g16.tif");
  InDir("/usr/bin/convert src.ppm -monochrome -type bilevel -depth 1 -compress none bw.tif");
  InDir("/usr/bin/convert src.ppm -type palette -colors 200 -depth 8 -compress none pal.tif");
  InDir("/usr/bin/convert src.ppm -colorspace cmyk -depth 8 -compress none cmyk.tif");
  InDir("/usr/bin/convert src.ppm \\( +clone -colorspace gray \\) -alpha off -compose copy_opacity -composite "
        "-depth 8 -compress none rgba.tif");
  params_.ISNATIVEPIXELFORMAT = true;  // each source written from its own pixel format
  // Runs longer than the longest fax make-up code.
  InDir("/usr/bin/convert -size 6000x9 xc:white -fill black -draw 'rectangle 3,2 5990,5' -draw 'point 0,7' "
        "-monochrome -type bilevel -depth 1 -compress none wide.tif");
  InDir("/usr/bin/convert -size 6000x9 gradient:black-white -depth 16 -compress none wide16.tif");
  const struct {
    const char* source;
    Kind kind;
  } sources[] = {{"rgb.tif", Kind::RGB},   {"g16.tif", Kind::Grey16}, {"bw.tif", Kind::RGB},
                 {"pal.tif", Kind::RGB},   {"cmyk.tif", Kind::CMYK},  {"rgba.tif", Kind::RGBA},
                 {"wide.tif", Kind::RGB},  {"wide16.tif", Kind::Grey16}};
  // Fax codes (1 to 4) apply to the 1-bit images; the others are written
  // uncompressed with them.
  for (const auto& src : sources)
    for (uint8_t compression : {0, 5, 8, 9, 1, 2, 3, 4}) {
      SCOPED_TRACE(std::string(src.source) + " compression " + std::to_string(compression));
      ASSERT_TRUE(Read(src.source));
      params_.TIFF_COMPRESSION = compression;
      params_.TIFF_FILLORDER = compression == 3 ? 2 : 1;
      {
        TFileStream out(Path("ours.tif"), fmCreate);
        EXPECT_EQ(IEWriteTIFFStream(out, bitmap_, params_, progress_), 1);
      }
      InDir("tiffinfo ours.tif > info.txt 2> err.txt");
      EXPECT_EQ(ReadAll(Path("err.txt")), "");
      // libtiff decodes (ImageMagick refuses files that compress very well).
      InDir("tiffcp -c none ours.tif plain.tif && /usr/bin/convert plain.tif " + RawOutput(src.kind));
      EXPECT_TRUE(Samples(src.kind) == ReadAll(Path("ref.raw")));
      ASSERT_TRUE(Read("ours.tif"));
    }
  // A format the writer has no layout for fails the save.
  TIEBitmap lab(4, 4, ieCIELab);
  TMemoryStream sink;
  abort_ = false;
  EXPECT_EQ(IEWriteTIFFStream(sink, lab, params_, progress_), 0);
  EXPECT_TRUE(abort_);
  EXPECT_EQ(sink.Size(), 0);
}

// The sample settings choose what a 24-bit image becomes: palette and grey
// pages through the quantizer (at 2 to 16 bits), 1-bit pages through the
// image's two colours, CMYK and CIE Lab pages, and CMYK JPEG pages. Each
// passes tiffinfo and libtiff decodes it to the image's pixels (CMYK and
// Lab compared as raw samples); the settings written back say what was written.
TEST_F(TiffReadTest, SampleSettingsChooseTheLayoutOfColourImages) {
  InDir("/usr/bin/convert -size 45x31 gradient:red-blue -swirl 120 -depth 8 src.ppm");
  InDir("/usr/bin/convert src.ppm -colors 200 -type truecolor -depth 8 -compress none c200.tif");
  InDir("/usr/bin/convert src.ppm -colors 12 -type truecolor -depth 8 -compress none c12.tif");
  InDir("/usr/bin/convert src.ppm -colorspace gray -type truecolor -depth 8 -compress none grey.tif");
  InDir("/usr/bin/convert -size 45x31 xc:red -fill blue +antialias -draw 'circle 20,15 20,5' -type truecolor -depth 8 "
        "-compress none two.tif");
  InDir("/usr/bin/convert src.ppm -type truecolor -depth 8 -compress none rgb.tif");
  enum class Check { Exact, Grey16, TwoColours, CMYK, Lab };
  const struct {
    const char* name;
    const char* source;
    int32_t spp, bps;
    uint8_t photometric, compression, jpegSpace;
    const char* expect;  // in tiffinfo's report
    Check check;
    int32_t sppAfter, bpsAfter;
    uint8_t photometricAfter, compressionAfter;
  } kCases[] = {
      {"palette from 8-bit samples", "c200.tif", 1, 8, 2, 5, 2, "Photometric Interpretation: palette", Check::Exact,
       1, 8, 3, 5},
      {"4-bit palette, deflate", "c12.tif", 1, 4, 3, 9, 2, "Bits/Sample: 4", Check::Exact, 1, 4, 3, 9},
      {"palette cannot take fax codes", "c200.tif", 1, 8, 3, 4, 2, "Compression Scheme: None", Check::Exact, 1, 8,
       3, 0},
      {"16-bit palette written at 8 bits", "c200.tif", 1, 16, 3, 8, 2, "PackBits", Check::Exact, 1, 8, 3, 8},
      {"grey found by the quantizer", "grey.tif", 1, 8, 2, 5, 2, "min-is-black", Check::Exact, 1, 8, 1, 5},
      {"16-bit grey", "grey.tif", 1, 16, 1, 0, 2, "Bits/Sample: 16", Check::Grey16, 1, 16, 1, 0},
      {"two colours as Group 4", "two.tif", 1, 1, 1, 4, 2, "CCITT Group 4", Check::TwoColours, 1, 1, 1, 4},
      {"two colours at one bit", "two.tif", 1, 1, 0, 0, 2, "Bits/Sample: 1", Check::TwoColours, 1, 1, 1, 0},
      {"CMYK", "rgb.tif", 4, 8, 5, 5, 2, "Photometric Interpretation: separated", Check::CMYK, 4, 8, 5, 5},
      {"CIE Lab", "rgb.tif", 3, 8, 7, 0, 2, "CIE L*a*b*", Check::Lab, 3, 8, 7, 0},
      {"CMYK JPEG", "rgb.tif", 4, 8, 5, 7, 3, "Photometric Interpretation: separated", Check::CMYK, 4, 8, 5, 7},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(Read(c.source));
    ASSERT_EQ(bitmap_.GetPixelFormat(), ie24RGB);
    TIEBitmap source;
    source.Assign(&bitmap_);
    params_.SAMPLESPERPIXEL = c.spp;
    params_.BITSPERSAMPLE = c.bps;
    params_.TIFF_PHOTOMETINTEPRET = c.photometric;
    params_.TIFF_COMPRESSION = c.compression;
    params_.TIFF_JPEGCOLORSPACE = c.jpegSpace;
    {
      TFileStream out(Path("ours.tif"), fmCreate);
      ASSERT_EQ(IEWriteTIFFStream(out, bitmap_, params_, progress_), 1);
    }
    EXPECT_EQ(params_.SAMPLESPERPIXEL, c.sppAfter);
    EXPECT_EQ(params_.BITSPERSAMPLE, c.bpsAfter);
    EXPECT_EQ(params_.TIFF_PHOTOMETINTEPRET, c.photometricAfter);
    EXPECT_EQ(params_.TIFF_COMPRESSION, c.compressionAfter);
    InDir("tiffinfo ours.tif > info.txt 2> err.txt && tiffcp -c none ours.tif plain.tif");
    EXPECT_EQ(ReadAll(Path("err.txt")), "");
    EXPECT_NE(ReadAll(Path("info.txt")).find(c.expect), std::string::npos) << ReadAll(Path("info.txt"));
    bitmap_.Assign(&source);
    const std::string want = Samples(Kind::RGB);
    switch (c.check) {
      case Check::Exact:
        InDir("/usr/bin/convert plain.tif " + RawOutput(Kind::RGB));
        EXPECT_TRUE(ReadAll(Path("ref.raw")) == want);
        break;
      case Check::Grey16: {
        InDir("/usr/bin/convert plain.tif " + RawOutput(Kind::Grey16));
        std::string grey;
        for (size_t k = 0; k < want.size(); k += 3) grey += std::string(2, want[k]);  // level x 257
        EXPECT_TRUE(ReadAll(Path("ref.raw")) == grey);
        break;
      }
      case Check::TwoColours: {
        // The darker colour (blue) black, the other white.
        InDir("/usr/bin/convert plain.tif -depth 8 gray:ref.raw");
        std::string levels;
        for (size_t k = 0; k < want.size(); k += 3) levels += want[k + 2] == '\xFF' ? '\0' : '\xFF';
        EXPECT_TRUE(ReadAll(Path("ref.raw")) == levels);
        break;
      }
      case Check::CMYK: {
        // libtiff's samples are ours; back in RGB they are the image's.
        InDir("/usr/bin/convert plain.tif " + RawOutput(Kind::CMYK));
        params_.ISNATIVEPIXELFORMAT = true;
        ASSERT_TRUE(Read("ours.tif"));
        ASSERT_EQ(bitmap_.GetPixelFormat(), ieCMYK);
        EXPECT_LE(MaxDifference(Samples(Kind::CMYK), ReadAll(Path("ref.raw"))), c.compression == 7 ? 1 : 0);
        std::string back;
        for (int32_t y = 0; y < bitmap_.GetHeight(); ++y) {
          std::string bgr(static_cast<size_t>(bitmap_.GetWidth()) * 3, '\0');
          IECMYKRowToRGB(bitmap_.GetScanline(y), reinterpret_cast<uint8_t*>(bgr.data()), bitmap_.GetWidth(), nullptr);
          for (size_t k = 0; k < bgr.size(); k += 3) back += std::string{bgr[k + 2], bgr[k + 1], bgr[k]};
        }
        EXPECT_LE(MaxDifference(back, want), c.compression == 7 ? 40 : 2);
        break;
      }
      case Check::Lab: {
        // The coded samples as libtiff hands them out are the ones our
        // reader keeps; ImageMagick's colours are the image's.
        const std::string plain = ReadAll(Path("plain.tif"));
        const std::string samples = plain.substr(TagValue(plain, 273), want.size());
        params_.ISNATIVEPIXELFORMAT = true;
        ASSERT_TRUE(Read("ours.tif"));
        params_.ISNATIVEPIXELFORMAT = false;
        ASSERT_EQ(bitmap_.GetPixelFormat(), ieCIELab);
        std::string got;
        for (int32_t y = 0; y < bitmap_.GetHeight(); ++y)
          got.append(reinterpret_cast<const char*>(bitmap_.GetScanline(y)), static_cast<size_t>(bitmap_.GetWidth()) * 3);
        EXPECT_TRUE(got == samples);
        // 8-bit Lab keeps colours within a few levels, saturated ones less
        // well; ImageMagick's conversion differs from ours near the gamut's edge.
        InDir("/usr/bin/convert plain.tif -colorspace sRGB " + RawOutput(Kind::RGB));
        ASSERT_TRUE(Read("ours.tif"));
        EXPECT_LE(MaxDifference(Samples(Kind::RGB), want), 16);
        EXPECT_LE(MaxDifference(ReadAll(Path("ref.raw")), want), 32);
        break;
      }
    }
  }
  // A CMYK image keeps its own samples in a CMYK JPEG page.
  InDir("/usr/bin/convert src.ppm -colorspace cmyk -depth 8 -compress none cmyk.tif");
  ASSERT_TRUE(Read("cmyk.tif"));
  ASSERT_EQ(bitmap_.GetPixelFormat(), ieCMYK);
  const std::string cmyk = Samples(Kind::CMYK);
  params_.TIFF_COMPRESSION = 7;
  params_.TIFF_JPEGCOLORSPACE = 3;
  params_.TIFF_JPEGQUALITY = 95;
  {
    TFileStream out(Path("ours.tif"), fmCreate);
    ASSERT_EQ(IEWriteTIFFStream(out, bitmap_, params_, progress_), 1);
  }
  InDir("tiffinfo ours.tif > info.txt 2> err.txt && tiffcp -c none ours.tif plain.tif && "
        "/usr/bin/convert plain.tif " + RawOutput(Kind::CMYK));
  EXPECT_EQ(ReadAll(Path("err.txt")), "");
  EXPECT_LE(MaxDifference(ReadAll(Path("ref.raw")), cmyk), 12);
  // A 1-bit image is written at one bit only when the settings ask for it.
  TIEBitmap bilevel(9, 4, ie1g);
  bilevel.Fill(255);
  params_.SAMPLESPERPIXEL = 3;
  params_.BITSPERSAMPLE = 8;
  params_.TIFF_PHOTOMETINTEPRET = 2;
  params_.TIFF_COMPRESSION = 4;
  {
    TFileStream out(Path("ours.tif"), fmCreate);
    ASSERT_EQ(IEWriteTIFFStream(out, bilevel, params_, progress_), 1);
  }
  InDir("tiffinfo ours.tif > info.txt 2> err.txt");
  EXPECT_EQ(ReadAll(Path("err.txt")), "");
  EXPECT_NE(ReadAll(Path("info.txt")).find("Samples/Pixel: 3"), std::string::npos);
}

// ---- hand-built files -------------------------------------------------------------

// One entry of a hand-built directory: the value bytes, little-endian.
struct Entry {
  uint16_t tag, type;
  uint32_t count;
  std::string value;
};

std::string LE(uint32_t v, int bytes) {
  std::string out;
  for (int b = 0; b < bytes; ++b) out += static_cast<char>(v >> (8 * b));
  return out;
}
Entry Shorts(uint16_t tag, std::initializer_list<uint32_t> values) {
  std::string bytes;
  for (uint32_t v : values) bytes += LE(v, 2);
  return {tag, 3, static_cast<uint32_t>(values.size()), bytes};
}
Entry Longs(uint16_t tag, std::initializer_list<uint32_t> values) {
  std::string bytes;
  for (uint32_t v : values) bytes += LE(v, 4);
  return {tag, 4, static_cast<uint32_t>(values.size()), bytes};
}

// A little-endian TIFF: the data at offset 8, then the values that do not
// fit their entries, then the directory (entries given in tag order).
std::string BuildTiff(const std::string& data, const std::vector<Entry>& entries) {
  std::string file = "II*" + std::string(1, '\0') + LE(0, 4) + data;
  std::string directory = LE(static_cast<uint32_t>(entries.size()), 2);
  for (const Entry& e : entries) {
    std::string field = e.value;
    if (field.size() > 4) {
      if (file.size() % 2) file += '\0';
      const auto at = static_cast<uint32_t>(file.size());
      file += field;
      field = LE(at, 4);
    }
    field.resize(4, '\0');
    directory += LE(e.tag, 2) + LE(e.type, 2) + LE(e.count, 4) + field;
  }
  if (file.size() % 2) file += '\0';
  const auto at = static_cast<uint32_t>(file.size());
  file.replace(4, 4, LE(at, 4));
  return file + directory + LE(0, 4);
}

// Subsampled YCbCr data units decode as libtiff's RGBA reader decodes them.
TEST_F(TiffReadTest, SubsampledYCbCrDecodesAsLibtiffDoes) {
  const uint32_t width = 13, height = 7;
  const struct {
    uint32_t h, v, rowsPerStrip;
  } kCases[] = {{1, 1, 7}, {2, 1, 7}, {2, 2, 7}, {2, 2, 4}, {4, 2, 2}, {4, 4, 4}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::to_string(c.h) + "x" + std::to_string(c.v) + " rows per strip " + std::to_string(c.rowsPerStrip));
    const uint32_t across = (width + c.h - 1) / c.h, unitRows = (height + c.v - 1) / c.v;
    const uint32_t unitBytes = c.h * c.v + 2, unitsPerStrip = (c.rowsPerStrip + c.v - 1) / c.v;
    std::string data;
    std::string offsets, counts;
    for (uint32_t ur = 0; ur < unitRows; ++ur) {
      if (ur % unitsPerStrip == 0) offsets += LE(8 + static_cast<uint32_t>(data.size()), 4);
      for (uint32_t uc = 0; uc < across; ++uc) {
        for (uint32_t i = 0; i < c.h * c.v; ++i)
          data += static_cast<char>(40 + ((uc * c.h + i % c.h) * 13 + (ur * c.v + i / c.h) * 17) % 180);
        data += static_cast<char>(90 + uc * 9);
        data += static_cast<char>(160 - ur * 12);
      }
      if (ur % unitsPerStrip == unitsPerStrip - 1 || ur == unitRows - 1)
        counts += LE(std::min(unitsPerStrip, unitRows - ur / unitsPerStrip * unitsPerStrip) * across * unitBytes, 4);
    }
    const auto strips = static_cast<uint32_t>(offsets.size() / 4);
    const std::string file = BuildTiff(
        data, {Longs(256, {width}), Longs(257, {height}), Shorts(258, {8, 8, 8}), Shorts(259, {1}), Shorts(262, {6}),
               {273, 4, strips, offsets}, Shorts(277, {3}), Longs(278, {c.rowsPerStrip}), {279, 4, strips, counts},
               Shorts(284, {1}), Shorts(530, {c.h, c.v})});
    {
      std::ofstream out(Path("ycc.tif"), std::ios::binary);
      out << file;
    }
    InDir("tiff2rgba -c none ycc.tif rgba.tif && /usr/bin/convert rgba.tif -alpha off -depth 8 rgb:ref.raw");
    ASSERT_TRUE(ReadBytes(file));
    EXPECT_EQ(bitmap_.GetWidth(), static_cast<int32_t>(width));
    EXPECT_LE(MaxDifference(Samples(Kind::RGB), ReadAll(Path("ref.raw"))), 2);
  }
}

// Old-style JPEG: an interchange block holding the whole JPEG, and one
// holding its tables with the scan in the strip, decode as djpeg does.
TEST_F(TiffReadTest, OldStyleJPEGDecodesAsDjpegDoes) {
  InDir("/usr/bin/convert -size 41x29 gradient:red-blue -swirl 120 -depth 8 src.ppm && cjpeg -quality 90 src.ppm > a.jpg"
        " && djpeg -pnm a.jpg | /usr/bin/convert - -depth 8 rgb:ref.raw");
  const std::string jpeg = ReadAll(Path("a.jpg"));
  const auto size = static_cast<uint32_t>(jpeg.size()), scan = static_cast<uint32_t>(jpeg.find("\xFF\xDA"));
  ASSERT_NE(scan, std::string::npos);
  const std::vector<Entry> common = {Longs(256, {41}), Longs(257, {29}), Shorts(258, {8, 8, 8}), Shorts(259, {6}),
                                     Shorts(262, {6}), Shorts(277, {3}), Longs(278, {29})};
  auto build = [&](const std::string& data, std::vector<Entry> extra) {
    std::vector<Entry> all = common;
    all.insert(all.end(), extra.begin(), extra.end());
    std::sort(all.begin(), all.end(), [](const Entry& a, const Entry& b) { return a.tag < b.tag; });
    return BuildTiff(data, all);
  };
  const struct {
    const char* name;
    std::vector<Entry> entries;
  } kCases[] = {
      {"whole JPEG", {Longs(273, {8}), Longs(513, {8}), Longs(514, {size})}},
      {"tables and scan", {Longs(273, {8 + scan}), Longs(279, {size - scan}), Longs(513, {8}), Longs(514, {scan})}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(ReadBytes(build(jpeg, c.entries)));
    EXPECT_EQ(bitmap_.GetWidth(), 41);
    EXPECT_EQ(bitmap_.GetHeight(), 29);
    EXPECT_LE(MaxDifference(Samples(Kind::RGB), ReadAll(Path("ref.raw"))), 1);
    // A whole JPEG cut in its first rows fails the read; strips keep what
    // decodes, as old writers end them early.
    EXPECT_EQ(ReadBytes(build(jpeg.substr(0, scan + 40), c.entries)), c.entries.size() == 4);
  }
}

// With the file's own pixel format wanted, Lab samples stay as coded; the
// photometric reads as the parameters' Lab code.
TEST_F(TiffReadTest, LabSamplesStayAsCodedInTheNativeFormat) {
  InDir("/usr/bin/convert -size 23x11 gradient:yellow-navy -swirl 90 -colorspace Lab -depth 8 -compress none lab.tif"
        " && tiffcp -c lzw:2 lab.tif lzw.tif");
  const std::string plain = ReadAll(Path("lab.tif"));
  const std::string samples = plain.substr(TagValue(plain, 273), 23 * 11 * 3);
  params_.ISNATIVEPIXELFORMAT = true;
  for (const char* file : {"lab.tif", "lzw.tif"}) {
    SCOPED_TRACE(file);
    ASSERT_TRUE(Read(file));
    ASSERT_EQ(bitmap_.GetPixelFormat(), ieCIELab);
    EXPECT_EQ(params_.TIFF_PHOTOMETINTEPRET, 7);  // the parameters' code for CIE Lab, not TIFF's 8
    std::string got;
    for (int32_t y = 0; y < 11; ++y) got.append(reinterpret_cast<const char*>(bitmap_.GetScanline(y)), 23 * 3);
    EXPECT_TRUE(got == samples);
  }
}

// Truncated and damaged tiles and fax strips fail cleanly: a block whose
// data ends early fails the read, and no cut or flipped byte crashes it.
TEST_F(TiffReadTest, DamagedTilesAndFaxStripsFailCleanly) {
  InDir("/usr/bin/convert -size 41x29 gradient:red-blue -swirl 120 -depth 8 -compress none rgb.tif");
  InDir("/usr/bin/convert rgb.tif -monochrome -type bilevel -depth 1 -compress none bw.tif");
  const struct {
    const char* source;
    const char* tiffcp;
    uint16_t countTag;  // of the single strip or tile
  } kCases[] = {
      {"rgb.tif", "-t -w 48 -l 32 -c lzw", 325}, {"rgb.tif", "-t -w 48 -l 32 -c zip", 325},
      {"bw.tif", "-c g4", 279},                  {"bw.tif", "-c g3:2d", 279},
      {"bw.tif", "-c g3", 279},                  {"rgb.tif", "-t -w 48 -l 32 -c jpeg", 325},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::string(c.source) + " " + c.tiffcp);
    InDir(std::string("tiffcp ") + c.tiffcp + " -r 1000 " + c.source + " out.tif");
    const std::string good = ReadAll(Path("out.tif"));
    ASSERT_TRUE(ReadBytes(good));
    std::string shortBlock = good;
    PatchTag(shortBlock, c.countTag, TagValue(good, c.countTag) / 3);
    EXPECT_FALSE(ReadBytes(shortBlock));
    for (size_t size = 0; size < good.size(); size += 23) ReadBytes(good.substr(0, size));
    const size_t data = TagValue(good, c.countTag == 325 ? 324 : 273), count = TagValue(good, c.countTag);
    for (size_t at = data; at < data + count; at += 3) {
      std::string flipped = good;
      flipped[at] = static_cast<char>(flipped[at] ^ 0x5A);
      ReadBytes(flipped);
    }
  }
}

// Modified Huffman pages, which no tool writes, made with libtiff's own
// API in both fill orders and polarities, decode to the rows it was given.
TEST_F(TiffReadTest, ModifiedHuffmanFilesOfLibtiffDecode) {
  const uint32_t width = 203, height = 37;
  std::mt19937 random(11);
  std::vector<std::string> rows(height, std::string((width + 7) / 8, '\0'));
  for (std::string& row : rows) {
    bool black = random() % 2 == 0;
    for (uint32_t x = 0; x < width;) {
      const uint32_t run = 1 + random() % 40;
      for (uint32_t k = x; k < std::min(width, x + run); ++k)
        if (black) row[k / 8] = static_cast<char>(row[k / 8] | (0x80 >> (k % 8)));
      x += run;
      black = !black;
    }
  }
  for (uint16_t fillOrder : {FILLORDER_MSB2LSB, FILLORDER_LSB2MSB})
    for (uint16_t photometric : {PHOTOMETRIC_MINISWHITE, PHOTOMETRIC_MINISBLACK}) {
      SCOPED_TRACE("fill order " + std::to_string(fillOrder) + " photometric " + std::to_string(photometric));
      TIFF* tif = TIFFOpen(Path("mh.tif").c_str(), "w");
      ASSERT_NE(tif, nullptr);
      TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
      TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
      TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
      TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
      TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, photometric);
      TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTRLE);
      TIFFSetField(tif, TIFFTAG_FILLORDER, fillOrder);
      TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 16);
      for (uint32_t y = 0; y < height; ++y) ASSERT_EQ(TIFFWriteScanline(tif, rows[y].data(), y, 0), 1);
      TIFFClose(tif);
      ASSERT_TRUE(Read("mh.tif"));
      ASSERT_EQ(bitmap_.GetPixelFormat(), ie1g);
      ASSERT_EQ(bitmap_.GetWidth(), static_cast<int32_t>(width));
      for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
          const bool set = (static_cast<uint8_t>(rows[y][x / 8]) >> (7 - x % 8)) & 1;
          const bool white = photometric == PHOTOMETRIC_MINISWHITE ? !set : set;
          TRGB c;
          bitmap_.GetPixelRGB(static_cast<int32_t>(x), static_cast<int32_t>(y), c);
          ASSERT_EQ(c.r, white ? 255 : 0) << x << "," << y;
        }
    }
}

// Pages written with JPEG, the predictor, a strip count and the page tags
// pass tiffinfo and decode in libtiff to the bitmap's pixels (JPEG within
// its loss).
TEST_F(TiffReadTest, JpegPredictorAndStripPagesAreReadByLibtiff) {
  InDir("/usr/bin/convert -size 45x1000 gradient:red-blue -swirl 120 -depth 8 -compress none src.tif");
  ASSERT_TRUE(Read("src.tif"));
  const std::string want = Samples(Kind::RGB);
  const struct {
    const char* name;
    uint8_t compression, jpegSpace;
    int32_t strips;
    const char* expect;  // in tiffinfo's report
    bool lossy;
  } kCases[] = {
      {"LZW with the predictor", 5, 2, 0, "Predictor: horizontal differencing", false},
      {"deflate in 3 strips", 9, 2, 3, "Rows/Strip: 333", false},
      {"JPEG YCbCr", 7, 2, 0, "Photometric Interpretation: YCbCr", true},
      {"JPEG RGB", 7, 0, 0, "Photometric Interpretation: RGB color", true},
      {"JPEG grey", 7, 1, 0, "Photometric Interpretation: min-is-black", true},
      {"old-style JPEG", 6, 2, 0, "Compression Scheme: Old-style JPEG", true},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(Read("src.tif"));
    params_.TIFF_COMPRESSION = c.compression;
    params_.TIFF_JPEGCOLORSPACE = c.jpegSpace;
    params_.TIFF_STRIPCOUNT = c.strips;
    params_.TIFF_PAGENAME = "chart";
    params_.TIFF_PAGENUMBER = 2;
    params_.TIFF_PAGECOUNT = 5;
    {
      TFileStream out(Path("ours.tif"), fmCreate);
      ASSERT_EQ(IEWriteTIFFStream(out, bitmap_, params_, progress_), 1);
    }
    InDir("tiffinfo ours.tif > info.txt 2> err.txt");
    const std::string info = ReadAll(Path("info.txt"));
    EXPECT_NE(info.find(c.expect), std::string::npos) << info;
    EXPECT_NE(info.find("Page Number: 2-5"), std::string::npos) << info;
    EXPECT_NE(info.find("PageName: chart"), std::string::npos) << info;
    std::string theirs;
    if (c.compression != 6) {
      EXPECT_EQ(ReadAll(Path("err.txt")), "");
      InDir("tiffcp -c none ours.tif plain.tif && /usr/bin/convert plain.tif " + RawOutput(Kind::RGB));
      theirs = ReadAll(Path("ref.raw"));
    }
    // Our reader too, the old-style page included.
    ASSERT_TRUE(Read("ours.tif"));
    EXPECT_EQ(bitmap_.GetHeight(), 1000);
    const std::string ours = Samples(Kind::RGB);
    const int tolerance = c.lossy ? 24 : 0;
    if (c.jpegSpace == 1) {
      EXPECT_LE(MaxDifference(ours, theirs), 1);  // grey: against libtiff's decoding of it
    } else {
      EXPECT_LE(MaxDifference(ours, want), tolerance);
      if (!theirs.empty()) {
        EXPECT_LE(MaxDifference(theirs, want), tolerance);
      }
    }
    params_.TIFF_PAGENAME.clear();
    params_.TIFF_PAGENUMBER = params_.TIFF_PAGECOUNT = -1;
    params_.TIFF_STRIPCOUNT = 0;
  }
}

// Pages inserted into a classic file and into a BigTIFF (with 8-byte
// links and BigTIFF entries) before a page or after the last; tiffinfo
// sees every page without complaint and each reads back. Big-endian files,
// damaged links and chains that loop are refused with nothing written.
TEST_F(TiffReadTest, PagesInsertedIntoClassicAndBigTIFF) {
  InDir("/usr/bin/convert -size 8x6 gradient:red-yellow -depth 8 a.tif && "
        "/usr/bin/convert -size 5x3 gradient:blue-white -depth 8 -compress lzw b.tif");
  InDir("tiffcp a.tif b.tif two.tif && tiffcp -8 a.tif b.tif big.tif && tiffcp -B a.tif be.tif");
  InDir("/usr/bin/convert a.tif -depth 8 rgb:a.raw && /usr/bin/convert b.tif -depth 8 rgb:b.raw");
  TIEBitmap page(7, 4, ie24RGB);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 7; ++x) page.GetScanline(y)[3 * x + 1] = 255;  // green
  params_.EXIF_HASEXIF = true;  // sub-directories in the file's layout too
  params_.EXIF_ISOSPEEDRATINGS[0] = 200;
  for (const char* file : {"two.tif", "big.tif"}) {
    for (int32_t index : {1, 9}) {
      SCOPED_TRACE(std::string(file) + " before page " + std::to_string(index));
      TMemoryStream stream;
      const std::string bytes = ReadAll(Path(file));
      stream.WriteBuffer("xyz", 3);  // the file need not start the stream
      stream.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
      stream.SetPosition(3);
      params_.TIFF_IMAGEINDEX = index;
      abort_ = false;
      ASSERT_EQ(IEWriteTIFFStream(stream, page, params_, progress_, true), 3);
      ASSERT_FALSE(abort_);
      {
        std::ofstream out(Path("ins.tif"), std::ios::binary);
        out.write(static_cast<const char*>(stream.Memory()) + 3, stream.Size() - 3);
      }
      InDir("tiffinfo ins.tif > info.txt 2> err.txt");
      EXPECT_EQ(ReadAll(Path("err.txt")), "");
      InDir("tiffinfo ins.tif | grep -c 'Image Width' > count.txt");
      EXPECT_EQ(ReadAll(Path("count.txt")), "3\n");
      const int32_t at = index == 1 ? 1 : 2;
      params_.TIFF_IMAGEINDEX = at;
      ASSERT_TRUE(Read("ins.tif"));
      EXPECT_EQ(pages_, 3);
      EXPECT_EQ(bitmap_.GetWidth(), 7);
      EXPECT_EQ(params_.EXIF_ISOSPEEDRATINGS[0], 200);
      TRGB c;
      bitmap_.GetPixelRGB(6, 3, c);
      EXPECT_EQ(c, (TRGB{0, 255, 0}));
      InDir("/usr/bin/convert 'ins.tif[" + std::to_string(at) + "]' -depth 8 rgb:ref.raw");
      std::string green;
      for (int k = 0; k < 7 * 4; ++k) green += std::string("\0\xFF\0", 3);
      EXPECT_TRUE(ReadAll(Path("ref.raw")) == green);
      params_.TIFF_IMAGEINDEX = index == 1 ? 2 : 1;
      ASSERT_TRUE(Read("ins.tif"));
      EXPECT_EQ(bitmap_.GetWidth(), 5);
      // The pages that were there keep their pixels, and libtiff copies the whole file.
      InDir("/usr/bin/convert 'ins.tif[0]' -depth 8 rgb:ref.raw");
      EXPECT_TRUE(ReadAll(Path("ref.raw")) == ReadAll(Path("a.raw")));
      InDir("/usr/bin/convert 'ins.tif[" + std::to_string(index == 1 ? 2 : 1) + "]' -depth 8 rgb:ref.raw");
      EXPECT_TRUE(ReadAll(Path("ref.raw")) == ReadAll(Path("b.raw")));
      InDir("tiffcp ins.tif copy.tif 2> err.txt && tiffinfo copy.tif | grep -c 'Image Width' > count.txt");
      EXPECT_EQ(ReadAll(Path("err.txt")), "");
      EXPECT_EQ(ReadAll(Path("count.txt")), "3\n");
    }
  }
  // Refusals leave the stream as it was.
  std::string looped = ReadAll(Path("two.tif"));
  {
    const uint32_t first = static_cast<uint8_t>(looped[4]) | static_cast<uint8_t>(looped[5]) << 8 |
                           static_cast<uint8_t>(looped[6]) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(looped[7])) << 24;
    const uint32_t entries = static_cast<uint8_t>(looped[first]) | static_cast<uint8_t>(looped[first + 1]) << 8;
    looped.replace(first + 2 + 12 * entries, 4, LE(first, 4));
  }
  std::string outside = ReadAll(Path("two.tif"));
  outside.replace(4, 4, LE(static_cast<uint32_t>(outside.size() + 10), 4));
  for (const std::string& bytes : {ReadAll(Path("be.tif")), looped, outside, std::string("II*\0", 4)}) {
    TMemoryStream stream;
    stream.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
    stream.SetPosition(0);
    params_.TIFF_IMAGEINDEX = 9;
    abort_ = false;
    EXPECT_EQ(IEWriteTIFFStream(stream, page, params_, progress_, true), 0);
    EXPECT_TRUE(abort_);
    EXPECT_EQ(stream.Size(), static_cast<int64_t>(bytes.size()));
    EXPECT_TRUE(std::string(static_cast<const char*>(stream.Memory()), bytes.size()) == bytes);
  }
}

// The profile of the image travels in the page: exiftool extracts the same
// bytes, and our reader reads it back.
TEST_F(TiffReadTest, IccProfileOfWrittenPagesIsReadByExiftool) {
  const std::string profile = ReadAll("/usr/share/color/icc/ghostscript/default_rgb.icc");
  ASSERT_EQ(profile.size(), 2576u);
  TIEBitmap image(6, 5, ie24RGB);
  params_.GetInputICCProfile().LoadFromBuffer(profile.data(), static_cast<int32_t>(profile.size()));
  ASSERT_TRUE(params_.GetInputICCProfile().IsValid());
  {
    TFileStream out(Path("icc.tif"), fmCreate);
    ASSERT_EQ(IEWriteTIFFStream(out, image, params_, progress_), 1);
  }
  InDir("tiffinfo icc.tif > /dev/null 2> err.txt && exiftool -b -ICC_Profile icc.tif > out.icc");
  EXPECT_EQ(ReadAll(Path("err.txt")), "");
  EXPECT_TRUE(ReadAll(Path("out.icc")) == profile);
  params_.FreeICCProfiles();
  ASSERT_TRUE(Read("icc.tif"));
  TIEICC* back = params_.InputICCProfileOrNull();
  ASSERT_TRUE(back && back->IsValid());
  EXPECT_TRUE(std::string(reinterpret_cast<const char*>(back->Raw()), static_cast<size_t>(back->RawLength())) == profile);
  params_.FreeICCProfiles();  // while the colour system is up
}

TEST_F(TiffReadTest, IsReachedThroughTheCodecTable) {
  const TIECodecEntry* entry = IEFindCodec(1);
  ASSERT_NE(entry, nullptr);
  EXPECT_NE(entry->Read, nullptr);
  EXPECT_EQ(entry->IsFormat, &IEIsTIFFStream);
}

// A grey page of width x height whose pixel (x, y) is x * 16 + y, written by
// libtiff with the tags the call adds.
template <class Tags>
void WriteGreyPage(TIFF* tif, uint32_t width, uint32_t height, Tags&& tags) {
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, height);
  tags();
  std::vector<uint8_t> row(width);
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) row[x] = static_cast<uint8_t>(x * 16 + y);
    TIFFWriteScanline(tif, row.data(), y, 0);
  }
  TIFFWriteDirectory(tif);
}

// What a page says of itself besides its pixels: subfile type, position,
// BigTIFF; a sub-directory read in the page's place; the orientation turned
// upright when asked.
TEST_F(TiffReadTest, PageTagsSubDirectoriesAndOrientation) {
  {
    TIFF* tif = TIFFOpen(Path("sub.tif").c_str(), "w");
    ASSERT_NE(tif, nullptr);
    WriteGreyPage(tif, 8, 4, [&] {
      uint64_t placeholder = 0;
      TIFFSetField(tif, TIFFTAG_SUBIFD, 1, &placeholder);
      TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
      TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
      TIFFSetField(tif, TIFFTAG_XPOSITION, 2.5f);
      TIFFSetField(tif, TIFFTAG_YPOSITION, 7.0f);
      TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_BOTRIGHT);  // turned half way round
    });
    WriteGreyPage(tif, 3, 2, [&] { TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_REDUCEDIMAGE); });
    TIFFClose(tif);
  }
  ASSERT_TRUE(Read("sub.tif"));
  EXPECT_EQ(bitmap_.GetWidth(), 8);
  EXPECT_EQ(params_.TIFF_NEWSUBFILETYPE, FILETYPE_PAGE);
  EXPECT_EQ(params_.TIFF_XPOS, 2);
  EXPECT_EQ(params_.TIFF_YPOS, 7);
  EXPECT_FALSE(params_.TIFFIsBigTIFF);
  EXPECT_EQ(bitmap_.GetScanline(0)[0], 0);  // as stored
  params_.TIFF_ENABLEADJUSTORIENTATION = true;
  ASSERT_TRUE(Read("sub.tif"));
  EXPECT_EQ(bitmap_.GetScanline(0)[0], 7 * 16 + 3);  // the last stored pixel comes first
  params_.TIFF_ENABLEADJUSTORIENTATION = false;
  params_.TIFF_SUBINDEX = 0;
  ASSERT_TRUE(Read("sub.tif"));
  EXPECT_EQ(bitmap_.GetWidth(), 3);
  EXPECT_EQ(params_.TIFF_NEWSUBFILETYPE, FILETYPE_REDUCEDIMAGE);
  EXPECT_EQ(pages_, 1);  // the main chain's count
  params_.TIFF_SUBINDEX = -1;
  InDir("tiffcp -8 sub.tif big.tif");
  ASSERT_TRUE(Read("big.tif"));
  EXPECT_TRUE(params_.TIFFIsBigTIFF);
}

// One tile of a tiled page is read at the tile's size, holding the part of
// the page that tile covers, for chunky and separate planes and for the
// edge tiles that reach past the page; a tile the page lacks fails, and a
// page of strips is read whole.
TEST_F(TiffReadTest, OneTileIsReadAtItsSize) {
  InDir("/usr/bin/convert -size 41x29 gradient:red-blue -swirl 90 -depth 8 -compress none src.tif");
  InDir("tiffcp -c lzw:2 -r 5 src.tif strips.tif");
  ASSERT_TRUE(Read("strips.tif"));
  TIEBitmap whole;
  whole.Assign(&bitmap_);
  const struct {
    const char* tiffcp;
    int32_t tile, x0, y0;  // its place: 3 x 2 tiles of 16 x 16
  } cases[] = {{"-t -w 16 -l 16 -c lzw", 0, 0, 0},
               {"-t -w 16 -l 16 -c zip", 4, 16, 16},
               {"-t -w 16 -l 16 -c none", 2, 32, 0},
               {"-t -w 16 -l 16 -p separate -c packbits", 5, 32, 16}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.tiffcp) + ", tile " + std::to_string(c.tile));
    InDir(std::string("tiffcp ") + c.tiffcp + " src.tif tiles.tif");
    params_.TIFF_GETTILE = c.tile;
    ASSERT_TRUE(Read("tiles.tif"));
    ASSERT_EQ(bitmap_.GetWidth(), 16);
    ASSERT_EQ(bitmap_.GetHeight(), 16);
    EXPECT_EQ(params_.WIDTH, 16);
    for (int32_t y = 0; y < 16 && c.y0 + y < 29; ++y)
      for (int32_t x = 0; x < 16 && c.x0 + x < 41; ++x) {
        const TRGB got = bitmap_.GetPixel24(x, y), want = whole.GetPixel24(c.x0 + x, c.y0 + y);
        ASSERT_TRUE(got.r == want.r && got.g == want.g && got.b == want.b) << x << ", " << y;
      }
  }
  params_.TIFF_GETTILE = 6;
  EXPECT_FALSE(Read("tiles.tif"));
  params_.TIFF_GETTILE = 2;
  ASSERT_TRUE(Read("strips.tif"));
  EXPECT_EQ(bitmap_.GetWidth(), 41);
  EXPECT_EQ(bitmap_.GetHeight(), 29);
  params_.TIFF_GETTILE = -1;
}

// Compressions the writer has no coder for, and LZW with both encoder slots
// empty, are written uncompressed; PackBits codes each row on its own.
TEST_F(TiffReadTest, CompressionsWithoutACoderAreWrittenUncompressed) {
  InDir("/usr/bin/convert -size 40x30 gradient:red-blue -depth 8 -compress none src.tif");
  ASSERT_TRUE(Read("src.tif"));
  InDir("/usr/bin/convert src.tif " + RawOutput(Kind::RGB));
  const std::string want = ReadAll(Path("ref.raw"));
  const TIETIFFLZWEncoder library = IEGetGlobalSettings()->TIFFLZWEncoder;
  const struct {
    uint8_t compression;
    bool noEncoder;
    const char* scheme;  // as tiffinfo names it
  } cases[] = {{42, false, "None"}, {255, false, "None"}, {5, true, "None"}, {5, false, "LZW"}, {8, false, "PackBits"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.compression));
    params_.TIFF_COMPRESSION = c.compression;
    IEGetGlobalSettings()->TIFFLZWEncoder = c.noEncoder ? nullptr : library;
    {
      TFileStream out(Path("ours.tif"), fmCreate);
      EXPECT_EQ(IEWriteTIFFStream(out, bitmap_, params_, progress_), 1);
    }
    IEGetGlobalSettings()->TIFFLZWEncoder = library;
    InDir("tiffinfo ours.tif > info.txt 2> err.txt");
    EXPECT_EQ(ReadAll(Path("err.txt")), "");
    EXPECT_NE(ReadAll(Path("info.txt")).find(std::string("Compression Scheme: ") + c.scheme), std::string::npos)
        << ReadAll(Path("info.txt"));
    InDir("tiffcp -c none ours.tif plain.tif && /usr/bin/convert plain.tif " + RawOutput(Kind::RGB));
    EXPECT_TRUE(ReadAll(Path("ref.raw")) == want);
  }
  // PackBits: runs shorter than 4 stay literal, and a row never runs into
  // the next. Each row: 1, 1, 2, then 197 bytes of 10.
  TIEBitmap grey(200, 3, ie8g);
  for (int32_t y = 0; y < 3; ++y) {
    std::memset(grey.GetScanline(y), 10, 200);
    grey.GetScanline(y)[0] = grey.GetScanline(y)[1] = 1;
    grey.GetScanline(y)[2] = 2;
  }
  TIOParamsVals params(nullptr);
  params.TIFF_COMPRESSION = 8;
  TMemoryStream out;
  ASSERT_EQ(IEWriteTIFFStream(out, grey, params, progress_), 1);
  const std::string file(static_cast<const char*>(out.Memory()), static_cast<size_t>(out.Size()));
  const std::string packed = file.substr(TagValue(file, 273), TagValue(file, 279));
  const std::string row("\x02\x01\x01\x02\x81\x0A\xBC\x0A", 8);
  EXPECT_TRUE(packed == row + row + row);
}

// LZW strips go through the decoder slots: the parameters' decoder first,
// the library's otherwise; with both empty an LZW page is not read.
TEST_F(TiffReadTest, LZWStripsGoThroughTheDecoderSlots) {
  InDir("/usr/bin/convert -size 9x5 xc:red -depth 8 -compress lzw lzw.tif");
  static int calls = 0;
  params_.TIFFLZWDecoder = [](const uint8_t* data, size_t size, int32_t rowBytes, void*& state, int32_t fillOrder) {
    ++calls;
    return DecodeTIFFLZW(data, size, rowBytes, state, fillOrder);
  };
  ASSERT_TRUE(Read("lzw.tif"));
  EXPECT_GT(calls, 0);
  params_.TIFFLZWDecoder = nullptr;
  const TIETIFFLZWDecoder library = IEGetGlobalSettings()->TIFFLZWDecoder;
  IEGetGlobalSettings()->TIFFLZWDecoder = nullptr;
  EXPECT_FALSE(Read("lzw.tif"));
  IEGetGlobalSettings()->TIFFLZWDecoder = library;
  ASSERT_TRUE(Read("lzw.tif"));
  EXPECT_EQ(bitmap_.GetPixel24(8, 4), (TRGB{0, 0, 255}));
}

}  // namespace
