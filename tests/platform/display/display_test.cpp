// The display module: PNG files and the choice of back end.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/display/display.h"

namespace {

class DisplayTest : public ::testing::Test {
protected:
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() / ("display_test_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
  std::string Path(const char* name) const { return (dir / name).string(); }
  std::filesystem::path dir;
};

TEST_F(DisplayTest, PngRoundTripKeepsEveryChannel) {
  const std::vector<uint32_t> pixels = {0xFF000000u, 0xFFFFFFFFu, 0x80FF0000u, 0x0000FF00u,
                                        0xFF0000FFu, 0x12345678u};
  ASSERT_TRUE(display::WritePng(Path("a.png"), pixels.data(), 3, 2));
  std::vector<uint32_t> back;
  int32_t w = 0, h = 0;
  ASSERT_TRUE(display::ReadPng(Path("a.png"), back, w, h));
  EXPECT_EQ(w, 3);
  EXPECT_EQ(h, 2);
  EXPECT_EQ(back, pixels);
  EXPECT_FALSE(display::WritePng(Path("b.png"), pixels.data(), 0, 2));
  EXPECT_FALSE(display::WritePng((dir / "missing" / "c.png").string(), pixels.data(), 3, 2));
}

TEST_F(DisplayTest, DamagedPngsFailCleanly) {
  std::vector<uint32_t> pixels(64 * 64, 0xFF336699u);
  ASSERT_TRUE(display::WritePng(Path("whole.png"), pixels.data(), 64, 64));
  std::ifstream in(Path("whole.png"), std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<uint32_t> out;
  int32_t w, h;
  for (size_t keep : {size_t{0}, size_t{8}, size_t{30}, bytes.size() / 2, bytes.size() - 13}) {
    std::ofstream(Path("cut.png"), std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(keep));
    EXPECT_FALSE(display::ReadPng(Path("cut.png"), out, w, h)) << keep;
  }
  // A header that claims a huge image is refused before anything is allocated.
  std::string huge = bytes;
  const unsigned char size[8] = {0x00, 0x10, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00};
  std::copy(size, size + 8, huge.begin() + 16);
  std::ofstream(Path("huge.png"), std::ios::binary).write(huge.data(), static_cast<std::streamsize>(huge.size()));
  EXPECT_FALSE(display::ReadPng(Path("huge.png"), out, w, h));
  EXPECT_FALSE(display::ReadPng(Path("none.png"), out, w, h));
}

TEST_F(DisplayTest, EnvironmentChoosesTheBackEnd) {
  const char* saved = std::getenv("PLATFORM_DISPLAY");
  std::string keep = saved ? saved : "";
  setenv("PLATFORM_DISPLAY", "headless", 1);
  display::SetActiveBackend(nullptr);
  EXPECT_STREQ(display::ActiveBackend().Name(), "headless");
  // Without the variable and without a display server: headless as well.
  unsetenv("PLATFORM_DISPLAY");
  const char* x = std::getenv("DISPLAY");
  const char* wl = std::getenv("WAYLAND_DISPLAY");
  std::string keepX = x ? x : "", keepWl = wl ? wl : "";
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  display::SetActiveBackend(nullptr);
  EXPECT_STREQ(display::ActiveBackend().Name(), "headless");
  if (x) setenv("DISPLAY", keepX.c_str(), 1);
  if (wl) setenv("WAYLAND_DISPLAY", keepWl.c_str(), 1);
  if (saved) setenv("PLATFORM_DISPLAY", keep.c_str(), 1);
  display::SetActiveBackend(nullptr);
}

}  // namespace
