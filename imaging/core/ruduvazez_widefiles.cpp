// Opening and creating files by UTF-16 names.
#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>

#include "imaging/core/ruduvazez.h"
#include "platform/rtl/encoding.h"
#include "platform/rtl/files.h"
#include "platform/win/kernel.h"

namespace {

// The name as the file system takes it; false for a name that cannot be
// given exactly (an embedded NUL, an unpaired surrogate).
bool FileSystemName(const std::u16string& name, std::string& result) {
  for (size_t i = 0; i < name.size(); ++i) {
    const char16_t c = name[i];
    if (c == 0) return false;
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 == name.size() || name[i + 1] < 0xDC00 || name[i + 1] > 0xDFFF) return false;
      ++i;
    } else if (c >= 0xDC00 && c <= 0xDFFF) {
      return false;
    }
  }
  result = Utf16ToUtf8(name);
  return true;
}

// open() flags for an access and a creation disposition; -1 for an unknown
// disposition, or truncation without write access.
int OpenFlags(uint32_t access, uint32_t disposition) {
  const bool read = (access & IE_GENERIC_READ) != 0, write = (access & IE_GENERIC_WRITE) != 0;
  const int flags = write ? (read ? O_RDWR : O_WRONLY) : O_RDONLY;
  switch (disposition) {
    case IE_CREATE_NEW:
      return flags | O_CREAT | O_EXCL;
    case IE_CREATE_ALWAYS:
    case IE_OPEN_ALWAYS:
      return flags | O_CREAT;
    case IE_OPEN_EXISTING:
      return flags;
    case IE_TRUNCATE_EXISTING:
      return write ? flags : -1;
    default:
      return -1;
  }
}

// The lock that stands for a share mode, as TFileStream takes it.
int ShareLock(uint32_t share) {
  if ((share & (IE_FILE_SHARE_READ | IE_FILE_SHARE_WRITE)) == 0) return LOCK_EX;
  if ((share & IE_FILE_SHARE_WRITE) == 0) return LOCK_SH;
  return 0;
}

int Fail(DWORD error) {
  SetLastError(error);
  return -1;
}

DWORD OpenError(int error) {
  if (error == EWOULDBLOCK) return ERROR_SHARING_VIOLATION;
  if (error == EISDIR) return ERROR_ACCESS_DENIED;
  return ErrorFromErrno(error);
}

}  // namespace

int IECreateFileW(const std::u16string& fileName, uint32_t access, uint32_t share, const void*,
                  uint32_t disposition, uint32_t, int) {
  std::string name;
  if (!FileSystemName(fileName, name)) return Fail(ERROR_INVALID_NAME);
  const int flags = OpenFlags(access, disposition);
  if (flags < 0) return Fail(ERROR_INVALID_PARAMETER);
  const bool truncate = disposition == IE_CREATE_ALWAYS || disposition == IE_TRUNCATE_EXISTING;
  int error = 0;
  const int handle = FileOpenLocked(name, flags, ShareLock(share), truncate, error);
  if (handle < 0) return Fail(OpenError(error));
  SetLastError(ERROR_SUCCESS);
  return handle;
}

int IEFileCreateW(const std::u16string& fileName) {
  return IECreateFileW(fileName, IE_GENERIC_READ | IE_GENERIC_WRITE, 0, nullptr, IE_CREATE_ALWAYS,
                       IE_FILE_ATTRIBUTE_NORMAL, 0);
}

int IEFileOpenW(const std::u16string& fileName, uint32_t mode) {
  static constexpr uint32_t kAccess[] = {IE_GENERIC_READ, IE_GENERIC_WRITE, IE_GENERIC_READ | IE_GENERIC_WRITE};
  static constexpr uint32_t kShare[] = {0, 0, IE_FILE_SHARE_READ, IE_FILE_SHARE_WRITE,
                                        IE_FILE_SHARE_READ | IE_FILE_SHARE_WRITE};
  if ((mode & 3) > 2 || mode > 79) return -1;
  return IECreateFileW(fileName, kAccess[mode & 3], kShare[mode >> 4], nullptr, IE_OPEN_EXISTING,
                       IE_FILE_ATTRIBUTE_NORMAL, 0);
}
