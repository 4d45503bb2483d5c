#include "services/droptarget.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <string>

#include "platform/forms/clipbrd.h"
#include "platform/forms/forms.h"
#include "platform/forms/properties.h"
#include "platform/rtl/threads.h"
#include "platform/win/comimpl.h"
#include "platform/win/user_messages.h"
#include "platform/win/user_scroll.h"
#include "platform/win/user_system.h"
#include "platform/win/user_windows.h"
#include "platform/win/winuser_consts.h"
#include "services/dragdropformats.h"

// ---- control list -------------------------------------------------------------------

void TControlList::Insert(int index, TWinControl* control) {
  items_.insert(items_.begin() + std::clamp(index, 0, Count()), control);
}

int TControlList::IndexOf(const TWinControl* control) const {
  const auto at = std::find(items_.begin(), items_.end(), control);
  return at == items_.end() ? -1 : static_cast<int>(at - items_.begin());
}

void TControlList::Remove(const TWinControl* control) {
  if (const int index = IndexOf(control); index >= 0) items_.erase(items_.begin() + index);
}

// ---- drop target --------------------------------------------------------------------

// The interface the window layer calls; it forwards to its component.
class TDropTargetSink final : public ComObject<IDropTarget, IID_IDropTarget> {
public:
  explicit TDropTargetSink(TCustomDropTarget* owner) : owner_(owner) {}
  void Detach() { owner_ = nullptr; }
  HRESULT DragEnter(IDataObject* data, DWORD keys, POINTL point, DWORD* effect) override {
    return owner_ ? owner_->DragEnter(data, keys, point, *effect) : E_UNEXPECTED;
  }
  HRESULT DragOver(DWORD keys, POINTL point, DWORD* effect) override {
    return owner_ ? owner_->DragOver(keys, point, *effect) : E_UNEXPECTED;
  }
  HRESULT DragLeave() override { return owner_ ? owner_->DragLeave() : E_UNEXPECTED; }
  HRESULT Drop(IDataObject*, DWORD keys, POINTL point, DWORD* effect) override {
    return owner_ ? owner_->Drop(keys, point, *effect) : E_UNEXPECTED;
  }

private:
  TCustomDropTarget* owner_;
};

namespace {

void RegisterWindow(HWND window, IDropTarget* target) {
  OleCheck(RegisterDragDrop(window, target), "The control cannot take drops");
}

}  // namespace

// A hidden child window of a registered control: as it is made it registers
// its parent's window, as it goes it revokes it, so the registration follows
// the control when its window is made again.
class TWinControlProxy final : public TWinControl {
public:
  TWinControlProxy(TCustomDropTarget* owner, TWinControl* control) : TWinControl(owner), target_(owner) {
    SetParent(control);
  }
  ~TWinControlProxy() override { DestroyHandle(); }  // while this class's DestroyWnd still runs

protected:
  void CreateParams(TCreateParams& params) override {
    TWinControl::CreateParams(params);
    params.ExStyle |= WS_EX_TRANSPARENT;
  }
  void CreateWnd() override {
    TWinControl::CreateWnd();
    RegisterWindow(Parent()->Handle(), target_->DropTarget());
    SetVisible(false);
    SetWidth(0);
  }
  void DestroyWnd() override {
    if (Parent() && Parent()->HandleAllocated()) RevokeDragDrop(Parent()->Handle());
    SetVisible(true);
    TWinControl::DestroyWnd();
  }

private:
  TCustomDropTarget* target_;
};

