// Internet client functions over libcurl.
//
// Sections: last error - handles - transfers (curl) - sessions and
// connections - HTTP - FTP - reading - options - URLs - errors - exports.
#include "platform/rtl/encoding.h"
#include "platform/win/wininet.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <strings.h>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <utility>

#include "platform/win/netlibs.h"

namespace {

// --- Last error, per thread -------------------------------------------------

struct LastError {
  DWORD code = 0;
  std::string text;
};
thread_local LastError lastError;

BOOL fail(DWORD code, std::string text = {}) {
  lastError = {code, std::move(text)};
  return FALSE;
}

// --- Handles ----------------------------------------------------------------

enum class Kind { Session, Connection, Request, FtpFile };

// Options a handle passes on to the handles opened from it.
struct Options {
  DWORD connectTimeout = 60000;  // milliseconds
  DWORD sendTimeout = 30000;
  DWORD receiveTimeout = 30000;
  DWORD securityFlags = 0;
  std::string userName, password, proxyUserName, proxyPassword;
};

struct Session {
  std::string agent;
  DWORD accessType = INTERNET_OPEN_TYPE_PRECONFIG;
  std::string proxy, proxyBypass;
};

struct Connection {
  std::shared_ptr<const Session> session;
  std::string host;
  INTERNET_PORT port = 0;
  DWORD service = INTERNET_SERVICE_HTTP;
  DWORD_PTR context = 0;
};

class Transfer;

// What HttpOpenRequestA was given, kept so that the request can be sent again.
struct Request {
  std::string verb, objectName, version, referrer;
  std::vector<std::string> acceptTypes;
  std::vector<std::string> headers;  // "Name: value"
  DWORD flags = 0;
};

struct Handle {
  Kind kind;
  std::mutex lock;  // one call at a time per handle
  Options options;
  std::shared_ptr<const Session> session;
  std::shared_ptr<const Connection> connection;
  Request request;
  std::unique_ptr<Transfer> transfer;
  DWORD_PTR context = 0;
  INTERNET_STATUS_CALLBACK callback = nullptr;
};

// Reports a status of `h` (whose key is `key`) when it has a callback and a context.
void report(HINTERNET key, const Handle& h, DWORD status, const std::string& info = {}) {
  DWORD_PTR context = h.context;
  if (context == 0 && h.connection) context = h.connection->context;
  if (!h.callback || context == 0) return;
  std::string text = info;
  h.callback(key, context, status, info.empty() ? nullptr : text.data(),
             info.empty() ? 0 : static_cast<DWORD>(text.size() + 1));
}

struct HandleTable {
  std::mutex lock;
  std::unordered_map<HINTERNET, std::shared_ptr<Handle>> live;
};
HandleTable& handles() {
  static HandleTable table;
  return table;
}

HINTERNET addHandle(std::shared_ptr<Handle> h) {
  HINTERNET key = h.get();
  HandleTable& t = handles();
  std::lock_guard<std::mutex> guard(t.lock);
  t.live.emplace(key, std::move(h));
  return key;
}

// The live handle of one of the given kinds, or null (with the error set).
std::shared_ptr<Handle> findHandle(HINTERNET key, std::initializer_list<Kind> kinds) {
  std::shared_ptr<Handle> h;
  {
    HandleTable& t = handles();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.live.find(key);
    if (it != t.live.end()) h = it->second;
  }
  if (!h || std::find(kinds.begin(), kinds.end(), h->kind) == kinds.end()) {
    fail(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
    return nullptr;
  }
  return h;
}

// --- Transfers over curl ------------------------------------------------------

std::string& certificateAuthority() {
  static std::string pemFile;
  return pemFile;
}
std::mutex settingsLock;

// "::host:port" for curl's connect-to list, or empty.
std::string& connectionTarget() {
  static std::string target;
  return target;
}

// Loads libcurl on the first session; FALSE (with the error set) when it
// cannot be loaded, as when the component is missing.
BOOL initCurl() {
  if (!InternetLibraries().Available()) return fail(ERROR_INTERNET_INTERNAL_ERROR, InternetLibraries().Error());
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  return TRUE;
}

DWORD errorOf(CURLcode code) {
  switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY: return ERROR_INTERNET_NAME_NOT_RESOLVED;
    case CURLE_COULDNT_CONNECT: return ERROR_INTERNET_CANNOT_CONNECT;
    case CURLE_OPERATION_TIMEDOUT: return ERROR_INTERNET_TIMEOUT;
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM: return ERROR_INTERNET_SEC_CERT_ERRORS;
    case CURLE_URL_MALFORMAT: return ERROR_INTERNET_INVALID_URL;
    case CURLE_UNSUPPORTED_PROTOCOL: return ERROR_INTERNET_UNRECOGNIZED_SCHEME;
    case CURLE_FTP_ACCEPT_FAILED:
    case CURLE_REMOTE_ACCESS_DENIED:
    case CURLE_REMOTE_FILE_NOT_FOUND:
    case CURLE_LOGIN_DENIED: return ERROR_INTERNET_EXTENDED_ERROR;
    default: return ERROR_INTERNET_CONNECTION_ABORTED;
  }
}

// One curl transfer driven step by step: Start waits for the answer to
// begin, Read takes the body as it arrives. The body is buffered up to a
// bound; beyond it curl is paused until the caller reads.
class Transfer {
public:
  static constexpr size_t kBufferBound = size_t{1} << 20;

