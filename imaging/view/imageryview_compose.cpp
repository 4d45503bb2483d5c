// Layer compositing: the layer stack drawn into a 24-bit destination, the
// view's back buffer at the view's zoom or any bitmap at 100 % (merging),
// with positions, display sizes, rotations, opacity, blend operators, alpha
// channels, mask layers and edge softening; the background under the first
// layer where it shows through, the area outside the background image, and
// the overlays of the current layer (frame, grips, dimming, selection,
// pixel grid).
//
// Sections: mapping | masks and softening | one layer | the stack |
// overlays and grips | merging
#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>

#include "imaging/core/iegdiplus.h"
#include "imaging/core/iesettings.h"
#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_mask.h"
#include "imaging/processing/imageryproc.h"
#include "imaging/processing/imageryproc_component.h"
#include "imaging/view/imageryview.h"
#include "imaging/view/imageryview_layers.h"

// ---- mapping ------------------------------------------------------------------------------------------

// Where background-image pixels land in the destination and back.
struct TIELayerMapping {
  std::function<int32_t(int32_t)> ToDestX, ToDestY, ToBitmapX, ToBitmapY;
  double ZoomX = 1, ZoomY = 1;  // zoom factors
  int32_t OriginX = 0, OriginY = 0;  // destination position of background pixel 0 at zoom 1 (merging)
  bool ViewGeometry = true;          // painting the view, not merging
};