// What a stored form may set, in the order it writes them.
const TClassInfo& TCustomDropTarget::StaticClassInfo() {
  static const TEnumNames dragTypeNames = {"dtCopy", "dtMove", "dtLink"};
  static const TClassInfo info = PublishClass<TCustomDropTarget>(
      "TCustomDropTarget", &TComponent::StaticClassInfo(), [](TPublished<TCustomDropTarget>& p) {
        using T = TCustomDropTarget;
        const auto flag = [&p](const char* name, bool T::*field) {
          p.Boolean(name, [field](const T& t) { return t.*field; }, [field](T& t, bool v) { t.*field = v; });
        };
        p.SetOf("DragTypes", dragTypeNames, [](const T& t) { return t.DragTypes; },
                [](T& t, TDragTypes types) { t.DragTypes = types; });
        flag("GetDataOnEnter", &T::GetDataOnEnter);
        p.Event("OnEnter", &T::OnEnter)
            .Event("OnDragOver", &T::OnDragOver)
            .Event("OnLeave", &T::OnLeave)
            .Event("OnDrop", &T::OnDrop)
            .Event("OnGetDropEffect", &T::OnGetDropEffect)
            .Event("OnScroll", &T::OnScroll)
            .Event("OnStartAsyncTransfer", &T::OnStartAsyncTransfer)
            .Event("OnEndAsyncTransfer", &T::OnEndAsyncTransfer)
            .Boolean("ShowImage", &T::ShowImage, &T::SetShowImage)
            .Reference<TWinControl>("Target", &T::Target, &T::SetTarget);
        flag("MultiTarget", &T::MultiTarget);
        flag("AutoRegister", &T::AutoRegister);
        flag("AutoScroll", &T::AutoScroll);
        flag("OptimizedMove", &T::OptimizedMove);
        flag("AllowAsyncTransfer", &T::AllowAsyncTransfer);
      });
  return info;
}

TCustomDropTarget::TCustomDropTarget(TComponent* owner)
    : TDragDropComponent(owner), sink_(new TDropTargetSink(this)), timer_(new TTimer(this)) {
  sink_->Release();  // the ComPtr holds the only reference
  timer_->SetEnabled(false);
  timer_->SetOnTimer([this](TObject*) { DoAutoScroll(); });
}

TCustomDropTarget::~TCustomDropTarget() {
  // A transfer thread works with this target until it has ended.
  while (transferring_) CheckSynchronize(1000);
  image_ = nullptr;
  data_ = nullptr;
  Unregister(nullptr);
  sink_->Detach();
}

IDropTarget* TCustomDropTarget::DropTarget() const { return sink_.Get(); }

// ---- registration

void TCustomDropTarget::Register(TWinControl* control) {
  if (control && targets_.IndexOf(control) >= 0) return;
  if (!MultiTarget && !ComponentState().Contains(csLoading)) Unregister(nullptr);
  if (!control) return;
  int after = -1;  // the last entry that holds the control inside it
  for (int i = 0; i < targets_.Count(); ++i)
    if (targets_.Items(i)->ContainsControl(control)) after = i;
  if (after >= 0)
    targets_.Insert(after + 1, control);
  else
    targets_.Add(control);
  control->FreeNotification(this);
  try {
    if (AutoRegister)
      new TWinControlProxy(this, control);
    else
      RegisterWindow(control->Handle(), sink_.Get());
  } catch (...) {
    targets_.Remove(control);
    throw;
  }
}

void TCustomDropTarget::Unregister(TWinControl* control) {
  if (!control) {
    while (targets_.Count() > 0) UnregisterControl(targets_.Items(targets_.Count() - 1));
    return;
  }
  if (targets_.IndexOf(control) < 0) return;
  UnregisterControl(control);
}

void TCustomDropTarget::UnregisterControl(TWinControl* control) {
  if (control == target_) target_ = nullptr;
  targets_.Remove(control);
  control->RemoveFreeNotification(this);
  if (!AutoRegister) {
    if (control->HandleAllocated()) RevokeDragDrop(control->Handle());
    return;
  }
  for (int i = control->ControlCount() - 1; i >= 0; --i)
    if (auto* proxy = dynamic_cast<TWinControlProxy*>(control->Controls(i)); proxy && proxy->Owner() == this) {
      delete proxy;  // leaves its parent and revokes the window
      return;
    }
}

void TCustomDropTarget::SetTarget(TWinControl* target) {
  if (target == target_) return;
  if (MultiTarget && !ComponentState().Contains(csLoading)) Unregister(nullptr);
  Register(target);
}

void TCustomDropTarget::Notification(TComponent* component, TOperation operation) {
  TDragDropComponent::Notification(component, operation);
  if (operation != opRemove) return;
  // Compared as components: a control going away is one no longer.
  for (int i = targets_.Count() - 1; i >= 0; --i) {
    TWinControl* control = targets_.Items(i);
    if (static_cast<TComponent*>(control) != component) continue;
    if (control == target_) target_ = nullptr;
    targets_.Remove(control);  // its window goes with it
  }
}

TWinControl* TCustomDropTarget::FindTarget(POINT screen) const {
  TWinControl* control = TWinControl::FindControl(WindowFromPoint(screen));
  while (control && targets_.IndexOf(control) < 0) control = control->Parent();
  return control;
}

