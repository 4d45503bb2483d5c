#include "services/auhttp.h"

#include <gtest/gtest.h>

TEST(AuHttpHeaders, ContentLengthIsDigitsOnlyIn64Bits) {
  struct Case {
    const char* text;
    bool ok;
    int64_t value;
  };
  const Case cases[] = {{"0", true, 0},          {" 4294967396 ", true, 4294967396},
                        {"", false, 0},          {"-1", false, 0},
                        {"12a", false, 0},       {"1 2", false, 0},
                        {"+5", false, 0},        {"99999999999999999999", false, 0}};
  for (const Case& c : cases) {
    int64_t value = -7;
    EXPECT_EQ(TryParseContentLength(c.text, value), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(value, c.value) << c.text;
    }
  }
}

TEST(AuHttpHeaders, ContentRangeNeedsAnOrderedRangeInsideTheTotal) {
  struct Case {
    const char* text;
    bool ok;
    int64_t first, last, total;
  };
  const Case cases[] = {
      {"bytes 1000-1499/1500", true, 1000, 1499, 1500},
      {"Bytes 0-0/*", true, 0, 0, -1},
      {"bytes 4294967296-4294967395/4294967396", true, 4294967296, 4294967395, 4294967396},
      {"bytes 10-5/100", false, 0, 0, 0},
      {"bytes 0-100/100", false, 0, 0, 0},
      {"bytes */100", false, 0, 0, 0},
      {"bytes 0-/100", false, 0, 0, 0},
      {"items 0-1/2", false, 0, 0, 0},
      {"bytes 0-1", false, 0, 0, 0},
      {"bytes -1-5/10", false, 0, 0, 0},
      {"", false, 0, 0, 0},
  };
  for (const Case& c : cases) {
    TauContentRange r;
    EXPECT_EQ(TryParseContentRange(c.text, r), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(r.first, c.first) << c.text;
      EXPECT_EQ(r.last, c.last) << c.text;
      EXPECT_EQ(r.total, c.total) << c.text;
    }
  }
}

TEST(AuHttpHeaders, RealmIsTheQuotedText) {
  EXPECT_EQ(AuthenticationRealm("Basic realm=\"Updates\""), "Updates");
  EXPECT_EQ(AuthenticationRealm("Digest nonce=\"n\", Realm=\"Our \"site\""), "Our ");
  EXPECT_EQ(AuthenticationRealm("Basic x=\"first\""), "first");
  EXPECT_EQ(AuthenticationRealm("Basic realm=\""), "");
  EXPECT_EQ(AuthenticationRealm("=\""), "");
  EXPECT_EQ(AuthenticationRealm("Basic"), "");
}
