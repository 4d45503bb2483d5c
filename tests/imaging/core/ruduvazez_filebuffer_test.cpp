#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <regex>

#include "imaging/core/iesettings.h"
#include "imaging/core/ruduvazez.h"
#include "tests/imaging/core/test_support.h"

namespace {

// The library's temporary folder pointed at a private one for each test.
class TemporaryFiles : public ::testing::Test {
protected:
  void SetUp() override { IEGetGlobalSettings()->TempFolder = folder.Folder(); }
  void TearDown() override { IEGetGlobalSettings()->TempFolder.clear(); }
  TempFolder folder;
};

TEST_F(TemporaryFiles, UniqueNames) {
  const std::string name = IEGetTempFileName();
  EXPECT_TRUE(std::regex_match(name, std::regex(std::regex_replace(folder.Folder(), std::regex("[.^$|()\\[\\]{}*+?\\\\]"), "\\$&") + "ietemp-[0-9A-F]{8}\\.tmp")))
      << name;
  EXPECT_EQ(folder.Count(), 0u);  // only a name
  EXPECT_NE(IEMakeUniqueFileName("IMG", folder.Folder()), IEMakeUniqueFileName("IMG", folder.Folder()));
}

TEST_F(TemporaryFiles, SystemFolderWhenNoneIsSet) {
  IEGetGlobalSettings()->TempFolder.clear();
  const std::string folderName = IETempFolder();
  EXPECT_EQ(folderName.back(), '/');
  EXPECT_TRUE(std::filesystem::is_directory(folderName));
}

TEST_F(TemporaryFiles, StreamHasNoNameAndWorks) {
  const std::string name = folder.File("IMG-00000001.tmp");
  {
    TIETemporaryFileStream stream(name);
    EXPECT_EQ(folder.Count(), 0u);  // nothing else can open it, nothing is left behind
    stream.Write("pixels", 6);
    stream.SetPosition(1);
    char out[5];
    EXPECT_EQ(stream.Read(out, 5), 5);
    EXPECT_EQ(std::string(out, 5), "ixels");
  }
  EXPECT_EQ(folder.Count(), 0u);
}

TEST_F(TemporaryFiles, NeverFollowsAPlantedLink) {
  const std::string target = folder.File("victim"), link = folder.File("IMG-0000000A.tmp");
  WriteFile(target, "precious");
  ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
  try {
    TIETemporaryFileStream stream(link);
    FAIL() << "opened through a link";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.Message(), "Unable to create " + link);
  }
  ASSERT_EQ(::symlink(folder.File("nowhere").c_str(), folder.File("dangling").c_str()), 0);
  EXPECT_THROW(TIETemporaryFileStream(folder.File("dangling")), EInOutError);
  EXPECT_FALSE(std::filesystem::exists(folder.File("nowhere")));
  EXPECT_EQ(ReadFile(target), "precious");
}

TEST_F(TemporaryFiles, FileBufferAllocates) {
  TIEFileBuffer buffer;
  EXPECT_FALSE(buffer.IsAllocated());
  ASSERT_TRUE(buffer.Allocate("IMG", true, 0));
  EXPECT_TRUE(buffer.IsAllocated());
  EXPECT_TRUE(std::regex_match(std::filesystem::path(buffer.FileName()).filename().string(),
                               std::regex("IMG-[0-9A-F]{8}\\.tmp")));
  EXPECT_EQ(std::filesystem::path(buffer.FileName()).parent_path(), std::filesystem::path(folder.Path()));
  const std::string first = buffer.FileName();
  ASSERT_TRUE(buffer.Allocate("IMG", true, 4096));
  EXPECT_NE(buffer.FileName(), first);
  EXPECT_EQ(folder.Count(), 0u);
  buffer.Close();
  EXPECT_FALSE(buffer.IsAllocated());

  ASSERT_TRUE(buffer.Allocate("MEM", false, 100));
  uint8_t* row = buffer.Map(TIEFileBuffer::imRead, 100, 0);
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(row[99], 0);
  buffer.Close();
  EXPECT_EQ(folder.Count(), 0u);
}

TEST_F(TemporaryFiles, FileBufferFailsCleanly) {
  IEGetGlobalSettings()->TempFolder = folder.File("missing/");
  TIEFileBuffer buffer;
  EXPECT_FALSE(buffer.Allocate("IMG", true, 10));
  EXPECT_FALSE(buffer.IsAllocated());
  int dummy = 0;
  EXPECT_THROW(buffer.Unmap(reinterpret_cast<uint8_t*>(&dummy)), EListError);
}

TEST_F(TemporaryFiles, MappingsWriteBackOnlyWithWriteAccess) {
  for (bool useFile : {true, false}) {
    SCOPED_TRACE(useFile);
    TIEFileBuffer buffer;
    ASSERT_TRUE(buffer.Allocate("IMG", useFile, 64));
    uint8_t* w = buffer.Map(TIEFileBuffer::imWrite, 8, 16);
    std::memcpy(w, "ABCDEFGH", 8);
    buffer.Unmap(w);
    uint8_t* r = buffer.Map(TIEFileBuffer::imRead, 8, 16);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(r), 8), "ABCDEFGH");
    r[0] = 'x';
    uint8_t* again = buffer.Map(TIEFileBuffer::imRead | TIEFileBuffer::imWrite, 8, 16);
    EXPECT_EQ(buffer.FindMapping(again), 1);
    buffer.Unmap(r);  // read-only: nothing written back
    EXPECT_EQ(buffer.FindMapping(again), 0);  // the read mapping is gone from the list
    uint8_t* check = buffer.Map(TIEFileBuffer::imRead, 8, 16);
    EXPECT_EQ(check[0], 'A');
    buffer.Unmap(check);
    again[1] = 'b';
    buffer.UnmapAll();  // writes back
    TMemoryStream out;
    buffer.CopyToStream(out, 8, 16);
    EXPECT_EQ(std::string(static_cast<const char*>(out.Memory()), 8), "AbCDEFGH");
  }
}

TEST_F(TemporaryFiles, CopyBetweenBuffers) {
  const int64_t size = 2500000;
  TIEFileBuffer source, dest;
  ASSERT_TRUE(source.Allocate("IMG", true, size));
  ASSERT_TRUE(dest.Allocate("IMG", true, size));
  uint8_t* all = source.Map(TIEFileBuffer::imWrite, size, 0);
  for (int64_t i = 0; i < size; ++i) all[i] = static_cast<uint8_t>(i * 7);
  uint8_t* pending = dest.Map(TIEFileBuffer::imWrite, 4, 0);
  pending[0] = 1;
  source.CopyTo(dest, 0, 0);  // nothing copied, but mappings are released
  EXPECT_EQ(source.FindMapping(all), -1);
  EXPECT_EQ(dest.FindMapping(pending), -1);
  source.CopyTo(dest, size, 0);
  uint8_t* copy = dest.Map(TIEFileBuffer::imRead, size, 0);
  int64_t mismatches = 0;
  for (int64_t i = 0; i < size; ++i) mismatches += copy[i] != static_cast<uint8_t>(i * 7);
  EXPECT_EQ(mismatches, 0);
}

}  // namespace
