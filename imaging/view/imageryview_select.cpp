// Selections of the image view: the polygon routines that need no view, then
// the view's operations on its selection.
#include "imaging/view/imageryview_select.h"

#include "imaging/view/imageryview.h"

#include <algorithm>
#include <cmath>
#include <chrono>
#include <numbers>

#include "imaging/core/iegdiplus.h"
#include "imaging/core/ruduvazez.h"
#include "imaging/processing/imageryproc_wand.h"
#include "platform/forms/extctrls.h"
#include "platform/win/gdi.h"

namespace {

bool IsSeparator(const POINT& p) { return p.x == IEPolygonSeparator; }

int32_t Nearest(double v) { return static_cast<int32_t>(std::nearbyint(v)); }

}  // namespace

// ---- TIESelectionPolygon ----------------------------------------------------------------

void TIESelectionPolygon::AddPoint(int32_t x, int32_t y) {
  Points.push_back(POINT{x, y});
  if (x == IEPolygonSeparator) return;
  int32_t real = 0;
  for (const POINT& p : Points)
    if (!IsSeparator(p) && ++real > 2) break;
  if (real == 1) {
    Left = Right = x;
    Top = Bottom = y;
  } else {
    Left = std::min(Left, x);
    Right = std::max(Right, x);
    Top = std::min(Top, y);
    Bottom = std::max(Bottom, y);
  }
}

void TIESelectionPolygon::Break() {
  if (!Points.empty()) Points.push_back(POINT{IEPolygonSeparator, 0});
}

void TIESelectionPolygon::Clear() {
  Points.clear();
  Left = Top = Right = Bottom = 0;
}

void TIESelectionPolygon::DropLast() {
  if (!Points.empty()) Points.pop_back();
  while (!Points.empty() && IsSeparator(Points.back())) Points.pop_back();
  RecalcBox();
}

void TIESelectionPolygon::RemoveLastSubPolygon() {
  while (!Points.empty() && !IsSeparator(Points.back())) Points.pop_back();
  if (!Points.empty()) Points.pop_back();  // the separator
  RecalcBox();
}

void TIESelectionPolygon::RecalcBox() {
  std::vector<POINT> points;
  points.swap(Points);
  Clear();
  for (const POINT& p : points) {
    if (IsSeparator(p)) Points.push_back(p);
    else AddPoint(p.x, p.y);
  }
}

// ---- routines ---------------------------------------------------------------------------

bool IEIsRectPolygon(const POINT* points, int32_t count) {
  if (count != 4) return false;
  for (int32_t i = 0; i < 4; ++i)
    if (IsSeparator(points[i])) return false;
  const POINT &a = points[0], &b = points[1], &c = points[2], &d = points[3];
  // Edges alternate horizontal and vertical, starting either way.
  const bool horizontalFirst = a.y == b.y && b.x == c.x && c.y == d.y && d.x == a.x;
  const bool verticalFirst = a.x == b.x && b.y == c.y && c.x == d.x && d.y == a.y;
  return horizontalFirst || verticalFirst;
}

void IEMoveSelectionPolygon(TIESelectionPolygon& polygon, int32_t dx, int32_t dy, bool cut, int32_t width,
                            int32_t height) {
  auto limit = [](int32_t low, int32_t high, int32_t d, int32_t size) {
    if (low + d < 0) d = -low;
    if (high + d > size) d = size - high;
    return d;
  };
  const bool outsideAfter = polygon.Right + dx <= 0 || polygon.Left + dx >= width || polygon.Bottom + dy <= 0 ||
                            polygon.Top + dy >= height;
  if (!cut || outsideAfter) {
    dx = limit(polygon.Left, polygon.Right, dx, width);
    dy = limit(polygon.Top, polygon.Bottom, dy, height);
    if (!cut && (polygon.Left + dx < 0 || polygon.Right + dx > width || polygon.Top + dy < 0 ||
                 polygon.Bottom + dy > height))
      return;  // a box larger than the bitmap cannot be kept inside
  }
  if (dx == 0 && dy == 0) return;
  polygon.Left = std::clamp(polygon.Left + dx, 0, width);
  polygon.Right = std::clamp(polygon.Right + dx, 0, width);
  polygon.Top = std::clamp(polygon.Top + dy, 0, height);
  polygon.Bottom = std::clamp(polygon.Bottom + dy, 0, height);
  for (POINT& p : polygon.Points) {
    if (IsSeparator(p)) continue;
    p.x = std::clamp(static_cast<int32_t>(p.x) + dx, 0, width);
    p.y = std::clamp(static_cast<int32_t>(p.y) + dy, 0, height);
  }
}

