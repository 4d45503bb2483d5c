// Files dropped on a control; see dragdropfile.h.
#include "services/dragdropfile.h"

#include <cstring>

#include "platform/forms/forms.h"
#include "platform/rtl/encoding.h"
#include "platform/win/comimpl.h"
#include "platform/win/ole_dataobject.h"
#include "platform/win/user_clipboard.h"
#include "platform/win/winuser_consts.h"

namespace {

uint32_t ReadU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}
uint16_t ReadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

// The length in units of the NUL-ended text at data (units of 1 or 2
// bytes); npos when no NUL lies within size or within the cap.
size_t TerminatedLength(const uint8_t* data, size_t size, bool wide, size_t cap) {
  const size_t unit = wide ? 2 : 1;
  for (size_t n = 0; (n + 1) * unit <= size && n <= cap; ++n)
    if (wide ? ReadU16(data + n * 2) == 0 : data[n] == 0) return n;
  return std::string::npos;
}

// A UTF-16 name whose surrogates all pair up, in UTF-8.
bool WideName(const uint8_t* data, size_t units, std::string& name) {
  for (size_t i = 0; i < units; ++i) {
    const uint16_t c = ReadU16(data + i * 2);
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 >= units) return false;
      const uint16_t d = ReadU16(data + (i + 1) * 2);
      if (d < 0xDC00 || d > 0xDFFF) return false;
      ++i;
    } else if (c >= 0xDC00 && c <= 0xDFFF) {
      return false;
    }
  }
  name = Utf16LEToUtf8(data, units * 2);
  return true;
}

void AppendText(std::vector<uint8_t>& out, const std::string& text, bool wide) {
  if (wide) {
    const std::vector<uint8_t> units = Utf8ToUtf16LE(text);
    out.insert(out.end(), units.begin(), units.end());
    out.insert(out.end(), {0, 0});
  } else {
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0);
  }
}

CLIPFORMAT Format(const char* name) { return static_cast<CLIPFORMAT>(RegisterClipboardFormat(name)); }

// The bytes of one format of the data object, at most the cap.
bool FormatBytes(IDataObject* data, CLIPFORMAT format, std::string& bytes) {
  FORMATETC etc;
  etc.cfFormat = format;
  etc.tymed = TYMED_HGLOBAL | TYMED_ISTREAM;
  if (data->QueryGetData(&etc) != S_OK) return false;
  STGMEDIUM medium;
  if (FAILED(data->GetData(&etc, &medium))) return false;
  const bool ok = ReadMediumBytes(medium, bytes, kMaxDropBlockBytes);
  ReleaseStgMedium(&medium);
  return ok;
}

}  // namespace

// ---- block readers --------------------------------------------------------------------

bool ReadFilesFromZeroList(const uint8_t* data, size_t size, bool wide, std::vector<std::string>& list) {
  if (!data || size > kMaxDropBlockBytes) return false;
  const size_t unit = wide ? 2 : 1;
  std::vector<std::string> names;
  size_t at = 0;
  while (at + unit <= size) {
    const size_t length = TerminatedLength(data + at, size - at, wide, kMaxDropNameLength);
    if (length == std::string::npos) return false;  // runs off the block or is too long
    if (length == 0) break;                          // the closing empty name
    if (names.size() == kMaxDropNames) return false;
    std::string name;
    if (wide) {
      if (!WideName(data + at, length, name)) return false;
    } else {
      name.assign(reinterpret_cast<const char*>(data + at), length);
    }
    names.push_back(std::move(name));
    at += (length + 1) * unit;
  }
  if (names.empty()) return false;
  list.insert(list.end(), names.begin(), names.end());
  return true;
}

std::vector<uint8_t> WriteFilesToZeroList(const std::vector<std::string>& names, bool wide) {
  std::vector<uint8_t> out;
  for (const std::string& name : names) AppendText(out, name, wide);
  AppendText(out, "", wide);
  return out;
}

bool ReadFilesFromDropFiles(const uint8_t* block, size_t size, std::vector<std::string>& files) {
  constexpr size_t kHeader = 20;
  if (!block || size <= kHeader || size > kMaxDropBlockBytes) return false;
  const uint32_t offset = ReadU32(block);
  if (offset < kHeader || offset >= size) return false;
  const bool wide = ReadU32(block + 16) != 0;
  return ReadFilesFromZeroList(block + offset, size - offset, wide, files);
}

