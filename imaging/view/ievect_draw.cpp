// Drawing the objects onto a bitmap in the bitmap's own coordinates: each
// object through a canvas on a region of the target over its extent. A
// target with an alpha channel receives each object's shape a second time
// in its alpha channel, in the grey of the object's opacity.
//
// Drawn: lines (with their ends), boxes (and highlighters), ellipses, arcs,
// bitmaps, polylines and single-line texts without a curve.
//
// Sections: geometry | one object | all objects | the view's hooks
#include <algorithm>
#include <cmath>
#include <memory>

#include "imaging/core/iegdiplus.h"
#include "imaging/core/ruduvazez.h"
#include "imaging/view/ievect.h"
#include "imaging/view/imageryview_layers.h"
#include "platform/rtl/encoding.h"

namespace {

// Coordinates are held within this range before they reach the canvas, so
// that hostile values never meet its fixed-point arithmetic.
constexpr int64_t kCoordLimit = int64_t{1} << 22;
constexpr int32_t kMaxPenWidth = 1 << 12;

int32_t Clamp(int64_t v) { return static_cast<int32_t>(std::clamp(v, -kCoordLimit, kCoordLimit)); }

TColor Grey(int32_t level) {
  const auto v = static_cast<uint32_t>(std::clamp(level, 0, 255));
  return v | (v << 8) | (v << 16);
}

// What one drawing of an object uses: its colours (or the grey of its
// opacity in the alpha pass), the zoomed pen width and its corners.
struct TDrawing {
  const TIEVObject& o;
  bool alphaPass;
  int32_t x1, y1, x2, y2;  // the second corner is inclusive
  int32_t w;

