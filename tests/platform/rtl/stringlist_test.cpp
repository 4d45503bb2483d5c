#include "platform/rtl/stringlist.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/streams.h"
#include "temp_folder.h"

namespace {

std::vector<std::string> ItemsOf(const TStrings& list) {
  std::vector<std::string> items;
  for (int32_t i = 0; i < list.Count(); ++i) items.push_back(list.Strings(i));
  return items;
}

using Items = std::vector<std::string>;

// A list built only on the abstract slots, as callers derive their own views.
class SlotList : public TStrings {
public:
  std::string Get(int32_t index) const override { return items.at(index); }
  int32_t GetCount() const override { return static_cast<int32_t>(items.size()); }
  void Clear() override { items.clear(); }
  void Delete(int32_t index) override { items.erase(items.begin() + index); }
  void Insert(int32_t index, const std::string& s) override { items.insert(items.begin() + index, s); }
  Items items;
};

}  // namespace

TEST(StringList, UnsortedListKeepsItemsAndObjects) {
  TStringList list;
  TObject one, two;
  EXPECT_EQ(list.Add("beta"), 0);
  EXPECT_EQ(list.AddObject("Alpha", &one), 1);
  list.InsertObject(0, "gamma", &two);
  EXPECT_EQ(ItemsOf(list), (Items{"gamma", "beta", "Alpha"}));
  EXPECT_EQ(list.Objects(0), &two);
  EXPECT_EQ(list.IndexOf("ALPHA"), 2);  // without regard to case
  EXPECT_EQ(list.IndexOf("delta"), -1);
  EXPECT_EQ(list.IndexOfObject(&one), 2);

  list.Exchange(0, 2);
  EXPECT_EQ(ItemsOf(list), (Items{"Alpha", "beta", "gamma"}));
  EXPECT_EQ(list.Objects(0), &one);
  list.Move(0, 2);
  EXPECT_EQ(ItemsOf(list), (Items{"beta", "gamma", "Alpha"}));
  EXPECT_EQ(list.Objects(2), &one);
  list.SetStrings(1, "delta");
  list.Delete(0);
  EXPECT_EQ(ItemsOf(list), (Items{"delta", "Alpha"}));

  EXPECT_THROW(list.Strings(2), EStringListError);
  try {
    list.Delete(-1);
    FAIL();
  } catch (const EListError& e) {
    EXPECT_EQ(e.Message(), "List index out of bounds (-1)");
  }
}

TEST(StringList, SortedListFollowsDuplicatesRule) {
  struct Case {
    TDuplicates duplicates;
    Items expected;
    bool raises;
  };
  const Case cases[] = {
      {dupIgnore, {"apple", "Pear", "plum"}, false},
      {dupAccept, {"apple", "pear", "Pear", "plum"}, false},
      {dupError, {"apple", "Pear", "plum"}, true},
  };
  for (const Case& c : cases) {
    TStringList list;
    list.SetDuplicates(c.duplicates);
    list.SetSorted(true);
    list.Add("plum");
    list.Add("Pear");
    list.Add("apple");
    try {
      int32_t index = list.Add("pear");
      EXPECT_FALSE(c.raises);
      EXPECT_EQ(index, 1);  // the existing one, or the new one beside it
    } catch (const EStringListError& e) {
      EXPECT_TRUE(c.raises);
      EXPECT_EQ(e.Message(), "String list does not allow duplicates");
    }
    EXPECT_EQ(ItemsOf(list), c.expected) << "duplicates rule " << c.duplicates;
  }
}

TEST(StringList, FindGivesPositionAndSortedListRefusesPlacement) {
  TStringList list;
  list.SetText("d\nb\nf");
  list.SetSorted(true);
  EXPECT_EQ(ItemsOf(list), (Items{"b", "d", "f"}));
  int32_t index = -1;
  EXPECT_TRUE(list.Find("D", index));
  EXPECT_EQ(index, 1);
  EXPECT_FALSE(list.Find("e", index));
  EXPECT_EQ(index, 2);  // where it would go
  EXPECT_FALSE(list.Find("z", index));
  EXPECT_EQ(index, 3);
  EXPECT_EQ(list.IndexOf("F"), 2);
  EXPECT_THROW(list.Insert(0, "a"), EStringListError);
  EXPECT_THROW(list.SetStrings(0, "a"), EStringListError);
}

