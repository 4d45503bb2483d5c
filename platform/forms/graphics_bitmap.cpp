// Graphics drawn on a canvas: the bitmap, the icon and the picture.
//
// Sections: TGraphic | TBitmap storage | TBitmap files | TIcon | TMetafile | TPicture
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/forms/graphics.h"
#include "platform/rtl/files.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"
#include "platform/win/metafile.h"
#include "platform/win/picturedecode.h"

namespace {

// Pictures larger than this are refused before they are read.
constexpr int64_t kMaxPictureFileBytes = int64_t{256} << 20;

std::vector<uint8_t> ReadRest(TStream& stream) {
  const int64_t size = stream.Size() - stream.Position();
  if (size < 0 || size > kMaxPictureFileBytes) throw EInvalidGraphic("Picture file too large");
  std::vector<uint8_t> data(static_cast<size_t>(size));
  if (size > 0) stream.ReadBuffer(data.data(), static_cast<int32_t>(size));
  return data;
}

template <class T>
void Put(std::vector<uint8_t>& out, T value) {
  const auto* p = reinterpret_cast<const uint8_t*>(&value);
  out.insert(out.end(), p, p + sizeof(T));
}

int BitCount(TPixelFormat format) {
  static const int kBits[] = {32, 1, 4, 8, 16, 16, 24, 32, 32};
  return kBits[format];
}

// The default colour table of a palette format: black and white, the 16
// standard colours, or a 6x6x6 cube followed by greys.
std::vector<RGBQUAD> DefaultColorTable(TPixelFormat format) {
  std::vector<RGBQUAD> table;
  auto add = [&](int r, int g, int b) {
    table.push_back(RGBQUAD{static_cast<BYTE>(b), static_cast<BYTE>(g), static_cast<BYTE>(r), 0});
  };
  if (format == pf1bit) {
    add(0, 0, 0);
    add(255, 255, 255);
  } else if (format == pf4bit) {
    static const TColor kStandard[] = {clBlack, clMaroon, clGreen,  clOlive, clNavy, clPurple, clTeal,   clGray,
                                       clSilver, clRed,   clLime, clYellow, clBlue, clFuchsia, clAqua, clWhite};
    for (TColor c : kStandard) add(GetRValue(c), GetGValue(c), GetBValue(c));
  } else if (format == pf8bit) {
    for (int r = 0; r < 6; ++r)
      for (int g = 0; g < 6; ++g)
        for (int b = 0; b < 6; ++b) add(r * 51, g * 51, b * 51);
    while (table.size() < 256) {
      const int v = static_cast<int>((table.size() - 216) * 255 / 39);
      add(v, v, v);
    }
  }
  return table;
}

// A BITMAPINFO with room for a colour table or bit-field masks.
struct InfoBuffer {
  alignas(BITMAPINFO) uint8_t bytes[sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD)] = {};
  BITMAPINFO* Info() { return reinterpret_cast<BITMAPINFO*>(bytes); }
};

void FillInfo(InfoBuffer& buffer, int32_t width, int32_t height, TPixelFormat format,
              const std::vector<RGBQUAD>& colors) {
  BITMAPINFOHEADER& h = buffer.Info()->bmiHeader;
  h = BITMAPINFOHEADER();
  h.biWidth = width;
  h.biHeight = height;  // bottom-up
  h.biBitCount = static_cast<WORD>(BitCount(format));
  h.biCompression = format == pf16bit ? BI_BITFIELDS : BI_RGB;
  if (format == pf16bit) {
    const DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
    std::memcpy(buffer.bytes + sizeof(BITMAPINFOHEADER), masks, sizeof masks);
  } else if (!colors.empty()) {
    h.biClrUsed = static_cast<DWORD>(colors.size());
    std::memcpy(buffer.bytes + sizeof(BITMAPINFOHEADER), colors.data(), colors.size() * sizeof(RGBQUAD));
  }
}

}  // namespace

// ---- TGraphic ----

const TClassInfo& TGraphic::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TGraphic>("TGraphic", &TPersistent::StaticClassInfo());
  return info;
}

void TGraphic::LoadFromFile(const std::string& fileName) {
  TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(stream);
}

void TGraphic::SaveToFile(const std::string& fileName) {
  TFileStream stream(fileName, fmCreate);
  SaveToStream(stream);
}

void TGraphic::SetTransparent(bool transparent) {
  if (transparent == transparent_) return;
  transparent_ = transparent;
  Changed();
}

void TGraphic::Changed() {
  modified_ = true;
  if (OnChange) OnChange(this);
}

// ---- TBitmap storage ----

