// Geometry of the image view: zoom, fit, placement, the view origin and the
// scroll bars, the drawn extent, the visible bitmap rectangle, and the
// coordinate tables behind the client <-> bitmap mapping.
//
// Rounding: zoomed sizes and bitmap-to-client conversions take the nearest
// integer (halves to even, std::lrint); client-to-bitmap conversions and
// scroll positions truncate.
#include <algorithm>
#include <cmath>

#include "imaging/core/ruduvazez.h"
#include "imaging/view/imageryview.h"
#include "platform/win/user_scroll.h"

namespace {

// No zoomed side grows beyond this many pixels: the coordinate tables hold
// one entry per zoomed pixel, so this bounds their memory as well as every
// zoomed size kept in 32 bits.
constexpr double kMaxZoomedSide = 1 << 22;

int32_t Trunc(double value) {
  if (!(value > INT32_MIN)) return INT32_MIN;  // NaN too
  if (value >= INT32_MAX) return INT32_MAX;
  return static_cast<int32_t>(value);
}

int32_t Round(double value) {
  if (!(value > INT32_MIN)) return INT32_MIN;
  if (value >= INT32_MAX) return INT32_MAX;
  return static_cast<int32_t>(std::lrint(value));
}

}  // namespace

// ---- zoom -----------------------------------------------------------------------------------------

double TImageryView::CapZoom(double zoom) const {
  const int32_t side = std::max({imageWidth_, imageHeight_, 1});
  return std::min(zoom, kMaxZoomedSide * 100.0 / side);
}

void TImageryView::HoldZoomCap() {
  const double capX = CapZoom(zoomX_), capY = CapZoom(zoomY_);
  if (capX == zoomX_ && capY == zoomY_) return;
  if (capX != zoomX_) ApplyZoomAxis(capX, true);
  if (capY != zoomY_) ApplyZoomAxis(capY, false);
  ClampOrigins();
}

double TImageryView::GetAutoFitZoom(int32_t w, int32_t h, int32_t aw, int32_t ah, bool shrink, bool stretch) {
  if (w == 0 || h == 0 || aw == 0 || ah == 0) return 100;
  const bool widthDecides = static_cast<double>(w) / aw > static_cast<double>(h) / ah;
  const int32_t size = widthDecides ? w : h, available = widthDecides ? aw : ah;
  const double fit = static_cast<double>(available) * 100.0 / size;
  if (!std::isfinite(fit)) return 100;
  if (available < size) return shrink ? fit : 100;
  return stretch ? fit : 100;
}

void TImageryView::GetFrameMargins(int32_t& fx, int32_t& fy, bool useBorderX, bool useBorderY) {
  const TIEImageryGlobalSettings& settings = *IEGetGlobalSettings();
  switch (backgroundStyle_) {
    case iebsCropped:
      fx = settings.EdgeWidth;
      fy = settings.EdgeHeight;
      return;
    case iebsCropShadow:
      fx = fy = 5;
      return;
    case iebsSoftShadow:
      fx = fy = 9;
      return;
    default: break;
  }
  auto margin = [&](bool useBorder, int32_t edge, int32_t border, int32_t outer, int32_t view) {
    if (!useBorder) return (outer - view) / 2;
    if (BorderStyle() == bsNone) return 0;
    return Ctl3D() ? edge : border;
  };
  fx = margin(useBorderX, settings.EdgeWidth, settings.BorderWidth, Width(), GetViewWidth());
  fy = margin(useBorderY, settings.EdgeHeight, settings.BorderHeight, Height(), GetViewHeight());
}

double TImageryView::GetFitZoom() {
  if (imageWidth_ == 0 || imageHeight_ == 0) return 100;
  int32_t fx = 0, fy = 0;
  GetFrameMargins(fx, fy, true, true);
  const double zx = (Width() - 2 * fx) / (imageWidth_ / 100.0);
  const double zy = (Height() - 2 * fy) / (imageHeight_ / 100.0);
  return std::min(zx, zy);
}

void TImageryView::Fit() {
  if (imageWidth_ == 0 || imageHeight_ == 0) return;
  HideHorzScrollBar();
  HideVertScrollBar();
  SetZoom(GetFitZoom());
}

void TImageryView::ArmZoomCountdowns(bool horizontal, bool vertical) {
  const bool zoomed = (horizontal && zoomX_ != 100) || (vertical && zoomY_ != 100);
  if (delayZoomFilter_ && zoomFilter_ != rfNone && zoomed) delayedFilterCount_ = kDelayedFilterTicks;
  outlinePauseCount_ = kOutlinePauseTicks;
}

