// The GIF codec judged by ImageMagick and netpbm: frames they write decode
// to their own decoding, files we write decode back in them, damaged and
// hostile files fail cleanly within little memory.
#include "imaging/codecs/giffilter.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <filesystem>
#include <string>
#include <vector>

#include "imaging/codecs/giflzw.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/io/imageryio_params.h"
#include "platform/rtl/streams.h"
#include "tests/imaging/codecs/codec_test_support.h"
#include "tests/imaging/codecs/pixel_judge.h"

namespace {

using codectest::BitmapRGBA;
using codectest::MagickRGBA;
using codectest::MaxDifference;
using codectest::ReadAll;
using codectest::Shell;

class GifTest : public codectest::CodecTest {
protected:
  // Reads frame `frame` of the bytes; the frame count lands in frames_.
  void ReadBytes(const std::string& bytes, int32_t frame = 0, bool paramsOnly = false) {
    abort_ = false;
    codectest::Fill(stream_, bytes);
    params_.ResetForLoad();
    params_.GIFComments.clear();
    params_.GIF_IMAGEINDEX = frame;
    IEReadGIFStream(stream_, &bitmap_, frames_, params_, progress_, paramsOnly, false);
  }
  void Read(const std::string& file, int32_t frame = 0) { ReadBytes(ReadAll(file), frame); }
  // Writes the image into the file with the parameters.
  void Write(TIEBitmap& image, TIOParamsVals& params, const std::string& file) {
    abort_ = false;
    TMemoryStream out;
    IEWriteGIFStream(out, image, params, progress_);
    ASSERT_FALSE(abort_.load());
    out.SaveToFile(file);
  }

  TMemoryStream stream_;
  TIEBitmap bitmap_;
  TIOParamsVals params_{nullptr};
  int32_t frames_ = 0;
};

// A GIF made by hand: a 2-entry global table (black, white), no graphic
// control, and one image of the given indexes coded with 2-bit codes.
std::string HandMadeGif(int32_t width, int32_t height, const std::vector<uint8_t>& indexes,
                        const std::string& extensions = "") {
  TMemoryStream s;
  std::string head = std::string("GIF89a") + char(width) + '\0' + char(height) + '\0' + std::string("\x80\x00\x00", 3) +
                     std::string("\x00\x00\x00\xff\xff\xff", 6) + extensions + "\x2c" + std::string(4, '\0') +
                     char(width) + '\0' + char(height) + '\0' + '\0';
  s.WriteBuffer(head.data(), static_cast<int32_t>(head.size()));
  EncodeGIFLZW(s, height, width, false, indexes.data(), 2);
  s.WriteBuffer("\x3b", 1);
  return codectest::Contents(s);
}

TEST_F(GifTest, FramesWrittenByOutsideToolsDecodeAsTheToolsDecodeThem) {
  Shell("/usr/bin/convert -size 31x17 gradient:'#ff8000'-'#0040c0' " + Path("src.ppm"));
  InDir("/usr/bin/convert -size 16x12 xc:red -size 16x12 gradient:blue-yellow -colors 7 "
        "\\( -size 8x6 plasma:fractal -seed 3 -colors 30 -set page +5+3 \\) anim.gif");
  InDir("/usr/bin/convert src.ppm -colors 50 -interlace GIF interlaced.gif");
  InDir("/usr/bin/convert src.ppm -alpha set -channel A -fx 'i<6?0:1' +channel -colors 20 transparent.gif");
  InDir("/usr/bin/convert -size 20x9 pattern:checkerboard -monochrome bw.gif");
  InDir("ppmtogif src.ppm > netpbm.gif 2>/dev/null");
  InDir("ppmtogif -interlace src.ppm > netpbmi.gif 2>/dev/null");
  const struct {
    const char* file;
    int32_t frame, frames;
    TIEPixelFormat format;
    bool alpha;
  } cases[] = {
      {"anim.gif", 0, 3, ie24RGB, false},      {"anim.gif", 1, 3, ie24RGB, false},
      {"anim.gif", 2, 3, ie24RGB, false},      {"interlaced.gif", 0, 1, ie24RGB, false},
      {"transparent.gif", 0, 1, ie24RGB, true}, {"bw.gif", 0, 1, ie1g, false},
      {"netpbm.gif", 0, 1, ie24RGB, false},     {"netpbmi.gif", 0, 1, ie24RGB, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.file) + " frame " + std::to_string(c.frame));
    Read(Path(c.file), c.frame);
    EXPECT_FALSE(abort_.load());
    EXPECT_EQ(frames_, c.frames);
    EXPECT_EQ(params_.GIF_IMAGECOUNT, c.frames);
    EXPECT_EQ(bitmap_.GetPixelFormat(), c.format);
    EXPECT_EQ(bitmap_.HasAlphaChannel(), c.alpha);
    const std::string frame = Path(c.file) + "[" + std::to_string(c.frame) + "]";
    EXPECT_EQ(MaxDifference(BitmapRGBA(bitmap_), MagickRGBA(frame, Path("judge.rgba"))), 0);
  }
  // The third frame's place on the screen and the interlacing come through.
  Read(Path("anim.gif"), 2);
  EXPECT_EQ(params_.GIF_XPOS, 5);
  EXPECT_EQ(params_.GIF_YPOS, 3);
  EXPECT_EQ(params_.GIF_WINWIDTH, 16);
  Read(Path("netpbmi.gif"));
  EXPECT_TRUE(params_.GIF_INTERLACED);
  // Native palette frames keep their indexes and palette.
  params_.ISNATIVEPIXELFORMAT = true;
  Read(Path("interlaced.gif"));
  EXPECT_EQ(bitmap_.GetPixelFormat(), ie8p);
  EXPECT_EQ(MaxDifference(BitmapRGBA(bitmap_), MagickRGBA(Path("interlaced.gif"), Path("judge.rgba"))), 0);
}

