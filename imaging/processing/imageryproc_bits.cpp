// The two-colour test, the expansion of 1-bit rows to 24 bits and the
// reordering of colour channels.
#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "imaging/codecs/neurquant.h"
#include "imaging/io/imageryio_registry.h"
#include "imaging/processing/imageryproc_bits.h"
#include "imaging/processing/imageryproc_component.h"
#include "imaging/processing/imageryproc_internal.h"

namespace {

// Entry i: the 8 pixels of byte i, most significant bit first, 255 or 0 three times each.
const std::array<std::array<uint8_t, 24>, 256>& ExpansionTable() {
  static const auto table = [] {
    std::array<std::array<uint8_t, 24>, 256> t{};
    for (int32_t i = 0; i < 256; ++i)
      for (int32_t bit = 0; bit < 8; ++bit) {
        const uint8_t v = (i & (0x80 >> bit)) ? 255 : 0;
        t[i][bit * 3] = t[i][bit * 3 + 1] = t[i][bit * 3 + 2] = v;
      }
    return t;
  }();
  return table;
}

uint32_t Packed(TRGB c) { return (uint32_t{c.r} << 16) | (uint32_t{c.g} << 8) | c.b; }

int32_t GreyByte(TRGB c) {
  const auto* s = IEGetGlobalSettings();
  return static_cast<int32_t>(
      std::nearbyint((c.r * s->GrayWeightRed + c.g * s->GrayWeightGreen + c.b * s->GrayWeightBlue) / 100.0));
}

}  // namespace

std::unique_ptr<TIEBitmap> IEConvertTo1BitIfTwoColors(TIEBitmap* bitmap, TRGB& color0, TRGB& color1) {
  if (!bitmap || bitmap->IsEmpty()) return nullptr;
  const int32_t width = bitmap->GetWidth(), height = bitmap->GetHeight();
  auto result = std::make_unique<TIEBitmap>(width, height, ie1g);
  std::vector<uint32_t> colours;
  for (int32_t y = 0; y < height && colours.size() <= 2; ++y) {
    uint8_t* out = result->GetScanline(y);
    for (int32_t x = 0; x < width; ++x) {
      TRGB c;
      bitmap->GetPixelRGB(x, y, c);
      const uint32_t packed = Packed(c);
      if (std::find(colours.begin(), colours.end(), packed) == colours.end()) {
        colours.push_back(packed);
        if (colours.size() == 1) color0 = c;
        if (colours.size() == 2) color1 = c;
      }
      iep::PutBit(out, x, packed != Packed(color0));
    }
  }
  if (colours.size() != 2) return nullptr;
  if (GreyByte(color1) < GreyByte(color0)) {
    for (int32_t y = 0; y < height; ++y) {
      uint8_t* row = result->GetScanline(y);
      for (int64_t i = 0; i < result->RowLength64(); ++i) row[i] = static_cast<uint8_t>(~row[i]);
    }
    std::swap(color0, color1);
  }
  return result;
}

void IEExpand1BitRowTo24Bit(const uint8_t* source, uint8_t* dest, int32_t count) {
  const auto& table = ExpansionTable();
  const int32_t full = count / 8, rest = count % 8;
  for (int32_t i = 0; i < full; ++i) std::memcpy(dest + 24 * static_cast<ptrdiff_t>(i), table[source[i]].data(), 24);
  if (rest) std::memcpy(dest + 24 * static_cast<ptrdiff_t>(full), table[source[full]].data(), static_cast<size_t>(rest) * 3);
}

bool IEReorderChannels(TIEBitmap* bitmap, const std::string& order, TObject* sender,
                       const TIEProgressEvent& onProgress) {
  if (!bitmap || order.size() != 3) return false;
  int32_t index[3];
  for (int32_t i = 0; i < 3; ++i) {
    switch (std::toupper(static_cast<unsigned char>(order[i]))) {
      case 'B': index[i] = 0; break;
      case 'G': index[i] = 1; break;
      case 'R': index[i] = 2; break;
      case '0': index[i] = 3; break;
      default: return false;
    }
  }
  const TIEPixelFormat format = bitmap->GetPixelFormat();
  if (format != ie24RGB && format != ieRGB48) return true;
  const int32_t width = bitmap->GetWidth(), height = bitmap->GetHeight();
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = bitmap->GetScanline(y);
    for (int32_t x = 0; x < width; ++x) {
      if (format == ie24RGB) {
        uint8_t* p = row + 3 * static_cast<ptrdiff_t>(x);
        const uint8_t source[4] = {p[0], p[1], p[2], 0};
        for (int32_t c = 0; c < 3; ++c) p[c] = source[index[c]];
      } else {
        auto* p = reinterpret_cast<uint16_t*>(row) + 3 * static_cast<ptrdiff_t>(x);  // red, green, blue
        const uint16_t source[4] = {p[2], p[1], p[0], 0};
        p[2] = source[index[0]];
        p[1] = source[index[1]];
        p[0] = source[index[2]];
      }
    }
    if (onProgress) onProgress(sender, static_cast<int32_t>(std::trunc(100.0 * y / height)));
  }
  return true;
}

