#include "services/supfileutils.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "services/supshell.h"
#include "tests/services/test_folder.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> Sorted(std::vector<std::string> names) {
  std::sort(names.begin(), names.end());
  return names;
}

// A tree with the entries a deletion must cope with: nested folders, a
// read-only file, a read-only folder, a hidden file, and links to a file and
// a folder outside the tree.
struct Tree {
  explicit Tree(const TempFolder& t) : root(t / "tree"), outside(t / "outside") {
    WriteBelow(t, "tree/photo.tif");
    WriteBelow(t, "tree/.hidden");
    WriteBelow(t, "tree/sub/deeper/file.ti3");
    WriteBelow(t, "tree/locked/inside.txt");
    WriteBelow(t, "tree/readonly.txt");
    WriteBelow(t, "outside/keep.txt", "keep");
    fs::permissions(root + "/readonly.txt", fs::perms::owner_read);
    fs::permissions(root + "/locked", fs::perms::owner_read | fs::perms::owner_exec);
    fs::create_directory_symlink(outside, root + "/link-to-folder");
    fs::create_symlink(outside + "/keep.txt", root + "/link-to-file");
  }
  ~Tree() {
    // Lets the temporary folder go when a test left the tree behind.
    std::error_code ec;
    fs::permissions(root + "/locked", fs::perms::owner_all, fs::perm_options::add, ec);
  }
  std::string root, outside;
};

}  // namespace

TEST(SupFileUtils, ExistenceTests) {
  TempFolder t;
  const std::string file = WriteBelow(t, "a.txt");
  fs::create_directory(t / "dir");
  fs::create_symlink(file, t / "file-link");
  fs::create_directory_symlink(t / "dir", t / "dir-link");
  struct Case {
    std::string path;
    bool isFile, isDirectory;
  };
  const Case cases[] = {
      {file, true, false},           {t / "dir", false, true},       {t / "missing", false, false},
      {"", false, false},            {t / "file-link", true, false}, {t / "dir-link", false, true},
      {t / "dir/", false, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsExistingFile(c.path), c.isFile) << c.path;
    EXPECT_EQ(IsExistingDirectory(c.path), c.isDirectory) << c.path;
  }
}

