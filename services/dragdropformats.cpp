// The standard clipboard formats and the feedback data format; see
// dragdropformats.h. The file contents and virtual files are in
// dragdropformats_contents.cpp.
#include "services/dragdropbytes.h"
#include "services/dragdropformats.h"

#include <algorithm>
#include <cstring>

#include "platform/rtl/encoding.h"
#include "platform/win/comimpl.h"
#include "platform/win/globalmem.h"
#include "platform/win/user_clipboard.h"
#include "platform/win/winuser_consts.h"

DRAGDROP_ABSTRACT_CLASS(TCustomSimpleClipboardFormat, TClipboardFormat)
DRAGDROP_ABSTRACT_CLASS(TCustomStringClipboardFormat, TCustomSimpleClipboardFormat)
DRAGDROP_ABSTRACT_CLASS(TCustomTextClipboardFormat, TCustomStringClipboardFormat)
DRAGDROP_CONCRETE_CLASS(TTextClipboardFormat, TCustomTextClipboardFormat)
DRAGDROP_ABSTRACT_CLASS(TCustomWideTextClipboardFormat, TCustomSimpleClipboardFormat)
DRAGDROP_ABSTRACT_CLASS(TCustomDWORDClipboardFormat, TCustomSimpleClipboardFormat)
DRAGDROP_CONCRETE_CLASS(TPreferredDropEffectClipboardFormat, TCustomDWORDClipboardFormat)
DRAGDROP_CONCRETE_CLASS(TPerformedDropEffectClipboardFormat, TCustomDWORDClipboardFormat)
DRAGDROP_CONCRETE_CLASS(TLogicalPerformedDropEffectClipboardFormat, TCustomDWORDClipboardFormat)
DRAGDROP_CONCRETE_CLASS(TPasteSucceededClipboardFormat, TCustomDWORDClipboardFormat)
DRAGDROP_CONCRETE_CLASS(TInShellDragLoopClipboardFormat, TCustomDWORDClipboardFormat)
DRAGDROP_CONCRETE_CLASS(TTargetCLSIDClipboardFormat, TCustomSimpleClipboardFormat)
DRAGDROP_ABSTRACT_CLASS(TCustomFileGroupDescriptorClipboardFormat, TCustomSimpleClipboardFormat)
DRAGDROP_CONCRETE_CLASS(TFileGroupDescritorClipboardFormat, TCustomFileGroupDescriptorClipboardFormat)
DRAGDROP_CONCRETE_CLASS(TFileGroupDescritorWClipboardFormat, TCustomFileGroupDescriptorClipboardFormat)
DRAGDROP_ABSTRACT_CLASS(TFeedbackDataFormat, TCustomDataFormat)

// ---- limits and names ------------------------------------------------------------------

std::string SafeDropName(const std::string& name) {
  if (name.empty() || name[0] == '/' || name[0] == '\\' || name.find(':') != std::string::npos) return "";
  std::string safe, part;
  for (size_t i = 0; i <= name.size(); ++i) {
    if (i == name.size() || name[i] == '/' || name[i] == '\\') {
      if (part.empty() || part == "." || part == "..") return "";
      safe += (safe.empty() ? "" : "/") + part;
      part.clear();
    } else if (static_cast<unsigned char>(name[i]) < 0x20 || name[i] == 0x7F) {
      return "";
    } else {
      part += name[i];
    }
  }
  return safe;
}

bool WideToUtf8(const uint8_t* data, size_t units, std::string& text) {
  for (size_t i = 0; i < units; ++i) {
    const uint16_t c = DropU16(data + i * 2);
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 >= units) return false;
      const uint16_t d = DropU16(data + (i + 1) * 2);
      if (d < 0xDC00 || d > 0xDFFF) return false;
      ++i;
    } else if (c >= 0xDC00 && c <= 0xDFFF) {
      return false;
    }
  }
  text = Utf16LEToUtf8(data, units * 2);
  return true;
}

