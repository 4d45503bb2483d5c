// Dictionary, its JSON dump and the JSON-like / XML-like parser.
//
// Sections: hashing | dictionary | dump | parser
#include "imaging/core/ruduvazez_dictionary.h"

#include <cstdio>
#include <cstdlib>
#include <limits>

#include "imaging/core/davovevo.h"
#include "imaging/core/ruduvazez.h"
#include "platform/rtl/encoding.h"
#include "platform/rtl/sysutils.h"

namespace {

// Deepest nesting of objects, lists and elements the parser follows.
constexpr int32_t kMaxDepth = 200;

}  // namespace

// ---- hashing ---------------------------------------------------------------------------------

uint32_t IEStringHash(const std::string& key, uint32_t bucketCount) {
  uint32_t h = 0;
  for (char16_t c : Utf8ToUtf16(key)) {
    h = (h << 4) + c;
    const uint32_t top = h & 0xF0000000u;
    if (top != 0) h = (h ^ (top >> 24)) & ~0xF0000000u;
  }
  return bucketCount ? h % bucketCount : 0;
}

bool IEIsPrime(uint32_t n) {
  for (uint32_t d = 3; n / d >= d; d += 2)
    if (n % d == 0) return false;
  return true;
}

uint32_t IENextPrime(uint32_t n) {
  if (n <= 1) return 2;
  uint32_t candidate = n % 2 == 0 ? n + 1 : n + 2;
  while (!IEIsPrime(candidate)) candidate += 2;
  return candidate;
}

// ---- dictionary -------------------------------------------------------------------------

TIEDictionary::TIEDictionary(uint32_t bucketCount) : HashFunction(IEStringHash), bucketCount_(bucketCount) {}

TIEDictionary::~TIEDictionary() { Clear(); }

void TIEDictionary::Prepare() {
  if (prepared_) return;
  if (bucketCount_ < 2 || !IEIsPrime(bucketCount_)) bucketCount_ = IENextPrime(bucketCount_);
  buckets_.resize(bucketCount_);
  prepared_ = true;
}

void TIEDictionary::Clear() {
  // Chains are freed link by link, so a long chain never recurses deeply.
  for (auto& head : buckets_)
    while (head) head = std::move(head->Next);
}

TIEDictionaryBucket* TIEDictionary::Find(const std::string& key) {
  Prepare();
  for (TIEDictionaryBucket* b = buckets_[HashFunction(key, bucketCount_)].get(); b; b = b->Next.get())
    if (b->Key == key) return b;
  return nullptr;
}

void TIEDictionary::Insert(const std::string& key, std::unique_ptr<TObject> value) {
  Prepare();
  std::unique_ptr<TIEDictionaryBucket>* link = &buckets_[HashFunction(key, bucketCount_)];
  while (*link) {
    if ((*link)->Key == key) {
      (*link)->Value = std::move(value);
      return;
    }
    link = &(*link)->Next;
  }
  *link = std::make_unique<TIEDictionaryBucket>();
  (*link)->Key = key;
  (*link)->Value = std::move(value);
}

void TIEDictionary::InsertString(const std::string& key, const std::string& text) {
  Insert(key, std::make_unique<TIEDictionaryValueWideString>(text));
}

void TIEDictionary::InsertDictionary(const std::string& key, std::unique_ptr<TIEDictionary> dictionary) {
  Insert(key, std::move(dictionary));
}

void TIEDictionary::InsertList(const std::string& key, std::unique_ptr<TObjectList> list) {
  Insert(key, std::move(list));
}

TObject* TIEDictionary::FindInChildren(const std::string& key) {
  TIEStrStrEnumerator e;
  while (Next(e))
    if (auto* child = dynamic_cast<TIEDictionary*>(e.Current->Value.get()))
      if (TObject* found = child->Get(key, true, true)) return found;
  return nullptr;
}

TObject* TIEDictionary::Get(const std::string& key, bool noRaise, bool recursive) {
  TIEDictionaryBucket* bucket = Find(key);
  TObject* value = bucket ? bucket->Value.get() : nullptr;
  if (!value && recursive) value = FindInChildren(key);
  if (!value && !noRaise) throw EIEException(Format("Key \"%s\" not found", {key}));
  return value;
}

