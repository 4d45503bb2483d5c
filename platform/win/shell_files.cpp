// SHFileOperationA: deleting for good or into the freedesktop trash.
//
// Sections: trash | names and patterns | the operation
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>

#include "platform/rtl/encoding.h"
#include "platform/rtl/files.h"
#include "platform/win/kernel.h"
#include "platform/win/kernel_files.h"
#include "platform/win/shell.h"

namespace fs = std::filesystem;

// ---- trash ------------------------------------------------------------------
//
// A trash folder holds "files/NAME" and "info/NAME.trashinfo". The home trash
// is $XDG_DATA_HOME/Trash; an item on another file system goes to
// "$topdir/.Trash-$uid" of its mount point, and its Path is then relative to
// that mount point.

namespace {
struct TrashCan {
  std::string root;
  std::string topdir;  // empty for the home trash
};

std::string HomeTrash() {
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data && data[0] == '/') return std::string(data) + "/Trash";
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : "/") + "/.local/share/Trash";
}

// A private folder of ours (made when missing); false when it cannot be.
bool EnsurePrivateFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid();
}

bool EnsureTrashCan(const std::string& root, dev_t device) {
  struct stat st {};
  return EnsurePrivateFolder(root) && EnsurePrivateFolder(root + "/files") &&
         EnsurePrivateFolder(root + "/info") && ::stat((root + "/files").c_str(), &st) == 0 && st.st_dev == device;
}

// The trash folder for an item on `device`, below `parent`; none when no trash can be had.
std::optional<TrashCan> TrashFor(const std::string& parent, dev_t device) {
  std::string home = HomeTrash();
  std::error_code ec;
  fs::create_directories(fs::path(home).parent_path(), ec);
  if (EnsureTrashCan(home, device)) return TrashCan{home, ""};
  std::string topdir = MountPointOf(parent);
  if (topdir.empty()) return std::nullopt;
  std::string root = (topdir == "/" ? "" : topdir) + "/.Trash-" + std::to_string(::getuid());
  if (EnsureTrashCan(root, device)) return TrashCan{root, topdir};
  return std::nullopt;
}

// Escapes a path for a .trashinfo file: everything but unreserved characters and "/".
std::string EncodeTrashPath(const std::string& path) {
  return PercentEncode(path, [](unsigned char c) {
    return std::isalnum(c) || std::string_view("-_.~/!*'()").find(static_cast<char>(c)) != std::string_view::npos;
  });
}

std::string LocalTimeNow() {
  time_t now = std::time(nullptr);
  struct tm local {};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
  return text;
}

// The n-th candidate name in the trash for `name`: "photo.tif", "photo.2.tif"...
std::string TrashName(const std::string& name, int n) {
  if (n == 1) return name;
  fs::path p(name);
  return p.stem().string() + "." + std::to_string(n) + p.extension().string();
}

bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t put = ::write(fd, text.data() + done, text.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    done += static_cast<size_t>(put);
  }
  return true;
}

// Moves the item (an absolute path with a canonical folder) into the trash
// with its .trashinfo; false when that cannot be done.
bool MoveToTrash(const std::string& item, dev_t device) {
  fs::path path(item);
  auto can = TrashFor(path.parent_path().string(), device);
  if (!can) return false;
  std::string recorded = item;
  if (!can->topdir.empty() && can->topdir != "/") recorded = item.substr(can->topdir.size() + 1);
  if (can->topdir == "/") recorded = item.substr(1);
  std::string info = "[Trash Info]\nPath=" + EncodeTrashPath(recorded) + "\nDeletionDate=" + LocalTimeNow() + "\n";

  for (int n = 1; n < 100000; ++n) {
    std::string name = TrashName(path.filename().string(), n);
    std::string infoFile = can->root + "/info/" + name + ".trashinfo";
    std::string target = can->root + "/files/" + name;
    int fd = ::open(infoFile.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return false;
    }
    struct stat st {};
    bool taken = ::lstat(target.c_str(), &st) == 0;
    bool written = !taken && WriteAll(fd, info);
    ::close(fd);
    if (written && ::rename(item.c_str(), target.c_str()) == 0) return true;
    int err = errno;
    ::unlink(infoFile.c_str());
    if (!taken) {
      errno = err;
      return false;
    }
  }
  return false;
}
}  // namespace

