// GDI+ start-up, graphics objects, pens, paths, regions and the drawing
// calls, all over cairo.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "platform/rtl/encoding.h"
#include "platform/win/gdi_text.h"
#include "platform/win/gdiplus_internal.h"

using namespace gdi;

namespace {

std::atomic<int> g_started{0};

constexpr int kMaxPoints = 1 << 20;

GpPointF Pt(double x, double y) { return {static_cast<REAL>(x), static_cast<REAL>(y)}; }

// GDI+ angles are true angles on the ellipse; cairo's arcs are parametric.
double Parametric(double degrees, double rx, double ry) {
  double a = degrees * M_PI / 180;
  double t = std::atan2(rx * std::sin(a), ry * std::cos(a));
  // Keep the same turn as `a`, so sweeps beyond half a turn stay whole.
  while (t - a > M_PI) t -= 2 * M_PI;
  while (a - t > M_PI) t += 2 * M_PI;
  return t;
}

// Appends an elliptical arc from parametric angle t0 to t1 as Bezier segments
// of at most a quarter turn; connects to the figure with a line.
void ArcBeziers(GpPath& path, double cx, double cy, double rx, double ry, double t0, double t1) {
  int n = std::max(1, static_cast<int>(std::ceil(std::abs(t1 - t0) / (M_PI / 2) - 1e-9)));
  double step = (t1 - t0) / n;
  GpPointF start = Pt(cx + rx * std::cos(t0), cy + ry * std::sin(t0));
  if (path.figureOpen) path.LineTo(start);
  else path.Start(start);
  for (int i = 0; i < n; ++i) {
    double a = t0 + i * step, b = a + step;
    double k = 4.0 / 3.0 * std::tan((b - a) / 4);
    GpPointF c1 = Pt(cx + rx * (std::cos(a) - k * std::sin(a)), cy + ry * (std::sin(a) + k * std::cos(a)));
    GpPointF c2 = Pt(cx + rx * (std::cos(b) + k * std::sin(b)), cy + ry * (std::sin(b) - k * std::cos(b)));
    path.BezierTo(c1, c2, Pt(cx + rx * std::cos(b), cy + ry * std::sin(b)));
  }
}

void AddArc(GpPath& path, double x, double y, double w, double h, double start, double sweep) {
  double rx = w / 2, ry = h / 2;
  if (std::abs(sweep) >= 360) sweep = sweep > 0 ? 360 : -360;
  double t0 = Parametric(start, rx, ry);
  double t1 = std::abs(sweep) >= 360 ? t0 + (sweep > 0 ? 2 * M_PI : -2 * M_PI)
                                     : t0 + (Parametric(start + sweep, rx, ry) - Parametric(start, rx, ry));
  // Parametric conversion can flip a long sweep's direction; keep its sign and size.
  if (std::abs(sweep) < 360 && (t1 - t0) * sweep < 0) t1 += sweep > 0 ? 2 * M_PI : -2 * M_PI;
  ArcBeziers(path, x + rx, y + ry, rx, ry, t0, t1);
}

void EllipseFigure(GpPath& path, double x, double y, double w, double h) {
  if (path.figureOpen) path.Close();
  path.figureOpen = false;
  ArcBeziers(path, x + w / 2, y + h / 2, w / 2, h / 2, 0, 2 * M_PI);
  path.Close();
}

void PolygonFigure(GpPath& path, const GpPoint* pts, int count) {
  if (path.figureOpen) path.Close();
  path.figureOpen = false;
  path.Start(Pt(pts[0].X, pts[0].Y));
  for (int i = 1; i < count; ++i) path.LineTo(Pt(pts[i].X, pts[i].Y));
  path.Close();
}

// Strokes or fills a path built by `build` in world coordinates.
GpStatus StrokeWith(GpGraphics* g, const GpPen* pen, const std::function<void(cairo_t*)>& build) {
  if (!g || !pen) return InvalidParameter;
  RECT area = DeviceExtents(g, build, pen);
  GpContext ctx(g, &area);
  cairo_t* cr = ctx.Cr();
  if (!cr) return Ok;
  build(cr);
  SetPen(cr, pen);
  cairo_stroke(cr);
  return Ok;
}

GpStatus FillWith(GpGraphics* g, const GpBrush* brush, int fillMode, const std::function<void(cairo_t*)>& build) {
  if (!g || !brush) return InvalidParameter;
  RECT area = DeviceExtents(g, build, nullptr);
  GpContext ctx(g, &area);
  cairo_t* cr = ctx.Cr();
  if (!cr) return Ok;
  build(cr);
  cairo_set_fill_rule(cr, fillMode == FillModeWinding ? CAIRO_FILL_RULE_WINDING : CAIRO_FILL_RULE_EVEN_ODD);
  if (!SetBrush(cr, brush)) return InvalidParameter;
  cairo_fill(cr);
  return Ok;
}

}  // namespace

