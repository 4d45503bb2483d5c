#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "imaging/core/iesettings.h"
#include "imaging/core/ruduvazez_imagelist.h"
#include "tests/imaging/core/test_support.h"

namespace {

// Every byte of the rows, the palette and the alpha rows set from a seed.
std::unique_ptr<TIEBitmap> Patterned(int32_t width, int32_t height, TIEPixelFormat format, bool alpha, int seed) {
  auto bitmap = std::make_unique<TIEBitmap>(width, height, format);
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = bitmap->GetScanline(y);
    for (int32_t i = 0; i < bitmap->GetRowLength(); ++i) row[i] = static_cast<uint8_t>(seed + y * 31 + i * 7);
  }
  if (format == ie8p)
    for (int32_t i = 0; i < 256; ++i)
      bitmap->SetPaletteColor(i, TRGB{static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), static_cast<uint8_t>(seed)});
  if (alpha) {
    TIEBitmap* a = bitmap->GetAlphaChannel();
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width; ++x) a->GetScanline(y)[x] = static_cast<uint8_t>(seed * 3 + x + y);
    a->SetFullFlag(false);
  }
  return bitmap;
}

void ExpectSameImage(TIEBitmap& expected, TIEBitmap& actual) {
  ASSERT_EQ(actual.GetWidth(), expected.GetWidth());
  ASSERT_EQ(actual.GetHeight(), expected.GetHeight());
  ASSERT_EQ(actual.GetPixelFormat(), expected.GetPixelFormat());
  for (int32_t y = 0; y < expected.GetHeight(); ++y)
    ASSERT_EQ(std::memcmp(actual.GetScanline(y), expected.GetScanline(y), static_cast<size_t>(expected.GetRowLength())), 0)
        << "row " << y;
  if (expected.GetPixelFormat() == ie8p) {
    EXPECT_EQ(std::memcmp(actual.GetPaletteBuffer(), expected.GetPaletteBuffer(), 768), 0);
  }
  ASSERT_EQ(actual.HasAlphaChannel(), expected.HasAlphaChannel());
  if (expected.HasAlphaChannel()) ExpectSameImage(*expected.GetAlphaChannel(), *actual.GetAlphaChannel());
}

// Reads an image back through a lent bitmap and compares it.
void ExpectStored(TIEVirtualImageList& list, TIEVirtualImage* image, TIEBitmap& expected) {
  TIEBitmap* lent = list.GetBitmap(image);
  ASSERT_NE(lent, nullptr);
  ExpectSameImage(expected, *lent);
  list.ReleaseBitmap(lent, false);
}

std::string Saved(TIEVirtualImageList& list) {
  TMemoryStream stream;
  list.SaveToStream(stream);
  return std::string(static_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.Size()));
}

bool LoadBytes(TIEVirtualImageList& list, const std::string& bytes) {
  TIEMemStream stream(bytes.data(), static_cast<int64_t>(bytes.size()));
  return list.LoadFromStream(stream);
}

class VirtualImageList : public ::testing::TestWithParam<bool> {
protected:
  void SetUp() override { IEGetGlobalSettings()->TempFolder = folder_.Folder(); }
  void TearDown() override { IEGetGlobalSettings()->TempFolder.clear(); }
  TempFolder folder_;
};

struct Shape {
  int32_t width, height;
  TIEPixelFormat format;
  bool alpha;
};

const Shape kShapes[] = {
    {13, 7, ie1g, false},  {5, 9, ie8p, false},      {33, 3, ie8g, false}, {7, 5, ie16Gray, false},
    {17, 11, ie24RGB, true}, {3, 4, ie32f, false},   {6, 2, ieCMYK, false}, {5, 5, ieRGB48, false},
    {4, 3, ieCIELab, false}, {9, 8, ie32RGBA, false}, {1, 1, ie8p, true},
};

