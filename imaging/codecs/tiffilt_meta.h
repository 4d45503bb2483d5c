// The metadata half of the TIFF codec: EXIF (with its interoperability
// directory and the maker note), GPS, IPTC, XMP, ICC and the private blocks,
// read from a page directory into the parameters and written from the
// parameters into a directory being built; parameters-only TIFF files and
// the EXIF thumbnail page.
//
// Sections: reading | writing | parameters-only files and thumbnails |
// EXIF tags copied into a TIFF file
#pragma once

#include <cstdint>
#include <string>

class TStream;
class TMemoryStream;
class TIEBitmap;
class TIOParamsVals;
class TIETIFFIFDReader;
class TIETIFFIFDWriter;

// ---- reading ----------------------------------------------------------------------

// Reads the metadata of a loaded page directory into params: the EXIF
// fields of the page, the EXIF, GPS and interoperability sub-directories
// (offsets from the page reader's base), the maker note, IPTC, XMP, ICC and
// the two private blocks. Values the file does not hold take their absent
// values; nothing the data cannot hold is allocated.
void IEReadTIFFMetadata(const TIETIFFIFDReader& page, TIOParamsVals& params);

// ---- writing ----------------------------------------------------------------------

// The layout of the directories being written: classic (12-byte entries,
// 4-byte links) or BigTIFF (20-byte entries, 8-byte links, up to 8 bytes
// of data inside an entry), and the link that ends a directory.
struct TIETIFFDirectoryForm {
  bool BigTIFF = false;
  uint64_t Next = 0;
};

// Adds the metadata entries of params to a directory whose offsets are
// positions of out: with EXIF_HASEXIF the EXIF fields of the page and the
// EXIF and GPS sub-directories (in the form's layout), else the description
// and the resolution; then the IPTC, XMP, ICC and private blocks. Short
// writes set failed.
void IEWriteTIFFMetadata(TIETIFFIFDWriter& ifd, TStream& out, TIOParamsVals& params, bool& failed,
                         bool bigTIFF = false);
// The directory's entries sorted, written at out's end (word aligned) in
// the form's layout and ending with its link. Data of 5 to 8 bytes that an
// entry holds at an offset is read back from out into a BigTIFF entry.
// Returns its position.
int64_t IEWriteTIFFDirectory(TIETIFFIFDWriter& ifd, TStream& out, bool& failed, const TIETIFFDirectoryForm& form = {});

// ---- parameters-only files and thumbnails ---------------------------------------

// A little-endian TIFF whose one directory holds the EXIF and GPS of params
// (or their description and resolution) and no image, from out's position
// 0. False on a short write.
bool IEWriteTIFFParamsOnly(TMemoryStream& out, TIOParamsVals& params);
// Appends to the little-endian TIFF held in tiff (from position 0) a page
// holding the thumbnail as JPEG (compression 6 with its interchange format
// offset and length), linked behind the last directory. False when tiff is
// not such a file or the thumbnail cannot be encoded.
bool IEAppendTIFFJPEGThumbnail(TMemoryStream& tiff, TIEBitmap& thumbnail);
// Decodes page index of the TIFF at the stream's position (offsets from
// there) into thumbnail when it is at most 400 x 400 pixels: a JPEG page
// through its interchange format, another page through the TIFF reader.
// False, the thumbnail emptied, when the page is missing, too large or
// damaged. The position is restored.
bool IEReadTIFFThumbnailPage(TStream& stream, int32_t index, TIEBitmap& thumbnail);

// ---- EXIF tags copied into a TIFF file ---------------------------------------------

// Copies the standard EXIF tags of params (the page's EXIF fields with the
// EXIF and GPS directories) into directory destPage of the TIFF read from
// source (from its position) or, without one, from sourceFileName, then
// writes that TIFF to dest (at source's starting position when dest is
// source) or to destFileName. Nothing is copied into a big-endian file or a
// page it lacks; the file is written all the same. Stream and file errors
// raise. Returns 1.
int32_t IECopyEXIFTagsToTIFF(TStream* source, TStream* dest, const std::string& sourceFileName, TIOParamsVals& params,
                             int32_t destPage, const std::string& destFileName);
