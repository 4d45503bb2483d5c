// Image annotations: the TIFF image-annotation block and the library's own block.
#include "imaging/core/ruduvazez_annot.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "imaging/core/iesettings.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/core/ruduvazez_containers.h"
#include "imaging/processing/imageryproc.h"
#include "platform/rtl/exceptions.h"
#include "platform/win/globalmem.h"

// ---- attributes ----------------------------------------------------------------------------

namespace {

int32_t GetLE32(const uint8_t* p) {
  return static_cast<int32_t>(p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24);
}

void PutLE32(uint8_t* p, int32_t value) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(static_cast<uint32_t>(value) >> (8 * i));
}

}  // namespace

int32_t TIEAnnotAttributes::Get(size_t offset) const { return GetLE32(&Bytes[offset]); }

void TIEAnnotAttributes::Set(size_t offset, int32_t value) { PutLE32(&Bytes[offset], value); }

void TIEAnnotAttributes::SetBounds(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  Set(4, left);
  Set(8, top);
  Set(12, right);
  Set(16, bottom);
}

std::string TIEAnnotAttributes::FontName() const {
  const auto* name = reinterpret_cast<const char*>(&Bytes[76]);
  return std::string(name, strnlen(name, 32));
}

uint32_t IEAnnotColorToTColor(uint32_t color) {
  return (color & 0x00FF00) | (color & 0xFF) << 16 | (color >> 16 & 0xFF);
}

// ---- reading the block -------------------------------------------------------------------------

namespace {

constexpr int32_t kRecordDefaultBlock = 2, kRecordAttributes = 5, kRecordMarkBlock = 6;
constexpr int32_t kMarkImage = 1, kMarkLine = 3, kMarkPolyline = 4, kMarkFirstText = 7, kMarkLastText = 10;
constexpr int32_t kStandardScale = 7500;
constexpr size_t kNameSize = 8;

using TPieces = std::map<std::string, std::vector<uint8_t>>;

// Reads the block from its start, never past its end.
class TAnnotReader {
public:
  TAnnotReader(const uint8_t* data, int64_t size) : data_(data), size_(size) {}
  bool Left(int64_t count) const { return count >= 0 && count <= size_ - pos_; }
  int64_t Position() const { return pos_; }
  int32_t Int32() {
    const int32_t v = GetLE32(data_ + pos_);
    pos_ += 4;
    return v;
  }
  const uint8_t* Take(int64_t count) {
    const uint8_t* p = data_ + pos_;
    pos_ += count;
    return p;
  }

private:
  const uint8_t* data_;
  int64_t size_;
  int64_t pos_ = 0;
};

// A named block into pieces; false when it does not fit.
bool ReadNamedBlock(TAnnotReader& in, bool shortIntegers, TPieces& pieces) {
  const int64_t header = kNameSize + 4 + (shortIntegers ? 4 : 0);
  if (!in.Left(header)) return false;
  const auto* name = reinterpret_cast<const char*>(in.Take(kNameSize));
  const std::string key(name, strnlen(name, kNameSize));
  const int64_t length = static_cast<uint32_t>(in.Int32());
  if (shortIntegers) in.Int32();
  if (!in.Left(length)) return false;
  const uint8_t* bytes = in.Take(length);
  pieces[key].assign(bytes, bytes + length);
  return true;
}

std::vector<TIEImagingObject::TPoint> PointsOf(const std::vector<uint8_t>& data) {
  if (data.size() < 8) return {};
  const int64_t count = static_cast<uint32_t>(GetLE32(&data[4]));
  if (count > static_cast<int64_t>((data.size() - 8) / 8)) return {};  // declares more than it holds
  std::vector<TIEImagingObject::TPoint> points(static_cast<size_t>(count));
  for (size_t i = 0; i < points.size(); ++i) points[i] = {GetLE32(&data[8 + 8 * i]), GetLE32(&data[12 + 8 * i])};
  return points;
}

// The text of an "OiAnText" piece, with the font height brought to the
// standard scale (a creation scale of 0 means that scale).
void ReadText(const std::vector<uint8_t>& piece, TIEImagingObject& mark) {
  if (piece.size() < 16) return;
  const auto* text = reinterpret_cast<const char*>(&piece[16]);
  mark.Text.assign(text, strnlen(text, piece.size() - 16));
  int64_t scale = GetLE32(&piece[8]);
  if (scale == 0 || scale == kStandardScale) return;  // held at the standard scale already: kept exactly
  const int64_t height = int64_t{1000} * mark.Attributes.FontHeight() / scale * kStandardScale / 1000;
  mark.Attributes.SetFontHeight(static_cast<int32_t>(std::clamp<int64_t>(height, INT32_MIN, INT32_MAX)));
}

// The image of a packed DIB; null for data that is not one.
std::unique_ptr<TIEBitmap> DecodeDIB(const std::vector<uint8_t>& dib) {
  auto image = std::make_unique<TIEBitmap>();
  if (IECopyDIBToBitmap(dib.data(), dib.size(), image.get(), nullptr, 0) == 0) return nullptr;
  return image;
}

// The whole image as a packed DIB at 200 pixels per inch; empty without one.
std::vector<uint8_t> EncodeDIB(TIEBitmap* image) {
  HGLOBAL block = image ? _CopyBitmaptoDIBEx(image, 0, 0, 0, 0, 200, 200) : nullptr;
  if (!block) return {};
  const auto* data = static_cast<const uint8_t*>(GlobalLock(block));
  std::vector<uint8_t> dib(data, data + GlobalSize(block));
  GlobalUnlock(block);
  GlobalFree(block);
  return dib;
}

std::unique_ptr<TIEImagingObject> CompleteMark(const TIEAnnotAttributes& attributes, const TPieces& pieces) {
  const int32_t type = attributes.MarkType();
  if (type < 1) return nullptr;
  auto mark = std::make_unique<TIEImagingObject>();
  mark->Attributes = attributes;
  auto piece = [&](const char* name) { return pieces.find(name); };
  if (type == kMarkImage && piece("OiDIB") != pieces.end()) mark->Image = DecodeDIB(piece("OiDIB")->second);
  if ((type == kMarkLine || type == kMarkPolyline) && piece("OiAnoDat") != pieces.end())
    mark->Points = PointsOf(piece("OiAnoDat")->second);
  if (type >= kMarkFirstText && type <= kMarkLastText && piece("OiAnText") != pieces.end())
    ReadText(piece("OiAnText")->second, *mark);
  return mark;
}

}  // namespace