  TColor Pen() const { return alphaPass ? Grey(o.Transparency) : static_cast<TColor>(o.PenColor) & 0xFFFFFF; }
  TColor Brush() const { return alphaPass ? Grey(o.Transparency) : static_cast<TColor>(o.BrushColor) & 0xFFFFFF; }
};

TPenStyle PenStyleOf(uint8_t v) { return v <= psInsideFrame ? static_cast<TPenStyle>(v) : psSolid; }
TBrushStyle BrushStyleOf(uint8_t v) { return v <= bsDiagCross ? static_cast<TBrushStyle>(v) : bsClear; }

// The region of the target an object may touch: its box widened by twice
// the pen width and the line ends; false when that misses the target.
bool ObjectRegion(const TDrawing& d, TIEBitmap& target, RECT& region) {
  const int64_t margin = 2 * int64_t{d.w} + std::max(d.o.ShapeWidth, d.o.ShapeHeight) * int64_t{d.o.BeginShape || d.o.EndShape};
  const int64_t left = std::min(d.x1, d.x2) - margin, right = std::max(d.x1, d.x2) + margin;
  const int64_t top = std::min(d.y1, d.y2) - margin, bottom = std::max(d.y1, d.y2) + margin;
  if (right < 0 || bottom < 0 || left >= target.GetWidth() || top >= target.GetHeight()) return false;
  region = RECT{static_cast<int32_t>(std::max<int64_t>(left, 0)), static_cast<int32_t>(std::max<int64_t>(top, 0)),
                static_cast<int32_t>(std::min<int64_t>(right, target.GetWidth() - 1)),
                static_cast<int32_t>(std::min<int64_t>(bottom, target.GetHeight() - 1))};
  return true;
}

// A triangle at the end point p of the line from q: shape 1 with its base
// on p, shape 2 with its tip on p.
void DrawLineEnd(TIECanvas& canvas, uint8_t shape, POINT p, POINT q, int32_t base, int32_t length) {
  if (shape != ileTriangleIn && shape != ileTriangleOut) return;
  const double dx = static_cast<double>(q.x) - p.x, dy = static_cast<double>(q.y) - p.y;
  const double d = std::hypot(dx, dy);
  if (d == 0) return;  // a line of no length has no direction to draw along
  const double u = dx / d, v = dy / d, nx = -v, ny = u;
  const POINT c{p.x + static_cast<int32_t>(std::trunc(length * u)), p.y + static_cast<int32_t>(std::trunc(length * v))};
  const POINT baseAt = shape == ileTriangleIn ? p : c, tip = shape == ileTriangleIn ? c : p;
  const auto ox = static_cast<int32_t>(std::trunc(base / 2.0 * nx)), oy = static_cast<int32_t>(std::trunc(base / 2.0 * ny));
  const POINT triangle[3] = {POINT{baseAt.x + ox, baseAt.y + oy}, POINT{baseAt.x - ox, baseAt.y - oy}, tip};
  canvas.Polygon(triangle, 2);
}

void DrawHighlight(const TDrawing& d, TIEBitmap& target) {
  const int32_t left = std::max(std::min(d.x1, d.x2), 0), right = std::min(std::max(d.x1, d.x2), target.GetWidth() - 1);
  const int32_t top = std::max(std::min(d.y1, d.y2), 0), bottom = std::min(std::max(d.y1, d.y2), target.GetHeight() - 1);
  const TColor c = d.Brush();
  const uint8_t r = c & 0xFF, g = (c >> 8) & 0xFF, b = (c >> 16) & 0xFF;
  const bool grey = target.GetPixelFormat() == ie8g;
  for (int32_t y = top; y <= bottom; ++y) {
    uint8_t* row = target.GetScanline(y);
    for (int32_t x = left; x <= right; ++x) {
      if (grey) {
        row[x] = r;  // the alpha pass sets the opacity
      } else {
        uint8_t* px = row + int64_t{x} * 3;
        px[0] &= b, px[1] &= g, px[2] &= r;
      }
    }
  }
}

void DrawBitmapObject(const TDrawing& d, TIEBitmap& target, TIECanvas* canvas, TIEBitmap* pooled,
                      TResampleFilter filter) {
  const int32_t width = d.x2 - d.x1 + 1, height = d.y2 - d.y1 + 1;
  if (!pooled || width <= 0 || height <= 0) return;
  if (d.alphaPass) {
    canvas->FillRect(RECT{d.x1, d.y1, d.x2 + 1, d.y2 + 1});
    return;
  }
  if (target.GetPixelFormat() == ie24RGB)
    pooled->RenderToTIEBitmap(target, d.x1, d.y1, width, height, 0, 0, pooled->GetWidth(), pooled->GetHeight(), true,
                              255, filter, 0, std::clamp(d.o.Transparency, 0, 255) / 255.0);
}

// Step between the border and the text on the left and right.
void DrawText(const TDrawing& d, TIECanvas& canvas, bool zoomWidth) {
  const TIEVObject& o = d.o;
  if (!o.Text || !o.LogFont) return;
  const LOGFONTW& lf = *o.LogFont;
  std::u16string face;
  for (char16_t c : lf.lfFaceName) {
    if (c == 0) break;
    face.push_back(c);
  }
  TFont* font = canvas.Font();
  font->SetName(Utf16ToUtf8(face));
  font->SetHeight(lf.lfHeight != 0 ? lf.lfHeight : -(d.y2 - d.y1 + 1));
  TFontStyles styles;
  if (lf.lfWeight >= 700) styles.Include(fsBold);
  if (lf.lfItalic) styles.Include(fsItalic);
  if (lf.lfUnderline) styles.Include(fsUnderline);
  if (lf.lfStrikeOut) styles.Include(fsStrikeOut);
  font->SetStyle(styles);
  font->SetColor(d.Pen());
  const RECT box{d.x1, d.y1, d.x2 + 1, d.y2 + 1};
  if (o.BrushStyle != bsClear || o.PenStyle != psClear) canvas.Rectangle(box.left, box.top, box.right, box.bottom);
  const std::string text = Utf16ToUtf8(*o.Text);
  const SIZE size = canvas.TextExtent(text);
  const int32_t inset = o.PenStyle != psClear && zoomWidth ? o.PenWidth + 1 : 0;
  int32_t x = d.x1 + inset;
  if (o.TextAlign == 1) x = d.x2 + 1 - size.cx - inset;
  if (o.TextAlign >= 2) x = d.x1 + (d.x2 - d.x1 + 1 - size.cx) / 2;
  const int32_t y = d.y1 + (d.y2 - d.y1 + 1 - size.cy) / 2;
  canvas.TextRectTransparent(box, x, y, text);
}

void DrawPolyline(const TDrawing& d, TIECanvas& canvas, TIEVObject& o) {
  const RECT& b = o.PolyBounds;
  if (o.PolyPoints.empty() || (b.left == b.right && b.top == b.bottom)) return;
  std::vector<POINT> points;
  points.reserve(o.PolyPoints.size());
  for (const POINT& p : o.PolyPoints) {
    const POINT mapped = IEVPolylinePointToBitmap(o, p);
    points.push_back(POINT{Clamp(mapped.x), Clamp(mapped.y)});
  }
  const auto high = static_cast<int32_t>(points.size()) - 1;
  if (o.PolyClosed)
    canvas.Polygon(points.data(), high);
  else
    canvas.Polyline(points.data(), high);
  if (!d.alphaPass) o.PolyViewPoints = std::move(points);
}

}  // namespace

