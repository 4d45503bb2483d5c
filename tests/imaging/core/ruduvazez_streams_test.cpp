#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "imaging/core/davovevo.h"
#include "imaging/core/iezlib.h"
#include "imaging/core/ruduvazez.h"
#include "tests/imaging/core/test_support.h"

namespace {

// A memory stream that counts the calls reaching it.
class CountingStream : public TMemoryStream {
public:
  int32_t Read(void* buffer, int32_t count) override {
    ++reads;
    return TMemoryStream::Read(buffer, count);
  }
  int32_t Write(const void* buffer, int32_t count) override {
    writes.push_back(count);
    return TMemoryStream::Write(buffer, count);
  }
  int reads = 0;
  std::vector<int32_t> writes;
};

void Fill(TMemoryStream& stream, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    uint8_t b = static_cast<uint8_t>(i);
    stream.Write(&b, 1);
  }
  stream.SetPosition(0);
}

std::string Contents(TMemoryStream& stream) {
  return std::string(static_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.Size()));
}

TEST(ByteOrderReaders, AgainstAByteTable) {
  const uint8_t bytes[] = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0};
  struct Case {
    int size;
    bool big;
    uint64_t value;
  };
  const Case cases[] = {{2, false, 0x3412},
                        {2, true, 0x1234},
                        {4, false, 0x78563412},
                        {4, true, 0x12345678},
                        {8, false, 0xF0DEBC9A78563412ull},
                        {8, true, 0x123456789ABCDEF0ull}};
  for (const auto& c : cases) {
    TIEMemStream stream(bytes, sizeof bytes);
    uint64_t v = c.size == 2 ? IEReadWord(stream, c.big) : c.size == 4 ? IEReadDWord(stream, c.big) : IEReadInt64(stream, c.big);
    EXPECT_EQ(v, c.value) << c.size << (c.big ? " big" : " little");
    EXPECT_EQ(stream.Position(), c.size);
  }
}

TEST(ByteOrderReaders, BytesPastTheEndReadAsZero) {
  const uint8_t bytes[] = {0x01, 0x02, 0x03};
  TIEMemStream stream(bytes, sizeof bytes);
  stream.SetPosition(1);
  EXPECT_EQ(IEReadDWord(stream, true), 0x02030000u);
  EXPECT_EQ(IEReadWord(stream, false), 0u);
}

TEST(MemStream, ReadsTheCallersBlockAndRefusesWrites) {
  std::string block = "library";
  TIEMemStream stream(block.data(), static_cast<int64_t>(block.size()));
  char out[4] = {};
  EXPECT_EQ(stream.Read(out, 3), 3);
  EXPECT_EQ(std::string(out, 3), "lib");
  EXPECT_EQ(stream.Write("XYZ", 3), 0);
  stream.SetSize(2);
  EXPECT_EQ(stream.Size(), 7);
  EXPECT_EQ(block, "library");

  bool failed = false;
  IESafeStreamWrite(stream, failed, "x", 1);
  EXPECT_TRUE(failed);
  TMemoryStream memory;
  IESafeStreamWrite(memory, failed, "x", 1);
  EXPECT_TRUE(failed);  // never cleared
  bool fine = false;
  IESafeStreamWrite(memory, fine, "yz", 2);
  EXPECT_FALSE(fine);
}

TEST(StreamRoutines, AlignAndLines) {
  TMemoryStream stream;
  bool failed = false;
  stream.Write("1234567", 7);
  EXPECT_EQ(IEAlignStreamToWord(stream, failed), 8);
  EXPECT_EQ(IEAlignStreamToWord(stream, failed), 8);
  EXPECT_EQ(stream.Size(), 8);
  EXPECT_FALSE(failed);
  IEWriteLine(stream, "abc");
  IEWriteLineCRLF(stream, "");
  EXPECT_EQ(Contents(stream), std::string("1234567\0abc\r\n\r\n", 15));

  std::string odd = "odd";
  TIEMemStream readOnly(odd.data(), 3);
  readOnly.SetPosition(1);
  IEAlignStreamToWord(readOnly, failed);
  EXPECT_TRUE(failed);
}

