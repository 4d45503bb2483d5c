// Icon and cursor files, judged by ImageMagick.
#include "imaging/core/davovevo.h"
#include "tests/imaging/codecs/bmpfilt_test_support.h"

using namespace bmptest;

namespace {

class IcoTest : public BmpFamilyTest {
protected:
  using TRead = TReadResult;
  TRead Read(const std::string& bytes, int32_t index = 0, bool cursor = false, bool paramsOnly = false,
             bool strict256 = false, TRGB background = TRGB{255, 255, 255}) {
    TRead r;
    r.params->SetImageIndex(index);
    r.params->ICO_BACKGROUND = background;
    auto input = BytesStream(bytes);
    TStream& stream = *input;
    abort_ = false;
    if (cursor)
      IEReadCURStream(stream, r.bitmap.get(), *r.params, paramsOnly, progress_, r.mask, false);
    else
      IEReadICOStream(stream, r.bitmap.get(), *r.params, paramsOnly, progress_, r.mask, false, strict256);
    r.aborted = abort_;
    return r;
  }
  std::string Write(TIEBitmap& bitmap, const std::vector<TIEIconSize>& sizes, const std::vector<int32_t>& bits) {
    TMemoryStream stream;
    TIOParamsVals params(nullptr);
    abort_ = false;
    IEWriteICOStream(stream, bitmap, params, progress_, sizes.data(), bits.data(), static_cast<int32_t>(sizes.size()));
    EXPECT_FALSE(abort_);
    return StreamBytes(stream);
  }
};

uint16_t Word(const std::string& s, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(s[at]) | (static_cast<uint8_t>(s[at + 1]) << 8));
}

// A 16 x 16 picture of a few colours with transparent and half-transparent corners.
void Paint(TIEBitmap& bitmap, bool withAlpha) {
  for (int32_t y = 0; y < bitmap.GetHeight(); ++y)
    for (int32_t x = 0; x < bitmap.GetWidth(); ++x) {
      const int32_t k = (x / 4 + y / 4) % 5;
      bitmap.SetPixel24(x, y, TRGB{static_cast<uint8_t>(k * 50), static_cast<uint8_t>(200 - k * 30), 90});
      if (withAlpha) bitmap.GetAlphaChannel()->SetPixel8(x, y, x < 3 && y < 3 ? 0 : (x > 12 && y > 12 ? 128 : 255));
    }
}

TEST_F(IcoTest, ReadsEveryImageOfIconsThatImageMagickWrites) {
  Magick("-size 48x48 gradient:red-blue \\( -size 48x48 gradient:white-black \\) -alpha off -compose CopyOpacity "
         "-composite -define icon:auto-resize=48,32,16 multi.ico");
  Magick("-size 16x16 gradient:red-blue -colors 10 -type Palette palette.ico");
  Magick("-size 256x256 gradient:red-blue png.ico");
  struct TCase {
    const char* name;
    int32_t index, width, bits;
  };
  for (const TCase& c : {TCase{"multi.ico", 0, 48, 32}, TCase{"multi.ico", 1, 32, 32}, TCase{"multi.ico", 2, 16, 32},
                         TCase{"palette.ico", 0, 16, 4}, TCase{"png.ico", 0, 256, 32}}) {
    const std::string what = std::string(c.name) + "[" + std::to_string(c.index) + "]";
    TRead r = Read(codectest::ReadAll(Path(c.name)), c.index);
    ASSERT_FALSE(r.aborted) << what;
    EXPECT_EQ(r.params->ICOSizes[static_cast<size_t>(c.index)].Width, c.width) << what;
    EXPECT_EQ(r.params->ICOBitCounts[static_cast<size_t>(c.index)], c.bits) << what;
    TIEMask* mask = r.mask.get();
    std::unique_ptr<TIEMask> pngMask;
    if (r.bitmap->HasAlphaChannel()) {  // PNG entries carry their alpha in the bitmap
      pngMask = std::make_unique<TIEMask>();
      r.bitmap->GetAlphaChannel()->CopyToMask(*pngMask);
      mask = pngMask.get();
    }
    ExpectSameImage(*r.bitmap, mask, Decoded(std::string(c.name) + "[" + std::to_string(c.index) + "]"), 0, true, what,
                    true);
  }
  EXPECT_EQ(Read(codectest::ReadAll(Path("multi.ico"))).params->IMAGECOUNT, 3);
}

