#include "services/auupgrader.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

#include "services/auutils.h"
#include "tests/services/test_folder.h"

namespace {

std::string publicPem(EVP_PKEY* key) {
  BIO* bio = BIO_new(BIO_s_mem());
  PEM_write_bio_PUBKEY(bio, key);
  char* data = nullptr;
  long size = BIO_get_mem_data(bio, &data);
  std::string pem(data, static_cast<size_t>(size));
  BIO_free(bio);
  return pem;
}

// A key pair of the test's own.
struct TestKey {
  EVP_PKEY* key = EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519");
  ~TestKey() { EVP_PKEY_free(key); }

  std::string PublicPem() const { return publicPem(key); }
  void WritePrivatePem(const std::string& fileName) const {
    FILE* f = std::fopen(fileName.c_str(), "w");
    PEM_write_PrivateKey(f, key, nullptr, nullptr, 0, nullptr, nullptr);
    std::fclose(f);
  }
  std::string Sign(const std::string& data) const {
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    EVP_DigestSignInit(ctx, nullptr, nullptr, nullptr, key);
    std::string signature(64, '\0');
    size_t size = signature.size();
    EVP_DigestSign(ctx, reinterpret_cast<unsigned char*>(signature.data()), &size,
                   reinterpret_cast<const unsigned char*>(data.data()), data.size());
    EVP_MD_CTX_free(ctx);
    return signature;
  }
};

std::string otherKindOfKeyPem() {
  EVP_PKEY* key = EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256");
  std::string pem = publicPem(key);
  EVP_PKEY_free(key);
  return pem;
}

const std::string kHash(64, 'a');

}  // namespace

TEST(AuInfoFile, SignatureIsExactly64BytesOfEd25519ByTheKey) {
  TestKey key, stranger;
  const std::string file = "#version=2.0\r\n#url=https://h/a\r\n";
  const std::string good = key.Sign(file);
  struct Case {
    const char* name;
    std::string file, signature, pem;
    bool valid;
  };
  std::string tampered = file;
  tampered[10] ^= 1;
  std::string flipped = good;
  flipped[0] ^= 1;
  const Case cases[] = {
      {"good", file, good, key.PublicPem(), true},
      {"file changed", tampered, good, key.PublicPem(), false},
      {"signature changed", file, flipped, key.PublicPem(), false},
      {"signature short", file, good.substr(0, 63), key.PublicPem(), false},
      {"signature long", file, good + "x", key.PublicPem(), false},
      {"empty signature", file, "", key.PublicPem(), false},
      {"another key", file, stranger.Sign(file), key.PublicPem(), false},
      {"not an Ed25519 key", file, good, otherKindOfKeyPem(), false},
      {"no key", file, good, "-----BEGIN PUBLIC KEY-----\nAAAA\n-----END PUBLIC KEY-----\n", false},
  };
  for (const Case& c : cases) EXPECT_EQ(VerifyInfoFileSignature(c.file, c.signature, c.pem), c.valid) << c.name;
}

// The signing procedure of data/upgrader/README.md, with the test's own key.
TEST(AuInfoFile, SignatureMadeByTheOpensslToolIsAccepted) {
  TempFolder temp;
  TestKey key;
  key.WritePrivatePem(temp / "key.pem");
  const std::string file = "#version=2.0\n#url=https://h/a\n";
  temp.Write("info.txt", file);
  const std::string command = "openssl pkeyutl -sign -rawin -inkey '" + (temp / "key.pem") + "' -in '" +
                              (temp / "info.txt") + "' -out '" + (temp / "info.txt.sig") + "'";
  ASSERT_EQ(std::system(command.c_str()), 0);
  EXPECT_TRUE(VerifyInfoFileSignature(file, ReadAll(temp / "info.txt.sig"), key.PublicPem()));
}

TEST(AuInfoFile, TheBuiltInKeyIsTheRepositorysPublicKey) {
  EXPECT_EQ(UpdatePublicKeyPem(), ReadAll(std::string(VESK_SOURCE_DIR) + "/data/upgrader/update-key.pub.pem"));
}