POINTL TCustomDropTarget::ClientPoint(POINTL screen) const {
  if (!target_) return screen;
  const POINT client = target_->ScreenToClient(POINT{screen.x, screen.y});
  return POINTL{client.x, client.y};
}

// ---- events

void TCustomDropTarget::DoEnter(TShiftState shift, POINTL point, DWORD& effect) {
  if (OnEnter) OnEnter(this, shift, point, effect);
}

void TCustomDropTarget::DoDragOver(TShiftState shift, POINTL point, DWORD& effect) {
  if (OnDragOver) OnDragOver(this, shift, point, effect);
}

void TCustomDropTarget::DoDrop(TShiftState shift, POINTL point, DWORD& effect) {
  // A handler that fails refuses the drop: its exception ends here, not in
  // the window layer or the source's drag loop.
  try {
    if (OnDrop) OnDrop(this, shift, point, effect);
  } catch (...) {
    effect = DROPEFFECT_NONE;
  }
  if (effect == DROPEFFECT_NONE) return;
  if (OptimizedMove && effect == DROPEFFECT_MOVE) effect = DROPEFFECT_COPY;
  SetPerformedDropEffect(effect);
}

void TCustomDropTarget::DoLeave() {
  if (OnLeave) OnLeave(this);
}

void TCustomDropTarget::DoScroll(POINTL, TScrollDirections& scroll, int& interval) {
  if (OnScroll) OnScroll(this, lastPoint_, scroll, interval);
}

bool TCustomDropTarget::GetData(DWORD effect) {
  ClearData();
  if (const std::optional<bool> started = AllowAsyncTransfer ? StartAsyncTransfer(effect) : std::nullopt)
    return *started;
  return DoGetData();
}

// ---- asynchronous transfer

namespace {

// The operation of a source that hands its data over asynchronously; none
// when it does not offer that.
ComPtr<IAsyncOperation> AsyncOperationOf(IDataObject* data) {
  IAsyncOperation* operation = nullptr;
  if (!data || FAILED(data->QueryInterface(IID_IAsyncOperation, reinterpret_cast<void**>(&operation))) || !operation)
    return {};
  ComPtr<IAsyncOperation> held = ComPtr<IAsyncOperation>::Attach(operation);
  BOOL async = FALSE;
  return SUCCEEDED(held->GetAsyncMode(&async)) && async ? held : ComPtr<IAsyncOperation>();
}

IStream* MarshalledInterface(REFIID riid, IUnknown* object) {
  IStream* stream = nullptr;
  OleCheck(CoMarshalInterThreadInterfaceInStream(riid, object, &stream), "The drop cannot be handed to a thread");
  return stream;
}

template <class I>
ComPtr<I> UnmarshalledInterface(IStream*& stream, REFIID riid) {
  I* object = nullptr;
  OleCheck(CoGetInterfaceAndReleaseStream(std::exchange(stream, nullptr), riid, reinterpret_cast<void**>(&object)),
           "The drop cannot be taken over by its thread");
  return ComPtr<I>::Attach(object);
}

}  // namespace

// Reads the dropped data and runs the drop on a thread of its own, through
// its own references to the source's data object and operation; tells the
// source the outcome and the effect, and frees itself.
class TDropTargetTransferThread final : public TThread {
public:
  TDropTargetTransferThread(TCustomDropTarget* target, DWORD effect, IDataObject* data, IAsyncOperation* operation)
      : target_(target), effect_(effect) {
    FreeOnTerminate = true;
    OnTerminate = [target](TThread*) { target->DoEndAsyncTransfer(); };
    dataStream_ = MarshalledInterface(IID_IDataObject, data);
    operationStream_ = MarshalledInterface(IID_IAsyncOperation, operation);
  }
  ~TDropTargetTransferThread() override {
    for (IStream* stream : {dataStream_, operationStream_})
      if (stream) stream->Release();
  }

protected:
  void Execute() override {
    CoInitialize(nullptr);
    ComPtr<IDataObject> data;
    ComPtr<IAsyncOperation> operation;
    HRESULT outcome = S_OK;
    DWORD effect = effect_;
    try {
      data = UnmarshalledInterface<IDataObject>(dataStream_, IID_IDataObject);
      operation = UnmarshalledInterface<IAsyncOperation>(operationStream_, IID_IAsyncOperation);
      target_->data_ = data;
      target_->DoGetData();
      target_->DoDrop({}, POINTL{0, 0}, effect);
    } catch (const EOleSysError& e) {
      outcome = e.ErrorCode;
      effect = DROPEFFECT_NONE;
    } catch (...) {
      outcome = E_UNEXPECTED;
      effect = DROPEFFECT_NONE;
    }
    if (operation) operation->EndOperation(outcome, nullptr, effect);
    target_->data_ = nullptr;
    data = nullptr;
    operation = nullptr;
    CoUninitialize();
  }

private:
  TCustomDropTarget* target_;
  DWORD effect_;
  IStream* dataStream_ = nullptr;
  IStream* operationStream_ = nullptr;
};

