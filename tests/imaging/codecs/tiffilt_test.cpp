// The TIFF reader judged by libtiff's and ImageMagick's own decoding: files
// made by /usr/bin/convert and tiffcp in each compression, layout and byte
// order decode to the same samples; damaged and unsupported files fail.
#include "imaging/codecs/tiffilt.h"

#include <gtest/gtest.h>

#include "tests/imaging/codecs/codec_test_support.h"

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/core/ruduvazez_startup.h"
#include "imaging/io/imageryio.h"
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

class TiffReadTest : public codectest::CodecTest {
protected:

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

// Each layout and compression decodes to exactly ImageMagick's samples.
TEST_F(TiffReadTest, FilesOfOtherToolsDecodeToTheirPixels) {
  InDir("/usr/bin/convert -size 41x29 gradient:red-blue -swirl 120 -depth 8 src.ppm");
  InDir("/usr/bin/convert src.ppm -depth 8 -compress none rgb.tif");
  InDir("/usr/bin/convert src.ppm -colorspace gray -type grayscale -depth 8 -compress none g8.tif");
  InDir("/usr/bin/convert src.ppm -colorspace gray -type grayscale -depth 16 -compress none g16.tif");
  InDir("/usr/bin/convert src.ppm -colorspace gray -type grayscale -depth 4 -compress none g4.tif");
  InDir("/usr/bin/convert src.ppm -monochrome -type bilevel -depth 1 -compress none bw.tif");
  InDir("/usr/bin/convert src.ppm -type palette -colors 16 -compress none pal.tif");
  InDir("/usr/bin/convert src.ppm -depth 16 -compress none rgb16.tif");
  InDir("/usr/bin/convert src.ppm -colorspace cmyk -depth 8 -compress none cmyk.tif");
  InDir("/usr/bin/convert src.ppm \\( +clone -colorspace gray \\) -alpha off -compose copy_opacity -composite "
        "-depth 8 -compress none rgba.tif");
  const struct {
    const char* source;
    const char* tiffcp;  // options
    Kind kind;
    TIEPixelFormat format;
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
      {"bw.tif", "-c none", Kind::RGB, ie1g},
      {"bw.tif", "-B -c lzw -r 2", Kind::RGB, ie1g},
      {"pal.tif", "-c lzw", Kind::RGB, ie8p},
      {"rgb16.tif", "-B -c zip:2", Kind::RGB, ieRGB48},
      {"cmyk.tif", "-c lzw:2", Kind::CMYK, ieCMYK},
      {"rgba.tif", "-c zip:2", Kind::RGBA, ie24RGB},
      {"rgb.tif", "-p separate -c lzw:2 -r 4", Kind::RGB, ie24RGB},
      {"cmyk.tif", "-p separate -c packbits", Kind::CMYK, ieCMYK},
      {"rgba.tif", "-p separate -c none -r 7", Kind::RGBA, ie24RGB},
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
    size_t diff = 0;
    // Colour maps hold 16-bit values: ImageMagick's scaling to 8 bits may
    // round the other way than the map's high byte.
    const int tolerance = c.format == ie8p ? 1 : 0;
    while (diff < got.size() && std::abs(static_cast<uint8_t>(got[diff]) - static_cast<uint8_t>(want[diff])) <= tolerance)
      ++diff;
    EXPECT_EQ(diff, got.size()) << "first differing sample";
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
    ASSERT_TRUE(Read(file));
    EXPECT_EQ(bitmap_.GetWidth(), 5);
    TRGB c;
    bitmap_.GetPixelRGB(4, 2, c);
    EXPECT_EQ(c, (TRGB{255, 0, 0}));
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

// Short strips, huge claims and unsupported layouts fail the read instead
// of loading blank or padded rows; RowsPerStrip 0 reads as the height; a
// directory chain that loops ends the count.
TEST_F(TiffReadTest, DamagedAndUnsupportedFilesFail) {
  InDir("/usr/bin/convert -size 40x30 gradient:red-blue -swirl 90 -colorspace gray -type grayscale -depth 8 "
        "-compress none g.tif");
  for (const char* opts : {"-c none", "-c zip", "-c packbits"}) {
    SCOPED_TRACE(opts);
    InDir(std::string("tiffcp ") + opts + " -r 30 g.tif s.tif");
    std::string file = ReadAll(Path("s.tif"));
    ASSERT_TRUE(ReadBytes(file));
    PatchTag(file, 279, TagValue(file, 279) / 2);
    EXPECT_FALSE(ReadBytes(file));
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
      {"an unsupported bit depth", 258, 12, false},
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
  const struct {
    const char* source;
    Kind kind;
  } sources[] = {{"rgb.tif", Kind::RGB},   {"g16.tif", Kind::Grey16}, {"bw.tif", Kind::RGB},
                 {"pal.tif", Kind::RGB},   {"cmyk.tif", Kind::CMYK},  {"rgba.tif", Kind::RGBA}};
  for (const auto& src : sources)
    for (uint8_t compression : {0, 5, 8, 9}) {
      SCOPED_TRACE(std::string(src.source) + " compression " + std::to_string(compression));
      ASSERT_TRUE(Read(src.source));
      params_.TIFF_COMPRESSION = compression;
      {
        TFileStream out(Path("ours.tif"), fmCreate);
        EXPECT_EQ(IEWriteTIFFStream(out, bitmap_, params_, progress_), 1);
      }
      InDir("tiffinfo ours.tif > info.txt 2> err.txt");
      EXPECT_EQ(ReadAll(Path("err.txt")), "");
      InDir("/usr/bin/convert ours.tif " + RawOutput(src.kind));
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

TEST_F(TiffReadTest, IsReachedThroughTheCodecTable) {
  const TIECodecEntry* entry = IEFindCodec(1);
  ASSERT_NE(entry, nullptr);
  EXPECT_NE(entry->Read, nullptr);
  EXPECT_EQ(entry->IsFormat, &IEIsTIFFStream);
}

}  // namespace
