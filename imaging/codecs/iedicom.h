// DICOM files: the reader (every data element into the parameters' tag
// store, then the wanted frame decoded), the writer (one or more frames,
// native, RLE, JPEG or JPEG 2000), and the lossless JPEG decoder
// (predictive coding with Huffman-coded differences, start-of-frame C3)
// that frames of the lossless JPEG transfer syntaxes carry; the JPEG
// library we link has no lossless process.
//
// Sections: reading | writing | lossless JPEG
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class TObject;
class TStream;
class TIEBitmap;
class TIOParamsVals;
struct TIEProgressRecord;
struct TIECodecRead;

// ---- reading ---------------------------------------------------------------------------------

// True when the 4 bytes 128 bytes after the position are "DICM"; the
// position stays. Bare data sets are not recognised by content.
bool IEIsDICOMStream(TStream& stream);

// Reads a DICOM file (preamble and "DICM", or a bare data set) from the
// stream's position: the tag store (cleared first), the image attributes
// and, unless paramsOnly, frame IMAGEINDEX (held within 0..frames - 1) into
// the bitmap, mapped by DICOMRangeMode. Never raises for bad content: data
// that ends inside an element, item or sequence, nesting deeper than 64
// sequences, a transfer syntax or pixel layout it cannot decode and a
// missing Pixel Data set the abort flag.
void IEReadDICOMStream(TStream& stream, TIOParamsVals& params, TIEBitmap* bitmap, bool paramsOnly,
                       TIEProgressRecord& progress);
// The number of frames, 0 for a damaged file.
int32_t IEGetDICOMStreamImageCount(TStream& stream);
int32_t IEGetDICOMImageCount(const std::string& fileName);

// ---- writing ---------------------------------------------------------------------------------

struct TIEDicomWriteContext;
struct TIEDicomWriteContextDeleter {
  void operator()(TIEDicomWriteContext* context) const;
};
using TIEDicomWriter = std::unique_ptr<TIEDicomWriteContext, TIEDicomWriteContextDeleter>;

// Completes the parameters' tag store for frames of WIDTH x HEIGHT,
// SAMPLESPERPIXEL x BITSPERSAMPLE (1 x 1, 1 x 8, 1 x 16, 3 x 8) and writes
// the preamble and every element but the Pixel Data. Raises EIEException
// for another layout, a DICOMRangeMode other than 0 and RLE of 1-bit frames.
TIEDicomWriter IEBeginWriteDICOM(TStream& stream, TIOParamsVals& params, int32_t frameCount,
                                 TIEProgressRecord& progress);
// Writes the next frame; frames beyond the count announced are ignored.
// Raises EIEException for a bitmap whose size or layout differs from the
// header's.
void IEWriteDICOMFrame(TIEDicomWriteContext& context, TIEBitmap& bitmap);
// Closes the Pixel Data and writes what follows it; raises EIEException
// when fewer frames were written than announced. The context is freed
// either way.
void IEEndWriteDICOM(TIEDicomWriter context);

// ---- the I/O component's entry points ------------------------------------------------------

void IEDicomCodecRead(TIECodecRead& read);
void IEDicomCodecWrite(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress);

// ---- lossless JPEG ---------------------------------------------------------------------------

// Percent of the frame's bytes consumed, sent whenever it changes.
using TIELosslessProgress = std::function<void(TObject* sender, void* userData, int32_t percent)>;

// What the caller prepared: width x height samples of components each, rows
// following each other without fill bytes.
struct TIELosslessTarget {
  int32_t Width = 0, Height = 0, Components = 1;
};

// Decodes the lossless JPEG frame of length bytes at the stream's position
// into exactly one of output16 (one component, precision 2..16) or output8
// (precision 2..8; one component, or three interleaved in component order).
// The frame must have the target's width and component count and no more
// lines than its height; otherwise, and on any fault in the data, returns
// false with what was decoded so far left in the output. Samples are
// scaled back by the point transform (shifted left by Pt).
bool IEDecodeLosslessJPEG(TStream& stream, uint16_t* output16, uint8_t* output8, TObject* sender, void* userData,
                          const TIELosslessProgress& callback, int64_t length, const TIELosslessTarget& target);
