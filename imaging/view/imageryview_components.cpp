// The components the image view owns: the I/O and processing components,
// made on first use and attached to the view's current bitmap, the events the
// view forwards to them and the messages their workers post; copying an
// image from another view or bitmap; the alpha channel of the view
// interface; frame playing of multi-image files.
#include "imaging/io/imageryio.h"
#include "imaging/processing/imageryproc_component.h"
#include "imaging/view/imageryview.h"
#include "platform/win/user_timers.h"

#include <list>

// ---- the view as the I/O component sees it -------------------------------------------------------

class TIEViewIOLink : public TIEIOViewLink {
public:
  explicit TIEViewIOLink(TImageryView& view) : view_(view) {}
  TIEBitmap* GetIEBitmap() override { return view_.GetIEBitmap(); }
  HWND HandleNeeded() override { return view_.HasParentWindow() ? view_.Handle() : nullptr; }
  bool HasParent() override { return view_.HasParentWindow(); }
  void Update() override { view_.Update(); }
  void ImageChange() override { view_.ImageChange(); }
  void SetDpi(int32_t dpiX, int32_t dpiY) override { view_.SetDpi(dpiX, dpiY); }
  TIEColor Background() override { return view_.Background(); }
  void SetBackground(TIEColor color) override { view_.SetBackground(color); }
  int32_t DpiX() override { return view_.DpiX(); }
  int32_t DpiY() override { return view_.DpiY(); }
  TBitmap* GetTBitmap() override { return view_.GetTBitmap(); }
  TComponent* Component() override { return &view_; }

  // The component hears of the view's bitmap changes through the view's own
  // handler list; the entry is its handle.
  void* RegisterChangeHandler(void (*proc)(void* io, int32_t flag), void* io) override {
    Target& target = handlers_.emplace_back(Target{proc, io, nullptr});
    target.entry = view_.RegisterBitmapChangeHandler(&Forward, &target);
    return target.entry;
  }
  void UnregisterChangeHandler(void* entry) override {
    view_.UnregisterBitmapChangeHandler(static_cast<TIEChangeHandlerEntry*>(entry));
    handlers_.remove_if([&](const Target& t) { return t.entry == entry; });
  }
  // The view's components go before the view: the components still attached
  // hear that the view is gone.
  ~TIEViewIOLink() override {
    while (!handlers_.empty()) {
      const Target target = handlers_.front();
      handlers_.pop_front();
      view_.UnregisterBitmapChangeHandler(target.entry);
      target.proc(target.io, 1);
    }
  }

private:
  struct Target {
    void (*proc)(void*, int32_t);
    void* io;
    TIEChangeHandlerEntry* entry;
  };
  static void Forward(void* target, TIEView*, int32_t flag) {
    auto* t = static_cast<Target*>(target);
    t->proc(t->io, flag);
  }

  TImageryView& view_;
  std::list<Target> handlers_;  // stable addresses
};

// ---- the view as the processing component sees it ---------------------------------------------

// Operations work on the current layer's bitmap within the view's
// selection; undo finds layers again by their identity.
class TIEViewProcLink : public TIEProcViewLink {
public:
  explicit TIEViewProcLink(TImageryView& view) : view_(view) {}
  TIEBitmap* GetIEBitmap() override { return view_.GetIEBitmap(); }
  TColor Background() override { return static_cast<TColor>(view_.Background()); }
  void SetBackground(TColor color) override { view_.SetBackground(static_cast<TIEColor>(color)); }
  void Update() override { view_.Update(); }
  void ImageChange() override { view_.ImageChange(); }
  TIEMask* SelectionMask() override { return view_.SelectionMask(); }
  bool Selected() override { return view_.Selected(); }
  const POINT* SelectionPoints(int32_t& count) override {
    count = view_.GetSelectionPointCount();
    return count > 0 ? view_.GetSelectionPoints() : nullptr;
  }

  bool CurrentLayerIdentity(GUID& identity) override {
    TIELayer* layer = view_.GetCurrentLayer();
    if (!layer) return false;
    identity = layer->Guid;
    return true;
  }

  TIEBitmap* LayerBitmap(const GUID& identity) override {
    TIELayer* layer = FindLayer(identity);
    return layer ? layer->Bitmap : nullptr;
  }

