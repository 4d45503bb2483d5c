#include "services/cxdrive10.h"

#include <algorithm>
#include <utility>

#include "platform/rtl/sysutils.h"
#include "platform/win/comimpl.h"
#include "platform/win/kernel.h"
#include "platform/win/kernel_files.h"
#include "platform/win/shell.h"

const TcxDriveInfo GlobalDriveInfo;

namespace {

// Reference counting and QueryInterface for one interface.
template <typename Intf>
using TInterfaced = ComObject<Intf, Intf::Iid>;

template <typename T, typename... Args>
auto Make(Args&&... args) {
  using Intf = typename T::Interface;
  return ComPtr<Intf>::Attach(new T(std::forward<Args>(args)...));
}

const char* const YesNoTexts[] = {"No", "Yes"};
const char* const OnOffTexts[] = {"Off", "On"};
const char* const KindNames[] = {"Unknown", "No Drive", "Removable", "Fixed", "Remote", "CdRom", "Ram"};
const char DriveLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";

class TDiskHugeNumber : public TInterfaced<IDiskHugeNumber> {
public:
  using Interface = IDiskHugeNumber;
  explicit TDiskHugeNumber(int64_t value) : value_(value) {}
  int64_t Value() override { return value_; }
  std::string AsText() override;

private:
  int64_t value_;
};

std::string TDiskHugeNumber::AsText() {
  if (value_ < 1024) return Format("%d bytes", {value_});
  const long double v = static_cast<long double>(value_);
  if (value_ < 1048576) return Format("%1.0n Kb", {v / 1024.0L});
  if (value_ < 1073741824) return Format("%1.0n Mb", {v / 1048576.0L});
  return Format("%1.2n Gb", {v / 1073741824.0L});
}

class TDiskBoolean : public TInterfaced<IDiskBoolean> {
public:
  using Interface = IDiskBoolean;
  explicit TDiskBoolean(bool value) : value_(value) {}
  bool Value() override { return value_; }
  std::string AsYesNo() override { return YesNoTexts[value_]; }
  std::string AsOnOff() override { return OnOffTexts[value_]; }

private:
  bool value_;
};

class TDriveType : public TInterfaced<IDriveType> {
public:
  using Interface = IDriveType;
  explicit TDriveType(std::string root) : root_(std::move(root)) {}
  TDriveKind Kind() override {
    UINT kind = GetDriveTypeA(root_);
    return kind <= DRIVE_RAMDISK ? static_cast<TDriveKind>(kind) : dkUnknown;
  }
  std::string KindName() override { return KindNames[Kind()]; }

private:
  std::string root_;
};

class TDriveFeatures : public TInterfaced<IDriveFeatures> {
public:
  using Interface = IDriveFeatures;
  explicit TDriveFeatures(DWORD flags) : flags_(flags) {}
  ComPtr<IDiskBoolean> NamedStreams() override { return Flag(FILE_NAMED_STREAMS); }
  ComPtr<IDiskBoolean> ReadOnlyVolume() override { return Flag(FILE_READ_ONLY_VOLUME); }
  ComPtr<IDiskBoolean> ObjectIds() override { return Flag(FILE_SUPPORTS_OBJECT_IDS); }
  ComPtr<IDiskBoolean> ReparsePoints() override { return Flag(FILE_SUPPORTS_REPARSE_POINTS); }
  ComPtr<IDiskBoolean> SparseFiles() override { return Flag(FILE_SUPPORTS_SPARSE_FILES); }
  ComPtr<IDiskBoolean> VolumeQuotas() override { return Flag(FILE_VOLUME_QUOTAS); }
  ComPtr<IDiskBoolean> CasePreservedNames() override { return Flag(FILE_CASE_PRESERVED_NAMES); }
  ComPtr<IDiskBoolean> CaseSensitiveSearch() override { return Flag(FILE_CASE_SENSITIVE_SEARCH); }
  ComPtr<IDiskBoolean> FileCompression() override { return Flag(FILE_FILE_COMPRESSION); }
  ComPtr<IDiskBoolean> Encryption() override { return Flag(FILE_SUPPORTS_ENCRYPTION); }
  ComPtr<IDiskBoolean> PersistentAcls() override { return Flag(FILE_PERSISTENT_ACLS); }
  ComPtr<IDiskBoolean> UnicodeOnDisk() override { return Flag(FILE_UNICODE_ON_DISK); }
  ComPtr<IDiskBoolean> VolumeIsCompressed() override { return Flag(FILE_VOLUME_IS_COMPRESSED); }

private:
  ComPtr<IDiskBoolean> Flag(DWORD flag) const { return Make<TDiskBoolean>((flags_ & flag) != 0); }
  DWORD flags_;
};

class TDriveSpace : public TInterfaced<IDriveSpace> {
public:
  using Interface = IDriveSpace;
  explicit TDriveSpace(const std::string& root) {
    if (!GetDiskFreeSpaceExA(root, &freeToCaller_, &total_, &totalFree_)) freeToCaller_ = total_ = totalFree_ = 0;
  }
  ComPtr<IDiskHugeNumber> FreeToCaller() override { return Number(freeToCaller_); }
  ComPtr<IDiskHugeNumber> TotalSize() override { return Number(total_); }
  ComPtr<IDiskHugeNumber> TotalFree() override { return Number(totalFree_); }
  ComPtr<IDiskHugeNumber> UsedSpace() override { return Number(total_ - totalFree_); }

private:
  static ComPtr<IDiskHugeNumber> Number(uint64_t v) { return Make<TDiskHugeNumber>(static_cast<int64_t>(v)); }
  uint64_t freeToCaller_ = 0, total_ = 0, totalFree_ = 0;
};

class TDriveShellInfo : public TInterfaced<IDriveShellInfo> {
public:
  using Interface = IDriveShellInfo;
  // A path without file system gives the empty record.
  explicit TDriveShellInfo(const std::string& root) {
    const std::string mountPoint = MountPointOf(root);
    if (!mountPoint.empty())
      SHGetFileInfoA(mountPoint, 0, &info_, SHGFI_SYSICONINDEX | SHGFI_TYPENAME | SHGFI_DISPLAYNAME);
  }
  HICON IconHandle() override { return info_.hIcon; }
  int32_t IconIndex() override { return info_.iIcon; }
  std::string DisplayName() override { return Trim(info_.szDisplayName); }
  std::string TypeName() override { return Trim(info_.szTypeName); }

private:
  SHFILEINFOA info_;
};

// The place of the path's mount point in the mount table; -1 when none.
int32_t DriveIndexOf(const std::string& path) {
  const std::string mountPoint = MountPointOf(path);
  if (mountPoint.empty()) return -1;
  const std::vector<std::string> points = GetMountPoints();
  auto it = std::find(points.begin(), points.end(), mountPoint);
  return it == points.end() ? -1 : static_cast<int32_t>(it - points.begin());
}

class TDriveInfo : public TInterfaced<IDriveInfo> {
public:
  using Interface = IDriveInfo;
  TDriveInfo(std::string root, int32_t index) : root_(std::move(root)), index_(index) {
    // There are no critical-error dialogs here, but the mode is the caller's.
    const UINT previousMode = SetErrorMode(SEM_FAILCRITICALERRORS);
    if (!GetVolumeInformationA(root_, volume_)) volume_ = VolumeInformation{};
    SetErrorMode(previousMode);
  }
  ComPtr<IDiskBoolean> Exists() override { return Make<TDiskBoolean>(DriveType()->Kind() != dkNoRootDir); }
  ComPtr<IDriveType> DriveType() override { return Make<TDriveType>(root_); }
  int32_t DriveIndex() override { return index_; }
  std::string DriveLetter() override {
    return index_ >= 0 && index_ < 26 ? std::string(1, DriveLetters[index_]) : std::string();
  }
  std::string RootPath() override { return root_; }
  std::string VolumeLabel() override { return volume_.volumeName; }
  ComPtr<IDriveFeatures> Features() override { return Make<TDriveFeatures>(volume_.fileSystemFlags); }
  ComPtr<IDriveSpace> Space() override { return Make<TDriveSpace>(root_); }
  std::string SerialNumber() override { return std::to_string(volume_.serialNumber); }
  ComPtr<IDriveShellInfo> ShellInfo() override { return Make<TDriveShellInfo>(root_); }
  std::string FileSystemName() override { return volume_.fileSystemName; }
  void ShowProperties() override {
    SHELLEXECUTEINFOA request;
    request.fMask = SEE_MASK_INVOKEIDLIST;
    request.lpVerb = "properties";
    request.lpFile = root_.c_str();
    ShellExecuteExA(&request);
  }

private:
  std::string root_;
  int32_t index_;
  VolumeInformation volume_;
};

}  // namespace

ComPtr<IDiskHugeNumber> NewDiskHugeNumber(int64_t value) { return Make<TDiskHugeNumber>(value); }
ComPtr<IDiskBoolean> NewDiskBoolean(bool value) { return Make<TDiskBoolean>(value); }

ComPtr<IDriveInfo> TcxDriveInfo::GetDrive(const std::string& rootPath) const {
  return Make<TDriveInfo>(rootPath, DriveIndexOf(rootPath));
}

ComPtr<IDriveInfo> TcxDriveInfo::GetDrive(int32_t driveIndex) const {
  const std::vector<std::string> points = GetMountPoints();
  const bool known = driveIndex >= 0 && static_cast<size_t>(driveIndex) < points.size();
  return Make<TDriveInfo>(known ? points[static_cast<size_t>(driveIndex)] : std::string(), driveIndex);
}
