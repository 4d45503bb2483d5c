// The frames the palette writers encode: a bitmap as it is, or a converted
// copy of it that the caller's image never sees; and the bitmap a reader
// fills when the caller's cannot hold every format.
#pragma once

#include <functional>
#include <memory>

#include "imaging/core/ruduvazez_bitmap.h"

// The bitmap when it has the format, else a copy converted to it (kept in owned).
TIEBitmap* IEFrameAs(TIEBitmap& bitmap, TIEPixelFormat format, std::unique_ptr<TIEBitmap>& owned);
// The bitmap when it is ie1g; else an ie1g copy: of an image of two colours
// with the darker as 0 (colors gets both), or converted from any other
// (colors gets black and white).
TIEBitmap* IEBilevelFrame(TIEBitmap& bitmap, std::unique_ptr<TIEBitmap>& owned, TRGB colors[2]);

// Runs read on the bitmap. A bitmap kept in a framework bitmap holds 1, 8, 24
// and 32-bit pixels only (it takes an ie16Gray allocation as ie8g and refuses
// the other wide formats), so read then fills a bitmap in memory whose image
// comes over in the nearest format it holds: 16-bit grey as 8-bit grey, the
// other wide formats as 24-bit colour.
void IEReadInHeldFormat(TIEBitmap* bitmap, const std::function<void(TIEBitmap*)>& read);
