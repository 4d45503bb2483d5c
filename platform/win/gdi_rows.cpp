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
    // In the destination's memory order.
    const bool up = to.stride < 0;
    for (int i = 0; i < have.bottom - have.top; ++i) {
      const int y = up ? have.bottom - 1 - i : have.top + i;
      CopySpan(from, y, have.left, to, y - dy, have.left - dx, have.right - have.left);
    }
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

// Rounded channel averages of spread sums over n pixels (at most 256).
struct Averager {
  uint32_t n = 0;
  uint64_t inverse = 0;  // 2^32 / n rounded up: the multiply divides exactly
  int shift = -1;        // log2(n) when n is a power of two: all lanes at once
  uint64_t half = 0;     // n / 2 in each lane
  void For(uint32_t count) {
    if (count == n) return;
    n = count;
    inverse = (uint64_t{1} << 32) / n + 1;
    shift = (n & (n - 1)) ? -1 : __builtin_ctz(n);
    half = (n / 2) * 0x0000000100010001ull;
  }
  uint32_t operator()(uint64_t sum) const {
    if (shift >= 0) {  // a lane's spill into the one below lands above its 8 bits
      const uint64_t v = ((sum + half) >> shift) & 0x000000FF00FF00FFull;
      return 0xFF000000u | static_cast<uint32_t>((v & 0x00FF00FFu) | ((v >> 24) & 0xFF00u));
    }
    auto lane = [&](int at) { return static_cast<uint32_t>((((sum >> at) & 0xFFFF) + n / 2) * inverse >> 32); };
    return 0xFF000000u | (lane(16) << 16) | (lane(32) << 8) | lane(0);
  }
};

// One target row of box averages: `boxSum(a, b)` sums the spread pixels of
// source columns [a, b) of the box's rows.
template <typename BoxSum>
void AverageRow(const int* u0, const int* u1, size_t count, uint32_t rows, BoxSum boxSum, Averager& average,
                uint32_t* out) {
  for (size_t i = 0; i < count; ++i) {
    average.For(rows * static_cast<uint32_t>(u1[i] - u0[i]));
    out[i] = average(boxSum(u0[i], u1[i]));
  }
}

inline uint64_t Spread(uint64_t columnSum) { return columnSum; }
// A 24-bit pixel read where it is stored.
struct Pixel24 {
  uint8_t b, g, r;
};
inline uint64_t Spread(Pixel24 p) {
  return p.b | (static_cast<uint64_t>(p.r) << 16) | (static_cast<uint64_t>(p.g) << 32);
}

// Target pixels whose boxes are all BW columns wide, from pixels (spread
// here) or from column sums.
template <int BW, typename T>
[[gnu::noinline]] void FullBoxRow(const T* values, const int* u0, size_t count, const Averager& average,
                                  uint32_t* out) {
  for (size_t i = 0; i < count; ++i) {
    const T* v = values + u0[i];
    uint64_t t = Spread(v[0]);
    for (int k = 1; k < BW; ++k) t += Spread(v[k]);
    out[i] = average(t);
  }
}

// A target row of narrow boxes: the full boxes in the middle take the
// unrolled loop, the cut ones at the ends the general one.
template <typename T>
void NarrowRow(const T* values, const int* u0, const int* u1, size_t count, uint32_t rows, int bw,
               Averager& full, Averager& cut, uint32_t* out) {
  size_t a = 0, b = count;
  while (a < b && u1[a] - u0[a] != bw) ++a;
  while (b > a && u1[b - 1] - u0[b - 1] != bw) --b;
  auto boxSum = [values](int p, int q) {
    uint64_t t = 0;
    for (int u = p; u < q; ++u) t += Spread(values[u]);
    return t;
  };
  AverageRow(u0, u1, a, rows, boxSum, cut, out);
  full.For(rows * static_cast<uint32_t>(bw));
  switch (bw) {
    case 1: FullBoxRow<1>(values, u0 + a, b - a, full, out + a); break;
    case 2: FullBoxRow<2>(values, u0 + a, b - a, full, out + a); break;
    case 3: FullBoxRow<3>(values, u0 + a, b - a, full, out + a); break;
    default: FullBoxRow<4>(values, u0 + a, b - a, full, out + a); break;
  }
  AverageRow(u0 + b, u1 + b, count - b, rows, boxSum, cut, out + b);
}

// Each target pixel averages the box of source pixels it covers. Boxes of
// one row are read straight from the source; taller ones are first summed
// by column. Narrow boxes add their columns; wide ones take the difference
// of two running totals across the row (exact in 64 bits even where the
// lanes of the totals overflow into each other).
class BoxAverager {
public:
  BoxAverager(const Raster& from, const RowMap& m, int bw, int bh)
      : from_(from), m_(m), bw_(bw), bh_(bh), haveW_(m.have.right - m.have.left),
        srcRow_(static_cast<size_t>(haveW_)), columns_(static_cast<size_t>(haveW_)),
        totals_(static_cast<size_t>(haveW_) + 1) {}

