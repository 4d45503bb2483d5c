// Text drag and drop: the data object and its formats, the drop source and
// target, and the enhanced edit's side of a drag (advedit.h).
//
// Sections: formats | drop target | drop source and data object | the edit
#include "ui/controls/adveddd.h"

#include <cstring>

#include "platform/rtl/encoding.h"
#include "platform/win/globalmem.h"
#include "ui/controls/advedit.h"

// ---- formats ----

CLIPFORMAT RichTextFormat() {
  static const CLIPFORMAT id = static_cast<CLIPFORMAT>(RegisterClipboardFormatA("Rich Text Format"));
  return id;
}

namespace {

FORMATETC FormatAt(int32_t position) {
  FORMATETC f;
  f.cfFormat = position == 0 ? CF_TEXT : position == 1 ? CF_UNICODETEXT : RichTextFormat();
  return f;
}

DWORD KeyEffect(DWORD keyState) { return (keyState & MK_CONTROL) ? DROPEFFECT_COPY : DROPEFFECT_MOVE; }

}  // namespace

TEnumFormats::TEnumFormats(IDataObject* data) : data_(data) {}

bool TEnumFormats::HasFormat(CLIPFORMAT format) {
  valid_ = false;
  if (!data_) return false;
  ComPtr<IEnumFORMATETC> formats;
  if (data_->EnumFormatEtc(DATADIR_GET, formats.GetAddressOf()) != S_OK || !formats) return false;
  FORMATETC f;
  while (formats->Next(1, &f, nullptr) == S_OK)
    if (f.cfFormat == format) {
      current_ = f;
      valid_ = true;
      return true;
    }
  return false;
}

bool TEnumFormats::GetBlock(std::vector<uint8_t>& bytes) {
  if (!valid_ || !(current_.tymed & TYMED_HGLOBAL)) return false;
  FORMATETC f = current_;
  f.tymed = TYMED_HGLOBAL;
  STGMEDIUM medium;
  if (data_->GetData(&f, &medium) != S_OK) return false;
  bool ok = false;
  if (medium.tymed == TYMED_HGLOBAL && medium.hGlobal) {
    // The block is read within the size it has, whatever its content claims.
    const auto* p = static_cast<const uint8_t*>(GlobalLock(medium.hGlobal));
    if (p) {
      bytes.assign(p, p + GlobalSize(medium.hGlobal));
      ok = true;
    }
    GlobalUnlock(medium.hGlobal);
  }
  ReleaseStgMedium(&medium);
  return ok;
}

std::string TEnumFormats::GetText(CLIPFORMAT format) {
  std::vector<uint8_t> bytes;
  if (!HasFormat(format) || !GetBlock(bytes)) return "";
  const auto* p = reinterpret_cast<const char*>(bytes.data());
  return std::string(p, strnlen(p, bytes.size()));
}

bool ParseDropFiles(const uint8_t* data, size_t size, std::vector<std::string>& files) {
  files.clear();
  if (size < sizeof(DROPFILES)) return false;
  DROPFILES header;
  std::memcpy(&header, data, sizeof header);
  // Every name is read within the block, whatever offset the header gives.
  uint64_t at = header.pFiles;
  const uint64_t end = size;
  const uint64_t unit = header.fWide ? 2 : 1;
  while (at + unit <= end) {
    std::u16string wide;
    std::string narrow;
    while (at + unit <= end) {
      const uint16_t c = unit == 2 ? static_cast<uint16_t>(data[at] | data[at + 1] << 8) : data[at];
      at += unit;
      if (c == 0) break;
      if (unit == 2) wide += static_cast<char16_t>(c);
      else narrow += static_cast<char>(c);
    }
    const std::string name = unit == 2 ? Utf16ToUtf8(wide) : narrow;
    if (name.empty()) break;
    files.push_back(name);
  }
  return !files.empty();
}

bool TEnumFormats::GetFiles(std::vector<std::string>& files) {
  files.clear();
  std::vector<uint8_t> bytes;
  if (!HasFormat(CF_HDROP) || !GetBlock(bytes)) return false;
  return ParseDropFiles(bytes.data(), bytes.size(), files);
}

// ---- drop target ----

HRESULT TAEDropTarget::DragEnter(IDataObject* data, DWORD keyState, POINTL, DWORD* effect) {
  TEnumFormats formats(data);
  accept_ = formats.HasFormat(CF_TEXT) || formats.HasFormat(CF_HDROP);
  if (effect) *effect = accept_ ? KeyEffect(keyState) : DROPEFFECT_NONE;
  return S_OK;
}

