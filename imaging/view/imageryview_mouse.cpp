// Mouse, wheel, keyboard and cursors of the image view.
//
// Sections: cursors | interaction modes | mouse down | mouse move | mouse up |
// wheel | keys
#include <algorithm>
#include <cmath>

#include "imaging/core/ruduvazez.h"
#include "imaging/io/imageryio.h"
#include "imaging/processing/imageryproc_component.h"
#include "imaging/view/imageryview.h"
#include "platform/forms/forms.h"
#include "platform/rtl/resources.h"
#include "platform/win/user.h"

namespace {

constexpr TIEMouseInteract kSelectionModes{miSelect,     miSelectPolygon,   miSelectCircle,
                                           miSelectZoom, miSelectMagicWand, miSelectLasso};
constexpr TIEMouseInteract kLayerModes{miMoveLayers, miResizeLayers, miRotateLayers};
constexpr TIEMouseInteract kFirstEight{miZoom,         miScroll,     miSelect,          miSelectPolygon,
                                       miSelectCircle, miSelectZoom, miSelectMagicWand, miSelectLasso};

bool ButtonHeld(TShiftState shift) {
  return shift.Contains(ssLeft) || shift.Contains(ssRight) || shift.Contains(ssMiddle);
}

// The zoom steps of a click: up and down the list of usual percentages.
double ZoomInStep(double zoom) {
  if (zoom >= 100) return zoom + 100;
  for (double step : {2.0, 5.0, 10.0, 25.0, 33.0, 50.0, 75.0, 100.0})
    if (step > zoom) return step;
  return 100;
}

double ZoomOutStep(double zoom) {
  if (zoom >= 200) return zoom - 100;
  for (double step : {100.0, 75.0, 50.0, 33.0, 25.0, 10.0, 5.0, 2.0})
    if (step < zoom) return step;
  return 2;
}

}  // namespace

// ---- cursors ----------------------------------------------------------------------------

void IERegisterViewCursors() {
  // The program's cursor resources by screen index, from 1778 on. Some
  // indexes share a resource; the numbered cursors are for applications
  // and other viewers, and where the program has no such resource the
  // index shows the arrow.
  static const char* const kNames[] = {
      "ZOOMMENO", "ZOOMPIU", "CROCE",   "GOMMA", "MANO",    "PENNA",   "CROCE1", "CROCE3", "MOVE2", "MOVEY",
      "MOVE1",    "MOVEX",   "MOVE",    "CROCE3+", "CROCE3-", "CROCE2", "CROCE2+", "CROCE2-", "CROCE2-", "1795",
      "1796",     "1797",    "1798",    "1799",  "1800",    "1801",    "1802",   "1803",   "1803",  "1805",
      "1806",     "1807",    "1808",    "ROT1",  "ROT2",    "ROT3",    "ROT4"};
  static_assert(std::size(kNames) == crIERotateTopLeft - crIEZoomOut + 1);
  TCursor index = crIEZoomOut;
  for (const char* name : kNames) {
    HCURSOR cursor = LoadCursor(HInstance, name);
    Screen->SetCursors(index++, cursor ? cursor : LoadCursor(nullptr, IDC_ARROW));
  }
}

// ---- interaction modes ------------------------------------------------------------------

void TImageryView::SetMouseInteract(TIEMouseInteract value) {
  const TIEMouseInteract old = mouseInteract_;
  if (value == old) return;
  if (sel_.PolygonInProgress && old.Contains(miSelectPolygon)) {
    DropLastPolygonPoint();
    mask_->Clear();
    UpdateSelectionMask();
    sel_.PolygonInProgress = false;
    Invalidate();
  }
  struct TRule {
    TIEMouseInteractItems mode;
    TIEMouseInteract removes;
  };
  const TIEMouseInteract others = kSelectionModes + kLayerModes;
  const TRule rules[] = {
      {miScroll, others},
      {miSelect, others + miScroll - miSelect},
      {miSelectPolygon, others + miZoom + miScroll - miSelectPolygon},
      {miSelectCircle, others + miScroll - miSelectCircle},
      {miSelectLasso, others + miScroll - miSelectLasso},
      {miSelectZoom, others + miScroll - miSelectZoom},
      {miZoom, kLayerModes + miSelectPolygon + miSelectMagicWand},
      {miSelectMagicWand, others + miZoom + miScroll - miSelectMagicWand},
  };
  bool ruled = false;
  for (const TRule& rule : rules)
    if (value.Contains(rule.mode) && !old.Contains(rule.mode)) {
      value -= rule.removes - miMovingScroll;
      ruled = true;
      break;
    }
  if (!ruled) {
    if (value.Contains(miRotateLayers))
      value = value * TIEMouseInteract{miRotateLayers, miMoveLayers, miMovingScroll};
    else if (value.Contains(miMoveLayers))
      value -= value.Contains(miResizeLayers) ? kFirstEight + miRotateLayers : kFirstEight;
    else if (value.Contains(miResizeLayers))
      value -= kFirstEight + miRotateLayers;
  }
  if (!value.Contains(miRotateLayers)) ApplyLayerRotations(-1);
  else if (CropLayersOnRotationMode) CropLayersToAlpha(-1);
  mouseInteract_ = value;
  Update();
}

