// The PostScript writer.
#include "imaging/codecs/psfilt.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "imaging/codecs/docpage.h"
#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/io/imageryio_params.h"
#include "imaging/io/imageryio_registry.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"

namespace {

bool PaperValid(const TIOParamsVals& params) { return params.PS_PAPERWIDTH >= 1 && params.PS_PAPERHEIGHT >= 1; }

std::string PagesLine(int32_t count) {
  std::string number = std::to_string(count);
  if (number.size() < 6) number.append(6 - number.size(), ' ');
  return "%%Pages: " + number;
}

// "ddd mmm dd hh:nn:ss yyyy" in English, as DSC dates are read.
std::string CreationDate() {
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const std::tm now = IEDocumentClock();
  char text[96];
  std::snprintf(text, sizeof text, "%s %s %02d %02d:%02d:%02d %04d", kDays[now.tm_wday % 7], kMonths[now.tm_mon % 12],
                now.tm_mday, now.tm_hour, now.tm_min, now.tm_sec, now.tm_year + 1900);
  return text;
}

// The bytes as ASCII85 text with its own line breaks and end marker.
bool AppendASCII85(TStream& out, const uint8_t* data, size_t count) {
  if (count > INT32_MAX / 2) return false;
  std::vector<char> text(IEASCII85Capacity(count));
  char* end = text.data();
  int32_t groupChars = 0;
  IEEncodeASCII85(data, static_cast<int32_t>(count), end, groupChars);
  out.WriteBuffer(text.data(), static_cast<int32_t>(end - text.data()));
  return true;
}

bool AppendRunLengthASCII85(TStream& out, const uint8_t* data, size_t count) {
  if (count > INT32_MAX / 2) return false;
  std::vector<uint8_t> encoded(IERunLengthCapacity(count));
  const int32_t length = IEEncodeRunLength(data, static_cast<int32_t>(count), encoded.data());
  return AppendASCII85(out, encoded.data(), static_cast<size_t>(length));
}

// The whole of a memory stream as ASCII85.
bool AppendStreamASCII85(TStream& out, TMemoryStream& data) {
  return AppendASCII85(out, static_cast<const uint8_t*>(data.Memory()), static_cast<size_t>(data.Size()));
}

void Report(TIEProgressRecord& progress, int32_t row) {
  if (progress.fOnProgress) progress.Report(static_cast<int32_t>(std::trunc(row * progress.per1)));
}

// Each row as three run-length chunks, red, green and blue, each ASCII85
// on its own: each channel's procedure opens new filters for width bytes.
bool EncodeColourRunLength(TIEDocPageImage& page, TStream& out, TIEProgressRecord& progress) {
  const auto width = static_cast<size_t>(page.Width());
  std::vector<uint8_t> row(3 * width), channel(width);
  for (int32_t y = 0; y < page.Height(); ++y) {
    page.Row(y, row.data());
    for (size_t c = 0; c < 3; ++c) {
      for (size_t x = 0; x < width; ++x) channel[x] = row[3 * x + c];
      if (!AppendRunLengthASCII85(out, channel.data(), width)) return false;
    }
    Report(progress, y);
  }
  return true;
}

bool EncodeBilevelRunLength(TIEDocPageImage& page, TStream& out, TIEProgressRecord& progress) {
  const std::vector<uint8_t> rows = page.AllRows();
  Report(progress, page.Height());
  return AppendRunLengthASCII85(out, rows.data(), rows.size());
}

bool EncodeCCITT(TIEDocPageImage& page, TStream& out, bool group4) {
  TMemoryStream raw;
  if (!IEEncodeCCITTPage(page, raw, group4)) return false;
  const uint8_t zeros[4] = {};
  if (raw.Size() % 4) raw.WriteBuffer(zeros, static_cast<int32_t>(4 - raw.Size() % 4));
  return AppendStreamASCII85(out, raw);
}

bool EncodeJPEG(TIEDocPageImage& page, TStream& out, TIOParamsVals& params, TIEProgressRecord& progress) {
  TMemoryStream jpeg;
  return IEEncodeDocumentJPEG(page, jpeg, params, progress) && AppendStreamASCII85(out, jpeg);
}

// The lines that name the data source and the ASCII85 data itself, into
// lines and data; false when the compression value has no meaning or an
// encoder failed.
bool EncodePage(TIEDocPageImage& page, int32_t compression, TIOParamsVals& params, TIEProgressRecord& progress,
                std::vector<std::string>& lines, TStream& data) {
  const std::string width = std::to_string(page.Width()), height = std::to_string(page.Height());
  if (compression > 3) return false;
  if (page.Bilevel()) {
    if (compression == 0) {
      lines.push_back("currentfile /ASCII85Decode filter /RunLengthDecode filter");
      return EncodeBilevelRunLength(page, data, progress);
    }
    const char* k = compression == 1 ? "-1" : "1";
    lines.push_back(std::string("currentfile /ASCII85Decode filter << /K ") + k + " /BlackIs1 true /Columns " + width +
                    " /Rows " + height +
                    " /EndOfLine false /Uncompressed true /EncodedByteAlign false /EndOfBlock false >> "
                    "/CCITTFaxDecode filter");
    return EncodeCCITT(page, data, compression == 1);
  }
  if (compression == 3) {
    lines.push_back("currentfile /ASCII85Decode filter << >> /DCTDecode filter");
    lines.push_back(params.JPEG_COLORSPACE == 1 ? "false 1" : "false 3");  // a grey JPEG has one component
    return EncodeJPEG(page, data, params, progress);
  }
  for (const char* channel : {"/rstr ", "/gstr ", "/bstr "}) lines.push_back(channel + width + " string def");
  for (const char* channel : {"rstr", "gstr", "bstr"})
    lines.push_back(std::string("{currentfile /ASCII85Decode filter /RunLengthDecode filter ") + channel +
                    " readstring pop}");
  lines.push_back("true 3");
  return EncodeColourRunLength(page, data, progress);
}

// Counts one more page in the "%%Pages: " line; the new page's number.
int32_t CountPage(TIEPSDocument& document, TStream& stream) {
  stream.SetPosition(document.PagesLine);
  char line[15] = {};
  const int32_t got = stream.Read(line, 15);
  const std::string field = got > 9 ? std::string(line + 9, static_cast<size_t>(std::min(got, 14) - 9)) : "";
  const int32_t number = StrToIntDef(Trim(field), 1) + 1;
  stream.SetPosition(document.PagesLine);
  IEWriteLineCRLF(stream, PagesLine(number));
  return number;
}

}  // namespace

