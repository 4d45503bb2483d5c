// The I/O component's parameter previews: the parameters preview dialog
// opened on a copy of the component's image; see imageryio.h.
#include <memory>

#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/io/imageryio.h"
#include "imaging/io/iopreviews.h"
#include "imaging/view/imageryview.h"
#include "platform/forms/graphics.h"

void TImageryIO::SetPreviewFont(const TFont* font) { previewFont_->Assign(font); }

void TImageryIO::SetBilevelMethod(uint8_t value) {
  if (bitmap_) bitmap_->SetBilevelMethod(value);
  bilevelMethod_ = value;
}

bool TImageryIO::DoPreviews(uint16_t pages) {
  bool handled = false;
  if (OnDoPreviews) OnDoPreviews(this, handled);
  if (handled) return true;
  if (!BitmapCheck()) return false;

  std::unique_ptr<TfIOPreviews> dialog(new TfIOPreviews(this));
  dialog->DefaultLockPreview = PreviewsParams.Contains(ioppDefaultLockPreview);
  dialog->btnApply->SetVisible(PreviewsParams.Contains(ioppApplyButton));
  dialog->EditedParams = params_.get();
  dialog->SetSimplified(SimplifiedParamsDialogs);
  dialog->BilevelMethod = bilevelMethod_;
  dialog->LocalizeCaptions();
  dialog->SetFont(PreviewFontEnabled ? previewFont_.get() : IEGetDefaultFont());

  // The dialog shows and encodes its own copy, in 24-bit RGB unless it is
  // bilevel: the component's image is never converted.
  TIEBitmap* shown = dialog->SourceBitmap();
  shown->Assign(bitmap_);
  if (shown->GetPixelFormat() != ie24RGB && shown->GetPixelFormat() != ie1g) shown->ConvertToPixelFormat(ie24RGB);
  if (auto* view = dynamic_cast<TImageryView*>(view_)) {
    dialog->ienSource->MouseWheelParams().Assign(view->MouseWheelParams());
    dialog->ienPreview->MouseWheelParams().Assign(view->MouseWheelParams());
  }
  dialog->ienSource->Update();
  dialog->ienPreview->Blank();

  bool confirmed = false;
  if (dialog->SetPages(pages)) {
    if (OnIOPreview) OnIOPreview(this, dialog.get());
    confirmed = dialog->ShowModal() == mrOk;
  }
  dialog.reset();
  ViewUpdate();
  return confirmed;
}
