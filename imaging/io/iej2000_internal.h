// What the JPEG 2000 reader and writer share: OpenJPEG, loaded on first
// use, its objects held for one call, its streams over ours, and the YCbCr
// tables.
#pragma once

#include <openjpeg.h>

#include <array>
#include <cstdint>
#include <memory>

#include "platform/rtl/ondemand.h"

class TStream;

namespace iej2000 {

// OpenJPEG, loaded when a program first reads or writes a JPEG 2000 image,
// so that programs that never do are spared mapping it. The entry points
// ask whether it loads before any call reaches it.
TOnDemandLibraries& Libraries();

}  // namespace iej2000

#define VESK_OPJ(name) VESK_ON_DEMAND(iej2000::Libraries(), name)

// Every function of OpenJPEG that the codec calls (programs do not link the
// library: a function missing here fails to link).
#define opj_create_compress VESK_OPJ(opj_create_compress)
#define opj_create_decompress VESK_OPJ(opj_create_decompress)
#define opj_decode VESK_OPJ(opj_decode)
#define opj_destroy_codec VESK_OPJ(opj_destroy_codec)
#define opj_destroy_cstr_info VESK_OPJ(opj_destroy_cstr_info)
#define opj_encode VESK_OPJ(opj_encode)
#define opj_end_compress VESK_OPJ(opj_end_compress)
#define opj_end_decompress VESK_OPJ(opj_end_decompress)
#define opj_get_cstr_info VESK_OPJ(opj_get_cstr_info)
#define opj_image_create VESK_OPJ(opj_image_create)
#define opj_image_destroy VESK_OPJ(opj_image_destroy)
#define opj_read_header VESK_OPJ(opj_read_header)
#define opj_set_decoded_components VESK_OPJ(opj_set_decoded_components)
#define opj_set_default_decoder_parameters VESK_OPJ(opj_set_default_decoder_parameters)
#define opj_set_default_encoder_parameters VESK_OPJ(opj_set_default_encoder_parameters)
#define opj_set_error_handler VESK_OPJ(opj_set_error_handler)
#define opj_set_info_handler VESK_OPJ(opj_set_info_handler)
#define opj_set_warning_handler VESK_OPJ(opj_set_warning_handler)
#define opj_setup_decoder VESK_OPJ(opj_setup_decoder)
#define opj_setup_encoder VESK_OPJ(opj_setup_encoder)
#define opj_start_compress VESK_OPJ(opj_start_compress)
#define opj_stream_create VESK_OPJ(opj_stream_create)
#define opj_stream_destroy VESK_OPJ(opj_stream_destroy)
#define opj_stream_set_read_function VESK_OPJ(opj_stream_set_read_function)
#define opj_stream_set_seek_function VESK_OPJ(opj_stream_set_seek_function)
#define opj_stream_set_skip_function VESK_OPJ(opj_stream_set_skip_function)
#define opj_stream_set_user_data VESK_OPJ(opj_stream_set_user_data)
#define opj_stream_set_user_data_length VESK_OPJ(opj_stream_set_user_data_length)
#define opj_stream_set_write_function VESK_OPJ(opj_stream_set_write_function)

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
