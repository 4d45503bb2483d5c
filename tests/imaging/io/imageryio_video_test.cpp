// Frames of AVI files through the I/O component: LoadFromFile by extension,
// the open-read-close members, the frame count and the video library's
// start and end.
#include <gtest/gtest.h>

#include <string>

#include "imaging/io/imageryio.h"
#include "tests/imaging/io/io_test_support.h"
#include "tests/platform/win/avi_test_support.h"

namespace {

using namespace avitest;
using iotest::IOTest;

class VideoFrames : public IOTest {
protected:
  // Pixels of the bitmap that differ from ffmpeg's bgr24 frame in the bits
  // of the mask.
  static int32_t Differing(TIEBitmap& bitmap, const std::string& bgr, uint8_t mask) {
    int32_t differ = 0;
    for (int32_t y = 0; y < bitmap.GetHeight(); ++y)
      for (int32_t x = 0; x < bitmap.GetWidth(); ++x) {
        TRGB rgb;
        bitmap.GetPixelRGB(x, y, rgb);
        const size_t at = (static_cast<size_t>(y) * bitmap.GetWidth() + x) * 3;
        if (at + 2 >= bgr.size()) return -1;
        for (int c = 0; c < 3; ++c)
          if (((&rgb.b)[c] ^ static_cast<uint8_t>(bgr[at + c])) & mask) {
            ++differ;
            break;
          }
      }
    return differ;
  }
  // A 2 x 2 picture that a failed read must leave alone.
  static void Paint(TImageryIO& io) {
    io.IEBitmap()->Allocate(2, 2, ie24RGB);
    io.IEBitmap()->SetPixel24(1, 1, TRGB{1, 2, 3});
  }
  static void ExpectUntouched(TImageryIO& io) {
    EXPECT_EQ(io.IEBitmap()->GetWidth(), 2);
    EXPECT_EQ(io.IEBitmap()->GetPixel24(1, 1), (TRGB{1, 2, 3}));
  }
};

// 1-bit frames become black-and-white bitmaps: a video in black and white.
std::string BlackAndWhiteVideo() {
  return Cached("dib1bw.avi", [](const std::string& path) {
    TDIBVideo video = PatternVideo(1, kFrames);
    video.palette = {0x000000, 0xFFFFFF};
    WriteAll(path, WriteDIBAVI(video));
  });
}

struct TFrameCase {
  const char* name;
  std::string (*make)();
  int32_t bitsPerSample, samplesPerPixel;
  TIEPixelFormat format;
  // The bits compared with ffmpeg's frame: 16-bit pixels widen their five
  // bits without filling the low ones, as the GDI does.
  uint8_t mask = 0xFF;
};

const TFrameCase kFrameCases[] = {
    {"dib1", [] { return BlackAndWhiteVideo(); }, 1, 1, ie1g},
    {"dib4", [] { return DIBVideo("dib4.avi", 4); }, 4, 1, ie24RGB},
    {"pal8", [] { return FfmpegVideo("pal8.avi", "-c:v rawvideo -pix_fmt pal8"); }, 8, 1, ie24RGB},
    {"rgb555", [] { return FfmpegVideo("rgb555.avi", "-c:v rawvideo -pix_fmt rgb555le"); }, 8, 3, ie24RGB, 0xF8},
    {"bgr24", [] { return FfmpegVideo("bgr24.avi", "-c:v rawvideo -pix_fmt bgr24"); }, 8, 3, ie24RGB},
    {"mjpeg", [] { return FfmpegVideo("mjpeg.avi", "-c:v mjpeg -pix_fmt yuvj420p"); }, 8, 3, ie24RGB},
};

class VideoFrameCases : public VideoFrames, public ::testing::WithParamInterface<TFrameCase> {};

// LoadFromFile of an ".avi" with IMAGEINDEX 5 reads frame 5 and closes the
// file; the parameters follow the frame's bit count.
TEST_P(VideoFrameCases, LoadFromFileReadsTheIndexedFrame) {
  const TFrameCase& video = GetParam();
  const std::string path = video.make();
  TImageryIO io(nullptr);
  int32_t finished = 0;
  io.OnFinishWork = [&](TObject*) { ++finished; };
  io.Params().DPIX = io.Params().DPIY = 72;
  io.Params().SetImageIndex(5);
  ASSERT_TRUE(io.LoadFromFile(path, -1));
  EXPECT_FALSE(io.Aborting());
  EXPECT_EQ(finished, 1);
  TIOParamsVals& params = io.Params();
  EXPECT_EQ(params.FILETYPE, 15);
  EXPECT_EQ(params.FILENAME, path);
  EXPECT_EQ(params.IMAGECOUNT, kFrames);
  EXPECT_DOUBLE_EQ(params.AVI_FRAMEDELAYTIME, 40.0);
  EXPECT_EQ(params.BITSPERSAMPLE, video.bitsPerSample);
  EXPECT_EQ(params.SAMPLESPERPIXEL, video.samplesPerPixel);
  EXPECT_EQ(params.DPIX, 300);
  EXPECT_EQ(params.DPIY, 300);
  EXPECT_EQ(params.WIDTH, kWidth);
  EXPECT_EQ(params.ORIGINALHEIGHT, kHeight);
  EXPECT_EQ(io.IEBitmap()->GetPixelFormat(), video.format);
  EXPECT_EQ(Differing(*io.IEBitmap(), FfmpegFrame(path, 5), video.mask), 0);
  // Closed again: the file can go.
  EXPECT_EQ(IEGetFileImageCount(path), kFrames);
}

INSTANTIATE_TEST_SUITE_P(Videos, VideoFrameCases, ::testing::ValuesIn(kFrameCases),
                         [](const auto& info) { return std::string(info.param.name); });

// An index outside the frames fails the read and leaves the bitmap as it was.
TEST_F(VideoFrames, IndexAtOrPastTheCountFails) {
  const std::string path = DIBVideo("dib4.avi", 4);
  TImageryIO io(nullptr);
  Paint(io);
  io.Params().SetImageIndex(kFrames);
  EXPECT_FALSE(io.LoadFromFile(path, -1));
  EXPECT_TRUE(io.Aborting());
  ExpectUntouched(io);
  ASSERT_EQ(io.OpenAVIFile(path), kFrames);
  for (int32_t index : {kFrames, kFrames + 1, -1}) {
    EXPECT_FALSE(io.LoadFromAVI(index)) << index;
    EXPECT_TRUE(io.Aborting());
    ExpectUntouched(io);
  }
  EXPECT_TRUE(io.LoadFromAVI(kFrames - 1));
  EXPECT_FALSE(io.Aborting());
  io.CloseAVIFile();
  EXPECT_FALSE(io.LoadFromAVI(0));
}

// The delay is the stream's frame time; without a rate or a scale it is 0.
TEST_F(VideoFrames, FrameDelayFromScaleAndRate) {
  for (const auto& [scale, rate, delay] : {std::tuple{100u, 2500u, 40.0}, {1u, 8u, 125.0}, {0u, 25u, 0.0},
                                           {1u, 0u, 0.0}}) {
    TDIBVideo video = PatternVideo(1, 2);
    video.scale = scale;
    video.rate = rate;
    const std::string path = iotest::TempFolder() + "delay.avi";
    WriteAll(path, WriteDIBAVI(video));
    TImageryIO io(nullptr);
    EXPECT_EQ(io.OpenAVIFile(path), 2);
    EXPECT_DOUBLE_EQ(io.Params().AVI_FRAMEDELAYTIME, delay) << scale << "/" << rate;
    EXPECT_TRUE(io.LoadFromAVI(1));
    EXPECT_DOUBLE_EQ(io.Params().AVI_FRAMEDELAYTIME, delay);
  }
}

// A file that is no AVI fails the open: False, Aborting, no finish event,
// the bitmap as it was, no frames counted.
TEST_F(VideoFrames, FileThatIsNoAVIFailsTheOpen) {
  const std::string path = iotest::WriteTempFile("words.avi", "RIFF and some words, but no video");
  TImageryIO io(nullptr);
  Paint(io);
  int32_t finished = 0;
  io.OnFinishWork = [&](TObject*) { ++finished; };
  EXPECT_FALSE(io.LoadFromFile(path, -1));
  EXPECT_TRUE(io.Aborting());
  EXPECT_EQ(finished, 0);
  ExpectUntouched(io);
  EXPECT_EQ(io.OpenAVIFile(path), 0);
  EXPECT_EQ(io.Params().FILENAME, path);
  EXPECT_EQ(IEGetFileImageCount(path), 0);
  EXPECT_EQ(IEGetFileImageCount(iotest::TempFolder() + "missing.avi"), 0);
}

// The unit ends the video library at its shut-down only when an AVI file was
// opened. The test holds a start of its own, so that an end too many shows
// as a refused open.
TEST_F(VideoFrames, VideoLibraryEndsOnlyAfterUse) {
  const std::string path = DIBVideo("dib1.avi", 1);
  AVIFileInit();
  auto opens = [&] {
    PAVIFILE file = nullptr;
    const HRESULT result = AVIFileOpenW(&file, path, OF_READ, nullptr);
    AVIFileRelease(file);
    return result == AVIERR_OK;
  };
  IEFinalizeImageryIO();
  EXPECT_TRUE(opens());
  IEInitializeImageryIO();
  TImageryIO(nullptr).OpenAVIFile(path);
  TImageryIO(nullptr).OpenAVIFile(path);
  IEFinalizeImageryIO();
  EXPECT_TRUE(opens());
  AVIFileExit();
  EXPECT_FALSE(opens());
  IEInitializeImageryIO();
}

}  // namespace
