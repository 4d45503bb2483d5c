// GIF frames composed as an animation shows them, on files written by
// ImageMagick.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "imaging/io/imageryio.h"
#include "imaging/processing/imageryproc.h"
#include "tests/imaging/io/io_test_support.h"
#include "tests/peak_memory.h"

namespace {

using iotest::IOTest;

class GIFFrames : public IOTest {
protected:
  void SetUp() override {
    IOTest::SetUp();
    IESetCodecTable({});
  }

  // A 10 x 10 red frame (kept), a 3 x 3 blue frame at (2, 2) disposed to
  // the background, then a 2 x 2 green frame at (6, 6).
  static std::string Animation() {
    const std::string path = iotest::TempFolder() + "anim.gif";
    const std::string command = "/usr/bin/convert -dispose none -size 10x10 xc:red -dispose background -page +2+2 "
                                "-size 3x3 xc:blue -dispose none -page +6+6 -size 2x2 xc:lime " +
                                path;
    EXPECT_EQ(std::system(command.c_str()), 0);
    return path;
  }

  struct Loaded {
    std::unique_ptr<TImageryIO> io;
    int32_t result = 0;
  };
  static Loaded Load(const std::string& path, int32_t index, uint8_t spare = 0) {
    Loaded l{std::make_unique<TImageryIO>(nullptr)};
    l.io->Params().GIF_IMAGEINDEX = index;
    l.io->Params().GIFSpareByte = spare;
    l.result = l.io->LoadFromFile(path);
    return l;
  }
};

TRGB Pixel(TImageryIO& io, int32_t x, int32_t y) {
  TRGB rgb;
  io.IEBitmap()->GetPixelRGB(x, y, rgb);
  return rgb;
}
uint8_t Alpha(TImageryIO& io, int32_t x, int32_t y) { return io.IEBitmap()->GetAlphaPixel(x, y); }

const TRGB kRed{0, 0, 255}, kBlue{255, 0, 0}, kGreen{0, 255, 0};

TEST_F(GIFFrames, EachIndexShowsTheFramesUpToItDrawnInTurn) {
  const std::string path = Animation();
  struct Case {
    int32_t index;
    TRGB at3, at7;     // pixels (3, 3) inside the blue frame and (7, 7) inside the green one
    uint8_t alphaAt3;  // 0 where the blue frame was disposed to the background
  };
  for (const Case& c : {Case{0, kRed, kRed, 255}, Case{1, kBlue, kRed, 255}, Case{2, TRGB{}, kGreen, 0},
                        Case{9, TRGB{}, kGreen, 0}}) {
    SCOPED_TRACE(c.index);
    Loaded l = Load(path, c.index);
    ASSERT_EQ(l.result, 1);
    ASSERT_EQ(l.io->Params().GIF_IMAGECOUNT, 3);
    TImageryIO& io = *l.io;
    ASSERT_EQ(io.IEBitmap()->GetWidth(), 10);
    ASSERT_EQ(io.IEBitmap()->GetHeight(), 10);
    EXPECT_EQ(Pixel(io, 0, 0), kRed);
    EXPECT_EQ(Alpha(io, 3, 3), c.alphaAt3);
    if (c.alphaAt3 == 255) {
      EXPECT_EQ(Pixel(io, 3, 3), c.at3);
    }
    EXPECT_EQ(Pixel(io, 7, 7), c.at7);
    EXPECT_EQ(io.Params().GIF_IMAGEINDEX, c.index);
    EXPECT_EQ(io.Params().FILETYPE, 2);
  }
}

TEST_F(GIFFrames, TheSpareByteReadsTheFrameAlone) {
  Loaded l = Load(Animation(), 1, 1);
  EXPECT_EQ(l.result, 1);
  EXPECT_EQ(l.io->IEBitmap()->GetWidth(), 3);
  EXPECT_EQ(Pixel(*l.io, 0, 0), kBlue);
  EXPECT_EQ(l.io->Params().GIF_XPOS, 2);
}

TEST_F(GIFFrames, ASingleFrameIsReadAsItIsWithTheBackgroundTaken) {
  const std::string path = iotest::TempFolder() + "one.gif";
  ASSERT_EQ(std::system(("/usr/bin/convert -size 4x3 xc:red -background blue " + path).c_str()), 0);
  Loaded l = Load(path, 0);
  EXPECT_EQ(l.result, 1);
  EXPECT_EQ(l.io->IEBitmap()->GetWidth(), 4);
  EXPECT_FALSE(l.io->IEBitmap()->HasAlphaChannel());
  EXPECT_EQ(l.io->Background(), IERGBToColor(l.io->Params().GIF_BACKGROUND));
}

// A file that declares a 65535 x 65535 screen around two small frames: the
// composite covers what the frames reach, not the declared screen.
TEST_F(GIFFrames, AHugeDeclaredScreenIsNotAllocated) {
  const std::string small = iotest::TempFolder() + "small.gif";
  ASSERT_EQ(std::system(("/usr/bin/convert -dispose none -size 2x2 xc:red -page +1+1 -size 2x2 xc:blue " + small)
                            .c_str()),
            0);
  std::string bytes = iotest::ReadFile(small);
  ASSERT_GT(bytes.size(), 10u);
  bytes[6] = bytes[7] = bytes[8] = bytes[9] = '\xFF';
  const std::string huge = iotest::WriteTempFile("huge.gif", bytes);
  Loaded l = Load(huge, 1);
  ASSERT_EQ(l.result, 1);
  ASSERT_EQ(l.io->Params().GIF_IMAGECOUNT, 2);
  EXPECT_EQ(l.io->IEBitmap()->GetWidth(), 3);
  EXPECT_EQ(l.io->IEBitmap()->GetHeight(), 3);
  EXPECT_EQ(Pixel(*l.io, 0, 0), kRed);
  EXPECT_EQ(Pixel(*l.io, 2, 2), kBlue);
  EXPECT_EQ(Alpha(*l.io, 2, 0), 255);  // enlarged area: background, opaque
}

// The hostile pictures (tiny files declaring huge images, GIF frames far
// out on a 65535 x 65535 screen, many frames walking out) through the whole
// load, detection and GIF composition of every frame included: each fails
// or loads in a few megabytes.
TEST_F(GIFFrames, HostilePicturesLoadInLittleMemory) {
  const std::filesystem::path folder = std::filesystem::path(VESK_SOURCE_DIR) / "tests/fixtures/hostile";
  for (const auto& file : std::filesystem::directory_iterator(folder)) {
    if (file.path().extension() == ".md") continue;
    SCOPED_TRACE(file.path().filename().string());
    EXPECT_LT(PeakKilobytesOf([&] {
                TImageryIO io(nullptr);
                io.Params().GIF_IMAGEINDEX = 1 << 20;  // up to the last frame
                try {
                  if (io.LoadFromFile(file.path().string())) {
                    EXPECT_LE(int64_t{io.IEBitmap()->GetWidth()} * io.IEBitmap()->GetHeight(), int64_t{1} << 22);
                  }
                } catch (const std::exception&) {
                  // a clean refusal
                }
              }),
              64 * 1024);
  }
}

}  // namespace
