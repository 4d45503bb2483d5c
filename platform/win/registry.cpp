// Sections: the store (hives, files, built-in answers) | key handles |
// the API | TRegistry | TRegIniFile | TRegistryIniFile
#include "platform/rtl/encoding.h"
#include "platform/win/registry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <set>

#include "platform/rtl/stringlist.h"
#include "platform/win/shell.h"

namespace fs = std::filesystem;

// ---- the store --------------------------------------------------------------
//
// A hive file is text: "[path]" starts a key, "name=type:hex" is a value of
// that key ("=" at the start for the default value). "%", "=", "[", "]" and
// control characters in paths and names are written as %XX.

namespace {
constexpr size_t maxValueSize = 1 << 20;
constexpr std::streamoff maxHiveFileSize = 64 << 20;
// Longer key paths in a hive file are ignored (this also bounds the depth).
constexpr size_t maxKeyPathSize = 1024;

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

// "\\a\\\\b\\" gives "a\b".
std::string NormalPath(const std::string& path) {
  std::string out;
  for (char c : path) {
    if (c == '\\' && (out.empty() || out.back() == '\\')) continue;
    out += c;
  }
  if (!out.empty() && out.back() == '\\') out.pop_back();
  return out;
}

std::string JoinPath(const std::string& base, const std::string& sub) {
  std::string rel = NormalPath(sub);
  if (base.empty()) return rel;
  return rel.empty() ? base : base + "\\" + rel;
}

std::string Escape(const std::string& s) {
  return PercentEncode(s, [](unsigned char c) {
    return !(c < 0x20 || c == 0x7F || c == '%' || c == '=' || c == '[' || c == ']');
  });
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool Unescape(const std::string& s, std::string& out) {
  out.clear();
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '%') {
      out += s[i];
      continue;
    }
    if (i + 2 >= s.size() || HexDigit(s[i + 1]) < 0 || HexDigit(s[i + 2]) < 0) return false;
    out += static_cast<char>(HexDigit(s[i + 1]) * 16 + HexDigit(s[i + 2]));
    i += 2;
  }
  return true;
}

bool DecodeHex(const std::string& s, std::string& out) {
  if (s.size() % 2 != 0 || s.size() / 2 > maxValueSize) return false;
  out.clear();
  for (size_t i = 0; i < s.size(); i += 2) {
    int hi = HexDigit(s[i]), lo = HexDigit(s[i + 1]);
    if (hi < 0 || lo < 0) return false;
    out += static_cast<char>(hi * 16 + lo);
  }
  return true;
}

std::string EncodeHex(const std::string& bytes) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    out += hex[c >> 4];
    out += hex[c & 15];
  }
  return out;
}

struct Value {
  std::string name;
  DWORD type = REG_NONE;
  std::string data;
  bool builtIn = false;  // answered by the system, not stored
};

struct Key {
  std::string path;                      // as first written
  std::map<std::string, Value> values;  // by lower-case name
  bool builtIn = false;
};

struct Hive {
  const char* name;
  uintptr_t root;
  std::map<std::string, Key> keys;  // by lower-case path; "" is the root
  bool loaded = false;
  std::string file;                  // the file it was read from
  struct stat seen {};               // that file as last read or written
};

Hive hives[] = {
    {"HKEY_CLASSES_ROOT", 0x80000000, {}, false, {}, {}},  {"HKEY_CURRENT_USER", 0x80000001, {}, false, {}, {}},
    {"HKEY_LOCAL_MACHINE", 0x80000002, {}, false, {}, {}}, {"HKEY_USERS", 0x80000003, {}, false, {}, {}},
    {"HKEY_CURRENT_CONFIG", 0x80000005, {}, false, {}, {}},
};
std::mutex storeLock;

Hive* HiveOfRoot(HKEY root) {
  for (auto& h : hives) {
    if (reinterpret_cast<HKEY>(h.root) == root) return &h;
  }
  return nullptr;
}

std::string HiveFile(const Hive& hive) {
  std::string appData;
  SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, 0, appData);
  return appData + "/vesk/registry/" + hive.name + ".reg";
}

