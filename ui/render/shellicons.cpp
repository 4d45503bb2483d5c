#include "ui/render/shellicons.h"

#include <algorithm>
#include <array>
#include <memory>
#include <vector>

#include "platform/rtl/sysutils.h"
#include "platform/rtl/files.h"
#include "platform/win/kernel_files.h"
#include "platform/win/shell.h"

namespace {

// Icons are drawn on a 16-unit grid and scaled to the list's size.
class IconPainter {
public:
  // The background is magenta, drawn transparent (as the lower left pixel).
  explicit IconPainter(int32_t size) : size_(size), pixels_(static_cast<size_t>(size * size), 0xFFFF00FF) {}
  // Fills the grid rectangle [x0, x1) x [y0, y1).
  void Fill(int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t argb) {
    const int32_t s = size_ / 16;
    for (int32_t y = y0 * s; y < y1 * s; ++y)
      for (int32_t x = x0 * s; x < x1 * s; ++x) pixels_[static_cast<size_t>(y * size_ + x)] = argb;
  }
  // A filled rectangle inside a one-unit frame.
  void Framed(int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t frame, uint32_t face) {
    Fill(x0, y0, x1, y1, frame);
    Fill(x0 + 1, y0 + 1, x1 - 1, y1 - 1, face);
  }
  void To(TBitmap* bitmap) const {
    bitmap->SetPixels32(size_, size_, pixels_.data());
    bitmap->SetTransparent(true);
  }

private:
  int32_t size_;
  std::vector<uint32_t> pixels_;
};

constexpr uint32_t kFrame = 0xFF606060, kPaper = 0xFFFFFFFF, kLines = 0xFFA0A0A0;

void PaintIcon(IconPainter& p, TShellIcon icon) {
  switch (icon) {
    case siDocument:
      p.Framed(3, 1, 13, 15, kFrame, kPaper);
      for (int32_t y : {4, 6, 8, 10, 12}) p.Fill(5, y, 11, y + 1, kLines);
      break;
    case siFolder:
      p.Framed(1, 3, 7, 6, 0xFFA07810, 0xFFF0C850);  // the tab
      p.Framed(1, 5, 15, 14, 0xFFA07810, 0xFFF8D870);
      break;
    case siPicture:
      p.Framed(3, 1, 13, 15, kFrame, kPaper);
      p.Fill(4, 3, 12, 9, 0xFF80C0F0);   // sky
      p.Fill(4, 9, 12, 13, 0xFF40A040);  // land
      p.Fill(9, 4, 11, 6, 0xFFF0E040);   // sun
      break;
    default: break;
  }
}

std::unique_ptr<TImageList> MakeList(int32_t size) {
  auto list = std::make_unique<TImageList>(nullptr);
  list->SetWidth(size);
  list->SetHeight(size);
  for (int32_t i = 0; i < siShellIconCount; ++i) {
    IconPainter painter(size);
    PaintIcon(painter, static_cast<TShellIcon>(i));
    TBitmap bitmap;
    painter.To(&bitmap);
    list->Add(&bitmap);
  }
  return list;
}

bool IsPictureName(const std::string& path) {
  static const std::array<const char*, 9> kPictures = {".BMP", ".GIF", ".JPG", ".JPEG", ".PNG",
                                                       ".TIF", ".TIFF", ".ICO", ".PCX"};
  const std::string ext = UpperCase(ExtractFileExt(path));
  return std::find_if(kPictures.begin(), kPictures.end(), [&](const char* e) { return ext == e; }) !=
         kPictures.end();
}

}  // namespace

TCustomImageList* ShellImageList(bool large) {
  static std::unique_ptr<TImageList> small = MakeList(16), big = MakeList(32);
  return large ? big.get() : small.get();
}

int32_t ShellIconIndex(const std::string& text) {
  if (text.empty()) return 0;
  int32_t n = 0;
  if (TryStrToInt(text, n)) return n;
  SHFILEINFOA info;
  bool folder = text.back() == '/';
  if (!folder && SHGetFileInfoA(text, 0, &info, SHGFI_ATTRIBUTES))
    folder = (info.dwAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (folder) return siFolder;
  return IsPictureName(text) ? siPicture : siDocument;
}
