// Any bytes as an INI file: reading never crashes, a write changes exactly
// the key written, and the written value reads back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "text/ini.h"

using namespace lh;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  text::IniDocument doc(bytes);
  if (doc.bytes() != bytes) std::abort();  // parsing keeps every byte
  const std::string others[] = {"a", "ico", "md5", "x.com"};
  std::string before[4];
  for (int i = 0; i < 4; ++i) before[i] = doc.get("ico", others[i]);
  doc.set("ico", "written.key", "42");
  text::IniDocument reread(doc.bytes());
  if (reread.get("ICO", "WRITTEN.key") != "42") std::abort();
  for (int i = 0; i < 4; ++i) {
    if (reread.get("ico", others[i]) != before[i]) std::abort();
  }
  reread.remove("ico", "written.key");
  if (reread.find("ico", "written.key")) std::abort();
  return 0;
}
