// Readers filling a bitmap kept in a framework bitmap, which holds 1, 8, 24
// and 32-bit pixels only: files of 16-bit grey and 48-bit colour come in the
// nearest format it holds, with the picture a load into memory gives.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "imaging/codecs/bmpfilt.h"
#include "imaging/codecs/iepsd.h"
#include "imaging/codecs/pngfilt.h"
#include "imaging/codecs/tiffilt.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/core/ruduvazez_mask.h"
#include "imaging/io/imageryio_params.h"
#include "imaging/io/imageryio_registry.h"
#include "platform/rtl/streams.h"
#include "tests/imaging/codecs/codec_test_support.h"

namespace {

using Reader = std::function<void(TStream&, TIEBitmap*, TIOParamsVals&, TIEProgressRecord&)>;

class HeldFormatTest : public codectest::CodecTest {
protected:
  // Reads the file into the bitmap; false when the reader aborted.
  bool Load(const std::string& file, const Reader& read, bool native, TIEBitmap& bitmap) {
    TFileStream in(Path(file), fmOpenRead);
    TIOParamsVals params(nullptr);
    params.ISNATIVEPIXELFORMAT = native;
    std::atomic<bool> aborted{false};
    TIEProgressRecord progress;
    progress.Aborting = &aborted;
    read(in, &bitmap, params, progress);
    return !aborted;
  }
};

void ReadPNG(TStream& s, TIEBitmap* b, TIOParamsVals& p, TIEProgressRecord& r) { IEReadPNGStream(s, b, p, false, r); }
void ReadTIFF(TStream& s, TIEBitmap* b, TIOParamsVals& p, TIEProgressRecord& r) {
  int32_t pages = 0;
  IEReadTIFFStream(s, b, pages, p, r, TIETIFFReadOptions{});
}
void ReadPNM(TStream& s, TIEBitmap* b, TIOParamsVals& p, TIEProgressRecord& r) { IEReadPNMStream(s, b, p, r, false); }
void ReadBMP(TStream& s, TIEBitmap* b, TIOParamsVals& p, TIEProgressRecord& r) {
  std::unique_ptr<TIEMask> alpha;
  IEReadBMPStream(s, b, 0, p, r, false, false, alpha, false);
}
void ReadPSD(TStream& s, TIEBitmap* b, TIOParamsVals& p, TIEProgressRecord& r) {
  IEReadPSDStream(s, b, p, r, false, nullptr, false);
}

std::string LE(uint32_t value, int bytes) {
  std::string out;
  for (int i = 0; i < bytes; ++i) out += static_cast<char>(value >> (8 * i));
  return out;
}

// A 16-bit grey bitmap file (masks of all ones), 13 x 5, sample 1000 x + 3000 y.
std::string GreyBitmapFile() {
  const uint32_t rowBytes = 28, offset = 14 + 40 + 12;
  std::string file = "BM" + LE(offset + rowBytes * 5, 4) + LE(0, 4) + LE(offset, 4);
  file += LE(40, 4) + LE(13, 4) + LE(5, 4) + LE(1, 2) + LE(16, 2) + LE(3, 4) + LE(rowBytes * 5, 4) + std::string(16, '\0');
  file += LE(0xFFFFFFFF, 4) + LE(0xFFFFFFFF, 4) + LE(0xFFFFFFFF, 4);
  for (uint32_t y = 0; y < 5; ++y) {
    for (uint32_t x = 0; x < 13; ++x) file += LE(1000 * x + 3000 * y, 2);
    file += LE(0, 2);
  }
  return file;
}

// The meaningful bytes of every row.
std::string Rows(TIEBitmap& bitmap) {
  const size_t bytes = (static_cast<size_t>(bitmap.GetWidth()) * bitmap.GetBitCount() + 7) / 8;
  std::string rows;
  for (int32_t y = 0; y < bitmap.GetHeight(); ++y)
    rows.append(reinterpret_cast<const char*>(bitmap.GetScanline(y)), bytes);
  return rows;
}

// The rows in 24-bit colour, from a copy in memory.
std::string Colours(TIEBitmap& bitmap) {
  TIEBitmap copy;
  copy.Assign(&bitmap);
  copy.ConvertToPixelFormat(ie24RGB);
  return Rows(copy);
}

TEST_F(HeldFormatTest, WideFilesFillFrameworkBitmapsInAFormatTheyHold) {
  // An odd width, so that a 16-bit row is longer than the padded 8-bit one.
  InDir("/usr/bin/convert -size 13x5 gradient:'#ff8000'-'#0040c0' -depth 16 rgb.ppm");
  {
    TFileStream out(Path("g.bmp"), fmCreate);
    const std::string file = GreyBitmapFile();
    out.Write(file.data(), static_cast<int32_t>(file.size()));
  }
  const struct {
    const char* name;
    const char* make;  // from rgb.ppm, in the test's folder; none for a file made here
    Reader read;
    bool native;
    TIEPixelFormat held;
  } cases[] = {
      {"g.png", "-colorspace gray -depth 16 -define png:color-type=0", ReadPNG, true, ie8g},
      {"g.tif", "-colorspace gray -depth 16 -compress none", ReadTIFF, false, ie24RGB},
      {"g.tif", "-colorspace gray -depth 16 -compress none", ReadTIFF, true, ie8g},
      {"c.tif", "-depth 16 -compress none", ReadTIFF, true, ie24RGB},
      {"g.pgm", "-colorspace gray -depth 16", ReadPNM, true, ie8g},
      {"c.ppm", "-depth 16", ReadPNM, true, ie24RGB},
      {"g.psd", "-colorspace gray -depth 16", ReadPSD, true, ie8g},
      {"c.psd", "-depth 16", ReadPSD, true, ie24RGB},
      {"g.bmp", nullptr, ReadBMP, true, ie8g},
      // Formats it holds come as they are, with their colour table.
      {"p.bmp", "-depth 8 -colors 7 -type Palette", ReadBMP, true, ie8p},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name) + (c.native ? " native" : ""));
    if (c.make) InDir(std::string("/usr/bin/convert rgb.ppm ") + c.make + " " + c.name);
    TIEBitmap plain, framework;
    framework.SetLocation(ieTBitmap);
    ASSERT_TRUE(Load(c.name, c.read, c.native, plain));
    ASSERT_TRUE(Load(c.name, c.read, c.native, framework));
    ASSERT_EQ(framework.Location(), ieTBitmap);
    ASSERT_EQ(framework.GetPixelFormat(), c.held);
    ASSERT_EQ(framework.GetWidth(), 13);
    plain.ConvertToPixelFormat(c.held);
    EXPECT_EQ(Rows(framework), Rows(plain));
    EXPECT_EQ(Colours(framework), Colours(plain));
  }
}

}  // namespace
