// Bitmaps and DIBs, and everything that moves pixels between them: BitBlt,
// StretchBlt with its stretch modes, PlgBlt, the DIB transfers, AlphaBlend,
// TransparentBlt and GradientFill.
//
// Every blit gathers its source rectangle into a 32-bit buffer first (so a
// DC may blit onto itself) and then runs one stretch loop over the visible
// destination pixels with a per-pixel combine step.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/win/gdi_internal.h"

using namespace gdi;

namespace {

constexpr int64_t kMaxPixels = int64_t{1} << 28;  // 1 GiB at 32 bits
constexpr int kMaxSide = 1 << 16;

ptrdiff_t DibStride(int width, int bpp) { return ((static_cast<ptrdiff_t>(width) * bpp + 31) / 32) * 4; }

// The default colour tables for conversions into indexed DIBs.
std::vector<RGBQUAD> DefaultTable(int bpp) {
  std::vector<RGBQUAD> t;
  if (bpp == 1) {
    t = {{0, 0, 0, 0}, {255, 255, 255, 0}};
  } else if (bpp == 4) {
    static const uint8_t vga[16][3] = {{0, 0, 0},     {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                                       {0, 0, 128},   {128, 0, 128}, {0, 128, 128}, {128, 128, 128},
                                       {192, 192, 192}, {255, 0, 0}, {0, 255, 0},   {255, 255, 0},
                                       {0, 0, 255},   {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
    for (auto& c : vga) t.push_back({c[2], c[1], c[0], 0});
  } else if (bpp == 8) {
    for (int r = 0; r < 6; ++r)
      for (int g = 0; g < 6; ++g)
        for (int b = 0; b < 6; ++b)
          t.push_back({static_cast<BYTE>(b * 51), static_cast<BYTE>(g * 51), static_cast<BYTE>(r * 51), 0});
    for (int i = 0; i < 40; ++i) {
      auto v = static_cast<BYTE>(i * 255 / 39);
      t.push_back({v, v, v, 0});
    }
  }
  return t;
}

// A DIB described by a caller's BITMAPINFO, checked.
struct DibInfo {
  BitmapObj fmt;  // bpp, colours, masks; not registered
  int width = 0, height = 0;
  bool topDown = false;
  ptrdiff_t stride = 0;
  bool ok = false;
};

DibInfo ParseDib(const BITMAPINFO* info, UINT usage, const DCObj* dc) {
  DibInfo d;
  if (!info) return d;
  const BITMAPINFOHEADER& h = info->bmiHeader;
  if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biWidth <= 0 || h.biHeight == 0) return d;
  if (h.biWidth > kMaxSide || std::abs(static_cast<int64_t>(h.biHeight)) > kMaxSide) return d;
  int bpp = h.biBitCount;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return d;
  if (h.biCompression != BI_RGB && !(h.biCompression == BI_BITFIELDS && (bpp == 16 || bpp == 32))) return d;
  d.width = h.biWidth;
  d.height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
  d.topDown = h.biHeight < 0;
  d.stride = DibStride(d.width, bpp);
  d.fmt.bpp = bpp;
  d.fmt.dib = true;
  const auto* after = reinterpret_cast<const uint8_t*>(info) + h.biSize;
  if (h.biCompression == BI_BITFIELDS) std::memcpy(d.fmt.masks, after, sizeof d.fmt.masks);
  if (bpp <= 8) {
    unsigned n = h.biClrUsed && h.biClrUsed < (1u << bpp) ? h.biClrUsed : (1u << bpp);
    if (usage == DIB_PAL_COLORS) {
      const PaletteObj* pal = dc ? dc->s.palette : nullptr;
      for (unsigned i = 0; i < n; ++i) {
        uint16_t idx;
        std::memcpy(&idx, after + 2 * i, 2);
        PALETTEENTRY e = pal && idx < pal->entries.size() ? pal->entries[idx] : PALETTEENTRY{};
        d.fmt.colors.push_back({e.peBlue, e.peGreen, e.peRed, 0});
      }
    } else {
      d.fmt.colors.resize(n);
      std::memcpy(d.fmt.colors.data(), after, n * sizeof(RGBQUAD));
    }
  }
  d.ok = static_cast<int64_t>(d.width) * d.height <= kMaxPixels;
  return d;
}

// Source pixels gathered into a 32-bit buffer; (x0, y0) is the buffer's
// corner in the source's coordinates.
struct SrcImage {
  int x0 = 0, y0 = 0, width = 0, height = 0;
  std::vector<uint32_t> px;
  bool Has(int x, int y) const { return x >= x0 && y >= y0 && x < x0 + width && y < y0 + height; }
  uint32_t At(int x, int y) const { return px[static_cast<size_t>(y - y0) * width + (x - x0)]; }
};

// `rect` in source target coordinates, clipped to `bounds`.
template <typename Read>
SrcImage Gather(RECT rect, const RECT& bounds, Read read) {
  SrcImage img;
  if (!IntersectRects(rect, rect, bounds)) return img;
  img.x0 = rect.left;
  img.y0 = rect.top;
  img.width = rect.right - rect.left;
  img.height = rect.bottom - rect.top;
  img.px.resize(static_cast<size_t>(img.width) * img.height);
  for (int y = 0; y < img.height; ++y)
    for (int x = 0; x < img.width; ++x) img.px[static_cast<size_t>(y) * img.width + x] = read(x + img.x0, y + img.y0);
  return img;
}

RECT Normalize(int x, int y, int w, int h) {
  return {std::min(x, x + w), std::min(y, y + h), std::max(x, x + w), std::max(y, y + h)};
}

SrcImage FromDC(DCObj* src, const DCObj* dest, int x, int y, int w, int h) {
  POINT o = TargetPoint(src, x, y);
  RECT area = Normalize(o.x, o.y, w, h);
  SourcePixels sp(src, dest, &area);
  if (!sp.Ok()) return {};
  if (!sp.mono && !sp.toMono) {  // rows copy as they are
    SrcImage img;
    if (!IntersectRects(area, area, sp.lock.View().valid)) return img;
    img.x0 = area.left;
    img.y0 = area.top;
    img.width = area.right - area.left;
    img.height = area.bottom - area.top;
    img.px.resize(static_cast<size_t>(img.width) * img.height);
    for (int yy = 0; yy < img.height; ++yy)
      std::memcpy(&img.px[static_cast<size_t>(yy) * img.width], sp.lock.View().Row(area.top + yy) + area.left,
                  static_cast<size_t>(img.width) * 4);
    return img;
  }
  return Gather(area, sp.lock.View().valid, [&](int px, int py) { return sp.At(px, py); });
}

// The source rectangle maps onto the destination rectangle; `combine`
// makes each destination pixel from the source and destination pixels.
using Combine = std::function<uint32_t(uint32_t src, uint32_t dst, int x, int y)>;

struct Stretch {
  int sx, sy, sw, sh;  // source rectangle (sizes may be negative: mirror)
  int mode = COLORONCOLOR;
};

// `copy`: the combine step is a plain copy (SRCCOPY), so unscaled blits move rows.
void StretchInto(DCObj* dest, int x, int y, int w, int h, const SrcImage& src, const Stretch& st,
                 const Combine& combine, bool copy = false) {
  if (w == 0 || h == 0 || st.sw == 0 || st.sh == 0) return;
  POINT p0 = TargetPoint(dest, x, y), p1 = TargetPoint(dest, x + w, y + h);
  // A negative extent runs back from the start pixel: (x + w, x].
  RECT target{p1.x < p0.x ? p1.x + 1 : p0.x, p1.y < p0.y ? p1.y + 1 : p0.y, p1.x < p0.x ? p0.x + 1 : p1.x,
              p1.y < p0.y ? p0.y + 1 : p1.y};
  TargetLock lock(dest, true, &target);
  if (!lock.Ok()) return;
  std::vector<RECT> clip = ClipRects(dest, lock.View());
  int tw = target.right - target.left, th = target.bottom - target.top;
  if (tw == 0 || th == 0) return;
  bool mirrorX = (p1.x < p0.x) != (st.sw < 0), mirrorY = (p1.y < p0.y) != (st.sh < 0);
  int sl = std::min(st.sx, st.sx + st.sw), stp = std::min(st.sy, st.sy + st.sh);
  int asw = std::abs(st.sw), ash = std::abs(st.sh);
  if (copy && asw == tw && ash == th && !mirrorX && !mirrorY) {  // plain copies move rows
    for (const RECT& c : clip) {
      RECT r;
      if (!IntersectRects(r, c, target)) continue;
      const int dx = sl - target.left, dy = stp - target.top;
      RECT s{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
      RECT have;
      if (!IntersectRects(have, s, RECT{src.x0, src.y0, src.x0 + src.width, src.y0 + src.height})) continue;
      for (int sy = have.top; sy < have.bottom; ++sy) {
        const uint32_t* from = &src.px[static_cast<size_t>(sy - src.y0) * src.width + (have.left - src.x0)];
        uint32_t* to = lock.View().Row(sy - stp + target.top) + (have.left - sl + target.left);
        for (int i = 0; i < have.right - have.left; ++i) to[i] = from[i] | 0xFF000000u;
      }
    }
    return;
  }
  bool average = st.mode == HALFTONE && (asw > tw || ash > th);
  const PixelView& view = lock.View();
  auto srcX = [&](int tx) {
    int u = static_cast<int>((static_cast<int64_t>(tx - target.left) * asw) / tw);
    return mirrorX ? sl + asw - 1 - u : sl + u;
  };
  auto srcY = [&](int ty) {
    int v = static_cast<int>((static_cast<int64_t>(ty - target.top) * ash) / th);
    return mirrorY ? stp + ash - 1 - v : stp + v;
  };
  for (const RECT& c : clip) {
    RECT r;
    if (!IntersectRects(r, c, target)) continue;
    for (int ty = r.top; ty < r.bottom; ++ty) {
      uint32_t* row = view.Row(ty);
      int syy = srcY(ty);
      for (int tx = r.left; tx < r.right; ++tx) {
        int sxx = srcX(tx);
        uint32_t s;
        if (average) {
          // Box average over the source pixels that this target pixel covers.
          int u0 = sxx, u1 = mirrorX ? srcX(tx) - std::max(1, asw / tw) + 1 : sxx + std::max(1, asw / tw) - 1;
          int v0 = syy, v1 = mirrorY ? syy - std::max(1, ash / th) + 1 : syy + std::max(1, ash / th) - 1;
          if (u1 < u0) std::swap(u0, u1);
          if (v1 < v0) std::swap(v0, v1);
          // Only source pixels that exist are visited.
          u0 = std::max(u0, src.x0);
          v0 = std::max(v0, src.y0);
          u1 = std::min(u1, src.x0 + src.width - 1);
          v1 = std::min(v1, src.y0 + src.height - 1);
          uint32_t sum[4] = {}, n = 0;
          for (int yy = v0; yy <= v1; ++yy)
            for (int xx = u0; xx <= u1; ++xx) {
              if (!src.Has(xx, yy)) continue;
              uint32_t p = src.At(xx, yy);
              for (int k = 0; k < 4; ++k) sum[k] += (p >> (8 * k)) & 0xFF;
              ++n;
            }
          if (!n) continue;
          s = 0;
          for (int k = 0; k < 4; ++k) s |= ((sum[k] + n / 2) / n) << (8 * k);
        } else {
          if (!src.Has(sxx, syy)) continue;
          s = src.At(sxx, syy);
        }
        row[tx] = combine(s, row[tx], tx, ty);
      }
    }
  }
}

Combine RopCombine(DCObj* dest, DWORD rop) {
  auto code = static_cast<uint8_t>(rop >> 16);
  Paint pattern;
  bool usePattern = RopUsesPattern(rop) && !BrushIsNull(dest->s.brush);
  if (usePattern) pattern = BrushPaint(dest, dest->s.brush);
  if (code == 0xCC) return [](uint32_t s, uint32_t, int, int) { return s | 0xFF000000u; };
  return [code, pattern, usePattern](uint32_t s, uint32_t d, int x, int y) {
    uint32_t p = 0;
    if (usePattern && !pattern.At(x, y, p)) return d;
    return (Rop3(code, p, s, d) & 0xFFFFFFu) | 0xFF000000u;
  };
}

// ------------------------------------------------------ bitmap creation

HBITMAP NewBitmap(int width, int height, int bpp, bool dib, bool topDown, ptrdiff_t stride) {
  if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide ||
      static_cast<int64_t>(width) * height > kMaxPixels)
    return nullptr;
  auto bm = std::make_unique<BitmapObj>();
  bm->width = width;
  bm->height = height;
  bm->bpp = bpp;
  bm->dib = dib;
  bm->topDown = topDown;
  bm->strideBytes = stride;
  try {
    bm->memory.assign(static_cast<size_t>(stride) * height, 0);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  return static_cast<HBITMAP>(Register(std::move(bm)));
}

void FillOpaqueBlack(BitmapObj* bm) {
  for (size_t i = 0; i + 3 < bm->memory.size(); i += 4) bm->memory[i + 3] = 0xFF;
}

}  // namespace

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitCount, const void* bits) {
  if (planes != 1 || (bitCount != 1 && bitCount != 32)) {
    if (planes != 1 || bitCount == 0 || bitCount > 32) return nullptr;
    bitCount = 32;  // device bitmaps of other depths are kept at 32 bits
    bits = nullptr;
  }
  if (width == 0 || height == 0) width = height = 1;
  int bpp = static_cast<int>(bitCount);
  ptrdiff_t stride = bpp == 1 ? ((width + 15) / 16) * 2 : static_cast<ptrdiff_t>(width) * 4;
  HBITMAP h = NewBitmap(width, height, bpp, false, true, stride);
  if (h && bits) {
    BitmapObj* bm = AsBitmap(h);
    std::memcpy(bm->memory.data(), bits, bm->memory.size());
  }
  return h;
}

HBITMAP CreateCompatibleBitmap(HDC h, int width, int height) {
  DCObj* dc = AsDC(h);
  if (!dc || width < 0 || height < 0) return nullptr;
  if (width == 0 || height == 0) return CreateBitmap(1, 1, 1, 1, nullptr);
  if (dc->memory && dc->s.bitmap && dc->s.bitmap->bpp == 1 && !dc->s.bitmap->dib)
    return CreateBitmap(width, height, 1, 1, nullptr);
  HBITMAP bm = CreateBitmap(width, height, 1, 32, nullptr);
  if (bm) FillOpaqueBlack(AsBitmap(bm));
  return bm;
}

HBITMAP CreateDIBSection(HDC h, const BITMAPINFO* info, UINT usage, void** bits, HANDLE, DWORD) {
  if (bits) *bits = nullptr;
  DibInfo d = ParseDib(info, usage, AsDC(h));
  if (!d.ok) return nullptr;
  HBITMAP hb = NewBitmap(d.width, d.height, d.fmt.bpp, true, d.topDown, d.stride);
  if (!hb) return nullptr;
  BitmapObj* bm = AsBitmap(hb);
  bm->colors = d.fmt.colors;
  std::copy(std::begin(d.fmt.masks), std::end(d.fmt.masks), bm->masks);
  if (bm->bpp == 32 && bm->masks[0] == 0x00FF0000 && bm->masks[1] == 0x0000FF00 && bm->masks[2] == 0x000000FF)
    std::fill(std::begin(bm->masks), std::end(bm->masks), 0);  // the standard layout
  if (bits) *bits = bm->memory.data();
  return hb;
}

int GetDIBits(HDC, HBITMAP bitmap, UINT start, UINT lines, void* bits, BITMAPINFO* info, UINT usage) {
  BitmapObj* bm = AsBitmap(bitmap);
  if (!bm || !info || info->bmiHeader.biSize < sizeof(BITMAPINFOHEADER)) return 0;
  BITMAPINFOHEADER& hd = info->bmiHeader;
  if (!bits && hd.biBitCount == 0) {
    // Describe the bitmap itself.
    hd.biWidth = bm->width;
    hd.biHeight = bm->height;
    hd.biPlanes = 1;
    hd.biBitCount = static_cast<WORD>(bm->bpp);
    hd.biCompression = BI_RGB;
    hd.biSizeImage = static_cast<DWORD>(DibStride(bm->width, bm->bpp) * bm->height);
    hd.biClrUsed = 0;
    return bm->height;
  }
  int bpp = hd.biBitCount;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return 0;
  if (hd.biCompression != BI_RGB && hd.biCompression != BI_BITFIELDS) return 0;
  BitmapObj fmt;
  fmt.bpp = bpp;
  fmt.dib = true;
  if (bpp <= 8) {
    fmt.colors = bm->dib && bm->bpp == bpp ? bm->colors : DefaultTable(bpp);
    fmt.colors.resize(1u << bpp);
    // The table follows the header, as long as the caller made it.
    std::memcpy(reinterpret_cast<uint8_t*>(info) + hd.biSize, fmt.colors.data(), fmt.colors.size() * sizeof(RGBQUAD));
    hd.biClrUsed = 0;
  } else if (hd.biCompression == BI_BITFIELDS) {
    auto* masks = reinterpret_cast<DWORD*>(reinterpret_cast<uint8_t*>(info) + hd.biSize);
    std::memcpy(fmt.masks, masks, sizeof fmt.masks);
  }
  ptrdiff_t stride = DibStride(bm->width, bpp);
  hd.biSizeImage = static_cast<DWORD>(stride * bm->height);
  if (!bits) return bm->height;
  hd.biWidth = bm->width;
  bool topDown = hd.biHeight < 0;
  UINT total = static_cast<UINT>(bm->height);
  if (start >= total) return 0;
  UINT n = std::min(lines, total - start);
  (void)usage;
  auto* out = static_cast<uint8_t*>(bits);
  BitmapObj* mono = bm->bpp == 1 && !bm->dib ? bm : nullptr;
  for (UINT s = 0; s < n; ++s) {
    UINT scan = start + s;
    int y = topDown ? static_cast<int>(scan) : static_cast<int>(total - 1 - scan);
    uint8_t* row = out + static_cast<ptrdiff_t>(s) * stride;
    std::memset(row, 0, static_cast<size_t>(stride));
    for (int x = 0; x < bm->width; ++x) {
      uint32_t p = bm->ReadPixel(x, y);
      if (mono && bpp == 1) {  // keep the bits themselves
        if (p & 0xFFFFFF) row[x >> 3] = static_cast<uint8_t>(row[x >> 3] | (0x80 >> (x & 7)));
        continue;
      }
      WriteRowPixel(fmt, row, x, p);
    }
  }
  return static_cast<int>(n);
}

namespace {
// Copies DIB scan lines into `bm` (rows counted as the DIB counts them).
int PutDIBRows(BitmapObj* bm, UINT start, UINT lines, const void* bits, const DibInfo& d) {
  if (!bits || start >= static_cast<UINT>(d.height)) return 0;
  UINT n = std::min(lines, static_cast<UINT>(d.height) - start);
  const auto* in = static_cast<const uint8_t*>(bits);
  int w = std::min(d.width, bm->width);
  for (UINT s = 0; s < n; ++s) {
    UINT scan = start + s;
    int y = d.topDown ? static_cast<int>(scan) : d.height - 1 - static_cast<int>(scan);
    if (y >= bm->height) continue;
    const uint8_t* row = in + static_cast<ptrdiff_t>(s) * d.stride;
    for (int x = 0; x < w; ++x) bm->WritePixel(x, y, ReadRowPixel(d.fmt, row, x) | 0xFF000000u);
  }
  return static_cast<int>(n);
}

// Pixels of a caller's DIB as a source image over picture rows (top = 0).
SrcImage FromDib(const void* bits, const DibInfo& d, RECT rect, UINT firstScan = 0, UINT scans = ~0u) {
  const auto* in = static_cast<const uint8_t*>(bits);
  UINT last = std::min<UINT>(static_cast<UINT>(d.height), firstScan + std::min<UINT>(scans, d.height));
  // Rows present: scans [firstScan, last) as the DIB counts them.
  RECT present = d.topDown ? RECT{0, static_cast<LONG>(firstScan), d.width, static_cast<LONG>(last)}
                           : RECT{0, d.height - static_cast<LONG>(last), d.width,
                                  d.height - static_cast<LONG>(firstScan)};
  return Gather(rect, present, [&](int x, int y) {
    int scan = d.topDown ? y : d.height - 1 - y;
    return ReadRowPixel(d.fmt, in + static_cast<ptrdiff_t>(scan - static_cast<int>(firstScan)) * d.stride, x) |
           0xFF000000u;
  });
}
}  // namespace

int SetDIBits(HDC h, HBITMAP bitmap, UINT start, UINT lines, const void* bits, const BITMAPINFO* info, UINT usage) {
  BitmapObj* bm = AsBitmap(bitmap);
  DibInfo d = ParseDib(info, usage, AsDC(h));
  if (!bm || !d.ok) return 0;
  return PutDIBRows(bm, start, lines, bits, d);
}

int SetDIBitsToDevice(HDC h, int xDest, int yDest, DWORD width, DWORD height, int xSrc, int ySrc,
                      UINT startScan, UINT lines, const void* bits, const BITMAPINFO* info, UINT usage) {
  DCObj* dc = AsDC(h);
  DibInfo d = ParseDib(info, usage, dc);
  if (!dc || !d.ok || !bits || width > static_cast<DWORD>(kMaxSide) || height > static_cast<DWORD>(kMaxSide))
    return 0;
  int w = static_cast<int>(width), hh = static_cast<int>(height);
  // ySrc counts from the bottom for bottom-up DIBs.
  int top = d.topDown ? ySrc : d.height - ySrc - hh;
  SrcImage src = FromDib(bits, d, Normalize(xSrc, top, w, hh), startScan, lines);
  StretchInto(dc, xDest, yDest, w, hh, src, {xSrc, top, w, hh}, RopCombine(dc, SRCCOPY));
  return static_cast<int>(std::min<UINT>(lines, static_cast<UINT>(d.height)));
}

int StretchDIBits(HDC h, int xDest, int yDest, int destWidth, int destHeight, int xSrc, int ySrc, int srcWidth,
                  int srcHeight, const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop) {
  DCObj* dc = AsDC(h);
  DibInfo d = ParseDib(info, usage, dc);
  if (!dc || !d.ok || (!bits && RopUsesSource(rop))) return 0;
  int top = d.topDown ? ySrc : d.height - ySrc - srcHeight;
  SrcImage src;
  if (RopUsesSource(rop)) src = FromDib(bits, d, Normalize(xSrc, top, srcWidth, srcHeight));
  else src = Gather(Normalize(xSrc, top, srcWidth, srcHeight), RECT{0, 0, d.width, d.height},
                    [](int, int) { return 0u; });
  StretchInto(dc, xDest, yDest, destWidth, destHeight, src, {xSrc, top, srcWidth, srcHeight, dc->s.stretchMode},
              RopCombine(dc, rop));
  return d.height;
}

UINT GetDIBColorTable(HDC h, UINT start, UINT count, RGBQUAD* colors) {
  DCObj* dc = AsDC(h);
  BitmapObj* bm = dc && dc->memory ? dc->s.bitmap : nullptr;
  if (!bm || !bm->dib || !colors || start >= bm->colors.size()) return 0;
  UINT n = std::min<UINT>(count, static_cast<UINT>(bm->colors.size()) - start);
  std::copy_n(bm->colors.begin() + start, n, colors);
  return n;
}

UINT SetDIBColorTable(HDC h, UINT start, UINT count, const RGBQUAD* colors) {
  DCObj* dc = AsDC(h);
  BitmapObj* bm = dc && dc->memory ? dc->s.bitmap : nullptr;
  if (!bm || !bm->dib || !colors || start >= bm->colors.size()) return 0;
  UINT n = std::min<UINT>(count, static_cast<UINT>(bm->colors.size()) - start);
  std::copy_n(colors, n, bm->colors.begin() + start);
  return n;
}

// ------------------------------------------------------------ blits ---

BOOL StretchBlt(HDC dest, int x, int y, int width, int height, HDC src, int xSrc, int ySrc, int srcWidth,
                int srcHeight, DWORD rop) {
  DCObj* d = AsDC(dest);
  if (!d) return FALSE;
  if (!RopUsesSource(rop)) return PatBlt(dest, x, y, width, height, rop);
  DCObj* s = AsDC(src);
  if (!s) return FALSE;
  if (rop == SRCCOPY && CopyBlt(d, x, y, width, height, s, xSrc, ySrc, srcWidth, srcHeight)) return TRUE;
  SrcImage img = FromDC(s, d, xSrc, ySrc, srcWidth, srcHeight);
  POINT o = TargetPoint(s, xSrc, ySrc);
  StretchInto(d, x, y, width, height, img, {o.x, o.y, srcWidth, srcHeight, d->s.stretchMode}, RopCombine(d, rop),
              rop == SRCCOPY);
  return TRUE;
}

BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC src, int xSrc, int ySrc, DWORD rop) {
  return StretchBlt(dest, x, y, width, height, src, xSrc, ySrc, width, height, rop);
}

namespace {

using Wide = __int128;

Wide FloorDiv(Wide a, Wide b) {  // b > 0
  const Wide q = a / b;
  return q * b > a ? q - 1 : q;
}

// floor(n * scale / d) as n moves on by a fixed step: quotient and
// remainder stepped in whole numbers, so every pixel lands where the exact
// mapping puts it.
struct RatioStep {
  int64_t q = 0, r = 0, dq = 0, dr = 0, d = 1;
  void Start(Wide n, Wide step, int64_t scale, int64_t den) {
    d = den;
    const Wide v = n * scale, s = step * scale;
    q = static_cast<int64_t>(FloorDiv(v, d));
    r = static_cast<int64_t>(v - Wide{q} * d);
    dq = static_cast<int64_t>(FloorDiv(s, d));
    dr = static_cast<int64_t>(s - Wide{dq} * d);
  }
  void Next() {
    q += dq;
    r += dr;
    if (r >= d) {
      r -= d;
      ++q;
    }
  }
};

// The integers t of [lo, hi) with 0 <= a + b t < d (d > 0), narrowed in place.
void Narrow(Wide a, Wide b, Wide d, Wide& lo, Wide& hi) {
  if (b == 0) {
    if (a < 0 || a >= d) hi = lo;
    return;
  }
  Wide first, end;
  if (b > 0) {
    first = -FloorDiv(a, b);  // ceil(-a / b)
    end = FloorDiv(d - 1 - a, b) + 1;
  } else {
    first = -FloorDiv(d - 1 - a, -b);  // ceil((a - d + 1) / -b)
    end = FloorDiv(a, -b) + 1;
  }
  lo = std::max(lo, first);
  hi = std::min(hi, end);
}

// The inverse of the map target = p0 + u (p1 - p0) + v (p2 - p0): the target
// pixel whose centre has u and v in [0, 1) takes the source pixel
// (floor(u |width|), floor(v |height|)). With centres at half pixels, 2 det u
// and 2 det v are whole numbers that move by fixed steps along a row.
class ParallelogramMap {
public:
  // False for a flat parallelogram or one beyond the coordinate range.
  bool Set(POINT p0, POINT p1, POINT p2, int width, int height) {
    constexpr int64_t kRange = int64_t{1} << 27;
    const int64_t ax = int64_t{p1.x} - p0.x, ay = int64_t{p1.y} - p0.y, bx = int64_t{p2.x} - p0.x,
                  by = int64_t{p2.y} - p0.y;
    if (std::max({std::abs(ax), std::abs(ay), std::abs(bx), std::abs(by)}) > kRange) return false;
    const int64_t det = ax * by - ay * bx;
    if (det == 0) return false;
    const int64_t sign = det > 0 ? 1 : -1;
    d_ = 2 * det * sign;
    // 2 det u = (2 tx + 1 - 2 p0.x) by - (2 ty + 1 - 2 p0.y) bx, and 2 det v alike.
    uX_ = 2 * by * sign;
    uY_ = -2 * bx * sign;
    u0_ = (Wide{1} - 2 * Wide{p0.x}) * by * sign - (Wide{1} - 2 * Wide{p0.y}) * bx * sign;
    vX_ = -2 * ay * sign;
    vY_ = 2 * ax * sign;
    v0_ = (Wide{1} - 2 * Wide{p0.y}) * ax * sign - (Wide{1} - 2 * Wide{p0.x}) * ay * sign;
    w_ = std::abs(int64_t{width});
    h_ = std::abs(int64_t{height});
    const int64_t xs[4] = {p0.x, p1.x, p2.x, int64_t{p0.x} + ax + bx};
    const int64_t ys[4] = {p0.y, p1.y, p2.y, int64_t{p0.y} + ay + by};
    top_ = *std::min_element(ys, ys + 4);
    bottom_ = *std::max_element(ys, ys + 4);
    left_ = *std::min_element(xs, xs + 4);
    right_ = *std::max_element(xs, xs + 4);
    return true;
  }

