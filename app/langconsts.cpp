// The message constants; the texts themselves are in langconsts_texts.cpp.
#include "app/langconsts.h"

#include "app/langconsts_texts.h"
#include "app/loclangman.h"
#include "platform/rtl/files.h"
#include "platform/rtl/stringlist.h"
#include "platform/rtl/sysutils.h"

std::string msgNotTiff, msgProfileFailed, msgWorkFolderRefused, msgLineBreak, msgImageNotSaved,
    msgTempFolderMissing, msgDirectoryFailed, msgLanguageError, msgLanguageModuleError, msgVersionIs,
    msgVersionCheck, msgPixels, msgNoOpener;
std::string msgDefaultDevice, msgDefaultModel, msgDefaultCopyright;
std::string msgChartColorCheckerSG, msgChartCMPChecker, msgChartCMPTarget3, msgChartCMPTarget4, msgChartHCT,
    msgChartDCPro, msgChartQP201, msgChartQP202, msgChartLaserSoftAdv;
std::string msgPreviewCaption, msgOpenImageError, msgSelectTarget, msgSelectReference, msgProfileFilter,
    msgSaveProfileTitle, msgProfileSaved, msgExtractError, msgNoRights, msgRunError, msgNoImage, msgNoSpace,
    msgNoSpaceRequired, msgChartsIntro, msgChartColorChecker, msgChartIT8, msgGenericRefNote, msgInfoTarget,
    msgInfoCorrections, msgInfoTweaks, msgInfoReference1, msgInfoReference2, msgSelectReferenceTitle,
    msgInfoChartType, msgInfoProfileText, msgInfoOptions, msgDarkAreasRange, msgWhitePointRange;

namespace {

// The program's own texts: the variable, its name in the language files and
// its English text. "%d" in msgDirectoryFailed stands for the error number.
struct ProgramText {
  std::string* text;
  const char* name;
  const char* english;
};

const ProgramText kProgramTexts[] = {
    {&msgNotTiff, "msgNotTiff",
     "The photo is neither a TIFF file nor a JPEG or PNG image that could be read. Please save the photo as a "
     "TIFF file and select it again."},
    {&msgProfileFailed, "msgProfileFailed", "The colour toolkit could not make the profile. Its output is in:"},
    {&msgWorkFolderRefused, "msgWorkFolderRefused",
     "The work folder is a link or belongs to another user, so it is not used. Please remove it:"},
    {&msgLineBreak, "msgLineBreak",
     "A file name or profile text holds a line break, which the colour toolkit's batch file cannot carry. "
     "Please rename the file or change the text."},
    {&msgImageNotSaved, "msgImageNotSaved", "The image could not be saved to:"},
    {&msgTempFolderMissing, "msgTempFolderMissing",
     "Temporary User Folder not accessible. Program will not work correctly."},
    {&msgDirectoryFailed, "msgDirectoryFailed", "Directory creation failed with error %d"},
    {&msgLanguageError, "msgLanguageError", "ERROR"},
    {&msgLanguageModuleError, "msgLanguageModuleError", "ERROR in Language Module. Contact developer."},
    {&msgVersionIs, "msgVersionIs", "Your VeSk version is:"},
    {&msgVersionCheck, "msgVersionCheck", "Click OK to see current VeSk version number available at"},
    {&msgPixels, "msgPixels", "pixels"},
    {&msgNoOpener, "msgNoOpener", NoOpenerText},
};

void ResetProgramMessages() {
  for (const ProgramText& t : kProgramTexts) *t.text = t.english;
}

struct FixedText {
  std::string* constant;
  const char* text;
};

#define CMP_SITE "www.cmp-color.fr"

const FixedText kFixed[] = {
    {&msgDefaultDevice, "Camera"},
    {&msgDefaultModel, "Model"},
    {&msgDefaultCopyright, "Copyright_free"},
    {&msgChartColorCheckerSG, "     * Xrite ColorCheckerSG"},
    {&msgChartCMPChecker, "     * " CMP_SITE " - CMP Checker"},
    {&msgChartCMPTarget3, "     * " CMP_SITE " - Digital Target-3"},
    {&msgChartCMPTarget4, "     * " CMP_SITE " - Digital Target-4"},
    {&msgChartHCT, "     * HutchColor HCT"},
    {&msgChartDCPro, "     * LaserSoft DCPro"},
    {&msgChartQP201, "     * QPcard 201"},
    {&msgChartQP202, "     * QPcard 202/203"},
    {&msgChartLaserSoftAdv, "     * LaserSoft Advanced 864 patch"},
};

#undef CMP_SITE

// The per-language constants, in the order of the text tables.
const std::array<std::string*, kPerLanguageTexts>& PerLanguageConstants() {
  static const std::array<std::string*, kPerLanguageTexts> constants = {
      &msgPreviewCaption,   &msgOpenImageError,     &msgSelectTarget,      &msgSelectReference,
      &msgProfileFilter,    &msgSaveProfileTitle,   &msgProfileSaved,      &msgExtractError,
      &msgNoRights,         &msgRunError,           &msgNoImage,           &msgNoSpace,
      &msgNoSpaceRequired,  &msgChartsIntro,        &msgChartColorChecker, &msgChartIT8,
      &msgGenericRefNote,   &msgInfoTarget,         &msgInfoCorrections,   &msgInfoTweaks,
      &msgInfoReference1,   &msgInfoReference2,     &msgSelectReferenceTitle, &msgInfoChartType,
      &msgInfoProfileText,  &msgInfoOptions,        &msgDarkAreasRange,    &msgWhitePointRange};
  return constants;
}

void Apply(const TLanguageTexts& texts, TStrings* qualityItems) {
  const auto& constants = PerLanguageConstants();
  for (size_t i = 0; i < constants.size(); ++i)
    if (texts.texts[i]) *constants[i] = texts.texts[i];
  if (!qualityItems) return;
  for (int32_t i = 0; i < 4 && i < qualityItems->Count(); ++i)
    if (texts.quality[i]) qualityItems->Put(i, texts.quality[i]);
}

// Indonesian has two codes: the one its language files use and the one of
// the Windows language id.
std::string TextCode(const std::string& code) { return code == "id" ? "in" : code; }

}  // namespace

std::string SetMessageConstantsFor(const std::string& code, const std::string& programFolder,
                                   TStrings* qualityItems) {
  for (const FixedText& f : kFixed) *f.constant = f.text;
  Apply(EnglishTexts(), qualityItems);
  const std::string textCode = TextCode(code);
  if (const TLanguageTexts* translated = TranslatedTexts(textCode)) Apply(*translated, qualityItems);

  const std::string help = IncludeTrailingPathDelimiter(programFolder) + "help" + PathDelim;
  static const char* const kPagedCodes[] = {"cs", "pl", "fr", "sk", "de", "in", "es"};
  for (const char* paged : kPagedCodes) {
    if (textCode != paged) continue;
    const std::string page = help + "vesk_" + textCode + ".html";
    if (FileExists(page)) return page;
  }
  return help + "vesk.html";
}

void SetProgramMessages(TLanguageManager& manager) {
  for (const ProgramText& t : kProgramTexts) *t.text = manager.GetText(t.name, t.english);
}

void ClearMessageConstants() {
  for (const FixedText& f : kFixed) f.constant->clear();
  for (std::string* constant : PerLanguageConstants()) constant->clear();
  ResetProgramMessages();
}

namespace {

// The program's own texts are English from the start.
[[maybe_unused]] const bool kProgramMessagesReady = (ResetProgramMessages(), true);

}  // namespace
