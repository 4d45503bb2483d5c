// JPEG 2000 reading and writing of a 20-megapixel photo: our reader and
// writer (into and from an image bitmap, through memory streams) against
// bare OpenJPEG loops on the same data in the same run, with the writer's
// default settings on both sides (one layer at the ratio 1/0.07,
// irreversible wavelet, colour transform, layer-first progression, six
// resolution levels, JP2 file). Each benchmark runs both in alternating
// rounds, timed in the thread's CPU time, and reports "bare_x" (the bare
// loop's time / ours per round: 1 is as fast, above 1 ours is faster) as
// median, lowest and highest, and "load1", the load average at the end.
//
// The bare reader interleaves the decoded components into a buffer of the
// same layout as our image (blue, green, red), allocated without being
// cleared, as our image is; the bare writer takes its samples from our
// image's rows.
#include <benchmark/benchmark.h>

#include <openjpeg.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/io/iej2000.h"
#include "imaging/io/imageryio_params.h"
#include "platform/rtl/streams.h"
#include "bench/photo_pairs.h"

namespace {

constexpr double kRate = 0.07;  // the writer's default

// ---- OpenJPEG's stream over a byte vector ------------------------------------------------

struct Bytes {
  std::vector<uint8_t>* data;
  size_t at;
};

OPJ_SIZE_T ReadBytes(void* buffer, OPJ_SIZE_T count, void* user) {
  auto* b = static_cast<Bytes*>(user);
  const size_t n = std::min(count, b->data->size() - b->at);
  if (n == 0) return static_cast<OPJ_SIZE_T>(-1);
  std::memcpy(buffer, b->data->data() + b->at, n);
  b->at += n;
  return n;
}

OPJ_SIZE_T WriteBytes(void* buffer, OPJ_SIZE_T count, void* user) {
  auto* b = static_cast<Bytes*>(user);
  if (b->at + count > b->data->size()) b->data->resize(b->at + count);
  std::memcpy(b->data->data() + b->at, buffer, count);
  b->at += count;
  return count;
}

OPJ_OFF_T SkipBytes(OPJ_OFF_T count, void* user) {
  auto* b = static_cast<Bytes*>(user);
  b->at = static_cast<size_t>(static_cast<OPJ_OFF_T>(b->at) + count);
  return count;
}

OPJ_BOOL SeekTo(OPJ_OFF_T position, void* user) {
  static_cast<Bytes*>(user)->at = static_cast<size_t>(position);
  return OPJ_TRUE;
}

opj_stream_t* MakeStream(Bytes& bytes, bool input) {
  opj_stream_t* stream = opj_stream_default_create(input ? OPJ_TRUE : OPJ_FALSE);
  opj_stream_set_user_data(stream, &bytes, nullptr);
  if (input) {
    opj_stream_set_user_data_length(stream, bytes.data->size());
    opj_stream_set_read_function(stream, ReadBytes);
  } else {
    opj_stream_set_write_function(stream, WriteBytes);
  }
  opj_stream_set_skip_function(stream, SkipBytes);
  opj_stream_set_seek_function(stream, SeekTo);
  return stream;
}

// ---- the bare loops -----------------------------------------------------------------------

std::vector<uint8_t> BareEncode(TIEBitmap& photo) {
  const int32_t width = photo.GetWidth(), height = photo.GetHeight();
  opj_image_cmptparm_t parts[3] = {};
  for (opj_image_cmptparm_t& part : parts) {
    part.dx = part.dy = 1;
    part.w = static_cast<OPJ_UINT32>(width);
    part.h = static_cast<OPJ_UINT32>(height);
    part.prec = 8;
  }
  opj_image_t* image = opj_image_create(3, parts, OPJ_CLRSPC_SRGB);
  image->x1 = static_cast<OPJ_UINT32>(width);
  image->y1 = static_cast<OPJ_UINT32>(height);
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* row = photo.GetScanline(y);
    const size_t at = static_cast<size_t>(y) * static_cast<size_t>(width);
    for (int32_t x = 0; x < width; ++x)
      for (int32_t c = 0; c < 3; ++c) image->comps[c].data[at + static_cast<size_t>(x)] = row[3 * x + 2 - c];
  }
  opj_cparameters_t p;
  opj_set_default_encoder_parameters(&p);
  p.tcp_numlayers = 1;
  p.cp_disto_alloc = 1;
  p.tcp_rates[0] = static_cast<float>(1 / kRate);
  p.irreversible = 1;
  p.prog_order = OPJ_LRCP;
  p.tcp_mct = 1;
  std::vector<uint8_t> out;
  Bytes target{&out, 0};
  opj_codec_t* codec = opj_create_compress(OPJ_CODEC_JP2);
  opj_stream_t* stream = MakeStream(target, false);
  const bool ok = opj_setup_encoder(codec, &p, image) && opj_start_compress(codec, image, stream) &&
                  opj_encode(codec, stream) && opj_end_compress(codec, stream);
  opj_stream_destroy(stream);
  opj_destroy_codec(codec);
  opj_image_destroy(image);
  if (!ok) out.clear();
  return out;
}

