// The bitmap reader and writer and their run-length coding, judged by
// ImageMagick and netpbm.
#include <cstring>

#include "imaging/io/imageryio_detect.h"
#include "tests/imaging/codecs/bmpfilt_test_support.h"

using namespace bmptest;

namespace {

class BmpTest : public BmpFamilyTest {
protected:
  using TRead = TReadResult;
  TRead Read(TStream& stream, bool native = false, bool ignoreAlpha = false) {
    TRead r;
    r.params->ISNATIVEPIXELFORMAT = native;
    abort_ = false;
    IEReadBMPStream(stream, r.bitmap.get(), 0, *r.params, progress_, false, false, r.mask, ignoreAlpha);
    r.aborted = abort_;
    return r;
  }
  TRead ReadFile(const std::string& name, bool native = false) { return Read(*FileStream(Path(name)), native); }
  TRead ReadBytes(const std::string& bytes) {
    auto input = BytesStream(bytes);
    TStream& stream = *input;
    return Read(stream);
  }
  std::string Write(TIEBitmap& bitmap, TIOParamsVals& params, bool saveAlpha = false) {
    TMemoryStream stream;
    abort_ = false;
    IEWriteBMPStream(stream, bitmap, params, progress_, saveAlpha);
    EXPECT_FALSE(abort_);
    return StreamBytes(stream);
  }
};

// A test picture with a few distinct colours per row and column.
void Paint(TIEBitmap& bitmap, int32_t colours) {
  for (int32_t y = 0; y < bitmap.GetHeight(); ++y)
    for (int32_t x = 0; x < bitmap.GetWidth(); ++x) {
      const int32_t k = (x / 3 + y / 2) % colours;
      bitmap.SetPixel24(x, y, TRGB{static_cast<uint8_t>(k * 37), static_cast<uint8_t>(255 - k * 20),
                                   static_cast<uint8_t>((k * 91) & 255)});
    }
}

// A bitmap file around a 40-byte header, a table and the pixel bytes.
std::string BmpFile(int32_t width, int32_t height, int32_t bits, uint32_t compression, const std::string& table,
                    const std::string& pixels) {
  std::string info(40, '\0');
  auto put32 = [](std::string& s, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
  };
  put32(info, 0, 40);
  put32(info, 4, static_cast<uint32_t>(width));
  put32(info, 8, static_cast<uint32_t>(height));
  info[12] = 1;
  info[14] = static_cast<char>(bits);
  put32(info, 16, compression);
  put32(info, 20, static_cast<uint32_t>(pixels.size()));
  std::string file = "BM" + std::string(12, '\0');
  put32(file, 2, static_cast<uint32_t>(14 + info.size() + table.size() + pixels.size()));
  put32(file, 10, static_cast<uint32_t>(14 + info.size() + table.size()));
  return file + info + table + pixels;
}

std::string Bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s += static_cast<char>(v);
  return s;
}

// ---- reading what ImageMagick wrote -------------------------------------------------------

TEST_F(BmpTest, ReadsEveryDepthAndCompressionThatImageMagickWrites) {
  Magick("-size 37x23 gradient:red-blue -fill yellow -draw 'circle 18,11 18,4' source.png");
  Magick("-size 37x23 gradient:white-black source_alpha.png");
  struct TCase {
    const char* name;
    const char* arguments;
    int32_t tolerance;
    int32_t bitsPerSample;
  };
  const TCase cases[] = {
      {"24.bmp", "source.png -type TrueColor BMP3:24.bmp", 0, 8},
      {"32.bmp", "source.png source_alpha.png -alpha off -compose CopyOpacity -composite BMP:32.bmp", 0, 8},
      {"8.bmp", "source.png -colors 200 -type Palette -compress None BMP3:8.bmp", 0, 8},
      {"8rle.bmp", "source.png -colors 200 -type Palette -compress RLE BMP3:8rle.bmp", 0, 8},
      {"4.bmp", "source.png -colors 12 -type Palette -compress None BMP3:4.bmp", 0, 4},
      {"1.bmp", "source.png -monochrome BMP3:1.bmp", 0, 1},
      // 5- and 6-bit samples: ImageMagick repeats the high bits below, we leave them 0.
      {"565.bmp", "source.png -define bmp:subtype=RGB565 BMP:565.bmp", 7, 5},
      {"555.bmp", "source.png -define bmp:subtype=RGB555 BMP:555.bmp", 7, 5},
      {"os2_8.bmp", "source.png -colors 200 -type Palette BMP2:os2_8.bmp", 0, 8},
      {"os2_24.bmp", "source.png -type TrueColor BMP2:os2_24.bmp", 0, 8},
  };
  for (const TCase& c : cases) {
    Magick(c.arguments);
    const TRgbaImage reference = Decoded(c.name);
    for (bool native : {false, true}) {
      TRead r = ReadFile(c.name, native);
      EXPECT_FALSE(r.aborted) << c.name;
      EXPECT_EQ(r.params->BITSPERSAMPLE, c.bitsPerSample) << c.name;
      ExpectSameImage(*r.bitmap, r.mask.get(), reference, c.tolerance, true, c.name);
    }
  }
}