namespace {

// ---- masks and softening --------------------------------------------------------------------------------

// The layer's alpha limited by its mask layer: mask pixel found through both
// layers' geometry, 0 outside the mask. With an outside cap (0 or more),
// pixels that lie outside the background (0..width, 0..height) are limited to it.
std::unique_ptr<TIEBitmap> MaskedAlpha(TIELayer& layer, TIELayer& mask, int32_t outsideCap, int32_t backgroundWidth,
                                       int32_t backgroundHeight) {
  TIEBitmap& bitmap = *layer.Bitmap;
  const int32_t w = bitmap.GetWidth(), h = bitmap.GetHeight();
  TIEBitmap grey;
  TIEBitmap* maskBitmap = mask.Bitmap;
  if (maskBitmap->GetPixelFormat() != ie8g) {
    grey.Allocate(maskBitmap->GetWidth(), maskBitmap->GetHeight(), ie8g);
    grey.ConvertFrom(*maskBitmap);
    grey.RemoveAlphaChannel();
    maskBitmap = &grey;
  }
  const int32_t mw = maskBitmap->GetWidth(), mh = maskBitmap->GetHeight();
  auto result = std::make_unique<TIEBitmap>(w, h, ie8g);
  const double sx = w ? double(layer.GetWidth()) / w : 1, sy = h ? double(layer.GetHeight()) / h : 1;
  const double msx = mw ? double(mask.GetWidth()) / mw : 1, msy = mh ? double(mask.GetHeight()) / mh : 1;
  TIEBitmap& alpha = *bitmap.GetAlphaChannel();
  for (int32_t j = 0; j < h; ++j) {
    const auto my = static_cast<int64_t>(std::round((sy * j + layer.PosY - mask.PosY) / msy));
    for (int32_t i = 0; i < w; ++i) {
      const auto mx = static_cast<int64_t>(std::round((sx * i + layer.PosX - mask.PosX) / msx));
      const uint8_t m = mx >= 0 && mx < mw && my >= 0 && my < mh
                            ? maskBitmap->GetPixel8(static_cast<int32_t>(mx), static_cast<int32_t>(my))
                            : 0;
      int32_t value = std::min(alpha.GetPixel8(i, j), m);
      if (outsideCap >= 0) {
        const int64_t bx = std::llround(msx * mx) + layer.PosX, by = std::llround(msy * my) + layer.PosY;
        if (bx < 0 || bx > backgroundWidth || by < 0 || by > backgroundHeight)
          value = std::min(int32_t{alpha.GetPixel8(i, j)}, outsideCap);
      }
      result->SetPixel8(i, j, static_cast<uint8_t>(std::clamp(value, 0, 255)));
    }
  }
  result->SetFullFlag(false);
  return result;
}

// Puts a replacement alpha channel in place for one draw and the old one back after.
class TAlphaSwap {
public:
  TAlphaSwap(TIEBitmap& bitmap, TIEBitmap* replacement) : bitmap_(bitmap), active_(replacement != nullptr) {
    if (!active_) return;
    saved_ = bitmap.PeekAlphaChannel();
    bitmap.ReplaceAlphaChannel(replacement);
  }
  ~TAlphaSwap() {
    if (active_) bitmap_.ReplaceAlphaChannel(saved_);
  }
  TAlphaSwap(const TAlphaSwap&) = delete;
  TAlphaSwap& operator=(const TAlphaSwap&) = delete;

private:
  TIEBitmap& bitmap_;
  TIEBitmap* saved_ = nullptr;
  bool active_;
};

// A 64-bit position held to the 32-bit range.
int32_t SaturatedInt32(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

bool IsOpaque(TIEBitmap& bitmap, bool alphaEnabled) {
  return !alphaEnabled || !bitmap.HasAlphaChannel() || bitmap.PeekAlphaChannel()->FullFlag();
}

}  // namespace

// ---- one layer ----------------------------------------------------------------------------------------

// Destination and source rectangles of a layer drawn through its own geometry.
struct TIELayerPlacement {
  int32_t dx = 0, dy = 0, dw = 0, dh = 0, sx = 0, sy = 0, sw = 0, sh = 0;
};

TIELayerPlacement TImageryView::PlaceLayer(TIELayer& layer, const TIELayerMapping& map) {
  TIEBitmap& bitmap = *layer.Bitmap;
  const int32_t width = layer.GetWidth(), height = layer.GetHeight();
  // Each edge corrected until it maps back to its own background coordinate.
  auto edge = [](int32_t b, const std::function<int32_t(int32_t)>& to, const std::function<int32_t(int32_t)>& back) {
    int64_t c = to(b);
    const int32_t mapped = back(static_cast<int32_t>(c));
    if (mapped < b) ++c;
    if (mapped > b) --c;
    return IEClientCoordinate(c);
  };
  TIELayerPlacement p;
  const int32_t left = edge(layer.PosX, map.ToDestX, map.ToBitmapX);
  const int32_t top = edge(layer.PosY, map.ToDestY, map.ToBitmapY);
  const int32_t right = edge(SaturatedInt32(layer.Right()), map.ToDestX, map.ToBitmapX);
  const int32_t bottom = edge(SaturatedInt32(layer.Bottom()), map.ToDestY, map.ToBitmapY);
  p.dx = left, p.dy = top, p.dw = right - left, p.dh = bottom - top;
  p.sw = bitmap.GetWidth(), p.sh = bitmap.GetHeight();
  layer.ScreenBox = RECT{left, top, right, bottom};
  if (layer.ClipToBackground && width > 0 && height > 0) {
    TIEBitmap& background = *layers_.front()->Bitmap;
    if (map.ToBitmapX(p.dx) < 0) {
      p.sx = static_cast<int32_t>(std::trunc(double(p.sw) / width * -double(layer.PosX)));
      p.sw -= p.sx;
      const int32_t start = map.ToDestX(0);
      p.dw -= start - p.dx;
      p.dx = start;
    }
    if (map.ToBitmapY(p.dy) < 0) {
      p.sy = static_cast<int32_t>(std::trunc(double(p.sh) / height * -double(layer.PosY)));
      p.sh -= p.sy;
      const int32_t start = map.ToDestY(0);
      p.dh -= start - p.dy;
      p.dy = start;
    }
    const int32_t boxWidth = layer.ScreenBox.right - layer.ScreenBox.left;
    const int32_t boxHeight = layer.ScreenBox.bottom - layer.ScreenBox.top;
    if (map.ToBitmapX(p.dx + p.dw) > background.GetWidth() && boxWidth > 0) {
      p.dw = map.ToDestX(background.GetWidth()) - p.dx;
      p.sw = static_cast<int32_t>(std::trunc(double(bitmap.GetWidth()) / boxWidth * p.dw));
    }
    if (map.ToBitmapY(p.dy + p.dh) > background.GetHeight() && boxHeight > 0) {
      p.dh = map.ToDestY(background.GetHeight()) - p.dy;
      p.sh = static_cast<int32_t>(std::trunc(double(bitmap.GetHeight()) / boxHeight * p.dh));
    }
  }
  return p;
}

void TImageryView::RenderLayer(TIELayer& layer, TIEBitmap& dest, std::vector<uint8_t*>* rowCache,
                               const TIELayerPlacement& p, TResampleFilter filter) {
  TIEBitmap& bitmap = *layer.Bitmap;
  // Edges are softened on a copy of the alpha channel, so that paints never accumulate.
  std::unique_ptr<TIEBitmap> softened;
  if (layer.EdgeSoftening > 0 && bitmap.HasAlphaChannel()) {
    softened = std::make_unique<TIEBitmap>(*bitmap.PeekAlphaChannel());
    TIEBitmap holder;
    holder.Allocate(softened->GetWidth(), softened->GetHeight(), ie8g);
    holder.ReplaceAlphaChannel(softened.get());
    holder.SoftenAlphaEdges(layer.EdgeSoftening);
    holder.ReplaceAlphaChannel(nullptr);
  }
  TAlphaSwap swap(bitmap, softened.get());
  // Opacity as read from a file may be anything: 0..1, and 0 for what is not a number.
  const double opacity = std::isnan(layer.Opacity) ? 0.0 : std::clamp(layer.Opacity, 0.0, 1.0);
  bitmap.RenderToTIEBitmapEx(dest, rowCache, nullptr, nullptr, nullptr, p.dx, p.dy, p.dw, p.dh, p.sx, p.sy, p.sw,
                             p.sh, enableAlphaChannel_, false, std::clamp(layer.Alpha, 0, 255), filter, true,
                             layer.BlendOperator, opacity);
  layer.DrawnRects = {p.dx, p.dy, p.dw, p.dh, p.sx, p.sy, p.sw, p.sh};
}

// A rotated copy of the layer drawn in its place; the layer's geometry is
// restored afterwards.
void TImageryView::DrawRotatedLayer(TIELayer& layer, TIEBitmap& dest, std::vector<uint8_t*>* rowCache,
                                    const TIELayerMapping& map, TResampleFilter filter) {
  TIEBitmap& bitmap = *layer.Bitmap;
  const int32_t w = layer.GetWidth(), h = layer.GetHeight();
  TIEBitmap sized;
  TIEBitmap* source = &bitmap;
  if (w != bitmap.GetWidth() || h != bitmap.GetHeight()) {
    sized.Allocate(w, h, bitmap.GetPixelFormat());
    bitmap.StretchRectTo(sized, 0, 0, w, h, 0, 0, bitmap.GetWidth(), bitmap.GetHeight(), rfNone, 255, 1.0);
    source = &sized;
  }
  source->GetAlphaChannel();
  TIEBitmap rotated;
  const bool smooth = LayerRotationSmoothPreview && LayerRotationSmooth &&
                      (LayerRotationQuality == 2 || LayerRotationQuality == 3) &&
                      !(LayerRotationFastWhileEditing && delayedFilterCount_ > 0) &&
                      source->GetPixelFormat() == ie24RGB;
  if (smooth) {
    IERotateInterpolatedTo(source, &rotated, 0, layer.Angle(), LayerRotationQuality, {}, nullptr);
    IERotateInterpolated8To(source->GetAlphaChannel(), rotated.GetAlphaChannel(), 0, layer.Angle(),
                            LayerRotationQuality);
  } else {
    IERotateNearestTo(source, &rotated, 0, layer.Angle(), {}, nullptr);
    TIEBitmap alpha;
    IERotateNearestTo(source->GetAlphaChannel(), &alpha, 0, layer.Angle(), {}, nullptr);
    rotated.GetAlphaChannel()->Assign(&alpha);
  }
  rotated.GetAlphaChannel()->UpdateAllFull();

  std::array<POINT, 4> corners;
  const POINT least = IERotateLayerCorners(layer, w, h, corners);
  const int32_t savedW = layer.Width, savedH = layer.Height, savedX = layer.PosX, savedY = layer.PosY;
  for (int k = 0; k < 4; ++k) {
    const POINT& c = corners[static_cast<size_t>(k)];
    layer.Corners[static_cast<size_t>(k)] =
        POINT{static_cast<LONG>(std::trunc((c.x + savedX) * map.ZoomX)) + ClientOriginX(map),
              static_cast<LONG>(std::trunc((c.y + savedY) * map.ZoomY)) + ClientOriginY(map)};
  }
  TIEBitmap* own = layer.Bitmap;
  layer.Bitmap = &rotated;
  layer.Width = rotated.GetWidth();
  layer.Height = rotated.GetHeight();
  layer.PosX = least.x + savedX;
  layer.PosY = least.y + savedY;
  try {
    RenderLayer(layer, dest, rowCache, PlaceLayer(layer, map), filter);
  } catch (...) {
    layer.Bitmap = own;
    layer.Width = savedW, layer.Height = savedH, layer.PosX = savedX, layer.PosY = savedY;
    throw;
  }
  layer.Bitmap = own;
  layer.Width = savedW, layer.Height = savedH, layer.PosX = savedX, layer.PosY = savedY;
}

int32_t TImageryView::ClientOriginX(const TIELayerMapping& map) const {
  return map.ViewGeometry ? offsetX_ - viewX_ : map.OriginX;
}

int32_t TImageryView::ClientOriginY(const TIELayerMapping& map) const {
  return map.ViewGeometry ? offsetY_ - viewY_ : map.OriginY;
}

// ---- magnifier ----------------------------------------------------------------------------------------

namespace {

// The alpha channel of a lens: all opaque (shape 0) or an opaque ellipse (shape 1).
void ShapeLens(TIEBitmap& bitmap, uint8_t shape) {
  TIEBitmap& alpha = *bitmap.GetAlphaChannel();
  if (shape == 0) {
    alpha.Fill(255);
    return;
  }
  alpha.Fill(0);
  alpha.SetFullFlag(false);
  const int32_t w = alpha.GetWidth(), h = alpha.GetHeight();
  const double rx = (w - 1) / 2.0, ry = (h - 1) / 2.0;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const double u = rx > 0 ? (x - rx) / rx : 0, v = ry > 0 ? (y - ry) / ry : 0;
      if (u * u + v * v <= 1.0) alpha.SetPixel8(x, y, 255);
    }
}

}  // namespace

