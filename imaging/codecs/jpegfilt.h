// The JPEG codec over libjpeg: decoding a baseline or progressive JPEG into
// an image bitmap with its parameters, encoding a bitmap as JPEG, the
// markers that survive a load and save (with the image's metadata and its
// ICC profile in "ICC_PROFILE" chunks), and two stream utilities.
//
// Sections: exception | reading | writing | stream utilities | ICC chunks |
// the I/O component's entry points
#pragma once

#include <cstdint>

#include "platform/rtl/exceptions.h"

class TStream;
class TIEBitmap;
class TIOParamsVals;
struct TIEProgressRecord;
struct TIECodecRead;

// ---- exception -------------------------------------------------------------------

// Raised by the writer when libjpeg reports an error (after the abort flag).
RTL_DECLARE_EXCEPTION(EIEJpegException, Exception);

// ---- reading ----------------------------------------------------------------------

// What IEReadJPEGStream is asked to do besides decoding.
struct TIEJpegReadOptions {
  TStream* TablesStream = nullptr;  // abbreviated tables (JPEG inside TIFF)
  bool ParamsOnly = false;          // header and markers only; the bitmap is not touched
  bool KeepYCbCr = false;           // YCbCr samples delivered unconverted
  bool ReadMetadata = true;         // IPTC, EXIF, XMP and annotations from the markers
  bool InvertCMYK = false;          // CMYK not stored inverted (JPEG inside TIFF)
  bool ReleaseICC = true;           // after a colour-managed decode: drop the ICC chunks
  bool ReadICC = true;              // collect the embedded profile first
  int32_t MaxRows = -1;             // rows to decode; negative: all
  bool NativePixelFormat = false;   // grey, RGB or CMYK bitmap as the file is coded
  // Three components: -1 colour-transformed as the markers say, 0 stored as
  // RGB, 1 stored as YCbCr whatever the markers say.
  int8_t ColorTransform = -1;
};

// Decodes the JPEG found within 150 bytes of the stream's position. Never
// raises: damaged, foreign or truncated data sets the progress record's
// abort flag, and the bitmap keeps the rows decoded. Returns the rows
// decoded (0 for parameters only and for a returned EXIF thumbnail).
int32_t IEReadJPEGStream(TStream& stream, TIEBitmap* bitmap, TIOParamsVals& params, TIEProgressRecord& progress,
                         const TIEJpegReadOptions& options);

// ---- writing ----------------------------------------------------------------------

// What IEWriteJPEGStream is asked to do besides encoding.
struct TIEJpegWriteOptions {
  bool InvertCMYK = false;  // CMYK coded with 0 as no ink (JPEG inside TIFF)
};

// Encodes the whole bitmap (a copy when it is not 24-bit; CMYK images coded
// as CMYK or YCCK keep their samples) with the markers of the parameters.
// Raises EIEJpegException on a library error; a short write or an empty
// bitmap only sets the abort flag.
void IEWriteJPEGStream(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress,
                       const TIEJpegWriteOptions& options = {});

// ---- stream utilities -------------------------------------------------------------

// The position of FF D8 FF: without search 0 when it stands at the current
// position, else -1; with search the absolute position of the first one
// within 150 bytes from the current position, else -1. The position stays.
int64_t IEFindJPEGSOI(TStream& stream, bool search);
// Bytes from the position through the first end marker (or the stream's
// end), walking the marker segments; the position stays.
int64_t IEGetJPEGLength(TStream& stream);

// ---- ICC chunks --------------------------------------------------------------------

// Joins the "ICC_PROFILE" chunks of the JPEG at the position into the
// parameters' input profile; the position stays.
void IEReadJPEGICCProfile(TStream& stream, TIOParamsVals& params);
// Replaces the APP2 markers of the parameters by the chunks of the input
// profile (at most 32,000 profile bytes each).
void IEICCProfileToJPEGMarkers(TIOParamsVals& params);

// ---- the I/O component's entry points ------------------------------------------------

void IEJpegCodecRead(TIECodecRead& read);
void IEJpegCodecWrite(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress);
bool IEJpegIsFormat(TStream& stream);
