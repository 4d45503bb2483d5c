// OLE data transfer: data objects and their formats, storage media, drag
// and drop (drop targets registered per window, the in-program drag loop,
// files dropped from the desktop) and the OLE clipboard.
//
// Sections: constants and results - records - interfaces - media -
// drag and drop - desktop file drops - clipboard.
#pragma once

#include <string>
#include <vector>

#include "platform/win/com.h"

// --- Constants and results --------------------------------------------------

using CLIPFORMAT = uint16_t;

constexpr DWORD DVASPECT_CONTENT = 1;
constexpr DWORD DVASPECT_THUMBNAIL = 2;
constexpr DWORD DVASPECT_ICON = 4;
constexpr DWORD DVASPECT_DOCPRINT = 8;

// Storage media. Only global memory and streams are served here; a storage
// (TYMED_ISTORAGE) is never offered, so callers take their other media.
constexpr DWORD TYMED_NULL = 0;
constexpr DWORD TYMED_HGLOBAL = 1;
constexpr DWORD TYMED_FILE = 2;
constexpr DWORD TYMED_ISTREAM = 4;
constexpr DWORD TYMED_ISTORAGE = 8;
constexpr DWORD TYMED_GDI = 16;
constexpr DWORD TYMED_MFPICT = 32;
constexpr DWORD TYMED_ENHMF = 64;

constexpr DWORD DATADIR_GET = 1;
constexpr DWORD DATADIR_SET = 2;

constexpr DWORD DROPEFFECT_NONE = 0;
constexpr DWORD DROPEFFECT_COPY = 1;
constexpr DWORD DROPEFFECT_MOVE = 2;
constexpr DWORD DROPEFFECT_LINK = 4;
constexpr DWORD DROPEFFECT_SCROLL = 0x80000000;

constexpr HRESULT OLE_E_ADVISENOTSUPPORTED = static_cast<HRESULT>(0x80040003u);
constexpr HRESULT DV_E_FORMATETC = static_cast<HRESULT>(0x80040064u);
constexpr HRESULT DV_E_LINDEX = static_cast<HRESULT>(0x80040068u);
constexpr HRESULT DV_E_TYMED = static_cast<HRESULT>(0x80040069u);
constexpr HRESULT DV_E_CLIPFORMAT = static_cast<HRESULT>(0x8004006Au);
constexpr HRESULT DV_E_DVASPECT = static_cast<HRESULT>(0x8004006Bu);
constexpr HRESULT DATA_S_SAMEFORMATETC = static_cast<HRESULT>(0x00040130u);
constexpr HRESULT DRAGDROP_S_DROP = static_cast<HRESULT>(0x00040100u);
constexpr HRESULT DRAGDROP_S_CANCEL = static_cast<HRESULT>(0x00040101u);
constexpr HRESULT DRAGDROP_S_USEDEFAULTCURSORS = static_cast<HRESULT>(0x00040102u);
constexpr HRESULT DRAGDROP_E_NOTREGISTERED = static_cast<HRESULT>(0x80040100u);
constexpr HRESULT DRAGDROP_E_ALREADYREGISTERED = static_cast<HRESULT>(0x80040101u);
constexpr HRESULT DRAGDROP_E_INVALIDHWND = static_cast<HRESULT>(0x80040102u);
constexpr HRESULT CLIPBRD_E_CANT_OPEN = static_cast<HRESULT>(0x800401D0u);
constexpr HRESULT CLIPBRD_E_CANT_EMPTY = static_cast<HRESULT>(0x800401D1u);
constexpr HRESULT CLIPBRD_E_CANT_SET = static_cast<HRESULT>(0x800401D2u);