std::optional<bool> TCustomDropTarget::StartAsyncTransfer(DWORD effect) {
  const ComPtr<IAsyncOperation> operation = AsyncOperationOf(data_.Get());
  if (!operation || FAILED(operation->StartOperation(nullptr))) return std::nullopt;
  try {
    if (OnStartAsyncTransfer) OnStartAsyncTransfer(this);
    transferring_ = true;
    std::unique_ptr<TDropTargetTransferThread> thread(
        new TDropTargetTransferThread(this, effect, data_.Get(), operation.Get()));
    thread->Start();
    thread.release();  // frees itself when it ends
    return true;
  } catch (...) {
    operation->EndOperation(E_UNEXPECTED, nullptr, DROPEFFECT_NONE);
    transferring_ = false;
    return false;
  }
}

void TCustomDropTarget::DoEndAsyncTransfer() {
  transferring_ = false;
  ClearData();
  data_ = nullptr;
  target_ = nullptr;
  if (OnEndAsyncTransfer) OnEndAsyncTransfer(this);
}

DWORD TCustomDropTarget::GetValidDropEffect(TShiftState shift, POINTL point, DWORD offered) {
  DWORD effect = offered & DragTypesToDropEffect(DragTypes);
  if (!OnGetDropEffect) effect = DropEffectFromShiftState(shift, effect, true);
  if (AutoScroll && (vertBar_ || horzBar_)) {
    if (Scrolls(point))
      effect |= DROPEFFECT_SCROLL;
    else
      effect &= ~DROPEFFECT_SCROLL;
  }
  if (OnGetDropEffect) OnGetDropEffect(this, shift, point, effect);
  return effect;
}

// ---- the window layer's calls

HRESULT TCustomDropTarget::DragEnter(IDataObject* data, DWORD keys, POINTL point, DWORD& effect) {
  try {
    ClearData();  // refuses while a transfer thread reads
    data_ = ComPtr<IDataObject>(data);
    target_ = FindTarget(POINT{point.x, point.y});
    const POINTL client = ClientPoint(point);
    if (target_) {
      lastPoint_ = client;
    } else {
      showImage_ = false;
      AutoScroll = false;
    }
    CheckScrollSpeed(POINT{point.x, point.y}, true);
    if (data_ && HasValidFormats(data_.Get())) {
      FindScrollBars();
      if (GetDataOnEnter && !GetData(effect)) {
        data_ = nullptr;
        effect = DROPEFFECT_NONE;
        return DV_E_CLIPFORMAT;
      }
      const TShiftState shift = KeysToShiftState(keys);
      effect = GetValidDropEffect(shift, client, effect);
      DoEnter(shift, client, effect);
      if ((effect & ~DROPEFFECT_SCROLL) == DROPEFFECT_NONE) data_ = nullptr;  // refused for the whole drag
    } else {
      data_ = nullptr;
      effect = DROPEFFECT_NONE;
    }
    if (showImage_) ImageEnter(data, point, effect);
    return S_OK;
  } catch (...) {
    ReleaseData();
    effect = DROPEFFECT_NONE;
    return E_UNEXPECTED;
  }
}