bool ReadStreamBytes(IStream* stream, size_t limit, std::vector<uint8_t>& out) {
  out.clear();
  if (!stream || FAILED(stream->Seek(0, STREAM_SEEK_SET, nullptr))) return false;
  std::vector<uint8_t> chunk(64 * 1024);
  for (;;) {
    ULONG got = 0;
    if (FAILED(stream->Read(chunk.data(), static_cast<ULONG>(chunk.size()), &got))) return false;
    got = std::min<ULONG>(got, static_cast<ULONG>(chunk.size()));
    if (got == 0) return true;
    if (got > limit - out.size()) return false;  // more than the cap
    out.insert(out.end(), chunk.begin(), chunk.begin() + got);
  }
}

// ---- simple formats -----------------------------------------------------------------------

bool TCustomSimpleClipboardFormat::DoGetData(IDataObject* data, const STGMEDIUM& medium) {
  if (medium.tymed == TYMED_HGLOBAL) {
    const size_t size = GlobalSize(medium.hGlobal);
    return size == 0 || ReadDataFromMedium(data, medium, size);
  }
  if (medium.tymed == TYMED_ISTREAM) {
    STATSTG stat;
    if (!medium.pstm || FAILED(medium.pstm->Stat(&stat, STATFLAG_NONAME))) return false;
    if (stat.cbSize == 0) return true;
    // The reported size is a hint only: what arrives is read, and more than the cap refused.
    return ReadDataFromMedium(data, medium, static_cast<size_t>(std::min<uint64_t>(stat.cbSize, MaxBlockBytes())));
  }
  if (medium.tymed == TYMED_ISTORAGE) {
    ComPtr<IStream> stream = StorageToStream(medium.pstg);
    if (!stream) return false;
    STGMEDIUM asStream;
    asStream.tymed = TYMED_ISTREAM;
    asStream.pstm = stream.Get();
    return DoGetData(data, asStream);  // the ComPtr releases the stream
  }
  return false;
}

bool TCustomSimpleClipboardFormat::ReadDataFromMedium(IDataObject*, const STGMEDIUM& medium, size_t size) {
  if (size == 0 || size > MaxBlockBytes()) return false;
  if (medium.tymed == TYMED_HGLOBAL) {
    const auto* bytes = static_cast<const uint8_t*>(GlobalLock(medium.hGlobal));
    if (!bytes) return false;
    const bool read = ReadData(bytes, std::min(size, GlobalSize(medium.hGlobal)));
    GlobalUnlock(medium.hGlobal);
    return read;
  }
  if (medium.tymed == TYMED_ISTREAM) {
    std::vector<uint8_t> block;
    if (!ReadStreamBytes(medium.pstm, MaxBlockBytes(), block)) return false;
    if (block.size() > size) block.resize(size);
    return !block.empty() && ReadData(block.data(), block.size());
  }
  return false;
}

bool TCustomSimpleClipboardFormat::ReadMediumToBuffer(IDataObject*, const STGMEDIUM& medium, void* buffer,
                                                      size_t size) {
  if (!buffer || size == 0) return false;
  if (medium.tymed == TYMED_HGLOBAL) {
    const void* bytes = GlobalLock(medium.hGlobal);
    if (!bytes) return false;
    const bool fits = size <= GlobalSize(medium.hGlobal);
    if (fits) std::memcpy(buffer, bytes, size);
    GlobalUnlock(medium.hGlobal);
    return fits;
  }
  if (medium.tymed == TYMED_ISTREAM && medium.pstm) {
    if (FAILED(medium.pstm->Seek(0, STREAM_SEEK_SET, nullptr))) return false;
    size_t done = 0;
    while (done < size) {
      ULONG got = 0;
      const ULONG want = static_cast<ULONG>(std::min<size_t>(size - done, size_t{1} << 20));
      if (FAILED(medium.pstm->Read(static_cast<uint8_t*>(buffer) + done, want, &got))) return false;
      if (got == 0) break;
      done += std::min<size_t>(got, want);
    }
    return true;
  }
  return false;
}

