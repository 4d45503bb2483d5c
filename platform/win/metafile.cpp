// The metafile player's shared part: record bytes, DIB checks, the playback
// state and the drawing of logical shapes through GDI.
//
// Sections: bytes and DIBs | objects and state | mapping | clipping |
// paths and shapes | text and pictures | entry point
#include "platform/win/metafile.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "platform/rtl/encoding.h"
#include "platform/win/gdi_text.h"
#include "platform/win/metafile_internal.h"

namespace metafile {

// ------------------------------------------------------- bytes and DIBs ---

float Bytes::F32(size_t off) {
  uint32_t bits = U32(off);
  float v;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

Bytes Bytes::Sub(size_t off, size_t len) {
  if (!Has(off, len)) {
    ok = false;
    return Bytes{nullptr, 0, false};
  }
  return Bytes{p + off, len, true};
}

namespace {

struct DibLayout {
  int32_t width = 0, height = 0;
  uint16_t bpp = 0;
  uint32_t compression = 0;
  size_t maskBytes = 0, colors = 0;
  size_t TableEnd(uint32_t headerSize) const { return headerSize + maskBytes + colors * 4; }
};

// The header's format when this player draws it; the table must follow in `header`.
std::optional<DibLayout> ReadLayout(Bytes header, UINT usage) {
  const uint32_t size = header.U32(0);
  if (usage != DIB_RGB_COLORS || !header.ok || size < 40 || !header.Has(0, size)) return std::nullopt;
  DibLayout d;
  d.width = header.S32(4);
  d.height = header.S32(8);
  d.bpp = header.U16(14);
  d.compression = header.U32(16);
  const uint16_t planes = header.U16(12);
  const uint32_t used = header.U32(32);
  if (planes != 1 || d.width <= 0 || d.height == 0 || d.height == INT32_MIN || d.width > (1 << 16) ||
      std::abs(d.height) > (1 << 16))
    return std::nullopt;
  const uint16_t bpp = d.bpp;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return std::nullopt;
  const bool fields = d.compression == BI_BITFIELDS;
  if (d.compression != BI_RGB && !(fields && (bpp == 16 || bpp == 32))) return std::nullopt;
  if (fields && size == 40) d.maskBytes = 12;
  if (bpp <= 8) {
    if (used > (1u << bpp)) return std::nullopt;
    d.colors = used ? used : (1u << bpp);
  }
  if (!header.Has(size, d.maskBytes + d.colors * 4)) return std::nullopt;
  return d;
}

}  // namespace

std::optional<Dib> ParsePackedDib(Bytes block, UINT usage) {
  std::optional<DibLayout> d = ReadLayout(block, usage);
  if (!d) return std::nullopt;
  const size_t end = d->TableEnd(block.U32(0));
  return ParseDib(block.Sub(0, end), block.Sub(end, block.n - end), usage);
}

std::optional<Dib> ParseDib(Bytes header, Bytes bits, UINT usage) {
  std::optional<DibLayout> d = ReadLayout(header, usage);
  if (!d) return std::nullopt;
  const uint32_t size = header.U32(0);
  const int32_t width = d->width, height = d->height;
  const uint16_t bpp = d->bpp;
  const size_t tableAt = size, maskBytes = d->maskBytes, colors = d->colors;
  const uint32_t compression = d->compression;
  const uint64_t stride = (static_cast<uint64_t>(width) * bpp + 31) / 32 * 4;
  if (stride * static_cast<uint64_t>(std::abs(height)) > bits.n) return std::nullopt;

  Dib dib;
  dib.width = width;
  dib.height = height;
  dib.bits = bits.p;
  dib.info.assign(sizeof(BITMAPINFOHEADER) + 12 + 256 * sizeof(RGBQUAD), 0);
  BITMAPINFOHEADER h;
  h.biSize = sizeof(BITMAPINFOHEADER);
  h.biWidth = width;
  h.biHeight = height;
  h.biBitCount = bpp;
  h.biCompression = compression;
  h.biClrUsed = static_cast<DWORD>(colors);
  std::memcpy(dib.info.data(), &h, sizeof h);
  std::memcpy(dib.info.data() + sizeof h, header.p + tableAt, maskBytes + colors * 4);
  return dib;
}

// --------------------------------------------------------------- mapping ---

Affine Affine::After(const Affine& g) const {
  return {a * g.a + c * g.b, b * g.a + d * g.b, a * g.c + c * g.d, b * g.c + d * g.d, a * g.e + c * g.f + e,
          b * g.e + d * g.f + f};
}

double Affine::Scale() const { return std::sqrt(std::abs(a * d - b * c)); }

namespace {

constexpr double kFar = 1 << 26;  // target coordinates are kept within this

int Round(double v) {
  if (!(v > -kFar)) return static_cast<int>(-kFar);
  if (!(v < kFar)) return static_cast<int>(kFar);
  return static_cast<int>(std::lround(v));
}

bool Finite(const Affine& m) {
  return std::isfinite(m.a) && std::isfinite(m.b) && std::isfinite(m.c) && std::isfinite(m.d) &&
         std::isfinite(m.e) && std::isfinite(m.f);
}

double Ratio(double num, double den) { return den == 0 ? 1 : num / den; }

HRGN NewRegion(const RECT& r) { return CreateRectRgn(r.left, r.top, r.right, r.bottom); }
HRGN Everything() { return NewRegion({-(1 << 26), -(1 << 26), 1 << 26, 1 << 26}); }

// A region of the polygon through target points.
HRGN PolygonRegion(const std::vector<PointD>& pts, int fillMode) {
  std::vector<POINT> p;
  for (const PointD& q : pts) p.push_back({Round(q.x), Round(q.y)});
  return p.size() >= 3 ? CreatePolygonRgn(p.data(), static_cast<int>(p.size()), fillMode) : NewRegion({});
}

}  // namespace

Clip::Clip(const Clip& other) { *this = other; }

Clip& Clip::operator=(const Clip& other) {
  if (this == &other) return *this;
  if (rgn) ::DeleteObject(rgn);
  rgn = nullptr;
  if (other.rgn) {
    rgn = NewRegion({});
    CombineRgn(rgn, other.rgn, nullptr, RGN_COPY);
  }
  return *this;
}

Clip::~Clip() {
  if (rgn) ::DeleteObject(rgn);
}

Affine Player::Page() const {
  if (!enhanced_) {
    // The window of a Windows metafile fills the picture rectangle.
    const double sx = Ratio(picture_.right - picture_.left, s.windowExt.x);
    const double sy = Ratio(picture_.bottom - picture_.top, s.windowExt.y);
    return {sx, 0, 0, sy, picture_.left - s.windowOrg.x * sx, picture_.top - s.windowOrg.y * sy};
  }
  double sx = 1, sy = 1;
  auto metric = [&](double mm) {
    sx = pxPerMmX_ * mm;
    sy = -pxPerMmY_ * mm;
  };
  switch (s.mapMode) {
    case MM_LOMETRIC: metric(0.1); break;
    case MM_HIMETRIC: metric(0.01); break;
    case MM_LOENGLISH: metric(0.254); break;
    case MM_HIENGLISH: metric(0.0254); break;
    case MM_TWIPS: metric(25.4 / 1440); break;
    case MM_ISOTROPIC:
    case MM_ANISOTROPIC:
      sx = Ratio(s.viewportExt.x, s.windowExt.x);
      sy = Ratio(s.viewportExt.y, s.windowExt.y);
      if (s.mapMode == MM_ISOTROPIC) {
        const double m = std::min(std::abs(sx), std::abs(sy));
        sx = std::copysign(m, sx);
        sy = std::copysign(m, sy);
      }
      break;
    default: break;
  }
  return {sx, 0, 0, sy, s.viewportOrg.x - s.windowOrg.x * sx, s.viewportOrg.y - s.windowOrg.y * sy};
}

Affine Player::ToTarget() const {
  if (!enhanced_) return Page();
  return dest_.After(Page().After(s.world));
}

// --------------------------------------------------- objects and state ---

Player::Player(HDC dc, bool enhanced) : dc_(dc), enhanced_(enhanced) { baseDepth_ = ::SaveDC(dc_); }

Player::~Player() {
  if (baseDepth_ > 0) ::RestoreDC(dc_, baseDepth_);
}

bool Player::PutObject(size_t index, Object object) {
  if (index >= objects_.size()) return false;
  objects_[index] = std::move(object);
  return true;
}

bool Player::AddObject(Object object) {
  for (Object& slot : objects_) {
    if (std::holds_alternative<std::monostate>(slot)) {
      slot = std::move(object);
      return true;
    }
  }
  return false;
}

bool Player::SelectObject(size_t index) {
  if (index >= objects_.size()) return false;
  const Object& o = objects_[index];
  if (const Pen* pen = std::get_if<Pen>(&o)) s.pen = *pen;
  else if (const Brush* brush = std::get_if<Brush>(&o)) s.brush = *brush;
  else if (const Font* font = std::get_if<Font>(&o)) s.font = *font;
  else return std::holds_alternative<Other>(o);
  return true;
}

bool Player::SelectStock(uint32_t id) {
  static constexpr uint8_t kGreys[] = {255, 192, 128, 64, 0};
  if (id <= BLACK_BRUSH) s.brush = Brush{BS_SOLID, RGB(kGreys[id], kGreys[id], kGreys[id]), 0};
  else if (id == NULL_BRUSH) s.brush = Brush{BS_NULL, 0, 0};
  else if (id == WHITE_PEN || id == BLACK_PEN) s.pen = Pen{PS_SOLID, 0, id == WHITE_PEN ? RGB(255, 255, 255) : 0};
  else if (id == NULL_PEN) s.pen = Pen{PS_NULL, 0, 0};
  else if (id >= OEM_FIXED_FONT && id <= DEFAULT_GUI_FONT && id != DEFAULT_PALETTE) s.font = Font{};
  else return id <= 19;  // palette and DC pen and brush: nothing to do
  return true;
}

bool Player::DeleteObject(size_t index) {
  if (index >= objects_.size()) return false;
  objects_[index] = std::monostate{};
  return true;
}

void Player::SaveDC() {
  if (saved_.size() < 1024) saved_.push_back(s);
}

void Player::RestoreDC(int which) {
  const int64_t depth = which < 0 ? static_cast<int64_t>(saved_.size()) + which + 1 : which;
  if (depth < 1 || depth > static_cast<int64_t>(saved_.size())) return;
  s = saved_[static_cast<size_t>(depth - 1)];
  saved_.resize(static_cast<size_t>(depth - 1));
  ApplyClip();
}

void Player::SetMapMode(int mode) {
  if (mode >= MM_TEXT && mode <= MM_ANISOTROPIC) s.mapMode = mode;
}

void Player::ScaleExtent(PointD& ext, int32_t xNum, int32_t xDen, int32_t yNum, int32_t yDen) {
  if (xDen == 0 || yDen == 0) return;
  ext.x = ext.x * xNum / xDen;
  ext.y = ext.y * yNum / yDen;
}

void Player::ModifyWorld(const Affine& xf, uint32_t mode) {
  if (!Finite(xf)) return;
  if (mode == MWT_IDENTITY) s.world = Affine{};
  else if (mode == MWT_LEFTMULTIPLY) s.world = s.world.After(xf);
  else if (mode == MWT_RIGHTMULTIPLY) s.world = xf.After(s.world);
  else if (mode == 4) s.world = xf;  // set
}

void Player::Sync() {
  ::SetTextColor(dc_, s.text);
  ::SetBkColor(dc_, s.bk);
  ::SetBkMode(dc_, s.bkMode == TRANSPARENT ? TRANSPARENT : OPAQUE);
  ::SetROP2(dc_, s.rop2 >= R2_BLACK && s.rop2 <= R2_WHITE ? s.rop2 : R2_COPYPEN);
  ::SetPolyFillMode(dc_, s.fillMode == WINDING ? WINDING : ALTERNATE);
  ::SetStretchBltMode(dc_, s.stretchMode >= BLACKONWHITE && s.stretchMode <= HALFTONE ? s.stretchMode : COLORONCOLOR);
}

// -------------------------------------------------------------- clipping ---

void Player::ApplyClip() {
  ::RestoreDC(dc_, baseDepth_);
  baseDepth_ = ::SaveDC(dc_);
  if (s.clip.rgn) ExtSelectClipRgn(dc_, s.clip.rgn, RGN_AND);
}

namespace {

// Combines `shape` (consumed) into the clip by `mode`.
void CombineClip(Clip& clip, HRGN shape, int mode) {
  if (mode == RGN_COPY) {
    if (clip.rgn) ::DeleteObject(clip.rgn);
    clip.rgn = shape;
    return;
  }
  HRGN current = clip.rgn ? clip.rgn : Everything();
  HRGN result = NewRegion({});
  CombineRgn(result, current, shape, mode >= RGN_AND && mode <= RGN_DIFF ? mode : RGN_AND);
  ::DeleteObject(current);
  ::DeleteObject(shape);
  clip.rgn = result;
}

}  // namespace

void Player::ClipRect(double l, double t, double r, double b, bool exclude) {
  const std::vector<PointD> corners = {Map(l, t), Map(r, t), Map(r, b), Map(l, b)};
  HRGN shape;
  if (ToTarget().AxisAligned()) {
    RECT box{Round(std::min(corners[0].x, corners[2].x)), Round(std::min(corners[0].y, corners[2].y)),
             Round(std::max(corners[0].x, corners[2].x)), Round(std::max(corners[0].y, corners[2].y))};
    shape = NewRegion(box);
  } else {
    shape = PolygonRegion(corners, ALTERNATE);
  }
  CombineClip(s.clip, shape, exclude ? RGN_DIFF : RGN_AND);
  ApplyClip();
}

void Player::ClipDeviceRects(const std::vector<RECT>& rects, int mode) {
  if (mode == RGN_COPY && rects.empty()) {
    ResetClip();
    return;
  }
  HRGN shape = NewRegion({});
  for (const RECT& r : rects) {
    const PointD a = dest_.Apply(r.left, r.top), b = dest_.Apply(r.right, r.bottom);
    HRGN piece = NewRegion({Round(std::min(a.x, b.x)), Round(std::min(a.y, b.y)), Round(std::max(a.x, b.x)),
                            Round(std::max(a.y, b.y))});
    CombineRgn(shape, shape, piece, RGN_OR);
    ::DeleteObject(piece);
  }
  CombineClip(s.clip, shape, mode);
  ApplyClip();
}

void Player::ClipPath(int mode) {
  HRGN shape = NewRegion({});
  for (const Figure& f : path_) {
    HRGN piece = PolygonRegion(f.points, s.fillMode);
    CombineRgn(shape, shape, piece, s.fillMode == WINDING ? RGN_OR : RGN_XOR);
    ::DeleteObject(piece);
  }
  path_.clear();
  inPath_ = false;
  CombineClip(s.clip, shape, mode);
  ApplyClip();
}

void Player::ResetClip() {
  s.clip = Clip{};
  ApplyClip();
}

// ------------------------------------------------------ paths and shapes ---

bool Player::AddPoints(size_t n) {
  if (n > pointBudget_) {
    pointBudget_ = 0;
    return false;
  }
  pointBudget_ -= n;
  return true;
}

void Player::BeginPath() {
  inPath_ = true;
  path_.clear();
}

void Player::AbortPath() {
  inPath_ = false;
  path_.clear();
}

void Player::CloseFigure() {
  if (!path_.empty()) path_.back().closed = true;
}

void Player::FillPath(bool fill, bool stroke) {
  inPath_ = false;
  Draw(path_, fill, stroke);
  path_.clear();
}

void Player::Emit(std::vector<Figure> figures, bool fill, bool stroke) {
  if (inPath_) {
    for (Figure& f : figures) path_.push_back(std::move(f));
    return;
  }
  Draw(figures, fill, stroke);
}

namespace {

// Appends the cubic from `from` through c1, c2 to `to` as line segments.
void FlattenBezier(std::vector<PointD>& out, PointD from, PointD c1, PointD c2, PointD to) {
  const double len = std::hypot(c1.x - from.x, c1.y - from.y) + std::hypot(c2.x - c1.x, c2.y - c1.y) +
                     std::hypot(to.x - c2.x, to.y - c2.y);
  const int n = std::clamp(static_cast<int>(std::sqrt(std::min(len, 1e6)) * 1.5), 2, 64);
  for (int i = 1; i <= n; ++i) {
    const double t = static_cast<double>(i) / n, u = 1 - t;
    const double k0 = u * u * u, k1 = 3 * u * u * t, k2 = 3 * u * t * t, k3 = t * t * t;
    out.push_back({k0 * from.x + k1 * c1.x + k2 * c2.x + k3 * to.x, k0 * from.y + k1 * c1.y + k2 * c2.y + k3 * to.y});
  }
}

// Target points of logical points; beziers (triples after the start) flattened.
std::vector<PointD> Trace(const Affine& m, PointD start, const std::vector<PointD>& pts, size_t from, bool bezier,
                          std::vector<PointD> out) {
  PointD last = m.Apply(start.x, start.y);
  if (!bezier) {
    for (size_t i = from; i < pts.size(); ++i) out.push_back(m.Apply(pts[i].x, pts[i].y));
    return out;
  }
  for (size_t i = from; i + 2 < pts.size(); i += 3) {
    const PointD c1 = m.Apply(pts[i].x, pts[i].y), c2 = m.Apply(pts[i + 1].x, pts[i + 1].y),
                 to = m.Apply(pts[i + 2].x, pts[i + 2].y);
    FlattenBezier(out, last, c1, c2, to);
    last = to;
  }
  return out;
}

}  // namespace

void Player::MoveTo(double x, double y) {
  s.pos = {x, y};
  if (inPath_) path_.push_back(Figure{{Map(x, y)}, false});
}

void Player::LineTo(double x, double y) { PolyTo({{x, y}}, false); }

void Player::PolyTo(const std::vector<PointD>& pts, bool bezier) {
  if (pts.empty() || !AddPoints(pts.size() * (bezier ? 22 : 1))) return;
  const Affine m = ToTarget();
  if (inPath_) {
    if (path_.empty() || path_.back().closed) path_.push_back(Figure{{Map(s.pos.x, s.pos.y)}, false});
    path_.back().points = Trace(m, s.pos, pts, 0, bezier, std::move(path_.back().points));
  } else {
    Draw({Figure{Trace(m, s.pos, pts, 0, bezier, {Map(s.pos.x, s.pos.y)}), false}}, false, true);
  }
  if (!bezier) s.pos = pts.back();
  else if (pts.size() >= 3) s.pos = pts[pts.size() / 3 * 3 - 1];
}

void Player::Poly(const std::vector<PointD>& pts, bool closed, bool bezier) {
  if (pts.empty() || !AddPoints(pts.size() * (bezier ? 22 : 1))) return;
  const Affine m = ToTarget();
  Emit({Figure{Trace(m, pts[0], pts, 1, bezier, {m.Apply(pts[0].x, pts[0].y)}), closed}}, closed, true);
}

void Player::PolyPoly(const std::vector<std::vector<PointD>>& polys, bool closed) {
  const Affine m = ToTarget();
  std::vector<Figure> figures;
  for (const auto& pts : polys) {
    if (pts.empty() || !AddPoints(pts.size())) return;
    figures.push_back(Figure{Trace(m, pts[0], pts, 0, false, {}), closed});
  }
  Emit(std::move(figures), closed, true);
}

void Player::Rect(double l, double t, double r, double b) {
  Poly({{l, t}, {r, t}, {r, b}, {l, b}}, true, false);
}

std::vector<PointD> Player::EllipsePoints(double l, double t, double r, double b, double a0, double a1) const {
  const Affine m = ToTarget();
  const double cx = (l + r) / 2, cy = (t + b) / 2, rx = std::abs(r - l) / 2, ry = std::abs(b - t) / 2;
  const double radius = std::max(rx, ry) * m.Scale();
  const int n = std::clamp(static_cast<int>((a1 - a0) / (2 * std::numbers::pi) * std::max(16.0, 4 * std::sqrt(std::min(radius, 1e6)))),
                           2, 1024);
  std::vector<PointD> out;
  for (int i = 0; i <= n; ++i) {
    const double a = a0 + (a1 - a0) * i / n;
    out.push_back(m.Apply(cx + rx * std::cos(a), cy - ry * std::sin(a)));
  }
  return out;
}

void Player::Ellipse(double l, double t, double r, double b) {
  if (!AddPoints(1024)) return;
  Emit({Figure{EllipsePoints(l, t, r, b, 0, 2 * std::numbers::pi), true}}, true, true);
}

void Player::RoundRect(double l, double t, double r, double b, double w, double h) {
  if (!AddPoints(4096)) return;
  if (l > r) std::swap(l, r);
  if (t > b) std::swap(t, b);
  const double rx = std::min(std::abs(w) / 2, (r - l) / 2), ry = std::min(std::abs(h) / 2, (b - t) / 2);
  const double q = std::numbers::pi / 2;
  std::vector<PointD> pts;
  auto corner = [&](double cx, double cy, double a) {
    std::vector<PointD> arc = EllipsePoints(cx - rx, cy - ry, cx + rx, cy + ry, a, a + q);
    pts.insert(pts.end(), arc.begin(), arc.end());
  };
  corner(r - rx, t + ry, 0);
  corner(l + rx, t + ry, q);
  corner(l + rx, b - ry, 2 * q);
  corner(r - rx, b - ry, 3 * q);
  Emit({Figure{std::move(pts), true}}, true, true);
}

void Player::Arc(double l, double t, double r, double b, PointD start, PointD end, int kind) {
  if (!AddPoints(1024)) return;
  const double cx = (l + r) / 2, cy = (t + b) / 2;
  const double rx = std::max(std::abs(r - l) / 2, 1e-9), ry = std::max(std::abs(b - t) / 2, 1e-9);
  double a0 = std::atan2(-(start.y - cy) / ry, (start.x - cx) / rx);
  double a1 = std::atan2(-(end.y - cy) / ry, (end.x - cx) / rx);
  if (s.clockwise) std::swap(a0, a1);
  if (a1 <= a0) a1 += 2 * std::numbers::pi;
  std::vector<PointD> pts = EllipsePoints(l, t, r, b, a0, a1);
  if (s.clockwise) std::reverse(pts.begin(), pts.end());
  if (kind == 2) pts.push_back(Map(cx, cy));
  Emit({Figure{std::move(pts), kind != 0}}, kind != 0, true);
}

void Player::SetPixel(double x, double y, COLORREF color) {
  const PointD p = Map(x, y);
  ::SetPixelV(dc_, Round(p.x), Round(p.y), color);
}

void Player::PatRect(double x, double y, double w, double h, DWORD rop) {
  const Brush keep = s.brush;
  if (rop == BLACKNESS || rop == WHITENESS) s.brush = Brush{BS_SOLID, rop == BLACKNESS ? RGB(0, 0, 0) : RGB(255, 255, 255), 0};
  else if (rop != PATCOPY) return;
  const Pen pen = s.pen;
  s.pen.style = PS_NULL;
  Rect(x, y, x + w, y + h);
  s.pen = pen;
  s.brush = keep;
}

namespace {

HPEN MakePen(const Pen& pen, double scale) {
  UINT kind = pen.style & PS_STYLE_MASK;
  if (kind == PS_INSIDEFRAME || kind == PS_USERSTYLE || kind == PS_ALTERNATE || kind > PS_NULL) kind = PS_SOLID;
  const double width = std::min(pen.width * scale, 16384.0);
  if (pen.width <= 0 || width <= 1.5) return CreatePen(static_cast<int>(kind), 1, pen.color);
  LOGBRUSH lb{BS_SOLID, pen.color, 0};
  return ExtCreatePen(PS_GEOMETRIC | kind | (pen.style & (PS_ENDCAP_MASK | PS_JOIN_MASK)),
                      static_cast<DWORD>(std::lround(width)), &lb, 0, nullptr);
}

HBRUSH MakeBrush(const Brush& brush) {
  if (brush.style == BS_SOLID) return CreateSolidBrush(brush.color);
  if (brush.style == BS_HATCHED && brush.hatch >= HS_HORIZONTAL && brush.hatch <= HS_DIAGCROSS)
    return CreateHatchBrush(brush.hatch, brush.color);
  return nullptr;  // hollow, or a pattern this player does not paint
}

std::vector<POINT> ToPoints(const std::vector<PointD>& pts) {
  std::vector<POINT> out;
  out.reserve(pts.size());
  for (const PointD& p : pts) out.push_back({Round(p.x), Round(p.y)});
  return out;
}

}  // namespace

void Player::Draw(const std::vector<Figure>& figures, bool fill, bool stroke) {
  Sync();
  HBRUSH brush = fill ? MakeBrush(s.brush) : nullptr;
  if (brush) {
    std::vector<POINT> all;
    std::vector<int> counts;
    for (const Figure& f : figures) {
      if (f.points.size() < 2) continue;
      std::vector<POINT> p = ToPoints(f.points);
      all.insert(all.end(), p.begin(), p.end());
      counts.push_back(static_cast<int>(p.size()));
    }
    HGDIOBJ oldBrush = ::SelectObject(dc_, brush);
    HGDIOBJ oldPen = ::SelectObject(dc_, GetStockObject(NULL_PEN));
    if (!counts.empty()) PolyPolygon(dc_, all.data(), counts.data(), static_cast<int>(counts.size()));
    ::SelectObject(dc_, oldPen);
    ::SelectObject(dc_, oldBrush);
    ::DeleteObject(brush);
  }
  if (!stroke || (s.pen.style & PS_STYLE_MASK) == PS_NULL) return;
  HPEN pen = MakePen(s.pen, ToTarget().Scale());
  HGDIOBJ oldPen = ::SelectObject(dc_, pen);
  HGDIOBJ oldBrush = ::SelectObject(dc_, GetStockObject(NULL_BRUSH));
  for (const Figure& f : figures) {
    if (f.points.size() < 2) continue;
    std::vector<POINT> p = ToPoints(f.points);
    if (f.closed) Polygon(dc_, p.data(), static_cast<int>(p.size()));
    else Polyline(dc_, p.data(), static_cast<int>(p.size()));
  }
  ::SelectObject(dc_, oldBrush);
  ::SelectObject(dc_, oldPen);
  ::DeleteObject(pen);
}

// --------------------------------------------------- text and pictures ---

void Player::Text(double x, double y, const std::u16string& text, const std::vector<int32_t>& dx, UINT options,
                  const std::optional<RECT>& rect) {
  if (inPath_ || !AddPoints(text.size() + 1)) return;
  const Affine m = ToTarget();
  const double sx = std::hypot(m.a, m.b), sy = std::hypot(m.c, m.d);
  LOGFONTW lf = s.font.log;
  lf.lfHeight = std::clamp<LONG>(static_cast<LONG>(std::lround(std::clamp(lf.lfHeight * sy, -1e5, 1e5))), -10000, 10000);
  lf.lfWidth = static_cast<LONG>(std::lround(std::clamp(std::abs(lf.lfWidth * sx), 0.0, 1e4)));
  lf.lfFaceName[LF_FACESIZE - 1] = 0;
  HFONT font = CreateFontIndirectW(&lf);
  HGDIOBJ oldFont = ::SelectObject(dc_, font);
  Sync();
  ::SetTextAlign(dc_, s.textAlign & ~TA_UPDATECP);
  // UTF-16 units to characters; the advances of a pair add up.
  std::string utf8;
  std::vector<int> advances;
  double exact = 0;
  long placed = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    double advance = i < dx.size() ? dx[i] : 0;
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
      if (i < dx.size()) advance += dx[i];
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;
    }
    AppendUtf8(utf8, c);
    exact += std::clamp(advance * sx, -1e6, 1e6);
    advances.push_back(static_cast<int>(std::lround(exact) - placed));
    placed = std::lround(exact);
  }
  const PointD at = Map(x, y);
  RECT box{};
  if (rect) {
    const PointD a = Map(rect->left, rect->top), b = Map(rect->right, rect->bottom);
    box = {Round(std::min(a.x, b.x)), Round(std::min(a.y, b.y)), Round(std::max(a.x, b.x)), Round(std::max(a.y, b.y))};
  }
  ExtTextOutW(dc_, Round(at.x), Round(at.y), options & (ETO_OPAQUE | ETO_CLIPPED), rect ? &box : nullptr, utf8,
              dx.empty() ? nullptr : advances.data());
  ::SelectObject(dc_, oldFont);
  ::DeleteObject(font);
}

