// TStrings, the framework's abstract list of strings with an object per item,
// and TStringList, the concrete list (sorting, duplicates, change events).
//
// Sections: TStrings (abstract slots | items | name=value pairs | texts |
// files and streams | updates) | TStringList
//
// Strings hold UTF-8 (or whatever bytes were loaded: bytes are kept as they
// are). Items compare by the user's locale without regard to case
// (AnsiCompareText), or ordinally when a TStringList is CaseSensitive.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/rtl/object.h"

class TStream;

class TStrings : public TObject {
public:
  ~TStrings() override = default;

  // ---- the slots a concrete list fills ----
  virtual std::string Get(int32_t index) const = 0;
  virtual int32_t GetCount() const = 0;
  virtual TObject* GetObject(int32_t index) const;       // null by default
  virtual void Put(int32_t index, const std::string& s);  // keeps the item's object
  virtual void PutObject(int32_t index, TObject* object); // ignored by default
  virtual void Clear() = 0;
  virtual void Delete(int32_t index) = 0;
  virtual void Insert(int32_t index, const std::string& s) = 0;
  virtual void InsertObject(int32_t index, const std::string& s, TObject* object);

  // ---- items ----
  virtual int32_t Add(const std::string& s);  // index of the new item
  virtual int32_t AddObject(const std::string& s, TObject* object);
  void AddStrings(const TStrings& strings);
  virtual void Assign(const TStrings& source);  // items, objects and separators
  virtual int32_t IndexOf(const std::string& s) const;
  int32_t IndexOfObject(TObject* object) const;
  virtual void Exchange(int32_t index1, int32_t index2);
  virtual void Move(int32_t curIndex, int32_t newIndex);

  int32_t Count() const { return GetCount(); }
  std::string Strings(int32_t index) const { return Get(index); }
  void SetStrings(int32_t index, const std::string& s) { Put(index, s); }
  TObject* Objects(int32_t index) const { return GetObject(index); }
  void SetObjects(int32_t index, TObject* object) { PutObject(index, object); }

  // ---- name=value pairs ----
  // The part before the first separator; empty when the item has none.
  std::string Names(int32_t index) const;
  // The value after "name=" of the first item with that name; empty when none.
  std::string Values(const std::string& name) const;
  // Replaces (or adds) "name=value"; an empty value deletes the item.
  void SetValues(const std::string& name, const std::string& value);
  // The part after the first separator; empty when the item has none.
  std::string ValueFromIndex(int32_t index) const;
  void SetValueFromIndex(int32_t index, const std::string& value);
  virtual int32_t IndexOfName(const std::string& name) const;
  char NameValueSeparator() const { return nameValueSeparator_; }
  void SetNameValueSeparator(char c) { nameValueSeparator_ = c; }

  // ---- texts ----
  // Every item followed by CR LF. Setting splits at CR LF, LF or CR; a line
  // break at the very end adds no empty item.
  std::string Text() const;
  virtual void SetText(const std::string& text);
  // DelimitedText with "," and '"', spaces also separating.
  std::string CommaText() const;
  void SetCommaText(const std::string& text);
  // Items joined by Delimiter; an item holding the delimiter, the quote or
  // (unless StrictDelimiter) a space or control character is quoted, quotes
  // doubled. Setting splits the same way.
  std::string DelimitedText() const;
  void SetDelimitedText(const std::string& text);
  char Delimiter() const { return delimiter_; }
  void SetDelimiter(char c) { delimiter_ = c; }
  char QuoteChar() const { return quoteChar_; }
  void SetQuoteChar(char c) { quoteChar_ = c; }
  bool StrictDelimiter() const { return strictDelimiter_; }
  void SetStrictDelimiter(bool strict) { strictDelimiter_ = strict; }

  // ---- files and streams ----
  // Loading reads from the stream's position to its end; a UTF-8 byte-order
  // mark is skipped. Saving writes Text.
  virtual void LoadFromStream(TStream& stream);
  virtual void SaveToStream(TStream& stream) const;
  void LoadFromFile(const std::string& fileName);
  void SaveToFile(const std::string& fileName) const;

  // ---- updates ----
  // Brackets a batch of changes; the outermost pair calls SetUpdateState.
  void BeginUpdate();
  void EndUpdate();
  int32_t UpdateCount() const { return updateCount_; }

protected:
  virtual void SetUpdateState(bool updating);
  // Compares two items as the list does: without case by default.
  virtual int32_t CompareStrings(const std::string& s1, const std::string& s2) const;

private:
  std::string QuotedIfNeeded(const std::string& s, char delimiter, char quote, bool strict) const;
  void SplitDelimited(const std::string& text, char delimiter, char quote, bool strict);

  int32_t updateCount_ = 0;
  char nameValueSeparator_ = '=';
  char delimiter_ = ',';
  char quoteChar_ = '"';
  bool strictDelimiter_ = false;
};

enum TDuplicates { dupIgnore, dupAccept, dupError };

class TStringList;
// Negative when item index1 sorts before item index2.
using TStringListSortCompare = std::function<int32_t(TStringList& list, int32_t index1, int32_t index2)>;

class TStringList : public TStrings {
public:
  TStringList() = default;
  TStringList(const TStringList&) = delete;
  TStringList& operator=(const TStringList&) = delete;
  ~TStringList() override;

  std::string Get(int32_t index) const override;
  int32_t GetCount() const override { return static_cast<int32_t>(items_.size()); }
  TObject* GetObject(int32_t index) const override;
  void Put(int32_t index, const std::string& s) override;
  void PutObject(int32_t index, TObject* object) override;
  void Clear() override;
  void Delete(int32_t index) override;
  void Insert(int32_t index, const std::string& s) override;
  void InsertObject(int32_t index, const std::string& s, TObject* object) override;

  // A sorted list inserts at the item's place; Duplicates decides about an
  // item already present (dupError raises "String list does not allow duplicates").
  int32_t Add(const std::string& s) override;
  int32_t AddObject(const std::string& s, TObject* object) override;
  int32_t IndexOf(const std::string& s) const override;
  void Exchange(int32_t index1, int32_t index2) override;
  // Binary search of a sorted list: true when found; index is the item's
  // place or where it would be inserted.
  virtual bool Find(const std::string& s, int32_t& index) const;
  virtual void Sort();
  virtual void CustomSort(const TStringListSortCompare& compare);

  bool Sorted() const { return sorted_; }
  void SetSorted(bool sorted);
  TDuplicates Duplicates() const { return duplicates_; }
  void SetDuplicates(TDuplicates duplicates) { duplicates_ = duplicates; }
  bool CaseSensitive() const { return caseSensitive_; }
  void SetCaseSensitive(bool caseSensitive);

  // Fired before and after each change outside a BeginUpdate/EndUpdate
  // bracket, and once around a whole bracket.
  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;

protected:
  virtual void Changed();
  virtual void Changing();
  void SetUpdateState(bool updating) override;
  int32_t CompareStrings(const std::string& s1, const std::string& s2) const override;
  void CheckIndex(int32_t index) const;

private:
  struct Item {
    std::string text;
    TObject* object = nullptr;
  };
  void InsertItem(int32_t index, const std::string& s, TObject* object);
  void ExchangeItems(int32_t index1, int32_t index2) { std::swap(items_[index1], items_[index2]); }

  std::vector<Item> items_;
  bool sorted_ = false;
  bool caseSensitive_ = false;
  TDuplicates duplicates_ = dupIgnore;
};
