// JPEG and PNG reading and writing of a 20-megapixel photo: our codecs
// (into and from an image bitmap, through memory streams, and the load of
// a file by name through the I/O component) against bare libjpeg and
// libpng loops on the same data in the same run, with the same settings
// (JPEG quality 80, integer DCT, no optimised coding; PNG level 5, no
// filter). Each benchmark runs both on the same data in alternating
// rounds, timed in the thread's CPU time, and reports "bare_x" (the bare
// loop's time / ours per round: 1 is as fast, above 1 ours is faster) as
// median, lowest and highest, and "load1", the machine's load average when
// the rounds ended.
//
// The bare readers decode into a buffer of the same layout as our image
// (three bytes a pixel, blue, green, red, the same row length), allocated
// without being cleared, as our image is.
#include <benchmark/benchmark.h>

#include <jpeglib.h>
#include <png.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "imaging/codecs/jpegfilt.h"
#include "imaging/codecs/pngfilt.h"
#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/core/ruduvazez_startup.h"
#include "imaging/io/imageryio.h"
#include "imaging/io/imageryio_params.h"
#include "imaging/io/imageryio_registry.h"
#include "platform/rtl/streams.h"
#include "bench/photo_pairs.h"

namespace {

constexpr int kQuality = 80, kPngLevel = 5;

// ---- JPEG ----------------------------------------------------------------------------

std::vector<uint8_t> BareJpegEncode(TIEBitmap& image) {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr err{};
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = static_cast<JDIMENSION>(image.GetWidth());
  cinfo.image_height = static_cast<JDIMENSION>(image.GetHeight());
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_EXT_BGR;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, kQuality, TRUE);
  cinfo.dct_method = JDCT_ISLOW;
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = image.GetScanline(static_cast<int32_t>(cinfo.next_scanline));
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  std::vector<uint8_t> out(buffer, buffer + size);
  jpeg_destroy_compress(&cinfo);
  std::free(buffer);
  return out;
}

const std::vector<uint8_t>& PhotoJpeg() {
  static const std::vector<uint8_t> jpeg = BareJpegEncode(Photo());
  return jpeg;
}

// What a bare reader decodes into: a new block, not cleared.
struct Pixels {
  std::unique_ptr<uint8_t[]> bytes;
  uint8_t* Allocate(size_t size) {
    bytes.reset(new uint8_t[size]);
    return bytes.get();
  }
};

// Decodes from the source that attach gives the decompressor.
void BareJpegDecode(const std::function<void(j_decompress_ptr)>& attach, Pixels& pixels) {
  jpeg_decompress_struct cinfo{};
  jpeg_error_mgr err{};
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_decompress(&cinfo);
  attach(&cinfo);
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_EXT_BGR;
  cinfo.dct_method = JDCT_ISLOW;
  jpeg_start_decompress(&cinfo);
  const size_t stride = size_t{cinfo.output_width} * 3;
  uint8_t* out = pixels.Allocate(stride * cinfo.output_height);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = out + stride * cinfo.output_scanline;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
}

void JpegRead(benchmark::State& state) {
  const std::vector<uint8_t>& data = PhotoJpeg();
  TIEMemStream stream(data.data(), static_cast<int64_t>(data.size()));
  Pair(
      state,
      [&] {
        Pixels pixels;  // a new image each time, as a reader makes
        BareJpegDecode([&](j_decompress_ptr cinfo) { jpeg_mem_src(cinfo, data.data(), data.size()); }, pixels);
        benchmark::DoNotOptimize(pixels.bytes.get());
      },
      [&] {
        stream.SetPosition(0);
        TIEBitmap bitmap;
        TIOParamsVals params(nullptr);
        Progress progress;
        IEReadJPEGStream(stream, &bitmap, params, progress.record, TIEJpegReadOptions{});
        if (progress.aborting) state.SkipWithError("read failed");
        benchmark::DoNotOptimize(bitmap.GetScanline(0));
      },
      12);
}

void JpegWrite(benchmark::State& state) {
  TIEBitmap& image = Photo();
  Pair(
      state, [&] { benchmark::DoNotOptimize(BareJpegEncode(image).size()); },
      [&] {
        TMemoryStream stream;
        TIOParamsVals params(nullptr);
        params.JPEG_QUALITY = kQuality;
        Progress progress;
        IEWriteJPEGStream(stream, image, params, progress.record);
        benchmark::DoNotOptimize(stream.Size());
      },
      6);
}

// ---- PNG -----------------------------------------------------------------------------

void AppendToVector(png_structp png, png_bytep data, png_size_t size) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + size);
}

