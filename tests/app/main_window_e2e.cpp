// The program's main window driven as a user drives it, headless: clicks and
// keys injected through the back end, the file dialogs and message boxes
// answered by script, the real colour toolkit behind Create Profile. The
// photo, chart type, reference and perspective option may be changed with
// VESK_TEST_PHOTO, VESK_TEST_CHART (index of the chart list),
// VESK_TEST_REFERENCE and VESK_TEST_PERSPECTIVE (1 = ticked).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "app/vesk_main.h"
#include "platform/rtl/files.h"
#include "platform/win/kernel_files.h"
#include "platform/win/winuser_consts.h"
#include "tests/app/profile_road.h"
#include "tests/app/program_fixture.h"
#include "tests/app/window_driving.h"
#include "ui/controls/advcombo.h"
#include "ui/controls/advglassbutton.h"
#include "ui/controls/advofficebuttons.h"

namespace fs = std::filesystem;

namespace {

void Key(uint8_t virtualKey) {
  display::InjectKey(virtualKey);
  Settle();
}

// Opens a drop-down list with the mouse and picks the row with the keys.
void ChooseRow(TAdvComboBox* list, int32_t row) {
  Click(list);
  Key(VK_HOME);
  for (int32_t i = 0; i < row; ++i) Key(VK_DOWN);
  Key(VK_RETURN);
}

}  // namespace

TEST(MainWindowEndToEnd, ChartPhotoBecomesAProfile) {
  Program program("en_US.UTF-8");
  const TempFolder& t = program.t;
  const std::string programFolder = ExtractFilePath(GetModuleFileNameA());
  std::string photo =
      EnvOr("VESK_TEST_PHOTO", VESK_SOURCE_DIR "/tests/fixtures/charts/colorchecker24-handheld-crop.tif");
  const std::string reference = EnvOr("VESK_TEST_REFERENCE", programFolder + "argyll/ref/ColorChecker.cie");
  const int32_t chart = std::atoi(EnvOr("VESK_TEST_CHART", "0").c_str());
  const bool perspective = EnvOr("VESK_TEST_PERSPECTIVE", "0") == "1";
  // The photo's folder must take the write test: work on a copy.
  fs::create_directories(t / "photos");
  fs::copy_file(photo, t / "photos/" + ExtractFileName(photo));
  photo = t / "photos/" + ExtractFileName(photo);
  const std::string profile = t / "profiles/handheld.icm";
  fs::create_directories(t / "profiles");

  program.Start();
  Form1->Show();
  Settle();

  ScriptFileDialogAnswer(photo);
  Click(Form1->TargetBtn);
  EXPECT_EQ(Form1->ImgLabel->Caption(), ExtractFileName(photo));
  EXPECT_EQ(Form1->TargetBtn->OuterBorderColor(), ChoiceMarkOn);
  ChooseRow(Form1->typeList, chart);
  EXPECT_EQ(Form1->typeList->ItemIndex(), chart);
  ScriptFileDialogAnswer(reference);
  Click(Form1->refBtn);
  EXPECT_EQ(Form1->ReferenceFileName, reference);
  ChooseRow(Form1->algList, 2);
  EXPECT_EQ(Form1->algList->Text(), "Gamma + matrix");
  if (perspective) Click(Form1->perspectiveBox);
  EXPECT_EQ(Form1->perspectiveBox->Checked(), perspective);

  ScriptFileDialogAnswer(profile);
  ScriptMessageBoxAnswer(mrOk);
  Click(Form1->CreateBtn);

  ASSERT_EQ(MessageBoxLog().size(), 1u);
  EXPECT_EQ(MessageBoxLog()[0].Text, "ICC Profile saved to:\r\r" + t / "profiles/");
  EXPECT_TRUE(IsValidIccProfile(profile));
  std::string report;
  const std::string ti3 = Form1->WorkFolder + fs::path(photo).stem().string() + ".ti3";
  const double average = ProfcheckAverage(programFolder, ti3, profile, report);
  ASSERT_GE(average, 0) << report;
  EXPECT_LT(average, 8.0) << report;

  Click(Form1->ExitBtn);
  EXPECT_TRUE(fs::exists(program.SettingsFile()));
}
