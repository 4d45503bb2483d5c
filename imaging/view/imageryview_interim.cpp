// Plain bodies of view operations whose own files have not landed yet, so
// that every virtual has a definition and the view works as a plain image
// view meanwhile. Each block names the file that replaces it: whoever lands
// that file deletes the block here (and this file with the last block).
#include <algorithm>

#include "imaging/view/imageryview.h"

// ---- layers: until imageryview_layers.cpp defines the view's layer operations ----------------

TIELayer* TImageryView::GetLayer(int32_t index) const { return layers_.at(static_cast<size_t>(index)); }

void TImageryView::SetCurrentLayer(int32_t index) {
  if (index < 0 || index >= GetLayerCount() || index == currentLayerIndex_) return;
  currentLayerIndex_ = index;
  ieBitmap_ = layers_[static_cast<size_t>(index)]->Bitmap;
  legacyBitmap_ = ieBitmap_->Location() == ieTBitmap ? ieBitmap_->GetTBitmap() : nullptr;
  NotifyBitmapChangeHandlers();
  Update();
}

void TImageryView::SetLegacyBitmap(bool value) { legacyBitmapMode_ = value; }

int32_t TImageryView::AddLayer() { return AddLayer(ieBitmap_->GetWidth(), ieBitmap_->GetHeight(), ie24RGB, 0, 0); }

int32_t TImageryView::AddLayer(int32_t width, int32_t height, TIEPixelFormat format, int32_t posX, int32_t posY) {
  auto* layer = new TIELayer(this, true, new TIEBitmap(width, height, format));
  layer->PosX = posX;
  layer->PosY = posY;
  layers_.push_back(layer);
  SetCurrentLayer(GetLayerCount() - 1);
  return currentLayerIndex_;
}

void TImageryView::RemoveLayer(int32_t) {}

void TImageryView::ClearLayers() {
  while (GetLayerCount() > 1) {
    delete layers_.back();
    layers_.pop_back();
  }
  currentLayerIndex_ = -1;
  SetCurrentLayer(0);
}

void TImageryView::SyncLayers() {
  if (currentLayerIndex_ >= 0) layers_[static_cast<size_t>(currentLayerIndex_)]->Bitmap = ieBitmap_;
  imageWidth_ = layers_.front()->Bitmap->GetWidth();
  imageHeight_ = layers_.front()->Bitmap->GetHeight();
}

int32_t TImageryView::FindLayerAt(int32_t, int32_t, bool) { return -1; }
bool TImageryView::IsPointInLayer(int32_t, int32_t, int32_t) { return false; }
void TImageryView::DoLayerNotify(int32_t layer, TIELayerEvent event) {
  if (OnLayerNotify) WithUserSelectionBase([&] { OnLayerNotify(this, layer, event); });
}
void TImageryView::FlattenLayers() {}
void TImageryView::ApplyLayerSizes(int32_t) {}
void TImageryView::CropLayersToAlpha(int32_t) {}
void TImageryView::ApplyLayerRotations(int32_t) {}
void TImageryView::SetExternalBitmap(TIEBitmap*) {}

// ---- compositing: until imageryview_compose.cpp ---------------------------------------------------

// Background, then layer 0 with the view's own rectangles.
void TImageryView::DrawLayers(TIEBitmap& dest, std::vector<uint8_t*>*, bool drawBackground, bool, const RECT*) {
  SyncLayers();
  UpdateVisibleBitmapRect();
  UpdateCoordinateTables();
  if (drawBackground)
    IEDrawBackground(ComponentState(), dest.GetTBitmapCanvas(), dest.GetTBitmap(), backgroundStyle_, background_, 0,
                     0, dest.GetWidth(), dest.GetHeight(), offsetX_, offsetY_, offsetX_ + extentWidth_,
                     offsetY_ + extentHeight_, chessboardSize_, chessboardBrushStyle_, GradientEndColor,
                     wallPaper_.get(), wallPaperStyle_);
  if (ieBitmap_->GetWidth() == 0 || ieBitmap_->GetHeight() == 0 || extentWidth_ == 0 || extentHeight_ == 0) return;
  const bool plain = delayedFilterCount_ > 0 || (zoomX_ == 100 && zoomY_ == 100);
  TIELayer* layer = layers_.front();
  layer->Bitmap->RenderToTIEBitmapEx(dest, nullptr, nullptr, nullptr, nullptr, offsetX_, offsetY_,
                                     visibleClientWidth_, visibleClientHeight_, visibleBitmapX_, visibleBitmapY_,
                                     visibleBitmapWidth_, visibleBitmapHeight_, enableAlphaChannel_, false, 255,
                                     plain ? rfNone : zoomFilter_, true, 0, 1.0);
  layer->ScreenBox = RECT{offsetX_, offsetY_, offsetX_ + extentWidth_, offsetY_ + extentHeight_};
  layer->DrawnRects = {offsetX_,        offsetY_,        visibleClientWidth_, visibleClientHeight_,
                       visibleBitmapX_, visibleBitmapY_, visibleBitmapWidth_, visibleBitmapHeight_};
}

