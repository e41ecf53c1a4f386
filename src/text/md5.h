// The MD5 message digest (RFC 1321). The icon cache names its pictures by
// their digest, so that byte-identical pictures are stored once.
#pragma once

#include <string>
#include <string_view>

namespace lh::text {

// The 16-byte digest of `bytes` as 32 lower-case hexadecimal digits.
std::string md5Hex(std::string_view bytes);

}  // namespace lh::text
