#include "services/cxdrive10.h"

#include <sys/statvfs.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "platform/rtl/files.h"
#include "platform/rtl/sysutils.h"
#include "platform/win/kernel.h"
#include "platform/win/kernel_files.h"
#include "platform/win/shell.h"
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

TEST(DriveInfo, FeaturesAreTheVolumeFlags) {
  TempFolder t;
  VolumeInformation volume;
  ASSERT_TRUE(GetVolumeInformationA(t.Path(), volume));
  using Answer = ComPtr<IDiskBoolean> (IDriveFeatures::*)();
  struct Case {
    Answer answer;
    DWORD flag;
  };
  const Case cases[] = {
      {&IDriveFeatures::NamedStreams, FILE_NAMED_STREAMS},
      {&IDriveFeatures::ReadOnlyVolume, FILE_READ_ONLY_VOLUME},
      {&IDriveFeatures::ObjectIds, FILE_SUPPORTS_OBJECT_IDS},
      {&IDriveFeatures::ReparsePoints, FILE_SUPPORTS_REPARSE_POINTS},
      {&IDriveFeatures::SparseFiles, FILE_SUPPORTS_SPARSE_FILES},
      {&IDriveFeatures::VolumeQuotas, FILE_VOLUME_QUOTAS},
      {&IDriveFeatures::CasePreservedNames, FILE_CASE_PRESERVED_NAMES},
      {&IDriveFeatures::CaseSensitiveSearch, FILE_CASE_SENSITIVE_SEARCH},
      {&IDriveFeatures::FileCompression, FILE_FILE_COMPRESSION},
      {&IDriveFeatures::Encryption, FILE_SUPPORTS_ENCRYPTION},
      {&IDriveFeatures::PersistentAcls, FILE_PERSISTENT_ACLS},
      {&IDriveFeatures::UnicodeOnDisk, FILE_UNICODE_ON_DISK},
      {&IDriveFeatures::VolumeIsCompressed, FILE_VOLUME_IS_COMPRESSED},
  };
  ComPtr<IDriveFeatures> features = GlobalDriveInfo.GetDrive(t.Path())->Features();
  ComPtr<IDriveFeatures> none = GlobalDriveInfo.GetDrive(t / "missing")->Features();
  for (const Case& c : cases) {
    EXPECT_EQ((features.Get()->*c.answer)()->Value(), (volume.fileSystemFlags & c.flag) != 0) << std::hex << c.flag;
    EXPECT_FALSE((none.Get()->*c.answer)()->Value()) << std::hex << c.flag;
  }
  // Symbolic links work in the temporary folder, so the volume has them.
  EXPECT_TRUE(features->ReparsePoints()->Value());
  EXPECT_FALSE(features->NamedStreams()->Value());
}

TEST(DriveInfo, IndexesNumberTheMountPoints) {
  TempFolder t;
  const std::vector<std::string> points = GetMountPoints();
  const auto at = std::find(points.begin(), points.end(), MountPointOf(t.Path()));
  ASSERT_NE(at, points.end());
  const auto index = static_cast<int32_t>(at - points.begin());

  ComPtr<IDriveInfo> byPath = GlobalDriveInfo.GetDrive(t.Path());
  EXPECT_EQ(byPath->DriveIndex(), index);
  ComPtr<IDriveInfo> byIndex = GlobalDriveInfo.GetDrive(index);
  EXPECT_EQ(byIndex->RootPath(), *at);
  EXPECT_EQ(byIndex->DriveIndex(), index);
  EXPECT_EQ(byIndex->SerialNumber(), byPath->SerialNumber());
  EXPECT_TRUE(byIndex->Exists()->Value());

  struct Case {
    int32_t index;
    const char* letter;
  };
  const Case letters[] = {{0, "A"}, {2, "C"}, {25, "Z"}, {26, ""}, {-1, ""}};
  for (const Case& c : letters) EXPECT_EQ(GlobalDriveInfo.GetDrive(c.index)->DriveLetter(), c.letter) << c.index;

  for (int32_t outside : {-1, static_cast<int32_t>(points.size())}) {
    ComPtr<IDriveInfo> drive = GlobalDriveInfo.GetDrive(outside);
    EXPECT_FALSE(drive->Exists()->Value()) << outside;
    EXPECT_EQ(drive->DriveIndex(), outside);
    EXPECT_EQ(drive->Space()->TotalSize()->Value(), 0);
  }
  EXPECT_EQ(GlobalDriveInfo.GetDrive(t / "missing")->DriveIndex(), -1);
}

TEST(DriveInfo, ShellNamesWithoutIcons) {
  TempFolder t;
  const std::string mountPoint = MountPointOf(t.Path());
  ComPtr<IDriveShellInfo> shell = GlobalDriveInfo.GetDrive(t / "")->ShellInfo();
  EXPECT_EQ(shell->IconHandle(), nullptr);
  EXPECT_EQ(shell->IconIndex(), 0);
  EXPECT_EQ(shell->DisplayName(), mountPoint == "/" ? "/" : ExtractFileName(mountPoint));
  SHFILEINFOA expected;
  SHGetFileInfoA(mountPoint, 0, &expected, SHGFI_TYPENAME);
  EXPECT_EQ(shell->TypeName(), expected.szTypeName);
  EXPECT_FALSE(shell->TypeName().empty());

  ComPtr<IDriveShellInfo> none = GlobalDriveInfo.GetDrive(t / "missing")->ShellInfo();
  EXPECT_EQ(none->DisplayName(), "");
  EXPECT_EQ(none->TypeName(), "");
  EXPECT_EQ(none->IconHandle(), nullptr);
}

TEST(DriveInfo, PropertiesDialogIsMissingAndFailsSilently) {
  TempFolder t;
  SetLastError(ERROR_SUCCESS);
  GlobalDriveInfo.GetDrive(t.Path())->ShowProperties();
  EXPECT_EQ(GetLastError(), ERROR_NO_ASSOCIATION);
}
