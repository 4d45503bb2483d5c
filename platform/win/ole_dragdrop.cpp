// Drag and drop: drop targets registered per window, the drag loop, and
// files dropped from the desktop.
#include <cstring>
#include <map>
#include <mutex>

#include "platform/rtl/encoding.h"
#include "platform/win/globalmem.h"
#include "platform/win/ole.h"
#include "platform/win/ole_dataobject.h"

namespace {

constexpr DWORD kLeftButton = 0x0001;  // MK_LBUTTON
constexpr CLIPFORMAT kHDrop = 15;      // CF_HDROP
constexpr DWORD kDesktopEffects = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;

// --- Registered targets and the window layer's services ---

struct DragDropState {
  std::mutex lock;
  std::map<HWND, ComPtr<IDropTarget>> targets;
  DragDropWindowing windowing;
};
DragDropState& state() {
  static DragDropState s;
  return s;
}

DragDropWindowing windowing() {
  std::lock_guard<std::mutex> guard(state().lock);
  return state().windowing;
}

// The target of `window` or of its nearest registered parent.
ComPtr<IDropTarget> targetFor(HWND window, const DragDropWindowing& w) {
  for (int depth = 0; window && depth < 256; ++depth) {
    {
      std::lock_guard<std::mutex> guard(state().lock);
      auto it = state().targets.find(window);
      if (it != state().targets.end()) return it->second;
    }
    window = w.parentOf ? w.parentOf(window) : nullptr;
  }
  return nullptr;
}

POINTL pointl(POINT p) { return {p.x, p.y}; }

// --- The drag loop ---

class DragLoop {
public:
  DragLoop(IDataObject* data, IDropSource* source, DWORD allowed, DragDropWindowing w)
      : data_(data), source_(source), allowed_(allowed), w_(std::move(w)) {}

  // Asks the source about every input before following it; a drop at a
  // point not yet followed (the first input, or a release elsewhere) is
  // followed first so that the target under it gets the drop.
  HRESULT Run(DWORD* effect) {
    *effect = DROPEFFECT_NONE;
    DragInput input = w_.currentInput();
    for (bool first = true;; first = false) {
      HRESULT hr = source_->QueryContinueDrag(input.escape ? TRUE : FALSE, input.keyState);
      if (hr == DRAGDROP_S_DROP) {
        if (first || !(input.point == lastPoint_)) track(input);
        return drop(input, effect);
      }
      if (hr != S_OK) {
        leave();
        return hr;
      }
      if (first || !(input.point == lastPoint_) || input.keyState != lastKeys_) track(input);
      if (!w_.nextInput(input)) {
        leave();
        return DRAGDROP_S_CANCEL;
      }
    }
  }

private:
  // Calls DragEnter on a new target under the pointer (after DragLeave on
  // the old one) or DragOver on the same one, then gives the source feedback.
  void track(const DragInput& input) {
    lastKeys_ = input.keyState;
    lastPoint_ = input.point;
    ComPtr<IDropTarget> under = w_.windowFromPoint ? targetFor(w_.windowFromPoint(input.point), w_) : nullptr;
    DWORD effect = allowed_;
    if (under.Get() != target_.Get()) {
      leave();
      if (under && SUCCEEDED(under->DragEnter(data_, input.keyState, pointl(input.point), &effect)))
        target_ = under;
    } else if (target_ && FAILED(target_->DragOver(input.keyState, pointl(input.point), &effect))) {
      effect = DROPEFFECT_NONE;
    }
    effect_ = target_ ? effect & (allowed_ | DROPEFFECT_SCROLL) : DROPEFFECT_NONE;
    source_->GiveFeedback(effect_);
  }

  void leave() {
    if (target_) target_->DragLeave();
    target_.Reset();
    effect_ = DROPEFFECT_NONE;
  }

  HRESULT drop(const DragInput& input, DWORD* effect) {
    if ((effect_ & ~DROPEFFECT_SCROLL) == DROPEFFECT_NONE) {
      leave();
      return DRAGDROP_S_CANCEL;
    }
    DWORD result = allowed_;
    ComPtr<IDropTarget> target = std::move(target_);
    if (FAILED(target->Drop(data_, input.keyState, pointl(input.point), &result))) result = DROPEFFECT_NONE;
    *effect = result & allowed_;
    return DRAGDROP_S_DROP;
  }

