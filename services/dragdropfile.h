// Files dropped on a control: the drop target that takes file names from
// other programs (the desktop's file list, the single-name formats, shell ID
// lists, file descriptors and text) and hands them to its OnDrop handler.
// Every block that arrives from another program is bounds-checked and
// size-capped before it is read; a malformed block is refused whole.
//
// Sections: block readers | drop target
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/forms/controls.h"
#include "platform/rtl/stringlist.h"
#include "platform/win/ole.h"
#include "services/dragdrop.h"
#include "services/dragdropformats.h"
#include "services/droptarget.h"

// ---- block readers --------------------------------------------------------------------

// Names one after the other, each ended by NUL (a 16-bit zero when wide),
// the list by an empty name. A name that runs to the end of the block
// without its NUL, one longer than the cap, too many names, or a wide name
// with an unpaired surrogate refuse the block (false, list unchanged).
// Wide names are kept whole in UTF-8. True when at least one name was read.
bool ReadFilesFromZeroList(const uint8_t* data, size_t size, bool wide, std::vector<std::string>& list);
// The names as a zero list (8-bit or UTF-16), closed by the empty name.
std::vector<uint8_t> WriteFilesToZeroList(const std::vector<std::string>& names, bool wide);

// The desktop's file list: a 20-byte header (offset of the names, drop
// point, non-client flag, wide flag) and a zero list. An offset inside the
// header or past the block refuses it.
bool ReadFilesFromDropFiles(const uint8_t* block, size_t size, std::vector<std::string>& files);
std::vector<uint8_t> WriteDropFiles(const std::vector<std::string>& files, bool wide);

// One NUL-ended name ("FileName", "FileNameW"); false when the NUL is missing
// or the name is empty.
bool ReadSingleName(const uint8_t* data, size_t size, bool wide, std::string& name);

// A shell ID list array (see dragdroppidl.h): one name per child, its
// file-system path, or empty for an item that has none here.
bool ReadIDListArray(const uint8_t* data, size_t size, std::vector<std::string>& names);

// The file descriptors of virtual files (records of 592 bytes with UTF-16
// names). Names are made safe for the drop folder (SafeDropName); one that
// cannot be refuses the block.
bool ReadFileDescriptors(const uint8_t* data, size_t size, std::vector<std::string>& names);

// Dropped text (8-bit or UTF-16), up to its first NUL or the block's end.
bool ReadDroppedText(const uint8_t* data, size_t size, bool wide, std::string& text);

class TFileDataFormat;
class TFileMapDataFormat;

// The desktop's file list as a clipboard format (CF_HDROP); names are
// written as UTF-16.
class TFileClipboardFormat : public TCustomSimpleClipboardFormat {
  DRAGDROP_CLASS(TFileClipboardFormat)
public:
  TFileClipboardFormat() { CreateFormat(TYMED_HGLOBAL | TYMED_ISTREAM); }
  TStringList FileNames;
  bool Unicode = true;
  CLIPFORMAT GetClipboardFormat() override;
  void Clear() override { FileNames.Clear(); }
  bool HasData() override { return FileNames.Count() > 0; }
  bool ReadData(const uint8_t* block, size_t size) override;
  bool WriteData(uint8_t* block, size_t size) override;
  int32_t GetSize() override;
  bool Assign(TCustomDataFormat* source) override;
  bool AssignTo(TCustomDataFormat* dest) override;
};

// One file name ("FileName", 8-bit). A block without the name's NUL or with
// an empty name is refused.
class TFilenameClipboardFormat : public TCustomTextClipboardFormat {
  DRAGDROP_CLASS(TFilenameClipboardFormat)
public:
  TFilenameClipboardFormat() { CreateFormat(TYMED_HGLOBAL | TYMED_ISTREAM); }
  CLIPFORMAT GetClipboardFormat() override;
  bool ReadData(const uint8_t* block, size_t size) override;
  // From a file data format its first name; into one, the name appended.
  bool Assign(TCustomDataFormat* source) override;
  bool AssignTo(TCustomDataFormat* dest) override;
};

// One file name in UTF-16 ("FileNameW"); refused as the 8-bit one is, and
// for a lone surrogate.
class TFilenameWClipboardFormat : public TCustomWideTextClipboardFormat {
  DRAGDROP_CLASS(TFilenameWClipboardFormat)
public:
  TFilenameWClipboardFormat() { CreateFormat(TYMED_HGLOBAL | TYMED_ISTREAM); }
  CLIPFORMAT GetClipboardFormat() override;
  bool ReadData(const uint8_t* block, size_t size) override;
  bool Assign(TCustomDataFormat* source) override;
  bool AssignTo(TCustomDataFormat* dest) override;
};

