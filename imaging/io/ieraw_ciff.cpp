// The metadata of camera-raw files: the embedded TIFF structure, or the CIFF
// heap with its nested tables.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "imaging/codecs/exifblock.h"
#include "imaging/core/ruduvazez.h"
#include "imaging/io/ieraw.h"
#include "imaging/io/imageryio.h"

namespace {

constexpr int32_t kMaxDepth = 16;
constexpr int32_t kMaxRecords = 256;
constexpr int32_t kNoPreview = 0x7FFFFFFE;
constexpr int64_t kRecordSize = 10;

// Records parsed in the whole heap, however its tables nest.
constexpr int32_t kRecordBudget = 4096;

struct THeap {
  int64_t start, end;
};

// A maker-note record: its tag and its 16-bit values as stored.
struct TNoteRecord {
  uint16_t tag;
  std::vector<uint8_t> data;
};

class TCIFFReader {
public:
  TCIFFReader(TStream& stream, TIOParamsVals& params, bool bigEndian)
      : stream_(stream), params_(params), size_(stream.Size()), bigEndian_(bigEndian) {}

  // One table of the heap at offset o with n bytes, then its sub-tables.
  void ParseHeap(int64_t o, int64_t n, int32_t depth);
  void TakePreview();
  void StoreMakerNote();

private:
  bool ReadBytes(void* buffer, int64_t count) {
    return count >= 0 && stream_.Read(buffer, static_cast<int32_t>(count)) == count;
  }
  bool Read16(uint16_t& value);
  bool Read32(uint32_t& value);
  void ParseRecord(uint16_t type, int64_t data, int64_t length, const THeap& parent, int32_t depth);
  // A sub-table lies inside its parent and is not the parent itself.
  static bool IsSubTable(const THeap& parent, int64_t data, int64_t length) {
    return data >= parent.start && data + length <= parent.end && (data != parent.start || length != parent.end - parent.start);
  }
  std::string ReadText(int64_t& remaining);
  void ReadMakerNote(uint16_t tag, int64_t count, int64_t heapEnd);
  // The bytes of a record, which lie in the file.
  std::vector<uint8_t> RecordBytes(int64_t position, int64_t length);
  void ConsiderPreview(int64_t position, int64_t length);

