// The crop preview driven as a user drives it, headless: the full-frame
// chart photo is taken in the main window, a click on its view opens the
// preview, a drag of the mouse selects the chart's rectangle at 100 % zoom,
// Crop cuts it out, and Save As writes it through the save dialog's window,
// answered with the keys; Close hands it to the main window, and the
// generic reference and Create Profile make a profile of it. Saving over
// an existing photo asks first, and "No" leaves the photo as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <iterator>

#include "app/langconsts.h"
#include "app/vesk_main.h"
#include "app/vesk_prev.h"
#include "app/vesk_ref.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/io/imageryio.h"
#include "imaging/view/imageryview.h"
#include "platform/forms/dialogs.h"
#include "platform/rtl/files.h"
#include "platform/win/kernel_files.h"
#include "platform/win/user_input.h"
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

const std::string kChartFile = VESK_SOURCE_DIR "/tests/fixtures/charts/colorchecker24-handheld-crop.tif";
// Where the chart lies in the full frame the tests make of it.
constexpr int32_t kFrameWidth = 960, kFrameHeight = 720;
constexpr RECT kChart{310, 240, 310 + 340, 240 + 240};

// The photo's pixels, bottom line first as the bitmap holds them.
std::vector<TRGB> Pixels(TIEBitmap* bitmap) {
  std::vector<TRGB> pixels;
  for (int32_t y = 0; y < bitmap->GetHeight(); ++y)
    for (int32_t x = 0; x < bitmap->GetWidth(); ++x) {
      TRGB rgb;
      bitmap->GetPixelRGB(x, y, rgb);
      pixels.push_back(rgb);
    }
  return pixels;
}

struct Photo {
  int32_t width = 0, height = 0;
  std::vector<TRGB> pixels;
};

Photo Load(const std::string& fileName) {
  TImageryIO io(nullptr);
  EXPECT_TRUE(io.LoadFromFile(fileName, -1)) << fileName;
  return Photo{io.IEBitmap()->GetWidth(), io.IEBitmap()->GetHeight(), Pixels(io.IEBitmap())};
}

// A full-frame photo: the chart inside a wide grey border, as a TIFF.
void WriteFullFrame(const std::string& fileName) {
  TImageryIO chart(nullptr), frame(nullptr);
  ASSERT_TRUE(chart.LoadFromFile(kChartFile, -1));
  ASSERT_EQ(chart.IEBitmap()->GetWidth(), kChart.right - kChart.left);
  ASSERT_EQ(chart.IEBitmap()->GetHeight(), kChart.bottom - kChart.top);
  TIEBitmap* canvas = frame.IEBitmap();
  canvas->Allocate(kFrameWidth, kFrameHeight, chart.IEBitmap()->GetPixelFormat());
  canvas->Fill(0x6E6E6E);
  chart.IEBitmap()->CopyRectToBitmap(*canvas, 0, 0, kChart.left, kChart.top, kChart.right - kChart.left,
                                     kChart.bottom - kChart.top);
  frame.SaveToFile(fileName, -1);
  ASSERT_TRUE(FileExists(fileName));
}

// Steps in the preview as a user takes them: the chart dragged round at
// 100 % zoom, then Crop.
void SelectAndCropTheChart(TForm2* preview) {
  preview->image1->SetAutoShrink(false);
  preview->image1->SetZoom(100);
  preview->image1->SetViewXY(kChart.left - 20, kChart.top - 20);
  Settle();
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
  Click(preview->CropBtn);
  EXPECT_EQ(preview->image1->GetIEBitmap()->GetWidth(), 340);
  EXPECT_EQ(preview->image1->GetIEBitmap()->GetHeight(), 240);
}

// The preview is the active window, with the keyboard in it.
void ExpectActive(TForm2* preview) {
  EXPECT_EQ(Screen->ActiveForm(), preview);
  EXPECT_EQ(GetActiveWindow(), preview->Handle());
  EXPECT_TRUE(GetFocus() == preview->Handle() || IsChild(preview->Handle(), GetFocus()));
}