TEST_P(VirtualImageList, KeepsEveryFormatThroughEvictionsAndAStream) {
  TIEVirtualImageList list("ILIST", GetParam());
  list.SetMaxMapped(2);
  std::vector<std::unique_ptr<TIEBitmap>> sources;
  std::vector<TIEVirtualImage*> images;
  int seed = 1;
  for (const Shape& s : kShapes) {
    sources.push_back(Patterned(s.width, s.height, s.format, s.alpha, seed++));
    images.push_back(list.AddBitmap(*sources.back()));
    ASSERT_NE(images.back(), nullptr);
    EXPECT_LE(list.MappedCount(), 3);  // at most one beyond the limit
  }
  for (size_t i = 0; i < images.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(list.GetImageWidth(images[i]), kShapes[i].width);
    EXPECT_EQ(list.GetImagePixelFormat(images[i]), kShapes[i].format);
    EXPECT_EQ(list.GetOrigWidth(images[i]), kShapes[i].width);
    ExpectStored(list, images[i], *sources[i]);
  }

  TIEVirtualImageList copy("ICACHE", GetParam());
  const std::string bytes = Saved(list);
  ASSERT_TRUE(LoadBytes(copy, bytes));
  ASSERT_EQ(copy.ImageCount(), list.ImageCount());
  for (size_t i = 0; i < images.size(); ++i) ExpectStored(copy, copy.GetImage(static_cast<int32_t>(i)), *sources[i]);
  EXPECT_EQ(Saved(copy), bytes);
}

TEST_P(VirtualImageList, LentBitmapIsSharedWrittenBackAndOutlivesItsImage) {
  TIEVirtualImageList list("ILIST", GetParam());
  auto gray = Patterned(20, 10, ie8g, false, 5);
  TIEVirtualImage* image = list.AddBitmap(*gray);
  TIEBitmap* first = list.GetBitmap(image);
  TIEBitmap* second = list.GetBitmap(image);
  ASSERT_EQ(first, second);

  // A paletted picture at the same bit count needs a larger block: the
  // palette must not be written past the old one.
  auto paletted = Patterned(20, 10, ie8p, true, 9);
  first->Assign(paletted.get());
  list.ReleaseBitmap(first, true);
  EXPECT_TRUE(image->Lent);
  list.ReleaseBitmap(second, false);
  EXPECT_FALSE(image->Lent);
  EXPECT_EQ(image->Size, IEVirtualImageBlockSize(20, 10, 8, ie8p, true));
  ExpectStored(list, image, *paletted);

  // Deleting the image leaves the borrower's bitmap alive until it is returned.
  TIEBitmap* held = list.GetBitmap(image);
  list.Delete(image);
  EXPECT_EQ(list.ImageCount(), 0);
  ExpectSameImage(*paletted, *held);
  list.ReleaseBitmap(held, true);  // nothing left to write into
  TIEBitmap stranger;
  list.ReleaseBitmap(&stranger, true);
}

TEST_P(VirtualImageList, DeletedBlocksAreReusedAndAnEmptyListShrinks) {
  TIEVirtualImageList list("ILIST", GetParam());
  auto picture = Patterned(64, 64, ie24RGB, false, 3);
  TIEVirtualImage* a = list.AddBitmap(*picture);
  TIEVirtualImage* b = list.AddBitmap(*picture);
  TIEVirtualImage* c = list.AddBitmap(*picture);
  const int64_t end = list.DataEnd();
  const int64_t offsetA = a->Offset;
  list.Delete(a);
  list.Delete(b);
  // The two freed neighbours merge and take a block twice as large.
  auto twice = Patterned(64, 128, ie24RGB, false, 4);
  TIEVirtualImage* d = list.AddBitmap(*twice);
  EXPECT_EQ(d->Offset, offsetA);
  EXPECT_EQ(list.DataEnd(), end);
  ExpectStored(list, c, *picture);
  ExpectStored(list, d, *twice);
  list.Delete(c);
  list.Delete(d);
  EXPECT_EQ(list.DataEnd(), 0);
  EXPECT_EQ(list.Capacity(), 262144);
}

TEST_P(VirtualImageList, AddressesOfTheStoredParts) {
  TIEVirtualImageList list("ILIST", GetParam());
  auto picture = Patterned(5, 4, ie8p, true, 7);
  TIEVirtualImage* image = list.AddBitmap(*picture);
  const uint8_t* bits = list.GetImageBits(image);
  ASSERT_NE(bits, nullptr);
  EXPECT_EQ(std::memcmp(bits, picture->GetScanline(3), 8), 0);  // bottom row first
  EXPECT_EQ(list.GetImagePalette(image)[7].g, 248);
  ASSERT_NE(list.GetImageAlphaBits(image), nullptr);
  EXPECT_EQ(list.GetImageAlphaBits(image)[0], picture->GetAlphaChannel()->GetScanline(3)[0]);

  picture->GetAlphaChannel()->SetFullFlag(true);
  TIEVirtualImage* opaque = list.AddBitmap(*picture);
  EXPECT_EQ(list.GetImageAlphaBits(opaque), nullptr);
  TIEBitmap* lent = list.GetBitmap(opaque);
  EXPECT_FALSE(lent->HasAlphaChannel());
  list.ReleaseBitmap(lent, false);
}

