// Files and folders the Windows way: well-known folders, attributes, drive
// questions (a "drive" is the mount point holding a path), moving, copying
// and file times.
//
// Sections: folders | attributes | drives | moving and copying | file times
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/win/wintypes.h"

constexpr DWORD MAX_PATH = 260;

// ---- folders ----------------------------------------------------------------

// Full path of the running executable (module null or the program's own).
std::string GetModuleFileNameA(HMODULE module = nullptr);
// $TMPDIR, else "/tmp/", always with a trailing delimiter.
std::string GetTempPathA();
// The folder that stands for the Windows folder: its "system32/spool/drivers/color"
// leads to the system colour folder, so paths built the Windows way work.
// Created on first use; no trailing delimiter.
std::string GetWindowsDirectoryA();
// The Windows folder + "/system32".
std::string GetSystemDirectoryA();
inline std::string GetWindowsDirectory() { return GetWindowsDirectoryA(); }
inline std::string GetSystemDirectory() { return GetSystemDirectoryA(); }
// $XDG_DATA_HOME/icc, else ~/.local/share/icc; created on first use.
std::string GetSystemColorFolder();

// ---- attributes -------------------------------------------------------------

constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x0001;
constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x0002;
constexpr DWORD FILE_ATTRIBUTE_SYSTEM = 0x0004;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x0010;
constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x0020;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x0080;
constexpr DWORD FILE_ATTRIBUTE_TEMPORARY = 0x0100;
constexpr DWORD FILE_ATTRIBUTE_OFFLINE = 0x1000;
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;

// Directory, read-only (no write permission for the owner), hidden (name
// starts with "."), else archive for files. INVALID_FILE_ATTRIBUTES with the
// last error set when the name does not exist.
DWORD GetFileAttributesA(const std::string& fileName);
inline DWORD GetFileAttributes(const std::string& fileName) { return GetFileAttributesA(fileName); }
inline DWORD GetFileAttributesW(const std::string& fileName) { return GetFileAttributesA(fileName); }
// Read-only clears the write permissions, its absence gives the owner write
// permission back; the other attributes have no counterpart and are ignored.
BOOL SetFileAttributesA(const std::string& fileName, DWORD attributes);

// ---- drives -----------------------------------------------------------------

constexpr UINT DRIVE_UNKNOWN = 0;
constexpr UINT DRIVE_NO_ROOT_DIR = 1;
constexpr UINT DRIVE_REMOVABLE = 2;
constexpr UINT DRIVE_FIXED = 3;
constexpr UINT DRIVE_REMOTE = 4;
constexpr UINT DRIVE_CDROM = 5;
constexpr UINT DRIVE_RAMDISK = 6;

constexpr DWORD FILE_CASE_SENSITIVE_SEARCH = 0x00000001;
constexpr DWORD FILE_CASE_PRESERVED_NAMES = 0x00000002;
constexpr DWORD FILE_UNICODE_ON_DISK = 0x00000004;
constexpr DWORD FILE_PERSISTENT_ACLS = 0x00000008;
constexpr DWORD FILE_FILE_COMPRESSION = 0x00000010;
constexpr DWORD FILE_VOLUME_QUOTAS = 0x00000020;
constexpr DWORD FILE_SUPPORTS_SPARSE_FILES = 0x00000040;
constexpr DWORD FILE_SUPPORTS_REPARSE_POINTS = 0x00000080;
constexpr DWORD FILE_VOLUME_IS_COMPRESSED = 0x00008000;
constexpr DWORD FILE_SUPPORTS_OBJECT_IDS = 0x00010000;
constexpr DWORD FILE_SUPPORTS_ENCRYPTION = 0x00020000;
constexpr DWORD FILE_NAMED_STREAMS = 0x00040000;
constexpr DWORD FILE_READ_ONLY_VOLUME = 0x00080000;

// Every mount point once, in the order of the mount table.
std::vector<std::string> GetMountPoints();
// The mount point that holds an existing path ("/", "/home"...); empty when
// the path does not exist.
std::string MountPointOf(const std::string& path);

// Space of the file system that holds `path`: bytes free for the caller
// (available blocks x fragment size), total bytes, total free bytes. FALSE
// with the last error set when the path does not exist.
BOOL GetDiskFreeSpaceExA(const std::string& path, uint64_t* freeToCaller, uint64_t* totalBytes, uint64_t* totalFree);
// The kind of the file system that holds `path`; DRIVE_NO_ROOT_DIR when the
// path does not exist.
UINT GetDriveTypeA(const std::string& path);

// The FILE_ flags of a file system of that kind ("ext4") mounted with those
// options ("rw,usrquota"): case and Unicode names by kind, symbolic links as
// reparse points, sparse files, POSIX ACLs as persistent ACLs (unless
// "noacl"), per-file compression by kind, quotas and read-only by option, a
// compressed volume by kind or "compress". Named streams, object ids and
// encryption are never reported.
DWORD FileSystemFlagsFor(const std::string& fileSystem, const std::string& mountOptions);

struct VolumeInformation {
  std::string volumeName;      // the mount point's last name ("/" for the root)
  DWORD serialNumber = 0;      // the file system id
  DWORD maximumComponentLength = 0;
  DWORD fileSystemFlags = 0;   // FileSystemFlagsFor the mount, read-only also by statvfs
  std::string fileSystemName;  // "ext4", "tmpfs", ...
};
BOOL GetVolumeInformationA(const std::string& rootPath, VolumeInformation& info);

// ---- moving and copying -----------------------------------------------------

constexpr DWORD MOVEFILE_REPLACE_EXISTING = 0x00000001;
constexpr DWORD MOVEFILE_COPY_ALLOWED = 0x00000002;
constexpr DWORD MOVEFILE_WRITE_THROUGH = 0x00000008;

// Renames; across file systems only with MOVEFILE_COPY_ALLOWED (files only).
// An existing target is replaced only with MOVEFILE_REPLACE_EXISTING
// (ERROR_ALREADY_EXISTS otherwise).
BOOL MoveFileExA(const std::string& existing, const std::string& target, DWORD flags);
inline BOOL MoveFileA(const std::string& existing, const std::string& target) {
  return MoveFileExA(existing, target, 0);
}
// Copies the file's bytes and permissions; with failIfExists an existing
// target gives ERROR_FILE_EXISTS.
BOOL CopyFileA(const std::string& existing, const std::string& target, BOOL failIfExists);
BOOL DeleteFileA(const std::string& fileName);
inline BOOL DeleteFile(const std::string& fileName) { return DeleteFileA(fileName); }

// ---- file times -------------------------------------------------------------

// 100-nanosecond intervals since 1601-01-01 UTC.
struct FILETIME {
  DWORD dwLowDateTime = 0;
  DWORD dwHighDateTime = 0;
  bool operator==(const FILETIME&) const = default;
};

// The file's times by name. There is no settable creation time here: it is
// read as the change time and ignored when set. A null pointer keeps (or
// skips) that time.
BOOL GetFileTime(const std::string& fileName, FILETIME* creation, FILETIME* lastAccess, FILETIME* lastWrite);
BOOL SetFileTime(const std::string& fileName, const FILETIME* creation, const FILETIME* lastAccess,
                 const FILETIME* lastWrite);