Key& EnsureKey(Hive& hive, const std::string& path) {
  std::string lower = Lower(path);
  auto it = hive.keys.find(lower);
  if (it != hive.keys.end()) return it->second;
  size_t slash = path.rfind('\\');
  if (!path.empty()) EnsureKey(hive, slash == std::string::npos ? "" : path.substr(0, slash));
  Key& key = hive.keys[lower];
  key.path = path;
  return key;
}

std::string StringData(const std::string& text) { return text + std::string(1, '\0'); }

// The answers of this system that no file holds.
void AddBuiltIns(Hive& hive) {
  auto add = [&hive](const std::string& path, const std::string& name, const std::string& text) {
    Key& key = EnsureKey(hive, path);
    key.builtIn = true;
    key.values.try_emplace(Lower(name), Value{name, REG_SZ, StringData(text), true});  // stored ones win
  };
  if (hive.root == 0x80000000) add("htmlfile\\shell\\open\\command", "", "xdg-open \"%1\"");
  if (hive.root == 0x80000001) {
    struct Folder {
      const char* name;
      int id;
    } folders[] = {{"Desktop", CSIDL_DESKTOP},
                   {"Personal", CSIDL_PERSONAL},
                   {"My Pictures", CSIDL_MYPICTURES},
                   {"AppData", CSIDL_APPDATA}};
    for (const auto& f : folders) {
      std::string path;
      SHGetFolderPathA(nullptr, f.id, nullptr, 0, path);
      add("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", f.name, path);
    }
  }
}

// A key named in a hive file: null when its path is damaged or too long.
// Creating a key creates its parents too, so one short line can ask for
// many keys; `budget` (bytes of key paths still allowed) keeps a hostile
// file from making the hive's memory grow with the square of its size.
Key* KeyOfHeader(Hive& hive, const std::string& escaped, int64_t& budget) {
  std::string text;
  if (!Unescape(escaped, text)) return nullptr;
  std::string path = NormalPath(text);
  if (path.size() > maxKeyPathSize) return nullptr;
  size_t before = hive.keys.size();
  Key& key = EnsureKey(hive, path);
  budget -= static_cast<int64_t>((hive.keys.size() - before) * path.size());
  return &key;
}

void ParseHive(Hive& hive, std::istream& in) {
  std::string line;
  Key* current = nullptr;
  // Our own files name every key on a line of its own, so they never use
  // more key-path bytes than they hold.
  int64_t budget = int64_t{1} << 20;
  while (budget > 0 && std::getline(in, line)) {
    budget += static_cast<int64_t>(line.size()) + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == ';') continue;
    if (line.front() == '[' && line.back() == ']') {
      current = KeyOfHeader(hive, line.substr(1, line.size() - 2), budget);
      continue;
    }
    size_t equals = line.find('=');
    size_t colon = line.find(':', equals);
    if (!current || equals == std::string::npos || colon == std::string::npos) continue;
    std::string typeText = line.substr(equals + 1, colon - equals - 1);
    if (typeText.empty() || typeText.size() > 9 || !std::all_of(typeText.begin(), typeText.end(), [](char c) { return c >= '0' && c <= '9'; })) continue;
    Value value;
    value.type = static_cast<DWORD>(std::stoul(typeText));
    if (!Unescape(line.substr(0, equals), value.name) || !DecodeHex(line.substr(colon + 1), value.data)) continue;
    current->values[Lower(value.name)] = value;
  }
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_ino == b.st_ino && a.st_size == b.st_size && a.st_mtim.tv_sec == b.st_mtim.tv_sec &&
         a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

// The hive as its file now holds it (read again when another writer changed it).
Hive& Current(Hive& hive) {
  std::string file = HiveFile(hive);
  struct stat st {};
  bool exists = ::stat(file.c_str(), &st) == 0;
  bool unchanged = exists ? SameFile(st, hive.seen) : hive.seen.st_ino == 0;
  if (hive.loaded && hive.file == file && unchanged) return hive;
  hive.keys.clear();
  hive.file = file;
  hive.seen = {};
  EnsureKey(hive, "");
  if (exists && st.st_size <= maxHiveFileSize) {
    std::ifstream in(file, std::ios::binary);
    ParseHive(hive, in);
    hive.seen = st;
  }
  AddBuiltIns(hive);
  hive.loaded = true;
  return hive;
}

