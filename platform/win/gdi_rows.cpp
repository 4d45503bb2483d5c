// Row access to 24- and 32-bit pixels, and the copies (SRCCOPY blits,
// plain or stretched) that move whole rows between such pixels without
// a 32-bit working copy of either side.
#include <algorithm>
#include <cstring>

#include "platform/win/gdi_internal.h"

namespace gdi {

std::optional<Raster> RasterOf(DCObj* dc) {
  if (!dc) return std::nullopt;
  if (dc->surface) {
    Surface* s = dc->surface;
    if (s->width <= 0 || s->height <= 0 || s->pixels.size() < static_cast<size_t>(s->width) * s->height)
      return std::nullopt;
    return Raster{reinterpret_cast<uint8_t*>(s->pixels.data()), static_cast<ptrdiff_t>(s->width) * 4, s->width,
                  s->height, 32, s};
  }
  BitmapObj* bm = dc->memory ? dc->s.bitmap : nullptr;
  // A bitmap with a working copy open holds its pixels there.
  if (!bm || bm->memory.empty() || bm->lockDepth > 0) return std::nullopt;
  if (bm->bpp != 24 && !(bm->bpp == 32 && !bm->masks[0])) return std::nullopt;
  return BitmapRaster(bm);
}

Raster BitmapRaster(BitmapObj* bm) {
  return {bm->MemoryRow(0), bm->topDown ? bm->strideBytes : -bm->strideBytes, bm->width, bm->height, bm->bpp, bm};
}

void ReadSpan(const Raster& r, int y, int x, int n, uint32_t* out) {
  const uint8_t* p = r.Row(y);
  if (r.bpp == 32) {
    std::memcpy(out, p + static_cast<ptrdiff_t>(x) * 4, static_cast<size_t>(n) * 4);
    return;
  }
  p += static_cast<ptrdiff_t>(x) * 3;
  for (int i = 0; i < n; ++i, p += 3)
    out[i] = 0xFF000000u | (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[1]) << 8) | p[0];
}

namespace {

void OpaqueCopy(uint32_t* to, const uint32_t* from, int n) {
  for (int i = 0; i < n; ++i) to[i] = from[i] | 0xFF000000u;
}

void Pack24(uint8_t* to, const uint32_t* from, int n) {
  for (int i = 0; i < n; ++i, to += 3) {
    const uint32_t p = from[i];
    to[0] = static_cast<uint8_t>(p);
    to[1] = static_cast<uint8_t>(p >> 8);
    to[2] = static_cast<uint8_t>(p >> 16);
  }
}

}  // namespace

void WriteSpan(const Raster& r, int y, int x, int n, const uint32_t* in) {
  uint8_t* p = r.Row(y);
  if (r.bpp == 32) OpaqueCopy(reinterpret_cast<uint32_t*>(p) + x, in, n);
  else Pack24(p + static_cast<ptrdiff_t>(x) * 3, in, n);
}

void CopySpan(const Raster& from, int fy, int fx, const Raster& to, int ty, int tx, int n) {
  const uint8_t* s = from.Row(fy);
  uint8_t* d = to.Row(ty);
  if (from.bpp == 24 && to.bpp == 24) {
    std::memcpy(d + static_cast<ptrdiff_t>(tx) * 3, s + static_cast<ptrdiff_t>(fx) * 3, static_cast<size_t>(n) * 3);
  } else if (from.bpp == 32 && to.bpp == 32) {
    OpaqueCopy(reinterpret_cast<uint32_t*>(d) + tx, reinterpret_cast<const uint32_t*>(s) + fx, n);
  } else if (from.bpp == 24) {
    ReadSpan(from, fy, fx, n, reinterpret_cast<uint32_t*>(d) + tx);  // 24-bit pixels read opaque
  } else {
    Pack24(d + static_cast<ptrdiff_t>(tx) * 3, reinterpret_cast<const uint32_t*>(s) + fx, n);
  }
}

