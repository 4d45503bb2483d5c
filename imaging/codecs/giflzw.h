// LZW of GIF image data: a code-size byte, then the codes packed least
// significant bit first into data sub-blocks (a length byte and up to 255
// bytes) ending with an empty one. Pixels are palette indexes, one byte
// each, rows top-down; interlaced data holds the rows in four passes (0, 8,
// 16 ...; 4, 12 ...; 2, 6 ...; 1, 3 ...). The routines fit the settings'
// GIFLZWDecoder and GIFLZWEncoder slots.
#pragma once

#include <cstdint>

class TStream;

// Reads one image's LZW data from the stream's position into pixels
// (width x height bytes; those the data does not reach are set to 0). Success leaves the stream after
// the terminating sub-block; a failure puts it back where it was, which is
// how callers tell: a code size outside 2..9, a code beyond the next free
// code, an end code right after a clear code with data still behind it.
// Data that ends early or runs past the last pixel is no failure: decoding
// ends quietly, surplus pixels are dropped.
void DecodeGIFLZW(TStream& stream, int32_t height, int32_t width, bool interlaced, uint8_t* pixels);

// Writes the LZW data of width x height indexes of bitsPerPixel bits each
// (the code size: at least 2, at most 8; higher index bits are ignored):
// the code-size byte, the sub-blocks and the terminator. Short writes raise
// the stream's EWriteError.
void EncodeGIFLZW(TStream& stream, int32_t height, int32_t width, bool interlaced, const uint8_t* pixels,
                  int32_t bitsPerPixel);
