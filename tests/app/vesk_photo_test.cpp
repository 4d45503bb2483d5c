// The photo's ways into the main window, headless: the image open dialog
// with its preview, files dropped on the window, the generic reference
// chooser, the crop preview's refusal of a blank view, the save dialog's
// formats and the pages opened through the registered HTML program.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/loclangman.h"
#include "app/vesk_main.h"
#include "app/vesk_prev.h"
#include "app/vesk_ref.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/io/ieopensavedlg.h"
#include "imaging/io/imageryio.h"
#include "imaging/io/imageryio_params.h"
#include "imaging/io/imageryio_registry.h"
#include "imaging/view/imageryview.h"
#include "platform/rtl/files.h"
#include "platform/win/registry.h"
#include "platform/win/winuser_consts.h"
#include "tests/app/program_fixture.h"
#include "tests/app/window_driving.h"
#include "ui/controls/advcombo.h"
#include "ui/controls/advglassbutton.h"
#include "ui/controls/advsmoothpanel.h"

namespace fs = std::filesystem;

namespace {

const std::string kCrop = VESK_SOURCE_DIR "/tests/fixtures/charts/colorchecker24-handheld-crop.tif";
const std::string kFrame = VESK_SOURCE_DIR "/tests/fixtures/charts/colorchecker24-handheld.jpg";

// The chart crop written in another format, by extension.
std::string Converted(const TempFolder& t, const std::string& name) {
  TImageryIO io(nullptr);
  EXPECT_TRUE(io.LoadFromFile(kCrop, -1));
  const std::string file = t / name;
  io.SaveToFile(file, -1);
  return file;
}

// Answers the open dialog as a user: ticks the preview box, clicks the
// file's row in the list, notes what the preview shows, presses Enter.
struct PreviewScript {
  std::string shownFile, info;
  int pictureWidth = 0;
  void Arm(TOpenImageryDialog* dialog, const std::string& fileName) {
    dialog->OnShow = [this, dialog, fileName](TObject*) {
      TForm* form = dialog->DialogForm();
      auto* list = static_cast<TListBox*>(form->FindComponent("FileList"));
      form->OnActivate = [this, dialog, form, list, fileName](TObject*) {
        PreviewScript* self = this;
        TOpenImageryDialog* d = dialog;
        TListBox* files = list;
        const std::string name = fileName;
        form->OnActivate = nullptr;  // ends this handler's captures
        Click(d->PreviewCheck());
        const int32_t row = files->Items()->IndexOf(ExtractFileName(name));
        ASSERT_GE(row, 0) << name;
        const RECT r = files->ItemRect(row);
        display::InjectClick(files->ClientToScreen(POINT{20, (r.top + r.bottom) / 2}));
        Settle();
        self->shownFile = d->PreviewFile();
        self->info = d->InfoLabel()->Caption();
        self->pictureWidth = d->PreviewImage()->Picture()->Bitmap()->Width();
        display::InjectKey(VK_RETURN);
      };
    };
  }
};

}  // namespace

TEST(PhotoChoice, OpenDialogPreviewsAndLoadsJpegTiffAndPng) {
  Program program("en_US.UTF-8");
  program.Start();
  fs::create_directories(program.t / "photos");
  const std::vector<std::pair<std::string, std::string>> photos = {
      {Converted(program.t, "photos/chart.jpg"), "340 x 240 pixels"},
      {Converted(program.t, "photos/chart.tif"), "340 x 240 pixels"},
      {Converted(program.t, "photos/chart.png"), "340 x 240 pixels"}};
  Form1->Show();
  Settle();
  for (const auto& [photo, info] : photos) {
    PreviewScript script;
    script.Arm(Form1->OpenDialog1, photo);
    Form1->TargetFolder = program.t / "photos/";
    Click(Form1->TargetBtn);
    EXPECT_EQ(script.shownFile, photo) << "the preview shows the selected file";
    EXPECT_EQ(script.info, info) << photo;
    EXPECT_GT(script.pictureWidth, 0) << photo;
    EXPECT_EQ(Form1->ImageFileName, photo);
    EXPECT_EQ(Form1->ImgLabel->Caption(), ExtractFileName(photo));
    EXPECT_EQ(Form1->CollectChoices().PhotoHeight, 240) << photo;
    EXPECT_EQ(Form1->TargetBtn->OuterBorderColor(), ChoiceMarkOn);
  }
  Form1->OpenDialog1->OnShow = nullptr;
}

