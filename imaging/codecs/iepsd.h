// Layered documents (version 1) and large documents (version 2, 64-bit
// section lengths): the merged image with its resolution, IPTC records, ICC
// profile, JPEG thumbnail and XMP packet, read and written; channel data
// raw or PackBits-coded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class TStream;
class TIEBitmap;
class TIOParamsVals;
struct TIEProgressRecord;
struct TIECodecRead;

// True when the 26 header bytes start "8BPS" with version 1 or 2, 1..24
// channels, a depth of 1..16 and a colour mode below 10; the position stays.
bool IEIsPSDStream(TStream& stream);

// Reads the merged image into the bitmap (ie24RGB unless ISNATIVEPIXELFORMAT
// keeps the file's format: ie1g, ie8g, ie8p, ie16Gray, ieRGB48, ieCMYK,
// ieCIELab), alpha into its alpha channel; with GETTHUMBNAIL the embedded
// thumbnail stands for the image. Never raises for bad content: a foreign
// header, a compression or a depth and mode this reader does not know,
// sizes beyond what the data could hold and data that ends early set the
// abort flag (rows decoded stay).
void IEReadPSDStream(TStream& stream, TIEBitmap* bitmap, TIOParamsVals& params, TIEProgressRecord& progress,
                     bool paramsOnly = false);

// Writes the bitmap as the merged image of a document without layers (a
// large document with PSDLargeDocument), every channel PackBits-coded. A
// pixel format without a colour mode (ie32f, none) sets the abort flag and
// writes nothing.
void IEWritePSDStream(TStream& stream, TIOParamsVals& params, TIEProgressRecord& progress, TIEBitmap& bitmap);

// PackBits: a header byte n below 128 copies n + 1 bytes, from 129 repeats
// the next byte 257 - n times, and 128 is passed over. Decodes into at most
// `size` bytes of out and returns the bytes used of the input.
size_t IEPackBitsDecode(const uint8_t* in, size_t inSize, uint8_t* out, size_t size);
// Appends the PackBits coding of the bytes to out: runs of 4 or more equal
// bytes (up to 128) as repeats, the rest in literal runs of up to 128.
void IEPackBitsEncode(const uint8_t* in, size_t size, std::vector<uint8_t>& out);

// The I/O component's entry points.
void IEPsdCodecRead(TIECodecRead& read);
void IEPsdCodecWrite(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress);
