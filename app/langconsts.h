// The texts of the program's own message boxes, dialog titles and info texts,
// in the current language (English and six translations built in), and the
// quality list's items and the help page that follow the language.
#pragma once

#include <string>

class TLanguageManager;
class TStrings;

// Texts that are the same in every language.
extern std::string msgDefaultDevice, msgDefaultModel, msgDefaultCopyright;
extern std::string msgChartColorCheckerSG, msgChartCMPChecker, msgChartCMPTarget3, msgChartCMPTarget4,
    msgChartHCT, msgChartDCPro, msgChartQP201, msgChartQP202, msgChartLaserSoftAdv;

// Texts per language.
extern std::string msgPreviewCaption, msgOpenImageError, msgSelectTarget, msgSelectReference,
    msgProfileFilter, msgSaveProfileTitle, msgProfileSaved, msgExtractError, msgNoRights, msgRunError,
    msgNoImage, msgNoSpace, msgNoSpaceRequired, msgChartsIntro, msgChartColorChecker, msgChartIT8,
    msgGenericRefNote, msgInfoTarget, msgInfoCorrections, msgInfoTweaks, msgInfoReference1,
    msgInfoReference2, msgSelectReferenceTitle, msgInfoChartType, msgInfoProfileText, msgInfoOptions,
    msgDarkAreasRange, msgWhitePointRange;

// Texts the program shows beyond the constants above. The language files
// carry them in their [constants] section under these names ("msgNotTiff"
// ...); each is English until a language gives its own.
extern std::string msgNotTiff, msgProfileFailed, msgWorkFolderRefused, msgLineBreak, msgImageNotSaved,
    msgTempFolderMissing, msgDirectoryFailed, msgLanguageError, msgLanguageModuleError, msgVersionIs,
    msgVersionCheck, msgPixels, msgNoOpener;
// The English text of the message shown when nothing can open a page.
inline constexpr char NoOpenerText[] =
    "No program was found to open the page. Please install the package xdg-utils, which provides xdg-open.";

// Sets every constant for the language code (exact, case-sensitive; codes
// without texts of their own take English), rewrites the four items of the
// quality list in place (when given) and returns the help page for the code:
// programFolder + "help/vesk_<code>.html" when the code has one there, else
// programFolder + "help/vesk.html".
std::string SetMessageConstantsFor(const std::string& code, const std::string& programFolder,
                                   TStrings* qualityItems);

// Takes the program's own texts from the manager's constants (before the
// language handler clears them); a text the language lacks is English.
void SetProgramMessages(TLanguageManager& manager);

// Empties every constant, as before the first language was applied; the
// program's own texts are English again.
void ClearMessageConstants();