TIEGrip IERectPolygonGripAt(const TIESelectionPolygon& polygon, int32_t x, int32_t y, int32_t gripSize,
                            bool sideGrips, const std::function<POINT(POINT)>& toClient) {
  if (!IEIsRectPolygon(polygon)) return ieNone;
  POINT c[4];
  for (int i = 0; i < 4; ++i) c[i] = toClient(polygon.Points[i]);
  static constexpr TIEGrip corners[4] = {ieTopLeft, ieTopRight, ieBottomRight, ieBottomLeft};
  for (int i = 0; i < 4; ++i)
    if (std::abs(x - c[i].x) <= gripSize && std::abs(y - c[i].y) <= gripSize) return corners[i];
  if (!sideGrips) return ieNone;
  struct Side {
    int a, b;
    TIEGrip grip;
  };
  static constexpr Side sides[4] = {{0, 3, ieLeftSide}, {1, 2, ieRightSide}, {0, 1, ieTopSide}, {3, 2, ieBottomSide}};
  for (const Side& s : sides)
    if (IEPointToSegmentDistance(x, y, c[s.a].x, c[s.a].y, c[s.b].x, c[s.b].y) < 3) return s.grip;
  return ieNone;
}

std::vector<POINT> IEEllipsePolygon(int32_t cx, int32_t cy, int32_t rx, int32_t ry, int32_t width, int32_t height) {
  const double twoPi = 2 * std::numbers::pi;
  const int32_t n = std::max(static_cast<int32_t>(std::min(rx, ry) * twoPi), 50);
  std::vector<POINT> points(static_cast<size_t>(n));
  for (int32_t h = 0; h < n; ++h) {
    const double angle = twoPi * h / n;
    points[h].x = std::clamp(Nearest(std::cos(angle) * rx + cx), 0, width);
    points[h].y = std::clamp(Nearest(std::sin(angle) * ry + cy), 0, height);
  }
  return points;
}

TColor IEOutlineDashColor(TIESelectionPolygon& polygon) {
  if (polygon.DashCounter > 7 || polygon.DashCounter < 0) polygon.DashCounter = 0;
  const TColor color = polygon.DashCounter <= 3 ? polygon.Color1 : polygon.Color2;
  ++polygon.DashCounter;
  return color;
}

int32_t IETunedOutlineInterval(int64_t elapsedMs, int32_t divisor) {
  const int64_t d = divisor == 0 ? 20 : std::abs(int64_t{divisor});
  return static_cast<int32_t>(std::clamp<int64_t>(elapsedMs * 100 / d, 210, INT32_MAX));
}

// ---- the view's selection ------------------------------------------------------------------

namespace {

int32_t NearestInt(double v) { return static_cast<int32_t>(std::nearbyint(v)); }

// The client points that LineDDA visits from (x1, y1) up to, not including, (x2, y2).
struct TDotTrace {
  TCanvas* canvas;
  TIESelectionPolygon* polygon;
};

void OutlineDot(int x, int y, LPARAM data) {
  auto* trace = reinterpret_cast<TDotTrace*>(data);
  trace->canvas->SetPixels(x, y, IEOutlineDashColor(*trace->polygon));
}

void DrawGripShape(TIECanvas& canvas, int32_t x, int32_t y, int32_t size, int32_t shape) {
  if (shape == 1) canvas.Ellipse(x - size, y - size, x + size, y + size);
  else canvas.Rectangle(x - size, y - size, x + size, y + size);
}

}  // namespace

TIESelectionPolygon& TImageryView::MainPolygon() { return *polygons_.front(); }

int32_t TImageryView::ClientToLayerX(int32_t x) { return GetCurrentLayer()->ClientToLayerX(x); }
int32_t TImageryView::ClientToLayerY(int32_t y) { return GetCurrentLayer()->ClientToLayerY(y); }

int32_t TImageryView::SelectionToBitmapX(int32_t x) {
  return sel_.Base == iesbClientArea ? ClientToLayerX(x) : x;
}

int32_t TImageryView::SelectionToBitmapY(int32_t y) {
  return sel_.Base == iesbClientArea ? ClientToLayerY(y) : y;
}

POINT TImageryView::BitmapToClientPoint(POINT p) {
  TIELayer* layer = GetCurrentLayer();
  return POINT{layer->LayerToClientX(p.x), layer->LayerToClientY(p.y)};
}

bool TImageryView::SelectionInProgress() const {
  return sel_.PolygonInProgress || sel_.RectInProgress || sel_.EllipseInProgress;
}

void TImageryView::RepaintSelection() {
  // Outlines and grips are drawn over the copied back buffer at every paint;
  // only a selection that the composition itself shows needs it recomposed.
  if (sel_.Options.Contains(iesoFilled) || sel_.Options.Contains(iesoMarkOuter)) InvalidateBackBuffer();
  Invalidate();
}

// -- making and removing selections

void TImageryView::Select(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t operation) {
  if (isNavigator_) BeginPaintLock();
  SelectRect(x1, y1, x2, y2, operation, false, false);
  if (operation == 0) mask_->Clear();
  UpdateSelectionMask();
  if (isNavigator_) EndPaintLockNoRefresh();
  RepaintSelection();
}