void TImageryView::ShiftMouseAnchors(int32_t dx, int32_t dy) {
  for (POINT* p : {&lastRubberEnd_, &mouseDownClamped_, &mouseDownRaw_, &rubberAnchor_, &lastMouseClamped_,
                   &lastMouseRaw_}) {
    p->x -= dx;
    p->y -= dy;
  }
}

POINT TImageryView::ClampToLayerBox(int32_t x, int32_t y) {
  RECT box = GetCurrentLayer()->ScreenBox;
  if (box.right <= box.left || box.bottom <= box.top)
    box = RECT{offsetX_, offsetY_, offsetX_ + extentWidth_, offsetY_ + extentHeight_};
  return POINT{std::clamp(x, static_cast<int32_t>(box.left), static_cast<int32_t>(std::max(box.left, box.right))),
               std::clamp(y, static_cast<int32_t>(box.top), static_cast<int32_t>(std::max(box.top, box.bottom)))};
}

TImageryView::TClientBaseScope TImageryView::ForceClientSelectionBase() {
  const bool outer = !selectionBaseForced_;
  if (outer) {
    userSelectionBase_ = sel_.Base;
    sel_.Base = iesbClientArea;
    selectionBaseForced_ = true;
  }
  return TClientBaseScope{this, outer};
}

TImageryView::TClientBaseScope::~TClientBaseScope() {
  if (!Outer) return;
  View->sel_.Base = View->userSelectionBase_;
  View->selectionBaseForced_ = false;
}

bool TImageryView::NewSelectionBlocked() const {
  return sel_.Options.Contains(iesoDisableNewSelection) && sel_.Exists;
}

// ---- mouse down -------------------------------------------------------------------------

void TImageryView::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TIEView::MouseDown(button, shift, x, y);
  if (TCustomForm* form = GetParentForm(); form && form->Visible() && CanFocus()) SetFocus();
  baseZoomFilter_ = zoomFilter_;
  if (button == mbRight && shift.Contains(ssLeft)) return;
  layerMoved_ = false;
  const bool layerRightButton = button == mbRight && sel_.Options.Contains(iesoRightButtonSelectLayers);
  if (button != mbLeft && !mouseInteract_.Contains(miZoom) && !layerRightButton) return;
  if (delayZoomFilter_ && !mouseInteract_.Contains(miScroll)) zoomFilter_ = rfNone;
  const TClientBaseScope base = ForceClientSelectionBase();

  mouseDownClamped_ = ClampToLayerBox(x, y);
  mouseDownRaw_ = POINT{x, y};
  lastMouseRaw_ = mouseDownRaw_;
  lastMouseClamped_ = mouseDownClamped_;
  rubberAnchor_ = mouseDownClamped_;
  viewAtMouseDown_ = POINT{viewX_, viewY_};
  sel_.CountAtMouseDown = MainPolygon().Count();

  if (button == mbLeft) LeftButtonDown(shift, x, y);
  else if (layerRightButton) LayerButtonDown(x, y);
  if (button == mbLeft && mouseInteract_.Contains(miScroll) && CanScroll()) SetTempCursor(crIEHand, true);
}

