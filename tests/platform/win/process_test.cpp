#include "platform/win/process.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/platform/win/kernel_test_support.h"

namespace fs = std::filesystem;

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
