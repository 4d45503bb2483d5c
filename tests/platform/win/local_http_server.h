// A small HTTP(S) server on this machine for the internet tests, and a
// certificate authority of the test's own that it can present.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/win/wininet.h"

namespace testhttp {

// A small HTTP server on 127.0.0.1 and an ephemeral port, serving one
// connection at a time (over TLS when given a context). The handler gets the
// request (head and body) and returns the raw bytes to answer; the
// connection is closed after them.
class LocalHttpServer {
public:
  using Handler = std::function<std::string(const std::string& request)>;

  explicit LocalHttpServer(Handler handler, SSL_CTX* tls = nullptr) : handler_(std::move(handler)), tls_(tls) {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    if (bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(listener_, 8) != 0)
      throw std::runtime_error("cannot listen");
    socklen_t len = sizeof addr;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { serve(); });
  }
  ~LocalHttpServer() {
    stop_ = true;
    thread_.join();
    close(listener_);
  }

  INTERNET_PORT Port() const { return port_; }
  std::vector<std::string> Requests() {
    std::lock_guard<std::mutex> guard(lock_);
    return requests_;
  }

private:
  void serve() {
    while (!stop_) {
      pollfd p{listener_, POLLIN, 0};
      if (poll(&p, 1, 20) <= 0) continue;
      int client = accept(listener_, nullptr, nullptr);
      if (client < 0) continue;
      timeval timeout{2, 0};
      setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
      SSL* ssl = nullptr;
      if (tls_) {
        ssl = SSL_new(tls_);
        SSL_set_fd(ssl, client);
        if (SSL_accept(ssl) <= 0) {  // the client refused our certificate
          SSL_free(ssl);
          close(client);
          continue;
        }
      }
      auto receive = [&](char* buffer, size_t size) -> long {
        return ssl ? SSL_read(ssl, buffer, static_cast<int>(size)) : recv(client, buffer, size, 0);
      };
      std::string request = readRequest(receive);
      {
        std::lock_guard<std::mutex> guard(lock_);
        requests_.push_back(request);
      }
      std::string answer = handler_(request);
      for (size_t sent = 0; sent < answer.size();) {
        long n = ssl ? SSL_write(ssl, answer.data() + sent, static_cast<int>(answer.size() - sent))
                     : send(client, answer.data() + sent, answer.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) break;
        sent += static_cast<size_t>(n);
      }
      if (ssl) {
        SSL_shutdown(ssl);
        SSL_free(ssl);
      }
      shutdown(client, SHUT_RDWR);
      close(client);
    }
  }

  // The head, then as many body bytes as Content-Length announces (bounded).
  template <typename Receive>
  static std::string readRequest(Receive receive) {
    std::string data;
    char buffer[4096];
    size_t headEnd;
    while ((headEnd = data.find("\r\n\r\n")) == std::string::npos && data.size() < 65536) {
      long n = receive(buffer, sizeof buffer);
      if (n <= 0) return data;
      data.append(buffer, static_cast<size_t>(n));
    }
    size_t length = 0;
    size_t at = data.find("Content-Length: ");
    if (at != std::string::npos && at < headEnd) length = std::stoul(data.substr(at + 16));
    while (data.size() < headEnd + 4 + std::min<size_t>(length, 65536)) {
      long n = receive(buffer, sizeof buffer);
      if (n <= 0) break;
      data.append(buffer, static_cast<size_t>(n));
    }
    return data;
  }

  Handler handler_;
  SSL_CTX* tls_;
  int listener_ = -1;
  INTERNET_PORT port_ = 0;
  std::atomic<bool> stop_{false};
  std::mutex lock_;
  std::vector<std::string> requests_;
  std::thread thread_;
};

inline std::string response(const std::string& status, const std::string& body, const std::string& extraHeaders = {}) {
  return "HTTP/1.1 " + status + "\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\nConnection: close\r\n" + extraHeaders + "\r\n" + body;
}

inline std::string payload(size_t size) {
  std::string s(size, '\0');
  for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  return s;
}

inline INTERNET_PORT closedPort() {
  int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  socklen_t len = sizeof addr;
  getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
  close(s);
  return ntohs(addr.sin_port);
}

// A self-signed certificate for 127.0.0.1, written as PEM into a temporary
// folder, and a server context that presents it.
struct TestCertificate {
  std::filesystem::path folder;
  std::string pemFile;
  SSL_CTX* context = nullptr;

  TestCertificate() {
    folder = std::filesystem::path(testing::TempDir()) / ("wininet-ca-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    pemFile = (folder / "ca.pem").string();
    EVP_PKEY* key = EVP_EC_gen("P-256");
    X509* cert = X509_new();
    X509_set_version(cert, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
    X509_gmtime_adj(X509_getm_notBefore(cert), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert), 3600);
    X509_set_pubkey(cert, key);
    X509_NAME* name = X509_get_subject_name(cert);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1,
                               0);
    X509_set_issuer_name(cert, name);
    X509V3_CTX v3;
    X509V3_set_ctx_nodb(&v3);
    X509V3_set_ctx(&v3, cert, cert, nullptr, nullptr, 0);
    const std::pair<int, const char*> extensions[] = {
        {NID_basic_constraints, "critical,CA:TRUE"},
        {NID_key_usage, "critical,digitalSignature,keyCertSign"},
        {NID_subject_alt_name, "IP:127.0.0.1"},
    };
    for (const auto& [nid, value] : extensions) {
      X509_EXTENSION* e = X509V3_EXT_conf_nid(nullptr, &v3, nid, value);
      X509_add_ext(cert, e, -1);
      X509_EXTENSION_free(e);
    }
    X509_sign(cert, key, EVP_sha256());
    FILE* f = std::fopen(pemFile.c_str(), "w");
    PEM_write_X509(f, cert);
    std::fclose(f);
    context = SSL_CTX_new(TLS_server_method());
    SSL_CTX_use_certificate(context, cert);
    SSL_CTX_use_PrivateKey(context, key);
    X509_free(cert);
    EVP_PKEY_free(key);
  }
  ~TestCertificate() {
    SSL_CTX_free(context);
    std::filesystem::remove_all(folder);
  }
};

}  // namespace testhttp
