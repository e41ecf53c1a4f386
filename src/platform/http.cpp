#include "platform/http.h"

#include <vector>

namespace lh::platform {

namespace {

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (lower(s[i]) != prefix[i]) return false;
  }
  return true;
}

bool hostByte(char c) {
  return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_';
}

// Bytes a request line cannot carry as they are become %XX.
std::string encodeTarget(std::string_view t) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(t.size());
  for (char ch : t) {
    const auto c = static_cast<unsigned char>(ch);
    if (c <= 0x20 || c >= 0x7F || c == '"' || c == '<' || c == '>' || c == '\\' || c == '^' || c == '`' ||
        c == '{' || c == '|' || c == '}') {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += ch;
    }
  }
  return out;
}

// RFC 3986 5.2.4, on a path that starts with '/'.
std::string removeDotSegments(std::string_view path) {
  std::vector<std::string_view> kept;
  std::size_t i = 0;
  bool endsInDirectory = false;
  while (i < path.size()) {
    std::size_t j = path.find('/', i + 1);
    if (j == std::string_view::npos) j = path.size();
    const std::string_view seg = path.substr(i + 1, j - i - 1);  // without its leading '/'
    endsInDirectory = false;
    if (seg == ".") {
      endsInDirectory = true;
    } else if (seg == "..") {
      if (!kept.empty()) kept.pop_back();
      endsInDirectory = true;
    } else {
      kept.push_back(seg);
    }
    i = j;
  }
  std::string out;
  for (std::string_view s : kept) {
    out += '/';
    out += s;
  }
  if (endsInDirectory || out.empty()) out += '/';
  return out;
}

// Splits "path?query" into the two (the query keeps its '?').
std::pair<std::string_view, std::string_view> splitQuery(std::string_view target) {
  const std::size_t q = target.find('?');
  if (q == std::string_view::npos) return {target, {}};
  return {target.substr(0, q), target.substr(q)};
}

std::string_view withoutFragment(std::string_view s) {
  const std::size_t hash = s.find('#');
  return hash == std::string_view::npos ? s : s.substr(0, hash);
}

}  // namespace

std::string Url::text() const {
  std::string out = secure ? "https://" : "http://";
  out += host;
  if (port != (secure ? 443 : 80)) {
    out += ':';
    out += std::to_string(port);
  }
  out += target;
  return out;
}

std::optional<Url> parseUrl(std::string_view address) {
  Url u;
  std::string_view rest;
  if (startsWithNoCase(address, "http://")) {
    rest = address.substr(7);
  } else if (startsWithNoCase(address, "https://")) {
    u.secure = true;
    u.port = 443;
    rest = address.substr(8);
  } else {
    return std::nullopt;
  }
  rest = withoutFragment(rest);
  const std::size_t end = rest.find_first_of("/?");
  const std::string_view authority = rest.substr(0, end);
  std::string_view target = end == std::string_view::npos ? std::string_view() : rest.substr(end);
  if (authority.find('@') != std::string_view::npos) return std::nullopt;

  std::string_view host = authority, port;
  if (!authority.empty() && authority[0] == '[') {
    const std::size_t close = authority.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    host = authority.substr(0, close + 1);
    const std::string_view after = authority.substr(close + 1);
    if (!after.empty()) {
      if (after[0] != ':') return std::nullopt;
      port = after.substr(1);
    }
    for (char c : host.substr(1, host.size() - 2)) {
      const char l = lower(c);
      if (!((l >= '0' && l <= '9') || (l >= 'a' && l <= 'f') || l == ':' || l == '.')) return std::nullopt;
    }
    if (host.size() < 3) return std::nullopt;
  } else {
    const std::size_t colon = authority.rfind(':');
    if (colon != std::string_view::npos) {
      host = authority.substr(0, colon);
      port = authority.substr(colon + 1);
    }
    if (host.empty()) return std::nullopt;
    for (char c : host) {
      if (!hostByte(lower(c))) return std::nullopt;
    }
  }
  for (char c : host) u.host += lower(c);
  if (!port.empty()) {
    if (port.size() > 5) return std::nullopt;
    int p = 0;
    for (char c : port) {
      if (c < '0' || c > '9') return std::nullopt;
      p = p * 10 + (c - '0');
    }
    if (p < 1 || p > 65535) return std::nullopt;
    u.port = p;
  } else if (authority.size() > host.size()) {
    return std::nullopt;  // "host:" with nothing after the colon
  }
  if (!target.empty()) {  // (else the default "/")
    u.target = (target[0] == '?' ? std::string("/") : std::string()) + encodeTarget(target);
  }
  return u;
}

