// Image annotations carried by the format parameters: the marks of the
// image-annotation block of TIFF tag 32932, and the library's own block
// (the vector viewer's object stream behind the "IMAGERYANNOT" magic).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/object.h"
#include "platform/rtl/streams.h"

// The 164-byte attribute record of one mark, carried unchanged; the fields
// are little-endian at fixed offsets.
class TIEAnnotAttributes {
public:
  static constexpr size_t kSize = 164;
  std::array<uint8_t, kSize> Bytes{};

  int32_t MarkType() const { return Get(0); }
  void SetMarkType(int32_t v) { Set(0, v); }
  int32_t Left() const { return Get(4); }
  int32_t Top() const { return Get(8); }
  int32_t Right() const { return Get(12); }
  int32_t Bottom() const { return Get(16); }
  void SetBounds(int32_t left, int32_t top, int32_t right, int32_t bottom);
  // Blue in the low byte, then green and red.
  uint32_t Color1() const { return static_cast<uint32_t>(Get(20)); }
  void SetColor1(uint32_t v) { Set(20, static_cast<int32_t>(v)); }
  uint32_t Color2() const { return static_cast<uint32_t>(Get(24)); }
  void SetColor2(uint32_t v) { Set(24, static_cast<int32_t>(v)); }
  bool Highlighting() const { return Get(28) != 0; }
  void SetHighlighting(bool v) { Set(28, v); }
  int32_t LineSize() const { return Get(36); }
  void SetLineSize(int32_t v) { Set(36, v); }
  // The font, a LOGFONTA from offset 48.
  int32_t FontHeight() const { return Get(48); }
  void SetFontHeight(int32_t v) { Set(48, v); }
  int32_t FontWeight() const { return Get(64); }
  bool FontItalic() const { return Bytes[68] != 0; }
  bool FontUnderline() const { return Bytes[69] != 0; }
  bool FontStrikeOut() const { return Bytes[70] != 0; }
  // Up to 32 characters, to the first NUL.
  std::string FontName() const;

  bool operator==(const TIEAnnotAttributes&) const = default;

private:
  int32_t Get(size_t offset) const;
  void Set(size_t offset, int32_t value);
};

class TIEBitmap;

// One mark: its attributes and, by mark type, its points (3 and 4), text
// (7 to 10) or image (1, decoded from the block's packed device-independent
// bitmap; written back as one at 200 pixels per inch).
class TIEImagingObject : public TObject {
public:
  TIEImagingObject();
  ~TIEImagingObject() override;
  // A deep copy: the image too.
  TIEImagingObject(const TIEImagingObject& source);
  TIEImagingObject& operator=(const TIEImagingObject&) = delete;

  struct TPoint {
    int32_t x, y;
    bool operator==(const TPoint&) const = default;
  };
  TIEAnnotAttributes Attributes;
  std::vector<TPoint> Points;  // relative to the top-left corner of the bounds
  std::string Text;            // 8-bit text, without its NUL
  std::unique_ptr<TIEBitmap> Image;  // null when none
};

// The marks of a TIFF image-annotation block.
class TIEImagingAnnot : public TObject {
public:
  explicit TIEImagingAnnot(TObject* parent = nullptr) : parent_(parent) {}
  TIEImagingAnnot(const TIEImagingAnnot&) = delete;
  TIEImagingAnnot& operator=(const TIEImagingAnnot&) = delete;

  TObject* Parent() const { return parent_; }
  void Clear() { objects_.clear(); }
  void Assign(const TIEImagingAnnot* source);
  int32_t GetObjectCount() const { return static_cast<int32_t>(objects_.size()); }
  // EListError for an index outside the list.
  TIEImagingObject& GetObject(int32_t index) const;
  // Takes the mark; appended last.
  void AddObject(std::unique_ptr<TIEImagingObject> object);
  bool Changed() const { return changed_; }
  void SetChanged(bool changed) { changed_ = changed; }

  // Appends the marks of a block (the caller clears first when needed). The
  // walk stops where a record does not fit in the block; the marks read up
  // to there are kept.
  void LoadFromBuffer(const void* data, int64_t size);
  // The block; empty when there are no marks.
  std::vector<uint8_t> SaveToBuffer() const;
  // This block is not part of the saved parameter stream.
  void SaveToStream(TStream&) const {}
  void LoadFromStream(TStream&) {}

private:
  TObject* parent_;
  std::vector<std::unique_ptr<TIEImagingObject>> objects_;
  bool changed_ = false;
};

// The low 24 bits of an annotation colour with red and blue exchanged.
uint32_t IEAnnotColorToTColor(uint32_t color);

// The library's own annotations: the vector viewer's object stream.
class TIEImageryAnnot : public TObject {
public:
  explicit TIEImageryAnnot(TObject* params = nullptr) : params_(params) {}
  TIEImageryAnnot(const TIEImageryAnnot&) = delete;
  TIEImageryAnnot& operator=(const TIEImageryAnnot&) = delete;

  static constexpr char kSignature[] = "IMAGERYANNOT";
  static constexpr size_t kSignatureSize = 12;
  // At least 12 bytes starting with the magic.
  static bool HasSignature(const void* data, int64_t size);

  TObject* Params() const { return params_; }
  void Clear() { objects_.clear(); }
  bool IsEmpty() const { return objects_.empty(); }
  void Assign(const TIEImageryAnnot* source);
  // The stored object stream, without the magic.
  const std::vector<uint8_t>& Objects() const { return objects_; }
  void SetObjects(std::vector<uint8_t> objects) { objects_ = std::move(objects); }

  // Clears; keeps what follows the magic when it is there.
  void LoadFromBuffer(const void* data, int64_t size);
  // The magic and the stored bytes; empty when nothing is stored.
  std::vector<uint8_t> SaveToBuffer() const;
  // A 32-bit byte count and the bytes.
  void SaveToStream(TStream& stream) const;
  // Clears, then reads what SaveToStream wrote; EReadError for a count
  // beyond the stream's end (the holder stays empty).
  void LoadFromStream(TStream& stream);

private:
  TObject* params_;
  std::vector<uint8_t> objects_;
};
