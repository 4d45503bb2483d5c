#include "platform/win/shell.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <regex>
#include <memory>
#include <thread>

#include "platform/rtl/files.h"
#include "platform/win/kernel.h"
#include "platform/win/kernel_files.h"
#include "tests/platform/win/kernel_test_support.h"

namespace fs = std::filesystem;

namespace {
// Deletes names as the file utilities do: silently, to the trash.
int DeleteToTrash(std::vector<std::string> names, WORD extra = 0) {
  SHFILEOPSTRUCTA op;
  op.wFunc = FO_DELETE;
  op.pFrom = std::move(names);
  op.fFlags = FOF_ALLOWUNDO | FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR | FOF_NOERRORUI | extra;
  return SHFileOperationA(&op);
}

int DeleteForGood(std::vector<std::string> names) {
  SHFILEOPSTRUCTA op;
  op.wFunc = FO_DELETE;
  op.pFrom = std::move(names);
  op.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;
  return SHFileOperationA(&op);
}

// Checks a .trashinfo file: the percent-encoded path and a local deletion
// time within a minute of now.
void ExpectTrashInfo(const std::string& infoFile, const std::string& encodedPath) {
  std::string text = ReadAll(infoFile);
  std::smatch m;
  ASSERT_TRUE(std::regex_match(text, m,
                               std::regex("\\[Trash Info\\]\nPath=(.*)\nDeletionDate=(\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d)\n")))
      << text;
  EXPECT_EQ(m[1].str(), encodedPath);
  struct tm when {};
  ASSERT_NE(strptime(m[2].str().c_str(), "%Y-%m-%dT%H:%M:%S", &when), nullptr);
  when.tm_isdst = -1;
  EXPECT_LT(std::abs(std::difftime(std::mktime(&when), std::time(nullptr))), 60.0);
}

struct TrashFixture : ::testing::Test {
  TempFolder data;
  TempFolder work;
  ScopedEnv dataHome{"XDG_DATA_HOME", data.Path()};
  std::string trash = data / "Trash";
};
}  // namespace

TEST_F(TrashFixture, FileAndFolderMoveIntoTheTrashWithTheirInfo) {
  std::string file = work / "my photo 100%.tif";
  WriteText(file, "pixels");
  fs::create_directories(work / "vesk/sub");
  WriteText(work / "vesk/sub/proc.bat", "@echo off\r\n");
  chmod((work / "vesk/sub/proc.bat").c_str(), 0444);  // read-only items go too

  EXPECT_EQ(DeleteToTrash({file, work / "vesk/"}), 0);

  EXPECT_FALSE(fs::exists(file));
  EXPECT_FALSE(fs::exists(work / "vesk"));
  EXPECT_EQ(ReadAll(trash + "/files/my photo 100%.tif"), "pixels");
  EXPECT_EQ(ReadAll(trash + "/files/vesk/sub/proc.bat"), "@echo off\r\n");
  std::string folder = fs::canonical(fs::path(work.Path())).string();
  ExpectTrashInfo(trash + "/info/my photo 100%.tif.trashinfo", folder + "/my%20photo%20100%25.tif");
  ExpectTrashInfo(trash + "/info/vesk.trashinfo", folder + "/vesk");
}

TEST_F(TrashFixture, NameClashesGetUniqueNames) {
  for (const char* sub : {"a", "b", "c"}) {
    fs::create_directories(work / sub);
    WriteText(work / sub + "/photo.tif", sub);
    ASSERT_EQ(DeleteToTrash({work / sub + "/photo.tif"}), 0);
  }
  std::string folder = fs::canonical(fs::path(work.Path())).string();
  EXPECT_EQ(ReadAll(trash + "/files/photo.tif"), "a");
  EXPECT_EQ(ReadAll(trash + "/files/photo.2.tif"), "b");
  EXPECT_EQ(ReadAll(trash + "/files/photo.3.tif"), "c");
  ExpectTrashInfo(trash + "/info/photo.2.tif.trashinfo", folder + "/b/photo.tif");
  ExpectTrashInfo(trash + "/info/photo.3.tif.trashinfo", folder + "/c/photo.tif");

  // An info file left without its item still blocks its name.
  WriteText(trash + "/info/left.trashinfo", "");
  WriteText(work / "left", "x");
  ASSERT_EQ(DeleteToTrash({work / "left"}), 0);
  EXPECT_EQ(ReadAll(trash + "/files/left.2"), "x");
}

