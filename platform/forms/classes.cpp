// Persistent objects, components and collections.
//
// Sections: class names | TPersistent | TComponent | loading | TCollectionItem | TCollection
#include "platform/forms/classes.h"

#include <cxxabi.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <typeinfo>

#include "platform/forms/properties.h"
#include "platform/rtl/sysutils.h"

// ---- class names ----

std::string ClassNameOf(const TObject& object) {
  const char* mangled = typeid(object).name();
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> demangled(abi::__cxa_demangle(mangled, nullptr, nullptr, &status),
                                                   std::free);
  std::string name = (status == 0 && demangled) ? demangled.get() : mangled;
  const size_t scope = name.rfind("::");
  return scope == std::string::npos ? name : name.substr(scope + 2);
}

bool TClassInfo::InheritsFrom(const std::string& className) const {
  for (const TClassInfo* c = this; c; c = c->Parent)
    if (SameText(c->Name, className)) return true;
  return false;
}

// ---- TPersistent ----

const TClassInfo& TPersistent::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TPersistent>("TPersistent", nullptr);
  return info;
}

bool TPersistent::InheritsFrom(const std::string& className) const {
  return SameText(ClassName(), className) || ClassInfo().InheritsFrom(className);
}

void TPersistent::Assign(const TPersistent* source) {
  if (source) {
    source->AssignTo(this);
    return;
  }
  throw EConvertError(Format("Cannot assign a %s to a %s", {"nil", ClassName()}));
}

void TPersistent::AssignTo(TPersistent* dest) const {
  throw EConvertError(Format("Cannot assign a %s to a %s", {ClassName(), dest ? dest->ClassName() : "nil"}));
}

// ---- TComponent ----

const TClassInfo& TComponent::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<TComponent>("TComponent", &TPersistent::StaticClassInfo(), [](TPublished<TComponent>& p) {
        p.String("Name", &TComponent::Name, &TComponent::SetName);
        p.Integer("Tag", &TComponent::Tag, &TComponent::SetTag);
      });
  return info;
}

TComponent::TComponent(TComponent* owner) {
  if (!owner) return;
  if (owner->state_.Contains(csReading)) state_.Include(csLoading);
  if (owner->state_.Contains(csDesigning)) state_.Include(csDesigning);
  owner->InsertComponent(this);
}

TComponent::~TComponent() {
  Destroying();
  // Each linked component forgets this one; the list shrinks as they do.
  while (!freeNotifies_.empty()) {
    TComponent* other = freeNotifies_.back();
    freeNotifies_.pop_back();
    std::erase(other->freeNotifies_, this);
    other->Notification(this, opRemove);
  }
  DestroyComponents();
  if (owner_) owner_->RemoveComponent(this);
}

static bool IsValidIdent(const std::string& name) {
  if (name.empty()) return false;
  auto alpha = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; };
  if (!alpha(name[0])) return false;
  return std::all_of(name.begin(), name.end(), [&](char c) { return alpha(c) || (c >= '0' && c <= '9'); });
}

void TComponent::ValidateRename(TComponent* component, const std::string& curName,
                                const std::string& newName) const {
  if (newName.empty() || SameText(curName, newName)) return;
  TComponent* existing = FindComponent(newName);
  if (existing && existing != component)
    throw EComponentError(Format("A component named %s already exists", {newName}));
}

void TComponent::SetName(const std::string& name) {
  if (name == name_) return;
  if (!name.empty() && !IsValidIdent(name))
    throw EComponentError(Format("'%s' is not a valid component name", {name}));
  if (owner_) owner_->ValidateRename(this, name_, name);
  name_ = name;
}

TComponent* TComponent::Components(int32_t index) const {
  if (index < 0 || index >= ComponentCount()) RaiseListIndexError(index);
  return components_[index];
}

int32_t TComponent::ComponentIndex() const {
  if (!owner_) return -1;
  auto& list = owner_->components_;
  auto it = std::find(list.begin(), list.end(), this);
  return it == list.end() ? -1 : static_cast<int32_t>(it - list.begin());
}

