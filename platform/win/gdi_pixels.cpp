// Pixel plumbing shared by the GDI units: bitmap pixel formats, 32-bit
// views of a DC's target, clip rectangles, raster operations, paints
// (pens and brushes), masks and their rasterisation through cairo.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/win/gdi_internal.h"
#include "platform/win/user_system.h"
#include "platform/win/winuser_consts.h"

namespace gdi {

// ------------------------------------------------------- bitmap pixels ---

uint8_t* BitmapObj::MemoryRow(int y) {
  return memory.data() + static_cast<ptrdiff_t>(topDown ? y : height - 1 - y) * strideBytes;
}
const uint8_t* BitmapObj::MemoryRow(int y) const {
  return memory.data() + static_cast<ptrdiff_t>(topDown ? y : height - 1 - y) * strideBytes;
}

namespace {

uint32_t TableColor(const std::vector<RGBQUAD>& colors, unsigned index) {
  if (index >= colors.size()) return 0xFF000000u;
  const RGBQUAD& q = colors[index];
  return 0xFF000000u | (static_cast<uint32_t>(q.rgbRed) << 16) | (static_cast<uint32_t>(q.rgbGreen) << 8) |
         q.rgbBlue;
}

unsigned NearestIndex(const std::vector<RGBQUAD>& colors, uint32_t p) {
  int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
  unsigned best = 0;
  int bestD = 1 << 30;
  for (unsigned i = 0; i < colors.size(); ++i) {
    int dr = colors[i].rgbRed - r, dg = colors[i].rgbGreen - g, db = colors[i].rgbBlue - b;
    int d = dr * dr + dg * dg + db * db;
    if (d < bestD) {
      bestD = d;
      best = i;
      if (d == 0) break;
    }
  }
  return best;
}

int MaskShift(DWORD m) {
  int s = 0;
  while (m && !(m & 1)) {
    m >>= 1;
    ++s;
  }
  return s;
}
int MaskBits(DWORD m) {
  m >>= MaskShift(m);
  int n = 0;
  while (m & 1) {
    m >>= 1;
    ++n;
  }
  return n;
}
uint32_t FromMasked(uint32_t v, DWORD mask) {
  if (!mask) return 0;
  uint32_t c = (v & mask) >> MaskShift(mask);
  int bits = MaskBits(mask);
  if (bits >= 8) return c >> (bits - 8);
  return bits ? (c * 255 + ((1u << bits) - 1) / 2) / ((1u << bits) - 1) : 0;
}
uint32_t ToMasked(uint32_t c, DWORD mask) {
  if (!mask) return 0;
  int bits = MaskBits(mask);
  uint32_t v = bits >= 8 ? c << (bits - 8) : (c * ((1u << bits) - 1) + 127) / 255;
  return (v << MaskShift(mask)) & mask;
}

void Masks16(const BitmapObj& b, DWORD& r, DWORD& g, DWORD& bl) {
  if (b.masks[0] | b.masks[1] | b.masks[2]) {
    r = b.masks[0];
    g = b.masks[1];
    bl = b.masks[2];
  } else {
    r = 0x7C00;
    g = 0x03E0;
    bl = 0x001F;
  }
}

}  // namespace

uint32_t BitmapObj::ReadPixel(int x, int y) const { return ReadRowPixel(*this, MemoryRow(y), x); }
void BitmapObj::WritePixel(int x, int y, uint32_t pixel) { WriteRowPixel(*this, MemoryRow(y), x, pixel); }

uint32_t ReadRowPixel(const BitmapObj& fmt, const uint8_t* row, int x) {
  const bool dib = fmt.dib;
  const auto& colors = fmt.colors;
  switch (fmt.bpp) {
    case 1: {
      unsigned bit = (row[x >> 3] >> (7 - (x & 7))) & 1;
      if (!dib) return bit ? 0xFFFFFFFFu : 0xFF000000u;
      return TableColor(colors, bit);
    }
    case 4: return TableColor(colors, (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F);
    case 8: return TableColor(colors, row[x]);
    case 16: {
      uint32_t v = row[2 * x] | (static_cast<uint32_t>(row[2 * x + 1]) << 8);
      DWORD r, g, b;
      Masks16(fmt, r, g, b);
      return 0xFF000000u | (FromMasked(v, r) << 16) | (FromMasked(v, g) << 8) | FromMasked(v, b);
    }
    case 24: {
      const uint8_t* p = row + 3 * x;
      return 0xFF000000u | (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[1]) << 8) | p[0];
    }
    default: {
      uint32_t v;
      std::memcpy(&v, row + 4 * x, 4);
      return v;
    }
  }
}

void WriteRowPixel(const BitmapObj& fmt, uint8_t* row, int x, uint32_t pixel) {
  const bool dib = fmt.dib;
  const auto& colors = fmt.colors;
  switch (fmt.bpp) {
    case 1: {
      unsigned bit;
      if (dib) {
        bit = NearestIndex(colors, pixel) & 1;
      } else {
        int lum = (((pixel >> 16) & 0xFF) * 30 + ((pixel >> 8) & 0xFF) * 59 + (pixel & 0xFF) * 11) / 100;
        bit = lum >= 128;
      }
      uint8_t m = static_cast<uint8_t>(0x80 >> (x & 7));
      row[x >> 3] = static_cast<uint8_t>(bit ? row[x >> 3] | m : row[x >> 3] & ~m);
      return;
    }
    case 4: {
      auto idx = static_cast<uint8_t>(NearestIndex(colors, pixel) & 0x0F);
      uint8_t& b = row[x >> 1];
      b = (x & 1) ? static_cast<uint8_t>((b & 0xF0) | idx) : static_cast<uint8_t>((b & 0x0F) | (idx << 4));
      return;
    }
    case 8: row[x] = static_cast<uint8_t>(NearestIndex(colors, pixel)); return;
    case 16: {
      DWORD r, g, b;
      Masks16(fmt, r, g, b);
      uint32_t v = ToMasked((pixel >> 16) & 0xFF, r) | ToMasked((pixel >> 8) & 0xFF, g) | ToMasked(pixel & 0xFF, b);
      row[2 * x] = static_cast<uint8_t>(v);
      row[2 * x + 1] = static_cast<uint8_t>(v >> 8);
      return;
    }
    case 24: {
      uint8_t* p = row + 3 * x;
      p[0] = static_cast<uint8_t>(pixel);
      p[1] = static_cast<uint8_t>(pixel >> 8);
      p[2] = static_cast<uint8_t>(pixel >> 16);
      return;
    }
    default: std::memcpy(row + 4 * x, &pixel, 4); return;
  }
}

// ---------------------------------------------------------- targets ---

namespace {
// The rows of a 24-bit bitmap, which convert to and from its working copy
// a row at a time.
std::optional<Raster> ShadowRows(BitmapObj* bm) {
  if (bm->bpp != 24) return std::nullopt;
  return BitmapRaster(bm);
}
}  // namespace

TargetLock::TargetLock(DCObj* dc, bool write, const RECT* area) {
  if (!dc) return;
  if (dc->surface) {
    Surface* s = dc->surface;
    if (s->width > 0 && s->height > 0 && s->pixels.size() >= static_cast<size_t>(s->width) * s->height)
      view_ = {s->pixels.data(), s->width, s->width, s->height, RECT{0, 0, s->width, s->height}};
    return;
  }
  BitmapObj* bm = dc->s.bitmap;
  if (!dc->memory || !bm || bm->memory.empty()) return;
  RECT whole{0, 0, bm->width, bm->height};
  if (bm->bpp == 32 && !bm->masks[0]) {
    view_.base = reinterpret_cast<uint32_t*>(bm->MemoryRow(0));
    view_.stride = bm->topDown ? bm->width : -bm->width;
    view_.width = bm->width;
    view_.height = bm->height;
    view_.valid = whole;
    return;
  }
  shadowOf_ = bm;
  if (bm->lockDepth++ == 0) {
    RECT r = whole;
    if (area && !IntersectRects(r, *area, whole)) r = {};
    bm->shadowArea = r;
    // Uninitialised on purpose: only the area is filled and used.
    bm->shadow.reset(new uint32_t[static_cast<size_t>(bm->width) * bm->height]);
    const std::optional<Raster> rows = ShadowRows(bm);
    for (int y = r.top; y < r.bottom; ++y) {
      uint32_t* to = &bm->shadow[static_cast<size_t>(y) * bm->width];
      if (rows) ReadSpan(*rows, y, r.left, r.right - r.left, to + r.left);
      else
        for (int x = r.left; x < r.right; ++x) to[x] = bm->ReadPixel(x, y) | 0xFF000000u;
    }
  }
  bm->shadowDirty |= write;
  view_ = {bm->shadow.get(), bm->width, bm->width, bm->height, bm->shadowArea};
}

TargetLock::~TargetLock() {
  if (!shadowOf_) return;
  BitmapObj* bm = shadowOf_;
  if (--bm->lockDepth > 0) return;
  if (bm->shadowDirty) {
    const RECT& r = bm->shadowArea;
    const std::optional<Raster> rows = ShadowRows(bm);
    for (int y = r.top; y < r.bottom; ++y) {
      const uint32_t* from = &bm->shadow[static_cast<size_t>(y) * bm->width];
      if (rows) WriteSpan(*rows, y, r.left, r.right - r.left, from + r.left);
      else
        for (int x = r.left; x < r.right; ++x) bm->WritePixel(x, y, from[x]);
    }
  }
  bm->shadow.reset();
  bm->shadowArea = {};
  bm->shadowDirty = false;
}

std::vector<RECT> ClipRects(const DCObj* dc, const PixelView& view) {
  RECT bounds = view.valid;
  if (dc->surface && !IntersectRects(bounds, bounds, dc->surfaceClip)) return {};
  if (!dc->s.clip) return Region::FromRect(bounds).rects;
  Region clip = *dc->s.clip;
  clip.Offset(dc->origin.x, dc->origin.y);
  if (clip.Within(bounds)) return std::move(clip.rects);
  return CombineRegions(clip, Region::FromRect(bounds), RGN_AND).rects;
}

// --------------------------------------------------------- raster ops ---

uint32_t Rop3(uint8_t code, uint32_t p, uint32_t s, uint32_t d) {
  switch (code) {
    case 0xCC: return s;
    case 0xF0: return p;
    case 0x66: return s ^ d;
    case 0x5A: return p ^ d;
    case 0x88: return s & d;
    case 0xEE: return s | d;
    case 0x55: return ~d;
    case 0x00: return 0;
    case 0xFF: return 0xFFFFFFFFu;
    default: break;
  }
  uint32_t r = 0;
  for (int i = 0; i < 8; ++i)
    if ((code >> i) & 1) r |= ((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d);
  return r;
}

uint32_t Rop2(int rop2, uint32_t pen, uint32_t dst) {
  // R2 code n holds the truth table n - 1 over (pen, dst); spread it over
  // the ternary table with the source ignored.
  unsigned t = static_cast<unsigned>(rop2 - 1) & 0x0F;
  uint8_t code = 0;
  for (int i = 0; i < 8; ++i) {
    int pBit = (i >> 2) & 1, dBit = i & 1;
    if ((t >> (pBit * 2 + dBit)) & 1) code = static_cast<uint8_t>(code | (1u << i));
  }
  return (Rop3(code, pen, 0, dst) & 0x00FFFFFFu) | 0xFF000000u;
}

// ------------------------------------------------------------- paints ---

bool BrushIsNull(const BrushObj* b) { return !b || b->style == BS_NULL; }
bool PenIsNull(const PenObj* p) { return !p || p->Kind() == PS_NULL; }

namespace {
bool HatchBit(int hatch, int x, int y) {
  switch (hatch) {
    case HS_HORIZONTAL: return y == 0;
    case HS_VERTICAL: return x == 0;
    case HS_FDIAGONAL: return x == y;
    case HS_BDIAGONAL: return x + y == 7;
    case HS_CROSS: return x == 0 || y == 0;
    case HS_DIAGCROSS: return x == y || x + y == 7;
    default: return false;
  }
}
}  // namespace

bool Paint::At(int x, int y, uint32_t& out) const {
  if (!brush || brush->style == BS_SOLID) {
    out = color;
    return true;
  }
  int px = (x - brushOrg.x) & 7, py = (y - brushOrg.y) & 7;
  if (brush->style == BS_HATCHED) {
    if (HatchBit(brush->hatch, px, py)) {
      out = color;
      return true;
    }
    out = bk;
    return opaqueBk;
  }
  if (brush->style == BS_PATTERN) {
    size_t i = static_cast<size_t>(py * 8 + px);
    out = brush->mono ? (brush->monoPattern[i] ? bk : text) : brush->pattern[i];
    return true;
  }
  return false;
}

Paint BrushPaint(const DCObj* dc, const BrushObj* brush) {
  Paint p;
  p.brush = brush;
  p.color = PixelFromColor(brush->color);
  p.bk = PixelFromColor(dc->s.bk);
  p.text = PixelFromColor(dc->s.text);
  p.opaqueBk = dc->s.bkMode == OPAQUE;
  p.brushOrg = {dc->s.brushOrg.x + dc->origin.x, dc->s.brushOrg.y + dc->origin.y};
  p.rop2 = dc->s.rop2;
  return p;
}

Paint PenPaint(const DCObj* dc, const PenObj* pen) {
  Paint p;
  p.color = PixelFromColor(pen->color);
  p.bk = PixelFromColor(dc->s.bk);
  p.opaqueBk = dc->s.bkMode == OPAQUE;
  p.rop2 = dc->s.rop2;
  return p;
}

// -------------------------------------------------------------- masks ---

void Mask::Init(const RECT& r) {
  x0 = r.left;
  y0 = r.top;
  width = std::max<int>(0, r.right - r.left);
  height = std::max<int>(0, r.bottom - r.top);
  bits.assign(static_cast<size_t>(width) * height, 0);
}

void ApplyMask(const PixelView& view, const std::vector<RECT>& clip, const Mask& mask, const Paint& paint) {
  if (!view.Valid() || mask.width <= 0 || mask.height <= 0) return;
  RECT area{mask.x0, mask.y0, mask.x0 + mask.width, mask.y0 + mask.height};
  for (const RECT& c : clip) {
    RECT r;
    if (!IntersectRects(r, c, area)) continue;
    for (int y = r.top; y < r.bottom; ++y) {
      uint32_t* row = view.Row(y);
      const uint8_t* m = mask.bits.data() + static_cast<size_t>(y - mask.y0) * mask.width - mask.x0;
      for (int x = r.left; x < r.right; ++x) {
        if (!m[x]) continue;
        uint32_t src;
        if (m[x] == 255) {
          if (!paint.At(x, y, src)) continue;
        } else {
          if (!paint.opaqueBk) continue;
          src = paint.bk;
        }
        row[x] = paint.rop2 == R2_COPYPEN ? (src | 0xFF000000u) : Rop2(paint.rop2, src, row[x]);
      }
    }
  }
}

namespace {
// Runs `draw` on an A8 cairo surface the size of the mask, then copies the
// covered pixels (value 255) into the mask.
void RasterInto(Mask& mask, const std::function<void(cairo_t*)>& draw) {
  if (mask.width <= 0 || mask.height <= 0) return;
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_A8, mask.width, mask.height);
  if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(s);
    return;
  }
  cairo_t* cr = cairo_create(s);
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
  cairo_translate(cr, -mask.x0, -mask.y0);
  draw(cr);
  cairo_destroy(cr);
  cairo_surface_flush(s);
  const unsigned char* data = cairo_image_surface_get_data(s);
  int stride = cairo_image_surface_get_stride(s);
  for (int y = 0; y < mask.height; ++y) {
    const unsigned char* src = data + static_cast<ptrdiff_t>(y) * stride;
    uint8_t* dst = mask.Row(y);
    for (int x = 0; x < mask.width; ++x)
      if (src[x] >= 128) dst[x] = 255;
  }
  cairo_surface_destroy(s);
}
}  // namespace

