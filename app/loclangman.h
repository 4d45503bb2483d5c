// The language manager: finds the language files of a code beside the
// program, loads their constants, resource strings and window texts into
// keyed stores, sets those texts on a window and its components, and lists
// the languages available. One instance, LanguageManager, serves the program.
//
// Sections: language codes | the manager | the process-wide instance
//
// Language files are "<base>.<code>.lng" (8-bit text, Windows-1252), ".lngu"
// (UTF-8) or ".lngz" (recognised, never read); everything is held as UTF-8.
// A file is ini-like: "[language info]" (languagename, rtl), "[constants]"
// (names starting "@" are resource strings), "[messages]" (reserved) and one
// section per window class whose keys are property paths ("Label8.Caption",
// "self.Caption", "typeList.Items.Text", "Panel1.Caption.Text").
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/forms/classes.h"
#include "platform/rtl/stringlist.h"

class TMemIniFile;

// ---- language codes ----------------------------------------------------------

// The language code of a Windows language id ("de" for 1031); "" when unknown.
std::string LanguageCodeFromLCID(uint16_t lcid);
// The code of the user's default language.
std::string GetUserLanguageCode();

// ---- the manager -------------------------------------------------------------

enum TLangBiDiMode { lbdLeftToRight, lbdRightToLeft };

// A store of the manager: keys in upper case, sorted, each with its text.
using TLanguageStore = std::map<std::string, std::string>;

class TLanguageManager : public TPersistent {
public:
  TLanguageManager();
  ~TLanguageManager() override;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  const TStringList& ActiveFiles() const { return activeFiles_; }
  TStringList& FileNames() { return fileNames_; }
  const std::string& Folder() const { return folder_; }
  void SetFolder(const std::string& folder) { folder_ = folder; }
  bool RecursiveFolder() const { return recursiveFolder_; }
  void SetRecursiveFolder(bool value) { recursiveFolder_ = value; }
  const std::string& LanguageName() const { return languageName_; }
  const std::string& LanguageCode() const { return languageCode_; }
  // Loads the code's language files. On success the stores hold the new
  // language and OnLanguageChanged fires; on any failure LastError says why
  // and the language in force (code, name, stores) stays as it was.
  void SetLanguageCode(const std::string& code);
  TLangBiDiMode BiDiMode() const { return biDiMode_; }
  const TLanguageStore& Properties() const { return properties_; }
  const TLanguageStore& Constants() const { return constants_; }
  const TLanguageStore& ResourceStrings() const { return resourceStrings_; }
  bool AllowSpecialProps() const { return allowSpecialProps_; }
  void SetAllowSpecialProps(bool value) { allowSpecialProps_ = value; }
  const std::string& LastError() const { return lastError_; }

  std::function<void(TObject* sender)> OnLanguageChanged;

  // Loads the current code again.
  void Reload();
  // One "code=name" entry per language whose files name it.
  bool GetLanguages(TStrings& list);
  // A constant, resource string ("@name") or property text; the default
  // (escapes decoded) when there is none.
  std::string GetText(const std::string& name, const std::string& defaultValue);
  // Sets the texts of the section (the component's class name when empty)
  // on the component and what it owns. With onlyThis, keys that reach
  // another object than the component itself are skipped. False when a key
  // failed; LastError lists each.
  bool TranslateComponent(TComponent& component, const std::string& sectionName = "",
                          bool onlyThis = false);
  // Empties the chosen stores (the resource strings always).
  void ClearLists(bool constants, bool properties, bool messages, bool activeFiles);

  // The loaders behind SetLanguageCode, into the manager's stores.
  bool LoadLanguageFile(const std::string& fileName, std::string& languageName, std::string& error);
  bool LoadFromIni(TMemIniFile& ini, bool merge, std::string& languageName);

private:
  struct Stores;
  static bool LoadIniInto(TMemIniFile& ini, Stores& stores, std::string& languageName);
  void TakeStores(Stores& stores);
  void PutStores(Stores& stores);
  bool LoadInto(Stores& stores, const std::string& fileName, std::string& languageName,
                std::string& error);
  void FindFiles(const std::string& code, TStringList& eightBit, TStringList& utf8);
  void FilterByFileNames(TStringList& list);
  void SetTextProperty(TComponent& root, const std::string& path, const std::string& value,
                       TComponent* only);

  TStringList activeFiles_;
  TStringList fileNames_;
  std::string folder_;
  bool recursiveFolder_ = false;
  std::string languageName_;
  std::string languageCode_;
  TLangBiDiMode biDiMode_ = lbdLeftToRight;
  TLanguageStore properties_, constants_, resourceStrings_;
  TStringList messages_, messageValues_;  // the reserved "messages" section
  bool allowSpecialProps_ = true;
  std::string lastError_;
};

// ---- language file helpers ---------------------------------------------------

// Appends the language files of the code ("" = any) found in the folder (and
// its sub-folders first when recursive): ".lng" then ".lngz" files to
// eightBit, ".lngu" files to utf8, each with its folder.
void FindLanguageFiles(const std::string& folder, TStringList& eightBit, TStringList& utf8,
                       bool recursive, const std::string& code);
// Reads a language file into an in-memory ini, as UTF-8 text.
std::unique_ptr<TMemIniFile> OpenLanguageFile(const std::string& fileName);
// "\n" becomes CR LF and "\t" a tab.
void DecodeEscapes(std::string& text);

// ---- the process-wide instance -----------------------------------------------

// The program's manager (its folder: "Langs" beside the executable); made by
// CreateLanguageManager at start-up and freed by FreeLanguageManager.
extern TLanguageManager* LanguageManager;
void CreateLanguageManager();
void FreeLanguageManager();
