// The program's start-up and its main window, headless: the language chosen
// at start-up and how often the language handler runs, the language menu,
// language switches, captions that fit their controls in every language,
// the quality choice across switches, the settings through the window and
// the work folder on closing, the choice marks and the tweak spin edits, the
// choices Create Profile takes and a request under a decimal-comma locale.
#include "app/vesk_main.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/langconsts.h"
#include "app/loclangman.h"
#include "app/locdialogs.h"
#include "app/vesk_about.h"
#include "app/vesk_prev.h"
#include "app/vesk_ref.h"
#include "app/vesk_program.h"
#include "imaging/core/ruduvazez_startup.h"
#include "platform/display/headless.h"
#include "platform/forms/properties.h"
#include "platform/rtl/files.h"
#include "platform/rtl/inifiles.h"
#include "platform/win/gdi.h"
#include "platform/win/gdi_text.h"
#include "platform/win/locale.h"
#include "tests/app/profile_road.h"
#include "tests/app/program_fixture.h"
#include "tests/app/window_driving.h"
#include "tests/platform/forms/accelerators.h"
#include "ui/controls/advcombo.h"
#include "ui/controls/advglassbutton.h"
#include "ui/controls/advofficebuttons.h"
#include "ui/controls/advpanel.h"
#include "ui/controls/advsmoothpanel.h"
#include "ui/controls/advspin.h"
#include "ui/controls/dblucomb.h"

namespace fs = std::filesystem;

namespace {

const std::vector<std::string> kLanguageCodes = {"en", "cs", "pl", "fr", "de", "in", "es", "sk"};
// Codes whose window is translated but whose messages stay English.
const std::vector<std::string> kEnglishMessageCodes = {"en", "sk"};

TMenuItem* MenuItemOf(const std::string& code) {
  TMenuItem* items = Form1->pumLanguages->Items();
  for (int32_t i = 0; i < items->Count(); ++i)
    if (items->Items(i)->Hint() == code) return items->Items(i);
  return nullptr;
}

// Chooses a language as the user does, in the language menu.
void ChooseLanguage(const std::string& code) {
  TMenuItem* item = MenuItemOf(code);
  ASSERT_NE(item, nullptr) << code;
  item->Click();
  ASSERT_EQ(LanguageManager->LanguageCode(), code);
}

// The [TForm1] entries of a language file: property path -> text.
std::map<std::string, std::string> WindowEntries(const std::string& code) {
  std::unique_ptr<TMemIniFile> ini = OpenLanguageFile(LanguageManager->Folder() + "/vesk." + code + ".lngu");
  TStringList keys;
  ini->ReadSection("TForm1", keys);
  std::map<std::string, std::string> entries;
  for (int32_t i = 0; i < keys.Count(); ++i) {
    std::string text = ini->ReadString("TForm1", keys.Strings(i), "");
    DecodeEscapes(text);
    entries[keys.Strings(i)] = text;
  }
  return entries;
}

// The window's texts at the entries' paths; a list's text without the line
// break that ends its last item.
std::map<std::string, std::string> CurrentTexts(const std::map<std::string, std::string>& entries) {
  std::map<std::string, std::string> texts;
  for (const auto& [path, value] : entries) {
    std::string text = GetPropertyByPath(*Form1, path);
    if (path.ends_with(".Items.Text") && text.ends_with("\r\n")) text.resize(text.size() - 2);
    texts[path] = text;
  }
  return texts;
}

}  // namespace

// ---- start-up ------------------------------------------------------------------------

TEST(ProgramStartUp, LanguageAndHandlerRunsFollowLocaleAndSettings) {
  struct Case {
    const char* locale;
    const char* settingsLanguage;
    const char* finalCode;
    int32_t handlerRuns;  // controller, creation handler, final choice, preview
    bool errorDialog;
  };
  const Case cases[] = {
      {"de_DE.UTF-8", "", "de", 4, false},
      {"de_DE.UTF-8", "fr", "fr", 4, false},
      {"pl_PL.UTF-8", "zz", "pl", 3, false},  // a LANGUAGE without files is ignored silently
      {"ja_JP.UTF-8", "", "en", 3, true},     // no files for the locale: "en", and the error dialog
      {"id_ID.UTF-8", "", "id", 4, false},    // Indonesian files answer to "id" too
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.locale) + " LANGUAGE=" + c.settingsLanguage);
    Program program(c.locale, std::string("[Settings]\nLANGUAGE=") + c.settingsLanguage + "\n");
    if (c.errorDialog) ScriptMessageBoxAnswer(mrOk);
    program.Start();

    EXPECT_TRUE(IELibraryStarted());
    ASSERT_NE(Form1, nullptr);
    EXPECT_EQ(Application->MainForm(), Form1);
    std::vector<TCustomForm*> order;
    for (int32_t i = 0; i < Screen->FormCount(); ++i) order.push_back(Screen->Forms(i));
    auto at = [&](TCustomForm* f) { return std::find(order.begin(), order.end(), f) - order.begin(); };
    EXPECT_LT(at(Form1), at(Form6));
    EXPECT_LT(at(Form6), at(Form8));
    EXPECT_LT(at(Form8), at(Form2));

    EXPECT_EQ(LanguageManager->LanguageCode(), c.finalCode);
    EXPECT_EQ(Form1->LanguageHandlerRuns(), c.handlerRuns);
    EXPECT_EQ(Application->Title(), Form1->Caption());
    std::vector<std::string> texts;
    for (const TMessageBoxRecord& r : MessageBoxLog()) texts.push_back(r.Text);
    EXPECT_EQ(texts, c.errorDialog ? std::vector<std::string>{"ERROR in Language Module. Contact developer."}
                                   : std::vector<std::string>{});
    program.Stop();
    EXPECT_FALSE(IELibraryStarted());
    EXPECT_EQ(LanguageManager, nullptr);
  }
}