void RasterFill(Mask& mask, const std::function<void(cairo_t*)>& build, bool winding) {
  RasterInto(mask, [&](cairo_t* cr) {
    cairo_set_fill_rule(cr, winding ? CAIRO_FILL_RULE_WINDING : CAIRO_FILL_RULE_EVEN_ODD);
    build(cr);
    cairo_fill(cr);
  });
}

void RasterStroke(Mask& mask, const std::function<void(cairo_t*)>& build, const StrokeStyle& style) {
  RasterInto(mask, [&](cairo_t* cr) {
    cairo_set_line_width(cr, style.width);
    cairo_set_line_cap(cr, style.cap);
    cairo_set_line_join(cr, style.join);
    if (!style.dashes.empty()) cairo_set_dash(cr, style.dashes.data(), static_cast<int>(style.dashes.size()), 0);
    build(cr);
    cairo_stroke(cr);
  });
}

StrokeStyle PenStroke(const PenObj* pen, double scale) {
  StrokeStyle st;
  st.width = std::max(1.0, pen->width * scale);
  if (pen->Geometric()) {
    UINT cap = pen->style & PS_ENDCAP_MASK, join = pen->style & PS_JOIN_MASK;
    st.cap = cap == PS_ENDCAP_FLAT ? CAIRO_LINE_CAP_BUTT : cap == PS_ENDCAP_SQUARE ? CAIRO_LINE_CAP_SQUARE
                                                                                     : CAIRO_LINE_CAP_ROUND;
    st.join = join == PS_JOIN_BEVEL ? CAIRO_LINE_JOIN_BEVEL : join == PS_JOIN_MITER ? CAIRO_LINE_JOIN_MITER
                                                                                      : CAIRO_LINE_JOIN_ROUND;
    double w = st.width;
    switch (pen->Kind()) {
      case PS_DASH: st.dashes = {3 * w, w}; break;
      case PS_DOT: st.dashes = {w, w}; break;
      case PS_DASHDOT: st.dashes = {3 * w, w, w, w}; break;
      case PS_DASHDOTDOT: st.dashes = {3 * w, w, w, w, w, w}; break;
      case PS_USERSTYLE:
        for (DWORD d : pen->userStyle) st.dashes.push_back(std::max<double>(d, 0.5) * w);
        break;
      default: break;
    }
  }
  return st;
}

