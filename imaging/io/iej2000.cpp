// JPEG 2000 set-up, signature tests, OpenJPEG's streams over ours and the
// I/O component's entry points; see iej2000.h.
#include "imaging/io/iej2000.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <limits>

#include "imaging/io/iej2000_internal.h"
#include "imaging/io/imageryio_codecs.h"
#include "platform/rtl/streams.h"

namespace iej2000 {

TOnDemandLibraries& Libraries() {
  static TOnDemandLibraries libraries{VESK_OPJ_SONAMES};
  return libraries;
}

namespace {

std::atomic<bool> initialized{false};

void Discard(const char*, void*) {}

TCodec Quiet(opj_codec_t* codec) {
  if (codec) {
    opj_set_info_handler(codec, Discard, nullptr);
    opj_set_warning_handler(codec, Discard, nullptr);
    opj_set_error_handler(codec, Discard, nullptr);
  }
  return TCodec(codec);
}

// ---- streams ---------------------------------------------------------------------

struct TTarget {
  TStream* stream;
  int64_t base;
};

constexpr OPJ_SIZE_T kTransferFailed = static_cast<OPJ_SIZE_T>(-1);
constexpr OPJ_SIZE_T kStreamBuffer = 65536;

OPJ_SIZE_T ReadBytes(void* buffer, OPJ_SIZE_T count, void* user) {
  auto* target = static_cast<TTarget*>(user);
  auto* out = static_cast<uint8_t*>(buffer);
  OPJ_SIZE_T done = 0;
  try {
    while (done < count) {
      const auto chunk = static_cast<int32_t>(std::min<OPJ_SIZE_T>(count - done, 1 << 30));
      const int32_t got = target->stream->Read(out + done, chunk);
      if (got <= 0) break;
      done += static_cast<OPJ_SIZE_T>(got);
    }
  } catch (...) {
    return kTransferFailed;
  }
  return done == 0 ? kTransferFailed : done;
}

OPJ_SIZE_T WriteBytes(void* buffer, OPJ_SIZE_T count, void* user) {
  auto* target = static_cast<TTarget*>(user);
  const auto* in = static_cast<const uint8_t*>(buffer);
  OPJ_SIZE_T done = 0;
  try {
    while (done < count) {
      const auto chunk = static_cast<int32_t>(std::min<OPJ_SIZE_T>(count - done, 1 << 30));
      target->stream->WriteBuffer(in + done, chunk);
      done += static_cast<OPJ_SIZE_T>(chunk);
    }
  } catch (...) {
    return kTransferFailed;
  }
  return done;
}

OPJ_BOOL SeekTo(OPJ_OFF_T position, void* user) {
  auto* target = static_cast<TTarget*>(user);
  try {
    if (position < 0) return OPJ_FALSE;
    const int64_t wanted = target->base + position;
    return target->stream->Seek(wanted, soBeginning) == wanted ? OPJ_TRUE : OPJ_FALSE;
  } catch (...) {
    return OPJ_FALSE;
  }
}

OPJ_OFF_T SkipBy(OPJ_OFF_T count, void* user) {
  auto* target = static_cast<TTarget*>(user);
  try {
    const int64_t from = target->stream->Position() - target->base;
    if (count < 0 && -count > from) return -1;
    if (count > 0 && from > std::numeric_limits<int64_t>::max() - count) return -1;
    return SeekTo(from + count, user) ? count : -1;
  } catch (...) {
    return -1;
  }
}

void FreeTarget(void* user) { delete static_cast<TTarget*>(user); }

TOpjStream MakeStream(TStream& stream, bool input) {
  TOpjStream result(opj_stream_create(kStreamBuffer, input ? OPJ_TRUE : OPJ_FALSE));
  if (!result) return result;
  const int64_t base = stream.Position();
  opj_stream_set_user_data(result.get(), new TTarget{&stream, base}, FreeTarget);
  if (input) {
    opj_stream_set_user_data_length(result.get(), static_cast<OPJ_UINT64>(std::max<int64_t>(0, stream.Size() - base)));
    opj_stream_set_read_function(result.get(), ReadBytes);
  } else {
    opj_stream_set_write_function(result.get(), WriteBytes);
  }
  opj_stream_set_skip_function(result.get(), SkipBy);
  opj_stream_set_seek_function(result.get(), SeekTo);
  return result;
}

// ---- YCbCr tables ------------------------------------------------------------------

TYCbCrTables BuildYCbCrTables() {
  const long double kr = 0.299f, kg = 0.587f, kb = 0.114f;
  TYCbCrTables t{};
  for (int32_t i = 0; i < 256; ++i) {
    const long double d = i - 128;
    const auto nearest = [](long double v) { return static_cast<int32_t>(std::nearbyint(v)); };
    t.CrToR[i] = nearest((2 - 2 * kr) * d);
    t.CbToB[i] = nearest((2 - 2 * kb) * d);
    t.CrToG[i] = -nearest(kr * (2 - 2 * kr) / kg * d);
    t.CbToG[i] = -nearest(kb * (2 - 2 * kb) / kg * d);
  }
  return t;
}

}  // namespace

TCodec MakeDecoder(OPJ_CODEC_FORMAT kind) { return Quiet(opj_create_decompress(kind)); }
TCodec MakeEncoder(OPJ_CODEC_FORMAT kind) { return Quiet(opj_create_compress(kind)); }
TOpjStream MakeReadStream(TStream& stream) { return MakeStream(stream, true); }
TOpjStream MakeWriteStream(TStream& stream) { return MakeStream(stream, false); }

const TYCbCrTables& YCbCrTables() {
  static const TYCbCrTables tables = BuildYCbCrTables();
  return tables;
}

}  // namespace iej2000

