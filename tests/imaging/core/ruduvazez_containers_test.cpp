#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "imaging/core/ruduvazez_containers.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/stringlist.h"

namespace {

std::string Contents(TMemoryStream& stream) {
  return std::string(static_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.Size()));
}

TEST(Hash1, CountsDistinctValues) {
  THash1 hash(4);  // few buckets, so values share chains
  const uint32_t values[] = {0x123456, 0x000006, 0x123456, 0xFFFFF6, 0x000006, 7};
  int inserted = 0;
  for (uint32_t v : values) inserted += hash.Insert(v);
  EXPECT_EQ(inserted, 4);
  EXPECT_EQ(hash.Count(), 4);
  EXPECT_FALSE(hash.Insert(0xFFFFF6));
  EXPECT_EQ(hash.BucketOf(0xABCDEF), 0xFu);
}

TEST(IEByteArray, GrowsByBlockAndShrinksBelowIt) {
  TIEByteArray bytes(1024);
  for (int i = 0; i < 1025; ++i) bytes.AddByte(static_cast<uint8_t>(i));
  EXPECT_EQ(bytes.Size(), 1025);
  EXPECT_EQ(bytes.Capacity(), 2049);
  EXPECT_EQ(bytes.Data()[1024], 0);
  EXPECT_EQ(bytes.Data()[1023], 255);
  bytes.SetSize(1100);  // within the block: kept
  EXPECT_EQ(bytes.Capacity(), 2049);
  bytes.SetSize(10);  // far below: a smaller block with the first bytes
  EXPECT_EQ(bytes.Capacity(), 1034);
  EXPECT_EQ(bytes.Data()[9], 9);
}

TEST(IEByteArray, AppendFromStreamKeepsOnlyWhatWasRead) {
  TStringStream source("hello");
  TIEByteArray bytes(4);
  bytes.AddByte('>');
  EXPECT_EQ(bytes.AppendFromStream(source, 100), 5);
  EXPECT_EQ(bytes.Size(), 6);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes.Data()), 6), ">hello");
}

TEST(NulStream, CountsWithoutStoring) {
  TNulStream stream;
  std::vector<uint8_t> buffer(100, 0xAB);
  EXPECT_EQ(stream.Write(buffer.data(), 100), 100);
  stream.Seek(0, soBeginning);
  EXPECT_EQ(stream.Read(buffer.data(), 10), 10);
  EXPECT_EQ(buffer[0], 0xAB);  // untouched
  EXPECT_EQ(stream.Position(), 10);
  EXPECT_EQ(stream.Size(), 100);
  EXPECT_EQ(stream.Seek(0, soEnd), 100);
  EXPECT_EQ(stream.Seek(30, soEnd), 70);
  EXPECT_EQ(stream.Seek(50, soCurrent), 120);
  EXPECT_EQ(stream.Size(), 120);
}

TEST(IEList, AddDeleteAndTheChangedFlag) {
  TIEIntegerList list;
  for (int32_t v : {10, 20, 30}) list.Add(v);
  EXPECT_TRUE(list.Changed());
  list.SetChanged(false);
  list.Delete(5);
  list.Delete(-1);
  EXPECT_FALSE(list.Changed());
  EXPECT_EQ(list.Count(), 3);
  list.Delete(1);
  EXPECT_TRUE(list.Changed());
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Capacity(), 2);
  EXPECT_EQ(list[0], 10);
  EXPECT_EQ(list[1], 30);
}

