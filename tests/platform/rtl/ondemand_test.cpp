#include "platform/rtl/ondemand.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/rtl/dynlib.h"

// The test library's functions, declared only: the program does not link
// the library, the calls below reach it through the on-demand group.
extern "C" int testlib_add(int a, int b);
extern "C" const char* testlib_where();

namespace {

const std::string& TestLibrary() {
  static const std::string path = ExecutableFolder() + "rtltestlib.so";
  return path;
}

TOnDemandLibraries& Group() {
  static TOnDemandLibraries libraries{TestLibrary().c_str()};
  return libraries;
}

TEST(OnDemandLibraries, LoadOnTheFirstCallAndResolveEachFunctionByName) {
  EXPECT_FALSE(Group().Loaded());
  EXPECT_EQ(VESK_ON_DEMAND(Group(), testlib_add)(40, 2), 42);
  EXPECT_TRUE(Group().Loaded());
  EXPECT_STREQ(VESK_ON_DEMAND(Group(), testlib_where)(), "beside");
}

TEST(OnDemandLibraries, AGroupThatCannotLoadSaysSoWithoutEndingTheProgram) {
  // The first library loads, the second is missing: the group as a whole is not available.
  TOnDemandLibraries group{TestLibrary().c_str(), "libvesk-no-such-library.so.7"};
  for (int attempt = 0; attempt < 2; ++attempt) {
    EXPECT_FALSE(group.Available());
    EXPECT_FALSE(group.Loaded());
    EXPECT_NE(group.Error().find("libvesk-no-such-library.so.7"), std::string::npos) << group.Error();
  }
}

TEST(OnDemandLibraries, ARenamedGroupIsTriedAgainUnderItsNewNames) {
  TOnDemandLibraries group{TestLibrary().c_str()};
  ASSERT_TRUE(group.Available());
  EXPECT_EQ(reinterpret_cast<int (*)(int, int)>(group.Symbol("testlib_add"))(1, 2), 3);
  group.RenameForTest({"libvesk-no-such-library.so.7"});
  EXPECT_FALSE(group.Available());
  group.RenameForTest({TestLibrary().c_str()});
  EXPECT_TRUE(group.Available());
  EXPECT_TRUE(group.Error().empty());
}

using OnDemandLibrariesDeathTest = ::testing::Test;

TEST_F(OnDemandLibrariesDeathTest, AMissingLibraryOrFunctionEndsTheProgramNamingIt) {
  EXPECT_DEATH(
      {
        TOnDemandLibraries missing{"libvesk-no-such-library.so.7"};
        missing.Symbol("anything");
      },
      "libvesk-no-such-library.so.7");
  EXPECT_DEATH(Group().Symbol("testlib_no_such_function"), "testlib_no_such_function");
}

}  // namespace
