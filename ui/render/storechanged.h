// The one-line setter of settings objects: compare, store, and tell
// whether the value changed (the caller then notifies).
#pragma once

template <class T, class V>
bool StoreChanged(T& field, const V& value) {
  if (field == value) return false;
  field = value;
  return true;
}

// A published setting: its reader, and a writer that runs `effect` (a
// member function of no arguments) only when the value changes.
#define VESK_SETTING(Type, Name, field, effect) \
  Type Name() const { return field; }           \
  void Set##Name(Type value) {                  \
    if (StoreChanged(field, value)) effect();   \
  }
