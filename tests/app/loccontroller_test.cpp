// The language controller on windows, and message dialogs with the button
// captions of the language in force.
#include "app/loccontroller.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/locdialogs.h"
#include "app/loclangman.h"
#include "platform/display/headless.h"
#include "platform/forms/dialogs.h"
#include "platform/forms/forms.h"
#include "platform/forms/stdctrls.h"

namespace fs = std::filesystem;

namespace {

class TLocForm : public TForm {
public:
  TLocForm(TComponent* owner, const std::string& name, std::vector<std::string>& log,
           const std::string& firstCode = "")
      : TForm(owner) {
    LoadComponents(*this, [&] {
      SetName(name);
      Label1 = new TLabel(this);
      Label1->SetName("Label1");
      Label1->SetParent(this);
      Controller = new TlocController(this);
      Controller->SetName("loc_lang");
      if (!firstCode.empty())
        Controller->OnInitLangManager = [this, firstCode](TObject*) { Controller->SetDefaultLangCode(firstCode); };
      Controller->OnLanguageChanged = [this, &log](TObject*) { log.push_back(Name() + ":" + Caption()); };
    });
  }
  FORMS_CLASS(TLocForm)
  TLabel* Label1 = nullptr;
  TlocController* Controller = nullptr;
};

const TClassInfo& TLocForm::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TLocForm>("TLocForm", &TForm::StaticClassInfo());
  return info;
}

class LocControllerTest : public ::testing::Test {
protected:
  void SetUp() override {
    display::SetActiveBackend(display::CreateHeadlessBackend());
    ClearDialogScript();
    folder_ = fs::temp_directory_path() /
              ("vesk-loc-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    CreateLanguageManager();
    LanguageManager->SetFolder(folder_.string());
  }
  void TearDown() override {
    for (TForm* f : forms_) delete f;
    FreeLanguageManager();
    ClearDialogScript();
    fs::remove_all(folder_);
  }
  void Write(const std::string& name, const std::string& text) { std::ofstream(folder_ / name) << text; }
  TLocForm* Make(const std::string& name, const std::string& firstCode = "") {
    forms_.push_back(new TLocForm(nullptr, name, log_, firstCode));
    return static_cast<TLocForm*>(forms_.back());
  }
  fs::path folder_;
  std::vector<TForm*> forms_;
  std::vector<std::string> log_;
};

TEST_F(LocControllerTest, WithoutLanguageFilesTheFirstWindowReportsOnce) {
  ScriptMessageBoxAnswer(mrOk);
  TLocForm* form = Make("Form1");
  EXPECT_TRUE(form->Controller->Hooked());
  EXPECT_EQ(LanguageManager->LanguageCode(), "");
  ASSERT_EQ(MessageBoxLog().size(), 1u);
  EXPECT_EQ(MessageBoxLog()[0].Text, "[Form1 (TLocForm)] Language not found (en)");
  EXPECT_EQ(MessageBoxLog()[0].Type, mtWarning);
  EXPECT_TRUE(log_.empty());
}

TEST_F(LocControllerTest, TheHookedControllerTranslatesEveryWindowOnEachChange) {
  Write("t.de.lngu", "[language info]\nlanguagename=Deutsch\n[TLocForm]\nself.Caption=Fenster\nLabel1.Caption=Eins\n");
  Write("t.fr.lngu", "[language info]\nlanguagename=Fran\xC3\xA7" "ais\n[TLocForm]\nself.Caption=Fen\xC3\xAAtre\n");
  TLocForm* first = Make("First", "de");
  EXPECT_EQ(LanguageManager->LanguageCode(), "de");
  EXPECT_EQ(first->Caption(), "Fenster");
  EXPECT_EQ(first->Label1->Caption(), "Eins");
  TLocForm* second = Make("Second");  // applies the language in force when loaded
  EXPECT_EQ(second->Caption(), "Fenster");
  EXPECT_FALSE(second->Controller->Hooked());
  log_.clear();

  first->Controller->ChangeLanguage("fr");
  EXPECT_EQ(first->Caption(), "Fen\xC3\xAAtre");
  EXPECT_EQ(second->Caption(), "Fen\xC3\xAAtre");
  EXPECT_EQ(log_, (std::vector<std::string>{"First:Fen\xC3\xAAtre", "Second:Fen\xC3\xAAtre"}));
  // The same code again changes nothing.
  first->Controller->ChangeLanguage("FR");
  EXPECT_EQ(log_.size(), 2u);
  // A code without files is reported and the windows keep their texts.
  ScriptMessageBoxAnswer(mrOk);
  first->Controller->ChangeLanguage("xx");
  ASSERT_EQ(MessageBoxLog().size(), 1u);
  EXPECT_EQ(MessageBoxLog()[0].Text,
            "Fran\xC3\xA7" "ais (fr): [First (TLocForm)] Language not found (xx)");
  EXPECT_EQ(second->Caption(), "Fen\xC3\xAAtre");
}

TEST_F(LocControllerTest, DialogButtonsTakeTheLanguagesCaptionsAndNarrowDialogsWiden) {
  Write("t.de.lngu", "[constants]\nlng_msgbtnok=&Gut\nLNG_MSGBTNCANCEL=Abbrechen\n");
  LanguageManager->SetLanguageCode("de");
  LoadDialogTexts();
  EXPECT_EQ(ButtonCaptions[2], "&Gut");
  EXPECT_EQ(ButtonCaptions[0], "&Yes");  // the framework's own when the file has none

  Application->SetTitle("VeSk - Tundrel");
  const auto plain = std::unique_ptr<TForm>(CreateMessageDialog("a", mtWarning, {mbOK}));
  auto dialog = CreateLocMessageDialog("", "a", mtWarning, {mbOK}, 0, 10, -1, "");
  EXPECT_EQ(dialog->Caption(), "VeSk - Tundrel");
  EXPECT_EQ(dialog->Left(), 10);
  auto* ok = dynamic_cast<TControl*>(dialog->FindComponent("OK"));
  auto* plainOk = dynamic_cast<TControl*>(plain->FindComponent("OK"));
  ASSERT_TRUE(ok && plainOk);
  EXPECT_EQ(ok->Caption(), "&Gut");
  const int32_t width = plain->Width();
  ASSERT_LT(width, 300);
  EXPECT_EQ(dialog->Width(), 300);
  EXPECT_EQ(ok->Left(), plainOk->Left() + 150 - width / 2);
  auto titled = CreateLocMessageDialog("Title", "b & c", mtInformation, {mbOK, mbCancel}, 0, -1, -1, "");
  EXPECT_EQ(titled->Caption(), "Title");
  EXPECT_EQ(dynamic_cast<TControl*>(titled->FindComponent("Cancel"))->Caption(), "Abbrechen");
  EXPECT_FALSE(dynamic_cast<TLabel*>(titled->FindComponent("Message"))->ShowAccelChar());
}

}  // namespace
