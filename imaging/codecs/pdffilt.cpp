// The PDF writer.
#include "imaging/codecs/pdffilt.h"

#include <cstdio>
#include <string>

#include "imaging/codecs/docpage.h"
#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/io/imageryio_params.h"
#include "imaging/io/imageryio_registry.h"
#include "platform/rtl/encoding.h"
#include "platform/rtl/streams.h"

namespace {

constexpr int32_t kWriteBuffer = 65536;

TIEPDFNumericObject* Number(double value) { return new TIEPDFNumericObject(value); }
TIEPDFNameObject* Name(const char* name) { return new TIEPDFNameObject(name); }

// The CCITT decode parameters of a page: Group 4 (k -1) or Group 3 2-D (k 1).
TIEPDFDictionaryObject* CCITTParameters(int32_t k, int32_t width, int32_t height) {
  auto* parameters = new TIEPDFDictionaryObject;
  parameters->Set("K", Number(k));
  parameters->Set("BlackIs1", new TIEPDFBooleanObject(true));
  parameters->Set("Columns", Number(width));
  parameters->Set("Rows", Number(height));
  parameters->Set("EndOfLine", new TIEPDFBooleanObject(false));
  parameters->Set("Uncompressed", new TIEPDFBooleanObject(true));
  parameters->Set("EncodedByteAlign", new TIEPDFBooleanObject(false));
  parameters->Set("EndOfBlock", new TIEPDFBooleanObject(false));
  return parameters;
}

// The image dictionary in its key order; Length stays first among the data keys.
void DescribeImage(TIEPDFDictionaryObject& dictionary, TIEDocPageImage& page, int32_t compression, bool greyJPEG) {
  dictionary.Remove("Length");
  dictionary.Set("Type", Name("XObject"));
  dictionary.Set("Subtype", Name("Image"));
  dictionary.Set("Length", Number(0));
  const bool bilevel = page.Bilevel();
  if (compression == 5) {
    dictionary.Set("Filter", Name("LZWDecode"));
  } else if (bilevel && compression == 1) {
    auto* filters = new TIEPDFArrayObject;
    filters->Add(Name("RunLengthDecode"));
    dictionary.Set("Filter", filters);
  } else if (bilevel && (compression == 2 || compression == 3)) {
    dictionary.Set("Filter", Name("CCITTFaxDecode"));
    dictionary.Set("DecodeParms", CCITTParameters(compression == 2 ? -1 : 1, page.Width(), page.Height()));
  } else if (!bilevel && compression == 4) {
    dictionary.Set("Filter", Name("DCTDecode"));
  }
  dictionary.Set("ColorSpace", Name(bilevel || greyJPEG ? "DeviceGray" : "DeviceRGB"));
  dictionary.Set("BitsPerComponent", Number(bilevel ? 1 : 8));
  dictionary.Set("Width", Number(page.Width()));
  dictionary.Set("Height", Number(page.Height()));
}

// Every row through the parameters' LZW encoder as one code stream.
void EncodeLZWRows(TIEDocPageImage& page, TStream& out, TIETIFFLZWEncoder encoder) {
  std::vector<uint8_t> row(static_cast<size_t>(page.RowBytes()));
  void* state = nullptr;
  try {
    for (int32_t y = 0; y < page.Height(); ++y) {
      page.Row(y, row.data());
      encoder(row.data(), page.RowBytes(), out, state);
    }
  } catch (...) {
    if (state) {
      try {
        encoder(nullptr, 0, out, state);  // frees the state
      } catch (...) {
      }
    }
    throw;
  }
  encoder(nullptr, 0, out, state);
}

// The page's image data into out; false when an encoder failed.
bool EncodeImage(TIEDocPageImage& page, int32_t compression, TStream& out, TIOParamsVals& params,
                 TIEProgressRecord& progress) {
  if (compression == 5) {
    EncodeLZWRows(page, out, params.TIFFLZWEncoder);
    return true;
  }
  if (page.Bilevel() && compression == 1) {
    const std::vector<uint8_t> rows = page.AllRows();
    if (rows.size() > INT32_MAX / 2) return false;
    std::vector<uint8_t> encoded(IERunLengthCapacity(rows.size()));
    const int32_t length = IEEncodeRunLength(rows.data(), static_cast<int32_t>(rows.size()), encoded.data());
    out.WriteBuffer(encoded.data(), length);
    return true;
  }
  if (page.Bilevel() && (compression == 2 || compression == 3)) return IEEncodeCCITTPage(page, out, compression == 2);
  if (!page.Bilevel() && compression == 4) return IEEncodeDocumentJPEG(page, out, params, progress);
  std::vector<uint8_t> row(static_cast<size_t>(page.RowBytes()));
  for (int32_t y = 0; y < page.Height(); ++y) {
    page.Row(y, row.data());
    out.WriteBuffer(row.data(), page.RowBytes());
  }
  return true;
}

// The image stream with its data in a temporary file; null when an encoder failed.
std::unique_ptr<TIEPDFStreamObject> MakeImage(TIEDocPageImage& page, int32_t compression, TIOParamsVals& params,
                                              TIEProgressRecord& progress) {
  auto image = std::make_unique<TIEPDFStreamObject>();
  DescribeImage(image->Dictionary(), page, compression, compression == 4 && params.JPEG_COLORSPACE == 1);
  bool encoded;
  {
    TIEBufferedWriteStream out(image->DataFile(), kWriteBuffer);
    try {
      encoded = EncodeImage(page, compression, out, params, progress);
      out.Seek(0, soCurrent);  // writes what is buffered
    } catch (...) {
      encoded = false;
    }
  }
  if (!encoded) return nullptr;
  return image;
}

// The bytes of the text as a PDF text string: as they are when 7-bit, else
// UTF-16BE behind its byte-order mark (our 8-bit texts are UTF-8).
std::string PDFTextString(const std::string& text) {
  bool plain = true;
  for (const char c : text) plain = plain && static_cast<uint8_t>(c) < 128;
  if (plain) return text;
  std::string bytes = "\xFE\xFF";
  for (const char16_t unit : Utf8ToUtf16(text)) {
    bytes += static_cast<char>(unit >> 8);
    bytes += static_cast<char>(unit & 0xFF);
  }
  return bytes;
}

TIEPDFDictionaryObject* MakeInfo(TIOParamsVals& params) {
  auto* info = new TIEPDFDictionaryObject;
  const std::pair<const char*, const std::string*> kTexts[] = {
      {"Title", &params.PDF_TITLE},       {"Author", &params.PDF_AUTHOR},   {"Subject", &params.PDF_SUBJECT},
      {"Keywords", &params.PDF_KEYWORDS}, {"Creator", &params.PDF_CREATOR}, {"Producer", &params.PDF_PRODUCER},
  };
  for (const auto& [key, text] : kTexts)
    if (!text->empty()) info->Set(key, new TIEPDFStringObject(PDFTextString(*text)));
  const std::tm now = IEDocumentClock();
  char date[80];
  std::snprintf(date, sizeof date, "D:%04d%02d%02d%02d%02d%02d", now.tm_year + 1900, now.tm_mon + 1, now.tm_mday,
                now.tm_hour, now.tm_min, now.tm_sec);
  info->Set("CreationDate", new TIEPDFStringObject(date));
  return info;
}

}  // namespace

