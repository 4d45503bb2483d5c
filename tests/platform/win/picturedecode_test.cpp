#include "platform/win/picturedecode.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace {

namespace fs = std::filesystem;

constexpr int kW = 7, kH = 5;

// The test picture: distinct primary-ish colours per pixel (few colours,
// so GIF and 8-bit BMP keep them exactly).
uint32_t Expected(int x, int y) {
  static const uint32_t colours[] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu, 0xFF000000u, 0xFFFFFF00u};
  return colours[(x + 2 * y) % 6];
}

struct Fixtures {
  fs::path dir;
  Fixtures() {
    dir = fs::temp_directory_path() / ("picturedecode_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::ofstream ppm(dir / "src.ppm", std::ios::binary);
    ppm << "P6\n" << kW << " " << kH << "\n255\n";
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) {
        uint32_t p = Expected(x, y);
        ppm.put(static_cast<char>(p >> 16)).put(static_cast<char>(p >> 8)).put(static_cast<char>(p));
      }
  }
  ~Fixtures() { fs::remove_all(dir); }
};

struct Case {
  const char* name;
  const char* file;
  const char* options;
  PictureFormat format;
  int tolerance;
};

const Case kCases[] = {
    {"png", "a.png", "", PictureFormat::Png, 0},
    {"png palette", "p.png", "-type Palette PNG8:", PictureFormat::Png, 0},
    {"jpeg", "a.jpg", "-quality 100 -sampling-factor 1x1", PictureFormat::Jpeg, 48},
    {"bmp 24", "a.bmp", "-type TrueColor BMP3:", PictureFormat::Bmp, 0},
    {"bmp 8", "p.bmp", "-type Palette BMP3:", PictureFormat::Bmp, 0},
    {"bmp 32 v5", "t.bmp", "-type TrueColorAlpha BMP:", PictureFormat::Bmp, 0},
    {"gif", "a.gif", "", PictureFormat::Gif, 0},
    {"gif interlaced", "i.gif", "-interlace GIF", PictureFormat::Gif, 0},
};

std::vector<uint8_t> Bytes(Fixtures& f, const Case& c) {
  std::string file = c.file;
  std::string opts = c.options;
  // Options ending in a coder prefix ("BMP3:") apply to the output name.
  std::string prefix;
  if (!opts.empty() && opts.back() == ':') {
    size_t sp = opts.rfind(' ');
    prefix = opts.substr(sp == std::string::npos ? 0 : sp + 1);
    opts = sp == std::string::npos ? "" : opts.substr(0, sp);
  }
  fs::path out = f.dir / file;
  std::string cmd = "convert " + (f.dir / "src.ppm").string() + " " + opts + " " + prefix + out.string();
  EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
  std::ifstream in(out, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST(PictureDecode, EveryFormatGivesTheWrittenPixels) {
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
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) {
        uint32_t got = pic.pixels[static_cast<size_t>(y) * kW + x], want = Expected(x, y);
        for (int k = 0; k < 32; k += 8)
          ASSERT_NEAR(static_cast<int>((got >> k) & 0xFF), static_cast<int>((want >> k) & 0xFF), c.tolerance)
              << x << "," << y;
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

  // A GIF whose logical screen is 65535 x 65535.
  const uint8_t gif[] = {'G', 'I', 'F', '8', '9', 'a', 0xFF, 0xFF, 0xFF, 0xFF, 0x80, 0, 0, 0, 0, 0, 255, 255, 255,
                         0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x44, 0x01, 0, 0x3B};
  EXPECT_FALSE(DecodeGif(gif, sizeof gif, pic));
  EXPECT_FALSE(DecodePicture(nullptr, 0, pic));
  const uint8_t junk[] = {1, 2, 3, 4};
  EXPECT_EQ(SniffPicture(junk, sizeof junk), PictureFormat::Unknown);
}

}  // namespace
