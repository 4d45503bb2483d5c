#include "platform/win/wininet.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/rtl/dynlib.h"
#include "platform/win/netlibs.h"
#include "tests/platform/win/local_http_server.h"

using testhttp::closedPort;
using testhttp::LocalHttpServer;
using testhttp::payload;
using testhttp::response;
using testhttp::TestCertificate;

namespace {

// Session, connection and request handles, closed in reverse order.
struct HttpClient {
  HINTERNET internet = nullptr, connection = nullptr, request = nullptr;

  HttpClient(INTERNET_PORT port, const std::string& path, DWORD flags = INTERNET_FLAG_RELOAD) {
    internet = InternetOpenA("Mozilla/4.0 (test)", INTERNET_OPEN_TYPE_DIRECT, "", "", 0);
    connection = InternetConnectA(internet, "127.0.0.1", port, "", "", INTERNET_SERVICE_HTTP, 0, 0);
    request = HttpOpenRequestA(connection, "GET", path, "HTTP/1.1", "", {}, flags, 0);
  }
  ~HttpClient() {
    InternetCloseHandle(request);
    InternetCloseHandle(connection);
    InternetCloseHandle(internet);
  }

  std::string query(DWORD level) {
    std::string value;
    return HttpQueryInfoA(request, level, value) ? value : "<absent>";
  }

  // Reads the body in blocks of `block` bytes until a read fails or gives 0.
  std::string readBody(DWORD block, BOOL* lastResult = nullptr) {
    std::string body;
    std::vector<char> buffer(block);
    for (;;) {
      DWORD got = 0;
      BOOL ok = InternetReadFile(request, buffer.data(), block, &got);
      body.append(buffer.data(), got);
      if (!ok || got == 0) {
        if (lastResult) *lastResult = ok;
        return body;
      }
    }
  }
};

DWORD lastInternetError() {
  DWORD error = 0;
  std::string text;
  InternetGetLastResponseInfoA(&error, text);
  return error;
}

}  // namespace

TEST(WinInet, GetsAFileWithItsHeaders) {
  const std::string file = payload(3 * 1024 * 1024 + 17);  // larger than the client's buffer bound
  LocalHttpServer server([&](const std::string&) { return response("200 OK", file, "Content-Type: image/png\r\n"); });
  HttpClient client(server.Port(), "/img dir/a.png", INTERNET_FLAG_RELOAD | INTERNET_FLAG_KEEP_CONNECTION);
  ASSERT_NE(client.request, nullptr);
  ASSERT_TRUE(HttpAddRequestHeadersA(client.request, "X-One: 1\r\nX-Two: 2\r\n", HTTP_ADDREQ_FLAG_ADD));
  ASSERT_TRUE(HttpAddRequestHeadersA(client.request, "X-One: uno", HTTP_ADDREQ_FLAG_REPLACE));
  ASSERT_TRUE(HttpSendRequestA(client.request));

  EXPECT_EQ(client.query(HTTP_QUERY_STATUS_CODE), "200");
  EXPECT_EQ(client.query(HTTP_QUERY_STATUS_TEXT), "OK");
  EXPECT_EQ(client.query(HTTP_QUERY_CONTENT_TYPE), "image/png");
  EXPECT_EQ(client.query(HTTP_QUERY_CONTENT_LENGTH), std::to_string(file.size()));
  EXPECT_EQ(client.query(HTTP_QUERY_CONTENT_RANGE), "<absent>");
  EXPECT_EQ(client.query(HTTP_QUERY_RAW_HEADERS_CRLF).rfind("HTTP/1.1 200 OK\r\nContent-Length: ", 0), 0u);

  BOOL last = FALSE;
  EXPECT_EQ(client.readBody(1024, &last), file);
  EXPECT_TRUE(last);  // the end reads as TRUE with 0 bytes

  auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  const std::string& r = requests[0];
  EXPECT_EQ(r.rfind("GET /img%20dir/a.png HTTP/1.1\r\n", 0), 0u) << r;
  EXPECT_NE(r.find("User-Agent: Mozilla/4.0 (test)\r\n"), std::string::npos);
  EXPECT_NE(r.find("X-One: uno\r\n"), std::string::npos);
  EXPECT_NE(r.find("X-Two: 2\r\n"), std::string::npos);
  EXPECT_EQ(r.find("X-One: 1"), std::string::npos);
}

