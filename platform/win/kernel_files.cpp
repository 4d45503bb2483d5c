// Sections: folders | attributes | drives | moving and copying | file times
#include "platform/win/kernel_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "platform/rtl/dynlib.h"
#include "platform/rtl/files.h"
#include "platform/win/kernel.h"

namespace fs = std::filesystem;

// ---- folders ----------------------------------------------------------------

namespace {
std::string WithTrailingDelimiter(std::string path) {
  if (path.empty() || path.back() != '/') path += '/';
  return path;
}

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  return home && *home ? home : "/";
}

// $XDG_DATA_HOME (when absolute), else ~/.local/share.
std::string DataHome() {
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data && data[0] == '/') return data;
  return HomeFolder() + "/.local/share";
}

void MakeFolders(const std::string& path) {
  std::error_code ec;
  fs::create_directories(path, ec);
}
}  // namespace

std::string GetModuleFileNameA(HMODULE) { return ExecutableFileName(); }

std::string GetTempPathA() {
  const char* tmp = std::getenv("TMPDIR");
  return WithTrailingDelimiter(tmp && *tmp ? tmp : "/tmp");
}

std::string GetSystemColorFolder() {
  std::string folder = DataHome() + "/icc";
  MakeFolders(folder);
  return folder;
}

std::string GetWindowsDirectoryA() {
  std::string windows = DataHome() + "/vesk/windows";
  std::string drivers = windows + "/system32/spool/drivers";
  std::string color = drivers + "/color";
  std::error_code ec;
  if (!fs::exists(color, ec)) {
    MakeFolders(drivers);
    fs::create_directory_symlink(GetSystemColorFolder(), color, ec);
  }
  return windows;
}

std::string GetSystemDirectoryA() { return GetWindowsDirectoryA() + "/system32"; }

// ---- attributes -------------------------------------------------------------

DWORD GetFileAttributesA(const std::string& fileName) {
  struct stat st {};
  if (fileName.empty() || ::stat(fileName.c_str(), &st) != 0) {
    SetLastErrorFromErrno(fileName.empty() ? ENOENT : errno);
    return INVALID_FILE_ATTRIBUTES;
  }
  DWORD attributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
  if ((st.st_mode & S_IWUSR) == 0) attributes |= FILE_ATTRIBUTE_READONLY;
  std::string name = fs::path(fileName).filename().string();
  if (name.size() > 1 && name[0] == '.' && name != "..") attributes |= FILE_ATTRIBUTE_HIDDEN;
  return attributes;
}

BOOL SetFileAttributesA(const std::string& fileName, DWORD attributes) {
  struct stat st {};
  if (::stat(fileName.c_str(), &st) != 0) return SetLastErrorFromErrno(errno);
  mode_t mode = st.st_mode & 07777;
  if (attributes & FILE_ATTRIBUTE_READONLY) {
    mode &= ~(S_IWUSR | S_IWGRP | S_IWOTH);
  } else {
    mode |= S_IWUSR;
  }
  if (mode != (st.st_mode & 07777) && ::chmod(fileName.c_str(), mode) != 0) return SetLastErrorFromErrno(errno);
  return TRUE;
}

// ---- drives -----------------------------------------------------------------

