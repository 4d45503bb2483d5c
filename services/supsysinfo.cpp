// System information of the support units.
#include "services/supsysinfo.h"

#include <cstring>

#include "platform/rtl/sysutils.h"
#include "platform/win/sysinfo.h"
#include "platform/win/user_system.h"
#include "platform/win/winuser_consts.h"

TSupVersionInfo SystemVersionInfo() {
  TSupVersionInfo info;
  OSVERSIONINFOEXA version;
  if (GetVersionExA(&version)) {
    info.platformId = version.dwPlatformId;
    info.major = version.dwMajorVersion;
    info.minor = version.dwMinorVersion;
    info.servicePack = Trim(std::string(version.szCSDVersion, strnlen(version.szCSDVersion, sizeof version.szCSDVersion)));
    info.productTypeKnown = true;
    info.productType = version.wProductType;
  }
  info.serverR2 = GetSystemMetrics(SM_SERVERR2) != 0;
  SYSTEM_INFO system;
  GetNativeSystemInfo(&system);
  info.nativeArchitecture = system.wProcessorArchitecture;
  return info;
}

namespace {

bool workstation(const TSupVersionInfo& info) { return info.productTypeKnown && info.productType == VER_NT_WORKSTATION; }

TWindowsEdition classify9x(const TSupVersionInfo& info) {
  if (info.minor < 10) return info.servicePack == "B" || info.servicePack == "C" ? weWin95OSR2 : weWin95;
  if (info.minor < 90) {
    if (info.kernelProductVersion == 0x4005A) return weWinME;
    return info.servicePack == "A" || info.servicePack == "B" ? weWin98SE : weWin98;
  }
  return info.minor == 90 ? weWinME : weUnrecognized;
}

TWindowsEdition classifyNT(const TSupVersionInfo& info) {
  switch (info.major) {
    case 3:
      return info.minor == 1 ? weWinNT31 : info.minor == 5 ? weWinNT35 : info.minor == 51 ? weWinNT351 : weUnrecognized;
    case 4: return weWinNT4;
    case 5:
      if (info.minor == 0) return weWin2000;
      if (info.minor == 1) return weWinXP;
      if (info.minor != 2) return weUnrecognized;
      if (info.serverR2) return weWin2003R2;
      return info.nativeArchitecture != 0 && workstation(info) ? weWinXP64 : weWin2003;
    case 6:
      if (info.minor == 0) return workstation(info) ? weWinVista : weWinServer2008;
      if (info.minor == 1) return workstation(info) ? weWin7 : weWinServer2008R2;
      return weUnrecognized;
    default: return weUnrecognized;
  }
}

}  // namespace

TWindowsEdition ClassifyWindows(const TSupVersionInfo& info) {
  if (info.platformId == VER_PLATFORM_WIN32_WINDOWS) return classify9x(info);
  if (info.platformId == VER_PLATFORM_WIN32_NT) return classifyNT(info);
  return weUnrecognized;
}

TWindowsEdition ClassifyWindows() { return ClassifyWindows(SystemVersionInfo()); }

TSupSystemInfo GatherSystemInfo(const TSupVersionInfo& info) {
  TSupSystemInfo gathered;
  SYSTEM_INFO system;
  GetSystemInfo(&system);
  gathered.processorCount = system.dwNumberOfProcessors;
  gathered.allocationGranularity = system.dwAllocationGranularity;
  gathered.pageSize = system.dwPageSize;
  gathered.isNT = info.platformId == VER_PLATFORM_WIN32_NT;
  gathered.kernelProductVersion = gathered.isNT ? 0 : info.kernelProductVersion;
  const TWindowsEdition edition = ClassifyWindows(info);
  if (edition != weUnrecognized) gathered.editions[edition] = true;
  gathered.winNT3 = edition == weWinNT31 || edition == weWinNT35 || edition == weWinNT351;
  if (edition == weWinNT351) gathered.editions[weWinNT35] = true;
  return gathered;
}

const TSupSystemInfo& SystemInfo() {
  static const TSupSystemInfo info = GatherSystemInfo(SystemVersionInfo());
  return info;
}
