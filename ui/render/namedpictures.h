// What the two picture containers share: items holding a named picture of
// their own, and a collection of them searched by name without case.
#pragma once

#include <string>

#include "platform/forms/classes.h"
#include "platform/forms/properties.h"
#include "platform/rtl/sysutils.h"

template <class TPic>
class TNamedPictureItem : public TCollectionItem {
public:
  explicit TNamedPictureItem(TCollection* collection) : TCollectionItem(collection), picture_(new TPic()) {}
  ~TNamedPictureItem() override { delete picture_; }
  TPic* Picture() const { return picture_; }
  void SetPicture(TPic* picture) { picture_->Assign(picture); }
  const std::string& Name() const { return name_; }
  void SetName(const std::string& name) { name_ = name; }
  int32_t Tag() const { return tag_; }
  void SetTag(int32_t tag) { tag_ = tag; }
  // From another item of the kind: name, tag and picture (anything else: EConvertError).
  void Assign(const TPersistent* source) override {
    auto* other = dynamic_cast<const TNamedPictureItem*>(source);
    if (!other) {
      TCollectionItem::Assign(source);
      return;
    }
    name_ = other->name_;
    tag_ = other->tag_;
    picture_->Assign(other->picture_);
  }

protected:
  template <class C>
  static void Publish(TPublished<C>& p) {
    p.Object("Picture", &C::Picture).String("Name", &C::Name, &C::SetName).Integer("Tag", &C::Tag, &C::SetTag);
  }

private:
  TPic* picture_;
  std::string name_;
  int32_t tag_ = 0;
};

template <class TItem>
class TNamedPictureCollection : public TCollection {
public:
  explicit TNamedPictureCollection(TPersistent* owner)
      : TCollection([](TCollection* c) { return new TItem(c); }, owner) {}
  TItem* Items(int32_t index) const { return static_cast<TItem*>(TCollection::Items(index)); }
  TItem* Add() { return static_cast<TItem*>(TCollection::Add()); }
  // The picture of the first item whose name equals `name` without case; null when none.
  auto* PictureByName(const std::string& name) const {
    std::string wanted = UpperCase(name);
    for (int32_t i = 0; i < Count(); ++i)
      if (UpperCase(Items(i)->Name()) == wanted) return Items(i)->Picture();
    return static_cast<decltype(Items(0)->Picture())>(nullptr);
  }
};
