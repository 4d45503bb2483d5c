// The multi-image I/O component; see iemio.h.
#include "imaging/io/iemio.h"

#include <algorithm>

#include "imaging/view/ieview.h"
#include "platform/forms/graphics.h"

const TClassInfo& TImageryMIO::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<TImageryMIO>("TImageryMIO", &TComponent::StaticClassInfo(), [](TPublished<TImageryMIO>& p) {
        using C = TImageryMIO;
        p.Boolean("SimplifiedParamsDialogs", &C::SimplifiedParamsDialogs,
                  [](C& m, bool v) { m.SimplifiedParamsDialogs = v; })
            .Object("PreviewFont", &C::PreviewFont)
            .Boolean("PreviewFontEnabled", &C::PreviewFontEnabled, [](C& m, bool v) { m.PreviewFontEnabled = v; })
            .Boolean("AutoAdjustDPI", &C::AutoAdjustDPI, [](C& m, bool v) { m.AutoAdjustDPI = v; })
            .Boolean("FilteredAdjustDPI", &C::FilteredAdjustDPI, [](C& m, bool v) { m.FilteredAdjustDPI = v; })
            .Event("OnDoPreviews", &C::OnDoPreviews)
            .Event("OnProgress", &C::OnProgress)
            .Event("OnAcquireBitmap", &C::OnAcquireBitmap)
            .Event("OnAcquireClose", &C::OnAcquireClose)
            .Event("OnAfterAcquireBitmap", &C::OnAfterAcquireBitmap)
            .Event("OnFinishWork", &C::OnFinishWork)
            .String("ImageryVersion", [](const C&) { return C::ImageryVersion(); }, [](C&, const std::string&) {});
      });
  return info;
}

TImageryMIO::TImageryMIO(TComponent* owner) : TComponent(owner), previewFont_(std::make_unique<TFont>()) {}

TImageryMIO::~TImageryMIO() {
  Detach();
  while (!params_.empty()) params_.pop_back();
}

// ---- attachment ------------------------------------------------------------------------

void TImageryMIO::Detach() {
  if (!attachedMView_) return;
  attachedMView_->UnregisterBitmapChangeHandler(changeEntry_);
  RemoveFreeNotification(attachedMView_);
  attachedMView_ = nullptr;
  changeEntry_ = nullptr;
}

void TImageryMIO::SetAttachedMView(TIEView* view) {
  Detach();
  attachedMView_ = view;
  if (!view) return;
  view->FreeNotification(this);
  changeEntry_ = view->RegisterBitmapChangeHandler(&TImageryMIO::ViewerBitmapChanged, this);
  auto* images = dynamic_cast<TIEMViewImages*>(view);
  const int32_t count = images ? images->ImageCount() : 0;
  while (ParamsCount() < count) InsertParams(ParamsCount());
}

void TImageryMIO::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  // A viewer being destroyed has already told the change handler, which
  // forgot it; one still attached here is alive and leaves this component.
  if (operation == opRemove && component && component == attachedMView_) Detach();
}

void TImageryMIO::ViewerBitmapChanged(void* owner, TIEView* viewer, int32_t flag) {
  auto* self = static_cast<TImageryMIO*>(owner);
  if (flag == 1) {
    // The viewer frees the entry itself right after this call.
    self->attachedMView_ = nullptr;
    self->changeEntry_ = nullptr;
    return;
  }
  auto* images = dynamic_cast<TIEMViewImages*>(viewer);
  if (!images) return;
  self->ApplyViewerChange(TIEMViewChange{images->GetLastChangeKind(), images->GetLastChangeIndex(),
                                         images->GetLastChangeTarget(), images->GetLastChangeIndexes()});
}

// ---- parameter sets --------------------------------------------------------------------

TIOParamsVals* TImageryMIO::GetParams(int32_t index) const {
  if (index < 0 || index >= ParamsCount()) return nullptr;
  return params_[index].get();
}

