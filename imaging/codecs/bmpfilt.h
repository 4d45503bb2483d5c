// The bitmap family of codecs: Windows and OS/2 bitmaps with their
// run-length coding (bmpfilt_bmp.cpp, bmpfilt_rle.cpp), icon and cursor
// files (bmpfilt_ico.cpp), the portable any-map and wireless bitmaps
// (bmpfilt_pnm.cpp), headerless raw pixels and the metafile tests
// (bmpfilt_raw.cpp), and the I/O component's entry points
// (bmpfilt_entries.cpp).
//
// Readers never raise for bad content: damaged, foreign or truncated data
// sets the progress record's abort flag, and no reader allocates more than
// the data in the stream could fill.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "imaging/core/ruduvazez.h"

class TStream;
class TIEBitmap;
class TIEMask;
class TIOParamsVals;
struct TIEProgressRecord;
struct TIECodecRead;
struct TIEIconSize;

// ---- BMP ---------------------------------------------------------------------------

// Reads a bitmap file (or, with noFileHeader or ISRESOURCE, a bare bitmap
// starting at its information header) from the stream's position. size is
// the number of bytes of the bitmap in the stream (0 or less: not given).
// 32-bit files put their fourth bytes into alphaMask (created when null,
// reset when it would carry no transparency) unless ignoreAlpha is set.
void IEReadBMPStream(TStream& stream, TIEBitmap* bitmap, int64_t size, TIOParamsVals& params,
                     TIEProgressRecord& progress, bool paramsOnly, bool noFileHeader,
                     std::unique_ptr<TIEMask>& alphaMask, bool ignoreAlpha);
// Writes the bitmap as a bitmap file at the stream's position; saveAlpha
// writes the alpha channel into the fourth bytes of 32-bit files.
void IEWriteBMPStream(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress,
                      bool saveAlpha);

// ---- BMP run-length coding ------------------------------------------------------------

// Decode dataSize bytes of RLE8 or RLE4 data into the allocated bitmap
// (ie24RGB: the palette's colour of each index, paletteCount entries,
// others black; ie8p: the index). rowBase 0: the first row of the data is
// the bottom row; height-1: the top row.
bool IEDecodeBMPRLE8(TIEBitmap& bitmap, const uint8_t* data, int64_t dataSize, int32_t rowBase,
                     TIEProgressRecord& progress, const TRGB* palette, int32_t paletteCount);
bool IEDecodeBMPRLE4(TIEBitmap& bitmap, const uint8_t* data, int64_t dataSize, int32_t rowBase,
                     TIEProgressRecord& progress, const TRGB* palette, int32_t paletteCount);
// Encode count indexes (one per byte) into output, which must hold
// 2 x count + 2 bytes; returns the bytes produced, end of line included.
int32_t IEEncodeBMPRLE8Row(const uint8_t* indexes, int32_t count, uint8_t* output);
int32_t IEEncodeBMPRLE4Row(const uint8_t* indexes, int32_t count, uint8_t* output);

// ---- icons and cursors -----------------------------------------------------------------

bool IEIsICOStream(TStream& stream);
bool IEIsCURStream(TStream& stream);
// The header's image count; the position stays.
int32_t IEGetICOImageCount(TStream& stream);
// Reads image ICO_IMAGEINDEX (CUR_IMAGEINDEX); the mask as for BMP.
void IEReadICOStream(TStream& stream, TIEBitmap* bitmap, TIOParamsVals& params, bool paramsOnly,
                     TIEProgressRecord& progress, std::unique_ptr<TIEMask>& alphaMask, bool ignoreAlpha,
                     bool strict256);
void IEReadCURStream(TStream& stream, TIEBitmap* bitmap, TIOParamsVals& params, bool paramsOnly,
                     TIEProgressRecord& progress, std::unique_ptr<TIEMask>& alphaMask, bool ignoreAlpha);
// One icon image per size, each of the matching bit count.
void IEWriteICOStream(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress,
                      const TIEIconSize* sizes, const int32_t* bitCounts, int32_t count);

// ---- PNM and WBMP -----------------------------------------------------------------------

bool IEIsPNMStream(TStream& stream);
void IEReadPNMStream(TStream& stream, TIEBitmap* bitmap, TIOParamsVals& params, TIEProgressRecord& progress,
                     bool paramsOnly);
void IEWritePNMStream(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress);
void IEReadWBMPStream(TStream& stream, TIEBitmap* bitmap, TIOParamsVals& params, TIEProgressRecord& progress,
                      bool paramsOnly);
void IEWriteWBMPStream(TStream& stream, TIEBitmap& bitmap, TIEProgressRecord& progress);

// ---- headerless pixels and metafiles ------------------------------------------------------

// Fills the allocated bitmap from pixel data laid out as the BMPRAW_
// parameters describe. Raises EIEException "Format unsupported" for
// hexadecimal text into ie32f.
void IEReadRawBitmapStream(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress);
bool IEIsEMFStream(TStream& stream);
bool IEIsWMFStream(TStream& stream);

// ---- the I/O component's entry points -------------------------------------------------------

void IEBmpCodecRead(TIECodecRead& read);
void IEBmpCodecWrite(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress);
void IEIcoCodecRead(TIECodecRead& read);
void IEIcoCodecWrite(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress);
void IECurCodecRead(TIECodecRead& read);
void IEPnmCodecRead(TIECodecRead& read);
void IEPnmCodecWrite(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress);
void IEWbmpCodecRead(TIECodecRead& read);
void IEWbmpCodecWrite(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress);
void IERawBitmapCodecRead(TIECodecRead& read);