TEST(ProgramStartUp, FirstRunShowsTheDefaults) {
  Program program("en_US.UTF-8");
  program.Start();
  EXPECT_EQ(Form1->scanner_edit->Text(), "Camera");
  EXPECT_EQ(Form1->model_edit->Text(), "Model");
  EXPECT_EQ(Form1->descr_edit->Text(), "VeSk");
  EXPECT_EQ(Form1->copy_edit->Text(), "Copyright_free");
  EXPECT_EQ(Form1->typeList->ItemIndex(), 0);
  EXPECT_EQ(Form1->algList->Text(), "Gamma + matrix");
  EXPECT_EQ(Form1->intent_list->Text(), "Perceptual");
  EXPECT_EQ(Form1->qualList->Text(), "High");
  EXPECT_EQ(Form1->WP_spin->Text(), "1.00");
  EXPECT_EQ(Form1->dark_spin->Text(), "1.00");
  EXPECT_EQ(Form1->GammaSpin->Text(), "2.2");
  EXPECT_EQ(Form1->Left(), 120);
  EXPECT_EQ(Form1->Top(), 80);
  EXPECT_EQ(Form1->ClientWidth(), 727);
  EXPECT_EQ(Form1->ClientHeight(), 414);
  EXPECT_TRUE(fs::is_directory(program.t / "config/vesk"));
  // The button row: left to right as listed, Tab from Create to Exit and back along the row.
  std::vector<std::string> leftToRight, tabOrder;
  std::vector<TControl*> buttons;
  for (int32_t i = 0; i < Form1->Panel_Bottom->ControlCount(); ++i)
    buttons.push_back(Form1->Panel_Bottom->Controls(i));
  std::sort(buttons.begin(), buttons.end(), [](TControl* a, TControl* b) { return a->Left() < b->Left(); });
  for (TControl* b : buttons) leftToRight.push_back(b->Name());
  EXPECT_EQ(leftToRight, (std::vector<std::string>{"CreateBtn", "LangBtn", "HelpBtn", "AboutBtn", "ArgyllBtn",
                                                   "UpgBtn", "ExitBtn"}));
  std::vector<TWinControl*> tabList;
  Form1->Panel_Bottom->GetTabOrderList(tabList);
  for (TWinControl* c : tabList) tabOrder.push_back(c->Name());
  EXPECT_EQ(tabOrder, (std::vector<std::string>{"CreateBtn", "ExitBtn", "UpgBtn", "ArgyllBtn", "AboutBtn", "HelpBtn",
                                                "LangBtn"}));
}

// ---- languages ---------------------------------------------------------------------------

TEST(MainWindowLanguage, MenuListsTheLanguagesFoundSortedByName) {
  Program program("en_US.UTF-8");
  program.Start();
  TStringList found;
  LanguageManager->GetLanguages(found);
  std::vector<std::pair<std::string, std::string>> expected;  // name, code
  for (int32_t i = 0; i < found.Count(); ++i) expected.emplace_back(found.ValueFromIndex(i), found.Names(i));
  std::sort(expected.begin(), expected.end());

  std::vector<std::pair<std::string, std::string>> menu;
  TMenuItem* items = Form1->pumLanguages->Items();
  for (int32_t i = 0; i < items->Count(); ++i) menu.emplace_back(items->Items(i)->Caption(), items->Items(i)->Hint());
  EXPECT_EQ(menu, expected);
  std::vector<std::string> codes;
  for (const auto& [name, code] : menu) codes.push_back(code);
  std::sort(codes.begin(), codes.end());
  std::vector<std::string> all = kLanguageCodes;
  std::sort(all.begin(), all.end());
  EXPECT_EQ(codes, all);
}

TEST(MainWindowLanguage, SwitchChangesEveryCaptionAndTheMessagesAndBack) {
  Program program("en_US.UTF-8");
  program.Start();
  const std::map<std::string, std::string> english = WindowEntries("en");
  const std::map<std::string, std::string> englishTexts = CurrentTexts(english);
  EXPECT_EQ(englishTexts, english);
  const std::string englishMessage = msgSelectTarget;
  const std::vector<std::string> englishQuality = {"Low", "Medium", "High", "Ultra High"};

  for (const std::string& code : kLanguageCodes) {
    SCOPED_TRACE(code);
    ChooseLanguage(code);
    const std::map<std::string, std::string> entries = WindowEntries(code);
    // Every caption of the window has its entry in every language.
    std::vector<std::string> paths, englishPaths;
    for (const auto& e : entries) paths.push_back(e.first);
    for (const auto& e : english) englishPaths.push_back(e.first);
    EXPECT_EQ(paths, englishPaths);
    EXPECT_EQ(CurrentTexts(entries), entries);
    if (std::find(kEnglishMessageCodes.begin(), kEnglishMessageCodes.end(), code) == kEnglishMessageCodes.end()) {
      EXPECT_NE(msgSelectTarget, englishMessage);
      EXPECT_NE(Form1->qualList->Items()->Strings(2), "High");
    }
  }
  ChooseLanguage("en");
  EXPECT_EQ(CurrentTexts(english), englishTexts);
  EXPECT_EQ(msgSelectTarget, englishMessage);
  for (int32_t i = 0; i < 4; ++i) EXPECT_EQ(Form1->qualList->Items()->Strings(i), englishQuality[i]);
}

