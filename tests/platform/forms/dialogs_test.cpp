// Message dialogs: their composition, the script that answers them, the log
// of what was shown, and a real dialog answered through the injector.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/win/surface.h"
#include "platform/win/user_paint.h"
#include "tests/platform/forms/accelerators.h"
#include "platform/win/winuser_consts.h"
#include "tests/platform/forms/forms_test_support.h"

namespace {

using DialogTest = FormsTest;

TEST_F(DialogTest, MessageDialogNamesItsPartsForCallers) {
  std::unique_ptr<TForm> dialog(
      CreateMessageDialog("Overwrite the file?", mtConfirmation, TMsgDlgButtons{mbYes, mbNo, mbCancel}));
  EXPECT_EQ(dialog->Caption(), "Confirm");
  auto* message = dynamic_cast<TLabel*>(dialog->FindComponent("message"));
  ASSERT_NE(message, nullptr);
  EXPECT_EQ(message->Caption(), "Overwrite the file?");
  struct Case {
    const char* name;
    const char* caption;
    TModalResult result;
    bool isDefault, isCancel;
  } cases[] = {{"Yes", "&Yes", mrYes, true, false},
               {"No", "&No", mrNo, false, false},
               {"Cancel", "Cancel", mrCancel, false, true}};
  int previousLeft = -1;
  for (const Case& c : cases) {
    auto* button = dynamic_cast<TButton*>(dialog->FindComponent(c.name));
    ASSERT_NE(button, nullptr) << c.name;
    EXPECT_EQ(button->Caption(), c.caption);
    EXPECT_EQ(button->ModalResult(), c.result);
    EXPECT_EQ(button->Default(), c.isDefault) << c.name;
    EXPECT_EQ(button->Cancel(), c.isCancel) << c.name;
    EXPECT_GT(button->Left(), previousLeft) << "buttons in the order of their kinds";
    previousLeft = button->Left();
  }
  EXPECT_EQ(dialog->FindComponent("OK"), nullptr);

  // Without OK or Yes the default is Retry; without Cancel, No answers Escape.
  std::unique_ptr<TForm> retry(CreateMessageDialog("x", mtWarning, mbAbortRetryIgnore));
  EXPECT_TRUE(static_cast<TButton*>(retry->FindComponent("Retry"))->Default());
  std::unique_ptr<TForm> yesNo(CreateMessageDialog("x", mtWarning, mbYesNo));
  EXPECT_TRUE(static_cast<TButton*>(yesNo->FindComponent("No"))->Cancel());
}

// The box keeps its margins around the icon, the text and the buttons, and
// stands in the middle of the form the user works in.
TEST_F(DialogTest, MessageBoxIsLaidOutWithItsIconAndCentredOnTheActiveForm) {
  std::unique_ptr<TForm> dialog(CreateMessageDialog("Saved.", mtInformation, TMsgDlgButtons{mbOK}));
  auto* icon = dynamic_cast<TControl*>(dialog->FindComponent("Image"));
  auto* text = dynamic_cast<TControl*>(dialog->FindComponent("Message"));
  auto* ok = dynamic_cast<TControl*>(dialog->FindComponent("OK"));
  ASSERT_TRUE(icon && text && ok);
  EXPECT_GE(icon->Left(), 12);
  EXPECT_GE(icon->Top(), 12);
  EXPECT_GE(text->Left(), icon->Left() + icon->Width() + 8) << "a gap between icon and text";
  EXPECT_NEAR(text->Top() + text->Height() / 2, icon->Top() + icon->Height() / 2, 1) << "a short text beside the icon";
  EXPECT_GE(ok->Top(), icon->Top() + icon->Height() + 12) << "room above the buttons";
  EXPECT_GE(dialog->ClientHeight(), ok->Top() + ok->Height() + 8) << "and below them";
  EXPECT_GE(dialog->ClientWidth(), 200);

  TForm* form = MakeForm(600, 400);
  form->SetBounds(300, 200, 600, 400);
  form->Show();
  Pump();
  ASSERT_EQ(Screen->ActiveForm(), form);
  RECT shown{};
  Screen->OnActiveFormChange = [&](TObject*) {
    if (Screen->ActiveForm() && Screen->ActiveForm() != form) {
      shown = Screen->ActiveForm()->BoundsRect();
      display::InjectKey(VK_RETURN);
    }
  };
  EXPECT_EQ(MessageDlg("Saved.", mtInformation, TMsgDlgButtons{mbOK}, 0), mrOk);
  Screen->OnActiveFormChange = nullptr;
  EXPECT_NEAR((shown.left + shown.right) / 2, 600, 1);
  EXPECT_NEAR((shown.top + shown.bottom) / 2, 400, 1);
}

// A message whose lines are broken by CR CR shows its first line, an empty
// one and the last: three lines, two more than its first line alone.
TEST_F(DialogTest, MessageBoxBreaksItsLinesAtCarriageReturns) {
  std::unique_ptr<TForm> one(CreateMessageDialog("ICC Profile saved to:", mtCustom, TMsgDlgButtons{mbOK}));
  std::unique_ptr<TForm> three(
      CreateMessageDialog("ICC Profile saved to:\r\r/home/someone/.local/share/icc", mtCustom, TMsgDlgButtons{mbOK}));
  auto* line = dynamic_cast<TControl*>(one->FindComponent("Message"));
  auto* text = dynamic_cast<TControl*>(three->FindComponent("Message"));
  ASSERT_TRUE(line && text);
  const int lineHeight = line->Height();
  EXPECT_EQ(text->Height(), 3 * lineHeight);
  EXPECT_EQ(three->ClientHeight() - one->ClientHeight(), 2 * lineHeight);

  three->Show();
  Pump();
  three->Update();
  const Surface* s = GetWindowSurface(three->Handle());
  const POINT origin = text->ClientToScreen(POINT{0, 0});
  RECT window;
  GetWindowRect(three->Handle(), &window);
  const uint32_t ground = s->Row(origin.y - window.top)[origin.x - window.left - 1];
  // Whether a band of the text's lines holds any ink.
  auto inked = [&](int firstLine) {
    for (int y = firstLine * lineHeight; y < (firstLine + 1) * lineHeight; ++y)
      for (int x = 0; x < text->Width(); ++x)
        if (s->Row(origin.y - window.top + y)[origin.x - window.left + x] != ground) return true;
    return false;
  };
  EXPECT_TRUE(inked(0));
  EXPECT_FALSE(inked(1)) << "the empty line between";
  EXPECT_TRUE(inked(2)) << "the folder on a line of its own";
}

TEST_F(DialogTest, ScriptedAnswersAreLoggedWithTextTitleAndKind) {
  Application->SetTitle("VeSk");
  ScriptMessageBoxAnswer(mrNo);
  ScriptMessageBoxAnswer(mrOk);
  ScriptMessageBoxAnswer(IDCANCEL);
  EXPECT_EQ(MessageDlg("Save changes?", mtConfirmation, mbYesNoCancel, 0), mrNo);
  ShowMessage("Done");
  EXPECT_EQ(Application->MessageBox("Disk full", "ERROR", MB_OKCANCEL | MB_ICONERROR), IDCANCEL);
  ASSERT_EQ(MessageBoxLog().size(), 3u);
  const TMessageBoxRecord& first = MessageBoxLog()[0];
  EXPECT_EQ(first.Text, "Save changes?");
  EXPECT_EQ(first.Title, "Confirm");
  EXPECT_EQ(first.Type, mtConfirmation);
  EXPECT_EQ(first.Answer, mrNo);
  EXPECT_EQ(MessageBoxLog()[1].Title, "VeSk") << "ShowMessage is titled with the application";
  EXPECT_EQ(MessageBoxLog()[1].Type, mtCustom);
  EXPECT_EQ(MessageBoxLog()[2].Title, "ERROR");
  EXPECT_EQ(MessageBoxLog()[2].Type, mtError);
  Application->SetTitle("");
}

// The framework's message boxes speak the user's locale, not a language a
// program chose for its own windows.
TEST_F(DialogTest, TitlesAndButtonsFollowTheUserLocale) {
  const struct {
    const char* locale;
    const char* information;
    const char* warning;
    const char* ok;
    const char* cancel;
    const char* yes;
    const char* no;
  } cases[] = {
      {"en_US.UTF-8", "Information", "Warning", "OK", "Cancel", "&Yes", "&No"},
      {"de_DE.UTF-8", "Information", "Warnung", "OK", "Abbrechen", "&Ja", "&Nein"},
      {"de_AT.UTF-8", "Information", "Warnung", "OK", "Abbrechen", "&Ja", "&Nein"},
      {"cs_CZ.UTF-8", "Informace", "Upozornění", "OK", "Storno", "&Ano", "&Ne"},
      {"pl_PL.UTF-8", "Informacja", "Ostrzeżenie", "OK", "Anuluj", "&Tak", "&Nie"},
      {"fr_CA.UTF-8", "Information", "Avertissement", "OK", "Annuler", "&Oui", "&Non"},
      {"id_ID.UTF-8", "Informasi", "Peringatan", "OK", "Batal", "&Ya", "&Tidak"},
      {"in_ID", "Informasi", "Peringatan", "OK", "Batal", "&Ya", "&Tidak"},
      {"es_MX.UTF-8", "Información", "Advertencia", "Aceptar", "Cancelar", "&Sí", "&No"},
      {"ja_JP.UTF-8", "Information", "Warning", "OK", "Cancel", "&Yes", "&No"},
      {"C", "Information", "Warning", "OK", "Cancel", "&Yes", "&No"},
  };
  auto caption = [](TForm* dialog, const char* name) {
    auto* button = dynamic_cast<TControl*>(dialog->FindComponent(name));
    return button ? button->Caption() : std::string("(none)");
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.locale);
    ScopedUserLocale locale(c.locale);
    std::unique_ptr<TForm> info(CreateMessageDialog("Saved.", mtInformation, mbOKCancel));
    EXPECT_EQ(info->Caption(), c.information);
    EXPECT_EQ(caption(info.get(), "OK"), c.ok);
    EXPECT_EQ(caption(info.get(), "Cancel"), c.cancel);
    std::unique_ptr<TForm> question(CreateMessageDialog("Replace?", mtWarning, mbYesNo));
    EXPECT_EQ(question->Caption(), c.warning);
    EXPECT_EQ(caption(question.get(), "Yes"), c.yes);
    EXPECT_EQ(caption(question.get(), "No"), c.no);
  }
}

