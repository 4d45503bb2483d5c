// Playing metafiles: Windows metafiles (with or without the placeable
// header) and enhanced metafiles drawn onto a DC through this layer's GDI.
//
// The picture's frame (the placeable box of a Windows metafile, the frame
// of an enhanced one) is mapped onto a rectangle of the DC. Records are
// untrusted: every size, count, object index, string and DIB is checked
// against the bytes of its record; a record that does not fit stops the
// play and the call answers false (what was drawn before stays). Comments
// (also those that carry GDI+ records) and records this player does not
// know are skipped.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/win/wintypes.h"

// Plays `size` bytes of a metafile so that its frame fills `rect` (logical
// coordinates of `dc`). The DC's state is as before afterwards.
bool PlayMetafileBits(HDC dc, const uint8_t* data, size_t size, const RECT& rect);
