#include "platform/win/ole_dataobject.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "platform/win/comimpl.h"
#include "platform/win/globalmem.h"

namespace {

constexpr DWORD kServedMedia = TYMED_HGLOBAL | TYMED_ISTREAM;
constexpr size_t kMaxFormatBytes = size_t{256} << 20;

class FormatEnumerator final : public ComObject<IEnumFORMATETC, IID_IEnumFORMATETC> {
public:
  FormatEnumerator(std::vector<FORMATETC> formats, size_t position)
      : formats_(std::move(formats)), position_(position) {}

  HRESULT Next(ULONG count, FORMATETC* out, ULONG* fetched) override {
    if (!out || (count > 1 && !fetched)) return E_POINTER;
    ULONG n = 0;
    for (; n < count && position_ < formats_.size(); ++n) out[n] = formats_[position_++];
    if (fetched) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  HRESULT Skip(ULONG count) override {
    size_t left = formats_.size() - position_;
    position_ += std::min<size_t>(count, left);
    return count <= left ? S_OK : S_FALSE;
  }
  HRESULT Reset() override {
    position_ = 0;
    return S_OK;
  }
  HRESULT Clone(IEnumFORMATETC** clone) override {
    if (!clone) return E_POINTER;
    *clone = new FormatEnumerator(formats_, position_);
    return S_OK;
  }

private:
  std::vector<FORMATETC> formats_;
  size_t position_;
};

HGLOBAL blockOf(const std::string& bytes) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
  if (block && !bytes.empty()) {
    std::memcpy(GlobalLock(block), bytes.data(), bytes.size());
    GlobalUnlock(block);
  }
  return block;
}

class StoredDataObject final : public ComObject<IDataObject, IID_IDataObject> {
public:
  explicit StoredDataObject(std::vector<StoredFormat> formats) : formats_(std::move(formats)) {}

  HRESULT GetData(FORMATETC* format, STGMEDIUM* medium) override {
    if (!medium) return E_INVALIDARG;
    *medium = STGMEDIUM{};
    std::string bytes;
    HRESULT hr = find(format, &bytes);
    if (FAILED(hr)) return hr;
    HGLOBAL block = blockOf(bytes);
    if (!block) return E_OUTOFMEMORY;
    if (format->tymed & TYMED_HGLOBAL) {
      medium->tymed = TYMED_HGLOBAL;
      medium->hGlobal = block;
      return S_OK;
    }
    hr = CreateStreamOnHGlobal(block, TRUE, &medium->pstm);
    if (FAILED(hr)) {
      GlobalFree(block);
      return hr;
    }
    medium->tymed = TYMED_ISTREAM;
    return S_OK;
  }

  HRESULT GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }

  HRESULT QueryGetData(FORMATETC* format) override { return find(format, nullptr); }

  HRESULT GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out) override {
    if (!in || !out) return E_INVALIDARG;
    *out = *in;
    out->ptd = nullptr;
    return DATA_S_SAMEFORMATETC;
  }

  HRESULT SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) override {
    if (!format || !medium) return E_INVALIDARG;
    std::string bytes;
    if (!ReadMediumBytes(*medium, bytes, kMaxFormatBytes)) return DV_E_TYMED;
    {
      std::lock_guard<std::mutex> guard(lock_);
      auto it = std::find_if(formats_.begin(), formats_.end(),
                             [&](const StoredFormat& f) { return f.format == format->cfFormat; });
      if (it != formats_.end())
        it->bytes = std::move(bytes);
      else
        formats_.push_back({format->cfFormat, std::move(bytes)});
    }
    if (release) ReleaseStgMedium(medium);
    return S_OK;
  }

  HRESULT EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    if (direction != DATADIR_GET) return E_NOTIMPL;
    std::vector<FORMATETC> list;
    {
      std::lock_guard<std::mutex> guard(lock_);
      for (const auto& f : formats_) list.push_back({f.format, nullptr, DVASPECT_CONTENT, -1, kServedMedia});
    }
    *out = CreateFormatEnumerator(std::move(list)).Detach();
    return S_OK;
  }

  HRESULT DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT EnumDAdvise(IEnumSTATDATA** advises) override {
    if (advises) *advises = nullptr;
    return OLE_E_ADVISENOTSUPPORTED;
  }

private:
  // Checks a request; copies the bytes when asked.
  HRESULT find(const FORMATETC* format, std::string* bytes) {
    if (!format) return E_INVALIDARG;
    if (format->dwAspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (format->lindex != -1) return DV_E_LINDEX;
    std::lock_guard<std::mutex> guard(lock_);
    for (const auto& f : formats_) {
      if (f.format != format->cfFormat) continue;
      if (!(format->tymed & kServedMedia)) return DV_E_TYMED;
      if (bytes) *bytes = f.bytes;
      return S_OK;
    }
    return DV_E_FORMATETC;
  }

  std::mutex lock_;
  std::vector<StoredFormat> formats_;
};

}  // namespace

ComPtr<IDataObject> CreateStoredDataObject(std::vector<StoredFormat> formats) {
  return ComPtr<IDataObject>::Attach(new StoredDataObject(std::move(formats)));
}

ComPtr<IEnumFORMATETC> CreateFormatEnumerator(std::vector<FORMATETC> formats) {
  return ComPtr<IEnumFORMATETC>::Attach(new FormatEnumerator(std::move(formats), 0));
}

bool ReadMediumBytes(const STGMEDIUM& medium, std::string& bytes, size_t limit) {
  bytes.clear();
  if (medium.tymed == TYMED_HGLOBAL) {
    size_t size = GlobalSize(medium.hGlobal);
    const void* data = GlobalLock(medium.hGlobal);
    if (!data || size > limit) {
      if (data) GlobalUnlock(medium.hGlobal);
      return false;
    }
    bytes.assign(static_cast<const char*>(data), size);
    GlobalUnlock(medium.hGlobal);
    return true;
  }
  if (medium.tymed == TYMED_ISTREAM && medium.pstm) {
    char chunk[16384];
    for (;;) {
      ULONG got = 0;
      if (FAILED(medium.pstm->Read(chunk, sizeof chunk, &got))) return false;
      if (got == 0) return true;
      if (bytes.size() + got > limit) return false;
      bytes.append(chunk, got);
    }
  }
  return false;
}
