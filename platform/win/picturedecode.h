// Decoding of the picture formats that GDI+ images and the framework's
// pictures load: PNG and JPEG through libpng and libjpeg, BMP and GIF (first
// frame) with small decoders of our own, and the icon and cursor files that
// icons and cursor resources hold. Every decoder survives truncated
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

// An icon file (type 1) or a cursor file (type 2): the largest of its images
// whose data lies inside the file, stored as a PNG or as a DIB of twice the
// picture's height (colour rows, then the 1-bit mask whose set bits are
// transparent). A cursor's hot spot is the image's, as its directory gives it.
constexpr uint16_t kIconFileType = 1, kCursorFileType = 2;
struct DecodedIcon {
  DecodedPicture picture;
  int hotSpotX = 0;
  int hotSpotY = 0;
};
bool DecodeIconFile(const uint8_t* data, size_t size, uint16_t type, DecodedIcon& out);