TEST_F(IcoTest, WrittenIconsAreReadBackByImageMagick) {
  TIEBitmap source(16, 16, ie24RGB);
  Paint(source, true);
  const std::vector<int32_t> depths{32, 24, 8, 4, 1};
  const std::string bytes = Write(source, std::vector<TIEIconSize>(depths.size(), TIEIconSize{16, 16}), depths);
  WriteFile(Path("ours.ico"), bytes);
  for (size_t i = 0; i < depths.size(); ++i) {
    const TRgbaImage reference = Decoded("ours.ico[" + std::to_string(i) + "]");
    // What each depth keeps: 32 bits the alpha, 24 and fewer opaque or transparent.
    std::unique_ptr<TIEBitmap> expected = CopyIn(source, ie24RGB);
    TIEMask mask;
    mask.Allocate(16, 16, 8);
    for (int32_t y = 0; y < 16; ++y)
      for (int32_t x = 0; x < 16; ++x) {
        const uint8_t a = source.GetAlphaChannel()->GetPixel8(x, y);
        mask.SetPixel(x, y, depths[i] == 32 ? a : (a == 255 ? 255 : 0));
      }
    if (depths[i] == 1) expected = CopyIn(*CopyIn(source, ie1g), ie24RGB);
    ExpectSameImage(*expected, &mask, reference, 0, true, "depth " + std::to_string(depths[i]), true);
  }
}

TEST_F(IcoTest, DirectoryOfThreeSizesAndBilevelSourcesConverted) {
  TIEBitmap source(48, 48, ie24RGB);
  Paint(source, true);
  const std::string bytes = Write(source, {{16, 16}, {32, 32}, {48, 48}}, {32, 8, 4});
  ASSERT_EQ(Word(bytes, 4), 3);
  struct TEntry {
    int width, colours, planes, bits;
  };
  const TEntry expected[] = {{16, 0, 1, 32}, {32, 255, 0, 0}, {48, 16, 0, 0}};
  for (int i = 0; i < 3; ++i) {
    const size_t e = 6 + 16 * static_cast<size_t>(i);
    EXPECT_EQ(static_cast<uint8_t>(bytes[e]), expected[i].width) << i;
    EXPECT_EQ(static_cast<uint8_t>(bytes[e + 2]), expected[i].colours) << i;
    EXPECT_EQ(Word(bytes, e + 4), expected[i].planes) << i;
    EXPECT_EQ(Word(bytes, e + 6), expected[i].bits) << i;
  }
  WriteFile(Path("three.ico"), bytes);
  InDir("/usr/bin/identify -format '%w ' three.ico > sizes.txt");
  EXPECT_EQ(codectest::ReadAll(Path("sizes.txt")), "16 32 48 ");
  // A bilevel source is converted for entries of more than one bit.
  TIEBitmap bilevel(16, 16, ie1g);
  for (int32_t y = 0; y < 16; ++y)
    for (int32_t x = 0; x < 16; ++x) bilevel.GetScanline(y)[x / 8] |= static_cast<uint8_t>(((x + y) % 3 == 0) << (7 - x % 8));
  TIEBitmap expectedImage(16, 16, ie24RGB);
  expectedImage.ConvertFrom(bilevel);
  const std::vector<int32_t> depths{8, 24, 32};
  WriteFile(Path("bilevel.ico"), Write(bilevel, std::vector<TIEIconSize>(3, TIEIconSize{16, 16}), depths));
  // The quantizer's grey ramp of 255 entries has no exact white (254).
  for (size_t i = 0; i < depths.size(); ++i)
    ExpectSameImage(expectedImage, nullptr, Decoded("bilevel.ico[" + std::to_string(i) + "]"), depths[i] == 8 ? 1 : 0,
                    true, "bilevel into " + std::to_string(depths[i]));
}

TEST_F(IcoTest, SizesComeFromTheDirectoryOrTheHeader) {
  TIEBitmap big(256, 256, ie24RGB);
  Paint(big, false);
  const std::string file256 = Write(big, {{256, 256}}, {24});
  ASSERT_EQ(file256[6], 0);  // width byte 0 stands for 256
  TRead r = Read(file256);
  EXPECT_EQ(r.bitmap->GetWidth(), 256);
  EXPECT_EQ(r.bitmap->GetHeight(), 256);
  // An entry that says 32 x 32 over a bitmap header of 48 x 96 reads as 48 x 48.
  TIEBitmap source(48, 48, ie24RGB);
  Paint(source, false);
  std::string file48 = Write(source, {{48, 48}}, {24});
  file48[6] = 32, file48[7] = 32;
  TRead header = Read(file48);
  EXPECT_EQ(header.bitmap->GetWidth(), 48);
  EXPECT_EQ(header.bitmap->GetHeight(), 48);
  EXPECT_EQ(header.bitmap->GetPixel24(5, 7), source.GetPixel24(5, 7));
}

