#include "platform/rtl/lists.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <vector>

#include "platform/rtl/exceptions.h"

namespace {

int a = 1, b = 2, c = 3, d = 4;

std::vector<void*> ItemsOf(const TList& list) {
  std::vector<void*> items;
  for (int32_t i = 0; i < list.Count(); ++i) items.push_back(list.Items(i));
  return items;
}

}  // namespace

TEST(List, EditingKeepsOrderAndIndexes) {
  TList list;
  EXPECT_EQ(list.Add(&a), 0);
  EXPECT_EQ(list.Add(&c), 1);
  list.Insert(1, &b);
  list.Insert(3, &d);  // at the end
  EXPECT_EQ(ItemsOf(list), (std::vector<void*>{&a, &b, &c, &d}));
  EXPECT_EQ(list.First(), &a);
  EXPECT_EQ(list.Last(), &d);
  EXPECT_EQ(list.IndexOf(&c), 2);
  EXPECT_EQ(list.IndexOf(nullptr), -1);

  list.Exchange(0, 3);
  EXPECT_EQ(ItemsOf(list), (std::vector<void*>{&d, &b, &c, &a}));
  list.Move(0, 2);
  EXPECT_EQ(ItemsOf(list), (std::vector<void*>{&b, &c, &d, &a}));
  EXPECT_EQ(list.Remove(&c), 1);
  EXPECT_EQ(list.Remove(&c), -1);
  EXPECT_EQ(list.Extract(&d), &d);
  EXPECT_EQ(list.Extract(&d), nullptr);
  list.Delete(0);
  EXPECT_EQ(ItemsOf(list), (std::vector<void*>{&a}));

  list.SetCount(3);  // grows with nulls
  list.SetItems(2, &b);
  list.Pack();
  EXPECT_EQ(ItemsOf(list), (std::vector<void*>{&a, &b}));
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Capacity(), 0);
}

TEST(List, CapacityGrowsAheadOfCount) {
  TList list;
  for (int i = 0; i < 1000; ++i) {
    list.Add(&a);
    ASSERT_GE(list.Capacity(), list.Count());
  }
  list.SetCapacity(5000);
  EXPECT_EQ(list.Capacity(), 5000);
  EXPECT_THROW(list.SetCapacity(10), EListError);  // below the count
  EXPECT_THROW(list.SetCount(-1), EListError);
}

TEST(List, IndexOutsideTheListRaisesListError) {
  TList list;
  list.Add(&a);
  const std::vector<std::pair<int32_t, std::function<void()>>> cases = {
      {1, [&] { list.Items(1); }},        {-1, [&] { list.Items(-1); }},
      {5, [&] { list.Delete(5); }},       {2, [&] { list.Insert(2, &b); }},
      {3, [&] { list.Exchange(0, 3); }},  {7, [&] { list.Move(0, 7); }},
      {1, [&] { list.SetItems(1, &b); }},
  };
  for (const auto& [index, call] : cases) {
    try {
      call();
      ADD_FAILURE() << "no error for index " << index;
    } catch (const EListError& e) {
      EXPECT_EQ(e.Message(), "List index out of bounds (" + std::to_string(index) + ")");
    }
  }
  TList empty;
  EXPECT_THROW(empty.First(), EListError);
  EXPECT_THROW(empty.Last(), EListError);
}

TEST(List, SortOrdersByTheCompareFunction) {
  std::vector<int> values = {5, 3, 9, 1, 7, 3, 0, 8};
  TList list;
  for (int& v : values) list.Add(&v);
  list.Sort([](void* x, void* y) { return *static_cast<int*>(x) - *static_cast<int*>(y); });
  std::vector<int> sorted;
  for (void* p : ItemsOf(list)) sorted.push_back(*static_cast<int*>(p));
  EXPECT_EQ(sorted, (std::vector<int>{0, 1, 3, 3, 5, 7, 8, 9}));
}

TEST(List, SortSurvivesAnInconsistentCompareFunction) {
  std::vector<int> values(500);
  TList list;
  for (int& v : values) list.Add(&v);
  std::mt19937 random(7);
  list.Sort([&](void*, void*) { return static_cast<int32_t>(random() % 3) - 1; });
  EXPECT_EQ(list.Count(), 500);  // every item still there, once
  for (int& v : values) EXPECT_GE(list.IndexOf(&v), 0);
}

namespace {

struct Counted : TObject {
  explicit Counted(int& deaths) : deaths(deaths) {}
  ~Counted() override { ++deaths; }
  int& deaths;
};

}  // namespace

TEST(ObjectList, OwnedObjectsAreDeletedWhenTheyLeaveTheList) {
  int deaths = 0;
  {
    TObjectList list;
    auto* kept = new Counted(deaths);
    for (int i = 0; i < 5; ++i) list.Add(new Counted(deaths));
    list.Add(kept);
    list.Delete(0);
    EXPECT_EQ(deaths, 1);
    list.Remove(list.Items(0));
    EXPECT_EQ(deaths, 2);
    list.SetItems(0, new Counted(deaths));  // the replaced object goes
    EXPECT_EQ(deaths, 3);
    EXPECT_EQ(list.Extract(kept), kept);  // handed back alive
    EXPECT_EQ(deaths, 3);
    delete kept;
    EXPECT_EQ(deaths, 4);
  }
  EXPECT_EQ(deaths, 7);  // the three left went with the list
}

TEST(ObjectList, WithoutOwnershipNothingIsDeleted) {
  int deaths = 0;
  Counted x(deaths), y(deaths);
  {
    TObjectList list(false);
    list.Add(&x);
    list.Add(&y);
    list.Delete(0);
    EXPECT_FALSE(list.OwnsObjects());
  }
  EXPECT_EQ(deaths, 0);
}
