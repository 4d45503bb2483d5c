#include "platform/win/streamadapter.h"

#include <algorithm>
#include <vector>

#include "platform/rtl/exceptions.h"

TStreamAdapter::TStreamAdapter(TStream* stream, TStreamOwnership ownership) : stream_(stream), ownership_(ownership) {}

TStreamAdapter::~TStreamAdapter() {
  if (ownership_ == soOwned) delete stream_;
}

ComPtr<IStream> TStreamAdapter::Make(TStream* stream, TStreamOwnership ownership) {
  return ComPtr<IStream>::Attach(new TStreamAdapter(stream, ownership));
}

HRESULT TStreamAdapter::Read(void* buffer, ULONG count, ULONG* read) {
  if (!buffer) return STG_E_INVALIDPOINTER;
  int32_t got = 0;
  try {
    got = stream_->Read(buffer, static_cast<int32_t>(std::min<ULONG>(count, INT32_MAX)));
  } catch (const Exception&) {
    return S_FALSE;
  }
  if (read) *read = static_cast<ULONG>(std::max(got, 0));
  return S_OK;
}

HRESULT TStreamAdapter::Write(const void* buffer, ULONG count, ULONG* written) {
  if (!buffer) return STG_E_INVALIDPOINTER;
  int32_t put = 0;
  try {
    put = stream_->Write(buffer, static_cast<int32_t>(std::min<ULONG>(count, INT32_MAX)));
  } catch (const Exception&) {
    return STG_E_MEDIUMFULL;
  }
  if (written) *written = static_cast<ULONG>(std::max(put, 0));
  return static_cast<ULONG>(std::max(put, 0)) == count ? S_OK : STG_E_MEDIUMFULL;
}

HRESULT TStreamAdapter::Seek(int64_t move, DWORD origin, uint64_t* newPosition) {
  if (origin > STREAM_SEEK_END) return STG_E_INVALIDFUNCTION;
  int64_t base = 0;
  if (origin == STREAM_SEEK_CUR) base = stream_->Position();
  if (origin == STREAM_SEEK_END) base = stream_->Size();
  if (base + move < 0) return STG_E_INVALIDFUNCTION;
  const int64_t at = stream_->Seek(base + move, soBeginning);
  if (at < 0) return STG_E_INVALIDFUNCTION;
  if (newPosition) *newPosition = static_cast<uint64_t>(at);
  return S_OK;
}

HRESULT TStreamAdapter::SetSize(uint64_t newSize) {
  if (newSize > static_cast<uint64_t>(INT64_MAX)) return STG_E_INVALIDFUNCTION;
  try {
    stream_->SetSize(static_cast<int64_t>(newSize));
  } catch (const Exception&) {
    return STG_E_MEDIUMFULL;
  }
  return S_OK;
}

HRESULT TStreamAdapter::CopyTo(IStream* target, uint64_t count, uint64_t* read, uint64_t* written) {
  if (!target) return STG_E_INVALIDPOINTER;
  std::vector<uint8_t> buffer(64 * 1024);
  uint64_t in = 0, out = 0;
  HRESULT hr = S_OK;
  while (in < count) {
    ULONG got = 0, put = 0;
    Read(buffer.data(), static_cast<ULONG>(std::min<uint64_t>(buffer.size(), count - in)), &got);
    if (got == 0) break;
    in += got;
    hr = target->Write(buffer.data(), got, &put);
    out += put;
    if (FAILED(hr)) break;
  }
  if (read) *read = in;
  if (written) *written = out;
  return hr;
}

HRESULT TStreamAdapter::Stat(STATSTG* stat, DWORD) {
  if (!stat) return STG_E_INVALIDPOINTER;
  *stat = STATSTG{};
  stat->type = STGTY_STREAM;
  stat->cbSize = static_cast<uint64_t>(std::max<int64_t>(stream_->Size(), 0));
  return S_OK;
}
