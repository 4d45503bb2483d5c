// Video files for the AVI tests: AVI files that ffmpeg makes from its test
// source, DIB AVI files written here (bit counts ffmpeg cannot write), and
// ffmpeg's own decoding of a frame as the judge. Files are made once into a
// folder of the build tree and shared by the test processes.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/win/vfw.h"

namespace avitest {

constexpr int32_t kWidth = 32, kHeight = 24, kFrames = 8;

inline std::string CacheFolder() {
  const std::string folder = std::string(VESK_BINARY_DIR) + "/test-video/";
  std::filesystem::create_directories(folder);
  return folder;
}

// The file of that name in the cache folder, made by make(path) when
// missing; written under a private name and renamed, so that test processes
// running side by side never see half a file.
inline std::string Cached(const std::string& name, const std::function<void(const std::string&)>& make) {
  const std::string path = CacheFolder() + name;
  if (!std::filesystem::exists(path)) {
    const std::string partial = path + ".part" + std::to_string(getpid());
    make(partial);
    std::filesystem::rename(partial, path);
  }
  return path;
}

inline void Run(const std::string& command) {
  if (std::system(command.c_str()) != 0) throw std::runtime_error("failed: " + command);
}

inline std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

inline void WriteAll(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// kFrames frames of ffmpeg's test picture, kWidth x kHeight at 25 frames a
// second, encoded with the arguments (codec and pixel format).
inline std::string FfmpegVideo(const std::string& name, const std::string& encoding) {
  return Cached(name, [&](const std::string& path) {
    Run("ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=" + std::to_string(kWidth) + "x" +
        std::to_string(kHeight) + ":rate=25 -frames:v " + std::to_string(kFrames) + " " + encoding + " -f avi '" +
        path + "'");
  });
}

// ffmpeg's decoding of frame k: rows top-down, 3 bytes (blue, green, red) a
// pixel. One run decodes every frame, each passed through as decoded (as
// frame k alone is, with -vf select=eq(n\,k)).
inline std::string FfmpegFrame(const std::string& video, int32_t k) {
  const std::string name = std::filesystem::path(video).filename().string() + ".bgr";
  const std::string frames = ReadAll(Cached(name, [&](const std::string& path) {
    Run("ffmpeg -nostdin -v error -y -i '" + video + "' -fps_mode passthrough -pix_fmt bgr24 -f rawvideo '" + path +
        "'");
  }));
  const size_t size = static_cast<size_t>(kWidth) * kHeight * 3;
  return frames.size() >= (static_cast<size_t>(k) + 1) * size ? frames.substr(k * size, size) : std::string();
}

// ---- DIB AVI files written here ------------------------------------------------------

struct TDIBVideo {
  int32_t width = kWidth, height = kHeight, bitCount = 4;
  std::vector<uint32_t> palette;     // 0x00RRGGBB
  std::vector<std::string> frames;   // the rows of each frame, bottom-up, padded to 4 bytes
  uint32_t scale = 1, rate = 25;
};

inline void Put32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>(v >> (8 * i));
}
inline void Put16(std::string& out, uint32_t v) {
  out += static_cast<char>(v);
  out += static_cast<char>(v >> 8);
}
inline std::string Chunk(const char* id, const std::string& body) {
  std::string out(id, 4);
  Put32(out, static_cast<uint32_t>(body.size()));
  out += body;
  if (body.size() & 1) out += '\0';
  return out;
}
inline std::string List(const char* type, const std::string& body) { return Chunk("LIST", std::string(type, 4) + body); }

inline std::string WriteDIBAVI(const TDIBVideo& video) {
  const uint32_t count = static_cast<uint32_t>(video.frames.size());
  const uint32_t frameBytes = count ? static_cast<uint32_t>(video.frames[0].size()) : 0;
  std::string avih;
  for (uint32_t v : {video.rate ? 1000000u * video.scale / video.rate : 0u, 0u, 0u, 0x10u, count, 0u, 1u,
                     frameBytes, static_cast<uint32_t>(video.width), static_cast<uint32_t>(video.height), 0u, 0u, 0u,
                     0u})
    Put32(avih, v);
  std::string strh = "vids";
  for (uint32_t v : {0u, 0u, 0u, 0u, video.scale, video.rate, 0u, count, frameBytes, 0xFFFFFFFFu, 0u}) Put32(strh, v);
  for (uint32_t v : {0u, 0u, static_cast<uint32_t>(video.width), static_cast<uint32_t>(video.height)}) Put16(strh, v);
  std::string strf;
  for (uint32_t v : {40u, static_cast<uint32_t>(video.width), static_cast<uint32_t>(video.height)}) Put32(strf, v);
  Put16(strf, 1);
  Put16(strf, static_cast<uint32_t>(video.bitCount));
  for (uint32_t v : {0u, frameBytes, 0u, 0u, static_cast<uint32_t>(video.palette.size()), 0u}) Put32(strf, v);
  for (uint32_t colour : video.palette) Put32(strf, colour);
  std::string movi = "movi", index;
  for (const std::string& frame : video.frames) {
    index += "00db";
    Put32(index, 0x10);
    Put32(index, static_cast<uint32_t>(movi.size()));
    Put32(index, static_cast<uint32_t>(frame.size()));
    movi += Chunk("00db", frame);
  }
  const std::string body = "AVI " + List("hdrl", Chunk("avih", avih) + List("strl", Chunk("strh", strh) +
                                                                              Chunk("strf", strf))) +
                           Chunk("LIST", movi) + Chunk("idx1", index);
  return Chunk("RIFF", body);
}

// A palettised video: pixel (x, y) of frame f has index (3x + 5y + 7f) mod
// the colour count; rows bottom-up as a DIB stores them.
inline TDIBVideo PatternVideo(int32_t bitCount, int32_t frames) {
  TDIBVideo video;
  video.bitCount = bitCount;
  const uint32_t colours = 1u << bitCount;
  for (uint32_t i = 0; i < colours; ++i) video.palette.push_back((i * 0x3F1B27u + 0x102030u) & 0xFFFFFFu);
  const int32_t stride = (video.width * bitCount + 31) / 32 * 4;
  for (int32_t f = 0; f < frames; ++f) {
    std::string rows(static_cast<size_t>(stride) * video.height, '\0');
    for (int32_t y = 0; y < video.height; ++y)
      for (int32_t x = 0; x < video.width; ++x) {
        const uint32_t index = (3 * x + 5 * y + 7 * f) % colours;
        const int32_t bit = x * bitCount;
        char& byte = rows[static_cast<size_t>((video.height - 1 - y) * stride + bit / 8)];
        byte = static_cast<char>(byte | index << (8 - bitCount - bit % 8));
      }
    video.frames.push_back(rows);
  }
  return video;
}

inline std::string DIBVideo(const std::string& name, int32_t bitCount) {
  return Cached(name, [&](const std::string& path) { WriteAll(path, WriteDIBAVI(PatternVideo(bitCount, kFrames))); });
}

// ---- reading a packed DIB as colours ------------------------------------------------

// Pixel (x, y), counted from the top, of a packed DIB as 0x00RRGGBB; 16-bit
// pixels are 5-5-5 with each channel widened by repeating its top bits.
inline uint32_t DIBColour(const BITMAPINFOHEADER& header, int32_t x, int32_t y) {
  const auto* base = reinterpret_cast<const uint8_t*>(&header);
  const int32_t bits = header.biBitCount;
  const uint32_t entries = bits <= 8 ? (header.biClrUsed ? header.biClrUsed : 1u << bits) : 0;
  const uint8_t* rows = base + header.biSize + entries * 4;
  const int32_t stride = (header.biWidth * bits + 31) / 32 * 4;
  const int32_t row = header.biHeight > 0 ? header.biHeight - 1 - y : y;
  const uint8_t* p = rows + static_cast<size_t>(row) * stride;
  auto rgb = [](uint32_t b, uint32_t g, uint32_t r) { return r << 16 | g << 8 | b; };
  if (bits <= 8) {
    const int32_t bit = x * bits;
    const uint32_t index = (p[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
    const uint8_t* entry = base + header.biSize + index * 4;
    return rgb(entry[0], entry[1], entry[2]);
  }
  if (bits == 16) {
    const uint32_t v = p[2 * x] | p[2 * x + 1] << 8;
    auto widen = [](uint32_t c) { return c << 3 | c >> 2; };
    return rgb(widen(v & 31), widen(v >> 5 & 31), widen(v >> 10 & 31));
  }
  const uint8_t* q = p + x * (bits / 8);
  return rgb(q[0], q[1], q[2]);
}

// The number of pixels of the DIB that differ from ffmpeg's bgr24 frame.
inline int32_t DiffersFromFrame(const BITMAPINFOHEADER& header, const std::string& bgr) {
  int32_t differ = 0;
  const int32_t height = header.biHeight < 0 ? -header.biHeight : header.biHeight;
  if (bgr.size() != static_cast<size_t>(header.biWidth) * height * 3) return header.biWidth * height;
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < header.biWidth; ++x) {
      const auto* q = reinterpret_cast<const uint8_t*>(bgr.data()) + (static_cast<size_t>(y) * header.biWidth + x) * 3;
      if (DIBColour(header, x, y) != (static_cast<uint32_t>(q[2]) << 16 | q[1] << 8 | q[0])) ++differ;
    }
  return differ;
}

}  // namespace avitest
