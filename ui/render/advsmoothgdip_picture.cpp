// The header size readers and TAdvGDIPPicture.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <typeinfo>

#include "platform/forms/properties.h"
#include "platform/rtl/files.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"
#include "ui/render/advsmoothgdip.h"

namespace AdvSmoothGDIP {

namespace {

uint16_t Be16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }
uint32_t Be32(const uint8_t* p) { return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3]; }
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) { return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24); }

bool Found(TImageSize& out, int64_t width, int64_t height) {
  if (width <= 0 || height <= 0 || width > INT32_MAX || height > INT32_MAX) return false;
  out.width = static_cast<int32_t>(width);
  out.height = static_cast<int32_t>(height);
  return true;
}

bool IsStartOfFrame(uint8_t marker) {
  // Every SOF marker: C0-C3, C5-C7, C9-CB, CD-CF (C4, C8 and CC are other segments).
  return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

}  // namespace

bool GetJPEGSize(const uint8_t* d, size_t size, TImageSize& out) {
  out = {};
  if (size < 4 || d[0] != 0xFF || d[1] != 0xD8) return false;
  size_t pos = 2;
  while (pos + 1 < size) {
    if (d[pos] != 0xFF) return false;
    uint8_t marker = d[pos + 1];
    pos += 2;
    if (marker == 0xFF) {  // fill byte: the marker follows
      --pos;
      continue;
    }
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;
    if (marker == 0xD9 || marker == 0xDA) return false;  // end of image or scan before any frame
    if (size - pos < 2) return false;
    uint16_t length = Be16(d + pos);
    if (length < 2 || size - pos < length) return false;
    if (IsStartOfFrame(marker)) return length >= 7 && Found(out, Be16(d + pos + 5), Be16(d + pos + 3));
    pos += length;
  }
  return false;
}

bool GetPNGSize(const uint8_t* d, size_t size, TImageSize& out) {
  static const uint8_t kSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
  out = {};
  if (size < 24 || std::memcmp(d, kSignature, 8) != 0) return false;
  return Found(out, Be32(d + 16), Be32(d + 20));
}

bool GetGIFSize(const uint8_t* d, size_t size, TImageSize& out) {
  out = {};
  if (size < 13 || std::memcmp(d, "GIF", 3) != 0) return false;
  size_t pos = 13;
  if (d[10] & 0x80) pos += 3u * (1u << ((d[10] & 7) + 1));
  // Walk the blocks: extensions are skipped by their sub-block chains.
  while (pos < size) {
    uint8_t block = d[pos];
    if (block == 0x2C) {
      if (size - pos < 10) return false;
      return Found(out, Le16(d + pos + 5), Le16(d + pos + 7));
    }
    if (block != 0x21 || size - pos < 2) return false;
    pos += 2;
    while (pos < size && d[pos] != 0) pos += size_t{d[pos]} + 1;
    ++pos;  // the terminator
  }
  return false;
}

bool GetBMPSize(const uint8_t* d, size_t size, TImageSize& out) {
  out = {};
  if (size < 26 || d[0] != 'B' || d[1] != 'M') return false;
  uint32_t headerSize = Le32(d + 14);
  if (headerSize == 12) return Found(out, Le16(d + 18), Le16(d + 20));  // OS/2 core header
  int32_t width = static_cast<int32_t>(Le32(d + 18));
  int32_t height = static_cast<int32_t>(Le32(d + 22));
  return Found(out, width, std::llabs(int64_t{height}));  // negative: rows top-down
}

bool GetTIFFSize(const uint8_t* d, size_t size, TImageSize& out) {
  out = {};
  if (size < 8) return false;
  bool little = d[0] == 'I' && d[1] == 'I';
  if (!little && !(d[0] == 'M' && d[1] == 'M')) return false;
  auto u16 = [&](size_t at) { return little ? Le16(d + at) : Be16(d + at); };
  auto u32 = [&](size_t at) { return little ? Le32(d + at) : Be32(d + at); };
  uint64_t ifd = u32(4);
  if (ifd + 2 > size) return false;
  uint32_t count = u16(static_cast<size_t>(ifd));
  int64_t width = -1, height = -1;
  for (uint32_t i = 0; i < count && (width < 0 || height < 0); ++i) {
    uint64_t entry = ifd + 2 + uint64_t{i} * 12;
    if (entry + 12 > size) break;
    size_t e = static_cast<size_t>(entry);
    uint16_t tag = u16(e), type = u16(e + 2);
    // A SHORT value sits in the first two bytes of the field in either order.
    int64_t value = type == 3 ? u16(e + 8) : u32(e + 8);
    if (tag == 256) width = value;
    if (tag == 257) height = value;
  }
  return Found(out, width, height);
}

