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
// Rearranges the channels of ie24RGB and ieRGB48 pixels by a code of three
// of "R", "G", "B", "0" (any case) naming the sources of the new blue, green
// and red; other formats are left alone. False, changing nothing, for any
// other code.
bool IEReorderChannels(TIEBitmap* bitmap, const std::string& order, TObject* sender,
                       const TIEProgressEvent& onProgress);
