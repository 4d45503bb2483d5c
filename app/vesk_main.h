// The main window's unit. This part holds profile creation: the choices the
// Create Profile button reads from the window, the pieces derived from them,
// the checks, the two toolkit runs through "proc.bat" and the save of the
// profile; and the range checks of the two tweak spin edits.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>

#include "app/langconsts.h"
#include "platform/rtl/sysutils.h"

// ---- what the window gives ----------------------------------------------------

// The window's choices at the moment Create Profile is pressed.
struct TProfileChoices {
  std::string ImageFileName;      // the photo
  std::string ReferenceFileName;  // the chart's reference file
  int32_t PhotoHeight = 1;        // height of the view's bitmap; a blank view is 1 x 1
  std::string GammaText = "2.2";  // GammaSpin's text, in the user's locale
  bool Perspective = false;       // perspectiveBox
  double WhitePoint = 1.0;        // WP_spin
  double DarkAreas = 1.0;         // dark_spin
  std::string Device = "Camera";  // scanner_edit
  std::string Model = "Model";    // model_edit
  std::string Description = "VeSk";  // descr_edit; an empty one is filled in
  std::string Copyright = "Copyright_free";  // copy_edit
  int32_t TypeIndex = 0;          // typeList, -1 for no selection
  int32_t AlgorithmIndex = 2;     // algList
  int32_t IntentIndex = 0;        // intent_list
  int32_t QualityIndex = 2;       // qualList
};

// The folders and title the request works with (the unit's state).
struct TProfileFolders {
  std::string ProgramFolder;  // with trailing delimiter; holds argyll/bin and argyll/ref
  std::string WorkFolder;     // with trailing delimiter; see ProfileWorkFolder
  std::string ColorFolder;    // initial folder of the save dialog
  std::string ApplicationTitle = "VeSk - Tundrel";
};

// The texts of the request's messages, in the user's language.
struct TProfileMessages {
  std::string SelectTarget = "Please select valid target image.";
  std::string SelectReference = "Please select reference file.";
  std::string ProfileFilter = "ICC Profile File (*.icm)|*.icm";
  std::string SaveProfileTitle = "Save Profile";
  std::string ProfileSaved = "ICC Profile saved to:";
  std::string ExtractError =
      "ERROR extracting RGB values. Cannot continue. Check if the target type selection is correct.";
  std::string NoRights =
      "ERROR! Please make sure that the user have sufficient rights to process the image file in the current "
      "folder or the folder is not read-only.";
  std::string RunError = "Unable to run program.";
  std::string NoSpace = "Not enough space on the disk. Free space: ";
  std::string NoSpaceRequired = "MB. Required minimum space: ";
  std::string DarkAreasRange = "Dark Areas emphasis value outside valid parameters. Resetting back to 1.00";
  std::string WhitePointRange = "White Point value outside valid parameters. Resetting back to 1.00";
  // The texts of the checks this system adds, in the language last applied
  // (English before any); "%d" in DirectoryFailed is the error number.
  std::string NotTiff = msgNotTiff;
  std::string ProfileFailed = msgProfileFailed;
  std::string WorkFolderRefused = msgWorkFolderRefused;
  std::string LineBreak = msgLineBreak;
  std::string DirectoryFailed = msgDirectoryFailed;
  std::string DefaultDevice = "Camera";
  std::string DefaultModel = "Model";
  std::string DefaultCopyright = "Copyright_free";
};

// How a message is shown: the framework's information dialog with an OK
// button, the application message box (titled with the application title,
// information icon 0x40), or the framework's plain message.
enum TProfileMessageKind { pmkInformationDialog, pmkMessageBox, pmkPlainMessage };

// What the profile request's save dialog is prepared with.
struct TProfileSaveDialog {
  std::string FileName;
  std::string InitialDir;
  std::string DefaultExt;
  std::string Filter;
  std::string Title;
};

// The window's dialogs as the request uses them; the main window implements
// them with its message boxes and SaveDialog1, tests script them.
class IProfileDialogs {
public:
  virtual ~IProfileDialogs() = default;
  // Shows a message and returns the button pressed (IDOK = 1).
  virtual int32_t ShowProfileMessage(const std::string& text, const std::string& title,
                                     TProfileMessageKind kind) = 0;
  // Runs the save dialog; true with the chosen name, false when cancelled.
  virtual bool ExecuteSaveDialog(const TProfileSaveDialog& dialog, std::string& fileName) = 0;
};