bool TCustomSimpleClipboardFormat::DoSetData(const FORMATETC& format, STGMEDIUM& medium) {
  const int32_t size = GetSize();
  if (size <= 0) return false;
  const auto fill = [&](HGLOBAL block) {
    auto* bytes = static_cast<uint8_t*>(GlobalLock(block));
    const bool written = bytes && WriteData(bytes, static_cast<size_t>(size));
    if (bytes) GlobalUnlock(block);
    return written;
  };
  if (format.tymed != static_cast<DWORD>(-1) && (FormatEtc.tymed & format.tymed & TYMED_ISTREAM)) {
    HGLOBAL block = GlobalAlloc(GMEM_SHARE | GMEM_ZEROINIT, static_cast<size_t>(size));
    if (!block) return false;
    IStream* raw = nullptr;
    if (!fill(block) || FAILED(CreateStreamOnHGlobal(block, TRUE, &raw))) {
      GlobalFree(block);
      return false;
    }
    ComPtr<IStream> stream = ComPtr<IStream>::Attach(raw);
    stream->Seek(0, STREAM_SEEK_END, nullptr);
    medium.pstm = CreateFixedStreamAdapter(std::move(stream)).Detach();
    medium.tymed = TYMED_ISTREAM;
    return true;
  }
  if (FormatEtc.tymed & format.tymed & TYMED_HGLOBAL) {
    HGLOBAL block = GlobalAlloc(GMEM_SHARE | GMEM_ZEROINIT, static_cast<size_t>(size));
    if (!block) return false;
    if (!fill(block)) {
      GlobalFree(block);
      return false;
    }
    medium.hGlobal = block;
    medium.tymed = TYMED_HGLOBAL;
    return true;
  }
  return false;
}

ComPtr<IStream> StorageToStream(IStorage* storage) {
  if (!storage) return nullptr;
  HGLOBAL block = GlobalAlloc(GMEM_SHARE | GMEM_ZEROINIT, 0);
  if (!block) return nullptr;
  ILockBytes* bytes = nullptr;
  IStorage* copy = nullptr;
  IStream* stream = nullptr;
  bool ok = SUCCEEDED(CreateILockBytesOnHGlobal(block, FALSE, &bytes)) &&
            SUCCEEDED(StgCreateDocfileOnILockBytes(bytes, STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0,
                                                   &copy)) &&
            SUCCEEDED(storage->CopyTo(0, nullptr, nullptr, copy));
  if (copy) copy->Release();
  if (bytes) bytes->Release();
  if (ok) ok = SUCCEEDED(CreateStreamOnHGlobal(block, TRUE, &stream));
  if (!ok) {
    GlobalFree(block);
    return nullptr;
  }
  return ComPtr<IStream>::Attach(stream);
}

namespace {

class FixedStreamAdapter final : public ComObject<IStream, IID_IStream, IID_ISequentialStream> {
public:
  explicit FixedStreamAdapter(ComPtr<IStream> inner) : inner_(std::move(inner)) {}

