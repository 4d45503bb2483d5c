#include "platform/rtl/textfile.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/files.h"
#include "tests/platform/rtl/temp_folder.h"

namespace {

TEST(TextFiles, WriteLinesWithCrLfThenAppendAndReadBack) {
  TempFolder temp;
  const std::string name = temp / "proc.bat";
  TextFile f;
  AssignFile(f, name);
  Rewrite(f);
  Writeln(f, "@echo off");
  Write(f, "\"scanin\" ");
  Writeln(f, "-v");
  CloseFile(f);
  EXPECT_EQ(ReadAll(name), "@echo off\r\n\"scanin\" -v\r\n");

  // Rewrite empties; Append keeps and adds; Flush makes text visible at once.
  Rewrite(f);
  Writeln(f, "one");
  CloseFile(f);
  Append(f);
  Writeln(f, "two");
  Flush(f);
  EXPECT_EQ(ReadAll(name), "one\r\ntwo\r\n");
  CloseFile(f);

  temp.Write("mixed.txt", "a\r\nb\nlast");
  TextFile in(temp / "mixed.txt");
  in.Reset();
  std::string lines;
  while (!Eof(in)) {
    std::string line;
    Readln(in, line);
    lines += "[" + line + "]";
  }
  EXPECT_EQ(lines, "[a][b][last]");
}

TEST(TextFiles, FailuresRaiseIOErrorWithTheSystemCode) {
  TempFolder temp;
  struct Case {
    const char* what;
    std::function<void(TextFile&)> action;
    int32_t code;
  };
  const Case cases[] = {
      {"append to a missing file", [&](TextFile& f) { f.Assign(temp / "missing.log"); f.Append(); }, ENOENT},
      {"reset a missing file", [&](TextFile& f) { f.Assign(temp / "missing.log"); f.Reset(); }, ENOENT},
      {"rewrite in a missing folder", [&](TextFile& f) { f.Assign(temp / "no/x.bat"); f.Rewrite(); }, ENOENT},
      {"rewrite a folder", [&](TextFile& f) { f.Assign(temp.Path()); f.Rewrite(); }, EISDIR},
      {"write to a closed file", [&](TextFile& f) { f.Assign(temp / "x"); f.Writeln("x"); }, EBADF},
      {"close a closed file", [&](TextFile& f) { f.Assign(temp / "x"); f.Close(); }, EBADF},
      {"write to a full device", [&](TextFile& f) { f.Assign("/dev/full"); f.Append(); f.Writeln("x"); f.Flush(); },
       ENOSPC},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TextFile f;
    try {
      c.action(f);
      ADD_FAILURE() << "no exception";
    } catch (const EInOutError& e) {
      EXPECT_EQ(e.ErrorCode, c.code);
      EXPECT_EQ(e.Message(), "I/O error " + std::to_string(c.code));
    }
  }
}

TEST(TextFiles, WithoutIOChecksFailuresGoToIOResult) {
  TempFolder temp;
  IOResult();
  TextFile f(temp / "missing.log");
  f.SetIOChecks(false);
  f.Append();
  EXPECT_FALSE(f.IsOpen());
  EXPECT_EQ(IOResult(), ENOENT);
  f.Writeln("lost");
  EXPECT_EQ(IOResult(), EBADF);
  f.Rewrite();
  f.Writeln("kept");
  f.Close();
  EXPECT_EQ(IOResult(), 0);
  EXPECT_EQ(ReadAll(temp / "missing.log"), "kept\r\n");
}

}  // namespace
