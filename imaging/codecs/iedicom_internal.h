// What the DICOM reader hands to the pixel-data decoder: the image
// attributes of the data set and where its Pixel Data value lies.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class TStream;
class TIEBitmap;
class TIOParamsVals;
class TIEDicomTags;
struct TIEProgressRecord;
struct TIELosslessTarget;

namespace iedicom {

// A palette lookup table: entries (16-bit), and the stored value that maps
// to the first of them.
struct Palette {
  std::vector<uint16_t> Entries;
  int32_t FirstMapped = 0;
  // Values below the table take its first entry, values beyond it the last.
  uint16_t Lookup(int32_t value) const;
};

struct ImageInfo {
  std::string TransferSyntax;  // empty: the file has no meta group
  bool BigEndian = false;
  bool PixelDataOW = false;     // the Pixel Data value was stated OW
  int64_t PixelPos = -1;        // start of the top-level Pixel Data value
  int64_t PixelLength = -1;     // its length; -1: undefined (encapsulated)
  int64_t BareJpegPos = -1;     // a JPEG stream stored directly as the value
  int32_t SamplesPerPixel = 1;
  std::string Photometric;
  int32_t PlanarConfiguration = 0;
  int32_t Frames = 1;
  int32_t PixelRepresentation = 0;
  int32_t Columns = 0, Rows = 0;
  int32_t BitsAllocated = 0, BitsStored = 0;
  int32_t HighBit = -1;  // -1: not stated
  // Where the bits stored start in a sample of 8 or 16 bits: below the high
  // bit, which is bits stored - 1 unless the data set places it higher.
  int32_t LowBit() const {
    const bool whole = BitsAllocated == 8 || BitsAllocated == 16;
    return whole && HighBit >= BitsStored && HighBit < BitsAllocated ? HighBit + 1 - BitsStored : 0;
  }
  double WindowCenter = 0, WindowWidth = 0;
  bool HasCentre = false, HasWidth = false;
  // A window of width below 1 is no window.
  bool HasWindow() const { return HasCentre && HasWidth && WindowWidth >= 1; }
  double RescaleIntercept = 0, RescaleSlope = 1;
  Palette Red, Green, Blue;
};

// Reads the palette tables and the window of the Softcopy VOI LUT sequence
// from the tags into the image attributes.
void TakePalettes(const TIEDicomTags& tags, ImageInfo& info);
void TakeVOIWindow(TIEDicomTags& tags, ImageInfo& info);

// The number of frames: the count the data set states, for native data no
// more than its Pixel Data value holds.
int32_t FramesHeld(const ImageInfo& info);

// Decodes frame IMAGEINDEX into the bitmap; false for a frame that cannot
// be decoded (the caller sets the abort flag).
bool DecodeFrame(TStream& stream, const ImageInfo& info, TIEBitmap& bitmap, TIOParamsVals& params,
                 TIEProgressRecord& progress);

// The lossless JPEG decoder on a frame already in memory, as
// IEDecodeLosslessJPEG; lines not decoded are left zero.
bool DecodeLosslessFrame(const uint8_t* data, size_t length, uint16_t* output16, uint8_t* output8,
                         const std::function<void(int32_t percent)>& progress, const TIELosslessTarget& target);

}  // namespace iedicom
