#include "platform/win/shlwapi.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(MemStream, HoldsItsOwnCopyFromTheStart) {
  BYTE bytes[] = {'a', 'b', 'c', 'd'};
  ComPtr<IStream> s = ComPtr<IStream>::Attach(SHCreateMemStream(bytes, sizeof bytes));
  ASSERT_TRUE(s);
  bytes[0] = 'z';  // the stream copied the bytes
  char got[8] = {};
  ULONG read = 0;
  EXPECT_TRUE(SUCCEEDED(s->Read(got, sizeof got, &read)));
  EXPECT_EQ(read, 4u);
  EXPECT_EQ(std::memcmp(got, "abcd", 4), 0);

  ComPtr<IStream> empty = ComPtr<IStream>::Attach(SHCreateMemStream(nullptr, 0));
  ASSERT_TRUE(empty);
  EXPECT_TRUE(SUCCEEDED(empty->Read(got, 1, &read)));
  EXPECT_EQ(read, 0u);
}
