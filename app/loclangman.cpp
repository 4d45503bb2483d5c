// The language manager and its files; see loclangman.h.
//
// Sections: language codes | files | loading | look-ups and translation |
// the process-wide instance
#include "app/loclangman.h"

#include <algorithm>
#include <array>
#include <utility>

#include "platform/forms/menus.h"
#include "platform/forms/properties.h"
#include "platform/rtl/dynlib.h"
#include "platform/rtl/encoding.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/files.h"
#include "platform/rtl/inifiles.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"
#include "platform/win/locale.h"

// ---- language codes ----------------------------------------------------------

namespace {

struct LcidCodes {
  const char* code;
  std::initializer_list<uint16_t> lcids;
};

// Windows language ids by language code.
const std::array<LcidCodes, 117>& LcidTable() {
  static const std::array<LcidCodes, 117> table = {{
      {"ar", {1025, 2049, 3073, 4097, 5121, 6145, 7169, 8193, 9217, 10241, 11265, 12289, 13313, 14337, 15361, 16385}},
      {"bg", {1026}}, {"ca", {1027}}, {"zh", {1028, 2052, 3076, 4100, 5124}}, {"cs", {1029}}, {"da", {1030}},
      {"de", {1031, 2055, 3079, 4103, 5127}}, {"el", {1032}},
      {"en", {1033, 2057, 3081, 4105, 5129, 6153, 7177, 8201, 9225, 10249, 11273, 12297, 13321, 16393, 17417, 18441}},
      {"fi", {1035}}, {"fr", {1036, 2060, 3084, 4108, 5132, 6156}}, {"he", {1037}}, {"hu", {1038}},
      {"is", {1039}}, {"it", {1040, 2064}}, {"ja", {1041}}, {"ko", {1042}}, {"nl", {1043, 2067}},
      {"no", {1044, 2068}}, {"pl", {1045}}, {"pt", {1046, 2070}}, {"rm", {1047}}, {"ro", {1048}},
      {"ru", {1049}}, {"hr", {1050, 4122}}, {"sk", {1051}}, {"sq", {1052}}, {"sv", {1053, 2077}},
      {"th", {1054}}, {"tr", {1055}}, {"ur", {1056, 2080}}, {"id", {1057}}, {"uk", {1058}}, {"be", {1059}},
      {"sl", {1060}}, {"et", {1061}}, {"lv", {1062}}, {"lt", {1063}}, {"tg", {1064}}, {"fa", {1065}},
      {"vi", {1066}}, {"hy", {1067}}, {"az", {1068, 2092}}, {"eu", {1069}}, {"wen", {1070}}, {"mk", {1071}},
      {"tn", {1074}}, {"xh", {1076}}, {"zu", {1077}}, {"af", {1078}}, {"ka", {1079}}, {"fo", {1080}},
      {"hi", {1081}}, {"mt", {1082}}, {"se", {1083, 2107, 3131, 4155, 5179, 6203, 7227, 8251, 9275}},
      {"ms", {1086, 2110}}, {"kk", {1087}}, {"ky", {1088}}, {"sw", {1089}}, {"tk", {1090}},
      {"uz", {1091, 2115}}, {"tt", {1092}}, {"bn", {1093}}, {"pa", {1094}}, {"gu", {1095}}, {"or", {1096}},
      {"ta", {1097}}, {"te", {1098}}, {"kn", {1099}}, {"ml", {1100}}, {"as", {1101}}, {"mr", {1102}},
      {"sa", {1103}}, {"mn", {1104, 2128}}, {"bo", {1105}}, {"cy", {1106}}, {"kh", {1107}}, {"lo", {1108}},
      {"gl", {1110}}, {"kok", {1111}}, {"syr", {1114}}, {"si", {1115}}, {"iu", {1117, 2141}}, {"am", {1118}},
      {"ne", {1121}}, {"fy", {1122}}, {"ps", {1123}}, {"fil", {1124}}, {"dv", {1125}}, {"ha", {1128}},
      {"yo", {1130}}, {"quz", {1131, 2155, 3179}}, {"ns", {1132}}, {"ba", {1133}}, {"lb", {1134}},
      {"kl", {1135}}, {"ig", {1136}}, {"ii", {1144}}, {"arn", {1146}}, {"moh", {1148}}, {"br", {1150}},
      {"ug", {1152}}, {"mi", {1153}}, {"oc", {1154}}, {"co", {1155}}, {"gsw", {1156}}, {"sah", {1157}},
      {"qut", {1158}}, {"rw", {1159}}, {"wo", {1160}}, {"gbz", {1164}},
      {"es", {2058, 3082, 4106, 5130, 6154, 7178, 8202, 9226, 10250, 11274, 12298, 13322, 14346, 15370, 16394,
              17418, 18442, 19466, 20490}},
      {"sr", {2074, 3098, 6170, 31770}}, {"dsb", {2094}}, {"ga", {2108}}, {"tmz", {2143}},
      {"bs", {5146, 8218, 30746}},
  }};
  return table;
}

}  // namespace