// Writes the hive through a temporary file beside it; false when that fails.
bool Save(Hive& hive) {
  std::string file = HiveFile(hive);
  std::error_code ec;
  fs::create_directories(fs::path(file).parent_path(), ec);
  std::string text = "; registry hive " + std::string(hive.name) + "\n";
  for (const auto& [lower, key] : hive.keys) {
    bool anyStored = std::any_of(key.values.begin(), key.values.end(), [](const auto& v) { return !v.second.builtIn; });
    if (key.builtIn && !anyStored) continue;
    if (lower.empty() && !anyStored) continue;
    text += "[" + Escape(key.path) + "]\n";
    for (const auto& [n, value] : key.values) {
      if (!value.builtIn) text += Escape(value.name) + "=" + std::to_string(value.type) + ":" + EncodeHex(value.data) + "\n";
    }
  }
  std::string temp = file + ".XXXXXX";
  int fd = ::mkstemp(temp.data());
  if (fd < 0) return false;
  bool ok = true;
  for (size_t done = 0; ok && done < text.size();) {
    ssize_t put = ::write(fd, text.data() + done, text.size() - done);
    if (put < 0 && errno == EINTR) continue;
    ok = put > 0;
    if (ok) done += static_cast<size_t>(put);
  }
  ok = ::fsync(fd) == 0 && ok;
  ok = ::close(fd) == 0 && ok;
  if (!ok || ::rename(temp.c_str(), file.c_str()) != 0) {
    ::unlink(temp.c_str());
    return false;
  }
  ::stat(file.c_str(), &hive.seen);
  return true;
}
}  // namespace

std::string RegistryHiveFile(HKEY root) {
  Hive* hive = HiveOfRoot(root);
  return hive ? HiveFile(*hive) : std::string();
}

// ---- key handles ------------------------------------------------------------

namespace {
struct OpenKey {
  Hive* hive;
  std::string path;
  REGSAM access;
};
std::set<OpenKey*> openKeys;

// The hive and path of a root or opened key; false for an unknown handle.
bool Resolve(HKEY key, Hive*& hive, std::string& path, REGSAM& access) {
  if ((hive = HiveOfRoot(key))) {
    path.clear();
    access = KEY_ALL_ACCESS;
    return true;
  }
  auto* open = reinterpret_cast<OpenKey*>(key);
  if (!openKeys.count(open)) return false;
  hive = open->hive;
  path = open->path;
  access = open->access;
  return true;
}

HKEY NewHandle(Hive* hive, const std::string& path, REGSAM access) {
  auto* open = new OpenKey{hive, path, access};
  openKeys.insert(open);
  return reinterpret_cast<HKEY>(open);
}

Key* FindKey(Hive& hive, const std::string& path) {
  auto it = hive.keys.find(Lower(path));
  return it == hive.keys.end() ? nullptr : &it->second;
}

bool HasSubkeys(const Hive& hive, const std::string& path) {
  std::string prefix = Lower(path) + "\\";
  auto it = hive.keys.upper_bound(Lower(path));
  return it != hive.keys.end() && (path.empty() || it->first.compare(0, prefix.size(), prefix) == 0);
}

// The names of a key's direct subkeys, or of its values.
std::vector<std::string> ChildNames(HKEY handle, bool values) {
  std::lock_guard guard(storeLock);
  Hive* hive;
  std::string path;
  REGSAM access;
  std::vector<std::string> names;
  if (!Resolve(handle, hive, path, access)) return names;
  Key* key = FindKey(Current(*hive), path);
  if (!key) return names;
  if (values) {
    for (const auto& [lower, value] : key->values) names.push_back(value.name);
    return names;
  }
  std::string prefix = path.empty() ? "" : Lower(path) + "\\";
  for (const auto& [lower, child] : hive->keys) {
    if (lower.empty() || lower.compare(0, prefix.size(), prefix) != 0) continue;
    if (lower.find('\\', prefix.size()) == std::string::npos) names.push_back(child.path.substr(prefix.size()));
  }
  return names;
}

void AddAll(const std::vector<std::string>& names, TStrings& strings) {
  strings.Clear();
  for (const auto& name : names) strings.Add(name);
}

// The key and handle state behind `key` for a value operation.
struct ValueTarget {
  Hive* hive = nullptr;
  Key* key = nullptr;
  REGSAM access = 0;
};

LONG FindTarget(HKEY handle, ValueTarget& target) {
  std::string path;
  if (!Resolve(handle, target.hive, path, target.access)) return static_cast<LONG>(ERROR_INVALID_HANDLE);
  target.key = FindKey(Current(*target.hive), path);
  return target.key ? static_cast<LONG>(ERROR_SUCCESS) : static_cast<LONG>(ERROR_FILE_NOT_FOUND);
}

LONG Saved(Hive& hive) { return Save(hive) ? static_cast<LONG>(ERROR_SUCCESS) : static_cast<LONG>(ERROR_ACCESS_DENIED); }
}  // namespace