// The names a source renamed its files to (a zero list without header);
// reading appends to MappedNames. The file map data format takes them.
class TCustomFilenameMapClipboardFormat : public TCustomSimpleClipboardFormat {
  DRAGDROP_CLASS(TCustomFilenameMapClipboardFormat)
public:
  TStringList MappedNames;
  void Clear() override { MappedNames.Clear(); }
  bool HasData() override { return MappedNames.Count() > 0; }
  bool ReadData(const uint8_t* block, size_t size) override;
  bool WriteData(uint8_t* block, size_t size) override;
  int32_t GetSize() override;

protected:
  explicit TCustomFilenameMapClipboardFormat(bool wide) : wide_(wide) {}

private:
  bool wide_;
};

class TFilenameMapClipboardFormat : public TCustomFilenameMapClipboardFormat {
  DRAGDROP_CLASS(TFilenameMapClipboardFormat)
public:
  TFilenameMapClipboardFormat() : TCustomFilenameMapClipboardFormat(false) {
    CreateFormat(TYMED_HGLOBAL | TYMED_ISTREAM);
  }
  CLIPFORMAT GetClipboardFormat() override;
};

class TFilenameMapWClipboardFormat : public TCustomFilenameMapClipboardFormat {
  DRAGDROP_CLASS(TFilenameMapWClipboardFormat)
public:
  TFilenameMapWClipboardFormat() : TCustomFilenameMapClipboardFormat(true) {
    CreateFormat(TYMED_HGLOBAL | TYMED_ISTREAM);
  }
  CLIPFORMAT GetClipboardFormat() override;
};

// The dropped file names, read in the order the file list, the shell ID
// lists, "FileNameW", "FileName"; the first format that gives a name decides.
class TFileDataFormat : public TCustomDataFormat {
  DRAGDROP_CLASS(TFileDataFormat)
public:
  explicit TFileDataFormat(TDragDropComponent* owner);
  TStringList FileNames;
  void Clear() override;
  bool HasData() override { return FileNames.Count() > 0; }
  bool Assign(TClipboardFormat* source) override;
  bool AssignTo(TClipboardFormat* dest) override;
};

// The names of a name map ("FileNameMapW", then "FileNameMap").
class TFileMapDataFormat : public TCustomDataFormat {
  DRAGDROP_CLASS(TFileMapDataFormat)
public:
  explicit TFileMapDataFormat(TDragDropComponent* owner);
  TStringList MappedNames;
  void Clear() override;
  bool HasData() override { return MappedNames.Count() > 0; }
  bool Assign(TClipboardFormat* source) override;
  bool AssignTo(TClipboardFormat* dest) override;
};

// ---- drop target ------------------------------------------------------------------------
using TDropEvent = TDropTargetEvent;

// Accepts files dropped on its Target (and, with WholeWindow, anywhere on
// the target's window). OnDrop runs on the GUI thread while the names are
// in GetFiles; afterwards the list is empty again. A drop whose names cannot
// be read is refused (no effect) and OnDrop does not run. An exception out
// of OnDrop is swallowed and refuses the drop (no effect) too.
//
// Data formats made with the target as owner (feedback, file contents, ID
// lists...) join DataFormats: a drop that one of them can read is accepted
// too, each reads the data object before OnDrop and is cleared after it.
// With VirtualFileFolder set, dropped virtual files (descriptors and their
// contents) are written into that folder and their paths become the names.
class TDropFileTarget : public TCustomDropMultiTarget {
public:
  explicit TDropFileTarget(TComponent* owner);

  // Registers the target; with WholeWindow its form takes drops too.
  void SetTarget(TWinControl* target);
  bool WholeWindow = false;
  std::string VirtualFileFolder;

  // The names of the drop in progress (valid while OnDrop runs).
  TStrings* GetFiles() const;
  // The names of a data object in the order of the formats: the file list,
  // the shell ID lists, "FileNameW", "FileName"; false when none delivers a
  // well-formed block with a name.
  static bool ReadFiles(IDataObject* data, std::vector<std::string>& files);
  // The source's "Preferred DropEffect", copy when it gives none.
  DWORD GetPreferredDropEffect() override;

protected:
  bool HasValidFormats(IDataObject* data) override;
  bool DoGetData() override;

private:
  bool ReadVirtualFiles(IDataObject* data, std::vector<std::string>& files) const;

  TFileDataFormat* fileFormat_;
  TFileMapDataFormat* mapFormat_;
};
