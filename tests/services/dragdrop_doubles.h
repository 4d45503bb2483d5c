// Test doubles for drag and drop: a data object that serves items by index
// (as virtual file contents travel), records what it was asked and keeps
// what is written into it; a stream that misreports its size; and the
// little-endian helpers the blocks are built with.
#pragma once

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/win/com.h"
#include "platform/win/comimpl.h"
#include "platform/win/globalmem.h"
#include "platform/win/ole.h"
#include "platform/win/ole_dataobject.h"

namespace dragdrop_test {

inline std::string U32(uint32_t v) {
  return std::string{static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                     static_cast<char>(v >> 24)};
}

inline std::string Utf16(const std::u16string& s) {
  std::string out;
  for (char16_t c : s) out += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
  return out;
}

// One descriptor record (332 bytes with an 8-bit name, 592 with UTF-16).
inline std::string Record(const std::u16string& name, bool wide) {
  std::string record(wide ? 592 : 332, '\0');
  const std::string bytes = wide ? Utf16(name) : std::string(name.begin(), name.end());
  record.replace(72, bytes.size(), bytes);
  return record;
}

inline std::string Group(const std::vector<std::u16string>& names, bool wide) {
  std::string block = U32(static_cast<uint32_t>(names.size()));
  for (const auto& n : names) block += Record(n, wide);
  return block;
}

inline HGLOBAL BlockOf(const std::string& bytes) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
  if (!bytes.empty()) {
    std::memcpy(GlobalLock(block), bytes.data(), bytes.size());
    GlobalUnlock(block);
  }
  return block;
}

inline ComPtr<IStream> StreamOf(const std::string& bytes) {
  IStream* stream = nullptr;
  CreateStreamOnHGlobal(BlockOf(bytes), TRUE, &stream);
  return ComPtr<IStream>::Attach(stream);
}

// A stream whose statistics report `reported` bytes, whatever it holds.
class LyingStream final : public ComObject<IStream, IID_IStream> {
public:
  LyingStream(const std::string& bytes, uint64_t reported) : inner_(StreamOf(bytes)), reported_(reported) {}
  HRESULT Read(void* b, ULONG n, ULONG* r) override { return inner_->Read(b, n, r); }
  HRESULT Write(const void* b, ULONG n, ULONG* w) override { return inner_->Write(b, n, w); }
  HRESULT Seek(int64_t m, DWORD o, uint64_t* p) override { return inner_->Seek(m, o, p); }
  HRESULT SetSize(uint64_t s) override { return inner_->SetSize(s); }
  HRESULT CopyTo(IStream* t, uint64_t n, uint64_t* r, uint64_t* w) override { return inner_->CopyTo(t, n, r, w); }
  HRESULT Commit(DWORD) override { return S_OK; }
  HRESULT Revert() override { return S_OK; }
  HRESULT LockRegion(uint64_t, uint64_t, DWORD) override { return E_NOTIMPL; }
  HRESULT UnlockRegion(uint64_t, uint64_t, DWORD) override { return E_NOTIMPL; }
  HRESULT Stat(STATSTG* stat, DWORD flags) override {
    const HRESULT hr = inner_->Stat(stat, flags);
    stat->cbSize = reported_;
    return hr;
  }
  HRESULT Clone(IStream**) override { return E_NOTIMPL; }

private:
  ComPtr<IStream> inner_;
  uint64_t reported_;
};

// Serves each format's items: lindex -1 and 0 give item 0, n gives item n.
// Items listed in `missing` cannot be delivered. Stream requests get the
// stream made by `streamFor` when set.
class ItemDataObject final : public ComObject<IDataObject, IID_IDataObject> {
public:
  std::map<CLIPFORMAT, std::vector<std::string>> items;
  std::map<CLIPFORMAT, std::string> written;  // what SetData received
  std::vector<LONG> missing;
  std::vector<DWORD> queried;  // the media QueryGetData was asked for
  std::function<ComPtr<IStream>(const std::string&)> streamFor;

  HRESULT GetData(FORMATETC* f, STGMEDIUM* m) override {
    *m = STGMEDIUM{};
    const std::string* bytes = Find(*f);
    if (!bytes) return DV_E_FORMATETC;
    if (f->tymed & TYMED_HGLOBAL) {
      m->tymed = TYMED_HGLOBAL;
      m->hGlobal = BlockOf(*bytes);
    } else if (f->tymed & TYMED_ISTREAM) {
      m->tymed = TYMED_ISTREAM;
      m->pstm = (streamFor ? streamFor(*bytes) : StreamOf(*bytes)).Detach();
    } else {
      return DV_E_TYMED;
    }
    return S_OK;
  }
  HRESULT GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  HRESULT QueryGetData(FORMATETC* f) override {
    queried.push_back(f->tymed);
    return Find(*f) && (f->tymed & (TYMED_HGLOBAL | TYMED_ISTREAM)) ? S_OK : DV_E_FORMATETC;
  }
  HRESULT GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
  HRESULT SetData(FORMATETC* f, STGMEDIUM* m, BOOL release) override {
    std::string bytes;
    if (!ReadMediumBytes(*m, bytes, 1 << 20)) return DV_E_TYMED;
    written[f->cfFormat] = bytes;
    if (release) ReleaseStgMedium(m);
    return S_OK;
  }
  HRESULT EnumFormatEtc(DWORD, IEnumFORMATETC** e) override {
    std::vector<FORMATETC> list;
    for (const auto& [format, unused] : items) list.push_back({format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL | TYMED_ISTREAM});
    *e = CreateFormatEnumerator(std::move(list)).Detach();
    return S_OK;
  }
  HRESULT DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
  const std::string* Find(const FORMATETC& f) const {
    const auto it = items.find(f.cfFormat);
    if (it == items.end() || f.dwAspect != DVASPECT_CONTENT) return nullptr;
    const size_t index = f.lindex < 0 ? 0 : static_cast<size_t>(f.lindex);
    for (LONG m : missing)
      if (m == f.lindex) return nullptr;
    return index < it->second.size() ? &it->second[index] : nullptr;
  }
};

inline ComPtr<ItemDataObject> MakeItems() { return MakeComObject<ItemDataObject>(); }

}  // namespace dragdrop_test
