// The PDF object model: nodes that serialise themselves as PDF 1.4 syntax,
// the routines that lay out a document (header, catalog, page tree,
// numbered objects, cross-reference table, trailer) and a page counter for
// existing PDF files. The model only writes; the page counter is a text scan.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/rtl/object.h"

class TStream;

// ---- objects ---------------------------------------------------------------------

class TIEPDFObject : public TObject {
public:
  // 0 until added to a document's object list, then its 1-based place there.
  int32_t Number = 0;
  // Where the object's text (for a numbered object its header line) was last written.
  int64_t Position = 0;
  // Set: an array or dictionary holding the object does not free it.
  bool Shared = false;
  virtual void Write(TStream& stream) = 0;
};

class TIEPDFRefObject : public TIEPDFObject {
public:
  TIEPDFRefObject(int32_t number, int32_t generation) : RefNumber(number), Generation(generation) {}
  void Write(TStream& stream) override;
  int32_t RefNumber, Generation;
};

class TIEPDFBooleanObject : public TIEPDFObject {
public:
  explicit TIEPDFBooleanObject(bool value) : Value(value) {}
  void Write(TStream& stream) override;
  bool Value;
};

// Written in plain decimal, never in exponent form; EIEException for a NaN
// or an infinity, which PDF cannot express.
class TIEPDFNumericObject : public TIEPDFObject {
public:
  explicit TIEPDFNumericObject(double value) : Value(value) {}
  void Write(TStream& stream) override;
  double Value;
};

// A literal string; the bytes go out as they are apart from the escapes.
class TIEPDFStringObject : public TIEPDFObject {
public:
  explicit TIEPDFStringObject(std::string text) : Text(std::move(text)) {}
  void Write(TStream& stream) override;
  std::string Text;
};

// A name, given without its slash.
class TIEPDFNameObject : public TIEPDFObject {
public:
  explicit TIEPDFNameObject(std::string name) : Name(std::move(name)) {}
  void Write(TStream& stream) override;
  std::string Name;
};

class TIEPDFArrayObject : public TIEPDFObject {
public:
  TIEPDFArrayObject() = default;
  ~TIEPDFArrayObject() override;
  TIEPDFArrayObject(const TIEPDFArrayObject&) = delete;
  TIEPDFArrayObject& operator=(const TIEPDFArrayObject&) = delete;
  void Write(TStream& stream) override;
  // Takes the item (unless it is shared).
  void Add(TIEPDFObject* item) { Items.push_back(item); }
  std::vector<TIEPDFObject*> Items;
};

class TIEPDFDictionaryObject : public TIEPDFObject {
public:
  TIEPDFDictionaryObject() = default;
  ~TIEPDFDictionaryObject() override;
  TIEPDFDictionaryObject(const TIEPDFDictionaryObject&) = delete;
  TIEPDFDictionaryObject& operator=(const TIEPDFDictionaryObject&) = delete;
  void Write(TStream& stream) override;
  // Adds the entry, or replaces the value of an existing key (the old value
  // is freed unless shared). Takes the value (unless it is shared).
  void Set(const std::string& key, TIEPDFObject* value);
  // Drops the entry (its value freed unless shared), when there is one.
  void Remove(const std::string& key);
  // The key's value, or null.
  TIEPDFObject* Get(const std::string& key) const;
  // Key (without slash) and value, in the order of adding.
  std::vector<std::pair<std::string, TIEPDFObject*>> Entries;
};

class TIETemporaryFileStream;

// A stream object: its dictionary (which always holds "Length") and its
// data, in memory or in a temporary file.
class TIEPDFStreamObject : public TIEPDFObject {
public:
  TIEPDFStreamObject();
  // The same holding a private copy of size bytes.
  TIEPDFStreamObject(const void* buffer, int64_t size);
  ~TIEPDFStreamObject() override;
  void Write(TStream& stream) override;
  // Writes the memory copy into a new temporary file and frees it; the size stays.
  void MoveDataToTempFile();
  // The temporary file that holds the data, made (empty) on the first call;
  // what is written to it becomes the data.
  TStream& DataFile();
  int64_t DataSize() const;
  TIEPDFDictionaryObject& Dictionary() { return *dictionary_; }

private:
  std::vector<uint8_t> data_;
  std::unique_ptr<TIEPDFDictionaryObject> dictionary_;
  std::unique_ptr<TIETemporaryFileStream> tempFile_;
};

// ---- documents -----------------------------------------------------------------------

// A document's numbered objects, which it owns; numbers are places from 1.
using TIEPDFObjectList = std::vector<std::unique_ptr<TIEPDFObject>>;

void IEWriteLineLF(TStream& stream, const std::string& text);
void IEWriteString(TStream& stream, const std::string& text);
// The text with fill characters in front until it is length characters long.
std::string IEPadLeft(const std::string& text, size_t length, char fill);
// The number as PDF writes it: up to 15 significant digits, no exponent;
// EIEException for a NaN or an infinity.
std::string IEPDFNumberText(double value);

// "%PDF-1.4" and the comment line of four bytes above 127 that marks the file as binary.
void IEPDFWriteHeader(TStream& stream);
// Appends the object, which the list then owns, and numbers it; returns it.
template <class T>
T* IEPDFAddObject(TIEPDFObjectList& objects, T* object) {
  objects.emplace_back(object);
  object->Number = static_cast<int32_t>(objects.size());
  return object;
}
// Every object as "n 0 obj" ... "endobj", recording its position.
void IEPDFWriteObjects(TStream& stream, TIEPDFObjectList& objects);
// The cross-reference table and the trailer (root object 1); EIEException
// when a position needs more than the table's ten digits.
void IEPDFWriteXRefAndTrailer(TStream& stream, const TIEPDFObjectList& objects, const TIEPDFObject& info);
// The catalog, added to the list (object 1 of an empty list).
TIEPDFDictionaryObject* IEPDFCreateCatalog(TIEPDFObjectList& objects);
// The page tree over the pages: each page gets its parent, the first object
// of the list (the catalog) its "Pages".
TIEPDFDictionaryObject* IEPDFCreatePages(TIEPDFObjectList& objects,
                                          const std::vector<TIEPDFDictionaryObject*>& pages);
// A page dictionary (the media box taken), added to the list and to pages;
// resources may be null.
TIEPDFDictionaryObject* IEPDFCreatePage(TIEPDFObjectList& objects, std::vector<TIEPDFDictionaryObject*>& pages,
                                        const TIEPDFObject* resources, int32_t contentsNumber,
                                        TIEPDFArrayObject* mediaBox);

// ---- page counter ----------------------------------------------------------------------

// The "/Count" of the first page-tree root ("/Type /Pages" without
// "/Parent") of a PDF file, found by a text scan; 0 when there is none (as
// in files whose objects sit in compressed object streams).
int32_t IEPDFGetPageCount(const std::string& fileName);
// The same from the stream's position on.
int32_t IEPDFGetStreamPageCount(TStream& stream);
// From the position on, the position where the pattern first begins before
// limit (matches overlapping a partial one included), the stream then just
// past it; -1 when there is none.
int64_t IEStreamFind(TStream& stream, const std::string& pattern, int64_t limit);
