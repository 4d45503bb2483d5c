#include "platform/win/picturedecode.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>
#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace {

namespace fs = std::filesystem;

constexpr int kW = 37, kH = 23;

// A temporary folder with a colourful source picture; ImageMagick writes it
// in each format and is the judge of what each file holds.
struct Fixtures {
  fs::path dir;
  Fixtures() {
    dir = fs::temp_directory_path() / ("picturedecode_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::ofstream ppm(dir / "src.ppm", std::ios::binary);
    ppm << "P6\n" << kW << " " << kH << "\n255\n";
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x)
        ppm.put(static_cast<char>(x * 7)).put(static_cast<char>(y * 11)).put(static_cast<char>((x * y) & 0xFF));
  }
  ~Fixtures() { fs::remove_all(dir); }
};

struct Case {
  const char* name;
  const char* options;  // ImageMagick options before the output
  const char* output;   // output name, with a coder prefix where needed
  PictureFormat format;
  int tolerance;
};

const Case kCases[] = {
    {"png", "", "a.png", PictureFormat::Png, 0},
    {"png palette", "-colors 50", "PNG8:p.png", PictureFormat::Png, 0},
    {"png 16-bit", "-depth 16", "PNG48:w.png", PictureFormat::Png, 0},
    {"png grey", "-colorspace Gray", "g.png", PictureFormat::Png, 0},
    {"jpeg", "-quality 95", "a.jpg", PictureFormat::Jpeg, 3},
    {"jpeg grey", "-colorspace Gray", "g.jpg", PictureFormat::Jpeg, 3},
    {"bmp 24", "-type TrueColor", "BMP3:a.bmp", PictureFormat::Bmp, 0},
    {"bmp 8", "-colors 100 -type Palette", "BMP3:p.bmp", PictureFormat::Bmp, 0},
    {"bmp 4", "-colors 12 -type Palette", "BMP3:q.bmp", PictureFormat::Bmp, 0},
    {"bmp 1", "-monochrome", "BMP3:m.bmp", PictureFormat::Bmp, 0},
    {"bmp 16 5-6-5", "-define bmp:subtype=RGB565", "BMP:r.bmp", PictureFormat::Bmp, 0},
    {"bmp 32 with alpha", "-alpha set -channel A -evaluate set 50% +channel", "BMP:t.bmp", PictureFormat::Bmp, 0},
    {"gif", "-colors 64", "a.gif", PictureFormat::Gif, 0},
    {"gif interlaced", "-colors 64 -interlace GIF", "i.gif", PictureFormat::Gif, 0},
};

std::vector<uint8_t> ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// The file ImageMagick writes for a case.
std::vector<uint8_t> Bytes(const Fixtures& f, const Case& c) {
  std::string out = c.output;
  size_t colon = out.find(':');
  fs::path file = f.dir / out.substr(colon == std::string::npos ? 0 : colon + 1);
  std::string target = colon == std::string::npos ? file.string() : out.substr(0, colon + 1) + file.string();
  std::string cmd = "convert " + (f.dir / "src.ppm").string() + " " + c.options + " " + target + " 2>/dev/null";
  EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
  return ReadFile(file);
}

// ImageMagick's reading of `bytes` as 8-bit RGBA.
std::vector<uint8_t> Judge(const Fixtures& f, const std::vector<uint8_t>& bytes) {
  fs::path in = f.dir / "judged", out = f.dir / "judged.rgba";
  std::ofstream(in, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                            static_cast<std::streamsize>(bytes.size()));
  std::string cmd = "convert " + in.string() + "[0] -depth 8 RGBA:" + out.string();
  EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
  return ReadFile(out);
}

TEST(PictureDecode, EveryFormatGivesThePixelsImageMagickReads) {
  Fixtures f;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> bytes = Bytes(f, c);
    ASSERT_FALSE(bytes.empty());
    EXPECT_EQ(SniffPicture(bytes.data(), bytes.size()), c.format);
    DecodedPicture pic;
    ASSERT_TRUE(DecodePicture(bytes.data(), bytes.size(), pic));
    ASSERT_EQ(pic.width, kW);
    ASSERT_EQ(pic.height, kH);
    std::vector<uint8_t> want = Judge(f, bytes);
    ASSERT_EQ(want.size(), static_cast<size_t>(kW) * kH * 4);
    for (int i = 0; i < kW * kH; ++i) {
      uint32_t got = pic.pixels[static_cast<size_t>(i)];
      const int channels[4] = {static_cast<int>((got >> 16) & 0xFF), static_cast<int>((got >> 8) & 0xFF),
                               static_cast<int>(got & 0xFF), static_cast<int>(got >> 24)};
      for (int k = 0; k < 4; ++k)
        ASSERT_NEAR(channels[k], want[static_cast<size_t>(i) * 4 + k], c.tolerance)
            << "pixel " << i << " channel " << k;
    }
  }
}

