// Allocation, storage locations, row addressing and release of TIEBitmap.
#include <climits>
#include <cstring>
#include <filesystem>
#include <vector>

#include "tests/imaging/core/bitmap_support.h"

namespace {

struct FormatCase {
  TIEPixelFormat format;
  int32_t width;
  int32_t bits, channels;
  int64_t rowLength;  // at the default alignment of 32 bits
};

const FormatCase kFormats[] = {
    {ie1g, 9, 1, 1, 4},      {ie1g, 33, 1, 1, 8},     {ie8p, 5, 8, 1, 8},     {ie8g, 4, 8, 1, 4},
    {ie16Gray, 3, 16, 1, 8}, {ie24RGB, 10, 24, 3, 32}, {ie32f, 3, 32, 1, 12}, {ieCMYK, 2, 32, 4, 8},
    {ieRGB48, 3, 48, 3, 20}, {ieCIELab, 5, 24, 3, 16}, {ie32RGBA, 1, 32, 4, 4},
};

TEST_F(BitmapTest, EachFormatHasItsBitsChannelsAndPaddedRowLength) {
  for (const auto& c : kFormats) {
    SCOPED_TRACE(int(c.format));
    TIEBitmap b(c.width, 3, c.format);
    EXPECT_EQ(b.GetPixelFormat(), c.format);
    EXPECT_EQ(b.GetBitCount(), c.bits);
    EXPECT_EQ(b.GetChannelCount(), c.channels);
    EXPECT_EQ(b.GetRowLength(), c.rowLength);
    EXPECT_EQ(b.GetPaletteLength(), c.format == ie8p ? 256 : 0);
    EXPECT_FALSE(b.IsEmpty());
  }
}

class StorageTest : public BitmapTest, public ::testing::WithParamInterface<Storage> {};

TEST_P(StorageTest, EveryFormatKeepsItsRowsInTheLocation) {
  for (const auto& c : kFormats) {
    SCOPED_TRACE(int(c.format));
    auto b = MakeIn(GetParam(), c.width + 7, 6, c.format);
    EXPECT_EQ(b->Location(), GetParam() == Storage::TempFile ? ieTempFile : ieInMemory);
    EXPECT_EQ(b->SegmentCount(), GetParam() == Storage::Segments ? 4 : 0);
    WritePattern(*b);
    EXPECT_TRUE(HasPattern(*b));
  }
}

TEST_P(StorageTest, LockedRowsStayValidTogetherAndReachTheStorage) {
  auto b = MakeIn(GetParam(), 16, 5, ie8g);
  std::vector<uint8_t*> rows;
  for (int32_t y = 0; y < 5; ++y) rows.push_back(b->LockScanline(y));
  for (int32_t y = 0; y < 5; ++y) std::memset(rows[y], 10 + y, 16);
  for (int32_t y = 0; y < 5; ++y) b->UnlockScanline(y);
  for (int32_t y = 0; y < 5; ++y) EXPECT_EQ(b->GetScanline(y)[15], 10 + y) << y;
}

INSTANTIATE_TEST_SUITE_P(Locations, StorageTest,
                         ::testing::Values(Storage::Memory, Storage::Segments, Storage::TempFile),
                         [](const auto& info) { return StorageName(info.param); });

TEST_F(BitmapTest, TempFileRowsAreWrittenBackWhenTheNextRowIsMapped) {
  auto b = MakeIn(Storage::TempFile, 8, 3, ie8g);
  ASSERT_TRUE(b->FileBuffer().IsAllocated());
  const std::string name = b->FileBuffer().FileName();
  EXPECT_EQ(std::filesystem::path(name).filename().string().substr(0, 4), "IMG-");
  b->GetScanline(0)[0] = 42;
  b->GetScanline(1)[0] = 43;
  EXPECT_EQ(b->GetScanline(0)[0], 42);
  EXPECT_EQ(b->GetScanline(1)[0], 43);
  // A read-only mapping leaves the file alone.
  b->AccessMode = iemRead;
  b->GetScanline(2)[0] = 99;
  b->GetScanline(0);
  b->AccessMode = iemReadWrite;
  EXPECT_EQ(b->GetScanline(2)[0], 0);
  b->FreeImage(true);
  EXPECT_FALSE(b->FileBuffer().IsAllocated());
  EXPECT_EQ(temp_.Count(), 0u);
}

TEST_F(BitmapTest, TheThresholdDecidesTheLocationAtEachAllocation) {
  IEGetGlobalSettings()->MemoryThreshold = 1000;
  TIEBitmap b;
  IEGetGlobalSettings()->MemoryThreshold = -1;
  EXPECT_EQ(b.MemoryThreshold(), 1000);
  ASSERT_TRUE(b.Allocate(100, 100, ie24RGB));  // 30,000 bytes
  EXPECT_EQ(b.Location(), ieTempFile);
  ASSERT_TRUE(b.Allocate(10, 10, ie24RGB));  // 320 bytes
  EXPECT_EQ(b.Location(), ieInMemory);
  // Exactly the threshold still fits in memory.
  ASSERT_TRUE(b.Allocate(250, 1, ie32f));
  EXPECT_EQ(b.Location(), ieInMemory);
  ASSERT_TRUE(b.Allocate(251, 1, ie32f));
  EXPECT_EQ(b.Location(), ieTempFile);
}

TEST_F(BitmapTest, AutomaticThresholdComesFromThePhysicalMemory) {
  TIEBitmap b;
  const uint64_t physical = IEGetPhysicalMemory(false);
  EXPECT_EQ(b.MemoryThreshold(), physical ? static_cast<int64_t>(physical / 1.1) : 33554432);
}

TEST_F(BitmapTest, FallsBackFromBlockToSegmentsToTempFile) {
  IESetAllocFailHook([](TIEAllocRequest r, int64_t) { return r != TIEAllocRequest::TempFile; });
  TIEBitmap b;
  ASSERT_TRUE(b.Allocate(20, 10, ie24RGB));
  EXPECT_EQ(b.Location(), ieTempFile);
  WritePattern(b);
  EXPECT_TRUE(HasPattern(b));

  // Without the temporary-file fall-back the allocation fails cleanly.
  IEGetGlobalSettings()->TempFileFallback = false;
  TIEBitmap c;
  EXPECT_FALSE(c.Allocate(20, 10, ie24RGB));
  EXPECT_EQ(c.GetWidth(), 0);
  EXPECT_EQ(c.GetHeight(), 0);
  EXPECT_TRUE(c.IsEmpty());

  // Without segmented allocation a failed block goes straight to the file.
  IEGetGlobalSettings()->TempFileFallback = true;
  IEGetGlobalSettings()->SegmentedAllocation = false;
  IESetAllocFailHook([](TIEAllocRequest r, int64_t) { return r == TIEAllocRequest::Block; });
  TIEBitmap d;
  ASSERT_TRUE(d.Allocate(20, 10, ie24RGB));
  EXPECT_EQ(d.Location(), ieTempFile);
}

TEST_F(BitmapTest, AFailedTempFileGoesToMemory) {
  IEGetGlobalSettings()->TempFolder = temp_.File("missing/");
  IEGetGlobalSettings()->MemoryThreshold = 0;
  TIEBitmap b;
  ASSERT_TRUE(b.Allocate(4, 4, ie8g));
  EXPECT_EQ(b.Location(), ieInMemory);
}

TEST_F(BitmapTest, SegmentsDoubleWhileTheyStayLarge) {
  // 16 rows of 6 MB: four segments of 24 MB are refused, eight of 12 MB taken.
  IESetAllocFailHook([](TIEAllocRequest r, int64_t size) {
    return r == TIEAllocRequest::Block || (r == TIEAllocRequest::Segment && size > 20 * 1048576);
  });
  TIEBitmap b;
  ASSERT_TRUE(b.Allocate(6 * 1048576, 16, ie8g));
  EXPECT_EQ(b.Location(), ieInMemory);
  EXPECT_EQ(b.SegmentCount(), 8);
  for (int32_t y = 0; y < 16; ++y) b.GetScanline(y)[6 * 1048576 - 1] = static_cast<uint8_t>(y + 1);
  for (int32_t y = 0; y < 16; ++y) EXPECT_EQ(b.GetScanline(y)[6 * 1048576 - 1], y + 1);

  // Segments below 10 MB are not worth it: the file takes over.
  IESetAllocFailHook([](TIEAllocRequest r, int64_t size) {
    return r == TIEAllocRequest::Block || (r == TIEAllocRequest::Segment && size >= 4 * 1048576);
  });
  TIEBitmap c;
  ASSERT_TRUE(c.Allocate(1048576, 16, ie8g));
  EXPECT_EQ(c.Location(), ieTempFile);
  EXPECT_EQ(c.SegmentCount(), 0);
}

TEST_F(BitmapTest, TinyImagesStillGetFourSegments) {
  IESetAllocFailHook([](TIEAllocRequest r, int64_t) { return r == TIEAllocRequest::Block; });
  TIEBitmap b;
  ASSERT_TRUE(b.Allocate(3, 2, ie24RGB));
  EXPECT_EQ(b.SegmentCount(), 4);
  WritePattern(b);
  EXPECT_TRUE(HasPattern(b));
}

TEST_F(BitmapTest, SizesThatCannotBeHeldAreRefused) {
  struct Case {
    int32_t width, height;
    TIEPixelFormat format;
  };
  const Case cases[] = {
      {0, 10, ie24RGB},         {10, 0, ie24RGB},          {10, 10, ieNoFormat},     {-5, 10, ie8g},
      {INT32_MAX, 1, ie24RGB},  {89478486, 1, ieRGB48},    {INT32_MAX, 2, ie32RGBA}, {1000000000, 1, ieRGB48},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << " x " << c.height << " format " << int(c.format));
    TIEBitmap b;
    EXPECT_FALSE(b.Allocate(c.width, c.height, c.format));
    EXPECT_EQ(b.GetWidth(), 0);
    EXPECT_EQ(b.GetHeight(), 0);
    EXPECT_TRUE(b.IsEmpty());
  }
  // Rows that fit, but an image no storage can hold.
  IESetAllocFailHook([](TIEAllocRequest, int64_t size) { return size > (1 << 20); });
  TIEBitmap huge;
  EXPECT_FALSE(huge.Allocate(1 << 26, 1 << 20, ie24RGB));
  EXPECT_TRUE(huge.IsEmpty());
}

