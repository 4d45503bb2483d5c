// The internet layer's handling of hostile answers: status lines, headers,
// redirects and bodies as a server on this machine sends them.
//
// Input: one byte of request flags, then the answers for the successive
// connections separated by "~~~\n" (a redirect opens a new connection and
// gets the next answer). Every connection goes to the harness's own server
// on 127.0.0.1, whatever a redirect names, so nothing leaves this machine.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/win/wininet.h"

namespace {

// Answers each accepted connection with the next prepared answer, closes
// its sending side, then drains it until the client closes.
class AnswerServer {
public:
  AnswerServer() {
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(listener_, 16) != 0) abort();
    socklen_t len = sizeof addr;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    std::thread([this] { Serve(); }).detach();
  }
  INTERNET_PORT Port() const { return port_; }
  void Prepare(std::vector<std::string> answers) {
    std::lock_guard<std::mutex> guard(lock_);
    answers_ = std::move(answers);
    next_ = 0;
  }

private:
  struct Client {
    int fd;
    std::string out;
    size_t sent = 0;
    bool closedOut = false;
  };

  void Serve() {
    std::vector<Client> clients;
    for (;;) {
      std::vector<pollfd> fds{{listener_, POLLIN, 0}};
      for (const Client& c : clients) fds.push_back({c.fd, static_cast<short>(c.closedOut ? POLLIN : POLLOUT), 0});
      if (poll(fds.data(), fds.size(), 100) <= 0) continue;
      for (size_t i = clients.size(); i-- > 0;)
        if (fds[i + 1].revents && !Step(clients[i])) {
          close(clients[i].fd);
          clients.erase(clients.begin() + static_cast<ptrdiff_t>(i));
        }
      if (fds[0].revents & POLLIN) {
        int fd = accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) continue;
        std::lock_guard<std::mutex> guard(lock_);
        clients.push_back({fd, next_ < answers_.size() ? answers_[next_] : std::string()});
        ++next_;
      }
    }
  }

  // Sends what is left, then reads until the end; false when done.
  static bool Step(Client& c) {
    if (!c.closedOut) {
      if (c.sent < c.out.size()) {
        ssize_t n = send(c.fd, c.out.data() + c.sent, c.out.size() - c.sent, MSG_NOSIGNAL);
        if (n < 0) return errno == EAGAIN;
        c.sent += static_cast<size_t>(n);
        if (c.sent < c.out.size()) return true;
      }
      shutdown(c.fd, SHUT_WR);
      c.closedOut = true;
      return true;
    }
    char buffer[4096];
    ssize_t n = recv(c.fd, buffer, sizeof buffer, 0);
    return n > 0 || (n < 0 && errno == EAGAIN);
  }

  int listener_ = -1;
  INTERNET_PORT port_ = 0;
  std::mutex lock_;
  std::vector<std::string> answers_;
  size_t next_ = 0;
};

std::vector<std::string> SplitAnswers(std::string_view data) {
  std::vector<std::string> out;
  constexpr std::string_view kSeparator = "~~~\n";
  for (;;) {
    size_t at = data.find(kSeparator);
    out.emplace_back(data.substr(0, at));
    if (at == std::string_view::npos || out.size() == 12) break;
    data.remove_prefix(at + kSeparator.size());
  }
  return out;
}

void Exercise(HINTERNET connection, uint8_t flags) {
  DWORD requestFlags = (flags & 1) ? INTERNET_FLAG_NO_AUTO_REDIRECT : 0;
  HINTERNET request = HttpOpenRequestA(connection, (flags & 2) ? "HEAD" : "GET", "/chart.jpg",
                                       (flags & 4) ? "HTTP/1.0" : "", "", {}, requestFlags, 1);
  if (!request) return;
  if (HttpSendRequestA(request)) {
    static constexpr DWORD kQueries[] = {HTTP_QUERY_STATUS_CODE,    HTTP_QUERY_STATUS_TEXT,   HTTP_QUERY_VERSION,
                                         HTTP_QUERY_RAW_HEADERS,    HTTP_QUERY_RAW_HEADERS_CRLF,
                                         HTTP_QUERY_CONTENT_LENGTH, HTTP_QUERY_CONTENT_TYPE,  HTTP_QUERY_LOCATION,
                                         HTTP_QUERY_LAST_MODIFIED,  HTTP_QUERY_ETAG};
    std::string value;
    for (DWORD q : kQueries) HttpQueryInfoA(request, q, value);
    const DWORD chunk = 1u << ((flags >> 4) & 0x0F);  // 1 byte to 32 KiB
    std::vector<char> buffer(chunk);
    for (int reads = 0; reads < 100000; ++reads) {
      DWORD got = 0;
      BOOL ok;
      if (flags & 8) {
        INTERNET_BUFFERSA b;
        b.lpvBuffer = buffer.data();
        b.dwBufferLength = chunk;
        ok = InternetReadFileExA(request, &b, IRF_NO_WAIT, 0);
        got = b.dwBufferLength;
      } else {
        ok = InternetReadFile(request, buffer.data(), chunk, &got);
      }
      if (!ok || got == 0) break;
    }
  }
  DWORD error = 0;
  std::string text;
  InternetGetLastResponseInfoA(&error, text);
  InternetCloseHandle(request);
}

void OnStatus(HINTERNET, DWORD_PTR, DWORD, void*, DWORD) {}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > (1 << 16)) return 0;
  static AnswerServer& server = *new AnswerServer;  // its thread outlives the harness
  static HINTERNET connection = [] {
    SetInternetConnectionTarget("127.0.0.1", server.Port());
    HINTERNET session = InternetOpenA("fuzz", INTERNET_OPEN_TYPE_DIRECT, "", "", 0);
    DWORD timeout = 2000;
    InternetSetOptionA(session, INTERNET_OPTION_CONNECT_TIMEOUT, &timeout, sizeof timeout);
    InternetSetOptionA(session, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout);
    InternetSetStatusCallback(session, OnStatus);
    return InternetConnectA(session, "charts.invalid", 0, "", "", INTERNET_SERVICE_HTTP, 0, 1);
  }();
  server.Prepare(SplitAnswers(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1)));
  Exercise(connection, data[0]);
  return 0;
}
