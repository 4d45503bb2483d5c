// DICOM pixel codecs. For now: the lossless JPEG decoder (predictive
// coding with Huffman-coded differences, start-of-frame C3) that DICOM
// frames of the lossless JPEG transfer syntaxes carry; the JPEG library we
// link has no lossless process.
#pragma once

#include <cstdint>
#include <functional>

class TObject;
class TStream;

// Percent of the frame's bytes consumed, sent whenever it changes.
using TIELosslessProgress = std::function<void(TObject* sender, void* userData, int32_t percent)>;

// What the caller prepared: width x height samples of components each, rows
// following each other without fill bytes.
struct TIELosslessTarget {
  int32_t Width = 0, Height = 0, Components = 1;
};

// Decodes the lossless JPEG frame of length bytes at the stream's position
// into exactly one of output16 (one component, precision 2..16) or output8
// (precision 2..8; one component, or three interleaved in component order).
// The frame must have the target's width and component count and no more
// lines than its height; otherwise, and on any fault in the data, returns
// false with what was decoded so far left in the output. Samples are
// scaled back by the point transform (shifted left by Pt).
bool IEDecodeLosslessJPEG(TStream& stream, uint16_t* output16, uint8_t* output8, TObject* sender, void* userData,
                          const TIELosslessProgress& callback, int64_t length, const TIELosslessTarget& target);
