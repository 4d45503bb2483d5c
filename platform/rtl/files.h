// Paths, files and folders.
//
// Sections: path parts | existence and folders | I/O result codes |
//           files | directory search and masks | temporary files
//
// Paths are UTF-8 with "/" as delimiter. The "drive" of a path is the mount
// point that holds it. Routines that answer bool or -1 never raise.
#pragma once

#include <cstdint>
#include <string>

#include "platform/rtl/datetime.h"

// ---- path parts --------------------------------------------------------------

constexpr char PathDelim = '/';
constexpr char ExtensionSeparator = '.';

// The path with exactly one delimiter at its end ("" stays "").
std::string IncludeTrailingPathDelimiter(const std::string& path);
// The path without a delimiter at its end; the root "/" stays "/".
std::string ExcludeTrailingPathDelimiter(const std::string& path);
// Everything up to and including the last delimiter ("" when none).
std::string ExtractFilePath(const std::string& fileName);
// The folder part without its trailing delimiter, except for the root "/".
std::string ExtractFileDir(const std::string& fileName);
// The part after the last delimiter.
std::string ExtractFileName(const std::string& fileName);
// The extension with its dot, "" when the name part holds none.
std::string ExtractFileExt(const std::string& fileName);
// The name with its extension replaced (or added); ext includes the dot.
std::string ChangeFileExt(const std::string& fileName, const std::string& ext);
// The mount point that holds the path (longest match in the mount table),
// e.g. "/" or "/home"; the path need not exist. "" for a relative path.
std::string ExtractFileDrive(const std::string& fileName);
// The absolute form: relative to the current folder, "." and ".." folded,
// repeated delimiters merged; symbolic links are not resolved.
std::string ExpandFileName(const std::string& fileName);

// ---- existence and folders -----------------------------------------------------

// True for an existing file or anything that is not a folder.
bool FileExists(const std::string& fileName);
bool DirectoryExists(const std::string& dir);
// Creates the folder and every missing parent; true when it exists afterwards.
bool ForceDirectories(const std::string& dir);
bool CreateDir(const std::string& dir);
// Removes an empty folder.
bool RemoveDir(const std::string& dir);

// ---- I/O result codes -----------------------------------------------------------

// MkDir and RmDir never raise: they record an errno-style code (0 = success)
// that IOResult returns once and clears. The code is kept per thread and is
// shared with text files that run without I/O checks.
void MkDir(const std::string& dir);
void RmDir(const std::string& dir);
int32_t IOResult();
// Records a code for IOResult (used by the text-file routines).
void SetIOResult(int32_t code);

// ---- files ---------------------------------------------------------------------

// (Deleting a file is the kernel layer's DeleteFile.)
// Moves or renames; an existing destination file is replaced.
bool RenameFile(const std::string& oldName, const std::string& newName);
// Opens a file with open(2) flags and takes the lock that stands for a share
// mode (0 none, LOCK_SH shuts out writers, LOCK_EX everybody else; without
// waiting). Folders are refused with EISDIR. With truncate the file is emptied
// only once the lock is held, so a refused open leaves it alone. The
// descriptor, or -1 with an errno-style code in error.
int FileOpenLocked(const std::string& fileName, int openFlags, int lock, bool truncate, int& error);
// Size in bytes, -1 when the file cannot be read.
int64_t FileSize64(const std::string& fileName);
// The last write time as a DOS date-time in local time, -1 when missing.
int32_t FileAge(const std::string& fileName);
// The last write time in local time; false when missing.
bool FileAge(const std::string& fileName, TDateTime& dateTime);

// ---- directory search and masks ----------------------------------------------------

// Attribute bits of a found entry and of the search filter.
constexpr int32_t faReadOnly = 0x01;
constexpr int32_t faHidden = 0x02;   // a name with a leading dot
constexpr int32_t faSysFile = 0x04;  // devices, sockets and pipes
constexpr int32_t faVolumeID = 0x08;
constexpr int32_t faDirectory = 0x10;
constexpr int32_t faArchive = 0x20;  // every file that is not a folder
constexpr int32_t faAnyFile = 0x3F;

struct TSearchRec {
  int32_t Time = 0;  // last write time, DOS date-time in local time
  int64_t Size = 0;
  int32_t Attr = 0;
  std::string Name;
  int32_t ExcludeAttr = 0;
  struct State;
  State* FindHandle = nullptr;  // owned; released by FindClose
  TSearchRec() = default;
  TSearchRec(const TSearchRec&) = delete;
  TSearchRec& operator=(const TSearchRec&) = delete;
  ~TSearchRec();
};

// Starts a search for folder + mask ("/data/*.jpg"). Entries whose hidden,
// system or folder bit is not in attr are skipped; normal files always count.
// "." and ".." are reported for folders as on the original platform.
// Returns 0 and fills rec with the first entry, or an errno-style code
// (ENOENT when nothing matches).
int32_t FindFirst(const std::string& path, int32_t attr, TSearchRec& rec);
// The next entry: 0, or ENOENT when there is none.
int32_t FindNext(TSearchRec& rec);
void FindClose(TSearchRec& rec);

// Matches a file name against a mask without regard to case: "*" any run,
// "?" one character. A name without extension also matches as if it ended
// in ".": "*.*" matches every name, "name.*" matches "name", "*." matches
// the names without extension.
bool MatchesMask(const std::string& fileName, const std::string& mask);

// ---- temporary files -----------------------------------------------------------------

// Creates a new file folder + prefix + random part, exclusively (never
// opens an existing file or follows a link), readable only by the user.
// Returns the open descriptor and the full name, or -1 with errno set.
int CreateTempFile(const std::string& folder, const std::string& prefix, std::string& fileName);
