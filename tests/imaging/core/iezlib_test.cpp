#include "imaging/core/iezlib.h"

#include <gtest/gtest.h>

#include <random>

#include "tests/imaging/core/test_support.h"

namespace {

std::string RandomText(size_t n, unsigned seed, int alphabet = 256) {
  std::mt19937 generator(seed);
  std::string s(n, '\0');
  for (auto& c : s) c = static_cast<char>(generator() % alphabet);
  return s;
}

std::string Compress(const std::string& data, TZCompressionLevel level = zcDefault) {
  TMemoryStream packed;
  {
    TZCompressionStream z(packed, level);
    for (size_t at = 0; at < data.size(); at += 70000)  // several writes
      z.Write(data.data() + at, static_cast<int32_t>(std::min<size_t>(70000, data.size() - at)));
  }
  return std::string(static_cast<const char*>(packed.Memory()), static_cast<size_t>(packed.Size()));
}

std::string Inflate(TStream& source, size_t limit = 1 << 24) {
  TZDecompressionStream z(source);
  std::string out;
  char chunk[5000];
  for (int32_t got; out.size() < limit && (got = z.Read(chunk, sizeof chunk)) > 0;) out.append(chunk, got);
  return out;
}

std::string Inflate(const std::string& packed) {
  TStringStream source(packed);
  return Inflate(source);
}

std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

const std::vector<std::string>& Samples() {
  static const std::vector<std::string> samples = {"", "x", RandomText(100000, 1), RandomText(300000, 2, 4),
                                                   std::string(200000, 'z')};
  return samples;
}

TEST(ZlibStreams, RoundTripAtEveryLevel) {
  for (TZCompressionLevel level : {zcNone, zcFastest, zcDefault, zcMax})
    for (const auto& data : Samples()) {
      const std::string packed = Compress(data, level);
      EXPECT_EQ(Inflate(packed), data) << int(level) << " " << data.size();
      EXPECT_EQ(ZDecompressBuffer(packed.data(), packed.size()), Bytes(data));
      EXPECT_EQ(ZDecompressBuffer(packed.data(), packed.size(), 7), Bytes(data));  // any estimate
    }
}

TEST(ZlibStreams, EmptyInputStillMakesACompleteStream) {
  const std::string packed = Compress("");
  ASSERT_GE(packed.size(), 8u);                          // header, final block, checksum
  EXPECT_EQ(packed.substr(packed.size() - 4), std::string("\0\0\0\1", 4));  // Adler-32 of nothing
  EXPECT_EQ(static_cast<uint8_t>(packed[0]) & 0x0F, 8);  // deflate
  EXPECT_EQ(((static_cast<uint8_t>(packed[0]) << 8) | static_cast<uint8_t>(packed[1])) % 31, 0);
}

TEST(ZlibStreams, CompressionPositionCountsInput) {
  TMemoryStream packed;
  TZCompressionStream z(packed);
  std::string data(100, 'a');
  z.Write(data.data(), 100);
  EXPECT_EQ(z.Position(), 100);
  EXPECT_EQ(z.Size(), 100);
  char c;
  EXPECT_THROW(z.Read(&c, 1), EZCompressionError);
}

TEST(ZlibStreams, OtherProgramsReadOursAndWeReadTheirs) {
  TempFolder folder;
  const std::string data = RandomText(150000, 3, 16);
  WriteFile(folder.File("ours.z"), Compress(data));
  ASSERT_EQ(RunCommand("zlib-flate -uncompress < " + folder.File("ours.z") + " > " + folder.File("ours.out")), 0);
  EXPECT_EQ(ReadFile(folder.File("ours.out")), data);
  ASSERT_EQ(RunCommand("python3 -c 'import sys, zlib; sys.stdout.buffer.write(zlib.decompress(open(sys.argv[1], \"rb\").read()))' " +
                folder.File("ours.z") + " > " + folder.File("py.out")),
            0);
  EXPECT_EQ(ReadFile(folder.File("py.out")), data);

  WriteFile(folder.File("plain"), data);
  ASSERT_EQ(RunCommand("zlib-flate -compress=9 < " + folder.File("plain") + " > " + folder.File("theirs.z")), 0);
  const std::string theirs = ReadFile(folder.File("theirs.z"));
  EXPECT_EQ(Inflate(theirs), data);
  EXPECT_EQ(ZDecompressBuffer(theirs.data(), theirs.size()), Bytes(data));
}

TEST(ZlibStreams, SourceStandsRightAfterTheCompressedData) {
  const std::string packed = Compress(RandomText(80000, 4));
  TStringStream source("head" + packed + "TAIL");
  source.SetPosition(4);
  Inflate(source);
  EXPECT_EQ(source.Position(), static_cast<int64_t>(4 + packed.size()));
  char tail[4];
  source.Read(tail, 4);
  EXPECT_EQ(std::string(tail, 4), "TAIL");
}

TEST(ZlibStreams, Seeking) {
  const std::string data = RandomText(50000, 5);
  const std::string packed = Compress(data);
  TStringStream source("hdr" + packed);
  source.SetPosition(3);
  TZDecompressionStream z(source);
  char buf[100];
  z.Read(buf, 100);
  EXPECT_EQ(z.Seek(900, soCurrent), 1000);  // forward: read and discarded
  z.Read(buf, 10);
  EXPECT_EQ(std::string(buf, 10), data.substr(1000, 10));
  EXPECT_EQ(z.Seek(20000, soBeginning), 20000);
  EXPECT_THROW(z.Seek(100, soBeginning), EZDecompressionError);  // backwards
  EXPECT_THROW(z.Seek(-1, soCurrent), EZDecompressionError);
  EXPECT_THROW(z.Seek(5, soEnd), EZDecompressionError);
  try {
    z.Write(buf, 1);
    FAIL();
  } catch (const EZDecompressionError& e) {
    EXPECT_EQ(e.Message(), "Invalid ZStream operation!");
  }
  EXPECT_EQ(z.Seek(0, soEnd), 50000);
  // Restarting begins again where the data began, after the three header bytes.
  EXPECT_EQ(z.Seek(0, soBeginning), 0);
  z.Read(buf, 100);
  EXPECT_EQ(std::string(buf, 100), data.substr(0, 100));
  EXPECT_EQ(z.Position(), 100);
}

TEST(ZlibStreams, ProgressOncePerBlock) {
  TMemoryStream packed;
  int compressBlocks = 0;
  {
    TZCompressionStream z(packed, zcNone);
    z.OnProgress = [&](TObject* sender) {
      EXPECT_EQ(sender, &z);
      ++compressBlocks;
    };
    const std::string data = RandomText(200000, 6);
    z.Write(data.data(), static_cast<int32_t>(data.size()));
  }
  EXPECT_EQ(compressBlocks, 3);  // 200 KB stored: three full 64 KB blocks before the final flush
  packed.SetPosition(0);
  TZDecompressionStream z(packed);
  int readBlocks = 0;
  z.OnProgress = [&](TObject*) { ++readBlocks; };
  std::vector<char> out(200000);
  EXPECT_EQ(z.Read(out.data(), 200000), 200000);
  EXPECT_EQ(readBlocks, static_cast<int>((packed.Size() + 65535) / 65536));
}

TEST(ZlibStreams, DamagedDataFails) {
  std::string packed = Compress(RandomText(20000, 7, 8));
  std::string corrupt = packed;
  for (size_t i = 10; i < 40; ++i) corrupt[i] = static_cast<char>(corrupt[i] ^ 0x5A);
  try {
    Inflate(corrupt);
    FAIL();
  } catch (const EZDecompressionError& e) {
    EXPECT_EQ(e.Message(), "data error");
  }
  EXPECT_THROW(ZDecompressBuffer(corrupt.data(), corrupt.size()), EZDecompressionError);
  const std::string bad = "not zlib at all";
  EXPECT_THROW(Inflate(bad), EZDecompressionError);
  EXPECT_THROW(ZDecompressBuffer(bad.data(), bad.size()), EZDecompressionError);

  // A truncated stream: the stream reads what there is, the block routine refuses.
  const std::string truncated = packed.substr(0, packed.size() / 2);
  const std::string partial = Inflate(truncated);
  EXPECT_LT(partial.size(), 20000u);
  try {
    ZDecompressBuffer(truncated.data(), truncated.size());
    FAIL();
  } catch (const EZDecompressionError& e) {
    EXPECT_EQ(e.Message(), "buffer error");
  }
  EXPECT_THROW(ZDecompressBuffer(nullptr, 0), EZDecompressionError);
}

TEST(ZlibStreams, EveryTruncationAndRandomDamageEndsCleanly) {
  const std::string data = RandomText(3000, 8, 5);
  const std::string packed = Compress(data);
  for (size_t length = 0; length < packed.size(); ++length) {
    const std::string cut = packed.substr(0, length);
    std::string partial;
    EXPECT_NO_THROW(partial = Inflate(cut)) << length;
    EXPECT_EQ(partial, data.substr(0, partial.size())) << length;
    EXPECT_THROW(ZDecompressBuffer(cut.data(), cut.size()), EZDecompressionError) << length;
  }
  std::mt19937 generator(9);
  for (int round = 0; round < 300; ++round) {
    std::string damaged = packed;
    for (int flips = 0; flips < 3; ++flips) damaged[generator() % damaged.size()] ^= static_cast<char>(1 + generator() % 255);
    try {
      ZDecompressBuffer(damaged.data(), damaged.size(), 0, 1 << 20);
    } catch (const EZDecompressionError&) {
    }
    try {
      Inflate(damaged);
    } catch (const EZDecompressionError&) {
    }
  }
}

TEST(ZlibStreams, OutputCap) {
  const std::string bomb = Compress(std::string(10 << 20, '\0'));  // 10 MB from a few KB
  EXPECT_THROW(ZDecompressBuffer(bomb.data(), bomb.size(), 0, 1 << 20), EZDecompressionError);
  EXPECT_EQ(ZDecompressBuffer(bomb.data(), bomb.size(), 0, 10 << 20).size(), size_t{10} << 20);

  // An estimate far beyond what the data can expand to is not allocated.
  const std::string tiny = Compress("tiny");
  const std::vector<uint8_t> out = ZDecompressBuffer(tiny.data(), tiny.size(), size_t{1} << 30);
  EXPECT_EQ(out, Bytes("tiny"));
  EXPECT_LT(out.capacity(), size_t{1} << 20);
}

}  // namespace