void TImageryView::SelectRect(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t operation, bool square,
                              bool shiftInside) {
  if (x1 == x2 || y1 == y2) return;
  x1 = SelectionToBitmapX(x1);
  y1 = SelectionToBitmapY(y1);
  x2 = SelectionToBitmapX(x2);
  y2 = SelectionToBitmapY(y2);
  sel_.Exists = true;
  TIESelectionPolygon& polygon = MainPolygon();
  if (operation == 1 && !polygon.Empty()) polygon.Break();
  else polygon.Clear();
  if (operation == 0) mask_->Clear();

  const int32_t width = ieBitmap_->GetWidth(), height = ieBitmap_->GetHeight();
  const double ratio = sel_.AspectRatio;
  if (square && ratio == -1) y2 = y1 + (x2 - x1);
  if (ratio > 0) {
    y2 = y1 + NearestInt(ratio * (x2 - x1));
    if (y2 >= height) x2 = NearestInt((height - y1 - 1 + x1 * ratio) / ratio);
    if (y2 < 0) x2 = NearestInt((x1 * ratio - y1) / ratio);
  }
  if (shiftInside) {
    if (x1 < 0) x2 -= x1, x1 = 0;
    if (y1 < 0) y2 -= y1, y1 = 0;
    if (x2 >= width) x1 -= x2 - (width - 1), x2 = width - 1;
    if (y2 >= height) y1 -= y2 - (height - 1), y2 = height - 1;
  }
  if (x2 < x1) std::swap(x1, x2);
  if (y2 < y1) std::swap(y1, y2);
  x1 = std::clamp(x1, 0, std::max(width - 1, 0));
  y1 = std::clamp(y1, 0, std::max(height - 1, 0));
  x2 = std::clamp(x2, 0, width);
  y2 = std::clamp(y2, 0, height);
  polygon.AddPoint(x1, y1);
  polygon.AddPoint(x2, y1);
  polygon.AddPoint(x2, y2);
  polygon.AddPoint(x1, y2);
  ShowSelectionOutline(true);
}

void TImageryView::Deselect() {
  if (sel_.Exists) {
    sel_.Exists = false;
    HideSelectionOutline(true);
  }
  MainPolygon().Clear();
  mask_->Clear();
  sel_.Exists = sel_.PolygonInProgress = sel_.Lasso = sel_.RectInProgress = sel_.EllipseInProgress = false;
  sel_.DraggedGrip = ieNone;
  sel_.MoveState = -1;
  sel_.RectMove = false;
  RestoreCursor();
  UpdateWithReason(ieurSelection);
}

void TImageryView::AddSelectionPoint(int32_t x, int32_t y) {
  AddSelectionPointNoPaint(x, y);
  RepaintSelection();
}

void TImageryView::AddSelectionPointNoPaint(int32_t x, int32_t y) {
  if (sel_.Base == iesbClientArea) {
    x = std::clamp(SelectionToBitmapX(x), 0, ieBitmap_->GetWidth());
    y = std::clamp(SelectionToBitmapY(y), 0, ieBitmap_->GetHeight());
  }
  MainPolygon().AddPoint(x, y);
  sel_.Exists = true;
  if (paintLock_ == 0) Invalidate();
  ShowSelectionOutline(true);
}

void TImageryView::BreakSelectionPolygon() { MainPolygon().Break(); }

void TImageryView::DropLastPolygonPoint() { MainPolygon().DropLast(); }

void TImageryView::EndPolygonSelection(bool shift, bool dropLast) {
  if (dropLast) DropLastPolygonPoint();
  if (!(shift && sel_.AddWithShift)) mask_->Clear();
  UpdateSelectionMask();
  UpdateWithReason(ieurSelection);
  sel_.PolygonInProgress = false;
  DoSelectionChange();
}

void TImageryView::FinishPolygonOnDoubleClick(bool shift) {
  if (sel_.PolygonInProgress && !sel_.Lasso) EndPolygonSelection(shift, true);
}

void TImageryView::SelectMagicWand(int32_t x, int32_t y, bool add) {
  x = SelectionToBitmapX(x);
  y = SelectionToBitmapY(y);
  const int32_t width = ieBitmap_->GetWidth(), height = ieBitmap_->GetHeight();
  if (x < 0 || y < 0 || x >= width || y >= height) return;
  TIESelectionPolygon& polygon = MainPolygon();
  if (sel_.MagicWandMode == iewmOutline) {
    const std::vector<POINT> outline =
        IEMagicWandToPolygon(ieBitmap_, x, y, sel_.MagicWandGrow, sel_.MagicWandTolerance);
    if (!outline.empty()) {
      sel_.Exists = true;
      if (add && !polygon.Empty()) {
        polygon.Break();
      } else {
        polygon.Clear();
        mask_->Clear();
      }
      for (const POINT& p : outline) polygon.AddPoint(std::clamp<int32_t>(p.x, 0, width), std::clamp<int32_t>(p.y, 0, height));
      if (!add) mask_->Clear();
      UpdateSelectionMask();
      ShowSelectionOutline(true);
    }
  } else {
    if (!add) {
      polygon.Clear();
      mask_->Clear();
    }
    if (sel_.MagicWandMode == iewmRegion)
      IEMagicWandToMask(ieBitmap_, x, y, sel_.MagicWandGrow, sel_.MagicWandTolerance, mask_.get(), sel_.MaskValue);
    else
      IEMagicWandGlobalToMask(ieBitmap_, x, y, sel_.MagicWandTolerance, mask_.get(), sel_.MaskValue);
    sel_.Exists = !mask_->IsEmpty();
    ShowSelectionOutline(true);
  }
  RepaintSelection();
}

