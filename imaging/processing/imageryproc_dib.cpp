// Packed DIBs in and out: the header, colour table, bit-field masks and rows
// of uncompressed DIBs, the packed and planar YUV formats of capture
// devices, and the mirror routine.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_mask.h"
#include "imaging/core/ruduvazez_dibbitmap.h"
#include "imaging/processing/imageryproc.h"
#include "platform/win/globalmem.h"

namespace {

uint32_t Read32(const uint8_t* p) {
  return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}
uint16_t Read16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
void Write32(uint8_t* p, uint32_t v) {
  for (int32_t i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
void Write16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

constexpr uint32_t FourCC(const char (&code)[5]) {
  return uint32_t(uint8_t(code[0])) | (uint32_t(uint8_t(code[1])) << 8) | (uint32_t(uint8_t(code[2])) << 16) |
         (uint32_t(uint8_t(code[3])) << 24);
}

// The header fields the reader uses, as read.
struct TDibHeader {
  uint32_t Size;
  int32_t Width, Height;
  uint16_t BitCount;
  uint32_t Compression;
  uint32_t ColorsUsed;
};

uint8_t ClampRound(double v) { return static_cast<uint8_t>(std::clamp(std::nearbyint(v), 0.0, 255.0)); }

// The floating YUV conversion.
TRGB YuvFloat(int32_t y, int32_t u, int32_t v) {
  const double l = (y - 16) * 1.164;
  return {ClampRound(l + (u - 128) * 2.018), ClampRound(l - (v - 128) * 0.813 - (u - 128) * 0.391),
          ClampRound(l + (v - 128) * 1.596)};
}

// The integer YUV conversion of YUY2 and YUNV.
TRGB YuvInteger(int32_t y, int32_t u, int32_t v) {
  const int32_t e = 298 * y - 4640;
  return {IEClampByte((e + 516 * (u - 128)) / 256), IEClampByte((e - 100 * (u - 128) - 208 * (v - 128)) / 256),
          IEClampByte((e + 409 * (v - 128)) / 256)};
}

// A packed 4:2:2 layout: the byte offsets of Y0, U, Y1 and V in each 4-byte pair.
struct TPacked422 {
  uint32_t Code;
  int32_t Y0, U, Y1, V;
  bool Integer;
  bool TopDownWhenNegative;  // the top row comes first when the height is negative
};

const TPacked422 kPacked422[] = {
    {FourCC("UYVY"), 1, 0, 3, 2, false, false}, {FourCC("UYNV"), 1, 0, 3, 2, false, false},
    {FourCC("cyuv"), 1, 0, 3, 2, false, true},  {FourCC("YVYU"), 0, 3, 2, 1, false, false},
    {FourCC("YUY2"), 0, 1, 2, 3, true, false},  {FourCC("YUNV"), 0, 1, 2, 3, true, false},
};

// A planar 4:2:0 (or 4:1:0) layout: chroma subsampling and which plane comes first.
struct TPlanar {
  uint32_t Code;
  int32_t Step;   // one chroma sample for Step x Step pixels
  bool VFirst;    // the V plane before the U plane
};

const TPlanar kPlanar[] = {
    {FourCC("YVU9"), 4, true}, {FourCC("YV12"), 2, true}, {FourCC("I420"), 2, false}, {FourCC("IYUV"), 2, false}};

// Writes row r of a DIB whose rows run top-down or bottom-up.
int32_t TargetRow(int32_t r, int32_t height, bool topDown) { return topDown ? r : height - 1 - r; }

// Decodes the YUV formats; false for a FourCC it does not know or data too short.
bool DecodeYuv(const TDibHeader& h, const uint8_t* bits, size_t available, TIEBitmap* bitmap) {
  const int32_t width = h.Width, height = std::abs(h.Height);
  const int64_t pixels = int64_t{width} * height;
  for (const TPacked422& f : kPacked422) {
    if (f.Code != h.Compression) continue;
    if (width % 2 != 0 || pixels > static_cast<int64_t>(available / 2)) return false;
    const bool topDown = f.TopDownWhenNegative ? h.Height < 0 : h.Height > 0;
    if (!bitmap->Allocate(width, height, ie24RGB)) return false;
    for (int32_t r = 0; r < height; ++r) {
      const uint8_t* in = bits + int64_t{r} * width * 2;
      TRGB* out = reinterpret_cast<TRGB*>(bitmap->GetScanline(TargetRow(r, height, topDown)));
      for (int32_t x = 0; x < width; x += 2, in += 4) {
        const auto convert = f.Integer ? YuvInteger : YuvFloat;
        out[x] = convert(in[f.Y0], in[f.U], in[f.V]);
        out[x + 1] = convert(in[f.Y1], in[f.U], in[f.V]);
      }
    }
    return true;
  }
  if (h.Compression == FourCC("IYU2")) {
    if (pixels > static_cast<int64_t>(available / 3) || !bitmap->Allocate(width, height, ie24RGB)) return false;
    for (int32_t r = 0; r < height; ++r) {
      const uint8_t* in = bits + int64_t{r} * width * 3;
      TRGB* out = reinterpret_cast<TRGB*>(bitmap->GetScanline(TargetRow(r, height, h.Height > 0)));
      for (int32_t x = 0; x < width; ++x, in += 3) out[x] = YuvFloat(in[1], in[0], in[2]);
    }
    return true;
  }
  for (const TPlanar& f : kPlanar) {
    if (f.Code != h.Compression) continue;
    if (width % f.Step != 0 || height % f.Step != 0) return false;
    const int64_t chroma = pixels / (int64_t{f.Step} * f.Step);
    if (pixels + 2 * chroma > static_cast<int64_t>(available) || !bitmap->Allocate(width, height, ie24RGB))
      return false;
    const uint8_t* luma = bits;
    const uint8_t* v = bits + pixels + (f.VFirst ? 0 : chroma);
    const uint8_t* u = bits + pixels + (f.VFirst ? chroma : 0);
    const int32_t chromaWidth = width / f.Step;
    for (int32_t r = 0; r < height; ++r) {
      TRGB* out = reinterpret_cast<TRGB*>(bitmap->GetScanline(TargetRow(r, height, h.Height > 0)));
      const int64_t c = int64_t{r / f.Step} * chromaWidth;
      for (int32_t x = 0; x < width; ++x)
        out[x] = YuvFloat(luma[int64_t{r} * width + x], u[c + x / f.Step], v[c + x / f.Step]);
    }
    return true;
  }
  return false;
}

// One channel of a bit-field mask scaled to 8 bits.
struct TMaskChannel {
  uint32_t Mask = 0;
  int32_t Low = 0, Width = 0;
  explicit TMaskChannel(uint32_t mask) : Mask(mask) {
    if (!mask) return;
    while (!(mask & 1)) {
      mask >>= 1;
      ++Low;
    }
    Width = IEBitMaskWidth(Mask);
  }
  uint8_t Value(uint32_t v) const {
    const uint32_t raw = (v & Mask) >> Low;
    return static_cast<uint8_t>(Width >= 8 ? raw >> (Width - 8) : raw << (8 - Width));
  }
  // Non-empty and one run of set bits.
  bool Valid() const {
    const uint32_t run = Mask >> Low;
    return Mask != 0 && (run & (run + 1)) == 0;
  }
};

}  // namespace

int32_t IECopyDIBToBitmap(const uint8_t* dib, size_t size, TIEBitmap* bitmap, const uint8_t* bits, size_t bitsSize) {
  if (!dib || !bitmap || size < 40) return 0;
  TDibHeader h{Read32(dib), static_cast<int32_t>(Read32(dib + 4)), static_cast<int32_t>(Read32(dib + 8)),
               Read16(dib + 14), Read32(dib + 16), Read32(dib + 32)};
  if (h.Size < 40 || h.Size > size || h.Width < 1 || h.Height == 0 || h.Height == INT32_MIN) return 0;
  const int32_t width = h.Width, height = std::abs(h.Height);
  // Where the pixels start: after the header, the masks and the colour table.
  int64_t offset = h.Size;
  const bool bitFields = h.Compression == 3;
  if (bitFields && (h.BitCount == 16 || h.BitCount == 32)) offset += h.Size == 40 ? 12 : 0;
  int64_t colors = 0;
  if (h.BitCount <= 8 && (h.BitCount == 1 || h.BitCount == 4 || h.BitCount == 8)) {
    const int64_t most = int64_t{1} << h.BitCount;
    if (h.ColorsUsed > most) return 0;
    colors = h.ColorsUsed ? h.ColorsUsed : most;
  }
  const uint8_t* table = dib + offset;
  if (offset + colors * 4 > static_cast<int64_t>(size)) return 0;
  const int64_t pixelStart = offset + colors * 4;
  const uint8_t* pixels = bits ? bits : dib + pixelStart;
  const size_t available = bits ? bitsSize : size - static_cast<size_t>(pixelStart);

  if (h.Compression > 3) return DecodeYuv(h, pixels, available, bitmap) ? h.BitCount : 0;
  // Run-length data (1, 2) is refused rather than read as rows.
  if (h.Compression == 1 || h.Compression == 2) return 0;
  if (h.BitCount != 1 && h.BitCount != 4 && h.BitCount != 8 && h.BitCount != 16 && h.BitCount != 24 &&
      h.BitCount != 32)
    return 0;
  if (bitFields && h.BitCount != 16 && h.BitCount != 32) return 0;
  if (h.BitCount == 24 && h.Compression != 0) return 0;
  // In 64 bits: a width near 2^31 at 32 bits would wrap a 32-bit row length.
  const int64_t rowLen = (int64_t{width} * h.BitCount + 31) / 32 * 4;
  // Divided, not multiplied: a row length near 2^33 times a tall height wraps 64 bits.
  if (rowLen < 1 || height > static_cast<int64_t>(available) / rowLen) return 0;

  TMaskChannel red(0x7C00), green(0x03E0), blue(0x001F);
  if (h.BitCount == 16 && bitFields) {
    // After a 40-byte header, or inside a longer one at the same place.
    const uint8_t* masks = dib + 40;
    if (size < 52) return 0;
    red = TMaskChannel(Read32(masks));
    green = TMaskChannel(Read32(masks + 4));
    blue = TMaskChannel(Read32(masks + 8));
    if (!red.Valid() || !green.Valid() || !blue.Valid()) return 0;
  }
  std::vector<TRGB> palette(256);
  for (int64_t i = 0; i < colors; ++i) palette[i] = {table[i * 4], table[i * 4 + 1], table[i * 4 + 2]};
  const auto entry = [&](uint32_t index) { return index < colors ? palette[index] : TRGB{}; };

  if (!bitmap->Allocate(width, height, h.BitCount == 1 ? ie1g : ie24RGB)) return 0;
  const bool invert = h.BitCount == 1 && palette[0].r == 255;
  for (int32_t r = 0; r < height; ++r) {
    const uint8_t* in = pixels + rowLen * r;
    uint8_t* out = bitmap->GetScanline(TargetRow(r, height, h.Height < 0));
    switch (h.BitCount) {
      case 1: {
        const size_t bytes = static_cast<size_t>((width + 7) / 8);
        for (size_t i = 0; i < bytes; ++i) out[i] = invert ? static_cast<uint8_t>(~in[i]) : in[i];
        break;
      }
      case 4:
        for (int32_t x = 0; x < width; ++x)
          reinterpret_cast<TRGB*>(out)[x] = entry(x % 2 == 0 ? in[x / 2] >> 4 : in[x / 2] & 15);
        break;
      case 8:
        for (int32_t x = 0; x < width; ++x) reinterpret_cast<TRGB*>(out)[x] = entry(in[x]);
        break;
      case 16:
        for (int32_t x = 0; x < width; ++x) {
          const uint32_t v = Read16(in + 2 * x);
          reinterpret_cast<TRGB*>(out)[x] = {blue.Value(v), green.Value(v), red.Value(v)};
        }
        break;
      case 24:
        std::memcpy(out, in, static_cast<size_t>(width) * 3);
        break;
      default:  // 32
        for (int32_t x = 0; x < width; ++x) std::memcpy(out + 3 * int64_t{x}, in + 4 * int64_t{x}, 3);
        break;
    }
  }
  return h.BitCount;
}

int32_t IECopyDIBToBitmap(HGLOBAL dib, TIEBitmap* bitmap) {
  if (!dib) return 0;
  const auto* data = static_cast<const uint8_t*>(GlobalLock(dib));
  const int32_t result = IECopyDIBToBitmap(data, GlobalSize(dib), bitmap, nullptr, 0);
  GlobalUnlock(dib);
  return result;
}

int32_t IEDrawDIBToDibBitmap(const uint8_t* dib, size_t size, TIEDibbitmap* dest, const uint8_t* bits,
                             size_t bitsSize) {
  // Read through the checked reader, so that nothing the DIB does not hold is drawn.
  TIEBitmap decoded;
  const int32_t bitCount = dest ? IECopyDIBToBitmap(dib, size, &decoded, bits, bitsSize) : 0;
  // The depth of what was decoded: a YUV frame may declare any bit count.
  if (bitCount == 0 || !dest->AllocateBits(decoded.GetWidth(), decoded.GetHeight(), decoded.GetBitCount()))
    return bitCount;
  const size_t bytes = static_cast<size_t>(IEBitmapRowLen(decoded.GetWidth(), decoded.GetBitCount(), 8));
  for (int32_t y = 0; y < decoded.GetHeight(); ++y) std::memcpy(dest->GetScanline(y), decoded.GetScanline(y), bytes);
  return bitCount;
}

HGLOBAL _CopyBitmaptoDIBEx(TIEBitmap* bitmap, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t dpiX,
                           int32_t dpiY) {
  if (!bitmap) return nullptr;
  const TIEPixelFormat format = bitmap->GetPixelFormat();
  if (format != ie1g && format != ie8p && format != ie8g && format != ie24RGB && !bitmap->IsEmpty()) {
    TIEBitmap copy(bitmap->GetWidth(), bitmap->GetHeight(), ie24RGB);
    for (int32_t y = 0; y < copy.GetHeight(); ++y)
      for (int32_t x = 0; x < copy.GetWidth(); ++x) {
        TRGB rgb;
        bitmap->GetPixelRGB(x, y, rgb);
        copy.SetPixel24(x, y, rgb);
      }
    return _CopyBitmaptoDIBEx(&copy, x1, y1, x2, y2, dpiX, dpiY);
  }
  if (x2 == 0) x2 = bitmap->GetWidth();
  if (y2 == 0) y2 = bitmap->GetHeight();
  x1 = std::max(x1, 0);
  y1 = std::max(y1, 0);
  x2 = std::min(x2, bitmap->GetWidth());
  y2 = std::min(y2, bitmap->GetHeight());
  const int32_t width = std::max(x2 - x1, 0), height = std::max(y2 - y1, 0);
  const int32_t bitCount = format == ie1g ? 1 : (format == ie24RGB ? 24 : 8);
  const int64_t rowLen = IEBitmapRowLen(width, bitCount, 32);
  const int64_t tableBytes = format == ie1g ? 8 : (bitCount == 8 ? 1024 : 0);
  const int64_t size = 44 + tableBytes + rowLen * height;
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, static_cast<size_t>(size));
  if (!block) return nullptr;
  auto* out = static_cast<uint8_t*>(GlobalLock(block));
  std::memset(out, 0, static_cast<size_t>(size));
  Write32(out, 40);
  Write32(out + 4, static_cast<uint32_t>(width));
  Write32(out + 8, static_cast<uint32_t>(height));
  Write16(out + 12, 1);
  Write16(out + 14, static_cast<uint16_t>(bitCount));
  Write32(out + 24, static_cast<uint32_t>(std::trunc(dpiX * 39.3700787)));
  Write32(out + 28, static_cast<uint32_t>(std::trunc(dpiY * 39.3700787)));
  uint8_t* table = out + 40;
  if (format == ie1g) {
    Write32(table + 4, 0xFFFFFFFF);
  } else if (bitCount == 8) {
    for (int32_t i = 0; i < 256; ++i) {
      TRGB c{static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i)};
      if (format == ie8p) bitmap->GetPaletteColor(i, c);
      table[i * 4] = c.b;
      table[i * 4 + 1] = c.g;
      table[i * 4 + 2] = c.r;
    }
  }
  uint8_t* rows = table + tableBytes;
  for (int32_t r = 0; r < height; ++r) {
    uint8_t* dest = rows + rowLen * r;
    const uint8_t* source = bitmap->GetScanline(y2 - 1 - r);
    if (format == ie1g)
      IECopyBits(dest, source, 0, x1, width, bitmap->GetRowLength());
    else
      std::memcpy(dest, source + int64_t{x1} * (bitCount / 8), static_cast<size_t>(int64_t{width} * (bitCount / 8)));
  }
  GlobalUnlock(block);
  return block;
}