TEST(StreamRoutines, CopyStream) {
  TMemoryStream source;
  Fill(source, 1000);
  source.SetPosition(900);
  TMemoryStream whole;
  EXPECT_EQ(IECopyStream(whole, source, 0), 1000);  // from the start
  EXPECT_EQ(Contents(whole), Contents(source));

  source.SetPosition(990);
  TMemoryStream tail;
  EXPECT_EQ(IECopyStream(tail, source, 50), 10);  // cut to what is left
  EXPECT_EQ(tail.Size(), 10);
  source.SetPosition(1000);
  EXPECT_EQ(IECopyStream(tail, source, 5), 0);

  TMemoryStream big;
  std::string bytes(500000, 'q');
  big.Write(bytes.data(), static_cast<int32_t>(bytes.size()));
  big.SetPosition(0);
  CountingStream target;
  EXPECT_EQ(IECopyStream(target, big, 500000), 500000);
  EXPECT_EQ(target.writes, (std::vector<int32_t>{196607, 196607, 106786}));
}

// File to file the bytes go from both positions on, which move past them;
// a count past the source's end is cut to what it holds.
TEST(StreamRoutines, CopyStreamBetweenFiles) {
  TempFolder folder;
  TMemoryStream bytes;
  Fill(bytes, 300000);
  TIETemporaryFileStream source(folder.File("source.tmp"));
  source.WriteBuffer(bytes.Memory(), 300000);
  TIEWideFileStream target(folder.File("target.bin"), IE_FILE_CREATE);
  target.WriteBuffer("head", 4);
  source.SetPosition(1000);
  EXPECT_EQ(IECopyStream(target, source, 250000), 250000);
  EXPECT_EQ(source.Position(), 251000);
  EXPECT_EQ(target.Position(), 250004);
  EXPECT_EQ(IECopyStream(target, source, 100000), 49000);
  target.WriteBuffer("tail", 4);
  TMemoryStream copied;
  copied.LoadFromStream(target);
  EXPECT_EQ(Contents(copied), "head" + Contents(bytes).substr(1000) + "tail");
}

TEST(StreamRoutines, CopyFromATruncatedZlibStreamRaises) {
  TMemoryStream packed;
  {
    TZCompressionStream z(packed);
    std::string data(5000, 'a');
    z.Write(data.data(), static_cast<int32_t>(data.size()));
  }
  packed.SetSize(packed.Size() / 2);
  packed.SetPosition(0);
  TZDecompressionStream unpacked(packed);
  TMemoryStream out;
  EXPECT_THROW(IECopyStream(out, unpacked, 5000), EReadError);
}

TEST(BufferedRead, SingleBytesComeFromTheBuffer) {
  CountingStream source;
  Fill(source, 300);
  TIEBufferedReadStream reader(source, 128);
  const int before = source.reads;
  uint8_t b = 0;
  for (int i = 0; i < 128; ++i) ASSERT_EQ(reader.Read(&b, 1), 1);
  EXPECT_EQ(b, 127);
  EXPECT_EQ(source.reads, before);
  ASSERT_EQ(reader.Read(&b, 1), 1);
  EXPECT_EQ(b, 128);
  EXPECT_EQ(source.reads, before + 1);
}

TEST(BufferedRead, PiecewiseReadsAcrossRefills) {
  TMemoryStream source;
  Fill(source, 1000);
  TIEBufferedReadStream reader(source, 64);
  std::vector<uint8_t> out(1000);
  EXPECT_EQ(reader.Read(out.data(), 10), 10);
  EXPECT_EQ(reader.Read(out.data() + 10, 990), 990);
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(out[i], static_cast<uint8_t>(i)) << i;
  EXPECT_FALSE(reader.EndReached());
  EXPECT_EQ(reader.Read(out.data(), 1), 0);
  EXPECT_TRUE(reader.EndReached());
}