HRESULT TAEDropTarget::DragOver(DWORD keyState, POINTL point, DWORD* effect) {
  DWORD result = accept_ ? KeyEffect(keyState) : DROPEFFECT_NONE;
  bool allow = true;
  DragMouseMove(POINT{point.x, point.y}, allow);
  if (!allow) result = DROPEFFECT_NONE;
  if (effect) *effect = result;
  return S_OK;
}

HRESULT TAEDropTarget::Drop(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) {
  if (!accept_) {
    if (effect) *effect = DROPEFFECT_NONE;
    return S_OK;
  }
  const POINT p{point.x, point.y};
  try {
    TEnumFormats formats(data);
    if (formats.HasFormat(CF_TEXT)) DropText(p, formats.GetText(CF_TEXT));
    std::vector<std::string> files;
    if (formats.GetFiles(files)) DropFiles(p, files);
  } catch (...) {
    // Nothing leaves a drop target call.
  }
  if (effect) *effect = KeyEffect(keyState);
  return S_OK;
}

void TEditDropTarget::DropText(POINT point, const std::string& text) { edit_->DropTextAt(point, text); }

void TEditDropTarget::DragMouseMove(POINT point, bool& allow) {
  allow = true;
  edit_->MoveDropCaret(point);
}

// ---- drop source and data object ----

HRESULT TAEDropSource::QueryContinueDrag(BOOL escapePressed, DWORD keyState) {
  if (escapePressed) return DRAGDROP_S_CANCEL;
  if (!(keyState & MK_LBUTTON)) return DRAGDROP_S_DROP;
  return S_OK;
}

HRESULT TAEDropSource::GiveFeedback(DWORD effect) {
  lastNone_ = effect == DROPEFFECT_NONE;
  return DRAGDROP_S_USEDEFAULTCURSORS;
}

HRESULT TSourceDataObject::QueryGetData(FORMATETC* f) {
  if (!f || f->dwAspect != DVASPECT_CONTENT || f->tymed != TYMED_HGLOBAL) return DV_E_FORMATETC;
  return f->cfFormat == CF_TEXT || f->cfFormat == CF_UNICODETEXT ? S_OK : DV_E_FORMATETC;
}

HRESULT TSourceDataObject::GetData(FORMATETC* f, STGMEDIUM* medium) {
  if (!medium) return E_POINTER;
  *medium = STGMEDIUM();
  if (QueryGetData(f) != S_OK) return DV_E_FORMATETC;
  std::vector<uint8_t> bytes;
  if (f->cfFormat == CF_TEXT) {
    bytes.assign(text_.begin(), text_.end());
    bytes.push_back(0);
  } else {
    bytes = Utf8ToUtf16LE(text_);
    bytes.push_back(0);
    bytes.push_back(0);
  }
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes.size());
  if (!block) return DV_E_FORMATETC;
  std::memcpy(GlobalLock(block), bytes.data(), bytes.size());
  GlobalUnlock(block);
  medium->tymed = TYMED_HGLOBAL;
  medium->hGlobal = block;
  return S_OK;
}

HRESULT TSourceDataObject::GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) {
  if (out) out->ptd = nullptr;
  return E_NOTIMPL;
}

HRESULT TSourceDataObject::EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) {
  if (!formats) return E_POINTER;
  *formats = nullptr;
  if (direction != DATADIR_GET) return E_NOTIMPL;
  *formats = new TSourceEnumFormatEtc(0);
  return S_OK;
}

HRESULT TSourceDataObject::EnumDAdvise(IEnumSTATDATA** advises) {
  if (advises) *advises = nullptr;
  return OLE_E_ADVISENOTSUPPORTED;
}

HRESULT TSourceEnumFormatEtc::Next(ULONG count, FORMATETC* formats, ULONG* fetched) {
  ULONG filled = 0;
  while (filled < count && position_ < 3) formats[filled++] = FormatAt(position_++);
  if (fetched) *fetched = filled;
  return filled == count ? S_OK : S_FALSE;
}

HRESULT TSourceEnumFormatEtc::Skip(ULONG count) {
  if (position_ + static_cast<int64_t>(count) > 3) {
    position_ = 3;
    return S_FALSE;
  }
  position_ += static_cast<int32_t>(count);
  return S_OK;
}