  HRESULT Read(void* buffer, ULONG count, ULONG* read) override {
    if (!positioned_) Seek(0, STREAM_SEEK_SET, nullptr);
    return inner_->Read(buffer, count, read);
  }
  HRESULT Write(const void* buffer, ULONG count, ULONG* written) override {
    return inner_->Write(buffer, count, written);
  }
  HRESULT Seek(int64_t move, DWORD origin, uint64_t* position) override {
    const HRESULT hr = inner_->Seek(move, origin, position);
    positioned_ = true;
    return hr;
  }
  HRESULT SetSize(uint64_t size) override { return inner_->SetSize(size); }
  HRESULT CopyTo(IStream* target, uint64_t count, uint64_t* read, uint64_t* written) override;
  HRESULT Commit(DWORD flags) override { return inner_->Commit(flags); }
  HRESULT Revert() override { return inner_->Revert(); }
  HRESULT LockRegion(uint64_t offset, uint64_t count, DWORD type) override {
    return inner_->LockRegion(offset, count, type);
  }
  HRESULT UnlockRegion(uint64_t offset, uint64_t count, DWORD type) override {
    return inner_->UnlockRegion(offset, count, type);
  }
  HRESULT Stat(STATSTG* stat, DWORD flags) override { return inner_->Stat(stat, flags); }
  HRESULT Clone(IStream** clone) override { return inner_->Clone(clone); }

private:
  ComPtr<IStream> inner_;
  bool positioned_ = false;
};

// Copies in chunks of at most 1 MB; a count of "all" (as signed, negative)
// copies from the position to the end, from the start when at the end.
HRESULT FixedStreamAdapter::CopyTo(IStream* target, uint64_t count, uint64_t* read, uint64_t* written) {
  uint64_t readTotal = 0, writtenTotal = 0;
  HRESULT hr = S_OK;
  if (static_cast<int64_t>(count) < 0) {
    uint64_t position = 0, size = 0;
    inner_->Seek(0, STREAM_SEEK_CUR, &position);
    inner_->Seek(0, STREAM_SEEK_END, &size);
    if (position == size) position = 0;
    inner_->Seek(static_cast<int64_t>(position), STREAM_SEEK_SET, nullptr);
    count = size - position;
  }
  std::vector<uint8_t> buffer(static_cast<size_t>(std::min<uint64_t>(count, uint64_t{1} << 20)));
  while (count > 0 && target) {
    const ULONG want = static_cast<ULONG>(std::min<uint64_t>(buffer.size(), count));
    ULONG got = 0;
    if (FAILED(inner_->Read(buffer.data(), want, &got)) || got == 0) break;
    readTotal += got;
    ULONG put = 0;
    hr = target->Write(buffer.data(), got, &put);
    writtenTotal += put;
    if (SUCCEEDED(hr) && put != got) hr = E_FAIL;
    if (FAILED(hr)) break;
    count -= std::min<uint64_t>(count, put);
  }
  if (read) *read = readTotal;
  if (written) *written = writtenTotal;
  return hr;
}

}  // namespace

ComPtr<IStream> CreateFixedStreamAdapter(ComPtr<IStream> inner) {
  return MakeComObject<FixedStreamAdapter>(std::move(inner));
}

// ---- text --------------------------------------------------------------------------------

bool TCustomStringClipboardFormat::ReadData(const uint8_t* block, size_t size) {
  Data.assign(reinterpret_cast<const char*>(block), size);
  if (TrimZeroes) Data.resize(std::min(Data.size(), Data.find('\0')));
  return true;
}

int32_t TCustomStringClipboardFormat::GetSize() { return static_cast<int32_t>(Data.size()); }

int32_t TCustomTextClipboardFormat::GetSize() {
  if (Data.empty()) return 0;
  return static_cast<int32_t>(Data.back() == '\0' ? Data.size() : Data.size() + 1);
}

bool TCustomStringClipboardFormat::WriteData(uint8_t* block, size_t size) {
  if (size > Data.size() + 1) return false;
  std::memcpy(block, Data.c_str(), size);  // c_str() carries the terminating zero
  return true;
}

CLIPFORMAT TTextClipboardFormat::GetClipboardFormat() { return CF_TEXT; }

bool TCustomWideTextClipboardFormat::ReadData(const uint8_t* block, size_t size) {
  Text.resize(size / 2);
  for (size_t i = 0; i < Text.size(); ++i) Text[i] = static_cast<char16_t>(DropU16(block + i * 2));
  return true;
}

bool TCustomWideTextClipboardFormat::WriteData(uint8_t* block, size_t size) {
  if (size > (Text.size() + 1) * 2) return false;
  for (size_t i = 0; i < size; ++i) {
    const char16_t unit = i / 2 < Text.size() ? Text[i / 2] : u'\0';
    block[i] = static_cast<uint8_t>(i % 2 ? unit >> 8 : unit);
  }
  return true;
}

int32_t TCustomWideTextClipboardFormat::GetSize() {
  if (Text.empty()) return 0;
  return static_cast<int32_t>(Text.back() == u'\0' ? Text.size() * 2 : (Text.size() + 1) * 2);
}

