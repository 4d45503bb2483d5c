// What the JPEG 2000 reader and writer share: OpenJPEG's objects held for
// one call, its streams over ours, and the YCbCr tables.
#pragma once

#include <openjpeg.h>

#include <array>
#include <cstdint>
#include <memory>

class TStream;

namespace iej2000 {

struct TCodecRelease {
  void operator()(opj_codec_t* codec) const { opj_destroy_codec(codec); }
};
struct TImageRelease {
  void operator()(opj_image_t* image) const { opj_image_destroy(image); }
};
struct TStreamRelease {
  void operator()(opj_stream_t* stream) const { opj_stream_destroy(stream); }
};
using TCodec = std::unique_ptr<opj_codec_t, TCodecRelease>;
using TImage = std::unique_ptr<opj_image_t, TImageRelease>;
using TOpjStream = std::unique_ptr<opj_stream_t, TStreamRelease>;

// A decoder or encoder of the kind whose messages are discarded.
TCodec MakeDecoder(OPJ_CODEC_FORMAT kind);
TCodec MakeEncoder(OPJ_CODEC_FORMAT kind);

// OpenJPEG's stream over ours, positions counted from the stream's
// position now; the stream must outlive it. Exceptions of the stream end
// the transfer as a failed read or write.
TOpjStream MakeReadStream(TStream& stream);
TOpjStream MakeWriteStream(TStream& stream);

// The YCbCr to RGB tables, indexed by the 8-bit Cb or Cr sample.
struct TYCbCrTables {
  std::array<int32_t, 256> CrToR, CbToB, CrToG, CbToG;
};
const TYCbCrTables& YCbCrTables();

}  // namespace iej2000