void TImageryView::FillMagnifier(TIELayer& layer, TIEBitmap& dest, const TIELayerMapping& map,
                                 TResampleFilter filter) {
  TIEBitmap& bitmap = *layer.Bitmap;
  if (layerResizeGrip_ == ieNone && (layer.Width != 0 || layer.Height != 0) &&
      (layer.GetWidth() != bitmap.GetWidth() || layer.GetHeight() != bitmap.GetHeight()))
    std::unique_ptr<TImageryProc>(TImageryProc::CreateFromBitmap(&bitmap))
        ->Resample(layer.GetWidth(), layer.GetHeight(), rfNone, false);
  const int32_t bw = bitmap.GetWidth(), bh = bitmap.GetHeight();
  if (bw < 1 || bh < 1) return;
  if (bitmap.GetPixelFormat() != ie24RGB) bitmap.ConvertToPixelFormat(ie24RGB);
  const auto c = static_cast<int32_t>(std::trunc(bw / (layer.Magnifier.Rate / map.ZoomX)));
  const auto d = static_cast<int32_t>(std::trunc(bh / (layer.Magnifier.Rate / map.ZoomY)));
  const int32_t cx = map.ToDestX(layer.PosX) + static_cast<int32_t>(std::trunc(bw * map.ZoomX / 2));
  const int32_t cy = map.ToDestY(layer.PosY) + static_cast<int32_t>(std::trunc(bh * map.ZoomY / 2));
  const RECT lens{cx - c / 2, cy - d / 2, cx + c - c / 2, cy + d - d / 2};
  if (layer.Magnifier.Source == 1) {
    // What has been drawn so far, enlarged.
    dest.RenderToTIEBitmapEx(bitmap, nullptr, nullptr, nullptr, nullptr, 0, 0, bw, bh, lens.left, lens.top,
                             lens.right - lens.left, lens.bottom - lens.top, false, false, 255, rfNone, true, 0, 1.0);
  } else {
    // The background image, only while the lens lies wholly inside it.
    TIEBitmap& background = *layers_.front()->Bitmap;
    const int32_t left = map.ToBitmapX(lens.left), top = map.ToBitmapY(lens.top);
    const int32_t width = map.ToBitmapX(lens.right) - left + 1, height = map.ToBitmapY(lens.bottom) - top + 1;
    const int32_t gw = background.GetWidth(), gh = background.GetHeight();
    if (left >= 0 && top >= 0 && left < gw - width && top < gh - height && width < gw && height < gh) {
      bitmap.Fill(0);
      background.RenderToTIEBitmapEx(bitmap, nullptr, nullptr, nullptr, nullptr, 0, 0, bw, bh, left, top, width,
                                     height, false, false, 255, filter, true, 0, 1.0);
    }
  }
  ShapeLens(bitmap, layer.Magnifier.Shape);
}