void TImageryView::LeftButtonDown(TShiftState shift, int32_t x, int32_t y) {
  const bool blocked = NewSelectionBlocked();
  const POINT p = mouseDownClamped_;
  if (mouseInteract_.Contains(miSelectPolygon) || mouseInteract_.Contains(miSelectLasso)) {
    ApplyLayerRotations(-1);
    DoBeforeSelectionChange();
    sel_.MoveState = HitSelectionMove(x, y, shift);
    if (sel_.MoveState != -1 || blocked) return;
    int32_t px = p.x, py = p.y;
    if ((shift.Contains(ssAlt) || sel_.Constrain) && !MainPolygon().Empty() &&
        MainPolygon().Points.back().x != IEPolygonSeparator) {
      const POINT last = BitmapToClientPoint(MainPolygon().Points.back());
      IESnapLineAngle(last.x, last.y, px, py);
    }
    if (!sel_.PolygonInProgress) {
      if (shift.Contains(ssShift) && sel_.AddWithShift) BreakSelectionPolygon();
      else if (!sel_.Options.Contains(iesoDisableOneClickDeselect)) Deselect();
    }
    AddSelectionPointNoPaint(px, py);
    lastRubberEnd_ = POINT{px, py};
    sel_.PolygonInProgress = true;
    sel_.Lasso = mouseInteract_.Contains(miSelectLasso);
    DoSelectionChanging();
  } else if (mouseInteract_.Contains(miSelect)) {
    ApplyLayerRotations(-1);
    DoBeforeSelectionChange();
    sel_.DraggedGrip = HitSelectionGrip(x, y, shift);
    if (sel_.DraggedGrip == ieNone) sel_.MoveState = HitSelectionMove(x, y, shift);
    if (sel_.DraggedGrip == ieNone && sel_.MoveState == -1 && !blocked) {
      sel_.RectInProgress = true;
      if (sel_.AspectRatio == 0) SelectRectDrag(p.x, p.y, shift);
      DoSelectionChanging();
    }
    if (sel_.DraggedGrip != ieNone) {
      const TIESelectionPolygon& polygon = MainPolygon();
      sel_.BoxAtMouseDown = RECT{polygon.Left, polygon.Top, polygon.Right - 1, polygon.Bottom - 1};
    }
  } else if (mouseInteract_.Contains(miSelectZoom)) {
    sel_.RectInProgress = true;
    DoSelectionChanging();
    PushSelection();
  } else if (mouseInteract_.Contains(miSelectCircle)) {
    ApplyLayerRotations(-1);
    DoBeforeSelectionChange();
    sel_.MoveState = HitSelectionMove(x, y, shift);
    if (sel_.MoveState == -1 && !blocked) {
      sel_.EllipseInProgress = true;
      ShowSelectionOutline(false);
      if (sel_.AspectRatio == 0) SelectEllipseDrag(p.x, p.y, shift);
      DoSelectionChanging();
    }
  } else if (mouseInteract_.Contains(miSelectMagicWand)) {
    ApplyLayerRotations(-1);
    DoBeforeSelectionChange();
    sel_.MoveState = HitSelectionMove(x, y, shift);
  } else if (!(mouseInteract_ * kLayerModes).Empty()) {
    LayerButtonDown(x, y);
  }
}

void TImageryView::LayerButtonDown(int32_t x, int32_t y) {
  undoSaved_ = false;
  const bool rotate = mouseInteract_.Contains(miRotateLayers);
  TIELayer* current = GetCurrentLayer();
  layerResizeGrip_ = mouseInteract_.Contains(miResizeLayers) ? HitTestLayerGrip(x, y) : ieNone;
  if (layerResizeGrip_ == ieRotationCenter) layerResizeGrip_ = ieNone;
  if (layerResizeGrip_ != ieNone) {
    ApplyLayerRotations(-1);
    layerBoxAtMouseDown_ = current->ScreenBox;
    DoLayerNotify(currentLayerIndex_, ielBeginResizing);
    return;
  }
  if (!mouseInteract_.Contains(miMoveLayers) && !rotate) return;
  if (rotate && HitTestLayerGrip(x, y) == ieRotationCenter) {
    centerDragLayer_ = currentLayerIndex_;
  } else if (rotate && !IsPointInLayer(x, y, currentLayerIndex_)) {
    rotatingLayer_ = currentLayerIndex_;
    accumulatedAngle_ = current->Angle();
    if (LayerRotationFastWhileEditing) delayedFilterCount_ = kDelayedFilterTicks;
  } else {
    movingLayer_ = FindLayerAt(x, y, true);
    if (movingLayer_ < 0) return;
    SetCurrentLayer(movingLayer_);
    DoLayerNotify(movingLayer_, ielSelected);
    DoLayerNotify(movingLayer_, ielBeginMoving);
    if (!GetLayer(movingLayer_)->Locked) SetTempCursor(crIEMove, true);
  }
}

// ---- mouse move -------------------------------------------------------------------------

void TImageryView::MouseMove(TShiftState shift, int x, int y) {
  TIEView::MouseMove(shift, x, y);
  const TClientBaseScope base = ForceClientSelectionBase();
  const POINT p = ClampToLayerBox(x, y);
  if (ButtonHeld(shift)) DragMove(shift, x, y, p);
  else if (!sel_.PolygonInProgress || sel_.Lasso) HoverCursor(shift, x, y);
  else RubberMove(shift, p);

  if (mouseInteract_.Contains(miMovingScroll) && !ButtonHeld(shift) && (x != lastMouseRaw_.x || y != lastMouseRaw_.y)) {
    int32_t maxX = 0, maxY = 0;
    GetMaxViewXY(maxX, maxY);
    const double width = std::max(GetViewWidth(), 1), height = std::max(GetViewHeight(), 1);
    const double px = std::clamp(x, 0, static_cast<int32_t>(width) - 1), py = std::clamp(y, 0, static_cast<int32_t>(height) - 1);
    SmoothScrollTo(static_cast<int32_t>((px / width - 0.02) * 1.05 * maxX),
                   static_cast<int32_t>((py / height - 0.02) * 1.05 * maxY));
  }
  if (OnMouseInSel && mask_->IsPointInside(ClientToLayerX(x), ClientToLayerY(y)))
    WithUserSelectionBase([this] { OnMouseInSel(this); });
  lastMouseRaw_ = POINT{x, y};
  lastMouseClamped_ = p;
}