const TClassInfo& TBitmap::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TBitmap>("TBitmap", &TGraphic::StaticClassInfo());
  return info;
}

TBitmap::TBitmap() = default;

TBitmap::~TBitmap() {
  canvas_.reset();
  if (dc_) {
    SelectObject(dc_, oldBitmap_);
    DeleteDC(dc_);
  }
  if (bitmap_) DeleteObject(bitmap_);
  if (palette_) DeleteObject(palette_);
}

HDC TBitmap::MemoryDC() {
  if (!dc_) {
    dc_ = CreateCompatibleDC(nullptr);
    oldBitmap_ = bitmap_ ? SelectObject(dc_, bitmap_) : nullptr;
  }
  return dc_;
}

void TBitmap::Rebuild(int32_t width, int32_t height, TPixelFormat format) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (int64_t{width} * height > kMaxPicturePixels)
    throw EOutOfMemory(Format("Bitmap of %d x %d pixels is too large", {width, height}));
  HDC dc = MemoryDC();
  std::vector<RGBQUAD> colors = DefaultColorTable(format);
  if (bitmap_ && format == pixelFormat_ && !colors.empty())
    colors.resize(GetDIBColorTable(dc, 0, static_cast<UINT>(colors.size()), colors.data()));

  HBITMAP fresh = nullptr;
  void* bits = nullptr;
  if (width > 0 && height > 0) {
    InfoBuffer info;
    FillInfo(info, width, height, format, colors);
    fresh = CreateDIBSection(nullptr, info.Info(), DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!fresh) throw EOutOfMemory("Out of system resources");
    HDC temp = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(temp, fresh);
    PatBlt(temp, 0, 0, width, height, WHITENESS);
    if (bitmap_) BitBlt(temp, 0, 0, std::min(width, width_), std::min(height, height_), dc, 0, 0, SRCCOPY);
    SelectObject(temp, old);
    DeleteDC(temp);
  }
  SelectObject(dc, fresh ? static_cast<HGDIOBJ>(fresh) : oldBitmap_);
  if (bitmap_) DeleteObject(bitmap_);
  if (palette_) DeleteObject(palette_);
  palette_ = nullptr;
  bitmap_ = fresh;
  bits_ = static_cast<uint8_t*>(bits);
  width_ = fresh ? width : 0;
  height_ = fresh ? height : 0;
  stride_ = ((width_ * BitCount(format) + 31) / 32) * 4;
  pixelFormat_ = format;
  Changed();
}

void TBitmap::SetSize(int32_t width, int32_t height) {
  if (width == width_ && height == height_) return;
  Rebuild(width, height, pixelFormat_);
}

void TBitmap::SetPixelFormat(TPixelFormat format) {
  if (format == pfCustom) throw EInvalidGraphic("Invalid pixel format");
  if (format == pixelFormat_) return;
  Rebuild(width_, height_, format);
}

void* TBitmap::ScanLine(int32_t row) {
  if (row < 0 || row >= height_ || !bits_) throw EInvalidGraphicOperation("Scan line index out of range");
  return bits_ + static_cast<size_t>(height_ - 1 - row) * static_cast<size_t>(stride_);
}

HBITMAP TBitmap::Handle() { return bitmap_; }

HPALETTE TBitmap::Palette() {
  if (palette_ || !bitmap_ || BitCount(pixelFormat_) > 8) return palette_;
  RGBQUAD colors[256];
  const UINT count = GetDIBColorTable(MemoryDC(), 0, 256, colors);
  std::vector<uint8_t> buffer(sizeof(LOGPALETTE) + 256 * sizeof(PALETTEENTRY));
  auto* lp = reinterpret_cast<LOGPALETTE*>(buffer.data());
  lp->palVersion = 0x300;
  lp->palNumEntries = static_cast<WORD>(count);
  for (UINT i = 0; i < count; ++i)
    lp->palPalEntry[i] = PALETTEENTRY{colors[i].rgbRed, colors[i].rgbGreen, colors[i].rgbBlue, 0};
  palette_ = CreatePalette(lp);
  return palette_;
}

void TBitmap::SetPalette(HPALETTE palette) {
  if (!palette || !bitmap_ || BitCount(pixelFormat_) > 8) return;
  PALETTEENTRY entries[256];
  const UINT count = GetPaletteEntries(palette, 0, 256, entries);
  RGBQUAD colors[256];
  for (UINT i = 0; i < count; ++i) colors[i] = RGBQUAD{entries[i].peBlue, entries[i].peGreen, entries[i].peRed, 0};
  SetDIBColorTable(MemoryDC(), 0, count, colors);
  if (palette_) DeleteObject(palette_);
  palette_ = nullptr;
  Changed();
}

