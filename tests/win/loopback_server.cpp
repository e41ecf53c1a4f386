#include "win/loopback_server.h"

#include <optional>

#include <cstdlib>

namespace lh::test {

namespace {

struct WinsockInit {
  WinsockInit() {
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
  }
};

std::string answer(int status, const std::string& reason, const std::string& body,
                   const std::string& extraHeaders = "") {
  return "HTTP/1.0 " + std::to_string(status) + " " + reason + "\r\nContent-Type: text/html\r\nContent-Length: " +
         std::to_string(body.size()) + "\r\n" + extraHeaders + "\r\n" + body;
}

std::string redirectTo(const std::string& where) {
  return "HTTP/1.0 302 Found\r\nLocation: " + where + "\r\nContent-Length: 0\r\n\r\n";
}

}  // namespace

LoopbackServer::LoopbackServer(const char* ip, Kind kind) : ip_(ip), kind_(kind) {
  static WinsockInit winsock;
  stopEvent_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  inet_pton(AF_INET, ip, &addr.sin_addr);
  addr.sin_port = 0;
  int len = sizeof addr;
  const int backlog = kind == Kind::Full ? 1 : 16;
  if (bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(listener_, backlog) != 0 ||
      getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    closesocket(listener_);
    listener_ = INVALID_SOCKET;
    return;
  }
  port_ = ntohs(addr.sin_port);
  if (kind == Kind::Full) {
    fillQueue();
    return;
  }
  acceptor_ = std::thread([this] { acceptLoop(); });
}

void LoopbackServer::fillQueue() {
  // The queue holds backlog + 1 connections; the SYNs of any further one
  // are dropped, and its connect waits for the system's retries.
  sockaddr_in to{};
  to.sin_family = AF_INET;
  inet_pton(AF_INET, ip_.c_str(), &to.sin_addr);
  to.sin_port = htons(static_cast<u_short>(port_));
  for (int i = 0; i < 4; ++i) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    u_long nonBlocking = 1;
    ioctlsocket(s, FIONBIO, &nonBlocking);
    connect(s, reinterpret_cast<sockaddr*>(&to), sizeof to);
    queued_.push_back(s);
  }
  Sleep(200);  // the handshakes of the queued ones
}

LoopbackServer::~LoopbackServer() {
  // Every wait of the server's threads watches `stopping_` (under Wine a
  // shutdown from another thread does not wake a blocked receive), and each
  // handler closes its connection as it ends: clients waiting on a silent or
  // endless answer see the connection go.
  stopping_ = true;
  SetEvent(stopEvent_);
  if (acceptor_.joinable()) acceptor_.join();
  for (std::thread& t : handlers_) t.join();
  for (SOCKET s : queued_) closesocket(s);
  if (listener_ != INVALID_SOCKET) closesocket(listener_);
  CloseHandle(stopEvent_);
}

std::string LoopbackServer::base() const { return "http://" + ip_ + ":" + std::to_string(port_); }

std::vector<std::string> LoopbackServer::requests() {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

void LoopbackServer::route(const std::string& path, std::string body) {
  std::lock_guard<std::mutex> lock(mutex_);
  routes_.emplace_back(path, std::move(body));
}

std::string LoopbackServer::iconBytes() {
  std::string bytes("\x00\x00\x01\x00\x01\x00", 6);
  for (int i = 0; i < 300; ++i) bytes += static_cast<char>(i * 7);
  return bytes;
}

bool LoopbackServer::ready(SOCKET s, bool forWriting) {
  while (!stopping_) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval tv{0, 20000};
    const int n = select(0, forWriting ? nullptr : &set, forWriting ? &set : nullptr, nullptr, &tv);
    if (n != 0) return n > 0;
  }
  return false;
}

void LoopbackServer::acceptLoop() {
  while (ready(listener_, false)) {
    SOCKET c = accept(listener_, nullptr, nullptr);
    if (c == INVALID_SOCKET) continue;
    u_long nonBlocking = 1;
    ioctlsocket(c, FIONBIO, &nonBlocking);
    handlers_.emplace_back([this, c] { serve(c); });
  }
}