std::string LanguageCodeFromLCID(uint16_t lcid) {
  for (const auto& entry : LcidTable())
    if (std::find(entry.lcids.begin(), entry.lcids.end(), lcid) != entry.lcids.end()) return entry.code;
  return {};
}

std::string GetUserLanguageCode() { return LanguageCodeFromLCID(GetUserDefaultLangID()); }

// ---- files -------------------------------------------------------------------

namespace {

const char kUtf8Bom[] = "\xEF\xBB\xBF";

// Indonesian has two codes; files of either serve both.
std::vector<std::string> CodeAliases(const std::string& code) {
  const std::string lower = LowerCase(code);
  if (lower == "id" || lower == "in") return {"id", "in"};
  return {code};
}

void AddMatches(const std::string& folder, const std::string& mask, TStrings& list) {
  TSearchRec rec;
  for (int32_t r = FindFirst(folder + mask, faAnyFile & ~faDirectory, rec); r == 0; r = FindNext(rec))
    if (!(rec.Attr & faDirectory)) list.Add(folder + rec.Name);
  FindClose(rec);
}

// The middle extension of "base.code.ext", lower case.
std::string CodeOfFile(const std::string& fileName) {
  const std::string withoutExt = ChangeFileExt(ExtractFileName(fileName), "");
  const std::string ext = ExtractFileExt(withoutExt);
  return ext.empty() ? std::string() : LowerCase(ext.substr(1));
}

}  // namespace

void FindLanguageFiles(const std::string& folder, TStringList& eightBit, TStringList& utf8, bool recursive,
                       const std::string& code) {
  const std::string dir = IncludeTrailingPathDelimiter(folder);
  if (recursive) {
    TSearchRec rec;
    for (int32_t r = FindFirst(dir + "*", faAnyFile, rec); r == 0; r = FindNext(rec))
      if ((rec.Attr & faDirectory) && rec.Name != "." && rec.Name != "..")
        FindLanguageFiles(dir + rec.Name, eightBit, utf8, true, code);
    FindClose(rec);
  }
  const std::string middle = code.empty() ? "*" : code;
  AddMatches(dir, "*." + middle + ".lng", eightBit);
  AddMatches(dir, "*." + middle + ".lngz", eightBit);
  AddMatches(dir, "*." + middle + ".lngu", utf8);
}

std::unique_ptr<TMemIniFile> OpenLanguageFile(const std::string& fileName) {
  TFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
  std::string bytes(static_cast<size_t>(file.Size()), '\0');
  if (!bytes.empty()) file.ReadBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  std::string text;
  if (bytes.size() >= 4 && bytes.compare(0, 3, kUtf8Bom) == 0)
    text = bytes.substr(3);
  else if (LowerCase(ExtractFileExt(fileName)) == ".lngu")
    text = bytes;
  else
    text = CodePageToUtf8(bytes, 1252);
  TStringList lines;
  lines.SetText(text);
  auto ini = std::make_unique<TMemIniFile>("");
  ini->SetStrings(lines);
  return ini;
}

