// The update information file: values, signature, destinations and the
// "newer" decision.
//
// Sections: values - signature - versions and dates - addresses and
// destinations - the check.
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>

#include "platform/rtl/datetime.h"
#include "platform/rtl/sysutils.h"
#include "services/auupgrader.h"
#include "services/auutils.h"

// --- Values -----------------------------------------------------------------------

namespace {

// Looks values up in a text lowered once.
class InfoText {
public:
  explicit InfoText(std::string_view text) : text_(text), lower_(LowerCase(std::string(text))) {}

  std::string Value(const std::string& key, bool braced) const {
    const std::string search = LowerCase(key) + (braced ? "={" : "=");
    size_t at = lower_.find(search);
    if (at == std::string::npos) return {};
    size_t start = at + search.size(), end = start;
    if (braced) {
      end = text_.find('}', start);
    } else {
      while (end < text_.size() && static_cast<unsigned char>(text_[end]) >= 32) ++end;
    }
    return std::string(text_.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
  }

private:
  std::string_view text_;
  std::string lower_;
};

}  // namespace

std::string GetInfoValue(std::string_view text, const std::string& key, bool braced) {
  return InfoText(text).Value(key, braced);
}

// --- Signature --------------------------------------------------------------------

const std::string& UpdatePublicKeyPem() {
  static const std::string pem =
#include "services/update_key.inc"
      ;
  return pem;
}

bool VerifyInfoFileSignature(std::string_view file, std::string_view signature, const std::string& publicKeyPem) {
  if (signature.size() != 64) return false;
  std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new_mem_buf(publicKeyPem.data(), static_cast<int>(publicKeyPem.size())),
                                                &BIO_free);
  if (!bio) return false;
  std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(PEM_read_bio_PUBKEY(bio.get(), nullptr, nullptr, nullptr),
                                                          &EVP_PKEY_free);
  if (!key || EVP_PKEY_get_id(key.get()) != EVP_PKEY_ED25519) return false;
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
  if (!ctx || EVP_DigestVerifyInit(ctx.get(), nullptr, nullptr, nullptr, key.get()) != 1) return false;
  return EVP_DigestVerify(ctx.get(), reinterpret_cast<const unsigned char*>(signature.data()), signature.size(),
                          reinterpret_cast<const unsigned char*>(file.data()), file.size()) == 1;
}

// --- Versions and dates -------------------------------------------------------------

bool IsWellFormedVersion(const std::string& version) {
  size_t fields = 0, start = 0;
  for (;;) {
    size_t dot = version.find('.', start);
    std::string field = version.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
    if (field.empty() || field.size() > 9 || field.find_first_not_of("0123456789") != std::string::npos) return false;
    if (++fields > 4) return false;
    if (dot == std::string::npos) return true;
    start = dot + 1;
  }
}

bool TryParseVersionDate(const std::string& text, double& date) {
  size_t first = text.find('/');
  size_t second = first == std::string::npos ? std::string::npos : text.find('/', first + 1);
  if (second == std::string::npos) return false;
  int32_t month = 0, day = 0, year = 0;
  if (!TryStrToInt(text.substr(0, first), month) || !TryStrToInt(text.substr(first + 1, second - first - 1), day) ||
      !TryStrToInt(text.substr(second + 1), year))
    return false;
  TDateTime value = 0;
  if (!TryEncodeDate(year, month, day, value)) return false;
  date = value;
  return true;
}

// --- Addresses and destinations -------------------------------------------------------

namespace {

bool startsWithNoCase(const std::string& text, const char* prefix) {
  return LowerCase(text.substr(0, std::strlen(prefix))) == prefix;
}

bool hasControlCharacter(const std::string& text) {
  return std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 32; });
}

bool isPlainName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && !hasControlCharacter(name);
}