std::vector<uint8_t> WriteDropFiles(const std::vector<std::string>& files, bool wide) {
  std::vector<uint8_t> out(20, 0);
  out[0] = 20;
  out[16] = wide ? 1 : 0;
  const std::vector<uint8_t> list = WriteFilesToZeroList(files, wide);
  out.insert(out.end(), list.begin(), list.end());
  return out;
}

bool ReadSingleName(const uint8_t* data, size_t size, bool wide, std::string& name) {
  if (!data || size > kMaxDropBlockBytes) return false;
  const size_t length = TerminatedLength(data, size, wide, kMaxDropNameLength);
  if (length == std::string::npos || length == 0) return false;
  if (wide) return WideName(data, length, name);
  name.assign(reinterpret_cast<const char*>(data), length);
  return true;
}

bool ReadIDListArray(const uint8_t* data, size_t size, std::vector<std::string>& names) {
  if (!data || size < 8 || size > kMaxDropBlockBytes) return false;
  const uint32_t count = ReadU32(data);
  if (count == 0 || count > kMaxDropNames || (static_cast<size_t>(count) + 2) * 4 > size) return false;
  for (uint32_t i = 0; i <= count; ++i) {
    size_t at = ReadU32(data + 4 + i * 4);
    // Walk the chain of items; each must lie whole in the block.
    for (;;) {
      if (at + 2 > size) return false;
      const uint16_t cb = ReadU16(data + at);
      if (cb == 0) break;
      if (cb < 2 || at + cb > size) return false;
      at += cb;
    }
  }
  names.insert(names.end(), count, std::string());
  return true;
}

std::string SafeDropName(const std::string& name) {
  if (name.empty() || name[0] == '/' || name[0] == '\\' || (name.size() > 1 && name[1] == ':')) return "";
  std::string safe, part;
  for (size_t i = 0; i <= name.size(); ++i) {
    if (i == name.size() || name[i] == '/' || name[i] == '\\') {
      if (part.empty() || part == "." || part == "..") return "";
      safe += (safe.empty() ? "" : "/") + part;
      part.clear();
    } else if (static_cast<unsigned char>(name[i]) < 0x20) {
      return "";
    } else {
      part += name[i];
    }
  }
  return safe;
}

bool ReadFileDescriptors(const uint8_t* data, size_t size, std::vector<std::string>& names) {
  constexpr size_t kRecord = 592, kNameAt = 72, kNameBytes = 520;
  if (!data || size < 4 || size > kMaxDropBlockBytes) return false;
  const uint32_t count = ReadU32(data);
  if (count == 0 || count > kMaxDropNames || 4 + static_cast<size_t>(count) * kRecord > size) return false;
  std::vector<std::string> read;
  for (uint32_t i = 0; i < count; ++i) {
    std::string name;
    if (!ReadSingleName(data + 4 + i * kRecord + kNameAt, kNameBytes, true, name)) return false;
    name = SafeDropName(name);
    if (name.empty()) return false;
    read.push_back(std::move(name));
  }
  names.insert(names.end(), read.begin(), read.end());
  return true;
}

bool ReadDroppedText(const uint8_t* data, size_t size, bool wide, std::string& text) {
  if (!data || size > kMaxDropBlockBytes) return false;
  const size_t unit = wide ? 2 : 1;
  size_t length = TerminatedLength(data, size, wide, size);
  if (length == std::string::npos) length = size / unit;
  if (wide) return WideName(data, length, text);
  text.assign(reinterpret_cast<const char*>(data), length);
  return true;
}

// ---- drop target ------------------------------------------------------------------------

// The interface the window layer calls; it forwards to its component.
class TDropTargetSink final : public ComObject<IDropTarget, IID_IDropTarget> {
public:
  explicit TDropTargetSink(TDropFileTarget* owner) : owner_(owner) {}
  void Detach() { owner_ = nullptr; }

  HRESULT DragEnter(IDataObject* data, DWORD keys, POINTL, DWORD* effect) override {
    std::vector<std::string> files;
    acceptable_ = owner_ && data && TDropFileTarget::ReadFiles(data, files);
    *effect = acceptable_ ? owner_->DropEffect(keys, *effect) : DROPEFFECT_NONE;
    return S_OK;
  }
  HRESULT DragOver(DWORD keys, POINTL, DWORD* effect) override {
    *effect = acceptable_ && owner_ ? owner_->DropEffect(keys, *effect) : DROPEFFECT_NONE;
    return S_OK;
  }
  HRESULT DragLeave() override {
    acceptable_ = false;
    return S_OK;
  }
  HRESULT Drop(IDataObject* data, DWORD keys, POINTL point, DWORD* effect) override {
    const DWORD allowed = *effect;
    *effect = owner_ && data ? owner_->Dropped(data, keys, point, allowed) : DROPEFFECT_NONE;
    acceptable_ = false;
    return S_OK;
  }

private:
  TDropFileTarget* owner_;
  bool acceptable_ = false;
};

