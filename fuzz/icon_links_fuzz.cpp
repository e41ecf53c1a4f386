// Any bytes as a downloaded page (its first line, when it is an address, as
// the address it came from): every icon the page rules give is a data:
// address or an http(s) address that parses, none comes twice, the site's
// "/favicon.ico" is among them, the caps hold, and a data: address's bytes
// can be read.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>

#include "capture/icon_links.h"
#include "platform/http.h"

using namespace lh;

namespace {

bool isData(std::string_view a) {
  static constexpr std::string_view kData = "data:";
  if (a.size() < kData.size()) return false;
  for (std::size_t i = 0; i < kData.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != kData[i]) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::string page = "https://site.example/dir/page.html";
  std::string_view html = bytes;
  const std::size_t eol = bytes.find('\n');
  if (eol != std::string_view::npos && eol < 200 && platform::parseUrl(bytes.substr(0, eol))) {
    page = std::string(bytes.substr(0, eol));
    html = bytes.substr(eol + 1);
  }
  const std::string favicon = capture::faviconOf(page);
  if (favicon.empty()) std::abort();
  for (const std::size_t most : {std::size_t{3}, SIZE_MAX}) {
    const std::vector<std::string> tried = capture::iconsToTry(html, page, most, most == 3 ? 1 : SIZE_MAX);
    if (most == 3 && tried.size() > 5) std::abort();
    std::set<std::string> seen;
    bool sawFavicon = false;
    for (const std::string& a : tried) {
      if (!seen.insert(a).second) std::abort();
      if (isData(a)) {
        (void)capture::dataUrlBytes(a);
        continue;
      }
      if (!platform::parseUrl(a)) std::abort();
      sawFavicon |= a == favicon;
    }
    if (!sawFavicon) std::abort();
  }
  return 0;
}