TEST(MainWindowLanguage, ChoosingALanguageWithoutFilesShowsErrorAndKeepsTexts) {
  Program program("en_US.UTF-8");
  program.Start();
  ChooseLanguage("de");
  const std::string caption = Form1->CreateBtn->Caption();
  TMenuItem item(Form1);
  item.SetHint("xx");
  item.OnClick = [](TObject* sender) { Form1->pumLanguagesClick(sender); };
  ScriptMessageBoxAnswer(mrOk);
  item.Click();
  ASSERT_EQ(MessageBoxLog().size(), 1u);
  EXPECT_EQ(MessageBoxLog()[0].Text, "FEHLER") << "in the language still shown";
  EXPECT_EQ(Form1->CreateBtn->Caption(), caption);
}

namespace {

POINT CentreOf(const TControl* control, RECT r) {
  return control->ClientToScreen(POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
}

}  // namespace

TEST(MainWindowLanguage, LanguageButtonOpensTheMenuAtTheMouseAndARowSwitches) {
  Program program("en_US.UTF-8");
  program.Start();
  Form1->Show();
  Settle();
  const POINT button = CentreOf(Form1->LangBtn, Form1->LangBtn->ClientRect());
  display::InjectClick(button);
  Settle();
  TPopupWindow* menu = Form1->pumLanguages->Window();
  ASSERT_NE(menu, nullptr);
  ASSERT_TRUE(menu->Visible());
  // Centred on the pointer, as far as the screen allows.
  const RECT r = menu->BoundsRect();
  EXPECT_LE(std::abs((r.left + r.right) / 2 - button.x), 1);
  int32_t row = 0;
  while (row < static_cast<int32_t>(menu->Rows().size()) && menu->Rows()[row]->Hint() != "de") ++row;
  ASSERT_LT(row, static_cast<int32_t>(menu->Rows().size()));
  display::InjectClick(CentreOf(menu, menu->RowRect(row)));
  Settle();
  EXPECT_EQ(LanguageManager->LanguageCode(), "de");
  EXPECT_EQ(Form1->CreateBtn->Caption(), WindowEntries("de").at("CreateBtn.Caption"));
}

namespace {

// The extent of a text in a font, "&" marking the accelerator; wrapped to
// the width when wrap is set.
SIZE TextExtentIn(TFont* font, const std::string& text, int32_t width, bool wrap) {
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font->Handle());
  RECT r{0, 0, wrap ? width : 0, 0};
  DrawText(dc, text, &r, DT_CALCRECT | (wrap ? DT_WORDBREAK : DT_SINGLELINE));
  SelectObject(dc, old);
  DeleteDC(dc);
  return SIZE{r.right - r.left, r.bottom - r.top};
}

struct CaptionRoom {
  std::string name, text;
  SIZE needed, room;
};

// Every caption of the window with the room its control gives it.
std::vector<CaptionRoom> CaptionRooms(TForm& window) {
  std::vector<CaptionRoom> rooms;
  auto add = [&](const std::string& name, const std::string& text, SIZE needed, SIZE room) {
    rooms.push_back({name, text, needed, room});
  };
  for (int32_t i = 0; i < window.ComponentCount(); ++i) {
    TComponent* c = window.Components(i);
    if (auto* l = dynamic_cast<TLabel*>(c); l && !l->AutoSize()) {
      const RECT r = l->ClientRect();
      add(l->Name(), l->Caption(), TextExtentIn(l->Font(), l->Caption(), r.right, l->WordWrap()),
          SIZE{r.right, r.bottom});
    } else if (auto* b = dynamic_cast<TAdvGlassButton*>(c)) {
      add(b->Name(), b->Caption(), TextExtentIn(b->Font(), b->Caption(), 0, false),
          SIZE{b->Width() - 8, b->Height() - 4});
    } else if (auto* p = dynamic_cast<TAdvSmoothPanel*>(c)) {
      // The caption shares its row with the group's Info button.
      int32_t room = p->Width() - 4;
      for (int32_t j = 0; j < p->ControlCount(); ++j)
        if (auto* info = dynamic_cast<TAdvGlassButton*>(p->Controls(j)); info && info->Top() < 20)
          room = info->Left() - 4;
      add(p->Name(), p->Caption()->Text(), TextExtentIn(p->Caption()->Font(), p->Caption()->Text(), 0, false),
          SIZE{room, 22});
    } else if (auto* box = dynamic_cast<TAdvOfficeCheckBox*>(c)) {
      const SIZE text = TextExtentIn(box->Font(), box->Caption(), 0, false);
      add(box->Name(), box->Caption(), SIZE{text.cx + 20, text.cy}, SIZE{box->Width(), box->Height()});
    } else if (auto* combo = dynamic_cast<TAdvComboBox*>(c); combo && combo->EditLabel().Label()) {
      TLabel* l = combo->EditLabel().Label();
      add(combo->Name() + ".LabelCaption", l->Caption(), TextExtentIn(l->Font(), l->Caption(), 0, false),
          SIZE{combo->Parent()->ClientWidth() - l->Left(), combo->Top() - l->Top()});
    }
  }
  return rooms;
}

}  // namespace

