// Sections: memory | processors | Windows version | version resources
#include "platform/win/sysinfo.h"

#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <vector>

#include "platform/win/kernel.h"
#include "platform/win/kernel_files.h"

namespace fs = std::filesystem;

// ---- memory -----------------------------------------------------------------

namespace {
// The "Name: value kB" lines of a /proc file, in bytes.
std::map<std::string, uint64_t> ReadKilobyteTable(const char* fileName) {
  std::map<std::string, uint64_t> table;
  std::ifstream in(fileName);
  std::string name;
  uint64_t value = 0;
  std::string line;
  for (int count = 0; count < 200 && std::getline(in, line); ++count) {
    std::istringstream fields(line);
    if (fields >> name >> value && !name.empty() && name.back() == ':') {
      table[name.substr(0, name.size() - 1)] = value * 1024;
    }
  }
  return table;
}

// The user part of the address space of an x86-64 or AArch64 process.
constexpr uint64_t userAddressSpace = 0x00007FFFFFFE0000ULL;
}  // namespace

BOOL GlobalMemoryStatusEx(MEMORYSTATUSEX* status) {
  if (!status || status->dwLength != sizeof(MEMORYSTATUSEX)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  auto mem = ReadKilobyteTable("/proc/meminfo");
  auto self = ReadKilobyteTable("/proc/self/status");
  uint64_t total = mem["MemTotal"];
  uint64_t available = mem.count("MemAvailable") ? mem["MemAvailable"] : mem["MemFree"];
  available = std::min(available, total);
  status->dwMemoryLoad = total ? static_cast<DWORD>((total - available) * 100 / total) : 0;
  status->ullTotalPhys = total;
  status->ullAvailPhys = available;
  status->ullTotalPageFile = total + mem["SwapTotal"];
  status->ullAvailPageFile = available + std::min(mem["SwapFree"], mem["SwapTotal"]);
  status->ullTotalVirtual = userAddressSpace;
  status->ullAvailVirtual = userAddressSpace - std::min(self["VmSize"], userAddressSpace);
  status->ullAvailExtendedVirtual = 0;
  return TRUE;
}

void GlobalMemoryStatus(MEMORYSTATUS* status) {
  if (!status) return;
  MEMORYSTATUSEX ex;
  GlobalMemoryStatusEx(&ex);
  auto clamp = [](uint64_t v) { return static_cast<DWORD>(std::min<uint64_t>(v, 0xFFFFFFFFu)); };
  status->dwLength = sizeof(MEMORYSTATUS);
  status->dwMemoryLoad = ex.dwMemoryLoad;
  status->dwTotalPhys = clamp(ex.ullTotalPhys);
  status->dwAvailPhys = clamp(ex.ullAvailPhys);
  status->dwTotalPageFile = clamp(ex.ullTotalPageFile);
  status->dwAvailPageFile = clamp(ex.ullAvailPageFile);
  status->dwTotalVirtual = clamp(ex.ullTotalVirtual);
  status->dwAvailVirtual = clamp(ex.ullAvailVirtual);
}

// ---- processors -------------------------------------------------------------

namespace {
int OnlineProcessors() {
  long n = ::sysconf(_SC_NPROCESSORS_ONLN);
  return n > 0 ? static_cast<int>(n) : 1;
}

WORD Architecture() {
#if defined(__x86_64__)
  return PROCESSOR_ARCHITECTURE_AMD64;
#elif defined(__aarch64__)
  return PROCESSOR_ARCHITECTURE_ARM64;
#elif defined(__i386__)
  return PROCESSOR_ARCHITECTURE_INTEL;
#elif defined(__arm__)
  return PROCESSOR_ARCHITECTURE_ARM;
#else
  return PROCESSOR_ARCHITECTURE_UNKNOWN;
#endif
}

int ReadNumber(const fs::path& file, int fallback) {
  std::ifstream in(file);
  int value = fallback;
  return in >> value ? value : fallback;
}

// The logical processors of each physical core and of each package.
struct Topology {
  std::map<std::pair<int, int>, ULONG_PTR> cores;  // (package, core) -> mask
  std::map<int, ULONG_PTR> packages;
};

Topology ReadTopology() {
  Topology topology;
  int count = OnlineProcessors();
  for (int cpu = 0; cpu < count; ++cpu) {
    fs::path dir = "/sys/devices/system/cpu/cpu" + std::to_string(cpu) + "/topology";
    // Without a topology, every logical processor counts as a core of package 0.
    int package = ReadNumber(dir / "physical_package_id", 0);
    int core = ReadNumber(dir / "core_id", cpu);
    ULONG_PTR bit = cpu < 64 ? ULONG_PTR{1} << cpu : 0;
    topology.cores[{package, core}] |= bit;
    topology.packages[package] |= bit;
  }
  return topology;
}
}  // namespace

void GetSystemInfo(SYSTEM_INFO* info) {
  if (!info) return;
  *info = {};
  int count = OnlineProcessors();
  info->wProcessorArchitecture = Architecture();
  info->dwPageSize = static_cast<DWORD>(::sysconf(_SC_PAGESIZE));
  info->lpMinimumApplicationAddress = reinterpret_cast<void*>(uintptr_t{0x10000});
  info->lpMaximumApplicationAddress = reinterpret_cast<void*>(uintptr_t{userAddressSpace - 0x10001});
  info->dwActiveProcessorMask = count >= 64 ? ~DWORD_PTR{0} : (DWORD_PTR{1} << count) - 1;
  info->dwNumberOfProcessors = static_cast<DWORD>(count);
  info->dwProcessorType = Architecture() == PROCESSOR_ARCHITECTURE_AMD64 ? 8664 : 0;
  info->dwAllocationGranularity = 65536;
  info->wProcessorLevel = 6;
}

void GetNativeSystemInfo(SYSTEM_INFO* info) { GetSystemInfo(info); }

BOOL GetLogicalProcessorInformation(SYSTEM_LOGICAL_PROCESSOR_INFORMATION* buffer, DWORD* length) {
  if (!length) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Topology topology = ReadTopology();
  std::vector<SYSTEM_LOGICAL_PROCESSOR_INFORMATION> records;
  for (const auto& [id, mask] : topology.cores) {
    SYSTEM_LOGICAL_PROCESSOR_INFORMATION r{};
    r.ProcessorMask = mask;
    r.Relationship = RelationProcessorCore;
    r.ProcessorCore.Flags = __builtin_popcountll(mask) > 1 ? 1 : 0;
    records.push_back(r);
  }
  for (const auto& [id, mask] : topology.packages) {
    SYSTEM_LOGICAL_PROCESSOR_INFORMATION r{};
    r.ProcessorMask = mask;
    r.Relationship = RelationProcessorPackage;
    records.push_back(r);
  }
  auto needed = static_cast<DWORD>(records.size() * sizeof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION));
  if (!buffer || *length < needed) {
    *length = needed;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::memcpy(buffer, records.data(), needed);
  *length = needed;
  return TRUE;
}

// ---- Windows version --------------------------------------------------------
//
// The one answer the layer gives: Windows 7 SP1, NT family, a workstation.

namespace {
constexpr DWORD windowsMajor = 6;
constexpr DWORD windowsMinor = 1;
constexpr DWORD windowsBuild = 7601;
constexpr const char* windowsServicePack = "Service Pack 1";
constexpr WORD windowsServicePackMajor = 1;
// The common controls of that system.
constexpr DWORD commonControlsMS = (6u << 16) | 10u;
constexpr DWORD commonControlsLS = (windowsBuild << 16) | 17514u;
}  // namespace

BOOL GetVersionExA(OSVERSIONINFOA* info) {
  if (!info || (info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA) &&
                info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOEXA))) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  info->dwMajorVersion = windowsMajor;
  info->dwMinorVersion = windowsMinor;
  info->dwBuildNumber = windowsBuild;
  info->dwPlatformId = VER_PLATFORM_WIN32_NT;
  std::memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
  std::strncpy(info->szCSDVersion, windowsServicePack, sizeof info->szCSDVersion - 1);
  if (info->dwOSVersionInfoSize == sizeof(OSVERSIONINFOEXA)) {
    auto* ex = static_cast<OSVERSIONINFOEXA*>(info);
    ex->wServicePackMajor = windowsServicePackMajor;
    ex->wServicePackMinor = 0;
    ex->wSuiteMask = 0x0100;  // single-user terminal services, as every desktop reports
    ex->wProductType = VER_NT_WORKSTATION;
  }
  return TRUE;
}