void TImageryView::SetZoomAxes(double zoom, bool horizontal, bool vertical) {
  StopSmoothScroll();
  DoViewChanging(2, zoom);
  if (!(zoom > 0)) return;
  zoom = CapZoom(zoom);
  if ((!horizontal || zoom == zoomX_) && (!vertical || zoom == zoomY_)) return;
  ArmZoomCountdowns(horizontal, vertical);
  const bool both = horizontal && vertical;
  TImageryView* navigator = both ? navigator_ : nullptr;
  BeginPaintLock();
  if (navigator) navigator->BeginPaintLock();
  if (both)
    ApplyZoom(zoom);
  else if (horizontal)
    ApplyZoomX(zoom);
  else
    ApplyZoomY(zoom);
  UpdateWithReason(ieurZoom);
  UpdateWithReason(ieurZoom);
  UpdateVisibleBitmapRect();
  UpdateCoordinateTables();
  EndPaintLockNoRefresh();
  if (navigator) navigator->EndPaintLockNoRefresh();
  PaintNow();
  DoViewChange(1);
}

void TImageryView::SetZoom(double zoom) { SetZoomAxes(zoom, true, true); }
void TImageryView::SetZoomX(double zoom) { SetZoomAxes(zoom, true, false); }
void TImageryView::SetZoomY(double zoom) { SetZoomAxes(zoom, false, true); }

void TImageryView::ApplyZoomAxis(double zoom, bool horizontal) {
  const int32_t view = horizontal ? GetViewWidth() : GetViewHeight();
  const int32_t centre = static_cast<int32_t>(static_cast<uint32_t>(view) >> 1);
  int32_t& origin = horizontal ? viewX_ : viewY_;
  const int32_t offset = horizontal ? offsetX_ : offsetY_;
  double& current = horizontal ? zoomX_ : zoomY_;
  const int32_t bitmapPoint = Round((origin + centre - offset) * 100.0 / current);
  origin = Trunc(bitmapPoint * zoom / 100.0 - centre);
  current = zoom;
  (horizontal ? zoomFactorX_ : zoomFactorY_) = zoom / 100.0;
  (horizontal ? zoomInverseX_ : zoomInverseY_) = 100.0 / zoom;
}

void TImageryView::ClampOrigins() {
  int32_t maxX = 0, maxY = 0;
  GetMaxViewXY(maxX, maxY);
  viewX_ = std::clamp(viewX_, 0, std::max(maxX, 0));
  viewY_ = std::clamp(viewY_, 0, std::max(maxY, 0));
}

void TImageryView::ApplyZoom(double zoom) {
  StopSmoothScroll();
  zoom = CapZoom(zoom);
  ApplyZoomAxis(zoom, true);
  ApplyZoomAxis(zoom, false);
  ClampOrigins();
}

void TImageryView::ApplyZoomX(double zoom) {
  StopSmoothScroll();
  ApplyZoomAxis(CapZoom(zoom), true);
  ClampOrigins();
}

void TImageryView::ApplyZoomY(double zoom) {
  StopSmoothScroll();
  ApplyZoomAxis(CapZoom(zoom), false);
  ClampOrigins();
}

void TImageryView::ZoomAt(int32_t x, int32_t y, bool centre, double zoom) {
  BeginPaintLock();
  if (navigator_) navigator_->BeginPaintLock();
  const int32_t bx = ClientToBitmapX(x), by = ClientToBitmapY(y);
  SetZoom(zoom);
  const double f = zoomX_ / 100.0;
  if (centre)
    SetViewXY(Trunc(bx * f - GetViewWidth() / 2), Trunc(by * f - GetViewHeight() / 2));
  else
    SetViewXY(Trunc(bx * f - x + f), Trunc(by * f - y + f));
  EndPaintLock();
  UpdateVisibleBitmapRect();
  UpdateCoordinateTables();
  if (navigator_) {
    navigator_->EndPaintLockNoRefresh();
    UpdateNavigator();
  }
}

// ---- view origin and scroll bars ----------------------------------------------------------------

