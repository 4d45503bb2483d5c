#include "platform/win/ole.h"

#include "platform/win/globalmem.h"

// Global memory belongs to pUnkForRelease when one is given; interface
// media are released in any case.
void ReleaseStgMedium(STGMEDIUM* medium) {
  if (!medium) return;
  switch (medium->tymed) {
    case TYMED_HGLOBAL:
      if (!medium->pUnkForRelease) GlobalFree(medium->hGlobal);
      break;
    case TYMED_ISTREAM:
      if (medium->pstm) medium->pstm->Release();
      break;
    case TYMED_ISTORAGE:
      if (medium->pstg) medium->pstg->Release();
      break;
    default: break;
  }
  if (medium->pUnkForRelease) medium->pUnkForRelease->Release();
  *medium = STGMEDIUM{};
}

HRESULT CreateILockBytesOnHGlobal(HGLOBAL, BOOL, ILockBytes** bytes) {
  if (bytes) *bytes = nullptr;
  return STG_E_INVALIDFUNCTION;
}

HRESULT StgCreateDocfileOnILockBytes(ILockBytes*, DWORD, DWORD, IStorage** storage) {
  if (storage) *storage = nullptr;
  return STG_E_INVALIDFUNCTION;
}