// Decodes into a new block of blue, green, red rows; false on failure.
bool BareDecode(std::vector<uint8_t>& data, std::unique_ptr<uint8_t[]>& pixels) {
  Bytes source{&data, 0};
  opj_codec_t* codec = opj_create_decompress(OPJ_CODEC_JP2);
  opj_stream_t* stream = MakeStream(source, true);
  opj_dparameters_t p;
  opj_set_default_decoder_parameters(&p);
  opj_image_t* image = nullptr;
  bool ok = opj_setup_decoder(codec, &p) && opj_read_header(stream, codec, &image) &&
            opj_decode(codec, stream, image) && opj_end_decompress(codec, stream) && image->numcomps >= 3;
  if (ok) {
    const size_t width = image->comps[0].w, height = image->comps[0].h;
    pixels.reset(new uint8_t[width * height * 3]);
    uint8_t* out = pixels.get();
    for (size_t i = 0; i < width * height; ++i)
      for (size_t c = 0; c < 3; ++c)
        out[3 * i + 2 - c] = static_cast<uint8_t>(std::clamp<OPJ_INT32>(image->comps[c].data[i], 0, 255));
  }
  opj_image_destroy(image);
  opj_stream_destroy(stream);
  opj_destroy_codec(codec);
  return ok;
}

std::vector<uint8_t>& PhotoJp2() {
  static std::vector<uint8_t> jp2 = BareEncode(Photo());
  return jp2;
}

// ---- the benchmarks -----------------------------------------------------------------------

void Jpeg2000Read(benchmark::State& state) {
  std::vector<uint8_t>& data = PhotoJp2();
  if (data.empty()) return state.SkipWithError("no input");
  TIEMemStream stream(data.data(), static_cast<int64_t>(data.size()));
  Pair(
      state,
      [&] {
        std::unique_ptr<uint8_t[]> pixels;  // a new image each time, as a reader makes
        if (!BareDecode(data, pixels)) state.SkipWithError("bare read failed");
        benchmark::DoNotOptimize(pixels.get());
      },
      [&] {
        stream.SetPosition(0);
        TIEBitmap bitmap;
        TIOParamsVals params(nullptr);
        Progress progress;
        IEReadJpeg2000Stream(stream, &bitmap, params, progress.record, false);
        if (progress.aborting) state.SkipWithError("read failed");
        benchmark::DoNotOptimize(bitmap.GetScanline(0));
      },
      5);
}

void Jpeg2000Write(benchmark::State& state) {
  TIEBitmap& photo = Photo();
  Pair(
      state, [&] { benchmark::DoNotOptimize(BareEncode(photo).size()); },
      [&] {
        TMemoryStream stream;
        TIOParamsVals params(nullptr);
        params.J2000_RATE = kRate;
        Progress progress;
        IEWriteJpeg2000Stream(stream, photo, params, progress.record, 0);
        if (progress.aborting) state.SkipWithError("write failed");
        benchmark::DoNotOptimize(stream.Size());
      },
      3);
}

}  // namespace

BENCHMARK(Jpeg2000Read)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(Jpeg2000Write)->Unit(benchmark::kMillisecond)->Iterations(1);
