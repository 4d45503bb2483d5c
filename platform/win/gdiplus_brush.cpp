// GDI+ brushes as cairo patterns: solid colours, 8x8 hatches fixed to the
// device, linear gradients, path gradients (as mesh patterns) and textures.
#include <algorithm>
#include <cmath>

#include "platform/win/gdiplus_internal.h"

namespace {

struct SolidBrush : GpBrush {
  SolidBrush() : GpBrush(BrushKind::Solid) {}
  ARGB color = 0;
  cairo_pattern_t* Pattern() const override {
    return cairo_pattern_create_rgba(((color >> 16) & 0xFF) / 255.0, ((color >> 8) & 0xFF) / 255.0,
                                     (color & 0xFF) / 255.0, (color >> 24) / 255.0);
  }
};

uint32_t Premultiplied(ARGB c) {
  uint32_t a = c >> 24;
  auto ch = [&](int shift) { return (((c >> shift) & 0xFF) * a + 127) / 255; };
  return (a << 24) | (ch(16) << 16) | (ch(8) << 8) | ch(0);
}

// Whether hatch `style` sets pixel (x, y) of its 8x8 cell. Styles beyond
// the six line patterns are drawn as dot densities: the percentage styles
// exactly (an ordered 8x8 dither), the rest of the named styles as a 50% dot.
bool HatchBit(int style, int x, int y) {
  static constexpr int kBayer[8][8] = {{0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26},
                                       {12, 44, 4, 36, 14, 46, 6, 38},  {60, 28, 52, 20, 62, 30, 54, 22},
                                       {3, 35, 11, 43, 1, 33, 9, 41},   {51, 19, 59, 27, 49, 17, 57, 25},
                                       {15, 47, 7, 39, 13, 45, 5, 37},  {63, 31, 55, 23, 61, 29, 53, 21}};
  static constexpr int kPercent[] = {5, 10, 20, 25, 30, 40, 50, 60, 70, 75, 80, 90};
  switch (style) {
    case HatchStyleHorizontal: return y == 0;
    case HatchStyleVertical: return x == 0;
    case HatchStyleForwardDiagonal: return x == y;
    case HatchStyleBackwardDiagonal: return x + y == 7;
    case HatchStyleCross: return x == 0 || y == 0;
    case HatchStyleDiagonalCross: return x == y || x + y == 7;
    default:
      if (style >= HatchStyle05Percent && style <= HatchStyle90Percent)
        return kBayer[y][x] * 100 < kPercent[style - HatchStyle05Percent] * 64;
      return ((x + y) & 1) == 0;
  }
}

struct HatchBrush : GpBrush {
  HatchBrush() : GpBrush(BrushKind::Hatch) {}
  int style = 0;
  ARGB fore = 0, back = 0;
  cairo_pattern_t* Pattern() const override {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 8, 8);
    auto* data = reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(s));
    int stride = cairo_image_surface_get_stride(s) / 4;
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x) data[y * stride + x] = Premultiplied(HatchBit(style, x, y) ? fore : back);
    cairo_surface_mark_dirty(s);
    cairo_pattern_t* p = cairo_pattern_create_for_surface(s);
    cairo_surface_destroy(s);
    cairo_pattern_set_extend(p, CAIRO_EXTEND_REPEAT);
    cairo_pattern_set_filter(p, CAIRO_FILTER_NEAREST);
    return p;
  }
};

void AddStop(cairo_pattern_t* p, double offset, ARGB c) {
  cairo_pattern_add_color_stop_rgba(p, offset, ((c >> 16) & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0,
                                    (c & 0xFF) / 255.0, (c >> 24) / 255.0);
}

double ToLinear(double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); }
double FromLinear(double v) { return v <= 0.0031308 ? v * 12.92 : 1.055 * std::pow(v, 1 / 2.4) - 0.055; }

ARGB MixLinearLight(ARGB a, ARGB b, double t) {
  ARGB out = static_cast<ARGB>(std::lround((a >> 24) + ((double(b >> 24)) - (a >> 24)) * t)) << 24;
  for (int shift : {16, 8, 0}) {
    double x = ToLinear(((a >> shift) & 0xFF) / 255.0), y = ToLinear(((b >> shift) & 0xFF) / 255.0);
    out |= static_cast<ARGB>(std::lround(FromLinear(x + (y - x) * t) * 255)) << shift;
  }
  return out;
}