// ---------------------------------------------------------------- paths ---

void GpPath::Start(GpPointF p) {
  points.push_back(p);
  types.push_back(0);
  figureOpen = true;
}
void GpPath::LineTo(GpPointF p) {
  if (!figureOpen) {
    Start(p);
    return;
  }
  points.push_back(p);
  types.push_back(1);
}
void GpPath::BezierTo(GpPointF c1, GpPointF c2, GpPointF p) {
  if (!figureOpen) Start(c1);
  for (GpPointF q : {c1, c2, p}) {
    points.push_back(q);
    types.push_back(3);
  }
}
void GpPath::Close() {
  if (!types.empty() && figureOpen) types.back() |= 0x80;
  figureOpen = false;
}
void GpPath::Replay(cairo_t* cr) const {
  for (size_t i = 0; i < points.size(); ++i) {
    uint8_t t = types[i] & 7;
    if (t == 0) {
      cairo_move_to(cr, points[i].X, points[i].Y);
    } else if (t == 3 && i + 2 < points.size()) {
      cairo_curve_to(cr, points[i].X, points[i].Y, points[i + 1].X, points[i + 1].Y, points[i + 2].X, points[i + 2].Y);
      i += 2;
    } else {
      cairo_line_to(cr, points[i].X, points[i].Y);
    }
    if (types[i] & 0x80) cairo_close_path(cr);
  }
}

// -------------------------------------------------------- the context ---

namespace {
// Device mapping of a graphics: the DC's map, the pixel-centre shift, the world transform.
void ApplyGraphicsMatrix(cairo_t* cr, const GpGraphics* g) {
  cairo_matrix_t base;
  cairo_matrix_init(&base, g->base.a, g->base.b, g->base.c, g->base.d, g->base.e, g->base.f);
  cairo_transform(cr, &base);
  // Integer coordinates are pixel centres.
  cairo_translate(cr, 0.5, 0.5);
  cairo_transform(cr, &g->world);
}
}  // namespace

RECT DeviceExtents(const GpGraphics* g, const std::function<void(cairo_t*)>& build, const GpPen* pen) {
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
  cairo_t* cr = cairo_create(s);
  ApplyGraphicsMatrix(cr, g);
  build(cr);
  double x0, y0, x1, y1;
  if (pen) {
    SetPen(cr, pen);
    cairo_stroke_extents(cr, &x0, &y0, &x1, &y1);
  } else {
    cairo_fill_extents(cr, &x0, &y0, &x1, &y1);
  }
  double xs[4] = {x0, x1, x0, x1}, ys[4] = {y0, y0, y1, y1};
  double l = 1e18, t = 1e18, r = -1e18, b = -1e18;
  for (int i = 0; i < 4; ++i) {
    cairo_user_to_device(cr, &xs[i], &ys[i]);
    l = std::min(l, xs[i]);
    t = std::min(t, ys[i]);
    r = std::max(r, xs[i]);
    b = std::max(b, ys[i]);
  }
  cairo_destroy(cr);
  cairo_surface_destroy(s);
  auto clampToInt = [](double v) { return static_cast<LONG>(std::clamp(v, -1e9, 1e9)); };
  if (!(l <= r && t <= b)) return {};
  return {clampToInt(std::floor(l)) - 2, clampToInt(std::floor(t)) - 2, clampToInt(std::ceil(r)) + 2,
          clampToInt(std::ceil(b)) + 2};
}

