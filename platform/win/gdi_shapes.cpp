// Lines and shapes by GDI's pixel rules. Every shape becomes two masks in
// target coordinates, the interior (brush) and the outline (pen); the
// interior loses the outline's pixels so that each pixel is painted once,
// which keeps XOR drawing reversible. Thin pens walk the flattened outline
// with Bresenham steps (end points excluded); wide pens stroke it.
#include <algorithm>
#include <cmath>

#include "platform/win/gdi_internal.h"

using namespace gdi;

namespace {

using PathFn = std::function<void(cairo_t*)>;

struct Shape {
  PathFn fill;     // interior, target coordinates (pixel edges)
  PathFn outline;  // centre line, target coordinates (pixel centres)
  RECT bounds{};   // target
  bool winding = false;
};

// The polylines of a flattened path, as pixel positions.
std::vector<std::vector<POINT>> Flatten(const PathFn& build) {
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
  cairo_t* cr = cairo_create(s);
  build(cr);
  cairo_path_t* path = cairo_copy_path_flat(cr);
  std::vector<std::vector<POINT>> out;
  POINT start{};
  for (int i = 0; i < path->num_data; i += path->data[i].header.length) {
    const cairo_path_data_t& d = path->data[i];
    auto pt = [&] {
      return POINT{static_cast<LONG>(std::floor(path->data[i + 1].point.x)),
                   static_cast<LONG>(std::floor(path->data[i + 1].point.y))};
    };
    switch (d.header.type) {
      case CAIRO_PATH_MOVE_TO:
        start = pt();
        out.push_back({start});
        break;
      case CAIRO_PATH_LINE_TO:
        if (out.empty()) out.push_back({});
        if (out.back().empty() || !(out.back().back() == pt())) out.back().push_back(pt());
        break;
      case CAIRO_PATH_CLOSE_PATH:
        if (!out.empty() && !out.back().empty()) out.back().push_back(out.back().front());
        break;
      default: break;
    }
  }
  cairo_path_destroy(path);
  cairo_destroy(cr);
  cairo_surface_destroy(s);
  return out;
}

double Scale(const Matrix& m) { return std::sqrt(std::abs(m.a * m.d - m.b * m.c)); }

bool ThinPen(const PenObj* pen, double scale) { return !pen->Geometric() && pen->width * scale <= 1.5; }

// Held to the 32-bit range: shapes may be given anywhere.
RECT Inflate(RECT r, int by) {
  const auto add = [](int32_t v, int64_t d) {
    return static_cast<int32_t>(std::clamp<int64_t>(int64_t{v} + d, INT32_MIN, INT32_MAX));
  };
  return {add(r.left, -by), add(r.top, -by), add(r.right, by), add(r.bottom, by)};
}

void Draw(DCObj* dc, const Shape& shape) {
  Matrix m = LogicalToTarget(dc);
  double scale = Scale(m);
  PenObj* pen = PenIsNull(dc->s.pen) || !shape.outline ? nullptr : dc->s.pen;
  BrushObj* brush = BrushIsNull(dc->s.brush) || !shape.fill ? nullptr : dc->s.brush;
  int reach = pen ? static_cast<int>(pen->width * scale) + 2 : 2;
  RECT reachable = Inflate(shape.bounds, reach);
  TargetLock lock(dc, true, &reachable);
  if (!lock.Ok()) return;
  std::vector<RECT> clip = ClipRects(dc, lock.View());
  if (clip.empty()) return;
  RECT area;
  if (!IntersectRects(area, reachable, ClipBounds(clip))) return;

  Mask outline;
  outline.Init(area);
  if (pen) {
    if (ThinPen(pen, scale)) {
      int step = 0;
      for (const auto& line : Flatten(shape.outline))
        for (size_t i = 0; i + 1 < line.size(); ++i) RasterThinLine(outline, line[i], line[i + 1], pen, step);
    } else {
      RasterStroke(outline, shape.outline, PenStroke(pen, scale));
    }
  }
  if (brush) {
    Mask fill;
    fill.Init(area);
    RasterFill(fill, shape.fill, shape.winding);
    for (size_t i = 0; i < fill.bits.size(); ++i)
      if (outline.bits[i]) fill.bits[i] = 0;
    ApplyMask(lock.View(), clip, fill, BrushPaint(dc, brush));
  }
  if (pen) ApplyMask(lock.View(), clip, outline, PenPaint(dc, pen));
}

// The target rectangle of a logical box, and whether the map keeps axes.
struct Box {
  RECT r;
  double l, t, w, h;  // r as doubles
};
Box TargetBox(const DCObj* dc, int l, int t, int r, int b) {
  RECT x = TargetRect(dc, l, t, r, b);
  return {x, double(x.left), double(x.top), double(x.right - x.left), double(x.bottom - x.top)};
}

void EllipsePath(cairo_t* cr, double cx, double cy, double rx, double ry) {
  if (rx <= 0 || ry <= 0) {
    cairo_move_to(cr, cx - rx, cy - ry);
    cairo_line_to(cr, cx + rx, cy + ry);
    return;
  }
  cairo_save(cr);
  cairo_translate(cr, cx, cy);
  cairo_scale(cr, rx, ry);
  cairo_new_sub_path(cr);
  cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
  cairo_close_path(cr);
  cairo_restore(cr);
}

enum class ArcKind { Arc, Pie, Chord };

void ArcPath(cairo_t* cr, double cx, double cy, double rx, double ry, double a0, double a1, ArcKind kind,
             bool flip) {
  if (rx <= 0 || ry <= 0) return;
  cairo_save(cr);
  cairo_translate(cr, cx, cy);
  cairo_scale(cr, rx, ry);
  if (kind == ArcKind::Pie) cairo_move_to(cr, 0, 0);
  else cairo_new_sub_path(cr);
  // Counter-clockwise on the screen is decreasing angle with y down.
  if (flip) cairo_arc(cr, 0, 0, 1, a0, a1 <= a0 ? a1 + 2 * M_PI : a1);
  else cairo_arc_negative(cr, 0, 0, 1, a0, a1 >= a0 ? a1 - 2 * M_PI : a1);
  if (kind != ArcKind::Arc) cairo_close_path(cr);
  cairo_restore(cr);
}

BOOL DrawArcShape(HDC h, int l, int t, int r, int b, int xs, int ys, int xe, int ye, ArcKind kind) {
  DCObj* dc = AsDC(h);
  if (!dc) return FALSE;
  Box box = TargetBox(dc, l, t, r, b);
  POINT s = TargetPoint(dc, xs, ys), e = TargetPoint(dc, xe, ye);
  Matrix m = LogicalToTarget(dc);
  bool flip = m.a * m.d - m.b * m.c < 0;
  double cx = box.l + box.w / 2, cy = box.t + box.h / 2;
  auto angle = [&](POINT p, double rx, double ry) { return std::atan2((p.y - cy) / ry, (p.x - cx) / rx); };
  Shape shape;
  shape.bounds = box.r;
  double orx = (box.w - 1) / 2, ory = (box.h - 1) / 2;
  double a0 = angle(s, box.w, box.h), a1 = angle(e, box.w, box.h);
  shape.outline = [=](cairo_t* cr) { ArcPath(cr, cx, cy, orx, ory, a0, a1, kind, flip); };
  if (kind != ArcKind::Arc)
    shape.fill = [=](cairo_t* cr) { ArcPath(cr, cx, cy, box.w / 2, box.h / 2, a0, a1, kind, flip); };
  Draw(dc, shape);
  return TRUE;
}

std::vector<POINT> ToTarget(const DCObj* dc, const POINT* pts, int n) {
  std::vector<POINT> out(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) out[static_cast<size_t>(i)] = TargetPoint(dc, pts[i].x, pts[i].y);
  return out;
}

RECT BoundsOf(const std::vector<POINT>& pts) {
  if (pts.empty()) return {};
  RECT r{pts[0].x, pts[0].y, pts[0].x + 1, pts[0].y + 1};
  for (POINT p : pts) {
    r.left = std::min(r.left, p.x);
    r.top = std::min(r.top, p.y);
    r.right = std::max<LONG>(r.right, p.x + 1);
    r.bottom = std::max<LONG>(r.bottom, p.y + 1);
  }
  return r;
}

constexpr int kMaxPoints = 1 << 20;

// Polylines with the DC's pen; `closed` joins the last point to the first.
BOOL DrawLines(DCObj* dc, const std::vector<std::vector<POINT>>& lines, bool closed) {
  Shape shape;
  std::vector<POINT> all;
  for (const auto& l : lines) all.insert(all.end(), l.begin(), l.end());
  shape.bounds = BoundsOf(all);
  shape.outline = [&](cairo_t* cr) {
    for (const auto& l : lines) {
      if (l.empty()) continue;
      cairo_move_to(cr, l[0].x + 0.5, l[0].y + 0.5);
      for (size_t i = 1; i < l.size(); ++i) cairo_line_to(cr, l[i].x + 0.5, l[i].y + 0.5);
      if (closed) cairo_close_path(cr);
    }
  };
  Draw(dc, shape);
  return TRUE;
}

// Fills a target rectangle pixel by pixel through the clip.
template <typename F>
void ForEachPixel(const PixelView& view, const std::vector<RECT>& clip, const RECT& area, F f) {
  for (const RECT& c : clip) {
    RECT r;
    if (!IntersectRects(r, c, area)) continue;
    for (int y = r.top; y < r.bottom; ++y) {
      uint32_t* row = view.Row(y);
      for (int x = r.left; x < r.right; ++x) row[x] = f(x, y, row[x]) | 0xFF000000u;
    }
  }
}

// PatBlt-style: the brush as pattern against the destination with a ternary code.
BOOL PatternRect(DCObj* dc, RECT target, const BrushObj* brush, DWORD rop) {
  TargetLock lock(dc, true, &target);
  if (!lock.Ok()) return TRUE;
  std::vector<RECT> clip = ClipRects(dc, lock.View());
  auto code = static_cast<uint8_t>(rop >> 16);
  Paint paint;
  if (brush) paint = BrushPaint(dc, brush);
  bool usePattern = RopUsesPattern(rop);
  if (usePattern && BrushIsNull(brush)) return TRUE;
  if (rop == PATCOPY && brush->style == BS_SOLID) {  // the common background fill
    for (const RECT& c : clip) {
      RECT r;
      if (!IntersectRects(r, c, target)) continue;
      for (int y = r.top; y < r.bottom; ++y) {
        uint32_t* row = lock.View().Row(y);
        std::fill(row + r.left, row + r.right, paint.color);
      }
    }
    return TRUE;
  }
  ForEachPixel(lock.View(), clip, target, [&](int x, int y, uint32_t d) {
    uint32_t p = 0;
    // A hatch's gaps in transparent mode leave the destination alone.
    if (usePattern && !paint.At(x, y, p)) return d;
    return Rop3(code, p, 0, d);
  });
  return TRUE;
}

}  // namespace