TEST_F(BmpTest, NativeReadsKeepPaletteIndexes) {
  Magick("-size 20x10 gradient:red-blue -colors 12 -type Palette -compress None BMP3:4.bmp");
  TRead r = ReadFile("4.bmp", true);
  EXPECT_EQ(r.bitmap->GetPixelFormat(), ie8p);
  EXPECT_EQ(r.bitmap->GetPaletteUsed(), 16);
  EXPECT_EQ(r.params->BMP_VERSION, 1);
  ExpectSameImage(*r.bitmap, nullptr, Decoded("4.bmp"), 0, false, "native 4-bit");
}

// ---- variants made by hand ---------------------------------------------------------------------

TEST_F(BmpTest, TopDownThirtyTwoBitsKeepAlphaUnderItsPixel) {
  // 2 x 2, top-down: row 0 red (alpha 10) and green (20), row 1 blue (30) and white (40).
  const std::string pixels = Bytes({0, 0, 255, 10, 0, 255, 0, 20, 255, 0, 0, 30, 255, 255, 255, 40});
  TRead r = ReadBytes(BmpFile(2, -2, 32, 0, "", pixels));
  ASSERT_FALSE(r.aborted);
  ASSERT_TRUE(r.mask);
  EXPECT_EQ(r.bitmap->GetPixel24(0, 0), (TRGB{0, 0, 255}));
  EXPECT_EQ(r.bitmap->GetPixel24(1, 1), (TRGB{255, 255, 255}));
  const int expected[2][2] = {{10, 20}, {30, 40}};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 2; ++x) EXPECT_EQ(r.mask->GetPixel(x, y), expected[y][x]) << x << "," << y;
}

TEST_F(BmpTest, UniformFourthBytesGiveNoMask) {
  for (int alpha : {0, 255}) {
    const std::string pixels = Bytes({1, 2, 3, alpha, 4, 5, 6, alpha});
    TRead r = ReadBytes(BmpFile(2, 1, 32, 0, "", pixels));
    EXPECT_FALSE(r.aborted);
    EXPECT_FALSE(r.mask) << alpha;
  }
}

TEST_F(BmpTest, SixteenBitsWithoutMasksAreFiveFiveFive) {
  // 0x7FFF: all three channels 31; 0x7C00: red alone.
  TRead r = ReadBytes(BmpFile(2, 1, 16, 0, "", Bytes({0xFF, 0x7F, 0x00, 0x7C})));
  ASSERT_FALSE(r.aborted);
  EXPECT_EQ(r.bitmap->GetPixel24(0, 0), (TRGB{248, 248, 248}));
  EXPECT_EQ(r.bitmap->GetPixel24(1, 0), (TRGB{0, 0, 248}));
}

TEST_F(BmpTest, HeaderMasksOfLaterHeadersAreUsedAndZeroMasksReadAsZero) {
  // A 56-byte header with 5-6-5 masks inside it, then one with a zero green mask.
  for (uint32_t green : {0x07E0u, 0u}) {
    std::string file = BmpFile(1, 1, 16, 3, "", Bytes({0xFF, 0xFF, 0, 0}));
    std::string masks = Bytes({0x00, 0xF8, 0, 0, static_cast<int>(green & 0xFF), static_cast<int>(green >> 8), 0, 0,
                               0x1F, 0, 0, 0, 0, 0, 0, 0});
    file.insert(14 + 40, masks);
    file[14] = 56;
    file[10] = static_cast<char>(14 + 56);
    TRead r = ReadBytes(file);
    ASSERT_FALSE(r.aborted);
    EXPECT_EQ(r.bitmap->GetPixel24(0, 0), (TRGB{248, static_cast<uint8_t>(green ? 252 : 0), 248}));
  }
}

