// The display module: PNG files and the choice of back end.
#include <gtest/gtest.h>
#include <sys/resource.h>
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

// The checksum of a PNG's header chunk (its type and 13 data bytes).
uint32_t HeaderCrc(const std::string& png) {
  uint32_t c = 0xFFFFFFFFu;
  for (size_t i = 12; i < 29; ++i) {
    c ^= static_cast<unsigned char>(png[i]);
    for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
  }
  return ~c;
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
  // Copies of the file whose header (checksum mended) claims another size.
  auto resized = [&](const char* name, const unsigned char (&size)[8]) {
    std::string png = bytes;
    std::copy(size, size + 8, png.begin() + 16);
    uint32_t crc = HeaderCrc(png);
    for (int i = 0; i < 4; ++i) png[29 + i] = static_cast<char>(crc >> (24 - 8 * i));
    std::ofstream(Path(name), std::ios::binary).write(png.data(), static_cast<std::streamsize>(png.size()));
    return Path(name);
  };
  // A header that claims a huge image is refused before anything is allocated.
  EXPECT_FALSE(display::ReadPng(resized("huge.png", {0x00, 0x10, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00}), out, w, h));
  // One within the pixel bound (16384 x 16384) that its few bytes of data
  // cannot fill is refused too, without taking the gigabyte it declares.
  std::string big = resized("big.png", {0x00, 0x00, 0x40, 0x00, 0x00, 0x00, 0x40, 0x00});
  std::ofstream("/proc/self/clear_refs") << "5";  // reset the peak measured below
  rusage before{}, after{};
  getrusage(RUSAGE_SELF, &before);
  EXPECT_FALSE(display::ReadPng(big, out, w, h));
  getrusage(RUSAGE_SELF, &after);
  EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64 * 1024) << "kilobytes";
  // Chunks that declare up to 2 GiB in a few bytes are not allocated.
  for (const char* name : {"png-text-chunk-2GiB.png", "png-text-chunk-148MB.png"}) {
    std::ofstream("/proc/self/clear_refs") << "5";
    getrusage(RUSAGE_SELF, &before);
    display::ReadPng(std::string(VESK_SOURCE_DIR "/tests/fixtures/hostile/") + name, out, w, h);
    getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64 * 1024) << name << ", kilobytes";
  }
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

// A program that never opens a window does not load the window system: the
// desktop back end and SDL stay out of the process until one is wanted.
TEST_F(DisplayTest, HeadlessProgramsLoadNoWindowSystem) {
  Environment env;
  env.Set("PLATFORM_DISPLAY", "headless");
  display::SetActiveBackend(nullptr);
  EXPECT_STREQ(display::ActiveBackend().Name(), "headless");
  std::ifstream maps("/proc/self/maps");
  std::string line;
  while (std::getline(maps, line)) {
    EXPECT_EQ(line.find("libSDL2"), std::string::npos) << line;
    EXPECT_EQ(line.find("libvesk_desktop"), std::string::npos) << line;
  }
  display::SetActiveBackend(nullptr);
}

}  // namespace
