#include "tests/imaging/io/io_test_support.h"

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "imaging/core/ruduvazez_startup.h"
#include "platform/rtl/files.h"

namespace iotest {

std::atomic<int32_t> inFlight{0}, mostInFlight{0};
std::atomic<bool> readerRaises{false};

namespace {

uint32_t Load32(const uint8_t* p) { return p[0] | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24; }

void Put32(std::string& s, uint32_t v) {
  for (int i = 0; i < 4; ++i) s += static_cast<char>(v >> (8 * i));
}

struct InFlight {
  InFlight() {
    const int32_t now = ++inFlight;
    int32_t most = mostInFlight.load();
    while (now > most && !mostInFlight.compare_exchange_weak(most, now)) {
    }
    std::this_thread::yield();
  }
  ~InFlight() { --inFlight; }
};

bool IsTest(TStream& stream) {
  const int64_t position = stream.Position();
  char magic[4] = {};
  const bool yes = stream.Read(magic, 4) == 4 && std::memcmp(magic, "TSTC", 4) == 0;
  stream.SetPosition(position);
  return yes;
}

void ReadTest(TIECodecRead& read) {
  InFlight guard;
  if (readerRaises) throw Exception("reader failed");
  uint8_t header[12];
  if (read.Stream.Read(header, 12) != 12 || std::memcmp(header, "TSTC", 4) != 0) return read.Progress.Abort();
  const int64_t width = Load32(header + 4), height = Load32(header + 8);
  read.Params.WIDTH = static_cast<int32_t>(width);
  read.Params.HEIGHT = static_cast<int32_t>(height);
  read.Params.SetDpiX(1);  // the reader's resolution: below 2
  read.Params.SetDpiY(1);
  read.PageCount = 1;
  if (read.ParamsOnly) return;
  if (width == 0 || height == 0 || width * height * 3 > read.Size - 12) return read.Progress.Abort();
  read.Bitmap->Allocate(static_cast<int32_t>(width), static_cast<int32_t>(height), ie24RGB);
  for (int32_t y = 0; y < height; ++y) {
    if (read.Stream.Read(read.Bitmap->GetScanline(y), static_cast<int32_t>(width * 3)) != width * 3)
      return read.Progress.Abort();
    read.Progress.Report(static_cast<int32_t>((y + 1) * 100 / height));
  }
}

void WriteTest(TStream& stream, TIEBitmap& bitmap, TIOParamsVals&, TIEProgressRecord&) {
  InFlight guard;
  std::string header = "TSTC";
  Put32(header, static_cast<uint32_t>(bitmap.GetWidth()));
  Put32(header, static_cast<uint32_t>(bitmap.GetHeight()));
  stream.WriteBuffer(header.data(), 12);
  for (int32_t y = 0; y < bitmap.GetHeight(); ++y) stream.WriteBuffer(bitmap.GetScanline(y), bitmap.GetWidth() * 3);
}

const TIECodecEntry kTestCodecs[] = {
    {1, ReadTest, WriteTest, IsTest, TIESaveFormats::RGB24OrBilevel, true, true, nullptr, "TIFF"},
    {15, nullptr, nullptr, IEIsAVIStream, TIESaveFormats::Any, false, false, nullptr, nullptr},
};

}  // namespace

std::string MakeImage(int32_t width, int32_t height) {
  std::string s = "TSTC";
  Put32(s, static_cast<uint32_t>(width));
  Put32(s, static_cast<uint32_t>(height));
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      s += static_cast<char>(x);
      s += static_cast<char>(y);
      s += static_cast<char>(x + y);
    }
  return s;
}

namespace {

// Removes the process's folder when the tests end.
struct TFolderCleanup {
  std::string folder;
  ~TFolderCleanup() {
    std::error_code ignored;
    if (!folder.empty()) std::filesystem::remove_all(folder, ignored);
  }
};

}  // namespace

std::string TempFolder() {
  // One folder per test process: tests run in parallel processes.
  static TFolderCleanup cleanup;
  std::string folder = std::string(::testing::TempDir());
  if (folder.empty() || folder.back() != '/') folder += '/';
  folder += "vesk-io-" + std::to_string(::getpid()) + "/";
  std::filesystem::create_directories(folder);
  cleanup.folder = folder;
  return folder;
}

std::string WriteTempFile(const std::string& name, const std::string& contents) {
  const std::string path = TempFolder() + name;
  std::ofstream(path, std::ios::binary) << contents;
  return path;
}

std::string ReadFile(const std::string& fileName) {
  std::ifstream in(fileName, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void IOTest::SetUp() {
  IELibraryInitialize();
  IEInitializeImageryIO();
  IESetCodecTable(kTestCodecs);
  inFlight = mostInFlight = 0;
  readerRaises = false;
}

void IOTest::TearDown() {
  IESetCodecTable({});
  IEFinalizeImageryIO();
  IELibraryFinalize();
}

}  // namespace iotest
