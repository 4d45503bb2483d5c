// Tiny files that claim huge pictures: each fails or decodes only what it
// holds, within a few megabytes, through the picture decoder and the two
// paths that reach it (pictures and GDI+ images).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/win/com.h"
#include "platform/win/gdiplus.h"
#include "platform/win/olepicture.h"
#include "platform/win/picturedecode.h"
#include "tests/peak_memory.h"
#include "tests/platform/win/com_stream_support.h"

namespace {

using namespace Gdiplus;

std::vector<uint8_t> ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(HostilePictures, FailOrDecodeOnlyWhatTheyHold) {
  GdiplusStartupInput input;
  ULONG_PTR token = 0;
  ASSERT_EQ(GdiplusStartup(&token, &input, nullptr), Ok);
  for (const auto& file : std::filesystem::directory_iterator(VESK_SOURCE_DIR "/tests/fixtures/hostile")) {
    if (file.path().extension() == ".md") continue;
    SCOPED_TRACE(file.path().filename().string());
    const std::vector<uint8_t> data = ReadBytes(file.path());
    ASSERT_FALSE(data.empty());
    EXPECT_LT(PeakKilobytesOf([&] {
                DecodedPicture out;
                if (DecodePicture(data.data(), data.size(), out)) {
                  EXPECT_LE(int64_t{out.width} * out.height, 1 << 16);
                }
              }),
              64 * 1024);
    EXPECT_LT(PeakKilobytesOf([&] {
                IPicture* picture = nullptr;
                if (OleLoadPicture(StreamOf(data).Get(), 0, FALSE, IID_IPicture,
                                   reinterpret_cast<void**>(&picture)) == S_OK)
                  picture->Release();
              }),
              64 * 1024);
    EXPECT_LT(PeakKilobytesOf([&] {
                GpImage* image = nullptr;
                if (GdipLoadImageFromStream(StreamOf(data).Get(), &image) == Ok) GdipDisposeImage(image);
              }),
              64 * 1024);
  }
  GdiplusShutdown(token);
}

}  // namespace
