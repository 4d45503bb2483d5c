// Run-time binding of the visual-style library ("UXTHEME.DLL").
//
// Each control family keeps its own loader (an instance of TThemeApiLoader):
// it loads the library for itself, resolves the 45 entries by name in a fixed
// order and releases the library itself. A loader binds every entry or none:
// when an entry is missing it raises the assertion failure, and leaves the
// library released and every entry null, so nothing half-bound is ever called.
//
// Sections: types | the loader
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform/rtl/exceptions.h"
#include "platform/win/wintypes.h"

// ---- types ----

// The framework's assertion failure: "%s (%s, line %d)" (message, file, line).
RTL_DECLARE_EXCEPTION(EAssertionFailed, Exception);

using HTHEME = void*;

// The four entries the controls call, with their published signatures.
using TOpenThemeData = HTHEME (*)(HWND window, const wchar_t* classList);
using TCloseThemeData = HRESULT (*)(HTHEME theme);
using TDrawThemeBackground = HRESULT (*)(HTHEME theme, HDC dc, int part, int state, const RECT* rect,
                                         const RECT* clip);
using TIsThemeActive = BOOL (*)();

// The entries in binding order.
enum TThemeEntry {
  teOpenThemeData, teCloseThemeData, teDrawThemeBackground, teDrawThemeText, teGetThemeBackgroundContentRect,
  teGetThemeBackgroundExtent, teGetThemeTextExtent, teGetThemeTextMetrics, teGetThemeBackgroundRegion,
  teHitTestThemeBackground, teDrawThemeEdge, teDrawThemeIcon, teIsThemePartDefined,
  teIsThemeBackgroundPartiallyTransparent, teGetThemeColor, teGetThemeMetric, teGetThemeString, teGetThemeBool,
  teGetThemeInt, teGetThemeEnumValue, teGetThemePosition, teGetThemeFont, teGetThemeRect, teGetThemeMargins,
  teGetThemeIntList, teSetWindowTheme, teGetThemeFilename, teGetThemeSysColor, teGetThemeSysColorBrush,
  teGetThemeSysBool, teGetThemeSysSize, teGetThemeSysFont, teGetThemeSysString, teGetThemeSysInt,
  teIsThemeActive, teIsAppThemed, teGetWindowTheme, teEnableThemeDialogTexture, teIsThemeDialogTextureEnabled,
  teGetThemeAppProperties, teSetThemeAppProperties, teGetCurrentThemeName, teGetThemeDocumentationProperty,
  teDrawThemeParentBackground, teEnableTheming
};
constexpr int kThemeEntryCount = 45;

// The entry names, in binding order.
const std::array<const char*, kThemeEntryCount>& ThemeEntryNames();

// ---- the loader ----

class TThemeApiLoader {
public:
  // `sourceName` names the unit in the assertion failure; `firstLine` is the
  // line reported for the first entry, each later one 3 further on.
  TThemeApiLoader(const char* sourceName, int32_t firstLine) : sourceName_(sourceName), firstLine_(firstLine) {}

  // Loads the library and binds every entry; nothing when already loaded.
  // Without the library the loader stays unloaded and reports nothing.
  void LoadThemeApi();
  // Releases the library when loaded.
  void UnloadThemeApi();

  bool Loaded() const { return loaded_; }
  HMODULE Library() const { return library_; }
  void* Entry(TThemeEntry entry) const { return entries_[entry]; }

  // The four entries the controls call; null while not bound.
  TOpenThemeData OpenThemeData() const { return reinterpret_cast<TOpenThemeData>(entries_[teOpenThemeData]); }
  TCloseThemeData CloseThemeData() const { return reinterpret_cast<TCloseThemeData>(entries_[teCloseThemeData]); }
  TDrawThemeBackground DrawThemeBackground() const {
    return reinterpret_cast<TDrawThemeBackground>(entries_[teDrawThemeBackground]);
  }
  TIsThemeActive IsThemeActive() const { return reinterpret_cast<TIsThemeActive>(entries_[teIsThemeActive]); }
  // Loaded and a visual style active: the themed drawing may be used.
  bool ThemeActive() const;

private:
  void ClearEntries() { entries_.fill(nullptr); }
  const char* sourceName_;
  int32_t firstLine_;
  bool loaded_ = false;
  HMODULE library_ = nullptr;
  std::array<void*, kThemeEntryCount> entries_{};
};

// Draws one part of a theme class over `rect` through `api`; false when the
// theme is not active or the class has no theme data.
bool DrawThemedPart(const TThemeApiLoader& api, HWND window, const wchar_t* themeClass, HDC dc, int part, int state,
                    const RECT& rect);