HRESULT TSourceEnumFormatEtc::Clone(IEnumFORMATETC** clone) {
  if (!clone) return E_POINTER;
  *clone = new TSourceEnumFormatEtc(position_);
  return S_OK;
}

HRESULT StartTextDrag(const std::string& text, DWORD allowed, DWORD& effect) {
  ComPtr<TAEDropSource> source = MakeComObject<TAEDropSource>();
  ComPtr<TSourceDataObject> data = MakeComObject<TSourceDataObject>(text);
  const HRESULT result = DoDragDrop(data.Get(), source.Get(), allowed, &effect);
  return source->LastFeedbackWasNone() ? DRAGDROP_S_CANCEL : result;
}

// ---- the edit ----

void TAdvEdit::SetOleDropTarget(bool v) {
  if (ComponentState().Contains(csDesigning)) return;
  oleDropTarget_ = v;
  if (v && !dropTargetRegistered_) {
    static const bool oleStarted = (OleInitialize(), true);
    (void)oleStarted;
    ComPtr<TEditDropTarget> target = MakeComObject<TEditDropTarget>(this);
    dropTargetRegistered_ = RegisterDragDrop(Handle(), target.Get()) == S_OK;
  } else if (!v && dropTargetRegistered_) {
    RevokeDragDrop(Handle());
    dropTargetRegistered_ = false;
  }
}

int32_t TAdvEdit::CharAt(POINT client) {
  return static_cast<int32_t>(Perform(EM_CHARFROMPOS, 0, MAKELPARAM(client.x, client.y)));
}

void TAdvEdit::MoveDropCaret(POINT screen) {
  const int32_t index = CharAt(ScreenToClient(screen));
  const LRESULT at = Perform(EM_POSFROMCHAR, index, 0);
  const POINT point = at < 0 ? POINT{0, 0} : POINT{static_cast<int16_t>(LOWORD(at)), static_cast<int16_t>(HIWORD(at))};
  if (point.x == dropCaret_.x && point.y == dropCaret_.y) return;
  dropCaret_ = point;
  Invalidate();
}

void TAdvEdit::RemoveDropCaret() {
  dropCaret_ = POINT{-1, -1};
  Invalidate();
}

void TAdvEdit::DropTextAt(POINT screen, const std::string& dropped) {
  const std::string text = dropped.substr(0, dropped.find_first_of("\r\n"));
  int32_t index = CharAt(ScreenToClient(screen));
  const int32_t start = SelStart(), length = SelLength();
  if (draggingOut_) {
    if (index >= start && index <= start + length) return;
    // A move within the edit: the place is found first, then the selection
    // goes, and the place shifts with what was taken out before it.
    if (GetKeyState(VK_CONTROL) >= 0) {
      ClearSelection();
      if (index > start) index -= length;
      selfMoveDone_ = true;
    }
  }
  RemoveDropCaret();
  SetSelRange(index, 0);
  SetSelText(text);
  SetModified(true);
  Invalidate();
}

bool TAdvEdit::DragMouseDown(TMessage& m) {
  const int32_t index = CharAt(POINT{GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam)});
  if (SelLength() > 0 && index >= SelStart() && index <= SelStart() + SelLength() && Focused()) {
    dragArmed_ = true;
    return true;
  }
  return false;
}

void TAdvEdit::DragMouseMove() {
  if (!dragArmed_ || SelLength() == 0 || !oleDropSource_) return;
  dragArmed_ = false;
  const std::string text = SelText();
  DWORD effect = DROPEFFECT_NONE;
  draggingOut_ = true;
  selfMoveDone_ = false;
  const HRESULT result = StartTextDrag(text, DROPEFFECT_COPY | DROPEFFECT_MOVE, effect);
  draggingOut_ = false;
  // The text leaves this edit only when the drop moved it, and only once.
  if (result == DRAGDROP_S_DROP && effect == DROPEFFECT_MOVE && !selfMoveDone_) {
    ClearSelection();
    SetModified(true);
  }
  selfMoveDone_ = false;
  RemoveDropCaret();
}

bool TAdvEdit::DragMouseUp(const TMessage& m) {
  if (!dragArmed_) return false;
  dragArmed_ = false;
  SetSelRange(CharAt(POINT{GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam)}), 0);
  return true;
}