std::string IEPSTitleText(const std::string& title) {
  std::string text = "(";
  for (const char c : title) {
    const auto b = static_cast<uint8_t>(c);
    if (c == '(' || c == ')' || c == '\\') {
      text += '\\';
      text += c;
    } else if (b < 32 || b > 126) {
      char escape[5];
      std::snprintf(escape, sizeof escape, "\\%03o", b);
      text += escape;
    } else {
      text += c;
    }
  }
  return text + ")";
}

std::unique_ptr<TIEPSDocument> IEBeginPSDocument(TStream& stream, TIOParamsVals& params,
                                                 TIEProgressRecord& progress) {
  if (!PaperValid(params)) {
    progress.Abort();
    return nullptr;
  }
  auto document = std::make_unique<TIEPSDocument>();
  for (const std::string& line : {std::string("%!PS-Adobe-3.0"), std::string("%%Creator: Imagery"),
                                  "%%Title: " + IEPSTitleText(params.PS_TITLE), "%%CreationDate: " + CreationDate(),
                                  std::string("%%DocumentData: Clean7Bit"), std::string("%%LanguageLevel: 2")})
    IEWriteLineCRLF(stream, line);
  document->PagesLine = stream.Position();
  IEWriteLineCRLF(stream, PagesLine(0));
  IEWriteLineCRLF(stream, "%%BoundingBox: 0 0 " + std::to_string(params.PS_PAPERWIDTH - 1) + " " +
                              std::to_string(params.PS_PAPERHEIGHT - 1));
  IEWriteLineCRLF(stream, "%%EndComments");
  document->NextPage = stream.Position();
  return document;
}

bool IEAddPSPage(TIEPSDocument& document, TStream& stream, TIEBitmap& bitmap, TIEProgressRecord& progress,
                 TIOParamsVals& params) {
  TIEDocPageImage page;
  if (!PaperValid(params) || !page.Prepare(bitmap, params, progress)) {
    progress.Abort();
    return false;
  }
  progress.per1 = 100.0 / page.Height();
  std::vector<std::string> sourceLines;
  TMemoryStream data;
  bool encoded;
  try {
    encoded = EncodePage(page, params.PS_COMPRESSION, params, progress, sourceLines, data);
  } catch (...) {
    encoded = false;
  }
  if (!encoded) {
    progress.Abort();
    return false;
  }
  const int32_t number = CountPage(document, stream);
  stream.SetPosition(document.NextPage);
  int32_t width = 0, height = 0;
  IEFitSize(page.Width(), page.Height(), params.PS_PAPERWIDTH, params.PS_PAPERHEIGHT, width, height);
  const std::string w = std::to_string(page.Width()), h = std::to_string(page.Height());
  std::vector<std::string> lines = {
      "%%Page: " + std::to_string(number) + " " + std::to_string(number),
      "0 " + std::to_string(params.PS_PAPERHEIGHT) + " translate",
      std::to_string(width) + " -" + std::to_string(height) + " scale",
      w + " " + h + " " + std::to_string(params.BITSPERSAMPLE),
      "[ " + w + " 0 0 " + h + " 0 0 ]",
  };
  lines.insert(lines.end(), sourceLines.begin(), sourceLines.end());
  lines.push_back("%%BeginData:      " + std::to_string(data.Size()) + " ASCII Bytes");
  lines.push_back(page.Bilevel() ? "image" : "colorimage");
  for (const std::string& line : lines) IEWriteLineCRLF(stream, line);
  data.SetPosition(0);
  if (data.Size() > 0) IECopyStream(stream, data, data.Size());
  IEWriteLineCRLF(stream, "%%EndData");
  IEWriteLineCRLF(stream, "showpage");
  document.NextPage = stream.Position();
  return true;
}

void IEEndPSDocument(std::unique_ptr<TIEPSDocument>& document, TStream& stream) {
  const std::unique_ptr<TIEPSDocument> owned = std::move(document);
  if (!owned) return;
  stream.SetPosition(owned->NextPage);
  IEWriteLineCRLF(stream, "%%Trailer");
  IEWriteLineCRLF(stream, "%%EOF");
}

void IEWritePSStream(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress) {
  std::unique_ptr<TIEPSDocument> document = IEBeginPSDocument(stream, params, progress);
  if (document && IEAddPSPage(*document, stream, bitmap, progress, params)) IEEndPSDocument(document, stream);
}