  IDataObject* data_;
  IDropSource* source_;
  DWORD allowed_;
  DragDropWindowing w_;
  ComPtr<IDropTarget> target_;
  DWORD effect_ = DROPEFFECT_NONE;
  DWORD lastKeys_ = 0;
  POINT lastPoint_;
};

// --- Files dropped from the desktop ---

// A name in UTF-16LE with its terminating NUL character.
std::string wideName(const std::string& utf8) {
  std::vector<uint8_t> wide = Utf8ToUtf16LE(utf8);
  return std::string(wide.begin(), wide.end()) + std::string(2, '\0');
}

// A CF_HDROP block: the header, then each name in UTF-16 with its NUL, then
// one more NUL.
std::string dropFilesBytes(const std::vector<std::string>& files, POINT point) {
  DROPFILES header;
  header.pt = point;
  header.fWide = TRUE;
  std::string bytes(reinterpret_cast<const char*>(&header), sizeof header);
  for (const auto& f : files) bytes += wideName(f);
  return bytes + std::string(2, '\0');
}

}  // namespace

HRESULT RegisterDragDrop(HWND window, IDropTarget* target) {
  if (!OleIsInitialized()) return E_OUTOFMEMORY;  // as Windows answers without OleInitialize
  if (!target) return E_INVALIDARG;
  DragDropWindowing w = windowing();
  if (!window || (w.isWindow && !w.isWindow(window))) return DRAGDROP_E_INVALIDHWND;
  std::lock_guard<std::mutex> guard(state().lock);
  auto [it, added] = state().targets.try_emplace(window, nullptr);
  if (!added) return DRAGDROP_E_ALREADYREGISTERED;
  it->second = ComPtr<IDropTarget>(target);
  return S_OK;
}

HRESULT RevokeDragDrop(HWND window) {
  ComPtr<IDropTarget> released;  // let go after the lock
  std::lock_guard<std::mutex> guard(state().lock);
  auto it = state().targets.find(window);
  if (it == state().targets.end()) return DRAGDROP_E_NOTREGISTERED;
  released = std::move(it->second);
  state().targets.erase(it);
  return S_OK;
}

DragDropWindowing SetDragDropWindowing(DragDropWindowing windowing) {
  std::lock_guard<std::mutex> guard(state().lock);
  std::swap(state().windowing, windowing);
  return windowing;
}

HRESULT DoDragDrop(IDataObject* data, IDropSource* source, DWORD allowed, DWORD* effect) {
  if (!data || !source || !effect) return E_INVALIDARG;
  DragDropWindowing w = windowing();
  if (!w.currentInput || !w.nextInput) return E_UNEXPECTED;
  ComPtr<IDataObject> keepData(data);
  ComPtr<IDropSource> keepSource(source);
  return DragLoop(data, source, allowed, std::move(w)).Run(effect);
}

DWORD DropFilesOnWindow(HWND window, POINT screenPoint, const std::vector<std::string>& files) {
  DragDropWindowing w = windowing();
  ComPtr<IDropTarget> target = targetFor(window, w);
  if (!target || files.empty()) return DROPEFFECT_NONE;
  std::vector<StoredFormat> formats{{kHDrop, dropFilesBytes(files, {})}};
  ComPtr<IDataObject> data = CreateStoredDataObject(std::move(formats));

  DWORD keys = w.currentInput ? w.currentInput().keyState & ~kLeftButton : 0;
  POINTL point = pointl(screenPoint);
  DWORD effect = kDesktopEffects;
  if (FAILED(target->DragEnter(data.Get(), keys | kLeftButton, point, &effect))) return DROPEFFECT_NONE;
  effect = kDesktopEffects;
  if (FAILED(target->DragOver(keys | kLeftButton, point, &effect)) || !(effect & kDesktopEffects)) {
    target->DragLeave();
    return DROPEFFECT_NONE;
  }
  effect = kDesktopEffects;
  if (FAILED(target->Drop(data.Get(), keys, point, &effect))) return DROPEFFECT_NONE;
  return effect & kDesktopEffects;
}
