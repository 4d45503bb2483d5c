// ICC profiles: header and texts, storage, transforms through the colour
// system, and the two profiles every bitmap carries.
#include "imaging/core/ruduvazez_icc.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/rtl/dynlib.h"
#include "tests/imaging/core/bitmap_support.h"
#include "tests/platform/win/icc_test_profiles.h"

namespace {

void Load(TIEICC& icc, const std::vector<uint8_t>& bytes) {
  icc.LoadFromBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
}

void PutBE32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

// A hand-made profile: "CMYK"/"Lab " header, a tag table declaring count
// entries, of which those given are written, and the data after it.
struct Tag {
  const char* signature;
  uint32_t offset, size;
};
std::vector<uint8_t> HandMade(uint32_t count, const std::vector<Tag>& tags, const std::string& data,
                              size_t dataAt = 200) {
  std::vector<uint8_t> b(std::max(dataAt + data.size(), size_t{132} + 12 * tags.size()));
  std::memcpy(&b[16], "CMYK", 4);
  std::memcpy(&b[20], "Lab ", 4);
  PutBE32(b, 0, static_cast<uint32_t>(b.size()));
  PutBE32(b, 128, count);
  for (size_t i = 0; i < tags.size(); ++i) {
    std::memcpy(&b[132 + 12 * i], tags[i].signature, 4);
    PutBE32(b, 136 + 12 * i, tags[i].offset);
    PutBE32(b, 140 + 12 * i, tags[i].size);
  }
  std::memcpy(&b[dataAt], data.data(), data.size());
  return b;
}

TEST(IEICC, ReadsTheHeaderAndTheTextsOfARealProfile) {
  TIEICC icc;
  const auto bytes = icc_test::SRGBProfile("Camera sRGB", "Public domain");
  Load(icc, bytes);
  EXPECT_TRUE(icc.IsValid());
  EXPECT_EQ(icc.RawLength(), static_cast<int32_t>(bytes.size()));
  EXPECT_EQ(std::memcmp(icc.Raw(), bytes.data(), bytes.size()), 0);
  EXPECT_EQ(icc.ColorSpace(), "RGB ");
  EXPECT_EQ(icc.ConnectionSpace(), "XYZ ");
  EXPECT_EQ(icc.Description(), "Camera sRGB");
  EXPECT_EQ(icc.Copyright(), "Public domain");

  icc.Clear();
  EXPECT_FALSE(icc.IsValid());
  EXPECT_EQ(icc.RawLength(), 0);
  EXPECT_EQ(icc.Description(), "");
  EXPECT_EQ(icc.ColorSpace(), "");
}

// The "desc" text starts 12 bytes into its tag, "cprt" 8.
TEST(IEICC, TheTagWalkStopsAtDamageAndNeverReadsPastTheProfile) {
  const std::string desc = std::string("desc") + std::string(8, '\0') + "Press";
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    std::string colorSpace, description;
  };
  std::vector<Case> cases = {
      {"header only", std::vector<uint8_t>(128, 'x'), "", ""},
      {"header and a cut count", HandMade(0, {}, "", 130), "CMYK", ""},
      {"one text", HandMade(1, {{"desc", 200, 18}}, desc + '\0'), "CMYK", "Press"},
      {"1001 tags", HandMade(1001, {{"desc", 200, 18}}, desc + '\0'), "CMYK", ""},
      {"negative count", HandMade(0x80000000, {{"desc", 200, 18}}, desc + '\0'), "CMYK", ""},
      {"more tags declared than the profile holds", HandMade(1000, {{"desc", 200, 18}}, desc + '\0'), "CMYK",
       "Press"},
      {"a tag beyond the end stops the walk",
       HandMade(2, {{"cprt", 5000, 10}, {"desc", 200, 18}}, desc + '\0'), "CMYK", ""},
      {"a negative size stops the walk",
       HandMade(2, {{"cprt", 200, 0x80000000}, {"desc", 200, 18}}, desc + '\0'), "CMYK", ""},
      {"a text without its NUL ends with the profile", HandMade(1, {{"desc", 200, 17}}, desc), "CMYK", "Press"},
      {"a desc tag of 1000 bytes is skipped", HandMade(1, {{"desc", 200, 1000}}, desc + std::string(1000, '\0')),
       "CMYK", ""},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.what);
    TIEICC icc;
    Load(icc, c.bytes);
    EXPECT_FALSE(icc.IsValid());  // the colour system refuses them; the bytes stay
    EXPECT_EQ(icc.RawLength(), static_cast<int32_t>(c.bytes.size()));
    EXPECT_EQ(icc.ColorSpace(), c.colorSpace);
    EXPECT_EQ(icc.Description(), c.description);
  }
}

TEST(IEICC, StreamsCarryTheBytesWithOrWithoutTheirLength) {
  TIEICC icc, copy;
  Load(icc, icc_test::SRGBProfile());
  for (bool raw : {false, true}) {
    SCOPED_TRACE(raw);
    TMemoryStream stream;
    icc.SaveToStream(stream, raw);
    EXPECT_EQ(stream.Size(), icc.RawLength() + (raw ? 0 : 4));
    stream.SetPosition(0);
    copy.LoadFromStream(stream, raw);
    EXPECT_TRUE(copy.IsValid());
    EXPECT_EQ(copy.RawLength(), icc.RawLength());
    EXPECT_EQ(copy.Description(), icc.Description());
  }
  // A length beyond the stream's end, or a negative one, loads nothing.
  for (int32_t length : {1 << 30, -5}) {
    TMemoryStream stream;
    stream.WriteBuffer(&length, 4);
    stream.WriteBuffer(icc.Raw(), 200);
    stream.SetPosition(0);
    copy.LoadFromStream(stream, false);
    EXPECT_EQ(copy.RawLength(), 0);
    EXPECT_FALSE(copy.IsValid());
  }
}

TEST(IEICC, AssignCopiesAndReopens) {
  TIEICC icc, copy, system;
  Load(icc, icc_test::SRGBProfile("One", "Two"));
  copy.Assign(icc);
  EXPECT_TRUE(copy.IsValid());
  EXPECT_NE(copy.ProfileHandle(), icc.ProfileHandle());
  EXPECT_EQ(copy.Description(), "One");
  // The system profile has no bytes; a copy opens it by name too.
  system.LoadSRGBProfile();
  EXPECT_TRUE(system.IsValid());
  EXPECT_EQ(system.RawLength(), 0);
  copy.Assign(system);
  EXPECT_TRUE(copy.IsValid());
  EXPECT_EQ(copy.Description(), "");
}

TEST(IEICC, CompatibleLayoutsFollowTheColourSpace) {
  TIEICC rgb, cmyk, system;
  Load(rgb, icc_test::SRGBProfile());
  Load(cmyk, HandMade(0, {}, ""));
  system.LoadSRGBProfile();
  for (int32_t layout = 0; layout <= 9; ++layout) {
    SCOPED_TRACE(layout);
    const bool isRGB = layout == 0 || layout == 1 || layout == 6 || layout == 7;
    EXPECT_EQ(rgb.IsCompatibleLayout(layout), isRGB);
    EXPECT_EQ(cmyk.IsCompatibleLayout(layout), layout == 2 || layout == 3);
    EXPECT_TRUE(system.IsCompatibleLayout(layout));  // no colour space known
  }
}

TEST(IEICC, SRGBToSRGBLeavesPixelsUnchanged) {
  TIEICC source, display;
  Load(source, icc_test::SRGBProfile());
  display.LoadSRGBProfile();
  const std::vector<uint8_t> rgb = {0, 0, 0, 255, 255, 255, 255, 0, 0, 12, 128, 240, 77, 3, 199};
  std::vector<uint8_t> bgr(rgb.size());
  ASSERT_TRUE(source.TransformPixels(display, iepRGB, 5, bgr.data(), rgb.data(), iepBGR));
  for (size_t i = 0; i < rgb.size(); i += 3)
    for (int ch = 0; ch < 3; ++ch) EXPECT_NEAR(bgr[i + 2 - ch], rgb[i + ch], 1) << i / 3;
}

// Expected inks from Little CMS's calculator (transicc -t0 -e -w, sRGB to
// the test CMYK profile), as inverted bytes: 255 - (ink >> 8).
TEST(IEICC, RGBToCMYKMatchesTheReferenceCalculator) {
  TIEICC source, press;
  Load(source, icc_test::SRGBProfile());
  Load(press, icc_test::CMYKProfile());
  ASSERT_TRUE(press.IsValid());
  struct Case {
    uint8_t rgb[3];
    int inverted[4];
  };
  const Case cases[] = {{{255, 0, 0}, {255, 21, 17, 251}},    {{0, 128, 255}, {32, 132, 255, 248}},
                        {{40, 200, 90}, {47, 255, 115, 200}}, {{255, 255, 255}, {254, 255, 255, 255}},
                        {{0, 0, 0}, {126, 164, 242, 11}}};
  for (const Case& c : cases) {
    uint8_t out[4] = {};
    ASSERT_TRUE(source.TransformPixels(press, iepRGB, 1, out, c.rgb, iepCMYKInverted));
    for (int ch = 0; ch < 4; ++ch)
      EXPECT_NEAR(out[ch], c.inverted[ch], 1) << int(c.rgb[0]) << "," << int(c.rgb[1]) << "," << int(c.rgb[2]);
  }
}

TEST(IEICC, TheTransformIsMadeOncePerDestinationAndPairOfLayouts) {
  TIEICC source, display, press;
  Load(source, icc_test::SRGBProfile());
  display.LoadSRGBProfile();
  Load(press, icc_test::CMYKProfile());
  const uint8_t red[3] = {255, 0, 0};
  uint8_t out[4] = {};
  ASSERT_TRUE(source.TransformPixels(display, iepRGB, 1, out, red, iepBGR));
  ASSERT_TRUE(source.TransformPixels(display, iepRGB, 1, out, red, iepBGR));
  EXPECT_FALSE(source.Used());  // made once, nothing deleted yet
  EXPECT_NEAR(out[2], 255, 1);
  // Another destination with the same layouts gets a transform of its own:
  // sRGB red lies inside the wide gamut, with less red there.
  TIEICC wide;
  wide.LoadAdobeRGBProfile();
  ASSERT_TRUE(source.TransformPixels(wide, iepRGB, 1, out, red, iepBGR));
  EXPECT_TRUE(source.Used());
  EXPECT_NEAR(out[2], 219, 3);
  // So does the same destination object once it holds another profile.
  wide.LoadSRGBProfile();
  ASSERT_TRUE(source.TransformPixels(wide, iepRGB, 1, out, red, iepBGR));
  EXPECT_NEAR(out[2], 255, 1);
  // New layouts replace it.
  ASSERT_TRUE(source.TransformPixels(press, iepRGB, 1, out, red, iepCMYKInverted));
  EXPECT_NEAR(out[1], 21, 1);
  source.FreeTransform();
  EXPECT_FALSE(source.IsTransformReady());
  // A failed translation is reported: grey pixels into an RGB profile.
  EXPECT_FALSE(source.TransformPixels(display, iepGray, 1, out, red, iepBGR));
  EXPECT_FALSE(source.TransformPixels(display, 9, 1, out, red, iepBGR));
  // Loading again clears the mark.
  Load(source, icc_test::SRGBProfile());
  EXPECT_FALSE(source.Used());
}