DWORD GetVersion() { return windowsMajor | (windowsMinor << 8) | (windowsBuild << 16); }

// ---- version resources ------------------------------------------------------
//
// A block holds a small header (its size and a mark) and the fixed file
// information.

#ifndef VESK_VERSION_MAJOR
#error "the project version is passed in by platform/win/module.cmake"
#endif

namespace {
constexpr DWORD blockMark = 0x4B534556;  // "VESK"

struct VersionBlock {
  DWORD size = sizeof(VersionBlock);
  DWORD mark = blockMark;
  VS_FIXEDFILEINFO fixed;
};

VS_FIXEDFILEINFO FixedInfo(DWORD ms, DWORD ls, DWORD fileType) {
  VS_FIXEDFILEINFO f;
  f.dwSignature = VS_FFI_SIGNATURE;
  f.dwStrucVersion = VS_FFI_STRUCVERSION;
  f.dwFileVersionMS = f.dwProductVersionMS = ms;
  f.dwFileVersionLS = f.dwProductVersionLS = ls;
  f.dwFileFlagsMask = 0x3F;
  f.dwFileOS = VOS_NT_WINDOWS32;
  f.dwFileType = fileType;
  return f;
}

std::string LowerName(const std::string& path) {
  std::string name = fs::path(path).filename().string();
  std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
  return name;
}

// The version of a file that has one.
bool VersionOf(const std::string& fileName, VS_FIXEDFILEINFO& fixed) {
  std::string self = GetModuleFileNameA();
  if (fileName.empty() || fileName == self || LowerName(fileName) == LowerName(self)) {
    fixed = FixedInfo((DWORD{VESK_VERSION_MAJOR} << 16) | VESK_VERSION_MINOR,
                      (DWORD{VESK_VERSION_PATCH} << 16) | VESK_VERSION_TWEAK, VFT_APP);
    return true;
  }
  if (LowerName(fileName) == "comctl32.dll") {
    fixed = FixedInfo(commonControlsMS, commonControlsLS, VFT_DLL);
    return true;
  }
  SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
  return false;
}
}  // namespace

DWORD GetFileVersionInfoSizeA(const std::string& fileName, DWORD* handle) {
  if (handle) *handle = 0;
  VS_FIXEDFILEINFO fixed;
  return VersionOf(fileName, fixed) ? sizeof(VersionBlock) : 0;
}

BOOL GetFileVersionInfoA(const std::string& fileName, DWORD, DWORD size, void* data) {
  VersionBlock block;
  if (!VersionOf(fileName, block.fixed)) return FALSE;
  if (!data || size < sizeof block) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::memcpy(data, &block, sizeof block);
  return TRUE;
}

BOOL VerQueryValueA(const void* block, const std::string& subBlock, void** buffer, UINT* length) {
  if (!block) return FALSE;
  DWORD header[2];
  std::memcpy(header, block, sizeof header);
  if (header[0] != sizeof(VersionBlock) || header[1] != blockMark || subBlock != "\\") return FALSE;
  auto* bytes = static_cast<const BYTE*>(block) + offsetof(VersionBlock, fixed);
  if (buffer) *buffer = const_cast<BYTE*>(bytes);
  if (length) *length = sizeof(VS_FIXEDFILEINFO);
  return TRUE;
}
