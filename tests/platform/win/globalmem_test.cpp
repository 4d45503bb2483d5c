#include "platform/win/globalmem.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(GlobalMemory, BlockKeepsSizeContentsAndLockCount) {
  HGLOBAL h = GlobalAlloc(GHND, 16);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(GlobalSize(h), 16u);
  auto* p = static_cast<char*>(GlobalLock(h));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p[15], 0);  // zeroed
  std::memcpy(p, "hello", 6);
  EXPECT_EQ(GlobalLock(h), p);
  EXPECT_EQ(GlobalUnlock(h), TRUE);   // still locked once
  EXPECT_EQ(GlobalUnlock(h), FALSE);  // count reached zero

  h = GlobalReAlloc(h, 4096, GMEM_MOVEABLE);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(GlobalSize(h), 4096u);
  EXPECT_STREQ(static_cast<char*>(GlobalLock(h)), "hello");
  GlobalUnlock(h);
  EXPECT_EQ(GlobalFree(h), nullptr);
}

TEST(GlobalMemory, BadHandlesAndSizesAreRefused) {
  EXPECT_EQ(GlobalAlloc(GMEM_FIXED, size_t{1} << 40), nullptr);
  int notABlock = 0;
  EXPECT_EQ(GlobalLock(&notABlock), nullptr);
  EXPECT_EQ(GlobalSize(&notABlock), 0u);
  EXPECT_EQ(GlobalFree(&notABlock), &notABlock);
  EXPECT_EQ(GlobalFree(nullptr), nullptr);
}
