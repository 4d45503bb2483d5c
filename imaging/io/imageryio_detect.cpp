// Content detection: signature tests first, then the codecs' content tests
// in a fixed order, the JPEG start search, the plug-ins and camera raw last.
#include "imaging/io/imageryio_detect.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <memory>

#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_tiffifd.h"
#include "imaging/io/imageryio_codecs.h"
#include "imaging/io/imageryio_registry.h"
#include "platform/rtl/files.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"

namespace {

constexpr int32_t kTIFF = 1, kJPEG = 3, kCameraRaw = 20, kCameraRawPlugin = 4096;
constexpr uint16_t kDNGVersionTag = 50706;

// Up to count bytes from the position, which is put back.
int32_t Peek(TStream& stream, int64_t position, uint8_t* buffer, int32_t count) {
  const int32_t got = stream.Read(buffer, count);
  stream.SetPosition(position);
  return got < 0 ? 0 : got;
}

// The first bytes as text up to a zero byte, compared with tag.
bool TagIs(const uint8_t* bytes, int32_t count, const char* tag) {
  const size_t length = strnlen(reinterpret_cast<const char*>(bytes), static_cast<size_t>(count));
  return length == std::strlen(tag) && std::memcmp(bytes, tag, length) == 0;
}

// Steps 1 to 7: the header tags and the signatures of GIF, BMP and PCX.
int32_t DetectSignature(TStream& stream, int64_t position, int64_t remaining) {
  uint8_t b[128] = {};
  const int32_t got = Peek(stream, position, b, static_cast<int32_t>(std::min<int64_t>(remaining, 128)));
  if (got > 12 && TagIs(b, 5, "JFIF")) return kJPEG;
  if (got > 13 && b[0] == 'G' && b[1] == 'I' && b[2] == 'F') return 2;
  if (got > 12 && TagIs(b, 5, "PCX2")) return 4;
  if (got > 4 && TagIs(b, 4, "PCX")) return 4;
  if (got > 14 && b[0] == 'B' && b[1] == 'M') return 5;
  if (got >= 128 && remaining > 128 && b[0] == 0x0A && b[1] <= 5) return 4;
  if (got > 12 && TagIs(b, 5, "TIFF")) return 1;
  return 0;
}

// A TIFF whose first directory names a DNG version: a camera's raw file.
bool IsDNG(TStream& stream, int64_t position) {
  uint8_t h[8] = {};
  if (Peek(stream, position, h, 8) < 8 || (h[0] != 'I' && h[0] != 'M')) return false;
  const bool intel = h[0] == 'I';
  const uint32_t first = intel ? uint32_t{h[7]} << 24 | h[6] << 16 | h[5] << 8 | h[4]
                               : uint32_t{h[4]} << 24 | h[5] << 16 | h[6] << 8 | h[7];
  TIETIFFIFDReader directory;
  directory.Intel = intel;
  directory.Stream = &stream;
  directory.BaseOffset = position;
  int32_t count = 0;
  const bool dng = directory.ReadIFD(0, count, first) && directory.FindTag(kDNGVersionTag) >= 0;
  stream.SetPosition(position);
  return dng;
}

// The camera-raw reader in service: the plug-in's format when registered,
// else the built-in reader; 0 when there is neither.
int32_t CameraRawReader() {
  if (IEFindFormatById(kCameraRawPlugin)) return kCameraRawPlugin;
  return IEFindFormatById(kCameraRaw) && IEFindCodec(kCameraRaw) ? kCameraRaw : 0;
}

// A DNG goes to the camera-raw reader, other TIFFs stay TIFFs.
int32_t TIFFOrCameraRaw(TStream& stream, int64_t position) {
  const int32_t raw = CameraRawReader();
  return raw != 0 && IsDNG(stream, position) ? raw : kTIFF;
}

bool Try(const TIECodecEntry* codec, TStream& stream, int64_t position) {
  if (!codec || !codec->IsFormat) return false;
  stream.SetPosition(position);
  return codec->IsFormat(stream);
}

// The order of the content tests: HD Photo, TIFF, PNG, DICOM, icons,
// cursors, Targa, any-maps, JPEG 2000 (both forms), AVI, DCX, the
// metafiles, PSD and the layer and vector files. Formats without a codec
// here are passed over.
constexpr int32_t kContentOrder[] = {29, 1, 8, 28, 6, 7, 11, 12, 13, 14, 15, 19, 9, 10, 24, 25, 26, 27};

bool InContentOrder(int32_t id) { return std::find(std::begin(kContentOrder), std::end(kContentOrder), id) != std::end(kContentOrder); }

int32_t DetectFrom(TStream& stream, int64_t position) {
  const int64_t remaining = stream.Size() - position;
  if (remaining <= 0) return 0;
  if (int32_t id = DetectSignature(stream, position, remaining)) return id;
  for (int32_t id : kContentOrder)
    if (Try(IEFindCodec(id), stream, position)) return id == kTIFF ? TIFFOrCameraRaw(stream, position) : id;
  // Other codecs with a content test, in table order.
  for (const TIECodecEntry& codec : IECodecTable())
    if (codec.FileTypeId != kJPEG && codec.FileTypeId != kCameraRaw && !InContentOrder(codec.FileTypeId) &&
        Try(&codec, stream, position))
      return codec.FileTypeId;
  if (Try(IEFindCodec(kJPEG), stream, position)) return kJPEG;
  for (int32_t i = 0; i < IEFileFormatCount(); ++i) {
    const TIEFileFormatInfo* entry = IEFileFormatAt(i);
    if (!entry->TryProc) continue;
    stream.SetPosition(position);
    if (entry->TryProc(stream, entry->FileTypeId)) return entry->FileTypeId;
  }
  if (IEFindFormatById(kCameraRaw) && Try(IEFindCodec(kCameraRaw), stream, position)) return kCameraRaw;
  return 0;
}

}  // namespace