void gdi::RoundRectPath(cairo_t* cr, double l, double t, double r, double b, double rx, double ry) {
  rx = std::min(rx, (r - l) / 2);
  ry = std::min(ry, (b - t) / 2);
  if (rx <= 0 || ry <= 0) {
    cairo_rectangle(cr, l, t, r - l, b - t);
    return;
  }
  auto corner = [&](double cx, double cy, double a0) {
    cairo_save(cr);
    cairo_translate(cr, cx, cy);
    cairo_scale(cr, rx, ry);
    cairo_arc(cr, 0, 0, 1, a0, a0 + M_PI / 2);
    cairo_restore(cr);
  };
  cairo_new_sub_path(cr);
  corner(r - rx, t + ry, -M_PI / 2);
  corner(r - rx, b - ry, 0);
  corner(l + rx, b - ry, M_PI / 2);
  corner(l + rx, t + ry, M_PI);
  cairo_close_path(cr);
}

// ---------------------------------------------------------- lines ---

BOOL MoveToEx(HDC h, int x, int y, POINT* old) {
  DCObj* dc = AsDC(h);
  if (!dc) return FALSE;
  if (old) *old = dc->s.pos;
  dc->s.pos = {x, y};
  return TRUE;
}

BOOL GetCurrentPositionEx(HDC h, POINT* pos) {
  DCObj* dc = AsDC(h);
  if (!dc || !pos) return FALSE;
  *pos = dc->s.pos;
  return TRUE;
}