// The bitmap's canvas draws straight into its pixels.
TCanvas* TBitmap::Canvas() {
  if (!canvas_) {
    canvas_ = std::make_unique<TCanvas>();
    canvas_->SetHandle(MemoryDC());
    canvas_->OnChange = [this](TObject*) { Changed(); };
  }
  return canvas_.get();
}

TColor TBitmap::TransparentColor() {
  if (transparentMode_ == tmFixed && transparentColor_ != clDefault) return transparentColor_;
  if (Empty()) return clDefault;
  return static_cast<TColor>(GetPixel(MemoryDC(), 0, height_ - 1));
}

void TBitmap::SetTransparentColor(TColor color) {
  transparentColor_ = color;
  transparentMode_ = color == clDefault ? tmAuto : tmFixed;
  Changed();
}

void TBitmap::Draw(TCanvas* canvas, const RECT& r) {
  if (Empty()) return;
  HDC dest = canvas->Handle();
  const int w = r.right - r.left, h = r.bottom - r.top;
  if (Transparent()) {
    TransparentBlt(dest, r.left, r.top, w, h, MemoryDC(), 0, 0, width_, height_, ColorToRGB(TransparentColor()));
    return;
  }
  SetStretchBltMode(dest, w < width_ || h < height_ ? HALFTONE : COLORONCOLOR);
  StretchBlt(dest, r.left, r.top, w, h, MemoryDC(), 0, 0, width_, height_, canvas->CopyMode());
}

void TBitmap::SetPixels32(int32_t width, int32_t height, const uint32_t* pixels) {
  if (bitmap_) Rebuild(0, 0, pixelFormat_);
  Rebuild(width, height, pf32bit);
  for (int32_t y = 0; y < height_; ++y)
    std::memcpy(ScanLine(y), pixels + static_cast<size_t>(y) * static_cast<size_t>(width), size_t(width) * 4);
  Changed();
}

void TBitmap::Assign(const TPersistent* source) {
  if (!source) {
    Rebuild(0, 0, pixelFormat_);
    return;
  }
  if (const auto* other = dynamic_cast<const TBitmap*>(source)) {
    if (other == this) return;
    auto* src = const_cast<TBitmap*>(other);
    Rebuild(0, 0, other->pixelFormat_);
    Rebuild(other->width_, other->height_, other->pixelFormat_);
    if (bitmap_) {
      RGBQUAD colors[256];
      const UINT count = GetDIBColorTable(src->MemoryDC(), 0, 256, colors);
      if (count) SetDIBColorTable(MemoryDC(), 0, count, colors);
      std::memcpy(bits_, src->bits_, static_cast<size_t>(stride_) * static_cast<size_t>(height_));
    }
    handleType_ = other->handleType_;
    transparentMode_ = other->transparentMode_;
    transparentColor_ = other->transparentColor_;
    SetTransparent(other->Transparent());
    Changed();
    return;
  }
  if (auto* graphic = dynamic_cast<const TGraphic*>(source)) {
    auto* g = const_cast<TGraphic*>(graphic);
    Rebuild(0, 0, pf32bit);
    Rebuild(g->Width(), g->Height(), pf32bit);
    if (!Empty()) g->Draw(Canvas(), RECT{0, 0, width_, height_});
    Changed();
    return;
  }
  TGraphic::Assign(source);
}

// ---- TBitmap files ----

void TBitmap::LoadFromStream(TStream& stream) {
  const std::vector<uint8_t> data = ReadRest(stream);
  DecodedPicture picture;
  if (!DecodePicture(data.data(), data.size(), picture)) throw EInvalidGraphic("Bitmap image is not valid");
  SetPixels32(picture.width, picture.height, picture.pixels.data());
  if (!picture.hasAlpha) SetPixelFormat(pf24bit);
}