int32_t IEDetectStreamFormat(TStream& stream) {
  const int64_t position = stream.Position();
  int32_t id = 0;
  try {
    id = DetectFrom(stream, position);
  } catch (...) {
    id = 0;
  }
  stream.SetPosition(position);
  return id;
}

bool IEIsAVIStream(TStream& stream) {
  const int64_t position = stream.Position();
  uint8_t b[12] = {};
  const int32_t got = Peek(stream, position, b, 12);
  return got == 12 && std::memcmp(b, "RIFF", 4) == 0 && std::memcmp(b + 8, "AVI ", 4) == 0;
}

std::string IELowerExtension(const std::string& fileName) { return LowerCase(ExtractFileExt(fileName)); }

int32_t IEFindFileFormat(const std::string& fileName, bool verify) {
  if (fileName.empty() || !FileExists(fileName)) return 0;
  int32_t result = 0;
  try {
    TIEWideFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
    result = IEDetectStreamFormat(file);
  } catch (...) {
    result = 0;
  }
  const TIEFileFormatInfo* entry = IEFindFormatByExtension(IELowerExtension(fileName));
  if (entry && entry->FileTypeId == kCameraRaw && result == 1) result = kCameraRaw;
  if (entry && !entry->BuiltIn) return entry->FileTypeId;
  if (verify && result != 0) {
    if (!entry)
      result = 0;
    else if (result == 6 || result == 7)
      result = entry->FileTypeId;
    else if (entry->FileTypeId != result)
      result = 0;
  }
  return result;
}

bool IEIsKnownFileFormat(const std::string& fileName, bool includeVideo) {
  const std::string extension = IELowerExtension(fileName);
  if (IEExtInList(extension, "*.avi;*.mpe;*.mpg;*.mpeg;*.wmv;")) return includeVideo;
  const TIEFileFormatInfo* entry = IEFindFormatByExtension(extension);
  return entry && entry->ReadProc;
}