bool LoopbackServer::sendAll(SOCKET s, const std::string& data) {
  std::size_t sent = 0;
  while (sent < data.size()) {
    if (!ready(s, true)) return false;
    const int n = send(s, data.data() + sent, static_cast<int>(data.size() - sent), 0);
    if (n < 0 && WSAGetLastError() == WSAEWOULDBLOCK) continue;
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
    sent_ += n;
  }
  return true;
}

int LoopbackServer::receive(SOCKET s, char* buf, int size) {
  for (;;) {
    if (!ready(s, false)) return -1;
    const int n = recv(s, buf, size, 0);
    if (n < 0 && WSAGetLastError() == WSAEWOULDBLOCK) continue;
    return n;
  }
}

bool LoopbackServer::pause(int ms) { return WaitForSingleObject(stopEvent_, static_cast<DWORD>(ms)) == WAIT_TIMEOUT; }

void LoopbackServer::serve(SOCKET s) {
  std::string head;
  char buf[4096];
  if (kind_ == Kind::Mute) {
    while (receive(s, buf, sizeof buf) > 0) {
    }
    closesocket(s);
    return;
  }
  while (head.find("\r\n\r\n") == std::string::npos) {
    const int n = receive(s, buf, sizeof buf);
    if (n <= 0) break;
    head.append(buf, static_cast<std::size_t>(n));
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(head.substr(0, head.find("\r\n\r\n")));
  }
  const std::size_t sp1 = head.find(' '), sp2 = head.find(' ', sp1 + 1);
  const std::string path = sp1 == std::string::npos || sp2 == std::string::npos ? "" : head.substr(sp1 + 1, sp2 - sp1 - 1);

  std::optional<std::string> routed;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& [p, body] : routes_) {
      if (p == path) routed = body;
    }
  }
  if (routed) {
    sendAll(s, answer(200, "OK", *routed));
  } else if (path == "/page") {
    sendAll(s, answer(200, "OK", "<html><head><title>page</title></head></html>"));
  } else if (path == "/icon") {
    sendAll(s, answer(200, "OK", iconBytes(), "Content-Type: image/x-icon\r\n"));
  } else if (path == "/status404") {
    sendAll(s, answer(404, "Not Found", "not here"));
  } else if (path.rfind("/chain/", 0) == 0) {
    const int n = std::atoi(path.c_str() + 7);
    sendAll(s, n <= 0 ? answer(200, "OK", "chain end") : redirectTo("/chain/" + std::to_string(n - 1)));
  } else if (path.rfind("/loop/", 0) == 0) {
    sendAll(s, redirectTo(base() + "/loop/" + std::to_string(std::atoi(path.c_str() + 6) + 1)));
  } else if (path == "/fifty") {
    // 50 MB, declared and sent in pieces (never held whole here).
    const std::string chunk(64 * 1024, 'f');
    if (sendAll(s, "HTTP/1.0 200 OK\r\nContent-Length: 52428800\r\n\r\n")) {
      for (int i = 0; i < 800 && !stopping_ && sendAll(s, chunk); ++i) {
      }
    }
  } else if (path == "/endless") {
    const std::string chunk(16 * 1024, 'x');
    if (sendAll(s, "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\n\r\n")) {
      while (!stopping_ && sendAll(s, chunk)) {
      }
    }
  } else if (path == "/huge") {
    const std::string chunk(1024, 'y');
    if (sendAll(s, "HTTP/1.0 200 OK\r\nContent-Length: 10000000000\r\n\r\n")) {
      while (pause(10) && sendAll(s, chunk)) {
      }
    }
  } else if (path == "/trickle") {
    if (sendAll(s, "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n")) {
      while (pause(100) && sendAll(s, "z")) {
      }
    }
  } else if (path == "/slowheaders") {
    if (sendAll(s, "HTTP/1.1 200 OK\r\nX-Slow: ")) {
      while (pause(100) && sendAll(s, "s")) {
      }
    }
  } else if (path == "/silent") {
    WaitForSingleObject(stopEvent_, INFINITE);
  } else {
    sendAll(s, answer(404, "Not Found", ""));
  }
  shutdown(s, SD_SEND);
  // Let the client read to the end before the socket goes.
  while (receive(s, buf, sizeof buf) > 0) {
  }
  closesocket(s);
}

}  // namespace lh::test
