// The framework's persistent objects, components with owners, and collections.
//
// Sections: class information | TPersistent | TComponent | TCollection
//
// Every class with published properties declares FORMS_CLASS in its body and
// defines its StaticClassInfo in its unit (see properties.h): that chain of
// class records is the framework's small class registry. ClassName is the
// C++ class name of the object itself, so a form class that publishes
// nothing new still answers with its own name.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/object.h"
#include "platform/rtl/set.h"

// The record of a registered class: its name, parent and published
// properties (properties.h).
struct TClassInfo;

// Declares the class record of C inside the class body.
#define FORMS_CLASS(C)                       \
public:                                      \
  static const TClassInfo& StaticClassInfo(); \
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

// The C++ name of the object's class ("TForm1"), namespaces left out.
std::string ClassNameOf(const TObject& object);

RTL_DECLARE_EXCEPTION(EComponentError, Exception);

// ---- TPersistent ----

class TPersistent : public TObject {
public:
  ~TPersistent() override = default;
  static const TClassInfo& StaticClassInfo();
  virtual const TClassInfo& ClassInfo() const { return StaticClassInfo(); }

  std::string ClassName() const { return ClassNameOf(*this); }
  // True when the object's class or one of its registered ancestors has this name.
  bool InheritsFrom(const std::string& className) const;

  // Copies source into this object: source's AssignTo decides when this
  // class does not know the source; EConvertError "Cannot assign a X to a Y"
  // when neither does.
  virtual void Assign(const TPersistent* source);

protected:
  virtual void AssignTo(TPersistent* dest) const;
  virtual TPersistent* GetOwner() const { return nullptr; }
};

// ---- TComponent ----

enum TComponentStateItem {
  csLoading, csReading, csWriting, csDestroying, csDesigning, csAncestor, csUpdating,
  csFixups, csFreeNotification, csInline, csDesignInstance
};
using TComponentState = Set<TComponentStateItem>;

enum TOperation { opInsert, opRemove };

class TComponent : public TPersistent {
  FORMS_CLASS(TComponent)

public:
  // Joins the owner's Components; while the owner is being read (see
  // LoadComponents) the new component carries csLoading.
  explicit TComponent(TComponent* owner);
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;
  // Tells every component linked by FreeNotification, deletes the owned
  // components (last first) and leaves the owner.
  ~TComponent() override;

  TComponent* Owner() const { return owner_; }
  const std::string& Name() const { return name_; }
  // An identifier unique (without case) among the owner's components, or empty.
  virtual void SetName(const std::string& name);
  int64_t Tag() const { return tag_; }
  void SetTag(int64_t tag) { tag_ = tag; }

  int32_t ComponentCount() const { return static_cast<int32_t>(components_.size()); }
  TComponent* Components(int32_t index) const;
  int32_t ComponentIndex() const;
  void SetComponentIndex(int32_t index);
  // The owned component of that name, compared without case; null when none.
  TComponent* FindComponent(const std::string& name) const;
  void InsertComponent(TComponent* component);
  void RemoveComponent(TComponent* component);
  void DestroyComponents();

  TComponentState ComponentState() const { return state_; }
  // Sets csDestroying here and on the owned components.
  void Destroying();
  // Runs while the whole object still exists, before it is deleted by its
  // owner, by Free or by a form's Release (forms fire OnDestroy here).
  virtual void BeforeDestruction() { Destroying(); }
  // BeforeDestruction, then delete.
  void Free() {
    BeforeDestruction();
    delete this;
  }

  // Both components hear of each other's destruction through Notification.
  void FreeNotification(TComponent* component);
  void RemoveFreeNotification(TComponent* component);

  // Called for every component that joins or leaves this one's owner and for
  // linked components being freed; passes the news on to the owned components.
  virtual void Notification(TComponent* component, TOperation operation);
  // Called once the component's properties are set while loading; clears csLoading.
  virtual void Loaded();
  // The children stored with this component (none by default).
  virtual void GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root);

  void SetDesigning(bool designing);

protected:
  // After every component of a root built by LoadComponents is loaded (forms: OnCreate).
  virtual void AfterLoading() {}
  TPersistent* GetOwner() const override { return owner_; }
  void SetStateItem(TComponentStateItem item, bool on);

private:
  friend void LoadComponents(TComponent& root, const std::function<void()>& build);
  void ValidateRename(TComponent* component, const std::string& curName, const std::string& newName) const;
  void Remove(TComponent* component);

  TComponent* owner_ = nullptr;
  std::string name_;
  int64_t tag_ = 0;
  std::vector<TComponent*> components_;
  std::vector<TComponent*> freeNotifies_;
  TComponentState state_;
};

// Builds the components of root in code, as if read from a stored form:
// while build runs, root and every component created with root as owner carry
// csLoading. Then Loaded runs on root and on those components in creation
// order, and finally root's AfterLoading (a form's OnCreate). If build
// throws, the loading flags are cleared and the exception passes on.
void LoadComponents(TComponent& root, const std::function<void()>& build);

// ---- TCollection ----

class TCollection;

class TCollectionItem : public TPersistent {
  FORMS_CLASS(TCollectionItem)

public:
  explicit TCollectionItem(TCollection* collection);
  TCollectionItem(const TCollectionItem&) = delete;
  TCollectionItem& operator=(const TCollectionItem&) = delete;
  ~TCollectionItem() override;

  TCollection* Collection() const { return collection_; }
  void SetCollection(TCollection* collection);
  int32_t ID() const { return id_; }
  int32_t Index() const;
  void SetIndex(int32_t index);
  virtual std::string DisplayName() const;  // the class name unless overridden

protected:
  // Tells the collection that this item (or, with all, every item) changed.
  void Changed(bool all);
  TPersistent* GetOwner() const override;

private:
  friend class TCollection;
  TCollection* collection_ = nullptr;
  int32_t id_ = 0;
};

using TCollectionItemFactory = std::function<TCollectionItem*(TCollection*)>;

class TCollection : public TPersistent {
  FORMS_CLASS(TCollection)

public:
  // The factory makes the items that Add and Insert create.
  explicit TCollection(TCollectionItemFactory itemFactory, TPersistent* owner = nullptr);
  TCollection(const TCollection&) = delete;
  TCollection& operator=(const TCollection&) = delete;
  ~TCollection() override;

  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  TCollectionItem* Items(int32_t index) const;
  TCollectionItem* Add();
  TCollectionItem* Insert(int32_t index);
  void Delete(int32_t index);
  void Clear();
  // The item with that ID; null when none.
  TCollectionItem* FindItemID(int32_t id) const;
  void BeginUpdate();
  void EndUpdate();
  int32_t UpdateCount() const { return updateCount_; }

  // Replaces the items by new ones assigned from the source collection's items.
  void Assign(const TPersistent* source) override;

  // Fired for each change outside BeginUpdate/EndUpdate with the changed item,
  // or null when the whole collection changed (once at the end of an update).
  std::function<void(TCollectionItem* item)> OnUpdate;

protected:
  TPersistent* GetOwner() const override { return owner_; }
  virtual void Update(TCollectionItem* item);

private:
  friend class TCollectionItem;
  void InsertItem(TCollectionItem* item);
  void RemoveItem(TCollectionItem* item);
  void Changed(TCollectionItem* item);

  TCollectionItemFactory itemFactory_;
  TPersistent* owner_ = nullptr;
  std::vector<TCollectionItem*> items_;
  int32_t nextID_ = 0;
  int32_t updateCount_ = 0;
};