void TBitmap::SaveToStream(TStream& stream) {
  InfoBuffer info;
  std::vector<RGBQUAD> colors(BitCount(pixelFormat_) <= 8 ? size_t{1} << BitCount(pixelFormat_) : 0);
  if (!colors.empty() && bitmap_)
    colors.resize(GetDIBColorTable(MemoryDC(), 0, static_cast<UINT>(colors.size()), colors.data()));
  FillInfo(info, width_, height_, pixelFormat_, colors);
  BITMAPINFOHEADER header = info.Info()->bmiHeader;
  const size_t tableBytes = pixelFormat_ == pf16bit ? 12 : colors.size() * sizeof(RGBQUAD);
  const size_t imageBytes = static_cast<size_t>(stride_) * static_cast<size_t>(height_);
  header.biSizeImage = static_cast<DWORD>(imageBytes);
  const uint32_t offset = static_cast<uint32_t>(14 + sizeof(BITMAPINFOHEADER) + tableBytes);
  std::vector<uint8_t> out;
  Put<uint16_t>(out, 0x4D42);
  Put<uint32_t>(out, static_cast<uint32_t>(offset + imageBytes));
  Put<uint32_t>(out, 0);
  Put<uint32_t>(out, offset);
  Put(out, header);
  const uint8_t* table = info.bytes + sizeof(BITMAPINFOHEADER);
  out.insert(out.end(), table, table + tableBytes);
  if (bits_) out.insert(out.end(), bits_, bits_ + imageBytes);
  stream.WriteBuffer(out.data(), static_cast<int32_t>(out.size()));
}

// ---- TIcon ----

const TClassInfo& TIcon::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TIcon>("TIcon", &TGraphic::StaticClassInfo());
  return info;
}

TIcon::TIcon() : bitmap_(std::make_unique<TBitmap>()) {}

void TIcon::Draw(TCanvas* canvas, const RECT& r) {
  if (Empty()) return;
  BLENDFUNCTION blend;
  blend.AlphaFormat = AC_SRC_ALPHA;
  AlphaBlend(canvas->Handle(), r.left, r.top, r.right - r.left, r.bottom - r.top, bitmap_->Canvas()->Handle(), 0, 0,
             Width(), Height(), blend);
}

void TIcon::LoadFromStream(TStream& stream) {
  const std::vector<uint8_t> data = ReadRest(stream);
  DecodedIcon icon;
  if (!DecodeIconFile(data.data(), data.size(), kIconFileType, icon)) throw EInvalidGraphic("Icon image is not valid");
  bitmap_->SetPixels32(icon.picture.width, icon.picture.height, icon.picture.pixels.data());
  Changed();
}

void TIcon::SaveToStream(TStream& stream) {
  const int32_t w = Width(), h = Height();
  std::vector<uint8_t> image;
  BITMAPINFOHEADER header;
  header.biWidth = w;
  header.biHeight = h * 2;
  header.biBitCount = 32;
  Put(image, header);
  for (int32_t y = h - 1; y >= 0; --y) {
    const auto* row = static_cast<const uint8_t*>(bitmap_->ScanLine(y));
    image.insert(image.end(), row, row + size_t(w) * 4);
  }
  image.resize(image.size() + ((size_t(w) + 31) / 32) * 4 * size_t(h), 0);
  std::vector<uint8_t> out;
  Put<uint16_t>(out, 0);
  Put<uint16_t>(out, 1);
  Put<uint16_t>(out, 1);
  out.push_back(static_cast<uint8_t>(w >= 256 ? 0 : w));
  out.push_back(static_cast<uint8_t>(h >= 256 ? 0 : h));
  Put<uint16_t>(out, 0);
  Put<uint16_t>(out, 1);
  Put<uint16_t>(out, 32);
  Put<uint32_t>(out, static_cast<uint32_t>(image.size()));
  Put<uint32_t>(out, 22);
  out.insert(out.end(), image.begin(), image.end());
  stream.WriteBuffer(out.data(), static_cast<int32_t>(out.size()));
}

void TIcon::Assign(const TPersistent* source) {
  if (const auto* other = dynamic_cast<const TIcon*>(source)) {
    bitmap_->Assign(other->bitmap_.get());
    Changed();
    return;
  }
  TGraphic::Assign(source);
}

// ---- TMetafile ----

namespace {

uint32_t Le32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t{p[3]} << 24); }

}  // namespace

const TClassInfo& TMetafile::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TMetafile>("TMetafile", &TGraphic::StaticClassInfo());
  return info;
}

void TMetafile::Draw(TCanvas* canvas, const RECT& rect) {
  if (canvas && !data_.empty()) PlayMetafileBits(canvas->Handle(), data_.data(), data_.size(), rect);
}