BOOL LineTo(HDC h, int x, int y) {
  DCObj* dc = AsDC(h);
  if (!dc) return FALSE;
  POINT pts[2] = {dc->s.pos, {x, y}};
  dc->s.pos = {x, y};
  return DrawLines(dc, {ToTarget(dc, pts, 2)}, false);
}

BOOL Polyline(HDC h, const POINT* points, int count) {
  DCObj* dc = AsDC(h);
  if (!dc || !points || count < 2 || count > kMaxPoints) return FALSE;
  return DrawLines(dc, {ToTarget(dc, points, count)}, false);
}

BOOL LineDDA(int x1, int y1, int x2, int y2, LINEDDAPROC proc, LPARAM data) {
  if (!proc) return FALSE;
  WalkLine(POINT{x1, y1}, POINT{x2, y2}, [&](int x, int y) { proc(x, y, data); });
  return TRUE;
}

// --------------------------------------------------------- shapes ---

namespace {
// Polygons filled together by the DC's fill mode and outlined with its pen.
BOOL Polygons(HDC h, const POINT* points, const int* counts, int polygons) {
  DCObj* dc = AsDC(h);
  if (!dc || !points || !counts || polygons <= 0 || polygons > kMaxPoints) return FALSE;
  std::vector<std::vector<POINT>> polys;
  long total = 0;
  for (int i = 0; i < polygons; ++i) {
    if (counts[i] < 2 || (total += counts[i]) > kMaxPoints) return FALSE;
    polys.push_back(ToTarget(dc, points + (total - counts[i]), counts[i]));
  }
  std::vector<POINT> all;
  for (const auto& p : polys) all.insert(all.end(), p.begin(), p.end());
  Shape shape;
  shape.bounds = BoundsOf(all);
  shape.winding = dc->s.fillMode == WINDING;
  auto path = [&](double offset) {
    return [&polys, offset](cairo_t* cr) {
      for (const auto& p : polys) {
        cairo_move_to(cr, p[0].x + offset, p[0].y + offset);
        for (size_t i = 1; i < p.size(); ++i) cairo_line_to(cr, p[i].x + offset, p[i].y + offset);
        cairo_close_path(cr);
      }
    };
  };
  shape.fill = path(0);
  shape.outline = path(0.5);
  Draw(dc, shape);
  return TRUE;
}

}  // namespace