void TComponent::SetComponentIndex(int32_t index) {
  if (!owner_) return;
  auto& list = owner_->components_;
  const int32_t current = ComponentIndex();
  index = std::clamp(index, 0, static_cast<int32_t>(list.size()) - 1);
  if (current < 0 || current == index) return;
  list.erase(list.begin() + current);
  list.insert(list.begin() + index, this);
}

TComponent* TComponent::FindComponent(const std::string& name) const {
  if (name.empty()) return nullptr;
  for (TComponent* c : components_)
    if (SameText(c->name_, name)) return c;
  return nullptr;
}

void TComponent::InsertComponent(TComponent* component) {
  if (!component || component->owner_ == this) return;
  ValidateRename(component, "", component->name_);
  if (component->owner_) component->owner_->RemoveComponent(component);
  components_.push_back(component);
  component->owner_ = this;
  Notification(component, opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
  if (!component || component->owner_ != this) return;
  Notification(component, opRemove);
  Remove(component);
}

void TComponent::Remove(TComponent* component) {
  std::erase(components_, component);
  component->owner_ = nullptr;
}

void TComponent::DestroyComponents() {
  // Last first; each leaves the list itself when its owner link is cut.
  while (!components_.empty()) {
    TComponent* c = components_.back();
    c->BeforeDestruction();
    if (!components_.empty() && components_.back() == c) Remove(c);
    delete c;
  }
}

void TComponent::Destroying() {
  if (state_.Contains(csDestroying)) return;
  state_.Include(csDestroying);
  for (TComponent* c : components_) c->Destroying();
}

void TComponent::FreeNotification(TComponent* component) {
  if (!component || component == this) return;
  if (std::find(freeNotifies_.begin(), freeNotifies_.end(), component) == freeNotifies_.end())
    freeNotifies_.push_back(component);
  if (std::find(component->freeNotifies_.begin(), component->freeNotifies_.end(), this) ==
      component->freeNotifies_.end())
    component->freeNotifies_.push_back(this);
  state_.Include(csFreeNotification);
}

void TComponent::RemoveFreeNotification(TComponent* component) {
  if (!component) return;
  std::erase(freeNotifies_, component);
  std::erase(component->freeNotifies_, this);
}

void TComponent::Notification(TComponent* component, TOperation operation) {
  if (operation == opRemove && component) RemoveFreeNotification(component);
  // Copy: a handler may free components of this one.
  const std::vector<TComponent*> owned = components_;
  for (auto it = owned.rbegin(); it != owned.rend(); ++it)
    if (std::find(components_.begin(), components_.end(), *it) != components_.end())
      (*it)->Notification(component, operation);
}

void TComponent::Loaded() { state_.Exclude(csLoading); }

void TComponent::GetChildren(const std::function<void(TComponent*)>&, TComponent*) {}

void TComponent::SetDesigning(bool designing) {
  SetStateItem(csDesigning, designing);
  for (TComponent* c : components_) c->SetDesigning(designing);
}

void TComponent::SetStateItem(TComponentStateItem item, bool on) {
  if (on)
    state_.Include(item);
  else
    state_.Exclude(item);
}

// ---- loading ----

void LoadComponents(TComponent& root, const std::function<void()>& build) {
  const size_t before = root.components_.size();
  root.state_ += TComponentState{csLoading, csReading};
  auto loadingOwned = [&] {
    std::vector<TComponent*> loading;
    for (size_t i = before; i < root.components_.size(); ++i)
      if (root.components_[i]->state_.Contains(csLoading)) loading.push_back(root.components_[i]);
    return loading;
  };
  try {
    build();
  } catch (...) {
    root.state_ -= TComponentState{csLoading, csReading};
    for (TComponent* c : loadingOwned()) c->state_.Exclude(csLoading);
    throw;
  }
  root.state_.Exclude(csReading);
  const std::vector<TComponent*> loading = loadingOwned();
  root.Loaded();
  for (TComponent* c : loading) c->Loaded();
  root.AfterLoading();
}

// ---- TCollectionItem ----

const TClassInfo& TCollectionItem::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TCollectionItem>("TCollectionItem", &TPersistent::StaticClassInfo());
  return info;
}