// ---- the API ----------------------------------------------------------------

LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD, REGSAM access, HKEY* result) {
  std::lock_guard guard(storeLock);
  Hive* hive;
  std::string base;
  REGSAM baseAccess;
  if (!result) return static_cast<LONG>(ERROR_INVALID_PARAMETER);
  *result = nullptr;
  if (!Resolve(key, hive, base, baseAccess)) return static_cast<LONG>(ERROR_INVALID_HANDLE);
  std::string path = JoinPath(base, subKey ? subKey : "");
  Key* found = FindKey(Current(*hive), path);
  if (!found) return static_cast<LONG>(ERROR_FILE_NOT_FOUND);
  *result = NewHandle(hive, found->path, access);
  return static_cast<LONG>(ERROR_SUCCESS);
}

LONG RegCreateKeyExA(HKEY key, const char* subKey, DWORD, const char*, DWORD, REGSAM access,
                     const SECURITY_ATTRIBUTES*, HKEY* result, DWORD* disposition) {
  std::lock_guard guard(storeLock);
  Hive* hive;
  std::string base;
  REGSAM baseAccess;
  if (!result) return static_cast<LONG>(ERROR_INVALID_PARAMETER);
  *result = nullptr;
  if (!Resolve(key, hive, base, baseAccess)) return static_cast<LONG>(ERROR_INVALID_HANDLE);
  std::string path = JoinPath(base, subKey ? subKey : "");
  Current(*hive);
  Key* found = FindKey(*hive, path);
  if (disposition) *disposition = found ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
  if (!found) {
    found = &EnsureKey(*hive, path);
    if (LONG rc = Saved(*hive); rc != static_cast<LONG>(ERROR_SUCCESS)) return rc;
  }
  *result = NewHandle(hive, found->path, access);
  return static_cast<LONG>(ERROR_SUCCESS);
}

LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD*, DWORD* type, BYTE* data, DWORD* size) {
  std::lock_guard guard(storeLock);
  ValueTarget target;
  if (LONG rc = FindTarget(key, target); rc != static_cast<LONG>(ERROR_SUCCESS)) return rc;
  auto it = target.key->values.find(Lower(valueName ? valueName : ""));
  if (it == target.key->values.end()) return static_cast<LONG>(ERROR_FILE_NOT_FOUND);
  const Value& value = it->second;
  if (type) *type = value.type;
  auto needed = static_cast<DWORD>(value.data.size());
  if (!data) {
    if (size) *size = needed;
    return static_cast<LONG>(ERROR_SUCCESS);
  }
  if (!size) return static_cast<LONG>(ERROR_INVALID_PARAMETER);
  if (*size < needed) {
    *size = needed;
    return static_cast<LONG>(ERROR_MORE_DATA);
  }
  std::memcpy(data, value.data.data(), needed);
  *size = needed;
  return static_cast<LONG>(ERROR_SUCCESS);
}