TEST(MainWindowLanguage, EveryCaptionFitsItsControlInEveryLanguage) {
  Program program("en_US.UTF-8");
  program.Start();
  for (const std::string& code : kLanguageCodes) {
    ChooseLanguage(code);
    std::vector<CaptionRoom> rooms = CaptionRooms(*Form1);
    EXPECT_GT(rooms.size(), 40u);
    const std::vector<CaptionRoom> about = CaptionRooms(*Form6);
    EXPECT_GT(about.size(), 10u);
    rooms.insert(rooms.end(), about.begin(), about.end());
    for (const CaptionRoom& r : rooms)
      EXPECT_TRUE(r.needed.cx <= r.room.cx && r.needed.cy <= r.room.cy)
          << code << " " << r.name << " \"" << r.text << "\" needs " << r.needed.cx << "x" << r.needed.cy
          << ", has " << r.room.cx << "x" << r.room.cy;
  }
}

namespace {

// The shortcut faults of a window: its controls' captions, all shown
// together, and each level of its menus.
std::vector<std::string> ShortcutFaults(TForm& window) {
  std::vector<std::string> faults, captions;
  std::vector<TMenuItem*> levels;
  for (int32_t i = 0; i < window.ComponentCount(); ++i) {
    TComponent* c = window.Components(i);
    if (auto* control = dynamic_cast<TControl*>(c)) captions.push_back(control->Caption());
    if (auto* menu = dynamic_cast<TMenu*>(c)) levels.push_back(menu->Items());
  }
  faults = AcceleratorFaults(captions);
  while (!levels.empty()) {
    TMenuItem* level = levels.back();
    levels.pop_back();
    std::vector<std::string> items;
    for (int32_t i = 0; i < level->Count(); ++i) {
      items.push_back(level->Items(i)->Caption());
      if (level->Items(i)->Count() > 0) levels.push_back(level->Items(i));
    }
    for (const std::string& fault : AcceleratorFaults(items)) faults.push_back("menu: " + fault);
  }
  return faults;
}

}  // namespace

// Alt and a letter reaches one control of a window in every language: the
// main window, the about box, the crop preview, the reference chooser, the
// language menu and the localised message dialog's buttons.
TEST(MainWindowLanguage, EveryWindowGivesDistinctShortcutsInEveryLanguage) {
  Program program("en_US.UTF-8");
  program.Start();
  enum { Yes, No, OK, Cancel, Abort, Retry, Ignore, All, NoToAll, YesToAll, Help };
  const std::vector<std::vector<int>> dialogButtons = {{Yes, No, Cancel, Help},
                                                       {OK, Cancel, Help},
                                                       {Abort, Retry, Ignore, Help},
                                                       {Yes, YesToAll, No, NoToAll, Cancel, Help}};
  for (const std::string& code : kLanguageCodes) {
    ChooseLanguage(code);
    std::unique_ptr<TForm2> preview(new TForm2(nullptr));
    std::unique_ptr<TForm8> chooser(new TForm8(nullptr));
    for (TForm* window : std::initializer_list<TForm*>{Form1, Form6, preview.get(), chooser.get()})
      for (const std::string& fault : ShortcutFaults(*window))
        ADD_FAILURE() << code << " " << window->ClassName() << ": " << fault;
    for (const std::vector<int>& group : dialogButtons) {
      std::vector<std::string> captions;
      for (int button : group) captions.push_back(ButtonCaptions[button]);
      for (const std::string& fault : AcceleratorFaults(captions)) ADD_FAILURE() << code << " message dialog: " << fault;
    }
  }
  // The check itself: two captions with one letter are found.
  ChooseLanguage("en");
  Form1->ExitBtn->SetCaption("&Select all");
  EXPECT_EQ(ShortcutFaults(*Form1).size(), 1u);
}

// Slovak translates the window; its messages are English and Help opens the
// Slovak page.
TEST(MainWindowLanguage, SlovakWindowKeepsEnglishMessagesAndOpensItsHelpPage) {
  Program program("en_US.UTF-8");
  program.Start();
  const std::string englishMessage = msgSelectTarget;
  ChooseLanguage("sk");
  EXPECT_EQ(MenuItemOf("sk")->Caption(), "Slovenčina");
  EXPECT_EQ(Form1->CreateBtn->Caption(), "Vytvoriť &profil");
  EXPECT_EQ(Form1->intent_list->Items()->Strings(2), "Sýtosť");
  EXPECT_EQ(msgSelectTarget, englishMessage);
  EXPECT_EQ(Form1->qualList->Items()->Strings(2), "High");
  std::vector<std::string> opened;
  const auto saved = BrowseOpener;
  BrowseOpener = [&](const std::string&, const std::string& target) {
    opened.push_back(target);
    return true;
  };
  Form1->HelpBtn->Click();
  BrowseOpener = saved;
  EXPECT_EQ(opened, std::vector<std::string>{Form1->ProgramFolder + "help/vesk_sk.html"});
}

