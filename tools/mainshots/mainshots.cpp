// Takes a PNG screenshot of the main window in English and in each language
// whose code is given (German when none is), as OUTPUT/main_<code>.png, with
// the photo given by --photo=FILE in its view (the chart crop of the test
// fixtures when none is given and it is found beside the sources). The
// program starts as usual but headless, with its settings in a folder of
// its own, so the user's settings are neither read nor written.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/loclangman.h"
#include "app/vesk_main.h"
#include "app/vesk_program.h"
#include "platform/rtl/files.h"
#include "platform/win/user_paint.h"

namespace {

void Settle() {
  for (int i = 0; i < 20; ++i) Application->ProcessMessages();
}

bool Shoot(const std::string& code, const std::string& folder) {
  LanguageManager->SetLanguageCode(code);
  if (LanguageManager->LanguageCode() != code) {
    std::fprintf(stderr, "no language files for \"%s\": %s\n", code.c_str(), LanguageManager->LastError().c_str());
    return false;
  }
  Settle();
  Form1->Update();
  const std::string file = IncludeTrailingPathDelimiter(folder) + "main_" + code + ".png";
  const bool ok = SaveWindowSnapshot(Form1->Handle(), file);
  std::printf("%s %s\n", ok ? "wrote" : "could not write", file.c_str());
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_FOLDER [language code ...]\n", argv[0]);
    return 2;
  }
  const std::string folder = argv[1];
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
  for (const std::string& code : codes) ok = Shoot(code, folder) && ok;
  VeskFreeWindows();
  VeskUnitsFinalize();
  return ok ? 0 : 1;
}
