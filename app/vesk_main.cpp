// The main window's life: creation, the language handler, the language menu,
// the choices of the groups, the Create Profile button and closing.
//
// Sections: creation | language | photo and reference | tweaks and profile | closing
#include <algorithm>
#include <memory>

#include "app/langconsts.h"
#include "app/loccontroller.h"
#include "app/loclangman.h"
#include "app/locdialogs.h"
#include "app/vesk_form_parts.h"
#include "app/vesk_about.h"
#include "app/vesk_main.h"
#include "app/vesk_main_settings.h"
#include "imaging/io/ieopensavedlg.h"
#include "imaging/io/imageryio.h"
#include "imaging/io/imageryio_plugins.h"
#include "imaging/view/imageryview.h"
#include "platform/rtl/files.h"
#include "platform/win/kernel.h"
#include "platform/win/kernel_files.h"
#include "platform/win/locale.h"
#include "platform/win/shell.h"
#include "platform/win/user_input.h"
#include "services/supfileutils.h"
#include "ui/controls/advcombo.h"
#include "ui/controls/advglassbutton.h"
#include "ui/controls/advofficebuttons.h"
#include "ui/controls/advspin.h"
#include "ui/controls/dblucomb.h"

TForm1* Form1 = nullptr;

namespace {

constexpr int kAppDataFolderId = 26;
constexpr LCTYPE kIso639LanguageName = 0x59;

std::string GetSpecialFolderPath(int folder) {
  std::string path;
  return SHGetFolderPathA(nullptr, folder, nullptr, 0, path) == 0 ? path : std::string();
}

// Chart pictures by chart type, below the program folder.
const char* ChartPicture(int32_t typeIndex) {
  static const char* const kPictures[ChartTypeCount] = {
      "colorchecker.jpg", "colorcheckerSG.jpg", "colorchecker_passport.jpg", "colorchecker.jpg", "CMP-003.jpg",
      "CMP-3.jpg",        "CMP-3.jpg",          "HCT.jpg",                   "LSDC.jpg",         "qp.jpg",
      "qp2.jpg",          "it8.jpg",            "LaserSoftAdv.jpg",          "SpyderChecker.jpg", "SpyderChecker24.jpg"};
  return typeIndex >= 0 && typeIndex < ChartTypeCount ? kPictures[typeIndex] : kPictures[0];
}

// A localised text, or the built-in English one while no language is loaded.
void Take(std::string& field, const std::string& text) {
  if (!text.empty()) field = text;
}

}  // namespace

// ---- creation -------------------------------------------------------------------------

TForm1::TForm1(TComponent* owner) : TForm(owner) {
  LoadComponents(*this, [this] { BuildComponents(); });
}

TForm1::~TForm1() {
  if (LanguageManager && languageHooked_) LanguageManager->OnLanguageChanged = nullptr;
}

void TForm1::FormCreate(TObject*) {
  CreateMutexA(nullptr, FALSE, "VeSkMutex");
  SetLeft(120);
  SetTop(80);
  ProgramFolder = IncludeTrailingPathDelimiter(ExecutableFolder());
  WorkFolder = ProfileWorkFolder();
  if (!DirectoryExists(GetTempPathA())) {
    Application->MessageBox(msgTempFolderMissing, Application->Title(), MB_ICONINFORMATION);
    WorkFolder.clear();
  }
  HelpFileName = ProgramFolder + "help" + PathDelim + "vesk.html";
  ReferenceFileName.clear();
  ChartFileName.clear();
  ImageFileName.clear();
  AppDataFolder = GetSpecialFolderPath(kAppDataFolderId);
  if (!AppDataFolder.empty()) ForceDirectories(IncludeTrailingPathDelimiter(AppDataFolder) + "vesk");
  BlankView();
  // Camera raw is read by its plug-in, in place of the built-in format.
  IEUnregisterFileFormat(20);
  IERegisterIOPlugin(ProgramFolder + "dcrawlib.dll");
  ReadSettingsFile();
  // The user's own colour folder, by its own path (never through the link
  // the Windows-shaped folder holds).
  ColorFolder = GetSystemColorFolder();
  LanguageManager->OnLanguageChanged = [this](TObject* sender) { ApplyLanguage(sender); };
  languageHooked_ = true;
  if (!LanguageManager->LanguageCode().empty()) ApplyLanguage(this);
  BuildLanguageMenu();
  typeListDropUp(this);
  ChooseFinalLanguage();
}

