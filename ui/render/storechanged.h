// The one-line setter of settings objects: compare, store, and tell
// whether the value changed (the caller then notifies).
#pragma once

template <class T, class V>
bool StoreChanged(T& field, const V& value) {
  if (field == value) return false;
  field = value;
  return true;
}