// ---- the stack ----------------------------------------------------------------------------------------

void TImageryView::PaintLayerBackground(TIEBitmap& dest) {
  const RECT rect{0, 0, dest.GetWidth(), dest.GetHeight()};
  bool handled = false;
  if (OnDrawBackground) OnDrawBackground(this, dest.GetTBitmapCanvas(), rect, handled);
  if (handled) return;
  IEDrawBackground(ComponentState(), dest.GetTBitmapCanvas(), dest.GetTBitmap(), backgroundStyle_, background_, 0, 0,
                   dest.GetWidth(), dest.GetHeight(), offsetX_, offsetY_, offsetX_ + extentWidth_,
                   offsetY_ + extentHeight_, chessboardSize_, chessboardBrushStyle_, GradientEndColor,
                   wallPaper_.get(), wallPaperStyle_);
}

void TImageryView::DrawLayers(TIEBitmap& dest, std::vector<uint8_t*>* rowCache, bool drawBackground,
                              bool drawOverlays, const RECT* updateRect) {
  SyncLayers();
  UpdateVisibleBitmapRect();
  UpdateCoordinateTables();
  TIELayerMapping map;
  map.ToDestX = [this](int32_t x) { return BitmapToClientX(x); };
  map.ToDestY = [this](int32_t y) { return BitmapToClientY(y); };
  map.ToBitmapX = [this](int32_t x) { return ClientToBitmapX(x); };
  map.ToBitmapY = [this](int32_t y) { return ClientToBitmapY(y); };
  map.ZoomX = zoomFactorX_;
  map.ZoomY = zoomFactorY_;
  ComposeLayers(dest, rowCache, map, drawBackground, drawOverlays, updateRect);
}

