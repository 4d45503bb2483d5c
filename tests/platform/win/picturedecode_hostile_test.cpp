// Tiny files that claim huge pictures: each fails or decodes only what it
// holds, within a few megabytes.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/win/picturedecode.h"

namespace {

std::vector<uint8_t> Fixture(const std::string& name) {
  std::ifstream in(std::string(VESK_SOURCE_DIR "/tests/fixtures/hostile/") + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

long PeakKilobytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

TEST(HostilePictures, FailOrDecodeOnlyWhatTheyHold) {
  const long before = PeakKilobytes();
  for (const char* name : {"bmp-no-data-16384x8192.bmp", "bmp32-no-data-16384x8192.bmp",
                           "gif-1x1-on-16384x8192-screen.gif", "gif-zero-width-image-16384x8192.gif",
                           "png-text-chunk-148MB.png", "png-text-chunk-2GiB.png"}) {
    SCOPED_TRACE(name);
    const std::vector<uint8_t> data = Fixture(name);
    ASSERT_FALSE(data.empty());
    DecodedPicture out;
    if (DecodePicture(data.data(), data.size(), out)) {
      EXPECT_LE(int64_t{out.width} * out.height, 1 << 16);
    }
  }
  EXPECT_LT(PeakKilobytes() - before, 64 * 1024);
}

}  // namespace