void TImageryView::DragMove(TShiftState shift, int32_t x, int32_t y, POINT p) {
  if (mouseInteract_.Contains(miScroll)) {
    SetViewXY(viewAtMouseDown_.x - static_cast<int32_t>((x - mouseDownRaw_.x) * ScrollDragFactor),
              viewAtMouseDown_.y - static_cast<int32_t>((y - mouseDownRaw_.y) * ScrollDragFactor));
  } else if (sel_.DraggedGrip != ieNone) {
    if (sel_.Options.Contains(iesoCanScroll)) AutoScrollWhileDragging();
    const bool keep = shift.Contains(ssAlt) || sel_.Constrain || sel_.AspectRatio > 0;
    sel_.DraggedGrip = ResizeSelectionByGrip(sel_.DraggedGrip, p.x, keep, p.y);
    DoSelectionChanging();
  } else if (sel_.MoveState == -1) {
    if (sel_.RectInProgress) {
      SelectRectDrag(p.x, p.y, shift);
    } else if (sel_.PolygonInProgress) {
      if (sel_.Options.Contains(iesoCanScroll)) AutoScrollWhileDragging();
      AddSelectionPointNoPaint(p.x, p.y);
      RepaintSelection();
      DoSelectionChanging();
    } else if (sel_.EllipseInProgress) {
      SelectEllipseDrag(p.x, p.y, shift);
    } else {
      LayerDragMove(shift, x, y);
    }
  } else {
    if (sel_.Options.Contains(iesoCanScroll)) AutoScrollWhileDragging();
    const int32_t dx = ClientToLayerX(p.x) - ClientToLayerX(lastMouseClamped_.x);
    const int32_t dy = ClientToLayerY(p.y) - ClientToLayerY(lastMouseClamped_.y);
    MoveSelection(0, dx, dy, sel_.Options.Contains(iesoCutBorders));
    DoSelectionChanging();
  }
}

void TImageryView::MoveLayerByMouse(int32_t x, int32_t y) {
  TIELayer* layer = GetLayer(movingLayer_);
  if (!layer || layer->Locked) return;
  FirstLayerDragMove(ieuLayer);
  if (sel_.Options.Contains(iesoCanScroll)) AutoScrollWhileDragging();
  const int32_t dx = ClientToBitmapX(x) - ClientToBitmapX(lastMouseRaw_.x);
  const int32_t dy = ClientToBitmapY(y) - ClientToBitmapY(lastMouseRaw_.y);
  layer->PosX += dx;
  layer->PosY += dy;
  if (dx != 0 || dy != 0) layerMoved_ = true;
  SetInteractionHint("X=" + IntToStr(layer->PosX) + " Y=" + IntToStr(layer->PosY), x, y, "X=000 Y=000");
  layerCacheIndex_ = movingLayer_;
  Update();
  if (layerMoved_) DoLayerNotify(movingLayer_, ielMoving);
}

void TImageryView::LayerDragMove(TShiftState shift, int32_t x, int32_t y) {
  if (movingLayer_ >= 0) MoveLayerByMouse(x, y);
  else if (layerResizeGrip_ != ieNone) ResizeLayerByMouse(shift, x, y);
  else if (rotatingLayer_ >= 0) RotateLayerByMouse(shift, x, y);
  else if (centerDragLayer_ >= 0) MoveRotationCentreByMouse(x, y);
}

// True on the first move of a layer drag, after saving undo when the view does it itself.
bool TImageryView::FirstLayerDragMove(TIEUndoSource source) {
  if (undoSaved_) return false;
  if (LayersAutoUndo) GetProc()->SaveUndo(source);
  undoSaved_ = true;
  return true;
}

