// What the built-in camera-raw reader asks of LibRaw. LibRaw and the stages
// run over it live in a module of their own (rawdecoder.cpp), loaded when a
// program first looks at a camera-raw file, so that programs that never do
// are spared mapping LibRaw and its OpenMP run-time. The module and the
// program share these plain types and call each other through virtual
// functions only.
#pragma once

#include <cstdint>

// The file: its size and bytes at a position (the number read).
class TIERawSource {
public:
  virtual int64_t Size() = 0;
  virtual int64_t ReadAt(int64_t position, uint8_t* buffer, int64_t count) = 0;

protected:
  ~TIERawSource() = default;
};

// Told the share done while decoding (70 after the white balance, 85 after
// the conversion to RGB).
class TIERawProgress {
public:
  virtual void Report(int32_t percent) = 0;

protected:
  ~TIERawProgress() = default;
};

struct TIERawSettings {
  bool FourColorRGB = false, UseAutoWB = false, UseCameraWB = false, HalfSize = false;
  float RedScale = 1, BlueScale = 1;  // multiplied into the white balance
};

// What identification tells of the file.
struct TIERawFacts {
  char Make[64], Model[64], Model2[64];  // as the file names them, not always ended by a zero
  int32_t Width, Height;                 // of the sensor's image
  double PixelAspect;
  bool Fuji;
};

// A decoded pixel: red, green, blue and magnitude.
using TIERawPixel = uint16_t[4];

// One file: identified by Open, then decoded to one RGB pixel of four
// 16-bit values per sensor site (the fourth is half the length of the RGB
// vector, counted by eighths in the histogram).
class TIERawDecoder {
public:
  static constexpr int32_t kHistogramSize = 0x2000;

  virtual ~TIERawDecoder() = default;
  // False when LibRaw does not recognise the file.
  virtual bool Open(TIERawSource& source, const TIERawSettings& settings) = 0;
  virtual TIERawFacts Facts() = 0;
  // Unpacks and converts; false when the data is damaged, memory runs out
  // or the decode is cancelled.
  virtual bool Decode(TIERawProgress& progress) = 0;
  // The decoded image (valid until FreeImage), its columns to trim on each
  // side, and whether it is a 45-degree sensor's, still folded.
  virtual int32_t Width() = 0;
  virtual int32_t Height() = 0;
  virtual const TIERawPixel* Image() = 0;
  virtual const uint32_t* Histogram() = 0;
  virtual int32_t Trim() = 0;
  virtual bool FujiRotated() = 0;
  virtual void FreeImage() = 0;
};

// The module's one export: a new decoder, deleted by the caller.
extern "C" TIERawDecoder* VeskCreateRawDecoder();