void Player::StretchDib(double x, double y, double w, double h, int xSrc, int ySrc, int wSrc, int hSrc,
                        const Dib& dib, DWORD rop) {
  const Affine m = ToTarget();
  if (!m.AxisAligned() || inPath_) return;  // rotated pictures are not drawn
  if (xSrc < 0 || ySrc < 0 || wSrc <= 0 || hSrc <= 0 || int64_t{xSrc} + wSrc > dib.width ||
      int64_t{ySrc} + hSrc > std::abs(int64_t{dib.height}))
    return;
  const PointD a = m.Apply(x, y), b = m.Apply(x + w, y + h);
  const int l = Round(a.x), t = Round(a.y), r = Round(b.x), btm = Round(b.y);
  if (l == r || t == btm) return;
  Sync();
  ::StretchDIBits(dc_, l, t, r - l, btm - t, xSrc, ySrc, wSrc, hSrc, dib.bits, dib.Info(), DIB_RGB_COLORS, rop);
}

}  // namespace metafile

// ---------------------------------------------------------- entry point ---

bool PlayMetafileBits(HDC dc, const uint8_t* data, size_t size, const RECT& rect) {
  if (!dc || !data) return false;
  const metafile::Bytes bytes{data, size, true};
  metafile::Bytes probe = bytes;
  if (probe.U32(0) == 1 && probe.U32(40) == 0x464D4520u) return metafile::PlayEnhanced(dc, bytes, rect);
  return metafile::PlayWindows(dc, bytes, rect);
}
