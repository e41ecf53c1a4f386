// Cases that the simulator and the real platform must answer alike: the
// Windows tests run them against Win32, the native tests against the
// simulator.
#pragma once

#include <string>
#include <vector>

namespace lh::platform::cases {

// An edit box with a byte limit keeps whole characters only.
struct EditCut {
  int maxBytes;
  std::string typed, kept;
};
inline const std::vector<EditCut> kEditCuts = {
    {4, "a中文", "a中"},       // the limit falls inside 文
    {4, "中文字", "中文"},     // on a boundary
    {3, "abcd", "abc"},
    {1, "中", ""},             // no whole character fits
    {5, "ab\xa9\xa2z", "ab\xa9\xa2z"},  // within the limit: untouched
};

// Two data folders that are one for the system (the same single-instance
// key), and two that are not.
struct KeyPair {
  std::string a, b;
};
inline const std::vector<KeyPair> kSameKeys = {
    {"C:\\Linkhoard\\data", "c:\\LINKHOARD\\Data"},
    {"C:\\\xa3\xcc\xa3\xe9\\data", "C:\\\xa3\xec\xa3\xc9\\data"},  // full-width Ｌｉ and ｌＩ
    {"C:\\\xa6\xc1\xa6\xc2\\data", "C:\\\xa6\xa1\xa6\xa2\\data"},  // Greek αβ and ΑΒ
    {"C:\\\xa7\xd1\xa7\xd7\\data", "C:\\\xa7\xa1\xa7\xa7\\data"},  // Cyrillic аё and АЁ
};
inline const std::vector<KeyPair> kDifferentKeys = {
    {"C:\\Linkhoard\\data", "C:\\Linkhoard\\data2"},
    {"C:\\\xd6\xd0\\data", "C:\\\xce\xc4\\data"},  // 中 and 文
    // á and é: their capitals are not in GBK, and must not become one "?".
    {"C:\\\xa8\xa2\\data", "C:\\\xa8\xa6\\data"},
};

}  // namespace lh::platform::cases