// The algorithm and intent lists speak the language; the choice is the
// item's place, so it survives every change of language.
TEST(MainWindowLanguage, ListItemsFollowTheLanguageAndKeepTheChoice) {
  Program program("en_US.UTF-8");
  program.Start();
  Form1->algList->SetItemIndex(5);
  Form1->intent_list->SetItemIndex(3);
  ChooseLanguage("de");
  EXPECT_EQ(Form1->algList->Text(), "Nur Matrix");
  EXPECT_EQ(Form1->intent_list->Text(), "Absolut farbmetrisch");
  EXPECT_EQ(Form1->algList->Items()->Strings(2), "Gamma + Matrix");
  EXPECT_EQ(Form1->intent_list->Items()->Strings(0), "Wahrnehmungsorientiert");
  for (const std::string& code : kLanguageCodes) {
    SCOPED_TRACE(code);
    ChooseLanguage(code);
    EXPECT_EQ(Form1->algList->Items()->Count(), 8);
    EXPECT_EQ(Form1->intent_list->Items()->Count(), 4);
    EXPECT_EQ(Form1->algList->ItemIndex(), 5);
    EXPECT_EQ(Form1->intent_list->ItemIndex(), 3);
    EXPECT_EQ(Form1->algList->Text(), Form1->algList->Items()->Strings(5));
  }
  // Each opening of the preview reloads the language.
  ChooseLanguage("fr");
  delete new TForm2(nullptr);
  EXPECT_EQ(Form1->algList->Text(), "Matrice seule");
  EXPECT_EQ(Form1->CollectChoices().AlgorithmIndex, 5);
  EXPECT_EQ(Form1->CollectChoices().IntentIndex, 3);
  ChooseLanguage("en");
  EXPECT_EQ(Form1->algList->Text(), "Matrix only");
  EXPECT_EQ(Form1->intent_list->Text(), "Absolute Colorimetric");
}

