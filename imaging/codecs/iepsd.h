// Layered documents (version 1) and large documents (version 2, 64-bit
// section lengths): the merged image with its resolution, IPTC records, ICC
// profile, JPEG thumbnail and XMP packet, read and written; channel data
// raw or PackBits-coded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "imaging/core/ruduvazez_bitmap.h"

class TStream;
class TIOParamsVals;
struct TIEProgressRecord;
struct TIECodecRead;

// One layer of a document as the codec reads and writes it; the view's
// layers convert to and from it. A mask layer (MaskOfPrevious) holds the
// user mask of the layer before it as 8-bit grey.
struct TIEPSDLayer {
  std::unique_ptr<TIEBitmap> Bitmap;
  int32_t PosX = 0, PosY = 0;
  double Opacity = 1.0;
  bool Visible = true;
  bool ClipToBackground = true;
  bool MaskOfPrevious = false;
  std::string Name;
};

// True when the 26 header bytes start "8BPS" with version 1 or 2, 1..24
// channels, a depth of 1..16 and a colour mode below 10; the position stays.
bool IEIsPSDStream(TStream& stream);

// Reads the merged image into the bitmap (ie24RGB unless ISNATIVEPIXELFORMAT
// keeps the file's format: ie1g, ie8g, ie8p, ie16Gray, ieRGB48, ieCMYK,
// ieCIELab), alpha into its alpha channel. The embedded ICC profile goes
// with native pixels; otherwise, with ApplyEmbeddedICC, the conversion to
// ie24RGB runs through it to the output profile. With GETTHUMBNAIL the embedded
// thumbnail stands for the image. Never raises for bad content: a foreign
// header, a compression or a depth and mode this reader does not know,
// sizes beyond what the data could hold and data that ends early set the
// abort flag (rows decoded stay). With a layer list, the layers are read
// into it (in the file's pixel formats, alpha in their alpha channels)
// when loadLayers is set or the document has one layer, and the merged
// image is then not decoded; bitmap may be null. A PSDLayerName decodes
// that layer alone (with its mask) and never the merged image.
void IEReadPSDStream(TStream& stream, TIEBitmap* bitmap, TIOParamsVals& params, TIEProgressRecord& progress,
                     bool paramsOnly = false, std::vector<TIEPSDLayer>* layers = nullptr, bool loadLayers = false);

// Writes the bitmap as the merged image, after the layers when there are
// any (a large document with PSDLargeDocument), every channel PackBits-coded.
// Layers are written in the merged image's colour mode from converted
// copies: the caller's layers never change. A pixel format without a colour
// mode (ie32f, none) sets the abort flag and writes nothing.
void IEWritePSDStream(TStream& stream, TIOParamsVals& params, TIEProgressRecord& progress, TIEBitmap& bitmap,
                      const std::vector<TIEPSDLayer>* layers = nullptr);

// PackBits: a header byte n below 128 copies n + 1 bytes, from 129 repeats
// the next byte 257 - n times, and 128 is passed over. Decodes into at most
// `size` bytes of out and returns the bytes used of the input; produced,
// when given, receives the bytes written to out.
size_t IEPackBitsDecode(const uint8_t* in, size_t inSize, uint8_t* out, size_t size, size_t* produced = nullptr);
// Appends the PackBits coding of the bytes to out: runs of 4 or more equal
// bytes (up to 128) as repeats, the rest in literal runs of up to 128.
void IEPackBitsEncode(const uint8_t* in, size_t size, std::vector<uint8_t>& out);

// The I/O component's entry points.
void IEPsdCodecRead(TIECodecRead& read);
void IEPsdCodecWrite(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress);