TEST(WinInet, ErrorStatusesAreAnswersWithABody) {
  LocalHttpServer server([](const std::string&) { return response("404 Not Found", "no such picture"); });
  HttpClient client(server.Port(), "/missing.png");
  ASSERT_TRUE(HttpSendRequestA(client.request));
  EXPECT_EQ(client.query(HTTP_QUERY_STATUS_CODE), "404");
  EXPECT_EQ(client.readBody(4096), "no such picture");
}

TEST(WinInet, TruncatedBodyGivesWhatArrivedThenFails) {
  const std::string half = payload(500);
  LocalHttpServer server([&](const std::string&) {
    return "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\nConnection: close\r\n\r\n" + half;
  });
  HttpClient client(server.Port(), "/big.tif");
  ASSERT_TRUE(HttpSendRequestA(client.request));
  EXPECT_EQ(client.query(HTTP_QUERY_CONTENT_LENGTH), "1000");
  BOOL last = TRUE;
  EXPECT_EQ(client.readBody(64, &last), half);
  EXPECT_FALSE(last);
  EXPECT_EQ(lastInternetError(), ERROR_INTERNET_CONNECTION_ABORTED);
}

TEST(WinInet, RefusedConnectionFailsTheSend) {
  INTERNET_PORT port = closedPort();
  HttpClient client(port, "/a.png");
  ASSERT_NE(client.request, nullptr);  // nothing is sent before HttpSendRequestA
  EXPECT_FALSE(HttpSendRequestA(client.request));
  EXPECT_EQ(lastInternetError(), ERROR_INTERNET_CANNOT_CONNECT);
  std::string value;
  EXPECT_FALSE(HttpQueryInfoA(client.request, HTTP_QUERY_STATUS_CODE, value));
  DWORD got = 1;
  char c;
  EXPECT_FALSE(InternetReadFile(client.request, &c, 1, &got));
  EXPECT_EQ(got, 0u);

  HINTERNET ftp = InternetConnectA(client.internet, "127.0.0.1", port, "user", "secret", INTERNET_SERVICE_FTP, 0, 0);
  ASSERT_NE(ftp, nullptr);
  EXPECT_EQ(FtpOpenFileA(ftp, "dir/a.tif", 0x80000000, FTP_TRANSFER_TYPE_BINARY, 0), nullptr);
  EXPECT_EQ(lastInternetError(), ERROR_INTERNET_CANNOT_CONNECT);
  InternetCloseHandle(ftp);
}

TEST(WinInet, RedirectsAreFollowedUnlessRefused) {
  LocalHttpServer server([](const std::string& request) {
    if (request.rfind("GET /old", 0) == 0) return response("302 Found", "moved", "Location: /new\r\n");
    return response("200 OK", "new place");
  });
  {
    HttpClient client(server.Port(), "/old");
    ASSERT_TRUE(HttpSendRequestA(client.request));
    EXPECT_EQ(client.query(HTTP_QUERY_STATUS_CODE), "200");
    EXPECT_EQ(client.readBody(100), "new place");
  }
  {
    HttpClient client(server.Port(), "/old", INTERNET_FLAG_NO_AUTO_REDIRECT);
    ASSERT_TRUE(HttpSendRequestA(client.request));
    EXPECT_EQ(client.query(HTTP_QUERY_STATUS_CODE), "302");
    EXPECT_EQ(client.query(HTTP_QUERY_LOCATION), "/new");
    EXPECT_EQ(client.readBody(100), "moved");
  }
}

TEST(WinInet, ConnectionTargetTakesEveryConnectionAndRedirect) {
  LocalHttpServer server([](const std::string& request) {
    if (request.rfind("GET /old", 0) == 0)
      return response("301 Moved", "", "Location: http://10.255.255.1:81/new\r\n");
    return response("200 OK", "here");
  });
  SetInternetConnectionTarget("127.0.0.1", server.Port());
  HINTERNET internet = InternetOpenA("t", INTERNET_OPEN_TYPE_DIRECT, "", "", 0);
  HINTERNET connection = InternetConnectA(internet, "charts.invalid", 0, "", "", INTERNET_SERVICE_HTTP, 0, 0);
  HINTERNET request = HttpOpenRequestA(connection, "GET", "/old", "", "", {}, 0, 0);
  BOOL sent = HttpSendRequestA(request);
  SetInternetConnectionTarget("", 0);
  ASSERT_TRUE(sent);
  std::string status;
  EXPECT_TRUE(HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE, status));
  EXPECT_EQ(status, "200");
  auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_NE(requests[0].find("Host: charts.invalid"), std::string::npos) << requests[0];
  EXPECT_EQ(requests[1].rfind("GET /new ", 0), 0u) << requests[1];
  for (HINTERNET h : {request, connection, internet}) InternetCloseHandle(h);

  // Without the target the named server is asked again.
  HINTERNET again = InternetOpenA("t", INTERNET_OPEN_TYPE_DIRECT, "", "", 0);
  HINTERNET refused = InternetConnectA(again, "127.0.0.1", closedPort(), "", "", INTERNET_SERVICE_HTTP, 0, 0);
  HINTERNET second = HttpOpenRequestA(refused, "GET", "/old", "", "", {}, 0, 0);
  EXPECT_FALSE(HttpSendRequestA(second));
  for (HINTERNET h : {second, refused, again}) InternetCloseHandle(h);
}

