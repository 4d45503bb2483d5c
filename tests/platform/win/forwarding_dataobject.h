// A data object that passes every call to another one: test doubles that
// add something (an instance count, another interface) derive from it.
#pragma once

#include <utility>

#include "platform/win/ole.h"

template <class Base>
class ForwardingDataObject : public Base {
public:
  HRESULT GetData(FORMATETC* f, STGMEDIUM* m) override { return inner_->GetData(f, m); }
  HRESULT GetDataHere(FORMATETC* f, STGMEDIUM* m) override { return inner_->GetDataHere(f, m); }
  HRESULT QueryGetData(FORMATETC* f) override { return inner_->QueryGetData(f); }
  HRESULT GetCanonicalFormatEtc(FORMATETC* i, FORMATETC* o) override { return inner_->GetCanonicalFormatEtc(i, o); }
  HRESULT SetData(FORMATETC* f, STGMEDIUM* m, BOOL r) override { return inner_->SetData(f, m, r); }
  HRESULT EnumFormatEtc(DWORD d, IEnumFORMATETC** e) override { return inner_->EnumFormatEtc(d, e); }
  HRESULT DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

protected:
  explicit ForwardingDataObject(ComPtr<IDataObject> inner) : inner_(std::move(inner)) {}

private:
  ComPtr<IDataObject> inner_;
};