TEST(MainWindowLanguage, AboutBoxAndUpgradeQuestionSpeakTheLanguage) {
  Program program("en_US.UTF-8");
  program.Start();
  std::vector<std::string> opened;
  const auto saved = BrowseOpener;
  BrowseOpener = [&](const std::string&, const std::string& target) { opened.push_back(target);
    return true;
  };
  auto text = [](const char* name) { return dynamic_cast<TControl*>(Form6->FindComponent(name))->Caption(); };
  const struct {
    const char* code;
    const char* thanks;
    const char* close;
    const char* upgrade;  // how the question begins
  } cases[] = {
      {"en", "Special thanks to the translators:", "&Close", "Your VeSk version is: 2.0.0.3\r\n\nClick OK"},
      {"de", "Besonderer Dank an die Übersetzer:", "&Schließen", "Ihre VeSk-Version ist: 2.0.0.3\r\n\nKlicken"},
      {"es", "Agradecimiento especial a los traductores:", "&Cerrar", "Su versión de VeSk es: 2.0.0.3\r\n\nHaga"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    ChooseLanguage(c.code);
    EXPECT_EQ(text("ThanksLabel"), c.thanks);
    EXPECT_EQ(text("AdvGlassButton1"), c.close);
    EXPECT_EQ(text("LinkLabel"), VeskWebSite) << "addresses and names stay";
    ClearDialogScript();
    ScriptMessageBoxAnswer(mrOk);
    Form1->UpgBtn->Click();
    ASSERT_EQ(MessageBoxLog().size(), 1u);
    EXPECT_TRUE(MessageBoxLog()[0].Text.starts_with(c.upgrade)) << MessageBoxLog()[0].Text;
    EXPECT_TRUE(MessageBoxLog()[0].Text.ends_with(std::string("\r\n\n") + VeskDownloadPage));
  }
  BrowseOpener = saved;
  EXPECT_EQ(opened, std::vector<std::string>(std::size(cases), VeskVersionPage));
}

TEST(MainWindowLanguage, QualityChoiceSurvivesLanguageChangeAndPreview) {
  Program program("en_US.UTF-8", "[Settings]\nQUALITY=1\n");
  program.Start();
  EXPECT_EQ(Form1->qualList->ItemIndex(), 1);
  Form1->qualList->SetItemIndex(3);
  ChooseLanguage("de");
  EXPECT_EQ(Form1->qualList->ItemIndex(), 3);
  EXPECT_EQ(Form1->qualList->Text(), Form1->qualList->Items()->Strings(3));
  // Each opening of the preview reloads the language.
  delete new TForm2(nullptr);
  EXPECT_EQ(Form1->qualList->ItemIndex(), 3);
  ChooseLanguage("en");
  EXPECT_EQ(Form1->qualList->Text(), "Ultra High");
}

// ---- settings, marks, tweaks and the profile request ----------------------------------------

TEST(MainWindowSettings, ClosingWritesWhatTheNextStartReads) {
  std::string written;
  {
    Program program("de_DE.UTF-8", "[Settings]\nlog_check=0\nMyOwnKey=kept\n");
    program.Start();
    Form1->scanner_edit->SetText("EOS");
    Form1->typeList->SetItemIndex(9);
    Form1->algList->SetItemIndex(3);
    Form1->intent_list->SetItemIndex(1);
    Form1->qualList->SetItemIndex(0);
    Form1->WP_spin->SetFloatValue(1.25);
    ChooseLanguage("fr");
    fs::create_directories(Form1->WorkFolder);
    Form1->ExitBtn->Click();
    EXPECT_FALSE(fs::exists(Form1->WorkFolder));
    written = ReadAll(program.SettingsFile());
    program.Stop();

    Program again("en_US.UTF-8");
    WriteBelow(again.t, "config/vesk/vesk.ini", written);
    again.Start();
    EXPECT_EQ(LanguageManager->LanguageCode(), "fr");
    EXPECT_EQ(Form1->scanner_edit->Text(), "EOS");
    EXPECT_EQ(Form1->typeList->ItemIndex(), 9);
    EXPECT_EQ(Form1->algList->ItemIndex(), 3);
    EXPECT_EQ(Form1->intent_list->ItemIndex(), 1);
    EXPECT_EQ(Form1->qualList->ItemIndex(), 0);
    EXPECT_DOUBLE_EQ(Form1->WP_spin->FloatValue(), 1.25);
  }
  EXPECT_NE(written.find("log_check=0"), std::string::npos);
  EXPECT_NE(written.find("MyOwnKey=kept"), std::string::npos);
  EXPECT_NE(written.find("WhitePoint=1.25"), std::string::npos);
}

TEST(MainWindowSettings, UnwritableSettingsAreReportedAndTheWindowCloses) {
  Program program("en_US.UTF-8");
  program.Start();
  fs::create_directories(program.SettingsFile());  // a folder where the file should be
  ScriptMessageBoxAnswer(mrOk);
  Form1->ExitBtn->Click();
  ASSERT_EQ(MessageBoxLog().size(), 1u);
  EXPECT_NE(MessageBoxLog()[0].Text.find("Unable to write to"), std::string::npos);
  EXPECT_TRUE(Application->Terminated());
  Application->ResetTerminated();
}

// Closing removes the work folder only when it is the user's own folder:
// never through a link put in its place, never another user's folder.
TEST(MainWindowSettings, ClosingDeletesOnlyAWorkFolderOfTheUsersOwn) {
  enum Kind { own, link, otherUser };
  for (Kind kind : {own, link, otherUser}) {
    SCOPED_TRACE(kind);
    Program program("en_US.UTF-8");
    program.Start();
    const std::string folder = ExcludeTrailingPathDelimiter(Form1->WorkFolder);
    const std::string kept = WriteBelow(program.t, "elsewhere/keep.txt", "keep");
    if (kind == link) {
      fs::create_directory_symlink(program.t / "elsewhere", folder);
    } else {
      fs::create_directories(folder);
      std::ofstream(folder + "/result.ti3") << "patches";
      if (kind == otherUser && ::chown(folder.c_str(), 4242, 4242) != 0) continue;  // needs root
    }
    Form1->ExitBtn->Click();
    if (kind == own) {
      EXPECT_FALSE(fs::exists(folder));
    } else {
      EXPECT_TRUE(fs::exists(kept));
      EXPECT_TRUE(fs::exists(fs::path(folder) / (kind == link ? "keep.txt" : "result.ti3")));
    }
  }
}

TEST(MainWindowChoices, ReferenceButtonsSetTheMarks) {
  Program program("en_US.UTF-8");
  program.Start();
  const std::string reference = WriteBelow(program.t, "refs/My Chart.cie", "reference");
  ScriptFileDialogAnswer(reference);
  Form1->refBtn->Click();
  EXPECT_EQ(Form1->ReferenceFileName, reference);
  EXPECT_EQ(Form1->RefLabel->Caption(), "My Chart.cie");
  EXPECT_EQ(Form1->ReferenceFolder, program.t / "refs/");
  EXPECT_EQ(Form1->refBtn->OuterBorderColor(), ChoiceMarkOn);
  EXPECT_EQ(Form1->genBtn->OuterBorderColor(), ChoiceMarkOff);

  ScriptFileDialogAnswer("");  // cancelled: no reference at all
  Form1->refBtn->Click();
  EXPECT_EQ(Form1->ReferenceFileName, "");
  EXPECT_EQ(Form1->RefLabel->Caption(), "");
  EXPECT_EQ(Form1->refBtn->OuterBorderColor(), ChoiceMarkOff);

  ScriptFileDialogAnswer("");
  Form1->TargetBtn->Click();
  EXPECT_EQ(Form1->TargetBtn->OuterBorderColor(), ChoiceMarkOff);
  EXPECT_FALSE(Form1->prog1->Visible());
}

TEST(MainWindowChoices, TweakSpinEditsTurnRedOffTheNormAndResetOutOfRange) {
  Program program("en_US.UTF-8");
  program.Start();
  struct Case {
    TAdvSpinEdit* spin;
    const char* text;
    TColor colourOnExit;
    const char* message;  // shown on key release; "" for none
  };
  const Case cases[] = {
      {Form1->WP_spin, "1.20", static_cast<TColor>(255), ""},
      {Form1->WP_spin, "1.00", clWindow, ""},
      {Form1->WP_spin, "1.60", clWindow, "White Point value outside valid parameters. Resetting back to 1.00"},
      // Text that reads as no number is outside the range too.
      {Form1->WP_spin, "abc", clWindow, "White Point value outside valid parameters. Resetting back to 1.00"},
      {Form1->WP_spin, "1,7", clWindow, "White Point value outside valid parameters. Resetting back to 1.00"},
      {Form1->dark_spin, "2.50", static_cast<TColor>(255), ""},
      {Form1->dark_spin, "", clWindow, "Dark Areas emphasis value outside valid parameters. Resetting back to 1.00"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.spin->Name()) + " \"" + c.text + "\"");
    ClearDialogScript();
    c.spin->SetText(c.text);
    if (*c.message) ScriptMessageBoxAnswer(mrOk);
    WORD key = 'A';
    c.spin->OnKeyUp(c.spin, key, {});
    if (*c.message) {
      ASSERT_EQ(MessageBoxLog().size(), 1u);
      EXPECT_EQ(MessageBoxLog()[0].Text, c.message);
      EXPECT_EQ(c.spin->Text(), "1.00");
    } else {
      EXPECT_TRUE(MessageBoxLog().empty());
    }
    c.spin->OnExit(c.spin);
    EXPECT_EQ(c.spin->Color(), c.colourOnExit);
  }
}

