// The core of drag and drop; see dragdrop.h.
#include "services/dragdrop.h"

#include <algorithm>

#include "platform/rtl/sysutils.h"
#include "platform/win/user_clipboard.h"
#include "platform/win/user_windows.h"
#include "platform/win/winuser_consts.h"

// ---- class records ------------------------------------------------------------------

bool TFormatClass::InheritsFrom(const TFormatClass& base) const {
  for (const TFormatClass* c = this; c; c = c->Parent)
    if (c == &base) return true;
  return false;
}

const TFormatClass& TClipboardFormat::StaticClass() {
  static const TFormatClass record{"TClipboardFormat", nullptr, nullptr};
  return record;
}

const TFormatClass& TCustomDataFormat::StaticClass() {
  static const TFormatClass record{"TCustomDataFormat", nullptr, nullptr};
  return record;
}

void OleCheck(HRESULT result, const std::string& what) {
  if (FAILED(result)) throw EOleSysError(Format("%s (OLE error 0x%.8x)", {what, static_cast<uint32_t>(result)}), result);
}

CLIPFORMAT RegisteredFormat(CLIPFORMAT& slot, const char* name) {
  if (slot == 0) slot = static_cast<CLIPFORMAT>(RegisterClipboardFormat(name));
  return slot;
}

// ---- clipboard formats ----------------------------------------------------------------

void TClipboardFormat::CreateFormat(DWORD media) {
  DataDirections = {ddGet};
  FormatEtc = FORMATETC{};
  FormatEtc.cfFormat = GetClipboardFormat();
  FormatEtc.ptd = nullptr;
  FormatEtc.dwAspect = DVASPECT_CONTENT;
  FormatEtc.lindex = -1;
  FormatEtc.tymed = media;
}

CLIPFORMAT TClipboardFormat::GetClipboardFormat() {
  throw EDataFormatError("Internal error: " + ClassName() + ".GetClipboardFormat needs implementation");
}

std::string TClipboardFormat::GetClipboardFormatName() { return GetClipboardFormatNameStr(GetClipboardFormat()); }

void TClipboardFormat::SetClipboardFormatName(const std::string&) {
  throw EDataFormatError(ClassName() + ".ClipboardFormat is read-only");
}

bool TClipboardFormat::HasValidFormats(IDataObject* data) {
  FORMATETC probe = FormatEtc;
  for (DWORD medium = 1; medium != 0 && medium <= FormatEtc.tymed; medium <<= 1) {
    if (!(FormatEtc.tymed & medium)) continue;
    probe.tymed = medium;
    if (SUCCEEDED(data->QueryGetData(&probe))) return true;
  }
  return false;
}

bool TClipboardFormat::AcceptFormat(const FORMATETC& format) {
  return format.cfFormat == FormatEtc.cfFormat && format.ptd == nullptr && format.dwAspect == FormatEtc.dwAspect &&
         (format.tymed & FormatEtc.tymed) != 0;
}

bool TClipboardFormat::GetData(IDataObject* data) {
  Clear();
  STGMEDIUM medium;
  FORMATETC format = FormatEtc;
  if (FAILED(data->GetData(&format, &medium))) return false;
  return GetDataFromMedium(data, medium);
}

bool TClipboardFormat::GetDataFromMedium(IDataObject* data, STGMEDIUM& medium) {
  struct Release {
    STGMEDIUM& medium;
    ~Release() { ReleaseStgMedium(&medium); }
  } release{medium};
  Clear();
  return (medium.tymed & FormatEtc.tymed) != 0 && DoGetData(data, medium);
}

bool TClipboardFormat::SetDataToMedium(const FORMATETC& format, STGMEDIUM& medium) {
  medium = STGMEDIUM{};
  if (format.cfFormat != FormatEtc.cfFormat || format.dwAspect != FormatEtc.dwAspect ||
      !(format.tymed & FormatEtc.tymed))
    return false;
  return DoSetData(format, medium);
}

bool TClipboardFormat::SetData(IDataObject* data, const FORMATETC& format, STGMEDIUM& medium) {
  if (SetDataToMedium(format, medium)) {
    FORMATETC own = FormatEtc;
    if (SUCCEEDED(data->SetData(&own, &medium, TRUE))) return true;
  }
  ReleaseStgMedium(&medium);
  return false;
}

bool TClipboardFormat::Assign(TCustomDataFormat*) { return false; }
bool TClipboardFormat::AssignTo(TCustomDataFormat*) { return false; }
bool TClipboardFormat::DoGetData(IDataObject*, const STGMEDIUM&) { return false; }
bool TClipboardFormat::DoSetData(const FORMATETC&, STGMEDIUM&) { return false; }

