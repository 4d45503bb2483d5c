#include "platform/rtl/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <set>

#include "tests/platform/rtl/temp_folder.h"

namespace {

TEST(PathParts, SplitsNamesAsCallersExpect) {
  struct Case {
    const char* name;
    const char* path;
    const char* dir;
    const char* file;
    const char* ext;
  };
  const Case cases[] = {
      {"/home/u/photo.jpg", "/home/u/", "/home/u", "photo.jpg", ".jpg"},
      {"/home/u.d/README", "/home/u.d/", "/home/u.d", "README", ""},  // dot in a folder name
      {"/a/b.tar.gz", "/a/", "/a", "b.tar.gz", ".gz"},
      {"/photo.jpg", "/", "/", "photo.jpg", ".jpg"},
      {"/home/u/", "/home/u/", "/home/u", "", ""},
      {"name.", "", "", "name.", "."},
      {"plain", "", "", "plain", ""},
      {"", "", "", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ExtractFilePath(c.name), c.path);
    EXPECT_EQ(ExtractFileDir(c.name), c.dir);
    EXPECT_EQ(ExtractFileName(c.name), c.file);
    EXPECT_EQ(ExtractFileExt(c.name), c.ext);
  }
}

TEST(PathParts, ChangeFileExtReplacesOnlyTheNamesExtension) {
  EXPECT_EQ(ChangeFileExt("/w/photo.jpg", ".ti3"), "/w/photo.ti3");
  EXPECT_EQ(ChangeFileExt("/w/photo.jpg", ""), "/w/photo");
  EXPECT_EQ(ChangeFileExt("/w.d/photo", ".icm"), "/w.d/photo.icm");
  EXPECT_EQ(ChangeFileExt("dcrawlib.dll", ".so"), "dcrawlib.so");
}

TEST(PathParts, TrailingDelimiter) {
  EXPECT_EQ(IncludeTrailingPathDelimiter("/tmp"), "/tmp/");
  EXPECT_EQ(IncludeTrailingPathDelimiter("/tmp/"), "/tmp/");
  EXPECT_EQ(IncludeTrailingPathDelimiter(""), "");
  EXPECT_EQ(ExcludeTrailingPathDelimiter("/tmp//"), "/tmp");
  EXPECT_EQ(ExcludeTrailingPathDelimiter("/"), "/");
  EXPECT_EQ(ExcludeTrailingPathDelimiter("tmp"), "tmp");
}

TEST(PathParts, ExpandFileNameFoldsWithoutResolvingLinks) {
  const std::pair<const char*, const char*> cases[] = {
      {"/a/./b/../c", "/a/c"},       {"//a///b", "/a/b"},   {"/a/b/", "/a/b/"},
      {"/../..", "/"},                {"/a/b/..", "/a/"},   {"/", "/"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(ExpandFileName(in), out) << in;

  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  EXPECT_EQ(ExpandFileName("x/../y.txt"), IncludeTrailingPathDelimiter(cwd) + "y.txt");

  // A symbolic link stays in the name.
  TempFolder temp;
  ASSERT_EQ(symlink("/usr", (temp / "link").c_str()), 0);
  EXPECT_EQ(ExpandFileName(temp / "link/./bin"), temp / "link/bin");
}

TEST(PathParts, DriveIsTheLongestMountPointAboveThePath) {
  // /proc is a mount point wherever /proc/self/mountinfo can be read.
  EXPECT_EQ(ExtractFileDrive("/proc/self/status"), "/proc");
  EXPECT_EQ(ExtractFileDrive("/proc/not/yet/there.txt"), "/proc");
  EXPECT_EQ(ExtractFileDrive("/proc"), "/proc");
  // A name that only starts like a mount point lies on its parent's.
  EXPECT_NE(ExtractFileDrive("/procx/file"), "/proc");
  EXPECT_EQ(ExtractFileDrive("/proc/../procx"), ExtractFileDrive("/procx"));
  EXPECT_EQ(ExtractFileDrive("relative/name"), "");
  EXPECT_EQ(ExtractFileDrive(""), "");
}

TEST(Folders, ExistenceCreationAndRemoval) {
  TempFolder temp;
  const std::string file = temp.Write("f.txt", "x");
  EXPECT_TRUE(FileExists(file));
  EXPECT_FALSE(DirectoryExists(file));
  EXPECT_FALSE(FileExists(temp.Path()));
  EXPECT_TRUE(DirectoryExists(temp.Path()));
  EXPECT_FALSE(FileExists(temp / "missing"));
  EXPECT_FALSE(FileExists(""));

  const std::string deep = temp / "a/b/c/";
  EXPECT_TRUE(ForceDirectories(deep));
  EXPECT_TRUE(DirectoryExists(deep));
  EXPECT_TRUE(ForceDirectories(deep));  // existing: still true
  EXPECT_FALSE(ForceDirectories(file + "/sub"));  // a file is in the way

  EXPECT_FALSE(CreateDir(temp / "a"));  // exists
  EXPECT_FALSE(RemoveDir(temp / "a"));  // not empty
  EXPECT_TRUE(RemoveDir(temp / "a/b/c"));
  EXPECT_FALSE(DirectoryExists(temp / "a/b/c"));
}

TEST(Folders, MkDirAndRmDirReportCodesThroughIOResultOnce) {
  TempFolder temp;
  IOResult();  // start clean
  MkDir(temp / "d");
  EXPECT_EQ(IOResult(), 0);
  MkDir(temp / "d");
  EXPECT_EQ(IOResult(), EEXIST);
  EXPECT_EQ(IOResult(), 0);  // read once
  MkDir(temp / "missing/d");
  EXPECT_EQ(IOResult(), ENOENT);
  RmDir(temp / "d");
  EXPECT_EQ(IOResult(), 0);
  EXPECT_FALSE(DirectoryExists(temp / "d"));
  RmDir(temp / "d");
  EXPECT_EQ(IOResult(), ENOENT);
}

TEST(Files, RenameSizeAndAge) {
  TempFolder temp;
  const std::string a = temp.Write("a.txt", "12345");
  const std::string b = temp.Write("b.txt", "old");
  EXPECT_EQ(FileSize64(a), 5);
  EXPECT_EQ(FileSize64(temp / "missing"), -1);
  EXPECT_EQ(FileSize64(temp.Path()), -1);

  EXPECT_TRUE(RenameFile(a, b));  // replaces the destination
  EXPECT_FALSE(FileExists(a));
  EXPECT_EQ(ReadAll(b), "12345");
  EXPECT_FALSE(RenameFile(a, b));


  // A file beyond 4 GB reports its full size.
  const std::string big = temp.Write("big", "");
  ASSERT_EQ(truncate(big.c_str(), int64_t{5} << 30), 0);
  EXPECT_EQ(FileSize64(big), int64_t{5} << 30);

  const std::string c = temp.Write("c.txt", "x");
  TDateTime age = 0;
  ASSERT_TRUE(FileAge(c, age));
  EXPECT_NEAR(age, Now(), 5.0 / SecsPerDay);
  EXPECT_NEAR(FileDateToDateTime(FileAge(c)), age, 2.01 / SecsPerDay);
  EXPECT_EQ(FileAge(temp / "missing"), -1);
}

TEST(Masks, MatchLikeTheOriginalPlatform) {
  struct Case {
    const char* name;
    const char* mask;
    bool match;
  };
  const Case cases[] = {
      {"photo.JPG", "*.jpg", true},   {"photo.jpeg", "*.jpg", false}, {"README", "*.*", true},
      {"a.b.c", "*.*", true},         {"vesk.de.lng", "vesk.*.*", true}, {"vesk", "vesk.*", true},
      {"vesk.txt", "vesk.*", true},   {"veskx", "vesk.*", false},     {"x.de.lng", "*.de.lng", true},
      {"x.en.lng", "*.de.lng", false}, {"abc", "a?c", true},           {"ac", "a?c", false},
      {"README", "*.", true},     {"a.txt", "*.", false},         {"Makefile", "m*E", true},
      {"", "*", true},                {"abc", "", false},             {"aaaaaaaaaaaaaaaaaaaaab", "*a*a*a*a*a*c", false},
  };
  for (const Case& c : cases) EXPECT_EQ(MatchesMask(c.name, c.mask), c.match) << c.name << " ~ " << c.mask;
}

std::set<std::string> FindAll(const std::string& pattern, int32_t attr) {
  std::set<std::string> names;
  TSearchRec rec;
  for (int32_t code = FindFirst(pattern, attr, rec); code == 0; code = FindNext(rec)) names.insert(rec.Name);
  FindClose(rec);
  return names;
}

TEST(DirectorySearch, FiltersByMaskAndAttributes) {
  TempFolder temp;
  temp.Write("a.txt", "aaa");
  temp.Write("B.TXT", "b");
  temp.Write(".hidden.txt", "h");
  temp.Write("noext", "");
  ASSERT_TRUE(CreateDir(temp / "sub.txt"));

  using Names = std::set<std::string>;
  EXPECT_EQ(FindAll(temp / "*.txt", 0), (Names{"a.txt", "B.TXT"}));
  EXPECT_EQ(FindAll(temp / "*.txt", faDirectory), (Names{"a.txt", "B.TXT", "sub.txt"}));
  EXPECT_EQ(FindAll(temp / "*.txt", faHidden), (Names{"a.txt", "B.TXT", ".hidden.txt"}));
  EXPECT_EQ(FindAll(temp / "*.*", faAnyFile),
            (Names{".", "..", "a.txt", "B.TXT", ".hidden.txt", "noext", "sub.txt"}));
  EXPECT_EQ(FindAll(temp / "a.TXT", 0), (Names{"a.txt"}));  // no wildcard: one name
  EXPECT_TRUE(FindAll(temp / "*.png", faAnyFile).empty());
}

TEST(DirectorySearch, ReportsSizeTimeAndAttributes) {
  TempFolder temp;
  const std::string file = temp.Write("data.bin", std::string(1000, 'x'));
  ASSERT_EQ(chmod(file.c_str(), 0444), 0);
  ASSERT_TRUE(CreateDir(temp / ".cache"));

  TSearchRec rec;
  ASSERT_EQ(FindFirst(temp / "data.bin", faAnyFile, rec), 0);
  EXPECT_EQ(rec.Name, "data.bin");
  EXPECT_EQ(rec.Size, 1000);
  EXPECT_EQ(rec.Attr, faArchive | faReadOnly);
  EXPECT_EQ(rec.Time, FileAge(file));
  EXPECT_NE(FindNext(rec), 0);
  FindClose(rec);

  ASSERT_EQ(FindFirst(temp / ".cache", faAnyFile, rec), 0);
  EXPECT_EQ(rec.Attr & (faDirectory | faHidden), faDirectory | faHidden);
}

TEST(DirectorySearch, FailsCleanlyForMissingFolderOrName) {
  TempFolder temp;
  TSearchRec rec;
  EXPECT_EQ(FindFirst(temp / "missing/*", faAnyFile, rec), ENOENT);
  EXPECT_EQ(FindFirst(temp / "nothing.txt", faAnyFile, rec), ENOENT);
  EXPECT_EQ(FindFirst(temp.Path() + "/", faAnyFile, rec), ENOENT);
  EXPECT_NE(FindNext(rec), 0);  // a failed search has nothing more to give
}

TEST(TempFiles, AreCreatedExclusivelyAndPrivately) {
  TempFolder temp;
  std::set<std::string> names;
  for (int i = 0; i < 20; ++i) {
    std::string name;
    const int fd = CreateTempFile(temp.Path(), "buf_", name);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(ExtractFilePath(name), temp / "");
    EXPECT_EQ(ExtractFileName(name).rfind("buf_", 0), 0u);
    struct stat st{};
    ASSERT_EQ(fstat(fd, &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(write(fd, "x", 1), 1);
    close(fd);
    names.insert(name);
  }
  EXPECT_EQ(names.size(), 20u);

  std::string name;
  EXPECT_EQ(CreateTempFile(temp / "missing", "buf_", name), -1);
  EXPECT_EQ(errno, ENOENT);
}

}  // namespace
