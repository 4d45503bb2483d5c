// The navigator: a second view that shows the main view's whole image with a
// rectangle marking the part the main view shows.
#include <algorithm>
#include <cmath>

#include "imaging/view/imageryview.h"

namespace {

int32_t Round(double v) { return static_cast<int32_t>(std::nearbyint(v)); }

}  // namespace

void TImageryView::SetNavigator(TImageryView* navigator, uint8_t options) {
  if (navigator_) {
    TImageryView* old = navigator_;
    navigator_ = nullptr;
    old->OnSelectionChanging = nullptr;
    if (old->navigatorOptions_ & 1) old->OnMouseWheel = nullptr;
    old->SetExternalBitmap(nullptr);
    old->isNavigator_ = false;
    old->navigatorOf_ = nullptr;
  }
  if (!navigator) return;
  navigator_ = navigator;
  navigator->navigatorOf_ = this;
  navigator->isNavigator_ = true;
  navigator->SetEnableAlphaChannel(enableAlphaChannel_);
  navigator->SetAutoFit(true);
  navigator->SetMouseInteract({miSelect});
  navigator->SetSelectionBase(iesbBitmap);
  navigator->SetSelectionOptions({iesoMoveable, iesoCanScroll});
  if (!(options & 4)) navigator->SetExternalBitmap(ieBitmap_);
  navigator->OnSelectionChanging = [this](TObject*) { ScrollFromNavigator(); };
  navigator->navigatorOptions_ = options;
  if (options & 1)
    navigator->OnMouseWheel = [this](TObject*, TShiftState, int delta, POINT mousePos, bool& handled) {
      ZoomFromNavigatorWheel(delta, mousePos);
      handled = true;
    };
  UpdateNavigator();
}

void TImageryView::UpdateNavigator() {
  if (!navigator_ || navigatorSync_ || paintLock_ > 0) return;
  TIEBitmap* shown = navigator_->GetIEBitmap();
  if (ieBitmap_->GetWidth() == 0 || shown->GetWidth() == 0) return;
  navigatorSync_ = true;
  if (!(navigator_->navigatorOptions_ & 8)) Invalidate();
  const double r = static_cast<double>(shown->GetWidth()) / ieBitmap_->GetWidth();
  const int32_t left = Round(ClientToBitmapX(offsetX_) * r), top = Round(ClientToBitmapY(offsetY_) * r);
  const int32_t right = Round(ClientToBitmapX(offsetX_ + extentWidth_) * r);
  const int32_t bottom = Round(ClientToBitmapY(offsetY_ + extentHeight_) * r);
  navigator_->sel_.FixedWidth = right - left;
  navigator_->sel_.FixedHeight = bottom - top;
  navigator_->SetSelectionAspectRatio(0);
  navigator_->Select(left, top, right, bottom, 0);
  navigatorSync_ = false;
}

void TImageryView::ScrollFromNavigator() {
  if (!navigator_ || navigatorSync_) return;
  if ((navigator_->navigatorOptions_ & 0x10) && !navigator_->Focused()) return;
  TIEBitmap* shown = navigator_->GetIEBitmap();
  if (shown->GetWidth() == 0) return;
  navigatorSync_ = true;
  const double f = static_cast<double>(ieBitmap_->GetWidth()) / shown->GetWidth();
  SetViewXY(Round(navigator_->GetSelectionLeft() * f * ZoomX() / 100),
            Round(navigator_->GetSelectionTop() * f * ZoomY() / 100));
  navigatorSync_ = false;
}

void TImageryView::ZoomFromNavigatorWheel(int32_t delta, POINT screen) {
  const TIEMouseWheelParams& params = navigator_->MouseWheelParams();
  int32_t d = delta <= 0 ? 1 : -1;
  if (params.InvertDirection) d = -d;
  const double current = Zoom();
  double zoom = current;
  if (params.StepKind == 1) zoom = current + d * std::max(std::nearbyint(params.Step * current / 100), 1.0);
  else if (params.StepKind == 0) zoom = current + d * params.Step;
  if (zoom > current && OnZoomIn) WithUserSelectionBase([&] { OnZoomIn(this, zoom); });
  else if (zoom < current && OnZoomOut) WithUserSelectionBase([&] { OnZoomOut(this, zoom); });
  if (params.ZoomAtCursor) {
    const POINT client = ScreenToClient(screen);
    ZoomAt(client.x, client.y, false, zoom);
  } else {
    SetZoom(zoom);
  }
}