TEST_F(IcoTest, TransparencyRulesOfEachDepth) {
  TIEBitmap source(16, 16, ie24RGB);
  Paint(source, true);
  // 32 bits whose alpha bytes are all 0: the AND rows decide.
  std::string file = Write(source, {{16, 16}}, {32});
  const size_t pixels = 6 + 16 + 40;
  for (size_t i = 0; i < 256; ++i) file[pixels + 4 * i + 3] = 0;
  TRead zero = Read(file);
  ASSERT_TRUE(zero.mask);
  EXPECT_EQ(zero.mask->GetPixel(0, 0), 0);
  EXPECT_EQ(zero.mask->GetPixel(14, 14), 0);  // half transparent was not 255: AND bit set
  EXPECT_EQ(zero.mask->GetPixel(8, 8), 255);
  // 1 bit: transparent pixels keep their colour bit on black, are inverted on white.
  TIEBitmap bilevel(16, 16, ie1g);
  bilevel.Fill(0);
  bilevel.GetAlphaChannel()->Fill(255);
  bilevel.GetAlphaChannel()->SetPixel8(0, 0, 0);
  const std::string one = Write(bilevel, {{16, 16}}, {1});
  TRead onBlack = Read(one, 0, false, false, false, TRGB{});
  TRead onWhite = Read(one);
  EXPECT_EQ(onBlack.bitmap->GetScanline(0)[0] & 0x80, 0);
  EXPECT_EQ(onWhite.bitmap->GetScanline(0)[0] & 0x80, 0x80);
  EXPECT_EQ(onWhite.mask->GetPixel(0, 0), 0);
  // A 256-pixel icon whose picture sits in the top rows is refused when asked.
  TIEBitmap tall(256, 256, ie24RGB);
  tall.Fill(0);
  TIEBitmap* alpha = tall.GetAlphaChannel();
  alpha->Fill(0);
  alpha->SetPixel8(3, 10, 255);
  const std::string cell = Write(tall, {{256, 256}}, {32});
  EXPECT_THROW(Read(cell, 0, false, false, true), EIEException);
  EXPECT_NO_THROW(Read(cell));
}

TEST_F(IcoTest, OtherEntriesAndFailures) {
  Magick("-size 16x16 gradient:red-blue -type TrueColor BMP3:plain.bmp");
  Magick("-size 256x256 gradient:red-blue png256.ico");
  // A stream that starts with "BM" is a bitmap.
  TRead bmp = Read(codectest::ReadAll(Path("plain.bmp")));
  EXPECT_FALSE(bmp.aborted);
  EXPECT_EQ(bmp.bitmap->GetWidth(), 16);
  // Parameters-only reads never decode into the caller's bitmap, PNG entries neither.
  for (const char* name : {"png256.ico", "plain.bmp"}) {
    TRead only = Read(codectest::ReadAll(Path(name)), 0, false, true);
    EXPECT_TRUE(only.bitmap->IsEmpty()) << name;
    EXPECT_GT(only.params->WIDTH, 0) << name;
  }
  const std::string icon = codectest::ReadAll(Path("png256.ico"));
  // An index outside the file fails the read; so do cut and bent files.
  EXPECT_TRUE(Read(icon, 1).aborted);
  EXPECT_TRUE(Read(icon.substr(0, 30)).aborted);
  std::string farOffset = icon;
  farOffset[21] = '\x7F';
  EXPECT_TRUE(Read(farOffset).aborted);
  std::string manyEntries = icon;
  manyEntries[4] = '\xFF', manyEntries[5] = '\xFF';
  EXPECT_TRUE(Read(manyEntries, 9000).aborted);
  for (size_t at = 0; at < 120; ++at) {
    std::string flipped = icon;
    flipped[at] = static_cast<char>(flipped[at] ^ 0xA5);
    Read(flipped);  // no crash, no overflow
  }
}

TEST_F(IcoTest, CursorsGiveHotSpotAndKeepTheirMask) {
  TIEBitmap source(16, 16, ie24RGB);
  Paint(source, false);
  std::string cursor = Write(source, {{16, 16}}, {24});
  cursor[2] = 2;                  // cursor type
  cursor[10] = 5, cursor[12] = 9;  // hot spot in the planes and bit-count fields
  TRead r = Read(cursor, 0, true);
  ASSERT_FALSE(r.aborted);
  EXPECT_EQ(r.params->CUR_XHOTSPOT, 5);
  EXPECT_EQ(r.params->CUR_YHOTSPOT, 9);
  EXPECT_EQ(r.bitmap->GetPixel24(3, 4), source.GetPixel24(3, 4));
  ASSERT_TRUE(r.mask);
  EXPECT_EQ(r.mask->GetPixel(3, 4), 255);
}

}  // namespace
