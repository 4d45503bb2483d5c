// ICC profiles judged by outside programs: Little CMS's calculator for the
// translations, the colour toolkit's dump for the bytes we hand on. The
// press profile is the CMYK profile the ghostscript package installs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "imaging/core/ruduvazez_icc.h"
#include "tests/imaging/core/test_support.h"

namespace {

const std::string kPressProfile = "/usr/share/color/icc/ghostscript/default_cmyk.icc";

void LoadFile(TIEICC& icc, const std::string& fileName) {
  const std::string bytes = ReadFile(fileName);
  icc.LoadFromBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
}

// The calculator's answers (-n: numbers only), one vector per input line,
// each number clipped to 0..limit (the calculator leaves them unbounded).
std::vector<std::vector<double>> Transicc(const std::string& arguments, const std::vector<std::vector<double>>& input,
                                          double limit, const TempFolder& folder) {
  std::ostringstream lines;
  for (const auto& values : input) {
    for (double v : values) lines << v << ' ';
    lines << '\n';
  }
  WriteFile(folder.File("in.txt"), lines.str());
  const std::string out = folder.File("out.txt");
  EXPECT_EQ(RunCommand("transicc " + arguments + " -t0 -n < " + folder.File("in.txt") + " > " + out + " 2>/dev/null"),
            0);
  std::istringstream answer(ReadFile(out));
  std::vector<std::vector<double>> result;
  std::string line;
  while (std::getline(answer, line)) {
    std::istringstream numbers(line);
    std::vector<double> values;
    for (double v; numbers >> v;) values.push_back(std::clamp(v, 0.0, limit));
    if (!values.empty()) result.push_back(values);
  }
  return result;
}

const std::vector<std::vector<double>> kRGBSamples = {
    {255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}, {0, 0, 0}, {128, 128, 128}, {40, 200, 90}, {250, 180, 30}};

TEST(IEICCJudged, SRGBToThePressProfileMatchesLittleCMS) {
  TempFolder folder;
  TIEICC display, press;
  display.LoadSRGBProfile();
  LoadFile(press, kPressProfile);
  ASSERT_TRUE(press.IsValid());
  EXPECT_EQ(press.ColorSpace(), "CMYK");
  const auto expected = Transicc("-i '*sRGB' -o " + kPressProfile, kRGBSamples, 100, folder);
  ASSERT_EQ(expected.size(), kRGBSamples.size());
  for (size_t i = 0; i < kRGBSamples.size(); ++i) {
    const uint8_t rgb[3] = {static_cast<uint8_t>(kRGBSamples[i][0]), static_cast<uint8_t>(kRGBSamples[i][1]),
                            static_cast<uint8_t>(kRGBSamples[i][2])};
    uint8_t inverted[4] = {};
    ASSERT_TRUE(display.TransformPixels(press, iepRGB, 1, inverted, rgb, iepCMYKInverted));
    for (int ch = 0; ch < 4; ++ch)  // percentages of ink against inverted bytes
      EXPECT_NEAR(255 - inverted[ch], expected[i][ch] * 2.55, 2.0) << "sample " << i << " channel " << ch;
  }
}

TEST(IEICCJudged, ThePressProfileBackToSRGBMatchesLittleCMS) {
  TempFolder folder;
  TIEICC display, press;
  display.LoadSRGBProfile();
  LoadFile(press, kPressProfile);
  const std::vector<std::vector<double>> inks = {{0, 0, 0, 0},     {100, 0, 0, 0},   {0, 100, 0, 0}, {0, 0, 100, 0},
                                                 {0, 0, 0, 100},   {20, 40, 60, 10}, {80, 10, 50, 0}};
  std::vector<std::vector<double>> percent;
  std::vector<uint8_t> inverted;
  for (const auto& ink : inks) {
    std::vector<double> p;
    for (double v : ink) {
      const auto byte = static_cast<uint8_t>(std::lround(v * 2.55));
      inverted.push_back(static_cast<uint8_t>(255 - byte));
      p.push_back(byte / 2.55);  // the calculator gets exactly the ink we give
    }
    percent.push_back(p);
  }
  const auto expected = Transicc("-i " + kPressProfile + " -o '*sRGB'", percent, 255, folder);
  ASSERT_EQ(expected.size(), inks.size());
  std::vector<uint8_t> bgr(3 * inks.size());
  ASSERT_TRUE(press.TransformPixels(display, iepCMYKInverted, static_cast<int32_t>(inks.size()), bgr.data(),
                                    inverted.data(), iepBGR));
  for (size_t i = 0; i < inks.size(); ++i)
    for (int ch = 0; ch < 3; ++ch) EXPECT_NEAR(bgr[3 * i + 2 - ch], expected[i][ch], 2.0) << "sample " << i;
}

// What a file holds comes out byte for byte, and the colour toolkit reads
// the profiles we hand on, the built-in one included.
TEST(IEICCJudged, ProfilesPassThroughUnchangedAndTheToolkitReadsThem) {
  TempFolder folder;
  const std::string original = ReadFile(kPressProfile);
  TIEICC press, wide;
  {
    TFileStream in(kPressProfile, fmOpenRead);
    press.LoadFromStream(in, true);
  }
  wide.LoadAdobeRGBProfile();
  for (TIEICC* icc : {&press, &wide}) {
    const std::string file = folder.File(icc == &press ? "press.icc" : "wide.icc");
    {
      TFileStream out(file, fmCreate);
      icc->SaveToStream(out, true);
    }
    if (icc == &press) {
      EXPECT_EQ(ReadFile(file), original);
    }
    const std::string report = folder.File("dump.txt"), errors = folder.File("errors.txt");
    EXPECT_EQ(RunCommand("iccdump -v 3 " + file + " > " + report + " 2> " + errors), 0) << file;
    EXPECT_EQ(ReadFile(errors), "");
    EXPECT_NE(ReadFile(report).find("tag 0:"), std::string::npos);
  }
  EXPECT_NE(ReadFile(folder.File("dump.txt")).find("Compatible with Adobe RGB (1998)"), std::string::npos);
}

}  // namespace
