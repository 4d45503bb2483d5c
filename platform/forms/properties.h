// Published properties: registered once per class, read and written by name
// as text, and reached by dotted paths from a root component.
//
// Sections: kinds and property records | registration | by name | by path
//
// A class publishes its properties in its StaticClassInfo:
//
//   const TClassInfo& TLabel::StaticClassInfo() {
//     static const TClassInfo info = PublishClass<TLabel>("TLabel", &TCustomLabel::StaticClassInfo(),
//         [](TPublished<TLabel>& p) { p.String("Caption", &TLabel::Caption, &TLabel::SetCaption); });
//     return info;
//   }
//
// Names of properties and components compare without case. Text forms:
// integers in decimal (or "$" hexadecimal) or a special name of the
// property's kind ("clRed", "Ctrl+S"); floats with "." (the locale's
// separator is accepted too); booleans "True"/"False"; enumerations by value
// name; sets as "[name,name]"; component references by component name; a
// string list as its Text. Failures raise EPropertyError with a text a caller
// can show.
#pragma once

#include <cstdint>
#include <algorithm>
#include <climits>
#include <functional>
#include <limits>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/forms/classes.h"
#include "platform/rtl/set.h"

RTL_DECLARE_EXCEPTION(EPropertyError, Exception);

// ---- kinds and property records ----

enum TTypeKind { tkInteger, tkFloat, tkString, tkBoolean, tkEnumeration, tkSet, tkClass, tkMethod };

// Value names of an enumeration, by ordinal.
using TEnumNames = std::vector<std::string>;

// Special text forms of an integer property (colour, cursor and shortcut names).
struct TIntegerIdents {
  std::function<bool(int64_t value, std::string& text)> ToIdent;
  std::function<bool(const std::string& text, int64_t& value)> FromIdent;
};

class TPropInfo {
public:
  std::string Name;
  TTypeKind Kind = tkInteger;
  const TEnumNames* Names = nullptr;        // tkEnumeration, tkSet
  const TIntegerIdents* Idents = nullptr;   // tkInteger, optional
  bool Owned = false;                       // tkClass: a sub-object of the instance, not a reference
  int64_t MinValue = INT64_MIN;             // tkInteger: the range of the property's type
  int64_t MaxValue = INT64_MAX;

  // Accessors by kind; a missing setter makes the property read-only.
  std::function<int64_t(const TPersistent&)> GetOrd;  // integer, boolean, enumeration, set bits
  std::function<void(TPersistent&, int64_t)> SetOrd;
  std::function<long double(const TPersistent&)> GetFloat;
  std::function<void(TPersistent&, long double)> SetFloat;
  std::function<std::string(const TPersistent&)> GetStr;
  std::function<void(TPersistent&, const std::string&)> SetStr;
  std::function<TObject*(const TPersistent&)> GetObj;
  std::function<void(TPersistent&, TObject*)> SetObj;  // checks the object's class
  std::function<bool(const TPersistent&)> EventAssigned;
  std::function<void(TPersistent&)> ClearEvent;

  bool ReadOnly() const;
};

struct TClassInfo {
  std::string Name;
  const TClassInfo* Parent = nullptr;
  std::vector<TPropInfo> Properties;  // published by this class itself, in order

  bool InheritsFrom(const std::string& className) const;  // itself or an ancestor, without case
};

// ---- registration ----

template <class C>
class TPublished {
public:
  explicit TPublished(std::vector<TPropInfo>& props) : props_(props) {}

  template <class G, class S = std::nullptr_t>
  TPublished& Integer(const char* name, G get, S set = nullptr, const TIntegerIdents* idents = nullptr) {
    TPropInfo& p = Add(name, tkInteger);
    p.Idents = idents;
    using Value = std::decay_t<std::invoke_result_t<G, const C&>>;
    p.MinValue = static_cast<int64_t>(std::numeric_limits<Value>::min());
    p.MaxValue = static_cast<int64_t>(std::min<uint64_t>(std::numeric_limits<Value>::max(), INT64_MAX));
    p.GetOrd = [get](const TPersistent& o) { return static_cast<int64_t>(std::invoke(get, Self(o))); };
    if constexpr (!std::is_null_pointer_v<S>)
      p.SetOrd = [set](TPersistent& o, int64_t v) { Call<G>(set, o, v); };
    return *this;
  }

