#include "platform/win/sysinfo.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <vector>

#include "platform/rtl/dynlib.h"
#include "platform/win/kernel.h"
#include "platform/win/kernel_files.h"

TEST(SysInfo, MemoryStatus) {
  MEMORYSTATUSEX ex;
  ASSERT_EQ(GlobalMemoryStatusEx(&ex), TRUE);
  uint64_t pages = static_cast<uint64_t>(::sysconf(_SC_PHYS_PAGES)) * static_cast<uint64_t>(::sysconf(_SC_PAGESIZE));
  EXPECT_NEAR(static_cast<double>(ex.ullTotalPhys), static_cast<double>(pages), pages * 0.01);
  EXPECT_GT(ex.ullAvailPhys, 0u);
  EXPECT_LE(ex.ullAvailPhys, ex.ullTotalPhys);
  EXPECT_LE(ex.dwMemoryLoad, 100u);
  EXPECT_GE(ex.ullTotalPageFile, ex.ullTotalPhys);
  EXPECT_LT(ex.ullAvailVirtual, ex.ullTotalVirtual);

  MEMORYSTATUSEX wrongSize;
  wrongSize.dwLength = 32;
  EXPECT_EQ(GlobalMemoryStatusEx(&wrongSize), FALSE);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

  MEMORYSTATUS old;
  GlobalMemoryStatus(&old);
  EXPECT_EQ(sizeof old, 32u);
  EXPECT_EQ(old.dwTotalPhys, static_cast<DWORD>(std::min<uint64_t>(ex.ullTotalPhys, 0xFFFFFFFFu)));
}

// The core count the resampler's thread pool takes: records of relationship 0.
TEST(SysInfo, ProcessorCores) {
  DWORD length = 0;
  EXPECT_EQ(GetLogicalProcessorInformation(nullptr, &length), FALSE);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  ASSERT_GT(length, 0u);
  ASSERT_EQ(length % sizeof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION), 0u);
  std::vector<SYSTEM_LOGICAL_PROCESSOR_INFORMATION> records(length / sizeof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION));
  DWORD shortLength = length - 1;
  EXPECT_EQ(GetLogicalProcessorInformation(records.data(), &shortLength), FALSE);
  EXPECT_EQ(shortLength, length);
  ASSERT_EQ(GetLogicalProcessorInformation(records.data(), &length), TRUE);

  SYSTEM_INFO info;
  GetSystemInfo(&info);
  EXPECT_EQ(info.dwNumberOfProcessors, static_cast<DWORD>(::sysconf(_SC_NPROCESSORS_ONLN)));
  EXPECT_EQ(info.dwPageSize, static_cast<DWORD>(::sysconf(_SC_PAGESIZE)));
  EXPECT_EQ(info.dwAllocationGranularity, 65536u);

  size_t cores = 0;
  ULONG_PTR seen = 0;
  for (const auto& r : records) {
    if (r.Relationship != RelationProcessorCore) continue;
    ++cores;
    EXPECT_NE(r.ProcessorMask, 0u);
    EXPECT_EQ(seen & r.ProcessorMask, 0u);  // every logical processor in one core
    seen |= r.ProcessorMask;
  }
  EXPECT_GE(cores, 1u);
  EXPECT_LE(cores, info.dwNumberOfProcessors);
  if (info.dwNumberOfProcessors < 64) {
    EXPECT_EQ(seen, info.dwActiveProcessorMask);
  }

  // The same count as the distinct (package, core) pairs of sysfs.
  std::set<std::pair<std::string, std::string>> pairs;
  for (DWORD cpu = 0; cpu < info.dwNumberOfProcessors; ++cpu) {
    std::string dir = "/sys/devices/system/cpu/cpu" + std::to_string(cpu) + "/topology/";
    std::ifstream package(dir + "physical_package_id"), core(dir + "core_id");
    std::string p, c;
    if (!(package >> p) || !(core >> c)) GTEST_SKIP() << "no CPU topology";
    pairs.insert({p, c});
  }
  EXPECT_EQ(cores, pairs.size());
}