void TImageryView::ResizeLayerByMouse(TShiftState shift, int32_t x, int32_t y) {
  TIELayer* layer = GetCurrentLayer();
  if (layer->Locked) return;
  if (FirstLayerDragMove(ieuLayer))
    layerAspect_ = static_cast<double>(LayerDisplayHeight(*layer)) / std::max(LayerDisplayWidth(*layer), 1);
  if (sel_.Options.Contains(iesoCanScroll)) AutoScrollWhileDragging();
  ResizeLayerByGrip(x, y, shift.Contains(ssAlt) || sel_.Constrain);
  SetInteractionHint(IntToStr(LayerDisplayWidth(*layer)) + " x " + IntToStr(LayerDisplayHeight(*layer)), x, y,
                     "0000 x 0000");
  layerCacheIndex_ = currentLayerIndex_;
  Update();
  DoLayerNotify(currentLayerIndex_, ielResizing);
}

int32_t TImageryView::LayerDisplayWidth(const TIELayer& layer) {
  return layer.Width != 0 ? layer.Width : layer.Bitmap->GetWidth();
}

int32_t TImageryView::LayerDisplayHeight(const TIELayer& layer) {
  return layer.Height != 0 ? layer.Height : layer.Bitmap->GetHeight();
}

void TImageryView::ResizeLayerByGrip(int32_t x, int32_t y, bool keep) {
  TIELayer* layer = GetCurrentLayer();
  TIEGrip grip = layerResizeGrip_;
  const bool corner = grip >= ieTopLeft && grip <= ieBottomLeft;
  const bool aspect = ResizeAspectMode == 1 ? keep : ResizeAspectMode == 2 ? true : ResizeAspectMode == 3 && corner;
  int32_t bx = ClientToBitmapX(x), by = ClientToBitmapY(y);
  const int32_t dx = bx - ClientToBitmapX(lastMouseRaw_.x), dy = by - ClientToBitmapY(lastMouseRaw_.y);
  if (aspect) {
    static constexpr TIEGrip asCorner[] = {ieNone,       ieTopLeft,     ieTopRight,    ieBottomRight, ieBottomLeft,
                                           ieBottomLeft, ieBottomRight, ieTopLeft,     ieBottomRight, ieNone};
    grip = asCorner[grip];
    // The height follows the width from the rectangle at mouse down, on the grip's side.
    const int32_t left0 = ClientToBitmapX(layerBoxAtMouseDown_.left), right0 = ClientToBitmapX(layerBoxAtMouseDown_.right);
    const int32_t top0 = ClientToBitmapY(layerBoxAtMouseDown_.top), bottom0 = ClientToBitmapY(layerBoxAtMouseDown_.bottom);
    const bool leftGrip = grip == ieTopLeft || grip == ieBottomLeft, topGrip = grip == ieTopLeft || grip == ieTopRight;
    const int32_t width = leftGrip ? right0 - bx : bx - left0;
    const auto height = static_cast<int32_t>(std::nearbyint(width * layerAspect_));
    by = topGrip ? bottom0 - height : top0 + height;
  }
  int32_t w = LayerDisplayWidth(*layer), h = LayerDisplayHeight(*layer);
  const int32_t right = layer->PosX + w, bottom = layer->PosY + h;
  const auto leftEdge = [&](int32_t to) {
    w = std::max(right - to, 1);
    if (w > 1) layer->PosX = to;
  };
  const auto topEdge = [&](int32_t to) {
    h = std::max(bottom - to, 1);
    if (h > 1) layer->PosY = to;
  };
  switch (grip) {
    case ieTopLeft: leftEdge(bx), topEdge(by); break;
    case ieTopRight: w = std::max(bx - layer->PosX, 1), topEdge(by); break;
    case ieBottomRight: w = std::max(bx - layer->PosX, 1), h = std::max(by - layer->PosY, 1); break;
    case ieBottomLeft: leftEdge(bx), h = std::max(by - layer->PosY, 1); break;
    case ieLeftSide: leftEdge(layer->PosX + dx); break;
    case ieRightSide: w = std::max(bx - layer->PosX, 1); break;
    case ieTopSide: topEdge(by); break;
    case ieBottomSide: h = std::max(h + dy, 1); break;
    default: return;
  }
  layer->Width = w;
  layer->Height = h;
  if (!aspect) layerAspect_ = static_cast<double>(h) / w;
}

void TImageryView::RotateLayerByMouse(TShiftState shift, int32_t x, int32_t y) {
  TIELayer* layer = GetLayer(rotatingLayer_);
  if (layer->Locked) return;
  FirstLayerDragMove(ieuFullLayer);
  double horizontal = (ClientToBitmapX(x) - ClientToBitmapX(lastMouseRaw_.x)) / 4.0;
  double vertical = (ClientToBitmapY(y) - ClientToBitmapY(lastMouseRaw_.y)) / 4.0;
  const RECT& box = layer->ScreenBox;
  const double centreX = box.left + layer->RotateCenterX * (box.right - box.left);
  const double centreY = box.top + layer->RotateCenterY * (box.bottom - box.top);
  if (x > centreX) vertical = -vertical;
  if (y < centreY) horizontal = -horizontal;
  accumulatedAngle_ += horizontal + vertical;
  const double angle = shift.Contains(ssShift) && RotationSnap > 0
                           ? std::trunc(accumulatedAngle_ / RotationSnap) * RotationSnap
                           : accumulatedAngle_;
  layer->SetAngle(angle);
  SetInteractionHint(FloatToStrF(angle, ffFixed, 15, 1, InvariantFormatSettings()) + "\u00B0", x, y,
                     "0000\u00B0");
  layerCacheIndex_ = rotatingLayer_;
  if (LayerRotationFastWhileEditing) delayedFilterCount_ = kDelayedFilterTicks;
  Update();
  DoLayerNotify(rotatingLayer_, ielRotating);
}