  template <class G, class S = std::nullptr_t>
  TPublished& Float(const char* name, G get, S set = nullptr) {
    TPropInfo& p = Add(name, tkFloat);
    p.GetFloat = [get](const TPersistent& o) { return static_cast<long double>(std::invoke(get, Self(o))); };
    if constexpr (!std::is_null_pointer_v<S>)
      p.SetFloat = [set](TPersistent& o, long double v) { Call<G>(set, o, v); };
    return *this;
  }

  template <class G, class S = std::nullptr_t>
  TPublished& String(const char* name, G get, S set = nullptr) {
    TPropInfo& p = Add(name, tkString);
    p.GetStr = [get](const TPersistent& o) { return std::string(std::invoke(get, Self(o))); };
    if constexpr (!std::is_null_pointer_v<S>)
      p.SetStr = [set](TPersistent& o, const std::string& v) { std::invoke(set, static_cast<C&>(o), v); };
    return *this;
  }

  template <class G, class S = std::nullptr_t>
  TPublished& Boolean(const char* name, G get, S set = nullptr) {
    TPropInfo& p = Add(name, tkBoolean);
    p.GetOrd = [get](const TPersistent& o) { return int64_t{std::invoke(get, Self(o)) ? 1 : 0}; };
    if constexpr (!std::is_null_pointer_v<S>)
      p.SetOrd = [set](TPersistent& o, int64_t v) { std::invoke(set, static_cast<C&>(o), v != 0); };
    return *this;
  }

  // names: the enumeration's value names by ordinal; must outlive the class record.
  template <class G, class S = std::nullptr_t>
  TPublished& Enumeration(const char* name, const TEnumNames& names, G get, S set = nullptr) {
    TPropInfo& p = Add(name, tkEnumeration);
    p.Names = &names;
    p.GetOrd = [get](const TPersistent& o) { return static_cast<int64_t>(std::invoke(get, Self(o))); };
    if constexpr (!std::is_null_pointer_v<S>)
      p.SetOrd = [set](TPersistent& o, int64_t v) { Call<G>(set, o, v); };
    return *this;
  }

  template <class G, class S = std::nullptr_t>
  TPublished& SetOf(const char* name, const TEnumNames& names, G get, S set = nullptr) {
    using SetType = std::decay_t<std::invoke_result_t<G, const C&>>;
    TPropInfo& p = Add(name, tkSet);
    p.Names = &names;
    p.GetOrd = [get](const TPersistent& o) { return static_cast<int64_t>(std::invoke(get, Self(o)).Bits()); };
    if constexpr (!std::is_null_pointer_v<S>)
      p.SetOrd = [set](TPersistent& o, int64_t v) {
        std::invoke(set, static_cast<C&>(o), SetType::FromBits(static_cast<uint64_t>(v)));
      };
    return *this;
  }

  // A sub-object owned by the instance (Font, Items, Picture).
  template <class G>
  TPublished& Object(const char* name, G get) {
    TPropInfo& p = Add(name, tkClass);
    p.Owned = true;
    p.GetObj = [get](const TPersistent& o) -> TObject* { return std::invoke(get, Self(o)); };
    return *this;
  }

  // A reference to another object of class T (PopupMenu, ActiveControl).
  template <class T, class G, class S>
  TPublished& Reference(const char* name, G get, S set) {
    TPropInfo& p = Add(name, tkClass);
    p.GetObj = [get](const TPersistent& o) -> TObject* { return std::invoke(get, Self(o)); };
    p.SetObj = [set](TPersistent& o, TObject* v) {
      T* typed = dynamic_cast<T*>(v);
      if (v && !typed) ThrowWrongClass(v, T::StaticClassInfo().Name);
      std::invoke(set, static_cast<C&>(o), typed);
    };
    return *this;
  }

