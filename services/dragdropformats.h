// The standard clipboard formats whose value is one block of bytes (text,
// wide text, 32-bit values, class ids, file group descriptors), the data
// format of drop-effect feedback, and the formats of virtual files: file
// contents as named memory streams or supplied on demand.
//
// Every block that arrives from another program is size-capped before it is
// read (a stream's own size report is not trusted) and checked against the
// layout of its format; a malformed block is refused and leaves the value
// cleared.
//
// Sections: limits and names | simple formats | text | 32-bit values and
// class ids | file group descriptors | feedback | stream and memory lists |
// file contents | virtual files | the drop folder
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/stringlist.h"
#include "platform/rtl/streams.h"
#include "services/dragdrop.h"

// ---- limits and names ------------------------------------------------------------------

// The largest block read from another program, and the most names taken from one.
constexpr size_t kMaxDropBlockBytes = size_t{4} << 20;
constexpr size_t kMaxDropNames = 4096;
// The longest name, in bytes (8-bit) or UTF-16 units (wide).
constexpr size_t kMaxDropNameLength = 32767;
// The most bytes of file contents read from one drop, all items together.
constexpr size_t kMaxFileContentsBytes = size_t{512} << 20;

// A name from another program as a path below a drop folder: separators of
// either kind split it; empty, "." and ".." parts, control characters and
// absolute, drive-led ("C:...") or colon-bearing names are refused ("" answered).
std::string SafeDropName(const std::string& name);

// A UTF-16 (little-endian) text of `units` code units in UTF-8; false when a
// surrogate does not pair up.
bool WideToUtf8(const uint8_t* data, size_t units, std::string& text);

// A stream's bytes from its start, at most `limit` (whatever the stream
// reports of its size); false when a read fails or more bytes follow.
bool ReadStreamBytes(IStream* stream, size_t limit, std::vector<uint8_t>& bytes);

// ---- simple formats -----------------------------------------------------------------------

// A format whose value is one block, on global memory or a stream (a storage
// is read as the bytes of its compound file where the platform has them).
class TCustomSimpleClipboardFormat : public TClipboardFormat {
  DRAGDROP_CLASS(TCustomSimpleClipboardFormat)
public:
  // Reads `size` bytes of the medium (a stream from its start) and passes
  // what arrived to ReadData; a size over MaxBlockBytes is refused.
  virtual bool ReadDataFromMedium(IDataObject* data, const STGMEDIUM& medium, size_t size);
  virtual bool ReadData(const uint8_t* block, size_t size) = 0;
  // The first `size` bytes of the medium into the caller's buffer.
  virtual bool ReadMediumToBuffer(IDataObject* data, const STGMEDIUM& medium, void* buffer, size_t size);
  virtual bool WriteData(uint8_t* block, size_t size) = 0;
  virtual int32_t GetSize() = 0;
  // The largest block this format reads.
  virtual size_t MaxBlockBytes() const { return kMaxDropBlockBytes; }

protected:
  bool DoGetData(IDataObject* data, const STGMEDIUM& medium) override;
  // A stream request gets a stream, global memory or "all media" a block.
  bool DoSetData(const FORMATETC& format, STGMEDIUM& medium) override;
};

// A storage's contents as the bytes of a compound file; null where the
// platform has no compound files (as here) or a step fails.
ComPtr<IStream> StorageToStream(IStorage* storage);

// The stream handed out by DoSetData: positioned at its end as it is given,
// it reads from its start until someone seeks it.
ComPtr<IStream> CreateFixedStreamAdapter(ComPtr<IStream> inner);

// ---- text --------------------------------------------------------------------------------

class TCustomStringClipboardFormat : public TCustomSimpleClipboardFormat {
  DRAGDROP_CLASS(TCustomStringClipboardFormat)
public:
  std::string Data;
  bool TrimZeroes = false;
  void Clear() override { Data.clear(); }
  bool HasData() override { return !Data.empty(); }
  bool ReadData(const uint8_t* block, size_t size) override;
  bool WriteData(uint8_t* block, size_t size) override;
  int32_t GetSize() override;
};

class TCustomTextClipboardFormat : public TCustomStringClipboardFormat {
  DRAGDROP_CLASS(TCustomTextClipboardFormat)
public:
  TCustomTextClipboardFormat() { TrimZeroes = true; }
  int32_t GetSize() override;
};

class TTextClipboardFormat : public TCustomTextClipboardFormat {
  DRAGDROP_CLASS(TTextClipboardFormat)
public:
  TTextClipboardFormat() { CreateFormat(TYMED_HGLOBAL | TYMED_ISTREAM); }
  CLIPFORMAT GetClipboardFormat() override;
};

