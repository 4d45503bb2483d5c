// The visual-style loaders bind every entry point by name, or nothing when
// the library is absent or lacks an entry point (an assertion failure).
#include <gtest/gtest.h>

#include "platform/rtl/dynlib.h"
#include "ui/controls/acxpvs.h"
#include "ui/controls/asxpvs.h"
#include "ui/controls/themeapi.h"

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
int Dummy() { return 0; }

// A stand-in library exporting every name of `shape` but `missing`.
void RegisterStandIn(const TThemeApiLoader& shape, const std::string& missing = {}) {
  TLibraryExports exports;
  for (const std::string& name : shape.EntryNames()) {
    if (name == missing) continue;
    void* address = reinterpret_cast<void*>(&Dummy);
    if (name == "OpenThemeData") address = reinterpret_cast<void*>(&FakeOpen);
    if (name == "CloseThemeData") address = reinterpret_cast<void*>(&FakeClose);
    if (name == "DrawThemeBackground") address = reinterpret_cast<void*>(&FakeDraw);
    if (name == "IsThemeActive") address = reinterpret_cast<void*>(&FakeActive);
    exports.emplace_back(name, address);
  }
  RegisterBuiltinLibrary("uxtheme.dll", exports);
}

class ThemeApiLoaderTest : public ::testing::Test {
protected:
  void TearDown() override {
    ComboThemeApi().UnloadThemeApi();
    SpinThemeApi().UnloadThemeApi();
    UnregisterBuiltinLibrary("uxtheme.dll");
  }
};

}  // namespace

TEST_F(ThemeApiLoaderTest, WithoutTheLibraryNothingIsBound) {
  TThemeApiLoader panels("APXPVS", 1552, true);
  EXPECT_NO_THROW(panels.LoadThemeApi());
  EXPECT_FALSE(panels.Loaded());
  EXPECT_EQ(panels.Library(), nullptr);
  for (const std::string& name : panels.EntryNames()) EXPECT_EQ(panels.Entry(name), nullptr) << name;
  EXPECT_FALSE(panels.ThemeAvailable());
  panels.UnloadThemeApi();  // frees nothing
  EXPECT_EQ(panels.EntryNames().size(), 46u);
  EXPECT_EQ(TThemeApiLoader("AOBXPVS", 1533, false).EntryNames().size(), 45u);
  EXPECT_FALSE(APXPVS().ThemeAvailable());
  EXPECT_FALSE(SpinThemeApi().ThemeAvailable());
}

TEST_F(ThemeApiLoaderTest, BindsEveryEntryPointOnceAndLoadersStayIndependent) {
  TThemeApiLoader panels("APXPVS", 1552, true), boxes("AOBXPVS", 1533, false);
  RegisterStandIn(panels);
  panels.LoadThemeApi();
  boxes.LoadThemeApi();
  ASSERT_TRUE(panels.Loaded());
  EXPECT_TRUE(panels.ThemeAvailable());
  EXPECT_NE(panels.Entry("GetThemePartSize"), nullptr);
  for (const std::string& name : boxes.EntryNames()) EXPECT_NE(boxes.Entry(name), nullptr) << name;
  HMODULE first = panels.Library();
  panels.LoadThemeApi();
  EXPECT_EQ(panels.Library(), first);
  boxes.UnloadThemeApi();
  boxes.UnloadThemeApi();
  EXPECT_FALSE(boxes.Loaded());
  EXPECT_TRUE(panels.ThemeAvailable());
  panels.UnloadThemeApi();
  boxes.LoadThemeApi();
  EXPECT_TRUE(boxes.Loaded()) << "a later load binds the library again";
  boxes.UnloadThemeApi();
}

TEST_F(ThemeApiLoaderTest, ThemedPartsAreDrawnOnlyWhileAStyleIsActive) {
  TThemeApiLoader& spin = SpinThemeApi();
  RegisterStandIn(spin);
  spin.LoadThemeApi();
  openCalls = drawCalls = closeCalls = 0;
  RECT r{0, 0, 10, 10};
  EXPECT_TRUE(DrawThemedPart(spin, nullptr, L"spin", nullptr, 1, 1, r));
  EXPECT_EQ(openCalls + drawCalls + closeCalls, 3);
  themeActive = FALSE;
  EXPECT_FALSE(DrawThemedPart(spin, nullptr, L"spin", nullptr, 1, 1, r)) << "no style active: classic drawing";
  themeActive = TRUE;
}

TEST_F(ThemeApiLoaderTest, AMissingEntryPointBindsNothing) {
  struct Case {
    const char* source;
    int32_t firstLine;
    bool partSize;
    const char* missing;
    const char* message;
  };
  const Case cases[] = {
      {"APXPVS", 1552, true, "EnableTheming", "Assertion failure (APXPVS, line 1687)"},
      {"AOBXPVS", 1533, false, "CloseThemeData", "Assertion failure (AOBXPVS, line 1536)"},
      {"ASXPVS", 1533, false, "GetThemeFont", "Assertion failure (ASXPVS, line 1596)"},
  };
  for (const Case& c : cases) {
    TThemeApiLoader loader(c.source, c.firstLine, c.partSize);
    RegisterStandIn(loader, c.missing);
    try {
      loader.LoadThemeApi();
      ADD_FAILURE() << "no assertion failure";
    } catch (const EAssertionFailed& e) {
      EXPECT_EQ(e.Message(), c.message);
    }
    EXPECT_FALSE(loader.Loaded());
    EXPECT_EQ(loader.Library(), nullptr);
    for (const std::string& name : loader.EntryNames()) EXPECT_EQ(loader.Entry(name), nullptr) << name;
    RECT r{0, 0, 10, 10};
    EXPECT_FALSE(DrawThemedPart(loader, nullptr, L"spin", nullptr, 1, 1, r)) << "a half-bound style is never called";
  }
}