bool TCustomWideTextClipboardFormat::TextUtf8(std::string& text) const {
  const size_t units = std::min(Text.size(), Text.find(u'\0'));
  std::vector<uint8_t> bytes(units * 2);
  for (size_t i = 0; i < units; ++i) {
    bytes[i * 2] = static_cast<uint8_t>(Text[i]);
    bytes[i * 2 + 1] = static_cast<uint8_t>(Text[i] >> 8);
  }
  return WideToUtf8(bytes.data(), units, text);
}

void TCustomWideTextClipboardFormat::SetTextUtf8(const std::string& text) {
  const std::vector<uint8_t> bytes = Utf8ToUtf16LE(text);
  Text.clear();
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) Text.push_back(static_cast<char16_t>(DropU16(bytes.data() + i)));
}

// ---- 32-bit values and class ids --------------------------------------------------------------

bool TCustomDWORDClipboardFormat::ReadData(const uint8_t* block, size_t size) {
  if (size < 4) return false;
  Value = DropU32(block);
  return true;
}

bool TCustomDWORDClipboardFormat::WriteData(uint8_t* block, size_t size) {
  if (size != 4) return false;
  PutDropU32(block, Value);
  return true;
}

namespace {
CLIPFORMAT cfPreferred, cfPerformed, cfLogical, cfPasteSucceeded, cfInShellDragLoop, cfTargetCLSID, cfGroup,
    cfGroupW;
}  // namespace

CLIPFORMAT TPreferredDropEffectClipboardFormat::GetClipboardFormat() {
  return RegisteredFormat(cfPreferred, "Preferred DropEffect");
}
CLIPFORMAT TPerformedDropEffectClipboardFormat::GetClipboardFormat() {
  return RegisteredFormat(cfPerformed, "Performed DropEffect");
}
CLIPFORMAT TLogicalPerformedDropEffectClipboardFormat::GetClipboardFormat() {
  return RegisteredFormat(cfLogical, "Logical Performed DropEffect");
}
CLIPFORMAT TPasteSucceededClipboardFormat::GetClipboardFormat() {
  return RegisteredFormat(cfPasteSucceeded, "Paste Succeeded");
}
CLIPFORMAT TInShellDragLoopClipboardFormat::GetClipboardFormat() {
  return RegisteredFormat(cfInShellDragLoop, "InShellDragLoop");
}
CLIPFORMAT TTargetCLSIDClipboardFormat::GetClipboardFormat() { return RegisteredFormat(cfTargetCLSID, "TargetCLSID"); }
CLIPFORMAT TFileGroupDescritorClipboardFormat::GetClipboardFormat() {
  return RegisteredFormat(cfGroup, "FileGroupDescriptor");
}
CLIPFORMAT TFileGroupDescritorWClipboardFormat::GetClipboardFormat() {
  return RegisteredFormat(cfGroupW, "FileGroupDescriptorW");
}

bool TTargetCLSIDClipboardFormat::ReadData(const uint8_t* block, size_t size) {
  if (size != sizeof(CLSID)) return false;
  ClassID.Data1 = DropU32(block);
  ClassID.Data2 = DropU16(block + 4);
  ClassID.Data3 = DropU16(block + 6);
  std::memcpy(ClassID.Data4, block + 8, 8);
  return true;
}

bool TTargetCLSIDClipboardFormat::WriteData(uint8_t* block, size_t size) {
  if (size != sizeof(CLSID)) return false;
  PutDropU32(block, ClassID.Data1);
  block[4] = static_cast<uint8_t>(ClassID.Data2);
  block[5] = static_cast<uint8_t>(ClassID.Data2 >> 8);
  block[6] = static_cast<uint8_t>(ClassID.Data3);
  block[7] = static_cast<uint8_t>(ClassID.Data3 >> 8);
  std::memcpy(block + 8, ClassID.Data4, 8);
  return true;
}

