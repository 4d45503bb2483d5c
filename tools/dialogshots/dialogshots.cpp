// Takes PNG screenshots of the photo's ways in, headless: the open dialog
// with the preview of the full-frame chart photo (open_dialog.png), the
// crop preview with its histogram and a selection round the chart
// (crop_preview.png) and after Crop in English and German
// (crop_preview_cropped_en.png, crop_preview_cropped_de.png), its save dialog
// with a name typed (save_dialog.png) and the question before a file is
// replaced (save_overwrite.png), the about box (about.png) and the English
// help page's text (help_text.png) and the parameters preview dialog on the
// chart crop's JPEG page (previews_dialog.png), in OUTPUT. Settings go to a
// folder of its own.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "app/loclangman.h"
#include "app/vesk_about.h"
#include "app/vesk_main.h"
#include "app/vesk_prev.h"
#include "app/vesk_program.h"
#include "imaging/io/ieopensavedlg.h"
#include "imaging/io/imageryio.h"
#include "imaging/io/iopreviews.h"
#include "imaging/view/imageryview.h"
#include "platform/forms/dialogs.h"
#include "platform/rtl/files.h"
#include "platform/win/locale.h"
#include "platform/win/user_paint.h"
#include "platform/win/winuser_consts.h"
#include "tests/app/window_driving.h"
#include "ui/controls/advglassbutton.h"