  TStream& stream_;
  TIOParamsVals& params_;
  int64_t size_;
  bool bigEndian_;
  std::vector<TNoteRecord> notes_;
  int32_t budget_ = kRecordBudget;
  int64_t previewPosition_ = 0, previewLength_ = 0;
  int32_t previewWidth_ = kNoPreview, previewHeight_ = kNoPreview;
};

bool TCIFFReader::Read16(uint16_t& value) {
  uint8_t b[2];
  if (!ReadBytes(b, 2)) return false;
  value = bigEndian_ ? uint16_t(b[0] << 8 | b[1]) : uint16_t(b[1] << 8 | b[0]);
  return true;
}

bool TCIFFReader::Read32(uint32_t& value) {
  uint8_t b[4];
  if (!ReadBytes(b, 4)) return false;
  value = bigEndian_ ? uint32_t{b[0]} << 24 | uint32_t{b[1]} << 16 | uint32_t{b[2]} << 8 | b[3]
                     : uint32_t{b[3]} << 24 | uint32_t{b[2]} << 16 | uint32_t{b[1]} << 8 | b[0];
  return true;
}

void TCIFFReader::ParseHeap(int64_t o, int64_t n, int32_t depth) {
  const int64_t heapEnd = std::min(o + n, size_);
  if (n < 4 || o + n - 4 >= size_) return;
  stream_.SetPosition(o + n - 4);
  uint32_t tableOffset = 0;
  if (!Read32(tableOffset)) return;
  const int64_t table = o + tableOffset;
  if (table + 2 > heapEnd) return;
  stream_.SetPosition(table);
  uint16_t count = 0;
  if (!Read16(count) || count == 0) return;
  const THeap heap{o, heapEnd};
  for (int32_t i = 0; i < std::min<int32_t>(count, kMaxRecords) && budget_ > 0; ++i, --budget_) {
    // The record table lies in its heap too.
    if (stream_.Position() + kRecordSize > heapEnd) return;
    uint16_t type = 0;
    uint32_t length = 0, offset = 0;
    if (!Read16(type) || !Read32(length) || !Read32(offset)) return;
    const int64_t save = stream_.Position();
    int64_t data = o + offset, bytes = length;
    if ((type & 0xC000) == 0x4000) {
      bytes = 8;
      data = save - 8;
    }
    if (data < o || data >= heapEnd) return;
    stream_.SetPosition(data);
    ParseRecord(type & 0x3FFF, data, std::min(bytes, heapEnd - data), heap, depth);
    stream_.SetPosition(save);
  }
}

std::string TCIFFReader::ReadText(int64_t& remaining) {
  std::string text;
  char c = 0;
  while (remaining > 0 && ReadBytes(&c, 1)) {
    --remaining;
    if (c == '\0') break;
    text += c;
  }
  return text;
}

void TCIFFReader::ReadMakerNote(uint16_t tag, int64_t count, int64_t heapEnd) {
  if (count <= 0 || count > 0xFFFF || stream_.Position() + 2 * count > heapEnd) return;
  TNoteRecord record{tag, std::vector<uint8_t>(static_cast<size_t>(2 * count))};
  if (ReadBytes(record.data.data(), 2 * count)) notes_.push_back(std::move(record));
}

std::vector<uint8_t> TCIFFReader::RecordBytes(int64_t position, int64_t length) {
  stream_.SetPosition(position);
  std::vector<uint8_t> bytes(static_cast<size_t>(std::clamp<int64_t>(length, 0, size_ - position)));
  if (!ReadBytes(bytes.data(), static_cast<int64_t>(bytes.size()))) bytes.clear();
  return bytes;
}

// A JPEG in a record is read within the record's bytes only.
void TCIFFReader::ConsiderPreview(int64_t position, int64_t length) {
  const std::vector<uint8_t> bytes = RecordBytes(position, length);
  if (bytes.empty()) return;
  TIEMemStream record(bytes.data(), static_cast<int64_t>(bytes.size()));
  TIEBitmap scratch;
  std::unique_ptr<TImageryIO> io(TImageryIO::CreateFromBitmap(&scratch));
  io->ParamsFromStreamFormat(record, 3);
  const TIOParamsVals& found = io->Params();
  if (found.FILETYPE == 0) return;
  if (found.WIDTH < previewWidth_ && found.HEIGHT < previewHeight_) {
    previewPosition_ = position;
    previewLength_ = length;
    previewWidth_ = found.WIDTH;
    previewHeight_ = found.HEIGHT;
  }
}

void TCIFFReader::ParseRecord(uint16_t type, int64_t data, int64_t length, const THeap& parent, int32_t depth) {
  switch (type) {
    case 0x0805:
      params_.EXIF_IMAGEDESCRIPTION = ReadText(length);
      break;
    case 0x080A:
      params_.EXIF_MAKE = ReadText(length);
      params_.EXIF_MODEL = ReadText(length);
      break;
    case 0x080B:
      params_.EXIF_SOFTWARE = ReadText(length);
      break;
    case 0x1810: {
      uint32_t width = 0, height = 0;
      if (length >= 8 && Read32(width) && Read32(height)) {
        params_.SetEXIF_ExifImageWidth(static_cast<int32_t>(width));
        params_.SetEXIF_ExifImageHeight(static_cast<int32_t>(height));
      }
      break;
    }
    case 0x102A:
    case 0x102D:
      ReadMakerNote(type == 0x102A ? 4 : 1, length, parent.end);
      break;
    case 0x2007:
    case 0x2008:
      ConsiderPreview(data, length);
      break;
    case 0x2800: case 0x2807: case 0x3000: case 0x3002: case 0x3003: case 0x3004: case 0x300A: case 0x300B:
      if (depth < kMaxDepth && IsSubTable(parent, data, length)) ParseHeap(data, length, depth + 1);
      break;
    default:
      break;
  }
}

void TCIFFReader::TakePreview() {
  if (!params_.EXIFThumbnail) params_.EXIFThumbnail = std::make_unique<TIEBitmap>();
  params_.EXIFThumbnail->FreeImage(true);
  if (previewPosition_ < 1) return;
  const std::vector<uint8_t> bytes = RecordBytes(previewPosition_, previewLength_);
  TIEMemStream record(bytes.data(), static_cast<int64_t>(bytes.size()));
  std::unique_ptr<TImageryIO> io(TImageryIO::CreateFromBitmap(params_.EXIFThumbnail.get()));
  io->LoadFromStreamJPEG(record);
}

void TCIFFReader::StoreMakerNote() {
  std::vector<uint8_t> block;
  auto put16 = [&](uint32_t v) { block.insert(block.end(), {uint8_t(v), uint8_t(v >> 8)}); };
  auto put32 = [&](uint32_t v) { put16(v & 0xFFFF), put16(v >> 16); };
  put16(static_cast<uint32_t>(notes_.size()));
  uint32_t offset = static_cast<uint32_t>(2 + 12 * notes_.size());
  for (const TNoteRecord& note : notes_) {
    put16(note.tag);
    put16(3);
    put32(static_cast<uint32_t>(note.data.size() / 2));
    put32(offset);
    offset += static_cast<uint32_t>(note.data.size());
  }
  for (const TNoteRecord& note : notes_) block.insert(block.end(), note.data.begin(), note.data.end());
  params_.EXIFMakerNote.SetBlock(block, !bigEndian_);
}

}  // namespace