namespace {
struct MountEntry {
  std::string mountPoint;
  std::string fileSystem;
  std::string options;  // as the mount table writes them: "rw,relatime,..."
};

// Undoes the octal escapes of the mount table ("\\040" for a space).
std::string UnescapeMountField(const std::string& field) {
  std::string out;
  for (size_t i = 0; i < field.size(); ++i) {
    bool octal = field[i] == '\\' && i + 3 < field.size() &&
                 std::all_of(field.begin() + i + 1, field.begin() + i + 4, [](char c) { return c >= '0' && c <= '7'; });
    if (octal) {
      out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0'));
      i += 3;
    } else {
      out += field[i];
    }
  }
  return out;
}

// The type and options of the file system mounted last at a mount point (the
// one that hides the others).
void ReadMountEntry(MountEntry& entry) {
  std::ifstream mounts("/proc/self/mounts");
  std::string line;
  for (int count = 0; count < 100000 && std::getline(mounts, line); ++count) {
    std::istringstream fields(line);
    std::string device, point, fsType, options;
    // Mount points are written with octal escapes ("\040" for a space).
    if (fields >> device >> point >> fsType >> options && UnescapeMountField(point) == entry.mountPoint) {
      entry.fileSystem = fsType;
      entry.options = options;
    }
  }
}

// The mount table's entry that holds an existing path; false when it does not exist.
bool FindMount(const std::string& path, MountEntry& found) {
  std::error_code ec;
  if (path.empty()) return false;
  auto canonical = fs::canonical(path, ec);
  if (ec) return false;
  found.mountPoint = ExtractFileDrive(canonical.string());
  ReadMountEntry(found);
  return !found.mountPoint.empty();
}

struct DriveKind {
  const char* fileSystem;
  UINT type;
};
constexpr DriveKind driveKinds[] = {
    {"nfs", DRIVE_REMOTE},        {"nfs4", DRIVE_REMOTE},     {"cifs", DRIVE_REMOTE},
    {"smb3", DRIVE_REMOTE},       {"smbfs", DRIVE_REMOTE},    {"fuse.sshfs", DRIVE_REMOTE},
    {"9p", DRIVE_REMOTE},         {"afs", DRIVE_REMOTE},      {"tmpfs", DRIVE_RAMDISK},
    {"ramfs", DRIVE_RAMDISK},     {"iso9660", DRIVE_CDROM},   {"udf", DRIVE_CDROM},
    {"vfat", DRIVE_REMOVABLE},    {"exfat", DRIVE_REMOVABLE}, {"proc", DRIVE_UNKNOWN},
    {"sysfs", DRIVE_UNKNOWN},
};

// The features of each kind of file system. Symbolic links count as reparse
// points and POSIX ACLs as persistent ACLs. Kinds not listed answer
// PosixNames.
constexpr DWORD PosixNames = FILE_CASE_SENSITIVE_SEARCH | FILE_CASE_PRESERVED_NAMES | FILE_UNICODE_ON_DISK;
constexpr DWORD PosixFiles = PosixNames | FILE_SUPPORTS_REPARSE_POINTS | FILE_SUPPORTS_SPARSE_FILES;
constexpr DWORD PosixAcls = PosixFiles | FILE_PERSISTENT_ACLS;
struct FileSystemFeatures {
  const char* fileSystem;
  DWORD flags;
};
constexpr FileSystemFeatures fileSystemFeatures[] = {
    {"ext2", PosixAcls},
    {"ext3", PosixAcls},
    {"ext4", PosixAcls},
    {"xfs", PosixAcls},
    {"jfs", PosixAcls},
    {"reiserfs", PosixAcls},
    {"tmpfs", PosixAcls},
    {"nfs4", PosixAcls},
    {"btrfs", PosixAcls | FILE_FILE_COMPRESSION},
    {"f2fs", PosixAcls | FILE_FILE_COMPRESSION},
    {"zfs", PosixAcls | FILE_FILE_COMPRESSION},
    {"ntfs3", PosixFiles | FILE_FILE_COMPRESSION},
    {"ramfs", PosixFiles},
    {"overlay", PosixFiles},
    {"nfs", PosixFiles},
    {"9p", PosixFiles},
    {"squashfs", PosixFiles | FILE_VOLUME_IS_COMPRESSED},
    {"erofs", PosixFiles | FILE_VOLUME_IS_COMPRESSED},
    {"vfat", FILE_CASE_PRESERVED_NAMES | FILE_UNICODE_ON_DISK},
    {"exfat", FILE_CASE_PRESERVED_NAMES | FILE_UNICODE_ON_DISK},
    {"msdos", 0},
};

// Mount options that change the features: the flags each one adds, or
// removes; an option "name=value" counts by its name, and "=no" removes.
struct MountOptionFeature {
  const char* option;
  DWORD flags;
  bool adds;
};
constexpr MountOptionFeature mountOptionFeatures[] = {
    {"ro", FILE_READ_ONLY_VOLUME, true},        {"noacl", FILE_PERSISTENT_ACLS, false},
    {"acl", FILE_PERSISTENT_ACLS, true},        {"quota", FILE_VOLUME_QUOTAS, true},
    {"usrquota", FILE_VOLUME_QUOTAS, true},     {"grpquota", FILE_VOLUME_QUOTAS, true},
    {"prjquota", FILE_VOLUME_QUOTAS, true},     {"usrjquota", FILE_VOLUME_QUOTAS, true},
    {"grpjquota", FILE_VOLUME_QUOTAS, true},    {"uquota", FILE_VOLUME_QUOTAS, true},
    {"gquota", FILE_VOLUME_QUOTAS, true},       {"pquota", FILE_VOLUME_QUOTAS, true},
    {"uqnoenforce", FILE_VOLUME_QUOTAS, true},  {"gqnoenforce", FILE_VOLUME_QUOTAS, true},
    {"pqnoenforce", FILE_VOLUME_QUOTAS, true},  {"qnoenforce", FILE_VOLUME_QUOTAS, true},
    {"compress", FILE_VOLUME_IS_COMPRESSED, true}, {"compress-force", FILE_VOLUME_IS_COMPRESSED, true},
};
}  // namespace