namespace {
// On/off run lengths of cosmetic pen styles, in pixels.
std::vector<int> CosmeticPattern(const PenObj* pen) {
  switch (pen->Kind()) {
    case PS_DASH: return {18, 6};
    case PS_DOT: return {3, 3};
    case PS_DASHDOT: return {9, 6, 3, 6};
    case PS_DASHDOTDOT: return {9, 3, 3, 3, 3, 3};
    case PS_ALTERNATE: return {1, 1};
    case PS_USERSTYLE: {
      std::vector<int> v;
      for (DWORD d : pen->userStyle) v.push_back(std::clamp<int>(static_cast<int>(d), 1, 1000));
      return v;
    }
    default: return {};
  }
}

bool PatternOn(const std::vector<int>& pattern, int step) {
  if (pattern.empty()) return true;
  int total = 0;
  for (int v : pattern) total += v;
  int pos = step % total;
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pos < pattern[i]) return i % 2 == 0;
    pos -= pattern[i];
  }
  return true;
}
}  // namespace

namespace {
// Cuts a segment far longer than the mask down to the part near the mask,
// so that stepping along it stays bounded; answers false when none is near.
bool ClipLong(const Mask& mask, POINT& a, POINT& b, bool& endCut) {
  endCut = false;
  double len = std::hypot(double(b.x) - a.x, double(b.y) - a.y);
  if (len <= 4.0 * (mask.width + mask.height) + 64) return true;
  double x0 = mask.x0 - 2, y0 = mask.y0 - 2, x1 = mask.x0 + mask.width + 2, y1 = mask.y0 + mask.height + 2;
  double dx = double(b.x) - a.x, dy = double(b.y) - a.y, t0 = 0, t1 = 1;
  // Liang-Barsky against the widened mask rectangle.
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {a.x - x0, x1 - a.x, a.y - y0, y1 - a.y};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return false;
      continue;
    }
    double r = q[i] / p[i];
    if (p[i] < 0) t0 = std::max(t0, r);
    else t1 = std::min(t1, r);
  }
  if (t0 > t1) return false;
  POINT na{static_cast<LONG>(std::lround(a.x + t0 * dx)), static_cast<LONG>(std::lround(a.y + t0 * dy))};
  POINT nb{static_cast<LONG>(std::lround(a.x + t1 * dx)), static_cast<LONG>(std::lround(a.y + t1 * dy))};
  endCut = t1 < 1;
  a = na;
  b = nb;
  return true;
}
}  // namespace