BOOL Polygon(HDC h, const POINT* points, int count) { return Polygons(h, points, &count, 1); }

BOOL PolyPolygon(HDC h, const POINT* points, const int* counts, int polygons) {
  return Polygons(h, points, counts, polygons);
}

BOOL Rectangle(HDC h, int l, int t, int r, int b) {
  DCObj* dc = AsDC(h);
  if (!dc) return FALSE;
  Box box = TargetBox(dc, l, t, r, b);
  Shape shape;
  shape.bounds = box.r;
  // Without a pen the interior still stops one pixel short on the right and bottom.
  shape.fill = [=](cairo_t* cr) { cairo_rectangle(cr, box.l, box.t, box.w - 1, box.h - 1); };
  shape.outline = [=](cairo_t* cr) { cairo_rectangle(cr, box.l + 0.5, box.t + 0.5, box.w - 1, box.h - 1); };
  Draw(dc, shape);
  return TRUE;
}

BOOL RoundRect(HDC h, int l, int t, int r, int b, int width, int height) {
  DCObj* dc = AsDC(h);
  if (!dc) return FALSE;
  Box box = TargetBox(dc, l, t, r, b);
  double rx = std::abs(width) / 2.0, ry = std::abs(height) / 2.0;
  Shape shape;
  shape.bounds = box.r;
  shape.fill = [=](cairo_t* cr) { RoundRectPath(cr, box.l, box.t, box.l + box.w, box.t + box.h, rx, ry); };
  shape.outline = [=](cairo_t* cr) {
    RoundRectPath(cr, box.l + 0.5, box.t + 0.5, box.l + box.w - 0.5, box.t + box.h - 0.5, rx, ry);
  };
  Draw(dc, shape);
  return TRUE;
}

BOOL Ellipse(HDC h, int l, int t, int r, int b) {
  DCObj* dc = AsDC(h);
  if (!dc) return FALSE;
  Box box = TargetBox(dc, l, t, r, b);
  double cx = box.l + box.w / 2, cy = box.t + box.h / 2;
  Shape shape;
  shape.bounds = box.r;
  shape.fill = [=](cairo_t* cr) { EllipsePath(cr, cx, cy, box.w / 2, box.h / 2); };
  shape.outline = [=](cairo_t* cr) { EllipsePath(cr, cx, cy, (box.w - 1) / 2, (box.h - 1) / 2); };
  Draw(dc, shape);
  return TRUE;
}

