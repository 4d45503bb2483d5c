// The framework's streams: the abstract TStream, THandleStream over a file
// descriptor, TFileStream, the memory streams and TStringStream.
//
// Sections: TStream | THandleStream, TFileStream | TCustomMemoryStream,
// TMemoryStream | TStringStream
//
// Positions and sizes are 64-bit; a single Read or Write moves at most
// 2^31-1 bytes and returns how many it moved.
#pragma once

#include <cstdint>
#include <string>

#include "platform/rtl/object.h"

enum TSeekOrigin { soBeginning, soCurrent, soEnd };

// ---- TStream ------------------------------------------------------------------

class TStream : public TObject {
public:
  ~TStream() override = default;

  // Moves up to count bytes; returns how many were moved (0 at the end).
  virtual int32_t Read(void* buffer, int32_t count) = 0;
  virtual int32_t Write(const void* buffer, int32_t count) = 0;
  // Moves the position; returns the new position, or -1 when the stream
  // cannot seek.
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;

  int64_t Position() { return Seek(0, soCurrent); }
  void SetPosition(int64_t position) { Seek(position, soBeginning); }
  // The size found by seeking to the end and back.
  virtual int64_t Size();
  // Ignored by streams that cannot change their size.
  virtual void SetSize(int64_t newSize);

  // Read and Write that raise EReadError "Stream read error" and EWriteError
  // "Stream write error" when fewer bytes move.
  void ReadBuffer(void* buffer, int32_t count);
  void WriteBuffer(const void* buffer, int32_t count);
  // Copies count bytes from source's position; count 0 copies the whole
  // source from its start. Returns the bytes copied; raises on a short copy.
  int64_t CopyFrom(TStream& source, int64_t count);
};

// ---- THandleStream, TFileStream -------------------------------------------------

// A stream over an open file descriptor, which it does not close.
class THandleStream : public TStream {
public:
  explicit THandleStream(int handle) : handle_(handle) {}

  int32_t Read(void* buffer, int32_t count) override;
  int32_t Write(const void* buffer, int32_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  // Truncates or extends the file; raises EOSError when the system refuses.
  void SetSize(int64_t newSize) override;
  int Handle() const { return handle_; }

protected:
  int handle_;
};

// Open modes: one access value, or'ed with one share value; fmCreate creates
// the file anew (emptying an existing one) for reading and writing.
constexpr uint16_t fmCreate = 0xFF00;
constexpr uint16_t fmOpenRead = 0x0000;
constexpr uint16_t fmOpenWrite = 0x0001;
constexpr uint16_t fmOpenReadWrite = 0x0002;
constexpr uint16_t fmShareCompat = 0x0000;
constexpr uint16_t fmShareExclusive = 0x0010;
constexpr uint16_t fmShareDenyWrite = 0x0020;
constexpr uint16_t fmShareDenyRead = 0x0030;
constexpr uint16_t fmShareDenyNone = 0x0040;

// A stream over a named file. Share modes become advisory flock locks, which
// bind every TFileStream (in this process or another) but not programs that
// open the file without locking: fmShareExclusive and fmShareCompat take an
// exclusive lock, fmShareDenyWrite a shared one (so readers that deny writing
// coexist while an exclusive opener is refused), fmShareDenyRead and
// fmShareDenyNone none. A refused lock fails the open like a sharing
// violation. Failures raise EFCreateError "Cannot create file "%s". %s" or
// EFOpenError "Cannot open file "%s". %s" with the full file name and the
// system's text.
class TFileStream : public THandleStream {
public:
  TFileStream(const std::string& fileName, uint16_t mode);
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;
  ~TFileStream() override;

  const std::string& FileName() const { return fileName_; }

private:
  std::string fileName_;
};

// ---- TCustomMemoryStream, TMemoryStream ----------------------------------------

// Reads and seeks over a block of memory set by a derived class, which owns
// the block or not. Writing is the derived class's business (none here).
class TCustomMemoryStream : public TStream {
public:
  int32_t Read(void* buffer, int32_t count) override;
  int32_t Write(const void* buffer, int32_t count) override;  // writes nothing
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return size_; }

  void* Memory() const { return memory_; }
  void SaveToStream(TStream& stream);
  void SaveToFile(const std::string& fileName);

protected:
  void SetPointer(void* memory, int64_t size);
  int64_t DataSize() const { return size_; }
  int64_t position_ = 0;

private:
  void* memory_ = nullptr;
  int64_t size_ = 0;
};

// A growable stream in memory. The capacity grows geometrically; a size that
// cannot be allocated raises EOutOfMemory and leaves the stream as it was.
// Bytes between the old end and a new, larger size read as zero.
class TMemoryStream : public TCustomMemoryStream {
public:
  TMemoryStream() = default;
  TMemoryStream(const TMemoryStream&) = delete;
  TMemoryStream& operator=(const TMemoryStream&) = delete;
  ~TMemoryStream() override;

  int32_t Write(const void* buffer, int32_t count) override;
  void SetSize(int64_t newSize) override;
  void Clear();
  // Replaces the contents with the whole of the stream (read from its start)
  // or of the file; the position is kept.
  void LoadFromStream(TStream& stream);
  void LoadFromFile(const std::string& fileName);
  int64_t Capacity() const { return capacity_; }

private:
  void SetCapacity(int64_t capacity);
  void Grow(int64_t needed);

  int64_t capacity_ = 0;
};

// ---- TStringStream ----------------------------------------------------------------

// A memory stream whose contents are also a string; writing past the end
// extends it, writing inside overwrites.
class TStringStream : public TMemoryStream {
public:
  explicit TStringStream(const std::string& data = std::string());

  std::string DataString() const;
  // Up to count bytes from the position on.
  std::string ReadString(int32_t count);
  void WriteString(const std::string& s);
};
