// TIEBitmap: rectangle copies between bitmaps, moves inside one, resizing
// with the content kept, bitmaps made from rectangles, and region bitmaps
// and canvases that write themselves back into their parent.
//
// Sections: clipping | rectangle copies | geometry | rectangles as bitmaps | regions
#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "imaging/core/iegdiplus.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/core/ruduvazez_bitmap_rows.h"
#include "imaging/core/ruduvazez_mask.h"
#include "imaging/processing/imageryproc.h"
#include "platform/forms/graphics.h"

namespace {

// ---- clipping ------------------------------------------------------------------------------

// A copy of w x h pixels from (sx, sy) of a source to (dx, dy) of a
// destination, cut so that it lies inside both: x + w <= width and
// y + h <= height on each side. False when nothing is left.
struct TRectCopy {
  int32_t sx, sy, dx, dy, w, h;
  bool Clip(int32_t sourceWidth, int32_t sourceHeight, int32_t destWidth, int32_t destHeight) {
    auto axis = [](int32_t& s, int32_t& d, int32_t& n, int32_t sourceSize, int32_t destSize) {
      int64_t s64 = s, d64 = d, n64 = n;
      if (d64 < 0) s64 -= d64, n64 += d64, d64 = 0;
      if (s64 < 0) d64 -= s64, n64 += s64, s64 = 0;
      n64 = std::min({n64, int64_t{sourceSize} - s64, int64_t{destSize} - d64});
      s = static_cast<int32_t>(std::min<int64_t>(s64, sourceSize));
      d = static_cast<int32_t>(std::min<int64_t>(d64, destSize));
      n = static_cast<int32_t>(std::max<int64_t>(n64, 0));
    };
    axis(sx, dx, w, sourceWidth, destWidth);
    axis(sy, dy, h, sourceHeight, destHeight);
    return w > 0 && h > 0;
  }
};

// Orders the corners and cuts the rectangle to the bitmap; false when nothing is left.
bool ClipToBitmap(int32_t& x1, int32_t& y1, int32_t& x2, int32_t& y2, int32_t width, int32_t height) {
  IEOrderCoords(x1, y1, x2, y2);
  x1 = std::max(x1, 0);
  y1 = std::max(y1, 0);
  x2 = std::min(x2, width - 1);
  y2 = std::min(y2, height - 1);
  return x1 <= x2 && y1 <= y2;
}

bool Bit(const uint8_t* row, int32_t x) { return (row[x >> 3] & (0x80 >> (x & 7))) != 0; }

// The nearest palette entry of each colour, remembered.
class TNearestEntry {
public:
  explicit TNearestEntry(TIEBitmap& bitmap) {
    for (int32_t i = 0; i < std::min(bitmap.GetPaletteLength(), 256); ++i) {
      TRGB c;
      bitmap.GetPaletteColor(i, c);
      palette_.push_back(c);
    }
  }
  uint8_t Index(TRGB c) {
    const uint32_t key = (uint32_t{c.r} << 16) | (uint32_t{c.g} << 8) | c.b;
    if (auto it = cache_.find(key); it != cache_.end()) return it->second;
    int32_t best = 0, bestDistance = INT32_MAX;
    for (size_t i = 0; i < palette_.size(); ++i) {
      const TRGB p = palette_[i];
      const int32_t d = std::abs(p.r - c.r) + std::abs(p.g - c.g) + std::abs(p.b - c.b);
      if (d < bestDistance) bestDistance = d, best = static_cast<int32_t>(i);
    }
    return cache_[key] = static_cast<uint8_t>(best);
  }

private:
  std::vector<TRGB> palette_;
  std::unordered_map<uint32_t, uint8_t> cache_;
};

}  // namespace

// ---- rectangle copies ----------------------------------------------------------------------