// ---- file group descriptors ----------------------------------------------------------------

uint32_t TCustomFileGroupDescriptorClipboardFormat::Count() const {
  return Descriptor.size() >= 4 ? DropU32(Descriptor.data()) : 0;
}

bool TCustomFileGroupDescriptorClipboardFormat::CopyDescriptor(const uint8_t* block, size_t size) {
  Clear();
  if (!block || size < 4) return false;
  const uint32_t count = DropU32(block);
  if (count > kMaxDropNames || 4 + count * RecordSize() > size) return false;
  Descriptor.assign(block, block + 4 + count * RecordSize());
  return true;
}

bool TCustomFileGroupDescriptorClipboardFormat::ReadData(const uint8_t* block, size_t size) {
  // The wide descriptors fill their block: it ends within the record after the last.
  if (Wide() && size >= 4 && (size - 4) / RecordSize() != DropU32(block)) {
    Clear();
    return false;
  }
  if (!CopyDescriptor(block, size)) return false;
  for (uint32_t i = 0; i < Count(); ++i) {
    std::string name;
    if (!RecordName(i, name)) {
      Clear();
      return false;
    }
  }
  return true;
}

bool TCustomFileGroupDescriptorClipboardFormat::RecordName(uint32_t index, std::string& name) const {
  if (index >= Count()) return false;
  const uint8_t* at = Descriptor.data() + 4 + index * RecordSize() + kFileDescriptorNameAt;
  size_t length = 0;
  if (!Wide()) {
    while (length < kFileDescriptorNameChars && at[length] != 0) ++length;
    if (length == kFileDescriptorNameChars) return false;
    name.assign(reinterpret_cast<const char*>(at), length);
    return true;
  }
  while (length < kFileDescriptorNameChars && DropU16(at + length * 2) != 0) ++length;
  return length < kFileDescriptorNameChars && WideToUtf8(at, length, name);
}

bool TCustomFileGroupDescriptorClipboardFormat::WriteData(uint8_t* block, size_t size) {
  if (Descriptor.empty() || size < 4 || (size - 4) / RecordSize() != Count() || size > Descriptor.size()) return false;
  std::memcpy(block, Descriptor.data(), size);
  return true;
}

int32_t TCustomFileGroupDescriptorClipboardFormat::GetSize() {
  return Descriptor.empty() ? 0 : static_cast<int32_t>(4 + Count() * RecordSize());
}

std::string TCustomFileGroupDescriptorClipboardFormat::FileName(uint32_t index) const {
  std::string name;
  return RecordName(index, name) ? name : "";
}

// ---- feedback ---------------------------------------------------------------------------

bool TFeedbackDataFormat::Assign(TClipboardFormat* source) {
  if (auto* f = dynamic_cast<TPreferredDropEffectClipboardFormat*>(source)) PreferredDropEffect = f->Value;
  else if (auto* f = dynamic_cast<TPerformedDropEffectClipboardFormat*>(source)) PerformedDropEffect = f->Value;
  else if (auto* f = dynamic_cast<TLogicalPerformedDropEffectClipboardFormat*>(source))
    LogicalPerformedDropEffect = f->Value;
  else if (auto* f = dynamic_cast<TPasteSucceededClipboardFormat*>(source)) PasteSucceeded = f->Value;
  else if (auto* f = dynamic_cast<TTargetCLSIDClipboardFormat*>(source)) TargetCLSID = f->ClassID;
  else if (auto* f = dynamic_cast<TInShellDragLoopClipboardFormat*>(source)) {
    InShellDragLoop = f->Value != 0;
    GotInShellDragLoop = true;
  } else {
    return TCustomDataFormat::Assign(source);
  }
  return true;
}

