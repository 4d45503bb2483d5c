// Drive information: whether the file system holding a path exists, its
// kind, volume data, feature flags, space and shell names, each answer a
// small reference-counted object that takes its snapshot when it is built.
//
// A "drive" here is the mount point that holds a path ("/", "/home"); any
// path inside it may stand for it. Drive indexes number the mount points in
// the order of the mount table (GetMountPoints); the first 26 have the
// letters "A" to "Z".
#pragma once

#include <cstdint>
#include <string>

#include "platform/win/unknwn.h"

enum TDriveKind { dkUnknown, dkNoRootDir, dkRemovable, dkFixed, dkRemote, dkCdRom, dkRamDisk };

class IDiskHugeNumber : public IUnknown {
public:
  static constexpr IID Iid{0xC540F255, 0xF373, 0x4A20, {0xAF, 0x1E, 0x2A, 0x3C, 0x03, 0xBF, 0xDF, 0xDE}};
  virtual int64_t Value() = 0;
  // "%d bytes" below 1024, then "%1.0n Kb", "%1.0n Mb", and "%1.2n Gb".
  virtual std::string AsText() = 0;
};

class IDiskBoolean : public IUnknown {
public:
  static constexpr IID Iid{0xD6669ECF, 0x6FB5, 0x4854, {0xAD, 0x86, 0x04, 0xCE, 0xDA, 0x6B, 0x66, 0x92}};
  virtual bool Value() = 0;
  virtual std::string AsYesNo() = 0;
  virtual std::string AsOnOff() = 0;
};

class IDriveType : public IUnknown {
public:
  static constexpr IID Iid{0x7279EE2B, 0x5B97, 0x41FF, {0xB7, 0x93, 0x4D, 0xD5, 0xA0, 0xC3, 0x97, 0x83}};
  // Asks the system at every call.
  virtual TDriveKind Kind() = 0;
  virtual std::string KindName() = 0;
};

class IDriveFeatures : public IUnknown {
public:
  static constexpr IID Iid{0xE94E88F0, 0x74D0, 0x4DB2, {0x87, 0x37, 0x28, 0xF7, 0x6D, 0x32, 0xA2, 0xB6}};
  // Each is true when the file system has that feature. Symbolic links
  // count as reparse points and POSIX ACLs as persistent ACLs; named
  // streams, object ids and encryption are never reported here.
  virtual ComPtr<IDiskBoolean> NamedStreams() = 0;
  virtual ComPtr<IDiskBoolean> ReadOnlyVolume() = 0;
  virtual ComPtr<IDiskBoolean> ObjectIds() = 0;
  virtual ComPtr<IDiskBoolean> ReparsePoints() = 0;
  virtual ComPtr<IDiskBoolean> SparseFiles() = 0;
  virtual ComPtr<IDiskBoolean> VolumeQuotas() = 0;
  virtual ComPtr<IDiskBoolean> CasePreservedNames() = 0;
  virtual ComPtr<IDiskBoolean> CaseSensitiveSearch() = 0;
  virtual ComPtr<IDiskBoolean> FileCompression() = 0;
  virtual ComPtr<IDiskBoolean> Encryption() = 0;
  virtual ComPtr<IDiskBoolean> PersistentAcls() = 0;
  virtual ComPtr<IDiskBoolean> UnicodeOnDisk() = 0;
  virtual ComPtr<IDiskBoolean> VolumeIsCompressed() = 0;
};

class IDriveSpace : public IUnknown {
public:
  static constexpr IID Iid{0x4FC33F5D, 0x8C76, 0x4F5F, {0xAA, 0xD6, 0xEA, 0xE1, 0xC5, 0x1E, 0x8D, 0x29}};
  virtual ComPtr<IDiskHugeNumber> FreeToCaller() = 0;
  virtual ComPtr<IDiskHugeNumber> TotalSize() = 0;
  virtual ComPtr<IDiskHugeNumber> TotalFree() = 0;
  virtual ComPtr<IDiskHugeNumber> UsedSpace() = 0;
};

// The shell's names of the drive's mount point. There are no shell icons
// here: the icon handle is null and the index 0.
class IDriveShellInfo : public IUnknown {
public:
  static constexpr IID Iid{0xCF04F655, 0xB982, 0x4B06, {0x82, 0x16, 0x27, 0x19, 0xE2, 0x9D, 0x9D, 0xDB}};
  virtual HICON IconHandle() = 0;
  virtual int32_t IconIndex() = 0;
  virtual std::string DisplayName() = 0;
  virtual std::string TypeName() = 0;
};

class IDriveInfo : public IUnknown {
public:
  static constexpr IID Iid{0x4300B119, 0x01C0, 0x4140, {0x95, 0xF5, 0x52, 0x1E, 0xD5, 0xF7, 0xBC, 0x9B}};
  // False only when the path has no file system behind it (does not exist).
  virtual ComPtr<IDiskBoolean> Exists() = 0;
  virtual ComPtr<IDriveType> DriveType() = 0;
  // The mount point's place in the mount table; -1 for a path without file
  // system. A drive asked for by index keeps that index.
  virtual int32_t DriveIndex() = 0;
  // "A" to "Z" for the indexes 0 to 25, else "".
  virtual std::string DriveLetter() = 0;
  // The path the drive was asked for (a mount point when asked by index).
  virtual std::string RootPath() = 0;
  virtual std::string VolumeLabel() = 0;
  virtual ComPtr<IDriveFeatures> Features() = 0;
  // The space counts, read when the space object is built; zeros when the
  // system cannot tell.
  virtual ComPtr<IDriveSpace> Space() = 0;
  virtual std::string SerialNumber() = 0;
  virtual ComPtr<IDriveShellInfo> ShellInfo() = 0;
  virtual std::string FileSystemName() = 0;
  // Asks the shell for the drive's properties dialog. There is none here:
  // the request fails, silently.
  virtual void ShowProperties() = 0;
};

// The answer objects for a number and a Boolean, as the others hand them out.
ComPtr<IDiskHugeNumber> NewDiskHugeNumber(int64_t value);
ComPtr<IDiskBoolean> NewDiskBoolean(bool value);

class TcxDriveInfo {
public:
  // A new snapshot of the drive that holds rootPath.
  ComPtr<IDriveInfo> GetDrive(const std::string& rootPath) const;
  // A new snapshot of the drive with that index; one that does not exist
  // when no mount point has it.
  ComPtr<IDriveInfo> GetDrive(int32_t driveIndex) const;
};

extern const TcxDriveInfo GlobalDriveInfo;
