// PostScript Level 2 output: one image per page, fitted into the paper at
// its top left, with the document structuring comments; built in three
// steps (begin, add pages, end) straight into the target stream. Every line
// ends with CR LF; all image data is ASCII85 text.
#pragma once

#include <cstdint>
#include <memory>

class TStream;
class TIEBitmap;
class TIOParamsVals;
struct TIEProgressRecord;

// Where the "%%Pages: " line starts and where the next page (or the trailer) goes.
struct TIEPSDocument {
  int64_t PagesLine = 0;
  int64_t NextPage = 0;
};

// Writes the document header (page count 0) and returns its state; null,
// with the abort flag set, when PS_PAPERWIDTH or PS_PAPERHEIGHT is below 1.
std::unique_ptr<TIEPSDocument> IEBeginPSDocument(TStream& stream, TIOParamsVals& params,
                                                 TIEProgressRecord& progress);
// Adds the bitmap as the next page and counts it in the "%%Pages: " line,
// compressed as PS_COMPRESSION says:
//   value  1-bit page                       colour page
//   0      run-length                       run-length
//   1      CCITT Group 4                    run-length
//   2, 3   CCITT Group 3 two-dimensional    2 run-length, 3 JPEG
// Formats other than ie1g and ie24RGB are written through a 24-bit copy.
// False, with the abort flag set, for an empty bitmap, paper below 1,
// another compression value and a failing encoder (the page is then not
// added; the stream may hold part of it).
bool IEAddPSPage(TIEPSDocument& document, TStream& stream, TIEBitmap& bitmap, TIEProgressRecord& progress,
                 TIOParamsVals& params);
// Writes the trailer and frees the state; nothing for no state.
void IEEndPSDocument(std::unique_ptr<TIEPSDocument>& document, TStream& stream);
// A one-page document.
void IEWritePSStream(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress);

// The title as a DSC text: in parentheses, "(", ")" and "\" behind a
// backslash, every byte outside 32..126 as a three-digit octal escape.
std::string IEPSTitleText(const std::string& title);
