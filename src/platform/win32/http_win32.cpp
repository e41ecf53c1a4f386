// HTTP GET through WinINet and POST through MSXML2.XMLHTTP, with the
// program's own limits (platform/http.h).
//
// Why every request runs on a thread of its own: under Wine (and on Windows
// alike) neither library can be made to give up in time from outside. A
// server that accepts and never answers is waited on for minutes, a connect
// that never completes fails only after the system's SYN retries, a body
// sent one byte per second never trips a receive timeout, and closing the
// handles from another thread does not wake a blocked call. So get() and
// post() hand the request to runBounded (platform/bounded_call.h): the
// calling thread (the worker) waits at most the request's time limit or
// until its CancelFlag is raised, then goes on with a failure; the request
// thread, if still blocked, is abandoned with its stop flag raised and ends
// by itself when the call it is in returns. Everything it uses it owns.
//
// Inside the request thread the limits are also applied as far as the
// libraries let us, so that an abandoned thread ends soon and holds little:
//  - GET: one request per hop (InternetConnect + HttpOpenRequest, so that the
//    connect, send and receive timeouts set on the request handle apply;
//    they have no effect on InternetOpenUrl) with automatic redirects off;
//    redirects are followed by followRedirects up to the limit; the body is
//    read piece by piece (InternetQueryDataAvailable, then what is there),
//    and reading stops at the size limit, the deadline or the stop flag.
//    Nothing is written to the WinINet cache (an endless body would fill it).
//  - POST: MSXML2.XMLHTTP through IDispatch, opened asynchronously so that
//    this thread keeps control: it pumps messages (the binding reports
//    through them), polls readyState, and calls abort() at the deadline or
//    the stop flag, which ends the transfer. A declared Content-Length above
//    the size limit aborts as soon as the headers are in; the body read at
//    the end is checked again. MSXML follows redirects by itself (and turns
//    the POST into a GET after one): they cannot be counted, so a redirect
//    loop ends at the time limit. Under Wine a failed transfer (a refused
//    connection) never reaches readyState 4 and reports nothing else either,
//    so it too ends at the time limit.
#include <windows.h>
#include <oleauto.h>
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

