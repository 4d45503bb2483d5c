#include "services/cxdrive10.h"

#include <sys/statvfs.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/rtl/sysutils.h"
#include "tests/services/test_folder.h"

TEST(DriveInfo, AFolderOnAMountedFileSystem) {
  TempFolder t;
  ComPtr<IDriveInfo> drive = GlobalDriveInfo.GetDrive(t.Path());
  EXPECT_TRUE(drive->Exists()->Value());
  EXPECT_EQ(drive->Exists()->AsYesNo(), "Yes");
  EXPECT_NE(drive->DriveType()->Kind(), dkNoRootDir);
  EXPECT_FALSE(drive->FileSystemName().empty());

  struct statvfs vfs;
  ASSERT_EQ(::statvfs(t.Path().c_str(), &vfs), 0);
  const int64_t expected = static_cast<int64_t>(vfs.f_bavail) * static_cast<int64_t>(vfs.f_frsize);
  ComPtr<IDriveSpace> space = drive->Space();
  // Other programs write meanwhile: allow a few megabytes of drift.
  EXPECT_LT(std::llabs(space->FreeToCaller()->Value() - expected), int64_t{64} << 20);
  EXPECT_GT(space->TotalSize()->Value(), space->FreeToCaller()->Value());
  EXPECT_EQ(space->UsedSpace()->Value(), space->TotalSize()->Value() - space->TotalFree()->Value());
}

TEST(DriveInfo, APathWithoutFileSystem) {
  TempFolder t;
  ComPtr<IDriveInfo> drive = GlobalDriveInfo.GetDrive(t / "no/such/folder");
  EXPECT_FALSE(drive->Exists()->Value());
  EXPECT_EQ(drive->Exists()->AsOnOff(), "Off");
  EXPECT_EQ(drive->DriveType()->KindName(), "No Drive");
  EXPECT_EQ(drive->Space()->FreeToCaller()->Value(), 0);
  EXPECT_EQ(drive->Space()->TotalSize()->Value(), 0);
  EXPECT_FALSE(GlobalDriveInfo.GetDrive("")->Exists()->Value());
}

TEST(DriveInfo, SizeTexts) {
  struct Case {
    int64_t value;
    const char* text;
  };
  const Case cases[] = {
      {0, "0 bytes"},          {1023, "1023 bytes"},        {1024, "1 Kb"},
      {1048575, "1,024 Kb"},   {1048576, "1 Mb"},           {1073741823, "1,024 Mb"},
      {1073741824, "1.00 Gb"}, {5368709120, "5.00 Gb"},     {-1, "-1 bytes"},
      {int64_t{1} << 50, "1,048,576.00 Gb"},
  };
  TFormatSettingsOverride locale(InvariantFormatSettings());
  for (const Case& c : cases) EXPECT_EQ(NewDiskHugeNumber(c.value)->AsText(), c.text) << c.value;
  TFormatSettings german = InvariantFormatSettings();
  german.ThousandSeparator = '.';
  german.DecimalSeparator = ',';
  TFormatSettingsOverride grouped(german);
  EXPECT_EQ(NewDiskHugeNumber(1048575)->AsText(), "1.024 Kb");
  EXPECT_EQ(NewDiskHugeNumber(5368709120)->AsText(), "5,00 Gb");
}

TEST(DriveInfo, InterfacesAnswerForThemselvesOnly) {
  TempFolder t;
  ComPtr<IDriveInfo> drive = GlobalDriveInfo.GetDrive(t.Path());
  void* object = nullptr;
  ASSERT_EQ(drive->QueryInterface(IDriveInfo::Iid, &object), S_OK);
  static_cast<IUnknown*>(object)->Release();
  ASSERT_EQ(drive->QueryInterface(IID_IUnknown, &object), S_OK);
  static_cast<IUnknown*>(object)->Release();
  EXPECT_EQ(drive->QueryInterface(IDriveSpace::Iid, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
}