// ---- one object, all objects ---------------------------------------------------------------------

void TImageryVect::RenderObjects(TIEBitmap& target, bool /*toView*/, int32_t layerFilter, int32_t handle,
                                 bool antialias) {
  if (ObjectDrawingSuspended || target.GetWidth() <= 0 || target.GetHeight() <= 0) return;
  std::vector<int32_t> handles;
  if (handle == IEV_ALL_OBJECTS) handles = drawOrder_;
  else if (handle == IEV_SELECTED_OBJECTS) handles = selection_;
  else handles.push_back(ResolveHandle(handle));
  const bool withAlpha = target.HasAlphaChannel();
  for (int32_t h : handles) {
    TIEVObject& o = ObjectRecordOf(h);
    if (!o.HasStyle(iosVisible) || o.Kind == ievkNone || o.Kind > ievkExtended) continue;
    if (layerFilter >= 0 && o.LayerIndex != layerFilter) continue;
    if (o.Kind == ievkBox && o.BoxHighlight) o.PenWidth = 1;
    DrawObject(target, o, false, antialias);
    if (withAlpha) DrawObject(*target.GetAlphaChannel(), o, true, antialias);
  }
}

void TImageryVect::DrawObject(TIEBitmap& target, TIEVObject& o, bool alphaPass, bool antialias) {
  const int64_t penWidth = ZoomObjectsWidth ? std::max<int64_t>(o.PenWidth, 1) : o.PenWidth;
  TDrawing d{o, alphaPass, Clamp(o.X1), Clamp(o.Y1), Clamp(o.X2), Clamp(o.Y2),
             static_cast<int32_t>(std::clamp<int64_t>(penWidth, 0, kMaxPenWidth))};
  o.DrawnRect = RECT{std::min(d.x1, d.x2), std::min(d.y1, d.y2), std::max(d.x1, d.x2), std::max(d.y1, d.y2)};
  o.DrawnMargin = d.w;
  if (o.Kind == ievkBox && o.BoxHighlight) {
    DrawHighlight(d, target);
    return;
  }
  RECT region;
  if (!ObjectRegion(d, target, region)) return;
  std::unique_ptr<TIECanvas> canvas(
      TIEBitmap::CreateRegionCanvas(target, region.left, region.top, region.right, region.bottom, antialias, true, false));
  if (!canvas) return;
  TIEPen& pen = *canvas->Pen();
  pen.SetStyle(PenStyleOf(o.PenStyle));
  pen.SetWidth(static_cast<float>(d.w));
  pen.SetMode(pmCopy);
  pen.SetColor(d.Pen());
  pen.SetAlpha(alphaPass ? 255 : static_cast<uint32_t>(std::clamp(o.Transparency, 0, 255)));
  TIEBrush& brush = *canvas->Brush();
  brush.SetStyle(BrushStyleOf(o.BrushStyle));
  brush.SetColor(d.Brush());
  brush.SetAlpha(alphaPass ? 255 : static_cast<uint32_t>(std::clamp(o.Transparency, 0, 255)));
  switch (o.Kind) {
    case ievkLine:
    case ievkLineLabel: {
      canvas->DrawLine(d.x1, d.y1, d.x2, d.y2);
      brush.SetStyle(bsSolid);
      brush.SetColor(d.Pen());
      const auto base = static_cast<int32_t>(std::clamp<int64_t>(o.ShapeWidth, 0, kCoordLimit));
      const auto length = static_cast<int32_t>(std::clamp<int64_t>(o.ShapeHeight, 0, kCoordLimit));
      DrawLineEnd(*canvas, o.BeginShape, POINT{d.x1, d.y1}, POINT{d.x2, d.y2}, base, length);
      DrawLineEnd(*canvas, o.EndShape, POINT{d.x2, d.y2}, POINT{d.x1, d.y1}, base, length);
      break;
    }
    case ievkBox: canvas->Rectangle(d.x1, d.y1, d.x2 + 1, d.y2 + 1); break;
    case ievkEllipse: canvas->Ellipse(d.x1, d.y1, d.x2 + 1, d.y2 + 1); break;
    case ievkArc: {
      if (!std::isfinite(o.ArcStart) || !std::isfinite(o.ArcEnd)) break;
      const double rx = (static_cast<double>(d.x2) - d.x1) / 2, ry = (static_cast<double>(d.y2) - d.y1) / 2;
      const auto at = [&](double angle) {
        return POINT{d.x1 + static_cast<int32_t>(std::trunc(rx + rx * std::cos(angle))),
                     d.y1 + static_cast<int32_t>(std::trunc(ry + ry * std::sin(angle)))};
      };
      const POINT s = at(o.ArcStart), e = at(o.ArcEnd);
      canvas->Arc(d.x1, d.y1, d.x2 + 1, d.y2 + 1, s.x, s.y, e.x, e.y);
      break;
    }
    case ievkBitmap: {
      TIEBitmap* pooled = o.BitmapIndex >= 0 && o.BitmapIndex < static_cast<int32_t>(pool_.size())
                              ? pool_[static_cast<size_t>(o.BitmapIndex)].Bitmap.get()
                              : nullptr;
      canvas.reset();  // the bitmap is rendered straight into the target
      std::unique_ptr<TIECanvas> fill;
      if (alphaPass) {
        fill.reset(TIEBitmap::CreateRegionCanvas(target, region.left, region.top, region.right, region.bottom, false,
                                                 true, false));
        if (!fill) break;
        fill->Brush()->SetStyle(bsSolid);
        fill->Brush()->SetColor(d.Brush());
      }
      DrawBitmapObject(d, target, fill.get(), pooled, BitmapResampleFilter);
      break;
    }
    case ievkText:
      if (o.CurvePoints.empty()) DrawText(d, *canvas, ZoomObjectsWidth);
      break;
    case ievkPolyline: DrawPolyline(d, *canvas, o); break;
    default: break;  // rulers, angles, memos and extension objects are not drawn here
  }
}