bool TFeedbackDataFormat::AssignTo(TClipboardFormat* dest) {
  if (auto* f = dynamic_cast<TPreferredDropEffectClipboardFormat*>(dest)) f->Value = PreferredDropEffect;
  else if (auto* f = dynamic_cast<TPerformedDropEffectClipboardFormat*>(dest)) f->Value = PerformedDropEffect;
  else if (auto* f = dynamic_cast<TLogicalPerformedDropEffectClipboardFormat*>(dest))
    f->Value = LogicalPerformedDropEffect;
  else if (auto* f = dynamic_cast<TPasteSucceededClipboardFormat*>(dest)) f->Value = PasteSucceeded;
  else if (auto* f = dynamic_cast<TTargetCLSIDClipboardFormat*>(dest)) f->ClassID = TargetCLSID;
  else if (auto* f = dynamic_cast<TInShellDragLoopClipboardFormat*>(dest)) f->SetAsBoolean(InShellDragLoop);
  else return TCustomDataFormat::AssignTo(dest);
  return true;
}

void TFeedbackDataFormat::Clear() {
  Changing();
  PreferredDropEffect = 0;
  PerformedDropEffect = 0;
  InShellDragLoop = false;
  GotInShellDragLoop = false;
}

bool TFeedbackDataFormat::HasData() {
  return PreferredDropEffect != 0 || PerformedDropEffect != 0 || PasteSucceeded != 0 || GotInShellDragLoop;
}

bool TFeedbackDataFormat::NeedsData() {
  return PreferredDropEffect == 0 || PerformedDropEffect == 0 || PasteSucceeded == 0 || !GotInShellDragLoop;
}

// ---- registration --------------------------------------------------------------------

void RegisterDragDropFormats() {
  RegisterDataFormat(TDataStreamDataFormat::StaticClass());
  RegisterDataFormat(TVirtualFileStreamDataFormat::StaticClass());
  const TFormatClass& feedback = TFeedbackDataFormat::StaticClass();
  RegisterDataConversion(feedback, TPreferredDropEffectClipboardFormat::StaticClass(), 0);
  RegisterDataConversion(feedback, TPerformedDropEffectClipboardFormat::StaticClass(), 0, {fsSource, fsTarget}, {ddSet});
  RegisterDataConversion(feedback, TPasteSucceededClipboardFormat::StaticClass(), 0, {fsSource, fsTarget}, {ddSet});
  RegisterDataConversion(feedback, TInShellDragLoopClipboardFormat::StaticClass(), 0);
  RegisterDataConversion(feedback, TTargetCLSIDClipboardFormat::StaticClass(), 0, {fsSource, fsTarget}, {ddSet});
  RegisterDataConversion(feedback, TLogicalPerformedDropEffectClipboardFormat::StaticClass(), 0, {fsSource, fsTarget},
                         {ddSet});
  RegisterDataConversion(TDataStreamDataFormat::StaticClass(), TFileContentsStreamClipboardFormat::StaticClass(), 0,
                         {fsTarget});
}

void UnregisterDragDropFormats() {
  UnregisterDataFormat(TDataStreamDataFormat::StaticClass());
  UnregisterDataFormat(TFeedbackDataFormat::StaticClass());
  UnregisterDataFormat(TVirtualFileStreamDataFormat::StaticClass());
  for (const TFormatClass* c :
       {&TTextClipboardFormat::StaticClass(), &TFileGroupDescritorClipboardFormat::StaticClass(),
        &TFileGroupDescritorWClipboardFormat::StaticClass(), &TFileContentsClipboardFormat::StaticClass(),
        &TFileContentsStreamClipboardFormat::StaticClass(), &TPreferredDropEffectClipboardFormat::StaticClass(),
        &TPerformedDropEffectClipboardFormat::StaticClass(), &TPasteSucceededClipboardFormat::StaticClass(),
        &TInShellDragLoopClipboardFormat::StaticClass(), &TTargetCLSIDClipboardFormat::StaticClass(),
        &TLogicalPerformedDropEffectClipboardFormat::StaticClass()})
    UnregisterClipboardFormat(*c);
}

namespace {
const struct FormatsUnit {
  FormatsUnit() { RegisterDragDropFormats(); }
  ~FormatsUnit() { UnregisterDragDropFormats(); }
} formatsUnit;
}  // namespace
