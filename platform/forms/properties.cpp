// Published properties by name and by path.
//
// Sections: look-up | text conversion per kind | string lists | by name | by path
#include "platform/forms/properties.h"

#include "platform/rtl/stringlist.h"
#include "platform/rtl/sysutils.h"

bool TPropInfo::ReadOnly() const {
  switch (Kind) {
    case tkFloat: return !SetFloat;
    case tkString: return !SetStr;
    case tkClass: return !SetObj && !Owned;
    case tkMethod: return !ClearEvent;
    default: return !SetOrd;
  }
}

void ThrowPropertyClassError(TObject* value, const std::string& expected) {
  throw EPropertyError(Format("A %s cannot be used where a %s is expected", {ClassNameOf(*value), expected}));
}

// ---- look-up ----

const TPropInfo* FindPropInfo(const TPersistent& object, const std::string& name) {
  for (const TClassInfo* c = &object.ClassInfo(); c; c = c->Parent)
    for (const TPropInfo& p : c->Properties)
      if (SameText(p.Name, name)) return &p;
  return nullptr;
}

std::vector<const TPropInfo*> GetPropList(const TPersistent& object) {
  std::vector<const TClassInfo*> chain;
  for (const TClassInfo* c = &object.ClassInfo(); c; c = c->Parent) chain.push_back(c);
  std::vector<const TPropInfo*> list;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it)
    for (const TPropInfo& p : (*it)->Properties) list.push_back(&p);
  return list;
}

[[noreturn]] static void ThrowUnknownProperty(const TObject& object, const std::string& name) {
  throw EPropertyError(Format("Property %s does not exist in %s", {name, ClassNameOf(object)}));
}

[[noreturn]] static void ThrowBadValue(const TPropInfo& p, const std::string& value, const std::string& expected) {
  throw EPropertyError(Format("Invalid value \"%s\" for property %s (%s expected)", {value, p.Name, expected}));
}

static const TPropInfo& RequireProp(const TObject& object, const std::string& name) {
  const auto* persistent = dynamic_cast<const TPersistent*>(&object);
  const TPropInfo* p = persistent ? FindPropInfo(*persistent, name) : nullptr;
  if (!p) ThrowUnknownProperty(object, name);
  return *p;
}

// ---- text conversion per kind ----

static std::string JoinNames(const TEnumNames& names) {
  std::string text;
  for (const std::string& n : names) text += (text.empty() ? "" : ", ") + n;
  return text;
}

// The ordinal of a value name (without case) or of an in-range ordinal number; -1 when neither.
static int64_t EnumOrdinal(const TEnumNames& names, const std::string& text) {
  for (size_t i = 0; i < names.size(); ++i)
    if (SameText(names[i], text)) return static_cast<int64_t>(i);
  int64_t n = 0;
  if (TryStrToInt64(text, n) && n >= 0 && n < static_cast<int64_t>(names.size())) return n;
  return -1;
}

static std::string SetToText(const TEnumNames& names, uint64_t bits) {
  std::string text;
  for (size_t i = 0; i < names.size() && i < 64; ++i)
    if (bits & (uint64_t{1} << i)) text += (text.empty() ? "" : ",") + names[i];
  return "[" + text + "]";
}

static bool TextToSet(const TEnumNames& names, const std::string& value, uint64_t& bits) {
  std::string body = Trim(value);
  if (!body.empty() && body.front() == '[') {
    if (body.back() != ']') return false;
    body = body.substr(1, body.size() - 2);
  }
  bits = 0;
  size_t start = 0;
  while (start <= body.size()) {
    size_t comma = body.find(',', start);
    if (comma == std::string::npos) comma = body.size();
    const std::string name = Trim(body.substr(start, comma - start));
    if (!name.empty()) {
      const int64_t ordinal = EnumOrdinal(names, name);
      if (ordinal < 0 || ordinal >= 64) return false;
      bits |= uint64_t{1} << ordinal;
    } else if (comma < body.size()) {
      return false;  // an empty element between commas
    }
    start = comma + 1;
  }
  return true;
}

static std::string OrdToText(const TPropInfo& p, int64_t value) {
  switch (p.Kind) {
    case tkBoolean: return value ? "True" : "False";
    case tkEnumeration:
      return value >= 0 && value < static_cast<int64_t>(p.Names->size()) ? (*p.Names)[value] : IntToStr(value);
    case tkSet: return SetToText(*p.Names, static_cast<uint64_t>(value));
    default: {
      std::string ident;
      if (p.Idents && p.Idents->ToIdent && p.Idents->ToIdent(value, ident)) return ident;
      return IntToStr(value);
    }
  }
}