void TImageryView::ZoomToSelection(bool uniform, bool ask) {
  if (!sel_.Exists) return;
  const int32_t left = GetSelectionLeft(), top = GetSelectionTop();
  const int32_t boxWidth = GetSelectionRight() - left + 1, boxHeight = GetSelectionBottom() - top + 1;
  if (boxWidth < 2 || boxHeight < 2) return;
  Deselect();
  // The control's size decides, as for the fit zoom; the centring below uses the view's.
  const double fitX = Width() / (boxWidth / 100.0), fitY = Height() / (boxHeight / 100.0);
  double zoom = std::min(fitY, fitX);
  if (ask && OnZoomIn) WithUserSelectionBase([&] { OnZoomIn(this, zoom); });
  if (uniform) {
    SetZoom(zoom);
  } else {
    SetZoomX(fitX);
    SetZoomY(fitY);
  }
  const int32_t zx = static_cast<int32_t>(boxWidth * ZoomX() / 100), zy = static_cast<int32_t>(boxHeight * ZoomY() / 100);
  SetViewXY(static_cast<int32_t>(left * ZoomX() / 100) - (GetViewWidth() - zx) / 2,
            static_cast<int32_t>(top * ZoomY() / 100) - (GetViewHeight() - zy) / 2);
}

void TImageryView::UpdateSelectionMask() {
  const int32_t width = ieBitmap_->GetWidth(), height = ieBitmap_->GetHeight();
  if (mask_->Width != width || mask_->Height != height) mask_->Allocate(width, height, sel_.MaskBitsPerPixel);
  TIESelectionPolygon& polygon = MainPolygon();
  mask_->FillPolygons(sel_.MaskValue, polygon.Points.data(), polygon.Count());
  if (mask_->IsEmpty()) {
    sel_.Exists = false;
    polygon.Clear();
  }
}

// -- moving and resizing

int32_t TImageryView::MoveSelection(int32_t state, int32_t dx, int32_t dy, bool cut) {
  TIESelectionPolygon& polygon = MainPolygon();
  sel_.RectMove = IEIsRectPolygon(polygon);
  if (sel_.RectMove) mask_->Clear();  // refilled at mouse up
  else mask_->Offset(dx, dy, cut);
  if (dx == 0 && dy == 0) return state;
  IEMoveSelectionPolygon(polygon, dx, dy, cut, ieBitmap_->GetWidth(), ieBitmap_->GetHeight());
  RepaintSelection();
  return state;
}

void TImageryView::OffsetSelection(int32_t dx, int32_t dy) {
  MoveSelection(0, dx, dy, sel_.Options.Contains(iesoCutBorders));
  UpdateSelectionMask();
}

