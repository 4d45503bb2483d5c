// The visual-style loaders bind every entry point by name, or nothing when
// the library is absent; a missing entry point is an assertion failure.
#include <gtest/gtest.h>

#include "platform/rtl/dynlib.h"
#include "ui/controls/themeapi.h"

namespace {

BOOL ThemeActive() { return TRUE; }
int Dummy() { return 0; }

// A stand-in library exporting every name but `missing`.
void RegisterStandIn(const TThemeApiLoader& shape, const std::string& missing = {}) {
  TLibraryExports exports;
  for (const std::string& name : shape.EntryNames()) {
    if (name == missing) continue;
    exports.emplace_back(name, name == "IsThemeActive" ? reinterpret_cast<void*>(&ThemeActive)
                                                       : reinterpret_cast<void*>(&Dummy));
  }
  RegisterBuiltinLibrary("uxtheme.dll", exports);
}

}  // namespace

TEST(ThemeApiLoader, WithoutTheLibraryNothingIsBound) {
  TThemeApiLoader panels("APXPVS", 1552, true);
  panels.LoadThemeApi();
  EXPECT_FALSE(panels.Loaded());
  EXPECT_EQ(panels.Library(), nullptr);
  EXPECT_EQ(panels.OpenThemeData(), nullptr);
  EXPECT_FALSE(panels.ThemeAvailable());
  panels.UnloadThemeApi();  // frees nothing
  EXPECT_EQ(panels.EntryNames().size(), 46u);
  EXPECT_EQ(TThemeApiLoader("AOBXPVS", 1533, false).EntryNames().size(), 45u);
  EXPECT_FALSE(APXPVS().ThemeAvailable());
}

TEST(ThemeApiLoader, BindsEveryEntryPointOnceAndLoadersStayIndependent) {
  TThemeApiLoader panels("APXPVS", 1552, true), boxes("AOBXPVS", 1533, false);
  RegisterStandIn(panels);
  panels.LoadThemeApi();
  boxes.LoadThemeApi();
  ASSERT_TRUE(panels.Loaded());
  EXPECT_TRUE(panels.ThemeAvailable());
  EXPECT_NE(panels.Entry("GetThemePartSize"), nullptr);
  HMODULE first = panels.Library();
  panels.LoadThemeApi();
  EXPECT_EQ(panels.Library(), first);
  boxes.UnloadThemeApi();
  EXPECT_FALSE(boxes.Loaded());
  EXPECT_TRUE(panels.ThemeAvailable());
  panels.UnloadThemeApi();
  UnregisterBuiltinLibrary("uxtheme.dll");
}

TEST(ThemeApiLoader, AMissingEntryPointIsAnAssertionFailureWithItsLine) {
  TThemeApiLoader panels("APXPVS", 1552, true);
  RegisterStandIn(panels, "EnableTheming");
  try {
    panels.LoadThemeApi();
    ADD_FAILURE() << "no assertion failure";
  } catch (const EAssertionFailed& e) {
    EXPECT_EQ(e.Message(), "Assertion failure (APXPVS, line 1687)");
  }
  EXPECT_TRUE(panels.Loaded());
  EXPECT_NE(panels.OpenThemeData(), nullptr);
  panels.UnloadThemeApi();
  TThemeApiLoader boxes("AOBXPVS", 1533, false);
  RegisterStandIn(boxes, "CloseThemeData");
  EXPECT_THROW(boxes.LoadThemeApi(), EAssertionFailed);
  EXPECT_EQ(boxes.Entry("DrawThemeBackground"), nullptr);  // after the missing one
  boxes.UnloadThemeApi();
  UnregisterBuiltinLibrary("uxtheme.dll");
}