struct LineBrush : GpBrush {
  LineBrush() : GpBrush(BrushKind::Line) {}
  GpPointF p1, p2;
  ARGB c1 = 0, c2 = 0;
  int wrap = WrapModeTile;
  bool gamma = false;
  cairo_pattern_t* Pattern() const override {
    cairo_pattern_t* p = cairo_pattern_create_linear(p1.X, p1.Y, p2.X, p2.Y);
    AddStop(p, 0, c1);
    // Gamma-corrected blends run in linear light; cairo interpolates in sRGB,
    // so intermediate stops carry the corrected colours.
    if (gamma)
      for (int i = 1; i < 8; ++i) AddStop(p, i / 8.0, MixLinearLight(c1, c2, i / 8.0));
    AddStop(p, 1, c2);
    cairo_pattern_set_extend(p, wrap == WrapModeClamp ? CAIRO_EXTEND_PAD
                                : wrap == WrapModeTile ? CAIRO_EXTEND_REPEAT
                                                       : CAIRO_EXTEND_REFLECT);
    return p;
  }
};

// A path gradient becomes a cairo mesh: for each edge of the flattened
// outline, patches from the outline toward the centre. Without a preset
// blend one triangle per edge runs from the surround colours to the centre
// colour; with one, a ring of quadrilaterals per blend step carries each
// step's colour, which reproduces the blend exactly along every radius.
struct PathBrush : GpBrush {
  PathBrush() : GpBrush(BrushKind::Path) {}
  std::vector<GpPointF> outline;  // flattened
  int pointCount = 0;             // points of the source path
  GpPointF center;
  ARGB centerColor = 0xFFFFFFFFu;
  std::vector<ARGB> surround{0xFFFFFFFFu};
  std::vector<ARGB> blendColors;
  std::vector<REAL> blendPositions;  // 0 = outline, 1 = centre
  int wrap = WrapModeClamp;

  ARGB SurroundAt(size_t i) const { return surround[std::min(i, surround.size() - 1)]; }

  static GpPointF Toward(GpPointF p, GpPointF c, double t) {
    return {static_cast<REAL>(p.X + (c.X - p.X) * t), static_cast<REAL>(p.Y + (c.Y - p.Y) * t)};
  }

  static void Corner(cairo_pattern_t* m, int corner, ARGB c) {
    cairo_mesh_pattern_set_corner_color_rgba(m, static_cast<unsigned>(corner), ((c >> 16) & 0xFF) / 255.0,
                                             ((c >> 8) & 0xFF) / 255.0, (c & 0xFF) / 255.0, (c >> 24) / 255.0);
  }

  void Quad(cairo_pattern_t* m, GpPointF a, GpPointF b, GpPointF c, GpPointF d, ARGB ca, ARGB cb, ARGB cc,
            ARGB cd) const {
    cairo_mesh_pattern_begin_patch(m);
    cairo_mesh_pattern_move_to(m, a.X, a.Y);
    cairo_mesh_pattern_line_to(m, b.X, b.Y);
    cairo_mesh_pattern_line_to(m, c.X, c.Y);
    cairo_mesh_pattern_line_to(m, d.X, d.Y);
    Corner(m, 0, ca);
    Corner(m, 1, cb);
    Corner(m, 2, cc);
    Corner(m, 3, cd);
    cairo_mesh_pattern_end_patch(m);
  }

  cairo_pattern_t* Pattern() const override {
    cairo_pattern_t* m = cairo_pattern_create_mesh();
    size_t n = outline.size();
    for (size_t i = 0; i < n; ++i) {
      GpPointF a = outline[i], b = outline[(i + 1) % n];
      if (blendColors.empty()) {
        Quad(m, a, b, center, center, SurroundAt(i), SurroundAt(i + 1), centerColor, centerColor);
        continue;
      }
      for (size_t k = 0; k + 1 < blendColors.size(); ++k) {
        double t0 = blendPositions[k], t1 = blendPositions[k + 1];
        Quad(m, Toward(a, center, t0), Toward(b, center, t0), Toward(b, center, t1), Toward(a, center, t1),
             blendColors[k], blendColors[k], blendColors[k + 1], blendColors[k + 1]);
      }
    }
    return m;
  }
};

