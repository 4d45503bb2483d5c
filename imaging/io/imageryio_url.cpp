// Loading from URLs: the internet library bound by name, URL splitting, the
// downloader and the component's URL load.
#include "imaging/io/imageryio_url.h"

#include <charconv>
#include <cmath>
#include <vector>

#include "imaging/core/ruduvazez.h"
#include "imaging/io/imageryio.h"
#include "platform/rtl/dynlib.h"
#include "platform/rtl/streams.h"
#include "platform/win/wininet.h"

namespace {

// ---- the bound library ------------------------------------------------------------------

struct TWinInet {
  HMODULE Module = nullptr;
  PFN_InternetOpenA InternetOpenA = nullptr;
  PFN_InternetCloseHandle InternetCloseHandle = nullptr;
  PFN_InternetConnectA InternetConnectA = nullptr;
  PFN_HttpOpenRequestA HttpOpenRequestA = nullptr;
  PFN_HttpSendRequestA HttpSendRequestA = nullptr;
  PFN_HttpQueryInfoA HttpQueryInfoA = nullptr;
  PFN_InternetReadFile InternetReadFile = nullptr;
  PFN_InternetReadFileExA InternetReadFileExA = nullptr;
  PFN_InternetQueryOptionA InternetQueryOptionA = nullptr;
  PFN_InternetSetOptionA InternetSetOptionA = nullptr;
  PFN_InternetGetLastResponseInfoA InternetGetLastResponseInfoA = nullptr;
  PFN_FtpOpenFileA FtpOpenFileA = nullptr;
};
TWinInet winInet;

template <class F>
bool Bind(F& slot, const char* name) {
  slot = reinterpret_cast<F>(GetProcAddress(winInet.Module, name));
  return slot != nullptr;
}

bool BindAll() {
  TWinInet& w = winInet;
  bool all = true;
  all &= Bind(w.InternetOpenA, "InternetOpenA");
  all &= Bind(w.InternetCloseHandle, "InternetCloseHandle");
  all &= Bind(w.InternetConnectA, "InternetConnectA");
  all &= Bind(w.HttpOpenRequestA, "HttpOpenRequestA");
  all &= Bind(w.HttpSendRequestA, "HttpSendRequestA");
  all &= Bind(w.HttpQueryInfoA, "HttpQueryInfoA");
  all &= Bind(w.InternetReadFile, "InternetReadFile");
  all &= Bind(w.InternetReadFileExA, "InternetReadFileExA");
  all &= Bind(w.InternetQueryOptionA, "InternetQueryOptionA");
  all &= Bind(w.InternetSetOptionA, "InternetSetOptionA");
  all &= Bind(w.InternetGetLastResponseInfoA, "InternetGetLastResponseInfoA");
  all &= Bind(w.FtpOpenFileA, "FtpOpenFileA");
  return all;
}

bool bound = false;

// ---- the downloader ---------------------------------------------------------------------

constexpr char kAgent[] = "Mozilla/4.*";
constexpr DWORD kTransferBufferSize = 65536;
constexpr DWORD kUnknownLengthBlock = 1024;
constexpr DWORD kGenericRead = 0x80000000;
constexpr DWORD kHttpFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_KEEP_CONNECTION;
constexpr DWORD kHttpsFlags = INTERNET_FLAG_SECURE | INTERNET_FLAG_IGNORE_CERT_CN_INVALID |
                              INTERNET_FLAG_IGNORE_CERT_DATE_INVALID | INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS |
                              INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTP;
constexpr DWORD kAddedSecurityFlags =
    SECURITY_FLAG_IGNORE_REVOCATION | SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_WRONG_USAGE;

// The handles of one download, closed transfer first, session last.
struct TDownloadHandles {
  HINTERNET Internet = nullptr, Connection = nullptr, Transfer = nullptr;
  ~TDownloadHandles() {
    for (HINTERNET handle : {Transfer, Connection, Internet})
      if (handle) winInet.InternetCloseHandle(handle);
  }
};

// A whole decimal number, else 0.
int64_t NumberOrZero(const std::string& text) {
  int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() ? value : 0;
}

// The security flags of the request with the three ignore flags added (they
// are kept by the library but never switch a certificate check off).
void AddSecurityFlags(HINTERNET request) {
  DWORD flags = 0, length = sizeof flags;
  winInet.InternetQueryOptionA(request, INTERNET_OPTION_SECURITY_FLAGS, &flags, &length);
  flags |= kAddedSecurityFlags;
  winInet.InternetSetOptionA(request, INTERNET_OPTION_SECURITY_FLAGS, &flags, sizeof flags);
}

// Opens and sends the GET request; answers the announced length (0 when
// unknown), or -1 when the request failed or the status is not a success.
int64_t OpenHttp(TDownloadHandles& h, const TIEURLParts& parts, std::string& contentType) {
  const DWORD flags = kHttpFlags | (parts.Kind == 2 ? kHttpsFlags : 0);
  h.Transfer = winInet.HttpOpenRequestA(h.Connection, "GET", parts.Path, "HTTP/1.1", "", {}, flags, 0);
  if (!h.Transfer) return -1;
  AddSecurityFlags(h.Transfer);
  if (!winInet.HttpSendRequestA(h.Transfer, "", {})) return -1;
  std::string value;
  if (!winInet.HttpQueryInfoA(h.Transfer, HTTP_QUERY_STATUS_CODE, value)) return -1;
  const int64_t status = NumberOrZero(value);
  if (status < 200 || status > 299) return -1;  // an error page is no image
  contentType.clear();
  if (winInet.HttpQueryInfoA(h.Transfer, HTTP_QUERY_CONTENT_TYPE, value))
    contentType = value.substr(value.find('/') + 1);
  if (!winInet.HttpQueryInfoA(h.Transfer, HTTP_QUERY_CONTENT_LENGTH, value)) return 0;
  return std::max<int64_t>(NumberOrZero(value), 0);
}

// Opens the FTP file; answers 0 (length unknown) or -1.
int64_t OpenFtp(TDownloadHandles& h, const TIEURLParts& parts, std::string& contentType) {
  h.Transfer = winInet.FtpOpenFileA(h.Connection, parts.Path.substr(1), kGenericRead, FTP_TRANSFER_TYPE_BINARY, 0);
  if (!h.Transfer) return -1;
  std::string extension = IELowerExtension(parts.Path);
  if (!extension.empty() && extension[0] == '.') extension.erase(0, 1);
  contentType = extension.substr(0, 10);
  return 0;
}

// Reads until the announced length has arrived, reporting progress. Short,
// failed or aborted: false.
bool ReadKnownLength(HINTERNET handle, int64_t length, TMemoryStream& stream, const TIEProgressRecord& progress) {
  std::vector<char> buffer(kTransferBufferSize);
  INTERNET_BUFFERSA buffers;
  buffers.lpvBuffer = buffer.data();
  while (stream.Size() < length && !progress.Aborted()) {
    buffers.dwBufferLength = kTransferBufferSize;
    if (!winInet.InternetReadFileExA(handle, &buffers, IRF_NO_WAIT, 0)) return false;
    if (buffers.dwBufferLength == 0) break;
    stream.WriteBuffer(buffer.data(), static_cast<int32_t>(buffers.dwBufferLength));
    const long double percent = static_cast<long double>(stream.Size()) * (100.0L / static_cast<long double>(length));
    progress.Report(static_cast<int32_t>(std::min<long double>(std::trunc(percent), 100)));
  }
  return !progress.Aborted() && stream.Size() >= length;
}

// Reads to the end of a body of unknown length, without progress.
bool ReadToEnd(HINTERNET handle, TMemoryStream& stream, const TIEProgressRecord& progress) {
  char buffer[kUnknownLengthBlock];
  while (!progress.Aborted()) {
    DWORD got = 0;
    if (!winInet.InternetReadFile(handle, buffer, kUnknownLengthBlock, &got)) return false;
    if (got == 0) return true;
    stream.WriteBuffer(buffer, static_cast<int32_t>(got));
  }
  return false;
}

}  // namespace

