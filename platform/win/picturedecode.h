// Decoding of the picture formats that GDI+ images and the framework's
// pictures load: PNG and JPEG through libpng and libjpeg, BMP and GIF (first
// frame) with small decoders of our own. Every decoder survives truncated
// and corrupt input and refuses images above a pixel bound before allocating.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

enum class PictureFormat { Unknown, Png, Jpeg, Bmp, Gif };

struct DecodedPicture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;  // 0xAARRGGBB, straight alpha, rows from the top
  bool hasAlpha = false;         // the file carries transparency
  bool indexed = false;          // palette-based in the file
  int bitsPerPixel = 32;         // as stored in the file (per pixel, all channels)
};

// Pictures above this many pixels are refused.
constexpr int64_t kMaxPicturePixels = int64_t{1} << 27;

// The format from the first bytes, Unknown when none matches.
PictureFormat SniffPicture(const uint8_t* data, size_t size);
// Decodes any of the formats; false (and `out` empty) on failure.
bool DecodePicture(const uint8_t* data, size_t size, DecodedPicture& out);
bool DecodePng(const uint8_t* data, size_t size, DecodedPicture& out);
bool DecodeJpeg(const uint8_t* data, size_t size, DecodedPicture& out);
bool DecodeBmp(const uint8_t* data, size_t size, DecodedPicture& out);
bool DecodeGif(const uint8_t* data, size_t size, DecodedPicture& out);
