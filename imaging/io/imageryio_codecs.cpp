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

#include "imaging/codecs/bmpfilt.h"
#include "imaging/codecs/giffilter.h"
#include "imaging/codecs/iedicom.h"
#include "imaging/codecs/iepsd.h"
#include "imaging/codecs/ietgafil.h"
#include "imaging/codecs/jpegfilt.h"
#include "imaging/codecs/pcxfilter.h"
#include "imaging/codecs/pdffilt.h"
#include "imaging/codecs/pngfilt.h"
#include "imaging/codecs/psfilt.h"
#include "imaging/codecs/tiffilt.h"
#include "imaging/io/iej2000.h"
#include "imaging/io/ieraw.h"
#include "imaging/io/iewic.h"
#include "imaging/io/imageryio_detect.h"
#include "imaging/view/ievect.h"
#include "imaging/view/imageryview_layers.h"

namespace {

// Without an attached view the image is saved as the only layer.
void WriteLayers(TStream& stream, TIEBitmap& bitmap, TIOParamsVals&, TIEProgressRecord&) {
  IEVectorCodecWrite(26, stream, bitmap, nullptr);
}
void WriteLayersAndVectors(TStream& stream, TIEBitmap& bitmap, TIOParamsVals&, TIEProgressRecord&) {
  IEVectorCodecWrite(27, stream, bitmap, nullptr);
}

const TIECodecEntry kBuiltinCodecs[] = {
    {29, IEHDPhotoCodecRead, IEHDPhotoCodecWrite, IEIsHDPhotoStream, TIESaveFormats::Any, true, true,
     IEHDPhotoStreamFrameCount, nullptr},
    {1, IETiffCodecRead, IETiffCodecWrite, IEIsTIFFStream, TIESaveFormats::Any, true, true, IEGetTIFFImageCount, "TIFF"},
    {8, IEPngCodecRead, IEPngCodecWrite, IEIsPNGStream, TIESaveFormats::Any, true, true, nullptr, nullptr},
    {28, IEDicomCodecRead, IEDicomCodecWrite, IEIsDICOMStream, TIESaveFormats::GreyOrRGB24, true, true,
     IEGetDICOMStreamImageCount, nullptr},
    // The bitmap family (bmpfilt.h), GIF, Targa, PCX, DCX and PSD; icons and cursors are
    // tested before Targa, any-maps after it.
    {2, IEGifCodecRead, IEGifCodecWrite, nullptr, TIESaveFormats::Any, true, false, IEGetGIFImageCount, nullptr},
    {6, IEIcoCodecRead, IEIcoCodecWrite, IEIsICOStream, TIESaveFormats::RGB24OrBilevel, true, true, IEGetICOImageCount, nullptr},
    {7, IECurCodecRead, nullptr, IEIsCURStream, TIESaveFormats::RGB24OrBilevel, true, true, IEGetICOImageCount, nullptr},
    {11, IETgaCodecRead, IETgaCodecWrite, IEIsTGAStream, TIESaveFormats::RGB24OrBilevel, true, true, nullptr, nullptr},
    {12, IEPnmCodecRead, IEPnmCodecWrite, IEIsPNMStream, TIESaveFormats::Any, true, false, nullptr, nullptr},
    {13, IEJpeg2000CodecRead, IEJP2CodecWrite, IEIsJP2Stream, TIESaveFormats::GreyOrRGB24, true, true, nullptr, nullptr},
    {14, IEJpeg2000CodecRead, IEJ2KCodecWrite, IEIsJ2KStream, TIESaveFormats::GreyOrRGB24, true, true, nullptr, nullptr},
    {9, nullptr, nullptr, IEIsWMFStream, TIESaveFormats::Any, false, false, nullptr, nullptr},
    {10, nullptr, nullptr, IEIsEMFStream, TIESaveFormats::Any, false, false, nullptr, nullptr},
    {5, IEBmpCodecRead, IEBmpCodecWrite, nullptr, TIESaveFormats::Any, true, true, nullptr, nullptr},
    {16, IEWbmpCodecRead, IEWbmpCodecWrite, nullptr, TIESaveFormats::RGB24OrBilevel, true, false, nullptr, nullptr},
    {20, IERawCodecRead, nullptr, IEIsRAWStream, TIESaveFormats::Any, false, true, nullptr, nullptr},
    {21, IERawBitmapCodecRead, nullptr, nullptr, TIESaveFormats::Any, false, false, nullptr, nullptr},
    {4, IEPcxCodecRead, IEPcxCodecWrite, nullptr, TIESaveFormats::RGB24OrBilevel, true, true, nullptr, "PCX2"},
    {19, IEDcxCodecRead, IEDcxCodecWrite, IEIsDCXStream, TIESaveFormats::RGB24OrBilevel, true, true, IEGetDCXImageCount,
     nullptr},
    {24, IEPsdCodecRead, IEPsdCodecWrite, IEIsPSDStream, TIESaveFormats::Any, true, true, nullptr, nullptr},
    {25, IEVectorCodecRead, nullptr, IEIsVectorStream, TIESaveFormats::Any, false, false, nullptr, nullptr},
    {26, IEVectorCodecRead, WriteLayers, IEIsLayersStream, TIESaveFormats::Any, false, false, nullptr, nullptr},
    {27, IEVectorCodecRead, WriteLayersAndVectors, IEIsLayersAndVectorsStream, TIESaveFormats::Any, false, false,
     nullptr, nullptr},
    // PostScript and PDF are written only.
    {17, nullptr, IEWritePSStream, nullptr, TIESaveFormats::RGB24OrBilevel, false, false, nullptr, nullptr},
    {18, nullptr, IEWritePDFStream, nullptr, TIESaveFormats::RGB24OrBilevel, false, false, nullptr, nullptr},
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