void TImageryView::MoveRotationCentreByMouse(int32_t x, int32_t y) {
  TIELayer* layer = GetLayer(centerDragLayer_);
  if (layer->Locked) return;
  const int32_t w = std::max(LayerDisplayWidth(*layer), 1), h = std::max(LayerDisplayHeight(*layer), 1);
  layer->RotateCenterX = static_cast<double>(ClientToBitmapX(x) - layer->PosX) / w;
  layer->RotateCenterY = static_cast<double>(ClientToBitmapY(y) - layer->PosY) / h;
  SetInteractionHint("X=" + IntToStr(static_cast<int64_t>(layer->RotateCenterX * w)) +
                         " Y=" + IntToStr(static_cast<int64_t>(layer->RotateCenterY * h)),
                     x, y, "X=000 Y=000");
  layerCacheIndex_ = centerDragLayer_;
  Update();
}

namespace {

TCursor GripCursor(TIEGrip grip) {
  switch (grip) {
    case ieTopRight:
    case ieBottomLeft: return crIESizeNESW;
    case ieLeftSide:
    case ieRightSide: return crIESizeWE;
    case ieTopSide:
    case ieBottomSide: return crIESizeNS;
    default: return crIESizeNWSE;
  }
}

}  // namespace

void TImageryView::HoverCursor(TShiftState shift, int32_t x, int32_t y) {
  if ((mouseInteract_ * (kSelectionModes - miSelectZoom)).Empty()) {
    HoverLayerCursor(x, y);
    return;
  }
  const TIEGrip grip = HitSelectionGrip(x, y, shift);
  if (OnMouseInResizingGrip) WithUserSelectionBase([&] { OnMouseInResizingGrip(this, grip); });
  if (grip != ieNone) {
    SetTempCursor(GripCursor(grip), false);
  } else if (HitSelectionMove(x, y, shift) == 0) {
    SetTempCursor(crIEMove, false);
  } else if (shift.Contains(ssShift) && sel_.AddWithShift && (cursor_ == crIECrossHair || cursor_ == crIECrossHair2)) {
    SetTempCursor(cursor_ == crIECrossHair ? crIECrossHairPlus : crIECrossHair2Plus, false);
  } else {
    RestoreCursor();
  }
}

void TImageryView::HoverLayerCursor(int32_t x, int32_t y) {
  TIELayer* current = GetCurrentLayer();
  if (mouseInteract_.Contains(miRotateLayers)) {
    if (IsPointInLayer(x, y, currentLayerIndex_)) {
      RestoreCursor();
      return;
    }
    const RECT& box = current->ScreenBox;
    const double centreX = box.left + current->RotateCenterX * (box.right - box.left);
    const double centreY = box.top + current->RotateCenterY * (box.bottom - box.top);
    if (x == centreX || y == centreY) return;
    if (x < centreX) SetTempCursor(y < centreY ? crIERotateTopLeft : crIERotateBottomLeft, false);
    else SetTempCursor(y < centreY ? crIERotateTopRight : crIERotateBottomRight, false);
    return;
  }
  if (!mouseInteract_.Contains(miResizeLayers) && !mouseInteract_.Contains(miMoveLayers)) return;
  const TIEGrip grip =
      mouseInteract_.Contains(miResizeLayers) && !current->Locked ? HitTestLayerGrip(x, y) : ieNone;
  if (grip != ieNone && grip != ieRotationCenter) {
    SetTempCursor(GripCursor(grip), false);
    return;
  }
  const int32_t index = FindLayerAt(x, y, true);
  const TIELayer* layer = index >= 0 ? GetLayer(index) : nullptr;
  if (mouseInteract_.Contains(miMoveLayers) && layer && layer->Selectable && !layer->Locked) SetTempCursor(crIEMove, false);
  else RestoreCursor();
}

