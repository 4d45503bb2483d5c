// Variants and property bags: how a caller hands named options to a COM
// object (the imaging component's encoders read their options from one).
#pragma once

#include "platform/win/unknwn.h"

using VARTYPE = uint16_t;
using VARIANT_BOOL = int16_t;
constexpr VARIANT_BOOL VARIANT_TRUE = -1;
constexpr VARIANT_BOOL VARIANT_FALSE = 0;

constexpr VARTYPE VT_EMPTY = 0;
constexpr VARTYPE VT_I4 = 3;
constexpr VARTYPE VT_R4 = 4;
constexpr VARTYPE VT_R8 = 5;
constexpr VARTYPE VT_BOOL = 11;
constexpr VARTYPE VT_UI1 = 17;
constexpr VARTYPE VT_UI2 = 18;
constexpr VARTYPE VT_UI4 = 19;

// The value kinds the layer's bags carry.
struct VARIANT {
  VARTYPE vt = VT_EMPTY;
  union {
    int32_t lVal;
    float fltVal;
    double dblVal;
    VARIANT_BOOL boolVal;
    uint8_t bVal;
    uint16_t uiVal;
    uint32_t ulVal;
  };
  VARIANT() : dblVal(0) {}
};

constexpr DWORD PROPBAG2_TYPE_DATA = 1;

// One property's description: its kind, variant type and name.
struct PROPBAG2 {
  DWORD dwType = PROPBAG2_TYPE_DATA;
  VARTYPE vt = VT_EMPTY;
  uint16_t cfType = 0;
  DWORD dwHint = 0;
  const wchar_t* pstrName = nullptr;
  CLSID clsid{};
};

// {22F55882-280B-11D0-A8A9-00A0C90C2004}
inline constexpr IID IID_IPropertyBag2{0x22F55882, 0x280B, 0x11D0, {0xA8, 0xA9, 0x00, 0xA0, 0xC9, 0x0C, 0x20, 0x04}};

class IPropertyBag2 : public IUnknown {
public:
  // Values of the named properties into `values`; a property the bag lacks
  // fails the call (E_FAIL) with the values read so far kept.
  virtual HRESULT Read(ULONG count, PROPBAG2* properties, void* errorLog, VARIANT* values, HRESULT* errors) = 0;
  // Stores the values; a name the bag does not know answers
  // WINCODEC_ERR_PROPERTYNOTFOUND-style failure and changes nothing.
  virtual HRESULT Write(ULONG count, PROPBAG2* properties, VARIANT* values) = 0;
  virtual HRESULT CountProperties(ULONG* count) = 0;
};