std::vector<std::string> statusLog;
void logStatus(HINTERNET, DWORD_PTR context, DWORD status, void* info, DWORD length) {
  std::string entry = std::to_string(context) + ":" + std::to_string(status);
  if (info) entry += " " + std::string(static_cast<const char*>(info), length - 1);
  statusLog.push_back(entry);
}

TEST(WinInet, StatusCallbackReportsTheRequestAndItsRedirects) {
  LocalHttpServer server([](const std::string& request) {
    if (request.rfind("GET /old", 0) == 0) return response("301 Moved", "", "Location: /new\r\n");
    return response("200 OK", "here");
  });
  statusLog.clear();
  HINTERNET internet = InternetOpenA("agent", INTERNET_OPEN_TYPE_DIRECT, "", "", 0);
  EXPECT_EQ(InternetSetStatusCallback(internet, &logStatus), nullptr);
  HINTERNET connection = InternetConnectA(internet, "127.0.0.1", server.Port(), "", "", INTERNET_SERVICE_HTTP, 0, 7);
  HINTERNET request = HttpOpenRequestA(connection, "GET", "/old", "", "", {}, 0, 0);
  ASSERT_TRUE(HttpSendRequestA(request));
  InternetCloseHandle(request);
  InternetCloseHandle(connection);
  InternetCloseHandle(internet);  // no context: no report
  const std::string newUrl = "http://127.0.0.1:" + std::to_string(server.Port()) + "/new";
  EXPECT_EQ(statusLog, (std::vector<std::string>{"7:60", "7:30", "7:110 " + newUrl, "7:41", "7:70", "7:70"}));
  int bogus = 0;
  EXPECT_EQ(InternetSetStatusCallback(&bogus, &logStatus), INTERNET_INVALID_STATUS_CALLBACK);
}

TEST(WinInet, PostSendsItsBodyAndReadFileExReturnsAsDataArrives) {
  LocalHttpServer server([](const std::string& request) {
    return response("200 OK", request.substr(request.find("\r\n\r\n") + 4));
  });
  HttpClient client(server.Port(), "/form");
  HINTERNET post = HttpOpenRequestA(client.connection, "POST", "/form", "", "", {"text/html, */*"}, 0, 0);
  ASSERT_TRUE(HttpSendRequestA(post, "Content-Type: application/x-www-form-urlencoded", "a=1&b=2"));
  char buffer[65536];
  INTERNET_BUFFERSA buffers;
  buffers.lpvBuffer = buffer;
  buffers.dwBufferLength = sizeof buffer;
  ASSERT_TRUE(InternetReadFileExA(post, &buffers, IRF_NO_WAIT, 0));
  EXPECT_EQ(std::string(buffer, buffers.dwBufferLength), "a=1&b=2");
  buffers.dwBufferLength = sizeof buffer;
  ASSERT_TRUE(InternetReadFileExA(post, &buffers, IRF_NO_WAIT, 0));
  EXPECT_EQ(buffers.dwBufferLength, 0u);
  InternetCloseHandle(post);

  const std::string r = server.Requests().at(0);
  EXPECT_EQ(r.rfind("POST /form HTTP/1.1\r\n", 0), 0u);
  EXPECT_NE(r.find("Accept: text/html, */*\r\n"), std::string::npos);
  EXPECT_NE(r.find("Content-Type: application/x-www-form-urlencoded\r\n"), std::string::npos);
}