static int64_t TextToOrd(const TPropInfo& p, const std::string& value) {
  const std::string text = Trim(value);
  switch (p.Kind) {
    case tkBoolean:
      if (SameText(text, "True")) return 1;
      if (SameText(text, "False")) return 0;
      ThrowBadValue(p, value, "True or False");
    case tkEnumeration: {
      const int64_t ordinal = EnumOrdinal(*p.Names, text);
      if (ordinal < 0) ThrowBadValue(p, value, "one of " + JoinNames(*p.Names));
      return ordinal;
    }
    case tkSet: {
      uint64_t bits = 0;
      if (!TextToSet(*p.Names, text, bits)) ThrowBadValue(p, value, "a set of " + JoinNames(*p.Names));
      return static_cast<int64_t>(bits);
    }
    default: {
      int64_t n = 0;
      if (p.Idents && p.Idents->FromIdent && p.Idents->FromIdent(text, n)) return n;
      if (!TryStrToInt64(text, n)) ThrowBadValue(p, value, "an integer");
      if (n < p.MinValue || n > p.MaxValue)
        throw EPropertyError(Format("Value %s for property %s out of range (%d to %d)",
                                    {text, p.Name, p.MinValue, p.MaxValue}));
      return n;
    }
  }
}

static long double TextToFloat(const TPropInfo& p, const std::string& value) {
  long double f = 0;
  const std::string text = Trim(value);
  if (TryStrToFloat(text, f, InvariantFormatSettings()) || TryStrToFloat(text, f)) return f;
  ThrowBadValue(p, value, "a number");
}

// ---- string lists ----

static bool GetStringsText(const TStrings& strings, const std::string& name, std::string& text) {
  if (SameText(name, "Text")) text = strings.Text();
  else if (SameText(name, "CommaText")) text = strings.CommaText();
  else if (SameText(name, "DelimitedText")) text = strings.DelimitedText();
  else if (SameText(name, "Count")) text = IntToStr(strings.Count());
  else return false;
  return true;
}

static bool SetStringsText(TStrings& strings, const std::string& name, const std::string& text) {
  if (SameText(name, "Text")) strings.SetText(text);
  else if (SameText(name, "CommaText")) strings.SetCommaText(text);
  else if (SameText(name, "DelimitedText")) strings.SetDelimitedText(text);
  else return false;
  return true;
}

// ---- by name ----

static TComponent* FindReference(TComponent* root, const std::string& name) {
  if (!root) return nullptr;
  if (SameText(root->Name(), name)) return root;
  return root->FindComponent(name);
}

static std::string ObjectText(TObject* value, bool owned) {
  if (!value) return "";
  if (const auto* strings = dynamic_cast<const TStrings*>(value)) return strings->Text();
  if (const auto* component = dynamic_cast<const TComponent*>(value); component && !owned)
    return component->Name();
  return ClassNameOf(*value);
}

std::string GetPropText(TObject& object, const std::string& name) {
  std::string text;
  if (const auto* strings = dynamic_cast<const TStrings*>(&object); strings && GetStringsText(*strings, name, text))
    return text;
  const TPropInfo& p = RequireProp(object, name);
  const auto& self = dynamic_cast<const TPersistent&>(object);
  switch (p.Kind) {
    case tkFloat: return FloatToStr(p.GetFloat(self), InvariantFormatSettings());
    case tkString: return p.GetStr(self);
    case tkClass: return ObjectText(p.GetObj(self), p.Owned);
    case tkMethod: return p.EventAssigned(self) ? "(assigned)" : "";
    default: return OrdToText(p, p.GetOrd(self));
  }
}

static void SetObjectText(const TPropInfo& p, TPersistent& self, const std::string& value, TComponent* lookupRoot) {
  if (p.Owned) {
    if (auto* strings = dynamic_cast<TStrings*>(p.GetObj(self))) {
      strings->SetText(value);
      return;
    }
    throw EPropertyError(Format("Property %s is an object and cannot be set from text", {p.Name}));
  }
  if (value.empty()) {
    p.SetObj(self, nullptr);
    return;
  }
  if (!lookupRoot)
    if (auto* component = dynamic_cast<TComponent*>(&self)) lookupRoot = component->Owner();
  TComponent* target = FindReference(lookupRoot, value);
  if (!target) ThrowBadValue(p, value, "the name of a component");
  p.SetObj(self, target);
}

