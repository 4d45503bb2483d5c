// TIEMask: geometry, pixels, spans, polygons, box, offset and the copies
// of selected pixels between bitmaps.
#include "imaging/core/ruduvazez_mask.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/rtl/exceptions.h"

namespace {

[[noreturn]] void RaiseOutOfMemory() { throw EOutOfMemory("Out of memory"); }

bool BitAt(const uint8_t* row, int64_t x) { return (row[x >> 3] & (0x80 >> (x & 7))) != 0; }
void PutBit(uint8_t* row, int64_t x, bool set) {
  const auto bit = static_cast<uint8_t>(0x80 >> (x & 7));
  row[x >> 3] = set ? (row[x >> 3] | bit) : (row[x >> 3] & ~bit);
}

// One edge of a polygon, from its upper end down.
struct TEdge {
  int64_t yTop, yBottom;  // rows yTop .. yBottom - 1
  int64_t xTop, extent;   // x at yTop and the x change over the edge
  int64_t XAt(int64_t y) const { return xTop + extent * (y - yTop) / (yBottom - yTop); }
};

}  // namespace

void IECopyBits(uint8_t* dest, const uint8_t* source, int32_t destBit, int32_t sourceBit, int32_t count,
                int32_t sourceBytes) {
  if (count < 1 || destBit < 0 || sourceBit < 0) return;
  const int64_t available = int64_t{sourceBytes} * 8 - sourceBit;
  const int64_t n = std::min<int64_t>(count, available);
  for (int64_t i = 0; i < n; ++i) PutBit(dest, destBit + i, BitAt(source, sourceBit + i));
}

// ---- geometry ------------------------------------------------------------------------------

void TIEMask::Allocate(int32_t width, int32_t height, int32_t bitsPerPixel) {
  FreeBits();
  const int64_t rowLen = IECheckedRowLength(width, bitsPerPixel, 32);
  if (height < 0 || rowLen < 0) RaiseOutOfMemory();
  Width = width;
  Height = height;
  BitsPerPixel = bitsPerPixel;
  RowLen = rowLen;
  EmptyBox();
  Full = false;
}

void TIEMask::FreeBits() {
  std::vector<uint8_t>().swap(bits_);
  std::vector<uint8_t>().swap(stretchBits_);
  stretchRows_.clear();
  stretchWidth_ = stretchHeight_ = 0;
  stretchRowLen_ = 0;
  Width = Height = BitsPerPixel = 0;
  RowLen = 0;
}

void TIEMask::EnsureBits() {
  if (!bits_.empty()) return;
  const int64_t size = RowLen * Height;
  if (size <= 0) return;
  try {
    bits_.assign(static_cast<size_t>(size), 0);
  } catch (const std::bad_alloc&) {
    RaiseOutOfMemory();
  }
}

uint8_t* TIEMask::GetBits() {
  EnsureBits();
  return bits_.empty() ? nullptr : bits_.data();
}

uint8_t* TIEMask::GetScanline(int32_t row) { return GetBits() + int64_t{Height - 1 - row} * RowLen; }

void TIEMask::Resize(int32_t width, int32_t height) {
  const int64_t rowLen = IECheckedRowLength(width, BitsPerPixel, 32);
  if (height < 0 || rowLen < 0) RaiseOutOfMemory();
  if (!bits_.empty()) {
    std::vector<uint8_t> resized;
    try {
      resized.assign(static_cast<size_t>(rowLen * height), 0);
    } catch (const std::bad_alloc&) {
      RaiseOutOfMemory();
    }
    const int32_t rows = std::min(Height, height);
    const auto bytes = static_cast<size_t>(std::min(RowLen, rowLen));
    for (int32_t y = 0; y < rows; ++y)
      std::memcpy(&resized[(height - 1 - y) * rowLen], &bits_[(Height - 1 - y) * RowLen], bytes);
    bits_.swap(resized);
  }
  RowLen = rowLen;
  Width = width;
  Height = height;
  if (!IsEmpty()) ClampBox();  // a one-column or one-row box too
}

// ---- box and flag -------------------------------------------------------------------------------

void TIEMask::EmptyBox() {
  X1 = Y1 = INT_MAX;
  X2 = Y2 = 0;
}

void TIEMask::ExtendBox(int32_t x, int32_t y) {
  X1 = std::min(X1, x);
  Y1 = std::min(Y1, y);
  X2 = std::max(X2, x);
  Y2 = std::max(Y2, y);
}

void TIEMask::ClampBox() {
  X1 = std::clamp(X1, 0, std::max(Width - 1, 0));
  X2 = std::clamp(X2, 0, std::max(Width - 1, 0));
  Y1 = std::clamp(Y1, 0, std::max(Height - 1, 0));
  Y2 = std::clamp(Y2, 0, std::max(Height - 1, 0));
}