// The folders an upgrade may write into, each with a trailing "/".
std::vector<std::string> allowedRoots() {
  std::vector<std::string> roots = {ProgramFolder()};
  for (int32_t index : {4, 2, 3, 1}) {
    const std::string folder = GetSpecialFolder(index);
    if (!folder.empty() && folder != "/") roots.push_back(folder);
  }
  return roots;
}

bool isInside(const std::filesystem::path& path, const std::filesystem::path& root) {
  auto [r, p] = std::mismatch(root.begin(), root.end(), path.begin(), path.end());
  return r == root.end() || (std::next(r) == root.end() && r->empty());
}

// The folder holding `target` lies in `root`, also after links are followed.
bool insideByRealPath(const std::string& target, const std::string& root) {
  std::error_code error;
  auto realRoot = std::filesystem::canonical(root, error);
  if (error) return false;
  auto realFolder = std::filesystem::weakly_canonical(std::filesystem::path(target).parent_path(), error);
  return !error && isInside(realFolder, realRoot);
}

}  // namespace

bool IsPlainHttpsAddress(const std::string& url) {
  if (!startsWithNoCase(url, "https://") || url.size() <= 8) return false;
  return std::none_of(url.begin(), url.end(), [](char c) {
    return static_cast<unsigned char>(c) <= 32 || c == '"' || c == '\'' || c == 127;
  });
}