bool TIEDictionary::Exists(const std::string& key, bool recursive) { return Get(key, true, recursive) != nullptr; }

bool TIEDictionary::Remove(const std::string& key, bool freeValue) {
  Prepare();
  std::unique_ptr<TIEDictionaryBucket>* link = &buckets_[HashFunction(key, bucketCount_)];
  while (*link && (*link)->Key != key) link = &(*link)->Next;
  if (!*link) return false;
  if (!freeValue) (void)(*link)->Value.release();  // the caller owns it now
  *link = std::move((*link)->Next);
  return true;
}

bool TIEDictionary::Next(TIEStrStrEnumerator& enumerator) {
  Prepare();
  if (enumerator.Current && enumerator.Current->Next) {
    enumerator.Current = enumerator.Current->Next.get();
    return true;
  }
  for (int32_t i = enumerator.BucketIndex + 1; i < static_cast<int32_t>(buckets_.size()); ++i) {
    if (buckets_[static_cast<size_t>(i)]) {
      enumerator.BucketIndex = i;
      enumerator.Current = buckets_[static_cast<size_t>(i)].get();
      return true;
    }
  }
  enumerator = TIEStrStrEnumerator();
  return false;
}

bool TIEDictionary::IsEmpty() {
  if (!prepared_) return true;
  for (const auto& head : buckets_)
    if (head) return false;
  return true;
}

bool TIEDictionary::Parse(const std::string& text) {
  TIEDictionaryParser parser(text);
  parser.Parse(*this);
  return !parser.Error();
}

void TIEDictionary::Assign(TIEDictionary& source) {
  std::string text;
  source.DumpJSON(text);
  Clear();
  Parse(text);
}

// ---- dump ----------------------------------------------------------------------------------