namespace {

// A source rectangle mapped onto a target rectangle, both in target
// coordinates of their DCs; `have` is the part of the source that exists.
struct RowMap {
  RECT target;
  int sx, sy, sw, sh;
  RECT have;
  int64_t SrcX(int tx) const { return sx + (static_cast<int64_t>(tx - target.left) * sw) / TargetW(); }
  int64_t SrcY(int ty) const { return sy + (static_cast<int64_t>(ty - target.top) * sh) / TargetH(); }
  int TargetW() const { return target.right - target.left; }
  int TargetH() const { return target.bottom - target.top; }
};

void PlainCopy(const Raster& from, const Raster& to, const RowMap& m, const std::vector<RECT>& clip) {
  const int dx = m.sx - m.target.left, dy = m.sy - m.target.top;
  for (const RECT& c : clip) {
    RECT r, have;
    if (!IntersectRects(r, c, m.target)) continue;
    if (!IntersectRects(have, RECT{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy}, m.have)) continue;
    for (int y = have.top; y < have.bottom; ++y)
      CopySpan(from, y, have.left, to, y - dy, have.left - dx, have.right - have.left);
  }
}

// The target pixels [first, last) of `r`'s columns (or rows) whose source
// box [src(t), src(t) + box) meets [lo, hi): the map is monotonic.
template <typename Src>
void Reaching(int from, int to, int64_t lo, int64_t hi, int64_t box, Src src, int& first, int& last) {
  first = from;
  while (first < to && src(first) + box <= lo) ++first;
  last = first;
  while (last < to && src(last) < hi) ++last;
}

// Nearest source pixel for each target pixel.
void NearestCopy(const Raster& from, const Raster& to, const RowMap& m, const std::vector<RECT>& clip) {
  std::vector<uint32_t> srcRow(static_cast<size_t>(m.have.right - m.have.left)), out;
  std::vector<int> column;
  int64_t loaded = -1;
  for (const RECT& c : clip) {
    RECT r;
    if (!IntersectRects(r, c, m.target)) continue;
    int x0, x1, y0, y1;
    Reaching(r.left, r.right, m.have.left, m.have.right, 1, [&](int t) { return m.SrcX(t); }, x0, x1);
    Reaching(r.top, r.bottom, m.have.top, m.have.bottom, 1, [&](int t) { return m.SrcY(t); }, y0, y1);
    if (x0 >= x1) continue;
    column.resize(static_cast<size_t>(x1 - x0));
    for (int x = x0; x < x1; ++x) column[x - x0] = static_cast<int>(m.SrcX(x) - m.have.left);
    out.resize(column.size());
    for (int y = y0; y < y1; ++y) {
      const int64_t sy = m.SrcY(y);
      if (sy != loaded) {
        ReadSpan(from, static_cast<int>(sy), m.have.left, m.have.right - m.have.left, srcRow.data());
        loaded = sy;
      }
      for (size_t i = 0; i < column.size(); ++i) out[i] = srcRow[static_cast<size_t>(column[i])];
      WriteSpan(to, y, x0, x1 - x0, out.data());
    }
  }
}

// Blue, red and green of a pixel in 16-bit lanes, so that sums of up to 257
// pixels add in one 64-bit word.
inline uint64_t Spread(uint32_t p) { return (p & 0x00FF00FFu) | (static_cast<uint64_t>(p & 0x0000FF00u) << 24); }

// Rounded channel averages of a spread sum over n pixels; the multiply by
// 2^32 / n (rounded up) divides exactly for sums of at most 256 pixels.
inline uint32_t Average(uint64_t sum, uint32_t n, uint64_t inverse) {
  auto lane = [&](int shift) {
    return static_cast<uint32_t>((((sum >> shift) & 0xFFFF) + n / 2) * inverse >> 32);
  };
  return 0xFF000000u | (lane(16) << 16) | (lane(32) << 8) | lane(0);
}

// Each target pixel averages the box of source pixels it covers: columns
// of the box's rows are summed once per target row, then across the box.
void BoxCopy(const Raster& from, const Raster& to, const RowMap& m, const std::vector<RECT>& clip, int bw, int bh) {
  const int haveW = m.have.right - m.have.left;
  std::vector<uint32_t> srcRow(static_cast<size_t>(haveW)), out;
  std::vector<uint64_t> sums(static_cast<size_t>(haveW));
  std::vector<int> u0, u1;
  uint32_t lastN = 0;
  uint64_t inverse = 0;
  for (const RECT& c : clip) {
    RECT r;
    if (!IntersectRects(r, c, m.target)) continue;
    int x0, x1, y0, y1;
    Reaching(r.left, r.right, m.have.left, m.have.right, bw, [&](int t) { return m.SrcX(t); }, x0, x1);
    Reaching(r.top, r.bottom, m.have.top, m.have.bottom, bh, [&](int t) { return m.SrcY(t); }, y0, y1);
    if (x0 >= x1) continue;
    // The box's columns, clamped to the source, counted from have.left.
    u0.resize(static_cast<size_t>(x1 - x0));
    u1.resize(u0.size());
    for (int x = x0; x < x1; ++x) {
      const int64_t s = m.SrcX(x);
      u0[x - x0] = static_cast<int>(std::max<int64_t>(s, m.have.left) - m.have.left);
      u1[x - x0] = static_cast<int>(std::min<int64_t>(s + bw, m.have.right) - m.have.left);
    }
    const int colFirst = u0.front(), colEnd = u1.back();
    out.resize(u0.size());
    for (int y = y0; y < y1; ++y) {
      const int64_t s = m.SrcY(y);
      const int v0 = static_cast<int>(std::max<int64_t>(s, m.have.top));
      const int v1 = static_cast<int>(std::min<int64_t>(s + bh, m.have.bottom));
      std::fill(sums.begin() + colFirst, sums.begin() + colEnd, 0);
      for (int v = v0; v < v1; ++v) {
        ReadSpan(from, v, m.have.left + colFirst, colEnd - colFirst, srcRow.data() + colFirst);
        for (int u = colFirst; u < colEnd; ++u) sums[static_cast<size_t>(u)] += Spread(srcRow[static_cast<size_t>(u)]);
      }
      const auto rows = static_cast<uint32_t>(v1 - v0);
      for (size_t i = 0; i < out.size(); ++i) {
        uint64_t sum = 0;
        for (int u = u0[i]; u < u1[i]; ++u) sum += sums[static_cast<size_t>(u)];
        const uint32_t n = rows * static_cast<uint32_t>(u1[i] - u0[i]);
        if (n != lastN) {
          lastN = n;
          inverse = (uint64_t{1} << 32) / n + 1;
        }
        out[i] = Average(sum, n, inverse);
      }
      WriteSpan(to, y, x0, x1 - x0, out.data());
    }
  }
}

}  // namespace

