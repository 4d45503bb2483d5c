#include "imaging/core/iezlib.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <string>

namespace {

const char* const kInvalidOperation = "Invalid ZStream operation!";
constexpr int32_t kSkipChunk = 8192;
constexpr size_t kMaxDeflateRatio = 1032;

// zlib's error texts by negative code.
std::string ZErrorText(int code) {
  static const char* const kTexts[] = {"file error",          "stream error", "data error",
                                       "insufficient memory", "buffer error", "incompatible version"};
  return code <= -1 && code >= -6 ? kTexts[-code - 1] : "zlib error " + std::to_string(code);
}

template <class E>
int Check(int code) {
  if (code < 0) throw E(ZErrorText(code));
  return code;
}

int CompressCheck(int code) { return Check<EZCompressionError>(code); }
int DecompressCheck(int code) {
  // A stream that wants a preset dictionary cannot be read here.
  if (code == Z_NEED_DICT) code = Z_DATA_ERROR;
  return Check<EZDecompressionError>(code);
}

constexpr int kLevels[] = {0, 1, Z_DEFAULT_COMPRESSION, 9};

}  // namespace

struct TCustomZStream::TZState {
  z_stream z{};
};

// ---- TCustomZStream -----------------------------------------------------------------

TCustomZStream::TCustomZStream(TStream& stream)
    : Stream(stream), StreamPos(stream.Position()), ZStream(std::make_unique<TZState>()), Buffer(IE_ZBUFFER_SIZE) {}

TCustomZStream::~TCustomZStream() = default;

void TCustomZStream::Progress() {
  if (OnProgress) OnProgress(this);
}

void TCustomZStream::RestorePosition() {
  if (Stream.Position() != StreamPos) Stream.SetPosition(StreamPos);
}

// ---- TZCompressionStream ------------------------------------------------------------

TZCompressionStream::TZCompressionStream(TStream& dest, TZCompressionLevel level, int32_t)
    : TCustomZStream(dest) {
  z_stream& z = ZStream->z;
  CompressCheck(deflateInit(&z, kLevels[std::min<int>(level, zcMax)]));
  z.next_out = Buffer.data();
  z.avail_out = IE_ZBUFFER_SIZE;
}

TZCompressionStream::~TZCompressionStream() {
  try {
    Finish();
  } catch (...) {
    // A destructor cannot report; callers that need to know call Finish.
  }
  deflateEnd(&ZStream->z);
}

void TZCompressionStream::WriteBuffered(size_t count) {
  Stream.WriteBuffer(Buffer.data(), static_cast<int32_t>(count));
  ZStream->z.next_out = Buffer.data();
  ZStream->z.avail_out = IE_ZBUFFER_SIZE;
  StreamPos = Stream.Position();
}

int32_t TZCompressionStream::Read(void*, int32_t) { throw EZCompressionError(kInvalidOperation); }

int32_t TZCompressionStream::Write(const void* buffer, int32_t count) {
  if (finished_) throw EZCompressionError(kInvalidOperation);
  if (count <= 0) return 0;
  z_stream& z = ZStream->z;
  z.next_in = static_cast<Bytef*>(const_cast<void*>(buffer));
  z.avail_in = static_cast<uInt>(count);
  RestorePosition();
  while (z.avail_in > 0) {
    CompressCheck(deflate(&z, Z_NO_FLUSH));
    if (z.avail_out == 0) {
      WriteBuffered(IE_ZBUFFER_SIZE);
      Progress();
    }
  }
  return count;
}

void TZCompressionStream::Finish() {
  if (finished_) return;
  finished_ = true;
  z_stream& z = ZStream->z;
  z.next_in = nullptr;
  z.avail_in = 0;
  RestorePosition();
  while (CompressCheck(deflate(&z, Z_FINISH)) != Z_STREAM_END) WriteBuffered(IE_ZBUFFER_SIZE - z.avail_out);
  if (z.avail_out < static_cast<uInt>(IE_ZBUFFER_SIZE)) WriteBuffered(IE_ZBUFFER_SIZE - z.avail_out);
}

int64_t TZCompressionStream::Seek(int64_t, TSeekOrigin) { return static_cast<int64_t>(ZStream->z.total_in); }

// ---- TZDecompressionStream ----------------------------------------------------------

TZDecompressionStream::TZDecompressionStream(TStream& source) : TCustomZStream(source), start_(StreamPos) {
  z_stream& z = ZStream->z;
  z.next_in = Buffer.data();
  z.avail_in = 0;
  DecompressCheck(inflateInit(&z));
}

TZDecompressionStream::~TZDecompressionStream() { inflateEnd(&ZStream->z); }

