// Any bytes as a server's answer, fed in pieces whose sizes come from the
// input's first byte: the reader never crashes, never holds a body beyond
// its limit, ends Done or Failed after the close, and reads the same
// whatever the pieces.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/http_response.h"

using namespace lh::platform;

namespace {

constexpr std::size_t kLimit = 4096;

HttpHop readIn(std::string_view bytes, std::size_t step, ResponseReader::State& state) {
  ResponseReader reader(kLimit);
  for (std::size_t at = 0; at < bytes.size(); at += step) reader.feed(bytes.substr(at, step));
  reader.closed();
  state = reader.state();
  return reader.take();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t step = 1 + data[0] % 64;
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  ResponseReader::State pieces, whole;
  const HttpHop a = readIn(bytes, step, pieces);
  const HttpHop b = readIn(bytes, bytes.size() ? bytes.size() : 1, whole);
  if (pieces != ResponseReader::State::Done && pieces != ResponseReader::State::Failed) std::abort();
  if (a.body.size() > kLimit) std::abort();
  if (pieces == ResponseReader::State::Failed && (!a.body.empty() || a.error == HttpError::None)) std::abort();
  if (pieces != whole || a.error != b.error || a.status != b.status || a.body != b.body || a.location != b.location) {
    std::abort();
  }
  return 0;
}
