// File contents and virtual files: named streams read from a drop, contents
// supplied on demand, the descriptors' names as a string list, and the
// writing of dropped contents into a drop folder; see dragdropformats.h.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/win/user_clipboard.h"
#include "services/dragdropformats.h"

DRAGDROP_CONCRETE_CLASS(TFileContentsClipboardFormat, TCustomTextClipboardFormat)
DRAGDROP_CONCRETE_CLASS(TFileContentsStreamClipboardFormat, TClipboardFormat)
DRAGDROP_CONCRETE_CLASS(TFileContentsStreamOnDemandClipboardFormat, TClipboardFormat)
DRAGDROP_ABSTRACT_CLASS(TDataStreamDataFormat, TCustomDataFormat)
DRAGDROP_ABSTRACT_CLASS(TVirtualFileStreamDataFormat, TCustomDataFormat)

CLIPFORMAT FileContentsFormat() {
  static CLIPFORMAT format;
  return RegisteredFormat(format, "FileContents");
}

// ---- stream and memory lists --------------------------------------------------------------

void TStreamList::Changing() {
  if (OnChanging) OnChanging(nullptr);
}

int TStreamList::Add(TMemoryStream* stream, const std::string& name) {
  std::unique_ptr<TMemoryStream> owned(stream);
  Changing();
  items_.push_back({name, std::move(owned)});
  return Count() - 1;
}

void TStreamList::Assign(TStreamList& source) {
  Clear();
  items_ = std::move(source.items_);
  source.items_.clear();
}

void TStreamList::Clear() {
  Changing();
  items_.clear();
}

// ---- file contents ----------------------------------------------------------------------

namespace {

// The descriptors the object offers, the wide ones first; null when none.
std::unique_ptr<TCustomFileGroupDescriptorClipboardFormat> ReadDescriptors(IDataObject* data) {
  std::unique_ptr<TCustomFileGroupDescriptorClipboardFormat> wide(new TFileGroupDescritorWClipboardFormat);
  if (wide->GetData(data)) return wide;
  std::unique_ptr<TCustomFileGroupDescriptorClipboardFormat> ansi(new TFileGroupDescritorClipboardFormat);
  if (ansi->GetData(data)) return ansi;
  return nullptr;
}

enum class ItemRead { Stream, Skipped, Failed };

// The contents of one item's medium, at most `limit` bytes.
ItemRead ReadItem(const STGMEDIUM& medium, size_t limit, std::vector<uint8_t>& bytes) {
  ComPtr<IStream> stream;
  if (medium.tymed == TYMED_ISTORAGE) {
    stream = StorageToStream(medium.pstg);
    if (!stream) return ItemRead::Failed;
  } else if (medium.tymed == TYMED_ISTREAM) {
    stream = ComPtr<IStream>(medium.pstm);
  } else {
    return ItemRead::Skipped;
  }
  return ReadStreamBytes(stream.Get(), limit, bytes) ? ItemRead::Stream : ItemRead::Failed;
}

TMemoryStream* MemoryStreamOf(const std::vector<uint8_t>& bytes) {
  auto* stream = new TMemoryStream;
  try {
    if (!bytes.empty()) stream->WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
    stream->SetPosition(0);
  } catch (...) {
    delete stream;
    throw;
  }
  return stream;
}

}  // namespace

bool TFileContentsStreamClipboardFormat::GetData(IDataObject* data) {
  Clear();
  const std::unique_ptr<TCustomFileGroupDescriptorClipboardFormat> descriptors = ReadDescriptors(data);
  const LONG count = descriptors ? static_cast<LONG>(descriptors->Count()) : 0;
  FORMATETC item = FormatEtc;
  item.lindex = descriptors ? 0 : -1;
  size_t left = MaxBytes;
  bool read = false;
  while (item.lindex < count) {
    STGMEDIUM medium;
    if (FAILED(data->GetData(&item, &medium))) break;
    const LONG index = item.lindex++;
    std::vector<uint8_t> bytes;
    const ItemRead outcome = ReadItem(medium, left, bytes);
    ReleaseStgMedium(&medium);
    if (outcome == ItemRead::Skipped) continue;
    if (outcome == ItemRead::Failed) return false;  // the streams read so far stay
    left -= bytes.size();
    Streams.Add(MemoryStreamOf(bytes), index >= 0 ? descriptors->FileName(static_cast<uint32_t>(index)) : "");
    read = true;
  }
  return read;
}

bool TFileContentsStreamClipboardFormat::AssignTo(TCustomDataFormat* dest) {
  if (auto* streams = dynamic_cast<TDataStreamDataFormat*>(dest)) {
    streams->Streams.Assign(Streams);
    return true;
  }
  return TClipboardFormat::AssignTo(dest);
}