std::unique_ptr<TIEPDFDocument> IEBeginPDFDocument() {
  auto document = std::make_unique<TIEPDFDocument>();
  document->Catalog = IEPDFCreateCatalog(document->Objects);
  auto* resources = IEPDFAddObject(document->Objects, new TIEPDFDictionaryObject);
  auto* procedures = new TIEPDFArrayObject;
  procedures->Add(Name("PDF"));
  procedures->Add(Name("ImageB"));
  resources->Set("ProcSet", procedures);
  resources->Set("XObject", new TIEPDFDictionaryObject);
  document->Resources = resources;
  return document;
}

bool IEAddPDFPage(TIEPDFDocument& document, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress) {
  TIEDocPageImage page;
  if (!page.Prepare(bitmap, params, progress)) return false;
  if (params.PDF_COMPRESSION > 5 || (params.PDF_COMPRESSION == 5 && !params.TIFFLZWEncoder)) {
    progress.Abort();
    return false;
  }
  if (page.Bilevel() && params.PDF_COMPRESSION == 4) params.PDF_COMPRESSION = 3;
  std::unique_ptr<TIEPDFStreamObject> image = MakeImage(page, params.PDF_COMPRESSION, params, progress);
  if (!image) {
    progress.Abort();
    return false;
  }
  IEPDFAddObject(document.Objects, image.get());
  document.Images.push_back(image.release());
  const auto imageNumber = std::to_string(document.Images.size());

  int32_t pageWidth = params.PDF_PAPERWIDTH, pageHeight = params.PDF_PAPERHEIGHT;
  if (pageWidth < 1 || pageHeight < 1) pageWidth = page.Width(), pageHeight = page.Height();
  int32_t width = 0, height = 0;
  IEFitSize(page.Width(), page.Height(), pageWidth, pageHeight, width, height);
  const std::string drawing = "q\n" + std::to_string(width) + " 0 0 " + std::to_string(height) + " 0 " +
                              std::to_string(pageHeight - height) + " cm\n/lm" + imageNumber + " Do\nQ";
  auto* contents = IEPDFAddObject(document.Objects, new TIEPDFStreamObject(drawing.data(), drawing.size()));
  document.Contents.push_back(contents);

  auto* xobjects = static_cast<TIEPDFDictionaryObject*>(document.Resources->Get("XObject"));
  xobjects->Set("lm" + imageNumber, new TIEPDFRefObject(document.Images.back()->Number, 0));
  auto* box = new TIEPDFArrayObject;
  for (int32_t v : {0, 0, pageWidth, pageHeight}) box->Add(Number(v));
  IEPDFCreatePage(document.Objects, document.Pages, document.Resources, contents->Number, box);
  return true;
}

void IEEndPDFDocument(std::unique_ptr<TIEPDFDocument>& document, TStream& stream, TIOParamsVals& params) {
  const std::unique_ptr<TIEPDFDocument> owned = std::move(document);
  if (!owned) return;
  IEPDFCreatePages(owned->Objects, owned->Pages);
  TIEPDFDictionaryObject* info = IEPDFAddObject(owned->Objects, MakeInfo(params));
  IEPDFWriteHeader(stream);
  IEPDFWriteObjects(stream, owned->Objects);
  IEPDFWriteXRefAndTrailer(stream, owned->Objects, *info);
}

void IEWritePDFStream(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress) {
  std::unique_ptr<TIEPDFDocument> document = IEBeginPDFDocument();
  if (IEAddPDFPage(*document, bitmap, params, progress)) IEEndPDFDocument(document, stream, params);
}
