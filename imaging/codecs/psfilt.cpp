// The PostScript writer.
#include "imaging/codecs/psfilt.h"

#include <cmath>
#include <cstdio>
#include <memory>
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

// A page's image data: the bytes to code as one ASCII85 text, or for a
// colour page coded by run-length the text itself in a temporary file:
// three texts per row (red, green, blue), each channel run-length coded and
// ASCII85 coded on its own, since each channel's procedure opens new
// filters for width bytes. Its length goes on the "%%BeginData:" line
// before it is written.
struct PageData {
  std::unique_ptr<TIETemporaryFileStream> text;
  TMemoryStream bytes;
};

constexpr size_t kTextBlock = 1 << 20;  // text written to a stream at once

void Report(TIEProgressRecord& progress, int32_t row) {
  if (progress.fOnProgress) progress.Report(static_cast<int32_t>(std::trunc(row * progress.per1)));
}

void WriteChannels(TIEDocPageImage& page, TStream& out, TIEProgressRecord& progress) {
  std::vector<uint8_t> channel(static_cast<size_t>(page.Width())), coded(IERunLengthCapacity(channel.size()));
  const size_t room = kTextBlock + 3 * IEASCII85Capacity(coded.size());
  const std::unique_ptr<char[]> text(new char[room]);
  char* end = text.get();
  for (int32_t y = 0; y < page.Height(); ++y) {
    for (int32_t c = 0; c < 3; ++c) {
      page.Channel(y, c, channel.data());
      const uint8_t* source = coded.data();
      int32_t groupChars = 0;
      IEEncodeASCII85(source, IEEncodeRunLength(channel.data(), static_cast<int32_t>(channel.size()), coded.data()),
                      end, groupChars);
    }
    if (static_cast<size_t>(end - text.get()) >= kTextBlock) {
      out.WriteBuffer(text.get(), static_cast<int32_t>(end - text.get()));
      end = text.get();
    }
    Report(progress, y);
  }
  if (end != text.get()) out.WriteBuffer(text.get(), static_cast<int32_t>(end - text.get()));
}

int64_t DataLength(PageData& data) {
  if (data.text) return data.text->Size();
  return IEASCII85Length(static_cast<const uint8_t*>(data.bytes.Memory()), static_cast<int32_t>(data.bytes.Size()));
}

void WriteData(PageData& data, int64_t length, TStream& out) {
  if (data.text) {
    data.text->SetPosition(0);
    if (length > 0) IECopyStream(out, *data.text, length);
    return;
  }
  const std::unique_ptr<char[]> text(new char[static_cast<size_t>(length)]);
  const auto* source = static_cast<const uint8_t*>(data.bytes.Memory());
  char* end = text.get();
  int32_t groupChars = 0;
  IEEncodeASCII85(source, static_cast<int32_t>(data.bytes.Size()), end, groupChars);
  out.WriteBuffer(text.get(), static_cast<int32_t>(length));
}

bool EncodeBilevelRunLength(TIEDocPageImage& page, TMemoryStream& out, TIEProgressRecord& progress) {
  const std::vector<uint8_t> rows = page.AllRows();
  Report(progress, page.Height());
  if (rows.size() > INT32_MAX / 2) return false;
  out.SetSize(static_cast<int64_t>(IERunLengthCapacity(rows.size())));
  out.SetSize(IEEncodeRunLength(rows.data(), static_cast<int32_t>(rows.size()), static_cast<uint8_t*>(out.Memory())));
  return true;
}

bool EncodeCCITT(TIEDocPageImage& page, TMemoryStream& out, bool group4) {
  if (!IEEncodeCCITTPage(page, out, group4)) return false;
  const uint8_t zeros[4] = {};
  if (out.Size() % 4) out.WriteBuffer(zeros, static_cast<int32_t>(4 - out.Size() % 4));
  return true;
}

// The lines that name the data source, and the data to code; false when
// the compression value has no meaning, an encoder failed or one text
// would be too long.
bool EncodePage(TIEDocPageImage& page, int32_t compression, TIOParamsVals& params, TIEProgressRecord& progress,
                std::vector<std::string>& lines, PageData& data) {
  const std::string width = std::to_string(page.Width()), height = std::to_string(page.Height());
  if (compression > 3) return false;
  bool encoded = true;
  if (page.Bilevel()) {
    if (compression == 0) {
      lines.push_back("currentfile /ASCII85Decode filter /RunLengthDecode filter");
      encoded = EncodeBilevelRunLength(page, data.bytes, progress);
    } else {
      const char* k = compression == 1 ? "-1" : "1";
      lines.push_back(std::string("currentfile /ASCII85Decode filter << /K ") + k + " /BlackIs1 true /Columns " +
                      width + " /Rows " + height +
                      " /EndOfLine false /Uncompressed true /EncodedByteAlign false /EndOfBlock false >> "
                      "/CCITTFaxDecode filter");
      encoded = EncodeCCITT(page, data.bytes, compression == 1);
    }
  } else if (compression == 3) {
    lines.push_back("currentfile /ASCII85Decode filter << >> /DCTDecode filter");
    lines.push_back(params.JPEG_COLORSPACE == 1 ? "false 1" : "false 3");  // a grey JPEG has one component
    encoded = IEEncodeDocumentJPEG(page, data.bytes, params, progress);
  } else {
    for (const char* channel : {"/rstr ", "/gstr ", "/bstr "}) lines.push_back(channel + width + " string def");
    for (const char* channel : {"rstr", "gstr", "bstr"})
      lines.push_back(std::string("{currentfile /ASCII85Decode filter /RunLengthDecode filter ") + channel +
                      " readstring pop}");
    lines.push_back("true 3");
    encoded = page.Width() <= INT32_MAX / 2;
    if (encoded) {
      data.text = std::make_unique<TIETemporaryFileStream>(IEGetTempFileName());
      WriteChannels(page, *data.text, progress);
    }
  }
  return encoded && data.bytes.Size() <= INT32_MAX / 2;
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
  PageData data;
  int64_t length = 0;
  bool encoded;
  try {
    encoded = EncodePage(page, params.PS_COMPRESSION, params, progress, sourceLines, data);
    if (encoded) length = DataLength(data);
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
  lines.push_back("%%BeginData:      " + std::to_string(length) + " ASCII Bytes");
  lines.push_back(page.Bilevel() ? "image" : "colorimage");
  for (const std::string& line : lines) IEWriteLineCRLF(stream, line);
  WriteData(data, length, stream);
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
