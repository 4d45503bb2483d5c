// The PDF object model, the document layout routines and the page counter.
#include "imaging/core/ruduvazez_pdf.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "imaging/core/davovevo.h"
#include "imaging/core/ruduvazez.h"
#include "platform/rtl/streams.h"

// ---- objects ---------------------------------------------------------------------

void TIEPDFRefObject::Write(TStream& stream) {
  IEWriteString(stream, std::to_string(RefNumber) + " " + std::to_string(Generation) + " R");
}

void TIEPDFBooleanObject::Write(TStream& stream) { IEWriteString(stream, Value ? "true" : "false"); }

void TIEPDFNumericObject::Write(TStream& stream) { IEWriteString(stream, IEPDFNumberText(Value)); }

void TIEPDFStringObject::Write(TStream& stream) {
  std::string out = "(";
  for (const char c : Text) {
    switch (c) {
      case '\b': out += "\\b"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\f': out += "\\f"; break;
      case '\r': out += "\\r"; break;
      case '(': out += "\\("; break;
      case ')': out += "\\)"; break;
      case '\\': out += "\\\\"; break;
      default: out += c;
    }
  }
  IEWriteString(stream, out + ")");
}

namespace {

// A name or key: "#" and two hex digits for bytes outside "!".."~", for
// "#" itself and for the delimiters, which would end the name.
std::string NameText(const std::string& name) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out = "/";
  for (const char c : name) {
    const auto b = static_cast<uint8_t>(c);
    if (b < 33 || b > 126 || std::strchr("#()<>[]{}/%", c)) {
      out += '#';
      out += kHex[b >> 4];
      out += kHex[b & 15];
    } else {
      out += c;
    }
  }
  return out;
}

void FreeUnlessShared(TIEPDFObject* object) {
  if (object && !object->Shared) delete object;
}

}  // namespace

void TIEPDFNameObject::Write(TStream& stream) { IEWriteString(stream, NameText(Name)); }

TIEPDFArrayObject::~TIEPDFArrayObject() {
  for (TIEPDFObject* item : Items) FreeUnlessShared(item);
}

void TIEPDFArrayObject::Write(TStream& stream) {
  IEWriteString(stream, "[");
  for (TIEPDFObject* item : Items) {
    item->Write(stream);
    IEWriteString(stream, " ");
  }
  IEWriteString(stream, "]");
}

TIEPDFDictionaryObject::~TIEPDFDictionaryObject() {
  for (auto& entry : Entries) FreeUnlessShared(entry.second);
}

void TIEPDFDictionaryObject::Write(TStream& stream) {
  IEWriteString(stream, "<< ");
  for (auto& [key, value] : Entries) {
    IEWriteString(stream, NameText(key) + " ");
    value->Write(stream);
    IEWriteString(stream, "\n");
  }
  IEWriteString(stream, ">>");
}

void TIEPDFDictionaryObject::Set(const std::string& key, TIEPDFObject* value) {
  for (auto& entry : Entries)
    if (entry.first == key) {
      if (entry.second != value) FreeUnlessShared(entry.second);
      entry.second = value;
      return;
    }
  Entries.emplace_back(key, value);
}

void TIEPDFDictionaryObject::Remove(const std::string& key) {
  for (auto entry = Entries.begin(); entry != Entries.end(); ++entry)
    if (entry->first == key) {
      FreeUnlessShared(entry->second);
      Entries.erase(entry);
      return;
    }
}

TIEPDFObject* TIEPDFDictionaryObject::Get(const std::string& key) const {
  for (const auto& entry : Entries)
    if (entry.first == key) return entry.second;
  return nullptr;
}

TIEPDFStreamObject::TIEPDFStreamObject() : dictionary_(std::make_unique<TIEPDFDictionaryObject>()) {
  dictionary_->Set("Length", new TIEPDFNumericObject(0));
}

TIEPDFStreamObject::TIEPDFStreamObject(const void* buffer, int64_t size) : TIEPDFStreamObject() {
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  data_.assign(bytes, bytes + size);
}

TIEPDFStreamObject::~TIEPDFStreamObject() = default;

TStream& TIEPDFStreamObject::DataFile() {
  if (!tempFile_) tempFile_ = std::make_unique<TIETemporaryFileStream>(IEGetTempFileName());
  return *tempFile_;
}

void TIEPDFStreamObject::MoveDataToTempFile() {
  TStream& file = DataFile();
  file.SetPosition(file.Size());
  if (!data_.empty()) file.WriteBuffer(data_.data(), static_cast<int32_t>(data_.size()));
  std::vector<uint8_t>().swap(data_);
}

