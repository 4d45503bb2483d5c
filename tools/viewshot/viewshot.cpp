// Writes a PNG screenshot of a photo shown by an image view that fills a
// window, the photo fitted to it: what the main window shows after the user
// chose the photo. More pictures on request: the view's cursors as the
// screen shows them, a selection on a layer placed over the photo, and the
// thumbnail view over the files of a folder once every visible cell loaded.
#include <algorithm>
#include <filesystem>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "imaging/core/ruduvazez_startup.h"
#include "imaging/io/imageryio.h"
#include "imaging/view/iemview.h"
#include "imaging/view/imageryview.h"
#include "platform/display/headless.h"
#include "platform/forms/forms.h"
#include "platform/rtl/threads.h"
#include "platform/win/user.h"
#include "platform/win/user_paint.h"

namespace {

void Settle() {
  for (int i = 0; i < 20; ++i) Application->ProcessMessages();
}

// Every cursor of the view's table, each shown by the screen and copied
// three times enlarged onto a light and a dark tile, in rows of eight.
int WriteCursorSheet(const std::string& output) {
  constexpr int32_t kScale = 3, kTile = 32 * kScale + 8, kPerRow = 8;
  constexpr int32_t kCount = crIERotateTopLeft - crIEZoomOut + 1;
  const int32_t rows = (kCount + kPerRow - 1) / kPerRow;
  const int32_t width = kPerRow * kTile, height = rows * 2 * kTile;
  std::vector<uint32_t> sheet(static_cast<size_t>(width) * static_cast<size_t>(height));
  for (int32_t y = 0; y < height; ++y)
    std::fill_n(sheet.begin() + static_cast<ptrdiff_t>(y) * width, width,
                (y / kTile) % 2 == 0 ? 0xFFE8E8E8u : 0xFF303030u);
  for (int32_t n = 0; n < kCount; ++n) {
    SetCursor(Screen->Cursors(crIEZoomOut + n));
    const display::CursorPicture* picture = display::HeadlessCursorPicture();
    if (!picture) continue;  // a standard shape: no picture of ours
    for (int32_t band = 0; band < 2; ++band) {
      const int32_t left = (n % kPerRow) * kTile + 4, top = ((n / kPerRow) * 2 + band) * kTile + 4;
      for (int32_t y = 0; y < picture->height * kScale; ++y)
        for (int32_t x = 0; x < picture->width * kScale; ++x) {
          const uint32_t p = picture->pixels[static_cast<size_t>(y / kScale * picture->width + x / kScale)];
          const bool hot = x / kScale == picture->hotSpot.x && y / kScale == picture->hotSpot.y;
          if ((p >> 24) >= 128 || hot)
            sheet[static_cast<size_t>(top + y) * static_cast<size_t>(width) + static_cast<size_t>(left + x)] =
                hot ? 0xFFFF0000u : (p | 0xFF000000u);
        }
    }
  }
  if (!display::WritePng(output, sheet.data(), width, height)) return 1;
  std::printf("%s: %d cursors, the hot spots in red\n", output.c_str(), kCount);
  return 0;
}

// The photo with a smaller copy of itself as a layer placed at (120, 80) of
// it and a rectangle selected on that layer, as the view paints it.
void SelectOnPlacedLayer(TImageryView* view) {
  view->SetAutoFit(false);
  view->SetZoom(100);
  const int32_t layer = view->AddLayer(260, 180, ie24RGB, 120, 80);
  view->GetLayer(layer)->Bitmap->Fill(0xC08040);
  view->SetSelectionBase(iesbBitmap);
  view->Select(30, 20, 200, 140);
  view->Update();
  view->SetViewXY(0, 0);
}

// The thumbnail view over the folder's files (sorted by name), with file
// names below the cells and the second cell selected, once the visible
// cells have loaded in the background.
int WriteThumbnails(TForm* form, const std::string& folder, const std::string& output) {
  auto* view = new TImageryMView(form);
  view->SetParent(form);
  view->SetAlign(alClient);
  view->SetGridWidth(-1);
  view->SetGaps(0, 18, 0, 0);
  std::vector<std::string> files;
  std::error_code error;
  for (const auto& item : std::filesystem::directory_iterator(folder, error)) files.push_back(item.path().string());
  std::sort(files.begin(), files.end());
  bool displayed = false;
  view->OnAllDisplayed = [&](TObject*) { displayed = true; };
  view->BeginPaintLock();
  for (const std::string& file : files) {
    const int32_t index = view->AppendImage();
    view->SetImageFileName(index, file);
    view->SetImageBottomText(index, "$IEM_FILENAME$");
  }
  view->EndPaintLock();
  view->SetSelectedImage(std::min<int32_t>(1, view->GetImageCount() - 1));
  for (int i = 0; i < 3000 && !displayed; ++i) {
    Application->ProcessMessages();
    Sleep(5);
  }
  view->Invalidate();
  Settle();
  if (!SaveWindowSnapshot(form->Handle(), output)) {
    std::fprintf(stderr, "could not write %s\n", output.c_str());
    return 1;
  }
  std::printf("%s: %d files, %s\n", output.c_str(), view->GetImageCount(),
              displayed ? "every visible cell loaded" : "still loading");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  setenv("PLATFORM_DISPLAY", "headless", 0);
  const std::string mode = argc >= 2 ? argv[1] : "";
  const bool cursors = mode == "--cursors", layerSelection = mode == "--layer-selection";
  const bool thumbnails = mode == "--thumbnails";
  if (cursors || layerSelection || thumbnails) {
    --argc;
    ++argv;
  }
  if (argc < 2 || argc == 4 || argc > 5 || (cursors && argc != 2) || (thumbnails && argc < 3)) {
    std::fprintf(stderr, "usage: %s [--layer-selection] OUTPUT.png [PHOTO [WIDTH HEIGHT]]\n"
                         "       %s --cursors OUTPUT.png\n"
                         "       %s --thumbnails OUTPUT.png FOLDER [WIDTH HEIGHT]\n", argv[0], argv[0], argv[0]);
    return 2;
  }
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
    if (cursors) {
      status = WriteCursorSheet(output);
    } else if (thumbnails) {
      delete view;
      status = WriteThumbnails(form, photo, output);
    } else if (!view->GetIO()->LoadFromFile(photo)) {
      std::fprintf(stderr, "could not load %s\n", photo.c_str());
      status = 1;
    } else {
      if (layerSelection) SelectOnPlacedLayer(view);
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
