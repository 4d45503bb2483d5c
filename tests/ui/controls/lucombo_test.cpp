// The lookup edit: completion by typing, history on exit, the stored list,
// and the data-aware edit over a real SQLite file.
#include <filesystem>

#include "platform/forms/dbsqlite.h"
#include "platform/rtl/dynlib.h"
#include "platform/rtl/files.h"
#include "platform/rtl/inifiles.h"
#include "tests/platform/forms/sqlite_fixture.h"
#include "tests/ui/controls/controls_test_support.h"
#include "ui/controls/dblucomb.h"
#include "ui/controls/settingsstore.h"

namespace {

class LookupEditTest : public ControlsTest {
protected:
  void SetUp() override {
    ControlsTest::SetUp();
    setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
    form = MakeForm();
    edit = Add<TLUEdit>(form, "Edit", {20, 20, 200, 41});
    other = Add<TEdit>(form, "Other", {20, 60, 200, 81});
  }
  void TearDown() override {
    ControlsTest::TearDown();
    unsetenv("XDG_CONFIG_HOME");
  }
  void SetItems(TLUEdit* e, const std::string& commaText) { e->LookupItems()->SetCommaText(commaText); }
  TempFolder home;
  TForm* form = nullptr;
  TLUEdit* edit = nullptr;
  TEdit* other = nullptr;
};

}  // namespace

TEST_F(LookupEditTest, TypingCompletesFromTheList) {
  SetItems(edit, "Alpha,Beta");
  Focus(edit);
  Type("b");
  EXPECT_EQ(edit->Text(), "beta");
  EXPECT_EQ(edit->SelStart(), 1);
  EXPECT_EQ(edit->SelText(), "eta");
  Key(VK_BACK);
  EXPECT_EQ(edit->Text(), "b") << "Backspace removes the completion and completes nothing";
  Type("e");
  EXPECT_EQ(edit->Text(), "beta");

  edit->SetText("");
  edit->SetMatchCase(true);
  Type("b");
  EXPECT_EQ(edit->Text(), "b") << "with MatchCase b does not complete Beta";
  Key(VK_BACK);
  edit->AutoComplete = [](TObject*, const std::string& typed, std::string& added, int32_t index) {
    EXPECT_EQ(typed, "B");
    EXPECT_EQ(index, 1);
    added += "!";
  };
  Type("B");
  EXPECT_EQ(edit->Text(), "Beta!");
}

TEST_F(LookupEditTest, FileLookupCompletesNamesAndSkipsDotNames) {
  TempFolder files;
  files.Write("photo.jpg", "x");
  files.Write(".hidden", "x");
  edit->SetFileLookup(true);
  edit->SetFileLookupFolder(files.Path());
  Focus(edit);
  Type("ph");
  EXPECT_EQ(edit->Text(), "photo.jpg");
  EXPECT_EQ(edit->SelText(), "oto.jpg");
  edit->SetText("");
  Type(".");
  EXPECT_EQ(edit->Text(), ".") << "names beginning with a dot are never offered";
}

TEST_F(LookupEditTest, LeavingAddsToTheHistory) {
  struct Case {
    TAutoHistoryDirection direction;
    const char* before;
    const char* after;
  };
  const Case cases[] = {{ahdFirst, "c,b,a", "d,c,b"}, {ahdLast, "a,b,c", "b,c,d"}, {ahdFirst, "c,D,a", "c,D,a"}};
  edit->SetAutoHistory(true);
  edit->SetAutoHistoryLimit(3);
  std::vector<std::string> added;
  edit->OnAddToHistory = [&](TObject*, const std::string& s) { added.push_back(s); };
  for (const Case& c : cases) {
    edit->SetAutoHistoryDirection(c.direction);
    SetItems(edit, c.before);
    Focus(edit);
    edit->SetText("d");
    Focus(other);
    EXPECT_EQ(edit->LookupItems()->CommaText(), c.after);
  }
  EXPECT_EQ(added.size(), 2u) << "a text already listed, in another case, adds nothing";

  edit->Accept = [](TObject*, const std::string&, int32_t, bool& accept) { accept = false; };
  SetItems(edit, "a");
  Focus(edit);
  edit->SetText("zzz");
  Focus(other);
  EXPECT_TRUE(edit->Focused()) << "a refused text keeps the focus";
  EXPECT_EQ(edit->LookupItems()->CommaText(), "a");
}

