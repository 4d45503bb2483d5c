// Compressed streams over zlib (RFC 1950: header and checksum, no gzip
// wrapper): a stream that deflates what is written to it into another
// stream, one that inflates what is read from it out of another stream, and
// the inflation of a whole block in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/streams.h"

RTL_DECLARE_EXCEPTION(EZLibError, Exception);
RTL_DECLARE_EXCEPTION(EZCompressionError, EZLibError);
RTL_DECLARE_EXCEPTION(EZDecompressionError, EZLibError);

// Compression levels: store, fastest, zlib's default, best.
enum TZCompressionLevel : uint8_t { zcNone, zcFastest, zcDefault, zcMax };

constexpr int32_t IE_ZBUFFER_SIZE = 65536;

// What the two streams share: the wrapped stream (not owned), where they
// last left it, the zlib state and one 64 KB buffer.
class TCustomZStream : public TStream {
public:
  ~TCustomZStream() override;
  TCustomZStream(const TCustomZStream&) = delete;
  TCustomZStream& operator=(const TCustomZStream&) = delete;

  // Called once per 64 KB block moved to or from the wrapped stream.
  TNotifyEvent OnProgress;

protected:
  explicit TCustomZStream(TStream& stream);
  void Progress();
  // Puts the wrapped stream back where this object left it.
  void RestorePosition();

  struct TZState;
  TStream& Stream;
  int64_t StreamPos;
  std::unique_ptr<TZState> ZStream;
  std::vector<uint8_t> Buffer;
};

class TZCompressionStream : public TCustomZStream {
public:
  // windowBits is accepted for the callers' sake; zlib's 15 is always used.
  TZCompressionStream(TStream& dest, TZCompressionLevel level = zcDefault, int32_t windowBits = 15);
  // Finishes the zlib stream into the destination.
  ~TZCompressionStream() override;

  int32_t Read(void* buffer, int32_t count) override;  // raises
  int32_t Write(const void* buffer, int32_t count) override;
  // Moves nothing; answers the bytes taken in so far.
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  // Ends the zlib stream and writes what remains into the destination; the
  // destructor does it too, but cannot report a failure.
  void Finish();

private:
  void WriteBuffered(size_t count);
  bool finished_ = false;
};

class TZDecompressionStream : public TCustomZStream {
public:
  explicit TZDecompressionStream(TStream& source);
  ~TZDecompressionStream() override;

  // Bytes produced; fewer than asked at the end of the data or of a truncated
  // source.
  int32_t Read(void* buffer, int32_t count) override;
  int32_t Write(const void* buffer, int32_t count) override;  // raises
  // (0, from beginning) restarts where the data began in the source; forward moves
  // read and discard; (0, from end) reads to the end; others raise. Answers
  // the bytes produced so far.
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;

private:
  void Skip(int64_t count);
  int64_t start_;
  bool ended_ = false;
};

// The most ZDecompressBuffer produces unless the caller says otherwise.
constexpr size_t IE_ZDECOMPRESS_LIMIT = size_t{1} << 30;

// Inflates a whole zlib stream. The output starts at outEstimate bytes (or
// the input size rounded up to 256) and doubles as needed. Raises
// EZDecompressionError on damaged or truncated data and when the output
// would pass outLimit.
std::vector<uint8_t> ZDecompressBuffer(const void* inBuf, size_t inBytes, size_t outEstimate = 0,
                                       size_t outLimit = IE_ZDECOMPRESS_LIMIT);
