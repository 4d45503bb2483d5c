// The display module: PNG files and the choice of back end.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

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

// Sets environment variables for one test and puts them back afterwards.
class Environment {
public:
  void Set(const char* name, const char* value) {
    Keep(name);
    if (value) setenv(name, value, 1);
    else unsetenv(name);
  }
  ~Environment() {
    for (auto& [name, value] : saved_) {
      if (value) setenv(name.c_str(), value->c_str(), 1);
      else unsetenv(name.c_str());
    }
  }

private:
  void Keep(const char* name) {
    const char* v = std::getenv(name);
    saved_.emplace_back(name, v ? std::optional<std::string>(v) : std::nullopt);
  }
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(DisplayTest, EnvironmentChoosesTheBackEnd) {
  struct Case {
    const char* choice;
    const char* test;
    const char* x;
  } cases[] = {
      {"headless", nullptr, ":0"},  // the explicit choice wins
      {nullptr, nullptr, nullptr},  // no display server
      {nullptr, "1", ":0"},         // tests stay headless
  };
  for (const Case& c : cases) {
    Environment env;
    env.Set("PLATFORM_DISPLAY", c.choice);
    env.Set("VESK_TEST", c.test);
    env.Set("DISPLAY", c.x);
    env.Set("WAYLAND_DISPLAY", nullptr);
    display::SetActiveBackend(nullptr);
    EXPECT_STREQ(display::ActiveBackend().Name(), "headless");
  }
  display::SetActiveBackend(nullptr);
}

}  // namespace