DWORD FileSystemFlagsFor(const std::string& fileSystem, const std::string& mountOptions) {
  DWORD flags = PosixNames;
  for (const auto& kind : fileSystemFeatures) {
    if (fileSystem == kind.fileSystem) flags = kind.flags;
  }
  std::istringstream options(mountOptions);
  std::string option;
  while (std::getline(options, option, ',')) {
    const size_t equals = option.find('=');
    const std::string name = option.substr(0, equals);
    const bool switchedOff = equals != std::string::npos && option.substr(equals + 1) == "no";
    for (const auto& feature : mountOptionFeatures) {
      if (name != feature.option) continue;
      if (feature.adds && !switchedOff)
        flags |= feature.flags;
      else
        flags &= ~feature.flags;
    }
  }
  return flags;
}

std::vector<std::string> GetMountPoints() {
  std::vector<std::string> points;
  std::ifstream mounts("/proc/self/mounts");
  std::string line;
  for (int count = 0; count < 100000 && std::getline(mounts, line); ++count) {
    std::istringstream fields(line);
    std::string device, point;
    if (!(fields >> device >> point)) continue;
    point = UnescapeMountField(point);
    if (std::find(points.begin(), points.end(), point) == points.end()) points.push_back(point);
  }
  return points;
}

std::string MountPointOf(const std::string& path) {
  MountEntry entry;
  return FindMount(path, entry) ? entry.mountPoint : std::string();
}

BOOL GetDiskFreeSpaceExA(const std::string& path, uint64_t* freeToCaller, uint64_t* totalBytes, uint64_t* totalFree) {
  struct statvfs st {};
  if (path.empty()) return SetLastErrorFromErrno(ENOENT);
  if (::statvfs(path.c_str(), &st) != 0) return SetLastErrorFromErrno(errno);
  uint64_t unit = st.f_frsize ? st.f_frsize : st.f_bsize;
  if (freeToCaller) *freeToCaller = uint64_t{st.f_bavail} * unit;
  if (totalBytes) *totalBytes = uint64_t{st.f_blocks} * unit;
  if (totalFree) *totalFree = uint64_t{st.f_bfree} * unit;
  return TRUE;
}

UINT GetDriveTypeA(const std::string& path) {
  MountEntry entry;
  if (!FindMount(path, entry)) return DRIVE_NO_ROOT_DIR;
  for (const auto& kind : driveKinds) {
    if (entry.fileSystem == kind.fileSystem) return kind.type;
  }
  return DRIVE_FIXED;
}

BOOL GetVolumeInformationA(const std::string& rootPath, VolumeInformation& info) {
  MountEntry entry;
  struct statvfs vst {};
  if (!FindMount(rootPath, entry)) return SetLastErrorFromErrno(ENOENT);
  if (::statvfs(entry.mountPoint.c_str(), &vst) != 0) return SetLastErrorFromErrno(errno);
  info = {};
  info.volumeName = entry.mountPoint == "/" ? "/" : fs::path(entry.mountPoint).filename().string();
  info.serialNumber = static_cast<DWORD>(vst.f_fsid);
  info.maximumComponentLength = static_cast<DWORD>(vst.f_namemax);
  info.fileSystemFlags = FileSystemFlagsFor(entry.fileSystem, entry.options);
  if (vst.f_flag & ST_RDONLY) info.fileSystemFlags |= FILE_READ_ONLY_VOLUME;
  info.fileSystemName = entry.fileSystem;
  return TRUE;
}

// ---- moving and copying -----------------------------------------------------

namespace {
bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}
}  // namespace

