// HTTP GET and POST through WinINet, with the program's own limits
// (platform/http.h).
//
// Why every request runs on a thread of its own: under Wine (and on Windows
// alike) WinINet cannot be made to give up in time from outside. A server
// that accepts and never answers is waited on for minutes, a connect that
// never completes fails only after the system's SYN retries, a body sent one
// byte per second never trips a receive timeout, and closing the handles
// from another thread does not wake a blocked call. So get() and post() hand
// the request to runBounded (platform/bounded_call.h): the calling thread
// (the worker) waits at most the request's time limit or until its
// CancelFlag is raised, then goes on with a failure; the request thread, if
// still blocked, is abandoned with its stop flag raised and ends by itself
// when the call it is in returns. Everything it uses it owns.
//
// Inside the request thread the limits are also applied as far as the
// library lets us, so that an abandoned thread ends soon and holds little:
// one request per hop (InternetConnect + HttpOpenRequest, so that the
// connect, send and receive timeouts set on the request handle apply; they
// have no effect on InternetOpenUrl) with automatic redirects off; redirects
// are followed by followRedirects up to the limit; the body is read piece by
// piece (InternetQueryDataAvailable, then what is there), and reading stops
// at the size limit, the deadline or the stop flag. Nothing is written to
// the WinINet cache (an endless body would fill it).
//
// The POST is WinINet's too. MSXML2.XMLHTTP (the usual way to POST from a
// script-like caller) follows redirects by itself, so a loop could not be
// counted, and under Wine an aborted transfer of an endless body went on
// buffering on its thread until the server closed the connection: an
// abandoned POST could hold that thread and its memory for minutes.
#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <vector>

#include "platform/bounded_call.h"
#include "platform/win32/services_win32.h"
#include "platform/win32/wide.h"
#include "text/gbk.h"

namespace lh::platform::win32 {

namespace {

std::int64_t nowMs() { return static_cast<std::int64_t>(GetTickCount64()); }

class InetHandle {
 public:
  explicit InetHandle(HINTERNET h) : h_(h) {}
  ~InetHandle() {
    if (h_) InternetCloseHandle(h_);
  }
  InetHandle(const InetHandle&) = delete;
  InetHandle& operator=(const InetHandle&) = delete;
  operator HINTERNET() const { return h_; }
  explicit operator bool() const { return h_ != nullptr; }

 private:
  HINTERNET h_;
};

HttpError lastInetError() {
  return GetLastError() == ERROR_INTERNET_TIMEOUT ? HttpError::TimedOut : HttpError::Network;
}

// A call that fails at the deadline failed because of it: WinINet's own
// timeouts are set to the time left, and under load (seen under Wine) the
// failure they cause can come back as another error.
HttpError failureBefore(std::int64_t deadline) {
  const HttpError e = lastInetError();
  return e == HttpError::TimedOut || nowMs() + 100 >= deadline ? HttpError::TimedOut : e;
}

// What is left until the deadline, as WinINet's timeouts take it.
DWORD remainingMs(std::int64_t deadline) {
  return static_cast<DWORD>(std::clamp<std::int64_t>(deadline - nowMs(), 1, 0x7FFFFFFF));
}

void setTimeouts(HINTERNET h, std::int64_t deadline) {
  DWORD ms = remainingMs(deadline);
  for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT,
                       INTERNET_OPTION_DATA_SEND_TIMEOUT, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT}) {
    InternetSetOptionW(h, option, &ms, sizeof ms);
  }
}

std::wstring queryHeader(HINTERNET request, DWORD what) {
  DWORD size = 0;
  HttpQueryInfoW(request, what, nullptr, &size, nullptr);
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) return {};
  std::wstring out(size / sizeof(wchar_t) + 1, L'\0');
  if (!HttpQueryInfoW(request, what, out.data(), &size, nullptr)) return {};
  out.resize(size / sizeof(wchar_t));
  return out;
}

// A declared length above the limit; false when none is declared.
bool declaredTooLarge(const std::wstring& contentLength, std::size_t maxBytes) {
  const long long n = text::parseDecimal(narrow(contentLength), -1);
  return n >= 0 && static_cast<unsigned long long>(n) > maxBytes;
}

bool stopped(const HopRequest& r) { return r.cancel && r.cancel->raised(); }

