// Temporary files and the file buffer behind file-held images.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <new>
#include <random>

#include "imaging/core/iesettings.h"
#include "platform/rtl/exceptions.h"
#include "platform/win/kernel_files.h"
#include "imaging/core/ruduvazez.h"

namespace {

constexpr int64_t kCopyBuffer = 1048576;
constexpr int32_t kMaxPiece = std::numeric_limits<int32_t>::max();

bool EntryExists(const std::string& name) {
  struct stat info {};
  return ::lstat(name.c_str(), &info) == 0;
}

// Reads or writes size bytes at position in pieces a single call can move.
template <class Move>
void MoveRange(TStream& stream, int64_t position, int64_t size, Move move) {
  stream.SetPosition(position);
  for (int64_t done = 0; done < size;) {
    int32_t piece = static_cast<int32_t>(std::min<int64_t>(size - done, kMaxPiece));
    if (move(done, piece) != piece) return;
    done += piece;
  }
}

}  // namespace

// ---- names ------------------------------------------------------------------------------

std::string IETempFolder() {
  const std::string& folder = IEGetGlobalSettings()->TempFolder;
  return folder.empty() ? GetTempPathA().substr(0, 250) : folder;
}

std::string IEMakeUniqueFileName(const std::string& prefix, const std::string& folder) {
  static thread_local std::mt19937 generator{std::random_device{}()};
  std::uniform_int_distribution<uint32_t> draw(0, 0x7FFFFFFE);
  std::string name;
  do {
    char digits[9];
    std::snprintf(digits, sizeof digits, "%08X", draw(generator));
    name = folder + prefix + "-" + digits + ".tmp";
  } while (EntryExists(name));
  return name;
}

std::string IEGetTempFileName() { return IEMakeUniqueFileName("ietemp", IETempFolder()); }

// ---- TIETemporaryFileStream ----------------------------------------------------------------

TIETemporaryFileStream::TIETemporaryFileStream(const std::string& fileName)
    : THandleStream(::open(fileName.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600)) {
  if (handle_ < 0) throw EInOutError(errno, "Unable to create " + fileName);
  ::unlink(fileName.c_str());
}

TIETemporaryFileStream::~TIETemporaryFileStream() {
  if (handle_ >= 0) ::close(handle_);
}

// ---- TIEFileBuffer ------------------------------------------------------------------------

TIEFileBuffer::~TIEFileBuffer() { Close(); }

bool TIEFileBuffer::Allocate(const std::string& prefix, bool useFile, int64_t size) {
  Close();
  fileName_ = IEMakeUniqueFileName(prefix, IETempFolder());
  try {
    if (useFile)
      stream_ = std::make_unique<TIETemporaryFileStream>(fileName_);
    else
      stream_ = std::make_unique<TMemoryStream>();
    stream_->SetSize(size);
    return true;
  } catch (...) {
    return false;
  }
}

void TIEFileBuffer::SetSize(int64_t size) {
  if (stream_) stream_->SetSize(size);
}

void TIEFileBuffer::Close() {
  if (!stream_) return;
  UnmapAll();
  // The temporary file has no name any more, so nothing is left to delete.
  stream_.reset();
}

uint8_t* TIEFileBuffer::Map(uint8_t access, int64_t size, int64_t position) {
  if (size < 0 || static_cast<uint64_t>(size) > std::numeric_limits<size_t>::max()) return nullptr;
  std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[static_cast<size_t>(std::max<int64_t>(size, 1))]());
  if (!buffer) return nullptr;
  if (stream_ && (access & imRead))
    MoveRange(*stream_, position, size, [&](int64_t done, int32_t piece) { return stream_->Read(buffer.get() + done, piece); });
  uint8_t* result = buffer.get();
  mappings_.push_back(TMapping{position, size, std::move(buffer), access});
  return result;
}

int32_t TIEFileBuffer::FindMapping(const uint8_t* buffer) const {
  for (size_t i = 0; i < mappings_.size(); ++i)
    if (mappings_[i].buffer.get() == buffer) return static_cast<int32_t>(i);
  return -1;
}

void TIEFileBuffer::Unmap(const uint8_t* buffer) {
  const int32_t index = FindMapping(buffer);
  if (index < 0) RaiseListIndexError(index);
  TMapping& m = mappings_[static_cast<size_t>(index)];
  if (stream_ && (m.access & imWrite))
    MoveRange(*stream_, m.position, m.size, [&](int64_t done, int32_t piece) { return stream_->Write(m.buffer.get() + done, piece); });
  mappings_.erase(mappings_.begin() + index);
}

void TIEFileBuffer::UnmapAll() {
  if (!stream_) return;
  while (!mappings_.empty()) Unmap(mappings_.back().buffer.get());
}

void TIEFileBuffer::CopyTo(TIEFileBuffer& dest, int64_t count, int64_t position) {
  if (!stream_ || !dest.stream_) return;
  UnmapAll();
  dest.UnmapAll();
  stream_->SetPosition(position);
  dest.stream_->SetPosition(position);
  if (count <= 0) return;
  std::vector<uint8_t> buffer(static_cast<size_t>(std::min(count, kCopyBuffer)));
  for (int64_t left = count; left > 0;) {
    int32_t got = stream_->Read(buffer.data(), static_cast<int32_t>(std::min(left, kCopyBuffer)));
    if (got <= 0) return;
    dest.stream_->Write(buffer.data(), got);
    left -= got;
  }
}

void TIEFileBuffer::CopyToStream(TStream& stream, int64_t count, int64_t position) {
  if (!stream_) return;
  UnmapAll();
  stream_->SetPosition(position);
  IECopyStream(stream, *stream_, count);
}

int64_t TIEFileBuffer::CopyFromStream(TStream& source, int64_t count, int64_t position) {
  if (!stream_ || count <= 0) return 0;
  UnmapAll();
  stream_->SetPosition(position);
  return IECopyStream(*stream_, source, count);
}