// UTF-16 text, kept as code units (a terminating zero read stays in Text).
class TCustomWideTextClipboardFormat : public TCustomSimpleClipboardFormat {
  DRAGDROP_CLASS(TCustomWideTextClipboardFormat)
public:
  std::u16string Text;
  void Clear() override { Text.clear(); }
  bool HasData() override { return !Text.empty(); }
  bool ReadData(const uint8_t* block, size_t size) override;
  bool WriteData(uint8_t* block, size_t size) override;
  int32_t GetSize() override;
  // Text up to its first zero, in UTF-8; false for unpaired surrogates.
  bool TextUtf8(std::string& text) const;
  void SetTextUtf8(const std::string& text);
};

// ---- 32-bit values and class ids --------------------------------------------------------------

class TCustomDWORDClipboardFormat : public TCustomSimpleClipboardFormat {
  DRAGDROP_CLASS(TCustomDWORDClipboardFormat)
public:
  uint32_t Value = 0;
  bool AsBoolean() const { return Value != 0; }
  void SetAsBoolean(bool value) { Value = value ? 1 : 0; }
  void Clear() override { Value = 0; }
  bool HasData() override { return true; }
  // A block shorter than 4 bytes is refused.
  bool ReadData(const uint8_t* block, size_t size) override;
  bool WriteData(uint8_t* block, size_t size) override;
  int32_t GetSize() override { return 4; }
};

#define DRAGDROP_DWORD_FORMAT(C)                                   \
  class C : public TCustomDWORDClipboardFormat {                   \
    DRAGDROP_CLASS(C)                                              \
  public:                                                          \
    C() { CreateFormat(TYMED_HGLOBAL | TYMED_ISTREAM); }           \
    CLIPFORMAT GetClipboardFormat() override;                      \
  };
DRAGDROP_DWORD_FORMAT(TPreferredDropEffectClipboardFormat)       // "Preferred DropEffect"
DRAGDROP_DWORD_FORMAT(TPerformedDropEffectClipboardFormat)       // "Performed DropEffect"
DRAGDROP_DWORD_FORMAT(TLogicalPerformedDropEffectClipboardFormat)  // "Logical Performed DropEffect"
DRAGDROP_DWORD_FORMAT(TPasteSucceededClipboardFormat)            // "Paste Succeeded"
DRAGDROP_DWORD_FORMAT(TInShellDragLoopClipboardFormat)           // "InShellDragLoop"
#undef DRAGDROP_DWORD_FORMAT

class TTargetCLSIDClipboardFormat : public TCustomSimpleClipboardFormat {
  DRAGDROP_CLASS(TTargetCLSIDClipboardFormat)
public:
  TTargetCLSIDClipboardFormat() { CreateFormat(TYMED_HGLOBAL | TYMED_ISTREAM); }
  CLSID ClassID = GUID_NULL;
  CLIPFORMAT GetClipboardFormat() override;  // "TargetCLSID"
  void Clear() override { ClassID = GUID_NULL; }
  bool HasData() override { return !IsEqualGUID(ClassID, GUID_NULL); }
  bool ReadData(const uint8_t* block, size_t size) override;
  bool WriteData(uint8_t* block, size_t size) override;
  int32_t GetSize() override { return 16; }
};

// ---- file group descriptors ----------------------------------------------------------------

// The shell's descriptors of virtual files: a 32-bit count, then that many
// records (332 bytes with an 8-bit name, 592 with a UTF-16 name), the name
// at offset 72 (260 characters, zero-terminated).
constexpr size_t kFileDescriptorASize = 332;
constexpr size_t kFileDescriptorWSize = 592;
constexpr size_t kFileDescriptorNameAt = 72;
constexpr size_t kFileDescriptorNameChars = 260;

class TCustomFileGroupDescriptorClipboardFormat : public TCustomSimpleClipboardFormat {
  DRAGDROP_CLASS(TCustomFileGroupDescriptorClipboardFormat)
public:
  // The stored block (count and records); empty when none.
  std::vector<uint8_t> Descriptor;
  uint32_t Count() const;
  void Clear() override { Descriptor.clear(); }
  bool HasData() override { return Count() != 0; }
  // Copies a count and its records; false (and empty) when `size` cannot
  // hold them or the count exceeds kMaxDropNames.
  bool CopyDescriptor(const uint8_t* block, size_t size);
  // Accepts a block that holds its count's records, at most kMaxDropNames
  // of them, every name ending within its 260 characters (and valid UTF-16
  // in wide records). A longer tail is ignored after 8-bit records; wide
  // records must fill the block (a tail shorter than one record).
  bool ReadData(const uint8_t* block, size_t size) override;
  bool WriteData(uint8_t* block, size_t size) override;
  int32_t GetSize() override;
  // The file name of record i, in UTF-8 (wide names are not narrowed); empty
  // when there is no such record.
  std::string FileName(uint32_t index) const;
  virtual size_t RecordSize() const = 0;
  bool Wide() const { return RecordSize() == kFileDescriptorWSize; }

private:
  // False when the name does not end within its 260 characters or is not UTF-16.
  bool RecordName(uint32_t index, std::string& name) const;
};