int64_t TIEPDFStreamObject::DataSize() const {
  return tempFile_ ? tempFile_->Size() : static_cast<int64_t>(data_.size());
}

void TIEPDFStreamObject::Write(TStream& stream) {
  const int64_t size = DataSize();
  dictionary_->Set("Length", new TIEPDFNumericObject(static_cast<double>(size)));
  dictionary_->Write(stream);
  IEWriteString(stream, "\nstream\n");
  if (tempFile_) {
    tempFile_->SetPosition(0);
    if (size > 0) IECopyStream(stream, *tempFile_, size);
  } else if (!data_.empty()) {
    stream.WriteBuffer(data_.data(), static_cast<int32_t>(data_.size()));
  }
  IEWriteString(stream, "\nendstream");
}

// ---- documents -----------------------------------------------------------------------

void IEWriteString(TStream& stream, const std::string& text) {
  if (!text.empty()) stream.WriteBuffer(text.data(), static_cast<int32_t>(text.size()));
}

void IEWriteLineLF(TStream& stream, const std::string& text) { IEWriteString(stream, text + "\n"); }

std::string IEPadLeft(const std::string& text, size_t length, char fill) {
  return text.size() >= length ? text : std::string(length - text.size(), fill) + text;
}

std::string IEPDFNumberText(double value) {
  if (!std::isfinite(value)) throw EIEException("A PDF number must be finite");
  if (value == 0) return "0";
  // 15 significant digits as d.dddddddddddddde[+-]x, then placed around the point.
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.14e", std::fabs(value));
  std::string digits = std::string(1, buffer[0]) + std::string(buffer + 2, 14);
  const int exponent = std::atoi(std::strchr(buffer, 'e') + 1);
  digits.erase(digits.find_last_not_of('0') + 1);
  const int point = exponent + 1;  // digits before the decimal point
  std::string text;
  if (point <= 0)
    text = "0." + std::string(static_cast<size_t>(-point), '0') + digits;
  else if (static_cast<size_t>(point) >= digits.size())
    text = digits + std::string(static_cast<size_t>(point) - digits.size(), '0');
  else
    text = digits.substr(0, static_cast<size_t>(point)) + "." + digits.substr(static_cast<size_t>(point));
  return value < 0 ? "-" + text : text;
}

void IEPDFWriteHeader(TStream& stream) {
  IEWriteLineLF(stream, "%PDF-1.4");
  IEWriteLineLF(stream, "%\xC8\xD2\xF0\xFE");
}

void IEPDFWriteObjects(TStream& stream, TIEPDFObjectList& objects) {
  for (auto& object : objects) {
    const int64_t position = stream.Position();
    IEWriteLineLF(stream, std::to_string(object->Number) + " 0 obj");
    object->Write(stream);
    IEWriteString(stream, "\n");
    IEWriteLineLF(stream, "endobj");
    object->Position = position;
  }
}

void IEPDFWriteXRefAndTrailer(TStream& stream, const TIEPDFObjectList& objects, const TIEPDFObject& info) {
  constexpr int64_t kLargestOffset = 9999999999;
  std::string table = "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
  for (const auto& object : objects) {
    if (object->Position > kLargestOffset)
      throw EIEException("The PDF document is too large for its cross-reference table");
    table += IEPadLeft(std::to_string(object->Position), 10, '0') + " 00000 n \n";
  }
  const int64_t xref = stream.Position();
  if (xref > kLargestOffset) throw EIEException("The PDF document is too large for its cross-reference table");
  IEWriteString(stream, table);
  IEWriteLineLF(stream, "trailer");
  IEWriteLineLF(stream, "<< /Size " + std::to_string(objects.size() + 1));
  IEWriteLineLF(stream, "/Root 1 0 R");
  IEWriteLineLF(stream, "/Info " + std::to_string(info.Number) + " 0 R");
  IEWriteLineLF(stream, ">>");
  IEWriteLineLF(stream, "startxref");
  IEWriteLineLF(stream, std::to_string(xref));
  IEWriteLineLF(stream, "%%EOF");
}

TIEPDFDictionaryObject* IEPDFCreateCatalog(TIEPDFObjectList& objects) {
  auto* catalog = new TIEPDFDictionaryObject;
  catalog->Set("Type", new TIEPDFNameObject("Catalog"));
  return IEPDFAddObject(objects, catalog);
}

