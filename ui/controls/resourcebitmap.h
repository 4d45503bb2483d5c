// Bitmaps the controls carry among the program's resources (type BITMAP,
// each a whole .bmp file), found by name without regard to case.
#pragma once

#include <string>

#include "platform/forms/graphics.h"

// Loads the named bitmap into `bitmap`; false (and the bitmap left as it
// was) when the program has no such resource or it does not decode.
bool LoadResourceBitmap(TBitmap* bitmap, const std::string& name);
