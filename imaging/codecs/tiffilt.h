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
// An HD Photo container at the position (which stays).
bool IEIsHDPhotoStream(TStream& stream);
// The number of directories from the stream's position; 0 for a bad header.
int32_t IEGetTIFFImageCount(TStream& stream);

// ---- the I/O component's entry points ------------------------------------------------

void IETiffCodecRead(TIECodecRead& read);
void IETiffCodecWrite(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress);

// ---- writing ----------------------------------------------------------------------

// Writes the bitmap as a new little-endian TIFF of one page at the stream's
// position, compressed as params.TIFF_COMPRESSION says (0 none, 5 LZW with
// the predictor for 8-bit RGB, 8 PackBits, 9 and 10 deflate at the level of
// TIFF_ZIPCOMPRESSION; 6 old-style and 7 JPEG in the colour space of
// TIFF_JPEGCOLORSPACE at TIFF_JPEGQUALITY; for 1-bit images 1 Modified
// Huffman, 2 and 3 Group 3 1-D and 2-D, 4 Group 4 in the fill order of
// TIFF_FILLORDER, other images written uncompressed then; others write
// LZW), in TIFF_STRIPCOUNT strips or strips of about 512 KiB.
// BITSPERSAMPLE, SAMPLESPERPIXEL and TIFF_PHOTOMETINTEPRET choose what a
// 24-bit image becomes: one sample of 2 to 8 or 16 bits a palette page of
// the quantizer's colours (grey when the image is grey), one bit a 1-bit
// page of its two colours (or of the bitmap's 1-bit conversion), CMYK (5)
// and CIE Lab (7) pages through the library's colour conversion; a 1-bit
// image is written at one bit only when they ask for one sample of one
// bit. Other formats are written in their own layout. The settings are
// brought to what was written.
// With insert, the stream holds a little-endian TIFF or BigTIFF from its
// position and the page goes before page TIFF_IMAGEINDEX, or after the
// last; the new directory takes the file's layout. Returns the pages the
// file has afterwards, or 0 with the abort flag set when the pixel format
// cannot be written, a write fails, or the file to insert into is not
// little-endian, is damaged or its chain loops (nothing written then).
int32_t IEWriteTIFFStream(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress,
                          bool insert = false);