void TMetafile::LoadFromStream(TStream& stream) {
  std::vector<uint8_t> data = ReadRest(stream);
  auto le32 = [&](size_t at) { return static_cast<int32_t>(Le32(data.data() + at)); };
  auto le16 = [&](size_t at) { return static_cast<int16_t>(data[at] | (data[at + 1] << 8)); };
  int64_t mmW = 0, mmH = 0;  // wide enough for the difference of any two edges
  bool enhanced = false;
  if (data.size() >= 88 && le32(0) == 1 && Le32(data.data() + 40) == 0x464D4520u) {
    // ENHMETAHEADER: the frame in 0.01 mm at offset 24.
    enhanced = true;
    mmW = int64_t{le32(32)} - le32(24);
    mmH = int64_t{le32(36)} - le32(28);
  } else if (data.size() >= 22 + 18 && Le32(data.data()) == 0x9AC6CDD7u) {
    // Placeable header: bounding box and units per inch.
    const int inch = static_cast<uint16_t>(le16(14));
    if (inch == 0) throw EInvalidGraphic("Metafile is not valid");
    mmW = int64_t{le16(10) - le16(6)} * 2540 / inch;
    mmH = int64_t{le16(12) - le16(8)} * 2540 / inch;
  } else if (data.size() >= 18 && (le16(0) == 1 || le16(0) == 2) && le16(2) == 9) {
    // A plain Windows metafile carries no size.
  } else {
    throw EInvalidGraphic("Metafile is not valid");
  }
  if (mmW < 0 || mmH < 0 || mmW > INT32_MAX || mmH > INT32_MAX) throw EInvalidGraphic("Metafile is not valid");
  data_ = std::move(data);
  enhanced_ = enhanced;
  mmWidth_ = static_cast<int32_t>(mmW);
  mmHeight_ = static_cast<int32_t>(mmH);
  width_ = static_cast<int32_t>((mmW * 96 + 1270) / 2540);
  height_ = static_cast<int32_t>((mmH * 96 + 1270) / 2540);
  Changed();
}

void TMetafile::SaveToStream(TStream& stream) {
  if (!data_.empty()) stream.WriteBuffer(data_.data(), static_cast<int32_t>(data_.size()));
}

void TMetafile::Assign(const TPersistent* source) {
  if (const auto* other = dynamic_cast<const TMetafile*>(source)) {
    data_ = other->data_;
    width_ = other->width_;
    height_ = other->height_;
    mmWidth_ = other->mmWidth_;
    mmHeight_ = other->mmHeight_;
    enhanced_ = other->enhanced_;
    Changed();
    return;
  }
  TGraphic::Assign(source);
}

// ---- TPicture ----

const TClassInfo& TPicture::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TPicture>("TPicture", &TPersistent::StaticClassInfo());
  return info;
}

void TPicture::Changed() {
  if (OnChange) OnChange(this);
}

void TPicture::Take(std::unique_ptr<TGraphic> graphic) {
  graphic_ = std::move(graphic);
  if (graphic_) graphic_->OnChange = [this](TObject*) { Changed(); };
  Changed();
}

void TPicture::SetGraphic(TGraphic* graphic) {
  if (!graphic) {
    Take(nullptr);
    return;
  }
  std::unique_ptr<TGraphic> copy = graphic->NewOfSameClass();
  if (!copy) copy = std::make_unique<TBitmap>();
  copy->Assign(graphic);
  Take(std::move(copy));
}

TBitmap* TPicture::Bitmap() {
  if (!dynamic_cast<TBitmap*>(graphic_.get())) Take(std::make_unique<TBitmap>());
  return static_cast<TBitmap*>(graphic_.get());
}

TIcon* TPicture::Icon() {
  if (!dynamic_cast<TIcon*>(graphic_.get())) Take(std::make_unique<TIcon>());
  return static_cast<TIcon*>(graphic_.get());
}

void TPicture::LoadFromFile(const std::string& fileName) {
  const std::string ext = LowerCase(ExtractFileExt(fileName));
  std::unique_ptr<TGraphic> graphic;
  if (ext == ".ico")
    graphic = std::make_unique<TIcon>();
  else if (ext == ".wmf" || ext == ".emf")
    graphic = std::make_unique<TMetafile>();
  else if (ext == ".bmp" || ext == ".png" || ext == ".jpg" || ext == ".jpeg" || ext == ".jpe" || ext == ".gif")
    graphic = std::make_unique<TBitmap>();
  else
    throw EInvalidGraphic(Format("Unknown picture file extension (%s)", {ext}));
  graphic->LoadFromFile(fileName);
  Take(std::move(graphic));
}

void TPicture::SaveToFile(const std::string& fileName) {
  if (graphic_) graphic_->SaveToFile(fileName);
}

void TPicture::Assign(const TPersistent* source) {
  if (!source) {
    Take(nullptr);
  } else if (const auto* picture = dynamic_cast<const TPicture*>(source)) {
    SetGraphic(picture->graphic_.get());
  } else if (auto* graphic = dynamic_cast<const TGraphic*>(source)) {
    SetGraphic(const_cast<TGraphic*>(graphic));
  } else {
    TPersistent::Assign(source);
  }
}
