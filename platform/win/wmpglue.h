// The HD Photo codec library behind the imaging component's WMP decoder and
// encoder. The library's headers define names of their own (GUID, BOOL,
// min, max) that clash with the layer's, so they are included by
// wmpglue.cpp alone; this header speaks in plain types. Decoding runs in a
// child process, as the library does not survive every damaged file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class TOnDemandLibraries;

namespace wmp {

// The codec library, loaded on first use; a program without it reads and
// writes no HD Photo (Decoder::Open and Encode fail).
TOnDemandLibraries& Libraries();

// Where the codec reads and writes its bytes.
class ByteStore {
public:
  virtual ~ByteStore() = default;
  // False when fewer bytes move.
  virtual bool Read(void* buffer, size_t count) = 0;
  virtual bool Write(const void* buffer, size_t count) = 0;
  virtual bool SetPosition(uint64_t position) = 0;
  virtual uint64_t Position() = 0;
  virtual uint64_t Size() = 0;
};

// The pixel layouts the codec reads and writes, as the imaging component names them.
enum class Layout : uint8_t {
  Unknown,
  BlackWhite,  // 1 bit, 1 = white, rows padded to bytes
  Gray8,
  Gray16,
  BGR24,
  RGB24,
  BGR32,   // fourth byte unused
  BGRA32,
  RGBA32,
  RGB48,   // 16-bit samples, host order
  RGBA64,
  CMYK32,  // 0 = no ink
};

// Bits per pixel of a layout (0 for Unknown).
uint32_t BitsPerPixel(Layout layout);

struct FrameInfo {
  int32_t Width = 0, Height = 0;
  float DpiX = 0, DpiY = 0;
  Layout Format = Layout::Unknown;
};

class Decoder {
public:
  // Reads the container and the first frame's header; null when the bytes
  // are not an HD Photo file the codec can take. The store must outlive the decoder.
  static std::unique_ptr<Decoder> Open(ByteStore& store);
  virtual ~Decoder() = default;
  virtual uint32_t FrameCount() = 0;
  virtual bool SelectFrame(uint32_t index) = 0;
  virtual FrameInfo Info() = 0;
  // Decodes the whole frame into rows of `stride` bytes; false on a decoding error.
  virtual bool DecodeAll(uint8_t* pixels, size_t stride) = 0;
};

struct EncodeOptions {
  float ImageQuality = -1;  // 0..1, 1 lossless; below 0: not given
  bool Lossless = false;
  bool UseCodecOptions = false;
  uint8_t Quality = 1;      // quantisation 1 (lossless) .. 255, with UseCodecOptions
  uint8_t Overlap = 1;      // 0 none, 1 one level, 2 two levels
  uint8_t Subsampling = 3;  // 0 grey, 1 4:2:0, 2 4:2:2, 3 4:4:4
  uint16_t HorizontalTileSlices = 0, VerticalTileSlices = 0;
  bool FrequencyOrder = true;
};

// Encodes one frame of rows of `stride` bytes into the store; false when the
// codec refuses the layout, the size or the data.
bool Encode(ByteStore& store, const EncodeOptions& options, Layout format, int32_t width, int32_t height, float dpiX,
            float dpiY, const uint8_t* pixels, size_t stride);

}  // namespace wmp