void TIEBitmap::CopyRectToBitmap(TIEBitmap& dest, int32_t sx, int32_t sy, int32_t dx, int32_t dy, int32_t w,
                                 int32_t h) {
  TRectCopy r{sx, sy, dx, dy, w, h};
  if (!r.Clip(GetWidth(), GetHeight(), dest.GetWidth(), dest.GetHeight())) return;
  const TIEPixelFormat from = GetPixelFormat(), to = dest.GetPixelFormat();
  enum { kCallback, kBits, kBitsToRGB, kBytes } mode;
  if (pixelCallback_ && to == ie24RGB)
    mode = kCallback;
  else if (from == ie1g && to == ie1g)
    mode = kBits;
  else if (from == ie1g && to == ie24RGB)
    mode = kBitsToRGB;
  else if (from == to && from != ieNoFormat)
    mode = kBytes;
  else
    return;
  const int64_t bytes = int64_t{r.w} * (GetBitCount() / 8);
  // A row goes through a buffer: source and destination may be one bitmap.
  std::vector<uint8_t> row(static_cast<size_t>(mode == kBytes ? bytes : (int64_t{r.w} + 7) / 8 + 1));
  for (int32_t y = 0; y < r.h; ++y) {
    if (mode == kCallback) {
      uint8_t* d = dest.GetScanline(r.dy + y) + int64_t{r.dx} * 3;
      for (int32_t x = 0; x < r.w; ++x) pixelCallback_(this, r.sx + x, reinterpret_cast<TRGB*>(d + x * 3), r.sy + y);
      continue;
    }
    const uint8_t* s = mode == kBytes ? GetPixelAddress(r.sy + y, r.sx, r.w) : GetScanline(r.sy + y);
    if (mode == kBytes) {
      std::memcpy(row.data(), s, row.size());
      std::memcpy(dest.GetPixelAddress(r.dy + y, r.dx, r.w), row.data(), row.size());
    } else if (mode == kBits) {
      std::fill(row.begin(), row.end(), 0);
      IECopyBits(row.data(), s, 0, r.sx, r.w, static_cast<int32_t>((int64_t{GetWidth()} + 7) / 8));
      IECopyBits(dest.GetScanline(r.dy + y), row.data(), r.dx, 0, r.w, static_cast<int32_t>(row.size()));
    } else {
      std::vector<TRGB> pixels(static_cast<size_t>(r.w));
      for (int32_t x = 0; x < r.w; ++x) pixels[x] = Bit(s, r.sx + x) ? TRGB{255, 255, 255} : TRGB{0, 0, 0};
      std::memcpy(dest.GetScanline(r.dy + y) + int64_t{r.dx} * 3, pixels.data(), pixels.size() * 3);
    }
  }
}

void TIEBitmap::MergeAlphaRectTo(TIEBitmap& dest, int32_t sx, int32_t sy, int32_t dx, int32_t dy, int32_t w,
                                 int32_t h) {
  TRectCopy r{sx, sy, dx, dy, w, h};
  if (!r.Clip(GetWidth(), GetHeight(), dest.GetWidth(), dest.GetHeight())) return;
  TIEBitmap* from = GetAlphaChannel();
  TIEBitmap* to = dest.GetAlphaChannel();
  if (!from || !to || from->GetPixelFormat() != ie8g || to->GetPixelFormat() != ie8g) return;
  std::vector<uint8_t> row(static_cast<size_t>(r.w));
  for (int32_t y = 0; y < r.h; ++y) {
    std::memcpy(row.data(), from->GetScanline(r.sy + y) + r.sx, row.size());
    uint8_t* d = to->GetScanline(r.dy + y) + r.dx;
    for (int32_t x = 0; x < r.w; ++x) d[x] = std::max(d[x], row[x]);
  }
}

// ---- geometry --------------------------------------------------------------------------------

