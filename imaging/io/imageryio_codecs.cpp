// The built-in codec table. Each codec adds one row here, in the order in
// which content detection tries the formats:
//   HD Photo 29, TIFF 1, PNG 8, DICOM 28, ICO 6, CUR 7, TGA 11, PNM 12,
//   JP2 13, J2K 14, AVI 15, DCX 19, WMF 9, EMF 10, PSD 24, vector objects 25,
//   layers 26, layers and objects 27; JPEG 3 last (its test searches a
//   range of positions). GIF, PCX, BMP and the header tags are recognised by
//   their signatures before the table is asked.
// A JPEG writer brings the marker list up to date (resolution, IPTC, EXIF,
// XMP, annotations) with IEPrepareJPEGMarkers. A GIF load that composes frames allocates
// each frame clipped to the logical screen, never the declared screen ahead
// of the frames that fill it.
#include "imaging/io/imageryio_codecs.h"

#include "imaging/codecs/jpegfilt.h"
#include "imaging/codecs/pngfilt.h"
#include "imaging/codecs/tiffilt.h"
#include "imaging/io/imageryio_detect.h"

namespace {

const TIECodecEntry kBuiltinCodecs[] = {
    {1, IETiffCodecRead, IETiffCodecWrite, IEIsTIFFStream, TIESaveFormats::Any, true, true, IEGetTIFFImageCount, "TIFF"},
    {8, IEPngCodecRead, IEPngCodecWrite, IEIsPNGStream, TIESaveFormats::Any, true, true, nullptr, nullptr},
    {15, nullptr, nullptr, IEIsAVIStream, TIESaveFormats::Any, false, false, nullptr, nullptr},
    {3, IEJpegCodecRead, IEJpegCodecWrite, IEJpegIsFormat, TIESaveFormats::Any, true, true, nullptr, "JFIF"},
};

std::span<const TIECodecEntry> activeTable = kBuiltinCodecs;

}  // namespace

std::span<const TIECodecEntry> IECodecTable() { return activeTable; }

void IESetCodecTable(std::span<const TIECodecEntry> table) {
  activeTable = table.empty() ? std::span<const TIECodecEntry>(kBuiltinCodecs) : table;
}

const TIECodecEntry* IEFindCodec(int32_t fileTypeId) {
  for (const TIECodecEntry& entry : activeTable)
    if (entry.FileTypeId == fileTypeId) return &entry;
  return nullptr;
}