int TClipboardFormats::Add(TClipboardFormat* format) {
  if (OwnsObjects && DataFormat) format->DataFormat = DataFormat;
  formats_.push_back(format);
  return Count() - 1;
}

void TClipboardFormats::Clear() {
  if (OwnsObjects)
    while (!formats_.empty()) {
      TClipboardFormat* last = formats_.back();
      formats_.pop_back();
      delete last;
    }
  formats_.clear();
}

// ---- data formats -------------------------------------------------------------------

TCustomDataFormat::TCustomDataFormat(TDragDropComponent* owner, const TFormatClass& own) : owner_(owner) {
  if (owner && !owner->TakesDataFormats())
    throw EDataFormatError(owner->ClassName() + " is not a valid owner for " + own.Name +
                           ". Owner must be derived from TCustomDropMultiSource or TCustomDropMultiTarget");
  DataFormatMap().GetSupportedFormats(own, CompatibleFormats, fsTarget);
  if (owner) owner->DataFormats.Add(this);
}

TCustomDataFormat::~TCustomDataFormat() {
  if (owner_) owner_->DataFormats.Remove(this);
}

void TCustomDataFormat::Changing() {
  if (OnChanging) OnChanging(this);
}

bool TCustomDataFormat::GetData(IDataObject* data) {
  bool read = false;
  for (int i = 0; NeedsData() && i < CompatibleFormats.Count(); ++i) {
    TClipboardFormat* format = CompatibleFormats.Formats(i);
    format->Clear();
    if (format->GetData(data) && format->HasData() && Assign(format)) {
      format->Clear();
      read = true;
    }
  }
  return read;
}

bool TCustomDataFormat::HasValidFormats(IDataObject* data) {
  for (int i = 0; i < CompatibleFormats.Count(); ++i)
    if (CompatibleFormats.Formats(i)->HasValidFormats(data)) return true;
  return false;
}

bool TCustomDataFormat::AcceptFormat(const FORMATETC& format) {
  for (int i = 0; i < CompatibleFormats.Count(); ++i)
    if (CompatibleFormats.Formats(i)->AcceptFormat(format)) return true;
  return false;
}

TDataFormats::~TDataFormats() {
  while (!formats_.empty()) Remove(formats_.back());
}

int TDataFormats::Add(TCustomDataFormat* format) {
  const int at = IndexOf(format);
  if (at >= 0) return at;
  formats_.push_back(format);
  return Count() - 1;
}

int TDataFormats::IndexOf(TCustomDataFormat* format) const {
  const auto it = std::find(formats_.begin(), formats_.end(), format);
  return it == formats_.end() ? -1 : static_cast<int>(it - formats_.begin());
}

int TDataFormats::Remove(TCustomDataFormat* format) {
  const int at = IndexOf(format);
  if (at >= 0) formats_.erase(formats_.begin() + at);
  return at;
}

// ---- the map and registration -----------------------------------------------------------

void TDataFormatMap::Add(const TFormatClass& dataFormat, const TFormatClass& clipboardFormat, int32_t priority,
                         TFormatScopes scopes, TDataDirections directions) {
  const auto found = std::find_if(entries_.begin(), entries_.end(), [&](const TDataFormatMapEntry& e) {
    return e.DataFormatClass->InheritsFrom(dataFormat) && e.ClipboardFormatClass->InheritsFrom(clipboardFormat);
  });
  TDataFormatMapEntry entry{&dataFormat, &clipboardFormat, priority, scopes, directions};
  if (found != entries_.end()) {
    entry.Scopes = found->Scopes + scopes;
    entry.Directions = found->Directions + directions;
    entries_.erase(found);
  }
  entries_.push_back(entry);
  PlaceLastEntry();
}

void TDataFormatMap::PlaceLastEntry() {
  const size_t last = entries_.size() - 1;
  const TDataFormatMapEntry entry = entries_[last];
  size_t run = last;  // the nearest earlier entry of the same class
  for (size_t i = last; i-- > 0;)
    if (entries_[i].DataFormatClass == entry.DataFormatClass) {
      run = i;
      break;
    }
  if (run == last) return;  // a new run at the end
  // Down the run while the priorities are not lower than the new one's.
  size_t place = run + 1;
  for (size_t i = run + 1; i-- > 0;) {
    if (entries_[i].DataFormatClass != entry.DataFormatClass) {
      place = i + 1;
      break;
    }
    if (entries_[i].Priority < entry.Priority) {
      place = i + 1;
      break;
    }
    place = i;
  }
  entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(last));
  entries_.insert(entries_.begin() + static_cast<std::ptrdiff_t>(place), entry);
}

void TDataFormatMap::DeleteByClipboardFormat(const TFormatClass& clipboardFormat) {
  std::erase_if(entries_, [&](const TDataFormatMapEntry& e) { return e.ClipboardFormatClass->InheritsFrom(clipboardFormat); });
}