TEST_F(GifTest, WrittenFilesDecodeBackInImageMagickAndNetpbm) {
  Shell("/usr/bin/convert -size 29x13 gradient:'#ff0000'-'#00ff80' -colors 60 " + Path("src.gif"));
  Read(Path("src.gif"));
  ASSERT_FALSE(abort_.load());
  TIEBitmap colour;
  colour.Assign(&bitmap_);
  const struct {
    const char* name;
    int32_t bits;
    bool interlaced, alpha;
  } cases[] = {
      {"b8.gif", 8, false, false}, {"b8i.gif", 8, true, false}, {"b8a.gif", 8, false, true},
      {"b1.gif", 1, false, false}, {"b1a.gif", 1, false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TIEBitmap image;
    image.Assign(&colour);
    if (c.bits == 1) image.ConvertToPixelFormat(ie1g);
    if (c.alpha) {
      TIEBitmap* alpha = image.GetAlphaChannel();
      for (int32_t y = 0; y < image.GetHeight(); ++y)
        for (int32_t x = 0; x < image.GetWidth(); ++x) alpha->GetScanline(y)[x] = x < 4 ? 0 : 255;
      alpha->SetFullFlag(false);
    }
    TIOParamsVals params(nullptr);
    params.BITSPERSAMPLE = c.bits;
    params.GIF_INTERLACED = c.interlaced;
    Write(image, params, Path(c.name));
    // 60 colours fit 8 bits exactly; the 1-bit image is already black and white.
    // (The colour under a transparent pixel is not significant.)
    const std::string magick = MagickRGBA(Path(c.name), Path("j.rgba"));
    std::string expected = BitmapRGBA(image);
    for (size_t i = 0; i < expected.size() && i < magick.size(); i += 4)
      if (expected[i + 3] == 0) expected.replace(i, 3, magick.substr(i, 3));
    EXPECT_EQ(MaxDifference(magick, expected), 0);
    std::string opaque = BitmapRGBA(image);
    const std::string netpbm = codectest::NetpbmRGBA("giftopnm " + Path(c.name) + " 2>/dev/null", Path("n.pnm"));
    for (size_t i = 0; i < opaque.size(); i += 4) {
      if (c.alpha && opaque[i + 3] == 0) opaque.replace(i, 3, netpbm.substr(i, 3));
      opaque[i + 3] = static_cast<char>(255);
    }
    EXPECT_EQ(MaxDifference(netpbm, opaque), 0);
    // And in our reader, transparency included.
    Read(Path(c.name));
    EXPECT_EQ(bitmap_.HasAlphaChannel(), c.alpha);
    EXPECT_EQ(params_.GIF_INTERLACED, c.interlaced);
  }
}

TEST_F(GifTest, TransparencyAndIndexesComeOnlyFromTheFile) {
  // Indexes 2 and 3 lie past the two-entry table: they read black, and no
  // white pixel turns transparent without a graphic control saying so.
  ReadBytes(HandMadeGif(4, 1, {0, 1, 2, 3}));
  ASSERT_FALSE(abort_.load());
  EXPECT_FALSE(bitmap_.HasAlphaChannel());
  EXPECT_FALSE(params_.GIF_TRANSPARENT);
  EXPECT_EQ(BitmapRGBA(bitmap_), std::string("\0\0\0\xff\xff\xff\xff\xff\0\0\0\xff\0\0\0\xff", 16));
  // A transparent index past the table makes the pixels transparent but no colour up.
  ReadBytes(HandMadeGif(4, 1, {0, 1, 2, 3}, std::string("\x21\xf9\x04\x01\x00\x00\x07\x00", 8)));
  EXPECT_FALSE(bitmap_.HasAlphaChannel());  // index 7 is never used
  EXPECT_EQ(params_.GIF_TRANSPCOLOR, TRGB{});
  ReadBytes(HandMadeGif(4, 1, {0, 1, 2, 3}, std::string("\x21\xf9\x04\x01\x00\x00\x03\x00", 8)));
  ASSERT_TRUE(bitmap_.HasAlphaChannel());
  EXPECT_EQ(BitmapRGBA(bitmap_).substr(12), std::string("\0\0\0\0", 4));

  // The writer keeps its transparency to itself: a later image without
  // alpha, saved with the same parameters, is opaque.
  TIEBitmap image(6, 2, ie24RGB);
  image.Fill(0);
  image.GetAlphaChannel()->Fill(0);
  image.GetAlphaChannel()->SetFullFlag(false);
  TIOParamsVals params(nullptr);
  Write(image, params, Path("a.gif"));
  EXPECT_FALSE(params.GIF_TRANSPARENT);
  TIEBitmap plain(6, 2, ie24RGB);
  plain.Fill(0);
  Write(plain, params, Path("b.gif"));
  Read(Path("b.gif"));
  EXPECT_FALSE(params_.GIF_TRANSPARENT);
  EXPECT_FALSE(bitmap_.HasAlphaChannel());

  // Background and transparent colours the image lacks still name entries of the table.
  for (int32_t bits : {1, 4, 8}) {
    SCOPED_TRACE(bits);
    TIOParamsVals colours(nullptr);
    colours.BITSPERSAMPLE = bits;
    colours.GIF_BACKGROUND = TRGB{1, 2, 250};
    colours.GIF_TRANSPARENT = true;
    colours.GIF_TRANSPCOLOR = TRGB{7, 200, 7};
    TMemoryStream out;
    abort_ = false;
    IEWriteGIFStream(out, plain, colours, progress_);
    const std::string file = codectest::Contents(out);
    ASSERT_GT(file.size(), 13u);
    const size_t entries = size_t{2} << (file[10] & 7);
    EXPECT_LT(static_cast<uint8_t>(file[11]), entries);
    const size_t control = 13 + 3 * entries;
    ASSERT_EQ(file.substr(control, 3), "\x21\xf9\x04");
    EXPECT_LT(static_cast<uint8_t>(file[control + 6]), entries);
  }
}

TEST_F(GifTest, CommentsAndFrameCopies) {
  TIEBitmap image(3, 3, ie24RGB);
  image.Fill(0);
  TIOParamsVals params(nullptr);
  const std::string longLine(600, 'x');
  params.GIFComments = {"short", longLine};
  Write(image, params, Path("c.gif"));
  // The long line travels in sub-blocks of at most 255 bytes.
  Read(Path("c.gif"));
  ASSERT_EQ(params_.GIFComments.size(), 4u);
  EXPECT_EQ(params_.GIFComments[0], "short");
  EXPECT_EQ(params_.GIFComments[1] + params_.GIFComments[2] + params_.GIFComments[3], longLine);
  // netpbm sees every sub-block whole.
  Shell("giftopnm -comments " + Path("c.gif") + " 2> " + Path("c.txt") + " > /dev/null");
  const std::string seen = ReadAll(Path("c.txt"));
  EXPECT_NE(seen.find("comment: short\n"), std::string::npos);
  EXPECT_NE(seen.find("comment: " + longLine.substr(0, 255) + "\n"), std::string::npos);
  EXPECT_NE(seen.find("comment: " + longLine.substr(0, 90) + "\n"), std::string::npos);

  InDir("/usr/bin/convert -size 5x5 xc:red xc:lime xc:blue three.gif");
  const std::string before = ReadAll(Path("three.gif"));
  EXPECT_EQ(IEDeleteGIFFrame(Path("three.gif"), -1, true), 3);
  TMemoryStream s;
  codectest::Fill(s, before);
  EXPECT_EQ(IEGetGIFImageCount(s), 3);
  EXPECT_EQ(s.Position(), 0);
  EXPECT_EQ(IEDeleteGIFFrame(Path("three.gif"), 1, true), 2);
  Read(Path("three.gif"), 1);
  EXPECT_EQ(frames_, 2);
  EXPECT_EQ(BitmapRGBA(bitmap_).substr(0, 3), std::string("\0\0\xff", 3));  // blue follows red
  // A frame past the last loads nothing and says so; the count is still given.
  Read(Path("three.gif"), 5);
  EXPECT_TRUE(abort_.load());
  EXPECT_EQ(params_.GIF_IMAGECOUNT, 2);
}

TEST_F(GifTest, DamagedAndHostileFilesFailCleanlyWithinLittleMemory) {
  Shell("/usr/bin/convert -size 64x48 plasma:fractal -seed 5 -colors 200 " + Path("a.gif"));
  const std::string good = ReadAll(Path("a.gif"));
  codectest::ExpectCutsFailAndFlipsSurvive(
      good, 97, good.size() - 1, [&](const std::string& bytes) { ReadBytes(bytes); }, abort_);
  ReadBytes("");
  EXPECT_TRUE(abort_.load());
  ReadBytes("\x89PNG not a gif");
  EXPECT_TRUE(abort_.load());
  // A frame declaring 65535 x 65535 over a few bytes of data is refused before allocating.
  std::string huge = HandMadeGif(4, 1, {0, 1, 0, 1});
  huge.replace(24, 4, "\xff\xff\xff\xff");
  rusage before{};
  getrusage(RUSAGE_SELF, &before);
  ReadBytes(huge);
  EXPECT_TRUE(abort_.load());
  for (const auto& file : std::filesystem::directory_iterator(VESK_SOURCE_DIR "/tests/fixtures/hostile")) {
    if (file.path().extension() != ".gif") continue;
    SCOPED_TRACE(file.path().filename().string());
    for (int32_t frame : {0, 1, 499}) {  // a frame read alone covers the frame, not the screen
      Read(file.path().string(), frame);
      EXPECT_LE(bitmap_.GetWidth() * int64_t{bitmap_.GetHeight()}, 1);
    }
  }
  rusage after{};
  getrusage(RUSAGE_SELF, &after);
  EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 16 * 1024);  // kilobytes
}

}  // namespace
