#include "platform/rtl/streams.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <limits>
#include <set>
#include <string>

#include "platform/rtl/exceptions.h"
#include "temp_folder.h"

namespace {

std::string ReadRest(TStream& stream) {
  std::string bytes(static_cast<size_t>(stream.Size() - stream.Position()), '\0');
  stream.ReadBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
  return bytes;
}

}  // namespace

TEST(MemoryStream, ReadWriteSeekAndSize) {
  TMemoryStream stream;
  EXPECT_EQ(stream.Write("hello world", 11), 11);
  EXPECT_EQ(stream.Position(), 11);
  EXPECT_EQ(stream.Size(), 11);
  EXPECT_EQ(stream.Seek(-5, soEnd), 6);
  EXPECT_EQ(stream.Write("there", 5), 5);  // overwrites inside
  stream.SetPosition(0);
  EXPECT_EQ(ReadRest(stream), "hello there");

  char buffer[8] = {};
  EXPECT_EQ(stream.Read(buffer, 8), 0);  // at the end
  EXPECT_EQ(stream.Seek(-3, soCurrent), 8);
  EXPECT_EQ(stream.Read(buffer, 8), 3);
  EXPECT_EQ(std::string(buffer, 3), "ere");

  stream.SetPosition(14);  // past the end: the gap reads as zeros
  stream.Write("!", 1);
  EXPECT_EQ(stream.Size(), 15);
  EXPECT_EQ(std::string(static_cast<char*>(stream.Memory()) + 11, 4), std::string("\0\0\0!", 4));

  stream.SetSize(5);
  EXPECT_EQ(stream.Position(), 5);  // pulled back inside
  stream.SetPosition(0);
  EXPECT_EQ(ReadRest(stream), "hello");
  stream.Clear();
  EXPECT_EQ(stream.Size(), 0);
  EXPECT_EQ(stream.Position(), 0);
}

TEST(MemoryStream, CapacityGrowsGeometrically) {
  TMemoryStream stream;
  std::set<int64_t> capacities;
  for (int i = 0; i < 200000; ++i) {
    stream.Write("x", 1);
    capacities.insert(stream.Capacity());
  }
  EXPECT_EQ(stream.Size(), 200000);
  EXPECT_LT(capacities.size(), 20u);  // a handful of reallocations, not one per write
}

TEST(MemoryStream, UnallocatableSizeRaisesOutOfMemory) {
  TMemoryStream stream;
  stream.Write("keep", 4);
  for (int64_t size : {std::numeric_limits<int64_t>::max(), int64_t{1} << 50}) {
    EXPECT_THROW(stream.SetSize(size), EOutOfMemory);
    EXPECT_EQ(stream.Size(), 4);
    EXPECT_EQ(std::string(static_cast<char*>(stream.Memory()), 4), "keep");
  }
  stream.SetPosition(std::numeric_limits<int64_t>::max() - 2);
  EXPECT_THROW(stream.Write("abcd", 4), EOutOfMemory);
}

