// The two-colour test, the expansion of 1-bit rows and channel reordering.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/processing/imageryproc.h"

// An ie1g copy of an image of exactly two colours (clear bits for the darker,
// color0), or null for one colour or more than two.
std::unique_ptr<TIEBitmap> IEConvertTo1BitIfTwoColors(TIEBitmap* bitmap, TRGB& color0, TRGB& color1);
// count 1-bit pixels (most significant bit first) as 3-byte pixels, 255 for a set bit.
void IEExpand1BitRowTo24Bit(const uint8_t* source, uint8_t* dest, int32_t count);
// Dest becomes the 24-bit copy (255 for a set bit) of the 1-bit source;
// progress hears Trunc(rows done x 100 / (height + 0.5)) after each row.
struct TIEProgressRecord;
void IEConvert1BitTBitmapTo24Bit(TBitmap& source, TBitmap& dest, TIEProgressRecord& progress);
// Copies count bits one at a time, most significant bit first.
void IECopyBitsPerBit(uint8_t* dest, const uint8_t* source, int64_t destBit, int64_t sourceBit, int64_t count);
class TIEQuantizer;
// Converts count pixels of a row between 1, 4, 8, 24 and 32 bits: indexes to
// colours through the palette of paletteCount entries (an index beyond it
// gives black), colours to indexes through quantizer. Destinations of 4
// bits are OR-ed into (hand in a zeroed row). Other pairs, and a colour
// conversion without its palette or quantizer, write nothing. Returns the
// destination's byte length by its bit count (0 for other counts).
int32_t IEConvertRowBitCount(const uint8_t* source, uint8_t* dest, uint16_t sourceBits, uint16_t destBits,
                             uint16_t count, const TRGB* palette, int32_t paletteCount,
                             const TIEQuantizer* quantizer);
// Rearranges the channels of ie24RGB and ieRGB48 pixels by a code of three
// of "R", "G", "B", "0" (any case) naming the sources of the new blue, green
// and red; other formats are left alone. False, changing nothing, for any
// other code.
bool IEReorderChannels(TIEBitmap* bitmap, const std::string& order, TObject* sender,
                       const TIEProgressEvent& onProgress);
