#include "platform/rtl/stringlist.h"

#include <algorithm>
#include <new>
#include <stdexcept>
#include <string_view>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/sortutil.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"

namespace {

[[noreturn]] void RaiseStringListIndexError(int32_t index) {
  throw EStringListError("List index out of bounds (" + std::to_string(index) + ")");
}

bool IsSpaceOrControl(char c) { return static_cast<unsigned char>(c) <= ' '; }

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr int32_t kChunk = 1 << 20;

// The bytes from the stream's position to its end; streams that cannot tell
// their size (pipes) are read until they give nothing.
std::string ReadToEnd(TStream& stream) {
  std::string bytes;
  int64_t position = stream.Position();
  int64_t size = stream.Size();
  try {
    if (position >= 0 && size > position) bytes.reserve(static_cast<size_t>(size - position));
    // Read through a small buffer of its own: nothing is cleared that the stream then overwrites.
    char piece[64 * 1024];
    for (;;) {
      const int32_t got = stream.Read(piece, static_cast<int32_t>(sizeof piece));
      if (got <= 0) break;
      bytes.append(piece, static_cast<size_t>(got));
    }
  } catch (const std::bad_alloc&) {
    throw EOutOfMemory("Out of memory");
  } catch (const std::length_error&) {
    throw EOutOfMemory("Out of memory");
  }
  return bytes;
}

void WriteAll(TStream& stream, const std::string& bytes) {
  for (size_t done = 0; done < bytes.size();) {
    int32_t piece = static_cast<int32_t>(std::min<size_t>(bytes.size() - done, kChunk));
    stream.WriteBuffer(bytes.data() + done, piece);
    done += static_cast<size_t>(piece);
  }
}

}  // namespace

// ---- TStrings: slots ----------------------------------------------------------

TObject* TStrings::GetObject(int32_t) const { return nullptr; }

void TStrings::PutObject(int32_t, TObject*) {}

void TStrings::Put(int32_t index, const std::string& s) {
  TObject* object = GetObject(index);
  BeginUpdate();
  Delete(index);
  InsertObject(index, s, object);
  EndUpdate();
}

void TStrings::InsertObject(int32_t index, const std::string& s, TObject* object) {
  Insert(index, s);
  PutObject(index, object);
}

// ---- TStrings: items ----------------------------------------------------------

int32_t TStrings::Add(const std::string& s) {
  int32_t index = GetCount();
  Insert(index, s);
  return index;
}

int32_t TStrings::AddObject(const std::string& s, TObject* object) {
  int32_t index = Add(s);
  PutObject(index, object);
  return index;
}

void TStrings::AddStrings(const TStrings& strings) {
  BeginUpdate();
  for (int32_t i = 0; i < strings.GetCount(); ++i) AddObject(strings.Get(i), strings.GetObject(i));
  EndUpdate();
}

void TStrings::Assign(const TStrings& source) {
  if (&source == this) return;
  BeginUpdate();
  Clear();
  nameValueSeparator_ = source.nameValueSeparator_;
  delimiter_ = source.delimiter_;
  quoteChar_ = source.quoteChar_;
  strictDelimiter_ = source.strictDelimiter_;
  AddStrings(source);
  EndUpdate();
}

int32_t TStrings::IndexOf(const std::string& s) const {
  for (int32_t i = 0; i < GetCount(); ++i)
    if (CompareStrings(Get(i), s) == 0) return i;
  return -1;
}

int32_t TStrings::IndexOfObject(TObject* object) const {
  for (int32_t i = 0; i < GetCount(); ++i)
    if (GetObject(i) == object) return i;
  return -1;
}

void TStrings::Exchange(int32_t index1, int32_t index2) {
  BeginUpdate();
  std::string s1 = Get(index1);
  TObject* o1 = GetObject(index1);
  Put(index1, Get(index2));
  PutObject(index1, GetObject(index2));
  Put(index2, s1);
  PutObject(index2, o1);
  EndUpdate();
}

void TStrings::Move(int32_t curIndex, int32_t newIndex) {
  if (curIndex == newIndex) return;
  BeginUpdate();
  std::string s = Get(curIndex);
  TObject* object = GetObject(curIndex);
  Delete(curIndex);
  InsertObject(newIndex, s, object);
  EndUpdate();
}

// ---- TStrings: name=value pairs -----------------------------------------------

std::string TStrings::Names(int32_t index) const {
  std::string s = Get(index);
  size_t p = s.find(nameValueSeparator_);
  return p == std::string::npos ? std::string() : s.substr(0, p);
}

std::string TStrings::ValueFromIndex(int32_t index) const {
  if (index < 0) return std::string();
  std::string s = Get(index);
  size_t p = s.find(nameValueSeparator_);
  return p == std::string::npos ? std::string() : s.substr(p + 1);
}

std::string TStrings::Values(const std::string& name) const { return ValueFromIndex(IndexOfName(name)); }