int32_t TZDecompressionStream::Write(const void*, int32_t) { throw EZDecompressionError(kInvalidOperation); }

int32_t TZDecompressionStream::Read(void* buffer, int32_t count) {
  if (count <= 0) return 0;
  z_stream& z = ZStream->z;
  z.next_out = static_cast<Bytef*>(buffer);
  z.avail_out = static_cast<uInt>(count);
  RestorePosition();
  while (z.avail_out > 0 && !ended_) {
    if (z.avail_in == 0) {
      int32_t got = Stream.Read(Buffer.data(), IE_ZBUFFER_SIZE);
      if (got <= 0) break;
      z.next_in = Buffer.data();
      z.avail_in = static_cast<uInt>(got);
      StreamPos = Stream.Position();
      Progress();
    }
    ended_ = DecompressCheck(inflate(&z, Z_NO_FLUSH)) == Z_STREAM_END;
  }
  if (ended_ && z.avail_in > 0) {
    StreamPos = Stream.Seek(-static_cast<int64_t>(z.avail_in), soCurrent);
    z.avail_in = 0;
  }
  return count - static_cast<int32_t>(z.avail_out);
}

void TZDecompressionStream::Skip(int64_t count) {
  std::vector<uint8_t> scratch(kSkipChunk);
  for (; count > 0; count -= kSkipChunk) ReadBuffer(scratch.data(), static_cast<int32_t>(std::min<int64_t>(count, kSkipChunk)));
}

int64_t TZDecompressionStream::Seek(int64_t offset, TSeekOrigin origin) {
  z_stream& z = ZStream->z;
  const int64_t produced = static_cast<int64_t>(z.total_out);
  if (offset == 0 && origin == soBeginning) {
    DecompressCheck(inflateReset(&z));
    z.next_in = Buffer.data();
    z.avail_in = 0;
    ended_ = false;
    Stream.SetPosition(start_);
    StreamPos = start_;
  } else if ((origin == soCurrent && offset >= 0) || (origin == soBeginning && offset > produced)) {
    Skip(origin == soBeginning ? offset - produced : offset);
  } else if (offset == 0 && origin == soEnd) {
    std::vector<uint8_t> scratch(kSkipChunk);
    while (Read(scratch.data(), kSkipChunk) > 0) {
    }
  } else {
    throw EZDecompressionError(kInvalidOperation);
  }
  return static_cast<int64_t>(z.total_out);
}

// ---- ZDecompressBuffer ---------------------------------------------------------------

std::vector<uint8_t> ZDecompressBuffer(const void* inBuf, size_t inBytes, size_t outEstimate, size_t outLimit) {
  const size_t delta = std::max<size_t>(256, (inBytes + 255) / 256 * 256);
  // Deflate expands at most 1032 times: a larger estimate (read from a
  // damaged header, say) cannot be needed.
  const size_t most = inBytes > (SIZE_MAX - 64) / kMaxDeflateRatio ? SIZE_MAX : inBytes * kMaxDeflateRatio + 64;
  std::vector<uint8_t> out(std::min({outEstimate ? outEstimate : delta, most, std::max<size_t>(outLimit, 1)}));
  z_stream z{};
  DecompressCheck(inflateInit(&z));
  struct TEnd {
    z_stream& z;
    ~TEnd() { inflateEnd(&z); }
  } end{z};
  const auto* in = static_cast<const Bytef*>(inBuf);
  size_t inLeft = inBytes;
  auto feed = [&] {
    if (z.avail_in == 0 && inLeft > 0) {
      z.next_in = const_cast<Bytef*>(in);
      z.avail_in = static_cast<uInt>(std::min<size_t>(inLeft, UINT_MAX));
      in += z.avail_in;
      inLeft -= z.avail_in;
    }
  };
  auto room = [&] {
    z.next_out = out.data() + z.total_out;
    z.avail_out = static_cast<uInt>(std::min<size_t>(out.size() - z.total_out, UINT_MAX));
  };
  room();
  for (;;) {
    feed();
    int code = inflate(&z, Z_NO_FLUSH);
    if (code == Z_STREAM_END) break;
    // Stuck with room left: the input ended before the data did.
    if (code == Z_BUF_ERROR && z.avail_out > 0) throw EZDecompressionError(ZErrorText(Z_BUF_ERROR));
    DecompressCheck(code == Z_BUF_ERROR ? Z_OK : code);
    if (z.avail_out == 0) {
      if (out.size() >= outLimit) throw EZDecompressionError(ZErrorText(Z_MEM_ERROR));
      out.resize(std::min(std::max(out.size() * 2, out.size() + delta), outLimit));
      room();
    }
  }
  out.resize(z.total_out);
  return out;
}
