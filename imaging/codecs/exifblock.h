// EXIF blocks: the TIFF structure of a JPEG APP1 segment or of a camera-raw
// file read into a parameter set (values, maker note, thumbnail) and the
// parameter set's EXIF written as such a block.
#pragma once

#include <cstdint>
#include <vector>

class TStream;
class TIOParamsVals;

// Reads the EXIF block that follows the 6-byte header ("Exif", two zero
// bytes) into params: the EXIF values and maker note, has-EXIF set, and the
// thumbnail of the second directory (emptied when there is none or it
// cannot be decoded), turned upright by the EXIF orientation. False, params
// untouched, when the data do not start with the header or hold no
// readable TIFF structure.
bool IELoadEXIFFromBuffer(const void* data, int64_t size, TIOParamsVals& params);
// The EXIF of params as a little-endian TIFF without image, with the EXIF
// thumbnail (when params hold a non-empty one) as a JPEG second directory;
// preceded by "Exif" and two zero bytes when withHeader. Empty on failure.
std::vector<uint8_t> IESaveEXIFToBuffer(TIOParamsVals& params, bool withHeader);
// For a TIFF structure inside a camera-raw file, at the stream's position:
// its EXIF into params (and its XMP when copyXMP), and the narrower of its
// first two images, when one is at most 400 pixels wide and high and not
// all black, as the EXIF thumbnail. The position is restored. True.
bool IEReadTIFFEXIFAndThumbnail(TStream& stream, TIOParamsVals& params, bool copyXMP);
// The tags of the TIFF structure at the stream's position (offsets from
// there) into params; no image is decoded and the EXIF thumbnail is left
// empty. The position is restored. True.
bool IEReadTIFFParams(TStream& stream, TIOParamsVals& params);