TEST_F(BitmapTest, SameGeometryKeepsThePixelsUntilACopyIntervenes) {
  TIEBitmap b(4, 4, ie8g);
  b.Fill(77);
  ASSERT_TRUE(b.Allocate(4, 4, ie8g));
  EXPECT_EQ(b.GetPixel8(3, 3), 77);
  TIEBitmap other(4, 4, ie8g);
  other.Fill(5);
  b.Assign(&other);
  EXPECT_EQ(b.GetPixel8(3, 3), 5);
  b.SetPixel8(3, 3, 9);
  ASSERT_TRUE(b.Allocate(4, 4, ie8g));  // reallocates after Assign
  EXPECT_NE(b.GetScanline(0), nullptr);
}

TEST_F(BitmapTest, SingleBlockRowsRunBottomUp) {
  TIEBitmap b(10, 5, ie24RGB);
  EXPECT_EQ(b.GetScanline(0) - b.GetScanline(4), 4 * 32);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(b.GetScanline(4)) % 64, 0u);
}

TEST_F(BitmapTest, AttachedBuffersAreAddressedByTheirRowOrder) {
  std::vector<uint8_t> buffer(5 * 32);
  TIEBitmap b;
  b.AttachMemoryBuffer(buffer.data(), 10, 5, ie24RGB, true, 1);
  EXPECT_EQ(b.GetScanline(0), buffer.data());
  EXPECT_TRUE(b.RowFlip());
  b.AttachMemoryBuffer(buffer.data(), 10, 5, ie24RGB, true, 0);
  EXPECT_EQ(b.GetScanline(0), buffer.data() + 4 * 32);
  EXPECT_EQ(b.Location(), ieInMemory);
  b.FreeImage(true);  // the buffer stays the caller's
  EXPECT_TRUE(b.IsEmpty());

  TIEBitmap p;
  p.AttachMemoryBuffer(buffer.data(), 4, 4, ie8p, true, 0);
  EXPECT_EQ(p.GetPaletteLength(), 256);
  // A geometry whose rows cannot be represented leaves the bitmap empty.
  p.AttachMemoryBuffer(buffer.data(), INT32_MAX, 4, ieRGB48, true, 0);
  EXPECT_TRUE(p.IsEmpty());
}