TEST(PhotoChoice, AFailedLoadNamesNoPhoto) {
  Program program("en_US.UTF-8");
  program.Start();
  Form1->TakePhoto(kCrop);
  ASSERT_EQ(Form1->ImageFileName, kCrop);
  const std::string broken = WriteBelow(program.t, "broken.jpg", std::string("\xFF\xD8\xFF\xE0 not a photo", 16));
  ScriptMessageBoxAnswer(mrOk);
  Form1->TakePhoto(broken);
  EXPECT_EQ(Form1->ImageFileName, "") << "no name without an image";
  EXPECT_EQ(Form1->ImgLabel->Caption(), "*.*");
  EXPECT_EQ(Form1->CollectChoices().PhotoHeight, 1) << "no old image under the new name";
  ASSERT_EQ(MessageBoxLog().size(), 1u);
  EXPECT_EQ(MessageBoxLog()[0].Text, "Error opening the image.");
}

TEST(PhotoChoice, AFileDroppedOnTheWindowLoadsOnce) {
  Program program("en_US.UTF-8");
  program.Start();
  Form1->Show();
  Settle();
  display::InjectFileDrop(Centre(Form1->Panel_1), {kCrop});
  Settle();
  EXPECT_EQ(Form1->ImageFileName, kCrop);
  EXPECT_EQ(Form1->ImgLabel->Caption(), "colorchecker24-handheld-crop.tif");
  EXPECT_EQ(Form1->CollectChoices().PhotoHeight, 240);
  EXPECT_EQ(Form1->TargetBtn->OuterBorderColor(), ChoiceMarkOff) << "the Select button's mark stays";

  // Where the desktop cannot tell the point, anywhere on the window counts.
  display::InjectFileDrop(Centre(Form1->Profile_Panel), {kFrame});
  Settle();
  EXPECT_EQ(Form1->ImageFileName, kFrame);
  EXPECT_EQ(Form1->CollectChoices().PhotoHeight, 768);

  display::InjectFileDrop(Centre(Form1->Panel_1), {kCrop, kFrame});
  Settle();
  EXPECT_EQ(Form1->ImageFileName, kFrame) << "several files at once are refused";
  EXPECT_TRUE(MessageBoxLog().empty());
}

// A camera's DNG dropped on the window loads through the camera-raw plug-in
// the program registers at start, whatever the file is called, under a
// decimal-comma locale too.
TEST(PhotoChoice, ADroppedDNGLoadsThroughTheCameraRawPlugin) {
  for (const char* locale : {"en_US.UTF-8", "de_DE.UTF-8"}) {
    Program program(locale);
    program.Start();
    const std::string dng = program.t / "photo.dng";
    const std::string command = "python3 " VESK_SOURCE_DIR "/tests/fixtures/raw/make_dng.py '" + dng +
                                "' --width 160 --height 120";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::string unnamed = program.t / "photo.data";
    fs::copy_file(dng, unnamed);
    Form1->Show();
    Settle();
    for (const std::string& photo : {dng, unnamed}) {
      ScriptMessageBoxAnswer(mrOk);  // a failed load would say so
      display::InjectFileDrop(Centre(Form1->Panel_1), {photo});
      Settle();
      EXPECT_EQ(Form1->ImageFileName, photo) << locale;
      EXPECT_EQ(Form1->image1->GetIO()->Params().FILETYPE, 4096) << photo << " " << locale;
      EXPECT_EQ(Form1->CollectChoices().PhotoHeight, 120) << photo << " " << locale;
    }
    for (const auto& box : MessageBoxLog()) ADD_FAILURE() << box.Text << " " << locale;
  }
}