struct TextureBrush : GpBrush {
  TextureBrush() : GpBrush(BrushKind::Texture) {}
  GpImage* image = nullptr;  // the brush keeps its own copy of the pixels
  std::unique_ptr<GpImage> copy;
  int wrap = WrapModeTile;
  cairo_pattern_t* Pattern() const override {
    cairo_pattern_t* p = cairo_pattern_create_for_surface(copy->Surface());
    cairo_pattern_set_extend(p, wrap == WrapModeClamp ? CAIRO_EXTEND_NONE : CAIRO_EXTEND_REPEAT);
    return p;
  }
};

PathBrush* AsPath(GpPathGradient* b) {
  GpBrush* base = b;
  return base && base->kind == BrushKind::Path ? static_cast<PathBrush*>(base) : nullptr;
}

LineBrush* AsLine(GpLineGradient* b) {
  GpBrush* base = b;
  return base && base->kind == BrushKind::Line ? static_cast<LineBrush*>(base) : nullptr;
}

GpStatus LineBrushOf(GpPointF p1, GpPointF p2, ARGB c1, ARGB c2, int wrap, GpLineGradient** brush) {
  if (!brush || wrap < WrapModeTile || wrap > WrapModeClamp) return InvalidParameter;
  if (p1.X == p2.X && p1.Y == p2.Y) return OutOfMemory;  // as GDI+ answers for an empty gradient
  auto* b = new LineBrush;
  b->p1 = p1;
  b->p2 = p2;
  b->c1 = c1;
  b->c2 = c2;
  b->wrap = wrap;
  *brush = b;
  return Ok;
}

}  // namespace

bool SetBrush(cairo_t* cr, const GpBrush* brush) {
  if (!brush) return false;
  cairo_pattern_t* p = brush->Pattern();
  if (brush->kind == BrushKind::Hatch) {
    // Hatches are fixed to device pixels: undo the user transform.
    cairo_matrix_t ctm;
    cairo_get_matrix(cr, &ctm);
    cairo_pattern_set_matrix(p, &ctm);
  }
  cairo_set_source(cr, p);
  cairo_pattern_destroy(p);
  return true;
}

GpStatus GdipCreateSolidFill(ARGB color, GpSolidFill** brush) {
  if (!brush) return InvalidParameter;
  auto* b = new SolidBrush;
  b->color = color;
  *brush = b;
  return Ok;
}

GpStatus GdipCreateHatchBrush(int style, ARGB fore, ARGB back, GpHatch** brush) {
  if (!brush || style < HatchStyleHorizontal || style > HatchStyleMax) return InvalidParameter;
  auto* b = new HatchBrush;
  b->style = style;
  b->fore = fore;
  b->back = back;
  *brush = b;
  return Ok;
}

GpStatus GdipCreateLineBrush(const GpPointF* p1, const GpPointF* p2, ARGB c1, ARGB c2, int wrap,
                             GpLineGradient** brush) {
  if (!p1 || !p2) return InvalidParameter;
  return LineBrushOf(*p1, *p2, c1, c2, wrap, brush);
}

GpStatus GdipCreateLineBrushFromRect(const GpRectF* r, ARGB c1, ARGB c2, int mode, int wrap, GpLineGradient** brush) {
  if (!r || r->Width <= 0 || r->Height <= 0) return InvalidParameter;
  static constexpr REAL kAngles[] = {0, 90, 45, 135};
  if (mode < LinearGradientModeHorizontal || mode > LinearGradientModeBackwardDiagonal) return InvalidParameter;
  return GdipCreateLineBrushFromRectWithAngle(r, c1, c2, kAngles[mode], FALSE, wrap, brush);
}

GpStatus GdipCreateLineBrushFromRectWithAngle(const GpRectF* r, ARGB c1, ARGB c2, REAL angle, BOOL, int wrap,
                                              GpLineGradient** brush) {
  if (!r || r->Width <= 0 || r->Height <= 0) return InvalidParameter;
  // The gradient runs along the angle (clockwise from the x axis) across the
  // rectangle: from the corner with the smallest projection to the largest.
  double a = angle * M_PI / 180, dx = std::cos(a), dy = std::sin(a);
  double cx = r->X + r->Width / 2.0, cy = r->Y + r->Height / 2.0;
  double half = (std::abs(dx) * r->Width + std::abs(dy) * r->Height) / 2;
  GpPointF p1{static_cast<REAL>(cx - dx * half), static_cast<REAL>(cy - dy * half)};
  GpPointF p2{static_cast<REAL>(cx + dx * half), static_cast<REAL>(cy + dy * half)};
  return LineBrushOf(p1, p2, c1, c2, wrap, brush);
}

