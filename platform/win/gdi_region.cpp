// Regions as banded rectangle lists, their combination, the region
// functions and the DC's clip region.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "platform/win/gdi_internal.h"

namespace gdi {
namespace {

struct Span {
  LONG l, r;
  bool operator==(const Span&) const = default;
};

bool Keep(int mode, bool a, bool b) {
  switch (mode) {
    case RGN_AND: return a && b;
    case RGN_OR: return a || b;
    case RGN_XOR: return a != b;
    case RGN_DIFF: return a && !b;
    default: return a;
  }
}

// Combines two sorted lists of separate spans (the rectangles [a, aEnd) and
// [b, bEnd) of one band each) by walking their edges in order.
std::vector<Span> MergeSpans(const RECT* a, const RECT* aEnd, const RECT* b, const RECT* bEnd, int mode) {
  std::vector<Span> out;
  const size_t na = 2 * static_cast<size_t>(aEnd - a), nb = 2 * static_cast<size_t>(bEnd - b);
  auto edge = [](const RECT* r, size_t i) { return (i & 1) ? r[i / 2].right : r[i / 2].left; };
  size_t i = 0, j = 0;
  bool inA = false, inB = false, was = false;
  LONG start = 0;
  while (i < na || j < nb) {
    const LONG xa = i < na ? edge(a, i) : std::numeric_limits<LONG>::max();
    const LONG xb = j < nb ? edge(b, j) : std::numeric_limits<LONG>::max();
    const LONG x = std::min(xa, xb);
    if (xa == x) inA = !(i++ & 1);
    if (xb == x) inB = !(j++ & 1);
    const bool now = Keep(mode, inA, inB);
    if (now == was) continue;
    if (now) start = x;
    else out.push_back({start, x});
    was = now;
  }
  return out;
}

// The end of the band of `rects` that starts at `at`.
size_t BandEnd(const std::vector<RECT>& rects, size_t at) {
  size_t e = at;
  while (e < rects.size() && rects[e].top == rects[at].top) ++e;
  return e;
}

// Appends a band, merging it into the previous one when their spans match.
void AddBand(Region& out, std::vector<Span>& prev, LONG& prevBottom, size_t& prevStart, LONG y0, LONG y1,
             std::vector<Span> spans) {
  if (spans.empty()) {
    prev.clear();
    return;
  }
  if (!prev.empty() && prevBottom == y0 && spans == prev) {
    for (size_t i = prevStart; i < out.rects.size(); ++i) out.rects[i].bottom = y1;
  } else {
    prevStart = out.rects.size();
    for (const Span& s : spans) out.rects.push_back({s.l, y0, s.r, y1});
    prev = std::move(spans);
  }
  prevBottom = y1;
}

}  // namespace

Region Region::FromRect(const RECT& r) {
  Region rg;
  if (r.right > r.left && r.bottom > r.top) rg.rects.push_back(r);
  return rg;
}

RECT Region::Box() const {
  if (rects.empty()) return {};
  RECT b = rects.front();
  for (const RECT& r : rects) {
    b.left = std::min(b.left, r.left);
    b.top = std::min(b.top, r.top);
    b.right = std::max(b.right, r.right);
    b.bottom = std::max(b.bottom, r.bottom);
  }
  return b;
}

int Region::Type() const {
  return rects.empty() ? NULLREGION : rects.size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

bool Region::Contains(int x, int y) const {
  for (const RECT& r : rects)
    if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return true;
  return false;
}

void Region::Offset(int dx, int dy) {
  for (RECT& r : rects) {
    r.left += dx;
    r.right += dx;
    r.top += dy;
    r.bottom += dy;
  }
}

// Walks the bands of both regions together: each stretch of rows where
// neither changes gets the merge of the two bands' spans.
Region CombineRegions(const Region& a, const Region& b, int mode) {
  if (mode == RGN_COPY) return a;
  const std::vector<RECT>& ra = a.rects;
  const std::vector<RECT>& rb = b.rects;
  constexpr LONG kNone = std::numeric_limits<LONG>::max();
  Region out;
  std::vector<Span> prev;
  LONG prevBottom = 0;
  size_t prevStart = 0;
  size_t ia = 0, ib = 0, ea = BandEnd(ra, 0), eb = BandEnd(rb, 0);
  LONG y = std::numeric_limits<LONG>::min();
  for (;;) {
    while (ia < ra.size() && ra[ia].bottom <= y) ea = BandEnd(ra, ia = ea);
    while (ib < rb.size() && rb[ib].bottom <= y) eb = BandEnd(rb, ib = eb);
    const bool aLeft = ia < ra.size(), bLeft = ib < rb.size();
    if (!aLeft && (!bLeft || mode == RGN_AND || mode == RGN_DIFF)) break;
    if (!bLeft && mode == RGN_AND) break;
    y = std::max(y, std::min(aLeft ? ra[ia].top : kNone, bLeft ? rb[ib].top : kNone));
    const bool inA = aLeft && ra[ia].top <= y, inB = bLeft && rb[ib].top <= y;
    LONG yEnd = kNone;
    if (aLeft) yEnd = std::min(yEnd, inA ? ra[ia].bottom : ra[ia].top);
    if (bLeft) yEnd = std::min(yEnd, inB ? rb[ib].bottom : rb[ib].top);
    const RECT* pa = ra.data() + ia;
    const RECT* pb = rb.data() + ib;
    AddBand(out, prev, prevBottom, prevStart, y, yEnd,
            MergeSpans(pa, inA ? ra.data() + ea : pa, pb, inB ? rb.data() + eb : pb, mode));
    y = yEnd;
  }
  return out;
}

// Sorts the rectangles into bands: a sweep down the rows keeps the
// rectangles that cross the current band, ordered by their left edges, and
// joins their overlapping spans; a band ends where a rectangle starts or ends.
Region RegionFromRects(std::vector<RECT> rects) {
  std::erase_if(rects, [](const RECT& r) { return r.right <= r.left || r.bottom <= r.top; });
  auto byTop = [](const RECT& p, const RECT& q) { return p.top < q.top; };
  if (!std::is_sorted(rects.begin(), rects.end(), byTop)) std::sort(rects.begin(), rects.end(), byTop);
  auto byLeft = [](const RECT& p, const RECT& q) { return p.left < q.left; };
  constexpr LONG kNone = std::numeric_limits<LONG>::max();
  Region out;
  std::vector<Span> prev, spans;
  LONG prevBottom = 0;
  size_t prevStart = 0, next = 0;
  std::vector<RECT> active;
  LONG y = rects.empty() ? 0 : rects.front().top;
  while (next < rects.size() || !active.empty()) {
    if (active.empty()) y = std::max(y, rects[next].top);
    const size_t old = active.size();
    while (next < rects.size() && rects[next].top <= y) active.push_back(rects[next++]);
    const auto added = active.begin() + static_cast<ptrdiff_t>(old);
    if (!std::is_sorted(added, active.end(), byLeft)) std::sort(added, active.end(), byLeft);
    if (old > 0 && added != active.end() && byLeft(*added, *std::prev(added)))
      std::inplace_merge(active.begin(), added, active.end(), byLeft);
    LONG yEnd = next < rects.size() ? rects[next].top : kNone;
    spans.clear();
    for (const RECT& r : active) {
      yEnd = std::min(yEnd, r.bottom);
      if (!spans.empty() && spans.back().r >= r.left) spans.back().r = std::max(spans.back().r, r.right);
      else spans.push_back({r.left, r.right});
    }
    AddBand(out, prev, prevBottom, prevStart, y, yEnd, spans);
    y = yEnd;
    std::erase_if(active, [y](const RECT& r) { return r.bottom <= y; });
  }
  return out;
}

bool Region::Within(const RECT& bounds) const {
  if (rects.empty()) return true;
  const RECT b = Box();
  return b.left >= bounds.left && b.top >= bounds.top && b.right <= bounds.right && b.bottom <= bounds.bottom;
}

RECT ClipBounds(const std::vector<RECT>& rects) {
  Region r;
  r.rects = rects;
  return r.Box();
}

}  // namespace gdi

using namespace gdi;

namespace {

HRGN NewRegion(Region rg) {
  auto o = std::make_unique<RegionObj>();
  o->rgn = std::move(rg);
  return static_cast<HRGN>(Register(std::move(o)));
}

constexpr int kMaxRegionSide = 1 << 15;

struct Edge {
  double x0, y0, x1, y1;
  int dir;
};

// Scan-converts the flattened outline of a path: a pixel belongs to the
// region when its centre lies inside by the fill rule. Work grows with the
// rows and the edges crossing them, never with the area.
Region ScanPath(RECT box, const std::function<void(cairo_t*)>& build, bool winding) {
  box.top = std::max<LONG>(box.top, -kMaxRegionSide);
  box.bottom = std::min<LONG>(box.bottom, kMaxRegionSide);
  std::vector<Edge> edges;
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
  cairo_t* cr = cairo_create(s);
  build(cr);
  cairo_path_t* path = cairo_copy_path_flat(cr);
  double sx = 0, sy = 0, px = 0, py = 0;
  auto edge = [&](double x0, double y0, double x1, double y1) {
    if (y0 != y1) edges.push_back(y0 < y1 ? Edge{x0, y0, x1, y1, 1} : Edge{x1, y1, x0, y0, -1});
  };
  for (int i = 0; i < path->num_data; i += path->data[i].header.length) {
    const cairo_path_data_t& d = path->data[i];
    if (d.header.type == CAIRO_PATH_MOVE_TO) {
      edge(px, py, sx, sy);  // close the previous figure
      sx = px = path->data[i + 1].point.x;
      sy = py = path->data[i + 1].point.y;
    } else if (d.header.type == CAIRO_PATH_LINE_TO) {
      edge(px, py, path->data[i + 1].point.x, path->data[i + 1].point.y);
      px = path->data[i + 1].point.x;
      py = path->data[i + 1].point.y;
    } else if (d.header.type == CAIRO_PATH_CLOSE_PATH) {
      edge(px, py, sx, sy);
      px = sx;
      py = sy;
    }
  }
  edge(px, py, sx, sy);
  cairo_path_destroy(path);
  cairo_destroy(cr);
  cairo_surface_destroy(s);
  std::sort(edges.begin(), edges.end(), [](const Edge& a, const Edge& b) { return a.y0 < b.y0; });

  Region out;
  std::vector<Span> prev;
  LONG prevBottom = 0;
  size_t prevStart = 0, next = 0;
  std::vector<const Edge*> active;
  std::vector<std::pair<double, int>> cross;
  for (LONG y = box.top; y < box.bottom; ++y) {
    double yc = y + 0.5;
    while (next < edges.size() && edges[next].y0 <= yc) active.push_back(&edges[next++]);
    active.erase(std::remove_if(active.begin(), active.end(), [&](const Edge* e) { return e->y1 <= yc; }),
                 active.end());
    cross.clear();
    for (const Edge* e : active)
      if (e->y0 <= yc) cross.emplace_back(e->x0 + (yc - e->y0) * (e->x1 - e->x0) / (e->y1 - e->y0), e->dir);
    std::sort(cross.begin(), cross.end());
    std::vector<Span> spans;
    int count = 0;
    for (size_t k = 0; k + 1 < cross.size(); ++k) {
      count += winding ? cross[k].second : 1;
      bool inside = winding ? count != 0 : (count & 1) != 0;
      if (!inside) continue;
      auto from = static_cast<LONG>(std::clamp(std::ceil(cross[k].first - 0.5), -1e9, 1e9));
      auto to = static_cast<LONG>(std::clamp(std::ceil(cross[k + 1].first - 0.5), -1e9, 1e9));
      if (to <= from) continue;
      if (!spans.empty() && spans.back().r >= from) spans.back().r = std::max(spans.back().r, to);
      else spans.push_back({from, to});
    }
    AddBand(out, prev, prevBottom, prevStart, y, y + 1, std::move(spans));
  }
  return out;
}

HRGN PathRegion(RECT box, const std::function<void(cairo_t*)>& build, bool winding) {
  return NewRegion(ScanPath(box, build, winding));
}

RECT Normalized(int l, int t, int r, int b) {
  return {std::min(l, r), std::min(t, b), std::max(l, r), std::max(t, b)};
}

// Full extent of what a DC can draw on, in device coordinates.
Region DeviceArea(const DCObj* dc) {
  RECT r{};
  if (dc->surface) {
    r = dc->surfaceClip;
    r.left -= dc->origin.x;
    r.right -= dc->origin.x;
    r.top -= dc->origin.y;
    r.bottom -= dc->origin.y;
  } else if (dc->s.bitmap) {
    r = {0, 0, dc->s.bitmap->width, dc->s.bitmap->height};
  }
  return Region::FromRect(r);
}

RECT DeviceRect(const DCObj* dc, int l, int t, int r, int b) {
  RECT x = TargetRect(dc, l, t, r, b);
  if (dc->s.graphicsMode == GM_ADVANCED) {  // clip rectangles stay exclusive
    --x.right;
    --x.bottom;
  }
  x.left -= dc->origin.x;
  x.right -= dc->origin.x;
  x.top -= dc->origin.y;
  x.bottom -= dc->origin.y;
  return x;
}

int ClipType(const DCObj* dc) {
  const Region area = DeviceArea(dc);
  if (!dc->s.clip) return area.Type();
  if (!area.rects.empty() && dc->s.clip->Within(area.rects.front())) return dc->s.clip->Type();
  return CombineRegions(*dc->s.clip, area, RGN_AND).Type();
}

}  // namespace

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
  return NewRegion(Region::FromRect(Normalized(left, top, right, bottom)));
}