// The photo lives in the image library's own storage from now on.
void TForm1::FormActivate(TObject*) { image1->SetLegacyBitmap(false); }

// ---- language -------------------------------------------------------------------------

void TForm1::loc_langLanguageChanged(TObject*) { RunLanguageHandler(); }

void TForm1::ApplyLanguage(TObject*) { RunLanguageHandler(); }

void TForm1::RunLanguageHandler() {
  ++languageHandlerRuns_;
  LoadDialogTexts();
  // The lists' items are rewritten in the language; the user's choices stay.
  const int32_t quality = qualList->ItemIndex(), algorithm = algList->ItemIndex(),
                intent = intent_list->ItemIndex();
  HelpFileName = SetMessageConstantsFor(LanguageManager->LanguageCode(), ProgramFolder, qualList->Items());
  SetProgramMessages(*LanguageManager);
  LanguageManager->ClearLists(true, false, false, false);
  TranslateWindow(*this);
  if (Form6) TranslateWindow(*Form6);
  qualList->SetItemIndex(quality);
  algList->SetItemIndex(algorithm);
  intent_list->SetItemIndex(intent);
  Application->SetTitle(Caption());
  image1->Invalidate();
}

void TForm1::TranslateWindow(TForm& window) {
  if (!LanguageManager->TranslateComponent(window))
    locMessageDlg(Caption(), LanguageManager->LastError(), mtWarning, {mbOK}, 0, -1, -1, "");
}

void TForm1::BuildLanguageMenu() {
  TMenuItem* items = pumLanguages->Items();
  items->Clear();
  TStringList languages;
  LanguageManager->GetLanguages(languages);
  for (int32_t i = 0; i < languages.Count(); ++i) {
    auto* item = new TMenuItem(this);
    item->SetHint(languages.Names(i));
    item->SetCaption(languages.ValueFromIndex(i));
    item->OnClick = [this](TObject* sender) { pumLanguagesClick(sender); };
    int32_t at = 0;
    while (at < items->Count() && items->Items(at)->Caption().compare(item->Caption()) <= 0) ++at;
    items->Insert(at, item);
  }
}

void TForm1::ChooseFinalLanguage() {
  if (!LanguageSetting.empty()) {
    LanguageManager->SetLanguageCode(LanguageSetting);
    return;
  }
  LanguageManager->SetLanguageCode(GetLocaleInfoA(LOCALE_USER_DEFAULT, kIso639LanguageName));
  if (!LanguageManager->LastError().empty())
    MessageDlg(msgLanguageModuleError, mtWarning, {mbOK}, 0);
}

void TForm1::LangBtnClick(TObject*) {
  POINT p{};
  GetCursorPos(&p);
  pumLanguages->Popup(p.x, p.y);
}

void TForm1::pumLanguagesClick(TObject* sender) {
  auto* item = dynamic_cast<TMenuItem*>(sender);
  if (!item) return;
  LanguageManager->SetLanguageCode(item->Hint());
  if (!LanguageManager->LastError().empty()) MessageDlg(msgLanguageError, mtWarning, {mbOK}, 0);
}

// ---- photo and reference ----------------------------------------------------------------

void TForm1::BlankView() { image1->Blank(); }

int32_t TForm1::PhotoHeight() const { return image1->GetIEBitmap() ? image1->GetIEBitmap()->GetHeight() : 1; }

void TForm1::image1Progress(TObject*, int32_t per) { prog1->StepBy(per); }

void TForm1::typeListDropUp(TObject*) {
  const std::string picture = ProgramFolder + "help" + PathDelim + ChartPicture(typeList->ItemIndex());
  if (FileExists(picture))
    Image2->Picture()->LoadFromFile(picture);
  else
    Image2->Picture()->Assign(nullptr);
  Refresh();
}

void TForm1::RefBtnClick(TObject*) {
  RefLabel->SetCaption("");
  ReferenceFileName.clear();
  OpenDialog2->SetInitialDir(ReferenceFolder);
  OpenDialog2->SetTitle(msgSelectReferenceTitle.empty() ? std::string("Select Reference File")
                                                        : msgSelectReferenceTitle);
  OpenDialog2->SetFilter("All Files (*.*)|*.*");
  const bool chosen = OpenDialog2->Execute();
  if (chosen) {
    ReferenceFileName = OpenDialog2->FileName();
    RefLabel->SetCaption(ExtractFileName(ReferenceFileName));
    ReferenceFolder = ExtractFilePath(ReferenceFileName);
  }
  SetChoiceMark(genBtn, false);
  SetChoiceMark(refBtn, chosen);
}

