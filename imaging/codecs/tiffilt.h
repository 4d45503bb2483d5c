// The TIFF codec: reading one page (image file directory) of a classic or
// BigTIFF file held in a stream into an image bitmap and its parameters,
// the content test and the page count.
//
// Sections: reading | format test and page count | the I/O component's entry points
#pragma once

#include <cstdint>

class TStream;
class TIEBitmap;
class TIOParamsVals;
struct TIEProgressRecord;
struct TIECodecRead;

// ---- reading ----------------------------------------------------------------------

// What IEReadTIFFStream is asked to do besides decoding.
struct TIETIFFReadOptions {
  bool ParamsOnly = false;          // tags only; the bitmap is not touched
  bool RelativeToPosition = true;   // offsets count from the stream's position at the call
  bool NoAlpha = false;             // extra samples are not loaded as alpha
};

// Reads the directory of params.TIFF_IMAGEINDEX. pageCount becomes the
// number of directories of the chain (a chain that loops ends there).
// Never raises: a bad header, damaged or truncated data and layouts this
// reader cannot decode set the progress record's abort flag.
void IEReadTIFFStream(TStream& stream, TIEBitmap* bitmap, int32_t& pageCount, TIOParamsVals& params,
                      TIEProgressRecord& progress, const TIETIFFReadOptions& options);

// ---- format test and page count ------------------------------------------------------

// A TIFF or BigTIFF header whose first directory holds ImageWidth and
// ImageLength; the position stays.
bool IEIsTIFFStream(TStream& stream);
// The number of directories from the stream's position; 0 for a bad header.
int32_t IEGetTIFFImageCount(TStream& stream);

// ---- the I/O component's entry points ------------------------------------------------

void IETiffCodecRead(TIECodecRead& read);
void IETiffCodecWrite(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress);

// ---- writing ----------------------------------------------------------------------

// Writes the bitmap as a new little-endian TIFF of one page at the stream's
// position, compressed as params.TIFF_COMPRESSION says (0 none, 5 LZW,
// 8 PackBits, 9 and 10 deflate; for 1-bit images 1 Modified Huffman, 2 and
// 3 Group 3 1-D and 2-D, 4 Group 4 in the fill order of TIFF_FILLORDER,
// other images written uncompressed then; others write LZW). Returns the pages
// written (1), or 0 with the abort flag set when the pixel format cannot
// be written or a write fails.
int32_t IEWriteTIFFStream(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress);