LONG RegSetValueExA(HKEY key, const char* valueName, DWORD, DWORD type, const BYTE* data, DWORD size) {
  std::lock_guard guard(storeLock);
  if (size > maxValueSize || (size > 0 && !data)) return static_cast<LONG>(ERROR_INVALID_PARAMETER);
  ValueTarget target;
  if (LONG rc = FindTarget(key, target); rc != static_cast<LONG>(ERROR_SUCCESS)) return rc;
  if (!(target.access & KEY_SET_VALUE)) return static_cast<LONG>(ERROR_ACCESS_DENIED);
  std::string name = valueName ? valueName : "";
  target.key->values[Lower(name)] = {name, type, std::string(reinterpret_cast<const char*>(data), size), false};
  return Saved(*target.hive);
}

LONG RegDeleteValueA(HKEY key, const char* valueName) {
  std::lock_guard guard(storeLock);
  ValueTarget target;
  if (LONG rc = FindTarget(key, target); rc != static_cast<LONG>(ERROR_SUCCESS)) return rc;
  if (!(target.access & KEY_SET_VALUE)) return static_cast<LONG>(ERROR_ACCESS_DENIED);
  auto it = target.key->values.find(Lower(valueName ? valueName : ""));
  if (it == target.key->values.end() || it->second.builtIn) return static_cast<LONG>(ERROR_FILE_NOT_FOUND);
  target.key->values.erase(it);
  return Saved(*target.hive);
}

namespace {
LONG DeleteKeyAt(HKEY key, const char* subKey, bool withSubkeys) {
  std::lock_guard guard(storeLock);
  Hive* hive;
  std::string base;
  REGSAM access;
  if (!Resolve(key, hive, base, access)) return static_cast<LONG>(ERROR_INVALID_HANDLE);
  std::string path = JoinPath(base, subKey ? subKey : "");
  Current(*hive);
  if (path.empty() || !FindKey(*hive, path)) return static_cast<LONG>(path.empty() ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND);
  if (!withSubkeys && HasSubkeys(*hive, path)) return static_cast<LONG>(ERROR_ACCESS_DENIED);
  std::string lower = Lower(path);
  for (auto it = hive->keys.begin(); it != hive->keys.end();) {
    bool inside = it->first == lower || it->first.compare(0, lower.size() + 1, lower + "\\") == 0;
    it = inside ? hive->keys.erase(it) : std::next(it);
  }
  LONG rc = Saved(*hive);
  hive->loaded = false;  // built-in answers come back on the next read
  return rc;
}
}  // namespace

LONG RegDeleteKeyA(HKEY key, const char* subKey) { return DeleteKeyAt(key, subKey, false); }
LONG RegDeleteTreeA(HKEY key, const char* subKey) { return DeleteKeyAt(key, subKey, true); }

LONG RegCloseKey(HKEY key) {
  std::lock_guard guard(storeLock);
  if (HiveOfRoot(key)) return static_cast<LONG>(ERROR_SUCCESS);
  auto* open = reinterpret_cast<OpenKey*>(key);
  if (!openKeys.erase(open)) return static_cast<LONG>(ERROR_INVALID_HANDLE);
  delete open;
  return static_cast<LONG>(ERROR_SUCCESS);
}

// ---- TRegistry --------------------------------------------------------------

TRegistry::TRegistry(REGSAM access) : access_(access) {}

TRegistry::~TRegistry() { CloseKey(); }

void TRegistry::SetRootKey(HKEY root) {
  CloseKey();
  root_ = root;
}

std::string TRegistry::AbsolutePath(const std::string& key) const {
  bool fromRoot = !key.empty() && key[0] == '\\';
  return JoinPath(fromRoot || !current_ ? "" : currentPath_, key);
}

bool TRegistry::OpenKey(const std::string& key, bool canCreate) {
  std::string path = AbsolutePath(key);
  HKEY opened = nullptr;
  LONG rc = canCreate ? RegCreateKeyExA(root_, path.c_str(), 0, nullptr, 0, access_, nullptr, &opened, nullptr)
                      : RegOpenKeyExA(root_, path.c_str(), 0, access_, &opened);
  if (rc != static_cast<LONG>(ERROR_SUCCESS)) return false;
  CloseKey();
  current_ = opened;
  currentPath_ = path;
  return true;
}

