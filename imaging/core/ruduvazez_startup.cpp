// Start-up and shut-down of the image library.
#include "imaging/core/ruduvazez_startup.h"

#include <cmath>
#include <mutex>

#include "imaging/core/davovevo.h"
#include "imaging/core/iegdiplus.h"
#include "imaging/core/iepresetim.h"
#include "imaging/core/iesettings.h"
#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_icc.h"
#include "imaging/io/iej2000.h"
#include "imaging/io/iemiscplugins.h"
#include "imaging/io/imageryio.h"
#include "imaging/processing/imageryproc.h"
#include "imaging/messages/iewords.h"
#include "platform/rtl/dynlib.h"

std::array<int32_t, 256> IECosineRamp{};
TIEGestureFunctions IEGestureFunctions;

namespace {

// The lock serialises the count and the two sequences; it is constant
// initialised, so it exists before any unit asks for it.
std::recursive_mutex startupLock;
int32_t useCount = 0;
int32_t unitCount = 0;  // RuduvazezUnitInitialize calls not yet finalised
HMODULE gestureModule = nullptr;

void RunStartRoutines() {
  IEGDIPlusResetGlobals();
  IEDavovevoStart();
  IEInitializeUtils();
  IEInitializeImageryIO();
  IEImageryProcInitialize();
  IEInitializePresetImages();
  IELoadGestureFunctions();
}

void RunStopRoutines() {
  IEUnloadGestureFunctions();
  IEFinalizePresetImages();
  IEImageryProcFinalize();
  IEFinalizeImageryIO();
  IEFinalizeJpeg2000();
  IEFinalizeUtils();
  TIEMiscPluginsImageMagick::UnloadLibraries();
  IEFreeGlobalSettings();
}

}  // namespace

void RuduvazezUnitInitialize() {
  if (unitCount++ == 0) IELibraryInitialize();
}

void RuduvazezUnitFinalize() {
  if (unitCount == 0 || --unitCount > 0) return;
  IELibraryFinalize();
  IEFreeGradientFill();
}

void IELibraryInitialize() {
  std::lock_guard lock(startupLock);
  if (useCount == 0) RunStartRoutines();  // an exception leaves the count at 0
  ++useCount;
}

void IELibraryFinalize() {
  std::lock_guard lock(startupLock);
  if (useCount == 0) return;
  if (--useCount == 0) RunStopRoutines();
}

bool IELibraryStarted() {
  std::lock_guard lock(startupLock);
  return useCount > 0;
}

void IEInitializeUtils() {
  IEGetGlobalSettings();
  IEFillLanguageTexts(IESetLanguageText);
  for (int32_t i = 0; i < 256; ++i)
    IECosineRamp[i] = static_cast<int32_t>(std::lround(64.0 - 64.0 * std::cos(i * M_PI / 255.0)));
}

void IEFinalizeUtils() {
  IEFreeDefaultFont();
  IEFreeColorSystem();
  IEClearLanguageTexts();  // no texts answer once the library has stopped
}

void IELoadGestureFunctions() {
  gestureModule = LoadLibrary("User32.dll");
  if (!gestureModule) return;
  IEGestureFunctions.GetGestureInfo = GetProcAddress(gestureModule, "GetGestureInfo");
  IEGestureFunctions.CloseGestureInfoHandle = GetProcAddress(gestureModule, "CloseGestureInfoHandle");
  IEGestureFunctions.SetGestureConfig = GetProcAddress(gestureModule, "SetGestureConfig");
  IEGestureFunctions.UnregisterTouchWindow = GetProcAddress(gestureModule, "UnregisterTouchWindow");
  if (!IEGestureFunctions.GetGestureInfo) IEUnloadGestureFunctions();
}

void IEUnloadGestureFunctions() {
  if (!gestureModule) return;
  FreeLibrary(gestureModule);
  gestureModule = nullptr;
}

bool IETouchGesturesAvailable() { return gestureModule != nullptr; }