// {0000010E-0000-0000-C000-000000000046}
inline constexpr IID IID_IDataObject{0x0000010E, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
// {00000103-0000-0000-C000-000000000046}
inline constexpr IID IID_IEnumFORMATETC{0x00000103, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
// {00000121-0000-0000-C000-000000000046}
inline constexpr IID IID_IDropSource{0x00000121, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
// {00000122-0000-0000-C000-000000000046}
inline constexpr IID IID_IDropTarget{0x00000122, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
// {0000000B-0000-0000-C000-000000000046}
inline constexpr IID IID_IStorage{0x0000000B, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// --- Records ------------------------------------------------------------------

struct DVTARGETDEVICE;  // never used here: always null

struct FORMATETC {
  CLIPFORMAT cfFormat = 0;
  DVTARGETDEVICE* ptd = nullptr;
  DWORD dwAspect = DVASPECT_CONTENT;
  LONG lindex = -1;
  DWORD tymed = TYMED_HGLOBAL;
};

// Compound files (storages) are not available: no storage is ever made
// here, so IStorage carries only what callers name.
class IStorage : public IUnknown {
public:
  virtual HRESULT CopyTo(DWORD excludeCount, const IID* exclude, const void* excludeNames, IStorage* target) = 0;
};
class ILockBytes : public IUnknown {};

constexpr DWORD STGM_READWRITE = 0x00000002;
constexpr DWORD STGM_SHARE_EXCLUSIVE = 0x00000010;
constexpr DWORD STGM_CREATE = 0x00001000;

// Both answer STG_E_INVALIDFUNCTION, as on a system without compound files.
HRESULT CreateILockBytesOnHGlobal(HGLOBAL block, BOOL deleteOnRelease, ILockBytes** bytes);
HRESULT StgCreateDocfileOnILockBytes(ILockBytes* bytes, DWORD mode, DWORD reserved, IStorage** storage);

struct STGMEDIUM {
  DWORD tymed = TYMED_NULL;
  union {
    HGLOBAL hGlobal;
    IStream* pstm;
    IStorage* pstg;
  };
  IUnknown* pUnkForRelease = nullptr;
  STGMEDIUM() : hGlobal(nullptr) {}
};

struct POINTL {
  LONG x = 0;
  LONG y = 0;
};

// The header of a CF_HDROP block; the names follow at pFiles, each ended by
// a NUL character, the list by an empty name. UTF-16 when fWide is set.
struct DROPFILES {
  DWORD pFiles = sizeof(DROPFILES);
  POINT pt;
  BOOL fNC = FALSE;
  BOOL fWide = FALSE;
};
static_assert(sizeof(DROPFILES) == 20, "DROPFILES is a 20-byte header");

// --- Interfaces -----------------------------------------------------------------

class IEnumFORMATETC : public IUnknown {
public:
  virtual HRESULT Next(ULONG count, FORMATETC* formats, ULONG* fetched) = 0;
  virtual HRESULT Skip(ULONG count) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumFORMATETC** clone) = 0;
};

// Advise connections are not supported by any data object here.
class IAdviseSink : public IUnknown {};
class IEnumSTATDATA : public IUnknown {};

class IDataObject : public IUnknown {
public:
  virtual HRESULT GetData(FORMATETC* format, STGMEDIUM* medium) = 0;
  virtual HRESULT GetDataHere(FORMATETC* format, STGMEDIUM* medium) = 0;
  virtual HRESULT QueryGetData(FORMATETC* format) = 0;
  virtual HRESULT GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out) = 0;
  // With `release` the object takes the medium over.
  virtual HRESULT SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) = 0;
  virtual HRESULT EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) = 0;
  virtual HRESULT DAdvise(FORMATETC* format, DWORD flags, IAdviseSink* sink, DWORD* connection) = 0;
  virtual HRESULT DUnadvise(DWORD connection) = 0;
  virtual HRESULT EnumDAdvise(IEnumSTATDATA** advises) = 0;
};

class IDropSource : public IUnknown {
public:
  // S_OK goes on, DRAGDROP_S_DROP drops, DRAGDROP_S_CANCEL cancels.
  virtual HRESULT QueryContinueDrag(BOOL escapePressed, DWORD keyState) = 0;
  virtual HRESULT GiveFeedback(DWORD effect) = 0;
};

// Points are screen coordinates; key states are MK_* flags.
class IDropTarget : public IUnknown {
public:
  virtual HRESULT DragEnter(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) = 0;
  virtual HRESULT DragOver(DWORD keyState, POINTL point, DWORD* effect) = 0;
  virtual HRESULT DragLeave() = 0;
  virtual HRESULT Drop(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) = 0;
};

// A data object that can hand its data over while the source goes on: the
// target asks GetAsyncMode, calls StartOperation before it reads on another
// thread and EndOperation with the outcome and the effect performed.
class IBindCtx;  // never used here: always null
class IAsyncOperation : public IUnknown {
public:
  virtual HRESULT SetAsyncMode(BOOL async) = 0;
  virtual HRESULT GetAsyncMode(BOOL* async) = 0;
  virtual HRESULT StartOperation(IBindCtx* reserved) = 0;
  virtual HRESULT InOperation(BOOL* inOperation) = 0;
  virtual HRESULT EndOperation(HRESULT result, IBindCtx* reserved, DWORD effect) = 0;
};
// {3D8B0590-F691-11D2-8EA9-006097DF5BD4}
inline constexpr IID IID_IAsyncOperation{0x3D8B0590, 0xF691, 0x11D2, {0x8E, 0xA9, 0x00, 0x60, 0x97, 0xDF, 0x5B, 0xD4}};

// The drag-image helper: shows the image a drag source put into its data
// object over the target window. No class is registered for it here (as on
// a system without it): CoCreateInstance answers REGDB_E_CLASSNOTREG and
// targets go without the image. Points are screen coordinates.
class IDropTargetHelper : public IUnknown {
public:
  virtual HRESULT DragEnter(HWND target, IDataObject* data, POINT* point, DWORD effect) = 0;
  virtual HRESULT DragLeave() = 0;
  virtual HRESULT DragOver(POINT* point, DWORD effect) = 0;
  virtual HRESULT Drop(IDataObject* data, POINT* point, DWORD effect) = 0;
  virtual HRESULT Show(BOOL show) = 0;
};
// {4657278B-411B-11D2-839A-00C04FD918D0}
inline constexpr IID IID_IDropTargetHelper{0x4657278B, 0x411B, 0x11D2, {0x83, 0x9A, 0x00, 0xC0, 0x4F, 0xD9, 0x18, 0xD0}};
// {4657278A-411B-11D2-839A-00C04FD918D0}
inline constexpr CLSID CLSID_DragDropHelper{0x4657278A, 0x411B, 0x11D2, {0x83, 0x9A, 0x00, 0xC0, 0x4F, 0xD9, 0x18, 0xD0}};

// --- Media ----------------------------------------------------------------------

// Frees what a medium holds (or releases pUnkForRelease instead) and clears it.
void ReleaseStgMedium(STGMEDIUM* medium);

// --- Drag and drop ----------------------------------------------------------------

// Makes `target` the drop target of `window` (one reference held until
// revoked). Needs OleInitialize on the calling thread. Registering also
// makes the window layer hand files dropped from the desktop to
// DropFilesOnWindow.
HRESULT RegisterDragDrop(HWND window, IDropTarget* target);
HRESULT RevokeDragDrop(HWND window);

// Runs the drag loop until the source drops or cancels: takes the mouse and
// key input off the message queue (dispatching everything else), asks the
// source whether to go on, and calls the drop target of the window under the
// pointer (or of its nearest registered parent).
// Answers DRAGDROP_S_DROP with the target's effect (masked by `allowed`) or
// DRAGDROP_S_CANCEL with DROPEFFECT_NONE. A target whose last answer was
// DROPEFFECT_NONE is left (DragLeave), not dropped on.
HRESULT DoDragDrop(IDataObject* data, IDropSource* source, DWORD allowed, DWORD* effect);

// --- Desktop file drops -------------------------------------------------------

// Delivers files dropped from the desktop on `window` at a screen point to
// the drop target registered for it (or its nearest registered parent):
// DragEnter and DragOver with the left button down, then Drop with the keys
// held now, or DragLeave when the target refused. The data object offers
// CF_HDROP (UTF-16 names) and "FileNameW" (the first name), in global memory
// or as a stream. Answers the effect of the drop (DROPEFFECT_NONE when
// nobody took it).
DWORD DropFilesOnWindow(HWND window, POINT screenPoint, const std::vector<std::string>& files);

// --- Clipboard ------------------------------------------------------------------

// Empties the clipboard and copies onto it every format the object offers
// in global memory or a stream (null just empties it). The object is held
// until the next OleSetClipboard or OleFlushClipboard.
HRESULT OleSetClipboard(IDataObject* data);
// A data object over what the clipboard holds now.
HRESULT OleGetClipboard(IDataObject** data);
// Lets go of the object set, leaving its data on the clipboard.
HRESULT OleFlushClipboard();
