#include "platform/rtl/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <memory>
#include <random>
#include <vector>

// Sections: path parts | mount table | existence and folders | I/O result codes |
//           files | masks | directory search | temporary files

// ---- path parts --------------------------------------------------------------

std::string IncludeTrailingPathDelimiter(const std::string& path) {
  if (path.empty() || path.back() == PathDelim) return path;
  return path + PathDelim;
}

std::string ExcludeTrailingPathDelimiter(const std::string& path) {
  std::string result = path;
  while (result.size() > 1 && result.back() == PathDelim) result.pop_back();
  return result;
}

std::string ExtractFilePath(const std::string& fileName) {
  const size_t slash = fileName.rfind(PathDelim);
  return slash == std::string::npos ? std::string() : fileName.substr(0, slash + 1);
}

std::string ExtractFileDir(const std::string& fileName) {
  const size_t slash = fileName.rfind(PathDelim);
  if (slash == std::string::npos) return {};
  return slash == 0 ? std::string(1, PathDelim) : fileName.substr(0, slash);
}

std::string ExtractFileName(const std::string& fileName) {
  const size_t slash = fileName.rfind(PathDelim);
  return slash == std::string::npos ? fileName : fileName.substr(slash + 1);
}

namespace {

// Position of the extension's dot, npos when the name part has none.
size_t ExtensionPos(const std::string& fileName) {
  const size_t pos = fileName.find_last_of(std::string{ExtensionSeparator, PathDelim});
  if (pos == std::string::npos || fileName[pos] != ExtensionSeparator) return std::string::npos;
  return pos;
}

}  // namespace

std::string ExtractFileExt(const std::string& fileName) {
  const size_t dot = ExtensionPos(fileName);
  return dot == std::string::npos ? std::string() : fileName.substr(dot);
}

std::string ChangeFileExt(const std::string& fileName, const std::string& ext) {
  const size_t dot = ExtensionPos(fileName);
  return (dot == std::string::npos ? fileName : fileName.substr(0, dot)) + ext;
}

std::string ExpandFileName(const std::string& fileName) {
  if (fileName.empty()) return {};
  std::string path = fileName;
  if (path.front() != PathDelim) {
    char cwd[4096];
    if (!getcwd(cwd, sizeof cwd)) return fileName;
    path = IncludeTrailingPathDelimiter(cwd) + path;
  }
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(PathDelim, start);
    if (end == std::string::npos) end = path.size();
    const std::string part = path.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::string result;
  for (const std::string& part : parts) result += PathDelim + part;
  if (result.empty()) return std::string(1, PathDelim);
  // A name that ended in a folder ("a/", "a/.", "a/..") keeps the delimiter.
  const std::string last = ExtractFileName(fileName);
  if (last.empty() || last == "." || last == "..") result += PathDelim;
  return result;
}

// ---- mount table ------------------------------------------------------------------

namespace {

bool IsOctal(char c) { return c >= '0' && c <= '7'; }

// Undoes the octal escapes (\040 for a blank) of the mount table.
std::string UnescapeMountField(const std::string& field) {
  std::string result;
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() && IsOctal(field[i + 1]) && IsOctal(field[i + 2]) &&
        IsOctal(field[i + 3])) {
      const int value = (field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0');
      result += static_cast<char>(value);
      i += 3;
    } else {
      result += field[i];
    }
  }
  return result;
}

// The mount points of this process, from the fifth field of each line.
std::vector<std::string> MountPoints() {
  std::vector<std::string> points;
  std::ifstream in("/proc/self/mountinfo");
  std::string line;
  while (std::getline(in, line)) {
    size_t pos = 0;
    for (int field = 0; field < 4 && pos != std::string::npos; ++field) {
      pos = line.find(' ', pos);
      if (pos != std::string::npos) ++pos;
    }
    if (pos == std::string::npos) continue;
    const size_t end = line.find(' ', pos);
    points.push_back(UnescapeMountField(line.substr(pos, end == std::string::npos ? end : end - pos)));
  }
  return points;
}

// True when path lies in folder (equal, or folder followed by a delimiter).
bool PathIsInside(const std::string& path, const std::string& folder) {
  if (folder == std::string(1, PathDelim)) return !path.empty() && path.front() == PathDelim;
  return path.compare(0, folder.size(), folder) == 0 &&
         (path.size() == folder.size() || path[folder.size()] == PathDelim);
}

}  // namespace

