// The system as Windows describes it: memory, processors, the Windows
// version this layer reports (one fixed answer: Windows 7 SP1, 6.1.7601, NT)
// and the version resources of our own executable and of the common
// controls (version 6).
//
// Sections: memory | processors | Windows version | version resources
#pragma once

#include <cstdint>
#include <string>

#include "platform/win/wintypes.h"

// ---- memory -----------------------------------------------------------------

struct MEMORYSTATUSEX {
  DWORD dwLength = sizeof(MEMORYSTATUSEX);  // 64
  DWORD dwMemoryLoad = 0;                   // percent of physical memory in use
  uint64_t ullTotalPhys = 0;
  uint64_t ullAvailPhys = 0;
  uint64_t ullTotalPageFile = 0;  // memory and swap
  uint64_t ullAvailPageFile = 0;
  uint64_t ullTotalVirtual = 0;
  uint64_t ullAvailVirtual = 0;
  uint64_t ullAvailExtendedVirtual = 0;
};

// The older record of 32-bit counts: values above 4 GiB - 1 read as 4 GiB - 1.
struct MEMORYSTATUS {
  DWORD dwLength = sizeof(MEMORYSTATUS);  // 32
  DWORD dwMemoryLoad = 0;
  DWORD dwTotalPhys = 0;
  DWORD dwAvailPhys = 0;
  DWORD dwTotalPageFile = 0;
  DWORD dwAvailPageFile = 0;
  DWORD dwTotalVirtual = 0;
  DWORD dwAvailVirtual = 0;
};

// From /proc/meminfo; available physical memory is MemAvailable. FALSE with
// ERROR_INVALID_PARAMETER when dwLength is not 64.
BOOL GlobalMemoryStatusEx(MEMORYSTATUSEX* status);
void GlobalMemoryStatus(MEMORYSTATUS* status);

// ---- processors -------------------------------------------------------------

constexpr WORD PROCESSOR_ARCHITECTURE_INTEL = 0;
constexpr WORD PROCESSOR_ARCHITECTURE_ARM = 5;
constexpr WORD PROCESSOR_ARCHITECTURE_AMD64 = 9;
constexpr WORD PROCESSOR_ARCHITECTURE_ARM64 = 12;
constexpr WORD PROCESSOR_ARCHITECTURE_UNKNOWN = 0xFFFF;

struct SYSTEM_INFO {
  WORD wProcessorArchitecture = 0;
  WORD wReserved = 0;
  DWORD dwPageSize = 0;
  void* lpMinimumApplicationAddress = nullptr;
  void* lpMaximumApplicationAddress = nullptr;
  DWORD_PTR dwActiveProcessorMask = 0;
  DWORD dwNumberOfProcessors = 0;  // logical processors online
  DWORD dwProcessorType = 0;
  DWORD dwAllocationGranularity = 0;
  WORD wProcessorLevel = 0;
  WORD wProcessorRevision = 0;
};

void GetSystemInfo(SYSTEM_INFO* info);
void GetNativeSystemInfo(SYSTEM_INFO* info);

enum LOGICAL_PROCESSOR_RELATIONSHIP : int32_t {
  RelationProcessorCore = 0,
  RelationNumaNode = 1,
  RelationCache = 2,
  RelationProcessorPackage = 3,
};

struct SYSTEM_LOGICAL_PROCESSOR_INFORMATION {
  ULONG_PTR ProcessorMask = 0;  // the logical processors (below 64) of the entry
  LOGICAL_PROCESSOR_RELATIONSHIP Relationship = RelationProcessorCore;
  union {
    struct {
      BYTE Flags;  // 1 when the core runs more than one logical processor
    } ProcessorCore;
    uint64_t Reserved[2];
  };
};

// One RelationProcessorCore record per physical core (from the CPU topology
// in sysfs) and one RelationProcessorPackage record per package. The Windows
// buffer contract: with a null or short buffer, FALSE, ERROR_INSUFFICIENT_BUFFER
// and the length needed (bytes) in *length.
BOOL GetLogicalProcessorInformation(SYSTEM_LOGICAL_PROCESSOR_INFORMATION* buffer, DWORD* length);

// ---- Windows version --------------------------------------------------------

constexpr DWORD VER_PLATFORM_WIN32s = 0;
constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
constexpr DWORD VER_PLATFORM_WIN32_NT = 2;
constexpr BYTE VER_NT_WORKSTATION = 1;

struct OSVERSIONINFOA {
  DWORD dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);  // 148
  DWORD dwMajorVersion = 0;
  DWORD dwMinorVersion = 0;
  DWORD dwBuildNumber = 0;
  DWORD dwPlatformId = 0;
  char szCSDVersion[128] = {};
};

struct OSVERSIONINFOEXA : OSVERSIONINFOA {
  OSVERSIONINFOEXA() { dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXA); }  // 156
  WORD wServicePackMajor = 0;
  WORD wServicePackMinor = 0;
  WORD wSuiteMask = 0;
  BYTE wProductType = 0;
  BYTE wReserved = 0;
};
using OSVERSIONINFO = OSVERSIONINFOA;
using OSVERSIONINFOEX = OSVERSIONINFOEXA;

// Fills the record (the extended part too when its size says it is an
// OSVERSIONINFOEXA); FALSE with ERROR_INSUFFICIENT_BUFFER for another size.
BOOL GetVersionExA(OSVERSIONINFOA* info);
inline BOOL GetVersionEx(OSVERSIONINFOA* info) { return GetVersionExA(info); }
// Major version in the low byte, minor in the next, build in the high word.
DWORD GetVersion();

// ---- version resources ------------------------------------------------------

constexpr DWORD VS_FFI_SIGNATURE = 0xFEEF04BD;
constexpr DWORD VS_FFI_STRUCVERSION = 0x00010000;
constexpr DWORD VOS_NT_WINDOWS32 = 0x00040004;
constexpr DWORD VFT_APP = 1;
constexpr DWORD VFT_DLL = 2;

struct VS_FIXEDFILEINFO {
  DWORD dwSignature = 0;
  DWORD dwStrucVersion = 0;
  DWORD dwFileVersionMS = 0;  // major << 16 | minor
  DWORD dwFileVersionLS = 0;  // release << 16 | build
  DWORD dwProductVersionMS = 0;
  DWORD dwProductVersionLS = 0;
  DWORD dwFileFlagsMask = 0;
  DWORD dwFileFlags = 0;
  DWORD dwFileOS = 0;
  DWORD dwFileType = 0;
  DWORD dwFileSubtype = 0;
  DWORD dwFileDateMS = 0;
  DWORD dwFileDateLS = 0;
};

// Version resources exist for our own executable (its path as
// GetModuleFileNameA answers it, or any file of that name; the version is the
// project's) and for "comctl32.dll" (6.10). Other files have none: size 0 and
// ERROR_RESOURCE_TYPE_NOT_FOUND.
constexpr DWORD ERROR_RESOURCE_TYPE_NOT_FOUND = 1813;
DWORD GetFileVersionInfoSizeA(const std::string& fileName, DWORD* handle);
BOOL GetFileVersionInfoA(const std::string& fileName, DWORD handle, DWORD size, void* data);
// "\" answers the VS_FIXEDFILEINFO inside a block that GetFileVersionInfoA filled.
BOOL VerQueryValueA(const void* block, const std::string& subBlock, void** buffer, UINT* length);
