// Saves judged by other programs: images loaded in their own pixel formats
// (16-bit grey, RGBA, a grey palette, a palette with a transparent entry)
// are saved as PNG, GIF, Targa, ICO and TIFF, and netpbm's decoders or
// ImageMagick must find the same pixels and alpha, exactly (GIF keeps only
// full opacity or none).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "imaging/io/imageryio.h"
#include "tests/imaging/io/io_test_support.h"

namespace {

using iotest::IOTest;

void Shell(const std::string& command) { ASSERT_EQ(std::system(command.c_str()), 0) << command; }

// The samples of a PGM, PPM or PAM file (maxval up to 65535), row by row.
struct Pnm {
  int32_t width = 0, height = 0, depth = 0, maxval = 0;
  std::vector<uint16_t> samples;
  uint16_t At(int32_t x, int32_t y, int32_t channel) const {
    return samples[(static_cast<size_t>(y) * width + x) * depth + std::min(channel, depth - 1)];
  }
  // The sample on a scale of 0..255.
  int32_t At8(int32_t x, int32_t y, int32_t channel) const { return At(x, y, channel) * 255 / maxval; }
};

Pnm ReadPnm(const std::string& path) {
  Pnm p;
  const std::string bytes = iotest::ReadFile(path);
  std::istringstream in(bytes);
  std::string magic;
  in >> magic;
  if (magic == "P7") {
    std::string key;
    while (in >> key && key != "ENDHDR") {
      if (key == "WIDTH") in >> p.width;
      else if (key == "HEIGHT") in >> p.height;
      else if (key == "DEPTH") in >> p.depth;
      else if (key == "MAXVAL") in >> p.maxval;
      else in.ignore(1 << 20, '\n');
    }
  } else {
    // Numbers, and comment lines between them.
    auto number = [&in](int32_t& value) {
      while ((in >> std::ws).peek() == '#') in.ignore(1 << 20, '\n');
      in >> value;
    };
    number(p.width);
    number(p.height);
    if (magic == "P4") {
      p.maxval = 1;
    } else {
      number(p.maxval);
    }
    p.depth = magic == "P6" ? 3 : 1;
  }
  in.get();  // the one white-space byte before the samples
  const size_t count = static_cast<size_t>(p.width) * p.height * p.depth;
  const size_t start = static_cast<size_t>(in.tellg());
  if (magic == "P4") {  // packed rows, 1 = black
    const size_t rowBytes = (static_cast<size_t>(p.width) + 7) / 8;
    if (bytes.size() < start + rowBytes * p.height) return Pnm{};
    for (int32_t y = 0; y < p.height; ++y)
      for (int32_t x = 0; x < p.width; ++x)
        p.samples.push_back((bytes[start + y * rowBytes + x / 8] >> (7 - x % 8) & 1) ? 0 : 1);
    return p;
  }
  const int bytesPerSample = p.maxval > 255 ? 2 : 1;
  if (bytes.size() < start + count * bytesPerSample) return Pnm{};
  for (size_t i = 0; i < count; ++i) {
    const auto* s = reinterpret_cast<const uint8_t*>(bytes.data() + start + i * bytesPerSample);
    p.samples.push_back(bytesPerSample == 2 ? static_cast<uint16_t>(s[0] << 8 | s[1]) : s[0]);
  }
  return p;
}

// How the saved file is decoded: its colours into c.pnm, its alpha into a.pgm.
std::string DecodeCommand(const std::string& ext) {
  if (ext == "png") return "pngtopam x.png > c.pnm && pngtopam -alpha x.png > a.pgm";
  if (ext == "gif") return "giftopnm -alphaout=a.pgm x.gif > c.pnm";
  // Row by row: the whole-image path would premultiply alpha and cut 16 bits
  // to 8. tifftopnm writes an alpha file (all 0) also for pages without alpha.
  if (ext == "tif")
    return "tifftopnm -byrow -alphaout=a.pgm x.tif > c.pnm 2> /dev/null && "
           "(tiffinfo x.tif | grep -q 'Extra Samples' || rm a.pgm)";
  // Targa and icons: ImageMagick
  return "/usr/bin/convert x." + ext + "[0] -depth 8 ppm:c.pnm && /usr/bin/convert x." + ext +
         "[0] -alpha extract -depth 8 pgm:a.pgm";
}

class SaveRoundTrip : public IOTest {
protected:
  void SetUp() override {
    IOTest::SetUp();
    IESetCodecTable({});
    dir_ = iotest::TempFolder() + "roundtrip/";
    std::filesystem::create_directories(dir_);
  }
  void InDir(const std::string& command) { Shell("cd " + dir_ + " && " + command); }