  Transfer(const Options& options, bool followRedirects)
      : easy_(curl_easy_init()), multi_(curl_multi_init()), receiveTimeout_(options.receiveTimeout),
        followRedirects_(followRedirects) {
    curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy_, CURLOPT_ERRORBUFFER, errorText_);
    curl_easy_setopt(easy_, CURLOPT_HEADERFUNCTION, &Transfer::onHeader);
    curl_easy_setopt(easy_, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &Transfer::onBody);
    curl_easy_setopt(easy_, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(easy_, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(options.connectTimeout));
    curl_easy_setopt(easy_, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy_, CURLOPT_SSL_VERIFYHOST, 2L);
    std::lock_guard<std::mutex> guard(settingsLock);
    if (!certificateAuthority().empty()) curl_easy_setopt(easy_, CURLOPT_CAINFO, certificateAuthority().c_str());
    if (!connectionTarget().empty()) {
      connectTo_ = curl_slist_append(nullptr, connectionTarget().c_str());
      curl_easy_setopt(easy_, CURLOPT_CONNECT_TO, connectTo_);
    }
  }
  ~Transfer() {
    if (added_) curl_multi_remove_handle(multi_, easy_);
    curl_easy_cleanup(easy_);
    curl_multi_cleanup(multi_);
    curl_slist_free_all(headerList_);
    curl_slist_free_all(connectTo_);
  }
  Transfer(const Transfer&) = delete;
  Transfer& operator=(const Transfer&) = delete;

  CURL* Easy() { return easy_; }
  // Receives the statuses of the transfer.
  void SetNotify(std::function<void(DWORD, const std::string&)> notify) { notify_ = std::move(notify); }
  // Takes ownership of a header list for the request.
  void SetHeaders(curl_slist* list) {
    headerList_ = list;
    curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, headerList_);
  }

  // Starts the transfer and waits until the answer begins; FALSE (with the
  // error set) when none came.
  BOOL Start() {
    if (!easy_ || !multi_) return fail(ERROR_INTERNET_CONNECTION_ABORTED, "out of memory");
    curl_multi_add_handle(multi_, easy_);
    added_ = true;
    notify(INTERNET_STATUS_SENDING_REQUEST);
    pump([this] { return begun_; });
    if (!begun_) return failure();
    notify(INTERNET_STATUS_RESPONSE_RECEIVED);
    return TRUE;
  }

  BOOL Read(void* buffer, DWORD want, DWORD* got, bool firstBytesSuffice) {
    *got = 0;
    auto enough = [&] { return body_.size() - bodyStart_ >= (firstBytesSuffice ? 1 : want); };
    while (!enough() && !done_) {
      resume();
      pump([&] { return enough() || paused_; });
    }
    size_t n = std::min<size_t>(want, body_.size() - bodyStart_);
    std::memcpy(buffer, body_.data() + bodyStart_, n);
    bodyStart_ += n;
    if (bodyStart_ == body_.size()) {
      body_.clear();
      bodyStart_ = 0;
    }
    *got = static_cast<DWORD>(n);
    if (n == 0 && done_ && result_ != CURLE_OK) return failure();
    return TRUE;
  }

  long Status() const { return status_; }
  const std::string& StatusLine() const { return statusLine_; }
  const std::vector<std::string>& Headers() const { return headers_; }
  bool Answered() const { return begun_; }

private:
  using Clock = std::chrono::steady_clock;

  BOOL failure() {
    std::string text = errorText_[0] ? std::string(errorText_) : std::string(curl_easy_strerror(result_));
    return fail(timedOut_ ? ERROR_INTERNET_TIMEOUT : errorOf(result_), text);
  }

  void notify(DWORD status, const std::string& info = {}) {
    if (notify_) notify_(status, info);
  }

  void resume() {
    if (paused_) {
      paused_ = false;
      curl_easy_pause(easy_, CURLPAUSE_CONT);
    }
  }