class TFileGroupDescritorClipboardFormat : public TCustomFileGroupDescriptorClipboardFormat {
  DRAGDROP_CLASS(TFileGroupDescritorClipboardFormat)
public:
  TFileGroupDescritorClipboardFormat() { CreateFormat(TYMED_HGLOBAL | TYMED_ISTREAM); }
  CLIPFORMAT GetClipboardFormat() override;  // "FileGroupDescriptor"
  size_t RecordSize() const override { return kFileDescriptorASize; }
};

class TFileGroupDescritorWClipboardFormat : public TCustomFileGroupDescriptorClipboardFormat {
  DRAGDROP_CLASS(TFileGroupDescritorWClipboardFormat)
public:
  TFileGroupDescritorWClipboardFormat() { CreateFormat(TYMED_HGLOBAL | TYMED_ISTREAM); }
  CLIPFORMAT GetClipboardFormat() override;  // "FileGroupDescriptorW"
  size_t RecordSize() const override { return kFileDescriptorWSize; }
};

// ---- feedback ---------------------------------------------------------------------------

// Gathers the drop-effect values a data object carries (and writes them back).
class TFeedbackDataFormat : public TCustomDataFormat {
  DRAGDROP_CLASS(TFeedbackDataFormat)
public:
  explicit TFeedbackDataFormat(TDragDropComponent* owner) : TCustomDataFormat(owner, StaticClass()) {}
  uint32_t PreferredDropEffect = 0;
  uint32_t PerformedDropEffect = 0;
  uint32_t LogicalPerformedDropEffect = 0;
  uint32_t PasteSucceeded = 0;
  bool InShellDragLoop = false;
  bool GotInShellDragLoop = false;
  CLSID TargetCLSID = GUID_NULL;

  bool Assign(TClipboardFormat* source) override;
  bool AssignTo(TClipboardFormat* dest) override;
  // Keeps LogicalPerformedDropEffect, PasteSucceeded and TargetCLSID.
  void Clear() override;
  bool HasData() override;
  bool NeedsData() override;
};

// ---- stream and memory lists --------------------------------------------------------------

// Named memory streams, owned by the list until it is cleared or they move
// to another list.
class TStreamList {
public:
  TStreamList() = default;
  TStreamList(const TStreamList&) = delete;
  TStreamList& operator=(const TStreamList&) = delete;
  ~TStreamList() { Clear(); }

  TNotifyEvent OnChanging;
  void Changing();
  int Add(TMemoryStream* stream, const std::string& name);
  int Count() const { return static_cast<int>(items_.size()); }
  TMemoryStream* Streams(int index) const { return items_.at(static_cast<size_t>(index)).stream.get(); }
  const std::string& Names(int index) const { return items_.at(static_cast<size_t>(index)).name; }
  // Takes the source's streams over; the source's change event does not fire.
  void Assign(TStreamList& source);
  void Clear();

private:
  struct Item {
    std::string name;
    std::unique_ptr<TMemoryStream> stream;
  };
  std::vector<Item> items_;
};

// Memory blocks owned by the list.
class TMemoryList {
public:
  void Add(std::vector<uint8_t> block) { blocks_.push_back(std::move(block)); }
  int Count() const { return static_cast<int>(blocks_.size()); }
  std::vector<uint8_t>& Blocks(int index) { return blocks_.at(static_cast<size_t>(index)); }
  const std::vector<uint8_t>& Blocks(int index) const { return blocks_.at(static_cast<size_t>(index)); }
  void Delete(int index) { blocks_.erase(blocks_.begin() + index); }
  void Clear() { blocks_.clear(); }

private:
  std::vector<std::vector<uint8_t>> blocks_;
};

// ---- file contents ----------------------------------------------------------------------

CLIPFORMAT FileContentsFormat();  // "FileContents"

// The contents of item 0 as 8-bit text.
class TFileContentsClipboardFormat : public TCustomTextClipboardFormat {
  DRAGDROP_CLASS(TFileContentsClipboardFormat)
public:
  TFileContentsClipboardFormat() {
    CreateFormat(TYMED_HGLOBAL | TYMED_ISTREAM);
    FormatEtc.lindex = 0;
  }
  CLIPFORMAT GetClipboardFormat() override { return FileContentsFormat(); }
};

