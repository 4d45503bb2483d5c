// The frames the palette writers encode: a bitmap as it is, or a converted
// copy of it that the caller's image never sees.
#pragma once

#include <memory>

#include "imaging/core/ruduvazez_bitmap.h"

// The bitmap when it has the format, else a copy converted to it (kept in owned).
TIEBitmap* IEFrameAs(TIEBitmap& bitmap, TIEPixelFormat format, std::unique_ptr<TIEBitmap>& owned);
// The bitmap when it is ie1g; else an ie1g copy: of an image of two colours
// with the darker as 0 (colors gets both), or converted from any other
// (colors gets black and white).
TIEBitmap* IEBilevelFrame(TIEBitmap& bitmap, std::unique_ptr<TIEBitmap>& owned, TRGB colors[2]);