TEST(AuInfoFile, ValuesAreFoundInAnyCaseAndRunToTheLineEnd) {
  const std::string text = "#Version= 1.2\r\n#MESSAGE={two\nlines} #method=2x\n#date=01/02/2020";
  EXPECT_EQ(GetInfoValue(text, "#version", false), " 1.2");
  EXPECT_EQ(GetInfoValue(text, "#message", true), "two\nlines");
  EXPECT_EQ(GetInfoValue(text, "#method", false), "2x");
  EXPECT_EQ(GetInfoValue(text, "#date", false), "01/02/2020");
  EXPECT_EQ(GetInfoValue(text, "#url", false), "");
  EXPECT_EQ(GetInfoValue("#message= {x}", "#message", true), "");
  EXPECT_EQ(GetInfoValue("#message={unclosed", "#message", true), "unclosed");
}

namespace {

// A listed file with its hash and size lines.
std::string listed(const std::string& key, const std::string& line) {
  return key + "=" + line + "\n" + key + ".sha256=" + kHash + "\n" + key + ".size=10\n";
}

}  // namespace

TEST(AuInfoFile, DecisionTable) {
  TempFolder temp;
  ScopedEnv config("XDG_CONFIG_HOME", temp / "config");
  std::filesystem::create_directories(temp / "config");
  const TauRunningVersion numbered{byNumber, "1.9.3.1", "04/08/2019", false};
  const TauRunningVersion dated{byDate, "1.9.3.1", "04/08/2019", false};
  const TauRunningVersion local{byNumber, "1.9.3.1", "04/08/2019", true};
  const std::string file = listed("#url", "https://h/new.bin");
  using V = TauInfoVerdict;
  struct Case {
    const char* name;
    std::string text;
    TauRunningVersion running;
    V verdict;
    size_t files;
  };
  const Case cases[] = {
      {"newer number", "#version=1.10\n" + file, numbered, V::Newer, 1},
      {"same number", "#version=1.9.3.1\n" + file, numbered, V::NotNewer, 0},
      {"equal but five fields", "#version=1.9.3.1.0\n" + file, numbered, V::Refused, 0},
      {"lower number", "#version=1.9.3\n" + file, numbered, V::Refused, 0},
      {"lower number by date", "#version=1.0\n#date=01/01/2030\n" + file, dated, V::Refused, 0},
      {"field of ten digits", "#version=1234567890\n" + file, numbered, V::Refused, 0},
      {"five fields", "#version=2.0.0.0.1\n" + file, numbered, V::Refused, 0},
      {"leading blank", "#version= 2.0\n" + file, numbered, V::Refused, 0},
      {"no version by number", file, numbered, V::NotNewer, 0},
      {"later date", "#date=04/09/2019\n" + file, dated, V::Newer, 1},
      {"same date", "#date=04/08/2019\n" + file, dated, V::NotNewer, 0},
      {"no date", file, dated, V::NotNewer, 0},
      {"impossible date", "#date=02/30/2030\n" + file, dated, V::NotNewer, 0},
      {"no files", "#version=2.0\n", numbered, V::NotNewer, 0},
      {"no hash", "#version=2.0\n#url=https://h/a\n#url.size=1\n", numbered, V::Refused, 0},
      {"short hash", "#version=2.0\n#url=https://h/a\n#url.sha256=abc\n#url.size=1\n", numbered, V::Refused, 0},
      {"no size", "#version=2.0\n#url=https://h/a\n#url.sha256=" + kHash + "\n", numbered, V::Refused, 0},
      {"size no number", "#version=2.0\n#url=https://h/a\n#url.sha256=" + kHash + "\n#url.size=-1\n", numbered,
       V::Refused, 0},
      {"url and url2", "#version=2\n" + listed("#url", "https://h/a") + listed("#url2", "https://h/b"), numbered,
       V::Newer, 2},
      {"url and url1", "#version=2\n" + listed("#url", "https://h/a") + listed("#url1", "https://h/b"), numbered,
       V::Newer, 1},
      {"gap ends the list", "#version=2\n" + listed("#url1", "https://h/a") + listed("#url3", "https://h/b"),
       numbered, V::Newer, 1},
      {"all three starts", "#version=2\n" + listed("#url", "https://h/a") + listed("#url0", "https://h/b") +
                                listed("#url3", "https://h/c"),
       numbered, V::Newer, 3},
      {"method 2 needs no hash", "#version=2\n#method=2\n#url=https://h/page\n", numbered, V::Newer, 1},
      {"method 2 with a blank", "#version=2\n#method=2\n#url=https://h/a b\n", numbered, V::Refused, 0},
      {"method 2 plain http", "#version=2\n#method=2\n#url=http://h/page\n", numbered, V::Refused, 0},
      {"method 2 with a quote", "#version=2\n#method=2\n#url=https://h/\"x\n", numbered, V::Refused, 0},
      {"oversized", "#version=2\n" + file + std::string(kMaxInfoFileSize, ' '), numbered, V::Refused, 0},
      {"local file from local file", "#version=2\n" + listed("#url", "file:///srv/a"), local, V::Newer, 1},
  };
  for (const Case& c : cases) {
    TauInfoCheck check = CheckInfoFile(c.text, c.running);
    EXPECT_EQ(check.verdict, c.verdict) << c.name << ": " << check.reason;
    if (c.verdict == V::Newer) {
      EXPECT_EQ(check.info.files.size(), c.files) << c.name;
    }
  }
}

