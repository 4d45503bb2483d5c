// The LZW compressor shared by the TIFF and GIF encoders: strings are found
// by open hashing in a 5003-slot table, codes are packed into a bit
// accumulator and leave in blocks of 254 bytes. The two formats differ only
// in the few numbers of TIELZWLayout.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

class TStream;

// What sets the TIFF and GIF code streams apart.
struct TIELZWLayout {
  int32_t CodeLimit;  // new strings get codes while the next free code is below this
  int32_t TopCode;    // the largest code of the 12-bit width
  bool MSBFirst;      // codes fill bytes from the top (TIFF) or from the bottom (GIF)
  bool EarlyChange;   // the width grows one code early (TIFF)
  bool SubBlocks;     // each block is written after its length byte (GIF)
};

inline constexpr TIELZWLayout IETIFFLZWLayout{4094, 4095, true, true, false};
inline constexpr TIELZWLayout IEGIFLZWLayout{4096, 4096, false, false, true};

class TIELZWCompressor {
public:
  // codeSize: bits of one input symbol; the clear code is 2^codeSize, the end
  // code follows it and codes start one bit wider. Writes nothing yet.
  TIELZWCompressor(const TIELZWLayout& layout, int32_t codeSize, TStream& stream);

  // Where the following output goes (the TIFF encoder is handed its stream
  // with every piece).
  void SetStream(TStream& stream) { stream_ = &stream; }
  // Empties the string table and writes the clear code.
  void Start();
  // Compresses one more input symbol (below 2^codeSize).
  void Put(uint8_t symbol);
  // Writes the pending string's code and the end code, then every bit and
  // byte still held.
  void Finish();

private:
  static constexpr int32_t kHashSize = 5003;  // a prime
  static constexpr int32_t kHashShift = 4;
  static constexpr size_t kBlockSize = 254;

  void ClearTable();
  void Output(int32_t code);
  void PutByte(uint8_t value);
  void FlushBlock();

  const TIELZWLayout& layout_;
  TStream* stream_;
  const int32_t initialWidth_, clearCode_, endCode_;
  int32_t width_, largestCode_, nextFree_;
  int32_t prefix_ = -1;  // code of the string matched so far; -1 before the first symbol
  bool clearPending_ = false;
  uint32_t accumulator_ = 0;
  int32_t bitCount_ = 0;
  std::array<int32_t, kHashSize> keys_;
  std::array<uint16_t, kHashSize> codes_;
  std::array<uint8_t, kBlockSize + 1> block_;  // room for the GIF length byte in front
  size_t blockCount_ = 0;
};
