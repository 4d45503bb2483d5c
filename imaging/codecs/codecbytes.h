// Byte-level helpers of the codecs (and of the I/O component's stream
// headers): numbers packed in either byte order, read and written, exact
// reads, what remains of a stream, and an output that records a short
// write instead of raising.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>

#include "imaging/core/ruduvazez.h"
#include "platform/rtl/streams.h"

namespace codecbytes {

inline uint16_t LE16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline uint32_t LE32(const uint8_t* p) {
  return p[0] | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
inline uint16_t BE16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }
inline uint32_t BE32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}
inline uint64_t BE64(const uint8_t* p) { return uint64_t{BE32(p)} << 32 | BE32(p + 4); }
inline void PutLE16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutLE32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// Bytes from the position to the end, never negative.
inline int64_t Remaining(TStream& stream) { return std::max<int64_t>(0, stream.Size() - stream.Position()); }

// True when all count bytes were read.
inline bool ReadExact(TStream& stream, void* buffer, int64_t count) {
  if (count < 0 || count > INT32_MAX) return false;
  return count == 0 || stream.Read(buffer, static_cast<int32_t>(count)) == count;
}

// Moves the position forward by count; false when that passes the end.
inline bool Skip(TStream& stream, int64_t count) {
  if (count < 0 || count > Remaining(stream)) return false;
  stream.Seek(count, soCurrent);
  return true;
}

// Reads a stream through an 8192-byte buffer.
class BufferedInput {
public:
  explicit BufferedInput(TStream& stream) : stream_(stream) {}
  // Copies count bytes; false (with what there was copied) when the stream ends first.
  bool Get(uint8_t* dest, int32_t count) {
    while (count > 0) {
      if (at_ == filled_ && !Refill()) return false;
      const int32_t part = std::min(count, filled_ - at_);
      std::copy_n(buffer_ + at_, part, dest);
      at_ += part;
      dest += part;
      count -= part;
    }
    return true;
  }

private:
  bool Refill() {
    filled_ = std::max(stream_.Read(buffer_, sizeof buffer_), 0);
    at_ = 0;
    return filled_ > 0;
  }
  TStream& stream_;
  uint8_t buffer_[8192];
  int32_t filled_ = 0, at_ = 0;
};

// Writes through IESafeStreamWrite; Failed() tells a short write.
class Output {
public:
  explicit Output(TStream& stream) : stream_(stream) {}
  void Bytes(const void* data, int64_t count) {
    const auto* p = static_cast<const uint8_t*>(data);
    while (count > 0) {
      const auto part = static_cast<int32_t>(std::min<int64_t>(count, 1 << 30));
      IESafeStreamWrite(stream_, failed_, p, part);
      p += part;
      count -= part;
    }
  }
  void U8(uint32_t v) {
    const auto b = static_cast<uint8_t>(v);
    Bytes(&b, 1);
  }
  void LE16(uint32_t v) {
    U8(v);
    U8(v >> 8);
  }
  void LE32(uint32_t v) {
    LE16(v);
    LE16(v >> 16);
  }
  void BE16(uint32_t v) {
    U8(v >> 8);
    U8(v);
  }
  void BE32(uint32_t v) {
    BE16(v >> 16);
    BE16(v);
  }
  void BE64(uint64_t v) {
    BE32(static_cast<uint32_t>(v >> 32));
    BE32(static_cast<uint32_t>(v));
  }
  void Text(const std::string& s) { Bytes(s.data(), static_cast<int64_t>(s.size())); }
  bool Failed() const { return failed_; }
  TStream& Stream() { return stream_; }

private:
  TStream& stream_;
  bool failed_ = false;
};

}  // namespace codecbytes