void TImageryView::GetMaxViewXY(int32_t& x, int32_t& y) {
  const int32_t viewWidth = GetViewWidth(), viewHeight = GetViewHeight();
  int32_t zw = Trunc(imageWidth_ * zoomX_ / 100.0), zh = Trunc(imageHeight_ * zoomY_ / 100.0);
  const bool equal = zoomX_ == zoomY_;
  const bool wideX = zw > viewWidth + 10, wideY = zh > viewHeight + 10;
  if (equal) {
    if ((wideX || wideY) && scrollBars_ != ssNone) {
      zw = Trunc((imageWidth_ + 1) * zoomX_ / 100.0);
      zh = Trunc((imageHeight_ + 1) * zoomY_ / 100.0);
    }
  } else {
    if (wideX) zw = Trunc((imageWidth_ + 1) * zoomX_ / 100.0);
    if (wideY) zh = Trunc((imageHeight_ + 1) * zoomY_ / 100.0);
  }
  x = y = 0;
  if (zw < 1 || zh < 1) return;
  x = zw - viewWidth;
  y = zh - viewHeight;
  if (x < 0 || ClientToBitmapX(x) == 0) x = 0;
  if (y < 0 || ClientToBitmapY(y) == 0) y = 0;
  if (equal) {
    if (zw <= Width() && zh <= Height()) x = y = 0;
  } else {
    if (zw <= Width()) x = 0;
    if (zh <= Height()) y = 0;
  }
}

bool TImageryView::CanScroll() {
  int32_t x = 0, y = 0;
  GetMaxViewXY(x, y);
  return x > 0 || y > 0;
}

void TImageryView::SetViewAxes(int32_t x, int32_t y, bool horizontal, bool vertical) {
  if (horizontal) DoViewChanging(0, x);
  if (vertical) DoViewChanging(1, y);
  if (!horizontal) x = viewX_;
  if (!vertical) y = viewY_;
  if (x == viewX_ && y == viewY_) return;
  int32_t maxX = 0, maxY = 0;
  GetMaxViewXY(maxX, maxY);
  x = std::clamp(x, 0, std::max(maxX, 0));
  y = std::clamp(y, 0, std::max(maxY, 0));
  if (x == viewX_ && y == viewY_) return;
  viewX_ = x;
  viewY_ = y;
  ArmZoomCountdowns(true, true);
  backBufferDirty_ = true;
  fullRepaint_ = true;
  UpdateVisibleBitmapRect();
  UpdateCoordinateTables();
  PaintNow();
  DoViewChange(0);
  if (sel_.Exists) DrawSelectionOutlines(this, false);
  if (!HandleAllocated()) return;
  if (scrollBars_ == ssHorizontal || scrollBars_ == ssBoth)
    IESetScrollPos(Handle(), SB_HORZ, Trunc(viewX_ / hScrollRatio_), flatScrollBars_, true);
  if (scrollBars_ == ssVertical || scrollBars_ == ssBoth)
    IESetScrollPos(Handle(), SB_VERT, Trunc(viewY_ / vScrollRatio_), flatScrollBars_, true);
}

void TImageryView::SetViewXY(int32_t x, int32_t y) { SetViewAxes(x, y, true, true); }
void TImageryView::SetViewX(int32_t x) { SetViewAxes(x, 0, true, false); }
void TImageryView::SetViewY(int32_t y) { SetViewAxes(0, y, false, true); }

void TImageryView::UpdateScrollBars(int32_t maxX, int32_t maxY) {
  if (!HandleAllocated()) return;
  HWND window = Handle();
  auto setBar = [&](int bar, int32_t maximum, int32_t view, int32_t origin, bool& shown, double& ratio) {
    if (maximum < 1) {
      if (ShowDisabledBars) {
        SCROLLINFO info;
        info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
        info.nMax = 0;
        IESetScrollInfo(window, bar, info, flatScrollBars_, true);
        IEEnableScrollBar(window, bar, ESB_DISABLE_BOTH, flatScrollBars_);
      } else if (shown) {
        shown = false;
        IEShowScrollBar(window, bar, false, flatScrollBars_);
      }
      return;
    }
    shown = true;
    ratio = (view + maximum) / 65536.0;
    SCROLLINFO info;
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    info.nMin = 0;
    info.nMax = 65535;
    info.nPage = static_cast<UINT>(Trunc(view / ratio));
    info.nPos = Trunc(origin / ratio);
    IESetScrollInfo(window, bar, info, flatScrollBars_, true);
    IEEnableScrollBar(window, bar, ESB_ENABLE_BOTH, flatScrollBars_);
    IEShowScrollBar(window, bar, true, flatScrollBars_);
  };
  try {
    if (scrollBars_ == ssHorizontal || scrollBars_ == ssBoth)
      setBar(SB_HORZ, maxX, GetViewWidth(), viewX_, hScrollShown_, hScrollRatio_);
    if (scrollBars_ == ssVertical || scrollBars_ == ssBoth)
      setBar(SB_VERT, maxY, GetViewHeight(), viewY_, vScrollShown_, vScrollRatio_);
  } catch (...) {
    // A failing scroll bar leaves the view as it is.
  }
}