TEST_F(LookupEditTest, ReturnIsTabAndModifiedColour) {
  edit->SetReturnIsTab(true);
  edit->SetShowModified(true);
  edit->SetModifiedColor(clRed);
  SetItems(edit, "Alpha");
  Focus(edit);
  Type("x");
  EXPECT_EQ(edit->Font()->Color(), clRed);
  Key(VK_BACK);
  EXPECT_EQ(edit->Font()->Color(), clRed) << "Backspace changes no look";
  Type("A");
  edit->SetText("");
  EXPECT_NE(edit->Font()->Color(), clRed) << "back to the reference text";
  Type("ALPHA");
  Key(VK_RETURN);
  EXPECT_EQ(edit->Text(), "Alpha") << "Return takes the entry as listed";
  EXPECT_TRUE(other->Focused());
}

TEST_F(LookupEditTest, StoredListGoesToTheSettingsFolder) {
  edit->Persist()->SetEnable(true);
  edit->Persist()->SetKey("lookup.ini");
  edit->Persist()->SetSection("Recent");
  edit->Persist()->SetMaxCount(true);
  const std::string file = SettingsIniFileName("lookup.ini");
  EXPECT_EQ(file, home / "config/lookup.ini") << "relative names live in the user's settings folder";
  struct Case {
    int32_t count;
    std::vector<std::string> written;
  };
  const Case cases[] = {{2, {"b", "c"}}, {4, {"a", "b", "c", ""}}};
  for (const Case& c : cases) {
    SetItems(edit, "a,b,c");
    edit->Persist()->SetCount(c.count);
    edit->SaveLookupList();
    TIniFile ini(file);
    for (size_t i = 0; i < c.written.size(); ++i)
      EXPECT_EQ(ini.ReadString("Recent", "Item" + std::to_string(i + 1), "?"), c.written[i]);
    EXPECT_EQ(ini.ReadString("Recent", "Item" + std::to_string(c.written.size() + 1), "?"), "?");
  }
  edit->LookupItems()->Clear();
  edit->LoadLookupList();
  EXPECT_EQ(edit->LookupItems()->CommaText(), "a,b,c") << "loading stops at the first empty value";
  EXPECT_FALSE(std::filesystem::exists(ExtractFilePath(ExecutableFileName()) + "lookup.ini"));
}

// ---- the data-aware edit ----

namespace {

class DataLookupEditTest : public LookupEditTest {
protected:
  void SetUp() override {
    LookupEditTest::SetUp();
    dataSet = new TSQLiteDataSet(form);
    dataSet->SetDatabaseName(file.FileName());
    dataSet->SetTableName("colours");
    source = new TDataSource(form);
    source->SetDataSet(dataSet);
    db = Add<TDBLUEdit>(form, "DbEdit", {20, 100, 200, 121});
    db->SetDataSource(source);
    db->SetDataField("name");
    dataSet->Open();
  }
  SQLiteFile file{kColourTable};
  TSQLiteDataSet* dataSet = nullptr;
  TDataSource* source = nullptr;
  TDBLUEdit* db = nullptr;
};

}  // namespace

