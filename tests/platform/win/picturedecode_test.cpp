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
    {"jpeg progressive", "-quality 90 -interlace JPEG", "pr.jpg", PictureFormat::Jpeg, 3},
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

// ImageMagick's reading of `bytes` as 8-bit RGBA; `coder` names the format
// where the bytes alone do not ("CUR:").
std::vector<uint8_t> Judge(const Fixtures& f, const std::vector<uint8_t>& bytes, const std::string& coder = "") {
  fs::path in = f.dir / "judged", out = f.dir / "judged.rgba";
  std::ofstream(in, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                            static_cast<std::streamsize>(bytes.size()));
  std::string cmd = "convert " + coder + in.string() + "[0] -depth 8 RGBA:" + out.string();
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

// Small files whose headers declare pictures near 16384 x 8192 pixels (the
// most allowed) but whose data ends after a few rows, or after a few blocks
// of a progressive file's first scan: refused without taking the half
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
  // A progressive (several scans) grey JPEG of 16387 x 7680 whose first
  // scan holds 40 bytes, a few hundred of its two million blocks.
  std::vector<uint8_t> progressive = {0xFF, 0xD8, 0xFF, 0xDB, 0x00, 0x43, 0x00};
  progressive.insert(progressive.end(), 64, 1);  // quantisation table
  const std::vector<uint8_t> frame = {0xFF, 0xC2, 0x00, 0x0B, 0x08, 0x1E, 0x00, 0x40, 0x03, 0x01, 0x01, 0x11, 0x00,
                                      // one DC code, "0" for a difference of 0
                                      0xFF, 0xC4, 0x00, 0x14, 0x00, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                      0x00,
                                      // the first DC scan
                                      0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00};
  progressive.insert(progressive.end(), frame.begin(), frame.end());
  progressive.insert(progressive.end(), 40, 0x00);
  progressive.insert(progressive.end(), {0xFF, 0xD9});

  struct Hostile {
    const char* name;
    const std::vector<uint8_t>& bytes;
    bool (*decode)(const uint8_t*, size_t, DecodedPicture&);
  };
  for (const Hostile& c : {Hostile{"jpeg", hugeJpeg, DecodeJpeg}, Hostile{"progressive jpeg", progressive, DecodeJpeg},
                           Hostile{"gif", hugeGif, DecodeGif}}) {
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

namespace {

// ---- icon and cursor files ----

// A 1-bit image of a cursor file: 'X' black, 'o' white, '.' transparent.
struct CursorImage {
  std::vector<std::string> rows;
  uint16_t hotX = 0, hotY = 0;
};

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// The DIB of one image: header, black and white palette, colour rows and
// mask rows, each from the bottom up.
std::vector<uint8_t> CursorDib(const CursorImage& image) {
  const auto w = static_cast<uint32_t>(image.rows[0].size()), h = static_cast<uint32_t>(image.rows.size());
  const size_t stride = (w + 31) / 32 * 4;
  std::vector<uint8_t> colour, mask;
  for (auto row = image.rows.rbegin(); row != image.rows.rend(); ++row) {
    std::vector<uint8_t> c(stride, 0), m(stride, 0);
    for (size_t x = 0; x < w; ++x) {
      const auto bit = static_cast<uint8_t>(0x80 >> (x % 8));
      if ((*row)[x] == 'o') c[x / 8] |= bit;
      if ((*row)[x] == '.') m[x / 8] |= bit;
    }
    colour.insert(colour.end(), c.begin(), c.end());
    mask.insert(mask.end(), m.begin(), m.end());
  }
  std::vector<uint8_t> dib;
  Put32(dib, 40);
  Put32(dib, w);
  Put32(dib, 2 * h);
  Put16(dib, 1);
  Put16(dib, 1);
  // No compression, no sizes; two colours used, both important.
  for (uint32_t v : {0, 0, 0, 0, 2, 2}) Put32(dib, v);
  Put32(dib, 0x000000);
  Put32(dib, 0xFFFFFF);
  dib.insert(dib.end(), colour.begin(), colour.end());
  dib.insert(dib.end(), mask.begin(), mask.end());
  return dib;
}

std::vector<uint8_t> CursorFile(const std::vector<CursorImage>& images, uint16_t type = kCursorFileType) {
  std::vector<uint8_t> file;
  Put16(file, 0);
  Put16(file, type);
  Put16(file, static_cast<uint32_t>(images.size()));
  std::vector<uint8_t> data;
  for (const CursorImage& image : images) {
    const std::vector<uint8_t> dib = CursorDib(image);
    file.push_back(static_cast<uint8_t>(image.rows[0].size()));
    file.push_back(static_cast<uint8_t>(image.rows.size()));
    Put16(file, 2);
    Put16(file, image.hotX);
    Put16(file, image.hotY);
    Put32(file, static_cast<uint32_t>(dib.size()));
    Put32(file, static_cast<uint32_t>(6 + 16 * images.size() + data.size()));
    data.insert(data.end(), dib.begin(), dib.end());
  }
  file.insert(file.end(), data.begin(), data.end());
  return file;
}

const CursorImage kSmall{{"X.", "oX"}, 1, 1};
const CursorImage kLarge{{"Xo..", "oX..", "..Xo"}, 2, 1};

// The largest image is taken with its own hot spot; set mask bits are
// transparent, the others show the palette's colour.
TEST(CursorFiles, TheLargestImageWithItsHotSpotAndMask) {
  const std::vector<uint8_t> file = CursorFile({kSmall, kLarge});
  DecodedIcon cursor;
  ASSERT_TRUE(DecodeIconFile(file.data(), file.size(), kCursorFileType, cursor));
  EXPECT_EQ(cursor.picture.width, 4);
  EXPECT_EQ(cursor.picture.height, 3);
  EXPECT_EQ(cursor.hotSpotX, 2);
  EXPECT_EQ(cursor.hotSpotY, 1);
  const uint32_t B = 0xFF000000u, W = 0xFFFFFFFFu;
  const std::vector<uint32_t> want = {B, W, 0, 0, W, B, 0, 0, 0, 0, B, W};
  ASSERT_EQ(cursor.picture.pixels.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i)
    EXPECT_EQ(want[i] ? cursor.picture.pixels[i] : cursor.picture.pixels[i] >> 24, want[i]) << i;
  EXPECT_TRUE(cursor.picture.hasAlpha);
}

// Hot spots off the picture come to its nearest pixel; an icon file is no
// cursor file and the other way round, and an icon has no hot spot.
TEST(CursorFiles, HotSpotsStayOnThePictureAndTypesAreKept) {
  const std::vector<uint8_t> far = CursorFile({CursorImage{kLarge.rows, 40, 2}});
  DecodedIcon cursor;
  ASSERT_TRUE(DecodeIconFile(far.data(), far.size(), kCursorFileType, cursor));
  EXPECT_EQ(cursor.hotSpotX, 3);
  EXPECT_EQ(cursor.hotSpotY, 2);
  EXPECT_FALSE(DecodeIconFile(far.data(), far.size(), kIconFileType, cursor));
  EXPECT_TRUE(cursor.picture.pixels.empty());
  const std::vector<uint8_t> icon = CursorFile({kLarge}, kIconFileType);
  EXPECT_FALSE(DecodeIconFile(icon.data(), icon.size(), kCursorFileType, cursor));
  ASSERT_TRUE(DecodeIconFile(icon.data(), icon.size(), kIconFileType, cursor));
  EXPECT_EQ(cursor.hotSpotX, 0);
  EXPECT_EQ(cursor.hotSpotY, 0);
}

// Damaged cursor files fail cleanly; cut anywhere they fail or decode to a
// picture of consistent size.
TEST(CursorFiles, DamagedFilesFailCleanly) {
  const std::vector<uint8_t> good = CursorFile({kLarge});
  constexpr size_t kEntry = 6, kDib = 6 + 16;
  auto with = [&](size_t at, std::initializer_list<uint8_t> bytes) {
    std::vector<uint8_t> f = good;
    std::copy(bytes.begin(), bytes.end(), f.begin() + static_cast<std::ptrdiff_t>(at));
    return f;
  };
  const struct {
    const char* name;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"no images", with(4, {0, 0})},
      {"more images than the directory holds", with(4, {0xFF, 0xFF})},
      {"reserved word set", with(0, {1})},
      {"image placed outside the file", with(kEntry + 12, {0xFF, 0xFF, 0, 0})},
      {"image longer than the file", with(kEntry + 8, {0xFF, 0xFF, 0, 0})},
      {"header claiming a huge picture", with(kDib + 4, {0x60, 0xEA, 0, 0, 0xC0, 0xD4, 1, 0})},
      {"no height", with(kDib + 8, {1, 0, 0, 0})},
      {"no bits per pixel", with(kDib + 14, {0, 0})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    DecodedIcon cursor;
    EXPECT_FALSE(DecodeIconFile(c.bytes.data(), c.bytes.size(), kCursorFileType, cursor));
    EXPECT_TRUE(cursor.picture.pixels.empty());
  }
  for (size_t n = 0; n <= good.size(); ++n) {
    DecodedIcon cursor;
    if (DecodeIconFile(good.data(), n, kCursorFileType, cursor)) {
      EXPECT_EQ(cursor.picture.pixels.size(), size_t(cursor.picture.width) * size_t(cursor.picture.height)) << n;
    } else {
      EXPECT_TRUE(cursor.picture.pixels.empty()) << n;
    }
  }
  DecodedIcon cursor;
  EXPECT_FALSE(DecodeIconFile(nullptr, 0, kCursorFileType, cursor));
}

// The program's own cursors, read by ImageMagick too: the same transparency,
// and the same colours where they show.
TEST(CursorFiles, TheProgramsCursorsGiveThePixelsImageMagickReads) {
  Fixtures f;
  int files = 0;
  for (const auto& entry : fs::directory_iterator(VESK_SOURCE_DIR "/data/resources/CURSOR")) {
    SCOPED_TRACE(entry.path().filename().string());
    const std::vector<uint8_t> bytes = ReadFile(entry.path());
    DecodedIcon cursor;
    ASSERT_TRUE(DecodeIconFile(bytes.data(), bytes.size(), kCursorFileType, cursor));
    EXPECT_EQ(cursor.picture.width, 32);
    EXPECT_EQ(cursor.picture.height, 32);
    const std::vector<uint8_t> want = Judge(f, bytes, "CUR:");
    ASSERT_EQ(want.size(), size_t{32} * 32 * 4);
    for (size_t i = 0; i < 32 * 32; ++i) {
      const uint32_t got = cursor.picture.pixels[i];
      ASSERT_EQ(got >> 24, want[i * 4 + 3]) << "pixel " << i;
      if (want[i * 4 + 3]) {
        ASSERT_EQ(got & 0xFFFFFF, uint32_t{want[i * 4]} << 16 | want[i * 4 + 1] << 8 | want[i * 4 + 2]) << i;
      }
    }
    ++files;
  }
  EXPECT_GE(files, 22);
}

}  // namespace
