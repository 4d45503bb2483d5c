// Any-maps and wireless bitmaps, judged by ImageMagick and netpbm.
#include "imaging/core/iesettings.h"
#include "tests/imaging/codecs/bmpfilt_test_support.h"

using namespace bmptest;

namespace {

class PnmTest : public BmpFamilyTest {
protected:
  using TRead = TReadResult;
  TRead Read(const std::string& bytes, bool native = false, bool wbmp = false) {
    TRead r;
    r.params->ISNATIVEPIXELFORMAT = native;
    auto input = BytesStream(bytes);
    TStream& stream = *input;
    abort_ = false;
    if (wbmp)
      IEReadWBMPStream(stream, r.bitmap.get(), *r.params, progress_, false);
    else
      IEReadPNMStream(stream, r.bitmap.get(), *r.params, progress_, false);
    r.aborted = abort_;
    return r;
  }
  std::string Write(TIEBitmap& bitmap, TIOParamsVals& params, bool wbmp = false) {
    TMemoryStream stream;
    abort_ = false;
    if (wbmp)
      IEWriteWBMPStream(stream, bitmap, progress_);
    else
      IEWritePNMStream(stream, bitmap, params, progress_);
    EXPECT_FALSE(abort_);
    return StreamBytes(stream);
  }
};

TEST_F(PnmTest, ReadsEveryKindThatImageMagickAndNetpbmWrite) {
  Magick("-size 29x17 gradient:red-blue -fill yellow -draw 'circle 14,8 14,2' source.png");
  struct TCase {
    const char* name;
    const char* command;  // run in the test's folder
    int32_t tolerance;    // maxvals other than 255: the tool rounds, we truncate
  };
  const TCase cases[] = {
      {"p1.pbm", "/usr/bin/convert source.png -monochrome -compress none p1.pbm", 0},
      {"p4.pbm", "/usr/bin/convert source.png -monochrome p4.pbm", 0},
      {"p2.pgm", "/usr/bin/convert source.png -colorspace gray -depth 8 -compress none p2.pgm", 0},
      {"p5.pgm", "/usr/bin/convert source.png -colorspace gray -depth 8 p5.pgm", 0},
      {"p3.ppm", "/usr/bin/convert source.png -depth 8 -compress none p3.ppm", 0},
      {"p6.ppm", "/usr/bin/convert source.png -depth 8 p6.ppm", 0},
      {"p5w.pgm", "/usr/bin/convert source.png -colorspace gray -depth 16 p5w.pgm", 1},
      {"p6w.ppm", "/usr/bin/convert source.png -depth 16 p6w.ppm", 1},
      {"p5m15.pgm", "/usr/bin/convert source.png -colorspace gray -depth 8 pgm:- | pnmdepth 15 > p5m15.pgm", 1},
      {"p6m15.ppm", "/usr/bin/convert source.png -depth 8 ppm:- | pnmdepth 15 > p6m15.ppm", 1},
      {"p3m1000.ppm", "/usr/bin/convert source.png -depth 8 ppm:- | pnmdepth 1000 | pnmtoplainpnm > p3m1000.ppm", 1},
      {"p6m4000.ppm", "/usr/bin/convert source.png -depth 8 ppm:- | pnmdepth 4000 > p6m4000.ppm", 1},
  };
  for (const TCase& c : cases) {
    InDir(c.command);
    const TRgbaImage reference = Decoded(c.name);
    for (bool native : {false, true}) {
      TRead r = Read(codectest::ReadAll(Path(c.name)), native);
      EXPECT_FALSE(r.aborted) << c.name;
      ExpectSameImage(*r.bitmap, nullptr, reference, c.tolerance, false, std::string(c.name) + (native ? " native" : ""));
    }
  }
}

TEST_F(PnmTest, SixteenBitNativeFormatsScaleByTheMaximum) {
  // One grey sample of 500 out of 1000, one colour pixel 1000, 0, 250.
  TRead grey = Read(std::string("P5 1 1 1000\n") + '\x01' + '\xF4', true);
  ASSERT_EQ(grey.bitmap->GetPixelFormat(), ie16Gray);
  EXPECT_EQ(grey.bitmap->GetPixel16(0, 0), 500 * 65535 / 1000);
  EXPECT_EQ(grey.params->BITSPERSAMPLE, 16);
  TRead colour = Read(std::string("P6 1 1 1000\n") + std::string("\x03\xE8\x00\x00\x00\xFA", 6), true);
  ASSERT_EQ(colour.bitmap->GetPixelFormat(), ieRGB48);
  EXPECT_EQ(colour.bitmap->GetPixel48(0, 0), (std::array<uint16_t, 3>{65535, 0, 250 * 65535 / 1000}));
}

TEST_F(PnmTest, HeaderAndSampleEdgeCases) {
  // A comment between two samples reads as a 0 sample.
  TRead p2 = Read("P2 2 1 255\n200\n# note\n100\n");
  ASSERT_FALSE(p2.aborted);
  EXPECT_EQ(p2.bitmap->GetPixel24(0, 0), (TRGB{200, 200, 200}));
  EXPECT_EQ(p2.bitmap->GetPixel24(1, 0), (TRGB{}));
  // P1 characters with blanks: 0 white, 1 black.
  TRead p1 = Read("P1\n4 1\n0 1 1 0\n");
  ASSERT_EQ(p1.bitmap->GetPixelFormat(), ie1g);
  EXPECT_EQ(p1.bitmap->GetScanline(0)[0] & 0xF0, 0x90);
  // A comment line between the magic and the size.
  TRead p4 = Read(std::string("P4\n# made by hand \n8 2\n") + '\x0F' + '\xF0');
  ASSERT_FALSE(p4.aborted);
  EXPECT_EQ(p4.params->WIDTH, 8);
  EXPECT_EQ(p4.params->HEIGHT, 2);
  EXPECT_EQ(p4.params->PXMComments, std::vector<std::string>{"made by hand"});
  EXPECT_EQ(p4.bitmap->GetScanline(0)[0], 0xF0);
  // A maximum of 15 reads 15 as 255 in grey and in colour.
  EXPECT_EQ(Read(std::string("P5 1 1 15\n") + '\x0F').bitmap->GetPixel24(0, 0), (TRGB{255, 255, 255}));
  EXPECT_EQ(Read(std::string("P6 1 1 15\n") + std::string("\x0F\x00\x00", 3)).bitmap->GetPixel24(0, 0), (TRGB{0, 0, 255}));
}

TEST_F(PnmTest, BadHeadersAndShortDataFailCleanly) {
  struct TCase {
    std::string bytes;
    const char* why;
  };
  const TCase cases[] = {
      {"P5 2 2 0\n\1\1\1\1", "maximum 0"},
      {"P5 2 2 70000\n\1\1\1\1\1\1\1\1", "maximum above 65535"},
      {"P6 0 2 255\n", "zero width"},
      {"P7 2 2 255\n\1\1\1\1", "no such magic"},
      {"P6 2 2 255\n\1\2\3", "truncated rows"},
      {"P3 2 1 255\n1 2 3 4", "missing samples"},
      {"P5 60000 60000 255\n\1\2", "far more pixels than data"},
      {"P4 99999999 99999999\n\1", "far more rows than data"},
      {"P2 4 4", "no maximum"},
  };
  for (const TCase& c : cases) {
    TRead r = Read(c.bytes);
    EXPECT_TRUE(r.aborted) << c.why;
    if (std::string(c.why).find("far more") == std::string::npos) continue;
    EXPECT_TRUE(r.bitmap->IsEmpty()) << c.why;
  }
  const TCase detection[] = {{"P6 3 2 255\n", "yes"}, {"# c\nP1 3 2\n", "yes"}, {"P6 0 2 255\n", ""}, {"P9 3 2 2\n", ""}};
  for (const TCase& c : detection) {
    TMemoryStream stream;
    stream.WriteBuffer(c.bytes.data(), static_cast<int32_t>(c.bytes.size()));
    stream.SetPosition(0);
    EXPECT_EQ(IEIsPNMStream(stream), *c.why != 0) << c.bytes;
    EXPECT_EQ(stream.Position(), 0);
  }
}

// Our image painted with a few colours.
void Paint(TIEBitmap& bitmap) {
  for (int32_t y = 0; y < bitmap.GetHeight(); ++y)
    for (int32_t x = 0; x < bitmap.GetWidth(); ++x)
      bitmap.SetPixel24(x, y, TRGB{static_cast<uint8_t>(x * 9), static_cast<uint8_t>(y * 13), static_cast<uint8_t>(x * y)});
}

TEST_F(PnmTest, WrittenFilesAreReadBackByImageMagickAndPamfile) {
  TIEBitmap rgb(23, 11, ie24RGB);
  Paint(rgb);
  struct TCase {
    const char* name;
    TIEPixelFormat format;
    int32_t bits, samples;
    const char* pamfile;  // what pamfile reports
  };
  const TCase cases[] = {
      {"rgb8.ppm", ie24RGB, 8, 3, "PPM raw, 23 by 11  maxval 255"},
      {"rgb16.ppm", ie24RGB, 16, 3, "PPM raw, 23 by 11  maxval 65535"},
      {"grey.pgm", ie24RGB, 8, 1, "PGM raw, 23 by 11  maxval 255"},
      {"bilevel.pbm", ie1g, 1, 1, "PBM raw, 23 by 11"},
      {"forced.pbm", ie24RGB, 1, 1, "PBM raw, 23 by 11"},
      {"rgb48.ppm", ieRGB48, 8, 3, "PPM raw, 23 by 11  maxval 65535"},
      {"cmyk.ppm", ieCMYK, 8, 3, "PPM raw, 23 by 11  maxval 255"},
      {"grey48.pgm", ieRGB48, 8, 1, "PGM raw, 23 by 11  maxval 255"},
  };
  const auto& settings = *IEGetGlobalSettings();
  for (const TCase& c : cases) {
    std::unique_ptr<TIEBitmap> sourceHolder = CopyIn(rgb, c.format);
    TIEBitmap& source = *sourceHolder;
    TIOParamsVals params(nullptr);
    params.BITSPERSAMPLE = c.bits;
    params.SAMPLESPERPIXEL = c.samples;
    params.PXMComments = {"first", "second"};
    WriteFile(Path(c.name), Write(source, params));
    InDir(std::string("pamfile ") + c.name + " > info.txt");
    EXPECT_NE(codectest::ReadAll(Path("info.txt")).find(c.pamfile), std::string::npos)
        << c.name << ": " << codectest::ReadAll(Path("info.txt"));
    // What the file should hold, as our 24-bit image.
    std::unique_ptr<TIEBitmap> expectedHolder = CopyIn(*CopyIn(source, c.bits == 1 ? ie1g : c.format), ie24RGB);
    TIEBitmap& expected = *expectedHolder;
    if (c.samples == 1 && c.bits == 8) {
      for (int32_t y = 0; y < 11; ++y)
        for (int32_t x = 0; x < 23; ++x) {
          int32_t v;
          if (c.format == ieRGB48) {
            const auto s = source.GetPixel48(x, y);
            v = ((s[0] * settings.GrayWeightRed + s[1] * settings.GrayWeightGreen + s[2] * settings.GrayWeightBlue) / 100) >> 8;
          } else {
            const TRGB p = source.GetPixel24(x, y);
            v = (p.r * settings.GrayWeightRed + p.g * settings.GrayWeightGreen + p.b * settings.GrayWeightBlue) / 100;
          }
          expected.SetPixel24(x, y, TRGB{static_cast<uint8_t>(v), static_cast<uint8_t>(v), static_cast<uint8_t>(v)});
        }
    }
    ExpectSameImage(expected, nullptr, Decoded(c.name), 0, false, c.name);
    TRead back = Read(codectest::ReadAll(Path(c.name)));
    EXPECT_EQ(back.params->PXMComments, (std::vector<std::string>{"first", "second"})) << c.name;
  }
}

TEST_F(PnmTest, WirelessBitmapsBothWaysKeepSizesAbove255) {
  Magick("-size 300x40 gradient: -monochrome WBMP:im.wbmp");
  TRead r = Read(codectest::ReadAll(Path("im.wbmp")), false, true);
  ASSERT_FALSE(r.aborted);
  EXPECT_EQ(r.params->WIDTH, 300);
  ExpectSameImage(*r.bitmap, nullptr, Decoded("im.wbmp"), 0, false, "wbmp read");
  TIOParamsVals params(nullptr);
  const std::string ours = Write(*r.bitmap, params, true);
  WriteFile(Path("ours.wbmp"), ours);
  EXPECT_EQ(ours.substr(0, 5), std::string("\0\0\x82\x2C\x28", 5));
  ExpectSameImage(*r.bitmap, nullptr, Decoded("ours.wbmp"), 0, false, "wbmp written");
  // A colour image is converted; a width of 200 takes two bytes.
  TIEBitmap colour(200, 3, ie24RGB);
  Paint(colour);
  const std::string converted = Write(colour, params, true);
  EXPECT_EQ(converted.substr(0, 5), std::string("\0\0\x81\x48\x03", 5));
  EXPECT_EQ(converted.size(), 5u + 25 * 3);
  for (const std::string& bad : {std::string("\1\0\2\2\0\0", 6), std::string("\0\0\0\2\0\0", 6),
                                 std::string("\0\0\x8F\xFF\xFF\xFF\x7F\2", 8), std::string("\0\0\x8F\x7F\x8F\x7F\1", 7)}) {
    TRead b = Read(bad, false, true);
    EXPECT_TRUE(b.aborted);
    EXPECT_TRUE(b.bitmap->IsEmpty());
  }
}

}  // namespace
