// HTTP GET over the program's own sockets (Winsock) and the system's TLS
// (Schannel), with the program's own limits (platform/http.h).
//
// Why not WinINet: a blocked WinINet call cannot be ended from outside.
// Measured under Wine, headers sent one byte at a time kept HttpSendRequest
// (and its thread) busy until the server gave up, whatever timeouts were set
// on its handles before or during the call, and closing the handles from
// another thread does not wake the call either; with a few such sites all
// the bounded calls were taken and good sites got no icon. Here every wait
// is the program's own: sockets are non-blocking, each wait is a select()
// of at most kSliceMs that looks at the deadline and the stop flag, and
// closing the socket ends everything at once. So a hop ends at the deadline
// from the connect, through the TLS handshake and the last header byte, to
// the end of the body, and a refused body is never read on.
//
// The request still runs on a thread of its own (runBounded,
// platform/bounded_call.h) for the one wait that cannot be bounded: the
// name lookup, getaddrinfo(), which a resolver that never answers would
// hold for the system's own retries. The caller waits at most the time
// limit; an abandoned thread ends at its next wait or when the lookup does.
//
// https: Schannel makes the handshake (with the host name for SNI) and the
// server's certificate is checked as the system checks it for a browser:
// the chain to a trusted root for server authentication, then the SSL
// policy with the host name (expired, not yet valid, another name, an
// untrusted root: all refuse the hop). Checking is never turned off.
//
// The request is HTTP/1.0 with Host, "Accept: */*" and "Connection: close",
// so the answer ends with the connection; responses are read by
// ResponseReader (Content-Length, chunked or the close). Proxies are not
// used: the icon downloads go straight to the sites.
#include <winsock2.h>
#include <ws2tcpip.h>
// (winsock2 before windows.h)
#include <windows.h>
#define SECURITY_WIN32
#include <schannel.h>
#include <security.h>
#include <wincrypt.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "platform/bounded_call.h"
#include "platform/http_response.h"
#include "platform/win32/services_win32.h"
#include "platform/win32/wide.h"

namespace lh::platform::win32 {

namespace {

// The longest single wait: how soon a raised stop flag is seen.
constexpr int kSliceMs = 50;
// Raw bytes of the TLS handshake held at most (certificate chains included).
constexpr std::size_t kMaxHandshakeBytes = 256 * 1024;

std::int64_t nowMs() { return static_cast<std::int64_t>(GetTickCount64()); }

struct WinsockInit {
  WinsockInit() {
    WSADATA wsa;
    ok = WSAStartup(MAKEWORD(2, 2), &wsa) == 0;
  }
  bool ok = false;
};

bool winsockReady() {
  static WinsockInit init;
  return init.ok;
}

class Socket {
 public:
  Socket() = default;
  ~Socket() {
    if (s_ != INVALID_SOCKET) closesocket(s_);
  }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  void reset(SOCKET s) {
    if (s_ != INVALID_SOCKET) closesocket(s_);
    s_ = s;
  }
  SOCKET get() const { return s_; }

