// Shell ID lists: the "Shell IDList Array" clipboard format, which names
// dragged items as the ID list of a parent folder and the lists of its
// children, and the turning of such lists into file-system paths and back.
//
// An ID list is a chain of items, each a 16-bit little-endian size (counting
// its two size bytes) and its data, closed by an item of size 0; it is kept
// here as one string of raw bytes, terminator included.
//
// This desktop has no shell namespace beyond the file system. Its ID lists
// name file-system items only: the empty list is the root folder "/", and
// each item stands for one path component, its data the kind byte
// kFileSystemItem followed by the component's UTF-8 name. An item of any
// other kind (a list made by some other shell: control panels, printers,
// virtual folders) has no path here, and such an item's name is empty.
//
// Sections: ID lists | paths | the array block | clipboard and data formats
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/rtl/stringlist.h"
#include "services/dragdropformats.h"

// ---- ID lists -----------------------------------------------------------------------------

constexpr uint8_t kFileSystemItem = 0x31;
// The most items in one ID list.
constexpr size_t kMaxIDListItems = 1024;

// The size of the list at `list` (terminator included) when it closes within
// `limit` bytes, has at most kMaxIDListItems items and no item shorter than
// its size field; 0 otherwise (and for null).
size_t GetIDListSize(const uint8_t* list, size_t limit);
// The list's bytes; empty when GetIDListSize refuses it.
std::string IDListToString(const uint8_t* list, size_t limit);
// The parent without its terminator (nothing of it when it is 2 bytes or
// shorter), then the whole child.
std::string JoinIDLists(const std::string& parent, const std::string& child);

// ---- paths -------------------------------------------------------------------------------

// The absolute ID list of an absolute path ("/" gives the bare terminator);
// empty for a relative path or one with empty, "." or ".." components.
std::string PathToIDList(const std::string& path);
// The path of an absolute ID list; false when an item is not a file-system
// item or its name is not a plain component.
bool GetPathFromIDList(const std::string& list, std::string& path);

// ---- the array block ----------------------------------------------------------------------

// Reads a "Shell IDList Array" block: a count, count + 1 offsets (the
// parent's list first) and the lists. Every offset must point past the
// offsets and every list lie whole in the block; at most kMaxDropNames
// children. `list` gets the parent and the children (emptied on a refusal);
// true when there is at least one child.
bool ReadIDListsFromCIDA(const uint8_t* block, size_t size, std::vector<std::string>& list);
// The block of the lists (parent first); empty when there is no parent.
std::vector<uint8_t> WriteIDListsToCIDA(const std::vector<std::string>& list);

// The ID list of the deepest folder that holds every name's folder; raises
// EDataFormatError "Invalid filename: %s" for a name that is not an
// absolute path. Empty for no names.
void GetCommonParentIDList(const TStrings& fileNames, std::string& parent);
// The common parent, then each name's list relative to it; false (and an
// empty list) when there are no names or one cannot be turned into a list.
bool FileNamesToIDLists(const TStrings& fileNames, std::vector<std::string>& list);

// ---- clipboard and data formats --------------------------------------------------------------

// The children's paths of an ID-list array (parent first), read only: one
// entry per child, empty for a child without a file-system path. Assigning
// names turns them into ID lists.
class TPIDLsToFilenamesStrings : public TStrings {
public:
  explicit TPIDLsToFilenamesStrings(std::vector<std::string>& lists) : lists_(lists) {}
  // Raises EDataFormatError "Filename index out of range".
  std::string Get(int32_t index) const override;
  int32_t GetCount() const override;
  void Put(int32_t, const std::string&) override {}
  void Clear() override {}
  void Delete(int32_t) override {}
  void Insert(int32_t, const std::string&) override {}
  void Assign(const TStrings& source) override;

private:
  std::vector<std::string>& lists_;
};

CLIPFORMAT PIDLFormat();  // "Shell IDList Array"

class TPIDLClipboardFormat : public TCustomSimpleClipboardFormat {
  DRAGDROP_CLASS(TPIDLClipboardFormat)
public:
  TPIDLClipboardFormat() { CreateFormat(TYMED_HGLOBAL | TYMED_ISTREAM); }
  std::vector<std::string> IDLists;
  TPIDLsToFilenamesStrings IDListFileNames{IDLists};
  CLIPFORMAT GetClipboardFormat() override { return PIDLFormat(); }
  void Clear() override { IDLists.clear(); }
  bool HasData() override { return !IDLists.empty(); }
  bool ReadData(const uint8_t* block, size_t size) override { return ReadIDListsFromCIDA(block, size, IDLists); }
  // Raises EDataFormatError when there is no parent list.
  bool WriteData(uint8_t* block, size_t size) override;
  int32_t GetSize() override;
};

class TPIDLDataFormat : public TCustomDataFormat {
  DRAGDROP_CLASS(TPIDLDataFormat)
public:
  explicit TPIDLDataFormat(TDragDropComponent* owner) : TCustomDataFormat(owner, StaticClass()) {}
  std::vector<std::string> IDLists;
  TPIDLsToFilenamesStrings IDListFileNames{IDLists};
  void Clear() override;
  bool HasData() override { return !IDLists.empty(); }
  bool NeedsData() override { return IDLists.empty(); }
  bool Assign(TClipboardFormat* source) override;
  bool AssignTo(TClipboardFormat* dest) override;
};
