// The DICOM reader: the file header, every data element into the tag
// store (sequences as nested stores), the image attributes, and the frame
// handed to the pixel-data decoder. Every value, item and sequence must lie
// inside what holds it; nothing is allocated before the bytes that fill it
// are known to be there.
#include <algorithm>
#include <array>
#include <cstring>

#include "imaging/codecs/codecbytes.h"
#include "imaging/codecs/iedicom.h"
#include "imaging/codecs/iedicom_internal.h"
#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/io/imageryio_codecs.h"
#include "imaging/io/imageryio_params.h"
#include "platform/rtl/sysutils.h"

using namespace codecbytes;

namespace iedicom {

namespace {

constexpr uint32_t kUndefined = 0xFFFFFFFF;
constexpr int32_t kMaxDepth = 64;  // the tag store's records hold no deeper nesting
constexpr uint32_t Tag(uint16_t group, uint16_t element) { return uint32_t{group} << 16 | element; }
constexpr uint32_t kItem = Tag(0xFFFE, 0xE000), kItemEnd = Tag(0xFFFE, 0xE00D), kSequenceEnd = Tag(0xFFFE, 0xE0DD);
constexpr uint32_t kPixelData = Tag(0x7FE0, 0x0010);
constexpr const char* kBigEndianSyntax = "1.2.840.10008.1.2.2";
constexpr const char* kImplicitSyntax = "1.2.840.10008.1.2";
constexpr const char* kDeflateSyntax = "1.2.840.10008.1.2.1.99";

// An explicit VR as the file states it: the store's code, the size of the
// numbers its value holds (0: text or bytes), and whether a 32-bit length
// follows two reserved bytes.
struct StatedVR {
  uint8_t Code = IE_DICOM_NONE;
  uint8_t NumberSize = 0;
  bool LongLength = false;
};

StatedVR ParseVR(const uint8_t* letters) {
  const std::string name(reinterpret_cast<const char*>(letters), 2);
  // Representations newer than the code table: kept as UN.
  static constexpr std::array<std::pair<const char*, uint8_t>, 6> kExtra = {
      {{"OD", 8}, {"OL", 4}, {"OV", 8}, {"SV", 8}, {"UC", 0}, {"UV", 8}}};
  for (const auto& [extra, size] : kExtra)
    if (name == extra) return {IE_DICOM_UN, size, true};
  StatedVR vr;
  vr.Code = IEDicomVRFromName(name);
  switch (vr.Code) {
    case IE_DICOM_US: case IE_DICOM_SS: case IE_DICOM_OW: case IE_DICOM_AT: vr.NumberSize = 2; break;
    case IE_DICOM_UL: case IE_DICOM_SL: case IE_DICOM_FL: case IE_DICOM_OF: vr.NumberSize = 4; break;
    case IE_DICOM_FD: vr.NumberSize = 8; break;
    default: break;
  }
  vr.LongLength = vr.Code == IE_DICOM_OB || vr.Code == IE_DICOM_OW || vr.Code == IE_DICOM_OF ||
                  vr.Code == IE_DICOM_SQ || vr.Code == IE_DICOM_UT || vr.Code == IE_DICOM_UN || vr.Code == IE_DICOM_UR;
  return vr;
}

uint16_t Swap16(uint16_t v) { return static_cast<uint16_t>(v << 8 | v >> 8); }

// Reverses each number of the value in place (big-endian values into the
// store's little-endian order).
void SwapNumbers(std::vector<uint8_t>& value, size_t size) {
  if (size < 2) return;
  for (size_t at = 0; at + size <= value.size(); at += size) std::reverse(value.begin() + at, value.begin() + at + size);
}

std::string TrimValue(const std::string& text) {
  size_t end = text.size();
  while (end > 0 && (text[end - 1] == ' ' || text[end - 1] == '\0')) --end;
  size_t start = 0;
  while (start < end && text[start] == ' ') ++start;
  return text.substr(start, end - start);
}

// The first value of a decimal string (text before the first backslash).
bool FirstDecimal(const std::string& text, double& value) {
  const std::string first = TrimValue(text.substr(0, text.find('\\')));
  constexpr double kUnset = 1e300;
  value = first.empty() ? kUnset : IEStrToFloatDef(first, kUnset);
  return value != kUnset;
}

class Parser {
public:
  Parser(TStream& in, ImageInfo& info, bool headerless) : in_(in), info_(info), headerless_(headerless) {}

