// The visual-style loaders against built-in test doubles of the library.
#include <gtest/gtest.h>

#include "platform/rtl/dynlib.h"
#include "ui/controls/acxpvs.h"
#include "ui/controls/asxpvs.h"

namespace {

int openCalls = 0, drawCalls = 0, closeCalls = 0;
BOOL themeActive = TRUE;

HTHEME FakeOpen(HWND, const wchar_t*) {
  ++openCalls;
  return reinterpret_cast<HTHEME>(1);
}
HRESULT FakeClose(HTHEME) {
  ++closeCalls;
  return 0;
}
HRESULT FakeDraw(HTHEME, HDC, int, int, const RECT*, const RECT*) {
  ++drawCalls;
  return 0;
}
BOOL FakeActive() { return themeActive; }
void FakeOther() {}

// A library exporting every entry but `missing`.
TLibraryExports Exports(const char* missing = nullptr) {
  TLibraryExports exports;
  for (const char* name : ThemeEntryNames()) {
    if (missing && std::string(name) == missing) continue;
    void* address = reinterpret_cast<void*>(&FakeOther);
    if (std::string(name) == "OpenThemeData") address = reinterpret_cast<void*>(&FakeOpen);
    if (std::string(name) == "CloseThemeData") address = reinterpret_cast<void*>(&FakeClose);
    if (std::string(name) == "DrawThemeBackground") address = reinterpret_cast<void*>(&FakeDraw);
    if (std::string(name) == "IsThemeActive") address = reinterpret_cast<void*>(&FakeActive);
    exports.emplace_back(name, address);
  }
  return exports;
}

class ThemeApiTest : public ::testing::Test {
protected:
  void TearDown() override {
    ComboThemeApi().UnloadThemeApi();
    SpinThemeApi().UnloadThemeApi();
    UnregisterBuiltinLibrary("UXTHEME.DLL");
  }
};

}  // namespace

TEST_F(ThemeApiTest, WithoutTheLibraryNothingIsBoundAndNothingRaised) {
  TThemeApiLoader loader("ACXPVS", 1533);
  EXPECT_NO_THROW(loader.LoadThemeApi());
  EXPECT_FALSE(loader.Loaded());
  EXPECT_EQ(loader.Library(), nullptr);
  for (int i = 0; i < kThemeEntryCount; ++i) EXPECT_EQ(loader.Entry(static_cast<TThemeEntry>(i)), nullptr);
  EXPECT_FALSE(loader.ThemeActive());
  loader.UnloadThemeApi();
  EXPECT_FALSE(loader.Loaded());
}

TEST_F(ThemeApiTest, BindsEveryEntryOnceAndTheFamiliesStayApart) {
  RegisterBuiltinLibrary("UXTHEME.DLL", Exports());
  TThemeApiLoader& combo = ComboThemeApi();
  TThemeApiLoader& spin = SpinThemeApi();
  combo.LoadThemeApi();
  HMODULE first = combo.Library();
  combo.LoadThemeApi();
  EXPECT_EQ(combo.Library(), first) << "a second load changes nothing";
  for (int i = 0; i < kThemeEntryCount; ++i) EXPECT_NE(combo.Entry(static_cast<TThemeEntry>(i)), nullptr) << i;
  spin.LoadThemeApi();
  combo.UnloadThemeApi();
  combo.UnloadThemeApi();
  EXPECT_FALSE(combo.Loaded());
  EXPECT_TRUE(spin.ThemeActive()) << "unloading one family leaves the other usable";

  openCalls = drawCalls = closeCalls = 0;
  RECT r{0, 0, 10, 10};
  EXPECT_TRUE(DrawThemedPart(spin, nullptr, L"spin", nullptr, 1, 1, r));
  EXPECT_EQ(openCalls + drawCalls + closeCalls, 3);
  themeActive = FALSE;
  EXPECT_FALSE(DrawThemedPart(spin, nullptr, L"spin", nullptr, 1, 1, r)) << "no style active: classic drawing";
  themeActive = TRUE;
  combo.LoadThemeApi();
  EXPECT_TRUE(combo.Loaded()) << "a later load binds the library again";
}

TEST_F(ThemeApiTest, AMissingEntryBindsNothing) {
  RegisterBuiltinLibrary("UXTHEME.DLL", Exports("GetThemeFont"));
  TThemeApiLoader& spin = SpinThemeApi();
  try {
    spin.LoadThemeApi();
    FAIL() << "no assertion failure";
  } catch (const EAssertionFailed& e) {
    EXPECT_EQ(e.Message(), "Assertion failure (ASXPVS, line 1596)");
  }
  EXPECT_FALSE(spin.Loaded());
  EXPECT_EQ(spin.Library(), nullptr);
  for (int i = 0; i < kThemeEntryCount; ++i) EXPECT_EQ(spin.Entry(static_cast<TThemeEntry>(i)), nullptr) << i;
  RECT r{0, 0, 10, 10};
  EXPECT_FALSE(DrawThemedPart(spin, nullptr, L"spin", nullptr, 1, 1, r)) << "a half-bound style is never called";
}
