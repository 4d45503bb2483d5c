// Takes PNG screenshots of the main window in English and in each language
// whose code is given (German when none is), into OUTPUT:
//   main_<code>.png               the window with the photo in its view
//   main_after_preview_<code>.png the window once the crop preview was opened and closed
//   main_list_top_<code>.png      the chart list dropped down at its first item
//   main_list_end_<code>.png      the chart list dropped down again after its last item was chosen
// The photo is the one given by --photo=FILE (the chart crop of the test
// fixtures when none is given and it is found beside the sources). The
// program starts as usual but headless, with its settings in a folder of
// its own, so the user's settings are neither read nor written.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/loclangman.h"
#include "app/vesk_main.h"
#include "app/vesk_prev.h"
#include "app/vesk_program.h"
#include "platform/display/display.h"
#include "platform/rtl/files.h"
#include "platform/win/surface.h"
#include "platform/win/user_paint.h"
#include "platform/win/winuser_consts.h"
#include "tests/app/window_driving.h"
#include "imaging/view/imageryview.h"
#include "ui/controls/advcombo.h"

namespace {

std::string folder;

std::string FileFor(const std::string& name, const std::string& code) {
  return IncludeTrailingPathDelimiter(folder) + name + "_" + code + ".png";
}

bool Report(bool written, const std::string& file) {
  std::printf("%s %s\n", written ? "wrote" : "could not write", file.c_str());
  return written;
}

bool ShootWindow(const std::string& name, const std::string& code) {
  Settle();
  Form1->Update();
  const std::string file = FileFor(name, code);
  return Report(SaveWindowSnapshot(Form1->Handle(), file), file);
}

// Copies a surface into a picture of `width` columns with its top-left corner at (x, y).
void Lay(std::vector<uint32_t>& picture, int32_t width, const Surface& s, LONG x, LONG y) {
  for (int32_t row = 0; row < s.height; ++row)
    std::copy_n(s.Row(row), s.width, picture.begin() + (y + row) * width + x);
}

// The main window with a pop-up window (a dropped list) laid over it where
// it stands on the screen, as a user sees the two, on a dark desktop.
bool ShootWithPopup(HWND popup, const std::string& name, const std::string& code) {
  Settle();
  const std::string file = FileFor(name, code);
  const Surface* main = GetWindowSurface(Form1->Handle());
  const Surface* over = GetWindowSurface(popup);
  RECT mainRect, overRect, both;
  if (!main || !over || !GetWindowRect(Form1->Handle(), &mainRect) || !GetWindowRect(popup, &overRect))
    return Report(false, file);
  UnionRect(&both, &mainRect, &overRect);
  const int32_t width = both.right - both.left, height = both.bottom - both.top;
  std::vector<uint32_t> picture(static_cast<size_t>(width) * static_cast<size_t>(height), 0xFF3A3A3Au);
  Lay(picture, width, *main, mainRect.left - both.left, mainRect.top - both.top);
  Lay(picture, width, *over, overRect.left - both.left, overRect.top - both.top);
  return Report(display::WritePng(file, picture.data(), width, height), file);
}

bool ShootAfterPreview(const std::string& code) {
  WhenActive<TForm2>([](TForm2* preview) { preview->Close(); });
  Click(Form1->image1);
  return ShootWindow("main_after_preview", code);
}

// The chart list at its first item, then opened again after its last item
// was chosen with the keys; the first item is chosen again at the end.
bool ShootChartList(const std::string& code) {
  TAdvComboBox* list = Form1->typeList;
  list->SetItemIndex(0);
  Click(list);
  bool ok = list->DroppedDown() && ShootWithPopup(list->DropDownList()->Handle(), "main_list_top", code);
  for (int32_t i = 1; i < list->Items()->Count(); ++i) display::InjectKey(VK_DOWN);
  display::InjectKey(VK_RETURN);
  Settle();
  Click(list);
  ok = list->DroppedDown() && ShootWithPopup(list->DropDownList()->Handle(), "main_list_end", code) && ok;
  display::InjectKey(VK_HOME);
  display::InjectKey(VK_ESCAPE);
  Settle();
  list->SetItemIndex(0);
  Form1->typeListDropUp(list);
  return ok;
}

bool Shoot(const std::string& code) {
  LanguageManager->SetLanguageCode(code);
  if (LanguageManager->LanguageCode() != code) {
    std::fprintf(stderr, "no language files for \"%s\": %s\n", code.c_str(), LanguageManager->LastError().c_str());
    return false;
  }
  bool ok = ShootWindow("main", code);
  ok = ShootAfterPreview(code) && ok;
  return ShootChartList(code) && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_FOLDER [language code ...]\n", argv[0]);
    return 2;
  }
  folder = argv[1];
  std::vector<std::string> codes{"en"};
  std::string photo = VESK_SOURCE_DIR "/tests/fixtures/charts/colorchecker24-handheld-crop.tif";
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.starts_with("--photo="))
      photo = arg.substr(8);
    else
      codes.push_back(arg);
  }
  if (codes.size() == 1) codes.push_back("de");
  setenv("PLATFORM_DISPLAY", "headless", 1);
  const std::string config = IncludeTrailingPathDelimiter(folder) + ".mainshots-config";
  ForceDirectories(config);
  setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  ForceDirectories(folder);

  VeskUnitsInitialize();
  VeskCreateWindows();
  Form1->Show();
  if (FileExists(photo)) {
    Form1->ImageFileName = photo;
    Form1->ImgLabel->SetCaption(ExtractFileName(photo));
    Form1->OpenImg(photo);
  }
  bool ok = true;
  for (const std::string& code : codes) ok = Shoot(code) && ok;
  VeskFreeWindows();
  VeskUnitsFinalize();
  return ok ? 0 : 1;
}
