#include "platform/rtl/dynlib.h"

#include <gtest/gtest.h>

#include <cmath>

#include "platform/rtl/files.h"

namespace {

using WhereFn = const char* (*)();
using AddFn = int (*)(int, int);

std::string WhereOf(HMODULE module) {
  auto where = reinterpret_cast<WhereFn>(GetProcAddress(module, "testlib_where"));
  return where ? where() : "(no symbol)";
}

TEST(LoadLibrary, FindsTheSharedObjectBesideTheProgramFirst) {
  ASSERT_TRUE(FileExists(ExecutableFolder() + "rtltestlib.so"));
  const char* names[] = {"rtltestlib.dll", "RTLTESTLIB.DLL", "rtltestlib"};
  for (const char* name : names) {
    SCOPED_TRACE(name);
    HMODULE module = LoadLibrary(name);
    ASSERT_NE(module, nullptr) << LastLibraryErrorText();
    EXPECT_EQ(GetLastLibraryError(), 0u);
    EXPECT_EQ(WhereOf(module), "beside");
    auto add = reinterpret_cast<AddFn>(GetProcAddress(module, "testlib_add"));
    ASSERT_NE(add, nullptr);
    EXPECT_EQ(add(40, 2), 42);
    EXPECT_TRUE(FreeLibrary(module));
  }
}

TEST(LoadLibrary, ANameWithAFolderLooksInThatFolderThenTakesTheNameAsGiven) {
  const std::string folder = IncludeTrailingPathDelimiter(RTL_TEST_PLUGIN_DIR);
  HMODULE module = LoadLibraryA((folder + "rtltestlib.dll").c_str());
  ASSERT_NE(module, nullptr) << LastLibraryErrorText();
  EXPECT_EQ(WhereOf(module), "subfolder");
  FreeLibrary(module);

  module = LoadLibrary(folder + "rtltestlib.so");
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(WhereOf(module), "subfolder");
  FreeLibrary(module);

  // A system library by its own name.
  module = LoadLibrary("libm.so.6");
  ASSERT_NE(module, nullptr) << LastLibraryErrorText();
  auto cosine = reinterpret_cast<double (*)(double)>(GetProcAddress(module, "cos"));
  ASSERT_NE(cosine, nullptr);
  EXPECT_DOUBLE_EQ(cosine(0.0), 1.0);
  FreeLibrary(module);
}

TEST(LoadLibrary, FailuresGiveNullAndKeepTheReason) {
  for (const char* name : {"uxtheme.dll", "Kernel32.dll", "/no/such/folder/x.dll", ""}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(LoadLibrary(name), nullptr);
    EXPECT_EQ(GetLastLibraryError(), 126u);
  }
  EXPECT_FALSE(LastLibraryErrorText().empty());

  HMODULE module = LoadLibrary("rtltestlib.dll");
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(GetProcAddress(module, "no_such_function"), nullptr);
  EXPECT_EQ(GetLastLibraryError(), 127u);
  EXPECT_EQ(GetProcAddress(nullptr, "testlib_add"), nullptr);
  FreeLibrary(module);
  EXPECT_FALSE(FreeLibrary(nullptr));
}

int BuiltinTwice(int v) { return 2 * v; }

TEST(LoadLibrary, BuiltinLibrariesComeFirstAndKeepTheirHandles) {
  RegisterBuiltinLibrary("Demo.dll", {{"Twice", reinterpret_cast<void*>(&BuiltinTwice)}});
  HMODULE a = LoadLibrary("DEMO.DLL");
  HMODULE b = LoadLibrary("/some/folder/demo");  // the file-name part counts; ".dll" is implied
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a, b);
  auto twice = reinterpret_cast<int (*)(int)>(GetProcAddress(a, "Twice"));
  ASSERT_NE(twice, nullptr);
  EXPECT_EQ(twice(21), 42);
  EXPECT_EQ(GetProcAddress(a, "twice"), nullptr);  // exported names are exact
  EXPECT_TRUE(FreeLibrary(a));
  EXPECT_TRUE(FreeLibrary(b));
  EXPECT_FALSE(FreeLibrary(a));  // more releases than loads

  // A built-in name hides a shared object of the same name.
  RegisterBuiltinLibrary("rtltestlib.dll", {});
  HMODULE hidden = LoadLibrary("rtltestlib.dll");
  EXPECT_EQ(GetProcAddress(hidden, "testlib_where"), nullptr);
  FreeLibrary(hidden);
  UnregisterBuiltinLibrary("rtltestlib.dll");
  HMODULE real = LoadLibrary("rtltestlib.dll");
  EXPECT_EQ(WhereOf(real), "beside");
  FreeLibrary(real);

  UnregisterBuiltinLibrary("demo.dll");
  EXPECT_EQ(LoadLibrary("demo.dll"), nullptr);
}

}  // namespace