void TImageryView::ComposeLayers(TIEBitmap& dest, std::vector<uint8_t*>* rowCache, const TIELayerMapping& map,
                                 bool drawBackground, bool drawOverlays, const RECT* updateRect) {
  if (ComponentState().Contains(csDesigning)) return;
  if (ieBitmap_->GetWidth() == 0 || ieBitmap_->GetHeight() == 0) return;
  if (ieBitmap_->HasAlphaChannel() && (ieBitmap_->PeekAlphaChannel()->GetWidth() != ieBitmap_->GetWidth() ||
                                       ieBitmap_->PeekAlphaChannel()->GetHeight() != ieBitmap_->GetHeight()))
    return;
  bool drawnAny = false;
  const int32_t count = GetLayerCount();
  for (int32_t i = 0; i < count; ++i) {
    TIELayer& layer = *layers_[static_cast<size_t>(i)];
    TIEBitmap& bitmap = *layer.Bitmap;
    if (!layer.Visible || imageWidth_ == 0 || imageHeight_ == 0) continue;
    if (bitmap.GetWidth() < LayersMinDrawSize && bitmap.GetHeight() < LayersMinDrawSize) continue;
    const bool first = !drawnAny;
    drawnAny = true;

    // Mask: the layer above, when it is flagged as this layer's mask.
    TIELayer* mask = nullptr;
    if (i + 1 < count && layers_[static_cast<size_t>(i + 1)]->MaskOfPrevious && !layer.MaskOfPrevious &&
        layer.Angle() == 0)
      mask = layers_[static_cast<size_t>(i + 1)];
    // Parts of upper layers outside the background shown faint: a mask of the layer's own geometry.
    std::unique_ptr<TIELayer> outsideMask;
    if (!mask && i > 0 && OutsideBackgroundStyle == 1) {
      outsideMask = std::make_unique<TIELayer>(nullptr, true, new TIEBitmap(bitmap.GetWidth(), bitmap.GetHeight(), ie8g));
      outsideMask->Bitmap->Fill(255);
      outsideMask->PosX = layer.PosX;
      outsideMask->PosY = layer.PosY;
      outsideMask->Width = layer.Width;
      outsideMask->Height = layer.Height;
      mask = outsideMask.get();
    }
    if (mask && !layer.MaskedAlphaCache) {
      TIEBitmap& background = *layers_.front()->Bitmap;
      layer.MaskedAlphaCache = MaskedAlpha(layer, *mask, OutsideBackgroundStyle == 1 ? OutsideBackgroundAmount : -1,
                                           background.GetWidth(), background.GetHeight())
                                   .release();
    }
    TAlphaSwap masked(bitmap, mask ? layer.MaskedAlphaCache : nullptr);

    if (drawBackground && first) {
      const bool covers = layer.PosX == 0 && layer.PosY == 0 && layer.Angle() == 0 && offsetX_ <= 0 &&
                          offsetY_ <= 0 && dest.GetWidth() <= extentWidth_ && dest.GetHeight() <= extentHeight_ &&
                          IsOpaque(bitmap, enableAlphaChannel_) && layer.BlendOperator == 0 && layer.Alpha == 255 &&
                          layer.Opacity >= 1;
      if (!covers) PaintLayerBackground(dest);
    }

    TResampleFilter filter = layer.UseOwnFilter ? layer.ResampleFilter : zoomFilter_;
    if (delayedFilterCount_ > 0 || (layer.Width == 0 && layer.Height == 0 && map.ZoomX == 1 && map.ZoomY == 1))
      filter = rfNone;

    if (i > 0 && layer.Magnifier.Enabled && layer.Magnifier.Rate >= 1) FillMagnifier(layer, dest, map, filter);

    const bool ownGeometry = !map.ViewGeometry || (!LayersSameSize && (count > 1 || layer.Width != 0 ||
                                                                       layer.Height != 0 || layer.PosX != 0 ||
                                                                       layer.PosY != 0 || layer.Angle() != 0));
    if (!ownGeometry) {
      TIELayerPlacement p{offsetX_,        offsetY_,        visibleClientWidth_, visibleClientHeight_,
                          visibleBitmapX_, visibleBitmapY_, visibleBitmapWidth_, visibleBitmapHeight_};
      RenderLayer(layer, dest, rowCache, p, filter);
      layer.ScreenBox = RECT{offsetX_, offsetY_, offsetX_ + extentWidth_, offsetY_ + extentHeight_};
    } else if (layer.Angle() != 0) {
      DrawRotatedLayer(layer, dest, rowCache, map, filter);
    } else {
      RenderLayer(layer, dest, rowCache, PlaceLayer(layer, map), filter);
    }

    DrawLayerOverlay(i, dest, updateRect);
    if (drawOverlays && i == currentLayerIndex_ && layer.DimOutside) DimOutsideBox(dest, layer.ScreenBox);
    if (OnDrawLayer) OnDrawLayer(this, &dest, i);
  }
  if (OutsideBackgroundStyle == 2 || OutsideBackgroundStyle == 3) ShadeOutsideBackground(dest);
  if (drawBackground && !drawnAny) PaintLayerBackground(dest);
  if (drawOverlays) DrawLayerFrames(dest);
}