TEST(WinInet, SilentServerTimesOut) {
  std::atomic<bool> release{false};
  LocalHttpServer server([&](const std::string&) {
    while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return std::string();
  });
  HttpClient client(server.Port(), "/slow");
  DWORD timeout = 300;
  ASSERT_TRUE(InternetSetOptionA(client.request, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout));
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(HttpSendRequestA(client.request));
  EXPECT_EQ(lastInternetError(), ERROR_INTERNET_TIMEOUT);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  release = true;
}

TEST(WinInet, OptionsAreKeptPerHandleAndInherited) {
  HINTERNET internet = InternetOpenA("agent", INTERNET_OPEN_TYPE_DIRECT, "", "", 0);
  DWORD timeout = 1234;
  ASSERT_TRUE(InternetSetOptionA(internet, INTERNET_OPTION_CONNECT_TIMEOUT, &timeout, sizeof timeout));
  HINTERNET connection = InternetConnectA(internet, "127.0.0.1", 0, "", "", INTERNET_SERVICE_HTTP, 0, 0);
  HINTERNET request = HttpOpenRequestA(connection, "GET", "/", "", "", {}, INTERNET_FLAG_SECURE, 0);

  DWORD value = 0, length = sizeof value;
  ASSERT_TRUE(InternetQueryOptionA(request, INTERNET_OPTION_CONNECT_TIMEOUT, &value, &length));
  EXPECT_EQ(value, 1234u);

  // Security flags read back as written; they do not weaken certificate checks.
  length = sizeof value;
  ASSERT_TRUE(InternetQueryOptionA(request, INTERNET_OPTION_SECURITY_FLAGS, &value, &length));
  value |= SECURITY_FLAG_IGNORE_REVOCATION | SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_WRONG_USAGE;
  ASSERT_TRUE(InternetSetOptionA(request, INTERNET_OPTION_SECURITY_FLAGS, &value, sizeof value));
  DWORD back = 0;
  length = sizeof back;
  ASSERT_TRUE(InternetQueryOptionA(request, INTERNET_OPTION_SECURITY_FLAGS, &back, &length));
  EXPECT_EQ(back, 0x380u);

  ASSERT_TRUE(InternetSetOptionA(request, INTERNET_OPTION_USERNAME, "alice", 6));
  char text[3];
  length = sizeof text;
  EXPECT_FALSE(InternetQueryOptionA(request, INTERNET_OPTION_USERNAME, text, &length));
  EXPECT_EQ(length, 6u);  // the room needed
  char name[16];
  length = sizeof name;
  ASSERT_TRUE(InternetQueryOptionA(request, INTERNET_OPTION_USERNAME, name, &length));
  EXPECT_STREQ(name, "alice");

  length = sizeof value;
  ASSERT_TRUE(InternetQueryOptionA(nullptr, INTERNET_OPTION_CONNECTED_STATE, &value, &length));
  EXPECT_EQ(value & INTERNET_STATE_DISCONNECTED_BY_USER, 0u);
  EXPECT_FALSE(InternetQueryOptionA(request, 9999, &value, &length));

  // Handles of the wrong kind are refused.
  EXPECT_EQ(HttpOpenRequestA(internet, "GET", "/", "", "", {}, 0, 0), nullptr);
  EXPECT_FALSE(HttpSendRequestA(connection));
  int bogus = 0;
  EXPECT_FALSE(InternetCloseHandle(&bogus));

  InternetCloseHandle(request);
  InternetCloseHandle(connection);
  InternetCloseHandle(internet);
}

