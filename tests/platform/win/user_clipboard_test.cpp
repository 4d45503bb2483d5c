// The clipboard: text in both encodings, registered formats, one opener at
// a time, and text shared with the display.
#include <cstring>

#include "platform/win/globalmem.h"
#include "tests/platform/win/user_test_support.h"

namespace {

using ClipboardTest = UserTest;

HGLOBAL Block(const void* data, size_t size) {
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, size);
  std::memcpy(GlobalLock(h), data, size);
  GlobalUnlock(h);
  return h;
}

std::string Bytes(HANDLE h) {
  std::string s(static_cast<const char*>(GlobalLock(h)), GlobalSize(h));
  GlobalUnlock(h);
  return s;
}

TEST_F(ClipboardTest, TextRoundTripsInBothEncodings) {
  HWND w = Make(WS_POPUP, RECT{0, 0, 10, 10});
  const std::string text = "Grüße €1";
  ASSERT_TRUE(OpenClipboard(w));
  ASSERT_TRUE(EmptyClipboard());
  ASSERT_NE(SetClipboardData(CF_TEXT, Block(text.c_str(), text.size() + 1)), nullptr);
  ASSERT_TRUE(CloseClipboard());
  EXPECT_EQ(GetClipboardOwner(), w);
  EXPECT_TRUE(IsClipboardFormatAvailable(CF_UNICODETEXT));

  ASSERT_TRUE(OpenClipboard(nullptr));
  EXPECT_EQ(Bytes(GetClipboardData(CF_TEXT)), text + '\0');
  HANDLE wide = GetClipboardData(CF_UNICODETEXT);
  ASSERT_NE(wide, nullptr);
  std::u16string expected = u"Grüße €1";
  expected.push_back(u'\0');
  EXPECT_EQ(GlobalSize(wide), expected.size() * 2);
  EXPECT_EQ(std::memcmp(GlobalLock(wide), expected.data(), expected.size() * 2), 0);
  GlobalUnlock(wide);
  EXPECT_EQ(CountClipboardFormats(), 1) << "made formats are not counted";
  CloseClipboard();
  // The display's clipboard has the text too.
  EXPECT_EQ(display::ActiveBackend().ClipboardText(), text);
}

TEST_F(ClipboardTest, RegisteredFormatsRoundTrip) {
  UINT raw = RegisterClipboardFormatA("IMAGERY RAW FORMAT");
  EXPECT_GE(raw, 0xC000u);
  EXPECT_EQ(RegisterClipboardFormat("imagery raw format"), raw);
  EXPECT_EQ(GetClipboardFormatNameA(raw), "IMAGERY RAW FORMAT");
  EXPECT_EQ(GetClipboardFormatName(CF_TEXT), "");
  EXPECT_EQ(GetClipboardFormatName(0xFFFF), "");

  const unsigned char payload[] = {0, 1, 2, 0xFF, 0, 7};
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  SetClipboardData(raw, Block(payload, sizeof payload));
  const char textA[] = "a";
  SetClipboardData(CF_TEXT, Block(textA, sizeof textA));
  EXPECT_EQ(EnumClipboardFormats(0), raw);
  EXPECT_EQ(EnumClipboardFormats(raw), CF_TEXT);
  EXPECT_EQ(EnumClipboardFormats(CF_TEXT), 0u);
  CloseClipboard();
  EXPECT_TRUE(IsClipboardFormatAvailable(raw));
  EXPECT_EQ(GetClipboardData(raw), nullptr) << "only while open";
  ASSERT_TRUE(OpenClipboard(nullptr));
  EXPECT_EQ(Bytes(GetClipboardData(raw)), std::string(reinterpret_cast<const char*>(payload), sizeof payload));
  // Emptying drops everything.
  EmptyClipboard();
  CloseClipboard();
  EXPECT_FALSE(IsClipboardFormatAvailable(raw));
  EXPECT_FALSE(IsClipboardFormatAvailable(CF_TEXT));
}

TEST_F(ClipboardTest, OneOpenerAtATime) {
  HWND a = Make(WS_POPUP, RECT{0, 0, 10, 10});
  HWND b = Make(WS_POPUP, RECT{0, 0, 10, 10});
  ASSERT_TRUE(OpenClipboard(a));
  EXPECT_TRUE(OpenClipboard(a)) << "the opener may open again";
  EXPECT_FALSE(OpenClipboard(b));
  EXPECT_TRUE(CloseClipboard());
  EXPECT_FALSE(CloseClipboard());
  EXPECT_FALSE(EmptyClipboard()) << "needs the clipboard open";
  HGLOBAL h = Block("x", 2);
  EXPECT_EQ(SetClipboardData(CF_TEXT, h), nullptr);
  GlobalFree(h);
  EXPECT_TRUE(OpenClipboard(b));
  CloseClipboard();
}

TEST_F(ClipboardTest, TextFromTheDesktopIsSeen) {
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  CloseClipboard();
  static int run = 0;
  const std::string text = "from elsewhere ✓ " + std::to_string(++run);
  display::ActiveBackend().SetClipboardText(text);
  EXPECT_TRUE(IsClipboardFormatAvailable(CF_TEXT));
  ASSERT_TRUE(OpenClipboard(nullptr));
  EXPECT_EQ(Bytes(GetClipboardData(CF_TEXT)), text + '\0');
  EXPECT_EQ(GetClipboardOwner(), nullptr);
  CloseClipboard();
}

}  // namespace