bool CopyBlt(DCObj* dest, int x, int y, int w, int h, DCObj* src, int xSrc, int ySrc, int sw, int sh) {
  if (w <= 0 || h <= 0 || sw <= 0 || sh <= 0) return false;
  std::optional<Raster> to = RasterOf(dest), from = RasterOf(src);
  if (!to || !from || to->owner == from->owner) return false;  // a copy onto itself goes through a buffer
  const POINT p0 = TargetPoint(dest, x, y), p1 = TargetPoint(dest, x + w, y + h);
  if (p1.x <= p0.x || p1.y <= p0.y) return false;  // mirrored by the mapping
  const POINT o = TargetPoint(src, xSrc, ySrc);
  RowMap m{{p0.x, p0.y, p1.x, p1.y}, o.x, o.y, sw, sh, {}};
  if (!IntersectRects(m.have, RECT{o.x, o.y, o.x + sw, o.y + sh}, RECT{0, 0, from->width, from->height}))
    return true;
  const int bw = std::max(1, sw / m.TargetW()), bh = std::max(1, sh / m.TargetH());
  const bool average = dest->s.stretchMode == HALFTONE && (sw > m.TargetW() || sh > m.TargetH());
  if (average && static_cast<int64_t>(bw) * bh > 256) return false;  // wider boxes than the lanes hold
  PixelView view;
  view.valid = {0, 0, to->width, to->height};
  const std::vector<RECT> clip = ClipRects(dest, view);
  if (sw == m.TargetW() && sh == m.TargetH()) PlainCopy(*from, *to, m, clip);
  else if (average) BoxCopy(*from, *to, m, clip, bw, bh);
  else NearestCopy(*from, *to, m, clip);
  return true;
}

}  // namespace gdi
