// ICC colour profiles over the colour system bound by name.
#include "imaging/core/ruduvazez_icc.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <utility>
#include <cstring>
#include <vector>

#include "imaging/core/ruduvazez_bitmap.h"
#include "platform/rtl/dynlib.h"
#include "platform/rtl/encoding.h"

// ---- the colour system -----------------------------------------------------------

namespace {

struct ColorSystem {
  HMODULE module = nullptr;
  decltype(&::OpenColorProfileA) openProfile = nullptr;
  decltype(&::CloseColorProfile) closeProfile = nullptr;
  decltype(&::CreateMultiProfileTransform) createTransform = nullptr;
  decltype(&::DeleteColorTransform) deleteTransform = nullptr;
  decltype(&::TranslateColors) translate = nullptr;
};
ColorSystem colorSystem;

template <class F>
void Bind(F& function, const char* name) {
  function = reinterpret_cast<F>(GetProcAddress(colorSystem.module, name));
}

}  // namespace

bool IELoadColorSystem() {
  if (colorSystem.module) return true;
  HMODULE module = LoadLibrary("mscms.dll");
  if (!module) return false;
  colorSystem.module = module;
  Bind(colorSystem.openProfile, "OpenColorProfileA");
  Bind(colorSystem.closeProfile, "CloseColorProfile");
  Bind(colorSystem.createTransform, "CreateMultiProfileTransform");
  Bind(colorSystem.deleteTransform, "DeleteColorTransform");
  Bind(colorSystem.translate, "TranslateColors");
  if (colorSystem.openProfile && colorSystem.closeProfile && colorSystem.createTransform &&
      colorSystem.deleteTransform && colorSystem.translate)
    return true;
  IEFreeColorSystem();  // a library without the functions is no colour system
  return false;
}

void IEFreeColorSystem() {
  if (colorSystem.module) FreeLibrary(colorSystem.module);
  colorSystem = ColorSystem{};
}

// ---- pixel layouts ---------------------------------------------------------------

namespace {

struct LayoutInfo {
  int32_t bytesPerPixel;
  COLORTYPE colorType;
  const char* colorSpace;  // the profile colour space the layout fits
};
constexpr LayoutInfo kLayouts[] = {
    {3, COLOR_RGB, "RGB "},  {3, COLOR_RGB, "RGB "},         {4, COLOR_CMYK, "CMYK"},
    {6, COLOR_CMYK, "CMYK"}, {3, COLOR_Lab, "Lab "},         {1, COLOR_GRAY, "GRAY"},
    {6, COLOR_RGB, "RGB "},  {6, COLOR_RGB, "RGB "},         {3, COLOR_3_CHANNEL, "YCbr"},
};

const LayoutInfo* Layout(int32_t code) {
  return code >= 0 && code < static_cast<int32_t>(std::size(kLayouts)) ? &kLayouts[code] : nullptr;
}

WORD Widen(uint8_t v) { return static_cast<WORD>(v * 257); }
// A signed byte -128..127 onto the colour system's Lab axis (0x8080 = 0).
WORD WidenSigned(uint8_t v) { return static_cast<WORD>((static_cast<int8_t>(v) + 128) * 257); }

COLOR WidenPixel(int32_t layout, const uint8_t* p) {
  COLOR c{};
  switch (layout) {
    case iepRGB: c.rgb = {Widen(p[0]), Widen(p[1]), Widen(p[2])}; break;
    case iepBGR: c.rgb = {Widen(p[2]), Widen(p[1]), Widen(p[0])}; break;
    case iepCMYKInverted:
      for (int i = 0; i < 4; ++i) c.words[i] = static_cast<WORD>(65535 - Widen(p[i]));
      break;
    case iepCMYK:
      for (int i = 0; i < 4; ++i) c.words[i] = Widen(p[i]);
      break;
    case iepLab: c.Lab = {Widen(p[0]), WidenSigned(p[1]), WidenSigned(p[2])}; break;
    case iepGray: c.gray.gray = Widen(p[0]); break;
    case iepRGB48:
      for (int i = 0; i < 3; ++i) c.words[i] = static_cast<WORD>(p[2 * i] | p[2 * i + 1] << 8);
      break;
    case iepRGB48BigEndian:
      for (int i = 0; i < 3; ++i) c.words[i] = static_cast<WORD>(p[2 * i] << 8 | p[2 * i + 1]);
      break;
    default: c.gen3ch = {Widen(p[0]), Widen(p[1]), Widen(p[2])}; break;
  }
  return c;
}

void StorePixel(int32_t layout, const COLOR& c, uint8_t* p) {
  if (layout == iepBGR) {
    p[0] = static_cast<uint8_t>(c.rgb.blue >> 8);
    p[1] = static_cast<uint8_t>(c.rgb.green >> 8);
    p[2] = static_cast<uint8_t>(c.rgb.red >> 8);
  } else if (layout == iepCMYKInverted) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(255 - (c.words[i] >> 8));
  }
}