TEST_F(BmpTest, WhiteBlackTableGivesThePictureOfInvertedBits) {
  const std::string blackWhite = Bytes({0, 0, 0, 0, 255, 255, 255, 0});
  const std::string whiteBlack = Bytes({255, 255, 255, 0, 0, 0, 0, 0});
  TRead a = ReadBytes(BmpFile(8, 1, 1, 0, blackWhite, Bytes({0xA5, 0, 0, 0})));
  TRead b = ReadBytes(BmpFile(8, 1, 1, 0, whiteBlack, Bytes({0x5A, 0, 0, 0})));
  ASSERT_EQ(a.bitmap->GetPixelFormat(), ie1g);
  ASSERT_EQ(b.bitmap->GetPixelFormat(), ie1g);
  EXPECT_EQ(a.bitmap->GetScanline(0)[0], 0xA5);
  EXPECT_EQ(b.bitmap->GetScanline(0)[0], 0xA5);
  // A table of other colours keeps them.
  TRead colour = ReadBytes(BmpFile(8, 1, 1, 0, Bytes({0, 0, 255, 0, 255, 0, 0, 0}), Bytes({0x80, 0, 0, 0})));
  ASSERT_EQ(colour.bitmap->GetPixelFormat(), ie24RGB);
  EXPECT_EQ(colour.bitmap->GetPixel24(0, 0), (TRGB{255, 0, 0}));
  EXPECT_EQ(colour.bitmap->GetPixel24(1, 0), (TRGB{0, 0, 255}));
}

TEST_F(BmpTest, IndexesPastTheColourTableReadAsBlack) {
  // Two table entries, pixel indexes 1 and 200.
  std::string file = BmpFile(2, 1, 8, 0, Bytes({0, 0, 0, 0, 10, 20, 30, 0}), Bytes({1, 200, 0, 0}));
  file[14 + 32] = 2;  // colours used
  TRead r = ReadBytes(file);
  ASSERT_FALSE(r.aborted);
  EXPECT_EQ(r.bitmap->GetPixel24(0, 0), (TRGB{10, 20, 30}));
  EXPECT_EQ(r.bitmap->GetPixel24(1, 0), (TRGB{}));
}

TEST_F(BmpTest, RunLengthFourWithDeltaDecodesByHand) {
  // 6 x 2, bottom-up. Bottom row: a run of 3 of (1,2), then delta 1 right, then absolute 2,1.
  // Top row: a run of 8 pixels of 3 (the last two past the row are dropped).
  std::string table;
  for (int i = 0; i < 16; ++i) table += Bytes({i * 10, i * 10, i * 10, 0});
  const std::string data = Bytes({3, 0x12, 0, 2, 1, 0, 2, 0x21, 0, 0, 8, 0x33, 0, 1});
  TRead r = ReadBytes(BmpFile(6, 2, 4, 2, table, data));
  ASSERT_FALSE(r.aborted);
  const int bottom[6] = {1, 2, 1, -1, 2, 1};
  for (int x = 0; x < 6; ++x) {
    if (bottom[x] < 0) continue;
    EXPECT_EQ(r.bitmap->GetPixel24(x, 1).r, bottom[x] * 10) << x;
  }
  for (int x = 0; x < 6; ++x) EXPECT_EQ(r.bitmap->GetPixel24(x, 0).r, 30) << x;
}

