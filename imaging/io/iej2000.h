// JPEG 2000 images, as JP2 files (format 13) and bare code streams
// (format 14), over OpenJPEG: the two signature tests, the reader
// (iej2000_read.cpp) and the writer (iej2000_write.cpp). OpenJPEG reads and
// writes the library's own streams through callbacks; nothing goes through
// temporary files.
#pragma once

#include <cstdint>

class TStream;
class TIEBitmap;
class TIOParamsVals;
struct TIEProgressRecord;
struct TIECodecRead;

// One-time set-up (the YCbCr tables); every reader and writer runs it
// first. The shut-down undoes it only when it has run.
void IEInitJpeg2000();
void IEFinalizeJpeg2000();
bool IEJpeg2000Initialized();

// Big-endian 12, "jP  ", 0x0D0A870A: the JP2 signature box. The position stays.
bool IEIsJP2Stream(TStream& stream);
// Start of code stream (0xFF4F) followed by the image and tile size marker
// (0xFF51). The position stays.
bool IEIsJ2KStream(TStream& stream);

// Reads a JP2 file or a code stream from the stream's position. Grey (or an
// unspecified colour space of one or two components) reads into ie1g, ie8g,
// ie16Gray or ie24RGB by precision; sRGB (or unspecified with three or more
// components) and sYCC into ie24RGB. Never raises for bad content: foreign,
// damaged or truncated data, another colour space, a precision outside
// 1..31 and an image larger than the data or the library can hold set the
// abort flag. With paramsOnly the bitmap is not touched.
void IEReadJpeg2000Stream(TStream& stream, TIEBitmap* bitmap, TIOParamsVals& params, TIEProgressRecord& progress,
                          bool paramsOnly);

// Writes an ie1g, ie8g, ie16Gray or ie24RGB bitmap as a JP2 file (format 0)
// or a code stream (format 1): grey for J2000_COLORSPACE 0 and the grey
// formats, else RGB with the alpha channel as a fourth, opacity component
// when it is not all opaque. J2000_RATE r in (0, 1) codes one layer at the
// ratio 1/r, other rates losslessly; J2000_SCALABLEBY 0 and 1 choose
// layer-first and resolution-first progression. Other pixel formats and
// colour spaces abort with nothing written.
void IEWriteJpeg2000Stream(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress,
                           int32_t format);

// The I/O component's entry points.
void IEJpeg2000CodecRead(TIECodecRead& read);
void IEJP2CodecWrite(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress);
void IEJ2KCodecWrite(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress);
