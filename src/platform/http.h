// HTTP for the icon downloads: a plain GET with limits of the program's own
// on time, size and redirects.
//
// The system's HTTP libraries bound none of these by themselves (measured
// under Wine: a silent server is waited on for minutes, a redirect loop is
// followed for ever, an endless body is read for ever), so:
//  - GET makes one request per hop without automatic redirects and follows
//    redirects itself (followRedirects), at most `maxRedirects` of them;
//  - the body is read in pieces and the request fails once it holds more
//    than `maxBytes`;
//  - the whole request, redirects included, gets `timeMs`, and the caller
//    never waits longer than that (see platform/bounded_call.h), even when
//    the system call underneath cannot be interrupted.
// Calls are made from the worker thread; they block it, never the GUI thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/worker.h"

namespace lh::platform {

// An http or https address split for a request. Texts are bytes as the
// program holds them; `target` is ASCII only (bytes outside printable ASCII
// are percent-encoded).
struct Url {
  bool secure = false;     // https
  std::string host;        // lower case; an IPv6 literal keeps its brackets
  int port = 80;
  std::string target = "/";  // path and query, never empty, no fragment
  std::string text() const;  // scheme://host[:port]target (port only when not the default)
  bool operator==(const Url&) const = default;
};

// http:// or https:// (either case) followed by a host; anything else, a
// user name, a port outside 1..65535 or a host with bytes outside ASCII
// letters, digits, '-', '.', '_' gives nullopt.
std::optional<Url> parseUrl(std::string_view address);

// The address a redirect's Location names, read against the address that
// answered (absolute, scheme-relative, absolute-path, query-only and
// relative forms; dot segments removed). nullopt when it names no http(s)
// address.
std::optional<Url> resolveLocation(const Url& base, std::string_view location);

struct HttpLimits {
  int timeMs = 8000;                  // the whole request, redirects included
  std::size_t maxBytes = 1u << 20;    // of the final body
  int maxRedirects = 5;
};

enum class HttpError {
  None,
  BadAddress,        // not an http(s) address, or a redirect to none
  Network,           // refused, reset, name not found, any other failure
  TimedOut,          // the time limit passed
  TooLarge,          // the body went beyond maxBytes
  TooManyRedirects,  // more than maxRedirects redirects
  Cancelled,         // the caller's flag was raised
  Busy,              // too many abandoned requests are still running
};
const char* nameOf(HttpError e);

struct HttpResponse {
  HttpError error = HttpError::None;
  int status = 0;         // of the last response (any status: the body is returned whatever it is)
  std::string body;       // empty unless ok()
  std::string finalUrl;   // the address that gave the body
  int redirects = 0;      // followed
  bool ok() const { return error == HttpError::None; }
};

class Http {
 public:
  virtual ~Http() = default;
  // An HTTP/1.0 GET with "Accept: */*", redirects followed by our own code.
  // Callable from any thread; returns within limits.timeMs, or soon after
  // `cancel` is raised.
  virtual HttpResponse get(const std::string& address, const HttpLimits& limits,
                           const CancelFlag* cancel = nullptr) = 0;
};

// ------------------------------------------------------------ shared by the implementations

// One request without following redirects: what came back.
struct HttpHop {
  HttpError error = HttpError::None;
  int status = 0;
  std::string location;  // the Location header of a redirect
  std::string body;      // not read for a redirect
};

struct HopRequest {
  Url url;
  std::int64_t deadlineMs = 0;  // on the clock given to followRedirects
  std::size_t maxBytes = 0;
  const CancelFlag* cancel = nullptr;
  int redirectsSoFar = 0;  // 0 for the request itself, n for the n-th redirect's target
};

bool isRedirectStatus(int status);

// Makes the request of `address`, following redirects with the limits:
// `hop` makes one request, `clockMs` tells the time.
HttpResponse followRedirects(std::string_view address, const HttpLimits& limits, const CancelFlag* cancel,
                             const std::function<HttpHop(const HopRequest&)>& hop,
                             const std::function<std::int64_t()>& clockMs);

// Collects a body and says when it has gone beyond its limit.
class BodyCollector {
 public:
  explicit BodyCollector(std::size_t maxBytes) : max_(maxBytes) {}
  // False once the body holds more than the limit (the bytes beyond it are
  // not kept).
  bool append(const char* data, std::size_t n);
  bool tooLarge() const { return tooLarge_; }
  std::size_t limit() const { return max_; }
  std::string take() { return std::move(body_); }

 private:
  std::size_t max_;
  std::string body_;
  bool tooLarge_ = false;
};

}  // namespace lh::platform
