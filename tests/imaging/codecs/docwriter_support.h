// What the PostScript and PDF writer tests share: small test pictures, the
// outside judges (Ghostscript, qpdf, poppler, djpeg) run in the test's
// folder, and their answers as text or RGBA bytes.
#pragma once

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "imaging/codecs/jpegfilt.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "platform/rtl/streams.h"
#include "tests/imaging/codecs/pixel_judge.h"

namespace codectest {

// A colour picture with gradients, hard edges and noise in every channel.
inline std::unique_ptr<TIEBitmap> ColourPicture(int32_t width, int32_t height) {
  auto picture = std::make_unique<TIEBitmap>(width, height, ie24RGB);
  TIEBitmap& bitmap = *picture;
  uint32_t seed = 7;
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      seed = seed * 1103515245 + 12345;
      TRGB c;
      c.r = static_cast<uint8_t>(x * 255 / std::max(1, width - 1));
      c.g = static_cast<uint8_t>((x / 4 + y / 3) % 2 ? 200 : 30);
      c.b = static_cast<uint8_t>(seed >> 16);
      bitmap.SetPixel24(x, y, c);
    }
  return picture;
}

// A 1-bit picture: a frame, a diagonal, a checkered block and noise.
inline std::unique_ptr<TIEBitmap> BilevelPicture(int32_t width, int32_t height) {
  auto picture = std::make_unique<TIEBitmap>(width, height, ie1g);
  TIEBitmap& bitmap = *picture;
  uint32_t seed = 11;
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = bitmap.GetScanline(y);
    for (int32_t x = 0; x < width; ++x) {
      seed = seed * 1103515245 + 12345;
      bool white = true;
      if (x == 0 || y == 0 || x == width - 1 || y == height - 1 || x == y) white = false;
      if (x > width / 2 && y > height / 2) white = (x / 3 + y / 3) % 2;
      if (y > 2 && y < height / 3) white = (seed >> 16) % 3 != 0;
      if (white)
        row[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
      else
        row[x >> 3] &= static_cast<uint8_t>(~(0x80 >> (x & 7)));
    }
  }
  return picture;
}

// Runs a command in the test's folder; its exit status, with what it wrote
// to stdout and stderr.
struct Outcome {
  int status = -1;
  std::string out, err;
};
inline Outcome Judge(const std::string& folder, const std::string& command) {
  Outcome o;
  o.status = std::system(("cd " + folder + " && ( " + command + " ) >judge.out 2>judge.err").c_str());
  o.out = ReadAll(folder + "/judge.out");
  o.err = ReadAll(folder + "/judge.err");
  return o;
}

// Ghostscript's rendering at 72 dpi (one point one pixel) of every page, as
// RGBA bytes; size "WxH" fixes the page size (PostScript), empty keeps the
// document's own (PDF).
inline std::vector<std::string> Render(const std::string& folder, const std::string& file, const std::string& size,
                                       int pages) {
  const std::string g = size.empty() ? "" : " -g" + size;
  const Outcome o = Judge(folder, "rm -f page-*.png; gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=png16m -r72" + g +
                                      " -sOutputFile=page-%d.png " + file);
  std::vector<std::string> rendered;
  if (o.status != 0 || !o.err.empty()) return rendered;
  for (int p = 1; p <= pages; ++p) {
    const std::string png = folder + "/page-" + std::to_string(p) + ".png";
    rendered.push_back(MagickRGBA(png, png + ".rgba"));
  }
  return rendered;
}

// The pixels of the picture as the JPEG writer codes them with the
// parameters, decoded by djpeg; the JPEG bytes in jpeg.
inline std::string DjpegRGBA(const std::string& folder, TIEBitmap& picture, TIOParamsVals& params,
                             std::string& jpeg) {
  TMemoryStream stream;
  std::atomic<bool> abort{false};
  TIEProgressRecord progress;
  progress.Aborting = &abort;
  IEWriteJPEGStream(stream, picture, params, progress);
  jpeg.assign(static_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.Size()));
  std::ofstream(folder + "/ref.jpg", std::ios::binary) << jpeg;
  return NetpbmRGBA("djpeg " + folder + "/ref.jpg", folder + "/ref.pnm");
}

// The RGBA bytes of rows y0..y1 and columns x0..x1 of a rendering width pixels wide.
inline std::string Crop(const std::string& rgba, int32_t width, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
  std::string out;
  for (int32_t y = y0; y <= y1; ++y) out += rgba.substr(static_cast<size_t>((y * width + x0) * 4), (x1 - x0 + 1) * 4);
  return out;
}

// Whether every pixel of rows y0..y1, columns x0..x1 is white.
inline bool AllWhite(const std::string& rgba, int32_t width, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
  const std::string area = Crop(rgba, width, x0, y0, x1, y1);
  return area.find_first_not_of('\xFF') == std::string::npos;
}

}  // namespace codectest