bool TFileContentsStreamOnDemandClipboardFormat::Assign(TCustomDataFormat* source) {
  if (!dynamic_cast<TVirtualFileStreamDataFormat*>(source)) return TClipboardFormat::Assign(source);
  GotAssignment = true;
  return true;
}

bool TFileContentsStreamOnDemandClipboardFormat::AssignTo(TCustomDataFormat* dest) {
  return dynamic_cast<TVirtualFileStreamDataFormat*>(dest) != nullptr || TClipboardFormat::AssignTo(dest);
}

bool TFileContentsStreamOnDemandClipboardFormat::DoSetData(const FORMATETC& format, STGMEDIUM& medium) {
  const LONG index = format.lindex == -1 ? 0 : format.lindex;
  if (!OnGetStream || !(format.tymed & TYMED_ISTREAM) || index < 0) return false;
  ComPtr<IStream> stream;
  OnGetStream(this, index, stream);
  if (!stream) return false;
  medium.tymed = TYMED_ISTREAM;
  medium.pstm = stream.Detach();
  return true;
}

TDataStreamDataFormat::TDataStreamDataFormat(TDragDropComponent* owner) : TCustomDataFormat(owner, StaticClass()) {
  Streams.OnChanging = [this](TObject* sender) { DoOnChanging(sender); };
}

void TDataStreamDataFormat::Clear() {
  Changing();
  Streams.Clear();
}

// ---- virtual files ---------------------------------------------------------------------

namespace {

std::string DescriptorName(const std::vector<uint8_t>& record) {
  const auto* at = reinterpret_cast<const char*>(record.data() + kFileDescriptorNameAt);
  return std::string(at, strnlen(at, kFileDescriptorNameChars));
}

}  // namespace

std::string TFileDescriptorToFilenameStrings::Get(int32_t index) const {
  return DescriptorName(descriptors_.Blocks(index));
}

// The object list follows the records lazily: records added by the data
// format directly have no object yet.
TObject* TFileDescriptorToFilenameStrings::GetObject(int32_t index) const {
  descriptors_.Blocks(index);  // range check
  return static_cast<size_t>(index) < objects_.size() ? objects_[static_cast<size_t>(index)] : nullptr;
}

void TFileDescriptorToFilenameStrings::PutObject(int32_t index, TObject* object) {
  descriptors_.Blocks(index);
  objects_.resize(static_cast<size_t>(GetCount()), nullptr);
  objects_[static_cast<size_t>(index)] = object;
}

void TFileDescriptorToFilenameStrings::Clear() {
  descriptors_.Clear();
  objects_.clear();
}

void TFileDescriptorToFilenameStrings::Delete(int32_t index) {
  descriptors_.Blocks(index);  // range check before anything changes
  descriptors_.Delete(index);
  if (static_cast<size_t>(index) < objects_.size()) objects_.erase(objects_.begin() + index);
}

void TFileDescriptorToFilenameStrings::Insert(int32_t index, const std::string& s) {
  if (index != GetCount()) return;
  std::vector<uint8_t> record(kFileDescriptorASize, 0);
  std::memcpy(record.data() + kFileDescriptorNameAt, s.data(), std::min(s.size(), kFileDescriptorNameChars - 1));
  descriptors_.Add(std::move(record));
  objects_.resize(static_cast<size_t>(GetCount()), nullptr);
}

void TFileDescriptorToFilenameStrings::Assign(const TStrings& source) {
  BeginUpdate();
  Clear();
  for (int32_t i = 0; i < source.Count(); ++i) AddObject(source.Strings(i), source.Objects(i));
  EndUpdate();
}

TVirtualFileStreamDataFormat::TVirtualFileStreamDataFormat(TDragDropComponent* owner)
    : TCustomDataFormat(owner, StaticClass()),
      FileContentsClipboardFormat(new TFileContentsStreamOnDemandClipboardFormat),
      AnsiFileGroupDescriptorClipboardFormat(nullptr) {
  CompatibleFormats.Add(FileContentsClipboardFormat);
  AnsiFileGroupDescriptorClipboardFormat = new TFileGroupDescritorClipboardFormat;
  CompatibleFormats.Add(AnsiFileGroupDescriptorClipboardFormat);
}

void TVirtualFileStreamDataFormat::Clear() {
  FileNames.Clear();
  HasContents = false;
}

bool TVirtualFileStreamDataFormat::HasData() {
  return FileDescriptors.Count() > 0 && (HasContents || FileContentsClipboardFormat->OnGetStream);
}

bool TVirtualFileStreamDataFormat::NeedsData() { return FileDescriptors.Count() == 0 || !HasContents; }