GpContext::GpContext(GpGraphics* g, const RECT* area) {
  DCObj* dc = AsDC(g->dc);
  if (!dc) return;
  target_ = std::make_unique<CairoTarget>(dc, true, area);
  cairo_t* cr = target_->cr;
  if (!cr) return;
  ApplyGraphicsMatrix(cr, g);
  for (const GpPath& clip : g->clip) {
    clip.Replay(cr);
    cairo_set_fill_rule(cr, clip.fillMode == FillModeWinding ? CAIRO_FILL_RULE_WINDING : CAIRO_FILL_RULE_EVEN_ODD);
    cairo_clip(cr);
  }
  cairo_set_antialias(cr, g->Antialias() ? CAIRO_ANTIALIAS_GRAY : CAIRO_ANTIALIAS_NONE);
  cairo_set_operator(cr, g->compositing == CompositingModeSourceCopy ? CAIRO_OPERATOR_SOURCE : CAIRO_OPERATOR_OVER);
}

void SetSourceColor(cairo_t* cr, ARGB c) {
  cairo_set_source_rgba(cr, ((c >> 16) & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0, (c & 0xFF) / 255.0,
                        (c >> 24) / 255.0);
}

void SetPen(cairo_t* cr, const GpPen* pen) {
  double w = pen->width;
  if (w <= 0) {  // a zero width draws one device pixel wide
    double dx = 1, dy = 0;
    cairo_device_to_user_distance(cr, &dx, &dy);
    w = std::hypot(dx, dy);
  }
  cairo_set_line_width(cr, w);
  // Cairo has one cap for both ends: the end cap stands for both.
  static constexpr cairo_line_cap_t kCaps[] = {CAIRO_LINE_CAP_BUTT, CAIRO_LINE_CAP_SQUARE, CAIRO_LINE_CAP_ROUND,
                                               CAIRO_LINE_CAP_ROUND};
  cairo_set_line_cap(cr, kCaps[std::clamp(pen->cap, 0, 3)]);
  static constexpr cairo_line_join_t kJoins[] = {CAIRO_LINE_JOIN_MITER, CAIRO_LINE_JOIN_BEVEL, CAIRO_LINE_JOIN_ROUND,
                                                 CAIRO_LINE_JOIN_MITER};
  cairo_set_line_join(cr, kJoins[std::clamp(pen->join, 0, 3)]);
  // Dash patterns are in multiples of the pen width.
  static const std::vector<double> kDashes[] = {{}, {3, 1}, {1, 1}, {3, 1, 1, 1}, {3, 1, 1, 1, 1, 1}};
  const std::vector<double>& d = kDashes[pen->dash >= 0 && pen->dash <= 4 ? pen->dash : 0];
  std::vector<double> scaled;
  for (double v : d) scaled.push_back(v * w);
  cairo_set_dash(cr, scaled.data(), static_cast<int>(scaled.size()), 0);
  SetSourceColor(cr, pen->color);
}

std::string WideToUtf8(const WCHAR* text, int length) {
  std::string out;
  if (!text) return out;
  size_t n = length < 0 ? std::wcslen(text) : static_cast<size_t>(length);
  for (size_t i = 0; i < n; ++i) {
    auto c = static_cast<char32_t>(text[i]);
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < n) {  // UTF-16 pairs from 16-bit sources
      auto lo = static_cast<char32_t>(text[i + 1]);
      if (lo >= 0xDC00 && lo < 0xE000) {
        c = 0x10000 + ((c - 0xD800) << 10) + (lo - 0xDC00);
        ++i;
      }
    }
    AppendUtf8(out, c);
  }
  return out;
}

// ------------------------------------------------------------ start-up ---

GpStatus GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input, GdiplusStartupOutput* output) {
  if (!token || !input) return InvalidParameter;
  if (input->GdiplusVersion < 1 || input->GdiplusVersion > 2) return UnsupportedGdiplusVersion;
  if (output) *output = GdiplusStartupOutput{};
  *token = static_cast<ULONG_PTR>(++g_started);
  return Ok;
}

void GdiplusShutdown(ULONG_PTR) {
  int n = g_started.load();
  while (n > 0 && !g_started.compare_exchange_weak(n, n - 1)) {
  }
}

void* GdipAlloc(size_t size) { return g_started.load() > 0 ? std::malloc(size ? size : 1) : nullptr; }
void GdipFree(void* block) { std::free(block); }

