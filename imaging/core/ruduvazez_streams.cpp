// Stream routines, the memory and file streams and the buffered streams.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <vector>

#include "imaging/core/davovevo.h"
#include "imaging/core/iezlib.h"
#include "imaging/core/ruduvazez.h"
#include "platform/rtl/files.h"

namespace {

constexpr int64_t kCopyChunk = 196607;

// Copies up to count bytes from file to file inside the system, from and
// to both files' positions, which it advances; the bytes copied, fewer
// (none) where the system cannot copy between the two.
int64_t CopyBetweenFiles(TStream& dest, TStream& source, int64_t count) {
  auto* from = dynamic_cast<THandleStream*>(&source);
  auto* to = dynamic_cast<THandleStream*>(&dest);
  if (!from || !to) return 0;
  int64_t done = 0;
  while (done < count) {
    const ssize_t copied =
        ::copy_file_range(from->Handle(), nullptr, to->Handle(), nullptr, static_cast<size_t>(count - done), 0);
    if (copied < 0 && errno == EINTR) continue;
    if (copied <= 0) break;
    done += copied;
  }
  return done;
}
constexpr int64_t kTIFFSearch = 131072;

// Reads up to count bytes (count <= 8) into a zeroed value, as stored.
uint64_t ReadRaw(TStream& stream, int32_t count) {
  uint8_t bytes[8] = {};
  stream.Read(bytes, count);
  uint64_t value = 0;
  std::memcpy(&value, bytes, 8);
  return value;
}

}  // namespace

int64_t IEGetFileSize64(const std::string& fileName) {
  TSearchRec rec;
  const int64_t size = FindFirst(fileName, faAnyFile, rec) == 0 ? rec.Size : 0;
  FindClose(rec);
  return size;
}

void IESafeStreamWrite(TStream& stream, bool& failed, const void* buffer, int32_t count) {
  if (stream.Write(buffer, count) != count) failed = true;
}

uint16_t IEReadWord(TStream& stream, bool bigEndian) {
  return IESwapWordIf(static_cast<uint16_t>(ReadRaw(stream, 2)), bigEndian);
}

uint32_t IEReadDWord(TStream& stream, bool bigEndian) {
  return IESwapDWordIf(static_cast<uint32_t>(ReadRaw(stream, 4)), bigEndian);
}

uint64_t IEReadInt64(TStream& stream, bool bigEndian) { return IESwapInt64If(bigEndian, ReadRaw(stream, 8)); }

int64_t IEAlignStreamToWord(TStream& stream, bool& failed) {
  int64_t position = stream.Position();
  if (position % 2 == 0) return position;
  const uint8_t zero = 0;
  IESafeStreamWrite(stream, failed, &zero, 1);
  return stream.Position();
}

void IEWriteLineCRLF(TStream& stream, const std::string& text) {
  const std::string line = text + "\r\n";
  stream.Write(line.data(), static_cast<int32_t>(line.size()));
}

void IEWriteLine(TStream& stream, const std::string& text) { IEWriteLineCRLF(stream, text); }

int64_t IECopyStream(TStream& dest, TStream& source, int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  if (dynamic_cast<TCustomZStream*>(&source) == nullptr)
    count = std::min(count, std::max<int64_t>(0, source.Size() - source.Position()));
  if (count <= 0) return 0;
  const int64_t rest = count - CopyBetweenFiles(dest, source, count);
  if (rest == 0) return count;
  std::vector<uint8_t> buffer(static_cast<size_t>(std::min(rest, kCopyChunk)));
  for (int64_t left = rest; left > 0;) {
    int32_t piece = static_cast<int32_t>(std::min<int64_t>(left, kCopyChunk));
    source.ReadBuffer(buffer.data(), piece);
    dest.WriteBuffer(buffer.data(), piece);
    left -= piece;
  }
  return count;
}

int64_t IEFindTIFFHeader(TStream& stream) {
  const int64_t start = stream.Position();
  const int64_t size = stream.Size();
  std::vector<uint8_t> data(static_cast<size_t>(std::clamp<int64_t>(size - start, 0, kTIFFSearch)));
  data.resize(static_cast<size_t>(std::max(0, stream.Read(data.data(), static_cast<int32_t>(data.size())))));
  int64_t found = -1;
  for (size_t i = 0; found < 0 && i + 8 <= data.size(); ++i) {
    const bool intel = data[i] == 'I' && data[i + 1] == 'I';
    if (!intel && !(data[i] == 'M' && data[i + 1] == 'M')) continue;
    uint16_t version;
    uint32_t offset;
    std::memcpy(&version, &data[i + 2], 2);
    std::memcpy(&offset, &data[i + 4], 4);
    version = IESwapWordIf(version, !intel);
    offset = IESwapDWordIf(offset, !intel);
    // The directory offset counts from the header, as the reader counts it.
    const int64_t directory = start + static_cast<int64_t>(i) + offset;
    if (directory >= size || (version != 42 && version != 0x4F52 && version != 0x5352)) continue;
    stream.SetPosition(directory);
    uint8_t countBytes[2];
    if (stream.Read(countBytes, 2) != 2) continue;
    uint16_t entries;
    std::memcpy(&entries, countBytes, 2);
    entries = IESwapWordIf(entries, !intel);
    if (entries > 0 && entries < 32768) found = static_cast<int64_t>(i);
  }
  stream.SetPosition(start);
  return found;
}

