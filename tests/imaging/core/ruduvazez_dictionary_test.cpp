#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "imaging/core/davovevo.h"
#include "imaging/core/ruduvazez_dictionary.h"
#include "tests/imaging/core/test_support.h"
#include "tests/imaging/core/tiff_support.h"

namespace {

std::string Dump(TIEDictionary& d) {
  std::string text;
  d.DumpJSON(text);
  return text;
}

template <class T>
T* As(TObject* value) {
  return dynamic_cast<T*>(value);
}

// A dictionary holding every kind of value, nested twice.
std::unique_ptr<TIEDictionary> Sample() {
  auto d = std::make_unique<TIEDictionary>(103);
  d->InsertString("text", "say \"hi\"\\ then\ttab\nline\x01 \xC3\xA9t\xC3\xA9");
  d->Insert("integer", std::make_unique<TIEDictionaryValueInteger>(-42));
  d->Insert("whole double", std::make_unique<TIEDictionaryValueDouble>(2.0));
  d->Insert("big double", std::make_unique<TIEDictionaryValueDouble>(1e20));
  d->Insert("fraction", std::make_unique<TIEDictionaryValueDouble>(0.125));
  d->Insert("yes", std::make_unique<TIEDictionaryValueBoolean>(true));
  auto inner = std::make_unique<TIEDictionary>(103);
  inner->InsertString("name", "inner");
  auto list = std::make_unique<TObjectList>();
  list->Add(new TIEDictionaryValueInteger(1));
  list->Add(new TIEDictionaryValueWideString("two"));
  list->Add(new TIEDictionaryValueDouble(3.5));
  inner->InsertList("items", std::move(list));
  d->InsertDictionary("inner", std::move(inner));
  return d;
}

TEST(Dictionary, InsertGetRemoveAndEnumerate) {
  TIEDictionary d;
  EXPECT_TRUE(d.IsEmpty());
  EXPECT_EQ(Dump(d), "{}");
  d.InsertString("a", "1");
  d.InsertString("a", "2");  // replaces
  d.Insert("b", std::make_unique<TIEDictionaryValueInteger>(7));
  EXPECT_EQ(As<TIEDictionaryValueWideString>(d.Get("a"))->Value, "2");
  EXPECT_EQ(d.Get("missing"), nullptr);
  try {
    d.Get("missing", false);
    FAIL() << "no exception";
  } catch (const EIEException& e) {
    EXPECT_EQ(e.Message(), "Key \"missing\" not found");
  }
  auto child = std::make_unique<TIEDictionary>();
  child->InsertString("deep", "x");
  d.InsertDictionary("child", std::move(child));
  EXPECT_FALSE(d.Exists("deep"));
  EXPECT_TRUE(d.Exists("deep", true));

  TIEStrStrEnumerator e;
  int32_t seen = 0;
  while (d.Next(e)) ++seen;
  EXPECT_EQ(seen, 3);
  EXPECT_EQ(e.Current, nullptr);  // reset at the end

  std::unique_ptr<TObject> kept(d.Get("b"));
  EXPECT_TRUE(d.Remove("b", false));
  EXPECT_EQ(As<TIEDictionaryValueInteger>(kept.get())->Value, 7);
  EXPECT_TRUE(d.Remove("a", true));
  EXPECT_FALSE(d.Remove("a", true));
  d.Clear();
  EXPECT_TRUE(d.IsEmpty());
}

TEST(Dictionary, HashingAndPrimes) {
  EXPECT_EQ(IEStringHash("a", 103), 97u);
  EXPECT_EQ(IEStringHash("", 103), 0u);
  EXPECT_TRUE(IEIsPrime(103));
  EXPECT_TRUE(IEIsPrime(4));  // even numbers are never tried by 2
  EXPECT_FALSE(IEIsPrime(9));
  EXPECT_EQ(IENextPrime(0), 2u);
  EXPECT_EQ(IENextPrime(24), 29u);
  EXPECT_EQ(IENextPrime(103), 107u);
}

TEST(Dictionary, DumpEscapesAndKeepsKinds) {
  TIEDictionary d;
  d.Insert("k\"ey\\", std::make_unique<TIEDictionaryValueDouble>(2.0));
  EXPECT_EQ(Dump(d), "{\"k\\\"ey\\\\\":2.0}");
  TIEDictionary c;
  c.InsertString("c", std::string("\x01\x1F\n", 3));
  EXPECT_EQ(Dump(c), "{\"c\":\"\\u0001\\u001f\\n\"}");
}

TEST(Dictionary, ParsedLiteralsAndRepeatedKeys) {
  TIEDictionary d;
  EXPECT_TRUE(d.Parse(" {\"a\":1, \"a\":2, \"f\":1.5, \"i\":15, \"e\":1e5, \"E\":1E20, \"t\":true, \"n\":false,"
                      " \"s\":\"q\\\"uo\\\\te\\u00e9\\ud83d\\ude00\", \"l\":[1,[2]], \"o\":{}}"));
  auto* a = As<TObjectList>(d.Get("a"));
  ASSERT_NE(a, nullptr);
  ASSERT_EQ(a->Count(), 2);
  EXPECT_EQ(As<TIEDictionaryValueInteger>(a->Items(1))->Value, 2);
  EXPECT_DOUBLE_EQ(As<TIEDictionaryValueDouble>(d.Get("f"))->Value, 1.5);
  EXPECT_EQ(As<TIEDictionaryValueInteger>(d.Get("i"))->Value, 15);
  EXPECT_DOUBLE_EQ(As<TIEDictionaryValueDouble>(d.Get("e"))->Value, 1e5);
  EXPECT_DOUBLE_EQ(As<TIEDictionaryValueDouble>(d.Get("E"))->Value, 1e20);
  EXPECT_TRUE(As<TIEDictionaryValueBoolean>(d.Get("t"))->Value);
  EXPECT_FALSE(As<TIEDictionaryValueBoolean>(d.Get("n"))->Value);
  EXPECT_EQ(As<TIEDictionaryValueWideString>(d.Get("s"))->Value, "q\"uo\\te\xC3\xA9\xF0\x9F\x98\x80");
  EXPECT_NE(As<TIEDictionary>(d.Get("o")), nullptr);
}

TEST(Dictionary, MalformedTextFailsCleanly) {
  const std::string deepList = std::string(100000, '[') + std::string(100000, ']');
  std::string deepObject;
  for (int i = 0; i < 50000; ++i) deepObject += "{\"a\":";
  const char* cases[] = {"", "plain", "{\"a\" 1}", "{\"a\":1", "{\"a\":\"open", "{\"a\":[1,2}", "{\"a\":,}", "<a b=>",
                         "<?xml version=\"1.0\"", "{\"a\":1 \"b\":2}"};
  for (const char* text : cases) {
    TIEDictionary d;
    EXPECT_FALSE(d.Parse(text)) << text;
  }
  TIEDictionary list;
  EXPECT_FALSE(list.Parse("{\"x\":" + deepList + "}"));
  TIEDictionary object;
  EXPECT_FALSE(object.Parse(deepObject));
  TIEDictionary xml;
  std::string deepXML;
  for (int i = 0; i < 50000; ++i) deepXML += "<a>";
  EXPECT_FALSE(xml.Parse(deepXML));
}

TEST(Dictionary, XMLElementsAttributesAndText) {
  TIEDictionary d;
  ASSERT_TRUE(d.Parse("<?xml version=\"1.0\"?>\n<root lang='en'>\n  <item id=\"1\"/>\n  <item id=\"2\">two  words</item>\n"
                      "  <note>hello</note>\n</root>"));
  auto* xml = As<TIEDictionary>(d.Get("xml"));
  ASSERT_NE(xml, nullptr);
  EXPECT_EQ(As<TIEDictionaryValueWideString>(xml->Get("version"))->Value, "1.0");
  auto* root = As<TIEDictionary>(d.Get("root"));
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(As<TIEDictionaryValueWideString>(root->Get("lang"))->Value, "en");
  auto* content = As<TIEDictionary>(root->Get("#content"));
  ASSERT_NE(content, nullptr);
  auto* items = As<TObjectList>(content->Get("item"));
  ASSERT_NE(items, nullptr);
  ASSERT_EQ(items->Count(), 2);
  auto* second = As<TIEDictionary>(items->Items(1));
  EXPECT_EQ(As<TIEDictionaryValueWideString>(second->Get("id"))->Value, "2");
  auto* secondContent = As<TIEDictionary>(second->Get("#content"));
  EXPECT_EQ(As<TIEDictionaryValueWideString>(secondContent->Get("#text"))->Value, "two  words");
  auto* note = As<TIEDictionary>(content->Get("note"));
  EXPECT_EQ(As<TIEDictionaryValueWideString>(As<TIEDictionary>(note->Get("#content"))->Get("#text"))->Value, "hello");
}

// The dump is JSON that Python reads with the same values, and our own
// parser reads it back with the same values and kinds.
TEST(Dictionary, DumpReadByPythonAndByOurParser) {
  TempFolder folder;
  auto d = Sample();
  const std::string dump = Dump(*d);
  WriteFile(folder.File("dump.json"), dump);
  const CommandResult python = RunCapture(
      folder, "python3 -c 'import json,sys; d=json.load(open(sys.argv[1], encoding=\"utf-8\")); "
              "print(json.dumps(d, sort_keys=True, ensure_ascii=True)); "
              "print(sorted((k, type(v).__name__) for k, v in d.items()))' " + folder.File("dump.json"));
  EXPECT_EQ(python.err, "");
  EXPECT_EQ(python.out,
            "{\"big double\": 1e+20, \"fraction\": 0.125, \"inner\": {\"items\": [1, \"two\", 3.5], \"name\": \"inner\"}, "
            "\"integer\": -42, \"text\": \"say \\\"hi\\\"\\\\ then\\ttab\\nline\\u0001 \\u00e9t\\u00e9\", "
            "\"whole double\": 2.0, \"yes\": true}\n"
            "[('big double', 'float'), ('fraction', 'float'), ('inner', 'dict'), ('integer', 'int'), ('text', 'str'), "
            "('whole double', 'float'), ('yes', 'bool')]\n");

  TIEDictionary copy;
  copy.Assign(*d);
  EXPECT_EQ(Dump(copy), dump);
  EXPECT_DOUBLE_EQ(As<TIEDictionaryValueDouble>(copy.Get("whole double"))->Value, 2.0);
  EXPECT_DOUBLE_EQ(As<TIEDictionaryValueDouble>(copy.Get("big double"))->Value, 1e20);
  EXPECT_EQ(As<TIEDictionaryValueWideString>(copy.Get("text"))->Value,
            As<TIEDictionaryValueWideString>(d->Get("text"))->Value);
  auto* items = As<TObjectList>(As<TIEDictionary>(copy.Get("inner"))->Get("items"));
  ASSERT_NE(items, nullptr);
  EXPECT_NE(As<TIEDictionaryValueInteger>(items->Items(0)), nullptr);
  EXPECT_NE(As<TIEDictionaryValueDouble>(items->Items(2)), nullptr);
}

}  // namespace