TEST(StringList, CaseSensitivityChangesMatchingAndOrder) {
  TStringList list;
  list.SetText("b\nB\na\nA");
  list.SetCaseSensitive(true);
  EXPECT_EQ(list.IndexOf("a"), 2);
  EXPECT_EQ(list.IndexOf("A"), 3);
  list.SetSorted(true);
  EXPECT_EQ(ItemsOf(list), (Items{"A", "B", "a", "b"}));
  EXPECT_EQ(list.IndexOf("B"), 1);
  EXPECT_EQ(list.IndexOf("c"), -1);
}

TEST(StringList, CustomSortUsesTheCallersOrder) {
  TStringList list;
  list.SetText("ccc\na\nbb");
  list.CustomSort([](TStringList& l, int32_t i, int32_t j) {
    return static_cast<int32_t>(l.Strings(i).size()) - static_cast<int32_t>(l.Strings(j).size());
  });
  EXPECT_EQ(ItemsOf(list), (Items{"a", "bb", "ccc"}));
}

TEST(StringList, NamesAndValues) {
  TStringList list;
  list.SetText("Width=10\nplain\nheight = 20\nTitle=a=b");
  EXPECT_EQ(list.Names(0), "Width");
  EXPECT_EQ(list.Names(1), "");
  EXPECT_EQ(list.Names(2), "height ");
  EXPECT_EQ(list.Values("WIDTH"), "10");
  EXPECT_EQ(list.Values("title"), "a=b");
  EXPECT_EQ(list.Values("missing"), "");
  EXPECT_EQ(list.ValueFromIndex(1), "");  // no separator: no value
  EXPECT_EQ(list.ValueFromIndex(3), "a=b");
  EXPECT_EQ(list.IndexOfName("height "), 2);

  list.SetValues("width", "12");  // replaces, keeping its place
  list.SetValues("depth", "3");   // added at the end
  list.SetValues("Title", "");    // an empty value removes the item
  EXPECT_EQ(ItemsOf(list), (Items{"width=12", "plain", "height = 20", "depth=3"}));
  list.SetValueFromIndex(3, "4");
  EXPECT_EQ(list.Strings(3), "depth=4");

  list.SetNameValueSeparator(':');
  list.Add("Key:Value");
  EXPECT_EQ(list.Values("key"), "Value");
}

TEST(StringList, TextSplitsEveryKindOfLineBreak) {
  struct Case {
    std::string text;
    Items items;
  };
  const Case cases[] = {
      {"", {}},
      {"one", {"one"}},
      {"one\r\n", {"one"}},
      {"a\r\nb\nc\rd", {"a", "b", "c", "d"}},
      {"a\n\nb\r\r\n", {"a", "", "b", ""}},
      {"\n", {""}},
      {"x\r\n\r\n", {"x", ""}},
  };
  for (const Case& c : cases) {
    TStringList list;
    list.SetText(c.text);
    EXPECT_EQ(ItemsOf(list), c.items) << "text " << testing::PrintToString(c.text);
  }
  TStringList list;
  list.SetText("a\nb");
  EXPECT_EQ(list.Text(), "a\r\nb\r\n");
}

TEST(StringList, DelimitedTextSplitsAndQuotes) {
  struct Case {
    std::string text;
    bool strict;
    Items items;
  };
  const Case cases[] = {
      {"a,b,c", false, {"a", "b", "c"}},
      {"a b, c", false, {"a", "b", "c"}},  // spaces separate too
      {"a b, c", true, {"a b", " c"}},
      {"\"a b\",\"say \"\"hi\"\"\"", false, {"a b", "say \"hi\""}},
      {"a,,b", false, {"a", "", "b"}},
      {"a,", false, {"a", ""}},
      {"  ", false, {}},
      {"\"open", false, {"open"}},  // an unclosed quote runs to the end
  };
  for (const Case& c : cases) {
    TStringList list;
    list.SetStrictDelimiter(c.strict);
    list.SetDelimitedText(c.text);
    EXPECT_EQ(ItemsOf(list), c.items) << c.text;
  }

  TStringList list;
  list.SetText("plain\nwith space\nsay \"hi\"\na,b\n");
  EXPECT_EQ(list.CommaText(), "plain,\"with space\",\"say \"\"hi\"\"\",\"a,b\"");
  TStringList back;
  back.SetCommaText(list.CommaText());
  EXPECT_EQ(ItemsOf(back), ItemsOf(list));

  list.SetDelimiter(';');
  list.SetQuoteChar('\'');
  list.SetStrictDelimiter(true);
  EXPECT_EQ(list.DelimitedText(), "plain;with space;say \"hi\";a,b");
  list.SetText("\n");
  EXPECT_EQ(list.DelimitedText(), "''");  // one empty item
}

