// The core of drag and drop: clipboard formats (one OLE format description
// with the code that decodes its value from a storage medium or renders it
// into one), data formats (one kind of data as a component sees it, fed by
// an ordered list of compatible clipboard formats) and the process-wide map
// that pairs them, with priorities.
//
// Class references are modelled by TFormatClass records: a name, the parent
// class and, for concrete clipboard formats, a factory. Every format class
// declares its record with DRAGDROP_CLASS.
//
// Sections: class records | clipboard formats | data formats | the map and
// registration | components | conversions
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/forms/classes.h"
#include "platform/forms/controls.h"
#include "platform/rtl/set.h"
#include "platform/win/ole.h"

class TClipboardFormat;
class TCustomDataFormat;
class TDragDropComponent;

// ---- class records ------------------------------------------------------------------

struct TFormatClass {
  const char* Name;
  const TFormatClass* Parent;
  TClipboardFormat* (*Create)();  // null for abstract classes and data formats
  bool InheritsFrom(const TFormatClass& base) const;
};

template <typename C>
TClipboardFormat* MakeClipboardFormat() {
  return new C();
}

// Inside a class body: the class record and the virtual that answers it.
#define DRAGDROP_CLASS(C)                    \
public:                                      \
  static const TFormatClass& StaticClass();  \
  const TFormatClass& ClassType() const override { return StaticClass(); }