void TImageryView::SetScrollBars(TScrollStyle value) {
  scrollBars_ = value;
  if (value != ssVertical && value != ssBoth) HideVertScrollBar();
  if (value != ssHorizontal && value != ssBoth) HideHorzScrollBar();
  UpdateWithReason(ieurBackground);
}

void TImageryView::HideHorzScrollBar() {
  if (!hScrollShown_) return;
  hScrollShown_ = false;
  if (HandleAllocated()) IEShowScrollBar(Handle(), SB_HORZ, false, flatScrollBars_);
}

void TImageryView::HideVertScrollBar() {
  if (!vScrollShown_) return;
  vScrollShown_ = false;
  if (HandleAllocated()) IEShowScrollBar(Handle(), SB_VERT, false, flatScrollBars_);
}

void TImageryView::SetCenter(bool value) {
  SetHAlign(value ? 1 : 0);
  SetVAlign(value ? 1 : 0);
}

int32_t TImageryView::ScrollTarget(int32_t command, int32_t position, bool horizontal) {
  const TIEScrollBarParams& params = horizontal ? *hScrollParams_ : *vScrollParams_;
  const int32_t origin = horizontal ? viewX_ : viewY_;
  const int32_t factor = std::max(1, Trunc(horizontal ? zoomFactorX_ : zoomFactorY_));
  switch (command) {
    case 0: return position;
    case 1: {
      int32_t maxX = 0, maxY = 0;
      GetMaxViewXY(maxX, maxY);
      return horizontal ? maxX : maxY;
    }
    case 3:
    case 4: {
      const int32_t step = params.LineStep == -1 ? factor : factor * params.LineStep;
      return command == 3 ? origin + step : origin - step;
    }
    case 5:
    case 6: {
      const int32_t step =
          params.PageStep == -1 ? (horizontal ? GetViewWidth() : GetViewHeight()) : factor * params.PageStep;
      return command == 5 ? origin + step : origin - step;
    }
    default: return 0;
  }
}

void TImageryView::ScrollHorizontal(int32_t command, int32_t position) {
  SetViewX(ScrollTarget(command, position, true));
}

void TImageryView::ScrollVertical(int32_t command, int32_t position) {
  SetViewY(ScrollTarget(command, position, false));
}

void TImageryView::WMScroll(TMessage& message, bool horizontal) {
  TIEView::WndProc(message);
  const int32_t code = LOWORD(message.WParam);
  const int32_t thumb = HIWORD(message.WParam);
  const TIEScrollBarParams& params = horizontal ? *hScrollParams_ : *vScrollParams_;
  const double ratio = horizontal ? hScrollRatio_ : vScrollRatio_;
  int32_t command = 0, position = horizontal ? viewX_ : viewY_;
  switch (code) {
    case SB_LINEUP: command = 4; break;
    case SB_LINEDOWN: command = 3; break;
    case SB_PAGEUP: command = 6; break;
    case SB_PAGEDOWN: command = 5; break;
    case SB_TOP: command = 2; break;
    case SB_BOTTOM: command = 1; break;
    case SB_THUMBTRACK:
      if (!params.Tracking) return;
      [[fallthrough]];
    case SB_THUMBPOSITION: position = Round(thumb * ratio); break;
    default: break;  // SB_ENDSCROLL and above: to the current origin
  }
  if (horizontal)
    ScrollHorizontal(command, position);
  else
    ScrollVertical(command, position);
}

// ---- extent, visible rectangle, coordinate tables -------------------------------------------------