// ------------------------------------------------------------ graphics ---

GpStatus GdipCreateFromHDC(HDC dc, GpGraphics** graphics) {
  if (!graphics) return InvalidParameter;
  *graphics = nullptr;
  DCObj* d = AsDC(dc);
  if (!d) return OutOfMemory;  // as GDI+ answers for a bad DC
  auto* g = new GpGraphics;
  g->dc = dc;
  g->base = LogicalToTarget(d);
  cairo_matrix_init_identity(&g->world);
  *graphics = g;
  return Ok;
}

GpStatus GdipCreateFromHDC2(HDC dc, HANDLE, GpGraphics** graphics) { return GdipCreateFromHDC(dc, graphics); }

GpStatus GdipDeleteGraphics(GpGraphics* graphics) {
  if (!graphics) return InvalidParameter;
  delete graphics;
  return Ok;
}

GpStatus GdipGetDC(GpGraphics* g, HDC* dc) {
  if (!g || !dc) return InvalidParameter;
  *dc = g->dc;
  return Ok;
}

GpStatus GdipReleaseDC(GpGraphics* g, HDC dc) { return g && dc == g->dc ? Ok : InvalidParameter; }

GpStatus GdipSetSmoothingMode(GpGraphics* g, int mode) {
  if (!g || mode < SmoothingModeDefault || mode > SmoothingModeAntiAlias8x8) return InvalidParameter;
  g->smoothing = mode;
  return Ok;
}

GpStatus GdipGetSmoothingMode(GpGraphics* g, int* mode) {
  if (!g || !mode) return InvalidParameter;
  *mode = g->smoothing;
  return Ok;
}

GpStatus GdipSetCompositingMode(GpGraphics* g, int mode) {
  if (!g || (mode != CompositingModeSourceOver && mode != CompositingModeSourceCopy)) return InvalidParameter;
  g->compositing = mode;
  return Ok;
}

GpStatus GdipSetCompositingQuality(GpGraphics* g, int quality) {
  if (!g) return InvalidParameter;
  g->quality = quality;  // cairo blends one way; the value is kept only
  return Ok;
}

GpStatus GdipSetTextRenderingHint(GpGraphics* g, int hint) {
  if (!g || hint < 0 || hint > TextRenderingHintClearTypeGridFit) return InvalidParameter;
  g->textHint = hint;
  return Ok;
}

GpStatus GdipResetWorldTransform(GpGraphics* g) {
  if (!g) return InvalidParameter;
  cairo_matrix_init_identity(&g->world);
  return Ok;
}

GpStatus GdipTranslateWorldTransform(GpGraphics* g, REAL dx, REAL dy, int order) {
  if (!g) return InvalidParameter;
  cairo_matrix_t t;
  cairo_matrix_init_translate(&t, dx, dy);
  // Prepend: the translation applies first (in world space).
  if (order == MatrixOrderAppend) cairo_matrix_multiply(&g->world, &g->world, &t);
  else cairo_matrix_multiply(&g->world, &t, &g->world);
  return Ok;
}

GpStatus GdipSetClipRegion(GpGraphics* g, GpRegion* region, int mode) {
  if (!g || !region) return InvalidParameter;
  // Replace and intersect are what callers use; cairo intersects clips.
  if (mode != CombineModeReplace && mode != CombineModeIntersect) return NotImplemented;
  if (mode == CombineModeReplace) g->clip.clear();
  if (region->path) g->clip.push_back(*region->path);
  return Ok;
}

GpStatus GdipResetClip(GpGraphics* g) {
  if (!g) return InvalidParameter;
  g->clip.clear();
  return Ok;
}

// ---------------------------------------------------------------- pens ---

GpStatus GdipCreatePen1(ARGB color, REAL width, int unit, GpPen** pen) {
  if (!pen || unit == UnitDisplay || unit < UnitWorld || unit > UnitMillimeter || !(width >= 0))
    return InvalidParameter;
  auto* p = new GpPen;
  p->color = color;
  p->width = width;
  p->unit = unit;
  *pen = p;
  return Ok;
}

GpStatus GdipDeletePen(GpPen* pen) {
  if (!pen) return InvalidParameter;
  delete pen;
  return Ok;
}

