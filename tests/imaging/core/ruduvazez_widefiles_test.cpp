#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "imaging/core/ruduvazez.h"
#include "platform/rtl/encoding.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/streams.h"
#include "platform/win/kernel.h"
#include "tests/imaging/core/test_support.h"

namespace {

std::u16string Wide(const std::string& utf8) { return Utf8ToUtf16(utf8); }

// Access mode of an open handle: O_RDONLY, O_WRONLY or O_RDWR.
int AccessOf(int handle) { return ::fcntl(handle, F_GETFL) & O_ACCMODE; }

// Closes the handle when the scope ends.
struct THandle {
  int value;
  explicit THandle(int handle) : value(handle) {}
  ~THandle() {
    if (value >= 0) ::close(value);
  }
  THandle(const THandle&) = delete;
  THandle& operator=(const THandle&) = delete;
};

TEST(WideFiles, CreateReplacesAndKeepsANonAsciiName) {
  TempFolder folder;
  const std::string name = folder.File("\xC3\x84rger \xE2\x82\xAC \xF0\x9F\x98\x80.tif");  // Ärger € 😀
  WriteFile(name, "old contents");
  {
    THandle handle(IEFileCreateW(Wide(name)));
    ASSERT_GE(handle.value, 0);
    EXPECT_EQ(AccessOf(handle.value), O_RDWR);
    EXPECT_EQ(ReadFile(name), "") << "an existing file is emptied";
    THandleStream stream(handle.value);
    stream.WriteBuffer("abc", 3);
    stream.SetPosition(0);
    char back[3] = {};
    EXPECT_EQ(stream.Read(back, 3), 3);
    EXPECT_EQ(std::string(back, 3), "abc");
  }
  EXPECT_EQ(ReadFile(name), "abc");
  EXPECT_EQ(folder.Count(), 1u) << "one file, under exactly that name";
}

TEST(WideFiles, OpenByModeGivesTheAccess) {
  TempFolder folder;
  const std::string name = folder.File("\xC3\xA9t\xC3\xA9.jpg");
  WriteFile(name, "data");
  struct Case {
    uint32_t mode;
    int access;
  };
  const Case cases[] = {
      {fmOpenRead, O_RDONLY},
      {fmOpenWrite, O_WRONLY},
      {fmOpenReadWrite, O_RDWR},
      {fmOpenReadWrite | fmShareDenyNone, O_RDWR},
      {fmOpenRead | fmShareDenyWrite | 0x0C, O_RDONLY},  // bits 2 and 3 play no part
      {78, O_RDWR},                                       // the largest mode taken
  };
  for (const auto& c : cases) {
    THandle handle(IEFileOpenW(Wide(name), c.mode));
    ASSERT_GE(handle.value, 0) << c.mode;
    EXPECT_EQ(AccessOf(handle.value), c.access) << c.mode;
  }
  EXPECT_EQ(ReadFile(name), "data") << "opening never empties";

  SetLastError(ERROR_SUCCESS);
  EXPECT_EQ(IEFileOpenW(Wide(folder.File("missing")), fmOpenRead), -1);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(std::filesystem::exists(folder.File("missing"))) << "opening never creates";
  EXPECT_EQ(IEFileOpenW(Wide(folder.Path()), fmOpenRead), -1) << "a folder is not a file";
}

TEST(WideFiles, InvalidModesAnswerWithoutTouchingTheFileSystem) {
  TempFolder folder;
  const std::string name = folder.File("file");
  WriteFile(name, "data");
  for (uint32_t mode : {3u, 7u, 0x43u, 79u, 80u, 0x50u, 0xFFu, 0xFFFFu, 0x10000u}) {
    SetLastError(12345);
    EXPECT_EQ(IEFileOpenW(Wide(name), mode), -1) << mode;
    EXPECT_EQ(GetLastError(), 12345u) << "nothing was tried for mode " << mode;
  }
}

TEST(WideFiles, SharingBindsOtherOpeners) {
  TempFolder folder;
  const std::u16string name = Wide(folder.File("shared"));
  {
    THandle first(IEFileCreateW(name));
    ASSERT_GE(first.value, 0);
    for (uint32_t mode : {fmOpenRead | fmShareExclusive, fmOpenRead | fmShareCompat, fmOpenRead | fmShareDenyWrite}) {
      EXPECT_EQ(IEFileOpenW(name, mode), -1) << mode;
      EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    }
    EXPECT_THROW(TFileStream(folder.File("shared"), fmOpenRead | fmShareExclusive), EFOpenError);
  }
  {
    THandle reader(IEFileOpenW(name, fmOpenRead | fmShareDenyWrite));
    ASSERT_GE(reader.value, 0);
    THandle secondReader(IEFileOpenW(name, fmOpenRead | fmShareDenyWrite));
    EXPECT_GE(secondReader.value, 0) << "readers that deny writing coexist";
    EXPECT_EQ(IEFileOpenW(name, fmOpenReadWrite | fmShareExclusive), -1);
    // A refused create leaves the file alone.
    WriteFile(folder.File("shared"), "kept");
    EXPECT_EQ(IEFileCreateW(name), -1);
    EXPECT_EQ(ReadFile(folder.File("shared")), "kept");
  }
  TFileStream stream(folder.File("shared"), fmOpenRead | fmShareExclusive);
  THandle open(IEFileOpenW(name, fmOpenRead | fmShareDenyNone));
  EXPECT_GE(open.value, 0) << "deny none takes no lock";
}

TEST(WideFiles, CreationDispositions) {
  TempFolder folder;
  const std::string name = folder.File("d");
  const std::u16string wide = Wide(name);
  const uint32_t rw = IE_GENERIC_READ | IE_GENERIC_WRITE;
  // Opens and closes again; true when the open succeeded.
  auto open = [&](uint32_t access, uint32_t disposition) {
    THandle handle(IECreateFileW(wide, access, IE_FILE_SHARE_READ, nullptr, disposition, IE_FILE_ATTRIBUTE_NORMAL, 0));
    return handle.value >= 0;
  };
  EXPECT_FALSE(open(rw, IE_OPEN_EXISTING));
  EXPECT_FALSE(open(rw, IE_TRUNCATE_EXISTING));
  EXPECT_TRUE(open(rw, IE_CREATE_NEW));
  EXPECT_FALSE(open(rw, IE_CREATE_NEW)) << "the file exists now";
  WriteFile(name, "data");
  EXPECT_TRUE(open(rw, IE_OPEN_ALWAYS));
  EXPECT_EQ(ReadFile(name), "data");
  EXPECT_FALSE(open(IE_GENERIC_READ, IE_TRUNCATE_EXISTING)) << "truncation needs write access";
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(ReadFile(name), "data");
  EXPECT_TRUE(open(IE_GENERIC_WRITE, IE_TRUNCATE_EXISTING));
  EXPECT_EQ(ReadFile(name), "");
  EXPECT_FALSE(open(rw, 0));
  EXPECT_FALSE(open(rw, 6));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(WideFiles, NamesThatCannotBeGivenExactlyFail) {
  TempFolder folder;
  const std::u16string base = Wide(folder.File("x"));
  const std::u16string names[] = {
      base + u'\0' + u"tail",                         // would open "x"
      base + static_cast<char16_t>(0xD800),            // lone high surrogate
      base + static_cast<char16_t>(0xDC00) + u"y",     // lone low surrogate
  };
  for (const auto& name : names) {
    EXPECT_EQ(IEFileCreateW(name), -1);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME);
  }
  EXPECT_EQ(folder.Count(), 0u) << "nothing was created under another name";
}

}  // namespace
