// PCX images (1, 2, 4 and 8-bit palette images, 2 to 4 planes of bits, and 24-bit
// three-plane images, raw or run-length encoded) and DCX files, which hold
// several PCX images behind a table of page offsets.
#pragma once

#include <cstdint>

class TStream;
class TIEBitmap;
class TIOParamsVals;
struct TIEProgressRecord;
struct TIECodecRead;

// Reads the PCX image of `size` bytes at the stream's position into an ie1g
// (one plane of bits over black and white) or ie24RGB bitmap. Never raises for bad content: a
// foreign header, a layout this reader does not know, a line shorter than
// the width, an image larger than the data could hold and data that ends
// early set the abort flag (rows decoded stay).
void IEReadPCXStream(TStream& stream, TIEBitmap* bitmap, TIOParamsVals& params, bool paramsOnly,
                     TIEProgressRecord& progress, int64_t size);
// Writes an ie24RGB or ie1g bitmap at 1, 4, 8 (palette from TIEQuantizer) or
// 24 bits, as BITSPERSAMPLE x SAMPLESPERPIXEL asks. A short write sets the abort flag.
void IEWritePCXStream(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress);

// True when the DCX magic is there and every page offset lies inside the
// stream; the position stays.
bool IEIsDCXStream(TStream& stream);
// The entries of the page table (at most 1024); the position stays.
int32_t IEGetDCXImageCount(TStream& stream);
// Reads page DCX_IMAGEINDEX (kept inside the pages). A foreign stream, an
// empty page table and a page under 128 bytes set the abort flag.
void IEReadDCXStream(TStream& stream, TIEBitmap* bitmap, TIOParamsVals& params, bool paramsOnly,
                     TIEProgressRecord& progress);
// Rewrites the DCX held in the stream (or an empty stream) with the bitmap
// inserted as page DCX_IMAGEINDEX; an index past the pages appends it. The
// stream is replaced only once the whole new file is built; a stream that
// holds something other than a DCX sets the abort flag and is left alone.
void IEWriteDCXStream(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress);

// The I/O component's entry points.
void IEPcxCodecRead(TIECodecRead& read);
void IEPcxCodecWrite(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress);
void IEDcxCodecRead(TIECodecRead& read);
void IEDcxCodecWrite(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress);
