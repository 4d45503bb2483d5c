// The AVI file functions against ffmpeg's decoding of the same files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win/vfw.h"
#include "tests/platform/win/avi_test_support.h"

namespace {

using namespace avitest;

class AVIFileTest : public ::testing::Test {
protected:
  void SetUp() override { AVIFileInit(); }
  void TearDown() override {
    if (frames_) AVIStreamGetFrameClose(frames_);
    if (stream_) AVIStreamRelease(stream_);
    if (file_) AVIFileRelease(file_);
    AVIFileExit();
  }
  // Opens the file's first video stream and its decompressor.
  void Open(const std::string& path) {
    ASSERT_EQ(AVIFileOpenW(&file_, path, OF_READ, nullptr), AVIERR_OK) << path;
    ASSERT_EQ(AVIFileGetStream(file_, &stream_, streamtypeVIDEO, 0), AVIERR_OK);
    ASSERT_EQ(AVIStreamInfoW(stream_, &info_, sizeof info_), AVIERR_OK);
    frames_ = AVIStreamGetFrameOpen(stream_, nullptr);
    ASSERT_NE(frames_, nullptr);
  }

  PAVIFILE file_ = nullptr;
  PAVISTREAM stream_ = nullptr;
  PGETFRAME frames_ = nullptr;
  AVISTREAMINFOW info_{};
};

struct TVideoCase {
  const char* name;
  std::string (*make)();
  int32_t bitCount;  // of the frames handed out
};

const TVideoCase kVideos[] = {
    {"bgr24", [] { return FfmpegVideo("bgr24.avi", "-c:v rawvideo -pix_fmt bgr24"); }, 24},
    {"pal8", [] { return FfmpegVideo("pal8.avi", "-c:v rawvideo -pix_fmt pal8"); }, 8},
    {"rgb555", [] { return FfmpegVideo("rgb555.avi", "-c:v rawvideo -pix_fmt rgb555le"); }, 16},
    {"mjpeg", [] { return FfmpegVideo("mjpeg.avi", "-c:v mjpeg -pix_fmt yuvj420p"); }, 24},
    // Key frames every third frame: the others build on their predecessors.
    {"msvideo1", [] { return FfmpegVideo("msvideo1.avi", "-c:v msvideo1 -g 3"); }, 24},
    {"dib1", [] { return DIBVideo("dib1.avi", 1); }, 1},
    {"dib4", [] { return DIBVideo("dib4.avi", 4); }, 4},
};

class AVIFramesTest : public AVIFileTest, public ::testing::WithParamInterface<TVideoCase> {};

// Every frame, in order and then jumping back and forth, equals ffmpeg's.
TEST_P(AVIFramesTest, EveryFrameEqualsFfmpegDecoding) {
  const TVideoCase& video = GetParam();
  const std::string path = video.make();
  Open(path);
  EXPECT_EQ(info_.fccType, streamtypeVIDEO);
  EXPECT_EQ(info_.dwScale, 1u);
  EXPECT_EQ(info_.dwRate, 25u);
  ASSERT_EQ(info_.dwLength, static_cast<DWORD>(kFrames));
  std::vector<int32_t> order;
  for (int32_t k = 0; k < kFrames; ++k) order.push_back(k);
  for (int32_t k : {7, 2, 3, 0, 6, 1, 5, 4, 4}) order.push_back(k);
  for (int32_t k : order) {
    const BITMAPINFOHEADER* frame = AVIStreamGetFrame(frames_, k);
    ASSERT_NE(frame, nullptr) << "frame " << k;
    EXPECT_EQ(frame->biBitCount, video.bitCount);
    EXPECT_EQ(frame->biWidth, kWidth);
    EXPECT_EQ(frame->biHeight < 0 ? -frame->biHeight : frame->biHeight, kHeight);
    EXPECT_EQ(DiffersFromFrame(*frame, FfmpegFrame(path, k)), 0) << "frame " << k;
  }
}

INSTANTIATE_TEST_SUITE_P(Videos, AVIFramesTest, ::testing::ValuesIn(kVideos),
                         [](const auto& info) { return std::string(info.param.name); });

// Scale, rate and length are the header's own, even where they make no
// frame rate; the frames stay readable.
TEST_F(AVIFileTest, InformationAsTheHeaderStatesIt) {
  for (const auto& [scale, rate] : {std::pair{100u, 2500u}, {0u, 25u}, {1u, 0u}}) {
    TDIBVideo video = PatternVideo(8, 3);
    video.scale = scale;
    video.rate = rate;
    const std::string path = CacheFolder() + "timing" + std::to_string(scale) + "_" + std::to_string(rate) + ".avi";
    WriteAll(path, WriteDIBAVI(video));
    TearDown();
    SetUp();
    file_ = nullptr, stream_ = nullptr, frames_ = nullptr;
    Open(path);
    EXPECT_EQ(info_.dwScale, scale);
    EXPECT_EQ(info_.dwRate, rate);
    EXPECT_EQ(info_.dwLength, 3u);
    EXPECT_EQ(info_.rcFrame.right, kWidth);
    const BITMAPINFOHEADER* frame = AVIStreamGetFrame(frames_, 2);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(DIBColour(*frame, 1, 0), video.palette[(3 + 14) % 256]);
  }
}

TEST_F(AVIFileTest, FramesOutsideTheStreamAreNone) {
  Open(DIBVideo("dib4.avi", 4));
  for (LONG pos : {-1, kFrames, kFrames + 100}) EXPECT_EQ(AVIStreamGetFrame(frames_, pos), nullptr) << pos;
  EXPECT_NE(AVIStreamGetFrame(frames_, kFrames - 1), nullptr);
}

// A file cut short keeps the frames it still holds; the lost ones fail.
TEST_F(AVIFileTest, TruncatedFileKeepsWhatItHolds) {
  const std::string whole = ReadAll(FfmpegVideo("bgr24.avi", "-c:v rawvideo -pix_fmt bgr24"));
  const std::string path = CacheFolder() + "cut.avi";
  WriteAll(path, whole.substr(0, whole.size() / 2));
  Open(path);
  EXPECT_NE(AVIStreamGetFrame(frames_, 0), nullptr);
  EXPECT_EQ(AVIStreamGetFrame(frames_, kFrames - 1), nullptr);
  EXPECT_NE(AVIStreamGetFrame(frames_, 1), nullptr);
}

TEST_F(AVIFileTest, OpenFailures) {
  PAVIFILE file = nullptr;
  EXPECT_EQ(AVIFileOpenW(&file, CacheFolder() + "missing.avi", OF_READ, nullptr), AVIERR_FILEOPEN);
  const std::string text = CacheFolder() + "text.avi";
  WriteAll(text, "just some text, no video at all");
  EXPECT_EQ(AVIFileOpenW(&file, text, OF_READ, nullptr), AVIERR_BADFORMAT);
  // The header list promises more than the file holds.
  std::string cut = WriteDIBAVI(PatternVideo(1, 1)).substr(0, 100);
  WriteAll(text, cut);
  EXPECT_EQ(AVIFileOpenW(&file, text, OF_READ, nullptr), AVIERR_BADFORMAT);
  EXPECT_EQ(file, nullptr);
  AVIFileExit();
  EXPECT_EQ(AVIFileOpenW(&file, DIBVideo("dib1.avi", 1), OF_READ, nullptr), AVIERR_NOTINITIALIZED);
  AVIFileInit();
}

TEST_F(AVIFileTest, StreamsByTypeAndIndex) {
  ASSERT_EQ(AVIFileOpenW(&file_, DIBVideo("dib1.avi", 1), OF_READ, nullptr), AVIERR_OK);
  PAVISTREAM stream = nullptr;
  EXPECT_EQ(AVIFileGetStream(file_, &stream, streamtypeVIDEO, 1), AVIERR_NODATA);
  EXPECT_EQ(AVIFileGetStream(file_, &stream, VfwFourCC('a', 'u', 'd', 's'), 0), AVIERR_NODATA);
  EXPECT_EQ(stream, nullptr);
  // The stream keeps its file: released first, the file still serves frames.
  ASSERT_EQ(AVIFileGetStream(file_, &stream_, streamtypeVIDEO, 0), AVIERR_OK);
  EXPECT_EQ(AVIFileRelease(file_), 0u + 1u);
  file_ = nullptr;
  frames_ = AVIStreamGetFrameOpen(stream_, nullptr);
  ASSERT_NE(frames_, nullptr);
  EXPECT_NE(AVIStreamGetFrame(frames_, 3), nullptr);
}

// Frames that the file could never hold are refused before anything is
// allocated for them.
TEST_F(AVIFileTest, FrameSizeBeyondTheDataIsRefused) {
  for (const auto& [width, height] : {std::pair{30000, 30000}, {-4, 4}, {4, 0}, {40000, 1}}) {
    TDIBVideo video = PatternVideo(8, 1);
    video.width = width;
    video.height = height;
    const std::string path = CacheFolder() + "huge.avi";
    WriteAll(path, WriteDIBAVI(video));
    PAVIFILE file = nullptr;
    PAVISTREAM stream = nullptr;
    ASSERT_EQ(AVIFileOpenW(&file, path, OF_READ, nullptr), AVIERR_OK);
    ASSERT_EQ(AVIFileGetStream(file, &stream, streamtypeVIDEO, 0), AVIERR_OK);
    EXPECT_EQ(AVIStreamGetFrameOpen(stream, nullptr), nullptr) << width << " x " << height;
    AVIStreamRelease(stream);
    AVIFileRelease(file);
  }
}

}  // namespace