TEST(BufferedRead, RelativeReaderCountsFromItsStart) {
  TMemoryStream source;
  Fill(source, 250);
  source.SetPosition(100);
  TIEBufferedReadStream reader(source, 32, true);
  EXPECT_EQ(reader.Position(), 0);
  uint8_t b = 0;
  reader.Read(&b, 1);
  EXPECT_EQ(b, 100);
  EXPECT_EQ(reader.Seek(0, soEnd), 150);
  EXPECT_EQ(reader.Size(), 150);
  EXPECT_EQ(reader.Seek(10, soEnd), 140);  // a positive offset counts back from the end
  reader.Read(&b, 1);
  EXPECT_EQ(b, 240);
  EXPECT_EQ(reader.Seek(-500, soCurrent), 0);  // never before its start
  reader.Read(&b, 1);
  EXPECT_EQ(b, 100);
}

TEST(BufferedRead, SeekPastTheEnd) {
  TMemoryStream source;
  Fill(source, 50);
  TIEBufferedReadStream reader(source, 16);
  EXPECT_EQ(reader.Seek(80, soBeginning), 50);
  EXPECT_TRUE(reader.EndReached());
  uint8_t b;
  EXPECT_EQ(reader.Read(&b, 1), 0);
  EXPECT_EQ(reader.Seek(5, soBeginning), 5);
  EXPECT_FALSE(reader.EndReached());
  uint8_t out[100];
  EXPECT_EQ(reader.Read(out, 100), 45);  // cut at the end
  EXPECT_TRUE(reader.EndReached());
  EXPECT_THROW(reader.Write(out, 1), EIEException);
  // Offsets too large for any sum (from a damaged file) stop at the ends.
  EXPECT_EQ(reader.Seek(INT64_MAX, soCurrent), 50);
  EXPECT_EQ(reader.Seek(INT64_MIN, soEnd), 50);
  EXPECT_EQ(reader.Seek(INT64_MIN, soCurrent), 0);
  EXPECT_EQ(reader.Seek(INT64_MAX, soBeginning), 50);
}

TEST(BufferedRead, SourceStandsAfterTheBytesConsumed) {
  TMemoryStream source;
  Fill(source, 5000);
  source.SetPosition(7);
  {
    TIEBufferedReadStream reader(source, 4096);
    uint8_t out[10];
    reader.Read(out, 10);
  }
  EXPECT_EQ(source.Position(), 17);
}

TEST(BufferedRead, SourceShorterThanItsSizeEndsCleanly) {
  // A source whose Read gives up early must not make the reader spin or
  // hand out stale bytes.
  class Short : public TMemoryStream {
  public:
    int32_t Read(void* buffer, int32_t count) override {
      return Position() >= 20 ? 0 : TMemoryStream::Read(buffer, std::min<int32_t>(count, 20 - static_cast<int32_t>(Position())));
    }
  } source;
  Fill(source, 100);
  TIEBufferedReadStream reader(source, 8);
  uint8_t out[100];
  EXPECT_EQ(reader.Read(out, 100), 20);
  EXPECT_TRUE(reader.EndReached());
}

TEST(BufferedWrite, WholeBuffersReachTheTarget) {
  CountingStream target;
  {
    TIEBufferedWriteStream writer(target, 4);
    EXPECT_EQ(writer.Write("0123456789", 10), 10);
    EXPECT_EQ(target.writes, (std::vector<int32_t>{4, 4}));
    EXPECT_EQ(writer.Position(), 10);  // reading the position flushes
    EXPECT_EQ(target.writes, (std::vector<int32_t>{4, 4, 2}));
    writer.Write("ab", 2);
    char c;
    EXPECT_THROW(writer.Read(&c, 1), EIEException);
  }
  EXPECT_EQ(Contents(target), "0123456789ab");
}