HRGN CreateRectRgnIndirect(const RECT* r) {
  return r ? CreateRectRgn(r->left, r->top, r->right, r->bottom) : nullptr;
}

HRGN CreateRoundRectRgn(int left, int top, int right, int bottom, int ew, int eh) {
  RECT box = Normalized(left, top, right, bottom);
  double rx = std::min(std::abs(ew), static_cast<int>(box.right - box.left)) / 2.0;
  double ry = std::min(std::abs(eh), static_cast<int>(box.bottom - box.top)) / 2.0;
  return PathRegion(box, [&](cairo_t* cr) {
    RoundRectPath(cr, box.left, box.top, box.right, box.bottom, rx, ry);
  }, true);
}

HRGN CreateEllipticRgn(int left, int top, int right, int bottom) {
  RECT box = Normalized(left, top, right, bottom);
  return PathRegion(box, [&](cairo_t* cr) {
    double w = box.right - box.left, h = box.bottom - box.top;
    if (w <= 0 || h <= 0) return;
    cairo_save(cr);
    cairo_translate(cr, box.left + w / 2, box.top + h / 2);
    cairo_scale(cr, w / 2, h / 2);
    cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
    cairo_restore(cr);
  }, true);
}

HRGN CreateEllipticRgnIndirect(const RECT* r) {
  return r ? CreateEllipticRgn(r->left, r->top, r->right, r->bottom) : nullptr;
}