void TIEBitmap::MoveRect(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t dx, int32_t dy, double fillValue,
                         bool fill) {
  IEOrderCoords(x1, y1, x2, y2);
  const int32_t ox = x1, oy = y1;
  if (!ClipToBitmap(x1, y1, x2, y2, GetWidth(), GetHeight())) return;
  // The part outside the image moves nothing: the destination shifts with the cut.
  dx = static_cast<int32_t>(std::clamp<int64_t>(int64_t{dx} + x1 - ox, INT32_MIN, INT32_MAX));
  dy = static_cast<int32_t>(std::clamp<int64_t>(int64_t{dy} + y1 - oy, INT32_MIN, INT32_MAX));
  const int32_t w = x2 - x1 + 1, h = y2 - y1 + 1;
  TIEBitmap scratch(w, h, GetPixelFormat());
  CopyRectToBitmap(scratch, x1, y1, 0, 0, w, h);
  if (fill) FillRect(x1, y1, x2, y2, fillValue);
  scratch.CopyRectToBitmap(*this, 0, 0, dx, dy, w, h);
}

void TIEBitmap::ResizeKeepingContent(int32_t width, int32_t height, double fillValue, double alphaFill,
                                     int32_t horizontal, int32_t vertical) {
  if (IsVirtual()) {
    SetWidth(width);
    SetHeight(height);
    return;
  }
  const int32_t W = GetWidth(), H = GetHeight();
  auto offset = [](int32_t placement, int32_t room) { return placement == 1 ? room / 2 : room; };
  // Shrinking: the kept part moves to the top-left corner first.
  auto shrink = [&](TIEBitmap& b, double value) {
    if (width < W && horizontal != 0) {
      const int32_t x = offset(horizontal, W - width);
      b.MoveRect(x, 0, x + width - 1, H - 1, 0, 0, value, true);
    }
    if (height < H && vertical != 0) {
      const int32_t y = offset(vertical, H - height);
      b.MoveRect(0, y, W - 1, y + height - 1, 0, 0, value, true);
    }
  };
  shrink(*this, fillValue);
  if (alphaChannel_) shrink(*alphaChannel_, alphaFill);
  SetWidth(width);
  SetHeight(height);
  // Growing: the new area is filled, then the old content moves to its place.
  auto grow = [&](TIEBitmap& b, double value) {
    if (W < width) {
      b.FillRect(W, 0, width - 1, height - 1, value);
      if (horizontal != 0) b.MoveRect(0, 0, W - 1, height - 1, offset(horizontal, width - W), 0, value, true);
    }
    if (H < height) {
      b.FillRect(0, H, width - 1, height - 1, value);
      if (vertical != 0) b.MoveRect(0, 0, width - 1, H - 1, 0, offset(vertical, height - H), value, true);
    }
  };
  grow(*this, fillValue);
  if (alphaChannel_) grow(*alphaChannel_, alphaFill);
}

// ---- rectangles as bitmaps ---------------------------------------------------------------------

std::unique_ptr<TIEBitmap> TIEBitmap::CreateFromRect(TIEBitmap& source, int32_t x1, int32_t y1, int32_t x2,
                                                     int32_t y2) {
  auto result = std::make_unique<TIEBitmap>();
  if (!ClipToBitmap(x1, y1, x2, y2, source.GetWidth(), source.GetHeight())) return result;
  const int32_t w = x2 - x1 + 1, h = y2 - y1 + 1;
  if (!result->Allocate(w, h, source.GetPixelFormat())) return result;
  source.CopyRectToBitmap(*result, x1, y1, 0, 0, w, h);
  source.CopyPaletteTo(result.get());
  if (source.HasAlphaChannel()) {
    TIEBitmap* alpha = result->GetAlphaChannel();
    source.PeekAlphaChannel()->CopyRectToBitmap(*alpha, x1, y1, 0, 0, w, h);
    alpha->SetFullFlag(source.PeekAlphaChannel()->FullFlag());
  }
  return result;
}

std::unique_ptr<TIEBitmap> TIEBitmap::CreateFromTBitmapRect(TBitmap* bitmap, int32_t x1, int32_t y1, int32_t x2,
                                                            int32_t y2) {
  if (!bitmap) return std::make_unique<TIEBitmap>();
  // Every framework format is read, and converted when the target takes another.
  TIEBitmap whole;
  whole.CopyFromTBitmap(bitmap);
  const TIEPixelFormat target = IEPixelFormatFromVCL(bitmap->PixelFormat());
  if (whole.GetPixelFormat() != target) whole.SetPixelFormat(target);
  return CreateFromRect(whole, x1, y1, x2, y2);
}

