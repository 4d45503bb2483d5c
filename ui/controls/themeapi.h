// The visual-style API ("UXTHEME.DLL"), bound at run time by name. Each
// control family that draws themed parts has its own loader with its own
// entry points: the check box's ("AOBXPVS") and the combo box's and spin
// button's ("ACXPVS", "ASXPVS", acxpvs.h and asxpvs.h) bind 45, the
// panels' ("APXPVS") 46. Without the library nothing is bound and the
// controls take their classic path. A loader binds every entry point or
// none: one missing from the library raises an assertion failure from
// LoadThemeApi and leaves the library released and every entry null, so a
// half-bound style is never called.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/rtl/exceptions.h"
#include "platform/win/wintypes.h"

// The framework's assertion failure: "%s (%s, line %d)" (message, file, line).
RTL_DECLARE_EXCEPTION(EAssertionFailed, Exception);

using HTHEME = void*;

class TThemeApiLoader {
public:
  using TIsThemeActive = BOOL (*)();
  using TOpenThemeData = HTHEME (*)(HWND window, const wchar_t* classList);
  using TCloseThemeData = HRESULT (*)(HTHEME theme);
  using TDrawThemeBackground = HRESULT (*)(HTHEME theme, HDC dc, int part, int state, const RECT* rect,
                                           const RECT* clip);

  // source: the name in assertion messages; firstLine: that of the first
  // entry point (3 lines apart); withPartSize: binds GetThemePartSize too.
  TThemeApiLoader(std::string source, int32_t firstLine, bool withPartSize);

  // Loads the library and binds every entry; nothing when already loaded.
  void LoadThemeApi();
  // Releases the library when loaded.
  void UnloadThemeApi();
  bool Loaded() const { return loaded_; }
  HMODULE Library() const { return library_; }

  // Entry points in binding order, and by name (null when not bound).
  const std::vector<std::string>& EntryNames() const { return names_; }
  void* Entry(const std::string& name) const;

  TIsThemeActive IsThemeActive() const { return reinterpret_cast<TIsThemeActive>(Entry("IsThemeActive")); }
  TOpenThemeData OpenThemeData() const { return reinterpret_cast<TOpenThemeData>(Entry("OpenThemeData")); }
  TCloseThemeData CloseThemeData() const { return reinterpret_cast<TCloseThemeData>(Entry("CloseThemeData")); }
  TDrawThemeBackground DrawThemeBackground() const {
    return reinterpret_cast<TDrawThemeBackground>(Entry("DrawThemeBackground"));
  }
  // Visual styles can be used: the library is bound and reports a theme active.
  bool ThemeAvailable() const;

private:
  void Unbind();
  std::string source_;
  int32_t firstLine_;
  bool loaded_ = false;
  HMODULE library_ = nullptr;
  std::vector<std::string> names_;
  std::vector<void*> entries_;
};

// The panels' loader and the check box's; each binds once at start-up.
TThemeApiLoader& APXPVS();
TThemeApiLoader& AOBXPVS();

// Draws one part of a theme class over `rect` through `api`; false when no
// visual style is available or the class has no theme data.
bool DrawThemedPart(const TThemeApiLoader& api, HWND window, const wchar_t* themeClass, HDC dc, int part, int state,
                    const RECT& rect);
