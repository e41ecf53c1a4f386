#include "platform/dialogs.h"

#include "text/gbk.h"

namespace lh::platform {

std::vector<std::pair<std::string, std::string>> filterPairs(std::string_view filter) {
  std::vector<std::pair<std::string, std::string>> out;
  std::vector<std::string_view> parts;
  std::size_t i = 0;
  while (i < filter.size()) {
    // A '|' byte may be the second byte of a GBK character: cut at whole ones only.
    std::size_t bar = text::find(filter, "|", i);
    if (bar == text::npos) bar = filter.size();
    parts.push_back(filter.substr(i, bar - i));
    i = bar + 1;
  }
  for (std::size_t k = 0; k + 1 < parts.size(); k += 2) {
    if (parts[k + 1].empty()) break;
    out.emplace_back(std::string(parts[k]), std::string(parts[k + 1]));
  }
  return out;
}

}  // namespace lh::platform
