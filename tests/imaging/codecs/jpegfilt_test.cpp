// The JPEG codec judged by libjpeg's own tools: files made by cjpeg and
// ImageMagick decode to djpeg's pixels, files we write decode in djpeg,
// damaged and foreign data fail cleanly, and the ICC profile travels in chunks.
#include "imaging/codecs/jpegfilt.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include "tests/imaging/codecs/codec_test_support.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/core/ruduvazez_icc.h"
#include "imaging/core/ruduvazez_startup.h"
#include "imaging/io/imageryio.h"
#include "imaging/io/imageryio_params.h"
#include "imaging/io/imageryio_registry.h"
#include "platform/rtl/streams.h"

namespace fs = std::filesystem;

namespace {

using codectest::ReadAll;
using codectest::Shell;

// A binary PNM (P5 or P6) as its header values and samples.
struct Pnm {
  int width = 0, height = 0, channels = 0;
  std::string samples;
};

Pnm ReadPnm(const std::string& file) {
  const std::string data = ReadAll(file);
  std::istringstream in(data);
  std::string magic;
  int maxval = 0;
  Pnm p;
  in >> magic >> p.width >> p.height >> maxval;
  in.get();
  p.channels = magic == "P5" ? 1 : 3;
  p.samples = data.substr(static_cast<size_t>(in.tellg()));
  return p;
}

class JpegTest : public codectest::CodecTest {
protected:
  void TearDown() override {
    params_.FreeICCProfiles();
    CodecTest::TearDown();
  }

  // Reads the file with the codec; the bitmap and parameters stay for the test.
  int32_t Read(const std::string& file, TIEJpegReadOptions options = {}) {
    abort_ = false;
    TFileStream stream(file, fmOpenRead);
    return IEReadJPEGStream(stream, &bitmap_, params_, progress_, options);
  }
  int32_t ReadBytes(const std::string& bytes, TIEJpegReadOptions options = {}) {
    abort_ = false;
    TMemoryStream stream;
    if (!bytes.empty()) stream.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
    stream.SetPosition(0);
    return IEReadJPEGStream(stream, &bitmap_, params_, progress_, options);
  }

  // The bitmap's samples in PNM order (R, G, B or grey) for comparison.
  std::string Samples(int channels) {
    std::string out;
    for (int32_t y = 0; y < bitmap_.GetHeight(); ++y)
      for (int32_t x = 0; x < bitmap_.GetWidth(); ++x) {
        if (channels == 1) {
          out += static_cast<char>(bitmap_.GetScanline(y)[x]);
        } else {
          const TRGB c = bitmap_.GetPixel24(x, y);
          out += static_cast<char>(c.r);
          out += static_cast<char>(c.g);
          out += static_cast<char>(c.b);
        }
      }
    return out;
  }

