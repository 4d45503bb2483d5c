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
