// The layered-document codec judged by ImageMagick: documents it writes
// decode to its own decoding, documents we write decode back in it, the
// PackBits coding and damaged files.
#include "imaging/codecs/iepsd.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imaging/core/iesettings.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/core/ruduvazez_icc.h"
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

class PsdTest : public codectest::CodecTest {
protected:
  void ReadBytes(const std::string& bytes, bool paramsOnly = false) {
    abort_ = false;
    codectest::Fill(stream_, bytes);
    IEReadPSDStream(stream_, &bitmap_, params_, progress_, paramsOnly);
  }
  void Read(const std::string& file) { ReadBytes(ReadAll(file)); }
  std::string Written(TIEBitmap& image, TIOParamsVals& params) {
    abort_ = false;
    TMemoryStream out;
    IEWritePSDStream(out, params, progress_, image);
    EXPECT_FALSE(abort_.load());
    return codectest::Contents(out);
  }

  TMemoryStream stream_;
  TIEBitmap bitmap_;
  TIOParamsVals params_{nullptr};
};

TEST_F(PsdTest, DocumentsOfImageMagickDecodeAsItDecodesThem) {
  InDir("/usr/bin/convert -size 19x11 gradient:'#ff8000'-'#0040c0' src.ppm");
  const struct {
    const char* name;
    const char* options;  // turning src.ppm into the case
    bool native;
    TIEPixelFormat format;
    bool alpha;
    int tolerance;  // 16-bit samples cut to 8 bits, CMYK converted by either side
  } cases[] = {
      {"rgb8.psd", "-depth 8", false, ie24RGB, false, 0},
      {"raw8.psd", "-depth 8 -compress None", false, ie24RGB, false, 0},
      {"rgba8.psd", "-depth 8 -alpha set -channel A -fx 'i/w' +channel", false, ie24RGB, true, 0},
      {"rgb16.psd", "-depth 16", true, ieRGB48, false, 1},
      {"grey8.psd", "-depth 8 -colorspace gray", true, ie8g, false, 0},
      {"grey16.psd", "-depth 16 -colorspace gray", true, ie16Gray, false, 1},
      {"cmyk8.psd", "-depth 8 -colorspace cmyk", true, ieCMYK, false, 1},
      {"palette.psd", "-depth 8 -colors 30 -type Palette", true, ie8p, false, 0},
      {"palettergb.psd", "-depth 8 -colors 30 -type Palette", false, ie24RGB, false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    InDir(std::string("/usr/bin/convert src.ppm ") + c.options + " " + c.name);
    params_.ISNATIVEPIXELFORMAT = c.native;
    Read(Path(c.name));
    EXPECT_FALSE(abort_.load());
    EXPECT_EQ(bitmap_.GetPixelFormat(), c.format);
    EXPECT_EQ(bitmap_.HasAlphaChannel(), c.alpha);
    EXPECT_EQ(params_.WIDTH, 19);
    // ImageMagick reads back no indexed document of its own: the image it quantized judges those.
    const bool indexed = c.format == ie8p || std::string(c.name) == "palettergb.psd";
    // Its merged image of a transparent document is matted; its one layer holds the same pixels plainly.
    const std::string frame = c.alpha ? "[1]" : "[0]";
    const std::string expected = indexed ? MagickRGBA(Path("src.ppm"), Path("j.rgba"), "-colors 30")
                                         : MagickRGBA(Path(c.name) + frame, Path("j.rgba"));
    EXPECT_LE(MaxDifference(BitmapRGBA(bitmap_), expected), c.tolerance);
  }
  // 16-bit samples come through whole.
  params_.ISNATIVEPIXELFORMAT = true;
  Read(Path("rgb16.psd"));
  InDir("/usr/bin/convert 'rgb16.psd[0]' -depth 16 -endian MSB rgb:rgb16.raw");
  const std::string words = ReadAll(Path("rgb16.raw"));
  ASSERT_EQ(words.size(), 19u * 11 * 6);
  const auto sample = bitmap_.GetPixel48(7, 4);
  const size_t at = (4 * 19 + 7) * 6;
  EXPECT_EQ(sample[0], (static_cast<uint8_t>(words[at]) << 8 | static_cast<uint8_t>(words[at + 1])));
  EXPECT_EQ(sample[2], (static_cast<uint8_t>(words[at + 4]) << 8 | static_cast<uint8_t>(words[at + 5])));
}

TEST_F(PsdTest, WrittenDocumentsDecodeBackInImageMagick) {
  InDir("/usr/bin/convert -size 23x9 gradient:'#ff0000'-'#00ff80' -colors 40 src.psd");
  params_.ISNATIVEPIXELFORMAT = false;
  Read(Path("src.psd"));
  TIEBitmap colour;
  colour.Assign(&bitmap_);
  const struct {
    const char* name;
    TIEPixelFormat format;
    bool large;
    uint16_t mode;
    bool magickJudge;  // ImageMagick reads no indexed document back
  } cases[] = {
      {"w24.psd", ie24RGB, false, 3, true},  {"w24large.psd", ie24RGB, true, 3, true},
      {"w48.psd", ieRGB48, false, 3, true},  {"w8g.psd", ie8g, false, 1, true},
      {"w16g.psd", ie16Gray, false, 1, true}, {"w8p.psd", ie8p, false, 2, false},
      {"w1.psd", ie1g, false, 0, true},      {"wcmyk.psd", ieCMYK, false, 4, true},
      {"w32.psd", ie32RGBA, false, 3, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TIEBitmap image;
    image.Assign(&colour);
    image.ConvertToPixelFormat(c.format);
    TIOParamsVals params(nullptr);
    params.PSDLargeDocument = c.large;
    params.DPIX = 150;
    params.DPIY = 75;
    const std::string file = Written(image, params);
    ASSERT_GT(file.size(), 26u);
    EXPECT_EQ(static_cast<uint8_t>(file[5]), c.large ? 2 : 1);
    EXPECT_EQ(static_cast<uint8_t>(file[25]), c.mode);
    codectest::SaveBytes(file, Path(c.name));
    const int tolerance = c.format == ieCMYK || c.format == ie16Gray || c.format == ieRGB48 ? 1 : 0;
    if (c.magickJudge) {
      EXPECT_LE(MaxDifference(MagickRGBA(Path(c.name), Path("j.rgba")), BitmapRGBA(image)), tolerance);
    }
    params_.ISNATIVEPIXELFORMAT = true;
    Read(Path(c.name));
    EXPECT_FALSE(abort_.load());
    EXPECT_EQ(params_.DPIX, 150);
    EXPECT_EQ(params_.DPIY, 75);
    EXPECT_EQ(MaxDifference(BitmapRGBA(bitmap_), BitmapRGBA(image)), 0);
  }
}

TEST_F(PsdTest, LayersOfImageMagickDecodeAsItDecodesThem) {
  InDir("/usr/bin/convert -size 20x12 xc:'#102030' \\( -size 8x5 gradient:red-blue -set page +3+2 -set label first \\) "
        "\\( -size 6x6 xc:lime -alpha set -channel A -fx 'i/w' +channel -set page +10+4 -set label second \\) "
        "-depth 8 layered.psd");
  abort_ = false;
  TMemoryStream s;
  s.LoadFromFile(Path("layered.psd"));
  std::vector<TIEPSDLayer> layers;
  IEReadPSDStream(s, &bitmap_, params_, progress_, false, &layers, true);
  ASSERT_FALSE(abort_.load());
  ASSERT_EQ(layers.size(), 2u);
  const struct {
    const char* name;
    int32_t x, y;
    bool alpha;
  } expected[] = {{"first", 3, 2, false}, {"second", 10, 4, true}};
  for (size_t i = 0; i < 2; ++i) {
    SCOPED_TRACE(expected[i].name);
    EXPECT_EQ(layers[i].Name, expected[i].name);
    EXPECT_EQ(layers[i].PosX, expected[i].x);
    EXPECT_EQ(layers[i].PosY, expected[i].y);
    EXPECT_TRUE(layers[i].Visible);
    EXPECT_EQ(layers[i].Bitmap->HasAlphaChannel(), expected[i].alpha);
    const std::string frame = Path("layered.psd") + "[" + std::to_string(i + 1) + "]";
    EXPECT_EQ(MaxDifference(BitmapRGBA(*layers[i].Bitmap), MagickRGBA(frame, Path("j.rgba"))), 0);
  }
  // Without loading layers a two-layer document gives the merged image.
  layers.clear();
  s.SetPosition(0);
  IEReadPSDStream(s, &bitmap_, params_, progress_, false, &layers, false);
  EXPECT_TRUE(layers.empty());
  EXPECT_EQ(bitmap_.GetWidth(), 20);
}

TEST_F(PsdTest, WrittenLayersDecodeBackAndTheCallersLayersStayAsTheyWere) {
  TIEBitmap merged(16, 10, ieCMYK);
  merged.Fill(0);
  std::vector<TIEPSDLayer> layers(3);
  layers[0].Bitmap = std::make_unique<TIEBitmap>(7, 5, ie24RGB);
  for (int32_t y = 0; y < 5; ++y)
    for (int32_t x = 0; x < 7; ++x) layers[0].Bitmap->SetPixel24(x, y, TRGB{uint8_t(x * 30), 40, uint8_t(y * 50)});
  layers[0].PosX = 2, layers[0].PosY = 3, layers[0].Name = "abc", layers[0].Opacity = 0.5;
  layers[1].Bitmap = std::make_unique<TIEBitmap>(4, 3, ie8g);
  layers[1].Bitmap->Fill(0);
  layers[1].Bitmap->GetScanline(1)[2] = 200;
  layers[1].MaskOfPrevious = true, layers[1].Visible = false, layers[1].PosX = 1, layers[1].PosY = 1;
  layers[2].Bitmap = std::make_unique<TIEBitmap>(3, 2, ie24RGB);
  layers[2].Bitmap->Fill(0);
  layers[2].Bitmap->GetAlphaChannel()->Fill(0);
  layers[2].Bitmap->GetAlphaChannel()->GetScanline(0)[0] = 255;
  layers[2].Bitmap->GetAlphaChannel()->SetFullFlag(false);
  layers[2].Visible = false, layers[2].Name = std::string(300, 'n');

  TIOParamsVals params(nullptr);
  for (bool large : {false, true}) {
    SCOPED_TRACE(large ? "large" : "normal");
    params.PSDLargeDocument = large;
    TMemoryStream out;
    abort_ = false;
    IEWritePSDStream(out, params, progress_, merged, &layers);
    ASSERT_FALSE(abort_.load());
    EXPECT_EQ(layers[0].Bitmap->GetPixelFormat(), ie24RGB);  // the caller's layers are not converted
    EXPECT_FALSE(layers[0].Bitmap->HasAlphaChannel());
    const std::string file = codectest::Contents(out);
    std::vector<TIEPSDLayer> back;
    params_.ISNATIVEPIXELFORMAT = true;
    out.SetPosition(0);
    IEReadPSDStream(out, nullptr, params_, progress_, false, &back, true);
    ASSERT_FALSE(abort_.load());
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ(back[0].Name, "abc");
    EXPECT_EQ(back[0].PosX, 2);
    EXPECT_NEAR(back[0].Opacity, 0.5, 0.01);
    EXPECT_EQ(back[0].Bitmap->GetPixelFormat(), ieCMYK);
    EXPECT_TRUE(back[1].MaskOfPrevious);
    EXPECT_FALSE(back[1].Visible);
    EXPECT_EQ(back[1].PosX, 1);
    EXPECT_EQ(back[1].Bitmap->GetScanline(1)[2], 200);
    EXPECT_EQ(back[2].Name, std::string(255, 'n'));
    EXPECT_FALSE(back[2].Visible);
    ASSERT_TRUE(back[2].Bitmap->HasAlphaChannel());
    EXPECT_EQ(back[2].Bitmap->GetAlphaChannel()->GetScanline(0)[1], 0);
    if (!large) {
      codectest::SaveBytes(file, Path("w.psd"));
      InDir("/usr/bin/identify -format '%wx%h%X%Y,' w.psd > sizes.txt");
      EXPECT_EQ(ReadAll(Path("sizes.txt")), "16x10+0+0,7x5+2+3,3x2+0+0,");
    }
  }
}

TEST_F(PsdTest, PackBitsCoding) {
  const struct {
    const char* what;
    std::vector<uint8_t> plain;
    std::vector<uint8_t> coded;
  } cases[] = {
      {"three equal bytes stay literal", {7, 7, 7, 1}, {3, 7, 7, 7, 1}},
      {"four make a run", {7, 7, 7, 7, 1}, {253, 7, 0, 1}},
      {"200 equal bytes: runs of 128 and 72", std::vector<uint8_t>(200, 9), {129, 9, 185, 9}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> coded;
    IEPackBitsEncode(c.plain.data(), c.plain.size(), coded);
    EXPECT_EQ(coded, c.coded);
    std::vector<uint8_t> plain(c.plain.size());
    EXPECT_EQ(IEPackBitsDecode(coded.data(), coded.size(), plain.data(), plain.size()), coded.size());
    EXPECT_EQ(plain, c.plain);
  }
  // 128 is passed over; runs and literals never write past the row.
  const std::vector<uint8_t> coded = {128, 1, 5, 6, 250, 4};
  std::vector<uint8_t> row(4, 0);
  IEPackBitsDecode(coded.data(), coded.size(), row.data(), row.size());
  EXPECT_EQ(row, (std::vector<uint8_t>{5, 6, 4, 4}));
  // 300 literal bytes come in three literal runs.
  std::vector<uint8_t> ramp(300);
  for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<uint8_t>(i * 7);
  std::vector<uint8_t> packed;
  IEPackBitsEncode(ramp.data(), ramp.size(), packed);
  EXPECT_EQ(packed.size(), 303u);
}

TEST_F(PsdTest, ResourcesAndIndexedTransparency) {
  TIEBitmap image(5, 4, ie8p);
  for (int32_t i = 0; i < 256; ++i) image.SetPaletteColor(i, TRGB{uint8_t(i), 0, uint8_t(255 - i)});
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 5; ++x) image.GetScanline(y)[x] = static_cast<uint8_t>(x == 0 ? 255 : x * 10);
  TIOParamsVals params(nullptr);
  params.XMP_INFO = "<x:xmpmeta/>";
  params.DPIX = params.DPIY = 200;
  const std::string file = Written(image, params);
  // Index 255 is an ordinary colour: no transparent index is written, none read.
  EXPECT_EQ(file.find(std::string("8BIM\x04\x17", 6)), std::string::npos);
  params_.ISNATIVEPIXELFORMAT = true;
  ReadBytes(file);
  EXPECT_FALSE(bitmap_.HasAlphaChannel());
  EXPECT_EQ(params_.XMP_INFO, "<x:xmpmeta/>");
  EXPECT_EQ(params_.DPIX, 200);
  codectest::SaveBytes(file, Path("p.psd"));
  // A transparent-index resource the file carries is honoured.
  const size_t resources = 26 + 4 + 768;
  std::string withIndex = file;
  const std::string resource("8BIM\x04\x17\0\0\0\0\0\x02\0\xff", 14);
  withIndex.insert(resources + 4, resource);
  const uint32_t length = static_cast<uint8_t>(file[resources]) << 24 | static_cast<uint8_t>(file[resources + 1]) << 16 |
                          static_cast<uint8_t>(file[resources + 2]) << 8 | static_cast<uint8_t>(file[resources + 3]);
  const uint32_t longer = length + 14;
  for (int i = 0; i < 4; ++i) withIndex[resources + i] = static_cast<char>(longer >> (24 - 8 * i));
  ReadBytes(withIndex);
  ASSERT_TRUE(bitmap_.HasAlphaChannel());
  EXPECT_EQ(bitmap_.GetAlphaChannel()->GetScanline(0)[0], 0);
  EXPECT_EQ(bitmap_.GetAlphaChannel()->GetScanline(0)[1], 255);
}

// A document carrying a wide-gamut RGB profile: with colour management its
// saturated red comes out more saturated in sRGB, without it the samples
// stay, and the native format keeps the samples and hands the profile to
// the bitmap.
TEST_F(PsdTest, EmbeddedProfileByColourManagementAndNativeFormat) {
  TIEBitmap image(3, 2, ie24RGB);
  image.Fill(0);
  for (int32_t y = 0; y < 2; ++y)
    for (int32_t x = 0; x < 3; ++x) image.SetPixel24(x, y, TRGB{60, 60, 180});
  TIOParamsVals params(nullptr);
  params.GetInputICCProfile().LoadAdobeRGBProfile();
  const std::string file = Written(image, params);
  struct Case {
    bool managed, native, transformed;
  } cases[] = {{true, false, true}, {false, false, false}, {true, true, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "managed " << c.managed << ", native " << c.native);
    IEGetGlobalSettings()->ApplyEmbeddedICC = c.managed;
    params_.ISNATIVEPIXELFORMAT = c.native;
    bitmap_.ImageProfile().Clear();
    ReadBytes(file);
    IEGetGlobalSettings()->ApplyEmbeddedICC = false;
    ASSERT_FALSE(abort_.load());
    ASSERT_EQ(bitmap_.GetPixelFormat(), ie24RGB);
    const TRGB got = bitmap_.GetPixel24(2, 1);
    if (c.transformed) {
      EXPECT_GT(got.r, 190);
      EXPECT_LT(got.g, 60);
      EXPECT_LT(got.b, 60);
    } else {
      EXPECT_EQ(got.r, 180);
      EXPECT_EQ(got.g, 60);
      EXPECT_EQ(got.b, 60);
    }
    EXPECT_EQ(bitmap_.ImageProfile().IsValid(), c.native);
  }
  // The fixture shuts the colour system down before it frees its members.
  params_.GetInputICCProfile().Clear();
  params_.GetOutputICCProfile().Clear();
  bitmap_.ImageProfile().Clear();
}

// A layer chosen by name is the only one decoded, with its mask; the merged
// image is not read then, and an unknown name gives no layers.
TEST_F(PsdTest, ChosenLayerAloneIsDecoded) {
  TIEBitmap merged(8, 6, ie24RGB);
  merged.Fill(0);
  std::vector<TIEPSDLayer> layers(3);
  const char* names[] = {"back", "face", "face mask"};
  for (size_t i = 0; i < 3; ++i) {
    layers[i].Bitmap = std::make_unique<TIEBitmap>(4 + int32_t(i), 3, i == 2 ? ie8g : ie24RGB);
    layers[i].Bitmap->Fill(0);
    layers[i].Name = names[i];
  }
  layers[1].Bitmap->SetPixel24(0, 0, TRGB{1, 2, 3});
  layers[2].MaskOfPrevious = true;
  layers[2].Bitmap->GetScanline(2)[5] = 77;
  TIOParamsVals params(nullptr);
  TMemoryStream out;
  IEWritePSDStream(out, params, progress_, merged, &layers);
  ASSERT_FALSE(abort_.load());
  struct Case {
    const char* name;
    size_t count;
  } cases[] = {{"face", 2}, {"back", 1}, {"none", 0}, {"", 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<TIEPSDLayer> back;
    TIEBitmap target;
    params_.PSDLayerName = c.name;
    out.SetPosition(0);
    IEReadPSDStream(out, &target, params_, progress_, false, &back, true);
    ASSERT_FALSE(abort_.load());
    ASSERT_EQ(back.size(), c.count);
    if (c.count == 2) {
      EXPECT_EQ(back[0].Name, "face");
      EXPECT_EQ(back[0].Bitmap->GetPixel24(0, 0).r, 3);
      EXPECT_TRUE(back[1].MaskOfPrevious);
      EXPECT_EQ(back[1].Bitmap->GetScanline(2)[5], 77);
    }
    if (c.count == 1) {
      EXPECT_EQ(back[0].Bitmap->GetWidth(), 4);
    }
    EXPECT_TRUE(target.IsEmpty());
  }
}

TEST_F(PsdTest, DamagedDocumentsFailCleanly) {
  InDir("/usr/bin/convert -size 40x30 plasma:fractal -seed 3 -depth 8 a.psd");
  const std::string good = ReadAll(Path("a.psd"));
  codectest::ExpectCutsFailAndFlipsSurvive(
      good, 89, good.size() - 1, [&](const std::string& bytes) { ReadBytes(bytes); }, abort_);
  auto edited = [&](size_t at, const std::string& bytes) { return std::string(good).replace(at, bytes.size(), bytes); };
  const struct {
    const char* what;
    std::string file;
  } refused[] = {  // (the pixel data of this file starts behind a layer section)
      {"30000 x 30000 over a few bytes", edited(14, std::string("\x00\x00\x75\x30\x00\x00\x75\x30", 8))},
      {"depth 4", edited(22, std::string("\x00\x04", 2))},
      {"version 3", edited(4, std::string("\x00\x03", 2))},
  };
  for (const auto& c : refused) {
    SCOPED_TRACE(c.what);
    TIEBitmap fresh;
    bitmap_.Assign(&fresh);
    ReadBytes(c.file);
    EXPECT_TRUE(abort_.load());
    EXPECT_NE(bitmap_.GetWidth(), 30000);
  }
  TMemoryStream s;
  codectest::Fill(s, good);
  EXPECT_TRUE(IEIsPSDStream(s));
  EXPECT_EQ(s.Position(), 0);
}

}  // namespace