TIEGrip TImageryView::ResizeSelectionByGrip(TIEGrip grip, int32_t x, bool keep, int32_t y) {
  TIESelectionPolygon& polygon = MainPolygon();
  if (!IEIsRectPolygon(polygon)) return grip;
  x = ClientToLayerX(x);
  y = ClientToLayerY(y);
  const int32_t width = ieBitmap_->GetWidth(), height = ieBitmap_->GetHeight();
  const RECT box0 = sel_.BoxAtMouseDown;
  double ratio = 0;
  if (keep) {
    const int32_t h0 = box0.bottom - box0.top + 1, w0 = box0.right - box0.left + 1;
    if (box0.bottom == box0.top) return grip;
    ratio = sel_.AspectRatio > 0 ? 1 / sel_.AspectRatio : static_cast<double>(w0) / h0;
    const bool xDrives = grip != ieTopSide && grip != ieBottomSide;
    // Measured from the corner opposite the grip.
    const bool fromRight = grip == ieTopLeft || grip == ieBottomLeft || grip == ieLeftSide || grip == ieTopSide;
    const bool fromBottom = grip == ieTopLeft || grip == ieTopRight || grip == ieTopSide || grip == ieLeftSide;
    const int32_t ax = fromRight ? box0.right : box0.left, ay = fromBottom ? box0.bottom : box0.top;
    if (xDrives) {
      const int32_t stepX = fromRight ? 1 : -1;  // toward the inside
      for (int guard = 0; guard < 1 << 20; ++guard) {
        y = ay + (fromBottom ? -1 : 1) * NearestInt(std::abs(x - ax) / ratio);
        if ((y >= 0 && y <= height) || x == ax) break;
        x += stepX;
      }
    } else {
      const int32_t stepY = fromBottom ? 1 : -1;
      for (int guard = 0; guard < 1 << 20; ++guard) {
        x = ax + (fromRight ? -1 : 1) * NearestInt(std::abs(y - ay) * ratio);
        if ((x >= 0 && x <= width) || y == ay) break;
        y += stepY;
      }
    }
    if (grip == ieLeftSide || grip == ieTopSide) grip = ieTopLeft;
    else if (grip == ieRightSide || grip == ieBottomSide) grip = ieBottomRight;
  }
  if (grip == ieTopRight || grip == ieBottomRight || grip == ieRightSide) ++x;
  if (grip == ieBottomRight || grip == ieBottomLeft || grip == ieBottomSide) ++y;
  int32_t left = polygon.Left, top = polygon.Top, right = polygon.Right, bottom = polygon.Bottom;
  const auto apart = [](int32_t v, int32_t other, int32_t away) { return v == other ? other + away : v; };
  if (grip == ieTopLeft || grip == ieBottomLeft || grip == ieLeftSide) left = apart(x, right, -1);
  if (grip == ieTopRight || grip == ieBottomRight || grip == ieRightSide) right = apart(x, left, 1);
  if (grip == ieTopLeft || grip == ieTopRight || grip == ieTopSide) top = apart(y, bottom, -1);
  if (grip == ieBottomRight || grip == ieBottomLeft || grip == ieBottomSide) bottom = apart(y, top, 1);
  if (right < left) {
    static constexpr TIEGrip flipped[] = {ieNone, ieTopRight, ieTopLeft, ieBottomLeft, ieBottomRight,
                                          ieRightSide, ieLeftSide, ieTopSide, ieBottomSide, ieRotationCenter};
    grip = flipped[grip];
  }
  if (bottom < top) {
    static constexpr TIEGrip flipped[] = {ieNone, ieBottomLeft, ieBottomRight, ieTopRight, ieTopLeft,
                                          ieLeftSide, ieRightSide, ieBottomSide, ieTopSide, ieRotationCenter};
    grip = flipped[grip];
  }
  polygon.Clear();
  if (right < left) std::swap(left, right);
  if (bottom < top) std::swap(top, bottom);
  if (keep && ratio > 0) {
    if (bottom > height) bottom = top + NearestInt((right - left) / ratio);
    else if (top < 0) top = bottom - NearestInt((right - left) / ratio);
    else if (right > width) right = left + NearestInt((bottom - top) * ratio);
    else if (left < 0) left = right - NearestInt((bottom - top) * ratio);
  }
  left = std::clamp(left, 0, width);
  right = std::clamp(right, 0, width);
  top = std::clamp(top, 0, height);
  bottom = std::clamp(bottom, 0, height);
  if (right < left) std::swap(left, right);
  if (bottom < top) std::swap(top, bottom);
  polygon.AddPoint(left, top);
  polygon.AddPoint(right, top);
  polygon.AddPoint(right, bottom);
  polygon.AddPoint(left, bottom);
  RepaintSelection();
  return grip;
}

TIEGrip TImageryView::GetSelectionGripAt(int32_t x, int32_t y) {
  const TIESelectionPolygon& polygon = MainPolygon();
  if (!polygon.Visible || !polygon.Sizeable || sel_.RectInProgress) return ieNone;
  return IERectPolygonGripAt(polygon, x, y, sel_.GripSize, sel_.SideGrips,
                             [this](POINT p) { return BitmapToClientPoint(p); });
}

TIEGrip TImageryView::HitSelectionGrip(int32_t x, int32_t y, TShiftState shift) {
  return shift.Contains(ssShift) ? ieNone : GetSelectionGripAt(x, y);
}

int32_t TImageryView::HitSelectionMove(int32_t x, int32_t y, TShiftState shift) {
  if (shift.Contains(ssShift) || mask_->IsEmpty() || SelectionInProgress()) return -1;
  if (!mask_->IsPointInside(ClientToLayerX(x), ClientToLayerY(y))) return -1;
  return sel_.Options.Contains(iesoMoveable) ? 0 : -1;
}

// -- reading the selection

const POINT* TImageryView::GetSelectionPoints() { return MainPolygon().Points.data(); }
int32_t TImageryView::GetSelectionPointCount() { return MainPolygon().Count(); }

bool TImageryView::UsePolygonBox() const {
  return SelectionInProgress() || sel_.DraggedGrip != ieNone || sel_.RectMove;
}

int32_t TImageryView::GetSelectionLeft() { return UsePolygonBox() ? MainPolygon().Left : mask_->X1; }
int32_t TImageryView::GetSelectionTop() { return UsePolygonBox() ? MainPolygon().Top : mask_->Y1; }
int32_t TImageryView::GetSelectionRight() { return UsePolygonBox() ? MainPolygon().Right - 1 : mask_->X2; }
int32_t TImageryView::GetSelectionBottom() { return UsePolygonBox() ? MainPolygon().Bottom - 1 : mask_->Y2; }