GpStatus GdipSetLineGammaCorrection(GpLineGradient* brush, BOOL gamma) {
  LineBrush* b = AsLine(brush);
  if (!b) return InvalidParameter;
  b->gamma = gamma;
  return Ok;
}

GpStatus GdipCreatePathGradientFromPath(const GpPath* path, GpPathGradient** brush) {
  if (!path || !brush || path->points.size() < 2) return path && brush ? OutOfMemory : InvalidParameter;
  auto* b = new PathBrush;
  b->pointCount = static_cast<int>(path->points.size());
  // Flatten the path for the mesh.
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
  cairo_t* cr = cairo_create(s);
  path->Replay(cr);
  cairo_path_t* flat = cairo_copy_path_flat(cr);
  for (int i = 0; i < flat->num_data; i += flat->data[i].header.length)
    if (flat->data[i].header.type == CAIRO_PATH_MOVE_TO || flat->data[i].header.type == CAIRO_PATH_LINE_TO)
      b->outline.push_back(
          {static_cast<REAL>(flat->data[i + 1].point.x), static_cast<REAL>(flat->data[i + 1].point.y)});
  cairo_path_destroy(flat);
  cairo_destroy(cr);
  cairo_surface_destroy(s);
  // The centre is the mean of the path's points.
  double sx = 0, sy = 0;
  for (GpPointF p : path->points) {
    sx += p.X;
    sy += p.Y;
  }
  b->center = {static_cast<REAL>(sx / path->points.size()), static_cast<REAL>(sy / path->points.size())};
  *brush = b;
  return Ok;
}

GpStatus GdipSetPathGradientCenterColor(GpPathGradient* brush, ARGB color) {
  PathBrush* b = AsPath(brush);
  if (!b) return InvalidParameter;
  b->centerColor = color;
  return Ok;
}

GpStatus GdipSetPathGradientCenterPoint(GpPathGradient* brush, const GpPointF* point) {
  PathBrush* b = AsPath(brush);
  if (!b || !point) return InvalidParameter;
  b->center = *point;
  return Ok;
}

GpStatus GdipSetPathGradientSurroundColorsWithCount(GpPathGradient* brush, const ARGB* colors, int* count) {
  PathBrush* b = AsPath(brush);
  if (!b || !colors || !count || *count < 1 || *count > b->pointCount) return InvalidParameter;
  b->surround.assign(colors, colors + *count);
  return Ok;
}

GpStatus GdipSetPathGradientPresetBlend(GpPathGradient* brush, const ARGB* colors, const REAL* positions, int count) {
  PathBrush* b = AsPath(brush);
  if (!b || !colors || !positions || count < 2 || count > 4096) return InvalidParameter;
  // Positions must rise from 0 (the outline) to 1 (the centre).
  if (positions[0] != 0 || positions[count - 1] != 1) return InvalidParameter;
  for (int i = 1; i < count; ++i)
    if (positions[i] < positions[i - 1]) return InvalidParameter;
  b->blendColors.assign(colors, colors + count);
  b->blendPositions.assign(positions, positions + count);
  return Ok;
}

GpStatus GdipSetPathGradientWrapMode(GpPathGradient* brush, int wrap) {
  PathBrush* b = AsPath(brush);
  if (!b || wrap < WrapModeTile || wrap > WrapModeClamp) return InvalidParameter;
  b->wrap = wrap;  // the mesh covers the path only, so every mode draws alike
  return Ok;
}

GpStatus GdipGetPathGradientPointCount(GpPathGradient* brush, int* count) {
  PathBrush* b = AsPath(brush);
  if (!b || !count) return InvalidParameter;
  *count = b->pointCount;
  return Ok;
}

GpStatus GdipCreateTexture(GpImage* image, int wrap, GpTexture** brush) {
  if (!image || !brush || wrap < WrapModeTile || wrap > WrapModeClamp) return InvalidParameter;
  auto* b = new TextureBrush;
  b->copy = std::make_unique<GpImage>();
  b->copy->picture = image->picture;
  b->wrap = wrap;
  *brush = b;
  return Ok;
}

GpStatus GdipDeleteBrush(GpBrush* brush) {
  if (!brush) return InvalidParameter;
  delete brush;
  return Ok;
}