void IEConvert1BitTBitmapTo24Bit(TBitmap& source, TBitmap& dest, TIEProgressRecord& progress) {
  dest.SetSize(1, 1);
  dest.SetPixelFormat(pf24bit);
  dest.SetSize(source.Width(), source.Height());
  const int32_t height = source.Height();
  progress.per1 = 100.0 / (height + 0.5);
  for (int32_t y = 0; y < height; ++y) {
    IEExpand1BitRowTo24Bit(static_cast<const uint8_t*>(source.ScanLine(y)), static_cast<uint8_t*>(dest.ScanLine(y)),
                           source.Width());
    if (progress.fOnProgress)
      progress.fOnProgress(progress.Sender, static_cast<int32_t>(std::trunc(progress.per1 * (y + 1))));
  }
}

void IECopyBitsPerBit(uint8_t* dest, const uint8_t* source, int64_t destBit, int64_t sourceBit, int64_t count) {
  for (int64_t i = 0; i < count; ++i) IESetBit(dest, destBit + i, IEGetBit(source, sourceBit + i));
}

namespace {

// The destination row's byte length at bits per pixel.
int32_t RowBytes(int32_t bits, int32_t count) {
  switch (bits) {
    case 1: return (count + 7) / 8;
    case 4: return (count + 1) / 2;
    case 8: return count;
    case 24: return count * 3;
    default: return 0;
  }
}

// The index of pixel i of a 1, 4 or 8-bit row.
uint8_t IndexAt(const uint8_t* row, int32_t bits, int32_t i) {
  if (bits == 1) return IEGetBit(row, i) ? 1 : 0;
  if (bits == 4) return i % 2 ? row[i / 2] & 0x0F : row[i / 2] >> 4;
  return row[i];
}

// Stores an index into pixel i of a 1, 4 or 8-bit row (OR-ed for 1 and 4 bits).
void PutIndex(uint8_t* row, int32_t bits, int32_t i, uint8_t index) {
  if (bits == 1) {
    if (index) row[i / 8] |= static_cast<uint8_t>(0x80 >> (i % 8));
  } else if (bits == 4) {
    row[i / 2] |= static_cast<uint8_t>(i % 2 ? index & 0x0F : (index & 0x0F) << 4);
  } else {
    row[i] = index;
  }
}

}  // namespace

constexpr TRGB kBlack{0, 0, 0};

int32_t IEConvertRowBitCount(const uint8_t* source, uint8_t* dest, uint16_t sourceBits, uint16_t destBits,
                             uint16_t count, const TRGB* palette, int32_t paletteCount,
                             const TIEQuantizer* quantizer) {
  const int32_t n = count;
  const int32_t length = RowBytes(destBits, n);
  const bool indexed = sourceBits == 1 || sourceBits == 4 || sourceBits == 8;
  if (sourceBits == destBits && destBits != 32 && length > 0) {
    std::memcpy(dest, source, static_cast<size_t>(length));
  } else if (indexed && (destBits == 4 || destBits == 8) && sourceBits < destBits) {
    for (int32_t i = 0; i < n; ++i) PutIndex(dest, destBits, i, IndexAt(source, sourceBits, i));
  } else if (sourceBits == 8 && destBits == 1) {
    std::memset(dest, 0, static_cast<size_t>(length));
    for (int32_t i = 0; i < n; ++i) PutIndex(dest, 1, i, source[i] != 0);
  } else if (indexed && destBits == 24 && palette) {
    for (int32_t i = 0; i < n; ++i) {
      const uint8_t index = IndexAt(source, sourceBits, i);
      std::memcpy(dest + 3 * i, index < paletteCount ? &palette[index] : &kBlack, 3);
    }
  } else if (sourceBits == 24 && (destBits == 4 || destBits == 8) && quantizer) {
    const auto* pixels = reinterpret_cast<const TRGB*>(source);
    for (int32_t i = 0; i < n; ++i)
      PutIndex(dest, destBits, i, static_cast<uint8_t>(quantizer->GetRGBIndex(pixels[i])));
  } else if (sourceBits == 32 && destBits == 24) {
    for (int32_t i = 0; i < n; ++i) std::memcpy(dest + 3 * i, source + 4 * i, 3);
  }
  return length;
}