namespace {

void AppendQuoted(std::string& out, const std::string& text) {
  out += '"';
  for (unsigned char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
          out += escaped;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  out += '"';
}

// A double's text that reads back as a double: "2" becomes "2.0".
std::string DoubleText(double value) {
  std::string text = IEFloatToStrDot(value);
  if (text.find_first_of(".eE") == std::string::npos && text.find_first_of("0123456789") != std::string::npos)
    text += ".0";
  return text;
}

void AppendValue(std::string& out, TObject* value);

void AppendList(std::string& out, TObjectList& list) {
  out += '[';
  for (int32_t i = 0; i < list.Count(); ++i) {
    if (i > 0) out += ',';
    AppendValue(out, list.Items(i));
  }
  out += ']';
}

void AppendValue(std::string& out, TObject* value) {
  if (auto* s = dynamic_cast<TIEDictionaryValueWideString*>(value)) {
    AppendQuoted(out, s->Value);
  } else if (auto* i = dynamic_cast<TIEDictionaryValueInteger*>(value)) {
    out += std::to_string(i->Value);
  } else if (auto* d = dynamic_cast<TIEDictionaryValueDouble*>(value)) {
    out += DoubleText(d->Value);
  } else if (auto* b = dynamic_cast<TIEDictionaryValueBoolean*>(value)) {
    out += b->Value ? "true" : "false";
  } else if (auto* dictionary = dynamic_cast<TIEDictionary*>(value)) {
    std::string nested;
    dictionary->DumpJSON(nested);
    out += nested;
  } else if (auto* list = dynamic_cast<TObjectList*>(value)) {
    AppendList(out, *list);
  } else {
    out += "null";  // no kind the parser knows
  }
}

}  // namespace

void TIEDictionary::DumpJSON(std::string& text) {
  text = "{";
  TIEStrStrEnumerator e;
  bool first = true;
  while (Next(e)) {
    if (!first) text += ',';
    first = false;
    AppendQuoted(text, e.Current->Key);
    text += ':';
    AppendValue(text, e.Current->Value.get());
  }
  text += '}';
}

// ---- parser --------------------------------------------------------------------------------

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

int32_t HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

TIEDictionaryParser::TIEDictionaryParser(const std::string& text) : text_(text) {
  const char first = PeekNonBlank();
  if (first == '{')
    mode_ = 0;
  else if (first == '<')
    mode_ = 1;
  else
    error_ = true;
}

char TIEDictionaryParser::PeekNonBlank() {
  while (!AtEnd() && IsBlank(text_[position_])) ++position_;
  return AtEnd() ? ' ' : text_[position_];
}

char TIEDictionaryParser::NextNonBlank() {
  const char c = PeekNonBlank();
  if (!AtEnd()) ++position_;
  return c;
}

bool TIEDictionaryParser::IsDelimiter(char c) const {
  static const std::string kJSON = "\",:[]{}", kXML = "\"'/<=>?";
  return (mode_ == 0 ? kJSON : kXML).find(c) != std::string::npos;
}

bool TIEDictionaryParser::Enter() {
  if (++depth_ > kMaxDepth) error_ = true;
  return !error_;
}

std::string TIEDictionaryParser::ReadString() {
  const char quote = NextNonBlank();
  if (quote != '"' && (mode_ == 0 || quote != '\'')) {
    error_ = true;
    return {};
  }
  std::string result;
  std::u16string pending;  // \u escapes, joined so surrogate pairs decode together
  auto flush = [&] {
    if (!pending.empty()) result += Utf16ToUtf8(pending);
    pending.clear();
  };
  while (!AtEnd()) {
    const char c = text_[position_++];
    if (c == quote) {
      flush();
      return result;
    }
    if (c != '\\' || AtEnd()) {
      flush();
      result += c;
      continue;
    }
    const char e = text_[position_];
    if (mode_ == 1 || e == quote) {  // XML-like texts only escape the quote
      flush();
      if (e == quote) ++position_;
      result += e == quote ? e : c;
      continue;
    }
    ++position_;
    if (e == 'u' && position_ + 4 <= text_.size()) {
      int32_t code = 0;
      for (size_t k = 0; k < 4 && code >= 0; ++k) {
        const int32_t digit = HexDigit(text_[position_ + k]);
        code = digit < 0 ? -1 : code * 16 + digit;
      }
      if (code >= 0) {
        pending += static_cast<char16_t>(code);
        position_ += 4;
        continue;
      }
    }
    flush();
    switch (e) {
      case '\\': result += '\\'; break;
      case '/': result += '/'; break;
      case 'b': result += '\b'; break;
      case 'f': result += '\f'; break;
      case 'n': result += '\n'; break;
      case 'r': result += '\r'; break;
      case 't': result += '\t'; break;
      default: result += c; result += e;  // unknown sequences stay as they are
    }
  }
  error_ = true;  // no closing quote
  return result;
}

std::string TIEDictionaryParser::ReadName() {
  PeekNonBlank();
  const size_t start = position_;
  while (!AtEnd() && !IsBlank(text_[position_]) && !IsDelimiter(text_[position_])) ++position_;
  return text_.substr(start, position_ - start);
}

void TIEDictionaryParser::AddValue(TIEDictionary& dictionary, const std::string& key, std::unique_ptr<TObject> value) {
  TObject* existing = dictionary.Get(key, true, false);
  if (auto* list = dynamic_cast<TObjectList*>(existing)) {
    list->Add(value.release());
  } else if (existing) {
    dictionary.Remove(key, false);
    auto list = std::make_unique<TObjectList>();
    list->Add(existing);
    list->Add(value.release());
    dictionary.InsertList(key, std::move(list));
  } else {
    dictionary.Insert(key, std::move(value));
  }
}

void TIEDictionaryParser::Parse(TIEDictionary& dictionary) {
  if (error_) return;
  if (mode_ == 0)
    ParseObject(&dictionary);
  else
    ParseXML(&dictionary);
}

std::unique_ptr<TIEDictionary> TIEDictionaryParser::ParseObject(TIEDictionary* into) {
  std::unique_ptr<TIEDictionary> made;
  if (!into) {
    made = std::make_unique<TIEDictionary>(103);
    into = made.get();
  }
  if (!Enter()) return made;
  if (NextNonBlank() != '{') error_ = true;
  while (!error_ && !AtEnd() && PeekNonBlank() != '}') {
    const std::string key = ReadString();
    if (error_) break;
    if (NextNonBlank() != ':') {
      error_ = true;
      break;
    }
    std::unique_ptr<TObject> value = ParseValue();
    if (value) AddValue(*into, key, std::move(value));
    const char next = PeekNonBlank();
    if (next == '}') break;
    if (next == ',')
      NextNonBlank();
    else
      error_ = true;
  }
  if (!error_ && NextNonBlank() != '}') error_ = true;
  Leave();
  return made;
}

std::unique_ptr<TObject> TIEDictionaryParser::ParseValue() {
  const char c = PeekNonBlank();
  if (c == '"') return std::make_unique<TIEDictionaryValueWideString>(ReadString());
  if (c == '{') return ParseObject(nullptr);
  if (c == '[') {
    if (!Enter()) return nullptr;
    NextNonBlank();
    auto list = std::make_unique<TObjectList>();
    while (!error_ && !AtEnd() && PeekNonBlank() != ']') {
      std::unique_ptr<TObject> item = ParseValue();
      if (!error_ && item) list->Add(item.release());
      if (PeekNonBlank() == ',') NextNonBlank();
      else if (PeekNonBlank() != ']') error_ = true;
    }
    if (NextNonBlank() != ']') error_ = true;
    Leave();
    return list;
  }
  const std::string literal = ReadName();
  if (literal.empty()) {
    error_ = true;
    return nullptr;
  }
  if (literal == "true" || literal == "false") return std::make_unique<TIEDictionaryValueBoolean>(literal == "true");
  // A fraction or an exponent marks a double.
  if (literal.find_first_of(".eE") != std::string::npos)
    return std::make_unique<TIEDictionaryValueDouble>(IEStrToFloatDef(literal, 0));
  return std::make_unique<TIEDictionaryValueInteger>(StrToIntDef(literal, 0));
}

std::unique_ptr<TIEDictionary> TIEDictionaryParser::ParseAttributes() {
  auto attributes = std::make_unique<TIEDictionary>(103);
  while (!error_ && !AtEnd()) {
    const char c = PeekNonBlank();
    if (c == '/' || c == '>' || c == '?') break;
    const std::string name = ReadName();
    if (name.empty() || NextNonBlank() != '=') {
      error_ = true;
      break;
    }
    attributes->InsertString(name, ReadString());
  }
  return attributes;
}

std::unique_ptr<TIEDictionary> TIEDictionaryParser::ParseXML(TIEDictionary* into) {
  std::unique_ptr<TIEDictionary> made;
  if (!into) {
    made = std::make_unique<TIEDictionary>(103);
    into = made.get();
  }
  if (!Enter()) return made;
  std::string text;
  while (!AtEnd() && !error_) {
    const size_t here = position_;
    if (PeekNonBlank() != '<') {
      // Collect the characters between elements, blanks included.
      position_ = here;
      text += text_[position_++];
      continue;
    }
    const size_t before = position_;
    NextNonBlank();
    const char after = PeekNonBlank();
    if (after == '/') {
      position_ = before;  // the caller reads the closing tag
      break;
    }
    if (after == '?') {
      NextNonBlank();
      const std::string name = ReadName();
      AddValue(*into, name, ParseAttributes());
      if (NextNonBlank() != '?' || NextNonBlank() != '>') error_ = true;
      continue;
    }
    const std::string name = ReadName();
    std::unique_ptr<TIEDictionary> attributes = ParseAttributes();
    TIEDictionary* element = attributes.get();
    AddValue(*into, name, std::move(attributes));
    if (error_) break;
    const char close = NextNonBlank();
    if (close == '/') {
      if (NextNonBlank() != '>') error_ = true;
      continue;
    }
    if (close != '>') continue;
    element->InsertDictionary("#content", ParseXML(nullptr));
    const size_t closing = position_;
    if (NextNonBlank() == '<' && NextNonBlank() == '/') {
      if (ReadName() == name) NextNonBlank();
    } else {
      position_ = closing;
    }
  }
  const std::string trimmed = Trim(text);
  if (!trimmed.empty()) into->InsertString("#text", trimmed);
  Leave();
  return made;
}
