// The conversion tool on files of the bitmap family, GIF, Targa, PCX, DCX
// and layered documents written by ImageMagick: the PAM it writes holds the
// pixels, with their alpha, that ImageMagick decodes from the same file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/imaging/codecs/bmpfilt_test_support.h"

namespace {

using bmptest::ParsePam;
using bmptest::TRgbaImage;
using bmptest::kMagick;

const std::string kTool = std::string(VESK_BINARY_DIR) + "/tools/ieconvert/ieconvert";

class IEConvertFamilyTest : public bmptest::BmpFamilyTest {};

// Colour and alpha of every pixel equal; the colour of pixels both call
// fully transparent is free.
void ExpectSamePam(const TRgbaImage& ours, const TRgbaImage& theirs, const std::string& what) {
  ASSERT_GT(theirs.width, 0) << what;
  ASSERT_EQ(ours.width, theirs.width) << what;
  ASSERT_EQ(ours.height, theirs.height) << what;
  int32_t bad = 0;
  for (int32_t y = 0; y < ours.height && bad < 5; ++y)
    for (int32_t x = 0; x < ours.width && bad < 5; ++x) {
      const uint8_t *a = ours.At(x, y), *b = theirs.At(x, y);
      const bool hidden = a[3] == 0 && b[3] == 0;
      if (a[3] == b[3] && (hidden || (a[0] == b[0] && a[1] == b[1] && a[2] == b[2]))) continue;
      ++bad;
      ADD_FAILURE() << what << " pixel " << x << "," << y << ": ours " << int{a[0]} << " " << int{a[1]} << " "
                    << int{a[2]} << " a" << int{a[3]} << ", ImageMagick's " << int{b[0]} << " " << int{b[1]} << " "
                    << int{b[2]} << " a" << int{b[3]};
    }
}

TEST_F(IEConvertFamilyTest, EachFormatConvertsToThePixelsImageMagickDecodes) {
  const struct {
    const char* file;
    const char* make;  // ImageMagick's arguments writing the file
    bool alpha;        // alpha compared (bitmaps load theirs only when asked to)
  } kCases[] = {
      {"a1.bmp", "src.png -monochrome -type Bilevel BMP3:a1.bmp", true},
      {"a4.bmp", "src.png -colors 12 -type Palette BMP3:a4.bmp", true},
      {"a8.bmp", "src.png -colors 200 -type Palette -compress RLE BMP3:a8.bmp", true},
      {"a24.bmp", "src.png -type TrueColor BMP3:a24.bmp", true},
      {"a32.bmp", "alpha.png -type TrueColorAlpha a32.bmp", false},
      {"a.ico", "alpha.png a.ico", true},
      {"a.pbm", "src.png -monochrome a.pbm", true},
      {"plain.pgm", "grey.png -compress none plain.pgm", true},
      {"a.ppm", "src.png a.ppm", true},
      {"a.wbmp", "src.png -monochrome a.wbmp", true},
      {"a.gif", "alpha.png -colors 64 a.gif", true},
      {"a.tga", "alpha.png a.tga", true},
      {"rle.tga", "src.png -colors 30 -type Palette -compress RLE rle.tga", true},
      {"a.pcx", "src.png -colors 100 -type Palette a.pcx", true},
      {"a24.pcx", "src.png -type TrueColor a24.pcx", true},
      {"a.dcx", "src.png a.dcx", true},
      {"a.psd", "alpha.png a.psd", true},
  };
  // A colourful source with a transparent corner, and a grey one; then
  // every file, our conversions and ImageMagick's decodings (oriented as
  // the file says), each group at once.
  std::string make = "-seed 4 -size 23x17 plasma:fractal -depth 8 src.png && " + std::string(kMagick) +
                     " src.png -alpha set -region 6x5+0+0 -alpha transparent +region alpha.png && " + kMagick +
                     " -size 23x17 gradient:white-black grey.png";
  std::string ours, theirs;
  for (const auto& c : kCases) {
    const std::string file = c.file;
    make += " && " + std::string(kMagick) + " " + c.make;
    ours += kTool + " " + file + " " + file + ".pam & ";
    theirs += std::string(kMagick) + " '" + file + "[0]' -auto-orient -depth 8 -alpha set pam:" + file + ".ref & ";
  }
  Magick(make);
  InDir("(" + ours + "wait)");
  InDir("(" + theirs + "wait)");
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.file);
    TRgbaImage converted = ParsePam(codectest::ReadAll(Path(std::string(c.file) + ".pam")));
    TRgbaImage reference = ParsePam(codectest::ReadAll(Path(std::string(c.file) + ".ref")));
    if (!c.alpha)
      for (size_t i = 3; i < reference.rgba.size(); i += 4) reference.rgba[i] = 255;
    ExpectSamePam(converted, reference, c.file);
  }
}

}  // namespace