bool TRegistry::OpenKeyReadOnly(const std::string& key) {
  REGSAM saved = access_;
  access_ = KEY_READ;
  bool ok = OpenKey(key, false);
  access_ = saved;
  return ok;
}

void TRegistry::CloseKey() {
  if (current_) RegCloseKey(current_);
  current_ = nullptr;
  currentPath_.clear();
}

bool TRegistry::KeyExists(const std::string& key) {
  HKEY probe = nullptr;
  if (RegOpenKeyExA(root_, AbsolutePath(key).c_str(), 0, KEY_READ, &probe) != static_cast<LONG>(ERROR_SUCCESS)) {
    return false;
  }
  RegCloseKey(probe);
  return true;
}

bool TRegistry::DeleteKey(const std::string& key) {
  return RegDeleteTreeA(root_, AbsolutePath(key).c_str()) == static_cast<LONG>(ERROR_SUCCESS);
}

bool TRegistry::ValueExists(const std::string& name) {
  return current_ && RegQueryValueExA(current_, name.c_str(), nullptr, nullptr, nullptr, nullptr) ==
                         static_cast<LONG>(ERROR_SUCCESS);
}

bool TRegistry::DeleteValue(const std::string& name) {
  return current_ && RegDeleteValueA(current_, name.c_str()) == static_cast<LONG>(ERROR_SUCCESS);
}

std::string TRegistry::ReadString(const std::string& name) {
  DWORD type = REG_NONE, size = 0;
  HKEY key = current_ ? current_ : root_;
  if (RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size) != static_cast<LONG>(ERROR_SUCCESS)) return "";
  if (type != REG_SZ && type != REG_EXPAND_SZ) throw ERegistryException("Invalid data type for '" + name + "'");
  std::string data(size, '\0');
  if (size > 0 && RegQueryValueExA(key, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()), &size) !=
                      static_cast<LONG>(ERROR_SUCCESS)) {
    return "";
  }
  data.resize(std::min<size_t>(size, data.find('\0')));  // up to the first NUL
  return data;
}

int32_t TRegistry::ReadInteger(const std::string& name) {
  DWORD type = REG_NONE, size = sizeof(int32_t);
  int32_t value = 0;
  LONG rc = RegQueryValueExA(current_ ? current_ : root_, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value),
                             &size);
  if (rc != static_cast<LONG>(ERROR_SUCCESS) || type != REG_DWORD || size != sizeof(int32_t)) {
    throw ERegistryException("Invalid data type for '" + name + "'");
  }
  return value;
}

void TRegistry::GetKeyNames(TStrings& strings) { AddAll(ChildNames(current_ ? current_ : root_, false), strings); }

void TRegistry::GetValueNames(TStrings& strings) { AddAll(ChildNames(current_ ? current_ : root_, true), strings); }

void TRegistry::WriteValue(const std::string& name, DWORD type, const void* data, DWORD size) {
  if (RegSetValueExA(current_ ? current_ : root_, name.c_str(), 0, type, static_cast<const BYTE*>(data), size) !=
      static_cast<LONG>(ERROR_SUCCESS)) {
    throw ERegistryException("Failed to set data for '" + name + "'");
  }
}

void TRegistry::WriteString(const std::string& name, const std::string& value) {
  std::string data = StringData(value);
  WriteValue(name, REG_SZ, data.data(), static_cast<DWORD>(data.size()));
}

void TRegistry::WriteInteger(const std::string& name, int32_t value) {
  WriteValue(name, REG_DWORD, &value, sizeof value);
}

// ---- TRegIniFile ------------------------------------------------------------

TRegIniFile::TRegIniFile(const std::string& fileName, REGSAM access) : TRegistry(access), fileName_(fileName) {
  OpenKey(fileName, true);
  filePath_ = CurrentPath();
}

