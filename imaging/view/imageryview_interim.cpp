// Plain bodies of view operations whose own files have not landed yet, so
// that every virtual has a definition and the view works as a plain image
// view meanwhile. Each block names the file that replaces it: whoever lands
// that file deletes the block here (and this file with the last block).
#include <algorithm>

#include "imaging/view/imageryview.h"

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
