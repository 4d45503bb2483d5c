#include "platform/win/batch.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include "platform/win/process.h"
#include "tests/platform/win/kernel_test_support.h"

namespace fs = std::filesystem;

namespace {
// Runs a command line and answers its exit code after waiting without limit.
DWORD RunAndWait(const std::string& commandLine) {
  PROCESS_INFORMATION info;
  STARTUPINFOA startup;
  EXPECT_EQ(CreateProcessA(nullptr, commandLine.c_str(), nullptr, nullptr, FALSE,
                           CREATE_NEW_PROCESS_GROUP | NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup, &info),
            TRUE)
      << commandLine;
  EXPECT_EQ(WaitForSingleObject(info.hProcess, INFINITE), WAIT_OBJECT_0);
  DWORD code = 12345;
  EXPECT_EQ(GetExitCodeProcess(info.hProcess, &code), TRUE);
  EXPECT_EQ(CloseHandle(info.hProcess), TRUE);
  EXPECT_EQ(CloseHandle(info.hThread), TRUE);
  return code;
}
}  // namespace

// The profile road's batch file: "@echo off" and one line with quoted paths
// holding spaces; arguments that a shell would expand must arrive literally.
TEST(Batch, RunsQuotedProgramWithLiteralArguments) {
  TempFolder dir;
  fs::create_directories(dir / "my tools");
  std::string tool = dir / "my tools/show args";
  WriteText(tool, "#!/bin/sh\nfor a in \"$@\"; do printf '[%s]\\n' \"$a\"; done > \"$OUT\"\nexit 3\n");
  fs::permissions(tool, fs::perms::owner_all);
  std::string out = dir / "args.txt";
  std::string bat = dir / "work folder/proc.bat";
  fs::create_directories(dir / "work folder");
  WriteText(bat, "@echo off\r\n\"" + tool + "\" -v \"" + dir / "a photo.tif" +
                     "\" \"$(touch x)\" `touch y` ; \"-D\"\"quoted\"\"\"\r\n");
  ScopedEnv outVar("OUT", out);
  fs::path saved = fs::current_path();
  fs::current_path(fs::path(dir.Path()));  // where a shell would have created "x" and "y"
  EXPECT_EQ(RunAndWait("\"" + bat + "\""), 3u);
  fs::current_path(saved);

  EXPECT_EQ(ReadAll(out), "[-v]\n[" + dir / "a photo.tif" + "]\n[$(touch x)]\n[`touch]\n[y`]\n[;]\n[-D\"quoted\"]\n");
  EXPECT_FALSE(fs::exists(dir / "x"));
  EXPECT_FALSE(fs::exists(dir / "y"));
}

TEST(Batch, WaitsForEachLineAndAnswersTheLastExitCode) {
  TempFolder dir;
  std::string bat = dir / "steps.cmd";
  // LF line ends; the second line only succeeds when the first has finished.
  WriteText(bat, "@echo off\nsh -c \"sleep 0.2; echo one > '" + dir / "f" + "'\"\n\nrem sh -c \"exit 9\"\n"
                 "sh -c \"grep -q one '" + dir / "f" + "' && exit 5\"\n");
  PROCESS_INFORMATION info;
  ASSERT_EQ(CreateProcessA(nullptr, ("\"" + bat + "\"").c_str(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                           nullptr, &info),
            TRUE);
  EXPECT_EQ(WaitForSingleObject(info.hProcess, 10), WAIT_TIMEOUT);
  DWORD code = 0;
  GetExitCodeProcess(info.hProcess, &code);
  EXPECT_EQ(code, STILL_ACTIVE);
  EXPECT_EQ(WaitForSingleObject(info.hProcess, 10000), WAIT_OBJECT_0);
  GetExitCodeProcess(info.hProcess, &code);
  EXPECT_EQ(code, 5u);
  CloseHandle(info.hProcess);
  CloseHandle(info.hThread);
}

TEST(Batch, EchoRemAndBlankLines) {
  TempFolder dir;
  std::string out = dir / "console.txt";
  struct Case {
    std::string script;
    const char* output;
    int code;
  } cases[] = {
      {"@echo off\r\necho Hello  world\r\necho.\r\necho\r\nREM nothing\r\n\r\n", "Hello  world\n\nECHO is off.\n", 0},
      {"echo on\necho\n", "echo on\necho\nECHO is on.\n", 0},
      {"@echo off\nsh -c \"echo from child; exit 4\"\necho after\n", "from child\nafter\n", 4},
      {"@echo off\nvesk-no-such-program-here a b\n", "", BatchCommandNotFound},
      {"", "", 0},
      // A line of a million "@" marks is read once, not once per mark.
      {std::string(1000000, '@') + " @ echo quiet\n", "quiet\n", 0},
  };
  for (const auto& c : cases) {
    int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(RunBatchScript(c.script, {fd, false, ""}), c.code) << c.script;
    ::close(fd);
    EXPECT_EQ(ReadAll(out), c.output) << c.script;
  }
}