void TImageryVect::DrawObjectsToBitmap(TIEBitmap& bitmap, bool antialias, bool convert, int32_t handle) {
  if (bitmap.GetWidth() <= 0 || bitmap.GetHeight() <= 0) {
    const RECT extent = GetObjectsExtent();
    if (!bitmap.Allocate(extent.right, extent.bottom, bitmap.GetPixelFormat() == ieNoFormat ? ie24RGB : bitmap.GetPixelFormat()))
      return;
  }
  if (bitmap.GetPixelFormat() != ie24RGB) {
    if (!convert) return;
    bitmap.SetPixelFormat(ie24RGB);
  }
  RenderObjects(bitmap, false, -1, handle, antialias);
}

void TImageryVect::MergeObjectsToImage(bool antialias, bool convert, int32_t handle) {
  if (ObjectsFollowLayers) {
    for (int32_t i = 0; i < GetLayerCount(); ++i) {
      TIEBitmap& bitmap = *GetLayer(i)->Bitmap;
      if (bitmap.GetPixelFormat() != ie24RGB) {
        if (!convert) continue;
        bitmap.SetPixelFormat(ie24RGB);
      }
      RenderObjects(bitmap, false, i, handle, antialias);
    }
  } else {
    DrawObjectsToBitmap(*GetIEBitmap(), antialias, convert, handle);
  }
  Update();
  ImageChange();
}

// ---- the view's hooks --------------------------------------------------------------------------------

// Painting objects over the view is not done yet: the layers draw alone.
void TImageryVect::DrawLayers(TIEBitmap& dest, std::vector<uint8_t*>* rowCache, bool drawBackground,
                              bool drawOverlays, const RECT* updateRect) {
  TImageryView::DrawLayers(dest, rowCache, drawBackground, drawOverlays, updateRect);
}

void TImageryVect::DrawLayerOverlay(int32_t index, TIEBitmap& dest, const RECT* updateRect) {
  TImageryView::DrawLayerOverlay(index, dest, updateRect);
}
