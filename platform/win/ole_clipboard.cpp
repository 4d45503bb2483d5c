// The OLE clipboard over the window layer's clipboard: a data object's
// formats are copied onto it when set, and what it holds is read into a
// data object when asked.
#include <algorithm>
#include <cstring>
#include <mutex>

#include "platform/win/globalmem.h"
#include "platform/win/ole.h"
#include "platform/win/ole_dataobject.h"
#include "platform/win/user.h"

namespace {

constexpr size_t kMaxFormatBytes = size_t{256} << 20;

struct Held {
  std::mutex lock;
  ComPtr<IDataObject> data;  // the object last set, until replaced or flushed
};
Held& held() {
  static Held h;
  return h;
}

// The formats the object offers for reading in global memory or a stream.
std::vector<FORMATETC> offeredFormats(IDataObject* data) {
  std::vector<FORMATETC> formats;
  ComPtr<IEnumFORMATETC> e;
  if (FAILED(data->EnumFormatEtc(DATADIR_GET, e.GetAddressOf())) || !e) return formats;
  FORMATETC f;
  ULONG fetched = 0;
  while (formats.size() < 1024 && e->Next(1, &f, &fetched) == S_OK && fetched == 1)
    if (f.tymed & (TYMED_HGLOBAL | TYMED_ISTREAM)) formats.push_back(f);
  return formats;
}

HGLOBAL renderFormat(IDataObject* data, FORMATETC format) {
  format.tymed &= TYMED_HGLOBAL | TYMED_ISTREAM;
  STGMEDIUM medium;
  if (FAILED(data->GetData(&format, &medium))) return nullptr;
  std::string bytes;
  bool read = ReadMediumBytes(medium, bytes, kMaxFormatBytes);
  ReleaseStgMedium(&medium);
  if (!read) return nullptr;
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
  if (block && !bytes.empty()) {
    std::memcpy(GlobalLock(block), bytes.data(), bytes.size());
    GlobalUnlock(block);
  }
  return block;
}

}  // namespace

HRESULT OleSetClipboard(IDataObject* data) {
  if (!OpenClipboard(nullptr)) return CLIPBRD_E_CANT_OPEN;
  if (!EmptyClipboard()) {
    CloseClipboard();
    return CLIPBRD_E_CANT_EMPTY;
  }
  HRESULT hr = S_OK;
  if (data) {
    for (const FORMATETC& f : offeredFormats(data)) {
      HGLOBAL block = renderFormat(data, f);
      if (block && !SetClipboardData(f.cfFormat, block)) {
        GlobalFree(block);
        hr = CLIPBRD_E_CANT_SET;
      }
    }
  }
  CloseClipboard();
  ComPtr<IDataObject> previous = data ? ComPtr<IDataObject>(data) : nullptr;
  {
    std::lock_guard<std::mutex> guard(held().lock);
    std::swap(held().data, previous);
  }
  return hr;  // the previous object is let go outside the lock
}

HRESULT OleGetClipboard(IDataObject** data) {
  if (!data) return E_INVALIDARG;
  *data = nullptr;
  if (!OpenClipboard(nullptr)) return CLIPBRD_E_CANT_OPEN;
  std::vector<UINT> listed;
  for (UINT f = EnumClipboardFormats(0); f != 0 && listed.size() < 1024; f = EnumClipboardFormats(f)) listed.push_back(f);
  for (UINT text : {CF_TEXT, CF_UNICODETEXT})  // either text is made from the other on request
    if (std::find(listed.begin(), listed.end(), text) == listed.end() && IsClipboardFormatAvailable(text))
      listed.push_back(text);
  std::vector<StoredFormat> formats;
  for (UINT f : listed) {
    HANDLE block = GetClipboardData(f);
    size_t size = GlobalSize(block);
    const void* bytes = GlobalLock(block);
    if (!bytes) continue;  // not global memory (a bitmap handle and the like)
    if (size <= kMaxFormatBytes)
      formats.push_back({static_cast<CLIPFORMAT>(f), std::string(static_cast<const char*>(bytes), size)});
    GlobalUnlock(block);
  }
  CloseClipboard();
  *data = CreateStoredDataObject(std::move(formats)).Detach();
  return S_OK;
}

HRESULT OleFlushClipboard() {
  ComPtr<IDataObject> previous;
  {
    std::lock_guard<std::mutex> guard(held().lock);
    std::swap(held().data, previous);
  }
  return S_OK;
}