void TIEMask::KeepFull(int32_t value) {
  if (!Full) return;
  Full = BitsPerPixel == 8 ? value == 255 : value != 0;
}

void TIEMask::RecalcBoundingBox() {
  EmptyBox();
  if (bits_.empty() || !ValidDepth()) return;
  for (int32_t y = 0; y < Height; ++y)
    for (int32_t x = 0; x < Width; ++x)
      if (GetPixel(x, y)) ExtendBox(x, y);
}

void TIEMask::UpdateFullFlag() {
  EnsureBits();
  Full = false;
  if (bits_.empty() || !ValidDepth()) return;
  const int64_t wholeBytes = BitsPerPixel == 8 ? Width : Width / 8;
  const int32_t tailBits = BitsPerPixel == 8 ? 0 : Width % 8;
  for (int32_t y = 0; y < Height; ++y) {
    const uint8_t* row = GetScanline(y);
    if (std::any_of(row, row + wholeBytes, [](uint8_t b) { return b != 255; })) return;
    for (int32_t i = 0; i < tailBits; ++i)
      if (!BitAt(row + wholeBytes, i)) return;
  }
  Full = true;
}

// ---- pixels and spans ------------------------------------------------------------------------------

void TIEMask::SetPixel(int32_t x, int32_t y, int32_t value) {
  if (x < 0 || x >= Width || y < 0 || y >= Height || !ValidDepth()) return;
  EnsureBits();
  if (value != 0) {
    ExtendBox(x, y);
    ClampBox();
  }
  KeepFull(value);
  uint8_t* row = GetScanline(y);
  if (BitsPerPixel == 1)
    PutBit(row, x, value != 0);
  else
    row[x] = static_cast<uint8_t>(value);
}

int32_t TIEMask::GetPixel(int32_t x, int32_t y) const {
  if (x < 0 || x >= Width || y < 0 || y >= Height || bits_.empty() || !ValidDepth()) return 0;
  const uint8_t* row = &bits_[int64_t{Height - 1 - y} * RowLen];
  if (BitsPerPixel == 1) return row[x >> 3] & (0x80 >> (x & 7));
  return row[x];
}

bool TIEMask::IsPointInside(int32_t x, int32_t y) const { return !bits_.empty() && GetPixel(x, y) != 0; }

int32_t TIEMask::FillSpan(int32_t value, int32_t x1, int32_t x2, int32_t y) {
  EnsureBits();
  if (bits_.empty() || !ValidDepth()) return 0;
  x1 = std::max(x1, 0);
  x2 = std::min(x2, Width - 1);
  y = std::clamp(y, 0, Height - 1);
  if (x2 < x1) return 0;
  uint8_t* row = GetScanline(y);
  if (BitsPerPixel == 1) {
    Full = Full && value == 1;
    for (int32_t x = x1; x <= x2; ++x) PutBit(row, x, value == 1);
  } else {
    KeepFull(value);
    std::memset(row + x1, static_cast<uint8_t>(value), static_cast<size_t>(x2 - x1 + 1));
  }
  return x2 - x1 + 1;
}

bool TIEMask::Fill(int32_t value) {
  EnsureBits();
  std::fill(bits_.begin(), bits_.end(), static_cast<uint8_t>(value));
  Full = value == 255;
  return Full;
}

void TIEMask::Clear() {
  if (!bits_.empty()) Fill(0);
  EmptyBox();
}

// ---- polygons ---------------------------------------------------------------------------------------

void TIEMask::FillPolygons(int32_t value, const POINT* points, int32_t count) {
  int32_t start = 0;
  for (int32_t i = 0; i <= count; ++i) {
    if (i < count && points[i].x != IEPolygonSeparator) continue;
    if (i > start) FillPolygon(value, points + start, i - start);
    start = i + 1;
  }
  UpdateFullFlag();
}