// Truncated and damaged files fail cleanly or decode to the right size.
TEST(PictureDecode, TruncatedAndCorruptInputIsSurvived) {
  Fixtures f;
  std::mt19937 rng(7);
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> bytes = Bytes(f, c);
    for (size_t n = 0; n < bytes.size(); n += std::max<size_t>(1, bytes.size() / 60)) {
      DecodedPicture pic;
      if (DecodePicture(bytes.data(), n, pic)) {
        EXPECT_EQ(pic.pixels.size(), static_cast<size_t>(pic.width) * pic.height);
      } else {
        EXPECT_TRUE(pic.pixels.empty());
      }
    }
    for (int round = 0; round < 40; ++round) {
      std::vector<uint8_t> broken = bytes;
      for (int k = 0; k < 4; ++k) broken[rng() % broken.size()] = static_cast<uint8_t>(rng());
      DecodedPicture pic;
      if (DecodePicture(broken.data(), broken.size(), pic)) {
        EXPECT_EQ(pic.pixels.size(), static_cast<size_t>(pic.width) * pic.height);
      }
    }
  }
}

TEST(PictureDecode, OversizedHeadersAreRefusedBeforeAllocating) {
  // A BMP header claiming 60000 x 60000 pixels with no pixel data.
  std::vector<uint8_t> bmp(54, 0);
  bmp[0] = 'B';
  bmp[1] = 'M';
  bmp[10] = 54;
  bmp[14] = 40;
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bmp[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  put32(18, 60000);
  put32(22, 60000);
  bmp[26] = 1;
  bmp[28] = 24;
  DecodedPicture pic;
  EXPECT_FALSE(DecodeBmp(bmp.data(), bmp.size(), pic));

  // A 1 x 1 GIF on a logical screen of 65535 x 65535: the picture is the
  // screen as far as the image reaches, not the whole screen.
  const uint8_t gif[] = {'G', 'I', 'F', '8', '9', 'a', 0xFF, 0xFF, 0xFF, 0xFF, 0x80, 0, 0, 0, 0, 0, 255, 255, 255,
                         0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x44, 0x01, 0, 0x3B};
  ASSERT_TRUE(DecodeGif(gif, sizeof gif, pic));
  EXPECT_EQ(pic.width, 1);
  EXPECT_EQ(pic.height, 1);

  // A 69-byte PNG claiming 16384 x 8192 pixels (within the pixel bound)
  // cannot hold them: refused without taking the half gigabyte they need.
  const uint8_t png[] = {
      0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52, 0x00, 0x00,
      0x40, 0x00, 0x00, 0x00, 0x20, 0x00, 0x08, 0x06, 0x00, 0x00, 0x00, 0x22, 0x7E, 0x5C, 0x61, 0x00, 0x00, 0x00,
      0x0C, 0x49, 0x44, 0x41, 0x54, 0x78, 0x9C, 0x63, 0x60, 0xA0, 0x0C, 0x00, 0x00, 0x00, 0x40, 0x00, 0x01, 0xB7,
      0x34, 0x7C, 0xEF, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};
  rusage before{}, after{};
  getrusage(RUSAGE_SELF, &before);
  EXPECT_FALSE(DecodePng(png, sizeof png, pic));
  getrusage(RUSAGE_SELF, &after);
  EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 128 * 1024) << "kilobytes";

  EXPECT_FALSE(DecodePicture(nullptr, 0, pic));
  const uint8_t junk[] = {1, 2, 3, 4};
  EXPECT_EQ(SniffPicture(junk, sizeof junk), PictureFormat::Unknown);
}

// How much the process's peak memory grows while `decode` runs, in
// kilobytes (the peak is reset first, so earlier cases cannot hide it).
template <typename F>
long PeakGrowthKb(F decode) {
  std::ofstream("/proc/self/clear_refs") << "5";
  rusage before{}, after{};
  getrusage(RUSAGE_SELF, &before);
  decode();
  getrusage(RUSAGE_SELF, &after);
  return after.ru_maxrss - before.ru_maxrss;
}