void TIEImagingAnnot::LoadFromBuffer(const void* data, int64_t size) {
  if (data == nullptr || size < 8) return;
  TAnnotReader in(static_cast<const uint8_t*>(data), size);
  in.Int32();  // reserved
  const bool shortIntegers = in.Int32() == 0;
  TPieces defaults, markPieces;
  TIEAnnotAttributes attributes;
  auto complete = [&] {
    if (auto mark = CompleteMark(attributes, markPieces)) objects_.push_back(std::move(mark));
    markPieces.clear();
  };
  while (in.Left(8)) {
    const int32_t type = in.Int32();
    in.Int32();  // the record size, not used
    if (type == kRecordDefaultBlock) {
      if (!ReadNamedBlock(in, shortIntegers, defaults)) break;
    } else if (type == kRecordMarkBlock) {
      if (!ReadNamedBlock(in, shortIntegers, markPieces)) break;
    } else if (type == kRecordAttributes) {
      complete();
      if (!in.Left(TIEAnnotAttributes::kSize)) {
        attributes = {};
        break;
      }
      std::memcpy(attributes.Bytes.data(), in.Take(TIEAnnotAttributes::kSize), TIEAnnotAttributes::kSize);
    }
  }
  complete();
  changed_ = false;
}

// ---- writing the block -------------------------------------------------------------------------

namespace {

class TAnnotWriter {
public:
  void Int32(int32_t v) {
    const size_t at = bytes_.size();
    bytes_.resize(at + 4);
    PutLE32(&bytes_[at], v);
  }
  void Bytes(const void* data, size_t count) {
    const auto* p = static_cast<const uint8_t*>(data);
    bytes_.insert(bytes_.end(), p, p + count);
  }
  // A named block: record type, 12, the name, the data size, then the data
  // that write adds (the size is patched afterwards).
  template <class Write>
  void NamedBlock(int32_t record, const char* name, Write write) {
    Int32(record);
    Int32(12);
    char padded[kNameSize] = {};
    std::memcpy(padded, name, std::min(std::strlen(name), kNameSize));
    Bytes(padded, kNameSize);
    const size_t sizeAt = bytes_.size();
    Int32(0);
    write();
    PutLE32(&bytes_[sizeAt], static_cast<int32_t>(bytes_.size() - sizeAt - 4));
  }
  void Text(const std::string& text) { Bytes(text.c_str(), text.size() + 1); }
  std::vector<uint8_t>& Result() { return bytes_; }

private:
  std::vector<uint8_t> bytes_;
};

void WriteMarkData(TAnnotWriter& out, const TIEImagingObject& mark) {
  const int32_t type = mark.Attributes.MarkType();
  if (type == kMarkImage) {
    const auto* settings = IEGetGlobalSettings();
    out.NamedBlock(kRecordMarkBlock, "OiAnoDat", [&] {
      for (int32_t v : {1, 1000, settings->ScreenDPIX, settings->ScreenDPIY, settings->ScreenDPIX,
                        settings->ScreenDPIY, 0, 0})
        out.Int32(v);
      const uint8_t zeros[24] = {};
      out.Bytes(zeros, sizeof zeros);
    });
    const std::vector<uint8_t> dib = EncodeDIB(mark.Image.get());
    out.NamedBlock(kRecordMarkBlock, "OiDIB", [&] { out.Bytes(dib.data(), dib.size()); });
  } else if (type == kMarkLine || type == kMarkPolyline) {
    out.NamedBlock(kRecordMarkBlock, "OiAnoDat", [&] {
      out.Int32(static_cast<int32_t>(mark.Points.size()));
      out.Int32(static_cast<int32_t>(mark.Points.size()));
      for (const auto& p : mark.Points) {
        out.Int32(p.x);
        out.Int32(p.y);
      }
    });
  } else if (type >= kMarkFirstText && type <= kMarkLastText) {
    out.NamedBlock(kRecordMarkBlock, "OiAnText", [&] {
      for (int32_t v : {0, 1000, kStandardScale, static_cast<int32_t>(mark.Text.size())}) out.Int32(v);
      out.Text(mark.Text);
    });
  }
}

}  // namespace

