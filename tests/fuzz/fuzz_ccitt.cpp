// The fax decoders on arbitrary bytes: the first byte picks the coding,
// the fill order and the end-of-line scan, the next two the width, the
// rest is the strip. Every decoded row is then coded again by the matching
// encoder and must decode to itself.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "imaging/codecs/tifccitt.h"
#include "platform/rtl/streams.h"
#include "tests/fuzz/fuzz_imaging.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  StartImagingLibrary();
  return 0;
}

namespace {

enum Coding { kMH, kOneD, kG3, kG4, kCodings };

std::vector<std::vector<uint8_t>> DecodeRows(int coding, const uint8_t* data, int64_t length, int32_t width,
                                             int32_t fillOrder, bool eolScan, int32_t rows) {
  const auto rowBytes = static_cast<size_t>((width + 7) / 8);
  std::vector<std::vector<uint8_t>> out;
  std::vector<uint8_t> reference(rowBytes, 0xFF);
  int64_t bit = 0, byte = 0;
  for (int32_t y = 0; y < rows; ++y) {
    if (bit > length * 8 + 64 || byte > length) break;
    std::vector<uint8_t> row(rowBytes);
    switch (coding) {
      case kMH: byte += IECCITTDecodeRowMH(row.data(), data + byte, length - byte, fillOrder, width); break;
      case kOneD: bit = IECCITTDecodeRow1D(row.data(), data, length, fillOrder, bit, width); break;
      default:
        bit = IECCITTDecodeRow2D(row.data(), data, length, coding == kG3 || eolScan, fillOrder, bit,
                                 reference.data(), width);
        break;
    }
    out.push_back(row);
  }
  return out;
}

std::vector<uint8_t> EncodeRows(int coding, const std::vector<std::vector<uint8_t>>& rows, int32_t width,
                                int32_t fillOrder) {
  TMemoryStream stream;
  bool failed = false;
  int32_t bits = 0;
  uint8_t pending = 0;
  std::vector<uint8_t> reference;
  for (size_t y = 0; y <= rows.size(); ++y) {
    std::vector<uint8_t> row;
    if (y < rows.size()) {
      row = rows[y];
      for (uint8_t& b : row) b = static_cast<uint8_t>(~b);
    }
    const uint8_t* p = y < rows.size() ? row.data() : nullptr;
    switch (coding) {
      case kMH:
        if (p) IECCITTEncodeRowMH(p, width, stream, fillOrder, failed);
        break;
      case kOneD: IECCITTEncodeRowG31D(p, width, stream, fillOrder, failed, bits, pending); break;
      case kG3: IECCITTEncodeRowG3(p, width, stream, fillOrder, failed, reference, bits, pending); break;
      default: IECCITTEncodeRowG4(p, width, stream, fillOrder, failed, reference, bits, pending); break;
    }
  }
  const auto* bytes = static_cast<const uint8_t*>(stream.Memory());
  return std::vector<uint8_t>(bytes, bytes + stream.Size());
}

// The padding bits of a row past the width set, as the decoders leave them.
void WhitePadding(std::vector<uint8_t>& row, int32_t width) {
  if (width % 8 && !row.empty()) row.back() = static_cast<uint8_t>(row.back() | (0xFF >> (width % 8)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3 || size > (1 << 16)) return 0;
  const int coding = data[0] % kCodings;
  const int32_t fillOrder = (data[0] >> 2) & 1 ? 2 : 1;
  const bool eolScan = (data[0] >> 3) & 1;
  const int32_t width = 1 + ((data[1] | (data[2] << 8)) % 3000);
  const uint8_t* strip = data + 3;
  const auto length = static_cast<int64_t>(size - 3);
  auto rows = DecodeRows(coding, strip, length, width, fillOrder, eolScan, 64);
  for (auto& row : rows) WhitePadding(row, width);
  const std::vector<uint8_t> coded = EncodeRows(coding, rows, width, fillOrder);
  auto again = DecodeRows(coding, coded.data(), static_cast<int64_t>(coded.size()), width, fillOrder, false,
                          static_cast<int32_t>(rows.size()));
  for (auto& row : again) WhitePadding(row, width);
  if (again != rows) std::abort();
  return 0;
}
