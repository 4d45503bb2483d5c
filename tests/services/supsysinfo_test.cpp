#include "services/supsysinfo.h"

#include <gtest/gtest.h>

namespace {
TSupVersionInfo version(uint32_t platform, uint32_t major, uint32_t minor, const char* servicePack = "",
                        uint32_t kernel = 0, bool r2 = false, uint16_t arch = 0, int productType = -1) {
  TSupVersionInfo v;
  v.platformId = platform;
  v.major = major;
  v.minor = minor;
  v.servicePack = servicePack;
  v.kernelProductVersion = kernel;
  v.serverR2 = r2;
  v.nativeArchitecture = arch;
  v.productTypeKnown = productType >= 0;
  v.productType = static_cast<uint8_t>(productType < 0 ? 0 : productType);
  return v;
}
}  // namespace

TEST(SupSysInfo, ClassifiesInjectedVersions) {
  struct Case {
    const char* name;
    TSupVersionInfo info;
    TWindowsEdition edition;
  };
  const Case cases[] = {
      {"95", version(1, 4, 0), weWin95},
      {"95 OSR2", version(1, 4, 0, "B"), weWin95OSR2},
      {"98", version(1, 4, 10), weWin98},
      {"98 SE", version(1, 4, 10, "A"), weWin98SE},
      {"Me by its kernel", version(1, 4, 10, "A", 0x4005A), weWinME},
      {"Me", version(1, 4, 90), weWinME},
      {"9x beyond Me", version(1, 4, 91), weUnrecognized},
      {"NT 3.51", version(2, 3, 51), weWinNT351},
      {"NT 3.2", version(2, 3, 2), weUnrecognized},
      {"NT 4", version(2, 4, 0), weWinNT4},
      {"2000", version(2, 5, 0), weWin2000},
      {"XP", version(2, 5, 1), weWinXP},
      {"XP x64", version(2, 5, 2, "", 0, false, 9, 1), weWinXP64},
      {"2003 on x86 workstation", version(2, 5, 2, "", 0, false, 0, 1), weWin2003},
      {"2003 R2", version(2, 5, 2, "", 0, true, 9, 1), weWin2003R2},
      {"Vista", version(2, 6, 0, "", 0, false, 0, 1), weWinVista},
      {"Server 2008", version(2, 6, 0, "", 0, false, 0, 3), weWinServer2008},
      {"7", version(2, 6, 1, "", 0, false, 0, 1), weWin7},
      {"7 without the extended record", version(2, 6, 1), weWinServer2008R2},
      {"8 and later", version(2, 6, 2, "", 0, false, 0, 1), weUnrecognized},
      {"10", version(2, 10, 0, "", 0, false, 0, 1), weUnrecognized},
      {"Win32s", version(0, 3, 1), weUnrecognized},
  };
  for (const Case& c : cases) EXPECT_EQ(ClassifyWindows(c.info), c.edition) << c.name;
  EXPECT_EQ(ClassifyWindows(), weWin7);  // the layer answers Windows 7 SP1
}

TEST(SupSysInfo, GatheringSetsTheEditionsFlags) {
  const TSupSystemInfo nt351 = GatherSystemInfo(version(2, 3, 51));
  EXPECT_TRUE(nt351.editions[weWinNT351] && nt351.editions[weWinNT35] && nt351.winNT3);
  EXPECT_TRUE(nt351.isNT);
  const TSupSystemInfo me = GatherSystemInfo(version(1, 4, 10, "", 0x4005A));
  EXPECT_TRUE(me.editions[weWinME]);
  EXPECT_FALSE(me.isNT);
  EXPECT_EQ(me.kernelProductVersion, 0x4005Au);
  const TSupSystemInfo none = GatherSystemInfo(version(2, 6, 3));
  for (bool set : none.editions) EXPECT_FALSE(set);
  EXPECT_GT(SystemInfo().processorCount, 0u);
  EXPECT_GT(SystemInfo().pageSize, 0u);
}