void TImageryView::DimOutsideBox(TIEBitmap& dest, const RECT& box) {
  for (int32_t y = 0; y < dest.GetHeight(); ++y)
    for (int32_t x = 0; x < dest.GetWidth(); ++x) {
      const bool inside = x >= box.left && x <= box.right && y >= box.top && y <= box.bottom;
      if (!inside && (x + y) % 2 == 0) dest.SetPixel24(x, y, TRGB{97, 97, 97});
    }
}

void TImageryView::ShadeOutsideBackground(TIEBitmap& dest) {
  const std::array<int32_t, 8>& r = layers_.front()->DrawnRects;
  // Style 2 counts the right and bottom edges as inside, style 3 does not.
  const int32_t inner = OutsideBackgroundStyle == 2 ? 0 : 1;
  const int32_t right = r[0] + r[2] - inner, bottom = r[1] + r[3] - inner;
  for (int32_t y = 0; y < dest.GetHeight(); ++y)
    for (int32_t x = 0; x < dest.GetWidth(); ++x) {
      if (x >= r[0] && x <= right && y >= r[1] && y <= bottom) continue;
      if (OutsideBackgroundStyle == 2) {
        if ((x + y) % 2 == 0) dest.SetPixel24(x, y, TRGB{128, 128, 128});
        continue;
      }
      TRGB p = dest.GetPixel24(x, y);
      p.r = IEClampByte(p.r + OutsideBackgroundAmount);
      p.g = IEClampByte(p.g + OutsideBackgroundAmount);
      p.b = IEClampByte(p.b + OutsideBackgroundAmount);
      dest.SetPixel24(x, y, p);
    }
}

void TImageryView::DrawLayerOverlay(int32_t, TIEBitmap&, const RECT*) {}

// ---- overlays and grips -------------------------------------------------------------------------------

std::array<RECT, IELayerGripCount> TImageryView::GetLayerGrips(int32_t index) {
  TIELayer& layer = *GetLayer(index);
  const int32_t g = LayerGripSize;
  std::array<POINT, IELayerGripCount> centres;
  if (layer.Angle() == 0) {
    const RECT& b = layer.ScreenBox;
    const LONG mx = (b.left + b.right) / 2, my = (b.top + b.bottom) / 2;
    centres = {POINT{b.left, b.top},  POINT{b.right, b.top}, POINT{b.right, b.bottom}, POINT{b.left, b.bottom},
               POINT{b.left, my},     POINT{b.right, my},    POINT{mx, b.top},         POINT{mx, b.bottom},
               POINT{}};
  } else {
    const auto& c = layer.Corners;
    auto mid = [](POINT a, POINT b) { return POINT{(a.x + b.x) / 2, (a.y + b.y) / 2}; };
    centres = {c[0], c[1], c[2], c[3], mid(c[0], c[3]), mid(c[1], c[2]), mid(c[0], c[1]), mid(c[2], c[3]), POINT{}};
  }
  centres[8] = POINT{layer.LayerToClientX(static_cast<int32_t>(std::round(layer.Bitmap->GetWidth() * layer.RotateCenterX))),
                     layer.LayerToClientY(static_cast<int32_t>(std::round(layer.Bitmap->GetHeight() * layer.RotateCenterY)))};
  std::array<RECT, IELayerGripCount> grips;
  for (size_t k = 0; k < grips.size(); ++k)
    grips[k] = RECT{centres[k].x - g, centres[k].y - g, centres[k].x + g, centres[k].y + g};
  return grips;
}

