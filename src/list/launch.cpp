#include "list/launch.h"

namespace lh::list {

std::string browserCommandLine(std::string_view browserPath, std::string_view address) {
  std::string line = "\"";
  line += browserPath;
  line += "\" \"";
  std::size_t trailingBackslashes = 0;
  for (char c : address) {
    if (c == '"') {
      line += "%22";
      trailingBackslashes = 0;
      continue;
    }
    line += c;
    trailingBackslashes = c == '\\' ? trailingBackslashes + 1 : 0;
  }
  line.append(trailingBackslashes, '\\');
  line += '"';
  return line;
}

bool launchableAddress(std::string_view address) {
  const std::size_t first = address.find_first_not_of(" \t");
  if (first == std::string_view::npos) return true;
  return address[first] != '-' && address[first] != '/';
}

}  // namespace lh::list