void TImageryMIO::ApplyViewerChange(const TIEMViewChange& change) {
  switch (change.Kind) {
    case iemcInsert: InsertParams(change.Index); break;
    case iemcDelete: DeleteParams(change.Index); break;
    case iemcMove: MoveParams(change.Index, change.Target); break;
    case iemcExchange: ExchangeParams(change.Index, change.Target); break;
    case iemcMoveGroup: MoveParamsGroup(change.Indexes, change.Target); break;
    default: break;
  }
}

void TImageryMIO::InsertParams(int32_t index) {
  const int32_t count = ParamsCount();
  index = std::clamp(index, 0, count);
  auto params = std::make_unique<TIOParamsVals>(nullptr);
  // The new image is encoded as its neighbour: the one now at index, or the last.
  if (count > 0) params->AssignCompressionInfo(*params_[std::min(index, count - 1)]);
  params_.insert(params_.begin() + index, std::move(params));
}

void TImageryMIO::DeleteParams(int32_t index) {
  if (index < 0 || index >= ParamsCount()) return;
  params_.erase(params_.begin() + index);
}

void TImageryMIO::MoveParams(int32_t index, int32_t target) {
  const int32_t count = ParamsCount();
  if (index < 0 || index >= count || target < 0 || target == index) return;
  std::unique_ptr<TIOParamsVals> moved = std::move(params_[index]);
  params_.erase(params_.begin() + index);
  params_.insert(params_.begin() + std::min(target, count - 1), std::move(moved));
}

void TImageryMIO::ExchangeParams(int32_t index, int32_t other) {
  const int32_t count = ParamsCount();
  if (index < 0 || index >= count || other < 0 || other >= count) return;
  std::swap(params_[index], params_[other]);
}

void TImageryMIO::MoveParamsGroup(const std::vector<int32_t>& indexes, int32_t target) {
  // Each set is found by identity, its place left empty and the set put at
  // the target, which then advances; the empty places go at the end.
  std::vector<TIOParamsVals*> snapshot;
  for (const auto& p : params_) snapshot.push_back(p.get());
  for (int32_t index : indexes) {
    if (index < 0 || index >= static_cast<int32_t>(snapshot.size())) continue;
    auto place = std::find_if(params_.begin(), params_.end(),
                              [&](const std::unique_ptr<TIOParamsVals>& p) { return p.get() == snapshot[index]; });
    if (place == params_.end()) continue;
    std::unique_ptr<TIOParamsVals> moved = std::move(*place);
    const int32_t at = std::clamp(target, 0, ParamsCount());
    params_.insert(params_.begin() + at, std::move(moved));
    ++target;
  }
  for (int32_t i = ParamsCount() - 1; i >= 0; --i)
    if (!params_[i]) params_.erase(params_.begin() + i);
}

// ---- previews, acquisition and work ---------------------------------------------------

bool TImageryMIO::DoPreviews(int32_t index, uint16_t) {
  bool handled = false;
  if (OnDoPreviews) OnDoPreviews(this, handled);
  // -9 names the viewer's selected image: without a viewer there is none.
  if (index == -9 && !attachedMView_) return false;
  if (handled) return true;
  // The dialog edits an image of the thumbnail viewer (-1 and -7: all of
  // them): with no viewer there is nothing to show.
  return false;
}

void TImageryMIO::DoAcquireBitmap(TIEBitmap* bitmap, TIOParamsVals*&, int32_t dpiX, int32_t dpiY) {
  bool handled = false;
  if (OnAcquireBitmap) OnAcquireBitmap(this, bitmap, dpiX, dpiY, handled);
  // An image nobody handled goes into the thumbnail viewer, which places it;
  // without a viewer it is not taken.
}

void TImageryMIO::DoAcquireClose() {
  acquiring_ = 0;
  if (OnAcquireClose) OnAcquireClose(this);
}

void TImageryMIO::DoFinishWork() {
  if (OnProgress) OnProgress(this, 100);
  if (OnFinishWork) OnFinishWork(this);
}

void TImageryMIO::SetAborting(bool value) { aborting_ = value; }

void TImageryMIO::SetPreviewFont(const TFont* font) { previewFont_->Assign(font); }
