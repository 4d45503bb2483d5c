// What the PostScript and PDF writers share: the page image in one of the
// two pixel formats they write, its rows as the documents store them, the
// CCITT coding of a whole page and the clock of the document texts.
#pragma once

#include <cstdint>
#include <ctime>
#include <memory>
#include <vector>

class TStream;
class TIEBitmap;
class TIOParamsVals;
struct TIEProgressRecord;

// The image of one page: the caller's bitmap when it is ie1g or ie24RGB,
// else a 24-bit copy; the caller's bitmap is never changed.
class TIEDocPageImage {
public:
  // False, with the abort flag set, for an empty bitmap. Sets
  // BITSPERSAMPLE and SAMPLESPERPIXEL from the image (1 and 1, or 8 and 3).
  bool Prepare(TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress);
  TIEBitmap& Image() { return *image_; }
  bool Bilevel() const { return bilevel_; }
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  // Bytes of a stored row: ceil(width / 8) for 1 bit, 3 x width for colour.
  int32_t RowBytes() const;
  // Row y as stored: the bits (bit 1 white), or red, green, blue.
  void Row(int32_t y, uint8_t* out);
  // One colour of row y of a colour page: 0 red, 1 green, 2 blue.
  void Channel(int32_t y, int32_t colour, uint8_t* out);
  // Every row of the image as stored, top row first.
  std::vector<uint8_t> AllRows();

private:
  std::unique_ptr<TIEBitmap> copy_;
  TIEBitmap* image_ = nullptr;
  bool bilevel_ = false;
  int32_t width_ = 0, height_ = 0;
};

// Every row of a 1-bit page through the Group 4 (or Group 3 two-dimensional)
// encoder, fill order 1, then the finishing call. The data decode with
// /BlackIs1 true: the encoder takes bit 1 as black, the image's bit 1 is white.
// False when the encoder reported a failed write.
bool IEEncodeCCITTPage(TIEDocPageImage& page, TStream& stream, bool group4);

// A colour page as one JPEG (DCT) stream of the JPEG writer, grey when
// JPEG_COLORSPACE is 1, else with three components, as the page declares
// them: the ink colour spaces (3, CMYK; 4, YCCK, as left by loading a CMYK
// JPEG) are coded as YCbCr here, and JPEG_COLORSPACE is left as it was.
// False when the writer failed or was aborted.
bool IEEncodeDocumentJPEG(TIEDocPageImage& page, TStream& stream, TIOParamsVals& params, TIEProgressRecord& progress);

// The local time now.
std::tm IEDocumentClock();