// One GET without following redirects.
HttpHop wininetHop(const HopRequest& r) {
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
  InetHandle request(HttpOpenRequestW(connection, L"GET", wide(r.url.target).c_str(), L"HTTP/1.0", nullptr, accept,
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

// ------------------------------------------------------------ MSXML2.XMLHTTP through IDispatch

class ComScope {
 public:
  ComScope() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComScope() {
    if (SUCCEEDED(hr_)) CoUninitialize();
  }
  bool ok() const { return SUCCEEDED(hr_); }

 private:
  HRESULT hr_;
};

class Variant {
 public:
  Variant() { VariantInit(&v); }
  explicit Variant(const std::wstring& s) {
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
  }
  explicit Variant(bool b) {
    VariantInit(&v);
    v.vt = VT_BOOL;
    v.boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
  }
  ~Variant() { VariantClear(&v); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  VARIANT v;
};

// The object's methods and properties by name.
class Automation {
 public:
  explicit Automation(IDispatch* d) : d_(d) {}
  ~Automation() {
    if (d_) d_->Release();
  }
  Automation(const Automation&) = delete;
  Automation& operator=(const Automation&) = delete;
  explicit operator bool() const { return d_ != nullptr; }

  // `args` in the order of the call; DISPPARAMS wants them reversed.
  HRESULT invoke(const wchar_t* name, WORD kind, std::vector<VARIANT> args, VARIANT* result) {
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = d_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) return hr;
    std::reverse(args.begin(), args.end());
    DISPPARAMS params{args.empty() ? nullptr : args.data(), nullptr, static_cast<UINT>(args.size()), 0};
    return d_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, kind, &params, result, nullptr, nullptr);
  }
  HRESULT call(const wchar_t* name, std::vector<VARIANT> args = {}, VARIANT* result = nullptr) {
    return invoke(name, DISPATCH_METHOD, std::move(args), result);
  }
  long getLong(const wchar_t* name, long fallback) {
    Variant out;
    if (FAILED(invoke(name, DISPATCH_PROPERTYGET, {}, &out.v))) return fallback;
    Variant asLong;
    if (FAILED(VariantChangeType(&asLong.v, &out.v, 0, VT_I4))) return fallback;
    return asLong.v.lVal;
  }

 private:
  IDispatch* d_;
};

constexpr long kReadyStateComplete = 4;

HttpResponse msxmlPost(const Url& url, const HttpLimits& limits, const CancelFlag& stop) {
  HttpResponse r;
  r.finalUrl = url.text();
  const std::int64_t deadline = nowMs() + limits.timeMs;
  ComScope com;
  CLSID clsid{};
  IDispatch* dispatch = nullptr;
  if (!com.ok() || FAILED(CLSIDFromProgID(L"MSXML2.XMLHTTP", &clsid)) ||
      FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                              reinterpret_cast<void**>(&dispatch)))) {
    r.error = HttpError::Network;
    return r;
  }
  Automation xhr(dispatch);
  Variant method(std::wstring(L"POST")), address(wide(url.text())), async(true);
  if (FAILED(xhr.call(L"open", {method.v, address.v, async.v})) || FAILED(xhr.call(L"send"))) {
    r.error = HttpError::Network;
    return r;
  }
  auto fail = [&](HttpError e) {
    xhr.call(L"abort");
    r.error = e;
    return r;
  };
  bool lengthKnown = false;
  for (;;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (xhr.getLong(L"readyState", 0) == kReadyStateComplete) break;
    if (stop.raised()) return fail(HttpError::Cancelled);
    if (nowMs() >= deadline) return fail(HttpError::TimedOut);
    if (!lengthKnown) {
      Variant name(std::wstring(L"Content-Length")), value;
      if (SUCCEEDED(xhr.call(L"getResponseHeader", {name.v}, &value.v)) && value.v.vt == VT_BSTR &&
          value.v.bstrVal && SysStringLen(value.v.bstrVal) > 0) {
        lengthKnown = true;
        if (declaredTooLarge(std::wstring(value.v.bstrVal, SysStringLen(value.v.bstrVal)), limits.maxBytes)) {
          return fail(HttpError::TooLarge);
        }
      }
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  r.status = static_cast<int>(xhr.getLong(L"status", 0));
  Variant body;
  if (FAILED(xhr.invoke(L"responseBody", DISPATCH_PROPERTYGET, {}, &body.v)) ||
      body.v.vt != (VT_ARRAY | VT_UI1) || !body.v.parray) {
    r.error = HttpError::Network;
    return r;
  }
  LONG low = 0, high = -1;
  SafeArrayGetLBound(body.v.parray, 1, &low);
  SafeArrayGetUBound(body.v.parray, 1, &high);
  const std::size_t n = high >= low ? static_cast<std::size_t>(high - low + 1) : 0;
  if (n > limits.maxBytes) {
    r.error = HttpError::TooLarge;
    return r;
  }
  void* data = nullptr;
  if (n > 0 && SUCCEEDED(SafeArrayAccessData(body.v.parray, &data))) {
    r.body.assign(static_cast<const char*>(data), n);
    SafeArrayUnaccessData(body.v.parray);
  }
  return r;
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
          *result = followRedirects(address, limits, &stop, wininetHop, nowMs);
        },
        limits.timeMs, cancel);
    return outcomeOf(outcome, *result, url->text());
  }

  HttpResponse post(const std::string& address, const HttpLimits& limits, const CancelFlag* cancel) override {
    const std::optional<Url> url = parseUrl(address);
    if (!url) return failed(HttpError::BadAddress);
    auto result = std::make_shared<HttpResponse>();
    const BoundedOutcome outcome = runBounded(
        [result, target = *url, limits](const CancelFlag& stop) { *result = msxmlPost(target, limits, stop); },
        limits.timeMs, cancel);
    return outcomeOf(outcome, *result, url->text());
  }
};

}  // namespace

std::unique_ptr<Http> makeHttp() { return std::make_unique<WinHttp>(); }

}  // namespace lh::platform::win32