  // An event member (a std::function); it can be read as assigned or not and cleared.
  template <class F>
  TPublished& Event(const char* name, F C::*member) {
    TPropInfo& p = Add(name, tkMethod);
    p.EventAssigned = [member](const TPersistent& o) { return static_cast<bool>(Self(o).*member); };
    p.ClearEvent = [member](TPersistent& o) { static_cast<C&>(o).*member = nullptr; };
    return *this;
  }

  // An event kept behind accessors (a setter that passes it on): get answers
  // whether it is assigned, set(nullptr) clears it.
  template <class G, class S>
  TPublished& Event(const char* name, G get, S set) {
    TPropInfo& p = Add(name, tkMethod);
    p.EventAssigned = [get](const TPersistent& o) { return static_cast<bool>(std::invoke(get, Self(o))); };
    p.ClearEvent = [set](TPersistent& o) { std::invoke(set, static_cast<C&>(o), nullptr); };
    return *this;
  }

private:
  static const C& Self(const TPersistent& o) { return static_cast<const C&>(o); }
  // Calls the setter with the value converted to the getter's type.
  template <class G, class S, class V>
  static void Call(S set, TPersistent& o, V v) {
    using Value = std::decay_t<std::invoke_result_t<G, const C&>>;
    std::invoke(set, static_cast<C&>(o), static_cast<Value>(v));
  }
  [[noreturn]] static void ThrowWrongClass(TObject* value, const std::string& expected);

  TPropInfo& Add(const char* name, TTypeKind kind) {
    TPropInfo& p = props_.emplace_back();
    p.Name = name;
    p.Kind = kind;
    return p;
  }

  std::vector<TPropInfo>& props_;
};

[[noreturn]] void ThrowPropertyClassError(TObject* value, const std::string& expected);

template <class C>
void TPublished<C>::ThrowWrongClass(TObject* value, const std::string& expected) {
  ThrowPropertyClassError(value, expected);
}

// Builds the record of class C: its name, its parent's record and what publish registers.
template <class C>
TClassInfo PublishClass(const char* name, const TClassInfo* parent,
                        const std::function<void(TPublished<C>&)>& publish = nullptr) {
  TClassInfo info;
  info.Name = name;
  info.Parent = parent;
  TPublished<C> p(info.Properties);
  if (publish) publish(p);
  return info;
}

// ---- by name ----

// The property of the object's class or of an ancestor; null when none.
const TPropInfo* FindPropInfo(const TPersistent& object, const std::string& name);
// Every published property, ancestors' first.
std::vector<const TPropInfo*> GetPropList(const TPersistent& object);

// The value as text. Objects: a referenced component's name, an owned
// string list's Text, else the class name ("" when unset). Events: "" or
// "(assigned)". A string list also answers Text, CommaText, DelimitedText and Count.
std::string GetPropText(TObject& object, const std::string& name);
// Converts the text to the property's kind and sets it. Component references
// are looked up in lookupRoot (or the object's own owner when null); an empty
// text clears a reference or an event. A string list takes Text, CommaText
// and DelimitedText.
void SetPropText(TObject& object, const std::string& name, const std::string& value,
                 TComponent* lookupRoot = nullptr);
// The object held by an object-valued property.
TObject* GetObjectProp(TObject& object, const std::string& name);

// ---- by path ----

// One step of a path from an object: "Font" (an object-valued property) or
// "Items[2]" (the collection item whose ID is 2, else the item at index 2).
TObject* PathStep(TObject& object, const std::string& step);

struct TPropertyTarget {
  TObject* Object = nullptr;
  std::string Property;
};

// Resolves "Label1.Caption", "Panel_1.Caption.Text", "self.Caption",
// "Columns[0].Width" or "Caption" from root: the first of several parts is a
// component owned by root, "self" or an object property of root; the middle
// parts are steps; the last part is the property. EComponentError when the
// component does not exist, EPropertyError for a bad step.
TPropertyTarget ResolvePropertyPath(TComponent& root, const std::string& path);
void SetPropertyByPath(TComponent& root, const std::string& path, const std::string& value);
std::string GetPropertyByPath(TComponent& root, const std::string& path);
