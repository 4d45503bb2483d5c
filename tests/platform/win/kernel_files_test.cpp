#include "platform/win/kernel_files.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <sys/stat.h>
#include <sys/statvfs.h>

#include "platform/win/kernel.h"
#include "tests/platform/win/kernel_test_support.h"

namespace fs = std::filesystem;

TEST(KernelFolders, TempModuleAndWindowsFolders) {
  {
    ScopedEnv tmp("TMPDIR", "/var/tmp");
    EXPECT_EQ(GetTempPathA(), "/var/tmp/");
  }
  {
    ScopedEnv tmp("TMPDIR", std::nullopt);
    EXPECT_EQ(GetTempPathA(), "/tmp/");
  }
  EXPECT_EQ(GetModuleFileNameA(), fs::read_symlink("/proc/self/exe").string());

  // The Windows way of building the colour folder leads to the XDG one.
  TempFolder data;
  ScopedEnv dataHome("XDG_DATA_HOME", data.Path());
  std::string color = GetWindowsDirectoryA() + "/system32/spool/drivers/color";
  EXPECT_TRUE(fs::is_directory(color));
  EXPECT_EQ(fs::canonical(color), fs::canonical(data / "icc"));
  EXPECT_EQ(GetSystemColorFolder(), data / "icc");
  EXPECT_EQ(GetSystemDirectoryA(), GetWindowsDirectoryA() + "/system32");
}