TEST_F(BmpTest, RunLengthDecodersBoundEveryColumnAndRow) {
  TIEBitmap eight(3, 2, ie8p);
  eight.Fill(0);
  // Bottom row: a run of 4 whose last pixel lies past the row, a pixel past
  // it, a delta far past the row and a run there (all dropped); top row: a
  // run, then a delta below the last row.
  const uint8_t data[] = {4, 7, 1, 9, 0, 2, 250, 0, 2, 5, 0, 0, 2, 4, 0, 2, 0, 5, 3, 8};
  IEDecodeBMPRLE8(eight, data, sizeof data, 0, progress_, nullptr, 0);
  EXPECT_EQ(eight.GetPixel8(0, 1), 7);
  EXPECT_EQ(eight.GetPixel8(2, 1), 7);
  EXPECT_EQ(eight.GetPixel8(0, 0), 4);
  EXPECT_EQ(eight.GetPixel8(2, 0), 0);  // nothing after the delta below the last row
}

// ---- run-length encoding ----------------------------------------------------------------------

TEST_F(BmpTest, RowEncodersGiveTheExpectedPairs) {
  struct TCase {
    bool four;
    std::vector<uint8_t> row;
    std::vector<uint8_t> expected;
  };
  std::vector<uint8_t> long8(300, 9);
  const TCase cases[] = {
      {false, long8, {255, 9, 45, 9, 0, 0}},
      {true, {1, 2, 3}, {0, 3, 0x12, 0x30, 0, 0}},
      {true, {1, 2}, {2, 0x12, 0, 0}},
      {false, {1, 2}, {1, 1, 1, 2, 0, 0}},
      {false, {1, 2, 3}, {0, 3, 1, 2, 3, 0, 0, 0}},
  };
  for (const TCase& c : cases) {
    std::vector<uint8_t> out(c.row.size() * 2 + 2);
    const auto n = static_cast<size_t>(c.four ? IEEncodeBMPRLE4Row(c.row.data(), static_cast<int32_t>(c.row.size()), out.data())
                                              : IEEncodeBMPRLE8Row(c.row.data(), static_cast<int32_t>(c.row.size()), out.data()));
    out.resize(n);
    EXPECT_EQ(out, c.expected);
  }
}

TEST_F(BmpTest, EncodedRowsDecodeToTheSameIndexesAndNoLiteralIsLongerThan255) {
  for (bool four : {false, true}) {
    const int32_t width = 700;
    std::vector<uint8_t> row(width);
    for (int32_t x = 0; x < width; ++x)
      row[x] = static_cast<uint8_t>((x < 300 ? x * 7 + x / 5 : (x < 400 ? 3 : x % 3)) & (four ? 15 : 255));
    std::vector<uint8_t> out(width * 2 + 4);
    int32_t n = four ? IEEncodeBMPRLE4Row(row.data(), width, out.data()) : IEEncodeBMPRLE8Row(row.data(), width, out.data());
    // Walk the pairs: a literal's count byte is never 0.
    for (int32_t at = 0; at + 1 < n;) {
      if (out[at] == 0 && out[at + 1] >= 3) {
        const int32_t bytes = four ? (out[at + 1] + 1) / 2 : out[at + 1];
        at += 2 + bytes + (bytes & 1);
      } else {
        EXPECT_FALSE(out[at] == 0 && out[at + 1] != 0) << "escape " << int{out[at + 1]};
        at += 2;
      }
    }
    out[n++] = 0, out[n++] = 1;
    TIEBitmap decoded(width, 1, ie8p);
    (four ? IEDecodeBMPRLE4 : IEDecodeBMPRLE8)(decoded, out.data(), n, 0, progress_, nullptr, 0);
    for (int32_t x = 0; x < width; ++x) ASSERT_EQ(decoded.GetPixel8(x, 0), row[x]) << four << " " << x;
  }
}

// ---- writing --------------------------------------------------------------------------------

