// Graphics objects: colours, fonts, the canvas on a bitmap, bitmap row
// order and formats, files through streams, pictures by extension.
#include "platform/forms/graphics.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "platform/rtl/streams.h"
#include "platform/win/user_system.h"

namespace {

TEST(Colors, SystemColoursResolveAndNamesRoundTrip) {
  EXPECT_EQ(ColorToRGB(clRed), 0x0000FFu);
  EXPECT_EQ(ColorToRGB(clBtnFace), GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(ColorToRGB(clNone), static_cast<COLORREF>(clNone)) << "clNone is left as it is";
  struct Case {
    TColor color;
    const char* text;
  } cases[] = {{clRed, "clRed"}, {clBtnFace, "clBtnFace"}, {clNone, "clNone"}, {0x123456, "$00123456"}};
  for (const Case& c : cases) {
    EXPECT_EQ(ColorToString(c.color), c.text);
    EXPECT_EQ(StringToColor(c.text), c.color);
  }
  EXPECT_EQ(StringToColor("clred"), clRed);
  EXPECT_THROW(StringToColor("reddish"), EConvertError);
}

TEST(Fonts, SizeAndHeightAreOneValueAndChangesAreReported) {
  TFont font;
  int changes = 0;
  font.OnChange = [&](TObject*) { ++changes; };
  font.SetSize(8);
  EXPECT_EQ(font.Height(), -11);
  font.SetHeight(-16);
  EXPECT_EQ(font.Size(), 12);
  font.SetSize(12);  // unchanged: no event
  font.SetName("MS Sans Serif");
  font.SetStyle(TFontStyles{fsBold});
  EXPECT_EQ(changes, 3);
  EXPECT_NE(font.Handle(), nullptr);
  TFont copy;
  copy.Assign(&font);
  EXPECT_TRUE(copy == font);
}

TEST(Bitmaps, ScanLinesRunBottomUpInOneBlock) {
  TBitmap bmp;
  bmp.SetPixelFormat(pf24bit);
  bmp.SetSize(5, 3);
  const auto* row0 = static_cast<uint8_t*>(bmp.ScanLine(0));
  const auto* row1 = static_cast<uint8_t*>(bmp.ScanLine(1));
  EXPECT_EQ(row0 - row1, 16) << "5 pixels of 3 bytes, padded to 4";
  EXPECT_THROW(bmp.ScanLine(3), EInvalidGraphicOperation);
  EXPECT_THROW(bmp.ScanLine(-1), EInvalidGraphicOperation);
  EXPECT_EQ(row0[0], 0xFF) << "a new bitmap is white";

  // What the canvas draws shows in the rows.
  bmp.Canvas()->Brush()->SetColor(clRed);
  bmp.Canvas()->FillRect(RECT{0, 0, 5, 1});
  EXPECT_EQ(row0[2], 0xFF);  // B, G, R
  EXPECT_EQ(row0[0], 0x00);
  EXPECT_EQ(bmp.Canvas()->Pixels(4, 0), clRed);
  EXPECT_EQ(bmp.Canvas()->Pixels(4, 1), clWhite);
}

TEST(Bitmaps, FormatsConvertAndSizesKeepPixels) {
  struct Case {
    TPixelFormat format;
    int stride;  // for 9 pixels
  } cases[] = {{pf1bit, 4}, {pf4bit, 8}, {pf8bit, 12}, {pf15bit, 20}, {pf16bit, 20}, {pf24bit, 28}, {pf32bit, 36}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.format);
    TBitmap bmp;
    bmp.SetSize(9, 2);
    bmp.Canvas()->SetPixels(0, 0, clBlack);
    bmp.SetPixelFormat(c.format);
    EXPECT_EQ(static_cast<uint8_t*>(bmp.ScanLine(0)) - static_cast<uint8_t*>(bmp.ScanLine(1)), c.stride);
    EXPECT_EQ(bmp.Canvas()->Pixels(0, 0), clBlack) << "pixels survive the conversion";
    EXPECT_EQ(bmp.Canvas()->Pixels(1, 0), clWhite);
    EXPECT_EQ(bmp.Palette() != nullptr, c.format <= pf8bit);
  }
  TBitmap bmp;
  bmp.SetSize(4, 4);
  bmp.Canvas()->SetPixels(1, 1, clBlue);
  bmp.SetSize(10, 2);
  EXPECT_EQ(bmp.Canvas()->Pixels(1, 1), clBlue);
  EXPECT_EQ(bmp.Canvas()->Pixels(9, 1), clWhite);
  EXPECT_THROW(bmp.SetSize(100000, 100000), EOutOfMemory);
}

TEST(Bitmaps, StreamRoundTripAndDamagedInput) {
  TBitmap bmp;
  bmp.SetPixelFormat(pf24bit);
  bmp.SetSize(7, 5);
  bmp.Canvas()->SetPixels(6, 4, clGreen);
  TMemoryStream stream;
  bmp.SaveToStream(stream);
  stream.SetPosition(0);
  TBitmap back;
  back.LoadFromStream(stream);
  EXPECT_EQ(back.Width(), 7);
  EXPECT_EQ(back.Height(), 5);
  EXPECT_EQ(back.PixelFormat(), pf24bit);
  EXPECT_EQ(back.Canvas()->Pixels(6, 4), clGreen);

  // No header fails cleanly; cut pixels still give the header's size.
  auto load = [&](int64_t size, TBitmap& into) {
    TMemoryStream part;
    part.WriteBuffer(stream.Memory(), static_cast<int32_t>(size));
    part.SetPosition(0);
    into.LoadFromStream(part);
  };
  for (int64_t size : {int64_t{0}, int64_t{10}}) {
    TBitmap broken;
    EXPECT_THROW(load(size, broken), EInvalidGraphic) << size;
    EXPECT_TRUE(broken.Empty());
  }
  TBitmap cut;
  try {
    load(stream.Size() / 2, cut);
    EXPECT_EQ(cut.Width(), 7);
  } catch (const EInvalidGraphic&) {
    EXPECT_TRUE(cut.Empty());
  }
}

TEST(Pictures, LoadByExtension) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "forms_picture_test";
  std::filesystem::create_directories(dir);
  TBitmap bmp;
  bmp.SetSize(3, 2);
  bmp.SaveToFile((dir / "p.bmp").string());
  TPicture picture;
  int changes = 0;
  picture.OnChange = [&](TObject*) { ++changes; };
  picture.LoadFromFile((dir / "p.bmp").string());
  EXPECT_EQ(picture.Width(), 3);
  EXPECT_NE(dynamic_cast<TBitmap*>(picture.Graphic()), nullptr);
  EXPECT_GE(changes, 1);
  try {
    picture.LoadFromFile((dir / "p.xyz").string());
    FAIL();
  } catch (const EInvalidGraphic& e) {
    EXPECT_EQ(e.Message(), "Unknown picture file extension (.xyz)");
  }
  EXPECT_EQ(picture.Width(), 3) << "a failed load keeps the picture";

