// Reading test input files.
#pragma once

#include <fstream>
#include <sstream>
#include <string>

namespace lh::test {

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline std::string picturePath(const std::string& name) { return std::string(LH_TEST_PICTURES) + "/" + name; }
inline std::string fixturePath(const std::string& name) { return std::string(LH_FIXTURES) + "/" + name; }

}  // namespace lh::test