GpStatus GdipSetPenColor(GpPen* pen, ARGB color) {
  if (!pen) return InvalidParameter;
  pen->color = color;
  return Ok;
}

GpStatus GdipSetPenWidth(GpPen* pen, REAL width) {
  if (!pen || !(width >= 0)) return InvalidParameter;
  pen->width = width;
  return Ok;
}

GpStatus GdipSetPenDashStyle(GpPen* pen, int style) {
  if (!pen || style < DashStyleSolid || style > DashStyleCustom) return InvalidParameter;
  pen->dash = style == DashStyleCustom ? DashStyleSolid : style;
  return Ok;
}

GpStatus GdipSetPenEndCap(GpPen* pen, int cap) {
  if (!pen || cap < 0) return InvalidParameter;
  pen->cap = cap;
  return Ok;
}

GpStatus GdipSetPenLineJoin(GpPen* pen, int join) {
  if (!pen || join < LineJoinMiter || join > LineJoinMiterClipped) return InvalidParameter;
  pen->join = join;
  return Ok;
}

// -------------------------------------------------------------- paths ---

GpStatus GdipCreatePath(int fillMode, GpPath** path) {
  if (!path || (fillMode != FillModeAlternate && fillMode != FillModeWinding)) return InvalidParameter;
  *path = new GpPath;
  (*path)->fillMode = fillMode;
  return Ok;
}

GpStatus GdipDeletePath(GpPath* path) {
  if (!path) return InvalidParameter;
  delete path;
  return Ok;
}

GpStatus GdipAddPathLine(GpPath* path, REAL x1, REAL y1, REAL x2, REAL y2) {
  if (!path) return InvalidParameter;
  path->LineTo({x1, y1});
  path->LineTo({x2, y2});
  return Ok;
}

GpStatus GdipAddPathArc(GpPath* path, REAL x, REAL y, REAL width, REAL height, REAL start, REAL sweep) {
  if (!path || width <= 0 || height <= 0) return InvalidParameter;
  AddArc(*path, x, y, width, height, start, sweep);
  return Ok;
}

GpStatus GdipAddPathCurveI(GpPath* path, const GpPoint* pts, int count) {
  if (!path || !pts || count < 2 || count > kMaxPoints) return InvalidParameter;
  // A cardinal spline of tension 0.5 as Bezier segments.
  const double t = 0.5 / 3;
  auto p = [&](int i) { return pts[std::clamp(i, 0, count - 1)]; };
  path->LineTo(Pt(pts[0].X, pts[0].Y));
  for (int i = 0; i + 1 < count; ++i) {
    GpPoint a = p(i - 1), b = p(i), c = p(i + 1), d = p(i + 2);
    path->BezierTo(Pt(b.X + t * (c.X - a.X), b.Y + t * (c.Y - a.Y)), Pt(c.X - t * (d.X - b.X), c.Y - t * (d.Y - b.Y)),
                   Pt(c.X, c.Y));
  }
  return Ok;
}

GpStatus GdipAddPathEllipse(GpPath* path, REAL x, REAL y, REAL width, REAL height) {
  if (!path) return InvalidParameter;
  EllipseFigure(*path, x, y, width, height);
  return Ok;
}

GpStatus GdipAddPathPolygonI(GpPath* path, const GpPoint* pts, int count) {
  if (!path || !pts || count < 3 || count > kMaxPoints) return InvalidParameter;
  PolygonFigure(*path, pts, count);
  return Ok;
}

GpStatus GdipClosePathFigure(GpPath* path) {
  if (!path) return InvalidParameter;
  path->Close();
  return Ok;
}

GpStatus GdipGetPointCount(GpPath* path, int* count) {
  if (!path || !count) return InvalidParameter;
  *count = static_cast<int>(path->points.size());
  return Ok;
}

GpStatus GdipCreateRegionPath(GpPath* path, GpRegion** region) {
  if (!path || !region) return InvalidParameter;
  *region = new GpRegion{*path};
  return Ok;
}

GpStatus GdipDeleteRegion(GpRegion* region) {
  if (!region) return InvalidParameter;
  delete region;
  return Ok;
}

// ------------------------------------------------------------- drawing ---

