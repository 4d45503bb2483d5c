#include "imaging/core/ruduvazez_startup.h"

#include <gtest/gtest.h>

#include "imaging/core/davovevo.h"
#include "imaging/core/iesettings.h"
#include "imaging/messages/iewords.h"
#include "platform/forms/graphics.h"
#include "platform/rtl/dynlib.h"

namespace {

// Every test starts and ends with the library stopped and the table empty.
class LibraryStartup : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_FALSE(IELibraryStarted()); }
  void TearDown() override {
    while (IELibraryStarted()) IELibraryFinalize();
    IEClearLanguageTexts();
    UnregisterBuiltinLibrary("user32.dll");
  }
};

int DummyExport() { return 0; }

TEST_F(LibraryStartup, CountedPairsStartOnceAndStopOnce) {
  IELibraryInitialize();
  EXPECT_EQ(IEGetLanguageText(4), "Cancel");  // the catalogue is filled
  IEGetGlobalSettings()->DefaultDPIX = 123;
  IELibraryInitialize();  // only counts: the settings object is the same
  EXPECT_EQ(IEGetGlobalSettings()->DefaultDPIX, 123);

  IELibraryFinalize();
  EXPECT_TRUE(IELibraryStarted());
  EXPECT_EQ(IEGetGlobalSettings()->DefaultDPIX, 123);
  IELibraryFinalize();
  EXPECT_FALSE(IELibraryStarted());
  EXPECT_EQ(IEGetLanguageText(4), "");  // the message table went with it
  // The settings object went with the last stop; a new one has the defaults.
  EXPECT_EQ(IEGetGlobalSettings()->DefaultDPIX, 300);
  IEFreeGlobalSettings();
}

TEST_F(LibraryStartup, StopWithoutStartDoesNothing) {
  IEGetGlobalSettings()->DefaultDPIX = 77;
  EXPECT_NO_THROW(IELibraryFinalize());
  EXPECT_FALSE(IELibraryStarted());
  EXPECT_EQ(IEGetGlobalSettings()->DefaultDPIX, 77);
  IEFreeGlobalSettings();
}

TEST_F(LibraryStartup, StopFreesTheSharedFontAndStartsAgainFromScratch) {
  IELibraryInitialize();
  IEGetGlobalSettings()->SharedFont = new TFont();  // the sanitizer reports it if it leaks
  IELibraryFinalize();
  IEClearLanguageTexts();
  IELibraryInitialize();
  EXPECT_EQ(IEGetGlobalSettings()->SharedFont, nullptr);
  EXPECT_EQ(IEGetLanguageText(4), "Cancel");
}

TEST_F(LibraryStartup, CosineRamp) {
  IELibraryInitialize();
  EXPECT_EQ(IECosineRamp[0], 0);
  EXPECT_EQ(IECosineRamp[128], 64);
  EXPECT_EQ(IECosineRamp[255], 128);
  for (size_t i = 1; i < IECosineRamp.size(); ++i) ASSERT_LE(IECosineRamp[i - 1], IECosineRamp[i]) << i;
}

TEST_F(LibraryStartup, PreviewBackgroundBecomesPlain) {
  IEPreviewBackgroundKind = 2;
  IELibraryInitialize();
  EXPECT_EQ(IEPreviewBackgroundKind, 0);
}

TEST_F(LibraryStartup, GesturesNeedGetGestureInfo) {
  struct Case {
    const char* name;
    bool registered;
    bool withGetGestureInfo;
  };
  const Case cases[] = {{"no user32", false, false},
                        {"user32 without GetGestureInfo", true, false},
                        {"user32 with GetGestureInfo", true, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    UnregisterBuiltinLibrary("user32.dll");
    if (c.registered) {
      TLibraryExports exports = {{"SetGestureConfig", reinterpret_cast<void*>(&DummyExport)}};
      if (c.withGetGestureInfo) exports.push_back({"GetGestureInfo", reinterpret_cast<void*>(&DummyExport)});
      RegisterBuiltinLibrary("user32.dll", exports);
    }
    IELibraryInitialize();
    EXPECT_EQ(IETouchGesturesAvailable(), c.withGetGestureInfo);
    IELibraryFinalize();
    EXPECT_FALSE(IETouchGesturesAvailable());
  }
}

TEST_F(LibraryStartup, UnitBodiesRunOncePerPairOfCalls) {
  RuduvazezUnitInitialize();
  RuduvazezUnitInitialize();
  IELibraryInitialize();  // a caller's own pair on top of the unit's
  IELibraryFinalize();
  RuduvazezUnitFinalize();
  EXPECT_TRUE(IELibraryStarted());
  RuduvazezUnitFinalize();
  EXPECT_FALSE(IELibraryStarted());
  RuduvazezUnitFinalize();  // one too many does nothing
  EXPECT_FALSE(IELibraryStarted());
}

}  // namespace
