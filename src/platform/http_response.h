// An HTTP/1.x response read as its bytes arrive from the network, with the
// program's size limit: the status line and headers (at most kMaxHeadBytes),
// then a body framed by Content-Length, by chunked transfer coding or by the
// end of the connection. A redirect's body is not read, and a declared
// length beyond the limit fails as soon as the headers are in. The lines of
// the chunked coding (sizes with their extensions, trailers) are held to
// kMaxHeadBytes too, each line and the trailers together.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/http.h"

namespace lh::platform {

inline constexpr std::size_t kMaxHeadBytes = 64 * 1024;

class ResponseReader {
 public:
  enum class State { Head, Body, Done, Failed };

  explicit ResponseReader(std::size_t maxBodyBytes) : body_(maxBodyBytes) {}

  // Takes the next bytes received; returns the state after them. Bytes
  // after the end of the response are ignored.
  State feed(std::string_view bytes);
  // The server closed the connection: ends a body framed by the close, and
  // fails anything else that is not done.
  State closed();

  State state() const { return state_; }
  // Once Done (the body is empty for a redirect), or Failed with the reason.
  HttpHop take();

 private:
  State fail(HttpError e);
  State readHead();
  State readBody();

  enum class Framing { Length, Chunked, Close };
  enum class Chunk { Size, Data, DataEnd, Trailer };

  State state_ = State::Head;
  std::string pending_;  // received bytes not yet taken
  // Where the head's next line starts: the lines before it are whole and
  // not empty, so each byte of the head is looked at once, however the
  // network cuts it.
  std::size_t headScanned_ = 0;
  std::size_t trailerBytes_ = 0;  // of the trailers' lines so far
  HttpHop hop_;
  BodyCollector body_;
  Framing framing_ = Framing::Close;
  unsigned long long left_ = 0;  // of the declared length or of the chunk
  Chunk chunk_ = Chunk::Size;
};

}  // namespace lh::platform
