#include "services/auutils.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "tests/services/test_folder.h"

TEST(AuUtils, CompareVersionsByFieldsElseByCharactersKeepingTheSign) {
  struct Case {
    const char* a;
    const char* b;
    int sign;
  };
  const Case cases[] = {
      {"1.10", "1.9", 1},
      {"1.9", "1.10", -1},
      {"1.2", "1.2.0.0", 0},
      {"1.2.3.4.9", "1.2.3.4.1", 0},  // fields beyond the fourth are ignored
      {"2", "10", -1},
      {"1.2a", "1.2b", -1},
      {"1.2", "1.2a", -1},
      {" 1.2", "1.2", -1},  // a leading blank makes the field no number
      // Bytes far apart: the difference (254) must not wrap to a negative byte.
      {"1.x\xFF", "1.x\x01", 1},
      {"1.x\x01", "1.x\xFF", -1},
      {"99999999999999999999", "1", 1},  // too long for a number: by characters
  };
  for (const Case& c : cases) {
    int result = CompareVersions(c.a, c.b);
    EXPECT_EQ((result > 0) - (result < 0), c.sign) << c.a << " vs " << c.b;
  }
}

TEST(AuUtils, ParseHttpDateReadsTheThreeFormsAndZones) {
  const TDateTime expected = UTCToLocalTime(EncodeDate(1994, 11, 6) + EncodeTime(8, 49, 37, 0));
  for (const char* text : {"Sun, 06 Nov 1994 08:49:37 GMT", "Sunday, 06-Nov-94 08:49:37 GMT",
                           "Sun Nov  6 08:49:37 1994", "sun, 06 nov 1994 10:49:37 +0200",
                           "Sun, 06 Nov 1994 03:49:37 -0500"}) {
    EXPECT_NEAR(ParseHTTPDate(text), expected, 1e-6) << text;
  }
  for (const char* text : {"", "   ", "Sun, 31 Feb 1994 08:49:37 GMT", "Sun, 06 Foo 1994 08:49:37 GMT",
                           "garbage", "Sun, 06 Nov 99999 08:49:37 GMT"}) {
    EXPECT_EQ(ParseHTTPDate(text), 0) << text;
  }
}

TEST(AuUtils, PercentOfRoundsHalfToEvenAndWrapsInOneByte) {
  struct Case {
    long double part, whole;
    int expected;
  };
  const Case cases[] = {{50, 100, 50}, {1, 3, 33}, {1, 0, 0}, {1.5L, 100, 2}, {2.5L, 100, 2},
                        {300, 100, 44}, {1, 1e-4000L, 0}, {NAN, 1, 0}};
  for (const Case& c : cases) EXPECT_EQ(PercentOf(c.part, c.whole), c.expected) << c.part << "/" << c.whole;
}

TEST(AuUtils, SplittingRoutines) {
  EXPECT_EQ(LastPos("ab", "xabyab"), 5);
  EXPECT_EQ(LastPos("", "x"), 0);
  EXPECT_EQ(LastPos("abc", "ab"), 0);
  std::string left, right;
  SplitAt("=", "a=b=c", left, right, false, 0);
  EXPECT_EQ(left + "|" + right, "a|b=c");
  SplitAt("=", "a=b", left, right, false, 3);
  EXPECT_EQ(left + "|" + right, "a=|=b");
  SplitAt("=", "abc", left, right, true, 0);
  EXPECT_EQ(left + "|" + right, "|abc");
  std::string text = "head;tail", head;
  SplitOff(text, ";", true, head);
  EXPECT_EQ(head + "|" + text, "head|tail");
  SplitOff(text, ";", true, head);
  EXPECT_EQ(head + "|" + text, "tail|");
  EXPECT_EQ(StripLeadingBackslashes("\\\\a\\b"), "a\\b");
  EXPECT_EQ(URLToFileName("https://host/files/new.dll"), "new.dll");
  EXPECT_EQ(URLToFileName("c:name"), "name");
}

