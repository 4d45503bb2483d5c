// The crop preview driven as a user drives it, headless: the full-frame
// chart photo is taken in the main window, a click on its view opens the
// preview, a drag of the mouse selects the chart's rectangle at 100 % zoom,
// Crop and Save As write it as a TIFF, Close hands it to the main window,
// and the generic reference and Create Profile make a profile of it.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/vesk_main.h"
#include "app/vesk_prev.h"
#include "app/vesk_ref.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/io/imageryio.h"
#include "imaging/view/imageryview.h"
#include "platform/rtl/files.h"
#include "platform/win/kernel_files.h"
#include "platform/win/winuser_consts.h"
#include "ui/controls/advsmoothpanel.h"
#include "tests/app/profile_road.h"
#include "tests/app/program_fixture.h"
#include "tests/app/window_driving.h"
#include "ui/controls/advcombo.h"
#include "ui/controls/advedit.h"
#include "ui/controls/advglassbutton.h"

namespace fs = std::filesystem;

namespace {

// The chart in the full frame, as the fixture README gives it.
constexpr RECT kChart{215, 258, 215 + 340, 258 + 240};

// The photo's pixels, bottom line first as the bitmap holds them.
std::vector<TRGB> Pixels(const std::string& fileName, int32_t& width, int32_t& height) {
  TImageryIO io(nullptr);
  EXPECT_TRUE(io.LoadFromFile(fileName, -1)) << fileName;
  TIEBitmap* bitmap = io.IEBitmap();
  width = bitmap->GetWidth();
  height = bitmap->GetHeight();
  std::vector<TRGB> pixels;
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      TRGB rgb;
      bitmap->GetPixelRGB(x, y, rgb);
      pixels.push_back(rgb);
    }
  return pixels;
}

}  // namespace

TEST(CropPreviewEndToEnd, ChartCutFromTheFullFrameBecomesAProfile) {
  Program program("en_US.UTF-8");
  const TempFolder& t = program.t;
  const std::string programFolder = ExtractFilePath(GetModuleFileNameA());
  fs::create_directories(t / "photos");
  fs::copy_file(VESK_SOURCE_DIR "/tests/fixtures/charts/colorchecker24-handheld.jpg", t / "photos/handheld.jpg");
  const std::string photo = t / "photos/handheld.jpg";
  const std::string crop = t / "photos/chart.tif";
  const std::string profile = t / "handheld.icm";

  program.Start();
  Form1->Show();
  Settle();
  ScriptFileDialogAnswer(photo);
  Click(Form1->TargetBtn);
  ASSERT_EQ(Form1->ImageFileName, photo);

  std::string rgbUnderMouse, sizeText;
  WhenActive<TForm2>([&](TForm2* preview) {
    // At 100 % zoom, scrolled to just above the chart's top left: client
    // points map one to one onto bitmap points.
    preview->image1->SetAutoShrink(false);
    preview->image1->SetZoom(100);
    preview->image1->SetViewXY(kChart.left - 20, kChart.top - 20);
    Settle();
    sizeText = preview->Label2->Caption();
    const POINT from = preview->image1->ClientToScreen(
        POINT{preview->image1->BitmapToClientX(kChart.left), preview->image1->BitmapToClientY(kChart.top)});
    const POINT to = preview->image1->ClientToScreen(
        POINT{preview->image1->BitmapToClientX(kChart.right), preview->image1->BitmapToClientY(kChart.bottom)});
    display::InjectMouseMove(from);
    display::InjectMouseDown(from);
    display::InjectMouseMove(POINT{(from.x + to.x) / 2, (from.y + to.y) / 2});
    display::InjectMouseMove(to);
    display::InjectMouseUp(to);
    Settle();
    rgbUnderMouse = preview->R_edit->Text() + "," + preview->G_Edit->Text() + "," + preview->B_Edit->Text();
    Click(preview->CropBtn);
    EXPECT_EQ(preview->image1->GetIEBitmap()->GetWidth(), 340);
    EXPECT_EQ(preview->image1->GetIEBitmap()->GetHeight(), 240);
    ScriptFileDialogAnswer(crop);
    Click(preview->SaveBtn);
    EXPECT_EQ(preview->Label1->Caption(), "chart.tif");
    EXPECT_EQ(preview->Label2->Caption(), "340 x 240 pixels");
    Click(preview->CancelBtn);
  });
  Click(Form1->image1);
  EXPECT_EQ(sizeText, "1024 x 768 pixels");
  EXPECT_NE(rgbUnderMouse, ",,") << "the colour under the mouse is shown";

  // The crop is the photo now, and it is the fixture's crop pixel for pixel.
  EXPECT_EQ(Form1->ImageFileName, crop);
  EXPECT_EQ(Form1->ImgLabel->Caption(), "chart.tif");
  int32_t w = 0, h = 0, fw = 0, fh = 0;
  const std::vector<TRGB> saved = Pixels(crop, w, h);
  const std::vector<TRGB> fixture =
      Pixels(VESK_SOURCE_DIR "/tests/fixtures/charts/colorchecker24-handheld-crop.tif", fw, fh);
  ASSERT_EQ(w, fw);
  ASSERT_EQ(h, fh);
  EXPECT_TRUE(saved == fixture) << "the saved crop differs from the fixture's";

  // Generic reference row 0: ColorChecker, chart type 0.
  WhenActive<TForm8>([](TForm8* chooser) { Click(chooser->AdvGlassButton2); });
  Click(Form1->genBtn);
  EXPECT_EQ(Form1->typeList->ItemIndex(), 0);
  EXPECT_EQ(Form1->ReferenceFileName, programFolder + "argyll/ref/ColorChecker.cie");
  EXPECT_EQ(Form1->genBtn->OuterBorderColor(), ChoiceMarkOn);

  ScriptFileDialogAnswer(profile);
  ScriptMessageBoxAnswer(mrOk);
  Click(Form1->CreateBtn);
  EXPECT_TRUE(IsValidIccProfile(profile));
  std::string report;
  const double average = ProfcheckAverage(programFolder, Form1->WorkFolder + "chart.ti3", profile, report);
  ASSERT_GE(average, 0) << report;
  EXPECT_LT(average, 8.0) << report;
  Click(Form1->ExitBtn);
}
