// The response reader: framing by length, chunks or the close, the limits,
// and hostile or broken answers, fed whole and one byte at a time (the
// network may cut anywhere).
#include "platform/http_response.h"

#include <gtest/gtest.h>

#include <string>

namespace lh::platform {
namespace {

// Feeds `bytes` in pieces of `step` bytes (0: whole), then the close when
// `close` says so; gives the final state and the hop.
struct Read {
  ResponseReader::State state;
  HttpHop hop;
};

Read readAll(const std::string& bytes, std::size_t step, bool close, std::size_t limit = 1 << 20) {
  ResponseReader reader(limit);
  if (step == 0) step = bytes.size() ? bytes.size() : 1;
  for (std::size_t at = 0; at < bytes.size(); at += step) reader.feed(std::string_view(bytes).substr(at, step));
  if (close) reader.closed();
  const ResponseReader::State state = reader.state();
  return {state, reader.take()};
}

// The same answer whole and byte by byte must read the same.
void expectBody(const std::string& bytes, bool close, const std::string& body, int status = 200) {
  for (std::size_t step : {std::size_t{0}, std::size_t{1}, std::size_t{7}}) {
    const Read r = readAll(bytes, step, close);
    EXPECT_EQ(r.state, ResponseReader::State::Done) << "step " << step << ": " << bytes;
    EXPECT_EQ(r.hop.error, HttpError::None) << "step " << step;
    EXPECT_EQ(r.hop.status, status) << "step " << step;
    EXPECT_EQ(r.hop.body, body) << "step " << step;
  }
}

void expectFailure(const std::string& bytes, bool close, HttpError e, std::size_t limit = 1 << 20) {
  for (std::size_t step : {std::size_t{0}, std::size_t{1}}) {
    const Read r = readAll(bytes, step, close, limit);
    EXPECT_EQ(r.state, ResponseReader::State::Failed) << "step " << step << ": " << bytes;
    EXPECT_EQ(r.hop.error, e) << "step " << step << ": " << nameOf(r.hop.error);
    EXPECT_TRUE(r.hop.body.empty());
  }
}

TEST(ResponseReader, ABodyIsFramedByItsLengthByChunksOrByTheClose) {
  // The length: done at its last byte, before any close; bytes after it ignored.
  expectBody("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhelloEXTRA", false, "hello");
  expectBody("HTTP/1.0 404 Not Found\r\ncontent-length:3\r\n\r\nnot", false, "not", 404);
  // Chunks, with extensions, hex in either case, trailers.
  expectBody("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5;x=1\r\nhello\r\nA\r\n0123456789\r\n0\r\nX: y\r\n\r\n",
             false, "hello0123456789");
  expectBody("HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip, chunked\r\nContent-Length: 999\r\n\r\n3\r\nabc\r\n0\r\n\r\n",
             false, "abc");  // chunked wins over a length
  // The close; bare LFs as line ends; zero bytes inside survive.
  expectBody(std::string("HTTP/1.0 200 OK\nServer: x\n\nab\0cd", 32), true, std::string("ab\0cd", 5));
  // No body at all.
  expectBody("HTTP/1.1 204 No Content\r\n\r\n", false, "", 204);
  expectBody("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", false, "");
}

TEST(ResponseReader, ARedirectEndsAtItsHeadersWithItsLocation) {
  for (std::size_t step : {std::size_t{0}, std::size_t{1}}) {
    const Read r = readAll("HTTP/1.1 301 Moved\r\nLocation:  https://a.com/x \r\nContent-Length: 9999\r\n\r\n", step,
                           false);
    EXPECT_EQ(r.state, ResponseReader::State::Done);
    EXPECT_EQ(r.hop.status, 301);
    EXPECT_EQ(r.hop.location, "https://a.com/x");
    EXPECT_TRUE(r.hop.body.empty());
  }
  // Without a Location it is a page like any other.
  expectBody("HTTP/1.1 302 Found\r\nContent-Length: 2\r\n\r\nhi", false, "hi", 302);
}

TEST(ResponseReader, TheSizeLimitHoldsForDeclaredChunkedAndClosedBodies) {
  const std::size_t limit = 100;
  // A declared length beyond it: refused at the headers, nothing read.
  expectFailure("HTTP/1.1 200 OK\r\nContent-Length: 101\r\n\r\n", false, HttpError::TooLarge, limit);
  expectFailure("HTTP/1.1 200 OK\r\nContent-Length: 10000000000\r\n\r\n", false, HttpError::TooLarge, limit);
  // A chunk beyond it, or chunks that add up beyond it.
  expectFailure("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nFFFFFFFF\r\n", false, HttpError::TooLarge, limit);
  const std::string sixty(60, 'x');
  expectFailure("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3C\r\n" + sixty + "\r\n3C\r\n" + sixty, false,
                HttpError::TooLarge, limit);
  // A body framed by the close.
  expectFailure("HTTP/1.0 200 OK\r\n\r\n" + std::string(101, 'y'), true, HttpError::TooLarge, limit);
  // Exactly the limit is fine.
  const Read exact = readAll("HTTP/1.0 200 OK\r\n\r\n" + std::string(100, 'z'), 1, true, limit);
  EXPECT_EQ(exact.state, ResponseReader::State::Done);
  EXPECT_EQ(exact.hop.body.size(), 100u);
}

TEST(ResponseReader, BrokenOrHostileAnswersFail) {
  // Not HTTP, no status, a cut.
  expectFailure("SSH-2.0-OpenSSH\r\n\r\n", false, HttpError::Network);
  expectFailure("HTTP/1.1 OK\r\n\r\n", false, HttpError::Network);
  expectFailure("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nshort", true, HttpError::Network);
  expectFailure("HTTP/1.1 200 OK\r\nContent-", true, HttpError::Network);
  expectFailure("", true, HttpError::Network);
  // Two different lengths (request smuggling's trick), an unreadable one.
  expectFailure("HTTP/1.1 200 OK\r\nContent-Length: 5\r\nContent-Length: 6\r\n\r\nhello!", false, HttpError::Network);
  expectFailure("HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\n", false, HttpError::Network);
  expectFailure("HTTP/1.1 200 OK\r\nContent-Length: 1e3\r\n\r\n", false, HttpError::Network);
  // Broken chunks: a size that is no number, data without its line end,
  // a cut inside the chunks.
  expectFailure("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n", false, HttpError::Network);
  expectFailure("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabcX\r\n", false, HttpError::Network);
  expectFailure("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nab", true, HttpError::Network);
  // Headers without end: cut off at the head's bound, not held for ever.
  const Read endless = readAll("HTTP/1.1 200 OK\r\nX: " + std::string(kMaxHeadBytes + 10, 'h'), 4096, false);
  EXPECT_EQ(endless.state, ResponseReader::State::Failed);
  // Two identical lengths are only said twice.
  expectBody("HTTP/1.1 200 OK\r\nContent-Length: 2\r\nContent-Length: 2\r\n\r\nok", false, "ok");
}

TEST(ResponseReader, TheChunkedCodingsLinesAreHeldToTheHeadsBoundWhateverTheCuts) {
  const std::string chunkedHead = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
  // A size line whose extension runs past the bound fails whether it comes
  // whole or in pieces; one just within it is read.
  const std::string longExtension = chunkedHead + "3;" + std::string(kMaxHeadBytes, 'e') + "\r\nabc\r\n0\r\n\r\n";
  for (std::size_t step : {std::size_t{0}, std::size_t{1000}, std::size_t{1}}) {
    const Read r = readAll(longExtension, step, false);
    EXPECT_EQ(r.state, ResponseReader::State::Failed) << "step " << step;
    EXPECT_EQ(r.hop.error, HttpError::Network) << "step " << step;
  }
  expectBody(chunkedHead + "3;" + std::string(kMaxHeadBytes - 3, 'e') + "\r\nabc\r\n0\r\n\r\n", false, "abc");
  // Trailers that never end: short lines, each one well within the bound,
  // are not taken for ever.
  std::string endlessTrailers = chunkedHead + "3\r\nabc\r\n0\r\n";
  while (endlessTrailers.size() < 4 * kMaxHeadBytes) endlessTrailers += "X-T: y\r\n";
  for (std::size_t step : {std::size_t{0}, std::size_t{4096}}) {
    const Read r = readAll(endlessTrailers, step, false);
    EXPECT_EQ(r.state, ResponseReader::State::Failed) << "step " << step;
    EXPECT_EQ(r.hop.error, HttpError::Network) << "step " << step;
  }
  // A few trailers are fine.
  expectBody(chunkedHead + "3\r\nabc\r\n0\r\nA: 1\r\nB: 2\r\n\r\n", false, "abc");
}

TEST(ResponseReader, AHeadOfManyShortLinesUpToTheBoundIsReadByteByByte) {
  // The network may hand the head over a byte at a time (a TLS record each).
  std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n";
  while (head.size() < kMaxHeadBytes - 8) head += "a:\n";
  expectBody(head + "\r\nok", false, "ok");
  // One line more and it is past the bound.
  std::string over = head;
  while (over.size() <= kMaxHeadBytes) over += "a:\n";
  expectFailure(over + "\r\nok", false, HttpError::Network);
}

}  // namespace
}  // namespace lh::platform