// ---- derived pieces -------------------------------------------------------------

// The options and names built from the choices at every press.
struct TProfileOptions {
  std::string GammaOption;       // "" or "-G <value> "
  std::string PerspectiveOption; // "" or "-p "
  std::string WhitePointOption;  // "" or "-U <value> "
  std::string DarkAreasOption;   // "" or "-V <value> "
  std::string ChartFileName;
  std::string QualityLetter;
  std::string AlgorithmLetter;
  std::string IntentOption;      // "" or "-Z <letter> "
};

// Number of chart types of typeList.
constexpr int32_t ChartTypeCount = 15;

std::string GetChartFileName(int32_t typeIndex);
std::string GetQualityLetter(int32_t qualityIndex);
std::string GetAlgorithmLetter(int32_t algorithmIndex);
std::string GetIntentOption(int32_t intentIndex);
// The gamma text is read with the user's number format; the option is empty
// when its value is 2.2, else carries the value with "." as separator.
std::string GetGammaOption(const std::string& gammaText, const TFormatSettings& userFormat);
std::string GetWhitePointOption(double whitePoint);
std::string GetDarkAreasOption(double darkAreas);
TProfileOptions BuildProfileOptions(const TProfileChoices& choices, const TFormatSettings& userFormat);

// The four profile texts, defaults put in for empty ones.
struct TProfileTexts {
  std::string Device, Model, Description, Copyright;
};
// An empty description becomes "VeSk" and is written back into choices.
TProfileTexts TakeProfileTexts(TProfileChoices& choices, const TProfileMessages& messages);

// Quotes one argument of a "proc.bat" line so that the batch interpreter
// hands it on unchanged: a double quote inside stays part of the text.
std::string QuoteArgument(const std::string& text);

// The second line of each content of "proc.bat".
std::string ScaninCommandLine(const TProfileFolders& folders, const TProfileOptions& options,
                              const std::string& photoCopy, const std::string& referenceFileName);
std::string ColprofCommandLine(const TProfileFolders& folders, const TProfileOptions& options,
                               const TProfileTexts& texts, const std::string& base);

// ---- the work folder ---------------------------------------------------------------

// The temporary folder + "vesk-" + the numeric user id + "/".
std::string ProfileWorkFolder();
// True when the work folder is a link or belongs to another user: such a
// folder is neither used nor deleted. False for a missing folder.
bool IsForeignWorkFolder(const std::string& workFolder);

// ---- files ----------------------------------------------------------------------------

// Size of the file, -1 when it cannot be found.
int64_t GetFileSize(const std::string& fileName);
// Bytes free for the user on the file system that holds path, -1 when the
// path has none.
int64_t GetDriveFreeSpace(const std::string& path);
// Copies all bytes; raises the framework's stream errors when the source
// cannot be opened or the destination created.
void FileCopy(const std::string& source, const std::string& destination);
// True when the file is a complete ICC profile: at least 128 bytes, "acsp"
// at offset 36 and a size field equal to the file's size.
bool IsValidIccProfile(const std::string& fileName);
// True when the file begins like a TIFF file.
bool IsTiffFile(const std::string& fileName);
// A JPEG, PNG or camera-raw photo, recognised by its content, written as a TIFF at
// destination (or, without one, only checked to be readable). False when
// the file holds neither or cannot be read or written.
bool WritePhotoAsTiff(const std::string& source, const std::string& destination);

// ---- the request ----------------------------------------------------------------------

class TProfileCreator {
public:
  TProfileCreator(IProfileDialogs& dialogs, TProfileFolders folders, TProfileMessages messages = {});

  // The Create Profile button: checks, two toolkit runs, save.
  void CreateBtnClick(TProfileChoices& choices);
  // Whether the photo's file system and the work folder's have room for
  // twice the photo; shows the shortage, or nothing for a missing photo.
  bool CheckFreeSpace(const std::string& imageFileName);
  // Starts the command line; with wait, returns when it has ended.
  void RunAndWait(const std::string& commandLine, bool wait);

  // Key release in the tweak spin edits: true when the value was out of
  // range (the message is shown) and the spin edit must take the value 1.0.
  bool WP_spinKeyUp(double value);
  bool dark_spinKeyUp(double value);
  // The spin edit's colour after focus leaves it: red when off the norm.
  static bool TweakOffNorm(double value) { return value != 1.0; }

  const TProfileOptions& Options() const { return options_; }
  const std::string& SavedProfileName() const { return savedProfileName_; }