  TIEBitmap bitmap_;
  TIOParamsVals params_{nullptr};
};

// Each kind of file decodes to exactly what djpeg decodes (the same library
// underneath, so equal samples, not close ones).
TEST_F(JpegTest, FilesOfOtherToolsDecodeToDjpegsPixels) {
  const std::string source = Path("src.ppm");
  Shell("/usr/bin/convert -size 61x37 gradient:red-blue -depth 8 " + source);
  const struct {
    const char* name;
    const char* make;      // writes the file from src.ppm
    bool native;
    TIEPixelFormat format;
    int jpegColorSpace;
    const char* djpeg;     // options of the reference decode
  } cases[] = {
      {"ycc.jpg", "cjpeg -quality 90 src.ppm > ycc.jpg", false, ie24RGB, 2, ""},
      {"grey-native.jpg", "cjpeg -grayscale src.ppm > grey-native.jpg", true, ie8g, 1, ""},
      {"grey-24.jpg", "cjpeg -grayscale src.ppm > grey-24.jpg", false, ie24RGB, 1, "-rgb"},
      {"progressive.jpg", "cjpeg -progressive -sample 1x1 src.ppm > progressive.jpg", false, ie24RGB, 2, ""},
      {"rgb.jpg", "cjpeg -rgb src.ppm > rgb.jpg", false, ie24RGB, 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Shell("cd " + dir_.string() + " && " + c.make);
    Shell("djpeg " + std::string(c.djpeg) + " -pnm " + Path(c.name) + " > " + Path("ref.pnm"));
    const Pnm ref = ReadPnm(Path("ref.pnm"));
    params_.ISNATIVEPIXELFORMAT = c.native;
    TIEJpegReadOptions options;
    options.NativePixelFormat = c.native;
    EXPECT_EQ(Read(Path(c.name), options), 37);
    EXPECT_FALSE(abort_.load());
    EXPECT_EQ(bitmap_.GetPixelFormat(), c.format);
    EXPECT_EQ(params_.JPEG_COLORSPACE, c.jpegColorSpace);
    ASSERT_EQ(bitmap_.GetWidth(), ref.width);
    EXPECT_TRUE(Samples(ref.channels) == ref.samples);
  }
}

TEST_F(JpegTest, CmykStaysRawNativelyAndBecomesRgbOtherwise) {
  Shell("/usr/bin/convert -size 16x8 xc:'#3080c0' -colorspace CMYK -depth 8 " + Path("cmyk.jpg"));
  TIEJpegReadOptions native;
  native.NativePixelFormat = true;
  ASSERT_EQ(Read(Path("cmyk.jpg"), native), 8);
  EXPECT_EQ(bitmap_.GetPixelFormat(), ieCMYK);
  EXPECT_EQ(params_.SAMPLESPERPIXEL, 4);
  EXPECT_TRUE(params_.JPEG_COLORSPACE == 3 || params_.JPEG_COLORSPACE == 4);
  ASSERT_EQ(Read(Path("cmyk.jpg")), 8);
  EXPECT_EQ(bitmap_.GetPixelFormat(), ie24RGB);
  EXPECT_EQ(params_.SAMPLESPERPIXEL, 4);
  const TRGB c = bitmap_.GetPixel24(3, 3);
  EXPECT_NEAR(c.r, 0x30, 24);
  EXPECT_NEAR(c.g, 0x80, 24);
  EXPECT_NEAR(c.b, 0xC0, 24);
}

TEST_F(JpegTest, DamagedAndForeignDataFailCleanly) {
  Shell("/usr/bin/convert -size 64x64 plasma:fractal -seed 3 -depth 8 -quality 90 " + Path("a.jpg"));
  const std::string good = ReadAll(Path("a.jpg"));
  ASSERT_GT(Read(Path("a.jpg")), 0);
  ASSERT_FALSE(abort_.load());

  const struct {
    const char* what;
    std::string bytes;
    bool fails;
  } cases[] = {
      {"149 bytes before the start", std::string(149, 'x') + good, false},
      {"150 bytes before the start", std::string(150, 'x') + good, true},
      {"empty", "", true},
      {"cut in the scan data", good.substr(0, good.size() / 2), true},
      {"header only", good.substr(0, 200), true},
      {"not a JPEG", "GIF89a and more bytes than that", true},
      {"no end marker", good.substr(0, good.size() - 2), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ReadBytes(c.bytes);
    EXPECT_EQ(abort_.load(), c.fails);
  }
  // Every truncation and a flipped bit here and there end without a crash.
  for (size_t n = 0; n < good.size(); n += 97) ReadBytes(good.substr(0, n));
  for (size_t i = 2; i < good.size(); i += 53) {
    std::string flipped = good;
    flipped[i] = static_cast<char>(flipped[i] ^ (1 << (i % 8)));
    ReadBytes(flipped);
  }
  // Headers that declare an image the data could never hold are refused
  // before anything is allocated for it: the file above at 65000 x 65000,
  // and a 307-byte file at 28684 x 64008 that fuzzing found.
  std::string giant = good;
  const size_t frame = giant.find("\xFF\xC0");
  ASSERT_NE(frame, std::string::npos);
  giant.replace(frame + 5, 4, "\xFD\xE8\xFD\xE8");
  rusage before{};
  getrusage(RUSAGE_SELF, &before);
  for (const std::string& bytes :
       {giant, ReadAll(VESK_SOURCE_DIR "/tests/fuzz/regressions/fuzz_jpeg/giant-image-in-307-bytes.jpg")}) {
    ASSERT_GT(bytes.size(), 300u);
    ReadBytes(bytes);
    EXPECT_TRUE(abort_.load());
  }
  rusage after{};
  getrusage(RUSAGE_SELF, &after);
  EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64 * 1024);  // kilobytes
}

TEST_F(JpegTest, ScaleChoosesTheSmallestImageThatCoversTheWantedSize) {
  Shell("/usr/bin/convert -size 400x300 xc:gray -depth 8 " + Path("big.jpg"));
  const struct {
    uint8_t scale;
    int32_t wantedW, wantedH;
    int32_t used, width;
  } cases[] = {{0, 30, 20, 8, 50}, {0, 150, 100, 2, 200}, {0, 500, 500, 1, 400}, {0, 0, 0, 1, 400},
               {3, 0, 0, 4, 100}, {9, 0, 0, 1, 400}};
  for (const auto& c : cases) {
    params_.JPEG_SCALE = c.scale;
    params_.WIDTH = c.wantedW;
    params_.HEIGHT = c.wantedH;
    Read(Path("big.jpg"));
    EXPECT_EQ(params_.JPEG_SCALE_USED, c.used);
    EXPECT_EQ(bitmap_.GetWidth(), c.width);
    EXPECT_EQ(params_.ORIGINALWIDTH, 400);
  }
  // Parameters only: the full size, and the bitmap is not touched.
  TIEBitmap untouched;
  TFileStream stream(Path("big.jpg"), fmOpenRead);
  TIEJpegReadOptions headerOnly;
  headerOnly.ParamsOnly = true;
  EXPECT_EQ(IEReadJPEGStream(stream, &untouched, params_, progress_, headerOnly), 0);
  EXPECT_EQ(params_.WIDTH, 400);
  EXPECT_TRUE(untouched.IsEmpty());
}

TEST_F(JpegTest, WrittenFilesDecodeInDjpegAndKeepTheCallersImage) {
  TIEBitmap grey;
  ASSERT_TRUE(grey.Allocate(33, 17, ie8g));
  for (int32_t y = 0; y < 17; ++y)
    for (int32_t x = 0; x < 33; ++x) grey.GetScanline(y)[x] = static_cast<uint8_t>(x * 7 + y);
  const struct {
    uint8_t colorSpace;
    bool jfif, adobe;
  } cases[] = {{0, false, true}, {1, true, false}, {2, true, false}, {3, true, true}, {4, false, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.colorSpace));
    params_.JPEG_COLORSPACE = c.colorSpace;
    params_.JPEG_QUALITY = 95;
    params_.DPIX = 150;
    params_.DPIY = 0;  // the library-wide default
    abort_ = false;
    {
      TFileStream out(Path("w.jpg"), fmCreate);
      IEWriteJPEGStream(out, grey, params_, progress_);
    }
    EXPECT_FALSE(abort_.load());
    EXPECT_EQ(grey.GetPixelFormat(), ie8g);
    const std::string file = ReadAll(Path("w.jpg"));
    EXPECT_EQ(file.compare(6, 4, "JFIF") == 0, c.jfif);
    EXPECT_EQ(file.find("Adobe") != std::string::npos, c.adobe);
    Shell("djpeg -pnm " + Path("w.jpg") + " > " + Path("w.pnm"));
    if (c.jfif) {
      EXPECT_EQ(static_cast<uint8_t>(file[13]), 1);  // dots per inch
      EXPECT_EQ((static_cast<uint8_t>(file[14]) << 8) | static_cast<uint8_t>(file[15]), 150);
    }
    if (c.colorSpace == 1 || c.colorSpace == 2) {
      Read(Path("w.jpg"));
      EXPECT_NEAR(bitmap_.GetPixel24(20, 10).g, grey.GetScanline(10)[20], 4);
    }
  }
  // The caller's abort between rows ends the image there: no more rows, no
  // end of image, and libjpeg is not asked to finish what it lacks.
  TIEBitmap tall;
  ASSERT_TRUE(tall.Allocate(64, 512, ie8g));
  tall.Fill(128);
  TMemoryStream whole, cut;
  abort_ = false;
  IEWriteJPEGStream(whole, tall, params_, progress_);
  EXPECT_FALSE(abort_.load());
  progress_.fOnProgress = [this](TObject*, int32_t percent) {
    if (percent >= 10) abort_ = true;
  };
  IEWriteJPEGStream(cut, tall, params_, progress_);
  progress_.fOnProgress = nullptr;
  EXPECT_TRUE(abort_.load());
  EXPECT_LT(cut.Size(), whole.Size());
  std::string tail(2, '\0');
  cut.SetPosition(cut.Size() - 2);
  cut.Read(tail.data(), 2);
  EXPECT_NE(tail, "\xFF\xD9");
  // An empty image writes nothing and says so.
  TIEBitmap empty;
  abort_ = false;
  TMemoryStream out;
  IEWriteJPEGStream(out, empty, params_, progress_);
  EXPECT_TRUE(abort_.load());
  EXPECT_EQ(out.Size(), 0);
}

TEST_F(JpegTest, IccProfileTravelsInChunksAndMarkersSurvive) {
  const std::string profile = ReadAll("/usr/share/color/icc/ghostscript/default_cmyk.icc");
  ASSERT_EQ(profile.size(), 187484u);
  params_.GetInputICCProfile().LoadFromBuffer(profile.data(), static_cast<int32_t>(profile.size()));
  ASSERT_TRUE(params_.GetInputICCProfile().IsValid());
  IEICCProfileToJPEGMarkers(params_);
  ASSERT_EQ(params_.JPEGMarkers.GetCount(), 6);
  EXPECT_EQ(params_.JPEGMarkers.GetMarkerLength(0), 32014);
  EXPECT_EQ(params_.JPEGMarkers.GetMarkerLength(5), 187484 - 5 * 32000 + 14);
  EXPECT_EQ(params_.JPEGMarkers.GetMarkerData(5)[12], 6);
  EXPECT_EQ(params_.JPEGMarkers.GetMarkerData(5)[13], 6);

  // Written with a comment and an APP14 of the source; read back.
  const char comment[] = "made here";
  params_.JPEGMarkers.AddMarker(0xFE, comment, 9);
  params_.JPEGMarkers.AddMarker(0xEE, "Adobe\0\144\0\0\0\0\1", 12);
  params_.JPEG_COLORSPACE = 2;
  TIEBitmap image;
  ASSERT_TRUE(image.Allocate(8, 8, ie24RGB));
  {
    TFileStream out(Path("icc.jpg"), fmCreate);
    IEWriteJPEGStream(out, image, params_, progress_);
  }
  TIOParamsVals back(nullptr);
  abort_ = false;
  TFileStream in(Path("icc.jpg"), fmOpenRead);
  TIEBitmap decoded;
  IEReadJPEGStream(in, &decoded, back, progress_, {});
  EXPECT_FALSE(abort_.load());
  ASSERT_TRUE(back.InputICCProfileOrNull() && back.InputICCProfileOrNull()->IsValid());
  TMemoryStream bytes;
  back.InputICCProfileOrNull()->SaveToStream(bytes, true);
  ASSERT_EQ(bytes.Size(), 187484);
  EXPECT_EQ(std::string(static_cast<const char*>(bytes.Memory()), 187484), profile);
  // The comment came back; no APP14 of ours (the library writes none for YCbCr).
  int32_t comments = 0, adobe = 0;
  for (int32_t i = 0; i < back.JPEGMarkers.GetCount(); ++i) {
    comments += back.JPEGMarkers.GetMarkerType(i) == 0xFE;
    adobe += back.JPEGMarkers.GetMarkerType(i) == 0xEE;
  }
  EXPECT_EQ(comments, 1);
  EXPECT_EQ(adobe, 0);
  // ImageMagick and exiftool find the profile we embedded.
  Shell("/usr/bin/convert " + Path("icc.jpg") + " " + Path("out.icc"));
  EXPECT_TRUE(ReadAll(Path("out.icc")) == profile);
  Shell("exiftool -b -ICC_Profile " + Path("icc.jpg") + " > " + Path("exiftool.icc"));
  EXPECT_TRUE(ReadAll(Path("exiftool.icc")) == profile);
}

TEST_F(JpegTest, StreamUtilitiesFindTheImageAndItsLength) {
  Shell("/usr/bin/convert -size 9x9 xc:red " + Path("r.jpg"));
  const std::string jpeg = ReadAll(Path("r.jpg"));
  TMemoryStream s;
  const std::string bytes = "xyz" + jpeg + "trailing";
  s.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
  s.SetPosition(0);
  EXPECT_EQ(IEFindJPEGSOI(s, false), -1);
  EXPECT_EQ(IEFindJPEGSOI(s, true), 3);
  EXPECT_EQ(s.Position(), 0);
  s.SetPosition(3);
  EXPECT_EQ(IEFindJPEGSOI(s, false), 0);
  EXPECT_EQ(IEGetJPEGLength(s), static_cast<int64_t>(jpeg.size()));
  EXPECT_EQ(s.Position(), 3);
}

TEST_F(JpegTest, TheIOComponentLoadsAndSavesJpeg) {
  Shell("/usr/bin/convert -size 20x10 xc:'#204060' -quality 95 " + Path("c.jpg"));
  TIEBitmap bitmap;
  std::unique_ptr<TImageryIO> io(TImageryIO::CreateFromBitmap(&bitmap));
  ASSERT_TRUE(io->LoadFromFile(Path("c.jpg")));
  EXPECT_EQ(io->Params().FILETYPE, 3);
  EXPECT_EQ(bitmap.GetWidth(), 20);
  io->SaveToFile(Path("d.jpg"));
  EXPECT_FALSE(io->Aborting());
  Shell("djpeg " + Path("d.jpg") + " > /dev/null");
}

}  // namespace
