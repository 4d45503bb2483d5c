// Camera-raw test files and their reference pictures: DNGs written by
// tests/fixtures/raw/make_dng.py and LibRaw's own decoder (dcraw_emu).
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/imaging/io/io_test_support.h"

namespace rawtest {

struct TPPM {
  int32_t width = 0, height = 0, maxValue = 0;
  std::string pixels;
};

inline TPPM ReadPPM(const std::string& fileName) {
  const std::string data = iotest::ReadFile(fileName);
  TPPM ppm;
  int consumed = 0;
  if (std::sscanf(data.c_str(), "P6 %d %d %d%n", &ppm.width, &ppm.height, &ppm.maxValue, &consumed) == 3)
    ppm.pixels = data.substr(static_cast<size_t>(consumed) + 1);
  return ppm;
}

// A DNG of the script with its arguments.
inline std::string MakeDNG(const std::string& name, const std::string& arguments = {}) {
  const std::string file = iotest::TempFolder() + name;
  const std::string command = "python3 " VESK_SOURCE_DIR "/tests/fixtures/raw/make_dng.py '" + file + "' " + arguments;
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  return file;
}

// dcraw_emu's picture of the file with its options.
inline TPPM Reference(const std::string& file, const std::string& options) {
  const std::string command = "dcraw_emu " + options + " '" + file + "' >/dev/null 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  return ReadPPM(file + ".ppm");
}

}  // namespace rawtest