GpStatus GdipDrawLine(GpGraphics* g, GpPen* pen, REAL x1, REAL y1, REAL x2, REAL y2) {
  return StrokeWith(g, pen, [&](cairo_t* cr) {
    cairo_move_to(cr, x1, y1);
    cairo_line_to(cr, x2, y2);
  });
}

GpStatus GdipDrawLineI(GpGraphics* g, GpPen* pen, int x1, int y1, int x2, int y2) {
  auto f = [](int v) { return static_cast<REAL>(v); };
  return GdipDrawLine(g, pen, f(x1), f(y1), f(x2), f(y2));
}

GpStatus GdipDrawLinesI(GpGraphics* g, GpPen* pen, const GpPoint* pts, int count) {
  if (!pts || count < 2 || count > kMaxPoints) return InvalidParameter;
  return StrokeWith(g, pen, [&](cairo_t* cr) {
    for (int i = 0; i < count; ++i) cairo_line_to(cr, pts[i].X, pts[i].Y);
  });
}

GpStatus GdipDrawPolygonI(GpGraphics* g, GpPen* pen, const GpPoint* pts, int count) {
  if (!pts || count < 2 || count > kMaxPoints) return InvalidParameter;
  return StrokeWith(g, pen, [&](cairo_t* cr) {
    for (int i = 0; i < count; ++i) cairo_line_to(cr, pts[i].X, pts[i].Y);
    cairo_close_path(cr);
  });
}

GpStatus GdipDrawArc(GpGraphics* g, GpPen* pen, REAL x, REAL y, REAL w, REAL h, REAL start, REAL sweep) {
  if (w <= 0 || h <= 0) return InvalidParameter;
  GpPath path;
  AddArc(path, x, y, w, h, start, sweep);
  return StrokeWith(g, pen, [&](cairo_t* cr) { path.Replay(cr); });
}

GpStatus GdipDrawEllipse(GpGraphics* g, GpPen* pen, REAL x, REAL y, REAL w, REAL h) {
  GpPath path;
  EllipseFigure(path, x, y, w, h);
  return StrokeWith(g, pen, [&](cairo_t* cr) { path.Replay(cr); });
}

GpStatus GdipDrawRectangle(GpGraphics* g, GpPen* pen, REAL x, REAL y, REAL w, REAL h) {
  return StrokeWith(g, pen, [&](cairo_t* cr) { cairo_rectangle(cr, x, y, w, h); });
}

GpStatus GdipDrawPath(GpGraphics* g, GpPen* pen, GpPath* path) {
  if (!path) return InvalidParameter;
  return StrokeWith(g, pen, [&](cairo_t* cr) { path->Replay(cr); });
}

GpStatus GdipFillRectangle(GpGraphics* g, GpBrush* brush, REAL x, REAL y, REAL w, REAL h) {
  return FillWith(g, brush, FillModeAlternate, [&](cairo_t* cr) { cairo_rectangle(cr, x, y, w, h); });
}

GpStatus GdipFillEllipse(GpGraphics* g, GpBrush* brush, REAL x, REAL y, REAL w, REAL h) {
  GpPath path;
  EllipseFigure(path, x, y, w, h);
  return FillWith(g, brush, FillModeAlternate, [&](cairo_t* cr) { path.Replay(cr); });
}

GpStatus GdipFillPolygonI(GpGraphics* g, GpBrush* brush, const GpPoint* pts, int count, int fillMode) {
  if (!pts || count < 3 || count > kMaxPoints) return InvalidParameter;
  return FillWith(g, brush, fillMode, [&](cairo_t* cr) {
    for (int i = 0; i < count; ++i) cairo_line_to(cr, pts[i].X, pts[i].Y);
    cairo_close_path(cr);
  });
}

GpStatus GdipFillPath(GpGraphics* g, GpBrush* brush, GpPath* path) {
  if (!path) return InvalidParameter;
  return FillWith(g, brush, path->fillMode, [&](cairo_t* cr) { path->Replay(cr); });
}

// ------------------------------------------------------ binding by name ---

