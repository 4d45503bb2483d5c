// The DIB-section bitmap and the resampler's work bitmap.
#include <climits>
#include <cstring>

#include "imaging/core/davovevo.h"
#include "imaging/core/ruduvazez_dibbitmap.h"
#include "platform/rtl/exceptions.h"
#include "tests/imaging/core/bitmap_support.h"

namespace {

TEST(DibbitmapTest, RowsRunBottomUpInTheSection) {
  TIEDibbitmap d;
  ASSERT_TRUE(d.Allocate(10, 5, ie24RGB));
  EXPECT_EQ(d.GetRowLength(), 32);
  EXPECT_EQ(d.GetPixelFormat(), ie24RGB);
  EXPECT_EQ(d.GetScanline(0), d.Bits() + 128);
  EXPECT_EQ(d.GetScanline(4), d.Bits());
  EXPECT_NE(d.DC(), nullptr);
  EXPECT_EQ(d.Info().bmiHeader.biSizeImage, 160u);

  ASSERT_TRUE(d.Allocate(10, 5, ie1g));
  EXPECT_EQ(d.GetRowLength(), 4);
  EXPECT_EQ(d.GetPixelFormat(), ie1g);
  EXPECT_EQ(d.Info().bmiColors[1].rgbRed, 255);
}

TEST(DibbitmapTest, GdiDrawsIntoTheSection) {
  TIEDibbitmap d;
  ASSERT_TRUE(d.Allocate(4, 3, ie24RGB));
  std::memset(d.Bits(), 0, static_cast<size_t>(d.GetRowLength()) * 3);
  SetPixel(d.DC(), 1, 0, RGB(10, 20, 30));  // top row
  const uint8_t* p = d.GetScanline(0) + 3;
  EXPECT_EQ(p[0], 30);
  EXPECT_EQ(p[1], 20);
  EXPECT_EQ(p[2], 10);
}

TEST(DibbitmapTest, RefusesOtherFormatsSizesAndSources) {
  TIEDibbitmap d;
  for (TIEPixelFormat f : {ie8g, ie8p, ie32RGBA, ieNoFormat}) EXPECT_FALSE(d.Allocate(4, 4, f)) << int(f);
  EXPECT_FALSE(d.Allocate(0, 4, ie24RGB));
  EXPECT_FALSE(d.Allocate(INT_MAX, 4, ie24RGB));
  EXPECT_EQ(d.Bits(), nullptr);
  EXPECT_EQ(d.GetScanline(0), nullptr);
  EXPECT_THROW(d.SetWidth(3), EIEException);
  EXPECT_THROW(d.SetHeight(3), EIEException);

  ASSERT_TRUE(d.Allocate(3, 3, ie24RGB));
  std::memset(d.Bits(), 0x11, 36);
  TIEBitmap b(5, 5, ie24RGB);
  d.Assign(&b);  // not a DIB bitmap: ignored
  EXPECT_EQ(d.GetWidth(), 3);

  TIEDibbitmap copy;
  copy.Assign(&d);
  EXPECT_EQ(copy.GetWidth(), 3);
  EXPECT_NE(copy.Bits(), d.Bits());
  EXPECT_EQ(std::memcmp(copy.Bits(), d.Bits(), 36), 0);
}

class WorkBitmapTest : public BitmapTest {};

TEST_F(WorkBitmapTest, OneBlockRowsRunBottomUpAndStayOnReallocation) {
  TIEWorkBitmap w(10, 4, 24);
  ASSERT_TRUE(w.HasBlock());
  EXPECT_EQ(w.RowLen(), 32);
  EXPECT_EQ(w.GetScanline(0) - w.GetScanline(3), 3 * 32);
  uint8_t* first = w.GetScanline(0);
  w.Allocate(10, 4, 24);
  EXPECT_EQ(w.GetScanline(0), first);
  w.Allocate(11, 4, 24);
  EXPECT_EQ(w.Width(), 11);
}

TEST_F(WorkBitmapTest, FallsBackToSegmentsOrRaises) {
  IESetAllocFailHook([](TIEAllocRequest r, int64_t) { return r == TIEAllocRequest::Block; });
  TIEWorkBitmap w(8, 9, 8);
  EXPECT_FALSE(w.HasBlock());
  ASSERT_EQ(w.SegmentCount(), 4);
  for (int32_t y = 0; y < 9; ++y) std::memset(w.GetScanline(y), y, 8);
  for (int32_t y = 0; y < 9; ++y) EXPECT_EQ(w.GetScanline(y)[7], y);

  IEGetGlobalSettings()->SegmentedAllocation = false;
  TIEWorkBitmap e(0, 0, 8);
  EXPECT_THROW(e.Allocate(8, 9, 8), EOutOfMemory);
  EXPECT_EQ(e.Width(), 8);  // the geometry stays recorded
  EXPECT_EQ(e.GetScanline(0), nullptr);
  EXPECT_THROW(e.Allocate(INT_MAX, 2, 48), EOutOfMemory);
}

}  // namespace