void TStrings::SetValues(const std::string& name, const std::string& value) {
  int32_t index = IndexOfName(name);
  if (value.empty()) {
    if (index >= 0) Delete(index);
  } else if (index < 0) {
    Add(name + nameValueSeparator_ + value);
  } else {
    Put(index, name + nameValueSeparator_ + value);
  }
}

void TStrings::SetValueFromIndex(int32_t index, const std::string& value) {
  if (value.empty()) {
    if (index >= 0) Delete(index);
    return;
  }
  if (index < 0)
    Add(std::string(1, nameValueSeparator_) + value);
  else
    Put(index, Names(index) + nameValueSeparator_ + value);
}

int32_t TStrings::IndexOfName(const std::string& name) const {
  for (int32_t i = 0; i < GetCount(); ++i) {
    std::string s = Get(i);
    size_t p = s.find(nameValueSeparator_);
    if (p != std::string::npos && CompareStrings(s.substr(0, p), name) == 0) return i;
  }
  return -1;
}

// ---- TStrings: texts ----------------------------------------------------------

std::string TStrings::Text() const {
  std::string text;
  for (int32_t i = 0; i < GetCount(); ++i) {
    text += Get(i);
    text += "\r\n";
  }
  return text;
}

void TStrings::SetText(const std::string& text) {
  BeginUpdate();
  Clear();
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) {
      Add(text.substr(start));
      break;
    }
    Add(text.substr(start, end - start));
    start = end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
  }
  EndUpdate();
}

std::string TStrings::QuotedIfNeeded(const std::string& s, char delimiter, char quote, bool strict) const {
  bool needs = false;
  for (char c : s)
    if (c == delimiter || c == quote || c == '\0' || (!strict && IsSpaceOrControl(c))) needs = true;
  if (!needs) return s;
  std::string quoted(1, quote);
  for (char c : s) {
    quoted += c;
    if (c == quote) quoted += c;
  }
  quoted += quote;
  return quoted;
}

std::string TStrings::DelimitedText() const {
  if (GetCount() == 1 && Get(0).empty()) return std::string(2, quoteChar_);
  std::string text;
  for (int32_t i = 0; i < GetCount(); ++i) {
    if (i > 0) text += delimiter_;
    text += QuotedIfNeeded(Get(i), delimiter_, quoteChar_, strictDelimiter_);
  }
  return text;
}

void TStrings::SplitDelimited(const std::string& text, char delimiter, char quote, bool strict) {
  size_t p = 0;
  const size_t n = text.size();
  auto skipSpaces = [&] {
    if (!strict)
      while (p < n && IsSpaceOrControl(text[p])) ++p;
  };
  BeginUpdate();
  Clear();
  skipSpaces();
  while (p < n) {
    std::string item;
    if (text[p] == quote) {
      // A quoted item: doubled quotes stand for one; it ends at a single quote.
      ++p;
      while (p < n) {
        if (text[p] == quote) {
          if (p + 1 < n && text[p + 1] == quote) {
            item += quote;
            p += 2;
            continue;
          }
          ++p;
          break;
        }
        item += text[p++];
      }
    } else {
      size_t start = p;
      while (p < n && text[p] != delimiter && (strict || !IsSpaceOrControl(text[p]))) ++p;
      item = text.substr(start, p - start);
    }
    Add(item);
    skipSpaces();
    if (p < n && text[p] == delimiter) {
      ++p;
      if (p == n) Add(std::string());  // a delimiter at the end ends an empty item
      skipSpaces();
    }
  }
  EndUpdate();
}

void TStrings::SetDelimitedText(const std::string& text) {
  SplitDelimited(text, delimiter_, quoteChar_, strictDelimiter_);
}

std::string TStrings::CommaText() const {
  if (GetCount() == 1 && Get(0).empty()) return "\"\"";
  std::string text;
  for (int32_t i = 0; i < GetCount(); ++i) {
    if (i > 0) text += ',';
    text += QuotedIfNeeded(Get(i), ',', '"', false);
  }
  return text;
}

void TStrings::SetCommaText(const std::string& text) { SplitDelimited(text, ',', '"', false); }

// ---- TStrings: files and streams ----------------------------------------------

void TStrings::LoadFromStream(TStream& stream) {
  std::string bytes = ReadToEnd(stream);
  std::string_view view(bytes);
  if (view.substr(0, kUtf8Bom.size()) == kUtf8Bom) view.remove_prefix(kUtf8Bom.size());
  SetText(std::string(view));
}

void TStrings::SaveToStream(TStream& stream) const {
  std::string text = Text();
  WriteAll(stream, text);
}

void TStrings::LoadFromFile(const std::string& fileName) {
  TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(stream);
}

void TStrings::SaveToFile(const std::string& fileName) const {
  TFileStream stream(fileName, fmCreate);
  SaveToStream(stream);
}

// ---- TStrings: updates --------------------------------------------------------

void TStrings::BeginUpdate() {
  if (updateCount_++ == 0) SetUpdateState(true);
}

