// The data-aware framework over a real SQLite file: fields and their types,
// moving, bookmarks, editing and posting, and what the links hear.
#include <gtest/gtest.h>

#include "platform/forms/dbsqlite.h"
#include "tests/platform/forms/sqlite_fixture.h"

namespace {

struct Opened {
  explicit Opened(const SQLiteFile& file) {
    dataSet.SetDatabaseName(file.FileName());
    dataSet.SetTableName("colours");
    dataSet.Open();
  }
  TSQLiteDataSet dataSet{nullptr};
};

}  // namespace

TEST(SQLiteDataSet, FieldsRecordsAndBookmarks) {
  SQLiteFile file(kColourTable);
  Opened o(file);
  TDataSet& ds = o.dataSet;
  ASSERT_EQ(ds.FieldCount(), 3);
  TField* name = ds.FieldByName("NAME");
  EXPECT_EQ(name->DataType(), ftString);
  EXPECT_EQ(name->Size(), 20);
  EXPECT_EQ(ds.FieldByName("amount")->DataType(), ftInteger);
  EXPECT_EQ(ds.FieldByName("note")->DataType(), ftMemo);
  EXPECT_THROW(ds.FieldByName("missing"), EDatabaseError);
  EXPECT_EQ(ds.FindField("missing"), nullptr);
  EXPECT_FALSE(ds.FieldByName("amount")->IsValidChar('x'));
  EXPECT_TRUE(name->IsValidChar('x'));

  std::vector<std::string> names;
  for (ds.First(); !ds.Eof(); ds.Next()) names.push_back(name->AsString());
  EXPECT_EQ(names, (std::vector<std::string>{"Red", "red", "", "Blue"}));
  ds.First();
  ds.Next();
  TBookmark mark = ds.GetBookmark();
  ds.First();
  EXPECT_TRUE(ds.FieldByName("note")->IsNull() == false);
  ds.GotoBookmark(mark);
  EXPECT_EQ(name->AsString(), "red");
  EXPECT_TRUE(ds.FieldByName("note")->IsNull());
}

TEST(SQLiteDataSet, PostsEditsToTheFileAndKeepsFailuresInEditing) {
  SQLiteFile file(kColourTable);
  Opened o(file);
  TDataSet& ds = o.dataSet;
  TField* name = ds.FieldByName("name");
  EXPECT_THROW(name->SetAsString("x"), EDatabaseError) << "not editing";
  ds.Edit();
  name->SetAsString("Crimson");
  ds.Post();
  EXPECT_EQ(ds.State(), dsBrowse);
  EXPECT_EQ(file.Query("SELECT name FROM colours WHERE amount = 1"), "Crimson");

  ds.Edit();
  name->SetAsString("forbidden");
  EXPECT_THROW(ds.Post(), EDatabaseError);
  EXPECT_EQ(ds.State(), dsEdit) << "a refused record stays in editing";
  ds.Cancel();
  EXPECT_EQ(name->AsString(), "Crimson");
  EXPECT_EQ(file.Query("SELECT name FROM colours WHERE amount = 1"), "Crimson");
}

TEST(SQLiteDataSet, OpeningFailsCleanly) {
  SQLiteFile file(kColourTable);
  TSQLiteDataSet ds(nullptr);
  ds.SetDatabaseName(file.Folder() / "absent.db");
  ds.SetTableName("colours");
  EXPECT_THROW(ds.Open(), EDatabaseError);
  EXPECT_FALSE(ds.Active());
  ds.SetDatabaseName(file.FileName());
  ds.SetTableName("no such table");
  EXPECT_THROW(ds.Open(), EDatabaseError);
  const std::string garbage = file.Folder().Write("garbage.db", std::string(3000, 'x'));
  ds.SetDatabaseName(garbage);
  ds.SetTableName("colours");
  EXPECT_THROW(ds.Open(), EDatabaseError);
}

TEST(SQLiteDataSet, LinksHearMovesAndStateButNotWhileDisabled) {
  SQLiteFile file(kColourTable);
  TSQLiteDataSet ds(nullptr);
  ds.SetDatabaseName(file.FileName());
  ds.SetTableName("colours");
  TDataSource source(nullptr);
  source.SetDataSet(&ds);
  TFieldDataLink link;
  std::vector<std::string> seen;
  int actives = 0;
  link.OnDataChange = [&](TObject*) { seen.push_back(link.Field() ? link.Field()->AsString() : "-"); };
  link.OnActiveChange = [&](TObject*) { ++actives; };
  link.SetFieldName("name");
  link.SetDataSource(&source);
  ds.Open();
  EXPECT_EQ(actives, 2);
  ASSERT_NE(link.Field(), nullptr);
  seen.clear();
  ds.Next();
  EXPECT_EQ(seen, (std::vector<std::string>{"red"}));
  ds.DisableControls();
  ds.Next();
  ds.Next();
  EXPECT_EQ(seen.size(), 1u);
  ds.EnableControls();
  EXPECT_EQ(seen.back(), "Blue");
  EXPECT_TRUE(link.CanModify());
  link.SetReadOnly(true);
  EXPECT_FALSE(link.Edit());
  ds.Close();
  EXPECT_EQ(link.Field(), nullptr);
}