// ---- regions --------------------------------------------------------------------------------------

std::unique_ptr<TIEBitmap> TIEBitmap::CreateRegionBitmap(TIEBitmap& parent, int32_t x1, int32_t y1, int32_t x2,
                                                         int32_t y2, TIEPixelFormat format, bool transparent) {
  std::unique_ptr<TIEBitmap> region;
  if (!ClipToBitmap(x1, y1, x2, y2, parent.GetWidth(), parent.GetHeight())) {
    region = std::make_unique<TIEBitmap>();
  } else if (transparent) {
    region = std::make_unique<TIEBitmap>(x2 - x1 + 1, y2 - y1 + 1, ie32RGBA);
    region->Fill(0);
  } else {
    region = CreateFromRect(parent, x1, y1, x2, y2);
    if (format != ieNoFormat) region->SetPixelFormat(format);
  }
  region->regionParent_ = &parent;
  region->regionRect_ = RECT{x1, y1, x2, y2};
  return region;
}

TIECanvas* TIEBitmap::CreateRegionCanvas(TIEBitmap& parent, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                                         bool antiAlias, bool useGDIPlus, bool transparent) {
  auto region = CreateRegionBitmap(parent, x1, y1, x2, y2, transparent ? ie32RGBA : ie24RGB, transparent);
  TCanvas* canvas = region->GetTBitmapCanvas();
  if (!canvas) return nullptr;
  auto* ieCanvas = new TIECanvas(canvas, antiAlias, useGDIPlus);
  const RECT rect = region->regionRect_;
  ieCanvas->SetAttachedBitmap(region.release());
  ieCanvas->OnDestroy = [ieCanvas](TObject*) {
    ieCanvas->ResetTransform();
    delete ieCanvas->AttachedBitmap();
    ieCanvas->SetAttachedBitmap(nullptr);
  };
  ieCanvas->Translate(-rect.left, -rect.top);
  if (transparent) ieCanvas->SetCompositing(1, 2);
  return ieCanvas;
}

void TIEBitmap::WriteBackRegion() {
  TIEBitmap* parent = std::exchange(regionParent_, nullptr);
  if (!parent || IsEmpty()) return;
  const int32_t x = regionRect_.left, y = regionRect_.top, w = GetWidth(), h = GetHeight();
  if (GetPixelFormat() == ie32RGBA) {
    parent->CompositeFrom(*this, x, y, -1, -1, 255, rfNone, 0, false, 0, 0, 1.0);
    return;
  }
  if (parent->GetPixelFormat() == ie8p && GetPixelFormat() != ie8p) {
    // Each colour takes the nearest entry of the parent's own palette.
    SetPixelFormat(ie24RGB);
    TNearestEntry nearest(*parent);
    TRectCopy r{0, 0, x, y, w, h};
    if (r.Clip(w, h, parent->GetWidth(), parent->GetHeight()))
      for (int32_t row = 0; row < r.h; ++row) {
        std::vector<TRGB> pixels(static_cast<size_t>(r.w));
        std::memcpy(pixels.data(), GetScanline(r.sy + row) + int64_t{r.sx} * 3, pixels.size() * 3);
        uint8_t* d = parent->GetScanline(r.dy + row) + r.dx;
        for (int32_t i = 0; i < r.w; ++i) d[i] = nearest.Index(pixels[i]);
      }
  } else {
    SetPixelFormat(parent->GetPixelFormat());
    CopyRectToBitmap(*parent, 0, 0, x, y, w, h);
  }
  if (alphaChannel_) alphaChannel_->CopyRectToBitmap(*parent->GetAlphaChannel(), 0, 0, x, y, w, h);
}