HRESULT TCustomDropTarget::DragOver(DWORD keys, POINTL point, DWORD& effect) {
  if (!target_) {
    effect = DROPEFFECT_NONE;
    return E_UNEXPECTED;
  }
  if (transferring_) {  // the drag entered during a transfer: refused
    effect = DROPEFFECT_NONE;
    return DV_E_CLIPFORMAT;
  }
  try {
    const TShiftState shift = KeysToShiftState(keys);
    const POINTL client = ClientPoint(point);
    effect = GetValidDropEffect(shift, client, effect);
    HRESULT result = DV_E_CLIPFORMAT;
    if (data_) {
      DoDragOver(shift, client, effect);
      result = S_OK;
    } else {
      effect = DROPEFFECT_NONE;
    }
    const bool slow = CheckScrollSpeed(POINT{point.x, point.y}, false);
    if (effect & DROPEFFECT_SCROLL) {
      if (!timer_->Enabled()) timer_->SetInterval(ScrollStartDelay);
      timer_->SetEnabled(slow);
    } else {
      timer_->SetEnabled(false);
    }
    if (image_) {
      POINT screen{point.x, point.y};
      OleCheck(image_->DragOver(&screen, effect), "The drag image cannot follow the drag");
    }
    lastPoint_ = client;
    return result;
  } catch (...) {
    ReleaseData();
    effect = DROPEFFECT_NONE;
    return E_UNEXPECTED;
  }
}

HRESULT TCustomDropTarget::DragLeave() {
  try {
    ClearData();
    timer_->SetEnabled(false);
    data_ = nullptr;
    if (image_) image_->DragLeave();
    struct Forget {
      TCustomDropTarget* self;
      ~Forget() {
        self->target_ = nullptr;
        self->image_ = nullptr;
      }
    } forget{this};
    DoLeave();
    return S_OK;
  } catch (...) {
    ReleaseData();
    return E_UNEXPECTED;
  }
}

HRESULT TCustomDropTarget::Drop(DWORD keys, POINTL point, DWORD& effect) {
  timer_->SetEnabled(false);
  // A drag that entered during a transfer holds no data of its own.
  const ComPtr<IDataObject> held = transferring_ ? ComPtr<IDataObject>() : data_;
  struct Finish {
    TCustomDropTarget* self;
    ~Finish() {
      self->image_ = nullptr;
      if (self->transferring_) return;  // the transfer thread ends the drop
      try {
        self->ClearData();
      } catch (...) {
      }
      self->data_ = nullptr;
      self->target_ = nullptr;
    }
  } finish{this};
  HRESULT result = S_OK;
  if (!held) {
    effect = DROPEFFECT_NONE;
    result = E_UNEXPECTED;
  } else {
    try {
      const TShiftState shift = KeysToShiftState(keys);
      const POINTL client = ClientPoint(point);
      effect = GetValidDropEffect(shift, client, effect) & ~DROPEFFECT_SCROLL;
      const bool read = (GetDataOnEnter && HasData()) || GetData(effect);
      if (!read)
        effect = DROPEFFECT_NONE;
      else if (!transferring_ && effect != DROPEFFECT_NONE)
        DoDrop(shift * TShiftState{ssShift, ssCtrl, ssAlt}, client, effect);
    } catch (...) {
      effect = DROPEFFECT_NONE;
      result = E_UNEXPECTED;
    }
  }
  if (image_) {
    POINT screen{point.x, point.y};
    image_->Drop(held.Get(), &screen, effect);
  }
  return result;
}

void TCustomDropTarget::ReleaseData() {
  if (!transferring_) data_ = nullptr;
}

// ---- drag image

// The window layer's drag-image helper shows the source's image over the
// target; without one the drag goes on without an image. (Image-list drags,
// the other source of a drag image, are never started in this program.)
void TCustomDropTarget::ImageEnter(IDataObject* data, POINTL point, DWORD effect) {
  IDropTargetHelper* helper = nullptr;
  if (!target_ || FAILED(CoCreateInstance(CLSID_DragDropHelper, nullptr, CLSCTX_INPROC_SERVER, IID_IDropTargetHelper,
                                          reinterpret_cast<void**>(&helper))) || !helper)
    return;
  image_ = ComPtr<IDropTargetHelper>::Attach(helper);
  POINT screen{point.x, point.y};
  if (FAILED(image_->DragEnter(target_->Handle(), data, &screen, effect))) image_ = nullptr;
}

void TCustomDropTarget::ShowImageNow(bool show) {
  if (image_) image_->Show(show);
}

void TCustomDropTarget::SetShowImage(bool show) {
  showImage_ = show;
  ShowImageNow(show);
}

// ---- auto-scroll

