#include "platform/http_response.h"

#include <algorithm>
#include <cctype>

namespace lh::platform {

namespace {

bool sameNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// Digits only, at most 18 of them (no overflow); false for anything else.
bool decimal(std::string_view s, unsigned long long& out) {
  if (s.empty() || s.size() > 18) return false;
  out = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    out = out * 10 + static_cast<unsigned>(c - '0');
  }
  return true;
}

// Hex digits only, at most 15 of them.
bool hexadecimal(std::string_view s, unsigned long long& out) {
  if (s.empty() || s.size() > 15) return false;
  out = 0;
  for (char c : s) {
    const int v = c >= '0' && c <= '9'   ? c - '0'
                  : c >= 'a' && c <= 'f' ? c - 'a' + 10
                  : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                         : -1;
    if (v < 0) return false;
    out = out * 16 + static_cast<unsigned>(v);
  }
  return true;
}

// The next line of `s` from `at` (without its CR LF or LF); false when no
// whole line is there yet.
bool nextLine(std::string_view s, std::size_t& at, std::string_view& line) {
  const std::size_t lf = s.find('\n', at);
  if (lf == std::string_view::npos) return false;
  line = s.substr(at, lf - at);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  at = lf + 1;
  return true;
}

}  // namespace

ResponseReader::State ResponseReader::fail(HttpError e) {
  hop_.error = e;
  pending_.clear();
  return state_ = State::Failed;
}

ResponseReader::State ResponseReader::feed(std::string_view bytes) {
  if (state_ == State::Done || state_ == State::Failed) return state_;
  pending_.append(bytes);
  if (state_ == State::Head) readHead();
  if (state_ == State::Body) readBody();
  return state_;
}

ResponseReader::State ResponseReader::closed() {
  if (state_ == State::Body && framing_ == Framing::Close) {
    hop_.body = body_.take();
    return state_ = State::Done;
  }
  if (state_ == State::Head || state_ == State::Body) return fail(HttpError::Network);  // cut short
  return state_;
}

HttpHop ResponseReader::take() {
  HttpHop out = std::move(hop_);
  hop_ = HttpHop{};
  return out;
}

ResponseReader::State ResponseReader::readHead() {
  // The head ends at the first empty line (CR LF or a bare LF).
  std::size_t end = std::string::npos, at = headScanned_;
  std::string_view line;
  const std::string_view all(pending_);
  while (nextLine(all, at, line)) {
    if (line.empty()) {
      end = at;
      break;
    }
    headScanned_ = at;
  }
  if (end == std::string::npos) {
    if (pending_.size() > kMaxHeadBytes) return fail(HttpError::Network);
    return state_;
  }
  if (end > kMaxHeadBytes) return fail(HttpError::Network);
  const std::string_view head = all.substr(0, end);
  at = 0;
  nextLine(head, at, line);
  // "HTTP/1.1 200 OK": a version, then three digits.
  if (line.size() < 12 || line.substr(0, 5) != "HTTP/" || line.find(' ') == std::string_view::npos) {
    return fail(HttpError::Network);
  }
  const std::string_view code = line.substr(line.find(' ') + 1, 3);
  unsigned long long status = 0;
  if (!decimal(code, status) || status < 100) return fail(HttpError::Network);
  hop_.status = static_cast<int>(status);
  bool lengthKnown = false, chunked = false;
  unsigned long long length = 0;
  while (nextLine(head, at, line) && !line.empty()) {
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    const std::string_view name = trimmed(line.substr(0, colon)), value = trimmed(line.substr(colon + 1));
    if (sameNoCase(name, "Location")) {
      hop_.location = std::string(value);
    } else if (sameNoCase(name, "Content-Length")) {
      unsigned long long n = 0;
      // Two different lengths are a framing attack; an unreadable one too.
      if (!decimal(value, n) || (lengthKnown && n != length)) return fail(HttpError::Network);
      lengthKnown = true;
      length = n;
    } else if (sameNoCase(name, "Transfer-Encoding")) {
      const std::size_t comma = value.rfind(',');
      chunked = sameNoCase(trimmed(comma == std::string_view::npos ? value : value.substr(comma + 1)), "chunked");
    }
  }
  pending_.erase(0, end);
  if (isRedirectStatus(hop_.status) && !hop_.location.empty()) {
    pending_.clear();
    return state_ = State::Done;  // its body is not read
  }
  if (hop_.status == 204 || hop_.status == 304 || hop_.status < 200) {
    pending_.clear();
    return state_ = State::Done;  // no body
  }
  if (chunked) {
    framing_ = Framing::Chunked;
  } else if (lengthKnown) {
    if (length > body_.limit()) return fail(HttpError::TooLarge);
    framing_ = Framing::Length;
    left_ = length;
    if (left_ == 0) return state_ = State::Done;
  } else {
    framing_ = Framing::Close;
  }
  return state_ = State::Body;
}

ResponseReader::State ResponseReader::readBody() {
  if (framing_ == Framing::Close) {
    if (!body_.append(pending_.data(), pending_.size())) return fail(HttpError::TooLarge);
    pending_.clear();
    return state_;
  }
  if (framing_ == Framing::Length) {
    const std::size_t n = static_cast<std::size_t>(std::min<unsigned long long>(left_, pending_.size()));
    if (!body_.append(pending_.data(), n)) return fail(HttpError::TooLarge);
    left_ -= n;
    pending_.clear();
    if (left_ == 0) {
      hop_.body = body_.take();
      state_ = State::Done;
    }
    return state_;
  }
  // Chunked: size line, data, CR LF, ..., a zero size, trailers, empty line.
  std::size_t at = 0;
  std::string_view line;
  for (;;) {
    const std::string_view rest = std::string_view(pending_).substr(at);
    if (chunk_ == Chunk::Data) {
      const std::size_t n = static_cast<std::size_t>(std::min<unsigned long long>(left_, rest.size()));
      if (!body_.append(rest.data(), n)) return fail(HttpError::TooLarge);
      at += n;
      left_ -= n;
      if (left_ > 0) break;
      chunk_ = Chunk::DataEnd;
      continue;
    }
    std::size_t lineAt = at;
    if (!nextLine(pending_, lineAt, line)) {
      if (rest.size() > kMaxHeadBytes) return fail(HttpError::Network);
      break;
    }
    // A line's bytes before its LF, as the check above counts them when the
    // line comes in pieces: the same answer whatever the cuts.
    if (lineAt - at - 1 > kMaxHeadBytes) return fail(HttpError::Network);
    if (chunk_ == Chunk::Trailer && (trailerBytes_ += lineAt - at) > kMaxHeadBytes) {
      return fail(HttpError::Network);  // trailers without end
    }
    at = lineAt;
    if (chunk_ == Chunk::DataEnd) {
      if (!line.empty()) return fail(HttpError::Network);
      chunk_ = Chunk::Size;
    } else if (chunk_ == Chunk::Size) {
      const std::string_view size = trimmed(line.substr(0, line.find(';')));
      unsigned long long n = 0;
      if (!hexadecimal(size, n)) return fail(HttpError::Network);
      if (n > body_.limit()) return fail(HttpError::TooLarge);
      left_ = n;
      chunk_ = n == 0 ? Chunk::Trailer : Chunk::Data;
    } else if (line.empty()) {  // the end of the trailers
      hop_.body = body_.take();
      pending_.clear();
      return state_ = State::Done;
    }
  }
  pending_.erase(0, at);
  return state_;
}

}  // namespace lh::platform
