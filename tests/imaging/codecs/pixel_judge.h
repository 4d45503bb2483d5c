// Pixels as RGBA bytes, ours and an outside decoder's, for comparing codecs
// with ImageMagick and netpbm; and streams from bytes.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <string>

#include "imaging/core/ruduvazez_bitmap.h"
#include "platform/rtl/streams.h"
#include "tests/imaging/codecs/codec_test_support.h"

namespace codectest {

// The bitmap (with its alpha channel, 255 without) as RGBA bytes.
inline std::string BitmapRGBA(TIEBitmap& bitmap) {
  std::string out;
  TIEBitmap* alpha = bitmap.HasAlphaChannel() ? bitmap.GetAlphaChannel() : nullptr;
  for (int32_t y = 0; y < bitmap.GetHeight(); ++y)
    for (int32_t x = 0; x < bitmap.GetWidth(); ++x) {
      TRGB c;
      bitmap.GetPixelRGB(x, y, c);
      out += static_cast<char>(c.r);
      out += static_cast<char>(c.g);
      out += static_cast<char>(c.b);
      out += static_cast<char>(alpha ? alpha->GetScanline(y)[x] : 255);
    }
  return out;
}

// ImageMagick's decoding of the file (a frame with "name[i]") as 8-bit RGBA,
// after the options (such as "-auto-orient").
inline std::string MagickRGBA(const std::string& file, const std::string& out, const std::string& options = "") {
  if (std::system(("/usr/bin/convert '" + file + "' " + options + " +repage -depth 8 rgba:" + out).c_str()) != 0)
    return {};
  return ReadAll(out);
}

// The RGBA bytes of what a netpbm command (say "giftopnm a.gif") prints: its
// PNM output is unpacked by ImageMagick, which copies PNM samples as they are.
inline std::string NetpbmRGBA(const std::string& command, const std::string& pnm) {
  if (std::system((command + " > " + pnm).c_str()) != 0) return {};
  return MagickRGBA(pnm, pnm + ".rgba");
}

// The largest difference between two byte strings; 1000 when the lengths differ (or either is empty).
inline int MaxDifference(const std::string& a, const std::string& b) {
  if (a.size() != b.size() || a.empty()) return 1000;
  int worst = 0;
  for (size_t i = 0; i < a.size(); ++i)
    worst = std::max(worst, std::abs(static_cast<uint8_t>(a[i]) - static_cast<uint8_t>(b[i])));
  return worst;
}

// A memory stream holding the bytes, at position 0.
inline void Fill(TMemoryStream& stream, const std::string& bytes) {
  stream.Clear();
  if (!bytes.empty()) stream.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
  stream.SetPosition(0);
}

// Writes the bytes into the file.
inline void SaveBytes(const std::string& bytes, const std::string& file) {
  TMemoryStream s;
  Fill(s, bytes);
  s.SaveToFile(file);
}

// The stream's whole contents.
inline std::string Contents(TMemoryStream& stream) {
  return std::string(static_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.Size()));
}

// Every step-th cut of a good file shorter than cutsBelow bytes must set the
// abort flag; copies with a byte flipped every step bytes only have to come
// back. read(bytes) reads one.
template <typename Read>
void ExpectCutsFailAndFlipsSurvive(const std::string& good, size_t step, size_t cutsBelow, Read read,
                                   const std::atomic<bool>& aborted) {
  for (size_t n = 0; n < cutsBelow && n < good.size(); n += step) {
    read(good.substr(0, n));
    EXPECT_TRUE(aborted.load()) << "cut at " << n;
  }
  for (size_t i = 0; i < good.size(); i += step / 3 + 1) {
    std::string flipped = good;
    flipped[i] = static_cast<char>(flipped[i] ^ (0x5a + i % 7));
    read(flipped);
  }
}

}  // namespace codectest