// -- settings and events

void TImageryView::SetSelectionOptions(TIESelectionOptions options) {
  sel_.Options = options;
  TIESelectionPolygon& polygon = MainPolygon();
  polygon.Animated = options.Contains(iesoAnimated);
  polygon.Sizeable = options.Contains(iesoSizeable);
  polygon.ShowCenter = options.Contains(iesoShowCenter);
  UpdateWithReason(ieurSelection);
}

void TImageryView::SetSelectionColor1(TColor color) {
  MainPolygon().Color1 = color;
  sel_.OutlineColor1 = color;
}

void TImageryView::SetSelectionColor2(TColor color) {
  MainPolygon().Color2 = color;
  sel_.OutlineColor2 = color;
}

void TImageryView::DoBeforeSelectionChange() {
  if (OnBeforeSelectionChange) WithUserSelectionBase([this] { OnBeforeSelectionChange(this); });
}

void TImageryView::DoSelectionChanging() {
  if (OnSelectionChanging) WithUserSelectionBase([this] { OnSelectionChanging(this); });
}

void TImageryView::DoSelectionChange() {
  if (OnSelectionChange) OnSelectionChange(this);
}

void TImageryView::ShowSelectionOutline(bool redraw) {
  MainPolygon().Visible = true;
  if (redraw) DrawSelectionOutlines(this, false);
}

void TImageryView::HideSelectionOutline(bool repaint) {
  MainPolygon().Visible = false;
  if (repaint && paintLock_ == 0) RepaintSelection();
}

// -- outline drawing

void TImageryView::EnsureSelectionTimer() {
  if (outlineTimer_) return;
  outlineTimer_ = new TTimer(this);
  outlineTimer_->SetEnabled(false);
  outlineTimer_->SetInterval(210);
  outlineTimer_->OnTimer = [this](TObject* sender) { SelectionTimerTick(sender); };
}

void TImageryView::SelectionTimerTick(TObject* sender) { DrawSelectionOutlines(sender, true); }

TIESelectionPolygon* TImageryView::CreateSelectionPolygon(TColor color1, TColor color2, bool sizeable,
                                                          bool animated) {
  const bool designing = ComponentState().Contains(csDesigning);
  auto polygon = std::make_unique<TIESelectionPolygon>();
  polygon->Color1 = color1;
  polygon->Color2 = color2;
  polygon->Sizeable = sizeable;
  polygon->Animated = animated;
  polygon->Canvas = designing ? nullptr : Canvas();
  polygons_.push_back(std::move(polygon));
  if (polygons_.size() == 1 && !designing && (Owner() || HasParentWindow())) {
    dotBitmap_ = std::make_unique<TBitmap>();
    dotBitmap_->SetPixelFormat(pf24bit);
    dotBitmap_->SetSize(1, 1);
    EnsureSelectionTimer();
    outlineTimer_->SetEnabled(true);
  }
  polygons_.back()->DotBitmap = dotBitmap_.get();
  return polygons_.back().get();
}

void TImageryView::DrawSelectionOutlines(TObject* sender, bool skipWhenCanvasLocked) {
  if (!HasParentWindow() || !HandleAllocated() || !sel_.OutlineDrawing) return;
  bool animating = false;
  TCanvas* canvas = Canvas();
  const RECT clip = canvas->ClipRect();
  const bool blocked = clip.right <= clip.left || clip.bottom <= clip.top || paintLock_ > 0 ||
                       (skipWhenCanvasLocked && canvas->LockCount() > 0) || sel_.DrawingSuppressed;
  for (size_t index = 0; index < polygons_.size(); ++index) {
    TIESelectionPolygon& polygon = *polygons_[index];
    if (!polygon.Visible) continue;
    if (polygon.Animated) {
      animating = true;
      if (sender == outlineTimer_ && sender && !SelectionInProgress() && sel_.DraggedGrip == ieNone &&
          sel_.MoveState == -1) {
        polygon.Phase = polygon.Phase >= 9 ? 0 : polygon.Phase + 1;
        ++sel_.AnimationCounter;
      }
    }
    if (blocked) continue;
    const bool isRect = IEIsRectPolygon(polygon);
    if (polygon.Sizeable && isRect && !sel_.RectInProgress && sel_.MoveState == -1) DrawSelectionGrips(polygon);
    if (index == 0 && !mask_->IsEmpty() && !SelectionInProgress()) {
      if (outlinePauseCount_ > 0 && HideOutlineWhileMoving) continue;
      const auto start = std::chrono::steady_clock::now();
      DrawMaskOutline();
      const auto elapsed =
          std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
      if (sel_.TuningDivisor < 0 && outlineTimer_)
        outlineTimer_->SetInterval(static_cast<uint32_t>(IETunedOutlineInterval(elapsed, sel_.TuningDivisor)));
      continue;
    }
    DrawPolygonOutline(static_cast<int32_t>(index), polygon, canvas);
  }
  if (GetOwner() || HasParentWindow()) {
    EnsureSelectionTimer();
    outlineTimer_->SetEnabled(animating || delayedFilterCount_ > 0 || outlinePauseCount_ > 0);
  }
  if (delayedFilterCount_ > 0 && --delayedFilterCount_ == 0) Update();
  if (outlinePauseCount_ > 0) --outlinePauseCount_;
}