TEST(KernelFiles, AttributesFollowPermissionsAndNames) {
  TempFolder dir;
  WriteText(dir / "plain.txt", "");
  WriteText(dir / ".hidden", "");
  EXPECT_EQ(GetFileAttributesA(dir.Path()), FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(GetFileAttributesA(dir / "plain.txt"), FILE_ATTRIBUTE_ARCHIVE);
  EXPECT_EQ(GetFileAttributesA(dir / ".hidden"), FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN);
  EXPECT_EQ(GetFileAttributesA(dir / "missing"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

  EXPECT_EQ(SetFileAttributesA(dir / "plain.txt", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN), TRUE);
  EXPECT_EQ(GetFileAttributesA(dir / "plain.txt"), FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(fs::status(dir / "plain.txt").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  // Rewriting a read-only file starts by resetting it to "archive".
  EXPECT_EQ(SetFileAttributesA(dir / "plain.txt", FILE_ATTRIBUTE_ARCHIVE), TRUE);
  EXPECT_EQ(GetFileAttributesA(dir / "plain.txt"), FILE_ATTRIBUTE_ARCHIVE);
  EXPECT_EQ(SetFileAttributesA(dir / "missing", FILE_ATTRIBUTE_NORMAL), FALSE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST(KernelDrives, FreeSpaceAndTypeOfAMountPoint) {
  TempFolder dir;
  std::string mount = MountPointOf(dir.Path());
  ASSERT_FALSE(mount.empty());
  EXPECT_TRUE(dir.Path().rfind(mount == "/" ? "/" : mount + "/", 0) == 0) << mount;
  EXPECT_EQ(MountPointOf("/"), "/");
  EXPECT_EQ(MountPointOf(dir / "missing"), "");

  uint64_t freeToCaller = 0, total = 0, totalFree = 0;
  ASSERT_EQ(GetDiskFreeSpaceExA(mount, &freeToCaller, &total, &totalFree), TRUE);
  struct statvfs st {};
  ASSERT_EQ(::statvfs(dir.Path().c_str(), &st), 0);
  EXPECT_EQ(total, uint64_t{st.f_blocks} * st.f_frsize);
  EXPECT_GT(total, 0u);
  EXPECT_LE(freeToCaller, totalFree);
  EXPECT_LE(totalFree, total);

  UINT type = GetDriveTypeA(mount);
  EXPECT_NE(type, DRIVE_NO_ROOT_DIR);
  EXPECT_NE(type, DRIVE_UNKNOWN);
  EXPECT_EQ(GetDriveTypeA("/proc"), DRIVE_UNKNOWN);
  if (MountPointOf("/dev/shm") == "/dev/shm") {
    EXPECT_EQ(GetDriveTypeA("/dev/shm"), DRIVE_RAMDISK);
  }

  VolumeInformation volume;
  ASSERT_EQ(GetVolumeInformationA(mount, volume), TRUE);
  EXPECT_FALSE(volume.fileSystemName.empty());
  EXPECT_GT(volume.maximumComponentLength, 0u);
  EXPECT_TRUE(volume.fileSystemFlags & FILE_CASE_SENSITIVE_SEARCH);
}

TEST(KernelDrives, FeatureFlagsFollowKindAndMountOptions) {
  constexpr DWORD names = FILE_CASE_SENSITIVE_SEARCH | FILE_CASE_PRESERVED_NAMES | FILE_UNICODE_ON_DISK;
  constexpr DWORD posix = names | FILE_SUPPORTS_REPARSE_POINTS | FILE_SUPPORTS_SPARSE_FILES;
  struct Case {
    const char* fileSystem;
    const char* options;
    DWORD flags;
  };
  const Case cases[] = {
      {"ext4", "rw,relatime", posix | FILE_PERSISTENT_ACLS},
      {"ext4", "ro,noacl,usrquota,grpjquota=aquota.group", posix | FILE_READ_ONLY_VOLUME | FILE_VOLUME_QUOTAS},
      {"xfs", "rw,pquota", posix | FILE_PERSISTENT_ACLS | FILE_VOLUME_QUOTAS},
      {"btrfs", "rw,compress=zstd:3", posix | FILE_PERSISTENT_ACLS | FILE_FILE_COMPRESSION | FILE_VOLUME_IS_COMPRESSED},
      {"btrfs", "rw,compress=no", posix | FILE_PERSISTENT_ACLS | FILE_FILE_COMPRESSION},
      {"squashfs", "ro", posix | FILE_VOLUME_IS_COMPRESSED | FILE_READ_ONLY_VOLUME},
      {"vfat", "rw,fmask=0022", FILE_CASE_PRESERVED_NAMES | FILE_UNICODE_ON_DISK},
      {"msdos", "rw", 0},
      {"fuse.unknown", "rw", names},
      {"overlay", "rw,lowerdir=/a,upperdir=/b", posix},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FileSystemFlagsFor(c.fileSystem, c.options), c.flags) << c.fileSystem << " " << c.options;
}

TEST(KernelDrives, MountPointsOnceInTableOrder) {
  TempFolder dir;
  const std::vector<std::string> points = GetMountPoints();
  ASSERT_FALSE(points.empty());
  EXPECT_NE(std::find(points.begin(), points.end(), "/"), points.end());
  EXPECT_NE(std::find(points.begin(), points.end(), MountPointOf(dir.Path())), points.end());
  std::vector<std::string> sorted = points;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end()) << "a mount point listed twice";
}

TEST(KernelDrives, MissingPathHasNoRoot) {
  TempFolder dir;
  uint64_t freeToCaller = 7;
  EXPECT_EQ(GetDriveTypeA(dir / "no/such/folder"), DRIVE_NO_ROOT_DIR);
  EXPECT_EQ(GetDriveTypeA(""), DRIVE_NO_ROOT_DIR);
  EXPECT_EQ(GetDiskFreeSpaceExA(dir / "no/such/folder", &freeToCaller, nullptr, nullptr), FALSE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  VolumeInformation volume;
  EXPECT_EQ(GetVolumeInformationA(dir / "no/such/folder", volume), FALSE);
}

TEST(KernelFiles, MoveCopyAndDelete) {
  TempFolder dir;
  WriteText(dir / "a", "first");
  WriteText(dir / "b", "second");
  EXPECT_EQ(MoveFileExA(dir / "a", dir / "b", 0), FALSE);
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_EQ(ReadAll(dir / "b"), "second");
  EXPECT_EQ(MoveFileExA(dir / "a", dir / "b", MOVEFILE_REPLACE_EXISTING), TRUE);
  EXPECT_EQ(ReadAll(dir / "b"), "first");
  EXPECT_FALSE(fs::exists(dir / "a"));
  EXPECT_EQ(MoveFileA(dir / "a", dir / "c"), FALSE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

  std::string big(200000, 'x');
  WriteText(dir / "big", big);
  EXPECT_EQ(CopyFileA(dir / "big", dir / "copy", TRUE), TRUE);
  EXPECT_EQ(ReadAll(dir / "copy"), big);
  EXPECT_EQ(CopyFileA(dir / "b", dir / "copy", TRUE), FALSE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
  EXPECT_EQ(ReadAll(dir / "copy"), big);
  EXPECT_EQ(CopyFileA(dir / "b", dir / "copy", FALSE), TRUE);
  EXPECT_EQ(ReadAll(dir / "copy"), "first");
  // A copy onto itself (here through a link) must not truncate the file.
  fs::create_symlink(dir / "copy", dir / "same");
  EXPECT_EQ(CopyFileA(dir / "copy", dir / "same", FALSE), FALSE);
  EXPECT_EQ(ReadAll(dir / "copy"), "first");
  EXPECT_EQ(CopyFileA(dir / "none", dir / "x", FALSE), FALSE);
  EXPECT_FALSE(fs::exists(dir / "x"));

  EXPECT_EQ(DeleteFileA(dir / "copy"), TRUE);
  EXPECT_EQ(DeleteFileA(dir / "copy"), FALSE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(DeleteFileA(dir.Path()), FALSE);
  EXPECT_TRUE(fs::exists(fs::path(dir.Path())));
}

TEST(KernelFiles, FileTimesRoundTrip) {
  TempFolder dir;
  WriteText(dir / "f", "");
  // 2020-01-02 03:04:05.5 UTC in 100 ns ticks since 1601.
  uint64_t ticks = (1577934245ULL + 11644473600ULL) * 10000000ULL + 5000000ULL;
  FILETIME when{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  FILETIME access{};
  ASSERT_EQ(GetFileTime(dir / "f", nullptr, &access, nullptr), TRUE);
  EXPECT_EQ(SetFileTime(dir / "f", nullptr, nullptr, &when), TRUE);
  FILETIME access2{}, write2{};
  ASSERT_EQ(GetFileTime(dir / "f", nullptr, &access2, &write2), TRUE);
  EXPECT_EQ(write2, when);
  EXPECT_EQ(access2, access);  // a null time stays unchanged
  struct stat st {};
  ::stat((dir / "f").c_str(), &st);
  EXPECT_EQ(st.st_mtim.tv_sec, 1577934245);
  EXPECT_EQ(SetFileTime(dir / "none", nullptr, &when, &when), FALSE);
}
