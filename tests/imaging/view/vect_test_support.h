// What the vector view tests share: a library-started fixture, a byte
// builder for hand-made vector streams of any version, and deflating.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "imaging/core/iezlib.h"
#include "imaging/view/ievect.h"
#include "platform/rtl/streams.h"
#include "tests/imaging/view/layer_test_support.h"

namespace vecttest {

// Little-endian fields appended to a byte string.
struct Bytes {
  std::string s;
  template <typename T>
  Bytes& put(T v) {
    s.append(reinterpret_cast<const char*>(&v), sizeof v);
    return *this;
  }
  Bytes& i32(int32_t v) { return put(v); }
  Bytes& u8(uint8_t v) { return put(v); }
  Bytes& f64(double v) { return put(v); }
  Bytes& raw(const std::string& b) {
    s += b;
    return *this;
  }
  Bytes& zeros(size_t n) {
    s.append(n, '\0');
    return *this;
  }
};

inline bool From(char version, char v) { return static_cast<uint8_t>(version) >= static_cast<uint8_t>(v); }

// The common head of an object record of the version, with no user data.
inline Bytes RecordHead(char version, uint8_t kind, int32_t x1 = 1, int32_t y1 = 2, int32_t x2 = 30, int32_t y2 = 20) {
  Bytes b;
  if (From(version, '<')) b.i32(0);
  b.i32(x1).i32(y1).i32(x2).i32(y2).u8(kind);
  if (From(version, 'M')) b.u8(0);
  if (From(version, 'R')) b.u8(0);
  if (From(version, 'S')) b.i32(0);
  if (From(version, '=')) b.u8(0).f64(3.0).i32(0).i32(0);
  if (From(version, 'O')) b.i32(100).u8(0).u8(0).u8(0);
  b.i32(0);                                             // name
  b.i32(0).i32(0x0000FF).u8(0).i32(1).i32(0xFFFFFF).u8(1).u8(15);  // tag, pen, brush, style
  if (From(version, '=')) b.i32(255);
  if (From(version, '@')) b.u8(0);
  if (From(version, 'Q')) b.u8(0);
  if (From(version, 'I')) b.i32(0);
  return b;
}

// A box record (kind 2) of the version: the head and the editable flag.
inline Bytes BoxRecord(char version, int32_t x1 = 1, int32_t y1 = 2, int32_t x2 = 30, int32_t y2 = 20) {
  Bytes b = RecordHead(version, ievkBox, x1, y1, x2, y2);
  if (From(version, 'J')) b.u8(1);
  return b;
}

inline std::string Deflate(const std::string& bytes) {
  TMemoryStream out;
  {
    TZCompressionStream z(out, zcDefault);
    if (!bytes.empty()) z.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
    z.Finish();
  }
  return std::string(static_cast<const char*>(out.Memory()), static_cast<size_t>(out.Size()));
}

// A whole vector stream: header, pool bytes (count included), the block of
// records (count included) deflated; the length field patched.
inline std::string VectorStream(const std::string& records, char version = 'U', const std::string& pool = Bytes().i32(0).s,
                                double scale = 1.0) {
  Bytes b;
  b.raw("IEV").u8(static_cast<uint8_t>(version)).i32(0);
  if (version == '1')
    b.i32(static_cast<int32_t>(scale));
  else
    b.f64(scale);
  b.raw(pool).raw(Deflate(records));
  const auto length = static_cast<int32_t>(b.s.size());
  std::memcpy(b.s.data() + 4, &length, 4);
  return b.s;
}

// With VESK_SEED_DIR set, the streams the tests read are kept there as
// seeds of the fuzzing harness named.
inline void KeepSeed(const std::string& harness, const std::string& bytes) {
  const char* dir = std::getenv("VESK_SEED_DIR");
  if (!dir) return;
  static int32_t counter = 0;
  const std::string folder = std::string(dir) + "/" + harness;
  std::filesystem::create_directories(folder);
  std::ofstream(folder + "/t" + std::to_string(counter++), std::ios::binary) << bytes;
}

inline std::string Contents(TMemoryStream& s) {
  return std::string(static_cast<const char*>(s.Memory()), static_cast<size_t>(s.Size()));
}

class VectTest : public layertest::LibraryTest {
protected:
  void SetUp() override {
    LibraryTest::SetUp();
    view = new TImageryVect(nullptr);
    view->SetLegacyBitmap(false);
  }
  void TearDown() override {
    delete view;
    LibraryTest::TearDown();
  }
  // Reads bytes into the view.
  bool Read(const std::string& bytes, bool append = false) {
    KeepSeed("fuzz_vectorstream", bytes);
    TIEMemStream stream(bytes.data(), static_cast<int64_t>(bytes.size()));
    return view->ReadVectorStream(stream, append);
  }
  TImageryVect* view = nullptr;
};

}  // namespace vecttest
