// Any bytes as an address and a redirect's Location (split at the first
// newline): parsing never crashes, what is accepted reads back the same
// from its own text, and a request target is printable ASCII starting with
// '/', with no "." or ".." segment left in a resolved path.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/http.h"

using namespace lh::platform;

namespace {

void checkUrl(const Url& u) {
  if (u.host.empty() || u.port < 1 || u.port > 65535) std::abort();
  if (u.target.empty() || u.target[0] != '/') std::abort();
  for (char c : u.target) {
    if (static_cast<unsigned char>(c) <= 0x20 || static_cast<unsigned char>(c) >= 0x7F || c == '#') std::abort();
  }
  const std::optional<Url> again = parseUrl(u.text());
  if (!again || !(*again == u)) std::abort();
}

bool hasDotSegment(const std::string& target) {
  const std::string path = target.substr(0, target.find('?'));
  std::size_t i = 0;
  while (i < path.size()) {
    std::size_t j = path.find('/', i + 1);
    if (j == std::string::npos) j = path.size();
    const std::string seg = path.substr(i + 1, j - i - 1);
    if (seg == "." || seg == "..") return true;
    i = j;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::size_t nl = bytes.find('\n');
  const std::string address = bytes.substr(0, nl);
  const std::string location = nl == std::string::npos ? std::string() : bytes.substr(nl + 1);
  const std::optional<Url> u = parseUrl(address);
  if (!u) return 0;
  checkUrl(*u);
  const std::optional<Url> next = resolveLocation(*u, location);
  if (next) {
    checkUrl(*next);
    // Relative forms keep the answering address's scheme, host and port.
    const bool absolute = location.find("//") != std::string::npos;
    if (!absolute && (next->host != u->host || next->port != u->port || next->secure != u->secure)) std::abort();
    if (!absolute && location.find_first_not_of(" \t") != std::string::npos &&
        location[location.find_first_not_of(" \t")] == '/' && hasDotSegment(next->target)) {
      std::abort();
    }
  }
  return 0;
}
