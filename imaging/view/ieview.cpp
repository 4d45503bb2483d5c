#include "imaging/view/ieview.h"

#include <algorithm>

#include "platform/forms/properties.h"

namespace {
const TEnumNames kBorderStyleNames{"bsNone", "bsSingle"};
}

const TClassInfo& TIEView::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<TIEView>("TIEView", &TCustomControl::StaticClassInfo(), [](TPublished<TIEView>& p) {
        p.Integer("Background", &TIEView::Background, &TIEView::SetBackground, &ColorIdents())
            .Boolean("Ctl3D", &TIEView::GetCtl3D, &TIEView::SetCtl3D)
            .Boolean("ParentCtl3D", &TIEView::ParentCtl3D, &TIEView::SetParentCtl3D)
            .Enumeration("BorderStyle", kBorderStyleNames, &TIEView::BorderStyle, &TIEView::SetBorderStyle);
      });
  return info;
}

TIEView::TIEView(TComponent* owner) : TCustomControl(owner) {
  TControlStyle style = ControlStyle();
  style.Include(csOpaque);
  style.Include(csAcceptsControls);
  style.Include(csReplicatable);
  style.Include(csNeedsBorderPaint);
  SetControlStyle(style);
  TWinControl::SetCtl3D(true);
}

TIEView::~TIEView() {
  while (!changeHandlers_.empty()) {
    TIEChangeHandlerEntry* entry = changeHandlers_.front();
    if (entry->Proc) entry->Proc(entry->Owner, this, 1);
    changeHandlers_.erase(changeHandlers_.begin());
    delete entry;
  }
}

void TIEView::SetDpiX(int32_t value) {
  if (value != 0) dpiX_ = value;
}

void TIEView::SetDpiY(int32_t value) {
  if (value != 0) dpiY_ = value;
}

void TIEView::SetDpi(int32_t dpiX, int32_t dpiY) {
  SetDpiX(dpiX);
  SetDpiY(dpiY);
}

void TIEView::NotifyBitmapChangeHandlers() {
  // A handler may register another one: walk by index.
  for (size_t i = 0; i < changeHandlers_.size(); ++i) {
    TIEChangeHandlerEntry* entry = changeHandlers_[i];
    if (entry && entry->Proc) entry->Proc(entry->Owner, this, 0);
  }
}

TIEChangeHandlerEntry* TIEView::RegisterBitmapChangeHandler(TIEBitmapChangeProc proc, void* owner) {
  auto* entry = new TIEChangeHandlerEntry{proc, owner};
  changeHandlers_.push_back(entry);
  return entry;
}

void TIEView::UnregisterBitmapChangeHandler(TIEChangeHandlerEntry* entry) {
  if (!entry) return;
  auto it = std::find(changeHandlers_.begin(), changeHandlers_.end(), entry);
  if (it == changeHandlers_.end()) return;
  changeHandlers_.erase(it);
  delete entry;
}

void TIEView::SetBorderStyle(TBorderStyle value) {
  if (value == borderStyle_) return;
  borderStyle_ = value;
  RecreateWnd();
}

void TIEView::SetCtl3D(bool value) {
  if (value == Ctl3D()) return;
  TWinControl::SetCtl3D(value);  // recreates the window
}

void TIEView::CreateParams(TCreateParams& params) {
  TCustomControl::CreateParams(params);
  if (borderStyle_ == bsSingle) {
    if (Ctl3D())
      params.ExStyle |= WS_EX_CLIENTEDGE;
    else
      params.Style |= WS_BORDER;
  }
  params.WindowClassStyle &= ~(CS_VREDRAW | CS_HREDRAW);
}