// The destination layouts that translated pixels are stored in.
bool IsWrittenLayout(int32_t layout) { return layout == iepBGR || layout == iepCMYKInverted; }

// The layout of a bitmap pixel format, -1 for none.
int32_t FormatLayout(int32_t format) {
  switch (format) {
    case ie8g: return iepGray;
    case ie24RGB: return iepBGR;
    case ieCMYK: return iepCMYKInverted;
    case ieRGB48: return iepRGB48;
    case ieCIELab: return iepLab;
    default: return -1;
  }
}

uint32_t BigEndian32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 | p[3];
}

// The NUL-terminated text at offset, cut at the end of the profile.
std::string TextAt(const uint8_t* data, int32_t size, int64_t offset) {
  if (offset < 0 || offset >= size) return {};
  const auto* start = reinterpret_cast<const char*>(data + offset);
  return std::string(start, strnlen(start, static_cast<size_t>(size - offset)));
}

constexpr int32_t kHeaderSize = 128;
constexpr int32_t kTagEntrySize = 12;
constexpr int32_t kMaxTags = 1000;
constexpr size_t kMaxText = 1000;

}  // namespace

// ---- TIEICC ----------------------------------------------------------------------

namespace {
std::atomic<uint64_t> generations{0};
}  // namespace

TIEICC::TIEICC() { NewGeneration(); }

TIEICC::~TIEICC() { Clear(); }

void TIEICC::NewGeneration() { generation_ = ++generations; }

void TIEICC::CloseProfile() {
  if (profile_ && colorSystem.closeProfile) colorSystem.closeProfile(profile_);
  profile_ = nullptr;
  systemSRGB_ = false;
}

void TIEICC::Clear() {
  FreeTransform();
  CloseProfile();
  rights_.clear();
  description_.clear();
  colorSpace_.clear();
  connectionSpace_.clear();
  sourceLayout_ = destinationLayout_ = -1;
  destinationGeneration_ = 0;
  NewGeneration();
  data_.reset();
  size_ = 0;
  used_ = false;
}

void TIEICC::LoadFromBuffer(const void* buffer, int32_t size) {
  Clear();
  if (!buffer || size <= 0) return;
  data_ = std::make_unique<uint8_t[]>(static_cast<size_t>(size));
  std::memcpy(data_.get(), buffer, static_cast<size_t>(size));
  size_ = size;
  OpenBytes();
}

void TIEICC::OpenBytes() {
  if (IELoadColorSystem()) {
    PROFILE description{PROFILE_MEMBUFFER, data_.get(), static_cast<DWORD>(size_)};
    profile_ = colorSystem.openProfile(&description, PROFILE_READ, 1, OPEN_EXISTING_PROFILE);
  }
  ParseHeader();
}