void DecodeEscapes(std::string& text) {
  text = StringReplace(text, "\\n", "\r\n", {rfReplaceAll});
  text = StringReplace(text, "\\t", "\t", {rfReplaceAll});
}

// ---- loading -----------------------------------------------------------------

struct TLanguageManager::Stores {
  TLanguageStore properties, constants, resourceStrings;
  TStringList files;
  TLangBiDiMode biDiMode = lbdLeftToRight;
};

TLanguageManager::TLanguageManager() { folder_ = IncludeTrailingPathDelimiter(ExecutableFolder()) + "Langs"; }

TLanguageManager::~TLanguageManager() { ClearLists(true, true, true, true); }

const TClassInfo& TLanguageManager::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<TLanguageManager>("TLanguageManager", &TPersistent::StaticClassInfo(), [](auto& p) {
        p.String("Folder", &TLanguageManager::Folder, &TLanguageManager::SetFolder)
            .Boolean("RecursiveFolder", &TLanguageManager::RecursiveFolder, &TLanguageManager::SetRecursiveFolder)
            .String("LanguageName", &TLanguageManager::LanguageName)
            .String("LanguageCode", &TLanguageManager::LanguageCode, &TLanguageManager::SetLanguageCode)
            .Boolean("AllowSpecialProps", &TLanguageManager::AllowSpecialProps,
                     &TLanguageManager::SetAllowSpecialProps)
            .String("LastError", &TLanguageManager::LastError)
            .Event("OnLanguageChanged", &TLanguageManager::OnLanguageChanged);
      });
  return info;
}

void TLanguageManager::FilterByFileNames(TStringList& list) {
  if (fileNames_.Count() == 0) return;
  for (int32_t i = list.Count() - 1; i >= 0; --i) {
    const std::string name = ExtractFileName(list.Strings(i));
    bool keep = false;
    for (int32_t j = 0; j < fileNames_.Count() && !keep; ++j)
      keep = MatchesMask(name, fileNames_.Strings(j) + ".*.*");
    if (!keep) list.Delete(i);
  }
}

void TLanguageManager::FindFiles(const std::string& code, TStringList& eightBit, TStringList& utf8) {
  const std::string programLangs = IncludeTrailingPathDelimiter(ExecutableFolder()) + "Langs";
  for (const std::string& alias : CodeAliases(code)) {
    if (!folder_.empty() && DirectoryExists(folder_)) {
      FindLanguageFiles(folder_, eightBit, utf8, recursiveFolder_, alias);
    } else {
      FindLanguageFiles(programLangs, eightBit, utf8, recursiveFolder_, alias);
      if (eightBit.Count() == 0 && utf8.Count() == 0)
        FindLanguageFiles(ExecutableFolder(), eightBit, utf8, recursiveFolder_, alias);
    }
    if (eightBit.Count() > 0 || utf8.Count() > 0) break;
  }
  FilterByFileNames(eightBit);
  FilterByFileNames(utf8);
}

bool TLanguageManager::LoadIniInto(TMemIniFile& ini, Stores& stores, std::string& languageName) {
  const std::string name = ini.ReadString("language info", "languagename", "");
  if (languageName.empty()) languageName = name;
  if (stores.biDiMode != lbdRightToLeft && ini.ReadInteger("language info", "rtl", 0) != 0)
    stores.biDiMode = lbdRightToLeft;
  // A later entry, in one file or in a later file, replaces an equal key.
  TStringList values;
  ini.ReadSectionValues("constants", values);
  for (int32_t i = 0; i < values.Count(); ++i) {
    const std::string key = AnsiUpperCase(values.Names(i));
    if (key.empty()) continue;
    std::string value = values.ValueFromIndex(i);
    DecodeEscapes(value);
    (key[0] == '@' ? stores.resourceStrings : stores.constants)[key] = value;
  }
  TStringList sections;
  ini.ReadSections(sections);
  for (int32_t s = 0; s < sections.Count(); ++s) {
    const std::string section = sections.Strings(s);
    if (SameText(section, "language info") || SameText(section, "constants") || SameText(section, "messages"))
      continue;
    ini.ReadSectionValues(section, values);
    const std::string prefix = AnsiUpperCase(section) + ".";
    for (int32_t i = 0; i < values.Count(); ++i) {
      if (values.Names(i).empty()) continue;
      std::string value = values.ValueFromIndex(i);
      DecodeEscapes(value);
      stores.properties[prefix + AnsiUpperCase(values.Names(i))] = value;
    }
  }
  return true;
}

