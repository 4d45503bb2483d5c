// The language manager: codes, files of both encodings, stores, look-ups,
// translating a window, the language list, and failures that keep the
// language in force.
#include "app/loclangman.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/display/headless.h"
#include "platform/forms/forms.h"
#include "platform/forms/stdctrls.h"

namespace fs = std::filesystem;

namespace {

TEST(LanguageCodes, WindowsLanguageIdsMapToCodes) {
  const struct {
    uint16_t lcid;
    const char* code;
  } cases[] = {{1057, "id"}, {3082, "es"}, {1034, ""}, {1031, "de"}, {2057, "en"}, {31770, "sr"},
               {1029, "cs"}, {1045, "pl"}, {5146, "bs"}, {0, ""}, {1164, "gbz"}};
  for (const auto& c : cases) EXPECT_EQ(LanguageCodeFromLCID(c.lcid), c.code) << c.lcid;
}

class TTestForm : public TForm {
public:
  explicit TTestForm(TComponent* owner) : TForm(owner) {
    LoadComponents(*this, [this] {
      SetName("TestForm");
      SetCaption("Window");
      Label8 = new TLabel(this);
      Label8->SetName("Label8");
      Label8->SetParent(this);
      Label8->SetCaption("Label");
      List = new TComboBox(this);
      List->SetName("typeList");
      List->SetParent(this);
    });
  }
  static const TClassInfo& StaticClassInfo() {
    static const TClassInfo info = PublishClass<TTestForm>("TTestForm", &TForm::StaticClassInfo());
    return info;
  }
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  TLabel* Label8 = nullptr;
  TComboBox* List = nullptr;
};

class LanguageManagerTest : public ::testing::Test {
protected:
  void SetUp() override {
    display::SetActiveBackend(display::CreateHeadlessBackend());
    folder_ = fs::temp_directory_path() /
              ("vesk-lang-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    manager_.SetFolder(folder_.string());
    manager_.OnLanguageChanged = [this](TObject*) { ++changes_; };
  }
  void TearDown() override { fs::remove_all(folder_); }

  void Write(const std::string& name, const std::string& bytes) {
    std::ofstream(folder_ / name, std::ios::binary) << bytes;
  }

  fs::path folder_;
  TLanguageManager manager_;
  int changes_ = 0;
};

TEST_F(LanguageManagerTest, EightBitFileThenUtf8FileReplacingEqualKeys) {
  // "M\xFCnchen" is Windows-1252; the UTF-8 file starts with a byte-order mark.
  Write("app.de.lng",
        "[language info]\nlanguagename=Deutsch\n[constants]\nCity=M\xFCnchen\nlng_MsgBtnOK = Gut\n"
        "Two=one\\ntwo\\tthree\n@Res=resource\n[TForm1]\nLabel8.Caption=Alt\n");
  Write("app.de.lngu", "\xEF\xBB\xBF[constants]\nlng_msgbtnok=OK!\n[tform1]\nLabel8.Caption=Neu \xC3\xA4\n");
  manager_.SetLanguageCode("de");
  EXPECT_EQ(manager_.LastError(), "");
  EXPECT_EQ(manager_.LanguageCode(), "de");
  EXPECT_EQ(manager_.LanguageName(), "Deutsch");
  EXPECT_EQ(changes_, 1);
  ASSERT_EQ(manager_.ActiveFiles().Count(), 2);
  EXPECT_EQ(fs::path(manager_.ActiveFiles().Strings(0)).filename(), "app.de.lng");
  EXPECT_EQ(fs::path(manager_.ActiveFiles().Strings(1)).filename(), "app.de.lngu");
  // Text is held as UTF-8 whatever the file's encoding.
  EXPECT_EQ(manager_.GetText("city", ""), "M\xC3\xBCnchen");
  EXPECT_EQ(manager_.GetText("LNG_MSGBTNOK", "OK"), "OK!");
  EXPECT_EQ(manager_.GetText("Two", ""), "one\r\ntwo\tthree");
  EXPECT_EQ(manager_.GetText("@res", ""), "resource");
  EXPECT_EQ(manager_.GetText("res", "none\\n"), "none\r\n");
  EXPECT_EQ(manager_.GetText("TForm1.Label8.Caption", ""), "Neu \xC3\xA4");
}

TEST_F(LanguageManagerTest, DuplicateKeysKeepTheLastValue) {
  Write("a.fr.lng", "[constants]\nX=first\nx=second\n[TForm1]\nself.Caption=un\nSELF.caption=deux\n");
  manager_.SetLanguageCode("fr");
  EXPECT_EQ(manager_.GetText("X", ""), "second");
  EXPECT_EQ(manager_.Properties().size(), 1u);
  EXPECT_EQ(manager_.Properties().at("TFORM1.SELF.CAPTION"), "deux");
}

TEST_F(LanguageManagerTest, FailuresKeepTheLanguageInForce) {
  Write("app.de.lngu", "[language info]\nlanguagename=Deutsch\n[constants]\nA=de\n");
  Write("app.xx.lngz", "compressed");
  manager_.SetLanguageCode("de");
  ASSERT_EQ(changes_, 1);

  const struct {
    const char* code;
    const char* error;
  } cases[] = {{"fr", "Language not found (fr)"},
               {"xx", "Language files could not be read (xx)"}};
  for (const auto& c : cases) {
    manager_.SetLanguageCode(c.code);
    EXPECT_EQ(manager_.LastError(), c.error);
    EXPECT_EQ(manager_.LanguageCode(), "de");
    EXPECT_EQ(manager_.LanguageName(), "Deutsch");
    EXPECT_EQ(manager_.GetText("A", ""), "de");
    EXPECT_EQ(changes_, 1);
  }
  // An empty code changes nothing and reports nothing.
  manager_.SetLanguageCode("");
  EXPECT_EQ(manager_.LastError(), "");
  EXPECT_EQ(manager_.LanguageCode(), "de");
}

TEST_F(LanguageManagerTest, LanguagesAreListedOncePerCodeAndIndonesianAnswersToBothCodes) {
  Write("app.de.lng", "[language info]\nlanguagename=Deutsch\n");
  Write("more.de.lngu", "[language info]\nlanguagename=Other\n");
  Write("app.in.lngu", "[language info]\nlanguagename=Bahasa Indonesia\n[constants]\nA=in\n");
  Write("app.en.lngu", "[constants]\nA=no name\n");
  Write("app.cs.lngz", "[language info]\nlanguagename=Cestina\n");
  TStringList list;
  ASSERT_TRUE(manager_.GetLanguages(list));
  list.Sort();
  EXPECT_EQ(list.Text(), "de=Deutsch\r\nin=Bahasa Indonesia\r\n");

  manager_.SetLanguageCode("id");
  EXPECT_EQ(manager_.LastError(), "");
  EXPECT_EQ(manager_.GetText("A", ""), "in");
}

TEST_F(LanguageManagerTest, FileNamesFilterTheFilesByBase) {
  Write("app.de.lngu", "[constants]\nA=app\n");
  Write("other.de.lngu", "[constants]\nA=other\n");
  manager_.FileNames().Add("app");
  manager_.SetLanguageCode("de");
  EXPECT_EQ(manager_.ActiveFiles().Count(), 1);
  EXPECT_EQ(manager_.GetText("A", ""), "app");
}

TEST_F(LanguageManagerTest, TranslateSetsTextPropertiesOnly) {
  Write("app.de.lngu",
        "[TTestForm]\nself.Caption=Fenster\nLabel8.Caption=Beschriftung\nMissing.Caption=skipped\n"
        "typeList.Items.Text=eins\\ntwo\nLabel8.Left=500\nLabel8.NoSuch=x\n[TOther]\nLabel8.Caption=other\n");
  manager_.SetLanguageCode("de");
  auto* form = new TTestForm(nullptr);
  const int32_t left = form->Label8->Left();
  EXPECT_FALSE(manager_.TranslateComponent(*form));
  EXPECT_EQ(form->Caption(), "Fenster");
  EXPECT_EQ(form->Label8->Caption(), "Beschriftung");
  EXPECT_EQ(form->List->Items()->Count(), 2);
  EXPECT_EQ(form->List->Items()->Strings(0), "eins");
  // A language file never moves or resizes a control.
  EXPECT_EQ(form->Label8->Left(), left);
  EXPECT_NE(manager_.LastError().find("TLanguageManager (TTESTFORM.LABEL8.LEFT):"), std::string::npos);
  EXPECT_NE(manager_.LastError().find("TLanguageManager (TTESTFORM.LABEL8.NOSUCH):"), std::string::npos);
  EXPECT_EQ(manager_.LastError().find("MISSING"), std::string::npos);

  // Only the window itself: keys reaching its components are skipped.
  form->SetCaption("x");
  form->Label8->SetCaption("y");
  manager_.TranslateComponent(*form, "TTestForm", true);
  EXPECT_EQ(form->Caption(), "Fenster");
  EXPECT_EQ(form->Label8->Caption(), "y");
  // Another section by name.
  EXPECT_TRUE(manager_.TranslateComponent(*form, "TOther"));
  EXPECT_EQ(form->Label8->Caption(), "other");
  delete form;
}

}  // namespace

namespace {

// The program's own language files: each loads cleanly and translates the
// same keys as the English one.
TEST(ProgramLanguageFiles, EveryLanguageLoadsWithTheKeysOfEnglish) {
  TLanguageManager manager;
  manager.SetFolder(VESK_SOURCE_DIR "/data/Langs");
  TStringList languages;
  ASSERT_TRUE(manager.GetLanguages(languages));
  languages.Sort();
  EXPECT_EQ(languages.CommaText(),
            "cs=Čeština,de=Deutsch,en=English,es=Español,fr=Français,\"in=Bahasa Indonesia\",pl=Polski,"
            "sk=Slovenčina");
  manager.SetLanguageCode("en");
  ASSERT_EQ(manager.LastError(), "");
  const TLanguageStore englishProps = manager.Properties();
  const TLanguageStore englishConsts = manager.Constants();
  for (int32_t i = 0; i < languages.Count(); ++i) {
    const std::string code = languages.Names(i);
    SCOPED_TRACE(code);
    manager.SetLanguageCode(code);
    ASSERT_EQ(manager.LastError(), "");
    ASSERT_EQ(manager.Properties().size(), englishProps.size());
    for (auto p = manager.Properties().begin(), e = englishProps.begin(); e != englishProps.end(); ++p, ++e)
      EXPECT_EQ(p->first, e->first);
    EXPECT_EQ(manager.Constants().size(), englishConsts.size());
    EXPECT_NE(manager.GetText("msgDirectoryFailed", "").find("%d"), std::string::npos) << "the error number's place";
  }
}

}  // namespace