void TImageryView::UpdateImageExtent() {
  zoomedWidth_ = Round(imageWidth_ * zoomX_ / 100.0);
  zoomedHeight_ = Round(imageHeight_ * zoomY_ / 100.0);
  offsetX_ = offsetY_ = 0;
  if (ComponentState().Contains(csDesigning)) {
    extentWidth_ = std::min(zoomedWidth_, Width());
    extentHeight_ = std::min(zoomedHeight_, Height());
    return;
  }
  const int32_t viewWidth = GetViewWidth(), viewHeight = GetViewHeight();
  extentWidth_ = std::min(zoomedWidth_, viewWidth);
  extentHeight_ = std::min(zoomedHeight_, viewHeight);
  auto place = [](int32_t view, int32_t extent, uint8_t align) {
    if (extent >= view) return 0;
    if (align == 1) return (view - extent) / 2;
    if (align == 2) return view - extent;
    return 0;
  };
  offsetX_ = place(viewWidth, extentWidth_, hAlign_);
  offsetY_ = place(viewHeight, extentHeight_, vAlign_);
}

bool TImageryView::TablesCurrent() const {
  return tablesZoomX_ == zoomX_ && tablesZoomY_ == zoomY_ && tablesImageWidth_ == imageWidth_ &&
         tablesImageHeight_ == imageHeight_ && !tablesX_.ClientToBitmap.empty() && !tablesY_.ClientToBitmap.empty();
}

int32_t TImageryView::SnappedOrigin(bool horizontal) const {
  const TIEAxisTables& tables = horizontal ? tablesX_ : tablesY_;
  const int32_t origin = std::max(horizontal ? viewX_ : viewY_, 0);
  const int32_t zoomed = horizontal ? zoomedWidth_ : zoomedHeight_;
  if (!TablesCurrent() || origin >= zoomed || origin >= static_cast<int32_t>(tables.ClientToBitmap.size()))
    return origin;
  const int32_t column = tables.ClientToBitmap[origin];
  if (column < 0 || column >= static_cast<int32_t>(tables.BitmapToClient.size())) return origin;
  return tables.BitmapToClient[column];
}

void TImageryView::UpdateVisibleAxis(bool horizontal) {
  const int32_t zoomed = horizontal ? zoomedWidth_ : zoomedHeight_;
  const int32_t image = horizontal ? imageWidth_ : imageHeight_;
  const int32_t extent = horizontal ? extentWidth_ : extentHeight_;
  const double zoom = horizontal ? zoomX_ : zoomY_;
  int32_t& first = horizontal ? visibleBitmapX_ : visibleBitmapY_;
  int32_t& size = horizontal ? visibleBitmapWidth_ : visibleBitmapHeight_;
  int32_t& client = horizontal ? visibleClientWidth_ : visibleClientHeight_;
  if (zoomed == 0) {
    first = size = client = 0;
    return;
  }
  const double d = static_cast<double>(image) / zoomed;
  first = Round(SnappedOrigin(horizontal) * d);
  size = Round(d * extent);
  if (first + size > image) --size;
  if (zoom <= 100) {
    client = extent;
    return;
  }
  client = Trunc(size * zoom / 100.0);
  if (client < extent && first + size + 1 <= image) {
    ++size;
    client = Trunc(size * zoom / 100.0);
  }
}

void TImageryView::UpdateVisibleBitmapRect() {
  UpdateVisibleAxis(true);
  UpdateVisibleAxis(false);
}

RECT TImageryView::VisibleBitmapRect() const {
  return RECT{visibleBitmapX_, visibleBitmapY_, visibleBitmapX_ + visibleBitmapWidth_,
              visibleBitmapY_ + visibleBitmapHeight_};
}

void TImageryView::BuildAxisTables(TIEAxisTables& tables, double zoom, int32_t zoomed, int32_t visibleClient,
                                   int32_t image) {
  tables.ClientToBitmapLength = visibleClient;
  tables.BitmapToClientLength = Trunc(visibleClient * 100.0 / zoom);
  const int32_t n = zoomed + visibleClient;
  const int32_t m = Trunc((n + 1) * 100.0 / zoom);
  tables.ClientToBitmap.assign(static_cast<size_t>(n) + 2, 0);
  tables.BitmapToClient.assign(static_cast<size_t>(m) + 2, 0);
  const int32_t last = std::max(image - 1, 0);
  if (zoom > 100) {
    for (int32_t j = n; j >= 0; --j) {
      const int32_t c = Trunc(j * 100.0 / zoom);
      tables.BitmapToClient[c] = j;
      tables.ClientToBitmap[j] = std::min(c, last);
    }
  } else {
    for (int32_t k = m; k >= 0; --k) {
      const int32_t z = Trunc(k * zoom / 100.0);
      tables.BitmapToClient[k] = z;
      if (z <= n + 1) tables.ClientToBitmap[z] = std::min(k, last);
    }
  }
}