// In the unit: the record of a class without factory (abstract clipboard
// formats and every data format), or of a concrete clipboard format.
#define DRAGDROP_ABSTRACT_CLASS(C, Base)                              \
  const TFormatClass& C::StaticClass() {                              \
    static const TFormatClass record{#C, &Base::StaticClass(), nullptr}; \
    return record;                                                    \
  }
#define DRAGDROP_CONCRETE_CLASS(C, Base)                                                     \
  const TFormatClass& C::StaticClass() {                                                     \
    static const TFormatClass record{#C, &Base::StaticClass(), &MakeClipboardFormat<C>};     \
    return record;                                                                           \
  }

enum TDataDirection { ddGet, ddSet };
using TDataDirections = Set<TDataDirection>;
enum TFormatScope { fsSource, fsTarget };
using TFormatScopes = Set<TFormatScope>;
enum TDragType { dtCopy, dtMove, dtLink };
using TDragTypes = Set<TDragType>;

RTL_DECLARE_EXCEPTION(EDataFormatError, Exception);
// A failed call of the platform's OLE layer, with its result code.
class EOleSysError : public Exception {
public:
  explicit EOleSysError(std::string message, HRESULT code = E_UNEXPECTED)
      : Exception(std::move(message)), ErrorCode(code) {}
  HRESULT ErrorCode;
};
// Raises EOleSysError for a failed result: "<what> (OLE error 0x...)".
void OleCheck(HRESULT result, const std::string& what);

// A clipboard format id for a registered name, asked for on first use and
// kept once the registration succeeded.
CLIPFORMAT RegisteredFormat(CLIPFORMAT& slot, const char* name);

// ---- clipboard formats ----------------------------------------------------------------

class TClipboardFormat : public TObject {
public:
  static const TFormatClass& StaticClass();
  virtual const TFormatClass& ClassType() const { return StaticClass(); }
  std::string ClassName() const { return ClassType().Name; }

  TClipboardFormat() = default;
  explicit TClipboardFormat(const FORMATETC& format) : FormatEtc(format) {}  // CreateFormatEtc
  TClipboardFormat(const TClipboardFormat&) = delete;
  TClipboardFormat& operator=(const TClipboardFormat&) = delete;
  ~TClipboardFormat() override = default;

  TDataDirections DataDirections{ddGet};
  TCustomDataFormat* DataFormat = nullptr;  // the data format whose list holds this one
  FORMATETC FormatEtc;

  // The id; a class that does not name its format raises EDataFormatError.
  virtual CLIPFORMAT GetClipboardFormat();
  virtual void SetClipboardFormat(CLIPFORMAT format) { FormatEtc.cfFormat = format; }
  CLIPFORMAT ClipboardFormat() { return GetClipboardFormat(); }
  // The registered name; empty for the predefined formats.
  virtual std::string GetClipboardFormatName();
  // Raises EDataFormatError: the name follows the class.
  virtual void SetClipboardFormatName(const std::string& name);

  // Asks the object for each of our media, lowest bit first.
  virtual bool HasValidFormats(IDataObject* data);
  // Same format and aspect, no target device, a medium in common.
  virtual bool AcceptFormat(const FORMATETC& format);
  // Reads the value from the object; the medium is released on every path.
  virtual bool GetData(IDataObject* data);
  virtual bool GetDataFromMedium(IDataObject* data, STGMEDIUM& medium);
  // Renders the value into a new medium and hands it to the object; a medium
  // the object did not take is released.
  virtual bool SetData(IDataObject* data, const FORMATETC& format, STGMEDIUM& medium);
  bool SetDataToMedium(const FORMATETC& format, STGMEDIUM& medium);

  virtual bool Assign(TCustomDataFormat* source);
  virtual bool AssignTo(TCustomDataFormat* dest);
  virtual void Clear() = 0;
  virtual bool HasData() { return true; }

protected:
  // Resolves the id (the concrete class answers) and sets the media; called
  // by the constructor of every concrete format.
  void CreateFormat(DWORD media);
  virtual bool DoGetData(IDataObject* data, const STGMEDIUM& medium);
  virtual bool DoSetData(const FORMATETC& format, STGMEDIUM& medium);
};

// An ordered list of clipboard formats, owning them or not.
class TClipboardFormats {
public:
  TClipboardFormats(TCustomDataFormat* dataFormat, bool ownsObjects)
      : DataFormat(dataFormat), OwnsObjects(ownsObjects) {}
  TClipboardFormats(const TClipboardFormats&) = delete;
  TClipboardFormats& operator=(const TClipboardFormats&) = delete;
  ~TClipboardFormats() { Clear(); }

  TCustomDataFormat* const DataFormat;
  const bool OwnsObjects;

  int Add(TClipboardFormat* format);
  int Count() const { return static_cast<int>(formats_.size()); }
  TClipboardFormat* Formats(int index) const { return formats_.at(static_cast<size_t>(index)); }
  void Clear();

private:
  std::vector<TClipboardFormat*> formats_;
};

// ---- data formats -------------------------------------------------------------------

class TCustomDataFormat : public TObject {
public:
  static const TFormatClass& StaticClass();
  virtual const TFormatClass& ClassType() const { return StaticClass(); }
  std::string ClassName() const { return ClassType().Name; }

  TCustomDataFormat(const TCustomDataFormat&) = delete;
  TCustomDataFormat& operator=(const TCustomDataFormat&) = delete;
  ~TCustomDataFormat() override;

  TClipboardFormats CompatibleFormats{this, true};
  TDragDropComponent* Owner() const { return owner_; }
  TNotifyEvent OnChanging;

  virtual void Changing();
  virtual void Clear() = 0;
  virtual bool Assign(TClipboardFormat* source) { return source->AssignTo(this); }
  virtual bool AssignTo(TClipboardFormat* dest) { return dest->Assign(this); }
  // Tries the compatible formats in order while NeedsData.
  virtual bool GetData(IDataObject* data);
  virtual bool HasData() = 0;
  virtual bool NeedsData() { return !HasData(); }
  virtual bool HasValidFormats(IDataObject* data);
  virtual bool AcceptFormat(const FORMATETC& format);

  // The change event of the lists a data format holds.
  void DoOnChanging(TObject*) { Changing(); }

protected:
  // `own` is the concrete class: its compatible formats come from the map.
  // An owner that does not take data formats raises EDataFormatError.
  TCustomDataFormat(TDragDropComponent* owner, const TFormatClass& own);

private:
  TDragDropComponent* owner_;
};

// The data formats of a component, not owned.
class TDataFormats {
public:
  TDataFormats() = default;
  TDataFormats(const TDataFormats&) = delete;
  TDataFormats& operator=(const TDataFormats&) = delete;
  virtual ~TDataFormats();

  virtual int Add(TCustomDataFormat* format);
  virtual int IndexOf(TCustomDataFormat* format) const;
  virtual int Remove(TCustomDataFormat* format);
  int Count() const { return static_cast<int>(formats_.size()); }
  TCustomDataFormat* Formats(int index) const { return formats_.at(static_cast<size_t>(index)); }

private:
  std::vector<TCustomDataFormat*> formats_;
};

// ---- the map and registration -----------------------------------------------------------

struct TDataFormatMapEntry {
  const TFormatClass* DataFormatClass;
  const TFormatClass* ClipboardFormatClass;
  int32_t Priority;
  TFormatScopes Scopes;
  TDataDirections Directions;
};

// Entries of one data format class stand together, by ascending priority,
// equal priorities newest first; the runs in order of first registration.
class TDataFormatMap {
public:
  void Add(const TFormatClass& dataFormat, const TFormatClass& clipboardFormat, int32_t priority,
           TFormatScopes scopes, TDataDirections directions);
  void DeleteByClipboardFormat(const TFormatClass& clipboardFormat);
  void DeleteByDataFormat(const TFormatClass& dataFormat);
  // Fills the list with new formats of the entries serving the class and scope.
  void GetSupportedFormats(const TFormatClass& dataFormat, TClipboardFormats& list, TFormatScope scope) const;
  const std::vector<TDataFormatMapEntry>& Entries() const { return entries_; }

private:
  void PlaceLastEntry();
  std::vector<TDataFormatMapEntry> entries_;
};

TDataFormatMap& DataFormatMap();
// The registered data format classes (kept for completeness; nothing reads it).
std::vector<const TFormatClass*>& DataFormatClasses();

void RegisterDataFormat(const TFormatClass& dataFormat);
void UnregisterDataFormat(const TFormatClass& dataFormat);
void RegisterDataConversion(const TFormatClass& dataFormat, const TFormatClass& clipboardFormat, int32_t priority,
                            TFormatScopes scopes = {fsSource, fsTarget}, TDataDirections directions = {ddGet});
void UnregisterClipboardFormat(const TFormatClass& clipboardFormat);

// ---- components -----------------------------------------------------------------------

// A component that is its own IUnknown. Its life is its owner's business:
// AddRef and Release go to an owner that is an IUnknown and answer its count;
// without one they count nothing and answer -1. QueryInterface answers
// IUnknown and the interfaces a descendant names in GetInterface.
class TInterfacedComponent : public TComponent, public IUnknown {
public:
  using TComponent::TComponent;
  HRESULT QueryInterface(REFIID riid, void** object) override;
  ULONG AddRef() override;
  ULONG Release() override;

protected:
  // The component's own interfaces besides IUnknown; null when it has none.
  virtual IUnknown* GetInterface(REFIID riid);

private:
  IUnknown* OwnerUnknown() const;
};

// A component that uses data formats; a drop target takes them (data
// formats made with any other owner are refused).
class TDragDropComponent : public TInterfacedComponent {
public:
  using TInterfacedComponent::TInterfacedComponent;
  TDataFormats DataFormats;
  virtual bool TakesDataFormats() const { return false; }
};

// ---- conversions ----------------------------------------------------------------------

DWORD DragTypesToDropEffect(TDragTypes types);
TShiftState KeysToShiftState(DWORD keys);
// Ctrl+Shift link, Ctrl copy, none or Shift move, each when allowed; with
// `fallback`, the first allowed of copy, move, link instead of none.
DWORD DropEffectFromShiftState(TShiftState shift, DWORD allowed, bool fallback);
// A client point of the window relative to the window's outer top-left corner.
POINT ClientToWindow(HWND window, POINT point);
std::string GetClipboardFormatNameStr(CLIPFORMAT format);