void SetPropText(TObject& object, const std::string& name, const std::string& value, TComponent* lookupRoot) {
  if (auto* strings = dynamic_cast<TStrings*>(&object); strings && SetStringsText(*strings, name, value)) return;
  const TPropInfo& p = RequireProp(object, name);
  if (p.ReadOnly()) throw EPropertyError(Format("Property %s is read-only", {p.Name}));
  auto& self = dynamic_cast<TPersistent&>(object);
  switch (p.Kind) {
    case tkFloat: p.SetFloat(self, TextToFloat(p, value)); break;
    case tkString: p.SetStr(self, value); break;
    case tkClass: SetObjectText(p, self, value, lookupRoot); break;
    case tkMethod:
      if (!Trim(value).empty())
        throw EPropertyError(Format("Event %s cannot be set from text", {p.Name}));
      p.ClearEvent(self);
      break;
    default: p.SetOrd(self, TextToOrd(p, value)); break;
  }
}

TObject* GetObjectProp(TObject& object, const std::string& name) {
  const TPropInfo& p = RequireProp(object, name);
  if (p.Kind != tkClass)
    throw EPropertyError(Format("Property %s of %s is not an object", {p.Name, ClassNameOf(object)}));
  return p.GetObj(dynamic_cast<const TPersistent&>(object));
}

// ---- by path ----

// Splits "Items[12]" into "Items" and 12; false when the step has no index.
static bool SplitIndex(const std::string& step, std::string& name, int64_t& index) {
  const size_t open = step.find('[');
  if (open == std::string::npos) return false;
  const size_t close = step.find(']', open);
  if (close == std::string::npos || close != step.size() - 1 || !TryStrToInt64(step.substr(open + 1, close - open - 1), index))
    throw EPropertyError(Format("Invalid item index in \"%s\"", {step}));
  name = Trim(step.substr(0, open));
  return true;
}

TObject* PathStep(TObject& object, const std::string& step) {
  std::string name;
  int64_t index = 0;
  if (!SplitIndex(step, name, index)) {
    TObject* next = GetObjectProp(object, step);
    if (!next) throw EPropertyError(Format("Property %s of %s is not set", {step, ClassNameOf(object)}));
    return next;
  }
  auto* collection = dynamic_cast<TCollection*>(GetObjectProp(object, name));
  if (!collection) throw EPropertyError(Format("Property %s of %s is not a collection", {name, ClassNameOf(object)}));
  if (index >= INT32_MIN && index <= INT32_MAX)
    if (TCollectionItem* item = collection->FindItemID(static_cast<int32_t>(index))) return item;
  if (index >= 0 && index < collection->Count()) return collection->Items(static_cast<int32_t>(index));
  throw EPropertyError(Format("Item %d does not exist in %s", {index, name}));
}

static std::vector<std::string> SplitPath(const std::string& path) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    const size_t dot = path.find('.', start);
    parts.push_back(Trim(path.substr(start, dot == std::string::npos ? std::string::npos : dot - start)));
    if (dot == std::string::npos) break;
    start = dot + 1;
  }
  for (const std::string& part : parts)
    if (part.empty()) throw EPropertyError(Format("Invalid property path \"%s\"", {path}));
  return parts;
}

static TObject* PathStart(TComponent& root, const std::string& first) {
  if (SameText(first, "self")) return &root;
  if (TComponent* component = root.FindComponent(first)) return component;
  const TPropInfo* p = FindPropInfo(root, first);
  if (p && p->Kind == tkClass) return PathStep(root, first);
  throw EComponentError(Format("Component %s does not exist in %s", {first, root.ClassName()}));
}

TPropertyTarget ResolvePropertyPath(TComponent& root, const std::string& path) {
  const std::vector<std::string> parts = SplitPath(path);
  TObject* object = &root;
  if (parts.size() > 1) object = PathStart(root, parts.front());
  for (size_t i = 1; i + 1 < parts.size(); ++i) object = PathStep(*object, parts[i]);
  return {object, parts.back()};
}

void SetPropertyByPath(TComponent& root, const std::string& path, const std::string& value) {
  const TPropertyTarget target = ResolvePropertyPath(root, path);
  SetPropText(*target.Object, target.Property, value, &root);
}

std::string GetPropertyByPath(TComponent& root, const std::string& path) {
  const TPropertyTarget target = ResolvePropertyPath(root, path);
  return GetPropText(*target.Object, target.Property);
}
