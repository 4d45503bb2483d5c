// COM run-time: per-thread initialisation counts, the in-process class
// registry behind CoCreateInstance, the task allocator, GUID generation,
// streams over global memory and handing interfaces between threads.
//
// Sections: initialisation - class registry - task memory - GUIDs -
// streams on HGLOBAL - interfaces across threads.
#pragma once

#include <cstddef>

#include "platform/win/unknwn.h"

// HRESULTs of the COM run-time.
constexpr HRESULT E_PENDING = static_cast<HRESULT>(0x8000000Au);
constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110u);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = static_cast<HRESULT>(0x80040111u);
constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154u);
constexpr HRESULT CO_E_NOTINITIALIZED = static_cast<HRESULT>(0x800401F0u);
constexpr HRESULT CO_E_OBJNOTREG = static_cast<HRESULT>(0x800401FBu);

// Where a class may run; only in-process servers exist here, the other
// contexts are accepted so that a caller asking for them gets "not registered".
constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
constexpr DWORD CLSCTX_REMOTE_SERVER = 0x10;
constexpr DWORD CLSCTX_ALL = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;

constexpr DWORD REGCLS_SINGLEUSE = 0;
constexpr DWORD REGCLS_MULTIPLEUSE = 1;

// {00000000-0000-0000-0000-000000000000}
inline constexpr GUID GUID_NULL{};
// {00000001-0000-0000-C000-000000000046}
inline constexpr IID IID_IClassFactory{0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// Makes the objects of one class.
class IClassFactory : public IUnknown {
public:
  virtual HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** object) = 0;
  virtual HRESULT LockServer(BOOL lock) = 0;
};

// --- Initialisation -------------------------------------------------------
// Counted per thread: the first call answers S_OK, further calls S_FALSE
// (both succeed and each needs its uninitialise call).
HRESULT CoInitialize(void* reserved = nullptr);
void CoUninitialize();
// OLE initialisation counts as COM initialisation as well.
HRESULT OleInitialize(void* reserved = nullptr);
void OleUninitialize();
// Whether COM is initialised on the calling thread.
bool CoIsInitialized();
// Whether OLE is initialised on the calling thread (drag and drop needs it).
bool OleIsInitialized();

// --- Class registry -------------------------------------------------------
// Registers the factory of a class for this process; `cookie` identifies the
// registration for CoRevokeClassObject. Registering a class again replaces
// the factory until that newer registration is revoked.
HRESULT CoRegisterClassObject(REFCLSID clsid, IUnknown* factory, DWORD context, DWORD flags, DWORD* cookie);
HRESULT CoRevokeClassObject(DWORD cookie);
// Creates an object of a registered in-process class. A class nobody
// registered answers REGDB_E_CLASSNOTREG; a thread without CoInitialize
// answers CO_E_NOTINITIALIZED.
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID riid, void** object);

// --- Task memory ----------------------------------------------------------
void* CoTaskMemAlloc(size_t bytes);
void* CoTaskMemRealloc(void* block, size_t bytes);
void CoTaskMemFree(void* block);

// --- GUIDs ----------------------------------------------------------------
// A new random (version 4) GUID.
HRESULT CoCreateGuid(GUID* guid);

// --- Streams on HGLOBAL ---------------------------------------------------
// A stream over a global memory block (a new empty block when `block` is
// null). The stream grows the block as it is written; with `deleteOnRelease`
// the block is freed with the last reference to the stream.
HRESULT CreateStreamOnHGlobal(HGLOBAL block, BOOL deleteOnRelease, IStream** stream);
// The block under a stream made by CreateStreamOnHGlobal, cut to the
// stream's size. Writing may move the block, so ask again after writing.
HRESULT GetHGlobalFromStream(IStream* stream, HGLOBAL* block);

// --- Interfaces across threads --------------------------------------------
// Objects here are free-threaded, so "marshalling" packs the interface with
// one reference into a stream and unpacking takes it out again.
HRESULT CoMarshalInterThreadInterfaceInStream(REFIID riid, IUnknown* object, IStream** stream);
// Releases the stream in every case.
HRESULT CoGetInterfaceAndReleaseStream(IStream* stream, REFIID riid, void** object);
