// TIEBitmap in location ieTBitmap: the pixels held by a framework bitmap,
// reached through a table of its row addresses.
#include <algorithm>
#include <cstring>
#include <exception>
#include <vector>

#include "imaging/core/davovevo.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "platform/forms/graphics.h"

namespace {

struct TFrameworkFormat {
  bool allowed;
  TPixelFormat format;
};

// The framework pixel format that holds each of ours.
constexpr TFrameworkFormat kFrameworkFormats[] = {
    {false, pfDevice},  // ieNoFormat
    {true, pf1bit},     // ie1g
    {true, pf8bit},     // ie8p
    {true, pf8bit},     // ie8g
    {true, pf8bit},     // ie16Gray, held as ie8g
    {true, pf24bit},    // ie24RGB
    {false, pfDevice},  // ie32f
    {false, pfDevice},  // ieCMYK
    {false, pfDevice},  // ieRGB48
    {false, pfDevice},  // ieCIELab
    {true, pf32bit},    // ie32RGBA
};

const char* FormatName(TIEPixelFormat format) {
  switch (format) {
    case ie32f:
      return "ie32f";
    case ieCMYK:
      return "ieCMYK";
    case ieRGB48:
      return "ieRGB48";
    case ieCIELab:
      return "ieCIELab";
    default:
      return "ieNoFormat";
  }
}

TPixelFormat FrameworkFormat(TIEPixelFormat format) {
  if (format > ie32RGBA || !kFrameworkFormats[format].allowed)
    throw EIEException(std::string(FormatName(format)) +
                       " pixel format not allowed when Location=ieTBitmap Please set TImageryView.LegacyBitmap=false.");
  return kFrameworkFormats[format].format;
}

// The framework bitmap's colour table, 256 entries (zero beyond what it holds).
std::vector<PALETTEENTRY> ColorTable(TBitmap* bitmap) {
  std::vector<PALETTEENTRY> entries(256);
  if (HPALETTE palette = bitmap->Palette()) GetPaletteEntries(palette, 0, 256, entries.data());
  return entries;
}

bool IsGrayRamp(TBitmap* bitmap) {
  const auto entries = ColorTable(bitmap);
  for (int i = 0; i < 256; ++i)
    if (entries[i].peRed != i || entries[i].peGreen != i || entries[i].peBlue != i) return false;
  return true;
}

// Sets the colour table of a palette-format framework bitmap.
void SetColorTable(TBitmap* bitmap, const std::vector<PALETTEENTRY>& entries) {
  std::vector<uint8_t> buffer(sizeof(LOGPALETTE) + entries.size() * sizeof(PALETTEENTRY));
  auto* logical = reinterpret_cast<LOGPALETTE*>(buffer.data());
  logical->palVersion = 0x300;
  logical->palNumEntries = static_cast<WORD>(entries.size());
  std::copy(entries.begin(), entries.end(), logical->palPalEntry);
  HPALETTE palette = CreatePalette(logical);
  bitmap->SetPalette(palette);
  DeleteObject(palette);
}

}  // namespace

bool IEIsGrayPalette(TBitmap* bitmap) { return bitmap && IsGrayRamp(bitmap); }

void IESetGrayPalette(TBitmap* bitmap) {
  std::vector<PALETTEENTRY> ramp(256);
  for (int i = 0; i < 256; ++i) ramp[i] = PALETTEENTRY{BYTE(i), BYTE(i), BYTE(i), 0};
  SetColorTable(bitmap, ramp);
  SetStretchBltMode(bitmap->Canvas()->Handle(), COLORONCOLOR);
}

// ---- storage ------------------------------------------------------------------------------

bool TIEBitmap::AllocateTBitmap(int64_t size) {
  const uint64_t physical = IEGetPhysicalMemory(false);
  if (physical && static_cast<uint64_t>(size) > physical) return false;
  try {
    if (!tbitmap_) tbitmap_ = new TBitmap();
    return ShapeTBitmap(true);
  } catch (const std::exception&) {
    return false;
  }
}

// Gives the framework bitmap this bitmap's format and size; raises for the
// formats it cannot hold.
bool TIEBitmap::ShapeTBitmap(bool resetToDevice) {
  tbitmap_->SetSize(1, 1);
  if (resetToDevice) tbitmap_->SetPixelFormat(pfDevice);
  tbitmap_->SetPixelFormat(FrameworkFormat(pixelFormat_));
  if (pixelFormat_ == ie16Gray) {
    pixelFormat_ = ie8g;
    if (!SetGeometry()) return false;
  }
  tbitmap_->SetSize(width_, height_);
  if (pixelFormat_ == ie8g) IESetGrayPalette(tbitmap_);
  BuildRowTable();
  return true;
}

void TIEBitmap::BuildRowTable() {
  rowTable_.assign(static_cast<size_t>(std::max(height_, 0)), nullptr);
  if (!tbitmap_ || tbitmap_->Height() < height_) return;
  for (int32_t y = 0; y < height_; ++y) rowTable_[y] = static_cast<uint8_t*>(tbitmap_->ScanLine(y));
}

// The framework bitmap keeps its pixels when resized; the new size is read back.
void TIEBitmap::ResizeTBitmap(int32_t value, bool width) {
  try {
    if (width)
      tbitmap_->SetWidth(value);
    else
      tbitmap_->SetHeight(value);
  } catch (const std::exception&) {
    return;  // too large for a framework bitmap: the size stays
  }
  SyncWithTBitmap();
  allFull_ = 0;
}

void TIEBitmap::FreeTBitmap() {
  if (!tbitmapAttached_) delete tbitmap_;
  tbitmap_ = nullptr;
  tbitmapAttached_ = 0;
  rowTable_.clear();
}

