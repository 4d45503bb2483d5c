// Light-weight shell helpers.
#pragma once

#include <cstddef>

#include "platform/win/unknwn.h"

// A new read-write stream holding a copy of `size` bytes, positioned at the
// start; null when memory is short. The caller owns the one reference.
IStream* SHCreateMemStream(const BYTE* data, UINT size);