// The save dialog's window as the user sees it, in the locale's language.
void ExpectSaveDialog(TForm* dialog) {
  if (StdTextLanguage() == "en") {
    EXPECT_EQ(dialog->Caption(), "Save As");
  }
  EXPECT_EQ(dialog->Caption(), StdText(TStdText::SaveTitle));
  const auto caption = [dialog](const char* name) {
    auto* control = dynamic_cast<TControl*>(dialog->FindComponent(name));
    return control ? control->Caption() : std::string("(none)");
  };
  EXPECT_EQ(caption("LookInLabel"), StdText(TStdText::SaveIn));
  EXPECT_EQ(caption("OKButton"), StdText(TStdText::SaveButton));
  EXPECT_EQ(caption("FileTypeLabel"), StdText(TStdText::SaveFileType));
}

// The next file dialog to open is answered as a user does: the full name
// typed into its name box, then Return; `then` runs before the keys go in,
// to wait for what the answer brings up.
void TypeIntoNextFileDialog(const std::string& name, std::function<void()> then = nullptr) {
  WhenActive<TForm>([name, then](TForm* dialog) {
    EXPECT_EQ(GetActiveWindow(), dialog->Handle());
    if (then) then();
    display::InjectText(name);
    display::InjectKey(VK_RETURN);
  });
}

class CropPreviewEndToEnd : public testing::TestWithParam<const char*> {};

}  // namespace

TEST_P(CropPreviewEndToEnd, ChartCutFromTheFullFrameIsSavedAndBecomesAProfile) {
  Program program(GetParam());
  const TempFolder& t = program.t;
  const std::string programFolder = ExtractFilePath(GetModuleFileNameA());
  fs::create_directories(t / "photos");
  const std::string photo = t / "photos/frame.tif";
  const std::string crop = t / "photos/chart.tif";
  const std::string profile = t / "frame.icm";

  program.Start();
  WriteFullFrame(photo);
  Form1->Show();
  Settle();
  TypeIntoNextFileDialog(photo);
  Click(Form1->TargetBtn);
  ASSERT_EQ(Form1->ImageFileName, photo);

  std::string rgbUnderMouse, sizeText;
  WhenActive<TForm2>([&](TForm2* preview) {
    sizeText = preview->Label2->Caption();
    SelectAndCropTheChart(preview);
    rgbUnderMouse = preview->R_edit->Text() + "," + preview->G_Edit->Text() + "," + preview->B_Edit->Text();

    // Away to another program and back with a click: the crop stays.
    display::InjectApplicationDeactivated();
    Settle();
    Click(preview->Label2);
    ExpectActive(preview);
    EXPECT_EQ(preview->image1->GetIEBitmap()->GetWidth(), 340);

    // The save dialog: the crop's full name typed into its name box, Return.
    bool dialogShown = false;
    WhenActive<TForm>([&](TForm* dialog) {
      dialogShown = true;
      ExpectSaveDialog(dialog);
      EXPECT_EQ(GetActiveWindow(), dialog->Handle());
      display::InjectText(crop);
      display::InjectKey(VK_RETURN);
    });
    Click(preview->SaveBtn);
    EXPECT_TRUE(dialogShown);
    ExpectActive(preview);
    EXPECT_EQ(preview->image1->GetIEBitmap()->GetWidth(), 340) << "what is shown is what was saved";
    EXPECT_EQ(preview->Label1->Caption(), "chart.tif");
    EXPECT_EQ(preview->Label2->Caption(), "340 x 240 " + msgPixels);
    EXPECT_EQ(PreviewSavedName, crop);
    Click(preview->CancelBtn);
  });
  Click(Form1->image1);
  EXPECT_EQ(sizeText, "960 x 720 " + msgPixels);
  EXPECT_NE(rgbUnderMouse, ",,") << "the colour under the mouse is shown";

  // The crop is the photo now, and it is the chart pixel for pixel.
  EXPECT_EQ(Form1->ImageFileName, crop);
  EXPECT_EQ(Form1->ImgLabel->Caption(), "chart.tif");
  EXPECT_EQ(Form1->image1->GetIEBitmap()->GetWidth(), 340) << "the main window shows the crop";
  const Photo saved = Load(crop), chart = Load(kChartFile);
  ASSERT_EQ(saved.width, chart.width);
  ASSERT_EQ(saved.height, chart.height);
  EXPECT_TRUE(saved.pixels == chart.pixels) << "the saved crop differs from the chart";

  // Generic reference row 0: ColorChecker, chart type 0.
  WhenActive<TForm8>([](TForm8* chooser) { Click(chooser->AdvGlassButton2); });
  Click(Form1->genBtn);
  EXPECT_EQ(Form1->typeList->ItemIndex(), 0);
  EXPECT_EQ(Form1->ReferenceFileName, programFolder + "argyll/ref/ColorChecker.cie");
  EXPECT_EQ(Form1->genBtn->OuterBorderColor(), ChoiceMarkOn);

  // The profile's save dialog, then the box that tells where it went.
  std::string savedText;
  TypeIntoNextFileDialog(profile, [&] {
    WhenActive<TMessageForm>([&](TMessageForm* box) {
      savedText = static_cast<TLabel*>(box->FindComponent("Message"))->Caption();
      display::InjectKey(VK_RETURN);
    });
  });
  Click(Form1->CreateBtn);
  EXPECT_NE(savedText.find(ExtractFilePath(profile)), std::string::npos) << savedText;
  EXPECT_TRUE(IsValidIccProfile(profile));
  std::string report;
  const double average = ProfcheckAverage(programFolder, Form1->WorkFolder + "chart.ti3", profile, report);
  ASSERT_GE(average, 0) << report;
  EXPECT_LT(average, 8.0) << report;
  Click(Form1->ExitBtn);
}