TEST(SysInfo, TheOneWindowsVersion) {
  OSVERSIONINFOEXA ex;
  EXPECT_EQ(sizeof ex, 156u);
  ASSERT_EQ(GetVersionExA(&ex), TRUE);
  EXPECT_EQ(ex.dwMajorVersion, 6u);
  EXPECT_EQ(ex.dwMinorVersion, 1u);
  EXPECT_EQ(ex.dwBuildNumber, 7601u);
  EXPECT_EQ(ex.dwPlatformId, VER_PLATFORM_WIN32_NT);
  EXPECT_STREQ(ex.szCSDVersion, "Service Pack 1");
  EXPECT_EQ(ex.wServicePackMajor, 1);
  EXPECT_EQ(ex.wProductType, VER_NT_WORKSTATION);

  OSVERSIONINFOA plain;
  EXPECT_EQ(sizeof plain, 148u);
  ASSERT_EQ(GetVersionEx(&plain), TRUE);
  EXPECT_EQ(plain.dwMajorVersion, 6u);
  plain.dwOSVersionInfoSize = 100;
  EXPECT_EQ(GetVersionExA(&plain), FALSE);

  DWORD v = GetVersion();
  EXPECT_EQ(LOBYTE(v), 6);
  EXPECT_EQ(HIBYTE(v), 1);
  EXPECT_EQ(HIWORD(v), 7601);
}

namespace {
// Reads the fixed version information as the file utilities do.
bool ReadFixedVersionInfo(const std::string& fileName, VS_FIXEDFILEINFO& fixed) {
  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSizeA(fileName, &handle);
  if (size == 0) return false;
  std::vector<BYTE> block(size);
  if (!GetFileVersionInfoA(fileName, handle, size, block.data())) return false;
  void* info = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(block.data(), "\\", &info, &length) || length != 52) return false;
  std::memcpy(&fixed, info, sizeof fixed);
  return true;
}
}  // namespace

TEST(SysInfo, VersionResources) {
  VS_FIXEDFILEINFO fixed;
  ASSERT_TRUE(ReadFixedVersionInfo(GetModuleFileNameA(), fixed));
  EXPECT_EQ(fixed.dwSignature, VS_FFI_SIGNATURE);
  EXPECT_EQ(fixed.dwFileVersionMS, 0x00010000u);  // 1.0
  EXPECT_EQ(fixed.dwFileVersionLS, 0x00000000u);  // .0.0
  EXPECT_EQ(fixed.dwFileType, VFT_APP);

  ASSERT_TRUE(ReadFixedVersionInfo("COMCTL32.DLL", fixed));
  EXPECT_EQ(HIWORD(fixed.dwFileVersionMS), 6);

  EXPECT_FALSE(ReadFixedVersionInfo("/usr/bin/env", fixed));
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_TYPE_NOT_FOUND);
  BYTE garbage[64] = {};
  void* info = nullptr;
  UINT length = 0;
  EXPECT_EQ(VerQueryValueA(garbage, "\\", &info, &length), FALSE);
  std::vector<BYTE> block(GetFileVersionInfoSizeA("comctl32.dll", nullptr));
  ASSERT_EQ(GetFileVersionInfoA("comctl32.dll", 0, static_cast<DWORD>(block.size()), block.data()), TRUE);
  EXPECT_EQ(VerQueryValueA(block.data(), "\\StringFileInfo\\040904E4\\FileVersion", &info, &length), FALSE);
  EXPECT_EQ(GetFileVersionInfoA("comctl32.dll", 0, 8, block.data()), FALSE);
}

// Callers look these functions up by name to learn whether the system has them.
TEST(SysInfo, Kernel32ExportsWhatCallersBindByName) {
  HMODULE kernel32 = LoadLibraryA("Kernel32.dll");
  ASSERT_NE(kernel32, nullptr);
  auto memoryStatus = reinterpret_cast<BOOL (*)(MEMORYSTATUSEX*)>(GetProcAddress(kernel32, "GlobalMemoryStatusEx"));
  ASSERT_NE(memoryStatus, nullptr);
  MEMORYSTATUSEX status;
  EXPECT_EQ(memoryStatus(&status), TRUE);
  EXPECT_GT(status.ullTotalPhys, 0u);
  EXPECT_NE(GetProcAddress(kernel32, "GetLogicalProcessorInformation"), nullptr);
  EXPECT_NE(GetProcAddress(kernel32, "GetNativeSystemInfo"), nullptr);
  EXPECT_NE(GetProcAddress(kernel32, "GetLocaleInfoEx"), nullptr);
  EXPECT_EQ(GetProcAddress(kernel32, "NoSuchFunction"), nullptr);
  FreeLibrary(kernel32);
}
