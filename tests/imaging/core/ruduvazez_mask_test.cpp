// The selection mask: pixels, spans, fills, polygons, box, offset, resize
// and copies of selected pixels.
#include <climits>
#include <vector>

#include "platform/rtl/exceptions.h"
#include "tests/imaging/core/bitmap_support.h"
#include "imaging/core/ruduvazez_mask.h"

namespace {

// The mask's pixels as text, one line per row: '#' selected, '.' not.
std::string Picture(const TIEMask& m) {
  std::string s;
  for (int32_t y = 0; y < m.Height; ++y) {
    for (int32_t x = 0; x < m.Width; ++x) s += m.GetPixel(x, y) ? '#' : '.';
    s += '\n';
  }
  return s;
}

TEST(MaskTest, ANewMaskIsEmptyWithoutBits) {
  TIEMask m;
  m.Allocate(10, 10, 1);
  EXPECT_TRUE(m.IsEmpty());
  EXPECT_FALSE(m.HasBits());
  EXPECT_FALSE(m.IsPointInside(0, 0));
  EXPECT_EQ(m.GetPixel(0, 0), 0);
  EXPECT_EQ(m.RowLen, 4);
  EXPECT_FALSE(m.Full);
}

TEST(MaskTest, PixelsExtendTheBoxAndClearingLeavesIt) {
  for (int32_t depth : {1, 8}) {
    SCOPED_TRACE(depth);
    TIEMask m;
    m.Allocate(10, 10, depth);
    m.SetPixel(3, 4, 1);
    EXPECT_EQ((std::vector<int32_t>{m.X1, m.Y1, m.X2, m.Y2}), (std::vector<int32_t>{3, 4, 3, 4}));
    EXPECT_TRUE(m.IsPointInside(3, 4));
    m.SetPixel(3, 4, 0);
    EXPECT_FALSE(m.IsPointInside(3, 4));
    EXPECT_EQ(m.X1, 3);
    m.SetPixel(-1, 0, 1);  // outside: ignored
    m.SetPixel(10, 0, 1);
    EXPECT_EQ(m.X1, 3);
    m.RecalcBoundingBox();
    EXPECT_TRUE(m.IsEmpty());
  }
  TIEMask bits;
  bits.Allocate(16, 1, 1);
  bits.SetPixel(9, 0, 255);
  EXPECT_EQ(bits.GetPixel(9, 0), 0x40);  // the bit's weight
  EXPECT_EQ(bits.GetScanline(0)[1], 0x40);
}

TEST(MaskTest, TheFullFlagFollowsFillsAndWrites) {
  TIEMask m;
  m.Allocate(5, 3, 8);
  EXPECT_TRUE(m.Fill(255));
  m.SetPixel(0, 0, 0);
  EXPECT_FALSE(m.Full);
  EXPECT_FALSE(m.Fill(0));
  m.SetPixel(0, 0, 255);  // one write never sets it
  EXPECT_FALSE(m.Full);

  TIEMask b;
  b.Allocate(11, 2, 1);  // a partial last byte
  for (int32_t y = 0; y < 2; ++y) b.FillSpan(1, 0, 10, y);
  b.UpdateFullFlag();
  EXPECT_TRUE(b.Full);
  b.SetPixel(10, 1, 0);
  EXPECT_FALSE(b.Full);
  b.SetPixel(10, 1, 1);
  b.UpdateFullFlag();
  EXPECT_TRUE(b.Full);
}

TEST(MaskTest, SpansAreClampedAndOnlyOneSetsBits) {
  TIEMask m;
  m.Allocate(10, 2, 1);
  m.SetPixel(0, 0, 255);
  EXPECT_EQ(m.FillSpan(255, 0, 9, 0), 10);  // only 1 sets bits in a 1-bit mask
  EXPECT_EQ(Picture(m), "..........\n..........\n");
  EXPECT_EQ(m.FillSpan(1, -5, 3, 7), 4);  // row clamped to the last
  EXPECT_EQ(Picture(m), "..........\n####......\n");
  EXPECT_EQ(m.FillSpan(1, 5, 2, 0), 0);
  EXPECT_EQ((std::vector<int32_t>{m.X1, m.Y1, m.X2, m.Y2}), (std::vector<int32_t>{0, 0, 0, 0}));  // spans leave the box

  TIEMask g;
  g.Allocate(4, 1, 8);
  g.FillSpan(77, 1, 20, 0);
  EXPECT_EQ(g.GetPixel(3, 0), 77);
  EXPECT_EQ(g.GetPixel(0, 0), 0);
}

TEST(MaskTest, PolygonsFillEachInsidePixelOnce) {
  TIEMask m;
  m.Allocate(12, 12, 8);
  const POINT square[] = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
  m.FillPolygons(1, square, 4);
  for (int32_t y = 0; y < 12; ++y)
    for (int32_t x = 0; x < 12; ++x) EXPECT_EQ(m.GetPixel(x, y), x < 10 && y < 10 ? 1 : 0) << x << "," << y;
  EXPECT_EQ((std::vector<int32_t>{m.X1, m.Y1, m.X2, m.Y2}), (std::vector<int32_t>{0, 0, 9, 9}));

  // Two polygons separated by the marker; a triangle's rows narrow.
  TIEMask t;
  t.Allocate(8, 5, 1);
  const POINT shapes[] = {{0, 0}, {4, 0}, {0, 4}, {IEPolygonSeparator, 0}, {6, 0}, {8, 0}, {8, 2}, {6, 2}};
  t.FillPolygons(1, shapes, 8);
  EXPECT_EQ(Picture(t),
            "####..##\n"
            "###...##\n"
            "##......\n"
            "#.......\n"
            "........\n");
  EXPECT_EQ(t.X2, 7);

  // Vertices far outside select nothing beyond the mask.
  TIEMask c;
  c.Allocate(4, 4, 8);
  const POINT above[] = {{-100, -50}, {100, -50}, {100, -10}, {-100, -10}};
  c.FillPolygons(255, above, 4);
  EXPECT_EQ(Picture(c), "....\n....\n....\n....\n");
  EXPECT_TRUE(c.IsEmpty());
  const POINT huge[] = {{-100000, -100000}, {100000, -100000}, {100000, 100000}, {-100000, 100000}};
  c.FillPolygons(255, huge, 4);
  EXPECT_TRUE(c.Full);
  EXPECT_EQ((std::vector<int32_t>{c.X1, c.Y1, c.X2, c.Y2}), (std::vector<int32_t>{0, 0, 3, 3}));
  // A polygon that writes nothing empties the box; the next move finds it
  // again from the pixels.
  c.FillPolygons(255, above, 4);
  EXPECT_TRUE(c.IsEmpty());
  int32_t dx = 0, dy = 0;
  c.Offset(dx, dy, false);
  EXPECT_EQ((std::vector<int32_t>{c.X1, c.Y1, c.X2, c.Y2}), (std::vector<int32_t>{0, 0, 3, 3}));
}

TEST(MaskTest, OffsetMovesTheSelection) {
  for (int32_t depth : {1, 8}) {
    SCOPED_TRACE(depth);
    TIEMask m;
    m.Allocate(10, 3, depth);
    m.SetPixel(1, 1, 255);
    m.SetPixel(2, 1, 255);
    int32_t dx = 3, dy = -1;
    m.Offset(dx, dy, false);
    EXPECT_EQ(dx, 3);
    EXPECT_EQ(Picture(m), "....##....\n..........\n..........\n");
    EXPECT_EQ((std::vector<int32_t>{m.X1, m.Y1, m.X2, m.Y2}), (std::vector<int32_t>{4, 0, 5, 0}));

    // Without clipping the move stops at the edge.
    dx = 10;
    dy = 0;
    m.Offset(dx, dy, false);
    EXPECT_EQ(dx, 4);
    EXPECT_EQ(Picture(m), "........##\n..........\n..........\n");
    dx = 5;
    m.Offset(dx, dy, false);
    EXPECT_EQ(dx, 0);

    // With clipping what leaves the mask is lost.
    dx = -9;
    m.Offset(dx, dy, true);
    EXPECT_EQ(dx, -9);
    EXPECT_EQ(Picture(m), "#.........\n..........\n..........\n");
  }
}

TEST(MaskTest, ResizeKeepsTheTopLeftPart) {
  TIEMask m;
  m.Allocate(10, 4, 1);
  m.SetPixel(0, 0, 1);
  m.SetPixel(9, 3, 1);
  m.SetPixel(2, 1, 1);
  m.Resize(40, 2);
  EXPECT_EQ(m.RowLen, 8);
  EXPECT_EQ(m.GetPixel(0, 0), 0x80);
  EXPECT_NE(m.GetPixel(2, 1), 0);
  EXPECT_EQ((std::vector<int32_t>{m.X1, m.Y1, m.X2, m.Y2}), (std::vector<int32_t>{0, 0, 9, 1}));
}

// A box one column wide is clamped like any other: left outside a narrower
// mask, the next move would read before its saved copy (ASan).
TEST(MaskTest, ResizeClampsABoxOfOneColumnOrRow) {
  for (int32_t depth : {1, 8}) {
    SCOPED_TRACE(depth);
    TIEMask m;
    m.Allocate(40, 6, depth);
    m.SetPixel(30, 1, 255);
    m.SetPixel(30, 4, 255);
    m.Resize(10, 6);
    EXPECT_EQ((std::vector<int32_t>{m.X1, m.Y1, m.X2, m.Y2}), (std::vector<int32_t>{9, 1, 9, 4}));
    int32_t dx = -2, dy = 0;
    m.Offset(dx, dy, true);
    m.Resize(10, 3);
    EXPECT_LE(m.Y2, 2);
  }
  TIEMask empty;
  empty.Allocate(8, 8, 8);
  empty.Resize(4, 4);
  EXPECT_TRUE(empty.IsEmpty());
}

TEST(MaskTest, GeometriesThatCannotBeHeldRaise) {
  TIEMask m;
  EXPECT_THROW(m.Allocate(INT_MAX, 2, 8), EOutOfMemory);
  EXPECT_THROW(m.Allocate(10, -1, 1), EOutOfMemory);
  m.Allocate(4, 4, 8);
  EXPECT_THROW(m.Resize(-3, 4), EOutOfMemory);
}

class MaskCopyTest : public BitmapTest {};

TEST_F(MaskCopyTest, OneBitMasksCopySelectedPixels) {
  for (TIEPixelFormat format : {ie24RGB, ie8g, ie16Gray, ie32f, ieRGB48, ie32RGBA}) {
    SCOPED_TRACE(int(format));
    TIEBitmap source(6, 4, format), dest(6, 4, format);
    WritePattern(source);
    dest.Fill(0);
    TIEMask m;
    m.Allocate(6, 4, 1);
    m.SetPixel(2, 1, 1);
    m.SetPixel(4, 2, 1);
    m.CopyBitmap(dest, source, false, false, false);
    const int32_t bytes = source.GetBitCount() / 8;
    for (int32_t y = 0; y < 4; ++y)
      for (int32_t x = 0; x < 6; ++x) {
        const bool selected = (x == 2 && y == 1) || (x == 4 && y == 2);
        EXPECT_EQ(dest.GetScanline(y)[x * bytes], selected ? source.GetScanline(y)[x * bytes] : 0) << x << "," << y;
      }
  }
  // Different formats copy nothing.
  TIEBitmap a(2, 2, ie24RGB), b(2, 2, ie8g);
  a.Fill(0xFFFFFF);
  b.Fill(0);
  TIEMask m;
  m.Allocate(2, 2, 1);
  m.Fill(255);
  m.SetPixel(0, 0, 1);
  m.CopyBitmap(b, a, false, false, false);
  EXPECT_TRUE(b.IsAllZero());
}

TEST_F(MaskCopyTest, EightBitMasksBlendByStrength) {
  TIEBitmap source(2, 1, ie24RGB), dest(2, 1, ie24RGB);
  source.Fill(0xC8C8C8);  // 200
  dest.Fill(0x646464);    // 100
  TIEMask m;
  m.Allocate(2, 1, 8);
  m.SetPixel(0, 0, 128);
  m.CopyBitmap(dest, source, false, false, false);
  EXPECT_EQ(dest.GetPixel24(0, 0), (TRGB{150, 150, 150}));
  EXPECT_EQ(dest.GetPixel24(1, 0), (TRGB{100, 100, 100}));

  TIEBitmap gs(1, 1, ie8g), gd(1, 1, ie8g);
  gs.Fill(0);
  gd.Fill(101);
  TIEMask g;
  g.Allocate(1, 1, 8);
  g.SetPixel(0, 0, 128);
  g.CopyBitmap(gd, gs, false, false, false);
  EXPECT_EQ(gd.GetPixel8(0, 0), 51);  // 101 + (-101 x 128) div 256, toward zero
}

TEST_F(MaskCopyTest, RelativeCopiesAndBitCopies) {
  // The box (4..5, 2..3) of the mask reads the source from its top left.
  TIEBitmap source(2, 2, ie1g), dest(8, 8, ie1g);
  source.Fill(1);
  dest.Fill(0);
  TIEMask m;
  m.Allocate(8, 8, 1);
  m.SetPixel(4, 2, 1);
  m.SetPixel(5, 3, 1);
  m.CopyBitmap(dest, source, false, true, false);
  TRGB c;
  dest.GetPixelRGB(4, 2, c);
  EXPECT_EQ(c.r, 255);
  dest.GetPixelRGB(5, 3, c);
  EXPECT_EQ(c.r, 255);
  dest.GetPixelRGB(5, 2, c);
  EXPECT_EQ(c.r, 0);

  // Bitmaps smaller than the mask are never written outside.
  TIEBitmap small(3, 3, ie8g), src(8, 8, ie8g);
  src.Fill(9);
  small.Fill(0);
  TIEMask all;
  all.Allocate(8, 8, 1);
  all.Fill(255);
  all.SetPixel(7, 7, 1);
  all.SetPixel(0, 0, 1);
  all.CopyBitmap(small, src, false, false, false);
  EXPECT_EQ(small.GetPixel8(2, 2), 9);
}

TEST_F(MaskCopyTest, AlphaFollowsTheMask) {
  TIEBitmap source(3, 1, ie24RGB), dest(3, 1, ie24RGB);
  source.SetAlphaPixel(0, 0, 200);
  source.SetAlphaPixel(1, 0, 100);
  TIEMask m;
  m.Allocate(3, 1, 8);
  m.SetPixel(0, 0, 150);
  m.SetPixel(1, 0, 255);
  m.RecalcBoundingBox();
  m.X2 = 2;  // the box covers the unselected pixel too
  m.CopyBitmap(dest, source, false, false, true);
  EXPECT_EQ(dest.GetAlphaPixel(0, 0), 150);
  EXPECT_EQ(dest.GetAlphaPixel(1, 0), 100);
  EXPECT_EQ(dest.GetAlphaPixel(2, 0), 0);
  EXPECT_FALSE(dest.PeekAlphaChannel()->FullFlag());
}

TEST(MaskTest, CopyBitsAtAnyOffset) {
  const uint8_t source[] = {0b10110011, 0b11110000};
  uint8_t dest[3] = {0xFF, 0x00, 0xFF};
  IECopyBits(dest, source, 6, 1, 9, 2);  // bits 1..9 of the source
  EXPECT_EQ(dest[0], 0xFC | 0b01);
  EXPECT_EQ(dest[1], 0b10011110);
  EXPECT_EQ(dest[2], 0xFF);
  uint8_t untouched[1] = {0x5A};
  IECopyBits(untouched, source, 0, 0, 0, 2);
  IECopyBits(untouched, source, -1, 0, 4, 2);
  IECopyBits(untouched, source, 0, 14, 8, 2);  // only two bits remain in the source
  EXPECT_EQ(untouched[0], 0x1A);
}

}  // namespace
