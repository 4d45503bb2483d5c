// The colour quantizer of the palette writers and of the pixel-format
// conversion: TIEQuantizer makes a palette of at most N colours for an
// image and answers the palette index of any colour. Its ways: the image's
// own palette, a grey ramp, the exact list of few colours, the NeuQuant
// neural network (here) and the box quantizer (stdquant.h).
//
// Sections: exact colours | NeuQuant | quantizer
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "imaging/codecs/stdquant.h"
#include "imaging/core/ruduvazez_bitmap.h"

// ---- exact colours ------------------------------------------------------------------

// The distinct colours of an ie24RGB image in order of first appearance,
// copied into palette entries 0..k-1; empty (palette untouched) when the
// image holds more than colorCount colours or is not ie24RGB.
std::vector<TRGB> CollectExactColors(TIEBitmap& bitmap, int32_t colorCount, TRGB* palette);
// The position of the colour in the list, -1 when absent.
int32_t FindExactColor(const std::vector<TRGB>& list, TRGB color);

// ---- NeuQuant -----------------------------------------------------------------------

struct TIENeuQuant {
  int32_t NetSize = 0;
  int32_t MaxNetPos = 0;
  int32_t InitRad = 0;
  int32_t InitRadius = 0;
  int32_t AlphaDec = 0;
  TIEBitmap* Bitmap = nullptr;
  int64_t LengthCount = 0;  // 3 x width x height
  int32_t SampleFac = 1;
  std::vector<std::array<int32_t, 4>> Network;  // blue, green, red, palette index
  std::array<int32_t, 256> NetIndex{};
  std::vector<int32_t> Bias;
  std::vector<int32_t> Freq;
  std::vector<int32_t> RadPower;
  int32_t Width = 0, Height = 0;
};

// The sampling factor for a quality (-1 automatic, else 0..100) and a pixel count.
int32_t IENeuQuantSampleFactor(int32_t quality, int64_t pixels);
// Trains a network of colorCount (1..256) neurons on an ie24RGB image and
// writes palette entries 0..colorCount-1.
std::unique_ptr<TIENeuQuant> CreateNeuQuant(TIEBitmap& bitmap, TRGB* palette, int32_t quality, int32_t colorCount);
// The palette index of the neuron nearest the colour; -1 when none is nearer than 1000.
int32_t NeuQuantIndexOf(const TIENeuQuant& state, TRGB color);
inline void FreeNeuQuant(std::unique_ptr<TIENeuQuant>& state) { state.reset(); }

// ---- quantizer ------------------------------------------------------------------------

class TIEQuantizer {
public:
  // Builds the palette (room for colorCount entries, kept to 1..256) and the
  // lookup for the bitmap, which must outlive the quantizer and not change.
  // Formats other than ie24RGB, ie8p and the integer greys (ie1g, ie8g,
  // ie16Gray) are quantized from an ie24RGB copy.
  TIEQuantizer(TIEBitmap& bitmap, TRGB* palette, int32_t colorCount);
  ~TIEQuantizer();
  TIEQuantizer(const TIEQuantizer&) = delete;
  TIEQuantizer& operator=(const TIEQuantizer&) = delete;

  // The palette index (0..colorCount-1) that stands for the colour.
  int32_t GetRGBIndex(TRGB color) const;

  bool IsGray() const { return grey_; }
  // 0 NeuQuant, 1 box quantizer; -1 when neither made the palette.
  int32_t Method() const { return neuQuant_ ? 0 : (boxQuantizer_ ? 1 : -1); }
  bool HasExactColors() const { return !exactColors_.empty(); }
  int32_t ColorCount() const { return colorCount_; }

private:
  int32_t NearestIndex(const TRGB* colors, int32_t count, TRGB color) const;

  std::unique_ptr<TIENeuQuant> neuQuant_;
  std::unique_ptr<TIEBoxQuantizer> boxQuantizer_;
  bool grey_ = false;
  std::vector<TRGB> exactColors_;
  std::unordered_map<uint32_t, int32_t> exactIndex_;
  int32_t colorCount_ = 0;
  TIEBitmap* bitmap_ = nullptr;
  std::unique_ptr<TIEBitmap> converted_;  // the ie24RGB copy of another format
  std::vector<TRGB> palette_;             // what was written to the caller's palette
};