void TIEMask::FillPolygon(int32_t value, const POINT* points, int32_t count) {
  if (count < 1) return;
  std::vector<TEdge> edges;
  int64_t yMin = points[0].y, yMax = points[0].y;
  for (int32_t i = 0; i < count; ++i) {
    const POINT& a = points[i];
    const POINT& b = points[(i + 1) % count];
    yMin = std::min<int64_t>(yMin, a.y);
    yMax = std::max<int64_t>(yMax, a.y);
    if (a.y == b.y) continue;
    const POINT& top = a.y < b.y ? a : b;
    const POINT& bottom = a.y < b.y ? b : a;
    edges.push_back({top.y, bottom.y, top.x, int64_t{bottom.x} - top.x});
  }
  // Only rows inside the mask can take pixels.
  const int64_t first = std::max<int64_t>(yMin, 0), last = std::min<int64_t>(yMax, int64_t{Height} - 1);
  int32_t written = 0;
  std::vector<std::pair<int64_t, double>> active;  // x and slope
  for (int64_t y = first; y <= last; ++y) {
    active.clear();
    for (const TEdge& e : edges)
      if (y >= e.yTop && y < e.yBottom)
        active.emplace_back(e.XAt(y), static_cast<double>(e.extent) / static_cast<double>(e.yBottom - e.yTop));
    std::sort(active.begin(), active.end());
    for (size_t i = 0; i + 1 < active.size(); i += 2) {
      const int64_t left = std::clamp<int64_t>(active[i].first, INT32_MIN, INT32_MAX);
      const int64_t right = std::clamp<int64_t>(active[i + 1].first - 1, INT32_MIN, INT32_MAX);
      if (left > Width - 1 || right < 0) continue;
      written += FillSpan(value, static_cast<int32_t>(left), static_cast<int32_t>(right), static_cast<int32_t>(y));
    }
  }
  // A polygon that wrote nothing empties the box (it is found again from
  // the pixels when needed); clearing pixels leaves it as it was.
  if (written == 0) {
    EmptyBox();
    return;
  }
  if (value == 0) return;
  int64_t xMin = points[0].x, xMax = points[0].x;
  for (int32_t i = 0; i < count; ++i) {
    xMin = std::min<int64_t>(xMin, points[i].x);
    xMax = std::max<int64_t>(xMax, points[i].x);
  }
  auto fit = [](int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); };
  ExtendBox(fit(xMin), fit(yMin));
  ExtendBox(fit(xMax - 1), fit(yMax - 1));
  ClampBox();
}

// ---- offset ----------------------------------------------------------------------------------------------

void TIEMask::Offset(int32_t& dx, int32_t& dy, bool clipBox) {
  EnsureBits();
  if (bits_.empty() || !ValidDepth()) return;
  if (IsEmpty()) RecalcBoundingBox();
  if (IsEmpty()) return;
  if (clipBox) {
    if (int64_t{X1} + dx < 0) X1 = -dx;
    if (int64_t{X2} + dx >= Width) X2 = Width - 1 - dx;
    if (int64_t{Y1} + dy < 0) Y1 = -dy;
    if (int64_t{Y2} + dy >= Height) Y2 = Height - 1 - dy;
  } else {
    if (int64_t{X1} + dx < 0) dx = -X1;
    if (int64_t{X2} + dx >= Width) dx = Width - 1 - X2;
    if (int64_t{Y1} + dy < 0) dy = -Y1;
    if (int64_t{Y2} + dy >= Height) dy = Height - 1 - Y2;
  }
  if (dx == 0 && dy == 0) return;
  if (X2 < X1 || Y2 < Y1) {
    Clear();
    return;
  }
  const int32_t boxWidth = X2 - X1 + 1, boxHeight = Y2 - Y1 + 1;
  if (BitsPerPixel == 1) {
    const int64_t boxRowLen = (boxWidth + 7) / 8;
    std::vector<uint8_t> saved(static_cast<size_t>(boxRowLen * boxHeight));
    for (int32_t y = 0; y < boxHeight; ++y)
      IECopyBits(&saved[y * boxRowLen], GetScanline(Y1 + y), 0, X1, boxWidth, static_cast<int32_t>(RowLen));
    std::fill(bits_.begin(), bits_.end(), 0);
    for (int32_t y = 0; y < boxHeight; ++y)
      IECopyBits(GetScanline(Y1 + dy + y), &saved[y * boxRowLen], X1 + dx, 0, boxWidth,
                 static_cast<int32_t>(boxRowLen));
  } else {
    const std::vector<uint8_t> saved = bits_;
    std::fill(bits_.begin(), bits_.end(), 0);
    for (int32_t y = Y1; y <= Y2; ++y) {
      const int64_t ty = int64_t{y} + dy;
      if (ty < 0 || ty >= Height) continue;
      const uint8_t* from = &saved[int64_t{Height - 1 - y} * RowLen];
      uint8_t* to = GetScanline(static_cast<int32_t>(ty));
      for (int32_t x = X1; x <= X2; ++x) {
        const int64_t tx = int64_t{x} + dx;
        if (tx >= 0 && tx < Width) to[tx] = from[x];
      }
    }
  }
  X1 += dx;
  X2 += dx;
  Y1 += dy;
  Y2 += dy;
  ClampBox();
}

// ---- copies of selected pixels -----------------------------------------------------------------------------

