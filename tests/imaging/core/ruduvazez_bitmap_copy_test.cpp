// Copies, caller storage, storage moves, row alignment and size changes of
// TIEBitmap.
#include <cstring>
#include <vector>

#include "tests/imaging/core/bitmap_support.h"

namespace {

const Storage kStorages[] = {Storage::Memory, Storage::Segments, Storage::TempFile, Storage::TBitmap};

TEST_F(BitmapTest, AssignAndTransferKeepThePixelsBetweenEveryPairOfLocations) {
  for (Storage from : kStorages) {
    for (Storage to : kStorages) {
      SCOPED_TRACE(StorageName(from) + " -> " + StorageName(to));
      auto source = MakeIn(from, 13, 7, ie24RGB);
      WritePattern(*source);
      auto dest = MakeIn(to, 2, 2, ie8g);
      dest->Assign(source.get());
      EXPECT_EQ(dest->GetWidth(), 13);
      EXPECT_EQ(dest->GetPixelFormat(), ie24RGB);
      EXPECT_TRUE(HasPattern(*dest));
      EXPECT_TRUE(HasPattern(*source));

      auto moved = MakeIn(to, 3, 3, ie8g);
      dest->TransferTo(*moved);
      EXPECT_TRUE(HasPattern(*moved));
      EXPECT_TRUE(dest->IsEmpty());
    }
  }
}

TEST_F(BitmapTest, AssignBetweenTwoFilesCopiesTheFile) {
  auto a = MakeIn(Storage::TempFile, 300, 40, ie24RGB);
  WritePattern(*a);
  a->GetScanline(5);  // a mapped row is written back first
  a->GetScanline(5)[0] = 0xEE;
  auto b = MakeIn(Storage::TempFile, 1, 1, ie8g);
  b->Assign(a.get());
  ASSERT_EQ(b->Location(), ieTempFile);
  EXPECT_EQ(b->GetScanline(5)[0], 0xEE);
  b->GetScanline(5)[0] = PatternByte(0, 5);
  EXPECT_TRUE(HasPattern(*b));
}

TEST_F(BitmapTest, TransferToLeavesTheSourceEmpty) {
  auto a = MakeIn(Storage::TempFile, 4, 4, ie8p);
  a->SetPaletteColor(1, TRGB{1, 2, 3});
  a->GetAlphaChannel();
  WritePattern(*a);
  TIEBitmap b(9, 9, ie24RGB);
  a->TransferTo(b);
  EXPECT_TRUE(a->IsEmpty());
  EXPECT_EQ(a->GetPixelFormat(), ieNoFormat);
  EXPECT_FALSE(a->FileBuffer().IsAllocated());
  EXPECT_FALSE(a->HasAlphaChannel());
  EXPECT_EQ(a->GetPaletteLength(), 0);
  EXPECT_EQ(a->Location(), ieTempFile);
  EXPECT_EQ(b.Location(), ieTempFile);
  EXPECT_EQ(b.GetWidth(), 4);
  EXPECT_TRUE(b.HasAlphaChannel());
  TRGB c;
  b.GetPaletteColor(1, c);
  EXPECT_EQ(c, (TRGB{1, 2, 3}));
  EXPECT_TRUE(HasPattern(b));
  // The emptied bitmap allocates again.
  ASSERT_TRUE(a->Allocate(2, 2, ie8g));
}

TEST_F(BitmapTest, LockedRowsTravelWithTheStorage) {
  auto a = MakeIn(Storage::TempFile, 8, 4, ie8g);
  uint8_t* row = a->LockScanline(2);
  std::memset(row, 0x3C, 8);
  TIEBitmap b;
  a->TransferTo(b);
  b.UnlockScanline(2);  // written back into the file that b now holds
  EXPECT_EQ(b.GetScanline(2)[7], 0x3C);
}

TEST_F(BitmapTest, AssignCarriesOrDropsTheAlphaChannel) {
  TIEBitmap withAlpha(2, 2, ie24RGB);
  withAlpha.SetAlphaPixel(1, 1, 40);
  withAlpha.DisplayMin = 3;
  withAlpha.DisplayMax = 9;
  withAlpha.Contrast = 5;
  TIEBitmap plain(2, 2, ie24RGB);

  TIEBitmap dest(1, 1, ie8g);
  dest.Assign(&withAlpha);
  ASSERT_TRUE(dest.HasAlphaChannel());
  EXPECT_EQ(dest.GetAlphaPixel(1, 1), 40);
  EXPECT_EQ(dest.DisplayMax, 9);
  EXPECT_EQ(dest.Contrast, 5);
  dest.Assign(&plain);
  EXPECT_FALSE(dest.HasAlphaChannel());

  // AssignImage takes only pixels and palette.
  TIEBitmap keep(2, 2, ie24RGB);
  keep.SetAlphaPixel(0, 0, 7);
  keep.DisplayMax = 1;
  keep.AssignImage(&withAlpha);
  EXPECT_EQ(keep.GetAlphaPixel(0, 0), 7);
  EXPECT_EQ(keep.DisplayMax, 1);
  TIEBitmap empty;
  keep.AssignImage(&empty);
  EXPECT_EQ(keep.GetWidth(), 2);

  // Self-copies and foreign sources change nothing.
  TObject foreign;
  keep.Assign(&foreign);
  keep.Assign(&keep);
  EXPECT_EQ(keep.GetWidth(), 2);
}

TEST_F(BitmapTest, CopiesOfAFlippedBufferKeepTheRowOrder) {
  std::vector<uint8_t> buffer(3 * 4);
  for (int i = 0; i < 3; ++i) buffer[i * 4] = static_cast<uint8_t>(10 + i);  // top-down rows
  TIEBitmap attached;
  attached.AttachMemoryBuffer(buffer.data(), 4, 3, ie8g, true, 1);
  TIEBitmap copy(5, 5, ie8g);
  copy.Assign(&attached);
  EXPECT_TRUE(copy.RowFlip());
  for (int32_t y = 0; y < 3; ++y) EXPECT_EQ(copy.GetPixel8(0, y), 10 + y);
}

TEST_F(BitmapTest, SetLocationMovesThePixels) {
  IEGetGlobalSettings()->MemoryThreshold = 100;
  TIEBitmap b;
  IEGetGlobalSettings()->MemoryThreshold = -1;
  ASSERT_TRUE(b.Allocate(20, 20, ie8p));  // 400 bytes: in a file
  ASSERT_EQ(b.Location(), ieTempFile);
  WritePattern(b);
  b.SetPaletteColor(3, TRGB{3, 3, 3});
  b.SetAlphaPixel(0, 0, 1);
  b.SetLocation(ieInMemory);  // above the threshold: the allocation keeps it in the file
  EXPECT_EQ(b.Location(), ieTempFile);
  EXPECT_TRUE(HasPattern(b));

  ASSERT_TRUE(b.Allocate(5, 5, ie8p));  // 100 bytes: in memory
  ASSERT_EQ(b.Location(), ieInMemory);
  WritePattern(b);
  b.SetPaletteColor(3, TRGB{3, 3, 3});
  b.SetAlphaPixel(0, 0, 1);
  b.SetLocation(ieTempFile);  // the threshold puts it back in memory
  EXPECT_EQ(b.Location(), ieInMemory);
  EXPECT_TRUE(HasPattern(b));
  EXPECT_EQ(b.GetAlphaPixel(0, 0), 1);

  b.SetLocation(ieTBitmap);
  EXPECT_EQ(b.Location(), ieTBitmap);
  EXPECT_TRUE(HasPattern(b));
  TRGB c;
  b.GetPaletteColor(3, c);
  EXPECT_EQ(c, (TRGB{3, 3, 3}));
  EXPECT_EQ(b.GetAlphaPixel(0, 0), 1);

  // A location that cannot hold the format keeps the image where it was.
  TIEBitmap f(3, 3, ie32f);
  f.SetPixel32f(2, 2, 0.75f);
  f.SetLocation(ieTBitmap);
  EXPECT_EQ(f.Location(), ieInMemory);
  EXPECT_EQ(f.GetPixel32f(2, 2), 0.75f);
}

TEST_F(BitmapTest, SetRowAlignmentRepacksInMemoryRows) {
  TIEBitmap b(9, 3, ie1g);
  ASSERT_EQ(b.GetRowLength(), 4);
  WritePattern(b);
  b.SetAlphaPixel(8, 2, 5);
  b.SetRowAlignment(8);
  EXPECT_EQ(b.RowAlignment(), 8);
  EXPECT_EQ(b.GetRowLength(), 2);
  EXPECT_TRUE(HasPattern(b));
  EXPECT_EQ(b.GetAlphaPixel(8, 2), 5);

  // Alignments that would cut pixels are refused.
  for (int32_t bits : {0, -8, 12}) {
    b.SetRowAlignment(bits);
    EXPECT_EQ(b.RowAlignment(), 8) << bits;
  }
  // Other locations keep their alignment.
  auto f = MakeIn(Storage::TempFile, 9, 3, ie1g);
  f->SetRowAlignment(8);
  EXPECT_EQ(f->RowAlignment(), 32);
  TIEBitmap fresh;
  fresh.SetRowAlignment(16);
  EXPECT_EQ(fresh.RowAlignment(), 32);
}

TEST_F(BitmapTest, SizeChangesKeepTheTopLeftPart) {
  for (Storage s : kStorages) {
    SCOPED_TRACE(StorageName(s));
    auto b = MakeIn(s, 10, 6, ie8p);
    WritePattern(*b);
    b->SetPaletteColor(200, TRGB{1, 1, 1});
    b->SetAlphaPixel(4, 3, 9);
    b->SetWidth(5);
    b->SetHeight(4);
    EXPECT_EQ(b->GetWidth(), 5);
    EXPECT_EQ(b->GetHeight(), 4);
    EXPECT_TRUE(HasPattern(*b));
    EXPECT_EQ(b->GetPaletteBuffer()[200], (TRGB{1, 1, 1}));
    ASSERT_TRUE(b->HasAlphaChannel());
    EXPECT_EQ(b->PeekAlphaChannel()->GetWidth(), 5);
    EXPECT_EQ(b->GetAlphaPixel(4, 3), 9);
  }
}

}  // namespace