void TCustomDropTarget::FindScrollBars() {
  vertBar_ = horzBar_ = false;
  if (!AutoScroll || !target_) return;
  const LONG_PTR style = GetWindowLong(target_->Handle(), GWL_STYLE);
  vertBar_ = (style & WS_VSCROLL) != 0;
  horzBar_ = (style & WS_HSCROLL) != 0;
  if (!vertBar_ && !horzBar_) return;
  noScroll_ = target_->ClientRect();
  if (vertBar_) {
    const int margin = 2 * GetSystemMetrics(SM_CYHSCROLL);
    noScroll_.top += margin;
    noScroll_.bottom -= margin;
  }
  if (horzBar_) {
    const int margin = 2 * GetSystemMetrics(SM_CXHSCROLL);
    noScroll_.left += margin;
    noScroll_.right -= margin;
  }
}

bool TCustomDropTarget::Scrolls(POINTL p) const {
  return !(p.x >= noScroll_.left && p.x < noScroll_.right && p.y >= noScroll_.top && p.y < noScroll_.bottom);
}

bool TCustomDropTarget::CheckScrollSpeed(POINT screen, bool reset) {
  const uint32_t now = GetTickCount();
  if (reset) {
    older_ = {now, screen.x, screen.y};
    newer_ = {};
    return true;
  }
  bool slow = true;
  if (now - older_.tick >= ScrollSpeedSampleTime) {
    const uint32_t elapsed = now - older_.tick;
    const int64_t dx = screen.x - older_.x, dy = screen.y - older_.y;
    const int64_t speed2 = (dx * dx + dy * dy) * 1000000 / (int64_t{elapsed} * elapsed);
    slow = int64_t{ScrollMaxSpeed} * ScrollMaxSpeed >= speed2;
    if (newer_.tick == 0) newer_ = {now, screen.x, screen.y};
  }
  if (newer_.tick != 0 && now - newer_.tick >= ScrollSpeedSampleTime) {
    older_ = newer_;
    newer_ = {now, screen.x, screen.y};
  }
  return slow;
}

void TCustomDropTarget::DoAutoScroll() {
  timer_->SetEnabled(false);
  int interval = static_cast<int>(ScrollRepeatInterval);
  TScrollDirections scroll;
  if (!target_) return;
  const POINT cursor = target_->ClientToScreen(POINT{lastPoint_.x, lastPoint_.y});
  if (Scrolls(lastPoint_) && CheckScrollSpeed(cursor, false)) {
    const HWND window = target_->Handle();
    SCROLLINFO info;
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    const auto beyond = [&info] { return info.nPos + static_cast<int>(info.nPage) <= info.nMax; };
    if (vertBar_ && GetScrollInfo(window, SB_VERT, &info)) {
      if (lastPoint_.y < noScroll_.top && info.nPos > info.nMin)
        scroll.Include(sdUp);
      else if (lastPoint_.y >= noScroll_.bottom && beyond())
        scroll.Include(sdDown);
    }
    if (horzBar_ && GetScrollInfo(window, SB_HORZ, &info)) {
      if (lastPoint_.x < noScroll_.left && info.nPos > info.nMin)
        scroll.Include(sdLeft);
      else if (lastPoint_.x >= noScroll_.right && beyond())
        scroll.Include(sdRight);
    }
  }
  if (!scroll.Empty()) DoScroll(lastPoint_, scroll, interval);
  if (scroll.Empty()) return;
  const HWND window = target_->Handle();
  ShowImageNow(false);
  struct ShowAgain {  // in every case
    TCustomDropTarget* self;
    ~ShowAgain() { self->ShowImageNow(true); }
  } showAgain{this};
  if (scroll.Contains(sdUp))
    SendMessage(window, WM_VSCROLL, SB_LINEUP, 0);
  else if (scroll.Contains(sdDown))
    SendMessage(window, WM_VSCROLL, SB_LINEDOWN, 0);
  if (scroll.Contains(sdLeft))
    SendMessage(window, WM_HSCROLL, SB_LINELEFT, 0);
  else if (scroll.Contains(sdRight))
    SendMessage(window, WM_HSCROLL, SB_LINERIGHT, 0);
  timer_->SetInterval(static_cast<uint32_t>(std::max(interval, 1)));
  timer_->SetEnabled(true);
}

// ---- feedback and the clipboard

bool TCustomDropTarget::WriteFeedback(TCustomDWORDClipboardFormat& format, DWORD effect) {
  if (!data_) return false;
  format.Value = effect;
  STGMEDIUM medium;
  try {
    return format.SetData(data_.Get(), format.FormatEtc, medium);
  } catch (...) {
    return false;  // a source that does not take it is no failure of the drop
  }
}

