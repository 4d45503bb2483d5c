// The conversion tool against ImageMagick's own decoding of the same files.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/imaging/io/io_test_support.h"

namespace {

const std::string kTool = std::string(VESK_BINARY_DIR) + "/tools/ieconvert/ieconvert";

std::string Folder() { return iotest::TempFolder(); }

// Runs a command; its exit status and the first line it wrote to stderr.
int RunCommand(const std::string& command, std::string* firstLine = nullptr) {
  const std::string errors = Folder() + "ieconvert.err";
  const int status = std::system((command + " 2>" + errors).c_str());
  if (firstLine) {
    const std::string text = iotest::ReadFile(errors);
    *firstLine = text.substr(0, text.find('\n'));
  }
  return status;
}

// The pixel bytes after the PAM header.
std::string PAMPixels(const std::string& fileName) {
  const std::string data = iotest::ReadFile(fileName);
  const size_t end = data.find("ENDHDR\n");
  return end == std::string::npos ? std::string() : data.substr(end + 7);
}

TEST(IEConvert, JPEGDecodesAsImageMagickDecodesIt) {
  const std::string jpeg = Folder() + "conv.jpg", ours = Folder() + "conv.pam", theirs = Folder() + "ref.pam";
  ASSERT_EQ(RunCommand("/usr/bin/convert -size 40x30 -depth 8 plasma:fractal -seed 3 -quality 85 " + jpeg), 0);
  ASSERT_EQ(RunCommand(kTool + " " + jpeg + " " + ours), 0);
  ASSERT_EQ(RunCommand("/usr/bin/convert " + jpeg + " -depth 8 -alpha on " + theirs), 0);
  const std::string a = PAMPixels(ours), b = PAMPixels(theirs);
  ASSERT_EQ(a.size(), 40u * 30u * 4u);
  ASSERT_EQ(a.size(), b.size());
  int worst = 0;
  for (size_t i = 0; i < a.size(); ++i)
    worst = std::max(worst, std::abs(static_cast<uint8_t>(a[i]) - static_cast<uint8_t>(b[i])));
  EXPECT_LE(worst, 1);
}

TEST(IEConvert, FailuresSayWhyInOneLine) {
  std::string line;
  EXPECT_NE(RunCommand(kTool + " " + Folder() + "missing.png " + Folder() + "x.pam", &line), 0);
  EXPECT_NE(line.find("no such file"), std::string::npos) << line;
  const std::string text = iotest::WriteTempFile("plain.txt", "not an image");
  EXPECT_NE(RunCommand(kTool + " " + text + " " + Folder() + "x.pam", &line), 0);
  EXPECT_NE(line.find("not an image format"), std::string::npos) << line;
  EXPECT_NE(RunCommand(kTool + " onlyone", &line), 0);
  EXPECT_NE(line.find("usage"), std::string::npos) << line;
}

}  // namespace