HRGN CreatePolygonRgn(const POINT* points, int count, int fillMode) {
  if (!points || count < 2 || count > 1000000) return nullptr;
  RECT box{points[0].x, points[0].y, points[0].x, points[0].y};
  for (int i = 1; i < count; ++i) {
    box.left = std::min(box.left, points[i].x);
    box.top = std::min(box.top, points[i].y);
    box.right = std::max(box.right, points[i].x);
    box.bottom = std::max(box.bottom, points[i].y);
  }
  return PathRegion(box, [&](cairo_t* cr) {
    for (int i = 0; i < count; ++i) cairo_line_to(cr, points[i].x, points[i].y);
    cairo_close_path(cr);
  }, fillMode == WINDING);
}

HRGN ExtCreateRegion(const XFORM* xf, DWORD size, const RGNDATA* data) {
  if (!data || xf || size < sizeof(RGNDATAHEADER)) return nullptr;
  const RGNDATAHEADER& h = data->rdh;
  if (h.dwSize < sizeof(RGNDATAHEADER) || h.iType != 1) return nullptr;
  if (h.nCount > (size - h.dwSize) / sizeof(RECT)) return nullptr;
  const auto* bytes = reinterpret_cast<const uint8_t*>(data) + h.dwSize;
  std::vector<RECT> rects;
  rects.reserve(h.nCount);
  for (DWORD i = 0; i < h.nCount; ++i) {
    RECT r;
    std::memcpy(&r, bytes + i * sizeof(RECT), sizeof r);
    rects.push_back(r);
  }
  return NewRegion(RegionFromRects(std::move(rects)));
}