  // Drives curl until `ready` holds, the transfer ends or nothing arrives
  // within the receive time-out.
  template <typename Ready>
  void pump(Ready ready) {
    lastActivity_ = Clock::now();  // the time-out counts the server's silence while we wait
    while (!ready() && !done_) {
      int running = 0;
      curl_multi_perform(multi_, &running);
      int queued = 0;
      while (CURLMsg* msg = curl_multi_info_read(multi_, &queued)) {
        if (msg->msg == CURLMSG_DONE) {
          done_ = true;
          begun_ = begun_ || msg->data.result == CURLE_OK;
          result_ = msg->data.result;
        }
      }
      if (ready() || done_) break;
      if (Clock::now() - lastActivity_ > std::chrono::milliseconds(receiveTimeout_)) {
        timedOut_ = true;
        done_ = true;
        result_ = CURLE_OPERATION_TIMEDOUT;
        break;
      }
      curl_multi_poll(multi_, nullptr, 0, 50, nullptr);
    }
  }

  static size_t onHeader(char* data, size_t size, size_t count, void* self) {
    auto* t = static_cast<Transfer*>(self);
    std::string line(data, size * count);
    t->lastActivity_ = Clock::now();
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    if (line.rfind("HTTP/", 0) == 0) {  // a new answer: a redirect or 1xx came before
      if (t->status_ >= 300 && t->status_ < 400) {
        char* url = nullptr;
        curl_easy_getinfo(t->easy_, CURLINFO_EFFECTIVE_URL, &url);
        t->notify(INTERNET_STATUS_REDIRECT, url ? url : "");
      }
      t->statusLine_ = line;
      t->headers_.clear();
      size_t space = line.find(' ');
      t->status_ = space == std::string::npos ? 0 : std::strtol(line.c_str() + space + 1, nullptr, 10);
    } else if (line.empty()) {
      if (t->status_ >= 200 && !t->willRedirect()) t->begun_ = true;
    } else {
      t->headers_.push_back(line);
    }
    return size * count;
  }

  static size_t onBody(char* data, size_t size, size_t count, void* self) {
    auto* t = static_cast<Transfer*>(self);
    if (t->body_.size() - t->bodyStart_ >= kBufferBound) {
      t->paused_ = true;
      return CURL_WRITEFUNC_PAUSE;
    }
    t->lastActivity_ = Clock::now();
    t->begun_ = true;
    t->body_.append(data, size * count);
    return size * count;
  }

  bool willRedirect() const {
    if (!followRedirects_ || status_ < 300 || status_ >= 400) return false;
    return std::any_of(headers_.begin(), headers_.end(),
                       [](const std::string& h) { return strncasecmp(h.c_str(), "Location:", 9) == 0; });
  }

  std::function<void(DWORD, const std::string&)> notify_;
  CURL* easy_;
  CURLM* multi_;
  curl_slist* headerList_ = nullptr;
  curl_slist* connectTo_ = nullptr;
  char errorText_[CURL_ERROR_SIZE] = {};
  DWORD receiveTimeout_;
  bool followRedirects_;
  bool added_ = false, begun_ = false, done_ = false, paused_ = false, timedOut_ = false;
  CURLcode result_ = CURLE_OK;
  Clock::time_point lastActivity_;
  long status_ = 0;
  std::string statusLine_;
  std::vector<std::string> headers_;
  std::string body_;
  size_t bodyStart_ = 0;
};

// Percent-encodes what may not stand in a URL path as it is.
std::string escapePath(const std::string& path) {
  return PercentEncode(path, [](unsigned char c) {
    return c > 0x20 && c < 0x7F && std::string_view("\"<>\\^`{|}").find(static_cast<char>(c)) == std::string_view::npos;
  });
}

std::string hostForUrl(const std::string& host) {
  return host.find(':') != std::string::npos ? "[" + host + "]" : host;
}

void applyCredentialsAndProxy(CURL* easy, const Session& session, const Options& options) {
  if (!options.userName.empty() || !options.password.empty()) {
    curl_easy_setopt(easy, CURLOPT_USERNAME, options.userName.c_str());
    curl_easy_setopt(easy, CURLOPT_PASSWORD, options.password.c_str());
  }
  if (session.accessType == INTERNET_OPEN_TYPE_DIRECT) {
    curl_easy_setopt(easy, CURLOPT_PROXY, "");
  } else if (session.accessType == INTERNET_OPEN_TYPE_PROXY) {
    curl_easy_setopt(easy, CURLOPT_PROXY, session.proxy.c_str());
    if (!session.proxyBypass.empty()) curl_easy_setopt(easy, CURLOPT_NOPROXY, session.proxyBypass.c_str());
  }
  if (!options.proxyUserName.empty()) {
    curl_easy_setopt(easy, CURLOPT_PROXYUSERNAME, options.proxyUserName.c_str());
    curl_easy_setopt(easy, CURLOPT_PROXYPASSWORD, options.proxyPassword.c_str());
  }
}

}  // namespace