TDropFileTarget::TDropFileTarget(TComponent* owner)
    : TComponent(owner), files_(std::make_unique<TStringList>()), sink_(new TDropTargetSink(this)) {
  sink_->Release();  // the ComPtr holds the only reference
}

TDropFileTarget::~TDropFileTarget() {
  Revoke();
  sink_->Detach();
}

void TDropFileTarget::SetTarget(TWinControl* target) {
  Revoke();
  if (target_) target_->RemoveFreeNotification(this);
  target_ = target;
  if (!target_) return;
  target_->FreeNotification(this);
  Register();
}

void TDropFileTarget::Register() {
  const auto add = [this](TWinControl* control) {
    if (SUCCEEDED(RegisterDragDrop(control->Handle(), sink_.Get()))) registered_.push_back(control->Handle());
  };
  add(target_);
  if (WholeWindow)
    if (TCustomForm* form = target_->GetParentForm(); form && form != target_) add(form);
}

void TDropFileTarget::Revoke() {
  for (HWND window : registered_) RevokeDragDrop(window);
  registered_.clear();
}

void TDropFileTarget::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == opRemove && component == target_) {
    registered_.clear();  // the windows go with the control
    target_ = nullptr;
  }
}

bool TDropFileTarget::ReadFiles(IDataObject* data, std::vector<std::string>& files) {
  std::string bytes;
  const auto block = [&bytes] { return reinterpret_cast<const uint8_t*>(bytes.data()); };
  if (FormatBytes(data, CF_HDROP, bytes) && ReadFilesFromDropFiles(block(), bytes.size(), files)) return true;
  if (FormatBytes(data, Format("Shell IDList Array"), bytes) && ReadIDListArray(block(), bytes.size(), files))
    return true;
  std::string name;
  if ((FormatBytes(data, Format("FileNameW"), bytes) && ReadSingleName(block(), bytes.size(), true, name)) ||
      (FormatBytes(data, Format("FileName"), bytes) && ReadSingleName(block(), bytes.size(), false, name))) {
    files.push_back(name);
    return true;
  }
  return false;
}

DWORD TDropFileTarget::DropEffect(DWORD keys, DWORD allowed) const {
  DWORD wanted = DROPEFFECT_MOVE;
  const bool control = keys & MK_CONTROL, shift = keys & MK_SHIFT;
  if (control && shift) wanted = DROPEFFECT_LINK;
  else if (control) wanted = DROPEFFECT_COPY;
  DWORD mine = 0;
  if (DragTypes.Contains(dtCopy)) mine |= DROPEFFECT_COPY;
  if (DragTypes.Contains(dtMove)) mine |= DROPEFFECT_MOVE;
  if (DragTypes.Contains(dtLink)) mine |= DROPEFFECT_LINK;
  allowed &= mine;
  if (allowed & wanted) return wanted;
  for (DWORD e : {DROPEFFECT_COPY, DROPEFFECT_MOVE, DROPEFFECT_LINK})
    if (allowed & e) return e;
  return DROPEFFECT_NONE;
}

DWORD TDropFileTarget::Dropped(IDataObject* data, DWORD keys, POINTL point, DWORD allowed) {
  std::vector<std::string> files;
  if (!ReadFiles(data, files)) return DROPEFFECT_NONE;
  DWORD effect = DropEffect(keys, allowed);
  if (effect == DROPEFFECT_NONE) return effect;
  files_->Clear();
  for (const std::string& f : files) files_->Add(f);
  TShiftState shift;
  if (keys & MK_SHIFT) shift.Include(ssShift);
  if (keys & MK_CONTROL) shift.Include(ssCtrl);
  if (keys & MK_ALT) shift.Include(ssAlt);
  struct Empty {
    TStrings* files;
    ~Empty() { files->Clear(); }
  } empty{files_.get()};
  if (OnDrop) OnDrop(this, shift, point, effect);
  if (OptimizedMove && effect == DROPEFFECT_MOVE) effect = DROPEFFECT_COPY;
  return effect;
}
