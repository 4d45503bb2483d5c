// Drag and drop: drop targets registered per window, the drag loop over the
// message queue, and files dropped from the desktop.
#include <map>
#include <mutex>

#include "platform/rtl/encoding.h"
#include "platform/win/ole.h"
#include "platform/win/ole_dataobject.h"
#include "platform/win/user.h"

namespace {

constexpr DWORD kDesktopEffects = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;

// --- Registered targets ---

struct Targets {
  std::mutex lock;
  std::map<HWND, ComPtr<IDropTarget>> byWindow;
};
Targets& targets() {
  static Targets t;
  return t;
}

// The target of `window` or of its nearest registered parent.
ComPtr<IDropTarget> targetFor(HWND window) {
  for (; window; window = GetParent(window)) {
    std::lock_guard<std::mutex> guard(targets().lock);
    auto it = targets().byWindow.find(window);
    if (it != targets().byWindow.end()) return it->second;
  }
  return nullptr;
}

// --- Pointer and keys ---

// Where the pointer is and which buttons and keys are held.
struct DragInput {
  POINT point;
  DWORD keyState = 0;   // MK_* flags
  bool escape = false;  // this input pressed Escape
};

// The MK_* flags of the buttons and modifier keys, as the queue last saw them.
DWORD keysNow() {
  struct Key {
    int virtualKey;
    DWORD flag;
  };
  static constexpr Key kKeys[] = {
      {VK_LBUTTON, MK_LBUTTON}, {VK_RBUTTON, MK_RBUTTON}, {VK_MBUTTON, MK_MBUTTON},
      {VK_SHIFT, MK_SHIFT},     {VK_CONTROL, MK_CONTROL}, {VK_MENU, MK_ALT},
  };
  DWORD keys = 0;
  for (const Key& k : kKeys)
    if (GetKeyState(k.virtualKey) < 0) keys |= static_cast<DWORD>(k.flag);
  return keys;
}

// The pointer and keys as of the message last taken off the queue (the
// drag starts from the input that began it, whatever is still queued).
DragInput inputNow() {
  DragInput in;
  DWORD pos = GetMessagePos();
  in.point = POINT{GET_X_LPARAM(static_cast<LPARAM>(pos)), GET_Y_LPARAM(static_cast<LPARAM>(pos))};
  in.keyState = keysNow();
  return in;
}

bool isMouseInput(UINT m) { return m >= WM_MOUSEFIRST && m <= WM_MOUSELAST && m != WM_MOUSEWHEEL; }
bool isKeyInput(UINT m) { return m == WM_KEYDOWN || m == WM_KEYUP || m == WM_SYSKEYDOWN || m == WM_SYSKEYUP; }

// Takes messages off the queue until one moves the pointer or changes the
// buttons or keys: the drag owns mouse and keyboard, while other messages
// (painting, timers) are dispatched as usual. False when the program quits
// (WM_QUIT is posted again for the outer loop).
bool nextInput(DragInput& in) {
  MSG msg;
  for (;;) {
    if (!GetMessage(&msg, nullptr, 0, 0)) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return false;
    }
    if (isMouseInput(msg.message) || isKeyInput(msg.message)) {
      in.point = msg.pt;
      in.keyState = keysNow();
      in.escape = msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE;
      return true;
    }
    TranslateMessage(&msg);
    DispatchMessage(&msg);
  }
}

POINTL pointl(POINT p) { return {p.x, p.y}; }

// --- The drag loop ---

class DragLoop {
public:
  DragLoop(IDataObject* data, IDropSource* source, DWORD allowed)
      : data_(data), source_(source), allowed_(allowed) {}

  // Asks the source about every input before following it; a drop at a
  // point not yet followed (the first input, or a release elsewhere) is
  // followed first so that the target under it gets the drop.
  HRESULT Run(DWORD* effect) {
    *effect = DROPEFFECT_NONE;
    DragInput input = inputNow();
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
      if (!nextInput(input)) {
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
    ComPtr<IDropTarget> under = targetFor(WindowFromPoint(input.point));
    DWORD effect = allowed_;
    if (under.Get() != target_.Get()) {
      leave();
      if (under && SUCCEEDED(under->DragEnter(data_, input.keyState, pointl(input.point), &effect)))
        target_ = under;
    } else if (target_ && FAILED(target_->DragOver(input.keyState, pointl(input.point), &effect))) {
      effect = DROPEFFECT_NONE;
    }
    effect_ = target_ ? effect & (allowed_ | DROPEFFECT_SCROLL) : DROPEFFECT_NONE;
    if (source_->GiveFeedback(effect_) == DRAGDROP_S_USEDEFAULTCURSORS)
      SetCursor(LoadCursor(nullptr, (effect_ & ~DROPEFFECT_SCROLL) ? IDC_ARROW : IDC_NO));
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
  if (!IsWindow(window)) return DRAGDROP_E_INVALIDHWND;
  SetFileDropHandler([](HWND w, POINT p, const std::vector<std::string>& files) { DropFilesOnWindow(w, p, files); });
  std::lock_guard<std::mutex> guard(targets().lock);
  auto [it, added] = targets().byWindow.try_emplace(window, nullptr);
  if (!added) return DRAGDROP_E_ALREADYREGISTERED;
  it->second = ComPtr<IDropTarget>(target);
  return S_OK;
}

HRESULT RevokeDragDrop(HWND window) {
  ComPtr<IDropTarget> released;  // let go after the lock
  std::lock_guard<std::mutex> guard(targets().lock);
  auto it = targets().byWindow.find(window);
  if (it == targets().byWindow.end()) return DRAGDROP_E_NOTREGISTERED;
  released = std::move(it->second);
  targets().byWindow.erase(it);
  return S_OK;
}

HRESULT DoDragDrop(IDataObject* data, IDropSource* source, DWORD allowed, DWORD* effect) {
  if (!data || !source || !effect) return E_INVALIDARG;
  ComPtr<IDataObject> keepData(data);
  ComPtr<IDropSource> keepSource(source);
  return DragLoop(data, source, allowed).Run(effect);
}

DWORD DropFilesOnWindow(HWND window, POINT screenPoint, const std::vector<std::string>& files) {
  ComPtr<IDropTarget> target = targetFor(window);
  if (!target || files.empty()) return DROPEFFECT_NONE;
  static const CLIPFORMAT fileNameW = static_cast<CLIPFORMAT>(RegisterClipboardFormat("FileNameW"));
  std::vector<StoredFormat> formats{{CF_HDROP, dropFilesBytes(files, {})}, {fileNameW, wideName(files.front())}};
  ComPtr<IDataObject> data = CreateStoredDataObject(std::move(formats));

  DWORD keys = keysNow() & ~static_cast<DWORD>(MK_LBUTTON);
  POINTL point = pointl(screenPoint);
  DWORD effect = kDesktopEffects;
  if (FAILED(target->DragEnter(data.Get(), keys | static_cast<DWORD>(MK_LBUTTON), point, &effect))) return DROPEFFECT_NONE;
  effect = kDesktopEffects;
  if (FAILED(target->DragOver(keys | static_cast<DWORD>(MK_LBUTTON), point, &effect)) || !(effect & kDesktopEffects)) {
    target->DragLeave();
    return DROPEFFECT_NONE;
  }
  effect = kDesktopEffects;
  if (FAILED(target->Drop(data.Get(), keys, point, &effect))) return DROPEFFECT_NONE;
  return effect & kDesktopEffects;
}
