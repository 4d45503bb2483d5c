// A string-keyed hash table owning its values (texts, integers, doubles,
// Booleans, nested dictionaries and lists), its JSON dump, and a parser of
// the library's JSON-like and XML-like texts into it.
//
// Sections: values | dictionary | parser | hashing
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/lists.h"
#include "platform/rtl/object.h"

// ---- values -----------------------------------------------------------------------------

// Texts are UTF-8.
class TIEDictionaryValueWideString : public TObject {
public:
  explicit TIEDictionaryValueWideString(std::string value) : Value(std::move(value)) {}
  std::string Value;
};

class TIEDictionaryValueInteger : public TObject {
public:
  explicit TIEDictionaryValueInteger(int32_t value) : Value(value) {}
  int32_t Value;
};

class TIEDictionaryValueDouble : public TObject {
public:
  explicit TIEDictionaryValueDouble(double value) : Value(value) {}
  double Value;
};

class TIEDictionaryValueBoolean : public TObject {
public:
  explicit TIEDictionaryValueBoolean(bool value) : Value(value) {}
  bool Value;
};

// ---- dictionary -------------------------------------------------------------------------

struct TIEDictionaryBucket {
  std::string Key;
  std::unique_ptr<TObject> Value;
  std::unique_ptr<TIEDictionaryBucket> Next;
};

// Position of an enumeration; a new one starts before the first entry.
struct TIEStrStrEnumerator {
  int32_t BucketIndex = -1;
  TIEDictionaryBucket* Current = nullptr;
};

using TIEDictionaryHash = uint32_t (*)(const std::string& key, uint32_t bucketCount);

class TIEDictionary : public TObject {
public:
  // Every caller passes 103 buckets; the count is made prime on first use.
  explicit TIEDictionary(uint32_t bucketCount = 103);
  ~TIEDictionary() override;
  TIEDictionary(const TIEDictionary&) = delete;
  TIEDictionary& operator=(const TIEDictionary&) = delete;

  // Frees every entry; the table stays prepared.
  void Clear();
  // Stores the value (owned from now on); a value under the same key is freed.
  void Insert(const std::string& key, std::unique_ptr<TObject> value);
  void InsertString(const std::string& key, const std::string& text);
  void InsertDictionary(const std::string& key, std::unique_ptr<TIEDictionary> dictionary);
  // A list of values owning its items.
  void InsertList(const std::string& key, std::unique_ptr<TObjectList> list);
  // The value under key; with recursive, else the first found in a nested
  // dictionary. Absent: null with noRaise, else EIEException
  // "Key "%s" not found".
  TObject* Get(const std::string& key, bool noRaise = true, bool recursive = false);
  bool Exists(const std::string& key, bool recursive = false);
  // Unlinks the key; its value is freed with freeValue, else it passes to
  // the caller (who took it with Get). False when absent.
  bool Remove(const std::string& key, bool freeValue);
  // Advances to the next entry (bucket order, then chain order); false at
  // the end, which also resets the enumerator.
  bool Next(TIEStrStrEnumerator& enumerator);
  bool IsEmpty();

  // The entries as JSON without blanks; texts escape quotes, backslashes and
  // control characters, doubles always show they are doubles.
  void DumpJSON(std::string& text);
  // Reads JSON-like or XML-like text into this dictionary; false on a syntax error.
  bool Parse(const std::string& text);
  // Clear, then Parse of the source's dump.
  void Assign(TIEDictionary& source);

  TIEDictionaryHash HashFunction;

private:
  void Prepare();
  TIEDictionaryBucket* Find(const std::string& key);
  TObject* FindInChildren(const std::string& key);

  bool prepared_ = false;
  uint32_t bucketCount_;
  std::vector<std::unique_ptr<TIEDictionaryBucket>> buckets_;
};

// ---- parser --------------------------------------------------------------------------------

// Parses text whose first non-blank character is "{" (JSON-like) or "<"
// (XML-like); anything else is an error. Nesting is bounded.
class TIEDictionaryParser {
public:
  explicit TIEDictionaryParser(const std::string& text);
  // Fills dictionary; Error() tells whether the text was well formed.
  void Parse(TIEDictionary& dictionary);
  bool Error() const { return error_; }

private:
  char NextNonBlank();       // the next non-blank character, consumed; ' ' at the end
  char PeekNonBlank();       // the same, not consumed
  bool AtEnd() const { return position_ >= text_.size(); }
  bool IsDelimiter(char c) const;
  std::string ReadString();  // a quoted string
  std::string ReadName();    // up to the next blank or delimiter
  void AddValue(TIEDictionary& dictionary, const std::string& key, std::unique_ptr<TObject> value);
  std::unique_ptr<TIEDictionary> ParseObject(TIEDictionary* into);
  std::unique_ptr<TObject> ParseValue();
  std::unique_ptr<TIEDictionary> ParseXML(TIEDictionary* into);
  std::unique_ptr<TIEDictionary> ParseAttributes();
  bool Enter();
  void Leave() { --depth_; }

  std::string text_;
  size_t position_ = 0;
  bool error_ = false;
  int32_t mode_ = 0;  // 0 JSON-like, 1 XML-like
  int32_t depth_ = 0;
};

// ---- hashing ---------------------------------------------------------------------------------

// The ELF hash over the key's UTF-16 characters, modulo bucketCount.
uint32_t IEStringHash(const std::string& key, uint32_t bucketCount);
bool IEIsPrime(uint32_t n);
uint32_t IENextPrime(uint32_t n);
