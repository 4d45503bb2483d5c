// The plug-in host: shared libraries that add image formats at run time
// (interface in ieplugin_interface.h). Each format a library offers becomes
// a registry entry with an id of 4096 or more, read, written and recognised
// through the routines below.
//
// Sections: record | list and registration | registry routines
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "imaging/io/ieplugin_interface.h"
#include "imaging/io/imageryio_registry.h"
#include "platform/rtl/threads.h"
#include "platform/win/wintypes.h"

// ---- record ------------------------------------------------------------------------

// The nine entry points, in the interface's order.
struct TIEPluginEntries {
  IEX_ExecuteReadProc ExecuteRead = nullptr;
  IEX_ExecuteWriteProc ExecuteWrite = nullptr;
  IEX_ExecuteTryProc ExecuteTry = nullptr;
  IEX_AddParameterProc AddParameter = nullptr;
  IEX_SetCallBacksProc SetCallBacks = nullptr;
  IEX_InitializeProc Initialize = nullptr;
  IEX_FinalizeProc Finalize = nullptr;
  IEX_GetInfoProc GetInfo = nullptr;
  IEX_SetInfoProc SetInfo = nullptr;
};

// One format of a plug-in library; the library is loaded once per format.
struct TIEIOPlugin {
  HMODULE Module = nullptr;
  TIEPluginEntries StdcallEntries;  // filled when the library uses stdcall
  TIEPluginEntries CdeclEntries;    // filled when it exports "IEX_UseCDECL"
  int32_t FormatId = 0;
  std::unique_ptr<TCriticalSection> Lock;  // null for a thread-safe plug-in
  uint32_t Flags = 0;
  int32_t FormatIndex = 0;
  std::string FileName;
  bool UseCDecl = false;

  const TIEPluginEntries& Entries() const { return UseCDecl ? CdeclEntries : StdcallEntries; }
};

// ---- list and registration -----------------------------------------------------------

// The process-wide plug-in list, made and freed by the I/O start-up and
// shut-down; registering needs it.
void IECreateIOPluginList();
void IEFreeIOPluginList();
bool IEIOPluginListExists();
int32_t IEIOPluginCount();
TIEIOPlugin* IEIOPluginAt(int32_t index);

// Loads the library once per format it offers and registers each format;
// the id of the last format registered, 0 when none was (also when a
// library of that file name is loaded already). The camera-raw library's
// first format gets 4096, every other format 4097 + the records before it.
int32_t IERegisterIOPlugin(const std::string& fileName);
// Unregisters every plug-in format, releases its library, empties the list.
void IEUnloadIOPlugins();
TIEIOPlugin* IEFindIOPlugin(int32_t fileTypeId);
// A record's library has the same file-name part (exact case).
bool IEIsIOPluginLoaded(const std::string& fileName);
// The lower-cased file-name part contains "dcrawlib.dll".
bool IEIsCameraRawPluginName(const std::string& fileName);

// ---- registry routines ---------------------------------------------------------------

// A read that decodes nothing, or whose results do not describe a valid
// image, sets the progress record's aborting flag.
void IEPluginReadStream(TStream& stream, TIEBitmap* bitmap, TIOParamsVals& params, bool paramsOnly,
                        TIEProgressRecord& progress);
// A plug-in that writes nothing, or whose writes fall short, sets the
// aborting flag: the save failed.
void IEPluginWriteStream(TStream& stream, TIEBitmap* bitmap, TIOParamsVals& params,
                         TIEProgressRecord& progress);
bool IEPluginTryStream(TStream& stream, int32_t fileTypeId);
