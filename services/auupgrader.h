// The auto-upgrader's update information file: its signature, its values
// and the decision whether it offers a newer version.
//
// The file is trusted only after its detached signature (the file's address
// + ".sig": 64 bytes of Ed25519 over the file's bytes) checked against the
// public key built into the program. Every listed file then needs its
// "#urlN.sha256=" and "#urlN.size=" lines, and a destination that stays in
// the folders an upgrade may write to.
//
// Sections: types - values - signature - parse and decision.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// --- Types ----------------------------------------------------------------------

enum TauUpgraderVersionControl { byDate, byNumber };
enum TacUpgradeMethod { umSelfUpgrade, umUseExternalSetup, umRedirectToURL };

// The largest information file accepted.
constexpr size_t kMaxInfoFileSize = 64 * 1024;

// One listed file of an upgrade.
struct TauUpgradeFile {
  std::string line;         // the list's line: URL, optionally "=" and destination
  std::string url;          // the part before the first "="
  std::string target;       // the full path it replaces (destination expanded)
  std::string sha256;       // 64 lower-case hexadecimal digits
  int64_t size = -1;        // the signed size in bytes
  std::string refusal;      // why this file may not be fetched; empty when it may
};

// What a signed information file holds.
struct TauInfoFile {
  std::string version, date, message;
  bool hasVersion = false, hasDate = false;
  TacUpgradeMethod method = umSelfUpgrade;
  std::vector<TauUpgradeFile> files;
};

// The running program as the decision sees it.
struct TauRunningVersion {
  TauUpgraderVersionControl control = byDate;
  std::string number;  // dotted version, "1.9.3.1"
  std::string date;    // month/day/year
  bool infoFromFile = false;  // the information file itself came by file://
};

enum class TauInfoVerdict {
  Newer,     // an upgrade with at least one file is offered
  NotNewer,  // no newer version, or no file listed
  Refused,   // the file breaks a rule: treated as no information file
};

struct TauInfoCheck {
  TauInfoVerdict verdict = TauInfoVerdict::Refused;
  std::string reason;  // for the log, when refused
  TauInfoFile info;
};

// --- Values -----------------------------------------------------------------------

// The value of a key: searched as lower-case key + "=" (+ "{" when braced)
// anywhere in the lower-cased text; it runs to the first "}" when braced,
// else to the first character below 32. Empty when absent.
std::string GetInfoValue(std::string_view text, const std::string& key, bool braced);

// --- Signature --------------------------------------------------------------------

// The public key built into the program (PEM).
const std::string& UpdatePublicKeyPem();
// True when signature is exactly 64 bytes of Ed25519 by the key over file.
bool VerifyInfoFileSignature(std::string_view file, std::string_view signature,
                             const std::string& publicKeyPem = UpdatePublicKeyPem());

// --- Parse and decision -------------------------------------------------------------

// A dotted version of 1 to 4 fields, each 1 to 9 decimal digits.
bool IsWellFormedVersion(const std::string& version);
// A date "month/day/year" that names a real day; the date in `date`.
bool TryParseVersionDate(const std::string& text, double& date);
// An https:// address without blanks, quotes or control characters.
bool IsPlainHttpsAddress(const std::string& url);
// The file a destination names ("" for none: the URL's name in the program
// folder), or an empty text with the reason in `refusal`.
std::string ResolveDestination(const std::string& url, const std::string& destination, std::string& refusal);

// Parses a signed information file and decides against the running version.
TauInfoCheck CheckInfoFile(std::string_view text, const TauRunningVersion& running);
