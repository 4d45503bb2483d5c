// Picture files made at test time by ImageMagick, in a folder of their own.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

class TestFiles {
public:
  TestFiles() {
    dir_ = std::filesystem::temp_directory_path() / ("vesk_render_" + std::to_string(::getpid()) + "_" +
                                                     std::to_string(counter_++));
    std::filesystem::create_directories(dir_);
  }
  ~TestFiles() { std::filesystem::remove_all(dir_); }
  TestFiles(const TestFiles&) = delete;
  TestFiles& operator=(const TestFiles&) = delete;

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  // Runs /usr/bin/convert (or the one on PATH) with these arguments, writing `name`.
  std::string Convert(const std::string& arguments, const std::string& name) const {
    std::string out = Path(name);
    std::string cmd = "convert " + arguments + " '" + out + "' 2>/dev/null";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    return out;
  }
  static std::vector<uint8_t> Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
  }
  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
    std::ofstream out(Path(name), std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return Path(name);
  }

private:
  static inline int counter_ = 0;
  std::filesystem::path dir_;
};
