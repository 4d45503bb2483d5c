#include "ui/controls/themeapi.h"

#include "platform/rtl/dynlib.h"
#include "platform/rtl/sysutils.h"

namespace {

const char* const kEntryPoints[] = {
    "OpenThemeData", "CloseThemeData", "DrawThemeBackground", "DrawThemeText", "GetThemeBackgroundContentRect",
    "GetThemeBackgroundExtent", "GetThemeTextExtent", "GetThemeTextMetrics", "GetThemeBackgroundRegion",
    "HitTestThemeBackground", "DrawThemeEdge", "DrawThemeIcon", "IsThemePartDefined",
    "IsThemeBackgroundPartiallyTransparent", "GetThemeColor", "GetThemeMetric", "GetThemeString", "GetThemeBool",
    "GetThemeInt", "GetThemeEnumValue", "GetThemePosition", "GetThemeFont", "GetThemeRect", "GetThemeMargins",
    "GetThemeIntList", "SetWindowTheme", "GetThemeFilename", "GetThemeSysColor", "GetThemeSysColorBrush",
    "GetThemeSysBool", "GetThemeSysSize", "GetThemeSysFont", "GetThemeSysString", "GetThemeSysInt", "IsThemeActive",
    "IsAppThemed", "GetWindowTheme", "EnableThemeDialogTexture", "IsThemeDialogTextureEnabled",
    "GetThemeAppProperties", "SetThemeAppProperties", "GetCurrentThemeName", "GetThemeDocumentationProperty",
    "DrawThemeParentBackground", "EnableTheming"};

}  // namespace

TThemeApiLoader::TThemeApiLoader(std::string source, int32_t firstLine, bool withPartSize)
    : source_(std::move(source)), firstLine_(firstLine) {
  for (const char* name : kEntryPoints) {
    if (withPartSize && std::string(name) == "DrawThemeParentBackground") names_.push_back("GetThemePartSize");
    names_.push_back(name);
  }
  entries_.assign(names_.size(), nullptr);
}

void TThemeApiLoader::Unbind() {
  entries_.assign(names_.size(), nullptr);
  if (library_) FreeLibrary(library_);
  library_ = nullptr;
  loaded_ = false;
}

void TThemeApiLoader::LoadThemeApi() {
  if (loaded_) return;
  library_ = LoadLibraryA("UXTHEME.DLL");
  if (reinterpret_cast<uintptr_t>(library_) < 32) {
    library_ = nullptr;
    return;
  }
  loaded_ = true;
  for (size_t i = 0; i < names_.size(); ++i) {
    entries_[i] = GetProcAddress(library_, names_[i].c_str());
    if (entries_[i]) continue;
    // All or none: a library without this entry point is not used at all.
    Unbind();
    throw EAssertionFailed(Format("%s (%s, line %d)", {"Assertion failure", source_, firstLine_ + 3 * static_cast<int>(i)}));
  }
}

void TThemeApiLoader::UnloadThemeApi() {
  if (!loaded_) return;
  FreeLibrary(library_);
  library_ = nullptr;
  loaded_ = false;
}

void* TThemeApiLoader::Entry(const std::string& name) const {
  for (size_t i = 0; i < names_.size(); ++i)
    if (names_[i] == name) return entries_[i];
  return nullptr;
}

bool TThemeApiLoader::ThemeAvailable() const {
  TIsThemeActive active = IsThemeActive();
  return loaded_ && active && active();
}

bool DrawThemedPart(const TThemeApiLoader& api, HWND window, const wchar_t* themeClass, HDC dc, int part, int state,
                    const RECT& rect) {
  if (!api.ThemeAvailable()) return false;
  HTHEME theme = api.OpenThemeData()(window, themeClass);
  if (!theme) return false;
  api.DrawThemeBackground()(theme, dc, part, state, &rect, nullptr);
  api.CloseThemeData()(theme);
  return true;
}

namespace {
// Binds at first use and unbinds at program end.
struct LoaderHolder {
  TThemeApiLoader loader;
  LoaderHolder(const char* source, int32_t firstLine, bool withPartSize) : loader(source, firstLine, withPartSize) {
    try {
      loader.LoadThemeApi();
    } catch (const EAssertionFailed&) {
      // Nothing bound: the controls draw classically.
    }
  }
  ~LoaderHolder() { loader.UnloadThemeApi(); }
};
}  // namespace

TThemeApiLoader& APXPVS() {
  static LoaderHolder holder("APXPVS", 1552, true);
  return holder.loader;
}

TThemeApiLoader& AOBXPVS() {
  static LoaderHolder holder("AOBXPVS", 1533, false);
  return holder.loader;
}

TThemeApiLoader& ComboThemeApi() {
  static LoaderHolder holder("ACXPVS", 1533, false);
  return holder.loader;
}

TThemeApiLoader& SpinThemeApi() {
  static LoaderHolder holder("ASXPVS", 1533, false);
  return holder.loader;
}