BOOL MoveFileExA(const std::string& existing, const std::string& target, DWORD flags) {
  if (!Exists(existing)) return SetLastErrorFromErrno(ENOENT);
  if (Exists(target) && !(flags & MOVEFILE_REPLACE_EXISTING)) {
    SetLastError(ERROR_ALREADY_EXISTS);
    return FALSE;
  }
  if (::rename(existing.c_str(), target.c_str()) == 0) return TRUE;
  if (errno != EXDEV || !(flags & MOVEFILE_COPY_ALLOWED)) return SetLastErrorFromErrno(errno);
  if (!CopyFileA(existing, target, FALSE)) return FALSE;
  if (::unlink(existing.c_str()) != 0) return SetLastErrorFromErrno(errno);
  return TRUE;
}

BOOL CopyFileA(const std::string& existing, const std::string& target, BOOL failIfExists) {
  int in = ::open(existing.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return SetLastErrorFromErrno(errno);
  struct stat st {};
  if (::fstat(in, &st) != 0 || S_ISDIR(st.st_mode)) {
    int err = S_ISDIR(st.st_mode) ? EACCES : errno;
    ::close(in);
    return SetLastErrorFromErrno(err);
  }
  struct stat existingTarget {};
  if (::stat(target.c_str(), &existingTarget) == 0 && existingTarget.st_dev == st.st_dev &&
      existingTarget.st_ino == st.st_ino) {
    ::close(in);
    SetLastError(failIfExists ? ERROR_FILE_EXISTS : ERROR_SHARING_VIOLATION);  // never truncate the source
    return FALSE;
  }
  int outFlags = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | (failIfExists ? O_EXCL : 0);
  int out = ::open(target.c_str(), outFlags, st.st_mode & 0777);
  if (out < 0) {
    int err = errno;
    ::close(in);
    if (err == EEXIST) {
      SetLastError(ERROR_FILE_EXISTS);
      return FALSE;
    }
    return SetLastErrorFromErrno(err);
  }
  char buffer[65536];
  int err = 0;
  for (;;) {
    ssize_t got = ::read(in, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      if (got < 0) err = errno;
      break;
    }
    for (ssize_t done = 0; done < got && !err;) {
      ssize_t put = ::write(out, buffer + done, static_cast<size_t>(got - done));
      if (put < 0 && errno != EINTR) err = errno;
      if (put > 0) done += put;
    }
    if (err) break;
  }
  ::fchmod(out, st.st_mode & 0777);
  if (::close(out) != 0 && !err) err = errno;
  ::close(in);
  if (err) return SetLastErrorFromErrno(err);
  return TRUE;
}

BOOL DeleteFileA(const std::string& fileName) {
  struct stat st {};
  if (::lstat(fileName.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return SetLastErrorFromErrno(EACCES);
  if (::unlink(fileName.c_str()) != 0) return SetLastErrorFromErrno(errno);
  return TRUE;
}

// ---- file times -------------------------------------------------------------

namespace {
// Seconds between 1601-01-01 and 1970-01-01.
constexpr int64_t epochDifference = 11644473600LL;

FILETIME FileTimeFrom(const struct timespec& t) {
  uint64_t ticks = static_cast<uint64_t>((t.tv_sec + epochDifference) * 10000000LL + t.tv_nsec / 100);
  return {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

struct timespec TimespecFrom(const FILETIME& f) {
  int64_t ticks = static_cast<int64_t>((uint64_t{f.dwHighDateTime} << 32) | f.dwLowDateTime);
  struct timespec t {};
  t.tv_sec = static_cast<time_t>(ticks / 10000000LL - epochDifference);
  t.tv_nsec = static_cast<long>((ticks % 10000000LL) * 100);
  return t;
}
}  // namespace

BOOL GetFileTime(const std::string& fileName, FILETIME* creation, FILETIME* lastAccess, FILETIME* lastWrite) {
  struct stat st {};
  if (::stat(fileName.c_str(), &st) != 0) return SetLastErrorFromErrno(errno);
  if (creation) *creation = FileTimeFrom(st.st_ctim);
  if (lastAccess) *lastAccess = FileTimeFrom(st.st_atim);
  if (lastWrite) *lastWrite = FileTimeFrom(st.st_mtim);
  return TRUE;
}

BOOL SetFileTime(const std::string& fileName, const FILETIME*, const FILETIME* lastAccess, const FILETIME* lastWrite) {
  struct timespec times[2];
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_nsec = UTIME_OMIT;
  if (lastAccess) times[0] = TimespecFrom(*lastAccess);
  if (lastWrite) times[1] = TimespecFrom(*lastWrite);
  if (::utimensat(AT_FDCWD, fileName.c_str(), times, 0) != 0) return SetLastErrorFromErrno(errno);
  return TRUE;
}
