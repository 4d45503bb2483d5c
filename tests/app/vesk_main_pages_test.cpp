// The help page, F1 and the toolkit's documentation open through the
// desktop's opener found on PATH; without one the user is told so, in the
// language in force.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/langconsts.h"
#include "app/loclangman.h"
#include "app/vesk_main.h"
#include "platform/win/winuser_consts.h"
#include "tests/app/program_fixture.h"
#include "ui/controls/advglassbutton.h"

namespace fs = std::filesystem;

namespace {

// A folder for PATH, with or without an "xdg-open" that logs each target
// it is given, one a line.
struct OpenerFolder {
  explicit OpenerFolder(bool withOpener) {
    if (!withOpener) return;
    const std::string opener = WriteBelow(bin, "xdg-open", "#!/bin/sh\nprintf '%s\\n' \"$@\" >> '" + log + "'\n");
    fs::permissions(opener, fs::perms::owner_all);
  }
  // The log's lines, sorted, once it holds `lines` of them: each opener runs
  // detached, so they may finish in any order, and a loaded machine may take
  // a long while to start them.
  std::vector<std::string> Logged(size_t lines) const {
    std::string text;
    for (int i = 0; i < 12000; ++i) {
      text = ReadAll(log);
      if (static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) >= lines) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::vector<std::string> result;
    for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
      result.push_back(text.substr(start, end - start));
    std::sort(result.begin(), result.end());
    return result;
  }

  TempFolder bin;
  std::string log = bin / "opened";
};

}  // namespace

TEST(Pages, HelpAndDocumentsOpenThroughTheDesktopOpenerOrSaySoWithoutOne) {
  Program program("en_US.UTF-8");
  program.Start();
  const std::string help = Form1->ProgramFolder + "help/vesk.html";
  const std::string documents = Form1->ProgramFolder + "argyll/doc/ArgyllDoc.html";
  const auto pressF1 = [] {
    WORD key = VK_F1;
    Form1->FormKeyDown(Form1, key, {});
  };
  {
    OpenerFolder found(true);
    ScopedEnv path("PATH", found.bin.Path() + ":/usr/bin:/bin");
    Form1->HelpBtn->Click();
    pressF1();
    Form1->ArgyllBtn->Click();
    std::vector<std::string> expected{help, help, documents};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(found.Logged(3), expected);
    EXPECT_TRUE(MessageBoxLog().empty());
  }

  OpenerFolder none(false);
  ScopedEnv path("PATH", none.bin.Path());
  const struct {
    std::function<void()> open;
    std::string target;
  } cases[] = {{[] { Form1->HelpBtn->Click(); }, help}, {pressF1, help}, {[] { Form1->ArgyllBtn->Click(); }, documents}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.target);
    ClearDialogScript();
    ScriptMessageBoxAnswer(mrOk);
    c.open();
    ASSERT_EQ(MessageBoxLog().size(), 1u);
    EXPECT_EQ(MessageBoxLog()[0].Text, std::string(NoOpenerText) + "\r\r" + c.target);
  }
  ScriptMessageBoxAnswer(mrOk);
  EXPECT_FALSE(BrowseURL(help));

  // The message comes from the language files.
  LanguageManager->SetLanguageCode("de");
  ClearDialogScript();
  ScriptMessageBoxAnswer(mrOk);
  Form1->HelpBtn->Click();
  ASSERT_EQ(MessageBoxLog().size(), 1u);
  EXPECT_TRUE(MessageBoxLog()[0].Text.starts_with("Es wurde kein Programm gefunden")) << MessageBoxLog()[0].Text;
}