  // The number format the gamma text is read and the space message is
  // written with (the user's).
  TFormatSettings UserFormat;
  // Bytes free for the user on a drive (a mount point), -1 for none.
  std::function<int64_t(const std::string&)> DriveFreeSpace = GetDriveFreeSpace;

private:
  void Message(const std::string& text, TProfileMessageKind kind);
  bool FitsOneBatchLine(std::initializer_list<std::string> commandLines);
  bool PrepareWorkFolder();
  void WriteBatchFile(const std::string& commandLine);
  void RunBatchFile();
  void SaveProfile(const std::string& base);
  bool TweakOutOfRange(double value, double low, double high, const std::string& text);

  IProfileDialogs& dialogs_;
  TProfileFolders folders_;
  TProfileMessages messages_;
  TProfileOptions options_;
  std::string savedProfileName_;
};

// ---- the main window ----------------------------------------------------------------

#include "platform/forms/comctrls.h"
#include "platform/forms/dialogs.h"
#include "platform/forms/extctrls.h"
#include "platform/forms/forms.h"
#include "platform/forms/menus.h"
#include "platform/forms/stdctrls.h"
#include "app/vesk_main_settings.h"
#include "platform/win/ole.h"

class TAdvSmoothPanel;
class TAdvPanel;
class TAdvGlassButton;
class TAdvOfficeCheckBox;
class TAdvSpinEdit;
class TAdvComboBox;
class TDBLUEdit;
class TlocController;
class TImageryView;
class TOpenImageryDialog;
class TDropFileTarget;

// Colours of the choice marks: a button's outer border while its choice is
// in force, and otherwise.
constexpr TColor ChoiceMarkOn = static_cast<TColor>(255);
constexpr TColor ChoiceMarkOff = static_cast<TColor>(16777215);

// The program's title before a language gives the window's caption.
inline constexpr char ApplicationTitleText[] = "VeSk - Tundrel";

// The main window: the photo, the reference, the corrections and the
// profile's text and options in eight numbered groups, and the button row.
class TForm1 : public TForm, private IProfileDialogs {
public:
  explicit TForm1(TComponent* owner);
  ~TForm1() override;

  // Components, as the form description makes them (names as in the
  // language files).
  TAdvSmoothPanel *Target_Panel = nullptr, *Profile_Panel = nullptr;
  TAdvSmoothPanel *Panel_1 = nullptr, *Panel_2 = nullptr, *Panel_3 = nullptr, *Panel_4 = nullptr,
                  *Panel_5 = nullptr, *Panel_6 = nullptr, *Panel_7 = nullptr, *Panel_8 = nullptr;
  TLabel *ImgLabel = nullptr, *RefLabel = nullptr, *Label1 = nullptr, *Label2 = nullptr, *Label3 = nullptr,
         *Label4 = nullptr, *Label5 = nullptr, *Label6 = nullptr, *Label7 = nullptr, *Label8 = nullptr;
  TAdvGlassButton *TargetBtn = nullptr, *genBtn = nullptr, *refBtn = nullptr;
  TAdvGlassButton *infoBtn_1 = nullptr, *infoBtn_2 = nullptr, *infoBtn_3 = nullptr, *infoBtn_4 = nullptr,
                  *infoBtn_5 = nullptr, *infoBtn_6 = nullptr, *infoBtn_7 = nullptr, *infoBtn_8 = nullptr;
  TAdvPanel* AdvPanel1 = nullptr;
  TImageryView* image1 = nullptr;
  TProgressBar* prog1 = nullptr;
  TAdvOfficeCheckBox* perspectiveBox = nullptr;
  TAdvSpinEdit *GammaSpin = nullptr, *WP_spin = nullptr, *dark_spin = nullptr;
  TAdvComboBox *typeList = nullptr, *algList = nullptr, *intent_list = nullptr, *qualList = nullptr;
  TImage* Image2 = nullptr;
  TDBLUEdit *scanner_edit = nullptr, *model_edit = nullptr, *descr_edit = nullptr, *copy_edit = nullptr;
  TAdvPanel* Panel_Bottom = nullptr;
  TAdvGlassButton *CreateBtn = nullptr, *LangBtn = nullptr, *HelpBtn = nullptr, *AboutBtn = nullptr,
                  *ArgyllBtn = nullptr, *UpgBtn = nullptr, *ExitBtn = nullptr;
  TSaveDialog* SaveDialog1 = nullptr;
  TOpenImageryDialog* OpenDialog1 = nullptr;
  TOpenDialog* OpenDialog2 = nullptr;
  TPopupMenu* pumLanguages = nullptr;
  TlocController* loc_lang = nullptr;
  TDropFileTarget* DropFileTarget1 = nullptr;