void TImageryView::DrawSelectionGrips(const TIESelectionPolygon& polygon) {
  TIECanvas canvas(Canvas(), true, true);
  canvas.Pen()->SetColor(sel_.GripPenColor);
  canvas.Pen()->SetStyle(psSolid);
  canvas.Brush()->SetColor(sel_.GripBrushColor);
  canvas.Brush()->SetStyle(sel_.GripBrushStyle);
  POINT c[4];
  for (int i = 0; i < 4; ++i) c[i] = BitmapToClientPoint(polygon.Points[i]);
  for (const POINT& p : c) DrawGripShape(canvas, p.x, p.y, sel_.GripSize, sel_.GripShape);
  if (sel_.SideGrips)
    for (int i = 0; i < 4; ++i) {
      const POINT& a = c[i];
      const POINT& b = c[(i + 1) % 4];
      DrawGripShape(canvas, (a.x + b.x) / 2, (a.y + b.y) / 2, sel_.GripSize, sel_.GripShape);
    }
  DrawGrid(c[0].x, c[0].y, c[2].x, c[2].y);
}

void TImageryView::DrawMaskOutline() {
  // Where the current layer was last drawn: the mask covers that layer's pixels.
  const std::array<int32_t, 8>& r = GetCurrentLayer()->DrawnRects;
  RECT drawn{};
  mask_->DrawOutline(Canvas(), r[0], r[1], r[2], r[3], r[4], r[5], r[6], r[7], sel_.AnimationCounter,
                     static_cast<TIEColor>(sel_.OutlineColor1), static_cast<TIEColor>(sel_.OutlineColor2), &drawn);
}

void TImageryView::DrawPolygonOutline(int32_t index, TIESelectionPolygon& polygon, TCanvas* canvas) {
  polygon.DashCounter = polygon.Phase;
  if (polygon.Count() < 1) return;
  TDotTrace trace{canvas, &polygon};
  const auto edge = [&](POINT a, POINT b, int32_t pointIndex) {
    LineDDA(a.x, a.y, b.x, b.y, OutlineDot, reinterpret_cast<LPARAM>(&trace));
    if (OnDrawPolygon) OnDrawPolygon(this, index, pointIndex, canvas, b.x, b.y);
  };
  if (IEIsRectPolygon(polygon)) {
    const POINT tl = BitmapToClientPoint(POINT{polygon.Left, polygon.Top});
    const POINT br = BitmapToClientPoint(POINT{polygon.Right, polygon.Bottom});
    const POINT c[4] = {{tl.x, tl.y}, {br.x - 1, tl.y}, {br.x - 1, br.y - 1}, {tl.x, br.y - 1}};
    for (int i = 0; i < 4; ++i) edge(c[i], c[(i + 1) % 4], (i + 1) % 4);
    sel_.LastDrawnRect = RECT{tl.x, tl.y, br.x, br.y};
    if (sel_.RectInProgress || sel_.RectMove) DrawGrid(tl.x, tl.y, br.x - 1, br.y - 1);
  } else {
    size_t first = 0;
    const std::vector<POINT>& points = polygon.Points;
    for (size_t i = 0; i < points.size(); ++i) {
      const bool last = i + 1 == points.size();
      if (points[i].x == IEPolygonSeparator) {
        first = i + 1;
        continue;
      }
      const POINT a = BitmapToClientPoint(points[i]);
      if (!last && points[i + 1].x != IEPolygonSeparator) {
        edge(a, BitmapToClientPoint(points[i + 1]), static_cast<int32_t>(i + 1));
      } else if (!last || !SelectionInProgress()) {
        edge(a, BitmapToClientPoint(points[first]), static_cast<int32_t>(first));  // close the sub-polygon
      }
    }
  }
  if (polygon.ShowCenter && polygon.Count() > 1 && polygon.Right > polygon.Left && polygon.Bottom > polygon.Top) {
    const POINT centre = BitmapToClientPoint(POINT{(polygon.Left + polygon.Right) / 2, (polygon.Top + polygon.Bottom) / 2});
    LineDDA(centre.x - 11, centre.y, centre.x + 12, centre.y, OutlineDot, reinterpret_cast<LPARAM>(&trace));
    LineDDA(centre.x, centre.y - 11, centre.x, centre.y + 12, OutlineDot, reinterpret_cast<LPARAM>(&trace));
  }
}