std::vector<uint8_t> BarePngEncode(TIEBitmap& image) {
  std::vector<uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(png, &out, AppendToVector, nullptr);
  png_set_IHDR(png, info, static_cast<png_uint_32>(image.GetWidth()), static_cast<png_uint_32>(image.GetHeight()), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
  png_set_compression_level(png, kPngLevel);
  png_write_info(png, info);
  png_set_bgr(png);
  for (int32_t y = 0; y < image.GetHeight(); ++y) png_write_row(png, image.GetScanline(y));
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

const std::vector<uint8_t>& PhotoPng() {
  static const std::vector<uint8_t> png = BarePngEncode(Photo());
  return png;
}

struct Reader {
  const std::vector<uint8_t>* data;
  size_t at;
};

void ReadFromVector(png_structp png, png_bytep out, png_size_t size) {
  auto* r = static_cast<Reader*>(png_get_io_ptr(png));
  const size_t n = std::min(size, r->data->size() - r->at);
  std::memcpy(out, r->data->data() + r->at, n);
  r->at += n;
  if (n < size) png_error(png, "short");
}

// Decodes from the input that attach gives the reader.
void BarePngDecode(const std::function<void(png_structp)>& attach, Pixels& pixels) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  attach(png);
  png_read_info(png, info);
  png_set_bgr(png);
  const png_uint_32 width = png_get_image_width(png, info), height = png_get_image_height(png, info);
  uint8_t* out = pixels.Allocate(size_t{width} * height * 3);
  for (png_uint_32 y = 0; y < height; ++y) png_read_row(png, out + size_t{width} * 3 * y, nullptr);
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
}

void PngRead(benchmark::State& state) {
  const std::vector<uint8_t>& data = PhotoPng();
  TIEMemStream stream(data.data(), static_cast<int64_t>(data.size()));
  Pair(
      state,
      [&] {
        Pixels pixels;  // a new image each time, as a reader makes
        Reader reader{&data, 0};
        BarePngDecode([&](png_structp png) { png_set_read_fn(png, &reader, ReadFromVector); }, pixels);
        benchmark::DoNotOptimize(pixels.bytes.get());
      },
      [&] {
        stream.SetPosition(0);
        TIEBitmap bitmap;
        TIOParamsVals params(nullptr);
        Progress progress;
        IEReadPNGStream(stream, &bitmap, params, false, progress.record);
        if (progress.aborting) state.SkipWithError("read failed");
        benchmark::DoNotOptimize(bitmap.GetScanline(0));
      },
      12);
}

void PngWrite(benchmark::State& state) {
  TIEBitmap& image = Photo();
  Pair(
      state, [&] { benchmark::DoNotOptimize(BarePngEncode(image).size()); },
      [&] {
        TMemoryStream stream;
        TIOParamsVals params(nullptr);
        params.PNG_COMPRESSION = kPngLevel;
        params.PNG_FILTER = 0;
        Progress progress;
        IEWritePNGStream(stream, image, params, nullptr, progress.record);
        benchmark::DoNotOptimize(stream.Size());
      },
      5);
}

// ---- the main road: a file loaded through the I/O component ----------------------

// The data as a file in the temporary folder while the object lives.
class TempFile {
public:
  TempFile(const char* name, const std::vector<uint8_t>& data)
      : path_((std::filesystem::temp_directory_path() / name).string()) {
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  }
  ~TempFile() {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
  }
  const std::string& Path() const { return path_; }

private:
  std::string path_;
};

// The bare loop reads the file through stdio; ours loads it as the program
// does, by name through the I/O component into a new image.
void FileLoad(benchmark::State& state, const TempFile& file, const std::function<void(FILE*, Pixels&)>& bare) {
  Pair(
      state,
      [&] {
        Pixels pixels;
        FILE* input = std::fopen(file.Path().c_str(), "rb");
        if (!input) return state.SkipWithError("no file");
        bare(input, pixels);
        std::fclose(input);
        benchmark::DoNotOptimize(pixels.bytes.get());
      },
      [&] {
        TIEBitmap bitmap;
        TImageryIO io(nullptr);
        io.SetAttachedIEBitmap(&bitmap);
        if (!io.LoadFromFile(file.Path()) || io.Aborting()) state.SkipWithError("load failed");
        benchmark::DoNotOptimize(bitmap.GetScanline(0));
      },
      12);
}

void JpegFileLoad(benchmark::State& state) {
  const TempFile file("vesk_bench_photo.jpg", PhotoJpeg());
  FileLoad(state, file, [](FILE* input, Pixels& pixels) {
    BareJpegDecode([input](j_decompress_ptr cinfo) { jpeg_stdio_src(cinfo, input); }, pixels);
  });
}

void PngFileLoad(benchmark::State& state) {
  const TempFile file("vesk_bench_photo.png", PhotoPng());
  FileLoad(state, file, [](FILE* input, Pixels& pixels) {
    BarePngDecode([input](png_structp png) { png_init_io(png, input); }, pixels);
  });
}

}  // namespace

BENCHMARK(JpegRead)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(JpegWrite)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(PngRead)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(JpegFileLoad)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(PngFileLoad)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(PngWrite)->Unit(benchmark::kMillisecond)->Iterations(1);