TIEGrip TImageryView::HitTestLayerGrip(int32_t x, int32_t y) {
  if (currentLayerIndex_ < 0) return ieNone;
  const auto grips = GetLayerGrips(currentLayerIndex_);
  for (size_t k = 0; k < grips.size(); ++k) {
    const RECT& r = grips[k];
    if (x < r.left || x > r.right || y < r.top || y > r.bottom) continue;
    if (k == 8 && !mouseInteract_.Contains(miRotateLayers)) return ieNone;
    return static_cast<TIEGrip>(k + 1);
  }
  return ieNone;
}

void TImageryView::DrawLayerFrames(TIEBitmap& dest) {
  TCanvas* canvas = dest.GetTBitmapCanvas();
  const bool interacting = mouseInteract_.Contains(miMoveLayers) || mouseInteract_.Contains(miResizeLayers) ||
                           mouseInteract_.Contains(miRotateLayers);
  for (int32_t i = 0; i < GetLayerCount(); ++i) {
    TIELayer& layer = *layers_[static_cast<size_t>(i)];
    if (!layer.ShowBox) continue;
    const bool current = i == currentLayerIndex_;
    if (current ? interacting : ShowAllLayerBoxes) DrawLayerFrame(dest, canvas, layer, i);
    if (!current) continue;
    const bool resize = mouseInteract_.Contains(miResizeLayers) && !layer.Locked;
    const bool rotate = mouseInteract_.Contains(miRotateLayers);
    if (!resize && !rotate) continue;
    const auto grips = GetLayerGrips(i);
    if (OnDrawLayerGrip) {
      for (int32_t k = 0; k < IELayerGripCount; ++k) OnDrawLayerGrip(this, &dest, i, k, grips[static_cast<size_t>(k)]);
      continue;
    }
    TIECanvas smooth(canvas, true, true);
    smooth.Pen()->SetStyle(psSolid);
    smooth.Pen()->SetMode(pmCopy);
    smooth.Pen()->SetWidth(1);
    smooth.Pen()->SetColor(LayerGripPenColor);
    smooth.Brush()->SetStyle(LayerGripBrushStyle);
    smooth.Brush()->SetColor(LayerGripBrushColor);
    if (resize)
      for (int32_t k = 0; k < 8; ++k) {
        if (LayerGripShape == 0) {
          smooth.RectangleRect(grips[static_cast<size_t>(k)]);
        } else {
          smooth.EllipseRect(grips[static_cast<size_t>(k)]);
        }
      }
    if (rotate) smooth.EllipseRect(grips[8]);
  }
  DrawSelectionOverlay(dest);
  DrawPixelGrid(canvas);
}

void TImageryView::DrawSelectionOverlay(TIEBitmap& dest) {
  if (!sel_.Exists || polygons_.empty() || !polygons_.front()->Visible || currentLayerIndex_ < 0) return;
  const std::array<int32_t, 8>& r = layers_[static_cast<size_t>(currentLayerIndex_)]->DrawnRects;
  if (sel_.Options.Contains(iesoFilled))
    mask_->DrawFilled(dest.GetTBitmapCanvas(), r[0], r[1], r[2], r[3], r[4], r[5], r[6], r[7]);
  if (sel_.Options.Contains(iesoMarkOuter) && dest.Location() == ieTBitmap)
    mask_->DrawMarkOuter(dest.GetTBitmap(), r[0], r[1], r[2], r[3], r[4], r[5], r[6], r[7],
                         static_cast<TIEColor>(sel_.MarkOuterColor), sel_.MarkOuterAlpha);
}

