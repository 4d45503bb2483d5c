// The visual-style API, bound at run time by name. Each control unit that
// draws themed parts has its own loader with its own entry points: the
// check box's ("AOBXPVS", 45 entry points) and the panels' ("APXPVS", 46).
// Without the library nothing is bound and the controls take their
// classic path; an entry point missing from the library raises an
// assertion failure from LoadThemeApi.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/rtl/exceptions.h"
#include "platform/win/wintypes.h"

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

  void LoadThemeApi();
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
  std::string source_;
  int32_t firstLine_;
  bool clearHandleOnFailure_;
  bool loaded_ = false;
  HMODULE library_ = nullptr;
  std::vector<std::string> names_;
  std::vector<void*> entries_;
};

// The panels' loader and the check box's; each binds once at start-up.
TThemeApiLoader& APXPVS();
TThemeApiLoader& AOBXPVS();