// Files the information file lists but the program may not fetch: each is
// refused on its own, before anything is downloaded.
TEST(AuInfoFile, AddressesAndDestinationsTable) {
  TempFolder temp;
  ScopedEnv config("XDG_CONFIG_HOME", temp / "config");
  ScopedEnv tmp("TMPDIR", temp / "tmp");
  std::filesystem::create_directories(temp / "config");
  std::filesystem::create_directories(temp / "tmp");
  // Things in the way inside the program folder, removed afterwards.
  const std::string folder = ProgramFolder();
  const std::string linkOut = folder + "au-link-out", aDir = folder + "au-a-folder", aLink = folder + "au-a-link";
  std::filesystem::create_directories(temp / "outside");
  std::filesystem::create_directories(aDir);
  std::filesystem::create_symlink(temp / "outside", linkOut);
  std::filesystem::create_symlink(temp / "outside", aLink);
  struct Case {
    const char* name;
    std::string line;
    bool fromFile;
    std::string target;  // empty: refused
  };
  const Case cases[] = {
      {"no destination", "https://h/files/new.dll", false, folder + "new.dll"},
      {"relative", "https://h/x=data\\x.dat", false, folder + "data/x.dat"},
      {"application data", "https://h/x=%appdata%\\sub\\x.ini", false, temp / "config/sub/x.ini"},
      {"in capitals", "https://h/x=%APPDATA%/x.ini", false, temp / "config/x.ini"},
      {"plain http", "http://h/new.dll", false, ""},
      {"other scheme", "ftp://h/new.dll", false, ""},
      {"local file from the network", "file:///srv/new.dll", false, ""},
      {"local file from a local file", "file:///srv/new.dll", true, folder + "new.dll"},
      {"parent component", "https://h/x=../x.dat", false, ""},
      {"parent by backslash", "https://h/x=data\\..\\..\\x.dat", false, ""},
      {"dot component", "https://h/x=./x.dat", false, ""},
      {"absolute outside", "https://h/x=/etc/x.conf", false, ""},
      {"temporary folder", "https://h/x=%temp%x.dat", false, ""},
      {"lone delimiter", "https://h/x=/", false, ""},
      {"folder only", "https://h/x=data/", false, ""},
      {"address without a name", "https://h/files/", false, ""},
      {"through a link out", "https://h/x=au-link-out/x.dat", false, ""},
      {"existing folder", "https://h/x=au-a-folder", false, ""},
      {"existing link", "https://h/x=au-a-link", false, ""},
  };
  for (const Case& c : cases) {
    const std::string text = "#version=2\n" + listed("#url", c.line);
    TauInfoCheck check = CheckInfoFile(text, {byNumber, "1.0", "", c.fromFile});
    ASSERT_EQ(check.verdict, TauInfoVerdict::Newer) << c.name << ": " << check.reason;
    ASSERT_EQ(check.info.files.size(), 1u);
    const TauUpgradeFile& f = check.info.files[0];
    if (c.target.empty()) {
      EXPECT_FALSE(f.refusal.empty()) << c.name << " gave " << f.target;
    } else {
      EXPECT_EQ(f.refusal, "") << c.name;
      EXPECT_EQ(f.target, c.target) << c.name;
      EXPECT_EQ(f.sha256, kHash);
      EXPECT_EQ(f.size, 10);
    }
  }
  // A value ends at a control character, so only a direct call can hand one in.
  std::string refusal;
  EXPECT_EQ(ResolveDestination("https://h/x", "da\x01ta.dat", refusal), "");
  EXPECT_FALSE(refusal.empty());
  std::filesystem::remove(linkOut);
  std::filesystem::remove(aLink);
  std::filesystem::remove(aDir);
}
