// Supporting routines of the auto-upgrader.
//
// Sections: program and folders - online - files - texts, numbers and
// dates - the private folder - TauStringList.
#include "services/auutils.h"

#include <fcntl.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <ctime>

#include "platform/rtl/dynlib.h"
#include "platform/rtl/files.h"
#include "platform/rtl/sysutils.h"
#include "platform/win/kernel_files.h"
#include "platform/win/shell.h"

// --- Program and folders ------------------------------------------------------

const std::string& ProgramFileName() {
  static const std::string name = ExecutableFileName();
  return name;
}

const std::string& ProgramFolder() {
  static const std::string folder = ExtractFilePath(ProgramFileName());
  return folder;
}

namespace {

const std::array<std::string, kPathMacroCount> kPathMacros = {
    "%current%", "%desktop%", "%mydocuments%", "%mypictures%", "%appdata%", "%programfiles%", "%windows%",
    "%system%",  "%temp%",    "%help%",        "%media%",      "%cursors%", ""};

std::string withDelimiter(const std::string& folder) {
  return folder.empty() ? std::string() : IncludeTrailingPathDelimiter(folder);
}

// The shell folder of a CSIDL, empty when there is none.
std::string shellFolder(int csidl) {
  std::string path;
  return SHGetFolderPathA(nullptr, csidl, nullptr, 0, path) == 0 ? withDelimiter(path) : std::string();
}

bool isDelimiter(char c) { return c == '/' || c == '\\'; }

}  // namespace

const std::string& PathMacro(int32_t index) {
  static const std::string none;
  return index >= 0 && index < kPathMacroCount ? kPathMacros[static_cast<size_t>(index)] : none;
}

std::string GetWindowsFolder() { return withDelimiter(GetWindowsDirectoryA()); }
std::string GetSystemFolder() { return withDelimiter(GetSystemDirectoryA()); }