TEST(SupFileUtils, FileMasks) {
  struct Case {
    const char* name;
    const char* mask;
    bool caseSensitive, matches;
  };
  const Case cases[] = {
      {"readme", "*.", false, true},        {"readme.txt", "*.", false, false},
      {"photo.tif", "*.TIF", false, true},  {"photo.tif", "*.TIF", true, false},
      {"photo.tif", "", true, true},        {"photo", "*.*", true, true},
      {"abb.x", "*?b.x", false, true},      {"photo.tiff", "*.tif", false, false},
      {"photo.tif", "p?oto.*", true, true}, {".hidden", "*", true, true},
      {"größe.tif", "GRÖSSE.*", false, false}, {"größe.tif", "GRÖßE.*", false, true},
      {"größe.tif", "GRÖßE.*", true, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(MatchesFileMask(c.name, c.mask, c.caseSensitive), c.matches) << c.name << " ~ " << c.mask;
}

TEST(SupFileUtils, ListerFiltersByMaskAndAttributes) {
  TempFolder t;
  Tree tree(t);
  std::vector<std::string> names;
  ASSERT_TRUE(ListFolderEntries(tree.root + "/*.tif;*.TXT", SUP_ANY_ENTRY, names));
  EXPECT_EQ(Sorted(names), (std::vector<std::string>{"photo.tif", "readonly.txt"}));

  names.clear();
  ASSERT_TRUE(ListFolderEntries(tree.root + "/*", SUP_FILE_ATTRIBUTE_ARCHIVE | SUP_FILE_ATTRIBUTE_READONLY, names));
  EXPECT_EQ(Sorted(names), (std::vector<std::string>{"link-to-file", "link-to-folder", "photo.tif", "readonly.txt"}));

  names.clear();
  ASSERT_TRUE(ListFolderEntries(tree.root + "/*", SUP_FILE_ATTRIBUTE_DIRECTORY | SUP_FILE_ATTRIBUTE_READONLY, names));
  EXPECT_EQ(Sorted(names), (std::vector<std::string>{"locked", "sub"}));

  names.clear();
  EXPECT_TRUE(ListFolderEntries(tree.root + "/", SUP_ANY_ENTRY, names));
  EXPECT_TRUE(names.empty()) << "no mask, no names";
  EXPECT_FALSE(ListFolderEntries(t / "missing/*", SUP_ANY_ENTRY, names));
}

TEST(SupFileUtils, RecursiveDeletionRemovesLinksWithoutFollowingThem) {
  TempFolder t;
  Tree tree(t);
  EXPECT_TRUE(DeleteDirectoryTree(tree.root, false));
  EXPECT_FALSE(fs::exists(fs::symlink_status(tree.root)));
  EXPECT_EQ(ReadAll(tree.outside + "/keep.txt"), "keep");
}

TEST(SupFileUtils, RecursiveDeletionKeepsWhatItMayNotDelete) {
  TempFolder t;
  Tree tree(t);
  std::vector<std::string> asked;
  auto refuseTif = [&](const std::string& name, uint32_t attributes) {
    asked.push_back(fs::path(name).filename().string());
    EXPECT_NE(attributes, SUP_INVALID_FILE_ATTRIBUTES);
    return fs::path(name).extension() != ".tif";
  };
  EXPECT_FALSE(DeleteFolderRecursive(tree.root + "/", false, refuseTif));
  EXPECT_TRUE(fs::exists(tree.root + "/photo.tif"));
  EXPECT_FALSE(fs::exists(tree.root + "/sub"));
  EXPECT_FALSE(fs::exists(tree.root + "/readonly.txt"));
  EXPECT_EQ(Sorted(asked), (std::vector<std::string>{".hidden", "file.ti3", "inside.txt", "link-to-file",
                                                      "link-to-folder", "photo.tif", "readonly.txt"}));

  // Stopping at the first failure leaves at least the refused file behind.
  EXPECT_FALSE(DeleteFolderRecursive(tree.root, true, [](const std::string&, uint32_t) { return false; }));
  EXPECT_TRUE(fs::exists(tree.root + "/photo.tif"));
}

TEST(SupFileUtils, RecursiveDeletionRefusesWhatIsNoFolder) {
  TempFolder t;
  Tree tree(t);
  fs::create_directory_symlink(tree.root, t / "tree-link");
  EXPECT_FALSE(DeleteFolderRecursive(t / "tree-link"));
  EXPECT_TRUE(fs::exists(tree.root + "/photo.tif"));
  EXPECT_FALSE(DeleteFolderRecursive(tree.root + "/photo.tif"));
  EXPECT_FALSE(DeleteFolderRecursive(""));
  EXPECT_FALSE(DeleteFolderRecursive(t / "missing"));
}

TEST(SupFileUtils, DeletionToTheTrash) {
  TempFolder t;
  ScopedEnv dataHome("XDG_DATA_HOME", t / "data");
  Tree tree(t);
  EXPECT_TRUE(DeleteDirectoryTree(tree.root, true));
  EXPECT_FALSE(fs::exists(fs::symlink_status(tree.root)));
  EXPECT_EQ(ReadAll(tree.outside + "/keep.txt"), "keep");
  const std::string trash = t / "data/Trash";
  EXPECT_EQ(ReadAll(trash + "/files/photo.tif"), "data");
  EXPECT_TRUE(fs::exists(trash + "/files/sub/deeper/file.ti3"));
  EXPECT_TRUE(fs::exists(trash + "/info/photo.tif.trashinfo"));
  EXPECT_TRUE(fs::is_symlink(trash + "/files/link-to-folder"));

  EXPECT_FALSE(DeleteDirectoryTree("", true));
  EXPECT_EQ(ShellDeleteFlags({sdSilent, sdAllowUndo}), 0x0654);
  EXPECT_EQ(ShellDeleteFlags({sdFilesOnly}), 0x0080);
  EXPECT_EQ(ShellDeleteFlags({}), 0);
}

TEST(SupFileUtils, ModulePathAndVersionRecord) {
  const std::string program = ModuleFileName(nullptr);
  EXPECT_EQ(program, fs::read_symlink("/proc/self/exe").string());

  VS_FIXEDFILEINFO info;
  ASSERT_TRUE(ReadFixedVersionInfo(program, info));
  EXPECT_EQ(info.dwSignature, VS_FFI_SIGNATURE);
  EXPECT_EQ(info.dwFileType, VFT_APP);

  TempFolder t;
  VS_FIXEDFILEINFO untouched;
  untouched.dwFileVersionMS = 0x00010002;
  for (const std::string& name : {WriteBelow(t, "plain.dll"), t / "missing.exe"}) {
    VS_FIXEDFILEINFO record = untouched;
    EXPECT_FALSE(ReadFixedVersionInfo(name, record)) << name;
    EXPECT_EQ(record.dwFileVersionMS, untouched.dwFileVersionMS);
    EXPECT_EQ(record.dwSignature, 0u);
  }
}

TEST(SupFileUtils, ZeroMemoryBlockFillsExactlyTheBlock) {
  uint8_t bytes[6] = {1, 2, 3, 4, 5, 6};
  ZeroMemoryBlock(bytes + 1, 4);
  EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + 6), (std::vector<uint8_t>{1, 0, 0, 0, 0, 6}));
  ZeroMemoryBlock(bytes, 0);
  ZeroMemoryBlock(nullptr, 4);
  EXPECT_EQ(bytes[0], 1);
}