// ---- names and patterns -----------------------------------------------------

namespace {
bool HasWildcard(const std::string& name) { return name.find_first_of("*?") != std::string::npos; }

std::string WithoutTrailingDelimiters(std::string name) {
  while (name.size() > 1 && name.back() == '/') name.pop_back();
  return name;
}

// The items a name stands for: itself, or the matches of its wildcard part.
// Answers 0 or an error code.
DWORD ExpandName(const std::string& given, bool filesOnly, std::vector<std::string>& items) {
  std::string name = WithoutTrailingDelimiters(given);
  size_t slash = name.rfind('/');
  std::string last = slash == std::string::npos ? name : name.substr(slash + 1);
  if (!HasWildcard(last)) {
    items.push_back(name);
    return ERROR_SUCCESS;
  }
  std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : name.substr(0, slash));
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return ERROR_PATH_NOT_FOUND;
  while (dirent* entry = ::readdir(dir)) {
    std::string entryName = entry->d_name;
    if (entryName == "." || entryName == ".." || !MatchesMask(entryName, last)) {
      continue;
    }
    std::string full = (folder == "/" ? "" : folder) + "/" + entryName;
    struct stat st {};
    if (filesOnly && ::lstat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) continue;
    items.push_back(full);
  }
  ::closedir(dir);
  return ERROR_SUCCESS;
}

// The item's absolute path with its folder resolved (the item itself may be a link).
std::string AbsoluteItem(const std::string& item) {
  std::error_code ec;
  fs::path absolute = fs::absolute(item, ec);
  fs::path folder = fs::canonical(absolute.parent_path(), ec);
  return ec ? absolute.string() : (folder / absolute.filename()).string();
}

DWORD DeleteItem(const std::string& item, bool toTrash) {
  std::string last = fs::path(item).filename().string();
  if (item == "/" || last == "." || last == "..") return ERROR_ACCESS_DENIED;
  struct stat st {};
  if (::lstat(item.c_str(), &st) != 0) return ErrorFromErrno(errno);
  if (toTrash && MoveToTrash(AbsoluteItem(item), st.st_dev)) return ERROR_SUCCESS;
  // No trash to be had: delete for good. remove_all removes links, never their targets.
  std::error_code ec;
  fs::remove_all(item, ec);
  return ec ? ErrorFromErrno(ec.value()) : ERROR_SUCCESS;
}
}  // namespace

// ---- the operation ----------------------------------------------------------

int SHFileOperationA(SHFILEOPSTRUCTA* operation) {
  if (!operation || operation->pFrom.empty()) return static_cast<int>(ERROR_INVALID_PARAMETER);
  if (operation->wFunc != FO_DELETE) return static_cast<int>(ERROR_CALL_NOT_IMPLEMENTED);
  operation->fAnyOperationsAborted = FALSE;
  bool toTrash = (operation->fFlags & FOF_ALLOWUNDO) != 0;
  bool filesOnly = (operation->fFlags & FOF_FILESONLY) != 0;
  DWORD first = ERROR_SUCCESS;
  for (const auto& name : operation->pFrom) {
    std::vector<std::string> items;
    DWORD result = name.empty() ? ERROR_INVALID_PARAMETER : ExpandName(name, filesOnly, items);
    for (const auto& item : items) {
      DWORD itemResult = DeleteItem(item, toTrash);
      if (result == ERROR_SUCCESS) result = itemResult;
    }
    if (first == ERROR_SUCCESS) first = result;
  }
  return static_cast<int>(first);
}