bool TLanguageManager::LoadFromIni(TMemIniFile& ini, bool /*merge: equal keys always take the later value*/,
                                   std::string& languageName) {
  Stores stores;
  TakeStores(stores);
  const bool ok = LoadIniInto(ini, stores, languageName);
  PutStores(stores);
  return ok;
}

bool TLanguageManager::LoadInto(Stores& stores, const std::string& fileName, std::string& languageName,
                                std::string& error) {
  error.clear();
  stores.files.Add(fileName);
  if (LowerCase(ExtractFileExt(fileName)) == ".lngz") return false;
  try {
    return LoadIniInto(*OpenLanguageFile(fileName), stores, languageName);
  } catch (const std::exception& e) {
    error = e.what();
    return false;
  }
}

bool TLanguageManager::LoadLanguageFile(const std::string& fileName, std::string& languageName,
                                        std::string& error) {
  Stores stores;
  TakeStores(stores);
  const bool ok = LoadInto(stores, fileName, languageName, error);
  PutStores(stores);
  activeFiles_.AddStrings(stores.files);
  return ok;
}

void TLanguageManager::TakeStores(Stores& stores) {
  stores.properties = std::move(properties_);
  stores.constants = std::move(constants_);
  stores.resourceStrings = std::move(resourceStrings_);
  stores.biDiMode = biDiMode_;
}

void TLanguageManager::PutStores(Stores& stores) {
  properties_ = std::move(stores.properties);
  constants_ = std::move(stores.constants);
  resourceStrings_ = std::move(stores.resourceStrings);
  biDiMode_ = stores.biDiMode;
}

void TLanguageManager::SetLanguageCode(const std::string& code) {
  lastError_.clear();
  if (code.empty()) return;
  TStringList eightBit, utf8;
  FindFiles(code, eightBit, utf8);
  if (eightBit.Count() == 0 && utf8.Count() == 0) {
    lastError_ = "Language not found (" + code + ")";
    return;
  }
  // Load into new stores: the language in force stays when any file fails.
  Stores stores;
  std::string name, errors;
  bool failed = false;
  for (TStringList* list : {&eightBit, &utf8}) {
    for (int32_t i = 0; i < list->Count(); ++i) {
      std::string error;
      if (!LoadInto(stores, list->Strings(i), name, error)) {
        failed = true;
        errors += "\r\n" + error;
      }
    }
  }
  if (failed) {
    lastError_ = errors.substr(2);
    if (lastError_.empty()) lastError_ = "Language files could not be read (" + code + ")";
    return;
  }
  PutStores(stores);
  activeFiles_.Assign(stores.files);
  messages_.Clear();
  messageValues_.Clear();
  languageCode_ = code;
  languageName_ = name;
  if (OnLanguageChanged) OnLanguageChanged(this);
}

void TLanguageManager::Reload() { SetLanguageCode(languageCode_); }

bool TLanguageManager::GetLanguages(TStrings& list) {
  lastError_.clear();
  list.Clear();
  try {
    TStringList eightBit, utf8;
    FindFiles("", eightBit, utf8);
    eightBit.AddStrings(utf8);
    for (int32_t i = 0; i < eightBit.Count(); ++i) {
      const std::string file = eightBit.Strings(i);
      const std::string code = CodeOfFile(file);
      if (code.empty() || list.IndexOfName(code) >= 0 || LowerCase(ExtractFileExt(file)) == ".lngz") continue;
      std::string name;
      try {
        name = OpenLanguageFile(file)->ReadString("language info", "languagename", "");
      } catch (const std::exception&) {
      }
      if (!name.empty()) list.Add(code + "=" + name);
    }
    return true;
  } catch (const std::exception& e) {
    lastError_ = e.what();
    return false;
  }
}