void TIEBitmap::SyncWithTBitmap() {
  if (IsVirtual() || !tbitmap_) return;
  TIEPixelFormat format = ie24RGB;
  switch (tbitmap_->PixelFormat()) {
    case pf1bit:
      format = ie1g;
      break;
    case pf8bit:
      format = isAlphaChannel_ || IsGrayRamp(tbitmap_) ? ie8g : ie8p;
      break;
    case pf32bit:
      format = ie32RGBA;
      break;
    default:
      break;
  }
  const int32_t width = tbitmap_->Width(), height = tbitmap_->Height();
  if (width != width_ || height != height_ || format != pixelFormat_) {
    width_ = width;
    height_ = height;
    pixelFormat_ = format;
    SetGeometry();
    if (alphaChannel_ && (alphaChannel_->width_ != width || alphaChannel_->height_ != height))
      alphaChannel_->Allocate(width, height, ie8g);
    BuildRowTable();
  } else if (height_ > 0 && (rowTable_.empty() || rowTable_[0] != tbitmap_->ScanLine(0))) {
    BuildRowTable();
  }
  if (pixelFormat_ == ie8p) {
    if (!palette_) {
      palette_ = std::make_unique<TRGB[]>(256);
      paletteLength_ = 256;
    }
    const auto entries = ColorTable(tbitmap_);
    for (int32_t i = 0; i < paletteLength_; ++i)
      palette_[i] = TRGB{entries[i].peBlue, entries[i].peGreen, entries[i].peRed};
  }
}

// ---- palette ------------------------------------------------------------------------------------

void TIEBitmap::UpdateTBitmapPalette() {
  if (location_ != ieTBitmap || paletteLength_ < 1 || !tbitmap_ || !palette_) return;
  std::vector<PALETTEENTRY> entries(static_cast<size_t>(std::min(paletteLength_, 256)));
  for (size_t i = 0; i < entries.size(); ++i)
    entries[i] = PALETTEENTRY{palette_[i].r, palette_[i].g, palette_[i].b, 0};
  SetColorTable(tbitmap_, entries);
}

void TIEBitmap::CopyPaletteFromTBitmap(TBitmap* bitmap, int32_t count) {
  if (!bitmap) return;
  if (!palette_) {
    palette_ = std::make_unique<TRGB[]>(256);
    paletteLength_ = 256;
  }
  const auto entries = ColorTable(bitmap);
  count = std::clamp(count, 0, paletteLength_);
  for (int32_t i = 0; i < count; ++i) palette_[i] = TRGB{entries[i].peBlue, entries[i].peGreen, entries[i].peRed};
}

// ---- canvas access --------------------------------------------------------------------------------

TBitmap* TIEBitmap::GetTBitmap() {
  SetLocation(ieTBitmap);
  SetupTBitmapTransform();
  return location_ == ieTBitmap ? tbitmap_ : nullptr;
}

TCanvas* TIEBitmap::GetTBitmapCanvas() {
  if (location_ == ieInMemory || location_ == ieTempFile) SetLocation(ieTBitmap);
  SetupTBitmapTransform();
  return location_ == ieTBitmap && tbitmap_ ? tbitmap_->Canvas() : nullptr;
}

void TIEBitmap::SetupTBitmapTransform() {
  if (location_ != ieTBitmap || !tbitmap_) return;
  HDC dc = tbitmap_->Canvas()->Handle();
  if (rowFlip_) {
    SetGraphicsMode(dc, GM_ADVANCED);
    const XFORM flip{1, 0, 0, -1, 0, static_cast<float>(height_ - 1)};
    SetWorldTransform(dc, &flip);
  } else if (GetGraphicsMode(dc) == GM_ADVANCED) {
    ModifyWorldTransform(dc, nullptr, MWT_IDENTITY);
  }
}

void TIEBitmap::AttachTBitmap(TBitmap* bitmap, bool freeFirst) {
  if (freeFirst) FreeImage(true);
  if (!bitmap) return;
  if (bitmap == tbitmap_ && bitmap->Width() == width_ && bitmap->Height() == height_ &&
      IEPixelFormatFromVCL(bitmap->PixelFormat()) == pixelFormat_)
    return;
  // Whatever held the pixels before is released.
  if (bitmap != tbitmap_) FreeTBitmap();
  ReleaseStorage();
  width_ = bitmap->Width();
  height_ = bitmap->Height();
  switch (bitmap->PixelFormat()) {
    case pf1bit:
      pixelFormat_ = ie1g;
      break;
    case pf8bit:
      pixelFormat_ = ie8p;
      CopyPaletteFromTBitmap(bitmap, 256);
      break;
    case pf24bit:
      pixelFormat_ = ie24RGB;
      break;
    case pf32bit:
      pixelFormat_ = ie32RGBA;
      break;
    default:
      break;
  }
  if (!SetGeometry()) width_ = height_ = 0;
  location_ = ieTBitmap;
  tbitmap_ = bitmap;
  tbitmapAttached_ = 1;
  BuildRowTable();
}

// ---- copies into a framework bitmap ------------------------------------------------------------------

// Takes the source's geometry into the framework bitmap; a format the
// framework bitmap cannot hold as it is leaves this bitmap empty.
void TIEBitmap::AssignToTBitmap(TIEBitmap& source, bool resetToDevice) {
  width_ = source.width_;
  height_ = source.height_;
  pixelFormat_ = source.pixelFormat_;
  bool ok = pixelFormat_ != ie16Gray && SetGeometry();
  if (ok) {
    try {
      if (!tbitmap_) tbitmap_ = new TBitmap();
      ok = ShapeTBitmap(resetToDevice);
    } catch (const std::exception&) {
      ok = false;
    }
  }
  if (!ok) {
    width_ = height_ = 0;
    rowLength_ = 0;
    rowTable_.clear();
  }
}