void TImageryView::RubberMove(TShiftState shift, POINT p) {
  DrawRubberLine();  // erases the previous one
  int32_t px = p.x, py = p.y;
  const TIESelectionPolygon& polygon = MainPolygon();
  if ((shift.Contains(ssAlt) || sel_.Constrain) && !polygon.Empty() && polygon.Points.back().x != IEPolygonSeparator) {
    const POINT last = BitmapToClientPoint(polygon.Points.back());
    IESnapLineAngle(last.x, last.y, px, py);
  }
  lastRubberEnd_ = POINT{px, py};
  DrawRubberLine();
  DoSelectionChanging();
}

// ---- mouse up ---------------------------------------------------------------------------

void TImageryView::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TIEView::MouseUp(button, shift, x, y);
  hintText_.clear();
  const POINT p = ClampToLayerBox(x, y);
  const TClientBaseScope base = ForceClientSelectionBase();
  bool changed = false;
  const bool moved = x != mouseDownRaw_.x || y != mouseDownRaw_.y;
  const bool left = button == mbLeft;
  const bool oneClickDeselect = !sel_.Options.Contains(iesoDisableOneClickDeselect);

  if (mouseInteract_.Contains(miZoom) && !moved && !IsEmpty()) {
    if (button != mbMiddle) ClickZoom(left, x, y);
    sel_.PolygonInProgress = false;
  } else if (left && mouseInteract_.Contains(miScroll) && CanScroll()) {
    DragMove(shift, x, y, p);
    RestoreCursor();
  } else if (left && mouseInteract_.Contains(miSelectZoom)) {
    ZoomToSelection(ZoomSelectUniform, true);
    sel_.RectInProgress = false;
    PopSelection(true, 0);
  } else if (left && (mouseInteract_.Contains(miSelect) || mouseInteract_.Contains(miSelectCircle))) {
    const bool fixedEllipse = mouseInteract_.Contains(miSelectCircle) && sel_.AspectRatio == 0;
    if (moved || fixedEllipse || sel_.DraggedGrip != ieNone || sel_.MoveState == 0) {
      if (sel_.RectInProgress || sel_.EllipseInProgress || sel_.DraggedGrip != ieNone) RebuildMask(shift);
      changed = true;
      EndSelectionDrag();
    } else if (sel_.Exists && oneClickDeselect) {
      Deselect();
      changed = true;
    }
  } else if (!left || !mouseInteract_.Contains(miSelectLasso)) {
    if (left && mouseInteract_.Contains(miSelectPolygon) && sel_.MoveState == 0) {
      sel_.MoveState = -1;
      changed = true;
    } else if (left && mouseInteract_.Contains(miSelectMagicWand)) {
      if (sel_.MoveState == 0) {
        sel_.MoveState = -1;
        changed = true;
      } else if (!NewSelectionBlocked()) {
        SetTempCursor(crHourGlass, false);
        SelectMagicWand(x, y, shift.Contains(ssShift) && sel_.AddWithShift);
        RestoreCursor();
        changed = true;
      }
    }
    if (left && (mouseInteract_.Contains(miSelectPolygon) || mouseInteract_.Contains(miSelectMagicWand)))
      UpdateWithReason(ieurSelection);
  } else if (moved || sel_.MoveState == 0) {
    if (sel_.PolygonInProgress) RebuildMask(shift);
    sel_.Lasso = sel_.PolygonInProgress = false;
    sel_.MoveState = -1;
    changed = true;
    UpdateWithReason(ieurSelection);
  } else if (sel_.Exists && oneClickDeselect) {
    sel_.Lasso = sel_.PolygonInProgress = false;
    Deselect();
    changed = true;
  }

  if (left) {
    if (sel_.RectMove) {
      sel_.RectMove = false;
      mask_->Clear();
      UpdateSelectionMask();
      InvalidateBackBuffer();
      Invalidate();
    }
    EndLayerDrags(moved, x, y);
    sel_.RectInProgress = sel_.EllipseInProgress = false;
    sel_.DraggedGrip = ieNone;
    sel_.MoveState = -1;
    if (changed) DoSelectionChange();
  }
  if (button == mbRight && sel_.Options.Contains(iesoRightButtonTerminatePolySelect) && sel_.PolygonInProgress)
    EndPolygonSelection(shift.Contains(ssShift), false);
  zoomFilter_ = baseZoomFilter_;
}

void TImageryView::EndLayerDrags(bool moved, int32_t x, int32_t y) {
  if (movingLayer_ >= 0) {
    RestoreCursor();
    if (layerMoved_) DoLayerNotify(movingLayer_, ielMoved);
    movingLayer_ = -1;
    Invalidate();
  }
  if (rotatingLayer_ >= 0) {
    if (moved) DoLayerNotify(rotatingLayer_, ielRotated);
    rotatingLayer_ = -1;
    Invalidate();
  }
  centerDragLayer_ = -1;
  if (mouseInteract_.Contains(miRotateLayers) && !moved) {
    const int32_t index = FindLayerAt(x, y, true);
    if (index >= 0) {
      SetCurrentLayer(index);
      DoLayerNotify(index, ielSelected);
    }
  }
  if (layerResizeGrip_ != ieNone) {
    if (moved) DoLayerNotify(currentLayerIndex_, ielResized);
    layerResizeGrip_ = ieNone;
    Update();
  }
}