std::unique_ptr<TGPImage> DecodeGPImage(const std::vector<uint8_t>& bytes) {
  ComPtr<IStream> stream = TEncodedGraphic::StreamOverCopy(bytes);
  return std::unique_ptr<TGPImage>(new TGPImage(stream.Get()));
}

// ---- pictures ----

bool TGPPictureBase::ReadImageSize() {
  if (!HasData()) return false;
  std::unique_ptr<TGPImage> image = DecodeGPImage(data_);
  SetSize(static_cast<int32_t>(image->GetWidth()), static_cast<int32_t>(image->GetHeight()));
  return true;
}

void TGPPictureBase::LoadFromFile(const std::string& fileName) {
  try {
    TakeFile(fileName);
    empty_ = false;
    if (OnClear) OnClear(this);
    SizeFromFile(fileName);
    Changed();
  } catch (const std::exception&) {
    empty_ = true;
  }
}

void TGPPictureBase::Assign(const TPersistent* source) {
  empty_ = true;
  if (!source) {
    data_.clear();
    Changed();
    if (OnClear) OnClear(this);
    return;
  }
  if (typeid(*source) == typeid(*this)) {
    data_ = static_cast<const TGPPictureBase*>(source)->data_;
    empty_ = data_.empty();
    Changed();
  } else {
    TakeFrameworkGraphic(source, TakesIcons());
  }
  ReadImageSize();
}

void TGPPictureBase::Draw(TCanvas* canvas, const RECT& r) {
  if (!HasData()) return;
  std::unique_ptr<TGPImage> image = DecodeGPImage(data_);
  if (image->GetFormat() == ifBMP) {
    DrawAsTransparentBitmap(canvas, r.left, r.top);
    return;
  }
  std::unique_ptr<TGPGraphics> graphics(new TGPGraphics(canvas->Handle()));
  SetSize(static_cast<int32_t>(image->GetWidth()), static_cast<int32_t>(image->GetHeight()));
  graphics->DrawImageRect(image.get(), r.left, r.top, r.right - r.left, r.bottom - r.top);
}

const TClassInfo& TAdvGDIPPicture::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TAdvGDIPPicture>(
      "TAdvGDIPPicture", &TGraphic::StaticClassInfo(),
      [](TPublished<TAdvGDIPPicture>& p) { p.Event<TNotifyEvent>("OnClear", &TAdvGDIPPicture::OnClear); });
  return info;
}

void TAdvGDIPPicture::ReadImageFileSize(const std::string& fileName) {
  if (!HasData()) return;
  std::string ext = UpperCase(ExtractFileExt(fileName));
  bool (*reader)(const uint8_t*, size_t, TImageSize&) = nullptr;
  if (ext == ".JPG" || ext == ".JPEG") reader = GetJPEGSize;
  else if (ext == ".PNG") reader = GetPNGSize;
  else if (ext == ".BMP") reader = GetBMPSize;
  else if (ext == ".TIFF") reader = GetTIFFSize;
  else if (ext == ".GIF") reader = GetGIFSize;
  TImageSize found;
  if (reader) reader(data_.data(), data_.size(), found);
  SetSize(found.width, found.height);
}

void TAdvGDIPPicture::LoadFromStream(TStream& stream) {
  if (stream.Size() == 0) return;
  TakeStream(stream);
  empty_ = false;
  ReadImageSize();
  Changed();
}

void TAdvGDIPPicture::ReadData(TStream* stream) {
  if (!stream || stream->Size() == 0) return;
  TakeStream(*stream);
  empty_ = false;
  ReadImageSize();
}

void TAdvGDIPPicture::DrawOnGraphics(TGPGraphics* graphics, const RECT& r) {
  if (!HasData()) return;
  std::unique_ptr<TGPImage> image = DecodeGPImage(data_);
  SetSize(static_cast<int32_t>(image->GetWidth()), static_cast<int32_t>(image->GetHeight()));
  if (image->GetFormat() == ifBMP && Transparent()) {
    ARGB key = GDIPMakeColor(255, transparentColor_);
    if (transparentMode_ == tmAuto) {
      ComPtr<IStream> stream = StreamOverCopy(data_);
      TGPBitmap bitmap(stream.Get());
      bitmap.GetPixel(0, Height() - 1, key);
    }
    std::unique_ptr<TGPImageAttributes> attributes(new TGPImageAttributes());
    attributes->SetColorKey(key, key, ColorAdjustTypeDefault);
    float w = static_cast<float>(Width()), h = static_cast<float>(Height());
    graphics->DrawImage(image.get(), GpRectF{static_cast<float>(r.left), static_cast<float>(r.top), w, h}, 0, 0, w, h,
                        UnitPixel, attributes.get());
    return;
  }
  graphics->DrawImageRect(image.get(), r.left, r.top, r.right - r.left, r.bottom - r.top);
}

}  // namespace AdvSmoothGDIP