  // Target columns [x0, x1) of the rectangle [left, right) that reach the source.
  bool Columns(int left, int right, int& x0, int& x1) {
    Reaching(left, right, m_.have.left, m_.have.right, bw_, [&](int t) { return m_.SrcX(t); }, x0, x1);
    if (x0 >= x1) return false;
    // The box's columns, clamped to the source, counted from have.left.
    u0_.resize(static_cast<size_t>(x1 - x0));
    u1_.resize(u0_.size());
    for (int x = x0; x < x1; ++x) {
      const int64_t s = m_.SrcX(x);
      u0_[x - x0] = static_cast<int>(std::max<int64_t>(s, m_.have.left) - m_.have.left);
      u1_[x - x0] = static_cast<int>(std::min<int64_t>(s + bw_, m_.have.right) - m_.have.left);
    }
    return true;
  }

  // The averages of target row y over the columns last chosen.
  void Row(int y, uint32_t* out) {
    const int64_t s = m_.SrcY(y);
    const int v0 = static_cast<int>(std::max<int64_t>(s, m_.have.top));
    const int v1 = static_cast<int>(std::min<int64_t>(s + bh_, m_.have.bottom));
    const auto rows = static_cast<uint32_t>(v1 - v0);
    const bool narrow = bw_ <= 4;
    if (rows == 1 && narrow && from_.bpp == 24) {
      Narrow(reinterpret_cast<const Pixel24*>(from_.Row(v0)) + m_.have.left, rows, out);
      return;
    }
    if (rows == 1 && narrow) {
      Narrow(Source(v0), rows, out);
      return;
    }
    const int first = u0_.front(), end = u1_.back();
    uint64_t* column = columns_.data();
    const uint32_t* px = Source(v0);
    for (int u = first; u < end; ++u) column[u] = Spread(px[u]);
    for (int v = v0 + 1; v < v1; ++v) {
      px = Source(v);
      for (int u = first; u < end; ++u) column[u] += Spread(px[u]);
    }
    if (narrow) {
      Narrow(static_cast<const uint64_t*>(column), rows, out);
      return;
    }
    uint64_t* total = totals_.data();
    uint64_t running = 0;
    total[first] = 0;
    for (int u = first; u < end; ++u) total[u + 1] = running += column[u];
    AverageRow(u0_.data(), u1_.data(), u0_.size(), rows, [total](int a, int b) { return total[b] - total[a]; },
               cut_, out);
  }

private:
  // Source row v as 32-bit pixels, indexed from have.left.
  const uint32_t* Source(int v) {
    if (from_.bpp == 32) return reinterpret_cast<const uint32_t*>(from_.Row(v)) + m_.have.left;
    const int first = u0_.front(), end = u1_.back();
    ReadSpan(from_, v, m_.have.left + first, end - first, srcRow_.data() + first);
    return srcRow_.data();
  }
  template <typename T>
  void Narrow(const T* values, uint32_t rows, uint32_t* out) {
    NarrowRow(values, u0_.data(), u1_.data(), u0_.size(), rows, bw_, full_, cut_, out);
  }

  const Raster& from_;
  const RowMap& m_;
  const int bw_, bh_, haveW_;
  std::vector<uint32_t> srcRow_;
  std::vector<uint64_t> columns_, totals_;
  std::vector<int> u0_, u1_;
  Averager full_, cut_;
};

void BoxCopy(const Raster& from, const Raster& to, const RowMap& m, const std::vector<RECT>& clip, int bw, int bh) {
  BoxAverager boxes(from, m, bw, bh);
  std::vector<uint32_t> out;
  for (const RECT& c : clip) {
    RECT r;
    int x0, x1, y0, y1;
    if (!IntersectRects(r, c, m.target) || !boxes.Columns(r.left, r.right, x0, x1)) continue;
    Reaching(r.top, r.bottom, m.have.top, m.have.bottom, bh, [&](int t) { return m.SrcY(t); }, y0, y1);
    out.resize(static_cast<size_t>(x1 - x0));
    for (int i = 0; i < y1 - y0; ++i) {
      const int y = from.stride < 0 ? y1 - 1 - i : y0 + i;  // the source in its memory order
      if (to.bpp == 32) {
        boxes.Row(y, reinterpret_cast<uint32_t*>(to.Row(y)) + x0);
      } else {
        boxes.Row(y, out.data());
        WriteSpan(to, y, x0, x1 - x0, out.data());
      }
    }
  }
}