int CombineRgn(HRGN dest, HRGN src1, HRGN src2, int mode) {
  RegionObj* d = AsRegion(dest);
  RegionObj* a = AsRegion(src1);
  RegionObj* b = mode == RGN_COPY ? a : AsRegion(src2);
  if (!d || !a || !b || mode < RGN_AND || mode > RGN_COPY) return ERROR;
  d->rgn = CombineRegions(a->rgn, b->rgn, mode);
  return d->rgn.Type();
}

int OffsetRgn(HRGN region, int dx, int dy) {
  RegionObj* r = AsRegion(region);
  if (!r) return ERROR;
  r->rgn.Offset(dx, dy);
  return r->rgn.Type();
}

BOOL PtInRegion(HRGN region, int x, int y) {
  RegionObj* r = AsRegion(region);
  return r && r->rgn.Contains(x, y);
}

int GetRgnBox(HRGN region, RECT* box) {
  RegionObj* r = AsRegion(region);
  if (!r || !box) return ERROR;
  *box = r->rgn.Box();
  return r->rgn.Type();
}

std::vector<RECT> GetRegionRects(HRGN region) {
  RegionObj* r = AsRegion(region);
  return r ? r->rgn.rects : std::vector<RECT>{};
}

// ---------------------------------------------------------- clipping ---

