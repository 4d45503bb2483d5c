// Start-up and shut-down of the image library. The library's process-wide
// state (settings object, message table, bound system modules, ...) is built
// here in a fixed order rather than by each unit on its own, and torn down in
// the reverse order. Calls are counted: only the first start and the last
// stop do any work.
#pragma once

#include <array>
#include <cstdint>

// The unit's own initialisation and finalisation: the program runs the first
// before anything else of the library and the second last of all (a test
// program around its tests). Each body runs once however often it is called.
void RuduvazezUnitInitialize();
void RuduvazezUnitFinalize();

// Starts the library on the first call; later calls only count. An exception
// of a start routine reaches the caller with the count unchanged, so that a
// later call runs every start routine again.
void IELibraryInitialize();
// Counts a call down and stops the library when none is left; nothing when
// the library is not started.
void IELibraryFinalize();
// True between the first start and the last stop.
bool IELibraryStarted();

// The start and stop routines of this unit itself, run by the two above.
void IEInitializeUtils();
void IEFinalizeUtils();

// 64 - 64 cos(i pi / 255), rounded: 0 at 0, 64 at 128, 128 at 255. Filled by
// IEInitializeUtils; the blending combine operator reads it.
extern std::array<int32_t, 256> IECosineRamp;

// "GradientFill" of "MSIMG32.DLL", bound once on first use; false when the
// module or the function is missing. The unit's finalisation releases it.
bool IELoadGradientFill();
void IEFreeGradientFill();

// The touch-gesture functions of "User32.dll", bound by name. Without the
// module, or without "GetGestureInfo" in it, gestures are unavailable.
void IELoadGestureFunctions();
void IEUnloadGestureFunctions();
bool IETouchGesturesAvailable();
struct TIEGestureFunctions {
  void* GetGestureInfo = nullptr;
  void* CloseGestureInfoHandle = nullptr;
  void* SetGestureConfig = nullptr;
  void* UnregisterTouchWindow = nullptr;
};
// The bound entry points; test IETouchGesturesAvailable before calling one.
extern TIEGestureFunctions IEGestureFunctions;