// ---- binding ----------------------------------------------------------------------------------

void IEBindWinInet() {
  if (winInet.Module) return;
  winInet.Module = LoadLibrary("wininet.dll");
  bound = winInet.Module && BindAll();
}

void IEUnbindWinInet() {
  if (winInet.Module) FreeLibrary(winInet.Module);
  winInet = TWinInet();
  bound = false;
}

bool IEWinInetBound() { return bound; }

// ---- URLs -------------------------------------------------------------------------------------

bool IESplitURL(const std::string& url, TIEURLParts& parts) {
  static constexpr size_t kSchemeLength[] = {0, 7, 8, 6};
  static constexpr uint16_t kDefaultPort[] = {0, INTERNET_DEFAULT_HTTP_PORT, INTERNET_DEFAULT_HTTPS_PORT,
                                              INTERNET_DEFAULT_FTP_PORT};
  TIEURLParts result;
  result.Kind = IEGetURLType(url);
  if (result.Kind == 0) return false;
  const std::string rest = url.substr(kSchemeLength[result.Kind]);
  const size_t slash = rest.find('/');
  if (slash == std::string::npos) return false;
  std::string host = rest.substr(0, slash);
  result.Path = rest.substr(slash);
  if (const size_t at = host.find('@'); at != std::string::npos) {
    const size_t colon = host.find(':');
    if (colon == std::string::npos || colon > at) return false;
    result.User = host.substr(0, colon);
    result.Password = host.substr(colon + 1, at - colon - 1);
    host.erase(0, at + 1);
  }
  if (const size_t colon = host.find(':'); colon != std::string::npos) {
    const int64_t port = NumberOrZero(host.substr(colon + 1));
    result.Port = port >= 1 && port <= 65535 ? static_cast<uint16_t>(port) : INTERNET_DEFAULT_HTTP_PORT;
    host.erase(colon);
  } else {
    result.Port = kDefaultPort[result.Kind];
  }
  result.Host = host;
  parts = std::move(result);
  return true;
}