void TImageryView::DrawPixelGrid(TCanvas* canvas) {
  if (!ShowPixelGrid || GetLayerCount() == 0) return;
  const int32_t index = PixelGridLayer == -1 ? currentLayerIndex_ : std::min(PixelGridLayer, GetLayerCount() - 1);
  if (index < 0) return;
  TIELayer& layer = *layers_[static_cast<size_t>(index)];
  const TIEImageryGlobalSettings& settings = *IEGetGlobalSettings();
  if (!layer.Visible || (zoomX_ < settings.PixelGridZoom && zoomY_ < settings.PixelGridZoom)) return;
  if (imageWidth_ <= 1 && imageHeight_ <= 1) return;
  const std::array<int32_t, 8>& r = layer.DrawnRects;
  if (settings.PixelGridPen) canvas->Pen()->Assign(settings.PixelGridPen.get());
  if (r[6] > 0)
    for (int32_t i = 0; i <= r[6]; ++i) {
      const auto x = static_cast<int32_t>(std::round(double(i) * r[2] / r[6] + r[0]));
      canvas->MoveTo(x, r[1]);
      canvas->LineTo(x, r[1] + r[3]);
    }
  if (r[7] > 0)
    for (int32_t j = 0; j <= r[7]; ++j) {
      const auto y = static_cast<int32_t>(std::round(double(j) * r[3] / r[7] + r[1]));
      canvas->MoveTo(r[0], y);
      canvas->LineTo(r[0] + r[2], y);
    }
  if (HighlightedPixel.x < 0 || HighlightedPixel.y < 0) return;
  TIECanvas smooth(canvas, true, true);
  smooth.Pen()->SetStyle(psSolid);
  smooth.Pen()->SetMode(pmCopy);
  smooth.Pen()->SetWidth(2);
  smooth.Pen()->SetColor(PixelHighlightColor);
  smooth.Brush()->SetStyle(bsClear);
  smooth.RoundRect(layer.LayerToClientX(HighlightedPixel.x), layer.LayerToClientY(HighlightedPixel.y),
                   layer.LayerToClientX(HighlightedPixel.x + 1), layer.LayerToClientY(HighlightedPixel.y + 1), 5, 5);
}

void TImageryView::DrawLayerFrame(TIEBitmap& dest, TCanvas* canvas, TIELayer& layer, int32_t index) {
  if (OnDrawLayerBox) {
    OnDrawLayerBox(this, &dest, index);
    return;
  }
  if (LayerBoxPen) canvas->Pen()->Assign(LayerBoxPen.get());
  canvas->Brush()->SetStyle(bsClear);
  if (layer.Angle() != 0) {
    canvas->Polygon(std::vector<POINT>(layer.Corners.begin(), layer.Corners.end()));
  } else {
    canvas->Rectangle(layer.ScreenBox);
  }
}

// ---- merging ------------------------------------------------------------------------------------------

void TImageryView::DrawLayersToBitmap(TIEBitmap& dest) {
  SyncLayers();
  TIELayer& background = *layers_.front();
  int64_t right = background.Right(), bottom = background.Bottom();
  int64_t ex = 0, ey = 0;
  for (TIELayer* layer : layers_) {
    if (layer->ClipToBackground) continue;
    right = std::max(right, layer->Right());
    bottom = std::max(bottom, layer->Bottom());
    ex = std::max(ex, -int64_t{layer->PosX});
    ey = std::max(ey, -int64_t{layer->PosY});
  }
  // Layers set by a program may lie anywhere: a union beyond 32 bits is not drawn.
  if (right + ex > INT32_MAX || bottom + ey > INT32_MAX || ex > INT32_MAX || ey > INT32_MAX) return;
  dest.ResizeKeepingContent(static_cast<int32_t>(right + ex), static_cast<int32_t>(bottom + ey), Background(), 255,
                            0, 0);
  TIELayerMapping map;
  map.ViewGeometry = false;
  const auto ox = static_cast<int32_t>(ex), oy = static_cast<int32_t>(ey);
  map.OriginX = ox;
  map.OriginY = oy;
  map.ToDestX = [ox](int32_t x) { return SaturatedInt32(int64_t{x} + ox); };
  map.ToDestY = [oy](int32_t y) { return SaturatedInt32(int64_t{y} + oy); };
  map.ToBitmapX = [ox](int32_t x) { return SaturatedInt32(int64_t{x} - ox); };
  map.ToBitmapY = [oy](int32_t y) { return SaturatedInt32(int64_t{y} - oy); };
  // Where the layers lie on screen belongs to the view's paint (hit tests,
  // grips): kept as it was.
  struct TOnScreen {
    RECT box;
    std::array<POINT, 4> corners;
    std::array<int32_t, 8> drawn;
  };
  std::vector<TOnScreen> onScreen;
  for (TIELayer* layer : layers_) onScreen.push_back({layer->ScreenBox, layer->Corners, layer->DrawnRects});
  ComposeLayers(dest, nullptr, map, false, false, nullptr);
  for (size_t i = 0; i < layers_.size(); ++i) {
    layers_[i]->ScreenBox = onScreen[i].box;
    layers_[i]->Corners = onScreen[i].corners;
    layers_[i]->DrawnRects = onScreen[i].drawn;
  }
}