bool TVirtualFileStreamDataFormat::Assign(TClipboardFormat* source) {
  if (auto* contents = dynamic_cast<TFileContentsStreamOnDemandClipboardFormat*>(source)) {
    HasContents = contents->HasData();
    return true;
  }
  if (auto* group = dynamic_cast<TFileGroupDescritorClipboardFormat*>(source)) {
    FileNames.Clear();
    for (uint32_t i = 0; i < group->Count(); ++i) {
      const auto record = group->Descriptor.begin() + 4 + static_cast<std::ptrdiff_t>(i * kFileDescriptorASize);
      FileDescriptors.Add(std::vector<uint8_t>(record, record + kFileDescriptorASize));
    }
    return true;
  }
  return TCustomDataFormat::Assign(source);
}

bool TVirtualFileStreamDataFormat::AssignTo(TClipboardFormat* dest) {
  if (auto* contents = dynamic_cast<TFileContentsStreamOnDemandClipboardFormat*>(dest)) return contents->Assign(this);
  if (auto* group = dynamic_cast<TFileGroupDescritorClipboardFormat*>(dest)) {
    if (FileDescriptors.Count() == 0) return false;
    std::vector<uint8_t> block(4);
    const uint32_t count = static_cast<uint32_t>(FileDescriptors.Count());
    for (int i = 0; i < 4; ++i) block[static_cast<size_t>(i)] = static_cast<uint8_t>(count >> (8 * i));
    for (int i = 0; i < FileDescriptors.Count(); ++i)
      block.insert(block.end(), FileDescriptors.Blocks(i).begin(), FileDescriptors.Blocks(i).end());
    return group->CopyDescriptor(block.data(), block.size());
  }
  return TCustomDataFormat::AssignTo(dest);
}

// ---- the drop folder ---------------------------------------------------------------------

namespace {

struct Fd {
  int fd;
  explicit Fd(int f) : fd(f) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() {
    if (fd >= 0) close(fd);
  }
};

// "name (n).ext" for the n-th try (the name itself for the first).
std::string Numbered(const std::string& leaf, int n) {
  if (n == 1) return leaf;
  const size_t dot = leaf.rfind('.');
  const size_t cut = dot == std::string::npos || dot == 0 ? leaf.size() : dot;
  return leaf.substr(0, cut) + " (" + std::to_string(n) + ")" + leaf.substr(cut);
}

bool WriteAll(int fd, const uint8_t* data, size_t size) {
  while (size > 0) {
    const ssize_t put = write(fd, data, size);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    data += put;
    size -= static_cast<size_t>(put);
  }
  return true;
}

// Writes one stream below the folder open as `root`; `relative` is a safe
// name. Answers the relative path written, or "" on failure.
std::string WriteBelow(int root, const std::string& relative, TMemoryStream& stream) {
  Fd dir(dup(root));
  std::string written;
  size_t at = 0;
  for (size_t slash; (slash = relative.find('/', at)) != std::string::npos; at = slash + 1) {
    const std::string part = relative.substr(at, slash - at);
    if (mkdirat(dir.fd, part.c_str(), 0700) != 0 && errno != EEXIST) return "";
    Fd next(openat(dir.fd, part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (next.fd < 0) return "";
    std::swap(dir.fd, next.fd);
    written += part + "/";
  }
  const std::string leaf = relative.substr(at);
  for (int n = 1; n <= 1000; ++n) {
    const std::string name = Numbered(leaf, n);
    Fd file(openat(dir.fd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (file.fd < 0) {
      if (errno == EEXIST) continue;
      return "";
    }
    const auto* bytes = static_cast<const uint8_t*>(stream.Memory());
    if (!WriteAll(file.fd, bytes, static_cast<size_t>(stream.Size()))) {
      unlinkat(dir.fd, name.c_str(), 0);
      return "";
    }
    return written + name;
  }
  return "";
}

}  // namespace

bool SaveStreamsToFolder(const TStreamList& streams, const std::string& folder, std::vector<std::string>& paths) {
  std::vector<std::string> names;
  for (int i = 0; i < streams.Count(); ++i) {
    names.push_back(SafeDropName(streams.Names(i)));
    if (names.back().empty()) return false;
  }
  Fd root(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (root.fd < 0) return false;
  const std::string base = folder.empty() || folder.back() == '/' ? folder : folder + "/";
  std::vector<std::string> written;
  for (int i = 0; i < streams.Count(); ++i) {
    const std::string relative = WriteBelow(root.fd, names[static_cast<size_t>(i)], *streams.Streams(i));
    if (relative.empty()) {
      for (const std::string& done : written) unlink(done.c_str());
      return false;
    }
    written.push_back(base + relative);
  }
  paths.insert(paths.end(), written.begin(), written.end());
  return true;
}