TEST(StringList, ChangeEventsFireOncePerChangeOrBatch) {
  TStringList list;
  int changing = 0, changed = 0;
  list.OnChanging = [&](TObject* sender) {
    EXPECT_EQ(sender, &list);
    ++changing;
  };
  list.OnChange = [&](TObject*) { ++changed; };
  list.Add("a");
  list.Add("b");
  list.Delete(0);
  EXPECT_EQ(changing, 3);
  EXPECT_EQ(changed, 3);

  changing = changed = 0;
  list.BeginUpdate();
  list.BeginUpdate();
  list.Add("c");
  list.SetText("x\ny");
  list.EndUpdate();
  EXPECT_EQ(changed, 0);
  list.EndUpdate();
  EXPECT_EQ(changing, 1);
  EXPECT_EQ(changed, 1);
  EXPECT_EQ(list.UpdateCount(), 0);
}

TEST(StringList, AssignAndAddStringsCopyItemsObjectsAndSeparators) {
  TStringList source;
  TObject tag;
  source.AddObject("k=v", &tag);
  source.Add("x");
  source.SetNameValueSeparator(':');
  source.SetDelimiter(';');

  TStringList target;
  target.Add("old");
  target.Assign(source);
  EXPECT_EQ(ItemsOf(target), (Items{"k=v", "x"}));
  EXPECT_EQ(target.Objects(0), &tag);
  EXPECT_EQ(target.NameValueSeparator(), ':');
  EXPECT_EQ(target.Delimiter(), ';');
  target.AddStrings(source);
  EXPECT_EQ(target.Count(), 4);
  EXPECT_EQ(target.Objects(2), &tag);
}

TEST(StringList, AbstractListGetsTheTextRoutinesFromItsSlots) {
  SlotList list;
  list.SetCommaText("a=1,\"b c=2\"");
  EXPECT_EQ(list.items, (Items{"a=1", "b c=2"}));
  EXPECT_EQ(list.Values("B C"), "2");
  list.SetStrings(0, "a=9");  // Put through Delete and Insert
  list.Move(1, 0);
  EXPECT_EQ(list.Text(), "b c=2\r\na=9\r\n");
  EXPECT_EQ(list.Objects(0), nullptr);
}

TEST(StringList, FilesKeepTheirBytes) {
  TempFolder folder;
  std::string name = folder / "list.txt";
  // A byte-order mark is skipped; 8-bit and UTF-8 bytes are kept as they are.
  std::ofstream(name, std::ios::binary) << "\xEF\xBB\xBFna\xC3\xAFve\r\ncaf\xE9\nend";
  TStringList list;
  list.LoadFromFile(name);
  EXPECT_EQ(ItemsOf(list), (Items{"na\xC3\xAFve", "caf\xE9", "end"}));
  list.SaveToFile(name);
  EXPECT_EQ(ReadAll(name), "na\xC3\xAFve\r\ncaf\xE9\r\nend\r\n");

  TStringStream stream("skip\nfrom here\nto the end");
  stream.SetPosition(5);  // loading starts at the stream's position
  list.LoadFromStream(stream);
  EXPECT_EQ(ItemsOf(list), (Items{"from here", "to the end"}));

  EXPECT_THROW(list.LoadFromFile(folder / "missing.txt"), EFOpenError);
  EXPECT_THROW(list.SaveToFile(folder / "no/such/folder.txt"), EFCreateError);
}

TEST(StringList, DelimitedTextRoundTripsAnyItems) {
  // Items of awkward bytes survive being joined and split again.
  const std::string alphabet = std::string("ab ,;\"'\t\r\n\x01\xC3\xA9", 13) + std::string(1, '\0');
  std::mt19937 random(11);
  for (int round = 0; round < 300; ++round) {
    TStringList list;
    list.SetStrictDelimiter(round % 2 == 1);
    if (round % 3 == 0) {
      list.SetDelimiter(';');
      list.SetQuoteChar('\'');
    }
    int count = 1 + static_cast<int>(random() % 4);
    for (int i = 0; i < count; ++i) {
      std::string item;
      for (int n = static_cast<int>(random() % 6); n > 0; --n) item += alphabet[random() % alphabet.size()];
      list.Add(item);
    }
    TStringList back;
    back.SetStrictDelimiter(list.StrictDelimiter());
    back.SetDelimiter(list.Delimiter());
    back.SetQuoteChar(list.QuoteChar());
    back.SetDelimitedText(list.DelimitedText());
    ASSERT_EQ(ItemsOf(back), ItemsOf(list)) << testing::PrintToString(list.DelimitedText());
  }
}
