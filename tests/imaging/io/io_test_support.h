// A small test codec and the library start-up shared by the I/O tests.
//
// The test format: "TSTC", width and height as 32-bit little-endian, then the
// rows as blue, green, red bytes. It takes the place of the TIFF codec (id 1,
// extension ".tif", stream header tag "TIFF"), so the whole dispatch runs on it.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/io/imageryio.h"

namespace iotest {

// Operations inside the codec now, and the most seen at once.
extern std::atomic<int32_t> inFlight, mostInFlight;
// When set, the reader raises instead of reading.
extern std::atomic<bool> readerRaises;

// The test format's bytes for an image of that size, pixel (x, y) = (x, y, x + y).
std::string MakeImage(int32_t width, int32_t height);
// The test process's own temporary folder, with a trailing "/".
std::string TempFolder();
// A file under the test's temporary folder with the contents.
std::string WriteTempFile(const std::string& name, const std::string& contents);
std::string ReadFile(const std::string& fileName);

// Starts the library and the I/O unit with the test codec in the table.
class IOTest : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;
};

}  // namespace iotest
