// Helpers of the LZW tests: sample pixels, hand-packed code streams, exactly
// sized input copies (so that the address sanitizer sees every read past
// the data), PNM pictures and the outside judges.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/rtl/streams.h"
#include "tests/imaging/core/test_support.h"

using Bytes = std::vector<uint8_t>;

// Values of `bits` bits: noise mixed with runs and ramps, so that strings
// both repeat and stay short.
inline Bytes SamplePixels(size_t count, int bits, uint32_t seed) {
  Bytes out(count);
  uint32_t x = seed * 2654435761u + 1;
  const uint32_t mask = (1u << bits) - 1;
  for (size_t i = 0; i < count; ++i) {
    x = x * 1664525u + 1013904223u;
    const uint32_t kind = (i / 97) % 3;
    out[i] = static_cast<uint8_t>((kind == 0 ? x >> 24 : kind == 1 ? (i / 13) : (i % 7)) & mask);
  }
  return out;
}

// Packs codes of given widths, most significant bit first (TIFF) or least
// significant bit first (GIF); the last byte is padded with zeros.
class CodePacker {
public:
  explicit CodePacker(bool msbFirst) : msbFirst_(msbFirst) {}
  void Put(uint32_t code, int width) {
    for (int i = 0; i < width; ++i) {
      const int bit = msbFirst_ ? (code >> (width - 1 - i)) & 1 : (code >> i) & 1;
      if (count_ % 8 == 0) bytes_.push_back(0);
      if (bit) bytes_.back() |= msbFirst_ ? uint8_t(0x80 >> (count_ % 8)) : uint8_t(1 << (count_ % 8));
      ++count_;
    }
  }
  const Bytes& Data() const { return bytes_; }

private:
  bool msbFirst_;
  Bytes bytes_;
  size_t count_ = 0;
};

// A heap copy of exactly the input's size.
struct ExactCopy {
  explicit ExactCopy(const Bytes& bytes) : data(new uint8_t[bytes.size()]), size(bytes.size()) {
    if (size) std::memcpy(data.get(), bytes.data(), size);
  }
  std::unique_ptr<uint8_t[]> data;
  size_t size;
};

inline Bytes StreamBytes(TCustomMemoryStream& stream) {
  const auto* p = static_cast<const uint8_t*>(stream.Memory());
  return Bytes(p, p + stream.Size());
}

inline std::string AsString(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }
inline Bytes AsBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

inline bool ToolPresent(const std::string& tool) {
  return RunCommand("command -v " + tool + " >/dev/null 2>&1") == 0;
}

// Little-endian numbers into a byte string.
inline void PutLE(Bytes& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}
inline uint32_t GetLE(const Bytes& in, size_t at, int bytes) {
  uint32_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | (at + i < in.size() ? in[at + i] : 0);
  return value;
}

// A binary PNM picture (P5 grey or P6 colour, maxval 255) as RGB triples.
struct Picture {
  int width = 0, height = 0;
  Bytes rgb;
};

inline Picture ReadPNM(const std::string& file) {
  Picture picture;
  std::istringstream in(file);
  std::string magic;
  int maxval = 0;
  in >> magic >> picture.width >> picture.height >> maxval;
  in.get();
  if ((magic != "P5" && magic != "P6") || maxval != 255 || picture.width <= 0 || picture.height <= 0) return {};
  const size_t pixels = size_t(picture.width) * size_t(picture.height);
  const size_t channels = magic == "P6" ? 3 : 1;
  std::string raster(pixels * channels, '\0');
  if (!in.read(raster.data(), static_cast<std::streamsize>(raster.size()))) return {};
  for (size_t i = 0; i < pixels; ++i)
    for (size_t c = 0; c < 3; ++c) picture.rgb.push_back(static_cast<uint8_t>(raster[i * channels + c % channels]));
  return picture;
}

inline std::string WritePPM(int width, int height, const Bytes& rgb) {
  return "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n" + AsString(rgb);
}
