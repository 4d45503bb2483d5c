// The PNG codec over libpng: decoding a PNG into an image bitmap with its
// alpha channel and parameters (pngfilt.cpp), and encoding a bitmap with an
// optional transparency mask (pngfiltw.cpp).
#pragma once

#include <cstdint>

class TStream;
class TIEBitmap;
class TIEMask;
class TIOParamsVals;
struct TIEProgressRecord;
struct TIECodecRead;

// Reads from the stream's position. Never raises for bad content: damaged,
// foreign or truncated data sets the abort flag; the bitmap keeps the rows
// decoded. With paramsOnly the bitmap is not touched.
void IEReadPNGStream(TStream& stream, TIEBitmap* bitmap, TIOParamsVals& params, bool paramsOnly,
                     TIEProgressRecord& progress);
// True when the stream starts with the PNG signature's first four bytes; the
// position stays.
bool IEIsPNGStream(TStream& stream);

// Writes the bitmap; mask (may be null) carries the transparency, 255 opaque.
// Raises EInvalidGraphic "Error on creating PNG" when libpng fails; a short
// write sets the abort flag.
void IEWritePNGStream(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEBitmap* mask,
                      TIEProgressRecord& progress);

// The I/O component's entry points.
void IEPngCodecRead(TIECodecRead& read);
void IEPngCodecWrite(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress);