  std::string dir_;
};

TEST_F(SaveRoundTrip, OtherProgramsReadBackTheSourcePixels) {
  // 16-bit levels whose high and low bytes differ, an RGBA gradient of few
  // colours with graded alpha, a grey palette whose order is not a ramp,
  // and a palette with one transparent entry.
  InDir("/usr/bin/convert -size 23x17 gradient:'gray(3%)'-'gray(97%)' -rotate 90 -colorspace gray -depth 16 "
        "-compress none g16.tif");
  InDir("/usr/bin/convert -size 20x10 gradient:red-blue \\( -size 20x10 gradient:white-black \\) -alpha off "
        "-compose copy_opacity -composite -depth 8 -compress none rgba.tif");
  InDir("/usr/bin/convert -size 30x20 gradient:white-black -colorspace gray -type palette -depth 8 -compress none "
        "greypal.tif");
  InDir("/usr/bin/convert -size 12x9 xc:red -fill blue -draw 'rectangle 2,2 6,6' -alpha set -region 4x3+8+0 "
        "-alpha transparent +region png8:tpal.png");
  const struct {
    const char* source;
    TIEPixelFormat format;  // as loaded natively
  } sources[] = {{"g16.tif", ie16Gray}, {"rgba.tif", ie24RGB}, {"greypal.tif", ie8p}, {"tpal.png", ie8p}};
  for (const auto& source : sources)
    for (const char* ext : {"png", "gif", "tga", "ico", "tif"}) {
      SCOPED_TRACE(std::string(source.source) + " as " + ext);
      TImageryIO io(nullptr);
      io.SetNativePixelFormat(true);
      ASSERT_TRUE(io.LoadFromFile(dir_ + source.source));
      TIEBitmap& image = *io.IEBitmap();
      ASSERT_EQ(image.GetPixelFormat(), source.format);
      if (ext == std::string("ico")) {  // one icon of the image's size, with its alpha
        io.Params().ICOSizes.fill(TIEIconSize{});
        io.Params().ICOSizes[0] = TIEIconSize{image.GetWidth(), image.GetHeight()};
        io.Params().ICOBitCounts.fill(0);
        io.Params().ICOBitCounts[0] = 32;
      }
      std::filesystem::remove(dir_ + "a.pgm");
      io.SaveToFile(dir_ + "x." + ext);
      ASSERT_FALSE(io.Aborting());
      InDir(DecodeCommand(ext));
      const Pnm colours = ReadPnm(dir_ + "c.pnm");
      const bool hasAlpha = std::filesystem::exists(dir_ + "a.pgm");
      const Pnm alpha = hasAlpha ? ReadPnm(dir_ + "a.pgm") : Pnm{};
      ASSERT_EQ(colours.width, image.GetWidth());
      ASSERT_EQ(colours.height, image.GetHeight());
      const bool sixteen = colours.maxval == 65535;
      // 16 bits where the format holds them.
      EXPECT_EQ(sixteen, source.format == ie16Gray && (ext == std::string("png") || ext == std::string("tif")));
      const bool binaryAlpha = ext == std::string("gif");
      int wrongColours = 0, wrongAlpha = 0;
      for (int32_t y = 0; y < image.GetHeight(); ++y)
        for (int32_t x = 0; x < image.GetWidth(); ++x) {
          const int32_t a = image.HasAlphaChannel() ? image.GetAlphaChannel()->GetPixel8(x, y) : 255;
          const int32_t wantAlpha = binaryAlpha ? (a == 255 ? 255 : 0) : a;
          const int32_t gotAlpha = hasAlpha && alpha.width == colours.width ? alpha.At8(x, y, 0) : 255;
          wrongAlpha += gotAlpha != wantAlpha;
          if (wantAlpha == 0) continue;  // no colour to keep
          TRGB want;
          image.GetPixelRGB(x, y, want);
          if (sixteen) {
            wrongColours += colours.At(x, y, 0) != image.GetPixel16(x, y);
          } else {
            wrongColours += colours.At(x, y, 0) != want.r || colours.At(x, y, 1) != want.g ||
                            colours.At(x, y, 2) != want.b;
          }
        }
      EXPECT_EQ(wrongColours, 0);
      EXPECT_EQ(wrongAlpha, 0);
    }
}

}  // namespace