TEST_F(BmpTest, WrittenFilesAreReadBackByImageMagickAndNetpbm) {
  struct TCase {
    const char* name;
    int32_t bits;       // BITSPERSAMPLE, or 8 with one sample, or 24/32 by the image
    uint8_t version;
    uint8_t compression;
  };
  const TCase cases[] = {
      {"w24.bmp", 24, 1, 0}, {"w32.bmp", 32, 1, 0},  {"w8.bmp", 8, 1, 0}, {"w8rle.bmp", 8, 1, 1},
      {"w4.bmp", 4, 1, 0},   {"w4rle.bmp", 4, 1, 1}, {"w1.bmp", 1, 1, 0}, {"wcore8.bmp", 8, 2, 0},
      {"wos2.bmp", 24, 3, 0},
  };
  for (const TCase& c : cases) {
    TIEBitmap image(41, 19, ie24RGB);
    Paint(image, c.bits == 1 ? 2 : 12);
    if (c.bits == 32) {
      TIEBitmap* alpha = image.GetAlphaChannel();
      for (int32_t y = 0; y < 19; ++y)
        for (int32_t x = 0; x < 41; ++x) alpha->SetPixel8(x, y, static_cast<uint8_t>(x * 6));
    }
    TIOParamsVals params(nullptr);
    params.BITSPERSAMPLE = c.bits <= 8 && c.bits != 8 ? c.bits : 8;
    params.SAMPLESPERPIXEL = c.bits == 8 ? 1 : 3;
    params.BMP_VERSION = c.version;
    params.BMP_COMPRESSION = c.compression;
    const std::string bytes = Write(image, params, true);
    WriteFile(Path(c.name), bytes);
    if (c.compression == 1) {
      EXPECT_EQ(bytes.substr(bytes.size() - 4), Bytes({0, 0, 0, 1})) << c.name;
      EXPECT_EQ(bytes[14 + 16], c.bits == 8 ? 1 : 2) << c.name;
    }
    TRgbaImage reference = Decoded(c.name);
    std::unique_ptr<TIEMask> mask;
    if (c.bits == 32) {
      mask = std::make_unique<TIEMask>();
      image.GetAlphaChannel()->CopyToMask(*mask);
    }
    ExpectSameImage(image, mask.get(), reference, 0, c.bits == 32, c.name);
    if (c.version != 3) {  // netpbm knows no 64-byte header
      InDir(std::string("bmptopnm ") + c.name + " > n.pnm && " + kMagick + " n.pnm -depth 8 -alpha set pam:n.pam");
      ExpectSameImage(image, nullptr, ParsePam(codectest::ReadAll(Path("n.pam"))), 0, false,
                      std::string("netpbm ") + c.name);
    }
  }
}

TEST_F(BmpTest, WriterConvertsFormatsItDoesNotStoreAsTheyAre) {
  struct TCase {
    TIEPixelFormat format;
    int32_t bits;
    bool grey;
  };
  for (const TCase& c : {TCase{ie16Gray, 24, true}, TCase{ieCMYK, 24, false}, TCase{ieRGB48, 24, false},
                         TCase{ie8g, 4, true}, TCase{ie8p, 4, false}, TCase{ie1g, 8, true}, TCase{ie8g, 1, true}}) {
    TIEBitmap rgb(16, 8, ie24RGB);
    Paint(rgb, 6);
    for (int32_t y = 0; y < 8 && c.grey; ++y)
      for (int32_t x = 0; x < 16; ++x) {
        // Four grey levels on the 4-bit ramp; two for the bilevel cases.
        const auto v = static_cast<uint8_t>(c.bits == 1 || c.format == ie1g ? ((x + y) % 2 ? 200 : 40) * (c.format == ie1g ? 255 / 200 : 1)
                                                                             : (x / 4) * 64);
        rgb.SetPixel24(x, y, TRGB{v, v, v});
      }
    std::unique_ptr<TIEBitmap> source = CopyIn(rgb, c.format);
    std::unique_ptr<TIEBitmap> expected = CopyIn(*source, ie24RGB);
    TIOParamsVals params(nullptr);
    params.BITSPERSAMPLE = c.bits == 1 || c.bits == 4 ? c.bits : 8;
    params.SAMPLESPERPIXEL = c.bits == 8 ? 1 : 3;
    WriteFile(Path("c.bmp"), Write(*source, params));
    ExpectSameImage(*expected, nullptr, Decoded("c.bmp"), 0, false, "format " + std::to_string(c.format));
  }
}

// ---- damaged and foreign data --------------------------------------------------------------