BOOL Arc(HDC h, int l, int t, int r, int b, int xs, int ys, int xe, int ye) {
  return DrawArcShape(h, l, t, r, b, xs, ys, xe, ye, ArcKind::Arc);
}
BOOL Pie(HDC h, int l, int t, int r, int b, int xs, int ys, int xe, int ye) {
  return DrawArcShape(h, l, t, r, b, xs, ys, xe, ye, ArcKind::Pie);
}
BOOL Chord(HDC h, int l, int t, int r, int b, int xs, int ys, int xe, int ye) {
  return DrawArcShape(h, l, t, r, b, xs, ys, xe, ye, ArcKind::Chord);
}

// ------------------------------------------------ rectangles, pixels ---

int FillRect(HDC h, const RECT* rect, HBRUSH brush) {
  DCObj* dc = AsDC(h);
  BrushObj* b = AsBrush(brush);
  if (!dc || !rect || !b) return 0;
  if (BrushIsNull(b)) return 1;
  return PatternRect(dc, TargetRect(dc, rect->left, rect->top, rect->right, rect->bottom), b, PATCOPY);
}

int FrameRect(HDC h, const RECT* rect, HBRUSH brush) {
  DCObj* dc = AsDC(h);
  BrushObj* b = AsBrush(brush);
  if (!dc || !rect || !b) return 0;
  if (rect->right <= rect->left || rect->bottom <= rect->top) return 1;
  const RECT& r = *rect;
  const RECT sides[] = {{r.left, r.top, r.right, r.top + 1},
                        {r.left, r.bottom - 1, r.right, r.bottom},
                        {r.left, r.top + 1, r.left + 1, r.bottom - 1},
                        {r.right - 1, r.top + 1, r.right, r.bottom - 1}};
  for (const RECT& s : sides) FillRect(h, &s, brush);
  return 1;
}

BOOL InvertRect(HDC h, const RECT* rect) {
  DCObj* dc = AsDC(h);
  if (!dc || !rect) return FALSE;
  return PatternRect(dc, TargetRect(dc, rect->left, rect->top, rect->right, rect->bottom), nullptr, DSTINVERT);
}

BOOL PatBlt(HDC h, int x, int y, int width, int height, DWORD rop) {
  DCObj* dc = AsDC(h);
  if (!dc) return FALSE;
  if (RopUsesSource(rop)) return FALSE;
  return PatternRect(dc, TargetRect(dc, x, y, x + width, y + height), dc->s.brush, rop);
}

COLORREF SetPixel(HDC h, int x, int y, COLORREF color) {
  DCObj* dc = AsDC(h);
  if (!dc) return CLR_INVALID;
  POINT p = TargetPoint(dc, x, y);
  RECT one{p.x, p.y, p.x + 1, p.y + 1};
  TargetLock lock(dc, true, &one);
  if (!lock.Ok()) return CLR_INVALID;
  for (const RECT& c : ClipRects(dc, lock.View())) {
    if (p.x >= c.left && p.x < c.right && p.y >= c.top && p.y < c.bottom) {
      lock.View().Row(p.y)[p.x] = PixelFromColor(color);
      return color & 0xFFFFFF;
    }
  }
  return CLR_INVALID;
}

BOOL SetPixelV(HDC h, int x, int y, COLORREF color) { return SetPixel(h, x, y, color) != CLR_INVALID; }

COLORREF GetPixel(HDC h, int x, int y) {
  DCObj* dc = AsDC(h);
  if (!dc) return CLR_INVALID;
  POINT p = TargetPoint(dc, x, y);
  RECT one{p.x, p.y, p.x + 1, p.y + 1};
  TargetLock lock(dc, false, &one);
  if (!lock.Ok()) return CLR_INVALID;
  for (const RECT& c : ClipRects(dc, lock.View()))
    if (p.x >= c.left && p.x < c.right && p.y >= c.top && p.y < c.bottom)
      return ColorFromPixel(lock.View().Row(p.y)[p.x]);
  return CLR_INVALID;
}