// --- Sessions and connections -------------------------------------------------

HINTERNET InternetOpenA(const std::string& agent, DWORD accessType, const std::string& proxy,
                        const std::string& proxyBypass, DWORD) {
  if (!initCurl()) return nullptr;
  auto h = std::make_shared<Handle>();
  h->kind = Kind::Session;
  h->session = std::make_shared<Session>(Session{agent, accessType, proxy, proxyBypass});
  return addHandle(std::move(h));
}

HINTERNET InternetConnectA(HINTERNET internet, const std::string& server, INTERNET_PORT port,
                           const std::string& userName, const std::string& password, DWORD service, DWORD,
                           DWORD_PTR context) {
  auto parent = findHandle(internet, {Kind::Session});
  if (!parent) return nullptr;
  if (server.empty() || (service != INTERNET_SERVICE_HTTP && service != INTERNET_SERVICE_FTP)) {
    fail(ERROR_INTERNET_INVALID_URL);
    return nullptr;
  }
  auto h = std::make_shared<Handle>();
  h->kind = Kind::Connection;
  {
    std::lock_guard<std::mutex> guard(parent->lock);
    h->options = parent->options;
    h->callback = parent->callback;
  }
  if (!userName.empty()) h->options.userName = userName;
  if (!password.empty()) h->options.password = password;
  h->session = parent->session;
  if (port == INTERNET_INVALID_PORT_NUMBER)
    port = service == INTERNET_SERVICE_FTP ? INTERNET_DEFAULT_FTP_PORT : INTERNET_DEFAULT_HTTP_PORT;
  h->connection = std::make_shared<Connection>(Connection{parent->session, server, port, service, context});
  h->context = context;
  const Handle& created = *h;
  HINTERNET key = addHandle(std::move(h));
  report(key, created, INTERNET_STATUS_HANDLE_CREATED);
  return key;
}

BOOL InternetCloseHandle(HINTERNET handle) {
  std::shared_ptr<Handle> h;
  {
    HandleTable& t = handles();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.live.find(handle);
    if (it == t.live.end()) return fail(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
    h = std::move(it->second);
    t.live.erase(it);
  }
  std::lock_guard<std::mutex> guard(h->lock);
  report(handle, *h, INTERNET_STATUS_HANDLE_CLOSING);
  h->transfer.reset();
  return TRUE;
}

INTERNET_STATUS_CALLBACK InternetSetStatusCallback(HINTERNET handle, INTERNET_STATUS_CALLBACK callback) {
  auto h = findHandle(handle, {Kind::Session, Kind::Connection, Kind::Request, Kind::FtpFile});
  if (!h) return INTERNET_INVALID_STATUS_CALLBACK;
  std::lock_guard<std::mutex> guard(h->lock);
  return std::exchange(h->callback, callback);
}

BOOL InternetGoOnline(const std::string&, HWND, DWORD) { return TRUE; }

// --- HTTP -------------------------------------------------------------------

HINTERNET HttpOpenRequestA(HINTERNET connect, const std::string& verb, const std::string& objectName,
                           const std::string& version, const std::string& referrer,
                           const std::vector<std::string>& acceptTypes, DWORD flags, DWORD_PTR context) {
  auto parent = findHandle(connect, {Kind::Connection});
  if (!parent) return nullptr;
  if (parent->connection->service != INTERNET_SERVICE_HTTP) {
    fail(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
    return nullptr;
  }
  auto h = std::make_shared<Handle>();
  h->kind = Kind::Request;
  {
    std::lock_guard<std::mutex> guard(parent->lock);
    h->options = parent->options;
    h->callback = parent->callback;
  }
  h->session = parent->session;
  h->connection = parent->connection;
  h->request = Request{verb.empty() ? "GET" : verb, objectName, version.empty() ? "HTTP/1.1" : version,
                       referrer, acceptTypes, {}, flags};
  h->context = context;
  return addHandle(std::move(h));
}

namespace {

std::string headerName(const std::string& line) {
  std::string name = line.substr(0, line.find(':'));
  while (!name.empty() && name.back() == ' ') name.pop_back();
  return name;
}

bool sameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && strncasecmp(a.c_str(), b.c_str(), a.size()) == 0;
}

// Splits CR LF separated header lines; empty lines are skipped.
std::vector<std::string> headerLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) end = text.size();
    if (end > start) lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

void addHeader(std::vector<std::string>& headers, const std::string& line, DWORD modifiers) {
  std::string name = headerName(line);
  auto same = [&](const std::string& h) { return sameName(headerName(h), name); };
  auto it = std::find_if(headers.begin(), headers.end(), same);
  if (it != headers.end()) {
    if (modifiers & HTTP_ADDREQ_FLAG_REPLACE) {
      *it = line;
      return;
    }
    if (modifiers & HTTP_ADDREQ_FLAG_ADD_IF_NEW) return;
  }
  headers.push_back(line);
}

curl_slist* requestHeaderList(const Request& r, const std::vector<std::string>& extra) {
  curl_slist* list = nullptr;
  auto add = [&](const std::string& line) { list = curl_slist_append(list, line.c_str()); };
  if (!r.referrer.empty()) add("Referer: " + r.referrer);
  if (!r.acceptTypes.empty()) {
    std::string accept = "Accept: ";
    for (size_t i = 0; i < r.acceptTypes.size(); ++i) accept += (i ? ", " : "") + r.acceptTypes[i];
    add(accept);
  }
  for (const auto& h : r.headers) add(h);
  for (const auto& h : extra) add(h);
  add("Expect:");  // send bodies at once
  return list;
}

}  // namespace