// In every language the layer speaks, the captions a dialog shows together
// give distinct shortcuts a keyboard can type.
TEST_F(DialogTest, StandardTextsGiveDistinctShortcutsInEveryLanguage) {
  using T = TStdText;
  const std::vector<std::vector<TStdText>> together = {
      {T::Yes, T::No, T::Cancel, T::Help},
      {T::OK, T::Cancel, T::Help},
      {T::Abort, T::Retry, T::Ignore, T::Help},
      {T::Retry, T::Cancel},
      {T::Yes, T::YesToAll, T::No, T::NoToAll, T::Cancel, T::Help},
      {T::LookIn, T::Up, T::FileName, T::OpenFileType, T::OpenButton, T::Cancel},
      {T::SaveIn, T::Up, T::FileName, T::SaveFileType, T::SaveButton, T::Cancel},
      {T::Red, T::Green, T::Blue, T::OK, T::Cancel},
  };
  for (const char* locale : {"en_GB", "cs_CZ", "pl_PL", "fr_FR", "de_DE", "id_ID", "es_ES"}) {
    ScopedUserLocale scoped(locale);
    EXPECT_EQ(StdTextLanguage(), std::string(locale, 2));
    for (const auto& group : together) {
      std::vector<std::string> captions;
      for (TStdText text : group) captions.push_back(StdText(text));
      for (const std::string& fault : AcceleratorFaults(captions)) ADD_FAILURE() << locale << ": " << fault;
    }
    for (int text = 0; text < static_cast<int>(T::Count); ++text)
      EXPECT_FALSE(StdText(static_cast<TStdText>(text)).empty()) << locale << " " << text;
    for (T format : {T::FolderMissing, T::FileNotFound, T::ReplaceQuestion})
      EXPECT_NE(StdText(format).find("%s"), std::string::npos) << locale;
  }
}

