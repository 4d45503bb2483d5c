// PDF output: one image per page, fitted into the page at its top left,
// built in three steps (begin, add pages, end) over the image core's PDF
// objects. Each page's image data goes to a temporary file as it is made,
// so a document holds one page's data in memory at most.
#pragma once

#include <memory>
#include <vector>

#include "imaging/core/ruduvazez_pdf.h"

class TStream;
class TIEBitmap;
class TIOParamsVals;
struct TIEProgressRecord;

// An open document: every object (numbered by its place), the pages, the
// images and their content streams, and the resources that all pages share.
struct TIEPDFDocument {
  TIEPDFObjectList Objects;
  std::vector<TIEPDFDictionaryObject*> Pages;
  std::vector<TIEPDFStreamObject*> Images;
  std::vector<TIEPDFStreamObject*> Contents;
  TIEPDFDictionaryObject* Resources = nullptr;
  TIEPDFDictionaryObject* Catalog = nullptr;
};

// A document holding its catalog and the shared resources.
std::unique_ptr<TIEPDFDocument> IEBeginPDFDocument();
// Adds the bitmap as a page, compressed as PDF_COMPRESSION says:
//   value  1-bit page                          colour page
//   0      none                                none
//   1      run-length                          none
//   2      CCITT Group 4                       none
//   3      CCITT Group 3 two-dimensional       none
//   4      as 3 (the parameter becomes 3)      JPEG (/DeviceGray for JPEG_COLORSPACE 1)
//   5      LZW (the parameters' TIFF encoder)  LZW
// Formats other than ie1g and ie24RGB are written through a 24-bit copy.
// False, with the abort flag set and the document unchanged, for an empty
// bitmap, another compression value, LZW without an encoder, and a failing
// encoder.
bool IEAddPDFPage(TIEPDFDocument& document, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress);
// Writes the whole document with its information dictionary and frees it
// (also when writing raises); nothing for no document.
void IEEndPDFDocument(std::unique_ptr<TIEPDFDocument>& document, TStream& stream, TIOParamsVals& params);
// A one-page document; nothing is written when the page fails.
void IEWritePDFStream(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress);
