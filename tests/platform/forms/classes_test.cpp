// Components: ownership, names, notifications, the loading sequence; class
// names; collections.
#include "platform/forms/classes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/forms/properties.h"

namespace {

// Records what happens to components in one shared log.
std::vector<std::string> eventLog;

class TLogged : public TComponent {
  FORMS_CLASS(TLogged)

public:
  explicit TLogged(TComponent* owner, const std::string& name = "") : TComponent(owner) { SetName(name); }
  ~TLogged() override { eventLog.push_back("free " + Name()); }

  void Notification(TComponent* component, TOperation operation) override {
    TComponent::Notification(component, operation);
    if (operation == opRemove && component == partner) partner = nullptr;
    eventLog.push_back(Name() + (operation == opInsert ? " +" : " -") + component->Name());
  }
  void Loaded() override {
    eventLog.push_back("loaded " + Name() + (ComponentState().Contains(csLoading) ? " (loading)" : ""));
    TComponent::Loaded();
  }
  TComponent* partner = nullptr;

protected:
  void AfterLoading() override { eventLog.push_back("create " + Name()); }
};

const TClassInfo& TLogged::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TLogged>("TLogged", &TComponent::StaticClassInfo());
  return info;
}

// A class that publishes nothing of its own, like a program's form.
class TMyLogged : public TLogged {
public:
  using TLogged::TLogged;
};

// A component that makes a part of itself in its constructor.
class TWithPart : public TLogged {
public:
  TWithPart(TComponent* owner, const std::string& name) : TLogged(owner, name) { part = new TLogged(this, "Part"); }
  TLogged* part;
};

class ComponentTest : public ::testing::Test {
protected:
  void SetUp() override { eventLog.clear(); }
};

TEST_F(ComponentTest, OwnerListsFindsAndFreesItsComponents) {
  auto* root = new TLogged(nullptr, "Root");
  auto* a = new TLogged(root, "Alpha");
  auto* b = new TLogged(root, "Beta");
  auto* c = new TLogged(root, "Gamma");

  EXPECT_EQ(root->ComponentCount(), 3);
  EXPECT_EQ(root->Components(1), b);
  EXPECT_EQ(c->ComponentIndex(), 2);
  EXPECT_EQ(root->FindComponent("bEtA"), b);
  EXPECT_EQ(root->FindComponent("Delta"), nullptr);
  EXPECT_EQ(root->FindComponent(""), nullptr);
  EXPECT_EQ(a->Owner(), root);
  EXPECT_THROW(root->Components(3), EListError);

  c->SetComponentIndex(0);
  EXPECT_EQ(root->Components(0), c);

  delete b;  // leaves its owner
  EXPECT_EQ(root->ComponentCount(), 2);
  EXPECT_EQ(root->FindComponent("Beta"), nullptr);

  eventLog.clear();
  delete root;  // owned ones go last first
  EXPECT_EQ(eventLog, (std::vector<std::string>{"free Root", "free Alpha", "free Gamma"}))
      << "the owner's destructor body runs first, then its components";
}

TEST_F(ComponentTest, NamesAreIdentifiersUniqueWithinTheOwner) {
  TLogged root(nullptr, "Root");
  auto* a = new TLogged(&root, "Button1");
  auto* b = new TLogged(&root);

  try {
    b->SetName("BUTTON1");
    FAIL() << "a duplicate name was taken";
  } catch (const EComponentError& e) {
    EXPECT_EQ(e.Message(), "A component named BUTTON1 already exists");
  }
  for (const char* bad : {"1abc", "a b", "a.b", "Ä"}) {
    try {
      b->SetName(bad);
      ADD_FAILURE() << "accepted " << bad;
    } catch (const EComponentError& e) {
      EXPECT_EQ(e.Message(), std::string("'") + bad + "' is not a valid component name");
    }
  }
  a->SetName("button1");  // its own name in another case
  EXPECT_EQ(a->Name(), "button1");
  b->SetName("_Other2");
  EXPECT_EQ(root.FindComponent("_other2"), b);
  b->SetName("");
  EXPECT_EQ(b->Name(), "");

  // A component with a name the new owner already has cannot join it.
  TLogged other(nullptr, "Other");
  auto* clash = new TLogged(&other, "button1");
  EXPECT_THROW(root.InsertComponent(clash), EComponentError);
  EXPECT_EQ(clash->Owner(), &other) << "a refused component stays where it was";
}