TEST_F(DialogTest, UnscriptedDialogIsShownAndAnsweredByTheUser) {
  // A dialog built by the caller and retitled, as localised dialogs do.
  std::unique_ptr<TForm> dialog(CreateMessageDialog("Really quit?", mtWarning, TMsgDlgButtons{mbOK, mbCancel}));
  static_cast<TButton*>(dialog->FindComponent("Cancel"))->SetCaption("Abbrechen");
  dialog->OnActivate = [&](TObject*) {
    display::InjectClick(At(static_cast<TControl*>(dialog->FindComponent("Cancel"))));
  };
  EXPECT_EQ(dialog->ShowModal(), mrCancel);
  ASSERT_EQ(MessageBoxLog().size(), 1u);
  EXPECT_EQ(MessageBoxLog()[0].Answer, mrCancel);

  dialog.reset(CreateMessageDialog("Again?", mtInformation, TMsgDlgButtons{mbOK, mbCancel}));
  dialog->OnActivate = [](TObject*) { display::InjectKey(VK_RETURN); };
  EXPECT_EQ(dialog->ShowModal(), mrOk) << "Return answers with the default button";
}

}  // namespace

namespace {

class FileDialogTest : public FormsTest {
protected:
  void SetUp() override {
    FormsTest::SetUp();
    dir = std::filesystem::temp_directory_path() / ("forms_file_dialog_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir / "sub");
    for (const char* name : {"a.png", "b.txt", "sub/c.png", "sub/d.PNG"}) std::ofstream(dir / name) << "x";
  }
  void TearDown() override {
    std::filesystem::remove_all(dir);
    FormsTest::TearDown();
  }
  std::string Path(const char* name) const { return (dir / name).string(); }
  std::filesystem::path dir;
};

TEST_F(FileDialogTest, ScriptedAnswersPassTheOptions) {
  TSaveDialog save(nullptr);
  save.SetInitialDir(dir.string());
  save.SetDefaultExt("*.icm");
  save.SetOptions(TOpenOptions{ofOverwritePrompt, ofHideReadOnly});
  ScriptFileDialogAnswer("profile");
  ASSERT_TRUE(save.Execute());
  EXPECT_EQ(save.FileName(), Path("profile.icm")) << "relative to the folder, with the default extension";
  EXPECT_EQ(save.Files()->Count(), 1);

  // An existing file asks before it is replaced.
  ScriptFileDialogAnswer(Path("a.png"));
  ScriptMessageBoxAnswer(mrNo);
  EXPECT_FALSE(save.Execute());
  ASSERT_EQ(MessageBoxLog().size(), 1u);
  EXPECT_EQ(MessageBoxLog()[0].Text, "a.png already exists.\nDo you want to replace it?");
  ScriptFileDialogAnswer(Path("a.png"));
  ScriptMessageBoxAnswer(mrYes);
  EXPECT_TRUE(save.Execute());
  EXPECT_TRUE(save.Options().Contains(ofExtensionDifferent));

  TOpenDialog open(nullptr);
  open.SetOptions(TOpenOptions{ofFileMustExist, ofPathMustExist});
  ScriptFileDialogAnswer(Path("missing.png"));
  ScriptMessageBoxAnswer(mrOk);
  EXPECT_FALSE(open.Execute()) << "a file that must exist but does not";
  ScriptFileDialogAnswer("");
  EXPECT_FALSE(open.Execute()) << "an empty answer cancels";
  open.OnCanClose = [](TObject*, bool& canClose) { canClose = false; };
  ScriptFileDialogAnswer(Path("a.png"));
  EXPECT_FALSE(open.Execute()) << "OnCanClose refuses";
}

TEST_F(FileDialogTest, SaveDialogSpeaksTheUserLocale) {
  ScopedUserLocale german("de_DE.UTF-8");
  TSaveDialog save(nullptr);
  save.SetInitialDir(dir.string());
  save.SetOptions(TOpenOptions{ofOverwritePrompt});
  std::vector<std::string> captions;
  std::string title;
  save.OnShow = [&](TObject*) {
    TForm* form = save.DialogForm();
    title = form->Caption();
    for (int32_t i = 0; i < form->ComponentCount(); ++i)
      if (auto* control = dynamic_cast<TControl*>(form->Components(i)); control && !control->Caption().empty())
        captions.push_back(control->Caption());
    form->OnActivate = [form](TObject*) {
      display::InjectKey(VK_ESCAPE);
      form->OnActivate = nullptr;
    };
  };
  EXPECT_FALSE(save.Execute());
  EXPECT_EQ(title, "Speichern unter");
  for (const char* shown : {"Speichern &in:", "Datei&name:", "&Speichern", "Abbrechen"})
    EXPECT_NE(std::find(captions.begin(), captions.end(), shown), captions.end()) << shown;
  EXPECT_EQ(AcceleratorFaults(captions), std::vector<std::string>{});

  save.OnShow = nullptr;
  ScriptFileDialogAnswer(Path("a.png"));
  ScriptMessageBoxAnswer(mrNo);
  EXPECT_FALSE(save.Execute());
  ASSERT_EQ(MessageBoxLog().size(), 1u);
  EXPECT_EQ(MessageBoxLog()[0].Text, "a.png ist bereits vorhanden.\nMöchten Sie die Datei ersetzen?");
  EXPECT_EQ(MessageBoxLog()[0].Title, "Warnung");
}

TEST_F(FileDialogTest, SeveralFilesCanBeChosen) {
  TOpenDialog open(nullptr);
  open.SetInitialDir((dir / "sub").string());
  open.SetOptions(TOpenOptions{ofAllowMultiSelect, ofFileMustExist});
  open.OnShow = [&](TObject*) {
    TForm* form = open.DialogForm();
    auto* list = static_cast<TListBox*>(form->FindComponent("FileList"));
    form->OnActivate = [form, list](TObject*) {
      const RECT first = list->ItemRect(0), second = list->ItemRect(1);
      display::InjectClick(At(list, 20, (first.top + first.bottom) / 2));
      display::InjectKeyDown(VK_CONTROL);
      display::InjectClick(At(list, 20, (second.top + second.bottom) / 2));
      display::InjectKeyUp(VK_CONTROL);
      display::InjectClick(At(static_cast<TControl*>(form->FindComponent("OKButton"))));
      form->OnActivate = nullptr;
    };
  };
  ASSERT_TRUE(open.Execute());
  ASSERT_EQ(open.Files()->Count(), 2);
  EXPECT_EQ(open.Files()->Strings(0), Path("sub/c.png"));
  EXPECT_EQ(open.Files()->Strings(1), Path("sub/d.PNG"));
  EXPECT_EQ(open.FileName(), Path("sub/c.png"));
}

// A folder typed in the name box opens; the box is emptied and its caret
// stands at its start, not where the typed name ended.
TEST_F(FileDialogTest, TypedFolderOpensWithTheCaretAtTheEmptyNamesStart) {
  TOpenDialog open(nullptr);
  open.SetInitialDir(dir.string());
  std::string folder, name;
  POINT caret{-1, -1}, start{};
  open.OnShow = [&](TObject*) {
    TForm* form = open.DialogForm();
    auto* box = static_cast<TEdit*>(form->FindComponent("FileNameEdit"));
    form->OnActivate = [&, box](TObject*) {
      if (!folder.empty()) return;
      Type("sub");
      Key(VK_RETURN);
      folder = open.CurrentFolder();
      name = box->Text();
      GetCaretPos(&caret);
      const LRESULT first = box->Perform(EM_POSFROMCHAR, 0);
      start = POINT{LOWORD(first), HIWORD(first) + 1};
      Key(VK_ESCAPE);
    };
  };
  EXPECT_FALSE(open.Execute());
  EXPECT_EQ(folder, Path("sub/"));
  EXPECT_EQ(name, "");
  EXPECT_EQ(caret.x, start.x);
  EXPECT_EQ(caret.y, start.y);
}

TEST_F(FileDialogTest, UserNavigatesFiltersAndChooses) {
  TOpenDialog open(nullptr);
  open.SetInitialDir(dir.string());
  open.SetFilter("Images (*.png)|*.png|All files|*");
  open.SetOptions(TOpenOptions{ofFileMustExist});
  std::vector<std::string> events;
  std::vector<std::string> shown;
  open.OnShow = [&](TObject*) {
    TForm* form = open.DialogForm();
    ASSERT_NE(form, nullptr);
    ASSERT_NE(open.CustomPanel(), nullptr) << "room for a preview";
    auto* list = static_cast<TListBox*>(form->FindComponent("FileList"));
    for (int i = 0; i < list->Count(); ++i) shown.push_back(list->Items()->Strings(i));
    form->OnActivate = [form, list](TObject*) {
      const RECT first = list->ItemRect(0);
      display::InjectDoubleClick(At(list, 20, (first.top + first.bottom) / 2));  // into [sub]
      display::InjectClick(At(list, 20, (first.top + first.bottom) / 2));        // c.png
      display::InjectKey(VK_RETURN);
      form->OnActivate = nullptr;
    };
  };
  open.OnFolderChange = [&](TObject*) { events.push_back("folder " + open.CurrentFolder()); };
  open.OnSelectionChange = [&](TObject*) { events.push_back("select " + open.SelectedFile()); };
  ASSERT_TRUE(open.Execute());
  EXPECT_EQ(shown, (std::vector<std::string>{"[sub]", "a.png"})) << "folders first, files by the filter";
  EXPECT_EQ(open.FileName(), Path("sub/c.png"));
  ASSERT_GE(events.size(), 2u);
  EXPECT_EQ(events[events.size() - 2], "folder " + Path("sub/"));
  EXPECT_EQ(events.back(), "select " + Path("sub/c.png"));
  EXPECT_EQ(open.DialogForm(), nullptr) << "the form lives only while the dialog runs";
}

}  // namespace

namespace {

// The desktop's own dialogs (file, colour, message boxes) come and go
// without the form under them being activated again, and so does a window
// of another program: what a form does on activation it does once. Another
// form of the application takes the activation and gives it back.
TEST_F(DialogTest, DialogsAndOtherProgramsLeaveTheFormsActivationAlone) {
  TForm* other = MakeForm(200, 100);
  auto* dismiss = Add<TButton>(other, "Cancel", {10, 10, 85, 35});
  dismiss->SetCancel(true);
  dismiss->SetModalResult(mrCancel);
  TSaveDialog save(nullptr);
  TColorDialog colour(nullptr);
  const struct Case {
    const char* what;
    std::function<void(TForm*)> act;
    int activations, deactivations;
  } cases[] = {
      {"a file dialog", [&](TForm*) { EXPECT_FALSE(save.Execute()); }, 1, 0},
      {"a colour dialog", [&](TForm*) { EXPECT_FALSE(colour.Execute()); }, 1, 0},
      {"a message box", [](TForm*) { EXPECT_EQ(Application->MessageBox("Saved.", "VeSk", MB_OK), IDOK); }, 1, 0},
      {"a message dialog", [](TForm*) { EXPECT_EQ(MessageDlg("Replace?", mtWarning, mbYesNo, 0), mrNo); }, 1, 0},
      {"another program's window",
       [](TForm* form) {
         display::InjectApplicationDeactivated();
         Pump();
         EXPECT_FALSE(form->Active());
         Click(form);
       },
       1, 0},
      {"another form of the program", [&](TForm*) { EXPECT_EQ(other->ShowModal(), mrCancel); }, 2, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TForm* form = MakeForm();
    int activations = 0, deactivations = 0, activationsAfter = 0, deactivationsAfter = 0;
    form->OnDeactivate = [&](TObject*) { ++deactivations; };
    form->OnActivate = [&](TObject*) {
      if (activations++ > 0) return;
      // Each window that comes over the form is answered with Escape.
      Screen->OnActiveFormChange = [form](TObject*) {
        if (Screen->ActiveForm() && Screen->ActiveForm() != form) display::InjectKey(VK_ESCAPE);
      };
      c.act(form);
      Screen->OnActiveFormChange = nullptr;
      EXPECT_TRUE(form->Active());
      EXPECT_EQ(Screen->ActiveForm(), form);
      activationsAfter = activations;
      deactivationsAfter = deactivations;
      form->SetModalResult(mrOk);
    };
    EXPECT_EQ(form->ShowModal(), mrOk);
    EXPECT_EQ(activationsAfter, c.activations);
    EXPECT_EQ(deactivationsAfter, c.deactivations);
    EXPECT_EQ(deactivations, c.deactivations + 1) << "closing deactivates the form";
  }
}

TEST_F(DialogTest, ColorDialogPicksFromTheGridOrTheBoxes) {
  TColorDialog dialog(nullptr);
  dialog.SetColor(clRed);
  dialog.OnShow = [&](TObject*) {
    TForm* form = dialog.DialogForm();
    auto* red = static_cast<TEdit*>(form->FindComponent("RedEdit"));
    EXPECT_EQ(red->Text(), "255");
    auto* grid = static_cast<TControl*>(form->FindComponent("ColorGrid"));
    form->OnActivate = [form, grid](TObject*) {
      display::InjectClick(At(grid, 7 * 22 + 10, 5 * 22 + 10));  // the last cell: white
      display::InjectKey(VK_RETURN);
      form->OnActivate = nullptr;
    };
  };
  ASSERT_TRUE(dialog.Execute());
  EXPECT_EQ(dialog.Color(), clWhite);

  dialog.OnShow = [&](TObject*) {
    TForm* form = dialog.DialogForm();
    static_cast<TEdit*>(form->FindComponent("GreenEdit"))->SetText("128");
    form->OnActivate = [form](TObject*) {
      display::InjectKey(VK_ESCAPE);
      form->OnActivate = nullptr;
    };
  };
  EXPECT_FALSE(dialog.Execute());
  EXPECT_EQ(dialog.Color(), clWhite) << "Cancel keeps the colour";
}

}  // namespace