// Under a decimal-comma locale the tweaks show and take commas, a reset
// sets the value 1 (never the field's least value), the toolkit gets its
// numbers with a point, and the profile is offered and reported in the
// user's own colour folder.
TEST(MainWindowProfile, DecimalCommaTweaksReachTheToolkitAndTheProfileGoesToTheColourFolder) {
  Program program("de_DE.UTF-8");
  program.Start();
  ASSERT_EQ(FormatSettings.DecimalSeparator, ',');
  EXPECT_EQ(Form1->GammaSpin->Text(), "2,2");
  EXPECT_EQ(Form1->WP_spin->Text(), "1,00");

  struct Typed {
    TAdvSpinEdit* spin;
    const char* text;
    const std::string* rangeMessage;  // null when the text is kept
  };
  const Typed typed[] = {
      {Form1->dark_spin, "abc", &msgDarkAreasRange}, {Form1->dark_spin, "1,5", nullptr},
      {Form1->WP_spin, "1,2", nullptr},              {Form1->WP_spin, "1.7", &msgWhitePointRange},
      {Form1->WP_spin, "7", &msgWhitePointRange},
  };
  for (const Typed& t : typed) {
    SCOPED_TRACE(std::string(t.spin->Name()) + " \"" + t.text + "\"");
    ClearDialogScript();
    t.spin->SetText(t.text);
    if (t.rangeMessage) ScriptMessageBoxAnswer(mrOk);
    WORD key = '0';
    t.spin->OnKeyUp(t.spin, key, {});
    if (t.rangeMessage) {
      ASSERT_EQ(MessageBoxLog().size(), 1u);
      EXPECT_EQ(MessageBoxLog()[0].Text, *t.rangeMessage);
      EXPECT_EQ(t.spin->Text(), "1,00");
    } else {
      EXPECT_TRUE(MessageBoxLog().empty());
      EXPECT_EQ(t.spin->Text(), t.text);
    }
  }

  // A photo, a reference and stand-ins for the toolkit's programs.
  const std::string bin = LayFakeToolkit(program.t / "program/");
  Form1->ProgramFolder = program.t / "program/";
  const std::string photo = program.t / "photos/chart.tif";
  fs::create_directories(program.t / "photos");
  fs::copy_file(VESK_SOURCE_DIR "/tests/fixtures/charts/colorchecker24-handheld-crop.tif", photo);
  Form1->TakePhoto(photo);
  Form1->ReferenceFileName = WriteBelow(program.t, "refs/chart.cie", "reference");

  const std::string colourFolder = program.t / "data/icc";
  ClearDialogScript();
  ScriptFileDialogAnswer(colourFolder + "/camera.icm");
  ScriptMessageBoxAnswer(mrOk);
  Form1->CreateBtn->Click();
  EXPECT_EQ(Form1->SaveDialog1->InitialDir(), colourFolder);
  ASSERT_EQ(MessageBoxLog().size(), 1u);
  EXPECT_EQ(MessageBoxLog()[0].Text, msgProfileSaved + "\r\r" + colourFolder + "/");
  EXPECT_EQ(ReadAll(colourFolder + "/camera.icm"), ValidProfile());

  const std::string scanin = ReadAll(bin + "scanin.bat"), colprof = ReadAll(bin + "colprof.bat");
  EXPECT_EQ(scanin.find("-G"), std::string::npos) << "2,2 is the toolkit's own gamma: " << scanin;
  EXPECT_EQ(colprof.find("-U"), std::string::npos) << "the white point was reset to 1: " << colprof;
  EXPECT_NE(colprof.find(" -V 1.5 "), std::string::npos) << colprof;

  Form1->ExitBtn->Click();
  const TVeskSettings saved = ReadSettings(program.SettingsFile(), DefaultSettings());
  EXPECT_DOUBLE_EQ(saved.WhitePoint, 1.0);
  EXPECT_DOUBLE_EQ(saved.DarkAreas, 1.5);
}