int32_t IEReadCIFFMetadata(TStream& stream, TIOParamsVals& params) {
  char header[14];
  if (stream.Read(header, 14) != 14) return 0;
  const bool marked = std::memcmp(header, "II", 2) == 0 || std::memcmp(header, "MM", 2) == 0;
  if (!marked && std::memcmp(header + 6, "HEAPCCDR", 8) != 0) return 0;
  const bool bigEndian = std::memcmp(header, "MM", 2) == 0;
  const uint8_t* h = reinterpret_cast<const uint8_t*>(header) + 2;
  const int64_t headerLength = bigEndian ? int64_t{h[0]} << 24 | h[1] << 16 | h[2] << 8 | h[3]
                                         : int64_t{h[3]} << 24 | h[2] << 16 | h[1] << 8 | h[0];
  TCIFFReader reader(stream, params, bigEndian);
  const int64_t size = stream.Size();
  if (headerLength < size) reader.ParseHeap(headerLength, size - headerLength, 0);
  reader.TakePreview();
  reader.StoreMakerNote();
  return 0;
}

void IEReadRawFileMetadata(TStream& stream, TIOParamsVals& params) {
  stream.SetPosition(0);
  const int64_t header = IEFindTIFFHeader(stream);
  if (header < 0) {
    stream.SetPosition(0);
    IEReadCIFFMetadata(stream, params);
    return;
  }
  stream.SetPosition(header);
  if (!IEReadTIFFEXIFAndThumbnail(stream, params, true)) return;
  // Any rational may stand in the file: the resolution is kept in range.
  const double factor = params.EXIF_RESOLUTIONUNIT == 3 ? 2.54 : 1.0;
  auto dpi = [factor](double resolution) {
    const double value = resolution * factor;
    return static_cast<int32_t>(std::isfinite(value) ? std::clamp(value, 0.0, 1e6) : 0.0);
  };
  params.SetDpiX(dpi(params.EXIF_XRESOLUTION));
  params.SetDpiY(dpi(params.EXIF_YRESOLUTION));
}
