#include "platform/win/process.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/win/batch.h"
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

TEST(CommandLine, SplitsByTheWindowsRules) {
  struct Case {
    const char* line;
    std::vector<std::string> argv;
  } cases[] = {
      {"", {}},
      {"   ", {}},
      {"prog a  b\tc", {"prog", "a", "b", "c"}},
      {"\"C:\\My Folder\\prog.exe\" x", {"C:\\My Folder\\prog.exe", "x"}},
      {"\"/a dir/proc.bat\"", {"/a dir/proc.bat"}},
      {"p \"a b\" c\"d e\"f", {"p", "a b", "cd ef"}},
      {"p a\\\\\\\"b", {"p", "a\\\"b"}},     // 3 backslashes + quote: one backslash, literal quote
      {"p \"a\\\\\" b", {"p", "a\\", "b"}},  // 2 backslashes + quote: one backslash, quote closes
      {"p a\\b\\\\c", {"p", "a\\b\\\\c"}},   // backslashes not before a quote are literal
      {"p \"say \"\"hi\"\"\"", {"p", "say \"hi\""}},
      {"p \"\" x", {"p", "", "x"}},
      {"p \"$(touch x)\" `id`", {"p", "$(touch x)", "`id`"}},
      {"p \"open", {"p", "open"}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitCommandLine(c.line), c.argv) << c.line;
}

TEST(Process, ExitCodeAndWaitWithTimeLimit) {
  PROCESS_INFORMATION info;
  ASSERT_EQ(CreateProcessA(nullptr, "sh -c \"sleep 0.3; exit 7\"", nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                           nullptr, &info),
            TRUE);
  EXPECT_NE(info.dwProcessId, 0u);
  DWORD code = 0;
  EXPECT_EQ(GetExitCodeProcess(info.hProcess, &code), TRUE);
  EXPECT_EQ(code, STILL_ACTIVE);
  EXPECT_EQ(WaitForSingleObject(info.hProcess, 0), WAIT_TIMEOUT);
  EXPECT_EQ(WaitForSingleObject(info.hProcess, 20), WAIT_TIMEOUT);
  EXPECT_EQ(WaitForSingleObject(info.hProcess, 10000), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(info.hProcess, 0), WAIT_OBJECT_0);  // stays signalled
  EXPECT_EQ(GetExitCodeProcess(info.hProcess, &code), TRUE);
  EXPECT_EQ(code, 7u);
  CloseHandle(info.hThread);
  EXPECT_EQ(CloseHandle(info.hProcess), TRUE);
  EXPECT_EQ(CloseHandle(info.hProcess), FALSE);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(WaitForSingleObject(info.hProcess, 0), WAIT_FAILED);
}

TEST(Process, MissingProgramFailsToStart) {
  TempFolder dir;
  PROCESS_INFORMATION info;
  for (const std::string& line : std::vector<std::string>{"vesk-no-such-program-here", "\"" + dir / "none" + "\" a", "\"" + dir / "none.bat" + "\""}) {
    SetLastError(0);
    EXPECT_EQ(CreateProcessA(nullptr, line.c_str(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &info), FALSE)
        << line;
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND) << line;
  }
  EXPECT_EQ(WinExec((dir / "none").c_str(), 1 /* show normally */), ERROR_FILE_NOT_FOUND);
}

TEST(Process, WinExecStartsWithoutWaiting) {
  TempFolder dir;
  std::string mark = dir / "mark";
  EXPECT_GT(WinExec(("touch \"" + mark + "\"").c_str(), 1 /* show normally */), 31u);
  for (int i = 0; i < 500 && !fs::exists(mark); ++i) usleep(10000);
  EXPECT_TRUE(fs::exists(mark));
}

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
  ASSERT_EQ(::chdir(dir.path.c_str()), 0);

  EXPECT_EQ(RunAndWait("\"" + bat + "\""), 3u);

  EXPECT_EQ(ReadText(out), "[-v]\n[" + dir / "a photo.tif" + "]\n[$(touch x)]\n[`touch]\n[y`]\n[;]\n[-D\"quoted\"]\n");
  EXPECT_FALSE(fs::exists(dir / "x"));
  EXPECT_FALSE(fs::exists(dir / "y"));
  ASSERT_EQ(::chdir("/"), 0);
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
    const char* script;
    const char* output;
    int code;
  } cases[] = {
      {"@echo off\r\necho Hello  world\r\necho.\r\necho\r\nREM nothing\r\n\r\n", "Hello  world\n\nECHO is off.\n", 0},
      {"echo on\necho\n", "echo on\necho\nECHO is on.\n", 0},
      {"@echo off\nsh -c \"echo from child; exit 4\"\necho after\n", "from child\nafter\n", 4},
      {"@echo off\nvesk-no-such-program-here a b\n", "", BatchCommandNotFound},
      {"", "", 0},
  };
  for (const auto& c : cases) {
    int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(RunBatchScript(c.script, {fd, false, ""}), c.code) << c.script;
    ::close(fd);
    EXPECT_EQ(ReadText(out), c.output) << c.script;
  }
}