BOOL HttpAddRequestHeadersA(HINTERNET request, const std::string& headers, DWORD modifiers) {
  auto h = findHandle(request, {Kind::Request});
  if (!h) return FALSE;
  std::lock_guard<std::mutex> guard(h->lock);
  for (const auto& line : headerLines(headers)) {
    if (line.find(':') == std::string::npos) return fail(ERROR_INTERNET_INVALID_OPTION, "not a header: " + line);
    addHeader(h->request.headers, line, modifiers);
  }
  return TRUE;
}

BOOL HttpSendRequestA(HINTERNET request, const std::string& headers, std::string_view body) {
  auto h = findHandle(request, {Kind::Request});
  if (!h) return FALSE;
  std::lock_guard<std::mutex> guard(h->lock);
  const Request& r = h->request;
  const Connection& c = *h->connection;
  bool secure = r.flags & INTERNET_FLAG_SECURE;
  std::string path = r.objectName.empty() || r.objectName[0] != '/' ? "/" + r.objectName : r.objectName;
  std::string url = std::string(secure ? "https://" : "http://") + hostForUrl(c.host) + ":" +
                    std::to_string(c.port) + escapePath(path);

  h->transfer.reset();
  auto t = std::make_unique<Transfer>(h->options, !(r.flags & INTERNET_FLAG_NO_AUTO_REDIRECT));
  CURL* easy = t->Easy();
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, (r.flags & INTERNET_FLAG_NO_AUTO_REDIRECT) ? 0L : 1L);
  curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 10L);
  curl_easy_setopt(easy, CURLOPT_HTTP_VERSION,
                   r.version == "HTTP/1.0" ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_1_1);
  if (!h->session->agent.empty()) curl_easy_setopt(easy, CURLOPT_USERAGENT, h->session->agent.c_str());
  if (r.verb == "HEAD") {
    curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
  } else if (r.verb != "GET" || !body.empty()) {
    curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, r.verb.c_str());
    curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    curl_easy_setopt(easy, CURLOPT_COPYPOSTFIELDS, body.empty() ? "" : body.data());
  }
  if (!(r.flags & INTERNET_FLAG_NO_AUTH)) curl_easy_setopt(easy, CURLOPT_HTTPAUTH, CURLAUTH_ANY);
  applyCredentialsAndProxy(easy, *h->session, h->options);
  t->SetHeaders(requestHeaderList(r, headerLines(headers)));
  Handle* self = h.get();
  t->SetNotify([request, self](DWORD status, const std::string& info) { report(request, *self, status, info); });
  BOOL sent = t->Start();
  h->transfer = std::move(t);
  return sent;
}