TEST(AuUtils, StringListSplitsItemsAndKeepsItsBound) {
  TauStringList list;
  list.SetDuplicates(dupAccept);
  list.MaxCount = 3;
  for (const char* s : {"1", "2", "3", "4", "5"}) list.Add(s);
  ASSERT_EQ(list.GetCount(), 3);
  EXPECT_EQ(list.Get(0) + list.Get(1) + list.Get(2), "345");

  TauStringList files;
  files.Add("https://h/a?x=1=dest");
  files.Add("https://h/b");
  EXPECT_EQ(files.GetName(0), "https://h/a?x");
  EXPECT_EQ(files.GetValue(0), "1=dest");
  EXPECT_EQ(files.GetName(1), "https://h/b");
  EXPECT_EQ(files.GetValue(1), "");
  files.SetValue(1, "ignored");
  EXPECT_EQ(files.Get(1), "https://h/b");
  files.SeparatorFromEnd = true;
  EXPECT_EQ(files.GetValue(0), "dest");
  files.SetValue(0, "other");
  EXPECT_EQ(files.Get(0), "https://h/a?x=1=other");

  // Equal lines of an unsorted list are found wherever they stand.
  TauStringList unsorted;
  for (const char* s : {"c", "a", "b", "a"}) unsorted.Add(s);
  EXPECT_EQ(unsorted.GetCount(), 3);
  unsorted.SetDuplicates(dupError);
  EXPECT_THROW(unsorted.Add("b"), EStringListError);
}

TEST(AuUtils, ExpandPathMacrosReplacesAnyCaseAndAnchorsRelativePaths) {
  TempFolder temp;
  ScopedEnv tmp("TMPDIR", temp.Path());
  ScopedEnv config("XDG_CONFIG_HOME", temp / "config");
  EXPECT_EQ(ExpandPathMacros("%TEMP%x.txt", false), temp.Path() + "/x.txt");
  EXPECT_EQ(ExpandPathMacros("%appdata%\\sub\\x.ini", true), temp / "config/sub\\x.ini");
  EXPECT_EQ(ExpandPathMacros("files/a.txt", true), ProgramFolder() + "files/a.txt");
  EXPECT_EQ(ExpandPathMacros("/abs/a.txt", true), "/abs/a.txt");
  EXPECT_EQ(GetSpecialFolder(0), ProgramFolder());
  EXPECT_EQ(GetSpecialFolder(12), "");
}

TEST(AuUtils, FileSizesAndFolders) {
  TempFolder temp;
  const std::string big = temp / "big";
  {
    FILE* f = std::fopen(big.c_str(), "wb");
    ASSERT_EQ(ftruncate(fileno(f), (int64_t{1} << 32) + 100), 0);  // sparse, past 32 bits
    std::fclose(f);
  }
  EXPECT_EQ(GetFileSize64(big), (int64_t{1} << 32) + 100);
  EXPECT_EQ(GetFileSize64(temp / "missing"), -1);
  EXPECT_EQ(GetFileSize64(temp.Path()), -1);
  ForceFileDirectories(temp / "a/b/c/file");
  EXPECT_TRUE(std::filesystem::is_directory(temp / "a/b/c"));
}

namespace {
std::string modeOf(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0 ? std::to_string(st.st_mode & 0777) : "none";
}
}  // namespace

TEST(AuUtils, SaveValuesToFileWritesOnlyIntoThePrivateFolder) {
  TempFolder temp;
  ScopedEnv tmp("TMPDIR", temp.Path());
  const std::string folder = UpgraderPrivateFolder();
  ASSERT_EQ(folder, temp / ("vesk-upgrader-" + std::to_string(getuid())) + "/");
  EXPECT_EQ(modeOf(folder), std::to_string(0700));

  TauStringList list;
  list.Add("https://h/new.dll");
  const std::string queue = folder + "UpgraderQueue.txt";
  EXPECT_TRUE(list.SaveValuesToFile(queue));
  EXPECT_FALSE(std::filesystem::exists(queue));  // no value, no file

  list.Add("https://h/a=/opt/x/a");
  list.Add("https://h/b=/opt/x/b");
  // A link left at the staging name is replaced, not followed.
  const std::string victim = temp.Write("victim", "keep");
  ASSERT_EQ(symlink(victim.c_str(), (queue + ".new").c_str()), 0);
  ASSERT_TRUE(list.SaveValuesToFile(queue));
  EXPECT_EQ(ReadAll(queue), "/opt/x/a\r\n/opt/x/b\r\n");
  EXPECT_EQ(modeOf(queue), std::to_string(0600));
  EXPECT_EQ(ReadAll(victim), "keep");

  EXPECT_FALSE(list.SaveValuesToFile(temp / "UpgraderQueue.txt"));  // not the private folder
  EXPECT_FALSE(std::filesystem::exists(temp / "UpgraderQueue.txt"));

  // A folder open to others, or a link in the folder's place, is refused.
  chmod(folder.c_str(), 0777);
  EXPECT_EQ(UpgraderPrivateFolder(), "");
  EXPECT_FALSE(list.SaveValuesToFile(queue));
  std::filesystem::remove_all(folder);
  std::filesystem::create_directory(temp / "elsewhere");
  ASSERT_EQ(symlink((temp / "elsewhere").c_str(), folder.substr(0, folder.size() - 1).c_str()), 0);
  EXPECT_EQ(UpgraderPrivateFolder(), "");
}