// Only B, G, R and inverted C, M, Y, K are written: any other destination
// layout reports failure and leaves the buffer alone.
TEST(IEICC, DestinationLayoutsThatAreNotWrittenFail) {
  TIEICC source, display, gray;
  Load(source, icc_test::SRGBProfile());
  display.LoadSRGBProfile();
  const uint8_t red[3] = {255, 0, 0};
  for (int32_t layout : {iepRGB, iepCMYK, iepLab, iepGray, iepRGB48, iepRGB48BigEndian, iep3Channel}) {
    SCOPED_TRACE(layout);
    uint8_t out[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_FALSE(source.TransformPixels(display, iepRGB, 1, out, red, layout));
    EXPECT_EQ(out[0], 1);
    EXPECT_EQ(out[7], 8);
  }
}

// a and b are signed bytes; -128 is the greenest a, not a wrap to the reddest.
TEST(IEICC, LabInputSpansTheWholeSignedRange) {
  TIEICC lab, display;
  Load(lab, icc_test::LabProfile());
  display.LoadSRGBProfile();
  const uint8_t pixels[] = {255, 0, 0, 128, 0x80, 0, 128, 127, 0};  // white, a = -128, a = +127
  uint8_t bgr[9] = {};
  ASSERT_TRUE(lab.TransformPixels(display, iepLab, 3, bgr, pixels, iepBGR));
  for (int ch = 0; ch < 3; ++ch) EXPECT_GE(bgr[ch], 253);
  EXPECT_GT(bgr[4], bgr[5]);  // green over red
  EXPECT_GT(bgr[8], bgr[7]);  // red over green
}

TEST(IEICC, WithoutTheColourSystemProfilesStayClosedButKeepTheirBytes) {
  IEFreeColorSystem();
  UnregisterBuiltinLibrary("mscms.dll");
  {
    TIEICC icc, display;
    Load(icc, icc_test::SRGBProfile("Held", "Kept"));
    display.LoadSRGBProfile();
    EXPECT_FALSE(icc.IsValid());
    EXPECT_FALSE(display.IsValid());
    EXPECT_EQ(icc.Description(), "Held");
    const uint8_t red[3] = {255, 0, 0};
    uint8_t out[3] = {};
    EXPECT_FALSE(icc.TransformPixels(display, iepRGB, 1, out, red, iepBGR));
  }
  RegisterBuiltinLibrary("mscms.dll", MscmsExports());
  EXPECT_TRUE(IELoadColorSystem());
}

// ---- the bitmap's profiles --------------------------------------------------------------

TEST_F(BitmapTest, TransformBitmapConvertsTheSupportedFormats) {
  TIEICC source, press;
  Load(source, icc_test::SRGBProfile());
  Load(press, icc_test::CMYKProfile());
  auto bitmap = MakeIn(Storage::Memory, 3, 2, ie24RGB);
  for (int32_t y = 0; y < 2; ++y)
    for (int32_t x = 0; x < 3; ++x) bitmap->SetPixel24(x, y, TRGB{0, 0, 255});  // red
  ASSERT_EQ(source.TransformBitmap(*bitmap, ieCMYK, press), 1);
  EXPECT_EQ(bitmap->GetPixelFormat(), ieCMYK);
  EXPECT_EQ(bitmap->GetWidth(), 3);
  const uint8_t* p = bitmap->GetScanline(1) + 8;
  EXPECT_NEAR(p[0], 255, 1);
  EXPECT_NEAR(p[1], 21, 1);
  EXPECT_FALSE(source.IsTransformReady());

  for (TIEPixelFormat format : {ie1g, ie8p}) {
    auto other = MakeIn(Storage::Memory, 3, 2, format);
    WritePattern(*other);
    EXPECT_EQ(source.TransformBitmap(*other, ieCMYK, press), 0);
    EXPECT_EQ(other->GetPixelFormat(), format);
    EXPECT_TRUE(HasPattern(*other));
  }
  EXPECT_EQ(source.TransformBitmap(*bitmap, ie32RGBA, press), 0);
  // Targets whose layout is not written leave the bitmap as it was.
  auto rgb = MakeIn(Storage::Memory, 3, 2, ie24RGB);
  WritePattern(*rgb);
  for (TIEPixelFormat target : {ie8g, ieRGB48, ieCIELab}) {
    EXPECT_EQ(source.TransformBitmap(*rgb, target, source), 0);
    EXPECT_EQ(rgb->GetPixelFormat(), ie24RGB);
    EXPECT_TRUE(HasPattern(*rgb));
  }
}

TEST_F(BitmapTest, TheImageProfileTravelsWithTheImage) {
  const auto bytes = icc_test::SRGBProfile("Travels", "");
  auto source = MakeIn(Storage::Memory, 4, 3, ie24RGB);
  EXPECT_EQ(source->ImageProfile().RawLength(), 0);
  EXPECT_TRUE(source->DisplayProfile().IsValid());
  Load(source->ImageProfile(), bytes);

  auto copy = MakeIn(Storage::TempFile, 2, 2, ie8g);
  copy->Assign(source.get());
  EXPECT_EQ(copy->ImageProfile().Description(), "Travels");
  EXPECT_TRUE(copy->ImageProfile().IsValid());

  auto image = MakeIn(Storage::Memory, 2, 2, ie8g);
  image->AssignImage(source.get());
  EXPECT_EQ(image->ImageProfile().Description(), "Travels");

  // Storage moves keep it; the bitmap left behind has none.
  copy->SetLocation(ieInMemory);
  EXPECT_EQ(copy->ImageProfile().Description(), "Travels");
  copy->SetWidth(9);
  EXPECT_EQ(copy->ImageProfile().Description(), "Travels");
  auto moved = MakeIn(Storage::Memory, 1, 1, ie8g);
  copy->TransferTo(*moved);
  EXPECT_EQ(moved->ImageProfile().Description(), "Travels");
  EXPECT_EQ(copy->ImageProfile().RawLength(), 0);

  // Freeing the image clears it; the display profile stays.
  source->FreeImage(true);
  EXPECT_EQ(source->ImageProfile().RawLength(), 0);
  EXPECT_TRUE(source->DisplayProfile().IsValid());
}

}  // namespace

namespace {

// The built-in wide-gamut profile: greys stay grey, its pure green lies
// outside sRGB (no red at all after clipping), white stays white.
TEST(IEICC, TheBuiltInWideGamutProfileOpensAndTranslates) {
  TIEICC wide, display;
  wide.LoadAdobeRGBProfile();
  display.LoadSRGBProfile();
  ASSERT_TRUE(wide.IsValid());
  EXPECT_EQ(wide.ColorSpace(), "RGB ");
  EXPECT_EQ(wide.ConnectionSpace(), "XYZ ");
  EXPECT_EQ(wide.Description(), "Compatible with Adobe RGB (1998)");
  EXPECT_EQ(wide.Copyright(), "Public domain");
  const uint8_t rgb[] = {255, 255, 255, 128, 128, 128, 0, 255, 0};
  uint8_t bgr[9] = {};
  ASSERT_TRUE(wide.TransformPixels(display, iepRGB, 3, bgr, rgb, iepBGR));
  for (int ch = 0; ch < 3; ++ch) EXPECT_GE(bgr[ch], 253);
  EXPECT_NEAR(bgr[3], bgr[4], 1);
  EXPECT_NEAR(bgr[4], bgr[5], 1);
  EXPECT_NEAR(bgr[4], 128, 3);
  EXPECT_EQ(bgr[8], 0);
  EXPECT_GE(bgr[7], 250);
}

}  // namespace
