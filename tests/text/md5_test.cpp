#include "text/md5.h"

#include <gtest/gtest.h>

namespace lh::text {
namespace {

TEST(Md5, TheTestSuiteOfTheStandard) {
  EXPECT_EQ(md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(md5Hex("a"), "0cc175b9c0f1b6a831c399e269772661");
  EXPECT_EQ(md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(md5Hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
  EXPECT_EQ(md5Hex("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
  EXPECT_EQ(md5Hex("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
            "d174ab98d277d9f5a5611c2c9f419d9f");
  EXPECT_EQ(md5Hex("12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
            "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(Md5, ManyBlocks) {
  EXPECT_EQ(md5Hex(std::string(1000000, 'a')), "7707d6ae4e027c70eea2a935c2296f21");
}

// Byte i of the input is (7i + 3) mod 256: every byte value, zeros and high
// bytes included. The lengths put the padding on either side of the block
// edges (55 is the longest tail that takes one block, 56 the shortest that
// takes two).
TEST(Md5, LengthsAroundTheBlockEdges) {
  auto bytes = [](std::size_t n) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((7 * i + 3) & 0xFF);
    return s;
  };
  EXPECT_EQ(md5Hex(bytes(55)), "52c0e574e1198de5fe3f8f11440dcb1b");
  EXPECT_EQ(md5Hex(bytes(56)), "46c9907fc908ee68b1e7b8e71286a518");
  EXPECT_EQ(md5Hex(bytes(63)), "a62f6d59e837867693f042f5b8f5a236");
  EXPECT_EQ(md5Hex(bytes(64)), "7160b8fb5e9e4023d549c3971fbaeead");
  EXPECT_EQ(md5Hex(bytes(65)), "70bd662e7aefbda85a0f7244167b7897");
  EXPECT_EQ(md5Hex(bytes(127)), "acce2474d6cc8302120d09c818d17ef7");
  EXPECT_EQ(md5Hex(bytes(128)), "10b2da1a82f16d99a81a7203fe9f02cb");
}

}  // namespace
}  // namespace lh::text