// What "gdiplus.dll" exports to callers that bind it by name.
TLibraryExports GdiplusExports() {
#define ENTRY(f) {#f, reinterpret_cast<void*>(&f)}
  return {
      ENTRY(GdiplusStartup), ENTRY(GdiplusShutdown), ENTRY(GdipAlloc), ENTRY(GdipFree),
      ENTRY(GdipCreateFromHDC), ENTRY(GdipCreateFromHDC2), ENTRY(GdipDeleteGraphics), ENTRY(GdipGetDC),
      ENTRY(GdipReleaseDC), ENTRY(GdipSetSmoothingMode), ENTRY(GdipGetSmoothingMode), ENTRY(GdipSetCompositingMode),
      ENTRY(GdipSetCompositingQuality), ENTRY(GdipSetTextRenderingHint), ENTRY(GdipResetWorldTransform),
      ENTRY(GdipTranslateWorldTransform), ENTRY(GdipSetClipRegion), ENTRY(GdipResetClip), ENTRY(GdipCreatePen1),
      ENTRY(GdipDeletePen), ENTRY(GdipSetPenColor), ENTRY(GdipSetPenWidth), ENTRY(GdipSetPenDashStyle),
      ENTRY(GdipSetPenEndCap), ENTRY(GdipSetPenLineJoin), ENTRY(GdipCreateSolidFill), ENTRY(GdipCreateHatchBrush),
      ENTRY(GdipCreateLineBrush), ENTRY(GdipCreateLineBrushFromRect), ENTRY(GdipCreateLineBrushFromRectWithAngle),
      ENTRY(GdipSetLineGammaCorrection), ENTRY(GdipCreatePathGradientFromPath), ENTRY(GdipSetPathGradientCenterColor),
      ENTRY(GdipSetPathGradientCenterPoint), ENTRY(GdipSetPathGradientSurroundColorsWithCount),
      ENTRY(GdipSetPathGradientPresetBlend), ENTRY(GdipSetPathGradientWrapMode), ENTRY(GdipGetPathGradientPointCount),
      ENTRY(GdipCreateTexture), ENTRY(GdipDeleteBrush), ENTRY(GdipCreatePath), ENTRY(GdipDeletePath),
      ENTRY(GdipAddPathLine), ENTRY(GdipAddPathArc), ENTRY(GdipAddPathCurveI), ENTRY(GdipAddPathEllipse),
      ENTRY(GdipAddPathPolygonI), ENTRY(GdipClosePathFigure), ENTRY(GdipGetPointCount), ENTRY(GdipCreateRegionPath),
      ENTRY(GdipDeleteRegion), ENTRY(GdipDrawLine), ENTRY(GdipDrawLineI), ENTRY(GdipDrawLinesI), ENTRY(GdipDrawArc),
      ENTRY(GdipDrawEllipse), ENTRY(GdipDrawRectangle), ENTRY(GdipDrawPolygonI), ENTRY(GdipDrawPath),
      ENTRY(GdipFillRectangle), ENTRY(GdipFillEllipse), ENTRY(GdipFillPolygonI), ENTRY(GdipFillPath),
      ENTRY(GdipCreateFontFamilyFromName), ENTRY(GdipDeleteFontFamily), ENTRY(GdipCreateFont), ENTRY(GdipDeleteFont),
      ENTRY(GdipCreateStringFormat), ENTRY(GdipDeleteStringFormat), ENTRY(GdipSetStringFormatAlign),
      ENTRY(GdipSetStringFormatLineAlign), ENTRY(GdipSetStringFormatTrimming), ENTRY(GdipSetStringFormatHotkeyPrefix),
      ENTRY(GdipDrawString), ENTRY(GdipMeasureString), ENTRY(GdipLoadImageFromStream),
      ENTRY(GdipLoadImageFromStreamICM), ENTRY(GdipCreateBitmapFromStream), ENTRY(GdipCreateBitmapFromStreamICM),
      ENTRY(GdipDisposeImage), ENTRY(GdipGetImageWidth), ENTRY(GdipGetImageHeight), ENTRY(GdipGetImagePixelFormat),
      ENTRY(GdipGetImageRawFormat), ENTRY(GdipBitmapGetPixel), ENTRY(GdipDrawImageRect), ENTRY(GdipDrawImageRectRect),
      ENTRY(GdipCreateImageAttributes), ENTRY(GdipDisposeImageAttributes), ENTRY(GdipSetImageAttributesColorKeys),
  };
#undef ENTRY
}
