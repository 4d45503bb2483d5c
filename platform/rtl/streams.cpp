#include "platform/rtl/streams.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysinfo.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/files.h"

namespace {

constexpr int32_t kCopyChunk = 0xF000;

int64_t AddSaturating(int64_t a, int64_t b) {
  int64_t sum;
  if (__builtin_add_overflow(a, b, &sum)) return b > 0 ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
  return sum;
}

// The most memory a stream may ask for: what RAM and swap can hold at all.
int64_t MemoryLimit() {
  struct sysinfo info {};
  if (sysinfo(&info) != 0) return std::numeric_limits<int64_t>::max();
  unsigned __int128 total = (static_cast<unsigned __int128>(info.totalram) + info.totalswap) * info.mem_unit;
  return total > static_cast<unsigned __int128>(std::numeric_limits<int64_t>::max())
             ? std::numeric_limits<int64_t>::max()
             : static_cast<int64_t>(total);
}

[[noreturn]] void RaiseOutOfMemory() { throw EOutOfMemory("Out of memory"); }

}  // namespace

// ---- TStream ------------------------------------------------------------------

int64_t TStream::Size() {
  int64_t position = Seek(0, soCurrent);
  int64_t size = Seek(0, soEnd);
  Seek(position, soBeginning);
  return size;
}

void TStream::SetSize(int64_t) {}

void TStream::ReadBuffer(void* buffer, int32_t count) {
  if (count != 0 && Read(buffer, count) != count) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, int32_t count) {
  if (count != 0 && Write(buffer, count) != count) throw EWriteError("Stream write error");
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  if (count <= 0) return 0;
  std::vector<char> buffer(static_cast<size_t>(std::min<int64_t>(count, kCopyChunk)));
  for (int64_t left = count; left > 0;) {
    int32_t piece = static_cast<int32_t>(std::min<int64_t>(left, kCopyChunk));
    source.ReadBuffer(buffer.data(), piece);
    WriteBuffer(buffer.data(), piece);
    left -= piece;
  }
  return count;
}

// ---- THandleStream ------------------------------------------------------------

int32_t THandleStream::Read(void* buffer, int32_t count) {
  int32_t done = 0;
  while (done < count) {
    ssize_t got = ::read(handle_, static_cast<char*>(buffer) + done, static_cast<size_t>(count - done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<int32_t>(got);
  }
  return done;
}

int32_t THandleStream::Write(const void* buffer, int32_t count) {
  int32_t done = 0;
  while (done < count) {
    ssize_t put = ::write(handle_, static_cast<const char*>(buffer) + done, static_cast<size_t>(count - done));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) break;
    done += static_cast<int32_t>(put);
  }
  return done;
}

int64_t THandleStream::Seek(int64_t offset, TSeekOrigin origin) {
  static const int whence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
  off_t result = ::lseek(handle_, static_cast<off_t>(offset), whence[origin]);
  return result < 0 ? -1 : static_cast<int64_t>(result);
}

void THandleStream::SetSize(int64_t newSize) {
  if (newSize < 0 || ::ftruncate(handle_, static_cast<off_t>(newSize)) != 0)
    RaiseLastOSError(newSize < 0 ? EINVAL : errno);
  if (Position() > newSize) Seek(newSize, soBeginning);
}

// ---- TFileStream --------------------------------------------------------------

TFileStream::TFileStream(const std::string& fileName, uint16_t mode) : THandleStream(-1), fileName_(fileName) {
  const bool create = (mode & fmCreate) == fmCreate;
  const int access = mode & 0x0F;
  const int share = (mode & 0xF0) >> 4;
  auto fail = [&](int code) {
    if (handle_ >= 0) ::close(handle_);
    handle_ = -1;
    if (create) RaiseFCreateError(ExpandFileName(fileName), code);
    RaiseFOpenError(ExpandFileName(fileName), code);
  };
  if (!create && (access > 2 || share > 4)) fail(EINVAL);

  int flags = 0;
  if (create)
    flags = O_RDWR | O_CREAT;
  else
    flags = access == 0 ? O_RDONLY : (access == 1 ? O_WRONLY : O_RDWR);
  // fmCreate alone (and the old create value 0xFFFF) shares nothing.
  int lock = 0;
  if (share <= 1 || (create && share > 4))
    lock = LOCK_EX;
  else if (share == 2)
    lock = LOCK_SH;
  int error = 0;
  handle_ = FileOpenLocked(fileName, flags, lock, create, error);
  if (handle_ < 0) fail(error);
}

TFileStream::~TFileStream() {
  if (handle_ >= 0) ::close(handle_);
}

// ---- TCustomMemoryStream ------------------------------------------------------

void TCustomMemoryStream::SetPointer(void* memory, int64_t size) {
  memory_ = memory;
  size_ = size;
}

int32_t TCustomMemoryStream::Read(void* buffer, int32_t count) {
  if (position_ < 0 || count <= 0 || position_ >= size_) return 0;
  int64_t n = std::min<int64_t>(size_ - position_, count);
  std::memcpy(buffer, static_cast<const char*>(memory_) + position_, static_cast<size_t>(n));
  position_ += n;
  return static_cast<int32_t>(n);
}

int32_t TCustomMemoryStream::Write(const void*, int32_t) { return 0; }

int64_t TCustomMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  switch (origin) {
    case soBeginning: position_ = offset; break;
    case soCurrent: position_ = AddSaturating(position_, offset); break;
    case soEnd: position_ = AddSaturating(size_, offset); break;
  }
  return position_;
}