INSTANTIATE_TEST_SUITE_P(FileAndMemory, VirtualImageList, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "File" : "Memory"; });

// ---- placement -----------------------------------------------------------------------

TEST(VirtualImageListGrowth, CapacityAlwaysHoldsTheNewBlock) {
  constexpr int64_t G = int64_t{1} << 30;
  struct Case {
    TIEVirtualListGrowth before;
    int64_t size;
    TIEVirtualListGrowth after;
    bool grew;
  };
  const Case cases[] = {
      {{262144, 0, 262144, 0}, 1000, {262144, 0, 262144, 1000}, false},
      {{262144, 262000, 262144, 1000}, 1000, {524288, 262000, 262144, 1000}, true},
      // A block beyond the step widens the step by the last block.
      {{262144, 200000, 262144, 5000}, 300000, {262144 + 305000, 200000, 305000, 300000}, true},
      // Blocks of 2 GB and more: a 32-bit step would wrap and land the block past the end.
      {{262144, 1000, 262144, 1000}, 3 * G, {262144 + 3 * G + 1000, 1000, 3 * G + 1000, 3 * G}, true},
      {{4 * G, 4 * G - 10, 2 * G + 5, 2 * G}, 2 * G, {6 * G + 5, 4 * G - 10, 2 * G + 5, 2 * G}, true},
  };
  for (const Case& c : cases) {
    TIEVirtualListGrowth g = c.before;
    EXPECT_EQ(IEPlaceAtDataEnd(g, c.size), c.grew);
    EXPECT_EQ(g.Capacity, c.after.Capacity);
    EXPECT_EQ(g.GrowStep, c.after.GrowStep);
    EXPECT_EQ(g.LastBlockSize, c.after.LastBlockSize);
    EXPECT_GE(g.Capacity, g.DataEnd + c.size);
  }
}

// ---- stream --------------------------------------------------------------------------

class VirtualImageListStream : public ::testing::Test {
protected:
  void SetUp() override {
    IEGetGlobalSettings()->TempFolder = folder_.Folder();
    TIEVirtualImageList source("ILIST", false);
    source.AddBitmap(*Patterned(6, 3, ie24RGB, true, 2));
    source.AddBitmap(*Patterned(4, 4, ie8p, false, 3));
    valid_ = Saved(source);
  }
  void TearDown() override { IEGetGlobalSettings()->TempFolder.clear(); }

  // The saved stream with bytes replaced at a position.
  std::string Patched(size_t at, const void* bytes, size_t count) const {
    std::string copy = valid_;
    copy.replace(at, count, static_cast<const char*>(bytes), count);
    return copy;
  }
  template <class T>
  std::string PatchedValue(size_t at, T value) const {
    return Patched(at, &value, sizeof value);
  }

  static constexpr size_t kCount = 21, kFirstRecord = 25, kSecondRecord = kFirstRecord + 56;
  TempFolder folder_;
  std::string valid_;
};

TEST_F(VirtualImageListStream, LayoutHasZeroAlignmentAndBackToBackOffsets) {
  ASSERT_EQ(valid_.substr(0, 21), std::string("\x10\0\0\0VIRTUALIMAGELIST\x01", 21));
  const char* first = valid_.data() + kFirstRecord;
  for (int at : {16, 17, 18, 19, 21, 22, 23, 34, 35, 49, 50, 51, 52, 53, 54, 55}) EXPECT_EQ(first[at], 0) << at;
  int64_t firstSize, secondOffset;
  std::memcpy(&firstSize, first + 8, 8);
  std::memcpy(&secondOffset, valid_.data() + kSecondRecord, 8);
  EXPECT_EQ(firstSize, IEVirtualImageBlockSize(6, 3, 24, ie24RGB, true));
  EXPECT_EQ(valid_.size(), kSecondRecord + 56 + firstSize + IEVirtualImageBlockSize(4, 4, 8, ie8p, false));
}

