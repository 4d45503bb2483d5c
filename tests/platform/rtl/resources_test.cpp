#include "platform/rtl/resources.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/rtl/exceptions.h"

// The files under tests/platform/rtl/resources, embedded by this folder's module.cmake.
extern const TResourceTable TestRtlResources;

namespace {

std::string BytesOf(HINSTANCE module, const TResourceName& name, const TResourceName& type) {
  TResourceData data = ResourceBytes(FindResourceEntry(module, name, type));
  return data.data ? std::string(reinterpret_cast<const char*>(data.data), data.size) : "<missing>";
}

}  // namespace

TEST(Resources, FoundByTypeAndNameWithoutRegardToCase) {
  HINSTANCE module = ResourceModule(TestRtlResources);
  struct Case {
    TResourceName name, type;
    std::string bytes;
  };
  const Case cases[] = {
      {1000, RT_RCDATA, "first resource\n"},     // "#1000.txt": number 1000, extension dropped
      {"#1000", RT_RCDATA, "first resource\n"},  // "#n" is the number n
      {"#1000", "#10", "first resource\n"},
      {"page", RT_RCDATA, "named data"},
      {"PAGE", 10, "named data"},
      {"varnofcu", RT_BITMAP, "BM"},
      {"AUUPG", "auupg", std::string("\0\1\2\xff", 4)},  // a type of its own
      {"1000", RT_RCDATA, "<missing>"},                  // a name, not the number
      {1000, "RCDATA", "<missing>"},                     // the text is not the standard type
      {"Page", RT_BITMAP, "<missing>"},
      {1001, RT_RCDATA, "<missing>"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(BytesOf(module, c.name, c.type), c.bytes) << c.name.ToString() << " of " << c.type.ToString();

  // Each resource is followed by a zero byte, so text resources end safely.
  TResourceData page = ResourceBytes(FindResourceEntry(module, "Page", RT_RCDATA));
  EXPECT_EQ(page.data[page.size], 0);
}

TEST(Resources, ModulesKeepTheirTablesApart) {
  // The program's table does not hold the test's files, nor the reverse.
  EXPECT_EQ(FindResourceEntry(HInstance, "Page", RT_RCDATA), nullptr);
  EXPECT_EQ(FindResourceEntry(nullptr, "Page", RT_RCDATA), nullptr);
  int unknown = 0;
  EXPECT_EQ(FindResourceEntry(reinterpret_cast<HINSTANCE>(&unknown), "Page", RT_RCDATA), nullptr);
  EXPECT_EQ(ResourceModule(TestRtlResources), ResourceModule(TestRtlResources));
  EXPECT_NE(ResourceModule(TestRtlResources), HInstance);
}

TEST(Resources, NamesParseAsWindowsReadsThem) {
  struct Case {
    TResourceName name;
    bool isId;
    std::string shown;
  };
  const Case cases[] = {
      {"#123", true, "#123"}, {123, true, "#123"},     {"#0", false, "#0"},
      {"#70000", false, "#70000"}, {"#12a", false, "#12a"}, {"12", false, "12"},
      {"", false, ""},        {0, false, "#0"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.name.IsId(), c.isId) << c.shown;
    EXPECT_EQ(c.name.ToString(), c.shown);
  }
}

TEST(ResourceStream, ReadsTheResourceAndRefusesWrites) {
  HINSTANCE module = ResourceModule(TestRtlResources);
  TResourceStream stream(module, 1000, RT_RCDATA);
  EXPECT_EQ(stream.Size(), 15);
  char buffer[5];
  stream.Seek(6, soBeginning);
  stream.ReadBuffer(buffer, 5);
  EXPECT_EQ(std::string(buffer, 5), "resou");
  EXPECT_THROW(stream.Write("x", 1), EStreamError);
  TMemoryStream copy;
  EXPECT_EQ(copy.CopyFrom(stream, 0), 15);
}

TEST(ResourceStream, MissingResourceRaisesResNotFound) {
  HINSTANCE module = ResourceModule(TestRtlResources);
  struct Case {
    TResourceName name;
    std::string text;
  };
  const Case cases[] = {{1001, "Resource 1001 not found"}, {"NOPE", "Resource NOPE not found"}};
  for (const Case& c : cases) {
    try {
      TResourceStream stream(module, c.name, RT_RCDATA);
      ADD_FAILURE() << c.text;
    } catch (const EResNotFound& e) {
      EXPECT_EQ(e.Message(), c.text);
    }
  }
  EXPECT_THROW(TResourceStream(HInstance, 31999, RT_RCDATA), EResNotFound);
}