namespace {

// Header queries answered from a header of that name.
struct NamedQuery {
  DWORD level;
  const char* header;
};
constexpr NamedQuery kNamedQueries[] = {
    {HTTP_QUERY_CONTENT_TYPE, "Content-Type"},
    {HTTP_QUERY_CONTENT_LENGTH, "Content-Length"},
    {HTTP_QUERY_CONTENT_LANGUAGE, "Content-Language"},
    {HTTP_QUERY_DATE, "Date"},
    {HTTP_QUERY_EXPIRES, "Expires"},
    {HTTP_QUERY_LAST_MODIFIED, "Last-Modified"},
    {HTTP_QUERY_CONTENT_ENCODING, "Content-Encoding"},
    {HTTP_QUERY_LOCATION, "Location"},
    {HTTP_QUERY_WWW_AUTHENTICATE, "WWW-Authenticate"},
    {HTTP_QUERY_PROXY_AUTHENTICATE, "Proxy-Authenticate"},
    {HTTP_QUERY_CONTENT_RANGE, "Content-Range"},
    {HTTP_QUERY_ETAG, "ETag"},
};

// The answer's status line split as "HTTP/1.1 200 OK".
std::string statusPart(const std::string& line, int part) {
  size_t first = line.find(' ');
  if (part == 0) return line.substr(0, first);
  if (first == std::string::npos) return {};
  size_t second = line.find(' ', first + 1);
  if (part == 1) return line.substr(first + 1, second == std::string::npos ? std::string::npos : second - first - 1);
  return second == std::string::npos ? std::string() : line.substr(second + 1);
}

bool queryAnswer(const Transfer& t, DWORD level, std::string& value) {
  switch (level) {
    case HTTP_QUERY_STATUS_CODE: value = std::to_string(t.Status()); return true;
    case HTTP_QUERY_VERSION: value = statusPart(t.StatusLine(), 0); return true;
    case HTTP_QUERY_STATUS_TEXT: value = statusPart(t.StatusLine(), 2); return true;
    case HTTP_QUERY_RAW_HEADERS:
    case HTTP_QUERY_RAW_HEADERS_CRLF: {
      const std::string end = level == HTTP_QUERY_RAW_HEADERS ? std::string(1, '\0') : std::string("\r\n");
      value = t.StatusLine() + end;
      for (const auto& h : t.Headers()) value += h + end;
      value += end;
      return true;
    }
  }
  for (const auto& q : kNamedQueries) {
    if (q.level != level) continue;
    for (const auto& h : t.Headers()) {
      if (!sameName(headerName(h), q.header)) continue;
      size_t start = h.find(':') + 1;
      while (start < h.size() && (h[start] == ' ' || h[start] == '\t')) ++start;
      value = h.substr(start);
      while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.pop_back();
      return true;
    }
    return false;
  }
  return false;
}

}  // namespace

BOOL HttpQueryInfoA(HINTERNET request, DWORD infoLevel, std::string& value) {
  auto h = findHandle(request, {Kind::Request});
  if (!h) return FALSE;
  std::lock_guard<std::mutex> guard(h->lock);
  value.clear();
  if (!h->transfer || !h->transfer->Answered()) return fail(ERROR_HTTP_HEADER_NOT_FOUND);
  if (!queryAnswer(*h->transfer, infoLevel & 0xFFFF, value)) return fail(ERROR_HTTP_HEADER_NOT_FOUND);
  return TRUE;
}

// --- FTP --------------------------------------------------------------------