// The English run and one with a decimal comma.
INSTANTIATE_TEST_SUITE_P(Locales, CropPreviewEndToEnd, testing::Values("en_US.UTF-8", "de_DE.UTF-8"),
                         [](const testing::TestParamInfo<const char*>& info) {
                           return std::string(info.param).substr(0, 2);
                         });

// Save As over the photo itself: the question comes over the dialog, "No"
// (its N key) goes back to the dialog, Escape cancels it, and the photo
// keeps every byte; the main window keeps it too.
TEST(CropPreviewOverwrite, NoLeavesTheExistingPhotoUnchanged) {
  Program program("en_US.UTF-8");
  const TempFolder& t = program.t;
  fs::create_directories(t / "photos");
  const std::string photo = t / "photos/frame.tif";

  program.Start();
  WriteFullFrame(photo);
  const std::string before = ReadAll(photo);
  Form1->Show();
  Settle();
  TypeIntoNextFileDialog(photo);
  Click(Form1->TargetBtn);
  ASSERT_EQ(Form1->ImageFileName, photo);

  std::string question;
  bool backInTheDialog = false;
  WhenActive<TForm2>([&](TForm2* preview) {
    SelectAndCropTheChart(preview);
    WhenActive<TForm>([&](TForm* dialog) {
      ExpectSaveDialog(dialog);
      WhenActive<TMessageForm>([&, dialog](TMessageForm* box) {
        question = box->Caption() + ": " + static_cast<TLabel*>(box->FindComponent("Message"))->Caption();
        WhenActive<TForm>([&, dialog](TForm* again) {
          backInTheDialog = again == dialog;
          display::InjectKey(VK_ESCAPE);
        });
        // N, as a keyboard gives it: the key and its letter.
        display::InjectKeyDown('N');
        display::InjectText("n");
        display::InjectKeyUp('N');
      });
      display::InjectText(photo);
      display::InjectKey(VK_RETURN);
    });
    Click(preview->SaveBtn);
    ExpectActive(preview);
    EXPECT_EQ(PreviewSavedName, "");
    EXPECT_EQ(preview->Label1->Caption(), "frame.tif");
    EXPECT_EQ(preview->image1->GetIEBitmap()->GetWidth(), 340) << "the crop is still shown";
    Click(preview->CancelBtn);
  });
  Click(Form1->image1);

  EXPECT_EQ(question, "Warning: frame.tif already exists.\nDo you want to replace it?");
  EXPECT_TRUE(backInTheDialog) << "the question goes back to the save dialog";
  EXPECT_TRUE(ReadAll(photo) == before) << "the photo was changed";
  EXPECT_EQ(Form1->ImageFileName, photo);
  EXPECT_EQ(Form1->image1->GetIEBitmap()->GetWidth(), kFrameWidth);
  EXPECT_EQ(std::distance(fs::directory_iterator(t / "photos"), fs::directory_iterator()), 1) << "nothing written beside it";
  Click(Form1->ExitBtn);
}
