// The TLS sites that tests/support/tls_sites.py serves while it runs the
// Windows test program: label ("good", "expired", ...) to "host:port", read
// from LH_TLS_SITES. Empty when the program was started without it.
#pragma once

#include <cstdlib>
#include <map>
#include <string>

namespace lh::test {

inline const std::map<std::string, std::string>& tlsSites() {
  static const std::map<std::string, std::string> sites = [] {
    std::map<std::string, std::string> out;
    const char* described = std::getenv("LH_TLS_SITES");
    const std::string all = described ? described : "";
    for (std::size_t at = 0; at < all.size();) {
      std::size_t end = all.find(';', at);
      if (end == std::string::npos) end = all.size();
      const std::string item = all.substr(at, end - at);
      const std::size_t eq = item.find('=');
      if (eq != std::string::npos) out[item.substr(0, eq)] = item.substr(eq + 1);
      at = end + 1;
    }
    return out;
  }();
  return sites;
}

// "https://host:port" of a site, or "" when there is none.
inline std::string tlsSite(const std::string& label) {
  const auto it = tlsSites().find(label);
  return it == tlsSites().end() ? std::string() : (label == "plain" ? "http://" : "https://") + it->second;
}

inline const char* kRunThroughTlsSites = "run through tests/support/tls_sites.py, which serves the sites";

}  // namespace lh::test