std::string ExtractFileDrive(const std::string& fileName) {
  if (fileName.empty() || fileName.front() != PathDelim) return {};
  const std::string path = ExpandFileName(fileName);
  std::string best = std::string(1, PathDelim);
  for (const std::string& point : MountPoints()) {
    if (point.size() > best.size() && PathIsInside(path, point)) best = point;
  }
  return best;
}

// ---- existence and folders -----------------------------------------------------

bool FileExists(const std::string& fileName) {
  struct stat st{};
  return !fileName.empty() && stat(fileName.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& dir) {
  struct stat st{};
  return !dir.empty() && stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CreateDir(const std::string& dir) { return !dir.empty() && mkdir(dir.c_str(), 0777) == 0; }

bool RemoveDir(const std::string& dir) { return !dir.empty() && rmdir(dir.c_str()) == 0; }

bool ForceDirectories(const std::string& dir) {
  const std::string path = ExcludeTrailingPathDelimiter(dir);
  if (path.empty()) return false;
  if (DirectoryExists(path)) return true;
  const std::string parent = ExtractFileDir(path);
  if (!parent.empty() && parent != path && !ForceDirectories(parent)) return false;
  // Another process may have made it meanwhile.
  return CreateDir(path) || DirectoryExists(path);
}

// ---- I/O result codes -----------------------------------------------------------

namespace {
thread_local int32_t ioResult = 0;

void RecordIO(bool ok) { ioResult = ok ? 0 : (errno != 0 ? errno : EIO); }
}  // namespace

void SetIOResult(int32_t code) { ioResult = code; }

int32_t IOResult() {
  const int32_t code = ioResult;
  ioResult = 0;
  return code;
}

void MkDir(const std::string& dir) {
  errno = dir.empty() ? ENOENT : 0;
  RecordIO(CreateDir(dir));
}

void RmDir(const std::string& dir) {
  errno = dir.empty() ? ENOENT : 0;
  RecordIO(RemoveDir(dir));
}

// ---- files ---------------------------------------------------------------------

bool RenameFile(const std::string& oldName, const std::string& newName) {
  return !oldName.empty() && !newName.empty() && rename(oldName.c_str(), newName.c_str()) == 0;
}

int FileOpenLocked(const std::string& fileName, int openFlags, int lock, bool truncate, int& error) {
  const int handle = ::open(fileName.c_str(), openFlags | O_CLOEXEC, 0666);
  if (handle < 0) {
    error = errno;
    return -1;
  }
  struct stat info {};
  error = ::fstat(handle, &info) != 0 ? errno : (S_ISDIR(info.st_mode) ? EISDIR : 0);
  if (error == 0 && lock != 0 && ::flock(handle, lock | LOCK_NB) != 0) error = errno;
  if (error == 0 && truncate && ::ftruncate(handle, 0) != 0) error = errno;
  if (error == 0) return handle;
  ::close(handle);
  return -1;
}

int64_t FileSize64(const std::string& fileName) {
  struct stat st{};
  if (fileName.empty() || stat(fileName.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return -1;
  return static_cast<int64_t>(st.st_size);
}

bool FileAge(const std::string& fileName, TDateTime& dateTime) {
  struct stat st{};
  if (fileName.empty() || stat(fileName.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  dateTime = TimeTToLocalDateTime(st.st_mtim.tv_sec, static_cast<int32_t>(st.st_mtim.tv_nsec / 1000000));
  return true;
}

int32_t FileAge(const std::string& fileName) {
  TDateTime dateTime = 0;
  if (!FileAge(fileName, dateTime)) return -1;
  return DateTimeToFileDate(dateTime);
}

// ---- masks ---------------------------------------------------------------------

namespace {

char Fold(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

// Iterative wildcard match with one backtrack point (linear in practice).
bool WildcardMatch(const std::string& name, const std::string& mask) {
  size_t n = 0, m = 0;
  size_t starMask = std::string::npos, starName = 0;
  while (n < name.size()) {
    if (m < mask.size() && (mask[m] == '?' || (mask[m] != '*' && Fold(mask[m]) == Fold(name[n])))) {
      ++n;
      ++m;
    } else if (m < mask.size() && mask[m] == '*') {
      starMask = m++;
      starName = n;
    } else if (starMask != std::string::npos) {
      m = starMask + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == '*') ++m;
  return m == mask.size();
}

}  // namespace

bool MatchesMask(const std::string& fileName, const std::string& mask) {
  if (WildcardMatch(fileName, mask)) return true;
  // A name without extension also matches as "name.", so "*.*" and "name.*"
  // take it and "*." finds exactly such names, as on the original platform.
  return fileName.find(ExtensionSeparator) == std::string::npos && WildcardMatch(fileName + ExtensionSeparator, mask);
}

// ---- directory search ----------------------------------------------------------------

struct TSearchRec::State {
  DIR* Dir = nullptr;
  std::string Folder;
  std::string Mask;
  ~State() {
    if (Dir) closedir(Dir);
  }
};

TSearchRec::~TSearchRec() { FindClose(*this); }

namespace {

int32_t AttributesOf(const std::string& name, const struct stat& st) {
  int32_t attr = 0;
  if (S_ISDIR(st.st_mode)) attr |= faDirectory;
  else if (S_ISREG(st.st_mode)) attr |= faArchive;
  else attr |= faSysFile;
  if (name.size() > 1 && name[0] == '.' && name != "..") attr |= faHidden;
  if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) attr |= faReadOnly;
  return attr;
}

// Reads entries until one matches the mask and the filter; 0 or ENOENT.
int32_t NextMatch(TSearchRec& rec) {
  TSearchRec::State* state = rec.FindHandle;
  if (!state || !state->Dir) return ENOENT;
  while (dirent* entry = readdir(state->Dir)) {
    const std::string name = entry->d_name;
    if (!MatchesMask(name, state->Mask)) continue;
    struct stat st{};
    // A dangling link or an entry removed meanwhile is skipped.
    if (stat((state->Folder + name).c_str(), &st) != 0) continue;
    const int32_t attr = AttributesOf(name, st);
    if (attr & rec.ExcludeAttr) continue;
    rec.Name = name;
    rec.Attr = attr;
    rec.Size = S_ISDIR(st.st_mode) ? 0 : static_cast<int64_t>(st.st_size);
    rec.Time = DateTimeToFileDate(
        TimeTToLocalDateTime(st.st_mtim.tv_sec, static_cast<int32_t>(st.st_mtim.tv_nsec / 1000000)));
    return 0;
  }
  return ENOENT;
}

}  // namespace

int32_t FindFirst(const std::string& path, int32_t attr, TSearchRec& rec) {
  FindClose(rec);
  auto state = std::make_unique<TSearchRec::State>();
  state->Folder = ExtractFilePath(path);
  state->Mask = ExtractFileName(path);
  if (state->Mask.empty()) return ENOENT;
  state->Dir = opendir(state->Folder.empty() ? "." : state->Folder.c_str());
  if (!state->Dir) return errno != 0 ? errno : ENOENT;
  rec.ExcludeAttr = ~attr & (faHidden | faSysFile | faVolumeID | faDirectory);
  rec.FindHandle = state.release();
  const int32_t code = NextMatch(rec);
  if (code != 0) FindClose(rec);
  return code;
}

int32_t FindNext(TSearchRec& rec) { return NextMatch(rec); }

void FindClose(TSearchRec& rec) {
  delete rec.FindHandle;
  rec.FindHandle = nullptr;
}

// ---- temporary files -----------------------------------------------------------------

int CreateTempFile(const std::string& folder, const std::string& prefix, std::string& fileName) {
  static thread_local std::mt19937_64 generator{std::random_device{}()};
  static const char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  const std::string base = IncludeTrailingPathDelimiter(folder.empty() ? std::string(".") : folder) + prefix;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = base;
    for (int i = 0; i < 12; ++i) name += kAlphabet[generator() % (sizeof kAlphabet - 1)];
    // O_EXCL with O_CREAT fails on any existing entry, a planted link included.
    const int fd = open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) {
      fileName = name;
      return fd;
    }
    if (errno != EEXIST) return -1;
  }
  errno = EEXIST;
  return -1;
}