TEST_F(ComponentTest, OwnerAndSiblingsHearOfInsertAndRemove) {
  TLogged root(nullptr, "Root");
  auto* a = new TLogged(&root, "A");
  eventLog.clear();
  auto* b = new TLogged(&root, "");  // named later: the news carries the pointer
  b->SetName("B");
  delete b;
  // The fixture passes the news on before logging it.
  EXPECT_EQ(eventLog, (std::vector<std::string>{"A +", "Root +", "free B", "A -B", "Root -B"}));
  (void)a;
}

TEST_F(ComponentTest, FreeNotificationLinksComponentsOfDifferentOwners) {
  auto* formA = new TLogged(nullptr, "FormA");
  auto* formB = new TLogged(nullptr, "FormB");
  auto* user = new TLogged(formA, "User");
  auto* used = new TLogged(formB, "Used");
  user->partner = used;
  used->FreeNotification(user);
  EXPECT_TRUE(used->ComponentState().Contains(csFreeNotification));

  eventLog.clear();
  delete formB;
  EXPECT_EQ(user->partner, nullptr);
  EXPECT_NE(std::find(eventLog.begin(), eventLog.end(), "User -Used"), eventLog.end());

  // The link goes both ways: freeing the user first leaves nothing dangling.
  auto* formC = new TLogged(nullptr, "FormC");
  auto* used2 = new TLogged(formC, "Used2");
  used2->FreeNotification(user);
  delete formA;
  delete formC;  // must not call into the freed user
}

TEST_F(ComponentTest, DestroyingMarksTheWholeTree) {
  TLogged root(nullptr, "Root");
  auto* child = new TLogged(&root, "Child");
  auto* grandChild = new TLogged(child, "GrandChild");
  root.Destroying();
  EXPECT_TRUE(child->ComponentState().Contains(csDestroying));
  EXPECT_TRUE(grandChild->ComponentState().Contains(csDestroying));
}

TEST_F(ComponentTest, LoadingRunsLoadedInCreationOrderThenAfterLoading) {
  TLogged root(nullptr, "Form1");
  std::vector<bool> loadingWhileBuilt;
  TWithPart* panel = nullptr;
  LoadComponents(root, [&] {
    loadingWhileBuilt.push_back(root.ComponentState().Contains(csLoading));
    auto* label = new TLogged(&root, "Label1");
    panel = new TWithPart(&root, "Panel1");
    loadingWhileBuilt.push_back(label->ComponentState().Contains(csLoading));
    loadingWhileBuilt.push_back(panel->ComponentState().Contains(csLoading));
    loadingWhileBuilt.push_back(panel->part->ComponentState().Contains(csLoading));
    eventLog.clear();
  });
  EXPECT_EQ(loadingWhileBuilt, (std::vector<bool>{true, true, true, false}))
      << "a component's own parts are not read, so they are not loading";
  EXPECT_EQ(eventLog, (std::vector<std::string>{"loaded Form1 (loading)", "loaded Label1 (loading)",
                                                "loaded Panel1 (loading)", "create Form1"}));
  EXPECT_FALSE(root.ComponentState().Contains(csLoading));
  EXPECT_FALSE(root.ComponentState().Contains(csReading));
  EXPECT_FALSE(panel->ComponentState().Contains(csLoading));

  // Components made after loading are plain.
  auto* late = new TLogged(&root, "Late");
  EXPECT_FALSE(late->ComponentState().Contains(csLoading));
}

TEST_F(ComponentTest, LoadingThatFailsClearsTheFlagsAndPassesTheError) {
  TLogged root(nullptr, "Form1");
  TLogged* label = nullptr;
  EXPECT_THROW(LoadComponents(root,
                              [&] {
                                label = new TLogged(&root, "Label1");
                                throw EConvertError("bad");
                              }),
               EConvertError);
  EXPECT_FALSE(root.ComponentState().Contains(csLoading));
  EXPECT_FALSE(root.ComponentState().Contains(csReading));
  EXPECT_FALSE(label->ComponentState().Contains(csLoading));
  EXPECT_EQ(std::count(eventLog.begin(), eventLog.end(), "create Form1"), 0);
}