TEST_F(BitmapTest, FreeImageKeepsTheFormat) {
  TIEBitmap b(3, 3, ie16Gray);
  b.FreeImage(true);
  EXPECT_TRUE(b.IsEmpty());
  EXPECT_EQ(b.GetPixelFormat(), ie16Gray);
  EXPECT_EQ(b.GetRowLength(), 0);
}

TEST_F(BitmapTest, AllocationKindsEachGiveAnAlignedBlock) {
  for (auto kind : {ieakMemoryManager, ieakGlobalAlloc, ieakAutoAlloc}) {
    TIEBitmap b;
    b.SetAllocationKind(kind);
    ASSERT_TRUE(b.Allocate(7, 3, ie24RGB));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(b.GetScanline(2)) % 64, 0u);
    WritePattern(b);
    EXPECT_TRUE(HasPattern(b));
    b.SetAllocationKind(ieakMemoryManager);  // freed by how it was obtained
  }
}

TEST_F(BitmapTest, AutoAllocTakesSmallAndLargeBlocks) {
  for (int64_t size : {int64_t{0}, int64_t{100}, int64_t{1048575}, int64_t{1048576}, int64_t{3000000}}) {
    void* p = IEAutoAlloc(size);
    ASSERT_NE(p, nullptr) << size;
    std::memset(p, 0xAB, static_cast<size_t>(size));
    IEAutoFree(p);
    EXPECT_EQ(p, nullptr);
  }
  EXPECT_EQ(IEAutoAlloc(-1), nullptr);
}

