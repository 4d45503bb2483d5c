// Camera raw files: their embedded metadata (a TIFF structure, or the CIFF
// heap of older cameras) and the built-in reader over the raw decoder.
#pragma once

#include <cstdint>

class TStream;
class TIOParamsVals;

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