 private:
  SOCKET s_ = INVALID_SOCKET;
};

// Waits until `s` can be read (or written), in slices, until the hop's
// deadline or its stop flag: None, TimedOut or Cancelled.
HttpError waitFor(SOCKET s, bool writing, const HopRequest& r) {
  for (;;) {
    if (r.cancel && r.cancel->raised()) return HttpError::Cancelled;
    const std::int64_t left = r.deadlineMs - nowMs();
    if (left <= 0) return HttpError::TimedOut;
    fd_set ready, failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(s, &ready);
    FD_SET(s, &failed);
    const long ms = static_cast<long>(std::min<std::int64_t>(left, kSliceMs));
    timeval tv{ms / 1000, (ms % 1000) * 1000};
    const int n = select(0, writing ? nullptr : &ready, writing ? &ready : nullptr, &failed, &tv);
    if (n < 0) return HttpError::Network;
    if (n > 0) return HttpError::None;  // ready, or failed: the next call says which
  }
}

// The host as getaddrinfo takes it: an IPv6 literal without its brackets.
std::string lookupName(const std::string& host) {
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') return host.substr(1, host.size() - 2);
  return host;
}

HttpError connectTo(const Url& url, const HopRequest& r, Socket& out) {
  if (!winsockReady()) return HttpError::Network;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  addrinfo* found = nullptr;
  if (getaddrinfo(lookupName(url.host).c_str(), std::to_string(url.port).c_str(), &hints, &found) != 0) {
    return HttpError::Network;
  }
  std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> addresses(found, &freeaddrinfo);
  HttpError last = HttpError::Network;
  for (addrinfo* a = found; a; a = a->ai_next) {
    out.reset(socket(a->ai_family, a->ai_socktype, a->ai_protocol));
    if (out.get() == INVALID_SOCKET) continue;
    u_long nonBlocking = 1;
    ioctlsocket(out.get(), FIONBIO, &nonBlocking);
    if (connect(out.get(), a->ai_addr, static_cast<int>(a->ai_addrlen)) == 0) return HttpError::None;
    if (WSAGetLastError() != WSAEWOULDBLOCK) continue;
    last = waitFor(out.get(), true, r);
    if (last == HttpError::TimedOut || last == HttpError::Cancelled) return last;
    int error = 0, size = sizeof error;
    if (last == HttpError::None &&
        getsockopt(out.get(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) == 0 && error == 0) {
      return HttpError::None;
    }
    last = HttpError::Network;
  }
  out.reset(INVALID_SOCKET);
  return last;
}

// The hop's bound and stop flag, looked at before every send and receive
// too: a server that always has bytes ready (records without data, trailers,
// handshake messages after the handshake) never lets a wait happen.
HttpError boundReached(const HopRequest& r) {
  if (r.cancel && r.cancel->raised()) return HttpError::Cancelled;
  if (nowMs() >= r.deadlineMs) return HttpError::TimedOut;
  return HttpError::None;
}

HttpError sendRaw(SOCKET s, const char* data, std::size_t size, const HopRequest& r) {
  while (size > 0) {
    if (const HttpError e = boundReached(r); e != HttpError::None) return e;
    const int n = send(s, data, static_cast<int>(std::min<std::size_t>(size, 1 << 20)), 0);
    if (n > 0) {
      data += n;
      size -= static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && WSAGetLastError() != WSAEWOULDBLOCK) return HttpError::Network;
    if (const HttpError e = waitFor(s, true, r); e != HttpError::None) return e;
  }
  return HttpError::None;
}

// Appends what has arrived (waiting for at least a byte); `closed` once the
// server has closed its side.
HttpError receiveRaw(SOCKET s, std::string& into, bool& closed, const HopRequest& r) {
  char buffer[16 * 1024];
  for (;;) {
    if (const HttpError e = boundReached(r); e != HttpError::None) return e;
    const int n = recv(s, buffer, sizeof buffer, 0);
    if (n > 0) {
      into.append(buffer, static_cast<std::size_t>(n));
      return HttpError::None;
    }
    if (n == 0) {
      closed = true;
      return HttpError::None;
    }
    if (WSAGetLastError() != WSAEWOULDBLOCK) return HttpError::Network;
    if (const HttpError e = waitFor(s, false, r); e != HttpError::None) return e;
  }
}

// ------------------------------------------------------------ the channels

class Channel {
 public:
  virtual ~Channel() = default;
  virtual HttpError send(const std::string& bytes) = 0;
  // Appends the next bytes of the response; `closed` at its end.
  virtual HttpError receive(std::string& into, bool& closed) = 0;
};

class PlainChannel : public Channel {
 public:
  PlainChannel(SOCKET s, const HopRequest& r) : s_(s), r_(r) {}
  HttpError send(const std::string& bytes) override { return sendRaw(s_, bytes.data(), bytes.size(), r_); }
  HttpError receive(std::string& into, bool& closed) override { return receiveRaw(s_, into, closed, r_); }

 private:
  SOCKET s_;
  const HopRequest& r_;
};

class TlsChannel : public Channel {
 public:
  TlsChannel(SOCKET s, const HopRequest& r) : s_(s), r_(r), host_(wide(lookupName(r.url.host))) {}
  ~TlsChannel() override {
    if (haveContext_) DeleteSecurityContext(&context_);
    if (haveCredentials_) FreeCredentialsHandle(&credentials_);
  }
  TlsChannel(const TlsChannel&) = delete;
  TlsChannel& operator=(const TlsChannel&) = delete;

  // The handshake and the certificate check.
  HttpError start() {
    SCHANNEL_CRED settings{};
    settings.dwVersion = SCHANNEL_CRED_VERSION;
    // The certificate is checked below, with the system's chain engine.
    settings.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
    TimeStamp expiry;
    if (AcquireCredentialsHandleW(nullptr, const_cast<wchar_t*>(UNISP_NAME_W), SECPKG_CRED_OUTBOUND, nullptr,
                                  &settings, nullptr, nullptr, &credentials_, &expiry) != SEC_E_OK) {
      return HttpError::Network;
    }
    haveCredentials_ = true;
    if (const HttpError e = handshake(); e != HttpError::None) return e;
    if (!certificateTrusted()) return HttpError::Network;
    if (QueryContextAttributesW(&context_, SECPKG_ATTR_STREAM_SIZES, &sizes_) != SEC_E_OK) return HttpError::Network;
    return HttpError::None;
  }

  HttpError send(const std::string& bytes) override {
    std::size_t at = 0;
    while (at < bytes.size()) {
      const std::size_t n = std::min<std::size_t>(bytes.size() - at, sizes_.cbMaximumMessage);
      std::vector<char> record(sizes_.cbHeader + n + sizes_.cbTrailer);
      std::copy_n(bytes.data() + at, n, record.data() + sizes_.cbHeader);
      SecBuffer buffers[4] = {
          {sizes_.cbHeader, SECBUFFER_STREAM_HEADER, record.data()},
          {static_cast<unsigned long>(n), SECBUFFER_DATA, record.data() + sizes_.cbHeader},
          {sizes_.cbTrailer, SECBUFFER_STREAM_TRAILER, record.data() + sizes_.cbHeader + n},
          {0, SECBUFFER_EMPTY, nullptr},
      };
      SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
      if (EncryptMessage(&context_, 0, &desc, 0) != SEC_E_OK) return HttpError::Network;
      const std::size_t total = buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer;
      if (const HttpError e = sendRaw(s_, record.data(), total, r_); e != HttpError::None) return e;
      at += n;
    }
    return HttpError::None;
  }

  HttpError receive(std::string& into, bool& closed) override {
    for (;;) {
      if (!raw_.empty()) {
        SecBuffer buffers[4] = {
            {static_cast<unsigned long>(raw_.size()), SECBUFFER_DATA, raw_.data()},
            {0, SECBUFFER_EMPTY, nullptr},
            {0, SECBUFFER_EMPTY, nullptr},
            {0, SECBUFFER_EMPTY, nullptr},
        };
        SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
        const SECURITY_STATUS status = DecryptMessage(&context_, &desc, 0, nullptr);
        if (status == SEC_E_OK || status == SEC_I_RENEGOTIATE || status == SEC_I_CONTEXT_EXPIRED) {
          std::string extra;
          bool gotData = false;
          for (const SecBuffer& b : buffers) {
            if (b.BufferType == SECBUFFER_DATA && b.cbBuffer > 0) {
              into.append(static_cast<const char*>(b.pvBuffer), b.cbBuffer);
              gotData = true;
            }
            if (b.BufferType == SECBUFFER_EXTRA && b.cbBuffer > 0) {
              extra.assign(static_cast<const char*>(b.pvBuffer), b.cbBuffer);
            }
          }
          raw_ = std::move(extra);
          if (status == SEC_I_CONTEXT_EXPIRED) {  // the server's close_notify
            closed = true;
            return HttpError::None;
          }
          if (status == SEC_I_RENEGOTIATE) {
            // TLS 1.3 messages after the handshake (session tickets): handed
            // back to the handshake, which may answer.
            if (const HttpError e = handshakeStep(raw_); e != HttpError::None) return e;
          }
          if (gotData) return HttpError::None;
          continue;
        }
        if (status != SEC_E_INCOMPLETE_MESSAGE) return HttpError::Network;
      }
      bool rawClosed = false;
      if (const HttpError e = receiveRaw(s_, raw_, rawClosed, r_); e != HttpError::None) return e;
      if (rawClosed) {
        // Closed without close_notify: the end of the response all the same
        // (the reader checks its framing).
        closed = true;
        return HttpError::None;
      }
    }
  }

 private:
  static constexpr unsigned long kFlags = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                                          ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM;

  // Sends the token of one handshake call and frees it.
  HttpError sendToken(SecBuffer& token) {
    HttpError e = HttpError::None;
    if (token.pvBuffer && token.cbBuffer > 0) {
      e = sendRaw(s_, static_cast<const char*>(token.pvBuffer), token.cbBuffer, r_);
    }
    if (token.pvBuffer) FreeContextBuffer(token.pvBuffer);
    token.pvBuffer = nullptr;
    return e;
  }

  HttpError handshake() {
    SecBuffer out{0, SECBUFFER_TOKEN, nullptr};
    SecBufferDesc outDesc{SECBUFFER_VERSION, 1, &out};
    unsigned long attributes = 0;
    TimeStamp expiry;
    SECURITY_STATUS status = InitializeSecurityContextW(&credentials_, nullptr, host_.data(), kFlags, 0, 0, nullptr, 0,
                                                        &context_, &outDesc, &attributes, &expiry);
    if (status != SEC_I_CONTINUE_NEEDED) return HttpError::Network;
    haveContext_ = true;
    if (const HttpError e = sendToken(out); e != HttpError::None) return e;
    std::string in;
    for (;;) {
      bool closed = false;
      if (const HttpError e = receiveRaw(s_, in, closed, r_); e != HttpError::None) return e;
      if (closed || in.size() > kMaxHandshakeBytes) return HttpError::Network;
      for (;;) {
        HttpError sent = HttpError::None;
        status = continueHandshake(in, sent);
        if (status == SEC_E_INCOMPLETE_MESSAGE) break;  // read on
        if (status != SEC_E_OK && status != SEC_I_CONTINUE_NEEDED) return HttpError::Network;
        if (sent != HttpError::None) return sent;
        if (status == SEC_E_OK) {
          raw_ = std::move(in);  // the first application data, if any
          return HttpError::None;
        }
        if (in.empty()) break;
      }
    }
  }

  // One handshake call on `in`: its answer sent (`sent` says how that
  // went), `in` left holding the bytes the call did not take. `in` is kept
  // whole when the message is incomplete.
  SECURITY_STATUS continueHandshake(std::string& in, HttpError& sent) {
    SecBuffer inBuffers[2] = {{static_cast<unsigned long>(in.size()), SECBUFFER_TOKEN, in.data()},
                              {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc inDesc{SECBUFFER_VERSION, 2, inBuffers};
    SecBuffer out{0, SECBUFFER_TOKEN, nullptr};
    SecBufferDesc outDesc{SECBUFFER_VERSION, 1, &out};
    unsigned long attributes = 0;
    TimeStamp expiry;
    const SECURITY_STATUS status = InitializeSecurityContextW(&credentials_, &context_, host_.data(), kFlags, 0, 0,
                                                              &inDesc, 0, nullptr, &outDesc, &attributes, &expiry);
    if (status != SEC_E_OK && status != SEC_I_CONTINUE_NEEDED) {
      if (out.pvBuffer) FreeContextBuffer(out.pvBuffer);
      return status;
    }
    std::string extra;
    if (inBuffers[1].BufferType == SECBUFFER_EXTRA && inBuffers[1].cbBuffer > 0) {
      extra = in.substr(in.size() - inBuffers[1].cbBuffer);
    }
    in = std::move(extra);
    sent = sendToken(out);
    return status;
  }

  // One handshake call on bytes that came after the handshake.
  HttpError handshakeStep(std::string& in) {
    HttpError sent = HttpError::None;
    const SECURITY_STATUS status = continueHandshake(in, sent);
    if (status != SEC_E_OK && status != SEC_I_CONTINUE_NEEDED) return HttpError::Network;
    return sent;
  }

  bool certificateTrusted() {
    PCCERT_CONTEXT certificate = nullptr;
    if (QueryContextAttributesW(&context_, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &certificate) != SEC_E_OK ||
        !certificate) {
      return false;
    }
    char serverAuth[] = szOID_PKIX_KP_SERVER_AUTH;
    LPSTR usages[] = {serverAuth};
    CERT_CHAIN_PARA chainPara{};
    chainPara.cbSize = sizeof chainPara;
    chainPara.RequestedUsage.dwType = USAGE_MATCH_TYPE_OR;
    chainPara.RequestedUsage.Usage.cUsageIdentifier = 1;
    chainPara.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    PCCERT_CHAIN_CONTEXT chain = nullptr;
    bool trusted = false;
    if (CertGetCertificateChain(nullptr, certificate, nullptr, certificate->hCertStore, &chainPara, 0, nullptr,
                                &chain)) {
      HTTPSPolicyCallbackData https{};
      https.cbStruct = sizeof https;
      https.dwAuthType = AUTHTYPE_SERVER;
      https.pwszServerName = host_.data();
      CERT_CHAIN_POLICY_PARA policy{};
      policy.cbSize = sizeof policy;
      policy.pvExtraPolicyPara = &https;
      CERT_CHAIN_POLICY_STATUS verdict{};
      verdict.cbSize = sizeof verdict;
      trusted = CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &verdict) &&
                verdict.dwError == 0;
      CertFreeCertificateChain(chain);
    }
    CertFreeCertificateContext(certificate);
    return trusted;
  }

  SOCKET s_;
  const HopRequest& r_;
  std::wstring host_;
  CredHandle credentials_{};
  CtxtHandle context_{};
  bool haveCredentials_ = false, haveContext_ = false;
  SecPkgContext_StreamSizes sizes_{};
  std::string raw_;  // received bytes not yet decrypted
};

// ------------------------------------------------------------ one hop

std::string requestFor(const Url& url) {
  const bool defaultPort = url.port == (url.secure ? 443 : 80);
  return "GET " + url.target + " HTTP/1.0\r\nHost: " + url.host + (defaultPort ? "" : ":" + std::to_string(url.port)) +
         "\r\nAccept: */*\r\nUser-Agent: Linkhoard/1.6\r\nConnection: close\r\n\r\n";
}

HttpHop socketHop(const HopRequest& r) {
  HttpHop failed;
  Socket socket;
  if ((failed.error = connectTo(r.url, r, socket)) != HttpError::None) return failed;
  std::unique_ptr<Channel> channel;
  if (r.url.secure) {
    auto tls = std::make_unique<TlsChannel>(socket.get(), r);
    if ((failed.error = tls->start()) != HttpError::None) return failed;
    channel = std::move(tls);
  } else {
    channel = std::make_unique<PlainChannel>(socket.get(), r);
  }
  if ((failed.error = channel->send(requestFor(r.url))) != HttpError::None) return failed;
  ResponseReader reader(r.maxBytes);
  std::string bytes;
  while (reader.state() == ResponseReader::State::Head || reader.state() == ResponseReader::State::Body) {
    bool closed = false;
    bytes.clear();
    if ((failed.error = channel->receive(bytes, closed)) != HttpError::None) return failed;
    if (!bytes.empty()) reader.feed(bytes);
    if (closed) reader.closed();
  }
  return reader.take();
}

// ------------------------------------------------------------ the bounded call

HttpResponse failed(HttpError e, const std::string& finalUrl = {}) {
  HttpResponse r;
  r.error = e;
  r.finalUrl = finalUrl;
  return r;
}

HttpResponse outcomeOf(BoundedOutcome outcome, const HttpResponse& finished, const std::string& address) {
  switch (outcome) {
    case BoundedOutcome::Finished: return finished;
    case BoundedOutcome::TimedOut: return failed(HttpError::TimedOut, address);
    case BoundedOutcome::Cancelled: return failed(HttpError::Cancelled, address);
    case BoundedOutcome::Refused: return failed(HttpError::Busy, address);
  }
  return failed(HttpError::Network, address);
}

class SocketHttp : public Http {
 public:
  HttpResponse get(const std::string& address, const HttpLimits& limits, const CancelFlag* cancel) override {
    const std::optional<Url> url = parseUrl(address);
    if (!url) return failed(HttpError::BadAddress);
    auto result = std::make_shared<HttpResponse>();
    const BoundedOutcome outcome = runBounded(
        [result, address, limits](const CancelFlag& stop) {
          *result = followRedirects(address, limits, &stop, socketHop, nowMs);
        },
        limits.timeMs, cancel);
    return outcomeOf(outcome, *result, url->text());
  }
};

}  // namespace

std::unique_ptr<Http> makeHttp() { return std::make_unique<SocketHttp>(); }

}  // namespace lh::platform::win32