  // Elements into tags up to end; with untilItemEnd an item delimiter must
  // close the list. False for a fault of the data.
  bool ReadList(TIEDicomTags& tags, int64_t end, int32_t depth, bool top, bool implicitLE, bool untilItemEnd);
  bool PixelDataFound() const { return pixelData_; }

private:
  enum class Result { Element, PixelData, Fault };
  bool ReadTag(uint32_t& tag, bool implicitLE);
  bool ReadU32(uint32_t& value, uint16_t group, bool implicitLE);
  Result ReadElement(TIEDicomTags& tags, int64_t end, int32_t depth, bool top, bool implicitLE);
  bool ReadItems(int64_t seqEnd, int64_t end, int32_t depth, bool implicitLE, TIEDicomItems& items);
  bool SkipFragments(int64_t end, bool implicitLE);
  void TakeAttribute(const TIEDicomTags& tags, int32_t index);
  bool BigEndian(uint16_t group, bool implicitLE) const { return info_.BigEndian && !implicitLE && group != 2; }

  TStream& in_;
  ImageInfo& info_;
  bool headerless_;
  bool implicitSyntax_ = false;
  bool pixelData_ = false;
};

bool Parser::ReadTag(uint32_t& tag, bool implicitLE) {
  uint8_t b[4];
  if (!ReadExact(in_, b, 4)) return false;
  uint16_t group = LE16(b), element = LE16(b + 2);
  if (BigEndian(group, implicitLE)) {
    group = Swap16(group);
    element = Swap16(element);
  }
  tag = Tag(group, element);
  return true;
}

bool Parser::ReadU32(uint32_t& value, uint16_t group, bool implicitLE) {
  uint8_t b[4];
  if (!ReadExact(in_, b, 4)) return false;
  value = BigEndian(group, implicitLE) ? BE32(b) : LE32(b);
  return true;
}

bool Parser::ReadList(TIEDicomTags& tags, int64_t end, int32_t depth, bool top, bool implicitLE, bool untilItemEnd) {
  while (in_.Position() < end) {
    if (untilItemEnd) {
      uint32_t tag = 0;
      if (end - in_.Position() < 8 || !ReadTag(tag, implicitLE)) return false;
      if (tag == kItemEnd) return Skip(in_, 4);
      in_.Seek(-4, soCurrent);
    }
    // The meta group alone of a deflated data set.
    if (top && info_.TransferSyntax == kDeflateSyntax) {
      uint8_t b[2];
      if (!ReadExact(in_, b, 2)) return false;
      in_.Seek(-2, soCurrent);
      if (LE16(b) != 2) return true;
    }
    switch (ReadElement(tags, end, depth, top, implicitLE)) {
      case Result::Fault: return false;
      case Result::PixelData: return true;
      case Result::Element: break;
    }
  }
  return !untilItemEnd;
}

Parser::Result Parser::ReadElement(TIEDicomTags& tags, int64_t end, int32_t depth, bool top, bool implicitLE) {
  if (end - in_.Position() < 8) return Result::Fault;
  uint32_t tag = 0;
  if (!ReadTag(tag, implicitLE)) return Result::Fault;
  const auto group = static_cast<uint16_t>(tag >> 16), element = static_cast<uint16_t>(tag);
  const TIEDicomDictEntry* entry = IELookupDICOMTag(group, element);
  uint8_t vr = entry ? entry->VR : uint8_t{IE_DICOM_USSS};
  uint8_t letters[2];
  if (!ReadExact(in_, letters, 2)) return Result::Fault;
  const StatedVR stated = ParseVR(letters);
  bool implicit = implicitLE || (implicitSyntax_ && group != 2) || (stated.Code == IE_DICOM_NONE && group != 2);
  if (!implicit) {
    if (vr != IE_DICOM_NONE || stated.Code != IE_DICOM_NONE) vr = stated.Code;
    implicit = (headerless_ && stated.Code == IE_DICOM_NONE) || vr == IE_DICOM_NONE;
  }
  uint32_t length = 0;
  size_t numberSize = 0;
  if (implicit) {
    in_.Seek(-2, soCurrent);
    if (!ReadU32(length, group, implicitLE)) return Result::Fault;
  } else {
    numberSize = stated.NumberSize;
    if (stated.LongLength) {
      if (!Skip(in_, 2) || !ReadU32(length, group, implicitLE)) return Result::Fault;
    } else {
      uint8_t b[2];
      if (!ReadExact(in_, b, 2)) return Result::Fault;
      length = BigEndian(group, implicitLE) ? BE16(b) : LE16(b);
    }
  }
  const int64_t start = in_.Position();
  if (tag == kPixelData) {
    uint8_t peek[4] = {};
    const bool peeked = length >= 4 && end - start >= 4 && ReadExact(in_, peek, 4);
    in_.Seek(start, soBeginning);
    static constexpr uint8_t kJfif[4] = {0xFF, 0xD8, 0xFF, 0xE0}, kShifted[4] = {0xD8, 0xFF, 0xE0, 0xFF};
    if (peeked && length != kUndefined && (!std::memcmp(peek, kJfif, 4) || !std::memcmp(peek, kShifted, 4))) {
      info_.BareJpegPos = start;
    } else if (top) {
      info_.PixelPos = start;
      info_.PixelLength = length == kUndefined ? -1 : int64_t{length};
      info_.PixelDataOW = implicit || stated.Code == IE_DICOM_OW;
      pixelData_ = true;
      return Result::PixelData;
    }
  }
  std::vector<uint8_t> value;
  std::unique_ptr<TIEDicomItems> items;
  int32_t storedLength = static_cast<int32_t>(length);
  // An undefined-length UN value is a sequence coded implicit VR little
  // endian; without a stated VR, an undefined length can only be a sequence's.
  const bool sequence =
      vr == IE_DICOM_SQ ||
      (length == kUndefined && tag != kPixelData && group != 0xFFFE && (vr == IE_DICOM_UN || implicit));
  if (sequence) {
    if (depth >= kMaxDepth) return Result::Fault;
    if (length != kUndefined && int64_t{length} > end - start) return Result::Fault;
    items = std::make_unique<TIEDicomItems>();
    const bool innerLE = implicitLE || vr == IE_DICOM_UN;
    if (!ReadItems(length == kUndefined ? -1 : start + length, end, depth + 1, innerLE, *items)) return Result::Fault;
    if (items->empty()) items.reset();
  } else if (length == kUndefined) {
    if (!SkipFragments(end, implicitLE)) return Result::Fault;
  } else {
    if (int64_t{length} > end - start) return Result::Fault;
    value.resize(length);
    if (!ReadExact(in_, value.data(), length)) return Result::Fault;
    if (BigEndian(group, implicitLE)) SwapNumbers(value, numberSize);
  }
  if (length == kUndefined) storedLength = -1;
  const int32_t index = tags.AddTag(group, element, vr, std::move(value), storedLength, std::move(items));
  if (top) TakeAttribute(tags, index);
  return Result::Element;
}

bool Parser::ReadItems(int64_t seqEnd, int64_t end, int32_t depth, bool implicitLE, TIEDicomItems& items) {
  const int64_t limit = seqEnd >= 0 ? seqEnd : end;
  for (;;) {
    if (seqEnd >= 0 && in_.Position() >= seqEnd) break;
    uint32_t tag = 0, length = 0;
    if (limit - in_.Position() < 8 || !ReadTag(tag, implicitLE) || !ReadU32(length, 0xFFFE, implicitLE)) return false;
    if (tag == kSequenceEnd) {
      if (seqEnd < 0) return true;
      break;
    }
    if (tag != kItem) {
      // Anything but an item ends the sequence.
      in_.Seek(-8, soCurrent);
      break;
    }
    auto item = std::make_unique<TIEDicomTags>();
    if (length == kUndefined) {
      if (!ReadList(*item, limit, depth, false, implicitLE, true)) return false;
    } else {
      if (int64_t{length} > limit - in_.Position()) return false;
      if (!ReadList(*item, in_.Position() + length, depth, false, implicitLE, false)) return false;
    }
    if (item->Count() > 0) items.push_back(std::move(item));
  }
  if (seqEnd >= 0) in_.Seek(seqEnd, soBeginning);
  return true;
}

// Passes over the items of an undefined-length value that is no sequence
// (encapsulated pixel data inside an item) through its delimiter.
bool Parser::SkipFragments(int64_t end, bool implicitLE) {
  for (;;) {
    uint32_t tag = 0, length = 0;
    if (end - in_.Position() < 8 || !ReadTag(tag, implicitLE) || !ReadU32(length, 0xFFFE, implicitLE)) return false;
    if (tag == kSequenceEnd) return true;
    if (tag != kItem || int64_t{length} > end - in_.Position()) return false;
    in_.Seek(length, soCurrent);
  }
}

void Parser::TakeAttribute(const TIEDicomTags& tags, int32_t index) {
  const TIEDicomTag* tag = tags.GetTag(index);
  std::string text;
  tags.GetTagStringByIndex(index, text);
  const size_t size = tag->ValueSize();
  const int32_t number = size >= 2 ? LE16(tag->Value.data()) : 0;
  double decimal = 0;
  switch (Tag(tag->Group, tag->Element)) {
    case Tag(0x0002, 0x0010):
      info_.TransferSyntax = TrimValue(text);
      info_.BigEndian = info_.TransferSyntax == kBigEndianSyntax;
      implicitSyntax_ = info_.TransferSyntax == kImplicitSyntax;
      break;
    case Tag(0x0028, 0x0002): info_.SamplesPerPixel = number; break;
    case Tag(0x0028, 0x0004): info_.Photometric = UpperCase(TrimValue(text)); break;
    case Tag(0x0028, 0x0006): info_.PlanarConfiguration = number; break;
    case Tag(0x0028, 0x0008): {
      const int32_t frames = StrToIntDef(TrimValue(text), 1);
      info_.Frames = frames > 0 ? frames : 1;
      break;
    }
    case Tag(0x0028, 0x0010): info_.Rows = number; break;
    case Tag(0x0028, 0x0011): info_.Columns = number; break;
    case Tag(0x0028, 0x0100):
      info_.BitsAllocated = number;
      if (info_.BitsStored == 0) info_.BitsStored = number;
      break;
    case Tag(0x0028, 0x0101):
      info_.BitsStored = number;
      if (info_.BitsAllocated == 0) info_.BitsAllocated = number;
      break;
    case Tag(0x0028, 0x0102): info_.HighBit = number; break;
    case Tag(0x0028, 0x0103): info_.PixelRepresentation = number; break;
    case Tag(0x0028, 0x1050): info_.HasCentre = FirstDecimal(text, info_.WindowCenter); break;
    case Tag(0x0028, 0x1051): info_.HasWidth = FirstDecimal(text, info_.WindowWidth); break;
    case Tag(0x0028, 0x1052): info_.RescaleIntercept = FirstDecimal(text, decimal) ? decimal : 0; break;
    case Tag(0x0028, 0x1053): info_.RescaleSlope = FirstDecimal(text, decimal) ? decimal : 1; break;
    default: break;
  }
}

// The 16-bit values of an element (little-endian in the store).
std::vector<int32_t> Numbers16(const TIEDicomTags& tags, uint16_t group, uint16_t element, bool isSigned) {
  std::vector<int32_t> numbers;
  const TIEDicomTag* tag = tags.GetTag(tags.IndexOf(group, element));
  if (!tag) return numbers;
  for (size_t at = 0; at + 2 <= tag->ValueSize(); at += 2) {
    const uint16_t v = LE16(tag->Value.data() + at);
    numbers.push_back(isSigned ? static_cast<int16_t>(v) : v);
  }
  return numbers;
}

}  // namespace

uint16_t Palette::Lookup(int32_t value) const {
  if (Entries.empty()) return 0;
  const int64_t at = std::clamp<int64_t>(int64_t{value} - FirstMapped, 0, static_cast<int64_t>(Entries.size()) - 1);
  return Entries[static_cast<size_t>(at)];
}

void TakePalettes(const TIEDicomTags& tags, ImageInfo& info) {
  constexpr size_t kMaxEntries = 65536;
  Palette* palettes[3] = {&info.Red, &info.Green, &info.Blue};
  for (uint16_t i = 0; i < 3; ++i) {
    Palette& palette = *palettes[i];
    const std::vector<int32_t> descriptor = Numbers16(tags, 0x0028, static_cast<uint16_t>(0x1101 + i), false);
    const std::vector<int32_t> data = Numbers16(tags, 0x0028, static_cast<uint16_t>(0x1201 + i), false);
    // The descriptor's count (0 stands for 65,536), else the entries the value holds.
    size_t count = std::min(data.size(), kMaxEntries);
    if (!descriptor.empty()) count = descriptor[0] == 0 ? kMaxEntries : static_cast<size_t>(descriptor[0]);
    if (descriptor.size() >= 2)
      palette.FirstMapped = info.PixelRepresentation == 1 ? static_cast<int16_t>(descriptor[1]) : descriptor[1];
    palette.Entries.assign(count, 0);
    std::copy_n(data.begin(), std::min(count, data.size()), palette.Entries.begin());
  }
}

void TakeVOIWindow(TIEDicomTags& tags, ImageInfo& info) {
  int32_t index = -1;
  TIEDicomTags* holder = tags.FindTag(0x0028, 0x3110, nullptr, index);
  const TIEDicomTag* sequence = holder ? holder->GetTag(index) : nullptr;
  if (!sequence || !sequence->Items) return;
  double centre = 0, width = 0;
  bool haveCentre = false, haveWidth = false;
  for (const auto& item : *sequence->Items) {
    std::string text;
    if (!haveCentre) {
      if (TIEDicomTags* found = tags.FindTag(0x0028, 0x1050, item.get(), index)) {
        found->GetTagStringByIndex(index, text);
        haveCentre = FirstDecimal(text, centre);
      }
    }
    if (!haveWidth) {
      if (TIEDicomTags* found = tags.FindTag(0x0028, 0x1051, item.get(), index)) {
        found->GetTagStringByIndex(index, text);
        haveWidth = FirstDecimal(text, width);
      }
    }
  }
  if (haveCentre) info.WindowCenter = centre;
  if (haveWidth) info.WindowWidth = width;
  info.HasCentre |= haveCentre;
  info.HasWidth |= haveWidth;
}

}  // namespace iedicom