void TIEICC::LoadFromStream(TStream& stream, bool whole) {
  Clear();
  const int64_t left = stream.Size() - stream.Position();
  int64_t length = left;
  if (!whole) {
    int32_t declared = 0;
    if (stream.Read(&declared, 4) != 4) return;
    length = declared;
    if (length < 0 || length > left - 4) return;
  }
  if (length <= 0 || length > INT32_MAX) return;
  std::vector<uint8_t> bytes(static_cast<size_t>(length));
  const int32_t got = stream.Read(bytes.data(), static_cast<int32_t>(length));
  LoadFromBuffer(bytes.data(), got);
}

void TIEICC::SaveToStream(TStream& stream, bool raw) const {
  if (!raw) stream.WriteBuffer(&size_, 4);
  if (size_ > 0) stream.WriteBuffer(data_.get(), size_);
}

void TIEICC::Assign(const TIEICC& source) {
  if (&source == this) return;
  if (source.systemSRGB_)
    LoadSRGBProfile();
  else
    LoadFromBuffer(source.data_.get(), source.size_);
}

void TIEICC::ParseHeader() {
  rights_.clear();
  description_.clear();
  colorSpace_.clear();
  connectionSpace_.clear();
  const uint8_t* d = data_.get();
  if (!d || size_ <= kHeaderSize) return;
  colorSpace_ = AnsiToUtf8(std::string(reinterpret_cast<const char*>(d + 16), 4));
  connectionSpace_ = AnsiToUtf8(std::string(reinterpret_cast<const char*>(d + 20), 4));
  if (size_ < kHeaderSize + 4) return;
  const auto count = static_cast<int32_t>(BigEndian32(d + kHeaderSize));
  if (count < 0 || count > kMaxTags) return;
  for (int32_t i = 0; i < count; ++i) {
    const int64_t entry = kHeaderSize + 4 + int64_t{i} * kTagEntrySize;
    if (entry + kTagEntrySize > size_) break;
    const auto offset = static_cast<int32_t>(BigEndian32(d + entry + 4));
    const auto length = static_cast<int32_t>(BigEndian32(d + entry + 8));
    if (offset < 0 || length < 0 || int64_t{offset} + length > size_) break;
    const std::string signature(reinterpret_cast<const char*>(d + entry), 4);
    std::string text;
    if (signature == "cprt" && length <= 999)
      text = TextAt(d, size_, int64_t{offset} + 8);
    else if (signature == "desc" && length < 1000)
      text = TextAt(d, size_, int64_t{offset} + 12);
    else
      continue;
    if (text.size() < kMaxText) (signature == "cprt" ? rights_ : description_) = AnsiToUtf8(text);
  }
}

bool TIEICC::IsCompatibleLayout(int32_t layout) const {
  if (colorSpace_.empty()) return true;
  const LayoutInfo* info = Layout(layout);
  return info && colorSpace_ == info->colorSpace;
}

void TIEICC::FreeTransform() {
  if (transform_) {
    if (colorSystem.deleteTransform) colorSystem.deleteTransform(transform_);
    used_ = true;
  }
  transform_ = nullptr;
}

bool TIEICC::PrepareTransform(const TIEICC& destination, int32_t sourceLayout, int32_t destinationLayout) {
  if (transform_ && sourceLayout == sourceLayout_ && destinationLayout == destinationLayout_ &&
      destination.generation_ == destinationGeneration_)
    return true;
  FreeTransform();
  if (profile_ && destination.profile_ && colorSystem.createTransform) {
    HPROFILE chain[2] = {profile_, destination.profile_};
    DWORD intents[2] = {INTENT_PERCEPTUAL, INTENT_PERCEPTUAL};
    transform_ = colorSystem.createTransform(chain, 2, intents, 2, BEST_MODE | USE_RELATIVE_COLORIMETRIC, 0);
  }
  sourceLayout_ = sourceLayout;
  destinationLayout_ = destinationLayout;
  destinationGeneration_ = destination.generation_;
  return transform_ != nullptr;
}