TCollectionItem::TCollectionItem(TCollection* collection) { SetCollection(collection); }

TCollectionItem::~TCollectionItem() {
  if (collection_) collection_->RemoveItem(this);
}

void TCollectionItem::SetCollection(TCollection* collection) {
  if (collection == collection_) return;
  if (collection_) collection_->RemoveItem(this);
  if (collection) collection->InsertItem(this);
}

int32_t TCollectionItem::Index() const {
  if (!collection_) return -1;
  auto& items = collection_->items_;
  return static_cast<int32_t>(std::find(items.begin(), items.end(), this) - items.begin());
}

void TCollectionItem::SetIndex(int32_t index) {
  const int32_t current = Index();
  if (current < 0 || index < 0 || index >= collection_->Count() || index == current) return;
  auto& items = collection_->items_;
  items.erase(items.begin() + current);
  items.insert(items.begin() + index, this);
  Changed(true);
}

std::string TCollectionItem::DisplayName() const { return ClassName(); }

void TCollectionItem::Changed(bool all) {
  if (collection_ && collection_->updateCount_ == 0) collection_->Changed(all ? nullptr : this);
}

TPersistent* TCollectionItem::GetOwner() const { return collection_; }

// ---- TCollection ----

const TClassInfo& TCollection::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TCollection>("TCollection", &TPersistent::StaticClassInfo());
  return info;
}

TCollection::TCollection(TCollectionItemFactory itemFactory, TPersistent* owner)
    : itemFactory_(std::move(itemFactory)), owner_(owner) {}

TCollection::~TCollection() {
  updateCount_ = 1;  // no change events while the items go
  Clear();
}

TCollectionItem* TCollection::Items(int32_t index) const {
  if (index < 0 || index >= Count()) RaiseListIndexError(index);
  return items_[index];
}

TCollectionItem* TCollection::Add() { return itemFactory_(this); }

TCollectionItem* TCollection::Insert(int32_t index) {
  TCollectionItem* item = Add();
  item->SetIndex(index);
  return item;
}

void TCollection::Delete(int32_t index) { delete Items(index); }

void TCollection::Clear() {
  if (items_.empty()) return;
  BeginUpdate();
  while (!items_.empty()) delete items_.back();
  EndUpdate();
}

TCollectionItem* TCollection::FindItemID(int32_t id) const {
  for (TCollectionItem* item : items_)
    if (item->id_ == id) return item;
  return nullptr;
}

void TCollection::BeginUpdate() { ++updateCount_; }

void TCollection::EndUpdate() {
  if (updateCount_ > 0 && --updateCount_ == 0) Changed(nullptr);
}

void TCollection::Assign(const TPersistent* source) {
  const auto* other = dynamic_cast<const TCollection*>(source);
  if (!other) {
    TPersistent::Assign(source);
    return;
  }
  if (other == this) return;
  BeginUpdate();
  try {
    Clear();
    for (TCollectionItem* item : other->items_) Add()->Assign(item);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TCollection::Update(TCollectionItem* item) {
  if (OnUpdate) OnUpdate(item);
}

void TCollection::InsertItem(TCollectionItem* item) {
  items_.push_back(item);
  item->collection_ = this;
  item->id_ = nextID_++;
  Changed(nullptr);
}

void TCollection::RemoveItem(TCollectionItem* item) {
  std::erase(items_, item);
  item->collection_ = nullptr;
  Changed(nullptr);
}

void TCollection::Changed(TCollectionItem* item) {
  if (updateCount_ == 0) Update(item);
}