void TImageryView::ClickZoom(bool zoomIn, int32_t x, int32_t y) {
  double zoom = ZoomX();
  if (zoomIn) {
    if (mouseInteract_.Contains(miScroll)) RestoreCursor();
    zoom = ZoomInStep(zoom);
    if (OnZoomIn) WithUserSelectionBase([&] { OnZoomIn(this, zoom); });
  } else {
    zoom = ZoomOutStep(zoom);
    if (OnZoomOut) WithUserSelectionBase([&] { OnZoomOut(this, zoom); });
  }
  if (zoom != ZoomX() || zoom != ZoomY()) ZoomAt(x, y, false, zoom);
  sel_.PolygonInProgress = false;
}

void TImageryView::RebuildMask(TShiftState shift) {
  if (!(shift.Contains(ssShift) && sel_.AddWithShift)) mask_->Clear();
  UpdateSelectionMask();
}

void TImageryView::EndSelectionDrag() {
  sel_.RectInProgress = sel_.EllipseInProgress = false;
  sel_.DraggedGrip = ieNone;
  sel_.MoveState = -1;
  if (isNavigator_) Invalidate();
  else UpdateWithReason(ieurSelection);
}

// ---- wheel ------------------------------------------------------------------------------

void TImageryView::HandleMouseWheel(int32_t delta, int32_t x, bool ctrl, int32_t y) {
  const TIEMouseWheelParams& params = *wheelParams_;
  if (params.Action == 0 || autoFit_) return;
  int32_t d = delta > 0 ? -1 : 1;
  if (params.InvertDirection) d = -d;
  if (params.Action == 1) {
    int32_t maxX = 0, maxY = 0;
    GetMaxViewXY(maxX, maxY);
    const bool horizontal = ctrl || (maxX > 0 && maxY <= 0);
    const int32_t extent = horizontal ? GetViewWidth() : GetViewHeight();
    const int32_t step = params.StepKind == 0
                             ? d * params.Step * std::max(1, static_cast<int32_t>(ZoomX() / 100))
                             : d * std::max(1, static_cast<int32_t>(std::nearbyint(extent * params.Step / 100.0)));
    if (horizontal) SetViewX(viewX_ + step);
    else SetViewY(viewY_ + step);
  } else if (params.Action == 2) {
    const double current = ZoomX();
    double zoom = params.StepKind == 0 ? current + d * params.Step
                                       : current + d * std::max(1.0, std::nearbyint(params.Step * current / 100));
    if (zoom > current && OnZoomIn) WithUserSelectionBase([&] { OnZoomIn(this, zoom); });
    else if (zoom < current && OnZoomOut) WithUserSelectionBase([&] { OnZoomOut(this, zoom); });
    if (params.ZoomAtCursor) ZoomAt(x, y, false, zoom);
    else SetZoom(zoom);
  } else if (params.Action == 3) {
    GetIO()->SeekImage(d < 0 ? 1 : 2, "");
  }
}

void TImageryView::WMMouseWheel(TMessage& message) {
  TIEView::WndProc(message);
  const POINT client = ScreenToClient(POINT{GET_X_LPARAM(message.LParam), GET_Y_LPARAM(message.LParam)});
  const auto delta = static_cast<int16_t>(HIWORD(message.WParam));
  HandleMouseWheel(delta, client.x, GetKeyState(VK_CONTROL) < 0, client.y);
  message.Result = 0;
}

void TImageryView::WMLButtonDblClk(TMessage& message) {
  TIEView::WndProc(message);
  FinishPolygonOnDoubleClick((message.WParam & MK_SHIFT) != 0);
}

// ---- keys -------------------------------------------------------------------------------

void TImageryView::KeyDown(WORD& key, TShiftState shift) {
  TIEView::KeyDown(key, shift);
  if (!shift.Contains(ssShift) || !sel_.AddWithShift) return;
  if (cursor_ == crIECrossHair) SetTempCursor(crIECrossHairPlus, false);
  else if (cursor_ == crIECrossHair2) SetTempCursor(crIECrossHair2Plus, false);
}

void TImageryView::KeyUp(WORD& key, TShiftState shift) {
  TIEView::KeyUp(key, shift);
  if (!shift.Contains(ssShift) && sel_.AddWithShift) RestoreCursor();
}