TEST(Stream, BufferCallsRaiseOnShortTransfers) {
  TMemoryStream stream;
  stream.Write("abc", 3);
  stream.SetPosition(1);
  char buffer[4];
  try {
    stream.ReadBuffer(buffer, 4);
    FAIL();
  } catch (const EReadError& e) {
    EXPECT_EQ(e.Message(), "Stream read error");
  }

  TempFolder folder;
  std::string name = folder / "ro.bin";
  std::ofstream(name, std::ios::binary) << "data";
  int fd = ::open(name.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  {
    THandleStream readOnly(fd);
    EXPECT_EQ(ReadRest(readOnly), "data");
    try {
      readOnly.WriteBuffer("x", 1);
      FAIL();
    } catch (const EWriteError& e) {
      EXPECT_EQ(e.Message(), "Stream write error");
    }
  }
  EXPECT_EQ(::close(fd), 0);  // the handle stream leaves the descriptor open
}

TEST(Stream, CopyFromTakesCountOrWholeSource) {
  TStringStream source("0123456789");
  TMemoryStream target;
  source.SetPosition(7);
  EXPECT_EQ(target.CopyFrom(source, 0), 10);  // 0: all of it, from the start
  EXPECT_EQ(target.CopyFrom(source, 0), 10);
  source.SetPosition(2);
  EXPECT_EQ(target.CopyFrom(source, 3), 3);  // from the position
  target.SetPosition(0);
  EXPECT_EQ(ReadRest(target), "0123456789012345678923" "4");
  source.SetPosition(8);
  EXPECT_THROW(target.CopyFrom(source, 5), EReadError);

  TStringStream big(std::string(200000, 'z'));
  TMemoryStream copy;
  EXPECT_EQ(copy.CopyFrom(big, 0), 200000);
  EXPECT_EQ(std::memcmp(copy.Memory(), big.DataString().data(), 200000), 0);
}

TEST(StringStream, DataStringFollowsWrites) {
  TStringStream stream("abcdef");
  EXPECT_EQ(stream.Position(), 0);
  EXPECT_EQ(stream.ReadString(2), "ab");
  stream.WriteString("XY");  // overwrites inside
  EXPECT_EQ(stream.DataString(), "abXYef");
  stream.Seek(0, soEnd);
  stream.WriteString("gh");  // extends
  EXPECT_EQ(stream.DataString(), "abXYefgh");
  stream.SetPosition(6);
  EXPECT_EQ(stream.ReadString(100), "gh");
  EXPECT_EQ(stream.ReadString(1), "");
}

TEST(FileStream, CreateWriteAndReadBack) {
  TempFolder folder;
  std::string name = folder / "data.bin";
  {
    TFileStream out(name, fmCreate);
    out.WriteBuffer("first version, long", 19);
  }
  {
    TFileStream out(name, fmCreate);  // an existing file starts empty
    out.WriteBuffer("second", 6);
    EXPECT_EQ(out.FileName(), name);
  }
  {
    TFileStream io(name, fmOpenReadWrite);
    io.Seek(0, soEnd);
    io.WriteBuffer("!", 1);
    io.SetPosition(0);
    EXPECT_EQ(ReadRest(io), "second!");
    io.SetSize(3);
    EXPECT_EQ(io.Size(), 3);
  }
  TMemoryStream memory;
  memory.LoadFromFile(name);
  EXPECT_EQ(std::string(static_cast<char*>(memory.Memory()), 3), "sec");
  memory.SaveToFile(folder / "copy.bin");
  EXPECT_EQ(ReadAll(folder / "copy.bin"), "sec");
}

TEST(FileStream, PositionsBeyondFourGigabytes) {
  TempFolder folder;
  TFileStream stream(folder / "sparse.bin", fmCreate);
  const int64_t far = (int64_t{5} << 30) + 7;
  EXPECT_EQ(stream.Seek(far, soBeginning), far);
  stream.WriteBuffer("end", 3);
  EXPECT_EQ(stream.Size(), far + 3);
  EXPECT_EQ(stream.Seek(-3, soEnd), far);
  char buffer[3];
  stream.ReadBuffer(buffer, 3);
  EXPECT_EQ(std::string(buffer, 3), "end");
}

TEST(FileStream, FailuresRaiseWithTheFullNameAndSystemText) {
  TempFolder folder;
  std::string missing = folder / "missing.bin";
  try {
    TFileStream stream(missing, fmOpenRead);
    FAIL();
  } catch (const EFOpenError& e) {
    EXPECT_EQ(e.Message(), "Cannot open file \"" + missing + "\". " + SysErrorMessage(ENOENT));
  }
  std::string inNowhere = folder / "no/such/dir.bin";
  try {
    TFileStream stream(inNowhere, fmCreate);
    FAIL();
  } catch (const EFCreateError& e) {
    EXPECT_EQ(e.Message(), "Cannot create file \"" + inNowhere + "\". " + SysErrorMessage(ENOENT));
  }
  // A relative name is shown with the current folder in front.
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  try {
    TFileStream stream("vesk-no-such-file.bin", fmOpenRead);
    FAIL();
  } catch (const EFOpenError& e) {
    EXPECT_NE(e.Message().find(std::string(cwd) + "/vesk-no-such-file.bin"), std::string::npos);
  }
  // Modes without a valid access or share value fail without touching the disk.
  std::ofstream(missing, std::ios::binary) << "x";
  EXPECT_THROW(TFileStream(missing, 3), EFOpenError);
  EXPECT_THROW(TFileStream(missing, fmOpenRead | 0x50), EFOpenError);
  EXPECT_THROW(TFileStream(folder.Path(), fmOpenRead), EFOpenError);  // a folder
}

TEST(FileStream, ShareModesLockOtherOpeners) {
  TempFolder folder;
  std::string name = folder / "shared.bin";
  std::ofstream(name, std::ios::binary) << "content";
  struct Case {
    uint16_t first, second;
    bool secondOpens;
  };
  const Case cases[] = {
      {fmOpenRead | fmShareExclusive, fmOpenRead | fmShareDenyNone, true},  // no lock asked: not bound
      {fmOpenRead | fmShareExclusive, fmOpenRead | fmShareDenyWrite, false},
      {fmOpenRead | fmShareExclusive, fmOpenRead, false},
      {fmOpenRead | fmShareDenyWrite, fmOpenRead | fmShareDenyWrite, true},
      {fmOpenRead | fmShareDenyWrite, fmOpenReadWrite | fmShareExclusive, false},
      {fmOpenRead | fmShareDenyNone, fmOpenReadWrite | fmShareExclusive, true},
      {fmOpenRead | fmShareDenyWrite, fmCreate, false},
  };
  for (const Case& c : cases) {
    TFileStream first(name, c.first);
    bool opened = true;
    try {
      TFileStream second(name, c.second);
    } catch (const EFileStreamError&) {
      opened = false;
    }
    EXPECT_EQ(opened, c.secondOpens) << std::hex << c.first << " then " << c.second;
  }
  EXPECT_EQ(ReadAll(name), "content");  // the refused create emptied nothing
  TFileStream again(name, fmOpenReadWrite | fmShareExclusive);  // every lock went with its stream
}