  // The target pixels and rows it may reach, cut to `within`.
  bool Box(const RECT& within, RECT& out) const {
    const RECT box{static_cast<int>(std::max<int64_t>(left_, within.left)),
                   static_cast<int>(std::max<int64_t>(top_, within.top)),
                   static_cast<int>(std::min<int64_t>(right_, within.right)),
                   static_cast<int>(std::min<int64_t>(bottom_, within.bottom))};
    return IntersectRects(out, box, within);
  }

  // Visits the pixels of `r` inside the parallelogram: visit(tx, ty, su, sv).
  template <typename Visit>
  void Walk(const RECT& r, Visit visit) const {
    for (int ty = r.top; ty < r.bottom; ++ty) {
      const Wide u = u0_ + uY_ * Wide{ty}, v = v0_ + vY_ * Wide{ty};
      Wide lo = r.left, hi = r.right;
      Narrow(u, uX_, d_, lo, hi);
      Narrow(v, vX_, d_, lo, hi);
      if (lo >= hi) continue;
      RatioStep su, sv;
      su.Start(u + uX_ * lo, uX_, w_, d_);
      sv.Start(v + vX_ * lo, vX_, h_, d_);
      for (int tx = static_cast<int>(lo); tx < static_cast<int>(hi); ++tx, su.Next(), sv.Next())
        visit(tx, ty, static_cast<int>(su.q), static_cast<int>(sv.q));
    }
  }

private:
  int64_t d_ = 1, uX_ = 0, uY_ = 0, vX_ = 0, vY_ = 0, w_ = 0, h_ = 0;
  Wide u0_ = 0, v0_ = 0;
  int64_t left_ = 0, top_ = 0, right_ = 0, bottom_ = 0;
};

// One pixel from raster to raster, of FromBpp and ToBpp bits.
template <int FromBpp, int ToBpp>
inline void MovePixel(const uint8_t* in, uint8_t* out) {
  if constexpr (FromBpp == 24 && ToBpp == 24) {
    out[0] = in[0];
    out[1] = in[1];
    out[2] = in[2];
  } else if constexpr (FromBpp == 32 && ToBpp == 32) {
    uint32_t p;
    std::memcpy(&p, in, 4);
    p |= 0xFF000000u;
    std::memcpy(out, &p, 4);
  } else if constexpr (FromBpp == 24) {
    const uint32_t p = 0xFF000000u | (uint32_t{in[2]} << 16) | (uint32_t{in[1]} << 8) | in[0];
    std::memcpy(out, &p, 4);
  } else {
    out[0] = in[0];
    out[1] = in[1];
    out[2] = in[2];
  }
}

// The parallelogram straight between the rows of two rasters.
template <int FromBpp, int ToBpp>
void PlgRasters(const ParallelogramMap& map, const std::vector<RECT>& clip, const Raster& from, POINT origin,
                const Raster& to) {
  for (const RECT& c : clip) {
    RECT r;
    if (!map.Box(c, r)) continue;
    map.Walk(r, [&](int tx, int ty, int su, int sv) {
      const int sx = origin.x + su, sy = origin.y + sv;
      if (static_cast<unsigned>(sx) >= static_cast<unsigned>(from.width) ||
          static_cast<unsigned>(sy) >= static_cast<unsigned>(from.height))
        return;
      MovePixel<FromBpp, ToBpp>(from.Row(sy) + static_cast<ptrdiff_t>(sx) * (FromBpp / 8),
                                to.Row(ty) + static_cast<ptrdiff_t>(tx) * (ToBpp / 8));
    });
  }
}

bool PlgBetweenRasters(DCObj* d, DCObj* s, const ParallelogramMap& map, POINT origin) {
  const std::optional<Raster> to = RasterOf(d), from = RasterOf(s);
  if (!to || !from || to->owner == from->owner) return false;
  PixelView view;
  view.valid = {0, 0, to->width, to->height};
  const std::vector<RECT> clip = ClipRects(d, view);
  if (from->bpp == 24 && to->bpp == 24) PlgRasters<24, 24>(map, clip, *from, origin, *to);
  else if (from->bpp == 24) PlgRasters<24, 32>(map, clip, *from, origin, *to);
  else if (to->bpp == 24) PlgRasters<32, 24>(map, clip, *from, origin, *to);
  else PlgRasters<32, 32>(map, clip, *from, origin, *to);
  return true;
}

}  // namespace

BOOL PlgBlt(HDC dest, const POINT* points, HDC src, int xSrc, int ySrc, int width, int height, HBITMAP mask,
            int xMask, int yMask) {
  DCObj* d = AsDC(dest);
  DCObj* s = AsDC(src);
  if (!d || !s || !points || width == 0 || height == 0) return FALSE;
  BitmapObj* m = mask ? AsBitmap(mask) : nullptr;
  if (mask && (!m || m->bpp != 1)) return FALSE;
  ParallelogramMap map;
  if (!map.Set(TargetPoint(d, points[0].x, points[0].y), TargetPoint(d, points[1].x, points[1].y),
               TargetPoint(d, points[2].x, points[2].y), width, height))
    return FALSE;
  POINT o = TargetPoint(s, xSrc, ySrc);
  // A source mirrored by a negative extent starts at its far edge.
  const POINT origin{o.x + std::min(width, 0), o.y + std::min(height, 0)};
  if (!m && PlgBetweenRasters(d, s, map, origin)) return TRUE;
  SrcImage img = FromDC(s, d, xSrc, ySrc, width, height);
  RECT box;
  if (!map.Box(RECT{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, box)) return TRUE;
  TargetLock lock(d, true, &box);
  if (!lock.Ok()) return TRUE;
  const PixelView& view = lock.View();
  for (const RECT& c : ClipRects(d, view)) {
    RECT r;
    if (!map.Box(c, r)) continue;
    map.Walk(r, [&](int tx, int ty, int su, int sv) {
      if (m) {
        const int mx = xMask + su, my = yMask + sv;
        if (mx < 0 || my < 0 || mx >= m->width || my >= m->height || !(m->ReadPixel(mx, my) & 0xFFFFFF)) return;
      }
      const int sx = origin.x + su, sy = origin.y + sv;
      if (img.Has(sx, sy)) view.Row(ty)[tx] = img.At(sx, sy) | 0xFF000000u;
    });
  }
  return TRUE;
}

BOOL AlphaBlend(HDC dest, int x, int y, int width, int height, HDC src, int xSrc, int ySrc, int srcWidth,
                int srcHeight, BLENDFUNCTION blend) {
  DCObj* d = AsDC(dest);
  DCObj* s = AsDC(src);
  if (!d || !s || width < 0 || height < 0 || srcWidth < 0 || srcHeight < 0 || blend.BlendOp != AC_SRC_OVER)
    return FALSE;
  // The source rectangle must lie inside the source.
  {
    const RECT none{};
    TargetLock sl(s, false, &none);
    if (!sl.Ok()) return FALSE;
    POINT o = TargetPoint(s, xSrc, ySrc);
    if (o.x < 0 || o.y < 0 || o.x + srcWidth > sl.View().width || o.y + srcHeight > sl.View().height) return FALSE;
  }
  SrcImage img = FromDC(s, d, xSrc, ySrc, srcWidth, srcHeight);
  POINT o = TargetPoint(s, xSrc, ySrc);
  uint32_t sca = blend.SourceConstantAlpha;
  bool perPixel = blend.AlphaFormat & AC_SRC_ALPHA;
  StretchInto(d, x, y, width, height, img, {o.x, o.y, srcWidth, srcHeight},
              [sca, perPixel](uint32_t sp, uint32_t dp, int, int) {
                // Per-pixel sources are premultiplied: dst = src * sca + dst * (1 - srcAlpha * sca).
                uint32_t sa = perPixel ? ((sp >> 24) * sca + 127) / 255 : sca;
                uint32_t out = 0;
                for (int k = 0; k < 32; k += 8) {
                  uint32_t sc = (sp >> k) & 0xFF, dc = (dp >> k) & 0xFF;
                  if (k == 24 && !perPixel) sc = 255;
                  uint32_t v = (sc * sca + dc * (255 - sa) + 127) / 255;
                  out |= std::min<uint32_t>(v, 255) << k;
                }
                return out;
              });
  return TRUE;
}

BOOL TransparentBlt(HDC dest, int x, int y, int width, int height, HDC src, int xSrc, int ySrc, int srcWidth,
                    int srcHeight, UINT transparent) {
  DCObj* d = AsDC(dest);
  DCObj* s = AsDC(src);
  if (!d || !s || width <= 0 || height <= 0 || srcWidth <= 0 || srcHeight <= 0) return FALSE;
  SrcImage img = FromDC(s, d, xSrc, ySrc, srcWidth, srcHeight);
  POINT o = TargetPoint(s, xSrc, ySrc);
  uint32_t key = PixelFromColor(transparent) & 0xFFFFFFu;
  StretchInto(d, x, y, width, height, img, {o.x, o.y, srcWidth, srcHeight},
              [key](uint32_t sp, uint32_t dp, int, int) { return (sp & 0xFFFFFFu) == key ? dp : (sp | 0xFF000000u); });
  return TRUE;
}

namespace {
uint32_t VertexPixel(const TRIVERTEX& v) {
  return (static_cast<uint32_t>(v.Alpha >> 8) << 24) | (static_cast<uint32_t>(v.Red >> 8) << 16) |
         (static_cast<uint32_t>(v.Green >> 8) << 8) | (v.Blue >> 8);
}

uint32_t Mix(uint32_t a, uint32_t b, int64_t num, int64_t den) {
  uint32_t out = 0;
  for (int k = 0; k < 32; k += 8) {
    int64_t ca = (a >> k) & 0xFF, cb = (b >> k) & 0xFF;
    int64_t v = ca + ((cb - ca) * num + (den / 2) * (cb >= ca ? 1 : -1)) / den;
    out |= static_cast<uint32_t>(std::clamp<int64_t>(v, 0, 255)) << k;
  }
  return out;
}
}  // namespace

BOOL GradientFill(HDC h, const TRIVERTEX* vertices, ULONG vertexCount, const void* mesh, ULONG meshCount,
                  ULONG mode) {
  DCObj* dc = AsDC(h);
  if (!dc || !vertices || !mesh || mode > GRADIENT_FILL_TRIANGLE) return FALSE;
  TargetLock lock(dc);
  if (!lock.Ok()) return TRUE;
  std::vector<RECT> clip = ClipRects(dc, lock.View());
  if (mode == GRADIENT_FILL_TRIANGLE) {
    const auto* tris = static_cast<const ULONG*>(mesh);
    for (ULONG i = 0; i < meshCount; ++i) {
      const ULONG* t = tris + 3 * i;
      if (t[0] >= vertexCount || t[1] >= vertexCount || t[2] >= vertexCount) return FALSE;
      POINT p[3];
      uint32_t c[3];
      for (int k = 0; k < 3; ++k) {
        p[k] = TargetPoint(dc, vertices[t[k]].x, vertices[t[k]].y);
        c[k] = VertexPixel(vertices[t[k]]);
      }
      double det = double(p[1].x - p[0].x) * (p[2].y - p[0].y) - double(p[2].x - p[0].x) * (p[1].y - p[0].y);
      if (det == 0) continue;
      RECT box{std::min({p[0].x, p[1].x, p[2].x}), std::min({p[0].y, p[1].y, p[2].y}),
               std::max({p[0].x, p[1].x, p[2].x}), std::max({p[0].y, p[1].y, p[2].y})};
      for (const RECT& cr : clip) {
        RECT r;
        if (!IntersectRects(r, cr, box)) continue;
        for (int y = r.top; y < r.bottom; ++y)
          for (int x = r.left; x < r.right; ++x) {
            double px = x + 0.5, py = y + 0.5;
            double w1 = ((px - p[0].x) * (p[2].y - p[0].y) - (p[2].x - p[0].x) * (py - p[0].y)) / det;
            double w2 = ((p[1].x - p[0].x) * (py - p[0].y) - (px - p[0].x) * (p[1].y - p[0].y)) / det;
            double w0 = 1 - w1 - w2;
            if (w0 < 0 || w1 < 0 || w2 < 0) continue;
            uint32_t out = 0;
            for (int k = 0; k < 32; k += 8) {
              double v = w0 * ((c[0] >> k) & 0xFF) + w1 * ((c[1] >> k) & 0xFF) + w2 * ((c[2] >> k) & 0xFF);
              out |= static_cast<uint32_t>(std::clamp(std::lround(v), 0L, 255L)) << k;
            }
            lock.View().Row(y)[x] = out | 0xFF000000u;
          }
      }
    }
    return TRUE;
  }
  const auto* rects = static_cast<const GRADIENT_RECT*>(mesh);
  for (ULONG i = 0; i < meshCount; ++i) {
    if (rects[i].UpperLeft >= vertexCount || rects[i].LowerRight >= vertexCount) return FALSE;
    const TRIVERTEX& a = vertices[rects[i].UpperLeft];
    const TRIVERTEX& b = vertices[rects[i].LowerRight];
    RECT target = TargetRect(dc, a.x, a.y, b.x, b.y);
    uint32_t ca = VertexPixel(a), cb = VertexPixel(b);
    // Which end is the first colour follows the vertices, not the normalised rectangle.
    POINT pa = TargetPoint(dc, a.x, a.y);
    bool horizontal = mode == GRADIENT_FILL_RECT_H;
    int64_t span = horizontal ? target.right - target.left : target.bottom - target.top;
    bool reversed = horizontal ? pa.x > target.left : pa.y > target.top;
    for (const RECT& cr : clip) {
      RECT r;
      if (!IntersectRects(r, cr, target)) continue;
      for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) {
          int64_t pos = horizontal ? x - target.left : y - target.top;
          if (reversed) pos = span - 1 - pos;
          lock.View().Row(y)[x] = Mix(ca, cb, pos, std::max<int64_t>(span - 1, 1)) | 0xFF000000u;
        }
    }
  }
  return TRUE;
}