HINTERNET FtpOpenFileA(HINTERNET connect, const std::string& fileName, DWORD, DWORD flags, DWORD_PTR context) {
  auto parent = findHandle(connect, {Kind::Connection});
  if (!parent) return nullptr;
  if (parent->connection->service != INTERNET_SERVICE_FTP) {
    fail(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
    return nullptr;
  }
  auto h = std::make_shared<Handle>();
  h->kind = Kind::FtpFile;
  {
    std::lock_guard<std::mutex> guard(parent->lock);
    h->options = parent->options;
    h->callback = parent->callback;
  }
  h->session = parent->session;
  h->connection = parent->connection;
  h->context = context;
  const Connection& c = *h->connection;
  std::string url = "ftp://" + hostForUrl(c.host) + ":" + std::to_string(c.port) + "/" + escapePath(fileName);
  auto t = std::make_unique<Transfer>(h->options, false);
  curl_easy_setopt(t->Easy(), CURLOPT_URL, url.c_str());
  curl_easy_setopt(t->Easy(), CURLOPT_PROTOCOLS_STR, "ftp");
  if ((flags & 3) == FTP_TRANSFER_TYPE_ASCII) curl_easy_setopt(t->Easy(), CURLOPT_TRANSFERTEXT, 1L);
  applyCredentialsAndProxy(t->Easy(), *h->session, h->options);
  if (!t->Start()) return nullptr;
  h->transfer = std::move(t);
  return addHandle(std::move(h));
}

// --- Reading ----------------------------------------------------------------

namespace {

BOOL readBody(HINTERNET file, void* buffer, DWORD toRead, DWORD* read, bool firstBytesSuffice) {
  if (read) *read = 0;
  auto h = findHandle(file, {Kind::Request, Kind::FtpFile});
  if (!h) return FALSE;
  if (!read || (!buffer && toRead)) return fail(ERROR_INTERNET_INVALID_OPTION);
  std::lock_guard<std::mutex> guard(h->lock);
  if (!h->transfer || !h->transfer->Answered()) return fail(ERROR_INTERNET_INCORRECT_HANDLE_TYPE, "not sent");
  return h->transfer->Read(buffer, toRead, read, firstBytesSuffice);
}

}  // namespace

BOOL InternetReadFile(HINTERNET file, void* buffer, DWORD toRead, DWORD* read) {
  return readBody(file, buffer, toRead, read, false);
}

BOOL InternetReadFileExA(HINTERNET file, INTERNET_BUFFERSA* buffers, DWORD flags, DWORD_PTR) {
  if (!buffers) return fail(ERROR_INTERNET_INVALID_OPTION);
  DWORD got = 0;
  BOOL ok = readBody(file, buffers->lpvBuffer, buffers->dwBufferLength, &got, flags & IRF_NO_WAIT);
  buffers->dwBufferLength = got;
  return ok;
}

// --- Options ----------------------------------------------------------------

namespace {

DWORD* numberOption(Options& o, DWORD option) {
  switch (option) {
    case INTERNET_OPTION_CONNECT_TIMEOUT: return &o.connectTimeout;
    case INTERNET_OPTION_SEND_TIMEOUT: return &o.sendTimeout;
    case INTERNET_OPTION_RECEIVE_TIMEOUT: return &o.receiveTimeout;
    case INTERNET_OPTION_SECURITY_FLAGS: return &o.securityFlags;
    default: return nullptr;
  }
}

std::string* textOption(Options& o, DWORD option) {
  switch (option) {
    case INTERNET_OPTION_USERNAME: return &o.userName;
    case INTERNET_OPTION_PASSWORD: return &o.password;
    case INTERNET_OPTION_PROXY_USERNAME: return &o.proxyUserName;
    case INTERNET_OPTION_PROXY_PASSWORD: return &o.proxyPassword;
    default: return nullptr;
  }
}

BOOL answer(const void* data, DWORD size, void* buffer, DWORD* length) {
  DWORD room = *length;
  *length = size;
  if (!buffer || room < size) return fail(ERROR_INTERNET_INVALID_OPTION, "buffer too small");
  std::memcpy(buffer, data, size);
  return TRUE;
}

}  // namespace

BOOL InternetQueryOptionA(HINTERNET handle, DWORD option, void* buffer, DWORD* length) {
  if (!length) return fail(ERROR_INTERNET_INVALID_OPTION);
  if (option == INTERNET_OPTION_CONNECTED_STATE) {
    DWORD state = INTERNET_STATE_CONNECTED;
    return answer(&state, sizeof state, buffer, length);
  }
  auto h = findHandle(handle, {Kind::Session, Kind::Connection, Kind::Request, Kind::FtpFile});
  if (!h) return FALSE;
  std::lock_guard<std::mutex> guard(h->lock);
  if (DWORD* n = numberOption(h->options, option)) return answer(n, sizeof *n, buffer, length);
  if (std::string* s = textOption(h->options, option))
    return answer(s->c_str(), static_cast<DWORD>(s->size() + 1), buffer, length);
  return fail(ERROR_INTERNET_INVALID_OPTION);
}

BOOL InternetSetOptionA(HINTERNET handle, DWORD option, const void* buffer, DWORD length) {
  if (!buffer) return fail(ERROR_INTERNET_INVALID_OPTION);
  auto h = findHandle(handle, {Kind::Session, Kind::Connection, Kind::Request, Kind::FtpFile});
  if (!h) return FALSE;
  std::lock_guard<std::mutex> guard(h->lock);
  if (DWORD* n = numberOption(h->options, option)) {
    if (length < sizeof(DWORD)) return fail(ERROR_INTERNET_INVALID_OPTION);
    std::memcpy(n, buffer, sizeof(DWORD));
    return TRUE;
  }
  if (std::string* s = textOption(h->options, option)) {
    const char* text = static_cast<const char*>(buffer);
    *s = std::string(text, strnlen(text, length));
    return TRUE;
  }
  return fail(ERROR_INTERNET_INVALID_OPTION);
}

void SetInternetCertificateAuthority(const std::string& pemFile) {
  std::lock_guard<std::mutex> guard(settingsLock);
  certificateAuthority() = pemFile;
}

void SetInternetConnectionTarget(const std::string& host, INTERNET_PORT port) {
  std::lock_guard<std::mutex> guard(settingsLock);
  connectionTarget() = host.empty() ? std::string() : "::" + hostForUrl(host) + ":" + std::to_string(port);
}

// --- URLs -------------------------------------------------------------------

namespace {

struct SchemeEntry {
  const char* name;
  INTERNET_SCHEME scheme;
  INTERNET_PORT port;
};
constexpr SchemeEntry kSchemes[] = {
    {"http", INTERNET_SCHEME_HTTP, INTERNET_DEFAULT_HTTP_PORT},
    {"https", INTERNET_SCHEME_HTTPS, INTERNET_DEFAULT_HTTPS_PORT},
    {"ftp", INTERNET_SCHEME_FTP, INTERNET_DEFAULT_FTP_PORT},
    {"file", INTERNET_SCHEME_FILE, 0},
};

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string unescape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    int hi, lo;
    if (s[i] == '%' && i + 2 < s.size() && (hi = hexDigit(s[i + 1])) >= 0 && (lo = hexDigit(s[i + 2])) >= 0) {
      out += static_cast<char>(hi * 16 + lo);
      i += 2;
    } else {
      out += s[i];
    }
  }
  return out;
}

}  // namespace