void TDataFormatMap::DeleteByDataFormat(const TFormatClass& dataFormat) {
  std::erase_if(entries_, [&](const TDataFormatMapEntry& e) { return e.DataFormatClass->InheritsFrom(dataFormat); });
}

void TDataFormatMap::GetSupportedFormats(const TFormatClass& dataFormat, TClipboardFormats& list,
                                         TFormatScope scope) const {
  list.Clear();
  for (const TDataFormatMapEntry& e : entries_) {
    if (!e.Scopes.Contains(scope) || !e.DataFormatClass->InheritsFrom(dataFormat) || !e.ClipboardFormatClass->Create)
      continue;
    TClipboardFormat* format = e.ClipboardFormatClass->Create();
    format->DataDirections = e.Directions;
    list.Add(format);
  }
}

TDataFormatMap& DataFormatMap() {
  static TDataFormatMap map;
  return map;
}

std::vector<const TFormatClass*>& DataFormatClasses() {
  static std::vector<const TFormatClass*> classes;
  return classes;
}

void RegisterDataFormat(const TFormatClass& dataFormat) {
  auto& classes = DataFormatClasses();
  if (std::find(classes.begin(), classes.end(), &dataFormat) == classes.end()) classes.push_back(&dataFormat);
}

void UnregisterDataFormat(const TFormatClass& dataFormat) {
  DataFormatMap().DeleteByDataFormat(dataFormat);
  std::erase(DataFormatClasses(), &dataFormat);
}

void RegisterDataConversion(const TFormatClass& dataFormat, const TFormatClass& clipboardFormat, int32_t priority,
                            TFormatScopes scopes, TDataDirections directions) {
  DataFormatMap().Add(dataFormat, clipboardFormat, priority, scopes, directions);
}

void UnregisterClipboardFormat(const TFormatClass& clipboardFormat) {
  DataFormatMap().DeleteByClipboardFormat(clipboardFormat);
}

// ---- conversions ----------------------------------------------------------------------

DWORD DragTypesToDropEffect(TDragTypes types) {
  DWORD effect = DROPEFFECT_NONE;
  if (types.Contains(dtCopy)) effect |= DROPEFFECT_COPY;
  if (types.Contains(dtMove)) effect |= DROPEFFECT_MOVE;
  if (types.Contains(dtLink)) effect |= DROPEFFECT_LINK;
  return effect;
}

TShiftState KeysToShiftState(DWORD keys) {
  TShiftState shift;
  if (keys & MK_SHIFT) shift.Include(ssShift);
  if (keys & MK_CONTROL) shift.Include(ssCtrl);
  if (keys & MK_LBUTTON) shift.Include(ssLeft);
  if (keys & MK_RBUTTON) shift.Include(ssRight);
  if (keys & MK_MBUTTON) shift.Include(ssMiddle);
  if (keys & MK_ALT) shift.Include(ssAlt);
  return shift;
}

DWORD DropEffectFromShiftState(TShiftState shift, DWORD allowed, bool fallback) {
  DWORD wanted = DROPEFFECT_MOVE;
  if (shift.Contains(ssCtrl)) wanted = shift.Contains(ssShift) ? DROPEFFECT_LINK : DROPEFFECT_COPY;
  if (allowed & wanted) return wanted;
  if (fallback)
    for (DWORD e : {DROPEFFECT_COPY, DROPEFFECT_MOVE, DROPEFFECT_LINK})
      if (allowed & e) return e;
  return DROPEFFECT_NONE;
}

POINT ClientToWindow(HWND window, POINT point) {
  RECT frame{};
  ClientToScreen(window, &point);
  GetWindowRect(window, &frame);
  return POINT{point.x - frame.left, point.y - frame.top};
}

std::string GetClipboardFormatNameStr(CLIPFORMAT format) { return GetClipboardFormatName(format); }

// ---- components -----------------------------------------------------------------------

HRESULT TInterfacedComponent::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  IUnknown* found = riid == IID_IUnknown ? static_cast<IUnknown*>(this) : GetInterface(riid);
  *object = found;
  if (!found) return E_NOINTERFACE;
  found->AddRef();
  return S_OK;
}

IUnknown* TInterfacedComponent::GetInterface(REFIID) { return nullptr; }

IUnknown* TInterfacedComponent::OwnerUnknown() const { return dynamic_cast<IUnknown*>(Owner()); }

ULONG TInterfacedComponent::AddRef() {
  IUnknown* owner = OwnerUnknown();
  return owner ? owner->AddRef() : static_cast<ULONG>(-1);
}

ULONG TInterfacedComponent::Release() {
  IUnknown* owner = OwnerUnknown();
  return owner ? owner->Release() : static_cast<ULONG>(-1);
}