  bool SaveLayerRecords(TStream& stream, bool currentWithBitmap) override {
    const int32_t count = view_.GetLayerCount();
    if (count == 0) return false;
    for (int32_t i = 0; i < count; ++i)
      view_.GetLayer(i)->SaveToStream(stream, currentWithBitmap && i == view_.CurrentLayerIndex());
    return true;
  }

  bool LoadLayerRecord(const GUID& identity, TStream& stream) override {
    TIELayer* layer = FindLayer(identity);
    return layer && layer->LoadFromStream(stream);
  }

  // Of the view's own state only the selection is kept.
  bool SaveState(TIEUndoSource source, TStream& stream) override {
    if (source != ieuSelection) return false;
    view_.SaveSelectionToStream(stream);
    return true;
  }

  void LoadState(TIEUndoSource source, TStream& stream) override {
    if (source == ieuSelection) view_.LoadSelectionFromStream(stream, 0);
  }

private:
  TImageryView& view_;

  TIELayer* FindLayer(const GUID& identity) {
    for (int32_t i = 0; i < view_.GetLayerCount(); ++i)
      if (view_.GetLayer(i)->Guid == identity) return view_.GetLayer(i);
    return nullptr;
  }
};

TIEViewIOLink* TImageryView::IOLink() {
  if (!ioLink_) ioLink_ = new TIEViewIOLink(*this);
  return ioLink_;
}

TIEIOViewLink* TImageryView::IOViewLink() { return IOLink(); }

TImageryIO* TImageryView::GetIO() {
  if (io_) return io_;
  io_ = new TImageryIO(this);
  // The component follows the view's bitmap through its own change handler.
  io_->SetAttachedImagery(IOLink());
  io_->OnProgress = onProgress_;
  io_->OnFinishWork = onFinishWork_;
  io_->OnAcquireBitmap = onAcquireBitmap_;
  return io_;
}

TImageryProc* TImageryView::GetProc() {
  if (proc_) return proc_;
  proc_ = new TImageryProc(this);
  if (!procLink_) procLink_ = new TIEViewProcLink(*this);
  proc_->SetAttachedImagery(procLink_);
  proc_->OnProgress = onProgress_;
  proc_->OnFinishWork = onFinishWork_;
  proc_->OnSaveUndo = onSaveUndo_;
  return proc_;
}

void TImageryView::FreeComponents() {
  delete io_;
  io_ = nullptr;
  if (proc_) proc_->SetAttachedImagery(nullptr);
  delete proc_;
  proc_ = nullptr;
  delete ioLink_;
  ioLink_ = nullptr;
  delete procLink_;
  procLink_ = nullptr;
}

void TImageryView::SetOnProgress(TIEProgressEventView event) {
  onProgress_ = std::move(event);
  if (io_) io_->OnProgress = onProgress_;
  if (proc_) proc_->OnProgress = onProgress_;
}

void TImageryView::SetOnFinishWork(TNotifyEvent event) {
  onFinishWork_ = std::move(event);
  if (io_) io_->OnFinishWork = onFinishWork_;
  if (proc_) proc_->OnFinishWork = onFinishWork_;
}

void TImageryView::SetOnAcquireBitmap(TIEAcquireBitmapEvent event) {
  onAcquireBitmap_ = std::move(event);
  if (io_) io_->OnAcquireBitmap = onAcquireBitmap_;
}

void TImageryView::SetOnSaveUndo(TIESaveUndoEventView event) {
  onSaveUndo_ = std::move(event);
  if (proc_) proc_->OnSaveUndo = onSaveUndo_;
}

// ---- image content ------------------------------------------------------------------------------

void TImageryView::ImageChange() {
  if (OnImageChange) OnImageChange(this);
  StartPlayTimer();
  if (updateReason_ != ieurBackground) imageChanged_ = true;
}

void TImageryView::AssignView(TImageryView& source) {
  if (source.navigator_ == this) source.SetNavigator(nullptr, 0);
  SetBackground(source.Background());
  GetIO()->Params().Assign(source.GetIO()->Params());
  // After the parameters, whose resolution setters reach this view too.
  SetDpi(source.DpiX(), source.DpiY());
  ClearLayers();
  for (int32_t i = 0; i < source.GetLayerCount(); ++i) {
    TIELayer* target = i == 0 ? GetLayer(0) : GetLayer(AddLayer());
    target->CopyFrom(*source.GetLayer(i));
  }
  SetCurrentLayer(source.CurrentLayerIndex());
}