TIEPDFDictionaryObject* IEPDFCreatePages(TIEPDFObjectList& objects,
                                          const std::vector<TIEPDFDictionaryObject*>& pages) {
  auto* tree = IEPDFAddObject(objects, new TIEPDFDictionaryObject);
  tree->Set("Type", new TIEPDFNameObject("Pages"));
  auto* kids = new TIEPDFArrayObject;
  tree->Set("Kids", kids);
  for (TIEPDFDictionaryObject* page : pages) {
    kids->Add(new TIEPDFRefObject(page->Number, 0));
    page->Set("Parent", new TIEPDFRefObject(tree->Number, 0));
  }
  tree->Set("Count", new TIEPDFNumericObject(static_cast<double>(pages.size())));
  auto* catalog = dynamic_cast<TIEPDFDictionaryObject*>(objects.front().get());
  if (catalog && catalog != tree) catalog->Set("Pages", new TIEPDFRefObject(tree->Number, 0));
  return tree;
}

TIEPDFDictionaryObject* IEPDFCreatePage(TIEPDFObjectList& objects, std::vector<TIEPDFDictionaryObject*>& pages,
                                        const TIEPDFObject* resources, int32_t contentsNumber,
                                        TIEPDFArrayObject* mediaBox) {
  auto* page = new TIEPDFDictionaryObject;
  page->Set("Type", new TIEPDFNameObject("Page"));
  if (resources) page->Set("Resources", new TIEPDFRefObject(resources->Number, 0));
  page->Set("MediaBox", mediaBox);
  page->Set("Contents", new TIEPDFRefObject(contentsNumber, 0));
  IEPDFAddObject(objects, page);
  pages.push_back(page);
  return page;
}

// ---- page counter ----------------------------------------------------------------------

int64_t IEStreamFind(TStream& stream, const std::string& pattern, int64_t limit) {
  // Reads in blocks that grow from 64 bytes, so a near match costs little;
  // the last pattern-length - 1 bytes of each are kept in front of the
  // next, so a match across blocks, or one starting inside a partial
  // match, is found too.
  const size_t length = pattern.size();
  int64_t start = stream.Position();  // the stream position of window[0]
  std::string window;
  char block[4096];
  int64_t blockSize = 64;
  for (;;) {
    const int64_t next = start + static_cast<int64_t>(window.size());
    if (next >= limit) return -1;
    const int32_t got = stream.Read(block, static_cast<int32_t>(std::min(blockSize, limit - next)));
    blockSize = std::min<int64_t>(2 * blockSize, sizeof block);
    if (got <= 0) return -1;
    window.append(block, static_cast<size_t>(got));
    const size_t at = window.find(pattern);
    if (at != std::string::npos) {
      stream.SetPosition(start + static_cast<int64_t>(at + length));
      return start + static_cast<int64_t>(at);
    }
    const size_t keep = std::min(window.size(), length ? length - 1 : 0);
    start += static_cast<int64_t>(window.size() - keep);
    window.erase(0, window.size() - keep);
  }
}

namespace {

// The whole number whose digits start at the position; 0 when there are
// none or too many.
int32_t ReadCount(TStream& stream, int64_t limit) {
  int64_t value = 0;
  int digits = 0;
  uint8_t byte;
  while (stream.Position() < limit && stream.Read(&byte, 1) == 1 && byte >= '0' && byte <= '9') {
    if (++digits > 9) return 0;
    value = value * 10 + (byte - '0');
  }
  return static_cast<int32_t>(value);
}

// Whether the pattern occurs in [from, limit).
bool Occurs(TStream& stream, const std::string& pattern, int64_t from, int64_t limit) {
  stream.SetPosition(from);
  return IEStreamFind(stream, pattern, limit) >= 0;
}

}  // namespace

int32_t IEPDFGetStreamPageCount(TStream& source) {
  TIEBufferedReadStream stream(source, 8192, true);
  const int64_t size = stream.Size();
  int64_t next = 0;
  for (;;) {
    stream.SetPosition(next);
    const int64_t open = IEStreamFind(stream, "<<", size);
    if (open < 0) return 0;
    const int64_t close = IEStreamFind(stream, ">>", size);
    if (close < 0) return 0;  // no dictionary end left to go on from
    next = close + 2;
    if (Occurs(stream, "/Parent", open, close) || !Occurs(stream, "/Type /Pages", open, close)) continue;
    stream.SetPosition(open);
    if (IEStreamFind(stream, "/Count ", close) < 0) continue;
    return ReadCount(stream, close);
  }
}

int32_t IEPDFGetPageCount(const std::string& fileName) {
  TIEWideFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
  return IEPDFGetStreamPageCount(file);
}