// One request without following redirects. `verb` is "GET" or "POST" (a
// POST sends no body).
HttpHop wininetHop(const HopRequest& r, const wchar_t* verb) {
  HttpHop h;
  auto fail = [&h](HttpError e) {
    h.error = e;
    return h;
  };
  InetHandle session(InternetOpenW(L"Linkhoard/1.6", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!session) return fail(HttpError::Network);
  setTimeouts(session, r.deadlineMs);
  InetHandle connection(InternetConnectW(session, wide(r.url.host).c_str(), static_cast<INTERNET_PORT>(r.url.port),
                                         nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
  if (!connection) return fail(lastInetError());
  setTimeouts(connection, r.deadlineMs);
  DWORD flags = INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_RELOAD |
                INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_UI |
                INTERNET_FLAG_NO_AUTH;
  if (r.url.secure) flags |= INTERNET_FLAG_SECURE;
  const wchar_t* accept[] = {L"*/*", nullptr};
  InetHandle request(HttpOpenRequestW(connection, verb, wide(r.url.target).c_str(), L"HTTP/1.0", nullptr, accept,
                                      flags, 0));
  if (!request) return fail(lastInetError());
  setTimeouts(request, r.deadlineMs);
  if (!HttpSendRequestW(request, nullptr, 0, nullptr, 0)) return fail(failureBefore(r.deadlineMs));
  DWORD status = 0, size = sizeof status;
  HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr);
  h.status = static_cast<int>(status);
  if (isRedirectStatus(h.status)) {
    h.location = narrow(queryHeader(request, HTTP_QUERY_LOCATION));
    if (!h.location.empty()) return h;  // its body is not read
  }
  if (declaredTooLarge(queryHeader(request, HTTP_QUERY_CONTENT_LENGTH), r.maxBytes)) return fail(HttpError::TooLarge);
  BodyCollector body(r.maxBytes);
  std::vector<char> buffer(64 * 1024);
  for (;;) {
    if (stopped(r)) return fail(HttpError::Cancelled);
    if (nowMs() >= r.deadlineMs) return fail(HttpError::TimedOut);
    // Waits for some bytes (at most the receive timeout), not for a full
    // buffer: a trickle comes back piece by piece and meets the checks above.
    DWORD available = 0;
    if (!InternetQueryDataAvailable(request, &available, 0, 0)) return fail(failureBefore(r.deadlineMs));
    if (available == 0) break;  // the end of the body
    DWORD got = 0;
    const DWORD want = std::min<DWORD>(available, static_cast<DWORD>(buffer.size()));
    if (!InternetReadFile(request, buffer.data(), want, &got)) return fail(failureBefore(r.deadlineMs));
    if (got == 0) break;
    if (!body.append(buffer.data(), got)) return fail(HttpError::TooLarge);
  }
  h.body = body.take();
  return h;
}

// ------------------------------------------------------------ the bounded calls

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

class WinHttp : public Http {
 public:
  HttpResponse get(const std::string& address, const HttpLimits& limits, const CancelFlag* cancel) override {
    const std::optional<Url> url = parseUrl(address);
    if (!url) return failed(HttpError::BadAddress);
    auto result = std::make_shared<HttpResponse>();
    const BoundedOutcome outcome = runBounded(
        [result, address, limits](const CancelFlag& stop) {
          *result = followRedirects(
              address, limits, &stop, [](const HopRequest& r) { return wininetHop(r, L"GET"); }, nowMs);
        },
        limits.timeMs, cancel);
    return outcomeOf(outcome, *result, url->text());
  }

  HttpResponse post(const std::string& address, const HttpLimits& limits, const CancelFlag* cancel) override {
    const std::optional<Url> url = parseUrl(address);
    if (!url) return failed(HttpError::BadAddress);
    auto result = std::make_shared<HttpResponse>();
    const BoundedOutcome outcome = runBounded(
        [result, address, limits](const CancelFlag& stop) {
          // A redirect's target is fetched with GET, as browsers do after a
          // 301, 302 or 303.
          *result = followRedirects(
              address, limits, &stop,
              [](const HopRequest& r) { return wininetHop(r, r.redirectsSoFar == 0 ? L"POST" : L"GET"); }, nowMs);
        },
        limits.timeMs, cancel);
    return outcomeOf(outcome, *result, url->text());
  }
};

}  // namespace

std::unique_ptr<Http> makeHttp() { return std::make_unique<WinHttp>(); }

}  // namespace lh::platform::win32
