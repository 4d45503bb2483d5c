// What the bitmap-family codec tests share: ImageMagick's decoding of a
// file as 8-bit RGBA, files as memory streams, and pixel comparisons of
// our bitmaps (with their masks) against that decoding.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "imaging/codecs/bmpfilt.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/core/ruduvazez_mask.h"
#include "imaging/io/imageryio_params.h"
#include "platform/rtl/streams.h"
#include "tests/imaging/codecs/codec_test_support.h"

namespace bmptest {

constexpr const char* kMagick = "/usr/bin/convert";

// An image as 8-bit red, green, blue, alpha per pixel.
struct TRgbaImage {
  int32_t width = 0, height = 0;
  std::vector<uint8_t> rgba;
  const uint8_t* At(int32_t x, int32_t y) const { return &rgba[(static_cast<size_t>(y) * width + x) * 4]; }
};

// Parses a P7 file of maxval 255 (grey or colour, with or without alpha)
// into red, green, blue, alpha.
inline TRgbaImage ParsePam(const std::string& bytes) {
  TRgbaImage image;
  const size_t end = bytes.find("ENDHDR\n");
  if (end == std::string::npos) return image;
  std::istringstream header(bytes.substr(0, end));
  std::string key;
  int32_t depth = 0, maxval = 0;
  while (header >> key) {
    if (key == "WIDTH") header >> image.width;
    if (key == "HEIGHT") header >> image.height;
    if (key == "DEPTH") header >> depth;
    if (key == "MAXVAL") header >> maxval;
  }
  const size_t pixels = static_cast<size_t>(image.width) * image.height;
  if (depth < 1 || depth > 4 || maxval != 255 || bytes.size() - end - 7 != pixels * depth) return TRgbaImage{};
  const auto* in = reinterpret_cast<const uint8_t*>(bytes.data() + end + 7);
  image.rgba.resize(pixels * 4);
  for (size_t i = 0; i < pixels; ++i, in += depth) {
    uint8_t* out = &image.rgba[i * 4];
    const bool colour = depth >= 3;
    out[0] = in[0], out[1] = in[colour ? 1 : 0], out[2] = in[colour ? 2 : 0];
    out[3] = depth == 2 || depth == 4 ? in[depth - 1] : 255;
  }
  return image;
}

// A stream over the bytes, positioned at its start.
inline std::unique_ptr<TMemoryStream> BytesStream(const std::string& bytes) {
  auto stream = std::make_unique<TMemoryStream>();
  if (!bytes.empty()) stream->WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
  stream->SetPosition(0);
  return stream;
}
inline std::unique_ptr<TMemoryStream> FileStream(const std::string& file) { return BytesStream(codectest::ReadAll(file)); }

// What a read gave: the image, the transparency mask, the parameters and
// whether the abort flag was set.
struct TReadResult {
  std::unique_ptr<TIEBitmap> bitmap = std::make_unique<TIEBitmap>();
  std::unique_ptr<TIEMask> mask;
  std::unique_ptr<TIOParamsVals> params = std::make_unique<TIOParamsVals>(nullptr);
  bool aborted = false;
};

inline std::string StreamBytes(TMemoryStream& stream) {
  return std::string(static_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.Size()));
}

inline void WriteFile(const std::string& file, const std::string& bytes) {
  std::ofstream out(file, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A copy of the image in the format (converting only when it differs).
inline std::unique_ptr<TIEBitmap> CopyIn(TIEBitmap& source, TIEPixelFormat format) {
  auto copy = std::make_unique<TIEBitmap>();
  if (source.GetPixelFormat() == format) {
    copy->Assign(&source);
  } else {
    copy->Allocate(source.GetWidth(), source.GetHeight(), format);
    copy->ConvertFrom(source);
  }
  return copy;
}

// The colour of our pixel as red, green, blue.
inline std::array<uint8_t, 3> OurRGB(TIEBitmap& bitmap, int32_t x, int32_t y) {
  TRGB c;
  if (bitmap.GetPixelFormat() == ie8p) {
    bitmap.GetPaletteColor(bitmap.GetPixel8(x, y), c);
  } else {
    bitmap.GetPixelRGB(x, y, c);
  }
  return {c.r, c.g, c.b};
}

// Every pixel's colour (within tolerance; with opaqueOnly only where the
// reference is opaque) and, when checkAlpha, its alpha (the mask's value,
// 255 without a mask) equals the reference's.
inline void ExpectSameImage(TIEBitmap& bitmap, const TIEMask* mask, const TRgbaImage& reference, int32_t tolerance,
                            bool checkAlpha, const std::string& what, bool opaqueOnly = false) {
  ASSERT_EQ(bitmap.GetWidth(), reference.width) << what;
  ASSERT_EQ(bitmap.GetHeight(), reference.height) << what;
  int32_t bad = 0;
  for (int32_t y = 0; y < reference.height && bad < 5; ++y)
    for (int32_t x = 0; x < reference.width && bad < 5; ++x) {
      const uint8_t* r = reference.At(x, y);
      const auto ours = OurRGB(bitmap, x, y);
      const uint8_t alpha = mask ? static_cast<uint8_t>(mask->GetPixel(x, y)) : 255;
      bool same = true;
      for (int c = 0; c < 3 && (!opaqueOnly || r[3] == 255); ++c) same &= std::abs(int32_t{ours[c]} - r[c]) <= tolerance;
      if (checkAlpha) same &= alpha == r[3];
      if (!same) {
        ++bad;
        ADD_FAILURE() << what << " pixel " << x << "," << y << ": ours " << int{ours[0]} << " " << int{ours[1]} << " "
                      << int{ours[2]} << " a" << int{alpha} << ", reference " << int{r[0]} << " " << int{r[1]} << " "
                      << int{r[2]} << " a" << int{r[3]};
      }
    }
}

class BmpFamilyTest : public codectest::CodecTest {
protected:
  // Runs ImageMagick in the test's folder with the arguments.
  void Magick(const std::string& arguments) { InDir(std::string(kMagick) + " " + arguments); }
  // ImageMagick's decoding of the file (frame "[n]" may follow the name).
  TRgbaImage Decoded(const std::string& file) {
    const std::string out = Path("reference.pam");
    codectest::Shell(std::string(kMagick) + " '" + Path(file) + "' -depth 8 -alpha set pam:" + out);
    return ParsePam(codectest::ReadAll(out));
  }
};

}  // namespace bmptest