bool TIEICC::TransformPixels(const TIEICC& destination, int32_t sourceLayout, int32_t count, void* destBuffer,
                             const void* sourceBuffer, int32_t destinationLayout) {
  const LayoutInfo* in = Layout(sourceLayout);
  const LayoutInfo* out = Layout(destinationLayout);
  if (!in || !out || !IsWrittenLayout(destinationLayout) ||
      !PrepareTransform(destination, sourceLayout, destinationLayout))
    return false;
  if (count <= 0) return true;
  std::vector<COLOR> input(static_cast<size_t>(count)), output(static_cast<size_t>(count));
  const auto* src = static_cast<const uint8_t*>(sourceBuffer);
  for (int32_t i = 0; i < count; ++i) input[i] = WidenPixel(sourceLayout, src + int64_t{i} * in->bytesPerPixel);
  if (!colorSystem.translate(transform_, input.data(), static_cast<DWORD>(count), in->colorType, output.data(),
                             out->colorType))
    return false;
  auto* dst = static_cast<uint8_t*>(destBuffer);
  for (int32_t i = 0; i < count; ++i) StorePixel(destinationLayout, output[i], dst + int64_t{i} * out->bytesPerPixel);
  return true;
}

int32_t TIEICC::TransformBitmap(TIEBitmap& bitmap, int32_t targetFormat, const TIEICC& destination) {
  const int32_t sourceLayout = FormatLayout(bitmap.GetPixelFormat());
  const int32_t destinationLayout = FormatLayout(targetFormat);
  if (sourceLayout < 0 || !IsWrittenLayout(destinationLayout)) return 0;
  TIEBitmap converted(bitmap.GetWidth(), bitmap.GetHeight(), static_cast<TIEPixelFormat>(targetFormat));
  bool done = true;
  for (int32_t row = 0; done && row < bitmap.GetHeight(); ++row)
    done = TransformPixels(destination, sourceLayout, bitmap.GetWidth(), converted.GetScanline(row),
                           bitmap.GetScanline(row), destinationLayout);
  FreeTransform();
  if (!done) return 0;
  bitmap.AssignImage(&converted);
  return 1;
}

// ---- built-in profiles -----------------------------------------------------------