void RasterThinLine(Mask& mask, POINT a, POINT b, const PenObj* pen, int& step) {
  bool endCut = false;
  if (!ClipLong(mask, a, b, endCut)) return;
  if (endCut) {  // the end lies outside the mask: draw through it
    b.x += b.x > a.x ? 1 : b.x < a.x ? -1 : 0;
    b.y += b.y > a.y ? 1 : b.y < a.y ? -1 : 0;
  }
  std::vector<int> pattern = CosmeticPattern(pen);
  // Lines far outside the mask are walked only as far as needed.
  WalkLine(a, b, [&](int x, int y) { mask.Set(x, y, PatternOn(pattern, step++) ? 255 : 128); });
}

// ------------------------------------------------------------ cairo ---

cairo_surface_t* SurfaceForView(const PixelView& view, cairo_matrix_t* flip) {
  cairo_matrix_init_identity(flip);
  uint32_t* lowest = view.base;
  ptrdiff_t stride = view.stride;
  if (stride < 0) {
    lowest = view.base + static_cast<ptrdiff_t>(view.height - 1) * stride;
    stride = -stride;
    cairo_matrix_init(flip, 1, 0, 0, -1, 0, view.height);
  }
  return cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(lowest), CAIRO_FORMAT_ARGB32,
                                             view.width, view.height, static_cast<int>(stride * 4));
}