bool TCustomDropTarget::SetPerformedDropEffect(DWORD effect) {
  TPerformedDropEffectClipboardFormat performed;
  return WriteFeedback(performed, effect);
}

bool TCustomDropTarget::SetPasteSucceeded(DWORD effect) {
  TPasteSucceededClipboardFormat succeeded;
  return WriteFeedback(succeeded, effect);
}

DWORD TCustomDropTarget::GetPreferredDropEffect() {
  TPreferredDropEffectClipboardFormat preferred;
  return data_ && preferred.GetData(data_.Get()) ? preferred.Value : DROPEFFECT_NONE;
}

void TCustomDropTarget::DropFromClipboard(DWORD& effect) {
  DoDrop({}, POINTL{0, 0}, effect);
  if (effect != DROPEFFECT_NONE) SetPasteSucceeded(effect);
}

ComPtr<IDataObject> TCustomDropTarget::ClipboardData() const {
  IDataObject* data = nullptr;
  OleCheck(OleGetClipboard(&data), "The clipboard cannot be read");
  if (!data) throw EOleSysError("The clipboard cannot be read");
  return ComPtr<IDataObject>::Attach(data);
}

DWORD TCustomDropTarget::PasteFromClipboard() {
  ClearData();  // refuses while a transfer thread reads
  target_ = nullptr;
  data_ = ClipboardData();
  struct Release {
    TCustomDropTarget* self;
    ~Release() { self->ReleaseData(); }
  } release{this};
  const DWORD preferred = GetPreferredDropEffect();
  DWORD effect = GetData(preferred) ? preferred : DROPEFFECT_NONE;
  DropFromClipboard(effect);
  return effect;
}

bool TCustomDropTarget::CanPasteFromClipboard() { return HasValidFormats(ClipboardData().Get()); }

void TCustomDropTarget::Assign(const TPersistent* source) {
  if (dynamic_cast<const TClipboard*>(source)) {
    PasteFromClipboard();
    return;
  }
  IDataObject* data = nullptr;
  if (auto* unknown = dynamic_cast<IUnknown*>(const_cast<TPersistent*>(source));
      unknown && SUCCEEDED(unknown->QueryInterface(IID_IDataObject, reinterpret_cast<void**>(&data))) && data) {
    const ComPtr<IDataObject> given = ComPtr<IDataObject>::Attach(data);
    ClearData();  // refuses while a transfer thread reads
    data_ = given;
    struct Release {
      TCustomDropTarget* self;
      ~Release() { self->ReleaseData(); }
    } release{this};
    if (GetData(DROPEFFECT_COPY)) return;
  }
  TDragDropComponent::Assign(source);
}

// ---- multi target -------------------------------------------------------------------

TCustomDropMultiTarget::TCustomDropMultiTarget(TComponent* owner) : TCustomDropTarget(owner) {
  DragTypes = {dtCopy, dtLink};
}

TCustomDropMultiTarget::~TCustomDropMultiTarget() {
  while (DataFormats.Count() > 0) delete DataFormats.Formats(DataFormats.Count() - 1);  // each leaves the list
}

bool TCustomDropMultiTarget::DoAcceptFormat(TCustomDataFormat* format) {
  bool accept = true;
  if (OnAcceptFormat) OnAcceptFormat(this, format, accept);
  return accept;
}

bool TCustomDropMultiTarget::HasValidFormats(IDataObject* data) {
  for (int i = 0; i < DataFormats.Count(); ++i)
    if (TCustomDataFormat* format = DataFormats.Formats(i); format->HasValidFormats(data) && DoAcceptFormat(format))
      return true;
  return false;
}

bool TCustomDropMultiTarget::DoGetData() {
  bool any = false;
  for (int i = 0; i < DataFormats.Count(); ++i) {
    TCustomDataFormat* format = DataFormats.Formats(i);
    if (format->HasValidFormats(DataObject()) && DoAcceptFormat(format) && format->GetData(DataObject())) any = true;
  }
  return any;
}

void TCustomDropMultiTarget::ClearData() {
  if (Transferring()) throw Exception("Can't clear data while async data transfer is in progress");
  for (int i = 0; i < DataFormats.Count(); ++i) DataFormats.Formats(i)->Clear();
}

bool TCustomDropMultiTarget::HasData() {
  for (int i = 0; i < DataFormats.Count(); ++i)
    if (DataFormats.Formats(i)->HasData()) return true;
  return false;
}