void TForm1::infoBtnClick(TObject* sender) {
  const std::string crlf = "\r\n";
  std::string text;
  if (sender == infoBtn_1) {
    text = msgChartsIntro + crlf + crlf;
    for (const std::string* line : {&msgChartColorChecker, &msgChartColorCheckerSG, &msgChartCMPChecker,
                                     &msgChartCMPTarget3, &msgChartCMPTarget4, &msgChartHCT, &msgChartDCPro,
                                     &msgChartQP201, &msgChartQP202, &msgChartIT8, &msgChartLaserSoftAdv})
      text += *line + crlf;
    text += crlf + msgGenericRefNote;
  } else if (sender == infoBtn_2) {
    text = msgInfoReference1 + crlf + msgInfoReference2;
  } else if (sender == infoBtn_3) {
    text = msgInfoTarget;
  } else if (sender == infoBtn_4) {
    text = msgInfoCorrections;
  } else if (sender == infoBtn_5) {
    text = msgInfoTweaks;
  } else if (sender == infoBtn_6) {
    text = msgInfoChartType;
  } else if (sender == infoBtn_7) {
    text = msgInfoProfileText;
  } else if (sender == infoBtn_8) {
    text = msgInfoOptions;
  }
  Application->MessageBox(text, Application->Title(), MB_ICONINFORMATION);
}

// ---- tweaks and profile -----------------------------------------------------------------

void TForm1::MarkTweak(TAdvSpinEdit* spin) {
  spin->SetColor(TProfileCreator::TweakOffNorm(spin->FloatValue()) ? static_cast<TColor>(255) : clWindow);
  spin->Invalidate();
}

void TForm1::WP_spinExit(TObject*) { MarkTweak(WP_spin); }

void TForm1::dark_spinExit(TObject*) { MarkTweak(dark_spin); }

void TForm1::CheckTweak(TAdvSpinEdit* spin, bool (TProfileCreator::*outOfRange)(double)) {
  TProfileCreator creator(*this, ProfileFolders(), LocalisedMessages());
  // The value, not a text: the spin edit writes it with the user's separator.
  if ((creator.*outOfRange)(spin->FloatValue())) spin->SetFloatValue(1.0);
}

void TForm1::WP_spinKeyUp(TObject*, WORD&, TShiftState) { CheckTweak(WP_spin, &TProfileCreator::WP_spinKeyUp); }

void TForm1::dark_spinKeyUp(TObject*, WORD&, TShiftState) { CheckTweak(dark_spin, &TProfileCreator::dark_spinKeyUp); }

TProfileChoices TForm1::CollectChoices() const {
  TProfileChoices c;
  c.ImageFileName = ImageFileName;
  c.ReferenceFileName = ReferenceFileName;
  c.PhotoHeight = PhotoHeight();
  c.GammaText = GammaSpin->Text();
  c.Perspective = perspectiveBox->Checked();
  c.WhitePoint = WP_spin->FloatValue();
  c.DarkAreas = dark_spin->FloatValue();
  c.Device = scanner_edit->Text();
  c.Model = model_edit->Text();
  c.Description = descr_edit->Text();
  c.Copyright = copy_edit->Text();
  c.TypeIndex = typeList->ItemIndex();
  c.AlgorithmIndex = algList->ItemIndex();
  c.IntentIndex = intent_list->ItemIndex();
  c.QualityIndex = qualList->ItemIndex();
  return c;
}

TProfileMessages TForm1::LocalisedMessages() const {
  TProfileMessages m;
  Take(m.SelectTarget, msgSelectTarget);
  Take(m.SelectReference, msgSelectReference);
  Take(m.ProfileFilter, msgProfileFilter);
  Take(m.SaveProfileTitle, msgSaveProfileTitle);
  Take(m.ProfileSaved, msgProfileSaved);
  Take(m.ExtractError, msgExtractError);
  Take(m.NoRights, msgNoRights);
  Take(m.RunError, msgRunError);
  Take(m.NoSpace, msgNoSpace);
  Take(m.NoSpaceRequired, msgNoSpaceRequired);
  Take(m.DarkAreasRange, msgDarkAreasRange);
  Take(m.WhitePointRange, msgWhitePointRange);
  return m;
}