namespace {

// The wide-gamut RGB display profile of 1998 (version 2.1, RGB to XYZ):
// gamma 563/256 on every channel, primaries adapted to D50, written from
// these numbers.
struct XYZ {
  double x, y, z;
};
constexpr XYZ kD50 = {0.9642, 1.0, 0.8249};
constexpr XYZ kD65 = {0.95045, 1.0, 1.08905};
constexpr XYZ kRed = {0.60974, 0.31111, 0.01947};
constexpr XYZ kGreen = {0.20528, 0.62567, 0.06087};
constexpr XYZ kBlue = {0.14919, 0.06322, 0.74457};
constexpr uint16_t kGamma = 563;  // u8Fixed8
constexpr const char* kWideRGBDescription = "Compatible with Adobe RGB (1998)";
constexpr const char* kWideRGBCopyright = "Public domain";

class ProfileWriter {
public:
  void U32(uint32_t v) {
    for (int i = 3; i >= 0; --i) bytes_.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
  void U16(uint16_t v) {
    bytes_.push_back(static_cast<uint8_t>(v >> 8));
    bytes_.push_back(static_cast<uint8_t>(v));
  }
  void Chars(const char* text, size_t count) { bytes_.insert(bytes_.end(), text, text + count); }
  void Fixed(double v) { U32(static_cast<uint32_t>(static_cast<int32_t>(std::lround(v * 65536)))); }
  void Point(const XYZ& p) {
    Fixed(p.x);
    Fixed(p.y);
    Fixed(p.z);
  }
  void Zeros(size_t count) { bytes_.insert(bytes_.end(), count, 0); }
  void Align() { Zeros((4 - bytes_.size() % 4) % 4); }
  size_t Size() const { return bytes_.size(); }
  void PatchU32(size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes_[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
  }
  std::vector<uint8_t>& Bytes() { return bytes_; }

private:
  std::vector<uint8_t> bytes_;
};

std::vector<uint8_t> WideRGBProfile() {
  ProfileWriter w;
  w.U32(0);  // size, patched below
  w.Zeros(4);
  w.U32(0x02100000);
  w.Chars("mntrRGB XYZ ", 12);
  w.Zeros(12);  // date
  w.Chars("acsp", 4);
  w.Zeros(24);  // platform, flags, device maker and model, attributes
  w.Zeros(8);
  w.U32(0);  // perceptual
  w.Point(kD50);
  w.Zeros(128 - w.Size());
  struct Entry {
    const char* signature;
    int data;  // index into the data blocks; the three curves share one
  };
  static constexpr Entry kTags[] = {{"cprt", 0}, {"desc", 1}, {"wtpt", 2}, {"bkpt", 3}, {"rTRC", 4},
                                    {"gTRC", 4}, {"bTRC", 4}, {"rXYZ", 5}, {"gXYZ", 6}, {"bXYZ", 7}};
  w.U32(static_cast<uint32_t>(std::size(kTags)));
  const size_t table = w.Size();
  w.Zeros(12 * std::size(kTags));
  std::vector<std::pair<size_t, size_t>> blocks;  // offset and size of each data block
  auto block = [&](auto write) {
    const size_t start = w.Size();
    write();
    blocks.emplace_back(start, w.Size() - start);
    w.Align();
  };
  block([&] {
    w.Chars("text", 4);
    w.Zeros(4);
    w.Chars(kWideRGBCopyright, std::strlen(kWideRGBCopyright) + 1);
  });
  block([&] {
    const auto length = static_cast<uint32_t>(std::strlen(kWideRGBDescription) + 1);
    w.Chars("desc", 4);
    w.Zeros(4);
    w.U32(length);
    w.Chars(kWideRGBDescription, length);
    w.Zeros(8 + 3 + 67);  // no Unicode or script-code text
  });
  for (const XYZ& p : {kD65, XYZ{0, 0, 0}}) block([&] {
      w.Chars("XYZ ", 4);
      w.Zeros(4);
      w.Point(p);
    });
  block([&] {
    w.Chars("curv", 4);
    w.Zeros(4);
    w.U32(1);
    w.U16(kGamma);
  });
  for (const XYZ& p : {kRed, kGreen, kBlue}) block([&] {
      w.Chars("XYZ ", 4);
      w.Zeros(4);
      w.Point(p);
    });
  for (size_t i = 0; i < std::size(kTags); ++i) {
    const auto [offset, size] = blocks[kTags[i].data];
    std::memcpy(&w.Bytes()[table + 12 * i], kTags[i].signature, 4);
    w.PatchU32(table + 12 * i + 4, static_cast<uint32_t>(offset));
    w.PatchU32(table + 12 * i + 8, static_cast<uint32_t>(size));
  }
  w.PatchU32(0, static_cast<uint32_t>(w.Size()));
  return std::move(w.Bytes());
}

}  // namespace

void TIEICC::LoadAdobeRGBProfile() {
  static const std::vector<uint8_t> bytes = WideRGBProfile();
  LoadFromBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
}

void TIEICC::LoadSRGBProfile() {
  Clear();
  if (!IELoadColorSystem()) return;
  PROFILE description{PROFILE_FILENAME, const_cast<char*>(kSystemSRGBProfileName),
                      static_cast<DWORD>(std::strlen(kSystemSRGBProfileName))};
  profile_ = colorSystem.openProfile(&description, PROFILE_READ, 1, OPEN_EXISTING_PROFILE);
  systemSRGB_ = profile_ != nullptr;
}