void TCustomMemoryStream::SaveToStream(TStream& stream) {
  for (int64_t done = 0; done < size_;) {
    int32_t piece = static_cast<int32_t>(std::min<int64_t>(size_ - done, std::numeric_limits<int32_t>::max()));
    stream.WriteBuffer(static_cast<const char*>(memory_) + done, piece);
    done += piece;
  }
}

void TCustomMemoryStream::SaveToFile(const std::string& fileName) {
  TFileStream stream(fileName, fmCreate);
  SaveToStream(stream);
}

// ---- TMemoryStream ------------------------------------------------------------

TMemoryStream::~TMemoryStream() { std::free(Memory()); }

void TMemoryStream::SetCapacity(int64_t capacity) {
  if (capacity == capacity_) return;
  if (capacity == 0) {
    std::free(Memory());
    SetPointer(nullptr, 0);
    capacity_ = 0;
    return;
  }
  if (capacity < 0 || capacity > MemoryLimit()) RaiseOutOfMemory();
  void* memory = std::realloc(Memory(), static_cast<size_t>(capacity));
  if (!memory) RaiseOutOfMemory();
  SetPointer(memory, std::min(Size(), capacity));
  capacity_ = capacity;
}

void TMemoryStream::Grow(int64_t needed) {
  constexpr int64_t kGranule = 8192;
  int64_t wanted = std::max(needed, capacity_ + capacity_ / 2);
  if (wanted < std::numeric_limits<int64_t>::max() - kGranule) wanted = (wanted + kGranule - 1) / kGranule * kGranule;
  try {
    SetCapacity(wanted);
  } catch (const EOutOfMemory&) {
    SetCapacity(needed);  // the generous step failed: try the exact size
  }
}

void TMemoryStream::SetSize(int64_t newSize) {
  if (newSize < 0) RaiseOutOfMemory();
  int64_t oldSize = Size();
  if (newSize > capacity_) Grow(newSize);
  if (newSize > oldSize) std::memset(static_cast<char*>(Memory()) + oldSize, 0, static_cast<size_t>(newSize - oldSize));
  SetPointer(Memory(), newSize);
  if (position_ > newSize) position_ = newSize;
}

int32_t TMemoryStream::Write(const void* buffer, int32_t count) {
  if (position_ < 0 || count <= 0) return 0;
  int64_t end = AddSaturating(position_, count);
  if (end > Size()) SetSize(end);  // zero-fills a gap left by seeking past the end
  std::memcpy(static_cast<char*>(Memory()) + position_, buffer, static_cast<size_t>(count));
  position_ = end;
  return count;
}

void TMemoryStream::Clear() {
  SetCapacity(0);
  position_ = 0;
}

void TMemoryStream::LoadFromStream(TStream& stream) {
  stream.SetPosition(0);
  int64_t count = stream.Size();
  if (count < 0) throw EReadError("Stream read error");
  SetSize(count);
  for (int64_t done = 0; done < count;) {
    int32_t piece = static_cast<int32_t>(std::min<int64_t>(count - done, std::numeric_limits<int32_t>::max()));
    stream.ReadBuffer(static_cast<char*>(Memory()) + done, piece);
    done += piece;
  }
}

void TMemoryStream::LoadFromFile(const std::string& fileName) {
  TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(stream);
}

// ---- TStringStream ------------------------------------------------------------

TStringStream::TStringStream(const std::string& data) {
  WriteString(data);
  position_ = 0;
}

std::string TStringStream::DataString() const {
  return std::string(static_cast<const char*>(Memory()), static_cast<size_t>(DataSize()));
}

std::string TStringStream::ReadString(int32_t count) {
  if (position_ < 0 || count <= 0 || position_ >= Size()) return std::string();
  std::string s(static_cast<size_t>(std::min<int64_t>(count, Size() - position_)), '\0');
  Read(s.data(), static_cast<int32_t>(s.size()));
  return s;
}

void TStringStream::WriteString(const std::string& s) {
  for (size_t done = 0; done < s.size();) {
    int32_t piece = static_cast<int32_t>(std::min<size_t>(s.size() - done, std::numeric_limits<int32_t>::max()));
    WriteBuffer(s.data() + done, piece);
    done += static_cast<size_t>(piece);
  }
}