// Boxes of more than 256 pixels, too many for the 16-bit lanes: each
// target row sums its source rows by column and channel in 32 bits, then
// each pixel its box's columns.
void WideBoxCopy(const Raster& from, const Raster& to, const RowMap& m, const std::vector<RECT>& clip, int bw,
                 int bh) {
  const int haveW = m.have.right - m.have.left;
  std::vector<uint32_t> columns(static_cast<size_t>(haveW) * 3), px(static_cast<size_t>(haveW)), out;
  for (const RECT& c : clip) {
    RECT r;
    int x0, x1, y0, y1;
    if (!IntersectRects(r, c, m.target)) continue;
    Reaching(r.left, r.right, m.have.left, m.have.right, bw, [&](int t) { return m.SrcX(t); }, x0, x1);
    Reaching(r.top, r.bottom, m.have.top, m.have.bottom, bh, [&](int t) { return m.SrcY(t); }, y0, y1);
    if (x0 >= x1) continue;
    out.resize(static_cast<size_t>(x1 - x0));
    for (int y = y0; y < y1; ++y) {
      const int64_t s = m.SrcY(y);
      const int v0 = static_cast<int>(std::max<int64_t>(s, m.have.top));
      const int v1 = static_cast<int>(std::min<int64_t>(s + bh, m.have.bottom));
      std::fill(columns.begin(), columns.end(), 0u);
      for (int v = v0; v < v1; ++v) {
        ReadSpan(from, v, m.have.left, haveW, px.data());
        for (int u = 0; u < haveW; ++u)
          for (int k = 0; k < 3; ++k) columns[3 * static_cast<size_t>(u) + k] += (px[u] >> (8 * k)) & 0xFF;
      }
      for (int x = x0; x < x1; ++x) {
        const int64_t sx = m.SrcX(x);
        const int u0 = static_cast<int>(std::max<int64_t>(sx, m.have.left) - m.have.left);
        const int u1 = static_cast<int>(std::min<int64_t>(sx + bw, m.have.right) - m.have.left);
        const uint64_t n = static_cast<uint64_t>(u1 - u0) * static_cast<uint64_t>(v1 - v0);
        uint32_t pixel = 0xFF000000u;
        for (int k = 0; k < 3; ++k) {
          uint64_t sum = 0;
          for (int u = u0; u < u1; ++u) sum += columns[3 * static_cast<size_t>(u) + k];
          pixel |= static_cast<uint32_t>((sum + n / 2) / n) << (8 * k);
        }
        out[static_cast<size_t>(x - x0)] = pixel;
      }
      WriteSpan(to, y, x0, x1 - x0, out.data());
    }
  }
}

// The source pixels a copy reads, moved into `held`, for a copy whose
// source and target share pixels; the map then counts from their corner.
Raster HoldSource(const Raster& from, RowMap& m, std::vector<uint8_t>& held) {
  const int w = m.have.right - m.have.left, h = m.have.bottom - m.have.top, bytes = from.bpp / 8;
  const ptrdiff_t stride = static_cast<ptrdiff_t>(w) * bytes;
  held.resize(static_cast<size_t>(stride) * h);
  for (int y = 0; y < h; ++y)
    std::memcpy(&held[static_cast<size_t>(y) * stride], from.Row(m.have.top + y) + m.have.left * bytes,
                static_cast<size_t>(stride));
  m.sx -= m.have.left;
  m.sy -= m.have.top;
  m.have = {0, 0, w, h};
  return Raster{held.data(), stride, w, h, from.bpp, held.data()};
}

}  // namespace

bool CopyBlt(DCObj* dest, int x, int y, int w, int h, DCObj* src, int xSrc, int ySrc, int sw, int sh) {
  if (w <= 0 || h <= 0 || sw <= 0 || sh <= 0) return false;
  std::optional<Raster> to = RasterOf(dest), from = RasterOf(src);
  if (!to || !from) return false;
  const POINT p0 = TargetPoint(dest, x, y), p1 = TargetPoint(dest, x + w, y + h);
  if (p1.x <= p0.x || p1.y <= p0.y) return false;  // mirrored by the mapping
  const POINT o = TargetPoint(src, xSrc, ySrc);
  RowMap m{{p0.x, p0.y, p1.x, p1.y}, o.x, o.y, sw, sh, {}};
  if (!IntersectRects(m.have, RECT{o.x, o.y, o.x + sw, o.y + sh}, RECT{0, 0, from->width, from->height}))
    return true;
  const int bw = std::max(1, sw / m.TargetW()), bh = std::max(1, sh / m.TargetH());
  const bool average = dest->s.stretchMode == HALFTONE && (sw > m.TargetW() || sh > m.TargetH());
  std::vector<uint8_t> held;
  if (to->owner == from->owner) from = HoldSource(*from, m, held);  // a copy onto itself reads a copy
  PixelView view;
  view.valid = {0, 0, to->width, to->height};
  const std::vector<RECT> clip = ClipRects(dest, view);
  if (sw == m.TargetW() && sh == m.TargetH()) PlainCopy(*from, *to, m, clip);
  else if (average && static_cast<int64_t>(bw) * bh > 256) WideBoxCopy(*from, *to, m, clip, bw, bh);
  else if (average) BoxCopy(*from, *to, m, clip, bw, bh);
  else NearestCopy(*from, *to, m, clip);
  return true;
}

}  // namespace gdi