TEST(ClassNames, NameAndAncestry) {
  TMyLogged form(nullptr);
  EXPECT_EQ(form.ClassName(), "TMyLogged") << "a class that registers nothing still has its own name";
  EXPECT_EQ(form.ClassInfo().Name, "TLogged");
  struct Case {
    const char* name;
    bool inherits;
  } cases[] = {{"TMyLogged", true}, {"tlogged", true}, {"TComponent", true},
               {"TPersistent", true}, {"TCollection", false}, {"", false}};
  for (const Case& c : cases) EXPECT_EQ(form.InheritsFrom(c.name), c.inherits) << c.name;
}

TEST(Persistent, AssignWithoutSupportNamesBothClasses) {
  TLogged a(nullptr), b(nullptr);
  try {
    a.Assign(&b);
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "Cannot assign a TLogged to a TLogged");
  }
  try {
    a.Assign(nullptr);
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "Cannot assign a nil to a TLogged");
  }
}

// ---- collections ----

class TColumn : public TCollectionItem {
  FORMS_CLASS(TColumn)

public:
  using TCollectionItem::TCollectionItem;
  int32_t Width() const { return width_; }
  void SetWidth(int32_t w) {
    width_ = w;
    Changed(false);
  }
  void Assign(const TPersistent* source) override {
    if (auto* other = dynamic_cast<const TColumn*>(source))
      width_ = other->width_;
    else
      TCollectionItem::Assign(source);
  }

private:
  int32_t width_ = 0;
};

const TClassInfo& TColumn::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TColumn>(
      "TColumn", &TCollectionItem::StaticClassInfo(),
      [](TPublished<TColumn>& p) { p.Integer("Width", &TColumn::Width, &TColumn::SetWidth); });
  return info;
}

TCollectionItemFactory columnFactory() {
  return [](TCollection* c) { return new TColumn(c); };
}

TEST(Collection, ItemsKeepTheirIdsAcrossMovesAndDeletes) {
  TCollection columns(columnFactory());
  auto* c0 = columns.Add();
  auto* c1 = columns.Add();
  auto* c2 = columns.Add();
  EXPECT_EQ(columns.Count(), 3);
  EXPECT_EQ(c2->ID(), 2);
  EXPECT_EQ(c2->Collection(), &columns);

  columns.Delete(0);
  EXPECT_EQ(c1->Index(), 0);
  EXPECT_EQ(columns.FindItemID(0), nullptr);
  auto* c3 = columns.Insert(0);
  EXPECT_EQ(c3->ID(), 3) << "IDs are never reused";
  EXPECT_EQ(columns.Items(0), c3);
  c2->SetIndex(0);
  EXPECT_EQ(columns.Items(0), c2);
  EXPECT_EQ(columns.FindItemID(1), c1);
  EXPECT_THROW(columns.Items(5), EListError);

  delete c1;  // an item freed by itself leaves the collection
  EXPECT_EQ(columns.Count(), 2);
  (void)c0;
}

TEST(Collection, UpdatesAreReportedPerItemOrOnceForABatch) {
  TCollection columns(columnFactory());
  std::vector<TCollectionItem*> updates;
  columns.OnUpdate = [&](TCollectionItem* item) { updates.push_back(item); };
  auto* col = static_cast<TColumn*>(columns.Add());
  updates.clear();
  col->SetWidth(5);
  EXPECT_EQ(updates, std::vector<TCollectionItem*>{col});

  updates.clear();
  columns.BeginUpdate();
  columns.Add();
  col->SetWidth(6);
  columns.Delete(1);
  EXPECT_TRUE(updates.empty());
  columns.EndUpdate();
  EXPECT_EQ(updates, std::vector<TCollectionItem*>{nullptr});
}

TEST(Collection, AssignCopiesItemsAndRejectsOtherClasses) {
  TCollection source(columnFactory()), dest(columnFactory());
  static_cast<TColumn*>(source.Add())->SetWidth(10);
  static_cast<TColumn*>(source.Add())->SetWidth(20);
  dest.Add();
  dest.Assign(&source);
  ASSERT_EQ(dest.Count(), 2);
  EXPECT_EQ(static_cast<TColumn*>(dest.Items(1))->Width(), 20);

  TLogged component(nullptr);
  EXPECT_THROW(dest.Assign(&component), EConvertError);
  EXPECT_EQ(dest.Count(), 2);
}

}  // namespace