void TImageryView::DrawLayerOverlay(int32_t, TIEBitmap&, const RECT*) {}
std::array<RECT, IELayerGripCount> TImageryView::GetLayerGrips(int32_t) { return {}; }
TIEGrip TImageryView::HitTestLayerGrip(int32_t, int32_t) { return ieNone; }
void TImageryView::DrawLayersToBitmap(TIEBitmap&) {}

// ---- selections: until imageryview_select.cpp defines the view's selection operations ----------

void TImageryView::Select(int32_t, int32_t, int32_t, int32_t, int32_t) {}
void TImageryView::SelectRect(int32_t, int32_t, int32_t, int32_t, int32_t, bool, bool) {}
void TImageryView::Deselect() {
  sel_.Exists = false;
  polygons_.front()->Clear();
  mask_->Clear();
  UpdateWithReason(ieurSelection);
}
void TImageryView::AddSelectionPoint(int32_t, int32_t) {}
void TImageryView::AddSelectionPointNoPaint(int32_t, int32_t) {}
void TImageryView::BreakSelectionPolygon() {}
void TImageryView::EndPolygonSelection(bool, bool) {}
void TImageryView::SelectMagicWand(int32_t, int32_t, bool) {}
void TImageryView::ZoomToSelection(bool, bool) {}
void TImageryView::UpdateSelectionMask() {}
void TImageryView::OffsetSelection(int32_t, int32_t) {}
int32_t TImageryView::GetSelectionLeft() { return mask_->X1; }
int32_t TImageryView::GetSelectionTop() { return mask_->Y1; }
int32_t TImageryView::GetSelectionRight() { return mask_->X2; }
int32_t TImageryView::GetSelectionBottom() { return mask_->Y2; }
void TImageryView::SetSelectionOptions(TIESelectionOptions options) {
  sel_.Options = options;
  UpdateWithReason(ieurSelection);
}
void TImageryView::DrawSelectionOutlines(TObject*, bool) {}
void TImageryView::DrawRubberLine() {}
void TImageryView::ShowSelectionOutline(bool) {}
void TImageryView::HideSelectionOutline(bool) {}
void TImageryView::DoBeforeSelectionChange() {}
void TImageryView::DoSelectionChanging() {}
void TImageryView::DoSelectionChange() {}

// ---- mouse and keys: until imageryview_mouse.cpp --------------------------------------------------

void IERegisterViewCursors() {}
void TImageryView::SetMouseInteract(TIEMouseInteract value) {
  if (value == mouseInteract_) return;
  mouseInteract_ = value;
  Update();
}
void TImageryView::ShiftMouseAnchors(int32_t, int32_t) {}
void TImageryView::HandleMouseWheel(int32_t, int32_t, bool, int32_t) {}
void TImageryView::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TIEView::MouseDown(button, shift, x, y);
}
void TImageryView::MouseMove(TShiftState shift, int x, int y) { TIEView::MouseMove(shift, x, y); }
void TImageryView::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TIEView::MouseUp(button, shift, x, y);
}
void TImageryView::KeyDown(WORD& key, TShiftState shift) { TIEView::KeyDown(key, shift); }
void TImageryView::KeyUp(WORD& key, TShiftState shift) { TIEView::KeyUp(key, shift); }
void TImageryView::WMMouseWheel(TMessage& message) { TIEView::WndProc(message); }
void TImageryView::WMLButtonDblClk(TMessage& message) { TIEView::WndProc(message); }

// ---- smooth scrolling and gestures: until imageryview_scroll.cpp -----------------------------------

void TIEGestureOptions::SetEnabled(bool value) { enabled_ = value; }
TIEViewerGestures::TIEViewerGestures() {}
bool TIEViewerGestures::Enabled() const {
  return Pan.Enabled() || Zoom.Enabled() || LayerRotate.Enabled() || LayerMove.Enabled();
}
void TImageryView::DoImageryGesture(TIEGestureFlags, TIEGestureID, POINT, int32_t, int32_t, int32_t, uint32_t,
                                    bool&) {}
void TImageryView::SmoothScrollTo(int32_t x, int32_t y) { SetViewXY(x, y); }
void TImageryView::StopSmoothScroll() {}
void TImageryView::WMGestureNotify(TMessage& message) { TIEView::WndProc(message); }
void TImageryView::WMGesture(TMessage& message) { TIEView::WndProc(message); }

// ---- navigator: until imageryview_navigator.cpp ---------------------------------------------------

void TImageryView::SetNavigator(TImageryView* navigator, uint8_t) { navigator_ = navigator; }
void TImageryView::UpdateNavigator() {}