// ---- look-ups and translation ------------------------------------------------

std::string TLanguageManager::GetText(const std::string& name, const std::string& defaultValue) {
  if (!name.empty()) {
    const std::string key = AnsiUpperCase(name);
    if (key[0] == '@') {
      if (auto it = resourceStrings_.find(key); it != resourceStrings_.end()) return it->second;
    } else {
      if (auto it = constants_.find(key); it != constants_.end()) return it->second;
      if (auto it = properties_.find(key); it != properties_.end()) return it->second;
    }
  }
  std::string text = defaultValue;
  DecodeEscapes(text);
  return text;
}

void TLanguageManager::SetTextProperty(TComponent& root, const std::string& path, const std::string& value,
                                       TComponent* only) {
  TPropertyTarget target;
  try {
    target = ResolvePropertyPath(root, path);
  } catch (const EComponentError&) {
    return;  // a component this window does not have
  }
  if (only && target.Object != only) return;
  if (auto* list = dynamic_cast<TStrings*>(target.Object)) {
    const std::string prop = UpperCase(target.Property);
    if (prop == "TEXT")
      list->SetText(value);
    else if (prop == "COMMATEXT")
      list->SetCommaText(value);
    else if (prop == "DELIMITEDTEXT")
      list->SetDelimitedText(value);
    return;
  }
  auto* object = dynamic_cast<TPersistent*>(target.Object);
  const TPropInfo* info = object ? FindPropInfo(*object, target.Property) : nullptr;
  if (!info) throw EPropertyError("Unknown property: \"" + target.Property + "\"");
  if (allowSpecialProps_ && SameText(target.Property, "SHORTCUT") && info->Kind == tkInteger && info->SetOrd) {
    info->SetOrd(*object, TextToShortCut(value));
    return;
  }
  // Language files change texts only: never sizes, colours or behaviour.
  if (info->Kind != tkString) throw EPropertyError("Not a text property: \"" + target.Property + "\"");
  SetPropText(*target.Object, target.Property, value);
}

bool TLanguageManager::TranslateComponent(TComponent& component, const std::string& sectionName, bool onlyThis) {
  lastError_.clear();
  try {
    const std::string prefix = AnsiUpperCase(sectionName.empty() ? component.ClassName() : sectionName) + ".";
    for (auto it = properties_.lower_bound(prefix);
         it != properties_.end() && it->first.compare(0, prefix.size(), prefix) == 0; ++it) {
      try {
        SetTextProperty(component, it->first.substr(prefix.size()), it->second, onlyThis ? &component : nullptr);
      } catch (const std::exception& e) {
        lastError_ += "\r\n\r\nTLanguageManager (" + it->first + "):\r\n      " + e.what();
      }
    }
  } catch (const std::exception& e) {
    lastError_ += std::string("\r\n\r\nTLanguageManager:\r\n      ") + e.what();
  }
  return lastError_.empty();
}

void TLanguageManager::ClearLists(bool constants, bool properties, bool messages, bool activeFiles) {
  if (constants) constants_.clear();
  if (properties) properties_.clear();
  if (messages) {
    messages_.Clear();
    messageValues_.Clear();
  }
  if (activeFiles) activeFiles_.Clear();
  resourceStrings_.clear();
}

// ---- the process-wide instance -----------------------------------------------

TLanguageManager* LanguageManager = nullptr;

void CreateLanguageManager() {
  if (!LanguageManager) LanguageManager = new TLanguageManager();
}

void FreeLanguageManager() {
  delete LanguageManager;
  LanguageManager = nullptr;
}