std::string TRegIniFile::SectionPath(const std::string& section) const {
  return "\\" + JoinPath(filePath_, section);
}

std::string TRegIniFile::ReadString(const std::string& section, const std::string& ident,
                                    const std::string& defaultValue) {
  TRegistry reg(KEY_READ);
  reg.SetRootKey(RootKey());
  if (!reg.OpenKey(SectionPath(section), false) || !reg.ValueExists(ident)) return defaultValue;
  try {
    return reg.ReadString(ident);
  } catch (const ERegistryException&) {
  }
  try {
    return std::to_string(reg.ReadInteger(ident));
  } catch (const ERegistryException&) {
    return defaultValue;
  }
}

void TRegIniFile::WriteString(const std::string& section, const std::string& ident, const std::string& value) {
  TRegistry reg;
  reg.SetRootKey(RootKey());
  if (!reg.OpenKey(SectionPath(section), true)) throw ERegistryException("Failed to set data for '" + ident + "'");
  reg.WriteString(ident, value);
}

int32_t TRegIniFile::ReadInteger(const std::string& section, const std::string& ident, int32_t defaultValue) {
  std::string text = ReadString(section, ident, "");
  if (text.empty()) return defaultValue;
  errno = 0;
  char* end = nullptr;
  long long value = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || value < INT32_MIN || value > INT32_MAX) return defaultValue;
  return static_cast<int32_t>(value);
}

void TRegIniFile::WriteInteger(const std::string& section, const std::string& ident, int32_t value) {
  WriteString(section, ident, std::to_string(value));
}

void TRegIniFile::EraseSection(const std::string& section) { TRegistry::DeleteKey(SectionPath(section)); }

void TRegIniFile::DeleteKey(const std::string& section, const std::string& ident) {
  TRegistry reg;
  reg.SetRootKey(RootKey());
  if (reg.OpenKey(SectionPath(section), false)) reg.DeleteValue(ident);
}

void TRegIniFile::ReadSection(const std::string& section, TStrings& strings) {
  TRegistry reg(KEY_READ);
  reg.SetRootKey(RootKey());
  if (reg.OpenKey(SectionPath(section), false)) {
    reg.GetValueNames(strings);
  } else {
    strings.Clear();
  }
}

void TRegIniFile::ReadSections(TStrings& strings) {
  TRegistry reg(KEY_READ);
  reg.SetRootKey(RootKey());
  if (reg.OpenKey("\\" + filePath_, false)) {
    reg.GetKeyNames(strings);
  } else {
    strings.Clear();
  }
}

// ---- TRegistryIniFile -------------------------------------------------------

TRegistryIniFile::TRegistryIniFile(const std::string& fileName, REGSAM access)
    : TCustomIniFile(fileName), regIniFile_(std::make_unique<TRegIniFile>(fileName, access)) {}

TRegistryIniFile::~TRegistryIniFile() = default;

std::string TRegistryIniFile::ReadString(const std::string& section, const std::string& ident,
                                         const std::string& defaultValue) {
  return regIniFile_->ReadString(section, ident, defaultValue);
}

void TRegistryIniFile::WriteString(const std::string& section, const std::string& ident, const std::string& value) {
  regIniFile_->WriteString(section, ident, value);
}

void TRegistryIniFile::ReadSection(const std::string& section, TStrings& strings) {
  regIniFile_->ReadSection(section, strings);
}

void TRegistryIniFile::ReadSections(TStrings& strings) { regIniFile_->ReadSections(strings); }

void TRegistryIniFile::ReadSectionValues(const std::string& section, TStrings& strings) {
  TStringList names;
  regIniFile_->ReadSection(section, names);
  strings.Clear();
  for (int32_t i = 0; i < names.Count(); ++i) {
    strings.Add(names.Strings(i) + "=" + regIniFile_->ReadString(section, names.Strings(i), ""));
  }
}

void TRegistryIniFile::EraseSection(const std::string& section) { regIniFile_->EraseSection(section); }

void TRegistryIniFile::DeleteKey(const std::string& section, const std::string& ident) {
  regIniFile_->DeleteKey(section, ident);
}