TProfileFolders TForm1::ProfileFolders() const {
  TProfileFolders f;
  f.ProgramFolder = ProgramFolder;
  f.WorkFolder = WorkFolder;
  f.ColorFolder = ColorFolder;
  f.ApplicationTitle = Application->Title();
  return f;
}

void TForm1::CreateBtnClick(TObject*) {
  TProfileChoices choices = CollectChoices();
  TProfileCreator creator(*this, ProfileFolders(), LocalisedMessages());
  creator.CreateBtnClick(choices);
  descr_edit->SetText(choices.Description);
  ChartFileName = creator.Options().ChartFileName;
  if (!creator.SavedProfileName().empty()) SavedProfileName = creator.SavedProfileName();
}

int32_t TForm1::ShowProfileMessage(const std::string& text, const std::string& title, TProfileMessageKind kind) {
  switch (kind) {
    case pmkInformationDialog: MessageDlg(text, mtInformation, {mbOK}, 0); break;
    case pmkMessageBox: Application->MessageBox(text, title.empty() ? Application->Title() : title, MB_ICONINFORMATION); break;
    case pmkPlainMessage: ShowMessage(text); break;
  }
  return IDOK;
}

bool TForm1::ExecuteSaveDialog(const TProfileSaveDialog& dialog, std::string& fileName) {
  SaveDialog1->SetFileName(dialog.FileName);
  SaveDialog1->SetInitialDir(dialog.InitialDir);
  SaveDialog1->SetDefaultExt(dialog.DefaultExt);
  SaveDialog1->SetFilter(dialog.Filter);
  SaveDialog1->SetTitle(dialog.Title);
  if (!SaveDialog1->Execute()) return false;
  fileName = SaveDialog1->FileName();
  return true;
}

// ---- settings and closing ------------------------------------------------------------------

void TForm1::ReadSettingsFile() {
  const TVeskSettings s = ReadSettings(SettingsFileName(AppDataFolder), DefaultSettings());
  TargetFolder = s.TargetFolder;
  ReferenceFolder = s.ReferenceFolder;
  scanner_edit->SetText(s.Camera);
  model_edit->SetText(s.Model);
  descr_edit->SetText(s.Description);
  copy_edit->SetText(s.Copyright);
  typeList->SetItemIndex(s.Type);
  algList->SetItemIndex(s.Algorithm);
  intent_list->SetItemIndex(s.Intent);
  QualitySetting = s.Quality;
  qualList->SetItemIndex(QualitySetting);
  LanguageSetting = s.Language;
  WP_spin->SetFloatValue(s.WhitePoint);
  dark_spin->SetFloatValue(s.DarkAreas);
}

TVeskSettings TForm1::CurrentSettings() const {
  TVeskSettings s;
  s.TargetFolder = TargetFolder;
  s.ReferenceFolder = ReferenceFolder;
  s.Camera = scanner_edit->Text();
  s.Model = model_edit->Text();
  s.Description = descr_edit->Text();
  s.Copyright = copy_edit->Text();
  s.Type = typeList->ItemIndex();
  s.Algorithm = algList->ItemIndex();
  s.Intent = intent_list->ItemIndex();
  s.Quality = qualList->ItemIndex();
  s.Language = LanguageManager ? LanguageManager->LanguageCode() : std::string();
  s.WhitePoint = WP_spin->FloatValue();
  s.DarkAreas = dark_spin->FloatValue();
  return s;
}

void TForm1::ExitBtnClick(TObject*) { Close(); }

void TForm1::FormClose(TObject*, TCloseAction&) {
  // A settings file that cannot be written is reported; the window still closes.
  const std::string fileName = SettingsFileName(AppDataFolder);
  if (!fileName.empty()) {
    try {
      WriteSettings(fileName, CurrentSettings());
    } catch (const Exception& e) {
      Application->MessageBox(e.Message(), Application->Title(), MB_ICONWARNING);
    }
  }
  // Only a folder of the user's own goes, never what a link leads to.
  if (!WorkFolder.empty() && !IsForeignWorkFolder(WorkFolder) && IsExistingDirectory(WorkFolder))
    DeleteDirectoryTree(WorkFolder, true);
}
