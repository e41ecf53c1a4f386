// A small HTTP server on a loopback address of its own (127.0.0.x: every
// address of 127.0.0.0/8 answers on the loopback), for the tests of the real
// HTTP calls. It serves pages, redirects and hostile answers:
//   /page           a page (200, Content-Length)
//   /icon           binary bytes with zeros inside (200)
//   /status404      a page with status 404
//   /chain/N        a redirect to /chain/N-1, and /chain/0 a page
//   /loop/N         a redirect to /loop/N+1, for ever
//   /endless        200 without length, then bytes for ever
//   /fifty          200 with a body of 50 MB
//   /huge           200 declaring 10 GB, then bytes slowly for ever
//   /trickle        200, then one byte every 100 ms for ever
//   /silent         reads the request and never answers
//   /slowheaders    a status line, then header bytes one per 100 ms for ever
// Every request line and its headers are recorded, and the bytes sent are
// counted. Two other kinds of server stand in for hosts that never get as
// far as HTTP: a mute one accepts and reads (a TLS handshake included) and
// never answers; a full one never accepts, its queue already full, so that
// a connect to it never completes.
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>
// (winsock2 before windows.h)
#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace lh::test {

class LoopbackServer {
 public:
  enum class Kind { Http, Mute, Full };
  explicit LoopbackServer(const char* ip, Kind kind = Kind::Http);
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  bool listening() const { return listener_ != INVALID_SOCKET; }
  std::string base() const;  // "http://127.0.0.x:port"
  // The head of every request received so far (request line and headers).
  std::vector<std::string> requests();
  static std::string iconBytes();
  // Every byte sent so far, on every connection.
  long long bytesSent() const { return sent_; }
  // Serves `body` (status 200) for requests of `path`, whatever the method,
  // before the fixed routes above.
  void route(const std::string& path, std::string body);

 private:
  void acceptLoop();
  void serve(SOCKET s);
  // Waits until the socket can be read or written, or the server stops.
  bool ready(SOCKET s, bool forWriting);
  bool sendAll(SOCKET s, const std::string& data);
  int receive(SOCKET s, char* buf, int size);
  bool pause(int ms);  // false once the server stops

  void fillQueue();

  std::string ip_;
  Kind kind_;
  int port_ = 0;
  std::atomic<long long> sent_{0};
  std::vector<SOCKET> queued_;  // a full server's own waiting connects
  SOCKET listener_ = INVALID_SOCKET;
  std::atomic<bool> stopping_{false};
  HANDLE stopEvent_ = nullptr;
  std::thread acceptor_;
  std::vector<std::thread> handlers_;  // only the acceptor adds to it
  std::mutex mutex_;
  std::vector<std::string> requests_;
  std::vector<std::pair<std::string, std::string>> routes_;
};

}  // namespace lh::test
