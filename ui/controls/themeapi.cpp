#include "ui/controls/themeapi.h"

#include "platform/rtl/dynlib.h"
#include "platform/rtl/sysutils.h"

const std::array<const char*, kThemeEntryCount>& ThemeEntryNames() {
  static const std::array<const char*, kThemeEntryCount> names{
      "OpenThemeData", "CloseThemeData", "DrawThemeBackground", "DrawThemeText", "GetThemeBackgroundContentRect",
      "GetThemeBackgroundExtent", "GetThemeTextExtent", "GetThemeTextMetrics", "GetThemeBackgroundRegion",
      "HitTestThemeBackground", "DrawThemeEdge", "DrawThemeIcon", "IsThemePartDefined",
      "IsThemeBackgroundPartiallyTransparent", "GetThemeColor", "GetThemeMetric", "GetThemeString", "GetThemeBool",
      "GetThemeInt", "GetThemeEnumValue", "GetThemePosition", "GetThemeFont", "GetThemeRect", "GetThemeMargins",
      "GetThemeIntList", "SetWindowTheme", "GetThemeFilename", "GetThemeSysColor", "GetThemeSysColorBrush",
      "GetThemeSysBool", "GetThemeSysSize", "GetThemeSysFont", "GetThemeSysString", "GetThemeSysInt",
      "IsThemeActive", "IsAppThemed", "GetWindowTheme", "EnableThemeDialogTexture", "IsThemeDialogTextureEnabled",
      "GetThemeAppProperties", "SetThemeAppProperties", "GetCurrentThemeName", "GetThemeDocumentationProperty",
      "DrawThemeParentBackground", "EnableTheming"};
  return names;
}

void TThemeApiLoader::LoadThemeApi() {
  if (loaded_) return;
  library_ = LoadLibraryA("UXTHEME.DLL");
  if (reinterpret_cast<uintptr_t>(library_) < 32) {
    library_ = nullptr;
    ClearEntries();
    return;
  }
  const auto& names = ThemeEntryNames();
  for (int i = 0; i < kThemeEntryCount; ++i) {
    entries_[i] = GetProcAddress(library_, names[i]);
    if (entries_[i]) continue;
    // All or none: a library without this entry is not used at all.
    ClearEntries();
    FreeLibrary(library_);
    library_ = nullptr;
    throw EAssertionFailed(Format("%s (%s, line %d)", {"Assertion failure", sourceName_, firstLine_ + 3 * i}));
  }
  loaded_ = true;
}

void TThemeApiLoader::UnloadThemeApi() {
  if (!loaded_) return;
  FreeLibrary(library_);
  library_ = nullptr;
  loaded_ = false;
}

bool TThemeApiLoader::ThemeActive() const { return loaded_ && IsThemeActive() && IsThemeActive()() != 0; }

bool DrawThemedPart(const TThemeApiLoader& api, HWND window, const wchar_t* themeClass, HDC dc, int part, int state,
                    const RECT& rect) {
  if (!api.ThemeActive()) return false;
  HTHEME theme = api.OpenThemeData()(window, themeClass);
  if (!theme) return false;
  api.DrawThemeBackground()(theme, dc, part, state, &rect, nullptr);
  api.CloseThemeData()(theme);
  return true;
}