BOOL InternetCrackUrlA(const std::string& url, DWORD flags, URL_COMPONENTSA& parts) {
  size_t colon = url.find(':');
  if (colon == std::string::npos || colon == 0) return fail(ERROR_INTERNET_UNRECOGNIZED_SCHEME);
  URL_COMPONENTSA out;
  out.scheme = url.substr(0, colon);
  for (const auto& s : kSchemes) {
    if (sameName(out.scheme, s.name)) {
      out.nScheme = s.scheme;
      out.nPort = s.port;
    }
  }
  if (url.compare(colon, 3, "://") != 0) return fail(ERROR_INTERNET_UNRECOGNIZED_SCHEME);
  std::string rest = url.substr(colon + 3);

  size_t pathStart = out.nScheme == INTERNET_SCHEME_FILE ? 0 : rest.find_first_of("/?#");
  std::string authority = rest.substr(0, pathStart);
  std::string tail = pathStart == std::string::npos ? std::string() : rest.substr(pathStart);
  size_t extraStart = tail.find_first_of("?#");
  out.urlPath = tail.substr(0, extraStart);
  if (extraStart != std::string::npos) out.extraInfo = tail.substr(extraStart);

  size_t at = authority.rfind('@');
  if (at != std::string::npos) {
    std::string credentials = authority.substr(0, at);
    size_t split = credentials.find(':');
    out.userName = credentials.substr(0, split);
    if (split != std::string::npos) out.password = credentials.substr(split + 1);
    authority = authority.substr(at + 1);
  }
  size_t portColon = authority.rfind(':');
  if (portColon != std::string::npos && authority.find(']', portColon) == std::string::npos) {
    std::string port = authority.substr(portColon + 1);
    if (!port.empty()) {
      if (port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos || std::stoul(port) > 65535)
        return fail(ERROR_INTERNET_INVALID_URL);
      out.nPort = static_cast<INTERNET_PORT>(std::stoul(port));
    }
    authority = authority.substr(0, portColon);
  }
  if (authority.size() >= 2 && authority.front() == '[' && authority.back() == ']')
    authority = authority.substr(1, authority.size() - 2);
  out.hostName = authority;
  if (out.hostName.empty() && out.nScheme != INTERNET_SCHEME_FILE) return fail(ERROR_INTERNET_INVALID_URL);

  if (flags & (ICU_ESCAPE | ICU_DECODE)) {
    out.urlPath = unescape(out.urlPath);
    out.extraInfo = unescape(out.extraInfo);
  }
  parts = std::move(out);
  return TRUE;
}

// --- Errors -----------------------------------------------------------------

BOOL InternetGetLastResponseInfoA(DWORD* error, std::string& text) {
  if (error) *error = lastError.code;
  text = lastError.text;
  return TRUE;
}

// --- Exports ----------------------------------------------------------------

namespace {
template <class F>
void* Export(F* function) {
  return reinterpret_cast<void*>(function);
}
}  // namespace

TLibraryExports WinInetExports() {
  return {
      {"InternetOpenA", Export(&InternetOpenA)},
      {"InternetCloseHandle", Export(&InternetCloseHandle)},
      {"InternetConnectA", Export(&InternetConnectA)},
      {"HttpOpenRequestA", Export(&HttpOpenRequestA)},
      {"HttpSendRequestA", Export(&HttpSendRequestA)},
      {"HttpQueryInfoA", Export(&HttpQueryInfoA)},
      {"InternetReadFile", Export(&InternetReadFile)},
      {"InternetReadFileExA", Export(&InternetReadFileExA)},
      {"InternetQueryOptionA", Export(&InternetQueryOptionA)},
      {"InternetSetOptionA", Export(&InternetSetOptionA)},
      {"InternetGetLastResponseInfoA", Export(&InternetGetLastResponseInfoA)},
      {"FtpOpenFileA", Export(&FtpOpenFileA)},
  };
}
