// System information of the support units: processor figures and the
// classification of the Windows edition, read from a version record that
// tests inject and that the platform layer fills otherwise.
#pragma once

#include <cstdint>
#include <string>

enum TWindowsEdition {
  weUnrecognized, weWin95, weWin95OSR2, weWin98, weWin98SE, weWinME, weWinNT31, weWinNT35, weWinNT351,
  weWinNT4, weWin2000, weWinXP, weWin2003, weWinXP64, weWin2003R2, weWinVista, weWinServer2008, weWin7,
  weWinServer2008R2
};

// What the classification reads from the system.
struct TSupVersionInfo {
  uint32_t platformId = 0;            // VER_PLATFORM_*
  uint32_t major = 0, minor = 0;
  std::string servicePack;            // trimmed
  uint32_t kernelProductVersion = 0;  // high half of kernel32's product version (non-NT only)
  bool serverR2 = false;              // GetSystemMetrics(SM_SERVERR2) != 0
  uint16_t nativeArchitecture = 0;    // 0: x86
  bool productTypeKnown = false;      // the extended version record could be read
  uint8_t productType = 0;            // VER_NT_WORKSTATION = 1
};

// The version record of the running system (the layer's fixed answers).
TSupVersionInfo SystemVersionInfo();
TWindowsEdition ClassifyWindows(const TSupVersionInfo& info);
TWindowsEdition ClassifyWindows();

// The values gathered at start-up.
struct TSupSystemInfo {
  uint32_t processorCount = 0, allocationGranularity = 0, pageSize = 0;
  bool isNT = false;
  uint32_t kernelProductVersion = 0;
  bool editions[weWinServer2008R2 + 1] = {};  // one per edition from weWin95 on
  bool winNT3 = false;
};
TSupSystemInfo GatherSystemInfo(const TSupVersionInfo& info);
const TSupSystemInfo& SystemInfo();