std::optional<Url> resolveLocation(const Url& base, std::string_view location) {
  // Servers are not supposed to put spaces around it, but some do.
  while (!location.empty() && (location.front() == ' ' || location.front() == '\t')) location.remove_prefix(1);
  while (!location.empty() && (location.back() == ' ' || location.back() == '\t' || location.back() == '\r' ||
                               location.back() == '\n')) {
    location.remove_suffix(1);
  }
  location = withoutFragment(location);
  if (location.empty()) return std::nullopt;
  if (startsWithNoCase(location, "http://") || startsWithNoCase(location, "https://")) return parseUrl(location);
  if (location.size() >= 2 && location[0] == '/' && location[1] == '/') {
    return parseUrl(std::string(base.secure ? "https:" : "http:") + std::string(location));
  }
  // Another scheme ("ftp:", "javascript:"): a colon before any '/', '?'.
  const std::size_t colon = location.find(':');
  if (colon != std::string_view::npos && colon < location.find_first_of("/?")) return std::nullopt;

  Url out = base;
  const auto [basePath, baseQuery] = splitQuery(base.target);
  const std::string encoded = encodeTarget(location);
  const auto [refPath, refQuery] = splitQuery(encoded);
  std::string path;
  if (refPath.empty()) {
    path = std::string(basePath);  // "?q" keeps the path
  } else if (refPath[0] == '/') {
    path = removeDotSegments(refPath);
  } else {
    const std::size_t slash = basePath.rfind('/');
    path = removeDotSegments(std::string(basePath.substr(0, slash + 1)) + std::string(refPath));
  }
  out.target = path + std::string(refQuery);
  return out;
}

bool isRedirectStatus(int status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

const char* nameOf(HttpError e) {
  switch (e) {
    case HttpError::None: return "none";
    case HttpError::BadAddress: return "bad address";
    case HttpError::Network: return "network";
    case HttpError::TimedOut: return "timed out";
    case HttpError::TooLarge: return "too large";
    case HttpError::TooManyRedirects: return "too many redirects";
    case HttpError::Cancelled: return "cancelled";
    case HttpError::Busy: return "busy";
  }
  return "?";
}

HttpResponse followRedirects(std::string_view address, const HttpLimits& limits, const CancelFlag* cancel,
                             const std::function<HttpHop(const HopRequest&)>& hop,
                             const std::function<std::int64_t()>& clockMs) {
  HttpResponse r;
  std::optional<Url> url = parseUrl(address);
  if (!url) {
    r.error = HttpError::BadAddress;
    return r;
  }
  const std::int64_t deadline = clockMs() + limits.timeMs;
  for (;;) {
    r.finalUrl = url->text();
    if (cancel && cancel->raised()) {
      r.error = HttpError::Cancelled;
      return r;
    }
    if (clockMs() >= deadline) {
      r.error = HttpError::TimedOut;
      return r;
    }
    HttpHop h = hop(HopRequest{*url, deadline, limits.maxBytes, cancel, r.redirects});
    r.status = h.status;
    if (h.error != HttpError::None) {
      r.error = h.error;
      return r;
    }
    if (isRedirectStatus(h.status) && !h.location.empty()) {
      if (r.redirects >= limits.maxRedirects) {
        r.error = HttpError::TooManyRedirects;
        return r;
      }
      url = resolveLocation(*url, h.location);
      if (!url) {
        r.error = HttpError::BadAddress;
        return r;
      }
      ++r.redirects;
      continue;
    }
    if (h.body.size() > limits.maxBytes) {
      r.error = HttpError::TooLarge;
      return r;
    }
    r.body = std::move(h.body);
    return r;
  }
}

bool BodyCollector::append(const char* data, std::size_t n) {
  if (tooLarge_) return false;
  if (n > max_ - body_.size()) {
    tooLarge_ = true;
    return false;
  }
  body_.append(data, n);
  return true;
}

}  // namespace lh::platform