bool TIEMask::CopyArea(TIEBitmap& dest, TIEBitmap& source, bool destRelative, bool sourceRelative, TArea& area) {
  EnsureBits();
  if (bits_.empty() || !ValidDepth() || IsEmpty()) return false;
  area = {X1, Y1, X2, Y2};
  if (sourceRelative) {
    area.x2 = X1 + std::min({X2 - X1, source.GetWidth() - 1, dest.GetWidth() - 1});
    area.y2 = Y1 + std::min({Y2 - Y1, source.GetHeight() - 1, dest.GetHeight() - 1});
  }
  // Every pixel read or written lies inside its bitmap.
  const int32_t sx = sourceRelative ? X1 : 0, sy = sourceRelative ? Y1 : 0;
  const int32_t dx = destRelative ? X1 : 0, dy = destRelative ? Y1 : 0;
  area.x1 = std::max({area.x1, sx, dx, 0});
  area.y1 = std::max({area.y1, sy, dy, 0});
  area.x2 = std::min({area.x2, source.GetWidth() - 1 + sx, dest.GetWidth() - 1 + dx, Width - 1});
  area.y2 = std::min({area.y2, source.GetHeight() - 1 + sy, dest.GetHeight() - 1 + dy, Height - 1});
  return area.x1 <= area.x2 && area.y1 <= area.y2;
}

void TIEMask::CopyBitmap(TIEBitmap& dest, TIEBitmap& source, bool destRelative, bool sourceRelative,
                         bool copyAlpha) {
  TArea area;
  if (!CopyArea(dest, source, destRelative, sourceRelative, area)) return;
  const TIEPixelFormat format = source.GetPixelFormat();
  const bool sameFormat = format == dest.GetPixelFormat() && format != ieNoFormat;
  const bool blendable = format == ie24RGB || format == ie8g || format == ie8p || format == ie1g;
  if (sameFormat && (BitsPerPixel == 1 || blendable)) {
    const int32_t sx = sourceRelative ? X1 : 0, sy = sourceRelative ? Y1 : 0;
    const int32_t ox = destRelative ? X1 : 0, oy = destRelative ? Y1 : 0;
    const int32_t pixelBytes = source.GetBitCount() / 8;
    std::vector<uint8_t> from(static_cast<size_t>(source.GetRowLength()));
    for (int32_t y = area.y1; y <= area.y2; ++y) {
      // The source row is copied first: source and destination may be one bitmap.
      std::memcpy(from.data(), source.GetScanline(y - sy), from.size());
      uint8_t* to = dest.GetScanline(y - oy);
      const uint8_t* m = GetScanline(y);
      for (int32_t x = area.x1; x <= area.x2; ++x) {
        const int32_t mv = BitsPerPixel == 1 ? (BitAt(m, x) ? 255 : 0) : m[x];
        if (mv == 0) continue;
        const int64_t s = x - sx, d = x - ox;
        if (format == ie1g) {
          PutBit(to, d, BitAt(from.data(), s));
        } else if (BitsPerPixel == 1) {
          std::memcpy(to + d * pixelBytes, from.data() + s * pixelBytes, pixelBytes);
        } else {
          const int32_t weight = format == ie24RGB ? mv * 1024 : mv;
          const int32_t shift = format == ie24RGB ? 262144 : 256;
          for (int32_t c = 0; c < pixelBytes; ++c) {
            const int32_t sv = from[s * pixelBytes + c], dv = to[d * pixelBytes + c];
            to[d * pixelBytes + c] = static_cast<uint8_t>(dv + (sv - dv) * weight / shift);
          }
        }
      }
    }
  }
  if (copyAlpha && (dest.HasAlphaChannel() || source.HasAlphaChannel()))
    CopyAlphaChannel(dest, source, destRelative, sourceRelative);
}

void TIEMask::CopyAlphaChannel(TIEBitmap& dest, TIEBitmap& source, bool destRelative, bool sourceRelative) {
  TArea area;
  if (!CopyArea(dest, source, destRelative, sourceRelative, area)) return;
  const int32_t sx = sourceRelative ? X1 : 0, sy = sourceRelative ? Y1 : 0;
  const int32_t ox = destRelative ? X1 : 0, oy = destRelative ? Y1 : 0;
  const bool sourceAlpha = source.HasAlphaChannel();
  for (int32_t y = area.y1; y <= area.y2; ++y) {
    for (int32_t x = area.x1; x <= area.x2; ++x) {
      const int32_t mv = GetPixel(x, y);
      const int32_t sa = sourceAlpha ? source.GetAlphaPixel(x - sx, y - sy) : 255;
      int32_t a = 0;
      if (mv != 0) a = BitsPerPixel == 1 ? sa : std::min(sa, mv);
      dest.SetAlphaPixel(x - ox, y - oy, static_cast<uint8_t>(a));
    }
  }
  if (TIEBitmap* alpha = dest.GetAlphaChannel()) alpha->SetFullFlag(false);
}
