// The application's clipboard object: text through the window layer's
// clipboard, and its answers while another window holds the clipboard.
#include "platform/forms/clipbrd.h"

#include "platform/win/user_clipboard.h"
#include "tests/platform/forms/forms_test_support.h"

namespace {

using ClipboardObjectTest = FormsTest;

TEST_F(ClipboardObjectTest, TextGoesInAndOutAndTheClipboardEmpties) {
  TClipboard* clipboard = Clipboard();
  EXPECT_EQ(Clipboard(), clipboard) << "one object for the application";
  for (const std::string text : {"plain", "Grüße €1 – Ελληνικά", ""}) {
    clipboard->SetAsText(text);
    EXPECT_TRUE(clipboard->HasFormat(CF_TEXT)) << text;
    EXPECT_EQ(clipboard->AsText(), text);
  }
  clipboard->Clear();
  EXPECT_FALSE(clipboard->HasFormat(CF_TEXT));
  EXPECT_EQ(clipboard->AsText(), "");
}

TEST_F(ClipboardObjectTest, AClipboardHeldElsewhereIsNotChanged) {
  Clipboard()->SetAsText("kept");
  TForm* holder = MakeForm();
  ASSERT_TRUE(OpenClipboard(holder->Handle()));
  EXPECT_THROW(Clipboard()->SetAsText("lost"), EClipboardException);
  EXPECT_THROW(Clipboard()->Clear(), EClipboardException);
  EXPECT_EQ(Clipboard()->AsText(), "") << "nothing can be read while another window holds it";
  CloseClipboard();
  EXPECT_EQ(Clipboard()->AsText(), "kept");
}

}  // namespace