  // The unit's state.
  std::string ProgramFolder, WorkFolder, AppDataFolder, HelpFileName, ImageFileName, ReferenceFileName,
      ChartFileName, TargetFolder, ReferenceFolder, ColorFolder, LanguageSetting;
  int32_t QualitySetting = 2;
  std::string SavedProfileName;

  // Event handlers.
  void FormCreate(TObject* sender);
  void FormActivate(TObject* sender);
  void FormClose(TObject* sender, TCloseAction& action);
  void ExitBtnClick(TObject* sender);
  void loc_langLanguageChanged(TObject* sender);
  void ApplyLanguage(TObject* sender);
  void TargetBtnClick(TObject* sender);
  // Loads the photo into the view; false (view blank, message shown) when it
  // cannot be loaded.
  bool OpenImg(const std::string& fileName);
  // Takes the photo: loads it and, only when that worked, names it.
  void TakePhoto(const std::string& fileName);
  void DropFileTarget1Drop(TObject* sender, TShiftState shift, POINTL point, DWORD& effect);
  void image1Click(TObject* sender);
  void image1KeyPress(TObject* sender, char32_t& key);
  void genBtnClick(TObject* sender);
  void HelpBtnClick(TObject* sender);
  void FormKeyDown(TObject* sender, WORD& key, TShiftState shift);
  void ArgyllBtnClick(TObject* sender);
  void AboutBtnClick(TObject* sender);
  void UpgBtnClick(TObject* sender);
  void image1Progress(TObject* sender, int32_t per);
  void typeListDropUp(TObject* sender);
  void WP_spinExit(TObject* sender);
  void WP_spinKeyUp(TObject* sender, WORD& key, TShiftState shift);
  void dark_spinExit(TObject* sender);
  void dark_spinKeyUp(TObject* sender, WORD& key, TShiftState shift);
  void CreateBtnClick(TObject* sender);
  void RefBtnClick(TObject* sender);
  void infoBtnClick(TObject* sender);
  void LangBtnClick(TObject* sender);
  void pumLanguagesClick(TObject* sender);

  // The window's choices as the Create Profile button takes them.
  TProfileChoices CollectChoices() const;
  // How often the language handler ran (either of its two entries).
  int32_t LanguageHandlerRuns() const { return languageHandlerRuns_; }

private:
  void BuildComponents();
  void BuildTargetPanel();
  void BuildProfilePanel();
  void BuildButtonRow();
  void ReadSettingsFile();
  TVeskSettings CurrentSettings() const;
  void BuildLanguageMenu();
  void ChooseFinalLanguage();
  void RunLanguageHandler();
  // Translates a window from the language's property store; a failure is
  // reported as the main window's own.
  void TranslateWindow(TForm& window);
  void BlankView();
  int32_t PhotoHeight() const;
  void MarkTweak(TAdvSpinEdit* spin);
  // Shows the range message and resets the spin edit when its value is out of range.
  void CheckTweak(TAdvSpinEdit* spin, bool (TProfileCreator::*outOfRange)(double));
  TProfileMessages LocalisedMessages() const;
  TProfileFolders ProfileFolders() const;

  // How the profile request shows its messages and the save dialog.
  int32_t ShowProfileMessage(const std::string& text, const std::string& title, TProfileMessageKind kind) override;
  bool ExecuteSaveDialog(const TProfileSaveDialog& dialog, std::string& fileName) override;

  int32_t languageHandlerRuns_ = 0;
  bool languageHooked_ = false;
};

extern TForm1* Form1;

// ---- pages ----------------------------------------------------------------------------

// Opens a page or file with the program registered for HTML pages (on this
// system the desktop's opener, xdg-open). When none is registered or the
// program cannot be started, a message box says so and the answer is false.
// The program is started with the target as its one argument, never through
// a shell's command line.
bool BrowseURL(const std::string& target);
// How BrowseURL starts the program (replaceable by tests): the program
// ("" for the desktop's opener) and the target; false when it could not be
// started.
extern std::function<bool(const std::string& program, const std::string& target)> BrowseOpener;
inline constexpr char DesktopOpener[] = "xdg-open";
// The executable's file version ("2.0.0.3").
std::string GetVersionText();