void TImageryView::AssignImage(TObject* source) {
  if (!source) return FillWithBackground();
  if (auto* view = dynamic_cast<TImageryView*>(source)) {
    AssignView(*view);
  } else if (auto* bitmap = dynamic_cast<TBitmap*>(source)) {
    ieBitmap_->CopyFromTBitmap(bitmap);
    const TIEPixelFormat format = ieBitmap_->GetPixelFormat();
    if (format != ie1g && format != ie24RGB) ieBitmap_->ConvertToPixelFormat(ie24RGB);
  } else if (auto* image = dynamic_cast<TIEBitmap*>(source)) {
    ieBitmap_->Assign(image);
  } else {
    return;
  }
  Update();
  ImageChange();
}

// ---- alpha channel of the view interface --------------------------------------------------------

TIEBitmap* TImageryView::GetAlphaChannel() { return ieBitmap_->GetAlphaChannel(); }

bool TImageryView::HasAlphaChannel() { return ieBitmap_->HasAlphaChannel(); }

// ---- frame playing ----------------------------------------------------------------------------------

void TImageryView::SetPlaying(bool value) {
  if (value == playing_) return;
  playing_ = value;
  if (playing_)
    StartPlayTimer();
  else
    StopPlayTimer();
}

void TImageryView::StartPlayTimer() {
  StopPlayTimer();
  if (!playing_) return;
  int32_t delay = 0;
  if (io_ && io_->Params().IMAGECOUNT >= 2) {
    delay = io_->Params().GetImageDelayTime();
    if (delay <= 0) delay = 100;
  }
  if (delay > 0 && HasParentWindow()) playTimer_ = SetTimer(Handle(), 1, static_cast<UINT>(delay), nullptr);
}

void TImageryView::StopPlayTimer() {
  if (playTimer_ == 0) return;
  if (HandleAllocated()) KillTimer(Handle(), playTimer_);
  playTimer_ = 0;
}

void TImageryView::WMTimer(TMessage& message) {
  if (message.WParam != 1 || playTimer_ == 0) return TIEView::WndProc(message);
  StopPlayTimer();
  if (!io_) return;
  TIOParamsVals& params = io_->Params();
  const std::string fileName = params.FILENAME;
  if (params.IMAGEINDEX < params.IMAGECOUNT - 1) {
    io_->SeekImage(2, fileName);
  } else {
    io_->SeekImage(0, fileName);
    // Through the setter: loading the first frame restarted the timer.
    if (!PlayLoop) return SetPlaying(false);
  }
  if (!io_->Aborting()) StartPlayTimer();
}

// ---- transitions -------------------------------------------------------------------

void TImageryView::EnsureTransitionEffects() {
  if (!transition_) transition_ = new TIETransitionEffects(this);
}

void TImageryView::StopTransition() {
  if (transition_) transition_->Stop();
}

void TImageryView::SetOnTransitionStop(TNotifyEvent event) {
  EnsureTransitionEffects();
  transition_->OnTransitionStop = std::move(event);
}

void TImageryView::SetOnTransitionStep(TIETransitionStepEvent event) {
  EnsureTransitionEffects();
  transition_->OnTransitionStep = std::move(event);
}

void TImageryView::SetOnTransitionPaint(TIEOnTransitionPaint event) {
  EnsureTransitionEffects();
  transition_->SetOnTransitionPaint(std::move(event));
}

TNotifyEvent TImageryView::GetOnTransitionStop() const {
  return transition_ ? transition_->OnTransitionStop : TNotifyEvent();
}

TIETransitionStepEvent TImageryView::GetOnTransitionStep() const {
  return transition_ ? transition_->OnTransitionStep : TIETransitionStepEvent();
}

TIEOnTransitionPaint TImageryView::GetOnTransitionPaint() const {
  return transition_ ? transition_->OnTransitionPaint : TIEOnTransitionPaint();
}
