// The settings file: defaults, a round trip that keeps what others wrote,
// tolerant reading, and a write that fails cleanly.
#include "app/vesk_main_settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/sysutils.h"

namespace fs = std::filesystem;

namespace {

class SettingsTest : public ::testing::Test {
protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("vesk-settings-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    file_ = SettingsFileName(folder_.string());
    savedFormat_ = FormatSettings;
  }
  void TearDown() override {
    FormatSettings = savedFormat_;
    fs::remove_all(folder_);
  }
  void Write(const std::string& text) {
    fs::create_directories(fs::path(file_).parent_path());
    std::ofstream(file_) << text;
  }
  std::string Contents() {
    std::ifstream in(file_);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  fs::path folder_;
  std::string file_;
  TFormatSettings savedFormat_;
};

TEST_F(SettingsTest, FirstRunGivesTheDefaults) {
  EXPECT_EQ(file_, folder_.string() + "/vesk/vesk.ini");
  TVeskSettings defaults;
  defaults.TargetFolder = "/pictures";
  const TVeskSettings s = ReadSettings(file_, defaults);
  EXPECT_EQ(s.TargetFolder, "/pictures");
  EXPECT_EQ(s.Camera, "Camera");
  EXPECT_EQ(s.Description, "VeSk");
  EXPECT_EQ(s.Copyright, "Copyright_free");
  EXPECT_EQ(s.Algorithm, 2);
  EXPECT_EQ(s.Quality, 2);
  EXPECT_EQ(s.WhitePoint, 1.0);
  EXPECT_EQ(s.DarkAreas, 1.0);
  // No application-data folder: nothing at the file system's root.
  EXPECT_EQ(SettingsFileName(""), "");
  EXPECT_NO_THROW(WriteSettings("", s));
}

TEST_F(SettingsTest, RoundTripUnderADecimalCommaLocaleKeepsOtherKeys) {
  Write("[Settings]\nlog_check=1\nFuture=keep me\n[Other]\nx=y\n");
  FormatSettings = LocaleFormatSettings("de_DE.UTF-8");
  ASSERT_EQ(FormatSettings.DecimalSeparator, ',');
  TVeskSettings s;
  s.TargetFolder = "/home/u/Bilder";
  s.Camera = "Kamera \"X\"";
  s.Type = 11;
  s.Quality = 3;
  s.Language = "de";
  s.WhitePoint = 1.25;
  s.DarkAreas = 2.5;
  WriteSettings(file_, s);
  const std::string text = Contents();
  EXPECT_NE(text.find("WhitePoint=1.25"), std::string::npos);
  EXPECT_NE(text.find("log_check=1"), std::string::npos);
  EXPECT_NE(text.find("Future=keep me"), std::string::npos);
  EXPECT_NE(text.find("[Other]"), std::string::npos);

  FormatSettings = InvariantFormatSettings();
  const TVeskSettings back = ReadSettings(file_, TVeskSettings{});
  EXPECT_EQ(back.TargetFolder, s.TargetFolder);
  EXPECT_EQ(back.Camera, s.Camera);
  EXPECT_EQ(back.Type, 11);
  EXPECT_EQ(back.Quality, 3);
  EXPECT_EQ(back.Language, "de");
  EXPECT_EQ(back.WhitePoint, 1.25);
  EXPECT_EQ(back.DarkAreas, 2.5);
}

TEST_F(SettingsTest, ValuesAreReadTolerantly) {
  const struct {
    const char* line;
    int32_t type;
    double whitePoint;
    const char* language;
  } cases[] = {
      {"TYPE=0x0B\nWhitePoint=1,3\nLANGUAGE=fr", 11, 1.3, "fr"},
      {"TYPE=abc\nWhitePoint=x\nLANGUAGE=*.lng", 0, 1.0, ""},
      {"TYPE=20\nWhitePoint= 0.75 \nLANGUAGE=../../etc", 20, 0.75, ""},
      {"TYPE=-1\nLANGUAGE=kok", -1, 1.0, "kok"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    Write(std::string("[settings]\n") + c.line + "\n");
    const TVeskSettings s = ReadSettings(file_, TVeskSettings{});
    EXPECT_EQ(s.Type, c.type);
    EXPECT_DOUBLE_EQ(s.WhitePoint, c.whitePoint);
    EXPECT_EQ(s.Language, c.language);
  }
}

TEST_F(SettingsTest, AFileThatCannotBeWrittenRaisesTheIniError) {
  // A folder where the file should be: neither readable nor writable as a file.
  fs::create_directories(file_);
  try {
    WriteSettings(file_, TVeskSettings{});
    FAIL() << "no error";
  } catch (const EIniFileException& e) {
    EXPECT_EQ(e.Message(), "Unable to write to " + file_);
  }
  EXPECT_TRUE(fs::is_directory(file_));
}

}  // namespace