// One memory stream per item, named after the item's descriptor (the wide
// descriptor first, so names stay whole). Items are read while the object
// delivers them, at most MaxBytes in all; an item over the limit fails the
// reading (the streams read before it stay).
class TFileContentsStreamClipboardFormat : public TClipboardFormat {
  DRAGDROP_CLASS(TFileContentsStreamClipboardFormat)
public:
  TFileContentsStreamClipboardFormat() { CreateFormat(TYMED_ISTREAM | TYMED_ISTORAGE); }
  TStreamList Streams;
  size_t MaxBytes = kMaxFileContentsBytes;  // all items together
  CLIPFORMAT GetClipboardFormat() override { return FileContentsFormat(); }
  bool GetData(IDataObject* data) override;
  void Clear() override { Streams.Clear(); }
  bool HasData() override { return Streams.Count() > 0; }
  bool AssignTo(TCustomDataFormat* dest) override;
};

class TVirtualFileStreamDataFormat;

// Supplies the contents of virtual files on demand, through OnGetStream.
class TFileContentsStreamOnDemandClipboardFormat : public TClipboardFormat {
  DRAGDROP_CLASS(TFileContentsStreamOnDemandClipboardFormat)
public:
  using TGetStreamEvent = std::function<void(TObject* sender, int32_t index, ComPtr<IStream>& stream)>;
  TFileContentsStreamOnDemandClipboardFormat() { CreateFormat(TYMED_ISTREAM); }
  TGetStreamEvent OnGetStream;
  bool GotData = false;
  bool GotAssignment = false;
  CLIPFORMAT GetClipboardFormat() override { return FileContentsFormat(); }
  void Clear() override { GotData = GotAssignment = false; }
  bool HasData() override { return GotData || GotAssignment; }
  bool GetData(IDataObject*) override { return GotData = true; }
  bool Assign(TCustomDataFormat* source) override;
  bool AssignTo(TCustomDataFormat* dest) override;

protected:
  bool DoSetData(const FORMATETC& format, STGMEDIUM& medium) override;
};

// The contents of dropped virtual files as named streams.
class TDataStreamDataFormat : public TCustomDataFormat {
  DRAGDROP_CLASS(TDataStreamDataFormat)
public:
  explicit TDataStreamDataFormat(TDragDropComponent* owner);
  ~TDataStreamDataFormat() override { Streams.OnChanging = nullptr; }
  TStreamList Streams;
  void Clear() override;
  bool HasData() override { return Streams.Count() > 0; }
  bool NeedsData() override { return Streams.Count() == 0; }
};

// ---- virtual files ---------------------------------------------------------------------

// The file names of 8-bit descriptor records held elsewhere, as a string
// list; names can only be appended, and are cut to 259 characters.
class TFileDescriptorToFilenameStrings : public TStrings {
public:
  explicit TFileDescriptorToFilenameStrings(TMemoryList& descriptors) : descriptors_(descriptors) {}
  std::string Get(int32_t index) const override;
  int32_t GetCount() const override { return descriptors_.Count(); }
  TObject* GetObject(int32_t index) const override;
  void PutObject(int32_t index, TObject* object) override;
  void Clear() override;
  void Delete(int32_t index) override;
  void Insert(int32_t index, const std::string& s) override;
  void Assign(const TStrings& source) override;

private:
  TMemoryList& descriptors_;
  std::vector<TObject*> objects_;  // may be shorter than the records: null objects
};

// Describes virtual files and supplies their contents on demand.
class TVirtualFileStreamDataFormat : public TCustomDataFormat {
  DRAGDROP_CLASS(TVirtualFileStreamDataFormat)
public:
  explicit TVirtualFileStreamDataFormat(TDragDropComponent* owner);
  TMemoryList FileDescriptors;
  TFileDescriptorToFilenameStrings FileNames{FileDescriptors};
  TFileContentsStreamOnDemandClipboardFormat* FileContentsClipboardFormat;
  TFileGroupDescritorClipboardFormat* AnsiFileGroupDescriptorClipboardFormat;
  bool HasContents = false;

  void Clear() override;
  bool HasData() override;
  bool NeedsData() override;
  bool Assign(TClipboardFormat* source) override;
  bool AssignTo(TClipboardFormat* dest) override;
};

// ---- the drop folder ---------------------------------------------------------------------

// Writes the streams into files below `folder` (subfolders made as their
// names say), never following a link and never replacing a file: a taken
// name gets " (2)", " (3)"... before its extension. Every name must pass
// SafeDropName, or nothing is written. The paths written are appended to
// `paths`; on a failure the files already written are removed again.
bool SaveStreamsToFolder(const TStreamList& streams, const std::string& folder, std::vector<std::string>& paths);

// Start-up and shut-down of these formats' pairings (run once per process).
void RegisterDragDropFormats();
void UnregisterDragDropFormats();
