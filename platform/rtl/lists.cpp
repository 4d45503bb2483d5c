#include "platform/rtl/lists.h"

#include <limits>
#include <new>
#include <stdexcept>
#include <string>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/sortutil.h"

namespace {

[[noreturn]] void RaiseListError(const char* what, int64_t value) {
  throw EListError(std::string(what) + " (" + std::to_string(value) + ")");
}

}  // namespace

// Notify reaches no derived class from here: TObjectList clears in its own
// destructor.
TList::~TList() = default;

void TList::CheckIndex(int32_t index) const {
  if (index < 0 || index >= Count()) RaiseListIndexError(index);
}

void TList::Grow() {
  int32_t delta = capacity_ > 64 ? capacity_ / 4 : (capacity_ > 8 ? 16 : 4);
  int64_t wanted = int64_t{capacity_} + delta;
  if (wanted > std::numeric_limits<int32_t>::max()) wanted = std::numeric_limits<int32_t>::max();
  SetCapacity(static_cast<int32_t>(wanted));
}

int32_t TList::Add(void* item) {
  int32_t index = Count();
  Insert(index, item);
  return index;
}

void TList::Insert(int32_t index, void* item) {
  if (index < 0 || index > Count()) RaiseListIndexError(index);
  if (Count() == std::numeric_limits<int32_t>::max()) throw EOutOfMemory("Out of memory");
  if (Count() == capacity_) Grow();
  items_.insert(items_.begin() + index, item);
  if (item) Notify(item, lnAdded);
}

void TList::Delete(int32_t index) {
  CheckIndex(index);
  void* item = items_[index];
  items_.erase(items_.begin() + index);
  if (item) Notify(item, lnDeleted);
}

int32_t TList::Remove(void* item) {
  int32_t index = IndexOf(item);
  if (index >= 0) Delete(index);
  return index;
}

void* TList::Extract(void* item) {
  int32_t index = IndexOf(item);
  if (index < 0) return nullptr;
  void* found = items_[index];
  items_.erase(items_.begin() + index);
  Notify(found, lnExtracted);
  return found;
}

int32_t TList::IndexOf(void* item) const {
  for (int32_t i = 0; i < Count(); ++i)
    if (items_[i] == item) return i;
  return -1;
}

void TList::Exchange(int32_t index1, int32_t index2) {
  CheckIndex(index1);
  CheckIndex(index2);
  std::swap(items_[index1], items_[index2]);
}

void TList::Move(int32_t curIndex, int32_t newIndex) {
  if (curIndex == newIndex) return;
  CheckIndex(curIndex);
  CheckIndex(newIndex);
  void* item = items_[curIndex];
  items_.erase(items_.begin() + curIndex);
  items_.insert(items_.begin() + newIndex, item);
}

void TList::Sort(const TListSortCompare& compare) {
  HeapSortIndexes(
      Count(), [&](int32_t a, int32_t b) { return compare(items_[a], items_[b]) < 0; },
      [&](int32_t a, int32_t b) { std::swap(items_[a], items_[b]); });
}

void TList::Clear() {
  SetCount(0);
  SetCapacity(0);
}

void TList::Pack() {
  for (int32_t i = Count() - 1; i >= 0; --i)
    if (!items_[i]) items_.erase(items_.begin() + i);
}

void* TList::First() const { return Items(0); }

void* TList::Last() const { return Items(Count() - 1); }

void TList::SetCount(int32_t count) {
  if (count < 0) RaiseListError("List count out of bounds", count);
  if (count > capacity_) SetCapacity(count);
  if (count > Count()) {
    items_.resize(count, nullptr);
    return;
  }
  for (int32_t i = Count() - 1; i >= count; --i) Delete(i);
}

void TList::SetCapacity(int32_t capacity) {
  if (capacity < Count()) RaiseListError("List capacity out of bounds", capacity);
  try {
    if (capacity < capacity_) {
      std::vector<void*>(items_).swap(items_);
      items_.reserve(capacity);
    } else {
      items_.reserve(capacity);
    }
  } catch (const std::bad_alloc&) {
    throw EOutOfMemory("Out of memory");
  } catch (const std::length_error&) {
    throw EOutOfMemory("Out of memory");
  }
  capacity_ = capacity;
}

void* TList::Items(int32_t index) const {
  CheckIndex(index);
  return items_[index];
}

void TList::SetItems(int32_t index, void* item) {
  CheckIndex(index);
  void* old = items_[index];
  if (old == item) return;
  items_[index] = item;
  if (old) Notify(old, lnDeleted);
  if (item) Notify(item, lnAdded);
}

void TList::Notify(void*, TListNotification) {}

TObjectList::~TObjectList() { Clear(); }

void TObjectList::Notify(void* item, TListNotification action) {
  if (ownsObjects_ && action == lnDeleted) delete static_cast<TObject*>(item);
  TList::Notify(item, action);
}