CairoTarget::CairoTarget(DCObj* dc, bool write, const RECT* area) : lock(dc, write, area) {
  if (!lock.Ok()) return;
  clip = ClipRects(dc, lock.View());
  if (clip.empty()) return;
  cairo_matrix_t flip;
  surface = SurfaceForView(lock.View(), &flip);
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface);
    surface = nullptr;
    return;
  }
  cr = cairo_create(surface);
  cairo_set_matrix(cr, &flip);
  for (const RECT& r : clip) cairo_rectangle(cr, r.left, r.top, r.right - r.left, r.bottom - r.top);
  cairo_clip(cr);
}

CairoTarget::~CairoTarget() {
  if (cr) cairo_destroy(cr);
  if (surface) {
    cairo_surface_flush(surface);
    cairo_surface_destroy(surface);
  }
}

// ------------------------------------------------------------ sources ---

SourcePixels::SourcePixels(DCObj* src, const DCObj* dest, const RECT* area) : lock(src, false, area) {
  if (!src) return;
  BitmapObj* sb = src->memory ? src->s.bitmap : nullptr;
  BitmapObj* db = dest && dest->memory ? dest->s.bitmap : nullptr;
  bool srcMono = sb && sb->bpp == 1 && !sb->dib;
  bool destMono = db && db->bpp == 1 && !db->dib;
  if (srcMono && !destMono) {
    mono = true;
    zero = PixelFromColor(dest->s.text);
    one = PixelFromColor(dest->s.bk);
  } else if (!srcMono && destMono) {
    toMono = true;
    key = PixelFromColor(src->s.bk) & 0xFFFFFFu;
  }
}

uint32_t SourcePixels::At(int x, int y) const {
  uint32_t p = lock.View().Row(y)[x];
  if (mono) return (p & 0xFFFFFF) ? one : zero;
  if (toMono) return (p & 0xFFFFFF) == key ? 0xFFFFFFFFu : 0xFF000000u;
  return p;
}

COLORREF ClassicColor(SysColor which) {
  // In the order of SysColor: the window layer's system colours.
  static constexpr int kIndexes[] = {COLOR_BTNFACE, COLOR_BTNSHADOW, COLOR_BTNHIGHLIGHT, COLOR_3DDKSHADOW,
                                     COLOR_3DLIGHT, COLOR_WINDOW,    COLOR_WINDOWTEXT,   COLOR_GRAYTEXT};
  return GetSysColor(kIndexes[static_cast<int>(which)]);
}

}  // namespace gdi