TEST_F(BitmapTest, VirtualBitmapsAskTheirCallbackForRows) {
  TIEBitmap b;
  b.SetPixelCallback([](TIEBitmap*, int32_t x, TRGB* pixel, int32_t y) {
    *pixel = TRGB{static_cast<uint8_t>(x), static_cast<uint8_t>(y), 7};
  });
  ASSERT_TRUE(b.IsVirtual());
  ASSERT_TRUE(b.Allocate(4, 3, ie8g));  // the callback writes three bytes a pixel whatever the format
  const uint8_t* row = b.GetScanline(2);
  EXPECT_EQ(row[9], 3);
  EXPECT_EQ(row[10], 2);
  EXPECT_EQ(b.GetPixelAddress(1, 2, 2)[0], 2);
  // A wider bitmap after the first row needs a wider row buffer (ASan
  // reports the write past the first one otherwise).
  b.SetWidth(40);
  row = b.GetScanline(1);
  EXPECT_EQ(row[3 * 39], 39);
  EXPECT_EQ(row[3 * 39 + 1], 1);
}

class RowsOfOneValue : public TIEVirtualBitmapProvider {
public:
  uint8_t* GetRow(TIEBitmap*, int32_t row, int32_t count, int32_t first) override {
    lastFirst = first;
    lastCount = count;
    std::memset(row_, row, sizeof row_);
    return row_;
  }
  int32_t lastFirst = -1, lastCount = -1;

private:
  uint8_t row_[64];
};

TEST_F(BitmapTest, VirtualBitmapsAskTheirProviderForRows) {
  TIEBitmap b;
  auto provider = std::make_unique<RowsOfOneValue>();
  RowsOfOneValue* p = provider.get();
  b.SetRowProvider(std::move(provider));
  ASSERT_TRUE(b.Allocate(16, 4, ie8g));
  EXPECT_EQ(b.GetScanline(3)[0], 3);
  EXPECT_EQ(p->lastCount, 16);
  EXPECT_EQ(b.GetPixel8(5, 2), 2);
  EXPECT_EQ(p->lastFirst, 5);
  EXPECT_EQ(p->lastCount, 1);
  EXPECT_EQ(b.Location(), ieTempFile);  // a virtual bitmap holds no storage
}

}  // namespace