TEST_F(DataLookupEditTest, ShowsEditsAndWritesBackTheField) {
  EXPECT_EQ(db->Text(), "Red");
  dataSet->Next();
  EXPECT_EQ(db->Text(), "red");
  Focus(db);
  EXPECT_EQ(dataSet->State(), dsBrowse);
  Key(VK_END);
  Type("dish");
  EXPECT_EQ(dataSet->State(), dsEdit) << "typing puts the dataset into editing";
  Focus(other);
  EXPECT_EQ(dataSet->State(), dsBrowse);
  EXPECT_EQ(file.Query("SELECT name FROM colours WHERE amount = 2"), "reddish");

  Focus(db);
  Key(VK_END);
  Type("x");
  Key(VK_ESCAPE);
  EXPECT_EQ(db->Text(), "reddish") << "Escape resets to the field's value";
}

TEST_F(DataLookupEditTest, TextInAnyScriptIsWrittenToTheFile) {
  // Typed over the whole value of a record not yet edited, then the focus
  // leaves: the file holds what was typed.
  const char* texts[] = {"\u00e9t\u00e9", "\u20ac", "\u03a9\u03bc\u03ad\u03b3\u03b1",
                         "\u041f\u0440\u0438\u0432\u0435\u0442", "\u8272"};
  for (const char* text : texts) {
    Focus(db);
    ASSERT_EQ(dataSet->State(), dsBrowse);
    db->SelectAll();
    Type(text);
    EXPECT_EQ(dataSet->State(), dsEdit) << text;
    Focus(other);
    EXPECT_EQ(file.Query("SELECT name FROM colours WHERE amount = 1"), text);
    EXPECT_EQ(db->Text(), text);
  }
}

TEST_F(DataLookupEditTest, AWriteErrorIsShownAndKeepsTheFocus) {
  Focus(db);
  db->SelectAll();
  ScriptMessageBoxAnswer(mrOk);
  Type("forbidden");
  Focus(other);
  ASSERT_EQ(MessageBoxLog().size(), 1u) << "the user learns the record was not written";
  EXPECT_NE(MessageBoxLog()[0].Text.find("CHECK"), std::string::npos) << MessageBoxLog()[0].Text;
  EXPECT_TRUE(db->Focused());
  EXPECT_EQ(file.Query("SELECT name FROM colours WHERE amount = 1"), "Red");
}

TEST_F(DataLookupEditTest, FillsTheListFromDistinctValues) {
  dataSet->Next();
  db->SetDataLookup(true);
  EXPECT_EQ(db->LookupItems()->CommaText(), "Red,Blue");
  EXPECT_EQ(dataSet->RecNo(), 2) << "the current record stays";
  dataSet->Close();
  EXPECT_EQ(db->LookupItems()->Count(), 0);
  dataSet->Open();
  EXPECT_EQ(db->LookupItems()->CommaText(), "Red,Blue");
  Focus(db);
  db->SetText("");
  Type("B");
  EXPECT_EQ(db->Text(), "Blue");
}

TEST_F(DataLookupEditTest, ReadOnlyLinkBeepsAndChangesNothing) {
  db->SetReadOnly(true);
  Focus(db);
  const int beeps = display::HeadlessBeepCount();
  Key(VK_END);
  Type("x");
  Key(VK_BACK);
  Key(VK_HOME);
  Key(VK_DELETE);
  EXPECT_EQ(db->Text(), "Red");
  EXPECT_GE(display::HeadlessBeepCount(), beeps + 2);
  EXPECT_EQ(dataSet->State(), dsBrowse);
}

TEST_F(DataLookupEditTest, MaxLengthOfTheFieldSizeIsCleared) {
  const std::pair<int32_t, int32_t> cases[] = {{20, 0}, {10, 10}};
  for (auto [given, after] : cases) {
    db->SetMaxLength(given);
    db->Loaded();
    EXPECT_EQ(db->MaxLength(), after);
  }
  auto* plain = Add<TDBLUEdit>(form, "Plain", {20, 140, 200, 161});
  Focus(plain);
  Type("abc");
  EXPECT_EQ(plain->Text(), "abc") << "without a data source it is a lookup edit";
}