// The folder utilities delete "folder/*.*" first and the folder after it only
// when that succeeded, so an empty folder must answer success.
TEST_F(TrashFixture, WildcardsAndSeveralNames) {
  fs::create_directories(work / "w/inner");
  WriteText(work / "w/a.tif", "");
  WriteText(work / "w/.hidden", "");
  WriteText(work / "w/noext", "");
  EXPECT_EQ(DeleteToTrash({work / "w/*.*"}, FOF_FILESONLY), 0);
  EXPECT_TRUE(fs::exists(work / "w/inner"));
  EXPECT_FALSE(fs::exists(work / "w/noext"));
  EXPECT_FALSE(fs::exists(work / "w/.hidden"));
  EXPECT_EQ(DeleteToTrash({work / "w/*.*"}), 0);
  EXPECT_TRUE(fs::is_empty(work / "w"));
  EXPECT_EQ(DeleteToTrash({work / "w/*.*"}), 0);  // matches nothing
  EXPECT_EQ(DeleteToTrash({work / "w"}), 0);
  EXPECT_FALSE(fs::exists(work / "w"));
  EXPECT_TRUE(fs::exists(trash + "/files/inner"));
}

TEST_F(TrashFixture, ErrorsAreReported) {
  EXPECT_EQ(DeleteToTrash({work / "missing"}), static_cast<int>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(DeleteToTrash({work / "missing/*.*"}), static_cast<int>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(DeleteToTrash({}), static_cast<int>(ERROR_INVALID_PARAMETER));
  fs::create_directories(work / "kept");
  EXPECT_EQ(DeleteForGood({work / "kept/."}), static_cast<int>(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(fs::exists(work / "kept"));
  SHFILEOPSTRUCTA copy;
  copy.wFunc = FO_COPY;
  copy.pFrom = {work.Path()};
  EXPECT_NE(SHFileOperationA(&copy), 0);
}

TEST_F(TrashFixture, PermanentDeleteNeverFollowsLinks) {
  TempFolder outside;
  WriteText(outside / "keep.txt", "keep");
  fs::create_directories(work / "tree/sub");
  fs::create_directory_symlink(fs::path(outside.Path()), work / "tree/sub/link");
  fs::create_symlink(outside / "keep.txt", work / "tree/file-link");
  EXPECT_EQ(DeleteForGood({work / "tree"}), 0);
  EXPECT_FALSE(fs::exists(work / "tree"));
  EXPECT_EQ(ReadAll(outside / "keep.txt"), "keep");
  EXPECT_FALSE(fs::exists(trash + "/files/tree"));
}

// An item on another file system goes to that file system's own trash.
TEST_F(TrashFixture, OtherFileSystemUsesTopdirTrash) {
  struct stat shm {}, tmp {};
  if (::stat("/dev/shm", &shm) != 0 || ::stat(work.Path().c_str(), &tmp) != 0 || shm.st_dev == tmp.st_dev ||
      ::access("/dev/shm", W_OK) != 0) {
    GTEST_SKIP() << "no second writable file system";
  }
  std::string pattern = "/dev/shm/vesk-test-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
  std::unique_ptr<std::string, void (*)(std::string*)> elsewhere(new std::string(pattern), [](std::string* path) {
    fs::remove_all(*path);
    delete path;
  });
  std::string folder = fs::path(*elsewhere).filename().string();
  std::string file = folder + ".icm";  // unique, as the trash is shared
  WriteText(*elsewhere + "/" + file, "icc");
  ASSERT_EQ(DeleteToTrash({*elsewhere + "/" + file}), 0);
  // The top of that file system: /dev/shm itself, or /dev where it is no mount of its own.
  std::string topdir = IncludeTrailingPathDelimiter(MountPointOf(*elsewhere));
  std::string topTrash = topdir + ".Trash-" + std::to_string(::getuid());
  EXPECT_EQ(ReadAll(topTrash + "/files/" + file), "icc");
  std::string relative = (*elsewhere + "/" + file).substr(topdir.size());
  ExpectTrashInfo(topTrash + "/info/" + file + ".trashinfo", relative);
  fs::remove(topTrash + "/files/" + file);
  fs::remove(topTrash + "/info/" + file + ".trashinfo");
}

TEST(ShellFolders, XdgFoldersAndApplicationData) {
  TempFolder home;
  ScopedEnv homeVar("HOME", home.Path());
  ScopedEnv config("XDG_CONFIG_HOME", std::nullopt);
  ScopedEnv pictures("XDG_PICTURES_DIR", std::nullopt);
  ScopedEnv documents("XDG_DOCUMENTS_DIR", std::nullopt);
  std::string path;
  struct Case {
    int id;
    std::string expected;
  } defaults[] = {
      {CSIDL_APPDATA, home / ".config"},
      {CSIDL_PERSONAL, home.Path()},
      {CSIDL_MYPICTURES, home / "Pictures"},
      {CSIDL_DESKTOP, home / "Desktop"},
  };
  for (const auto& c : defaults) {
    EXPECT_EQ(SHGetFolderPathA(nullptr, c.id, nullptr, SHGFP_TYPE_CURRENT, path), S_OK);
    EXPECT_EQ(path, c.expected) << c.id;
  }
  fs::create_directories(home / ".config");
  WriteText(home / ".config/user-dirs.dirs",
            "# written by xdg-user-dirs-update\nXDG_PICTURES_DIR=\"$HOME/Bilder\"\nXDG_DOCUMENTS_DIR=\"/srv/docs/\"\n"
            "XDG_DESKTOP_DIR=relative\n");
  EXPECT_EQ(SHGetFolderPathA(nullptr, CSIDL_MYPICTURES | CSIDL_FLAG_CREATE, nullptr, 0, path), S_OK);
  EXPECT_EQ(path, home / "Bilder");
  EXPECT_TRUE(fs::is_directory(path));
  SHGetFolderPathA(nullptr, CSIDL_PERSONAL, nullptr, 0, path);
  EXPECT_EQ(path, "/srv/docs");
  SHGetFolderPathA(nullptr, CSIDL_DESKTOP, nullptr, 0, path);
  EXPECT_EQ(path, home / "Desktop");  // a malformed line is ignored
  {
    ScopedEnv configHome("XDG_CONFIG_HOME", home / "cfg");
    SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, 0, path);
    EXPECT_EQ(path, home / "cfg");
  }
  EXPECT_EQ(SHGetFolderPathA(nullptr, CSIDL_DRIVES, nullptr, 0, path), E_INVALIDARG);
  EXPECT_EQ(path, "");
}

namespace {
// A fake "xdg-open" and program on PATH that record their arguments.
struct FakeOpener {
  TempFolder bin;
  std::string log = bin / "log";
  ScopedEnv path{"PATH", bin.Path() + ":/usr/bin:/bin"};
  FakeOpener() {
    for (const char* name : {"xdg-open", "browser"}) {
      std::string script = bin / name;
      WriteText(script, std::string("#!/bin/sh\nprintf '") + name + "' >> '" + log +
                            "'\nfor a in \"$@\"; do printf ' [%s]' \"$a\" >> '" + log + "'; done\necho >> '" + log +
                            "'\n");
      fs::permissions(script, fs::perms::owner_all);
    }
  }
  // The log once it holds `lines` lines.
  std::string Wait(size_t lines) {
    for (int i = 0; i < 500; ++i) {
      std::string text = ReadAll(log);
      if (static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) >= lines) return text;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return ReadAll(log);
  }
};

INT_PTR Outcome(HINSTANCE h) { return reinterpret_cast<INT_PTR>(h); }
}  // namespace

TEST(ShellExecute, OpensAddressesDocumentsAndPrograms) {
  FakeOpener fake;
  WriteText(fake.bin / "page.html", "<p>");
  // As the help button does: the program from the registered command, quoted, and the target quoted.
  EXPECT_GT(Outcome(ShellExecuteA(nullptr, "open", "\"browser\"", ("\"" + fake.bin / "page.html" + "\"").c_str(),
                                  nullptr, 5 /* show */)),
            32);
  EXPECT_EQ(fake.Wait(1), "browser [" + fake.bin / "page.html" + "]\n");
  EXPECT_GT(Outcome(ShellExecuteA(nullptr, "open", "https://example.org/a?b=$(id)", nullptr, nullptr, 1 /* show normally */)),
            32);
  std::string log = fake.Wait(2);
  EXPECT_NE(log.find("xdg-open [https://example.org/a?b=$(id)]\n"), std::string::npos) << log;
  EXPECT_GT(Outcome(ShellExecuteA(nullptr, nullptr, (fake.bin / "page.html").c_str(), nullptr, nullptr, 1)), 32);
  log = fake.Wait(3);
  EXPECT_NE(log.find("xdg-open [" + fake.bin / "page.html" + "]\n"), std::string::npos) << log;

  // A document marked executable is still a document.
  WriteText(fake.bin / "marked.html", "<p>");
  fs::permissions(fake.bin / "marked.html", fs::perms::owner_all);
  EXPECT_GT(Outcome(ShellExecuteA(nullptr, "open", (fake.bin / "marked.html").c_str(), nullptr, nullptr, 1)), 32);
  log = fake.Wait(4);
  EXPECT_NE(log.find("xdg-open [" + fake.bin / "marked.html" + "]\n"), std::string::npos) << log;

  EXPECT_EQ(Outcome(ShellExecuteA(nullptr, "open", (fake.bin / "missing.html").c_str(), nullptr, nullptr, 1)),
            SE_ERR_FNF);
  SHELLEXECUTEINFOA info;
  info.fMask = SEE_MASK_INVOKEIDLIST;
  info.lpVerb = "properties";
  info.lpFile = "/";
  EXPECT_EQ(ShellExecuteExA(&info), FALSE);
  EXPECT_EQ(Outcome(info.hInstApp), SE_ERR_NOASSOC);
}

TEST(ShellFileInfo, DisplayAndTypeNames) {
  TempFolder dir;
  WriteText(dir / "shot.tif", "");
  WriteText(dir / "README", "");
  struct Case {
    std::string path;
    DWORD attributes;
    UINT flags;
    std::string display, type;
  } cases[] = {
      {dir / "shot.tif", 0, 0, "shot.tif", "TIF File"},
      {dir / "README", 0, 0, "README", "File"},
      {dir.Path() + "/", 0, 0, fs::path(dir.Path()).filename().string(), "File folder"},
      {"/", 0, 0, "/", "Local Disk"},
      {"/nowhere/x.jpg", FILE_ATTRIBUTE_NORMAL, SHGFI_USEFILEATTRIBUTES, "x.jpg", "JPG File"},
      {"/nowhere/folder", FILE_ATTRIBUTE_DIRECTORY, SHGFI_USEFILEATTRIBUTES, "folder", "File folder"},
  };
  for (const auto& c : cases) {
    SHFILEINFOA info;
    EXPECT_NE(SHGetFileInfoA(c.path, c.attributes, &info, c.flags | SHGFI_DISPLAYNAME | SHGFI_TYPENAME |
                                                              SHGFI_SYSICONINDEX),
              0u)
        << c.path;
    EXPECT_EQ(info.szDisplayName, c.display) << c.path;
    EXPECT_EQ(info.szTypeName, c.type) << c.path;
    EXPECT_EQ(info.hIcon, nullptr);
  }
  SHFILEINFOA info;
  EXPECT_EQ(SHGetFileInfoA(dir / "missing", 0, &info, SHGFI_TYPENAME), 0u);
}