// Small files whose headers declare 16384 x 8192 pixels (the most allowed)
// but whose data ends after a few rows: refused without taking the half
// gigabyte the whole picture would need.
TEST(PictureDecode, DataEndingEarlyCostsOnlyTheRowsItHolds) {
  Fixtures f;
  std::vector<uint8_t> jpeg = Bytes(f, kCases[4]);
  ASSERT_GT(jpeg.size(), 200u);
  // The frame header gives height and width after its length and precision.
  size_t sof = 2;
  while (sof + 9 < jpeg.size() && !(jpeg[sof] == 0xFF && jpeg[sof + 1] == 0xC0)) ++sof;
  ASSERT_LT(sof + 9, jpeg.size());
  std::vector<uint8_t> hugeJpeg = jpeg;
  const uint8_t dims[4] = {0x20, 0x00, 0x40, 0x00};
  std::copy(dims, dims + 4, hugeJpeg.begin() + static_cast<std::ptrdiff_t>(sof + 5));

  const std::vector<uint8_t> hugeGif = {'G', 'I', 'F', '8', '9', 'a', 0x00, 0x40, 0x00, 0x20, 0x80, 0, 0,
                                        0, 0, 0, 255, 255, 255, 0x2C, 0, 0, 0, 0, 0x00, 0x40, 0x00,
                                        0x20, 0, 2, 2, 0x44, 0x01, 0, 0x3B};
  struct Hostile {
    const char* name;
    const std::vector<uint8_t>& bytes;
    bool (*decode)(const uint8_t*, size_t, DecodedPicture&);
  };
  for (const Hostile& c : {Hostile{"jpeg", hugeJpeg, DecodeJpeg}, Hostile{"gif", hugeGif, DecodeGif}}) {
    SCOPED_TRACE(c.name);
    DecodedPicture pic;
    bool ok = true;
    EXPECT_LT(PeakGrowthKb([&] { ok = c.decode(c.bytes.data(), c.bytes.size(), pic); }), 64 * 1024);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(pic.pixels.empty());
  }

  // A JPEG lacking only its end marker still gives every row; one cut in
  // the middle of its data does not.
  DecodedPicture pic;
  ASSERT_EQ(jpeg[jpeg.size() - 2], 0xFF);
  EXPECT_TRUE(DecodeJpeg(jpeg.data(), jpeg.size() - 2, pic));
  EXPECT_EQ(pic.pixels.size(), static_cast<size_t>(kW) * kH);
  EXPECT_FALSE(DecodeJpeg(jpeg.data(), sof + (jpeg.size() - sof) / 2, pic));
}

}  // namespace

namespace {

// A bitmap of two colours (black, white), run-length coded by `codes`.
std::vector<uint8_t> RleBitmap(int32_t w, int32_t h, uint32_t compression, const std::vector<uint8_t>& codes) {
  std::vector<uint8_t> f(14 + 40 + 8, 0);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) f[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  f[0] = 'B';
  f[1] = 'M';
  put32(10, 14 + 40 + 8);  // pixel data after two palette entries
  put32(14, 40);
  put32(18, static_cast<uint32_t>(w));
  put32(22, static_cast<uint32_t>(h));
  f[26] = 1;
  f[28] = compression == 2 ? 4 : 8;
  put32(30, compression);
  put32(46, 2);  // two colours
  const uint8_t palette[8] = {0, 0, 0, 0, 255, 255, 255, 0};
  std::copy(std::begin(palette), std::end(palette), f.begin() + 54);
  f.insert(f.end(), codes.begin(), codes.end());
  return f;
}

// A 4 x 2 RLE4 bitmap made by hand: a run, an end of line, literal pixels
// and an end of bitmap; what the codes skip stays black.
TEST(PictureDecode, RunLengthFourBitBitmap) {
  const std::vector<uint8_t> f = RleBitmap(4, 2, 2, {4, 0x10, 0, 0, 0, 3, 0x11, 0x10, 0, 1});
  DecodedPicture pic;
  ASSERT_TRUE(DecodeBmp(f.data(), f.size(), pic));
  const uint32_t W = 0xFFFFFFFFu, B = 0xFF000000u;
  const std::vector<uint32_t> want = {W, W, W, B,   // top row: literal pixels, one skipped
                                      W, B, W, B};  // bottom row: the run
  EXPECT_EQ(pic.pixels, want);
}

// Millions of "move right" codes on one row carry the position far past the
// picture (once past the range of an int): later pixels of that row are
// dropped, never written before the picture.
TEST(PictureDecode, RunLengthMovesFarPastTheRowAreClipped) {
  std::vector<uint8_t> codes;
  const uint8_t move[] = {0, 2, 255, 0};
  for (int i = 0; i < 8500000; ++i) codes.insert(codes.end(), std::begin(move), std::end(move));
  const uint8_t tail[] = {4, 1, 0, 0, 1, 1, 0, 1};  // four white pixels; next row: one white pixel; end
  codes.insert(codes.end(), std::begin(tail), std::end(tail));
  const std::vector<uint8_t> f = RleBitmap(2, 2, 1, codes);
  DecodedPicture pic;
  ASSERT_TRUE(DecodeBmp(f.data(), f.size(), pic));
  const uint32_t W = 0xFFFFFFFFu, B = 0xFF000000u;
  EXPECT_EQ(pic.pixels, (std::vector<uint32_t>{W, B, B, B}));
}

}  // namespace