TEST(ReferenceChoice, GenericRowSetsTheChartTypeAndClosingChangesOnlyTheMarks) {
  Program program("en_US.UTF-8");
  program.Start();
  Form1->Show();
  Settle();
  WhenActive<TForm8>([](TForm8* chooser) {
    chooser->Ref_List->SetItemIndex(1);
    Click(chooser->AdvGlassButton2);
  });
  Click(Form1->genBtn);
  EXPECT_EQ(Form1->typeList->ItemIndex(), 2);
  EXPECT_EQ(Form1->ReferenceFileName, Form1->ProgramFolder + "argyll/ref/ColorCheckerPassport.cie");
  EXPECT_EQ(Form1->RefLabel->Caption(), "ColorCheckerPassport.cie");
  EXPECT_EQ(Form1->genBtn->OuterBorderColor(), ChoiceMarkOn);
  EXPECT_EQ(Form1->refBtn->OuterBorderColor(), ChoiceMarkOff);

  WhenActive<TForm8>([](TForm8* chooser) { chooser->Close(); });
  Click(Form1->genBtn);
  EXPECT_EQ(Form1->ReferenceFileName, Form1->ProgramFolder + "argyll/ref/ColorCheckerPassport.cie");
  EXPECT_EQ(Form1->typeList->ItemIndex(), 2);
  EXPECT_EQ(Form1->genBtn->OuterBorderColor(), ChoiceMarkOff);
  EXPECT_EQ(Form1->refBtn->OuterBorderColor(), ChoiceMarkOff);

  for (int32_t row = 0; row < GenericReferenceCount; ++row)
    EXPECT_TRUE(fs::exists(Form1->ProgramFolder + "argyll/ref/" + GenericReference(row).FileName))
        << GenericReference(row).FileName;
}

TEST(CropPreview, ABlankViewOpensNoPreview) {
  Program program("en_US.UTF-8");
  program.Start();
  ScriptMessageBoxAnswer(mrOk);
  Form1->image1Click(Form1->image1);
  ASSERT_EQ(MessageBoxLog().size(), 1u);
  EXPECT_EQ(MessageBoxLog()[0].Text, "No image to view");
}

TEST(SaveDialog, WritesEveryFormatItOffersAndKeepsNamesWhole) {
  Program program("en_US.UTF-8");
  program.Start();
  TImageryIO attached(nullptr);
  TSaveImageryDialog dialog(nullptr);
  dialog.ShowFormats = iesfImagesOnly;
  dialog.ExOptions = {};
  dialog.SetAttachedImageryIO(&attached);
  TImageryIO source(nullptr);
  ASSERT_TRUE(source.LoadFromFile(kCrop, -1));

  const std::string filter = IEBuildFilter(true, iesfImagesOnly, -1, false);
  ASSERT_EQ(filter.rfind("JPEG", 0), 0u) << "JPEG first: " << filter;
  for (int32_t entry = 1; !IEFilterPattern(filter, entry).empty(); ++entry) {
    const std::string ext = IEFilterPatternExt(IEFilterPattern(filter, entry));
    ScriptFileDialogAnswer(program.t / ("out" + std::to_string(entry)));  // no extension typed
    dialog.SetFileName("");
    dialog.SetFilterIndex(entry);
    dialog.FilterDefault = 0;
    ASSERT_TRUE(dialog.Execute()) << ext;
    SCOPED_TRACE(ext);
    const std::string file = dialog.FileName();
    EXPECT_EQ(ExtractFileExt(file), ext) << "the chosen type's extension is added";
    EXPECT_NE(attached.Params().FILETYPE, 0) << ext;
    source.SaveToFile(file, -1);
    EXPECT_GT(FileSize64(file), 0) << "an offered format is written";
    // Those that can be read again hold the image (icons at an icon size);
    // PostScript and PDF are written only.
    const TIEFileFormatInfo* info = IEFindFormatByExtension(ext);
    if (!IEFilterIndexOfExt(IEBuildFilter(false, iesfImagesOnly, -1, false), ext, false) || !info || !info->ReadProc)
      continue;
    TImageryIO back(nullptr);
    EXPECT_TRUE(back.LoadFromFile(file, -1)) << file;
    if (info->FileTypeId != 6) {
      EXPECT_EQ(back.IEBitmap()->GetWidth(), 340) << file;
    }
  }

  EXPECT_EQ(TSaveImageryDialog::ReplaceExtension("my.photo.jpg", ".tif"), "my.photo.tif");
  EXPECT_EQ(TSaveImageryDialog::ReplaceExtension("photo", ".png"), "photo.png");

  // Cancelling puts the attached parameters back; the check timer runs only
  // while the dialog shows.
  attached.Params().FILETYPE = 1;
  attached.Params().JPEG_QUALITY = 42;
  bool timerWhileShown = false;
  dialog.OnShow = [&](TObject*) {
    timerWhileShown = dialog.CheckTimerEnabled();
    attached.Params().JPEG_QUALITY = 90;
    TForm* form = dialog.DialogForm();
    form->OnActivate = [form](TObject*) {
      form->OnActivate = nullptr;
      display::InjectKey(VK_ESCAPE);
    };
  };
  dialog.SetFileName("photo.png");
  EXPECT_FALSE(dialog.Execute());
  EXPECT_TRUE(timerWhileShown);
  EXPECT_FALSE(dialog.CheckTimerEnabled());
  EXPECT_EQ(attached.Params().FILETYPE, 1);
  EXPECT_EQ(attached.Params().JPEG_QUALITY, 42);
}

