// Camera raw files: their embedded metadata (a TIFF structure, or the CIFF
// heap of older cameras) and the built-in reader over the raw decoder.
#pragma once

#include <cstdint>

class TOnDemandLibraries;
class TStream;
class TIEBitmap;
class TIOParamsVals;
struct TIEProgressRecord;
struct TIECodecRead;

// Reads the camera-raw file of the stream (position 0 = its start) into an
// ie24RGB bitmap, or ieRGB48 when ISNATIVEPIXELFORMAT is set, under the
// RAW_ parameters. With RAW_GETEXIFTHUMBNAIL the embedded preview is the
// image when the file has one. A file the decoder does not take sets the
// progress record's abort flag and leaves the bitmap as it was.
// LibRaw's module, loaded when a program first looks at a camera-raw file;
// without it no file is a camera-raw one and reads fail.
TOnDemandLibraries& IERawDecoderModule();

void IEReadRAWStream(TStream& stream, TIEBitmap* bitmap, TIOParamsVals& params, TIEProgressRecord& progress,
                     bool paramsOnly);
// The decoder takes the stream; the position is kept.
bool IEIsRAWStream(TStream& stream);
// The codec table's reader of camera raw.
void IERawCodecRead(TIECodecRead& read);
// Turns an ie24RGB or ieRGB48 image of a sensor whose pixels lie on a
// 45-degree grid (the outline a diamond touching the first row) upright.
// An image without such an outline stays as it is.
void IEUnfoldRAW45(TIEBitmap& bitmap);

// The metadata of a camera-raw file from the stream's position 0: EXIF, XMP
// and thumbnail of its embedded TIFF structure with the resolution they
// give, or, without a TIFF header in the first 128 KB, its CIFF heap.
void IEReadRawFileMetadata(TStream& stream, TIOParamsVals& params);

// The CIFF heap ("HEAPCCDR") from the stream's position 0: names, the EXIF
// image size, the maker note's records and, as the EXIF thumbnail, the
// smallest embedded JPEG. A file with neither byte-order mark nor signature
// leaves params unchanged. Tables nest at most 16 deep and each stays
// inside its parent; every read is bounded by the heap. Always 0.
int32_t IEReadCIFFMetadata(TStream& stream, TIOParamsVals& params);
