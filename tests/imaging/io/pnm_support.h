// PNM images as the outside decoders of the tests write them.
#pragma once

#include <cctype>
#include <cstdint>
#include <string>
#include <vector>

// A PNM image as opj_decompress and JxrDecApp write it (P5, P6, or P7 for four
// components; 8 or 16 bits).
struct Pnm {
  int32_t width = 0, height = 0, channels = 0, maxValue = 0;
  std::vector<int32_t> samples;
  int32_t At(int32_t x, int32_t y, int32_t c = 0) const {
    return samples[static_cast<size_t>((y * width + x) * channels + c)];
  }
};

inline Pnm ParsePnm(const std::string& bytes) {
  Pnm pnm;
  size_t at = 2;
  auto number = [&]() {
    while (at < bytes.size() && (std::isspace(static_cast<unsigned char>(bytes[at])) || bytes[at] == '#')) {
      if (bytes[at] == '#')
        while (at < bytes.size() && bytes[at] != '\n') ++at;
      else
        ++at;
    }
    int32_t n = 0;
    while (at < bytes.size() && std::isdigit(static_cast<unsigned char>(bytes[at]))) n = n * 10 + (bytes[at++] - '0');
    return n;
  };
  if (bytes.size() < 2 || bytes[0] != 'P' || bytes[1] < '5' || bytes[1] > '7') return pnm;
  if (bytes[1] == '7') {
    const auto field = [&](const std::string& key) {
      at = bytes.find("\n" + key + " ") + key.size() + 1;
      return number();
    };
    pnm.width = field("WIDTH");
    pnm.height = field("HEIGHT");
    pnm.channels = field("DEPTH");
    pnm.maxValue = field("MAXVAL");
    at = bytes.find("ENDHDR\n") + 6;
  } else {
    pnm.channels = bytes[1] == '5' ? 1 : 3;
    pnm.width = number();
    pnm.height = number();
    pnm.maxValue = number();
  }
  ++at;
  const size_t count = static_cast<size_t>(pnm.width * pnm.height * pnm.channels);
  const bool wide = pnm.maxValue > 255;
  if (bytes.size() < at + count * (wide ? 2 : 1)) return Pnm{};
  for (size_t i = 0; i < count; ++i)
    pnm.samples.push_back(wide ? (static_cast<uint8_t>(bytes[at + 2 * i]) << 8 | static_cast<uint8_t>(bytes[at + 2 * i + 1]))
                               : static_cast<uint8_t>(bytes[at + i]));
  return pnm;
}