std::string GetTempFolder() {
  std::string temp = withDelimiter(GetTempPathA());
  struct stat st {};
  if (!temp.empty() && stat(temp.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return temp;
  return ProgramFolder();
}

std::string GetSpecialFolder(int32_t index) {
  switch (index) {
    case 1: return shellFolder(CSIDL_DESKTOP);
    case 2: return shellFolder(CSIDL_PERSONAL);
    case 3: return shellFolder(CSIDL_MYPICTURES);
    case 4: return shellFolder(CSIDL_APPDATA);
    case 5: return withDelimiter(GetWindowsFolder().substr(0, 3) + "Program Files");
    case 6: return GetWindowsFolder();
    case 7: return GetSystemFolder();
    case 8: return GetTempFolder();
    case 9: return withDelimiter(GetWindowsFolder() + "HELP");
    case 10: return withDelimiter(GetWindowsFolder() + "MEDIA");
    case 11: return withDelimiter(GetWindowsFolder() + "CURSORS");
    case 12: return {};
    default: return ProgramFolder();
  }
}

std::string ExpandPathMacros(const std::string& path, bool makeAbsolute) {
  std::string result = path;
  for (int32_t i = 0; i < kPathMacroCount - 1; ++i) {
    const std::string& macro = kPathMacros[static_cast<size_t>(i)];
    if (LowerCase(result).find(macro) == std::string::npos) continue;
    const std::string folder = GetSpecialFolder(i);
    if (folder.empty()) return {};
    // The macro's folder ends in a delimiter: one that follows it is dropped.
    for (size_t at; (at = LowerCase(result).find(macro)) != std::string::npos;) {
      size_t end = at + macro.size();
      if (end < result.size() && isDelimiter(result[end])) ++end;
      result.replace(at, end - at, folder);
    }
  }
  if (makeAbsolute && !result.empty() && !isDelimiter(result[0])) result = ProgramFolder() + result;
  return result;
}

// --- Online -------------------------------------------------------------------

bool HasNetworkAddress() {
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return false;
  bool found = false;
  for (ifaddrs* a = list; a && !found; a = a->ifa_next) {
    if (!a->ifa_addr) continue;
    if (a->ifa_addr->sa_family == AF_INET) {
      const auto* in = reinterpret_cast<const sockaddr_in*>(a->ifa_addr);
      found = (ntohl(in->sin_addr.s_addr) >> 24) != 127;
    } else if (a->ifa_addr->sa_family == AF_INET6) {
      const auto* in6 = reinterpret_cast<const sockaddr_in6*>(a->ifa_addr);
      found = !IN6_IS_ADDR_LOOPBACK(&in6->sin6_addr) && !IN6_IS_ADDR_LINKLOCAL(&in6->sin6_addr);
    }
  }
  freeifaddrs(list);
  return found;
}

bool IsOnline() { return HasNetworkAddress(); }

// --- Files --------------------------------------------------------------------

void ForceFileDirectories(const std::string& fileName) {
  for (size_t at = 1; at < fileName.size(); ++at) {
    if (isDelimiter(fileName[at])) mkdir(fileName.substr(0, at).c_str(), 0755);
  }
}

int64_t GetFileSize64(const std::string& fileName) {
  struct stat st {};
  if (stat(fileName.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  return static_cast<int64_t>(st.st_size);
}

std::string URLToFileName(const std::string& url) {
  size_t at = url.find_last_of("/\\:");
  return at == std::string::npos ? url : url.substr(at + 1);
}

// --- Texts, numbers and dates ---------------------------------------------------

namespace {

// A version field as a number, -1 when it is none (or out of range).
int64_t versionField(const std::string& field) {
  if (field.empty() || field.size() > 18 || field.find_first_not_of("0123456789") != std::string::npos) return -1;
  return std::stoll(field);
}

std::array<std::string, 4> versionFields(const std::string& text) {
  std::array<std::string, 4> fields = {"0", "0", "0", "0"};
  std::string rest = text + ".";
  for (std::string& field : fields) {
    if (rest.empty()) break;
    size_t dot = rest.find('.');
    field = rest.substr(0, dot);
    rest.erase(0, dot + 1);
  }
  return fields;
}

int8_t compareCharacters(const std::string& a, const std::string& b) {
  for (size_t i = 0;; ++i) {
    int ca = i < a.size() ? static_cast<unsigned char>(a[i]) : 0;
    int cb = i < b.size() ? static_cast<unsigned char>(b[i]) : 0;
    if (ca != cb) return static_cast<int8_t>(std::clamp(ca - cb, -128, 127));
    if (i >= a.size() && i >= b.size()) return 0;
  }
}

}  // namespace

int8_t CompareVersions(const std::string& a, const std::string& b) {
  const auto fa = versionFields(a), fb = versionFields(b);
  for (size_t i = 0; i < 4; ++i) {
    int64_t va = versionField(fa[i]), vb = versionField(fb[i]);
    if (va < 0 || vb < 0) return compareCharacters(a, b);
    if (va != vb) return va > vb ? 1 : -1;
  }
  return 0;
}

uint8_t PercentOf(long double part, long double whole) {
  if (whole == 0) return 0;
  long double value = std::nearbyint(part * 100 / whole);
  if (!std::isfinite(value) || std::fabs(value) > 1e18L) return 0;
  return static_cast<uint8_t>(static_cast<int64_t>(value) & 0xFF);
}

TDateTime TimeZoneBias() {
  time_t now = time(nullptr);
  tm local{};
  localtime_r(&now, &local);
  return -static_cast<double>(local.tm_gmtoff) / 86400.0;
}

TDateTime UTCToLocalTime(TDateTime dateTime) { return dateTime - TimeZoneBias(); }

namespace {

constexpr const char* kMonths[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                   "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
constexpr const char* kDays[] = {"SUN", "MON", "TUE", "WED", "THU", "FRI", "SAT"};

int32_t monthNumber(const std::string& word) {
  const std::string upper = UpperCase(word);
  for (int32_t i = 0; i < 12; ++i)
    if (upper == kMonths[i]) return i + 1;
  return 0;
}

int32_t numberOr(const std::string& text, int32_t fallback) {
  int32_t value = 0;
  return TryStrToInt(Trim(text), value) ? value : fallback;
}

std::string dropLeadingSpaces(const std::string& s) { return s.substr(std::min(s.find_first_not_of(' '), s.size())); }

// Cuts the text before the first separator off `rest` (all of it when none).
std::string takeWord(std::string& rest, char separator) {
  size_t at = rest.find(separator);
  std::string word = rest.substr(0, at);
  rest = at == std::string::npos ? std::string() : rest.substr(at + 1);
  return word;
}

// A zone of "+hhmm" or "-hhmm" as a fraction of a day; 0 for anything else.
double zoneOffset(const std::string& rest) {
  const std::string zone = Trim(rest).substr(0, 5);
  if (zone.size() < 5 || (zone[0] != '+' && zone[0] != '-')) return 0;
  if (zone.find_first_not_of("0123456789", 1) != std::string::npos) return 0;
  int32_t hours = std::stoi(zone.substr(1, 2)), minutes = std::stoi(zone.substr(3, 2));
  if (hours > 23 || minutes > 59) return 0;
  double offset = (hours * 60 + minutes) / 1440.0;
  return zone[0] == '-' ? -offset : offset;
}

}  // namespace

TDateTime ParseHTTPDate(const std::string& text) {
  std::string rest = Trim(text);
  if (rest.empty()) return 0;
  const std::string first = UpperCase(rest.substr(0, 3));
  if (std::find(std::begin(kDays), std::end(kDays), first) != std::end(kDays)) {
    takeWord(rest, ' ');
    rest = dropLeadingSpaces(rest);
  }
  size_t dash = rest.find('-'), space = rest.find(' ');
  const char separator = dash != std::string::npos && dash >= 1 && dash < space ? '-' : ' ';
  std::string probe = rest.substr(0, rest.find(separator));
  int32_t month = 0, day = 1;
  if (probe.size() == 3 && monthNumber(probe) > 0) {
    month = monthNumber(takeWord(rest, separator));
    rest = dropLeadingSpaces(rest);
    day = numberOr(takeWord(rest, separator), 1);
  } else {
    day = numberOr(takeWord(rest, separator), 1);
    rest = dropLeadingSpaces(rest);
    month = monthNumber(takeWord(rest, separator));
  }
  rest = dropLeadingSpaces(rest);
  std::string word = takeWord(rest, ' ');
  int32_t year = numberOr(word, 1900);
  if (year == 1900) {  // asctime: the time comes before the year
    year = numberOr(rest, 1900);
    rest = word;
  }
  if (year >= 0 && year < 80) year += 2000;
  else if (year >= 80 && year < 100) year += 1900;
  TDateTime date = 0;
  if (!TryEncodeDate(year, month, day, date)) return 0;
  rest = dropLeadingSpaces(rest);
  if (rest.find(':') != std::string::npos) {
    std::string time = takeWord(rest, ' ');
    int32_t h = numberOr(takeWord(time, ':'), 0), m = numberOr(takeWord(time, ':'), 0), s = numberOr(time, 0);
    TDateTime clock = 0;
    if (TryEncodeTime(h, m, s, 0, clock)) date += clock;
    rest = dropLeadingSpaces(rest);
  }
  if (rest.size() >= 5) date -= zoneOffset(rest);
  return UTCToLocalTime(date);
}

int32_t LastPos(const std::string& sub, const std::string& text) {
  if (sub.empty() || text.empty()) return 0;
  size_t at = text.rfind(sub);
  return at == std::string::npos ? 0 : static_cast<int32_t>(at + 1);
}

void SplitAt(const std::string& separator, const std::string& text, std::string& left, std::string& right,
             bool missingToRight, int32_t flags) {
  size_t at = separator.empty() ? std::string::npos : text.find(separator);
  if (at == std::string::npos) {
    left = missingToRight ? std::string() : text;
    right = missingToRight ? text : std::string();
    return;
  }
  left = text.substr(0, at) + ((flags & 1) ? separator : std::string());
  right = ((flags & 2) ? separator : std::string()) + text.substr(at + separator.size());
}

void SplitOff(std::string& text, const std::string& separator, bool remove, std::string& head) {
  size_t at = separator.empty() ? std::string::npos : text.find(separator);
  head = text.substr(0, at);
  if (remove) text = at == std::string::npos ? std::string() : text.substr(at + separator.size());
}

std::string StripLeadingChar(const std::string& text, char c) {
  return text.substr(std::min(text.find_first_not_of(c), text.size()));
}

std::string StripLeadingBackslashes(const std::string& text) { return StripLeadingChar(text, '\\'); }

// --- The private folder -----------------------------------------------------------

std::string UpgraderPrivateFolder() {
  const std::string folder = GetTempFolder() + "vesk-upgrader-" + std::to_string(getuid());
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return {};
  struct stat st {};
  if (lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid() ||
      (st.st_mode & 07777) != 0700)
    return {};
  return folder + "/";
}

// --- TauStringList ----------------------------------------------------------------

int32_t TauStringList::Add(const std::string& s) {
  if (MaxCount <= 0) return -1;
  int32_t found = -1;
  if (Sorted()) {
    int32_t at = 0;
    found = Find(s, at) ? at : -1;
  } else {
    found = IndexOf(s);
  }
  if (found >= 0 && Duplicates() == dupIgnore) return found;
  if (found >= 0 && Duplicates() == dupError) throw EStringListError("String list does not allow duplicates");
  if (GetCount() >= MaxCount) {
    TNotifyEvent saved = OnChange;
    OnChange = nullptr;
    Delete(0);
    OnChange = saved;
  }
  return TStringList::Add(s);
}

int32_t TauStringList::SeparatorPos(int32_t index) const {
  const std::string item = Get(index);
  if (NameValueSeparator.empty()) return -1;
  size_t at = SeparatorFromEnd ? item.rfind(NameValueSeparator) : item.find(NameValueSeparator);
  return at == std::string::npos ? -1 : static_cast<int32_t>(at);
}

std::string TauStringList::GetName(int32_t index) const {
  int32_t at = SeparatorPos(index);
  return at < 0 ? Get(index) : Get(index).substr(0, static_cast<size_t>(at));
}

std::string TauStringList::GetValue(int32_t index) const {
  int32_t at = SeparatorPos(index);
  return at < 0 ? std::string() : Get(index).substr(static_cast<size_t>(at) + NameValueSeparator.size());
}

void TauStringList::SetValue(int32_t index, const std::string& value) {
  int32_t at = SeparatorPos(index);
  if (at >= 0) Put(index, GetName(index) + NameValueSeparator + value);
}

bool TauStringList::SaveValuesToFile(const std::string& fileName) const {
  std::string text;
  for (int32_t i = 0; i < GetCount(); ++i) {
    const std::string value = GetValue(i);
    if (!value.empty()) text += value + "\r\n";
  }
  if (text.empty()) return true;
  const std::string folder = UpgraderPrivateFolder();
  if (folder.empty() || ExtractFilePath(fileName) != folder || ExtractFileName(fileName).empty()) return false;
  const std::string staging = fileName + ".new";
  unlink(staging.c_str());
  int fd = open(staging.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  bool ok = true;
  for (size_t done = 0; ok && done < text.size();) {
    ssize_t n = write(fd, text.data() + done, text.size() - done);
    ok = n > 0;
    if (ok) done += static_cast<size_t>(n);
  }
  ok = ok && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  ok = ok && rename(staging.c_str(), fileName.c_str()) == 0;
  if (!ok) unlink(staging.c_str());
  return ok;
}