TEST_F(BmpTest, DamagedFilesFailCleanlyWithoutOversizedAllocations) {
  Magick("-size 30x20 gradient:red-blue -colors 100 -type Palette -compress RLE BMP3:rle.bmp");
  Magick("-size 30x20 gradient:red-blue -type TrueColor BMP3:24.bmp");
  for (const char* name : {"rle.bmp", "24.bmp"}) {
    const std::string whole = codectest::ReadAll(Path(name));
    for (size_t cut : {size_t{10}, size_t{20}, size_t{54}, whole.size() / 2, whole.size() - 3 * whole.size() / 20}) {
      TRead r = ReadBytes(whole.substr(0, cut));
      EXPECT_TRUE(r.aborted) << name << " cut at " << cut;
    }
    for (size_t at = 0; at < whole.size(); at += 7) {
      std::string flipped = whole;
      flipped[at] = static_cast<char>(flipped[at] ^ 0x5A);
      ReadBytes(flipped);  // must not crash; ASan watches the memory
    }
  }
  // Headers that claim far more than the data holds allocate nothing.
  struct TCase {
    int32_t width, height, bits;
    uint32_t compression;
  };
  for (const TCase& c : {TCase{30000, 30000, 24, 0}, TCase{60000, 60000, 8, 1}, TCase{134217735, 1, 32, 3}, TCase{20, 20, 2, 0},
                         TCase{20, 20, 8, 2}, TCase{20, 20, 24, 7}}) {
    TRead r = ReadBytes(BmpFile(c.width, c.height, c.bits, c.compression, std::string(1024, '\0'), "\x01\x02"));
    EXPECT_TRUE(r.aborted) << c.width << " " << c.bits;
    EXPECT_TRUE(r.bitmap->IsEmpty() || c.compression == 7) << c.width << " " << c.bits;
  }
  EXPECT_TRUE(ReadBytes("XM" + std::string(60, '\0')).aborted);
}

TEST_F(BmpTest, ParametersOnlyLeavesTheBitmapAlone) {
  Magick("-size 30x20 gradient:red-blue -type TrueColor BMP3:24.bmp");
  auto stream = FileStream(Path("24.bmp"));
  TIEBitmap bitmap(3, 3, ie8g);
  TIOParamsVals params(nullptr);
  std::unique_ptr<TIEMask> mask;
  IEReadBMPStream(*stream, &bitmap, 0, params, progress_, true, false, mask, false);
  EXPECT_EQ(bitmap.GetWidth(), 3);
  EXPECT_EQ(params.WIDTH, 30);
  EXPECT_EQ(params.HEIGHT, 20);
  EXPECT_EQ(params.SAMPLESPERPIXEL, 3);
}

TEST_F(BmpTest, ContentDetectionFindsEveryFormatOfTheFamily) {
  Magick("-size 16x16 gradient:red-blue -type TrueColor BMP3:a.bmp");
  Magick("-size 16x16 gradient:red-blue a.ico");
  Magick("-size 16x16 gradient:red-blue -depth 8 a.ppm");
  Magick("-size 16x16 gradient:red-blue -depth 8 -compress none a.pgm");
  struct TCase {
    std::string bytes;
    int32_t id;
  };
  std::string cursor = codectest::ReadAll(Path("a.ico"));
  cursor[2] = 2;
  std::string wmf = Bytes({1, 0, 9, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  std::string placeable = Bytes({0xD7, 0xCD, 0xC6, 0x9A}) + std::string(18, '\0') + wmf;
  std::string emf = Bytes({1, 0, 0, 0}) + std::string(36, '\0') + Bytes({0x20, 0x45, 0x4D, 0x46}) + std::string(60, '\0');
  std::string notWmf = wmf;
  notWmf[0] = 2;
  const TCase cases[] = {
      {codectest::ReadAll(Path("a.bmp")), 5}, {codectest::ReadAll(Path("a.ico")), 6}, {cursor, 7},
      {codectest::ReadAll(Path("a.ppm")), 12}, {codectest::ReadAll(Path("a.pgm")), 12}, {wmf, 9},
      {placeable, 9}, {emf, 10}, {notWmf, 0},
  };
  for (const TCase& c : cases) {
    TMemoryStream stream;
    stream.WriteBuffer(c.bytes.data(), static_cast<int32_t>(c.bytes.size()));
    stream.SetPosition(0);
    EXPECT_EQ(IEDetectStreamFormat(stream), c.id) << c.id;
    EXPECT_EQ(stream.Position(), 0);
  }
}

}  // namespace