void TImageryView::MoveAxisWindows(TIEAxisTables& tables, int32_t snapped, int32_t firstVisible) {
  if (tables.ClientToBitmap.empty()) return;
  const int32_t size = static_cast<int32_t>(tables.ClientToBitmap.size());
  tables.ClientToBitmapStart = std::clamp(snapped, 0, size - 1);
  tables.BitmapToClientStart = std::max(0, tables.ClientToBitmap[tables.ClientToBitmapStart] - firstVisible);
}

void TImageryView::UpdateCoordinateTables() {
  const bool changed = tablesZoomX_ != zoomX_ || tablesZoomY_ != zoomY_ ||
                       tablesClientWidth_ != visibleClientWidth_ || tablesClientHeight_ != visibleClientHeight_ ||
                       tablesImageWidth_ != imageWidth_ || tablesImageHeight_ != imageHeight_;
  if (changed) {
    tablesX_ = TIEAxisTables{};
    tablesY_ = TIEAxisTables{};
    tablesZoomX_ = tablesZoomY_ = -1;
    if (visibleClientWidth_ == 0 || visibleClientHeight_ == 0 || ieBitmap_->IsEmpty()) return;
    BuildAxisTables(tablesX_, zoomX_, zoomedWidth_, visibleClientWidth_, imageWidth_);
    BuildAxisTables(tablesY_, zoomY_, zoomedHeight_, visibleClientHeight_, imageHeight_);
    tablesZoomX_ = zoomX_;
    tablesZoomY_ = zoomY_;
    tablesClientWidth_ = visibleClientWidth_;
    tablesClientHeight_ = visibleClientHeight_;
    tablesImageWidth_ = imageWidth_;
    tablesImageHeight_ = imageHeight_;
  }
  MoveAxisWindows(tablesX_, SnappedOrigin(true), visibleBitmapX_);
  MoveAxisWindows(tablesY_, SnappedOrigin(false), visibleBitmapY_);
}

// ---- client <-> bitmap ----------------------------------------------------------------------------

int32_t TImageryView::AxisClientToBitmap(const TIEAxisTables& tables, int32_t u, double zoom,
                                         int32_t firstVisible) const {
  const int64_t entry = int64_t{tables.ClientToBitmapStart} + u;
  if (u >= 0 && u < tables.ClientToBitmapLength && entry < static_cast<int64_t>(tables.ClientToBitmap.size()))
    return tables.ClientToBitmap[static_cast<size_t>(entry)];
  return Trunc(u * 100.0 / zoom + firstVisible);
}

int32_t TImageryView::AxisBitmapToClient(const TIEAxisTables& tables, int32_t b, double zoom, int32_t firstVisible,
                                         int32_t offset, bool horizontal) const {
  const int32_t u = b - firstVisible;
  const int64_t entry = int64_t{tables.BitmapToClientStart} + u;
  if (u >= 0 && u < tables.BitmapToClientLength && entry < static_cast<int64_t>(tables.BitmapToClient.size()))
    return tables.BitmapToClient[static_cast<size_t>(entry)] + offset;
  const int32_t snapped = SnappedOrigin(horizontal);
  return Round((b + Round(-snapped * 100.0 / zoom)) * zoom / 100.0 + offset);
}

int32_t TImageryView::ClientToBitmapX(int32_t x) {
  return AxisClientToBitmap(tablesX_, x - offsetX_, zoomX_, visibleBitmapX_);
}

int32_t TImageryView::ClientToBitmapY(int32_t y) {
  return AxisClientToBitmap(tablesY_, y - offsetY_, zoomY_, visibleBitmapY_);
}

int32_t TImageryView::BitmapToClientX(int32_t x) {
  return AxisBitmapToClient(tablesX_, x, zoomX_, visibleBitmapX_, offsetX_, true);
}

int32_t TImageryView::BitmapToClientY(int32_t y) {
  return AxisBitmapToClient(tablesY_, y, zoomY_, visibleBitmapY_, offsetY_, false);
}

// ---- view change events -----------------------------------------------------------------------------

void TImageryView::DoViewChanging(int32_t kind, double value) {
  if (OnViewChanging) OnViewChanging(this, kind, value);
}

void TImageryView::DoViewChange(int32_t change) {
  if (OnViewChange) OnViewChange(this, change);
  if (navigator_) UpdateNavigator();
}