std::string ResolveDestination(const std::string& url, const std::string& destination, std::string& refusal) {
  refusal.clear();
  std::string target;
  if (destination.empty()) {
    const std::string name = URLToFileName(url);
    if (!isPlainName(name)) {
      refusal = "the address names no file";
      return {};
    }
    target = ProgramFolder() + name;
  } else {
    if (hasControlCharacter(destination)) {
      refusal = "the destination holds a control character";
      return {};
    }
    target = ExpandPathMacros(destination, true);
    if (target.empty()) {
      refusal = "a folder of the destination does not exist here";
      return {};
    }
  }
  std::replace(target.begin(), target.end(), '\\', '/');
  size_t start = 0;
  std::string name;
  for (;;) {
    size_t slash = target.find('/', start);
    name = target.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
    if (name == "." || name == "..") {
      refusal = "the destination leaves its folder";
      return {};
    }
    if (slash == std::string::npos) break;
    start = slash + 1;
  }
  if (!isPlainName(name)) {
    refusal = "the destination names no file";
    return {};
  }
  const auto roots = allowedRoots();
  bool inside = std::any_of(roots.begin(), roots.end(), [&](const std::string& root) {
    return target.compare(0, root.size(), root) == 0 && insideByRealPath(target, root);
  });
  if (!inside) {
    refusal = "the destination lies outside the folders an upgrade may change";
    return {};
  }
  struct stat st {};
  if (lstat(target.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    refusal = "the destination exists and is no regular file";
    return {};
  }
  return target;
}

// --- The check ------------------------------------------------------------------------

namespace {

// More files than an upgrade of this program could need.
constexpr size_t kMaxListedFiles = 256;

struct ListedKey {
  std::string key;   // "#url", "#url0", "#url3"
  std::string line;  // its value
};

std::vector<ListedKey> listedFiles(const InfoText& text) {
  std::vector<ListedKey> listed;
  for (const char* key : {"#url", "#url0"}) {
    std::string value = text.Value(key, false);
    if (!value.empty()) listed.push_back({key, value});
  }
  for (size_t n = listed.size() + 1; listed.size() <= kMaxListedFiles; ++n) {
    const std::string key = "#url" + std::to_string(n);
    std::string value = text.Value(key, false);
    if (value.empty()) break;
    listed.push_back({key, value});
  }
  return listed;
}

bool isSha256(const std::string& text) {
  return text.size() == 64 && text.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
}

bool trySize(const std::string& text, int64_t& size) {
  if (text.empty() || text.size() > 18 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  size = std::stoll(text);
  return true;
}

TauInfoCheck& refuse(TauInfoCheck& check, std::string reason) {
  check.verdict = TauInfoVerdict::Refused;
  check.reason = std::move(reason);
  return check;
}

// Newer by the running program's rule; a lower "#version" is refused first.
TauInfoVerdict decide(const TauInfoFile& info, const TauRunningVersion& running, std::string& reason) {
  const bool runningNumbered = IsWellFormedVersion(running.number);
  if (info.hasVersion) {
    if (!IsWellFormedVersion(info.version)) {
      reason = "the offered version is no dotted number";
      return TauInfoVerdict::Refused;
    }
    if (runningNumbered && CompareVersions(info.version, running.number) < 0) {
      reason = "the offered version is older than the running one";
      return TauInfoVerdict::Refused;
    }
  }
  if (running.control == byNumber) {
    return info.hasVersion && runningNumbered && CompareVersions(info.version, running.number) > 0
               ? TauInfoVerdict::Newer
               : TauInfoVerdict::NotNewer;
  }
  double offered = 0, current = 0;
  if (!info.hasDate || !TryParseVersionDate(info.date, offered) || !TryParseVersionDate(running.date, current))
    return TauInfoVerdict::NotNewer;
  return offered > current ? TauInfoVerdict::Newer : TauInfoVerdict::NotNewer;
}

// Hash, size, address and destination of one listed file; false when the
// information file itself is at fault.
bool describeFile(const InfoText& text, const ListedKey& listed, const TauRunningVersion& running,
                  TauUpgradeFile& file, std::string& reason) {
  file.line = listed.line;
  size_t equals = listed.line.find('=');
  file.url = listed.line.substr(0, equals);
  const std::string destination = equals == std::string::npos ? std::string() : listed.line.substr(equals + 1);
  file.sha256 = LowerCase(text.Value(listed.key + ".sha256", false));
  if (!isSha256(file.sha256) || !trySize(text.Value(listed.key + ".size", false), file.size)) {
    reason = "no hash or size line for " + listed.key;
    return false;
  }
  const bool https = startsWithNoCase(file.url, "https://");
  const bool local = startsWithNoCase(file.url, "file://") && running.infoFromFile;
  if (!https && !local) {
    file.refusal = "the address is neither https:// nor a file beside a local information file";
    return true;
  }
  file.target = ResolveDestination(file.url, destination, file.refusal);
  return true;
}

}  // namespace

TauInfoCheck CheckInfoFile(std::string_view body, const TauRunningVersion& running) {
  TauInfoCheck check;
  if (body.size() > kMaxInfoFileSize) return refuse(check, "the information file is too large");
  const InfoText text(body);
  TauInfoFile& info = check.info;
  info.version = text.Value("#version", false);
  info.date = text.Value("#date", false);
  info.hasVersion = !info.version.empty();
  info.hasDate = !info.date.empty();
  info.message = text.Value("#message", true);
  const std::string method = text.Value("#method", false);
  info.method = method.starts_with("1") ? umUseExternalSetup : method.starts_with("2") ? umRedirectToURL : umSelfUpgrade;
  const auto listed = listedFiles(text);
  if (listed.size() > kMaxListedFiles) return refuse(check, "too many files listed");

  check.verdict = decide(info, running, check.reason);
  if (check.verdict != TauInfoVerdict::Newer) return check;
  if (listed.empty()) {
    check.verdict = TauInfoVerdict::NotNewer;
    return check;
  }
  if (info.method == umRedirectToURL) {
    for (const auto& l : listed) info.files.push_back({l.line, l.line, {}, {}, -1, {}});
    if (!IsPlainHttpsAddress(listed.front().line))
      return refuse(check, "the page to open is no plain https:// address");
    return check;
  }
  for (const auto& l : listed) {
    TauUpgradeFile file;
    if (!describeFile(text, l, running, file, check.reason)) return refuse(check, check.reason);
    info.files.push_back(std::move(file));
  }
  return check;
}