std::vector<uint8_t> TIEImagingAnnot::SaveToBuffer() const {
  if (objects_.empty()) return {};
  TAnnotWriter out;
  out.Int32(0);
  out.Int32(1);
  out.NamedBlock(kRecordDefaultBlock, "OiGroup", [&] { out.Text("0"); });
  out.NamedBlock(kRecordDefaultBlock, "OiIndex", [&] { out.Text("1"); });
  for (size_t k = 0; k < objects_.size(); ++k) {
    const TIEImagingObject& mark = *objects_[k];
    out.Int32(kRecordAttributes);
    out.Int32(static_cast<int32_t>(TIEAnnotAttributes::kSize));
    out.Bytes(mark.Attributes.Bytes.data(), TIEAnnotAttributes::kSize);
    WriteMarkData(out, mark);
    out.NamedBlock(kRecordMarkBlock, "OiGroup", [&] { out.Text("0"); });
    out.NamedBlock(kRecordMarkBlock, "OiIndex", [&] { out.Text(std::to_string(k)); });
  }
  return std::move(out.Result());
}

// ---- TIEImagingAnnot -------------------------------------------------------------------------

TIEImagingObject::TIEImagingObject() = default;
TIEImagingObject::~TIEImagingObject() = default;

TIEImagingObject::TIEImagingObject(const TIEImagingObject& source)
    : TObject(), Attributes(source.Attributes), Points(source.Points), Text(source.Text) {
  if (source.Image) Image = std::make_unique<TIEBitmap>(*source.Image);
}

void TIEImagingAnnot::Assign(const TIEImagingAnnot* source) {
  if (source == nullptr || source == this) return;
  objects_.clear();
  for (const auto& mark : source->objects_) objects_.push_back(std::make_unique<TIEImagingObject>(*mark));
}

TIEImagingObject& TIEImagingAnnot::GetObject(int32_t index) const {
  if (index < 0 || index >= GetObjectCount()) RaiseListIndexError(index);
  return *objects_[static_cast<size_t>(index)];
}

void TIEImagingAnnot::AddObject(std::unique_ptr<TIEImagingObject> object) {
  if (object) objects_.push_back(std::move(object));
  changed_ = true;
}

// ---- TIEImageryAnnot -------------------------------------------------------------------------

bool TIEImageryAnnot::HasSignature(const void* data, int64_t size) {
  return data && size >= static_cast<int64_t>(kSignatureSize) && std::memcmp(data, kSignature, kSignatureSize) == 0;
}

void TIEImageryAnnot::Assign(const TIEImageryAnnot* source) {
  if (source != nullptr) objects_ = source->objects_;
}

void TIEImageryAnnot::LoadFromBuffer(const void* data, int64_t size) {
  Clear();
  if (!HasSignature(data, size)) return;
  const auto* bytes = static_cast<const uint8_t*>(data);
  objects_.assign(bytes + kSignatureSize, bytes + size);
}

std::vector<uint8_t> TIEImageryAnnot::SaveToBuffer() const {
  if (IsEmpty()) return {};
  std::vector<uint8_t> out(kSignature, kSignature + kSignatureSize);
  out.insert(out.end(), objects_.begin(), objects_.end());
  return out;
}

void TIEImageryAnnot::SaveToStream(TStream& stream) const {
  IEWriteInt32LE(stream, static_cast<int32_t>(objects_.size()));
  if (!objects_.empty()) stream.WriteBuffer(objects_.data(), static_cast<int32_t>(objects_.size()));
}

void TIEImageryAnnot::LoadFromStream(TStream& stream) {
  Clear();
  std::vector<uint8_t> bytes(static_cast<size_t>(IEReadStreamLength(stream, 1)));
  if (!bytes.empty()) stream.ReadBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
  objects_ = std::move(bytes);
}
