// Targa files: colour-mapped, true-colour and grey images of 1 to 32 bits
// per pixel, raw or run-length encoded, with the extension area and footer;
// alpha from 32-bit pixels or 32-bit colour-map entries.
#pragma once

#include <cstdint>

class TStream;
class TIEBitmap;
class TIOParamsVals;
struct TIEProgressRecord;
struct TIECodecRead;

// True when the 18-byte header has image type 1..3 or 9..11, a depth of 1,
// 4, 8, 16, 24 or 32, a colour-map type below 2 and a size above 0; the
// position stays.
bool IEIsTGAStream(TStream& stream);

// Reads from the stream's position into an ie24RGB bitmap (ie1g for 1-bit
// files), alpha into the bitmap's alpha channel unless noMask. Never raises
// for bad content: a foreign header, an image larger than the data could
// hold and data that ends early set the abort flag (the rows read stay).
void IEReadTGAStream(TStream& stream, TIEBitmap* bitmap, TIOParamsVals& params, TIEProgressRecord& progress,
                     bool paramsOnly, bool noMask);

// Writes an ie24RGB or ie1g bitmap (other formats write nothing); the
// bitmap's alpha channel gives a 32-bit file. A short write sets the abort flag.
void IEWriteTGAStream(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress);

// The I/O component's entry points.
void IETgaCodecRead(TIECodecRead& read);
void IETgaCodecWrite(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress);