using namespace iedicom;

bool IEIsDICOMStream(TStream& stream) {
  const int64_t at = stream.Position();
  uint8_t magic[4] = {};
  bool found = false;
  if (Remaining(stream) >= 132) {
    stream.Seek(128, soCurrent);
    found = ReadExact(stream, magic, 4) && !std::memcmp(magic, "DICM", 4);
  }
  stream.SetPosition(at);
  return found;
}

void IEReadDICOMStream(TStream& stream, TIOParamsVals& params, TIEBitmap* bitmap, bool paramsOnly,
                       TIEProgressRecord& progress) {
  TIEBufferedReadStream in(stream, 65536, true);
  ImageInfo info;
  const bool headerless = !IEIsDICOMStream(in);
  in.SetPosition(headerless ? 0 : 132);
  params.DICOMTags.Clear();
  Parser parser(in, info, headerless);
  const bool parsed = parser.ReadList(params.DICOMTags, in.Size(), 0, true, false, false);
  TakePalettes(params.DICOMTags, info);
  TakeVOIWindow(params.DICOMTags, info);

  params.BITSPERSAMPLE = info.BitsStored;
  params.SAMPLESPERPIXEL = info.SamplesPerPixel;
  params.WIDTH = params.ORIGINALWIDTH = info.Columns;
  params.HEIGHT = params.ORIGINALHEIGHT = info.Rows;
  // A data set without Pixel Data holds no image.
  info.Frames = FramesHeld(info);
  params.SetImageCount(parser.PixelDataFound() || info.BareJpegPos >= 0 ? info.Frames : 0);
  params.IMAGEINDEX = std::clamp(params.IMAGEINDEX, 0, info.Frames - 1);
  info.RescaleIntercept = params.DICOMTags.IndexOf(0x0028, 0x1052) >= 0 ? info.RescaleIntercept
                                                                         : params.DICOMRescaleIntercept;
  info.RescaleSlope = params.DICOMTags.IndexOf(0x0028, 0x1053) >= 0 ? info.RescaleSlope : params.DICOMRescaleSlope;
  params.DICOMRescaleIntercept = info.RescaleIntercept;
  params.DICOMRescaleSlope = info.RescaleSlope;
  params.DICOMValueOffset = 0;
  if (!parsed) {
    progress.Abort();
    return;
  }
  if (paramsOnly || !bitmap) return;
  if (info.PixelPos < 0 && info.BareJpegPos < 0) {
    progress.Abort();
    return;
  }
  if (!DecodeFrame(in, info, *bitmap, params, progress)) progress.Abort();
}

int32_t IEGetDICOMStreamImageCount(TStream& stream) {
  TIOParamsVals params(nullptr);
  std::atomic<bool> abort{false};
  TIEProgressRecord progress;
  progress.Aborting = &abort;
  IEReadDICOMStream(stream, params, nullptr, true, progress);
  return abort ? 0 : params.IMAGECOUNT;
}

int32_t IEGetDICOMImageCount(const std::string& fileName) {
  TIEWideFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
  return IEGetDICOMStreamImageCount(file);
}

void IEDicomCodecRead(TIECodecRead& read) {
  IEReadDICOMStream(read.Stream, read.Params, read.Bitmap, read.ParamsOnly, read.Progress);
  read.PageCount = read.Params.IMAGECOUNT;
}