namespace {

std::string folder;
bool ok = true;

void Shoot(TCustomForm* form, const std::string& name) {
  Settle();
  form->Update();
  const std::string file = IncludeTrailingPathDelimiter(folder) + name;
  const bool written = SaveWindowSnapshot(form->Handle(), file);
  std::printf("%s %s\n", written ? "wrote" : "could not write", file.c_str());
  ok = ok && written;
}

void ShootOpenDialog(const std::string& photo) {
  TOpenImageryDialog* dialog = Form1->OpenDialog1;
  dialog->OnShow = [dialog, photo](TObject*) {
    TForm* form = dialog->DialogForm();
    auto* list = static_cast<TListBox*>(form->FindComponent("FileList"));
    form->OnActivate = [form, dialog, list, photo](TObject*) {
      TForm* window = form;
      TOpenImageryDialog* d = dialog;
      TListBox* files = list;
      const std::string name = ExtractFileName(photo);
      window->OnActivate = nullptr;
      Click(d->PreviewCheck());
      const int32_t row = files->Items()->IndexOf(name);
      if (row >= 0) {
        const RECT r = files->ItemRect(row);
        display::InjectClick(files->ClientToScreen(POINT{20, (r.top + r.bottom) / 2}));
      }
      Shoot(window, "open_dialog.png");
      display::InjectKey(VK_RETURN);
    };
  };
  Form1->TargetFolder = ExtractFilePath(photo);
  Click(Form1->TargetBtn);
  dialog->OnShow = nullptr;
}

// The preview with a selection round the chart, and after Crop in each of
// the languages given (crop_preview_cropped_<code>.png).
void ShootCropPreview(const std::vector<std::string>& codes) {
  for (const std::string& code : codes) {
    LanguageManager->SetLanguageCode(code);
    WhenActive<TForm2>([code](TForm2* preview) {
      TImageryView* view = preview->image1;
      const POINT from = view->ClientToScreen(POINT{view->Width() / 5, view->Height() / 3});
      const POINT to = view->ClientToScreen(POINT{view->Width() * 3 / 5, view->Height() * 2 / 3});
      display::InjectMouseMove(from);
      display::InjectMouseDown(from);
      display::InjectMouseMove(to);
      display::InjectMouseUp(to);
      Settle();
      if (code == "en") Shoot(preview, "crop_preview.png");
      Click(preview->CropBtn);
      Shoot(preview, "crop_preview_cropped_" + code + ".png");
      preview->Close();
    });
    Click(Form1->image1);
  }
  LanguageManager->SetLanguageCode("en");
}

// Save As in the crop preview: the save dialog with a name typed in its
// output folder (save_dialog.png), then that name's question, since the file
// is there (save_overwrite.png), answered No; the dialog is cancelled.
void ShootSaveDialog() {
  WhenActive<TForm2>([](TForm2* preview) {
    WhenActive<TForm>([](TForm* dialog) {
      display::InjectText(folder);
      display::InjectKey(VK_RETURN);
      display::InjectText("open_dialog.png");
      Shoot(dialog, "save_dialog.png");
      WhenActive<TMessageForm>([](TMessageForm* question) {
        Shoot(question, "save_overwrite.png");
        display::InjectKeyDown('N');
        display::InjectText("n");
        display::InjectKeyUp('N');
      });
      display::InjectKey(VK_RETURN);
      Settle();
      display::InjectKey(VK_ESCAPE);
    });
    Click(preview->SaveBtn);
    preview->Close();
  });
  Click(Form1->image1);
}

void ShootAbout() {
  WhenActive<TForm6>([](TForm6* about) {
    Shoot(about, "about.png");
    about->Close();
  });
  Form1->AboutBtnClick(nullptr);
}

// The about box and the upgrade question with German chosen, the question's
// box under a German locale as a German desktop shows it.
void ShootGerman() {
  ScopedUserLocale german("de_DE.UTF-8");
  LanguageManager->SetLanguageCode("de");
  Settle();
  WhenActive<TForm6>([](TForm6* about) {
    Shoot(about, "about_de.png");
    about->Close();
  });
  Form1->AboutBtnClick(nullptr);
  const auto opener = BrowseOpener;
  BrowseOpener = [](const std::string&, const std::string&) { return true; };
  WhenActive<TMessageForm>([](TMessageForm* box) {
    Shoot(box, "upgrade_de.png");
    box->Close();
  });
  Form1->UpgBtnClick(nullptr);
  BrowseOpener = opener;
  LanguageManager->SetLanguageCode("en");
}

// The help page's text, without its markup, in a plain window.
void ShootHelpText() {
  std::ifstream in(Form1->ProgramFolder + "help/vesk.html");
  std::stringstream page;
  page << in.rdbuf();
  std::string text = std::regex_replace(page.str(), std::regex("<style>[^]*?</style>|<head>[^]*?</head>"), "");
  text = std::regex_replace(text, std::regex("</(h1|h2|p)>"), "\n");
  text = std::regex_replace(text, std::regex("<[^>]*>"), "");
  text = std::regex_replace(text, std::regex("\n\\s*\n+"), "\n\n");
  TForm* window = new TForm(nullptr);
  window->SetCaption("VeSk - Help");
  window->SetClientWidth(640);
  window->SetClientHeight(560);
  window->SetColor(clWhite);
  auto* label = new TLabel(window);
  label->SetParent(window);
  label->SetAutoSize(false);
  label->SetWordWrap(true);
  label->SetBounds(12, 8, 616, 544);
  label->SetCaption(text);
  window->Show();
  Shoot(window, "help_text.png");
  delete window;
}

// The save options of the chart crop as JPEG, with every page's tab.
void ShootPreviewsDialog() {
  TImageryIO io(nullptr);
  if (!io.LoadFromFile(VESK_SOURCE_DIR "/tests/fixtures/charts/colorchecker24-handheld-crop.tif", -1)) {
    ok = false;
    return;
  }
  io.Params().FILETYPE = 3;
  io.Params().JPEG_QUALITY = 30;
  io.SimplifiedParamsDialogs = false;
  io.PreviewsParams = {ioppDefaultLockPreview, ioppApplyButton};
  WhenActive<TfIOPreviews>([](TfIOPreviews* dialog) {
    Shoot(dialog, "previews_dialog.png");
    dialog->Close();
  });
  io.DoPreviews(ppAll);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_FOLDER [--photo=FILE]\n", argv[0]);
    return 2;
  }
  folder = argv[1];
  std::string photo = VESK_SOURCE_DIR "/tests/fixtures/charts/colorchecker24-handheld.jpg";
  for (int i = 2; i < argc; ++i)
    if (std::string(argv[i]).starts_with("--photo=")) photo = std::string(argv[i]).substr(8);
  setenv("PLATFORM_DISPLAY", "headless", 1);
  const std::string config = IncludeTrailingPathDelimiter(folder) + ".dialogshots-config";
  ForceDirectories(config);
  setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  ForceDirectories(folder);

  VeskUnitsInitialize();
  VeskCreateWindows();
  Form1->Show();
  Settle();
  ShootOpenDialog(photo);
  ShootCropPreview({"en", "de"});
  ShootSaveDialog();
  ShootAbout();
  ShootGerman();
  ShootHelpText();
  ShootPreviewsDialog();
  VeskFreeWindows();
  VeskUnitsFinalize();
  return ok ? 0 : 1;
}