TEST(WinInet, CrackUrlSplitsTheParts) {
  struct Case {
    const char* url;
    DWORD flags;
    INTERNET_SCHEME scheme;
    const char* host;
    INTERNET_PORT port;
    const char* user;
    const char* password;
    const char* path;
    const char* extra;
  };
  const Case cases[] = {
      {"http://example.org/img.png", 0, INTERNET_SCHEME_HTTP, "example.org", 80, "", "", "/img.png", ""},
      {"https://example.org:8443/a/b.jpg?x=1#top", 0, INTERNET_SCHEME_HTTPS, "example.org", 8443, "", "", "/a/b.jpg",
       "?x=1#top"},
      {"ftp://bob:pw@files.example.org/dir/a.tif", 0, INTERNET_SCHEME_FTP, "files.example.org", 21, "bob", "pw",
       "/dir/a.tif", ""},
      {"http://host/a%20b.png?q=%41", ICU_ESCAPE, INTERNET_SCHEME_HTTP, "host", 80, "", "", "/a b.png", "?q=A"},
      {"http://host/a%20b.png", 0, INTERNET_SCHEME_HTTP, "host", 80, "", "", "/a%20b.png", ""},
      {"http://host", 0, INTERNET_SCHEME_HTTP, "host", 80, "", "", "", ""},
      {"http://[::1]:81/x", 0, INTERNET_SCHEME_HTTP, "::1", 81, "", "", "/x", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    URL_COMPONENTSA parts;
    ASSERT_TRUE(InternetCrackUrlA(c.url, c.flags, parts));
    EXPECT_EQ(parts.nScheme, c.scheme);
    EXPECT_EQ(parts.hostName, c.host);
    EXPECT_EQ(parts.nPort, c.port);
    EXPECT_EQ(parts.userName, c.user);
    EXPECT_EQ(parts.password, c.password);
    EXPECT_EQ(parts.urlPath, c.path);
    EXPECT_EQ(parts.extraInfo, c.extra);
  }
  for (const char* bad : {"", "no scheme", "http:/host", "http://host:99999/", "http://host:8a/", "http:///path"}) {
    URL_COMPONENTSA parts;
    EXPECT_FALSE(InternetCrackUrlA(bad, 0, parts)) << bad;
  }
}

TEST(WinInet, CertificatesAreCheckedWhateverTheFlagsSay) {
  TestCertificate certificate;
  LocalHttpServer server([](const std::string&) { return response("200 OK", "secret"); }, certificate.context);
  const DWORD careless = INTERNET_FLAG_RELOAD | INTERNET_FLAG_SECURE | INTERNET_FLAG_IGNORE_CERT_CN_INVALID |
                         INTERNET_FLAG_IGNORE_CERT_DATE_INVALID;
  {
    HttpClient client(server.Port(), "/", careless);
    DWORD flags = SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_REVOCATION;
    ASSERT_TRUE(InternetSetOptionA(client.request, INTERNET_OPTION_SECURITY_FLAGS, &flags, sizeof flags));
    EXPECT_FALSE(HttpSendRequestA(client.request));
    EXPECT_EQ(lastInternetError(), ERROR_INTERNET_SEC_CERT_ERRORS);
  }
  SetInternetCertificateAuthority(certificate.pemFile);
  {
    HttpClient client(server.Port(), "/", careless);
    EXPECT_TRUE(HttpSendRequestA(client.request));
    EXPECT_EQ(client.readBody(100), "secret");
  }
  SetInternetCertificateAuthority("");
}

TEST(WinInet, WithoutItsTransportLibraryNoSessionOpens) {
  const std::vector<const char*> names = InternetLibraries().RenameForTest({"libvesk-no-such-transport.so.4"});
  EXPECT_EQ(InternetOpenA("t", INTERNET_OPEN_TYPE_DIRECT, "", "", 0), nullptr);
  DWORD error = 0;
  std::string text;
  InternetGetLastResponseInfoA(&error, text);
  EXPECT_EQ(error, ERROR_INTERNET_INTERNAL_ERROR);
  EXPECT_NE(text.find("libvesk-no-such-transport.so.4"), std::string::npos) << text;
  InternetLibraries().RenameForTest(names);
  // With the library back, sessions open and transfers run again.
  LocalHttpServer server([](const std::string&) { return response("200 OK", "ok"); });
  HttpClient client(server.Port(), "/");
  ASSERT_TRUE(HttpSendRequestA(client.request));
  EXPECT_EQ(client.readBody(10), "ok");
}

TEST(WinInet, IsALibraryBuiltIntoTheProgram) {
  HMODULE library = LoadLibrary("WININET.DLL");
  ASSERT_NE(library, nullptr);
  for (const char* name : {"InternetOpenA", "InternetCloseHandle", "InternetConnectA", "HttpOpenRequestA",
                           "HttpSendRequestA", "HttpQueryInfoA", "InternetReadFile", "InternetReadFileExA",
                           "InternetQueryOptionA", "InternetSetOptionA", "InternetGetLastResponseInfoA",
                           "FtpOpenFileA"})
    EXPECT_NE(GetProcAddress(library, name), nullptr) << name;
  EXPECT_EQ(GetProcAddress(library, "InternetReadFileExA"), reinterpret_cast<void*>(&InternetReadFileExA));
  FreeLibrary(library);
}