int SelectClipRgn(HDC h, HRGN region) { return ExtSelectClipRgn(h, region, RGN_COPY); }

int ExtSelectClipRgn(HDC h, HRGN region, int mode) {
  DCObj* dc = AsDC(h);
  if (!dc || mode < RGN_AND || mode > RGN_COPY) return ERROR;
  RegionObj* r = AsRegion(region);
  if (!region) {
    if (mode != RGN_COPY) return ERROR;
    dc->s.clip.reset();
    return ClipType(dc);
  }
  if (!r) return ERROR;
  if (mode == RGN_COPY) {
    dc->s.clip = r->rgn;
  } else {
    Region current = dc->s.clip ? *dc->s.clip : DeviceArea(dc);
    dc->s.clip = CombineRegions(current, r->rgn, mode);
  }
  return ClipType(dc);
}

namespace {
int ClipWithRect(HDC h, int l, int t, int r, int b, int mode) {
  DCObj* dc = AsDC(h);
  if (!dc) return ERROR;
  Region current = dc->s.clip ? *dc->s.clip : DeviceArea(dc);
  dc->s.clip = CombineRegions(current, Region::FromRect(DeviceRect(dc, l, t, r, b)), mode);
  return ClipType(dc);
}
}  // namespace

int IntersectClipRect(HDC h, int l, int t, int r, int b) { return ClipWithRect(h, l, t, r, b, RGN_AND); }
int ExcludeClipRect(HDC h, int l, int t, int r, int b) { return ClipWithRect(h, l, t, r, b, RGN_DIFF); }

int GetClipBox(HDC h, RECT* rect) {
  DCObj* dc = AsDC(h);
  if (!dc || !rect) return ERROR;
  Region visible = dc->s.clip ? CombineRegions(*dc->s.clip, DeviceArea(dc), RGN_AND) : DeviceArea(dc);
  RECT box = visible.Box();
  POINT pts[2] = {DeviceToLogical(dc, {box.left, box.top}), DeviceToLogical(dc, {box.right, box.bottom})};
  *rect = {std::min(pts[0].x, pts[1].x), std::min(pts[0].y, pts[1].y), std::max(pts[0].x, pts[1].x),
           std::max(pts[0].y, pts[1].y)};
  return visible.Type();
}