  TPicture copy;
  copy.Assign(&picture);
  EXPECT_EQ(copy.Height(), 2);
  EXPECT_NE(copy.Graphic(), picture.Graphic());
  copy.Icon();
  EXPECT_EQ(copy.Width(), 0) << "asking for another kind replaces the graphic";
  std::filesystem::remove_all(dir);
}

TEST(Icons, SavedIconsLoadAgainWithTheirTransparency) {
  TIcon icon;
  TBitmap* pixels = icon.Bitmap();
  pixels->SetPixelFormat(pf32bit);
  pixels->SetSize(16, 16);
  std::memset(pixels->ScanLine(0), 0, 16 * 4);  // top row clear
  TMemoryStream stream;
  icon.SaveToStream(stream);
  stream.SetPosition(0);
  TIcon back;
  back.LoadFromStream(stream);
  EXPECT_EQ(back.Width(), 16);
  EXPECT_EQ(static_cast<uint32_t*>(back.Bitmap()->ScanLine(0))[0] >> 24, 0u);
  EXPECT_EQ(static_cast<uint32_t*>(back.Bitmap()->ScanLine(1))[0] >> 24, 0xFFu);
  TMemoryStream junk;
  junk.WriteBuffer("\0\0\1\0\5\0", 6);
  junk.SetPosition(0);
  EXPECT_THROW(back.LoadFromStream(junk), EInvalidGraphic);
}

