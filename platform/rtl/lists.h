// TList, the framework's list of untyped pointers, and TObjectList, which can
// own (delete) the objects it holds.
//
// Indexes run from 0 to Count()-1; any other index raises EListError
// "List index out of bounds (%d)". Removing an item calls Notify, which
// TObjectList uses to free owned objects.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/rtl/object.h"

// Negative when item1 sorts before item2, 0 when equal, positive after.
using TListSortCompare = std::function<int32_t(void* item1, void* item2)>;

enum TListNotification { lnAdded, lnExtracted, lnDeleted };

class TList : public TObject {
public:
  TList() = default;
  TList(const TList&) = delete;
  TList& operator=(const TList&) = delete;
  ~TList() override;

  int32_t Add(void* item);  // index of the new item
  void Insert(int32_t index, void* item);
  void Delete(int32_t index);
  int32_t Remove(void* item);  // index it had, -1 when absent
  void* Extract(void* item);   // removed without lnDeleted; null when absent
  int32_t IndexOf(void* item) const;
  void Exchange(int32_t index1, int32_t index2);
  void Move(int32_t curIndex, int32_t newIndex);
  void Sort(const TListSortCompare& compare);
  void Clear();
  void Pack();  // drops the null items
  void* First() const;
  void* Last() const;

  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  void SetCount(int32_t count);  // grows with nulls, shrinks by deleting
  int32_t Capacity() const { return capacity_; }
  void SetCapacity(int32_t capacity);
  void* Items(int32_t index) const;
  void SetItems(int32_t index, void* item);

protected:
  virtual void Notify(void* item, TListNotification action);

private:
  void CheckIndex(int32_t index) const;
  void Grow();

  std::vector<void*> items_;
  int32_t capacity_ = 0;
};

// A TList of objects; with OwnsObjects (the default) it deletes an object
// when the object is deleted from the list, replaced, or the list cleared or
// destroyed. Extract hands an object back without deleting it.
class TObjectList : public TList {
public:
  explicit TObjectList(bool ownsObjects = true) : ownsObjects_(ownsObjects) {}
  ~TObjectList() override;

  int32_t Add(TObject* item) { return TList::Add(item); }
  void Insert(int32_t index, TObject* item) { TList::Insert(index, item); }
  int32_t Remove(TObject* item) { return TList::Remove(item); }
  TObject* Extract(TObject* item) { return static_cast<TObject*>(TList::Extract(item)); }
  int32_t IndexOf(TObject* item) const { return TList::IndexOf(item); }
  TObject* Items(int32_t index) const { return static_cast<TObject*>(TList::Items(index)); }
  void SetItems(int32_t index, TObject* item) { TList::SetItems(index, item); }
  TObject* First() const { return static_cast<TObject*>(TList::First()); }
  TObject* Last() const { return static_cast<TObject*>(TList::Last()); }

  bool OwnsObjects() const { return ownsObjects_; }
  void SetOwnsObjects(bool owns) { ownsObjects_ = owns; }

protected:
  void Notify(void* item, TListNotification action) override;

private:
  bool ownsObjects_;
};