// ---- TIEMemStream, TIEWideFileStream ---------------------------------------------------

TIEMemStream::TIEMemStream(const void* buffer, int64_t size) { SetPointer(const_cast<void*>(buffer), size); }

TIEWideFileStream::TIEWideFileStream(const std::string& fileName, uint16_t mode)
    : TFileStream(fileName, mode == IE_FILE_CREATE ? mode : static_cast<uint16_t>(mode & 0xF3)) {}

// ---- TIEBufferedReadStream ----------------------------------------------------------------

TIEBufferedReadStream::TIEBufferedReadStream(TStream& source, int32_t bufferSize, bool relative)
    : source_(source),
      position_(source.Position()),
      bufferStart_(position_),
      buffer_(static_cast<size_t>(std::max(bufferSize, 1))),
      sourceSize_(source.Size()),
      base_(relative ? position_ : 0) {
  Fill();
}

TIEBufferedReadStream::~TIEBufferedReadStream() { source_.SetPosition(position_); }

void TIEBufferedReadStream::Fill() {
  source_.SetPosition(position_);
  const int64_t wanted = std::clamp<int64_t>(sourceSize_ - position_, 0, static_cast<int64_t>(buffer_.size()));
  filled_ = wanted > 0 ? std::max(0, source_.Read(buffer_.data(), static_cast<int32_t>(wanted))) : 0;
  bufferStart_ = position_;
  index_ = 0;
}

int32_t TIEBufferedReadStream::Read(void* buffer, int32_t count) {
  endReached_ = false;
  const int64_t left = std::max<int64_t>(0, sourceSize_ - position_);
  if (count > left) {
    endReached_ = true;
    count = static_cast<int32_t>(left);
  }
  if (count < 1) return 0;
  auto* out = static_cast<uint8_t*>(buffer);
  int32_t copied = 0;
  while (copied < count) {
    if (index_ >= filled_) {
      Fill();
      if (filled_ == 0) {  // the source holds less than its size said
        endReached_ = true;
        break;
      }
    }
    const int32_t take = std::min(count - copied, filled_ - index_);
    std::memcpy(out + copied, buffer_.data() + index_, static_cast<size_t>(take));
    index_ += take;
    position_ += take;
    copied += take;
  }
  return copied;
}

int32_t TIEBufferedReadStream::Write(const void*, int32_t) {
  throw EIEException("TIEBufferedReadStream cannot write!");
}

int64_t TIEBufferedReadStream::Seek(int64_t offset, TSeekOrigin origin) {
  endReached_ = false;
  // Offsets read from a damaged file may be anything: the sum saturates.
  const int64_t from = origin == soBeginning ? base_ : origin == soCurrent ? position_ : sourceSize_;
  const bool back = origin == soEnd;
  int64_t target;
  if (back ? __builtin_sub_overflow(from, offset, &target) : __builtin_add_overflow(from, offset, &target))
    target = (offset > 0) != back ? INT64_MAX : INT64_MIN;
  if (target < base_) target = base_;
  if (target >= sourceSize_) {
    target = sourceSize_;
    endReached_ = true;
  }
  if (target >= bufferStart_ && target < bufferStart_ + filled_) {
    index_ = static_cast<int32_t>(target - bufferStart_);
    position_ = target;
  } else {
    position_ = target;
    Fill();
  }
  return position_ - base_;
}

// ---- TIEBufferedWriteStream ----------------------------------------------------------------

TIEBufferedWriteStream::TIEBufferedWriteStream(TStream& target, int32_t bufferSize)
    : target_(target), buffer_(static_cast<size_t>(std::max(bufferSize, 1))) {}

TIEBufferedWriteStream::~TIEBufferedWriteStream() {
  try {
    Flush();
  } catch (...) {
    // A destructor cannot report; a caller that must know seeks first.
  }
}

void TIEBufferedWriteStream::Flush() {
  const int32_t filled = filled_;
  filled_ = 0;
  if (filled > 0) target_.WriteBuffer(buffer_.data(), filled);
}

int32_t TIEBufferedWriteStream::Read(void*, int32_t) { throw EIEException("TIEBufferedWriteStream cannot read!"); }

int32_t TIEBufferedWriteStream::Write(const void* buffer, int32_t count) {
  const auto* in = static_cast<const uint8_t*>(buffer);
  const int32_t capacity = static_cast<int32_t>(buffer_.size());
  for (int32_t done = 0; done < count;) {
    const int32_t take = std::min(count - done, capacity - filled_);
    std::memcpy(buffer_.data() + filled_, in + done, static_cast<size_t>(take));
    filled_ += take;
    done += take;
    if (filled_ == capacity) Flush();
  }
  return std::max(count, 0);
}

int64_t TIEBufferedWriteStream::Seek(int64_t offset, TSeekOrigin origin) {
  Flush();
  return target_.Seek(offset, origin);
}