TEST(MainWindowChoices, CreateProfileTakesEveryControl) {
  Program program("en_US.UTF-8");
  program.Start();
  Form1->ImageFileName = "/photos/chart.tif";
  Form1->ReferenceFileName = "/refs/chart.cie";
  Form1->GammaSpin->SetFloatValue(1.8);
  Form1->perspectiveBox->SetChecked(true);
  Form1->WP_spin->SetFloatValue(0.9);
  Form1->dark_spin->SetFloatValue(1.5);
  Form1->scanner_edit->SetText("D");
  Form1->model_edit->SetText("M");
  Form1->descr_edit->SetText("Desc");
  Form1->copy_edit->SetText("C");
  Form1->typeList->SetItemIndex(4);
  Form1->algList->SetItemIndex(5);
  Form1->intent_list->SetItemIndex(2);
  Form1->qualList->SetItemIndex(3);
  const TProfileChoices c = Form1->CollectChoices();
  TProfileChoices expected;
  expected.ImageFileName = "/photos/chart.tif";
  expected.ReferenceFileName = "/refs/chart.cie";
  expected.PhotoHeight = 1;  // the view is blank
  expected.GammaText = "1.8";
  expected.Perspective = true;
  expected.WhitePoint = 0.9;
  expected.DarkAreas = 1.5;
  expected.Device = "D";
  expected.Model = "M";
  expected.Description = "Desc";
  expected.Copyright = "C";
  expected.TypeIndex = 4;
  expected.AlgorithmIndex = 5;
  expected.IntentIndex = 2;
  expected.QualityIndex = 3;
  auto fields = [](const TProfileChoices& x) {
    return std::make_tuple(x.ImageFileName, x.ReferenceFileName, x.PhotoHeight, x.GammaText, x.Perspective,
                           x.WhitePoint, x.DarkAreas, x.Device, x.Model, x.Description, x.Copyright, x.TypeIndex,
                           x.AlgorithmIndex, x.IntentIndex, x.QualityIndex);
  };
  EXPECT_EQ(fields(c), fields(expected));

  // Without a photo in the view the request stops at once, in the user's language.
  ChooseLanguage("de");
  ScriptMessageBoxAnswer(mrOk);
  Form1->CreateBtn->Click();
  ASSERT_EQ(MessageBoxLog().size(), 1u);
  EXPECT_EQ(MessageBoxLog()[0].Text, msgSelectTarget);
  EXPECT_NE(msgSelectTarget, TProfileMessages().SelectTarget);
}

// The checks this program adds speak the chosen language as the others do.
TEST(MainWindowChoices, AddedChecksSpeakTheLanguage) {
  Program program("en_US.UTF-8");
  program.Start();
  ChooseLanguage("pl");
  const std::string photo = program.t / "photos/chart.tif";
  fs::create_directories(program.t / "photos");
  fs::copy_file(VESK_SOURCE_DIR "/tests/fixtures/charts/colorchecker24-handheld-crop.tif", photo);
  ASSERT_TRUE(Form1->OpenImg(photo));
  Form1->ImageFileName = photo;
  Form1->ReferenceFileName = WriteBelow(program.t, "refs/chart.cie", "reference");

  Form1->descr_edit->SetText("two\nlines");
  ScriptMessageBoxAnswer(mrOk);
  Form1->CreateBtn->Click();
  ASSERT_EQ(MessageBoxLog().size(), 1u);
  EXPECT_EQ(MessageBoxLog()[0].Text, msgLineBreak);
  EXPECT_TRUE(msgLineBreak.starts_with("Nazwa pliku lub tekst profilu")) << msgLineBreak;

  Form1->descr_edit->SetText("one line");
  fs::create_directories(program.t / "elsewhere");
  fs::create_directory_symlink(program.t / "elsewhere", program.t / "linked");
  Form1->WorkFolder = program.t / "linked/";
  ScriptMessageBoxAnswer(mrOk);
  Form1->CreateBtn->Click();
  ASSERT_EQ(MessageBoxLog().size(), 2u);
  EXPECT_EQ(MessageBoxLog()[1].Text, msgWorkFolderRefused + "\r\r" + (program.t / "linked"));
  EXPECT_TRUE(msgWorkFolderRefused.starts_with("Folder roboczy")) << msgWorkFolderRefused;
}

TEST(MainWindowChoices, PhotoThatCannotBeOpenedBlanksTheViewWithAMessage) {
  Program program("en_US.UTF-8");
  program.Start();
  const std::string photo = VESK_SOURCE_DIR "/tests/fixtures/charts/colorchecker24-handheld-crop.tif";
  Form1->OpenImg(photo);
  ASSERT_EQ(Form1->CollectChoices().PhotoHeight, 240);
  EXPECT_TRUE(MessageBoxLog().empty());
  ScriptMessageBoxAnswer(mrOk);
  Form1->OpenImg(program.t / "missing.tif");
  ASSERT_EQ(MessageBoxLog().size(), 1u);
  EXPECT_EQ(MessageBoxLog()[0].Text, "Error opening the image.");
  EXPECT_EQ(Form1->CollectChoices().PhotoHeight, 1);
}

TEST(ProgramStartUp, MissingTemporaryFolderIsReportedAndLeavesNoWorkFolder) {
  Program program("en_US.UTF-8");
  ScopedEnv tmp("TMPDIR", program.t / "no such folder");
  ScriptMessageBoxAnswer(mrOk);
  program.Start();
  ASSERT_EQ(MessageBoxLog().size(), 1u);
  EXPECT_EQ(MessageBoxLog()[0].Text, "Temporary User Folder not accessible. Program will not work correctly.");
  EXPECT_EQ(MessageBoxLog()[0].Title, "VeSk v2.0.0.3 - Tundrel");  // the language already gave the title
  EXPECT_EQ(Form1->WorkFolder, "");
}
