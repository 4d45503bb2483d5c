// Writes a PNG screenshot of a photo shown by an image view that fills a
// window, the photo fitted to it: what the main window shows after the user
// chose the photo.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "imaging/core/ruduvazez_startup.h"
#include "imaging/io/imageryio.h"
#include "imaging/view/imageryview.h"
#include "platform/forms/forms.h"
#include "platform/win/user_paint.h"

namespace {

void Settle() {
  for (int i = 0; i < 20; ++i) Application->ProcessMessages();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc == 4 || argc > 5) {
    std::fprintf(stderr, "usage: %s OUTPUT.png [PHOTO [WIDTH HEIGHT]]\n", argv[0]);
    return 2;
  }
  setenv("PLATFORM_DISPLAY", "headless", 0);
  const std::string output = argv[1];
  const std::string photo =
      argc >= 3 ? argv[2] : std::string(VESK_SOURCE_DIR) + "/tests/fixtures/charts/colorchecker24-handheld.jpg";
  const int width = argc == 5 ? std::atoi(argv[3]) : 640, height = argc == 5 ? std::atoi(argv[4]) : 480;
  if (width < 16 || height < 16 || width > 8192 || height > 8192) {
    std::fprintf(stderr, "the window size must lie between 16 and 8192 pixels\n");
    return 2;
  }
  RuduvazezUnitInitialize();
  IEInitializeImageryIO();
  int status = 0;
  {
    auto* form = new TForm(nullptr);
    form->SetCaption("View - " + photo);
    form->SetBounds(20, 20, width, height);
    auto* view = new TImageryView(form);
    view->SetParent(form);
    view->SetAlign(alClient);
    view->SetBackground(clBtnFace);
    view->SetAutoFit(true);
    form->Show();
    Settle();
    if (!view->GetIO()->LoadFromFile(photo)) {
      std::fprintf(stderr, "could not load %s\n", photo.c_str());
      status = 1;
    } else {
      view->Update();
      Settle();
      if (!SaveWindowSnapshot(form->Handle(), output)) {
        std::fprintf(stderr, "could not write %s\n", output.c_str());
        status = 1;
      } else {
        std::printf("%s: %d x %d at %.1f %%\n", output.c_str(), view->GetIEBitmap()->GetWidth(),
                    view->GetIEBitmap()->GetHeight(), view->Zoom());
      }
    }
    delete form;
    Settle();
  }
  IEFinalizeImageryIO();
  RuduvazezUnitFinalize();
  return status;
}
