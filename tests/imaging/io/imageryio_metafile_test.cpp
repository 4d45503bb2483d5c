// Metafile import: the drawing size, the refusal of a zero side, the key
// colour's transparency, and bytes that are no metafile.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "imaging/core/ruduvazez.h"
#include "imaging/io/imageryio.h"
#include "platform/forms/graphics.h"
#include "platform/rtl/streams.h"
#include "tests/platform/win/metafile_test_records.h"

namespace {

TEST(MetafileImport, DrawingSize) {
  struct Case {
    int64_t metaW, metaH;
    int32_t w, h, max;
    bool ok;
    int32_t outW, outH;
  };
  const Case cases[] = {
      {400, 100, 200, -1, 8000, true, 200, 50},      // height from the proportions
      {400, 100, -1, 50, 8000, true, 200, 50},       // width from the proportions
      {400, 100, 30, 40, 8000, true, 30, 40},        // both given
      {400, 100, -1, -1, 8000, true, 400, 100},      // own size
      {10000, 5000, -1, -1, 8000, true, 8000, 4000}, // the longer side limited
      {5000, 10000, -1, -1, 8000, true, 4000, 8000},
      {1000, 1, 10, -1, 8000, true, 10, 1},          // a side below 1 becomes 1
      {3000000000LL, 1, -1, 2, 8000, true, 8000, 1}, // 64-bit products
      {400, 100, 0, -1, 8000, false, 0, 0},          // Width 0
      {400, 100, -1, 0, 8000, false, 0, 0},
      {0, 100, -1, -1, 8000, false, 0, 0},           // an empty picture
  };
  for (const Case& c : cases) {
    int32_t w = 0, h = 0;
    EXPECT_EQ(IEMetafileRenderSize(c.metaW, c.metaH, c.w, c.h, c.max, w, h), c.ok) << c.metaW << "x" << c.metaH;
    if (c.ok) {
      EXPECT_EQ(w, c.outW) << c.metaW << "x" << c.metaH << " " << c.w << "," << c.h;
      EXPECT_EQ(h, c.outH) << c.metaW << "x" << c.metaH << " " << c.w << "," << c.h;
    }
  }
}

std::unique_ptr<TMemoryStream> StreamOf(const std::vector<uint8_t>& bytes) {
  auto s = std::make_unique<TMemoryStream>();
  s->WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
  s->SetPosition(0);
  return s;
}

// A 96 x 96 picture: a red square on its left half, and a square in the
// key colour itself at the bottom right; the rest untouched.
std::vector<uint8_t> Picture() {
  Emf e;
  e.RedBrush().NoPen().Rectangle(0, 0, 48, 48);
  e.Rec(39, {2, 0, 0x010203, 0}).Rec(37, {2}).Rectangle(64, 64, 96, 96);
  return e.End().b;
}

TEST(MetafileImport, KeyColourAlphaAndSizes) {
  TIEBitmap bitmap;
  std::unique_ptr<TImageryIO> io(TImageryIO::CreateFromBitmap(&bitmap));
  io->SetBackground(0xFFFFFF);
  auto stream = StreamOf(Picture());
  ASSERT_TRUE(io->ImportMetafileStream(*stream, -1, -1, true));
  ASSERT_EQ(bitmap.GetWidth(), 96);
  ASSERT_EQ(bitmap.GetHeight(), 96);
  EXPECT_EQ(io->Params().FILETYPE, 10);
  EXPECT_EQ(io->Params().DPIX, 300);
  EXPECT_EQ(io->Params().ORIGINALWIDTH, 96);
  EXPECT_TRUE(io->Params().FILENAME.empty());
  EXPECT_EQ(bitmap.GetPixel24(20, 20), (TRGB{0, 0, 255}));
  EXPECT_EQ(bitmap.GetPixel24(70, 20), (TRGB{255, 255, 255}));  // the background
  ASSERT_TRUE(bitmap.HasAlphaChannel());
  EXPECT_EQ(bitmap.GetAlphaPixel(20, 20), 255);
  EXPECT_EQ(bitmap.GetAlphaPixel(70, 20), 0);  // untouched
  EXPECT_EQ(bitmap.GetAlphaPixel(80, 80), 0);  // painted in the key colour
  EXPECT_FALSE(bitmap.GetAlphaChannel()->FullFlag());

  // Width 200, proportional height; no alpha channel is left.
  stream = StreamOf(Picture());
  ASSERT_TRUE(io->ImportMetafileStream(*stream, 200, -1, false));
  EXPECT_EQ(bitmap.GetWidth(), 200);
  EXPECT_EQ(bitmap.GetHeight(), 200);
  EXPECT_FALSE(bitmap.HasAlphaChannel());

  // Width 0 fails and leaves the image as it is.
  stream = StreamOf(Picture());
  EXPECT_FALSE(io->ImportMetafileStream(*stream, 0, -1, true));
  EXPECT_EQ(bitmap.GetWidth(), 200);
}

TEST(MetafileImport, BytesThatAreNoMetafileRaise) {
  TIEBitmap bitmap;
  std::unique_ptr<TImageryIO> io(TImageryIO::CreateFromBitmap(&bitmap));
  // Bytes that are no metafile raise the framework's exception.
  auto junk = StreamOf(std::vector<uint8_t>(64, 7));
  EXPECT_THROW(io->ImportMetafileStream(*junk, -1, -1, false), EInvalidGraphic);
}

}  // namespace