// A small icon whose image header claims 60000 x 2048 pixels: the data
// cannot hold them, so the icon is refused instead of allocated and painted.
TEST(Icons, ImageHeaderClaimingMorePixelsThanItsDataIsRefused) {
  TIcon icon;
  icon.Bitmap()->SetPixelFormat(pf32bit);
  icon.Bitmap()->SetSize(4, 4);
  TMemoryStream saved;
  icon.SaveToStream(saved);
  std::vector<uint8_t> bytes(static_cast<const uint8_t*>(saved.Memory()),
                             static_cast<const uint8_t*>(saved.Memory()) + saved.Size());
  const int32_t width = 60000, doubledHeight = 4096;
  std::memcpy(&bytes[22 + 4], &width, 4);  // the image header follows the one-entry directory
  std::memcpy(&bytes[22 + 8], &doubledHeight, 4);
  TMemoryStream stream;
  stream.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
  stream.SetPosition(0);
  TIcon back;
  EXPECT_THROW(back.LoadFromStream(stream), EInvalidGraphic);
  EXPECT_TRUE(back.Empty());
}

}  // namespace

namespace {

TEST(Metafiles, SizeComesFromTheHeader) {
  auto stream = [](std::vector<uint8_t> bytes) {
    auto s = std::make_unique<TMemoryStream>();
    s->WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
    s->SetPosition(0);
    return s;
  };
  auto put32 = [](std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  // An enhanced metafile whose frame is 50.8 mm x 25.4 mm.
  std::vector<uint8_t> emf(88, 0);
  put32(emf, 0, 1);
  put32(emf, 32, 5080);
  put32(emf, 36, 2540);
  put32(emf, 40, 0x464D4520);
  TMetafile meta;
  meta.LoadFromStream(*stream(emf));
  EXPECT_TRUE(meta.Enhanced());
  EXPECT_EQ(meta.MMWidth(), 5080);
  EXPECT_EQ(meta.Width(), 192);
  EXPECT_EQ(meta.Height(), 96);

  // A placeable Windows metafile of 2 x 1 inches at 1440 units per inch.
  std::vector<uint8_t> wmf(40, 0);
  put32(wmf, 0, 0x9AC6CDD7);
  wmf[10] = 2880 & 0xFF, wmf[11] = 2880 >> 8;
  wmf[12] = 1440 & 0xFF, wmf[13] = 1440 >> 8;
  wmf[14] = 1440 & 0xFF, wmf[15] = 1440 >> 8;
  meta.LoadFromStream(*stream(wmf));
  EXPECT_FALSE(meta.Enhanced());
  EXPECT_EQ(meta.Width(), 192);
  EXPECT_EQ(meta.Height(), 96);

  for (const std::vector<uint8_t>& bad : {std::vector<uint8_t>{}, std::vector<uint8_t>(30, 7), wmf}) {
    std::vector<uint8_t> data = bad;
    if (data.size() == 40) data[14] = data[15] = 0;  // no units per inch
    TMetafile broken;
    EXPECT_THROW(broken.LoadFromStream(*stream(data)), EInvalidGraphic);
    EXPECT_TRUE(broken.Empty());
  }

  // A frame from -2 to the largest edge is wider than any size can hold.
  std::vector<uint8_t> wide = emf;
  put32(wide, 24, static_cast<uint32_t>(-2));
  put32(wide, 32, 0x7FFFFFFF);
  TMetafile tooWide;
  EXPECT_THROW(tooWide.LoadFromStream(*stream(wide)), EInvalidGraphic);
}

}  // namespace
