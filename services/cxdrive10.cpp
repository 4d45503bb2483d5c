#include "services/cxdrive10.h"

#include <atomic>
#include <utility>

#include "platform/rtl/sysutils.h"
#include "platform/win/kernel_files.h"

const TcxDriveInfo GlobalDriveInfo;

namespace {

// Reference counting and QueryInterface for one interface.
template <typename Intf>
class TInterfaced : public Intf {
public:
  HRESULT QueryInterface(REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    if (riid == IID_IUnknown || riid == Intf::Iid) {
      this->AddRef();
      *object = static_cast<Intf*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

private:
  std::atomic<ULONG> refs_{0};
};

template <typename T, typename... Args>
auto Make(Args&&... args) {
  using Intf = typename T::Interface;
  return ComPtr<Intf>(new T(std::forward<Args>(args)...));
}

const char* const YesNoTexts[] = {"No", "Yes"};
const char* const OnOffTexts[] = {"Off", "On"};
const char* const KindNames[] = {"Unknown", "No Drive", "Removable", "Fixed", "Remote", "CdRom", "Ram"};

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
  ComPtr<IDiskBoolean> ReadOnlyVolume() override { return Flag(FILE_READ_ONLY_VOLUME); }
  ComPtr<IDiskBoolean> CasePreservedNames() override { return Flag(FILE_CASE_PRESERVED_NAMES); }
  ComPtr<IDiskBoolean> CaseSensitiveSearch() override { return Flag(FILE_CASE_SENSITIVE_SEARCH); }
  ComPtr<IDiskBoolean> UnicodeOnDisk() override { return Flag(FILE_UNICODE_ON_DISK); }

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

class TDriveInfo : public TInterfaced<IDriveInfo> {
public:
  using Interface = IDriveInfo;
  explicit TDriveInfo(std::string root) : root_(std::move(root)) {
    if (!GetVolumeInformationA(root_, volume_)) volume_ = VolumeInformation{};
  }
  ComPtr<IDiskBoolean> Exists() override { return Make<TDiskBoolean>(DriveType()->Kind() != dkNoRootDir); }
  ComPtr<IDriveType> DriveType() override { return Make<TDriveType>(root_); }
  std::string RootPath() override { return root_; }
  std::string VolumeLabel() override { return volume_.volumeName; }
  ComPtr<IDriveFeatures> Features() override { return Make<TDriveFeatures>(volume_.fileSystemFlags); }
  ComPtr<IDriveSpace> Space() override { return Make<TDriveSpace>(root_); }
  std::string SerialNumber() override { return std::to_string(volume_.serialNumber); }
  std::string FileSystemName() override { return volume_.fileSystemName; }

private:
  std::string root_;
  VolumeInformation volume_;
};

}  // namespace

ComPtr<IDiskHugeNumber> NewDiskHugeNumber(int64_t value) { return Make<TDiskHugeNumber>(value); }
ComPtr<IDiskBoolean> NewDiskBoolean(bool value) { return Make<TDiskBoolean>(value); }

ComPtr<IDriveInfo> TcxDriveInfo::GetDrive(const std::string& rootPath) const {
  return Make<TDriveInfo>(rootPath);
}
