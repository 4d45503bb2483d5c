// Draws the frames of every transition kind that a step procedure draws, at
// 25, 50 and 75 percent, the frames of a run accumulating as in the engine,
// and writes them as one PNG (default "transitionsheet.png"); --alt draws
// with the alternative drawing, and numbers given limit the sheet to those kinds.
#include <png.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "imaging/core/iesettings.h"
#include "imaging/view/transitioneffects.h"
#include "imaging/view/transitionsteps.h"

namespace {

constexpr int32_t kFrameW = 120, kFrameH = 72, kGap = 6, kLabelH = 16, kKindsPerRow = 4;
constexpr int32_t kCellW = 3 * (kFrameW + kGap) + 2 * kGap, kCellH = kFrameH + kLabelH + kGap;

std::unique_ptr<TBitmap> Picture(bool isNew) {
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetPixelFormat(pf24bit);
  bitmap->SetSize(kFrameW, kFrameH);
  for (int32_t y = 0; y < kFrameH; ++y) {
    auto* row = static_cast<uint8_t*>(bitmap->ScanLine(y));
    for (int32_t x = 0; x < kFrameW; ++x) {
      uint8_t* p = row + 3 * x;
      if (isNew) {  // warm checks with a dark ring
        const int32_t dx = x - kFrameW / 2, dy = y - kFrameH / 2, r2 = dx * dx + dy * dy;
        const bool ring = r2 > 20 * 20 && r2 < 26 * 26, check = ((x / 12) + (y / 12)) % 2 == 0;
        p[0] = ring ? 30 : 40;
        p[1] = ring ? 30 : (check ? 150 : 200);
        p[2] = ring ? 60 : 240;
      } else {  // a cool ramp with grid lines
        const bool line = x % 20 == 0 || y % 20 == 0;
        p[0] = line ? 255 : static_cast<uint8_t>(120 + x);
        p[1] = line ? 255 : static_cast<uint8_t>(60 + y);
        p[2] = line ? 255 : 30;
      }
    }
  }
  return bitmap;
}

// The frame of kind at percent, drawn over the frames of a run reaching it.
void DrawFrame(TIETransitionType kind, int32_t percent, TBitmap* old, TBitmap* fresh, TBitmap* frame,
               TIETransitionRunState& state) {
  BitBlt(frame->Canvas()->Handle(), 0, 0, kFrameW, kFrameH, old->Canvas()->Handle(), 0, 0, SRCCOPY);
  state.Ready = false;
  const int32_t last = percent * 1024 / 100;
  for (int32_t step = 32; step <= last; step += 32) {
    SetStretchBltMode(frame->Canvas()->Handle(), HALFTONE);
    PerformTransitionStep(kind, frame->Canvas(), old, fresh, {0, 0, kFrameW, kFrameH}, step, state);
  }
}

bool WritePng(const char* path, TBitmap* sheet) {
  const int32_t w = sheet->Width(), h = sheet->Height();
  std::vector<uint8_t> pixels(static_cast<size_t>(w) * h * 3);
  for (int32_t y = 0; y < h; ++y)
    std::memcpy(&pixels[static_cast<size_t>(y) * w * 3], sheet->ScanLine(y), static_cast<size_t>(w) * 3);
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(w);
  image.height = static_cast<png_uint_32>(h);
  image.format = PNG_FORMAT_BGR;
  return png_image_write_to_file(&image, path, 0, pixels.data(), w * 3, nullptr) != 0;
}

}  // namespace

int main(int argc, char** argv) {
  const char* out = "transitionsheet.png";
  std::vector<int32_t> only;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--alt") == 0) IEGetGlobalSettings()->TransitionAltDrawing = true;
    else if (std::isdigit(static_cast<unsigned char>(argv[i][0]))) only.push_back(std::atoi(argv[i]));
    else out = argv[i];
  }
  std::vector<TIETransitionType> kinds;
  for (int32_t k = 1; k < IETransitionKindCount; ++k)
    if (!IETransitionDrawnByEngine(static_cast<TIETransitionType>(k)) &&
        (only.empty() || std::find(only.begin(), only.end(), k) != only.end()))
      kinds.push_back(static_cast<TIETransitionType>(k));
  const int32_t rows = (static_cast<int32_t>(kinds.size()) + kKindsPerRow - 1) / kKindsPerRow;
  TBitmap sheet;
  sheet.SetPixelFormat(pf24bit);
  sheet.SetSize(kKindsPerRow * kCellW, rows * kCellH);
  TCanvas* canvas = sheet.Canvas();
  canvas->Brush()->SetColor(clWhite);
  canvas->FillRect({0, 0, sheet.Width(), sheet.Height()});
  canvas->Font()->SetHeight(-11);
  const auto old = Picture(false), fresh = Picture(true);
  TBitmap frame;
  frame.SetPixelFormat(pf24bit);
  frame.SetSize(kFrameW, kFrameH);
  TIETransitionRunState state;
  for (size_t i = 0; i < kinds.size(); ++i) {
    const int32_t left = static_cast<int32_t>(i % kKindsPerRow) * kCellW + kGap;
    const int32_t top = static_cast<int32_t>(i / kKindsPerRow) * kCellH;
    canvas->Brush()->SetStyle(bsClear);
    canvas->TextOut(left, top + 1, std::to_string(kinds[i]) + " " + IETransitionNames[kinds[i] - 1].Name);
    for (int32_t j = 0; j < 3; ++j) {
      DrawFrame(kinds[i], 25 * (j + 1), old.get(), fresh.get(), &frame, state);
      BitBlt(canvas->Handle(), left + j * (kFrameW + kGap), top + kLabelH, kFrameW, kFrameH, frame.Canvas()->Handle(),
             0, 0, SRCCOPY);
    }
  }
  if (!WritePng(out, &sheet)) {
    std::fprintf(stderr, "cannot write %s\n", out);
    return 1;
  }
  std::printf("%s: %zu kinds\n", out, kinds.size());
  return 0;
}
