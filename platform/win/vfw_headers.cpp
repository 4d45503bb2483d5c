// The header list of an AVI file ("hdrl"): one "strl" list per stream with
// its stream header ("strh"), format ("strf") and name ("strn").
#include <algorithm>
#include <cstring>

#include "platform/win/vfw_internal.h"

namespace vfw {

namespace {

// Larger header lists than this are taken for damage.
constexpr uint32_t kMaxHeaderList = 16u << 20;
// Top-level chunks passed over while looking for the header list.
constexpr int kMaxLeadingChunks = 64;

uint32_t ReadU32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
uint16_t ReadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
int16_t ReadI16(const uint8_t* p) { return static_cast<int16_t>(ReadU16(p)); }

// Calls visit(id, body, size) for every chunk of the block; a chunk that
// runs past the block ends the walk. Returns false then.
template <typename Visit>
bool ForEachChunk(const uint8_t* block, size_t size, Visit visit) {
  size_t pos = 0;
  while (size - pos >= 8) {
    const uint32_t id = ReadU32(block + pos), length = ReadU32(block + pos + 4);
    if (length > size - pos - 8) return false;
    visit(id, block + pos + 8, static_cast<size_t>(length));
    pos += 8 + static_cast<size_t>(length) + (length & 1);
    if (pos > size) break;
  }
  return true;
}

void ReadStreamHeader(const uint8_t* p, size_t size, AVISTREAMINFOW& info) {
  uint8_t raw[56] = {};
  std::memcpy(raw, p, std::min(size, sizeof raw));
  info.fccType = ReadU32(raw);
  info.fccHandler = ReadU32(raw + 4);
  info.dwFlags = ReadU32(raw + 8);
  info.wPriority = ReadU16(raw + 12);
  info.wLanguage = ReadU16(raw + 14);
  info.dwInitialFrames = ReadU32(raw + 16);
  info.dwScale = ReadU32(raw + 20);
  info.dwRate = ReadU32(raw + 24);
  info.dwStart = ReadU32(raw + 28);
  info.dwLength = ReadU32(raw + 32);
  info.dwSuggestedBufferSize = ReadU32(raw + 36);
  info.dwQuality = ReadU32(raw + 40);
  info.dwSampleSize = ReadU32(raw + 44);
  info.rcFrame = {ReadI16(raw + 48), ReadI16(raw + 50), ReadI16(raw + 52), ReadI16(raw + 54)};
}

void ReadStreamName(const uint8_t* p, size_t size, AVISTREAMINFOW& info) {
  const size_t count = std::min(size, std::size(info.szName) - 1);
  for (size_t i = 0; i < count && p[i]; ++i) info.szName[i] = p[i];
}

void ReadStreamList(const uint8_t* list, size_t size, std::vector<TAVIStreamHeader>& streams) {
  TAVIStreamHeader stream;
  bool hasHeader = false;
  ForEachChunk(list, size, [&](uint32_t id, const uint8_t* body, size_t length) {
    if (id == VfwFourCC('s', 't', 'r', 'h') && length >= 48) {
      ReadStreamHeader(body, length, stream.info);
      hasHeader = true;
    } else if (id == VfwFourCC('s', 't', 'r', 'f')) {
      stream.format.assign(body, body + length);
    } else if (id == VfwFourCC('s', 't', 'r', 'n')) {
      ReadStreamName(body, length, stream.info);
    }
  });
  if (hasHeader) streams.push_back(std::move(stream));
}

bool ReadBytes(std::FILE* file, uint64_t pos, void* buffer, size_t size) {
  return fseeko(file, static_cast<off_t>(pos), SEEK_SET) == 0 && std::fread(buffer, 1, size, file) == size;
}

}  // namespace

bool ReadAVIStreamHeaders(std::FILE* file, uint64_t fileSize, std::vector<TAVIStreamHeader>& streams) {
  streams.clear();
  uint8_t head[12];
  if (!ReadBytes(file, 0, head, sizeof head) || ReadU32(head) != VfwFourCC('R', 'I', 'F', 'F') ||
      ReadU32(head + 8) != VfwFourCC('A', 'V', 'I', ' '))
    return false;
  const uint64_t end = std::min<uint64_t>(fileSize, 8 + static_cast<uint64_t>(ReadU32(head + 4)));
  uint64_t pos = 12;
  for (int chunk = 0; chunk < kMaxLeadingChunks && pos + 12 <= end; ++chunk) {
    uint8_t header[12];
    if (!ReadBytes(file, pos, header, sizeof header)) return false;
    const uint32_t length = ReadU32(header + 4);
    const bool isList = ReadU32(header) == VfwFourCC('L', 'I', 'S', 'T');
    if (isList && ReadU32(header + 8) == VfwFourCC('h', 'd', 'r', 'l')) {
      if (length < 4 || length > kMaxHeaderList || length - 4 > end - pos - 12) return false;
      std::vector<uint8_t> list(length - 4);
      if (!ReadBytes(file, pos + 12, list.data(), list.size())) return false;
      ForEachChunk(list.data(), list.size(), [&](uint32_t id, const uint8_t* body, size_t size) {
        if (id == VfwFourCC('L', 'I', 'S', 'T') && size >= 4 && ReadU32(body) == VfwFourCC('s', 't', 'r', 'l'))
          ReadStreamList(body + 4, size - 4, streams);
      });
      return true;
    }
    // The movie data before any header list: not a file to read.
    if (isList && ReadU32(header + 8) == VfwFourCC('m', 'o', 'v', 'i')) return false;
    pos += 8 + static_cast<uint64_t>(length) + (length & 1);
  }
  return false;
}

}  // namespace vfw