// ---- set-up and signatures ------------------------------------------------------------

void IEInitJpeg2000() {
  if (iej2000::initialized.load()) return;
  iej2000::YCbCrTables();
  iej2000::initialized.store(true);
}

// OpenJPEG keeps no process-wide state: nothing is left to release.
void IEFinalizeJpeg2000() { iej2000::initialized.store(false); }

bool IEJpeg2000Initialized() { return iej2000::initialized.load(); }

namespace {

// count big-endian values of `width` bytes from the position, which stays.
template <size_t N>
bool PeekBigEndian(TStream& stream, int32_t width, std::array<uint32_t, N>& values) {
  const int64_t start = stream.Position();
  uint8_t bytes[N * 4] = {};
  const int32_t wanted = static_cast<int32_t>(N) * width;
  const int32_t got = stream.Read(bytes, wanted);
  stream.SetPosition(start);
  if (got != wanted) return false;
  for (size_t i = 0; i < N; ++i) {
    values[i] = 0;
    for (int32_t b = 0; b < width; ++b) values[i] = values[i] << 8 | bytes[i * static_cast<size_t>(width) + b];
  }
  return true;
}

}  // namespace

bool IEIsJP2Stream(TStream& stream) {
  std::array<uint32_t, 3> v{};
  return PeekBigEndian(stream, 4, v) && v[0] == 12 && v[1] == 0x6A502020 && v[2] == 0x0D0A870A;
}

bool IEIsJ2KStream(TStream& stream) {
  std::array<uint32_t, 2> v{};
  return PeekBigEndian(stream, 2, v) && v[0] == 0xFF4F && v[1] == 0xFF51;
}

// ---- entry points --------------------------------------------------------------------

void IEJpeg2000CodecRead(TIECodecRead& read) {
  IEReadJpeg2000Stream(read.Stream, read.Bitmap, read.Params, read.Progress, read.ParamsOnly);
}

void IEJP2CodecWrite(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress) {
  IEWriteJpeg2000Stream(stream, bitmap, params, progress, 0);
}

void IEJ2KCodecWrite(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress) {
  IEWriteJpeg2000Stream(stream, bitmap, params, progress, 1);
}