TEST(Pages, TheRegisteredProgramOpensThePageWithoutAShell) {
  Program program("en_US.UTF-8");
  std::vector<std::pair<std::string, std::string>> opened;
  const auto saved = BrowseOpener;
  BrowseOpener = [&](const std::string& p, const std::string& target) {
    opened.emplace_back(p, target);
    return true;
  };
  const auto setCommand = [](const std::string& command) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "htmlfile\\shell\\open\\command", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              0);
    RegSetValueExA(key, "", 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                   static_cast<DWORD>(command.size() + 1));
    RegCloseKey(key);
  };
  // The desktop's own command hands the page to its opener.
  EXPECT_TRUE(BrowseURL("/help/vesk.html"));
  setCommand("\"/opt/browser/run\" --new-window \"%1\"");
  EXPECT_TRUE(BrowseURL("/help/it's; rm -rf ~.html"));
  setCommand("browser %1");
  EXPECT_TRUE(BrowseURL("/help/x.html"));
  BrowseOpener = saved;
  EXPECT_EQ(opened, (std::vector<std::pair<std::string, std::string>>{
                        {"", "/help/vesk.html"}, {"/opt/browser/run", "/help/it's; rm -rf ~.html"}}))
      << "a command without quotes opens nothing";
}

TEST(Pages, HelpOpensTheLanguagesPageAndF1TheMainPage) {
  Program program("en_US.UTF-8");
  program.Start();
  Form1->Show();
  Settle();
  std::vector<std::string> opened;
  const auto saved = BrowseOpener;
  BrowseOpener = [&](const std::string&, const std::string& target) {
    opened.push_back(target);
    return true;
  };
  const std::string help = Form1->ProgramFolder + "help/";
  const struct {
    const char *code, *page;
  } cases[] = {{"en", "vesk.html"},     {"de", "vesk_de.html"}, {"cs", "vesk_cs.html"}, {"pl", "vesk_pl.html"},
               {"fr", "vesk_fr.html"},  {"es", "vesk_es.html"}, {"in", "vesk_in.html"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    LanguageManager->SetLanguageCode(c.code);
    Settle();
    opened.clear();
    Click(Form1->HelpBtn);
    display::InjectKey(VK_F1);
    Settle();
    // Help takes the language's page; F1 the main page, whatever the language.
    EXPECT_EQ(opened, (std::vector<std::string>{help + c.page, help + "vesk.html"}));
    EXPECT_TRUE(fs::exists(help + c.page));
  }
  BrowseOpener = saved;
}

TEST(ChartPicture, EveryChartTypeWithALayoutShowsItsPicture) {
  Program program("en_US.UTF-8");
  program.Start();
  std::vector<std::pair<int32_t, int32_t>> sizes;
  for (int32_t type = 0; type < ChartTypeCount; ++type) {
    Form1->typeList->SetItemIndex(type);
    Form1->typeListDropUp(Form1->typeList);
    sizes.emplace_back(Form1->Image2->Picture()->Width(), Form1->Image2->Picture()->Height());
    // LaserSoft Advanced has no layout in the toolkit's data, so no picture.
    if (type == 12)
      EXPECT_EQ(sizes.back().first, 0);
    else
      EXPECT_GT(sizes.back().first * sizes.back().second, 0) << type;
  }
  EXPECT_EQ(sizes[0], sizes[3]) << "both ColorChecker types show the same chart";
  EXPECT_EQ(sizes[5], sizes[6]) << "both CMP digital targets show the same chart";
  EXPECT_GT(sizes[14].second, sizes[14].first) << "the SpyderChecker 24 stands upright";
}
