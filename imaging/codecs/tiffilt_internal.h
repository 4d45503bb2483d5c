// What the TIFF reader's units share: the JPEG-compressed strips and tiles
// (tiffilt_jpeg.cpp) and the colour conversions of Lab and subsampled YCbCr
// rows (tiffilt_color.cpp).
#pragma once

#include <cstdint>
#include <vector>

class TStream;
class TIEBitmap;
struct TIEProgressRecord;

// ---- blocks ---------------------------------------------------------------------------

// The count bytes of a strip or tile at base + offset, cut at the end of
// the stream; false when the offset lies outside it or the read falls short.
bool IETIFFReadBlock(TStream& stream, int64_t base, int64_t offset, int64_t count, std::vector<uint8_t>& out);

// ---- JPEG inside TIFF ------------------------------------------------------------------

// Decodes one JPEG-compressed strip or tile (compression 7) into scratch,
// with the file's JPEGTables in front when there are any. Grey, RGB and
// CMYK come as ie8g, ie24RGB and ieCMYK; photometric 2 keeps the samples as
// coded. False, with scratch undefined, when the data does not decode to
// at least rows x width pixels.
bool IETIFFDecodeJPEGBlock(const std::vector<uint8_t>& data, const std::vector<uint8_t>& tables,
                           int32_t photometric, int32_t width, int32_t rows, TIEBitmap& scratch,
                           TIEProgressRecord& progress);

// Old-style JPEG (compression 6): the interchange block (offset, length;
// length 0: measured from the data) in front of each strip into the 24-bit
// bitmap. strips are {offset, byte count} pairs; empty: the interchange
// block alone holds the whole image.
bool IETIFFDecodeOldJPEG(TStream& stream, int64_t base, int64_t interchange, int64_t interchangeLength,
                         const std::vector<int64_t>& offsets, const std::vector<int64_t>& counts,
                         int64_t rowsPerStrip, TIEBitmap& bitmap, TIEProgressRecord& progress);

// ---- colour rows ---------------------------------------------------------------------

// count Lab pixels of spp samples of 8 or 16 bits (host order) into B, G, R;
// ICC Lab stores a and b offset by 128 instead of signed.
void IETIFFLabRowToBGR(const uint8_t* src, int32_t spp, int32_t bps, bool iccLab, int32_t count, uint8_t* bgr);
// Row r (0 .. v - 1) of the 8-bit YCbCr data units of one coded row
// (h x v luma samples, then Cb and Cr, per unit) into width B, G, R pixels.
void IETIFFYCbCrRowToBGR(const uint8_t* units, int32_t h, int32_t v, int32_t r, int32_t width, uint8_t* bgr);
