// The Windows-style base types that every part of platform/win and its
// callers share: integers, handles, geometry, colours and message values.
//
// Handles are opaque pointers to distinct incomplete types, so an HDC cannot
// be passed where an HWND is expected.
#pragma once

#include <cstdint>

using BOOL = int32_t;
using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using UINT = uint32_t;
using LONG = int32_t;
using ULONG = uint32_t;
using INT_PTR = intptr_t;
using UINT_PTR = uintptr_t;
using LONG_PTR = intptr_t;
using ULONG_PTR = uintptr_t;
using DWORD_PTR = uintptr_t;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
using HRESULT = int32_t;
using ATOM = uint16_t;
using COLORREF = uint32_t;
using LANGID = uint16_t;
using LCID = uint32_t;

// Macros, as other C headers (glib) may define them too.
#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

#define WIN_DECLARE_HANDLE(name) \
  struct name##__;               \
  using name = name##__*

WIN_DECLARE_HANDLE(HWND);
WIN_DECLARE_HANDLE(HDC);
WIN_DECLARE_HANDLE(HINSTANCE);
WIN_DECLARE_HANDLE(HMENU);
WIN_DECLARE_HANDLE(HICON);
WIN_DECLARE_HANDLE(HBITMAP);
WIN_DECLARE_HANDLE(HBRUSH);
WIN_DECLARE_HANDLE(HPEN);
WIN_DECLARE_HANDLE(HFONT);
WIN_DECLARE_HANDLE(HRGN);
WIN_DECLARE_HANDLE(HPALETTE);
WIN_DECLARE_HANDLE(HMONITOR);
WIN_DECLARE_HANDLE(HKEY);
WIN_DECLARE_HANDLE(HRSRC);
WIN_DECLARE_HANDLE(HGLOBAL_);
#undef WIN_DECLARE_HANDLE

using HANDLE = void*;
using HGDIOBJ = void*;
using HGLOBAL = void*;
using HMODULE = HINSTANCE;
using HCURSOR = HICON;

inline const HANDLE INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(intptr_t{-1});

struct POINT {
  LONG x = 0;
  LONG y = 0;
  bool operator==(const POINT&) const = default;
};

struct SIZE {
  LONG cx = 0;
  LONG cy = 0;
  bool operator==(const SIZE&) const = default;
};

struct RECT {
  LONG left = 0;
  LONG top = 0;
  LONG right = 0;
  LONG bottom = 0;
  bool operator==(const RECT&) const = default;
};

struct POINTS {
  int16_t x = 0;
  int16_t y = 0;
};

// Colours are 0x00BBGGRR, as GDI keeps them.
constexpr COLORREF RGB(uint8_t r, uint8_t g, uint8_t b) {
  return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) | (static_cast<COLORREF>(b) << 16);
}
constexpr uint8_t GetRValue(COLORREF c) { return static_cast<uint8_t>(c); }
constexpr uint8_t GetGValue(COLORREF c) { return static_cast<uint8_t>(c >> 8); }
constexpr uint8_t GetBValue(COLORREF c) { return static_cast<uint8_t>(c >> 16); }

constexpr WORD LOWORD(uintptr_t v) { return static_cast<WORD>(v & 0xFFFF); }
constexpr WORD HIWORD(uintptr_t v) { return static_cast<WORD>((v >> 16) & 0xFFFF); }
constexpr BYTE LOBYTE(uintptr_t v) { return static_cast<BYTE>(v & 0xFF); }
constexpr BYTE HIBYTE(uintptr_t v) { return static_cast<BYTE>((v >> 8) & 0xFF); }
constexpr LPARAM MAKELPARAM(WORD lo, WORD hi) {
  return static_cast<LPARAM>(static_cast<int32_t>(static_cast<uint32_t>(lo) | (static_cast<uint32_t>(hi) << 16)));
}
constexpr WPARAM MAKEWPARAM(WORD lo, WORD hi) {
  return static_cast<WPARAM>(static_cast<uint32_t>(lo) | (static_cast<uint32_t>(hi) << 16));
}
constexpr LONG MAKELONG(WORD lo, WORD hi) {
  return static_cast<LONG>(static_cast<uint32_t>(lo) | (static_cast<uint32_t>(hi) << 16));
}
// Signed coordinates packed in an lParam, as mouse messages carry them.
constexpr int32_t GET_X_LPARAM(LPARAM lp) { return static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(lp))); }
constexpr int32_t GET_Y_LPARAM(LPARAM lp) { return static_cast<int16_t>(HIWORD(static_cast<uintptr_t>(lp))); }

// HRESULT values shared by COM and the shell.
constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFFu);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }
