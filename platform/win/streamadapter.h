// TStreamAdapter: a library stream seen as a COM IStream, for COM objects
// that read and write through one (the imaging component's codecs).
#pragma once

#include "platform/rtl/streams.h"
#include "platform/win/comimpl.h"

enum TStreamOwnership { soReference, soOwned };

class TStreamAdapter : public ComObject<IStream, IID_ISequentialStream, IID_IStream> {
public:
  // With soOwned the adapter frees the stream with its last reference.
  explicit TStreamAdapter(TStream* stream, TStreamOwnership ownership = soReference);
  // A new adapter with its first reference.
  static ComPtr<IStream> Make(TStream* stream, TStreamOwnership ownership = soReference);

  HRESULT Read(void* buffer, ULONG count, ULONG* read) override;
  HRESULT Write(const void* buffer, ULONG count, ULONG* written) override;
  // Positions are the stream's own; a seek before 0 fails with STG_E_INVALIDFUNCTION.
  HRESULT Seek(int64_t move, DWORD origin, uint64_t* newPosition) override;
  HRESULT SetSize(uint64_t newSize) override;
  HRESULT CopyTo(IStream* target, uint64_t count, uint64_t* read, uint64_t* written) override;
  HRESULT Commit(DWORD) override { return S_OK; }
  HRESULT Revert() override { return STG_E_INVALIDFUNCTION; }
  HRESULT LockRegion(uint64_t, uint64_t, DWORD) override { return STG_E_INVALIDFUNCTION; }
  HRESULT UnlockRegion(uint64_t, uint64_t, DWORD) override { return STG_E_INVALIDFUNCTION; }
  HRESULT Stat(STATSTG* stat, DWORD flags) override;
  HRESULT Clone(IStream**) override { return E_NOTIMPL; }

  TStream* Stream() const { return stream_; }

protected:
  ~TStreamAdapter() override;

private:
  TStream* stream_;
  TStreamOwnership ownership_;
};