void TStrings::EndUpdate() {
  if (updateCount_ == 0) return;
  if (--updateCount_ == 0) SetUpdateState(false);
}

void TStrings::SetUpdateState(bool) {}

int32_t TStrings::CompareStrings(const std::string& s1, const std::string& s2) const {
  return AnsiCompareText(s1, s2);
}

// ---- TStringList --------------------------------------------------------------

TStringList::~TStringList() {
  OnChange = nullptr;
  OnChanging = nullptr;
}

void TStringList::CheckIndex(int32_t index) const {
  if (index < 0 || index >= GetCount()) RaiseStringListIndexError(index);
}

std::string TStringList::Get(int32_t index) const {
  CheckIndex(index);
  return items_[index].text;
}

TObject* TStringList::GetObject(int32_t index) const {
  CheckIndex(index);
  return items_[index].object;
}

void TStringList::Put(int32_t index, const std::string& s) {
  if (sorted_) throw EStringListError("Operation not allowed on sorted list");
  CheckIndex(index);
  Changing();
  items_[index].text = s;
  Changed();
}

void TStringList::PutObject(int32_t index, TObject* object) {
  CheckIndex(index);
  Changing();
  items_[index].object = object;
  Changed();
}

void TStringList::Clear() {
  if (items_.empty()) return;
  Changing();
  items_.clear();
  Changed();
}

void TStringList::Delete(int32_t index) {
  CheckIndex(index);
  Changing();
  items_.erase(items_.begin() + index);
  Changed();
}

void TStringList::Insert(int32_t index, const std::string& s) { InsertObject(index, s, nullptr); }

void TStringList::InsertObject(int32_t index, const std::string& s, TObject* object) {
  if (sorted_) throw EStringListError("Operation not allowed on sorted list");
  if (index < 0 || index > GetCount()) RaiseStringListIndexError(index);
  InsertItem(index, s, object);
}

void TStringList::InsertItem(int32_t index, const std::string& s, TObject* object) {
  Changing();
  items_.insert(items_.begin() + index, Item{s, object});
  Changed();
}

int32_t TStringList::Add(const std::string& s) { return AddObject(s, nullptr); }

int32_t TStringList::AddObject(const std::string& s, TObject* object) {
  int32_t index = GetCount();
  if (sorted_ && Find(s, index)) {
    if (duplicates_ == dupIgnore) return index;
    if (duplicates_ == dupError) throw EStringListError("String list does not allow duplicates");
  }
  InsertItem(index, s, object);
  return index;
}

int32_t TStringList::IndexOf(const std::string& s) const {
  if (!sorted_) return TStrings::IndexOf(s);
  int32_t index = -1;
  return Find(s, index) ? index : -1;
}

void TStringList::Exchange(int32_t index1, int32_t index2) {
  CheckIndex(index1);
  CheckIndex(index2);
  Changing();
  ExchangeItems(index1, index2);
  Changed();
}

bool TStringList::Find(const std::string& s, int32_t& index) const {
  // The first item not below s.
  int32_t low = 0, high = GetCount();
  while (low < high) {
    int32_t mid = low + (high - low) / 2;
    if (CompareStrings(items_[mid].text, s) < 0)
      low = mid + 1;
    else
      high = mid;
  }
  index = low;
  return low < GetCount() && CompareStrings(items_[low].text, s) == 0;
}

void TStringList::Sort() {
  CustomSort([](TStringList& list, int32_t a, int32_t b) {
    return list.CompareStrings(list.items_[a].text, list.items_[b].text);
  });
}

void TStringList::CustomSort(const TStringListSortCompare& compare) {
  if (sorted_ || GetCount() < 2) return;
  Changing();
  HeapSortIndexes(
      GetCount(), [&](int32_t a, int32_t b) { return compare(*this, a, b) < 0; },
      [&](int32_t a, int32_t b) { ExchangeItems(a, b); });
  Changed();
}

void TStringList::SetSorted(bool sorted) {
  if (sorted == sorted_) return;
  if (sorted) Sort();
  sorted_ = sorted;
}

void TStringList::SetCaseSensitive(bool caseSensitive) {
  if (caseSensitive == caseSensitive_) return;
  caseSensitive_ = caseSensitive;
  if (sorted_) {
    sorted_ = false;
    SetSorted(true);
  }
}

void TStringList::Changed() {
  if (UpdateCount() == 0 && OnChange) OnChange(this);
}

void TStringList::Changing() {
  if (UpdateCount() == 0 && OnChanging) OnChanging(this);
}

void TStringList::SetUpdateState(bool updating) {
  // Called while the count is still (or already) non-zero: fire directly.
  if (updating) {
    if (OnChanging) OnChanging(this);
  } else if (OnChange) {
    OnChange(this);
  }
}

int32_t TStringList::CompareStrings(const std::string& s1, const std::string& s2) const {
  return caseSensitive_ ? CompareStr(s1, s2) : AnsiCompareText(s1, s2);
}