// Assign leaves a block of exactly Count items: the next add must grow it
// rather than write past it (ASan reports the overflow otherwise).
TEST(IEList, AssignSetsTheCapacityToTheCount) {
  TIEDoubleList big, small;
  for (int i = 0; i < 16; ++i) big.Add(i);
  small.Add(1.5);
  small.Values[2] = 7;
  big.Assign(&small);
  EXPECT_EQ(big.Count(), 1);
  EXPECT_EQ(big.Capacity(), 1);
  EXPECT_EQ(big.Values[2], 7);
  for (int i = 0; i < 20; ++i) big.Add(i);
  EXPECT_EQ(big.Count(), 21);
  EXPECT_EQ(big[0], 1.5);
  EXPECT_EQ(big[20], 19);

  TIEDoubleList empty;
  empty.Assign(&big);
  empty.Add(99);
  EXPECT_EQ(empty[21], 99);
  empty.Assign(nullptr);
  EXPECT_EQ(empty.Count(), 22);
}

TEST(IEList, RecordListsAndClear) {
  struct Point {
    int32_t x, y;
  };
  TIERecordList stack(sizeof(Point));
  for (int32_t i = 0; i < 50; ++i) {
    Point p{i, -i};
    EXPECT_EQ(stack.AddRecord(&p), i);
  }
  EXPECT_EQ(static_cast<Point*>(stack.GetRecord(49))->y, -49);
  EXPECT_GE(stack.Capacity(), 50);
  stack.Clear();
  EXPECT_EQ(stack.Count(), 0);
  EXPECT_EQ(stack.Capacity(), 0);
  EXPECT_FALSE(stack.Changed());
}

TEST(ViewParams, DefaultsAndAssign) {
  TIEScrollBarParams bar;
  EXPECT_EQ(bar.LineStep, -1);
  EXPECT_EQ(bar.PageStep, -1);
  EXPECT_TRUE(bar.Tracking);
  TIEMouseWheelParams view(2), thumbs(1);
  EXPECT_EQ(view.StepKind, 1);
  EXPECT_EQ(view.Step, 8);
  view.InvertDirection = true;
  view.Step = 3;
  thumbs.Assign(view);
  EXPECT_EQ(thumbs.Action, 2);
  EXPECT_TRUE(thumbs.InvertDirection);
  EXPECT_EQ(thumbs.Step, 3);
}

TEST(StreamStrings, LayoutAndRoundTrip) {
  TMemoryStream stream;
  IESaveAnsiStringToStream(stream, "abc");
  EXPECT_EQ(Contents(stream), std::string("\x03\0\0\0abc", 7));
  stream.Clear();
  IESaveWideStringToStream(stream, "\xC3\xA9t\xF0\x9F\x98\x80");  // é t and one pair of surrogates
  EXPECT_EQ(Contents(stream), std::string("\x04\0\0\0\xE9\0t\0\x3D\xD8\x00\xDE", 12));

  stream.Clear();
  TStringList list;
  list.Add("one");
  list.Add("");
  list.Add("three");
  IESaveStringListToStream(stream, list);
  IESaveWideStringToStream(stream, "wide");
  stream.SetPosition(0);
  TStringList back;
  back.Add("stale");
  IELoadStringListFromStream(stream, back);
  ASSERT_EQ(back.Count(), 3);
  EXPECT_EQ(back.Strings(2), "three");
  std::string wide;
  IELoadWideStringFromStream(stream, wide);
  EXPECT_EQ(wide, "wide");
}

TEST(StreamStrings, LengthsBeyondTheStreamAreRefused) {
  const std::string cases[] = {
      std::string("\x10\0\0\0abc", 7),      // longer than what follows
      std::string("\xFF\xFF\xFF\xFF", 4),   // negative
      std::string("\x02\0", 2),             // the length itself cut
  };
  for (const std::string& bytes : cases) {
    TStringStream stream(bytes);
    std::string text;
    EXPECT_THROW(IELoadAnsiStringFromStream(stream, text), EReadError);
    stream.SetPosition(0);
    EXPECT_THROW(IELoadWideStringFromStream(stream, text), EReadError);
  }
  TStringStream list(std::string("\xFF\xFF\xFF\x7F", 4));  // two billion strings in no bytes
  TStringList strings;
  EXPECT_THROW(IELoadStringListFromStream(list, strings), EReadError);
}

}  // namespace