TEST_F(VirtualImageListStream, RefusesWhatTheBytesDoNotHoldAndKeepsTheList) {
  const int64_t firstSize = IEVirtualImageBlockSize(6, 3, 24, ie24RGB, true);
  struct Case {
    const char* what;
    std::string bytes;
  };
  const Case cases[] = {
      {"empty", ""},
      {"magic length", PatchedValue<int32_t>(0, 0x7FFFFFFF)},
      {"magic", Patched(4, "VIRTUALIMAGELISX", 16)},
      {"version 0", PatchedValue<uint8_t>(20, 0)},
      {"version 9", PatchedValue<uint8_t>(20, 9)},
      {"count past the bytes", PatchedValue<int32_t>(kCount, 1000000)},
      {"size smaller than the geometry", PatchedValue<int64_t>(kFirstRecord + 8, firstSize - 1)},
      {"width larger than the size", PatchedValue<int32_t>(kFirstRecord + 36, 600)},
      {"bit count of another format", PatchedValue<int32_t>(kFirstRecord + 44, 32)},
      {"format out of range", PatchedValue<uint8_t>(kFirstRecord + 48, 200)},
      {"alpha flag without alpha bytes", PatchedValue<uint8_t>(kSecondRecord + 32, 1)},
      {"negative height", PatchedValue<int32_t>(kFirstRecord + 40, -3)},
      {"blocks cut short", valid_.substr(0, valid_.size() - 1)},
      {"records cut short", valid_.substr(0, kSecondRecord + 20)},
  };
  auto kept = Patterned(8, 8, ie8g, false, 11);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TIEVirtualImageList list("ILIST", false);
    list.AddBitmap(*kept);
    EXPECT_FALSE(LoadBytes(list, c.bytes));
    ASSERT_EQ(list.ImageCount(), 1);
    ExpectStored(list, list.GetImage(0), *kept);
  }
}

TEST_F(VirtualImageListStream, VersionsOneToEightLoadAndACountOfZeroChangesNothing) {
  for (uint8_t version : {1, 5, 8}) {
    TIEVirtualImageList list("ILIST", false);
    EXPECT_TRUE(LoadBytes(list, PatchedValue<uint8_t>(20, version)));
    EXPECT_EQ(list.ImageCount(), 2);
  }
  TIEVirtualImageList list("ILIST", false);
  list.AddBitmap(*Patterned(2, 2, ie24RGB, false, 1));
  EXPECT_TRUE(LoadBytes(list, valid_.substr(0, kCount) + std::string(4, '\0')));
  EXPECT_EQ(list.ImageCount(), 1);
}

// Loader threads store and read while another thread saves the list.
TEST(VirtualImageListThreads, SavingWhileOthersStoreAndRead) {
  TempFolder folder;
  IEGetGlobalSettings()->TempFolder = folder.Folder();
  {
    TIEVirtualImageList list("ILIST", true);
    list.SetMaxMapped(3);
    auto picture = Patterned(40, 30, ie24RGB, false, 6);
    std::atomic<bool> stop{false};
    std::vector<std::thread> workers;
    for (int t = 0; t < 3; ++t)
      workers.emplace_back([&] {
        for (int i = 0; i < 40; ++i) {
          TIEVirtualImage* image = list.AddBitmap(*picture);
          TIEBitmap* lent = list.GetBitmap(image);
          EXPECT_EQ(lent->GetPixel24(3, 4).r, picture->GetPixel24(3, 4).r);
          list.ReleaseBitmap(lent, i % 2 == 0);
        }
      });
    std::thread saver([&] {
      while (!stop) {
        TMemoryStream stream;
        list.SaveToStream(stream);
        stream.SetPosition(0);
        TIEVirtualImageList copy("ICACHE", false);
        EXPECT_TRUE(copy.LoadFromStream(stream));
      }
    });
    for (auto& w : workers) w.join();
    stop = true;
    saver.join();
    EXPECT_EQ(list.ImageCount(), 120);
  }
  IEGetGlobalSettings()->TempFolder.clear();
}

}  // namespace