void TImageryView::DrawRubberLine() {
  if (!sel_.PolygonInProgress || sel_.Lasso || MainPolygon().Empty()) return;
  const POINT& last = MainPolygon().Points.back();
  if (last.x == IEPolygonSeparator) return;
  TCanvas* canvas = Canvas();
  canvas->Pen()->SetMode(pmNot);
  canvas->Pen()->SetStyle(psSolid);
  canvas->Pen()->SetWidth(1);
  const POINT end = BitmapToClientPoint(last);
  canvas->MoveTo(lastRubberEnd_.x, lastRubberEnd_.y);
  canvas->LineTo(end.x, end.y);
  canvas->Pen()->SetMode(pmCopy);
}

// -- dragging shapes

bool TImageryView::AutoScrollWhileDragging() {
  sel_.DrawingSuppressed = true;
  bool scrolled = false;
  for (int guard = 0; guard < 1000; ++guard) {
    POINT cursor{};
    GetCursorPos(&cursor);
    cursor = ScreenToClient(cursor);
    const auto outside = [](int32_t v, int32_t low, int32_t high) { return v < low ? v - low : v > high ? v - high : 0; };
    const int32_t dx = outside(cursor.x, offsetX_, offsetX_ + extentWidth_);
    const int32_t dy = outside(cursor.y, offsetY_, offsetY_ + extentHeight_);
    if (dx == 0 && dy == 0) break;
    const int32_t oldX = viewX_, oldY = viewY_;
    SetViewXY(viewX_ + dx, viewY_ + dy);
    if (viewX_ == oldX && viewY_ == oldY) break;
    ShiftMouseAnchors(viewX_ - oldX, viewY_ - oldY);
    scrolled = true;
  }
  sel_.DrawingSuppressed = false;
  return scrolled;
}

void TImageryView::RemoveRubberSubPolygon() {
  if (MainPolygon().Count() != sel_.CountAtMouseDown) MainPolygon().RemoveLastSubPolygon();
}

void TImageryView::SelectRectDrag(int32_t x, int32_t y, TShiftState shift) {
  if (sel_.Options.Contains(iesoCanScroll)) AutoScrollWhileDragging();
  POINT anchor = rubberAnchor_;
  POINT corner{x, y};
  if (sel_.AspectRatio == 0) {
    const int32_t hw = NearestInt(sel_.FixedWidth * ZoomX() / 100) / 2;
    const int32_t hh = NearestInt(sel_.FixedHeight * ZoomY() / 100) / 2;
    anchor = POINT{x - hw, y - hh};
    corner = POINT{x + hw - 1, y + hh - 1};
  }
  const bool square = shift.Contains(ssAlt) || sel_.Constrain;
  const bool shiftInside = !sel_.Options.Contains(iesoSizeable);
  if (shift.Contains(ssShift) && sel_.AddWithShift) {
    RemoveRubberSubPolygon();
    SelectRect(anchor.x, anchor.y, corner.x, corner.y, 1, square, shiftInside);
  } else {
    SelectRect(anchor.x, anchor.y, corner.x, corner.y, 0, square, shiftInside);
  }
  RepaintSelection();
  DoSelectionChanging();
}

void TImageryView::SelectEllipseDrag(int32_t x, int32_t y, TShiftState shift) {
  if (sel_.Options.Contains(iesoCanScroll)) AutoScrollWhileDragging();
  POINT anchor = rubberAnchor_;
  int32_t rx = 0, ry = 0;
  if (sel_.AspectRatio == 0) {
    anchor = POINT{x, y};
    rx = NearestInt(sel_.FixedWidth * ZoomX() / 100) / 2;
    ry = NearestInt(sel_.FixedHeight * ZoomY() / 100) / 2;
  } else {
    const int32_t dx = std::abs(x - anchor.x), dy = std::abs(y - anchor.y);
    if ((shift.Contains(ssAlt) || sel_.Constrain) && sel_.AspectRatio == -1) {
      rx = ry = std::max(dx, dy);
    } else if (sel_.AspectRatio > 0) {
      rx = std::max(dx, dy);
      ry = NearestInt(rx * sel_.AspectRatio);
    } else {
      rx = dx;
      ry = dy;
    }
  }
  TIESelectionPolygon& polygon = MainPolygon();
  if (shift.Contains(ssShift) && sel_.AddWithShift) {
    RemoveRubberSubPolygon();
    polygon.Break();
  } else {
    polygon.Clear();
  }
  const int32_t cx = ClientToLayerX(anchor.x), cy = ClientToLayerY(anchor.y);
  const int32_t brx = static_cast<int32_t>(rx * 100 / ZoomX()), bry = static_cast<int32_t>(ry * 100 / ZoomY());
  for (const POINT& p : IEEllipsePolygon(cx, cy, brx, bry, ieBitmap_->GetWidth(), ieBitmap_->GetHeight()))
    polygon.AddPoint(p.x, p.y);
  sel_.Exists = true;
  ShowSelectionOutline(true);
  RepaintSelection();
  DoSelectionChanging();
}