TEST(WideFileStream, InvalidModesFailWithoutTouchingTheDisk) {
  TempFolder folder;
  const std::string name = folder.File("image.bin");
  for (uint16_t mode : {uint16_t{3}, uint16_t{0x50}, uint16_t{0x52}}) {
    EXPECT_THROW(TIEWideFileStream(name, mode), EFOpenError) << mode;
    EXPECT_EQ(folder.Count(), 0u);
  }
  try {
    TIEWideFileStream stream(name, 0);
    FAIL();
  } catch (const EFOpenError& e) {
    EXPECT_EQ(e.Message().rfind("Cannot open file \"" + name + "\". ", 0), 0u) << e.Message();
  }
  {
    TIEWideFileStream created(name, IE_FILE_CREATE);
    created.Write("data", 4);
  }
  TIEWideFileStream opened(name, 0x20);  // read, deny write
  char out[4];
  EXPECT_EQ(opened.Read(out, 4), 4);
  EXPECT_EQ(std::string(out, 4), "data");
  EXPECT_THROW(TIEWideFileStream(folder.File("no/such/folder"), IE_FILE_CREATE), EFCreateError);
}

TEST(FileSize, ByDirectorySearch) {
  TempFolder folder;
  WriteFile(folder.File("five.bin"), "12345");
  EXPECT_EQ(IEGetFileSize64(folder.File("five.bin")), 5);
  EXPECT_EQ(IEGetFileSize64(folder.File("*.bin")), 5);
  EXPECT_EQ(IEGetFileSize64(folder.File("missing.bin")), 0);
}

TEST(TIFFHeaderSearch, FindsAPlausibleHeader) {
  std::string data(300, '\0');
  data.replace(10, 8, std::string("II\x2B\0\x20\0\0\0", 8));   // wrong version
  data.replace(20, 8, std::string("MM\0\x2A\0\0\x03\xE8", 8));  // directory beyond the end
  data.replace(50, 8, std::string("MM\0\x2A\0\0\0\x64", 8));    // directory 100 bytes on
  data.replace(150, 2, std::string("\0\x05", 2));
  TMemoryStream stream;
  stream.Write(data.data(), static_cast<int32_t>(data.size()));
  stream.SetPosition(0);
  EXPECT_EQ(IEFindTIFFHeader(stream), 50);
  EXPECT_EQ(stream.Position(), 0);
  stream.SetPosition(30);
  EXPECT_EQ(IEFindTIFFHeader(stream), 20);  // relative to the position
  EXPECT_EQ(stream.Position(), 30);

  data.replace(150, 2, std::string("\0\0", 2));  // an empty directory is not plausible
  TMemoryStream none;
  none.Write(data.data(), static_cast<int32_t>(data.size()));
  none.SetPosition(0);
  EXPECT_EQ(IEFindTIFFHeader(none), -1);
  TMemoryStream empty;
  EXPECT_EQ(IEFindTIFFHeader(empty), -1);
}

TEST(TIFFHeaderSearch, DirectoryCountsFromTheHeaderNotFromTheStreamStart) {
  // A header at 1000 whose directory 8 bytes on holds 5 entries; the
  // stream's position 8 holds an empty count.
  std::string data(1100, '\0');
  data.replace(1000, 8, std::string("II\x2A\0\x08\0\0\0", 8));
  data.replace(1008, 2, std::string("\x05\0", 2));
  TMemoryStream stream;
  stream.Write(data.data(), static_cast<int32_t>(data.size()));
  stream.SetPosition(0);
  EXPECT_EQ(IEFindTIFFHeader(stream), 1000);
  stream.SetPosition(200);
  EXPECT_EQ(IEFindTIFFHeader(stream), 800);
}

TEST(TIFFHeaderSearch, FindsTheHeaderOfAFileLibtiffWrote) {
  TempFolder folder;
  const std::string tiff = folder.File("chart.tif");
  const std::string command =
      "tiffcp -c none " VESK_SOURCE_DIR "/tests/fixtures/charts/colorchecker24-handheld-crop.tif " + tiff + " 2>/dev/null";
  if (std::system(command.c_str()) != 0) GTEST_SKIP() << "tiffcp is not installed";
  TFileStream file(tiff, fmOpenRead);
  TMemoryStream stream;
  stream.WriteBuffer("raw-file-prefix!", 16);
  stream.CopyFrom(file, 0);
  stream.SetPosition(0);
  EXPECT_EQ(IEFindTIFFHeader(stream), 16);
}

}  // namespace