// ---- downloading ------------------------------------------------------------------------------

bool IEDownloadURL(const std::string& url, TMemoryStream& stream, const std::string& proxy,
                   const std::string& proxyUser, const std::string& proxyPassword, const TIEProgressRecord& progress,
                   std::string& contentType) {
  TIEURLParts parts;
  if (!IESplitURL(url, parts) || !bound) return false;
  const bool ftp = parts.Kind == 3;
  const DWORD service = ftp ? INTERNET_SERVICE_FTP : INTERNET_SERVICE_HTTP;
  TDownloadHandles h;
  if (!proxy.empty()) {
    h.Internet = winInet.InternetOpenA(kAgent, INTERNET_OPEN_TYPE_PROXY, proxy, "", 0);
    h.Connection = winInet.InternetConnectA(h.Internet, parts.Host, parts.Port, proxyUser, proxyPassword, service, 0, 0);
  } else {
    h.Internet = winInet.InternetOpenA(kAgent, INTERNET_OPEN_TYPE_DIRECT, "", "", 0);
    h.Connection =
        winInet.InternetConnectA(h.Internet, parts.Host, parts.Port, parts.User, parts.Password, service, 0, 0);
  }
  if (!h.Connection) return false;
  const int64_t length = ftp ? OpenFtp(h, parts, contentType) : OpenHttp(h, parts, contentType);
  if (length < 0) return false;
  return length > 0 ? ReadKnownLength(h.Transfer, length, stream, progress)
                    : ReadToEnd(h.Transfer, stream, progress);
}

// ---- the component's URL load ----------------------------------------------------------------

bool TImageryIO::LoadFromURL(const std::string& url) {
  if (!RunsInline()) {
    StartWorker([this, url] { LoadFromURL(url); });
    return true;
  }
  TOperation operation(*this);
  SetAborting(false);
  TMemoryStream stream;
  std::string contentType;
  bool downloaded = false;
  try {
    downloaded = IEDownloadURL(url, stream, ProxyAddress, ProxyUser, ProxyPassword, MakeProgress(true), contentType);
  } catch (const std::exception&) {
    downloaded = false;  // more than memory can hold
  }
  if (!downloaded) {
    SetAborting(true);
    DoFinishWork();
    return false;
  }
  stream.SetPosition(0);
  return LoadFromStream(stream);
}
